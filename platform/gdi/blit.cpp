// Block transfers: BitBlt, StretchBlt (COLORONCOLOR, HALFTONE, BLACKONWHITE, WHITEONBLACK),
// StretchDIBits, SetDIBitsToDevice, MaskBlt, TransparentBlt, PatBlt and GradientFill, with the
// GDI's raster operations on physical pixel values, mirroring by negative extents and
// overlapping copies inside one bitmap.
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/pixel_spans.h"

namespace {

constexpr int64_t kCoordLimit = int64_t{1} << 28;

int32_t ClampCoord(double v) {
  if (!(v > -kCoordLimit)) return static_cast<int32_t>(-kCoordLimit);
  if (v > kCoordLimit) return static_cast<int32_t>(kCoordLimit);
  return static_cast<int32_t>(std::lround(v));
}

// A block of pixels on a device: the rectangle it covers and whether it runs right to left or
// bottom to top (a negative extent after the transform).
struct DevBlock {
  TRect r;
  bool flipX = false;
  bool flipY = false;
};

// The device pixels of the logical block (x, y, w, h): the pixel at the transformed (x, y) and
// |w'| x |h'| pixels from there in the direction of the transformed extents. False for a
// transform that rotates or shears (blocks are then drawn through their bounding box).
DevBlock MapBlock(const Affine& a, int32_t x, int32_t y, int32_t w, int32_t h) {
  double fx, fy;
  a.Map(x, y, fx, fy);
  double ww, hh;
  if (a.IsAxisAligned()) {
    ww = a.m11 * w;
    hh = a.m22 * h;
  } else {
    double x2, y2;
    a.Map(static_cast<double>(x) + w, static_cast<double>(y) + h, x2, y2);
    ww = x2 - fx;
    hh = y2 - fy;
  }
  const int32_t sx = ClampCoord(fx), sy = ClampCoord(fy), dw = ClampCoord(ww), dh = ClampCoord(hh);
  DevBlock b;
  b.flipX = dw < 0;
  b.flipY = dh < 0;
  b.r.Left = dw >= 0 ? sx : sx + dw + 1;
  b.r.Right = dw >= 0 ? sx + dw : sx + 1;
  b.r.Top = dh >= 0 ? sy : sy + dh + 1;
  b.r.Bottom = dh >= 0 ? sy + dh : sy + 1;
  return b;
}

struct Contribution {
  int32_t index;  // source pixel, relative to the source block
  int64_t weight;
};

// Per destination pixel of one axis: the source pixels it takes from.
struct AxisMap {
  std::vector<int32_t> nearest;  // relative source index (may fall outside the source)
  std::vector<int32_t> start;    // into contribs, for area averaging
  std::vector<Contribution> contribs;
};

// Destination index u (0..dn-1, after mirroring) to source index by the pixel centres.
inline int32_t NearestIndex(int64_t u, int64_t dn, int64_t sn) {
  if (dn == sn) return static_cast<int32_t>(u);
  return static_cast<int32_t>(((2 * u + 1) * sn) / (2 * dn));
}

// Builds the map for destination pixels [from, to) of a block of dn pixels reading sn pixels.
// Area contributions are kept only for source indexes in [validFrom, validTo) (the part of the
// source block inside the source), so a huge source extent costs nothing.
void BuildAxis(AxisMap& m, int32_t from, int32_t to, int32_t dn, int32_t sn, bool flip, bool area, int64_t validFrom,
               int64_t validTo) {
  const int32_t n = to - from;
  m.nearest.resize(n);
  if (area) {
    m.start.resize(n + 1);
    m.contribs.clear();
  }
  for (int32_t i = 0; i < n; ++i) {
    int64_t u = from + i;
    if (flip) u = dn - 1 - u;
    m.nearest[i] = NearestIndex(u, dn, sn);
    if (!area) continue;
    m.start[i] = static_cast<int32_t>(m.contribs.size());
    // The destination pixel covers [u * sn, (u + 1) * sn) in units of 1/dn source pixels.
    const int64_t lo = u * sn, hi = (u + 1) * sn;
    const int64_t last = std::min((hi + dn - 1) / dn, validTo);
    for (int64_t s = std::max(lo / dn, validFrom); s < last; ++s) {
      const int64_t w = std::min(hi, (s + 1) * dn) - std::max(lo, s * dn);
      if (w > 0) m.contribs.push_back({static_cast<int32_t>(s), w});
    }
  }
  if (area) m.start[n] = static_cast<int32_t>(m.contribs.size());
}

// The columns of a visible block for area averaging: for each destination column, the run of
// source columns inside the source it takes from (First, Count), their weights (from Offset in W)
// and the weights' sum, and the span Lo .. Hi of source columns the block needs.
struct AreaColumns {
  std::vector<int32_t> First, Count, Offset;
  std::vector<uint32_t> W;
  std::vector<uint64_t> WSum;
  int32_t Lo = INT32_MAX, Hi = INT32_MIN;

  // Columns c0 .. c0 + n - 1 of the map; sourceLeft is the source block's left edge.
  void Build(const AxisMap& xm, int32_t c0, int32_t n, int32_t sourceLeft, int32_t sourceWidth) {
    First.assign(n, 0);
    Count.assign(n, 0);
    Offset.assign(n, 0);
    W.clear();
    WSum.assign(n, 0);
    Lo = INT32_MAX;
    Hi = INT32_MIN;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t xi = c0 + i;
      Offset[i] = static_cast<int32_t>(W.size());
      for (int32_t c = xm.start[xi]; c < xm.start[xi + 1]; ++c) {
        const int32_t sx = sourceLeft + xm.contribs[c].index;
        if (sx < 0 || sx >= sourceWidth) continue;
        if (Count[i] == 0) First[i] = sx;
        ++Count[i];
        W.push_back(static_cast<uint32_t>(xm.contribs[c].weight));
        WSum[i] += static_cast<uint64_t>(xm.contribs[c].weight);
        Lo = std::min(Lo, sx);
        Hi = std::max(Hi, sx);
      }
    }
  }
};

bool g_fastHalftone = true;

// The two inner loops of the 24-bit HALFTONE path: weighting a row of sums into the accumulated
// sums, and the rounded quotients. With AVX2 where the processor has it; the same results either
// way (integer sums, and quotients by the argument below).
void MulAddRow(uint32_t* acc, const uint32_t* sums, uint32_t weight, int32_t n, bool first) {
  if (first) {
    for (int32_t j = 0; j < n; ++j) acc[j] = sums[j] * weight;
  } else {
    for (int32_t j = 0; j < n; ++j) acc[j] += sums[j] * weight;
  }
}

// out[j] = (acc[j] + half[j]) div w for w = 1 / inverse[j]: the quotient is below 256 and w below
// 2^32 / 256, so the product's error (under 2^-44) stays far below both 2^-30 and the distance
// 1 / w from a quotient just under an integer, and adding 2^-30 before truncating gives the exact
// quotient.
void Quotients(const uint32_t* acc, const uint32_t* half, const double* inverse, uint8_t* out, int32_t n) {
  for (int32_t j = 0; j < n; ++j)
    out[j] = static_cast<uint8_t>(static_cast<double>(acc[j] + half[j]) * inverse[j] + 0x1p-30);
}

#if defined(__x86_64__)
#define GDI_AVX2 __attribute__((target("avx2")))

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

