#include "imaging/core/ie_bit_fields.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BitFields, ChannelsWidenByBitReplicationAndNarrowToTheirTopBits) {
  struct Case { uint32_t mask; uint32_t pixel; uint8_t want; };
  const Case cases[] = {
      {0x001F, 0x001F, 255},  // 5 bits: 31 = 11111 -> 11111111
      {0x001F, 0x0010, 132},  // 10000 -> 10000 100
      {0x001F, 0x0001, 8},    // 00001 -> 00001 000
      {0x07E0, 0x07E0, 255},  // 6 bits at shift 5
      {0x07E0, 0x0400, 130},  // 100000 -> 100000 10
      {0xF000, 0xF000, 255},  // 4 bits: v * 17
      {0xF000, 0x1000, 17},
      {0xF000, 0xA000, 170},
      {0x8000, 0x8000, 255},  // 1 bit: 0 or 255
      {0x8000, 0x7FFF, 0},
      {0x0003, 0x0002, 170},  // 2 bits: v * 85
      {0xE000, 0xA000, 182},  // 3 bits 101 -> 101 101 10
      {0x1FC0, 0x1FC0, 255},  // 7 bits: 1111111 -> 1111111 1
      {0x3FF00000, 0x3FF00000, 255},  // 10 bits keep their top 8: 1023 -> 255
      {0x3FF00000, 0x20000000, 128},  // 512 -> 128
      {0x3FF00000, 0x000FFFFF, 0},
      {0xFF000000, 0xAB000000, 0xAB},
      {0xFFFFFFFF, 0x12345678, 0x12},  // 32 bits
      {0x00FF00F0, 0x00FF00A0, 170},   // a mask with a gap: its first run, 4 bits at shift 4
      {0, 0xFFFFFFFF, 0},              // absent
  };
  for (const Case& c : cases) {
    const TIEBitField f(c.mask);
    EXPECT_EQ(f.Get8(c.pixel), c.want) << std::hex << c.mask << " " << c.pixel;
  }
  EXPECT_EQ(TIEBitField(0x07E0).Shift(), 5);
  EXPECT_EQ(TIEBitField(0x07E0).Width(), 6);
  EXPECT_FALSE(TIEBitField(0).Present());
}

TEST(BitFields, RowsUnpackWithMasksInAnyOrder) {
  // 16 bits, blue in the top bits and red at the bottom (5-5-5), alpha absent; then 4-4-4-4 with
  // alpha on top; then 32 bits 2-10-10-10 with alpha in the top two bits.
  const uint8_t row16[] = {0x1F, 0x00, 0x00, 0x7C};  // red 31; blue 31
  uint8_t bgr[6] = {};
  uint8_t alpha[2] = {};
  TIEBitFields(0x001F, 0x03E0, 0x7C00).UnpackRow(row16, 16, 2, bgr, alpha);
  EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 6), (std::vector<uint8_t>{0, 0, 255, 255, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(alpha, alpha + 2), (std::vector<uint8_t>{255, 255}));

  const uint8_t argb4444[] = {0x21, 0x43};  // a 4, r 3, g 2, b 1
  const TIEBitFields f4(0x0F00, 0x00F0, 0x000F, 0xF000);
  ASSERT_TRUE(f4.HasAlpha());
  f4.UnpackRow(argb4444, 16, 1, bgr, alpha);
  EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 3), (std::vector<uint8_t>{17, 34, 51}));
  EXPECT_EQ(alpha[0], 68);

  // a 2 (10 -> 170), r 1023, g 512, b 1: 10 1111111111 1000000000 0000000001.
  const uint32_t p = 2u << 30 | 1023u << 20 | 512u << 10 | 1u;
  const uint8_t row32[] = {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)};
  TIEBitFields(0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000).UnpackRow(row32, 32, 1, bgr, alpha);
  EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 3), (std::vector<uint8_t>{0, 128, 255}));
  EXPECT_EQ(alpha[0], 170);
}

}  // namespace
