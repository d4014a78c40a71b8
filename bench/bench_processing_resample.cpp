// Benchmarks of resampling an ie24RGB photo-sized image: 6000 x 4000 down to 1500 x 1000 and
// 1500 x 1000 up to 6000 x 4000, with rfLanczos3, rfBicubic, rfTriangle and rfFastLinear, on one
// thread and on every core, the destination made in each call. The comparisons with libvips and
// Pillow on the same images are bench/run_peers.sh's.
#include <benchmark/benchmark.h>

#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_resample_bands.h"

namespace {

// A photo-like pattern: smooth gradients with some fine texture.
std::unique_ptr<TIEBitmap> MakeImage(int32_t w, int32_t h) {
  const int64_t saved = MinFileSizeOverride;
  MinFileSizeOverride = -1;
  auto b = std::make_unique<TIEBitmap>(w, h, ie24RGB);
  MinFileSizeOverride = saved;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->Row<uint8_t>(y);
    for (int32_t x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 255 / w + ((x * 7 + y * 3) & 15));
      row[3 * x + 1] = static_cast<uint8_t>(y * 255 / h);
      row[3 * x + 2] = static_cast<uint8_t>((x ^ y) & 255);
    }
  }
  return b;
}

TIEBitmap& Large() {
  static std::unique_ptr<TIEBitmap> b = MakeImage(6000, 4000);
  return *b;
}
TIEBitmap& Small() {
  static std::unique_ptr<TIEBitmap> b = MakeImage(1500, 1000);
  return *b;
}

// state.range(0): 0 downscale, 1 upscale; state.range(1): threads (0 = every core).
void Resample(benchmark::State& state, TResampleFilter filter) {
  const bool up = state.range(0) == 1;
  TIEBitmap& src = up ? Small() : Large();
  const int32_t dw = up ? 6000 : 1500, dh = up ? 4000 : 1000;
  const int64_t saved = MinFileSizeOverride;
  MinFileSizeOverride = -1;
  ResampleThreadCountForTesting() = static_cast<int32_t>(state.range(1));
  for (auto _ : state) {
    // The destination is made in each call, as every peer makes its result: its first touch
    // (72 MB for the upscale) is part of the work.
    TIEBitmap dst(dw, dh, ie24RGB);
    ResampleBitmap(src, dst, filter, nullptr, nullptr);
    benchmark::DoNotOptimize(dst.GetRow(dh - 1));
    benchmark::ClobberMemory();
  }
  MinFileSizeOverride = saved;
  ResampleThreadCountForTesting() = 0;
  state.SetItemsProcessed(state.iterations() * int64_t{dw} * dh);
}

void BM_Lanczos3(benchmark::State& state) { Resample(state, rfLanczos3); }
void BM_Bicubic(benchmark::State& state) { Resample(state, rfBicubic); }
void BM_Triangle(benchmark::State& state) { Resample(state, rfTriangle); }
void BM_FastLinear(benchmark::State& state) { Resample(state, rfFastLinear); }

// Arguments: {direction, threads}; names read e.g. BM_Lanczos3/0/1 = downscale on one thread.
void Cases(benchmark::internal::Benchmark* b) {
  for (int64_t up : {0, 1})
    for (int64_t threads : {1, 0}) b->Args({up, threads});
  b->ArgNames({"up", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_Lanczos3)->Apply(Cases);
BENCHMARK(BM_Bicubic)->Apply(Cases);
BENCHMARK(BM_Triangle)->Apply(Cases);
BENCHMARK(BM_FastLinear)->Apply(Cases);
