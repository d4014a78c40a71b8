#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
