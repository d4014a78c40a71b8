#include "imaging/io/codecs/tiff_ccitt.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "platform/system/streams.h"

namespace {

enum class Mode { MH, G3_1D, G3_2D, G4 };

// A page of encoder rows (1 = black), each (Width + 7) / 8 bytes.
using Page = std::vector<std::vector<uint8_t>>;

std::vector<uint8_t> Bytes(TMemoryStream& s) {
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

// The bits of a code string ("0011 0101" with spaces allowed) packed MSB first, zero-padded.
std::vector<uint8_t> BitString(const std::string& bits) {
  std::vector<uint8_t> out;
  int n = 0;
  for (char c : bits) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= static_cast<uint8_t>(0x80 >> (n % 8));
    ++n;
  }
  return out;
}

std::string BitsOf(const std::vector<uint8_t>& data, size_t count) {
  std::string s;
  for (size_t i = 0; i < count && i / 8 < data.size(); ++i) s += (data[i / 8] & (0x80 >> (i % 8))) ? '1' : '0';
  return s;
}

std::vector<uint8_t> Encode(const Page& page, int32_t width, Mode mode, int32_t fillOrder, bool* failed = nullptr) {
  TMemoryStream s;
  bool f = false;
  uint8_t pendingByte = 0;
  int32_t pendingBits = 0;
  std::vector<uint8_t> ref;
  for (const auto& row : page) {
    switch (mode) {
      case Mode::MH: CCITTEncodeMHRow(row.data(), width, s, f, fillOrder); break;
      case Mode::G3_1D: CCITTEncode1DRow(row.data(), width, s, pendingByte, pendingBits, f, fillOrder); break;
      case Mode::G3_2D: CCITTEncodeG3Row2D(row.data(), width, s, pendingByte, pendingBits, ref, f, fillOrder); break;
      case Mode::G4: CCITTEncodeG4Row(row.data(), width, s, pendingByte, pendingBits, ref, f, fillOrder); break;
    }
  }
  switch (mode) {
    case Mode::MH: break;
    case Mode::G3_1D: CCITTEncode1DRow(nullptr, width, s, pendingByte, pendingBits, f, fillOrder); break;
    case Mode::G3_2D: CCITTEncodeG3Row2D(nullptr, width, s, pendingByte, pendingBits, ref, f, fillOrder); break;
    case Mode::G4: CCITTEncodeG4Row(nullptr, width, s, pendingByte, pendingBits, ref, f, fillOrder); break;
  }
  EXPECT_EQ(pendingBits, 0);
  EXPECT_TRUE(ref.empty());
  if (failed) *failed = f;
  return Bytes(s);
}

// Decodes rows back into the encoder's convention (1 = black) for comparison.
Page Decode(const std::vector<uint8_t>& data, int32_t width, int32_t rows, Mode mode, int32_t fillOrder) {
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  Page out;
  std::vector<uint8_t> row(rowBytes + 1), ref(rowBytes + 1, 0xFF);
  int64_t bitPos = 0;
  int32_t offset = 0;
  const int32_t length = static_cast<int32_t>(data.size());
  for (int32_t r = 0; r < rows; ++r) {
    switch (mode) {
      case Mode::MH:
        offset += CCITTDecodeMHRow(row.data(), data.data() + offset, length - offset, width, fillOrder);
        break;
      case Mode::G3_1D: bitPos = CCITTDecode1DRow(row.data(), data.data(), length, width, bitPos, fillOrder); break;
      case Mode::G3_2D:
        bitPos = CCITTDecode2DRow(row.data(), data.data(), length, width, ref.data(), bitPos, fillOrder, true);
        break;
      case Mode::G4:
        bitPos = CCITTDecode2DRow(row.data(), data.data(), length, width, ref.data(), bitPos, fillOrder, false);
        break;
    }
    std::vector<uint8_t> black(rowBytes);
    for (int32_t x = 0; x < width; ++x)
      if (!GetRowBit(row.data(), x)) SetRowBit(black.data(), x, 1);
    out.push_back(black);
  }
  return out;
}

Page RandomPage(int32_t width, int32_t rows, uint32_t seed, int32_t runScale) {
  std::mt19937 rng(seed);
  Page page;
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  Page::value_type prev(rowBytes);
  for (int32_t r = 0; r < rows; ++r) {
    Page::value_type row(rowBytes);
    if (r > 0 && rng() % 3 == 0) {
      // Rows like the previous with a few edges moved: what 2-D coding is made for.
      row = prev;
      for (int k = 0; k < 3 && width > 0; ++k) {
        const int32_t x = static_cast<int32_t>(rng() % static_cast<uint32_t>(width));
        SetRowBit(row.data(), x, !GetRowBit(row.data(), x));
      }
    } else {
      bool black = rng() % 2;
      for (int32_t x = 0; x < width;) {
        const int32_t run = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(runScale));
        for (int32_t i = 0; i < run && x < width; ++i, ++x) SetRowBit(row.data(), x, black);
        black = !black;
      }
    }
    page.push_back(row);
    prev = row;
  }
  return page;
}

