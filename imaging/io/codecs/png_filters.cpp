#include "imaging/io/codecs/png_filters.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void PNGUnfilterRowReference(uint8_t type, uint8_t* row, const uint8_t* prev, size_t bytes, size_t distance) {
  for (size_t i = 0; i < bytes; ++i) {
    const int a = i >= distance ? row[i - distance] : 0;
    const int b = prev[i];
    const int c = i >= distance ? prev[i - distance] : 0;
    switch (type) {
      case 1: row[i] = static_cast<uint8_t>(row[i] + a); break;
      case 2: row[i] = static_cast<uint8_t>(row[i] + b); break;
      case 3: row[i] = static_cast<uint8_t>(row[i] + ((a + b) >> 1)); break;
      case 4: row[i] = static_cast<uint8_t>(row[i] + PaethPredictor(a, b, c)); break;
      default: return;
    }
  }
}

namespace {

void UnfilterUp(uint8_t* row, const uint8_t* prev, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
}

#if defined(__SSE2__)

// One pixel of N bytes in the low bytes of a register, and back (N is 3, 4, 6 or 8). The bytes are
// put together in general registers: a pixel assembled on the stack would stall every load.
template <size_t N>
inline uint64_t LoadBytes(const uint8_t* p) {
  if constexpr (N == 3) {
    uint16_t lo;
    std::memcpy(&lo, p, 2);
    return lo | (uint64_t{p[2]} << 16);
  } else if constexpr (N == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else if constexpr (N == 6) {
    uint32_t lo;
    uint16_t hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 2);
    return lo | (uint64_t{hi} << 32);
  } else {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
}

template <size_t N>
inline void StoreBytes(uint8_t* p, uint64_t v) {
  if constexpr (N == 3) {
    const auto lo = static_cast<uint16_t>(v);
    std::memcpy(p, &lo, 2);
    p[2] = static_cast<uint8_t>(v >> 16);
  } else if constexpr (N == 4) {
    const auto x = static_cast<uint32_t>(v);
    std::memcpy(p, &x, 4);
  } else if constexpr (N == 6) {
    const auto lo = static_cast<uint32_t>(v);
    const auto hi = static_cast<uint16_t>(v >> 32);
    std::memcpy(p, &lo, 4);
    std::memcpy(p + 4, &hi, 2);
  } else {
    std::memcpy(p, &v, 8);
  }
}

template <size_t N>
inline __m128i LoadPixel(const uint8_t* p) {
  return _mm_cvtsi64_si128(static_cast<long long>(LoadBytes<N>(p)));
}
template <size_t N>
inline void StorePixel(uint8_t* p, __m128i v) {
  StoreBytes<N>(p, static_cast<uint64_t>(_mm_cvtsi128_si64(v)));
}

// The filters run pixel after pixel (each needs the one decoded before it), all channels of a pixel
// at once in 16-bit lanes. bytes is a whole number of pixels.
template <size_t N>
void UnfilterSub(uint8_t* row, size_t bytes) {
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i < bytes; i += N) {
    a = _mm_add_epi8(LoadPixel<N>(row + i), a);
    StorePixel<N>(row + i, a);
  }
}

template <size_t N>
void UnfilterAverage(uint8_t* row, const uint8_t* prev, size_t bytes) {
  // (a + b) div 2 in bytes: the rounded-up average less the bit it rounded up by.
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i < bytes; i += N) {
    const __m128i b = LoadPixel<N>(prev + i);
    const __m128i average = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(LoadPixel<N>(row + i), average);
    StorePixel<N>(row + i, a);
  }
}

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// The Paeth predictor of eight samples widened to 16 bits.
inline __m128i Paeth16(__m128i a, __m128i b, __m128i c) {
  // p = a + b - c: |p - a| = |b - c|, |p - b| = |a - c|, |p - c| = |(b - c) + (a - c)|.
  const __m128i bc = _mm_sub_epi16(b, c);
  const __m128i ac = _mm_sub_epi16(a, c);
  const __m128i pa = Abs16(bc);
  const __m128i pb = Abs16(ac);
  const __m128i pc = Abs16(_mm_add_epi16(bc, ac));
  // Not a: pa > pb or pa > pc. Then b unless pb > pc.
  const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
  const __m128i useC = _mm_cmpgt_epi16(pb, pc);
  const __m128i bOrC = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, b));
  return _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a));
}

template <size_t N>
void UnfilterPaeth(uint8_t* row, const uint8_t* prev, size_t bytes) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i a = zero, c = zero;
  for (size_t i = 0; i < bytes; i += N) {
    const __m128i b = _mm_unpacklo_epi8(LoadPixel<N>(prev + i), zero);
    const __m128i x = _mm_unpacklo_epi8(LoadPixel<N>(row + i), zero);
    a = _mm_and_si128(_mm_add_epi16(x, Paeth16(a, b, c)), low);
    c = b;
    StorePixel<N>(row + i, _mm_packus_epi16(a, a));
  }
}

