// The region effects one family at a time: where the end picture shows at a given percent,
// worked out by hand from each family's geometry, and the behaviours the effect list names (random
// grids that keep their cells, edges drawn anew on every call, the crosses starting over).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_shape_regions.h"
#include "platform/system/random.h"
#include "tests/imaging/processing/transitions/region_test_support.h"
#include "tests/imaging/processing/transitions/transition_pictures.h"
#include "tests/support/test_support.h"

using namespace transition_test;

namespace {

struct TFrame {
  std::unique_ptr<TBitmap> start, end, frame;
};

TFrame Solids(int32_t W, int32_t H) {
  return {Picture(W, H, Solid(kRed)), Picture(W, H, Solid(kBlue)), Picture(W, H, Solid(kRed))};
}

void Draw(int32_t Id, TFrame& F, int32_t Percent, int32_t Param = 1) {
  EffectRow(Id)->Proc(F.frame->Canvas(), F.start.get(), F.end.get(), Rect(0, 0, F.frame->Width(), F.frame->Height()),
                      Param, Percent);
}

// Row Id drawn at Percent once on a frame showing the start picture (red), the end picture blue.
TFrame DrawOnce(int32_t Id, int32_t Percent, int32_t W = 60, int32_t H = 40) {
  TFrame f = Solids(W, H);
  Draw(Id, f, Percent);
  return f;
}

bool IsEnd(const TFrame& F, int32_t X, int32_t Y) { return At(*F.frame, X, Y) == kBlue; }

using TArea = std::function<bool(int32_t x, int32_t y)>;

// Every pixel of the frame: the end picture exactly where Area says.
void ExpectArea(int32_t Id, int32_t Percent, const TArea& Area, int32_t W = 60, int32_t H = 40) {
  const TFrame f = DrawOnce(Id, Percent, W, H);
  int wrong = 0;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      if (IsEnd(f, x, y) != Area(x, y) && ++wrong <= 3)
        ADD_FAILURE() << EffectRow(Id)->Name << " at " << Percent << "%: pixel " << x << "," << y
                      << (Area(x, y) ? " should" : " should not") << " show the end picture";
}

TEST(RegionEffects, RectangleFamiliesShowTheEndPictureInTheirBands) {
  // 60 x 40: bars 1 thick (40 div 50 + 1); A = 15, B = 10 at 25 %, A = 30, B = 20 at 50 %.
  // Bars in from Left, 25 %: XP = 2A = 30, the first pass, even rows from the left.
  ExpectArea(85, 25, [](int32_t x, int32_t y) { return y % 2 == 0 && x < 30; });
  // Bars Left then Right, 75 %: XP = 90 > 60, the even rows whole, the odd ones from the right to
  // 2W - XP = 30.
  ExpectArea(89, 75, [](int32_t x, int32_t y) { return y % 2 == 0 || x >= 30; });
  // Bars from both Sides, 25 %: XP = A = 15, odd rows from the left, even ones from the right.
  ExpectArea(93, 25, [](int32_t x, int32_t y) { return y % 2 ? x < 15 : x >= 45; });
  // Crisscross from Top Left, 25 %: even rows to x = 30 and even columns to y = 20.
  ExpectArea(119, 25, [](int32_t x, int32_t y) { return (y % 2 == 0 && x < 30) || (x % 2 == 0 && y < 20); });
  // Crisscross from Bottom Left Top Right, 25 %: only where the bars from the right and the bottom
  // meet those from the left and the top.
  ExpectArea(132, 25, [](int32_t x, int32_t y) {
    const bool a = (y % 2 == 0 && x >= 30) || (x % 2 == 0 && y >= 20);
    const bool b = (y % 2 == 0 && x < 30) || (x % 2 == 0 && y < 20);
    return a && b;
  });
  // Horizontal Blinds, 50 %: n = 2, a = 1: bands (y - 1, y + 1) at y = 2, 6, 10, ...
  ExpectArea(159, 50, [](int32_t, int32_t y) { return y % 4 == 1 || y % 4 == 2; });
  // Uneven Blinds from Left, 50 %: slats 15 wide every A = 30.
  ExpectArea(161, 50, [](int32_t x, int32_t) { return x % 30 < 15; });
  ExpectArea(162, 50, [](int32_t x, int32_t) { return x % 30 >= 15; });
  // Uneven Blinds from Bottom, 50 %: slats 10 high ending at 40 and 20.
  ExpectArea(164, 50, [](int32_t, int32_t y) { return y % 20 >= 10; });
  // Rectangles from the Left, 50 %: m = 2, bands 2 high about y = 4, 10, 16, ... and slats 15
  // wide every 30.
  ExpectArea(165, 50, [](int32_t x, int32_t y) { return (y <= 34 && (y + 3) % 6 < 2) || x % 30 < 15; });
  // Rectangles from the Top, 50 %: m = 3, a = 2: columns 4 wide about x = 6, 15, 24, ...; rows 10
  // high every 20.
  ExpectArea(167, 50, [](int32_t x, int32_t y) { return (x <= 52 && ((x + 3) % 9 >= 7 || (x + 3) % 9 <= 1)) || y % 20 < 10; });
  // Expanding Rectangles, 50 %: g = 5, squares of 3 either way about 5, 15, 25, ...
  ExpectArea(113, 50, [](int32_t x, int32_t y) { return x % 10 >= 2 && x % 10 < 8 && y % 10 >= 2 && y % 10 < 8; });
}

struct PointCase {
  int32_t id, percent;
  std::vector<TPoint> end, start;  // points showing the end picture, and the start picture
  int32_t w = 60, h = 40;
};

TEST(RegionEffects, ShapesShowTheEndPictureInsideAndNotOutside) {
  // 60 x 40 unless given: cx = 30, cy = 20; 25 %: A = 15, B = 10, a2 = 7, b2 = 5; 50 %: A = 30,
  // B = 20, a2 = 15, b2 = 10. Points well inside or outside, worked from each row's geometry.
  const PointCase cases[] = {
      // Curved from Left, 50 %: (-120, 0, 60, 41) with 120 x 41 corners: the right side bulges to
      // x = 60 in the middle, 13 at the top row.
      {77, 50, {{55, 20}, {5, 1}, {30, 5}}, {{45, 2}, {58, 0}}},
      // Curved from Top Left, 50 %: an ellipse 105 x 70 about (-7.5, -5).
      {81, 50, {{20, 10}, {2, 2}}, {{40, 25}, {59, 39}}},
      {84, 50, {{39, 29}, {57, 37}}, {{19, 14}, {0, 0}}},
      // Diagonal from Top Left, 25 %: the triangle (0, 0), (30, 0), (0, 20).
      {133, 25, {{5, 5}, {20, 2}}, {{20, 10}, {40, 2}}},
      {136, 50, {{50, 35}}, {{10, 5}}},
      // Diagonal Sweep Clockwise, 50 %: (60, 0), (0, 0), (60, 20) and (60, 40), (0, 40), (0, 20).
      {137, 50, {{50, 3}, {10, 37}}, {{10, 10}, {50, 30}}},
      // Sweep Clockwise, 25 %: a quarter from twelve o'clock; counter-clockwise the other way.
      {139, 25, {{45, 8}}, {{15, 8}, {45, 32}}},
      {140, 25, {{15, 8}}, {{45, 8}, {15, 32}}},
      // Starburst, 50 %: four triangles from the centre.
      {141, 50, {{20, 5}, {55, 15}}, {{45, 5}}},
      // Rotational Rectangle, 25 % on 200 x 100: (75 .. 125, 38 .. 62) turned a quarter: 88 .. 112
      // by 25 .. 75.
      {143, 25, {{100, 30}, {100, 70}}, {{80, 50}, {120, 50}}, 200, 100},
      // Rotational Star, 25 % on 200 x 100: the star turned a quarter reaches (100, -50) and
      // (50, 50), no longer (0, 50).
      {145, 25, {{100, 10}, {140, 50}}, {{25, 50}, {150, 20}}, 200, 100},
      // Spiralling Rectangle, 25 % on 200 x 100: the rectangle turned a quarter about (A, B) =
      // (50, 25): clockwise to 13 .. 37 by 50 .. 100; counter-clockwise off the frame.
      {169, 25, {{25, 75}, {20, 95}}, {{100, 50}}, 200, 100},
      {170, 25, {}, {{100, 50}, {25, 75}, {75, 5}}, 200, 100},
      // Arrow from Left, 25 %: (0, 10), (30, 20), (0, 30).
      {171, 25, {{5, 20}}, {{25, 12}, {40, 20}}},
      {175, 50, {{5, 20}, {55, 20}}, {{30, 5}, {30, 35}}},
      // Diagonal Cross from Center, 50 %: the frame less four triangles of 15 x 10 at the sides'
      // middles; to the centre, those triangles.
      {177, 50, {{30, 20}, {5, 5}}, {{3, 20}, {30, 3}}},
      {178, 50, {{3, 20}, {30, 3}}, {{30, 20}, {5, 5}}},
      // Zigzag from Horizon, 50 %: s = 6, n = 4, b = 12: the band from 12 / 4 to 36 / 28.
      {179, 50, {{3, 20}, {30, 20}}, {{3, 2}, {3, 38}}},
      // Zigzag from Vertical Center, 50 %: steps of 4 down, n = 6, b = 18: from 18 / 6 to 54 / 42.
      {180, 50, {{30, 20}}, {{2, 20}, {58, 20}}},
      // Diamond from Center, 25 %: (15, 20), (30, 10), (45, 20), (30, 30); to the centre, 50 %: the
      // frame outside (0, 20), (30, 0), (60, 20), (30, 40).
      {181, 25, {{30, 20}}, {{20, 12}, {17, 28}}},
      {182, 50, {{3, 3}, {57, 37}}, {{30, 20}}},
      // Diamond In and Out, 50 %: between (-15, 20), (30, -10), (75, 20), (30, 50) and (15, 20),
      // (30, 10), (45, 20), (30, 30).
      {183, 50, {{10, 20}, {30, 5}}, {{30, 20}, {2, 2}}},
      // Circular from Center, 50 %: (0, 0, 60, 40) with 54 x 36 corners; to the centre, outside it.
      {117, 50, {{30, 20}, {5, 20}}, {{1, 1}, {58, 38}}},
      {118, 50, {{1, 1}, {58, 38}}, {{30, 20}, {5, 20}}},
      // Expanding Circles, 50 %: circles of 4 either way about 5, 15, ...
      {115, 50, {{5, 5}, {15, 25}}, {{10, 10}, {0, 0}}},
      // Expanding Diamonds, 50 %: diamonds of 5 about the same centres.
      {116, 50, {{5, 5}, {25, 15}}, {{10, 10}, {1, 1}}},
      // Expanding Triangles, 50 %: gx = 7, gy = 5; downward triangles 14 wide and 10 high about
      // (7, 5), (21, 5), ...
      {114, 50, {{7, 2}, {21, 12}}, {{0, 8}}},
  };
  for (const PointCase& c : cases) {
    const TFrame f = DrawOnce(c.id, c.percent, c.w, c.h);
    for (const TPoint& p : c.end)
      EXPECT_TRUE(IsEnd(f, p.X, p.Y)) << EffectRow(c.id)->Name << " at " << c.percent << "%: " << p.X << "," << p.Y;
    for (const TPoint& p : c.start)
      EXPECT_FALSE(IsEnd(f, p.X, p.Y)) << EffectRow(c.id)->Name << " at " << c.percent << "%: " << p.X << "," << p.Y;
  }
}

TEST(RegionEffects, ShapeWipesScaleTheirBoxInSinglePrecision) {
  // Heart from Center on 30 x 70 at 50 %: B = 35, A = 15; rx = Round(15 x 1.3) = 19 (the single
  // 1.3 is 1.2999999523, so 19.4999993), ry = Round(45.4999983) = 45: the box (-4, -10, 34, 80),
  // whose square of 38 sits at (-4, 16).
  const TFrame f = DrawOnce(201, 50, 30, 70);
  TOwnedRegion heart(CreateShapeRegion(tsHeart, -4, 16, 38, 38));
  for (int32_t y = 0; y < 70; ++y)
    for (int32_t x = 0; x < 30; ++x)
      ASSERT_EQ(IsEnd(f, x, y), PtInRegion(heart.Get(), x, y)) << x << "," << y;
}

TEST(RegionEffects, CrossWipesStartOverFromTheStartPicture) {
  // Cross from Center on 60 x 40. At 25 %: rx = Round(15 x 3.6) = 54, ry = 36; the box 108 x 72 at
  // (-24, -16) narrows to 54 wide at x = 3; T = min(11, 16) = 11: the bar 24 .. 35 and the bar
  // from y = -16 + Round(61 x 0.33) = 4 to 15 across 3 .. 57.
  const auto at25 = [](int32_t x, int32_t y) { return (x >= 24 && x < 35) || (y >= 4 && y < 15 && x >= 3 && x < 57); };
  // At 50 %: rx = 108, ry = 72; 108 wide at x = -24, T = 22: the bar 19 .. 41 and the bar from
  // -52 + Round(122 x 0.33) = -12 to 10 across the frame.
  const auto at50 = [](int32_t x, int32_t y) { return (x >= 19 && x < 41) || y < 10; };
  ExpectArea(209, 25, at25);
  ExpectArea(209, 50, at50);
  // Drawn one after the other, the second cross does not hold the first: 160 pixels of the end
  // picture at 25 % are the start picture again at 50 %.
  TFrame f = Solids(60, 40);
  Draw(209, f, 25);
  Draw(209, f, 50);
  int back = 0;
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x) {
      ASSERT_EQ(IsEnd(f, x, y), at50(x, y)) << x << "," << y;
      back += at25(x, y) && !at50(x, y);
    }
  EXPECT_EQ(back, 160);
}

