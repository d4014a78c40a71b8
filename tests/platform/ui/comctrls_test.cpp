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

// An up-down that records its reflected scroll notifications.
class TRecordingUpDown : public TUpDown {
 public:
  using TUpDown::TUpDown;
  std::vector<std::pair<UINT, int>> scrolls;

 protected:
  void CNScroll(TMessage& m) override {
    if (LOWORD(m.WParam) == SB_THUMBPOSITION) scrolls.emplace_back(m.Msg, static_cast<int16_t>(HIWORD(m.WParam)));
    TUpDown::CNScroll(m);
  }
};

TEST_F(ComCtrlsTest, UpDownTellsItselfOfEachStepAndClicksOncePerPress) {
  auto* ud = new TRecordingUpDown(form);
  ud->SetParent(form);
  ud->SetBounds(10, 10, 17, 24);
  ud->SetMin(-1);
  ud->SetMax(1);
  int clicks = 0;
  ud->OnClick = [&](TObject*, TUDBtnType) { ++clicks; };
  testsupport::MouseClick(ud, 5, 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ud->scrolls, (std::vector<std::pair<UINT, int>>{{CN_VSCROLL, 1}}));
  // At the end of the range the step still notifies, with the position it kept.
  testsupport::MouseClick(ud, 5, 2);
  testsupport::MouseClick(ud, 5, 21);
  testsupport::MouseClick(ud, 5, 21);
  EXPECT_EQ(clicks, 4);
  EXPECT_EQ(ud->scrolls.back(), (std::pair<UINT, int>{CN_VSCROLL, -1}));
  ud->SetOrientation(udHorizontal);
  ud->ButtonClick(btNext);
  EXPECT_EQ(ud->scrolls.back(), (std::pair<UINT, int>{CN_HSCROLL, 0}));

  // The position and range messages.
  EXPECT_EQ(ud->Perform(UDM_SETPOS, 0, MAKELPARAM(1, 0)), 0);
  EXPECT_EQ(ud->Position(), 1);
  EXPECT_EQ(ud->Perform(UDM_GETPOS, 0, 0), 1);
  ud->Perform(UDM_SETRANGE, 0, MAKELPARAM(100, -5));
  EXPECT_EQ(ud->Min(), -5);
  EXPECT_EQ(ud->Max(), 100);
  ud->Perform(UDM_SETPOS, 0, MAKELPARAM(-9, 0));
  EXPECT_EQ(ud->Position(), -5);
  // A notification sent from elsewhere clicks by its direction and moves the position.
  std::vector<TUDBtnType> buttons;
  ud->OnClick = [&](TObject*, TUDBtnType b) { buttons.push_back(b); };
  ud->Perform(CN_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 7), 0);
  ud->Perform(CN_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 3), 0);
  ud->Perform(CN_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
  EXPECT_EQ(buttons, (std::vector<TUDBtnType>{btNext, btPrev}));
  EXPECT_EQ(ud->Position(), 3);
}

}  // namespace
