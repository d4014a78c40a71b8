#include "pictures/gif_color_lookup.h"

#include <algorithm>

#include "imaging/processing/ie_few_colors.h"

TFastColorLookup::TFastColorLookup(HPALETTE Palette)
    : TColorLookup(static_cast<int32_t>(std::min<uint32_t>(Palette ? GetPaletteEntries(Palette, 0, 0, nullptr) : 0, 256))),
      inverse_(32768, -1) {
  const int32_t n = Colors();
  std::vector<PALETTEENTRY> e(static_cast<size_t>(n));
  if (n > 0) GetPaletteEntries(Palette, 0, static_cast<uint32_t>(n), e.data());
  palette_.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    palette_[i] = TIERGB{e[i].peBlue, e[i].peGreen, e[i].peRed};
    // An entry's own cell points at it, unless an earlier entry took the cell.
    int16_t& cell = inverse_[Key(e[i].peRed, e[i].peGreen, e[i].peBlue)];
    if (cell < 0) cell = static_cast<int16_t>(i);
  }
}

uint8_t TFastColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) {
  int16_t& cell = inverse_[Key(Red, Green, Blue)];
  if (cell < 0)
    cell = static_cast<int16_t>(FindNearestPaletteIndex(palette_.data(), Colors(), TIERGB{Blue, Green, Red}));
  const TIERGB& p = palette_.empty() ? TIERGB{0, 0, 0} : palette_[cell];
  R = p.r;
  G = p.g;
  B = p.b;
  return static_cast<uint8_t>(cell);
}

uint8_t TNetscapeColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) {
  const int32_t r = (Red + 3) / 51;
  const int32_t g = (Green + 3) / 51;
  const int32_t b = (Blue + 3) / 51;
  R = static_cast<uint8_t>(51 * r);
  G = static_cast<uint8_t>(51 * g);
  B = static_cast<uint8_t>(51 * b);
  return static_cast<uint8_t>(r * 36 + g * 6 + b);
}

uint8_t TGrayScaleLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) {
  const uint8_t y = static_cast<uint8_t>((77 * Red + 150 * Green + 29 * Blue) >> 8);
  R = G = B = y;
  return y;
}

uint8_t TMonochromeLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) {
  if (77 * Red + 150 * Green + 29 * Blue < 32513) {
    R = G = B = 0;
    return 0;
  }
  R = G = B = 255;
  return 1;
}