// ---- Random grids ----------------------------------------------------------------------------

TEST(RegionEffects, RandomGridsKeepTheirCellsFollowTheEndPictureAndLeaveTheSharedNumbersAlone) {
  for (const int32_t id : {185, 192, 193, 194, 195}) {
    TFrame a = Solids(120, 90);
    RandSeed = 4242;
    Draw(id, a, 30);
    EXPECT_EQ(RandSeed, 4242u) << id;  // the process-wide generator is not touched
    // The same cells on another call of the run, and the cells of 30 % still there at 60 %.
    TFrame b = Solids(120, 90);
    b.end = std::move(a.end);
    Draw(id, b, 30);
    TFrame c = Solids(120, 90);
    c.end = std::move(b.end);
    Draw(id, c, 60);
    int shown = 0, more = 0;
    for (int32_t y = 0; y < 90; ++y)
      for (int32_t x = 0; x < 120; ++x) {
        ASSERT_EQ(IsEnd(a, x, y), IsEnd(b, x, y)) << id << " at " << x << "," << y;
        ASSERT_TRUE(!IsEnd(a, x, y) || IsEnd(c, x, y)) << id << " at " << x << "," << y;
        shown += IsEnd(a, x, y);
        more += IsEnd(c, x, y);
      }
    EXPECT_GT(shown, 0) << id;
    EXPECT_GT(more, shown) << id;
    // Another end picture, other cells.
    TFrame d = Solids(120, 90);
    Draw(id, d, 30);
    int differ = 0;
    for (int32_t y = 0; y < 90; ++y)
      for (int32_t x = 0; x < 120; ++x) differ += IsEnd(a, x, y) != IsEnd(d, x, y);
    EXPECT_GT(differ, 0) << id;
  }
}

