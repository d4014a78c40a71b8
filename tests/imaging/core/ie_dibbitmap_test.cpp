// TIEDibbitmap (rows of a DIB section with a DC to draw on) and TIEWorkBitmap (a plain row buffer).
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_work_bitmap.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/gdi.h"

TEST(TIEDibbitmap, RowsAreBottomUpAndDrawable) {
  TIEDibbitmap dib;
  EXPECT_EQ(dib.GetRow(0), nullptr);  // no DIB, no rows
  ASSERT_TRUE(dib.Allocate(5, 2, ie24RGB));
  EXPECT_EQ(dib.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(dib.RowLen(), 16);
  // Row 0 (the top) is the second row in memory.
  EXPECT_EQ(static_cast<uint8_t*>(dib.GetRow(0)), static_cast<uint8_t*>(dib.Bits()) + 16);
  EXPECT_EQ(dib.GetRow(1), dib.Bits());

  // GDI draws into the rows through the DC.
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  const TRect rect{0, 0, 5, 1};  // the top row
  FillRect(dib.DC(), &rect, brush);
  DeleteObject(brush);
  const uint8_t* top = static_cast<const uint8_t*>(dib.GetRow(0));
  EXPECT_EQ(top[0], 30);
  EXPECT_EQ(top[1], 20);
  EXPECT_EQ(top[2], 10);

  // Another format is refused and the DIB stays.
  EXPECT_FALSE(dib.Allocate(10, 10, ie8g));
  EXPECT_EQ(dib.Width(), 5);
  EXPECT_NE(dib.Bits(), nullptr);
}

TEST(TIEDibbitmap, FailedAllocationLeavesNoRows) {
  TIEDibbitmap dib;
  ASSERT_TRUE(dib.AllocateBits(4, 4, 1));
  EXPECT_EQ(dib.GetPixelFormat(), ie1g);
  EXPECT_FALSE(dib.AllocateBits(0, 4, 24));  // refused before anything changes
  EXPECT_EQ(dib.Width(), 4);
  // A DIB the drawing layer cannot make: nothing half made stays.
  EXPECT_FALSE(dib.AllocateBits(4, 4, 13));
  EXPECT_EQ(dib.Bits(), nullptr);
  EXPECT_EQ(dib.DC(), nullptr);
  EXPECT_EQ(dib.Width(), 0);
  EXPECT_EQ(dib.Height(), 0);
  EXPECT_EQ(dib.GetRow(0), nullptr);
}

TEST(TIEDibbitmap, AssignOnlyFromAnotherDibbitmap) {
  TIEDibbitmap a, b;
  ASSERT_TRUE(a.AllocateBits(3, 2, 24));
  std::memset(a.Bits(), 0x5A, a.RowLen() * 2);
  b.Assign(&a);
  ASSERT_EQ(b.Width(), 3);
  EXPECT_EQ(static_cast<uint8_t*>(b.GetRow(1))[8], 0x5A);

  TIEBitmap other(7, 7, ie24RGB);
  b.Assign(&other);  // ignored
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.GetPaletteLength(), 0);
  EXPECT_EQ(b.GetPaletteBuffer(), nullptr);
}

TEST(TIEDibbitmap, CopyToTBitmap) {
  TIEDibbitmap dib;
  ASSERT_TRUE(dib.AllocateBits(10, 2, 1));
  std::memset(dib.Bits(), 0, dib.RowLen() * 2);
  static_cast<uint8_t*>(dib.GetRow(1))[0] = 0x80;
  TBitmap bmp;
  dib.CopyToTBitmap(bmp);
  EXPECT_EQ(bmp.PixelFormat(), pf1bit);
  EXPECT_EQ(bmp.Width(), 10);
  EXPECT_EQ(bmp.ScanLine(1)[0], 0x80);
  EXPECT_EQ(bmp.ScanLine(0)[0], 0);
  EXPECT_EQ(bmp.Canvas()->Pixels(0, 1), clWhite);
}

TEST(TIEWorkBitmap, RowsAndReallocation) {
  TIEWorkBitmap work(3, 2, 24);
  ASSERT_NE(work.Bits(), nullptr);
  EXPECT_EQ(work.RowLen(), 12);
  EXPECT_EQ(work.GetRow(1), work.Bits());
  EXPECT_EQ(static_cast<uint8_t*>(work.GetRow(0)), static_cast<uint8_t*>(work.Bits()) + 12);
  static_cast<uint8_t*>(work.GetRow(0))[0] = 77;
  void* block = work.Bits();
  // The same arguments keep the block and its contents.
  EXPECT_TRUE(work.Allocate(3, 2, 24));
  EXPECT_EQ(work.Bits(), block);
  EXPECT_EQ(static_cast<uint8_t*>(work.GetRow(0))[0], 77);
  EXPECT_TRUE(work.Allocate(4, 2, 8));
  EXPECT_EQ(work.RowLen(), 4);
  EXPECT_FALSE(work.Allocate(0, 2, 8));
  EXPECT_EQ(work.Bits(), nullptr);
  EXPECT_EQ(work.GetRow(0), nullptr);

  TIEWorkBitmap empty;
  EXPECT_EQ(empty.Bits(), nullptr);
}
