#include "controls/xc_slider.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "controls/xc_types.h"
#include "platform/ui/forms.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;
using testsupport::KeyPress;
using testsupport::MouseDown;
using testsupport::MouseMove;
using testsupport::MouseUp;

// The colours of the images' letters.
COLORREF Letter(char c) {
  switch (c) {
    case 'K': return RGB(0, 0, 0);
    case 'D': return RGB(0x80, 0x80, 0x80);
    case 'L': return RGB(0xC0, 0xC0, 0xC0);
    case 'H': return RGB(0xFF, 0xFF, 0xFF);
    default: return RGB(0xFF, 0x00, 0xFF);
  }
}

// The horizontal ruler image, as the slider's pictures give it.
constexpr const char* kRuler[8] = {
    "----------", "----------", "DDDDDDDDDH", "DKKKKKKKLH", "DLLLLLLLLH", "HHHHHHHHHH", "----------", "----------",
};

class SliderTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 400, 300);
  }
  TXcxSlider* Make(int width = 121, int height = 25) {
    auto* s = new TXcxSlider(form);
    s->SetParent(form);
    s->SetBounds(0, 0, width, height);
    s->OnChange = [this](TObject*) { ++changes; };
    s->OnChanged = [this](TObject*) { ++changed; };
    return s;
  }
  int changes = 0, changed = 0;
};

