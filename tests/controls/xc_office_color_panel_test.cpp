#include "controls/xc_office_color_panel.h"

#include <gtest/gtest.h>

#include "controls/xc_color_tables.h"
#include "controls/xc_draw_utils.h"
#include "platform/ui/menus.h"
#include "platform/ui/theme_services.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::MouseClick;
using testsupport::ScopedResponder;

class OfficeColorPanelTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 400, 400);
  }
  TXcOfficeColorPanel* Make(int borderWidth = 0) {
    auto* p = new TXcOfficeColorPanel(form);
    p->SetBorderWidth(borderWidth);
    p->SetParent(form);
    p->SetLeft(0);
    p->SetTop(0);
    p->ArrangeButtons();
    p->OnColorChange = [this](TObject*) { ++changes; };
    return p;
  }
  // A click in the middle of a child button of the panel.
  static void Click(TXcOfficeColorPanel* p, TControl* b, testsupport::Mouse button = testsupport::Mouse::Left) {
    MouseClick(p, b->Left() + b->Width() / 2, b->Top() + b->Height() / 2, button);
  }
  // The down buttons of group 1.
  static std::vector<TControl*> DownButtons(TXcOfficeColorPanel* p) {
    std::vector<TControl*> down;
    for (auto* list : {&p->StandardButtons(), &p->SystemButtons(), &p->UserButtons()})
      for (auto* b : *list)
        if (b->Down()) down.push_back(b);
    for (TControl* c : p->FixedControls())
      if (auto* b = dynamic_cast<TXcCustomSpeedButton*>(c); b && b->Down()) down.push_back(c);
    return down;
  }
  int changes = 0;
};

TEST_F(OfficeColorPanelTest, DefaultGeometryForBorderWidths) {
  // The top gap keeps the border clear whether or not "No Color" shows; the left, right and bottom
  // gaps always count it.
  for (int border : {0, 3, 9}) {
    SCOPED_TRACE(border);
    auto* p = Make(border);
    const int B = border;
    EXPECT_EQ(p->Width(), 152 + 2 * B);
    EXPECT_EQ(p->DefaultButton()->BoundsRect(), Bounds(4 + B, 4 + B, 144, 25));
    EXPECT_TRUE(p->DefaultButton()->Visible());
    EXPECT_FALSE(p->NoneButton()->Visible());
    ASSERT_EQ(p->StandardButtons().size(), 40u);
    for (int i = 0; i < 40; ++i) {
      TControl* c = p->StandardButtons()[static_cast<size_t>(i)];
      EXPECT_EQ(c->BoundsRect(), Bounds(4 + B + 18 * (i % 8), 33 + B + 18 * (i / 8), 18, 18)) << i;
      EXPECT_TRUE(c->Visible());
    }
    EXPECT_EQ(p->Divider(3)->BoundsRect(), Bounds(4 + B, 127 + B, 144, 2));
    EXPECT_TRUE(p->Divider(3)->Visible());
    EXPECT_FALSE(p->Divider(1)->Visible());
    EXPECT_EQ(p->CustomSwatch()->BoundsRect(), Bounds(4 + B + 119, 133 + B, 25, 25));
    EXPECT_EQ(p->CustomButton()->BoundsRect(), Bounds(4 + B, 133 + B, 119, 25));
    EXPECT_EQ(p->Height(), 158 + 4 + 2 * B);
    EXPECT_EQ(p->DefaultButton()->Caption(), "Automatic");
    EXPECT_EQ(p->CustomButton()->Caption(), "Other Colors...");
    // With "No Color" shown nothing above it moves, and Automatic follows a margin below it.
    p->Properties()->SetShowNoneColor(true);
    EXPECT_EQ(p->NoneButton()->BoundsRect(), Bounds(4 + B, 4 + B, 144, 25));
    EXPECT_EQ(p->NoneButton()->Caption(), "No Color");
    EXPECT_EQ(p->DefaultButton()->Top(), 4 + 4 + B + 25);
    delete p;
  }
}

