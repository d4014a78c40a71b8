#include "imaging/core/ie_color_models.h"

#include <algorithm>
#include <cmath>

void MaxMin3(int32_t A, int32_t B, int32_t C, int32_t& Max, int32_t& Min) {
  Max = std::max({A, B, C});
  Min = std::min({A, B, C});
}

namespace {

// A channel byte on the 0..99 scale and back, rounded (halves to even).
inline int32_t ByteToHundred(uint8_t V) { return static_cast<int32_t>(std::nearbyint(V / 255.0 * 99)); }
inline uint8_t HundredToByte(int32_t V) { return static_cast<uint8_t>(std::nearbyint(V / 99.0 * 255)); }

}  // namespace

void RGBToHSV(int32_t& H, int32_t& S, int32_t& V, TIERGB Color) {
  const int32_t r = ByteToHundred(Color.r), g = ByteToHundred(Color.g), b = ByteToHundred(Color.b);
  int32_t mx, mn;
  MaxMin3(r, g, b, mx, mn);
  V = mx;
  S = mx == 0 ? 0 : (mx - mn) * 99 / mx;
  if (S == 0) {
    H = 0;
    return;
  }
  const int32_t d = mx - mn;
  if (r == mx)
    H = (g - b) * 60 / d;
  else if (g == mx)
    H = (b - r) * 60 / d + 120;
  else
    H = (r - g) * 60 / d + 240;
  if (H < 0) H += 360;
}

void HSVToRGB(TIERGB& Color, int32_t H, int32_t S, int32_t V) {
  // Any hue names a sector: a hue more than a turn away is reduced as often as it takes.
  H %= 360;
  if (H < 0) H += 360;
  S = std::clamp(S, 0, 99);
  V = std::clamp(V, 0, 99);
  if (S == 0) {
    const uint8_t v = HundredToByte(V);
    Color = TIERGB{v, v, v};
    return;
  }
  const int32_t f = H % 60;
  const int32_t t = V - S * V * (60 - f) / 5940;
  const int32_t q = V - S * V * f / 5940;
  const int32_t p = V - S * V / 99;
  int32_t r, g, b;
  switch (H / 60) {
    case 0: r = V, g = t, b = p; break;
    case 1: r = q, g = V, b = p; break;
    case 2: r = p, g = V, b = t; break;
    case 3: r = p, g = q, b = V; break;
    case 4: r = t, g = p, b = V; break;
    default: r = V, g = p, b = q; break;
  }
  Color = TIERGB{HundredToByte(b), HundredToByte(g), HundredToByte(r)};
}
