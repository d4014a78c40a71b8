// TIEBitmap: single-pixel access, GetPixelRGB per format, IsGrayScale and IsAllZero.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_colorspace.h"
#include "tests/imaging/cmyk_formulas.h"
#include "tests/imaging/core/bitmap_test_support.h"

TEST_P(BitmapLocationTest, PixelAccessorsAndFull) {
  auto g8 = Make(3, 2, ie8g, GetParam());
  g8->Fill(255);
  g8->SetPixel8(2, 1, 255);
  EXPECT_TRUE(g8->Full());
  g8->SetPixel8(2, 1, 3);
  EXPECT_FALSE(g8->Full());
  EXPECT_EQ(g8->GetPixel8(2, 1), 3);

  auto g16 = Make(3, 2, ie16g, GetParam());
  g16->Fill(65535);
  g16->SetPixel16(1, 1, 0xABCD);
  EXPECT_FALSE(g16->Full());
  EXPECT_EQ(g16->GetPixel16(1, 1), 0xABCD);

  auto f = Make(3, 2, ie32f, GetParam());
  f->Fill(1.0);
  f->SetPixel32f(0, 0, 2.5f);
  EXPECT_TRUE(f->Full());  // only values below 1.0 clear it
  f->SetPixel32f(0, 0, 0.25f);
  EXPECT_FALSE(f->Full());
  EXPECT_EQ(f->GetPixel32f(0, 0), 0.25f);

  auto cmyk = Make(2, 2, ieCMYK, GetParam());
  cmyk->SetPixelCMYK(1, 1, CreateCMYK(1, 2, 3, 4));
  EXPECT_EQ(cmyk->GetPixelCMYK(1, 1), CreateCMYK(1, 2, 3, 4));

  auto rgb = Make(2, 2, ie24RGB, GetParam());
  rgb->SetPixel24(1, 0, CreateRGB(7, 8, 9));
  EXPECT_TRUE(SameRGB(rgb->GetPixel24Rec(1, 0), CreateRGB(7, 8, 9)));
  EXPECT_EQ(rgb->Row<uint8_t>(0)[3], 9);  // blue first

  auto w = Make(2, 2, ieRGB48, GetParam());
  w->Fill(clWhite);
  EXPECT_TRUE(w->Full());
  w->SetPixel48(0, 1, TIERGB48{65535, 65535, 65535});
  EXPECT_TRUE(w->Full());
  w->SetPixel48(0, 1, TIERGB48{1, 2, 3});
  EXPECT_FALSE(w->Full());
  EXPECT_EQ(w->GetPixel48(0, 1).g, 2);
}

TEST_F(BitmapTest, PointersIntoMemoryRows) {
  TIEBitmap rgb(3, 2, ie24RGB);
  rgb.GetPixelPtr24(2, 1)->g = 99;
  EXPECT_EQ(rgb.GetPixel24(2, 1).g, 99);
  TIEBitmap w(3, 2, ieRGB48);
  w.GetPixelPtr48(1, 0)->r = 1000;
  EXPECT_EQ(w.GetPixel48(1, 0).r, 1000);
}

