#include "controls/xc_spin_button.h"

#include <gtest/gtest.h>

#include "platform/ui/dialogs.h"
#include "platform/ui/edit_ctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/theme_services.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::MouseDown;
using testsupport::MouseMove;
using testsupport::MouseUp;

// The system colours the plain faces use (the framework's fixed table).
constexpr COLORREF F = RGB(240, 240, 240), H = RGB(255, 255, 255), L = RGB(227, 227, 227), S = RGB(160, 160, 160),
                   D = RGB(105, 105, 105), K = RGB(0, 0, 0), WF = RGB(100, 100, 100);

class SpinButtonTest : public testsupport::FormTest {
 protected:
  void TearDown() override {
    ThemeServices()->SetThemesEnabled(true);
    FormTest::TearDown();
  }
  // A button at (10, 10) of the form, counting its clicks.
  TXcSpinButton* Make(int width = 20, int height = 20) {
    auto* b = new TXcSpinButton(form);
    b->SetParent(form);
    b->SetBounds(10, 10, width, height);
    b->OnTopClick = [this](TObject*) { ++top; };
    b->OnBottomClick = [this](TObject*) { ++bottom; };
    return b;
  }
  std::unique_ptr<TBitmap> Picture(TXcSpinButton* b) {
    auto bmp = std::make_unique<TBitmap>(b->Width(), b->Height());
    b->Perform(WM_PAINT, reinterpret_cast<WPARAM>(bmp->Canvas()->Handle()), 0);
    return bmp;
  }
  static bool Same(TBitmap& a, TBitmap& b) {
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        if (testsupport::At(a, x, y) != testsupport::At(b, x, y)) return false;
    return true;
  }
  int top = 0, bottom = 0;
};

TEST_F(SpinButtonTest, TheDiagonalAndTheMiddleSplitTheHalves) {
  auto* b = Make();
  struct Case {
    int x, y;
    bool bottom;
  };
  // y > 20 - x is below the diagonal from (0, 20) to (20, 0), which at x = 18 runs at y = 2.
  const Case diagonal[] = {{5, 5, false},  {15, 15, true}, {18, 1, false}, {18, 2, false},
                           {18, 3, true},  {10, 10, false}, {10, 11, true}, {0, 19, false}};
  for (const Case& c : diagonal) EXPECT_EQ(b->InBottomHalf(c.x, c.y), c.bottom) << c.x << "," << c.y;
  b->SetButtonStyle(sbsClassic);
  const Case stacked[] = {{5, 10, false}, {5, 11, true}, {19, 0, false}};
  for (const Case& c : stacked) EXPECT_EQ(b->InBottomHalf(c.x, c.y), c.bottom) << c.x << "," << c.y;
  // A button without width has no lower half, and nothing divides by its width.
  b->SetButtonStyle(sbsDefault);
  b->SetBounds(10, 10, 0, 20);
  EXPECT_FALSE(b->InBottomHalf(0, 19));

  b->SetBounds(10, 10, 20, 20);
  MouseDown(form, 15, 15);
  MouseUp(form, 15, 15);
  MouseDown(form, 25, 25);
  MouseUp(form, 25, 25);
  EXPECT_EQ(top, 1);
  EXPECT_EQ(bottom, 1);
}

