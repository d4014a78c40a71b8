#include "imaging/core/ie_geometry.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/ie_int_math.h"

double ArcCos(double X) {
  if (X >= 1) return 0;
  // The opposite direction is a half turn (an arc cosine of 0 here would make opposite vectors
  // look parallel).
  if (X <= -1) return M_PI;
  return std::atan2(std::sqrt(1 - X * X), X);
}

double SegmentsAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  const double ax = static_cast<double>(X2) - X1, ay = static_cast<double>(Y2) - Y1;
  const double bx = static_cast<double>(X3) - X2, by = static_cast<double>(Y3) - Y2;
  const double la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
  if (la == 0 || lb == 0) return 0;
  const double c = (ax * bx + ay * by) / (la * lb);
  if (c < -1 || c > 1) return 0;
  return ArcCos(c);
}

double LineAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X1 == X2 && Y1 == Y2) return 0;
  // Against a horizontal reference pointing right: 0..pi, then the lower half-plane of the
  // screen (y growing downwards) gives the rest of the turn.
  const double a = SegmentsAngle(X1 - 1, Y1, X1, Y1, X2, Y2);
  return Y2 > Y1 ? 2 * M_PI - a : a;
}

int32_t TurnDirection(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  const int64_t dx1 = static_cast<int64_t>(X2) - X1, dy1 = static_cast<int64_t>(Y2) - Y1;
  const int64_t dx2 = static_cast<int64_t>(X3) - X1, dy2 = static_cast<int64_t>(Y3) - Y1;
  if (dx1 * dy2 > dy1 * dx2) return 1;
  if (dx1 * dy2 < dy1 * dx2) return -1;
  if (dx1 * dx2 < 0 || dy1 * dy2 < 0) return -1;
  if (dx1 * dx1 + dy1 * dy1 < dx2 * dx2 + dy2 * dy2) return 1;
  return 0;
}

double VertexAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  auto length = [](double dx, double dy) {
    const double l = std::sqrt(dx * dx + dy * dy);
    return l == 0 ? 1.0 : l;
  };
  const double a = length(static_cast<double>(X2) - X1, static_cast<double>(Y2) - Y1);
  const double b = length(static_cast<double>(X3) - X2, static_cast<double>(Y3) - Y2);
  const double c = length(static_cast<double>(X3) - X1, static_cast<double>(Y3) - Y1);
  double angle = ArcCos((a * a + b * b - c * c) / (2 * a * b));
  if (TurnDirection(X1, Y1, X2, Y2, X3, Y3) == -1) angle = 2 * M_PI - angle;
  return angle;
}

TRect RectIncludePoint(TRect& Rect, int32_t X, int32_t Y) {
  if (X < Rect.Left) Rect.Left = X;
  if (X > Rect.Right) Rect.Right = X;
  if (Y < Rect.Top) Rect.Top = Y;
  if (Y > Rect.Bottom) Rect.Bottom = Y;
  return Rect;
}

void ScaleToFit(int32_t Width, int32_t Height, int32_t MaxWidth, int32_t MaxHeight, int32_t& NewWidth,
                int32_t& NewHeight) {
  if (Width == 0 || Height == 0) return;
  const double scale = std::min(static_cast<double>(MaxHeight) / Height, static_cast<double>(MaxWidth) / Width);
  NewWidth = std::max(SaturateToInt(std::trunc(Width * scale)), 1);
  NewHeight = std::max(SaturateToInt(std::trunc(Height * scale)), 1);
}

void ComputeBezierPoints(TPoint P0, TPoint P1, TPoint P2, TPoint P3, TPoint* Points, int32_t Count) {
  if (Count <= 0 || !Points) return;
  const double step = 1.0 / Count;
  double t = 0;
  for (int32_t i = 0; i < Count; ++i) {
    t += step;
    const double t2 = t * t, t3 = t2 * t;
    const double b0 = 1 - 3 * t + 3 * t2 - t3, b1 = 3 * t - 6 * t2 + 3 * t3, b2 = 3 * t2 - 3 * t3;
    const double x = P0.X * b0 + P1.X * b1 + P2.X * b2 + P3.X * t3;
    const double y = P0.Y * b0 + P1.Y * b1 + P2.Y * b2 + P3.Y * t3;
    Points[i] = TPoint{SaturateToInt(std::nearbyint(x)), SaturateToInt(std::nearbyint(y))};
  }
}
