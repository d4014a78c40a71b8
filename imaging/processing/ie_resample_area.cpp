#include "imaging/processing/ie_resample_area.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_base_bitmap.h"

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

template <class T>
void AreaResample(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, int32_t channels, bool bicubic,
                  const TIEProgressEvent& OnProgress, TObject* Sender) {
  constexpr double maxValue = sizeof(T) == 1 ? 255 : 65535;
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  const double gx = static_cast<double>(sw) / dw, gy = static_cast<double>(sh) / dh;
  const bool interpH = gx < 1, interpV = gy < 1;
  const std::vector<TSegment> segments = RowSegments(sw, dw, gx);
  const size_t rowSamples = static_cast<size_t>(sw) * channels;

  // Source rows j - 1 .. j + 2 (repeating the first and last rows), each read once.
  std::vector<T> ring[4];
  int32_t ringRow[4] = {-1, -1, -1, -1};
  for (auto& r : ring) r.resize(rowSamples);
  TIERowAccessScope readOnly(Source, iraRead);
  auto rowOf = [&](int32_t y) -> const T* {
    y = std::clamp(y, 0, sh - 1);
    const int32_t slot = y & 3;
    if (ringRow[slot] != y) {
      std::memcpy(ring[slot].data(), Source.GetRow(y), rowSamples * sizeof(T));
      ringRow[slot] = y;
    }
    return ring[slot].data();
  };
  auto column = [&](int32_t x) { return std::clamp(x, 0, sw - 1) * channels; };

  std::vector<double> acc(static_cast<size_t>(dw) * channels, 0.0);
  std::vector<T> out(static_cast<size_t>(dw) * channels);
  const double norm = 1.0 / (gx * gy);
  double posY = 0, destStartY = 0;
  int32_t j = 0, dy = 0;
  while (dy < dh) {
    const double destEnd = destStartY + gy;
    const bool endsRow = j + 1 + 0.0001 >= destEnd || j >= sh - 1;
    const double height = std::max((endsRow ? destEnd : j + 1) - posY, 0.0);
    const double G = endsRow ? std::clamp(destEnd - j, 0.0, 1.0) : 1.0;
    const T* rows[4] = {rowOf(j - 1), rowOf(j), rowOf(j + 1), rowOf(j + 2)};
    if (height > 0) {
      for (const TSegment& seg : segments) {
        if (seg.Width <= 0) continue;
        const double area = seg.Width * height;
        const double L = seg.L;
        const int32_t x0 = column(seg.X), xm = column(seg.X - 1), x1 = column(seg.X + 1), x2 = column(seg.X + 2);
        double* a = acc.data() + static_cast<size_t>(seg.Dest) * channels;
        for (int32_t c = 0; c < channels; ++c) {
          double v;
          if (!bicubic) {
            if (interpH && interpV)
              v = (1 - G) * ((1 - L) * rows[1][x0 + c] + L * rows[1][x1 + c]) +
                  G * ((1 - L) * rows[2][x0 + c] + L * rows[2][x1 + c]);
            else if (interpH)
              v = (1 - L) * rows[1][x0 + c] + L * rows[1][x1 + c];
            else if (interpV)
              v = (1 - G) * rows[1][x0 + c] + G * rows[2][x0 + c];
            else
              v = rows[1][x0 + c];
          } else {
            auto across = [&](const T* r) {
              return CubicInterpolate(r[xm + c], r[x0 + c], r[x1 + c], L, r[x2 + c], 0, maxValue);
            };
            if (interpH && interpV) {
              int32_t h[4];
              for (int k = 0; k < 4; ++k) h[k] = static_cast<int32_t>(std::nearbyint(across(rows[k])));
              v = CubicInterpolate(h[0], h[1], h[2], G, h[3], 0, maxValue);
            } else if (interpH) {
              v = across(rows[1]);
            } else if (interpV) {
              v = CubicInterpolate(rows[0][x0 + c], rows[1][x0 + c], rows[2][x0 + c], G, rows[3][x0 + c], 0, maxValue);
            } else {
              v = rows[1][x0 + c];
            }
          }
          a[c] += area * v;
        }
      }
    }
    if (endsRow) {
      for (size_t k = 0; k < acc.size(); ++k)
        out[k] = static_cast<T>(std::clamp(std::nearbyint(acc[k] * norm), 0.0, maxValue));
      std::memcpy(Dest.GetRow(dy), out.data(), out.size() * sizeof(T));
      std::fill(acc.begin(), acc.end(), 0.0);
      ++dy;
      posY = destEnd;
      destStartY = destEnd;
      if (OnProgress) OnProgress(Sender, static_cast<int32_t>(static_cast<double>(dy) / dh * 100));
    } else {
      posY = j + 1;
      ++j;
    }
  }
}

bool Usable(TIEBaseBitmap& Source, TIEBaseBitmap& Dest) {
  return &Source != &Dest && Source.GetWidth() > 0 && Source.GetHeight() > 0 && Dest.GetWidth() > 0 &&
         Dest.GetHeight() > 0 && Source.GetPixelFormat() == Dest.GetPixelFormat();
}

}  // namespace

double CubicInterpolate(int32_t A, int32_t B, int32_t C, double T, int32_t D, double MinValue, double MaxValue) {
  const double v = A * OuterWeight(T + 1) + B * InnerWeight(T) + C * InnerWeight(T - 1) + D * OuterWeight(T - 2);
  return std::clamp(v, MinValue, MaxValue);
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
