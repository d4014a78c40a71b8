// The control extension bases against the framework and against Qt, in one process:
//  - notifications: the extension bases' rows in turn performed on an extension custom control that
//    overrides nothing, on the framework's TCustomControl, and the matching QEvents sent with
//    QCoreApplication::sendEvent to a plain QWidget (one million of each per run);
//  - the erase path of a windowed extension control against the framework's;
//  - a 1000 x 800 form with 1,000 windowless extension controls of 25 x 25 that fill and frame
//    themselves, painted whole into a bitmap, against 1,000 boxed, filled QFrames rendered by
//    QWidget::render into a QImage of the same size (the pictures are compared pixel for pixel).
#include <benchmark/benchmark.h>

#include <QtGui/QEnterEvent>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFrame>
#include <QtWidgets/QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/bench_controls_main.h"
#include "controls/controls_startup.h"
#include "controls/xc_ex_controls.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/window_dc.h"

namespace {

// ------------------------------------------------------------------------------------ notifications

// The rows, and the Qt event that means the same.
struct Notification {
  UINT msg;
  QEvent::Type qt;
};
constexpr Notification kRows[] = {
    {CM_ENABLEDCHANGED, QEvent::EnabledChange}, {CM_COLORCHANGED, QEvent::PaletteChange},
    {CM_FONTCHANGED, QEvent::FontChange},       {CM_PARENTFONTCHANGED, QEvent::FontChange},
    {CM_PARENTCOLORCHANGED, QEvent::PaletteChange}, {CM_MOUSEENTER, QEvent::Enter},
    {CM_MOUSELEAVE, QEvent::Leave},             {CM_CURSORCHANGED, QEvent::CursorChange},
    {CM_TEXTCHANGED, QEvent::WindowTitleChange}, {CM_SHOWHINTCHANGED, QEvent::ToolTipChange},
};
constexpr int kRowCount = sizeof kRows / sizeof kRows[0];
constexpr int64_t kRounds = 100000;  // x 10 rows = one million notifications

// The parent form of the measured controls (a window, not shown).
TForm* Host() {
  static TForm* form = [] {
    auto* f = new TForm(nullptr);
    f->SetBounds(0, 0, 200, 200);
    f->HandleNeeded();
    return f;
  }();
  return form;
}

template <class Control>
void Notifications(benchmark::State& state) {
  auto* c = new Control(Host());
  c->SetParent(Host());
  c->SetBounds(10, 10, 50, 30);
  c->HandleNeeded();
  int64_t enters = 0;
  c->OnMouseEnter = [&](TObject*) { ++enters; };
  for (auto _ : state) {
    for (int64_t round = 0; round < kRounds; ++round)
      for (const Notification& n : kRows) c->Perform(n.msg, 0, 0);
  }
  if (enters != state.iterations() * kRounds) state.SkipWithError("not every enter reached the control");
  state.SetItemsProcessed(state.iterations() * kRounds * kRowCount);
  delete c;
}

void BM_Notifications_ExtensionCustomControl(benchmark::State& state) { Notifications<TXcExCustomControl>(state); }
BENCHMARK(BM_Notifications_ExtensionCustomControl)->Unit(benchmark::kMillisecond);

void BM_Notifications_FrameworkCustomControl(benchmark::State& state) { Notifications<TCustomControl>(state); }
BENCHMARK(BM_Notifications_FrameworkCustomControl)->Unit(benchmark::kMillisecond);

// A plain widget that counts its enter events (the check that every event arrived).
class CountingWidget : public QWidget {
 public:
  using QWidget::QWidget;
  int64_t enters = 0;

 protected:
  void enterEvent(QEnterEvent*) override { ++enters; }
};

void BM_Notifications_QtWidgetSendEvent(benchmark::State& state) {
  QWidget parent;
  parent.resize(200, 200);
  auto* w = new CountingWidget(&parent);
  w->setGeometry(10, 10, 50, 30);
  std::vector<std::unique_ptr<QEvent>> events;
  for (const Notification& n : kRows) {
    if (n.qt == QEvent::Enter) events.push_back(std::make_unique<QEnterEvent>(QPointF(1, 1), QPointF(11, 11), QPointF(11, 11)));
    else events.push_back(std::make_unique<QEvent>(n.qt));
  }
  for (auto _ : state) {
    for (int64_t round = 0; round < kRounds; ++round)
      for (auto& e : events) QCoreApplication::sendEvent(w, e.get());
  }
  if (w->enters != state.iterations() * kRounds) state.SkipWithError("not every enter reached the widget");
  state.SetItemsProcessed(state.iterations() * kRounds * kRowCount);
}
BENCHMARK(BM_Notifications_QtWidgetSendEvent)->Unit(benchmark::kMillisecond);

// ------------------------------------------------------------------------------------ the erase path

template <class Control>
void Erase(benchmark::State& state) {
  auto* c = new Control(Host());
  c->SetParent(Host());
  c->SetBounds(10, 10, 50, 30);
  TBitmap target(50, 30);
  HDC dc = target.Canvas()->Handle();
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) c->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  }
  if (target.Canvas()->Pixels(5, 5) != static_cast<TColor>(ColorToRGB(c->Color()))) state.SkipWithError("not erased");
  state.SetItemsProcessed(state.iterations() * 1000);
  delete c;
}

