#pragma once
// Images of very few colours: two-colour images as 1-bit bitmaps, bit inversion of 1-bit rows, and
// the nearest entry of a small palette. The TIFF, GIF, PNG and BMP writers store two-colour images
// as 1-bit through them.
#include <cstdint>
#include <memory>

#include "imaging/core/ie_rgb.h"

class TIEBitmap;

// Inverts every bit of Length bytes.
void InvertBuffer(void* Buffer, int64_t Length);
// Inverts every bit of every row (whole padded rows): swaps black and white of an ie1g bitmap.
void InvertBitmapRows(TIEBitmap& Bitmap);

// When the bitmap (any format, read as RGB) holds exactly two colours: a new ie1g bitmap of its size
// whose bit 0 is the darker colour (by the engine's grey weights, rounded as whole grey levels; on a
// tie the first colour met) and bit 1 the lighter, with Color1 the darker and Color2 the lighter.
// One colour, more than two, or an empty bitmap: nil, and the colours are not defined.
std::unique_ptr<TIEBitmap> TwoColorsTo1Bit(TIEBitmap& Bitmap, TIERGB& Color1, TIERGB& Color2);

// The largest index an ie8p bitmap's pixels use (0 for other formats or an empty bitmap).
int32_t MaxPaletteIndex(TIEBitmap& Bitmap);

// The index of the palette entry nearest to Color by the sum of absolute channel differences, the
// first of equals winning; 0 for an empty palette.
int32_t FindNearestPaletteIndex(const TIERGB* Palette, int32_t Count, TIERGB Color);
