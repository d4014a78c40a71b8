#include "imaging/core/ie_bits.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_hash.h"
#include "imaging/core/ie_power.h"
#include "imaging/core/ie_stream_write.h"
#include "platform/system/streams.h"

TEST(RowLength, Cases) {
  struct Row { int32_t w, bits, align, expected; };
  const Row rows[] = {{1, 1, 32, 4},   {33, 1, 32, 8},  {3, 24, 32, 12}, {10, 8, 8, 10}, {0, 24, 32, 0},
                      {1, 48, 32, 8},  {3, 24, 8, 9},   {3, 24, 16, 10}, {5, 1, 8, 1},   {9, 1, 8, 2},
                      {-1, 24, 32, -1}, {1, 24, 0, -1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.w << "x" << r.bits << " align " << r.align);
    EXPECT_EQ(RowLength(r.w, r.bits, r.align), r.expected);
  }
}

TEST(RowLength, HugeWidthsNeverWrapIntoShortRows) {
  // 0x7FFFFFFF * 24 bits wraps to a small number in 32-bit arithmetic.
  EXPECT_EQ(RowLength(0x7FFFFFFF, 24, 32), -1);
  EXPECT_EQ(RowLength64(0x7FFFFFFF, 24, 32), (int64_t{0x7FFFFFFF} * 24 + 31) / 32 * 4);
  EXPECT_EQ(RowLength(0x2AAAAAAB, 48, 32), -1);
  EXPECT_EQ(RowLength(178956970, 96, 32), -1);
  // The largest widths that still fit are exact.
  EXPECT_EQ(RowLength(536870911, 32, 32), 2147483644);
  EXPECT_EQ(ImageDataSize(60000, 60000, 48, 32), int64_t{360000} * 60000);
  EXPECT_EQ(ImageDataSize(10, -1, 8, 32), -1);
  EXPECT_EQ(ImageDataSize(0x7FFFFFFF, 2, 24, 32), -1);
}

TEST(FrameworkPixelFormats, BitCountsAndEngineFormats) {
  EXPECT_EQ(PixelFormatBitCount(pf1bit), 1);
  EXPECT_EQ(PixelFormatBitCount(pf15bit), 15);
  EXPECT_EQ(PixelFormatBitCount(pf32bit), 32);
  EXPECT_EQ(PixelFormatBitCount(pfDevice), 0);
  EXPECT_EQ(PixelFormatBitCount(pfCustom), 0);
  EXPECT_EQ(RowLengthForTPixelFormat(3, pf15bit), 8);
  EXPECT_EQ(TPixelFormatToIE(pf1bit), ie1g);
  EXPECT_EQ(TPixelFormatToIE(pf4bit), ie8p);
  EXPECT_EQ(TPixelFormatToIE(pf8bit), ie8p);
  EXPECT_EQ(TPixelFormatToIE(pf16bit), ie24RGB);
  EXPECT_EQ(TPixelFormatToIE(pfDevice), ie24RGB);
}

TEST(RowBits, WeightsAndSetClear) {
  uint8_t row[2] = {0x80, 0x00};
  EXPECT_EQ(GetRowBit(row, 0), 128);
  EXPECT_EQ(GetRowBit(row, 1), 0);
  SetRowBit(row, 15, 255);
  EXPECT_EQ(row[1], 0x01);
  EXPECT_EQ(GetRowBit(row, 15), 1);
  SetRowBit(row, 0, 0);
  EXPECT_EQ(row[0], 0x00);
  SetRowBit(row, 9, 1);
  EXPECT_EQ(row[1], 0x41);
}

TEST(ByteOrder, ReversalAndSwaps) {
  uint8_t b = 0x01;
  ReverseByteBits(b);
  EXPECT_EQ(b, 0x80);
  EXPECT_EQ(IEBitReverseTable[0xF0], 0x0F);
  EXPECT_EQ(IEBitReverseTable[0x12], 0x48);
  uint32_t d = 1;
  ReverseDWordBits(d);
  EXPECT_EQ(d, 0x80000000u);
  d = 0x12345678;
  ReverseDWordBits(d);
  EXPECT_EQ(d, 0x1E6A2C48u);
  EXPECT_EQ(SwapWord(0xAABB1234u), 0xAABB3412u);
  EXPECT_EQ(SwapDWord(0x12345678u), 0x78563412u);
  uint16_t words[3] = {0x0102, 0x0304, 0x0506};
  EXPECT_EQ(SwapWordArray(words, 2), static_cast<void*>(words + 2));
  EXPECT_EQ(words[0], 0x0201);
  EXPECT_EQ(words[1], 0x0403);
  EXPECT_EQ(words[2], 0x0506);
  EXPECT_EQ(SwapWordArray(words, 0), static_cast<void*>(words));
  EXPECT_EQ(words[0], 0x0201);
}

TEST(BitFields, WidthAndCeilLog2) {
  EXPECT_EQ(BitFieldWidth(0xF800), 5);
  EXPECT_EQ(BitFieldWidth(0x07E0), 6);
  EXPECT_EQ(BitFieldWidth(0), 0);
  EXPECT_EQ(BitFieldWidth(0xFFFFFFFF), 32);
  EXPECT_EQ(BitFieldWidth(0x80000000), 1);
  EXPECT_EQ(BitFieldWidth(0x00FF00F0), 4);  // the first run only
  struct Row { int32_t n, expected; };
  for (const Row& r : {Row{0, -1}, Row{1, 0}, Row{2, 1}, Row{3, 2}, Row{5, 3}, Row{256, 8}, Row{257, 9}})
    EXPECT_EQ(CeilLog2(r.n), r.expected) << r.n;
}

