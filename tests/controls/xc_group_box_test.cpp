#include "controls/xc_group_box.h"

#include <gtest/gtest.h>

#include "platform/ui/theme_services.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;

class GroupBoxTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    group = new TXcGroupBox(form);
    group->SetParent(form);
    group->SetBounds(10, 10, 180, 120);
    group->SetCaption(" Layout ");
    a = new TButton(form);
    a->SetParent(group);
    a->SetBounds(10, 40, 60, 25);
    b = new TButton(form);
    b->SetParent(group);
    b->SetBounds(80, 40, 60, 25);
  }
  TXcGroupBox* group = nullptr;
  TButton* a = nullptr;
  TButton* b = nullptr;
};

TEST_F(GroupBoxTest, CheckableMovesTheCaptionToTheBoxAndGatesTheChildren) {
  EXPECT_FALSE(group->Checkable());
  EXPECT_FALSE(group->Checked());
  int clicks = 0;
  group->OnCheckBoxClick = [&](TObject*) { ++clicks; };
  group->SetCheckable(true);
  ASSERT_NE(group->CheckBox(), nullptr);
  EXPECT_EQ(group->CheckBox()->Left(), 8);
  EXPECT_EQ(group->CheckBox()->Top(), 0);
  EXPECT_EQ(group->Caption(), " Layout ");
  EXPECT_EQ(group->CheckBox()->Caption(), " Layout ");
  EXPECT_TRUE(group->Checked());
  EXPECT_TRUE(group->PropagateEnable());
  EXPECT_TRUE(a->Enabled());
  EXPECT_TRUE(b->Enabled());
  // The user unchecks it: the children go off.
  testsupport::MouseClick(group->CheckBox(), 4, 4);
  EXPECT_FALSE(group->Checked());
  EXPECT_FALSE(a->Enabled());
  EXPECT_FALSE(b->Enabled());
  EXPECT_GE(clicks, 1);
  // The caption changes on the box while checkable.
  group->SetCaption("Size");
  EXPECT_EQ(group->CheckBox()->Caption(), "Size");
  // Not checkable again: the caption is the box's own, and the children follow its state again.
  group->SetCheckable(false);
  EXPECT_EQ(group->CheckBox(), nullptr);
  EXPECT_EQ(group->Caption(), "Size");
  EXPECT_TRUE(a->Enabled());
}

TEST_F(GroupBoxTest, PropagateEnableRules) {
  // Not checkable: every child takes the box's state.
  group->SetPropagateEnable(true);
  group->SetEnabled(false);
  EXPECT_FALSE(a->Enabled());
  group->SetEnabled(true);
  EXPECT_TRUE(a->Enabled());
  // Checkable and enabled: the box is enabled, the children follow the check mark.
  group->SetCheckable(true);
  group->SetChecked(false);
  group->SetEnabled(false);
  EXPECT_FALSE(group->CheckBox()->Enabled());
  EXPECT_FALSE(a->Enabled());
  group->SetEnabled(true);
  EXPECT_TRUE(group->CheckBox()->Enabled());
  EXPECT_FALSE(a->Enabled());
  group->SetChecked(true);
  EXPECT_TRUE(a->Enabled());
  // Switching PropagateEnable off keeps an unchecked box's children off.
  group->SetChecked(false);
  group->SetPropagateEnable(false);
  EXPECT_FALSE(a->Enabled());
  EXPECT_TRUE(group->CheckBox()->Enabled());
}

TEST_F(GroupBoxTest, TheClassicPaintFramesTheRowsAndEmbossesADisabledCaption) {
  ThemeServices()->SetThemesEnabled(false);
  group->SetColor(clBtnFace);
  group->SetCaption("HH");
  group->Font()->SetColor(clRed);
  group->Font()->SetQuality(fqNonAntialiased);  // pixels of the text's very colours
  auto picture = [&] {
    auto bmp = std::make_unique<TBitmap>(180, 120);
    group->PaintTo(bmp->Canvas(), 0, 0);
    return bmp;
  };
  TBitmap measure(1, 1);
  measure.Canvas()->SetFont(*group->Font());
  const int h = measure.Canvas()->TextHeight("0");
  const int line = h / 2 - 1;
  const TSize text = measure.Canvas()->TextExtent("HH");
  const COLORREF shadow = ColorToRGB(clBtnShadow) & 0xFFFFFF, light = ColorToRGB(clBtnHighlight) & 0xFFFFFF;
  auto bmp = picture();
  // The shadow frame on the top row and the left column, the highlight one pixel further in.
  EXPECT_EQ(At(*bmp, 100, line), shadow);
  EXPECT_EQ(At(*bmp, 100, line + 1), light);
  EXPECT_EQ(At(*bmp, 0, 60), shadow);
  EXPECT_EQ(At(*bmp, 1, 60), light);
  EXPECT_EQ(At(*bmp, 179, 60), shadow);
  EXPECT_EQ(At(*bmp, 100, 119), shadow);
  // The caption at x = 8 hides the line under it, on the control's colour.
  bool inkOnLine = false, lineVisible = false;
  for (int x = 8; x < 8 + text.cx; ++x) {
    COLORREF p = At(*bmp, x, line);
    if (p == shadow) lineVisible = true;
    if (p == (ColorToRGB(clRed) & 0xFFFFFF) || p == (ColorToRGB(clBtnFace) & 0xFFFFFF)) inkOnLine = true;
  }
  EXPECT_FALSE(lineVisible);
  EXPECT_TRUE(inkOnLine);
  EXPECT_EQ(At(*bmp, 8 + text.cx + 2, line), shadow);
  // Disabled: the text in the shadow colour over its highlight copy one pixel down and right.
  group->SetEnabled(false);
  bmp = picture();
  int shadowInk = 0, lightInk = 0, red = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 8; x < 8 + text.cx + 1; ++x) {
      COLORREF p = At(*bmp, x, y);
      shadowInk += y != line && p == shadow;
      lightInk += y != line + 1 && p == light;
      red += p == (ColorToRGB(clRed) & 0xFFFFFF);
    }
  EXPECT_GT(shadowInk, 4);
  EXPECT_GT(lightInk, 4);
  EXPECT_EQ(red, 0);
  ThemeServices()->SetThemesEnabled(true);
}

TEST_F(GroupBoxTest, TheOptionsDialogsCaptionsKeepTheirBlanksAndTheAcceleratorFires) {
  EXPECT_EQ(group->Caption(), " Layout ");
  int hot = 0;
  group->OnHotKey = [&](TObject*) { ++hot; };
  group->SetCaption("&Gap");
  a->SetTabStop(true);
  form->Perform(CM_DIALOGCHAR, 'G', AltMask);
  EXPECT_EQ(hot, 1);
  form->Perform(CM_DIALOGCHAR, 'X', AltMask);
  EXPECT_EQ(hot, 1);
}

}  // namespace
