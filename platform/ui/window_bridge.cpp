// The bridge between Qt's events and the framework's messages: handles, event translation, keys, the
// mouse-over tracking that produces CM_MOUSEENTER/CM_MOUSELEAVE, and the exception boundary.
#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtCore/QMimeData>
#include <QtGui/QDropEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/ui/forms.h"
#include "platform/ui/hints.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/window_dc.h"

namespace {

std::mutex g_handleMutex;
std::unordered_map<uintptr_t, WindowRecord*> g_handles;
uintptr_t g_nextHandle = 0x10000;

TControl* g_mouseControl = nullptr;
QPointer<QWidget> g_pendingLeave;
bool g_recheckPosted = false;

// The focus as the toolkit last announced it. Qt sends FocusOut to the old widget and FocusIn to the
// new one before it announces the change, so while those run this is still the old widget.
QPointer<QWidget> g_announcedFocus;
QPointer<QObject> g_focusWatchedApp;
// The screen position of the last mouse message (GetMessagePos), and the window whose WM_SETCURSOR
// is being answered.
TPoint g_messagePos;
WindowRecord* g_cursorTarget = nullptr;
// The last window of the program that became active and accepts the activation.
QPointer<QWidget> g_lastActiveWindow;
bool g_lastInputKeyboard = false;

// The handle of the framework window a widget belongs to; null outside the program's windows.
HWND HandleOfWidget(QWidget* widget) {
  if (!widget) return nullptr;
  TWinControl* c = ControlOfWidget(widget);
  return c && c->HandleAllocated() ? c->Handle() : nullptr;
}

}  // namespace

void WatchFocusChanges() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || g_focusWatchedApp == app || !qobject_cast<QApplication*>(app)) return;
  g_focusWatchedApp = app;
  g_announcedFocus = QApplication::focusWidget();
  QObject::connect(static_cast<QApplication*>(app), &QApplication::focusChanged, app,
                   [](QWidget*, QWidget* now) { g_announcedFocus = now; });
}

bool LastInputWasKeyboard() { return g_lastInputKeyboard; }

HWND RegisterWindowRecord(WindowRecord* record) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  uintptr_t id = g_nextHandle;
  g_nextHandle += 4;
  g_handles[id] = record;
  record->handle = reinterpret_cast<HWND>(id);
  return record->handle;
}

void UnregisterWindowRecord(WindowRecord* record) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  g_handles.erase(reinterpret_cast<uintptr_t>(record->handle));
}

WindowRecord* FindWindowRecord(HWND handle) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  auto it = g_handles.find(reinterpret_cast<uintptr_t>(handle));
  return it == g_handles.end() ? nullptr : it->second;
}

bool IsLiveHandle(HWND handle) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  return g_handles.count(reinterpret_cast<uintptr_t>(handle)) != 0;
}

TWinControl* FindControl(HWND handle) {
  WindowRecord* r = FindWindowRecord(handle);
  return r ? r->control : nullptr;
}

TWinControl* ControlOfWidget(QWidget* widget) {
  for (; widget; widget = widget->parentWidget()) {
    std::lock_guard<std::mutex> lock(g_handleMutex);
    for (auto& [id, rec] : g_handles)
      if (rec->widget == widget) return rec->control;
  }
  return nullptr;
}

TWinControl* FindFocusedControl() { return ControlOfWidget(QApplication::focusWidget()); }

TWinControl* FindVCLWindow(const TPoint& pos) {
  if (!QCoreApplication::instance()) return nullptr;
  return ControlOfWidget(QApplication::widgetAt(pos.X, pos.Y));
}

TControl* FindDragTarget(const TPoint& pos, bool allowDisabled) {
  TWinControl* window = FindVCLWindow(pos);
  if (!window) return nullptr;
  if (TControl* c = window->ControlAtPos(window->ScreenToClient(pos), allowDisabled)) return c;
  return window;
}

// ---------------------------------------------------------------------------------------- exceptions

