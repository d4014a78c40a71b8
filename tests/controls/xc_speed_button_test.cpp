#include "controls/xc_speed_button.h"

#include <gtest/gtest.h>

#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/theme_services.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::MouseDown;
using testsupport::MouseMove;
using testsupport::MouseUp;

// The classic look (styles off) for the pixel tests; styles come back on at the end.
class SpeedButtonTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    ThemeServices()->SetThemesEnabled(false);
  }
  void TearDown() override {
    ThemeServices()->SetThemesEnabled(true);
    FormTest::TearDown();
  }
  template <class B = TXcSpeedButton>
  B* Make(int left = 10, int top = 10, int width = 40, int height = 30) {
    auto* b = new B(form);
    b->SetParent(form);
    b->SetBounds(left, top, width, height);
    b->OnClick = [this](TObject*) { ++clicks; };
    return b;
  }
  // The button painted alone into a bitmap of its size.
  std::unique_ptr<TBitmap> Picture(TXcCustomSpeedButton* b) {
    auto bmp = std::make_unique<TBitmap>(b->Width(), b->Height());
    b->Perform(WM_PAINT, reinterpret_cast<WPARAM>(bmp->Canvas()->Handle()), 0);
    return bmp;
  }
  static COLORREF At(TBitmap& b, int x, int y) { return testsupport::At(b, x, y); }
  int clicks = 0;
};

TEST_F(SpeedButtonTest, PressMoveOutAndBackReleaseInsideClicksOnce) {
  auto* b = Make();
  MouseDown(form, 20, 20);
  EXPECT_EQ(b->PaintState(), bpsDown);
  EXPECT_TRUE(b->PressActive());
  EXPECT_FALSE(b->PressHandling());
  MouseMove(form, 100, 100);
  EXPECT_EQ(b->PaintState(), bpsUp);
  // The row just below the last one still counts as inside.
  MouseMove(form, 20, 40);
  EXPECT_EQ(b->PaintState(), bpsDown);
  MouseMove(form, 20, 41);
  EXPECT_EQ(b->PaintState(), bpsUp);
  MouseMove(form, 20, 20);
  MouseUp(form, 20, 20);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(b->PaintState(), bpsUp);
  EXPECT_FALSE(b->PressActive());

  MouseDown(form, 20, 20);
  MouseMove(form, 100, 100);
  MouseUp(form, 100, 100);
  EXPECT_EQ(clicks, 1);
  // The right button only makes the button hot.
  MouseDown(form, 20, 20, testsupport::Mouse::Right);
  EXPECT_FALSE(b->PressActive());
  MouseUp(form, 20, 20, testsupport::Mouse::Right);
  EXPECT_EQ(clicks, 1);
}

TEST_F(SpeedButtonTest, GroupedButtonsStayDownOneAtATime) {
  auto* a = Make(10, 10);
  auto* b = Make(60, 10);
  auto* loose = Make(110, 10);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  loose->SetDown(true);  // group 0: never down
  EXPECT_FALSE(loose->Down());

  MouseDown(form, 20, 20);
  MouseUp(form, 20, 20);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->PaintState(), bpsExclusive);
  EXPECT_EQ(clicks, 1);
  // Without AllowAllUp a down member stays down by itself ...
  a->SetDown(false);
  MouseDown(form, 20, 20);
  MouseUp(form, 20, 20);
  EXPECT_TRUE(a->Down());
  // ... and goes up when another goes down.
  MouseDown(form, 70, 20);
  MouseUp(form, 70, 20);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(a->PaintState(), bpsUp);
  // AllowAllUp reaches the whole group; then the down one may go up.
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->AllowAllUp());
  b->SetDown(false);
  EXPECT_FALSE(b->Down());
  // A release outside leaves a grouped button as it was.
  MouseDown(form, 70, 20);
  MouseMove(form, 200, 150);
  MouseUp(form, 200, 150);
  EXPECT_FALSE(b->Down());
}

