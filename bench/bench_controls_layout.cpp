// The arranging panel and the panel's paint against Qt, in one process:
//  - RearrangeChildren of a panel 800 wide holding 1,000 windowed children of 25 x 20 (wrapping,
//    gaps of 2, rows centred), each round with the top margin changed by one pixel so that every
//    child moves, against a QGridLayout placing 1,000 QWidgets of the same size in the same rows
//    and columns with the same gaps (activate, which sets every widget's geometry), its top margin
//    changed the same way. Both end in 1,000 native geometry changes; the positions of the full
//    rows must agree (the short last row is centred by the panel, which a grid does not do);
//  - a form of 1,000 panels (40 x 20, a caption, a flat border) painted whole into a bitmap, against
//    1,000 QFrames (a box frame) each holding a QLabel with the caption, rendered by QWidget::render
//    into a QImage. Every panel's border must show in both pictures.
#include <benchmark/benchmark.h>

#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFrame>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "controls/controls_startup.h"
#include "controls/xc_panel.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/ext_ctrls.h"
#include "platform/ui/forms.h"

namespace {

constexpr int kChildren = 1000;
constexpr int kChildWidth = 25, kChildHeight = 20, kGap = 2, kPanelWidth = 800;
// Per row: need = 25 + X + 2 <= 800 with X = 27 k: 29 controls; 35 rows, the last of 14.
constexpr int kPerRow = 29;
constexpr int kFullRows = kChildren / kPerRow;

struct Arranged {
  TForm* form;
  TXcPanel* panel;
  std::vector<TWinControl*> children;
};

Arranged& OurPanel() {
  static Arranged a = [] {
    Arranged made;
    made.form = new TForm(nullptr);
    made.form->SetBorderStyle(bsNone);
    made.form->SetBounds(0, 0, kPanelWidth + 20, 900);
    made.panel = new TXcPanel(made.form);
    made.panel->SetParent(made.form);
    made.panel->SetBevelOuter(bvNone);
    made.panel->SetBounds(0, 0, kPanelWidth, 880);
    TXcArrangeSettings* s = made.panel->ArrangeSettings();
    s->SetDistanceHorizontal(kGap);
    s->SetDistanceVertical(kGap);
    s->SetHorizontalAlignLines(true);
    for (int i = 0; i < kChildren; ++i) {
      auto* c = new TPanel(made.form);
      c->SetParent(made.panel);
      c->SetBounds(0, 0, kChildWidth, kChildHeight);
      made.children.push_back(c);
    }
    made.form->HandleNeeded();
    made.panel->RearrangeChildren();
    return made;
  }();
  return a;
}

struct QtArranged {
  QWidget* container;
  QGridLayout* grid;
  std::vector<QWidget*> children;
};

QtArranged& QtPanel() {
  static QtArranged a = [] {
    QtArranged made;
    made.container = new QWidget;
    made.container->resize(kPanelWidth, 880);
    made.grid = new QGridLayout(made.container);
    made.grid->setSpacing(kGap);
    made.grid->setContentsMargins(0, 0, 0, 0);
    made.grid->setSizeConstraint(QLayout::SetFixedSize);
    for (int i = 0; i < kChildren; ++i) {
      auto* w = new QWidget(made.container);
      w->setFixedSize(kChildWidth, kChildHeight);
      made.grid->addWidget(w, i / kPerRow, i % kPerRow);
      made.children.push_back(w);
    }
    made.grid->activate();
    return made;
  }();
  return a;
}

void BM_RearrangeChildren_1000(benchmark::State& state) {
  Arranged& a = OurPanel();
  int top = 0;
  for (auto _ : state) {
    top ^= 1;
    a.panel->ArrangeSettings()->SetBorderTop(top);
    a.panel->RearrangeChildren();
  }
  // The same places as the grid's, for every full row.
  QtArranged& q = QtPanel();
  q.grid->setContentsMargins(0, top, 0, 0);
  q.grid->activate();
  for (int i = 0; i < kFullRows * kPerRow; ++i) {
    const QRect r = q.children[static_cast<size_t>(i)]->geometry();
    if (r.x() != a.children[static_cast<size_t>(i)]->Left() || r.y() != a.children[static_cast<size_t>(i)]->Top()) {
      state.SkipWithError("the places differ from the grid's");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_RearrangeChildren_1000)->Unit(benchmark::kMillisecond);

void BM_QGridLayout_1000(benchmark::State& state) {
  QtArranged& q = QtPanel();
  int top = 0;
  for (auto _ : state) {
    top ^= 1;
    q.grid->setContentsMargins(0, top, 0, 0);
    q.grid->activate();
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_QGridLayout_1000)->Unit(benchmark::kMillisecond);

// ------------------------------------------------------------------------------------- 1,000 paints

constexpr int kCellW = 40, kCellH = 20, kColumns = 25;
constexpr int kFormW = kColumns * kCellW, kFormH = (kChildren + kColumns - 1) / kColumns * kCellH;
const TColor kBorder = clNavy;

TForm* PanelForm() {
  static TForm* form = [] {
    auto* f = new TForm(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, kFormW, kFormH);
    f->SetColor(clBtnFace);
    for (int i = 0; i < kChildren; ++i) {
      auto* p = new TXcPanel(f);
      p->SetParent(f);
      p->SetBounds((i % kColumns) * kCellW, (i / kColumns) * kCellH, kCellW, kCellH);
      p->SetCaption("Red");
      p->SetFlatBorder(true);
      p->SetFlatBorderColor(kBorder);
      p->SetBorderWidth(1);
    }
    f->HandleNeeded();
    return f;
  }();
  return form;
}

QWidget* QtPanelForm() {
  static QWidget* w = [] {
    auto* form = new QWidget;
    form->resize(kFormW, kFormH);
    for (int i = 0; i < kChildren; ++i) {
      auto* frame = new QFrame(form);
      frame->setFrameShape(QFrame::Box);
      frame->setGeometry((i % kColumns) * kCellW, (i / kColumns) * kCellH, kCellW, kCellH);
      QPalette pal = frame->palette();
      pal.setColor(QPalette::WindowText, QColor(0, 0, 0x80));
      frame->setPalette(pal);
      auto* label = new QLabel(QStringLiteral("Red"), frame);
      label->setAlignment(Qt::AlignCenter);
      label->setGeometry(1, 1, kCellW - 2, kCellH - 2);
    }
    return form;
  }();
  return w;
}

// Every cell's left border pixel (half-way down) is the border colour.
template <class Pixel>
bool AllBordersShown(Pixel pixel, QRgb border) {
  for (int i = 0; i < kChildren; ++i)
    if (pixel((i % kColumns) * kCellW, (i / kColumns) * kCellH + kCellH / 2) != border) return false;
  return true;
}

void BM_Form1000Panels(benchmark::State& state) {
  TForm* form = PanelForm();
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(kFormW, kFormH);
  for (auto _ : state) {
    form->PaintTo(target.Canvas(), 0, 0);
    benchmark::ClobberMemory();
  }
  const COLORREF b = ColorToRGB(kBorder);
  auto pixel = [&](int x, int y) {
    const COLORREF c = ColorToRGB(target.Canvas()->Pixels(x, y));
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
  };
  if (!AllBordersShown(pixel, qRgb(GetRValue(b), GetGValue(b), GetBValue(b))))
    state.SkipWithError("a panel is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_Form1000Panels)->Unit(benchmark::kMillisecond);

void BM_Form1000QFramesWithQLabel(benchmark::State& state) {
  QWidget* w = QtPanelForm();
  QImage target(kFormW, kFormH, QImage::Format_RGB32);
  for (auto _ : state) {
    w->render(&target);
    benchmark::ClobberMemory();
  }
  if (!AllBordersShown([&](int x, int y) { return target.pixel(x, y); }, qRgb(0, 0, 0x80)))
    state.SkipWithError("a frame is missing from the picture");
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_Form1000QFramesWithQLabel)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  Application->Initialize();
  InitializeControls();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeControls();
  return 0;
}
