#pragma once
// Conversion of pixel rows between the pixel formats, on plain byte arrays. The converter for one
// pair of formats is chosen once (with its lookup tables) and then applied to every row, so the
// per-pixel loops carry no format switch and no virtual call.
//
// The rules are those of the pixel-format conversion of TIEBitmap: grey levels by the engine's grey
// weights, 16-bit grey of colour by the weights 212/713/75 per mille, float grey by
// 0.2126/0.7152/0.0722, ie32f values clamped to 0..1 before they are scaled, the fourth byte of
// ie32RGB set to 255. Pairs without a rule of their own go through blue, green, red bytes.
#include <cstdint>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_rgb.h"

class TIEBitmap;

class TIERowConverter {
 public:
  // From and To: the two formats. Palette: the source palette for an ie8p source (indices beyond
  // PaletteLength read black). RangeMin, RangeMax: the display range mapped to 0..255 when ie16g
  // goes to colour (none when equal).
  TIERowConverter(TIEPixelFormat From, TIEPixelFormat To, const TIERGB* Palette = nullptr,
                  int32_t PaletteLength = 0, double RangeMin = 0, double RangeMax = 0);
  TIERowConverter(const TIERowConverter&) = delete;
  TIERowConverter& operator=(const TIERowConverter&) = delete;

  // False when the pair has no row rule: a destination of ie1g (dithering and thresholds work on
  // the whole image), ie8p from a colour format (quantized on the whole image), or ieNoFormat.
  bool Valid() const { return fn_ != nullptr; }
  // Count pixels of a Src row into a Dst row. Only for a Valid converter; 1-bit rows start at
  // their first bit.
  void Convert(const void* Src, void* Dst, int32_t Count);

  // Tables the row routines read.
  struct Tables {
    TIERGB palette[256];    // ie8p entries, black beyond the palette length
    uint8_t grey8[256];     // grey of each palette entry
    uint16_t grey16[256];   // 16-bit grey of each palette entry
    float greyF[256];       // float grey of each palette entry, or byte / 255
    std::vector<uint8_t> range16;  // ie16g word to 0..255 by the display range (empty: word shr 8)
  };

 private:
  using RowFn = void (*)(const uint8_t* src, uint8_t* dst, int32_t count, const Tables& t);
  static RowFn Direct(TIEPixelFormat From, TIEPixelFormat To);

  RowFn fn_ = nullptr;
  // Two-stage conversions through blue, green, red bytes.
  RowFn toRGB_ = nullptr;
  RowFn fromRGB_ = nullptr;
  std::vector<uint8_t> scratch_;
  Tables tables_;
};

// Rows of a bitmap of any format read in one format: the row itself when the bitmap has that
// format, else converted into a row of the reader's own. As blue, green, red bytes (ie24RGB) this
// is the reading of the processing routines: ie1g 0 or 255, ie8p through the palette, grey
// formats in all three channels (ie16g by its high byte, ie32f clamped to 0..1 and scaled to
// 255), ieCMYK and ieCIELab converted, ieRGB48 by the high byte of each word, ie32RGB by its first
// three bytes. As ie8g: the grey level of that colour.
class TIERowReader {
 public:
  // To: ie24RGB or ie8g (or any format the converter reaches from the bitmap's).
  TIERowReader(TIEBitmap& Bitmap, TIEPixelFormat To);
  // Row Y as Width pixels of the format. The pointer is valid until the next Read (and, when the
  // bitmap has the format itself, until the bitmap's next GetRow). Black when no rule reaches it.
  const uint8_t* Read(int32_t Y);

 private:
  TIEBitmap& bitmap_;
  int32_t width_;
  bool direct_;
  TIERowConverter converter_;
  std::vector<uint8_t> row_;
};

// The 16-bit grey of 16-bit channels: (R * 212 + G * 713 + B * 75) div 1000.
constexpr uint16_t Grey16(uint32_t R, uint32_t G, uint32_t B) {
  return static_cast<uint16_t>((R * 212 + G * 713 + B * 75) / 1000);
}
// The float grey of 8-bit channels, 0..1 (channels may be fractional).
constexpr double GreyFloat(double R, double G, double B) { return (R * 0.2126 + G * 0.7152 + B * 0.0722) / 255; }
// An ie32f value clamped to 0..1 (NaN gives 0).
constexpr double ClampUnit(float V) { return V >= 1.0f ? 1.0 : (V > 0.0f ? static_cast<double>(V) : 0.0); }
