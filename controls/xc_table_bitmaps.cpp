#include "controls/xc_table_bitmaps.h"

#include <cstring>

#include "platform/gdi/bitmap.h"

namespace {

// The file header, the information header and the colour table of a bottom-up picture, with room
// for its rows.
std::vector<uint8_t> FileFrame(int32_t width, int32_t height, uint16_t bitCount, size_t& offBits) {
  const int32_t rowBytes = DibRowBytes(width, bitCount);
  const uint32_t paletteBytes = bitCount == 1 ? 2 * sizeof(RGBQUAD) : 0;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up
  info.biBitCount = bitCount;
  info.biClrUsed = bitCount == 1 ? 2 : 0;
  info.biSizeImage = static_cast<uint32_t>(rowBytes * height);
  file.bfOffBits = static_cast<uint32_t>(sizeof file + sizeof info + paletteBytes);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<uint8_t> out(file.bfSize, 0);
  std::memcpy(out.data(), &file, sizeof file);
  std::memcpy(out.data() + sizeof file, &info, sizeof info);
  if (bitCount == 1) {
    const RGBQUAD palette[2] = {{0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0}};
    std::memcpy(out.data() + sizeof file + sizeof info, palette, sizeof palette);
  }
  offBits = file.bfOffBits;
  return out;
}

}  // namespace

std::vector<uint8_t> BitmapFileOfTable(const char* const* rows, int32_t width, int32_t height,
                                       std::initializer_list<TTableColor> colors) {
  size_t offBits = 0;
  std::vector<uint8_t> out = FileFrame(width, height, 24, offBits);
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(width, 24));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + offBits + rowBytes * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      COLORREF c = RGB(0, 0, 0);
      for (const TTableColor& t : colors)
        if (t.Letter == rows[y][x]) c = t.Color;
      row[3 * x] = GetBValue(c), row[3 * x + 1] = GetGValue(c), row[3 * x + 2] = GetRValue(c);
    }
  }
  return out;
}

std::vector<uint8_t> MonochromeBitmapFileOfTable(const char* const* rows, int32_t width, int32_t height) {
  size_t offBits = 0;
  std::vector<uint8_t> out = FileFrame(width, height, 1, offBits);
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(width, 1));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + offBits + rowBytes * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x)
      if (rows[y][x] != 'X') row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));  // white: palette entry 1
  }
  return out;
}

void RegisterTableBitmap(const std::string& name, const std::vector<uint8_t>& file) {
  RegisterBitmapResource(name, file.data(), file.size());
}
