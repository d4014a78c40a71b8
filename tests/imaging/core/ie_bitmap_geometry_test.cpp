// TIEBitmap: size changes, alignment, rectangle moves, palette and alpha channel.
#include <gtest/gtest.h>

#include <string>

#include "imaging/core/ie_bitmap.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

// Pixel (x, y) of a small ie8g image holds 10 * y + x + 1 (never 0, so fills show).
void Number(TIEBitmap& bmp) {
  for (int32_t y = 0; y < bmp.Height(); ++y)
    for (int32_t x = 0; x < bmp.Width(); ++x) bmp.SetPixel8(x, y, static_cast<uint8_t>(10 * y + x + 1));
}

// The image as text rows, 2 digits a pixel ("00" for the background).
std::string Dump(TIEBitmap& bmp) {
  std::string out;
  char cell[8];
  for (int32_t y = 0; y < bmp.Height(); ++y) {
    for (int32_t x = 0; x < bmp.Width(); ++x) {
      std::snprintf(cell, sizeof cell, "%02d", bmp.GetPixel8(x, y));
      out += cell;
      out += x + 1 < bmp.Width() ? " " : "";
    }
    out += "\n";
  }
  return out;
}

}  // namespace

TEST_P(BitmapLocationTest, ResizeGrowPlacesThePixelsByAlignment) {
  // 2 x 2 to 4 x 4: the old pixels land at offset 0, 1 (half of 2) or 2.
  struct Case { int align; int offset; };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{2, 2}}) {
    auto bmp = Make(2, 2, ie8g, GetParam());
    Number(*bmp);
    bmp->Resize(4, 4, 0, 255, c.align, c.align);
    ASSERT_EQ(bmp->Width(), 4);
    ASSERT_EQ(bmp->Height(), 4);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 4; ++x) {
        const bool inside = x >= c.offset && x < c.offset + 2 && y >= c.offset && y < c.offset + 2;
        const int expected = inside ? 10 * (y - c.offset) + (x - c.offset) + 1 : 0;
        EXPECT_EQ(bmp->GetPixel8(x, y), expected) << "align " << c.align << " at " << x << "," << y;
      }
  }
}

TEST_F(BitmapTest, ResizeFourToEightCentresAndShrinkKeepsTheCentre) {
  TIEBitmap bmp(4, 4, ie8g);
  Number(bmp);
  bmp.Resize(8, 8, 0, 255, 1, 1);
  EXPECT_EQ(bmp.GetPixel8(2, 2), 1);
  EXPECT_EQ(bmp.GetPixel8(5, 5), 34);
  EXPECT_EQ(bmp.GetPixel8(1, 2), 0);
  EXPECT_EQ(bmp.GetPixel8(6, 5), 0);

  TIEBitmap big(8, 8, ie8g);
  Number(big);
  big.Resize(4, 4, 0, 255, 1, 1);
  EXPECT_EQ(Dump(big), "23 24 25 26\n33 34 35 36\n43 44 45 46\n53 54 55 56\n");

  TIEBitmap right(4, 1, ie8g);
  Number(right);
  right.Resize(2, 1, 0, 255, 2, 0);
  EXPECT_EQ(Dump(right), "03 04\n");
}

TEST_F(BitmapTest, ResizeFillsTheNewAlphaAreaAndColourBackground) {
  TIEBitmap bmp(2, 2, ie24RGB);
  bmp.Fill(clRed);
  bmp.GetAlphaChannel()->Fill(200);
  bmp.Resize(3, 3, clBlue, 0, 0, 0);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(255, 0, 0)));
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(2, 2), CreateRGB(0, 0, 255)));
  ASSERT_EQ(bmp.GetAlphaChannel()->Width(), 3);
  EXPECT_EQ(bmp.GetAlpha(1, 1), 200);
  EXPECT_EQ(bmp.GetAlpha(2, 0), 0);
  EXPECT_EQ(bmp.GetAlpha(0, 2), 0);
}