template <size_t N>
bool UnfilterWide(uint8_t type, uint8_t* row, const uint8_t* prev, size_t bytes) {
  if (bytes % N != 0) return false;
  switch (type) {
    case 1: UnfilterSub<N>(row, bytes); return true;
    case 3: UnfilterAverage<N>(row, prev, bytes); return true;
    case 4: UnfilterPaeth<N>(row, prev, bytes); return true;
    default: return false;
  }
}

#endif

}  // namespace

void PNGUnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prev, size_t bytes, size_t distance) {
  if (type == 0 || type > 4) return;
  if (type == 2) {
    UnfilterUp(row, prev, bytes);
    return;
  }
#if defined(__SSE2__)
  switch (distance) {
    case 3: if (UnfilterWide<3>(type, row, prev, bytes)) return; break;
    case 4: if (UnfilterWide<4>(type, row, prev, bytes)) return; break;
    case 6: if (UnfilterWide<6>(type, row, prev, bytes)) return; break;
    case 8: if (UnfilterWide<8>(type, row, prev, bytes)) return; break;
    default: break;
  }
#endif
  PNGUnfilterRowReference(type, row, prev, bytes, distance);
}

void PNGFilterRowReference(uint8_t type, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t bytes,
                  size_t distance) {
  const size_t head = distance < bytes ? distance : bytes;
  switch (type) {
    case 1:
      std::memcpy(out, raw, head);
      for (size_t i = head; i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - raw[i - distance]);
      break;
    case 2:
      for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - prev[i]);
      break;
    case 3:
      for (size_t i = 0; i < head; ++i) out[i] = static_cast<uint8_t>(raw[i] - (prev[i] >> 1));
      for (size_t i = head; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(raw[i] - ((raw[i - distance] + prev[i]) >> 1));
      break;
    case 4:
      for (size_t i = 0; i < head; ++i) out[i] = static_cast<uint8_t>(raw[i] - prev[i]);
      for (size_t i = head; i < bytes; ++i) {
        // The predictor without branches, so the loop vectorises.
        const int a = raw[i - distance], b = prev[i], c = prev[i - distance];
        const int pa = b > c ? b - c : c - b;
        const int pb = a > c ? a - c : c - a;
        const int s = a + b - 2 * c;
        const int pc = s < 0 ? -s : s;
        const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        out[i] = static_cast<uint8_t>(raw[i] - pred);
      }
      break;
    default:
      std::memcpy(out, raw, bytes);
      break;
  }
}

namespace {

#if defined(__SSE2__)

// Filtering reads only the unfiltered rows, so sixteen bytes go at once whatever the pixel size.
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

void FilterSubWide(const uint8_t* raw, uint8_t* out, size_t head, size_t bytes, size_t distance, size_t& i) {
  for (i = head; i + 16 <= bytes; i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi8(Load16(raw + i), Load16(raw + i - distance)));
}

void FilterPaethWide(const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t head, size_t bytes,
                     size_t distance, size_t& i) {
  const __m128i zero = _mm_setzero_si128();
  for (i = head; i + 16 <= bytes; i += 16) {
    const __m128i a = Load16(raw + i - distance), b = Load16(prev + i), c = Load16(prev + i - distance);
    const __m128i lo = Paeth16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
    const __m128i hi = Paeth16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi8(Load16(raw + i), _mm_packus_epi16(lo, hi)));
  }
}

#endif

}  // namespace

void PNGFilterRow(uint8_t type, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t bytes,
                  size_t distance) {
#if defined(__SSE2__)
  if ((type == 1 || type == 4) && distance >= 1 && distance < bytes) {
    // The first pixel has nothing on its left; the wide loop; the bytes after the last sixteen.
    size_t i = distance;
    if (type == 1) {
      std::memcpy(out, raw, distance);
      FilterSubWide(raw, out, distance, bytes, distance, i);
      for (; i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - raw[i - distance]);
    } else {
      for (size_t k = 0; k < distance; ++k) out[k] = static_cast<uint8_t>(raw[k] - prev[k]);
      FilterPaethWide(raw, prev, out, distance, bytes, distance, i);
      for (; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(raw[i] - PaethPredictor(raw[i - distance], prev[i], prev[i - distance]));
    }
    return;
  }
#endif
  PNGFilterRowReference(type, raw, prev, out, bytes, distance);
}

int32_t PNGFilterScore(const uint8_t* filtered, size_t bytes) {
  int32_t score = 0;
  for (size_t j = 2; j < bytes; ++j)
    score += (filtered[j] == filtered[j - 1]) | (filtered[j] == filtered[j - 2]);
  return score;
}
