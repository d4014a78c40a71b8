#pragma once
// Private to platform/ui's .cpp files: the toolkit side of a windowed control. Each TWinControl with
// a handle has a WindowRecord that ties its handle, its widget (a bridge subclass of a Qt widget
// class, which turns Qt's events into the framework's messages) and its screen surface together.
#include <QtGui/QCursor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QRegion>
#include <QtWidgets/QWidget>

class QScrollBar;

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/controls.h"

// The Qt event being turned into messages, so that DefaultHandler can hand it to the widget's own
// handling once (the window procedure of a native control).
struct NativeFrame {
  QEvent* event = nullptr;
  std::function<bool(QEvent*)> native;
  UINT keyMsg = 0;      // WM_KEYDOWN/WM_SYSKEYDOWN for key events
  bool keyPassed = false;
  uint16_t keyPassedAs = 0;  // the key WM_KEYDOWN carried when it reached the window's own handling
  bool charPassed = false;
  bool charSeen = false;
  QString text;          // the characters passed on (a key press may change them)
  std::vector<UINT> msgs;  // the messages this event became
  bool called = false;
  bool result = false;
};

// One of a window's own scroll bars (SB_HORZ, SB_VERT): its range as set, and the toolkit's bar that
// shows it, made on first use.
struct WindowScrollBar {
  QScrollBar* bar = nullptr;
  SCROLLINFO info;
  bool shown = false;
  UINT disabledArrows = 0;  // ESB_DISABLE_xxx
};

struct WindowRecord {
  HWND handle = nullptr;
  TWinControl* control = nullptr;
  QWidget* widget = nullptr;
  // The window-sized image that mirrors what is shown: paint and immediate drawing land here and
  // the widget shows it (custom-drawn windows only).
  QImage surface;
  // The part of the window that needs Paint (the framework's update region), in widget
  // coordinates, and whether it asked for erasing.
  QRegion invalid;
  bool eraseNeeded = false;
  // Drawing outside paint events on a natively painted window lands on this transparent layer, shown
  // over the toolkit's own picture.
  QImage overlay;
  // Device contexts given out on the surface or overlay: pointed at the new rows when the image is
  // made again, freed with the window.
  std::vector<void*> dcs;
  std::vector<NativeFrame*> frames;
  // Cleared when the record goes, for code that must notice that a handler freed the control.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  int insetLeft = 0, insetTop = 0, insetRight = 0, insetBottom = 0;
  bool customDrawn = true;
  // A cursor set by the window's WM_SETCURSOR handling, and the widget's own one to go back to.
  bool cursorSet = false;
  bool ownCursor = false;
  QCursor widgetCursor;
  // The font last given to the widget (setting the same one again is skipped).
  QFont appliedFont;
  bool fontApplied = false;
  // The window's scroll bars take room from the client area at the right and bottom.
  WindowScrollBar scroll[2];
  // Vertical wheel movement not yet sent: WM_MOUSEWHEEL goes out in whole notches (WHEEL_DELTA).
  int wheelRest = 0;
  int ScrollBarRight() const;
  int ScrollBarBottom() const;
};

// The window's surface (custom-drawn windows) or overlay (native ones) at the widget's size, made or
// resized on demand: a resized surface keeps what it had where the sizes overlap and is invalid.
QImage& WindowImage(WindowRecord* record);
// InvalidateRect for a window whose record is at hand (no look-up by handle).
void InvalidateWindowRect(WindowRecord* record, const TRect* rect, bool erase);
// Lets go of the window's DCs and canvases before the window goes away.
void ReleaseWindowDCs(WindowRecord* record);
// Paints the windowless children and the overlay over what the toolkit painted (native windows).
void PaintOverNative(WindowRecord* record);

// Places the window's own scroll bars inside its border (after a size or border change).
void LayoutWindowScrollBars(WindowRecord* record);
// Turns the user's actions on a toolkit scroll bar into WM_HSCROLL/WM_VSCROLL (a window's bar) or
// CN_HSCROLL/CN_VSCROLL (SB_CTL: the scroll bar control itself).
void ConnectScrollBar(WindowRecord* record, QScrollBar* bar, int which);

// Turns one Qt event into the control's messages; native is the widget class's own handling.
bool DispatchQtEvent(WindowRecord* record, QEvent* event, const std::function<bool(QEvent*)>& native);
// Paints a custom-drawn window's update region on its surface now (WM_NCPAINT, WM_PAINT); the event
// is the toolkit's paint event being served (or a stand-in). False when the window went away.
bool PaintUpdateRegion(WindowRecord* record, QEvent* event, const std::function<bool(QEvent*)>& native);
// Runs a message through the control's window procedure with exceptions caught at the boundary.
void SafeWndProc(TControl* control, TMessage& message);
// Hands an exception that reached the event boundary to Application.
void HandleBoundaryException();