TEST_F(OfficeColorPanelTest, ListsAndHintsFollowTheOfficeTable) {
  auto* p = Make();
  ASSERT_EQ(p->StandardColors()->Count(), 40);
  const char* row1[8] = {"Black", "Brown", "Olive Green", "Dark Green", "Dark Teal", "Dark Blue", "Indigo", "Gray 80%"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p->StandardButtons()[static_cast<size_t>(i)]->Hint(), row1[i]);
  EXPECT_EQ(p->StandardButtons()[39]->Hint(), "White");
  EXPECT_EQ(p->StandardButtons()[29]->Hint(), "Sky blue");
  EXPECT_EQ(p->StandardColors()->Strings(0), "clBlack=Black");
  // A colour the framework has no name for is written in hexadecimal and read back.
  EXPECT_EQ(p->StandardColors()->Strings(1), "$00003399=Brown");
  EXPECT_EQ(p->StandardButtons()[1]->SwatchColor(), TColorOf(0x00003399));
  EXPECT_EQ(p->SystemColors()->Count(), 30);
  EXPECT_EQ(p->UserColors()->Count(), 0);
  EXPECT_EQ(p->NoneButton()->Tag(), 41);
  EXPECT_EQ(p->DefaultButton()->Tag(), 42);
  EXPECT_EQ(p->CustomSwatch()->Tag(), 44);
}

TEST_F(OfficeColorPanelTest, ClickingDarkBlueSelectsItOnce) {
  auto* p = Make();
  EXPECT_TRUE(p->DefaultButton()->Down());
  EXPECT_EQ(p->SelectedColor(), clDefault);
  TXcOfficeColorDrawer* darkBlue = p->StandardButtons()[5];
  std::vector<int> kinds;
  p->OnColorButtonClick = [&](TObject*) { kinds.push_back(p->ClickKind()); };
  Click(p, darkBlue);
  EXPECT_EQ(p->SelectedColor(), TColorOf(0x00800000));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{darkBlue});
  EXPECT_EQ(p->SelectedButton(), darkBlue);
  EXPECT_FALSE(p->InClick());
  EXPECT_EQ(p->ClickKind(), kClickOutside);
  Click(p, p->DefaultButton());
  EXPECT_EQ(p->SelectedColor(), clDefault);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{p->DefaultButton()});
  EXPECT_EQ(kinds, (std::vector<int>{kClickGridCell, kClickDefault}));
  // A click on a button that is down already changes nothing.
  Click(p, p->DefaultButton());
  EXPECT_EQ(changes, 2);
  // A sender that is no swatch button is kind 5 and selects nothing.
  p->ColorButtonClick(form);
  EXPECT_EQ(kinds.back(), kClickOutside);
  EXPECT_EQ(changes, 2);
}

TEST_F(OfficeColorPanelTest, SettingSelectedColorPutsTheMatchingButtonDown) {
  auto* p = Make();
  struct Case {
    TColor color;
    int cell;  // -1: Automatic, -2: nothing down
  } cases[] = {{TColorOf(0x00FF0000), 13}, {clDefault, -1}, {TColorOf(0x00123456), -2},
               {clBlack, 0}, {clWhite, 39}, {TColorOf(0x00123457), -2}, {clDefault, -1}};
  int expectedChanges = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.color));
    p->SetSelectedColor(c.color);
    ++expectedChanges;
    EXPECT_EQ(p->SelectedColor(), c.color);
    EXPECT_EQ(changes, expectedChanges);
    std::vector<TControl*> want;
    if (c.cell == -1) want = {p->DefaultButton()};
    else if (c.cell >= 0) want = {p->StandardButtons()[static_cast<size_t>(c.cell)]};
    EXPECT_EQ(DownButtons(p), want);
  }
  // An unchanged value fires nothing.
  p->SetSelectedColor(clDefault);
  EXPECT_EQ(changes, expectedChanges);
  // A click after "nothing down" keeps one button down.
  p->SetSelectedColor(TColorOf(0x00123456));
  Click(p, p->StandardButtons()[2]);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{p->StandardButtons()[2]});
  EXPECT_EQ(p->SelectedButton(), p->StandardButtons()[2]);
}

