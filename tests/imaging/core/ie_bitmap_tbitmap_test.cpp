// TIEBitmap: the ieTBitmap location over a framework bitmap (a plain-memory stand-in here).
#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_exception.h"
#include "platform/gdi/bitmap.h"
#include "tests/imaging/core/bitmap_test_support.h"
#include "tests/imaging/core/fake_framework_bitmap.h"

namespace {

class FrameworkBitmapTest : public BitmapTest {
 protected:
  FakeFrameworkScope fake_;
};

FakeFrameworkBitmap& FakeOf(TIEBitmap& bmp) {
  return *static_cast<FakeFrameworkBitmap*>(bmp.FrameworkBitmap());
}

}  // namespace

TEST_F(FrameworkBitmapTest, ColourPixelsMoveThereAndBack) {
  for (TIELocation where : {ieMemory, ieFile}) {
    auto bmp = Make(5, 3, ie24RGB, where);
    bmp->Fill(clBlack);
    bmp->SetPixel24(4, 2, CreateRGB(10, 20, 30));
    bmp->SetAlpha(1, 1, 44);
    bmp->SetLocation(ieTBitmap);
    ASSERT_EQ(bmp->Location(), ieTBitmap);
    ASSERT_NE(bmp->FrameworkBitmap(), nullptr);
    EXPECT_EQ(FakeOf(*bmp).PixelFormat(), pf24bit);
    EXPECT_EQ(FakeOf(*bmp).Pixel(4, 2), 0x0A141Eu);
    EXPECT_EQ(bmp->GetAlpha(1, 1), 44);
    EXPECT_EQ(bmp->PixelFormat(), ie24RGB);

    bmp->SetLocation(where);
    EXPECT_EQ(bmp->Location(), where);
    EXPECT_EQ(bmp->FrameworkBitmap(), nullptr);
    EXPECT_TRUE(SameRGB(bmp->GetPixel24(4, 2), CreateRGB(10, 20, 30)));
  }
}

TEST_F(FrameworkBitmapTest, Grey16BecomesGrey8WithConvertedValues) {
  for (TIELocation where : {ieMemory, ieFile}) {
    auto bmp = Make(3, 2, ie16g, where);
    bmp->Fill(0);
    bmp->SetPixel16(0, 0, 0x1234);
    bmp->SetPixel16(2, 1, 0xFF80);
    bmp->GetCanvas();
    ASSERT_EQ(bmp->Location(), ieTBitmap);
    EXPECT_EQ(bmp->PixelFormat(), ie8g);
    EXPECT_EQ(bmp->GetPixel8(0, 0), 0x12);
    EXPECT_EQ(bmp->GetPixel8(2, 1), 0xFF);
    EXPECT_EQ(bmp->GetPixel8(1, 0), 0);
    EXPECT_EQ(FakeOf(*bmp).Pixel(0, 0), 0x121212u);  // a grey-ramp colour table
  }
}

TEST_F(FrameworkBitmapTest, PalettedPixelsKeepTheirPalette) {
  TIEBitmap bmp(4, 2, ie8p);
  for (int i = 0; i < 256; ++i) bmp.SetPaletteColor(i, CreateRGB(i, 0, 255 - i));
  bmp.SetPixel8(3, 1, 200);
  bmp.SetLocation(ieTBitmap);
  EXPECT_EQ(bmp.PixelFormat(), ie8p);
  EXPECT_EQ(FakeOf(bmp).Pixel(3, 1), 0xC80037u);
  // Colour table changes made through the framework bitmap come back at the next sync.
  const uint32_t green = 0x00FF00;
  FakeOf(bmp).SetColors(200, 1, &green);
  EXPECT_EQ(bmp.PixelFormat(), ie8p);  // reading the format syncs with the framework bitmap
  EXPECT_TRUE(SameRGB(bmp.GetPixelRGB(3, 1), CreateRGB(0, 255, 0)));
  bmp.SetPaletteColor(200, CreateRGB(1, 2, 3));
  EXPECT_EQ(FakeOf(bmp).Pixel(3, 1), 0x010203u);
}

TEST_F(FrameworkBitmapTest, AllocateThereFollowsTheFormatRule) {
  TIEBitmap bmp(2, 2, ie24RGB);
  bmp.SetLocation(ieTBitmap);
  EXPECT_TRUE(bmp.Allocate(6, 4, ie16g));
  EXPECT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.RowLen(), 8);
  EXPECT_TRUE(bmp.Allocate(9, 1, ie1g));
  EXPECT_EQ(FakeOf(bmp).PixelFormat(), pf1bit);
  EXPECT_FALSE(bmp.Allocate(6, 4, ieCMYK));  // never raises from Allocate
  EXPECT_EQ(bmp.Width(), 0);
  EXPECT_EQ(bmp.Height(), 0);
  EXPECT_EQ(bmp.Location(), ieTBitmap);
}

TEST_F(FrameworkBitmapTest, WrappedBitmapIsSharedAndNeverFreed) {
  FakeFrameworkBitmap callers;
  callers.SetPixelFormat(pf24bit);
  callers.SetSize(4, 3);
  callers.SetPixel(1, 2, 0x112233);
  {
    TIEBitmap bmp;
    bmp.WrapTBitmap(callers.Bitmap(), true);
    EXPECT_EQ(bmp.Location(), ieTBitmap);
    EXPECT_TRUE(bmp.ExternalBitmap());
    EXPECT_EQ(bmp.Width(), 4);
    EXPECT_EQ(bmp.PixelFormat(), ie24RGB);
    EXPECT_TRUE(SameRGB(bmp.GetPixel24(1, 2), CreateRGB(0x11, 0x22, 0x33)));
    bmp.SetPixel24(0, 0, CreateRGB(1, 2, 3));
    EXPECT_EQ(callers.Pixel(0, 0), 0x010203u);

    // Drawing code may resize the caller's bitmap: the next read sees it, the alpha follows.
    bmp.GetAlphaChannel();
    callers.SetSize(6, 5);
    EXPECT_EQ(bmp.Width(), 6);
    EXPECT_EQ(bmp.Height(), 5);
    EXPECT_EQ(bmp.GetAlphaChannel()->Width(), 6);
    EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(1, 2, 3)));

    bmp.FreeImage();
    bmp.FreeImage();
  }
  EXPECT_EQ(callers.Width(), 6);  // still the caller's
}

