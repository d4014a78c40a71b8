#include "imaging/core/ie_bits.h"

#include <cstring>
#include <limits>

int64_t RowLength64(int64_t Width, int64_t BitsPerPixel, int32_t Alignment) {
  if (Width < 0 || BitsPerPixel < 0 || Alignment <= 0) return -1;
  // Widths and depths fit 32 bits, so the product cannot overflow 64 bits.
  if (Width > std::numeric_limits<uint32_t>::max() || BitsPerPixel > 64) return -1;
  const int64_t bits = Width * BitsPerPixel;
  if (Alignment == 32) return ((bits + 31) >> 5) * 4;
  return (bits + Alignment - 1) / Alignment * (Alignment / 8);
}

int32_t RowLength(int32_t Width, int32_t BitsPerPixel, int32_t Alignment) {
  const int64_t len = RowLength64(Width, BitsPerPixel, Alignment);
  if (len < 0 || len > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(len);
}

int64_t ImageDataSize(int32_t Width, int32_t Height, int32_t BitsPerPixel, int32_t Alignment) {
  const int32_t len = RowLength(Width, BitsPerPixel, Alignment);
  if (len < 0 || Height < 0) return -1;
  return static_cast<int64_t>(len) * Height;  // < 2^62
}

int32_t PixelFormatBitCount(TPixelFormat PixelFormat) {
  switch (PixelFormat) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

int32_t RowLengthForTPixelFormat(int32_t Width, TPixelFormat PixelFormat) {
  return RowLength(Width, PixelFormatBitCount(PixelFormat), 32);
}

TIEPixelFormat TPixelFormatToIE(TPixelFormat PixelFormat) {
  switch (PixelFormat) {
    case pf1bit: return ie1g;
    case pf4bit:
    case pf8bit: return ie8p;
    default: return ie24RGB;
  }
}

void ReverseDWordBits(uint32_t& D) {
  uint32_t v = SwapDWord(D);
  v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
  v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
  v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
  D = v;
}

void* SwapWordArray(void* P, int32_t Count) {
  uint8_t* p = static_cast<uint8_t*>(P);
  for (int32_t i = 0; i < Count; ++i, p += 2) {
    const uint8_t t = p[0];
    p[0] = p[1];
    p[1] = t;
  }
  return p;
}

int32_t BitFieldWidth(uint32_t Mask) {
  if (Mask == 0) return 0;
  int bit = 0;
  while (bit < 31 && !(Mask & (1u << bit))) ++bit;
  int32_t width = 0;
  while (bit <= 31 && (Mask & (1u << bit))) {
    ++width;
    ++bit;
  }
  return width;
}

int32_t CeilLog2(int32_t N) {
  if (N == 0) return -1;
  const uint32_t n = static_cast<uint32_t>(N);
  int32_t high = 31;
  while (!(n & (1u << high))) --high;
  return (n & (n - 1)) == 0 ? high : high + 1;
}

void FillRowBits(uint8_t* Row, int32_t X, int32_t Count, bool Value) {
  if (Count <= 0) return;
  const int32_t end = X + Count;
  for (; X < end && (X & 7); ++X) SetRowBit(Row, X, Value);
  const int32_t wholeBytes = (end - X) >> 3;
  if (wholeBytes > 0) std::memset(Row + (X >> 3), Value ? 0xFF : 0x00, wholeBytes);
  X += wholeBytes << 3;
  for (; X < end; ++X) SetRowBit(Row, X, Value);
}

void CopyRowBits(const uint8_t* Src, int32_t SrcX, uint8_t* Dst, int32_t DstX, int32_t Count) {
  if (Count <= 0) return;
  // Single bits until the destination reaches a byte boundary.
  for (; Count > 0 && (DstX & 7); ++SrcX, ++DstX, --Count) SetRowBit(Dst, DstX, GetRowBit(Src, SrcX));
  // Whole destination bytes, each made of the tail of one source byte and the head of the next.
  const int32_t whole = Count >> 3;
  const uint8_t* s = Src + (SrcX >> 3);
  uint8_t* d = Dst + (DstX >> 3);
  const int32_t shift = SrcX & 7;
  if (shift == 0) {
    std::memmove(d, s, static_cast<size_t>(whole));
  } else {
    // Byte i takes source bits SrcX + 8i .. SrcX + 8i + 7, all inside the run, so s[i + 1] is
    // never read past the run's last byte.
    for (int32_t i = 0; i < whole; ++i)
      d[i] = static_cast<uint8_t>((s[i] << shift) | (s[i + 1] >> (8 - shift)));
  }
  SrcX += whole << 3;
  DstX += whole << 3;
  Count -= whole << 3;
  for (; Count > 0; ++SrcX, ++DstX, --Count) SetRowBit(Dst, DstX, GetRowBit(Src, SrcX));
}
