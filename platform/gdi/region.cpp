// Regions and clipping. A region is a list of banded rectangles; combining goes through QRegion,
// whose rectangles keep the same banded form. Clip regions live in device coordinates.
#include <QtGui/QPainterPath>
#include <QtGui/QPolygon>
#include <QtGui/QRegion>
#include <QtGui/QTransform>

#include <cmath>
#include <cstring>

#include "platform/gdi/gdi_internal.h"

namespace {

QRegion ToQ(const std::vector<TRect>& rects) {
  QRegion r;
  if (rects.empty()) return r;
  std::vector<QRect> q;
  q.reserve(rects.size());
  for (const TRect& t : rects) q.emplace_back(t.Left, t.Top, t.Width(), t.Height());
  r.setRects(q.data(), static_cast<int>(q.size()));
  return r;
}

std::vector<TRect> FromQ(const QRegion& r) {
  std::vector<TRect> out;
  out.reserve(static_cast<size_t>(r.rectCount()));
  for (const QRect& q : r) out.push_back({q.left(), q.top(), q.left() + q.width(), q.top() + q.height()});
  return out;
}

int32_t KindOf(const std::vector<TRect>& rects) {
  if (rects.empty()) return NULLREGION;
  return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HRGN NewRegion(std::vector<TRect> rects) {
  auto r = std::make_unique<HRGN__>();
  r->rects = std::move(rects);
  return RegisterGdi(std::move(r));
}

HRGN__* Rgn(HRGN h) { return Lookup<HRGN__>(h, GdiKind::kRegion); }

TRect Normalised(int32_t l, int32_t t, int32_t r, int32_t b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  return {l, t, r, b};
}

// The pixels of a filled path, sampled at pixel centres (the GDI's fill rule for regions).
std::vector<TRect> FromPath(const QPainterPath& path) {
  // Build scan line by scan line for exactness: a pixel is in when its centre is inside.
  const QRectF box = path.boundingRect();
  const int y0 = static_cast<int>(std::floor(box.top())), y1 = static_cast<int>(std::ceil(box.bottom()));
  const int x0 = static_cast<int>(std::floor(box.left())), x1 = static_cast<int>(std::ceil(box.right()));
  QRegion reg;
  std::vector<QRect> rects;
  for (int y = y0; y < y1; ++y) {
    int runStart = -1;
    for (int x = x0; x <= x1; ++x) {
      bool in = x < x1 && path.contains(QPointF(x + 0.5, y + 0.5));
      if (in && runStart < 0) runStart = x;
      if (!in && runStart >= 0) {
        rects.emplace_back(runStart, y, x - runStart, 1);
        runStart = -1;
      }
    }
  }
  for (const QRect& r : rects) reg += r;
  return FromQ(reg);
}

}  // namespace

HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRect r = Normalised(left, top, right, bottom);
  std::vector<TRect> rects;
  if (!IsRectEmpty(r)) rects.push_back(r);
  return NewRegion(std::move(rects));
}

HRGN CreateRectRgnIndirect(const TRect* rect) {
  return rect ? CreateRectRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}

HRGN CreateEllipticRgn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRect r = Normalised(left, top, right, bottom);
  if (IsRectEmpty(r)) return NewRegion({});
  // The ellipse inscribed in the rectangle without its right and bottom edges, as the GDI makes it.
  return NewRegion(FromQ(QRegion(QRect(r.Left, r.Top, r.Width(), r.Height()), QRegion::Ellipse)));
}

HRGN CreateEllipticRgnIndirect(const TRect* rect) {
  return rect ? CreateEllipticRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height) {
  TRect r = Normalised(left, top, right, bottom);
  if (IsRectEmpty(r)) return NewRegion({});
  const int32_t w = std::min(std::abs(width), r.Width()), h = std::min(std::abs(height), r.Height());
  if (w < 2 || h < 2) return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
  // Corners are quarter ellipses of w x h; the straight parts are rectangles between them.
  QRegion reg;
  reg += QRect(r.Left + w / 2, r.Top, r.Width() - 2 * (w / 2), r.Height());
  reg += QRect(r.Left, r.Top + h / 2, r.Width(), r.Height() - 2 * (h / 2));
  reg += QRegion(QRect(r.Left, r.Top, w, h), QRegion::Ellipse);
  reg += QRegion(QRect(r.Right - w, r.Top, w, h), QRegion::Ellipse);
  reg += QRegion(QRect(r.Left, r.Bottom - h, w, h), QRegion::Ellipse);
  reg += QRegion(QRect(r.Right - w, r.Bottom - h, w, h), QRegion::Ellipse);
  return NewRegion(FromQ(reg));
}

