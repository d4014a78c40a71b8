// Completion of typed text in edits, and the single-line edit's formatting rectangle and disabled
// look.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/gdi/graphics.h"
#include "platform/ui/edit_ctrls.h"
#include "platform/ui/forms.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using EditLookTest = testsupport::FormTest;

// Types the text key by key (letters only) into the focused edit.
void Type(TWinControl* edit, const std::string& text) {
  for (char ch : text) {
    char s[2] = {ch, 0};
    testsupport::KeyPress(edit, static_cast<uint16_t>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch), s);
  }
  Application->ProcessMessages();
}

TEST_F(EditLookTest, AppendCompletesInlineAndSuggestListsTheMatches) {
  const std::vector<std::string> words = {"apple", "apricot", "banana"};
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetFocus();
  edit->SetAutoComplete(acsWordList, words, false, true);
  EXPECT_EQ(edit->AutoCompleteSource(), acsWordList);
  Type(edit, "ap");
  EXPECT_EQ(edit->Text(), "apple");
  EXPECT_EQ(edit->SelText(), "ple");  // typing on replaces the completed part
  EXPECT_TRUE(testsupport::CompletionListItems(edit).empty());

  edit->SetText("");
  edit->SetAutoComplete(acsWordList, words, true, false);
  Type(edit, "ap");
  EXPECT_EQ(edit->Text(), "ap");
  EXPECT_EQ(testsupport::CompletionListItems(edit), (std::vector<std::string>{"apple", "apricot"}));
  testsupport::KeyPress(edit, VK_ESCAPE);

  // Both: the list shows and the first match is added inline; deleting does not complete again.
  edit->SetText("");
  edit->SetAutoComplete(acsWordList, words, true, true);
  Type(edit, "b");
  EXPECT_EQ(edit->Text(), "banana");
  EXPECT_EQ(edit->SelText(), "anana");
  testsupport::KeyPress(edit, VK_BACK);
  Application->ProcessMessages();
  EXPECT_EQ(edit->Text(), "b");

  // Taken away: typing is plain typing.
  edit->SetText("");
  edit->SetAutoComplete(acsNone, {}, true, true);
  EXPECT_EQ(edit->AutoCompleteSource(), acsNone);
  Type(edit, "ap");
  EXPECT_EQ(edit->Text(), "ap");
}

// An edit freed by its own key handler: its editor is freed later by the event loop, and what the
// toolkit still delivers to it no longer reaches the freed control's window.
TEST_F(EditLookTest, AnEditFreedInItsOwnHandlerHearsNothingAfterwards) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetFocus();
  bool freed = false;
  // The handler is freed with the edit: nothing of it is used after the delete.
  edit->OnKeyUp = [edit, flag = &freed](TObject*, uint16_t& key, TShiftState) {
    key = 0;  // handled: the freed control passes nothing on
    *flag = true;
    testsupport::PostToolkitEvent(edit);
    delete edit;
  };
  testsupport::KeyPress(edit, 'A', "a");
  Application->ProcessMessages();
  EXPECT_TRUE(freed);
}

TEST_F(EditLookTest, TheFileSystemSourceListsFoldersOnlyWhenAskedTo) {
  testsupport::ScratchDir dir;
  std::filesystem::create_directory(dir.Path() / "alpha");
  std::ofstream(dir.File("alps.txt")) << "x";
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetFocus();
  auto listed = [&](TAutoCompleteSource source) {
    edit->SetAutoComplete(source, {}, true, false);
    edit->SetText(dir.Path().string() + "/a");
    edit->SetSelStart(static_cast<int>(edit->Text().size()));
    std::vector<std::string> items;
    // The file system is read in the background: type until the list has what is there.
    testsupport::WaitFor([&] {
      testsupport::KeyPress(edit, 'L', "l");
      Application->ProcessMessages();
      items = testsupport::CompletionListItems(edit);
      testsupport::KeyPress(edit, VK_BACK);
      return items.size() >= (source == acsFileSystem ? 2u : 1u);
    });
    testsupport::KeyPress(edit, VK_ESCAPE);
    std::sort(items.begin(), items.end());
    return items;
  };
  EXPECT_EQ(listed(acsFileSystemFolders), (std::vector<std::string>{"alpha"}));
  EXPECT_EQ(listed(acsFileSystem), (std::vector<std::string>{"alpha", "alps.txt"}));
}

// An edit whose window is made with ES_MULTILINE (for its formatting rectangle).
class TRectEdit : public TEdit {
 public:
  using TEdit::TEdit;

 protected:
  void CreateParams(TCreateParams& params) override {
    TEdit::CreateParams(params);
    params.Style |= ES_MULTILINE;
  }
};

TEST_F(EditLookTest, EsMultilineKeepsTheSingleLineEditorWithItsFormattingRectangle) {
  auto* edit = new TRectEdit(form);
  edit->SetParent(form);
  edit->SetBounds(0, 0, 150, 24);
  edit->SetText("one");
  EXPECT_EQ(edit->Perform(EM_GETLINECOUNT, 0, 0), 1);
  TRect r = Rect(2, 1, edit->ClientWidth() - 30, edit->ClientHeight() - 1);
  edit->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
  TRect got;
  edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
  EXPECT_EQ(got, r);
  // Enter does not break the line.
  edit->SetFocus();
  testsupport::KeyPress(edit, VK_RETURN, "\r");
  EXPECT_EQ(edit->Text(), "one");
}

// An edit with the combo edit's disabled colours.
class TDisabledLookEdit : public TEdit {
 public:
  explicit TDisabledLookEdit(TComponent* owner) : TEdit(owner) { SetDisabledLook(clWindow, clGrayText); }
};

TEST_F(EditLookTest, ADisabledEditShowsItsDisabledColours) {
  auto* edit = new TDisabledLookEdit(form);
  edit->SetParent(form);
  edit->SetBounds(0, 0, 150, 24);
  edit->Font()->SetSize(14);
  edit->SetText("WWWW");
  edit->SetEnabled(false);
  // The field's colour where there is no text, the disabled text colour inside the first W.
  const uint32_t window = ColorToRGB(clWindow) & 0xFFFFFF, gray = ColorToRGB(clGrayText) & 0xFFFFFF;
  EXPECT_EQ(testsupport::WindowPixel(edit, 140, 12), window);
  bool grayText = false, otherInk = false;
  for (uint32_t p : testsupport::WindowPixels(edit, 0, 3, 40, 18)) {
    if (p == gray) grayText = true;
    else if (p != window && (p & 0xFF) < 0x60) otherInk = true;  // dark pixels that are not gray text
  }
  EXPECT_TRUE(grayText);
  EXPECT_FALSE(otherInk);
}

}  // namespace
