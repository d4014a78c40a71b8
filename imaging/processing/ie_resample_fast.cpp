#include "imaging/processing/ie_resample_fast.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "imaging/core/ie_base_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_work_bitmap.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_rows.h"

namespace {

constexpr int32_t kFractionBits = 17;
constexpr double kFractionOne = 131072.0;

// The rows of a bitmap for a pass: collected up front when several threads read them (pointer
// arithmetic only), else mapped one at a time by the one thread that reads them.
class TRowTable {
 public:
  TRowTable(TIEBaseBitmap& bitmap, bool collect) : bitmap_(bitmap) {
    if (!collect) return;
    rows_.resize(static_cast<size_t>(bitmap.GetHeight()));
    for (int32_t y = 0; y < bitmap.GetHeight(); ++y) rows_[static_cast<size_t>(y)] = bitmap.GetRow(y);
  }
  uint8_t* Row(int32_t y) { return static_cast<uint8_t*>(rows_.empty() ? bitmap_.GetRow(y) : rows_[static_cast<size_t>(y)]); }

 private:
  TIEBaseBitmap& bitmap_;
  std::vector<void*> rows_;
};

// Trunc(N / D) for 0 <= N < 2^52 and D > 0, by a reciprocal estimate corrected by the remainder.
template <class S>
inline S DivideExact(S n, uint32_t d, double reciprocal) {
  int64_t q = static_cast<int64_t>(static_cast<double>(n) * reciprocal);
  const int64_t r = static_cast<int64_t>(n) - q * d;
  if (r < 0)
    --q;
  else if (r >= static_cast<int64_t>(d))
    ++q;
  return static_cast<S>(q);
}

// Trunc(N / D) of a box sum of 8-bit samples (N <= 255 D) by one 32-bit multiply and shift:
// N x ceil(2^24 / D) >> 24. With E = ceil(2^24 / D) x D - 2^24 <= D - 1 the product is off N / D by
// N E / (D 2^24) < 1 / D when 255 D (D - 1) < 2^24, which holds up to D = 257, and N x M stays below
// 2^32. Larger boxes take DivideExact.
constexpr int32_t kBoxMultiplierBits = 24;
constexpr int32_t kLargestMultipliedBox = 256;
inline uint32_t BoxMultiplier(int32_t box) {
  return box <= kLargestMultipliedBox ? ((1u << kBoxMultiplierBits) + static_cast<uint32_t>(box) - 1) / static_cast<uint32_t>(box)
                                      : 0;
}
inline uint8_t DivideBox(uint32_t sum, uint32_t multiplier) {
  return static_cast<uint8_t>((sum * multiplier) >> kBoxMultiplierBits);
}

// Per destination index along one axis: the first source index, the 17-bit fraction and the last
// source index of the box.
struct TLinearAxis {
  std::vector<int32_t> first;
  std::vector<int32_t> fraction;
  std::vector<int32_t> last;
  std::vector<double> reciprocal;   // 1 / box size
  std::vector<uint32_t> multiplier;  // BoxMultiplier of the box size (0: too large a box)
  int32_t largestBox = 1;
};

// Box sums are 32-bit where the largest box of full-scale samples fits (the vector units add four or
// eight of them at once) and 64-bit where it does not: 65,538 samples of 65535, or 16.8 million of
// 255, pass 2^32.
template <class T>
bool NeedsWideSums(const TLinearAxis& axis) {
  constexpr uint64_t kFullScale = sizeof(T) == 1 ? 255 : 65535;
  return static_cast<uint64_t>(axis.largestBox) * kFullScale > UINT32_MAX;
}

// Step = DestSize / SourceSize. BoxEpsilon is added to the box end (the columns have it, the rows not).
TLinearAxis LinearAxis(int32_t sourceSize, int32_t destSize, double boxEpsilon) {
  TLinearAxis a;
  const double step = static_cast<double>(destSize) / sourceSize;
  a.first.resize(static_cast<size_t>(destSize));
  a.fraction.resize(static_cast<size_t>(destSize));
  a.last.resize(static_cast<size_t>(destSize));
  a.reciprocal.resize(static_cast<size_t>(destSize));
  a.multiplier.resize(static_cast<size_t>(destSize));
  for (int32_t i = 0; i < destSize; ++i) {
    const double p = i / step;
    const int32_t first = std::min(static_cast<int32_t>(p), sourceSize - 1);
    a.first[static_cast<size_t>(i)] = first;
    a.fraction[static_cast<size_t>(i)] = static_cast<int32_t>((p - static_cast<int32_t>(p)) * kFractionOne);
    const int32_t last = static_cast<int32_t>(std::min(i + 1, destSize - 1) / step + boxEpsilon);
    a.last[static_cast<size_t>(i)] = std::clamp(last, first, sourceSize - 1);
    const int32_t box = a.last[static_cast<size_t>(i)] - first + 1;
    a.reciprocal[static_cast<size_t>(i)] = 1.0 / box;
    a.multiplier[static_cast<size_t>(i)] = BoxMultiplier(box);
    a.largestBox = std::max(a.largestBox, box);
  }
  return a;
}

// Destination columns I0..I1 of one row of the horizontal pass, written from Dst on; S is the type
// of the box sums.
template <class T, int C, class S>
void LinearRowHRange(const T* src, T* dst, const TLinearAxis& axis, int32_t sw, int32_t i0, int32_t i1,
                     bool interpolate) {
  if (interpolate) {
    // 8-bit differences times a 17-bit fraction stay inside 32 bits; the shift rounds down alike.
    using D = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;
    const int32_t* first = axis.first.data();
    const int32_t* fraction = axis.fraction.data();
    for (int32_t i = i0; i <= i1; ++i, dst += C) {
      const int32_t x = first[i];
      const D f = fraction[i];
      const T* a = src + x * C;
      const T* b = src + std::min(x + 1, sw - 1) * C;
      for (int c = 0; c < C; ++c) dst[c] = static_cast<T>(a[c] + ((static_cast<D>(b[c]) - a[c]) * f >> kFractionBits));
    }
    return;
  }
  for (int32_t i = i0; i <= i1; ++i) {
    const int32_t x0 = axis.first[static_cast<size_t>(i)], x1 = axis.last[static_cast<size_t>(i)];
    S sum[C] = {};
    for (int32_t x = x0; x <= x1; ++x)
      for (int c = 0; c < C; ++c) sum[c] += src[x * C + c];
    const uint32_t count = static_cast<uint32_t>(x1 - x0 + 1);
    for (int c = 0; c < C; ++c)
      dst[(i - i0) * C + c] = static_cast<T>(DivideExact<S>(sum[c], count, axis.reciprocal[static_cast<size_t>(i)]));
  }
}

// The box means of destination columns I0..I1 of one row of 8-bit samples whose box sums fit 32
// bits, as LinearRowHRange gives them: running sums of each channel over the columns the boxes
// cover (Sums holds C x (that count + 1) of them; a sum that wraps at 32 bits still gives the box's
// true difference, which is below 2^32), then a difference and a multiply a box.
template <int C>
  requires(C == 1 || C == 3)
void BoxRowH8(const uint8_t* src, uint8_t* dst, const TLinearAxis& axis, int32_t i0, int32_t i1, uint32_t* sums) {
  const int32_t base = axis.first[static_cast<size_t>(i0)], end = axis.last[static_cast<size_t>(i1)];
  src += static_cast<size_t>(base) * C;
  // The running sums live in registers, one a channel.
  uint32_t r0 = 0, r1 = 0, r2 = 0;
  for (int c = 0; c < C; ++c) sums[c] = 0;
  uint32_t* out = sums + C;
  for (int32_t x = base; x <= end; ++x, src += C, out += C) {
    out[0] = r0 += src[0];
    if constexpr (C == 3) {
      out[1] = r1 += src[1];
      out[2] = r2 += src[2];
    }
  }
  // The tables through plain pointers: the byte stores below could alias anything else.
  const int32_t* first = axis.first.data();
  const int32_t* last = axis.last.data();
  const uint32_t* multiplier = axis.multiplier.data();
  for (int32_t i = i0; i <= i1; ++i, dst += C) {
    const int32_t x0 = first[i] - base, x1 = last[i] - base;
    const uint32_t m = multiplier[i];
    const uint32_t* a = sums + static_cast<size_t>(x0) * C;
    const uint32_t* b = sums + static_cast<size_t>(x1 + 1) * C;
    if (m != 0) {
      dst[0] = DivideBox(b[0] - a[0], m);
      if constexpr (C == 3) {
        dst[1] = DivideBox(b[1] - a[1], m);
        dst[2] = DivideBox(b[2] - a[2], m);
      }
    } else {
      const uint32_t count = static_cast<uint32_t>(x1 - x0 + 1);
      const double reciprocal = axis.reciprocal[static_cast<size_t>(i)];
      for (int c = 0; c < C; ++c) dst[c] = static_cast<uint8_t>(DivideExact<uint32_t>(b[c] - a[c], count, reciprocal));
    }
  }
}

#if defined(__SSE2__)
// The boxes of a row that a 16-byte load holds (up to 5 pixels of 3 channels, 16 of 1) summed by
// the vector unit: the box's bytes of one channel kept by a mask, then added up by a sum of
// absolute differences from zero (one sum for each half of the load). The boxes whose load would
// reach past the row's end are added up one sample at a time. Gives exactly what BoxRowH8 gives.
template <int C>
constexpr int32_t kLoadBox = C == 3 ? 5 : 16;

template <int C>
struct TBoxMasks {
  alignas(16) uint8_t Bytes[kLoadBox<C> + 1][C][16] = {};
  constexpr TBoxMasks() {
    for (int32_t box = 1; box <= kLoadBox<C>; ++box)
      for (int c = 0; c < C; ++c)
        for (int32_t j = c; j < C * box; j += C) Bytes[box][c][j] = 0xFF;
  }
};
template <int C>
constexpr TBoxMasks<C> kBoxMasks{};

inline uint32_t MaskedByteSum(__m128i v, const uint8_t* mask) {
  const __m128i s = _mm_sad_epu8(_mm_and_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(mask))),
                                 _mm_setzero_si128());
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_add_epi32(s, _mm_srli_si128(s, 8))));
}

