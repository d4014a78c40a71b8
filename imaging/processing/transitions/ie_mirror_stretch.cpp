#include "imaging/processing/transitions/ie_mirror_stretch.h"

#include "imaging/processing/transitions/ie_effect_draw.h"
#include "platform/gdi/bitmap.h"

void MirrorStretchCopy(TCanvas* Canvas, TRect DestRect, TBitmap* Bitmap, TRect SourceRect, bool MirrorH,
                       bool MirrorV) {
  if (!Canvas || !Bitmap || IsRectEmpty(DestRect)) return;
  TRect source;
  if (!IntersectRect(source, SourceRect, Rect(0, 0, Bitmap->Width(), Bitmap->Height()))) return;
  int64_t left = DestRect.Left, right = DestRect.Right, top = DestRect.Top, bottom = DestRect.Bottom;
  if (MirrorH) {
    const int64_t oldLeft = left;
    left = right + 1;
    right = oldLeft - 1;
  }
  if (MirrorV) {
    const int64_t oldTop = top;
    top = bottom + 1;
    bottom = oldTop - 1;
  }
  HDC dc = Canvas->Handle();
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, EffectCoord(left), EffectCoord(top), EffectCoord(right - left), EffectCoord(bottom - top),
             Bitmap->Canvas()->Handle(), source.Left, source.Top, source.Width(), source.Height(), SRCCOPY);
}
