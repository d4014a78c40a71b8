#include "controls/xc_combo_edit.h"

#include <gtest/gtest.h>

#include "platform/ui/actions.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/theme_services.h"
#include "tests/controls/fake_data_source.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

TEST(ComboEditLayout, HolderBoundsTable) {
  struct Case {
    bool themed, single, ctl3d;
    TBevelKind bevel;
    bool inner, outer;
    TRect expected;  // for a 100 x 21 edit and a 17-pixel button
  } cases[] = {
      {true, true, true, bkNone, false, false, Bounds(100 - 17 - 2, 0, 17, 19)},
      {true, true, false, bkNone, false, false, Bounds(100 - 17 - 2 + 1, 1, 17, 19)},
      {true, false, true, bkNone, false, false, Bounds(100 - 17, 0, 17, 21)},
      {false, true, true, bkNone, false, false, Bounds(100 - 17 - 4, 0, 17, 17)},
      {false, true, false, bkNone, false, false, Bounds(100 - 17 - 2, 2, 17, 17)},
      {false, false, false, bkNone, false, false, Bounds(100 - 17, 0, 17, 21)},
      // Each bevel moves it 2 left and takes 2 from its height.
      {false, false, true, bkTile, true, true, Bounds(100 - 17 - 4, 0, 17, 17)},
      {false, false, true, bkTile, true, false, Bounds(100 - 17 - 2, 0, 17, 19)},
      {false, false, true, bkNone, true, true, Bounds(100 - 17, 0, 17, 21)},
  };
  for (const Case& c : cases) {
    TXcComboEditLook look;
    look.Themed = c.themed;
    look.SingleBorder = c.single;
    look.Ctl3D = c.ctl3d;
    look.Flat = !c.ctl3d;
    look.BevelKind = c.bevel;
    look.BevelInner = c.inner;
    look.BevelOuter = c.outer;
    EXPECT_EQ(ComboButtonHolderBounds(look, 100, 21, 17), c.expected)
        << c.themed << c.single << c.ctl3d << int(c.bevel) << c.inner << c.outer;
  }
}

TEST(ComboEditLayout, FormattingRectangleAndHeights) {
  struct Case {
    bool themed, single, ctl3d;
    TRect expected;  // width 100, client height 17, holder 21: right = 100 - R - 3
  } cases[] = {
      {true, true, true, Rect(1, 1, 100 - 24 - 3, 16)},
      {true, true, false, Rect(3, 0, 100 - 22 - 3, 16)},
      {false, true, true, Rect(0, 2, 100 - 23 - 3, 16)},
      {false, true, false, Rect(0, 0, 100 - 23 - 3, 16)},
      {true, false, true, Rect(0, 0, 100 - 23 - 3, 16)},
  };
  for (const Case& c : cases) {
    TXcComboEditLook look;
    look.Themed = c.themed;
    look.SingleBorder = c.single;
    look.Ctl3D = c.ctl3d;
    look.Flat = !c.ctl3d;
    EXPECT_EQ(ComboEditFormatRect(look, 100, 17, 21), c.expected) << c.themed << c.single << c.ctl3d;
  }
  EXPECT_EQ(ComboEditGrownHeight(false, 13), 21);
  EXPECT_EQ(ComboEditGrownHeight(true, 13), 19);
  EXPECT_EQ(ComboEditMinHeight(true, 13), 18);
  EXPECT_EQ(ComboEditMinHeight(false, 13), 13);
}

// The dots of a glyph as a row of '#' and '.'.
std::string Dots(TBitmap& glyph, int row) {
  std::string s;
  for (int x = 0; x < glyph.Width(); ++x) s += glyph.Canvas()->Pixels(x, row) == clBlack ? '#' : '.';
  return s;
}