// Whether every box of the row fits one load.
template <int C>
bool BoxesFitLoads(const TLinearAxis& axis) {
  return axis.largestBox <= kLoadBox<C>;
}

// Trunc(N / D) for the sums of a small box (N <= 255 D) in 16-bit lanes:
// (2N x ceil(2^15 / D)) >> 16, exact while 255 D (D - 1) < 2^15, which holds up to D = 11.
constexpr int32_t kLargestHalfWordBox = 11;
constexpr uint16_t kHalfWordMultipliers[kLargestHalfWordBox + 1] = {
    0, 32768, 16384, 10923, 8192, 6554, 5462, 4682, 4096, 3641, 3277, 2979};
static_assert(kHalfWordMultipliers[3] == (32768 + 2) / 3 && kHalfWordMultipliers[11] == (32768 + 10) / 11);

template <int C>
void BoxRowH8Vector(const uint8_t* src, uint8_t* dst, const TLinearAxis& axis, int32_t sw, int32_t i0, int32_t i1) {
  const int32_t* first = axis.first.data();
  const int32_t* last = axis.last.data();
  const uint32_t* multiplier = axis.multiplier.data();
  const int64_t rowBytes = int64_t{sw} * C;
  const __m128i zero = _mm_setzero_si128();
  int32_t i = i0;
  if constexpr (C == 3) {
    // Three channels a load: their sums side by side in 16-bit lanes, divided together, and the
    // three bytes written with a fourth that the next pixel overwrites (not for the last pixel).
    for (; i < i1; ++i, dst += 3) {
      const int32_t x0 = first[i], box = last[i] - x0 + 1;
      if (int64_t{x0} * 3 + 16 > rowBytes) break;
      _mm_prefetch(reinterpret_cast<const char*>(src + static_cast<size_t>(x0) * 3 + 1024), _MM_HINT_T0);
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + static_cast<size_t>(x0) * 3));
      const auto& masks = kBoxMasks<3>.Bytes[box];
      const __m128i s0 = _mm_sad_epu8(_mm_and_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(masks[0]))), zero);
      const __m128i s1 = _mm_sad_epu8(_mm_and_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(masks[1]))), zero);
      const __m128i s2 = _mm_sad_epu8(_mm_and_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(masks[2]))), zero);
      __m128i sums = _mm_or_si128(_mm_or_si128(s0, _mm_slli_epi64(s1, 16)), _mm_slli_epi64(s2, 32));
      sums = _mm_add_epi16(sums, _mm_srli_si128(sums, 8));
      const __m128i m = _mm_set1_epi16(static_cast<int16_t>(kHalfWordMultipliers[box]));
      const __m128i q = _mm_mulhi_epu16(_mm_add_epi16(sums, sums), m);
      const uint32_t bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(q, q)));
      std::memcpy(dst, &bytes, 4);
    }
  }
  for (; i <= i1; ++i, dst += C) {
    const int32_t x0 = first[i], box = last[i] - x0 + 1;
    const uint32_t m = multiplier[i];
    const uint8_t* p = src + static_cast<size_t>(x0) * C;
    if (int64_t{x0} * C + 16 <= rowBytes) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      for (int c = 0; c < C; ++c) dst[c] = DivideBox(MaskedByteSum(v, kBoxMasks<C>.Bytes[box][c]), m);
    } else {
      // The last boxes of the row, one sample at a time.
      for (int c = 0; c < C; ++c) {
        uint32_t sum = 0;
        for (int32_t k = 0; k < box; ++k) sum += p[k * C + c];
        dst[c] = DivideBox(sum, m);
      }
    }
  }
}
static_assert(kLoadBox<3> <= kLargestHalfWordBox);
#endif

