#include "platform/gdi/drawdib.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/bitmap.h"

namespace {

// A 4 x 2 bottom-up 24-bit DIB: top row red, bottom row blue, with its pixels after the header.
std::vector<uint8_t> RedOverBlue() {
  std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 2 * 12);
  BITMAPINFOHEADER h;
  h.biWidth = 4;
  h.biHeight = 2;
  h.biBitCount = 24;
  std::memcpy(block.data(), &h, sizeof h);
  uint8_t* rows = block.data() + sizeof h;
  for (int x = 0; x < 4; ++x) {
    rows[3 * x] = 255;           // first stored row (the bottom one): blue
    rows[12 + 3 * x + 2] = 255;  // second stored row (the top one): red
  }
  return block;
}

TEST(DrawDib, DrawsUncompressedFramesStretched) {
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(40, 40);
  HDC dc = target.Canvas()->Handle();
  std::vector<uint8_t> dib = RedOverBlue();
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
  HDRAWDIB hdd = DrawDibOpen();
  ASSERT_NE(hdd, nullptr);
  // The whole frame, twice its size, the rows found after the header.
  ASSERT_TRUE(DrawDibDraw(hdd, dc, 0, 0, 8, 4, header, nullptr, 0, 0, 4, 2, 0));
  EXPECT_EQ(target.Canvas()->Pixels(3, 0), clRed);
  EXPECT_EQ(target.Canvas()->Pixels(3, 3), clBlue);
  // Source rows count from the top: row 1 of the frame is the blue one. -1 keeps the source size.
  ASSERT_TRUE(DrawDibDraw(hdd, dc, 20, 20, -1, -1, header, dib.data() + sizeof(BITMAPINFOHEADER), 0, 1, 4, 1,
                          DDF_HALFTONE));
  EXPECT_EQ(target.Canvas()->Pixels(21, 20), clBlue);
  EXPECT_EQ(target.Canvas()->Pixels(21, 21), clWhite);
  EXPECT_EQ(DrawDibRealize(hdd, dc, false), 0u);
  // Compressed frames and missing pieces are refused.
  header->biCompression = 1;
  EXPECT_FALSE(DrawDibDraw(hdd, dc, 0, 0, 8, 4, header, nullptr, 0, 0, 4, 2, 0));
  header->biCompression = 0;
  EXPECT_FALSE(DrawDibDraw(nullptr, dc, 0, 0, 8, 4, header, nullptr, 0, 0, 4, 2, 0));
  EXPECT_FALSE(DrawDibDraw(hdd, dc, 0, 0, 0, 4, header, nullptr, 0, 0, 4, 2, 0));
  EXPECT_TRUE(DrawDibClose(hdd));
  EXPECT_FALSE(DrawDibClose(nullptr));
}

}  // namespace
