// Rotation by inverse mapping: each pixel of the rotated image is sampled, bilinearly or bicubically,
// at the point of the source that maps to it. The source is taken as framed by 3 pixels of
// background, and the frame is cut from the result again; the frame is not built, a fetch outside
// the picture answers the background instead.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_rows.h"
#include "imaging/processing/ie_rotate.h"
#include "imaging/processing/ie_rotate_avx2.h"
#include "imaging/processing/ie_row_table.h"

namespace {

// The background frame around the picture.
constexpr int32_t kFrame = 3;

int32_t Round(double X) { return static_cast<int32_t>(std::nearbyint(X)); }

// Framed coordinates to picture coordinates; a pixel of the picture or the background.
inline const uint8_t* Pixel(const TIERotateSource& S, int32_t X, int32_t Y) {
  X -= kFrame;
  Y -= kFrame;
  if (static_cast<uint32_t>(X) >= static_cast<uint32_t>(S.Width) ||
      static_cast<uint32_t>(Y) >= static_cast<uint32_t>(S.Height))
    return S.Background;
  return S.Rows[Y] + static_cast<int64_t>(X) * S.N;
}

// A sample truncated to a byte; below 0 is 0 and above 255 is 255 (NaN gives 0). The weights of a
// sample add up to 1 only within the rounding of doubles, so a value a hair below a whole number
// counts as that number: a flat area keeps its level instead of losing one.
inline uint8_t ToByte(double V) {
  V += 1e-7;
  return V >= 255 ? 255 : (V > 0 ? static_cast<uint8_t>(V) : 0);
}

template <int N>
inline void Bilinear(const TIERotateSource& S, double SX, double SY, uint8_t* Out) {
  const int32_t x0 = static_cast<int32_t>(std::trunc(SX)), y0 = static_cast<int32_t>(std::trunc(SY));
  const double fx = SX - std::floor(SX), fy = SY - std::floor(SY);
  const uint8_t* p00 = Pixel(S, x0, y0);
  const uint8_t* p10 = Pixel(S, x0 + 1, y0);
  const uint8_t* p01 = Pixel(S, x0, y0 + 1);
  const uint8_t* p11 = Pixel(S, x0 + 1, y0 + 1);
  for (int c = 0; c < N; ++c) {
    const double top = p00[c] + (p10[c] - p00[c]) * fx;
    const double bottom = p01[c] + (p11[c] - p01[c]) * fx;
    Out[c] = ToByte(top + (bottom - top) * fy);
  }
}

template <int N>
inline void Bicubic(const TIERotateSource& S, double SX, double SY, uint8_t* Out) {
  const int32_t x0 = static_cast<int32_t>(std::trunc(SX)), y0 = static_cast<int32_t>(std::trunc(SY));
  double wx[4], wy[4];
  BicubicWeights(SX - x0, wx);
  BicubicWeights(SY - y0, wy);
  const int32_t px = x0 - 1 - kFrame, py = y0 - 1 - kFrame;
  if (px >= 0 && py >= 0 && px + 3 < S.Width && py + 3 < S.Height) {
    // Inside the picture: four rows of four pixels, no bounds to test.
    const int64_t at = static_cast<int64_t>(px) * N;
    const uint8_t* r[4] = {S.Rows[py] + at, S.Rows[py + 1] + at, S.Rows[py + 2] + at, S.Rows[py + 3] + at};
    for (int c = 0; c < N; ++c) {
      double value = 0;
      for (int k = 0; k < 4; ++k)
        value += wy[k] * (wx[0] * r[k][c] + wx[1] * r[k][N + c] + wx[2] * r[k][2 * N + c] + wx[3] * r[k][3 * N + c]);
      Out[c] = ToByte(value);
    }
    return;
  }
  const uint8_t* p[4][4];
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 4; ++j) p[k][j] = Pixel(S, x0 - 1 + j, y0 - 1 + k);
  for (int c = 0; c < N; ++c) {
    double value = 0;
    for (int k = 0; k < 4; ++k) value += wy[k] * (wx[0] * p[k][0][c] + wx[1] * p[k][1][c] + wx[2] * p[k][2][c] + wx[3] * p[k][3][c]);
    Out[c] = ToByte(value);
  }
}

template <int N>
void RotateRows(const TIERotateSource& S, TIEBitmap& Result, uint8_t* const* Dst, uint8_t Sampling, const double* ColX,
                const double* ColY, double Sin, double Cos, double DY, int32_t Y) {
  const int32_t width = Result.Width();
  const double ry = (Y + kFrame) - DY;
  const double dsx = ry * Sin, dsy = ry * Cos;
  uint8_t* d = Dst[Y];
  if (Sampling == 2) {
    if constexpr (N == 3) {
      if (ResampleSimdActive()) {
        BicubicRow24Avx2(S, ColX, ColY, dsx, dsy, width, d);
        return;
      }
    }
    for (int32_t x = 0; x < width; ++x, d += N) Bicubic<N>(S, ColX[x] - dsx, ColY[x] + dsy, d);
  } else {
    for (int32_t x = 0; x < width; ++x, d += N) Bilinear<N>(S, ColX[x] - dsx, ColY[x] + dsy, d);
  }
}

}  // namespace

