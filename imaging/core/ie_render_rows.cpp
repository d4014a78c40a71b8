// The twenty row renderers of TIEBitmap's drawing (ie_render_rows.h).
#include "imaging/core/ie_render_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_blend.h"
#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_convert_rows.h"

namespace {

// d becomes d + floor(w (v - d) / 256) for each byte, computed as (d (256 - w) + v w) >> 8, which
// never leaves 16 bits (w is 0..256). Sixteen bytes at a time where SSE2 is there.
// W is one weight per byte, or nil for Constant on every byte.
void BlendBytes(uint8_t* Dst, const uint8_t* Src, const uint16_t* W, uint16_t Constant, size_t Bytes) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(256), c = _mm_set1_epi16(static_cast<short>(Constant));
  for (; i + 16 <= Bytes; i += 16) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Dst + i));
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + i));
    const __m128i w0 = W ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(W + i)) : c;
    const __m128i w1 = W ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(W + i + 8)) : c;
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(full, w0)),
                                                    _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w0)),
                                      8);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(full, w1)),
                                                    _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w1)),
                                      8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < Bytes; ++i) {
    const uint32_t w = W ? W[i] : Constant;
    Dst[i] = static_cast<uint8_t>((Dst[i] * (256 - w) + Src[i] * w) >> 8);
  }
}

// Count pixels of a 24-bit source row (SourceWidth pixels) at the mapped columns blended into Dst
// by the alpha of the same columns (lowered to Opacity); the arithmetic of BlendBytes. Four pixels
// at a time where SSE2 is there: each pixel in a 4-byte slot (the source's read with the byte after
// it, the destination's taken apart from its 12 bytes), its weight over the slot, and the three
// bytes of each slot written back in order; the rest a pixel at a time.
void BlendMappedByAlpha(uint8_t* __restrict Dst, const uint8_t* __restrict Src, const uint8_t* __restrict Alpha,
                        const int32_t* __restrict Columns, int32_t Opacity, int32_t Count, int32_t SourceWidth) {
  int32_t i = 0;
  auto weight = [&](int32_t x) {
    const uint32_t a = static_cast<uint32_t>(std::min<int32_t>(Opacity, Alpha[x]));
    return a + (a == 255);
  };
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(256);
  auto load32 = [](const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
  };
  // Columns never decrease: a group whose last column is before the source's last reads its four
  // bytes inside the row; a group that ends two pixels before Count reads Dst's 16 bytes inside the
  // drawn range.
  for (; i + 6 <= Count && Columns[i + 3] < SourceWidth - 1; i += 4) {
    const int32_t x0 = Columns[i], x1 = Columns[i + 1], x2 = Columns[i + 2], x3 = Columns[i + 3];
    const __m128i v = _mm_set_epi32(load32(Src + 3 * static_cast<size_t>(x3)), load32(Src + 3 * static_cast<size_t>(x2)),
                                    load32(Src + 3 * static_cast<size_t>(x1)), load32(Src + 3 * static_cast<size_t>(x0)));
    uint8_t* d = Dst + 3 * static_cast<size_t>(i);
    const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i slots = _mm_unpacklo_epi64(_mm_unpacklo_epi32(row, _mm_srli_si128(row, 3)),
                                             _mm_unpacklo_epi32(_mm_srli_si128(row, 6), _mm_srli_si128(row, 9)));
    const auto w0 = static_cast<int16_t>(weight(x0)), w1 = static_cast<int16_t>(weight(x1));
    const auto w2 = static_cast<int16_t>(weight(x2)), w3 = static_cast<int16_t>(weight(x3));
    const __m128i wl = _mm_set_epi16(w1, w1, w1, w1, w0, w0, w0, w0), wh = _mm_set_epi16(w3, w3, w3, w3, w2, w2, w2, w2);
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(slots, zero), _mm_sub_epi16(full, wl)),
                                                    _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), wl)),
                                      8);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(slots, zero), _mm_sub_epi16(full, wh)),
                                                    _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), wh)),
                                      8);
    const __m128i out = _mm_packus_epi16(lo, hi);
    // Each slot's fourth byte lands on the next pixel's first, which the next slot writes over.
    const int32_t p0 = _mm_cvtsi128_si32(out), p1 = _mm_cvtsi128_si32(_mm_srli_si128(out, 4));
    const int32_t p2 = _mm_cvtsi128_si32(_mm_srli_si128(out, 8)), p3 = _mm_cvtsi128_si32(_mm_srli_si128(out, 12));
    std::memcpy(d, &p0, 4);
    std::memcpy(d + 3, &p1, 4);
    std::memcpy(d + 6, &p2, 4);
    std::memcpy(d + 9, &p3, 3);
  }
