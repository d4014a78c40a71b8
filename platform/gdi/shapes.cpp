// Shapes with the GDI's pixel rules: lines without their end pixel, styled cosmetic pens with
// their background gaps, rectangles and ellipses inside their box without its right and bottom
// edges (inclusive in the advanced graphics mode), polygons by their fill mode, arcs running
// counter-clockwise, and the binary raster operation of the DC on every pixel exactly once.
// Curves and wide pens are rasterised by QPainter without antialiasing into coverage masks;
// the pixels are then written by the raster code, so every pixel format and operation works.
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPainterPathStroker>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/gdi_internal.h"

namespace {

HDC__* DC(HDC dc) { return LookupDC(dc); }

// Patterns of the cosmetic pen styles, on and off runs in pixels.
const std::vector<int32_t>& StylePattern(uint32_t style) {
  static const std::vector<int32_t> dash = {18, 6}, dot = {3, 3}, dashDot = {9, 6, 3, 6},
                                     dashDotDot = {9, 3, 3, 3, 3, 3}, none;
  switch (style) {
    case PS_DASH:
      return dash;
    case PS_DOT:
      return dot;
    case PS_DASHDOT:
      return dashDot;
    case PS_DASHDOTDOT:
      return dashDotDot;
    default:
      return none;
  }
}

struct PenInfo {
  bool draws = false;
  bool cosmetic = true;  // one pixel wide
  int32_t width = 1;
  uint32_t style = PS_SOLID;
  COLORREF color = 0;
  bool insideFrame = false;
};

PenInfo PenOf(HDC__* d) {
  PenInfo p;
  HPEN__* pen = Lookup<HPEN__>(d->st.pen, GdiKind::kPen);
  if (!pen) pen = StockPen(BLACK_PEN);
  if (pen->lp.lopnStyle == PS_NULL) return p;
  p.draws = true;
  p.width = std::max(1, pen->lp.lopnWidth.X);
  p.cosmetic = p.width <= 1;
  p.style = pen->lp.lopnStyle;
  p.insideFrame = p.style == PS_INSIDEFRAME;
  // Wide pens draw solid, as the GDI's cosmetic styles apply to one-pixel pens only.
  if (!p.cosmetic || p.insideFrame) p.style = PS_SOLID;
  p.color = pen->lp.lopnColor;
  return p;
}

HBRUSH__* BrushOf(HDC__* d) {
  HBRUSH__* b = Lookup<HBRUSH__>(d->st.brush, GdiKind::kBrush);
  return b ? b : StockBrush(WHITE_BRUSH);
}

// V rounded to the nearest integer (halves away from zero) and saturated to the int32 range; NaN
// gives 0. Device coordinates of extreme shapes or transforms stay defined this way.
int32_t RoundToDevice(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(std::lround(v));
}

// An extent rounded as RoundToDevice does, held in 64 bits (saturated far beyond any int32 sum).
int64_t RoundExtent(double v) {
  if (!(v == v)) return 0;
  return std::llround(std::clamp(v, -4.0e18, 4.0e18));
}

TPoint ToDev(const Affine& a, int32_t x, int32_t y) {
  double dx, dy;
  a.Map(x, y, dx, dy);
  return {RoundToDevice(dx), RoundToDevice(dy)};
}

// The area where drawing can show: the target's bounds, cut by the clip region's box.
TRect DrawableBox(HDC__* d) {
  TRect box{};
  for (const TRect& r : VisibleRects(d)) UnionRect(box, box, r);
  return box;
}

// Paints device-space paths into a coverage mask covering `bounds` (cut to what can show).
class MaskCanvas {
 public:
  MaskCanvas(HDC__* d, const TRect& bounds) {
    IntersectRect(box_, bounds, DrawableBox(d));
    if (IsRectEmpty(box_)) return;
    image_ = QImage(box_.Width(), box_.Height(), QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::transparent);
  }
  bool Empty() const { return IsRectEmpty(box_); }
  void Fill(const QPainterPath& path) {
    if (Empty()) return;
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.translate(-box_.Left, -box_.Top);
    p.fillPath(path, Qt::white);
  }
  void Stroke(const QPainterPath& path, const QPen& pen) {
    if (Empty()) return;
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.translate(-box_.Left, -box_.Top);
    p.strokePath(path, pen);
  }
  void Into(CoverageMask& m) const {
    m.Reset(box_);
    if (Empty()) return;
    for (int32_t y = 0; y < box_.Height(); ++y) {
      const QRgb* src = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
      uint8_t* dst = m.Row(box_.Top + y);
      for (int32_t x = 0; x < box_.Width(); ++x) dst[x] = static_cast<uint8_t>(qAlpha(src[x]));
    }
  }