TEST_F(FrameworkBitmapTest, WrappedBitmapsOfOtherDepthsAreReadAs24Bits) {
  FakeFrameworkBitmap callers;
  callers.SetPixelFormat(pf4bit);
  callers.SetSize(3, 1);
  callers.SetPixel(2, 0, 0xFFFFFF);
  TIEBitmap bmp;
  bmp.WrapTBitmap(callers.Bitmap(), true);
  EXPECT_EQ(bmp.PixelFormat(), ie24RGB);
  EXPECT_EQ(callers.PixelFormat(), pf24bit);
  EXPECT_EQ(bmp.RowLen(), 12);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(2, 0), CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(0, 0, 0)));
}

TEST_F(FrameworkBitmapTest, GeometryAndAssignThere) {
  TIEBitmap bmp(3, 2, ie24RGB);
  bmp.Fill(clRed);
  bmp.SetLocation(ieTBitmap);
  bmp.SetWidth(5);
  bmp.SetHeight(1);
  EXPECT_EQ(bmp.Width(), 5);
  EXPECT_EQ(bmp.Height(), 1);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(2, 0), CreateRGB(255, 0, 0)));

  TIEBitmap g16(2, 2, ie16g);
  g16.Fill(0xABCD);
  bmp.Assign(g16);
  EXPECT_EQ(bmp.Location(), ieTBitmap);
  EXPECT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.GetPixel8(1, 1), 0xAB);

  TIEBitmap cmyk(2, 2, ieCMYK);
  EXPECT_THROW(bmp.Assign(cmyk), EIEException);
  EXPECT_EQ(bmp.PixelFormat(), ie8g);  // untouched
  EXPECT_EQ(bmp.GetPixel8(1, 1), 0xAB);

  bmp.GetCanvas();
  EXPECT_FALSE(FakeOf(bmp).flipped);
}

TEST_F(BitmapTest, WithoutAFrameworkBitmapTheImageStaysWhereItWas) {
  // The drawing layer installs a factory; take it away for this test.
  struct NoFactory {
    TFrameworkBitmapFactory saved = FrameworkBitmapFactory;
    NoFactory() { FrameworkBitmapFactory = nullptr; }
    ~NoFactory() { FrameworkBitmapFactory = saved; }
  } noFactory;
  TIEBitmap bmp(3, 3, ie8g);
  bmp.Fill(9);
  EXPECT_EQ(bmp.GetCanvas(), nullptr);
  EXPECT_EQ(bmp.Location(), ieMemory);
  EXPECT_EQ(bmp.GetPixel8(2, 2), 9);
}

// The same location over the drawing layer's real TBitmap: drawing on the canvas reaches the rows
// the engine reads, row 0 at the top.
TEST_F(BitmapTest, CanvasDrawingOverTheRealFrameworkBitmap) {
  ASSERT_NE(FrameworkBitmapFactory, nullptr);
  TIEBitmap bmp(4, 3, ie24RGB);
  bmp.Fill(clWhite);
  TCanvas* canvas = bmp.GetCanvas();
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(bmp.Location(), ieTBitmap);
  canvas->Brush()->SetColor(clRed);
  canvas->FillRect(Rect(0, 0, 2, 1));  // the top-left two pixels
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(1, 0), CreateRGB(255, 0, 0)));
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(2, 0), CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 2), CreateRGB(255, 255, 255)));
  bmp.SetPixel24(3, 2, CreateRGB(0, 0, 255));
  EXPECT_EQ(ColorToRGB(canvas->Pixels(3, 2)), RGB(0, 0, 255));

  bmp.SetLocation(ieMemory);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(255, 0, 0)));
}

TEST_F(BitmapTest, GreyAndPalettedImagesOverTheRealFrameworkBitmap) {
  TIEBitmap grey(3, 2, ie16g);
  grey.Fill(0);
  grey.SetPixel16(2, 1, 0x8040);
  TBitmap* tb = grey.GetTBitmap();
  ASSERT_NE(tb, nullptr);
  EXPECT_EQ(tb->PixelFormat(), pf8bit);
  EXPECT_EQ(grey.PixelFormat(), ie8g);
  EXPECT_EQ(grey.GetPixel8(2, 1), 0x80);
  EXPECT_EQ(ColorToRGB(tb->Canvas()->Pixels(2, 1)), RGB(0x80, 0x80, 0x80));

  TIEBitmap pal(2, 2, ie8p);
  pal.SetPaletteColor(9, CreateRGB(200, 100, 50));
  pal.SetPixel8(1, 1, 9);
  TBitmap* pb = pal.GetTBitmap();
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(pal.PixelFormat(), ie8p);
  EXPECT_EQ(ColorToRGB(pb->Canvas()->Pixels(1, 1)), RGB(200, 100, 50));
  EXPECT_TRUE(SameRGB(pal.GetPixelRGB(1, 1), CreateRGB(200, 100, 50)));
}