#if defined(__x86_64__)
// Every function of this part carries the avx2 target itself, so the rest of the program keeps
// running on processors without it.
#define IE_AVX2 __attribute__((target("avx2")))

// The shuffle controls and divisors of a pair of boxes of 3-channel pixels, N0 and N1 pixels long
// (1 .. kLoadBox<3>), one box a half of the 32 bytes, each half applied to 16 bytes loaded from its
// box's first pixel. A gathers the blue bytes into bytes 0..7 and the red ones into 8..15, B the
// green ones into 0..7; bytes past the box become 0. M holds the 16-bit multipliers of the boxes.
struct TBoxPairTables {
  alignas(32) uint8_t A[kLoadBox<3> + 1][kLoadBox<3> + 1][32] = {};
  alignas(32) uint8_t B[kLoadBox<3> + 1][kLoadBox<3> + 1][32] = {};
  alignas(32) uint16_t M[kLoadBox<3> + 1][kLoadBox<3> + 1][16] = {};
  constexpr TBoxPairTables() {
    for (int32_t n0 = 1; n0 <= kLoadBox<3>; ++n0)
      for (int32_t n1 = 1; n1 <= kLoadBox<3>; ++n1)
        for (int32_t half = 0; half < 2; ++half) {
          const int32_t n = half ? n1 : n0;
          uint8_t* a = A[n0][n1] + 16 * half;
          uint8_t* b = B[n0][n1] + 16 * half;
          for (int32_t k = 0; k < 16; ++k) a[k] = b[k] = 0x80;
          for (int32_t p = 0; p < n; ++p) {
            a[p] = static_cast<uint8_t>(3 * p);
            a[8 + p] = static_cast<uint8_t>(3 * p + 2);
            b[p] = static_cast<uint8_t>(3 * p + 1);
          }
          for (int32_t k = 0; k < 8; ++k) M[n0][n1][8 * half + k] = kHalfWordMultipliers[n];
        }
  }
};
constexpr TBoxPairTables kBoxPairTables{};

// Two neighbouring destination columns of a 3-channel row for BoxRowH24Avx2: the byte offsets of
// their boxes' first pixels in the source row and the offset of their pair's entry in the tables.
struct TBoxPair {
  uint32_t From0, From1, Table;
};

// The pairs of columns I0 and I0 + 1, I0 + 2 and I0 + 3, ..., each pair ending before I1 (each
// step writes a byte past its second pixel, which the next step overwrites; the row's last pixel
// is left to BoxRowH8Vector). None when a byte offset would not fit 32 bits.
std::vector<TBoxPair> BoxPairs(const TLinearAxis& axis, int32_t sw, int32_t i0, int32_t i1) {
  std::vector<TBoxPair> pairs;
  if (int64_t{sw} * 3 + 16 > UINT32_MAX) return pairs;
  pairs.reserve(static_cast<size_t>(std::max(0, (i1 - i0) / 2)));
  for (int32_t i = i0; i + 1 < i1; i += 2) {
    const int32_t x0 = axis.first[static_cast<size_t>(i)], x1 = axis.first[static_cast<size_t>(i) + 1];
    const int32_t n0 = axis.last[static_cast<size_t>(i)] - x0 + 1, n1 = axis.last[static_cast<size_t>(i) + 1] - x1 + 1;
    pairs.push_back(TBoxPair{static_cast<uint32_t>(x0) * 3, static_cast<uint32_t>(x1) * 3,
                             static_cast<uint32_t>((n0 * (kLoadBox<3> + 1) + n1) * 32)});
  }
  return pairs;
}

