#include "platform/ui/comctrls.h"

#include <gtest/gtest.h>

#include "platform/ui/edit_ctrls.h"
#include "platform/ui/std_ctrls.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using ComCtrlsTest = testsupport::FormTest;

TTabSheet* NewSheet(TForm* form, TPageControl* pc, const std::string& caption) {
  auto* sheet = new TTabSheet(form);
  sheet->SetPageControl(pc);
  sheet->SetCaption(caption);
  return sheet;
}

TEST_F(ComCtrlsTest, PageControlShowsOnlyTheActivePageInItsDisplayArea) {
  auto* pc = new TPageControl(form);
  pc->SetParent(form);
  pc->SetBounds(0, 0, 280, 180);
  TTabSheet* editor = NewSheet(form, pc, "Image Editor");
  TTabSheet* gif = NewSheet(form, pc, "GIF animator");
  TTabSheet* hidden = NewSheet(form, pc, "Hidden");
  hidden->SetTabVisible(false);
  EXPECT_EQ(pc->ActivePage(), editor);
  EXPECT_TRUE(editor->Visible());
  EXPECT_FALSE(gif->Visible());
  EXPECT_EQ(editor->BoundsRect(), pc->DisplayRect());
  EXPECT_GT(pc->DisplayRect().Top, 15);  // below the tabs
  EXPECT_EQ(hidden->TabIndex(), -1);
  EXPECT_EQ(gif->TabIndex(), 1);

  std::vector<std::string> log;
  bool allow = false;
  pc->OnChanging = [&](TObject*, bool& a) {
    log.push_back("changing");
    a = allow;
  };
  pc->OnChange = [&](TObject*) { log.push_back("change"); };
  pc->TabChosen(1);  // the user's click on the second tab, refused
  EXPECT_EQ(pc->ActivePage(), editor);
  allow = true;
  pc->TabChosen(1);
  EXPECT_EQ(pc->ActivePage(), gif);
  EXPECT_TRUE(gif->Visible());
  EXPECT_FALSE(editor->Visible());
  EXPECT_EQ(log, (std::vector<std::string>{"changing", "changing", "change"}));

  // Set in code: no events. Freeing the active page moves on to the next with a tab.
  log.clear();
  pc->SetActivePage(editor);
  EXPECT_TRUE(log.empty());
  delete editor;
  EXPECT_EQ(pc->ActivePage(), gif);
  EXPECT_EQ(pc->PageCount(), 2);
  // A child of a page aligns inside it.
  auto* button = new TButton(form);
  button->SetParent(gif);
  button->SetAlign(alClient);
  EXPECT_EQ(button->Width(), gif->ClientWidth());
}

TEST_F(ComCtrlsTest, TrackBarPositionsFromCodeAndFromTheUser) {
  auto* bar = new TTrackBar(form);
  bar->SetParent(form);
  bar->SetParams(100, 25, 400);
  bar->SetLineSize(25);
  int changes = 0;
  bar->OnChange = [&](TObject*) { ++changes; };
  bar->SetPosition(500);
  EXPECT_EQ(bar->Position(), 400);
  EXPECT_EQ(changes, 1);
  bar->SetFocus();
  testsupport::KeyPress(bar, VK_LEFT);
  EXPECT_EQ(bar->Position(), 375);
  EXPECT_EQ(changes, 2);
  bar->SetMin(390);
  EXPECT_EQ(bar->Position(), 390);
}

TEST_F(ComCtrlsTest, ProgressBarStaysInItsRangeAndStepsRound) {
  auto* bar = new TProgressBar(form);
  bar->SetParent(form);
  bar->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);
  bar->SetStep(30);
  bar->StepIt();
  EXPECT_EQ(bar->Position(), 30);
  bar->StepBy(-50);
  EXPECT_EQ(bar->Position(), 0);
}

TEST_F(ComCtrlsTest, StatusBarPanelsSitSideBySide) {
  auto* bar = new TStatusBar(form);
  bar->SetParent(form);
  EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight());
  bar->Panels()->Add()->SetWidth(80);
  bar->Panels()->Add()->SetText("ready");
  EXPECT_EQ(bar->PanelRect(0).Right, 80);
  EXPECT_EQ(bar->PanelRect(1).Left, 80);
  EXPECT_EQ(bar->PanelRect(1).Right, bar->ClientWidth());
}

TEST_F(ComCtrlsTest, UpDownStepsItsPositionIntoTheAssociate) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 100, 21);
  auto* ud = new TUpDown(form);
  ud->SetParent(form);
  ud->SetMax(2000);
  ud->SetIncrement(500);
  ud->SetAssociate(edit);
  EXPECT_EQ(edit->Width(), 100 - ud->Width());
  EXPECT_EQ(ud->Left(), edit->Left() + edit->Width());
  EXPECT_EQ(edit->Text(), "0");
  std::vector<TUDBtnType> clicks;
  ud->OnClick = [&](TObject*, TUDBtnType b) { clicks.push_back(b); };
  testsupport::MouseClick(ud, 5, 2);  // the upper half: next
  testsupport::MouseClick(ud, 5, 2);
  testsupport::MouseClick(ud, 5, 2);
  EXPECT_EQ(edit->Text(), "1,500");
  testsupport::MouseClick(ud, 5, ud->Height() - 3);
  EXPECT_EQ(ud->Position(), 1000);
  EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btNext, btNext, btPrev}));
  ud->SetWrap(true);
  ud->SetPosition(2000);
  ud->ButtonClick(btNext);
  EXPECT_EQ(ud->Position(), 0);
  delete edit;
  EXPECT_EQ(ud->Associate(), nullptr);
}

}  // namespace
