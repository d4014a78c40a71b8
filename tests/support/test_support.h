#pragma once
// Small helpers shared by the test executables.
#include <filesystem>
#include <string>

namespace testsupport {

// Folder of the small fixture files kept under tests/data.
std::filesystem::path DataDir();

// A fresh, empty scratch folder for one test, removed when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  // Under Base instead of the system's temporary folder.
  explicit ScratchDir(const std::filesystem::path& Base);
  // In memory (/dev/shm) where the machine has it, else in the temporary folder: tests that save
  // thousands of files stay fast, as syncing a file costs nothing there.
  static ScratchDir InMemory();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