TEST_F(SpeedButtonTest, TheMenuOpensAtItsPointAndTheClosingPressIsDropped) {
  auto* b = Make();
  struct Case {
    TXcDropDownMenuPos position;
    TPopupAlignment alignment;
    TPoint point;
  } cases[] = {
      {dmpBottom, paLeft, {-1, 30}}, {dmpBottom, paRight, {41, 30}}, {dmpBottom, paCenter, {20, 30}},
      {dmpRight, paLeft, {40, -1}},  {dmpRight, paRight, {-1, -1}},  {dmpRight, paCenter, {20, 30}},
  };
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(menu);
  item->SetCaption("One");
  menu->Items()->Add(item);
  EXPECT_EQ(b->MenuPoint(), Point(0, 0));  // no menu
  b->SetDropDownMenu(menu);
  for (const Case& c : cases) {
    b->SetMenuPosition(c.position);
    menu->SetAlignment(c.alignment);
    EXPECT_EQ(b->MenuPoint(), c.point) << c.position << " " << c.alignment;
  }
  b->SetMenuPosition(dmpBottom);
  menu->SetAlignment(paLeft);

  int downs = 0, menus = 0;
  b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
  TPoint openedAt;
  testsupport::ScopedResponder answer([&](const TDialogRequest& r, TDialogAnswer&) {
    if (r.Kind != "PopupMenu") return false;
    ++menus;
    openedAt = menu->PopupPoint();
    EXPECT_TRUE(b->PressHandling());
    EXPECT_EQ(menu->PopupComponent(), b);
    // The click that closes the menu lands on the button, and one more elsewhere.
    PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 25));
    return true;
  });
  MouseDown(form, 20, 20);
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(openedAt, b->ClientToScreen(Point(-1, 30)));
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(b->PaintState(), bpsUp);
  EXPECT_FALSE(b->PressActive());
  EXPECT_FALSE(b->PressHandling());
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  MouseUp(form, 20, 20);
  Application->ProcessMessages();
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(clicks, 0);

  // A closing press elsewhere still arrives.
  testsupport::ScopedResponder elsewhere([&](const TDialogRequest& r, TDialogAnswer&) {
    if (r.Kind != "PopupMenu") return false;
    PostMessage(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 150));
    return true;
  });
  MouseDown(form, 20, 20);
  EXPECT_TRUE(PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  MouseUp(form, 20, 20);
  Application->ProcessMessages();

  // The menu freed: the reference goes.
  delete menu;
  EXPECT_EQ(b->DropDownMenu(), nullptr);
}

TEST_F(SpeedButtonTest, HeldDownItRepeatsAfterInitPauseThenEveryRepeatInterval) {
  auto* b = Make();
  b->SetAllowTimer(true);
  MouseDown(form, 20, 20);
  TTimer* t = b->RepeatTimer();
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->Enabled());
  EXPECT_EQ(t->Interval(), 500u);
  t->OnTimer(t);
  EXPECT_EQ(t->Interval(), 100u);
  EXPECT_EQ(clicks, 1);
  // Moved off, it does not repeat.
  MouseMove(form, 200, 150);
  t->OnTimer(t);
  EXPECT_EQ(clicks, 1);
  MouseMove(form, 20, 20);
  MouseUp(form, 20, 20);
  EXPECT_FALSE(t->Enabled());
  EXPECT_EQ(clicks, 2);  // the release clicks too

  // On a real clock.
  b->SetInitPause(20);
  b->SetRepeatInterval(5);
  clicks = 0;
  MouseDown(form, 20, 20);
  EXPECT_TRUE(testsupport::WaitFor([&] { return clicks >= 3; }));
  MouseUp(form, 20, 20);
  b->SetAllowTimer(false);
  EXPECT_EQ(b->RepeatTimer(), nullptr);
}

TEST_F(SpeedButtonTest, AClickThatFailsStopsTheRepeatAndReachesTheApplicationsHandler) {
  auto* b = Make();
  b->SetAllowTimer(true);
  b->SetInitPause(5);
  b->OnClick = [](TObject*) { throw Exception("no more"); };
  std::string caught;
  Application->OnException = [&](TObject*, const Exception& e) { caught = e.Message(); };
  MouseDown(form, 20, 20);
  EXPECT_TRUE(testsupport::WaitFor([&] { return !caught.empty(); }));
  EXPECT_EQ(caught, "no more");
  EXPECT_FALSE(b->RepeatTimer()->Enabled());
  b->OnClick = nullptr;
  MouseUp(form, 20, 20);
}

