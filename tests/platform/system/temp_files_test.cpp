#include "platform/system/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

size_t EntriesIn(const std::filesystem::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value) setenv(name, value, 1); else unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1); else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(TempPath, FollowsTmpdirWhenItIsAFolder) {
  testsupport::ScratchDir scratch;
  {
    ScopedEnv env("TMPDIR", scratch.Path().c_str());
    EXPECT_EQ(GetTempPath(), scratch.Path().string() + "/");
  }
  {
    ScopedEnv env("TMPDIR", (scratch.Path() / "missing").c_str());
    EXPECT_EQ(GetTempPath(), "/tmp/");
  }
  {
    ScopedEnv env("TMPDIR", nullptr);
    EXPECT_EQ(GetTempPath(), "/tmp/");
  }
}

TEST(TempFileName, HasThePrefixEightHexDigitsAndIsDrawnAnew) {
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    const std::string name = RandomTempFileName("/some/dir", "IMG");
    EXPECT_TRUE(testsupport::RegexMatch(name, "/some/dir/IMG-[0-9A-F]{8}\\.tmp")) << name;
    // The number stays below 2^31 - 1.
    EXPECT_LT(std::stoul(name.substr(14, 8), nullptr, 16), 0x7FFFFFFFul);
    names.insert(name);
  }
  EXPECT_GT(names.size(), 195u);
  EXPECT_EQ(RandomTempFileName("", "ILIST").substr(0, 6), "ILIST-");
}

TEST(TemporaryFile, DeleteOnCloseLeavesNothingBehind) {
  testsupport::ScratchDir scratch;
  std::string name;
  const int fd = CreateUniqueTemporaryFile(scratch.Path().string(), "IMG", true, &name);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ExtractFilePath(name), scratch.Path().string() + "/");
  // The name is gone at once; the handle still works.
  EXPECT_FALSE(FileExists(name));
  EXPECT_EQ(EntriesIn(scratch.Path()), 0u);
  const char text[] = "row data";
  EXPECT_EQ(FileWriteAt(fd, text, 8, 100), 8);
  char back[9] = {};
  EXPECT_EQ(FileReadAt(fd, back, 8, 100), 8);
  EXPECT_STREQ(back, "row data");
  // The gap before the write reads as zeros; a read past the end returns what there is.
  char gap[4] = {1, 1, 1, 1};
  EXPECT_EQ(FileReadAt(fd, gap, 4, 0), 4);
  EXPECT_EQ(gap[0] | gap[1] | gap[2] | gap[3], 0);
  EXPECT_EQ(FileReadAt(fd, back, 8, 104), 4);
  ::close(fd);
  EXPECT_EQ(EntriesIn(scratch.Path()), 0u);
}

TEST(TemporaryFile, NeverOpensOrReplacesAnExistingFile) {
  testsupport::ScratchDir scratch;
  const std::string name = scratch.File("taken.tmp");
  { std::ofstream(name) << "somebody else's"; }
  errno = 0;
  EXPECT_EQ(CreateTemporaryFile(name, true), -1);
  EXPECT_EQ(errno, EEXIST);
  std::ifstream in(name);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "somebody else's");

  // Without delete-on-close the file stays under its name for others to open.
  const std::string kept = scratch.File("kept.tmp");
  const int fd = CreateTemporaryFile(kept, false);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(FileExists(kept));
  struct stat st;
  ASSERT_EQ(::stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TemporaryFile, UnusableFolderFails) {
  testsupport::ScratchDir scratch;
  const std::string notAFolder = scratch.File("plain");
  { std::ofstream(notAFolder) << "x"; }
  for (const std::string& folder : {scratch.File("missing"), notAFolder}) {
    std::string name = "unchanged";
    EXPECT_EQ(CreateUniqueTemporaryFile(folder, "IMG", true, &name), -1) << folder;
    EXPECT_EQ(name, "unchanged");
  }
}

TEST(TemporaryFile, UniqueNamesAcrossManyOpenFiles) {
  testsupport::ScratchDir scratch;
  std::set<std::string> names;
  std::vector<int> fds;
  for (int i = 0; i < 64; ++i) {
    std::string name;
    const int fd = CreateUniqueTemporaryFile(scratch.Path().string(), "ILIST", false, &name);
    ASSERT_GE(fd, 0);
    fds.push_back(fd);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 64u);
  EXPECT_EQ(EntriesIn(scratch.Path()), 64u);
  for (int fd : fds) ::close(fd);
}