HRGN CreatePolyPolygonRgn(const TPoint* points, const int32_t* counts, int32_t polygons, int32_t fillMode) {
  if (!points || !counts || polygons <= 0) return nullptr;
  QPainterPath path;
  path.setFillRule(fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  const TPoint* p = points;
  for (int32_t i = 0; i < polygons; ++i) {
    if (counts[i] < 0) return nullptr;
    if (counts[i] >= 2) {
      QPolygonF poly;
      for (int32_t k = 0; k < counts[i]; ++k) poly << QPointF(p[k].X, p[k].Y);
      poly << QPointF(p[0].X, p[0].Y);
      path.addPolygon(poly);
      path.closeSubpath();
    }
    p += counts[i];
  }
  return NewRegion(FromPath(path));
}

HRGN CreatePolygonRgn(const TPoint* points, int32_t count, int32_t fillMode) {
  return CreatePolyPolygonRgn(points, &count, 1, fillMode);
}

HRGN ExtCreateRegion(const XFORM* xform, uint32_t size, const RGNDATA* data) {
  if (!data || size < sizeof(RGNDATAHEADER)) return nullptr;
  if (xform) {
    const XFORM& x = *xform;
    bool identity = x.eM11 == 1 && x.eM12 == 0 && x.eM21 == 0 && x.eM22 == 1;
    if (!identity && !(x.eM12 == 0 && x.eM21 == 0)) return nullptr;
  }
  const uint32_t n = data->rdh.nCount;
  if (data->rdh.dwSize < sizeof(RGNDATAHEADER) ||
      static_cast<uint64_t>(n) * sizeof(TRect) > size - data->rdh.dwSize)
    return nullptr;
  const char* base = reinterpret_cast<const char*>(data) + data->rdh.dwSize;
  QRegion reg;
  for (uint32_t i = 0; i < n; ++i) {
    TRect t;
    std::memcpy(&t, base + i * sizeof(TRect), sizeof t);
    if (xform) {
      const double l = t.Left * xform->eM11 + xform->eDx, r = t.Right * xform->eM11 + xform->eDx;
      const double tp = t.Top * xform->eM22 + xform->eDy, b = t.Bottom * xform->eM22 + xform->eDy;
      t = Normalised(static_cast<int32_t>(std::lround(l)), static_cast<int32_t>(std::lround(tp)),
                     static_cast<int32_t>(std::lround(r)), static_cast<int32_t>(std::lround(b)));
    }
    if (!IsRectEmpty(t)) reg += QRect(t.Left, t.Top, t.Width(), t.Height());
  }
  return NewRegion(FromQ(reg));
}

uint32_t GetRegionData(HRGN region, uint32_t size, RGNDATA* data) {
  HRGN__* r = Rgn(region);
  if (!r) return 0;
  const uint32_t need = static_cast<uint32_t>(sizeof(RGNDATAHEADER) + r->rects.size() * sizeof(TRect));
  if (!data) return need;
  if (size < need) return 0;
  data->rdh = RGNDATAHEADER{};
  data->rdh.nCount = static_cast<uint32_t>(r->rects.size());
  data->rdh.nRgnSize = static_cast<uint32_t>(r->rects.size() * sizeof(TRect));
  GetRgnBox(region, &data->rdh.rcBound);
  if (!r->rects.empty()) std::memcpy(data->Buffer, r->rects.data(), r->rects.size() * sizeof(TRect));
  return need;
}

int32_t CombineRgn(HRGN dst, HRGN src1, HRGN src2, int32_t mode) {
  HRGN__* d = Rgn(dst);
  HRGN__* a = Rgn(src1);
  if (!d || !a) return ERROR;
  if (mode == RGN_COPY) {
    d->rects = a->rects;
    return KindOf(d->rects);
  }
  HRGN__* b = Rgn(src2);
  if (!b) return ERROR;
  QRegion qa = ToQ(a->rects), qb = ToQ(b->rects), out;
  switch (mode) {
    case RGN_AND:
      out = qa.intersected(qb);
      break;
    case RGN_OR:
      out = qa.united(qb);
      break;
    case RGN_XOR:
      out = qa.xored(qb);
      break;
    case RGN_DIFF:
      out = qa.subtracted(qb);
      break;
    default:
      return ERROR;
  }
  d->rects = FromQ(out);
  return KindOf(d->rects);
}

int32_t OffsetRgn(HRGN region, int32_t dx, int32_t dy) {
  HRGN__* r = Rgn(region);
  if (!r) return ERROR;
  for (TRect& t : r->rects) OffsetRect(t, dx, dy);
  return KindOf(r->rects);
}

bool SetRectRgn(HRGN region, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  HRGN__* r = Rgn(region);
  if (!r) return false;
  r->rects.clear();
  TRect t = Normalised(left, top, right, bottom);
  if (!IsRectEmpty(t)) r->rects.push_back(t);
  return true;
}

bool PtInRegion(HRGN region, int32_t x, int32_t y) {
  HRGN__* r = Rgn(region);
  if (!r) return false;
  for (const TRect& t : r->rects)
    if (PtInRect(t, {x, y})) return true;
  return false;
}

bool RectInRegion(HRGN region, const TRect* rect) {
  HRGN__* r = Rgn(region);
  if (!r || !rect) return false;
  TRect n = Normalised(rect->Left, rect->Top, rect->Right, rect->Bottom), out;
  for (const TRect& t : r->rects)
    if (IntersectRect(out, t, n)) return true;
  return false;
}

bool EqualRgn(HRGN a, HRGN b) {
  HRGN__* ra = Rgn(a);
  HRGN__* rb = Rgn(b);
  if (!ra || !rb) return false;
  return ToQ(ra->rects) == ToQ(rb->rects);
}

int32_t GetRgnBox(HRGN region, TRect* box) {
  HRGN__* r = Rgn(region);
  if (!r || !box) return ERROR;
  TRect u{};
  for (const TRect& t : r->rects) UnionRect(u, u, t);
  *box = u;
  return KindOf(r->rects);
}

// ---- Clipping -----------------------------------------------------------------------------------

int32_t ExtSelectClipRgn(HDC dc, HRGN region, int32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d) return ERROR;
  if (!region) {
    if (mode != RGN_COPY) return ERROR;
    d->st.hasClip = false;
    d->st.clip.clear();
    return SIMPLEREGION;
  }
  HRGN__* r = Rgn(region);
  if (!r) return ERROR;
  if (mode == RGN_COPY || !d->st.hasClip) {
    if (mode == RGN_COPY || mode == RGN_AND || mode == RGN_OR) {
      d->st.clip = r->rects;
    } else if (mode == RGN_DIFF || mode == RGN_XOR) {
      // No clip means the whole surface.
      PixelRows* t = d->Target();
      QRegion all = t ? QRegion(0, 0, t->width, t->height) : QRegion();
      d->st.clip = FromQ(mode == RGN_DIFF ? all.subtracted(ToQ(r->rects)) : all.xored(ToQ(r->rects)));
    } else {
      return ERROR;
    }
  } else {
    QRegion cur = ToQ(d->st.clip), other = ToQ(r->rects);
    switch (mode) {
      case RGN_AND:
        cur = cur.intersected(other);
        break;
      case RGN_OR:
        cur = cur.united(other);
        break;
      case RGN_XOR:
        cur = cur.xored(other);
        break;
      case RGN_DIFF:
        cur = cur.subtracted(other);
        break;
      default:
        return ERROR;
    }
    d->st.clip = FromQ(cur);
  }
  d->st.hasClip = true;
  return KindOf(d->st.clip);
}