 private:
  TRect box_;
  QImage image_;
};

// Removes from `fill` what `pen` covers, so no pixel is drawn twice by one call.
void Subtract(CoverageMask& fill, const CoverageMask& pen) {
  if (pen.alpha.empty() || fill.alpha.empty()) return;
  TRect i;
  if (!IntersectRect(i, fill.bounds, pen.bounds)) return;
  for (int32_t y = i.Top; y < i.Bottom; ++y) {
    uint8_t* f = fill.Row(y);
    const uint8_t* p = pen.Row(y);
    for (int32_t x = i.Left; x < i.Right; ++x)
      if (p[x - pen.bounds.Left] >= 128) f[x - fill.bounds.Left] = 0;
  }
}

void Merge(CoverageMask& into, const CoverageMask& from) {
  if (from.alpha.empty()) return;
  if (into.alpha.empty()) {
    into = from;
    return;
  }
  TRect u;
  UnionRect(u, into.bounds, from.bounds);
  if (!(u == into.bounds)) {
    CoverageMask grown;
    grown.Reset(u);
    for (int32_t y = into.bounds.Top; y < into.bounds.Bottom; ++y)
      std::memcpy(grown.Row(y) + (into.bounds.Left - u.Left), into.Row(y), static_cast<size_t>(into.bounds.Width()));
    into = std::move(grown);
  }
  for (int32_t y = from.bounds.Top; y < from.bounds.Bottom; ++y) {
    const uint8_t* s = from.Row(y);
    uint8_t* d = into.Row(y) + (from.bounds.Left - into.bounds.Left);
    for (int32_t x = 0; x < from.bounds.Width(); ++x) d[x] = std::max(d[x], s[x]);
  }
}

// One-pixel lines in device space with the GDI's end-pixel rule and the pen style's runs.
// Pixels are collected first; the masks cover just the pixels drawn.
class CosmeticLines {
 public:
  CosmeticLines(HDC__* d, uint32_t style) : pattern_(StylePattern(style)) {
    box_ = DrawableBox(d);
    for (int32_t v : pattern_) total_ += v;
  }
  // Draws from a to b, leaving out b.
  void Line(TPoint a, TPoint b) {
    const int64_t dx = static_cast<int64_t>(b.X) - a.X, dy = static_cast<int64_t>(b.Y) - a.Y;
    const int64_t steps = std::max(std::abs(dx), std::abs(dy));
    if (steps == 0) return;
    // Only the steps near the drawable box are walked; the style runs on over the others.
    int64_t lo = 0, hi = steps - 1;
    auto limit = [&](int64_t start, int64_t delta, int64_t min, int64_t max) {
      if (delta == 0) {
        if (start < min - 1 || start > max + 1) hi = -1;
        return;
      }
      double i1 = static_cast<double>(min - 2 - start) * steps / delta;
      double i2 = static_cast<double>(max + 2 - start) * steps / delta;
      if (i1 > i2) std::swap(i1, i2);
      lo = std::max<int64_t>(lo, static_cast<int64_t>(std::floor(i1)));
      hi = std::min<int64_t>(hi, static_cast<int64_t>(std::ceil(i2)));
    };
    limit(a.X, dx, box_.Left, box_.Right);
    limit(a.Y, dy, box_.Top, box_.Bottom);
    for (int64_t i = lo; i <= hi; ++i) Plot(a.X + Div(dx * i, steps), a.Y + Div(dy * i, steps), pos_ + i);
    pos_ += steps;
  }
  void Point(TPoint p) { Plot(p.X, p.Y, pos_++); }
  bool Styled() const { return !pattern_.empty(); }
  CoverageMask On() const { return MaskOf(on_); }
  CoverageMask Off() const { return MaskOf(off_); }

