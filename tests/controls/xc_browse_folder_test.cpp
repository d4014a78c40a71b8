#include "controls/xc_browse_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ui/folder_browser.h"
#include "platform/ui/forms.h"
#include "platform/ui/system_metrics.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"

namespace {

using O = TOptionsDir;

TEST(BrowseForFolder, TheOptionsAlgebra) {
  struct Case {
    O from, to, expected;
  } cases[] = {
      {O{}, O{odIncludeUrls}, O{odIncludeFiles, odIncludeUrls, odEditBox, odNewDialogStyle}},
      // From the default set the new value drops the new style, which takes the addresses along.
      {kDefaultOptionsDir, O{odIncludeUrls}, O{odIncludeFiles, odEditBox, odNewDialogStyle}},
      {O{}, O{odUsageHint, odEditBox}, O{odNewDialogStyle}},
      {O{}, O{odShareable}, O{odShareable, odNewDialogStyle}},
      {O{}, O{odValidate}, O{odValidate, odEditBox}},
      {O{}, O{odUsageHint}, O{odUsageHint, odNewDialogStyle}},
      // Removing the edit box takes the validation and the addresses with it.
      {O{odEditBox, odValidate, odIncludeUrls, odIncludeFiles, odNewDialogStyle}, O{odValidate, odIncludeUrls,
                                                                                     odIncludeFiles, odNewDialogStyle},
       O{odIncludeFiles, odNewDialogStyle}},
      // Removing the files takes the addresses; removing the new style takes three.
      {O{odEditBox, odIncludeUrls, odIncludeFiles, odNewDialogStyle}, O{odEditBox, odIncludeUrls, odNewDialogStyle},
       O{odEditBox, odNewDialogStyle}},
      {O{odShareable, odUsageHint, odNewDialogStyle}, O{odShareable, odUsageHint}, O{}},
      // Without an edit box there is nothing to validate.
      {O{}, O{odStatusAvailable}, O{odStatusAvailable}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChangeOptionsDir(c.from, c.to).Bits(), c.expected.Bits()) << c.from.Bits() << " -> " << c.to.Bits();
  TXcBrowseForFolderDialog d(nullptr);
  EXPECT_EQ(d.Options(), kDefaultOptionsDir);
  d.SetOptions(O{odIncludeUrls});
  EXPECT_EQ(d.Options(), (O{odIncludeFiles, odEditBox, odNewDialogStyle}));
}

TEST(BrowseForFolder, UsedOptionsAndFlags) {
  const O all = O{odUsageHint, odNoNewButtonFolder, odIncludeUrls, odNewDialogStyle, odShareable, odIncludeFiles,
                  odEditBox, odValidate, odStatusAvailable};
  EXPECT_EQ(UsedOptionsDir(all, 0x60000), all);
  EXPECT_EQ(UsedOptionsDir(all, 0x5FFFF), (all - O{odUsageHint, odNoNewButtonFolder}));
  EXPECT_EQ(UsedOptionsDir(all, 0x40071), (O{odIncludeFiles, odEditBox, odValidate, odStatusAvailable}));
  EXPECT_EQ(UsedOptionsDir(all, 0x40070), O{odStatusAvailable});
  EXPECT_EQ(BrowseFlagsOf(kDefaultOptionsDir), 0x44u);
  EXPECT_EQ(BrowseFlagsOf(O{odOnlyDirectory}), 0u);
  EXPECT_EQ(BrowseFlagsOf(O{odBrowseForComputer, odFileSystemDirectoryOnly, odValidate, odShareable}), 0x9021u);
  // Enumeration flags: a member only with all its bits.
  EXPECT_EQ(EnumFlagsOf({ocFolders, ocIncludeHidden}), 0xA0u);
  EXPECT_EQ(ObjectClassesOf(0x60 | 0x800), (TXcBrowsableObjectClasses{ocFolders, ocNonFolders, ocStorage}));
}

TEST(BrowseForFolder, SpecialFoldersFallBackByShellVersion) {
  struct Case {
    TFromDirectory folder;
    uint32_t version;
    bool nt;
    TFromDirectory expected;
    bool throughSHFolder;
  } cases[] = {
      {fdMyVideo, 0x50000, true, fdPersonal, false},
      {fdMyVideo, 0x60000, true, fdMyVideo, false},
      {fdMyPictures, 0x40000, true, fdMyPictures, true},
      {fdCommonMusic, 0x50000, true, fdCommonDocuments, false},
      {fdCommonPrograms, 0x60000, false, fdNoSpecialFolder, false},
      {fdCommonPrograms, 0x60000, true, fdCommonPrograms, false},
      {fdProgramFilesCommon, 0x60000, false, fdProgramFilesCommon, true},
      {fdComputersNearMe, 0x50000, true, fdNoSpecialFolder, false},
      {fdRecycleBin, 0, true, fdRecycleBin, false},
  };
  for (const Case& c : cases) {
    bool through = !c.throughSHFolder;
    EXPECT_EQ(ResolveSpecialFolder(c.folder, c.version, c.nt, through), c.expected) << int(c.folder);
    EXPECT_EQ(through, c.throughSHFolder) << int(c.folder);
  }
  EXPECT_EQ(SpecialFolderInfo(fdMyVideo).FolderId, 0x0E);
  EXPECT_EQ(SpecialFolderInfo(fdWindows).MinShellVersion, 0x50000u);
  // The kinds the desktop has root the browser there; the others root nothing.
  EXPECT_EQ(SpecialFolderPath(fdMyVideo), StandardFolderPath(sfVideos));
  EXPECT_EQ(SpecialFolderPath(fdPersonal), StandardFolderPath(sfDocuments));
  EXPECT_EQ(SpecialFolderPath(fdProfile), StandardFolderPath(sfHome));
  EXPECT_EQ(SpecialFolderPath(fdRecycleBin), "");
  EXPECT_EQ(SpecialFolderPath(fdDesktop), "");  // the namespace's root: the whole file system
}

TEST(BrowseForFolder, TitleLineAndPlacements) {
  EXPECT_EQ(BrowseTitleLine("Pick", "Where to", true), "Pick\rWhere to");
  EXPECT_EQ(BrowseTitleLine("", "Where to", true), "Where to");
  EXPECT_EQ(BrowseTitleLine("Pick", "Where to", false), "Pick");
  EXPECT_EQ(BrowseTitleLine("Pick", "", true), "Pick");

  const TRect work = Rect(100, 50, 900, 650);
  const TRect owner = Rect(200, 100, 600, 400);
  const int fx = GetSystemMetrics(SM_CXDLGFRAME), fy = GetSystemMetrics(SM_CYDLGFRAME);
  const int cap = GetSystemMetrics(SM_CYCAPTION);
  struct Case {
    TXcFolderPos position;
    TPoint expected;
  } cases[] = {
      {TXcFolderPos::fpScreenCenter, {100 + 250, 50 + 200}},  // within the work area
      {TXcFolderPos::fpFormCenter, {200 + 50, 100 + 50}},
      {TXcFolderPos::fpTopLeft, {100, 50}},
      {TXcFolderPos::fpTopRight, {900 - 300 - fx, 50}},
      {TXcFolderPos::fpBottomLeft, {100, 650 - 200 - cap - fy}},  // the frame kept off, as bottom right
      {TXcFolderPos::fpBottomRight, {900 - 300 - fx, 650 - 200 - cap - fy}},
  };
  for (const Case& c : cases) {
    std::optional<TPoint> p = FolderBrowserPlace(c.position, work, owner, 300, 200);
    ASSERT_TRUE(p) << int(c.position);
    EXPECT_EQ(p->X, c.expected.X) << int(c.position);
    EXPECT_EQ(p->Y, c.expected.Y) << int(c.position);
  }
  EXPECT_FALSE(FolderBrowserPlace(TXcFolderPos::fpDefault, work, owner, 300, 200));
}

TEST(BrowseForFolder, RootDirectoryAndItsPath) {
  TXcBrowseForFolderDialog d(nullptr);
  d.SetRootDirectoryPath("/srv");
  EXPECT_EQ(d.RootDirectory(), fdNoSpecialFolder);
  EXPECT_EQ(d.RootDirectoryPath(), "/srv");
  d.SetRootDirectory(fdMyMusic);
  EXPECT_EQ(d.RootDirectoryPath(), StandardFolderPath(sfMusic));
  // Back to no special folder, the folder's path stays as the root path.
  d.SetRootDirectory(fdNoSpecialFolder);
  EXPECT_EQ(d.RootDirectoryPath(), StandardFolderPath(sfMusic));
}

class BrowseDialogTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    for (const char* d : {"a", "a/inner", "b"}) std::filesystem::create_directories(dir.Path() / d);
  }
  std::string Path(const std::string& name) { return dir.File(name); }
  testsupport::ScratchDir dir;
};

