// The controls' drawing against Qt, in one process, on the same pictures:
//  - FillGradientBands in 255 bands, top-down and left-right, on a 1920 x 1080 32-bit QImage (drawn
//    through a device context on its pixels), against QPainter::fillRect with a QLinearGradient of the
//    same two colours on a QImage of the same form; the pictures agree within a band's step;
//  - CreateGradientBitmap, 64 colours, dithered, 1920 x 1080, against the same Qt gradient fill;
//  - a form of 1,000 XP buttons (73 x 21, with a caption) and one of 1,000 speed buttons (25 x 25, a
//    16 x 16 glyph) painted whole into a bitmap, against 1,000 QPushButtons of the same sizes with an
//    icon (and the caption) rendered by QWidget::render into a QImage. Every button must show in both
//    pictures; the counters report how many face bitmaps and glyph pictures were made while painting
//    (none: they are made once per size and state, then only copied).
#include <benchmark/benchmark.h>

#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bench/bench_controls_main.h"
#include "controls/controls_startup.h"
#include "controls/xc_bitmap_utils.h"
#include "controls/xc_button_glyph.h"
#include "controls/xc_speed_button.h"
#include "controls/xc_xp_buttons.h"
#include "controls/xc_xp_core_utils.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"

namespace {

constexpr int kW = 1920, kH = 1080;
const QColor kFrom(0x29, 0xD3, 0x31), kTo(0xAD, 0xEF, 0xAD);
const TColor kFromColor = TColorOf(0x0031D329), kToColor = TColorOf(0x00ADEFAD);

// The largest difference of one channel between two pictures, at a grid of points.
int MaxDifference(const QImage& a, const QImage& b) {
  int worst = 0;
  for (int y = 0; y < kH; y += 7)
    for (int x = 0; x < kW; x += 13) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q))});
    }
  return worst;
}

void QtGradient(QImage& image, bool vertical) {
  QPainter p(&image);
  QLinearGradient g(0, 0, vertical ? 0 : kW, vertical ? kH : 0);
  g.setColorAt(0, kFrom);
  g.setColorAt(1, kTo);
  p.fillRect(0, 0, kW, kH, g);
}

// Our canvas on the QImage's own pixels.
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

