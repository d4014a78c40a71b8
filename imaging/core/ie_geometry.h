#pragma once
// Angles between integer points, for arcs and the vector layer's measures. Angles are radians;
// the screen's y axis points down, so "counter-clockwise" is as seen on the screen.
#include <cstdint>

#include "platform/system/types.h"

// The arc cosine of X in 0..pi; X outside -1..1 is taken as -1 or 1 (rounding in the callers'
// cosines never yields NaN). ArcCos(1) = 0 and ArcCos(-1) = pi.
double ArcCos(double X);
// The angle 0..pi between the vectors P2 - P1 and P3 - P2; 0 when either has zero length.
double SegmentsAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
// The direction of the line from P1 to P2 in 0..2pi, counter-clockwise from the +x axis: straight
// up pi/2, left pi, down 3pi/2; right and a zero-length line 0.
double LineAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// -1, 0 or 1: which way the path P1, P2, P3 turns (collinear points by their order).
int32_t TurnDirection(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
// The angle 0..2pi at the vertex P2 from P1 to P3 (2pi minus the inner angle when the path turns
// the other way).
double VertexAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);

// Widens Rect so that Left <= X <= Right and Top <= Y <= Bottom; returns it.
TRect RectIncludePoint(TRect& Rect, int32_t X, int32_t Y);

// The size of Width x Height scaled by min(MaxWidth / Width, MaxHeight / Height), each side
// truncated and at least 1; nothing changes when Width or Height is 0.
void ScaleToFit(int32_t Width, int32_t Height, int32_t MaxWidth, int32_t MaxHeight, int32_t& NewWidth,
                int32_t& NewHeight);

// Count points of the cubic Bezier curve P0, P1, P2, P3 into Points, for t = 1/Count, 2/Count,
// ..., 1 (P0 itself is not written; t grows by adding 1/Count), each coordinate rounded to the
// nearest integer (halves to even). Nothing for Count <= 0.
void ComputeBezierPoints(TPoint P0, TPoint P1, TPoint P2, TPoint P3, TPoint* Points, int32_t Count);
