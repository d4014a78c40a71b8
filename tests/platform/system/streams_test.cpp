#include "platform/system/streams.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/test_support.h"

namespace {

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& name, const std::string& text, int mode = 0644) {
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
  }
  ::chmod(name.c_str(), static_cast<mode_t>(mode));
}

std::vector<std::string> Entries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

int ModeOf(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
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

// Past 8 MiB the block is a new aligned one at each step: every byte written before a step is there
// after it, a shrink keeps the front, and growing again keeps it too.
TEST(MemoryStream, LargeStreamsKeepTheirBytesAcrossGrowth) {
  TMemoryStream s;
  std::vector<uint8_t> chunk(300000);
  const int chunks = 100;  // about 30 MB: small steps first, then several large ones
  for (int c = 0; c < chunks; ++c) {
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(i * 7 + c);
    s.WriteBuffer(chunk.data(), static_cast<int32_t>(chunk.size()));
  }
  ASSERT_EQ(s.Size(), int64_t{chunks} * 300000);
  EXPECT_GE(s.Capacity(), s.Size());
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  for (int c = 0; c < chunks; c += 9)
    for (size_t i = 0; i < chunk.size(); i += 997)
      ASSERT_EQ(m[static_cast<size_t>(c) * 300000 + i], static_cast<uint8_t>(i * 7 + c)) << c << " " << i;
  s.SetSize(5);
  s.SetSize(int64_t{40} << 20);  // past the capacity: a new block with the first bytes kept
  m = static_cast<const uint8_t*>(s.Memory());
  EXPECT_EQ(m[4], static_cast<uint8_t>(4 * 7));
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Memory(), nullptr);
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

TEST(SafeFileStream, TheTemporaryFileHasTheTargetsModeFromTheStart) {
  testsupport::ScratchDir dir;
  const std::string target = dir.File("private.bmp");
  for (const int mode : {0600, 0640, 0444, 0755, 0666}) {
    SCOPED_TRACE(mode);
    WriteFile(target, "old", mode);
    TSafeFileStream s(target);
    EXPECT_EQ(ModeOf(s.TempName()), mode);  // never more open than the target, even while being written
    s.WriteBuffer("new", 3);
    s.Commit();
    EXPECT_EQ(ModeOf(target), mode);
    EXPECT_EQ(ReadAll(target), "new");
  }
  // A new file gets what any new file gets.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  TSafeFileStream s(dir.File("new.bmp"));
  s.Commit();
  EXPECT_EQ(ModeOf(dir.File("new.bmp")), 0666 & ~static_cast<int>(mask));
}

TEST(SafeFileStream, SavingThroughASymbolicLinkWritesItsFileAndKeepsTheLink) {
  testsupport::ScratchDir dir;
  std::filesystem::create_directories(dir.Path() / "real" / "deeper");
  struct Case {
    const char* link;         // made in the scratch folder
    const char* linkText;     // what the link holds
    const char* realFile;     // the file that must receive the data, relative to the scratch folder
    bool realExists;
  };
  const Case cases[] = {
      {"abs.bmp", nullptr, "real/a.bmp", true},             // absolute link (text filled in below)
      {"rel.bmp", "real/b.bmp", "real/b.bmp", true},        // relative to the link's folder
      {"chain.bmp", "rel.bmp", "real/b.bmp", true},         // a link to a link
      {"up.bmp", "real/deeper/../c.bmp", "real/c.bmp", true},
      {"dangling.bmp", "real/new.bmp", "real/new.bmp", false},  // a link to a file not yet there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    const std::string real = dir.File(c.realFile);
    if (c.realExists) WriteFile(real, "old", 0640);
    const std::string text = c.linkText ? c.linkText : real;
    const std::string link = dir.File(c.link);
    if (!std::filesystem::is_symlink(link)) std::filesystem::create_symlink(text, link);
    {
      TSafeFileStream s(link);
      EXPECT_EQ(std::filesystem::weakly_canonical(s.FileName()), std::filesystem::weakly_canonical(real));
      s.WriteBuffer(c.link, static_cast<int32_t>(std::strlen(c.link)));
      s.Commit();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), text);
    EXPECT_EQ(ReadAll(real), c.link);
    if (c.realExists) {
      EXPECT_EQ(ModeOf(real), 0640);
    }
  }
  // Nothing but the links and the real files, no temporary file anywhere.
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"abs.bmp", "chain.bmp", "dangling.bmp", "real", "rel.bmp", "up.bmp"}));
  EXPECT_EQ(Entries(dir.Path() / "real"), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp", "deeper", "new.bmp"}));
  // A loop of links is refused and creates nothing.
  std::filesystem::create_symlink("loop2", dir.File("loop1"));
  std::filesystem::create_symlink("loop1", dir.File("loop2"));
  EXPECT_THROW(TSafeFileStream(dir.File("loop1")), EFCreateError);
  EXPECT_EQ(Entries(dir.Path()).size(), 8u);
}

