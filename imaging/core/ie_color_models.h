#pragma once
// Conversions between RGB pixels and the hue/saturation/lightness model, as the colour operations
// and the HSL blend modes use them. HSL values are doubles in 0..1, the hue a fraction of a turn.
#include <cstdint>

#include "imaging/core/ie_rgb.h"

// H, S and L of Color. Grey pixels have H = S = 0.
inline void RGBToHSL(double& H, double& S, double& L, TIERGB Color);
// The pixel of H, S, L: H is wrapped once into 0..1, S and L are clamped to 0..1; each channel is
// rounded to the nearest byte (halves to even).
inline void HSLToRGB(TIERGB& Color, double H, double S, double L);
// One channel of HSLToRGB: T is the hue shifted for the channel, Q and P the model's two levels.
inline double HueToRGB(double T, double Q, double P);

// H (0..359 degrees), S and V (0..99) of Color: each channel scaled to 0..99 and rounded, V the
// largest, S = (V - min) * 99 div V, H by the sector of the largest channel (0 for grey).
void RGBToHSV(int32_t& H, int32_t& S, int32_t& V, TIERGB Color);
// The pixel of H, S, V: H is reduced modulo 360, S and V are clamped to 0..99; each channel is
// value / 99 * 255 rounded to the nearest byte.
void HSVToRGB(TIERGB& Color, int32_t H, int32_t S, int32_t V);
// The largest and the smallest of three integers.
void MaxMin3(int32_t A, int32_t B, int32_t C, int32_t& Max, int32_t& Min);

// ---- The HSL model, inline: the colour operations call it for every pixel ----

namespace iecolormodels {

// k / 255.0 for every byte: the very quotients, without a division per pixel.
struct TByteUnits {
  double Value[256];
  constexpr TByteUnits() : Value() {
    for (int k = 0; k < 256; ++k) Value[k] = k / 255.0;
  }
};
inline constexpr TByteUnits kByteUnits{};

// V * 255 rounded to the nearest byte, halves to even (the default rounding of nearbyint, without
// a library call: adding and taking away 2^52 leaves the nearest integer), NaN and below 0 as 0.
inline uint8_t UnitToByte(double V) {
  const double x = V * 255.0;
  if (!(x > 0)) return 0;
  if (x >= 255) return 255;
  return static_cast<uint8_t>((x + 4503599627370496.0) - 4503599627370496.0);
}

}  // namespace iecolormodels

inline void RGBToHSL(double& H, double& S, double& L, TIERGB Color) {
  const double r = iecolormodels::kByteUnits.Value[Color.r];
  const double g = iecolormodels::kByteUnits.Value[Color.g];
  const double b = iecolormodels::kByteUnits.Value[Color.b];
  const double mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
  const double mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
  L = (mx + mn) / 2;
  if (mx == mn) {
    S = 0;
    H = 0;
    return;
  }
  const double d = mx - mn;
  S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
  double h;
  if (mx == r)
    h = (g - b) / d;
  else if (mx == g)
    h = (b - r) / d + 2;
  else
    h = (r - g) / d + 4;
  H = h / 6;
  if (H < 0) H += 1;
}

inline double HueToRGB(double T, double Q, double P) {
  if (T < 0)
    T += 1;
  else if (T > 1)
    T -= 1;
  if (6 * T < 1) return P + (Q - P) * 6 * T;
  if (2 * T < 1) return Q;
  if (3 * T < 2) return P + (Q - P) * (2.0 / 3.0 - T) * 6;
  return P;
}

inline void HSLToRGB(TIERGB& Color, double H, double S, double L) {
  if (H < 0)
    H += 1;
  else if (H > 1)
    H -= 1;
  // Clamped to 0..1 (NaN stays NaN and gives 0 bytes).
  S = S < 0 ? 0 : (S > 1 ? 1 : S);
  L = L < 0 ? 0 : (L > 1 ? 1 : L);
  if (S == 0) {
    const uint8_t v = iecolormodels::UnitToByte(L);
    Color = TIERGB{v, v, v};
    return;
  }
  const double Q = L <= 0.5 ? L * (1 + S) : L + S - L * S;
  const double P = 2 * L - Q;
  Color.r = iecolormodels::UnitToByte(HueToRGB(H + 1.0 / 3.0, Q, P));
  Color.g = iecolormodels::UnitToByte(HueToRGB(H, Q, P));
  Color.b = iecolormodels::UnitToByte(HueToRGB(H - 1.0 / 3.0, Q, P));
}