int32_t SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }

int32_t GetClipRgn(HDC dc, HRGN region) {
  HDC__* d = LookupDC(dc);
  HRGN__* r = Rgn(region);
  if (!d || !r) return -1;
  if (!d->st.hasClip) return 0;
  r->rects = d->st.clip;
  return 1;
}

namespace {

// A logical rectangle as device pixels (the bounding box of its transformed area).
TRect LogicalAreaToDevice(HDC__* d, int32_t l, int32_t t, int32_t r, int32_t b) {
  Affine a = d->ToDevice();
  TRect n = Normalised(l, t, r, b);
  double xs[2] = {n.Left - 0.5, n.Right - 0.5}, ys[2] = {n.Top - 0.5, n.Bottom - 0.5};
  double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
  for (double x : xs)
    for (double y : ys) {
      double ox, oy;
      a.Map(x, y, ox, oy);
      minX = std::min(minX, ox + 0.5);
      maxX = std::max(maxX, ox + 0.5);
      minY = std::min(minY, oy + 0.5);
      maxY = std::max(maxY, oy + 0.5);
    }
  return {static_cast<int32_t>(std::lround(minX)), static_cast<int32_t>(std::lround(minY)),
          static_cast<int32_t>(std::lround(maxX)), static_cast<int32_t>(std::lround(maxY))};
}

int32_t ClipWith(HDC dc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d) return ERROR;
  TRect dev = LogicalAreaToDevice(d, l, t, r, b);
  HRGN rgn = CreateRectRgn(dev.Left, dev.Top, dev.Right, dev.Bottom);
  int32_t kind = ExtSelectClipRgn(dc, rgn, mode);
  DeleteObject(rgn);
  return kind;
}

}  // namespace

