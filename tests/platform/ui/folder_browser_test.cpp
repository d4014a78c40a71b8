#include "platform/ui/folder_browser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ui/common_dialogs.h"
#include "platform/ui/forms.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"

namespace {

class FolderBrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"a", "a/inner", "b", "hidden"}) std::filesystem::create_directories(dir.Path() / d);
  }
  std::string Path(const std::string& name) { return dir.File(name); }
  testsupport::ScratchDir dir;
};

TEST_F(FolderBrowserTest, TheAnswerWalksTheFoldersInOrderThroughTheCallbacks) {
  TFolderBrowser browser;
  browser.Root = dir.Path().string();
  browser.Directory = Path("a");
  browser.Title = "Pick";
  browser.StatusLine = true;
  browser.StatusText = "first";
  browser.HelpContext = 7;
  std::vector<std::string> seen;
  bool initialized = false;
  browser.OnInitialized = [&] { initialized = true; };
  browser.OnSelChanged = [&](const std::string& path) {
    seen.push_back(path);
    browser.SetStatusText(path);
  };
  TDialogRequest asked;
  testsupport::ScopedResponder responder([&](const TDialogRequest& req, TDialogAnswer& a) {
    asked = req;
    a.Files = {Path("b"), Path("a/inner")};
    a.Result = 1;
    return true;
  });
  std::string chosen;
  ASSERT_TRUE(browser.Execute(chosen));
  EXPECT_EQ(chosen, Path("a/inner"));
  EXPECT_TRUE(initialized);
  // The preselected folder is selected first, as the browser does when it opens.
  EXPECT_EQ(seen, (std::vector<std::string>{Path("a"), Path("b"), Path("a/inner")}));
  EXPECT_EQ(browser.CurrentStatusText(), Path("a/inner"));
  EXPECT_EQ(asked.Kind, "Folder");
  EXPECT_EQ(asked.Title, "Pick");
  EXPECT_EQ(asked.Text, "first");
  EXPECT_EQ(asked.InitialDir, Path("a"));
  EXPECT_EQ(asked.FileName, dir.Path().string());
  EXPECT_EQ(asked.HelpContext, 7);
}

TEST_F(FolderBrowserTest, OkVetoFilterRootAndCancel) {
  TFolderBrowser browser;
  browser.Root = dir.Path().string();
  std::vector<std::string> seen;
  // OK only for folders whose name is not "b"; "hidden" is never listed.
  browser.OnSelChanged = [&](const std::string& path) {
    seen.push_back(path);
    browser.EnableOK(path != Path("b"));
  };
  browser.OnShouldShow = [&](const std::string& path) { return path != Path("hidden"); };
  std::vector<std::string> visits;
  int result = 1;
  testsupport::ScopedResponder responder([&](const TDialogRequest&, TDialogAnswer& a) {
    a.Files = visits;
    a.Result = result;
    return true;
  });
  std::string chosen = "unchanged";
  visits = {Path("a"), Path("b")};
  EXPECT_FALSE(browser.Execute(chosen));  // OK is disabled on "b"
  EXPECT_EQ(chosen, "unchanged");
  visits = {Path("b"), Path("a")};
  EXPECT_TRUE(browser.Execute(chosen));
  EXPECT_EQ(chosen, Path("a"));
  // Folders the filter hides and folders outside the root cannot be selected.
  seen.clear();
  visits = {Path("a"), Path("hidden"), "/"};
  EXPECT_TRUE(browser.Execute(chosen));
  EXPECT_EQ(chosen, Path("a"));
  EXPECT_EQ(seen, (std::vector<std::string>{dir.Path().string(), Path("a")}));
  result = 0;
  EXPECT_FALSE(browser.Execute(chosen));
}

