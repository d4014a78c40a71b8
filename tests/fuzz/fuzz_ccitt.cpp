// The CCITT row decoders in each mode and fill order on raw data: the first byte picks the width,
// the mode and the fill order.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/io/codecs/tiff_ccitt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t width = 1 + data[0] * 8 + (data[1] & 7);
  const int mode = data[1] >> 3 & 3;
  const int32_t fill = 1 + (data[1] >> 5 & 1);
  // Exactly the data's bytes on the heap, so that any read past them is seen.
  const auto length = static_cast<int32_t>(size - 2);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size - 2 + 1]);
  for (int32_t i = 0; i < length; ++i) bytes[i] = data[2 + i];
  std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8)), ref(row.size(), 0xFF);
  int64_t bit = 0;
  int32_t offset = 0;
  for (int r = 0; r < 64; ++r) {
    switch (mode) {
      case 0:
        offset += CCITTDecodeMHRow(row.data(), bytes.get() + offset, length - offset, width, fill);
        break;
      case 1: bit = CCITTDecode1DRow(row.data(), bytes.get(), length, width, bit, fill); break;
      case 2: bit = CCITTDecode2DRow(row.data(), bytes.get(), length, width, ref.data(), bit, fill, true); break;
      default: bit = CCITTDecode2DRow(row.data(), bytes.get(), length, width, ref.data(), bit, fill, false); break;
    }
  }
  return 0;
}
