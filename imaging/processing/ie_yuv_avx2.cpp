#include "imaging/processing/ie_yuv_avx2.h"

#include <immintrin.h>

#include <cstring>

// Every function here carries the avx2 target itself; nothing else of this file is compiled for
// AVX2, so the rest of the program keeps running on processors without it.
#define IE_AVX2 __attribute__((target("avx2")))

namespace {

// Whole units added to every sum before the division, so that it never divides a negative number:
// the lowest sum is -276928 thousandths (blue of Y 0, U 0), the highest 534482.
constexpr float kLift = 300;

// A sum in thousandths (a whole number, exact in a float: every one lies below 2^24 in magnitude)
// to its value rounded to the nearest, plus kLift; Near gains the lanes whose sum lies half-way or
// next to it. The quotient q of (sum + 500 + 1000 kLift) by 1000 is off the true one by less than
// 0.0001, and the true one is a whole number exactly when the sum is half-way, else at least 0.001
// from one: truncating q is right unless q is within 0.0005 of a whole number.
IE_AVX2 inline __m256i Rounded(__m256 Sum, __m256& Near) {
  const __m256 q = _mm256_mul_ps(_mm256_add_ps(Sum, _mm256_set1_ps(kLift * 1000 + 500)), _mm256_set1_ps(0.001f));
  const __m256 off = _mm256_sub_ps(q, _mm256_round_ps(q, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
  const __m256 distance = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), off);
  Near = _mm256_or_ps(Near, _mm256_cmp_ps(distance, _mm256_set1_ps(0.0005f), _CMP_LT_OQ));
  return _mm256_sub_epi32(_mm256_cvttps_epi32(q), _mm256_set1_epi32(static_cast<int32_t>(kLift)));
}

}  // namespace

IE_AVX2 int32_t YUVPairsRowAvx2(const uint8_t* Src, uint8_t* Dst, int32_t Width, uint32_t Order,
                                TYUVPairsConvert Exact) {
  // Byte indexes of eight pixels' Y, U and V within 16 source bytes (four pairs).
  const int y0 = Order & 3, y1 = (Order >> 2) & 3, u = (Order >> 4) & 3, v = (Order >> 6) & 3;
  alignas(16) int8_t pick[3][16];
  for (int p = 0; p < 4; ++p) {
    pick[0][2 * p] = static_cast<int8_t>(4 * p + y0);
    pick[0][2 * p + 1] = static_cast<int8_t>(4 * p + y1);
    pick[1][2 * p] = pick[1][2 * p + 1] = static_cast<int8_t>(4 * p + u);
    pick[2][2 * p] = pick[2][2 * p + 1] = static_cast<int8_t>(4 * p + v);
  }
  for (int k = 0; k < 3; ++k)
    for (int i = 8; i < 16; ++i) pick[k][i] = -1;
  const __m128i pickY = _mm_load_si128(reinterpret_cast<const __m128i*>(pick[0]));
  const __m128i pickU = _mm_load_si128(reinterpret_cast<const __m128i*>(pick[1]));
  const __m128i pickV = _mm_load_si128(reinterpret_cast<const __m128i*>(pick[2]));
  // Bytes b0..b3 g0..g3 r0..r3 (the rest unused) of each half to b0 g0 r0 b1 g1 r1 ...
  const __m128i interleave = _mm_setr_epi8(0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1);
  const __m256i interleave2 = _mm256_broadcastsi128_si256(interleave);
  const __m256i c16 = _mm256_set1_epi32(16), c128 = _mm256_set1_epi32(128);

  int32_t x = 0;
  for (; x + 8 <= Width; x += 8, Src += 16, Dst += 24) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src));
    // The samples less their zero levels, as floats: products and sums stay whole numbers.
    const __m256 Y = _mm256_cvtepi32_ps(_mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_shuffle_epi8(s, pickY)), c16));
    const __m256 U = _mm256_cvtepi32_ps(_mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_shuffle_epi8(s, pickU)), c128));
    const __m256 V = _mm256_cvtepi32_ps(_mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_shuffle_epi8(s, pickV)), c128));
    const __m256 luma = _mm256_mul_ps(Y, _mm256_set1_ps(1164));
    const __m256 blueSum = _mm256_add_ps(luma, _mm256_mul_ps(U, _mm256_set1_ps(2018)));
    const __m256 redSum = _mm256_add_ps(luma, _mm256_mul_ps(V, _mm256_set1_ps(1596)));
    const __m256 greenSum =
        _mm256_sub_ps(luma, _mm256_add_ps(_mm256_mul_ps(V, _mm256_set1_ps(813)), _mm256_mul_ps(U, _mm256_set1_ps(391))));
    __m256 near = _mm256_setzero_ps();
    const __m256i b = Rounded(blueSum, near), g = Rounded(greenSum, near), r = Rounded(redSum, near);
    if (!_mm256_testz_ps(near, near)) {
      Exact(Src, Dst, 4);
      continue;
    }
    // Saturating packs clamp to 0..255: per half b0..b3 g0..g3 r0..r3 r0..r3.
    const __m256i bg = _mm256_packus_epi32(b, g), rr = _mm256_packus_epi32(r, r);
    const __m256i bytes = _mm256_shuffle_epi8(_mm256_packus_epi16(bg, rr), interleave2);
    const __m128i lo = _mm256_castsi256_si128(bytes), hi = _mm256_extracti128_si256(bytes, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Dst), lo);
    const uint32_t loTail = static_cast<uint32_t>(_mm_extract_epi32(lo, 2));
    std::memcpy(Dst + 8, &loTail, 4);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Dst + 12), hi);
    const uint32_t hiTail = static_cast<uint32_t>(_mm_extract_epi32(hi, 2));
    std::memcpy(Dst + 20, &hiTail, 4);
  }
  return x;
}
