// The painters of the views' backgrounds and shadows (ie_view_painters.h).
#include "imaging/core/ie_view_painters.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_numbers.h"
#include "imaging/core/ie_render_hooks.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/system/random.h"

namespace {

// Darkens one pixel by factor: in the 24-bit bitmap's row when it lies inside, else through the
// canvas.
void Darken(TCanvas* Canvas, TBitmap* Bitmap, int32_t X, int32_t Y, double Factor) {
  if (Bitmap && X >= 0 && Y >= 0 && X < Bitmap->Width() && Y < Bitmap->Height()) {
    uint8_t* p = Bitmap->ScanLine(Y) + 3 * X;
    for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(p[k] * Factor);
    return;
  }
  if (!Canvas) return;
  const TColor c = Canvas->Pixels(X, Y);
  const auto part = [&](int shift) { return static_cast<uint32_t>(((c >> shift) & 0xFF) * Factor) << shift; };
  Canvas->SetPixels(X, Y, static_cast<TColor>(part(0) | part(8) | part(16)));
}

// The bitmap used for direct access: a 24-bit one only.
TBitmap* Direct(TBitmap* Bitmap) { return Bitmap && !Bitmap->Empty() && Bitmap->PixelFormat() == pf24bit ? Bitmap : nullptr; }

}  // namespace

void DrawRightShadow(TCanvas* Canvas, TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Kind,
                     TColor) {
  const int64_t w = int64_t{X2} - X1 + 1;
  if (Kind != 2 || w <= 0 || w > 100000) return;
  Bitmap = Direct(Bitmap);
  const double s = w / 3.0;
  for (int64_t h = 0; h < w; ++h) {
    const double t = (w - h) / s;
    const double factor = std::exp(-0.1 - t * t / 6);
    for (int64_t y = Y1 + w; y <= int64_t{Y2} + h - w + 3; ++y)
      Darken(Canvas, Bitmap, static_cast<int32_t>(X1 + h), static_cast<int32_t>(y), factor);
  }
}

void DrawBottomShadow(TCanvas* Canvas, TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Kind,
                      TColor) {
  const int64_t hgt = int64_t{Y2} - Y1 + 1;
  if (Kind != 2 || hgt <= 0 || hgt > 100000) return;
  Bitmap = Direct(Bitmap);
  const double s = hgt / 3.0;
  for (int64_t k = 0; k < hgt; ++k) {
    const double t = (k - hgt) / s;
    const double factor = std::exp(-0.1 - t * t / 6);
    for (int64_t x = X1 + hgt; x <= int64_t{X2} + k - hgt + 1; ++x)
      Darken(Canvas, Bitmap, static_cast<int32_t>(x), static_cast<int32_t>(Y1 + k), factor);
  }
}

void DrawSoftShadow(TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor) {
  Bitmap = Direct(Bitmap);
  const int64_t w = int64_t{X2} - X1 + 1, h = int64_t{Y2} - Y1 + 1;
  if (!Bitmap || w <= 0 || h <= 0 || w > 100000 || h > 100000) return;
  // The rectangle and a margin of five, blurred: how much each pixel around it darkens.
  TIEBitmap work(static_cast<int32_t>(w + 10), static_cast<int32_t>(h + 10), ie8g);
  if (work.IsEmpty()) return;
  work.Fill(0);
  work.FillRect(5, 5, static_cast<int32_t>(w + 6), static_cast<int32_t>(h + 6), 255);
  IERenderHooks.GaussianBlurGray8(work, 0, 0, work.Width() - 1, work.Height() - 1, 2.5);
  for (int64_t y = Y1 - 5; y <= int64_t{Y2} + 5; ++y) {
    if (y < 0 || y >= Bitmap->Height()) continue;
    const auto* shade = static_cast<const uint8_t*>(work.GetRow(static_cast<int32_t>(y - (Y1 - 5))));
    uint8_t* row = Bitmap->ScanLine(static_cast<int32_t>(y));
    for (int64_t x = X1 - 5; x <= int64_t{X2} + 5; ++x) {
      if (x < 0 || x >= Bitmap->Width()) continue;
      if (x >= X1 && x < X2 && y >= Y1 && y < Y2) continue;
      const double keep = 1 - shade[x - (X1 - 5)] / 255.0;
      for (int k = 0; k < 3; ++k) row[3 * x + k] = static_cast<uint8_t>(row[3 * x + k] * keep);
    }
  }
}

