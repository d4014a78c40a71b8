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