// BoxRowH8Vector<3> two boxes a step: each half of the registers sums one box's channels by a
// shuffle and a sum of absolute differences per channel pair, instead of a mask and a sum per
// channel. The same sums and the same 16-bit divide, so the same bytes. Stops at the first pair
// whose load would pass the row's end; returns the count of pairs done.
IE_AVX2 int32_t BoxRowH24Avx2(const uint8_t* src, uint8_t* dst, const TBoxPair* pairs, int32_t count, int32_t sw) {
  const int64_t rowBytes = int64_t{sw} * 3;
  const __m256i zero = _mm256_setzero_si256();
  const auto* tableA = &kBoxPairTables.A[0][0][0];
  const auto* tableB = &kBoxPairTables.B[0][0][0];
  const auto* tableM = reinterpret_cast<const uint8_t*>(&kBoxPairTables.M[0][0][0]);
  int32_t k = 0;
  for (; k < count; ++k, dst += 6) {
    const TBoxPair p = pairs[k];
    if (int64_t{p.From1} + 16 > rowBytes) break;
    // The row streams from memory: asked for well ahead (a prefetch never faults, also past the end).
    _mm_prefetch(reinterpret_cast<const char*>(src + p.From0 + 2048), _MM_HINT_T0);
    const __m256i v =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + p.From0))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + p.From1)), 1);
    const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(tableA + p.Table));
    const __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(tableB + p.Table));
    const __m256i m = _mm256_load_si256(reinterpret_cast<const __m256i*>(tableM + p.Table));
    const __m256i blueRed = _mm256_sad_epu8(_mm256_shuffle_epi8(v, a), zero);
    const __m256i green = _mm256_sad_epu8(_mm256_shuffle_epi8(v, b), zero);
    // 16-bit lanes 0, 1 and 2 of each half: blue, green, red.
    const __m256i sums =
        _mm256_or_si256(_mm256_or_si256(blueRed, _mm256_slli_epi64(green, 16)), _mm256_srli_si256(blueRed, 4));
    const __m256i q = _mm256_mulhi_epu16(_mm256_add_epi16(sums, sums), m);
    const __m256i bytes = _mm256_packus_epi16(q, q);
    const uint32_t p0 = static_cast<uint32_t>(_mm256_cvtsi256_si32(bytes));
    const uint32_t p1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(bytes, 1)));
    std::memcpy(dst, &p0, 4);
    std::memcpy(dst + 3, &p1, 4);
  }
  return k;
}

// The mean of Count (at most kLargestHalfWordBox) rows, 32 samples a step, as AverageRows sums and
// divides them sixteen at a time: the same 16-bit sums and divide, so the same bytes. Returns the
// first sample it left.
IE_AVX2 int32_t AverageFewRowsAvx2(const uint8_t* const* rowsOf, uint32_t count, uint8_t* dst, int32_t n) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i m = _mm256_set1_epi16(static_cast<int16_t>(kHalfWordMultipliers[count]));
  int32_t x = 0;
  for (; x + 32 <= n; x += 32) {
    __m256i lo = zero, hi = zero;
    for (uint32_t k = 0; k < count; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rowsOf[k] + x));
      lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(v, zero));
      hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(v, zero));
    }
    lo = _mm256_mulhi_epu16(_mm256_add_epi16(lo, lo), m);
    hi = _mm256_mulhi_epu16(_mm256_add_epi16(hi, hi), m);
    // Both unpacks and the pack work within each 16-byte half, so the bytes come back in order.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_packus_epi16(lo, hi));
  }
  return x;
}
#undef IE_AVX2
#endif

// Dst = A + (B - A) * Fraction / 2^17 rounded down, over N samples. The inner loops run a fixed 16
// samples so that the compiler turns them into vector code.
template <class T>
void InterpolateRows(const T* a, const T* b, T* dst, int32_t n, int32_t fraction) {
  int32_t x = 0;
  if constexpr (sizeof(T) == 1) {
    for (; x + 16 <= n; x += 16)
      for (int k = 0; k < 16; ++k)
        dst[x + k] = static_cast<T>(a[x + k] + (((b[x + k] - a[x + k]) * fraction) >> kFractionBits));
  }
  for (; x < n; ++x)
    dst[x] = static_cast<T>(a[x] + ((static_cast<int64_t>(b[x]) - a[x]) * fraction >> kFractionBits));
}

// Sums[x] += Src[x] for N samples, and Dst[x] = DivideBox(Sums[x], M): sixteen at a time in loops
// of a fixed length over pointers that do not overlap, which the compiler turns into vector code;
// the tail one at a time.
void AddSamples8(const uint8_t* __restrict src, uint32_t* __restrict sums, int32_t n) {
  const int32_t whole = n & ~15;
  for (int32_t x = 0; x < whole; x += 16)
    for (int k = 0; k < 16; ++k) sums[x + k] += src[x + k];
  for (int32_t x = whole; x < n; ++x) sums[x] += src[x];
}
void DivideBoxes8(const uint32_t* __restrict sums, uint8_t* __restrict dst, int32_t n, uint32_t m) {
  const int32_t whole = n & ~15;
  for (int32_t x = 0; x < whole; x += 16)
    for (int k = 0; k < 16; ++k) dst[x + k] = DivideBox(sums[x + k], m);
  for (int32_t x = whole; x < n; ++x) dst[x] = DivideBox(sums[x], m);
}

// Dst = the mean of the rows First..Last (RowOf gives each), truncated, over N samples; Sum is the
// caller's buffer of box sums.
template <class T, class S, class RowOf>
void AverageRows(const RowOf& rowOf, int32_t first, int32_t last, T* dst, int32_t n, double reciprocal,
                 std::vector<S>& sum, bool avx2) {
  const uint32_t count = static_cast<uint32_t>(last - first + 1);
  if constexpr (sizeof(T) == 1 && sizeof(S) == 4) {
#if defined(__SSE2__)
    if (count <= static_cast<uint32_t>(kLargestHalfWordBox)) {
      // A few rows: sixteen samples at a time summed in 16-bit lanes straight from the rows and
      // divided by the 16-bit multiply; the tail one at a time.
      const uint8_t* rowsOf[kLargestHalfWordBox];
      for (uint32_t k = 0; k < count; ++k) rowsOf[k] = rowOf(first + static_cast<int32_t>(k));
      const __m128i zero = _mm_setzero_si128();
      const __m128i m = _mm_set1_epi16(static_cast<int16_t>(kHalfWordMultipliers[count]));
      int32_t x = 0;
#if defined(__x86_64__)
      if (avx2) x = AverageFewRowsAvx2(rowsOf, count, dst, n);
#else
      (void)avx2;
#endif
      for (; x + 16 <= n; x += 16) {
        __m128i lo = zero, hi = zero;
        for (uint32_t k = 0; k < count; ++k) {
          const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowsOf[k] + x));
          lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
          hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
        }
        lo = _mm_mulhi_epu16(_mm_add_epi16(lo, lo), m);
        hi = _mm_mulhi_epu16(_mm_add_epi16(hi, hi), m);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(lo, hi));
      }
      const uint32_t m32 = BoxMultiplier(static_cast<int32_t>(count));
      for (; x < n; ++x) {
        uint32_t sum = 0;
        for (uint32_t k = 0; k < count; ++k) sum += rowsOf[k][x];
        dst[x] = DivideBox(sum, m32);
      }
      return;
    }