TEST(RegionEffects, RandomBigBoxesShowWholeBoxes) {
  // c = 90 div 20 + 1 = 5: boxes 10 wide about 5, 15, 25, ...: each all shown or all not.
  const TFrame f = DrawOnce(185, 50, 120, 90);
  for (int32_t cy = 0; cy < 9; ++cy)
    for (int32_t cx = 0; cx < 12; ++cx) {
      const bool shown = IsEnd(f, cx * 10, cy * 10);
      for (int32_t y = cy * 10; y < cy * 10 + 10; ++y)
        for (int32_t x = cx * 10; x < cx * 10 + 10; ++x) ASSERT_EQ(IsEnd(f, x, y), shown) << x << "," << y;
    }
}

TEST(RegionEffects, RandomExplosionsAlternateWithThePercentsParity) {
  // All cells at 100 % (even: explosions); at 98 % (even) a part of the same; at 99 % (odd) the
  // mirror images, which reach where the explosions of 100 % do not.
  TFrame f100 = Solids(180, 180);
  Draw(195, f100, 100);
  TFrame f98 = Solids(180, 180), f99 = Solids(180, 180);
  f98.end = std::move(f100.end);
  Draw(195, f98, 98);
  f99.end = std::move(f98.end);
  Draw(195, f99, 99);
  int outside98 = 0, outside99 = 0;
  for (int32_t y = 0; y < 180; ++y)
    for (int32_t x = 0; x < 180; ++x) {
      outside98 += IsEnd(f98, x, y) && !IsEnd(f100, x, y);
      outside99 += IsEnd(f99, x, y) && !IsEnd(f100, x, y);
    }
  EXPECT_EQ(outside98, 0);
  EXPECT_GT(outside99, 50);
}

