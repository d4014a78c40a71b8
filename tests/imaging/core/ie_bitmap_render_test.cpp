// Drawing a TIEBitmap scaled into a rectangle of a 24-bit bitmap: placement and cutting at the
// destination's edges, nearest-pixel scaling, opacity, the alpha channel, and sources of other
// formats or held in a file.
#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "platform/gdi/bitmap.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

class RenderTest : public BitmapTest {
 protected:
  // Source pixel (x, y) has blue x, green y and red 77.
  static std::unique_ptr<TIEBitmap> Source(int32_t w, int32_t h, TIELocation where = ieMemory) {
    auto b = Make(w, h, ie24RGB, where);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        b->SetPixel24(x, y, TIERGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77});
    return b;
  }
};

TIERGB Black() { return TIERGB{0, 0, 0}; }

TEST_F(RenderTest, ARectangleLeftOfTheDestinationIsCutWithItsSource) {
  // A 100 x 100 source drawn at x -50, 200 wide: source columns from 25 on land from column 0.
  auto src = Source(100, 100);
  auto dst = Make(120, 100, ie24RGB, ieMemory);
  dst->Fill(0);
  src->RenderToTIEBitmap(*dst, -50, 0, 200, 100, 0, 0, 100, 100);
  EXPECT_EQ(dst->GetPixel24(0, 5).b, 25);
  EXPECT_EQ(dst->GetPixel24(1, 5).b, 25);
  EXPECT_EQ(dst->GetPixel24(2, 5).b, 26);
  EXPECT_EQ(dst->GetPixel24(119, 5).b, 84);  // (119 / 2) + 25
  EXPECT_EQ(dst->GetPixel24(7, 42).g, 42);
}

TEST_F(RenderTest, ScalesByTheNearestSourcePixelInsideTheRectangleOnly) {
  auto src = Source(4, 3);
  auto dst = Make(10, 8, ie24RGB, ieMemory);
  dst->Fill(0);
  src->RenderToTIEBitmap(*dst, 1, 2, 8, 6, 0, 0, 4, 3);  // twice the size
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      const TIERGB p = dst->GetPixel24(x, y);
      const bool inside = x >= 1 && x < 9 && y >= 2 && y < 8;
      if (!inside) {
        EXPECT_TRUE(SameRGB(p, Black())) << x << "," << y;
        continue;
      }
      EXPECT_EQ(p.b, (x - 1) / 2) << x << "," << y;
      EXPECT_EQ(p.g, (y - 2) / 2) << x << "," << y;
      EXPECT_EQ(p.r, 77);
    }
  // Shrunk to a third: every third source pixel.
  auto big = Source(30, 9);
  auto small = Make(10, 3, ie24RGB, ieMemory);
  big->RenderToTIEBitmap(*small, 0, 0, 10, 3, 0, 0, 30, 9);
  EXPECT_EQ(small->GetPixel24(4, 2).b, 12);
  EXPECT_EQ(small->GetPixel24(4, 2).g, 6);
}

TEST_F(RenderTest, SourceRectanglesPastTheSourceReadItsLastPixels) {
  auto src = Source(10, 10);
  auto dst = Make(8, 8, ie24RGB, ieMemory);
  src->RenderToTIEBitmap(*dst, 0, 0, 8, 8, 6, 6, 8, 8);  // reaches 4 pixels past the source
  EXPECT_EQ(dst->GetPixel24(0, 0).b, 6);
  EXPECT_EQ(dst->GetPixel24(3, 3).b, 9);
  EXPECT_EQ(dst->GetPixel24(7, 7).b, 9);
  EXPECT_EQ(dst->GetPixel24(7, 7).g, 9);
}

