#include "imaging/core/ie_colorspace.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(CIELab, WhiteBlackAndRoundTrip) {
  const TIECIELab white = RGBToCIELab(CreateRGB(255, 255, 255));
  EXPECT_EQ(white.l, 255);
  EXPECT_EQ(white.a, 0);
  EXPECT_EQ(white.b, 0);
  EXPECT_TRUE(SameRGB(CIELabToRGB(white), CreateRGB(255, 255, 255)));

  const TIECIELab black = RGBToCIELab(CreateRGB(0, 0, 0));
  EXPECT_EQ(black.l, 0);
  EXPECT_TRUE(SameRGB(CIELabToRGB(black), CreateRGB(0, 0, 0)));

  // Known values: pure red is L* 53.2, a* 80.1, b* 67.2.
  const TIECIELab red = RGBToCIELab(CreateRGB(255, 0, 0));
  EXPECT_EQ(red.l, 135);  // Trunc(53.24 * 2.55)
  EXPECT_EQ(red.a, 80);
  EXPECT_EQ(red.b, 67);
  const TIECIELab blue = RGBToCIELab(CreateRGB(0, 0, 255));
  EXPECT_LT(blue.b, -100);  // b* of blue is about -107.9: kept signed

  // The byte encoding loses a little; colours come back within a few steps.
  for (int v = 0; v < 256; v += 51) {
    const TIERGB in = CreateRGB(v, 255 - v, (v * 7) & 255);
    const TIERGB out = CIELabToRGB(RGBToCIELab(in));
    EXPECT_LE(std::abs(in.r - out.r), 8) << v;
    EXPECT_LE(std::abs(in.g - out.g), 8) << v;
    EXPECT_LE(std::abs(in.b - out.b), 8) << v;
  }
}

TEST(CMYK, Formulas) {
  EXPECT_EQ(RGBToCMYK(CreateRGB(0, 0, 0)), CreateCMYK(0, 0, 0, 1));
  EXPECT_EQ(RGBToCMYK(CreateRGB(255, 255, 255)), CreateCMYK(255, 255, 255, 255));
  EXPECT_EQ(RGBToCMYK(CreateRGB(100, 50, 0)), CreateCMYK(255, 127, 0, 100));
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(255, 255, 255, 255)), CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(255, 127, 0, 100)), CreateRGB(100, 49, 0)));
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(0, 0, 0, 1)), CreateRGB(0, 0, 0)));
}

namespace {
bool ToRedHook(int32_t, TIERGB& rgb) {
  rgb = CreateRGB(255, 0, 0);
  return true;
}
bool DeclineHook(TIERGB, int32_t&) { return false; }
}  // namespace

TEST(CMYK, ProfileHooksTakeOverOrDecline) {
  CMYKToRGBProfileHook = ToRedHook;
  RGBToCMYKProfileHook = DeclineHook;
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(255, 255, 255, 255)), CreateRGB(255, 0, 0)));
  EXPECT_EQ(RGBToCMYK(CreateRGB(255, 255, 255)), CreateCMYK(255, 255, 255, 255));
  CMYKToRGBProfileHook = nullptr;
  RGBToCMYKProfileHook = nullptr;
}

TEST(YCbCr, FormulasTruncateAndClamp) {
  struct Case {
    uint8_t y, cb, cr;
    TIERGB rgb;
  } cases[] = {
      {128, 128, 128, CreateRGB(128, 128, 128)},
      {100, 128, 130, CreateRGB(102, 98, 100)},  // 102.804, 98.572: truncated, not rounded
      {255, 128, 255, CreateRGB(255, 164, 255)},  // R 433 clamped, G 255 - 90.7
      {0, 0, 0, CreateRGB(0, 135, 0)},            // G 0 + 44.05 + 91.41
      {16, 255, 0, CreateRGB(0, 63, 241)},        // R -163.5, G 16 - 43.71 + 91.41, B 16 + 225.04
  };
  for (const Case& c : cases) EXPECT_EQ(YCbCrToRGB(c.y, c.cb, c.cr), c.rgb) << int(c.y) << " " << int(c.cb);
}
