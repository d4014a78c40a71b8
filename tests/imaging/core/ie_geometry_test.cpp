#include <gtest/gtest.h>

#include <cmath>

#include "imaging/core/ie_geometry.h"

TEST(GeometryTest, ArcCosEnds) {
  EXPECT_DOUBLE_EQ(ArcCos(1), 0);
  EXPECT_DOUBLE_EQ(ArcCos(-1), M_PI);  // opposite vectors are half a turn apart
  EXPECT_NEAR(ArcCos(0), M_PI / 2, 1e-12);
  EXPECT_DOUBLE_EQ(ArcCos(1.0000001), 0);  // rounding beyond the range never gives NaN
  EXPECT_DOUBLE_EQ(ArcCos(-1.0000001), M_PI);
}

TEST(GeometryTest, LineAngleDirections) {
  struct Case {
    int x2, y2;
    double angle;
  } cases[] = {{10, 0, 0}, {0, -10, M_PI / 2}, {-10, 0, M_PI}, {0, 10, 3 * M_PI / 2},
               {10, -10, M_PI / 4}, {-10, 10, 5 * M_PI / 4}, {0, 0, 0}};
  for (const Case& c : cases) EXPECT_NEAR(LineAngle(0, 0, c.x2, c.y2), c.angle, 1e-12) << c.x2 << "," << c.y2;
}

TEST(GeometryTest, SegmentsAngle) {
  EXPECT_NEAR(SegmentsAngle(0, 0, 10, 0, 20, 0), 0, 1e-12);          // straight on
  EXPECT_NEAR(SegmentsAngle(0, 0, 10, 0, 0, 0), M_PI, 1e-12);        // back the same way
  EXPECT_NEAR(SegmentsAngle(0, 0, 10, 0, 10, 10), M_PI / 2, 1e-12);
  EXPECT_EQ(SegmentsAngle(0, 0, 0, 0, 10, 10), 0);                   // zero length
}

TEST(GeometryTest, VertexAngleAndTurn) {
  // At the vertex (0, 0) from (10, 0) to (0, -10): a quarter turn.
  EXPECT_NEAR(VertexAngle(10, 0, 0, 0, 0, -10), M_PI / 2, 1e-12);
  // The other way round is the rest of the turn.
  EXPECT_NEAR(VertexAngle(0, -10, 0, 0, 10, 0), 3 * M_PI / 2, 1e-12);
  // Opposite rays: half a turn.
  EXPECT_NEAR(VertexAngle(-10, 0, 0, 0, 10, 0), M_PI, 1e-9);
  EXPECT_EQ(TurnDirection(0, 0, 10, 0, 10, 10), 1);
  EXPECT_EQ(TurnDirection(0, 0, 10, 0, 10, -10), -1);
  EXPECT_EQ(TurnDirection(0, 0, 10, 0, -5, 0), -1);  // collinear, behind
  EXPECT_EQ(TurnDirection(0, 0, 10, 0, 20, 0), 1);   // collinear, beyond
  EXPECT_EQ(TurnDirection(0, 0, 10, 0, 5, 0), 0);    // collinear, between
}

TEST(GeometryTest, ScaleToFitAndRectIncludePoint) {
  struct Case {
    int32_t w, h, maxW, maxH, newW, newH;
  } cases[] = {
      {400, 200, 100, 100, 100, 50},
      {1, 1000, 10, 10, 1, 10},     // the width kept at least 1
      {30, 20, 300, 300, 300, 200},  // scaled up as well
      {3, 3, 2, 2, 2, 2},
  };
  for (const Case& c : cases) {
    int32_t w = -1, h = -1;
    ScaleToFit(c.w, c.h, c.maxW, c.maxH, w, h);
    EXPECT_EQ(w, c.newW) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.newH) << c.w << "x" << c.h;
  }
  int32_t w = 7, h = 8;
  ScaleToFit(0, 10, 100, 100, w, h);  // nothing to scale: left alone
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 8);

  TRect r = Rect(10, 10, 20, 20);
  EXPECT_EQ(RectIncludePoint(r, 5, 25), Rect(5, 10, 20, 25));
  EXPECT_EQ(RectIncludePoint(r, 12, 12), Rect(5, 10, 20, 25));
  EXPECT_EQ(RectIncludePoint(r, 30, 0), Rect(5, 0, 30, 25));
}

TEST(GeometryTest, BezierPointsFromTheFirstStepToTheEnd) {
  // A corner curve (0, 10) -> (10, 0) with controls (0, 0) and (10, 0). t = 0.25: weights
  // 27/64, 27/64, 9/64, 1/64 give x = 100/64 = 1.5625 and y = 270/64 = 4.22; t = 0.5: weights
  // 1/8, 3/8, 3/8, 1/8 give (5, 1.25).
  TPoint p[4];
  ComputeBezierPoints({0, 10}, {0, 0}, {10, 0}, {10, 0}, p, 4);
  EXPECT_EQ(p[0], (TPoint{2, 4}));
  EXPECT_EQ(p[1], (TPoint{5, 1}));
  EXPECT_EQ(p[3], (TPoint{10, 0}));

  // Rounded halves go to even: x = 4t^3 and 12t^3 at t = 0.5 are 0.5 and 1.5.
  TPoint h[2];
  ComputeBezierPoints({0, 0}, {0, 0}, {0, 0}, {4, 12}, h, 2);
  EXPECT_EQ(h[0], (TPoint{0, 2}));
  EXPECT_EQ(h[1], (TPoint{4, 12}));

  // No count, no points written.
  TPoint untouched[1] = {{7, 7}};
  ComputeBezierPoints({0, 0}, {1, 1}, {2, 2}, {3, 3}, untouched, 0);
  ComputeBezierPoints({0, 0}, {1, 1}, {2, 2}, {3, 3}, untouched, -5);
  EXPECT_EQ(untouched[0], (TPoint{7, 7}));
}
