#pragma once
// Theme and drawing support of the controls: the parent's background behind a control, a control's
// background in its own colour or the parent's themed background, the two theme-related control
// style flags, caption text and image-list items, and the start-up check of the framework's
// WM_PRINTCLIENT handling.
#include <cstdint>
#include <string>

#include "platform/gdi/graphics.h"
#include "platform/system/types.h"
#include "platform/ui/controls.h"

class TCustomImageList;

// The no-rectangle value: all four coordinates 0x7FFFFFFF.
constexpr TRect NoRect = {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};
bool IsNoRect(const TRect& r);

// Has the control's parent erase its background (WM_ERASEBKGND with the DC) into dc, whose origin is
// the control's top-left corner, the parent's drawing moved by offset (the control's place in its
// parent) and clipped to rect (in the control's coordinates) unless it is NoRect. The DC's window
// origin and clip region are as they were afterwards, also when the parent's handling raises. A
// control without a parent: nothing happens.
void EraseWithParentBackground(TControl* control, HDC dc, TPoint offset, const TRect& rect);
void EraseWithParentBackground(TControl* control, HDC dc, TPoint offset);
void EraseWithParentBackground(TControl* control, HDC dc);
void EraseWithParentBackground(TControl* control, HDC dc, const TRect& rect);

// Fills rect of the control's canvas with the colour, or, when visual styles are on, the control
// has a parent of the same colour (stored, or as RGB) and (when asked for) the parent-background
// style, with the parent's background. The canvas's brush colour is as it was afterwards.
void FillThemedBackground(TControl* control, TCanvas* canvas, const TRect& rect, TColor color,
                          bool needsParentBackground = false);
void FillThemedBackgroundInBrushColor(TControl* control, TCanvas* canvas, const TRect& rect,
                                      bool needsParentBackground = false);

// The two theme flags of the control style: needs-border-paint and parent-background; other bits
// are ignored.
void AddThemeStyle(TControl* control, TControlStyle flags);
TControlStyle QueryThemeStyle(TControl* control);

// The whole text drawn in rect with the format flags (the glow size is not used).
int32_t DrawCaptionText(HDC dc, const std::string& text, TRect& rect, uint32_t format, int32_t glowSize);
// Image-list drawing flags.
enum : uint32_t { ILD_NORMAL = 0x0, ILD_TRANSPARENT = 0x1, ILD_FOCUS = 0x2, ILD_SELECTED = 0x4, ILD_MASK = 0x10 };
// One image of the list at (x, y) with the style flags (the glow is not used).
void DrawImageListItem(TCustomImageList* list, int32_t index, HDC dc, int32_t x, int32_t y, uint32_t style,
                       bool glow);
// No glass or desktop composition here.
bool IsOnGlassSurface(TControl* control);
bool IsDesktopCompositionOn();

// Start-up and exit: the correction of the windowed-control class's WM_PRINTCLIENT handler would
// replace the handler in the class's message-handler table. Controls here dispatch through virtual
// handlers and keep no table (and the framework's handling leaves the DC as it found it), so
// nothing is found and nothing installed.
void InstallPrintClientCorrection();
void RemovePrintClientCorrection();
bool PrintClientCorrectionInstalled();