#endif
  for (; i < Count; ++i) {
    const int32_t x = Columns[i];
    const uint32_t w = weight(x), rest = 256 - w;
    const uint8_t* s = Src + 3 * static_cast<size_t>(x);
    uint8_t* d = Dst + 3 * static_cast<size_t>(i);
    d[0] = static_cast<uint8_t>((d[0] * rest + s[0] * w) >> 8);
    d[1] = static_cast<uint8_t>((d[1] * rest + s[1] * w) >> 8);
    d[2] = static_cast<uint8_t>((d[2] * rest + s[2] * w) >> 8);
  }
}

// ---- Display adjustments ----

// The display range of a bitmap: set when its two ends differ.
struct TDisplayRange {
  bool set = false;
  double min = 0, max = 0;
  int64_t lo = 0, hi = 0;

  explicit TDisplayRange(TIEBitmap& b) : min(b.DisplayRangeMin()), max(b.DisplayRangeMax()) {
    set = max - min != 0 && std::isfinite(max - min);
    if (set) {
      lo = static_cast<int64_t>(std::clamp(min, -1e15, 1e15));
      hi = static_cast<int64_t>(std::clamp(max, -1e15, 1e15));
    }
  }
  // An integer value limited to lo..hi and mapped to 0..255 (a range given upside down maps to 0).
  uint8_t Map(int64_t v) const {
    v = std::max(lo, std::min(hi, v));
    const double t = (static_cast<double>(v - lo) / (max - min)) * 255;
    return static_cast<uint8_t>(t >= 255 ? 255 : (t > 0 ? static_cast<int32_t>(t) : 0));
  }
  // A float value limited to min..max as a double.
  uint8_t MapFloat(double v) const {
    if (!(v == v)) return 0;
    const double lower = std::min(min, max), upper = std::max(min, max);
    v = std::clamp(v, lower, upper);
    const double t = (v - min) / (max - min) * 255;
    return static_cast<uint8_t>(t >= 255 ? 255 : (t > 0 ? static_cast<int32_t>(t) : 0));
  }
};

// The contrast factor as a double: 1 - sqrt(-C) / 10 below 0, C / 10 + 1 from 0 on.
double ContrastFactor(int32_t Contrast) {
  return Contrast < 0 ? 1 - std::sqrt(-static_cast<double>(Contrast)) / 10 : Contrast / 10.0 + 1;
}

// The 8-bit contrast factor in 16.16 fixed point, K = Trunc(factor * 65536).
int64_t ContrastK(int32_t Contrast) {
  return static_cast<int64_t>(std::clamp(ContrastFactor(Contrast) * 65536, -1e15, 1e15));
}

// Per-channel tables (blue, green, red) of the 8-bit adjustments: contrast with the channel offset,
// then the display range.
struct TChannelTables {
  uint8_t t[3][256];
  TChannelTables(TIEBitmap& b, bool contrastAndOffsets, const TDisplayRange* range) {
    const int64_t k = ContrastK(b.Contrast());
    for (int32_t c = 0; c < 3; ++c) {
      // Blue is the first byte and takes ChannelOffset[2].
      const int64_t offset = contrastAndOffsets && b.HasChannelOffsets() ? b.ChannelOffset(2 - c) : 0;
      for (int32_t v = 0; v < 256; ++v) {
        int64_t r = v;
        if (contrastAndOffsets) r = std::clamp<int64_t>(k * (v + offset - 128) / 65536 + 128, 0, 255);
        t[c][v] = range ? range->Map(r) : static_cast<uint8_t>(r);
      }
    }
  }
};

// ---- Reading source pixels as blue, green, red ----

