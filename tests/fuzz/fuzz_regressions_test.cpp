// The inputs kept in the tree fed to their fuzz targets' entries, in every build: the corpus
// (tests/fuzz/corpus/<target>/) and the inputs that once made a target crash, hang, leak or meet
// undefined behaviour (tests/fuzz/regressions/<target>/, each named after the fault it showed). In
// the sanitizer build a memory fault or undefined behaviour ends the program like a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_entries.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs every file of every <target> folder under Root through the target's entry (after its
// initializer, once per target); returns the number of files run. A folder that names no target
// fails the test: a kept input must never be skipped silently.
int RunFolders(const fs::path& root) {
  std::map<std::string, const TFuzzEntry*> byName;
  for (const TFuzzEntry& e : FuzzEntries()) byName[e.Name] = &e;
  int runs = 0;
  if (!fs::exists(root)) return 0;
  std::vector<fs::path> folders;
  for (const auto& d : fs::directory_iterator(root)) folders.push_back(d.path());
  std::sort(folders.begin(), folders.end());
  for (const fs::path& folder : folders) {
    if (!fs::is_directory(folder)) continue;
    const auto it = byName.find(folder.filename().string());
    if (it == byName.end()) {
      ADD_FAILURE() << folder << " names no fuzz target";
      continue;
    }
    const TFuzzEntry& entry = *it->second;
    if (entry.Initialize) {
      int argc = 0;
      char** argv = nullptr;
      entry.Initialize(&argc, &argv);
    }
    std::vector<fs::path> files;
    for (const auto& f : fs::directory_iterator(folder))
      if (f.is_regular_file()) files.push_back(f.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      SCOPED_TRACE(file.string());
      const std::vector<uint8_t> data = ReadAll(file);
      EXPECT_EQ(entry.TestOneInput(data.data(), data.size()), 0);
      ++runs;
    }
  }
  return runs;
}

TEST(FuzzRegressions, EveryTargetSourceHasAnEntry) {
  // Each fuzz_<name>.cpp beside this file is a target (the seed writer and this test aside): one
  // missing from tests/fuzz/CMakeLists.txt would never see its kept inputs.
  std::map<std::string, const TFuzzEntry*> byName;
  for (const TFuzzEntry& e : FuzzEntries()) byName[e.Name] = &e;
  int sources = 0;
  for (const auto& f : fs::directory_iterator(fs::path(BRIMVALE_FUZZ_DIR))) {
    const std::string stem = f.path().stem().string();
    if (f.path().extension() != ".cpp" || stem.rfind("fuzz_", 0) != 0) continue;
    if (stem == "fuzz_make_seeds" || stem == "fuzz_regressions_test") continue;
    ++sources;
    EXPECT_TRUE(byName.count(stem)) << stem << " has no entry";
  }
  EXPECT_EQ(sources, static_cast<int>(FuzzEntries().size()));
}

TEST(FuzzRegressions, InputsThatOnceFailedRunCleanly) {
  RunFolders(fs::path(BRIMVALE_FUZZ_DIR) / "regressions");
}

TEST(FuzzRegressions, TheCorpusRunsCleanly) {
  EXPECT_GT(RunFolders(fs::path(BRIMVALE_FUZZ_DIR) / "corpus"), 0);
}

}  // namespace
