#include "imaging/io/codecs/tiff_lzw.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "platform/system/streams.h"

namespace {

std::vector<uint8_t> TestData(size_t count, uint32_t seed, int32_t alphabet) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(count);
  for (auto& b : v) b = static_cast<uint8_t>(rng() % static_cast<uint32_t>(alphabet));
  return v;
}

// Codes the data as one strip, handing it to the coder in chunks of ChunkSize bytes.
std::vector<uint8_t> EncodeStrip(const std::vector<uint8_t>& data, size_t chunk) {
  TMemoryStream s;
  void* state = nullptr;
  for (size_t i = 0; i < data.size(); i += chunk)
    TIFFLZWEncode(data.data() + i, static_cast<int32_t>(std::min(chunk, data.size() - i)), s, state);
  if (data.empty()) TIFFLZWEncode(data.data(), 0, s, state);
  TIFFLZWEncode(nullptr, 0, s, state);
  EXPECT_EQ(state, nullptr);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

// Decodes Rows rows of RowSize bytes; stops at the first nil.
std::vector<uint8_t> DecodeStrip(const std::vector<uint8_t>& strip, int32_t rowSize, int32_t rows,
                                 int32_t fillOrder = 1, bool* failed = nullptr) {
  std::vector<uint8_t> out;
  void* state = nullptr;
  if (failed) *failed = false;
  for (int32_t r = 0; r < rows; ++r) {
    const uint8_t* row =
        TIFFLZWDecode(strip.data(), static_cast<int32_t>(strip.size()), rowSize, state, fillOrder);
    if (row == nullptr) {
      if (failed) *failed = true;
      break;
    }
    out.insert(out.end(), row, row + rowSize);
  }
  TIFFLZWDecode(nullptr, 0, 0, state, fillOrder);
  EXPECT_EQ(state, nullptr);
  return out;
}

// Reads the codes of a strip MSB first, following the decoder's width rules, and records the
// number of table entries at each clear code after the first.
std::vector<int32_t> EntriesAtClearCodes(const std::vector<uint8_t>& strip, std::vector<int32_t>* widthsAfter) {
  std::vector<int32_t> result;
  int64_t bit = 0;
  int32_t width = 9, entries = 258;
  bool afterClear = false, first = true;
  const int64_t total = static_cast<int64_t>(strip.size()) * 8;
  while (bit + width <= total) {
    int32_t code = 0;
    for (int32_t i = 0; i < width; ++i, ++bit) code = code << 1 | ((strip[bit >> 3] >> (7 - (bit & 7))) & 1);
    if (code == 257) break;
    if (code == 256) {
      if (!first) result.push_back(entries);
      first = false;
      entries = 258;
      width = 9;
      afterClear = true;
      continue;
    }
    if (afterClear && widthsAfter && !result.empty() && widthsAfter->size() < result.size())
      widthsAfter->push_back(width);
    if (!afterClear) {
      ++entries;
      if (entries == 511) width = 10;
      if (entries == 1023) width = 11;
      if (entries == 2047) width = 12;
    }
    afterClear = false;
  }
  return result;
}

TEST(TIFFLZW, RoundTripsRowByRowWhateverTheChunking) {
  struct Case { int32_t rowSize, rows; int32_t alphabet; size_t chunk; };
  const Case cases[] = {{1, 1, 256, 1}, {13, 7, 2, 13}, {300, 40, 256, 300},
                        {1000, 120, 256, 777}, {96, 50, 5, 4800}, {4, 2000, 3, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rowSize << "x" << c.rows << " chunk " << c.chunk);
    const auto data = TestData(static_cast<size_t>(c.rowSize) * c.rows, c.rowSize * 7u + c.rows, c.alphabet);
    const auto strip = EncodeStrip(data, c.chunk);
    bool failed = false;
    EXPECT_EQ(DecodeStrip(strip, c.rowSize, c.rows, 1, &failed), data);
    EXPECT_FALSE(failed);
  }
}

// Long strings: the decoder copies each string from where it was decoded before, 16 bytes at a
// time when it lies far enough back and byte by byte when it overlaps itself (a run of one byte, a
// short period); rows end inside strings and clear codes fall inside rows.
TEST(TIFFLZW, LongRunsAndShortPeriodsRoundTrip) {
  struct Case { const char* name; int32_t period; size_t length; int32_t rowSize; };
  const Case cases[] = {{"one byte", 1, 200000, 997}, {"period 3", 3, 150000, 640},
                        {"period 15", 15, 150000, 1001}, {"period 16", 16, 150000, 333},
                        {"period 17", 17, 150000, 4096}, {"period 250", 250, 300000, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> data(c.length);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i % c.period) * 37 + (i / 50000));
    const auto strip = EncodeStrip(data, 4096);
    const int32_t rows = static_cast<int32_t>((data.size() + c.rowSize - 1) / c.rowSize);
    data.resize(static_cast<size_t>(rows) * c.rowSize, 0);  // the last row completed with zeros
    bool failed = false;
    EXPECT_EQ(DecodeStrip(strip, c.rowSize, rows, 1, &failed), data);
    EXPECT_FALSE(failed);
  }
}