TEST_F(OfficeColorPanelTest, ASelectionChangePaintsOnlyTheTwoCellsThatChangedOnce) {
  auto* p = Make();
  p->SetSelectedColor(clBlack);
  p->Update();
  const std::vector<TXcOfficeColorDrawer*>& cells = p->StandardButtons();
  // From cell 0 to the next one, across a row's end (7 to 8) and far back (39 to 0).
  struct Step {
    int from, to;
  } steps[] = {{0, 1}, {7, 8}, {39, 0}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.from);
    p->SetSelectedColor(OfficeColorValues()[s.from].Value);
    p->Update();
    std::vector<int64_t> before;
    for (auto* c : cells) before.push_back(c->Paints());
    const int64_t automaticBefore = p->DefaultButton()->Paints();
    p->SetSelectedColor(OfficeColorValues()[s.to].Value);
    p->Update();
    for (size_t i = 0; i < cells.size(); ++i) {
      const int expected = static_cast<int>(i) == s.from || static_cast<int>(i) == s.to ? 1 : 0;
      EXPECT_EQ(cells[i]->Paints() - before[i], expected) << "cell " << i;
    }
    EXPECT_EQ(p->DefaultButton()->Paints(), automaticBefore);
    EXPECT_TRUE(cells[static_cast<size_t>(s.to)]->Down());
    EXPECT_FALSE(cells[static_cast<size_t>(s.from)]->Down());
  }
}

TEST_F(OfficeColorPanelTest, SelectionWorksBeforeThePanelHasAWindow) {
  auto* p = new TXcOfficeColorPanel(form);
  p->OnColorChange = [this](TObject*) { ++changes; };
  p->SetSelectedColor(clRed);
  p->SetSelectedColor(clBlue);
  EXPECT_EQ(DownButtons(p).size(), 1u);
  EXPECT_EQ(changes, 2);
}

TEST_F(OfficeColorPanelTest, OtherColorsRunsTheDialog) {
  auto* p = Make();
  Click(p, p->StandardButtons()[5]);
  changes = 0;
  TDialogRequest asked;
  int answer = 0;
  TColor chosen = TColorOf(0x00336699);
  ScopedResponder dialog([&](const TDialogRequest& r, TDialogAnswer& a) {
    asked = r;
    a.Result = answer;
    a.Color = static_cast<int32_t>(chosen);
    return true;
  });
  p->SetColorDialogOptions(1 << cdFullOpen);
  // Cancelled: nothing changes, the previous cell is down again.
  Click(p, p->CustomButton());
  EXPECT_EQ(asked.Kind, "Color");
  EXPECT_EQ(asked.Color, 0x00800000);
  EXPECT_EQ(asked.Flags & (1 << cdFullOpen), 1u << cdFullOpen);
  EXPECT_EQ(p->SelectedColor(), TColorOf(0x00800000));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{p->StandardButtons()[5]});
  // Confirmed: the colour is selected and shown on the swatch, which is down.
  answer = 1;
  Click(p, p->CustomButton());
  EXPECT_EQ(p->SelectedColor(), chosen);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(p->CustomSwatch()->SwatchColor(), chosen);
  EXPECT_EQ(p->CustomButton()->SwatchColor(), chosen);
  EXPECT_EQ(p->CustomSwatch()->Hint(), ColorToString(chosen));
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{p->CustomSwatch()});
  EXPECT_EQ(p->UserColors()->Count(), 0);
  // A grid colour chosen in the dialog still leaves the swatch showing it.
  chosen = clBlack;
  Click(p, p->CustomButton());
  EXPECT_EQ(p->SelectedColor(), clBlack);
  EXPECT_EQ(DownButtons(p).size(), 1u);
}

