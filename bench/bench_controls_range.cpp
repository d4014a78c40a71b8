// The number and range controls against Qt, in one process, on the same inputs:
//  - the gradient control's rebuild at 1920 x 1080 in 100 steps, horizontal, vertical, pyramid and
//    ellipse, against QPainter filling a QImage of the same form with a QLinearGradient (the peer
//    of the bands and of the pyramid) and a QRadialGradient scaled to the rectangle (the peer of
//    the ellipse). The band and ellipse pictures agree with Qt's within a step; the pyramid, written
//    once per pixel, equals the rectangles filled one over the other by the canvas;
//  - the cached repaint (one copy) against QPainter::drawImage of the same picture, pixel for pixel;
//  - the spin edit's number path: 100,000 values written in the fixed format with 2 decimals and
//    grouping and read back, against QLocale::toString and QLocale::toDouble; texts and values agree;
//  - 1,000 trackers and 1,000 sliders painted into a bitmap, against 1,000 QSliders rendered by
//    QWidget::render; every control shows in every picture.
// Both sides run on one thread (Qt's fill thread pool is limited to one); compare the wall times.
#include <benchmark/benchmark.h>

#include <QtCore/QLocale>
#include <QtCore/QThreadPool>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QRadialGradient>
#include <QtWidgets/QApplication>
#include <QtWidgets/QSlider>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "controls/controls_startup.h"
#include "controls/xc_gradient.h"
#include "controls/xc_slider.h"
#include "controls/xc_spin_edit.h"
#include "controls/xc_tracker.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/locale_info.h"
#include "platform/ui/forms.h"

namespace {

constexpr int kW = 1920, kH = 1080, kSteps = 100;
const QColor kFrom(0x29, 0xD3, 0x31), kTo(0xAD, 0xEF, 0xAD);
const COLORREF kFromRGB = RGB(0x29, 0xD3, 0x31), kToRGB = RGB(0xAD, 0xEF, 0xAD);
// One step of the widest channel: (0xAD - 0x29) / 100.
constexpr int kOneStep = 2;

// Our canvas on a QImage's own pixels.
struct ImageCanvas {
  explicit ImageCanvas(QImage& image)
      : dc(CreateSurfaceDC(image.bits(), image.width(), image.height(), image.bytesPerLine(), 32, nullptr, 0, true)) {
    canvas.SetHandle(dc);
  }
  ~ImageCanvas() {
    canvas.SetHandle(nullptr);
    DeleteDC(dc);
  }
  HDC dc;
  TCanvas canvas;
};

QImage ImageOf(TBitmap& b) {
  QImage image(b.Width(), b.Height(), QImage::Format_RGB32);
  for (int y = 0; y < b.Height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(b.ScanLine(y));
    auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < b.Width(); ++x) out[x] = 0xFF000000u | (row[x] & 0xFFFFFF);
  }
  return image;
}

// The largest difference of one channel at a grid of points, within the mask (all when null).
int MaxDifference(const QImage& a, const QImage& b, bool (*inside)(int, int) = nullptr) {
  int worst = 0;
  for (int y = 0; y < kH; y += 7)
    for (int x = 0; x < kW; x += 13) {
      if (inside && !inside(x, y)) continue;
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    }
  return worst;
}

// ---------------------------------------------------------------------------------- gradients

void QtGradient(QImage& image, TXcGradientStyle style) {
  QPainter p(&image);
  if (style == grEllipse) {
    // Centre the end colour, the border the start, scaled to the rectangle.
    QRadialGradient g(0.5, 0.5, 0.5);
    g.setCoordinateMode(QGradient::ObjectMode);
    g.setColorAt(0, kTo);
    g.setColorAt(1, kFrom);
    p.fillRect(0, 0, kW, kH, g);
    return;
  }
  const bool vertical = style == grVertical;
  QLinearGradient g(0, 0, vertical ? 0 : kW, vertical ? kH : 0);
  g.setColorAt(0, kFrom);
  g.setColorAt(1, kTo);
  p.fillRect(0, 0, kW, kH, g);
}

bool InsideEllipse(int x, int y) {
  const double u = (x + 0.5 - kW / 2.0) / (kW / 2.0), v = (y + 0.5 - kH / 2.0) / (kH / 2.0);
  return u * u + v * v < 0.98;
}

// The rectangles of the pyramid filled one over the other by the canvas.
QImage PyramidShapeByShape() {
  QImage image(kW, kH, QImage::Format_RGB32);
  ImageCanvas c(image);
  const double xs = static_cast<double>(kW) / kSteps / 2, ys = static_cast<double>(kH) / kSteps / 2;
  for (int i = 0; i <= kSteps; ++i) {
    auto channel = [&](int from, int to) { return static_cast<int>(std::nearbyint(from + i * ((to - from) / static_cast<double>(kSteps)))); };
    const int l = static_cast<int>(std::nearbyint(i * xs)), t = static_cast<int>(std::nearbyint(i * ys));
    c.canvas.Brush()->SetColor(TColorOf(RGB(channel(0x29, 0xAD), channel(0xD3, 0xEF), channel(0x31, 0xAD))));
    c.canvas.FillRect(Rect(l, t, kW - l, kH - t));
  }
  return image;
}

