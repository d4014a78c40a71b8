#include "platform/gdi/metafile_player.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainterPathStroker>
#include <QtGui/QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/packed_dib.h"
#include "platform/system/debug_log.h"

namespace metafile {

namespace {

constexpr size_t kMaxSavedStates = 4096;
// A dashed stroke whose device extent passes this falls back to a solid one: dashing a line of
// millions of pixels would take the player minutes for what mostly lies off the picture.
constexpr double kMaxDashedExtent = 65536;

bool Finite(const QTransform& t) {
  const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
  for (double x : v)
    if (!std::isfinite(x) || std::fabs(x) > 1e12) return false;
  return std::fabs(t.determinant()) > 1e-12;
}

// Length of a logical unit along x and y in device pixels.
double ScaleOf(const QTransform& t) { return std::sqrt(std::fabs(t.determinant())); }

}  // namespace

Player::Player(QImage& image, const QTransform& base, double pixelsPerMmX, double pixelsPerMmY)
    : image_(image), base_(base), ppmX_(pixelsPerMmX > 0 ? pixelsPerMmX : 96 / 25.4),
      ppmY_(pixelsPerMmY > 0 ? pixelsPerMmY : 96 / 25.4) {
  p_.begin(&image_);
  p_.setRenderHint(QPainter::Antialiasing, false);
  p_.setRenderHint(QPainter::TextAntialiasing, true);
}

Player::~Player() { p_.end(); }

void Player::Skipped(const char* format, uint32_t kind) {
  char name[64];
  std::snprintf(name, sizeof name, format, kind);
  if (skipped_.insert(name).second) OutputDebugString(std::string("Metafile: record skipped: ") + name);
}

// ------------------------------------------------------------------------------------ mapping

bool Player::Transform(QTransform& out) const {
  double sx = 1, sy = 1;
  switch (st_.mapMode) {
    case MM_LOMETRIC: sx = 0.1 * ppmX_, sy = -0.1 * ppmY_; break;
    case MM_HIMETRIC: sx = 0.01 * ppmX_, sy = -0.01 * ppmY_; break;
    case MM_LOENGLISH: sx = 0.254 * ppmX_, sy = -0.254 * ppmY_; break;
    case MM_HIENGLISH: sx = 0.0254 * ppmX_, sy = -0.0254 * ppmY_; break;
    case MM_TWIPS: sx = 25.4 / 1440 * ppmX_, sy = -25.4 / 1440 * ppmY_; break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
      sx = st_.viewportExt.width() / st_.windowExt.width();
      sy = st_.viewportExt.height() / st_.windowExt.height();
      if (st_.mapMode == MM_ISOTROPIC) {
        // The smaller scale for both axes, each keeping its sign.
        const double m = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    default: break;
  }
  const QTransform page = QTransform::fromTranslate(-st_.windowOrg.x(), -st_.windowOrg.y()) *
                          QTransform::fromScale(sx, sy) *
                          QTransform::fromTranslate(st_.viewportOrg.x(), st_.viewportOrg.y());
  out = st_.world * page * base_;
  return Finite(out);
}

void Player::SetMapMode(int32_t mode) {
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return;
  st_.mapMode = mode;
}

void Player::SetWindowExt(double x, double y) {
  if (x == 0 || y == 0 || !Sane(x) || !Sane(y)) return;
  st_.windowExt = {x, y};
}

void Player::SetViewportExt(double x, double y) {
  if (x == 0 || y == 0 || !Sane(x) || !Sane(y)) return;
  st_.viewportExt = {x, y};
}

void Player::SetWorldTransform(const QTransform& t) {
  if (Finite(t)) st_.world = t;
}

void Player::ModifyWorldTransform(const QTransform& t, uint32_t mode) {
  QTransform next = st_.world;
  switch (mode) {
    case MWT_IDENTITY: next = QTransform(); break;
    case MWT_LEFTMULTIPLY: next = t * st_.world; break;
    case MWT_RIGHTMULTIPLY: next = st_.world * t; break;
    case 4: next = t; break;  // MWT_SET
    default: return;
  }
  if (Finite(next)) st_.world = next;
}

void Player::SaveDC() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(st_);
}

void Player::RestoreDC(int32_t relative) {
  // Negative: that many states back; positive: the state with that number (1 = the first saved).
  int64_t index = relative < 0 ? static_cast<int64_t>(saved_.size()) + relative : int64_t{relative} - 1;
  if (index < 0 || index >= static_cast<int64_t>(saved_.size())) return;
  st_ = saved_[static_cast<size_t>(index)];
  saved_.resize(static_cast<size_t>(index));
  ApplyClip();
}

void Player::Select(const Object& o) {
  switch (o.kind) {
    case Object::kPen: st_.pen = o.pen; break;
    case Object::kBrush: st_.brush = o.brush; break;
    case Object::kFont: st_.font = o.font; break;
    case Object::kRegion: SelectClipRegion(o.region, RGN_COPY, false); break;
    default: break;
  }
}

// ------------------------------------------------------------------------------- pens, brushes

QPen Player::MakePen(double scale) const {
  const Pen& pen = st_.pen;
  const uint32_t style = pen.style & PS_STYLE_MASK;
  if (style == PS_NULL) return QPen(Qt::NoPen);
  QColor color = pen.color;
  if (st_.rop2 == R2_BLACK) color = Qt::black;
  if (st_.rop2 == R2_WHITE) color = Qt::white;
  QPen q(color);
  const bool wide = pen.width > 1 || (pen.style & PS_GEOMETRIC);
  if (wide) {
    q.setWidthF(std::max(pen.width * scale, 0.0));
    const uint32_t cap = pen.style & PS_ENDCAP_MASK, join = pen.style & PS_JOIN_MASK;
    q.setCapStyle(cap == PS_ENDCAP_SQUARE ? Qt::SquareCap : cap == PS_ENDCAP_FLAT ? Qt::FlatCap : Qt::RoundCap);
    q.setJoinStyle(join == PS_JOIN_BEVEL ? Qt::BevelJoin : join == PS_JOIN_MITER ? Qt::MiterJoin : Qt::RoundJoin);
  } else {
    q.setWidth(0);  // one device pixel, whatever the mapping
    q.setCosmetic(true);
  }
  switch (style) {
    case PS_DASH: q.setStyle(Qt::DashLine); break;
    case PS_DOT:
    case PS_ALTERNATE: q.setStyle(Qt::DotLine); break;
    case PS_DASHDOT: q.setStyle(Qt::DashDotLine); break;
    case PS_DASHDOTDOT: q.setStyle(Qt::DashDotDotLine); break;
    case PS_USERSTYLE: {
      // Lengths in logical units; the toolkit counts them in pen widths.
      QVector<qreal> d;
      const double w = wide && pen.width > 0 ? pen.width : 1;
      for (qreal v : pen.dashes) d.push_back(std::max<qreal>(v / w, 0.01));
      if (d.size() % 2) d.push_back(d.back());
      if (!d.isEmpty()) q.setDashPattern(d);
      break;
    }
    default: break;
  }
  return q;
}

QBrush Player::MakeBrush(const Brush& b, const QTransform& t) const {
  QBrush q;
  switch (b.style) {
    case BS_SOLID: q = QBrush(b.color); break;
    case BS_HATCHED: {
      static const Qt::BrushStyle kHatch[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                              Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
      q = QBrush(b.color, b.hatch >= 0 && b.hatch < 6 ? kHatch[b.hatch] : Qt::SolidPattern);
      break;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
      if (b.pattern.isNull()) return QBrush(Qt::NoBrush);
      q = QBrush(b.pattern);
      break;
    default: return QBrush(Qt::NoBrush);
  }
  // Patterns keep to the device's pixel grid, as the GDI draws them.
  if (q.style() != Qt::SolidPattern) q.setTransform(t.inverted());
  return q;
}

void Player::ApplyRop2() {
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (st_.rop2) {
    case R2_NOT: mode = QPainter::RasterOp_NotDestination; break;
    case R2_XORPEN: mode = QPainter::RasterOp_SourceXorDestination; break;
    case R2_NOTXORPEN: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case R2_MASKPEN: mode = QPainter::RasterOp_SourceAndDestination; break;
    case R2_MERGEPEN: mode = QPainter::RasterOp_SourceOrDestination; break;
    case R2_NOTCOPYPEN: mode = QPainter::RasterOp_NotSource; break;
    case R2_NOTMASKPEN: mode = QPainter::RasterOp_NotSourceOrNotDestination; break;
    case R2_NOTMERGEPEN: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case R2_MASKPENNOT: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case R2_MASKNOTPEN: mode = QPainter::RasterOp_NotSourceAndDestination; break;
    case R2_MERGENOTPEN: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    default: break;
  }
  p_.setCompositionMode(mode);
}

bool Player::Prepare(QTransform& t) {
  if (st_.rop2 == R2_NOP || !Transform(t)) return false;
  p_.setTransform(t);
  p_.setOpacity(1);
  ApplyRop2();
  return true;
}

// ------------------------------------------------------------------------------------ drawing

void Player::Shape(const QPainterPath& logical, bool fill, bool stroke) {
  QTransform t;
  if (inPath_) {
    if (Transform(t)) path_.addPath(t.map(logical));
    return;
  }
  if (!Prepare(t)) return;
  QPainterPath path = logical;
  path.setFillRule(st_.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  if (fill) {
    QBrush brush = MakeBrush(st_.brush, t);
    if (brush.style() != Qt::NoBrush) {
      if (st_.brush.style == BS_HATCHED && st_.bkMode == OPAQUE) p_.fillPath(path, st_.bkColor);
      p_.fillPath(path, brush);
    }
  }
  if (stroke) StrokeOpen(path);
}

void Player::StrokeOpen(const QPainterPath& logical) {
  QTransform t;
  if (!Prepare(t)) return;
  QPen pen = MakePen(1);
  if (pen.style() == Qt::NoPen) return;
  if (pen.style() != Qt::SolidLine) {
    const QRectF box = t.mapRect(logical.controlPointRect());
    if (box.width() > kMaxDashedExtent || box.height() > kMaxDashedExtent) pen.setStyle(Qt::SolidLine);
  }
  p_.strokePath(logical, pen);
}

void Player::OpenFigure(const QPainterPath& logical, bool connect) {
  QTransform t;
  if (!inPath_) {
    StrokeOpen(logical);
  } else if (Transform(t)) {
    if (connect)
      path_.connectPath(t.map(logical));
    else
      path_.addPath(t.map(logical));
  }
}

void Player::MoveTo(QPointF p) {
  st_.curPos = p;
  QTransform t;
  if (inPath_ && Transform(t)) path_.moveTo(t.map(p));
}

void Player::LineTo(QPointF p) {
  QTransform t;
  if (inPath_) {
    if (Transform(t)) {
      if (path_.elementCount() == 0) path_.moveTo(t.map(st_.curPos));
      path_.lineTo(t.map(p));
    }
  } else {
    QPainterPath path(st_.curPos);
    path.lineTo(p);
    StrokeOpen(path);
  }
  st_.curPos = p;
}

void Player::Polyline(const std::vector<QPointF>& pts, bool fromCurrent) {
  if (pts.empty()) return;
  if (inPath_) {
    size_t i = 0;
    if (!fromCurrent) MoveTo(pts[i++]);
    for (; i < pts.size(); ++i) LineTo(pts[i]);
    return;
  }
  QPainterPath path(fromCurrent ? st_.curPos : pts[0]);
  for (size_t i = fromCurrent ? 0 : 1; i < pts.size(); ++i) path.lineTo(pts[i]);
  StrokeOpen(path);
  if (fromCurrent) st_.curPos = pts.back();
}

void Player::PolyPolyline(const std::vector<std::vector<QPointF>>& lines) {
  for (const auto& l : lines) Polyline(l, false);
}

void Player::Polygon(const std::vector<std::vector<QPointF>>& polys) {
  QPainterPath path;
  for (const auto& poly : polys) {
    if (poly.empty()) continue;
    path.addPolygon(QPolygonF(QList<QPointF>(poly.begin(), poly.end())));
    path.closeSubpath();
  }
  Shape(path, true, true);
}

void Player::PolyBezier(const std::vector<QPointF>& pts, bool fromCurrent) {
  size_t i = 0;
  QPointF start = st_.curPos;
  if (!fromCurrent) {
    if (pts.empty()) return;
    start = pts[i++];
  }
  QPainterPath path(start);
  for (; i + 3 <= pts.size(); i += 3) path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
  QTransform t;
  if (inPath_) {
    if (Transform(t)) {
      if (!fromCurrent || path_.elementCount() == 0) path_.moveTo(t.map(start));
      path_.connectPath(t.map(path));
    }
  } else {
    StrokeOpen(path);
  }
  if (fromCurrent) st_.curPos = path.currentPosition();
}

void Player::PolyDraw(const std::vector<QPointF>& pts, const std::vector<uint8_t>& types) {
  QPainterPath path(st_.curPos);
  const size_t n = std::min(pts.size(), types.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t type = types[i] & ~PT_CLOSEFIGURE;
    if (type == PT_MOVETO) {
      path.moveTo(pts[i]);
    } else if (type == PT_LINETO) {
      path.lineTo(pts[i]);
    } else if (type == PT_BEZIERTO && i + 2 < n) {
      path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
      i += 2;
    } else {
      break;
    }
    if (types[i] & PT_CLOSEFIGURE) path.closeSubpath();
  }
  OpenFigure(path, false);
  st_.curPos = path.currentPosition();
}

void Player::Rectangle(QRectF box) {
  QPainterPath path;
  path.addRect(box.normalized());
  Shape(path, true, true);
}

void Player::RoundRect(QRectF box, double w, double h) {
  QPainterPath path;
  path.addRoundedRect(box.normalized(), std::fabs(w) / 2, std::fabs(h) / 2);
  Shape(path, true, true);
}

void Player::Ellipse(QRectF box) {
  QPainterPath path;
  path.addEllipse(box.normalized());
  Shape(path, true, true);
}

// An arc of the ellipse in box from where the ray from its centre through start meets it to
// where the ray through end does, in the state's direction; connect draws a line to its start
// from the path's current point.
void Player::ArcPath(QPainterPath& path, QRectF box, QPointF start, QPointF end, bool connect) const {
  box = box.normalized();
  const QPointF c = box.center();
  const double a = std::max(box.width() / 2, 1e-9), b = std::max(box.height() / 2, 1e-9);
  // Angles of the ellipse's parameter, counter-clockwise as seen on a y-down device.
  auto angle = [&](QPointF q) { return std::atan2(-(q.y() - c.y()) / b, (q.x() - c.x()) / a) * 180 / M_PI; };
  const double a0 = angle(start), a1 = angle(end);
  double sweep = a1 - a0;
  if (st_.clockwise) {
    while (sweep >= 0) sweep -= 360;
  } else {
    while (sweep <= 0) sweep += 360;
  }
  if (connect) {
    QPainterPath probe;
    probe.arcMoveTo(box, a0);
    path.lineTo(probe.currentPosition());
  } else {
    path.arcMoveTo(box, a0);
  }
  path.arcTo(box, a0, sweep);
}

void Player::ArcShape(QRectF box, QPointF start, QPointF end, int kind) {
  if (!Sane(box.left()) || !Sane(box.right()) || !Sane(box.top()) || !Sane(box.bottom())) return;
  QPainterPath path;
  if (kind == 3) {
    path.moveTo(st_.curPos);
    ArcPath(path, box, start, end, true);
    st_.curPos = path.currentPosition();
    OpenFigure(path, true);
    return;
  }
  ArcPath(path, box, start, end, false);
  if (kind == 0) {
    OpenFigure(path, false);
    return;
  }
  if (kind == 2) path.lineTo(box.normalized().center());
  path.closeSubpath();
  Shape(path, true, true);
}

void Player::AngleArc(QPointF center, double radius, double startDeg, double sweepDeg) {
  if (!Sane(radius) || !Sane(startDeg) || !Sane(sweepDeg)) return;
  const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
  QPainterPath path(st_.curPos);
  QPainterPath probe;
  probe.arcMoveTo(box, startDeg);
  path.lineTo(probe.currentPosition());
  path.arcTo(box, startDeg, std::clamp(sweepDeg, -3600.0, 3600.0));
  st_.curPos = path.currentPosition();
  OpenFigure(path, true);
}

void Player::SetPixel(QPointF p, QColor c) {
  QTransform t;
  if (!Transform(t)) return;
  const QPointF d = t.map(p);
  if (!Sane(d.x()) || !Sane(d.y())) return;
  const int x = static_cast<int>(std::floor(d.x() + 0.5)), y = static_cast<int>(std::floor(d.y() + 0.5));
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  if (st_.hasClip && !st_.clip.contains(QPointF(x + 0.5, y + 0.5))) return;
  p_.resetTransform();
  p_.setCompositionMode(QPainter::CompositionMode_Source);
  p_.fillRect(QRect(x, y, 1, 1), c);
}

void Player::FloodFill(QPointF p, QColor c, bool surface) {
  // Each fill reads the whole picture: a file of thousands of them would take minutes.
  constexpr int32_t kMaxFloodFills = 32;
  QTransform t;
  if (++floodFills_ > kMaxFloodFills) return Skipped("flood fill %u and later ones", kMaxFloodFills + 1);
  if (!Transform(t)) return;
  const QPointF d = t.map(p);
  if (!Sane(d.x()) || !Sane(d.y())) return;
  const int x0 = static_cast<int>(std::floor(d.x())), y0 = static_cast<int>(std::floor(d.y()));
  const int w = image_.width(), h = image_.height();
  if (x0 < 0 || y0 < 0 || x0 >= w || y0 >= h) return;
  // The painter lets go of the pixels while the fill reads them; the mask it builds is filled with
  // the brush afterwards.
  p_.end();
  const QImage pixels = image_.convertToFormat(QImage::Format_RGB32);
  const QRgb key = c.rgb() | 0xFF000000u;
  auto inside = [&](int x, int y) {
    const QRgb v = reinterpret_cast<const QRgb*>(pixels.constScanLine(y))[x] | 0xFF000000u;
    return surface ? v == key : v != key;
  };
  std::vector<uint8_t> seen(static_cast<size_t>(w) * h, 0);
  QPainterPath area;
  if (inside(x0, y0)) {
    std::vector<std::pair<int, int>> stack{{x0, y0}};
    while (!stack.empty()) {
      auto [x, y] = stack.back();
      stack.pop_back();
      if (seen[static_cast<size_t>(y) * w + x]) continue;
      int l = x, r = x;
      while (l > 0 && !seen[static_cast<size_t>(y) * w + l - 1] && inside(l - 1, y)) --l;
      while (r + 1 < w && !seen[static_cast<size_t>(y) * w + r + 1] && inside(r + 1, y)) ++r;
      for (int i = l; i <= r; ++i) seen[static_cast<size_t>(y) * w + i] = 1;
      area.addRect(l, y, r - l + 1, 1);
      for (int ny : {y - 1, y + 1}) {
        if (ny < 0 || ny >= h) continue;
        for (int i = l; i <= r; ++i)
          if (!seen[static_cast<size_t>(ny) * w + i] && inside(i, ny)) stack.push_back({i, ny});
      }
    }
  }
  p_.begin(&image_);
  p_.setRenderHint(QPainter::Antialiasing, false);
  p_.setRenderHint(QPainter::TextAntialiasing, true);
  ApplyClip();
  if (area.isEmpty() || !Prepare(t)) return;
  p_.resetTransform();
  p_.fillPath(area.simplified(), MakeBrush(st_.brush, QTransform()));
}

// -------------------------------------------------------------------------------------- paths

void Player::BeginPath() {
  inPath_ = true;
  path_ = QPainterPath();
}

void Player::AbortPath() {
  inPath_ = false;
  path_ = QPainterPath();
}

void Player::CloseFigure() {
  if (inPath_) path_.closeSubpath();
}

void Player::FillPath(bool fill, bool stroke) {
  inPath_ = false;
  QPainterPath path = path_;
  path_ = QPainterPath();
  QTransform t;
  if (path.isEmpty() || !Prepare(t)) return;
  path.setFillRule(st_.polyFill == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  p_.resetTransform();
  if (fill) {
    QBrush brush = MakeBrush(st_.brush, QTransform());
    if (brush.style() != Qt::NoBrush) {
      if (st_.brush.style == BS_HATCHED && st_.bkMode == OPAQUE) p_.fillPath(path, st_.bkColor);
      p_.fillPath(path, brush);
    }
  }
  if (stroke) {
    QPen pen = MakePen(ScaleOf(t));
    const QRectF box = path.controlPointRect();
    if (pen.style() != Qt::SolidLine && (box.width() > kMaxDashedExtent || box.height() > kMaxDashedExtent))
      pen.setStyle(Qt::SolidLine);
    if (pen.style() != Qt::NoPen) p_.strokePath(path, pen);
  }
}

void Player::FlattenPath() {
  QPainterPath flat;
  for (const QPolygonF& poly : path_.toSubpathPolygons()) flat.addPolygon(poly);
  path_ = flat;
}

void Player::WidenPath() {
  QTransform t;
  if (!Transform(t)) return;
  QPainterPathStroker stroker;
  stroker.setWidth(std::max(st_.pen.width * ScaleOf(t), 1.0));
  path_ = stroker.createStroke(path_);
}

void Player::SelectClipPath(int32_t mode) {
  inPath_ = false;
  CombineClip(path_, mode);
  path_ = QPainterPath();
}

// ----------------------------------------------------------------------------------- clipping

QPainterPath Player::WholeImage() const {
  QPainterPath all;
  all.addRect(QRectF(0, 0, image_.width(), image_.height()));
  return all;
}

void Player::ApplyClip() {
  p_.resetTransform();
  if (st_.hasClip) p_.setClipPath(st_.clip);
  else p_.setClipping(false);
}

void Player::CombineClip(const QPainterPath& device, int32_t mode) {
  const QPainterPath current = st_.hasClip ? st_.clip : WholeImage();
  switch (mode) {
    case RGN_AND: st_.clip = current.intersected(device); break;
    case RGN_OR: st_.clip = current.united(device); break;
    case RGN_XOR: st_.clip = current.united(device).subtracted(current.intersected(device)); break;
    case RGN_DIFF: st_.clip = current.subtracted(device); break;
    case RGN_COPY: st_.clip = device; break;
    default: return;
  }
  st_.hasClip = true;
  ApplyClip();
}

void Player::IntersectClipRect(QRectF r) {
  QTransform t;
  if (!Transform(t)) return;
  QPainterPath path;
  path.addRect(r.normalized());
  CombineClip(t.map(path), RGN_AND);
}

void Player::ExcludeClipRect(QRectF r) {
  QTransform t;
  if (!Transform(t)) return;
  QPainterPath path;
  path.addRect(r.normalized());
  CombineClip(t.map(path), RGN_DIFF);
}

void Player::OffsetClip(double dx, double dy) {
  QTransform t;
  if (!st_.hasClip || !Transform(t) || !Sane(dx) || !Sane(dy)) return;
  const QPointF o = t.map(QPointF(dx, dy)) - t.map(QPointF(0, 0));
  st_.clip.translate(o);
  ApplyClip();
}

void Player::SelectClipRegion(const QPainterPath& region, int32_t mode, bool deviceUnits) {
  if (region.isEmpty() && mode == RGN_COPY) {
    st_.hasClip = false;
    st_.clip = QPainterPath();
    ApplyClip();
    return;
  }
  QTransform t;
  if (deviceUnits) t = base_;
  else if (!Transform(t)) return;
  CombineClip(t.map(region), mode);
}

void Player::FillRegion(const QPainterPath& region, const Brush& brush) {
  QTransform t;
  if (region.isEmpty() || !Prepare(t)) return;
  QBrush b = MakeBrush(brush, t);
  if (b.style() != Qt::NoBrush) p_.fillPath(region, b);
}

void Player::FrameRegion(const QPainterPath& region, const Brush& brush, double w, double h) {
  QTransform t;
  if (region.isEmpty() || !Prepare(t)) return;
  // The frame is the region less the region shrunk by the stroke sizes.
  const double s = std::max(std::fabs(w), std::fabs(h));
  QPainterPathStroker stroker;
  stroker.setWidth(2 * std::max(s, 1.0));
  const QPainterPath frame = region.intersected(stroker.createStroke(region));
  QBrush b = MakeBrush(brush, t);
  if (b.style() != Qt::NoBrush) p_.fillPath(frame, b);
}

void Player::InvertRegion(const QPainterPath& region) {
  QTransform t;
  if (region.isEmpty() || !Transform(t)) return;
  p_.setTransform(t);
  p_.setCompositionMode(QPainter::RasterOp_NotDestination);
  p_.fillPath(region, Qt::black);
  p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// --------------------------------------------------------------------------------------- text

void Player::Text(QPointF ref, const QString& text, const std::vector<int32_t>& dx, uint32_t options,
                  const QRectF* rect) {
  QTransform t;
  if (st_.rop2 == R2_NOP || !Transform(t)) return;
  if (st_.textAlign & TA_UPDATECP) ref = st_.curPos;
  const QPointF origin = t.map(ref);
  if (!Sane(origin.x()) || !Sane(origin.y())) return;
  const double xScale = std::hypot(t.m11(), t.m12()), yScale = std::hypot(t.m21(), t.m22());

  p_.setOpacity(1);
  p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  // The opaque and clipping rectangle lies in logical units.
  QPainterPath rectPath;
  if (rect && (options & (ETO_OPAQUE | ETO_CLIPPED))) {
    rectPath.addRect(rect->normalized());
    rectPath = t.map(rectPath);
    if (options & ETO_OPAQUE) {
      p_.resetTransform();
      p_.fillPath(rectPath, st_.bkColor);
    }
  }
  // Glyphs need the toolkit's font database, which only a running application has (a tool without
  // one still gets the rectangles).
  if (text.isEmpty() || !QGuiApplication::instance()) return;

  const Font& f = st_.font;
  QFont font(f.face.isEmpty() ? QStringLiteral("Arial") : f.face);
  double height = f.height == 0 ? 12 : std::fabs(static_cast<double>(f.height)) * yScale;
  height = std::clamp(height, 0.5, 4096.0);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(height))));
  if (f.height > 0) {
    // A positive height is the cell's (ascent and descent), the toolkit's size the character's.
    const double cell = QFontMetricsF(font).height();
    if (cell > 0) font.setPixelSize(std::max(1, static_cast<int>(std::lround(height * height / cell))));
  }
  font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight == 0 ? 400 : f.weight, 1, 1000)));
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeOut);
  if (f.width > 0) {
    const double avg = QFontMetricsF(font).averageCharWidth();
    if (avg > 0) font.setStretch(std::clamp(static_cast<int>(std::lround(100 * f.width * xScale / avg)), 1, 4000));
  }
  const QFontMetricsF fm(font);

  // Glyph positions along the baseline in device pixels.
  const bool pdy = (options & ETO_PDY) != 0;
  const size_t step = pdy ? 2 : 1;
  std::vector<double> xs(static_cast<size_t>(text.size()) + 1, 0);
  bool advances = dx.size() >= static_cast<size_t>(text.size()) * step;
  for (qsizetype i = 0; i < text.size(); ++i)
    xs[i + 1] = xs[i] + (advances ? dx[static_cast<size_t>(i) * step] * xScale : fm.horizontalAdvance(text[i]));
  const double width = advances ? xs.back() : fm.horizontalAdvance(text);

  double x0 = 0, y0 = 0;
  const uint32_t h = st_.textAlign & TA_CENTER, v = st_.textAlign & TA_BASELINE;
  if (h == TA_CENTER) x0 = -width / 2;
  else if (h == TA_RIGHT) x0 = -width;
  if (v == TA_BASELINE) y0 = 0;
  else if (v == TA_BOTTOM) y0 = -fm.descent();
  else y0 = fm.ascent();

  // Escapement in tenths of a degree, counter-clockwise; a mirrored mapping turns the other way.
  double angle = -f.escapement / 10.0;
  if (t.m22() < 0 && t.m11() > 0) angle = -angle;
  QTransform at;
  at.translate(origin.x(), origin.y());
  at.rotate(angle);

  if (!rectPath.isEmpty() && (options & ETO_CLIPPED)) {
    p_.resetTransform();
    p_.setClipPath(rectPath, st_.hasClip ? Qt::IntersectClip : Qt::ReplaceClip);
  }
  p_.setTransform(at);
  p_.setFont(font);
  if (st_.bkMode == OPAQUE && !(options & ETO_OPAQUE))
    p_.fillRect(QRectF(x0, y0 - fm.ascent(), width, fm.height()), st_.bkColor);
  p_.setPen(st_.textColor);
  if (advances) {
    for (qsizetype i = 0; i < text.size(); ++i) p_.drawText(QPointF(x0 + xs[i], y0), QString(text[i]));
  } else {
    p_.drawText(QPointF(x0, y0), text);
  }
  if (!rectPath.isEmpty() && (options & ETO_CLIPPED)) ApplyClip();
  if (st_.textAlign & TA_UPDATECP) {
    const QPointF end = at.map(QPointF(width, 0));
    st_.curPos = t.inverted().map(end);
  }
}

