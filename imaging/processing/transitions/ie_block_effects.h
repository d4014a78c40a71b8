#pragma once
// The block-transfer effects: procedures that draw a frame with plain copies and stretches of whole
// pictures (expands, shrinks, wipes, quarters, slides, pushes and squeezes, build-ups, unrolls and
// page flips).
//
// Most of them are at most four block operations, each a copy or a stretch from the start or the
// end picture, with its rectangles written as sums of the frame's quantities: W, H (the frame),
// A, B (the frame scaled to the percent), a2 = A div 2, b2 = B div 2, w2 = W div 2, h2 = H div 2,
// WA2 = (W - A) div 2 and HB2 = (H - B) div 2. Such an effect is a constant TBlockEffect, and its
// procedure is Blocks<effect>. Build-ups, unrolls and page flips take max, min and conditions:
// they are routines with a direction.
#include <cstdint>

#include "imaging/processing/transitions/ie_effect_draw.h"
#include "imaging/processing/transitions/ie_effect_table.h"

// ---- The vocabulary of block operations ----------------------------------------------------------

enum TEffectTerm : uint8_t { etW, etH, etA, etB, eta2, etb2, etw2, eth2, etWA2, etHB2, etCount };

// A coordinate: Factor[t] times term t, summed, plus Constant.
struct TEffectCoord {
  int8_t Factor[etCount] = {};
  int32_t Constant = 0;

  constexpr TEffectCoord() = default;
  constexpr TEffectCoord(int32_t Value) : Constant(Value) {}  // NOLINT: 0 reads as a coordinate
  static constexpr TEffectCoord Term(TEffectTerm T) {
    TEffectCoord c;
    c.Factor[T] = 1;
    return c;
  }
};

constexpr TEffectCoord operator+(TEffectCoord L, const TEffectCoord& R) {
  for (int t = 0; t < etCount; ++t) L.Factor[t] = static_cast<int8_t>(L.Factor[t] + R.Factor[t]);
  L.Constant += R.Constant;
  return L;
}
constexpr TEffectCoord operator*(int32_t K, TEffectCoord C) {
  for (int t = 0; t < etCount; ++t) C.Factor[t] = static_cast<int8_t>(C.Factor[t] * K);
  C.Constant *= K;
  return C;
}
constexpr TEffectCoord operator-(const TEffectCoord& L, const TEffectCoord& R) { return L + (-1) * R; }

// The values of the terms in one frame: At(c) is coordinate c there, in 64 bits.
struct TEffectTerms {
  int64_t v[etCount];
  explicit TEffectTerms(const TEffectFrame& Frame);
  int64_t operator()(const TEffectCoord& C) const;
};

// The picture a block comes from.
enum class TBlockSource : uint8_t { Start, End };
enum class TBlockKind : uint8_t { None, Copy, Stretch };

struct TBlockRect {
  TEffectCoord X, Y, Width, Height;
};
struct TBlockPoint {
  TEffectCoord X, Y;
};

// One operation: copy the block of the destination's size at Source's corner, or stretch the
// Source rectangle (the whole picture when WholeSource) into Dest.
struct TBlockOp {
  TBlockKind Kind = TBlockKind::None;
  TBlockSource From = TBlockSource::End;
  bool WholeSource = false;
  TBlockRect Source;
  TBlockRect Dest;
};

struct TBlockEffect {
  TBlockOp Ops[4];
};

// Draws the operations of Effect in order.
void DrawBlockEffect(const TBlockEffect& Effect, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                     int32_t Percent);

template <const TBlockEffect& Effect>
void Blocks(TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t, int32_t Percent) {
  DrawBlockEffect(Effect, Canvas, Start, End, Rect, Percent);
}

// ---- The block effects, in the words of their drawing ------------------------------------------