void Rebuild(benchmark::State& state, TXcGradientStyle style) {
  TBitmap bitmap;
  for (auto _ : state) {
    RenderGradient(&bitmap, kW, kH, style, kFromRGB, kToRGB, kSteps);
    benchmark::ClobberMemory();
  }
  const QImage ours = ImageOf(bitmap);
  if (style == grPyramid) {
    const int diff = MaxDifference(ours, PyramidShapeByShape());
    state.counters["max_channel_difference_to_shapes"] = diff;
    if (diff != 0) state.SkipWithError("the pyramid differs from its rectangles");
  } else {
    QImage qt(kW, kH, QImage::Format_RGB32);
    QtGradient(qt, style);
    // A band is up to one step behind the smooth colour; the ellipse is compared inside its edge.
    const int diff = MaxDifference(ours, qt, style == grEllipse ? InsideEllipse : nullptr);
    state.counters["max_channel_difference"] = diff;
    if (diff > kOneStep + 2) state.SkipWithError("the gradients differ");
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void QtFill(benchmark::State& state, TXcGradientStyle style) {
  QImage image(kW, kH, QImage::Format_RGB32);
  for (auto _ : state) {
    QtGradient(image, style);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_GradientRebuild_Horizontal(benchmark::State& s) { Rebuild(s, grHorizontal); }
BENCHMARK(BM_GradientRebuild_Horizontal)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_QtLinearGradient_Horizontal(benchmark::State& s) { QtFill(s, grHorizontal); }
BENCHMARK(BM_QtLinearGradient_Horizontal)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_GradientRebuild_Vertical(benchmark::State& s) { Rebuild(s, grVertical); }
BENCHMARK(BM_GradientRebuild_Vertical)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_QtLinearGradient_Vertical(benchmark::State& s) { QtFill(s, grVertical); }
BENCHMARK(BM_QtLinearGradient_Vertical)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_GradientRebuild_Pyramid(benchmark::State& s) { Rebuild(s, grPyramid); }
BENCHMARK(BM_GradientRebuild_Pyramid)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_GradientRebuild_Ellipse(benchmark::State& s) { Rebuild(s, grEllipse); }
BENCHMARK(BM_GradientRebuild_Ellipse)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_QtRadialGradient_Ellipse(benchmark::State& s) { QtFill(s, grEllipse); }
BENCHMARK(BM_QtRadialGradient_Ellipse)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The control's repaint of its cached picture against Qt drawing the same picture.
struct CachedGradient {
  CachedGradient() : form(new TForm(nullptr)) {
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, kW, kH);
    gradient = new TXcGradient(form.get());
    gradient->SetAlign(alNone);
    gradient->SetParent(form.get());
    gradient->SetBounds(0, 0, kW, kH);
    gradient->SetStartColor(TColorOf(kFromRGB));
    gradient->SetEndColor(TColorOf(kToRGB));
  }
  std::unique_ptr<TForm> form;
  TXcGradient* gradient;
};

void BM_GradientCachedRepaint(benchmark::State& state) {
  CachedGradient g;
  QImage target(kW, kH, QImage::Format_RGB32);
  ImageCanvas c(target);
  g.gradient->Perform(WM_PAINT, reinterpret_cast<WPARAM>(c.dc), 0);  // the one rebuild
  for (auto _ : state) {
    g.gradient->Perform(WM_PAINT, reinterpret_cast<WPARAM>(c.dc), 0);
    benchmark::ClobberMemory();
  }
  state.counters["rebuilds"] = g.gradient->Rebuilds();
  if (MaxDifference(target, ImageOf(*g.gradient->Cache())) != 0) state.SkipWithError("the copy differs");
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_GradientCachedRepaint)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_QtDrawImage(benchmark::State& state) {
  CachedGradient g;
  TBitmap warm(kW, kH);
  g.gradient->Perform(WM_PAINT, reinterpret_cast<WPARAM>(warm.Canvas()->Handle()), 0);
  const QImage picture = ImageOf(*g.gradient->Cache());
  QImage target(kW, kH, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&target);
    p.drawImage(0, 0, picture);
    p.end();
    benchmark::ClobberMemory();
  }
  if (MaxDifference(target, picture) != 0) state.SkipWithError("the copy differs");
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_QtDrawImage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// --------------------------------------------------------------------------------- number texts

constexpr int kValues = 100000;

const std::vector<double>& Values() {
  static const std::vector<double> values = [] {
    std::mt19937_64 random(29);
    std::uniform_real_distribution<double> d(-2e6, 2e6);
    std::vector<double> v(kValues);
    for (double& x : v) x = d(random);
    return v;
  }();
  return values;
}

void BM_SpinNumberTexts(benchmark::State& state) {
  SetDecimalSeparator('.');
  SetThousandSeparator(',');
  const std::vector<double>& values = Values();
  double sum = 0;
  for (auto _ : state) {
    for (double v : values) {
      const std::string text = SpinValueToText(v, vtFloat, std::string(), 2, true);
      long double back = 0;
      SpinTextToValue(text, vtFloat, false, back);
      sum += static_cast<double>(back);
    }
    benchmark::DoNotOptimize(sum);
  }
  // The texts and values agree with the toolkit's.
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  int differ = 0;
  for (double v : values) {
    const std::string text = SpinValueToText(v, vtFloat, std::string(), 2, true);
    long double back = 0;
    SpinTextToValue(text, vtFloat, false, back);
    const QString qt = english.toString(v, 'f', 2);
    differ += text != qt.toStdString() || static_cast<double>(back) != english.toDouble(qt);
  }
  state.counters["differing"] = differ;
  if (differ) state.SkipWithError("the number texts differ");
  state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SpinNumberTexts)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_QLocaleNumberTexts(benchmark::State& state) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  const std::vector<double>& values = Values();
  double sum = 0;
  for (auto _ : state) {
    for (double v : values) {
      const QString text = english.toString(v, 'f', 2);
      sum += english.toDouble(text);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_QLocaleNumberTexts)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// ------------------------------------------------------------------------- 1,000 range controls

constexpr int kControls = 1000, kColumns = 10, kCellW = 150, kCellH = 25;
constexpr int kFormW = kColumns * kCellW, kFormH = kControls / kColumns * kCellH;
int CellLeft(int i) { return (i % kColumns) * kCellW; }
int CellTop(int i) { return (i / kColumns) * kCellH; }

template <class Control>
TForm* FormOf(int cellHeight) {
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(0, 0, kFormW, kControls / kColumns * cellHeight);
  f->SetColor(clBtnFace);
  for (int i = 0; i < kControls; ++i) {
    auto* c = new Control(f);
    c->SetParent(f);
    c->SetBounds(CellLeft(i), (i / kColumns) * cellHeight, kCellW, cellHeight);
    c->SetValue(i % 100);
  }
  f->HandleNeeded();
  return f;
}

// Every control shows: its cell is not all one colour along its middle row.
bool AllShown(const QImage& image, int cellHeight) {
  for (int i = 0; i < kControls; ++i) {
    const int y = (i / kColumns) * cellHeight + cellHeight / 2;
    const QRgb first = image.pixel(CellLeft(i) + 2, y);
    bool varied = false;
    for (int x = CellLeft(i) + 2; x < CellLeft(i) + kCellW - 2 && !varied; ++x) varied = image.pixel(x, y) != first;
    if (!varied) return false;
  }
  return true;
}

void PaintForm(benchmark::State& state, TForm* form, int cellHeight) {
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(form->Width(), form->Height());
  form->PaintTo(target.Canvas(), 0, 0);
  for (auto _ : state) {
    form->PaintTo(target.Canvas(), 0, 0);
    benchmark::ClobberMemory();
  }
  if (!AllShown(ImageOf(target), cellHeight)) state.SkipWithError("a control is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kControls);
}

// Painted again unchanged: each tracker copies the picture it keeps.
void BM_Form1000Trackers(benchmark::State& state) {
  static TForm* form = FormOf<TXcTracker>(kCellH);
  PaintForm(state, form, kCellH);
}
BENCHMARK(BM_Form1000Trackers)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Every tracker shows a new value at every paint, so each draws its picture anew.
void BM_Form1000TrackersChanging(benchmark::State& state) {
  static TForm* form = FormOf<TXcTracker>(kCellH);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(form->Width(), form->Height());
  int round = 0;
  for (auto _ : state) {
    ++round;
    for (int i = 0; i < form->ControlCount(); ++i)
      static_cast<TXcTracker*>(form->Controls(i))->SetValue((i + round) % 100);
    form->PaintTo(target.Canvas(), 0, 0);
    benchmark::ClobberMemory();
  }
  if (!AllShown(ImageOf(target), kCellH)) state.SkipWithError("a control is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kControls);
}
BENCHMARK(BM_Form1000TrackersChanging)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Form1000Sliders(benchmark::State& state) {
  static TForm* form = FormOf<TXcxSlider>(kCellH);
  PaintForm(state, form, kCellH);
}
BENCHMARK(BM_Form1000Sliders)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Form1000QSliders(benchmark::State& state) {
  static QWidget* w = [] {
    auto* form = new QWidget;
    form->resize(kFormW, kFormH);
    for (int i = 0; i < kControls; ++i) {
      auto* s = new QSlider(Qt::Horizontal, form);
      s->setGeometry(CellLeft(i), CellTop(i), kCellW, kCellH);
      s->setRange(0, 100);
      s->setValue(i % 100);
    }
    return form;
  }();
  QImage target(kFormW, kFormH, QImage::Format_RGB32);
  for (auto _ : state) {
    w->render(&target);
    benchmark::ClobberMemory();
  }
  if (!AllShown(target, kCellH)) state.SkipWithError("a slider is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kControls);
}
BENCHMARK(BM_Form1000QSliders)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  // Our controls paint on one thread. Qt's raster engine hands large fills to a thread pool of its
  // own, which this does not reach; every benchmark therefore counts the whole process's CPU time.
  QThreadPool::globalInstance()->setMaxThreadCount(1);
  Application->Initialize();
  InitializeControls();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeControls();
  return 0;
}
