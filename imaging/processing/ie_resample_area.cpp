#include "imaging/processing/ie_resample_area.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/core/ie_base_bitmap.h"
#include "imaging/processing/ie_resample_filters.h"
#include "imaging/processing/ie_resample_two_pass.h"

namespace {

// The weight of the two inner samples (|u| < 1) and of the two outer ones (1 <= |u| < 2).
inline double InnerWeight(double u) {
  u = std::fabs(u);
  return u * u * u - 2 * u * u + 1;
}
inline double OuterWeight(double u) {
  u = std::fabs(u);
  return -u * u * u + 5 * u * u - 8 * u + 4;
}

// The weights of A, B, C and D in CubicInterpolate at T.
inline void CubicWeights(double t, double w[4]) {
  w[0] = OuterWeight(t + 1);
  w[1] = InnerWeight(t);
  w[2] = InnerWeight(t - 1);
  w[3] = OuterWeight(t - 2);
}
inline double CubicApply(double a, double b, double c, double d, const double w[4], double minValue, double maxValue) {
  return std::clamp(a * w[0] + b * w[1] + c * w[2] + d * w[3], minValue, maxValue);
}

// Integer weights in units of 2^14 for 8-bit samples: fine enough that the rounding of a weight
// moves no sample by more than a few hundredths of a level, coarse enough that a folded run fits the
// vector kernels' 16 bits. 16-bit samples take units of 2^22 for the same precision at their scale.
constexpr int32_t kAreaUnit8 = 1 << 14;
constexpr int32_t kAreaUnit16 = 1 << 22;

// Adds Weight to the contribution of Pixel (the last few entries are the only ones a pixel can
// repeat: the walk moves forwards through the source).
void AddWeight(std::vector<TIERealContributor>& weights, int32_t pixel, double weight) {
  if (weight == 0) return;
  const size_t n = weights.size();
  for (size_t k = n; k > 0 && k + 4 > n; --k)
    if (weights[k - 1].Pixel == pixel) {
      weights[k - 1].Weight += weight;
      return;
    }
  weights.push_back(TIERealContributor{pixel, weight});
}

}  // namespace

std::vector<std::vector<TIERealContributor>> AreaAxisWeights(int32_t SourceSize, int32_t DestSize, bool Bicubic) {
  const double g = static_cast<double>(SourceSize) / DestSize;
  const bool interpolate = g < 1;
  std::vector<std::vector<TIERealContributor>> weights(static_cast<size_t>(DestSize));
  auto pixel = [&](int32_t j) { return std::clamp(j, 0, SourceSize - 1); };
  double pos = 0;
  int32_t j = 0;
  for (int32_t d = 0; d < DestSize; ++d) {
    std::vector<TIERealContributor>& w = weights[static_cast<size_t>(d)];
    const double destEnd = (d + 1) * g;
    for (;;) {
      // The segment ends at the destination boundary when that comes within 0.0001 of the next
      // source boundary (or no source pixel is left), else at the source boundary.
      const bool ends = j + 1 + 0.0001 >= destEnd || j >= SourceSize - 1;
      const double size = std::max((ends ? destEnd : j + 1) - pos, 0.0);
      // Where the segment ends inside source pixel j: the point it is sampled at.
      const double at = ends ? std::clamp(destEnd - j, 0.0, 1.0) : 1.0;
      if (size > 0) {
        const double area = size / g;
        if (!interpolate) {
          AddWeight(w, pixel(j), area);
        } else if (!Bicubic) {
          AddWeight(w, pixel(j), area * (1 - at));
          AddWeight(w, pixel(j + 1), area * at);
        } else {
          double cw[4];
          CubicWeights(at, cw);
          for (int32_t k = 0; k < 4; ++k) AddWeight(w, pixel(j - 1 + k), area * cw[k]);
        }
      }
      if (ends) {
        pos = destEnd;
        break;
      }
      pos = j + 1;
      ++j;
    }
  }
  return weights;
}

namespace {

void AreaResample(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, int32_t channels, int32_t sampleBytes, bool bicubic,
                  const TIEProgressEvent& OnProgress, TObject* Sender) {
  TwoPassResample(
      Source, Dest,
      [bicubic, unit = sampleBytes == 1 ? kAreaUnit8 : kAreaUnit16](int32_t SourceSize, int32_t DestSize) {
        return TIEContributorTable(SourceSize, AreaAxisWeights(SourceSize, DestSize, bicubic), unit);
      },
      channels, sampleBytes, TTwoPassProgress::DestRows, &OnProgress, Sender);
}

bool Usable(TIEBaseBitmap& Source, TIEBaseBitmap& Dest) {
  return &Source != &Dest && Source.GetWidth() > 0 && Source.GetHeight() > 0 && Dest.GetWidth() > 0 &&
         Dest.GetHeight() > 0 && Source.GetPixelFormat() == Dest.GetPixelFormat();
}

}  // namespace

double CubicInterpolate(int32_t A, int32_t B, int32_t C, double T, int32_t D, double MinValue, double MaxValue) {
  double w[4];
  CubicWeights(T, w);
  return CubicApply(A, B, C, D, w, MinValue, MaxValue);
}

void AreaResample8(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                   TObject* Sender) {
  const TIEPixelFormat format = Source.GetPixelFormat();
  if ((format != ie8g && format != ie24RGB) || !Usable(Source, Dest)) return;
  AreaResample(Source, Dest, format == ie8g ? 1 : 3, 1, Bicubic, OnProgress, Sender);
}

void AreaResample16(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                    TObject* Sender) {
  const TIEPixelFormat format = Source.GetPixelFormat();
  if ((format != ie16g && format != ieRGB48) || !Usable(Source, Dest)) return;
  AreaResample(Source, Dest, format == ie16g ? 1 : 3, 2, Bicubic, OnProgress, Sender);
}
