#include "controls/xc_tracker.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;
using testsupport::MouseDown;
using testsupport::MouseMove;
using testsupport::MouseUp;

class TrackerTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 600, 200);
  }
  TXcTracker* Make(int width = 150, int height = 24) {
    auto* t = new TXcTracker(form);
    t->SetParent(form);
    t->SetBounds(0, 0, width, height);
    t->OnChangedValue = [this](TObject*, int32_t v) { events.push_back(v); };
    return t;
  }
  static std::unique_ptr<TBitmap> Picture(TXcTracker* t) {
    auto bmp = std::make_unique<TBitmap>(t->Width(), t->Height());
    t->PaintTo(bmp->Canvas(), 0, 0);
    return bmp;
  }
  std::vector<int32_t> events;
};

TEST_F(TrackerTest, TheDefaultGeometryAndPressesRoundHalfToEven) {
  auto* t = Make();
  EXPECT_EQ(t->Low(), 15);
  EXPECT_EQ(t->High(), 135);
  EXPECT_EQ(t->TrackRect(), Rect(15, 9, 135, 15));
  EXPECT_EQ(t->HitRect(), Rect(15, 4, 135, 20));
  t->SetValue(50);
  EXPECT_EQ(t->ThumbRect(), Rect(65, 4, 85, 20));
  EXPECT_TRUE(events.empty());  // a value set by the program raises nothing

  // (x - 15) / 120 x 100: 2.5 goes to 2, 4.17 to 4, 5 stays.
  const std::pair<int, int32_t> presses[] = {{18, 2}, {20, 4}, {21, 5}, {15, 0}, {134, 99}};
  for (auto [x, v] : presses) {
    MouseDown(t, x, 12);
    MouseUp(t, x, 12);
    EXPECT_EQ(t->Value(), v) << x;
  }
  EXPECT_EQ(events, (std::vector<int32_t>{2, 4, 5, 0, 99}));
  // Outside the hit rectangle (the background above the track) nothing happens.
  MouseDown(t, 60, 1);
  MouseUp(t, 60, 1);
  EXPECT_EQ(t->Value(), 99);
  EXPECT_EQ(events.size(), 5u);
}

TEST_F(TrackerTest, DraggingFiresOnEveryMoveAndStopsAtTheEnds) {
  auto* t = Make();
  MouseDown(t, 75, 12);
  MouseMove(t, 75, 40);  // across the axis does not matter
  MouseMove(t, -50, 40);
  EXPECT_EQ(t->Value(), 0);
  MouseMove(t, -60, 0);
  MouseMove(t, 500, 0);
  EXPECT_EQ(t->Value(), 100);
  MouseUp(t, 500, 0);
  MouseMove(t, 30, 12);  // released: no more
  EXPECT_EQ(events, (std::vector<int32_t>{50, 50, 0, 0, 100}));
}

TEST_F(TrackerTest, TheEditorsWideTrackerPutsZeroInTheMiddle) {
  auto* t = Make(457, 24);
  t->SetThumbWidth(26);
  t->SetMinimum(-255);
  t->SetMaximum(255);
  t->SetValue(0);
  EXPECT_EQ(t->Low(), 18);
  EXPECT_EQ(t->High(), 439);
  // 18 + round(255 / 510 x 421) = 18 + round(210.5) = 228.
  EXPECT_EQ(t->ThumbPosition(), 228);
}

