// DIB import: the first byte chooses how the DIB is handed over (a global block or a pointer with
// its size, the pixels in a separate block cut at a chosen point, a FOURCC put in place of the
// compression); the rest is the DIB. A DIB that is refused leaves the bitmap as it was; one that is
// taken gives a bitmap of the header's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/ie_yuv.h"
#include "platform/system/memory.h"

namespace {

constexpr uint32_t kFourCCs[] = {
    MakeFourCC('I', '4', '2', '0'), MakeFourCC('I', 'Y', 'U', 'V'), MakeFourCC('Y', 'V', '1', '2'),
    MakeFourCC('Y', 'V', 'U', '9'), MakeFourCC('Y', 'U', 'Y', '2'), MakeFourCC('Y', 'U', 'N', 'V'),
    MakeFourCC('U', 'Y', 'V', 'Y'), MakeFourCC('U', 'Y', 'N', 'V'), MakeFourCC('c', 'y', 'u', 'v'),
    MakeFourCC('Y', 'V', 'Y', 'U'), MakeFourCC('I', 'Y', 'U', '1'), MakeFourCC('I', 'Y', 'U', '2'),
    MakeFourCC('Y', '4', '1', 'P'), MakeFourCC('Y', '2', '1', '1'), MakeFourCC('C', 'L', 'J', 'R'),
    0, 1, 2, 3};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t options = data[0];
  const size_t split = data[1] | static_cast<size_t>(data[2]) << 8;
  std::vector<uint8_t> dib(data + 3, data + size);
  if ((options & 8) && dib.size() >= 20) {
    const uint32_t cc = kFourCCs[(options >> 4) % (sizeof kFourCCs / sizeof kFourCCs[0])];
    std::memcpy(dib.data() + 16, &cc, 4);
  }
  // Keep the pictures small: every run stays fast.
  if (dib.size() >= 12) {
    int32_t w, h;
    std::memcpy(&w, dib.data() + 4, 4);
    std::memcpy(&h, dib.data() + 8, 4);
    if (static_cast<int64_t>(w) * (h < 0 ? -static_cast<int64_t>(h) : h) > (1 << 16)) return 0;
  }
  // The pixels in a block of their own: the DIB's block holds what comes before the split.
  std::vector<uint8_t> bits;
  if ((options & 1) && split < dib.size()) {
    bits.assign(dib.begin() + static_cast<ptrdiff_t>(split), dib.end());
    dib.resize(split);
  }
  TIEBitmap bitmap(2, 1, ie24RGB);
  bitmap.SetPixel24(1, 0, CreateRGB(9, 8, 7));
  uint16_t result = 0;
  const void* bitsData = bits.empty() ? nullptr : bits.data();
  if (options & 2) {
    void* handle = GlobalAlloc(GMEM_MOVEABLE, dib.empty() ? 1 : dib.size());
    if (!handle) return 0;
    if (!dib.empty()) std::memcpy(handle, dib.data(), dib.size());
    // An empty DIB still needs a block: its one byte is no header.
    result = DibToIEBitmap(handle, bitmap, bitsData, false, 0, static_cast<int64_t>(bits.size()));
    GlobalFree(handle);
  } else {
    // An exact-size copy, so that reading past the DIB is caught.
    uint8_t* exact = static_cast<uint8_t*>(std::malloc(dib.size() ? dib.size() : 1));
    if (!dib.empty()) std::memcpy(exact, dib.data(), dib.size());
    result = DibToIEBitmap(exact, bitmap, bitsData, true, static_cast<int64_t>(dib.size()),
                           static_cast<int64_t>(bits.size()));
    std::free(exact);
  }
  if (result == 0) {
    if (bitmap.Width() != 2 || bitmap.Height() != 1 || !SameRGB(bitmap.GetPixelRGB(1, 0), CreateRGB(9, 8, 7)))
      std::abort();  // a refused DIB changed the bitmap
  } else if (bitmap.IsEmpty()) {
    std::abort();
  }
  return 0;
}
