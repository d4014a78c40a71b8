#include "platform/ui/std_ctrls.h"

#include <gtest/gtest.h>

#include "platform/ui/scroll_bars.h"
#include "platform/ui/system_metrics.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using StdCtrlsTest = testsupport::FormTest;

TEST_F(StdCtrlsTest, CheckBoxClicksCycleTheStatesAndEveryChangeFiresOnClick) {
  auto* box = new TCheckBox(form);
  box->SetParent(form);
  box->SetCaption("&Loop");
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };

  testsupport::MouseClick(box, 5, 5);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(box->Perform(BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
  EXPECT_EQ(clicks, 1);
  // Set by the program: the framework fires OnClick too.
  box->SetChecked(false);
  EXPECT_EQ(clicks, 2);
  box->SetChecked(false);
  EXPECT_EQ(clicks, 2);

  box->SetAllowGrayed(true);
  const TCheckBoxState cycle[] = {cbGrayed, cbChecked, cbUnchecked, cbGrayed};
  for (TCheckBoxState want : cycle) {
    testsupport::KeyPress(box, VK_SPACE, " ");
    EXPECT_EQ(box->State(), want);
  }
  // Its accelerator toggles it from anywhere on the form.
  box->SetAllowGrayed(false);
  box->SetState(cbUnchecked);
  form->Perform(CM_DIALOGCHAR, 'L', AltMask);
  EXPECT_TRUE(box->Checked());
}

TEST_F(StdCtrlsTest, RadioButtonsOfOneParentExcludeEachOther) {
  auto* a = new TRadioButton(form);
  auto* b = new TRadioButton(form);
  auto* other = new TRadioButton(form);
  auto* group = new TGroupBox(form);
  group->SetParent(form);
  a->SetParent(form);
  b->SetParent(form);
  b->SetTop(30);
  other->SetParent(group);
  other->SetChecked(true);
  int clicksA = 0;
  a->OnClick = [&](TObject*) { ++clicksA; };

  a->SetChecked(true);
  testsupport::MouseClick(b, 3, 3);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(other->Checked());  // another parent, another group
  EXPECT_EQ(clicksA, 1);         // only when it became checked
  EXPECT_TRUE(b->TabStop());
  EXPECT_FALSE(a->TabStop());
}

TEST_F(StdCtrlsTest, GroupBoxAlignsChildrenInsideItsFrameBelowTheCaption) {
  auto* group = new TGroupBox(form);
  group->SetParent(form);
  group->SetCaption("Output");
  group->SetBounds(0, 0, 200, 100);
  auto* child = new TButton(form);
  child->SetParent(group);
  child->SetAlign(alClient);
  EXPECT_GT(child->Top(), 10);
  EXPECT_EQ(child->Left(), 2);
  EXPECT_EQ(child->Width(), 196);
  EXPECT_EQ(child->Top() + child->Height(), 98);
}

TEST_F(StdCtrlsTest, ScrollBarControlMovesByItsStepsAndOnScrollMayRedirect) {
  auto* bar = new TScrollBar(form);
  bar->SetParent(form);
  bar->SetParams(10, 0, 50);
  bar->SetSmallChange(2);
  bar->SetLargeChange(10);
  int changes = 0;
  std::vector<TScrollCode> codes;
  bar->OnChange = [&](TObject*) { ++changes; };
  bar->OnScroll = [&](TObject*, TScrollCode code, int& pos) {
    codes.push_back(code);
    if (code == scPageDown) pos = 45;  // the handler decides where a page goes
  };
  testsupport::ScrollBarAction(bar, SB_CTL, SB_LINEDOWN);
  EXPECT_EQ(bar->Position(), 12);
  testsupport::ScrollBarAction(bar, SB_CTL, SB_PAGEDOWN);
  EXPECT_EQ(bar->Position(), 45);
  testsupport::ScrollBarAction(bar, SB_CTL, SB_BOTTOM);
  EXPECT_EQ(bar->Position(), 50);
  testsupport::ScrollBarAction(bar, SB_CTL, SB_THUMBPOSITION, 20);
  EXPECT_EQ(bar->Position(), 20);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(codes.front(), scLineDown);
  EXPECT_EQ(codes.back(), scEndScroll);
  EXPECT_THROW(bar->SetParams(0, 10, 5), EInvalidOperation);
  EXPECT_EQ(bar->Position(), 20);
}

// A window that records its scroll messages and moves its bar only for line steps.
class TScrolled : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::pair<int, int>> vscroll;
  int sizes = 0;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_VSCROLL) {
      vscroll.emplace_back(LOWORD(m.WParam), HIWORD(m.WParam));
      if (LOWORD(m.WParam) == SB_LINEDOWN) SetScrollPos(Handle(), SB_VERT, GetScrollPos(Handle(), SB_VERT) + 1, true);
      return;
    }
    if (m.Msg == WM_SIZE) ++sizes;
    TCustomControl::Dispatch(m);
  }
};

TEST_F(StdCtrlsTest, WindowScrollBarsTakeClientRoomAndReportActionsWithoutMovingThemselves) {
  auto* view = new TScrolled(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 200, 150);
  HWND h = view->Handle();
  EXPECT_EQ(view->ClientWidth(), 200);
  int sizesBefore = view->sizes;

  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 65535;
  si.nPage = 30000;
  si.nPos = 70000;  // beyond the end: kept at the last page
  SetScrollInfo(h, SB_VERT, &si, true);
  EXPECT_TRUE(IsScrollBarShown(h, SB_VERT));
  EXPECT_EQ(view->ClientWidth(), 200 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(view->sizes, sizesBefore + 1);  // the client area shrank
  SCROLLINFO got;
  got.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, &got));
  EXPECT_EQ(got.nPos, 65535 - 29999);
  EXPECT_EQ(got.nPage, 30000u);

  SetScrollPos(h, SB_VERT, 100, true);
  testsupport::ScrollBarAction(view, SB_VERT, SB_PAGEDOWN);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 100);  // the window did not move it
  testsupport::ScrollBarAction(view, SB_VERT, SB_LINEDOWN);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 101);
  testsupport::ScrollBarAction(view, SB_VERT, SB_THUMBTRACK, 5000);
  testsupport::ScrollBarAction(view, SB_VERT, SB_THUMBPOSITION, 6000);
  std::vector<std::pair<int, int>> want = {
      {SB_PAGEDOWN, 0}, {SB_LINEDOWN, 0}, {SB_THUMBTRACK, 5000}, {SB_THUMBTRACK, 6000},
      {SB_THUMBPOSITION, 6000}, {SB_ENDSCROLL, 0}};
  EXPECT_EQ(view->vscroll, want);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 101);

  // A range that fits in one page removes the bar, or disables it when asked to keep it.
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
  si.nMax = 10;
  si.nPage = 20;
  SetScrollInfo(h, SB_VERT, &si, true);
  EXPECT_TRUE(IsScrollBarShown(h, SB_VERT));
  si.fMask = SIF_RANGE | SIF_PAGE;
  SetScrollInfo(h, SB_VERT, &si, true);
  EXPECT_FALSE(IsScrollBarShown(h, SB_VERT));
  EXPECT_EQ(view->ClientWidth(), 200);
  EXPECT_FALSE(GetScrollInfo(nullptr, SB_VERT, &got));
}

}  // namespace
