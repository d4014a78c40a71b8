#include "imaging/core/ie_convert_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_settings.h"

namespace {

using Tables = TIERowConverter::Tables;

// Unaligned loads and stores: rows of 16-, 32- and 48-bit pixels need not be aligned.
inline uint16_t LoadU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void StoreU16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline float LoadF(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void StoreF(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

inline bool Bit(const uint8_t* row, int32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

// An ie32f value as 0..255 and 0..65535: clamped to 0..1, then scaled and truncated.
inline uint8_t FloatTo8(float v) { return static_cast<uint8_t>(ClampUnit(v) * 255.0); }
inline uint16_t FloatTo16(float v) { return static_cast<uint16_t>(ClampUnit(v) * 65535.0); }

// The engine's grey weights, read once per row. When they are non-negative (as they always are
// in practice) the arithmetic runs unsigned, which vectorises; otherwise RGBToGray's signed rule.
struct GreyWeights {
  uint32_t r = static_cast<uint32_t>(GreyWeightRed);
  uint32_t g = static_cast<uint32_t>(GreyWeightGreen);
  uint32_t b = static_cast<uint32_t>(GreyWeightBlue);
  bool plain = GreyWeightRed >= 0 && GreyWeightGreen >= 0 && GreyWeightBlue >= 0 &&
               int64_t{GreyWeightRed} + GreyWeightGreen + GreyWeightBlue <= 8000000;
};

// ---- to blue, green, red (Out 3: ie24RGB) or blue, green, red, 255 (Out 4: ie32RGB) ----

template <int Out>
inline void Put(uint8_t* d, int32_t i, uint8_t b, uint8_t g, uint8_t r) {
  d[Out * i] = b;
  d[Out * i + 1] = g;
  d[Out * i + 2] = r;
  if constexpr (Out == 4) d[Out * i + 3] = 255;
}

template <int Out>
void Row1gToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t v = Bit(s, i) ? 255 : 0;
    Put<Out>(d, i, v, v, v);
  }
}
template <int Out>
void Row8pToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables& t) {
  for (int32_t i = 0; i < n; ++i) {
    const TIERGB c = t.palette[s[i]];
    Put<Out>(d, i, c.b, c.g, c.r);
  }
}
template <int Out>
void Row8gToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) Put<Out>(d, i, s[i], s[i], s[i]);
}
template <int Out>
void Row16gToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) Put<Out>(d, i, s[2 * i + 1], s[2 * i + 1], s[2 * i + 1]);
}
void Row16gTo24Range(const uint8_t* s, uint8_t* d, int32_t n, const Tables& t) {
  const uint8_t* range = t.range16.data();
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t v = range[LoadU16(s + 2 * i)];
    Put<3>(d, i, v, v, v);
  }
}
template <int Out>
void Row32fToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t v = FloatTo8(LoadF(s + 4 * i));
    Put<Out>(d, i, v, v, v);
  }
}
// The whole row at once, so that a colour profile converts it in one call.
template <int Out>
void RowCMYKToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  if constexpr (Out == 3) {
    CMYKRowToBGR(s, d, n);
  } else {
    uint8_t bgr[3 * 256];
    for (int32_t at = 0; at < n; at += 256) {
      const int32_t count = std::min<int32_t>(256, n - at);
      CMYKRowToBGR(s + 4 * static_cast<int64_t>(at), bgr, count);
      for (int32_t i = 0; i < count; ++i) Put<Out>(d, at + i, bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]);
    }
  }
}
// Words red, green, blue (little-endian): the high byte of each.
template <int Out>
void Row48ToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) Put<Out>(d, i, s[6 * i + 5], s[6 * i + 3], s[6 * i + 1]);
}
template <int Out>
void RowLabToRGB(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) {
    TIECIELab lab;
    std::memcpy(&lab, s + 3 * i, 3);
    const TIERGB c = CIELabToRGB(lab);
    Put<Out>(d, i, c.b, c.g, c.r);
  }
}
// ie24RGB to ie32RGB, and the first three bytes of ie32RGB to ie24RGB.
void Row24To32(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) Put<4>(d, i, s[3 * i], s[3 * i + 1], s[3 * i + 2]);
}
void Row32To24(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) Put<3>(d, i, s[4 * i], s[4 * i + 1], s[4 * i + 2]);
}

// One ieRGB48 pixel of three equal words.
inline void PutGrey48(uint8_t* d, int32_t i, uint16_t v) {
  StoreU16(d + 6 * i, v);
  StoreU16(d + 6 * i + 2, v);
  StoreU16(d + 6 * i + 4, v);
}

