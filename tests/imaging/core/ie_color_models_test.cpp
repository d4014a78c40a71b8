#include "imaging/core/ie_color_models.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/test_support.h"

TEST(HSL, KnownColours) {
  struct Case {
    uint8_t r, g, b;
    double h, s, l;
  };
  const Case cases[] = {
      {255, 0, 0, 0, 1, 0.5},          {0, 255, 0, 1.0 / 3, 1, 0.5},       {0, 0, 255, 2.0 / 3, 1, 0.5},
      {255, 0, 255, 5.0 / 6, 1, 0.5},  {128, 128, 128, 0, 0, 128.0 / 255}, {64, 128, 64, 1.0 / 3, 1.0 / 3, 96.0 / 255},
      {255, 255, 255, 0, 0, 1},        {0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
    double h, s, l;
    RGBToHSL(h, s, l, CreateRGB(c.r, c.g, c.b));
    EXPECT_NEAR(h, c.h, 1e-12);
    EXPECT_NEAR(s, c.s, 1e-12);
    EXPECT_NEAR(l, c.l, 1e-12);
    TIERGB back{};
    HSLToRGB(back, c.h, c.s, c.l);
    EXPECT_TRUE(back == CreateRGB(c.r, c.g, c.b));
  }
}

TEST(HSL, RoundTripIsExact) {
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 7) {
        const TIERGB c = CreateRGB(uint8_t(r), uint8_t(g), uint8_t(b));
        double h, s, l;
        RGBToHSL(h, s, l, c);
        TIERGB back{};
        HSLToRGB(back, h, s, l);
        ASSERT_TRUE(back == c) << r << "," << g << "," << b;
      }
}

TEST(HSL, OutOfRangeArguments) {
  TIERGB c{};
  // The hue wraps once each way; saturation and lightness are clamped.
  HSLToRGB(c, -1.0 / 3, 1, 0.5);  // 2/3: blue
  EXPECT_TRUE(c == CreateRGB(0, 0, 255));
  HSLToRGB(c, 1 + 1.0 / 3, 1, 0.5);  // 1/3: green
  EXPECT_TRUE(c == CreateRGB(0, 255, 0));
  HSLToRGB(c, 0, 7, 0.5);
  EXPECT_TRUE(c == CreateRGB(255, 0, 0));
  HSLToRGB(c, 0, 1, 3);
  EXPECT_TRUE(c == CreateRGB(255, 255, 255));
  HSLToRGB(c, 0, 0.5, -2);
  EXPECT_TRUE(c == CreateRGB(0, 0, 0));
  HSLToRGB(c, NAN, NAN, NAN);  // defined, whatever the colour
  EXPECT_DOUBLE_EQ(HueToRGB(0.1, 0.8, 0.2), 0.2 + 0.6 * 0.6);
  EXPECT_DOUBLE_EQ(HueToRGB(0.4, 0.8, 0.2), 0.8);
  EXPECT_DOUBLE_EQ(HueToRGB(0.9, 0.8, 0.2), 0.2);
}

