#pragma once
// Private to platform/ui's .cpp files: the toolkit side of a windowed control. Each TWinControl with
// a handle has a WindowRecord that ties its handle, its widget (a bridge subclass of a Qt widget
// class, which turns Qt's events into the framework's messages) and its screen surface together.
#include <QtGui/QImage>
#include <QtGui/QRegion>
#include <QtWidgets/QWidget>

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
  bool charPassed = false;
  bool charSeen = false;
  QString text;          // the characters passed on (a key press may change them)
  std::vector<UINT> msgs;  // the messages this event became
  bool called = false;
  bool result = false;
};

struct WindowRecord {
  HWND handle = nullptr;
  TWinControl* control = nullptr;
  QWidget* widget = nullptr;
  // The window-sized image that mirrors what is shown: paint and immediate drawing land here and
  // the widget shows it (custom-drawn windows only).
  QImage surface;
  // The part of the window that needs Paint (the framework's update region).
  QRegion invalid;
  std::vector<NativeFrame*> frames;
  // Cleared when the record goes, for code that must notice that a handler freed the control.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  int insetLeft = 0, insetTop = 0, insetRight = 0, insetBottom = 0;
  bool customDrawn = true;
};

// Turns one Qt event into the control's messages; native is the widget class's own handling.
bool DispatchQtEvent(WindowRecord* record, QEvent* event, const std::function<bool(QEvent*)>& native);
// Runs a message through the control's window procedure with exceptions caught at the boundary.
void SafeWndProc(TControl* control, TMessage& message);
// Hands an exception that reached the event boundary to Application.
void HandleBoundaryException();

// A Qt widget class turned into a framework window: every event goes through the control's messages.
template <class Base>
class TBridgeWidget : public Base {
 public:
  template <class... Args>
  explicit TBridgeWidget(WindowRecord* record, Args&&... args) : Base(std::forward<Args>(args)...), record_(record) {}
  void Detach() { record_ = nullptr; }
  WindowRecord* Record() const { return record_; }

 protected:
  bool event(QEvent* e) override {
    if (!record_) return Base::event(e);
    return DispatchQtEvent(record_, e, [this](QEvent* ev) { return Base::event(ev); });
  }
  // Tab moves between controls by the framework's dialog keys, not by Qt's focus chain.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  WindowRecord* record_;
};

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
TShiftState QtModifiersToShift(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// Mouse tracking for CM_MOUSEENTER/CM_MOUSELEAVE over windowed and windowless controls.
void TrackMouseOver(TControl* control);
void ScheduleMouseRecheck(QWidget* left);
void ForgetMouseControl(TControl* control);