TEST_F(BrowseDialogTest, TheBrowserRunsTheEventsVetoesAndValidates) {
  TXcBrowseForFolderDialog d(form);
  d.SetRootDirectoryPath(dir.Path().string());
  d.SetDirectory(Path("a"));
  d.SetTitle("Output");
  d.SetStatusText("Choose");
  d.SetOptions(O{odStatusAvailable, odNewDialogStyle, odEditBox, odValidate});
  std::vector<std::string> events;
  d.OnInitialized = [&](TObject*) { events.push_back("init"); };
  d.OnAcceptChange = [&](TObject*, const std::string& f, bool& accept) {
    events.push_back("accept " + std::filesystem::path(f).filename().string());
    accept = f != Path("b");
  };
  d.OnChange = [&](TObject*, const std::string& f) {
    events.push_back("change " + std::filesystem::path(f).filename().string());
  };
  d.OnValidateFailed = [&](TObject*, const std::string& text, bool& close) {
    events.push_back("invalid " + std::filesystem::path(text).filename().string());
    close = false;
  };
  TDialogRequest asked;
  std::vector<std::string> visits;
  std::string typed;
  testsupport::ScopedResponder responder([&](const TDialogRequest& req, TDialogAnswer& a) {
    asked = req;
    a.Files = visits;
    a.Text = typed;
    a.Result = 1;
    return true;
  });
  visits = {Path("b"), Path("a/inner")};
  typed = "nowhere";
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.Directory(), Path("a/inner"));
  EXPECT_EQ(d.DisplayName(), "inner");
  EXPECT_EQ(events, (std::vector<std::string>{"accept a", "change a", "init", "accept b", "change b",
                                               "accept inner", "change inner", "invalid nowhere"}));
  // The new style has no status line: the status text is on the title's second line.
  EXPECT_EQ(asked.Title, "Output\rChoose");
  EXPECT_EQ(asked.InitialDir, Path("a"));
  EXPECT_EQ(asked.FileName, dir.Path().string());
  // OK is refused on "b".
  events.clear();
  visits = {Path("a/inner"), Path("b")};
  typed.clear();
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Directory(), Path("a/inner"));
}

