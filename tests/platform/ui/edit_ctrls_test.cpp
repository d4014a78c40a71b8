#include "platform/ui/edit_ctrls.h"

#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>

#include "platform/ui/std_ctrls.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using EditTest = testsupport::FormTest;

// An edit that refuses one clipboard command, as the masked-edit bases filter them.
class TFilteredEdit : public TCustomMaskEdit {
 public:
  using TCustomMaskEdit::TCustomMaskEdit;
  UINT refused = 0;
  std::vector<UINT> seen;

  void WndProc(TMessage& m) override {
    if (m.Msg >= WM_CUT && m.Msg <= WM_UNDO) seen.push_back(m.Msg);
    if (m.Msg == refused) {
      m.Result = 1;
      return;
    }
    TCustomMaskEdit::WndProc(m);
  }
};

TEST_F(EditTest, TypingChangesTextFiresOnChangeAndSetsModified) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("ab");
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(edit->Modified());

  edit->SetSelStart(1);
  testsupport::KeyPress(edit, 'X', "x");
  EXPECT_EQ(edit->Text(), "axb");
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 2);

  // OnKeyPress may change or swallow what is typed.
  edit->OnKeyPress = [](TObject*, char& key) {
    if (key == 'q') key = 0;
    if (key == 'w') key = 'W';
  };
  testsupport::KeyPress(edit, 'Q', "q");
  testsupport::KeyPress(edit, 'W', "w");
  EXPECT_EQ(edit->Text(), "axWb");

  // Setting the text clears the modified flag, as the platform's edit does.
  edit->SetText("new");
  EXPECT_FALSE(edit->Modified());
}

// An edit that loses its window inside its own key handler: the widget lives on until the event
// loop frees it, and what was posted to it meanwhile reaches the plain widget, not the window's
// record (which is gone).
TEST_F(EditTest, AWindowDestroyedInsideItsOwnEventIgnoresWhatWasPostedToIt) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  int downs = 0;
  edit->OnKeyDown = [edit, &downs](TObject*, uint16_t&, TShiftState) {
    if (downs++) return;
    QCoreApplication::postEvent(static_cast<QObject*>(edit->NativeWidget()), new QEvent(QEvent::User));
    edit->SetParent(nullptr);
  };
  testsupport::KeyPress(edit, 'A', "a");
  EXPECT_EQ(downs, 1);
  Application->ProcessMessages();
  delete edit;
}

TEST_F(EditTest, AKeyTheKeyDownHandlerReplacesReachesTheEditorAsTheNewKey) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetText("12.50");
  // Delete before the point becomes Right, Backspace after it becomes Left.
  edit->OnKeyDown = [edit](TObject*, uint16_t& key, TShiftState) {
    const std::string t = edit->Text();
    const size_t caret = static_cast<size_t>(edit->SelStart());
    if (key == VK_DELETE && caret < t.size() && t[caret] == '.') key = VK_RIGHT;
    if (key == VK_BACK && caret > 0 && t[caret - 1] == '.') key = VK_LEFT;
  };
  edit->SetSelStart(2);
  testsupport::KeyPress(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), "12.50");
  EXPECT_EQ(edit->SelStart(), 3);
  testsupport::KeyPress(edit, VK_BACK, "\b");
  EXPECT_EQ(edit->Text(), "12.50");
  EXPECT_EQ(edit->SelStart(), 2);
  // Keys the handler leaves alone keep their work.
  testsupport::KeyPress(edit, VK_BACK, "\b");
  EXPECT_EQ(edit->Text(), "1.50");
  testsupport::KeyPress(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), "1.50");
  EXPECT_EQ(edit->SelStart(), 2);
  edit->SetSelStart(3);
  testsupport::KeyPress(edit, VK_DELETE);
  EXPECT_EQ(edit->Text(), "1.5");
}

