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
