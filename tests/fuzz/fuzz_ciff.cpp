// Canon heap (CIFF) parser: records, sub-heaps, thumbnails and maker-note blocks of any shape.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/io_params.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small thumbnails keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIOParamsVals params(nullptr);
  ReadCIFFInfo(stream, params);
  if (stream.Position() != 0) __builtin_trap();
  return 0;
}
