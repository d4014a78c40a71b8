// The transitions' region tools: the rectangle list that becomes one region, the sixteen shapes
// fitted into a box, the sector fan, the polygon of a coordinate list and the rotation of points.
// Shapes are checked by points well inside and well outside them (never edge pixels), worked out
// from the shapes' point tables.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_shape_regions.h"
#include "tests/imaging/processing/transitions/region_test_support.h"

using namespace region_test;

namespace {

// ---- TComplexRegion -------------------------------------------------------------------------

TEST(ComplexRegion, KeepsRectanglesAsGivenAndTheirBounds) {
  TComplexRegion list;
  EXPECT_EQ(list.Bounds(), (TRect{2147483647, 2147483647, -2147483647, -2147483647}));
  list.AddRect(10, 20, 30, 40);
  list.AddRect(50, 5, 45, 25);  // reversed across: kept as it is
  list.AddRect(-3, 60, 0, 61);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Rects()[1], (TRect{50, 5, 45, 25}));
  // The bounds take the least of the first corners and the most of the second ones.
  EXPECT_EQ(list.Bounds(), (TRect{-3, 5, 45, 61}));

  TOwnedRegion region(list.CreateRegion());
  ASSERT_TRUE(region);
  EXPECT_TRUE(PtInRegion(region.Get(), 10, 20));
  EXPECT_TRUE(PtInRegion(region.Get(), -3, 60));
  EXPECT_FALSE(PtInRegion(region.Get(), 47, 10));  // the reversed one covers nothing
  EXPECT_EQ(list.Count(), 3);  // the list stays after the region is made
}

TEST(ComplexRegion, GrowsFiveHundredRectanglesAtATimeKeepingThemAll) {
  TComplexRegion list;
  EXPECT_EQ(list.Capacity(), 0);
  for (int32_t i = 0; i < 500; ++i) list.AddRect(i, 0, i + 1, 1);
  EXPECT_EQ(list.Capacity(), 500);
  list.AddRect(0, 1, 1, 2);
  EXPECT_EQ(list.Capacity(), 1000);
  for (int32_t i = 501; i < 1700; ++i) list.AddRect(i, 5, i + 1, 6);
  EXPECT_EQ(list.Capacity(), 2000);
  ASSERT_EQ(list.Count(), 1700);
  EXPECT_EQ(list.Rects()[499], (TRect{499, 0, 500, 1}));
  EXPECT_EQ(list.Rects()[1699], (TRect{1699, 5, 1700, 6}));
  TOwnedRegion region(list.CreateRegion());
  TRect box;
  GetRgnBox(region.Get(), &box);
  EXPECT_EQ(box, (TRect{0, 0, 1700, 6}));

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.Bounds().Left, 2147483647);
}

TEST(ComplexRegion, OnlyEmptyRectanglesGiveAnEmptyRegionAndNoneGiveNoRegion) {
  TComplexRegion list;
  EXPECT_EQ(list.CreateRegion(), nullptr);
  list.AddRect(5, 5, 5, 9);
  list.AddRect(9, 9, 3, 3);
  TOwnedRegion region(list.CreateRegion());
  ASSERT_TRUE(region);
  EXPECT_TRUE(IsEmptyRegion(region.Get()));
}

TEST(ComplexRegion, TakesTheRectanglesOfARegion) {
  TOwnedRegion a(CreateRectRgn(0, 0, 10, 10)), b(CreateEllipticRgn(20, 0, 40, 20));
  TComplexRegion list;
  list.AddRegion(a.Get());
  list.AddRegion(b.Get());
  list.AddRegion(nullptr);
  TOwnedRegion both(list.CreateRegion()), expected(CreateRectRgn(0, 0, 0, 0));
  CombineRgn(expected.Get(), a.Get(), b.Get(), RGN_OR);
  EXPECT_TRUE(EqualRgn(both.Get(), expected.Get()));
}

TEST(OwnedRegion, DeletesItsRegionOnEveryWayOut) {
  const int32_t before = GdiObjectCount(OBJ_REGION);
  {
    TOwnedRegion r(CreateRectRgn(0, 0, 1, 1));
    r.Reset(CreateRectRgn(0, 0, 2, 2));
    EXPECT_EQ(GdiObjectCount(OBJ_REGION), before + 1);
  }
  EXPECT_EQ(GdiObjectCount(OBJ_REGION), before);
  try {
    TOwnedRegion r(CreateRectRgn(0, 0, 1, 1));
    throw 1;
  } catch (int) {
  }
  EXPECT_EQ(GdiObjectCount(OBJ_REGION), before);
  HRGN kept = TOwnedRegion(CreateRectRgn(0, 0, 1, 1)).Release();
  EXPECT_EQ(GdiObjectCount(OBJ_REGION), before + 1);
  DeleteObject(kept);
}