 private:
  // Rounded division with halves going down-right, as Bresenham's error term does.
  static int64_t Div(int64_t num, int64_t den) {
    const int64_t twice = 2 * num + den;
    const int64_t q = twice / (2 * den);
    return (twice % (2 * den) < 0) ? q - 1 : q;
  }
  void Plot(int64_t x, int64_t y, int64_t pos) {
    bool on = true;
    if (total_ > 0) {
      int32_t k = static_cast<int32_t>(pos % total_);
      size_t run = 0;
      while (k >= pattern_[run]) k -= pattern_[run++];
      on = (run % 2) == 0;
    }
    if (x < box_.Left || x >= box_.Right || y < box_.Top || y >= box_.Bottom) return;
    (on ? on_ : off_).push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
  }
  static CoverageMask MaskOf(const std::vector<TPoint>& pts) {
    CoverageMask m;
    if (pts.empty()) return m;
    TRect b{pts[0].X, pts[0].Y, pts[0].X + 1, pts[0].Y + 1};
    for (const TPoint& p : pts) UnionRect(b, b, {p.X, p.Y, p.X + 1, p.Y + 1});
    m.Reset(b);
    for (const TPoint& p : pts) m.Row(p.Y)[p.X - b.Left] = 255;
    return m;
  }
  const std::vector<int32_t>& pattern_;
  int32_t total_ = 0;
  TRect box_;
  std::vector<TPoint> on_, off_;
  int64_t pos_ = 0;
};

QPen WidePen(const PenInfo& p) {
  QPen pen(Qt::white);
  pen.setWidthF(p.width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QPen CosmeticPen(uint32_t style, bool gaps) {
  QPen pen(Qt::white);
  pen.setWidth(0);
  pen.setCosmetic(true);
  pen.setCapStyle(Qt::FlatCap);
  const std::vector<int32_t>& pattern = StylePattern(style);
  if (!pattern.empty()) {
    QList<qreal> dashes;
    for (int32_t v : pattern) dashes << v;
    pen.setDashPattern(dashes);
    if (gaps) pen.setDashOffset(pattern[0]);
  }
  return pen;
}

// Draws the pen of a path-shaped outline: a QPainter stroke for curves and wide pens.
void StrokePath(HDC__* d, const PenInfo& pen, const QPainterPath& path, CoverageMask& on, CoverageMask& off) {
  const QRectF b = path.boundingRect();
  const int32_t grow = pen.width + 2;
  TRect bounds{static_cast<int32_t>(std::floor(b.left())) - grow, static_cast<int32_t>(std::floor(b.top())) - grow,
               static_cast<int32_t>(std::ceil(b.right())) + grow, static_cast<int32_t>(std::ceil(b.bottom())) + grow};
  MaskCanvas mc(d, bounds);
  mc.Stroke(path, pen.cosmetic ? CosmeticPen(pen.style, false) : WidePen(pen));
  mc.Into(on);
  if (pen.cosmetic && !StylePattern(pen.style).empty() && d->st.bkMode == OPAQUE) {
    MaskCanvas gaps(d, bounds);
    gaps.Stroke(path, CosmeticPen(pen.style, true));
    gaps.Into(off);
    Subtract(off, on);
  }
}

void DrawPenMasks(HDC__* d, const PenInfo& pen, const CoverageMask& on, const CoverageMask& off) {
  if (!on.alpha.empty()) CompositeSolid(d, on, pen.color, d->st.rop2);
  if (!off.alpha.empty() && d->st.bkMode == OPAQUE) CompositeSolid(d, off, d->st.bkColor, d->st.rop2);
}

QPainterPath FillPathToMaskBounds(const QPainterPath& p, TRect& bounds) {
  const QRectF b = p.boundingRect();
  bounds = {static_cast<int32_t>(std::floor(b.left())) - 1, static_cast<int32_t>(std::floor(b.top())) - 1,
            static_cast<int32_t>(std::ceil(b.right())) + 1, static_cast<int32_t>(std::ceil(b.bottom())) + 1};
  return p;
}

// Fills a path with the brush and strokes an outline with the pen, each pixel once. A path
// through pixel centres (centred = true) is nudged by a fraction of a pixel so the filler, which
// samples pixel centres, puts the pixels on the path itself inside.
void FillAndStroke(HDC__* d, const QPainterPath* fill, const PenInfo& pen, const CoverageMask& penOn,
                   const CoverageMask& penOff, bool centred = false) {
  if (fill) {
    HBRUSH__* brush = BrushOf(d);
    if (brush->style != BS_NULL) {
      TRect bounds;
      FillPathToMaskBounds(*fill, bounds);
      MaskCanvas mc(d, bounds);
      mc.Fill(centred ? fill->translated(-1.0 / 64, -1.0 / 64) : *fill);
      CoverageMask m;
      mc.Into(m);
      Subtract(m, penOn);
      Subtract(m, penOff);
      CompositeBrush(d, m, brush, d->st.rop2);
    }
  }
  if (pen.draws) DrawPenMasks(d, pen, penOn, penOff);
}

// The device box of a shape given by two corners: exclusive right and bottom in the compatible
// mode, the transformed corners included in the advanced mode. False for a rotating transform.
bool ShapeBox(HDC__* d, int32_t l, int32_t t, int32_t r, int32_t b, TRect& box) {
  const Affine a = d->ToDevice();
  if (!a.IsAxisAligned()) return false;
  TPoint p1 = ToDev(a, l, t), p2 = ToDev(a, r, b);
  box = {std::min(p1.X, p2.X), std::min(p1.Y, p2.Y), std::max(p1.X, p2.X), std::max(p1.Y, p2.Y)};
  if (d->st.graphicsMode == GM_ADVANCED) {
    ++box.Right;
    ++box.Bottom;
  }
  return true;
}

// The outline path of a box shape: through the centres of its edge pixels, moved inwards for an
// inside-frame pen so the whole pen width stays in the box. A wide pen of even width has no middle
// pixel: the GDI gives the extra one to the top and left of the path (a 4-pixel edge on x covers
// x - 2 .. x + 1), so its path runs half a pixel up and left.
QRectF OutlineRect(const TRect& box, const PenInfo& pen) {
  double inset = 0.5;
  if (pen.draws && pen.insideFrame && pen.width > 1) inset = pen.width / 2.0;
  QRectF r(box.Left + inset, box.Top + inset, box.Width() - 2 * inset, box.Height() - 2 * inset);
  if (pen.draws && !pen.cosmetic && !pen.insideFrame && pen.width % 2 == 0) r.translate(-0.5, -0.5);
  return r;
}

enum class ArcKind { kArc, kPie, kChord };

// Angle in degrees (counter-clockwise on screen) of the ellipse point where the ray from the
// centre towards (x, y) meets it, as the parametric angle QPainterPath's arcs use.
double ParamAngle(const QRectF& r, double x, double y) {
  const double cx = r.center().x(), cy = r.center().y();
  const double a = std::max(r.width() / 2, 1e-9), b = std::max(r.height() / 2, 1e-9);
  const double dx = x - cx, dy = cy - y;
  if (dx == 0 && dy == 0) return 0;
  return std::atan2(a * dy, b * dx) * 180.0 / M_PI;
}

void DrawArcShape(HDC__* d, int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4,
                  ArcKind kind) {
  TRect box;
  const Affine a = d->ToDevice();
  if (!ShapeBox(d, l, t, r, b, box)) {
    double fx, fy, gx, gy;
    a.Map(l, t, fx, fy);
    a.Map(r, b, gx, gy);
    box = {static_cast<int32_t>(std::lround(std::min(fx, gx))), static_cast<int32_t>(std::lround(std::min(fy, gy))),
           static_cast<int32_t>(std::lround(std::max(fx, gx))), static_cast<int32_t>(std::lround(std::max(fy, gy)))};
  }
  if (box.Width() < 1 || box.Height() < 1) return;
  const PenInfo pen = PenOf(d);
  const QRectF rect = OutlineRect(box, pen);
  double sx, sy, ex, ey;
  a.Map(x3 + 0.5, y3 + 0.5, sx, sy);
  a.Map(x4 + 0.5, y4 + 0.5, ex, ey);
  const double start = ParamAngle(rect, sx, sy), end = ParamAngle(rect, ex, ey);
  // Counter-clockwise in logical space; a mirroring transform turns that clockwise on the device.
  const bool mirrored = (a.m11 * a.m22 - a.m12 * a.m21) < 0;
  double sweep = mirrored ? start - end : end - start;
  while (sweep <= 0) sweep += 360;
  while (sweep > 360) sweep -= 360;
  if (mirrored) sweep = -sweep;
  QPainterPath arc;
  arc.arcMoveTo(rect, start);
  arc.arcTo(rect, start, sweep);
  QPainterPath outline = arc;
  if (kind == ArcKind::kPie) {
    outline = QPainterPath();
    outline.moveTo(rect.center());
    outline.arcTo(rect, start, sweep);
    outline.closeSubpath();
  } else if (kind == ArcKind::kChord) {
    outline.closeSubpath();
  }
  CoverageMask on, off;
  if (pen.draws) StrokePath(d, pen, outline, on, off);
  FillAndStroke(d, kind == ArcKind::kArc ? nullptr : &outline, pen, on, off, true);
}

// Polygon and polyline vertices in device space.
std::vector<TPoint> DevicePoints(HDC__* d, const TPoint* pts, int32_t n) {
  const Affine a = d->ToDevice();
  std::vector<TPoint> out(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) out[i] = ToDev(a, pts[i].X, pts[i].Y);
  return out;
}

QPainterPath CentrePath(const std::vector<TPoint>& pts, bool close) {
  QPainterPath p;
  if (pts.empty()) return p;
  p.moveTo(pts[0].X + 0.5, pts[0].Y + 0.5);
  for (size_t i = 1; i < pts.size(); ++i) p.lineTo(pts[i].X + 0.5, pts[i].Y + 0.5);
  if (close) p.closeSubpath();
  return p;
}

// Draws connected lines with the pen; `close` joins the last point to the first.
void PenLines(HDC__* d, const PenInfo& pen, const std::vector<std::vector<TPoint>>& figures, bool close,
              CoverageMask& on, CoverageMask& off) {
  if (!pen.draws) return;
  if (pen.cosmetic) {
    CosmeticLines lines(d, pen.style);
    for (const auto& f : figures) {
      for (size_t i = 1; i < f.size(); ++i) lines.Line(f[i - 1], f[i]);
      if (close && f.size() > 1) lines.Line(f.back(), f.front());
    }
    on = lines.On();
    if (lines.Styled() && d->st.bkMode == OPAQUE) off = lines.Off();
    return;
  }
  for (const auto& f : figures) {
    CoverageMask o, g;
    StrokePath(d, pen, CentrePath(f, close), o, g);
    Merge(on, o);
  }
}

// The common box: a solid one-pixel pen (or none) and a solid brush (or none) copied onto 24- or
// 32-bit pixels. The pen's pixels are the box's edge rows and columns, the brush's the inside of
// them; without a pen the brush covers the box less its right column and bottom row, as the GDI
// fills. Answers false (nothing drawn) for every other case, which the general path draws.
// Whether the pen's pixels may be filled as rectangles: copied onto 24- or 32-bit pixels by a solid
// one-pixel pen of a plain colour (or by no pen).
bool PenFillsStraight(HDC__* d, const PenInfo& pen) {
  PixelRows* t = d->Target();
  if (!t || (t->bitCount != 24 && t->bitCount != 32) || d->st.rop2 != R2_COPYPEN) return false;
  return !pen.draws || (pen.cosmetic && !pen.insideFrame && pen.style == PS_SOLID && (pen.color >> 24) == 0);
}

// A line along a row or a column by such a pen: the pixels from a up to b, b left out, filled as a
// one-pixel rectangle. Answers false (nothing drawn) for every other line.
bool StraightLine(HDC__* d, const PenInfo& pen, TPoint a, TPoint b) {
  if ((a.X != b.X && a.Y != b.Y) || a == b || !pen.draws || !PenFillsStraight(d, pen)) return false;
  constexpr int32_t kFar = 1 << 30;
  for (int32_t v : {a.X, a.Y, b.X, b.Y})
    if (v < -kFar || v > kFar) return false;
  TRect r;
  if (a.X == b.X) r = b.Y > a.Y ? TRect{a.X, a.Y, a.X + 1, b.Y} : TRect{a.X, b.Y + 1, a.X + 1, a.Y + 1};
  else r = b.X > a.X ? TRect{a.X, a.Y, b.X, a.Y + 1} : TRect{b.X + 1, a.Y, a.X + 1, a.Y + 1};
  HBRUSH__ line;
  line.style = BS_SOLID;
  line.color = pen.color;
  PatFillDevice(d, &line, r, 0xF0);
  return true;
}

bool PlainRectangle(HDC__* d, const PenInfo& pen, const TRect& box) {
  if (!PenFillsStraight(d, pen)) return false;
  HBRUSH__* brush = BrushOf(d);
  if (brush->style != BS_NULL && (brush->style != BS_SOLID || (brush->color >> 24) != 0)) return false;
  if (brush->style == BS_SOLID) {
    const TRect inside = pen.draws ? TRect{box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1}
                                   : TRect{box.Left, box.Top, box.Right - 1, box.Bottom - 1};
    if (inside.Right > inside.Left && inside.Bottom > inside.Top) PatFillDevice(d, brush, inside, 0xF0);
  }
  if (pen.draws) {
    HBRUSH__ edge;
    edge.style = BS_SOLID;
    edge.color = pen.color;
    PatFillDevice(d, &edge, {box.Left, box.Top, box.Right, box.Top + 1}, 0xF0);
    if (box.Height() > 1) PatFillDevice(d, &edge, {box.Left, box.Bottom - 1, box.Right, box.Bottom}, 0xF0);
    if (box.Height() > 2) {
      PatFillDevice(d, &edge, {box.Left, box.Top + 1, box.Left + 1, box.Bottom - 1}, 0xF0);
      if (box.Width() > 1) PatFillDevice(d, &edge, {box.Right - 1, box.Top + 1, box.Right, box.Bottom - 1}, 0xF0);
    }
  }
  return true;
}

}  // namespace

// ---- Lines ------------------------------------------------------------------------------------------

bool LineTo(HDC dc, int32_t x, int32_t y) {
  HDC__* d = DC(dc);
  if (!d) return false;
  const TPoint from = d->st.curPos;
  d->st.curPos = {x, y};
  const PenInfo pen = PenOf(d);
  if (!pen.draws) return true;
  const Affine a = d->ToDevice();
  const TPoint p0 = ToDev(a, from.X, from.Y), p1 = ToDev(a, x, y);
  if (StraightLine(d, pen, p0, p1)) return true;
  std::vector<std::vector<TPoint>> figures = {{p0, p1}};
  CoverageMask on, off;
  PenLines(d, pen, figures, false, on, off);
  DrawPenMasks(d, pen, on, off);
  return true;
}

bool Polyline(HDC dc, const TPoint* points, int32_t count) {
  HDC__* d = DC(dc);
  if (!d || !points || count < 2) return false;
  const PenInfo pen = PenOf(d);
  if (!pen.draws) return true;
  std::vector<std::vector<TPoint>> figures = {DevicePoints(d, points, count)};
  CoverageMask on, off;
  PenLines(d, pen, figures, false, on, off);
  DrawPenMasks(d, pen, on, off);
  return true;
}

bool PolyPolygon(HDC dc, const TPoint* points, const int32_t* counts, int32_t polygons) {
  HDC__* d = DC(dc);
  if (!d || !points || !counts || polygons <= 0) return false;
  std::vector<std::vector<TPoint>> figures;
  QPainterPath fill;
  fill.setFillRule(d->st.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  const TPoint* p = points;
  for (int32_t i = 0; i < polygons; ++i) {
    if (counts[i] < 2) return false;
    figures.push_back(DevicePoints(d, p, counts[i]));
    p += counts[i];
    // The interior by the fill mode, sampled at pixel centres: the vertices as they are.
    const auto& f = figures.back();
    QPolygonF poly;
    for (const TPoint& v : f) poly << QPointF(v.X, v.Y);
    fill.addPolygon(poly);
    fill.closeSubpath();
  }
  const PenInfo pen = PenOf(d);
  CoverageMask on, off;
  PenLines(d, pen, figures, true, on, off);
  FillAndStroke(d, &fill, pen, on, off);
  return true;
}

bool Polygon(HDC dc, const TPoint* points, int32_t count) { return PolyPolygon(dc, points, &count, 1); }

bool PolyBezier(HDC dc, const TPoint* points, uint32_t count) {
  HDC__* d = DC(dc);
  if (!d || !points || count < 4 || (count - 1) % 3 != 0) return false;
  const PenInfo pen = PenOf(d);
  if (!pen.draws) return true;
  std::vector<TPoint> dev = DevicePoints(d, points, static_cast<int32_t>(count));
  QPainterPath path;
  path.moveTo(dev[0].X + 0.5, dev[0].Y + 0.5);
  for (uint32_t i = 1; i + 2 < count; i += 3)
    path.cubicTo(dev[i].X + 0.5, dev[i].Y + 0.5, dev[i + 1].X + 0.5, dev[i + 1].Y + 0.5, dev[i + 2].X + 0.5,
                 dev[i + 2].Y + 0.5);
  CoverageMask on, off;
  StrokePath(d, pen, path, on, off);
  DrawPenMasks(d, pen, on, off);
  return true;
}

// ---- Box shapes ---------------------------------------------------------------------------------------

bool Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  HDC__* d = DC(dc);
  if (!d) return false;
  const PenInfo pen = PenOf(d);
  TRect box;
  if (!ShapeBox(d, left, top, right, bottom, box)) {
    // A rotating transform: the four corners as a polygon.
    TPoint pts[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    return Polygon(dc, pts, 4);
  }
  if (box.Width() < 1 || box.Height() < 1) return true;
  if (PlainRectangle(d, pen, box)) return true;
  const QRectF outline = OutlineRect(box, pen);
  QPainterPath fill;
  fill.addRect(outline);
  CoverageMask on, off;
  if (pen.draws) {
    if (pen.cosmetic && !pen.insideFrame) {
      // The edge pixels of the box, walked around clockwise so a style pattern runs on.
      CosmeticLines lines(d, pen.style);
      const TPoint tl{box.Left, box.Top}, tr{box.Right - 1, box.Top}, br{box.Right - 1, box.Bottom - 1},
          bl{box.Left, box.Bottom - 1};
      lines.Line(tl, tr);
      lines.Line(tr, br);
      lines.Line(br, bl);
      lines.Line(bl, tl);
      if (box.Width() == 1 || box.Height() == 1) lines.Point(br);
      on = lines.On();
      if (lines.Styled() && d->st.bkMode == OPAQUE) off = lines.Off();
    } else {
      QPainterPath p;
      p.addRect(outline);
      // Mitre corners: a wide rectangle's pen is square at the corners.
      MaskCanvas mc(d, {box.Left - pen.width, box.Top - pen.width, box.Right + pen.width, box.Bottom + pen.width});
      QPen qp(Qt::white);
      qp.setWidthF(pen.width);
      qp.setJoinStyle(Qt::MiterJoin);
      mc.Stroke(p, qp);
      mc.Into(on);
    }
  }
  FillAndStroke(d, &fill, pen, on, off, true);
  return true;
}

bool Ellipse(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  HDC__* d = DC(dc);
  if (!d) return false;
  TRect box;
  const PenInfo pen = PenOf(d);
  QPainterPath path;
  if (ShapeBox(d, left, top, right, bottom, box)) {
    if (box.Width() < 1 || box.Height() < 1) return true;
    path.addEllipse(OutlineRect(box, pen));
  } else {
    QPainterPath logical;
    logical.addEllipse(QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1));
    const Affine a = d->ToDevice();
    path = QTransform(a.m11, a.m12, a.m21, a.m22, a.dx, a.dy).map(logical);
  }
  CoverageMask on, off;
  if (pen.draws) StrokePath(d, pen, path, on, off);
  FillAndStroke(d, &path, pen, on, off, true);
  return true;
}

bool RoundRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height) {
  HDC__* d = DC(dc);
  if (!d) return false;
  TRect box;
  if (!ShapeBox(d, left, top, right, bottom, box)) return Rectangle(dc, left, top, right, bottom);
  if (box.Width() < 1 || box.Height() < 1) return true;
  const PenInfo pen = PenOf(d);
  const QRectF r = OutlineRect(box, pen);
  // The corner ellipse is at most the box.
  const double w = std::min<double>(std::abs(width), r.width()), h = std::min<double>(std::abs(height), r.height());
  QPainterPath path;
  if (w < 1 || h < 1)
    path.addRect(r);
  else
    path.addRoundedRect(r, w / 2, h / 2);
  CoverageMask on, off;
  if (pen.draws) StrokePath(d, pen, path, on, off);
  FillAndStroke(d, &path, pen, on, off, true);
  return true;
}

bool Arc(HDC dc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  HDC__* d = DC(dc);
  if (!d) return false;
  DrawArcShape(d, l, t, r, b, x3, y3, x4, y4, ArcKind::kArc);
  return true;
}

bool Pie(HDC dc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  HDC__* d = DC(dc);
  if (!d) return false;
  DrawArcShape(d, l, t, r, b, x3, y3, x4, y4, ArcKind::kPie);
  return true;
}

bool Chord(HDC dc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  HDC__* d = DC(dc);
  if (!d) return false;
  DrawArcShape(d, l, t, r, b, x3, y3, x4, y4, ArcKind::kChord);
  return true;
}

// ---- Rectangles and regions with brushes ---------------------------------------------------------------

namespace {

// A brush handle, or a system colour index + 1 given as a brush (COLOR_WINDOW + 1).
struct BrushArg {
  HBRUSH__* brush = nullptr;
  std::unique_ptr<HBRUSH__> temp;
};

BrushArg ResolveBrush(HBRUSH h) {
  BrushArg a;
  const uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if (v >= 1 && v <= 31) {
    a.temp = std::make_unique<HBRUSH__>();
    a.temp->style = BS_SOLID;
    a.temp->color = GetSysColor(static_cast<int32_t>(v - 1));
    a.brush = a.temp.get();
    return a;
  }
  a.brush = Lookup<HBRUSH__>(h, GdiKind::kBrush);
  return a;
}

// Device block of a logical rectangle with exclusive right and bottom edges.
TRect DeviceRect(HDC__* d, const TRect& r) {
  const Affine a = d->ToDevice();
  const TPoint p1 = ToDev(a, r.Left, r.Top);
  // The extents in 64 bits: a rectangle from INT32_MIN to INT32_MAX is 2^32 - 1 wide.
  const double w = static_cast<double>(int64_t{r.Right} - r.Left);
  const double h = static_cast<double>(int64_t{r.Bottom} - r.Top);
  const int64_t dw = RoundExtent(a.m11 * w), dh = RoundExtent(a.m22 * h);
  const int64_t x = p1.X, y = p1.Y;
  TRect out;
  out.Left = SaturateInt32(dw >= 0 ? x : x + dw + 1);
  out.Right = SaturateInt32(dw >= 0 ? x + dw : x + 1);
  out.Top = SaturateInt32(dh >= 0 ? y : y + dh + 1);
  out.Bottom = SaturateInt32(dh >= 0 ? y + dh : y + 1);
  return out;
}

void FillDevice(HDC__* d, HBRUSH__* brush, const TRect& r, uint8_t rop) { PatFillDevice(d, brush, r, rop); }

// Device rectangles of a region given in logical units.
std::vector<TRect> RegionDevice(HDC__* d, HRGN rgn) {
  HRGN__* r = Lookup<HRGN__>(rgn, GdiKind::kRegion);
  std::vector<TRect> out;
  if (!r) return out;
  for (const TRect& t : r->rects) out.push_back(DeviceRect(d, t));
  return out;
}

}  // namespace

int32_t FillRect(HDC dc, const TRect* rect, HBRUSH brush) {
  HDC__* d = DC(dc);
  BrushArg b = ResolveBrush(brush);
  if (!d || !rect || !b.brush) return 0;
  if (rect->Right <= rect->Left || rect->Bottom <= rect->Top) return 1;
  FillDevice(d, b.brush, DeviceRect(d, *rect), 0xF0);
  return 1;
}

int32_t FrameRect(HDC dc, const TRect* rect, HBRUSH brush) {
  HDC__* d = DC(dc);
  BrushArg b = ResolveBrush(brush);
  if (!d || !rect || !b.brush) return 0;
  if (rect->Right <= rect->Left || rect->Bottom <= rect->Top) return 1;
  const TRect r = DeviceRect(d, *rect);
  FillDevice(d, b.brush, {r.Left, r.Top, r.Right, r.Top + 1}, 0xF0);
  FillDevice(d, b.brush, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, 0xF0);
  if (r.Height() > 2) {
    FillDevice(d, b.brush, {r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1}, 0xF0);
    FillDevice(d, b.brush, {r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1}, 0xF0);
  }
  return 1;
}

bool InvertRect(HDC dc, const TRect* rect) {
  HDC__* d = DC(dc);
  if (!d || !rect) return false;
  if (rect->Right <= rect->Left || rect->Bottom <= rect->Top) return true;
  FillDevice(d, nullptr, DeviceRect(d, *rect), 0x55);
  return true;
}

bool DrawFocusRect(HDC dc, const TRect* rect) {
  HDC__* d = DC(dc);
  if (!d || !rect) return false;
  PixelRows* t = d->Target();
  if (!t || rect->Right <= rect->Left || rect->Bottom <= rect->Top) return true;
  const TRect r = DeviceRect(d, *rect);
  // Every other pixel of the frame inverted, by a checkerboard fixed to the device.
  CoverageMask m;
  m.Reset(r);
  auto mark = [&](int32_t x, int32_t y) {
    if (((x + y) & 1) == 0) m.Row(y)[x - r.Left] = 255;
  };
  for (int32_t x = r.Left; x < r.Right; ++x) {
    mark(x, r.Top);
    if (r.Height() > 1) mark(x, r.Bottom - 1);
  }
  for (int32_t y = r.Top + 1; y < r.Bottom - 1; ++y) {
    mark(r.Left, y);
    if (r.Width() > 1) mark(r.Right - 1, y);
  }
  CompositeSolid(d, m, 0, R2_NOT);
  return true;
}

bool DrawEdge(HDC dc, TRect* rect, uint32_t edge, uint32_t flags) {
  HDC__* d = DC(dc);
  if (!d || !rect) return false;
  TRect r = *rect;
  const bool soft = flags & BF_SOFT, mono = flags & BF_MONO, flat = flags & BF_FLAT;
  auto line = [&](COLORREF c, const TRect& a) {
    HBRUSH__ b;
    b.style = BS_SOLID;
    b.color = c;
    if (a.Right > a.Left && a.Bottom > a.Top) FillDevice(d, &b, DeviceRect(d, a), 0xF0);
  };
  auto ring = [&](COLORREF lt, COLORREF rb) {
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    if (flags & BF_TOP) line(lt, {r.Left, r.Top, r.Right - 1, r.Top + 1});
    if (flags & BF_LEFT) line(lt, {r.Left, r.Top, r.Left + 1, r.Bottom - 1});
    if (flags & BF_BOTTOM) line(rb, {r.Left, r.Bottom - 1, r.Right, r.Bottom});
    if (flags & BF_RIGHT) line(rb, {r.Right - 1, r.Top, r.Right, r.Bottom});
    if (flags & BF_LEFT) ++r.Left;
    if (flags & BF_TOP) ++r.Top;
    if (flags & BF_RIGHT) --r.Right;
    if (flags & BF_BOTTOM) --r.Bottom;
  };
  const COLORREF light = GetSysColor(COLOR_3DLIGHT), hilight = GetSysColor(COLOR_BTNHIGHLIGHT),
                 shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW),
                 face = GetSysColor(COLOR_BTNFACE);
  if (mono) {
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) ring(0, 0);
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) ring(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
  } else if (flat) {
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) ring(shadow, shadow);
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) ring(face, face);
  } else {
    if (edge & BDR_RAISEDOUTER) ring(soft ? hilight : light, dark);
    else if (edge & BDR_SUNKENOUTER) ring(soft ? dark : shadow, hilight);
    if (edge & BDR_RAISEDINNER) ring(soft ? light : hilight, shadow);
    else if (edge & BDR_SUNKENINNER) ring(soft ? shadow : dark, light);
  }
  if (flags & BF_MIDDLE) line(mono ? GetSysColor(COLOR_WINDOW) : face, r);
  if (flags & BF_ADJUST) *rect = r;
  return true;
}

