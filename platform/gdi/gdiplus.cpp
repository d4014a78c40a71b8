// The GDI+ flat interface on QPainter: every drawing call builds a path in GDI+ coordinates,
// rasterises it (with or without antialiasing) into a premultiplied ARGB image of its device
// bounds, and blends that over the DC's rows inside the DC's clip region.
#include "platform/gdi/gdiplus.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QTransform>

#include <atomic>
#include <cmath>
#include <vector>

#include "platform/gdi/gdi_internal.h"

struct GpMatrix {
  QTransform m;
};

struct GpPen {
  ARGB color = 0xFF000000;
  REAL width = 1;
  int32_t dashStyle = DashStyleSolid;
  std::vector<REAL> dashes;
  int32_t join = LineJoinMiter;
};

struct GpBrush {
  bool hatch = false;
  int32_t hatchStyle = 0;
  ARGB fore = 0;
  ARGB back = 0;
};

struct GpPath {
  QPainterPath path;
  bool figureOpen = false;
};

struct GpGraphics {
  HDC dc = nullptr;
  int32_t smoothing = SmoothingModeDefault;
  QTransform world;
};

namespace {

std::atomic<uintptr_t> g_tokens{0};

bool Antialiased(const GpGraphics* g) {
  return g->smoothing == SmoothingModeAntiAlias || g->smoothing == SmoothingModeAntiAlias8x8 ||
         g->smoothing == SmoothingModeHighQuality;
}

// GDI+ coordinates to continuous device coordinates: integer coordinates are pixel centres, then
// the DC's mapping. Without antialiasing a 1/64 pixel nudge makes shapes whose edges fall on
// pixel centres take the pixels GDI+ gives them.
QTransform DeviceTransform(HDC__* d, bool aa) {
  const Affine a = d->ToDevice();
  const double e = aa ? 0.0 : 1.0 / 64;
  return QTransform(a.m11, a.m12, a.m21, a.m22, a.dx + 0.5 - e, a.dy + 0.5 - e);
}

QColor ToQColor(ARGB c) { return QColor::fromRgba(c); }

// Turns a geometric angle on an ellipse (degrees clockwise, as GDI+ measures it) into the
// parametric angle of QPainterPath (degrees counter-clockwise).
double ParamAngle(double deg, double w, double h) {
  const double r = -deg * M_PI / 180;
  const double a = std::max(std::abs(w) / 2, 1e-9), b = std::max(std::abs(h) / 2, 1e-9);
  return std::atan2(std::sin(r) / b, std::cos(r) / a) * 180 / M_PI;
}

void AddArc(QPainterPath& p, bool connect, REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  const QRectF r(x, y, w, h);
  const double s = ParamAngle(start, w, h);
  double e = ParamAngle(start + sweep, w, h);
  // Keep the direction and the number of turns of the sweep.
  double span = e - s;
  if (sweep > 0) {
    while (span > 0) span -= 360;
    if (sweep >= 360) span = -360;
  } else if (sweep < 0) {
    while (span < 0) span += 360;
    if (sweep <= -360) span = 360;
  } else {
    span = 0;
  }
  QPainterPath arc;
  arc.arcMoveTo(r, s);
  if (connect)
    p.lineTo(arc.currentPosition());
  else
    p.moveTo(arc.currentPosition());
  p.arcTo(r, s, span);
}

QPen ToQPen(const GpPen* pen) {
  QPen q(ToQColor(pen->color));
  if (pen->width <= 0) {
    q.setWidthF(1);
    q.setCosmetic(true);
  } else {
    q.setWidthF(pen->width);
  }
  q.setCapStyle(Qt::FlatCap);
  switch (pen->join) {
    case LineJoinBevel:
      q.setJoinStyle(Qt::BevelJoin);
      break;
    case LineJoinRound:
      q.setJoinStyle(Qt::RoundJoin);
      break;
    case LineJoinMiterClipped:
      q.setJoinStyle(Qt::SvgMiterJoin);
      break;
    default:
      q.setJoinStyle(Qt::MiterJoin);
      break;
  }
  QList<qreal> d;
  switch (pen->dashStyle) {
    case DashStyleDash:
      d = {3, 1};
      break;
    case DashStyleDot:
      d = {1, 1};
      break;
    case DashStyleDashDot:
      d = {3, 1, 1, 1};
      break;
    case DashStyleDashDotDot:
      d = {3, 1, 1, 1, 1, 1};
      break;
    case DashStyleCustom:
      for (REAL v : pen->dashes) d << std::max<REAL>(v, 0.01f);
      break;
    default:
      break;
  }
  if (d.size() >= 2) q.setDashPattern(d);
  return q;
}

GpStatus Render(GpGraphics* g, const QPainterPath& path, const GpPen* pen, const GpBrush* brush) {
  if (!g || (!pen && !brush)) return InvalidParameter;
  HDC__* d = LookupDC(g->dc);
  if (!d) return InvalidParameter;
  PixelRows* t = d->Target();
  if (!t || path.isEmpty()) return Ok;
  const bool aa = Antialiased(g);
  const QTransform xf = g->world * DeviceTransform(d, aa);
  QRectF b = xf.map(path).boundingRect();
  if (pen) {
    const double scale = std::sqrt(std::abs(xf.determinant()));
    const double grow = std::max<double>(pen->width, 1) * std::max(scale, 1.0) * 2 + 2;
    b.adjust(-grow, -grow, grow, grow);
  } else {
    b.adjust(-2, -2, 2, 2);
  }
  TRect box{static_cast<int32_t>(std::floor(std::max(b.left(), -1e8))),
            static_cast<int32_t>(std::floor(std::max(b.top(), -1e8))),
            static_cast<int32_t>(std::ceil(std::min(b.right(), 1e8))),
            static_cast<int32_t>(std::ceil(std::min(b.bottom(), 1e8)))};
  TRect drawable{};
  for (const TRect& r : VisibleRects(d)) UnionRect(drawable, drawable, r);
  if (!IntersectRect(box, box, drawable)) return Ok;
  QImage img(box.Width(), box.Height(), QImage::Format_ARGB32_Premultiplied);
  if (img.isNull()) return OutOfMemory;
  img.fill(Qt::transparent);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, aa);
    p.translate(-box.Left, -box.Top);
    p.setTransform(xf, true);
    if (brush) {
      p.fillPath(path, brush->hatch ? QColor(Qt::white) : ToQColor(brush->fore));
    } else {
      p.strokePath(path, ToQPen(pen));
    }
  }
  if (brush && brush->hatch) {
    // The coverage takes the hatch's colours, fixed to device pixels.
    const uint8_t* bits = HatchPattern(brush->hatchStyle);
    for (int32_t y = 0; y < box.Height(); ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
      const uint8_t rowBits = bits[(box.Top + y) & 7];
      for (int32_t x = 0; x < box.Width(); ++x) {
        const uint32_t cov = qAlpha(row[x]);
        if (!cov) continue;
        const ARGB c = ((rowBits >> (7 - ((box.Left + x) & 7))) & 1) ? brush->fore : brush->back;
        const uint32_t a = (c >> 24) * cov / 255;
        row[x] = qRgba(qRed(c) * a / 255, qGreen(c) * a / 255, qBlue(c) * a / 255, a);
      }
    }
  }
  CompositeArgb(d, box, reinterpret_cast<const uint32_t*>(img.constBits()));
  return Ok;
}

