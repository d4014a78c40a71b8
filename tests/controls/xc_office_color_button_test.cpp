#include "controls/xc_office_color_button.h"

#include <gtest/gtest.h>

#include "platform/ui/message_queue.h"
#include "platform/ui/std_ctrls.h"
#include "platform/ui/theme_services.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::MouseClick;
using testsupport::ScopedResponder;

class OfficeColorButtonTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 400, 300);
    ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  }
  void TearDown() override {
    TScreen::SetMonitorsForTesting({});
    FormTest::TearDown();
  }
  TXcOfficeColorButton* Make(int left = 20, int top = 20) {
    auto* b = new TXcOfficeColorButton(form);
    b->SetParent(form);
    b->SetLeft(left);
    b->SetTop(top);
    b->OnColorChange = [this](TObject* sender) {
      EXPECT_EQ(sender, colorSender);
      ++colorChanges;
    };
    b->OnDropDown = [this](TObject*) { ++dropDowns; };
    b->OnArrowClick = [this](TObject*) { ++arrowClicks; };
    colorSender = b;
    return b;
  }
  static void ClickArrow(TXcOfficeColorButton* b) {
    TControl* a = b->ArrowButton();
    MouseClick(b, a->Left() + a->Width() / 2, a->Height() / 2);
  }
  static void ClickCell(TXcOfficeColorButton* b, int index) {
    TControl* c = b->ColorPanel()->StandardButtons()[static_cast<size_t>(index)];
    MouseClick(b->ColorPanel(), c->Left() + c->Width() / 2, c->Top() + c->Height() / 2);
  }
  // Tears the dropped-down form off by its bar.
  static void TearOff(TXcOfficeColorButton* b) {
    TXcOfficePanelDragBar* bar = b->ColorForm()->DragBar();
    testsupport::MouseDown(bar, 5, 3);
    testsupport::MouseMove(bar, 25, 3);
    testsupport::MouseUp(bar, 25, 3);
  }
  TObject* colorSender = nullptr;
  int colorChanges = 0;
  int dropDowns = 0;
  int arrowClicks = 0;
};

TEST_F(OfficeColorButtonTest, NewButtonGeometryAndSwatch) {
  auto* b = Make();
  EXPECT_EQ(b->Width(), 35);
  EXPECT_EQ(b->Height(), 22);
  EXPECT_EQ(b->MainButton()->BoundsRect(), Bounds(0, 0, 22, 22));
  EXPECT_EQ(b->ArrowButton()->BoundsRect(), Bounds(22, 0, 13, 22));
  EXPECT_TRUE(b->Flat());
  EXPECT_TRUE(b->MainButton()->Flat());
  EXPECT_TRUE(b->ColorForm()->Flat());
  EXPECT_EQ(b->ArrowButton()->GroupIndex(), 2);
  EXPECT_TRUE(b->ArrowButton()->AllowAllUp());
  EXPECT_EQ(b->MainButton()->Tag(), 43);
  EXPECT_EQ(b->ArrowButton()->Tag(), 44);
  EXPECT_EQ(b->MainButton()->NumGlyphs(), 2);
  EXPECT_EQ(b->BackColor(), clBtnFace);
  EXPECT_FALSE(b->ColorForm()->Visible());
  EXPECT_FALSE(b->ColorForm()->IsFocusable());
  EXPECT_EQ(b->ColorForm()->FormStyle(), fsStayOnTop);
  // The default texts were loaded: the button's and, passed on, the panel's and the form's.
  EXPECT_EQ(b->Properties()->DragBarHint(), "Drag to float");
  EXPECT_EQ(b->Properties()->FloatWindowCaption(), "Color Window");
  EXPECT_EQ(b->ColorForm()->DragBarHint(), "Drag to float");
  EXPECT_EQ(b->ColorForm()->Caption(), "Color Window");
  EXPECT_EQ(b->ColorPanel()->DefaultButton()->Caption(), "Automatic");
  EXPECT_EQ(b->ColorPanel()->Properties()->CustomColorCaption(), "Other Colors...");
  // The swatch keeps EdgeWidth (4) from every edge of the main half; black at the start.
  EXPECT_EQ(b->MainButton()->SwatchRect(), Rect(4, 4, 18, 18));
  b->SetBackColor(clWhite);
  EXPECT_EQ(testsupport::WindowPixel(b, 4, 4), 0x808080u);  // the swatch's grey pen
  EXPECT_EQ(testsupport::WindowPixel(b, 8, 8), 0x000000u);
  EXPECT_EQ(testsupport::WindowPixel(b, 16, 16), 0x000000u);
  EXPECT_EQ(testsupport::WindowPixel(b, 2, 10), 0xFFFFFFu);
  EXPECT_EQ(testsupport::WindowPixel(b, 19, 10), 0xFFFFFFu);
  // EdgeWidth moves the swatch in.
  b->Properties()->SetEdgeWidth(6);
  EXPECT_EQ(b->MainButton()->SwatchMargin(), 6);
  EXPECT_EQ(b->MainButton()->SwatchRect(), Rect(6, 6, 16, 16));
  EXPECT_EQ(testsupport::WindowPixel(b, 5, 10), 0xFFFFFFu);
  // The arrow half shows its triangle in black, in the disabled colour when disabled.
  const int ax = 22 + 6;
  EXPECT_EQ(testsupport::WindowPixel(b, ax, 11), 0x000000u);
  b->SetEnabled(false);
  EXPECT_FALSE(b->ArrowButton()->Enabled());
  EXPECT_FALSE(b->ColorPanel()->Enabled());
  EXPECT_EQ(testsupport::WindowPixel(b, ax, 11), ColorToRGB(clBtnShadow) & 0xFFFFFF);
}

