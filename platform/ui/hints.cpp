#include "platform/ui/hints.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QCursor>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <memory>

#include "platform/gdi/graphics.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/window_dc.h"

std::string GetShortHint(const std::string& hint) {
  size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint) {
  size_t bar = hint.find('|');
  return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

namespace {

struct HintState {
  QPointer<QTimer> showTimer;
  QPointer<QTimer> hideTimer;
  TControl* control = nullptr;  // the control under the mouse
  TControl* shownFor = nullptr;
  TRect cursorRect;             // screen: the hint stays while the mouse is in it
  TPoint lastPos;               // screen: where the mouse was last seen
  THintWindow* window = nullptr;  // owned by Application
  THintWindowClass windowClass = nullptr;  // the class window was made by
};

HintState& State() {
  static HintState s;
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------- THintWindow

THintWindow::~THintWindow() {
  Destroying();
  if (State().window == this) State().window = nullptr;
}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  visible_ = false;
  color_ = Application->HintColor();
  parentColor_ = false;
  controlStyle_ |= csOpaque;
}

void THintWindow::CreateWnd() {
  TCustomControl::CreateWnd();
  QWidget* w = Record()->widget;
  // A frameless window that never takes the activation.
  w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  w->setAttribute(Qt::WA_ShowWithoutActivating, true);
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint) {
  TControlCanvas* c = Canvas();
  HDC dc = GetDC(nullptr);
  c->SetHandle(dc);
  c->SetFont(*Font());
  c->TextExtent("");
  TRect r = Rect(0, 0, maxWidth, 0);
  DrawText(dc, hint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  c->SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  r.Right += 6;
  r.Bottom += 2;
  return r;
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
  SetCaption(hint);
  // Kept on the screen the mouse is on.
  TRect work = Screen->MonitorFromRect(rect).WorkareaRect;
  TRect r = rect;
  if (r.Right > work.Right) OffsetRect(r, work.Right - r.Right, 0);
  if (r.Left < work.Left) OffsetRect(r, work.Left - r.Left, 0);
  if (r.Bottom > work.Bottom) OffsetRect(r, 0, work.Bottom - r.Bottom);
  if (r.Top < work.Top) OffsetRect(r, 0, work.Top - r.Top);
  SetBounds(r.Left, r.Top, r.Width(), r.Height());
  HandleNeeded();
  visible_ = true;
  Record()->widget->show();
  Record()->widget->raise();
  Invalidate();
}

void THintWindow::ReleaseHandle() {
  visible_ = false;
  if (HandleAllocated()) Record()->widget->hide();
}

bool THintWindow::IsShowing() { return HandleAllocated() && Record()->widget->isVisible(); }

void THintWindow::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(color_);
  c->FillRect(r);
  c->Brush()->SetColor(clWindowFrame);
  c->FrameRect(r);
  c->SetFont(*Font());
  HDC dc = c->Handle();
  c->TextExtent("");
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(clInfoText));
  InflateRect(r, -2, -1);
  std::string text = Caption();
  DrawText(dc, text.c_str(), -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

// ------------------------------------------------------------------------------------ hint machinery

namespace {

QTimer* Timer(QPointer<QTimer>& slot, void (*fire)()) {
  if (!slot && QCoreApplication::instance()) {
    slot = new QTimer(QCoreApplication::instance());
    slot->setSingleShot(true);
    QObject::connect(slot, &QTimer::timeout, fire);
  }
  return slot;
}

// The control whose hint counts: the control, or the nearest parent with a hint.
TControl* HintControl(TControl* c) {
  while (c && c->Hint().empty()) c = c->Parent();
  return c;
}

void ShowHintFor(TControl* control, const TPoint& cursorPos);

void ShowNow() { ShowHintFor(State().control, State().lastPos); }

void HideNow() { Application->HideHint(); }

void RestartShowTimer(int ms) {
  if (QTimer* t = Timer(State().showTimer, &ShowNow)) t->start(std::max(ms, 0));
}

}  // namespace

void ForgetHintControl(TControl* control) {
  HintState& s = State();
  if (control == s.window) return;
  if (s.control == control) s.control = nullptr;
  if (s.shownFor == control) {
    s.shownFor = nullptr;
    if (s.window) s.window->ReleaseHandle();
  }
}

THintWindow* CurrentHintWindow() {
  HintState& s = State();
  return s.window && s.window->IsShowing() ? s.window : nullptr;
}

void HintMouseOver(TControl* control) {
  HintState& s = State();
  if (control == s.control) return;
  s.control = control;
  TControl* hc = HintControl(control);
  Application->SetHint(hc ? GetLongHint(hc->Hint()) : std::string());
  bool wasShowing = CurrentHintWindow() != nullptr;
  if (wasShowing && HintControl(control) != s.shownFor) Application->HideHint();
  if (!control || !Application->ShowHint()) {
    if (s.showTimer) s.showTimer->stop();
    return;
  }
  // Moving on from a shown hint, the next comes quickly.
  RestartShowTimer(wasShowing ? 50 : Application->HintPause());
}

void HintMouseMove(TControl* control, const TPoint& screenPos) {
  HintState& s = State();
  s.lastPos = screenPos;
  if (control != s.control) HintMouseOver(control);
  if (CurrentHintWindow() && !PtInRect(s.cursorRect, screenPos)) {
    // Out of the hint's rectangle: the hint goes and may come again with another text.
    Application->HideHint();
    RestartShowTimer(50);
  }
}

// ---------------------------------------------------------------------------------- TApplication hints

void TApplication::SetShowHint(bool value) {
  showHint_ = value;
  if (!value) HideHint();
}

void TApplication::SetHint(const std::string& value) {
  if (value == hint_) return;
  hint_ = value;
  if (OnHint) OnHint(this);
}

void TApplication::HideHint() {
  HintState& s = State();
  if (s.window) s.window->ReleaseHandle();
  if (s.hideTimer) s.hideTimer->stop();
  s.shownFor = nullptr;
}

void TApplication::CancelHint() {
  HideHint();
  if (State().showTimer) State().showTimer->stop();
}

void TApplication::ActivateHint(const TPoint& cursorPos) {
  TControl* control = State().control;
  if (QWidget* under = QCoreApplication::instance() ? QApplication::widgetAt(cursorPos.X, cursorPos.Y) : nullptr) {
    if (TWinControl* w = ControlOfWidget(under)) {
      TControl* inner = w->ControlAtPos(w->ScreenToClient(cursorPos), false);
      control = inner ? inner : w;
    }
  }
  ShowHintFor(control, cursorPos);
}

namespace {

void ShowHintFor(TControl* control, const TPoint& cursorPos) {
  HintState& s = State();
  TControl* hc = HintControl(control);
  if (!hc || !Application->ShowHint() || !hc->ShowHint()) return;
  THintInfo info;
  info.HintControl = hc;
  info.HintColor = Application->HintColor();
  info.CursorPos = hc->ScreenToClient(cursorPos);
  info.CursorRect = hc->ClientRect();
  info.HintPos = Point(cursorPos.X, cursorPos.Y + 20);
  info.HintMaxWidth = Screen->Width();
  info.HideTimeout = Application->HintHidePause();
  info.HintStr = GetShortHint(hc->Hint());
  if (hc->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0 || info.HintStr.empty()) return;
  // A hint asks for its own class of window: the window of another class makes way for it.
  THintWindowClass cls = info.HintWindowClass ? info.HintWindowClass : &MakeHintWindow<THintWindow>;
  if (s.window && s.windowClass != cls) {
    THintWindow* old = s.window;
    s.window = nullptr;
    delete old;
  }
  if (!s.window) {
    s.window = cls(Application);
    s.windowClass = cls;
    if (!s.window) return;
  }
  s.window->SetColor(info.HintColor);
  TRect r = s.window->CalcHintRect(info.HintMaxWidth, info.HintStr);
  OffsetRect(r, info.HintPos.X, info.HintPos.Y);
  s.window->ActivateHint(r, info.HintStr);
  s.shownFor = hc;
  TPoint origin = hc->ClientToScreen(Point(0, 0));
  s.cursorRect = info.CursorRect;
  OffsetRect(s.cursorRect, origin.X, origin.Y);
  if (info.HideTimeout > 0)
    if (QTimer* t = Timer(s.hideTimer, &HideNow)) t->start(info.HideTimeout);
}

}  // namespace