TEST_F(OfficeColorPanelTest, OwnerDialogReplacesTheColorDialog) {
  auto* p = Make();
  bool asked = false;
  ScopedResponder dialog([&](const TDialogRequest&, TDialogAnswer&) {
    asked = true;
    return true;
  });
  TColor pick = clDefault;
  p->OnShowOwnerColorDialog = [&](TObject*) {
    if (pick != clDefault) p->SetSelectedColor(pick);
  };
  Click(p, p->CustomButton());
  EXPECT_FALSE(asked);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{p->DefaultButton()});
  pick = TColorOf(0x00010203);
  Click(p, p->CustomButton());
  EXPECT_EQ(p->SelectedColor(), pick);
  EXPECT_EQ(p->CustomSwatch()->SwatchColor(), pick);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{p->CustomSwatch()});
  // The in-click flag goes also when the handler raises.
  p->OnShowOwnerColorDialog = [](TObject*) { throw EXCLException("owner dialog failed"); };
  EXPECT_THROW(p->ColorButtonClick(p->CustomButton()), EXCLException);
  EXPECT_FALSE(p->InClick());
  EXPECT_EQ(p->ClickKind(), kClickOutside);
}

TEST_F(OfficeColorPanelTest, HoldCustomColorAddsOneCellPerColor) {
  auto* p = Make();
  p->Properties()->SetHoldCustomColor(true);
  p->Properties()->SetShowUserColors(true);
  ScopedResponder dialog([&](const TDialogRequest&, TDialogAnswer& a) {
    a.Result = 1;
    a.Color = 0x00445566;
    return true;
  });
  std::vector<TColor> kept;
  p->OnCustomColorKept = [&](TObject*, TColor c) { kept.push_back(c); };
  const int height = p->Height();
  Click(p, p->CustomButton());
  Click(p, p->CustomButton());
  ASSERT_EQ(p->UserColors()->Count(), 1);
  EXPECT_EQ(p->UserColors()->Strings(0), "$00445566=($)");
  EXPECT_EQ(kept, std::vector<TColor>{TColorOf(0x00445566)});
  ASSERT_GE(p->UserButtons().size(), 1u);
  TXcOfficeColorDrawer* cell = p->UserButtons()[0];
  EXPECT_TRUE(cell->Visible());
  EXPECT_EQ(cell->Hint(), "$00445566");
  // The user group sits under its divider below the office colours; the panel grew.
  EXPECT_TRUE(p->Divider(2)->Visible());
  EXPECT_EQ(p->Divider(2)->Top(), 123 + 4);
  EXPECT_EQ(cell->Top(), 129 + 4);
  EXPECT_GT(p->Height(), height);
}

TEST_F(OfficeColorPanelTest, HostileUserColorListsGiveADefinedLayout) {
  auto* p = Make();
  p->Properties()->SetShowUserColors(true);
  auto lines = [](int n, const std::string& line) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line + "\n";
    return s;
  };
  struct Case {
    std::string text;
    int visibleCells;
  } cases[] = {
      {"\n\n\n", 0},
      {lines(65, "clRed=Red"), 64},
      {lines(1000, "$00102030=x"), 64},
      {"=\n", 0},
      {"NoColour=Nothing\nclLime=Lime\n", 1},
      {"$1FFFFFFFF=Big\n$=Empty\n-99999999999=Neg\n", 0},
      {"  clRed  =padded\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    TStringList list;
    list.SetText(c.text);
    p->SetUserColors(&list);
    int visible = 0;
    for (auto* b : p->UserButtons()) visible += b->Visible();
    EXPECT_EQ(visible, c.visibleCells);
    EXPECT_EQ(p->Width(), 152);
    EXPECT_GT(p->Height(), 0);
    EXPECT_LE(p->UserButtons().size(), 64u);
  }
  // The invalid line's cell stays hidden and disabled when the panel is enabled again.
  TStringList bad;
  bad.SetText("nothing=($)\nclAqua=($)\n");
  p->SetUserColors(&bad);
  p->SetEnabled(false);
  p->SetEnabled(true);
  p->ArrangeButtons();
  EXPECT_FALSE(p->UserButtons()[0]->Visible());
  EXPECT_FALSE(p->UserButtons()[0]->Enabled());
  EXPECT_TRUE(p->UserButtons()[1]->Visible());
  EXPECT_EQ(p->UserButtons()[1]->Hint(), ColorDescription(clAqua));
  // The hidden cell is never chosen by SelectedColor.
  p->SetSelectedColor(clDefault);
  p->SetSelectedColor(clAqua);
  EXPECT_TRUE(p->StandardButtons()[28]->Down());
}

