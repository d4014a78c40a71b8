#include "controls/xc_themes.h"

#include "controls/xrl/xrl_sys_utils.h"
#include "platform/ui/image_list.h"
#include "platform/ui/theme_services.h"
#include "platform/ui/windowed.h"

namespace {

constexpr TControlStyle kThemeStyles = csNeedsBorderPaint | csParentBackground;

bool g_correctionInstalled = false;

}  // namespace

bool IsNoRect(const TRect& r) { return r == NoRect; }

void EraseWithParentBackground(TControl* control, HDC dc, TPoint offset, const TRect& rect) {
  TWinControl* parent = control ? control->Parent() : nullptr;
  if (!parent || !dc) return;
  // The DC's state is saved whole and restored after the parent's erase (the clip, the origin and
  // whatever the erase selects): no region is made and freed at every erase.
  const int32_t saved = SaveDC(dc);
  // The clip first, so that the rectangle is in the control's coordinates.
  if (!IsNoRect(rect)) IntersectClipRect(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
  if (offset.X != 0 || offset.Y != 0) {
    TPoint origin;
    GetWindowOrgEx(dc, &origin);
    // The framework moves a windowless control's DC by its viewport origin, so the window origin it
    // gets is the control's place, whatever it had; a window's DC moves on from its own origin.
    if (AsWindowed(control)) SetWindowOrgEx(dc, origin.X + offset.X, origin.Y + offset.Y, nullptr);
    else SetWindowOrgEx(dc, offset.X, offset.Y, nullptr);
  }
  try {
    parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dc));
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
}

void EraseWithParentBackground(TControl* control, HDC dc, TPoint offset) {
  EraseWithParentBackground(control, dc, offset, NoRect);
}

void EraseWithParentBackground(TControl* control, HDC dc) {
  if (!control) return;
  EraseWithParentBackground(control, dc, Point(control->Left(), control->Top()), NoRect);
}

void EraseWithParentBackground(TControl* control, HDC dc, const TRect& rect) {
  if (!control) return;
  EraseWithParentBackground(control, dc, Point(control->Left(), control->Top()), rect);
}

void FillThemedBackground(TControl* control, TCanvas* canvas, const TRect& rect, TColor color,
                          bool needsParentBackground) {
  if (!control || !canvas) return;
  TWinControl* parent = control->Parent();
  bool plain = !ThemeServices()->ThemesEnabled() || !parent ||
               (color != parent->Color() && ColorToRGB(color) != ColorToRGB(parent->Color())) ||
               (needsParentBackground && !(control->ControlStyle() & csParentBackground));
  if (plain) {
    TColor old = canvas->Brush()->Color();
    bool change = old != color;
    if (change) canvas->Brush()->SetColor(color);
    canvas->FillRect(rect);
    if (change) canvas->Brush()->SetColor(old);
    return;
  }
  auto* window = AsWindowed(control);
  if (window && !window->DoubleBuffered()) ThemeServices()->DrawParentBackground(window->Handle(), canvas->Handle(), &rect);
  else EraseWithParentBackground(control, canvas->Handle(), rect);
}

void FillThemedBackgroundInBrushColor(TControl* control, TCanvas* canvas, const TRect& rect,
                                      bool needsParentBackground) {
  if (!canvas) return;
  FillThemedBackground(control, canvas, rect, canvas->Brush()->Color(), needsParentBackground);
}

void AddThemeStyle(TControl* control, TControlStyle flags) {
  if (control) control->SetControlStyle(control->ControlStyle() | (flags & kThemeStyles));
}

TControlStyle QueryThemeStyle(TControl* control) { return control ? control->ControlStyle() & kThemeStyles : 0; }

int32_t DrawCaptionText(HDC dc, const std::string& text, TRect& rect, uint32_t format, int32_t) {
  return DrawText(dc, text.data(), static_cast<int32_t>(text.size()), &rect, format);
}

void DrawImageListItem(TCustomImageList* list, int32_t index, HDC dc, int32_t x, int32_t y, uint32_t style, bool) {
  if (!list || !dc) return;
  TDrawingStyle drawing = (style & ILD_FOCUS)         ? dsFocus
                          : (style & ILD_SELECTED)    ? dsSelected
                          : (style & ILD_TRANSPARENT) ? dsTransparent
                                                      : dsNormal;
  TCanvas canvas;
  canvas.SetHandle(dc);
  try {
    list->Draw(&canvas, x, y, index, drawing, (style & ILD_MASK) ? itMask : itImage, true);
  } catch (...) {
    canvas.SetHandle(nullptr);
    throw;
  }
  canvas.SetHandle(nullptr);
}

bool IsOnGlassSurface(TControl*) { return false; }

bool IsDesktopCompositionOn() { return false; }

void InstallPrintClientCorrection() {
  // The handler is looked up in the windowed-control class's own table. Without a table nothing is
  // found and nothing installed: painting goes on as the framework does it.
  const int32_t count = MessageHandlerCount(typeid(TWinControl));
  const uint16_t* numbers = MessageHandlerNumbers(typeid(TWinControl));
  for (int32_t i = 0; numbers && i < count; ++i)
    if (numbers[i] == WM_PRINTCLIENT) g_correctionInstalled = true;
}

void RemovePrintClientCorrection() { g_correctionInstalled = false; }

bool PrintClientCorrectionInstalled() { return g_correctionInstalled; }