TEST(Powers, Cases) {
  EXPECT_EQ(RaiseToPowerDouble(0, -1), 0.0L);
  EXPECT_EQ(RaiseToPowerDouble(2, 3), 8.0L);
  EXPECT_EQ(RaiseToPowerDouble(2, -2), 0.25L);
  EXPECT_EQ(RaiseToPowerDouble(5, 0), 1.0L);
  EXPECT_NEAR(static_cast<double>(RaiseToPowerDouble(8, 1.0 / 3.0)), 2.0, 1e-12);
  EXPECT_NEAR(static_cast<double>(RaiseToPowerDouble(0.5, 2.4)), std::pow(0.5, 2.4), 1e-12);
  EXPECT_EQ(RaiseToPower(0, 0), 1.0L);
  EXPECT_EQ(RaiseToPower(0, 2.5), 0.0L);
  EXPECT_EQ(RaiseToPower(3, 4), 81.0L);
  EXPECT_NEAR(static_cast<double>(RaiseToPower(2, 0.5)), std::sqrt(2.0), 1e-12);
  EXPECT_EQ(RaiseToIntPower(10, 2), 1024.0L);
  EXPECT_EQ(RaiseToIntPower(-1, 4), 0.25L);
  EXPECT_EQ(RaiseToIntPower(0, 7), 1.0L);
}

TEST(Hash1, DuplicatesAndChains) {
  THash1 hash(4);
  EXPECT_EQ(hash.SlotCount(), 16);
  EXPECT_TRUE(hash.Insert(0x25));
  EXPECT_FALSE(hash.Insert(0x25));
  EXPECT_EQ(hash.Count(), 1);
  EXPECT_EQ(hash.SlotState(5), 1u);

  // 0x35 and 0x45 share the low four bits: the slot chains in insertion order.
  int32_t slot = -1;
  THash1Item* item = nullptr;
  EXPECT_TRUE(hash.InsertItem(0x35, slot, item));
  EXPECT_EQ(slot, 5);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Value, 0x35u);
  EXPECT_TRUE(hash.Insert(0x45));
  EXPECT_FALSE(hash.Insert(0x35));
  EXPECT_EQ(hash.SlotState(5), 2u);
  const THash1Item* chain = hash.SlotChain(5);
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(chain->Value, 0x25u);
  ASSERT_NE(chain->Next, nullptr);
  EXPECT_EQ(chain->Next->Value, 0x35u);
  ASSERT_NE(chain->Next->Next, nullptr);
  EXPECT_EQ(chain->Next->Next->Value, 0x45u);
  EXPECT_EQ(chain->Next->Next->Next, nullptr);
  EXPECT_EQ(hash.Count(), 3);

  // A direct slot reports no new item.
  EXPECT_TRUE(hash.InsertItem(0x07, slot, item));
  EXPECT_EQ(item, nullptr);
}

namespace {
// Accepts at most `budget` bytes in all, then writes only part of a block.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(int32_t budget) : budget_(budget) {}
  int32_t Write(const void* buffer, int32_t count) override {
    const int32_t n = std::min(count, budget_);
    budget_ -= n;
    return TMemoryStream::Write(buffer, n);
  }
  int32_t budget_;
};
}  // namespace

TEST(SafeStreamWrite, FailedStaysSet) {
  ShortStream stream(6);
  bool failed = false;
  const char data[4] = {1, 2, 3, 4};
  SafeStreamWrite(stream, failed, data, 4);
  EXPECT_FALSE(failed);
  SafeStreamWrite(stream, failed, data, 4);  // only 2 of 4 fit
  EXPECT_TRUE(failed);
  stream.budget_ = 100;
  SafeStreamWrite(stream, failed, data, 4);
  EXPECT_TRUE(failed);
  EXPECT_EQ(stream.Size(), 10);
}

TEST(RowBitRuns, CopyMatchesBitByBitAtEveryAlignment) {
  // A 6-byte source with a pattern that shows shifts; destinations start all set so that bits
  // around the run must survive.
  const uint8_t src[6] = {0xA5, 0x3C, 0xF0, 0x0F, 0x81, 0x7E};
  for (int32_t sx = 0; sx < 9; ++sx)
    for (int32_t dx = 0; dx < 9; ++dx)
      for (int32_t count : {0, 1, 7, 8, 9, 17, 30}) {
        uint8_t got[6], want[6];
        std::memset(got, 0xFF, 6);
        std::memset(want, 0xFF, 6);
        CopyRowBits(src, sx, got, dx, count);
        for (int32_t i = 0; i < count; ++i) SetRowBit(want, dx + i, GetRowBit(src, sx + i));
        ASSERT_EQ(0, std::memcmp(got, want, 6)) << "sx " << sx << " dx " << dx << " count " << count;
      }
}

TEST(RowBitRuns, FillKeepsTheBitsAround) {
  uint8_t row[3] = {0, 0, 0};
  FillRowBits(row, 3, 15, true);  // bits 3..17
  EXPECT_EQ(row[0], 0x1F);
  EXPECT_EQ(row[1], 0xFF);
  EXPECT_EQ(row[2], 0xC0);
  FillRowBits(row, 5, 2, false);
  EXPECT_EQ(row[0], 0x19);
  FillRowBits(row, 0, 0, false);  // an empty run writes nothing
  EXPECT_EQ(row[0], 0x19);
}