namespace block_effects {

inline constexpr TEffectCoord W = TEffectCoord::Term(etW), H = TEffectCoord::Term(etH);
inline constexpr TEffectCoord A = TEffectCoord::Term(etA), B = TEffectCoord::Term(etB);
inline constexpr TEffectCoord a2 = TEffectCoord::Term(eta2), b2 = TEffectCoord::Term(etb2);
inline constexpr TEffectCoord w2 = TEffectCoord::Term(etw2), h2 = TEffectCoord::Term(eth2);
inline constexpr TEffectCoord WA2 = TEffectCoord::Term(etWA2), HB2 = TEffectCoord::Term(etHB2);
inline constexpr TBlockSource Start = TBlockSource::Start, End = TBlockSource::End;

// Copy From[Corner] to Dest (a block of Dest's size).
constexpr TBlockOp Copy(TBlockSource From, TBlockPoint Corner, TBlockRect Dest) {
  return {TBlockKind::Copy, From, false, {Corner.X, Corner.Y, Dest.Width, Dest.Height}, Dest};
}
// Stretch From[Source] to Dest.
constexpr TBlockOp Stretch(TBlockSource From, TBlockRect Source, TBlockRect Dest) {
  return {TBlockKind::Stretch, From, false, Source, Dest};
}
// Stretch the whole of From to Dest.
constexpr TBlockOp Stretch(TBlockSource From, TBlockRect Dest) {
  return {TBlockKind::Stretch, From, true, {}, Dest};
}

// Expands: the whole end picture squeezed into a growing rectangle.
inline constexpr TBlockEffect kExpandFromLeft = {{Stretch(End, {0, 0, A, H})}};
inline constexpr TBlockEffect kExpandFromRight = {{Stretch(End, {W - A, 0, A, H})}};
inline constexpr TBlockEffect kExpandFromTop = {{Stretch(End, {0, 0, W, B})}};
inline constexpr TBlockEffect kExpandFromBottom = {{Stretch(End, {0, H - B, W, B})}};
inline constexpr TBlockEffect kExpandFromTopLeft = {{Stretch(End, {0, 0, A, B})}};
inline constexpr TBlockEffect kExpandFromTopRight = {{Stretch(End, {W - A, 0, A, B})}};
inline constexpr TBlockEffect kExpandFromBottomLeft = {{Stretch(End, {0, H - B, A, B})}};
inline constexpr TBlockEffect kExpandFromBottomRight = {{Stretch(End, {W - A, H - B, A, B})}};
inline constexpr TBlockEffect kExpandOutFromHorizon = {{Stretch(End, {0, HB2, W, B})}};
inline constexpr TBlockEffect kExpandOutFromVerticalCenter = {{Stretch(End, {WA2, 0, A, H})}};
inline constexpr TBlockEffect kExpandInFromSides = {
    {Stretch(End, {0, 0, w2, H}, {0, 0, a2, H}), Stretch(End, {w2, 0, w2, H}, {W - a2, 0, a2, H})}};
inline constexpr TBlockEffect kExpandInFromTopAndBottom = {
    {Stretch(End, {0, 0, W, h2}, {0, 0, W, b2}), Stretch(End, {0, h2, W, h2}, {0, H - b2, W, b2})}};

// Expands in: a magnified part of the end picture settling to its normal size.
inline constexpr TBlockEffect kExpandInFromLeft = {{Stretch(End, {W - A, 0, A, H}, {A - W, 0, 2 * W - A, H})}};
inline constexpr TBlockEffect kExpandInFromRight = {{Stretch(End, {0, 0, A, H}, {0, 0, 2 * W - A, H})}};
inline constexpr TBlockEffect kExpandInFromTop = {{Stretch(End, {0, H - B, W, B}, {0, B - H, W, 2 * H - B})}};
inline constexpr TBlockEffect kExpandInFromBottom = {{Stretch(End, {0, 0, W, B}, {0, 0, W, 2 * H - B})}};
inline constexpr TBlockEffect kExpandInToVerticalCenter = {
    {Stretch(End, {WA2, 0, A, H}, {A - W, 0, 3 * W - 2 * A, H})}};
inline constexpr TBlockEffect kExpandInToHorizon = {{Stretch(End, {0, HB2, W, B}, {0, B - H, W, 3 * H - 2 * B})}};

// Shrinks: the same from a corner or the centre.
inline constexpr TBlockEffect kShrinkToTopLeft = {{Stretch(End, {0, 0, A, B}, {0, 0, 2 * W - A, 2 * H - B})}};
inline constexpr TBlockEffect kShrinkToTopRight = {
    {Stretch(End, {W - A, 0, A, B}, {A - W, 0, 2 * W - A, 2 * H - B})}};
inline constexpr TBlockEffect kShrinkToBottomLeft = {
    {Stretch(End, {0, H - B, A, B}, {0, B - H, 2 * W - A, 2 * H - B})}};
inline constexpr TBlockEffect kShrinkToBottomRight = {
    {Stretch(End, {W - A, H - B, A, B}, {A - W, B - H, 2 * W - A, 2 * H - B})}};
inline constexpr TBlockEffect kShrinkToCenter = {
    {Stretch(End, {WA2, HB2, A, B}, {A - W, B - H, 3 * W - 2 * A, 3 * H - 2 * B})}};

// Wipes: the end picture uncovered in place.
inline constexpr TBlockEffect kWipeFromTopLeft = {{Copy(End, {0, 0}, {0, 0, A, B})}};
inline constexpr TBlockEffect kWipeFromTopRight = {{Copy(End, {W - A, 0}, {W - A, 0, A, B})}};
inline constexpr TBlockEffect kWipeFromBottomLeft = {{Copy(End, {0, H - B}, {0, H - B, A, B})}};
inline constexpr TBlockEffect kWipeFromBottomRight = {{Copy(End, {W - A, H - B}, {W - A, H - B, A, B})}};
inline constexpr TBlockEffect kWipeInFromTopAndBottom = {
    {Copy(End, {0, 0}, {0, 0, W, b2}), Copy(End, {0, H - b2}, {0, H - b2, W, b2})}};
inline constexpr TBlockEffect kWipeFromHorizon = {{Copy(End, {0, HB2}, {0, HB2, W, B})}};
inline constexpr TBlockEffect kWipeInFromSides = {
    {Copy(End, {0, 0}, {0, 0, a2, H}), Copy(End, {W - a2, 0}, {W - a2, 0, a2, H})}};
inline constexpr TBlockEffect kWipeOutFromVerticalCenter = {{Copy(End, {WA2, 0}, {WA2, 0, A, H})}};
inline constexpr TBlockEffect kQuartersWipeInToCenter = {
    {Copy(End, {0, 0}, {0, 0, a2, b2}), Copy(End, {0, H - b2}, {0, H - b2, a2, b2}),
     Copy(End, {W - a2, H - b2}, {W - a2, H - b2, a2, b2}), Copy(End, {W - a2, 0}, {W - a2, 0, a2, b2})}};

// Quarters: each quarter of the end picture grows or moves toward the centre.
inline constexpr TBlockEffect kQuartersExpandToCenter = {
    {Stretch(End, {0, 0, w2, h2}, {0, 0, a2, b2}), Stretch(End, {0, h2, w2, h2}, {0, H - b2, a2, b2}),
     Stretch(End, {w2, h2, w2, h2}, {W - a2, H - b2, a2, b2}), Stretch(End, {w2, 0, w2, h2}, {W - a2, 0, a2, b2})}};
inline constexpr TBlockEffect kQuartersSlideInToCenter = {
    {Copy(End, {0, 0}, {a2 - w2, 0, w2, h2}), Copy(End, {w2, 0}, {w2, b2 - h2, w2, h2}),
     Copy(End, {w2, h2}, {W - a2, h2, w2, h2}), Copy(End, {0, h2}, {0, H - b2, w2, h2})}};

// Slides: the whole end picture moving in over the start picture.
inline constexpr TBlockEffect kSlideInFromLeft = {{Copy(End, {0, 0}, {A - W, 0, W, H})}};
inline constexpr TBlockEffect kSlideInFromRight = {{Copy(End, {0, 0}, {W - A, 0, W, H})}};
inline constexpr TBlockEffect kSlideInFromTop = {{Copy(End, {0, 0}, {0, B - H, W, H})}};
inline constexpr TBlockEffect kSlideInFromBottom = {{Copy(End, {0, 0}, {0, H - B, W, H})}};

// Pushes and squeezes: the start picture moves or is squeezed aside by A (or B) while the end
// picture comes in, so that a frame depends on its percent alone.
inline constexpr TBlockEffect kPushLeftAndSlideOut = {
    {Copy(Start, {A, 0}, {0, 0, W - A, H}), Copy(End, {0, 0}, {W - A, 0, A, H})}};
inline constexpr TBlockEffect kPushRightAndSlideOut = {
    {Copy(Start, {0, 0}, {A, 0, W - A, H}), Copy(End, {W - A, 0}, {0, 0, A, H})}};
inline constexpr TBlockEffect kPushUpAndSlideOut = {
    {Copy(Start, {0, B}, {0, 0, W, H - B}), Copy(End, {0, 0}, {0, H - B, W, B})}};
inline constexpr TBlockEffect kPushDownAndSlideOut = {
    {Copy(Start, {0, 0}, {0, B, W, H - B}), Copy(End, {0, H - B}, {0, 0, W, B})}};
inline constexpr TBlockEffect kPushAndSqueezeLeft = {
    {Stretch(Start, {0, 0, W - A, H}), Copy(End, {0, 0}, {W - A, 0, A, H})}};
inline constexpr TBlockEffect kPushAndSqueezeRight = {
    {Stretch(Start, {A, 0, W - A, H}), Copy(End, {W - A, 0}, {0, 0, A, H})}};
inline constexpr TBlockEffect kPushAndSqueezeUp = {
    {Stretch(Start, {0, 0, W, H - B}), Copy(End, {0, 0}, {0, H - B, W, B})}};
inline constexpr TBlockEffect kPushAndSqueezeDown = {
    {Stretch(Start, {0, B, W, H - B}), Copy(End, {0, H - B}, {0, 0, W, B})}};

}  // namespace block_effects

