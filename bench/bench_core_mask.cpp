// Benchmarks of the selection mask and the blend operations over a full 1920 x 1080 image:
// masked copies of ie24RGB pixels through a 1-bit and an 8-bit selection, filling that selection
// from a polygon, and blending one image onto another pixel by pixel and row by row.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_blend.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// An ellipse of 256 points filling most of the image: the view's typical lasso selection.
std::vector<TPoint> Ellipse() {
  std::vector<TPoint> p;
  for (int i = 0; i < 256; ++i) {
    const double t = 2 * std::numbers::pi * i / 256;
    p.push_back(TPoint{static_cast<int32_t>(kWidth / 2 + 0.45 * kWidth * std::cos(t)),
                       static_cast<int32_t>(kHeight / 2 + 0.45 * kHeight * std::sin(t))});
  }
  return p;
}

void FillPattern(TIEBitmap& b, int seed) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.Row<uint8_t>(y);
    for (int32_t i = 0; i < b.RowLen(); ++i) row[i] = static_cast<uint8_t>(seed + 7 * i + 3 * y);
  }
}

void MaskedCopy24(benchmark::State& state, int32_t maskBits) {
  const int64_t saved = MinFileSizeOverride;
  MinFileSizeOverride = -1;
  TIEBitmap src(kWidth, kHeight, ie24RGB), dst(kWidth, kHeight, ie24RGB);
  MinFileSizeOverride = saved;
  FillPattern(src, 1);
  FillPattern(dst, 2);
  TIEMask mask;
  mask.Allocate(kWidth, kHeight, maskBits);
  const auto poly = Ellipse();
  mask.FillPolygons(maskBits == 1 ? 1 : 180, poly.data(), static_cast<int32_t>(poly.size()));
  for (auto _ : state) {
    mask.MaskedCopy(dst, src, false, false, false);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

void BM_MaskedCopy24RGB_Mask1(benchmark::State& state) { MaskedCopy24(state, 1); }
void BM_MaskedCopy24RGB_Mask8(benchmark::State& state) { MaskedCopy24(state, 8); }

void BM_FillPolygonEllipse(benchmark::State& state) {
  TIEMask mask;
  mask.Allocate(kWidth, kHeight, static_cast<int32_t>(state.range(0)));
  const auto poly = Ellipse();
  for (auto _ : state) {
    mask.Clear();
    mask.FillPolygons(1, poly.data(), static_cast<int32_t>(poly.size()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

struct BlendImages {
  std::vector<TIERGB> src, dst;
  BlendImages() : src(size_t{kWidth} * kHeight), dst(size_t{kWidth} * kHeight) {
    for (size_t i = 0; i < src.size(); ++i) {
      src[i] = TIERGB{uint8_t(i * 7), uint8_t(i * 13 + 5), uint8_t(i * 3 + 1)};
      dst[i] = TIERGB{uint8_t(i * 11 + 9), uint8_t(i * 5), uint8_t(i * 17 + 2)};
    }
  }
};

// BlendPixel called for every pixel, as a renderer that blends pixel by pixel does.
void BM_BlendPixel(benchmark::State& state) {
  BuildBlendCosineTable();
  BlendImages img;
  const int32_t op = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    for (int32_t y = 0; y < kHeight; ++y) {
      const TIERGB* s = img.src.data() + size_t{kWidth} * y;
      TIERGB* d = img.dst.data() + size_t{kWidth} * y;
      for (int32_t x = 0; x < kWidth; ++x) BlendPixel(s[x], d[x], op, y);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

// BlendRow over every row: the operation chosen once per row.
void BM_BlendRow(benchmark::State& state) {
  BuildBlendCosineTable();
  BlendImages img;
  const int32_t op = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    for (int32_t y = 0; y < kHeight; ++y)
      BlendRow(img.src.data() + size_t{kWidth} * y, img.dst.data() + size_t{kWidth} * y, kWidth, op, y);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

}  // namespace

BENCHMARK(BM_MaskedCopy24RGB_Mask1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskedCopy24RGB_Mask8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillPolygonEllipse)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
// 1 add, 4 multiply, 16 soft light (doubles), 18 colour dodge (division), 29 cosine table,
// 34 HSL hue, 40 anaglyph matrix.
BENCHMARK(BM_BlendPixel)->Arg(1)->Arg(4)->Arg(16)->Arg(18)->Arg(29)->Arg(34)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendRow)->Arg(1)->Arg(4)->Arg(16)->Arg(18)->Arg(29)->Arg(34)->Arg(40)->Unit(benchmark::kMillisecond);