GDI_AVX2 void MulAddRowAvx2(uint32_t* acc, const uint32_t* sums, uint32_t weight, int32_t n, bool first) {
  const __m256i w = _mm256_set1_epi32(static_cast<int32_t>(weight));
  int32_t j = 0;
  for (; j + 8 <= n; j += 8) {
    const __m256i p = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + j)), w);
    __m256i* a = reinterpret_cast<__m256i*>(acc + j);
    _mm256_storeu_si256(a, first ? p : _mm256_add_epi32(_mm256_loadu_si256(a), p));
  }
  MulAddRow(acc + j, sums + j, weight, n - j, first);
}

GDI_AVX2 void QuotientsAvx2(const uint32_t* acc, const uint32_t* half, const double* inverse, uint8_t* out,
                            int32_t n) {
  const __m128i bias = _mm_set1_epi32(INT32_MIN);
  const __m256d unbias = _mm256_set1_pd(2147483648.0), eps = _mm256_set1_pd(0x1p-30);
  int32_t j = 0;
  for (; j + 4 <= n; j += 4) {
    const __m128i sum = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + j)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(half + j)));
    // Unsigned to double: flip the top bit, convert as signed, add 2^31 back.
    const __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(sum, bias)), unbias);
    const __m128i q = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(v, _mm256_loadu_pd(inverse + j)), eps));
    const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(q, q), _mm_setzero_si128()));
    std::memcpy(out + j, &bytes, 4);
  }
  Quotients(acc + j, half + j, inverse + j, out + j, n - j);
}
#endif

void MulAddRowBest(uint32_t* acc, const uint32_t* sums, uint32_t weight, int32_t n, bool first) {
#if defined(__x86_64__)
  if (HasAvx2()) return MulAddRowAvx2(acc, sums, weight, n, first);
#endif
  MulAddRow(acc, sums, weight, n, first);
}

void QuotientsBest(const uint32_t* acc, const uint32_t* half, const double* inverse, uint8_t* out, int32_t n) {
#if defined(__x86_64__)
  if (HasAvx2()) return QuotientsAvx2(acc, half, inverse, out, n);
#endif
  Quotients(acc, half, inverse, out, n);
}

// HALFTONE SRCCOPY from 24-bit rows to 24-bit rows: the general path's sums taken apart. Each
// source row is summed across once into per-column sums (kept while the destination rows that
// need it are drawn), the rows are then weighted down, and the rounded quotient (sum + weight / 2)
// div weight comes from a reciprocal (Quotients). Destination columns without source pixels (at
// the ends of a row) stay as they are, as in the general path.
void StretchHalftone24(const PixelRows& t, const PixelRows& src, const std::vector<TRect>& vis, const TRect& span,
                       const TRect& s, const AxisMap& xm, const AxisMap& ym) {
  AreaColumns cols;
  std::vector<uint32_t> acc, half;
  std::vector<double> inverse;
  std::vector<uint8_t> row;
  for (const TRect& r : vis) {
    const int32_t cn = r.Width();
    cols.Build(xm, r.Left - span.Left, cn, s.Left, src.width);
    if (cols.Lo > cols.Hi) continue;
    // The columns with source pixels lie together.
    int32_t i0 = 0, i1 = cn;
    while (i0 < cn && !cols.Count[i0]) ++i0;
    while (i1 > i0 && !cols.Count[i1 - 1]) --i1;
    // Per-column sums of the source rows, in a ring: the rows one destination row needs lie
    // together and move one way, so each source row is summed once.
    int32_t window = 1;
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      window = std::max(window, ym.start[y - span.Top + 1] - ym.start[y - span.Top]);
    const int32_t ringSize = window + 1;
    const size_t stride = static_cast<size_t>(cn) * 3;
    std::vector<uint32_t> sums(static_cast<size_t>(ringSize) * stride);
    std::vector<int32_t> tags(ringSize, -1);
    auto rowSums = [&](int32_t sy) -> const uint32_t* {
      const int32_t slot = sy % ringSize;
      uint32_t* const first = sums.data() + static_cast<size_t>(slot) * stride;
      if (tags[slot] == sy) return first;
      tags[slot] = sy;
      const uint8_t* line = src.Row(sy);
      uint32_t* out = first + 3 * i0;
      for (int32_t i = i0; i < i1; ++i, out += 3) {
        const uint32_t* w = cols.W.data() + cols.Offset[i];
        const uint8_t* px = line + static_cast<size_t>(cols.First[i]) * 3;
        uint32_t b = 0, g = 0, rr = 0;
        for (int32_t c = 0; c < cols.Count[i]; ++c, px += 3) {
          b += px[0] * w[c];
          g += px[1] * w[c];
          rr += px[2] * w[c];
        }
        out[0] = b;
        out[1] = g;
        out[2] = rr;
      }
      return first;
    };
    acc.resize(stride);
    half.resize(stride);
    inverse.resize(stride);
    row.resize(stride);
    uint64_t inverseFor = 0;  // the row weight the divisors are for
    const int32_t n = 3 * (i1 - i0);
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const int32_t yi = y - span.Top;
      uint64_t rowW = 0;
      for (int32_t k = ym.start[yi]; k < ym.start[yi + 1]; ++k) {
        const int32_t sy = s.Top + ym.contribs[k].index;
        if (sy < 0 || sy >= src.height) continue;
        const uint32_t wy = static_cast<uint32_t>(ym.contribs[k].weight);
        MulAddRowBest(acc.data() + 3 * i0, rowSums(sy) + 3 * i0, wy, n, rowW == 0);
        rowW += wy;
      }
      if (rowW == 0) continue;
      if (rowW != inverseFor) {
        inverseFor = rowW;
        for (int32_t i = i0; i < i1; ++i) {
          const uint64_t w = cols.WSum[i] * rowW;
          for (int c = 0; c < 3; ++c) {
            half[3 * i + c] = static_cast<uint32_t>(w / 2);
            inverse[3 * i + c] = 1.0 / static_cast<double>(w);
          }
        }
      }
      QuotientsBest(acc.data() + 3 * i0, half.data() + 3 * i0, inverse.data() + 3 * i0,
                    t.Row(y) + (static_cast<size_t>(r.Left) + i0) * 3, n);
    }
  }
}

// Turns source pixel values into destination values, by the GDI's rules for monochrome bitmaps:
// from a monochrome device bitmap 0 takes the destination's text colour and 1 its background
// colour; into one, the source DC's background colour gives 1 and everything else 0.
class Converter {
 public:
  Converter(const PixelRows& src, const PixelRows& dst, COLORREF srcBk, COLORREF dstText, COLORREF dstBk)
      : src_(src), dst_(dst), matcher_(dst.colors) {
    if (SameFormat(src, dst) && src.monoDDB == dst.monoDDB) {
      mode_ = kRaw;
    } else if (src.monoDDB) {
      mode_ = kFromMono;
      fromMono_[0] = RgbToPhys(dst, ColorRefToRgb(dstText), &matcher_);
      fromMono_[1] = RgbToPhys(dst, ColorRefToRgb(dstBk), &matcher_);
    } else if (dst.monoDDB) {
      mode_ = kToMono;
      srcBk_ = ColorRefToRgb(srcBk) & 0xFFFFFF;
    } else {
      mode_ = kColor;
    }
  }
  bool Raw() const { return mode_ == kRaw; }
  void Convert(uint32_t* v, int32_t n) {
    switch (mode_) {
      case kRaw:
        return;
      case kFromMono:
        for (int32_t i = 0; i < n; ++i) v[i] = fromMono_[v[i] & 1];
        return;
      case kToMono:
        for (int32_t i = 0; i < n; ++i) v[i] = (PhysToRgb(src_, v[i]) == srcBk_) ? 1 : 0;
        return;
      case kColor:
        for (int32_t i = 0; i < n; ++i) v[i] = PhysToRgb(src_, v[i]);
        RgbToPhysRow(dst_, v, n, v, matcher_);
        return;
    }
  }
  // Colours (averaged ones) to destination values.
  void FromRgb(uint32_t* v, int32_t n) {
    if (mode_ == kToMono) {
      for (int32_t i = 0; i < n; ++i) v[i] = (v[i] == srcBk_) ? 1 : 0;
      return;
    }
    if (mode_ == kFromMono) {
      // Averages of a monochrome source are greys between its two colours.
      RgbToPhysRow(dst_, v, n, v, matcher_);
      return;
    }
    RgbToPhysRow(dst_, v, n, v, matcher_);
  }

