// Selecting in the thumbnail view from synthesised mouse and key input: single and multiple
// selection, Shift ranges (by index and by grid region), Ctrl toggling, drags, the events of user
// actions only, moving the selection with the keys, and playback on its one-shot timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/views/zodazur_mview.h"
#include "platform/ui/forms.h"
#include "tests/imaging/views/mview_fixtures.h"
#include "tests/support/ui_input.h"

namespace {

using mviewtest::MViewTest;

// Client point inside cell i of a grid of Columns columns.
TPoint CellPoint(int i, int Columns) { return Point(4 + (i % Columns) * 104 + 50, 4 + (i / Columns) * 104 + 50); }

std::vector<int> Selection(TZodazUrMView* v) {
  std::vector<int> s;
  for (int i = 0; i < v->MultiSelectedImagesCount(); ++i) s.push_back(v->GetMultiSelectedImage(i));
  std::sort(s.begin(), s.end());
  return s;
}

class MViewSelectTest : public MViewTest {
 protected:
  TZodazUrMView* Grid(int Count, int Columns, bool Multi) {
    TZodazUrMView* v = MakeView(4 + Columns * 104 + 2, 450);
    v->SetGridWidth(Columns);
    v->SetEnableMultiSelect(Multi);
    Fill(v, Count);
    v->Deselect();
    return v;
  }
};

TEST_F(MViewSelectTest, ClicksSelectAndTheGapKeepsTheSelection) {
  TZodazUrMView* v = Grid(8, 4, false);
  std::vector<int> selected, deselected;
  v->OnImageSelect = [&](TObject*, int32_t i) { selected.push_back(i); };
  v->OnImageDeselect = [&](TObject*, int32_t i) { deselected.push_back(i); };
  const TPoint p = CellPoint(2, 4);
  testsupport::MouseClick(v, p.X, p.Y);
  EXPECT_EQ(v->SelectedImage(), 2);
  EXPECT_EQ(selected, (std::vector<int>{2}));
  testsupport::MouseClick(v, 2, 2);  // the gap
  EXPECT_EQ(v->SelectedImage(), 2);
  const TPoint q = CellPoint(5, 4);
  testsupport::MouseClick(v, q.X, q.Y);
  EXPECT_EQ(v->SelectedImage(), 5);
  // Without multi-selection a new selection replaces the old one silently.
  EXPECT_TRUE(deselected.empty());
  // Programmatic selections raise no events.
  selected.clear();
  v->SelectImage(1);
  EXPECT_TRUE(selected.empty());
  // Without mmiSelect clicks select nothing.
  v->SetMouseInteract(0);
  testsupport::MouseClick(v, p.X, p.Y);
  EXPECT_EQ(v->SelectedImage(), 1);
}

TEST_F(MViewSelectTest, ShiftAndCtrlWithMultiSelection) {
  TZodazUrMView* v = Grid(12, 4, true);
  testsupport::MouseClick(v, CellPoint(2, 4).X, CellPoint(2, 4).Y);
  testsupport::ShiftClick(v, CellPoint(5, 4).X, CellPoint(5, 4).Y);
  EXPECT_EQ(Selection(v), (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(v->SelectedImage(), 5);
  testsupport::CtrlClick(v, CellPoint(3, 4).X, CellPoint(3, 4).Y);
  EXPECT_EQ(Selection(v), (std::vector<int>{2, 4, 5}));
  EXPECT_EQ(v->SelectedImage(), -1);
  // A plain click on one of several leaves only it selected.
  testsupport::MouseClick(v, CellPoint(4, 4).X, CellPoint(4, 4).Y);
  EXPECT_EQ(Selection(v), (std::vector<int>{4}));
}

TEST_F(MViewSelectTest, RegionRangesAndTheLastSelectedImage) {
  TZodazUrMView* v = Grid(12, 4, true);
  v->SetMultiSelectionOptions(iemoRegion);
  testsupport::MouseClick(v, CellPoint(1, 4).X, CellPoint(1, 4).Y);
  testsupport::ShiftClick(v, CellPoint(10, 4).X, CellPoint(10, 4).Y);
  EXPECT_EQ(Selection(v), (std::vector<int>{1, 2, 5, 6, 9, 10}));
  // The last selected image stays with iemoLeaveOneSelected.
  TZodazUrMView* w = Grid(4, 4, true);
  w->SetMultiSelectionOptions(iemoLeaveOneSelected);
  testsupport::MouseClick(w, CellPoint(1, 4).X, CellPoint(1, 4).Y);
  testsupport::CtrlClick(w, CellPoint(1, 4).X, CellPoint(1, 4).Y);
  EXPECT_EQ(Selection(w), (std::vector<int>{1}));
}

TEST_F(MViewSelectTest, WithoutMultiSelectionModifiersSelectOneImage) {
  TZodazUrMView* v = Grid(8, 4, false);
  testsupport::MouseClick(v, CellPoint(1, 4).X, CellPoint(1, 4).Y);
  testsupport::ShiftClick(v, CellPoint(6, 4).X, CellPoint(6, 4).Y);
  EXPECT_EQ(v->SelectedImage(), 6);
  EXPECT_EQ(v->MultiSelectedImagesCount(), 0);
  testsupport::CtrlClick(v, CellPoint(3, 4).X, CellPoint(3, 4).Y);
  EXPECT_EQ(v->SelectedImage(), 3);
}

TEST_F(MViewSelectTest, DraggingSelectsTheRun) {
  TZodazUrMView* v = Grid(8, 4, true);
  testsupport::MouseDown(v, CellPoint(1, 4).X, CellPoint(1, 4).Y);
  testsupport::MouseMove(v, CellPoint(2, 4).X, CellPoint(2, 4).Y);
  testsupport::MouseMove(v, CellPoint(3, 4).X, CellPoint(3, 4).Y);
  testsupport::MouseUp(v, CellPoint(3, 4).X, CellPoint(3, 4).Y);
  EXPECT_EQ(Selection(v), (std::vector<int>{1, 2, 3}));
}

TEST_F(MViewSelectTest, KeysMoveTheSelectionAndScrollIt) {
  TZodazUrMView* v = MakeView(200, 250);
  v->SetGridWidth(1);
  Fill(v, 10);
  v->SelectImage(0);
  v->SetFocus();
  testsupport::KeyPress(v, VK_DOWN);
  EXPECT_EQ(v->SelectedImage(), 1);
  EXPECT_EQ(v->ViewY(), 0);
  testsupport::KeyPress(v, VK_DOWN);
  testsupport::KeyPress(v, VK_DOWN);  // image 3 ends below the client area: scrolled up to show it
  EXPECT_EQ(v->SelectedImage(), 3);
  EXPECT_EQ(v->ViewY(), 4 + 3 * 104 + 104 - 250);
  testsupport::KeyPress(v, VK_END);
  EXPECT_EQ(v->SelectedImage(), 9);
  testsupport::KeyPress(v, VK_HOME);
  EXPECT_EQ(v->SelectedImage(), 0);
  EXPECT_EQ(v->ViewY(), 0);
  testsupport::KeyPress(v, VK_NEXT);  // a page: (250 - 4) div 104 = 2 rows
  EXPECT_EQ(v->SelectedImage(), 2);
  // GridWidth 0: a page holds no images.
  TZodazUrMView* row = MakeView(300, 150);
  Fill(row, 5);
  row->SelectImage(1);
  row->MoveSelection(6);
  EXPECT_EQ(row->SelectedImage(), 1);
  row->MoveSelection(1);
  EXPECT_EQ(row->SelectedImage(), 2);
  // The keys 33..40 are the view's own.
  EXPECT_EQ(row->Perform(CM_WANTSPECIALKEY, VK_LEFT, 0), 1);
  EXPECT_EQ(row->Perform(CM_WANTSPECIALKEY, VK_RETURN, 0), 0);
}

TEST_F(MViewSelectTest, PlaybackTimersFollowTheDelays) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SetGridWidth(-1);
  Fill(v, 3);
  v->SetImageDelayTime(0, 0);
  v->SetImageDelayTime(1, 50);
  v->SetImageDelayTime(2, 200);
  v->SelectImage(1);
  std::vector<int> frames;
  v->OnPlayFrame = [&](TObject*, int32_t f) { frames.push_back(f); };
  v->SetPlaying(true);
  EXPECT_EQ(v->DisplayMode(), mdSingle);
  EXPECT_EQ(v->PlayTimerInterval(), 10u);  // delay 0 counts as 10 ms
  v->Perform(WM_TIMER, 1, 0);
  EXPECT_EQ(v->PlayTimerInterval(), 50u);
  v->Perform(WM_TIMER, 1, 0);
  EXPECT_EQ(v->PlayTimerInterval(), 200u);
  v->Perform(WM_TIMER, 1, 0);  // back to the first image
  EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 0}));
  v->SetPlaying(false);
  EXPECT_EQ(v->PlayTimerInterval(), 0u);
  EXPECT_EQ(v->DisplayMode(), mdGrid);
  EXPECT_EQ(v->SelectedImage(), 1);
  // On a real timer.
  frames.clear();
  v->SetPlaying(true);
  ASSERT_TRUE(testsupport::WaitFor([&] { return frames.size() >= 4; }, 3000));
  v->SetPlaying(false);
  // An empty view plays nothing; filled and started again it plays.
  TZodazUrMView* e = MakeView(200, 200);
  e->SetPlaying(true);
  e->SetPlaying(false);
  Fill(e, 2);
  e->SetPlaying(true);
  EXPECT_EQ(e->PlayTimerInterval(), 10u);
  e->SetPlaying(false);
}

}  // namespace