// ------------------------------------------------------------------------------------ bitmaps

void Player::Blit(const QRectF& dest, const QImage& image, const QRectF& source, uint32_t rop) {
  QTransform t;
  if (!Prepare(t)) return;
  const uint8_t op = static_cast<uint8_t>(rop >> 16);
  p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (op == 0xAA) return;  // the destination unchanged
  if (image.isNull() || !RopUsesSource(op)) {
    QPainterPath area;
    area.addRect(dest.normalized());
    switch (op) {
      case 0x00: p_.fillPath(area, Qt::black); return;  // BLACKNESS
      case 0xFF: p_.fillPath(area, Qt::white); return;  // WHITENESS
      case 0x55:  // DSTINVERT
        p_.setCompositionMode(QPainter::RasterOp_NotDestination);
        p_.fillPath(area, Qt::black);
        return;
      case 0x5A:  // PATINVERT
        p_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p_.fillPath(area, MakeBrush(st_.brush, t));
        return;
      default: {  // PATCOPY and the rest: the brush
        QBrush b = MakeBrush(st_.brush, t);
        if (b.style() != Qt::NoBrush) p_.fillPath(area, b);
        return;
      }
    }
  }
  if (source.width() == 0 || source.height() == 0 || dest.width() == 0 || dest.height() == 0) return;
  switch (op) {
    case 0x88: p_.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;  // SRCAND
    case 0xEE: p_.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;   // SRCPAINT
    case 0x66: p_.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;  // SRCINVERT
    case 0x33: p_.setCompositionMode(QPainter::RasterOp_NotSource); break;             // NOTSRCCOPY
    case 0x44: p_.setCompositionMode(QPainter::RasterOp_SourceAndNotDestination); break;  // SRCERASE
    case 0x11: p_.setCompositionMode(QPainter::RasterOp_NotSourceAndNotDestination); break;  // NOTSRCERASE
    case 0xBB: p_.setCompositionMode(QPainter::RasterOp_NotSourceOrDestination); break;  // MERGEPAINT
    default: break;  // SRCCOPY and the others: the source
  }
  // The source rectangle onto the destination rectangle (negative sizes mirror).
  const QTransform fit = QTransform::fromTranslate(-source.x(), -source.y()) *
                         QTransform::fromScale(dest.width() / source.width(), dest.height() / source.height()) *
                         QTransform::fromTranslate(dest.x(), dest.y());
  const QTransform full = fit * t;
  if (!Finite(full)) return;
  p_.setTransform(full);
  p_.setRenderHint(QPainter::SmoothPixmapTransform, st_.stretchMode == 4);  // HALFTONE
  const QRectF src = source.normalized();
  p_.drawImage(src, image, src);
  p_.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void Player::AlphaBlit(const QRectF& dest, const QImage& image, const QRectF& source, uint8_t constantAlpha) {
  QTransform t;
  if (image.isNull() || !Prepare(t) || source.width() == 0 || source.height() == 0) return;
  const QTransform fit = QTransform::fromTranslate(-source.x(), -source.y()) *
                         QTransform::fromScale(dest.width() / source.width(), dest.height() / source.height()) *
                         QTransform::fromTranslate(dest.x(), dest.y());
  const QTransform full = fit * t;
  if (!Finite(full)) return;
  p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p_.setTransform(full);
  p_.setOpacity(constantAlpha / 255.0);
  const QRectF src = source.normalized();
  p_.drawImage(src, image, src);
  p_.setOpacity(1);
}

void Player::GradientRect(const QRectF& r, QColor a, QColor b, bool vertical) {
  QTransform t;
  if (!Prepare(t)) return;
  const QRectF n = r.normalized();
  QLinearGradient g(n.topLeft(), vertical ? n.bottomLeft() : n.topRight());
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  p_.fillRect(n, g);
}

void Player::GradientTriangle(const QPointF p[3], const QColor c[3]) {
  QTransform t;
  if (!Prepare(t)) return;
  // Each vertex's colour fades towards the opposite side; three linear blends approximate the
  // shading, over the mean colour.
  QPolygonF tri;
  tri << p[0] << p[1] << p[2];
  QPainterPath path;
  path.addPolygon(tri);
  path.closeSubpath();
  const QColor mean((c[0].red() + c[1].red() + c[2].red()) / 3, (c[0].green() + c[1].green() + c[2].green()) / 3,
                    (c[0].blue() + c[1].blue() + c[2].blue()) / 3);
  p_.fillPath(path, mean);
}

// --------------------------------------------------------------------------------------- DIBs

QImage ImageFromDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize, bool withAlpha) {
  const BITMAPINFO* bi = nullptr;
  if (!info || !bits || !ParseSplitDIB(info, infoSize, bits, bitsSize, &bi)) return QImage();
  PixelRows rows;
  if (!DibRowsFromInfo(bi, bits, rows)) return QImage();
  const bool alpha = withAlpha && rows.bitCount == 32 && bi->bmiHeader.biCompression == BI_RGB;
  QImage image(rows.width, rows.height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) return QImage();
  for (int32_t y = 0; y < rows.height; ++y) {
    auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
    if (alpha) {
      std::memcpy(out, rows.Row(y), static_cast<size_t>(rows.width) * 4);
      // Colour above the alpha is not premultiplied: keep each channel within its alpha.
      for (int32_t x = 0; x < rows.width; ++x) {
        const uint32_t v = out[x], a = v >> 24;
        const uint32_t r = std::min((v >> 16) & 0xFF, a), g = std::min((v >> 8) & 0xFF, a), b = std::min(v & 0xFF, a);
        out[x] = a << 24 | r << 16 | g << 8 | b;
      }
    } else {
      ReadRgb(rows, y, 0, rows.width, out);
      for (int32_t x = 0; x < rows.width; ++x) out[x] |= 0xFF000000u;
    }
  }
  return image;
}

QImage ImageFromPackedDib(const uint8_t* data, size_t size) {
  const BITMAPINFO* bi = nullptr;
  const void* bits = nullptr;
  if (!data || !ParsePackedDIB(data, size, &bi, &bits)) return QImage();
  const size_t infoSize = static_cast<size_t>(static_cast<const uint8_t*>(bits) - data);
  return ImageFromDib(data, infoSize, static_cast<const uint8_t*>(bits), size - infoSize, false);
}

}  // namespace metafile