TEST_F(OfficeColorButtonTest, SizeAdjustment) {
  auto* b = Make();
  // ArrowWidth below 13 becomes 13; the main half keeps at least 22, the height at least 22.
  struct Case {
    int arrowWidth, width, height;
    int wantArrow, wantWidth, wantHeight;
  } cases[] = {
      {5, 35, 22, 13, 35, 22}, {0, 35, 22, 13, 35, 22}, {13, 20, 22, 13, 35, 22}, {13, 35, 10, 13, 35, 22},
      {20, 35, 22, 20, 42, 22}, {13, 80, 30, 13, 80, 30}, {-4, 1, 1, 13, 35, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.arrowWidth << " " << c.width << "x" << c.height);
    b->Properties()->SetArrowWidth(c.arrowWidth);
    b->SetBounds(b->Left(), b->Top(), c.width, c.height);
    b->AdjustSize();
    EXPECT_EQ(b->Properties()->ArrowWidth(), c.wantArrow);
    EXPECT_EQ(b->Width(), c.wantWidth);
    EXPECT_EQ(b->Height(), c.wantHeight);
    EXPECT_EQ(b->MainButton()->BoundsRect(), Bounds(0, 0, c.wantWidth - c.wantArrow, c.wantHeight));
    EXPECT_EQ(b->ArrowButton()->BoundsRect(), Bounds(c.wantWidth - c.wantArrow, 0, c.wantArrow, c.wantHeight));
  }
}

TEST_F(OfficeColorButtonTest, TwoArrowClicksDropDownAndClose) {
  auto* b = Make();
  ClickArrow(b);
  EXPECT_TRUE(b->ColorForm()->Visible());
  EXPECT_TRUE(b->Dropped());
  EXPECT_TRUE(b->ArrowButton()->Down());
  EXPECT_EQ(dropDowns, 1);
  EXPECT_EQ(arrowClicks, 1);
  // The window that had the focus keeps it; the button took it from the form.
  Application->ProcessMessages();
  EXPECT_EQ(Screen->ActiveForm(), form);
  EXPECT_EQ(form->ActiveControl(), b);
  // Placed under the main half, at the button's left.
  const TPoint corner = b->ClientToScreen(Point(0, 0));
  EXPECT_EQ(b->ColorForm()->Left(), corner.X);
  EXPECT_EQ(b->ColorForm()->Top(), corner.Y + 22);
  ClickArrow(b);
  EXPECT_FALSE(b->ColorForm()->Visible());
  EXPECT_FALSE(b->Dropped());
  EXPECT_FALSE(b->ArrowButton()->Down());
  EXPECT_EQ(dropDowns, 1);
  EXPECT_EQ(arrowClicks, 2);
}