TEST_F(SpeedButtonTest, TheClassicFrameFollowsTheTable) {
  const TColor c = static_cast<TColor>(RGB(100, 150, 200));
  const COLORREF light = RGB(164, 214, 255), dark = RGB(36, 86, 136), frame = ColorToRGB(clWindowFrame);
  auto* b = Make();
  b->SetColor(c);
  form->SetColor(clWhite);
  struct Sample {
    const char* what;
    COLORREF left, right, innerLeft, innerRight;  // x = 0, 39, 1, 38 at y = 12
  };
  auto check = [&](const Sample& s) {
    auto p = Picture(b);
    EXPECT_EQ(At(*p, 0, 12), s.left) << s.what;
    EXPECT_EQ(At(*p, 39, 12), s.right) << s.what;
    EXPECT_EQ(At(*p, 1, 12), s.innerLeft) << s.what;
    EXPECT_EQ(At(*p, 38, 12), s.innerRight) << s.what;
  };
  check({"up, new", light, frame, static_cast<COLORREF>(c), dark});
  b->SetStyle(bsWin31);
  check({"up, old", frame, frame, light, dark});
  b->SetStyle(bsNew);
  MouseDown(form, 20, 20);
  check({"down, new", frame, light, dark, static_cast<COLORREF>(c)});
  b->SetStyle(bsWin31);
  auto p = Picture(b);
  EXPECT_EQ(At(*p, 0, 12), frame);
  EXPECT_EQ(At(*p, 1, 12), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(*p, 12, 1), ColorToRGB(clBtnShadow));
  MouseUp(form, 20, 20);

  // Flat: no frame until the mouse is over it, and the parent's colour around.
  b->SetStyle(bsNew);
  b->SetFlat(true);
  p = Picture(b);
  EXPECT_EQ(At(*p, 0, 12), ColorToRGB(clWhite));
  EXPECT_EQ(At(*p, 39, 12), ColorToRGB(clWhite));
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(b->IsMouseInside());
  check({"hot, flat", light, dark, ColorToRGB(clWhite), ColorToRGB(clWhite)});
  b->Perform(CM_MOUSELEAVE, 0, 0);

  // Held down in a group: the checkered face.
  b->SetFlat(false);
  b->SetGroupIndex(3);
  b->SetDown(true);
  p = Picture(b);
  const COLORREF face = ColorToRGB(clBtnFace), hi = ColorToRGB(clBtnHighlight);
  EXPECT_NE(At(*p, 10, 10), At(*p, 11, 10));
  EXPECT_TRUE(At(*p, 10, 10) == face || At(*p, 10, 10) == hi);
}

TEST_F(SpeedButtonTest, HotTrackingFillsTheFaceOrFramesTheButton) {
  auto* b = Make();
  b->SetHotTrack(true);
  b->HotTrackOptions()->SetEnabled(true);
  b->HotTrackOptions()->SetColor(static_cast<TColor>(RGB(1, 2, 3)));
  EXPECT_NE(At(*Picture(b), 20, 15), RGB(1, 2, 3));
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(At(*Picture(b), 20, 15), RGB(1, 2, 3));
  b->HotTrackOptions()->SetFrameVisible(true);
  b->HotTrackOptions()->SetFrameColor(static_cast<TColor>(RGB(9, 8, 7)));
  auto p = Picture(b);
  EXPECT_EQ(At(*p, 0, 0), RGB(9, 8, 7));
  EXPECT_EQ(At(*p, 39, 29), RGB(9, 8, 7));
  EXPECT_EQ(At(*p, 20, 15), RGB(1, 2, 3));
  // Without HotTrack the options do nothing.
  b->SetHotTrack(false);
  EXPECT_NE(At(*Picture(b), 20, 15), RGB(1, 2, 3));

  // The hot font follows the control's font, keeping its colour and style by default.
  b->HotTrackFont()->SetColor(clRed);
  b->Font()->SetHeight(-19);
  EXPECT_EQ(b->HotTrackFont()->Height(), -19);
  EXPECT_EQ(b->HotTrackFont()->Color(), clRed);
  auto* other = Make(100, 10);
  other->AssignHotTrack(b);
  EXPECT_EQ(other->HotTrackOptions()->FrameColor(), static_cast<TColor>(RGB(9, 8, 7)));
  EXPECT_EQ(other->HotTrackFont()->Color(), clRed);
}

TEST_F(SpeedButtonTest, ClickSetsTheModalResultAndTheAcceleratorClicksWithAlt) {
  auto* b = Make();
  form->SetModalResult(mrCancel);
  b->Click();
  EXPECT_EQ(form->ModalResult(), mrNone);  // copied also when it is 0
  b->SetModalResult(mrOk);
  b->Click();
  EXPECT_EQ(form->ModalResult(), mrOk);
  b->SetCaption("&Go");
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'G', KeyDataFromShift(ssAlt)), 1);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'G', 0), 0);
  b->SetEnabled(false);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'G', KeyDataFromShift(ssAlt)), 0);
  EXPECT_EQ(clicks, 3);
  Picture(b);
  EXPECT_EQ(b->PaintState(), bpsDisabled);
  b->SetEnabled(true);
  Picture(b);
  EXPECT_EQ(b->PaintState(), bpsUp);
}

