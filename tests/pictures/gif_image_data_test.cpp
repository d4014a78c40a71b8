// A frame's image data: decoding damaged and odd code streams, and the two encoders.
#include <gtest/gtest.h>

#include <random>

#include "imaging/core/ie_image_size_gate.h"
#include "pictures/gif_image_data.h"
#include "tests/imaging/io/codecs/gif_code_blocks.h"
#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

struct Decoded {
  Bytes pixels;
  std::vector<std::string> warnings;
  std::string error;
  int64_t position = 0;
};

Decoded Decode(const Bytes& block, int w, int h, bool interlaced = false, uint8_t fill = 0xEE) {
  Decoded d;
  TCustomMemoryStream s(block.data(), static_cast<int64_t>(block.size()));
  try {
    DecodeGIFImageData(s, w, h, interlaced, fill, d.pixels, [&](const std::string& m) { d.warnings.push_back(m); });
  } catch (const Exception& e) {
    d.error = e.what();
  }
  d.position = s.Position();
  return d;
}

Bytes Encode(const Bytes& pixels, int w, int h, int bits, bool interlaced, TGIFEncoding encoding) {
  TMemoryStream s;
  EncodeGIFImageData(s, bits, w, h, interlaced, pixels.data(), encoding);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

Bytes Noise(int n, int colors, uint32_t seed, int runs = 1) {
  std::mt19937 rng(seed);
  Bytes b;
  while (static_cast<int>(b.size()) < n) {
    const uint8_t v = static_cast<uint8_t>(rng() % colors);
    const int run = 1 + static_cast<int>(rng() % runs);
    for (int k = 0; k < run && static_cast<int>(b.size()) < n; ++k) b.push_back(v);
  }
  return b;
}

// Code size 2: clear 4, end 5, codes 3 bits wide until entry 8.
Bytes Codes(std::initializer_list<int> codes, uint8_t codeSize = 2) { return giftest::PackCodes(codeSize, 3, codes); }

TEST(GIFImageData, DecodesOddButValidCodeStreams) {
  struct Case {
    const char* name;
    Bytes block;
    int w, h;
    Bytes pixels;
  };
  const Case cases[] = {
      // No clear code first: the tables start as after one.
      {"no clear code", Codes({1, 2, 5}), 2, 1, {1, 2}},
      // The code being defined (6 = "1" + "1").
      {"string plus its own first byte", Codes({4, 1, 6, 5}), 3, 1, {1, 1, 1}},
      // An end code, then sub-blocks the decoder must step over.
      {"data after the end code", [] {
         Bytes b = Codes({4, 3, 5});
         b.pop_back();
         b.insert(b.end(), {2, 0xAB, 0xCD, 0});
         return b;
       }(), 1, 1, {3}},
      // Code sizes above 8 (up to 11): literals keep their low byte.
      {"code size 9", giftest::PackCodes(9, 10, {512, 300, 7, 513}), 2, 1, {44, 7}},
      {"code size 11", giftest::PackCodes(11, 12, {2048, 2047, 2049}), 1, 1, {255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.block, c.w, c.h);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.pixels, c.pixels);
    EXPECT_EQ(d.position, static_cast<int64_t>(c.block.size()));
    EXPECT_TRUE(d.warnings.empty());
  }
}

TEST(GIFImageData, DamagedStreamsKeepWhatArrivedAndWarn) {
  const Bytes pixels = Noise(40 * 30, 16, 3);
  const Bytes whole = LiteralImageData(pixels, 4);
  {
    // Cut inside a sub-block: what arrived decodes, the rest keeps the fill (a transparent index).
    const Bytes cut(whole.begin(), whole.begin() + 200);
    const Decoded d = Decode(cut, 40, 30, false, 9);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.warnings, (std::vector<std::string>{"Premature end of data", "Decoder bit buffer under-run"}));
    size_t same = 0;
    while (same < pixels.size() && d.pixels[same] == pixels[same]) ++same;
    EXPECT_GT(same, 100u);
    for (size_t i = same + 2; i < d.pixels.size(); ++i) ASSERT_EQ(d.pixels[i], 9) << i;
  }
  {
    // Whole sub-blocks, but the end code never comes (the padding bits read as two more zeros).
    Bytes block = Codes({4, 1, 2});
    const Decoded d = Decode(block, 6, 1);
    EXPECT_EQ(d.pixels, (Bytes{1, 2, 0, 0, 0xEE, 0xEE}));
    EXPECT_EQ(d.warnings, std::vector<std::string>{"Decoder bit buffer under-run"});
  }
}