TEST_F(BrowseDialogTest, AFailingHandlerIsReportedAndTheAnswerIsFalse) {
  TXcBrowseForFolderDialog d(form);
  d.SetDirectory(Path("a"));
  int changes = 0;
  d.OnChange = [&](TObject*, const std::string&) {
    if (++changes == 2) throw Exception("handler failed");
  };
  std::string reported;
  Application->OnException = [&](TObject*, const Exception& e) { reported = e.Message(); };
  testsupport::ScopedResponder responder([&](const TDialogRequest&, TDialogAnswer& a) {
    a.Files = {Path("b"), Path("a/inner")};
    a.Result = 1;
    return true;
  });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(reported, "handler failed");
  EXPECT_EQ(changes, 2);  // the browser ended there
  EXPECT_EQ(d.Directory(), Path("a"));
}

TEST_F(BrowseDialogTest, TheItemFilterAndTheOldStyleStatusLine) {
  TXcBrowseForFolderDialog d(form);
  d.SetRootDirectoryPath(dir.Path().string());
  d.SetOptions(O{odStatusAvailable});
  std::vector<std::string> offered;
  d.OnShouldShow = [&](TObject*, const std::string& item, bool& show) {
    offered.push_back(std::filesystem::path(item).filename().string());
    show = std::filesystem::path(item).filename() != "b";
  };
  std::vector<std::string> folders;
  d.OnGetEnumFlags = [&](TObject*, const std::string& folder, TXcBrowsableObjectClasses& flags) {
    folders.push_back(folder);
    EXPECT_TRUE(flags.Contains(ocFolders));
  };
  TDialogRequest asked;
  testsupport::ScopedResponder responder([&](const TDialogRequest& req, TDialogAnswer& a) {
    asked = req;
    a.Files = {Path("a"), Path("b")};
    a.Result = 1;
    return true;
  });
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.Directory(), Path("a"));  // "b" is not listed, so it cannot be chosen
  EXPECT_NE(std::find(offered.begin(), offered.end(), "b"), offered.end());
  EXPECT_FALSE(folders.empty());
  EXPECT_EQ(asked.Title, "");
}

}  // namespace
