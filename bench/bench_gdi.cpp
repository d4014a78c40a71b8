// The drawing layer's block transfers on a full-HD 24-bit picture: a HALFTONE shrink to a third
// (the transition engine's and the views' reduction) and a plain copy.
#include <benchmark/benchmark.h>

#include "platform/gdi/bitmap.h"

namespace {

std::unique_ptr<TBitmap> Picture(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < w * 3; ++x) row[x] = static_cast<uint8_t>(x * 7 + y * 13);
  }
  return b;
}

void BM_StretchBltHalftone1080pToThird(benchmark::State& state) {
  auto src = Picture(1920, 1080);
  auto dst = Picture(640, 360);
  HDC s = src->Canvas()->Handle(), d = dst->Canvas()->Handle();
  SetStretchBltMode(d, HALFTONE);
  for (auto _ : state) {
    StretchBlt(d, 0, 0, 640, 360, s, 0, 0, 1920, 1080, SRCCOPY);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_StretchBltHalftone1080pToThird)->Unit(benchmark::kMillisecond);

void BM_BitBlt1080p(benchmark::State& state) {
  auto src = Picture(1920, 1080);
  auto dst = Picture(1920, 1080);
  HDC s = src->Canvas()->Handle(), d = dst->Canvas()->Handle();
  for (auto _ : state) {
    BitBlt(d, 0, 0, 1920, 1080, s, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_BitBlt1080p)->Unit(benchmark::kMillisecond);

}  // namespace
