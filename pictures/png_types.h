#pragma once
// Small types every part of the PNG picture class speaks in.
#include <cstdint>

#include "platform/gdi/graphics.h"

// Colour types of the PNG header.
enum TPNGColorType : uint8_t { ctGrayscale = 0, ctRGB = 2, ctPalette = 3, ctGrayscaleAlpha = 4, ctRGBAlpha = 6 };

// The row filters the encoder may use (bits 0..4 of one byte).
enum TPNGRowFilter : uint8_t { prfNone, prfSub, prfUp, prfAverage, prfPaeth };
using TPNGRowFilters = TEnumSet<TPNGRowFilter>;
