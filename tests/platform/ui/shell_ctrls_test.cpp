#include "platform/ui/shell_ctrls.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system/streams.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"

namespace {

using ShellCtrlsTest = testsupport::FormTest;

TEST_F(ShellCtrlsTest, TheTreeChoosesTheFolderTheListShowsFiltered) {
  testsupport::ScratchDir dir;
  std::filesystem::create_directories(dir.Path() / "frames" / "old");
  std::filesystem::create_directories(dir.Path() / "video");
  for (const char* name : {"frames/b.PNG", "frames/a.gif", "frames/photo.sr2", "frames/notes.txt", "top.png"})
    TFileStream(dir.File(name), fmCreate);

  auto* tree = new TShellTreeView(form);
  tree->SetParent(form);
  auto* list = new TShellListView(form);
  list->SetParent(form);
  list->SetMultiSelect(true);
  const std::vector<std::string> pictures = {".gif", ".png"};
  list->OnAddFolder = [&](TObject*, const TShellFolder& f, bool& canAdd) {
    std::string ext = ExtractFileExt(f.PathName);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    canAdd = f.IsFolder || std::find(pictures.begin(), pictures.end(), ext) != pictures.end();
  };
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  tree->SetShellListView(list);
  tree->SetRoot(dir.Path().string());

  tree->SetPath(dir.File("frames"));
  EXPECT_EQ(tree->Path(), dir.File("frames"));
  ASSERT_EQ(list->FolderCount(), 2);
  EXPECT_EQ(list->Folders(0).DisplayName, "a.gif");  // sorted without regard to case
  EXPECT_EQ(list->Folders(1).PathName, dir.File("frames/b.PNG"));
  EXPECT_GE(changes, 1);

  list->SetIncludeFolders(true);
  EXPECT_EQ(list->Folders(0).DisplayName, "old");
  EXPECT_TRUE(list->Folders(0).IsFolder);

  // The user's choice of another folder in the tree.
  tree->FolderChosen(dir.Path().string());
  EXPECT_EQ(list->Items()->ToVector(), (std::vector<std::string>{"frames", "video", "top.png"}));
  list->SetSelected(2, true);
  ASSERT_NE(list->SelectedFolder(), nullptr);
  EXPECT_EQ(list->SelectedFolder()->PathName, dir.File("top.png"));

  list->SetRoot(dir.File("missing"));
  EXPECT_EQ(list->FolderCount(), 0);
}

}  // namespace