 private:
  enum Mode { kRaw, kFromMono, kToMono, kColor };
  const PixelRows& src_;
  const PixelRows& dst_;
  ColorMatcher matcher_;
  Mode mode_ = kColor;
  uint32_t fromMono_[2] = {0, 0};
  uint32_t srcBk_ = 0;
};

struct BlitJob {
  HDC__* dst = nullptr;
  DevBlock d;
  const PixelRows* src = nullptr;  // null when the operation does not read a source
  TRect s;                         // source block (normalised), in source pixels
  bool srcFlipX = false;
  bool srcFlipY = false;
  uint8_t rop = 0xCC;
  const PixelRows* mask = nullptr;  // MaskBlt: 1 = foreground operation, 0 = background
  TPoint maskOrg;
  uint8_t backRop = 0xCC;
  int32_t stretchMode = COLORONCOLOR;
  COLORREF srcBk = 0xFFFFFF;
  bool transparent = false;
  uint32_t transparentRgb = 0;
};

// Colours of source pixels, where a monochrome device bitmap takes the destination's colours.
void SourceRgb(const PixelRows& src, const uint32_t* phys, int32_t n, uint32_t* rgb, COLORREF text, COLORREF bk) {
  if (src.monoDDB) {
    const uint32_t c[2] = {ColorRefToRgb(text), ColorRefToRgb(bk)};
    for (int32_t i = 0; i < n; ++i) rgb[i] = c[phys[i] & 1];
    return;
  }
  for (int32_t i = 0; i < n; ++i) rgb[i] = PhysToRgb(src, phys[i]);
}

// True when two row sets share memory (a copy inside one bitmap).
bool Overlap(const PixelRows& a, const PixelRows& b) {
  auto range = [](const PixelRows& r, uintptr_t& lo, uintptr_t& hi) {
    const uintptr_t first = reinterpret_cast<uintptr_t>(r.row0);
    const uintptr_t last = reinterpret_cast<uintptr_t>(r.Row(r.height - 1));
    lo = std::min(first, last);
    hi = std::max(first, last) + static_cast<uintptr_t>(std::abs(r.stride));
  };
  if (!a.Valid() || !b.Valid()) return false;
  uintptr_t alo, ahi, blo, bhi;
  range(a, alo, ahi);
  range(b, blo, bhi);
  return alo < bhi && blo < ahi;
}

// Pixels of the key colour keep the destination's; the others are copied with the fourth byte set.
// Pixel by pixel where the rows overlap, as the pixels were copied in order before.
void KeyedSelect32Scalar(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t fourth) {
  for (int32_t x = 0; x < n; ++x) {
    uint32_t v;
    std::memcpy(&v, src + 4 * x, 4);
    if ((v & 0xFFFFFF) == key) continue;
    v |= fourth;
    std::memcpy(dst + 4 * x, &v, 4);
  }
}

#if defined(__x86_64__)
GDI_AVX2 void KeyedSelect32Avx2(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t fourth) {
  const __m256i rgb = _mm256_set1_epi32(0xFFFFFF), k = _mm256_set1_epi32(static_cast<int32_t>(key)),
                f = _mm256_set1_epi32(static_cast<int32_t>(fourth));
  int32_t x = 0;
  for (; x + 8 <= n; x += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * x));
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * x));
    const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(v, rgb), k);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), _mm256_blendv_epi8(_mm256_or_si256(v, f), o, keep));
  }
  KeyedSelect32Scalar(dst + 4 * x, src + 4 * x, n - x, key, fourth);
}
#endif

#if defined(__x86_64__)
// Premultiplied source over the destination, eight pixels at a time, with the sums of the scalar
// loop in AlphaBlend: c + d x (255 - a) / 255 per channel, the division as (v x 0x8081) shr 23
// (the high half of v x 0x8081, shifted by 7 more), saturated at 255; the fourth byte takes the
// fill. A source pixel of all zeros leaves the destination as it is but for the fill. Returns how
// many pixels it did; the scalar loop does the rest.
// d x (255 - a) / 255 for the 16-bit channels of two pixels (a from each pixel's fourth lane).
GDI_AVX2 inline __m256i KeptPartAvx2(__m256i s16, __m256i d16, __m256i spread, __m256i m255, __m256i magic) {
  const __m256i keep = _mm256_sub_epi16(m255, _mm256_shuffle_epi8(s16, spread));
  return _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(d16, keep), magic), 7);
}

GDI_AVX2 int32_t PremultipliedOverAvx2(uint32_t* out, const uint32_t* src, int32_t n, uint32_t fill) {
  const __m256i zero = _mm256_setzero_si256(), rgb = _mm256_set1_epi32(0xFFFFFF),
                f = _mm256_set1_epi32(static_cast<int32_t>(fill)), m255 = _mm256_set1_epi16(255),
                magic = _mm256_set1_epi16(static_cast<short>(0x8081));
  // Each 16-bit lane's alpha spread over its pixel's four lanes.
  const __m256i spread = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7, 6, 7,
                                          6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
  int32_t x = 0;
  for (; x + 8 <= n; x += 8) {
    const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + x));
    const __m256i lo = KeptPartAvx2(_mm256_unpacklo_epi8(sv, zero), _mm256_unpacklo_epi8(dv, zero), spread, m255, magic);
    const __m256i hi = KeptPartAvx2(_mm256_unpackhi_epi8(sv, zero), _mm256_unpackhi_epi8(dv, zero), spread, m255, magic);
    const __m256i sum = _mm256_adds_epu8(_mm256_and_si256(sv, rgb), _mm256_and_si256(_mm256_packus_epi16(lo, hi), rgb));
    const __m256i blended = _mm256_or_si256(sum, f);
    const __m256i untouched = _mm256_or_si256(dv, f);
    const __m256i empty = _mm256_cmpeq_epi32(sv, zero);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_blendv_epi8(blended, untouched, empty));
  }
  return x;
}
#endif

void KeyedSelect32(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t fourth) {
#if defined(__x86_64__)
  const bool overlap = dst < src + 4 * static_cast<size_t>(n) && src < dst + 4 * static_cast<size_t>(n);
  if (!overlap && HasAvx2()) return KeyedSelect32Avx2(dst, src, n, key, fourth);
#endif
  KeyedSelect32Scalar(dst, src, n, key, fourth);
}

