#pragma once
// Theme services: whether visual styles are on, a parent's background drawn behind a control, and
// the parts of the standard controls in the desktop's look (the toolkit's style), in their states.
// Drawing goes into a device context like any other drawing: at its origin, inside its clip.
#include <cstdint>

#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"
#include "platform/system/types.h"
#include "platform/ui/messages.h"

// The parts the controls draw.
enum TThemedPart : uint8_t {
  thpPushButton,     // states: normal, hot, pressed, disabled, defaulted
  thpToolBarButton,  // states: normal, hot, pressed, disabled, defaulted, checked, checked-hot
  thpSpinUp,         // the up and down buttons of a spin control: normal, hot, pressed, disabled
  thpSpinDown,
  thpComboDropDown,  // a combo box's drop-down button: normal, hot, pressed, disabled
  thpEditBorder,     // an edit's frame: normal, hot, focused, disabled
  thpStatusGripper,  // the size grip of a status bar
  thpGroupBox,       // a group box's frame: normal, disabled
  // A check box's mark, unchecked, checked or grayed: normal, hot, pressed, disabled.
  thpCheckBox,
  thpCheckBoxChecked,
  thpCheckBoxMixed,
};

enum TThemedState : uint8_t {
  thsNormal, thsHot, thsPressed, thsDisabled, thsDefaulted, thsChecked, thsCheckedHot, thsFocused
};

struct TThemedElementDetails {
  TThemedPart Part = thpPushButton;
  TThemedState State = thsNormal;
};

// Colours of a part's edges (the push button's are the ones asked for).
enum TThemeColor : uint8_t { thcEdgeLight, thcBorderHint, thcEdgeShadow };

// On (the default): parts with nothing drawn are skipped and wholly opaque ones copied rather than
// blended. Tests switch it off to compare with the blend.
bool& ThemePartCopiesForTesting();

class TThemeServices {
 public:
  // The process switch: visual styles on (the program's normal) or off.
  bool ThemesEnabled() const { return enabled_; }
  void SetThemesEnabled(bool value) { enabled_ = value; }

  // Draws the part in its state filling rect (clipped to clip when given). Parts keep what lies
  // under their transparent pixels.
  void DrawElement(HDC dc, const TThemedElementDetails& details, const TRect& rect, const TRect* clip = nullptr);
  // The area inside a part drawn in rect that its content may use (inside the bevel or border).
  TRect ContentRect(HDC dc, const TThemedElementDetails& details, const TRect& rect);
  COLORREF GetColor(const TThemedElementDetails& details, TThemeColor which);
  // Paints the background of the window's parent behind the window into dc, whose origin is the
  // window's client origin (the parent's own content: its erase and paint, without its children),
  // limited to rect when given. False when the window has no parent.
  bool DrawParentBackground(HWND window, HDC dc, const TRect* rect = nullptr);

 private:
  bool enabled_ = true;
};

TThemeServices* ThemeServices();