TEST_F(EditTest, SelectionReplaceAndCaseRules) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetText("Hello world");
  edit->SetSelStart(6);
  edit->SetSelLength(5);
  EXPECT_EQ(edit->SelText(), "world");
  edit->SetSelText("there");
  EXPECT_EQ(edit->Text(), "Hello there");
  edit->SelectAll();
  EXPECT_EQ(edit->SelLength(), 11);
  edit->Perform(EM_SETSEL, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(edit->SelLength(), 0);

  edit->SetCharCase(ecUpperCase);
  EXPECT_EQ(edit->Text(), "HELLO THERE");
  edit->SetSelStart(0);
  testsupport::KeyPress(edit, 'A', "a");
  EXPECT_EQ(edit->Text(), "AHELLO THERE");

  edit->SetMaxLength(3);
  edit->SetText("");
  for (char c : std::string("abcd")) testsupport::KeyPress(edit, static_cast<uint16_t>(c - 32), std::string(1, c).c_str());
  EXPECT_EQ(edit->Text(), "ABC");

  edit->SetReadOnly(true);
  testsupport::KeyPress(edit, 'Z', "z");
  EXPECT_EQ(edit->Text(), "ABC");
}

TEST_F(EditTest, ClipboardKeysBecomeMessagesASubclassCanRefuse) {
  auto* edit = new TFilteredEdit(form);
  edit->SetParent(form);
  edit->SetText("copy me");
  edit->SelectAll();
  testsupport::KeyChord(edit, 'C', true);
  edit->SetText("");
  testsupport::KeyChord(edit, 'V', true);
  EXPECT_EQ(edit->Text(), "copy me");

  edit->refused = WM_PASTE;
  edit->SetText("");
  testsupport::KeyChord(edit, VK_INSERT, false, true);  // Shift+Insert pastes too
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(edit->Perform(WM_PASTE, 0, 0), 1);
  EXPECT_EQ(edit->seen, (std::vector<UINT>{WM_COPY, WM_PASTE, WM_PASTE, WM_PASTE}));

  edit->refused = 0;
  edit->SetText("abc");
  edit->SelectAll();
  edit->CutToClipboard();
  EXPECT_EQ(edit->Text(), "");
  EXPECT_TRUE(edit->CanUndo());
  edit->Undo();
  EXPECT_EQ(edit->Text(), "abc");
  edit->ClearUndo();
  EXPECT_FALSE(edit->CanUndo());
  EXPECT_EQ(edit->Text(), "abc");
}

TEST_F(EditTest, TheEditorsOwnMenuAndThePlatformsKeysSendClipboardMessages) {
  auto* edit = new TFilteredEdit(form);
  edit->SetParent(form);
  edit->SetText("abc");
  edit->SelectAll();
  edit->refused = WM_CUT;
  EXPECT_TRUE(testsupport::ChooseContextMenuItem(edit, 5, 5, "edit-cut"));
  EXPECT_EQ(edit->Text(), "abc");  // refused: nothing happened
  EXPECT_TRUE(testsupport::ChooseContextMenuItem(edit, 5, 5, "edit-copy"));
  EXPECT_EQ(testsupport::ToolkitClipboardText(), "abc");
  edit->SetText("");
  EXPECT_TRUE(testsupport::ChooseContextMenuItem(edit, 5, 5, "edit-paste"));
  EXPECT_EQ(edit->Text(), "abc");
  edit->SelectAll();
  EXPECT_TRUE(testsupport::ChooseContextMenuItem(edit, 5, 5, "edit-delete"));
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(edit->seen, (std::vector<UINT>{WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR}));

  // A memo's menu takes the same road.
  auto* memo = new TMemo(form);
  memo->SetParent(form);
  memo->SetBounds(0, 40, 100, 60);
  std::vector<UINT> memoSeen;
  memo->SetText("xyz");
  memo->SelectAll();
  EXPECT_TRUE(testsupport::ChooseContextMenuItem(memo, 5, 5, "edit-cut"));
  EXPECT_EQ(memo->Text(), "");
  EXPECT_EQ(testsupport::ToolkitClipboardText(), "xyz");

  // The platform's own bindings take the same road (the test platform has the Windows key scheme,
  // where Alt+Backspace undoes).
  edit->seen.clear();
  edit->refused = WM_UNDO;
  edit->SetText("");
  testsupport::KeyPress(edit, 'Q', "q");
  testsupport::KeyPress(edit, VK_BACK, "", true);
  EXPECT_EQ(edit->seen, (std::vector<UINT>{WM_UNDO}));
  EXPECT_EQ(edit->Text(), "q");
}

