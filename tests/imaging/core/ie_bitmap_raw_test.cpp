#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_zlib.h"
#include "platform/system/streams.h"
#include "tests/support/byte_builder.h"

namespace {

using testsupport::ByteBuilder;

std::vector<uint8_t> Save(TIEBitmap& b) {
  TMemoryStream s;
  b.SaveRawToStream(s);
  auto* p = static_cast<uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

bool Load(TIEBitmap& b, const std::vector<uint8_t>& record) {
  return b.LoadRawFromBuffer(record.data(), static_cast<int64_t>(record.size()));
}

TEST(RawBitmapStream, OnePixelRecordIsByteExact) {
  TIEBitmap b(1, 1, ie24RGB);
  b.SetPixel24(0, 0, TIERGB{1, 2, 3});
  b.Row<uint8_t>(0)[3] = 0;  // the row's padding byte: a new bitmap's memory is not cleared
  ByteBuilder e;
  e.Raw("TIEBITMAPRAW").U32(0).U32(0);    // signature, version, no palette
  e.U32(1).U32(1).U8(ie24RGB).U8(0);      // width, height, format, Full
  e.U32(256).Zeros(16).Zeros(16);         // PaletteUsed, display range, channel offsets
  e.U8(0).U32(0).U32(32);                 // HasChannelOffsets, Contrast, RowAlignment
  e.U8(1).U8(2).U8(3).U8(0);              // the row: B, G, R and its padding
  e.U8(0);                                // no alpha
  const auto expected = e.Bytes();
  const auto record = Save(b);
  EXPECT_EQ(record.size(), 80u);
  EXPECT_EQ(b.RawStreamSize(), 80);
  EXPECT_EQ(record, expected);
  std::vector<uint8_t> buffer(80);
  b.SaveRawToBuffer(buffer.data());
  EXPECT_EQ(buffer, record);
}

TEST(RawBitmapStream, PaletteImageAndSettingsRoundTrip) {
  TIEBitmap b;
  b.SetRowAlignment(8);
  ASSERT_TRUE(b.Allocate(5, 3, ie8p));
  for (int i = 0; i < 256; ++i) b.SetPaletteColor(i, TIERGB{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.SetPixel8(x, y, static_cast<uint8_t>(y * 5 + x));
  b.SetPaletteUsed(77);
  b.SetDisplayRangeMin(1.5);
  b.SetDisplayRangeMax(200.25);
  b.SetChannelOffset(1, -20);
  b.SetContrast(12);
  const auto record = Save(b);
  EXPECT_EQ(static_cast<int64_t>(record.size()), b.RawStreamSize());
  EXPECT_EQ(record.size(), 3u * 256 + 5 * 3 + 76);

  TIEBitmap c(2, 2, ie24RGB);
  ASSERT_TRUE(Load(c, record));
  EXPECT_EQ(c.PixelFormat(), ie8p);
  EXPECT_EQ(c.Width(), 5);
  EXPECT_EQ(c.RowAlignment(), 8);
  EXPECT_EQ(c.RowLen(), 5);
  EXPECT_EQ(c.GetPixel8(4, 2), 14);
  EXPECT_EQ(c.GetPaletteColor(200).b, 200);
  EXPECT_EQ(c.GetPaletteColor(200).g, 55);
  EXPECT_EQ(c.PaletteUsed(), 77);
  EXPECT_EQ(c.DisplayRangeMax(), 200.25);
  EXPECT_EQ(c.ChannelOffset(1), -20);
  EXPECT_TRUE(c.HasChannelOffsets());
  EXPECT_EQ(c.Contrast(), 12);
}

TEST(RawBitmapStream, AlphaChannelEndingsAndVersions) {
  TIEBitmap b(3, 2, ie24RGB);
  b.Fill(0x123456);
  b.SetAlpha(1, 1, 40);
  auto record = Save(b);
  const int64_t alphaBytes = 4 * 2 + 1;
  EXPECT_EQ(static_cast<int64_t>(record.size()), 12 * 2 + 76 + alphaBytes);
  EXPECT_EQ(record[record.size() - alphaBytes - 1], 1);  // the alpha flag
  EXPECT_EQ(record.back(), 0);                            // its Full flag

  // Version 5 reads like version 0.
  record[12] = 5;
  TIEBitmap c;
  ASSERT_TRUE(Load(c, record));
  ASSERT_TRUE(c.HasAlphaChannel());
  EXPECT_EQ(c.GetAlpha(1, 1), 40);
  EXPECT_EQ(c.GetAlpha(0, 0), 255);
  EXPECT_EQ(c.GetPixel24(2, 1).r, 0x56);

  // A record without alpha ends with a single 0 and removes the reader's alpha channel.
  TIEBitmap plain(3, 2, ie8g);
  const auto noAlpha = Save(plain);
  EXPECT_EQ(noAlpha.back(), 0);
  ASSERT_TRUE(Load(c, noAlpha));
  EXPECT_FALSE(c.HasAlphaChannel());
  EXPECT_EQ(c.PixelFormat(), ie8g);

  // Through a compressed stream, as the layer streams store it.
  TMemoryStream packed;
  {
    TZCompressionStream z(packed, 2);
    b.SaveRawToStream(z);
  }
  packed.SetPosition(0);
  TZDecompressionStream z(packed);
  TIEBitmap d;
  ASSERT_TRUE(d.LoadRawFromStream(z));
  EXPECT_EQ(d.GetAlpha(1, 1), 40);
}

TEST(RawBitmapStream, BadHeadersLeaveTheBitmapUnchanged) {
  TIEBitmap source(4, 4, ie24RGB);
  source.Fill(0xFFFFFF);
  const auto good = Save(source);
  // Offsets in the record: version 12, palette count 16, width 20, height 24, format 28,
  // RowAlignment 71, rows 75.
  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    auto r = good;
    std::copy(bytes.begin(), bytes.end(), r.begin() + static_cast<long>(at));
    return r;
  };
  const struct { const char* name; std::vector<uint8_t> record; } cases[] = {
      {"signature", patched(0, {'X'})},
      {"negative version", patched(12, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"format out of range", patched(28, {11})},
      {"format far out of range", patched(28, {200})},
      {"no format", patched(28, {0})},
      {"palette count huge", patched(16, {0xFF, 0xFF, 0xFF, 0x7F})},
      {"palette count negative", patched(16, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"alignment 0", patched(71, {0, 0, 0, 0})},
      {"alignment 7", patched(71, {7, 0, 0, 0})},
      {"negative width", patched(20, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"more rows than data", patched(24, {0x00, 0x00, 0x10, 0x00})},
      {"huge width", patched(20, {0xFF, 0xFF, 0xFF, 0x7F})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap target(2, 3, ie8g);
    target.Fill(7);
    EXPECT_FALSE(Load(target, c.record));
    EXPECT_EQ(target.Width(), 2);
    EXPECT_EQ(target.PixelFormat(), ie8g);
    EXPECT_EQ(target.GetPixel8(1, 2), 7);
  }
  // A stream that ends inside the rows raises its read error.
  TIEBitmap target;
  std::vector<uint8_t> cut(good.begin(), good.end() - 20);
  TMemoryStream s;
  s.WriteBuffer(cut.data(), static_cast<int32_t>(cut.size()));
  s.SetPosition(0);
  EXPECT_FALSE(target.LoadRawFromStream(s));  // the size check sees the rows are missing
  TMemoryStream packed;
  {
    TZCompressionStream z(packed, 1);
    z.WriteBuffer(cut.data(), static_cast<int32_t>(cut.size()));
  }
  packed.SetPosition(0);
  TZDecompressionStream z(packed);
  EXPECT_THROW(target.LoadRawFromStream(z), EReadError);
}

TEST(RawBitmapStream, ACompressedRecordOfAHugeImageIsRefusedBeforeAllocating) {
  // 60000 x 60000 at 24 bits (10 GB) in a few hundred compressed bytes: deflate makes at most 1032
  // bytes of each one, so the rows cannot be there.
  ByteBuilder e;
  e.Raw("TIEBITMAPRAW").U32(0).U32(0);
  e.U32(60000).U32(60000).U8(ie24RGB).U8(0);
  e.U32(256).Zeros(16).Zeros(16);
  e.U8(0).U32(0).U32(32);
  e.Zeros(100000);  // a start of the rows
  const auto record = e.Bytes();
  TMemoryStream packed;
  {
    TZCompressionStream z(packed, 3);
    z.WriteBuffer(record.data(), static_cast<int32_t>(record.size()));
  }
  ASSERT_LT(packed.Size(), 1000);
  packed.SetPosition(0);
  TZDecompressionStream z(packed);
  TIEBitmap target(2, 2, ie8g);
  IEImageSizeGateLogForTesting(true);
  EXPECT_FALSE(target.LoadRawFromStream(z));
  const TIEImageSizeGateLog log = IEImageSizeGateLogForTesting(true);
  EXPECT_EQ(log.Refused, 1);
  EXPECT_EQ(log.LargestGrantedPixels, 0);
  EXPECT_EQ(target.Width(), 2);
}

TEST(RawBitmapStream, EmptyBitmapRoundTripsEmpty) {
  TIEBitmap empty;
  const auto record = Save(empty);
  TIEBitmap target(3, 3, ie8g);
  ASSERT_TRUE(Load(target, record));
  EXPECT_TRUE(target.IsEmpty());
}

}  // namespace

namespace {

TEST(RawBitmapStream, OtherRowAlignmentIsConvertedNotMisread) {
  // A record of 8-bit-aligned rows (9 bytes for 3 pixels) read into a bitmap held in a framework
  // bitmap, whose rows keep their own 32-bit padding (12 bytes).
  TIEBitmap source;
  source.SetRowAlignment(8);
  ASSERT_TRUE(source.Allocate(3, 4, ie24RGB));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) source.SetPixel24(x, y, TIERGB{uint8_t(10 * y + x), uint8_t(y), uint8_t(x)});
  const auto record = Save(source);
  TIEBitmap target(1, 1, ie24RGB);
  target.SetLocation(ieTBitmap);
  ASSERT_EQ(target.Location(), ieTBitmap);
  ASSERT_TRUE(Load(target, record));
  ASSERT_EQ(target.Location(), ieTBitmap);
  EXPECT_EQ(target.RowLen(), 12);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(target.GetPixel24(x, y).b, 10 * y + x);
      EXPECT_EQ(target.GetPixel24(x, y).r, x);
    }
}

}  // namespace
