#pragma once
// The image views' unit globals: facts about the screen read once at the engine's start-up, the
// system metrics the coordinate model and the fit zoom use, the pixel grid's pen, and the
// soft-shadow settings record of the thumbnail view and the vector layer.
#include <cstdint>

#include "imaging/core/ie_rgb.h"

class TPen;

// Bits per pixel of the screen (24 and more: true colour).
extern int32_t ScreenBitsPerPixel;
// The program's display is on another host.
extern bool IsRemoteSession;
// The sunken edge and plain border sizes (SM_CXEDGE, SM_CYEDGE, SM_CXBORDER, SM_CYBORDER) and the
// scroll-bar thicknesses (SM_CYHSCROLL, SM_CXVSCROLL).
extern int32_t EdgeWidth, EdgeHeight;
extern int32_t BorderWidth, BorderHeight;
extern int32_t HScrollBarHeight, VScrollBarWidth;
// The pixel grid is drawn from this zoom on.
extern int32_t GridMinZoom;
// The pen of the pixel grid: inverting, solid, one pixel wide. Nil before the start-up.
TPen* GridPen();

// Reads the screen's depth, resolution (into the engine's ScreenDPIX/ScreenDPIY) and remote state,
// the processor's MMX flag (HasMMX), the default resolution of 300 dpi and the six metrics, and
// makes the grid pen. Step of the engine's start-up; FinalizeImageViewGlobals undoes it.
void InitializeImageViewGlobals();
void FinalizeImageViewGlobals();

// Soft-shadow settings of a thumbnail view or a vector layer.
struct TIEVSoftShadow {
  bool Enabled = false;
  double Radius = 3.0;
  int32_t OffsetX = 3;
  int32_t OffsetY = 3;
  int32_t Intensity = 100;
  TIERGB Color{0, 0, 0};
};
