// Mirrors, quarter turns and half turns of every pixel format, against their definitions and
// against FFmpeg's transpose and flip filters.
#include "imaging/processing/ie_flip_turn.h"

#include <gtest/gtest.h>

#include "tests/imaging/processing/geometry_test_support.h"

namespace {

using geomtest::kAllFormats;
using geomtest::Patterned;
using geomtest::PixelOf;
using geomtest::ThreadCount;

using FlipTurnTest = BitmapTest;

TEST_F(FlipTurnTest, FlipsMirrorEveryFormatAndTwiceRestore) {
  // 13 columns: 1-bit rows end inside a byte; 5 rows: an odd middle row.
  const int32_t w = 13, h = 5;
  for (TIELocation where : {ieMemory, ieFile})
    for (TIEPixelFormat format : kAllFormats)
      for (TIEFlipDirection direction : {iefdHorizontal, iefdVertical}) {
        SCOPED_TRACE(testing::Message() << "format " << int(format) << " location " << int(where) << " direction "
                                        << int(direction));
        auto b = Patterned(w, h, format, where, true);
        auto original = Patterned(w, h, format, ieMemory, true);
        const std::vector<uint8_t> palette = geomtest::PaletteBytes(*b);
        FlipBitmap(*b, direction);
        ASSERT_EQ(b->Width(), w);
        ASSERT_EQ(b->PixelFormat(), format);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x) {
            const int32_t sx = direction == iefdHorizontal ? w - 1 - x : x;
            const int32_t sy = direction == iefdVertical ? h - 1 - y : y;
            ASSERT_EQ(PixelOf(*b, x, y), PixelOf(*original, sx, sy)) << x << "," << y;
            ASSERT_EQ(PixelOf(*b->GetAlphaChannel(), x, y), PixelOf(*original->GetAlphaChannel(), sx, sy));
          }
        FlipBitmap(*b, direction);
        EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*original));
        EXPECT_EQ(bmptest::Pixels(*b->GetAlphaChannel()), bmptest::Pixels(*original->GetAlphaChannel()));
        EXPECT_EQ(geomtest::PaletteBytes(*b), palette);
      }
}

TEST_F(FlipTurnTest, OneBitRowOfThirteenMovesPixelZeroToTwelve) {
  TIEBitmap b(13, 1, ie1g);
  b.Fill(0);
  SetRowBit(b.GetRow(0), 0, 1);
  SetRowBit(b.GetRow(0), 4, 1);
  FlipBitmap(b, iefdHorizontal);
  std::vector<int> set;
  for (int32_t x = 0; x < 13; ++x)
    if (GetRowBit(b.GetRow(0), x)) set.push_back(x);
  EXPECT_EQ(set, (std::vector<int>{8, 12}));
}

TEST_F(FlipTurnTest, QuarterTurnsFollowTheirDefinitionAndFourRestore) {
  const int32_t w = 11, h = 6;
  for (TIELocation where : {ieMemory, ieFile})
    for (TIEPixelFormat format : kAllFormats) {
      SCOPED_TRACE(testing::Message() << "format " << int(format) << " location " << int(where));
      auto source = Patterned(w, h, format, where, false);
      for (bool clockwise : {true, false}) {
        TIEBitmap turned;
        ASSERT_TRUE(QuarterTurnCopy(*source, turned, clockwise));
        ASSERT_EQ(turned.Width(), h);
        ASSERT_EQ(turned.Height(), w);
        ASSERT_EQ(turned.PixelFormat(), format);
        EXPECT_EQ(geomtest::PaletteBytes(turned), geomtest::PaletteBytes(*source));
        for (int32_t y = 0; y < w; ++y)
          for (int32_t x = 0; x < h; ++x) {
            const std::vector<uint8_t> expected =
                clockwise ? PixelOf(*source, y, h - 1 - x) : PixelOf(*source, w - 1 - y, x);
            ASSERT_EQ(PixelOf(turned, x, y), expected) << (clockwise ? "cw " : "ccw ") << x << "," << y;
          }
      }
      TIEBitmap half;
      ASSERT_TRUE(HalfTurnCopy(*source, half));
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) ASSERT_EQ(PixelOf(half, x, y), PixelOf(*source, w - 1 - x, h - 1 - y));

      auto b = Patterned(w, h, format, where, true);
      for (int i = 0; i < 4; ++i) ASSERT_TRUE(TurnBitmapQuarters(*b, 1, true));
      EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*source));
      EXPECT_EQ(b->GetAlphaChannel()->Width(), w);
      EXPECT_EQ(geomtest::PaletteBytes(*b), geomtest::PaletteBytes(*source));
      // Two quarters are a half turn, three the other quarter.
      auto c = Patterned(w, h, format, where, false);
      ASSERT_TRUE(TurnBitmapQuarters(*c, 2, false));
      EXPECT_EQ(bmptest::Pixels(*c), bmptest::Pixels(half));
      ASSERT_TRUE(TurnBitmapQuarters(*c, -1, false));
      TIEBitmap ccw;
      QuarterTurnCopy(*source, ccw, false);
      EXPECT_EQ(bmptest::Pixels(*c), bmptest::Pixels(ccw));
    }
}