void RunBlit(BlitJob& job) {
  HDC__* dc = job.dst;
  PixelRows* t = dc->Target();
  if (!t || IsRectEmpty(job.d.r)) return;
  const std::vector<TRect> vis = VisibleRectsIn(dc, job.d.r);
  if (vis.empty()) return;
  const uint8_t rop = job.rop;
  const bool usesSrc = job.src && (RopUsesSource(rop) || (job.mask && RopUsesSource(job.backRop)));
  const bool usesPat = RopUsesPattern(rop) || (job.mask && RopUsesPattern(job.backRop));
  const bool usesDst = RopUsesDest(rop) || job.mask || job.transparent || (job.mask && RopUsesDest(job.backRop));
  HBRUSH__* brush = Lookup<HBRUSH__>(dc->st.brush, GdiKind::kBrush);
  BrushPattern pat(dc, brush, *t);
  if (usesPat && !pat.Draws() && !usesSrc) return;

  // A source that shares rows with the destination is copied first, so overlapping blocks copy
  // as if through a buffer.
  PixelRows srcRows;
  std::unique_ptr<uint8_t[]> srcCopy;
  TRect s = job.s;
  if (usesSrc) {
    srcRows = *job.src;
    if (Overlap(srcRows, *t)) {
      TRect inside;
      // Destination pixels whose source lies outside the source stay as they are.
      if (!IntersectRect(inside, s, srcRows.Bounds())) return;
      const int32_t w = inside.Width(), h = inside.Height();
      const size_t rowBytes = static_cast<size_t>(DibRowBytes(w, srcRows.bitCount));
      srcCopy.reset(new (std::nothrow) uint8_t[rowBytes * h]());
      if (!srcCopy) return;
      PixelRows copy = srcRows;
      copy.row0 = srcCopy.get();
      copy.stride = static_cast<ptrdiff_t>(rowBytes);
      copy.width = w;
      copy.height = h;
      copy.alphaFill = 0;
      ConvertRows(srcRows, inside.Left, inside.Top, copy, 0, 0, w, h);
      // The block in the copy's coordinates; what lay outside the source still does.
      OffsetRect(s, -inside.Left, -inside.Top);
      srcRows = copy;
    }
  }

  const int32_t dw = job.d.r.Width(), dh = job.d.r.Height();
  const int32_t sw = usesSrc ? s.Width() : dw, sh = usesSrc ? s.Height() : dh;
  if (usesSrc && (sw <= 0 || sh <= 0)) return;
  const bool flipX = job.d.flipX != job.srcFlipX, flipY = job.d.flipY != job.srcFlipY;
  const bool stretching = usesSrc && (sw != dw || sh != dh);
  const bool halftone = stretching && job.stretchMode == HALFTONE;
  const bool scanAnd = stretching && job.stretchMode == BLACKONWHITE && (sw > dw || sh > dh);
  const bool scanOr = stretching && job.stretchMode == WHITEONBLACK && (sw > dw || sh > dh);
  const bool areaMap = halftone || scanAnd || scanOr;
  const uint32_t vmask = t->ValueMask();

  Converter conv(usesSrc ? srcRows : *t, *t, job.srcBk, dc->st.textColor, dc->st.bkColor);

  // Copies at the same size: raw values (32-bit rows get their fourth byte), or a 24-bit picture
  // onto 32-bit rows (a window's surface) with its bytes spread out.
  const bool plain = usesSrc && rop == 0xCC && !stretching && !flipX && !flipY && !job.mask && !job.transparent;
  const bool raw = plain && conv.Raw() && t->bitCount >= 8;
  const bool spread = plain && !raw && srcRows.bitCount == 24 && t->bitCount == 32 && StandardMasks32(*t);
  if (raw || spread) {
    const size_t srcBpp = static_cast<size_t>(srcRows.bitCount / 8), bpp = static_cast<size_t>(t->bitCount / 8);
    const uint8_t fourth = static_cast<uint8_t>(t->alphaFill >> 24);
    for (const TRect& r : vis) {
      TRect src = {s.Left + (r.Left - job.d.r.Left), s.Top + (r.Top - job.d.r.Top), 0, 0};
      src.Right = src.Left + r.Width();
      src.Bottom = src.Top + r.Height();
      TRect in;
      if (!IntersectRect(in, src, srcRows.Bounds())) continue;
      const int32_t ox = in.Left - src.Left, oy = in.Top - src.Top;
      const bool fill = t->bitCount == 32 && t->alphaFill;
      const uint32_t alpha = t->alphaFill;
      const size_t n = static_cast<size_t>(in.Width());
      for (int32_t y = in.Top; y < in.Bottom; ++y) {
        uint8_t* d = t->Row(r.Top + oy + (y - in.Top)) + (r.Left + ox) * bpp;
        const uint8_t* p = srcRows.Row(y) + in.Left * srcBpp;
        if (spread) {
          SpreadPixels24(reinterpret_cast<uint32_t*>(d), p, n, fourth);
          continue;
        }
        if (fill) CopyPixels32Or(reinterpret_cast<uint32_t*>(d), p, n, alpha);
        else std::memcpy(d, p, n * bpp);
      }
    }
    return;
  }

  // A colour-keyed copy at the same size between rows of one 24- or 32-bit layout: pixels of the
  // transparent colour leave the destination as it is, the others are copied (32-bit rows get their
  // fourth byte), as the general path below would do them.
  // A 24-bit picture onto 32-bit rows (glyphs and thumbs onto a window's surface) has its bytes
  // spread out.
  const bool keyedCopy = usesSrc && rop == 0xCC && !stretching && !flipX && !flipY && !job.mask && job.transparent;
  const bool keyedSpread = keyedCopy && srcRows.bitCount == 24 && t->bitCount == 32 && StandardMasks32(*t);
  const bool keyed = keyedSpread || (keyedCopy && conv.Raw() && srcRows.bitCount == t->bitCount &&
                                     (t->bitCount == 24 || (t->bitCount == 32 && StandardMasks32(srcRows) &&
                                                            StandardMasks32(*t))));
  if (keyed) {
    const uint32_t key = job.transparentRgb & 0xFFFFFF, fourth = t->alphaFill;
    for (const TRect& r : vis) {
      TRect src = {s.Left + (r.Left - job.d.r.Left), s.Top + (r.Top - job.d.r.Top), 0, 0};
      src.Right = src.Left + r.Width();
      src.Bottom = src.Top + r.Height();
      TRect in;
      if (!IntersectRect(in, src, srcRows.Bounds())) continue;
      const int32_t ox = in.Left - src.Left, oy = in.Top - src.Top, n = in.Width();
      for (int32_t y = in.Top; y < in.Bottom; ++y) {
        uint8_t* d = t->Row(r.Top + oy + (y - in.Top)) + (r.Left + ox) * (t->bitCount / 8);
        const uint8_t* p = srcRows.Row(y) + in.Left * (srcRows.bitCount / 8);
        if (keyedSpread) {
          // Four bytes read at once, the next pixel's first one masked off; the row's last pixel
          // byte by byte, so nothing past the row is read.
          for (int32_t x = 0; x < n; ++x, d += 4, p += 3) {
            uint32_t v;
            if (x + 1 < n) std::memcpy(&v, p, 4), v &= 0xFFFFFF;
            else v = static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
            if (v == key) continue;
            v |= fourth;
            std::memcpy(d, &v, 4);
          }
        } else if (t->bitCount == 32) {
          KeyedSelect32(d, p, n, key, fourth);
        } else {
          for (int32_t x = 0; x < n; ++x, d += 3, p += 3) {
            if ((p[0] | p[1] << 8 | p[2] << 16) == static_cast<int32_t>(key)) continue;
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
          }
        }
      }
    }
    return;
  }

  // Column maps over the union of the visible rectangles.
  TRect span{};
  for (const TRect& r : vis) UnionRect(span, span, r);
  AxisMap xm, ym;
  if (usesSrc) {
    BuildAxis(xm, span.Left - job.d.r.Left, span.Right - job.d.r.Left, dw, sw, flipX, areaMap, -int64_t{s.Left},
              int64_t{srcRows.width} - s.Left);
    BuildAxis(ym, span.Top - job.d.r.Top, span.Bottom - job.d.r.Top, dh, sh, flipY, areaMap, -int64_t{s.Top},
              int64_t{srcRows.height} - s.Top);
  }

  const int32_t n = span.Width();
  std::vector<uint32_t> S(n), P(n), D(n), D2(n), srcRow(usesSrc ? std::max(1, srcRows.width) : 1);
  std::vector<uint8_t> keep(n), patKeep(n);
  std::vector<uint32_t> maskRow(job.mask ? std::max(1, job.mask->width) : 1);
  std::vector<uint64_t> acc(areaMap ? static_cast<size_t>(n) * 3 : 0);
  std::vector<uint32_t> accOr(areaMap ? n : 0);
  std::vector<uint64_t> wsum(areaMap ? n : 0);
  // Source colours by source column, or (colour-keyed blits) by destination column: as long as both.
  std::vector<uint32_t> rgbRow(usesSrc ? std::max({1, srcRows.width, n}) : 1);
  std::vector<uint32_t> planeR(areaMap ? rgbRow.size() : 0), planeG(planeR.size()), planeB(planeR.size());
  // A column's weights add up to sw (units of 1/dw pixel): 255 * sw fits 32 bits for any real
  // picture, and so does the whole sum, with half a weight added for rounding, when 256 * sw * sh
  // does.
  const bool narrowSums = 255ull * static_cast<uint64_t>(sw) < (1ull << 32);
  const bool narrowTotal = static_cast<uint64_t>(sw) * static_cast<uint64_t>(sh) < (1ull << 24);
  if (halftone && rop == 0xCC && !job.mask && !job.transparent && conv.Raw() && srcRows.bitCount == 24 &&
      narrowTotal && g_fastHalftone) {
    StretchHalftone24(*t, srcRows, vis, span, s, xm, ym);
    return;
  }
  AreaColumns cols;
  const std::vector<int32_t>& colFirst = cols.First;
  const std::vector<int32_t>& colCount = cols.Count;
  const std::vector<int32_t>& colOff = cols.Offset;
  const std::vector<uint32_t>& colW = cols.W;
  const std::vector<uint64_t>& colWSum = cols.WSum;

  for (const TRect& r : vis) {
    const int32_t cn = r.Width();
    const int32_t c0 = r.Left - span.Left;  // column offset into the maps
    // For area averaging: each column's source pixels inside the source, as a run of columns
    // with flat weights, and the source columns the rectangle needs.
    if (areaMap) cols.Build(xm, c0, cn, s.Left, srcRows.width);
    const int32_t colLo = cols.Lo, colHi = cols.Hi;
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      std::fill(keep.begin(), keep.begin() + cn, 0);
      if (usesSrc) {
        const int32_t yi = y - span.Top;
        if (!areaMap) {
          const int32_t sy = s.Top + ym.nearest[yi];
          if (sy < 0 || sy >= srcRows.height) continue;
          // Read the part of the source row the columns need.
          int32_t lo = INT32_MAX, hi = INT32_MIN;
          for (int32_t i = 0; i < cn; ++i) {
            const int32_t sx = s.Left + xm.nearest[c0 + i];
            lo = std::min(lo, sx);
            hi = std::max(hi, sx);
          }
          lo = std::max(lo, 0);
          hi = std::min(hi, srcRows.width - 1);
          if (lo <= hi) ReadPhys(srcRows, sy, lo, hi - lo + 1, srcRow.data() + lo);
          for (int32_t i = 0; i < cn; ++i) {
            const int32_t sx = s.Left + xm.nearest[c0 + i];
            if (sx < 0 || sx >= srcRows.width) {
              keep[i] = 1;
              S[i] = 0;
            } else {
              S[i] = srcRow[sx];
            }
          }
          if (job.transparent) {
            SourceRgb(srcRows, S.data(), cn, rgbRow.data(), dc->st.textColor, dc->st.bkColor);
            for (int32_t i = 0; i < cn; ++i)
              if (rgbRow[i] == job.transparentRgb) keep[i] = 1;
          }
          conv.Convert(S.data(), cn);
        } else {
          // Area averaging (HALFTONE) or the AND / OR of eliminated pixels. Each source row is
          // summed across first (contributions inside the source only), then weighted down.
          std::fill(acc.begin(), acc.begin() + static_cast<size_t>(cn) * 3, 0);
          std::fill(wsum.begin(), wsum.begin() + cn, 0);
          std::fill(accOr.begin(), accOr.begin() + cn, scanAnd ? 0xFFFFFFFFu : 0u);
          for (int32_t k = ym.start[yi]; k < ym.start[yi + 1] && colLo <= colHi; ++k) {
            const int32_t sy = s.Top + ym.contribs[k].index;
            if (sy < 0 || sy >= srcRows.height) continue;
            const uint64_t wy = static_cast<uint64_t>(ym.contribs[k].weight);
            const int32_t runLen = colHi - colLo + 1;
            if (!halftone) {
              ReadPhys(srcRows, sy, colLo, runLen, srcRow.data() + colLo);
              for (int32_t i = 0; i < cn; ++i) {
                const uint32_t* v = srcRow.data() + colFirst[i];
                for (int32_t c = 0; c < colCount[i]; ++c) accOr[i] = scanAnd ? (accOr[i] & v[c]) : (accOr[i] | v[c]);
                wsum[i] |= colCount[i] > 0;
              }
              continue;
            }
            const bool direct = srcRows.bitCount == 24 ||
                                (srcRows.bitCount == 32 && srcRows.masks[0] == 0xFF0000 &&
                                 srcRows.masks[1] == 0xFF00 && srcRows.masks[2] == 0xFF);
            if (direct && narrowSums) {
              // Sums straight from the row's bytes (blue, green, red).
              const size_t bpp = static_cast<size_t>(srcRows.bitCount / 8);
              const uint8_t* row = srcRows.Row(sy);
              for (int32_t i = 0; i < cn; ++i) {
                const uint32_t* w = colW.data() + colOff[i];
                const uint8_t* px = row + static_cast<size_t>(colFirst[i]) * bpp;
                uint32_t r1 = 0, g1 = 0, b1 = 0;
                for (int32_t c = 0; c < colCount[i]; ++c, px += bpp) {
                  b1 += px[0] * w[c];
                  g1 += px[1] * w[c];
                  r1 += px[2] * w[c];
                }
                acc[3 * i] += r1 * wy;
                acc[3 * i + 1] += g1 * wy;
                acc[3 * i + 2] += b1 * wy;
                wsum[i] += colWSum[i] * wy;
              }
              continue;
            }
            if (direct) {
              // Planes of the three channels straight from the row's bytes.
              const size_t bpp = static_cast<size_t>(srcRows.bitCount / 8);
              const uint8_t* p = srcRows.Row(sy) + colLo * bpp;
              for (int32_t x = colLo; x <= colHi; ++x, p += bpp) {
                planeB[x] = p[0];
                planeG[x] = p[1];
                planeR[x] = p[2];
              }
            } else {
              if (srcRows.monoDDB) {
                ReadPhys(srcRows, sy, colLo, runLen, srcRow.data() + colLo);
                SourceRgb(srcRows, srcRow.data() + colLo, runLen, rgbRow.data() + colLo, dc->st.textColor,
                          dc->st.bkColor);
              } else {
                ReadRgb(srcRows, sy, colLo, runLen, rgbRow.data() + colLo);
              }
              for (int32_t x = colLo; x <= colHi; ++x) {
                const uint32_t v = rgbRow[x];
                planeR[x] = (v >> 16) & 0xFF;
                planeG[x] = (v >> 8) & 0xFF;
                planeB[x] = v & 0xFF;
              }
            }
            for (int32_t i = 0; i < cn; ++i) {
              const uint32_t* w = colW.data() + colOff[i];
              const uint32_t* pr = planeR.data() + colFirst[i];
              const uint32_t* pg = planeG.data() + colFirst[i];
              const uint32_t* pb = planeB.data() + colFirst[i];
              uint64_t r0 = 0, g0 = 0, b0 = 0;
              if (narrowSums) {
                uint32_t r1 = 0, g1 = 0, b1 = 0;
                for (int32_t c = 0; c < colCount[i]; ++c) {
                  r1 += pr[c] * w[c];
                  g1 += pg[c] * w[c];
                  b1 += pb[c] * w[c];
                }
                r0 = r1;
                g0 = g1;
                b0 = b1;
              } else {
                for (int32_t c = 0; c < colCount[i]; ++c) {
                  r0 += static_cast<uint64_t>(pr[c]) * w[c];
                  g0 += static_cast<uint64_t>(pg[c]) * w[c];
                  b0 += static_cast<uint64_t>(pb[c]) * w[c];
                }
              }
              acc[3 * i] += r0 * wy;
              acc[3 * i + 1] += g0 * wy;
              acc[3 * i + 2] += b0 * wy;
              wsum[i] += colWSum[i] * wy;
            }
          }
          for (int32_t i = 0; i < cn; ++i) {
            if (wsum[i] == 0) {
              keep[i] = 1;
              S[i] = 0;
              continue;
            }
            if (halftone && narrowTotal) {
              const uint32_t w = static_cast<uint32_t>(wsum[i]), half = w / 2;
              S[i] = ((static_cast<uint32_t>(acc[3 * i]) + half) / w) << 16 |
                     ((static_cast<uint32_t>(acc[3 * i + 1]) + half) / w) << 8 |
                     ((static_cast<uint32_t>(acc[3 * i + 2]) + half) / w);
            } else if (halftone) {
              const uint64_t w = wsum[i], half = w / 2;
              S[i] = static_cast<uint32_t>(((acc[3 * i] + half) / w) << 16 | ((acc[3 * i + 1] + half) / w) << 8 |
                                           ((acc[3 * i + 2] + half) / w));
            } else {
              S[i] = accOr[i];
            }
          }
          if (halftone)
            conv.FromRgb(S.data(), cn);
          else
            conv.Convert(S.data(), cn);
        }
      }
      if (usesPat) {
        pat.Row(y, r.Left, cn, P.data(), patKeep.data());
        if (pat.HasTransparency())
          for (int32_t i = 0; i < cn; ++i) keep[i] |= patKeep[i];
      }
      if (usesDst || std::any_of(keep.begin(), keep.begin() + cn, [](uint8_t k) { return k != 0; }))
        ReadPhys(*t, y, r.Left, cn, D.data());
      if (job.mask) {
        // Apply both operations, then pick per pixel by the mask bit.
        std::copy(D.begin(), D.begin() + cn, D2.begin());
        ApplyRop3(rop, S.data(), P.data(), D.data(), cn, vmask);
        ApplyRop3(job.backRop, S.data(), P.data(), D2.data(), cn, vmask);
        const int32_t my = job.maskOrg.Y + (y - job.d.r.Top);
        const bool rowInside = my >= 0 && my < job.mask->height;
        if (rowInside) ReadPhys(*job.mask, my, 0, job.mask->width, maskRow.data());
        for (int32_t i = 0; i < cn; ++i) {
          const int32_t mx = job.maskOrg.X + (r.Left + i - job.d.r.Left);
          const bool fore = rowInside && mx >= 0 && mx < job.mask->width && (maskRow[mx] & 1);
          if (!fore) D[i] = D2[i];
        }
      } else {
        ApplyRop3(rop, S.data(), P.data(), D.data(), cn, vmask);
      }
      WritePhys(*t, y, r.Left, cn, D.data(), keep.data());
    }
  }
}