// What a renderer keeps for one call: the source's settings turned into tables.
struct TRenderContext {
  explicit TRenderContext(const TIERenderRowsJob& j) : job(j), src(*j.Source), range(src) {}
  const TIERenderRowsJob& job;
  TIEBitmap& src;
  TDisplayRange range;
  const TIERGB* palette = nullptr;
  int32_t paletteLength = 0;
  std::unique_ptr<TChannelTables> channels;   // 8-bit adjustments (24, 32 bits, 8g by its first table)
  std::vector<uint8_t> range16;               // ie16g through the display range
  bool adjust48 = false;
  double factor48 = 1;
  int32_t offset48[3] = {0, 0, 0};            // red, green, blue
  std::vector<uint8_t> scratch;               // CMYK bytes of a row
};

template <TIEPixelFormat F>
void Prepare(TRenderContext& c) {
  TIEBitmap& b = c.src;
  const bool contrastOrOffsets = b.HasChannelOffsets() || b.Contrast() != 0;
  if constexpr (F == ie24RGB) {
    if (contrastOrOffsets || c.range.set)
      c.channels = std::make_unique<TChannelTables>(b, contrastOrOffsets, c.range.set ? &c.range : nullptr);
  } else if constexpr (F == ie32RGB) {
    if (contrastOrOffsets) c.channels = std::make_unique<TChannelTables>(b, true, nullptr);
  } else if constexpr (F == ie8g) {
    if (c.range.set) c.channels = std::make_unique<TChannelTables>(b, false, &c.range);
  } else if constexpr (F == ie16g) {
    if (c.range.set) {
      c.range16.resize(65536);
      for (int32_t v = 0; v < 65536; ++v) c.range16[v] = c.range.Map(v);
    }
  } else if constexpr (F == ie8p) {
    c.palette = b.GetPaletteBuffer();
    c.paletteLength = c.palette ? std::min(b.GetPaletteLength(), 256) : 0;
  } else if constexpr (F == ieRGB48) {
    c.adjust48 = contrastOrOffsets || c.job.BlendOp != 0;
    c.factor48 = ContrastFactor(b.Contrast());
    if (b.HasChannelOffsets())
      for (int32_t i = 0; i < 3; ++i) c.offset48[i] = b.ChannelOffset(i);
  } else if constexpr (F == ieCMYK) {
    c.scratch.resize(4 * static_cast<size_t>(c.job.LastCol - c.job.FirstCol + 1));
  }
}

inline uint8_t Adjust48(const TRenderContext& c, uint16_t w, int32_t channel) {
  // Trunc, then the 16-bit value limited to 0..65535 before its high byte is taken.
  const double t = (static_cast<double>(w) + c.offset48[channel] - 32768) * c.factor48 + 32768;
  if (!(t > 0)) return 0;
  return t >= 65535 ? 255 : static_cast<uint8_t>(static_cast<int32_t>(t) >> 8);
}