// ---- from blue, green, red ----

void Row24To8g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  const GreyWeights w;
  if (w.plain) {
    for (int32_t i = 0; i < n; ++i)
      d[i] = static_cast<uint8_t>((s[3 * i + 2] * w.r + s[3 * i + 1] * w.g + s[3 * i] * w.b) / 100u);
  } else {
    for (int32_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(RGBToGray(TIERGB{s[3 * i], s[3 * i + 1], s[3 * i + 2]}));
  }
}
void Row24To16g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i)
    StoreU16(d + 2 * i, Grey16(s[3 * i + 2] * 257u, s[3 * i + 1] * 257u, s[3 * i] * 257u));
}
void Row24To32f(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i)
    StoreF(d + 4 * i, static_cast<float>(GreyFloat(s[3 * i + 2], s[3 * i + 1], s[3 * i])));
}
void Row24ToCMYK(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) { BGRRowToCMYK(s, d, n); }
void Row24To48(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) {
    StoreU16(d + 6 * i, static_cast<uint16_t>(s[3 * i + 2] * 257));
    StoreU16(d + 6 * i + 2, static_cast<uint16_t>(s[3 * i + 1] * 257));
    StoreU16(d + 6 * i + 4, static_cast<uint16_t>(s[3 * i] * 257));
  }
}
void Row24ToLab(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i, s += 3, d += 3) {
    const TIECIELab lab = RGBToCIELab(TIERGB{s[0], s[1], s[2]});
    std::memcpy(d, &lab, 3);
  }
}

// ---- from ie1g ----

void Row1gTo8(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) d[i] = Bit(s, i) ? 255 : 0;
}
void Row1gToIndex(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) d[i] = Bit(s, i) ? 1 : 0;
}
void Row1gTo16g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) StoreU16(d + 2 * i, Bit(s, i) ? 65535 : 0);
}
void Row1gTo32f(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) StoreF(d + 4 * i, Bit(s, i) ? 1.0f : 0.0f);
}
void Row1gTo48(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) PutGrey48(d, i, Bit(s, i) ? 65535 : 0);
}

// ---- from ie8p (tables per palette entry) ----

void Row8pTo8g(const uint8_t* s, uint8_t* d, int32_t n, const Tables& t) {
  for (int32_t i = 0; i < n; ++i) d[i] = t.grey8[s[i]];
}
void Row8pTo16g(const uint8_t* s, uint8_t* d, int32_t n, const Tables& t) {
  for (int32_t i = 0; i < n; ++i) StoreU16(d + 2 * i, t.grey16[s[i]]);
}
// Also ie8g to ie32f: the table then holds byte / 255.
void Row8ToTable32f(const uint8_t* s, uint8_t* d, int32_t n, const Tables& t) {
  for (int32_t i = 0; i < n; ++i) StoreF(d + 4 * i, t.greyF[s[i]]);
}
void Row8pTo48(const uint8_t* s, uint8_t* d, int32_t n, const Tables& t) {
  for (int32_t i = 0; i < n; ++i) {
    const TIERGB c = t.palette[s[i]];
    StoreU16(d + 6 * i, static_cast<uint16_t>(c.r * 257));
    StoreU16(d + 6 * i + 2, static_cast<uint16_t>(c.g * 257));
    StoreU16(d + 6 * i + 4, static_cast<uint16_t>(c.b * 257));
  }
}

// ---- from ie8g ----

void Row8gTo16g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) StoreU16(d + 2 * i, static_cast<uint16_t>(s[i] * 257));
}
void Row8gTo48(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) PutGrey48(d, i, static_cast<uint16_t>(s[i] * 257));
}

// ---- from ie16g ----

void Row16gTo8(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) d[i] = s[2 * i + 1];
}
void Row16gTo32f(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) StoreF(d + 4 * i, static_cast<float>(LoadU16(s + 2 * i) / 65535.0));
}
void Row16gTo48(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) PutGrey48(d, i, LoadU16(s + 2 * i));
}

// ---- from ie32f ----

void Row32fTo8(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) d[i] = FloatTo8(LoadF(s + 4 * i));
}
void Row32fTo16g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) StoreU16(d + 2 * i, FloatTo16(LoadF(s + 4 * i)));
}
void Row32fTo48(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i) PutGrey48(d, i, FloatTo16(LoadF(s + 4 * i)));
}

