#include "imaging/processing/ie_resample_area.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "imaging/core/ie_base_bitmap.h"
#include "imaging/processing/ie_resample_bands.h"

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

// One horizontal segment of the walk along a row.
struct TSegment {
  double Width;
  double L;        // where the segment ends inside its source pixel, 0..1
  int32_t X;       // its source pixel
  int32_t Dest;    // its destination pixel
};

// The SourceWidth + DestWidth segments of a row: each ends at the next source boundary (an integer)
// or at the next destination boundary (a multiple of g), whichever comes first; a destination
// boundary wins ties within 0.0001, and the source boundary then ends a segment of width 0.
std::vector<TSegment> RowSegments(int32_t sw, int32_t dw, double g) {
  std::vector<TSegment> segments;
  segments.reserve(static_cast<size_t>(sw + dw));
  double pos = 0;
  int32_t x = 0, d = 0;
  for (int32_t s = 0; s < sw + dw; ++s) {
    const double sourceEnd = x + 1;
    const double destEnd = (d + 1) * g;
    TSegment seg;
    seg.X = std::min(x, sw - 1);
    seg.Dest = std::min(d, dw - 1);
    if ((sourceEnd + 0.0001 >= destEnd && d < dw) || x >= sw) {
      seg.Width = destEnd - pos;
      seg.L = destEnd - x;
      pos = destEnd;
      ++d;
    } else {
      seg.Width = sourceEnd - pos;
      seg.L = 1;
      pos = sourceEnd;
      ++x;
    }
    seg.Width = std::max(seg.Width, 0.0);
    seg.L = std::clamp(seg.L, 0.0, 1.0);
    segments.push_back(seg);
  }
  return segments;
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

template <class T>
void AreaResample(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, int32_t channels, bool bicubic,
                  const TIEProgressEvent& OnProgress, TObject* Sender) {
  constexpr double maxValue = sizeof(T) == 1 ? 255 : 65535;
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  const double gx = static_cast<double>(sw) / dw, gy = static_cast<double>(sh) / dh;
  const bool interpH = gx < 1, interpV = gy < 1;
  const std::vector<TSegment> segments = RowSegments(sw, dw, gx);
  const size_t segmentCount = segments.size();
  std::vector<double> segmentWeights(segmentCount * 4);
  for (size_t s = 0; s < segmentCount; ++s) CubicWeights(segments[s].L, &segmentWeights[s * 4]);
  const size_t rowSamples = static_cast<size_t>(sw) * channels;
  const double norm = 1.0 / (gx * gy);
  const int32_t threads = IsFileHeldBitmap(Dest) ? 1 : ResampleThreadCount(Source);

  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  std::vector<const void*> sourceRows, destRows;
  if (threads > 1) {
    for (int32_t y = 0; y < sh; ++y) sourceRows.push_back(Source.GetRow(y));
    for (int32_t y = 0; y < dh; ++y) destRows.push_back(Dest.GetRow(y));
  }

  // A band of destination rows walks the source rows from where its first row starts; every
  // boundary is computed from its index, so the bands give what one walk down the image gives.
  auto band = [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
    // Per source row, cached in a ring of four: the row itself and, for each horizontal segment
    // and channel, the value interpolated across the row at the segment's end (what the vertical
    // step then combines).
    std::vector<T> ring[4];
    std::vector<double> across[4];
    int32_t ringRow[4] = {-1, -1, -1, -1};
    for (int k = 0; k < 4; ++k) {
      ring[k].resize(rowSamples);
      across[k].resize(segmentCount * channels);
    }
    auto column = [&](int32_t x) { return std::clamp(x, 0, sw - 1) * channels; };
    auto slotOf = [&](int32_t y) {
      y = std::clamp(y, 0, sh - 1);
      const int32_t slot = y & 3;
      if (ringRow[slot] == y) return slot;
      const void* row = sourceRows.empty() ? Source.GetRow(y) : sourceRows[static_cast<size_t>(y)];
      std::memcpy(ring[slot].data(), row, rowSamples * sizeof(T));
      ringRow[slot] = y;
      if (!interpH) return slot;
      const T* r = ring[slot].data();
      double* out = across[slot].data();
      for (size_t s = 0; s < segmentCount; ++s) {
        const TSegment& seg = segments[s];
        const int32_t x0 = column(seg.X), xm = column(seg.X - 1), x1 = column(seg.X + 1), x2 = column(seg.X + 2);
        const double L = seg.L;
        for (int32_t c = 0; c < channels; ++c) {
          if (bicubic)
            out[s * channels + c] = CubicApply(r[xm + c], r[x0 + c], r[x1 + c], r[x2 + c], &segmentWeights[s * 4], 0, maxValue);
          else
            out[s * channels + c] = (1 - L) * r[x0 + c] + L * r[x1 + c];
        }
      }
      return slot;
    };

    std::vector<double> acc(static_cast<size_t>(dw) * channels, 0.0);
    std::vector<T> out(static_cast<size_t>(dw) * channels);
    double posY = first * gy;
    int32_t j = 0;
    while (j < sh - 1 && !(j + 1 + 0.0001 >= posY)) ++j;
    for (int32_t dy = first; dy < first + count;) {
      const double destEnd = (dy + 1) * gy;
      const bool endsRow = j + 1 + 0.0001 >= destEnd || j >= sh - 1;
      const double height = std::max((endsRow ? destEnd : j + 1) - posY, 0.0);
      const double G = endsRow ? std::clamp(destEnd - j, 0.0, 1.0) : 1.0;
      if (height > 0) {
        const int32_t s0 = slotOf(j - 1), s1 = slotOf(j), s2 = slotOf(j + 1), s3 = slotOf(j + 2);
        const T* r1 = ring[s1].data();
        const T* r0 = ring[s0].data();
        const T* r2 = ring[s2].data();
        const T* r3 = ring[s3].data();
        double gw[4];
        CubicWeights(G, gw);
        for (size_t s = 0; s < segmentCount; ++s) {
          const TSegment& seg = segments[s];
          if (seg.Width <= 0) continue;
          const double area = seg.Width * height;
          const int32_t x0 = column(seg.X);
          const size_t k = s * channels;
          double* a = acc.data() + static_cast<size_t>(seg.Dest) * channels;
          for (int32_t c = 0; c < channels; ++c) {
            double v;
            if (!bicubic) {
              if (interpH && interpV)
                v = (1 - G) * across[s1][k + c] + G * across[s2][k + c];
              else if (interpH)
                v = across[s1][k + c];
              else if (interpV)
                v = (1 - G) * r1[x0 + c] + G * r2[x0 + c];
              else
                v = r1[x0 + c];
            } else if (interpH && interpV) {
              v = CubicApply(std::nearbyint(across[s0][k + c]), std::nearbyint(across[s1][k + c]),
                             std::nearbyint(across[s2][k + c]), std::nearbyint(across[s3][k + c]), gw, 0, maxValue);
            } else if (interpH) {
              v = across[s1][k + c];
            } else if (interpV) {
              v = CubicApply(r0[x0 + c], r1[x0 + c], r2[x0 + c], r3[x0 + c], gw, 0, maxValue);
            } else {
              v = r1[x0 + c];
            }
            a[c] += area * v;
          }
        }
      }
      if (endsRow) {
        for (size_t k = 0; k < acc.size(); ++k)
          out[k] = static_cast<T>(std::clamp(std::nearbyint(acc[k] * norm), 0.0, maxValue));
        void* row = destRows.empty() ? Dest.GetRow(dy) : const_cast<void*>(destRows[static_cast<size_t>(dy)]);
        std::memcpy(row, out.data(), out.size() * sizeof(T));
        std::fill(acc.begin(), acc.end(), 0.0);
        ++dy;
        posY = destEnd;
        if (!rowDone()) return;
      } else {
        posY = j + 1;
        ++j;
      }
    }
  };
  RunResampleBands(dh, threads, band,
                   OnProgress ? std::function<void(int32_t)>([&](int32_t done) {
                     OnProgress(Sender, static_cast<int32_t>(static_cast<double>(done) / dh * 100));
                   })
                              : nullptr);
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
  AreaResample<uint8_t>(Source, Dest, format == ie8g ? 1 : 3, Bicubic, OnProgress, Sender);
}

void AreaResample16(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                    TObject* Sender) {
  const TIEPixelFormat format = Source.GetPixelFormat();
  if ((format != ie16g && format != ieRGB48) || !Usable(Source, Dest)) return;
  AreaResample<uint16_t>(Source, Dest, format == ie16g ? 1 : 3, Bicubic, OnProgress, Sender);
}
