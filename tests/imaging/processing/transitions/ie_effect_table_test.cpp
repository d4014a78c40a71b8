// The effect table: its rows, their classification as the effect list gives it, which rows carry
// a procedure, and the scaled frame size every procedure starts from.
#include "imaging/processing/transitions/ie_effect_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "imaging/processing/transitions/ie_transition_effects.h"

namespace {

struct KindRange {
  int kind;
  bool flag;
  int first, last;
};

// The kind table of the effect list, typed in as it stands: kind, flag and the rows carrying them.
const KindRange kKinds[] = {
    {0, true, 1, 1},       {0, false, 4, 4},      {0, false, 186, 189},  {1, true, 5, 12},
    {1, true, 27, 28},     {1, true, 49, 56},     {1, true, 74, 74},     {2, true, 61, 64},
    {2, true, 147, 150},   {3, true, 77, 84},     {4, true, 133, 136},   {4, true, 171, 176},
    {4, true, 179, 180},   {4, true, 184, 184},   {4, true, 190, 191},   {5, true, 117, 118},
    {5, true, 177, 178},   {5, true, 181, 182},   {5, true, 201, 210},   {6, true, 183, 183},
    {6, true, 211, 214},   {7, true, 95, 112},    {8, true, 85, 94},     {8, true, 119, 132},
    {9, false, 13, 16},    {9, false, 18, 18},    {9, false, 20, 20},    {9, false, 22, 22},
    {9, false, 24, 24},    {9, false, 65, 68},    {9, false, 76, 76},    {10, false, 17, 17},
    {10, false, 19, 19},   {10, false, 21, 21},   {10, false, 23, 23},   {10, false, 151, 158},
    {11, false, 69, 73},   {12, false, 29, 48},   {12, false, 75, 75},   {13, true, 113, 116},
    {13, true, 196, 200},  {14, true, 25, 26},    {14, true, 185, 185},  {14, true, 192, 195},
    {15, true, 137, 146},  {15, true, 169, 170},  {16, false, 57, 60},   {16, true, 159, 164},
    {17, false, 2, 3},     {17, true, 165, 168},
};

TEST(EffectTable, EveryRowHasTheKindAndFlagOfTheEffectList) {
  int covered[kEffectCount + 1] = {};
  for (const KindRange& k : kKinds) {
    for (int id = k.first; id <= k.last; ++id) {
      ++covered[id];
      const TEffect* row = EffectRow(id);
      ASSERT_NE(row, nullptr) << id;
      EXPECT_EQ(row->Kind, k.kind) << id << " " << row->Name;
      EXPECT_EQ(row->Flag, k.flag) << id << " " << row->Name;
    }
  }
  for (int id = 1; id <= kEffectCount; ++id) EXPECT_EQ(covered[id], 1) << "row " << id << " in the kind table";
}

TEST(EffectTable, HasRowsOneTo214AndNothingOutside) {
  EXPECT_EQ(kEffectCount, 214);
  EXPECT_EQ(EffectRow(0), nullptr);
  EXPECT_EQ(EffectRow(-1), nullptr);
  EXPECT_EQ(EffectRow(215), nullptr);
  EXPECT_EQ(EffectRow(255), nullptr);
  EXPECT_EQ(EffectRow(1), &EffectTable[0]);
  EXPECT_EQ(EffectRow(214), &EffectTable[213]);
  std::set<std::string> names;
  for (int id = 1; id <= kEffectCount; ++id) names.insert(EffectRow(id)->Name);
  EXPECT_EQ(names.size(), 214u) << "every row has its own name";
}

TEST(EffectTable, NamesAreTheEffectListsAndIdsFrom188DrawTheRowOfTheirOwnNumber) {
  const std::pair<int, const char*> names[] = {
      {1, "Cross Fade"},
      {30, "Expand In to Center"},
      {31, "Expand from Left"},
      {76, "Quarters Slide in to Center"},
      {151, "Push Left and Slide out"},
      {187, "Page Flip 2"},
      {188, "Reverse Page Flip"},            // iettZigzagWipeToHorizon
      {189, "Reverse Page Flip 2"},          // iettZigzagWipeToVerticalCenter
      {190, "Zigzag Wipe To Horizon"},       // iettRandomHearts
      {212, "5 Pointed Star Wipe In and Out"},  // iettExplosionWipeInAndOut
      {213, "6 Pointed Star Wipe In and Out"},  // iettPanZoom: the engine's pan-zoom instead
      {214, "Explosion Wipe In and Out"},
  };
  for (const auto& [id, name] : names) EXPECT_STREQ(EffectRow(id)->Name, name) << id;
  EXPECT_EQ(iettZigzagWipeToHorizon, 188);
  EXPECT_EQ(iettExplosionWipeInAndOut, 212);
  EXPECT_EQ(iettPanZoom, 213);
}

TEST(EffectTable, TheEnginesOwnRowsHaveNoProcedureAndEveryOtherRowHasOne) {
  for (int id = 1; id <= 30; ++id) EXPECT_EQ(EffectRow(id)->Proc, nullptr) << id;
  // The block transfers (31 to 76, 151 to 158, 186 to 189) and the region effects (the rest),
  // row 213 included though the engine draws its pan-zoom instead.
  std::set<TEffectProc> procedures;
  for (int id = 31; id <= kEffectCount; ++id) {
    EXPECT_NE(EffectRow(id)->Proc, nullptr) << id;
    procedures.insert(EffectRow(id)->Proc);
  }
  EXPECT_EQ(procedures.size(), 184u);  // one procedure a row
}

struct ScaleCase {
  TRect rect;
  int32_t percent;
  int32_t w, h, a, b;
};

TEST(ScaleFrameSize, ScalesFromTheLongerSideWithARoundingMulDiv) {
  const ScaleCase cases[] = {
      {{0, 0, 100, 200}, 33, 100, 200, 33, 66},  // taller: B = 66 first, then A = 66 x 100 / 200
      {{0, 0, 200, 100}, 33, 200, 100, 66, 33},
      {{0, 0, 60, 40}, 25, 60, 40, 15, 10},
      {{0, 0, 33, 25}, 50, 33, 25, 17, 13},      // 16.5 -> 17, then 17 x 25 / 33 = 12.88 -> 13
      {{0, 0, 60, 40}, 0, 60, 40, 0, 0},
      {{0, 0, 60, 40}, 100, 60, 40, 60, 40},
      {{0, 0, 30, 70}, 100, 30, 70, 30, 70},
      {{10, 20, 70, 60}, 50, 60, 40, 30, 20},   // only the size of the rectangle counts
      {{0, 0, 60, 40}, -5, 60, 40, 0, 0},        // percents are held to 0 .. 100
      {{0, 0, 60, 40}, 105, 60, 40, 60, 40},
      {{0, 0, 0, 0}, 50, 0, 0, 0, 0},            // no area: no scaled size (MulDiv would give -1)
      {{0, 0, 0, 5}, 50, 0, 5, 0, 0},
      {{5, 5, 0, 0}, 50, -5, -5, 0, 0},
  };
  for (const ScaleCase& c : cases) {
    int32_t w = -9, h = -9, a = -9, b = -9;
    ScaleFrameSize(c.rect, c.percent, w, h, a, b);
    EXPECT_EQ(w, c.w) << c.rect.Right << "x" << c.rect.Bottom << " at " << c.percent;
    EXPECT_EQ(h, c.h) << c.rect.Right << "x" << c.rect.Bottom << " at " << c.percent;
    EXPECT_EQ(a, c.a) << c.rect.Right << "x" << c.rect.Bottom << " at " << c.percent;
    EXPECT_EQ(b, c.b) << c.rect.Right << "x" << c.rect.Bottom << " at " << c.percent;
  }
}

TEST(StepPercent, RoundsHalvesToEven) {
  // Step / 1024 x 100: 5 -> 0.49, 6 -> 0.59, 128 -> 12.5, 384 -> 37.5, 640 -> 62.5, 896 -> 87.5,
  // 1019 -> 99.5.
  const std::pair<int32_t, int32_t> cases[] = {{0, 0},     {5, 0},     {6, 1},     {128, 12},  {384, 38},
                                               {512, 50},  {640, 62},  {896, 88},  {1019, 100}, {1024, 100},
                                               {-3, 0},    {5000, 100}};
  for (const auto& [step, percent] : cases) EXPECT_EQ(TIETransitionEffects::StepPercent(step), percent) << step;
}

}  // namespace