// ---- Shapes ---------------------------------------------------------------------------------

struct ShapeCase {
  uint8_t shape;
  TRect box;
  std::vector<TPoint> inside, outside;
};

// Points worked out from the point tables, well away from the edges. In a 100 x 100 box a table
// value p lies at about 99 p.
const ShapeCase kShapeCases[] = {
    // Star: the middle and the upper arm in; the corners, the notch between the legs and the right
    // of the right arm's root out.
    {tsStar5, {0, 0, 100, 100}, {{50, 55}, {50, 20}, {20, 40}}, {{5, 5}, {50, 90}, {95, 55}, {95, 95}}},
    // In a box twice as wide: the same star in the centred square.
    {tsStar5, {0, 0, 200, 100}, {{100, 55}, {100, 20}}, {{55, 55}, {145, 55}}},
    {tsStar6, {0, 0, 100, 100}, {{50, 50}, {50, 10}, {20, 30}}, {{10, 10}, {90, 50}, {5, 50}}},
    // Arrows: the head in its corner and the shaft on the diagonal in; the other two corners out.
    {tsArrowTopLeft, {0, 0, 100, 100}, {{10, 10}, {50, 50}}, {{90, 10}, {10, 90}, {30, 70}}},
    {tsArrowTopRight, {0, 0, 100, 100}, {{88, 10}, {48, 50}}, {{10, 10}, {88, 90}}},
    {tsArrowBottomLeft, {0, 0, 100, 100}, {{10, 88}, {50, 48}}, {{10, 10}, {90, 88}}},
    {tsArrowBottomRight, {0, 0, 100, 100}, {{88, 88}, {48, 48}}, {{10, 88}, {88, 10}}},
    // Lightning bolt: across its upper limb (x from 44 to 89 at y 25) in.
    {tsLightningBolt, {0, 0, 100, 100}, {{60, 25}, {20, 80}}, {{10, 10}, {90, 90}, {40, 10}}},
    // A wide box: the bolt keeps the height and takes a centred square.
    {tsLightningBolt, {0, 0, 300, 100}, {{160, 25}}, {{60, 25}, {260, 25}}},
    {tsLightningBoltMirrored, {0, 0, 100, 100}, {{38, 25}}, {{90, 10}, {10, 90}}},
    {tsExplosion, {0, 0, 100, 100}, {{50, 50}, {78, 25}}, {{5, 5}, {95, 95}, {50, 5}}},
    // The explosion fills a wide box.
    {tsExplosion, {0, 0, 200, 100}, {{100, 50}, {156, 25}}, {{10, 10}, {190, 95}}},
    {tsExplosionMirrored, {0, 0, 100, 100}, {{50, 50}, {20, 73}}, {{94, 94}, {4, 4}}},
    {tsFeatheredArrowTopLeft, {0, 0, 100, 100}, {{5, 5}, {40, 40}}, {{90, 10}, {10, 90}, {60, 40}}},
    {tsFeatheredArrowBottomRight, {0, 0, 100, 100}, {{93, 93}, {58, 58}}, {{90, 10}, {10, 90}}},
    // Heart: the lobes' centres, the filled notch below them and the point in; the notch at the
    // top and the lower corners out.
    {tsHeart, {0, 0, 100, 100}, {{26, 26}, {74, 26}, {50, 30}, {50, 80}, {50, 90}}, {{50, 3}, {10, 80}, {90, 80}, {2, 2}}},
    // Offsets move the shape with the box.
    {tsHeart, {1000, -500, 1100, -400}, {{1026, -474}, {1050, -420}}, {{1050, -497}, {1010, -420}}},
};