TEST(ComboEditLayout, TheEllipsisGlyph) {
  struct Case {
    int buttonWidth;
    const char* row;  // rows 1 and 2 hold the dots, rows 0 and 3 are empty
  } cases[] = {
      {17, "##..##..##."},                         // 11 wide, gap 2: dots at 0, 4 and 8
      {30, "......##...##...##......"},           // 24 wide, gap 3: x0 = (24 - 6 - 6) / 2 = 6
      {14, "##.##.##"},                           // 8 wide, gap 1
      {13, "##.##.#"},                            // 7 wide: the last dot cut off at the edge
  };
  for (const Case& c : cases) {
    std::unique_ptr<TBitmap> g = MakeEllipsisGlyph(c.buttonWidth);
    ASSERT_EQ(g->Height(), 4);
    EXPECT_TRUE(g->Monochrome());
    EXPECT_EQ(Dots(*g, 1), c.row) << c.buttonWidth;
    EXPECT_EQ(Dots(*g, 2), c.row) << c.buttonWidth;
    EXPECT_EQ(Dots(*g, 0), std::string(g->Width(), '.'));
    EXPECT_EQ(Dots(*g, 3), std::string(g->Width(), '.'));
  }
  EXPECT_EQ(MakeEllipsisGlyph(1)->Width(), 1);
  EXPECT_EQ(MakeEllipsisGlyph(-5)->Width(), 1);
}

// An edit whose button action is counted.
class TCountingEdit : public TXcCustomComboEdit {
 public:
  using TXcCustomComboEdit::TXcCustomComboEdit;
  int actions = 0;

 protected:
  void RunButtonAction() override { ++actions; }
};

class ComboEditTest : public testsupport::FormTest {
 protected:
  TCountingEdit* Make(int top = 10) {
    auto* e = new TCountingEdit(form);
    e->SetParent(form);
    e->SetBounds(10, top, 150, 21);
    return e;
  }
};

TEST_F(ComboEditTest, ButtonWidthAndShowButtonSequence) {
  TCountingEdit* e = Make();
  EXPECT_EQ(e->ButtonWidth(), 21);
  EXPECT_TRUE(e->ShowButton());
  e->SetButtonWidth(1);
  EXPECT_FALSE(e->ShowButton());
  e->SetButtonWidth(21);
  EXPECT_FALSE(e->ShowButton());
  EXPECT_EQ(e->ButtonWidth(), 21);
  e->SetShowButton(true);
  EXPECT_TRUE(e->ShowButton());
  EXPECT_EQ(e->ButtonHolder()->Width(), 21);
  // A width as wide as the edit is refused; a narrower one keeps the holder's right edge.
  int right = e->ButtonHolder()->Left() + e->ButtonHolder()->Width();
  e->SetButtonWidth(500);
  EXPECT_EQ(e->ButtonWidth(), 21);
  e->SetButtonWidth(30);
  EXPECT_EQ(e->ButtonWidth(), 30);
  EXPECT_EQ(e->ButtonHolder()->Left() + e->ButtonHolder()->Width(), right);
  EXPECT_EQ(e->Button()->Width(), 30);
  e->SetButtonWidth(0);
  EXPECT_FALSE(e->ShowButton());
  EXPECT_EQ(e->ButtonWidth(), 30);
  e->SetShowButton(false);
  e->SetShowButton(true);
  EXPECT_EQ(e->ButtonWidth(), 30);
}