TEST(SafeFileStream, NamesUpToTheFileSystemsLimitSave) {
  testsupport::ScratchDir dir;
  const long limit = ::pathconf(dir.Path().c_str(), _PC_NAME_MAX);
  ASSERT_GE(limit, 255);
  std::string twoByte;  // 127 two-byte characters and one more byte: a cut of the hidden name lands mid-character
  for (int i = 0; i < 127; ++i) twoByte += "\xC3\xA9";
  twoByte += "x";
  for (const std::string& name : {std::string(241, 'a'), std::string(242, 'b'), std::string(250, 'c'),
                                  std::string(static_cast<size_t>(limit), 'd'), twoByte}) {
    SCOPED_TRACE(name.size());
    const std::string target = dir.File(name);
    WriteFile(target, "old");
    {
      TSafeFileStream s(target);
      const std::string temp = ExtractFileName(s.TempName());
      EXPECT_LE(temp.size(), static_cast<size_t>(limit));
      EXPECT_EQ(temp[0], '.');
      // The hidden name is cut at a character boundary: it is valid UTF-8 up to the random suffix.
      const std::string prefix = temp.substr(1, temp.size() - 14);
      EXPECT_EQ(name.compare(0, prefix.size(), prefix), 0);
      EXPECT_TRUE(prefix.empty() || (static_cast<uint8_t>(name[prefix.size() - 1]) & 0xC0) != 0xC0);
      s.WriteBuffer("new", 3);
      s.Commit();
    }
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{name});
    std::filesystem::remove(target);
  }
}

// A writable file in a folder where no file can be created is written in place, and only at Commit.
// The child runs as an unprivileged user, whom the folder's permission bits stop.
TEST(SafeFileStream, AWritableFileInAReadOnlyFolderIsWrittenInPlaceAtCommit) {
  testsupport::ScratchDir dir;
  std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
  const std::filesystem::path folder = dir.Path() / "ro";
  const std::string target = (folder / "picture.bmp").string();
  const std::string old(300, 'o');
  struct Case {
    const char* name;
    int fileMode;
    std::string data;        // written before Commit
    bool commit;
    bool inPlaceFallback;
    const char* report;      // what the child saw
    bool replaced;           // the file holds data afterwards (else it is byte-identical)
  };
  const Case cases[] = {
      {"longer", 0666, std::string(5000, 'L'), true, true, "in place, committed", true},
      {"shorter", 0666, "short", true, true, "in place, committed", true},
      {"failure before commit", 0666, std::string(5000, 'F'), false, true, "in place", false},
      {"in place not allowed", 0666, "x", true, false, "refused", false},
      {"read-only file", 0444, "x", true, true, "refused", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    WriteFile(target, old, c.fileMode);
    std::filesystem::permissions(folder, std::filesystem::perms(0555));
    const std::string report = testsupport::RunInChild({.Unprivileged = true}, [&] {
      try {
        TSafeFileStream s(target, c.inPlaceFallback);
        std::string seen = s.InPlace() && s.TempName().empty() ? "in place" : "beside";
        s.WriteBuffer(c.data.data(), static_cast<int32_t>(c.data.size()));
        if (c.commit) {
          s.Commit();
          seen += ", committed";
        }
        return seen;
      } catch (const EFCreateError&) {
        return std::string("refused");
      }
    });
    EXPECT_EQ(report, c.report);
    EXPECT_EQ(ReadAll(target), c.replaced ? c.data : old);
    EXPECT_EQ(ModeOf(target), c.fileMode);
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"picture.bmp"});
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
  }
}

// A full disk (a file-size limit) while the data is written, or, in place, only at Commit: the target
// stays byte-identical and nothing is left behind.
TEST(SafeFileStream, AFullDiskLeavesTheTargetAsItWas) {
  testsupport::ScratchDir dir;
  std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
  const std::string old(3000, 'o');
  const std::string big(8000, 'N');
  // Beside the target: the temporary file's write fails.
  const std::string target = dir.File("a.bmp");
  WriteFile(target, old);
  std::string report = testsupport::RunInChild({.FileSizeLimit = 4096}, [&] {
    TSafeFileStream s(target);
    try {
      s.WriteBuffer(big.data(), static_cast<int32_t>(big.size()));
      s.Commit();
      return std::string("written");
    } catch (const EWriteError& e) {
      return e.Message();
    }
  });
  EXPECT_EQ(report, "Stream write error");
  EXPECT_EQ(ReadAll(target), old);
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"a.bmp"});

  // In place: the disk fills while the bytes beyond the old end go out, before any old byte changed.
  const std::filesystem::path folder = dir.Path() / "ro";
  std::filesystem::create_directories(folder);
  const std::string inPlace = (folder / "b.bmp").string();
  WriteFile(inPlace, old, 0666);
  std::filesystem::permissions(folder, std::filesystem::perms(0555));
  report = testsupport::RunInChild({.Unprivileged = true}, [&] {
    TSafeFileStream s(inPlace);
    s.WriteBuffer(big.data(), static_cast<int32_t>(big.size()));
    const rlimit limit{4096, 4096};
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      s.Commit();
      return std::string("written");
    } catch (const EFCreateError&) {
      return std::string(s.InPlace() ? "refused in place" : "refused");
    }
  });
  EXPECT_EQ(report, "refused");  // the stream no longer holds the target once Commit has ended
  EXPECT_EQ(ReadAll(inPlace), old);
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"b.bmp"});
  std::filesystem::permissions(folder, std::filesystem::perms(0755));
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