TEST(RegionEffects, RandomShapesOnFramesSmallerThanTheirCellsStillFinish) {
  // The cell spacing Trunc(r x ratio) is 0 on these frames; it is held at 1.
  for (const auto& [id, side] : {std::pair{192, 11}, std::pair{193, 27}, std::pair{194, 13}, std::pair{195, 17}}) {
    TFrame f = Solids(side, side);
    for (int32_t p = 0; p <= 100; p += 20) Draw(id, f, p);
    int shown = 0;
    for (int32_t y = 0; y < side; ++y)
      for (int32_t x = 0; x < side; ++x) shown += IsEnd(f, x, y);
    EXPECT_GT(shown, 0) << id;
  }
}

// ---- The effect list's other cases ---------------------------------------------------------------

TEST(RegionEffects, ShreddedEdgesAreDrawnAnewOnEveryCall) {
  RandSeed = 77;
  const TFrame a = DrawOnce(95, 50, 200, 100), b = DrawOnce(95, 50, 200, 100);
  int differ = 0;
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 200; ++x) differ += IsEnd(a, x, y) != IsEnd(b, x, y);
  EXPECT_GT(differ, 0);
}

TEST(RegionEffects, RectanglesFromTheLeftNeedTwentyRowsToDrawAnything) {
  for (const int32_t percent : {1, 50, 100}) {
    const TFrame f = DrawOnce(165, percent, 60, 19);
    for (int32_t y = 0; y < 19; ++y)
      for (int32_t x = 0; x < 60; ++x) ASSERT_FALSE(IsEnd(f, x, y)) << percent;
  }
}