TEST_F(OfficeColorButtonTest, PlacementKeepsTheFormOnTheAnchorsMonitor) {
  auto* b = Make();
  TXcOfficeColorForm* f = b->ColorForm();
  const int w = f->Width(), h = f->Height();
  ASSERT_GT(w, 100);
  ASSERT_GT(h, 100);
  // A primary monitor at (0, 0) and a second one to its left, above the primary's top.
  TMonitorInfo primary, left;
  primary.BoundsRect = Rect(0, 0, 1000, 700);
  primary.WorkareaRect = primary.BoundsRect;
  primary.Primary = true;
  left.MonitorNum = 1;
  left.BoundsRect = Rect(-800, -200, 0, 400);
  left.WorkareaRect = left.BoundsRect;
  TScreen::SetMonitorsForTesting({primary, left});
  struct Case {
    int x, y, wantLeft, wantTop;
  } cases[] = {
      {100, 100, 100, 122},                  // fits below the button
      {990, 100, 1000 - w, 122},             // moved left to end at the right edge
      {100, 690, 100, 690 - h},              // opens above the button at the bottom
      {995, 695, 1000 - w, 695 - h},         // both
      {-400, 50, -400, 72},                  // on the left monitor, fits
      {-30, 50, -w, 72},                     // at the left monitor's right edge, not on the primary
      {-790, -190, -790, -168},              // above the primary's top, kept on the left monitor
      {-700, 390, -700, 390 - h},            // at the left monitor's bottom
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    b->PlaceColorForm(c.x, c.y);
    EXPECT_EQ(f->Left(), c.wantLeft);
    EXPECT_EQ(f->Top(), c.wantTop);
    EXPECT_EQ(f->Width(), w);
    EXPECT_EQ(f->Height(), h);
  }
  // A monitor smaller than the form: the form's left and top stay on it.
  TMonitorInfo tiny;
  tiny.BoundsRect = Rect(0, 0, 100, 80);
  tiny.WorkareaRect = tiny.BoundsRect;
  tiny.Primary = true;
  TScreen::SetMonitorsForTesting({tiny});
  b->PlaceColorForm(50, 40);
  EXPECT_EQ(f->Left(), 0);
  EXPECT_EQ(f->Top(), 0);
  b->DropDown(50, 40);
  EXPECT_TRUE(f->Visible());
  b->CloseUp();
}

TEST_F(OfficeColorButtonTest, PickWhileDroppedDownClosesAndShowsTheColour) {
  auto* b = Make();
  std::vector<TObject*> clicked;
  b->OnColorButtonClick = [&](TObject* sender) { clicked.push_back(sender); };
  ClickArrow(b);
  ASSERT_TRUE(b->ColorForm()->Visible());
  ClickCell(b, 5);  // Dark Blue
  EXPECT_FALSE(b->ColorForm()->Visible());
  EXPECT_FALSE(b->ArrowButton()->Down());
  EXPECT_FALSE(b->Dropped());
  EXPECT_EQ(b->SelectedColor(), TColorOf(0x00800000));
  EXPECT_EQ(b->MainButton()->SwatchColor(), TColorOf(0x00800000));
  EXPECT_EQ(colorChanges, 1);
  ASSERT_EQ(clicked.size(), 1u);
  EXPECT_EQ(clicked[0], b->ColorPanel()->StandardButtons()[5]);
  // The next arrow click drops it down again.
  ClickArrow(b);
  EXPECT_TRUE(b->ColorForm()->Visible());
  EXPECT_EQ(dropDowns, 2);
  b->CloseUp();
  // Writing SelectedColor goes to the panel and comes back as one change.
  b->SetSelectedColor(clRed);
  EXPECT_EQ(b->ColorPanel()->SelectedColor(), clRed);
  EXPECT_EQ(b->MainButton()->SwatchColor(), clRed);
  EXPECT_EQ(colorChanges, 2);
  b->SetSelectedColor(clRed);
  EXPECT_EQ(colorChanges, 2);
  // The main half's click is the button's.
  int clicks = 0;
  b->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, b);
    ++clicks;
  };
  MouseClick(b, 10, 10);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->ColorForm()->Visible());
}

