#pragma once
// The fixed palettes of colour reduction, each a new palette object owned by the caller.
#include "platform/gdi/gdi.h"

// A palette object deleted when it goes out of scope (none is fine).
struct TPaletteOwner {
  HPALETTE Palette = nullptr;
  TPaletteOwner() = default;
  explicit TPaletteOwner(HPALETTE palette) : Palette(palette) {}
  ~TPaletteOwner() {
    if (Palette) DeleteObject(Palette);
  }
  TPaletteOwner(const TPaletteOwner&) = delete;
  TPaletteOwner& operator=(const TPaletteOwner&) = delete;
};

// 216 entries: entry r * 36 + g * 6 + b is (51r, 51g, 51b) for r, g, b from 0 to 5.
HPALETTE WebPalette();
// 256 greys, entry i is (i, i, i).
HPALETTE GrayScalePalette();
// Black and white.
HPALETTE BlackWhitePalette();
// Black, 128, 192 and white greys.
HPALETTE FourGrayPalette();
// The screen's halftone palette.
HPALETTE HalftonePalette();
// A copy of the system's default palette: its twenty static colours.
HPALETTE SystemPalette20();
// The sixteen VGA colours, the palette drawing falls back to for pictures without one.
HPALETTE SystemPalette16();
