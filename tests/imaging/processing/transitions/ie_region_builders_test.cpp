// The bar, shred and speckle builders: their exact rectangle lists on small frames, worked out by
// hand from the band sizes (bars), and from the numbers a generator seeded the same way gives
// (shreds and speckles take one number a strip or a block, in order).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "imaging/processing/transitions/ie_region_builders.h"
#include "platform/system/random.h"
#include "tests/imaging/processing/transitions/region_test_support.h"

using namespace region_test;

namespace {

using TAddFn = void (*)(TComplexRegion&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const TRect*);
using TCreateFn = HRGN (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const TRect*);

std::vector<TRect> List(TAddFn Add, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HK, int32_t VK,
                        const TRect* Window = nullptr) {
  TComplexRegion r;
  Add(r, XP, YP, W, H, HK, VK, Window);
  return {r.Rects().begin(), r.Rects().end()};
}

struct BarsCase {
  const char* what;
  int32_t xp, yp, w, h, hk, vk;
  std::vector<TRect> rects;
};

// Frames under 50 pixels a side have bands 1 thick: the first pass steps f = 0, 2, 4, ... while
// f < H + 1, the second f = 1, 3, 5, ....
const BarsCase kBars[] = {
    {"kind 2, first pass: even bands from the left", 4, 0, 10, 6, 2, 0,
     {{0, 0, 4, 1}, {0, 2, 4, 3}, {0, 4, 4, 5}, {0, 6, 4, 7}}},
    {"kind 4, first pass: as kind 2", 4, 0, 10, 6, 4, 0, {{0, 0, 4, 1}, {0, 2, 4, 3}, {0, 4, 4, 5}, {0, 6, 4, 7}}},
    {"kind 1, first pass: even bands from the right", 4, 0, 10, 6, 1, 0,
     {{6, 0, 10, 1}, {6, 2, 10, 3}, {6, 4, 10, 5}, {6, 6, 10, 7}}},
    {"kind 5, first pass: as kind 1", 4, 0, 10, 6, 5, 0, {{6, 0, 10, 1}, {6, 2, 10, 3}, {6, 4, 10, 5}, {6, 6, 10, 7}}},
    {"kind 3: odd bands from the left, even ones from the right", 4, 0, 10, 6, 3, 0,
     {{0, 1, 4, 2}, {6, 0, 10, 1}, {0, 3, 4, 4}, {6, 2, 10, 3}, {0, 5, 4, 6}, {6, 4, 10, 5}, {0, 7, 4, 8}, {6, 6, 10, 7}}},
    {"kind 1, second pass: even bands whole, odd ones from the right", 14, 0, 10, 6, 1, 0,
     {{0, 0, 10, 1}, {6, 1, 10, 2}, {0, 2, 10, 3}, {6, 3, 10, 4}, {0, 4, 10, 5}, {6, 5, 10, 6}}},
    {"kind 4, second pass: odd bands from the right", 14, 0, 10, 6, 4, 0,
     {{0, 0, 10, 1}, {6, 1, 10, 2}, {0, 2, 10, 3}, {6, 3, 10, 4}, {0, 4, 10, 5}, {6, 5, 10, 6}}},
    {"kind 2, second pass: odd bands from the left", 14, 0, 10, 6, 2, 0,
     {{0, 0, 10, 1}, {0, 1, 4, 2}, {0, 2, 10, 3}, {0, 3, 4, 4}, {0, 4, 10, 5}, {0, 5, 4, 6}}},
    {"kind 5, second pass: odd bands from the left", 14, 0, 10, 6, 5, 0,
     {{0, 0, 10, 1}, {0, 1, 4, 2}, {0, 2, 10, 3}, {0, 3, 4, 4}, {0, 4, 10, 5}, {0, 5, 4, 6}}},
    {"at 2W every band is whole", 20, 0, 10, 3, 2, 0, {{0, 0, 10, 1}, {0, 1, 10, 2}, {0, 2, 10, 3}, {0, 3, 10, 4}}},
    {"vertical kind 1: even columns from the bottom", 0, 4, 6, 10, 0, 1,
     {{0, 6, 1, 10}, {2, 6, 3, 10}, {4, 6, 5, 10}, {6, 6, 7, 10}}},
    {"vertical kind 5, second pass: odd columns from the top", 0, 14, 6, 10, 0, 5,
     {{0, 0, 1, 10}, {1, 0, 2, 4}, {2, 0, 3, 10}, {3, 0, 4, 4}, {4, 0, 5, 10}, {5, 0, 6, 4}}},
    {"vertical kind 3: even columns from the bottom, odd ones from the top", 0, 3, 3, 10, 0, 3,
     {{1, 0, 2, 3}, {0, 7, 1, 10}, {3, 0, 4, 3}, {2, 7, 3, 10}}},
    {"both parts, rows first", 3, 5, 6, 6, 2, 2,
     {{0, 0, 3, 1}, {0, 2, 3, 3}, {0, 4, 3, 5}, {0, 6, 3, 7}, {0, 0, 1, 5}, {2, 0, 3, 5}, {4, 0, 5, 5}, {6, 0, 7, 5}}},
    {"nothing at 0: empty rectangles", 0, 0, 4, 3, 1, 0, {{4, 0, 4, 1}, {4, 2, 4, 3}}},
    {"kind 0 both ways: nothing", 5, 5, 10, 10, 0, 0, {}},
    {"a frame without area: nothing", 5, 5, 0, 10, 1, 1, {}},
};

TEST(BarsRegion, RectangleListsOfEveryKindInBothPasses) {
  for (const BarsCase& c : kBars)
    EXPECT_EQ(List(AddBarsRects, c.xp, c.yp, c.w, c.h, c.hk, c.vk), c.rects) << c.what;
}

TEST(BarsRegion, BandsAreTheFiftiethOfTheSmallerSidePlusOne) {
  // 100 x 60: e = 60 div 50 + 1 = 2; the first pass steps f by 4 while f < 62.
  const std::vector<TRect> rects = List(AddBarsRects, 30, 0, 100, 60, 4, 0);
  ASSERT_EQ(rects.size(), 16u);
  EXPECT_EQ(rects.front(), (TRect{0, 0, 30, 2}));
  EXPECT_EQ(rects.back(), (TRect{0, 60, 30, 62}));
}

TEST(BarsRegion, AFrameWithoutAreaGivesAnEmptyRegion) {
  for (const TCreateFn create : {CreateBarsRegion, CreateShreddedRegion, CreateSpeckledRegion})
    for (const auto& [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-64, 5}, std::pair{3, -1}}) {
      TOwnedRegion r(create(5, 5, w, h, 1, 1, nullptr));
      ASSERT_TRUE(r);
      EXPECT_TRUE(IsEmptyRegion(r.Get()));
    }
}

