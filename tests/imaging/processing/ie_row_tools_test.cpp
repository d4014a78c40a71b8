#include "imaging/processing/ie_row_tools.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_progress.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/gdi/bitmap.h"

namespace {

TEST(RowTools, Swaps) {
  const uint8_t src[6] = {1, 2, 3, 4, 5, 6};
  uint8_t dst[6];
  CopySwapRB(dst, src, 2);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
  SwapRB(dst, 2);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  SwapRBPixels(dst, 99, 1);
  EXPECT_EQ(dst[0], 3);
  uint16_t wide[6] = {10, 20, 30, 40, 50, 60};
  EXPECT_EQ(SwapRB48(wide, 2), wide + 6);
  EXPECT_EQ(std::vector<uint16_t>(wide, wide + 6), (std::vector<uint16_t>{30, 20, 10, 60, 50, 40}));
  uint8_t row[2] = {0, 0};
  SetPixelBit(row, 9, true);
  EXPECT_NE(GetPixelBit(row, 9), 0);
  EXPECT_EQ(row[1], 0x40);
  SetPixelBit(row, 9, false);
  EXPECT_EQ(GetPixelBit(row, 9), 0);
}

TEST(RowTools, RedBlueSwapsOfRowsOfAnyLength) {
  for (const int32_t count : {3, 16, 17, 40}) {
    SCOPED_TRACE(count);
    std::vector<uint8_t> src(3 * static_cast<size_t>(count));
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 13 + 5);
    std::vector<uint8_t> copy(src.size() + 1, 0xEE), inPlace(src);
    CopySwapRB(copy.data(), src.data(), count);
    SwapRB(inPlace.data(), count);
    for (int32_t x = 0; x < count; ++x)
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(copy[3 * x + c], src[3 * x + 2 - c]) << x;
        EXPECT_EQ(inPlace[3 * x + c], src[3 * x + 2 - c]) << x;
      }
    EXPECT_EQ(copy.back(), 0xEE);
  }
}

TEST(RowTools, BigEndian48BitRowsToTheirHighBytes) {
  for (const int32_t count : {1, 15, 16, 17, 32, 33, 50}) {
    SCOPED_TRACE(count);
    std::vector<uint8_t> src(6 * static_cast<size_t>(count));
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint8_t> dst(3 * static_cast<size_t>(count) + 1, 0xEE);
    BigEndianRGB48ToBGR24(src.data(), dst.data(), count);
    for (int32_t x = 0; x < count; ++x) {
      EXPECT_EQ(dst[3 * x], src[6 * x + 4]) << x;      // blue
      EXPECT_EQ(dst[3 * x + 1], src[6 * x + 2]) << x;  // green
      EXPECT_EQ(dst[3 * x + 2], src[6 * x]) << x;      // red
    }
    EXPECT_EQ(dst.back(), 0xEE);
  }
}

TEST(RowTools, AlphaAddedToRowsAndTurnedIntoTransparencyBits) {
  // Widths around the 16-value blocks and the last pixel taken on its own.
  for (const int32_t count : {1, 2, 7, 8, 15, 16, 17, 33}) {
    SCOPED_TRACE(count);
    std::vector<uint8_t> src(3 * static_cast<size_t>(count)), alpha(static_cast<size_t>(count));
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + 1);
    for (int32_t x = 0; x < count; ++x) alpha[x] = x % 3 == 0 ? 255 : static_cast<uint8_t>(x * 5);
    std::vector<uint8_t> dst(4 * static_cast<size_t>(count) + 1, 0xEE), opaque(dst);
    AddAlphaToRow(src.data(), alpha.data(), dst.data(), count);
    AddAlphaToRow(src.data(), nullptr, opaque.data(), count);
    std::vector<uint8_t> bits((count + 7) / 8 + 1, 0xEE);
    AlphaToTransparencyBits(alpha.data(), bits.data(), count);
    for (int32_t x = 0; x < count; ++x) {
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(dst[4 * x + c], src[3 * x + c]) << x;
        EXPECT_EQ(opaque[4 * x + c], src[3 * x + c]) << x;
      }
      EXPECT_EQ(dst[4 * x + 3], alpha[x]) << x;
      EXPECT_EQ(opaque[4 * x + 3], 255) << x;
      EXPECT_EQ(GetRowBit(bits.data(), x) != 0, alpha[x] != 255) << x;
    }
    EXPECT_EQ(dst.back(), 0xEE);  // nothing past the pixels
    if (count % 8) {
      EXPECT_EQ(bits[count / 8] & (0xFF >> (count % 8)), 0);  // bits past Count clear
    }
    EXPECT_EQ(bits.back(), 0xEE);
  }
}

