// TIEBitmap: fills, rectangle copies, Assign and AssignImage, and the ie16g to ie8g conversion.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_colorspace.h"
#include "tests/imaging/core/bitmap_test_support.h"

TEST_P(BitmapLocationTest, FillSetsEveryPixelAndFullPerFormat) {
  struct Case {
    TIEPixelFormat format;
    double value;
    std::vector<uint8_t> pixel;  // the bytes of one pixel
    bool full;
  };
  const float half = 0.5f, one = 1.0f;
  std::vector<uint8_t> halfBytes(4), oneBytes(4);
  std::memcpy(halfBytes.data(), &half, 4);
  std::memcpy(oneBytes.data(), &one, 4);
  const int32_t cmykRed = RGBToCMYK(CreateRGB(255, 0, 0));
  const TIECIELab labRed = RGBToCIELab(CreateRGB(255, 0, 0));
  const Case cases[] = {
      {ie8g, 255, {255}, true},
      {ie8g, 254, {254}, false},
      {ie8g, 0x1FF, {0xFF}, false},  // the low byte; Full only for exactly 255
      {ie8p, 3, {3}, false},
      {ie16g, 65535, {0xFF, 0xFF}, true},
      {ie16g, 0x1234, {0x34, 0x12}, false},
      {ie24RGB, clRed, {0, 0, 255}, false},
      {ie24RGB, clWhite, {255, 255, 255}, true},
      {ie24RGB, clBtnFace, {240, 240, 240}, false},  // system colours resolved
      {ie32f, 0.5, halfBytes, false},
      {ie32f, 1.0, oneBytes, true},
      {ieCMYK, clRed,
       {uint8_t(cmykRed), uint8_t(cmykRed >> 8), uint8_t(cmykRed >> 16), uint8_t(uint32_t(cmykRed) >> 24)},
       false},
      {ieRGB48, clRed, {0xFF, 0xFF, 0, 0, 0, 0}, false},
      {ieCIELab, clRed, {labRed.l, uint8_t(labRed.a), uint8_t(labRed.b)}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << int(c.format) << " value " << c.value);
    auto bmp = Make(3, 2, c.format, GetParam());
    bmp->Fill(c.value);
    EXPECT_EQ(bmp->Full(), c.full);
    const size_t bpp = c.pixel.size();
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(std::memcmp(bmp->Row<uint8_t>(y) + x * bpp, c.pixel.data(), bpp), 0) << x << "," << y;
  }
}

TEST_P(BitmapLocationTest, Fill1gAnd32RGB) {
  auto bw = Make(10, 2, ie1g, GetParam());
  bw->Fill(1);
  EXPECT_TRUE(bw->Full());
  EXPECT_EQ(bw->Row<uint8_t>(1)[1], 0xFF);
  bw->Fill(0);
  EXPECT_FALSE(bw->Full());
  EXPECT_TRUE(bw->IsAllZero());

  auto rgba = Make(2, 2, ie32RGB, GetParam());
  for (int32_t y = 0; y < 2; ++y) {
    uint8_t* row = rgba->Row<uint8_t>(y);
    row[3] = row[7] = 0x5A;
  }
  rgba->Fill(clWhite);
  EXPECT_TRUE(rgba->Full());
  const uint8_t expected[8] = {255, 255, 255, 0x5A, 255, 255, 255, 0x5A};  // fourth bytes kept
  for (int32_t y = 0; y < 2; ++y) EXPECT_EQ(std::memcmp(rgba->GetRow(y), expected, 8), 0);
}

TEST_P(BitmapLocationTest, FillRectClipsAndKeepsFull) {
  auto bmp = Make(4, 3, ie8g, GetParam());
  bmp->Fill(255);
  bmp->FillRect(-5, 1, 1, 9, 7);
  EXPECT_TRUE(bmp->Full());  // not changed by FillRect
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(bmp->GetPixel8(x, y), (y >= 1 && x <= 1) ? 7 : 255) << x << "," << y;
  bmp->FillRect(3, 0, 2, 0, 0);  // X2 < X1: nothing
  bmp->FillRect(0, 2, 3, 1, 0);  // Y2 < Y1: nothing
  EXPECT_EQ(bmp->GetPixel8(3, 0), 255);

  auto f = Make(2, 2, ie32f, GetParam());
  f->Fill(0);
  f->FillRect(1, 1, 1, 1, 0.5);
  EXPECT_EQ(f->GetPixel32f(1, 1), 0.5f);
  EXPECT_EQ(f->GetPixel32f(0, 1), 0.0f);

  auto bw = Make(20, 1, ie1g, GetParam());
  bw->Fill(0);
  bw->FillRect(3, 0, 17, 0, 1);
  for (int32_t x = 0; x < 20; ++x) EXPECT_EQ(bw->GetPixelRGB(x, 0).r, (x >= 3 && x <= 17) ? 255 : 0) << x;
  bw->FillRect(5, 0, 5, 0, 0);
  EXPECT_EQ(bw->GetPixelRGB(5, 0).r, 0);
  EXPECT_EQ(bw->GetPixelRGB(6, 0).r, 255);
}