TEST_F(ComboEditTest, ImageKindSetsTheWidthAndThePicture) {
  TCountingEdit* e = Make();
  e->SetImageKind(ikDropDown);
  EXPECT_EQ(e->ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_TRUE(e->Button()->ControlStyle() & csFixedWidth);
  ThemeServices()->SetThemesEnabled(false);
  e->SetImageKind(ikEllipsis);
  e->SetButtonWidth(17);
  ASSERT_EQ(e->Glyph()->Width(), 11);
  EXPECT_EQ(Dots(*e->Glyph(), 1), "##..##..##.");
  // The classic drop-down arrow is the system's combo bitmap.
  e->SetImageKind(ikDropDown);
  EXPECT_EQ(e->Glyph()->Width(), 7);
  EXPECT_EQ(e->Glyph()->Height(), 4);
  EXPECT_FALSE(e->Button()->ThemedArrow());
  ThemeServices()->SetThemesEnabled(true);
  e->SetImageKind(ikEllipsis);
  e->SetImageKind(ikDropDown);
  EXPECT_TRUE(e->Button()->ThemedArrow());
  // A glyph of its own makes the kind custom.
  TBitmap own(8, 8);
  e->SetGlyph(&own);
  EXPECT_EQ(e->ImageKind(), ikCustom);
  // The base edit has no default picture: the width stays.
  int width = e->ButtonWidth();
  e->SetImageKind(ikDefault);
  EXPECT_EQ(e->ButtonWidth(), width);
}

TEST_F(ComboEditTest, AltDownClicksUnlessReadOnlyAndDirectInputOnlyStopsTyping) {
  TCountingEdit* e = Make();
  int clicks = 0;
  e->OnButtonClick = [&](TObject*) { ++clicks; };
  EXPECT_EQ(e->ClickKey(), 32808);
  e->SetFocus();
  testsupport::KeyPress(e, VK_DOWN, "", true);
  EXPECT_EQ(e->actions, 1);
  EXPECT_EQ(clicks, 1);
  testsupport::MouseClick(e->ButtonHolder(), 5, 5);
  EXPECT_EQ(e->actions, 2);
  e->SetReadOnly(true);
  testsupport::KeyPress(e, VK_DOWN, "", true);
  testsupport::MouseClick(e->ButtonHolder(), 5, 5);
  EXPECT_EQ(e->actions, 2);
  EXPECT_EQ(clicks, 2);
  e->SetReadOnly(false);
  e->SetDirectInput(false);
  testsupport::KeyPress(e, 'A', "a");
  EXPECT_EQ(e->Text(), "");
  testsupport::KeyPress(e, VK_DOWN, "", true);
  EXPECT_EQ(e->actions, 3);
  e->SetDirectInput(true);
  testsupport::KeyPress(e, 'A', "a");
  EXPECT_EQ(e->Text(), "a");
}

TEST_F(ComboEditTest, EditsOfOneGroupClearEachOtherEvenWithoutNames) {
  TCountingEdit* a = Make(10);
  TCountingEdit* b = Make(40);
  TCountingEdit* loose = Make(70);
  ASSERT_TRUE(a->Name().empty() && b->Name().empty());
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  b->SetText("keep me?");
  loose->SetText("other group");
  a->SetFocus();
  testsupport::KeyPress(a, 'X', "x");
  EXPECT_EQ(a->Text(), "x");
  EXPECT_EQ(b->Text(), "");
  EXPECT_EQ(loose->Text(), "other group");
  // -1 is no group.
  a->SetGroupIndex(-1);
  b->SetGroupIndex(-1);
  b->SetText("stays");
  testsupport::KeyPress(a, 'Y', "y");
  EXPECT_EQ(b->Text(), "stays");
}

TEST_F(ComboEditTest, ReadOnlyCutsTheClipboardCommandsToCopy) {
  TCountingEdit* e = Make();
  EXPECT_EQ(e->ClipboardCommands(), kAllClipboardCommands);
  e->SetReadOnly(true);
  EXPECT_EQ(e->ClipboardCommands(), TXcClipboardCommands{caCopy});
  e->SetClipboardCommands(kAllClipboardCommands);
  EXPECT_EQ(e->ClipboardCommands(), TXcClipboardCommands{caCopy});
  e->SetText("text");
  e->SelectAll();
  e->Perform(WM_CUT, 0, 0);
  e->Perform(WM_CLEAR, 0, 0);
  EXPECT_EQ(e->Text(), "text");
  e->SetReadOnly(false);
  e->SetClipboardCommands(kAllClipboardCommands);
  e->Perform(WM_CLEAR, 0, 0);
  EXPECT_EQ(e->Text(), "");
}

// An edit that counts its text-changed notices.
class TNoticeEdit : public TCountingEdit {
 public:
  using TCountingEdit::TCountingEdit;
  int notices = 0;

 protected:
  void HandleTextChange() override {
    ++notices;
    TCountingEdit::HandleTextChange();
  }
};

TEST_F(ComboEditTest, OneSetTextIsOneNoticeAndOneOnChange) {
  auto* e = new TNoticeEdit(form);
  e->SetParent(form);
  int changes = 0;
  e->OnChange = [&](TObject*) { ++changes; };
  e->SetText("one");
  EXPECT_EQ(e->notices, 1);
  EXPECT_EQ(changes, 1);
  e->SetText("two");
  EXPECT_EQ(e->notices, 2);
  EXPECT_EQ(changes, 2);
  e->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("three"));
  EXPECT_EQ(e->notices, 3);
  EXPECT_EQ(changes, 3);
}