TEST_F(SpinButtonTest, HeldDownItClicksAtOnceThenAfterTheInitialPauseThenEveryRepeatPause) {
  auto* b = Make();
  EXPECT_EQ(b->RepeatTimer(), nullptr);
  MouseDown(form, 15, 15);
  EXPECT_EQ(top, 1);
  EXPECT_EQ(b->PressedState(), sbsTopDown);
  TTimer* t = b->RepeatTimer();
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->Enabled());
  EXPECT_EQ(t->Interval(), 400u);
  t->OnTimer(t);
  EXPECT_EQ(top, 2);
  EXPECT_EQ(t->Interval(), 100u);
  t->OnTimer(t);
  EXPECT_EQ(top, 3);

  // Dragged onto the other half no half shows pressed and nothing repeats; back, it goes on.
  MouseMove(form, 25, 25);
  EXPECT_EQ(b->PressedState(), sbsNotDown);
  t->OnTimer(t);
  EXPECT_EQ(top, 3);
  EXPECT_EQ(bottom, 0);
  MouseMove(form, 100, 100);
  EXPECT_EQ(b->PressedState(), sbsNotDown);
  MouseMove(form, 14, 14);
  EXPECT_EQ(b->PressedState(), sbsTopDown);
  t->OnTimer(t);
  EXPECT_EQ(top, 4);
  MouseUp(form, 14, 14);
  EXPECT_EQ(b->PressedState(), sbsNotDown);
  EXPECT_FALSE(t->Enabled());

  // On a real clock.
  b->SetInitRepeatPause(20);
  b->SetRepeatPause(5);
  top = 0;
  MouseDown(form, 15, 15);
  EXPECT_TRUE(testsupport::WaitFor([&] { return top >= 4; }));
  MouseUp(form, 15, 15);
}

TEST_F(SpinButtonTest, AReleaseOutsideEndsThePressSoTheNextPressClicks) {
  auto* b = Make();
  MouseDown(form, 15, 15);
  MouseUp(form, 150, 150);  // no move before it
  EXPECT_EQ(b->PressedState(), sbsNotDown);
  MouseDown(form, 15, 15);
  MouseUp(form, 15, 15);
  EXPECT_EQ(top, 2);
}

// Buttons of 0 to 20 pixels either way, in both styles and with styles on and off, paint and take
// presses without failing; a press always clicks one half.
TEST_F(SpinButtonTest, TinyButtonsPaintAndClick) {
  for (bool themed : {true, false}) {
    ThemeServices()->SetThemesEnabled(themed);
    for (TXcSpinButtonStyle style : {sbsDefault, sbsClassic})
      for (int w = 0; w <= 20; w += 2)
        for (int h = 0; h <= 20; h += 5) {
          auto* b = Make(w, h);
          b->SetButtonStyle(style);
          if (w > 0 && h > 0) Picture(b);
          top = bottom = 0;
          MouseDown(form, 10 + w / 2, 10 + h / 2);
          MouseMove(form, 10 + w, 10 + h);
          MouseUp(form, 10 + w, 10 + h);
          EXPECT_LE(top + bottom, 1) << w << "x" << h;
          EXPECT_EQ(b->PressedState(), sbsNotDown);
          delete b;
        }
  }
}

TEST_F(SpinButtonTest, AClickHandlerWithAModalWindowLeavesTheButtonUnpressed) {
  auto* b = Make();
  // The dialog takes the release of the button, as a modal window does.
  auto* dialog = new TForm(nullptr);
  dialog->SetBounds(400, 10, 100, 100);
  dialog->Show();
  int asked = 0;
  testsupport::ScopedResponder answer([&](const TDialogRequest&, TDialogAnswer& a) {
    ++asked;
    MouseUp(dialog, 20, 20);
    a.Result = IDOK;
    return true;
  });
  b->OnTopClick = [&](TObject*) {
    ++top;
    Application->MessageBox("Stepped", "Spin", MB_OK);
  };
  MouseDown(form, 15, 15);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(b->PressedState(), sbsNotDown);
  b->RepeatTimer()->OnTimer(b->RepeatTimer());
  EXPECT_EQ(top, 1);
  MouseUp(form, 15, 15);
  MouseDown(form, 15, 15);
  EXPECT_EQ(top, 2);
  b->OnTopClick = nullptr;
  MouseUp(form, 15, 15);
  delete dialog;
}