TEST_F(OfficeColorPanelTest, MinimaOfTheNumbers) {
  auto* p = Make();
  TXcOfficeColorPanelProperties* P = p->Properties();
  P->SetColorSize(3);
  P->SetHorizontalMargin(-5);
  P->SetTopMargin(0);
  P->SetBottomMargin(1);
  P->SetButtonHeight(2);
  P->SetColorSpace(-1);
  P->SetColorSpaceTop(0);
  P->SetColorSpaceBottom(0);
  EXPECT_EQ(P->ColorSize(), 18);
  EXPECT_EQ(P->HorizontalMargin(), 4);
  EXPECT_EQ(P->TopMargin(), 4);
  EXPECT_EQ(P->BottomMargin(), 4);
  EXPECT_EQ(P->ButtonHeight(), 25);
  EXPECT_EQ(P->ColorSpace(), 0);
  EXPECT_EQ(P->ColorSpaceTop(), 4);
  EXPECT_EQ(P->ColorSpaceBottom(), 4);
  EXPECT_EQ(p->Width(), 152);
  // Larger values are taken and the layout follows.
  P->SetColorSpace(2);
  P->SetColorSize(20);
  EXPECT_EQ(p->Width(), 8 + 8 * 20 + 7 * 2);
  EXPECT_EQ(p->StandardButtons()[9]->BoundsRect(), Bounds(4 + 22, 33 + 22, 20, 20));
}

TEST_F(OfficeColorPanelTest, PropertiesChangedByName) {
  auto* p = Make();
  TXcOfficeColorPanelProperties* P = p->Properties();
  P->SetDefaultColorCaption("Auto");
  EXPECT_EQ(p->DefaultButton()->Caption(), "Auto");
  P->SetCustomColorHint("More");
  EXPECT_EQ(p->CustomButton()->Hint(), "More");
  P->SetDefaultColorColor(clRed);
  EXPECT_EQ(p->DefaultButton()->SwatchColor(), clRed);
  P->DefaultColorFont()->SetSize(17);
  EXPECT_EQ(p->DefaultButton()->Font()->Size(), 17);
  P->SetShowColorsHint(false);
  EXPECT_FALSE(p->StandardButtons()[0]->ShowHint());
  P->SetShowAddInHint(false);
  EXPECT_FALSE(p->DefaultButton()->ShowHint());
  EXPECT_TRUE(p->StandardButtons()[0]->ShowHint() == false);
  // Names are compared without regard to case; any other name arranges.
  P->SetCustomColorCaption("x");
  p->PropertiesChanged(P, "customcolorcaption");
  EXPECT_EQ(p->CustomButton()->Caption(), "x");
  P->SetShowDefaultColor(false);
  EXPECT_FALSE(p->DefaultButton()->Visible());
  EXPECT_EQ(p->StandardButtons()[0]->Top(), 4);
  P->SetShowCustomColor(false);
  EXPECT_FALSE(p->CustomButton()->Visible());
  EXPECT_FALSE(p->Divider(3)->Visible());
  EXPECT_EQ(p->Height(), 4 + 90 + 4);
  P->SetShowStandardColors(false);
  EXPECT_EQ(p->Height(), 0);
  // Assign copies every setting in one change.
  TXcOfficeColorPanelProperties other(nullptr);
  other.LoadDefaultTexts();
  int groups = 0;
  P->OnAfterChange = [&](TObject*) { ++groups; };
  P->Assign(&other);
  EXPECT_EQ(groups, 1);
  EXPECT_TRUE(P->ShowDefaultColor());
  EXPECT_EQ(P->DefaultColorCaption(), "Automatic");
  EXPECT_EQ(p->Height(), 162);
}

