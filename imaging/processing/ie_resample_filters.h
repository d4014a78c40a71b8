#pragma once
// The kernel filters of the filtered resampler and the tables of integer weights that map the
// pixels of one axis of a source onto the pixels of the same axis of a destination.
//
// Along an axis of SourceSize pixels resampled to DestSize pixels the scale is
// (DestSize - 1) / (SourceSize - 1), or DestSize / SourceSize when one of the sizes is 1, so the
// first and last pixels of both sides meet. Destination pixel i is centred on source position
// c = i / scale and takes the source pixels j around it with the weights
// Round(kernel(c - j) * 256) when enlarging, or Round(kernel((c - j) * scale) * 256 * scale) when
// shrinking (the kernel stretched to the destination's pixel size). Weights of 0 are dropped;
// positions before the first pixel mirror onto the pixels after it (-1 reads pixel 1), positions
// past the last pixel onto the last pixels (SourceSize reads SourceSize - 1).
#include <cstdint>
#include <vector>

#include "imaging/core/ie_defs.h"

// A kernel: its value at a distance T (in source pixels when enlarging) from the centre.
using TIEFilterProc = double (*)(double T);

// sin(pi * U) / (pi * U), 1 at 0.
double SincValue(double U);
double TriangleFilter(double T);
double HermiteFilter(double T);
double BellFilter(double T);
double BSplineFilter(double T);
double Lanczos3Filter(double T);
double MitchellFilter(double T);
double BoxFilter(double T);
double LinearFilter(double T);

struct TIEFilterTableEntry {
  TIEFilterProc Filter;
  // The half-width in source pixels beyond which the kernel is 0.
  double Support;
};

// The kernel filters, indexed by TResampleFilter from rfTriangle to rfLinear (entry rfNone is
// empty).
extern const TIEFilterTableEntry FilterTable[rfLinear + 1];

// True for the filters of FilterTable.
constexpr bool IsKernelFilter(TResampleFilter Filter) { return Filter >= rfTriangle && Filter <= rfLinear; }

// One source pixel of a destination pixel and its weight (256 = the whole pixel).
struct TIEContributor {
  int32_t Pixel;
  int32_t Weight;
};

// A source pixel of a destination pixel with a weight in real numbers (1 = the whole pixel).
struct TIERealContributor {
  int32_t Pixel;
  double Weight;
};

// The weights of every destination pixel of one axis, in two forms: the pairs as computed (the
// reference form), and the same weights folded per destination pixel into one run of adjacent
// source pixels (the form the fast row kernels read: equal sums, since a mirrored position adds
// its weight to the pixel it reads).
//
// A destination pixel whose pairs all rounded away, or whose weights sum to 0 (a shrink by more
// than 512 times with rfTriangle, for one), takes the nearest source pixel with weight 256 instead
// of becoming black.
class TIEContributorTable {
 public:
  // Filter must be a kernel filter; both sizes positive.
  TIEContributorTable(int32_t SourceSize, int32_t DestSize, TResampleFilter Filter);
  // Weights given by the caller: Weights[i] lists destination pixel i's source pixels (each inside
  // 0 .. SourceSize - 1) with real weights that sum to about 1, turned into integers by
  // Round(weight * Unit), Unit at most 2^24. The folded runs are only made when every folded weight
  // fits 16 bits (a Unit of 2^14 for weights of at most about 1.5).
  TIEContributorTable(int32_t SourceSize, const std::vector<std::vector<TIERealContributor>>& Weights, int32_t Unit);

  int32_t SourceSize() const { return sourceSize_; }
  int32_t DestSize() const { return destSize_; }
  // The axis scale (DestSize - 1) / (SourceSize - 1), or DestSize / SourceSize when a size is 1.
  static double Scale(int32_t SourceSize, int32_t DestSize);

  // ---- Pairs as computed ----
  int32_t Count(int32_t I) const { return start_[I + 1] - start_[I]; }
  const TIEContributor* Pairs(int32_t I) const { return pairs_.data() + start_[I]; }
  // Never 0 (see the class comment).
  int32_t WeightSum(int32_t I) const { return weightSum_[I]; }
  // True when destination pixel I took the nearest source pixel because its pairs gave nothing.
  bool NearestFallback(int32_t I) const { return fallback_[I] != 0; }

  // ---- Folded runs ----
  // The run of destination pixel I covers source pixels Left(I) .. Left(I) + Taps(I) - 1, all
  // inside the source; Weights(I) holds Stride() weights, those past Taps(I) being 0 (only when
  // Folded()).
  int32_t Left(int32_t I) const { return left_[I]; }
  int32_t Taps(int32_t I) const { return taps_[I]; }
  const int16_t* Weights(int32_t I) const { return folded_.data() + static_cast<size_t>(I) * stride_; }
  // A multiple of 8, at least the longest run.
  int32_t Stride() const { return stride_; }
  // The largest Taps over all destination pixels.
  int32_t MaxTaps() const { return maxTaps_; }
  // True when every weight sum is positive (the fast kernels divide by positive sums only).
  bool PositiveSums() const { return positiveSums_; }
  // True when the folded runs exist, the vector kernels' form: every folded weight fits 16 bits and
  // every weight sum is below 2^16.
  bool Folded() const { return !folded_.empty(); }
  // The folded run of destination pixel I laid out for the vector kernel of 3-byte pixels: per
  // group of four taps w0..w3, eight 32-bit words, four of w0 | w1 << 16 and four of w2 | w3 << 16
  // (Stride() / 4 groups; only when Folded()).
  const int32_t* PairedWeights(int32_t I) const { return paired_.data() + static_cast<size_t>(I) * stride_ * 2; }

  // The constants of the rounding division by each destination pixel's weight sum, for the vector
  // kernels, four copies per pixel (entries 4 I .. 4 I + 3: one for each lane of a pixel's sums, so
  // that the constants of two neighbouring pixels load as one vector): the sum's half (rounded
  // down), the largest dividend that still gives 255 (256 * sum - 1), all bits set when the sum is
  // even, and the sum as a float.
  struct TLaneDivisors {
    std::vector<int32_t> Half, Limit, EvenMask;
    std::vector<float> WeightSum;
  };
  const TLaneDivisors& LaneDivisors() const { return divisors_; }

 private:
  int32_t sourceSize_;
  int32_t destSize_;
  // The reciprocals, the check of the sums and the folded runs, from the pairs and sums.
  void Complete();

  std::vector<int32_t> start_;
  std::vector<TIEContributor> pairs_;
  std::vector<int32_t> weightSum_;
  std::vector<uint8_t> fallback_;
  std::vector<int32_t> left_;
  std::vector<int32_t> taps_;
  std::vector<int16_t> folded_;
  std::vector<int32_t> paired_;
  TLaneDivisors divisors_;
  int32_t stride_ = 8;
  int32_t maxTaps_ = 0;
  bool positiveSums_ = true;
};