#endif
    if (const uint32_t m = BoxMultiplier(static_cast<int32_t>(count))) {
      sum.assign(static_cast<size_t>(n), 0);
      S* sums = sum.data();
      for (int32_t r = first; r <= last; ++r) AddSamples8(rowOf(r), sums, n);
      DivideBoxes8(sums, dst, n, m);
      return;
    }
  }
  sum.assign(static_cast<size_t>(n), 0);
  S* sums = sum.data();
  for (int32_t r = first; r <= last; ++r) {
    const T* src = rowOf(r);
    for (int32_t x = 0; x < n; ++x) sums[x] += src[x];
  }
  for (int32_t x = 0; x < n; ++x) dst[x] = static_cast<T>(DivideExact<S>(sums[x], count, reciprocal));
}

// The buffers of one band of a fast linear resample. They are kept between resamples (a view
// repainting at one size asks for the same ones every frame), so that a band neither allocates nor
// clears memory once they have grown to its needs; every band fills what it reads before reading.
struct TLinearScratch {
  std::vector<uint8_t> bits;
  std::vector<uint32_t> sums, sum32;
  std::vector<uint64_t> sum64;
  std::vector<uint8_t> ring8, out8;
  std::vector<uint16_t> ring16, out16;

  size_t Bytes() const {
    return bits.capacity() + 4 * (sums.capacity() + sum32.capacity()) + 8 * sum64.capacity() + ring8.capacity() +
           out8.capacity() + 2 * (ring16.capacity() + out16.capacity());
  }
  template <class T>
  std::vector<T>& Ring() {
    if constexpr (sizeof(T) == 1) return ring8;
    else return ring16;
  }
  template <class T>
  std::vector<T>& Out() {
    if constexpr (sizeof(T) == 1) return out8;
    else return out16;
  }
};

// At least N elements, grown (never shrunk, never cleared) as needed.
template <class V>
auto* AtLeast(V& v, size_t n) {
  if (v.size() < n) v.resize(n);
  return v.data();
}

// Lends a band the buffers of an earlier one. A few sets are kept, none larger than a few
// megabytes, so that one huge shrink does not keep its memory for the life of the program.
class TLinearScratchLoan {
 public:
  TLinearScratchLoan() {
    std::lock_guard<std::mutex> lock(Mutex());
    auto& kept = Kept();
    if (!kept.empty()) {
      scratch_ = std::move(kept.back());
      kept.pop_back();
    } else {
      scratch_ = std::make_unique<TLinearScratch>();
    }
  }
  ~TLinearScratchLoan() {
    if (scratch_->Bytes() > kLargestKept) return;
    std::lock_guard<std::mutex> lock(Mutex());
    auto& kept = Kept();
    if (kept.size() < kMostKept) kept.push_back(std::move(scratch_));
  }
  TLinearScratchLoan(const TLinearScratchLoan&) = delete;
  TLinearScratchLoan& operator=(const TLinearScratchLoan&) = delete;
  TLinearScratch& operator*() { return *scratch_; }

 private:
  static constexpr size_t kLargestKept = size_t{4} << 20;
  static constexpr size_t kMostKept = 64;
  static std::mutex& Mutex() {
    static auto* m = new std::mutex();
    return *m;
  }
  static std::vector<std::unique_ptr<TLinearScratch>>& Kept() {
    static auto* kept = new std::vector<std::unique_ptr<TLinearScratch>>();
    return *kept;
  }
  std::unique_ptr<TLinearScratch> scratch_;
};

// One fast linear resample of a SW x SH source to DW x DH, of which destination columns I0..I1 are
// made: the tables of both axes and the kernels they choose. C channels of T; OneBit expands the
// source rows from bits, GreyOut writes each sample as 3-byte grey.
template <class T, int C>
class TLinearPlan {
 public:
  TLinearPlan(int32_t sw, int32_t sh, int32_t dw, int32_t dh, int32_t i0, int32_t i1, bool interpolateAlways,
              bool oneBit, bool greyOut)
      : sw_(sw), sh_(sh), i0_(i0), i1_(i1), oneBit_(oneBit), greyOut_(greyOut),
        interpolateH_(interpolateAlways || static_cast<double>(dw) / sw > 1),
        interpolateV_(interpolateAlways || static_cast<double>(dh) / sh > 1),
        columns_(LinearAxis(sw, dw, 1e-10)), rows_(LinearAxis(sh, dh, 0)),
        wideH_(NeedsWideSums<T>(columns_)), wideV_(NeedsWideSums<T>(rows_)) {
    // 8-bit boxes of 32-bit sums go by running sums (BoxRowH8), or by the vector unit when every
    // box is a few pixels wide (BoxRowH8Vector).
    runningSums_ = sizeof(T) == 1 && !interpolateH_ && !wideH_;
#if defined(__SSE2__)
    if constexpr (sizeof(T) == 1) vectorBoxes_ = runningSums_ && BoxesFitLoads<C>(columns_);
#endif
#if defined(__x86_64__)
    if constexpr (sizeof(T) == 1) avx2_ = ResampleSimdActive();
    if constexpr (C == 3)
      if (vectorBoxes_ && avx2_) pairs_ = BoxPairs(columns_, sw_, i0_, i1_);
#endif
  }

  // Samples of one horizontal row.
  int32_t Samples() const { return (i1_ - i0_ + 1) * C; }
  int32_t FirstRow(int32_t j) const { return rows_.first[static_cast<size_t>(j)]; }
  // The last source row destination row J reads.
  int32_t LastRow(int32_t j) const {
    return interpolateV_ ? std::min(rows_.first[static_cast<size_t>(j)] + 1, sh_ - 1) : rows_.last[static_cast<size_t>(j)];
  }

