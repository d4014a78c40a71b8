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

// A block of up to 32 results: the last block of a line goes through a scratch row (the input is
// padded for the reads, the output is not for the writes).
IE_AVX2_FMA inline void StoreBlock(uint8_t* Out, int32_t Left, __m256 A, __m256 B, __m256 C, __m256 D) {
  if (Left >= 32) {
    Store32(Out, A, B, C, D);
    return;
  }
  alignas(32) uint8_t tail[32];
  Store32(tail, A, B, C, D);
  std::memcpy(Out, tail, static_cast<size_t>(Left));
}

}  // namespace

void GaussLineScalar(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count, uint8_t* Out) {
  for (int32_t i = 0; i < Count; ++i) {
    float sum = 0;
    for (int32_t t = 0; t < Taps; ++t) sum += W[t] * P[i + t * Step];
    Out[i] = ToByte(sum);
  }
}

void GaussWidenScalar(const uint8_t* Src, float* Dst, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) Dst[i] = Src[i];
}

IE_AVX2_FMA void GaussWidenAvx2(const uint8_t* Src, float* Dst, int32_t Count) {
  int32_t i = 0;
  for (; i + 8 <= Count; i += 8) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Src + i));
    _mm256_storeu_ps(Dst + i, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)));
  }
  for (; i < Count; ++i) Dst[i] = Src[i];
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
  int32_t i = 0;
  // Groups of 64 samples, eight accumulators sharing each tap's weight; then groups of 32.
  for (; i + 64 <= Count; i += 64) {
    __m256 a[8];
    for (__m256& v : a) v = _mm256_setzero_ps();
    const float* p = P + i;
    for (int32_t t = 0; t < Taps; ++t, p += Step) {
      const __m256 w = _mm256_set1_ps(W[t]);
      for (int32_t k = 0; k < 8; ++k) a[k] = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 8 * k), a[k]);
    }
    Store32(Out + i, a[0], a[1], a[2], a[3]);
    Store32(Out + i + 32, a[4], a[5], a[6], a[7]);
  }
  for (; i < Count; i += 32) {
    __m256 a = _mm256_setzero_ps(), b = a, c = a, d = a;
    const float* p = P + i;
    for (int32_t t = 0; t < Taps; ++t, p += Step) {
      const __m256 w = _mm256_set1_ps(W[t]);
      a = _mm256_fmadd_ps(w, _mm256_loadu_ps(p), a);
      b = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 8), b);
      c = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 16), c);
      d = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 24), d);
    }
    StoreBlock(Out + i, Count - i, a, b, c, d);
  }
}

IE_AVX2_FMA void GaussStackAvx2(const float* const* Rows, const float* W, int32_t Taps, int32_t Count,
                                uint8_t* Out) {
  int32_t i = 0;
  // Groups of 64 samples: eight accumulators share each tap's weight and row pointer.
  for (; i + 64 <= Count; i += 64) {
    __m256 a[8];
    for (__m256& v : a) v = _mm256_setzero_ps();
    for (int32_t t = 0; t < Taps; ++t) {
      const __m256 w = _mm256_set1_ps(W[t]);
      const float* p = Rows[t] + i;
      for (int32_t k = 0; k < 8; ++k) a[k] = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 8 * k), a[k]);
    }
    Store32(Out + i, a[0], a[1], a[2], a[3]);
    Store32(Out + i + 32, a[4], a[5], a[6], a[7]);
  }
  for (; i < Count; i += 32) {
    __m256 a = _mm256_setzero_ps(), b = a, c = a, d = a;
    for (int32_t t = 0; t < Taps; ++t) {
      const __m256 w = _mm256_set1_ps(W[t]);
      const float* p = Rows[t] + i;
      a = _mm256_fmadd_ps(w, _mm256_loadu_ps(p), a);
      b = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 8), b);
      c = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 16), c);
      d = _mm256_fmadd_ps(w, _mm256_loadu_ps(p + 24), d);
    }
    StoreBlock(Out + i, Count - i, a, b, c, d);
  }
}

IE_AVX2_FMA void GaussStack4Avx2(const float* const* Rows, const float* W, int32_t Taps, int32_t Count,
                                 uint8_t* const* Out) {
  // Blocks of 16 samples: eight accumulators, two per output row. Input row i adds into output j
  // with the weight W[i - j] while 0 <= i - j < Taps.
  alignas(32) uint8_t scratch[4][32];
  for (int32_t i0 = 0; i0 < Count; i0 += 16) {
    __m256 acc[4][2];
    for (auto& a : acc) a[0] = a[1] = _mm256_setzero_ps();
    const int32_t inputs = Taps + 3;
    for (int32_t i = 0; i < inputs; ++i) {
      const __m256 x0 = _mm256_loadu_ps(Rows[i] + i0), x1 = _mm256_loadu_ps(Rows[i] + i0 + 8);
      if (i >= 3 && i < Taps) {
        for (int32_t j = 0; j < 4; ++j) {
          const __m256 w = _mm256_set1_ps(W[i - j]);
          acc[j][0] = _mm256_fmadd_ps(w, x0, acc[j][0]);
          acc[j][1] = _mm256_fmadd_ps(w, x1, acc[j][1]);
        }
      } else {
        for (int32_t j = 0; j < 4; ++j) {
          const int32_t t = i - j;
          if (t < 0 || t >= Taps) continue;
          const __m256 w = _mm256_set1_ps(W[t]);
          acc[j][0] = _mm256_fmadd_ps(w, x0, acc[j][0]);
          acc[j][1] = _mm256_fmadd_ps(w, x1, acc[j][1]);
        }
      }
    }
    const int32_t left = std::min(16, Count - i0);
    for (int32_t j = 0; j < 4; ++j) {
      Store32(scratch[j], acc[j][0], acc[j][1], acc[j][0], acc[j][1]);
      std::memcpy(Out[j] + i0, scratch[j], static_cast<size_t>(left));
    }
  }
}