TEST_F(OfficeColorButtonTest, FloatingFormStaysOpenAndTakesItsBackground) {
  auto* b = Make();
  b->SetFloatingBgColor(clYellow);
  ClickArrow(b);
  TearOff(b);
  TXcOfficeColorForm* f = b->ColorForm();
  ASSERT_TRUE(f->Floating());
  EXPECT_FALSE(b->ArrowButton()->Down());
  EXPECT_EQ(f->Color(), clYellow);
  EXPECT_EQ(b->ColorPanel()->BackColor(), clYellow);
  ClickCell(b, 13);  // Blue
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(b->SelectedColor(), TColorOf(0x00FF0000));
  EXPECT_EQ(colorChanges, 1);
  ClickCell(b, 0);
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(colorChanges, 2);
  // The dropped-down colour changes nothing while the form floats.
  b->SetDropingBgColor(clAqua);
  EXPECT_EQ(f->Color(), clYellow);
  EXPECT_EQ(b->ColorPanel()->BackColor(), clYellow);
  b->SetFloatingBgColor(clLime);
  EXPECT_EQ(f->Color(), clLime);
  // Closed by the user: hidden, dropped down again, in the dropped-down colour.
  f->Close();
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(f->Floating());
  EXPECT_FALSE(b->Dropped());
  EXPECT_EQ(f->Color(), clAqua);
  EXPECT_EQ(b->ColorPanel()->BackColor(), clAqua);
  ClickArrow(b);
  EXPECT_TRUE(f->Visible());
  EXPECT_FALSE(f->Floating());
  b->CloseUp();
}

TEST_F(OfficeColorButtonTest, CustomColourWhileFloatingLetsTheDialogToTheFront) {
  auto* b = Make();
  b->Properties()->SetHoldCustomColor(true);
  b->Properties()->SetShowUserColors(true);
  ClickArrow(b);
  TearOff(b);
  TXcOfficeColorForm* f = b->ColorForm();
  ASSERT_TRUE(f->Floating());
  const int heightBefore = f->ClientHeight();
  TFormStyle styleInDialog = fsStayOnTop;
  ScopedResponder dialog([&](const TDialogRequest& r, TDialogAnswer& a) {
    EXPECT_EQ(r.Kind, "Color");
    styleInDialog = f->FormStyle();
    a.Result = 1;
    a.Color = 0x00123456;
    return true;
  });
  TControl* custom = b->ColorPanel()->CustomButton();
  MouseClick(b->ColorPanel(), custom->Left() + 5, custom->Top() + 5);
  EXPECT_EQ(styleInDialog, fsNormal);
  EXPECT_EQ(f->FormStyle(), fsStayOnTop);
  EXPECT_EQ(b->SelectedColor(), TColorOf(0x00123456));
  EXPECT_EQ(colorChanges, 1);
  // The kept colour grew the panel by a row of user colours: the form follows.
  EXPECT_EQ(b->UserColors()->Count(), 1);
  EXPECT_GT(f->ClientHeight(), heightBefore);
  EXPECT_EQ(f->ClientHeight(), b->ColorPanel()->Height());
  EXPECT_TRUE(f->Visible());
}

