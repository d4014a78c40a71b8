#include "pictures/gif_palettes.h"

#include <vector>

#include "pictures/gif_dib.h"
#include "platform/gdi/pixel_rows.h"

namespace {

constexpr uint8_t PC_NOCOLLAPSE = 4;

HPALETTE Greys(std::initializer_list<uint8_t> levels) {
  std::vector<PALETTEENTRY> e;
  for (uint8_t v : levels) e.push_back({v, v, v, PC_NOCOLLAPSE});
  return MakePalette(e.data(), static_cast<int32_t>(e.size()));
}

HPALETTE FromQuads(const std::vector<RGBQUAD>& quads) {
  std::vector<PALETTEENTRY> e;
  for (const RGBQUAD& q : quads) e.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
  return MakePalette(e.data(), static_cast<int32_t>(e.size()));
}

}  // namespace

HPALETTE MakePalette(const PALETTEENTRY* Entries, int32_t Count) {
  std::vector<uint8_t> buf(sizeof(LOGPALETTE) + static_cast<size_t>(Count) * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<uint16_t>(Count);
  for (int32_t i = 0; i < Count; ++i) lp->palPalEntry[i] = Entries[i];
  return GDICheck(CreatePalette(lp));
}

HPALETTE WebPalette() {
  std::vector<PALETTEENTRY> e;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        e.push_back({static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0});
  return MakePalette(e.data(), 216);
}

HPALETTE GrayScalePalette() {
  std::vector<PALETTEENTRY> e;
  for (int i = 0; i < 256; ++i) e.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), PC_NOCOLLAPSE});
  return MakePalette(e.data(), 256);
}

HPALETTE BlackWhitePalette() { return Greys({0, 255}); }

HPALETTE FourGrayPalette() { return Greys({0, 128, 192, 255}); }

HPALETTE HalftonePalette() { return GDICheck(CreateHalftonePalette(nullptr)); }

HPALETTE SystemPalette20() {
  auto* stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  const uint32_t n = GetPaletteEntries(GDICheck(stock), 0, 0, nullptr);
  std::vector<PALETTEENTRY> e(n);
  GetPaletteEntries(stock, 0, n, e.data());
  return MakePalette(e.data(), static_cast<int32_t>(n));
}

HPALETTE SystemPalette16() { return FromQuads(Vga16Colors()); }
