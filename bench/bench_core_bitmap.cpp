// Benchmarks of the pixel container: allocating and filling a 6000 x 4000 ie24RGB bitmap in
// memory and in a temporary file.
#include <benchmark/benchmark.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

// A new bitmap placed by MinFileSizeOverride: -1 keeps it in memory, 0 sends it to a file.
void AllocateAndFill(benchmark::State& state, int64_t override) {
  const int64_t saved = MinFileSizeOverride;
  MinFileSizeOverride = override;
  for (auto _ : state) {
    TIEBitmap bmp;
    if (!bmp.Allocate(kWidth, kHeight, ie24RGB)) {
      state.SkipWithError("allocation failed");
      break;
    }
    bmp.Fill(0x336699);
    benchmark::DoNotOptimize(bmp.GetRow(kHeight / 2));
  }
  MinFileSizeOverride = saved;
  state.SetBytesProcessed(state.iterations() * int64_t{18000} * kHeight);
}

void BM_AllocateFill24RGB_Memory(benchmark::State& state) { AllocateAndFill(state, -1); }
void BM_AllocateFill24RGB_File(benchmark::State& state) { AllocateAndFill(state, 0); }

// Filling an allocated bitmap again (no allocation, pages already present).
void BM_Fill24RGB_Memory(benchmark::State& state) {
  TIEBitmap bmp(kWidth, kHeight, ie24RGB);
  for (auto _ : state) {
    bmp.Fill(0x336699);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{18000} * kHeight);
}

void BM_FillRect24RGB_Memory(benchmark::State& state) {
  TIEBitmap bmp(kWidth, kHeight, ie24RGB);
  for (auto _ : state) {
    bmp.FillRect(100, 100, kWidth - 101, kHeight - 101, 0x123456);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_AllocateFill24RGB_Memory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllocateFill24RGB_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill24RGB_Memory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillRect24RGB_Memory)->Unit(benchmark::kMillisecond);
