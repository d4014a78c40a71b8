#pragma once
// Hints: the small window with a control's hint that shows when the mouse rests on the control
// (Application's HintPause), for HintHidePause, in Application's HintColor. Before it shows, the
// control hears CM_HINTSHOW with the hint's record (THintInfo), in which it may change the text, the
// colour, the place, or the rectangle within which the hint stays (a hint that depends on where the
// mouse is); a non-zero result keeps the hint from showing.
#include <string>

#include "platform/ui/controls.h"

// The part of a hint before "|" (shown in the hint window) and the part after it (the application's
// Hint, for a status line); a hint without "|" is both.
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);

class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* owner);
  ~THintWindow() override;
  // Shows the hint at a screen rectangle (as CalcHintRect measured it).
  virtual void ActivateHint(const TRect& rect, const std::string& hint);
  // The rectangle, from (0, 0), that the text needs, wrapped at maxWidth.
  virtual TRect CalcHintRect(int maxWidth, const std::string& hint);
  void ReleaseHandle();
  bool IsShowing();

 protected:
  void CreateWnd() override;
  void Paint() override;
};

// The hint window class of T (a THintWindow or a subclass), for THintInfo::HintWindowClass.
template <class T>
THintWindow* MakeHintWindow(TComponent* owner) {
  return new T(owner);
}

// Internal: the mouse went to a control (null: off the program's windows), or moved over one (screen
// point); the hint machinery follows.
void HintMouseOver(TControl* control);
void HintMouseMove(TControl* control, const TPoint& screenPos);
// A control that goes away is forgotten (its hint hidden).
void ForgetHintControl(TControl* control);
// The hint window shown now, or null.
THintWindow* CurrentHintWindow();
