#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/system/debug_log.h"
#include "tests/support/test_support.h"

namespace {

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

// Points the store at a fresh file in a scratch folder for one test and back afterwards.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = RegistryFileName();
    file_ = scratch_.File("settings/registry.txt");
    SetRegistryFileName(file_);
  }
  void TearDown() override { SetRegistryFileName(saved_); }
  // Drops what is in memory so the next use reads the file again, as a new run would.
  void Reload() { SetRegistryFileName(file_); }

  testsupport::ScratchDir scratch_;
  std::string file_;
  std::string saved_;
};

const char kKey[] = "Software\\\\Brimvale\\\\Brimvale\\\\8.3";

TEST_F(RegistryTest, IniFileRoundTripThroughTheFile) {
  {
    TRegistryIniFile ini(kKey);
    ini.WriteInteger("Options", "Resolution", 300);
    ini.WriteString("Options", "OutDir", "/home/u/\"frames\"\\\n");
    ini.WriteBool("Options", "Flag", true);
    ini.WriteFloat("Options", "Ratio", 1.25);
    const uint8_t bytes[] = {0, 1, 0xFF};
    ini.WriteBinary("Setup", "Blob", bytes, 3);
  }
  Reload();
  TRegistryIniFile ini("Software\\Brimvale\\Brimvale\\8.3");  // single separators name the same key
  EXPECT_EQ(ini.ReadInteger("Options", "Resolution", 72), 300);
  EXPECT_EQ(ini.ReadString("Options", "OutDir", "C:\\"), "/home/u/\"frames\"\\\n");
  EXPECT_TRUE(ini.ReadBool("Options", "Flag", false));
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Options", "Ratio", 0), 1.25);
  EXPECT_EQ(ini.ReadBinary("Setup", "Blob"), (std::vector<uint8_t>{0, 1, 0xFF}));
  // Names are compared without case; the integer reads as text too.
  EXPECT_EQ(ini.ReadString("OPTIONS", "resolution", ""), "300");
  EXPECT_TRUE(ini.SectionExists("Setup"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Options", "Setup"}));
}

TEST_F(RegistryTest, MissingValuesAndWrongTypesGiveDefaults) {
  TRegistryIniFile ini(kKey);
  EXPECT_EQ(ini.ReadInteger("Options", "Resolution", 72), 72);
  EXPECT_EQ(ini.ReadString("Options", "OutDir", "C:\\"), "C:\\");
  ini.WriteString("Options", "Resolution", "abc");
  ini.WriteString("Options", "Hex", "$1F");
  ini.WriteBinary("Options", "Bin", "xy", 2);
  EXPECT_EQ(ini.ReadInteger("Options", "Resolution", 72), 72);
  EXPECT_EQ(ini.ReadInteger("Options", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Options", "Bin", 5), 5);
  EXPECT_EQ(ini.ReadString("Options", "Bin", "d"), "d");
  // The ini object creates its key on first use, as the settings reader expects on a first run.
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists("\\Software\\Brimvale\\Brimvale\\8.3"));
}

TEST_F(RegistryTest, RegistryKeysValuesAndErrors) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\X", false));
  ASSERT_TRUE(reg.OpenKey("\\\\Software\\\\X\\\\", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\X");
  reg.WriteInteger("n", -5);
  reg.WriteString("s", "text");
  EXPECT_EQ(reg.ReadInteger("n"), -5);
  EXPECT_EQ(reg.GetDataType("s"), rdString);
  EXPECT_EQ(reg.GetDataSize("s"), 4);
  EXPECT_EQ(reg.GetDataSize("none"), -1);
  try {
    reg.ReadInteger("s");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Invalid data type for 's'");
  }
  try {
    reg.ReadString("none");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Failed to get data for 'none'");
  }
  // A relative path opens below the current key.
  ASSERT_TRUE(reg.OpenKey("Sub", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\X\\Sub");
  reg.CloseKey();
  EXPECT_THROW(reg.WriteInteger("n", 1), ERegistryException);
  EXPECT_TRUE(reg.DeleteKey("Software\\X"));
  EXPECT_FALSE(reg.KeyExists("Software\\X\\Sub"));
}

TEST_F(RegistryTest, SavingReplacesTheFileWholeAndNeverInPlace) {
  {
    TRegistryIniFile ini(kKey);
    ini.WriteInteger("Options", "Resolution", 1);
  }
  std::string before = ReadAll(file_);
  ASSERT_FALSE(before.empty());
  // A second name for the old file: writing in place would change what it shows.
  std::string link = scratch_.File("old-link");
  std::filesystem::create_hard_link(file_, link);
  {
    TRegistryIniFile ini(kKey);
    ini.WriteInteger("Options", "Resolution", 2);
  }
  EXPECT_EQ(ReadAll(link), before);
  EXPECT_NE(ReadAll(file_), before);
  // Nothing but the file itself is left in its folder.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(std::filesystem::path(file_).parent_path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  Reload();
  TRegistryIniFile ini(kKey);
  EXPECT_EQ(ini.ReadInteger("Options", "Resolution", 0), 2);
}

TEST_F(RegistryTest, CorruptFilesGiveDefaultsAndAreKeptAside) {
  const std::string cases[] = {
      std::string("\x00\xFF\x12garbage", 10),
      "Brimvale registry 1\n[HKEY_CURRENT_USER\\Software\n\"a\"=dword:1\n",
      "Brimvale registry 1\n\"a\"=dword:00000001\n",
      "Brimvale registry 1\n[HKEY_CURRENT_USER\\S]\n\"a\"=dword:0000001\n",
      "Brimvale registry 1\n[HKEY_CURRENT_USER\\S]\n\"a\"=hex:0,1\n",
      "Brimvale registry 1\n[HKEY_CURRENT_USER\\S]\n\"a=\"x\"\n",
      "Brimvale registry 1\n[HKEY_NOWHERE\\S]\n",
      "",
  };
  for (const auto& text : cases) {
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
    WriteAll(file_, text);
    Reload();
    TRegistryIniFile ini(kKey);
    EXPECT_EQ(ini.ReadInteger("Options", "Resolution", 72), 72);
    ini.WriteInteger("Options", "Resolution", 96);
    ini.UpdateFile();
    EXPECT_EQ(ReadAll(file_ + ".corrupt"), text);
    Reload();
    EXPECT_EQ(TRegistryIniFile(kKey).ReadInteger("Options", "Resolution", 72), 96);
    std::filesystem::remove(file_ + ".corrupt");
  }
}

// ------------------------------------------------------------------------ settings files as users have them

const char kOptions[] = "HKEY_CURRENT_USER\\Software\\Brimvale\\Brimvale\\8.3\\Options";

std::string SettingsText(const std::string& eol, const std::string& between = std::string()) {
  return "Brimvale registry 1" + eol + "[" + kOptions + "]" + eol + "\"A\"=dword:00000001" + eol + between +
         "\"B\"=\"two\"" + eol;
}

std::vector<std::string> Entries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What a run sees of the options: values A and B as read, and New.
std::string ReadOptions() {
  TRegistry reg;
  if (!reg.OpenKeyReadOnly("\\Software\\Brimvale\\Brimvale\\8.3\\Options")) return "A=- B=- New=-";
  const auto value = [&](const char* name, bool text) -> std::string {
    try {
      return text ? reg.ReadString(name) : std::to_string(reg.ReadInteger(name));
    } catch (const ERegistryException&) {
      return "-";
    }
  };
  return "A=" + value("A", false) + " B=" + value("B", true) + " New=" + value("New", false);
}

// One run of the program in a child process, as an unprivileged user: reads the options, writes
// New = 7 through the ini object and reads again (what the rest of the run sees).
std::string RunOnce(const std::string& file, const std::string& log, int64_t fileSizeLimit = -1) {
  return testsupport::RunInChild({.Unprivileged = true, .FileSizeLimit = fileSizeLimit}, [&] {
    SetDebugLogFileName(log);
    SetRegistryFileName(file);
    std::string seen = ReadOptions();
    {
      TRegistryIniFile ini(kKey);
      ini.WriteInteger("Options", "New", 7);
      ini.UpdateFile();
    }
    return seen + " | " + ReadOptions();
  });
}

// What the next run reads from the file, changing nothing.
std::string NextRunReads(const std::string& file) {
  return testsupport::RunInChild({.Unprivileged = true}, [&] {
    SetDebugLogFileName("/dev/null");
    SetRegistryFileName(file);
    return ReadOptions();
  });
}

TEST(RegistryFiles, EveryKindOfFileKeepsTheUsersSettings) {
  testsupport::ScratchDir scratch;
  std::filesystem::permissions(scratch.Path(), std::filesystem::perms(0755));
  const std::filesystem::path folder = scratch.Path() / "settings";
  const std::string file = (folder / "registry.txt").string();
  const std::string log = scratch.File("debug.log");
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  const std::string tenMegabytes(10 << 20, 'x');
  const std::string good = SettingsText("\n");
  // For the full disk: large enough that the debug log's lines stay below the file-size limit.
  const std::string large = SettingsText("\n", "\"Pad\"=\"" + std::string(8000, 'p') + "\"\n");

  enum Setup { kFile, kFolderInItsPlace, kEarlierCopyAside };
  struct Case {
    const char* name;
    Setup setup;
    std::string text;
    int fileMode;
    int folderMode;
    int64_t fileSizeLimit;
    const char* seen;      // before the write | after it, in the same run
    const char* nextRun;   // what the next run reads
    bool unchanged;        // the file (or folder) is as it was
    const char* aside;     // the kept-aside copy (byte-identical to the file), or nullptr
    const char* logSays;
  };
  const char* kRead = "A=1 B=two New=- | A=1 B=two New=7";
  const char* kDefaults = "A=- B=- New=- | A=- B=- New=7";
  const Case cases[] = {
      {"good", kFile, good, 0666, 0777, -1, kRead, "A=1 B=two New=7", false, nullptr, ""},
      {"CRLF", kFile, SettingsText("\r\n"), 0666, 0777, -1, kRead, "A=1 B=two New=7", false, nullptr, ""},
      {"one bad line among good ones", kFile, SettingsText("\n", "\"C\"=dword:zz\n"), 0666, 0777, -1, kRead,
       "A=1 B=two New=7", false, "registry.txt.corrupt", "line 4 skipped"},
      {"empty", kFile, "", 0666, 0777, -1, kDefaults, "A=- B=- New=7", false, nullptr, ""},
      {"binary garbage", kFile, garbage, 0666, 0777, -1, kDefaults, "A=- B=- New=7", false, "registry.txt.corrupt",
       "no valid header"},
      {"NULs", kFile, std::string(4096, '\0'), 0666, 0777, -1, kDefaults, "A=- B=- New=7", false,
       "registry.txt.corrupt", "no valid header"},
      {"a 10 MB line", kFile, SettingsText("\n", tenMegabytes + "\n"), 0666, 0777, -1, kRead, "A=1 B=two New=7", false,
       "registry.txt.corrupt", "line 4 skipped"},
      {"an earlier copy kept aside", kEarlierCopyAside, garbage, 0666, 0777, -1, kDefaults, "A=- B=- New=7", false,
       "registry.txt.corrupt-2", "kept aside"},
      {"a folder in its place", kFolderInItsPlace, "", 0755, 0777, -1, kDefaults, "A=- B=- New=-", true, nullptr,
       "a folder in its place"},
      {"unreadable", kFile, good, 0000, 0777, -1, kDefaults, "A=- B=- New=-", true, nullptr, "cannot be read"},
      {"read-only folder", kFile, good, 0666, 0555, -1, kRead, "A=1 B=two New=-", true, nullptr, "not saved"},
      {"full disk", kFile, large, 0666, 0777, static_cast<int64_t>(large.size()) + 4, kRead, "A=1 B=two New=-", true,
       nullptr, "not saved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(0777));
    WriteAll(log, "");
    ::chmod(log.c_str(), 0666);
    std::vector<std::string> before;
    if (c.setup == kFolderInItsPlace) {
      std::filesystem::create_directories(file);
      WriteAll(file + "/inside.txt", "mine");
    } else {
      WriteAll(file, c.text);
      ::chmod(file.c_str(), static_cast<mode_t>(c.fileMode));
    }
    if (c.setup == kEarlierCopyAside) WriteAll(file + ".corrupt", "an earlier copy");
    before = Entries(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(c.folderMode));

    EXPECT_EQ(RunOnce(file, log, c.fileSizeLimit), c.seen);
    EXPECT_EQ(NextRunReads(file), c.nextRun);

    std::vector<std::string> after = before;
    if (c.aside) after.push_back(c.aside);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(Entries(folder), after);  // nothing else: no temporary file, no copy over a copy
    if (c.setup == kFolderInItsPlace) {
      EXPECT_TRUE(std::filesystem::is_directory(file));
      EXPECT_EQ(ReadAll(file + "/inside.txt"), "mine");
    } else if (c.unchanged) {
      EXPECT_EQ(ReadAll(file), c.text);
    }
    if (c.setup != kFolderInItsPlace) {
      struct stat st;
      ASSERT_EQ(::stat(file.c_str(), &st), 0);
      EXPECT_EQ(static_cast<int>(st.st_mode & 0777), c.fileMode);  // a rewrite keeps the mode
    }
    if (c.aside) {
      EXPECT_EQ(ReadAll((folder / c.aside).string()), c.text);
    }
    if (c.setup == kEarlierCopyAside) {
      EXPECT_EQ(ReadAll(file + ".corrupt"), "an earlier copy");
    }
    EXPECT_NE(ReadAll(log).find(c.logSays), std::string::npos) << ReadAll(log);

    std::filesystem::permissions(folder, std::filesystem::perms(0777));
    std::filesystem::remove_all(folder);
  }
}

// A settings file kept elsewhere behind a symbolic link: saving writes that file and keeps the link.
TEST_F(RegistryTest, ASymlinkedSettingsFileStaysALink) {
  const std::filesystem::path dotfiles = scratch_.Path() / "dotfiles";
  std::filesystem::create_directories(dotfiles);
  std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
  WriteAll((dotfiles / "registry.txt").string(), SettingsText("\n"));
  std::filesystem::create_symlink("../dotfiles/registry.txt", file_);
  Reload();
  for (int value : {7, 8}) {  // the second save goes through the link as well
    TRegistryIniFile ini(kKey);
    EXPECT_EQ(ini.ReadInteger("Options", "A", 0), 1);
    ini.WriteInteger("Options", "New", value);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_NE(ReadAll((dotfiles / "registry.txt").string()).find("\"New\"=dword:00000008"), std::string::npos);
  EXPECT_EQ(Entries(dotfiles), std::vector<std::string>{"registry.txt"});
  Reload();
  EXPECT_EQ(TRegistryIniFile(kKey).ReadInteger("Options", "New", 0), 8);
}

}  // namespace
