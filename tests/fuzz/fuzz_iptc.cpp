// IPTC block: parsed, rebuilt in both forms and parsed again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/core/ie_iptc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 24)) return 0;
  TIEIPTCInfoList list;
  if (!list.LoadFromBuffer(data, static_cast<int32_t>(size))) return 0;
  for (bool wrapper : {true, false}) {
    void* buffer = nullptr;
    int32_t length = 0;
    list.SaveToBuffer(buffer, length, wrapper);
    TIEIPTCInfoList again;
    again.LoadFromBuffer(buffer, length);
    std::free(buffer);
  }
  return 0;
}
