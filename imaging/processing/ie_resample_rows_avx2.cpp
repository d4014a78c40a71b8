#include "imaging/processing/ie_resample_rows_avx2.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "imaging/processing/ie_resample_filters.h"

// Every function here carries the avx2 target itself; nothing else of this file is compiled for
// AVX2, so the rest of the program keeps running on processors without it.
#define IE_AVX2 __attribute__((target("avx2")))

namespace {

// Quotients of the sums S by the weight sum, rounded to the nearest with halves to even and
// clamped to 0..255, for a positive weight sum, as the reference kernels compute: with
// n = S + WeightSum div 2 clamped to 0 .. 256 * WeightSum - 1, Trunc(n / WeightSum), less one when
// that is odd and n is an exact multiple of an even WeightSum.
//
// The quotient is the single-precision one, which is exact here: n and the weight sum are whole
// numbers below 2^24 and 2^16 (the table keeps no vector form otherwise), so a quotient that is not
// whole lies at least 1 / WeightSum >= 2^-16 from the whole numbers around it, while the spacing of
// floats below 256 is at most 2^-16 and correct rounding moves it by at most half of that. So the
// rounded quotient truncates to the true one, and it is whole exactly when the division is.
struct TDivisor8 {
  __m256i Half, Limit, EvenMask;
  __m256 WeightSum;
};

IE_AVX2 inline __m256i Load8(const std::vector<int32_t>& v, size_t At) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v.data() + At));
}

// Lanes 4 I .. 4 I + 7 of the table's divisors: the constants of destination pixels I and I + 1.
IE_AVX2 inline TDivisor8 PairOf(const TIEContributorTable::TLaneDivisors& d, int32_t I) {
  const size_t at = 4 * static_cast<size_t>(I);
  return TDivisor8{Load8(d.Half, at), Load8(d.Limit, at), Load8(d.EvenMask, at), _mm256_loadu_ps(d.WeightSum.data() + at)};
}

// The constants of destination pixel I in every lane.
IE_AVX2 inline TDivisor8 AllOf(const TIEContributorTable::TLaneDivisors& d, int32_t I) {
  const size_t l = 4 * static_cast<size_t>(I);
  return TDivisor8{_mm256_set1_epi32(d.Half[l]), _mm256_set1_epi32(d.Limit[l]), _mm256_set1_epi32(d.EvenMask[l]),
                   _mm256_set1_ps(d.WeightSum[l])};
}

IE_AVX2 inline __m256i Divide8(__m256i S, const TDivisor8& d) {
  S = _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(S, d.Half), _mm256_setzero_si256()), d.Limit);
  const __m256 f = _mm256_div_ps(_mm256_cvtepi32_ps(S), d.WeightSum);
  const __m256i q = _mm256_cvttps_epi32(f);
  const __m256i whole = _mm256_castps_si256(_mm256_cmp_ps(_mm256_cvtepi32_ps(q), f, _CMP_EQ_OQ));
  const __m256i tie = _mm256_and_si256(whole, d.EvenMask);
  return _mm256_sub_epi32(q, _mm256_and_si256(tie, _mm256_and_si256(q, _mm256_set1_epi32(1))));
}

inline int32_t Divide8Scalar(int32_t S, int32_t WeightSum) {
  S += WeightSum / 2;
  if (S <= 0) return 0;
  int32_t q = S / WeightSum;
  if ((WeightSum & 1) == 0 && S % WeightSum == 0) q &= ~1;
  return std::min(q, 255);
}

}  // namespace