void HandleBoundaryException() {
  try {
    throw;
  } catch (const Exception& e) {
    Application->HandleException(e);
  } catch (const std::exception& e) {
    Application->HandleException(Exception(e.what()));
  } catch (...) {
    Application->HandleException(Exception("Unknown exception"));
  }
}

void SafeWndProc(TControl* control, TMessage& message) {
  try {
    control->WndProc(message);
  } catch (...) {
    HandleBoundaryException();
  }
}

void SendCommand(TWinControl* control, UINT notifyCode) {
  TMessage m;
  m.Msg = CN_COMMAND;
  m.WParam = MAKEWPARAM(0, static_cast<int>(notifyCode));
  m.LParam = control->HandleAllocated() ? reinterpret_cast<LPARAM>(control->Handle()) : 0;
  SafeWndProc(control, m);
}

QString CaptionText(const std::string& caption) { return QString::fromStdString(caption); }

// ----------------------------------------------------------------------------------------------- keys

namespace {

struct KeyPair {
  int qt;
  uint16_t vk;
};
// The keys that are named alike on both sides; the first pair of a virtual key is its way back.
constexpr KeyPair kKeyPairs[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},         {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},        {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},   {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},   {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},        {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Down, VK_DOWN},       {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Insert, VK_INSERT},    {Qt::Key_Delete, VK_DELETE},   {Qt::Key_Help, VK_HELP},
    {Qt::Key_Meta, VK_LWIN},        {Qt::Key_Menu, VK_APPS},       {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL}, {Qt::Key_Plus, VK_ADD},       {Qt::Key_Minus, 0xBD},
    {Qt::Key_Comma, 0xBC},          {Qt::Key_Period, 0xBE},        {Qt::Key_Asterisk, VK_MULTIPLY},
    {Qt::Key_Slash, 0xBF},
};

}  // namespace

uint16_t QtKeyToVirtualKey(int k) {
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<uint16_t>(k);
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<uint16_t>(k);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + (k - Qt::Key_F1));
  for (const KeyPair& p : kKeyPairs)
    if (p.qt == k) return p.vk;
  return 0;
}

int VirtualKeyToQtKey(uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;
  if (vk >= VK_F1 && vk < VK_F1 + 24) return Qt::Key_F1 + (vk - VK_F1);
  for (const KeyPair& p : kKeyPairs)
    if (p.vk == vk) return p.qt;
  return Qt::Key_unknown;
}

TShiftState QtModifiersToShift(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (mods & Qt::ShiftModifier) s |= ssShift;
  if (mods & Qt::ControlModifier) s |= ssCtrl;
  if (mods & Qt::AltModifier) s |= ssAlt;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s = 0;
  if (keyData & AltMask) s |= ssAlt;
  if (keyData & 0x10000000) s |= ssCtrl;
  if (keyData & 0x08000000) s |= ssShift;
  return s;
}

LPARAM KeyDataFromShift(TShiftState shift) {
  LPARAM d = 0;
  if (shift & ssAlt) d |= AltMask;
  if (shift & ssCtrl) d |= 0x10000000;
  if (shift & ssShift) d |= 0x08000000;
  return d;
}

TShiftState GetShiftState() {
  if (!QCoreApplication::instance()) return 0;
  return QtModifiersToShift(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons());
}

namespace {

// The mouse buttons as the last mouse message found them (what GetKeyState reports, as the
// platform's does for the message being handled); null until the first one.
Qt::MouseButtons g_messageButtons;

int16_t KeyStateWith(int virtKey, Qt::MouseButtons buttons) {
  TShiftState s = (QCoreApplication::instance() ? QtModifiersToShift(QGuiApplication::queryKeyboardModifiers(), {}) : 0) |
                  QtModifiersToShift({}, buttons);
  bool down = false;
  switch (virtKey) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT: down = s & ssShift; break;
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL: down = s & ssCtrl; break;
    case VK_MENU: case VK_LMENU: case VK_RMENU: down = s & ssAlt; break;
    case VK_LBUTTON: down = s & ssLeft; break;
    case VK_RBUTTON: down = s & ssRight; break;
    case VK_MBUTTON: down = s & ssMiddle; break;
    default: break;
  }
  return down ? static_cast<int16_t>(0x8000) : 0;
}

}  // namespace