TEST(RegionEffects, SweepsAtZeroAndTriangleLatticesOfAnyParamDrawSafely) {
  // A sweep of no points at 0 % shows nothing.
  for (const int32_t id : {139, 140}) {
    const TFrame f = DrawOnce(id, 0);
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 60; ++x) ASSERT_FALSE(IsEnd(f, x, y)) << id;
  }
  // Triangular Wipe with the engine's Param 1 on 60 x 40 at 100 %: one cell, the whole frame.
  ExpectArea(184, 100, [](int32_t, int32_t) { return true; });
  // Param asks for n x n cells; more than the frame has pixels are not made, and a lattice of
  // empty triangles draws nothing.
  const double begin = testsupport::ProcessCpuSeconds();
  for (const int32_t param : {90, 1000, 1 << 20, INT32_MAX, -5, 0}) {
    TFrame f = Solids(200, 200);
    Draw(184, f, 50, param);
  }
  EXPECT_LT(testsupport::ProcessCpuSeconds() - begin, 5.0);
  // Param 90 on 200 x 200: n = 100 cells of 2 pixels, triangles of A div n = 1 either way.
  TFrame f = Solids(200, 200);
  Draw(184, f, 50, 90);
  int shown = 0;
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 200; ++x) shown += IsEnd(f, x, y);
  EXPECT_GT(shown, 0);
}

TEST(RegionEffects, NoClipIsLeftSelectedAndNoObjectAlive) {
  const int32_t before = GdiObjectCount();
  for (int32_t id = 77; id <= kEffectCount; ++id) {
    if ((id >= 151 && id <= 158) || (id >= 186 && id <= 189)) continue;
    TFrame f = Solids(33, 25);
    for (const int32_t percent : {0, 40, 100}) Draw(id, f, percent);
    TOwnedRegion clip(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetClipRgn(f.frame->Canvas()->Handle(), clip.Get()), 0) << id;
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

TEST(RegionEffects, RowTwoThirteenDrawsItsStarsInAndOutThoughTheEngineNeverCallsIt) {
  // "6 Pointed Star Wipe In and Out" at 50 %: the ring between the outer star in
  // (-24, -16, 84, 56) (l = Round(1.6 x 15)) and the inner one in (15, 10, 45, 30).
  const TFrame f = DrawOnce(213, 50);
  EXPECT_FALSE(IsEnd(f, 30, 20));  // inside the inner star
  EXPECT_TRUE(IsEnd(f, 30, 6));    // the outer star's upper arms, above the inner one
}

TEST(RegionEffects, AFrameRectangleFarBeyondThePictureCostsOnlyThePictureWorth) {
  // The engine passes the frame's own rectangle; any other one draws only what the picture holds,
  // without building bands or cells beyond it.
  const double begin = testsupport::ProcessCpuSeconds();
  const TRect huge[] = {Rect(0, 0, 1 << 30, 3), Rect(0, 0, 3, 1 << 30), Rect(0, 0, 1 << 30, 1 << 30),
                        Rect(-(1 << 30), -5, 1 << 30, 7)};
  for (const TRect& r : huge)
    for (int32_t id = 77; id <= kEffectCount; ++id) {
      if ((id >= 151 && id <= 158) || (id >= 186 && id <= 189)) continue;
      TFrame f = Solids(48, 30);
      for (const int32_t percent : {1, 50, 100})
        EffectRow(id)->Proc(f.frame->Canvas(), f.start.get(), f.end.get(), r, 7, percent);
    }
  EXPECT_LT(testsupport::ProcessCpuSeconds() - begin, 10.0);
}

}  // namespace