TEST(BarsRegion, AWindowLeavesOutOnlyBandsOutsideIt) {
  const TRect window{7, 11, 40, 29};
  TOwnedRegion all(CreateBarsRegion(70, 90, 60, 80, 5, 3, nullptr)), part(CreateBarsRegion(70, 90, 60, 80, 5, 3, &window));
  TOwnedRegion clip(CreateRectRgnIndirect(&window));
  CombineRgn(all.Get(), all.Get(), clip.Get(), RGN_AND);
  CombineRgn(part.Get(), part.Get(), clip.Get(), RGN_AND);
  EXPECT_TRUE(EqualRgn(all.Get(), part.Get()));
  // A frame a billion pixels wide and three high: only the columns about the window are built.
  const TRect small{0, 0, 48, 3};
  TComplexRegion r;
  AddBarsRects(r, 1 << 29, 2, 1 << 30, 3, 2, 1, &small);
  EXPECT_LT(r.Count(), 200);
}

// ---- Shredded -----------------------------------------------------------------------------------

TEST(ShreddedRegion, OneNumberAStripRowsFirstEachReachingXPGiveOrTakeATenth) {
  // 20 x 10: strips 1 thick; XP = 5 < 20 so the jitter is 20 div 10 = 2: r = Random(4) + 5 - 2.
  RandSeed = 1234;
  TRandom rng{1234};
  const std::vector<TRect> rects = List(AddShreddedRects, 5, 4, 20, 10, 2, 1);
  std::vector<TRect> expected;
  for (int32_t o = 0; o < 10; ++o) expected.push_back({0, o, rng.Random(4) + 3, o + 1});
  // Then the columns, from the bottom: jitter 10 div 10 = 1, r = Random(2) + 4 - 1.
  for (int32_t o = 0; o < 20; ++o) {
    const int32_t r = rng.Random(2) + 3;
    expected.push_back({o, 10 - r, o + 1, 10});
  }
  EXPECT_EQ(rects, expected);
  EXPECT_EQ(RandSeed, rng.RandSeed);  // one number a strip, no more
}

TEST(ShreddedRegion, KindsFillFromEitherSideTheCentreOrBoth) {
  struct Case {
    int32_t kind;
    std::function<std::vector<TRect>(int32_t r, int32_t o)> strip;
  };
  // 30 x 3, XP = 12: jitter 3, r = Random(6) + 9; kinds 3 and 4 halve r.
  const Case cases[] = {
      {1, [](int32_t r, int32_t o) { return std::vector<TRect>{{30 - r, o, 30, o + 1}}; }},
      {2, [](int32_t r, int32_t o) { return std::vector<TRect>{{0, o, r, o + 1}}; }},
      {3, [](int32_t r, int32_t o) { return std::vector<TRect>{{15 - r / 2, o, 15, o + 1}, {15, o, 15 + r / 2, o + 1}}; }},
      {4, [](int32_t r, int32_t o) { return std::vector<TRect>{{30 - r / 2, o, 30, o + 1}, {0, o, r / 2, o + 1}}; }},
  };
  for (const Case& c : cases) {
    RandSeed = 77;
    TRandom rng{77};
    std::vector<TRect> expected;
    for (int32_t o = 0; o < 3; ++o)
      for (const TRect& t : c.strip(rng.Random(6) + 9, o)) expected.push_back(t);
    EXPECT_EQ(List(AddShreddedRects, 12, 0, 30, 3, c.kind, 0), expected) << "kind " << c.kind;
  }
}