QPainterPath RectPath(REAL x, REAL y, REAL w, REAL h) {
  QPainterPath p;
  p.addRect(QRectF(x, y, w, h));
  return p;
}

QPainterPath EllipsePath(REAL x, REAL y, REAL w, REAL h) {
  QPainterPath p;
  p.addEllipse(QRectF(x, y, w, h));
  return p;
}

QPainterPath PointsPath(const GpPoint* pts, int32_t n, bool close) {
  QPainterPath p;
  if (!pts || n <= 0) return p;
  p.moveTo(pts[0].X, pts[0].Y);
  for (int32_t i = 1; i < n; ++i) p.lineTo(pts[i].X, pts[i].Y);
  if (close) p.closeSubpath();
  return p;
}

}  // namespace

GpStatus GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input, void*) {
  if (!token || !input || input->GdiplusVersion != 1) return InvalidParameter;
  *token = ++g_tokens;
  return Ok;
}

void GdiplusShutdown(uintptr_t) {}

GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics) {
  if (!graphics) return InvalidParameter;
  *graphics = nullptr;
  if (!LookupDC(dc)) return InvalidParameter;
  auto* g = new GpGraphics();
  g->dc = dc;
  *graphics = g;
  return Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  delete graphics;
  return Ok;
}

GpStatus GdipSetSmoothingMode(GpGraphics* g, int32_t mode) {
  if (!g || mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias8x8) return InvalidParameter;
  g->smoothing = mode;
  return Ok;
}

