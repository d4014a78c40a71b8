#pragma once
// Small row tools that codecs, views and the DIB import share: red/blue swaps of 24- and 48-bit
// pixels, expansion of 1-bit rows to 24 bits, and the row converter between bit depths of the Targa
// writer.
#include <array>
#include <cstdint>

#include "imaging/core/ie_rgb.h"

class TBitmap;
class TIEQuantizer;
struct TIEProgressRecord;

// Copies Count 3-byte pixels and exchanges bytes 0 and 2 of each copy; Dest may be Src.
void CopySwapRB(void* Dest, const void* Src, int32_t Count);
// Exchanges bytes 0 and 2 of Count 3-byte pixels in place.
void SwapRB(void* Pixels, int32_t Count);
// The same; Extra is not used.
inline void SwapRBPixels(void* Pixels, int32_t /*Extra*/, int32_t Count) { SwapRB(Pixels, Count); }
// Exchanges the first and third 16-bit words of Count 6-byte pixels; returns the address after the
// last pixel.
void* SwapRB48(void* Pixels, int32_t Count);

// Count pixels of big-endian 16-bit red, green, blue (PPM, PNG order) as 24-bit blue, green, red
// pixels of each sample's high byte.
void BigEndianRGB48ToBGR24(const void* Src, void* Dest, int32_t Count);
// Count 24-bit pixels as 32-bit ones, the fourth byte of each from Alpha (255 throughout when Alpha
// is nil).
void AddAlphaToRow(const void* Src, const uint8_t* Alpha, void* Dest, int32_t Count);
// A 1-bit row (most significant bit first) with a set bit wherever Count alpha values are below
// 255: the transparency masks of icons and cursors. Bits past Count in the last byte are clear.
void AlphaToTransparencyBits(const uint8_t* Alpha, uint8_t* Bits, int32_t Count);

// Entry v: the 8 pixels of the 1-bit byte v as 24-bit pixels, the most significant bit first, white
// (255, 255, 255) for a set bit, black for a clear one. Built at compile time, so it is complete
// before any start-up code runs.
inline constexpr std::array<std::array<uint8_t, 24>, 256> OneBitExpansionTable = [] {
  std::array<std::array<uint8_t, 24>, 256> t{};
  for (int v = 0; v < 256; ++v)
    for (int k = 0; k < 8; ++k)
      for (int c = 0; c < 3; ++c) t[v][3 * k + c] = (v >> (7 - k)) & 1 ? 255 : 0;
  return t;
}();
// The processing start-up's step for the table; it is built at compile time, so nothing is left
// to do.
inline void BuildOneBitExpansionTable() {}

// Count pixels of a 1-bit row (most significant bit first, set = white) as 24-bit pixels.
void Expand1BitRowTo24(const void* Src, void* Dest, int32_t Count);
// Makes Dest a 24-bit framework bitmap of Source's size holding the 1-bit Source's pixels in the
// colours of its colour table (black and white without one); after row r (from 1) reports
// Trunc(r * 100 / (Height + 0.5)) through Progress.
void ConvertTBitmap1BitTo24(TBitmap& Source, TBitmap& Dest, TIEProgressRecord& Progress);

// Converts Count pixels of a row from SrcBitCount to DestBitCount bits (1- and 4-bit samples most
// significant first): copies for equal depths; 1 -> 4 and 1 -> 8 write 0 or 1 per pixel; 4 -> 8
// widens the nibbles; 1, 4 and 8 -> 24 look the values up in Palette (values past PaletteLength
// give black); 8 -> 1 sets a bit for every nonzero byte; 24 -> 4 and 24 -> 8 write
// Quantizer.RGBIndex (0 without a quantizer); 32 -> 24 drops the fourth byte. Destinations of 1 and
// 4 bits are cleared first. Other pairs leave Dest alone. Returns the destination row's length for
// DestBitCount 1, 4, 8 and 24, else 0.
int32_t ConvertRowBitDepth(const void* Src, void* Dest, int32_t SrcBitCount, int32_t DestBitCount, int32_t Count,
                           const TIERGB* Palette, int32_t PaletteLength, TIEQuantizer* Quantizer);
