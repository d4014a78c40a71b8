#include "imaging/core/ie_hit_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(HitTest, ConstrainTo45DegreesFromAnAnchor) {
  struct Case {
    TPoint end, expected;
  } cases[] = {
      {{200, 150}, {200, 100}},  // 50 < 100 - 30: horizontal
      {{200, 180}, {200, 200}},  // right and below: the shorter side grows by 20
      {{130, 170}, {100, 170}},  // 30 + 30 < 70: vertical
      {{50, 40}, {50, 50}},      // left and above: the longer side shrinks by 10
      {{60, 130}, {60, 140}},    // left, not above: 40 against 30
      {{130, 60}, {140, 60}},    // above, not left: 30 against 40
      {{100, 100}, {100, 100}},  // on the anchor
  };
  for (const Case& c : cases) {
    int32_t x = c.end.X, y = c.end.Y;
    ConstrainTo45Degrees(100, 100, x, y);
    EXPECT_EQ((TPoint{x, y}), c.expected) << c.end.X << "," << c.end.Y;
  }
}

TEST(HitTest, RectangleTests) {
  // Against (10, 10)-(20, 20).
  struct Case {
    TRect second;
    int32_t kind;
  } cases[] = {
      {{0, 0, 30, 30}, 0},    // encloses the first
      {{12, 12, 18, 18}, 2},  // inside
      {{15, 15, 30, 30}, 1},  // shares one corner region
      {{12, 0, 18, 30}, 0},   // crosses: both x inside, both y outside
      {{40, 40, 50, 50}, 0},  // outside
      {{20, 20, 25, 25}, 1},  // touching corner counts as inside
  };
  for (const Case& c : cases)
    EXPECT_EQ(RectOverlapKind(10, 10, 20, 20, c.second.Left, c.second.Top, c.second.Right, c.second.Bottom), c.kind)
        << c.second.Left << "," << c.second.Top;
  EXPECT_TRUE(RectsOverlap(25, 25, 20, 20, 10, 10, 20, 20));  // corners in any order, touching
  EXPECT_FALSE(RectsOverlap(21, 0, 30, 30, 10, 10, 20, 20));
  EXPECT_TRUE(PointInRect(20, 10, 10, 10, 20, 20));
  EXPECT_FALSE(PointInRect(21, 10, 10, 10, 20, 20));
  EXPECT_TRUE(PointInRectAnyOrder(15, 15, 20, 20, 10, 10));
}

TEST(HitTest, LineDistancesUseWideProducts) {
  // The line y = x through points 100,000 pixels apart: 32-bit products of the coordinates
  // overflow, the distance of (100000, 0) is 100000 / sqrt(2).
  EXPECT_NEAR(PointLineDistance(100000, 0, 0, 0, 100000, 100000), 100000 / std::sqrt(2.0), 1e-6);
  EXPECT_NEAR(PointLineDistance(3, 4, 0, 0, 10, 0), 4, 1e-12);
  // Equal line points: the distance from that point.
  EXPECT_DOUBLE_EQ(PointLineDistance(3, 4, 0, 0, 0, 0), 5);
  EXPECT_DOUBLE_EQ(PointDistance(0, 0, -3, -4), 5);
}

TEST(HitTest, DistanceToSegment) {
  struct Case {
    TPoint p;
    double d;
  } cases[] = {
      {{5, 3}, 3},                      // beside the segment
      {{20, 0}, 10},                    // beyond the end
      {{-3, -4}, 5},                    // before the start
      {{50010, 0}, kIEFarDistance},     // 50,000 pixels beyond the end: far away
      {{-45001, 0}, kIEFarDistance},
      {{5, 100000}, 100000},            // far beside it is measured
  };
  for (const Case& c : cases) EXPECT_NEAR(DistanceToSegment(c.p.X, c.p.Y, 0, 0, 10, 0), c.d, 1e-9) << c.p.X;
  EXPECT_DOUBLE_EQ(DistanceToSegment(3, 4, 0, 0, 0, 0), 5);
}