void BM_Erase_ExtensionCustomControl(benchmark::State& state) { Erase<TXcExCustomControl>(state); }
BENCHMARK(BM_Erase_ExtensionCustomControl)->Unit(benchmark::kMillisecond);

void BM_Erase_FrameworkCustomControl(benchmark::State& state) { Erase<TCustomControl>(state); }
BENCHMARK(BM_Erase_FrameworkCustomControl)->Unit(benchmark::kMillisecond);

// --------------------------------------------------------------------------------------- a full form

constexpr int kFormWidth = 1000, kFormHeight = 800, kBoxes = 1000, kBox = 25, kColumns = kFormWidth / kBox;

TColor BoxColor(int i) { return static_cast<TColor>(RGB(static_cast<uint8_t>(40 + i % 200), 120, static_cast<uint8_t>(200 - i % 150))); }

// A windowless box that fills and frames itself.
class TBox : public TXcExGraphicControl {
 public:
  TBox(TComponent* owner, TColor fill) : TXcExGraphicControl(owner), fill_(fill) {}

 protected:
  void Paint() override {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(fill_);
    c->FillRect(Rect(0, 0, kBox, kBox));
    c->Brush()->SetColor(clBlack);
    c->FrameRect(Rect(0, 0, kBox, kBox));
  }

 private:
  TColor fill_;
};

TForm* BoxForm() {
  static TForm* form = [] {
    auto* f = new TForm(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, kFormWidth, kFormHeight);
    f->SetColor(clWhite);
    for (int i = 0; i < kBoxes; ++i) {
      auto* b = new TBox(f, BoxColor(i));
      b->SetParent(f);
      b->SetBounds((i % kColumns) * kBox, (i / kColumns) * kBox, kBox, kBox);
    }
    f->HandleNeeded();
    return f;
  }();
  return form;
}

QWidget* BoxWidget() {
  static QWidget* root = [] {
    auto* w = new QWidget;
    w->resize(kFormWidth, kFormHeight);
    QPalette white = w->palette();
    white.setColor(QPalette::Window, Qt::white);
    w->setPalette(white);
    w->setAutoFillBackground(true);
    for (int i = 0; i < kBoxes; ++i) {
      auto* f = new QFrame(w);
      f->setGeometry((i % kColumns) * kBox, (i / kColumns) * kBox, kBox, kBox);
      f->setFrameStyle(QFrame::Box | QFrame::Plain);
      f->setLineWidth(1);
      QPalette p = f->palette();
      COLORREF c = static_cast<COLORREF>(BoxColor(i));
      p.setColor(QPalette::Window, QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
      p.setColor(QPalette::WindowText, Qt::black);
      f->setPalette(p);
      f->setAutoFillBackground(true);
    }
    return w;
  }();
  return root;
}

// Both pictures agree at every box's centre, frame and the background below the boxes.
bool PicturesAgree(TBitmap& ours, const QImage& qt) {
  for (int i = 0; i < kBoxes; ++i) {
    int x = (i % kColumns) * kBox, y = (i / kColumns) * kBox;
    for (auto [dx, dy] : {std::pair{12, 12}, {0, 0}, {24, 24}, {5, 0}, {0, 7}}) {
      COLORREF a = static_cast<COLORREF>(ours.Canvas()->Pixels(x + dx, y + dy));
      QRgb b = qt.pixel(x + dx, y + dy);
      if (a != RGB(static_cast<uint8_t>(qRed(b)), static_cast<uint8_t>(qGreen(b)), static_cast<uint8_t>(qBlue(b))))
        return false;
    }
  }
  return static_cast<COLORREF>(ours.Canvas()->Pixels(500, 790)) == RGB(255, 255, 255) && qt.pixel(500, 790) == qRgb(255, 255, 255);
}

void BM_Form1000WindowlessBoxes_Extension(benchmark::State& state) {
  TForm* f = BoxForm();
  TBitmap target(kFormWidth, kFormHeight);
  for (auto _ : state) {
    f->PaintTo(target.Canvas(), 0, 0);
    benchmark::ClobberMemory();
  }
  QImage qt(kFormWidth, kFormHeight, QImage::Format_RGB32);
  BoxWidget()->render(&qt);
  if (!PicturesAgree(target, qt)) state.SkipWithError("the pictures differ");
  state.SetItemsProcessed(state.iterations() * kBoxes);
}
BENCHMARK(BM_Form1000WindowlessBoxes_Extension)->Unit(benchmark::kMillisecond);

void BM_Form1000WindowlessBoxes_QtFrames(benchmark::State& state) {
  QWidget* w = BoxWidget();
  QImage target(kFormWidth, kFormHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    w->render(&target);
    benchmark::ClobberMemory();
  }
  TBitmap ours(kFormWidth, kFormHeight);
  BoxForm()->PaintTo(ours.Canvas(), 0, 0);
  if (!PicturesAgree(ours, target)) state.SkipWithError("the pictures differ");
  state.SetItemsProcessed(state.iterations() * kBoxes);
}
BENCHMARK(BM_Form1000WindowlessBoxes_QtFrames)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunControlsBenchmarks(argc, argv); }