TEST_F(FolderBrowserTest, TypedTextIsAFolderOrGoesToTheValidationCallback) {
  TFolderBrowser browser;
  browser.Root = dir.Path().string();
  browser.EditBox = true;
  browser.Validate = true;
  std::vector<std::string> failed;
  bool close = false;
  browser.OnValidateFailed = [&](const std::string& text) {
    failed.push_back(text);
    return close;
  };
  std::string typed;
  testsupport::ScopedResponder responder([&](const TDialogRequest&, TDialogAnswer& a) {
    a.Files = {Path("a")};
    a.Text = typed;
    a.Result = 1;
    return true;
  });
  std::string chosen;
  typed = "inner";  // relative to the selection
  EXPECT_TRUE(browser.Execute(chosen));
  EXPECT_EQ(chosen, Path("a/inner"));
  // Not a folder: asked; kept open (false), the selection stays what OK takes.
  typed = "nothing here";
  EXPECT_TRUE(browser.Execute(chosen));
  EXPECT_EQ(chosen, Path("a"));
  EXPECT_EQ(failed, std::vector<std::string>{Path("a/nothing here")});
  // Closing on it is a cancel.
  close = true;
  EXPECT_FALSE(browser.Execute(chosen));
  // Without Validate typed junk is passed over.
  browser.Validate = false;
  failed.clear();
  EXPECT_TRUE(browser.Execute(chosen));
  EXPECT_TRUE(failed.empty());
}

TEST_F(FolderBrowserTest, ACancelFromACallbackEndsTheRun) {
  TFolderBrowser browser;
  int selections = 0;
  browser.OnSelChanged = [&](const std::string&) {
    if (++selections == 2) browser.Cancel();
  };
  testsupport::ScopedResponder responder([&](const TDialogRequest&, TDialogAnswer& a) {
    a.Files = {Path("a"), Path("b"), Path("a/inner")};
    a.Result = 1;
    return true;
  });
  std::string chosen;
  EXPECT_FALSE(browser.Execute(chosen));
  EXPECT_EQ(selections, 2);
}

TEST_F(FolderBrowserTest, SelectDirectoryCreatesAMissingFolderOnlyWhenAllowed) {
  std::string missing = Path("new/deeper");
  std::vector<std::string> asked;
  int confirm = mrYes;
  testsupport::ScopedResponder responder([&](const TDialogRequest& req, TDialogAnswer& a) {
    asked.push_back(req.Kind);
    if (req.Kind == "MessageDlg") {
      EXPECT_EQ(req.Text, "The " + missing + " directory does not exist. Create it?");
      a.Result = confirm;
      return true;
    }
    a.Files = {missing};
    a.Result = 1;
    return true;
  });
  std::string d = Path("a");
  EXPECT_FALSE(SelectDirectory(d, {}, 0));  // a folder that is not there cannot be chosen
  EXPECT_EQ(d, Path("a"));
  EXPECT_TRUE(SelectDirectory(d, {sdAllowCreate}, 0));
  EXPECT_EQ(d, missing);
  EXPECT_FALSE(std::filesystem::exists(missing));
  confirm = mrNo;
  asked.clear();
  EXPECT_FALSE(SelectDirectory(d, {sdAllowCreate, sdPerformCreate, sdPrompt}, 0));
  EXPECT_EQ(asked, (std::vector<std::string>{"Folder", "MessageDlg"}));
  confirm = mrYes;
  EXPECT_TRUE(SelectDirectory(d, {sdAllowCreate, sdPerformCreate, sdPrompt}, 0));
  EXPECT_TRUE(std::filesystem::is_directory(missing));
}

TEST(OpenDialogExtras, HistoryListAndFileEditStyleAreKept) {
  TOpenDialog dlg(nullptr);
  EXPECT_EQ(dlg.FileEditStyle(), fsEdit);
  dlg.SetFileEditStyle(fsComboBox);
  EXPECT_EQ(dlg.FileEditStyle(), fsComboBox);
  TStringList names;
  names.Add("one.avi");
  names.Add("two.avi");
  dlg.SetHistoryList(&names);
  ASSERT_EQ(dlg.HistoryList()->Count(), 2);
  EXPECT_EQ(dlg.HistoryList()->Get(1), "two.avi");
}

TEST(ApplicationHelp, HelpContextGoesToOnHelpAndOpensNothingElse) {
  EXPECT_FALSE(Application->HelpContext(12));
  intptr_t asked = 0;
  Application->OnHelp = [&](uint16_t command, intptr_t data, bool&) {
    EXPECT_EQ(command, 1);
    asked = data;
    return true;
  };
  EXPECT_TRUE(Application->HelpContext(12));
  EXPECT_EQ(asked, 12);
  Application->OnHelp = nullptr;
}

}  // namespace