HDC__* DC(HDC dc) { return LookupDC(dc); }

// The source block of a source DC: its logical block mapped by its transform.
bool SourceBlock(HDC__* src, int32_t sx, int32_t sy, int32_t sw, int32_t sh, BlitJob& job) {
  PixelRows* rows = src->Target();
  if (!rows) return false;
  DevBlock b = MapBlock(src->ToDevice(), sx, sy, sw, sh);
  job.src = rows;
  job.s = b.r;
  job.srcFlipX = b.flipX;
  job.srcFlipY = b.flipY;
  job.srcBk = src->st.bkColor;
  return true;
}

}  // namespace

bool& GdiHalftoneFastPathForTesting() { return g_fastHalftone; }

bool PatBlt(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  HDC__* d = DC(dc);
  if (!d) return false;
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  if (RopUsesSource(code)) return false;
  if (width == 0 || height == 0) return true;
  DevBlock b = MapBlock(d->ToDevice(), x, y, width, height);
  PatFillDevice(d, Lookup<HBRUSH__>(d->st.brush, GdiKind::kBrush), b.r, code);
  return true;
}

bool StretchBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
                int32_t sw, int32_t sh, uint32_t rop) {
  HDC__* d = DC(dst);
  if (!d) return false;
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  if (!RopUsesSource(code)) return PatBlt(dst, x, y, width, height, rop);
  HDC__* s = DC(src);
  if (!s) return false;
  if (width == 0 || height == 0 || sw == 0 || sh == 0) return true;
  BlitJob job;
  job.dst = d;
  job.d = MapBlock(d->ToDevice(), x, y, width, height);
  job.rop = code;
  job.stretchMode = d->st.stretchMode;
  if (!SourceBlock(s, sx, sy, sw, sh, job)) return false;
  RunBlit(job);
  return true;
}

