// TIEBitmap: copies from framework bitmaps, DIB bitmaps and masks, into masks, of selections, and
// conversions in the ieTBitmap location (over the drawing layer's TBitmap).
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_exception.h"
#include "imaging/core/ie_mask.h"
#include "platform/gdi/bitmap.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

// A framework bitmap of the given depth and size, every byte of its rows zero.
std::unique_ptr<TBitmap> Framework(TPixelFormat format, int32_t w, int32_t h) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(format);
  bmp->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) std::memset(bmp->ScanLine(y), 0, bmp->RowBytes());
  return bmp;
}

std::vector<uint8_t> Rows(TBitmap& bmp) {
  std::vector<uint8_t> all;
  for (int32_t y = 0; y < bmp.Height(); ++y) all.insert(all.end(), bmp.ScanLine(y), bmp.ScanLine(y) + bmp.RowBytes());
  return all;
}

}  // namespace

TEST_P(BitmapLocationTest, CopyFromTBitmapPerDepth) {
  auto bmp = Make(1, 1, ie8g, GetParam());

  // 24 and 32 bits: rows copied.
  auto rgb = Framework(pf24bit, 3, 2);
  rgb->ScanLine(1)[6] = 10, rgb->ScanLine(1)[7] = 20, rgb->ScanLine(1)[8] = 30;
  bmp->Assign(*rgb);  // a framework bitmap assigned is copied
  ASSERT_EQ(bmp->PixelFormat(), ie24RGB);
  EXPECT_TRUE(SameRGB(bmp->GetPixel24(2, 1), CreateRGB(30, 20, 10)));
  auto rgba = Framework(pf32bit, 2, 1);
  std::memcpy(rgba->ScanLine(0), "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  bmp->CopyFromTBitmap(*rgba);
  ASSERT_EQ(bmp->PixelFormat(), ie32RGB);
  EXPECT_EQ(std::memcmp(bmp->GetRow(0), "\x01\x02\x03\x04\x05\x06\x07\x08", 8), 0);

  // 15 and 16 bits: channels widened by shifting.
  auto w15 = Framework(pf15bit, 1, 1);
  const uint16_t v15 = (31 << 10) | (16 << 5) | 1;
  std::memcpy(w15->ScanLine(0), &v15, 2);
  bmp->CopyFromTBitmap(*w15);
  ASSERT_EQ(bmp->PixelFormat(), ie24RGB);
  EXPECT_TRUE(SameRGB(bmp->GetPixel24(0, 0), CreateRGB(248, 128, 8)));
  auto w16 = Framework(pf16bit, 1, 1);
  const uint16_t v16 = (31 << 11) | (33 << 5) | 2;
  std::memcpy(w16->ScanLine(0), &v16, 2);
  bmp->CopyFromTBitmap(*w16);
  EXPECT_TRUE(SameRGB(bmp->GetPixel24(0, 0), CreateRGB(248, 132, 16)));
  EXPECT_EQ(w16->PixelFormat(), pf16bit);  // the caller's bitmap stays as it was

  // 4 bits: 16 palette entries, the high nibble the left pixel.
  auto nibbles = Framework(pf4bit, 3, 1);
  nibbles->ScanLine(0)[0] = 0x2F;
  nibbles->ScanLine(0)[1] = 0x70;
  bmp->CopyFromTBitmap(*nibbles);
  ASSERT_EQ(bmp->PixelFormat(), ie8p);
  EXPECT_EQ(bmp->GetPixel8(0, 0), 2);
  EXPECT_EQ(bmp->GetPixel8(1, 0), 15);
  EXPECT_EQ(bmp->GetPixel8(2, 0), 7);
  const RGBQUAD entry2 = nibbles->ColorTable()[2];
  EXPECT_TRUE(SameRGB(bmp->GetPaletteColor(2), CreateRGB(entry2.rgbRed, entry2.rgbGreen, entry2.rgbBlue)));

  // 8 bits: the colour table and the rows.
  auto indexed = Framework(pf8bit, 2, 1);
  RGBQUAD table[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  indexed->SetColorTable(table, 3);
  indexed->ScanLine(0)[1] = 2;
  bmp->CopyFromTBitmap(*indexed);
  ASSERT_EQ(bmp->PixelFormat(), ie8p);
  EXPECT_EQ(bmp->GetPixel8(1, 0), 2);
  EXPECT_TRUE(SameRGB(bmp->GetPaletteColor(2), CreateRGB(9, 8, 7)));

  // 1 bit: black and white as ie1g; other colours as a two-entry palette.
  auto mono = Framework(pf1bit, 10, 1);
  mono->ScanLine(0)[0] = 0xA0;
  bmp->CopyFromTBitmap(*mono);
  ASSERT_EQ(bmp->PixelFormat(), ie1g);
  EXPECT_EQ(bmp->GetPixelRGB(0, 0).r, 255);
  EXPECT_EQ(bmp->GetPixelRGB(1, 0).r, 0);
  EXPECT_EQ(bmp->GetPixelRGB(2, 0).r, 255);
  RGBQUAD twoColours[2] = {{0, 0, 255, 0}, {0, 255, 0, 0}};
  mono->SetColorTable(twoColours, 2);
  bmp->CopyFromTBitmap(*mono);
  ASSERT_EQ(bmp->PixelFormat(), ie8p);
  EXPECT_EQ(bmp->GetPixel8(0, 0), 1);
  EXPECT_EQ(bmp->GetPixel8(1, 0), 0);
  EXPECT_TRUE(SameRGB(bmp->GetPaletteColor(0), CreateRGB(255, 0, 0)));
  EXPECT_FALSE(bmp->Full());
}

TEST_F(BitmapTest, CopyFromTBitmapReadsDeviceBitmapsThroughACopy) {
  TBitmap device;
  device.SetSize(4, 2);  // a device-dependent bitmap, white
  device.Canvas()->SetPixels(1, 1, clRed);
  ASSERT_EQ(device.PixelFormat(), pfDevice);
  TIEBitmap bmp;
  bmp.CopyFromTBitmap(device);
  ASSERT_EQ(bmp.PixelFormat(), ie24RGB);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(1, 1), CreateRGB(255, 0, 0)));
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(255, 255, 255)));
  EXPECT_EQ(device.PixelFormat(), pfDevice);
}

