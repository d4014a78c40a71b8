#include "imaging/core/ie_colorspace.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/core/ie_bitmap.h"
#include "tests/imaging/cmyk_formulas.h"

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
  testsupport::CMYKFormulas formulas;
  EXPECT_EQ(RGBToCMYK(CreateRGB(0, 0, 0)), CreateCMYK(0, 0, 0, 1));
  EXPECT_EQ(RGBToCMYK(CreateRGB(255, 255, 255)), CreateCMYK(255, 255, 255, 255));
  EXPECT_EQ(RGBToCMYK(CreateRGB(100, 50, 0)), CreateCMYK(255, 127, 0, 100));
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(255, 255, 255, 255)), CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(255, 127, 0, 100)), CreateRGB(100, 49, 0)));
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(0, 0, 0, 1)), CreateRGB(0, 0, 0)));
  // The row forms give what the pixel forms give, the last pixel of the row included.
  const uint8_t cmyk[8] = {255, 127, 0, 100, 10, 200, 30, 250};
  uint8_t bgr[6] = {};
  CMYKRowToBGR(cmyk, bgr, 2);
  EXPECT_EQ((TIERGB{bgr[0], bgr[1], bgr[2]}), CreateRGB(100, 49, 0));
  EXPECT_EQ((TIERGB{bgr[3], bgr[4], bgr[5]}), CreateRGB(9, 196, 29));  // 10*250/255, 200*250/255, 30*250/255
  uint8_t back[8] = {};
  BGRRowToCMYK(bgr, back, 2);
  EXPECT_EQ(back[4 + 3], 196);  // K = max(R, G, B)
}

namespace {
int g_rowCalls = 0;
bool ToRedHook(const uint8_t*, uint8_t* bgr, int32_t count) {
  ++g_rowCalls;
  for (int32_t i = 0; i < count; ++i) {
    bgr[3 * i] = 0;
    bgr[3 * i + 1] = 0;
    bgr[3 * i + 2] = 255;
  }
  return true;
}
bool DeclineHook(const uint8_t*, uint8_t*, int32_t) { return false; }
}  // namespace

TEST(CMYK, ProfileHooksTakeOverWholeRowsOrDecline) {
  testsupport::CMYKFormulas restore;
  CMYKToRGBProfileHook = ToRedHook;
  RGBToCMYKProfileHook = DeclineHook;
  EXPECT_TRUE(SameRGB(CMYKToRGB(CreateCMYK(255, 255, 255, 255)), CreateRGB(255, 0, 0)));
  EXPECT_EQ(RGBToCMYK(CreateRGB(255, 255, 255)), CreateCMYK(255, 255, 255, 255));
  // A bitmap's conversion hands the hook each row once.
  TIEBitmap cmyk(300, 2, ieCMYK);
  g_rowCalls = 0;
  cmyk.SetPixelFormat(ie24RGB);
  EXPECT_EQ(g_rowCalls, 2);
  EXPECT_TRUE(SameRGB(cmyk.GetPixel24(299, 1), CreateRGB(255, 0, 0)));
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