GpStatus GdipGetDC(GpGraphics* g, HDC* dc) {
  if (!g || !dc) return InvalidParameter;
  *dc = g->dc;
  return Ok;
}

GpStatus GdipReleaseDC(GpGraphics* g, HDC) { return g ? Ok : InvalidParameter; }
GpStatus GdipFlush(GpGraphics* g, int32_t) { return g ? Ok : InvalidParameter; }

GpStatus GdipCreatePen1(ARGB color, REAL width, int32_t, GpPen** pen) {
  if (!pen) return InvalidParameter;
  auto* p = new GpPen();
  p->color = color;
  p->width = width;
  *pen = p;
  return Ok;
}

GpStatus GdipDeletePen(GpPen* pen) {
  if (!pen) return InvalidParameter;
  delete pen;
  return Ok;
}

GpStatus GdipSetPenWidth(GpPen* pen, REAL width) {
  if (!pen) return InvalidParameter;
  pen->width = width;
  return Ok;
}

GpStatus GdipSetPenColor(GpPen* pen, ARGB color) {
  if (!pen) return InvalidParameter;
  pen->color = color;
  return Ok;
}

GpStatus GdipSetPenDashStyle(GpPen* pen, int32_t style) {
  if (!pen || style < DashStyleSolid || style > DashStyleCustom) return InvalidParameter;
  pen->dashStyle = style;
  return Ok;
}

GpStatus GdipSetPenDashArray(GpPen* pen, const REAL* dashes, int32_t count) {
  if (!pen || !dashes || count <= 0) return InvalidParameter;
  pen->dashes.assign(dashes, dashes + count);
  pen->dashStyle = DashStyleCustom;
  return Ok;
}

GpStatus GdipSetPenLineJoin(GpPen* pen, int32_t join) {
  if (!pen) return InvalidParameter;
  pen->join = join;
  return Ok;
}

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush) {
  if (!brush) return InvalidParameter;
  auto* b = new GpBrush();
  b->fore = color;
  *brush = b;
  return Ok;
}

GpStatus GdipCreateHatchBrush(int32_t hatch, ARGB fore, ARGB back, GpHatch** brush) {
  if (!brush || hatch < HatchStyleHorizontal || hatch > HatchStyleDiagonalCross) return InvalidParameter;
  auto* b = new GpBrush();
  b->hatch = true;
  b->hatchStyle = hatch;
  b->fore = fore;
  b->back = back;
  *brush = b;
  return Ok;
}

GpStatus GdipDeleteBrush(GpBrush* brush) {
  if (!brush) return InvalidParameter;
  delete brush;
  return Ok;
}

GpStatus GdipDrawLine(GpGraphics* g, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
  if (!pen) return InvalidParameter;
  QPainterPath p;
  p.moveTo(x1, y1);
  p.lineTo(x2, y2);
  return Render(g, p, pen, nullptr);
}

GpStatus GdipDrawLinesI(GpGraphics* g, GpPen* pen, const GpPoint* points, int32_t count) {
  if (!pen || !points || count < 2) return InvalidParameter;
  return Render(g, PointsPath(points, count, false), pen, nullptr);
}

GpStatus GdipDrawRectangle(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL w, REAL h) {
  if (!pen) return InvalidParameter;
  return Render(g, RectPath(x, y, w, h), pen, nullptr);
}

GpStatus GdipFillRectangle(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL w, REAL h) {
  if (!brush) return InvalidParameter;
  return Render(g, RectPath(x, y, w, h), nullptr, brush);
}

GpStatus GdipDrawEllipse(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL w, REAL h) {
  if (!pen) return InvalidParameter;
  return Render(g, EllipsePath(x, y, w, h), pen, nullptr);
}

GpStatus GdipFillEllipse(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL w, REAL h) {
  if (!brush) return InvalidParameter;
  return Render(g, EllipsePath(x, y, w, h), nullptr, brush);
}

GpStatus GdipDrawPolygonI(GpGraphics* g, GpPen* pen, const GpPoint* points, int32_t count) {
  if (!pen || !points || count < 2) return InvalidParameter;
  return Render(g, PointsPath(points, count, true), pen, nullptr);
}

