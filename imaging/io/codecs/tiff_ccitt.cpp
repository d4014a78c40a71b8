#include "imaging/io/codecs/tiff_ccitt.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "imaging/core/ie_bits.h"
#include "platform/system/streams.h"

namespace {

// ------------------------------------------------------------------------------------ code tables

struct TCCITTCode {
  uint8_t Length = 0;
  uint32_t Bits = 0;
};

constexpr TCCITTCode Code(const char* bits) {
  TCCITTCode c;
  for (; *bits; ++bits) {
    c.Bits = c.Bits << 1 | static_cast<uint32_t>(*bits - '0');
    ++c.Length;
  }
  return c;
}

// ITU-T T.4 terminating codes of runs 0..63 and makeup codes of 64..1728.
constexpr const char* kWhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100"};
constexpr const char* kWhiteMakeup[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011"};
constexpr const char* kBlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",
    "0010",         "00011",        "000101",       "000100",       "0000100",      "0000101",
    "0000111",      "00000100",     "00000111",     "000011000",    "0000010111",   "0000011000",
    "0000001000",   "00001100111",  "00001101000",  "00001101100",  "00000110111",  "00000101000",
    "00000010111",  "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111"};
constexpr const char* kBlackMakeup[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101"};
// Runs 1792..2560, the same for both colours.
constexpr const char* kExtendedMakeup[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111"};

// The 128 codes of one colour, by entry.
struct TCCITTColourTable {
  std::array<TCCITTCode, 128> Codes{};
};

constexpr TCCITTColourTable MakeColourTable(bool white) {
  TCCITTColourTable t;
  for (int i = 0; i < 64; ++i) t.Codes[i] = Code(white ? kWhiteTerminating[i] : kBlackTerminating[i]);
  for (int i = 0; i < 27; ++i) t.Codes[64 + i] = Code(white ? kWhiteMakeup[i] : kBlackMakeup[i]);
  for (int i = 0; i < 13; ++i) t.Codes[91 + i] = Code(kExtendedMakeup[i]);
  t.Codes[kCCITTEntryEOL] = {12, 1};
  for (int i = 0; i < 3; ++i) t.Codes[105 + i] = {static_cast<uint8_t>(9 + i), 1};  // 8..10 zeros, a one
  for (int i = 0; i < 20; ++i) t.Codes[108 + i] = {static_cast<uint8_t>(13 + i), 1};  // EOL after 1..20 zeros
  return t;
}
constexpr TCCITTColourTable kWhiteCodes = MakeColourTable(true);
constexpr TCCITTColourTable kBlackCodes = MakeColourTable(false);

// Every code whose first one bit lies within its first 8 bits is at most 13 bits long; the others
// are the skip and EOL codes, which are zeros and a one. A lookup on the next 13 bits therefore
// finds the first kind directly: each slot holds entry | length << 8, or 0xFFFF for no code.
constexpr int kLookupBits = 13;
using TRunLookup = std::array<uint16_t, 1 << kLookupBits>;
constexpr TRunLookup MakeRunLookup(const TCCITTColourTable& table) {
  TRunLookup t{};
  for (auto& slot : t) slot = 0xFFFF;
  for (int e = 0; e < 104; ++e) {
    const TCCITTCode c = table.Codes[e];
    const int free = kLookupBits - c.Length;
    const uint32_t first = c.Bits << free;
    for (uint32_t k = 0; k < (1u << free); ++k) t[first | k] = static_cast<uint16_t>(e | c.Length << 8);
  }
  return t;
}
constexpr TRunLookup kWhiteLookup = MakeRunLookup(kWhiteCodes);
constexpr TRunLookup kBlackLookup = MakeRunLookup(kBlackCodes);

constexpr int32_t EntryRun(int32_t e) {
  if (e < 64) return e;
  if (e < 91) return (e - 63) * 64;
  if (e < 104) return 1792 + (e - 91) * 64;
  if (e == 104 || e >= 108) return -3;
  return -1;
}

// The mode codes of two-dimensional coding, in matching order.
enum TMode : uint8_t {
  mdNoCode, mdPass, mdHorizontal, mdVL3, mdVL2, mdVL1, mdV0, mdVR1, mdVR2, mdVR3, mdExt1D, mdExt2D, mdEOL,
  mdNone
};
constexpr const char* kModeCodes[13] = {"000000000000", "0001",    "001",        "0000010",     "000010",
                                        "010",          "1",       "011",        "000011",      "0000011",
                                        "0000001111",   "000000001111", "000000000001"};
// The mode of the next 12 bits: mode | length << 8; mdNone where no code matches.
using TModeLookup = std::array<uint16_t, 1 << 12>;
constexpr TModeLookup MakeModeLookup() {
  TModeLookup t{};
  for (uint32_t w = 0; w < t.size(); ++w) {
    t[w] = mdNone;
    for (int m = 0; m < 13; ++m) {
      const TCCITTCode c = Code(kModeCodes[m]);
      if ((w >> (12 - c.Length)) == c.Bits) {
        t[w] = static_cast<uint16_t>(m | c.Length << 8);
        break;
      }
    }
  }
  return t;
}
constexpr TModeLookup kModeLookup = MakeModeLookup();

// ----------------------------------------------------------------------------------- bit reading

// Reads codes from Data; bits past Length read as zero.
struct TBitSource {
  const uint8_t* data;
  int32_t length;
  int32_t fillOrder;

  uint32_t Peek(int64_t bitPos) const { return CCITTReadBits(data, length, bitPos, fillOrder); }
  bool Past(int64_t bitPos) const { return bitPos >= static_cast<int64_t>(length) * 8; }
};

int32_t DecodeRunAt(const TBitSource& src, int64_t bitPos, bool white, int32_t& bits) {
  bits = 0;
  if (bitPos < 0 || src.Past(bitPos)) return kCCITTEntryPastData;
  const uint32_t w = src.Peek(bitPos);
  const int zeros = std::countl_zero(w);
  if (zeros >= 8) {
    // Skip codes (8 to 10 zeros and a one), EOL (11 zeros and a one) and EOL after further zeros.
    if (zeros >= 32) return kCCITTEntryNoCode;
    bits = zeros + 1;
    if (zeros <= 10) return 105 + (zeros - 8);
    if (zeros == 11) return kCCITTEntryEOL;
    return 107 + (zeros - 11);
  }
  const uint16_t slot = (white ? kWhiteLookup : kBlackLookup)[w >> (32 - kLookupBits)];
  if (slot == 0xFFFF) return kCCITTEntryNoCode;
  bits = slot >> 8;
  return slot & 0xFF;
}

// ------------------------------------------------------------------------------- row operations

bool PixelIsSet(const uint8_t* row, int32_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }

// The changing elements of a reference row, searched from wherever a coder asks. Each colour keeps
// its last answer: a search starting between that search's start and its answer has the same
// answer, so a row of many changes over a long uniform reference stretch costs one scan of that
// stretch, not one per change (which made a wide page quadratic).
class TRefChanges {
 public:
  TRefChanges(const uint8_t* row, int32_t width) : row_(row), width_(width) {}
  // CCITTNextChange on the row.
  int32_t Next(int32_t start, bool value) {
    start = std::max(start, 0);
    TMemo& m = memo_[value ? 1 : 0];
    if (start >= m.start && start <= m.found) return m.found;
    m.start = start;
    m.found = CCITTNextChange(row_, start, width_, value);
    return m.found;
  }
  bool IsSet(int32_t x) const { return PixelIsSet(row_, x); }
  int32_t Width() const { return width_; }

 private:
  struct TMemo {
    int32_t start = 1;  // no pixel of the colour in [start, found); empty at first
    int32_t found = 0;
  };
  const uint8_t* row_;
  int32_t width_;
  TMemo memo_[2];
};

// b1 of T.4 on a decoded reference row: the first changing element strictly right of a0 whose pixel
// value is `value` (the colour opposite to a0's; a0 -1 is the imaginary white pixel before the row).
int32_t ChangeRightOf(TRefChanges& ref, int32_t a0, bool value) {
  int32_t p = a0 + 1;
  if (p < 0) p = 0;
  // A run of `value` that already covers a0 holds no changing element right of it: skip it.
  if (a0 >= 0 && a0 < ref.Width() && ref.IsSet(a0) == value) p = ref.Next(p, !value);
  return ref.Next(p, value);
}

}  // namespace

int32_t CCITTEntryRun(int32_t Entry) { return Entry >= 0 && Entry < 128 ? EntryRun(Entry) : -3; }

uint32_t CCITTReadBits(const uint8_t* Data, int32_t Length, int64_t BitPos, int32_t FillOrder) {
  if (BitPos < 0) return 0;
  const int64_t first = BitPos >> 3;
  uint64_t word = 0;
  for (int i = 0; i < 5; ++i) {
    const int64_t at = first + i;
    uint8_t b = at < Length ? Data[at] : 0;
    if (FillOrder == 2) b = IEBitReverseTable[b];
    word = word << 8 | b;
  }
  return static_cast<uint32_t>(word >> (8 - (BitPos & 7)));
}

int32_t CCITTDecodeRun(const uint8_t* Data, int32_t Length, int64_t BitPos, bool White, int32_t FillOrder,
                       int32_t& Bits) {
  return DecodeRunAt(TBitSource{Data, Length, FillOrder}, BitPos, White, Bits);
}

void CCITTFillBlack(uint8_t* Row, int32_t Start, int32_t Count, int32_t Width) {
  int64_t end = static_cast<int64_t>(Start) + Count;
  if (Start < 0) Start = 0;
  if (end > Width) end = Width;
  if (end <= Start) return;
  FillRowBits(Row, Start, static_cast<int32_t>(end - Start), false);
}

int32_t CCITTNextChange(const uint8_t* Row, int32_t Start, int32_t Width, bool Value) {
  int32_t x = std::max(Start, 0);
  if (x >= Width) return Width;
  // Bit by bit to the next byte boundary, then eight bytes at a time, whole bytes, then bits again
  // (a blank row of a wide page is mostly skipped by words).
  const uint8_t skip = Value ? 0x00 : 0xFF;
  while ((x & 7) && x < Width) {
    if (PixelIsSet(Row, x) == Value) return x;
    ++x;
  }
  const uint64_t skipWord = Value ? 0 : ~uint64_t{0};
  while (x + 64 <= Width) {
    uint64_t word;
    std::memcpy(&word, Row + (x >> 3), sizeof word);
    if (word != skipWord) break;
    x += 64;
  }
  while (x + 8 <= Width && Row[x >> 3] == skip) x += 8;
  while (x < Width) {
    if (PixelIsSet(Row, x) == Value) return x;
    ++x;
  }
  return Width;
}

int64_t CCITTDecode1DRow(uint8_t* Row, const uint8_t* Data, int32_t Length, int32_t Width, int64_t BitPos,
                         int32_t FillOrder) {
  const TBitSource src{Data, Length, FillOrder};
  const int32_t rowBytes = (Width + 7) / 8;
  if (rowBytes > 0) std::memset(Row, 255, static_cast<size_t>(rowBytes));
  bool white = true;
  int64_t a = 0;
  int64_t lineStart = BitPos;
  bool makeup = false;
  while (a < Width || makeup) {
    int32_t bits = 0;
    const int32_t e = DecodeRunAt(src, BitPos, white, bits);
    if (e == kCCITTEntryPastData) {
      if (!white && a < Width) CCITTFillBlack(Row, static_cast<int32_t>(a), Width, Width);
      break;
    }
    if (e == kCCITTEntryNoCode) {
      // Resynchronise one bit further on.
      ++BitPos;
      ++lineStart;
      continue;
    }
    const int32_t run = EntryRun(e);
    if (run == -3) {
      const bool atStart = BitPos == lineStart;
      BitPos += bits;
      if (atStart) continue;
      if (!white && a < Width) CCITTFillBlack(Row, static_cast<int32_t>(a), Width, Width);
      break;
    }
    BitPos += bits;
    if (run < 0) continue;  // a skip code paints nothing
    if (!white && a < Width) CCITTFillBlack(Row, static_cast<int32_t>(a), run, Width);
    a += run;
    makeup = e >= 64;
    if (!makeup) white = !white;
  }
  return BitPos;
}

int32_t CCITTDecodeMHRow(uint8_t* Row, const uint8_t* Data, int32_t Length, int32_t Width, int32_t FillOrder) {
  const int64_t bits = CCITTDecode1DRow(Row, Data, Length, Width, 0, FillOrder);
  return static_cast<int32_t>(std::min<int64_t>((bits + 7) / 8, std::max(Length, 0)));
}

int64_t CCITTDecode2DRow(uint8_t* Row, const uint8_t* Data, int32_t Length, int32_t Width, uint8_t* RefRow,
                         int64_t BitPos, int32_t FillOrder, bool EOLTolerant) {
  const TBitSource src{Data, Length, FillOrder};
  const int32_t rowBytes = (Width + 7) / 8;
  if (rowBytes > 0) std::memset(Row, 255, static_cast<size_t>(rowBytes));
  int32_t a0 = -1;
  bool white = true;
  bool firstCode = true;
  const int64_t endBits = static_cast<int64_t>(std::max(Length, 0)) * 8;
  // Paints a0..to black when the colour is black (a0 below 0 counts as 0).
  auto paint = [&](int32_t to) {
    if (!white) CCITTFillBlack(Row, std::max(a0, 0), to - std::max(a0, 0), Width);
  };
  TRefChanges ref(RefRow, Width);
  while (a0 < Width && BitPos < endBits) {
    const uint32_t w = src.Peek(BitPos);
    const uint16_t slot = kModeLookup[w >> 20];
    TMode mode = static_cast<TMode>(slot & 0xFF);
    if (mode == mdNone) {
      ++BitPos;  // no mode code starts here: step one bit on
      firstCode = false;
      continue;
    }
    const int32_t codeBits = slot >> 8;
    if (mode == mdNoCode) {
      BitPos += codeBits;
      if (!EOLTolerant) {
        firstCode = false;
        continue;
      }
      // Fill bits before an EOL: skip up to and including the next one bit, and take it as EOL.
      while (BitPos < endBits && !(src.Peek(BitPos) & 0x80000000u)) ++BitPos;
      if (BitPos >= endBits) break;
      ++BitPos;
      mode = mdEOL;
    } else {
      BitPos += codeBits;
    }
    const bool wasFirst = firstCode;
    firstCode = false;
    switch (mode) {
      case mdPass: {
        const int32_t b1 = ChangeRightOf(ref, a0, !white);
        const int32_t b2 = ref.Next(b1 + 1, white);
        paint(b2);
        a0 = std::max(b2, a0);
        if (a0 < 0) a0 = 0;
        break;
      }
      case mdHorizontal: {
        int64_t runs[2] = {0, 0};
        bool dropped = false;
        for (int k = 0; k < 2 && !dropped; ++k) {
          const bool runWhite = k == 0 ? white : !white;
          for (;;) {
            int32_t bits = 0;
            const int32_t e = DecodeRunAt(src, BitPos, runWhite, bits);
            if (e == kCCITTEntryPastData || e == kCCITTEntryNoCode) {
              if (e == kCCITTEntryNoCode) ++BitPos;
              dropped = true;
              break;
            }
            const int32_t run = EntryRun(e);
            if (run == -3) {
              dropped = true;  // an EOL inside the mode: it is dropped, the EOL read next
              break;
            }
            BitPos += bits;
            if (run < 0) continue;
            runs[k] += run;
            if (e < 64) break;
          }
        }
        if (dropped) break;
        const int32_t start = std::max(a0, 0);
        const int64_t a1 = std::min<int64_t>(start + runs[0], Width);
        const int64_t a2 = std::min<int64_t>(a1 + runs[1], Width);
        if (white) CCITTFillBlack(Row, static_cast<int32_t>(a1), static_cast<int32_t>(a2 - a1), Width);
        else CCITTFillBlack(Row, start, static_cast<int32_t>(a1 - start), Width);
        a0 = static_cast<int32_t>(a2);
        break;
      }
      case mdVL3: case mdVL2: case mdVL1: case mdV0: case mdVR1: case mdVR2: case mdVR3: {
        const int32_t b1 = ChangeRightOf(ref, a0, !white);
        // A code moving a0 to the left of where it stands paints nothing and keeps it there.
        const int32_t a1 = std::clamp(b1 + (static_cast<int32_t>(mode) - mdV0), std::max(a0, 0), Width);
        paint(a1);
        a0 = a1;
        white = !white;
        break;
      }
      case mdExt1D: case mdExt2D: {
        // Uncompressed mode: k-1 white pixels and a black one (k 1..5), five white pixels (k 6), or an
        // exit code (k 7..11: k - 7 white pixels, then a bit giving the colour that follows).
        int32_t x = std::max(a0, 0);
        while (BitPos < endBits && x < Width) {
          const uint32_t u = src.Peek(BitPos);
          const int zeros = std::countl_zero(u);
          if (zeros > 10) {
            BitPos += 12;  // not an uncompressed-mode code: leave the mode
            break;
          }
          const int k = zeros + 1;
          BitPos += k;
          if (k <= 5) {
            CCITTFillBlack(Row, x + k - 1, 1, Width);
            x += k;
          } else if (k == 6) {
            x += 5;
          } else {
            x += k - 7;
            white = !(src.Peek(BitPos) & 0x80000000u);
            ++BitPos;
            break;
          }
        }
        a0 = std::min(x, Width);
        break;
      }
      case mdEOL:
        if (wasFirst) {
          const bool oneDimensional = (src.Peek(BitPos) & 0x80000000u) != 0;
          ++BitPos;
          if (oneDimensional) {
            BitPos = CCITTDecode1DRow(Row, Data, Length, Width, BitPos, FillOrder);
            a0 = Width;
          } else {
            firstCode = true;  // a further EOL may follow before the row's codes
          }
          break;
        }
        paint(Width);
        BitPos -= 12;  // the EOL begins the next row
        a0 = Width;
        break;
      default:
        break;
    }
  }
  if (rowBytes > 0) std::memcpy(RefRow, Row, static_cast<size_t>(rowBytes));
  return BitPos;
}

// ------------------------------------------------------------------------------------- encoding

namespace {

// Collects codes most significant bit first; whole bytes go to the stream, bit-reversed for
// FillOrder 2, and the last partial byte stays pending.
class TBitSink {
 public:
  TBitSink(uint8_t pendingByte, int32_t pendingBits, int32_t fillOrder, size_t reserve)
      : fillOrder_(fillOrder) {
    bytes_.reserve(reserve);
    acc_ = pendingBits > 0 ? static_cast<uint64_t>(pendingByte) >> (8 - pendingBits) : 0;
    accBits_ = std::clamp(pendingBits, 0, 7);
  }
  void Put(int32_t n, uint32_t code) {
    acc_ = acc_ << n | (code & ((n >= 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
    accBits_ += n;
    while (accBits_ >= 8) {
      accBits_ -= 8;
      Emit(static_cast<uint8_t>(acc_ >> accBits_));
    }
  }
  void Put(const TCCITTCode& c) { Put(c.Length, c.Bits); }
  void PadToByte() {
    if (accBits_ > 0) Put(8 - accBits_, 0);
  }
  // Writes the whole bytes; returns false on a short write.
  bool Flush(TStream& stream) {
    const bool ok = bytes_.empty() ||
                    stream.Write(bytes_.data(), static_cast<int32_t>(bytes_.size())) == static_cast<int32_t>(bytes_.size());
    bytes_.clear();
    return ok;
  }
  // The pending partial byte, its bits in the high places.
  uint8_t PendingByte() const { return accBits_ ? static_cast<uint8_t>(acc_ << (8 - accBits_)) : 0; }
  int32_t PendingBits() const { return accBits_; }

 private:
  void Emit(uint8_t b) { bytes_.push_back(fillOrder_ == 2 ? IEBitReverseTable[b] : b); }
  std::vector<uint8_t> bytes_;
  uint64_t acc_ = 0;
  int32_t accBits_ = 0;
  int32_t fillOrder_;
};

// Room for a row's codes up front: a pixel costs at most 12 bits (alternating runs in horizontal
// mode), plus the EOLs, tag bit and pending bits around it; at most 64 KiB, so that the rows of a
// very wide page (mostly a few bytes each) do not each claim megabytes. The sink grows past it.
size_t RowReserve(int32_t width) {
  return std::min<size_t>(static_cast<size_t>(std::max(width, 0)) * 3 / 2 + 16, size_t{1} << 16);
}

void PutRun(TBitSink& sink, int64_t run, bool white) {
  const TCCITTColourTable& t = white ? kWhiteCodes : kBlackCodes;
  while (run >= 64) {
    const int64_t makeup = std::min<int64_t>(run / 64 * 64, 2560);
    // Entries 64..90 hold 64..1728, 91..103 hold 1792..2560.
    const int32_t e = makeup <= 1728 ? static_cast<int32_t>(63 + makeup / 64) : static_cast<int32_t>(91 + (makeup - 1792) / 64);
    sink.Put(t.Codes[e]);
    run -= makeup;
  }
  sink.Put(t.Codes[run]);
}

// Encoder rows have 1 for black; `white` below means a clear bit.
bool IsBlack(const uint8_t* row, int32_t x) { return PixelIsSet(row, x); }

void EncodeRuns(TBitSink& sink, const uint8_t* row, int32_t width) {
  int32_t x = 0;
  bool white = true;
  while (x < width) {
    const int32_t next = CCITTNextChange(row, x, width, white);  // white run ends at a black (set) pixel
    PutRun(sink, next - x, white);
    x = next;
    white = !white;
  }
  if (width <= 0) PutRun(sink, 0, true);
}

void Encode2DRow(TBitSink& sink, const uint8_t* row, const uint8_t* ref, int32_t width) {
  static constexpr TCCITTCode kPass = Code("0001"), kHorizontal = Code("001");
  static constexpr TCCITTCode kVertical[7] = {Code("0000010"), Code("000010"), Code("010"), Code("1"),
                                              Code("011"),     Code("000011"), Code("0000011")};
  int32_t a0 = -1;
  bool black = false;  // colour of a0
  TRefChanges refChanges(ref, width);
  while (a0 < width) {
    const int32_t a1 = CCITTNextChange(row, a0 + 1, width, !black);
    // b1: first changing element on the reference row right of a0 with the colour opposite to a0's.
    int32_t b1 = a0 + 1;
    if (a0 >= 0 && a0 < width && IsBlack(ref, a0) != black) b1 = refChanges.Next(b1, black);
    b1 = refChanges.Next(b1, !black);
    const int32_t b2 = refChanges.Next(b1 + 1, black);
    if (b2 < a1) {
      sink.Put(kPass);
      a0 = b2;
      continue;
    }
    const int32_t d = a1 - b1;
    if (d >= -3 && d <= 3) {
      sink.Put(kVertical[d + 3]);
      a0 = a1;
      black = !black;
      continue;
    }
    const int32_t a2 = a1 < width ? CCITTNextChange(row, a1 + 1, width, black) : width;
    sink.Put(kHorizontal);
    const int32_t start = std::max(a0, 0);
    PutRun(sink, a1 - start, !black);
    PutRun(sink, a2 - a1, black);
    a0 = a2;
  }
}

constexpr TCCITTCode kEOL = {12, 1};

void Finish(TBitSink& sink, TStream& stream, uint8_t& pendingByte, int32_t& pendingBits, bool& failed) {
  if (!sink.Flush(stream)) failed = true;
  pendingByte = sink.PendingByte();
  pendingBits = sink.PendingBits();
}

}  // namespace

void CCITTEncodeMHRow(const uint8_t* Row, int32_t Width, TStream& Stream, bool& Failed, int32_t FillOrder) {
  TBitSink sink(0, 0, FillOrder, RowReserve(Width));
  EncodeRuns(sink, Row, Width);
  sink.PadToByte();
  if (!sink.Flush(Stream)) Failed = true;
}

void CCITTEncode1DRow(const uint8_t* Row, int32_t Width, TStream& Stream, uint8_t& PendingByte,
                      int32_t& PendingBits, bool& Failed, int32_t FillOrder) {
  TBitSink sink(PendingByte, PendingBits, FillOrder, RowReserve(Width));
  if (Row) {
    // T.4 starts every coded line with EOL; readers of compression 3 look for it.
    sink.Put(kEOL);
    EncodeRuns(sink, Row, Width);
  } else {
    sink.PadToByte();
  }
  Finish(sink, Stream, PendingByte, PendingBits, Failed);
}

void CCITTEncodeG3Row2D(const uint8_t* Row, int32_t Width, TStream& Stream, uint8_t& PendingByte,
                        int32_t& PendingBits, std::vector<uint8_t>& RefRow, bool& Failed, int32_t FillOrder) {
  TBitSink sink(PendingByte, PendingBits, FillOrder, RowReserve(Width));
  const size_t rowBytes = static_cast<size_t>((std::max(Width, 0) + 7) / 8);
  if (!Row) {
    sink.Put(kEOL);
    sink.PadToByte();
    RefRow.clear();
  } else if (RefRow.empty()) {
    sink.Put(kEOL);
    sink.Put(1, 1);
    EncodeRuns(sink, Row, Width);
    RefRow.assign(Row, Row + rowBytes);
  } else {
    sink.Put(kEOL);
    sink.Put(1, 0);
    Encode2DRow(sink, Row, RefRow.data(), Width);
    RefRow.assign(Row, Row + rowBytes);
  }
  Finish(sink, Stream, PendingByte, PendingBits, Failed);
}

void CCITTEncodeG4Row(const uint8_t* Row, int32_t Width, TStream& Stream, uint8_t& PendingByte,
                      int32_t& PendingBits, std::vector<uint8_t>& RefRow, bool& Failed, int32_t FillOrder) {
  TBitSink sink(PendingByte, PendingBits, FillOrder, RowReserve(Width));
  const size_t rowBytes = static_cast<size_t>((std::max(Width, 0) + 7) / 8);
  if (!Row) {
    sink.Put(kEOL);
    sink.Put(kEOL);
    sink.PadToByte();
    RefRow.clear();
  } else {
    if (RefRow.size() != rowBytes) RefRow.assign(rowBytes, 0);  // all white
    Encode2DRow(sink, Row, RefRow.data(), Width);
    RefRow.assign(Row, Row + rowBytes);
  }
  Finish(sink, Stream, PendingByte, PendingBits, Failed);
}

void InitializeTifCCITT() {}
void FinalizeTifCCITT() {}
