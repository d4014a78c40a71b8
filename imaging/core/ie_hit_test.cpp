#include "imaging/core/ie_hit_test.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/core/ie_int_math.h"

namespace {

// Products and differences of coordinates in 64 bits: 32-bit products overflow past 46,340 pixels.
inline int64_t Mul(int64_t A, int64_t B) { return A * B; }

}  // namespace

void ConstrainTo45Degrees(int32_t X1, int32_t Y1, int32_t& X2, int32_t& Y2) {
  const int64_t dx = static_cast<int64_t>(X1) - X2, dy = static_cast<int64_t>(Y1) - Y2;
  const int64_t ax = std::llabs(dx), ay = std::llabs(dy);
  if (ax + 30 < ay) {
    X2 = X1;
    return;
  }
  if (ay < ax - 30) {
    Y2 = Y1;
    return;
  }
  const auto k = static_cast<int32_t>(std::llabs(ax - ay));
  if (dx < 0 && dy < 0) {  // right of and below the anchor: the shorter side grows
    if (ax >= ay) Y2 += k; else X2 += k;
  } else if (dx > 0 && dy > 0) {  // left of and above: the longer side shrinks
    if (ax >= ay) X2 += k; else Y2 += k;
  } else if (dx > 0) {  // left, not above
    if (ax >= ay) Y2 += k; else X2 -= k;
  } else if (dy > 0) {  // above, not left
    if (ax >= ay) Y2 -= k; else X2 += k;
  }
}

bool RectsOverlap(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Left, int32_t Top, int32_t Right,
                  int32_t Bottom) {
  return std::max(X1, X2) >= Left && std::min(X1, X2) <= Right && std::max(Y1, Y2) >= Top &&
         std::min(Y1, Y2) <= Bottom;
}

int32_t RectOverlapKind(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                        int32_t X2, int32_t Y2) {
  const int xs = (X1 >= Left && X1 <= Right) + (X2 >= Left && X2 <= Right);
  const int ys = (Y1 >= Top && Y1 <= Bottom) + (Y2 >= Top && Y2 <= Bottom);
  if (xs == 2 && ys == 2) return 2;
  if ((xs == 1 && ys >= 1) || (xs >= 1 && ys == 1)) return 1;
  return 0;
}

bool PointInRect(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return X >= Left && X <= Right && Y >= Top && Y <= Bottom;
}

bool PointInRectAnyOrder(int32_t X, int32_t Y, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  OrderCorners(X1, Y1, X2, Y2);
  return PointInRect(X, Y, X1, Y1, X2, Y2);
}

double PointDistance(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const double dx = static_cast<double>(X2) - X1, dy = static_cast<double>(Y2) - Y1;
  return std::sqrt(dx * dx + dy * dy);
}

double PointLineDistance(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X1 == X2 && Y1 == Y2) return PointDistance(PX, PY, X1, Y1);
  const int64_t ex = static_cast<int64_t>(Y1) - Y2, ey = static_cast<int64_t>(X2) - X1;
  // |PX (Y1 - Y2) + PY (X2 - X1) + X1 Y2 - X2 Y1| needs up to 65 bits: the sum is taken in double
  // from exact 64-bit products.
  const double num = static_cast<double>(Mul(PX, ex)) + static_cast<double>(Mul(PY, ey)) +
                     static_cast<double>(Mul(X1, Y2) - Mul(X2, Y1));
  return std::fabs(num) / std::sqrt(static_cast<double>(ex) * ex + static_cast<double>(ey) * ey);
}

double DistanceToSegment(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X1 == X2 && Y1 == Y2) return PointDistance(PX, PY, X1, Y1);
  const double vx = static_cast<double>(X2) - X1, vy = static_cast<double>(Y2) - Y1;
  const double t = ((static_cast<double>(PX) - X1) * vx + (static_cast<double>(PY) - Y1) * vy) / (vx * vx + vy * vy);
  double d;
  if (t > 1) {
    if (std::llabs(static_cast<int64_t>(PX) - X2) > 45000 || std::llabs(static_cast<int64_t>(PY) - Y2) > 45000)
      return kIEFarDistance;
    d = PointDistance(PX, PY, X2, Y2);
  } else if (t < 0) {
    if (std::llabs(static_cast<int64_t>(PX) - X1) > 45000 || std::llabs(static_cast<int64_t>(PY) - Y1) > 45000)
      return kIEFarDistance;
    d = PointDistance(PX, PY, X1, Y1);
  } else {
    d = PointLineDistance(PX, PY, X1, Y1, X2, Y2);
  }
  return std::isfinite(d) ? d : kIEFarDistance;
}