TEST(RowTools, OneBitExpansion) {
  // The table is complete before any start-up: entry 0x81 is white, six blacks, white.
  static_assert(OneBitExpansionTable[0x81][0] == 255 && OneBitExpansionTable[0x81][3] == 0 &&
                OneBitExpansionTable[0x81][23] == 255);
  const uint8_t src[2] = {0xA5, 0xC0};
  std::vector<uint8_t> dst(3 * 11 + 3, 7);
  Expand1BitRowTo24(src, dst.data(), 11);
  const int bits[11] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0};
  for (int x = 0; x < 11; ++x)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(dst[3 * x + c], bits[x] ? 255 : 0) << x;
  EXPECT_EQ(dst[33], 7);  // nothing past the pixels

  TBitmap mono;
  mono.SetPixelFormat(pf1bit);
  mono.SetSize(10, 3);
  mono.ScanLine(1)[0] = 0x80;
  mono.ScanLine(2)[1] = 0x40;
  TBitmap out;
  std::vector<int> reports;
  TIEProgressRecord progress;
  progress.OnProgress = [&](TObject*, int32_t per) { reports.push_back(per); };
  ConvertTBitmap1BitTo24(mono, out, progress);
  EXPECT_EQ(out.PixelFormat(), pf24bit);
  EXPECT_EQ(out.Width(), 10);
  EXPECT_EQ(out.Canvas()->Pixels(0, 1), clWhite);
  EXPECT_EQ(out.Canvas()->Pixels(9, 2), clWhite);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clBlack);
  // Trunc(r * 100 / 3.5): 28, 57, 85.
  EXPECT_EQ(reports, (std::vector<int>{28, 57, 85}));
  // A table in other colours gives its colours.
  RGBQUAD table[2] = {{0, 0, 255, 0}, {255, 0, 0, 0}};  // red, blue
  mono.SetColorTable(table, 2);
  ConvertTBitmap1BitTo24(mono, out, progress);
  EXPECT_EQ(out.Canvas()->Pixels(0, 1), clBlue);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clRed);
}

TEST(RowTools, ConvertRowBitDepthPairs) {
  const TIERGB palette[3] = {CreateRGB(1, 2, 3), CreateRGB(4, 5, 6), CreateRGB(7, 8, 9)};
  auto rgb = [](std::initializer_list<TIERGB> c) {
    std::vector<uint8_t> v;
    for (TIERGB p : c) v.insert(v.end(), {p.b, p.g, p.r});
    return v;
  };
  const TIERGB k = CreateRGB(0, 0, 0), a = palette[0], b = palette[1], c = palette[2];
  struct Case {
    int from, to, count;
    std::vector<uint8_t> src, dst;
    int length;
  } cases[] = {
      {8, 1, 3, {1, 0, 1}, {0xA0}, 1},
      {8, 1, 9, {1, 1, 1, 1, 1, 1, 1, 1, 1}, {0xFF, 0x80}, 2},
      {1, 1, 9, {0xAB, 0xC0}, {0xAB, 0xC0}, 2},
      {1, 4, 3, {0xA0}, {0x10, 0x10}, 2},
      {1, 8, 3, {0xA0}, {1, 0, 1}, 3},
      {1, 24, 2, {0x40}, rgb({a, b}), 6},
      {4, 4, 3, {0x12, 0x30}, {0x12, 0x30}, 2},
      {4, 8, 3, {0x12, 0x30}, {1, 2, 3}, 3},
      {4, 24, 3, {0x12, 0xF0}, rgb({b, c, k}), 9},  // 15 is past the palette: black
      {8, 8, 2, {5, 6}, {5, 6}, 2},
      {8, 24, 2, {2, 200}, rgb({c, k}), 6},
      {24, 24, 1, {1, 2, 3}, {1, 2, 3}, 3},
      {32, 24, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 5, 6, 7}, 6},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(testing::Message() << t.from << " -> " << t.to);
    std::vector<uint8_t> dst(t.dst.size(), 0xEE);  // not cleared by the caller
    EXPECT_EQ(ConvertRowBitDepth(t.src.data(), dst.data(), t.from, t.to, t.count, palette, 3, nullptr), t.length);
    EXPECT_EQ(dst, t.dst);
  }
  // Pairs without a rule leave the destination alone; 16 bits has no length.
  uint8_t keep[4] = {9, 9, 9, 9};
  const uint8_t src[4] = {1, 2, 3, 4};
  EXPECT_EQ(ConvertRowBitDepth(src, keep, 24, 1, 1, palette, 3, nullptr), 1);
  EXPECT_EQ(keep[0], 9);
  EXPECT_EQ(ConvertRowBitDepth(src, keep, 8, 16, 2, palette, 3, nullptr), 0);
  EXPECT_EQ(keep[0], 9);
}

TEST(RowTools, ConvertRowBitDepthThroughAQuantizer) {
  // A two-colour picture: the quantizer's palette holds black and white.
  TIEBitmap picture(4, 1, ie24RGB);
  picture.SetPixel24(0, 0, CreateRGB(0, 0, 0));
  picture.SetPixel24(1, 0, CreateRGB(255, 255, 255));
  picture.SetPixel24(2, 0, CreateRGB(0, 0, 0));
  picture.SetPixel24(3, 0, CreateRGB(255, 255, 255));
  TIERGB quantized[2];
  TIEQuantizer q(picture, quantized, 0, 2);
  const uint8_t row[9] = {0, 0, 0, 255, 255, 255, 250, 250, 250};
  const int white = q.RGBIndex(CreateRGB(255, 255, 255)), black = q.RGBIndex(CreateRGB(0, 0, 0));
  ASSERT_NE(white, black);
  uint8_t idx[3];
  EXPECT_EQ(ConvertRowBitDepth(row, idx, 24, 8, 3, nullptr, 0, &q), 3);
  EXPECT_EQ(idx[0], black);
  EXPECT_EQ(idx[1], white);
  EXPECT_EQ(idx[2], white);
  uint8_t nib[2] = {0xFF, 0xFF};  // cleared first
  EXPECT_EQ(ConvertRowBitDepth(row, nib, 24, 4, 3, nullptr, 0, &q), 2);
  EXPECT_EQ(nib[0], black << 4 | white);
  EXPECT_EQ(nib[1], white << 4);
}

}  // namespace
