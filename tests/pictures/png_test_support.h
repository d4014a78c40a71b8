#pragma once
// PNG files built chunk by chunk for the picture class's tests, and small helpers around TPNGObject.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <typeinfo>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pictures/png_picture.h"
#include "platform/system/streams.h"
#include "tests/support/png_fixture.h"

namespace pngtest {

// Files built chunk by chunk (tests/support/png_fixture.h).
using testsupport::Chunks;
using testsupport::ChunkView;
using testsupport::Deflate;
using testsupport::PngFile;
using testsupport::Unfiltered;

inline void Load(TPNGObject& png, const std::vector<uint8_t>& bytes) {
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  png.LoadFromStream(s);
}

inline std::unique_ptr<TPNGObject> Loaded(const std::vector<uint8_t>& bytes) {
  auto png = std::make_unique<TPNGObject>();
  Load(*png, bytes);
  return png;
}

inline std::vector<uint8_t> Saved(TPNGObject& png) {
  TMemoryStream s;
  png.SaveToStream(s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

// Runs f and answers the class of exception it raised and its message ("" when none).
template <class F>
std::pair<std::string, std::string> Raised(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string cls = status == 0 && name ? name : typeid(e).name();
    std::free(name);
    return {cls, e.Message()};
  }
  return {"", ""};
}

}  // namespace pngtest