TEST_F(SpinButtonTest, ButtonsOfOneSizeShareFacesAndTheLastButtonFreesTheManager) {
  auto* a = Make();
  auto* b = Make();
  b->SetLeft(40);
  Picture(a);
  Picture(b);
  ASSERT_NE(a->Faces(), nullptr);
  EXPECT_EQ(a->Faces(), b->Faces());
  EXPECT_EQ(a->Faces()->RefCount(), 2);
  TSpinButtonBitmapsManager* manager = SpinButtonBitmapsManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->Count(), 1);
  // Resized, one takes a set of its own.
  b->SetBounds(40, 10, 21, 20);
  Picture(b);
  EXPECT_NE(a->Faces(), b->Faces());
  EXPECT_EQ(a->Faces()->RefCount(), 1);
  EXPECT_EQ(manager->Count(), 2);
  // A style or glyphs of its own make other sets; the last reference frees a set.
  a->SetButtonStyle(sbsClassic);
  Picture(a);
  EXPECT_EQ(manager->Count(), 2);
  auto glyph = testsupport::SolidBitmap(5, 5, clRed);
  b->SetUpGlyph(glyph.get());
  EXPECT_TRUE(b->UpGlyph()->Transparent());
  Picture(b);
  EXPECT_TRUE(b->Faces()->CustomGlyphs());
  EXPECT_EQ(manager->Count(), 2);
  delete a;
  EXPECT_EQ(manager->Count(), 1);
  delete b;
  EXPECT_EQ(SpinButtonBitmapsManager(), nullptr);
}

