#include "imaging/core/ie_rgb.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_int_math.h"

TEST(RoundingAndClamping, Cases) {
  struct Row { long double x; int32_t ceil, floor; };
  const Row rows[] = {{2.0L, 2, 2}, {2.1L, 3, 2}, {2.9L, 3, 2}, {-2.5L, -2, -3}, {2.5L, 3, 2}, {-0.0L, 0, 0}, {-3.0L, -3, -3}};
  for (const Row& r : rows) {
    EXPECT_EQ(CeilInt(r.x), r.ceil) << static_cast<double>(r.x);
    EXPECT_EQ(FloorInt(r.x), r.floor) << static_cast<double>(r.x);
  }
  EXPECT_EQ(CeilInt(1e30L), 2147483647);
  EXPECT_EQ(FloorInt(-1e30L), -2147483647 - 1);

  EXPECT_EQ(ClampInt(5, 0, 10), 5);
  EXPECT_EQ(ClampInt(-5, 0, 10), 0);
  EXPECT_EQ(ClampInt(15, 0, 10), 10);
  // Min above Max: Min for every Value up to Min, Max for larger ones.
  EXPECT_EQ(ClampInt(3, 10, 0), 10);
  EXPECT_EQ(ClampInt(10, 10, 0), 10);
  EXPECT_EQ(ClampInt(11, 10, 0), 0);
  EXPECT_EQ(ClampByte(-1), 0);
  EXPECT_EQ(ClampByte(256), 255);
  EXPECT_EQ(ClampByte(77), 77);

  EXPECT_EQ(MinDouble(1, 2), 1);
  EXPECT_EQ(MaxDouble(1, 2), 2);
  EXPECT_EQ(IMax(-1, 3), 3);
  EXPECT_EQ(IMin(-1, 3), -1);

  int32_t x1 = 9, y1 = 1, x2 = 2, y2 = 8;
  OrderCorners(x1, y1, x2, y2);
  EXPECT_EQ(x1, 2);
  EXPECT_EQ(x2, 9);
  EXPECT_EQ(y1, 1);
  EXPECT_EQ(y2, 8);
  uint8_t a = 1, b = 2;
  SwapBytes(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
}

TEST(ColourRecords, LayoutAndConversions) {
  const TIERGB c = CreateRGB(0x11, 0x22, 0x33);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&c);
  EXPECT_EQ(bytes[0], 0x33);  // blue first
  EXPECT_EQ(bytes[2], 0x11);
  EXPECT_EQ(RGBToInt(c), 0x112233);
  EXPECT_TRUE(SameRGB(IntToRGB(0x112233), c));
  EXPECT_EQ(RGBToTColor(c), 0x332211);
  EXPECT_EQ(CreateCMYK(1, 2, 3, 4), 0x04030201);
  EXPECT_EQ(static_cast<uint32_t>(CreateCMYK(0, 0, 0, 255)), 0xFF000000u);

  TIERGB r;
  TColorToRGB(clRed, r);
  EXPECT_TRUE(SameRGB(r, CreateRGB(255, 0, 0)));
  TColorToRGB(clWindow, r);  // a system colour is resolved
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  EXPECT_TRUE(SameRGB(r, CreateRGB(GetRValue(window), GetGValue(window), GetBValue(window))));
  EXPECT_EQ(static_cast<uint32_t>(TColorToRGBA(clBlue, 0x80)), 0x800000FFu);
  EXPECT_FALSE(SameRGB(CreateRGB(1, 2, 3), CreateRGB(1, 2, 4)));
}