TEST_F(BitmapTest, CopyFromTBitmapIntoTheFrameworkLocation) {
  // A 16-bit picture: the caller's bitmap keeps its depth and bytes, ours holds the same pixels
  // as a memory copy would.
  auto w16 = Framework(pf16bit, 2, 1);
  const uint16_t v16 = (31 << 11) | (33 << 5) | 2;
  std::memcpy(w16->ScanLine(0), &v16, 2);
  const std::vector<uint8_t> before = Rows(*w16);
  TIEBitmap bmp(1, 1, ie24RGB);
  bmp.SetLocation(ieTBitmap);
  ASSERT_EQ(bmp.Location(), ieTBitmap);
  bmp.CopyFromTBitmap(*w16);
  EXPECT_EQ(bmp.Location(), ieTBitmap);
  ASSERT_EQ(bmp.PixelFormat(), ie24RGB);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(248, 132, 16)));
  EXPECT_EQ(w16->PixelFormat(), pf16bit);
  EXPECT_EQ(Rows(*w16), before);
}

TEST_F(BitmapTest, ConvertPixelFormatInTheFrameworkLocation) {
  // Every conversion converts the pixels; the formats a framework bitmap cannot hold raise and
  // leave the image as it was; ie16g becomes ie8g.
  TIEBitmap bmp(8, 8, ie24RGB);
  bmp.Fill(RGB(128, 128, 128));
  bmp.SetPixel24(0, 0, CreateRGB(30, 20, 10));
  bmp.SetLocation(ieTBitmap);
  bmp.ConvertPixelFormat(ie8g);
  ASSERT_EQ(bmp.Location(), ieTBitmap);
  ASSERT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.GetPixel8(0, 0), 21);
  EXPECT_EQ(bmp.GetPixel8(7, 7), 128);

  EXPECT_THROW(bmp.ConvertPixelFormat(ieCMYK), Exception);
  EXPECT_THROW(bmp.ConvertPixelFormat(ie32f), Exception);
  EXPECT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.GetPixel8(0, 0), 21);

  bmp.ConvertPixelFormat(ie16g);
  EXPECT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.GetPixel8(0, 0), 21);

  bmp.ConvertPixelFormat(ie24RGB);
  ASSERT_EQ(bmp.PixelFormat(), ie24RGB);
  EXPECT_TRUE(SameRGB(bmp.GetPixel24(0, 0), CreateRGB(21, 21, 21)));

  bmp.SetBWConversion(0);
  bmp.ConvertPixelFormat(ie1g);
  ASSERT_EQ(bmp.PixelFormat(), ie1g);
  EXPECT_EQ(bmp.FrameworkBitmap()->PixelFormat(), pf1bit);
  int white = 0;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) white += bmp.GetPixelRGB(x, y).r == 255;
  EXPECT_EQ(white, 32);  // grey 128 dithers to half white (the dark (0, 0) meets the matrix's 0: white)
}