TEST_F(FlipTurnTest, TurnsAlongWithTheAlphaChannel) {
  auto b = Patterned(9, 4, ie24RGB, ieMemory, true);
  auto original = Patterned(9, 4, ie24RGB, ieMemory, true);
  ASSERT_TRUE(TurnBitmapQuarters(*b, 1, true));
  TIEBitmap expected;
  QuarterTurnCopy(*original->GetAlphaChannel(), expected, false);
  EXPECT_EQ(bmptest::Pixels(*b->GetAlphaChannel()), bmptest::Pixels(expected));
  EXPECT_TRUE(b->GetAlphaChannel()->IsAlphaChannel());
}

TEST_F(FlipTurnTest, ThreadsGiveTheSameResult) {
  // Large enough to be split over workers, with a width that is no multiple of the tile.
  for (TIEPixelFormat format : {ie1g, ie8g, ie24RGB, ieRGB48}) {
    auto source = Patterned(333, 271, format, ieMemory, false);
    TIEBitmap one, many;
    {
      ThreadCount t(1);
      QuarterTurnCopy(*source, one, true);
    }
    {
      ThreadCount t(5);
      QuarterTurnCopy(*source, many, true);
    }
    EXPECT_EQ(bmptest::Pixels(one), bmptest::Pixels(many)) << int(format);
  }
}

TEST_F(FlipTurnTest, AgreesWithFFmpegTransposeAndFlips) {
  const int32_t w = 37, h = 23;
  auto source = Patterned(w, h, ie24RGB, ieMemory, false, 3);
  const std::vector<uint8_t> raw = geomtest::ToBGR24(*source);
  struct Case {
    const char* filter;
    int32_t quarters;  // counter-clockwise; -1 for none
    int flip;          // -1 none, else the direction
  };
  for (const Case& c : {Case{"transpose=clock", 3, -1}, Case{"transpose=cclock", 1, -1}, Case{"hflip", -1, 0},
                        Case{"vflip", -1, 1}, Case{"hflip,vflip", 2, -1}}) {
    SCOPED_TRACE(c.filter);
    const std::vector<uint8_t> expected = geomtest::FFmpegFiltered(raw, w, h, c.filter);
    auto b = geomtest::FromBGR24(raw, w, h);
    if (c.quarters >= 0)
      ASSERT_TRUE(TurnBitmapQuarters(*b, c.quarters, false));
    else
      FlipBitmap(*b, static_cast<TIEFlipDirection>(c.flip));
    EXPECT_EQ(geomtest::ToBGR24(*b), expected);
  }
}

TEST_F(FlipTurnTest, TurnWithoutMemoryLeavesTheImage) {
  auto b = Patterned(64, 40, ie24RGB, ieMemory, true);
  const auto before = bmptest::Pixels(*b);
  FileFallbackOnLowMemory = false;
  SegmentedAllocation = false;
  TIEBitmap::MaxMemoryBlockForTesting() = 100;
  EXPECT_FALSE(TurnBitmapQuarters(*b, 1, true));
  TIEBitmap::MaxMemoryBlockForTesting() = -1;
  EXPECT_EQ(b->Width(), 64);
  EXPECT_EQ(bmptest::Pixels(*b), before);
  // A half turn needs no new pixels.
  TIEBitmap::MaxMemoryBlockForTesting() = 100;
  EXPECT_TRUE(TurnBitmapQuarters(*b, 2, true));
  TIEBitmap::MaxMemoryBlockForTesting() = -1;
}

}  // namespace