TEST_F(TrackerTest, SettersRefuseWhatDoesNotFit) {
  auto* t = Make();
  t->SetValue(40);
  struct Step {
    const char* what;
    std::function<void()> act;
    int32_t min, max, value;
  };
  const Step steps[] = {
      {"value above the maximum", [&] { t->SetValue(101); }, 0, 100, 40},
      {"value below the minimum", [&] { t->SetValue(-1); }, 0, 100, 40},
      {"minimum equal to the maximum", [&] { t->SetMinimum(100); }, 0, 100, 40},
      {"maximum equal to the minimum", [&] { t->SetMaximum(0); }, 0, 100, 40},
      {"maximum below the value", [&] { t->SetMaximum(30); }, 0, 30, 30},
      {"minimum above the value", [&] { t->SetMinimum(20); t->SetValue(25); t->SetMinimum(28); }, 28, 30, 28},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(t->Minimum(), s.min) << s.what;
    EXPECT_EQ(t->Maximum(), s.max) << s.what;
    EXPECT_EQ(t->Value(), s.value) << s.what;
  }
  EXPECT_TRUE(events.empty());
  t->SetThumbHeight(24);
  EXPECT_EQ(t->ThumbHeight(), 16);
  t->SetTrackHeight(24);
  EXPECT_EQ(t->TrackHeight(), 6);
  t->SetTrackHeight(10);
  EXPECT_EQ(t->TrackRect(), Rect(15, 7, 135, 17));
}

TEST_F(TrackerTest, TheTrackColourFollowsTheValueAndTheFramesHaveTheirCorners) {
  auto* t = Make();
  t->SetMinimum(-100);
  t->SetValue(0);
  t->SetTrackPositionColored(true);
  t->SetTrackColor(TColorOf(RGB(200, 101, 51)));
  auto p = Picture(t);
  // Half of each channel, truncated.
  EXPECT_EQ(At(*p, 30, 12), RGB(100, 50, 25));
  // A system colour is taken as RGB first: the button shadow (160) gives 80.
  t->SetTrackColor(clBtnShadow);
  p = Picture(t);
  EXPECT_EQ(At(*p, 30, 12), RGB(80, 80, 80));

  // The track's sunken frame: black left and top, white right and bottom, the top-right and
  // bottom-left corners in the right and bottom colour. The thumb (at 65..85) raised the other way.
  t->SetTrackPositionColored(false);
  t->SetTrackColor(clGray);
  t->SetMinimum(0);
  t->SetValue(50);
  p = Picture(t);
  EXPECT_EQ(At(*p, 15, 9), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 40, 9), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 15, 12), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 134, 9), RGB(255, 255, 255));
  EXPECT_EQ(At(*p, 15, 14), RGB(255, 255, 255));
  EXPECT_EQ(At(*p, 40, 14), RGB(255, 255, 255));
  EXPECT_EQ(At(*p, 40, 12), RGB(128, 128, 128));
  EXPECT_EQ(At(*p, 65, 4), RGB(255, 255, 255));
  EXPECT_EQ(At(*p, 84, 4), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 65, 19), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 84, 10), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 66, 6), RGB(192, 192, 192));
  EXPECT_EQ(At(*p, 5, 2), RGB(192, 192, 192));  // the background
  // The caption: some pixels of the thumb in its colour.
  t->SetCaptionColor(clRed);
  p = Picture(t);
  int red = 0;
  for (int y = 5; y < 19; ++y)
    for (int x = 66; x < 84; ++x) {
      const COLORREF c = At(*p, x, y);
      red += GetRValue(c) > 200 && GetGValue(c) < 150;
    }
  EXPECT_GT(red, 8);
  t->SetShowCaption(false);
  p = Picture(t);
  EXPECT_EQ(At(*p, 75, 12), RGB(192, 192, 192));
}