TEST_P(BitmapLocationTest, SetWidthAndHeightKeepTheTopLeftPixels) {
  auto bmp = Make(3, 3, ie8p, GetParam());
  Number(*bmp);
  bmp->SetPaletteColor(5, CreateRGB(9, 8, 7));
  bmp->SetWidth(5);
  bmp->SetHeight(2);  // the bottom row goes
  ASSERT_EQ(bmp->Width(), 5);
  ASSERT_EQ(bmp->Height(), 2);
  EXPECT_EQ(bmp->GetPixel8(2, 1), 13);
  EXPECT_EQ(bmp->GetPixel8(0, 0), 1);
  EXPECT_TRUE(SameRGB(bmp->GetPaletteColor(5), CreateRGB(9, 8, 7)));  // the palette survives

  bmp->SetWidth(2);
  EXPECT_EQ(Dump(*bmp), "01 02\n11 12\n");
}

TEST_F(BitmapTest, SetWidthOnAnEmptyBitmapOnlyStoresIt) {
  TIEBitmap bmp;
  bmp.SetWidth(7);
  EXPECT_EQ(bmp.Width(), 7);
  EXPECT_TRUE(bmp.IsEmpty());
}

TEST_F(BitmapTest, RowAlignmentRebuildsMemoryRowsOnly) {
  TIEBitmap bmp(3, 2, ie24RGB);
  bmp.SetPixel24(2, 1, CreateRGB(1, 2, 3));
  bmp.SetRowAlignment(8);
  EXPECT_EQ(bmp.RowAlignment(), 8);
  EXPECT_EQ(bmp.RowLen(), 9);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(2, 1), CreateRGB(1, 2, 3)));

  auto file = Make(3, 2, ie24RGB, ieFile);
  file->SetRowAlignment(8);
  EXPECT_EQ(file->RowLen(), 12);
  EXPECT_EQ(file->RowAlignment(), 32);

  TIEBitmap fresh;  // no rows yet: the alignment is simply stored
  fresh.SetRowAlignment(8);
  fresh.Allocate(3, 1, ie24RGB);
  EXPECT_EQ(fresh.RowLen(), 9);
}

TEST_F(BitmapTest, MoveRectHandlesOverlapAndClipping) {
  TIEBitmap bmp(4, 1, ie8g);
  Number(bmp);
  bmp.MoveRect(0, 0, 2, 0, 1, 0, 0, true);  // overlapping right shift
  EXPECT_EQ(Dump(bmp), "00 01 02 03\n");
  bmp.MoveRect(1, 0, 3, 0, 2, 0, 0, false);  // runs past the right edge: clipped
  EXPECT_EQ(Dump(bmp), "00 01 01 02\n");
  bmp.MoveRect(-2, 0, 1, 0, 0, 0, 0, false);  // source starts left of the image
  EXPECT_EQ(Dump(bmp), "00 01 00 01\n");
}

TEST_F(BitmapTest, PaletteEntriesAndCopies) {
  TIEBitmap bmp(2, 2, ie8p);
  bmp.SetPaletteColor(255, CreateRGB(10, 20, 30));
  bmp.SetPaletteColor(256, CreateRGB(1, 1, 1));  // outside: ignored
  bmp.SetPaletteColor(-1, CreateRGB(1, 1, 1));
  EXPECT_TRUE(SameRGB(bmp.GetPaletteColor(255), CreateRGB(10, 20, 30)));
  EXPECT_TRUE(SameRGB(bmp.GetPaletteColor(256), CreateRGB(0, 0, 0)));
  bmp.SetPaletteUsed(16);

  TIEBitmap dest(2, 2, ie8p);
  bmp.CopyPaletteTo(&dest);
  EXPECT_EQ(dest.PaletteUsed(), 16);
  EXPECT_TRUE(SameRGB(dest.GetPaletteColor(255), CreateRGB(10, 20, 30)));

  TIEBitmap rgb(2, 2, ie24RGB);
  rgb.CopyPaletteTo(&dest);  // no palette to give: the destination's goes
  EXPECT_EQ(dest.GetPaletteLength(), 0);
  EXPECT_EQ(dest.PaletteUsed(), 256);
}

