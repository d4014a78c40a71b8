// Nearest-pixel rotations: the truncated four-decimal mapping of 1-bit and 8-bit images, and
// RotateBitmapNearest, which rotates any format about the pixel centres; multiples of 90 degrees are
// exact turns.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_rotate.h"
#include "imaging/processing/ie_row_table.h"

namespace {

int32_t Round(double X) { return static_cast<int32_t>(std::nearbyint(X)); }

// The quarter turns of an angle that is a whole multiple of 90 degrees (0..3, counter-clockwise);
// -1 for any other angle.
int32_t ExactQuarters(double Angle) {
  if (!AngleIsMultipleOf90(Angle)) return -1;
  const double q = std::fmod(Angle / 90, 4.0);
  return (static_cast<int32_t>(q) + 4) % 4;
}

// Runs Body(First, Count) over Rows rows on Threads workers; OnRows gets the finished counts.
template <class F>
void Bands(int32_t Rows, int32_t Threads, F&& Body, const std::function<void(int32_t)>& OnRows) {
  RunResampleBands(
      Rows, Threads,
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        for (int32_t y = First; y < First + Count; ++y) {
          Body(y);
          if (!RowDone()) return;
        }
      },
      OnRows);
}

template <int N>
void CopyMapped(uint8_t* const* Src, uint8_t* Dst, int32_t Count, const int32_t* X, const int32_t* Y, int32_t DX,
                int32_t DY, int32_t W, int32_t H) {
  for (int32_t x = 0; x < Count; ++x) {
    const int32_t sx = X[x] - DX, sy = Y[x] + DY;
    if (static_cast<uint32_t>(sx) >= static_cast<uint32_t>(W) || static_cast<uint32_t>(sy) >= static_cast<uint32_t>(H))
      continue;
    const uint8_t* s = Src[sy] + static_cast<int64_t>(sx) * N;
    uint8_t* d = Dst + static_cast<int64_t>(x) * N;
    for (int c = 0; c < N; ++c) d[c] = s[c];
  }
}

}  // namespace

bool AngleIsMultipleOf90(double Angle) {
  if (!std::isfinite(Angle) || Angle != std::trunc(Angle)) return false;
  return std::fmod(Angle, 90.0) == 0;
}

std::unique_ptr<TIEBitmap> TruncatedNearestRotated(TIEBitmap& Source, uint8_t Outside, double Angle,
                                                   TIEProgressRecord* Progress) {
  if (Source.IsEmpty()) return nullptr;
  const TIEPixelFormat format = Source.PixelFormat();
  if (format != ie1g && format != ie8g && format != ie8p) return nullptr;
  // Whole multiples of 90 degrees turn exactly (0 and 360 change nothing); an angle that is no
  // number rotates by nothing.
  const int32_t quarters = std::isfinite(Angle) ? ExactQuarters(Angle) : 0;
  if (quarters >= 0) return TurnedCopy(Source, quarters);

  const int32_t W = Source.Width(), H = Source.Height();
  const double beta = -Angle / 57.295779513082320877;
  const double C = std::trunc(std::cos(beta) * 10000) / 10000;
  const double S = std::trunc(std::sin(beta) * 10000) / 10000;
  const int32_t newWidth = std::max(1, static_cast<int32_t>(std::trunc(std::fabs(W * C) + std::fabs(H * S))));
  const int32_t newHeight = std::max(1, static_cast<int32_t>(std::trunc(std::fabs(S * W) + std::fabs(C * H))));

  std::unique_ptr<TIEBitmap> result = NewResultBitmap(Source);
  if (!result->Allocate(newWidth, newHeight, format)) return nullptr;
  Source.CopyPaletteTo(result.get());
  std::vector<int32_t> a(static_cast<size_t>(newWidth)), b(static_cast<size_t>(newWidth));
  for (int32_t x = 0; x < newWidth; ++x) {
    const double u = x - (newWidth / 2.0 - 0.5);
    a[static_cast<size_t>(x)] = static_cast<int32_t>(std::trunc(C * u));
    b[static_cast<size_t>(x)] = static_cast<int32_t>(std::trunc(-S * u));
  }
  const bool bits = format == ie1g;
  TIERowTable src(Source, iraRead);
  TIERowTable dst(*result, iraReadWrite);
  std::function<void(int32_t)> onRows;
  if (Progress)
    onRows = [&](int32_t done) { Progress->Report(static_cast<int32_t>(std::trunc((done - 1) * 100.0 / newHeight))); };
  Bands(newHeight, GeometryThreadCount(Source, *result, int64_t{newWidth} * newHeight), [&](int32_t y) {
    const double v = y - (newHeight / 2.0 - 0.5);
    const int32_t x0 = static_cast<int32_t>(std::trunc((W / 2.0 - 0.5) + S * v));
    const int32_t y0 = static_cast<int32_t>(std::trunc((H / 2.0 - 0.5) + C * v));
    uint8_t* d = dst[y];
    if (bits) std::memset(d, 0, static_cast<size_t>(result->RowLen()));
    for (int32_t x = 0; x < newWidth; ++x) {
      const int32_t sx = x0 + a[static_cast<size_t>(x)], sy = y0 + b[static_cast<size_t>(x)];
      const bool inside = static_cast<uint32_t>(sx) < static_cast<uint32_t>(W) && static_cast<uint32_t>(sy) < static_cast<uint32_t>(H);
      if (bits) {
        if (inside ? GetRowBit(src[sy], sx) != 0 : Outside != 0) d[x >> 3] |= IEBitMask1[x & 7];
      } else {
        d[x] = inside ? src[sy][sx] : Outside;
      }
    }
  }, onRows);
  dst.Release();
  return result;
}