bool FillRgn(HDC dc, HRGN region, HBRUSH brush) {
  HDC__* d = DC(dc);
  BrushArg b = ResolveBrush(brush);
  if (!d || !b.brush || !Lookup<HRGN__>(region, GdiKind::kRegion)) return false;
  for (const TRect& r : RegionDevice(d, region)) FillDevice(d, b.brush, r, 0xF0);
  return true;
}

bool PaintRgn(HDC dc, HRGN region) {
  HDC__* d = DC(dc);
  if (!d) return false;
  return FillRgn(dc, region, d->st.brush);
}

bool InvertRgn(HDC dc, HRGN region) {
  HDC__* d = DC(dc);
  if (!d || !Lookup<HRGN__>(region, GdiKind::kRegion)) return false;
  for (const TRect& r : RegionDevice(d, region)) FillDevice(d, nullptr, r, 0x55);
  return true;
}

bool FrameRgn(HDC dc, HRGN region, HBRUSH brush, int32_t width, int32_t height) {
  HDC__* d = DC(dc);
  if (!d || !Lookup<HRGN__>(region, GdiKind::kRegion) || width < 0 || height < 0) return false;
  // The frame is the region minus the region shrunk by width and height.
  HRGN inner = CreateRectRgn(0, 0, 0, 0), shifted = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(inner, region, nullptr, RGN_COPY);
  const int32_t moves[4][2] = {{width, 0}, {-width, 0}, {0, height}, {0, -height}};
  for (const auto& m : moves) {
    CombineRgn(shifted, region, nullptr, RGN_COPY);
    OffsetRgn(shifted, m[0], m[1]);
    CombineRgn(inner, inner, shifted, RGN_AND);
  }
  HRGN frame = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(frame, region, inner, RGN_DIFF);
  const bool ok = FillRgn(dc, frame, brush);
  DeleteObject(frame);
  DeleteObject(shifted);
  DeleteObject(inner);
  return ok;
}

