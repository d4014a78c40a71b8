// The office colour button and its panel against Qt, in one process, on 32-bit pictures:
//  - a colour button made, its colour window dropped down and painted whole into a bitmap (the
//    "Automatic" button, 40 cells, "Other Colors..." and its swatch), then freed, against a
//    frameless Qt pop-up QWidget with a QGridLayout of 40 QToolButtons with colour icons and two
//    QPushButtons, shown, rendered by QWidget::render into a QImage and freed. Both pictures must
//    show the 40 colours at the cells' centres;
//  - SelectedColor changes cycling through the grid in a dropped-down colour window, each followed
//    by painting the cells whose state changed into the window's surface (the raised cell by the
//    speed button's own repaint, the one put down by the window's update), against an exclusive
//    QButtonGroup's setChecked on the matching QToolButton with the two changed buttons rendered
//    into a QImage. Exactly two cells change state and two are painted per change (both counted),
//    the last one chosen is down and the window shows its colour.
#include <benchmark/benchmark.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

#include <vector>

#include "bench/bench_controls_main.h"
#include "controls/xc_color_tables.h"
#include "controls/xc_office_color_button.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/window_dc.h"

namespace {

constexpr int kCells = 40;

TForm* Host() {
  static TForm* form = [] {
    auto* f = new TForm(nullptr);
    f->SetBounds(0, 0, 200, 100);
    f->Show();
    Application->ProcessMessages();
    return f;
  }();
  return form;
}

QRgb Rgb(TColor c) {
  const COLORREF v = ColorToRGB(c);
  return qRgb(GetRValue(v), GetGValue(v), GetBValue(v));
}

// The centre of every cell shows its office colour.
template <class Pixel>
bool AllColoursShown(Pixel pixel, const std::vector<QPoint>& centres) {
  for (int i = 0; i < kCells; ++i)
    if (pixel(centres[static_cast<size_t>(i)]) != Rgb(OfficeColorValues()[i].Value)) return false;
  return true;
}

void BM_ColorButtonDropDownAndPaint(benchmark::State& state) {
  TForm* host = Host();
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  std::vector<QPoint> centres;
  for (auto _ : state) {
    auto* b = new TXcOfficeColorButton(host);
    b->SetParent(host);
    b->SetBounds(10, 10, 35, 22);
    b->DropDown(0, 0);
    TXcOfficeColorForm* f = b->ColorForm();
    target.SetSize(f->Width(), f->Height());
    f->PaintTo(target.Canvas(), 0, 0);
    benchmark::ClobberMemory();
    if (centres.empty()) {
      TXcOfficeColorPanel* p = b->ColorPanel();
      for (TControl* c : p->StandardButtons())
        centres.emplace_back(p->Left() + c->Left() + c->Width() / 2, p->Top() + c->Top() + c->Height() / 2);
    }
    delete b;
  }
  auto pixel = [&](QPoint p) { return Rgb(target.Canvas()->Pixels(p.x(), p.y())); };
  if (!AllColoursShown(pixel, centres)) state.SkipWithError("a colour is missing from the picture");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ColorButtonDropDownAndPaint)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

QIcon ColourIcon(TColor c) {
  QPixmap pm(12, 12);
  pm.fill(QColor(Rgb(c)));
  return QIcon(pm);
}

void BM_QtPopupOfToolButtonsRender(benchmark::State& state) {
  QImage target;
  std::vector<QPoint> centres;
  for (auto _ : state) {
    auto* popup = new QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    auto* column = new QVBoxLayout(popup);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    column->addWidget(new QPushButton(QStringLiteral("Automatic"), popup));
    auto* grid = new QGridLayout;
    grid->setSpacing(0);
    std::vector<QToolButton*> buttons;
    for (int i = 0; i < kCells; ++i) {
      auto* t = new QToolButton(popup);
      t->setIcon(ColourIcon(OfficeColorValues()[i].Value));
      t->setIconSize(QSize(12, 12));
      t->setFixedSize(18, 18);
      t->setAutoRaise(true);
      grid->addWidget(t, i / 8, i % 8);
      buttons.push_back(t);
    }
    column->addLayout(grid);
    column->addWidget(new QPushButton(QStringLiteral("Other Colors..."), popup));
    popup->show();
    if (target.size() != popup->size()) target = QImage(popup->size(), QImage::Format_RGB32);
    popup->render(&target);
    benchmark::ClobberMemory();
    if (centres.empty())
      for (QToolButton* t : buttons) centres.push_back(t->geometry().center());
    delete popup;
  }
  if (!AllColoursShown([&](QPoint p) { return target.pixel(p); }, centres))
    state.SkipWithError("a colour is missing from the picture");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QtPopupOfToolButtonsRender)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// ----------------------------------------------------------------------------- selection changes

void BM_SelectedColorChangePaintChangedCells(benchmark::State& state) {
  TForm* host = Host();
  auto* b = new TXcOfficeColorButton(host);
  b->SetParent(host);
  b->DropDown(0, 0);
  TXcOfficeColorPanel* p = b->ColorPanel();
  p->Update();
  const std::vector<TXcOfficeColorDrawer*>& cells = p->StandardButtons();
  std::vector<bool> down(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) down[i] = cells[i]->Down();
  int index = 0;
  for (auto _ : state) {
    index = (index + 1) % kCells;
    b->SetSelectedColor(OfficeColorValues()[index].Value);
    // The cells whose state changed are painted into the window's surface: the raised one by the
    // speed button's own repaint, the one put down by the window's update of what it invalidated.
    p->Update();
    benchmark::ClobberMemory();
  }
  // Measured once more over a short run: two cells change state per change.
  // The cells painted are counted too: the two that changed, each once.
  auto paints = [&] {
    int64_t n = p->DefaultButton()->Paints();
    for (const TXcOfficeColorDrawer* c : cells) n += c->Paints();
    return n;
  };
  const int64_t paintsBefore = paints();
  int64_t perRun = 0;
  for (int k = 1; k <= kCells; ++k) {
    for (size_t i = 0; i < cells.size(); ++i) down[i] = cells[i]->Down();
    b->SetSelectedColor(OfficeColorValues()[(index + k) % kCells].Value);
    p->Update();
    for (size_t i = 0; i < cells.size(); ++i) perRun += cells[i]->Down() != down[i] ? 1 : 0;
  }
  const int64_t painted = paints() - paintsBefore;
  if (perRun != 2 * kCells) state.SkipWithError("other cells than the two that changed changed state");
  if (painted != 2 * kCells) state.SkipWithError("a change painted other cells than the two that changed");
  const TXcOfficeColorDrawer* c = cells[static_cast<size_t>((index + kCells) % kCells)];
  if (!c->Down()) state.SkipWithError("the selected cell is not down");
  // The window shows the selected colour at the cell's centre.
  HDC dc = GetDC(p->Handle());
  const COLORREF shown = GetPixel(dc, c->Left() + c->Width() / 2, c->Top() + c->Height() / 2);
  ReleaseDC(p->Handle(), dc);
  if (Rgb(static_cast<TColor>(shown)) != Rgb(c->SwatchColor())) state.SkipWithError("the window does not show the cell");
  state.counters["cells_changed_per_change"] = static_cast<double>(perRun) / kCells;
  state.counters["cells_painted_per_change"] = static_cast<double>(painted) / kCells;
  state.SetItemsProcessed(state.iterations());
  delete b;
}
BENCHMARK(BM_SelectedColorChangePaintChangedCells)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_QButtonGroupSetCheckedRenderTwo(benchmark::State& state) {
  QWidget popup(nullptr, Qt::Popup | Qt::FramelessWindowHint);
  auto* grid = new QGridLayout(&popup);
  grid->setSpacing(0);
  QButtonGroup group;
  group.setExclusive(true);
  std::vector<QToolButton*> buttons;
  for (int i = 0; i < kCells; ++i) {
    auto* t = new QToolButton(&popup);
    t->setIcon(ColourIcon(OfficeColorValues()[i].Value));
    t->setIconSize(QSize(12, 12));
    t->setFixedSize(18, 18);
    t->setCheckable(true);
    t->setAutoRaise(true);
    grid->addWidget(t, i / 8, i % 8);
    group.addButton(t, i);
    buttons.push_back(t);
  }
  popup.show();
  QImage target(popup.size(), QImage::Format_RGB32);
  int index = 0, previous = -1;
  for (auto _ : state) {
    index = (index + 1) % kCells;
    buttons[static_cast<size_t>(index)]->setChecked(true);
    if (previous >= 0) {
      QToolButton* old = buttons[static_cast<size_t>(previous)];
      old->render(&target, old->pos());
    }
    QToolButton* now = buttons[static_cast<size_t>(index)];
    now->render(&target, now->pos());
    previous = index;
    benchmark::ClobberMemory();
  }
  if (group.checkedId() != index) state.SkipWithError("the checked button is not the selected one");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QButtonGroupSetCheckedRenderTwo)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) { return RunControlsBenchmarks(argc, argv); }
