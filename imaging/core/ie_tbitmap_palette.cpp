#include "imaging/core/ie_tbitmap_palette.h"

#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "platform/gdi/bitmap.h"

void SetGrayPaletteTBitmap(TBitmap* Bitmap) {
  if (!Bitmap || Bitmap->PixelFormat() != pf8bit) return;
  RGBQUAD table[256];
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    table[i] = RGBQUAD{v, v, v, 0};
  }
  Bitmap->SetColorTable(table, 256);
}

bool IsGrayPaletteTBitmap(TBitmap* Bitmap) {
  if (!Bitmap) return false;
  const std::vector<RGBQUAD> table = Bitmap->ColorTable();
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].rgbRed != i || table[i].rgbGreen != i || table[i].rgbBlue != i) return false;
  return true;
}

void ReadPaletteFromTBitmap(TBitmap* Bitmap, TIEBitmap* Target) {
  if (!Bitmap || !Target || Bitmap->PixelFormat() != pf8bit || Target->GetPixelFormat() != ie8p) return;
  const std::vector<RGBQUAD> table = Bitmap->ColorTable();
  for (size_t i = 0; i < table.size() && i < 256; ++i)
    Target->SetPaletteColor(static_cast<int32_t>(i), CreateRGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue));
}
