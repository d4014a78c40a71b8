#include "imaging/processing/transitions/ie_block_effects.h"

#include <algorithm>

#include "imaging/processing/transitions/ie_mirror_stretch.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/mul_div.h"

namespace {

// A block along one axis (X and Width on the main axis) in frame coordinates, turned into a
// rectangle of the frame: across the whole other axis.
struct TAxis {
  bool Vertical;
  int32_t W, H;
  // Copies the block [From, From + Length) of the main axis of Picture in place.
  void CopyInPlace(TCanvas* c, TBitmap* p, int64_t from, int64_t length) const {
    if (Vertical)
      CopyPictureBlock(c, 0, from, W, length, p, 0, from);
    else
      CopyPictureBlock(c, from, 0, length, H, p, from, 0);
  }
  // Stretches [SrcFrom, SrcFrom + SrcLength) of Picture into [From, From + Length).
  void Stretch(TCanvas* c, TBitmap* p, int64_t srcFrom, int64_t srcLength, int64_t from, int64_t length) const {
    if (Vertical)
      StretchPictureBlock(c, 0, from, W, length, p, 0, srcFrom, W, srcLength);
    else
      StretchPictureBlock(c, from, 0, length, H, p, srcFrom, 0, srcLength, H);
  }
};

}  // namespace

TEffectTerms::TEffectTerms(const TEffectFrame& f) {
  v[etW] = f.W;
  v[etH] = f.H;
  v[etA] = f.A;
  v[etB] = f.B;
  v[eta2] = f.A / 2;
  v[etb2] = f.B / 2;
  v[etw2] = f.W / 2;
  v[eth2] = f.H / 2;
  v[etWA2] = (f.W - f.A) / 2;
  v[etHB2] = (f.H - f.B) / 2;
}

int64_t TEffectTerms::operator()(const TEffectCoord& c) const {
  int64_t sum = c.Constant;
  for (int t = 0; t < etCount; ++t) sum += int64_t{c.Factor[t]} * v[t];
  return sum;
}

void DrawBlockEffect(const TBlockEffect& Effect, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                     int32_t Percent) {
  TEffectFrame f;
  if (!BeginEffectFrame(Rect, Percent, f)) return;
  const TEffectTerms at(f);
  for (const TBlockOp& op : Effect.Ops) {
    if (op.Kind == TBlockKind::None) continue;
    TBitmap* from = op.From == TBlockSource::Start ? Start : End;
    const int64_t x = at(op.Dest.X), y = at(op.Dest.Y), w = at(op.Dest.Width), h = at(op.Dest.Height);
    if (op.Kind == TBlockKind::Copy) {
      CopyPictureBlock(Canvas, x, y, w, h, from, at(op.Source.X), at(op.Source.Y));
    } else if (op.WholeSource) {
      StretchPictureBlock(Canvas, x, y, w, h, from, 0, 0, f.W, f.H);
    } else {
      StretchPictureBlock(Canvas, x, y, w, h, from, at(op.Source.X), at(op.Source.Y), at(op.Source.Width),
                          at(op.Source.Height));
    }
  }
}

void DrawBuildUp(TEffectSide Side, TCanvas* Canvas, TBitmap* End, const TRect& Rect, int32_t Percent) {
  TEffectFrame f;
  if (!BeginEffectFrame(Rect, Percent, f)) return;
  const TAxis axis{Side == esTop || Side == esBottom, f.W, f.H};
  const int64_t n = axis.Vertical ? f.H : f.W;  // the frame along the axis
  const int64_t a = axis.Vertical ? f.B : f.A;  // the part in place
  if (Side == esLeft || Side == esTop) {
    // The end picture in place at the far side, the strip of a tenth before it stretched over the rest.
    axis.CopyInPlace(Canvas, End, n - a, a);
    const int64_t s = std::max<int64_t>(n - a - n / 10, 0);
    axis.Stretch(Canvas, End, s, n - a - s, 0, n - a);
  } else {
    axis.CopyInPlace(Canvas, End, 0, a);
    axis.Stretch(Canvas, End, a, std::min<int64_t>(n - a, n / 10), a, n - a);
  }
}

