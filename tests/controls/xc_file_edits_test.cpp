#include "controls/xc_file_edits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "controls/xc_edit_glyphs.h"
#include "platform/ui/image_list.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

// A fake file system for the text rules: the names in files and folders exist.
TXcPathProbe FakeProbe(std::vector<std::string> files, std::vector<std::string> folders) {
  TXcPathProbe p;
  p.IsFile = [files](const std::string& s) { return std::find(files.begin(), files.end(), s) != files.end(); };
  p.IsFolder = [folders](const std::string& s) {
    return std::find(folders.begin(), folders.end(), s) != folders.end();
  };
  p.LongPath = [](const std::string& s) { return s; };
  p.ShortPath = [](const std::string& s) { return s; };
  return p;
}

TEST(PathEditText, FileNameNormalising) {
  const TXcPathProbe probe = FakeProbe({"/v/cap.avi", "/v/my videos/old.avi"}, {"/v", "/v/my videos"});
  struct Case {
    std::string text;
    bool addQuotes;
    std::string expected;
  } cases[] = {
      {"/v/cap.avi", true, "/v/cap.avi"},                        // an existing file as it is
      {"/v", true, "/v/"},                                        // an existing folder gains "/"
      {"/v/new.avi", true, "/v/new.avi"},                         // missing, without blanks
      {"c:\\cap.avi", true, "c:\\cap.avi"},
      {"/v/my videos/cap.avi", true, "/v/my videos/cap.avi"},     // missing with a blank: whole
      {"\"/v/my videos/cap.avi\"", true, "/v/my videos/cap.avi"},  // quoted: unquoted
      {"\"/v/my videos\"", true, "/v/my videos/"},
      {"\"/v/a b.avi\" tail", true, "/v/a b.avi"},                 // the first quoted token
      {"\"/v/a b.avi\"", false, "\"/v/a b.avi\""},                 // without AddQuotes as typed
      {"", true, ""},
      {"\"", true, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NormalizeFileName(c.text, c.addQuotes, probe), c.expected) << c.text;
  EXPECT_EQ(FileNameText("/v/my videos/cap.avi", true), "\"/v/my videos/cap.avi\"");
  EXPECT_EQ(FileNameText("\"/v/my videos\"", true), "\"/v/my videos\"");
  EXPECT_EQ(FileNameText("/v/my videos", false), "/v/my videos");
  EXPECT_EQ(FileNameText("/v/cap.avi", true), "/v/cap.avi");
  bool cut = false;
  EXPECT_EQ(CutAtLineBreak("one\r\ntwo", cut), "one");
  EXPECT_TRUE(cut);
  EXPECT_EQ(CutAtLineBreak("one\rtwo", cut), "one");
  EXPECT_EQ(CutAtLineBreak("one", cut), "one");
  EXPECT_FALSE(cut);
}

TEST(PathEditText, FolderListsAndDroppedNames) {
  const TXcPathProbe probe = FakeProbe({"/v/cap.avi"}, {"/v", "/w", "/"});
  EXPECT_EQ(DroppedFolder("/v/cap.avi", probe), "/v");
  EXPECT_EQ(DroppedFolder("/w/", probe), "/w");
  EXPECT_EQ(DroppedFolder("/", probe), "/");
  EXPECT_EQ(AddFolderToList("/v", "/w", true), "/v;/w");
  EXPECT_EQ(AddFolderToList("", "/w", true), "/w");
  EXPECT_EQ(AddFolderToList("/v", "/w", false), "/w");
  auto upper = [](const std::string& s) {
    std::string u = s;
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s == "/gone" ? std::string() : u;
  };
  EXPECT_EQ(ConvertFolderList("/a;/gone;;/b", true, upper), "/A;/B");
  EXPECT_EQ(ConvertFolderList("/a;/b", false, upper), "/A;/B");
  EXPECT_EQ(FolderDialogStart("", "", probe), "/");
  EXPECT_EQ(FolderDialogStart("", "/w", probe), "/w");
  EXPECT_EQ(FolderDialogStart("/nowhere", "/w", probe), "/");
  EXPECT_EQ(FolderDialogStart("/v", "/w", probe), "/v");
}

class FileEditTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    std::filesystem::create_directories(dir.Path() / "my videos");
    for (const char* f : {"a.avi", "b.avi", "c.avi", "my videos/old.avi"}) std::ofstream(dir.File(f)) << "x";
  }
  TXcFilenameEdit* MakeFile() {
    auto* e = new TXcFilenameEdit(form);
    e->SetParent(form);
    e->SetBounds(10, 10, 250, 21);
    return e;
  }
  TXcDirectoryEdit* MakeFolder() {
    auto* e = new TXcDirectoryEdit(form);
    e->SetParent(form);
    e->SetBounds(10, 50, 250, 21);
    return e;
  }
  std::string Path(const std::string& name) { return dir.File(name); }
  testsupport::ScratchDir dir;
};

