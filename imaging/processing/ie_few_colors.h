#pragma once
// Images of very few colours: two-colour images as 1-bit bitmaps, bit inversion of 1-bit rows, and
// the nearest entry of a small palette. The TIFF, GIF, PNG and BMP writers store two-colour images
// as 1-bit through them.
#include <cstdint>
#include <memory>

#include "imaging/core/ie_rgb.h"

class TIEBitmap;

// Copies BitCount bits from bit SrcBit of Source to bit DestBit of Dest, the most significant bit of
// a byte first, keeping the bits of Dest around the run. At most SrcSize bytes of Source (counted
// from its start) are read; bits of the run past them are copied as 0. Nothing for BitCount < 1 or
// a negative bit position.
void CopyBitRun(void* Dest, const void* Source, int32_t DestBit, int32_t SrcBit, int32_t BitCount, int32_t SrcSize);

// Inverts every bit of Length bytes.
void InvertBuffer(void* Buffer, int64_t Length);
// Inverts every bit of every row (whole padded rows): swaps black and white of an ie1g bitmap.
void InvertBitmapRows(TIEBitmap& Bitmap);

// When the bitmap (any format, read as RGB) holds exactly two colours: a new ie1g bitmap of its size
// whose bit 0 is the darker colour (by the engine's grey weights, rounded as whole grey levels; on a
// tie the first colour met) and bit 1 the lighter, with Color1 the darker and Color2 the lighter.
// One colour, more than two, or an empty bitmap: nil, and the colours are not defined.
std::unique_ptr<TIEBitmap> TwoColorsTo1Bit(TIEBitmap& Bitmap, TIERGB& Color1, TIERGB& Color2);

// An ie1g copy of the bitmap for writers of 1-bit pictures: a two-colour picture through
// TwoColorsTo1Bit (Dark and Light, when given, get its darker and lighter colour), any other through
// the pixel container's conversion (Dark and Light get black and white). Nil when memory fails.
std::unique_ptr<TIEBitmap> BilevelCopy(TIEBitmap& Bitmap, TIERGB* Dark = nullptr, TIERGB* Light = nullptr);

// The largest index an ie8p bitmap's pixels use (0 for other formats or an empty bitmap).
int32_t MaxPaletteIndex(TIEBitmap& Bitmap);

// The index of the palette entry nearest to Color by the sum of absolute channel differences, the
// first of equals winning; 0 for an empty palette.
int32_t FindNearestPaletteIndex(const TIERGB* Palette, int32_t Count, TIERGB Color);
