#pragma once
// Hit tests of the views and the vector layer: points in rectangles and polygons, distances of a
// point from lines, segments, polylines, boxes and ellipses, shift-constrained lines and rotation
// of point arrays. Coordinates are integer pixels with y growing downwards; distances are doubles.
#include <cstdint>
#include <vector>

#include "platform/system/types.h"

// The distance the far-away cases answer: the point is nowhere near the shape.
inline constexpr double kIEFarDistance = 1000000.0;
// The distance the box and ellipse tests answer when no pen offset was tried.
inline constexpr double kIENoDistance = 2147483647.0;

// Moves the end point (X2, Y2) so that the line from the anchor (X1, Y1) is vertical, horizontal
// or at 45 degrees (the line tools while Shift is held): within 30 pixels of an axis it snaps to
// the axis, else the end point moves by the difference of the two sides.
void ConstrainTo45Degrees(int32_t X1, int32_t Y1, int32_t& X2, int32_t& Y2);

// The first rectangle's corners in any order; touching counts.
bool RectsOverlap(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Left, int32_t Top, int32_t Right,
                  int32_t Bottom);
// How the second rectangle (X1, Y1)-(X2, Y2) lies against (Left, Top)-(Right, Bottom), bounds
// included: 2 when both corners lie inside; 1 when exactly one x lies in [Left, Right] and at least
// one y in [Top, Bottom], or at least one x and exactly one y; 0 otherwise (outside, enclosing, or
// crossing with both x inside and both y outside).
int32_t RectOverlapKind(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                        int32_t X2, int32_t Y2);
// Left <= X <= Right and Top <= Y <= Bottom.
bool PointInRect(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
// PointInRect after putting the corners in order.
bool PointInRectAnyOrder(int32_t X, int32_t Y, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

double PointDistance(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// Distance of P from the infinite line through (X1, Y1) and (X2, Y2); when the two points are the
// same, the distance from that point.
double PointLineDistance(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// Distance of P from the segment (X1, Y1)-(X2, Y2). Beyond an end the distance to that end, but
// kIEFarDistance when P lies more than 45,000 pixels from it on either axis; kIEFarDistance too
// when the result is not a finite number.
double DistanceToSegment(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// Distance of P from a polyline whose points map to the view as x' = Round((x - OffX) * ScaleX +
// BaseX), likewise y (the view's zoom and scroll); Closed adds the segment from the last point to
// the first. A pen of 4 pixels or more also tries the segments shifted by (i, j) for i in -h..h and
// j in 2..h, h = PenWidth div 2. kIEFarDistance for Count <= 0 or when nothing is nearer.
double DistanceToPolyline(int32_t PX, int32_t PY, const TPoint* Points, int32_t Count, double OffX, double OffY,
                          double BaseX, double BaseY, double ScaleX, double ScaleY, int32_t PenWidth, bool Closed);
// Distance of P from the edges of the box (X1, Y1)-(X2, Y2) moved by (i, i) for every i in
// -h..h, h = PenWidth div 2; 0 at once when Filled and P lies in one of the moved boxes;
// kIENoDistance for a negative width.
double DistanceToBox(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Filled,
                     int32_t PenWidth);
// Distance of P from the ellipse inside (X1, Y1)-(X2, Y2), measured on a polygon of n points
// (n = Trunc(2 pi min(rx, ry)), an eighth of that for the outline, at least 2), for radii grown by
// i in -h..h, h = PenWidth div 2. Filled: the whole-pixel distance to the spokes from the centre;
// outline: the distance to the chords. kIENoDistance for a negative width.
double DistanceToEllipse(int32_t PX, int32_t PY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Filled,
                         int32_t PenWidth);

// Even-odd test of (X, Y) against the polygon of all the points; false for none.
bool PointInPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count);
inline bool PointInPolygon(int32_t X, int32_t Y, const std::vector<TPoint>& Points) {
  return PointInPolygon(X, Y, Points.data(), static_cast<int32_t>(Points.size()));
}
// The same test on the points mapped as x' = (x - OffX) * ScaleX + BaseX, likewise y (not
// rounded); false for Count <= 0.
bool PointInScaledPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count, double OffX, double OffY,
                          double BaseX, double BaseY, double ScaleX, double ScaleY);

// Rotates every point by Angle degrees (counter-clockwise on the screen) about (CX, CY); the
// offsets are truncated towards zero.
void IERotatePoints(TPoint* Points, int32_t Count, double Angle, int32_t CX, int32_t CY);
inline void IERotatePoints(std::vector<TPoint>& Points, double Angle, int32_t CX, int32_t CY) {
  IERotatePoints(Points.data(), static_cast<int32_t>(Points.size()), Angle, CX, CY);
}
