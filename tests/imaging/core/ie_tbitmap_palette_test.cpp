#include "imaging/core/ie_tbitmap_palette.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "platform/gdi/bitmap.h"

namespace {

TEST(TBitmapPalette, GreyTablesAndCopyingThemIntoAPalette) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(4, 4);
  EXPECT_FALSE(IsGrayPaletteTBitmap(&b));  // the halftone table of a new 8-bit bitmap
  SetGrayPaletteTBitmap(&b);
  EXPECT_TRUE(IsGrayPaletteTBitmap(&b));
  std::vector<RGBQUAD> table = b.ColorTable();
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(table[77].rgbGreen, 77);
  table[200].rgbRed = 1;
  b.SetColorTable(table.data(), 256);
  EXPECT_FALSE(IsGrayPaletteTBitmap(&b));

  TIEBitmap target(2, 2, ie8p);
  ReadPaletteFromTBitmap(&b, &target);
  EXPECT_EQ(target.GetPaletteColor(77), CreateRGB(77, 77, 77));
  EXPECT_EQ(target.GetPaletteColor(200), CreateRGB(1, 200, 200));
  // Other formats are left alone.
  TIEBitmap rgb(2, 2, ie24RGB);
  ReadPaletteFromTBitmap(&b, &rgb);
  TBitmap colour;
  colour.SetPixelFormat(pf24bit);
  colour.SetSize(2, 2);
  SetGrayPaletteTBitmap(&colour);
  EXPECT_TRUE(colour.ColorTable().empty());
}

}  // namespace