TEST(ShreddedRegion, EdgesAtTheStartStayAsTheyAreAndTheEndIsWhole) {
  // At XP = 0 a strip reaches Random(4) - 2: the reversed ones stay in the list and cover nothing.
  RandSeed = 5;
  TRandom rng{5};
  const std::vector<TRect> start = List(AddShreddedRects, 0, 0, 20, 8, 2, 0);
  for (int32_t o = 0; o < 8; ++o) EXPECT_EQ(start[o], (TRect{0, o, rng.Random(4) - 2, o + 1}));
  // At XP = W there is no jitter: every strip is whole.
  const std::vector<TRect> end = List(AddShreddedRects, 20, 0, 20, 3, 1, 0);
  EXPECT_EQ(end, (std::vector<TRect>{{0, 0, 20, 1}, {0, 1, 20, 2}, {0, 2, 20, 3}}));
}

TEST(ShreddedRegion, StripsAreTheTwoHundredthOfTheSideAndTheLastTakesTheRest) {
  // 450 x 403: e = 403 div 200 + 1 = 3 and g = 403 mod 3 = 1: strips 4 rows high at o = 0, 3, ...
  const std::vector<TRect> rects = List(AddShreddedRects, 450, 0, 450, 403, 2, 0);
  ASSERT_EQ(rects.size(), 135u);
  EXPECT_EQ(rects[0], (TRect{0, 0, 450, 4}));
  EXPECT_EQ(rects[134], (TRect{0, 402, 450, 406}));
}

// ---- Speckled -----------------------------------------------------------------------------------

// The rows of speckles for a horizontal part of 100 pixels at XP = 30: zone 10, blocks h = 2
// (10 div 20 raised to 2), n = 5 of them, the first l = 30 div 8 = 3 shown two times in i.
std::vector<TRect> SpeckleRows(TRandom& Rng, bool FromRight, int32_t Rows) {
  std::vector<TRect> out;
  for (int32_t y = 0; y < Rows; ++y) {
    out.push_back(FromRight ? TRect{70, y, 100, y + 2} : TRect{0, y, 30, y + 2});
    for (int32_t i = 5; i >= 1; --i) {
      const int32_t v = Rng.Random(i);
      if (i <= 3 ? v > 1 : v != 0) continue;
      out.push_back(FromRight ? TRect{70 - 2 * i, y, 72 - 2 * i, y + 2} : TRect{28 + 2 * i, y, 30 + 2 * i, y + 2});
    }
  }
  return out;
}

TEST(SpeckledRegion, OneNumberABlockFromTheFarthestInEachRow) {
  for (const bool fromRight : {false, true}) {
    RandSeed = 4321;
    TRandom rng{4321};
    EXPECT_EQ(List(AddSpeckledRects, 30, 0, 100, 6, fromRight ? 1 : 2, 0), SpeckleRows(rng, fromRight, 6));
    EXPECT_EQ(RandSeed, rng.RandSeed);
  }
}

TEST(SpeckledRegion, RowsOverlapByHalfABlockAndTheEndIsWhole) {
  // 1000 wide at XP = 100: zone 100, h = 5, rows every 2 pixels.
  RandSeed = 9;
  const std::vector<TRect> rects = List(AddSpeckledRects, 100, 0, 1000, 7, 2, 0);
  std::vector<int32_t> rows;
  for (const TRect& r : rects) {
    EXPECT_EQ(r.Bottom - r.Top, 5);
    EXPECT_LE(r.Right, 100 + 100);  // within the tenth ahead of the edge
    if (r.Left == 0) rows.push_back(r.Top);
  }
  EXPECT_EQ(rows, (std::vector<int32_t>{0, 2, 4, 6}));
  // At XP = W the zone is empty: rows of 2 every pixel, no blocks.
  EXPECT_EQ(List(AddSpeckledRects, 0, 9, 2, 9, 0, 1),
            (std::vector<TRect>{{0, 0, 2, 9}, {1, 0, 3, 9}}));
}

TEST(SpeckledRegion, TheVerticalPartFillsFromTheTopOrTheBottom) {
  // 6 x 100 at YP = 30: the same numbers as the horizontal part, x and y exchanged.
  for (const bool fromBottom : {false, true}) {
    RandSeed = 31;
    TRandom rng{31};
    std::vector<TRect> expected;
    for (const TRect& t : SpeckleRows(rng, fromBottom, 6)) expected.push_back({t.Top, t.Left, t.Bottom, t.Right});
    EXPECT_EQ(List(AddSpeckledRects, 0, 30, 6, 100, 0, fromBottom ? 1 : 2), expected);
  }
}

}  // namespace
