#include "imaging/core/ie_file_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "imaging/core/ie_settings.h"
#include "tests/support/test_support.h"

namespace {

// Points the engine's temporary folder at a scratch folder for one test.
class FileBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = TempDirectory;
    TempDirectory = scratch_.Path().string();
  }
  void TearDown() override { TempDirectory = saved_; }
  size_t FilesInScratch() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(scratch_.Path())) ++n;
    return n;
  }
  testsupport::ScratchDir scratch_;
  std::string saved_;
};

void Fill(void* p, int64_t size, uint8_t seed) {
  auto* b = static_cast<uint8_t*>(p);
  for (int64_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 13);
}

bool Holds(const void* p, int64_t size, uint8_t seed) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (int64_t i = 0; i < size; ++i)
    if (b[i] != static_cast<uint8_t>(seed + i * 13)) return false;
  return true;
}

TEST_F(FileBufferTest, FileStoreMapsReadsAndWritesBackByAccess) {
  TIEFileBuffer store;
  EXPECT_FALSE(store.IsAllocated());
  ASSERT_TRUE(store.AllocateFile("IMG", true, 4096));
  EXPECT_TRUE(store.IsAllocated());
  EXPECT_TRUE(testsupport::RegexMatch(store.FileName(), ".*/IMG-[0-9A-F]{8}\\.tmp"));
  EXPECT_EQ(std::filesystem::path(store.FileName()).parent_path(), scratch_.Path());
  EXPECT_EQ(store.Stream()->Size(), 4096);
  // The temporary file is private from the start: nothing in the folder.
  EXPECT_EQ(FilesInScratch(), 0u);

  // A new store reads as zeros.
  void* row = store.Map(iraRead, 100, 1000);
  EXPECT_TRUE(std::all_of(static_cast<uint8_t*>(row), static_cast<uint8_t*>(row) + 100, [](uint8_t b) { return b == 0; }));
  store.Unmap(row);

  // Write-only: the buffer is not read, and its contents replace the range on release.
  row = store.Map(iraWrite, 100, 1000);
  Fill(row, 100, 5);
  EXPECT_EQ(store.MappedCount(), 1);
  store.Unmap(row);
  EXPECT_EQ(store.MappedCount(), 0);

  // Read-only: changes are not written back.
  row = store.Map(iraRead, 100, 1000);
  EXPECT_TRUE(Holds(row, 100, 5));
  std::memset(row, 0xEE, 100);
  store.Unmap(row);
  row = store.Map(iraReadWrite, 100, 1000);
  EXPECT_TRUE(Holds(row, 100, 5));
  store.Unmap(row);
  store.Unmap(row);  // no longer mapped: ignored

  store.Close();
  EXPECT_FALSE(store.IsAllocated());
  EXPECT_EQ(store.Stream(), nullptr);
  store.Close();
  EXPECT_EQ(FilesInScratch(), 0u);
}

TEST_F(FileBufferTest, SeveralMappingsAndUnmapAll) {
  TIEFileBuffer store;
  ASSERT_TRUE(store.AllocateFile("IMG", true, 300));
  void* a = store.Map(iraWrite, 100, 0);
  void* b = store.Map(iraWrite, 100, 100);
  void* c = store.Map(iraRead, 100, 200);
  Fill(a, 100, 1);
  Fill(b, 100, 2);
  std::memset(c, 0x55, 100);
  store.UnmapAll();
  EXPECT_EQ(store.MappedCount(), 0);
  void* all = store.Map(iraRead, 300, 0);
  EXPECT_TRUE(Holds(all, 100, 1));
  EXPECT_TRUE(Holds(static_cast<uint8_t*>(all) + 100, 100, 2));
  EXPECT_EQ(static_cast<uint8_t*>(all)[250], 0);
  // Close drops what is mapped.
  store.Close();
  EXPECT_EQ(store.MappedCount(), 0);
}

TEST_F(FileBufferTest, MemoryStoreWorksAlikeWithoutTouchingTheDisk) {
  TIEFileBuffer store;
  ASSERT_TRUE(store.AllocateFile("ILIST", false, 1000));
  EXPECT_TRUE(testsupport::RegexMatch(store.FileName(), ".*/ILIST-[0-9A-F]{8}\\.tmp"));
  EXPECT_EQ(FilesInScratch(), 0u);
  void* row = store.Map(iraWrite, 10, 990);
  Fill(row, 10, 9);
  store.Unmap(row);
  row = store.Map(iraRead, 10, 990);
  EXPECT_TRUE(Holds(row, 10, 9));
  store.Unmap(row);
}

TEST_F(FileBufferTest, ClosingNeverDeletesAFileByName) {
  // A memory store has a drawn name but no file; a file that later takes that name (or the name of
  // a file store, which has been nameless since creation) belongs to someone else.
  for (bool useFile : {false, true}) {
    TIEFileBuffer store;
    ASSERT_TRUE(store.AllocateFile("ICACHE", useFile, 10));
    { std::ofstream(store.FileName()) << "other"; }
    store.Close();
    EXPECT_TRUE(std::filesystem::exists(store.FileName())) << useFile;
    std::filesystem::remove(store.FileName());
  }
}

