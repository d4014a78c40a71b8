// The wipes of shapes: grids of growing shapes, random grids, and shapes growing from the centre,
// closing to it, or both at once.
#include <algorithm>
#include <cstdint>

#include "imaging/processing/transitions/ie_region_effects.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/mul_div.h"
#include "platform/system/random.h"

namespace {

// The shape Shape in the box from (Left, Top) to (Right, Bottom), kEllipse an ellipse; only its part
// within Window.
TOwnedRegion ShapeIn(uint8_t Shape, int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, const TRect* Window) {
  if (Shape == kEllipse)
    return TOwnedRegion(
        CreateEllipticRgn(EffectCoord(Left), EffectCoord(Top), EffectCoord(Right), EffectCoord(Bottom), Window));
  return TOwnedRegion(CreateShapeRegion(Shape, EffectCoord(Left), EffectCoord(Top), EffectCoord(Right - Left),
                                        EffectCoord(Bottom - Top), Window));
}

TOwnedRegion Polygon(const TRegionFrame& Frame, std::initializer_list<std::pair<int64_t, int64_t>> Points) {
  std::vector<TPoint> points;
  for (const auto& [x, y] : Points) points.push_back({EffectCoord(x), EffectCoord(y)});
  return VisiblePolygon(Frame, points);
}

// A grid of one shape: its centres that reach the canvas, and the shape about (0, 0) made for them.
struct TGrid {
  std::vector<int64_t> Xs, Ys;
  std::vector<TRect> Cell;
};

// The centres First, First + Step, ... below Limit each way; MakeCell(Window) makes the cell about
// (0, 0), Reach either way, within Window.
template <class F>
TGrid GridOf(const TRegionFrame& Frame, int64_t Reach, int64_t FirstX, int64_t StepX, int64_t LimitX, int64_t FirstY,
             int64_t StepY, int64_t LimitY, F&& MakeCell) {
  const TRegionWindow w = Frame.Window();
  TGrid grid;
  grid.Xs = CellCentres(FirstX, StepX, LimitX, Reach, w.Left, w.Right);
  grid.Ys = CellCentres(FirstY, StepY, LimitY, Reach, w.Top, w.Bottom);
  if (grid.Xs.empty() || grid.Ys.empty()) return grid;
  const TRect window = CellWindow(Frame.Visible, grid.Xs, grid.Ys);
  const TOwnedRegion cell = MakeCell(&window);
  grid.Cell = RegionRects(cell.Get());
  return grid;
}

// A shape's box reaches a pixel or two beyond its half-size for the smallest hearts.
constexpr int64_t kReachSlack = 2;

}  // namespace

void DrawRegionEffect(const TShapeGrid& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const int32_t P = f.Percent;
  // Centres at g, 3g, 5g, ...: each loop steps g, draws and steps g again while it is short of the
  // side, so the last centre may lie beyond it.
  const int64_t g = std::min(f.W, f.H) / 10 + 1;
  TGrid grid;
  switch (E.Kind) {
    case TGridKind::Squares: {
      const int64_t a = MulDiv(static_cast<int32_t>(g), P, 100);
      grid = GridOf(f, a, g, 2 * g, f.W + g, g, 2 * g, f.H + g, [&](const TRect*) {
        return TOwnedRegion(CreateRectRgn(EffectCoord(-a), EffectCoord(-a), EffectCoord(a), EffectCoord(a)));
      });
      break;
    }
    case TGridKind::Diamonds: {
      const int64_t a = MulDiv(static_cast<int32_t>(g), P, 50);
      grid = GridOf(f, a, g, 2 * g, f.W + g, g, 2 * g, f.H + g, [&](const TRect* window) {
        const TPoint points[4] = {{EffectCoord(-a), 0}, {0, EffectCoord(-a)}, {EffectCoord(a), 0}, {0, EffectCoord(a)}};
        return TOwnedRegion(CreatePolygonRgn(points, 4, WINDING, window));
      });
      break;
    }
    case TGridKind::Triangles: {
      // A grid of its own, a tenth of each side; centres below W across and below H + gy down.
      const int64_t gx = f.W / 10 + 1, gy = f.H / 10 + 1;
      const int64_t tx = MulDiv(static_cast<int32_t>(gx), P, 50), ty = MulDiv(static_cast<int32_t>(gy), P, 50);
      grid = GridOf(f, std::max(tx, ty), gx, 2 * gx, f.W, gy, 2 * gy, f.H + gy, [&](const TRect* window) {
        const TPoint points[3] = {{EffectCoord(-tx), EffectCoord(-ty)}, {0, EffectCoord(ty)}, {EffectCoord(tx), EffectCoord(-ty)}};
        return TOwnedRegion(CreatePolygonRgn(points, 3, WINDING, window));
      });
      break;
    }
    case TGridKind::Shapes: {
      const int64_t s = MulDiv(EffectCoord(EffectRound(static_cast<double>(g) * E.Factor)), P, 200);
      grid = GridOf(f, s + kReachSlack, g, 2 * g, f.W + g, g, 2 * g, f.H + g,
                    [&](const TRect* window) { return ShapeIn(E.Shape, -s, -s, s, s, window); });
      break;
    }
  }
  if (grid.Cell.empty()) return;
  // The union of many shapes: one list of all their rectangles, turned into a region at once.
  TComplexRegion all;
  for (const int64_t x : grid.Xs)
    for (const int64_t y : grid.Ys) AddStamped(all, grid.Cell, x, y);
  const TOwnedRegion region(all.CreateRegion());
  RevealThrough(Canvas, End, f, region.Get());
}