// ---- AVX-512 ----

#define IE_AVX512 __attribute__((target("avx512f")))

// GCC 12's AVX-512 intrinsics start their results from an undefined register, which it then takes
// for an uninitialised read when they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Sixteen sums to sixteen bytes, as ToByte.
IE_AVX512 inline __m128i ToBytes16(__m512 Sum) {
  const __m512i v = _mm512_cvttps_epi32(
      _mm512_mul_ps(_mm512_add_ps(Sum, _mm512_set1_ps(32768.0f)), _mm512_set1_ps(1.0f / 65536.0f)));
  return _mm512_cvtepi32_epi8(_mm512_min_epi32(v, _mm512_set1_epi32(255)));
}

// Sixteen results, or the first Left of them at the end of a line.
IE_AVX512 inline void Store16(uint8_t* Out, int32_t Left, __m512 Sum) {
  const __m128i bytes = ToBytes16(Sum);
  if (Left >= 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), bytes);
    return;
  }
  alignas(16) uint8_t tail[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(tail), bytes);
  std::memcpy(Out, tail, static_cast<size_t>(Left));
}

}  // namespace

IE_AVX512 void GaussLineAvx512(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count,
                               uint8_t* Out) {
  int32_t i = 0;
  // Groups of 128 samples, eight accumulators sharing each tap's weight; then groups of 16.
  for (; i + 128 <= Count; i += 128) {
    __m512 a[8];
    for (__m512& v : a) v = _mm512_setzero_ps();
    const float* p = P + i;
    for (int32_t t = 0; t < Taps; ++t, p += Step) {
      const __m512 w = _mm512_set1_ps(W[t]);
      for (int32_t k = 0; k < 8; ++k) a[k] = _mm512_fmadd_ps(w, _mm512_loadu_ps(p + 16 * k), a[k]);
    }
    for (int32_t k = 0; k < 8; ++k) Store16(Out + i + 16 * k, 16, a[k]);
  }
  for (; i < Count; i += 16) {
    __m512 a = _mm512_setzero_ps();
    const float* p = P + i;
    for (int32_t t = 0; t < Taps; ++t, p += Step) a = _mm512_fmadd_ps(_mm512_set1_ps(W[t]), _mm512_loadu_ps(p), a);
    Store16(Out + i, Count - i, a);
  }
}

IE_AVX512 void GaussStackAvx512(const float* const* Rows, const float* W, int32_t Taps, int32_t Count,
                                uint8_t* Out) {
  for (int32_t i = 0; i < Count; i += 16) {
    __m512 a = _mm512_setzero_ps();
    for (int32_t t = 0; t < Taps; ++t) a = _mm512_fmadd_ps(_mm512_set1_ps(W[t]), _mm512_loadu_ps(Rows[t] + i), a);
    Store16(Out + i, Count - i, a);
  }
}

IE_AVX512 void GaussStack4Avx512(const float* const* Rows, const float* W, int32_t Taps, int32_t Count,
                                 uint8_t* const* Out) {
  // Blocks of 32 samples: eight accumulators, two per output row.
  for (int32_t i0 = 0; i0 < Count; i0 += 32) {
    __m512 acc[4][2];
    for (auto& a : acc) a[0] = a[1] = _mm512_setzero_ps();
    const int32_t inputs = Taps + 3;
    for (int32_t i = 0; i < inputs; ++i) {
      const __m512 x0 = _mm512_loadu_ps(Rows[i] + i0), x1 = _mm512_loadu_ps(Rows[i] + i0 + 16);
      const int32_t jFirst = i - Taps + 1 > 0 ? i - Taps + 1 : 0, jLast = i < 3 ? i : 3;
      for (int32_t j = jFirst; j <= jLast; ++j) {
        const __m512 w = _mm512_set1_ps(W[i - j]);
        acc[j][0] = _mm512_fmadd_ps(w, x0, acc[j][0]);
        acc[j][1] = _mm512_fmadd_ps(w, x1, acc[j][1]);
      }
    }
    const int32_t left = Count - i0;
    for (int32_t j = 0; j < 4; ++j) {
      Store16(Out[j] + i0, left, acc[j][0]);
      if (left > 16) Store16(Out[j] + i0 + 16, left - 16, acc[j][1]);
    }
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