void Bands(benchmark::State& state, int direction) {
  QImage image(kW, kH, QImage::Format_RGB32);
  ImageCanvas c(image);
  for (auto _ : state) {
    FillGradientBands(&c.canvas, Rect(0, 0, kW, kH), kFromColor, kToColor, direction, 255);
    benchmark::ClobberMemory();
  }
  QImage qt(kW, kH, QImage::Format_RGB32);
  QtGradient(qt, direction == 0);
  // The bands differ from a smooth gradient by their steps and by the pixels left over at the end
  // (extent mod 255), which take the end colour: the extent is covered in 255 x (extent div 255)
  // pixels. Allowed: that share of the range, and two for the steps and rounding.
  const int extent = direction == 0 ? kH : kW, range = 0xEF - 0xD3 > 0xAD - 0x29 ? 0xEF - 0xD3 : 0xAD - 0x29;
  const int allowed = range * (extent % 255) / extent + 3;
  const int diff = MaxDifference(image, qt);
  state.counters["max_channel_difference"] = diff;
  if (diff > allowed) state.SkipWithError("the gradients differ");
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
void BM_FillGradientBands_TopDown(benchmark::State& state) { Bands(state, 0); }
BENCHMARK(BM_FillGradientBands_TopDown)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_FillGradientBands_LeftRight(benchmark::State& state) { Bands(state, 2); }
BENCHMARK(BM_FillGradientBands_LeftRight)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void QtLinearGradient(benchmark::State& state, bool vertical) {
  QImage image(kW, kH, QImage::Format_RGB32);
  for (auto _ : state) {
    QtGradient(image, vertical);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
void BM_QtLinearGradient_TopDown(benchmark::State& state) { QtLinearGradient(state, true); }
BENCHMARK(BM_QtLinearGradient_TopDown)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_QtLinearGradient_LeftRight(benchmark::State& state) { QtLinearGradient(state, false); }
BENCHMARK(BM_QtLinearGradient_LeftRight)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_CreateGradientBitmap_64Dithered(benchmark::State& state) {
  TBitmap bitmap;
  for (auto _ : state) {
    CreateGradientBitmap(kW, kH, kFromColor, kToColor, 64, 1, true, &bitmap);
    benchmark::ClobberMemory();
  }
  // 64 colours over the range: within half a step (0x84 / 63 / 2) and a rounding of the smooth one.
  QImage ours(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const COLORREF c = ColorToRGB(bitmap.Canvas()->Pixels(x, y));
      if (x % 13 == 0 && y % 7 == 0) ours.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  QImage qt(kW, kH, QImage::Format_RGB32);
  QtGradient(qt, true);
  const int diff = MaxDifference(ours, qt);
  state.counters["max_channel_difference"] = diff;
  if (diff > 3) state.SkipWithError("the gradients differ");
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_CreateGradientBitmap_64Dithered)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// ------------------------------------------------------------------------------------ 1,000 buttons

constexpr int kButtons = 1000;

struct Grid {
  int width, height, columns;
  int FormWidth() const { return columns * width; }
  int FormHeight() const { return (kButtons + columns - 1) / columns * height; }
  int Left(int i) const { return (i % columns) * width; }
  int Top(int i) const { return (i / columns) * height; }
};
constexpr Grid kXPGrid{73, 21, 20};
constexpr Grid kSpeedGrid{25, 25, 40};

TForm* NewForm(const Grid& g) {
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(0, 0, g.FormWidth(), g.FormHeight());
  f->SetColor(clBtnFace);
  return f;
}

TForm* XPForm() {
  static TForm* form = [] {
    TForm* f = NewForm(kXPGrid);
    for (int i = 0; i < kButtons; ++i) {
      auto* b = new TXcXPButton(f);
      b->SetParent(f);
      b->SetBounds(kXPGrid.Left(i), kXPGrid.Top(i), kXPGrid.width, kXPGrid.height);
      b->SetCaption("OK");
    }
    f->HandleNeeded();
    return f;
  }();
  return form;
}

std::unique_ptr<TBitmap> GlyphBitmap() {
  auto g = std::make_unique<TBitmap>(16, 16);
  g->Canvas()->Brush()->SetColor(clFuchsia);
  g->Canvas()->FillRect(Rect(0, 0, 16, 16));
  g->Canvas()->Brush()->SetColor(clNavy);
  g->Canvas()->FillRect(Rect(3, 3, 13, 13));
  return g;
}

TForm* SpeedForm() {
  static TForm* form = [] {
    TForm* f = NewForm(kSpeedGrid);
    auto glyph = GlyphBitmap();
    for (int i = 0; i < kButtons; ++i) {
      auto* b = new TXcSpeedButton(f);
      b->SetParent(f);
      b->SetBounds(kSpeedGrid.Left(i), kSpeedGrid.Top(i), kSpeedGrid.width, kSpeedGrid.height);
      b->SetGlyph(glyph.get());
    }
    f->HandleNeeded();
    return f;
  }();
  return form;
}

QWidget* QtForm(const Grid& g, const char* caption) {
  auto* w = new QWidget;
  w->resize(g.FormWidth(), g.FormHeight());
  QPixmap icon(16, 16);
  icon.fill(Qt::magenta);
  {
    QPainter p(&icon);
    p.fillRect(3, 3, 10, 10, QColor(0, 0, 0x80));
  }
  for (int i = 0; i < kButtons; ++i) {
    auto* b = new QPushButton(QIcon(icon), caption, w);
    b->setGeometry(g.Left(i), g.Top(i), g.width, g.height);
  }
  return w;
}

QWidget* QtXPForm() {
  static QWidget* w = QtForm(kXPGrid, "OK");
  return w;
}
QWidget* QtSpeedForm() {
  static QWidget* w = QtForm(kSpeedGrid, "");
  return w;
}

// Every button of the grid shows: its middle is not the colour of the form's background.
bool AllShown(const QImage& image, const Grid& g, QRgb background) {
  for (int i = 0; i < kButtons; ++i)
    if (image.pixel(g.Left(i) + g.width / 2, g.Top(i) + g.height / 2) == background &&
        image.pixel(g.Left(i) + 1, g.Top(i) + g.height / 2) == background)
      return false;
  return true;
}

QImage ImageOf(TBitmap& b) {
  QImage image(b.Width(), b.Height(), QImage::Format_RGB32);
  for (int y = 0; y < b.Height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(b.ScanLine(y));
    for (int x = 0; x < b.Width(); ++x) image.setPixel(x, y, 0xFF000000u | (row[x] & 0xFFFFFF));
  }
  return image;
}

void PaintForm(benchmark::State& state, TForm* form, const Grid& g) {
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(g.FormWidth(), g.FormHeight());
  form->PaintTo(target.Canvas(), 0, 0);  // the first paint makes what is made once
  const int64_t faces = GradientBitmapsMade(), looks = TXcXPCustomButton::LooksDrawn();
  for (auto _ : state) {
    form->PaintTo(target.Canvas(), 0, 0);
    benchmark::ClobberMemory();
  }
  state.counters["faces_made_while_painting"] = static_cast<double>(GradientBitmapsMade() - faces);
  state.counters["xp_looks_drawn_while_painting"] = static_cast<double>(TXcXPCustomButton::LooksDrawn() - looks);
  const COLORREF face = ColorToRGB(clBtnFace);
  if (!AllShown(ImageOf(target), g, qRgb(GetRValue(face), GetGValue(face), GetBValue(face))))
    state.SkipWithError("a button is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kButtons);
}

void RenderQt(benchmark::State& state, QWidget* w, const Grid& g) {
  QImage target(g.FormWidth(), g.FormHeight(), QImage::Format_RGB32);
  for (auto _ : state) {
    w->render(&target);
    benchmark::ClobberMemory();
  }
  if (!AllShown(target, g, w->palette().color(QPalette::Window).rgb()))
    state.SkipWithError("a button is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kButtons);
}

void BM_Form1000XPButtons(benchmark::State& state) { PaintForm(state, XPForm(), kXPGrid); }
BENCHMARK(BM_Form1000XPButtons)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_Form1000QPushButtons_73x21(benchmark::State& state) { RenderQt(state, QtXPForm(), kXPGrid); }
BENCHMARK(BM_Form1000QPushButtons_73x21)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Form1000SpeedButtons(benchmark::State& state) {
  TForm* form = SpeedForm();
  auto* first = dynamic_cast<TXcSpeedButton*>(form->Controls(0));
  // Built by the first paint (one picture per button and state), then only copied.
  TBitmap warm(kSpeedGrid.FormWidth(), kSpeedGrid.FormHeight());
  form->PaintTo(warm.Canvas(), 0, 0);
  TXcGlyphList* pool = first ? first->ContentPainter()->PoolList() : nullptr;
  const int before = pool ? pool->UsedCount() : -1;
  PaintForm(state, form, kSpeedGrid);
  state.counters["glyph_pictures"] = before;
  state.counters["glyph_pictures_made_while_painting"] = pool ? pool->UsedCount() - before : -1;
}
BENCHMARK(BM_Form1000SpeedButtons)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
void BM_Form1000QPushButtons_25x25(benchmark::State& state) { RenderQt(state, QtSpeedForm(), kSpeedGrid); }
BENCHMARK(BM_Form1000QPushButtons_25x25)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) { return RunControlsBenchmarks(argc, argv); }