TEST_F(OfficeColorButtonTest, OwnerColourDialogOfTheButton) {
  auto* b = Make();
  int asked = 0;
  b->OnShowOwnerColorDialog = [&](TObject* sender) {
    EXPECT_EQ(sender, b->ColorPanel()->CustomButton());
    ++asked;
    b->SetSelectedColor(TColorOf(0x00010203));
  };
  ClickArrow(b);
  TControl* custom = b->ColorPanel()->CustomButton();
  MouseClick(b->ColorPanel(), custom->Left() + 5, custom->Top() + 5);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(b->SelectedColor(), TColorOf(0x00010203));
  EXPECT_FALSE(b->ColorForm()->Visible());
  // The panel's own hook is the button's only for the length of that click.
  EXPECT_FALSE(b->ColorPanel()->OnShowOwnerColorDialog);
}

TEST_F(OfficeColorButtonTest, APressElsewhereOrAFocusChangeCloses) {
  auto* b = Make();
  auto* other = new TEdit(form);
  other->SetParent(form);
  other->SetBounds(100, 100, 80, 21);
  auto* label = new TPanel(form);
  label->SetParent(form);
  label->SetBounds(200, 100, 50, 30);
  // A press on another control of the window.
  ClickArrow(b);
  ASSERT_TRUE(b->ColorForm()->Visible());
  ASSERT_EQ(form->ActiveControl(), b);
  MouseClick(label, 5, 5);
  EXPECT_FALSE(b->ColorForm()->Visible());
  EXPECT_FALSE(b->Dropped());
  EXPECT_FALSE(b->ArrowButton()->Down());
  // A press on the button's own halves or inside the form does not.
  ClickArrow(b);
  ASSERT_TRUE(b->ColorForm()->Visible());
  b->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(static_cast<TControl*>(b->MainButton())));
  b->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(static_cast<TControl*>(b->ColorPanel())));
  b->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(static_cast<TControl*>(b->ColorForm())));
  EXPECT_TRUE(b->ColorForm()->Visible());
  // The focus going to another window: closed once the focus change is over.
  other->SetFocus();
  ASSERT_TRUE(testsupport::WaitFor([&] { return other->Focused(); }));
  EXPECT_TRUE(testsupport::WaitFor([&] { return !b->ColorForm()->Visible(); }));
  EXPECT_FALSE(b->Dropped());
}

TEST_F(OfficeColorButtonTest, EscapeThenTwoArrowClicks) {
  auto* b = Make();
  ClickArrow(b);
  TXcOfficeColorForm* f = b->ColorForm();
  ASSERT_TRUE(f->Visible());
  uint16_t key = VK_ESCAPE;
  f->OnKeyUp(f, key, 0);
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(f->ModalResult(), mrCancel);
  EXPECT_FALSE(b->ArrowButton()->Down());
  EXPECT_TRUE(b->Dropped());
  // The first click only closes up; the second drops the form down.
  ClickArrow(b);
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(b->Dropped());
  EXPECT_EQ(dropDowns, 1);
  ClickArrow(b);
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(dropDowns, 2);
  EXPECT_EQ(arrowClicks, 3);
  b->CloseUp();
}

TEST_F(OfficeColorButtonTest, PairHotTracking) {
  auto* b = Make();
  // Entering one half lights both; leaving lets both go.
  testsupport::MouseEnter(b, 5, 5);
  testsupport::MouseMove(b, 5, 5);
  EXPECT_TRUE(b->MainButton()->IsMouseInside());
  EXPECT_TRUE(b->ArrowButton()->IsMouseInside());
  testsupport::MouseMove(b, 28, 5);
  EXPECT_TRUE(b->MainButton()->IsMouseInside());
  EXPECT_TRUE(b->ArrowButton()->IsMouseInside());
  testsupport::MouseLeave(b);
  Application->ProcessMessages();
  EXPECT_FALSE(b->MainButton()->IsMouseInside());
  EXPECT_FALSE(b->ArrowButton()->IsMouseInside());
  // While the form shows they stay lit.
  ClickArrow(b);
  testsupport::MouseEnter(b, 28, 5);
  testsupport::MouseMove(b, 28, 5);
  testsupport::MouseLeave(b);
  Application->ProcessMessages();
  EXPECT_TRUE(b->MainButton()->IsMouseInside());
  EXPECT_TRUE(b->ArrowButton()->IsMouseInside());
  // The form hidden, both go out.
  b->CloseUp();
  EXPECT_FALSE(b->MainButton()->IsMouseInside());
  EXPECT_FALSE(b->ArrowButton()->IsMouseInside());
}

