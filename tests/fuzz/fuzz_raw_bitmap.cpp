// Raw bitmap stream: a record from the clipboard or a layer stream, loaded and written again.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEBitmap bitmap;
  try {
    if (bitmap.LoadRawFromBuffer(data, static_cast<int64_t>(size))) {
      TMemoryStream out;
      bitmap.SaveRawToStream(out);
    }
  } catch (const Exception&) {
    // A short record raises its read error: an expected answer, not a finding.
  }
  return 0;
}