void DrawFrame3D(TCanvas* Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor TopLeftColor,
                 TColor BottomRightColor) {
  if (!Canvas) return;
  TPen* pen = Canvas->Pen();
  pen->SetMode(pmCopy);
  pen->SetStyle(psSolid);
  pen->SetWidth(1);
  pen->SetColor(TopLeftColor);
  Canvas->MoveTo(X1, Y2);
  Canvas->LineTo(X1, Y1);
  Canvas->LineTo(X2, Y1);
  pen->SetColor(BottomRightColor);
  Canvas->MoveTo(X1, Y2);
  Canvas->LineTo(X2, Y2);
  Canvas->LineTo(X2, Y1);
}

void DrawFrame3DOnIECanvas(TIECanvas* Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor TopLeftColor,
                           TColor BottomRightColor) {
  if (!Canvas) return;
  Canvas->Pen()->SetColor(TopLeftColor);
  Canvas->MoveTo(X1, Y2);
  Canvas->LineTo(X1, Y1);
  Canvas->LineTo(X2, Y1);
  Canvas->Pen()->SetColor(BottomRightColor);
  Canvas->MoveTo(X1, Y2);
  Canvas->LineTo(X2, Y2);
  Canvas->LineTo(X2, Y1);
}

void ShadeOutsideRect(TCanvas* Canvas, int32_t OX, int32_t OY, int32_t W, int32_t H, int32_t X1, int32_t Y1,
                      int32_t X2, int32_t Y2) {
  if (!Canvas || X1 >= X2 || Y1 >= Y2) return;
  TIECanvas canvas(Canvas, false, true);
  canvas.Brush()->SetColor(clBlack);
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetTransparency(150);
  // Four bands around the inner rectangle, each pixel once. FillRect covers the whole GDI area
  // (Right - Left columns): the bands are given one pixel in from their right and bottom sides.
  const TRect bands[] = {{OX, OY, X1 + 1, OY + H},
                         {X2, OY, OX + W, OY + H},
                         {X1 + 1, OY, X2, Y1 + 1},
                         {X1 + 1, Y2 + 1, X2, OY + H}};
  for (const TRect& r : bands)
    if (r.Left < r.Right && r.Top < r.Bottom) canvas.FillRect(r);
}

void DrawStripesBackground(TBitmap* Bitmap, int32_t Width, int32_t Height) {
  if (!Bitmap) return;
  Bitmap->SetPixelFormat(pf24bit);
  Bitmap->SetSize(std::max(Width, 0), std::max(Height, 0));
  if (Bitmap->Empty()) return;
  std::vector<double> levels;
  FillGaussianCurve(4, 130, 255, 0.5, levels);
  for (int32_t y = 0; y < Bitmap->Height(); ++y) {
    uint8_t* row = Bitmap->ScanLine(y);
    std::fill(row, row + 3 * static_cast<size_t>(Bitmap->Width()), static_cast<uint8_t>(levels[y % 4]));
  }
}

void DrawNoiseBackground(TBitmap* Bitmap, int32_t Width, int32_t Height) {
  if (!Bitmap) return;
  Bitmap->SetPixelFormat(pf24bit);
  Bitmap->SetSize(std::max(Width, 0), std::max(Height, 0));
  if (Bitmap->Empty()) return;
  const int32_t w = Bitmap->Width();
  std::vector<double> levels;
  FillGaussianCurve(w, 160, 208, 3, levels);
  int32_t c = 0;
  for (int32_t y = 0; y < Bitmap->Height(); ++y) {
    uint8_t* row = Bitmap->ScanLine(y);
    int32_t n = 0;
    for (int32_t x = 0; x < w; ++x) {
      const auto v = static_cast<uint8_t>((c + static_cast<int32_t>(levels[x])) % 256);
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
      if (++n > Random(w) + 100) {
        n = 0;
        c = Random(11);
      }
    }
  }
}
