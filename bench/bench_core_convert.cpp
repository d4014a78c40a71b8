// Benchmarks of TIEBitmap pixel-format conversion on a 6000 x 4000 image: true colour to grey, to
// black and white by ordered dithering, to a 256-colour palette (quantizer), and palette back to
// true colour; the quantizing also on the shared photo-like picture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_neuquant.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

// A photograph-like true-colour image: smooth gradients with a little texture, far more than 256
// colours, so the conversion to ie8p runs a quantizer.
TIEBitmap& Source() {
  static TIEBitmap* bmp = [] {
    auto* b = new TIEBitmap(kWidth, kHeight, ie24RGB);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = b->Row<uint8_t>(y);
      for (int32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1664525u + 1013904223u;
        const int32_t noise = static_cast<int32_t>(seed >> 29) - 4;
        auto clamp = [](int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
        row[3 * x] = clamp(x * 255 / kWidth + noise);
        row[3 * x + 1] = clamp(y * 255 / kHeight + noise);
        row[3 * x + 2] = clamp(((x / 40 + y / 40) & 1 ? 200 : 60) + noise);
      }
    }
    return b;
  }();
  return *bmp;
}

// The shared photo-like picture (millions of colours): what the quantizer meets in practice.
TIEBitmap& Photo() {
  static TIEBitmap* bmp = [] {
    auto* b = new TIEBitmap(kWidth, kHeight, ie24RGB);
    const std::vector<uint8_t> pixels = MakeBenchPhoto(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      std::memcpy(b->Row<uint8_t>(y), pixels.data() + static_cast<size_t>(y) * kWidth * 3, size_t{kWidth} * 3);
    return b;
  }();
  return *bmp;
}

// ConvertPixelFormat(to) on a fresh copy of a source of format from; the copy is not timed.
void Convert(benchmark::State& state, TIEPixelFormat from, TIEPixelFormat to, uint8_t bwConversion,
             TIEBitmap& (*input)() = Source) {
  TIEBitmap source;
  source.Assign(input());
  if (from != ie24RGB) source.ConvertPixelFormat(from);
  for (auto _ : state) {
    state.PauseTiming();
    TIEBitmap work;
    work.Assign(source);
    work.SetBWConversion(bwConversion);
    state.ResumeTiming();
    work.ConvertPixelFormat(to);
    benchmark::DoNotOptimize(work.GetRow(kHeight / 2));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

void BM_Convert24RGBTo8g(benchmark::State& state) { Convert(state, ie24RGB, ie8g, 1); }
void BM_Convert24RGBTo1gOrderedDither(benchmark::State& state) { Convert(state, ie24RGB, ie1g, 0); }
void BM_Convert24RGBTo1gThreshold(benchmark::State& state) { Convert(state, ie24RGB, ie1g, 1); }
void BM_Convert24RGBTo8pQuantized(benchmark::State& state) { Convert(state, ie24RGB, ie8p, 1); }
void BM_Convert24RGBTo8pQuantizedPhoto(benchmark::State& state) { Convert(state, ie24RGB, ie8p, 1, Photo); }
void BM_Convert8pTo24RGB(benchmark::State& state) { Convert(state, ie8p, ie24RGB, 1); }

// The learning part of the photo's quantizing alone: NeuQuant's network of 256 neurons over its
// sample of the picture (what is left is mapping the pixels, on every core).
void BM_NeuQuantLearnPhoto(benchmark::State& state) {
  for (auto _ : state) {
    TIENeuQuant network(Photo(), 256, -1);
    benchmark::DoNotOptimize(&network);
  }
}

}  // namespace

BENCHMARK(BM_Convert24RGBTo8g)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24RGBTo1gOrderedDither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24RGBTo1gThreshold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24RGBTo8pQuantized)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24RGBTo8pQuantizedPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NeuQuantLearnPhoto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert8pTo24RGB)->Unit(benchmark::kMillisecond);