TEST(ShapeRegion, EveryShapeCoversItsInsidePointsAndNotItsOutsideOnes) {
  for (const ShapeCase& c : kShapeCases) {
    TOwnedRegion r(CreateShapeRegion(c.shape, c.box));
    ASSERT_TRUE(r) << int{c.shape};
    for (const TPoint& p : c.inside) {
      EXPECT_TRUE(PtInRegion(r.Get(), p.X, p.Y)) << "shape " << int{c.shape} << " " << c.box << " in at " << p.X << "," << p.Y;
      EXPECT_TRUE(Settled(r.Get(), p.X, p.Y)) << "shape " << int{c.shape} << " near an edge at " << p.X << "," << p.Y;
    }
    for (const TPoint& p : c.outside)
      EXPECT_FALSE(PtInRegion(r.Get(), p.X, p.Y)) << "shape " << int{c.shape} << " " << c.box << " out at " << p.X << "," << p.Y;
  }
}

TEST(ShapeRegion, TableValuesAreExactDecimalsRoundedHalfToEven) {
  // Star point 4 is (0.7, 0.59): in a 46-pixel box 45 x 0.7 is 31.5 exactly, which rounds to 32
  // (a double 0.7 gives 31.499999999999996 and 31), and 45 x 0.59 = 26.55 gives 27.
  const std::vector<TPoint> star = ShapePolygon(tsStar5, 0, 0, 46, 46);
  ASSERT_EQ(star.size(), 11u);
  EXPECT_EQ(star[3], (TPoint{32, 27}));
  // (0.62, 0.36) in a 26-pixel box: 25 x 0.62 = 15.5 -> 16, the even neighbour.
  EXPECT_EQ(ShapePolygon(tsStar5, 0, 0, 26, 26)[1], (TPoint{16, 9}));
  // Arrow point (0.3, 0.1): 25 x 0.3 = 7.5 -> 8 and 2.5 -> 2; mirrored, 25 x 0.7 = 17.5 -> 18 (not
  // 25 - 8 = 17).
  EXPECT_EQ(ShapePolygon(tsArrowTopLeft, 0, 0, 26, 26)[2], (TPoint{8, 2}));
  EXPECT_EQ(ShapePolygon(tsArrowTopRight, 0, 0, 26, 26)[2], (TPoint{18, 2}));
  // Offsets and the fitted box: a 60 x 20 box takes the square of 20 at x = 20.
  EXPECT_EQ(ShapePolygon(tsStar5, 100, 200, 60, 20)[0], (TPoint{130, 200}));  // 19 x 0.5 = 9.5 -> 10
  EXPECT_TRUE(ShapePolygon(tsCross, 0, 0, 10, 10).empty());
  EXPECT_TRUE(ShapePolygon(tsHeart, 0, 0, 10, 10).empty());
}

TEST(ShapeRegion, MirroredCodesAreMirrorImages) {
  // A table point mirrored is 1 - p: pixel x of the original answers pixel (W - 2 - x) of the
  // mirror image. Rounding moves edges by a pixel, so settled points only.
  struct Pair {
    uint8_t original, mirrored;
    bool x, y;
  };
  const Pair pairs[] = {{tsArrowTopLeft, tsArrowTopRight, true, false},
                        {tsArrowTopLeft, tsArrowBottomLeft, false, true},
                        {tsArrowTopLeft, tsArrowBottomRight, true, true},
                        {tsLightningBolt, tsLightningBoltMirrored, true, false},
                        {tsExplosion, tsExplosionMirrored, true, true},
                        {tsFeatheredArrowTopLeft, tsFeatheredArrowTopRight, true, false},
                        {tsFeatheredArrowTopLeft, tsFeatheredArrowBottomLeft, false, true},
                        {tsFeatheredArrowTopLeft, tsFeatheredArrowBottomRight, true, true}};
  constexpr int32_t kSize = 90;
  for (const Pair& p : pairs) {
    TOwnedRegion a(CreateShapeRegion(p.original, 0, 0, kSize, kSize));
    TOwnedRegion b(CreateShapeRegion(p.mirrored, 0, 0, kSize, kSize));
    int checked = 0, inside = 0;
    for (int32_t y = 0; y < kSize; ++y)
      for (int32_t x = 0; x < kSize; ++x) {
        if (!Settled(a.Get(), x, y)) continue;
        const int32_t mx = p.x ? kSize - 2 - x : x, my = p.y ? kSize - 2 - y : y;
        ++checked;
        inside += PtInRegion(a.Get(), x, y);
        EXPECT_EQ(PtInRegion(a.Get(), x, y), PtInRegion(b.Get(), mx, my))
            << "shapes " << int{p.original} << " and " << int{p.mirrored} << " at " << x << "," << y;
      }
    EXPECT_GT(inside, 100) << int{p.original};
    EXPECT_GT(checked, kSize * kSize / 2);
  }
}

