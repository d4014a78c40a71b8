#include "imaging/io/codecs/gif_lzw.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/gif_code_blocks.h"

namespace {

std::vector<uint8_t> RandomIndices(int32_t count, int32_t bits, uint32_t seed, int32_t runs = 1) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(static_cast<size_t>(count));
  for (size_t i = 0; i < v.size();) {
    const uint8_t value = static_cast<uint8_t>(rng() & ((1u << bits) - 1));
    const int32_t run = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(runs));
    for (int32_t k = 0; k < run && i < v.size(); ++k) v[i++] = value;
  }
  return v;
}

// An independent LZW coder for GIF data (dictionary by map, LSB-first codes, sub-blocks), written
// plainly so that it cross-checks the engine's decoder. With DeferClear it never clears: once the
// table holds 4096 entries it keeps sending 12-bit codes, as the format allows.
std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& pixels, int32_t codeSize, bool deferClear) {
  const int32_t clear = 1 << codeSize;
  const int32_t end = clear + 1;
  std::vector<uint8_t> data;
  uint32_t acc = 0;
  int32_t bits = 0;
  int32_t width = codeSize + 1;
  auto put = [&](int32_t code) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  std::map<std::pair<int32_t, int32_t>, int32_t> dict;
  int32_t next = end + 1;
  put(clear);
  int32_t current = pixels.empty() ? -1 : pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const auto key = std::make_pair(current, static_cast<int32_t>(pixels[i]));
    auto it = dict.find(key);
    if (it != dict.end()) {
      current = it->second;
      continue;
    }
    put(current);
    if (next < 4096) {
      dict[key] = next++;
      if (next > (1 << width) && width < 12) ++width;
    } else if (!deferClear) {
      put(clear);
      dict.clear();
      next = end + 1;
      width = codeSize + 1;
    }
    current = pixels[i];
  }
  if (current >= 0) put(current);
  put(end);
  if (bits > 0) data.push_back(static_cast<uint8_t>(acc));
  std::vector<uint8_t> block{static_cast<uint8_t>(codeSize)};
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    block.push_back(static_cast<uint8_t>(n));
    block.insert(block.end(), data.begin() + static_cast<ptrdiff_t>(i), data.begin() + static_cast<ptrdiff_t>(i + n));
  }
  block.push_back(0);
  return block;
}

struct DecodeResult {
  std::vector<uint8_t> pixels;
  int64_t position;
};

DecodeResult Decode(const std::vector<uint8_t>& block, int32_t height, int32_t width, bool interlaced,
                    uint8_t fill = 0xEE) {
  TCustomMemoryStream s(block.data(), static_cast<int64_t>(block.size()));
  DecodeResult r{std::vector<uint8_t>(static_cast<size_t>(width) * height, fill), 0};
  GIFLZWDecode(s, height, width, interlaced, r.pixels.data());
  r.position = s.Position();
  return r;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, int32_t height, int32_t width, bool interlaced,
                            int32_t bits) {
  TMemoryStream s;
  GIFLZWEncode(s, height, width, interlaced, pixels.data(), bits);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

TEST(GIFLZW, RoundTripsAtEveryDepthPlainAndInterlaced) {
  struct Case { int32_t w, h, bits, runs; };
  const Case cases[] = {{1, 1, 1, 1}, {7, 3, 1, 1}, {17, 9, 2, 3}, {64, 33, 4, 1},
                        {200, 150, 8, 1}, {321, 240, 8, 40}, {5, 1, 3, 1}, {300, 260, 6, 2}};
  for (const Case& c : cases) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " bits " << c.bits << " interlaced " << interlaced);
      const auto pixels = RandomIndices(c.w * c.h, c.bits, static_cast<uint32_t>(c.w * 31 + c.h), c.runs);
      const auto block = Encode(pixels, c.h, c.w, interlaced, c.bits);
      EXPECT_EQ(block[0], std::max(2, c.bits));
      EXPECT_EQ(block.back(), 0);
      // Sub-blocks are at most 254 bytes and chain exactly to the terminator.
      size_t p = 1;
      while (block[p] != 0) {
        EXPECT_LE(block[p], 254);
        p += 1 + block[p];
        ASSERT_LT(p, block.size());
      }
      EXPECT_EQ(p + 1, block.size());
      const auto r = Decode(block, c.h, c.w, interlaced);
      EXPECT_EQ(r.position, static_cast<int64_t>(block.size()));
      EXPECT_EQ(r.pixels, pixels);
    }
  }
}

