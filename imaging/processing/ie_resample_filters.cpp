#include "imaging/processing/ie_resample_filters.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cmath>
#include <numbers>

double SincValue(double U) {
  if (U == 0) return 1;
  const double x = std::numbers::pi * U;
  return std::sin(x) / x;
}

double TriangleFilter(double T) {
  const double x = std::fabs(T);
  return x < 1 ? 1 - x : 0;
}

double HermiteFilter(double T) {
  const double x = std::fabs(T);
  return x < 1 ? (2 * x - 3) * x * x + 1 : 0;
}

double BellFilter(double T) {
  const double x = std::fabs(T);
  if (x < 0.5) return 0.75 - x * x;
  if (x < 1.5) return 0.5 * (x - 1.5) * (x - 1.5);
  return 0;
}

double BSplineFilter(double T) {
  const double x = std::fabs(T);
  if (x < 1) return 0.5 * x * x * x - x * x + 2.0 / 3;
  if (x < 2) return (2 - x) * (2 - x) * (2 - x) / 6;
  return 0;
}

double Lanczos3Filter(double T) {
  return std::fabs(T) < 3 ? SincValue(T) * SincValue(T / 3) : 0;
}

double MitchellFilter(double T) {
  const double x = std::fabs(T);
  const double x2 = x * x;
  if (x < 1) return (7 * x * x2 - 12 * x2 + 16.0 / 3) / 6;
  if (x < 2) return (-(7.0 / 3) * x * x2 + 12 * x2 - 20 * x + 32.0 / 3) / 6;
  return 0;
}

double BoxFilter(double T) { return T > -0.5 && T <= 0.5 ? 1 : 0; }

double LinearFilter(double T) {
  if (T >= -1 && T < 0) return T + 1;
  if (T >= 0 && T < 1) return 1 - T;
  return 0;
}

const TIEFilterTableEntry FilterTable[rfLinear + 1] = {
    {nullptr, 0},         {TriangleFilter, 1.0}, {HermiteFilter, 1.0}, {BellFilter, 1.5}, {BSplineFilter, 2.0},
    {Lanczos3Filter, 3.0}, {MitchellFilter, 2.0}, {BoxFilter, 1.0},     {LinearFilter, 1.0},
};

double TIEContributorTable::Scale(int32_t SourceSize, int32_t DestSize) {
  if (SourceSize == 1 || DestSize == 1) return static_cast<double>(DestSize) / SourceSize;
  return static_cast<double>(DestSize - 1) / (SourceSize - 1);
}

TIEContributorTable::TIEContributorTable(int32_t SourceSize, int32_t DestSize, TResampleFilter Filter)
    : sourceSize_(SourceSize), destSize_(DestSize) {
  assert(IsKernelFilter(Filter) && SourceSize > 0 && DestSize > 0);
  const TIEFilterProc kernel = FilterTable[Filter].Filter;
  const double support = FilterTable[Filter].Support;
  const double scale = Scale(SourceSize, DestSize);
  const bool shrink = scale < 1;
  const double fscale = 1.0 / scale;
  const double width = shrink ? support / scale : support;
  const size_t n = static_cast<size_t>(DestSize);
  start_.resize(n + 1);
  weightSum_.resize(n);
  fallback_.resize(n);
  pairs_.reserve(n * static_cast<size_t>(2 * width + 1));

  auto mirror = [&](int32_t j) {
    if (j < 0) j = -j;
    if (j >= SourceSize) j = 2 * SourceSize - 1 - j;
    return std::clamp(j, 0, SourceSize - 1);
  };

  for (int32_t i = 0; i < DestSize; ++i) {
    start_[i] = static_cast<int32_t>(pairs_.size());
    const double center = i / scale;
    const int32_t first = static_cast<int32_t>(std::floor(center - width));
    const int32_t last = static_cast<int32_t>(std::ceil(center + width));
    int32_t sum = 0;
    for (int32_t j = first; j <= last; ++j) {
      const double value = shrink ? kernel((center - j) / fscale) * 256 / fscale : kernel(center - j) * 256;
      const int32_t weight = static_cast<int32_t>(std::nearbyint(value));
      if (weight == 0) continue;
      pairs_.push_back(TIEContributor{mirror(j), weight});
      sum += weight;
    }
    if (sum == 0) {
      // Nothing survived the rounding: the nearest source pixel alone, rather than black.
      pairs_.resize(static_cast<size_t>(start_[i]));
      pairs_.push_back(TIEContributor{std::clamp(static_cast<int32_t>(std::floor(center + 0.5)), 0, SourceSize - 1), 256});
      sum = 256;
      fallback_[i] = 1;
    }
    weightSum_[i] = sum;
  }
  start_[n] = static_cast<int32_t>(pairs_.size());
  Complete();
}