TEST(ShapeRegion, Bit7IsIgnoredAndCodesSixteenTo127AreNoShape) {
  for (int32_t code = 0; code < 16; ++code) {
    TOwnedRegion a(CreateShapeRegion(static_cast<uint8_t>(code), 3, 4, 61, 47));
    TOwnedRegion b(CreateShapeRegion(static_cast<uint8_t>(code + 128), 3, 4, 61, 47));
    ASSERT_TRUE(a && b) << code;
    EXPECT_FALSE(IsEmptyRegion(a.Get())) << code;
    EXPECT_TRUE(EqualRgn(a.Get(), b.Get())) << code;
  }
  for (int32_t code = 16; code < 256; ++code) {
    if (code >= 128 && code < 144) continue;
    EXPECT_EQ(CreateShapeRegion(static_cast<uint8_t>(code), 0, 0, 50, 50), nullptr) << code;
  }
}

TEST(ShapeRegion, ABoxWithoutAreaGivesAnEmptyRegion) {
  for (int32_t code = 0; code < 16; ++code)
    for (const TRect box : {TRect{0, 0, 0, 50}, TRect{0, 0, 50, 0}, TRect{10, 10, 5, 30}, TRect{0, 0, -1, -1}}) {
      TOwnedRegion r(CreateShapeRegion(static_cast<uint8_t>(code), box));
      ASSERT_TRUE(r) << code;
      EXPECT_TRUE(IsEmptyRegion(r.Get())) << code << " " << box;
    }
}

TEST(ShapeRegion, TheHeartsLobesAreCirclesOf52InABoxOf100) {
  // half = 50, D = half + 2 = 52: the lobes are the circles in (0, 0, 52, 52) and (48, 0, 100, 52).
  // Above row 26 and outside the middle (the filled notch starts at x = R = 26 and y = 26, the
  // point's triangle at y = 40) the heart is those circles alone.
  TOwnedRegion heart(CreateShapeRegion(tsHeart, 0, 0, 100, 100));
  TOwnedRegion left(CreateEllipticRgn(0, 0, 52, 52)), right(CreateEllipticRgn(48, 0, 100, 52));
  for (int32_t y = 0; y < 26; ++y)
    for (int32_t x = 0; x < 100; ++x) {
      const bool lobe = PtInRegion(left.Get(), x, y) || PtInRegion(right.Get(), x, y);
      EXPECT_EQ(PtInRegion(heart.Get(), x, y), lobe) << x << "," << y;
    }
  EXPECT_TRUE(PtInRegion(heart.Get(), 0, 26));  // the lobes touch the sides
  EXPECT_TRUE(PtInRegion(heart.Get(), 99, 26));
}

TEST(ShapeRegion, TheCrossIsTwoBarsTheHorizontalOneAThirdDown) {
  // 100 x 100: narrowed to Round(0.75 x 100) = 75 wide at x = 12; T = min(15, 22) = 15; the
  // vertical bar at 12 + (75 - 15) div 2 = 42, the horizontal one at Round(85 x 0.33) = 28.
  TOwnedRegion square(CreateShapeRegion(tsCross, 0, 0, 100, 100));
  EXPECT_EQ(RegionRects(square.Get()), (std::vector<TRect>{{42, 0, 57, 28}, {12, 28, 87, 43}, {42, 43, 57, 100}}));
  // 40 x 58: no narrowing (40 <= Round(43.5) = 44), T = min(8, Round(12.76)) = 8, so the bar
  // starts at Round(50 x 0.33): 17 in single precision (16.5000007), where doubles give 16.
  TOwnedRegion cross(CreateShapeRegion(tsCross, 0, 0, 40, 58));
  EXPECT_EQ(RegionRects(cross.Get()), (std::vector<TRect>{{16, 0, 24, 17}, {0, 17, 40, 25}, {16, 25, 24, 58}}));
}

// ---- Sector, point lists, rotation -------------------------------------------------------------