TEST_F(OfficeColorButtonTest, PropertiesReachTheFormAndThePanelByName) {
  auto* b = Make();
  TXcOfficeColorButtonProperties* P = b->Properties();
  TXcOfficeColorForm* f = b->ColorForm();
  TXcOfficeColorPanel* panel = b->ColorPanel();
  P->SetFloatWindowCaption("Colours");
  EXPECT_EQ(f->Caption(), "Colours");
  P->SetDragBarHint("Tear me");
  EXPECT_EQ(f->DragBarHint(), "Tear me");
  EXPECT_EQ(f->DragBar()->Hint(), "Tear me");
  P->SetDragBarHeight(9);
  EXPECT_EQ(f->DragBarHeight(), 9);
  P->SetDragBarSpace(1);
  EXPECT_EQ(f->DragBarSpace(), 3);  // the form keeps its minimum
  EXPECT_EQ(panel->Top(), 2 * 3 + 9 + 1);
  P->SetShowDragBar(false);
  EXPECT_FALSE(f->ShowDragBar());
  EXPECT_FALSE(f->DragBar()->Visible());
  EXPECT_EQ(panel->Top(), 1);
  // The panel's own settings go to the panel, and the form is arranged after them.
  P->SetShowNoneColor(true);
  EXPECT_TRUE(panel->Properties()->ShowNoneColor());
  EXPECT_TRUE(panel->NoneButton()->Visible());
  EXPECT_EQ(f->ClientHeight(), panel->Height());
  P->SetDefaultColorCaption("Auto");
  EXPECT_EQ(panel->DefaultButton()->Caption(), "Auto");
  // Another properties object is copied into the button's and the panel's.
  TXcOfficeColorButtonProperties other(nullptr);
  other.SetColorSize(20);
  other.SetArrowWidth(17);
  b->SetProperties(&other);
  EXPECT_EQ(P->ColorSize(), 20);
  EXPECT_EQ(panel->Properties()->ColorSize(), 20);
  EXPECT_EQ(b->ArrowButton()->Width(), 17);
  EXPECT_EQ(panel->Width(), 8 + 8 * 20);
}

TEST_F(OfficeColorButtonTest, ButtonPropertiesAssignAndDefaults) {
  TXcOfficeColorButtonProperties p(nullptr);
  EXPECT_TRUE(p.ShowDragBar());
  EXPECT_EQ(p.DragBarHint(), "Drag to floating");
  EXPECT_EQ(p.EdgeWidth(), 4);
  EXPECT_EQ(p.ArrowWidth(), 13);
  EXPECT_EQ(p.DragBarHeight(), 7);
  EXPECT_EQ(p.DragBarSpace(), 3);
  // No minimum in the setters.
  p.SetArrowWidth(2);
  EXPECT_EQ(p.ArrowWidth(), 2);
  std::vector<std::string> log;
  p.OnBeforeChange = [&](TObject*) { log.push_back("before"); };
  p.OnAfterChange = [&](TObject*) { log.push_back("after"); };
  p.OnAfterPropertyChange = [&](TObject*, const std::string& name) { log.push_back(name); };
  p.LoadDefaultTexts();
  EXPECT_EQ(p.DragBarHint(), "Drag to float");
  EXPECT_EQ(p.FloatWindowCaption(), "Color Window");
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log.front(), "before");
  EXPECT_EQ(log.back(), "after");
  EXPECT_EQ(log[log.size() - 3], "DragBarHint");
  EXPECT_EQ(log[log.size() - 2], "FloatWindowCaption");
  // Assign: the seven of the button in their order, inside one group.
  TXcOfficeColorButtonProperties q(nullptr);
  q.LoadDefaultTexts();
  q.SetShowDragBar(false);
  q.SetFloatWindowCaption("F");
  q.SetEdgeWidth(5);
  q.SetArrowWidth(15);
  q.SetDragBarHeight(8);
  q.SetDragBarHint("H");
  q.SetDragBarSpace(4);
  log.clear();
  p.Assign(&q);
  EXPECT_EQ(log, (std::vector<std::string>{"before", "ShowDragBar", "FloatWindowCaption", "EdgeWidth", "ArrowWidth",
                                           "DragBarHeight", "DragBarHint", "DragBarSpace", "after"}));
  // From plain panel properties only the panel's settings come.
  TXcOfficeColorPanelProperties plain(nullptr);
  plain.SetColorSize(30);
  p.Assign(&plain);
  EXPECT_EQ(p.ColorSize(), 30);
  EXPECT_EQ(p.ArrowWidth(), 15);
}