// Count pixels of the source row at the mapped columns into Out as blue, green, red.
template <TIEPixelFormat F>
void Fetch(TRenderContext& c, const uint8_t* row, const int32_t* cols, int32_t n, uint8_t* out) {
  if constexpr (F == ie1g) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t x = cols[i];
      const uint8_t v = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = v;
    }
  } else if constexpr (F == ie8p) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t v = row[cols[i]];
      const TIERGB p = v < c.paletteLength ? c.palette[v] : TIERGB{0, 0, 0};
      out[3 * i] = p.b;
      out[3 * i + 1] = p.g;
      out[3 * i + 2] = p.r;
    }
  } else if constexpr (F == ie8g) {
    const uint8_t* t = c.channels ? c.channels->t[0] : nullptr;
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t v = t ? t[row[cols[i]]] : row[cols[i]];
      out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = v;
    }
  } else if constexpr (F == ie16g) {
    const uint8_t* t = c.range16.empty() ? nullptr : c.range16.data();
    for (int32_t i = 0; i < n; ++i) {
      uint16_t w;
      std::memcpy(&w, row + 2 * static_cast<size_t>(cols[i]), 2);
      const uint8_t v = t ? t[w] : static_cast<uint8_t>(w >> 8);
      out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = v;
    }
  } else if constexpr (F == ie24RGB) {
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t* p = row + 3 * static_cast<size_t>(cols[i]);
      out[3 * i] = p[0];
      out[3 * i + 1] = p[1];
      out[3 * i + 2] = p[2];
    }
  } else if constexpr (F == ie32RGB) {
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t* p = row + 4 * static_cast<size_t>(cols[i]);
      out[3 * i] = p[0];
      out[3 * i + 1] = p[1];
      out[3 * i + 2] = p[2];
    }
  } else if constexpr (F == ie32f) {
    for (int32_t i = 0; i < n; ++i) {
      float f;
      std::memcpy(&f, row + 4 * static_cast<size_t>(cols[i]), 4);
      const uint8_t v = c.range.set ? c.range.MapFloat(f) : static_cast<uint8_t>(ClampUnit(f) * 255);
      out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = v;
    }
  } else if constexpr (F == ieCMYK) {
    uint8_t* cmyk = c.scratch.data();
    for (int32_t i = 0; i < n; ++i) std::memcpy(cmyk + 4 * i, row + 4 * static_cast<size_t>(cols[i]), 4);
    CMYKRowToBGR(cmyk, out, n);
  } else if constexpr (F == ieCIELab) {
    for (int32_t i = 0; i < n; ++i) {
      TIECIELab lab;
      std::memcpy(&lab, row + 3 * static_cast<size_t>(cols[i]), 3);
      const TIERGB p = CIELabToRGB(lab);
      out[3 * i] = p.b;
      out[3 * i + 1] = p.g;
      out[3 * i + 2] = p.r;
    }
  } else if constexpr (F == ieRGB48) {
    for (int32_t i = 0; i < n; ++i) {
      uint16_t w[3];
      std::memcpy(w, row + 6 * static_cast<size_t>(cols[i]), 6);
      if (c.adjust48) {
        out[3 * i] = Adjust48(c, w[2], 2);
        out[3 * i + 1] = Adjust48(c, w[1], 1);
        out[3 * i + 2] = Adjust48(c, w[0], 0);
      } else {
        out[3 * i] = static_cast<uint8_t>(w[2] >> 8);
        out[3 * i + 1] = static_cast<uint8_t>(w[1] >> 8);
        out[3 * i + 2] = static_cast<uint8_t>(w[0] >> 8);
      }
    }
  }
}

// The blend operation applies to the 24-bit, 32-bit and 48-bit formats only.
constexpr bool TakesBlendOp(TIEPixelFormat F) { return F == ie24RGB || F == ie32RGB || F == ieRGB48; }