TEST_P(BitmapLocationTest, CopyRectToClipsANegativeDestination) {
  auto src = Make(6, 1, ie8g, GetParam());
  for (int32_t x = 0; x < 6; ++x) src->SetPixel8(x, 0, static_cast<uint8_t>(x + 1));
  auto dst = Make(6, 1, ie8g, GetParam());
  dst->Fill(0);
  // DstX = -3 copies from SrcX + 3 into column 0 with a width 3 smaller.
  src->CopyRectTo(*dst, 1, 0, -3, 0, 4, 1);
  EXPECT_EQ(dst->GetPixel8(0, 0), 5);
  EXPECT_EQ(dst->GetPixel8(1, 0), 0);

  // Rectangles running over either bitmap are cut to fit both.
  dst->Fill(0);
  src->CopyRectTo(*dst, 4, 0, 3, 0, 100, 100);
  EXPECT_EQ(dst->GetPixel8(3, 0), 5);
  EXPECT_EQ(dst->GetPixel8(4, 0), 6);
  EXPECT_EQ(dst->GetPixel8(5, 0), 0);

  // Formats without a rule copy nothing.
  auto rgb = Make(6, 1, ie24RGB, GetParam());
  rgb->Fill(clBlack);
  src->CopyRectTo(*rgb, 0, 0, 0, 0, 6, 1);
  EXPECT_TRUE(rgb->IsAllZero());
}

TEST_F(BitmapTest, CopyRectToPerFormatPairs) {
  TIEBitmap a(2, 1, ie32RGB), b(2, 1, ie32RGB);
  std::memcpy(a.GetRow(0), "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  b.Fill(0);
  a.CopyRectTo(b, 0, 0, 0, 0, 2, 1);
  EXPECT_EQ(std::memcmp(b.GetRow(0), "\x01\x02\x03\x04\x05\x06\x07\x08", 8), 0);

  TIEBitmap bits(12, 1, ie1g), bits2(12, 1, ie1g), rgb(12, 1, ie24RGB);
  bits.Fill(0);
  bits.FillRect(2, 0, 4, 0, 1);
  bits2.Fill(1);
  bits.CopyRectTo(bits2, 1, 0, 6, 0, 5, 1);  // pixels 1..5 land at 6..10, the rest of bits2 kept
  const char* expected = "111111011101";
  for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(bits2.GetPixelRGB(x, 0).r, expected[x] == '1' ? 255 : 0) << x;

  rgb.Fill(clRed);
  bits.CopyRectTo(rgb, 0, 0, 0, 0, 12, 1);
  EXPECT_TRUE(SameRGB(rgb.GetPixel24(3, 0), CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(rgb.GetPixel24(5, 0), CreateRGB(0, 0, 0)));

  TIEBitmap self(5, 1, ie8g);  // a bitmap onto itself
  for (int32_t x = 0; x < 5; ++x) self.SetPixel8(x, 0, static_cast<uint8_t>(x));
  self.CopyRectTo(self, 0, 0, 1, 0, 4, 1);
  EXPECT_EQ(self.GetPixel8(4, 0), 3);
  EXPECT_EQ(self.GetPixel8(1, 0), 0);
}

TEST_F(BitmapTest, CopyRectToWithinOneFileBitmap) {
  auto bmp = Make(4, 2, ie8g, ieFile);
  bmp->Fill(0);
  bmp->SetPixel8(0, 0, 9);
  bmp->CopyRectTo(*bmp, 0, 0, 2, 1, 1, 1);
  EXPECT_EQ(bmp->GetPixel8(2, 1), 9);
}

TEST_P(BitmapLocationTest, AssignCopiesEverythingKeepingTheLocation) {
  auto src = Make(5, 4, ie8p, GetParam());
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) src->SetPixel8(x, y, static_cast<uint8_t>(x * y));
  src->SetPaletteColor(6, CreateRGB(1, 2, 3));
  src->SetAlpha(1, 1, 50);
  src->SetBWConversion(0);

  for (TIELocation where : {ieMemory, ieFile}) {
    auto dest = Make(2, 2, ie24RGB, where);
    dest->Assign(*src);
    EXPECT_EQ(dest->Location(), where);
    EXPECT_EQ(dest->PixelFormat(), ie8p);
    EXPECT_EQ(dest->Width(), 5);
    EXPECT_EQ(dest->GetPixel8(4, 3), 12);
    EXPECT_TRUE(SameRGB(dest->GetPaletteColor(6), CreateRGB(1, 2, 3)));
    EXPECT_EQ(dest->GetAlpha(1, 1), 50);
    EXPECT_EQ(dest->BWConversion(), 0);

    // A source without alpha removes the destination's.
    TIEBitmap plain(2, 2, ie8g);
    plain.Fill(255);
    dest->Assign(plain);
    EXPECT_FALSE(dest->HasAlphaChannel());
    EXPECT_TRUE(dest->Full());
    EXPECT_EQ(dest->GetPaletteLength(), 0);
  }

  TIEBitmap empty;
  src->Assign(empty);
  EXPECT_TRUE(src->IsEmpty());
}

TEST_F(BitmapTest, AssignBetweenFileBitmapsCopiesTheFile) {
  auto src = Make(64, 8, ie24RGB, ieFile);
  for (int32_t y = 0; y < 8; ++y) src->FillRect(0, y, 63, y, RGB(y, 2 * y, 3 * y));
  auto dest = Make(1, 1, ie8g, ieFile);
  dest->Assign(*src);
  EXPECT_EQ(dest->Location(), ieFile);
  for (int32_t y = 0; y < 8; ++y) EXPECT_TRUE(SameRGB(dest->GetPixel24(63, y), CreateRGB(y, 2 * y, 3 * y))) << y;
  EXPECT_FALSE(dest->HasAlphaChannel());
}

TEST_F(BitmapTest, AssignFromOwnAlphaChannel) {
  TIEBitmap bmp(3, 3, ie24RGB);
  bmp.SetAlpha(1, 1, 33);
  bmp.Assign(*bmp.GetAlphaChannel());
  EXPECT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.GetPixel8(1, 1), 33);
  EXPECT_FALSE(bmp.HasAlphaChannel());
}

