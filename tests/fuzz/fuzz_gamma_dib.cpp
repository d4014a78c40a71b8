// Gamma correction of a DIB in place: the first byte chooses the gamma, the rest is the DIB (an
// exact-size block, so that a write past it is caught). The header and the colour table never
// change.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/processing/ie_dib_import.h"
#include "platform/system/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const double kGammas[] = {2.2, 1.0, 0.45, 0.0, -1.0, 1e-9, 1e9};
  const double gamma = kGammas[data[0] % (sizeof kGammas / sizeof kGammas[0])];
  const size_t n = size - 1;
  uint8_t* dib = static_cast<uint8_t*>(std::malloc(n));
  std::memcpy(dib, data + 1, n);
  GammaCorrectDIB(dib, static_cast<int64_t>(n), gamma);
  if (std::memcmp(dib, data + 1, n < 40 ? n : 40) != 0) std::abort();
  std::free(dib);
  if (data[0] & 0x80) {
    void* handle = GlobalAlloc(GMEM_MOVEABLE, n);
    std::memcpy(handle, data + 1, n);
    GammaCorrectDIB(handle, gamma);
    GlobalFree(handle);
  }
  return 0;
}
