#include "imaging/processing/ie_soft_shadow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_geometry.h"
#include "imaging/processing/ie_filter3x3.h"
#include "imaging/processing/ie_gauss_blur.h"
#include "imaging/core/ie_int_math.h"

namespace {

// The composition of the image over its shadow on the inclusive rectangle: Original holds the
// unblurred alpha, the bitmap's alpha channel the shadow. Divide is the factor of a transparent
// place's shadow alpha (3 - 2 * Intensity / 100); OneBitDivides says whether ie1g images use it.
void ComposeShadow(TIEBitmap& Bitmap, TIEBitmap& Original, TIERGB Shadow, double Divide, bool OneBitDivides,
                   int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TIEBitmap& alpha = *Bitmap.GetAlphaChannel();
  const TIEPixelFormat format = Bitmap.PixelFormat();
  const uint8_t shadow[3] = {Shadow.b, Shadow.g, Shadow.r};
  std::vector<uint8_t> original;
  for (int32_t y = Y1; y <= Y2; ++y) {
    // Rows of three bitmaps: each pointer is the only one taken from its bitmap.
    const uint8_t* o = Original.Row<uint8_t>(y);
    original.assign(o + X1, o + X2 + 1);
    uint8_t* al = alpha.Row<uint8_t>(y);
    uint8_t* px = Bitmap.Row<uint8_t>(y);
    for (int32_t x = X1; x <= X2; ++x) {
      const int32_t a = original[x - X1];
      const int32_t s = al[x];
      if (a != 0 || a == s) {
        if (a == 255 || a == 0 || format != ie24RGB) {
          al[x] = static_cast<uint8_t>(a);
          continue;
        }
        // A partly transparent pixel over the shadow.
        const double t = s / 255.0, A = a / 255.0;
        uint8_t* p = px + 3 * x;
        for (int32_t k = 0; k < 3; ++k) {
          const double under = std::trunc(shadow[k] * t + (1 - t) * p[k]);
          p[k] = static_cast<uint8_t>(std::trunc(A * p[k] + (1 - A) * under));
        }
        al[x] = static_cast<uint8_t>(std::trunc((A + t * (1 - A)) * 255));
        continue;
      }
      // A transparent place under the shadow.
      double value = s;
      if (format == ie24RGB) {
        uint8_t* p = px + 3 * x;
        p[0] = shadow[0], p[1] = shadow[1], p[2] = shadow[2];
        if (Divide != 1) value = std::trunc(s / Divide);
      } else if (format == ie1g) {
        SetRowBit(px, x, false);
        if (OneBitDivides && Divide != 1) value = std::trunc(s / Divide);
      } else if (Divide != 1) {
        value = std::trunc(s / Divide);
      }
      al[x] = static_cast<uint8_t>(value);
    }
  }
  alpha.SetFull(false);
}

// The factor of step 5: 3 - 2 * Intensity / 100 with Intensity clamped to 0..100.
double ShadowDivide(int32_t Intensity) { return 3 - 2 * std::clamp(Intensity, 0, 100) / 100.0; }

// An ie8g copy of the alpha channel (the shadow's source before it is blurred).
std::unique_ptr<TIEBitmap> CopyOfAlpha(TIEBitmap& Bitmap) {
  auto copy = std::make_unique<TIEBitmap>();
  copy->Assign(*Bitmap.GetAlphaChannel());
  return copy;
}

}  // namespace

int32_t SoftShadowMargin(double Radius, int32_t OffsetX, int32_t OffsetY) {
  const int64_t offset = std::max(std::abs(int64_t{OffsetX}), std::abs(int64_t{OffsetY}));
  const double r = std::trunc(Radius * 5);
  const int64_t blur = std::isfinite(r) ? static_cast<int64_t>(std::clamp(r, -1e9, 1e9)) : 0;
  return static_cast<int32_t>(std::clamp<int64_t>(2 * offset + blur, 1, 1 << 30));
}

void AddSoftShadowToBitmap(TIEBitmap& Bitmap, double Radius, int32_t OffsetX, int32_t OffsetY, int32_t Intensity,
                           bool Enlarge, TIERGB ShadowColor, const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (Bitmap.IsEmpty()) return;
  Bitmap.GetAlphaChannel()->SetFull(false);
  if (Enlarge) {
    const int32_t m = SoftShadowMargin(Radius, OffsetX, OffsetY);
    const int64_t w = int64_t{Bitmap.Width()} + m, h = int64_t{Bitmap.Height()} + m;
    if (w > 0x7FFFFFFF || h > 0x7FFFFFFF) return;
    Bitmap.Resize(static_cast<int32_t>(w), static_cast<int32_t>(h), 0, 0, 1, 1);
    if (Bitmap.IsEmpty()) return;
  }
  TIEBitmap& alpha = *Bitmap.GetAlphaChannel();
  std::unique_ptr<TIEBitmap> original = CopyOfAlpha(Bitmap);
  if (original->IsEmpty()) return;
  GaussianBlurBitmap(alpha, Sender, Radius, OnProgress);
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (OffsetX != 0 || OffsetY != 0)
    alpha.MoveRect(0, 0, w - 1, h - 1, static_cast<int32_t>(std::clamp<int64_t>(OffsetX, -w, w)),
                   static_cast<int32_t>(std::clamp<int64_t>(OffsetY, -h, h)), 0, true);
  ComposeShadow(Bitmap, *original, ShadowColor, ShadowDivide(Intensity), true, 0, 0, w - 1, h - 1);
}