const Mode kModes[] = {Mode::MH, Mode::G3_1D, Mode::G3_2D, Mode::G4};

TEST(CCITTCoder, RandomPagesRoundTripInEveryModeAndFillOrder) {
  struct Case { int32_t width, rows, runScale; };
  const Case cases[] = {{1, 5, 1}, {7, 9, 3}, {64, 20, 10}, {203, 30, 40}, {1728, 12, 300}, {5000, 4, 4000}};
  uint32_t seed = 1;
  for (const Case& c : cases)
    for (Mode mode : kModes)
      for (int32_t fill : {1, 2}) {
        const Page page = RandomPage(c.width, c.rows, seed++, c.runScale);
        const auto data = Encode(page, c.width, mode, fill);
        EXPECT_EQ(Decode(data, c.width, c.rows, mode, fill), page)
            << "width " << c.width << " mode " << static_cast<int>(mode) << " fill " << fill;
      }
}

// Narrow rows of alternating pixels cost the most bits per pixel; every width from 1 to 16 in every
// mode must come back whole (the row buffer once overflowed below 8 pixels).
TEST(CCITTCoder, AlternatingPixelsOfEveryNarrowWidth) {
  for (int32_t width = 1; width <= 16; ++width)
    for (Mode mode : kModes)
      for (bool startBlack : {false, true}) {
        Page page;
        for (int r = 0; r < 3; ++r) {
          std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8));
          for (int32_t x = 0; x < width; ++x) SetRowBit(row.data(), x, ((x + r) % 2 == 0) == startBlack);
          page.push_back(row);
        }
        EXPECT_EQ(Decode(Encode(page, width, mode, 1), width, 3, mode, 1), page)
            << "width " << width << " mode " << static_cast<int>(mode);
      }
}

// The search for the next changing pixel skips whole words of a blank row: a single pixel of the
// other colour is found wherever it lies (inside, at either edge of, or between words), from every
// start, and a row without one ends at its width, also when the width ends inside a word.
TEST(CCITTCoder, NextChangeFindsALonePixelAtEveryPositionAcrossWords) {
  for (int32_t width : {1, 63, 64, 65, 130, 200})
    for (bool value : {false, true})
      for (int32_t at = -1; at < width; ++at) {
        std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8) + 8, value ? 0x00 : 0xFF);
        if (at >= 0) SetRowBit(row.data(), at, value);
        // Bits past the width hold the value too: they must never be reported.
        for (int32_t x = width; x < static_cast<int32_t>(row.size()) * 8; ++x) SetRowBit(row.data(), x, value);
        for (int32_t start : {-5, 0, 1, 7, 8, 63, 64, 65, 129}) {
          const int32_t want = at >= std::max(start, 0) ? at : width;
          EXPECT_EQ(CCITTNextChange(row.data(), start, width, value), std::min(want, width))
              << "width " << width << " value " << value << " pixel " << at << " start " << start;
        }
      }
}

// Rows far wider than the coder's room reserved up front: a blank page costs a few bytes a row and
// alternating pixels (the most bits a pixel) grow past it; both come back whole in every mode.
TEST(CCITTCoder, VeryWideRowsRoundTripInEveryMode) {
  const int32_t width = 100000;  // alternating pixels code in 75 KB, more than the room reserved
  Page page(3, std::vector<uint8_t>(static_cast<size_t>(width + 7) / 8));
  SetRowBit(page[0].data(), width - 1, true);
  for (int32_t x = 0; x < width; x += 2) SetRowBit(page[1].data(), x, true);
  for (Mode mode : kModes)
    EXPECT_EQ(Decode(Encode(page, width, mode, 1), width, 3, mode, 1), page) << "mode " << static_cast<int>(mode);
}

TEST(CCITTCoder, LongWhiteRunIsCodedAsMakeupsThenTerminating) {
  // 3000 = 2560 + 384 + 56: makeup 000000011111, makeup 00110111, terminating 01011001 (T.4 tables).
  std::vector<uint8_t> row(375, 0);
  TMemoryStream s;
  bool failed = false;
  CCITTEncodeMHRow(row.data(), 3000, s, failed, 1);
  EXPECT_EQ(BitsOf(Bytes(s), 28), "000000011111" "00110111" "01011001");
  EXPECT_EQ(s.Size(), 4);  // 28 bits padded to a byte
  EXPECT_FALSE(failed);
}

TEST(CCITTCoder, RowStartingBlackBeginsWithAWhiteRunOfZero) {
  // 8 pixels: 2 black, 6 white: white 0 (00110101), black 2 (11), white 6 (1110).
  const std::vector<uint8_t> row = {0xC0};
  TMemoryStream s;
  bool failed = false;
  CCITTEncodeMHRow(row.data(), 8, s, failed, 1);
  EXPECT_EQ(BitsOf(Bytes(s), 14), "00110101" "11" "1110");
}