TEST_F(BitmapTest, ConvertPixelFormatOfAWrappedBitmapKeepsTheCallersBitmap) {
  auto caller = Framework(pf24bit, 2, 1);
  caller->ScanLine(0)[3] = 255, caller->ScanLine(0)[4] = 255, caller->ScanLine(0)[5] = 255;
  TIEBitmap bmp;
  bmp.WrapTBitmap(caller.get(), true);
  ASSERT_EQ(bmp.PixelFormat(), ie24RGB);
  bmp.ConvertPixelFormat(ie8g);
  ASSERT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_EQ(bmp.FrameworkBitmap()->Bitmap(), caller.get());
  EXPECT_EQ(caller->PixelFormat(), pf8bit);
  EXPECT_EQ(caller->ScanLine(0)[1], 255);
  EXPECT_EQ(caller->ScanLine(0)[0], 0);
}

TEST_P(BitmapLocationTest, CopyFromTIEDibbitmap) {
  TIEDibbitmap dib;
  ASSERT_TRUE(dib.AllocateBits(3, 2, 24));
  std::memset(dib.GetRow(0), 0, dib.RowLen());
  std::memset(dib.GetRow(1), 0, dib.RowLen());
  static_cast<uint8_t*>(dib.GetRow(1))[8] = 99;  // red of (2, 1)
  auto bmp = Make(1, 1, ie8g, GetParam());
  bmp->CopyFromTIEDibbitmap(&dib);
  ASSERT_EQ(bmp->PixelFormat(), ie24RGB);
  EXPECT_EQ(bmp->GetPixel24(2, 1).r, 99);

  ASSERT_TRUE(dib.AllocateBits(9, 1, 8));
  std::memset(dib.GetRow(0), 7, dib.RowLen());
  bmp->CopyFromTIEDibbitmap(&dib);
  ASSERT_EQ(bmp->PixelFormat(), ie8g);
  EXPECT_EQ(bmp->GetPixel8(8, 0), 7);

  ASSERT_TRUE(dib.AllocateBits(9, 1, 1));
  std::memset(dib.GetRow(0), 0x80, dib.RowLen());
  bmp->CopyFromTIEDibbitmap(&dib);
  ASSERT_EQ(bmp->PixelFormat(), ie1g);
  EXPECT_EQ(bmp->GetPixelRGB(8, 0).r, 255);
  EXPECT_EQ(bmp->GetPixelRGB(7, 0).r, 0);

  // None, an empty DIB bitmap or a depth without a format: nothing.
  ASSERT_TRUE(dib.AllocateBits(2, 2, 32));
  bmp->CopyFromTIEDibbitmap(&dib);
  bmp->CopyFromTIEDibbitmap(nullptr);
  TIEDibbitmap empty;
  bmp->CopyFromTIEDibbitmap(&empty);
  EXPECT_EQ(bmp->PixelFormat(), ie1g);
  EXPECT_EQ(bmp->Width(), 9);
}