int32_t AddSoftShadowInRect(TIEBitmap& Bitmap, double Radius, int32_t OffsetX, int32_t OffsetY, int32_t Intensity,
                            TIERGB ShadowColor, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const bool preset = Radius == 0;
  const int32_t m = SoftShadowMargin(preset ? 2 : Radius, OffsetX, OffsetY);
  if (Bitmap.IsEmpty()) return m;
  OrderCorners(X1, Y1, X2, Y2);
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  TIEBitmap& alpha = *Bitmap.GetAlphaChannel();
  alpha.SetFull(false);
  std::unique_ptr<TIEBitmap> original = CopyOfAlpha(Bitmap);
  if (original->IsEmpty()) return m;

  // The blur rectangle: the object's grown by half the margin, inside the bitmap.
  const auto grow = [&](int32_t v, int64_t by, int32_t limit) {
    return static_cast<int32_t>(std::clamp<int64_t>(v + by, 0, limit - 1));
  };
  const int32_t bx1 = grow(X1, -(m / 2), w), by1 = grow(Y1, -(m / 2), h);
  const int32_t bx2 = grow(X2, m / 2, w), by2 = grow(Y2, m / 2, h);
  if (preset)
    // Over the whole inclusive rectangle: its last row and column are blurred too.
    ApplyFilter3x3Gray(alpha, FilterPresets[1], bx1, by1, bx2 + 1, by2 + 1);
  else
    GaussianBlurGray8(alpha, bx1, by1, bx2, by2, Radius);
  if (OffsetX != 0 || OffsetY != 0)
    alpha.MoveRect(bx1, by1, bx2, by2, static_cast<int32_t>(std::clamp<int64_t>(int64_t{bx1} + OffsetX, -w, 2 * int64_t{w})),
                   static_cast<int32_t>(std::clamp<int64_t>(int64_t{by1} + OffsetY, -h, 2 * int64_t{h})), 0, true);

  const int32_t cx1 = grow(X1, -m, w), cy1 = grow(Y1, -m, h), cx2 = grow(X2, m, w), cy2 = grow(Y2, m, h);
  ComposeShadow(Bitmap, *original, ShadowColor, ShadowDivide(Intensity), false, cx1, cy1, cx2, cy2);
  return m;
}

void RoundBitmapCorners(TIEBitmap& Bitmap, int32_t CornerWidth, int32_t CornerHeight) {
  if (Bitmap.IsEmpty() || CornerWidth <= 0 || CornerHeight <= 0) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  TIEBitmap& alpha = *Bitmap.GetAlphaChannel();
  // One point per pixel of the two sides; corners far larger than the image are drawn with fewer.
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(int64_t{CornerWidth} + CornerHeight, 4 * (int64_t{w} + h) + 4));
  std::vector<TPoint> points(static_cast<size_t>(n));
  const auto clear = [&](int32_t FromX, int32_t ToX, int32_t FromY, int32_t ToY) {
    FromX = std::max(FromX, 0), FromY = std::max(FromY, 0);
    ToX = std::min(ToX, w - 1), ToY = std::min(ToY, h - 1);
    for (int32_t y = FromY; y <= ToY; ++y) {
      uint8_t* row = alpha.Row<uint8_t>(y);
      for (int32_t x = FromX; x <= ToX; ++x) row[x] = row[w - 1 - x] = 0;
    }
  };
  // Top corners: above and left of the curve from (0, CornerHeight) to (CornerWidth, 0), mirrored.
  ComputeBezierPoints({0, CornerHeight}, {0, 0}, {CornerWidth, 0}, {CornerWidth, 0}, points.data(), n);
  for (const TPoint& p : points) clear(0, p.X, 0, p.Y);
  // Bottom corners: below and right of the curve from (w, h - CornerHeight) to (w - CornerWidth, h).
  ComputeBezierPoints({w, h - CornerHeight}, {w, h}, {w - CornerWidth, h}, {w - CornerWidth, h}, points.data(), n);
  for (const TPoint& p : points) clear(p.X, w - 1, p.Y, h - 1);
  alpha.SyncFull();
}
