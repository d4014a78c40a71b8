// The block-transfer procedures called as the engine calls them: which pixels show the end picture
// at a percent, worked out by hand from each effect's rectangles; the worked examples of the unroll
// and the page flip; pushes and squeezes that depend on the percent alone; and the mirrored
// stretch.
#include "imaging/processing/transitions/ie_block_effects.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_mirror_stretch.h"
#include "platform/system/random.h"
#include "tests/imaging/processing/transitions/transition_pictures.h"

using namespace transition_test;

namespace {

bool Inside(const std::vector<TRect>& Rects, int32_t X, int32_t Y) {
  for (const TRect& r : Rects)
    if (PtInRect(r, Point(X, Y))) return true;
  return false;
}

// Draws row Id at Percent on a frame showing the start picture (solid red), the end picture solid
// blue.
std::unique_ptr<TBitmap> DrawOnSolids(int32_t Id, int32_t Percent, int32_t W, int32_t H) {
  auto start = Picture(W, H, Solid(kRed)), end = Picture(W, H, Solid(kBlue));
  auto frame = Picture(W, H, Solid(kRed));
  RandSeed = 1;  // the edges drawn at random the same on every call
  EffectRow(Id)->Proc(frame->Canvas(), start.get(), end.get(), Rect(0, 0, W, H), 1, Percent);
  return frame;
}

struct AreaCase {
  int32_t id;
  int32_t percent;
  std::vector<TRect> end;  // where the end picture shows
  int32_t blackColumn = -1;  // a page flip's line
};

TEST(BlockEffects, ShowTheEndPictureWhereTheirRectanglesFall) {
  // 60 x 40 at 25 %: A = 15, B = 10, a2 = 7, b2 = 5, w2 = 30, h2 = 20, (W - A) div 2 = 22,
  // (H - B) div 2 = 15. At 75 %: A = 45, B = 30.
  const TRect full = Rect(0, 0, 60, 40);
  const AreaCase cases[] = {
      {31, 25, {Rect(0, 0, 15, 40)}},
      {32, 25, {Rect(45, 0, 60, 40)}},
      {33, 25, {Rect(0, 0, 60, 10)}},
      {34, 25, {Rect(0, 30, 60, 40)}},
      {36, 25, {Rect(45, 0, 60, 10)}},
      {38, 25, {Rect(45, 30, 60, 40)}},
      {39, 25, {full}},  // a magnified strip over the whole frame
      {43, 25, {full}},
      {45, 25, {Rect(0, 0, 7, 40), Rect(53, 0, 60, 40)}},
      {46, 25, {Rect(0, 0, 60, 5), Rect(0, 35, 60, 40)}},
      {47, 25, {Rect(0, 15, 60, 25)}},
      {48, 25, {Rect(22, 0, 37, 40)}},
      {49, 25, {Rect(0, 0, 15, 10)}},
      {52, 25, {Rect(45, 30, 60, 40)}},
      {53, 25, {Rect(0, 0, 60, 5), Rect(0, 35, 60, 40)}},
      {54, 25, {Rect(0, 15, 60, 25)}},
      {55, 25, {Rect(0, 0, 7, 40), Rect(53, 0, 60, 40)}},
      {56, 25, {Rect(22, 0, 37, 40)}},
      {57, 25, {full}},  // the rest is a stretched strip of the end picture
      {58, 25, {full}},
      // Unrolls: the roll of a tenth of the frame after the uncovered part, reaching one pixel past
      // its far edge (R = 15 + 6 = 21; the roll covers 15 .. 22).
      {61, 25, {Rect(0, 0, 23, 40)}},
      {62, 25, {Rect(39, 0, 60, 40)}},  // roll 39 .. 45 from the strip 33 .. 39
      {63, 25, {Rect(0, 0, 60, 16)}},   // roll rows 10 .. 15
      {64, 25, {Rect(0, 26, 60, 40)}},
      {65, 25, {Rect(0, 0, 15, 40)}},
      {66, 25, {Rect(45, 0, 60, 40)}},
      {67, 25, {Rect(0, 0, 60, 10)}},
      {68, 25, {Rect(0, 30, 60, 40)}},
      {69, 25, {full}},
      {73, 25, {full}},
      {74, 25, {Rect(0, 0, 7, 5), Rect(0, 35, 7, 40), Rect(53, 35, 60, 40), Rect(53, 0, 60, 5)}},
      {75, 25, {Rect(0, 0, 7, 5), Rect(0, 35, 7, 40), Rect(53, 35, 60, 40), Rect(53, 0, 60, 5)}},
      // Quarters sliding in: top-left from the left, top-right from the top, bottom-right from the
      // right, bottom-left from the bottom.
      {76, 25, {Rect(0, 0, 7, 20), Rect(30, 0, 60, 5), Rect(53, 20, 60, 40), Rect(0, 35, 30, 40)}},
      {151, 25, {Rect(45, 0, 60, 40)}},
      {152, 25, {Rect(0, 0, 15, 40)}},
      {153, 25, {Rect(0, 30, 60, 40)}},
      {154, 25, {Rect(0, 0, 60, 10)}},
      {155, 25, {Rect(45, 0, 60, 40)}},
      {158, 25, {Rect(0, 0, 60, 10)}},
      // Page flips: the start picture's right half turns until the middle (25 %: a page 15 wide
      // at 30), then the end picture's left half (75 %: a page 15 wide ending at 30).
      {186, 25, {Rect(45, 0, 60, 40)}},
      {187, 25, {Rect(46, 0, 60, 40)}, 45},
      {187, 75, {Rect(16, 0, 60, 40)}, 15},
      {188, 25, {Rect(0, 0, 15, 40)}},
      {189, 25, {Rect(0, 0, 15, 40)}, 15},
      {189, 75, {Rect(0, 0, 45, 40)}, 45},
  };
  for (const AreaCase& c : cases) {
    auto frame = DrawOnSolids(c.id, c.percent, 60, 40);
    int wrong = 0;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 60; ++x) {
        const uint32_t want = x == c.blackColumn ? kBlack : (Inside(c.end, x, y) ? kBlue : kRed);
        if (At(*frame, x, y) != want && ++wrong <= 3)
          ADD_FAILURE() << EffectRow(c.id)->Name << " at " << c.percent << "%: pixel " << x << "," << y << " is "
                        << std::hex << At(*frame, x, y) << ", expected " << want;
      }
  }
}