// ---- Effects with a direction ------------------------------------------------------------------

// The side a build-up or an unroll starts from.
enum TEffectSide : uint8_t { esLeft, esRight, esTop, esBottom };

// Build-ups: the end picture in place over part of the frame, the rest filled with a stretched
// strip of the end picture next to it.
void DrawBuildUp(TEffectSide Side, TCanvas* Canvas, TBitmap* End, const TRect& Rect, int32_t Percent);
template <TEffectSide Side>
void BuildUp(TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t, int32_t Percent) {
  DrawBuildUp(Side, Canvas, End, Rect, Percent);
}

// Unrolls: a rolled-up edge travels across, the roll showing the end picture mirrored.
void DrawUnroll(TEffectSide Side, TCanvas* Canvas, TBitmap* End, const TRect& Rect, int32_t Percent);
template <TEffectSide Side>
void Unroll(TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t, int32_t Percent) {
  DrawUnroll(Side, Canvas, End, Rect, Percent);
}

// Page flips: the right half turns over to the left (or, Reverse, the left half to the right),
// with a black line along the turning edge when Line.
void DrawPageFlip(bool Reverse, bool Line, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                  int32_t Percent);
template <bool Reverse, bool Line>
void PageFlip(TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t, int32_t Percent) {
  DrawPageFlip(Reverse, Line, Canvas, Start, End, Rect, Percent);
}