// ---- from ieRGB48 ----

void Row48To8g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  const GreyWeights w;
  for (int32_t i = 0; i < n; ++i) {
    const TIERGB c{s[6 * i + 5], s[6 * i + 3], s[6 * i + 1]};
    d[i] = w.plain ? static_cast<uint8_t>((c.r * w.r + c.g * w.g + c.b * w.b) / 100u) : static_cast<uint8_t>(RGBToGray(c));
  }
}
void Row48To16g(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  for (int32_t i = 0; i < n; ++i)
    StoreU16(d + 2 * i, Grey16(LoadU16(s + 6 * i), LoadU16(s + 6 * i + 2), LoadU16(s + 6 * i + 4)));
}
void Row48To32f(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  // Each channel / 256: white (65535) would come out a little above 1, so the grey stops at 1.
  for (int32_t i = 0; i < n; ++i) {
    const double g = GreyFloat(LoadU16(s + 6 * i) / 256.0, LoadU16(s + 6 * i + 2) / 256.0, LoadU16(s + 6 * i + 4) / 256.0);
    StoreF(d + 4 * i, static_cast<float>(g < 1.0 ? g : 1.0));
  }
}


// ---- same format ----

template <int Bpp>
void RowCopy(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  std::memcpy(d, s, static_cast<size_t>(n) * Bpp);
}
void RowCopyBits(const uint8_t* s, uint8_t* d, int32_t n, const Tables&) {
  std::memcpy(d, s, (static_cast<size_t>(n) + 7) / 8);
}

}  // namespace

TIERowConverter::RowFn TIERowConverter::Direct(TIEPixelFormat From, TIEPixelFormat To) {
  if (From == To) {
    switch (From) {
      case ie1g: return RowCopyBits;
      case ie8p:
      case ie8g: return RowCopy<1>;
      case ie16g: return RowCopy<2>;
      case ie24RGB:
      case ieCIELab: return RowCopy<3>;
      case ie32f:
      case ieCMYK:
      case ie32RGB: return RowCopy<4>;
      case ieRGB48: return RowCopy<6>;
      default: return nullptr;
    }
  }
  switch (To) {
    case ie8p:
      switch (From) {
        case ie1g: return Row1gToIndex;
        case ie8g: return RowCopy<1>;
        case ie16g: return Row16gTo8;
        case ie32f: return Row32fTo8;
        default: return nullptr;
      }
    case ie8g:
      switch (From) {
        case ie1g: return Row1gTo8;
        case ie8p: return Row8pTo8g;
        case ie16g: return Row16gTo8;
        case ie24RGB: return Row24To8g;
        case ie32f: return Row32fTo8;
        case ieRGB48: return Row48To8g;
        default: return nullptr;
      }
    case ie16g:
      switch (From) {
        case ie1g: return Row1gTo16g;
        case ie8p: return Row8pTo16g;
        case ie8g: return Row8gTo16g;
        case ie24RGB: return Row24To16g;
        case ie32f: return Row32fTo16g;
        case ieRGB48: return Row48To16g;
        default: return nullptr;
      }
    case ie24RGB:
      switch (From) {
        case ie1g: return Row1gToRGB<3>;
        case ie8p: return Row8pToRGB<3>;
        case ie8g: return Row8gToRGB<3>;
        case ie16g: return Row16gToRGB<3>;
        case ie32f: return Row32fToRGB<3>;
        case ieCMYK: return RowCMYKToRGB<3>;
        case ieRGB48: return Row48ToRGB<3>;
        case ieCIELab: return RowLabToRGB<3>;
        case ie32RGB: return Row32To24;
        default: return nullptr;
      }
    case ie32f:
      switch (From) {
        case ie1g: return Row1gTo32f;
        case ie8p:
        case ie8g: return Row8ToTable32f;
        case ie16g: return Row16gTo32f;
        case ie24RGB: return Row24To32f;
        case ieRGB48: return Row48To32f;
        default: return nullptr;
      }
    case ieCMYK:
      return From == ie24RGB ? Row24ToCMYK : nullptr;
    case ieRGB48:
      switch (From) {
        case ie1g: return Row1gTo48;
        case ie8p: return Row8pTo48;
        case ie8g: return Row8gTo48;
        case ie16g: return Row16gTo48;
        case ie24RGB: return Row24To48;
        case ie32f: return Row32fTo48;
        default: return nullptr;
      }
    case ieCIELab:
      return From == ie24RGB ? Row24ToLab : nullptr;
    case ie32RGB:
      switch (From) {
        case ie1g: return Row1gToRGB<4>;
        case ie8p: return Row8pToRGB<4>;
        case ie8g: return Row8gToRGB<4>;
        case ie16g: return Row16gToRGB<4>;
        case ie24RGB: return Row24To32;
        case ie32f: return Row32fToRGB<4>;
        case ieCMYK: return RowCMYKToRGB<4>;
        case ieRGB48: return Row48ToRGB<4>;
        case ieCIELab: return RowLabToRGB<4>;
        default: return nullptr;
      }
    default:
      return nullptr;
  }
}