TEST_F(ComboEditTest, ADisabledEditShowsItsTextInGrayTextOnWindow) {
  TCountingEdit* e = Make();
  e->Font()->SetSize(14);
  e->SetText("WWW");
  e->SetEnabled(false);
  EXPECT_FALSE(e->Button()->Enabled());
  const uint32_t window = ColorToRGB(clWindow) & 0xFFFFFF, gray = ColorToRGB(clGrayText) & 0xFFFFFF;
  bool grayText = false, foreign = false;
  for (uint32_t p : testsupport::WindowPixels(e, 0, 3, 40, 15)) {
    if (p == gray) grayText = true;
    else if (p != window && (p & 0xFF) < 0x60) foreign = true;
  }
  EXPECT_TRUE(grayText);
  EXPECT_FALSE(foreign);
  EXPECT_EQ(testsupport::WindowPixel(e, 100, 8), window);
}

TEST_F(ComboEditTest, TheButtonSitsInsideAndTheTextStopsBeforeIt) {
  ThemeServices()->SetThemesEnabled(false);
  TCountingEdit* e = Make();
  e->SetButtonWidth(17);
  TRect expected = ComboButtonHolderBounds(e->Look(), e->Width(), e->Height(), 17);
  EXPECT_EQ(e->ButtonHolder()->BoundsRect(), expected);
  TRect r;
  e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r.Right, e->Width() - 17 - 2 - 3);
  EXPECT_LE(r.Right, e->ButtonHolder()->Left());
  ThemeServices()->SetThemesEnabled(true);
}

TEST_F(ComboEditTest, TheConnectorShowsTheFieldAndEditsWriteBack) {
  TCountingEdit* e = Make();
  auto source = CreateObject<testsupport::TFakeSource>();
  e->DataConnector()->SetDataField("Name");
  e->DataConnector()->SetDataSource(source);
  EXPECT_EQ(e->Text(), "Ann");
  EXPECT_FALSE(e->ReadOnly());
  e->SetFocus();
  testsupport::KeyPress(e, 'B', "b");
  EXPECT_TRUE(e->DataConnector()->Dirty());
  e->DataConnector()->CommitRecord();
  EXPECT_EQ(source->fields["Name"], e->Text());
  // Escape shows the field again.
  testsupport::KeyPress(e, 'C', "c");
  testsupport::KeyPress(e, VK_ESCAPE, "\x1b");
  EXPECT_EQ(e->Text(), source->fields["Name"]);
  // A read-only field makes a read-only edit; a missing one an empty one.
  source->readOnly = true;
  source->Notify(kXcNoticeRecordChanged);
  EXPECT_TRUE(e->ReadOnly());
  e->DataConnector()->SetDataField("Missing");
  EXPECT_EQ(e->Text(), "");
}

TEST_F(ComboEditTest, TheActionGivesHintShortcutImageAndClickButNeverTheCaption) {
  TCountingEdit* e = Make();
  e->SetText("typed");
  TAction action(nullptr);
  action.SetCaption("Caption");
  action.SetHint("Browse");
  action.SetShortCut(ShortCut(VK_F4, 0));
  action.SetImageIndex(3);
  int executed = 0;
  action.OnExecute = [&](TObject*) { ++executed; };
  e->SetAction(&action);
  EXPECT_EQ(e->Text(), "typed");
  EXPECT_EQ(e->ButtonHint(), "Browse");
  EXPECT_EQ(e->ClickKey(), ShortCut(VK_F4, 0));
  EXPECT_EQ(e->ImageIndex(), 3);
  e->ButtonClick();
  EXPECT_EQ(executed, 1);
  action.SetHint("Other");
  EXPECT_EQ(e->ButtonHint(), "Other");
  e->SetAction(nullptr);
}

TEST_F(ComboEditTest, CompletionFromTheWordList) {
  TCountingEdit* e = Make();
  e->AutoCompleteWords()->Add("capture.avi");
  e->AutoCompleteWords()->Add("clip.avi");
  e->SetAutoCompleteOptions({acoAutoAppend});
  EXPECT_EQ(e->AutoCompleteSource(), acsWordList);
  e->SetFocus();
  testsupport::KeyPress(e, 'C', "c");
  testsupport::KeyPress(e, 'L', "l");
  Application->ProcessMessages();
  EXPECT_EQ(e->Text(), "clip.avi");
  e->SetAutoCompleteOptions({});
  EXPECT_EQ(e->AutoCompleteSource(), acsNone);
}

}  // namespace
