#pragma once
// Rows of pixels in one of the GDI's formats, and the conversions between their stored values
// ("physical" values: a palette index, a 16-bit word, the 24 or 32 bits of a pixel) and colours.
// Raster operations work on physical values, as the GDI does; colours cross formats as RGB.
// Internal to the drawing layer.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi.h"

// A colour as 0x00RRGGBB (blue in the low byte: the byte order of a 24- or 32-bit pixel).
inline uint32_t ColorRefToRgb(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF RgbToColorRef(uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

struct PixelRows {
  uint8_t* row0 = nullptr;  // the top row
  ptrdiff_t stride = 0;     // bytes from one row to the one below it (negative: bottom-up storage)
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 0;     // 1, 4, 8, 16, 24 or 32
  std::vector<RGBQUAD> colors;  // colour table of 1..8-bit rows
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue masks of 16- and 32-bit rows
  bool monoDDB = false;     // a monochrome device bitmap: colours map through the DC's colours
  uint32_t alphaFill = 0;   // or-ed into 32-bit values made from colours (0xFF000000: opaque)

  uint8_t* Row(int32_t y) const { return row0 + static_cast<ptrdiff_t>(y) * stride; }
  bool Valid() const { return row0 != nullptr && width > 0 && height > 0; }
  TRect Bounds() const { return {0, 0, width, height}; }
  // The bits a physical value has.
  uint32_t ValueMask() const { return bitCount >= 32 ? 0xFFFFFFFFu : ((1u << bitCount) - 1); }
  bool Indexed() const { return bitCount <= 8; }
  // Fills in the default masks of 16- and 32-bit rows (5-5-5 and 8-8-8) when none are set.
  void DefaultMasks();
};

// True for 32-bit rows stored blue, green, red, then the fourth byte.
bool StandardMasks32(const PixelRows& rows);

// Finds palette indexes for colours: an exact entry when there is one, else the nearest by
// squared RGB distance (the first of equals). Remembers what it found.
class ColorMatcher {
 public:
  explicit ColorMatcher(const std::vector<RGBQUAD>& colors) : colors_(colors) {}
  uint32_t Index(uint32_t rgb);

 private:
  const std::vector<RGBQUAD>& colors_;
  std::unordered_map<uint32_t, uint32_t> found_;
};

// True for 32-bit rows in the plain layout (blue, green, red bytes, the fourth unused or alpha).
bool StandardMasks32(const PixelRows& rows);

// Physical value of a colour (0x00RRGGBB) on these rows.
uint32_t RgbToPhys(const PixelRows& rows, uint32_t rgb, ColorMatcher* matcher = nullptr);
// Colour (0x00RRGGBB) of a physical value; palette indexes beyond the table give black.
uint32_t PhysToRgb(const PixelRows& rows, uint32_t value);

// Physical values of n pixels of row y from column x0 (all inside the rows).
void ReadPhys(const PixelRows& rows, int32_t y, int32_t x0, int32_t n, uint32_t* out);
// Stores n physical values; where keep is given, pixels with keep[i] != 0 stay as they are.
void WritePhys(const PixelRows& rows, int32_t y, int32_t x0, int32_t n, const uint32_t* values,
               const uint8_t* keep = nullptr);
uint32_t GetPhys(const PixelRows& rows, int32_t x, int32_t y);
void SetPhys(const PixelRows& rows, int32_t x, int32_t y, uint32_t value);

// Colours of n pixels of a row (0x00RRGGBB).
void ReadRgb(const PixelRows& rows, int32_t y, int32_t x0, int32_t n, uint32_t* out);
// Converts colours to physical values of these rows.
void RgbToPhysRow(const PixelRows& rows, const uint32_t* rgb, int32_t n, uint32_t* out, ColorMatcher& matcher);

// The colour tables the framework gives new bitmaps: black and white, the 16 VGA colours, and
// the 256-colour halftone palette; and the system's twenty static colours (the default palette),
// whose first ten and last ten open and close the halftone palette.
std::vector<RGBQUAD> MonochromeColors();
std::vector<RGBQUAD> Vga16Colors();
std::vector<RGBQUAD> HalftoneColors();
std::vector<RGBQUAD> StaticColors();