  // The horizontal pass of one source row (starting at its first pixel) into Out.
  void Horizontal(const uint8_t* row, T* out, TLinearScratch& s) const {
    if (oneBit_) {
      uint8_t* bits = AtLeast(s.bits, static_cast<size_t>(sw_));
      for (int32_t x = 0; x < sw_; ++x) bits[x] = GetRowBit(row, x) ? 255 : 0;
      row = bits;
    }
    const T* in = reinterpret_cast<const T*>(row);
    if constexpr (sizeof(T) == 1) {
      if (runningSums_) {
#if defined(__SSE2__)
        if (vectorBoxes_) {
          int32_t i = i0_;
#if defined(__x86_64__)
          if constexpr (C == 3)
            if (!pairs_.empty())
              i += 2 * BoxRowH24Avx2(in, out, pairs_.data(), static_cast<int32_t>(pairs_.size()), sw_);
#endif
          BoxRowH8Vector<C>(in, out + static_cast<size_t>(i - i0_) * C, columns_, sw_, i, i1_);
          return;
        }
#endif
        const size_t span = static_cast<size_t>(columns_.last[static_cast<size_t>(i1_)]) -
                            static_cast<size_t>(columns_.first[static_cast<size_t>(i0_)]) + 2;
        BoxRowH8<C>(in, out, columns_, i0_, i1_, AtLeast(s.sums, span * C));
        return;
      }
    }
    if (wideH_)
      LinearRowHRange<T, C, uint64_t>(in, out, columns_, sw_, i0_, i1_, interpolateH_);
    else
      LinearRowHRange<T, C, uint32_t>(in, out, columns_, sw_, i0_, i1_, interpolateH_);
  }

  // The vertical pass of destination row J from the horizontal rows RowOf gives (indexed by source
  // row) into DestRow (its column I0).
  template <class RowOf>
  void Vertical(int32_t j, const RowOf& rowOf, uint8_t* destRow, TLinearScratch& s) const {
    const int32_t samples = Samples();
    T* dst = greyOut_ ? AtLeast(s.Out<T>(), static_cast<size_t>(samples)) : reinterpret_cast<T*>(destRow);
    const int32_t h = rows_.first[static_cast<size_t>(j)];
    if (interpolateV_) {
      InterpolateRows(rowOf(h), rowOf(std::min(h + 1, sh_ - 1)), dst, samples, rows_.fraction[static_cast<size_t>(j)]);
    } else {
      const int32_t last = rows_.last[static_cast<size_t>(j)];
      const double reciprocal = rows_.reciprocal[static_cast<size_t>(j)];
      if (wideV_)
        AverageRows(rowOf, h, last, dst, samples, reciprocal, s.sum64, avx2_);
      else
        AverageRows(rowOf, h, last, dst, samples, reciprocal, s.sum32, avx2_);
    }
    if (greyOut_)
      for (int32_t x = 0; x < samples; ++x)
        destRow[3 * x] = destRow[3 * x + 1] = destRow[3 * x + 2] = static_cast<uint8_t>(dst[x]);
  }

 private:
  int32_t sw_, sh_, i0_, i1_;
  bool oneBit_, greyOut_, interpolateH_, interpolateV_;
  TLinearAxis columns_, rows_;
  bool wideH_, wideV_;
  bool runningSums_ = false, vectorBoxes_ = false, avx2_ = false;
#if defined(__x86_64__)
  std::vector<TBoxPair> pairs_;  // for BoxRowH24Avx2
#endif
};

// Both passes together for destination rows J0..J1: SourceRow(y) gives source row Y at its first
// pixel, DestRow(j) destination row J at its column I0. Bands of rows run on Threads threads; each
// keeps only the horizontal rows its next row reads, in a ring of as many rows as a box has, so
// the intermediate rows stay in the cache. The bytes are those of the two passes one after the
// other.
template <class T, int C, class SourceRow, class DestRow>
void FusedLinearPasses(const TLinearPlan<T, C>& plan, int32_t j0, int32_t j1, int32_t threads,
                       const SourceRow& sourceRow, const DestRow& destRow) {
  const size_t samples = static_cast<size_t>(plan.Samples());
  int32_t window = 2;
  for (int32_t j = j0; j <= j1; ++j) window = std::max(window, plan.LastRow(j) - plan.FirstRow(j) + 1);
  RunResampleBands(
      j1 - j0 + 1, threads,
      [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
        TLinearScratchLoan loan;
        TLinearScratch& s = *loan;
        T* ring = AtLeast(s.Ring<T>(), static_cast<size_t>(window) * samples);
        auto rowOf = [&](int32_t y) -> const T* { return ring + static_cast<size_t>(y % window) * samples; };
        int32_t made = -1;  // the last source row in the ring
        for (int32_t j = j0 + first; j < j0 + first + count; ++j) {
          const int32_t from = std::max(made + 1, plan.FirstRow(j)), to = plan.LastRow(j);
          for (int32_t y = from; y <= to; ++y)
            plan.Horizontal(sourceRow(y), ring + static_cast<size_t>(y % window) * samples, s);
          made = std::max(made, to);
          plan.Vertical(j, rowOf, destRow(j), s);
          if (!rowDone()) return;
        }
      },
      nullptr);
}

// The work of one fast linear resample: Source rows (expanded from bits when OneBit) of C
// channels of T into the work bitmap, then into Dest (written as 3-byte grey when GreyOut).
template <class T, int C>
void FastLinear(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool interpolateAlways, bool oneBit, bool greyOut,
                TObject* Sender, const TIEProgressEvent& OnProgress) {
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  const TLinearPlan<T, C> plan(sw, sh, dw, dh, 0, dw - 1, interpolateAlways, oneBit, greyOut);
  const int32_t threads = ResampleThreadCount(Source);

  TIERowAccessScope readOnly(Source, iraRead);
  TRowTable source(Source, threads > 1);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  const bool destInFile = IsFileHeldBitmap(Dest);
  TRowTable dest(Dest, !destInFile && threads > 1);

  if (!OnProgress) {
    FusedLinearPasses(
        plan, 0, dh - 1, destInFile ? 1 : threads, [&](int32_t y) -> const uint8_t* { return source.Row(y); },
        [&](int32_t j) { return dest.Row(j); });
    return;
  }

  // With progress: the horizontal pass of every source row into a work bitmap, then the vertical
  // pass, each reporting after every row.
  const double factor = 100.0 / (sh + dh + 0.5);
  TIEWorkBitmap work(dw, sh, C * static_cast<int32_t>(sizeof(T)) * 8);
  if (!work.Bits()) throw std::bad_alloc();
  RunResampleBands(
      sh, threads,
      [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
        TLinearScratchLoan loan;
        for (int32_t y = first; y < first + count; ++y) {
          plan.Horizontal(source.Row(y), static_cast<T*>(work.GetRow(y)), *loan);
          if (!rowDone()) return;
        }
      },
      [&](int32_t done) { OnProgress(Sender, static_cast<int32_t>(factor * (done - 1))); });
  auto workRow = [&](int32_t y) { return static_cast<const T*>(work.GetRow(y)); };
  RunResampleBands(
      dh, destInFile ? 1 : threads,
      [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
        TLinearScratchLoan loan;
        for (int32_t j = first; j < first + count; ++j) {
          plan.Vertical(j, workRow, dest.Row(j), *loan);
          if (!rowDone()) return;
        }
      },
      [&](int32_t done) { OnProgress(Sender, static_cast<int32_t>(factor * (sh + done - 1))); });
}

