// The wipes of one shape: curved wipes, polygon wipes, zigzag bands, the triangular lattice,
// sweeps and rotating polygons.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/processing/transitions/ie_region_effects.h"
#include "platform/system/mul_div.h"

void DrawRegionEffect(const TCurvedWipe& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const TRoundRect r = E.Shape(TFrameGeometry(f));
  TOwnedRegion region(CreateRoundRectRgn(EffectCoord(r.Left), EffectCoord(r.Top), EffectCoord(r.Right),
                                         EffectCoord(r.Bottom), EffectCoord(r.CornerWidth),
                                         EffectCoord(r.CornerHeight), &f.Visible));
  RevealThrough(Canvas, End, f, region.Get());
}

void DrawRegionEffect(const TPolygonWipe& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const TEffectTerms at(f);
  // The polygons, each filled by the winding rule, then united.
  TComplexRegion shapes;
  for (const TPolygonWipe::TPolygon& polygon : E.Polygons) {
    if (polygon.Count == 0) continue;
    std::vector<TPoint> points;
    for (uint8_t i = 0; i < polygon.Count && i < 4; ++i)
      points.push_back({EffectCoord(at(polygon.Points[i].X)), EffectCoord(at(polygon.Points[i].Y))});
    const TOwnedRegion region = VisiblePolygon(f, points);
    shapes.AddRegion(region.Get());
  }
  TOwnedRegion region(shapes.CreateRegion());
  if (E.XorFrame) region = FrameWithout(f, region.Get());
  RevealThrough(Canvas, End, f, region.Get());
}

void DrawRegionEffect(const TZigzagWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  // Towards the centre the band of 100 - Percent shows the start picture over the end picture.
  const int32_t percent = std::clamp(Percent, 0, 100);
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, E.ToCentre ? 100 - percent : percent, f)) return;
  // "Along" is the axis the zigzag runs along (x for the band about the horizon), "across" the
  // other: twelve points at steps of a tenth along, swinging a tenth across about the centre line.
  const int64_t along = E.Vertical ? f.H : f.W, across = E.Vertical ? f.W : f.H;
  const int64_t centre = E.Vertical ? f.cx : f.cy, scaled = E.Vertical ? f.A : f.B;
  const int64_t s = along / 10, n = across / 10;
  const int64_t b = MulDiv(static_cast<int32_t>(n), f.Percent, 100) + scaled / 2;
  const int64_t p = centre + n - b, q = centre - n - b, r = centre + n + b, u = centre - n + b;
  std::vector<TPoint> points;
  const auto add = [&](int64_t position, int64_t level) {
    points.push_back(E.Vertical ? TPoint{EffectCoord(level), EffectCoord(position)}
                                : TPoint{EffectCoord(position), EffectCoord(level)});
  };
  for (int64_t k = 1; k <= 12; ++k) add((k - 1) * s, k % 2 ? p : q);
  for (int64_t k = 12; k >= 1; --k) add((k - 1) * s, k % 2 ? r : u);
  const TOwnedRegion band = VisiblePolygon(f, points);
  if (E.ToCentre) {
    CopyWhole(Canvas, End, f);
    RevealThrough(Canvas, Start, f, band.Get());
  } else {
    RevealThrough(Canvas, End, f, band.Get());
  }
}

void TriangularWipe(TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t Param, int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  // n cells each way: a ninetieth of the longer side times Param, halved; never more cells than
  // the side has pixels (a caller's large Param would ask for n^2 triangles).
  const int32_t longest = std::max(f.W, f.H);
  int64_t n = MulDiv(longest, Param, 90);
  n = n < 1 ? 1 : (n > 1 ? n / 2 : n);
  n = std::min<int64_t>(n, longest);
  const int64_t w = f.W / n, h = f.H / n, a = f.A / n, b = f.B / n;
  // The right triangle at a lattice point (x, y): (x - a, y - b), (x + a, y - b), (x - a, y + b),
  // at the lattice points 0, w, 2w, ... n w across (all at 0 when w is 0) and likewise down. Every
  // triangle is the same one moved: rasterise it once and stamp it at each lattice point whose
  // triangle reaches the canvas.
  const TRegionWindow window = f.Window();
  const std::vector<int64_t> xs =
      CellCentres(0, std::max<int64_t>(w, 1), w ? n * w + 1 : 1, a, window.Left, window.Right);
  const std::vector<int64_t> ys =
      CellCentres(0, std::max<int64_t>(h, 1), h ? n * h + 1 : 1, b, window.Top, window.Bottom);
  if (xs.empty() || ys.empty()) return;
  const TRect cell = CellWindow(f.Visible, xs, ys);
  const TPoint corners[3] = {{EffectCoord(-a), EffectCoord(-b)}, {EffectCoord(a), EffectCoord(-b)}, {EffectCoord(-a), EffectCoord(b)}};
  const TOwnedRegion triangle(CreatePolygonRgn(corners, 3, WINDING, &cell));
  const std::vector<TRect> base = RegionRects(triangle.Get());
  if (base.empty()) return;
  TComplexRegion lattice;
  for (const int64_t x : xs)
    for (const int64_t y : ys) AddStamped(lattice, base, x, y);
  const TOwnedRegion region(lattice.CreateRegion());
  RevealThrough(Canvas, End, f, region.Get());
}

void DrawRegionEffect(const TSweep& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  // From twelve o'clock, one point of the fan a percent, out to the frame's corners.
  constexpr double pi = std::numbers::pi;
  const double sweep = f.Percent * pi / 50;
  const int32_t radius = EffectCoord(static_cast<int64_t>(std::ceil(std::hypot(f.cx, f.cy))));
  const TOwnedRegion fan(CreateSectorRegion(f.cx, f.cy, radius, -pi / 2, (E.CounterClockwise ? -sweep : sweep) - pi / 2,
                                            f.Percent, &f.Visible));
  RevealThrough(Canvas, End, f, fan.Get());
}

void DrawRegionEffect(const TRotatingPolygon& E, TCanvas* Canvas, TBitmap*, TBitmap* End, const TRect& Rect, int32_t,
                      int32_t Percent) {
  TRegionFrame f;
  if (!BeginRegionFrame(Canvas, Rect, Percent, f)) return;
  const TFrameGeometry g(f);
  std::vector<std::pair<int64_t, int64_t>> corners;
  if (E.Star)
    corners = {{g.cx - 2 * g.A, g.cy}, {g.cx - g.a2, g.cy - g.b2}, {g.cx, g.cy - 2 * g.B}, {g.cx + g.a2, g.cy - g.b2},
               {g.cx + 2 * g.A, g.cy}, {g.cx + g.a2, g.cy + g.b2}, {g.cx, g.cy + 2 * g.B}, {g.cx - g.a2, g.cy + g.b2}};
  else
    corners = {{g.cx - g.a2, g.cy - g.b2}, {g.cx + g.a2, g.cy - g.b2}, {g.cx + g.a2, g.cy + g.b2}, {g.cx - g.a2, g.cy + g.b2}};
  std::vector<TPoint> points;
  for (const auto& [x, y] : corners) points.push_back({EffectCoord(x), EffectCoord(y)});
  // One turn over the run, clockwise on the screen for a positive angle.
  const double turn = f.Percent * std::numbers::pi / 50;
  RotatePoints(points, E.AboutAB ? f.A : f.cx, E.AboutAB ? f.B : f.cy, E.CounterClockwise ? -turn : turn);
  const TOwnedRegion region = VisiblePolygon(f, points);
  RevealThrough(Canvas, End, f, region.Get());
}
