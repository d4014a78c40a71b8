#include "pictures/gif_dib.h"

#include <cstdlib>

#include "pictures/gif_errors.h"

TDIBReader::TDIBReader(TBitmap* Bitmap, TPixelFormat PixelFormat) : TDIB(Bitmap, PixelFormat) {
  Bitmap->SetPixelFormat(PixelFormat);
}

uint8_t* TDIBReader::ScanLine(int32_t Row) { return Bitmap()->ScanLine(Row); }

TDIBWriter::TDIBWriter(TBitmap* Bitmap, TPixelFormat PixelFormat, int32_t Width, int32_t Height, HPALETTE Palette)
    : TDIB(Bitmap, PixelFormat), width_(std::abs(Width)), height_(std::abs(Height)) {
  if (PixelFormat != pf8bit && PixelFormat != pf24bit) GIFError(sInvalidPixelFormat);
  if (width_ == 0 || height_ == 0) GIFError(sInvalidDimensions);
  if (PixelFormat == pf8bit) {
    colors_.resize(256);
    const uint32_t n = Palette ? std::min<uint32_t>(GetPaletteEntries(Palette, 0, 0, nullptr), 256) : 0;
    std::vector<PALETTEENTRY> entries(n);
    if (n > 0) GetPaletteEntries(Palette, 0, n, entries.data());
    for (uint32_t i = 0; i < n; ++i) colors_[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  }
}

void TDIBWriter::CreateDIB() {
  TBitmap* b = Bitmap();
  try {
    b->SetSize(0, 0);
    b->SetPixelFormat(PixelFormat());
    b->SetSize(width_, height_);
  } catch (const EOutOfResources&) {
    b->SetSize(0, 0);
    throw EOutOfMemory(sOutOfMemDIB);
  }
  if (b->Empty()) throw EOutOfMemory(sOutOfMemDIB);
  if (!colors_.empty()) b->SetColorTable(colors_.data(), static_cast<int32_t>(colors_.size()));
  created_ = true;
}

uint8_t* TDIBWriter::ScanLine(int32_t Row) {
  if (Row < 0 || Row >= height_) throw EInvalidGraphicOperation(sScanLine);
  if (!created_) CreateDIB();
  return Bitmap()->ScanLine(Row);
}