GpStatus GdipFillPolygonI(GpGraphics* g, GpBrush* brush, const GpPoint* points, int32_t count, int32_t fillMode) {
  if (!brush || !points || count < 3) return InvalidParameter;
  QPainterPath p = PointsPath(points, count, true);
  p.setFillRule(fillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  return Render(g, p, nullptr, brush);
}

GpStatus GdipDrawArc(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  if (!pen) return InvalidParameter;
  QPainterPath p;
  AddArc(p, false, x, y, w, h, start, sweep);
  return Render(g, p, pen, nullptr);
}

GpStatus GdipCreatePath(int32_t fillMode, GpPath** path) {
  if (!path) return InvalidParameter;
  auto* p = new GpPath();
  p->path.setFillRule(fillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  *path = p;
  return Ok;
}

GpStatus GdipDeletePath(GpPath* path) {
  if (!path) return InvalidParameter;
  delete path;
  return Ok;
}

GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  if (!path) return InvalidParameter;
  AddArc(path->path, path->figureOpen, x, y, w, h, start, sweep);
  path->figureOpen = true;
  return Ok;
}

GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2) {
  if (!path) return InvalidParameter;
  if (path->figureOpen)
    path->path.lineTo(x1, y1);
  else
    path->path.moveTo(x1, y1);
  path->path.lineTo(x2, y2);
  path->figureOpen = true;
  return Ok;
}

GpStatus GdipClosePathFigure(GpPath* path) {
  if (!path) return InvalidParameter;
  path->path.closeSubpath();
  path->figureOpen = false;
  return Ok;
}

GpStatus GdipDrawPath(GpGraphics* g, GpPen* pen, GpPath* path) {
  if (!pen || !path) return InvalidParameter;
  return Render(g, path->path, pen, nullptr);
}

GpStatus GdipFillPath(GpGraphics* g, GpBrush* brush, GpPath* path) {
  if (!brush || !path) return InvalidParameter;
  return Render(g, path->path, nullptr, brush);
}

GpStatus GdipCreateMatrix(GpMatrix** matrix) {
  if (!matrix) return InvalidParameter;
  *matrix = new GpMatrix();
  return Ok;
}

GpStatus GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix) {
  if (!matrix) return InvalidParameter;
  *matrix = new GpMatrix{QTransform(m11, m12, m21, m22, dx, dy)};
  return Ok;
}

GpStatus GdipDeleteMatrix(GpMatrix* matrix) {
  if (!matrix) return InvalidParameter;
  delete matrix;
  return Ok;
}

GpStatus GdipGetMatrixElements(const GpMatrix* matrix, REAL* e) {
  if (!matrix || !e) return InvalidParameter;
  const QTransform& m = matrix->m;
  e[0] = static_cast<REAL>(m.m11());
  e[1] = static_cast<REAL>(m.m12());
  e[2] = static_cast<REAL>(m.m21());
  e[3] = static_cast<REAL>(m.m22());
  e[4] = static_cast<REAL>(m.dx());
  e[5] = static_cast<REAL>(m.dy());
  return Ok;
}

GpStatus GdipSetWorldTransform(GpGraphics* g, GpMatrix* matrix) {
  if (!g || !matrix || !matrix->m.isInvertible()) return InvalidParameter;
  g->world = matrix->m;
  return Ok;
}

GpStatus GdipGetWorldTransform(GpGraphics* g, GpMatrix* matrix) {
  if (!g || !matrix) return InvalidParameter;
  matrix->m = g->world;
  return Ok;
}

GpStatus GdipResetWorldTransform(GpGraphics* g) {
  if (!g) return InvalidParameter;
  g->world = QTransform();
  return Ok;
}

namespace {
GpStatus Combine(GpGraphics* g, const QTransform& t, int32_t order) {
  if (!g) return InvalidParameter;
  // Prepend: the new operation acts first.
  g->world = order == MatrixOrderAppend ? g->world * t : t * g->world;
  return Ok;
}
}  // namespace

GpStatus GdipRotateWorldTransform(GpGraphics* g, REAL angle, int32_t order) {
  return Combine(g, QTransform().rotate(angle), order);
}
GpStatus GdipTranslateWorldTransform(GpGraphics* g, REAL dx, REAL dy, int32_t order) {
  return Combine(g, QTransform::fromTranslate(dx, dy), order);
}
GpStatus GdipScaleWorldTransform(GpGraphics* g, REAL sx, REAL sy, int32_t order) {
  return Combine(g, QTransform::fromScale(sx, sy), order);
}