std::unique_ptr<TIEBitmap> NearestRotated(TIEBitmap& Source, double Background, double Angle,
                                          const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (Source.IsEmpty()) return nullptr;
  const int32_t quarters = std::isfinite(Angle) ? ExactQuarters(Angle) : 0;
  if (quarters >= 0) return TurnedCopy(Source, quarters);

  const TIEPixelFormat format = Source.PixelFormat();
  const int32_t W = Source.Width(), H = Source.Height();
  const double theta = Angle * std::numbers::pi / 180;
  const double c = std::cos(theta), s = std::sin(theta);
  const int32_t newWidth = std::max(1, Round(std::fabs(c * W) + std::fabs(s * H)));
  const int32_t newHeight = std::max(1, Round(std::fabs(s * W) + std::fabs(c * H)));
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(Source);
  if (!result->Allocate(newWidth, newHeight, format)) return nullptr;
  Source.CopyPaletteTo(result.get());
  result->Fill(format == ie1g ? 0 : Background);

  const double scx = (W - 1) / 2.0, scy = (H - 1) / 2.0;
  const double dcx = (newWidth - 1) / 2.0, dcy = (newHeight - 1) / 2.0;
  std::vector<int32_t> X(static_cast<size_t>(newWidth)), Y(static_cast<size_t>(newWidth));
  for (int32_t x = 0; x < newWidth; ++x) {
    X[static_cast<size_t>(x)] = Round((x - dcx) * c + scx);
    Y[static_cast<size_t>(x)] = Round((x - dcx) * s + scy);
  }
  const int32_t bytes = IEBytesPerPixel[format];
  TIERowTable src(Source, iraRead);
  TIERowTable dst(*result, iraReadWrite);
  std::function<void(int32_t)> onRows;
  if (OnProgress)
    onRows = [&](int32_t done) { OnProgress(Sender, static_cast<int32_t>(std::trunc((done - 1) * 100.0 / newHeight))); };
  Bands(newHeight, GeometryThreadCount(Source, *result, int64_t{newWidth} * newHeight), [&](int32_t y) {
    const double dy = y - dcy;
    const int32_t DX = Round(dy * s), DY = Round(dy * c);
    uint8_t* d = dst[y];
    switch (bytes) {
      case 0:
        // Only set bits are copied onto the black rows.
        for (int32_t x = 0; x < newWidth; ++x) {
          const int32_t sx = X[static_cast<size_t>(x)] - DX, sy = Y[static_cast<size_t>(x)] + DY;
          if (static_cast<uint32_t>(sx) < static_cast<uint32_t>(W) && static_cast<uint32_t>(sy) < static_cast<uint32_t>(H) &&
              GetRowBit(src[sy], sx))
            d[x >> 3] |= IEBitMask1[x & 7];
        }
        break;
      case 1: CopyMapped<1>(src.Rows(), d, newWidth, X.data(), Y.data(), DX, DY, W, H); break;
      case 2: CopyMapped<2>(src.Rows(), d, newWidth, X.data(), Y.data(), DX, DY, W, H); break;
      case 3: CopyMapped<3>(src.Rows(), d, newWidth, X.data(), Y.data(), DX, DY, W, H); break;
      case 4: CopyMapped<4>(src.Rows(), d, newWidth, X.data(), Y.data(), DX, DY, W, H); break;
      case 6: CopyMapped<6>(src.Rows(), d, newWidth, X.data(), Y.data(), DX, DY, W, H); break;
      default: break;
    }
  }, onRows);
  dst.Release();
  return result;
}

bool RotateBitmap1Bit(TIEBitmap& Bitmap, bool OutsideWhite, TIEProgressRecord& Progress, double Angle) {
  if (Bitmap.PixelFormat() != ie1g || Bitmap.IsEmpty()) return true;
  std::unique_ptr<TIEBitmap> result = TruncatedNearestRotated(Bitmap, OutsideWhite ? 1 : 0, Angle, &Progress);
  if (!result) return false;
  TakeResultImage(Bitmap, *result, false);
  return true;
}

bool RotateBitmapNearest8(TIEBitmap& Bitmap, uint8_t Outside, double Angle) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if ((format != ie8g && format != ie8p) || Bitmap.IsEmpty()) return true;
  std::unique_ptr<TIEBitmap> result = TruncatedNearestRotated(Bitmap, Outside, Angle, nullptr);
  if (!result) return false;
  TakeResultImage(Bitmap, *result, false);
  return true;
}

bool RotateBitmapNearest(TIEBitmap& Source, TIEBitmap& Dest, double Background, double Angle,
                         const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (&Source == &Dest) return RotateNearestInPlace(Source, Background, Sender, OnProgress, Angle);
  std::unique_ptr<TIEBitmap> result = NearestRotated(Source, Background, Angle, OnProgress, Sender);
  if (!result) return false;
  TakeResultImage(Dest, *result, false);
  return true;
}

bool RotateNearestInPlace(TIEBitmap& Bitmap, double Background, TObject* Sender, const TIEProgressEvent& OnProgress,
                          double Angle) {
  if (Bitmap.IsEmpty()) return true;
  std::unique_ptr<TIEBitmap> result = NearestRotated(Bitmap, Background, Angle, OnProgress, Sender);
  if (!result) return false;
  TakeResultImage(Bitmap, *result, false);
  return true;
}
