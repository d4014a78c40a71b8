#include "imaging/processing/ie_resample_rows.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <type_traits>

#include "imaging/processing/ie_resample_filters.h"
#include "imaging/processing/ie_resample_rows_avx2.h"
#include "platform/system/processors.h"

namespace {

std::atomic<bool> g_simdEnabled{true};

// Sum / WeightSum rounded to the nearest integer, halves to even, clamped to 0..MaxValue. Rounding
// rather than truncating keeps a resampled image as bright as its source: a flat area keeps its
// value exactly, and a photograph's mean moves by hundredths of a level, not by one. Halves go to
// the even neighbour because the box averages of the area tables meet them often (a mean of four
// pixels ends in .5 one time in four), and rounding them all up would brighten by a tenth of a
// level per pass.
template <class S>
inline int32_t Finish(S Sum, S WeightSum, int32_t MaxValue) {
  assert(WeightSum != 0);
  if (WeightSum < 0) {
    Sum = -Sum;
    WeightSum = -WeightSum;
  }
  const S n = Sum + WeightSum / 2;
  if (n < 0) return 0;
  S q = n / WeightSum;
  if ((WeightSum & 1) == 0 && n % WeightSum == 0) q &= ~S(1);  // an exact half: to the even one
  return static_cast<int32_t>(std::min<S>(q, MaxValue));
}

// Sums of 8-bit samples fit 32 bits; sums of 16-bit samples take 64, since the area tables weigh
// with units of 2^14.
template <class T>
using SumOf = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;

template <class T, int Channels>
void RowH(const TIEContributorTable& t, const T* src, T* dst) {
  using S = SumOf<T>;
  constexpr int32_t maxValue = T(~T(0));
  for (int32_t i = 0; i < t.DestSize(); ++i) {
    const TIEContributor* pairs = t.Pairs(i);
    const int32_t count = t.Count(i);
    S sum[Channels] = {};
    for (int32_t k = 0; k < count; ++k) {
      const T* px = src + static_cast<ptrdiff_t>(pairs[k].Pixel) * Channels;
      for (int c = 0; c < Channels; ++c) sum[c] += static_cast<S>(pairs[k].Weight) * px[c];
    }
    for (int c = 0; c < Channels; ++c)
      dst[i * Channels + c] = static_cast<T>(Finish<S>(sum[c], t.WeightSum(i), maxValue));
  }
}

template <class T>
void RowV(const TIEContributorTable& t, int32_t y, const void* const* rows, int32_t samples, T* dst) {
  using S = SumOf<T>;
  constexpr int32_t maxValue = T(~T(0));
  constexpr int32_t kBlock = 512;
  S acc[kBlock];
  const TIEContributor* pairs = t.Pairs(y);
  const int32_t count = t.Count(y);
  const S weightSum = t.WeightSum(y);
  for (int32_t x0 = 0; x0 < samples; x0 += kBlock) {
    const int32_t n = std::min(kBlock, samples - x0);
    std::fill(acc, acc + n, S(0));
    for (int32_t k = 0; k < count; ++k) {
      const T* row = static_cast<const T*>(rows[pairs[k].Pixel]) + x0;
      const S w = pairs[k].Weight;
      for (int32_t x = 0; x < n; ++x) acc[x] += w * row[x];
    }
    for (int32_t x = 0; x < n; ++x) dst[x0 + x] = static_cast<T>(Finish<S>(acc[x], weightSum, maxValue));
  }
}

}  // namespace

bool ResampleSimdAvailable() {
  static const bool available = CPUHasFeature(cfAVX2);
  return available;
}

void SetResampleSimd(bool Enabled) { g_simdEnabled.store(Enabled, std::memory_order_relaxed); }

bool ResampleSimdActive() { return ResampleSimdAvailable() && g_simdEnabled.load(std::memory_order_relaxed); }

size_t ResampleRowHScratchSize(const TIEContributorTable& Columns, int32_t Channels, int32_t SampleBytes) {
  // A copy of the source row with room for a whole stride of weights past its last pixel.
  return static_cast<size_t>(Columns.SourceSize() + Columns.Stride() + 8) * Channels * SampleBytes + 64;
}

void ResampleRowHReference(const TIEContributorTable& Columns, int32_t Channels, int32_t SampleBytes, const void* Src,
                           void* Dst) {
  if (SampleBytes == 1) {
    if (Channels == 1)
      RowH<uint8_t, 1>(Columns, static_cast<const uint8_t*>(Src), static_cast<uint8_t*>(Dst));
    else
      RowH<uint8_t, 3>(Columns, static_cast<const uint8_t*>(Src), static_cast<uint8_t*>(Dst));
  } else {
    if (Channels == 1)
      RowH<uint16_t, 1>(Columns, static_cast<const uint16_t*>(Src), static_cast<uint16_t*>(Dst));
    else
      RowH<uint16_t, 3>(Columns, static_cast<const uint16_t*>(Src), static_cast<uint16_t*>(Dst));
  }
}

void ResampleRowVReference(const TIEContributorTable& RowTable, int32_t Y, int32_t SampleBytes,
                           const void* const* Rows, int32_t Samples, void* Dst) {
  if (SampleBytes == 1)
    RowV<uint8_t>(RowTable, Y, Rows, Samples, static_cast<uint8_t*>(Dst));
  else
    RowV<uint16_t>(RowTable, Y, Rows, Samples, static_cast<uint16_t*>(Dst));
}

void ResampleRowH(const TIEContributorTable& Columns, int32_t Channels, int32_t SampleBytes, const void* Src,
                  void* Dst, uint8_t* Scratch) {
  if (SampleBytes == 1 && Columns.PositiveSums() && Columns.Folded() && ResampleSimdActive()) {
    if (Channels == 3)
      ResampleRowH24Avx2(Columns, static_cast<const uint8_t*>(Src), static_cast<uint8_t*>(Dst), Scratch);
    else
      ResampleRowH8Avx2(Columns, static_cast<const uint8_t*>(Src), static_cast<uint8_t*>(Dst), Scratch);
    return;
  }
  ResampleRowHReference(Columns, Channels, SampleBytes, Src, Dst);
}

void ResampleRowV(const TIEContributorTable& RowTable, int32_t Y, int32_t SampleBytes, const void* const* Rows,
                  int32_t Samples, void* Dst) {
  if (SampleBytes == 1 && RowTable.WeightSum(Y) > 0 && RowTable.Folded() && ResampleSimdActive()) {
    ResampleRowV8Avx2(RowTable, Y, reinterpret_cast<const uint8_t* const*>(Rows), Samples, static_cast<uint8_t*>(Dst));
    return;
  }
  ResampleRowVReference(RowTable, Y, SampleBytes, Rows, Samples, Dst);
}