TEST_F(BitmapTest, GetPixelRGBPerFormat) {
  TIEBitmap bw(9, 1, ie1g);
  bw.Fill(0);
  bw.FillRect(8, 0, 8, 0, 1);
  EXPECT_TRUE(SameRGB(bw.GetPixelRGB(8, 0), CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(bw.GetPixelRGB(7, 0), CreateRGB(0, 0, 0)));

  TIEBitmap pal(1, 1, ie8p);
  pal.SetPaletteColor(4, CreateRGB(10, 20, 30));
  pal.SetPixel8(0, 0, 4);
  EXPECT_TRUE(SameRGB(pal.GetPixelRGB(0, 0), CreateRGB(10, 20, 30)));

  TIEBitmap g16(1, 1, ie16g);
  g16.SetPixel16(0, 0, 0x8Aff);
  EXPECT_TRUE(SameRGB(g16.GetPixelRGB(0, 0), CreateRGB(0x8A, 0x8A, 0x8A)));

  TIEBitmap f(4, 1, ie32f);
  f.SetPixel32f(0, 0, 0.5f);
  f.SetPixel32f(1, 0, 1.5f);   // saturates instead of wrapping to 126
  f.SetPixel32f(2, 0, -0.5f);
  f.SetPixel32f(3, 0, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(f.GetPixelRGB(0, 0).r, 127);
  EXPECT_EQ(f.GetPixelRGB(1, 0).r, 255);
  EXPECT_EQ(f.GetPixelRGB(2, 0).r, 0);
  EXPECT_EQ(f.GetPixelRGB(3, 0).r, 0);

  TIEBitmap cmyk(1, 1, ieCMYK);
  cmyk.Fill(clWhite);
  EXPECT_TRUE(SameRGB(cmyk.GetPixelRGB(0, 0), CreateRGB(255, 255, 255)));

  TIEBitmap w(1, 1, ieRGB48);
  w.SetPixel48(0, 0, TIERGB48{0x1234, 0x5678, 0x9ABC});
  EXPECT_TRUE(SameRGB(w.GetPixelRGB(0, 0), CreateRGB(0x12, 0x56, 0x9A)));

  TIEBitmap lab(1, 1, ieCIELab);
  lab.Fill(clWhite);
  EXPECT_TRUE(SameRGB(lab.GetPixelRGB(0, 0), CreateRGB(255, 255, 255)));

  TIEBitmap rgba(1, 1, ie32RGB);
  std::memcpy(rgba.GetRow(0), "\x03\x02\x01\x7F", 4);
  EXPECT_TRUE(SameRGB(rgba.GetPixelRGB(0, 0), CreateRGB(1, 2, 3)));

  TIEBitmap none;
  EXPECT_TRUE(SameRGB(none.GetPixelRGB(0, 0), CreateRGB(0, 0, 0)));
}

TEST_P(BitmapLocationTest, IsGrayScalePerFormat) {
  // Colour CMYK and L*a*b* images are not grey; grey ones are (CMYK by the formulas: a printed grey
  // of equal inks is not exactly neutral through a profile).
  testsupport::CMYKFormulas formulas;
  struct Case { TIEPixelFormat format; TColor colour; bool grey; };
  const Case cases[] = {
      {ie24RGB, clGray, true},    {ie24RGB, clRed, false},  {ie32RGB, clSilver, true}, {ie32RGB, clLime, false},
      {ieRGB48, clWhite, true},   {ieRGB48, clBlue, false}, {ieCMYK, clGray, true},    {ieCMYK, clRed, false},
      {ieCIELab, clWhite, true},  {ieCIELab, clRed, false}, {ie8g, 17, true},          {ie16g, 17, true},
      {ie1g, 1, true},            {ie32f, 0, true},
  };
  for (const Case& c : cases) {
    auto bmp = Make(3, 2, c.format, GetParam());
    bmp->Fill(c.colour);
    EXPECT_EQ(bmp->IsGrayScale(), c.grey) << "format " << int(c.format);
  }
  auto lab = Make(3, 2, ieCIELab, GetParam());
  lab->Fill(clBlack);
  EXPECT_TRUE(lab->IsGrayScale());
  lab->Row<uint8_t>(1)[3 * 2 + 2] = 5;  // one pixel with some b*
  EXPECT_FALSE(lab->IsGrayScale());

  auto pal = Make(2, 2, ie8p, GetParam());
  for (int i = 0; i < 256; ++i) pal->SetPaletteColor(i, CreateRGB(i, i, i));
  EXPECT_TRUE(pal->IsGrayScale());
  pal->SetPaletteColor(200, CreateRGB(1, 2, 3));
  EXPECT_FALSE(pal->IsGrayScale());
}

TEST_P(BitmapLocationTest, IsAllZeroIgnoresRowPadding) {
  auto bmp = Make(3, 2, ie8g, GetParam());
  bmp->Fill(0);
  bmp->Row<uint8_t>(1)[3] = 1;  // padding byte
  EXPECT_TRUE(bmp->IsAllZero());
  bmp->SetPixel8(2, 1, 1);
  EXPECT_FALSE(bmp->IsAllZero());
}
