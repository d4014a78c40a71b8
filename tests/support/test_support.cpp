#include "tests/support/test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <random>
#include <system_error>

namespace testsupport {

std::filesystem::path DataDir() {
  if (const char* dir = std::getenv("BRIMVALE_TEST_DATA")) return dir;
  return std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
}

ScratchDir::ScratchDir() : ScratchDir(std::filesystem::temp_directory_path()) {}

ScratchDir::ScratchDir(const std::filesystem::path& Base) {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  for (int attempt = 0;; ++attempt) {
    path_ = Base / ("brimvale-test-" + std::to_string(gen()));
    std::error_code ec;
    if (std::filesystem::create_directory(path_, ec)) break;
    if (attempt == 100) throw std::filesystem::filesystem_error("cannot make a scratch folder", Base, ec);
  }
}

ScratchDir ScratchDir::InMemory() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK | X_OK) == 0)
    return ScratchDir("/dev/shm");
  return ScratchDir();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testsupport