TEST(HitTest, DistanceToPolylineMapsThePointsToTheView) {
  const std::vector<TPoint> points = {{0, 0}, {10, 0}, {10, 10}};
  // Zoom 2: the polyline lies at (0, 0), (20, 0), (20, 20) in the view.
  EXPECT_DOUBLE_EQ(DistanceToPolyline(20, 10, points.data(), 3, 0, 0, 0, 0, 2, 2, 1, false), 0);
  EXPECT_DOUBLE_EQ(DistanceToPolyline(10, 5, points.data(), 3, 0, 0, 0, 0, 2, 2, 1, false), 5);
  // Closing adds the diagonal back to the start.
  EXPECT_NEAR(DistanceToPolyline(10, 10, points.data(), 3, 0, 0, 0, 0, 2, 2, 1, true), 0, 1e-12);
  // Scrolled by (5, 0) and moved by 100: (10 - 5) * 1 + 100 = 105.
  EXPECT_DOUBLE_EQ(DistanceToPolyline(105, 3, points.data(), 2, 5, 0, 100, 0, 1, 1, 1, false), 3);
  // A wide pen also tries the segment moved down by 2..h: (5, 3) is on the one moved by (0, 3).
  EXPECT_DOUBLE_EQ(DistanceToPolyline(5, 3, points.data(), 2, 0, 0, 0, 0, 1, 1, 6, false), 0);
  EXPECT_DOUBLE_EQ(DistanceToPolyline(0, 0, points.data(), 0, 0, 0, 0, 0, 1, 1, 1, false), kIEFarDistance);
}

TEST(HitTest, DistanceToBoxAndEllipse) {
  EXPECT_DOUBLE_EQ(DistanceToBox(15, 5, 10, 10, 20, 20, false, 0), 5);
  EXPECT_DOUBLE_EQ(DistanceToBox(15, 15, 10, 10, 20, 20, false, 0), 5);
  EXPECT_DOUBLE_EQ(DistanceToBox(15, 15, 10, 10, 20, 20, true, 0), 0);
  // A pen of 4 tries the box moved by -2..2 on both axes.
  EXPECT_DOUBLE_EQ(DistanceToBox(15, 7, 10, 10, 20, 20, false, 4), 1);
  EXPECT_DOUBLE_EQ(DistanceToBox(15, 5, 10, 10, 20, 20, false, -2), kIENoDistance);

  // 2 x 2 box, outline: n = Trunc(2 pi) div 8 = 0, at least 2: the single chord (1, 0)-(-1, 0)
  // through the centre.
  EXPECT_DOUBLE_EQ(DistanceToEllipse(1, 1, 0, 0, 2, 2, false, 0), 0);
  EXPECT_DOUBLE_EQ(DistanceToEllipse(1, 3, 0, 0, 2, 2, false, 0), 2);
  // 200 x 100: on the outline at the right end (the first chord starts there), and the centre is
  // inside the filled shape but about a minor radius from the outline.
  EXPECT_DOUBLE_EQ(DistanceToEllipse(200, 50, 0, 0, 200, 100, false, 0), 0);
  EXPECT_DOUBLE_EQ(DistanceToEllipse(100, 50, 0, 0, 200, 100, true, 0), 0);
  EXPECT_NEAR(DistanceToEllipse(100, 50, 0, 0, 200, 100, false, 0), 50, 2);
  EXPECT_NEAR(DistanceToEllipse(100, 200, 0, 0, 200, 100, false, 0), 100, 2);
  EXPECT_DOUBLE_EQ(DistanceToEllipse(1, 1, 0, 0, 2, 2, false, -2), kIENoDistance);
}

TEST(HitTest, PointInPolygon) {
  // The triangle x <= y of 100,000 pixels: the crossing products overflow 32 bits.
  const std::vector<TPoint> triangle = {{0, 0}, {100000, 100000}, {0, 100000}};
  EXPECT_TRUE(PointInPolygon(30000, 50000, triangle));
  EXPECT_FALSE(PointInPolygon(70000, 50000, triangle));
  EXPECT_FALSE(PointInPolygon(0, 0, std::vector<TPoint>()));
  const std::vector<TPoint> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_TRUE(PointInPolygon(5, 5, square));
  EXPECT_FALSE(PointInPolygon(15, 5, square));
  // Mapped at zoom 10 from an offset of (1, 1): the square covers (-10, -10)-(90, 90).
  EXPECT_TRUE(PointInScaledPolygon(80, 80, square.data(), 4, 1, 1, 0, 0, 10, 10));
  EXPECT_FALSE(PointInScaledPolygon(95, 5, square.data(), 4, 1, 1, 0, 0, 10, 10));
  EXPECT_FALSE(PointInScaledPolygon(5, 5, square.data(), 0, 0, 0, 0, 0, 1, 1));
}

TEST(HitTest, RotatePointsCounterClockwiseOnTheScreen) {
  std::vector<TPoint> points = {{110, 100}, {100, 90}, {100, 100}};
  IERotatePoints(points, 90, 100, 100);
  // Right of the centre turns to above it, above turns to the left.
  EXPECT_EQ(points[0], (TPoint{100, 90}));
  EXPECT_EQ(points[1], (TPoint{90, 100}));
  EXPECT_EQ(points[2], (TPoint{100, 100}));
  std::vector<TPoint> p = {{103, 100}};
  IERotatePoints(p, 45, 100, 100);  // 3 cos 45 = 2.12 truncated
  EXPECT_EQ(p[0], (TPoint{102, 98}));
}

}  // namespace
