// DIBs drawn into DIB bitmaps (DIBToDibbitmap): the first byte chooses how the DIB is handed over
// (a global block or a pointer with its size, the pixels in a separate block cut at a chosen
// point); the next two give the cut; the rest is the DIB. A DIB that is refused answers 0; one that
// is drawn gives a DIB bitmap of the header's size and depth.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/core/ie_dibbitmap.h"
#include "imaging/processing/ie_dib_export.h"
#include "platform/system/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t options = data[0];
  const size_t split = data[1] | static_cast<size_t>(data[2]) << 8;
  std::vector<uint8_t> dib(data + 3, data + size);
  int32_t w = 0, h = 0;
  uint16_t bits = 0;
  if (dib.size() >= 16) {
    std::memcpy(&w, dib.data() + 4, 4);
    std::memcpy(&h, dib.data() + 8, 4);
    std::memcpy(&bits, dib.data() + 14, 2);
    // Keep the pictures small: every run stays fast.
    if (static_cast<int64_t>(w) * (h < 0 ? -static_cast<int64_t>(h) : h) > (1 << 16)) return 0;
  }
  std::vector<uint8_t> pixels;
  if ((options & 1) && split < dib.size()) {
    pixels.assign(dib.begin() + static_cast<ptrdiff_t>(split), dib.end());
    dib.resize(split);
  }
  const void* bitsData = pixels.empty() ? nullptr : pixels.data();
  TIEDibbitmap dest;
  int32_t result = 0;
  if (options & 2) {
    void* handle = GlobalAlloc(GMEM_MOVEABLE, dib.empty() ? 1 : dib.size());
    if (!handle) return 0;
    if (!dib.empty()) std::memcpy(handle, dib.data(), dib.size());
    result = DIBToDibbitmap(handle, dest, bitsData, false, 0, static_cast<int64_t>(pixels.size()));
    GlobalFree(handle);
  } else {
    // An exact-size copy, so that reading past the DIB is caught.
    auto* exact = static_cast<uint8_t*>(std::malloc(dib.empty() ? 1 : dib.size()));
    if (!dib.empty()) std::memcpy(exact, dib.data(), dib.size());
    result = DIBToDibbitmap(exact, dest, bitsData, true, static_cast<int64_t>(dib.size()),
                            static_cast<int64_t>(pixels.size()));
    std::free(exact);
  }
  if (result != 0) {
    const int32_t height = h < 0 ? -h : h;
    if (result != bits || dest.Width() != w || dest.Height() != height || dest.BitCount() != (bits == 1 ? 1 : 24))
      std::abort();
  }
  return 0;
}