TIEContributorTable::TIEContributorTable(int32_t SourceSize, const std::vector<std::vector<TIERealContributor>>& Weights,
                                         int32_t Unit)
    : sourceSize_(SourceSize), destSize_(static_cast<int32_t>(Weights.size())) {
  assert(SourceSize > 0 && destSize_ > 0 && Unit > 0);
  const size_t n = Weights.size();
  start_.resize(n + 1);
  weightSum_.resize(n);
  fallback_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    start_[i] = static_cast<int32_t>(pairs_.size());
    int32_t sum = 0, strongest = 0;
    double strongestWeight = -1;
    for (const TIERealContributor& c : Weights[i]) {
      assert(c.Pixel >= 0 && c.Pixel < SourceSize);
      if (c.Weight > strongestWeight) {
        strongestWeight = c.Weight;
        strongest = c.Pixel;
      }
      const int32_t weight = static_cast<int32_t>(std::nearbyint(c.Weight * Unit));
      if (weight == 0) continue;
      pairs_.push_back(TIEContributor{c.Pixel, weight});
      sum += weight;
    }
    if (sum == 0) {
      pairs_.resize(static_cast<size_t>(start_[i]));
      pairs_.push_back(TIEContributor{strongest, Unit});
      sum = Unit;
      fallback_[i] = 1;
    }
    weightSum_[i] = sum;
  }
  start_[n] = static_cast<int32_t>(pairs_.size());
  Complete();
}

void TIEContributorTable::Complete() {
  const size_t n = static_cast<size_t>(destSize_);
  divisors_.Half.resize(4 * n);
  divisors_.Limit.resize(4 * n);
  divisors_.EvenMask.resize(4 * n);
  divisors_.WeightSum.resize(4 * n);
  bool vectorSums = true;
  for (size_t i = 0; i < n; ++i) {
    const int32_t sum = weightSum_[i];
    if (sum < 0) positiveSums_ = false;
    if (sum >= 65536 || sum <= -65536) vectorSums = false;
    for (size_t l = 4 * i; l < 4 * i + 4; ++l) {
      divisors_.Half[l] = sum / 2;
      divisors_.Limit[l] = static_cast<int32_t>(std::clamp<int64_t>(int64_t{256} * sum - 1, INT32_MIN, INT32_MAX));
      divisors_.EvenMask[l] = (sum & 1) ? 0 : -1;
      divisors_.WeightSum[l] = static_cast<float>(sum);
    }
  }
  if (!vectorSums) return;  // no folded runs: the reference kernels divide these

  // Folded runs: each destination pixel's pairs gathered onto the source pixels they read.
  left_.resize(n);
  taps_.resize(n);
  for (int32_t i = 0; i < destSize_; ++i) {
    int32_t lo = sourceSize_, hi = -1;
    for (int32_t k = start_[i]; k < start_[i + 1]; ++k) {
      lo = std::min(lo, pairs_[k].Pixel);
      hi = std::max(hi, pairs_[k].Pixel);
    }
    left_[i] = lo;
    taps_[i] = hi - lo + 1;
    maxTaps_ = std::max(maxTaps_, taps_[i]);
  }
  stride_ = std::max(8, (maxTaps_ + 7) / 8 * 8);
  folded_.assign(n * static_cast<size_t>(stride_), 0);
  for (int32_t i = 0; i < destSize_; ++i) {
    int16_t* w = folded_.data() + static_cast<size_t>(i) * stride_;
    // The kernel filters' weights of one destination pixel add up to at most 256 * (2 * support + 1)
    // in size (each at most 256 * scale when shrinking), so their folded runs fit 16 bits; tables
    // of finer units (the area resampler's for 16-bit samples) may not, and then have none.
    for (int32_t k = start_[i]; k < start_[i + 1]; ++k) {
      const int32_t v = w[pairs_[k].Pixel - left_[i]] + pairs_[k].Weight;
      if (v < INT16_MIN || v > INT16_MAX) {
        folded_.clear();
        return;
      }
      w[pairs_[k].Pixel - left_[i]] = static_cast<int16_t>(v);
    }
  }
  paired_.assign(n * static_cast<size_t>(stride_) * 2, 0);
  for (int32_t i = 0; i < destSize_; ++i) {
    const int16_t* w = Weights(i);
    int32_t* p = paired_.data() + static_cast<size_t>(i) * stride_ * 2;
    auto pair = [](int16_t a, int16_t b) {
      return static_cast<int32_t>(static_cast<uint16_t>(a) | static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16);
    };
    for (int32_t k = 0; k < stride_; k += 4, p += 8)
      for (int32_t l = 0; l < 4; ++l) {
        p[l] = pair(w[k], w[k + 1]);
        p[4 + l] = pair(w[k + 2], w[k + 3]);
      }
  }
}