bool BitBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
            uint32_t rop) {
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  if (!RopUsesSource(code)) return PatBlt(dst, x, y, width, height, rop);
  HDC__* d = DC(dst);
  HDC__* s = DC(src);
  if (!d || !s) return false;
  if (width == 0 || height == 0) return true;
  // A copy at the same size: the source extent follows the destination's scale, so a transform
  // on the destination alone stretches (and mirrors) as the GDI does.
  BlitJob job;
  job.dst = d;
  job.d = MapBlock(d->ToDevice(), x, y, width, height);
  job.rop = code;
  job.stretchMode = COLORONCOLOR;
  if (!SourceBlock(s, sx, sy, width, height, job)) return false;
  RunBlit(job);
  return true;
}

int32_t StretchDIBits(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx, int32_t sy,
                      int32_t sw, int32_t sh, const void* bits, const BITMAPINFO* info, uint32_t, uint32_t rop) {
  HDC__* d = DC(dst);
  PixelRows rows;
  if (!d || !DibRowsFromInfo(info, bits, rows)) return 0;
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  if (width == 0 || height == 0 || sw == 0 || sh == 0) return 0;
  BlitJob job;
  job.dst = d;
  job.d = MapBlock(d->ToDevice(), x, y, width, height);
  job.rop = code;
  job.stretchMode = d->st.stretchMode;
  // Rows are counted from the bottom of a bottom-up DIB: take the block in the DIB's own
  // coordinates, then turn it into top-down rows. The image stays upright either way.
  const bool bottomUp = info->bmiHeader.biHeight > 0;
  TRect sr;
  sr.Left = sw >= 0 ? sx : sx + sw + 1;
  sr.Right = sw >= 0 ? sx + sw : sx + 1;
  const int32_t r0 = sh >= 0 ? sy : sy + sh + 1, r1 = sh >= 0 ? sy + sh : sy + 1;
  sr.Top = bottomUp ? rows.height - r1 : r0;
  sr.Bottom = bottomUp ? rows.height - r0 : r1;
  job.src = RopUsesSource(code) ? &rows : nullptr;
  job.s = sr;
  job.srcFlipX = sw < 0;
  job.srcFlipY = sh < 0;
  job.srcBk = d->st.bkColor;
  RunBlit(job);
  return std::abs(sh);
}

