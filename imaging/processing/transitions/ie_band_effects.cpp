// The wipes of many bands: bars and crisscross wipes, shredded and speckled edges, blinds and
// rectangles.
#include <algorithm>

#include "imaging/processing/transitions/ie_region_builders.h"
#include "imaging/processing/transitions/ie_region_effects.h"
#include "platform/system/mul_div.h"

void DrawRegionEffect(const TBarsWipe& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const int32_t xp = EffectCoord(int64_t{E.XFactor} * f.A), yp = EffectCoord(int64_t{E.YFactor} * f.B);
  TOwnedRegion bars(CreateBarsRegion(xp, yp, f.W, f.H, E.HorizontalKind, E.VerticalKind, &f.Visible));
  if (E.AndHorizontalKind || E.AndVerticalKind) {
    // Only where the other pattern's bars are too.
    const TOwnedRegion other(CreateBarsRegion(xp, yp, f.W, f.H, E.AndHorizontalKind, E.AndVerticalKind, &f.Visible));
    if (bars && other)
      CombineRgn(bars.Get(), bars.Get(), other.Get(), RGN_AND);
    else
      bars.Reset();
  }
  RevealThrough(Canvas, End, f, bars.Get());
}

void DrawRegionEffect(const TEdgeWipe& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const TOwnedRegion edge(E.Speckled
                              ? CreateSpeckledRegion(f.A, f.B, f.W, f.H, E.HorizontalKind, E.VerticalKind, &f.Visible)
                              : CreateShreddedRegion(f.A, f.B, f.W, f.H, E.HorizontalKind, E.VerticalKind, &f.Visible));
  RevealThrough(Canvas, End, f, edge.Get());
}

void DrawRegionEffect(const TBlinds& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  TComplexRegion list;
  // A band across the whole frame over [Lo, Hi) of x (a column) or of y (a row).
  const auto band = [&](bool column, int64_t lo, int64_t hi) {
    if (column)
      list.AddRect(EffectCoord(lo), 0, EffectCoord(hi), f.H);
    else
      list.AddRect(0, EffectCoord(lo), f.W, EffectCoord(hi));
  };
  // Slats every Step along a side of Length, Width wide, from the start or from the end.
  const auto slats = [&](bool column, int64_t step, int64_t length, int64_t width) {
    if (!E.FromEnd)
      for (int64_t v = 0; v < length; v += step) band(column, v, v + width);
    else
      for (int64_t v = length; v > 0; v -= step) band(column, v - width, v);
  };
  const int32_t length = E.Columns ? f.W : f.H, step = E.Columns ? f.A : f.B;
  switch (E.Kind) {
    case TBlindsKind::Even: {
      // Bands every other n, widening both ways to meet at 100 %.
      const int32_t n = length / 40 + 1, a = MulDiv(n, f.Percent, 100);
      for (int64_t v = n; v < length; v += 2 * int64_t{n}) band(E.Columns, v - a, v + a);
      break;
    }
    case TBlindsKind::Uneven:
      if (step != 0) slats(E.Columns, step, length, MulDiv(step, f.Percent, 100));
      break;
    case TBlindsKind::Rectangles: {
      // Bands across the slats, every third twentieth of the other side, then the slats.
      const int32_t other = E.Columns ? f.H : f.W, m = other / 20;
      if (step == 0 || m == 0) break;
      const int32_t a = MulDiv(m, f.Percent, 100);
      for (int64_t v = -m; v < other; v += 3 * int64_t{m}) band(!E.Columns, v - a, v + a);
      slats(E.Columns, step, length, MulDiv(step, f.Percent, 100));
      break;
    }
  }
  const TOwnedRegion region(list.CreateRegion());
  RevealThrough(Canvas, End, f, region.Get());
}