TEST_F(OfficeColorButtonTest, HostileSettingsGiveADefinedLayout) {
  auto* b = Make();
  TXcOfficeColorPanel* panel = b->ColorPanel();
  panel->Properties()->SetShowUserColors(true);
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    int visibleUserCells;
  };
  std::vector<std::string> many(1000, "clRed=r"), sixtyFive(65, "$00102030=c");
  std::vector<Case> cases = {
      {"blank lines only", {"", "  ", ""}, 0},
      {"65 lines", sixtyFive, 64},
      {"1000 lines", many, 64},
      {"= alone", {"="}, 0},
      {"no colour", {"notacolour=x", "clNoSuchColour=y"}, 0},
      {"out of range", {"$1FFFFFFFFF=x", "99999999999999999999=y", "-5=z"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TStringList list;
    for (const std::string& l : c.lines) list.Add(l);
    b->SetUserColors(&list);
    int visible = 0;
    for (TXcOfficeColorDrawer* cell : panel->UserButtons()) visible += cell->Visible() ? 1 : 0;
    EXPECT_EQ(visible, c.visibleUserCells);
    EXPECT_EQ(panel->Width(), 152);
    EXPECT_GT(panel->Height(), 0);
    b->ColorForm()->ArrangeContent();
    EXPECT_EQ(b->ColorForm()->ClientHeight(), panel->Height() + 13);
  }
  // Sizes below their minimum are kept at it.
  TXcOfficeColorButtonProperties* P = b->Properties();
  P->SetColorSize(2);
  P->SetHorizontalMargin(-10);
  P->SetTopMargin(0);
  P->SetButtonHeight(1);
  EXPECT_EQ(panel->Properties()->ColorSize(), 18);
  EXPECT_EQ(panel->Properties()->HorizontalMargin(), 4);
  EXPECT_EQ(panel->Properties()->ButtonHeight(), 25);
  EXPECT_EQ(panel->Width(), 152);
  ClickArrow(b);
  EXPECT_TRUE(b->ColorForm()->Visible());
  b->CloseUp();
}

// Destroyed in each state of its form: nothing runs into the button afterwards (the sanitizer
// build checks the memory).
TEST_F(OfficeColorButtonTest, DestroyedWithItsFormHiddenDroppedOrFloating) {
  for (int state = 0; state < 4; ++state) {
    SCOPED_TRACE(state);
    auto* b = Make();
    if (state >= 1) ClickArrow(b);
    if (state == 2) TearOff(b);
    if (state == 3) {
      TearOff(b);
      b->ColorForm()->Hide();
    }
    Application->ProcessMessages();
    delete b;
    Application->ProcessMessages();
  }
  // A close posted before the button went does nothing afterwards.
  auto* b = Make();
  ClickArrow(b);
  PostMessage(b->Handle(), XC_CLOSEUP_MESSAGE, 0, 0);
  delete b;
  Application->ProcessMessages();
}

}  // namespace