TEST(BlockEffects, UnrollShowsTheStripBeyondTheUncoveredPartMirrored) {
  // 500 wide at 10 %: A = 50, under a fifth of the frame, so R = 75 and the strip 75 .. 100 of the
  // end picture is drawn mirrored over 50 .. 75 (reaching to 76).
  auto start = Picture(500, 4, Solid(kBlack));
  auto end = Picture(500, 4, [](int32_t x, int32_t) { return static_cast<uint32_t>(x / 2) << 16; });
  auto frame = Picture(500, 4, Solid(kBlack));
  EffectRow(iettUnrollFromLeft)->Proc(frame->Canvas(), start.get(), end.get(), Rect(0, 0, 500, 4), 1, 10);
  auto red = [&](int32_t x) { return static_cast<int32_t>(At(*frame, x, 2) >> 16); };
  for (int32_t x = 0; x < 50; ++x) ASSERT_EQ(red(x), x / 2) << x;  // the end picture in place
  // The roll: from the strip's far end (x 99, red 49) down to its near end (x 75, red 37).
  EXPECT_GE(red(50), 47);
  EXPECT_LE(red(76), 39);
  for (int32_t x = 50; x < 76; ++x) {
    EXPECT_GE(red(x), 37) << x;
    EXPECT_LE(red(x), 49) << x;
    EXPECT_GE(red(x), red(x + 1)) << x;
  }
  for (int32_t x = 77; x < 500; ++x) ASSERT_EQ(At(*frame, x, 2), kBlack) << x;
}

TEST(BlockEffects, PageFlipTurnsAtTheMiddle) {
  // At 50 % the turning page has no width: the left half shows the start picture, the right half
  // the end picture. At 51 % (100 wide: d = MulDiv(100, 1, 50) div 2 = 1) the end picture's left
  // half squeezed into column 49 starts the second half of the turn.
  for (const int32_t percent : {50, 51}) {
    auto frame = DrawOnSolids(iettPageFlipEffect, percent, 100, 10);
    for (int32_t x = 0; x < 100; ++x) {
      const bool end = x >= 50 || (percent == 51 && x == 49);
      EXPECT_EQ(At(*frame, x, 5), end ? kBlue : kRed) << percent << "% x " << x;
    }
  }
}

TEST(BlockEffects, PushesAndSqueezesDependOnThePercentAlone) {
  // The start picture moves by A from where it stands, not from where the last call left the frame:
  // a percent reached at once or after every percent before gives the same frame.
  auto gradient = [](int32_t x, int32_t y) { return static_cast<uint32_t>((x * 4) << 16 | (y * 6) << 8 | 0x40); };
  auto start = Picture(60, 40, gradient);
  auto end = Picture(60, 40, Solid(kBlue));
  for (const int32_t id : {151, 152, 153, 154, 155, 156, 157, 158}) {
    auto once = Picture(60, 40, gradient), stepped = Picture(60, 40, gradient);
    const TEffectProc proc = EffectRow(id)->Proc;
    proc(once->Canvas(), start.get(), end.get(), Rect(0, 0, 60, 40), 1, 40);
    for (int32_t p = 1; p <= 40; ++p) proc(stepped->Canvas(), start.get(), end.get(), Rect(0, 0, 60, 40), 1, p);
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 60; ++x) ASSERT_EQ(At(*once, x, y), At(*stepped, x, y)) << id << " at " << x << "," << y;
  }
  // Push left: the start picture shifted left by A = 24 at 40 %.
  auto frame = Picture(60, 40, gradient);
  EffectRow(iettPushLeftAndSlideOut)->Proc(frame->Canvas(), start.get(), end.get(), Rect(0, 0, 60, 40), 1, 40);
  EXPECT_EQ(At(*frame, 0, 7), gradient(24, 7));
  EXPECT_EQ(At(*frame, 35, 7), gradient(59, 7));
  EXPECT_EQ(At(*frame, 36, 7), kBlue);
}