// A Qt widget class turned into a framework window: every event goes through the control's messages.
template <class Base>
class TBridgeWidget : public Base {
 public:
  template <class... Args>
  explicit TBridgeWidget(WindowRecord* record, Args&&... args)
      : Base(std::forward<Args>(args)...), record_(record), alive_(record ? record->alive : nullptr) {}
  void Detach() { record_ = nullptr; }
  WindowRecord* Record() const { return alive_ && *alive_ ? record_ : nullptr; }

 protected:
  bool event(QEvent* e) override {
    // A widget whose window was destroyed (freed later by the event loop) is Qt's alone.
    if (!record_ || !alive_ || !*alive_) return Base::event(e);
    return DispatchQtEvent(record_, e, [this](QEvent* ev) { return Base::event(ev); });
  }
  // Tab moves between controls by the framework's dialog keys, not by Qt's focus chain.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  WindowRecord* record_;
  std::shared_ptr<bool> alive_;
};

// Reflects a native control's notification back to the control: CN_COMMAND with the code in the high
// word of wParam and the control's handle in lParam (as the platform's WM_COMMAND carries them).
void SendCommand(TWinControl* control, UINT notifyCode);
// The toolkit's text of a caption: the same "&" marks, shown underlined; the widget's own shortcut is
// cleared, because accelerators reach the control as CM_DIALOGCHAR.
QString CaptionText(const std::string& caption);

// A toolkit scroll area (list, memo, tree) as a framework window: the mouse events of its viewport go
// through the control's messages too, in the widget's coordinates.
template <class Base>
class TBridgeScrollArea : public TBridgeWidget<Base> {
 public:
  using TBridgeWidget<Base>::TBridgeWidget;

 protected:
  bool viewportEvent(QEvent* e) override {
    WindowRecord* r = this->Record();
    if (!r) return Base::viewportEvent(e);
    auto native = [this, e](QEvent*) { return Base::viewportEvent(e); };
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        QPointF p = this->viewport()->mapTo(this, me->position());
        QMouseEvent copy(me->type(), p, me->scenePosition(), me->globalPosition(), me->button(), me->buttons(),
                         me->modifiers());
        bool result = DispatchQtEvent(r, &copy, native);
        e->setAccepted(copy.isAccepted());
        return result;
      }
      case QEvent::Wheel:
        return DispatchQtEvent(r, e, native);
      default:
        return Base::viewportEvent(e);
    }
  }
};

// A drop handle for WM_DROPFILES (freed by DragFinish, or after the message).
struct HDROP__;
HDROP__* MakeDrop(const std::vector<std::string>& files, TPoint point);
void DragFinish(HDROP__* drop);

// Registers and unregisters handles (thread-safe lookups for PostMessage).
HWND RegisterWindowRecord(WindowRecord* record);
void UnregisterWindowRecord(WindowRecord* record);
// The record behind a handle; call on the UI thread only.
WindowRecord* FindWindowRecord(HWND handle);
bool IsLiveHandle(HWND handle);
// The control whose widget this is (or the nearest framework control above it).
TWinControl* ControlOfWidget(QWidget* widget);
// Maps between Qt keys and virtual key codes.
uint16_t QtKeyToVirtualKey(int qtKey);
int VirtualKeyToQtKey(uint16_t virtualKey);
TShiftState QtModifiersToShift(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// Starts following the toolkit's focus changes (once), so that WM_SETFOCUS and WM_KILLFOCUS can name
// the window on the other side of the change.
void WatchFocusChanges();
// True when the last input the program saw was a key (false: a mouse button, or nothing yet).
bool LastInputWasKeyboard();
// The widget whose WM_SETCURSOR is being answered, or null; SetCursor puts the cursor there
// (false when no window is being asked).
QWidget* CursorTargetWidget();
bool ApplyCursorToTarget(const QCursor& cursor);
// A window shows its widget's own cursor again: GetCursor answers null.
void ShowWindowCursor();
// Mouse tracking for CM_MOUSEENTER/CM_MOUSELEAVE over windowed and windowless controls.
void TrackMouseOver(TControl* control);
void ScheduleMouseRecheck(QWidget* left);
void ForgetMouseControl(TControl* control);