template <TIEPixelFormat F, bool Blending>
void RenderRows(const TIERenderRowsJob& job) {
  TRenderContext c(job);
  Prepare<F>(c);
  TIEBitmap& dest = *job.Dest;
  const int32_t n = job.LastCol - job.FirstCol + 1;
  if (n <= 0 || job.LastRow < job.FirstRow) return;
  const uint8_t blendOp = TakesBlendOp(F) ? job.BlendOp : 0;
  // Pixels go straight into the destination row when nothing is done to them after reading.
  const bool direct = !Blending && blendOp == 0 && !((F == ie24RGB || F == ie32RGB) && c.channels);
  std::vector<uint8_t> pixels(direct ? 0 : 3 * static_cast<size_t>(n));
  std::vector<uint8_t> under(blendOp != 0 && Blending ? 3 * static_cast<size_t>(n) : 0);
  std::vector<uint8_t> alpha(Blending && job.Alpha ? static_cast<size_t>(n) : 0);
  // A repeated source row copies the destination row above it, when that row is what this one
  // would be: plain drawing with no blend operation, rows held in memory.
  const bool reuse = job.ReuseRows && !Blending && blendOp == 0 && job.DestRows;
  int32_t previousSource = -1;
  const uint8_t* previousRow = nullptr;
  for (int32_t y = job.FirstRow; y <= job.LastRow; ++y) {
    const int32_t sy = job.RowMap[y - job.FirstRow];
    uint8_t* drow = job.DestRows ? job.DestRows[y] : static_cast<uint8_t*>(dest.GetRow(y));
    uint8_t* d = drow + 3 * static_cast<size_t>(job.FirstCol);
    if (reuse && sy == previousSource) {
      std::memcpy(d, previousRow, 3 * static_cast<size_t>(n));
      previousRow = d;
      continue;
    }
    const auto* srow = static_cast<const uint8_t*>(job.Source->GetRow(sy));
    if constexpr (Blending && F == ie24RGB) {
      if (job.Alpha && blendOp == 0 && !c.channels) {
        // Plain pixels over the alpha channel: each one blended straight from the source row.
        const auto* arow = static_cast<const uint8_t*>(job.Alpha->GetRow(sy));
        BlendMappedByAlpha(d, srow, arow, job.ColumnMap, job.Opacity, n, job.Source->Width());
        previousSource = sy;
        previousRow = d;
        continue;
      }
    }
    uint8_t* v = direct ? d : pixels.data();
    Fetch<F>(c, srow, job.ColumnMap, n, v);
    if constexpr (F == ie24RGB || F == ie32RGB) {
      if (c.channels) {
        const auto& t = c.channels->t;
        for (int32_t i = 0; i < n; ++i) {
          v[3 * i] = t[0][v[3 * i]];
          v[3 * i + 1] = t[1][v[3 * i + 1]];
          v[3 * i + 2] = t[2][v[3 * i + 2]];
        }
      }
    }
    if constexpr (!Blending) {
      if (blendOp != 0)
        BlendRow(reinterpret_cast<const TIERGB*>(v), reinterpret_cast<TIERGB*>(d), n, blendOp, y);
      else if (!direct)
        std::memcpy(d, v, 3 * static_cast<size_t>(n));
    } else {
      if (blendOp != 0) {
        // The operation works on a copy of the destination; its result is what gets blended in.
        std::memcpy(under.data(), d, under.size());
        BlendRow(reinterpret_cast<const TIERGB*>(v), reinterpret_cast<TIERGB*>(under.data()), n, blendOp, y);
        v = under.data();
      }
      const uint8_t* a = nullptr;
      if (job.Alpha) {
        const auto* arow = static_cast<const uint8_t*>(job.Alpha->GetRow(sy));
        for (int32_t i = 0; i < n; ++i) alpha[i] = arow[job.ColumnMap[i]];
        a = alpha.data();
      }
      BlendPixelsInto(d, v, a, job.Opacity, n);
    }
    previousSource = sy;
    previousRow = d;
  }
}

template <TIEPixelFormat F>
constexpr TIERowRenderer kPair[2] = {RenderRows<F, false>, RenderRows<F, true>};

}  // namespace

void BlendPixelsInto(uint8_t* Dst, const uint8_t* Src, const uint8_t* Alpha, int32_t Opacity, int32_t Count) {
  Opacity = std::clamp(Opacity, 0, 255);
  const size_t bytes = 3 * static_cast<size_t>(Count);
  // The weight: min(Opacity, alpha), with 256 standing for 255 so that an opaque pixel takes the
  // source exactly.
  if (!Alpha) {
    BlendBytes(Dst, Src, nullptr, static_cast<uint16_t>(Opacity + (Opacity == 255)), bytes);
    return;
  }
  thread_local std::vector<uint16_t> weights;
  weights.resize(bytes);
  uint16_t* ws = weights.data();
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t a = std::min<int32_t>(Opacity, Alpha[i]);
    ws[3 * i] = ws[3 * i + 1] = ws[3 * i + 2] = static_cast<uint16_t>(a + (a == 255));
  }
  BlendBytes(Dst, Src, ws, 0, bytes);
}

TIERowRenderer IERowRenderer(TIEPixelFormat Format, bool Blending) {
  static const TIERowRenderer* const table[kIEPixelFormatCount] = {
      nullptr,           kPair<ie1g>,  kPair<ie8p>,     kPair<ie8g>,     kPair<ie16g>,  kPair<ie24RGB>,
      kPair<ie32f>,      kPair<ieCMYK>, kPair<ieRGB48>, kPair<ieCIELab>, kPair<ie32RGB>};
  if (!IsValidPixelFormat(Format) || !table[Format]) return nullptr;
  return table[Format][Blending ? 1 : 0];
}