TEST_F(BitmapTest, AlphaChannelIsCreatedOpaqueOnFirstUse) {
  TIEBitmap bmp(3, 2, ie24RGB);
  EXPECT_FALSE(bmp.HasAlphaChannel());
  EXPECT_EQ(bmp.GetAlpha(2, 1), 255);
  ASSERT_TRUE(bmp.HasAlphaChannel());
  TIEBitmap* alpha = bmp.GetAlphaChannel();
  EXPECT_TRUE(alpha->IsAlphaChannel());
  EXPECT_TRUE(alpha->Full());
  EXPECT_EQ(alpha->PixelFormat(), ie8g);
  EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);  // an alpha channel has none of its own

  bmp.SetFull(true);
  bmp.SetAlpha(0, 0, 10);
  EXPECT_FALSE(alpha->Full());
  EXPECT_FALSE(bmp.Full());
  EXPECT_EQ(alpha->GetAlpha(0, 0), 10);  // an alpha channel reads its own byte

  // SetAlphaChannel swaps channels without freeing; the caller gets the old one back.
  std::unique_ptr<TIEBitmap> other = TIEBitmap::CreateAsAlphaChannel(3, 2, ieTBitmap);
  EXPECT_EQ(other->Location(), ieMemory);
  other->Fill(0);
  std::unique_ptr<TIEBitmap> old = bmp.SetAlphaChannel(std::move(other));
  EXPECT_EQ(old.get(), alpha);
  EXPECT_EQ(bmp.GetAlpha(0, 0), 0);
  bmp.SetAlphaChannel(std::move(old));
  EXPECT_EQ(bmp.GetAlpha(0, 0), 10);
}

TEST_F(BitmapTest, RemoveAlphaChannelMergesTowardsTheBackground) {
  TIEBitmap bmp(2, 1, ie24RGB);
  bmp.Fill(clBlack);
  bmp.SetAlpha(0, 0, 128);
  bmp.RemoveAlphaChannel(true, clWhite);
  EXPECT_FALSE(bmp.HasAlphaChannel());
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(127, 127, 127)));
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(1, 0), CreateRGB(0, 0, 0)));  // opaque pixel unchanged

  TIEBitmap white(1, 1, ie24RGB);
  white.Fill(clWhite);
  white.SetAlpha(0, 0, 0);
  white.RemoveAlphaChannel(true, clBlack);
  EXPECT_TRUE(SameRGB(white.GetPixel24(0, 0), CreateRGB(0, 0, 0)));

  TIEBitmap grey(1, 1, ie8g);  // other formats are not merged
  grey.Fill(100);
  grey.SetAlpha(0, 0, 0);
  grey.RemoveAlphaChannel(true, clWhite);
  EXPECT_EQ(grey.GetPixel8(0, 0), 100);
}

TEST_P(BitmapLocationTest, SyncAlpha32BothWaysAndSyncFull) {
  auto bmp = Make(3, 2, ie32RGB, GetParam());
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) bmp->Row<uint8_t>(y)[4 * x + 3] = 255;
  bmp->SyncAlpha32(true);
  EXPECT_TRUE(bmp->GetAlphaChannel()->Full());
  bmp->Row<uint8_t>(1)[4 * 2 + 3] = 40;
  bmp->SyncAlpha32(true);
  EXPECT_FALSE(bmp->GetAlphaChannel()->Full());
  EXPECT_EQ(bmp->GetAlpha(2, 1), 40);

  bmp->SetAlpha(0, 0, 7);
  bmp->SyncAlpha32(false);
  EXPECT_EQ(bmp->Row<uint8_t>(0)[3], 7);
  EXPECT_EQ(bmp->Row<uint8_t>(1)[4 * 2 + 3], 40);
}