TEST_F(FileBufferTest, NamesAreUniqueAndReopeningClosesTheOldStore) {
  TIEFileBuffer a, b;
  ASSERT_TRUE(a.AllocateFile("IMG", true, 10));
  ASSERT_TRUE(b.AllocateFile("IMG", true, 10));
  EXPECT_NE(a.FileName(), b.FileName());
  const std::string first = a.FileName();
  a.Map(iraReadWrite, 10, 0);
  ASSERT_TRUE(a.AllocateFile("IMG", true, 20));
  EXPECT_EQ(a.MappedCount(), 0);
  EXPECT_EQ(a.Stream()->Size(), 20);
  EXPECT_NE(a.FileName(), first);
}

TEST_F(FileBufferTest, UnusableFolderOrRefusedSizeGivesFalseAndLeavesNothing) {
  const std::string plainFile = scratch_.File("plain");
  { std::ofstream(plainFile) << "x"; }
  for (const std::string& folder : {scratch_.File("missing"), plainFile}) {
    TempDirectory = folder;
    TIEFileBuffer store;
    EXPECT_FALSE(store.AllocateFile("IMG", true, 100)) << folder;
    EXPECT_FALSE(store.IsAllocated());
  }
  TempDirectory = scratch_.Path().string();
  // The file is created but cannot take its size: it is closed and gone, not left open.
  TIEFileBuffer store;
  EXPECT_FALSE(store.AllocateFile("IMG", true, int64_t{1} << 62));
  EXPECT_FALSE(store.IsAllocated());
  EXPECT_EQ(FilesInScratch(), 1u);  // only "plain"
  EXPECT_FALSE(store.AllocateFile("ICACHE", false, int64_t{1} << 62));
  EXPECT_FALSE(store.IsAllocated());
  EXPECT_FALSE(store.AllocateFile("IMG", true, -1));
  // A failed allocation does not spoil the next one.
  EXPECT_TRUE(store.AllocateFile("IMG", true, 16));
}

TEST_F(FileBufferTest, ReadingPastTheStoreRaises) {
  for (bool useFile : {true, false}) {
    TIEFileBuffer store;
    ASSERT_TRUE(store.AllocateFile("IMG", useFile, 100));
    EXPECT_THROW(store.Map(iraRead, 50, 80), EReadError) << useFile;
    EXPECT_EQ(store.MappedCount(), 0);
    void* ok = store.Map(iraWrite, 50, 80);  // without reading there is nothing to fail
    store.Unmap(ok);
    EXPECT_EQ(store.Stream()->Size(), 130);
  }
}

TEST_F(FileBufferTest, CopyToWritesPendingRowsAndCopiesBetweenKinds) {
  const int64_t size = (1 << 20) + 4000;  // more than one chunk
  for (bool srcFile : {true, false}) {
    for (bool dstFile : {true, false}) {
      TIEFileBuffer src, dst;
      ASSERT_TRUE(src.AllocateFile("IMG", srcFile, size));
      ASSERT_TRUE(dst.AllocateFile("IMG", dstFile, size));
      Fill(src.Map(iraWrite, size, 0), size, 3);
      void* pendingDst = dst.Map(iraWrite, 16, 0);
      std::memset(pendingDst, 0x77, 16);
      // The source's mapping is still open: CopyTo writes it back first, as it does Dest's.
      src.CopyTo(dst, size - 10, 10);
      EXPECT_EQ(src.MappedCount(), 0);
      EXPECT_EQ(dst.MappedCount(), 0);
      auto* back = static_cast<uint8_t*>(dst.Map(iraRead, size, 0));
      EXPECT_EQ(back[0], 0x77) << srcFile << dstFile;
      EXPECT_EQ(back[9], 0x77) << srcFile << dstFile;
      std::vector<uint8_t> expect(static_cast<size_t>(size));
      Fill(expect.data(), size, 3);
      EXPECT_EQ(std::memcmp(back + 10, expect.data() + 10, static_cast<size_t>(size - 10)), 0)
          << srcFile << dstFile;
      dst.Unmap(back);
    }
  }
}

TEST_F(FileBufferTest, CopyToOfNothingOrWithAClosedStore) {
  TIEFileBuffer src, dst, closed;
  ASSERT_TRUE(src.AllocateFile("IMG", true, 100));
  ASSERT_TRUE(dst.AllocateFile("IMG", true, 100));
  void* row = src.Map(iraWrite, 100, 0);
  Fill(row, 100, 1);
  src.CopyTo(dst, 0, 0);
  void* back = dst.Map(iraRead, 100, 0);
  EXPECT_EQ(static_cast<uint8_t*>(back)[5], 0);
  dst.Unmap(back);
  src.CopyTo(closed, 100, 0);
  closed.CopyTo(dst, 100, 0);
  EXPECT_FALSE(closed.IsAllocated());
}

TEST_F(FileBufferTest, TemporaryFileStreamNeverReplacesAFile) {
  const std::string name = scratch_.File("IMG-00000001.tmp");
  { std::ofstream(name) << "keep me"; }
  try {
    TIETemporaryFileStream stream(name);
    FAIL() << "created over an existing file";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Unable to create " + name);
  }
  std::ifstream in(name);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "keep me");
  EXPECT_THROW(TIETemporaryFileStream(scratch_.File("missing/IMG-1.tmp")), EInOutError);
}

}  // namespace