TEST(TIFFLZW, StartsWithAClearCodeAndEndsWithTheEndCode) {
  const auto strip = EncodeStrip({7}, 1);
  // 256 (9 bits), 7 (9 bits), 257 (9 bits) = 27 bits, padded to 4 bytes.
  ASSERT_EQ(strip.size(), 4u);
  EXPECT_EQ(strip[0], 0x80);  // 1 0000 0000 ...
  EXPECT_EQ((strip[1] & 0x7F) << 2 | strip[2] >> 6, 7);
}

TEST(TIFFLZW, FillOrderTwoReadsBitReversedBytes) {
  const auto data = TestData(64 * 30, 5, 256);
  const auto strip = EncodeStrip(data, 64);
  std::vector<uint8_t> reversed(strip);
  for (auto& b : reversed) ReverseByteBits(b);
  EXPECT_EQ(DecodeStrip(reversed, 64, 30, 2), data);
  EXPECT_EQ(DecodeStrip(reversed, 64, 30, 2), DecodeStrip(strip, 64, 30, 1));
}

TEST(TIFFLZW, ClearsWhenTheTableHolds4094EntriesAndRestartsAtNineBits) {
  const auto data = TestData(60000, 9, 256);
  const auto strip = EncodeStrip(data, 60000);
  std::vector<int32_t> widths;
  const auto clears = EntriesAtClearCodes(strip, &widths);
  ASSERT_FALSE(clears.empty());
  for (int32_t e : clears) EXPECT_EQ(e, 4094);
  ASSERT_FALSE(widths.empty());
  EXPECT_EQ(widths[0], 9);
  EXPECT_EQ(DecodeStrip(strip, 600, 100), data);
}

TEST(TIFFLZW, AStripThatEndsEarlyGivesZeroFilledRows) {
  const auto data = TestData(50 * 20, 3, 256);
  auto strip = EncodeStrip(data, 50);
  strip.resize(strip.size() / 3);
  bool failed = false;
  const auto out = DecodeStrip(strip, 50, 20, 1, &failed);
  EXPECT_FALSE(failed);
  ASSERT_EQ(out.size(), data.size());
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 50, data.begin()));
  EXPECT_TRUE(std::all_of(out.end() - 50, out.end(), [](uint8_t b) { return b == 0; }));
}

TEST(TIFFLZW, HostileCodesGiveNil) {
  auto pack = [](std::initializer_list<int> codes) {
    std::vector<uint8_t> data;
    uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
      acc = acc << 9 | static_cast<uint32_t>(c);
      bits += 9;
      while (bits >= 8) { data.push_back(uint8_t(acc >> (bits - 8))); bits -= 8; }
    }
    if (bits) data.push_back(uint8_t(acc << (8 - bits)));
    return data;
  };
  bool failed = false;
  // After a clear, a code that is not in the table.
  DecodeStrip(pack({256, 300, 257}), 4, 1, 1, &failed);
  EXPECT_TRUE(failed);
  // The entry being defined may follow a string; a code beyond it ends the strip.
  EXPECT_EQ(DecodeStrip(pack({256, 65, 258, 257}), 3, 1, 1, &failed), (std::vector<uint8_t>{65, 65, 65}));
  EXPECT_FALSE(failed);
  EXPECT_EQ(DecodeStrip(pack({256, 65, 400, 66, 257}), 3, 1, 1, &failed), (std::vector<uint8_t>{65, 0, 0}));
  EXPECT_FALSE(failed);
  // Repeated clear codes are skipped; an empty strip gives a zero row.
  EXPECT_EQ(DecodeStrip(pack({256, 256, 66, 257}), 1, 1), (std::vector<uint8_t>{66}));
  EXPECT_EQ(DecodeStrip(std::vector<uint8_t>{0x80}, 2, 1), (std::vector<uint8_t>{0, 0}));
}

}  // namespace
