#pragma once
// Row sizes, bit access in 1-bit rows, bit reversal and byte swapping.
#include <array>
#include <cassert>
#include <cstdint>

#include "imaging/core/ie_defs.h"
#include "platform/gdi/pixel_format.h"

// Bit weights of the pixels of a byte of a 1-bit row, leftmost pixel first: 128, 64, ..., 1.
inline constexpr uint8_t IEBitMask1[8] = {128, 64, 32, 16, 8, 4, 2, 1};
// Entry b is b with its 8 bits in reverse order.
inline constexpr std::array<uint8_t, 256> IEBitReverseTable = [] {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    int r = 0;
    for (int i = 0; i < 8; ++i)
      if (b & (1 << i)) r |= 0x80 >> i;
    t[b] = static_cast<uint8_t>(r);
  }
  return t;
}();

// Bytes of a row of Width pixels of BitsPerPixel bits padded to Alignment bits, exact in 64 bits;
// -1 when an argument is negative or Alignment is not positive. Alignment 32 gives
// ((Width * Bits + 31) div 32) * 4, any other A gives ceil(Width * Bits / A) * (A div 8).
int64_t RowLength64(int64_t Width, int64_t BitsPerPixel, int32_t Alignment = 32);
// The same as an int32; -1 when the row length cannot be represented (a huge width from a file
// header), so a caller never sizes a short buffer from a wrapped product.
int32_t RowLength(int32_t Width, int32_t BitsPerPixel, int32_t Alignment = 32);
// Bytes of a whole image (RowLength64 * Height) in 64 bits; -1 for negative or overflowing sizes.
int64_t ImageDataSize(int32_t Width, int32_t Height, int32_t BitsPerPixel, int32_t Alignment = 32);

// Bits per pixel of a framework bitmap format: 1, 4, 8, 15, 16, 24, 32; pfDevice, pfCustom: 0.
int32_t PixelFormatBitCount(TPixelFormat PixelFormat);
int32_t RowLengthForTPixelFormat(int32_t Width, TPixelFormat PixelFormat);
// pf1bit -> ie1g; pf4bit, pf8bit -> ie8p; anything else -> ie24RGB.
TIEPixelFormat TPixelFormatToIE(TPixelFormat PixelFormat);

// 0 when bit X of a 1-bit row is clear, else its weight (128 for X mod 8 = 0 ... 1 for 7).
inline int32_t GetRowBit(const void* Row, int32_t X) {
  assert(Row != nullptr && X >= 0);
  return static_cast<const uint8_t*>(Row)[X >> 3] & IEBitMask1[X & 7];
}
// Sets bit X when Value <> 0, clears it when Value = 0.
inline void SetRowBit(void* Row, int32_t X, int32_t Value) {
  assert(Row != nullptr && X >= 0);
  uint8_t* p = static_cast<uint8_t*>(Row) + (X >> 3);
  if (Value != 0)
    *p |= IEBitMask1[X & 7];
  else
    *p &= static_cast<uint8_t>(~IEBitMask1[X & 7]);
}

// The same under the names the row tools use: nonzero when bit X is set; sets or clears bit X.
inline int32_t GetPixelBit(const void* Row, int32_t X) { return GetRowBit(Row, X); }
inline void SetPixelBit(void* Row, int32_t X, bool Value) { SetRowBit(Row, X, Value ? 1 : 0); }

// Bits X .. X + Count - 1 of a 1-bit row set (Value true) or cleared; the bits around them are kept.
void FillRowBits(uint8_t* Row, int32_t X, int32_t Count, bool Value);
// Copies Count bits of Src starting at bit SrcX to Dst starting at bit DstX, most significant bit
// first; the bits of Dst around the run are kept. Src and Dst may be the same row when the run
// moves left or stays (the copy runs from the left).
void CopyRowBits(const uint8_t* Src, int32_t SrcX, uint8_t* Dst, int32_t DstX, int32_t Count);

inline void ReverseByteBits(uint8_t& B) { B = IEBitReverseTable[B]; }
// D with its 32 bits in reverse order (bit 0 becomes bit 31).
void ReverseDWordBits(uint32_t& D);

// The two low bytes exchanged, the upper 16 bits kept.
constexpr uint32_t SwapWord(uint32_t V) { return (V & 0xFFFF0000u) | ((V & 0xFFu) << 8) | ((V >> 8) & 0xFFu); }
// Exchanges the bytes of Count 16-bit words in place; returns the address after the last word.
void* SwapWordArray(void* P, int32_t Count);
// The four bytes in reverse order.
constexpr uint32_t SwapDWord(uint32_t V) {
  return (V >> 24) | ((V >> 8) & 0xFF00u) | ((V << 8) & 0xFF0000u) | (V << 24);
}

// The value with its bytes exchanged when Swap is set (big-endian data of the raw camera reader),
// else unchanged.
constexpr uint16_t SwapWordIf(uint16_t Value, bool Swap) {
  return Swap ? static_cast<uint16_t>((Value >> 8) | (Value << 8)) : Value;
}
constexpr uint32_t SwapDWordIf(uint32_t Value, bool Swap) { return Swap ? SwapDWord(Value) : Value; }

// Number of consecutive set bits from the lowest set bit (width of a bit-field colour channel).
int32_t BitFieldWidth(uint32_t Mask);
// -1 for 0; else the number of bits N distinct values need (2 -> 1, 3 -> 2, 256 -> 8).
int32_t CeilLog2(int32_t N);
