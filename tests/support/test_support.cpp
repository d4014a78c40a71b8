#include "tests/support/test_support.h"

#include <cstdlib>
#include <random>
#include <system_error>

namespace testsupport {

std::filesystem::path DataDir() {
  if (const char* dir = std::getenv("BRIMVALE_TEST_DATA")) return dir;
  return std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
}

ScratchDir::ScratchDir() {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("brimvale-test-" + std::to_string(gen()));
    std::error_code ec;
    if (std::filesystem::create_directory(path_, ec)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testsupport