bool ExtFloodFill(HDC dc, int32_t x, int32_t y, COLORREF color, uint32_t type) {
  HDC__* d = DC(dc);
  if (!d) return false;
  PixelRows* t = d->Target();
  if (!t) return false;
  const TPoint p = ToDev(d->ToDevice(), x, y);
  const std::vector<TRect> vis = VisibleRects(d);
  TRect box{};
  for (const TRect& r : vis) UnionRect(box, box, r);
  if (!PtInRect(box, p)) return false;
  const int32_t w = box.Width(), h = box.Height();
  // The visible pixels that may take the fill: their colour decides, read once.
  std::vector<uint8_t> open(static_cast<size_t>(w) * h, 0);
  {
    const uint32_t target = RgbToPhys(*t, ColorRefToRgb(color));
    std::vector<uint32_t> row(static_cast<size_t>(w));
    for (const TRect& r : vis) {
      for (int32_t yy = r.Top; yy < r.Bottom; ++yy) {
        ReadPhys(*t, yy, r.Left, r.Width(), row.data());
        uint8_t* o = open.data() + static_cast<size_t>(yy - box.Top) * w + (r.Left - box.Left);
        for (int32_t i = 0; i < r.Width(); ++i)
          o[i] = type == FLOODFILLSURFACE ? row[i] == target : row[i] != target;
      }
    }
  }
  auto at = [&](int32_t xx, int32_t yy) -> uint8_t& {
    return open[static_cast<size_t>(yy - box.Top) * w + (xx - box.Left)];
  };
  if (!at(p.X, p.Y)) return false;
  // Scan-line fill: each run is filled once and seeds one point per run in the rows above and
  // below. Filled pixels are marked 2.
  CoverageMask m;
  m.Reset(box);
  std::vector<TPoint> stack = {p};
  while (!stack.empty()) {
    const TPoint s = stack.back();
    stack.pop_back();
    if (at(s.X, s.Y) != 1) continue;
    int32_t l = s.X, r = s.X;
    while (l - 1 >= box.Left && at(l - 1, s.Y) == 1) --l;
    while (r + 1 < box.Right && at(r + 1, s.Y) == 1) ++r;
    for (int32_t i = l; i <= r; ++i) {
      at(i, s.Y) = 2;
      m.Row(s.Y)[i - box.Left] = 255;
    }
    for (int32_t ny : {s.Y - 1, s.Y + 1}) {
      if (ny < box.Top || ny >= box.Bottom) continue;
      for (int32_t i = l; i <= r; ++i) {
        if (at(i, ny) != 1) continue;
        stack.push_back({i, ny});
        while (i + 1 <= r && at(i + 1, ny) == 1) ++i;
      }
    }
  }
  CompositeBrush(d, m, BrushOf(d), R2_COPYPEN);
  return true;
}