namespace {

// Writes the 3-byte pixels of a row from Sums(I), the sums of destination pixel I (blue, green, red
// and 0 in four lanes), each divided by its weight sum.
template <class SumsFn>
IE_AVX2 inline void StoreRow24(const TIEContributorTable& Columns, uint8_t* Dst, SumsFn&& Sums) {
  const int32_t dw = Columns.DestSize();
  const TIEContributorTable::TLaneDivisors& divisors = Columns.LaneDivisors();
  // Two destination pixels at a time share one division: their quotients packed to bytes leave
  // pixel I in the low four bytes of the low lane and pixel I + 1 in those of the high lane.
  int32_t i = 0;
  for (; i + 1 < dw; i += 2) {
    const __m256i s = _mm256_inserti128_si256(_mm256_castsi128_si256(Sums(i)), Sums(i + 1), 1);
    const __m256i q = Divide8(s, PairOf(divisors, i));
    const __m256i w16 = _mm256_packus_epi32(q, q);
    const __m256i bytes = _mm256_packus_epi16(w16, w16);
    const uint32_t first = static_cast<uint32_t>(_mm256_cvtsi256_si32(bytes));
    const uint32_t second = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(bytes, 1)));
    uint8_t* d = Dst + static_cast<ptrdiff_t>(i) * 3;
    // Four bytes each; the fourth is overwritten by the next pixel, except after the last one.
    std::memcpy(d, &first, 4);
    if (i + 2 < dw) {
      std::memcpy(d + 3, &second, 4);
    } else {
      d[3] = static_cast<uint8_t>(second);
      d[4] = static_cast<uint8_t>(second >> 8);
      d[5] = static_cast<uint8_t>(second >> 16);
    }
  }
  if (i < dw) {
    // The last pixel alone: three bytes, nothing past the row.
    const __m256i q = Divide8(_mm256_castsi128_si256(Sums(i)), AllOf(divisors, i));
    const __m256i w16 = _mm256_packus_epi32(q, q);
    const uint32_t bgr = static_cast<uint32_t>(_mm256_cvtsi256_si32(_mm256_packus_epi16(w16, w16)));
    uint8_t* d = Dst + static_cast<ptrdiff_t>(i) * 3;
    d[0] = static_cast<uint8_t>(bgr);
    d[1] = static_cast<uint8_t>(bgr >> 8);
    d[2] = static_cast<uint8_t>(bgr >> 16);
  }
}

// The horizontal pass of 3-byte pixels with Groups groups of four taps for every destination pixel
// (0: Groups Count, at run time). Every pixel runs the same number of groups, those past its own
// run reading weights of 0, so that the loop ends alike for all and is unrolled when Groups is
// known.
template <int Groups>
IE_AVX2 void RowH24(const TIEContributorTable& Columns, const uint8_t* Src, uint8_t* Dst, uint8_t* Scratch,
                    int32_t Count) {
  const int32_t groups = Groups > 0 ? Groups : Count;
  const int32_t sw = Columns.SourceSize();
  // Groups of four taps load 16 bytes, which may reach past the row's last pixel: the columns whose
  // loads stay inside the row read it in place, the last few read a copy of the row's tail padded
  // with zeros.
  const int32_t tailStart = std::max(0, sw - (Columns.Stride() + 8));
  const size_t tailBytes = static_cast<size_t>(sw - tailStart) * 3;
  std::memcpy(Scratch, Src + static_cast<size_t>(tailStart) * 3, tailBytes);
  std::memset(Scratch + tailBytes, 0, static_cast<size_t>(Columns.Stride() + 8) * 3 + 16);
  // The last left pixel whose loads stay inside the row.
  const int32_t lastInPlace = sw - 4 * (groups - 1) - 6;
  // Four pixels p0..p3 from 16 loaded bytes: blue, green and red of p0 and p1 side by side as
  // 16-bit numbers in the low lane, of p2 and p3 in the high lane, so that one multiply-add with
  // the paired weights (w0, w1) and (w2, w3) sums two taps per channel.
  const __m256i shuffle = _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                                           6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
  const int32_t* paired = Columns.PairedWeights(0);
  const size_t pairedStride = static_cast<size_t>(Columns.Stride()) * 2;
  // The sums of destination pixel I: blue, green, red and 0 in four lanes.
  StoreRow24(Columns, Dst, [&](int32_t i) IE_AVX2 {
    const int32_t left = Columns.Left(i);
    const uint8_t* p = left <= lastInPlace ? Src + static_cast<ptrdiff_t>(left) * 3
                                           : Scratch + static_cast<ptrdiff_t>(left - tailStart) * 3;
    const int32_t* w = paired + static_cast<size_t>(i) * pairedStride;
    // Two sums, so that the additions of neighbouring groups do not wait for each other.
    __m256i acc0 = _mm256_setzero_si256(), acc1 = _mm256_setzero_si256();
#pragma GCC unroll 8
    for (int32_t g = 0; g < groups; ++g) {
      const __m256i px = _mm256_shuffle_epi8(
          _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * g))), shuffle);
      const __m256i t = _mm256_madd_epi16(px, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 8 * g)));
      if (g & 1)
        acc1 = _mm256_add_epi32(acc1, t);
      else
        acc0 = _mm256_add_epi32(acc0, t);
    }
    const __m256i acc = _mm256_add_epi32(acc0, acc1);
    return _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
  });
}

}  // namespace