TEST(CCITTCoder, G4StripEndsWithEOFBOnAByteBoundary) {
  const Page page = RandomPage(100, 6, 7, 20);
  const auto data = Encode(page, 100, Mode::G4, 1);
  // The last 24 coded bits are two EOLs, followed only by zero padding.
  const std::string bits = BitsOf(data, data.size() * 8);
  const size_t eofb = bits.rfind("000000000001000000000001");
  ASSERT_NE(eofb, std::string::npos);
  EXPECT_EQ(bits.find('1', eofb + 24), std::string::npos);
  EXPECT_LT(bits.size() - (eofb + 24), 8u);
}

TEST(CCITTCoder, G3OneDimensionalWithAndWithoutEOLsDecodesAlike) {
  // Two 8-pixel rows: 3 white + 5 black, then all white. Codes: white 3 = 1000, black 5 = 0011;
  // white 8 = 10011.
  const std::string row1 = "1000" "0011", row2 = "10011", eol = "000000000001";
  const std::string variants[] = {
      row1 + row2,                                  // no EOLs
      eol + row1 + eol + row2,                      // EOL before each row
      "0000" + eol + row1 + "000" + eol + row2,     // fill bits before the EOLs
  };
  for (const std::string& v : variants) {
    const auto data = BitString(v);
    EXPECT_EQ(Decode(data, 8, 2, Mode::G3_1D, 1), (Page{{0x1F}, {0x00}})) << v;
  }
}

TEST(CCITTCoder, TwoEOLsBeforeARowEndItAllWhite) {
  const auto data = BitString("000000000001" "000000000001" "0011");  // black 5 would follow
  std::vector<uint8_t> row(1);
  CCITTDecode1DRow(row.data(), data.data(), static_cast<int32_t>(data.size()), 8, 0, 1);
  EXPECT_EQ(row[0], 0xFF);
}

TEST(CCITTCoder, TwoDimensionalRowAfterEOLAndTagOneIsOneDimensional) {
  // EOL, tag 1, then the 1-D row white 3 / black 5.
  const auto data = BitString("000000000001" "1" "1000" "0011");
  std::vector<uint8_t> row(1), ref(1, 0xFF);
  CCITTDecode2DRow(row.data(), data.data(), static_cast<int32_t>(data.size()), 8, ref.data(), 0, 1, true);
  EXPECT_EQ(row[0], 0xE0);  // decoder rows: 1 = white
  EXPECT_EQ(ref[0], 0xE0);
}

TEST(CCITTCoder, FillOrderTwoIsTheBitReversedData) {
  const Page page = RandomPage(300, 10, 11, 30);
  for (Mode mode : kModes) {
    auto data = Encode(page, 300, mode, 1);
    const auto reversed = Encode(page, 300, mode, 2);
    for (auto& b : data) ReverseByteBits(b);
    EXPECT_EQ(data, reversed);
  }
}

TEST(CCITTCoder, UncompressedModePaintsItsBlackPixels) {
  // G4 row of 10 pixels: extension 0000001111 into uncompressed mode; "1" one black pixel at 0,
  // "01" white then black (pixels 1, 2), exit "0000001" with no pixels, then T = 0 (white follows);
  // then vertical V0 against an all-white reference ends the row (b1 = width).
  const auto data = BitString("0000001111" "1" "01" "0000001" "0" "1");
  std::vector<uint8_t> row(2), ref(2, 0xFF);
  CCITTDecode2DRow(row.data(), data.data(), static_cast<int32_t>(data.size()), 10, ref.data(), 0, 1, false);
  // Pixels 0 and 2 black: 0101 1111 11...
  EXPECT_EQ(row[0], 0x5F);
  EXPECT_EQ(row[1] & 0xC0, 0xC0);
}

TEST(CCITTCoder, HostileDataNeverReadsPastItsLengthOrLoops) {
  std::mt19937 rng(5);
  for (int t = 0; t < 300; ++t) {
    const size_t n = rng() % 40;
    // Exactly n bytes on the heap, so that AddressSanitizer sees any read past them.
    std::unique_ptr<uint8_t[]> data(new uint8_t[n ? n : 1]);
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng());
    const int32_t width = 1 + static_cast<int32_t>(rng() % 300);
    std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8)), ref(row.size(), 0xFF);
    int64_t bit = 0;
    for (int r = 0; r < 20; ++r) {
      const int64_t before = bit;
      bit = CCITTDecode2DRow(row.data(), data.get(), static_cast<int32_t>(n), width, ref.data(), bit, 1 + r % 2,
                             r % 3 == 0);
      bit = std::max(bit, before);
      bit = CCITTDecode1DRow(row.data(), data.get(), static_cast<int32_t>(n), width, bit, 2);
      EXPECT_LE(CCITTDecodeMHRow(row.data(), data.get(), static_cast<int32_t>(n), width, 1), static_cast<int32_t>(n));
    }
  }
}

TEST(CCITTCoder, ShortWriteIsReported) {
  class TFullStream : public TMemoryStream {
   public:
    int32_t Write(const void*, int32_t) override { return 0; }
  } s;
  bool failed = false;
  const std::vector<uint8_t> row(4, 0x0F);
  CCITTEncodeMHRow(row.data(), 32, s, failed, 1);
  EXPECT_TRUE(failed);
}

}  // namespace