TEST_F(FileEditTest, FileNameReadsAndSetsByTheEdgeCases) {
  TXcFilenameEdit* e = MakeFile();
  e->SetText(Path("a.avi"));
  EXPECT_EQ(e->FileName(), Path("a.avi"));
  e->SetText(dir.Path().string());
  EXPECT_EQ(e->FileName(), dir.Path().string() + "/");
  // The motion detector's recording target: a name with a blank that does not exist yet.
  const std::string target = Path("my videos/cap.avi");
  e->SetText(target);
  EXPECT_EQ(e->FileName(), target);
  e->SetFileName(target);
  EXPECT_EQ(e->Text(), "\"" + target + "\"");
  EXPECT_EQ(e->FileName(), target);
  // An invalid name is refused and the text stays.
  try {
    e->SetFileName("a|b.avi");
    FAIL() << "no error";
  } catch (const EComboEditError& err) {
    EXPECT_EQ(err.Message(), "Invalid file name - a|b.avi");
  }
  EXPECT_EQ(e->FileName(), target);
  e->SetFileName("");
  EXPECT_EQ(e->Text(), "");
  // The long and short forms of the name (no 8.3 names here).
  e->SetFileName(Path("a.avi"));
  EXPECT_EQ(e->LongName(), "a.avi");
  EXPECT_EQ(e->ShortName(), "a.avi");
}

TEST_F(FileEditTest, DroppedFilesAndPastedLines) {
  TXcFilenameEdit* e = MakeFile();
  int drops = 0;
  e->OnDropFiles = [&](TObject*) { ++drops; };
  ASSERT_TRUE(testsupport::DropFiles(e, 5, 5, {Path("a.avi"), Path("b.avi"), Path("c.avi")}));
  EXPECT_EQ(e->FileName(), Path("a.avi"));
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(e->Dialog()->Files()->Count(), 0);
  // With multiple choice every file goes to the dialog's list, the first into the edit.
  e->SetDialogOptions(e->DialogOptions() | OpenOption(ofAllowMultiSelect));
  EXPECT_TRUE(e->MultipleDirs());
  ASSERT_TRUE(testsupport::DropFiles(e, 5, 5, {Path("b.avi"), Path("c.avi")}));
  EXPECT_EQ(e->FileName(), Path("b.avi"));
  EXPECT_EQ(e->Dialog()->Files()->Count(), 2);
  // Not taking files: nothing is taken.
  e->SetAcceptFiles(false);
  EXPECT_FALSE(testsupport::DropFiles(e, 5, 5, {Path("a.avi")}));
  EXPECT_EQ(e->FileName(), Path("b.avi"));
  // A pasted text of two lines keeps its first.
  testsupport::ToolkitClipboardSetText("first.avi\nsecond.avi");
  e->SetText("");
  e->PasteFromClipboard();
  EXPECT_EQ(e->Text(), "first.avi");
}

TEST_F(FileEditTest, TheFileDialogIsBracketedByTheEvents) {
  TXcFilenameEdit* e = MakeFile();
  e->SetFilter("AVI files (*.avi)|*.avi");
  e->SetFileName(Path("my videos/old.avi"));
  std::vector<std::string> events;
  bool go = true;
  e->OnBeforeDialog = [&](TObject*, std::string& name, bool& action) {
    events.push_back("before " + name);
    action = go;
  };
  e->OnAfterDialog = [&](TObject*, std::string& name, bool& action) {
    events.push_back("after " + name + (action ? " ok" : " cancel"));
  };
  TDialogRequest asked;
  int dialogs = 0;
  testsupport::ScopedResponder responder([&](const TDialogRequest& req, TDialogAnswer& a) {
    ++dialogs;
    asked = req;
    a.Files = {Path("my videos/new clip.avi")};
    a.Result = 1;
    return true;
  });
  // OnBeforeDialog stops it.
  go = false;
  e->Button()->Click();
  EXPECT_EQ(dialogs, 0);
  go = true;
  e->Button()->Click();
  ASSERT_EQ(dialogs, 1);
  EXPECT_EQ(asked.Kind, "Open");
  EXPECT_EQ(asked.Title, "Browse");
  EXPECT_EQ(asked.Filter, "AVI files (*.avi)|*.avi");
  EXPECT_EQ(asked.InitialDir, Path("my videos/"));
  EXPECT_EQ(asked.FileName, Path("my videos/old.avi"));
  EXPECT_EQ(e->Text(), "\"" + Path("my videos/new clip.avi") + "\"");
  EXPECT_EQ(e->FileName(), Path("my videos/new clip.avi"));
  EXPECT_EQ(events.back(), "after " + Path("my videos/new clip.avi") + " ok");
  // Another kind of dialog keeps the settings.
  e->SetDialogKind(dkSave);
  EXPECT_EQ(e->Filter(), "AVI files (*.avi)|*.avi");
  EXPECT_EQ(e->DialogTitle(), "Browse");
  e->Button()->Click();
  EXPECT_EQ(asked.Kind, "Save");
}

