#include "imaging/core/ie_file_utils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/core/ie_settings.h"
#include "tests/support/test_support.h"

namespace {

class ScopedTempDirectory {
 public:
  explicit ScopedTempDirectory(const std::string& dir) : old_(TempDirectory) { TempDirectory = dir; }
  ~ScopedTempDirectory() { TempDirectory = old_; }

 private:
  std::string old_;
};

TEST(FileUtils, ExistenceOfFilesNotFolders) {
  testsupport::ScratchDir dir;
  const std::string file = dir.File("a.bin");
  std::ofstream(file) << "x";
  for (bool rtl : {false, true}) {
    UseRTLFileExists = rtl;
    EXPECT_TRUE(IEFileExists(file));
    EXPECT_TRUE(FileExistsW(file));
    EXPECT_FALSE(IEFileExists(dir.Path().string()));  // a folder is no file
    EXPECT_FALSE(IEFileExists(dir.File("missing")));
  }
  UseRTLFileExists = false;
}

TEST(FileUtils, TemporaryNamesInTheTempDirectory) {
  testsupport::ScratchDir dir;
  const std::string pattern = "ietemp-[0-9A-F]{8}\\.tmp";
  {
    // A folder without its separator still gives a name inside it.
    ScopedTempDirectory temp(dir.Path().string());
    const std::filesystem::path name = MakeTempFileName();
    EXPECT_EQ(name.parent_path(), dir.Path());
    EXPECT_TRUE(testsupport::RegexMatch(name.filename().string(), pattern)) << name;
    EXPECT_FALSE(std::filesystem::exists(name));  // drawn, not created
  }
  {
    ScopedTempDirectory temp(dir.Path().string() + "/");
    EXPECT_EQ(std::filesystem::path(MakeTempFileName()).parent_path(), dir.Path());
  }
  {
    ScopedTempDirectory temp("");
    const std::string name = MakeTempFileName();
    EXPECT_TRUE(testsupport::RegexMatch(std::filesystem::path(name).filename().string(), pattern)) << name;
  }
  // In a given folder the prefix follows the folder as it stands.
  const std::string inFolder = MakeTempFileNameIn("ILIST", dir.Path().string() + "/");
  EXPECT_EQ(std::filesystem::path(inFolder).parent_path(), dir.Path());
  EXPECT_TRUE(testsupport::RegexMatch(std::filesystem::path(inFolder).filename().string(), "ILIST-[0-9A-F]{8}\\.tmp"));
  EXPECT_EQ(MakeTempFileNameIn("p", "x").substr(0, 3), "xp-");
}

}  // namespace