TEST(GIFImageData, HostileCodeStreams) {
  struct Case {
    const char* name;
    Bytes block;
    int w, h;
    std::string error;
    Bytes pixels;  // when there is no error
  };
  const Case cases[] = {
      {"code size 0", {0, 1, 0, 0}, 1, 1, "Invalid LZW code size", {}},
      {"code size 1", {1, 1, 0, 0}, 1, 1, "Invalid LZW code size", {}},
      {"code size 12", {12, 1, 0, 0}, 1, 1, "Invalid LZW code size", {}},
      // 7 lies above the next free entry (6): it is taken as 6, "1 1".
      {"undefined code", Codes({4, 1, 7, 5}), 3, 1, "", {1, 1, 1}},
      // Undefined codes over and over build only strings of defined entries: no cycle, no hang.
      {"would-be cycle", Codes({4, 2, 7, 7, 7, 7, 7, 7, 5}), 12, 1, "", Bytes(12, 2)},
      // An end code right after a clear code ends the frame, whatever follows.
      {"end after clear", Codes({4, 5, 1, 1, 1}), 2, 1, "", {0xEE, 0xEE}},
      // After the last pixel: more codes, junk, and sub-blocks the decoder steps over.
      {"codes after the last pixel", Codes({4, 1, 1, 1, 6, 6, 3, 2, 5}), 2, 1, "", {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.block, c.w, c.h);
    EXPECT_EQ(d.error, c.error);
    if (c.error.empty()) {
      EXPECT_EQ(d.pixels, c.pixels);
      EXPECT_EQ(d.position, static_cast<int64_t>(c.block.size()));
    }
  }
}

TEST(GIFImageData, AFrameItsDataCannotHoldFailsBeforeAnythingIsAllocated) {
  const auto before = IEImageSizeGateLogForTesting(true);
  (void)before;
  const Decoded huge = Decode(Codes({4, 1, 5}), 65535, 65535);
  EXPECT_EQ(huge.error, "Premature end of data");
  EXPECT_TRUE(huge.pixels.empty());
  EXPECT_EQ(IEImageSizeGateLogForTesting().Refused, 1);
  // Large frames pass when their own data could code them at LZW's best ratio.
  const Decoded small = Decode(Codes({4, 1, 5}), 1000, 1000);
  EXPECT_EQ(small.error, "");
  EXPECT_EQ(small.pixels.size(), 1000000u);
}

TEST(GIFImageData, InterlacedFramesPlaceEveryRowOnce) {
  for (int h : {1, 2, 3, 5, 8, 9, 17}) {
    const Bytes pixels = Noise(3 * h, 4, static_cast<uint32_t>(h));
    const Decoded d = Decode(LiteralImageData(InterlaceRows(pixels, 3, h), 2), 3, h, true);
    EXPECT_EQ(d.pixels, pixels) << h;
  }
}

TEST(GIFImageData, TheEncodersWriteCodeSizeTwoForTwoColoursAndOnePixelAsClearPixelEnd) {
  for (TGIFEncoding e : {genLZW, genRunLength}) {
    const Bytes one = Encode({1}, 1, 1, 1, false, e);
    // Codes 4, 1, 5 at 3 bits: 100 001 101, least significant bit first.
    EXPECT_EQ(one, (Bytes{2, 2, 0x4C, 0x01, 0})) << e;
  }
}

TEST(GIFImageData, BothEncodersWriteStreamsAnIndependentDecoderReads) {
  struct Case {
    const char* name;
    int w, h, bits;
    Bytes pixels;
  };
  const std::vector<Case> cases = {
      {"single colour", 100, 80, 1, Bytes(8000, 1)},
      {"short runs", 61, 17, 4, Noise(61 * 17, 16, 1, 3)},
      {"long runs", 300, 40, 8, Noise(300 * 40, 256, 2, 400)},
      {"noise", 200, 150, 8, Noise(200 * 150, 256, 3)},
      {"two colours", 33, 33, 1, Noise(33 * 33, 2, 4, 5)},
      {"runs past the table", 4000, 30, 2, Noise(4000 * 30, 4, 5, 20000)},
  };
  for (const Case& c : cases)
    for (TGIFEncoding e : {genLZW, genRunLength})
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + (e == genLZW ? " lzw" : " rle") + (interlaced ? " interlaced" : ""));
        const Bytes block = Encode(c.pixels, c.w, c.h, c.bits, interlaced, e);
        EXPECT_EQ(block[0], std::max(2, c.bits));
        const ReferenceDecoded r = ReferenceDecode(block);
        EXPECT_TRUE(r.endCode);
        EXPECT_EQ(r.pixels, interlaced ? InterlaceRows(c.pixels, c.w, c.h) : c.pixels);
        // The table never takes its last entry, and sub-blocks hold 255 bytes.
        EXPECT_LE(r.largestEntry, 4094);
        for (size_t i = 0; i + 1 < r.blockSizes.size(); ++i) ASSERT_EQ(r.blockSizes[i], 255);
        EXPECT_EQ(Decode(block, c.w, c.h, interlaced).pixels, c.pixels);
      }
}

TEST(GIFImageData, TheLZWEncoderClearsBeforeTheLastTableEntry) {
  const Bytes noise = Noise(300 * 300, 256, 8);
  const ReferenceDecoded r = ReferenceDecode(Encode(noise, 300, 300, 8, false, genLZW));
  EXPECT_GT(r.clears, 5);
  EXPECT_EQ(r.largestEntry, 4094);
  EXPECT_EQ(r.pixels, noise);
}

}  // namespace
