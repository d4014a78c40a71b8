#include "platform/ui/list_ctrls.h"

#include <gtest/gtest.h>

#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using ListTest = testsupport::FormTest;

// A list box that keeps its widest item, as a list with a horizontal extent measures its lines.
class TMeasuredList : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
  size_t widest = 0;
  std::vector<std::string> log;

  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case LB_ADDSTRING:
      case LB_INSERTSTRING:
        TCustomListBox::WndProc(m);
        widest = std::max(widest, std::string(reinterpret_cast<const char*>(m.LParam)).size());
        SetScrollWidth(static_cast<int>(widest) * 7);
        log.push_back("add " + std::to_string(m.Result));
        return;
      case LB_DELETESTRING: log.push_back("delete " + std::to_string(m.WParam)); break;
      case LB_RESETCONTENT:
        widest = 0;
        SetScrollWidth(0);
        log.push_back("reset");
        break;
      default: break;
    }
    TCustomListBox::WndProc(m);
  }
};

TEST_F(ListTest, ItemsGoThroughTheListMessagesWithOrWithoutAWindow) {
  auto* list = new TMeasuredList(form);
  list->Items()->Add("short");  // no window yet: the items wait in the control
  EXPECT_FALSE(list->HandleAllocated());
  list->SetParent(form);
  list->Items()->Add("a much longer line");
  list->Items()->Insert(0, "first");
  EXPECT_EQ(list->Items()->ToVector(), (std::vector<std::string>{"first", "short", "a much longer line"}));
  EXPECT_EQ(list->ScrollWidth(), 18 * 7);
  list->Items()->Delete(1);
  list->Clear();
  EXPECT_EQ(list->log, (std::vector<std::string>{"add 0", "add 1", "add 0", "delete 1", "reset"}));
  EXPECT_EQ(list->ScrollWidth(), 0);
  EXPECT_THROW(list->Items()->Get(0), EStringListError);

  // Objects ride along as item data.
  TObject tag;
  list->AddItem("x", &tag);
  EXPECT_EQ(list->Items()->Objects(0), &tag);
  EXPECT_EQ(list->Items()->IndexOf("X"), 0);
}

TEST_F(ListTest, SortedListsAndSingleSelection) {
  auto* list = new TListBox(form);
  list->SetParent(form);
  list->SetSorted(true);
  for (const char* s : {"pear", "apple", "Banana"}) list->Items()->Add(s);
  EXPECT_EQ(list->Items()->ToVector(), (std::vector<std::string>{"apple", "Banana", "pear"}));
  EXPECT_EQ(list->ItemIndex(), -1);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->SetItemIndex(2);
  EXPECT_EQ(clicks, 0);  // only the user's choices are clicks
  EXPECT_TRUE(list->Selected(2));
  EXPECT_EQ(list->SelCount(), 1);

  // A click on the first item selects it.
  TRect r = list->ItemRect(0);
  testsupport::MouseClick(list, r.Left + 2, r.Top + 2);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(list->ItemAtPos(Point(r.Left + 2, r.Top + 2), true), 0);
  EXPECT_EQ(list->ItemAtPos(Point(2, list->ClientHeight() - 2), true), -1);
  EXPECT_EQ(list->ItemAtPos(Point(2, list->ClientHeight() - 2), false), 3);
}

TEST_F(ListTest, MultiSelectionSelectsAndDeletesSeveral) {
  auto* list = new TListBox(form);
  list->SetParent(form);
  list->SetMultiSelect(true);
  for (const char* s : {"a", "b", "c", "d"}) list->Items()->Add(s);
  list->SetSelected(1, true);
  list->SetSelected(3, true);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_EQ(list->ItemIndex(), 3);
  list->DeleteSelected();
  EXPECT_EQ(list->Items()->ToVector(), (std::vector<std::string>{"a", "c"}));
  list->SelectAll();
  EXPECT_EQ(list->SelCount(), 2);
  list->ClearSelection();
  EXPECT_EQ(list->SelCount(), 0);
  EXPECT_THROW(list->SetSelected(5, true), EStringListError);
}

TEST_F(ListTest, ComboBoxChoicesTypingAndTheDropDownList) {
  auto* combo = new TComboBox(form);
  combo->SetParent(form);
  combo->Items()->AddStrings(std::vector<std::string>{"Resize", "Crop", "Rotate"});
  std::vector<std::string> log;
  combo->OnChange = [&](TObject*) { log.push_back("change " + combo->Text()); };
  combo->OnClick = [&](TObject*) { log.push_back("click"); };

  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "Crop");
  EXPECT_TRUE(log.empty());  // set by the program: no events

  combo->SetFocus();
  combo->SelectAll();
  testsupport::KeyPress(combo, 'Z', "z");
  EXPECT_EQ(combo->Text(), "z");
  EXPECT_EQ(log, (std::vector<std::string>{"change z"}));

  // A choice made in the list: the text follows, then OnClick and OnChange (no OnSelect assigned).
  log.clear();
  combo->Perform(CB_SETCURSEL, 2, 0);
  combo->Perform(CN_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"click", "change Rotate"}));

  combo->SetStyle(csDropDownList);
  EXPECT_EQ(combo->ItemIndex(), 2);
  combo->SetText("resize");
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(combo->Text(), "Resize");
  combo->SetText("nothing like it");
  EXPECT_EQ(combo->Text(), "Resize");
  combo->Items()->Delete(0);
  EXPECT_EQ(combo->ItemIndex(), -1);
}

}  // namespace