TEST_F(RenderTest, NothingIsDrawnForEmptyOrMissedRectangles) {
  auto src = Source(10, 10);
  auto dst = Make(8, 8, ie24RGB, ieMemory);
  dst->Fill(0);
  const int32_t cases[][8] = {{0, 0, 0, 8, 0, 0, 10, 10}, {0, 0, 8, 8, 0, 0, 0, 10},  {8, 0, 4, 4, 0, 0, 10, 10},
                              {0, 8, 4, 4, 0, 0, 10, 10}, {-9, 0, 8, 8, 0, 0, 10, 10}, {0, 0, -3, 8, 0, 0, 10, 10}};
  for (const auto& c : cases) src->RenderToTIEBitmap(*dst, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
  EXPECT_TRUE(dst->IsAllZero());
  auto grey = Make(8, 8, ie8g, ieMemory);
  src->RenderToTIEBitmap(*grey, 0, 0, 8, 8, 0, 0, 10, 10);  // not a 24-bit destination
  EXPECT_TRUE(grey->IsAllZero());
}

TEST_F(RenderTest, OpacityAndTheAlphaChannelBlend) {
  // White at opacity 128 over black: floor(128 x 255 / 256) = 127.
  auto white = Make(4, 4, ie24RGB, ieMemory);
  white->Fill(0xFFFFFF);
  auto dst = Make(4, 4, ie24RGB, ieMemory);
  dst->Fill(0);
  white->RenderToTIEBitmap(*dst, 0, 0, 4, 4, 0, 0, 4, 4, 128);
  EXPECT_EQ(dst->GetPixel24(2, 2).r, 127);
  // The alpha channel: pixel alpha 64 blends by 64; a Full channel is as none.
  dst->Fill(0);
  white->GetAlphaChannel()->Fill(255);
  white->SetAlpha(1, 1, 64);
  white->RenderToTIEBitmap(*dst, 0, 0, 4, 4, 0, 0, 4, 4);
  EXPECT_EQ(dst->GetPixel24(1, 1).g, 63);  // floor(64 x 255 / 256)
  EXPECT_EQ(dst->GetPixel24(0, 0).g, 255);  // alpha 255 takes the source exactly
  white->GetAlphaChannel()->Fill(0);
  white->GetAlphaChannel()->SetFull(true);
  dst->Fill(0);
  white->RenderToTIEBitmap(*dst, 0, 0, 4, 4, 0, 0, 4, 4);
  EXPECT_EQ(dst->GetPixel24(1, 1).g, 255);
}

TEST_F(RenderTest, OtherFormatsAndFileHeldSourcesDrawAsTheirColours) {
  auto grey = Make(3, 2, ie8g, ieMemory);
  grey->SetPixel8(1, 1, 200);
  auto bits = Make(3, 2, ie1g, ieMemory);
  bits->Fill(0);
  bits->FillRect(2, 0, 2, 0, 1);
  auto dst = Make(3, 2, ie24RGB, ieMemory);
  grey->RenderToTIEBitmap(*dst, 0, 0, 3, 2, 0, 0, 3, 2);
  EXPECT_EQ(dst->GetPixel24(1, 1).r, 200);
  EXPECT_EQ(dst->GetPixel24(1, 1).b, 200);
  bits->RenderToTIEBitmap(*dst, 0, 0, 3, 2, 0, 0, 3, 2);
  EXPECT_EQ(dst->GetPixel24(2, 0).g, 255);
  EXPECT_EQ(dst->GetPixel24(1, 1).g, 0);
  auto held = Source(40, 30, ieFile);
  auto out = Make(20, 15, ie24RGB, ieMemory);
  held->RenderToTIEBitmap(*out, 0, 0, 20, 15, 0, 0, 40, 30);
  EXPECT_EQ(out->GetPixel24(19, 14).b, 38);
  EXPECT_EQ(out->GetPixel24(19, 14).g, 28);
}

TEST_F(RenderTest, DrawsOntoATwentyFourBitFrameworkBitmap) {
  auto src = Source(16, 8);
  TBitmap frame;
  frame.SetPixelFormat(pf24bit);
  frame.SetSize(8, 4);
  src->RenderToTBitmap(&frame, 0, 0, 8, 4, 8, 4, 8, 4);
  const uint8_t* row = frame.ScanLine(3);
  EXPECT_EQ(row[3 * 5], 13);     // blue: source column 8 + 5
  EXPECT_EQ(row[3 * 5 + 1], 7);  // green: source row 4 + 3
  EXPECT_EQ(row[3 * 5 + 2], 77);
  TBitmap device(4, 4);  // not 24 bits: nothing
  src->RenderToTBitmap(&device, 0, 0, 4, 4, 0, 0, 4, 4);
  src->RenderToTBitmap(nullptr, 0, 0, 4, 4, 0, 0, 4, 4);
}

}  // namespace