double DistanceToPolyline(int32_t PX, int32_t PY, const TPoint* Points, int32_t Count, double OffX, double OffY,
                          double BaseX, double BaseY, double ScaleX, double ScaleY, int32_t PenWidth, bool Closed) {
  if (Count <= 0 || !Points) return kIEFarDistance;
  auto map = [&](const TPoint& p) {
    return TPoint{SaturateToInt(std::nearbyint((p.X - OffX) * ScaleX + BaseX)),
                  SaturateToInt(std::nearbyint((p.Y - OffY) * ScaleY + BaseY))};
  };
  const int32_t h = PenWidth / 2;
  auto segment = [&](const TPoint& a, const TPoint& b) {
    double d = DistanceToSegment(PX, PY, a.X, a.Y, b.X, b.Y);
    if (PenWidth > 1 && h > 1)
      for (int32_t i = -h; i <= h; ++i)
        for (int32_t j = 2; j <= h; ++j)
          d = std::min(d, DistanceToSegment(PX, PY, a.X + i, a.Y + j, b.X + i, b.Y + j));
    return d;
  };
  double best = kIEFarDistance;
  TPoint previous = map(Points[0]);
  for (int32_t i = 1; i < Count; ++i) {
    const TPoint current = map(Points[i]);
    best = std::min(best, segment(previous, current));
    previous = current;
  }
  if (Closed) best = std::min(best, segment(previous, map(Points[0])));
  return best;
}

double DistanceToBox(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Filled,
                     int32_t PenWidth) {
  const int32_t h = PenWidth / 2;
  double best = kIENoDistance;
  for (int32_t i = -h; i <= h; ++i) {
    const int32_t l = X1 + i, t = Y1 + i, r = X2 + i, b = Y2 + i;
    double d = best;
    d = std::min(d, DistanceToSegment(PX, PY, l, t, r, t));
    d = std::min(d, DistanceToSegment(PX, PY, r, t, r, b));
    d = std::min(d, DistanceToSegment(PX, PY, r, b, l, b));
    d = std::min(d, DistanceToSegment(PX, PY, l, b, l, t));
    if (Filled && PointInRect(PX, PY, l, t, r, b)) return 0;
    best = d;
  }
  return best;
}

double DistanceToEllipse(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Filled,
                         int32_t PenWidth) {
  const int64_t hx = (static_cast<int64_t>(X2) - X1) / 2, hy = (static_cast<int64_t>(Y2) - Y1) / 2;
  const int32_t u = SaturateToInt(static_cast<long double>(PX) - (X1 + hx));
  const int32_t v = SaturateToInt(static_cast<long double>(PY) - (Y1 + hy));
  const int32_t h = PenWidth / 2;
  double best = kIENoDistance;
  for (int32_t i = -h; i <= h; ++i) {
    const int32_t rx = SaturateToInt(hx + i), ry = SaturateToInt(hy + i);
    int32_t n = SaturateToInt(2 * M_PI * std::min(rx, ry));
    if (!Filled) n /= 8;
    n = std::max(n, 2);
    TPoint previous{rx, 0};
    for (int32_t k = 1; k < n; ++k) {
      const double a = 2 * M_PI * k / n;
      const TPoint q{SaturateToInt(std::cos(a) * rx), SaturateToInt(std::sin(a) * ry)};
      double d;
      if (Filled) {
        d = std::trunc(DistanceToSegment(u, v, 0, 0, q.X, q.Y));
      } else {
        d = DistanceToSegment(u, v, previous.X, previous.Y, q.X, q.Y);
        previous = q;
      }
      best = std::min(best, d);
    }
  }
  return best;
}

bool PointInPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count) {
  if (Count <= 0 || !Points) return false;
  bool inside = false;
  for (int32_t i = 0, j = Count - 1; i < Count; j = i++) {
    const TPoint& pi = Points[i];
    const TPoint& pj = Points[j];
    if ((Y >= pi.Y && Y < pj.Y) || (Y >= pj.Y && Y < pi.Y)) {
      const int64_t num = Mul(static_cast<int64_t>(pj.X) - pi.X, static_cast<int64_t>(Y) - pi.Y);
      if (X < static_cast<double>(num) / (static_cast<double>(pj.Y) - pi.Y) + pi.X) inside = !inside;
    }
  }
  return inside;
}

bool PointInScaledPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count, double OffX, double OffY,
                          double BaseX, double BaseY, double ScaleX, double ScaleY) {
  if (Count <= 0 || !Points) return false;
  auto mx = [&](int32_t x) { return (x - OffX) * ScaleX + BaseX; };
  auto my = [&](int32_t y) { return (y - OffY) * ScaleY + BaseY; };
  bool inside = false;
  for (int32_t i = 0, j = Count - 1; i < Count; j = i++) {
    const double xi = mx(Points[i].X), yi = my(Points[i].Y), xj = mx(Points[j].X), yj = my(Points[j].Y);
    if (((Y >= yi && Y < yj) || (Y >= yj && Y < yi)) && X < (xj - xi) * (Y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

void IERotatePoints(TPoint* Points, int32_t Count, double Angle, int32_t CX, int32_t CY) {
  const double e = -Angle * M_PI / 180;
  const double c = std::cos(e), s = std::sin(e);
  for (int32_t i = 0; i < Count; ++i) {
    const double dx = static_cast<double>(Points[i].X) - CX, dy = static_cast<double>(Points[i].Y) - CY;
    Points[i].X = SaturateToInt(CX + static_cast<long double>(std::trunc(c * dx - s * dy)));
    Points[i].Y = SaturateToInt(CY + static_cast<long double>(std::trunc(s * dx + c * dy)));
  }
}