TEST(SectorRegion, AHundredPointsOverAWholeTurnEndAt356Point4Degrees) {
  const double start = -std::numbers::pi / 2;
  const std::vector<TPoint> fan = SectorPoints(0, 0, 100, start, start + 2 * std::numbers::pi, 100);
  ASSERT_EQ(fan.size(), 101u);
  EXPECT_EQ(fan[0], (TPoint{0, 0}));
  EXPECT_EQ(fan[1], (TPoint{0, -100}));   // twelve o'clock
  EXPECT_EQ(fan[26], (TPoint{100, 0}));   // three o'clock, a quarter turn (25 x 3.6 degrees) on
  // The last point at 356.4 degrees from twelve o'clock: (100 sin 356.4, -100 cos 356.4).
  EXPECT_EQ(fan[100], (TPoint{-6, -100}));

  // So the last 3.6 degrees before twelve o'clock stay open.
  TOwnedRegion r(CreateSectorRegion(100, 100, 100, start, start + 2 * std::numbers::pi, 100));
  const auto at = [](double degrees) {  // 80 pixels out, clockwise from twelve o'clock
    const double t = (degrees - 90) * std::numbers::pi / 180;
    return TPoint{static_cast<int32_t>(std::floor(100 + 80 * std::cos(t))),
                  static_cast<int32_t>(std::floor(100 + 80 * std::sin(t)))};
  };
  for (const double in : {10.0, 95.0, 180.0, 270.0, 354.0}) EXPECT_TRUE(PtInRegion(r.Get(), at(in).X, at(in).Y)) << in;
  EXPECT_FALSE(PtInRegion(r.Get(), at(358.2).X, at(358.2).Y));
}

TEST(SectorRegion, NoPointsIsTheCentreAloneAndTooManyAreRefused) {
  for (const int32_t count : {0, -1, -100000}) {
    EXPECT_EQ(SectorPoints(5, 6, 50, 0, 1, count), (std::vector<TPoint>{{5, 6}}));
    TOwnedRegion r(CreateSectorRegion(5, 6, 50, 0, 0, count));  // no 0 / 0 on the way
    ASSERT_TRUE(r);
    EXPECT_TRUE(IsEmptyRegion(r.Get()));
  }
  EXPECT_EQ(CreateSectorRegion(0, 0, 10, 0, 1, 70000), nullptr);
  TOwnedRegion many(CreateSectorRegion(0, 0, 10, 0, 1, 10000));
  EXPECT_TRUE(many);
}

TEST(PointListRegion, PairsTheValuesAndLeavesALoneLastValue) {
  const int32_t triangle[] = {0, 0, 20, 0, 0, 20};
  const int32_t odd[] = {0, 0, 20, 0, 0, 20, 1000};
  TOwnedRegion a(CreatePointListRegion(triangle)), b(CreatePointListRegion(odd));
  EXPECT_TRUE(PtInRegion(a.Get(), 5, 5));
  EXPECT_FALSE(PtInRegion(a.Get(), 15, 15));
  EXPECT_TRUE(EqualRgn(a.Get(), b.Get()));
  for (const std::vector<int32_t>& few : {std::vector<int32_t>{}, std::vector<int32_t>{7}, std::vector<int32_t>{1, 2, 3}}) {
    TOwnedRegion r(CreatePointListRegion(few));
    ASSERT_TRUE(r);
    EXPECT_TRUE(IsEmptyRegion(r.Get()));
  }
}

TEST(RotatePoints, TurnsClockwiseOnTheScreenAndRoundsToPixels) {
  std::vector<TPoint> points = {{10, 0}, {0, 10}, {3, 4}, {15, 5}, {77, 77}};
  // About the origin by 90 degrees: three o'clock to six o'clock, six o'clock to nine.
  RotatePoints(std::span(points).first(3), 0, 0, std::numbers::pi / 2);
  EXPECT_EQ(points[0], (TPoint{0, 10}));
  EXPECT_EQ(points[1], (TPoint{-10, 0}));
  EXPECT_EQ(points[2], (TPoint{-4, 3}));
  EXPECT_EQ(points[4], (TPoint{77, 77}));  // beyond the span: untouched
  // About (5, 5) by 30 degrees: (10, 0) from the centre becomes (8.66, 5) -> (9, 5).
  RotatePoints(std::span(points).subspan(3, 1), 5, 5, std::numbers::pi / 6);
  EXPECT_EQ(points[3], (TPoint{14, 10}));
  // Counter-clockwise with a negative angle.
  TPoint ccw{10, 0};
  RotatePoints(std::span(&ccw, 1), 0, 0, -std::numbers::pi / 2);
  EXPECT_EQ(ccw, (TPoint{0, -10}));
}

}  // namespace