TEST(GIFLZW, InterlacedAndPlainEncodingsDecodeAlikeForEveryShortHeight) {
  // Heights below 8 leave passes without rows: the coders skip them on both sides.
  for (int32_t h = 1; h <= 17; ++h) {
    const auto pixels = RandomIndices(5 * h, 4, static_cast<uint32_t>(h));
    const auto plain = Decode(Encode(pixels, h, 5, false, 4), h, 5, false);
    const auto inter = Decode(Encode(pixels, h, 5, true, 4), h, 5, true);
    EXPECT_EQ(plain.pixels, pixels) << h;
    EXPECT_EQ(inter.pixels, pixels) << h;
  }
}

TEST(GIFLZW, InterlaceOrderVisitsEveryRowOnce) {
  for (int32_t h = 1; h <= 20; ++h) {
    std::vector<int32_t> seen(static_cast<size_t>(h), 0);
    int32_t row = 0, pass = 1;
    do {
      ++seen[static_cast<size_t>(row)];
    } while (GIFNextInterlacedRow(h, row, pass));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), h) << h;
  }
  int32_t row = 0, pass = 1;
  std::vector<int32_t> order{0};
  while (GIFNextInterlacedRow(10, row, pass)) order.push_back(row);
  EXPECT_EQ(order, (std::vector<int32_t>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

TEST(GIFLZW, DecodesAnIndependentEncodersOutputIncludingADeferredClear) {
  // 8-bit noise fills the table many times over.
  const auto pixels = RandomIndices(120 * 100, 8, 7);
  for (bool defer : {false, true}) {
    const auto block = ReferenceEncode(pixels, 8, defer);
    const auto r = Decode(block, 100, 120, false);
    EXPECT_EQ(r.position, static_cast<int64_t>(block.size())) << defer;
    EXPECT_EQ(r.pixels, pixels) << defer;
  }
}

TEST(GIFLZW, OnePixelAtOneBitIsWrittenWithCodeSizeTwo) {
  const std::vector<uint8_t> pixel{1};
  const auto block = Encode(pixel, 1, 1, false, 1);
  EXPECT_EQ(block[0], 2);
  EXPECT_EQ(Decode(block, 1, 1, false).pixels, pixel);
}

TEST(GIFLZW, CodeSizesOutsideTwoToEightLeaveTheStreamUnmoved) {
  for (uint8_t size : {0, 1, 9, 10, 12}) {
    const std::vector<uint8_t> block{size, 2, 0x00, 0x01, 0};
    const auto r = Decode(block, 1, 2, false);
    EXPECT_EQ(r.position, 0) << int(size);
    EXPECT_EQ(r.pixels, (std::vector<uint8_t>{0xEE, 0xEE}));
  }
  const std::vector<uint8_t> nothing;
  EXPECT_EQ(Decode(nothing, 1, 1, false).position, 0);
}

TEST(GIFLZW, AnEmptyDataBlockProducesNoPixelsAndEndsAfterTheTerminator) {
  const std::vector<uint8_t> block{8, 0, 0x3B};
  const auto r = Decode(block, 2, 2, false, 7);
  EXPECT_EQ(r.position, 2);
  EXPECT_EQ(r.pixels, std::vector<uint8_t>(4, 7));  // what the caller put there
}

TEST(GIFLZW, DataThatEndsBeforeTheEndCodeKeepsWhatWasDecoded) {
  const auto pixels = RandomIndices(40 * 40, 8, 3);
  auto block = Encode(pixels, 40, 40, false, 8);
  // Keep the code-size byte and the first sub-block only, then a terminator.
  std::vector<uint8_t> cut(block.begin(), block.begin() + 2 + block[1]);
  cut.push_back(0);
  const auto r = Decode(cut, 40, 40, false, 0xEE);
  EXPECT_EQ(r.position, static_cast<int64_t>(cut.size()));
  size_t decoded = 0;
  while (decoded < pixels.size() && r.pixels[decoded] == pixels[decoded]) ++decoded;
  EXPECT_GT(decoded, 100u);
  EXPECT_LT(decoded, pixels.size());
  for (size_t i = decoded + 1; i < pixels.size(); ++i) ASSERT_EQ(r.pixels[i], 0xEE) << i;
}

TEST(GIFLZW, HostileCodeStreamsFailByRestoringThePosition) {
  // Code size 2: clear 4, end 5, codes 3 bits wide.
  auto pack = [](std::initializer_list<int> codes) { return giftest::PackCodes(2, 3, codes); };
  // A code above the next free code before any pixel (after a clear code one is taken as 0).
  EXPECT_EQ(Decode(pack({7, 1, 5}), 1, 4, false).position, 0);
  // ... and after one: the pixel decoded so far stays, the rest keep the caller's fill.
  const auto broken = Decode(pack({4, 1, 7, 5}), 1, 4, false, 9);
  EXPECT_NE(broken.position, 0);
  EXPECT_EQ(broken.pixels, (std::vector<uint8_t>{1, 9, 9, 9}));
  // A well-formed one for comparison: 1, then 6 = "1 1".
  const auto ok = Decode(pack({4, 1, 6, 5}), 1, 3, false);
  EXPECT_NE(ok.position, 0);
  EXPECT_EQ(ok.pixels, (std::vector<uint8_t>{1, 1, 1}));
  // An end code right after a clear code with whole bytes of data left over.
  EXPECT_EQ(Decode(pack({4, 5, 1, 1, 1, 1, 1, 1}), 1, 4, false).position, 0);
  // ... and without data after it: an empty picture, no failure.
  EXPECT_NE(Decode(pack({4, 5}), 1, 4, false).position, 0);
  // Once every pixel has its value, bad codes and junk after them change nothing.
  const auto complete = Decode(pack({4, 1, 6, 7, 7, 5, 4, 5, 3, 3}), 1, 3, false);
  EXPECT_NE(complete.position, 0);
  EXPECT_EQ(complete.pixels, (std::vector<uint8_t>{1, 1, 1}));
}

TEST(GIFLZW, ASubBlockLongerThanTheStreamIsReadOnlyAsFarAsItGoes) {
  const auto pixels = RandomIndices(30 * 30, 8, 11);
  auto block = Encode(pixels, 30, 30, false, 8);
  block.resize(block.size() / 2);  // the stream ends inside a sub-block, no terminator
  const auto r = Decode(block, 30, 30, false);
  EXPECT_EQ(r.position, static_cast<int64_t>(block.size()));
  EXPECT_EQ(r.pixels[0], pixels[0]);
}

TEST(GIFLZW, MorePixelsThanThePictureHoldsAreDropped) {
  const auto pixels = RandomIndices(10 * 10, 8, 5);
  const auto block = Encode(pixels, 10, 10, false, 8);
  const auto r = Decode(block, 4, 10, false);  // the caller's buffer holds 4 rows only
  EXPECT_EQ(r.position, static_cast<int64_t>(block.size()));
  EXPECT_TRUE(std::equal(r.pixels.begin(), r.pixels.end(), pixels.begin()));
}

}  // namespace
