#include "platform/system/streams.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/test_support.h"

namespace {

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(MemoryStream, WriteSeekReadAndGrow) {
  TMemoryStream s;
  const char text[] = "hello world";
  s.WriteBuffer(text, 11);
  EXPECT_EQ(s.Size(), 11);
  EXPECT_EQ(s.Position(), 11);
  s.SetPosition(6);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 5);  // only what is left
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(s.Seek(-5, soEnd), 6);
  // Writing past the end after a seek grows the stream.
  s.SetPosition(20);
  s.WriteBuffer("x", 1);
  EXPECT_EQ(s.Size(), 21);
  EXPECT_EQ(static_cast<char*>(s.Memory())[20], 'x');
  // A short ReadBuffer raises.
  s.SetPosition(18);
  EXPECT_THROW(s.ReadBuffer(buf, 8), EReadError);
  try {
    s.SetPosition(18);
    s.ReadBuffer(buf, 8);
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
}

TEST(MemoryStream, SetSizeClampsPositionAndCopyFrom) {
  TMemoryStream a;
  for (int i = 0; i < 100000; ++i) a.WriteValue<uint8_t>(static_cast<uint8_t>(i));
  a.SetSize(10);
  EXPECT_EQ(a.Position(), 10);
  TMemoryStream b;
  EXPECT_EQ(b.CopyFrom(a, 0), 10);  // 0: the whole source from its start
  EXPECT_EQ(b.Size(), 10);
  EXPECT_EQ(static_cast<uint8_t*>(b.Memory())[9], 9);
  a.SetPosition(8);
  EXPECT_THROW(b.CopyFrom(a, 5), EReadError);
}

TEST(CustomMemoryStream, NeverWritesBeyondTheBlock) {
  uint8_t block[4] = {1, 2, 3, 4};
  TCustomMemoryStream s(block, 4);
  s.SetPosition(2);
  uint8_t data[4] = {9, 9, 9, 9};
  EXPECT_EQ(s.Write(data, 4), 2);
  EXPECT_EQ(block[3], 9);
  EXPECT_EQ(s.Size(), 4);
}

TEST(FileStream, CreateWriteReopenAndErrors) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("a b ü.bin");  // UTF-8 names pass through unchanged
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("abcdef", 6);
    EXPECT_EQ(f.Size(), 6);
  }
  {
    TFileStream f(name, fmOpenRead | fmShareDenyWrite);
    char buf[6];
    f.ReadBuffer(buf, 6);
    EXPECT_EQ(std::string(buf, 6), "abcdef");
    EXPECT_EQ(f.Write("x", 1), 0);  // read-only
  }
  try {
    TFileStream f(dir.File("missing"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot open file \"" + dir.File("missing") + "\". ", 0), 0u);
  }
  EXPECT_THROW(TFileStream(dir.File("nofolder/x"), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(name, 3), EFOpenError);  // invalid access bits
}

TEST(SafeFileStream, ReplacesTargetOnlyOnCommit) {
  testsupport::ScratchDir dir;
  const std::string target = dir.File("out.txt");
  {
    TFileStream f(target, fmCreate);
    f.WriteBuffer("old", 3);
  }
  {
    TSafeFileStream s(target);
    s.WriteBuffer("new content", 11);
    EXPECT_EQ(ReadAll(target), "old");  // not yet
  }  // no commit: the target stays, the temporary goes
  EXPECT_EQ(ReadAll(target), "old");
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) { (void)e; ++files; }
  EXPECT_EQ(files, 1);
  {
    TSafeFileStream s(target);
    s.WriteBuffer("new", 3);
    s.Commit();
  }
  EXPECT_EQ(ReadAll(target), "new");
}

TEST(FileNames, Helpers) {
  EXPECT_EQ(ExtractFileExt("/a/b.c/file.JPG"), ".JPG");
  EXPECT_EQ(ExtractFileExt("/a/b.c/file"), "");
  EXPECT_EQ(ExtractFilePath("/a/b/file.txt"), "/a/b/");
  EXPECT_EQ(ExtractFileName("/a/b/file.txt"), "file.txt");
  EXPECT_EQ(ChangeFileExt("/a/b.c/file", ".png"), "/a/b.c/file.png");
  EXPECT_EQ(ChangeFileExt("x.tif", ".png"), "x.png");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
}

}  // namespace