int32_t SetDIBitsToDevice(HDC dst, int32_t x, int32_t y, uint32_t width, uint32_t height, int32_t sx, int32_t sy,
                          uint32_t startScan, uint32_t lines, const void* bits, const BITMAPINFO* info, uint32_t) {
  HDC__* d = DC(dst);
  PixelRows rows;
  if (!d || !info || !bits) return 0;
  // The bits hold `lines` scan lines starting at startScan (counted from the bottom for a
  // bottom-up DIB); describe just those.
  const bool bottomUp = info->bmiHeader.biHeight > 0;
  const int32_t full = bottomUp ? info->bmiHeader.biHeight : -info->bmiHeader.biHeight;
  if (lines == 0 || startScan >= static_cast<uint32_t>(full)) return 0;
  lines = std::min<uint32_t>(lines, static_cast<uint32_t>(full) - startScan);
  if (!DibRowsFromInfo(info, bits, rows)) return 0;
  rows.height = static_cast<int32_t>(lines);
  if (bottomUp) {
    const ptrdiff_t rb = -rows.stride;
    rows.row0 = static_cast<uint8_t*>(const_cast<void*>(bits)) + rb * (static_cast<ptrdiff_t>(lines) - 1);
  }
  // Source rectangle in full-image coordinates, then into the band of lines we hold.
  const int32_t w = static_cast<int32_t>(std::min<uint32_t>(width, INT32_MAX));
  const int32_t h = static_cast<int32_t>(std::min<uint32_t>(height, INT32_MAX));
  TRect sr;
  sr.Left = sx;
  sr.Right = sx + w;
  const int32_t topFull = bottomUp ? full - sy - h : sy;
  const int32_t bandTop = bottomUp ? full - static_cast<int32_t>(startScan + lines) : static_cast<int32_t>(startScan);
  sr.Top = topFull - bandTop;
  sr.Bottom = sr.Top + h;
  BlitJob job;
  job.dst = d;
  job.d = MapBlock(d->ToDevice(), x, y, w, h);
  job.rop = 0xCC;
  job.src = &rows;
  job.s = sr;
  job.srcBk = d->st.bkColor;
  RunBlit(job);
  return static_cast<int32_t>(lines);
}

bool MaskBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
             HBITMAP mask, int32_t mx, int32_t my, uint32_t rop) {
  if (!mask) return BitBlt(dst, x, y, width, height, src, sx, sy, rop & 0x00FFFFFF);
  HDC__* d = DC(dst);
  HBITMAP__* m = Lookup<HBITMAP__>(mask, GdiKind::kBitmap);
  if (!d || !m || m->rows.bitCount != 1) return false;
  const uint8_t fore = static_cast<uint8_t>(rop >> 16), back = static_cast<uint8_t>(rop >> 24);
  if (width == 0 || height == 0) return true;
  BlitJob job;
  job.dst = d;
  job.d = MapBlock(d->ToDevice(), x, y, width, height);
  job.rop = fore;
  job.backRop = back;
  job.mask = &m->rows;
  job.maskOrg = {mx, my};
  job.stretchMode = COLORONCOLOR;
  if (RopUsesSource(fore) || RopUsesSource(back)) {
    HDC__* s = DC(src);
    if (!s || !SourceBlock(s, sx, sy, width, height, job)) return false;
  }
  RunBlit(job);
  return true;
}

bool TransparentBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
                    int32_t sw, int32_t sh, uint32_t transparent) {
  HDC__* d = DC(dst);
  HDC__* s = DC(src);
  if (!d || !s || width < 0 || height < 0 || sw < 0 || sh < 0) return false;
  if (width == 0 || height == 0 || sw == 0 || sh == 0) return true;
  BlitJob job;
  job.dst = d;
  job.d = MapBlock(d->ToDevice(), x, y, width, height);
  job.rop = 0xCC;
  job.stretchMode = COLORONCOLOR;
  job.transparent = true;
  job.transparentRgb = ColorRefToRgb(transparent) & 0xFFFFFF;
  if (!SourceBlock(s, sx, sy, sw, sh, job)) return false;
  RunBlit(job);
  return true;
}

bool GradientFill(HDC dc, const TRIVERTEX* vertices, uint32_t vertexCount, const void* mesh, uint32_t meshCount,
                  uint32_t mode) {
  HDC__* d = DC(dc);
  if (!d || !vertices || !mesh || (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)) return false;
  PixelRows* t = d->Target();
  if (!t) return false;
  const GRADIENT_RECT* rects = static_cast<const GRADIENT_RECT*>(mesh);
  const Affine a = d->ToDevice();
  ColorMatcher matcher(t->colors);
  std::vector<uint32_t> row;
  for (uint32_t i = 0; i < meshCount; ++i) {
    if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount) return false;
    const TRIVERTEX& v0 = vertices[rects[i].UpperLeft];
    const TRIVERTEX& v1 = vertices[rects[i].LowerRight];
    DevBlock b = MapBlock(a, v0.x, v0.y, v1.x - v0.x, v1.y - v0.y);
    const bool horizontal = mode == GRADIENT_FILL_RECT_H;
    // Colour at a position along the gradient, from the upper-left vertex to the lower-right one.
    const bool reverse = horizontal ? (v1.x < v0.x) != b.flipX : (v1.y < v0.y) != b.flipY;
    const int32_t len = horizontal ? b.r.Width() : b.r.Height();
    auto colorAt = [&](int32_t k) {
      const int64_t pos = reverse ? (len - 1 - k) : k;
      const int64_t den = std::max(1, len);
      auto mix = [&](uint16_t c0, uint16_t c1) {
        return static_cast<uint32_t>(((c0 + (static_cast<int64_t>(c1) - c0) * pos / den) >> 8) & 0xFF);
      };
      return (mix(v0.Red, v1.Red) << 16) | (mix(v0.Green, v1.Green) << 8) | mix(v0.Blue, v1.Blue);
    };
    for (const TRect& r : VisibleRectsIn(d, b.r)) {
      row.resize(r.Width());
      for (int32_t y = r.Top; y < r.Bottom; ++y) {
        for (int32_t x = r.Left; x < r.Right; ++x)
          row[x - r.Left] = colorAt(horizontal ? x - b.r.Left : y - b.r.Top);
        RgbToPhysRow(*t, row.data(), r.Width(), row.data(), matcher);
        WritePhys(*t, y, r.Left, r.Width(), row.data());
      }
    }
  }
  return true;
}