void DrawRegionEffect(const TRandomGrid& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!End || !BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const int64_t side = std::min(f.W, f.H);
  TGrid grid;
  if (E.Boxes) {
    // Boxes of c either way at c, 3c, 5c, ...
    const int64_t c = side / 20 + 1;
    grid = GridOf(f, c, c, 2 * c, f.W, c, 2 * c, f.H, [&](const TRect*) {
      return TOwnedRegion(CreateRectRgn(EffectCoord(-c), EffectCoord(-c), EffectCoord(c), EffectCoord(c)));
    });
  } else {
    // Shapes of r either way at d, 3d, 5d, ...; d is at least 1 (on a frame whose smaller side is
    // under N pixels or so Trunc(r x Ratio) is 0).
    const int64_t r = side / E.N + 1;
    const int64_t d = std::max<int64_t>(static_cast<int64_t>(static_cast<double>(r) * E.Ratio), 1);
    const uint8_t shape = static_cast<uint8_t>(E.Shape + (E.Alternate && f.Percent % 2 ? 1 : 0));
    grid = GridOf(f, r + kReachSlack, d, 2 * d, f.W, d, 2 * d, f.H,
                  [&](const TRect* window) { return ShapeIn(shape, -r, -r, r, r, window); });
  }
  // The cells come from a generator of their own seeded by the end picture, one number a centre in
  // the order of the loops, so every call of a run shows the same cells and a cell once shown stays
  // as the percent grows. The process-wide generator is not touched.
  TRandom cells{static_cast<uint32_t>(reinterpret_cast<uintptr_t>(End->Handle()))};
  TComplexRegion all;
  for (const int64_t x : grid.Xs)
    for (const int64_t y : grid.Ys)
      if (cells.Random(100) < f.Percent) AddStamped(all, grid.Cell, x, y);
  const TOwnedRegion region(all.CreateRegion());
  RevealThrough(Canvas, End, f, region.Get());
}

void DrawRegionEffect(const TShapeWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const TFrameGeometry g(f);
  const bool scaled = E.Ratio != 1.0f;
  const double ratio = E.Ratio;
  TOwnedRegion region;
  if (!E.Inward) {
    if (scaled) {
      const int64_t rx = EffectRound(static_cast<double>(g.A) * ratio), ry = EffectRound(static_cast<double>(g.B) * ratio);
      region = ShapeIn(E.Shape, g.cx - rx, g.cy - ry, g.cx + rx, g.cy + ry, &f.Visible);
    } else if (E.Shape == kEllipse) {
      region.Reset(CreateRoundRectRgn(EffectCoord(g.cx - g.A), EffectCoord(g.cy - g.B), EffectCoord(g.cx + g.A),
                                      EffectCoord(g.cy + g.B), EffectCoord(g.A * 9 / 5), EffectCoord(g.B * 9 / 5),
                                      &f.Visible));
    } else {
      region = ShapeIn(E.Shape, g.cx - g.A, g.cy - g.B, g.cx + g.A, g.cy + g.B, &f.Visible);
    }
  } else {
    // The frame around a hole that closes on the centre.
    TOwnedRegion hole;
    if (scaled) {
      const int64_t gx = EffectRound(static_cast<double>(g.W - g.A) * ratio) / 2;
      const int64_t gy = EffectRound(static_cast<double>(g.H - g.B) * ratio) / 2;
      hole = ShapeIn(E.Shape, g.A - g.cx - gx, g.B - g.cy - gy, 3 * g.cx - g.A + gx, 3 * g.cy - g.B + gy, &f.Visible);
    } else if (E.Shape == kEllipse) {
      hole.Reset(CreateRoundRectRgn(EffectCoord(g.A - g.cx), EffectCoord(g.B - g.cy), EffectCoord(3 * g.cx - g.A),
                                    EffectCoord(3 * g.cy - g.B), EffectCoord((g.W - g.A) * 9 / 5),
                                    EffectCoord((g.H - g.B) * 9 / 5), &f.Visible));
    } else {
      hole = ShapeIn(E.Shape, g.A - g.cx, g.B - g.cy, 3 * g.cx - g.A, 3 * g.cy - g.B, &f.Visible);
    }
    region = FrameWithout(f, hole.Get());
  }
  // A cross of one size does not hold the cross of the size before: it starts from the start
  // picture on every call.
  if (E.Shape == tsCross) CopyWhole(Canvas, Start, f);
  RevealThrough(Canvas, End, f, region.Get());
}

void DrawRegionEffect(const TInOutWipe& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const TFrameGeometry g(f);
  TOwnedRegion outer, inner;
  if (E.Shape == kEllipse) {
    // Diamonds: the outer one grows past the frame's sides, the inner one shrinks to the centre.
    outer = Polygon(f, {{-g.a2, g.cy}, {g.cx, -g.b2}, {2 * g.cx + g.a2, g.cy}, {g.cx, 2 * g.cy + g.b2}});
    inner = Polygon(f, {{g.a2, g.cy}, {g.cx, g.b2}, {2 * g.cx - g.a2, g.cy}, {g.cx, 2 * g.cy - g.b2}});
  } else {
    const double ratio = E.Ratio;
    const int64_t l = EffectRound(ratio * static_cast<double>(g.a2)), m = EffectRound(ratio * static_cast<double>(g.b2));
    outer = ShapeIn(E.Shape, -l, -m, 2 * g.cx + l, 2 * g.cy + m, &f.Visible);
    inner = ShapeIn(E.Shape, g.a2, g.b2, 2 * g.cx - g.a2, 2 * g.cy - g.b2, &f.Visible);
  }
  // The ring between them.
  if (outer && inner) CombineRgn(outer.Get(), outer.Get(), inner.Get(), RGN_XOR);
  RevealThrough(Canvas, End, f, outer.Get());
}