TEST_F(SpinButtonTest, TheSystemColourNotificationRendersTheFacesAgainAtTheNextPaint) {
  auto* b = Make();
  Picture(b);
  const int before = b->Faces()->Renders();
  Picture(b);
  EXPECT_EQ(b->Faces()->Renders(), before);
  b->Perform(CM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(b->Faces()->Renders(), before);
  Picture(b);
  EXPECT_EQ(b->Faces()->Renders(), before + 1);
}

TEST_F(SpinButtonTest, HoveringShowsAHotHalfOnlyWithVisualStyles) {
  ThemeServices()->SetThemesEnabled(false);
  auto* b = Make();
  auto plain = Picture(b);
  MouseMove(form, 14, 14);
  EXPECT_TRUE(b->HotTop());
  auto hovered = Picture(b);
  EXPECT_TRUE(Same(*plain, *hovered));
  MouseMove(form, 200, 150);
  EXPECT_FALSE(b->HotTop());

  ThemeServices()->SetThemesEnabled(true);
  auto* themed = Make();
  themed->SetLeft(60);
  auto normal = Picture(themed);
  MouseMove(form, 64, 14);
  EXPECT_TRUE(themed->HotTop());
  auto hotTop = Picture(themed);
  EXPECT_FALSE(Same(*normal, *hotTop));
  MouseMove(form, 75, 25);
  EXPECT_TRUE(themed->HotBottom());
  EXPECT_FALSE(themed->HotTop());
  MouseMove(form, 200, 150);
  EXPECT_FALSE(themed->HotBottom());
  EXPECT_TRUE(Same(*normal, *Picture(themed)));
}

// The plain sbsDefault faces of a 20 x 20 button, worked by hand: the soft raised edge of the
// upper triangle (white outside, light inside) along the left and top, the lower one's (dark
// shadow outside, shadow inside) along the right and bottom; the diagonal lines x + y = 18 (c1),
// 19 (c3) and 20 (c2) from (1, 17) to (17, 1) and so on; the up arrow at (3, 3), the down arrow at
// (11, 11).
TEST_F(SpinButtonTest, ThePlainFacesPixelForPixel) {
  ThemeServices()->SetThemesEnabled(false);
  auto* b = Make();
  struct Pixel {
    int x, y;
    COLORREF c;
  };
  const Pixel notPressed[] = {
      {0, 0, H},  {10, 0, H},  {0, 10, H},  {1, 1, L},   {5, 1, L},    {1, 5, L},   {19, 19, D}, {19, 0, D},
      {0, 19, D}, {18, 5, S},  {5, 18, S},  {0, 18, S},  {18, 0, S},   {1, 17, S},  {10, 8, S},  {17, 1, S},
      {18, 1, D}, {10, 9, D},  {2, 17, D},  {2, 18, H},  {10, 10, H},  {18, 2, H},  {19, 1, D},  {3, 3, F},
      {5, 3, K},  {6, 3, K},   {4, 4, K},   {3, 5, K},   {8, 5, K},    {5, 8, K},   {7, 8, F},   {13, 11, K},
      {11, 14, K}, {16, 14, K}, {13, 16, K}, {12, 16, F}, {9, 9, S},    {12, 12, F},
  };
  auto p = Picture(b);
  for (const Pixel& px : notPressed) EXPECT_EQ(testsupport::At(*p, px.x, px.y), px.c) << px.x << "," << px.y;

  // Top pressed: a sunken upper edge (dark shadow outside, shadow inside), c1 the face, c3 white,
  // the up arrow a pixel further at (4, 4).
  MouseDown(form, 15, 15);
  p = Picture(b);
  const Pixel topDown[] = {{0, 0, D},  {10, 0, D},  {1, 1, S}, {1, 5, S}, {19, 19, D}, {10, 8, F},
                           {10, 9, H}, {10, 10, H}, {6, 4, K}, {5, 4, F}, {4, 6, K},   {13, 11, K}};
  for (const Pixel& px : topDown) EXPECT_EQ(testsupport::At(*p, px.x, px.y), px.c) << px.x << "," << px.y;
  MouseUp(form, 15, 15);

  // Bottom pressed: a sunken lower edge (white outside, light inside), c2 the window frame, c3 the
  // shadow.
  MouseDown(form, 25, 25);
  p = Picture(b);
  const Pixel bottomDown[] = {{0, 0, H},  {19, 19, H}, {19, 5, H}, {18, 5, L}, {10, 8, S},
                              {10, 9, S}, {10, 10, WF}, {5, 3, K}, {13, 11, K}};
  for (const Pixel& px : bottomDown) EXPECT_EQ(testsupport::At(*p, px.x, px.y), px.c) << px.x << "," << px.y;
  MouseUp(form, 25, 25);

  // Disabled: the arrows in their outline look, shadow over white moved a pixel.
  b->SetEnabled(false);
  p = Picture(b);
  const Pixel disabled[] = {{5, 3, S}, {6, 4, S}, {7, 7, H}, {9, 6, F}, {3, 3, F}, {13, 11, S}, {0, 0, H}};
  for (const Pixel& px : disabled) EXPECT_EQ(testsupport::At(*p, px.x, px.y), px.c) << px.x << "," << px.y;
}

// The plain sbsClassic face of 14 x 17 (the button of a 21-pixel edit): the upper half (0, 0, 14, 9)
// and the lower half (0, 8, 14, 17) with soft raised edges, the triangles centred in them.
TEST_F(SpinButtonTest, ThePlainClassicFaceStacksTwoEdgedHalves) {
  ThemeServices()->SetThemesEnabled(false);
  auto* b = Make(14, 17);
  b->SetButtonStyle(sbsClassic);
  auto p = Picture(b);
  struct Pixel {
    int x, y;
    COLORREF c;
  };
  const Pixel pixels[] = {
      {0, 0, H},  {13, 0, D}, {12, 5, S}, {5, 8, H},  {5, 9, L},   {13, 16, D}, {5, 15, S},
      {6, 2, K},  {5, 2, F},  {3, 5, K},  {9, 5, K},  {3, 10, K},  {9, 10, K},  {6, 13, K}, {5, 13, F},
  };
  for (const Pixel& px : pixels) EXPECT_EQ(testsupport::At(*p, px.x, px.y), px.c) << px.x << "," << px.y;
}

}  // namespace