// The picture is kept between paints: a paint after any change it shows draws it anew, equal to
// a new tracker's picture of the same settings.
TEST_F(TrackerTest, ARepaintShowsEveryChangeSinceTheLastPaint) {
  auto same = [](TBitmap& a, TBitmap& b) {
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        if (At(a, x, y) != At(b, x, y)) return false;
    return true;
  };
  struct Case {
    const char* name;
    std::function<void(TXcTracker*)> change;
  };
  const Case cases[] = {
      {"value", [](TXcTracker* t) { t->SetValue(70); }},
      {"maximum", [](TXcTracker* t) { t->SetMaximum(50); }},
      {"back colour", [](TXcTracker* t) { t->SetBackColor(clYellow); }},
      {"back border", [](TXcTracker* t) { t->SetBackBorder(true); }},
      {"track colour", [](TXcTracker* t) { t->SetTrackColor(clBlue); }},
      {"thumb colour", [](TXcTracker* t) { t->SetThumbColor(clRed); }},
      {"caption colour", [](TXcTracker* t) { t->SetCaptionColor(clWhite); }},
      {"caption hidden", [](TXcTracker* t) { t->SetShowCaption(false); }},
      {"thumb width", [](TXcTracker* t) { t->SetThumbWidth(30); }},
      {"size", [](TXcTracker* t) { t->SetBounds(0, 0, 170, 24); }},
      {"back picture drawn on", [](TXcTracker* t) {
         t->BackBitmap()->SetSize(4, 4);
         t->BackBitmap()->Canvas()->Brush()->SetColor(clNavy);
         t->BackBitmap()->Canvas()->FillRect(Rect(0, 0, 4, 4));
       }},
  };
  for (const Case& c : cases) {
    auto* t = Make();
    t->SetValue(30);
    auto before = Picture(t);
    auto again = Picture(t);
    EXPECT_TRUE(same(*before, *again)) << c.name;
    c.change(t);
    auto after = Picture(t);
    auto* fresh = Make();
    fresh->SetValue(30);
    c.change(fresh);
    auto reference = Picture(fresh);
    EXPECT_FALSE(same(*before, *after)) << c.name;
    EXPECT_TRUE(same(*after, *reference)) << c.name;
    delete t;
    delete fresh;
  }
  // A drag moves the thumb to the pointer, also where the value stays.
  auto* t = Make();
  MouseDown(t, 40, 12);
  auto first = Picture(t);
  MouseMove(t, 41, 12);
  auto second = Picture(t);
  EXPECT_FALSE(same(*first, *second));
  MouseUp(t, 41, 12);
}

TEST_F(TrackerTest, ABackPictureIsTiledFromTheCorner) {
  auto* t = Make();
  t->SetBackBorder(true);
  auto p = Picture(t);
  EXPECT_EQ(At(*p, 0, 0), RGB(0, 0, 0));  // the outline in BorderColor
  // A 10 x 7 picture, red with a blue first column.
  auto tile = testsupport::SolidBitmap(10, 7, clRed);
  tile->Canvas()->Brush()->SetColor(clBlue);
  tile->Canvas()->FillRect(Rect(0, 0, 1, 7));
  t->SetBackBitmap(tile.get());
  p = Picture(t);
  EXPECT_EQ(At(*p, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(At(*p, 140, 21), RGB(0, 0, 255));
  EXPECT_EQ(At(*p, 145, 1), RGB(255, 0, 0));
  // Empty in one dimension: the colour again.
  auto empty = std::make_unique<TBitmap>(10, 0);
  t->SetBackBitmap(empty.get());
  p = Picture(t);
  EXPECT_EQ(At(*p, 5, 2), RGB(192, 192, 192));
}

TEST_F(TrackerTest, NarrowTrackersAndOddThumbsNeitherFailNorLeaveTheRange) {
  for (int width = 0; width <= 20; ++width) {
    auto* t = Make(width, 24);
    for (int thumb : {0, 20, 300}) {
      t->SetThumbWidth(thumb);
      Picture(t);
      for (int x : {-5, 0, width / 2, width, width + 5}) {
        MouseDown(t, x, 12);
        MouseMove(t, x + 3, 12);
        MouseUp(t, x + 3, 12);
        EXPECT_GE(t->Value(), 0);
        EXPECT_LE(t->Value(), 100);
      }
    }
    delete t;
  }
  // Vertical: values grow downwards.
  auto* v = Make(24, 150);
  v->SetOrientation(jtbVertical);
  EXPECT_EQ(v->Low(), 13);
  EXPECT_EQ(v->High(), 137);
  MouseDown(v, 12, 136);
  EXPECT_EQ(v->Value(), 99);  // round(123 / 124 x 100)
  MouseMove(v, 12, 300);
  MouseUp(v, 12, 300);
  EXPECT_EQ(v->Value(), 100);
}

}  // namespace
