#include "imaging/processing/ie_gauss_blur_lines.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

// The AVX2 functions carry the target themselves; nothing else here is compiled for AVX2, so the
// program keeps running on processors without it.
#define IE_AVX2_FMA __attribute__((target("avx2,fma")))

namespace {

// (Sum + 32768) shr 16 of an exact, non-negative sum below 2^24, clamped to a byte.
inline uint8_t ToByte(float Sum) {
  const int32_t v = static_cast<int32_t>((Sum + 32768.0f) * (1.0f / 65536.0f));
  return static_cast<uint8_t>(std::min(v, 255));
}

// Eight sums to bytes, as ToByte.
IE_AVX2_FMA inline __m256i ToInts(__m256 Sum) {
  const __m256i v = _mm256_cvttps_epi32(
      _mm256_mul_ps(_mm256_add_ps(Sum, _mm256_set1_ps(32768.0f)), _mm256_set1_ps(1.0f / 65536.0f)));
  return _mm256_min_epi32(v, _mm256_set1_epi32(255));
}

// 32 sums to 32 bytes in order.
IE_AVX2_FMA inline void Store32(uint8_t* Out, __m256 A, __m256 B, __m256 C, __m256 D) {
  const __m256i ab = _mm256_packus_epi32(ToInts(A), ToInts(B));
  const __m256i cd = _mm256_packus_epi32(ToInts(C), ToInts(D));
  const __m256i bytes = _mm256_packus_epi16(ab, cd);
  // The packs interleave the two 128-bit lanes: put the groups of four back in order.
  const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out), ordered);
}

}  // namespace

void GaussLineScalar(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count, uint8_t* Out) {
  for (int32_t i = 0; i < Count; ++i) {
    float sum = 0;
    for (int32_t t = 0; t < Taps; ++t) sum += W[t] * P[i + t * Step];
    Out[i] = ToByte(sum);
  }
}

void GaussStackScalar(const float* const* Rows, const float* W, int32_t Taps, int32_t Count, uint8_t* Out) {
  for (int32_t i = 0; i < Count; ++i) {
    float sum = 0;
    for (int32_t t = 0; t < Taps; ++t) sum += W[t] * Rows[t][i];
    Out[i] = ToByte(sum);
  }
}

IE_AVX2_FMA void GaussLineAvx2(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count,
                               uint8_t* Out) {
  // Groups of 32 samples, four accumulators each; the last group goes through a scratch row (the
  // input is padded for the reads, the output is not for the writes).
  for (int32_t i = 0; i < Count; i += 32) {
    __m256 a = _mm256_setzero_ps(), b = a, c = a, d = a;
    const float* p = P + i;
    for (int32_t t = 0; t < Taps; ++t, p += Step) {
      const __m256 w = _mm256_set1_ps(W[t]);
      a = _mm256_fmadd_ps(w, _mm256_loadu_ps(p), a);
      b = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 8), b);
      c = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 16), c);
      d = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 24), d);
    }
    if (Count - i >= 32) {
      Store32(Out + i, a, b, c, d);
    } else {
      alignas(32) uint8_t tail[32];
      Store32(tail, a, b, c, d);
      std::memcpy(Out + i, tail, static_cast<size_t>(Count - i));
    }
  }
}

IE_AVX2_FMA void GaussStackAvx2(const float* const* Rows, const float* W, int32_t Taps, int32_t Count,
                                uint8_t* Out) {
  for (int32_t i = 0; i < Count; i += 32) {
    __m256 a = _mm256_setzero_ps(), b = a, c = a, d = a;
    for (int32_t t = 0; t < Taps; ++t) {
      const __m256 w = _mm256_set1_ps(W[t]);
      const float* p = Rows[t] + i;
      a = _mm256_fmadd_ps(w, _mm256_loadu_ps(p), a);
      b = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 8), b);
      c = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 16), c);
      d = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 24), d);
    }
    if (Count - i >= 32) {
      Store32(Out + i, a, b, c, d);
    } else {
      alignas(32) uint8_t tail[32];
      Store32(tail, a, b, c, d);
      std::memcpy(Out + i, tail, static_cast<size_t>(Count - i));
    }
  }
}
