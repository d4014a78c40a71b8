#include "controls/xc_file_utils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_support.h"

namespace {

TEST(FileUtils, ValidFileNames) {
  for (const char* good : {"/home/user/a b/c.txt", "c:\\dir\\x.txt", "relative/name", "a:b", "\xC3\xA9t\xC3\xA9.png"})
    EXPECT_TRUE(IsValidFileName(good)) << good;
  for (const std::string& bad :
       std::vector<std::string>{"", "what?.txt", "a|b", "<x>", "say\"hi\"", "star*", std::string("nul\0l", 5)})
    EXPECT_FALSE(IsValidFileName(bad)) << bad;
}

TEST(FileUtils, LongAndShortFormsOfExistingPaths) {
  testsupport::ScratchDir dir;
  std::filesystem::create_directories(dir.Path() / "Folder One");
  std::ofstream(dir.File("Folder One/Picture.JPG")) << "x";
  const std::string root = dir.Path().string();
  const std::string file = root + "/Folder One/Picture.JPG";
  EXPECT_EQ(LongNameOf(file), "Picture.JPG");
  EXPECT_EQ(ShortNameOf(file), "Picture.JPG");
  EXPECT_EQ(LongNameOf(root + "/Folder One"), "Folder One");
  EXPECT_EQ(LongNameOf(root + "/missing.txt"), "");
  EXPECT_EQ(LongNameOf(root + "/Folder One/"), "");
  EXPECT_EQ(LongNameOf(""), "");
  EXPECT_EQ(LongPathOf(file), file);
  EXPECT_EQ(ShortPathOf(file), file);
  // A component that does not exist becomes empty: its "/" stays with nothing after it.
  EXPECT_EQ(LongPathOf(root + "/Folder One/new.png"), root + "/Folder One/");
  EXPECT_EQ(LongPathOf(root + "/gone/Picture.JPG"), root + "//");
  // The part before the first "/" stays as it is.
  EXPECT_EQ(LongPathOf("nowhere/x"), "nowhere/");
  EXPECT_EQ(LongPathOf("plain"), "plain");
}

TEST(FileUtils, VersionsAreFixed) {
  EXPECT_EQ(FileVersionMS("/bin/sh"), 0u);
  EXPECT_EQ(ShellVersion(), 0x00060000u);
  EXPECT_GE(ShellVersion(), 0x40000u);  // the folder dialog needs at least 4.0
}

TEST(FileUtils, CommandLinesSplitIntoTokens) {
  struct Case {
    std::string line;
    std::vector<std::string> tokens;
  } cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"  \t prog  ", {"prog"}},
      {"\"C:\\Program Files\\x.exe\" -v", {"C:\\Program Files\\x.exe", "-v"}},
      {"a\"b c\"d e", {"ab cd", "e"}},        // a quoted run inside a token
      {"\"\"prog arg", {"prog", "arg"}},       // "" opening a token is skipped
      {"\"unclosed run", {"unclosed run"}},
      {"", {}},
      {std::string("one\0two", 7), {"one"}},  // a NUL ends the text
      {"x \"\" y", {"x"}},                     // an empty token ends the reading
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountCommandLineParams(c.line), static_cast<int32_t>(c.tokens.size())) << c.line;
    for (size_t i = 0; i < c.tokens.size(); ++i) EXPECT_EQ(CommandLineParam(c.line, static_cast<int32_t>(i)), c.tokens[i]);
    EXPECT_EQ(CommandLineParam(c.line, static_cast<int32_t>(c.tokens.size())), "");
  }
  EXPECT_EQ(CommandLineParam("a b", -1), "");
  // Tokens are not cut at 256 characters.
  std::string longToken(1000, 'q');
  EXPECT_EQ(CommandLineParam("p " + longToken, 1), longToken);
}

TEST(FileUtils, ProgramAndArgumentsWithBlanksQuotedAgain) {
  std::string program = "old", arguments = "old";
  SplitProgramAndArguments("edit \"my file.txt\" \"plain\" -x", program, arguments);
  EXPECT_EQ(program, "edit");
  EXPECT_EQ(arguments, "\"my file.txt\" plain -x");
  SplitProgramAndArguments("   ", program, arguments);
  EXPECT_EQ(program, "");
  EXPECT_EQ(arguments, "");
  // The outputs may be the line itself.
  std::string line = "a b";
  SplitProgramAndArguments(line, line, arguments);
  EXPECT_EQ(line, "a");
  EXPECT_EQ(arguments, "b");
}

}  // namespace
