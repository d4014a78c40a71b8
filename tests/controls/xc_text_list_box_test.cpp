#include "controls/xc_text_list_box.h"

#include <gtest/gtest.h>

#include "platform/ui/message_queue.h"
#include "platform/ui/scroll_bars.h"
#include "tests/support/ui_fixture.h"

namespace {

using TextListTest = testsupport::FormTest;

class TextListBoxTest : public TextListTest {
 protected:
  void SetUp() override {
    TextListTest::SetUp();
    list = new TXcTextListBox(form);
    list->SetParent(form);
    list->SetBounds(10, 10, 80, 100);
    list->Font()->SetName("DejaVu Sans");
    list->Font()->SetHeight(-12);
    list->HandleNeeded();
  }
  int32_t Width(const std::string& s) {
    list->Canvas()->Font()->Assign(*list->Font());
    return list->Canvas()->TextWidth(s);
  }
  TXcTextListBox* list = nullptr;
};

TEST_F(TextListBoxTest, TheScrollRangeFollowsTheWidestItem) {
  list->Items()->Add("short");
  list->Items()->Add("a much longer line of text");
  list->Items()->Insert(0, "middle sized");
  const int32_t widest = Width("a much longer line of textx");
  EXPECT_EQ(list->WidestItemWidth(), widest);
  EXPECT_EQ(list->ScrollWidth(), widest);
  // Deleting a narrower one keeps it; deleting the widest measures again.
  list->Items()->Delete(1);  // "short"
  EXPECT_EQ(list->WidestItemWidth(), widest);
  list->Items()->Delete(1);
  EXPECT_EQ(list->WidestItemWidth(), Width("middle sizedx"));
  EXPECT_EQ(list->ScrollWidth(), Width("middle sizedx"));
  list->Perform(LB_DELETESTRING, 7, 0);  // no such item: nothing changes
  EXPECT_EQ(list->WidestItemWidth(), Width("middle sizedx"));
  // Clearing: no range, and back at the left.
  list->Items()->Add("a much longer line of text");
  SendMessage(list->Handle(), WM_HSCROLL, SB_RIGHT, 0);
  list->Items()->Clear();
  EXPECT_EQ(list->WidestItemWidth(), 0);
  EXPECT_EQ(list->ScrollWidth(), 0);
  EXPECT_EQ(GetScrollPos(list->Handle(), SB_HORZ), 0);
}

TEST_F(TextListBoxTest, AFontChangeMeasuresEveryItemAgain) {
  list->Items()->Add("measured");
  const int32_t before = list->WidestItemWidth();
  list->Font()->SetHeight(-24);
  EXPECT_GT(list->WidestItemWidth(), before);
  EXPECT_EQ(list->WidestItemWidth(), Width("measuredx"));
}

TEST_F(TextListBoxTest, TabsStandAtTheTabWidthInQuartersOfAZero) {
  EXPECT_EQ(TabStopPixels(7, 8), 14);
  EXPECT_EQ(TabStopPixels(5, 2), 2);  // 2.5: to the even neighbour
  EXPECT_EQ(TabStopPixels(7, 2), 4);  // 3.5
  EXPECT_EQ(TabStopPixels(7, 0), 0);
  list->SetTabWidth(8);
  list->Items()->Add("a\tb");
  const int32_t stop = TabStopPixels(Width("0"), 8);
  const int32_t expected = ((Width("a") / stop) + 1) * stop + Width("bx");
  EXPECT_EQ(list->WidestItemWidth(), expected);
  list->SetTabWidth(0);
  EXPECT_EQ(list->ItemTextWidth(0), Width("a\tbx"));
}

// A list whose window refuses every new item, as a full list does.
class TFullList : public TXcTextListBox {
 public:
  using TXcTextListBox::TXcTextListBox;

 protected:
  void DefaultHandler(TMessage& m) override {
    if (m.Msg == LB_ADDSTRING || m.Msg == LB_INSERTSTRING) {
      m.Result = -2;  // LB_ERRSPACE
      return;
    }
    TXcTextListBox::DefaultHandler(m);
  }
};

TEST_F(TextListTest, AFailedInsertionMeasuresNothing) {
  auto* full = new TFullList(form);
  full->SetParent(form);
  full->HandleNeeded();
  EXPECT_EQ(full->Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("refused")), -2);
  EXPECT_EQ(full->Perform(LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("refused")), -2);
  EXPECT_EQ(full->WidestItemWidth(), 0);
}

}  // namespace