TEST_F(FileEditTest, TheDefaultPicturesAndTheFileSystemCompletion) {
  TXcFilenameEdit* f = MakeFile();
  TXcDirectoryEdit* d = MakeFolder();
  EXPECT_EQ(f->ImageKind(), ikDefault);
  EXPECT_EQ(f->Button()->Images(), DefaultEditImages());
  EXPECT_GE(f->Button()->ImageIndex(), 0);
  EXPECT_NE(f->Button()->ImageIndex(), d->Button()->ImageIndex());
  EXPECT_EQ(DefaultEditImages()->Width(), 14);
  EXPECT_EQ(DefaultEditImages()->Height(), 12);
  EXPECT_EQ(f->ButtonWidth(), 21);  // max(14 + 6, 21)
  EXPECT_EQ(f->AutoCompleteOptions(), TXcAutoCompleteOptions{acoAutoSuggest});
  EXPECT_EQ(f->AutoCompleteSource(), acsFileSystem);
  EXPECT_EQ(d->AutoCompleteSource(), acsFileSystemFolders);
  f->SetAutoCompleteFileOptions({acfURLHistory});
  EXPECT_EQ(f->AutoCompleteSource(), acsNone);
  EXPECT_TRUE(f->OEMConvert());
}

TEST_F(FileEditTest, TheFolderEditStartsItsDialogAtAFolderAndJoinsLists) {
  TXcDirectoryEdit* e = MakeFolder();
  EXPECT_EQ(e->DialogKind(), dkWin32);
  std::vector<TDialogRequest> asked;
  std::string answer;
  testsupport::ScopedResponder responder([&](const TDialogRequest& req, TDialogAnswer& a) {
    asked.push_back(req);
    a.Files = {answer};
    a.Result = 1;
    return true;
  });
  // Not a folder: the dialog opens at "/".
  e->SetText(Path("nowhere"));
  answer = Path("my videos");
  e->Button()->Click();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].InitialDir, "/");
  EXPECT_EQ(e->Text(), Path("my videos"));
  EXPECT_EQ(e->InitialDir(), Path("my videos"));
  // Several folders: the chosen one is joined with ";".
  e->SetMultipleDirs(true);
  answer = dir.Path().string();
  e->Button()->Click();
  EXPECT_EQ(asked.back().InitialDir, Path("my videos"));
  EXPECT_EQ(e->Text(), Path("my videos") + ";" + dir.Path().string());
  EXPECT_EQ(e->LongName(), e->Text());
  e->Button()->Click();
  EXPECT_EQ(asked.back().InitialDir, "/");  // a list is no folder
  // The framework's folder dialog, with its options.
  e->SetMultipleDirs(false);
  e->SetDialogKind(dkVCL);
  e->SetText("");
  e->SetInitialDir(dir.Path().string());
  answer = Path("my videos");
  e->Button()->Click();
  EXPECT_EQ(asked.back().InitialDir, dir.Path().string());
  EXPECT_EQ(asked.back().Flags, TSelectDirOpts{sdAllowCreate}.Bits());
  EXPECT_EQ(e->Text(), Path("my videos"));
  // A dropped file gives its folder; with several folders it is added.
  ASSERT_TRUE(testsupport::DropFiles(e, 5, 5, {Path("a.avi")}));
  EXPECT_EQ(e->Text(), dir.Path().string());
  e->SetMultipleDirs(true);
  ASSERT_TRUE(testsupport::DropFiles(e, 5, 5, {Path("my videos/"), Path("a.avi")}));
  EXPECT_EQ(e->Text(), dir.Path().string() + ";" + Path("my videos") + ";" + dir.Path().string());
}

TEST_F(FileEditTest, TheCaptureWindowsFolderEditAndTheMotionDetectorsFileEdit) {
  TXcDirectoryEdit* d = MakeFolder();
  d->SetImageKind(ikEllipsis);
  d->SetButtonWidth(17);
  d->SetFlat(false);
  d->SetParentFlat(false);
  d->SetButtonHint("Output directory");
  d->SetBounds(10, 50, 495, 21);
  EXPECT_EQ(d->ButtonWidth(), 17);
  EXPECT_EQ(d->Glyph()->Width(), 11);
  TXcFilenameEdit* f = MakeFile();
  f->SetFilter("AVI files (*.avi)|*.avi");
  f->SetInitialDir("/");
  f->SetText("/tmp/cap.avi");
  f->SetImageKind(ikEllipsis);
  EXPECT_EQ(f->FileName(), "/tmp/cap.avi");
  EXPECT_EQ(f->ButtonWidth(), 21);
}

}  // namespace