// The 24-bit fast linear resample of a rectangle of Source into a rectangle of a destination given
// by its rows, only the destination pixels FirstCol..LastCol x FirstRow..LastRow written: the
// same bytes as resampling a copy of the rectangle and copying the result into place, without
// either copy, and through the same kernels and fused passes as the whole picture.
void FastLinearRect24(TIEBaseBitmap& Source, int32_t SrcX, int32_t SrcY, int32_t sw, int32_t sh,
                      uint8_t* const* DestRows, int32_t DestX, int32_t DestY, int32_t dw, int32_t dh, int32_t FirstCol,
                      int32_t LastCol, int32_t FirstRow, int32_t LastRow) {
  constexpr int C = 3;
  const int32_t i0 = FirstCol - DestX, i1 = LastCol - DestX, j0 = FirstRow - DestY, j1 = LastRow - DestY;
  const TLinearPlan<uint8_t, C> plan(sw, sh, dw, dh, i0, i1, false, false, false);
  const int32_t threads = ResampleThreadCount(Source);
  TIERowAccessScope readOnly(Source, iraRead);
  TRowTable source(Source, threads > 1);
  const size_t left = static_cast<size_t>(SrcX) * C, destLeft = static_cast<size_t>(FirstCol) * C;
  FusedLinearPasses(
      plan, j0, j1, threads, [&](int32_t y) -> const uint8_t* { return source.Row(SrcY + y) + left; },
      [&](int32_t j) { return DestRows[DestY + j] + destLeft; });
}

bool Empty(TIEBaseBitmap& b) { return b.GetWidth() <= 0 || b.GetHeight() <= 0; }

void Report(const TIEProgressEvent& OnProgress, TObject* Sender, int32_t Row, int32_t Rows) {
  if (OnProgress) OnProgress(Sender, static_cast<int32_t>(Row * 100 / (Rows + 0.5)));
}

// Per destination column k the source columns c[k - 1] .. c[k] of the projections (column 0: 0).
std::vector<int32_t> ProjectionColumns(int32_t sw, int32_t dw) {
  std::vector<int32_t> c(static_cast<size_t>(dw));
  const double step = static_cast<double>(sw) / dw;
  for (int32_t k = 0; k < dw; ++k) c[static_cast<size_t>(k)] = std::min(static_cast<int32_t>(step * k), sw - 1);
  return c;
}

// The projection walk shared by both source kinds. Marked(row, x) tells whether source pixel x of
// a row is the kind that shows through (dark for black on white, light for white on black).
template <class MarkedFn>
TIEBaseBitmap& Project(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool WhiteOnBlack, const TIEProgressEvent& OnProgress,
                       TObject* Sender, MarkedFn&& marked) {
  if (Empty(Source) || Empty(Dest) || &Source == &Dest) return Dest;
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  if (Dest.GetPixelFormat() != ie1g && !Dest.Allocate(dw, dh, ie1g)) return Dest;
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const std::vector<int32_t> columns = ProjectionColumns(sw, dw);
  const double l = static_cast<double>(sh) / dh;
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  std::vector<uint8_t> hit(static_cast<size_t>(sw));
  for (int32_t j = 0; j < dh; ++j) {
    // The last row's block reaches the last source row, so nothing below the start of the last
    // block is lost (the same for the last column).
    const int32_t r1 = j == dh - 1 ? sh - 1 : std::min(static_cast<int32_t>(l * j), sh - 1);
    const int32_t r0 = j == 0 ? 0 : std::min(static_cast<int32_t>(l * (j - 1)), sh - 1);
    std::fill(hit.begin(), hit.end(), 0);
    for (int32_t r = r0; r <= r1; ++r) {
      const uint8_t* row = static_cast<const uint8_t*>(Source.GetRow(r));
      for (int32_t x = 0; x < sw; ++x) hit[static_cast<size_t>(x)] |= marked(row, x) ? 1 : 0;
    }
    uint8_t* dst = static_cast<uint8_t*>(Dest.GetRow(j));
    // Black on white starts all white (bits set), white on black all black.
    std::memset(dst, WhiteOnBlack ? 0 : 0xFF, static_cast<size_t>(Dest.GetRowLen()));
    for (int32_t k = 0; k < dw; ++k) {
      const int32_t c1 = k == dw - 1 ? sw - 1 : columns[static_cast<size_t>(k)];
      const int32_t c0 = k == 0 ? 0 : columns[static_cast<size_t>(k) - 1];
      bool any = false;
      for (int32_t x = c0; x <= c1 && !any; ++x) any = hit[static_cast<size_t>(x)] != 0;
      if (any) SetRowBit(dst, k, WhiteOnBlack ? 1 : 0);
    }
    Report(OnProgress, Sender, j, dh);
  }
  return Dest;
}

}  // namespace

namespace {

// The fast linear entry points: nothing for empty or identical bitmaps, a copy for equal sizes.
template <class T, int C>
void FastLinearEntry(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender, const TIEProgressEvent& OnProgress) {
  if (Empty(Source) || Empty(Dest) || &Source == &Dest) return;
  if (Source.GetWidth() == Dest.GetWidth() && Source.GetHeight() == Dest.GetHeight()) {
    Dest.Assign(&Source);
    return;
  }
  FastLinear<T, C>(Source, Dest, false, false, false, Sender, OnProgress);
}

}  // namespace