int16_t GetKeyState(int virtKey) { return KeyStateWith(virtKey, g_messageButtons); }

int16_t GetAsyncKeyState(int virtKey) {
  return KeyStateWith(virtKey, QCoreApplication::instance() ? QGuiApplication::mouseButtons() : Qt::MouseButtons());
}

// ------------------------------------------------------------------------------------ mouse over

void TrackMouseOver(TControl* control) {
  g_pendingLeave = nullptr;
  if (control == g_mouseControl) return;
  HintMouseOver(control);
  TControl* old = g_mouseControl;
  g_mouseControl = control;
  if (old) {
    TMessage m;
    m.Msg = CM_MOUSELEAVE;
    SafeWndProc(old, m);
  }
  // The leave handler may have moved on already (a modal loop, a freed control).
  if (control && g_mouseControl == control) {
    TMessage m;
    m.Msg = CM_MOUSEENTER;
    SafeWndProc(control, m);
  }
}

void ForgetMouseControl(TControl* control) {
  if (g_mouseControl == control) g_mouseControl = nullptr;
}

void ScheduleMouseRecheck(QWidget* left) {
  g_pendingLeave = left;
  if (g_recheckPosted) return;
  g_recheckPosted = true;
  // Qt sends Leave before the Enter of the widget the mouse went to: decide once both arrived.
  QTimer::singleShot(0, QCoreApplication::instance(), [] {
    g_recheckPosted = false;
    QWidget* w = g_pendingLeave;
    if (!w) return;
    g_pendingLeave = nullptr;
    // The mouse left w without entering another framework window: it is over w's parent, or outside.
    TWinControl* c = w->isWindow() ? nullptr : ControlOfWidget(w->parentWidget());
    TrackMouseOver(c);
  });
}

// ---------------------------------------------------------------------------------------- cursors

DWORD GetMessagePos() {
  return static_cast<DWORD>(MAKELPARAM(g_messagePos.X, g_messagePos.Y));
}

QWidget* CursorTargetWidget() { return g_cursorTarget ? g_cursorTarget->widget : nullptr; }

bool ApplyCursorToTarget(const QCursor& cursor) {
  WindowRecord* rec = g_cursorTarget;
  if (!rec) return false;
  if (!rec->cursorSet) {
    // The widget's own cursor (an editor's I-beam) comes back when the window sets none.
    rec->ownCursor = rec->widget->testAttribute(Qt::WA_SetCursor);
    if (rec->ownCursor) rec->widgetCursor = rec->widget->cursor();
    rec->cursorSet = true;
  }
  rec->widget->setCursor(cursor);
  return true;
}

namespace {

// Asks the window under the mouse for its cursor (WM_SETCURSOR, as the platform does before each
// mouse move): a window that answers 0 shows the cursor of its widget's own. False when the window
// went away meanwhile.
bool AskForCursor(WindowRecord* rec) {
  std::shared_ptr<bool> alive = rec->alive;
  TMessage m;
  m.Msg = WM_SETCURSOR;
  m.WParam = reinterpret_cast<WPARAM>(rec->handle);
  m.LParam = MAKELPARAM(HTCLIENT, static_cast<int>(WM_MOUSEMOVE));
  WindowRecord* outer = g_cursorTarget;
  g_cursorTarget = rec;
  SafeWndProc(rec->control, m);
  g_cursorTarget = outer;
  if (!*alive) return false;
  if (m.Result != 0) return true;
  ShowWindowCursor();
  if (!rec->cursorSet) return true;
  if (rec->ownCursor) rec->widget->setCursor(rec->widgetCursor);
  else rec->widget->unsetCursor();
  rec->cursorSet = false;
  return true;
}

}  // namespace