TEST_F(SliderTest, TheBuiltInImagesAreThePixelTables) {
  auto* s = Make();
  const int sizes[4][2] = {{18, 17}, {10, 8}, {38, 9}, {8, 10}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s->Image(i)->Width(), sizes[i][0]) << i;
    EXPECT_EQ(s->Image(i)->Height(), sizes[i][1]) << i;
    EXPECT_EQ(ColorToRGB(s->Image(i)->TransparentColor()) & 0xFFFFFF, RGB(0xFF, 0, 0xFF)) << i;
  }
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(At(*s->ImageHRuler(), x, y), Letter(kRuler[y][x])) << x << "," << y;
  // The thumbs' second state is the dithered face.
  EXPECT_EQ(At(*s->ImageHThumb(), 3, 2), RGB(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(At(*s->ImageHThumb(), 12, 2), RGB(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(At(*s->ImageHThumb(), 11, 2), RGB(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(s->UserImages(), 0);
}

TEST_F(SliderTest, TheRulerKeepsItsEndsAndTilesItsMiddle) {
  auto* s = Make();
  TBitmap* ruler = s->Ruler();
  ASSERT_EQ(ruler->Width(), 109);
  ASSERT_EQ(ruler->Height(), 8);
  EXPECT_EQ(s->TrackLength(), 100);
  // 18 pieces: 0..8 the left end and a tile; tiles of image columns 2..7 at 8, 14, ... 98; the
  // last 5 pixels (104..108) image columns 5..9.
  auto column = [](int x) { return x < 8 ? x : x < 104 ? 2 + (x - 2) % 6 : x - 99; };
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 109; ++x) ASSERT_EQ(At(*ruler, x, y), Letter(kRuler[y][column(x)])) << x << "," << y;
  EXPECT_EQ(s->RulerOrigin(), Point(6, 10));
  EXPECT_EQ(s->ThumbRect(), Bounds(6, 6, 9, 17));
  // Each value is one pixel.
  EXPECT_EQ(s->PositionOfValue(0), 6);
  EXPECT_EQ(s->PositionOfValue(37), 43);
  EXPECT_EQ(s->PositionOfValue(100), 106);
}

TEST_F(SliderTest, ElevenTicksTheEndsLonger) {
  auto* s = Make();
  TBitmap page(130, 60);
  page.Canvas()->Brush()->SetColor(clWhite);
  page.Canvas()->FillRect(Rect(0, 0, 130, 60));
  s->DrawPoints(page.Canvas(), 10, 3, 5);
  const int top = s->PointsRect().Top;
  EXPECT_EQ(top, 24);
  std::vector<std::pair<int, int>> ticks;  // column, length
  for (int x = 0; x < 130; ++x) {
    int len = 0;
    while (At(page, x, top + len) == RGB(0, 0, 0)) ++len;
    if (len) ticks.emplace_back(x, len);
  }
  ASSERT_EQ(ticks.size(), 11u);
  for (size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_EQ(ticks[i].first, 10 + 10 * static_cast<int>(i));  // PositionOfValue + half the thumb (4)
    EXPECT_EQ(ticks[i].second, i == 0 || i == 10 ? 5 : 3);
  }
  // A step of 1 on a 100-pixel track: every 4th value, the marks 4 pixels apart.
  TBitmap dense(130, 60);
  s->DrawPoints(dense.Canvas(), 1, 3, 5);
  int marks = 0;
  for (int x = 0; x < 130; ++x) marks += At(dense, x, top) == RGB(0, 0, 0);
  EXPECT_EQ(marks, 26);
}

TEST_F(SliderTest, WithoutSmoothTheThumbLandsOnMultiplesOfTheIncrement) {
  auto* s = Make();
  s->SetOptions(TSliderOptions{soShowPoints});
  MouseDown(s, 8, 14);  // on the thumb
  EXPECT_TRUE(s->Dragging());
  for (int x : {20, 27, 33, 61, 200, -40, 90}) {
    MouseMove(s, x, 14);
    EXPECT_EQ(s->Value() % 10, 0) << x;
  }
  EXPECT_EQ(s->Value(), 80);  // 90 - 2 (the grip) - 6 = 82, snapped
  EXPECT_EQ(s->ThumbRect().Left, 86);
  MouseUp(s, 90, 14);
  EXPECT_EQ(changed, 1);
  // Smooth, every value.
  s->SetOptions(TSliderOptions{soShowPoints, soSmooth});
  MouseDown(s, 88, 14);
  MouseMove(s, 47, 14);
  MouseUp(s, 47, 14);
  EXPECT_EQ(s->Value(), 39);
}

TEST_F(SliderTest, HoldingOnTheRulerStepsAtOnceThenEvery400ms) {
  auto* s = Make();
  s->SetOptions(TSliderOptions{soShowPoints});
  MouseDown(s, 45, 14);  // right of the thumb, on the ruler
  EXPECT_TRUE(s->Tracking());
  EXPECT_EQ(s->Value(), 10);
  s->Perform(WM_TIMER, 1, 0);
  EXPECT_EQ(s->Value(), 20);
  s->Perform(WM_TIMER, 1, 0);
  s->Perform(WM_TIMER, 1, 0);
  EXPECT_EQ(s->Value(), 40);  // the thumb (46..55) has passed the pointer
  s->Perform(WM_TIMER, 1, 0);
  EXPECT_EQ(s->Value(), 40);
  EXPECT_EQ(changed, 0);
  MouseUp(s, 45, 14);
  EXPECT_EQ(changed, 1);
  EXPECT_FALSE(s->Tracking());
  // Away from the ruler nothing steps.
  MouseDown(s, 100, 1);
  EXPECT_EQ(s->Value(), 40);
  MouseUp(s, 100, 1);
  EXPECT_EQ(changed, 1);
}

TEST_F(SliderTest, KeysStepAndJumpAndTheValueStaysInRange) {
  auto* s = Make();
  s->SetFocus();
  KeyPress(s, VK_END);
  EXPECT_EQ(s->Value(), 100);
  KeyPress(s, VK_LEFT);
  EXPECT_EQ(s->Value(), 90);
  KeyPress(s, VK_HOME);
  EXPECT_EQ(s->Value(), 0);
  KeyPress(s, VK_RIGHT);
  EXPECT_EQ(s->Value(), 10);
  EXPECT_EQ(changed, 4);
  EXPECT_EQ(changes, 4);
  // Set from code: held to the range, OnChange only when the stored value changes.
  s->SetValue(150);
  EXPECT_EQ(s->Value(), 100);
  s->SetValue(100);
  EXPECT_EQ(changes, 5);
  EXPECT_EQ(changed, 4);
  // A vertical slider steps up with Up.
  auto* v = Make(40, 150);
  v->SetOrientation(soVertical);
  EXPECT_EQ(v->Width(), 150);  // the swap at run time
  v->SetBounds(200, 0, 40, 150);
  v->SetFocus();
  KeyPress(v, VK_UP);
  EXPECT_EQ(v->Value(), 10);
  KeyPress(v, VK_DOWN);
  EXPECT_EQ(v->Value(), 0);
}

TEST_F(SliderTest, OrientationSwapsTheSizeAtRunTime) {
  auto* s = Make(150, 40);
  s->SetOrientation(soVertical);
  EXPECT_EQ(s->Width(), 40);
  EXPECT_EQ(s->Height(), 150);
  EXPECT_EQ(s->Ruler()->Width(), 8);
  EXPECT_EQ(s->Ruler()->Height(), 138);
  // Larger values higher up.
  EXPECT_LT(s->PositionOfValue(100), s->PositionOfValue(0));
}

TEST_F(SliderTest, TheIncrementMustFitTheRange) {
  auto* s = Make();
  try {
    s->SetIncrement(0);
    ADD_FAILURE() << "no error";
  } catch (const EXCLException& e) {
    EXPECT_EQ(e.Message(), "Value must be between 1 and 100");
  }
  EXPECT_THROW(s->SetIncrement(101), EXCLException);
  s->SetIncrement(25);
  EXPECT_EQ(s->Increment(), 25);
  // A narrower range pulls the increment in; a range the wrong way round is refused.
  s->SetMaxValue(20);
  EXPECT_EQ(s->Increment(), 20);
  s->SetMinValue(30);
  EXPECT_EQ(s->MinValue(), 0);
}

TEST_F(SliderTest, ShortRulersAndNarrowSlidersNeitherFailNorLeaveTheRange) {
  auto* s = Make();
  // A ruler image no longer than its two edges is tiled whole.
  auto stub = testsupport::SolidBitmap(3, 8, clRed);
  stub->Canvas()->SetPixels(0, 0, clBlue);
  s->SetImageHRuler(stub.get());
  EXPECT_EQ(s->UserImages(), 2);
  ASSERT_EQ(s->Ruler()->Width(), 109);
  EXPECT_EQ(At(*s->Ruler(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(At(*s->Ruler(), 3, 0), RGB(0, 0, 255));
  EXPECT_EQ(At(*s->Ruler(), 108, 0), RGB(0, 0, 255));
  EXPECT_EQ(At(*s->Ruler(), 4, 0), RGB(255, 0, 0));
  // An empty one gives an empty ruler.
  TBitmap empty;
  s->SetImageHRuler(&empty);
  EXPECT_EQ(s->Ruler()->Width(), 0);
  EXPECT_LE(s->TrackLength(), 0);
  EXPECT_EQ(s->PositionOfValue(50), 6);
  EXPECT_EQ(s->ValueAtPosition(40), 0);
  s->SetImageHRuler(nullptr);
  EXPECT_EQ(s->Ruler()->Width(), 109);
  // Sliders of 0 to 20 pixels: every value at the start, every position the minimum.
  for (int width = 0; width <= 20; ++width) {
    auto* narrow = Make(width, 25);
    narrow->SetValue(60);
    EXPECT_LE(narrow->TrackLength(), 0) << width;
    EXPECT_EQ(narrow->ThumbRect().Left, 6) << width;
    MouseDown(narrow, width / 2, 12);
    MouseMove(narrow, width + 10, 12);
    MouseUp(narrow, width + 10, 12);
    EXPECT_GE(narrow->Value(), 0);
    EXPECT_LE(narrow->Value(), 100);
    TBitmap page(25, 25);
    narrow->PaintTo(page.Canvas(), 0, 0);
    delete narrow;
  }
}

TEST_F(SliderTest, OverTheThumbTheSliderSetsItsOwnCursor) {
  auto* s = Make();
  MouseMove(s, 10, 14);
  EXPECT_EQ(GetCursor(), Screen->Cursors(372));
  // Elsewhere the window's own cursor.
  MouseMove(s, 80, 2);
  EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(SliderTest, ThePaintedSliderShowsRulerThumbAndTicks) {
  auto* s = Make(121, 40);
  TBitmap page(121, 40);
  s->PaintTo(page.Canvas(), 0, 0);
  // The ruler at (6, 10): its dark top line at row 12; the magenta rows show the background.
  EXPECT_EQ(At(page, 30, 12), RGB(0x80, 0x80, 0x80));
  EXPECT_NE(At(page, 30, 10), RGB(0xFF, 0x00, 0xFF));
  // The thumb at (6, 6) in its first state: light face.
  EXPECT_EQ(At(page, 8, 10), RGB(0xC0, 0xC0, 0xC0));
  // A tick below the ruler at 10.
  EXPECT_EQ(At(page, 10, 24), RGB(0, 0, 0));
}

// The slider keeps a picture of ruler, ticks and thumb between paints. After every change that
// alters them a paint shows the change, pixel for pixel as the drawing without the kept picture
// (ticks drawn by an OnDrawPoints handler take that path).
class SliderDrawingEachTime : public TXcxSlider {
 public:
  using TXcxSlider::TXcxSlider;
  using TXcxSlider::DrawDefaultPoints;
};

std::vector<COLORREF> Painted(TXcxSlider* s) {
  TBitmap page(s->Width(), s->Height());
  page.SetPixelFormat(pf32bit);
  s->PaintTo(page.Canvas(), 0, 0);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) pixels.push_back(At(page, x, y));
  return pixels;
}

TEST_F(SliderTest, EveryChangeShowsAtTheNextPaintAsTheFullDrawingHasIt) {
  struct Case {
    const char* name;
    std::function<void(TXcxSlider*)> change;
  };
  const Case cases[] = {
      {"value", [](TXcxSlider* s) { s->SetValue(37); }},
      {"range", [](TXcxSlider* s) { s->SetMaxValue(50); }},
      {"increment", [](TXcxSlider* s) { s->SetIncrement(25); }},
      {"disabled", [](TXcxSlider* s) { s->SetEnabled(false); }},
      {"vertical", [](TXcxSlider* s) { s->SetOrientation(soVertical); }},
      {"one thumb state", [](TXcxSlider* s) {
         s->SetEnabled(false);
         s->SetNumThumbStates(1);
       }},
      {"no ticks", [](TXcxSlider* s) { s->SetOptions(TSliderOptions{soShowFocus, soSmooth}); }},
      {"bevel", [](TXcxSlider* s) { s->SetBevelStyle(bvRaised); }},
      {"width", [](TXcxSlider* s) { s->SetBounds(0, 0, 90, 40); }},
      {"thumb pixel", [](TXcxSlider* s) { s->ImageHThumb()->Canvas()->SetPixels(3, 3, clRed); }},
      {"ruler pixel", [](TXcxSlider* s) { s->ImageHRuler()->Canvas()->SetPixels(4, 3, clBlue); }},
      {"ruler's own pixel", [](TXcxSlider* s) { s->Ruler()->Canvas()->SetPixels(60, 3, clLime); }},
  };
  for (const Case& c : cases) {
    auto* s = new SliderDrawingEachTime(form);
    s->SetParent(form);
    s->SetBounds(0, 0, 150, 40);
    s->SetValue(10);
    const std::vector<COLORREF> before = Painted(s);
    Painted(s);
    c.change(s);
    const std::vector<COLORREF> kept = Painted(s);
    s->OnDrawPoints = [s](TObject*) { s->DrawDefaultPoints(s->Increment(), 3, 5); };
    const std::vector<COLORREF> drawn = Painted(s);
    EXPECT_NE(kept, before) << c.name;
    EXPECT_EQ(kept, drawn) << c.name;
    delete s;
  }
}

}  // namespace