TEST_F(BitmapTest, MaskToBitmapAndBack) {
  TIEMask mask;
  mask.Allocate(10, 3, 1);
  mask.SetPixel(9, 2, 1);
  mask.SetPixel(0, 0, 1);
  TIEBitmap bmp;
  bmp.CopyFromMask(&mask);
  ASSERT_EQ(bmp.PixelFormat(), ie1g);
  EXPECT_EQ(bmp.GetPixelRGB(9, 2).r, 255);
  EXPECT_EQ(bmp.GetPixelRGB(8, 2).r, 0);
  EXPECT_FALSE(bmp.Full());

  TIEMask grey;
  grey.Allocate(4, 2, 8);
  grey.Fill(255);
  bmp.CopyFromMask(&grey);
  ASSERT_EQ(bmp.PixelFormat(), ie8g);
  EXPECT_TRUE(bmp.Full());
  EXPECT_EQ(bmp.GetPixel8(3, 1), 255);

  bmp.CopyFromMask(nullptr);  // none: everything selected
  EXPECT_EQ(bmp.GetPixel8(0, 0), 255);

  // Back into a mask: the box is that of the selected pixels.
  TIEBitmap bw(10, 3, ie1g);
  bw.Fill(0);
  bw.FillRect(2, 1, 4, 1, 1);
  TIEMask out;
  bw.CopyToMask(out);
  ASSERT_EQ(out.BitsPerPixel(), 1);
  EXPECT_TRUE(out.IsPointInside(3, 1));
  EXPECT_FALSE(out.IsPointInside(3, 0));
  EXPECT_EQ(out.X1(), 2);
  EXPECT_EQ(out.X2(), 4);
  EXPECT_EQ(out.Y1(), 1);
  EXPECT_EQ(out.Y2(), 1);

  // A true-colour image gives its grey levels: white is fully selected.
  TIEBitmap rgb(2, 1, ie24RGB);
  rgb.Fill(clWhite);
  rgb.SetPixel24(0, 0, CreateRGB(255, 0, 0));
  rgb.CopyToMask(out);
  ASSERT_EQ(out.BitsPerPixel(), 8);
  EXPECT_EQ(out.GetPixel(1, 0), 255);
  EXPECT_EQ(out.GetPixel(0, 0), 53);
  EXPECT_FALSE(out.Full());

  TIEBitmap other(2, 2, ie16g);  // other formats: nothing
  other.CopyToMask(out);
  EXPECT_EQ(out.Width(), 2);
  EXPECT_EQ(out.Height(), 1);
}

TEST_P(BitmapLocationTest, CopySelectionToTakesTheBox) {
  auto src = Make(6, 5, ie8p, GetParam());
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) src->SetPixel8(x, y, static_cast<uint8_t>(10 * y + x));
  src->SetPaletteColor(23, CreateRGB(1, 2, 3));
  TIEMask mask;
  mask.Allocate(6, 5, 1);
  mask.SetPixel(2, 1, 1);
  mask.SetPixel(4, 3, 1);
  TIEBitmap dest;
  src->CopySelectionTo(dest, mask);
  ASSERT_EQ(dest.Width(), 3);
  ASSERT_EQ(dest.Height(), 3);
  ASSERT_EQ(dest.PixelFormat(), ie8p);
  EXPECT_EQ(dest.GetPixel8(0, 0), 12);
  EXPECT_EQ(dest.GetPixel8(2, 2), 34);
  EXPECT_TRUE(SameRGB(dest.GetPaletteColor(23), CreateRGB(1, 2, 3)));
  EXPECT_EQ(dest.GetAlpha(0, 0), 255);
  EXPECT_EQ(dest.GetAlpha(1, 1), 0);  // inside the box, not selected

  TIEMask none;
  none.Allocate(6, 5, 1);
  TIEBitmap untouched(1, 1, ie8g);
  src->CopySelectionTo(untouched, none);
  EXPECT_EQ(untouched.Width(), 1);
}
