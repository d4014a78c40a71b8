#include "imaging/core/ie_color_models.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t UnitToByte(double v) {
  const double r = std::nearbyint(v * 255.0);
  if (!(r > 0)) return 0;  // NaN too
  return r >= 255 ? 255 : static_cast<uint8_t>(r);
}

}  // namespace

void RGBToHSL(double& H, double& S, double& L, TIERGB Color) {
  const double r = Color.r / 255.0;
  const double g = Color.g / 255.0;
  const double b = Color.b / 255.0;
  const double mx = std::max({r, g, b});
  const double mn = std::min({r, g, b});
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

double HueToRGB(double T, double Q, double P) {
  if (T < 0)
    T += 1;
  else if (T > 1)
    T -= 1;
  if (6 * T < 1) return P + (Q - P) * 6 * T;
  if (2 * T < 1) return Q;
  if (3 * T < 2) return P + (Q - P) * (2.0 / 3.0 - T) * 6;
  return P;
}

void HSLToRGB(TIERGB& Color, double H, double S, double L) {
  if (H < 0)
    H += 1;
  else if (H > 1)
    H -= 1;
  S = std::clamp(S, 0.0, 1.0);
  L = std::clamp(L, 0.0, 1.0);
  if (S == 0) {
    const uint8_t v = UnitToByte(L);
    Color = TIERGB{v, v, v};
    return;
  }
  const double Q = L <= 0.5 ? L * (1 + S) : L + S - L * S;
  const double P = 2 * L - Q;
  Color.r = UnitToByte(HueToRGB(H + 1.0 / 3.0, Q, P));
  Color.g = UnitToByte(HueToRGB(H, Q, P));
  Color.b = UnitToByte(HueToRGB(H - 1.0 / 3.0, Q, P));
}