TEST_F(OfficeColorPanelTest, RightClickSelectAndPopupMenus) {
  auto* p = Make();
  TXcOfficeColorDrawer* red = p->StandardButtons()[16];
  int ups = 0;
  p->OnMouseUp = [&](TObject* sender, TMouseButton, TShiftState, int, int) { ups += sender == red; };
  Click(p, red, testsupport::Mouse::Right);
  EXPECT_EQ(ups, 1);
  EXPECT_EQ(p->SelectedColor(), clDefault);
  p->Properties()->SetRightClickSelect(true);
  Click(p, red, testsupport::Mouse::Right);
  EXPECT_EQ(p->SelectedColor(), clRed);
  EXPECT_EQ(DownButtons(p), std::vector<TControl*>{red});
  // A pop-up menu up the parent chain takes the right click unless SelectIfPopup.
  TPopupMenu menu(form);
  form->SetPopupMenu(&menu);
  ScopedResponder noMenu([](const TDialogRequest&, TDialogAnswer& a) {
    a.Result = 0;
    return true;
  });
  TXcOfficeColorDrawer* lime = p->StandardButtons()[27];
  Click(p, lime, testsupport::Mouse::Right);
  EXPECT_EQ(p->SelectedColor(), clRed);
  p->Properties()->SetSelectIfPopup(true);
  Click(p, lime, testsupport::Mouse::Right);
  EXPECT_EQ(p->SelectedColor(), clLime);
  form->SetPopupMenu(nullptr);
}

TEST_F(OfficeColorPanelTest, BackColorAndHotTrackReachEveryButton) {
  auto* p = Make();
  p->SetBackColor(clYellow);
  EXPECT_EQ(p->Color(), clYellow);
  EXPECT_EQ(p->StandardButtons()[3]->Color(), clYellow);
  EXPECT_EQ(p->StandardButtons()[3]->DisabledSwatchColor(), clYellow);
  EXPECT_EQ(p->CustomSwatch()->Color(), clYellow);
  p->SetHotTrack(true);
  EXPECT_TRUE(p->StandardButtons()[7]->HotTrack());
  EXPECT_TRUE(p->DefaultButton()->HotTrack());
  EXPECT_TRUE(p->DefaultButton()->SwatchFrame());
  p->HotTrackOptions()->SetEnabled(true);
  EXPECT_FALSE(p->DefaultButton()->SwatchFrame());
  EXPECT_FALSE(p->CustomButton()->SwatchFrame());
  EXPECT_TRUE(p->StandardButtons()[7]->HotTrackOptions()->Enabled());
  EXPECT_EQ(p->HotTrackFontOptions(), kDefaultTrackFontOptions);
  p->SetEnabled(false);
  EXPECT_FALSE(p->StandardButtons()[0]->Enabled());
  EXPECT_FALSE(p->CustomButton()->Enabled());
  p->SetEnabled(true);
  EXPECT_TRUE(p->StandardButtons()[0]->Enabled());
}

// ---- swatch buttons

class ColorSpeedButtonTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    ThemeServices()->SetThemesEnabled(false);
  }
  void TearDown() override {
    ThemeServices()->SetThemesEnabled(true);
    FormTest::TearDown();
  }
};