bool AlphaBlend(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
                int32_t sw, int32_t sh, BLENDFUNCTION blend) {
  HDC__* d = DC(dst);
  HDC__* s = DC(src);
  if (!d || !s || width < 0 || height < 0 || sw < 0 || sh < 0 || blend.BlendOp != AC_SRC_OVER) return false;
  PixelRows* t = d->Target();
  PixelRows* srows = s->Target();
  if (!t || !srows || width == 0 || height == 0 || sw == 0 || sh == 0) return true;
  const DevBlock db = MapBlock(d->ToDevice(), x, y, width, height);
  const DevBlock sb = MapBlock(s->ToDevice(), sx, sy, sw, sh);
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) && srows->bitCount == 32;
  const uint32_t ca = blend.SourceConstantAlpha;
  const int32_t bw = sb.r.Width(), bh = sb.r.Height();
  TRect in;
  if (!IntersectRect(in, sb.r, srows->Bounds())) return true;
  const int32_t iw = in.Width(), ih = in.Height();
  const bool flipX = db.flipX != sb.flipX, flipY = db.flipY != sb.flipY;
  const int32_t dw = db.r.Width(), dh = db.r.Height();
  // The blend of one pixel: a premultiplied source adds its value, an opaque one is weighted by the
  // constant alpha; the destination keeps what the source leaves.
  auto blendPixel = [ca](uint32_t c, uint32_t sa, uint32_t out) {
    uint32_t res = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const uint32_t sc = (c >> shift) & 0xFF, dcv = (out >> shift) & 0xFF;
      const uint32_t srcPart = sc * ca / 255;
      const uint32_t keepPart = dcv * (255 * 255 - sa * ca) / (255 * 255);
      res |= std::min<uint32_t>(255, srcPart + keepPart) << shift;
    }
    return res;
  };
  // Straight onto plain 32-bit rows from plain 32-bit rows at the same size (buttons, glyphs): the
  // same sums on the stored values, without the colour round trip.
  if (t->bitCount == 32 && srows->bitCount == 32 && StandardMasks32(*t) && StandardMasks32(*srows) && !flipX &&
      !flipY && dw == bw && dh == bh && !Overlap(*t, *srows)) {
    const int32_t shift = sb.r.Left - db.r.Left;
    const uint32_t fill = t->alphaFill;
    for (const TRect& r : VisibleRectsIn(d, db.r)) {
      const int32_t x0 = std::max(r.Left, in.Left - shift), x1 = std::min(r.Right, in.Right - shift);
      for (int32_t yy = r.Top; yy < r.Bottom; ++yy) {
        const int32_t j = sb.r.Top + (yy - db.r.Top);
        if (j < in.Top || j >= in.Bottom || x1 <= x0) continue;
        const uint32_t* src = reinterpret_cast<const uint32_t*>(srows->Row(j)) + shift;
        uint32_t* out = reinterpret_cast<uint32_t*>(t->Row(yy));
        if (ca == 255) {
          int32_t xx = x0;
#if defined(__x86_64__)
          if (perPixel && HasAvx2()) xx = x0 + PremultipliedOverAvx2(out + x0, src + x0, x1 - x0, fill);
#endif
          for (; xx < x1; ++xx) {
            const uint32_t sv = src[xx];
            const uint32_t a = perPixel ? sv >> 24 : 255;
            // Opaque pixels are copied and transparent black ones leave the destination, as the sums
            // below give; the rest is c + d x (255 - a) / 255 per channel, the division done as
            // (v x 0x8081) shr 23, exact for every value the product takes.
            if (a == 255) {
              out[xx] = (sv & 0xFFFFFF) | fill;
            } else if ((sv & 0xFFFFFF) != 0 || a != 0) {
              const uint32_t dv = out[xx], keep = 255 - a;
              uint32_t res = 0;
              for (int sh = 0; sh <= 16; sh += 8) {
                const uint32_t v = ((sv >> sh) & 0xFF) + ((((dv >> sh) & 0xFF) * keep * 0x8081u) >> 23);
                res |= std::min<uint32_t>(255, v) << sh;
              }
              out[xx] = res | fill;
            } else if (fill) {
              out[xx] |= fill;
            }
          }
        } else {
          for (int32_t xx = x0; xx < x1; ++xx) {
            const uint32_t sv = src[xx];
            out[xx] = blendPixel(sv & 0xFFFFFF, perPixel ? (sv >> 24) : 255, out[xx] & 0xFFFFFF) | fill;
          }
        }
      }
    }
    return true;
  }
  // Otherwise the part of the source block inside the source is copied first: the two may share rows.
  std::vector<uint32_t> srcPhys(static_cast<size_t>(iw) * ih), srcRgb(srcPhys.size());
  for (int32_t j = 0; j < ih; ++j) {
    ReadPhys(*srows, in.Top + j, in.Left, iw, srcPhys.data() + static_cast<size_t>(j) * iw);
    for (int32_t i = 0; i < iw; ++i) {
      const size_t k = static_cast<size_t>(j) * iw + i;
      srcRgb[k] = PhysToRgb(*srows, srcPhys[k]);
    }
  }
  ColorMatcher matcher(t->colors);
  std::vector<uint32_t> row;
  std::vector<uint8_t> keep;
  for (const TRect& r : VisibleRectsIn(d, db.r)) {
    row.resize(r.Width());
    keep.resize(r.Width());
    for (int32_t yy = r.Top; yy < r.Bottom; ++yy) {
      int64_t v = yy - db.r.Top;
      if (flipY) v = dh - 1 - v;
      const int32_t j = sb.r.Top + NearestIndex(v, dh, bh) - in.Top;
      ReadRgb(*t, yy, r.Left, r.Width(), row.data());
      for (int32_t xx = r.Left; xx < r.Right; ++xx) {
        int64_t u = xx - db.r.Left;
        if (flipX) u = dw - 1 - u;
        const int32_t i = sb.r.Left + NearestIndex(u, dw, bw) - in.Left;
        uint32_t& out = row[xx - r.Left];
        const bool inside = i >= 0 && i < iw && j >= 0 && j < ih;
        keep[xx - r.Left] = !inside;
        if (!inside) continue;
        const size_t k = static_cast<size_t>(j) * iw + i;
        const uint32_t sa = perPixel ? (srcPhys[k] >> 24) : 255;
        out = blendPixel(srcRgb[k], sa, out);
      }
      RgbToPhysRow(*t, row.data(), r.Width(), row.data(), matcher);
      WritePhys(*t, yy, r.Left, r.Width(), row.data(), keep.data());
    }
  }
  return true;
}
