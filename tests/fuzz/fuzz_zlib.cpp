// zlib data: inflated through the decompression stream and as a whole buffer. Output is capped so
// that a small input expanding without end stays fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/core/ie_zlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr int64_t kCap = 8 << 20;
  try {
    TCustomMemoryStream source(data, static_cast<int64_t>(size));
    TZDecompressionStream z(source);
    std::vector<uint8_t> out(65536);
    int64_t total = 0;
    for (int32_t got; total < kCap && (got = z.Read(out.data(), static_cast<int32_t>(out.size()))) > 0;) total += got;
    if (total < kCap) {
      z.Seek(0, soBeginning);
      z.Seek(total / 2, soBeginning);
    }
  } catch (const Exception&) {
  }
  // The whole-buffer routine only for inputs that cannot expand past the cap.
  if (size > 0 && size < 4096) {
    try {
      void* buffer = nullptr;
      int32_t length = 0;
      ZDecompressBuffer(data, static_cast<int32_t>(size), buffer, length, 0);
      std::free(buffer);
    } catch (const Exception&) {
    }
  }
  return 0;
}
