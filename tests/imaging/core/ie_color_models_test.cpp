#include "imaging/core/ie_color_models.h"

#include <gtest/gtest.h>

#include <cmath>

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