TEST(BlockEffects, OutOfRangePercentsAreHeldAndEmptyFramesDrawNothing) {
  for (int32_t id = 31; id <= kEffectCount; ++id) {
    const TEffectProc proc = EffectRow(id)->Proc;
    if (!proc) continue;
    auto below = DrawOnSolids(id, -5, 33, 25), zero = DrawOnSolids(id, 0, 33, 25);
    auto above = DrawOnSolids(id, 105, 33, 25), hundred = DrawOnSolids(id, 100, 33, 25);
    for (int32_t y = 0; y < 25; ++y)
      for (int32_t x = 0; x < 33; ++x) {
        ASSERT_EQ(At(*below, x, y), At(*zero, x, y)) << id;
        ASSERT_EQ(At(*above, x, y), At(*hundred, x, y)) << id;
      }
    auto start = Picture(8, 8, Solid(kRed)), end = Picture(8, 8, Solid(kBlue)), frame = Picture(8, 8, Solid(kRed));
    for (const TRect& r : {Rect(0, 0, 0, 8), Rect(0, 0, 8, 0), Rect(8, 8, 0, 0)}) {
      proc(frame->Canvas(), start.get(), end.get(), r, 1, 60);
      for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(At(*frame, x, y), kRed) << id;
    }
  }
}

TEST(BlockEffects, GiveBackEveryGdiObjectTheyMake) {
  const int32_t before = GdiObjectCount();
  {
    auto start = Picture(33, 25, Solid(kRed)), end = Picture(33, 25, Solid(kBlue));
    auto frame = Picture(33, 25, Solid(kRed));
    for (int32_t id = 31; id <= kEffectCount; ++id)
      if (const TEffectProc proc = EffectRow(id)->Proc)
        for (const int32_t percent : {0, 30, 70, 100})
          proc(frame->Canvas(), start.get(), end.get(), Rect(0, 0, 33, 25), 1, percent);
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

TEST(MirrorStretchCopy, MirrorsAClippedSourceOnePixelPastBothEdges) {
  // Source columns carry their own number in red.
  auto source = Picture(10, 1, [](int32_t x, int32_t) { return static_cast<uint32_t>(x * 20) << 16; });
  auto target = Picture(30, 1, Solid(kBlue));
  // (10 .. 20) mirrored: the destination's edges swap and move outward, 10 .. 21.
  MirrorStretchCopy(target->Canvas(), Rect(10, 0, 20, 1), source.get(), Rect(-5, 0, 5, 1), true, false);
  // The source is clipped to its columns 0 .. 4, stretched over 12 columns, column 4 first.
  EXPECT_EQ(At(*target, 9, 0), kBlue);
  EXPECT_EQ(At(*target, 22, 0), kBlue);
  EXPECT_EQ(At(*target, 10, 0), 80u << 16);
  EXPECT_EQ(At(*target, 21, 0), 0u);
  for (int32_t x = 10; x < 21; ++x) EXPECT_GE(At(*target, x, 0), At(*target, x + 1, 0)) << x;

  auto column = Picture(1, 10, [](int32_t, int32_t y) { return static_cast<uint32_t>(y * 20); });
  auto tall = Picture(1, 14, Solid(kRed));
  MirrorStretchCopy(tall->Canvas(), Rect(0, 1, 1, 11), column.get(), Rect(0, 0, 1, 10), false, true);
  EXPECT_EQ(At(*tall, 0, 0), kRed);
  EXPECT_EQ(At(*tall, 0, 1), 180u);  // rows 1 .. 12 from row 9 up to row 0
  EXPECT_EQ(At(*tall, 0, 12), 0u);
  EXPECT_EQ(At(*tall, 0, 13), kRed);

  // A source beside the bitmap or a destination without area draws nothing.
  auto untouched = Picture(30, 1, Solid(kBlue));
  MirrorStretchCopy(untouched->Canvas(), Rect(0, 0, 10, 1), source.get(), Rect(10, 0, 20, 1), true, false);
  MirrorStretchCopy(untouched->Canvas(), Rect(5, 0, 5, 1), source.get(), Rect(0, 0, 10, 1), true, false);
  for (int32_t x = 0; x < 30; ++x) EXPECT_EQ(At(*untouched, x, 0), kBlue);
}

}  // namespace