void FastLinearResample24(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender,
                          const TIEProgressEvent& OnProgress) {
  FastLinearEntry<uint8_t, 3>(Source, Dest, Sender, OnProgress);
}

void FastLinearResample24Rect(TIEBaseBitmap& Source, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                              uint8_t* const* DestRows, int32_t DestX, int32_t DestY, int32_t DestWidth,
                              int32_t DestHeight, int32_t FirstCol, int32_t LastCol, int32_t FirstRow,
                              int32_t LastRow) {
  if (SrcWidth <= 0 || SrcHeight <= 0 || DestWidth <= 0 || DestHeight <= 0 || !DestRows) return;
  if (SrcX < 0 || SrcY < 0 || int64_t{SrcX} + SrcWidth > Source.GetWidth() ||
      int64_t{SrcY} + SrcHeight > Source.GetHeight() || Source.GetPixelFormat() != ie24RGB)
    return;
  FirstCol = std::max(FirstCol, DestX);
  LastCol = std::min(LastCol, DestX + DestWidth - 1);
  FirstRow = std::max(FirstRow, DestY);
  LastRow = std::min(LastRow, DestY + DestHeight - 1);
  if (FirstCol > LastCol || FirstRow > LastRow) return;
  FastLinearRect24(Source, SrcX, SrcY, SrcWidth, SrcHeight, DestRows, DestX, DestY, DestWidth, DestHeight, FirstCol,
                   LastCol, FirstRow, LastRow);
}

void FastLinearResample8(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender,
                         const TIEProgressEvent& OnProgress) {
  FastLinearEntry<uint8_t, 1>(Source, Dest, Sender, OnProgress);
}

void FastLinearResample16(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, int32_t Channels, TObject* Sender,
                          const TIEProgressEvent& OnProgress) {
  if (Channels == 1)
    FastLinearEntry<uint16_t, 1>(Source, Dest, Sender, OnProgress);
  else
    FastLinearEntry<uint16_t, 3>(Source, Dest, Sender, OnProgress);
}

void FastLinearResample1Bit(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender,
                            const TIEProgressEvent& OnProgress) {
  if (Empty(Source) || Empty(Dest) || &Source == &Dest) return;
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  if (sw == dw && sh == dh) {
    Dest.Assign(&Source);
    return;
  }
  if (static_cast<double>(dw) / sw >= 1 || static_cast<double>(dh) / sh >= 1)
    FastLinear<uint8_t, 1>(Source, Dest, true, true, true, Sender, OnProgress);
  else
    Resample1BitToGray(Source, 0, 0, sw - 1, sh - 1, Dest);
}

void Resample1BitToGray(TIEBaseBitmap& Source, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TIEBaseBitmap& Dest) {
  if (Empty(Source) || Empty(Dest) || &Source == &Dest) return;
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, sw - 1);
  Y2 = std::min(Y2, sh - 1);
  if (X2 < X1 || Y2 < Y1) return;
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  if (Dest.GetPixelFormat() != ie24RGB && !Dest.Allocate(dw, dh, ie24RGB)) return;
  const double fx = static_cast<double>(X2 - X1 + 1) / dw;
  const double fy = static_cast<double>(Y2 - Y1 + 1) / dh;
  // Column blocks: from half a step before the cell to half a step after its start, inside Source.
  std::vector<int32_t> c0(static_cast<size_t>(dw)), c1(static_cast<size_t>(dw));
  for (int32_t j = 0; j < dw; ++j) {
    c0[static_cast<size_t>(j)] = std::clamp(X1 + static_cast<int32_t>(fx * j - fx / 2), 0, sw - 1);
    c1[static_cast<size_t>(j)] = std::clamp(X1 + static_cast<int32_t>(fx / 2 + fx * j), c0[static_cast<size_t>(j)], sw - 1);
  }
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  std::vector<int32_t> setBits(static_cast<size_t>(dw));
  for (int32_t i = 0; i < dh; ++i) {
    // The last row of a block never passes the last source row, whatever Y1 is.
    const int32_t r0 = std::min(Y1 + std::max(0, static_cast<int32_t>(fy * i - fy / 2)), sh - 1);
    const int32_t r1 = std::clamp(Y1 + static_cast<int32_t>(static_cast<int32_t>(fy) / 2 + fy * i), r0, sh - 1);
    std::fill(setBits.begin(), setBits.end(), 0);
    for (int32_t r = r0; r <= r1; ++r) {
      const uint8_t* row = static_cast<const uint8_t*>(Source.GetRow(r));
      for (int32_t j = 0; j < dw; ++j)
        for (int32_t x = c0[static_cast<size_t>(j)]; x <= c1[static_cast<size_t>(j)]; ++x)
          if (GetRowBit(row, x)) ++setBits[static_cast<size_t>(j)];
    }
    uint8_t* dst = static_cast<uint8_t*>(Dest.GetRow(i));
    for (int32_t j = 0; j < dw; ++j) {
      const int32_t pixels = (r1 - r0 + 1) * (c1[static_cast<size_t>(j)] - c0[static_cast<size_t>(j)] + 1);
      const uint8_t value = static_cast<uint8_t>(setBits[static_cast<size_t>(j)] * 255 / pixels);
      dst[3 * j] = dst[3 * j + 1] = dst[3 * j + 2] = value;
    }
  }
}

TIEBaseBitmap& ProjectResample1Bit(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool WhiteOnBlack,
                                   const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (Source.GetPixelFormat() != ie1g) return Dest;
  return Project(Source, Dest, WhiteOnBlack, OnProgress, Sender, [WhiteOnBlack](const uint8_t* row, int32_t x) {
    return (GetRowBit(row, x) != 0) == WhiteOnBlack;
  });
}

TIEBaseBitmap& ProjectResample24(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool WhiteOnBlack,
                                 const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (Source.GetPixelFormat() != ie24RGB) return Dest;
  return Project(Source, Dest, WhiteOnBlack, OnProgress, Sender, [WhiteOnBlack](const uint8_t* row, int32_t x) {
    const uint8_t* p = row + 3 * x;
    // A byte of exactly 128 counts neither way.
    return WhiteOnBlack ? (p[0] > 128 && p[1] > 128 && p[2] > 128) : (p[0] < 128 && p[1] < 128 && p[2] < 128);
  });
}
