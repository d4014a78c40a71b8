#include "platform/ui/caret.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include "platform/ui/qt_window_p.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/window_dc.h"

namespace {

struct CaretState {
  HWND window = nullptr;
  int width = 0, height = 0;
  TPoint pos;
  int hideCount = 0;
  bool drawn = false;   // inverted on the surface now
  bool painting = false;
  uint32_t blinkTime = 530;
  QPointer<QTimer> timer;
};

CaretState& State() {
  static CaretState s;
  return s;
}

bool Drawable(HWND window) {
  WindowRecord* rec = FindWindowRecord(window);
  return rec && rec->customDrawn;
}

void Invert() {
  CaretState& s = State();
  HDC dc = GetDC(s.window);
  if (!dc) return;
  TRect r = Bounds(s.pos.X, s.pos.Y, s.width, s.height);
  InvertRect(dc, &r);
  ReleaseDC(s.window, dc);
  s.drawn = !s.drawn;
}

void TakeAway() {
  if (State().drawn) Invert();
}

void Blink() {
  CaretState& s = State();
  if (!s.window || s.hideCount > 0 || s.painting || !Drawable(s.window)) return;
  Invert();
}

void StartBlinking() {
  CaretState& s = State();
  if (!QCoreApplication::instance()) return;
  if (!s.timer) {
    s.timer = new QTimer(QCoreApplication::instance());
    QObject::connect(s.timer, &QTimer::timeout, &Blink);
  }
  s.timer->start(static_cast<int>(s.blinkTime));
}

}  // namespace

bool CreateCaret(HWND window, HBITMAP, int width, int height) {
  if (!FindWindowRecord(window)) return false;
  DestroyCaret();
  CaretState& s = State();
  s.window = window;
  s.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  s.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
  s.pos = Point(0, 0);
  s.hideCount = 1;
  s.drawn = false;
  return true;
}

bool DestroyCaret() {
  CaretState& s = State();
  if (!s.window) return false;
  if (FindWindowRecord(s.window)) TakeAway();
  if (s.timer) s.timer->stop();
  s.window = nullptr;
  s.drawn = false;
  return true;
}

bool ShowCaret(HWND window) {
  CaretState& s = State();
  if (!s.window || (window && window != s.window) || s.hideCount == 0) return false;
  if (--s.hideCount == 0 && Drawable(s.window)) {
    Invert();
    StartBlinking();
  }
  return true;
}

bool HideCaret(HWND window) {
  CaretState& s = State();
  if (!s.window || (window && window != s.window)) return false;
  if (s.hideCount++ == 0) {
    TakeAway();
    if (s.timer) s.timer->stop();
  }
  return true;
}

bool SetCaretPos(int x, int y) {
  CaretState& s = State();
  if (!s.window) return false;
  bool was = s.drawn;
  TakeAway();
  s.pos = Point(x, y);
  if (was) Invert();
  if (s.hideCount == 0) StartBlinking();  // a moved caret shows at once and blinks from there
  return true;
}

bool GetCaretPos(TPoint* point) {
  if (!point) return false;
  *point = State().pos;
  return true;
}

uint32_t GetCaretBlinkTime() { return State().blinkTime; }

bool SetCaretBlinkTime(uint32_t milliseconds) {
  State().blinkTime = milliseconds > 0 ? milliseconds : 530;
  return true;
}

void CaretPaintStarts(HWND window) {
  CaretState& s = State();
  if (s.window != window || s.painting) return;
  s.painting = true;
  // The painting may cover what the caret inverted: it goes first and comes back after.
  if (s.drawn) {
    Invert();
    s.drawn = true;  // remembered as shown, put back at the end
  }
}

void CaretPaintEnds(HWND window) {
  CaretState& s = State();
  if (s.window != window || !s.painting) return;
  s.painting = false;
  if (s.drawn) {
    s.drawn = false;
    Invert();
  }
}

bool CaretDrawn() { return State().drawn; }
