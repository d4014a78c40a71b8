// Comparisons of whole images: the opaque rectangle, equality, and the grey likeness.
#include "imaging/processing/ie_compare.h"

#include <gtest/gtest.h>

#include "tests/imaging/processing/geometry_test_support.h"

namespace {

using geomtest::Patterned;

using CompareTest = BitmapTest;

std::unique_ptr<TIEBitmap> Grey(int32_t W, int32_t H, uint8_t Level) {
  auto b = std::make_unique<TIEBitmap>(W, H, ie24RGB);
  b->Fill(RGBToTColor(CreateRGB(Level, Level, Level)));
  return b;
}

TEST_F(CompareTest, OpaqueRectangle) {
  auto b = Patterned(8, 6, ie24RGB, ieMemory, false);
  TRect r;
  GetOpaqueRect(*b, r);
  EXPECT_EQ((std::vector<int32_t>{r.Left, r.Top, r.Right, r.Bottom}), (std::vector<int32_t>{0, 0, 7, 5}));
  b->GetAlphaChannel()->Fill(0);
  GetOpaqueRect(*b, r);
  EXPECT_EQ((std::vector<int32_t>{r.Left, r.Top, r.Right, r.Bottom}), (std::vector<int32_t>{0, 0, -1, -1}));
  b->SetAlpha(5, 1, 1);
  b->SetAlpha(2, 4, 200);
  GetOpaqueRect(*b, r);
  EXPECT_EQ((std::vector<int32_t>{r.Left, r.Top, r.Right, r.Bottom}), (std::vector<int32_t>{2, 1, 5, 4}));
}

TEST_F(CompareTest, IdenticalBitmapsComparesPixelsNotPadding) {
  auto a = Patterned(5, 3, ie24RGB, ieMemory, true), b = Patterned(5, 3, ie24RGB, ieMemory, true);
  EXPECT_TRUE(IdenticalBitmaps(*a, *b));
  // Row padding (byte 15 of a 16-byte row) is no pixel.
  a->Row<uint8_t>(1)[15] = 0x55;
  EXPECT_TRUE(IdenticalBitmaps(*a, *b));
  b->SetPixel24(4, 2, CreateRGB(1, 1, 1));
  EXPECT_FALSE(IdenticalBitmaps(*a, *b));
  // Alpha channels: present in both and equal.
  auto c = Patterned(5, 3, ie24RGB, ieMemory, true), d = Patterned(5, 3, ie24RGB, ieMemory, false);
  EXPECT_FALSE(IdenticalBitmaps(*c, *d));
  d->GetAlphaChannel()->Assign(*c->GetAlphaChannel());
  EXPECT_TRUE(IdenticalBitmaps(*c, *d));
  d->SetAlpha(0, 0, static_cast<uint8_t>(c->GetAlpha(0, 0) + 1));
  EXPECT_FALSE(IdenticalBitmaps(*c, *d));
  // 1-bit rows: the bits after the last pixel do not count.
  auto e = Patterned(13, 2, ie1g, ieMemory, false), f = Patterned(13, 2, ie1g, ieMemory, false);
  e->Row<uint8_t>(0)[1] ^= 0x07;
  EXPECT_TRUE(IdenticalBitmaps(*e, *f));
  e->Row<uint8_t>(0)[1] ^= 0x08;
  EXPECT_FALSE(IdenticalBitmaps(*e, *f));
}

TEST_F(CompareTest, IdenticalBitmapsNeedTheSameFormat) {
  // The same bytes in two formats, and formats of different row lengths: never equal, never read
  // past the shorter rows.
  TIEBitmap g(4, 4, ie8g), p(4, 4, ie8p), rgb(4, 4, ie24RGB);
  g.Fill(3);
  p.Fill(3);
  rgb.Fill(0x030303);
  EXPECT_FALSE(IdenticalBitmaps(g, p));
  EXPECT_FALSE(IdenticalBitmaps(g, rgb));
  EXPECT_FALSE(IdenticalBitmaps(rgb, g));
  TIEBitmap small(3, 4, ie8g);
  EXPECT_FALSE(IdenticalBitmaps(g, small));
}

TEST_F(CompareTest, GreyLikeness) {
  auto a = Patterned(40, 30, ie24RGB, ieMemory, false);
  EXPECT_DOUBLE_EQ(CompareImagesGray(*a, *a, nullptr), 1.0);
  EXPECT_DOUBLE_EQ(CompareImagesGray(*Grey(10, 10, 0), *Grey(10, 10, 255), nullptr), 0.0);
  // Grey 100 against 151 everywhere: 1 - 51 / 255 = 0.8; the difference bitmap holds 51.
  TIEBitmap diff(1, 1, ie8g);
  EXPECT_NEAR(CompareImagesGray(*Grey(10, 8, 100), *Grey(10, 8, 151), &diff), 0.8, 1e-12);
  EXPECT_EQ(diff.Width(), 10);
  EXPECT_EQ(diff.GetPixel8(9, 7), 51);
  // Only the common top-left area counts: a wider B that differs on the right only is equal.
  auto wide = Grey(20, 8, 100);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 10; x < 20; ++x) wide->SetPixel24(x, y, CreateRGB(0, 0, 0));
  EXPECT_DOUBLE_EQ(CompareImagesGray(*Grey(10, 12, 100), *wide, &diff), 1.0);
  EXPECT_EQ(diff.Width(), 10);
  EXPECT_EQ(diff.Height(), 8);
  // A difference bitmap of another format is not touched; other formats and no common area give 0.
  TIEBitmap other(2, 2, ie24RGB);
  CompareImagesGray(*a, *a, &other);
  EXPECT_EQ(other.Width(), 2);
  TIEBitmap g(10, 10, ie8g), empty;
  EXPECT_EQ(CompareImagesGray(g, *a, nullptr), 0.0);
  EXPECT_EQ(CompareImagesGray(*a, empty, nullptr), 0.0);
}

}  // namespace
