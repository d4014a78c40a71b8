#include "imaging/processing/ie_rotate_avx2.h"

#include <immintrin.h>

#include <cmath>
#include <cstring>

#include "imaging/processing/ie_rotate.h"

// Every function here carries the avx2 target itself; nothing else of this file is compiled for
// AVX2, so the rest of the program keeps running on processors without it. Without fused
// multiply-adds, each lane of the bicubic sample (one channel) takes the same products and sums in
// the same order as the scalar sample, so both give the same bytes.
#define IE_AVX2 __attribute__((target("avx2")))

namespace {

// The background frame around the picture (as the scalar sampler).
constexpr int32_t kFrame = 3;

// Pixels 0..3 of a row (12 bytes, 16 read) as four vectors of the channels 0..2 and a lane that is
// not used.
IE_AVX2 inline void LoadFour(const uint8_t* P, __m256d Out[4]) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
  Out[0] = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(v));
  Out[1] = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(v, 3)));
  Out[2] = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(v, 6)));
  Out[3] = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(v, 9)));
}

// Four pixels weighted, summed from the left.
IE_AVX2 inline __m256d Mix(__m256d W0, __m256d W1, __m256d W2, __m256d W3, const __m256d P[4]) {
  __m256d h = _mm256_add_pd(_mm256_mul_pd(W0, P[0]), _mm256_mul_pd(W1, P[1]));
  h = _mm256_add_pd(h, _mm256_mul_pd(W2, P[2]));
  return _mm256_add_pd(h, _mm256_mul_pd(W3, P[3]));
}

}  // namespace

IE_AVX2 void BicubicRow24Avx2(const TIERotateSource& Source, const double* ColX, const double* ColY, double DSX,
                              double DSY, int32_t Width, uint8_t* Dst) {
  const __m256d epsilon = _mm256_set1_pd(1e-7), zero = _mm256_setzero_pd(), top = _mm256_set1_pd(255);
  for (int32_t x = 0; x < Width; ++x, Dst += 3) {
    const double sx = ColX[x] - DSX, sy = ColY[x] + DSY;
    const int32_t x0 = static_cast<int32_t>(std::trunc(sx)), y0 = static_cast<int32_t>(std::trunc(sy));
    const int32_t px = x0 - 1 - kFrame, py = y0 - 1 - kFrame;
    // Sixteen bytes are read from each of the four rows: the four pixels and one past them. All
    // sixteen pixels outside the picture are the background's; some outside, the scalar sampler.
    const bool inside = px >= 0 && py >= 0 && px + 5 < Source.Width && py + 3 < Source.Height;
    const bool outside = px + 3 < 0 || py + 3 < 0 || px >= Source.Width || py >= Source.Height;
    if (!inside && !outside) {
      SampleBicubic(Source, sx, sy, Dst);
      continue;
    }
    if (outside) {
      // Sixteen background pixels: the weights of each direction add up to 1, so the sum is the
      // background within a rounding far below the hair added before truncating, exactly its bytes.
      Dst[0] = Source.Background[0];
      Dst[1] = Source.Background[1];
      Dst[2] = Source.Background[2];
      continue;
    }
    double wx[4], wy[4];
    BicubicWeights(sx - x0, wx);
    BicubicWeights(sy - y0, wy);
    const __m256d w0 = _mm256_set1_pd(wx[0]), w1 = _mm256_set1_pd(wx[1]), w2 = _mm256_set1_pd(wx[2]),
                  w3 = _mm256_set1_pd(wx[3]);
    __m256d value = zero;
    const int64_t at = static_cast<int64_t>(px) * 3;
    for (int k = 0; k < 4; ++k) {
      __m256d p[4];
      LoadFour(Source.Rows[py + k] + at, p);
      value = _mm256_add_pd(value, _mm256_mul_pd(_mm256_set1_pd(wy[k]), Mix(w0, w1, w2, w3, p)));
    }
    // Truncated to bytes as the scalar sampler: a hair added, below 0 is 0, 255 and above 255.
    value = _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(value, epsilon), zero), top);
    const __m128i i32 = _mm256_cvttpd_epi32(value);
    const uint32_t bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(i32, i32), _mm_setzero_si128())));
    Dst[0] = static_cast<uint8_t>(bytes);
    Dst[1] = static_cast<uint8_t>(bytes >> 8);
    Dst[2] = static_cast<uint8_t>(bytes >> 16);
  }
}

IE_AVX2 int32_t ShearBlendAvx2(const uint8_t* Src, int32_t Step, uint8_t* Dst, int32_t Count, int32_t A) {
  // P * A + Q * (4096 - A) + 2048 = Q * 4096 + (P - Q) * A + 2048: shifted right by 12 that is
  // Q + (((P - Q) * A + 2048) >> 12), exactly. The packs hold the results to 0..255.
  const __m256i a = _mm256_set1_epi32(A), half = _mm256_set1_epi32(2048);
  int32_t i = 0;
  for (; i + 16 <= Count; i += 16) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + i - Step));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + i));
    const __m256i q0 = _mm256_cvtepu8_epi32(q), q1 = _mm256_cvtepu8_epi32(_mm_srli_si128(q, 8));
    const __m256i d0 = _mm256_sub_epi32(_mm256_cvtepu8_epi32(p), q0);
    const __m256i d1 = _mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_srli_si128(p, 8)), q1);
    const __m256i v0 = _mm256_add_epi32(q0, _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(d0, a), half), 12));
    const __m256i v1 = _mm256_add_epi32(q1, _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(d1, a), half), 12));
    // 16-bit words in the order v0 0..3, v1 0..3, v0 4..7, v1 4..7; put back in order, then bytes.
    const __m256i w = _mm256_permute4x64_epi64(_mm256_packus_epi32(v0, v1), 0xD8);
    const __m128i b = _mm_packus_epi16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + i), b);
  }
  return i;
}