TEST(HSV, KnownColoursOnTheHundredScale) {
  struct Case {
    uint8_t r, g, b;
    int32_t h, s, v;
    uint8_t br, bg, bb;  // back from H, S, V
  };
  const Case cases[] = {
      {255, 0, 0, 0, 99, 99, 255, 0, 0},
      {0, 255, 0, 120, 99, 99, 0, 255, 0},
      {255, 0, 255, 300, 99, 99, 255, 0, 255},
      // 128 / 255 * 99 = 49.7 rounds to 50, and 50 / 99 * 255 = 128.8 to 129.
      {128, 128, 128, 0, 0, 50, 129, 129, 129},
      // A channel of 1 is 0.39 on the scale: it goes to 0.
      {1, 1, 1, 0, 0, 0, 0, 0, 0},
      // (255, 128, 0): r 99, g 50, b 0; H = (50 - 0) * 60 div 99 = 30.
      {255, 128, 0, 30, 99, 99, 255, 129, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
    int32_t h, s, v;
    RGBToHSV(h, s, v, CreateRGB(c.r, c.g, c.b));
    EXPECT_EQ(h, c.h);
    EXPECT_EQ(s, c.s);
    EXPECT_EQ(v, c.v);
    TIERGB back{};
    HSVToRGB(back, h, s, v);
    EXPECT_TRUE(back == CreateRGB(c.br, c.bg, c.bb));
  }
}

TEST(HSV, AnyHueNamesASector) {
  // H = 340: f = 40, sector 5 gives (V, p, q) with p = 0 and q = 99 - 99 * 99 * 40 div 5940 = 33,
  // and 33 / 99 * 255 = 85.
  TIERGB c{};
  for (int32_t h : {340, 700, -20, -380, 340 + 360 * 1000}) {
    HSVToRGB(c, h, 99, 99);
    EXPECT_TRUE(c == CreateRGB(255, 0, 85)) << h;
  }
  HSVToRGB(c, 10, 500, -3);  // saturation and value clamped
  EXPECT_TRUE(c == CreateRGB(0, 0, 0));
  int32_t mx, mn;
  MaxMin3(4, -2, 9, mx, mn);
  EXPECT_EQ(mx, 9);
  EXPECT_EQ(mn, -2);
}

namespace {

// The HSL model as its formulas read, divisions and the library's rounding included: the inline
// conversions must give the very same doubles and bytes.
void ReferenceRGBToHSL(double& H, double& S, double& L, TIERGB c) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  L = (mx + mn) / 2;
  if (mx == mn) {
    S = H = 0;
    return;
  }
  const double d = mx - mn;
  S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
  const double h = mx == r ? (g - b) / d : mx == g ? (b - r) / d + 2 : (r - g) / d + 4;
  H = h / 6;
  if (H < 0) H += 1;
}

uint8_t ReferenceByte(double v) {
  const double r = std::nearbyint(v * 255.0);
  if (!(r > 0)) return 0;
  return r >= 255 ? 255 : static_cast<uint8_t>(r);
}

TIERGB ReferenceHSLToRGB(double H, double S, double L) {
  if (H < 0)
    H += 1;
  else if (H > 1)
    H -= 1;
  S = std::clamp(S, 0.0, 1.0);
  L = std::clamp(L, 0.0, 1.0);
  if (S == 0) return TIERGB{ReferenceByte(L), ReferenceByte(L), ReferenceByte(L)};
  const double Q = L <= 0.5 ? L * (1 + S) : L + S - L * S, P = 2 * L - Q;
  const auto hue = [&](double T) {
    if (T < 0)
      T += 1;
    else if (T > 1)
      T -= 1;
    if (6 * T < 1) return P + (Q - P) * 6 * T;
    if (2 * T < 1) return Q;
    if (3 * T < 2) return P + (Q - P) * (2.0 / 3.0 - T) * 6;
    return P;
  };
  return TIERGB{ReferenceByte(hue(H - 1.0 / 3.0)), ReferenceByte(hue(H)), ReferenceByte(hue(H + 1.0 / 3.0))};
}

}  // namespace

TEST(HSL, InlineConversionsEqualTheFormulasForEveryColour) {
  // Under the sanitizers every seventh colour (7 is prime to 256: every value of each channel).
  const uint32_t step = testsupport::kSanitizedBuild ? 7 : 1;
  for (uint32_t v = 0; v < (1u << 24); v += step) {
    const TIERGB c{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
    double h, s, l, rh, rs, rl;
    RGBToHSL(h, s, l, c);
    ReferenceRGBToHSL(rh, rs, rl, c);
    ASSERT_TRUE(h == rh && s == rs && l == rl) << v;
    TIERGB out{};
    HSLToRGB(out, h + 30 / 360.0, s + 0.1, l - 0.05);
    ASSERT_TRUE(out == ReferenceHSLToRGB(h + 30 / 360.0, s + 0.1, l - 0.05)) << v;
  }
  // Other shifts on a sample, the ends of every range among them.
  for (double dh : {-0.99, -0.5, 0.0, 0.25, 0.999})
    for (double ds : {-1.0, 0.0, 0.37, 1.0})
      for (double dl : {-1.0, -0.2, 0.0, 0.5, 1.0})
        for (uint32_t v = 0; v < (1u << 24); v += 4099) {
          const TIERGB c{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
          double h, s, l;
          RGBToHSL(h, s, l, c);
          TIERGB out{};
          HSLToRGB(out, h + dh, s + ds, l + dl);
          ASSERT_TRUE(out == ReferenceHSLToRGB(h + dh, s + ds, l + dl)) << v << " " << dh << " " << ds << " " << dl;
        }
}
