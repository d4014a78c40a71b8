// The utility library's routines: strings and character tables, files, the shell, wait objects and
// exceptions, the list of shared blocks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "controls/xrl/xrl_base.h"
#include "controls/xrl/xrl_file_utils.h"
#include "controls/xrl/xrl_shell.h"
#include "controls/xrl/xrl_strings.h"
#include "controls/xrl/xrl_synch.h"
#include "controls/xrl/xrl_sys_info.h"
#include "controls/xrl/xrl_sys_utils.h"
#include "tests/support/test_support.h"

namespace {

TEST(XrlStrings, SuffixesAndCounts) {
  EXPECT_EQ(EnsureNoSuffix("\\", "C:\\dir\\\\"), "C:\\dir\\");  // exactly one goes
  EXPECT_EQ(EnsureNoSuffix("/", "/a/b"), "/a/b");
  EXPECT_EQ(EnsureNoSuffix(".TXT", "a.txt"), "a.txt");  // case-sensitive
  EXPECT_EQ(EnsureNoSuffix("", "abc"), "abc");
  EXPECT_EQ(EnsureNoSuffix("long suffix", "abc"), "abc");
  EXPECT_EQ(CountOfCharIn("1.234.567", '.'), 2);
  EXPECT_EQ(CountOfCharIn("", '.'), 0);
}

TEST(XrlStrings, CompareRangeAnswers) {
  struct Case {
    std::string a, b;
    int32_t start;
    bool caseSensitive;
    int32_t count;
    int32_t expected;
  } cases[] = {
      {"\\\\", "\\\\server\\share", 1, true, 2, 0},  // a network path's two backslashes
      {"Hello", "ell", 2, true, 3, 0},
      {"Hello", "ELL", 2, false, 3, 0},
      {"Hello", "ELL", 2, true, 3, 'e' - 'E'},
      {"Hello", "elx", 2, true, 3, 'l' - 'x'},
      {"Hello", "el", 2, true, 3, 0},   // fewer when text 2 is shorter
      {"", "x", 1, true, 1, -1},
      {"x", "", 1, true, 1, -1},
      {"Hello", "H", 1, true, 0, -2},
      {"Hello", "H", 1, true, -5, -2},
      {"Hello", "lo", 4, true, 3, -2},  // text 1 ends before start + count - 1
      {"Hello", "H", 0, true, 1, -2},   // a start below 1 would read before the text
      {"Hello", "H", -100, true, 1, -2},
      {"Hello", "H", INT32_MAX, true, INT32_MAX, -2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompareRange(c.a, c.b, c.start, c.caseSensitive, c.count), c.expected)
        << c.a << " / " << c.b << " from " << c.start << " count " << c.count;
}

TEST(XrlStrings, CharacterTablesCoverAsciiAndLeaveTheRest) {
  InitializeCharacterTables();
  EXPECT_EQ(CharacterType('A') & (C1_UPPER | C1_ALPHA | C1_XDIGIT), C1_UPPER | C1_ALPHA | C1_XDIGIT);
  EXPECT_TRUE(CharacterType('z') & C1_LOWER);
  EXPECT_TRUE(CharacterType('7') & C1_DIGIT);
  EXPECT_TRUE(CharacterType(' ') & C1_BLANK);
  EXPECT_TRUE(CharacterType('\t') & C1_SPACE);
  EXPECT_TRUE(CharacterType('\x01') & C1_CNTRL);
  EXPECT_TRUE(CharacterType('!') & C1_PUNCT);
  EXPECT_EQ(CharacterType(0xC3), 0);
  EXPECT_EQ(CharLower('Q'), 'q');
  EXPECT_EQ(CharUpper('q'), 'Q');
  EXPECT_EQ(CharSwapCase('q'), 'Q');
  EXPECT_EQ(CharSwapCase('Q'), 'q');
  EXPECT_EQ(CharSwapCase('5'), '5');
  EXPECT_EQ(CharLower(0xC9), 0xC9);
  EXPECT_EQ(CharUpper(0xE9), 0xE9);
}

TEST(XrlFiles, ExistingFilesAndFolders) {
  testsupport::ScratchDir dir;
  std::ofstream(dir.File("f.txt")) << "x";
  EXPECT_TRUE(IsExistingDirectory(dir.Path().string()));
  EXPECT_FALSE(IsExistingDirectory(dir.File("f.txt")));
  EXPECT_FALSE(IsExistingDirectory(dir.File("none")));
  EXPECT_FALSE(IsExistingDirectory(""));
  EXPECT_TRUE(IsExistingFile(dir.File("f.txt")));
  EXPECT_FALSE(IsExistingFile(dir.Path().string()));
  EXPECT_FALSE(IsExistingFile(dir.File("none")));
  EXPECT_FALSE(IsExistingFile(""));
  // The program's whole path, from its own executable link.
  std::string path = ModulePath(MainModuleHandle());
  EXPECT_EQ(path, std::filesystem::read_symlink("/proc/self/exe").string());
  TFixedFileInfo info;
  EXPECT_FALSE(ReadFixedFileInfo(path, info));
  char block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ZeroMemoryBlock(block, 4);
  EXPECT_EQ(block[3], 0);
  EXPECT_EQ(block[4], 5);
  ZeroMemoryBlock(block, -1);
  HMODULE none = 0;
  FreeModuleHandle(none);
  EXPECT_EQ(none, 0u);
}

TEST(XrlShell, PathsStayAndOnlyNoItemIsFreed) {
  EXPECT_EQ(LocalizedDisplayPath("/home/user/Pictures"), "/home/user/Pictures");
  EXPECT_EQ(LocalizedDisplayPath("\\\\server\\share"), "\\\\server\\share");
  void* none = nullptr;
  EXPECT_TRUE(FreeShellItemId(none));
  int item = 0;
  void* some = &item;
  EXPECT_FALSE(FreeShellItemId(some));
  EXPECT_EQ(some, &item);
}

TEST(XrlSynch, WaitAnswersAndTheMutex) {
  struct Case {
    uint32_t answer;
    TWaitOutcome outcome;
  } cases[] = {{0x000, woSignaled},     {0x080, woAbandoned}, {0x0C0, woIoCompletion},
               {0x102, woTimeout},      {0xFFFFFFFF, woError}, {0x001, woError}};
  for (const Case& c : cases) EXPECT_EQ(WaitOutcomeOf(c.answer), c.outcome) << c.answer;

  const std::string name = "BrimvaleTest_xrl_" + std::to_string(getpid());
  TNamedMutex::Unlink(name);
  {
    TXrlMutex owner(true, name);
    EXPECT_FALSE(owner.AlreadyExisted());
    EXPECT_EQ(owner.MutexName(), name);
    TXrlMutex other(false, name);
    EXPECT_TRUE(other.AlreadyExisted());
    EXPECT_EQ(other.WaitSignal(0), woTimeout);
    EXPECT_TRUE(owner.ReleaseOwnership());
    EXPECT_EQ(other.WaitSignal(INFINITE), woSignaled);
    EXPECT_TRUE(other.ReleaseOwnership());
    EXPECT_FALSE(other.ReleaseOwnership());
  }
  TNamedMutex::Unlink(name);
  try {
    TXrlMutex bad(false, "no/slash");
    FAIL() << "no exception";
  } catch (const EXrlMutexError& e) {
    EXPECT_EQ(e.LastError(), static_cast<uint32_t>(EINVAL));
    EXPECT_EQ(e.Message(), "Win32 error: " + SysErrorMessage(EINVAL) + " (22)\r\nFailed to create mutex");
  }
}

TEST(XrlBase, Win32ErrorTextReadsTheLastError) {
  errno = ENOENT;
  EXrlWin32Error e("Opening the list");
  EXPECT_EQ(e.LastError(), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(e.LastErrorMsg(), SysErrorMessage(ENOENT));
  EXPECT_EQ(e.Message(), Format("Win32 error: %s (%u)\r\nOpening the list", SysErrorMessage(ENOENT).c_str(), ENOENT));
  // The family's places.
  EXPECT_NE(dynamic_cast<const EXrlError*>(&e), nullptr);
  ESharedMemError s("x");
  EXPECT_NE(dynamic_cast<const Exception*>(&s), nullptr);
}

TEST(XrlSysInfo, TheRecordAndTheVersionClass) {
  InitializeSystemInfo();
  EXPECT_GE(SystemInfo().ProcessorCount, 1u);
  EXPECT_GT(SystemInfo().PageSize, 0u);
  EXPECT_EQ(SystemInfo().AllocationGranularity % SystemInfo().PageSize, 0u);
  EXPECT_EQ(WindowsVersionClass(), 0);
}

TEST(XrlSharedBlocks, OpenedTwiceSameAddressAndClosedTwice) {
  const std::string name = "BrimvaleTest_block_" + std::to_string(getpid());
  TSharedMemoryBlock::Unlink(name);
  void* a = reinterpret_cast<void*>(1);
  EXPECT_EQ(OpenSharedBlock(a, name, 16, FILE_MAP_ALL_ACCESS), 0);
  ASSERT_NE(a, nullptr);
  static_cast<char*>(a)[0] = 'x';
  void* b = nullptr;
  // Another opening in this process: the same view, counted (names compared without case).
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(OpenSharedBlock(b, upper, 16, FILE_MAP_ALL_ACCESS), kSharedBlockExisted);
  EXPECT_EQ(a, b);
  EXPECT_TRUE(CloseSharedBlock(b));
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(static_cast<char*>(a)[0], 'x');  // still mapped
  void* keep = a;
  EXPECT_TRUE(CloseSharedBlock(a));
  EXPECT_FALSE(CloseSharedBlock(keep));  // unmapped and gone from the list
  void* none = nullptr;
  EXPECT_TRUE(CloseSharedBlock(none));
  // The block itself outlives the mapping: opening it again finds it.
  void* again = nullptr;
  EXPECT_EQ(OpenSharedBlock(again, name, 0, FILE_MAP_READ), kSharedBlockExisted);
  EXPECT_EQ(static_cast<char*>(again)[0], 'x');
  CloseSharedBlock(again);
  TSharedMemoryBlock::Unlink(name);
}

TEST(XrlSharedBlocks, TheTwoNameErrors) {
  void* p = nullptr;
  const std::string missing = "BrimvaleTest_none_" + std::to_string(getpid());
  try {
    OpenSharedBlock(p, missing, 0, FILE_MAP_ALL_ACCESS);
    FAIL() << "no exception";
  } catch (const ESharedMemError& e) {
    EXPECT_EQ(e.Message(), "The MMF named \"" + missing + "\" cannot be created empty");
  }
  for (const char* bad : {"", "a\\b", "a/b"}) {
    try {
      OpenSharedBlock(p, bad, 8, FILE_MAP_ALL_ACCESS);
      ADD_FAILURE() << "no exception for " << bad;
    } catch (const ESharedMemError& e) {
      EXPECT_EQ(e.Message(), std::string("Invalid MMF name \"") + bad + "\"");
    }
  }
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(MessageHandlerCount(typeid(int)), 0);
  EXPECT_EQ(MessageHandlerNumbers(typeid(int)), nullptr);
  EXPECT_EQ(MessageHandlerEntries(typeid(int)), nullptr);
}

}  // namespace