TEST_F(EditTest, FormattingRectangleMarginsAndCharacterPositions) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(0, 0, 150, 24);
  edit->SetText("iiiiiiiiii");
  TRect r = Rect(3, 1, edit->ClientWidth() - 25, edit->ClientHeight() - 1);
  edit->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
  TRect got;
  edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
  EXPECT_EQ(got, r);
  edit->SetMargins(4, 6);
  EXPECT_EQ(edit->Perform(EM_GETMARGINS, 0, 0), MAKELPARAM(4, 6));

  // A point left of the text is its first character; characters further right are later ones.
  LRESULT first = edit->Perform(EM_CHARFROMPOS, 0, MAKELPARAM(0, 5));
  EXPECT_EQ(LOWORD(first), 0);
  LRESULT p3 = edit->Perform(EM_POSFROMCHAR, 3, 0);
  LRESULT p6 = edit->Perform(EM_POSFROMCHAR, 6, 0);
  EXPECT_LT(GET_X_LPARAM(p3), GET_X_LPARAM(p6));
  LRESULT back = edit->Perform(EM_CHARFROMPOS, 0, MAKELPARAM(GET_X_LPARAM(p6) + 1, 5));
  EXPECT_EQ(LOWORD(back), 6) << GET_X_LPARAM(p3) << " " << GET_X_LPARAM(p6);
}

TEST_F(EditTest, TextAndSelectionSurviveTheWindowBeingMadeAgain) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetText("keep");
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  edit->SetBorderStyle(bsNone);  // makes the window again
  EXPECT_EQ(edit->Text(), "keep");
  EXPECT_EQ(edit->SelText(), "ee");

  // Without a window the text and selection are the control's own.
  auto* loose = new TEdit(form);
  loose->SetText("abc");
  loose->SetSelStart(2);
  EXPECT_EQ(loose->SelStart(), 2);
  EXPECT_FALSE(loose->HandleAllocated());
  loose->SetParent(form);
  EXPECT_EQ(loose->Text(), "abc");
  EXPECT_EQ(loose->SelStart(), 2);
}

TEST_F(EditTest, MemoLinesEndWithCrLfAndKeysFollowWantReturnsAndWantTabs) {
  auto* memo = new TMemo(form);
  memo->SetParent(form);
  memo->Lines()->Add("one");
  memo->Lines()->Add("two");
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  memo->Lines()->Insert(1, "between");
  memo->Lines()->Delete(0);
  EXPECT_EQ(memo->Lines()->ToVector(), (std::vector<std::string>{"between", "two"}));
  EXPECT_EQ(memo->Perform(EM_LINEINDEX, 1, 0), 9);  // "between" and its CR LF

  auto* ok = new TButton(form);
  ok->SetParent(form);
  ok->SetDefault(true);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  memo->SetFocus();
  memo->SetText("x");
  memo->SetSelStart(1);
  testsupport::KeyPress(memo, VK_RETURN, "\r");
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(memo->Text(), "x\r\n");
  memo->SetWantReturns(false);
  testsupport::KeyPress(memo, VK_RETURN, "\r");
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(memo->Text(), "x\r\n");
  EXPECT_EQ(memo->CaretPos(), Point(0, 1));
}

}  // namespace