TEST_F(ColorSpeedButtonTest, SwatchRectanglesOfThePlacements) {
  auto* b = new TXcColorSpeedButton(form);
  b->SetParent(form);
  struct Case {
    int w, h, placement;
    TRect swatch, frame;
  } cases[] = {
      {144, 25, kSwatchLeft, Rect(6, 6, 25, 20), Rect(4, 4, 141, 22)},
      {144, 25, kSwatchRight, Rect(120, 6, 139, 20), Rect(4, 4, 141, 22)},
      {144, 25, kSwatchWhole, Rect(5, 5, 139, 20), Rect(4, 4, 141, 22)},
      {18, 18, kSwatchWhole, Rect(3, 3, 15, 15), Rect(2, 2, 17, 17)},
      {4, 4, kSwatchWhole, Rect(0, 0, 4, 4), Rect(-1, -1, 6, 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.placement);
    b->SetBounds(0, 0, c.w, c.h);
    b->SetSwatchPlacement(c.placement);
    EXPECT_EQ(b->SwatchRect(), c.swatch);
    EXPECT_EQ(b->SwatchFrameRect(), c.frame);
  }
  b->SetSwatchPlacement(7);
  EXPECT_EQ(b->SwatchPlacement(), kSwatchWhole);
  // The bar under a glyph moves one pixel while the button is down.
  b->SetBounds(0, 0, 40, 30);
  EXPECT_EQ(b->SwatchBarRect(), Rect(11, 19, 28, 23));
  b->SetGroupIndex(5);
  b->SetDown(true);
  EXPECT_EQ(b->SwatchBarRect(), Rect(12, 20, 29, 24));
}

TEST_F(ColorSpeedButtonTest, PaintsTheSwatchFrameAndBar) {
  auto* b = new TXcColorSpeedButton(form);
  b->SetParent(form);
  b->SetBounds(0, 0, 50, 25);
  b->SetColor(clBtnFace);
  b->SetSwatchColor(clRed);
  b->SetSwatchFrame(true);
  auto paint = [&] {
    auto bmp = std::make_unique<TBitmap>(b->Width(), b->Height());
    b->Perform(WM_PAINT, reinterpret_cast<WPARAM>(bmp->Canvas()->Handle()), 0);
    return bmp;
  };
  auto bmp = paint();
  // m = 5: grey pen around the red swatch (5, 5, 45, 20), grey frame at (4, 4) .. (46, 22).
  EXPECT_EQ(testsupport::At(*bmp, 20, 12), 0x0000FFu);
  EXPECT_EQ(testsupport::At(*bmp, 5, 12), 0x808080u);
  EXPECT_EQ(testsupport::At(*bmp, 20, 19), 0x808080u);
  EXPECT_EQ(testsupport::At(*bmp, 4, 12), 0x808080u);
  EXPECT_EQ(testsupport::At(*bmp, 20, 21), 0x808080u);
  b->SetEnabled(false);
  bmp = paint();
  EXPECT_EQ(testsupport::At(*bmp, 20, 12), 0x808080u);
  b->SetEnabled(true);
  b->SetShowSwatch(false);
  bmp = paint();
  EXPECT_NE(testsupport::At(*bmp, 20, 12), 0x0000FFu);
  // With a glyph the swatch is a bar under it.
  b->SetShowSwatch(true);
  auto glyph = testsupport::SolidBitmap(8, 8, clBlue);
  b->SetGlyph(glyph.get());
  bmp = paint();
  const TRect bar = b->SwatchBarRect();
  EXPECT_EQ(testsupport::At(*bmp, bar.Left + 3, bar.Top + 1), 0x0000FFu);
  EXPECT_NE(testsupport::At(*bmp, 20, 8), 0x0000FFu);
}

TEST_F(OfficeColorPanelTest, AutomaticHintNamesTheColorUnderThePointer) {
  auto* p = Make();
  TXcDefaultColorSpeendButton* b = p->DefaultButton();
  p->Properties()->SetDefaultColorColor(clBlack);
  b->SetHint("Automatic");
  struct Case {
    TPoint at;
    std::string hint;
  } cases[] = {{Point(10, 12), "Black"}, {Point(100, 12), "Automatic"}, {Point(1, 1), "Automatic"}};
  for (const Case& c : cases) {
    THintInfo info;
    info.HintControl = b;
    info.CursorPos = c.at;
    info.HintStr = b->Hint();
    b->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.HintStr, c.hint) << c.at.X;
  }
}

}  // namespace
