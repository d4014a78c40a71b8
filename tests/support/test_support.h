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
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