TIERowConverter::TIERowConverter(TIEPixelFormat From, TIEPixelFormat To, const TIERGB* Palette, int32_t PaletteLength,
                                 double RangeMin, double RangeMax) {
  if (!IsValidPixelFormat(From) || !IsValidPixelFormat(To) || From == ieNoFormat || To == ieNoFormat || To == ie1g)
    return;
  if (To == ie8p && From != To && Direct(From, To) == nullptr) return;  // quantized on the whole image

  // Per-entry tables of the source palette (indices beyond it read black).
  std::memset(tables_.palette, 0, sizeof tables_.palette);
  if (Palette && PaletteLength > 0) std::memcpy(tables_.palette, Palette, sizeof(TIERGB) * std::min(PaletteLength, 256));
  for (int i = 0; i < 256; ++i) {
    const TIERGB c = tables_.palette[i];
    tables_.grey8[i] = static_cast<uint8_t>(RGBToGray(c));
    tables_.grey16[i] = Grey16(c.r * 257u, c.g * 257u, c.b * 257u);
    tables_.greyF[i] = From == ie8p ? static_cast<float>(GreyFloat(c.r, c.g, c.b)) : static_cast<float>(i / 255.0);
  }

  fn_ = Direct(From, To);
  if (From == ie16g && RangeMax - RangeMin != 0) {
    // The display range as a table of every word: limited to lo..hi, then scaled to 0..255.
    const double lo = std::trunc(RangeMin), hi = std::trunc(RangeMax), span = RangeMax - RangeMin;
    tables_.range16.resize(65536);
    for (int32_t w = 0; w < 65536; ++w) {
      double v = w;
      if (v > hi) v = hi;
      if (v < lo) v = lo;
      const double scaled = std::trunc((v - lo) / span * 255);
      tables_.range16[w] = static_cast<uint8_t>(scaled < 0 ? 0 : (scaled > 255 ? 255 : scaled));
    }
    if (To == ie24RGB) fn_ = Row16gTo24Range;
  }
  if (fn_) return;

  // No rule of its own: through blue, green, red bytes.
  toRGB_ = Direct(From, ie24RGB);
  if (toRGB_ == Row16gToRGB<3> && !tables_.range16.empty()) toRGB_ = Row16gTo24Range;
  fromRGB_ = Direct(ie24RGB, To);
  if (toRGB_ && fromRGB_) fn_ = toRGB_;
}

void TIERowConverter::Convert(const void* Src, void* Dst, int32_t Count) {
  if (!fn_ || Count <= 0) return;
  const auto* src = static_cast<const uint8_t*>(Src);
  auto* dst = static_cast<uint8_t*>(Dst);
  if (!fromRGB_) {
    fn_(src, dst, Count, tables_);
    return;
  }
  scratch_.resize(static_cast<size_t>(Count) * 3);
  toRGB_(src, scratch_.data(), Count, tables_);
  fromRGB_(scratch_.data(), dst, Count, tables_);
}

// ---- TIERowReader ----

TIERowReader::TIERowReader(TIEBitmap& Bitmap, TIEPixelFormat To)
    : bitmap_(Bitmap),
      width_(Bitmap.GetWidth()),
      direct_(Bitmap.GetPixelFormat() == To),
      converter_(Bitmap.GetPixelFormat(), To, Bitmap.GetPaletteBuffer(), Bitmap.GetPaletteLength()) {
  if (!direct_) row_.resize(static_cast<size_t>(RowLength(width_, IEBitsPerPixel[To], 32)));
}

const uint8_t* TIERowReader::Read(int32_t Y) {
  const void* src = bitmap_.GetRow(Y);
  if (direct_) return static_cast<const uint8_t*>(src);
  if (converter_.Valid())
    converter_.Convert(src, row_.data(), width_);
  else
    std::memset(row_.data(), 0, row_.size());
  return row_.data();
}