TEST_F(BitmapTest, AssignImageKeepsAlphaAlignmentAndConversion) {
  TIEBitmap dest(4, 4, ie24RGB);
  dest.SetAlpha(0, 0, 9);
  dest.SetBWConversion(0);
  dest.SetRowAlignment(8);
  TIEBitmap src(3, 1, ie24RGB);
  src.Fill(clWhite);
  src.SetAlpha(0, 0, 200);
  src.SetBWConversion(1);
  dest.AssignImage(src);
  EXPECT_EQ(dest.Width(), 3);
  EXPECT_EQ(dest.RowLen(), 9);
  EXPECT_FALSE(dest.Full());
  EXPECT_EQ(dest.BWConversion(), 0);
  EXPECT_EQ(dest.GetAlpha(0, 0), 9);
  EXPECT_TRUE(SameRGB(dest.GetPixel24(2, 0), CreateRGB(255, 255, 255)));

  TIEBitmap empty;
  dest.AssignImage(empty);  // nothing at all
  EXPECT_EQ(dest.Width(), 3);
}

TEST_P(BitmapLocationTest, Grey16ConvertsToGrey8ByTheHighByte) {
  auto src = Make(3, 2, ie16g, GetParam());
  src->Fill(0);
  src->SetPixel16(0, 0, 0x1234);
  src->SetPixel16(2, 1, 0xFFFF);
  src->SetAlpha(1, 0, 60);
  auto dest = Make(3, 2, ie8g, GetParam());
  dest->CopyAndConvertFormat(*src);
  EXPECT_EQ(dest->GetPixel8(0, 0), 0x12);
  EXPECT_EQ(dest->GetPixel8(2, 1), 0xFF);
  EXPECT_EQ(dest->GetPixel8(1, 1), 0);
  EXPECT_EQ(dest->GetAlpha(1, 0), 60);

  TIEBitmap other(2, 2, ie8g);  // another size: nothing
  other.Fill(5);
  other.CopyAndConvertFormat(*src);
  EXPECT_EQ(other.GetPixel8(0, 0), 5);
  EXPECT_FALSE(other.HasAlphaChannel());
}