IE_AVX2 void ResampleRowH24Avx2(const TIEContributorTable& Columns, const uint8_t* Src, uint8_t* Dst,
                                uint8_t* Scratch) {
  const int32_t groups = (Columns.MaxTaps() + 3) / 4;
  switch (groups) {
    case 1: RowH24<1>(Columns, Src, Dst, Scratch, groups); break;
    case 2: RowH24<2>(Columns, Src, Dst, Scratch, groups); break;
    case 3: RowH24<3>(Columns, Src, Dst, Scratch, groups); break;
    case 4: RowH24<4>(Columns, Src, Dst, Scratch, groups); break;
    case 5: RowH24<5>(Columns, Src, Dst, Scratch, groups); break;
    case 6: RowH24<6>(Columns, Src, Dst, Scratch, groups); break;
    case 7: RowH24<7>(Columns, Src, Dst, Scratch, groups); break;
    case 8: RowH24<8>(Columns, Src, Dst, Scratch, groups); break;
    default: RowH24<0>(Columns, Src, Dst, Scratch, groups); break;
  }
}

IE_AVX2 void ResampleRowH8Avx2(const TIEContributorTable& Columns, const uint8_t* Src, uint8_t* Dst,
                               uint8_t* Scratch) {
  const int32_t sw = Columns.SourceSize(), dw = Columns.DestSize();
  std::memcpy(Scratch, Src, static_cast<size_t>(sw));
  std::memset(Scratch + sw, 0, static_cast<size_t>(Columns.Stride()) + 24);
  for (int32_t i = 0; i < dw; ++i) {
    const uint8_t* p = Scratch + Columns.Left(i);
    const int16_t* w = Columns.Weights(i);
    const int32_t taps = Columns.Taps(i);
    __m128i acc = _mm_setzero_si128();
    for (int32_t k = 0; k < taps; k += 8) {
      const __m128i px = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k)));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(px, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k))));
    }
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 3, 2)));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(2, 3, 0, 1)));
    Dst[i] = static_cast<uint8_t>(Divide8Scalar(_mm_cvtsi128_si32(acc), Columns.WeightSum(i)));
  }
}

IE_AVX2 void ResampleRowV8Avx2(const TIEContributorTable& RowTable, int32_t Y, const uint8_t* const* Rows,
                               int32_t Samples, uint8_t* Dst) {
  const int32_t left = RowTable.Left(Y), taps = RowTable.Taps(Y);
  const int16_t* w = RowTable.Weights(Y);
  const int32_t weightSum = RowTable.WeightSum(Y);
  const TDivisor8 divisor = AllOf(RowTable.LaneDivisors(), Y);
  const __m256i zero = _mm256_setzero_si256();
  const uint8_t* const* rows = Rows + left;
  int32_t x = 0;
  for (; x + 32 <= Samples; x += 32) {
    // Two rows at a time: their bytes interleaved and widened to 16 bits, so that one multiply-add
    // with (w[k], w[k + 1]) sums both taps. The four sums hold the samples in the lane order of
    // the unpacking, which the packing below undoes.
    __m256i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
    int32_t k = 0;
    for (; k < taps; k += 2) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + x));
      const __m256i b =
          k + 1 < taps ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k + 1] + x)) : zero;
      const int32_t w1 = k + 1 < taps ? w[k + 1] : 0;
      const __m256i wv = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint16_t>(w[k]) | (static_cast<uint32_t>(w1) << 16)));
      const __m256i lo = _mm256_unpacklo_epi8(a, b);
      const __m256i hi = _mm256_unpackhi_epi8(a, b);
      acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), wv));
      acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), wv));
      acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), wv));
      acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), wv));
    }
    acc0 = Divide8(acc0, divisor);
    acc1 = Divide8(acc1, divisor);
    acc2 = Divide8(acc2, divisor);
    acc3 = Divide8(acc3, divisor);
    const __m256i packed = _mm256_packus_epi16(_mm256_packus_epi32(acc0, acc1), _mm256_packus_epi32(acc2, acc3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + x), packed);
  }
  for (; x < Samples; ++x) {
    int32_t sum = 0;
    for (int32_t k = 0; k < taps; ++k) sum += w[k] * rows[k][x];
    Dst[x] = static_cast<uint8_t>(Divide8Scalar(sum, weightSum));
  }
}