TEST_F(SpeedButtonTest, PropertiesKeepTheirBounds) {
  auto* b = Make();
  EXPECT_EQ(b->InitPause(), 500);
  EXPECT_EQ(b->RepeatInterval(), 100);
  EXPECT_EQ(b->Layout(), blGlyphTop);
  EXPECT_EQ(b->Spacing(), 1);
  EXPECT_EQ(b->Margin(), -1);
  EXPECT_TRUE(b->GrayNewStyle());
  EXPECT_TRUE(b->DoubleBuffered());
  b->SetMargin(-5);
  EXPECT_EQ(b->Margin(), -1);
  b->SetNumGlyphs(9);
  EXPECT_EQ(b->NumGlyphs(), 5);
  b->SetNumGlyphs(0);
  EXPECT_EQ(b->NumGlyphs(), 5);
  auto* fresh = new TXcSpeedButton(form);
  EXPECT_EQ(fresh->Width(), 25);
  EXPECT_EQ(fresh->Height(), 25);
  EXPECT_EQ(fresh->Color(), clBtnFace);
}

TEST_F(SpeedButtonTest, AnActionGivesItsCaptionGroupAndImage) {
  TImageList images(nullptr, 8, 8);
  TBitmap red(8, 8);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 8, 8));
  images.Add(&red, nullptr);
  TActionList list(nullptr);
  list.SetImages(&images);
  TAction action(nullptr);
  action.SetActionList(&list);
  action.SetCaption("Go");
  action.SetImageIndex(0);
  action.SetGroupIndex(2);
  int executed = 0;
  action.OnExecute = [&](TObject*) { ++executed; };

  auto* b = Make();
  b->OnClick = nullptr;
  b->SetAction(&action);
  EXPECT_EQ(b->Caption(), "Go");
  EXPECT_EQ(b->GroupIndex(), 2);
  ASSERT_FALSE(b->Glyph()->Empty());
  EXPECT_EQ(b->Glyph()->Width(), 8);
  b->Click();
  EXPECT_EQ(executed, 1);
  // The check mark moves a grouped button with AllowAllUp.
  b->SetAllowAllUp(true);
  action.SetChecked(true);
  EXPECT_TRUE(b->Down());

  auto* ib = Make<TXcImageSpeedButton>(60, 10);
  ib->SetAction(&action);
  EXPECT_EQ(ib->Images(), &images);
  EXPECT_EQ(ib->ImageIndex(), 0);
  action.SetImageIndex(-1);
  EXPECT_EQ(ib->ImageIndex(), -1);
  ib->SetImages(nullptr);
  EXPECT_EQ(ib->ImageIndex(), -1);
}

TEST_F(SpeedButtonTest, GlyphsAreDrawnInTheirStatesAndBadIndicesDrawNothing) {
  auto* b = Make(10, 10, 40, 40);
  auto glyph = std::make_unique<TBitmap>(32, 16);
  glyph->Canvas()->Brush()->SetColor(clRed);
  glyph->Canvas()->FillRect(Rect(0, 0, 16, 16));
  glyph->Canvas()->Brush()->SetColor(clBlue);
  glyph->Canvas()->FillRect(Rect(16, 0, 32, 16));
  glyph->Canvas()->SetPixels(0, 15, clFuchsia);  // the bottom-left pixel names the mask colour
  b->SetGlyph(glyph.get());
  EXPECT_EQ(b->NumGlyphs(), 2);
  // Glyph on top, centred inside the frame (3 pixels on each side): at 3 + (34 - 16) div 2 = 12.
  EXPECT_EQ(At(*Picture(b), 20, 20), ColorToRGB(clRed));
  b->SetEnabled(false);
  EXPECT_EQ(At(*Picture(b), 20, 20), ColorToRGB(clBlue));

  auto* ib = Make<TXcImageSpeedButton>(60, 10);
  TImageList images(nullptr, 8, 8);
  ib->SetImages(&images);
  ib->SetImageIndex(5);  // beyond the list
  Picture(ib);
  ib->SetFlat(true);
  ib->SetEnabled(false);
  Picture(ib);
}

}  // namespace
