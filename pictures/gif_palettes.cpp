#include "pictures/gif_palettes.h"

#include <vector>

#include "pictures/gif_dib.h"
#include "platform/gdi/pixel_rows.h"

namespace {

constexpr uint8_t PC_NOCOLLAPSE = 4;

HPALETTE MakePalette(const std::vector<PALETTEENTRY>& entries) {
  return GDICheck(CreatePaletteFromEntries(entries.data(), static_cast<uint32_t>(entries.size())));
}

HPALETTE Greys(std::initializer_list<uint8_t> levels) {
  std::vector<PALETTEENTRY> e;
  for (uint8_t v : levels) e.push_back({v, v, v, PC_NOCOLLAPSE});
  return MakePalette(e);
}

HPALETTE FromQuads(const std::vector<RGBQUAD>& quads) {
  std::vector<PALETTEENTRY> e;
  for (const RGBQUAD& q : quads) e.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
  return MakePalette(e);
}

}  // namespace

HPALETTE WebPalette() {
  std::vector<PALETTEENTRY> e;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        e.push_back({static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0});
  return MakePalette(e);
}

HPALETTE GrayScalePalette() {
  std::vector<PALETTEENTRY> e;
  for (int i = 0; i < 256; ++i) e.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), PC_NOCOLLAPSE});
  return MakePalette(e);
}

HPALETTE BlackWhitePalette() { return Greys({0, 255}); }

HPALETTE FourGrayPalette() { return Greys({0, 128, 192, 255}); }

HPALETTE HalftonePalette() { return GDICheck(CreateHalftonePalette(nullptr)); }

HPALETTE SystemPalette20() {
  auto* stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  const uint32_t n = GetPaletteEntries(GDICheck(stock), 0, 0, nullptr);
  std::vector<PALETTEENTRY> e(n);
  GetPaletteEntries(stock, 0, n, e.data());
  return MakePalette(e);
}

HPALETTE SystemPalette16() { return FromQuads(Vga16Colors()); }
