#include "imaging/core/ie_rgb.h"

void TColorToRGB(TColor Color, TIERGB& Result) {
  const COLORREF c = ColorToRGB(Color);
  Result = TIERGB{GetBValue(c), GetGValue(c), GetRValue(c)};
}

TIERGB TColorToRGB(TColor Color) {
  TIERGB rgb;
  TColorToRGB(Color, rgb);
  return rgb;
}

int32_t TColorToRGBA(TColor Color, uint8_t Alpha) {
  const COLORREF c = ColorToRGB(Color);
  return static_cast<int32_t>(GetBValue(c) | (GetGValue(c) << 8) | (GetRValue(c) << 16) |
                              (static_cast<uint32_t>(Alpha) << 24));
}