void DrawUnroll(TEffectSide Side, TCanvas* Canvas, TBitmap* End, const TRect& Rect, int32_t Percent) {
  TEffectFrame f;
  if (!BeginEffectFrame(Rect, Percent, f)) return;
  const TAxis axis{Side == esTop || Side == esBottom, f.W, f.H};
  const int64_t n = axis.Vertical ? f.H : f.W;
  const int64_t a = axis.Vertical ? f.B : f.A;
  // The roll: [lo, hi) of the axis shows the strip beyond it mirrored.
  int64_t lo, hi, srcLo, srcHi;
  if (Side == esLeft || Side == esTop) {
    // The roll is half the uncovered part while that is under a fifth of the frame, half what is
    // left near the end, and a tenth of the frame between.
    const int64_t r = a < n / 5 ? a + a / 2 : (n < a + n / 5 ? a + (n - a) / 2 : a + n / 10);
    lo = a;
    hi = r;
    srcLo = r;
    srcHi = 2 * r - a;
  } else {
    const int64_t right = n - a;
    const int64_t left = a < n / 5 ? right - a / 2 : (right < n / 5 ? right - right / 2 : right - n / 10);
    lo = left;
    hi = right;
    srcLo = 2 * left - right;
    srcHi = left;
  }
  const int32_t cLo = EffectCoord(lo), cHi = EffectCoord(hi), sLo = EffectCoord(srcLo), sHi = EffectCoord(srcHi);
  if (axis.Vertical)
    MirrorStretchCopy(Canvas, TRect{0, cLo, f.W, cHi}, End, TRect{0, sLo, f.W, sHi}, false, true);
  else
    MirrorStretchCopy(Canvas, TRect{cLo, 0, cHi, f.H}, End, TRect{sLo, 0, sHi, f.H}, true, false);
  if (Side == esLeft || Side == esTop)
    axis.CopyInPlace(Canvas, End, 0, a);
  else
    axis.CopyInPlace(Canvas, End, n - a, a);
}

void DrawPageFlip(bool Reverse, bool Line, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                  int32_t Percent) {
  TEffectFrame f;
  if (!BeginEffectFrame(Rect, Percent, f) || !Canvas) return;
  const int32_t percent = std::clamp(Percent, 0, 100);
  TPen* pen = Canvas->Pen();
  pen->SetColor(clBlack);
  pen->SetStyle(psSolid);
  pen->SetWidth(1);
  const int64_t H = f.H, w2 = f.W / 2;
  int64_t x;
  if (!Reverse) {
    // The right half stays; the page turning over it shows the start picture's right half until
    // the middle, then the end picture's left half.
    StretchPictureBlock(Canvas, w2, 0, w2, H, End, w2, 0, w2, H);
    if (percent > 50) {
      const int64_t d = MulDiv(f.W, percent - 50, 50) / 2;
      x = w2 - d;
      StretchPictureBlock(Canvas, x, 0, d, H, End, 0, 0, w2, H);
    } else {
      const int64_t d = MulDiv(f.W, 50 - percent, 100);
      x = w2 + d;
      StretchPictureBlock(Canvas, w2, 0, d, H, Start, w2, 0, w2, H);
    }
  } else {
    StretchPictureBlock(Canvas, 0, 0, w2, H, End, 0, 0, w2, H);
    if (percent > 50) {
      const int64_t d = MulDiv(f.W, percent - 50, 50) / 2;
      x = w2 + d;
      StretchPictureBlock(Canvas, w2, 0, d, H, End, w2, 0, w2, H);
    } else {
      x = MulDiv(f.W, percent, 100);
      StretchPictureBlock(Canvas, x, 0, w2 - x, H, Start, 0, 0, w2, H);
    }
  }
  if (Line) {
    Canvas->MoveTo(EffectCoord(x), 0);
    Canvas->LineTo(EffectCoord(x), EffectCoord(H));
  }
}
