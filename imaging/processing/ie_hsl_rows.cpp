#include "imaging/processing/ie_hsl_rows.h"

#include "imaging/core/ie_color_models.h"

// Only the function marked with it is compiled for AVX2 (and without FMA, so no product and sum
// is ever fused: every step rounds as the plain loop's does).
#define IE_AVX2 __attribute__((target("avx2")))

namespace {

using V4d = double __attribute__((vector_size(32)));
using V4l = long __attribute__((vector_size(32)));

// V * 255 to bytes as iecolormodels::UnitToByte: 0 for NaN and below, 255 from 255 on, else the
// nearest integer (halves to even, by adding and taking away 2^52).
IE_AVX2 inline V4l ToBytes(V4d V) {
  const V4d x = V * 255.0;
  const V4d rounded = (x + 4503599627370496.0) - 4503599627370496.0;
  const V4d clamped = x >= 255.0 ? V4d{} + 255.0 : rounded;
  const V4d result = x > 0.0 ? clamped : V4d{};
  return __builtin_convertvector(result, V4l);
}

// One channel of HSLToRGB for four pixels.
IE_AVX2 inline V4d HueToRGB4(V4d T, V4d Q, V4d P) {
  T = T < 0.0 ? T + 1.0 : (T > 1.0 ? T - 1.0 : T);
  const V4d rising = P + (Q - P) * 6.0 * T;
  const V4d falling = P + (Q - P) * (2.0 / 3.0 - T) * 6.0;
  return 6.0 * T < 1.0 ? rising : (2.0 * T < 1.0 ? Q : (3.0 * T < 2.0 ? falling : P));
}

}  // namespace

bool HSLShiftSimdAvailable() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

void HSLShiftRowScalar(TIERGB* Px, int32_t Count, double DH, double DS, double DL) {
  // Runs of equal pixels are converted once.
  TIERGB lastIn{}, lastOut{};
  bool have = false;
  for (int32_t x = 0; x < Count; ++x) {
    if (!have || !(Px[x] == lastIn)) {
      lastIn = Px[x];
      double h, s, l;
      RGBToHSL(h, s, l, lastIn);
      HSLToRGB(lastOut, h + DH, s + DS, l + DL);
      have = true;
    }
    Px[x] = lastOut;
  }
}

IE_AVX2 void HSLShiftRowAvx2(TIERGB* Px, int32_t Count, double DH, double DS, double DL) {
  const double* unit = iecolormodels::kByteUnits.Value;
  int32_t x = 0;
  for (; x + 4 <= Count; x += 4) {
    TIERGB* p = Px + x;
    const V4d r = {unit[p[0].r], unit[p[1].r], unit[p[2].r], unit[p[3].r]};
    const V4d g = {unit[p[0].g], unit[p[1].g], unit[p[2].g], unit[p[3].g]};
    const V4d b = {unit[p[0].b], unit[p[1].b], unit[p[2].b], unit[p[3].b]};
    // RGBToHSL, step by step.
    const V4d mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const V4d mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    const V4d L = (mx + mn) / 2.0;
    const auto grey = mx == mn;
    const V4d d = mx - mn;
    const V4d S = grey ? V4d{} : d / (L < 0.5 ? mx + mn : 2.0 - mx - mn);
    const V4d q = (mx == r ? g - b : (mx == g ? b - r : r - g)) / d;
    const V4d h = mx == r ? q : (mx == g ? q + 2.0 : q + 4.0);
    V4d H = h / 6.0;
    H = grey ? V4d{} : (H < 0.0 ? H + 1.0 : H);
    // HSLToRGB of the shifted values.
    V4d h2 = H + DH;
    h2 = h2 < 0.0 ? h2 + 1.0 : (h2 > 1.0 ? h2 - 1.0 : h2);
    V4d s2 = S + DS;
    s2 = s2 < 0.0 ? V4d{} : (s2 > 1.0 ? V4d{} + 1.0 : s2);
    V4d l2 = L + DL;
    l2 = l2 < 0.0 ? V4d{} : (l2 > 1.0 ? V4d{} + 1.0 : l2);
    const V4d Q = l2 <= 0.5 ? l2 * (1.0 + s2) : l2 + s2 - l2 * s2;
    const V4d P = 2.0 * l2 - Q;
    const auto flat = s2 == 0.0;
    const V4l lightness = ToBytes(l2);
    const V4l red = flat ? lightness : ToBytes(HueToRGB4(h2 + 1.0 / 3.0, Q, P));
    const V4l green = flat ? lightness : ToBytes(HueToRGB4(h2, Q, P));
    const V4l blue = flat ? lightness : ToBytes(HueToRGB4(h2 - 1.0 / 3.0, Q, P));
    for (int k = 0; k < 4; ++k)
      p[k] = TIERGB{static_cast<uint8_t>(blue[k]), static_cast<uint8_t>(green[k]), static_cast<uint8_t>(red[k])};
  }
  HSLShiftRowScalar(Px + x, Count - x, DH, DS, DL);
}

void HSLShiftRow(TIERGB* Px, int32_t Count, double DH, double DS, double DL) {
  if (HSLShiftSimdAvailable())
    HSLShiftRowAvx2(Px, Count, DH, DS, DL);
  else
    HSLShiftRowScalar(Px, Count, DH, DS, DL);
}