TEST(FileSize, GrowsWithZerosAndShrinks) {
  testsupport::ScratchDir scratch;
  const int fd = CreateUniqueTemporaryFile(scratch.Path().string(), "IMG", true, nullptr);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(FileSetSize(fd, 3 << 20));
  struct stat st;
  ASSERT_EQ(::fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, 3 << 20);
  std::vector<uint8_t> tail(4096, 7);
  EXPECT_EQ(FileReadAt(fd, tail.data(), 4096, (3 << 20) - 4096), 4096);
  EXPECT_EQ(std::count(tail.begin(), tail.end(), 0), 4096);
  ASSERT_TRUE(FileSetSize(fd, 10));
  ASSERT_EQ(::fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, 10);
  EXPECT_FALSE(FileSetSize(fd, -1));
  ::close(fd);
}

// On file systems with and without fallocate, growing a file takes its blocks at once (never a sparse
// file whose full disk shows only at a later write), and a size the disk cannot hold is refused with
// the file left at its old size. The full disk is a file-size limit in a child process.
TEST(FileSize, GrowingReservesTheSpaceForReal) {
  for (const bool fallocateAvailable : {true, false}) {
    SCOPED_TRACE(fallocateAvailable ? "with fallocate" : "without fallocate");
    SetFallocateAvailableForTesting(fallocateAvailable);
    testsupport::ScratchDir scratch;
    const std::string folder = scratch.Path().string();
    {
      const int fd = CreateUniqueTemporaryFile(folder, "IMG", true, nullptr);
      ASSERT_GE(fd, 0);
      ASSERT_TRUE(FileSetSize(fd, 3 << 20));
      struct stat st;
      ASSERT_EQ(::fstat(fd, &st), 0);
      EXPECT_EQ(st.st_size, 3 << 20);
      EXPECT_GE(static_cast<int64_t>(st.st_blocks) * 512, 3 << 20);  // taken, not sparse
      std::vector<uint8_t> tail(4096, 7);
      EXPECT_EQ(FileReadAt(fd, tail.data(), 4096, (3 << 20) - 4096), 4096);
      EXPECT_EQ(std::count(tail.begin(), tail.end(), 0), 4096);
      ::close(fd);
    }
    const std::string report = testsupport::RunInChild({.FileSizeLimit = 1 << 20}, [&] {
      const int fd = CreateUniqueTemporaryFile(folder, "IMG", true, nullptr);
      if (fd < 0) return std::string("no file");
      std::string seen = FileSetSize(fd, 4096) ? "small ok" : "small refused";
      seen += FileSetSize(fd, 3 << 20) ? ", large ok" : errno == EFBIG ? ", large refused" : ", large other error";
      struct stat st;
      ::fstat(fd, &st);
      seen += ", size " + std::to_string(st.st_size);
      ::close(fd);
      return seen;
    });
    EXPECT_EQ(report, "small ok, large refused, size 4096");
  }
  SetFallocateAvailableForTesting(true);
}

TEST(FileCopy, CopiesARangeBetweenFilesAndReportsAShortSource) {
  testsupport::ScratchDir scratch;
  const int a = CreateUniqueTemporaryFile(scratch.Path().string(), "A", true, nullptr);
  const int b = CreateUniqueTemporaryFile(scratch.Path().string(), "B", true, nullptr);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  std::vector<uint8_t> data((1 << 20) + 333);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
  ASSERT_EQ(FileWriteAt(a, data.data(), static_cast<int64_t>(data.size()), 0), static_cast<int64_t>(data.size()));
  ASSERT_TRUE(FileSetSize(b, static_cast<int64_t>(data.size()) + 10));
  ASSERT_TRUE(FileCopyRange(a, 5, b, 10, static_cast<int64_t>(data.size()) - 5));
  std::vector<uint8_t> back(data.size() - 5);
  ASSERT_EQ(FileReadAt(b, back.data(), static_cast<int64_t>(back.size()), 10), static_cast<int64_t>(back.size()));
  EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 5));
  EXPECT_TRUE(FileCopyRange(a, 0, b, 0, 0));
  EXPECT_FALSE(FileCopyRange(a, 100, b, 0, static_cast<int64_t>(data.size())));
  ::close(a);
  ::close(b);
}

}  // namespace
