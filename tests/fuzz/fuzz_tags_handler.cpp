// Maker note: read from a stream (the first byte picks the enclosing TIFF's byte order and where the
// note starts), then written back in its maker's layout and read again.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_tags_handler.h"
#include "platform/system/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool littleEndian = data[0] & 1;
  const int64_t start = (data[0] >> 1) % 16;
  TCustomMemoryStream stream(data + 1, static_cast<int64_t>(size - 1));
  stream.SetPosition(start);
  TIETagsHandler handler;
  try {
    handler.ReadFromStream(stream, static_cast<int32_t>(size), littleEndian);
    TMemoryStream out;
    if (handler.WriteToStream(out) > 0) {
      out.SetPosition(0);
      TIETagsHandler again;
      again.ReadFromStream(out, static_cast<int32_t>(out.Size()), littleEndian);
    }
    TIETagsHandler copy;
    copy.Assign(&handler);
  } catch (const Exception&) {
  }
  return 0;
}