void FetchPixel(const TIERotateSource& Source, int32_t X, int32_t Y, uint8_t* Out) {
  const uint8_t* p = Pixel(Source, X, Y);
  for (int c = 0; c < Source.N; ++c) Out[c] = p[c];
}

void SampleBilinear(const TIERotateSource& Source, double SX, double SY, uint8_t* Out) {
  if (Source.N == 3)
    Bilinear<3>(Source, SX, SY, Out);
  else
    Bilinear<1>(Source, SX, SY, Out);
}

void SampleBicubic(const TIERotateSource& Source, double SX, double SY, uint8_t* Out) {
  if (Source.N == 3)
    Bicubic<3>(Source, SX, SY, Out);
  else
    Bicubic<1>(Source, SX, SY, Out);
}

std::unique_ptr<TIEBitmap> InterpolatedRotated(TIEBitmap& Source, const uint8_t* Background, uint8_t Sampling,
                                               double Angle, const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (Source.IsEmpty()) return nullptr;
  const TIEPixelFormat format = Source.PixelFormat();
  const int32_t n = format == ie24RGB ? 3 : (format == ie8g || format == ie8p ? 1 : 0);
  if (n == 0) return nullptr;
  if (!std::isfinite(Angle)) Angle = 0;
  const int32_t w = Source.Width(), h = Source.Height();
  // The framed size, the rotated framed size, and the result without the frame.
  const int32_t W = w + 2 * kFrame, H = h + 2 * kFrame;
  const double a = Angle * std::numbers::pi / 180;
  const double ca = std::cos(a), sa = std::sin(a);
  const int32_t W2 = Round(std::fabs(ca) * (W - 1) + std::fabs(sa) * (H - 1));
  const int32_t H2 = Round(std::fabs(sa) * (W - 1) + std::fabs(ca) * (H - 1));
  const int32_t width = std::max(1, W2 - 2 * kFrame), height = std::max(1, H2 - 2 * kFrame);

  std::unique_ptr<TIEBitmap> result = NewResultBitmap(Source);
  if (!result->Allocate(width, height, format)) return nullptr;
  Source.CopyPaletteTo(result.get());

  const double cx = (W - 1) / 2.0, cy = (H - 1) / 2.0, dx = (W2 - 1) / 2.0, dy = (H2 - 1) / 2.0;
  std::vector<double> colX(static_cast<size_t>(width)), colY(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) {
    const double u = (x + kFrame) - dx;
    colX[static_cast<size_t>(x)] = u * ca + cx;
    colY[static_cast<size_t>(x)] = u * sa + cy;
  }
  TIERowTable src(Source, iraRead);
  TIERowTable dst(*result, iraReadWrite);
  TIERotateSource s;
  s.Rows = src.Rows();
  s.Width = w;
  s.Height = h;
  s.N = n;
  for (int c = 0; c < n; ++c) s.Background[c] = Background[c];
  std::function<void(int32_t)> onRows;
  if (OnProgress)
    onRows = [&](int32_t done) { OnProgress(Sender, static_cast<int32_t>(std::trunc((done - 1) * 100.0 / height))); };
  RunResampleBands(
      height, GeometryThreadCount(Source, *result, int64_t{width} * height * (Sampling == 2 ? 4 : 1)),
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        for (int32_t y = First; y < First + Count; ++y) {
          if (n == 3)
            RotateRows<3>(s, *result, dst.Rows(), Sampling, colX.data(), colY.data(), sa, ca, dy, y);
          else
            RotateRows<1>(s, *result, dst.Rows(), Sampling, colX.data(), colY.data(), sa, ca, dy, y);
          if (!RowDone()) return;
        }
      },
      onRows);
  dst.Release();
  return result;
}

bool RotateInterpolated24(TIEBitmap& Bitmap, TColor Background, uint8_t Sampling, TObject* Sender,
                          const TIEProgressEvent& OnProgress, double Angle) {
  if (Bitmap.PixelFormat() != ie24RGB || Bitmap.IsEmpty()) return true;
  const TIERGB bg = TColorToRGB(Background);
  const uint8_t bytes[3] = {bg.b, bg.g, bg.r};
  std::unique_ptr<TIEBitmap> result = InterpolatedRotated(Bitmap, bytes, Sampling, Angle, OnProgress, Sender);
  if (!result) return false;
  TakeResultImage(Bitmap, *result, false);
  return true;
}

bool RotateInterpolated8(TIEBitmap& Bitmap, int32_t Background, uint8_t Sampling, double Angle) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if ((format != ie8g && format != ie8p) || Bitmap.IsEmpty()) return true;
  const uint8_t bytes[3] = {static_cast<uint8_t>(Background), 0, 0};
  std::unique_ptr<TIEBitmap> result = InterpolatedRotated(Bitmap, bytes, Sampling, Angle, nullptr, nullptr);
  if (!result) return false;
  TakeResultImage(Bitmap, *result, false);
  return true;
}
