// Benchmarks of the geometry routines on the shared photo-like picture held in memory, on every core
// (threads 0) and on one: the rotation by three shears (30 degrees, 6000 x 4000), the bicubic
// inverse mapping (30 degrees, 1920 x 1080), the quarter turn and the two flips (6000 x 4000), the
// magic wand's fill and outline over about 90 % of a 6000 x 4000 picture, the grey comparison of two
// 640 x 480 frames, and the packed DIB of a 6000 x 4000 picture. bench/peers/peer_geometry.cpp runs
// the same operations beside libvips and ImageMagick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "bench/bench_photo_bitmap.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_compare.h"
#include "imaging/processing/ie_dib_export.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_magic_wand.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_rotate.h"
#include "platform/system/memory.h"

namespace {

TIEBitmap& Photo() {
  static std::unique_ptr<TIEBitmap> b = MakeBenchPhotoBitmap(6000, 4000);
  return *b;
}

TIEBitmap& HD() {
  static std::unique_ptr<TIEBitmap> b = MakeBenchPhotoBitmap(1920, 1080);
  return *b;
}

// A 6000 x 4000 picture of one colour with a band of another across the top and small squares: the
// wand's region around the middle is about 90 % of the picture, with holes.
TIEBitmap& WandPicture() {
  static std::unique_ptr<TIEBitmap> b = [] {
    auto p = std::make_unique<TIEBitmap>(6000, 4000, ie24RGB);
    p->Fill(RGBToTColor(CreateRGB(200, 30, 30)));
    p->FillRect(0, 0, 5999, 379, RGBToTColor(CreateRGB(0, 0, 0)));
    for (int32_t y = 500; y < 3900; y += 300)
      for (int32_t x = 100; x < 5900; x += 300) p->FillRect(x, y, x + 9, y + 9, RGBToTColor(CreateRGB(0, 0, 0)));
    return p;
  }();
  return *b;
}

struct Threads {
  explicit Threads(benchmark::State& state) { ResampleThreadCountForTesting() = static_cast<int32_t>(state.range(0)); }
  ~Threads() { ResampleThreadCountForTesting() = 0; }
};

// A fresh copy of Source for every iteration (not timed), the operation timed.
template <class F>
void OnCopy(benchmark::State& state, TIEBitmap& Source, F&& op) {
  Threads t(state);
  TIEBitmap work(1, 1, ie24RGB);
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Source);
    state.ResumeTiming();
    op(work);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{Source.Width()} * Source.Height());
}

void BM_RotateShears30(benchmark::State& state) {
  OnCopy(state, Photo(), [](TIEBitmap& b) { RotateBitmap(b, true, nullptr, 30, nullptr, CreateRGB(0, 0, 0)); });
}

void BM_RotateBicubic30(benchmark::State& state) {
  OnCopy(state, HD(), [](TIEBitmap& b) { RotateInterpolated24(b, 0, 2, nullptr, nullptr, 30); });
}

void BM_QuarterTurn(benchmark::State& state) {
  OnCopy(state, Photo(), [](TIEBitmap& b) { TurnBitmapQuarters(b, 1, false); });
}

void BM_FlipHorizontal(benchmark::State& state) {
  OnCopy(state, Photo(), [](TIEBitmap& b) { FlipBitmap(b, iefdHorizontal); });
}

void BM_FlipVertical(benchmark::State& state) {
  OnCopy(state, Photo(), [](TIEBitmap& b) { FlipBitmap(b, iefdVertical); });
}

void BM_MagicWandFill(benchmark::State& state) {
  TIEMask mask;
  mask.Allocate(6000, 4000, 1);
  for (auto _ : state) {
    state.PauseTiming();
    mask.Clear();
    state.ResumeTiming();
    MagicWandFill(WandPicture(), 3000, 2000, false, 0, mask, 1);
  }
}

void BM_MagicWandOutline(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MagicWandOutline(WandPicture(), 3000, 2000, false, 0));
}

void BM_CompareImagesGray(benchmark::State& state) {
  static std::unique_ptr<TIEBitmap> a = MakeBenchPhotoBitmap(640, 480), b = [] {
    auto p = MakeBenchPhotoBitmap(640, 480);
    p->FillRect(100, 100, 300, 200, 0);
    return p;
  }();
  TIEBitmap diff(1, 1, ie8g);
  for (auto _ : state) benchmark::DoNotOptimize(CompareImagesGray(*a, *b, &diff));
}

void BM_CopyBitmapToDIB(benchmark::State& state) {
  for (auto _ : state) GlobalFree(_CopyBitmaptoDIBEx(Photo(), 0, 0, 0, 0, 300, 300));
  state.SetItemsProcessed(state.iterations() * int64_t{6000} * 4000);
}

}  // namespace

BENCHMARK(BM_RotateShears30)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RotateBicubic30)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuarterTurn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlipHorizontal)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlipVertical)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MagicWandFill)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MagicWandOutline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompareImagesGray)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CopyBitmapToDIB)->Unit(benchmark::kMillisecond)->UseRealTime();
