#include "imaging/processing/transitions/ie_effect_draw.h"

#include <algorithm>
#include <cmath>

#include "imaging/processing/transitions/ie_effect_table.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/mul_div.h"

void ScaleFrameSize(const TRect& Rect, int32_t Percent, int32_t& W, int32_t& H, int32_t& A, int32_t& B) {
  W = EffectCoord(int64_t{Rect.Right} - Rect.Left);
  H = EffectCoord(int64_t{Rect.Bottom} - Rect.Top);
  A = 0;
  B = 0;
  if (W <= 0 || H <= 0) return;
  const int32_t percent = std::clamp(Percent, 0, 100);
  if (W >= H) {
    A = MulDiv(W, percent, 100);
    B = MulDiv(A, H, W);
  } else {
    B = MulDiv(H, percent, 100);
    A = MulDiv(B, W, H);
  }
}

bool BeginEffectFrame(const TRect& Rect, int32_t Percent, TEffectFrame& Frame) {
  ScaleFrameSize(Rect, Percent, Frame.W, Frame.H, Frame.A, Frame.B);
  return Frame.W >= 1 && Frame.H >= 1;
}

int32_t EffectCoord(int64_t Value) {
  constexpr int64_t kLimit = int64_t{1} << 30;
  return static_cast<int32_t>(std::clamp(Value, -kLimit, kLimit));
}

int64_t EffectRound(double Value) {
  constexpr double kLimit = static_cast<double>(int64_t{1} << 40);
  return std::isfinite(Value) ? static_cast<int64_t>(std::clamp(std::nearbyint(Value), -kLimit, kLimit)) : 0;
}

void CopyPictureBlock(TCanvas* Canvas, int64_t X, int64_t Y, int64_t Width, int64_t Height, TBitmap* Picture,
                      int64_t SrcX, int64_t SrcY) {
  if (!Canvas || !Picture || Width <= 0 || Height <= 0) return;
  BitBlt(Canvas->Handle(), EffectCoord(X), EffectCoord(Y), EffectCoord(Width), EffectCoord(Height),
         Picture->Canvas()->Handle(), EffectCoord(SrcX), EffectCoord(SrcY), SRCCOPY);
}

void StretchPictureBlock(TCanvas* Canvas, int64_t X, int64_t Y, int64_t Width, int64_t Height, TBitmap* Picture,
                         int64_t SrcX, int64_t SrcY, int64_t SrcWidth, int64_t SrcHeight) {
  if (!Canvas || !Picture || Width <= 0 || Height <= 0 || SrcWidth <= 0 || SrcHeight <= 0) return;
  HDC dc = Canvas->Handle();
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, EffectCoord(X), EffectCoord(Y), EffectCoord(Width), EffectCoord(Height), Picture->Canvas()->Handle(),
             EffectCoord(SrcX), EffectCoord(SrcY), EffectCoord(SrcWidth), EffectCoord(SrcHeight), SRCCOPY);
}
