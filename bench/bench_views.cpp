// The single-image view's paint road on a 6000 x 4000 ie24RGB picture in a view whose client area
// is 1920 x 1080, on a shown (offscreen) form: panning at 100 % (each step painting at once, and
// the RenderView part alone), the fit zoom (about 27 %) recomposed every frame with rfFastLinear and
// with rfNone, 300 % with rfFastLinear, and the fast linear shrink of the whole picture to the fit
// size by itself.
//
// With BENCH_VIEWS_DUMP=<folder> the program also writes what it drew, for bench/compare_vips.sh to
// compare with libvips: pan.bgr (the 1920 x 1080 at the origin 3000, 2000) and fit.bgr (the
// 1620 x 1080 image area at the fit zoom), B, G, R rows from the top.
#include <benchmark/benchmark.h>

#include <QtWidgets/QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_startup.h"
#include "imaging/processing/ie_resample_fast.h"
#include "imaging/views/zodazur_view.h"
#include "platform/ui/forms.h"

namespace {

constexpr int kW = 6000, kH = 4000;

// The picture both sides make: R = 7x + 3y, G = x^2 + y, B = 5 (x xor y), each mod 256.
void Pattern(TIEBitmap& b) {
  b.Allocate(kW, kH, ie24RGB);
  for (int y = 0; y < kH; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < kW; ++x) {
      row[3 * x + 2] = static_cast<uint8_t>(x * 7 + y * 3);
      row[3 * x + 1] = static_cast<uint8_t>(x * x + y);
      row[3 * x] = static_cast<uint8_t>((x ^ y) * 5);
    }
  }
}

// One shown form with one view, made once.
struct Scene {
  TForm* form = nullptr;
  TZodazUrView* view = nullptr;
  Scene() {
    form = new TForm(nullptr);
    form->SetBounds(0, 0, 1960, 1120);
    form->Show();
    view = new TZodazUrView(form);
    view->SetParent(form);
    view->SetBorderStyle(bsNone);
    view->SetScrollBars(ssNone);
    view->SetBounds(0, 0, 1920, 1080);
    view->SetLegacyBitmap(false);
    Pattern(*view->IEBitmap());
    view->Update();
    Application->ProcessMessages();
  }
};

Scene& TheScene() {
  static Scene* s = new Scene();
  return *s;
}

void Dump(const char* name, TIEBitmap& b, int x, int y, int w, int h) {
  const char* folder = std::getenv("BENCH_VIEWS_DUMP");
  if (!folder) return;
  const std::string path = std::string(folder) + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  for (int r = 0; r < h; ++r)
    std::fwrite(static_cast<uint8_t*>(b.GetRow(y + r)) + 3 * x, 1, 3 * static_cast<size_t>(w), f);
  std::fclose(f);
}

void BM_PanAt100(benchmark::State& state) {
  TZodazUrView& v = *TheScene().view;
  v.SetZoomFilter(rfNone);
  v.SetZoom(100);
  int32_t x = 0, y = 0;
  for (auto _ : state) {
    x = (x + 37) % 4000;
    y = (y + 23) % 2900;
    v.SetViewXY(x, y);  // paints at once
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PanAt100)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_PanRenderViewPart(benchmark::State& state) {
  TZodazUrView& v = *TheScene().view;
  v.SetZoomFilter(rfNone);
  v.SetZoom(100);
  v.SetViewXY(3000, 2000);
  TIEBitmap target(1920, 1080, ie24RGB);
  for (auto _ : state) v.RenderView(target, false, false, nullptr);
  Dump("pan.bgr", target, 0, 0, 1920, 1080);
}
BENCHMARK(BM_PanRenderViewPart)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void Recompose(benchmark::State& state, TResampleFilter filter, double zoom) {
  TZodazUrView& v = *TheScene().view;
  v.SetZoomFilter(filter);
  if (zoom > 0) v.SetZoom(zoom);
  else v.Fit();
  v.SetViewXY(0, 0);
  for (auto _ : state) {
    v.SetBackBufferInvalid(true);  // as an image change does
    v.Paint();
  }
}

void BM_FitFastLinear(benchmark::State& state) {
  Recompose(state, rfFastLinear, 0);
  TZodazUrView& v = *TheScene().view;
  Dump("fit.bgr", *v.BackBuffer(), v.OffsetX(), v.OffsetY(), v.DrawWidth(), v.DrawHeight());
}
BENCHMARK(BM_FitFastLinear)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_FitNone(benchmark::State& state) { Recompose(state, rfNone, 0); }
BENCHMARK(BM_FitNone)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_Zoom300FastLinear(benchmark::State& state) { Recompose(state, rfFastLinear, 300); }
BENCHMARK(BM_Zoom300FastLinear)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_FastLinearShrinkWhole(benchmark::State& state) {
  TIEBitmap& src = *TheScene().view->IEBitmap();
  TIEBitmap out(1620, 1080, ie24RGB);
  for (auto _ : state) FastLinearResample24(src, out, nullptr, nullptr);
}
BENCHMARK(BM_FastLinearShrinkWhole)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  Application->Initialize();
  InitializeImagingUnits();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeImagingUnits();
  return 0;
}