// ---- Single pixels -----------------------------------------------------------------------------------

COLORREF GetPixel(HDC dc, int32_t x, int32_t y) {
  HDC__* d = DC(dc);
  if (!d) return CLR_INVALID;
  PixelRows* t = d->Target();
  const TPoint p = ToDev(d->ToDevice(), x, y);
  if (!t || !t->Valid() || !PtInRect(t->Bounds(), p)) return CLR_INVALID;
  if (d->st.hasClip) {
    bool in = false;
    for (const TRect& r : d->st.clip) in = in || PtInRect(r, p);
    if (!in) return CLR_INVALID;
  }
  return RgbToColorRef(PhysToRgb(*t, GetPhys(*t, p.X, p.Y)));
}

COLORREF SetPixel(HDC dc, int32_t x, int32_t y, COLORREF color) {
  HDC__* d = DC(dc);
  if (!d) return CLR_INVALID;
  PixelRows* t = d->Target();
  const TPoint p = ToDev(d->ToDevice(), x, y);
  if (!t) return CLR_INVALID;
  bool in = false;
  for (const TRect& r : VisibleRects(d)) in = in || PtInRect(r, p);
  if (!in) return CLR_INVALID;
  const uint32_t v = RgbToPhys(*t, ColorRefToRgb(color & 0xFFFFFF));
  SetPhys(*t, p.X, p.Y, v);
  return RgbToColorRef(PhysToRgb(*t, v));
}

bool SetPixelV(HDC dc, int32_t x, int32_t y, COLORREF color) { return SetPixel(dc, x, y, color) != CLR_INVALID; }
