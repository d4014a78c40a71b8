// The JPEG scanners that walk a stream's markers without decoding it: the start of image, the
// stream's length and the embedded ICC profile, each from the start and from an offset.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/io_params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  for (int64_t start : {int64_t{0}, static_cast<int64_t>(size / 3)}) {
    stream.Seek(start, soBeginning);
    FindJpegSOI(stream, true);
    FindJpegSOI(stream, false);
    const int64_t length = JpegStreamLength(stream);
    if (length < 0 || length > static_cast<int64_t>(size) - start) __builtin_trap();
    TIOParamsVals params(nullptr);
    ReadJpegICCProfile(stream, params);
    if (stream.Position() != start) __builtin_trap();  // every scanner puts the position back
  }
  return 0;
}
