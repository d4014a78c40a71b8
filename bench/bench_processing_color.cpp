// Benchmarks of the processing component's colour operations, the Gaussian blur, the soft shadow
// and one undo step, on the shared photo-like 6000 x 4000 ie24RGB picture held in memory, undo off,
// on every core (threads 0) and on one. bench/peers/peer_blur.cpp and peer_color.cpp time the
// same operations beside libvips and ImageMagick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "bench/bench_photo_bitmap.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_gauss_blur.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_soft_shadow.h"
#include "imaging/processing/zodazur_proc.h"

namespace {

TIEBitmap& Photo() {
  static std::unique_ptr<TIEBitmap> b = MakeBenchPhotoBitmap(6000, 4000);
  return *b;
}

// A fresh copy of the photo for every iteration (not timed), the operation timed.
template <class F>
void OnCopy(benchmark::State& state, F&& op) {
  TIEBitmap work(1, 1, ie24RGB);
  const int32_t threads = static_cast<int32_t>(state.range(0));
  ResampleThreadCountForTesting() = threads;
  GaussBlurThreadCountForTesting() = threads;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Photo());
    state.ResumeTiming();
    op(work);
    benchmark::ClobberMemory();
  }
  ResampleThreadCountForTesting() = 0;
  GaussBlurThreadCountForTesting() = 0;
  state.SetItemsProcessed(state.iterations() * int64_t{6000} * 4000);
}

void BM_GaussianBlur(benchmark::State& state) {
  const double radius = static_cast<double>(state.range(1));
  OnCopy(state, [&](TIEBitmap& b) { GaussianBlurBitmap(b, nullptr, radius, nullptr); });
}

template <class F>
void Proc(benchmark::State& state, F&& op) {
  OnCopy(state, [&](TIEBitmap& b) {
    auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
    op(*proc);
  });
}

void BM_Negative(benchmark::State& state) { Proc(state, [](TZodazUrProc& p) { p.Negative(); }); }
void BM_IntensityRGBall(benchmark::State& state) { Proc(state, [](TZodazUrProc& p) { p.IntensityRGBall(20, -10, 5); }); }
void BM_Contrast(benchmark::State& state) { Proc(state, [](TZodazUrProc& p) { p.Contrast(2.5); }); }
void BM_HSLvar(benchmark::State& state) { Proc(state, [](TZodazUrProc& p) { p.HSLvar(30, 10, 5); }); }
void BM_HSVvar(benchmark::State& state) { Proc(state, [](TZodazUrProc& p) { p.HSVvar(30, 10, 5); }); }

// The soft shadow of a thumbnail-sized and of a full-HD picture (radius 4, offsets 3, enlarged).
void BM_SoftShadow(benchmark::State& state) {
  const int32_t w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  auto source = MakeBenchPhotoBitmap(w, h);
  TIEBitmap work(1, 1, ie24RGB);
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(*source);
    state.ResumeTiming();
    AddSoftShadowToBitmap(work, 4, 3, 3, 100, true, CreateRGB(0, 0, 0), nullptr, nullptr);
  }
}

// One undo step of the photo: the copy into the undo location (a temporary file by default).
void BM_UndoPush(benchmark::State& state) {
  TIEBitmap& photo = Photo();
  auto proc = TZodazUrProc::CreateFromIEBitmap(&photo);
  proc->SetUndoLocation(state.range(0) ? ieMemory : ieFile);
  for (auto _ : state) {
    proc->SaveUndo(ieuImage);
    state.PauseTiming();
    proc->ClearAllUndo();
    state.ResumeTiming();
  }
}

void Threads(benchmark::internal::Benchmark* b) {
  b->ArgNames({"threads"})->Args({0})->Args({1})->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_GaussianBlur)
    ->ArgNames({"threads", "radius"})
    ->Args({0, 2})
    ->Args({0, 10})
    ->Args({0, 30})
    ->Args({1, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Negative)->Apply(Threads);
BENCHMARK(BM_IntensityRGBall)->Apply(Threads);
BENCHMARK(BM_Contrast)->Apply(Threads);
BENCHMARK(BM_HSLvar)->Apply(Threads);
BENCHMARK(BM_HSVvar)->Apply(Threads);
BENCHMARK(BM_SoftShadow)->Args({160, 120})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UndoPush)->ArgNames({"memory"})->Args({0})->Args({1})->Unit(benchmark::kMillisecond)->UseRealTime();