int32_t IntersectClipRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  HDC__* d = LookupDC(dc);
  if (!d) return ERROR;
  if (!d->st.hasClip) {
    PixelRows* t = d->Target();
    d->st.clip.clear();
    if (t && t->Valid()) d->st.clip.push_back(t->Bounds());
    d->st.hasClip = true;
  }
  return ClipWith(dc, left, top, right, bottom, RGN_AND);
}

int32_t ExcludeClipRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return ClipWith(dc, left, top, right, bottom, RGN_DIFF);
}

int32_t OffsetClipRgn(HDC dc, int32_t dx, int32_t dy) {
  HDC__* d = LookupDC(dc);
  if (!d) return ERROR;
  if (!d->st.hasClip) return SIMPLEREGION;
  for (TRect& t : d->st.clip) OffsetRect(t, dx, dy);
  return KindOf(d->st.clip);
}

std::vector<TRect> VisibleRectsIn(HDC__* dc, const TRect& area) {
  std::vector<TRect> out;
  PixelRows* t = dc->Target();
  if (!t || !t->Valid()) return out;
  TRect bounded;
  if (!IntersectRect(bounded, area, t->Bounds())) return out;
  if (!dc->st.hasClip) {
    out.push_back(bounded);
    return out;
  }
  for (const TRect& c : dc->st.clip) {
    TRect i;
    if (IntersectRect(i, c, bounded)) out.push_back(i);
  }
  return out;
}

std::vector<TRect> VisibleRects(HDC__* dc) {
  PixelRows* t = dc->Target();
  if (!t) return {};
  return VisibleRectsIn(dc, t->Bounds());
}

int32_t GetClipBox(HDC dc, TRect* rect) {
  HDC__* d = LookupDC(dc);
  if (!d || !rect) return ERROR;
  std::vector<TRect> vis = VisibleRects(d);
  TRect box{};
  for (const TRect& r : vis) UnionRect(box, box, r);
  // Back to logical coordinates.
  Affine inv = d->ToLogical();
  double xs[2] = {box.Left - 0.5, box.Right - 0.5}, ys[2] = {box.Top - 0.5, box.Bottom - 0.5};
  double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
  for (double x : xs)
    for (double y : ys) {
      double ox, oy;
      inv.Map(x, y, ox, oy);
      minX = std::min(minX, ox + 0.5);
      maxX = std::max(maxX, ox + 0.5);
      minY = std::min(minY, oy + 0.5);
      maxY = std::max(maxY, oy + 0.5);
    }
  *rect = {static_cast<int32_t>(std::lround(minX)), static_cast<int32_t>(std::lround(minY)),
           static_cast<int32_t>(std::lround(maxX)), static_cast<int32_t>(std::lround(maxY))};
  if (vis.empty()) return NULLREGION;
  return vis.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool PtVisible(HDC dc, int32_t x, int32_t y) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  double dx, dy;
  d->ToDevice().Map(x, y, dx, dy);
  TPoint p{static_cast<int32_t>(std::lround(dx)), static_cast<int32_t>(std::lround(dy))};
  for (const TRect& r : VisibleRects(d))
    if (PtInRect(r, p)) return true;
  return false;
}
