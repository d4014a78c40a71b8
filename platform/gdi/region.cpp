// Regions and clipping. A region is a list of banded rectangles; combining goes through QRegion,
// whose rectangles keep the same banded form. Clip regions live in device coordinates.
#include <QtGui/QPolygon>
#include <QtGui/QRegion>
#include <QtGui/QTransform>

#include <algorithm>
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

// Coordinates far beyond any surface are pulled in, so a region never has more rows than this.
int32_t ClampCoord(int32_t v) {
  constexpr int32_t kLimit = 1 << 20;
  return std::clamp(v, -kLimit, kLimit);
}

// Builds banded rectangles from the spans of consecutive rows: rows with the same spans share
// one band.
class BandBuilder {
 public:
  void Row(int32_t y, const std::vector<std::pair<int32_t, int32_t>>& spans) {
    if (!spans.empty() && spans == last_ && y == lastY_ + 1) {
      for (size_t i = out_.size() - spans.size(); i < out_.size(); ++i) out_[i].Bottom = y + 1;
    } else {
      for (const auto& s : spans) out_.push_back({s.first, y, s.second, y + 1});
      last_ = spans;
    }
    lastY_ = y;
  }
  std::vector<TRect> Take() { return std::move(out_); }

 private:
  std::vector<TRect> out_;
  std::vector<std::pair<int32_t, int32_t>> last_;
  int32_t lastY_ = INT32_MIN;
};

HRGN__* Rgn(HRGN h) { return Lookup<HRGN__>(h, GdiKind::kRegion); }

