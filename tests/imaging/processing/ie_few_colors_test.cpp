#include "imaging/processing/ie_few_colors.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"

namespace {

TEST(TwoColorsTo1Bit, DarkerColourBecomesBitZero) {
  const TIERGB red = CreateRGB(200, 0, 0), yellow = CreateRGB(255, 255, 0);
  for (bool yellowFirst : {false, true}) {
    TIEBitmap b(5, 3, ie24RGB);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) b.SetPixel24(x, y, ((x + y) % 2 == 0) == yellowFirst ? yellow : red);
    TIERGB c1{}, c2{};
    auto bw = TwoColorsTo1Bit(b, c1, c2);
    ASSERT_NE(bw, nullptr);
    EXPECT_EQ(bw->PixelFormat(), ie1g);
    EXPECT_EQ(c1, red);
    EXPECT_EQ(c2, yellow);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x)
        EXPECT_EQ(GetRowBit(bw->GetRow(y), x) != 0, SameRGB(b.GetPixel24(x, y), yellow)) << x << "," << y;
  }
}

TEST(TwoColorsTo1Bit, OneOrThreeColoursGiveNil) {
  TIEBitmap b(4, 4, ie24RGB);
  b.Fill(0x00FF00);
  TIERGB c1{}, c2{};
  EXPECT_EQ(TwoColorsTo1Bit(b, c1, c2), nullptr);
  b.SetPixel24(1, 1, CreateRGB(1, 2, 3));
  b.SetPixel24(2, 2, CreateRGB(4, 5, 6));
  EXPECT_EQ(TwoColorsTo1Bit(b, c1, c2), nullptr);
  TIEBitmap empty;
  EXPECT_EQ(TwoColorsTo1Bit(empty, c1, c2), nullptr);
}

TEST(TwoColorsTo1Bit, ReadsPaletteImagesThroughTheirPalette) {
  TIEBitmap b(3, 1, ie8p);
  b.SetPaletteColor(0, CreateRGB(255, 255, 255));
  b.SetPaletteColor(1, CreateRGB(0, 0, 0));
  b.SetPixel8(0, 0, 0);
  b.SetPixel8(1, 0, 1);
  b.SetPixel8(2, 0, 0);
  TIERGB c1{}, c2{};
  auto bw = TwoColorsTo1Bit(b, c1, c2);
  ASSERT_NE(bw, nullptr);
  EXPECT_EQ(c1, CreateRGB(0, 0, 0));
  EXPECT_EQ(static_cast<uint8_t*>(bw->GetRow(0))[0] & 0xE0, 0xA0);  // white, black, white
}

TEST(InvertBitmapRows, SwapsBlackAndWhite) {
  TIEBitmap b(9, 2, ie1g);
  b.Fill(0);
  SetRowBit(b.GetRow(1), 8, 1);
  InvertBitmapRows(b);
  EXPECT_NE(GetRowBit(b.GetRow(0), 0), 0);
  EXPECT_EQ(GetRowBit(b.GetRow(1), 8), 0);
}

TEST(FindNearestPaletteIndex, FirstOfEqualsWins) {
  const TIERGB pal[] = {CreateRGB(0, 0, 0), CreateRGB(10, 10, 10), CreateRGB(20, 0, 10), CreateRGB(10, 10, 10)};
  EXPECT_EQ(FindNearestPaletteIndex(pal, 4, CreateRGB(9, 9, 9)), 1);
  EXPECT_EQ(FindNearestPaletteIndex(pal, 4, CreateRGB(15, 5, 10)), 1);  // 1 and 2 both at 10: the first
  EXPECT_EQ(FindNearestPaletteIndex(pal, 4, CreateRGB(30, 0, 10)), 2);
  EXPECT_EQ(FindNearestPaletteIndex(pal, 0, CreateRGB(30, 0, 10)), 0);
}

}  // namespace