// ------------------------------------------------------------------------------------ event dispatch

namespace {

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  WPARAM k = 0;
  if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  if (mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (mods & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

// Runs one message (or a short sequence) for an event with the event available to DefaultHandler.
class FrameScope {
 public:
  FrameScope(WindowRecord* record, QEvent* event, const std::function<bool(QEvent*)>& native)
      : record_(record), alive_(record->alive) {
    frame_.event = event;
    frame_.native = native;
    record->frames.push_back(&frame_);
  }
  ~FrameScope() {
    if (*alive_) record_->frames.pop_back();
  }
  NativeFrame& Frame() { return frame_; }
  bool Alive() const { return *alive_; }
  // Sends m to the control; false when the control went away meanwhile.
  bool Send(TMessage& m) {
    if (!*alive_) return false;
    frame_.msgs.push_back(m.Msg);
    SafeWndProc(record_->control, m);
    return *alive_;
  }

 private:
  WindowRecord* record_;
  std::shared_ptr<bool> alive_;
  NativeFrame frame_;
};

// A press in a window of a form that is not the active window asks the form (WM_MOUSEACTIVATE)
// whether the press activates it; answers whether the press is eaten.
bool AskMouseActivate(WindowRecord* rec, UINT msg) {
  QWidget* top = rec->widget->window();
  if (!top || top == QApplication::activeWindow()) return false;
  TCustomForm* form = GetParentForm(rec->control);
  if (!form || !form->HandleAllocated() || form->Record()->widget != top) return false;
  std::shared_ptr<bool> alive = rec->alive;
  TMessage m;
  m.Msg = WM_MOUSEACTIVATE;
  m.WParam = reinterpret_cast<WPARAM>(form->Handle());
  m.LParam = MAKELPARAM(HTCLIENT, static_cast<int>(msg));
  SafeWndProc(form, m);
  if (!*alive) return true;
  if (m.Result == MA_ACTIVATE || m.Result == MA_ACTIVATEANDEAT) top->activateWindow();
  return m.Result == MA_ACTIVATEANDEAT || m.Result == MA_NOACTIVATEANDEAT;
}

// A child window moved with the mouse after it answered HTCAPTION to a left press: it follows the
// mouse inside its parent until the button is released, then hears WM_EXITSIZEMOVE.
struct CaptionMove {
  bool active = false;
  TWinControl* control = nullptr;
  QPointer<QWidget> widget;
  std::shared_ptr<bool> alive;
  QPoint startMouse;
  int startLeft = 0, startTop = 0;
};
CaptionMove g_captionMove;

// Asks a child window where a left press lies; true when it started a move by its caption.
bool StartCaptionMove(WindowRecord* rec, QMouseEvent* e) {
  TWinControl* c = rec->control;
  if (!c->Parent() || GetCaptureControl()) return false;
  std::shared_ptr<bool> alive = rec->alive;
  QPoint g = e->globalPosition().toPoint();
  TMessage hit;
  hit.Msg = WM_NCHITTEST;
  hit.LParam = MAKELPARAM(g.x(), g.y());
  SafeWndProc(c, hit);
  if (!*alive || hit.Result != HTCAPTION) return false;
  g_captionMove = CaptionMove{true, c, rec->widget, alive, g, c->Left(), c->Top()};
  rec->widget->grabMouse();
  TMessage enter;
  enter.Msg = WM_ENTERSIZEMOVE;
  SafeWndProc(c, enter);
  return true;
}

void EndCaptionMove() {
  CaptionMove move = g_captionMove;
  g_captionMove = CaptionMove();
  if (move.widget) move.widget->releaseMouse();
  if (!move.alive || !*move.alive) return;
  TMessage exit;
  exit.Msg = WM_EXITSIZEMOVE;
  SafeWndProc(move.control, exit);
}

// The mouse events of a move by the caption, whichever window they reach; false when no move is
// running (or the moved window went away, which ends it).
bool CaptionMoveEvent(QMouseEvent* e) {
  if (!g_captionMove.active) return false;
  if (!*g_captionMove.alive) {
    EndCaptionMove();
    return false;
  }
  if (e->type() == QEvent::MouseMove) {
    QPoint d = e->globalPosition().toPoint() - g_captionMove.startMouse;
    TWinControl* c = g_captionMove.control;
    c->SetBounds(g_captionMove.startLeft + d.x(), g_captionMove.startTop + d.y(), c->Width(), c->Height());
  } else if (e->type() == QEvent::MouseButtonRelease && e->button() == Qt::LeftButton) {
    EndCaptionMove();
  }
  e->accept();
  return true;
}

bool MouseEvent(WindowRecord* rec, QMouseEvent* e, const std::function<bool(QEvent*)>& native) {
  if (CaptionMoveEvent(e)) return true;
  TWinControl* c = rec->control;
  QPoint p = e->position().toPoint() - QPoint(rec->insetLeft, rec->insetTop);
  UINT msg = WM_MOUSEMOVE;
  Qt::MouseButton b = e->button();
  bool dbl = e->type() == QEvent::MouseButtonDblClick;
  if (dbl && !(c->ControlStyle() & csDoubleClicks)) dbl = false;
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      msg = b == Qt::RightButton ? (dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN)
          : b == Qt::MiddleButton ? (dbl ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN)
                                  : (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
      break;
    case QEvent::MouseButtonRelease:
      msg = b == Qt::RightButton ? WM_RBUTTONUP : b == Qt::MiddleButton ? WM_MBUTTONUP : WM_LBUTTONUP;
      break;
    default: break;
  }
  if (msg == WM_MOUSEMOVE && !GetCaptureControl() && !QRect(QPoint(0, 0), rec->widget->size()).contains(e->position().toPoint())) {
    // Moves outside the window while a button is held: the window under the mouse is the one it is over.
    QWidget* under = QApplication::widgetAt(e->globalPosition().toPoint());
    TrackMouseOver(under ? ControlOfWidget(under) : nullptr);
  }
  {
    QPoint g = e->globalPosition().toPoint();
    g_messagePos = Point(g.x(), g.y());
    g_messageButtons = e->buttons();
  }
  if (msg == WM_MOUSEMOVE) {
    QPoint g = e->globalPosition().toPoint();
    HintMouseMove(g_mouseControl, Point(g.x(), g.y()));
    if (!GetCaptureControl() && !AskForCursor(rec)) return true;
  } else {
    // A press or release puts the hint away.
    Application->CancelHint();
  }
  if (e->type() != QEvent::MouseButtonRelease && msg != WM_MOUSEMOVE) {
    g_lastInputKeyboard = false;
    if (AskMouseActivate(rec, msg)) {
      e->accept();
      return true;
    }
    if (msg == WM_LBUTTONDOWN && StartCaptionMove(rec, e)) {
      e->accept();
      return true;
    }
  }
  FrameScope scope(rec, e, native);
  TMessage m;
  m.Msg = msg;
  m.WParam = MouseKeys(e->buttons(), e->modifiers());
  m.LParam = MAKELPARAM(p.x(), p.y());
  scope.Send(m);
  if (!scope.Alive()) return true;
  if (msg == WM_RBUTTONUP) {
    // The context menu follows the right button's release, as on the platform.
    QPoint g = e->globalPosition().toPoint();
    TMessage cm;
    cm.Msg = WM_CONTEXTMENU;
    cm.WParam = reinterpret_cast<WPARAM>(rec->handle);
    cm.LParam = MAKELPARAM(g.x(), g.y());
    scope.Send(cm);
  }
  if (!scope.Alive()) return true;
  // A window's mouse messages are its own: they never go on to the windows below it.
  NativeFrame& f = scope.Frame();
  e->accept();
  return f.called ? f.result : true;
}

bool KeyEvent(WindowRecord* rec, QKeyEvent* e, const std::function<bool(QEvent*)>& native) {
  if (e->type() == QEvent::KeyPress) g_lastInputKeyboard = true;
  uint16_t vk = QtKeyToVirtualKey(e->key());
  bool alt = e->modifiers() & Qt::AltModifier;
  LPARAM data = KeyDataFromShift(QtModifiersToShift(e->modifiers(), {}));
  FrameScope scope(rec, e, native);
  NativeFrame& f = scope.Frame();
  if (e->type() == QEvent::KeyRelease) {
    const LPARAM upData = data | static_cast<LPARAM>(0xC0000000u);
    if (vk != 0) {
      // The control hears its own key first, as the framework's message loop reflects it.
      TMessage cn;
      cn.Msg = alt ? CN_SYSKEYUP : CN_KEYUP;
      cn.WParam = vk;
      cn.LParam = upData;
      if (!scope.Send(cn)) return true;
      if (cn.Result != 0) return true;
    }
    TMessage m;
    m.Msg = alt ? WM_SYSKEYUP : WM_KEYUP;
    m.WParam = vk;
    m.LParam = upData;
    if (!scope.Send(m)) return true;
    if (f.keyPassed || f.called) return f.called ? f.result : native(e);
    return true;
  }
  bool keyTaken = false;
  if (vk != 0) {
    TMessage cn;
    cn.Msg = alt ? CN_SYSKEYDOWN : CN_KEYDOWN;
    cn.WParam = vk;
    cn.LParam = data;
    if (!scope.Send(cn)) return true;
    keyTaken = cn.Result != 0;
    if (!keyTaken) {
      TMessage m;
      m.Msg = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
      m.WParam = vk;
      m.LParam = data;
      if (!scope.Send(m)) return true;
    }
  } else {
    f.keyPassed = true;  // a key without a virtual code only brings its characters
  }
  // The characters of the key, as the platform's translation would make them.
  QString text = e->text();
  bool anyChar = false;
  if (!keyTaken) {
    for (QChar ch : text) {
      if (ch.unicode() < 0x20 && ch.unicode() != 8 && ch.unicode() != 13 && ch.unicode() != 27 && ch.unicode() != 9)
        continue;
      anyChar = true;
      TMessage cc;
      cc.Msg = CN_CHAR;
      cc.WParam = ch.unicode();
      cc.LParam = data;
      if (!scope.Send(cc)) return true;
      if (cc.Result != 0) continue;
      TMessage m;
      m.Msg = alt ? WM_SYSCHAR : WM_CHAR;
      m.WParam = ch.unicode();
      m.LParam = data;
      if (!scope.Send(m)) return true;
    }
    if (alt && vk >= '0' && vk <= 'Z' && text.isEmpty()) {
      // Alt with a letter: the form looks for a control whose caption has that accelerator.
      TMessage dc;
      dc.Msg = CM_DIALOGCHAR;
      dc.WParam = vk;
      dc.LParam = data;
      if (TCustomForm* form = GetParentForm(rec->control)) {
        SafeWndProc(form, dc);
        if (!scope.Alive()) return true;
        if (dc.Result != 0) return true;
      }
    }
  }
  if (keyTaken) return true;
  bool charsOk = !anyChar || f.charPassed;
  // A key-down handler may have replaced the key: the editor gets the new one.
  const bool sameKey = f.keyPassedAs == 0 || f.keyPassedAs == vk;
  if (f.keyPassed && sameKey && charsOk && f.text == (anyChar ? text : QString())) return native(e);
  if (f.keyPassed || f.charPassed) {
    // Pass on what the handlers left: the key when it went through, and the characters they kept
    // (a replaced key keeps no control characters of the old one).
    int key = Qt::Key_unknown;
    QString chars = f.text;
    if (f.keyPassed && sameKey) {
      key = e->key();
    } else if (f.keyPassed) {
      key = VirtualKeyToQtKey(f.keyPassedAs);
      chars.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    }
    QKeyEvent changed(e->type(), key, e->modifiers(), chars, e->isAutoRepeat(), static_cast<ushort>(e->count()));
    return native(&changed);
  }
  return true;
}

}  // namespace

bool PaintUpdateRegion(WindowRecord* rec, QEvent* e, const std::function<bool(QEvent*)>& native) {
  QWidget* w = rec->widget;
  WindowImage(rec);
  if (rec->invalid.isEmpty()) return true;
  FrameScope scope(rec, e, native);
  // The frame first (borders and bevels inside the bounds), when the damage reaches it.
  QRect client(rec->insetLeft, rec->insetTop, w->width() - rec->insetLeft - rec->insetRight,
               w->height() - rec->insetTop - rec->insetBottom);
  if (!(rec->invalid - client).isEmpty()) {
    TMessage nc;
    nc.Msg = WM_NCPAINT;
    nc.WParam = 1;
    if (!scope.Send(nc)) return false;
  }
  TMessage m;
  m.Msg = WM_PAINT;
  if (!scope.Send(m)) return false;
  // A handler that did not paint (no BeginPaint) leaves nothing to repaint either.
  rec->invalid = QRegion();
  return true;
}

namespace {

bool PaintEvent(WindowRecord* rec, QEvent* e, const std::function<bool(QEvent*)>& native) {
  if (!rec->customDrawn) {
    FrameScope scope(rec, e, native);
    TMessage m;
    m.Msg = WM_PAINT;
    scope.Send(m);
    if (!scope.Alive()) return true;
    if (!scope.Frame().called) native(e);
    return true;
  }
  if (!PaintUpdateRegion(rec, e, native)) return true;
  QPainter painter(rec->widget);
  painter.drawImage(QPoint(0, 0), rec->surface);
  return true;
}

}  // namespace

namespace {

bool TranslateQtEvent(WindowRecord* rec, QEvent* e, const std::function<bool(QEvent*)>& native);

}  // namespace

bool DispatchQtEvent(WindowRecord* rec, QEvent* e, const std::function<bool(QEvent*)>& native) {
  static int depth = 0;
  ++depth;
  bool result = false;
  try {
    result = TranslateQtEvent(rec, e, native);
  } catch (...) {
    --depth;
    HandleBoundaryException();
    return true;
  }
  // The control canvases let go of their DCs after each message, as the framework does.
  if (--depth == 0) FreeDeviceContexts();
  return result;
}

namespace {

bool TranslateQtEvent(WindowRecord* rec, QEvent* e, const std::function<bool(QEvent*)>& native) {
  TWinControl* c = rec->control;
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return MouseEvent(rec, static_cast<QMouseEvent*>(e), native);
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(e);
      // High-resolution wheels and touch pads report fractions of a notch, and sideways swipes
      // none at all: the window hears of whole notches only, the rest waits for the next event.
      const int sum = rec->wheelRest + we->angleDelta().y();
      const int delta = sum / WHEEL_DELTA * WHEEL_DELTA;
      rec->wheelRest = sum - delta;
      if (delta == 0) {
        e->accept();
        return true;
      }
      FrameScope scope(rec, e, native);
      QPoint g = we->globalPosition().toPoint();
      TMessage m;
      m.Msg = WM_MOUSEWHEEL;
      m.WParam = (static_cast<WPARAM>(static_cast<uint16_t>(std::clamp(delta, -32768, 32767))) << 16) |
                 MouseKeys(we->buttons(), we->modifiers());
      m.LParam = MAKELPARAM(g.x(), g.y());
      scope.Send(m);
      if (scope.Alive() && scope.Frame().called) return scope.Frame().result;
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      // A key belongs to the focused window alone: what it leaves is not offered to its parents.
      KeyEvent(rec, static_cast<QKeyEvent*>(e), native);
      e->accept();
      return true;
    }
    case QEvent::ShortcutOverride: {
      // Keys reach the control before any toolkit shortcut, as on the platform.
      e->accept();
      return true;
    }
    case QEvent::Enter: {
      auto* ee = static_cast<QEnterEvent*>(e);
      QPoint p = ee->position().toPoint() - QPoint(rec->insetLeft, rec->insetTop);
      TControl* over = c->ControlAtPos(Point(p.x(), p.y()), false);
      TrackMouseOver(over ? over : c);
      return native(e);
    }
    case QEvent::Leave:
      ScheduleMouseRecheck(rec->widget);
      return native(e);
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      FrameScope scope(rec, e, native);
      TMessage m;
      // wParam names the other window: the one that lost the focus, or the one that receives it.
      bool in = e->type() == QEvent::FocusIn;
      m.Msg = in ? WM_SETFOCUS : WM_KILLFOCUS;
      m.WParam = reinterpret_cast<WPARAM>(HandleOfWidget(in ? g_announcedFocus.data() : QApplication::focusWidget()));
      scope.Send(m);
      if (scope.Alive() && !scope.Frame().called) return native(e);
      return true;
    }
    case QEvent::Paint:
      return PaintEvent(rec, e, native);
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* de = static_cast<QDropEvent*>(e);
      if (!rec->widget->acceptDrops() || !de->mimeData()->hasUrls()) return native(e);
      de->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* de = static_cast<QDropEvent*>(e);
      if (!rec->widget->acceptDrops()) return native(e);
      std::vector<std::string> files;
      for (const QUrl& url : de->mimeData()->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
      if (files.empty()) return native(e);
      de->acceptProposedAction();
      QPoint p = de->position().toPoint() - QPoint(rec->insetLeft, rec->insetTop);
      HDROP__* drop = MakeDrop(files, Point(p.x(), p.y()));
      TMessage m;
      m.Msg = WM_DROPFILES;
      m.WParam = reinterpret_cast<WPARAM>(drop);
      SafeWndProc(c, m);
      // A handler that kept the handle past its message does not get to use it later.
      DragFinish(drop);
      return true;
    }
    case QEvent::Resize: {
      bool result = native(e);
      LayoutWindowScrollBars(rec);
      QSize s = rec->widget->size();
      if (s.width() != c->Width() || s.height() != c->Height()) {
        // Resized from outside (the user or the window manager): the control follows.
        c->SetBounds(c->Left(), c->Top(), s.width(), s.height());
      }
      return result;
    }
    case QEvent::Show:
    case QEvent::Hide: {
      bool result = native(e);
      TMessage m;
      m.Msg = CM_SHOWINGCHANGED;
      SafeWndProc(c, m);
      return result;
    }
    case QEvent::Close: {
      FrameScope scope(rec, e, native);
      TMessage m;
      m.Msg = WM_CLOSE;
      scope.Send(m);
      // The form decides through its close handling; the toolkit never closes it on its own.
      e->ignore();
      return true;
    }
    case QEvent::WindowActivate:
      if (rec->widget->isWindow() && (rec->widget->windowFlags() & Qt::WindowDoesNotAcceptFocus)) {
        // A window that takes no activation (a form that is not Focusable) never stays the active
        // one, whatever the window system did on showing it: the window active before gets it back.
        if (g_lastActiveWindow && g_lastActiveWindow != rec->widget && g_lastActiveWindow->isVisible())
          g_lastActiveWindow->activateWindow();
        return native(e);
      }
      if (rec->widget->isWindow()) g_lastActiveWindow = rec->widget;
      [[fallthrough]];
    case QEvent::WindowDeactivate: {
      bool result = native(e);
      TMessage m;
      m.Msg = WM_ACTIVATE;
      m.WParam = e->type() == QEvent::WindowActivate ? 1 : 0;
      SafeWndProc(c, m);
      return result;
    }
    default:
      return native(e);
  }
}

}  // namespace