// The union of non-empty rectangles in the banded form QRegion keeps: bands of rows cut at every
// top and bottom, the spans of a band merged where they overlap or touch, and bands with the same
// spans that meet made one. One sweep down the rows with the rectangles that cover the band at hand,
// sorted by their left edges, so that thousands of rectangles take no more than their bands.
std::vector<TRect> UnionOfRects(std::vector<TRect> rects) {
  std::vector<TRect> out;
  if (rects.empty()) return out;
  std::sort(rects.begin(), rects.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
  std::vector<int32_t> ys;
  ys.reserve(rects.size() * 2);
  for (const TRect& r : rects) {
    ys.push_back(r.Top);
    ys.push_back(r.Bottom);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  std::vector<TRect> active;  // covering the band, by left edge
  std::vector<std::pair<int32_t, int32_t>> spans, previous;
  size_t next = 0, previousFirst = 0;
  int32_t previousBottom = 0;
  bool joinable = false;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    const int32_t y0 = ys[i], y1 = ys[i + 1];
    active.erase(std::remove_if(active.begin(), active.end(), [y0](const TRect& r) { return r.Bottom <= y0; }),
                 active.end());
    for (; next < rects.size() && rects[next].Top <= y0; ++next) {
      const auto at = std::upper_bound(active.begin(), active.end(), rects[next],
                                       [](const TRect& a, const TRect& b) { return a.Left < b.Left; });
      active.insert(at, rects[next]);
    }
    spans.clear();
    for (const TRect& r : active) {
      if (!spans.empty() && r.Left <= spans.back().second)
        spans.back().second = std::max(spans.back().second, r.Right);
      else
        spans.push_back({r.Left, r.Right});
    }
    if (spans.empty()) {
      joinable = false;
      continue;
    }
    if (joinable && previousBottom == y0 && spans == previous) {
      for (size_t k = previousFirst; k < out.size(); ++k) out[k].Bottom = y1;
    } else {
      previousFirst = out.size();
      for (const auto& [left, right] : spans) out.push_back({left, y0, right, y1});
      previous = spans;
      joinable = true;
    }
    previousBottom = y1;
  }
  return out;
}

// The rows and columns a shape region is made for: everything, or a caller's rectangle.
struct TSpanWindow {
  int32_t left = INT32_MIN, top = INT32_MIN, right = INT32_MAX, bottom = INT32_MAX;
  explicit TSpanWindow(const TRect* within) {
    if (within) *this = TSpanWindow(within->Left, within->Top, within->Right, within->Bottom);
  }

 private:
  TSpanWindow(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}
};

TRect Normalised(int32_t l, int32_t t, int32_t r, int32_t b) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  return {l, t, r, b};
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

HRGN CreateEllipticRgn(int32_t left, int32_t top, int32_t right, int32_t bottom, const TRect* within) {
  return CreateRoundRectRgn(left, top, right, bottom, right - left, bottom - top, within);
}

HRGN CreateEllipticRgnIndirect(const TRect* rect) {
  return rect ? CreateEllipticRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height,
                        const TRect* within) {
  TRect r = Normalised(ClampCoord(left), ClampCoord(top), ClampCoord(right), ClampCoord(bottom));
  if (IsRectEmpty(r)) return NewRegion({});
  const int64_t w = std::min<int64_t>(std::abs(static_cast<int64_t>(width)), r.Width());
  const int64_t h = std::min<int64_t>(std::abs(static_cast<int64_t>(height)), r.Height());
  const TSpanWindow win(within);
  if (w < 2 || h < 2) {
    TRect part;
    if (!within) return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
    return IntersectRect(part, r, *within) ? CreateRectRgn(part.Left, part.Top, part.Right, part.Bottom)
                                           : NewRegion({});
  }
  // Corners are quarter ellipses of w x h: in the corner rows, a pixel is in when its centre
  // lies inside the corner ellipse; an ellipse is the round rectangle whose corners are the box.
  const double a = w / 2.0, b = h / 2.0;
  BandBuilder bands;
  for (int32_t y = std::max(r.Top, win.top); y < std::min(r.Bottom, win.bottom); ++y) {
    const double yc = y + 0.5;
    double inset = 0;
    const double top = r.Top + b, bottom = r.Bottom - b;
    if (yc < top || yc > bottom) {
      const double dy = (yc < top ? top - yc : yc - bottom) / b;
      inset = dy >= 1 ? a : a - a * std::sqrt(1 - dy * dy);
    }
    // Pixels with centres in [Left + inset, Right - inset).
    const int32_t x0 = std::max(static_cast<int32_t>(std::ceil(r.Left + inset - 0.5)), win.left);
    const int32_t x1 = std::min(static_cast<int32_t>(std::ceil(r.Right - inset - 0.5)), win.right);
    bands.Row(y, x0 < x1 ? std::vector<std::pair<int32_t, int32_t>>{{x0, x1}} : std::vector<std::pair<int32_t, int32_t>>{});
  }
  return NewRegion(bands.Take());
}

HRGN CreatePolyPolygonRgn(const TPoint* points, const int32_t* counts, int32_t polygons, int32_t fillMode,
                          const TRect* within) {
  if (!points || !counts || polygons <= 0) return nullptr;
  // Edges of every polygon (each closed), with their direction for the winding rule.
  struct Edge {
    double x0, y0, x1, y1;
    int32_t dir;
  };
  std::vector<Edge> edges;
  double minY = 1e18, maxY = -1e18;
  const TPoint* p = points;
  for (int32_t i = 0; i < polygons; ++i) {
    if (counts[i] < 0) return nullptr;
    for (int32_t k = 0; k < counts[i]; ++k) {
      const TPoint& a = p[k];
      const TPoint& b = p[(k + 1) % counts[i]];
      const double ay = ClampCoord(a.Y), by = ClampCoord(b.Y);
      minY = std::min(minY, ay);
      maxY = std::max(maxY, ay);
      if (ay == by) continue;
      edges.push_back({static_cast<double>(ClampCoord(a.X)), ay, static_cast<double>(ClampCoord(b.X)), by,
                       by > ay ? 1 : -1});
    }
    p += counts[i];
  }
  BandBuilder bands;
  if (edges.empty()) return NewRegion({});
  // A pixel is in when its centre is inside by the fill mode: sample each row at y + 0.5.
  struct Cross {
    double x;
    int32_t dir;
  };
  std::vector<Cross> xs;
  std::vector<std::pair<int32_t, int32_t>> spans;
  const TSpanWindow win(within);
  const int32_t firstY = std::max(static_cast<int32_t>(std::floor(minY)), win.top);
  const int32_t endY = std::min(static_cast<int32_t>(std::ceil(maxY)), win.bottom);
  for (int32_t y = firstY; y < endY; ++y) {
    const double yc = y + 0.5;
    xs.clear();
    for (const Edge& e : edges) {
      const double lo = std::min(e.y0, e.y1), hi = std::max(e.y0, e.y1);
      if (yc < lo || yc >= hi) continue;
      xs.push_back({e.x0 + (yc - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
    }
    std::sort(xs.begin(), xs.end(), [](const Cross& a, const Cross& b) { return a.x < b.x; });
    spans.clear();
    int32_t wind = 0;
    for (size_t k = 0; k + 1 < xs.size(); ++k) {
      wind += fillMode == WINDING ? xs[k].dir : 1;
      const bool inside = fillMode == WINDING ? wind != 0 : (wind & 1) != 0;
      if (!inside) continue;
      const int32_t x0 = std::max(static_cast<int32_t>(std::ceil(xs[k].x - 0.5)), win.left);
      const int32_t x1 = std::min(static_cast<int32_t>(std::ceil(xs[k + 1].x - 0.5)), win.right);
      if (x0 >= x1) continue;
      if (!spans.empty() && spans.back().second >= x0)
        spans.back().second = std::max(spans.back().second, x1);
      else
        spans.push_back({x0, x1});
    }
    bands.Row(y, spans);
  }
  return NewRegion(bands.Take());
}

HRGN CreatePolygonRgn(const TPoint* points, int32_t count, int32_t fillMode, const TRect* within) {
  return CreatePolyPolygonRgn(points, &count, 1, fillMode, within);
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
  std::vector<TRect> parts;
  parts.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    TRect t;
    std::memcpy(&t, base + i * sizeof(TRect), sizeof t);
    if (xform) {
      const double l = t.Left * xform->eM11 + xform->eDx, r = t.Right * xform->eM11 + xform->eDx;
      const double tp = t.Top * xform->eM22 + xform->eDy, b = t.Bottom * xform->eM22 + xform->eDy;
      t = Normalised(static_cast<int32_t>(std::lround(l)), static_cast<int32_t>(std::lround(tp)),
                     static_cast<int32_t>(std::lround(r)), static_cast<int32_t>(std::lround(b)));
    }
    if (!IsRectEmpty(t)) parts.push_back(t);
  }
  return NewRegion(UnionOfRects(std::move(parts)));
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
  if (d->st.clip.size() <= 1) {
    // A rectangle met with a rectangle (or with nothing) is one: no region arithmetic. Paints clip
    // each control to its own rectangle this way.
    const TRect dev = LogicalAreaToDevice(d, left, top, right, bottom);
    TRect meet;
    if (d->st.clip.size() == 1 && !IsRectEmpty(dev) && IntersectRect(meet, d->st.clip[0], dev)) d->st.clip[0] = meet;
    else d->st.clip.clear();
    return KindOf(d->st.clip);
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
  ForEachVisibleRectIn(dc, area, [&](const TRect& r) { out.push_back(r); });
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
