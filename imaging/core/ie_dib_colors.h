#pragma once
// The colour tables of palette pictures in BMP files and DIBs, read alike by the BMP reader and
// the DIB import.
#include <array>
#include <cstdint>

#include "imaging/core/ie_rgb.h"

// The colour each of the 256 indices finds: the Count table entries, black past them; a 1-bit
// picture without a table is black and white.
std::array<TIERGB, 256> IndexColors(const TIERGB* Table, int64_t Count, int32_t BitsPerPixel);

// How a 1-bit picture decodes. Black and white in either order make it bilevel: its bits become an
// ie1g bitmap, inverted when white comes first (a set bit of ie1g is white). Any other pair of
// colours makes it a palette picture like those of 4 and 8 bits.
enum TIEOneBitRule : uint8_t { obrPalette, obrBilevel, obrBilevelInverted };
TIEOneBitRule OneBitRule(const std::array<TIERGB, 256>& Colors);
