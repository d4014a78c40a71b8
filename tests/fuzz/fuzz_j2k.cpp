// JPEG 2000 reader: the probes (which must leave the stream where they found it), the box walk and
// header alone, and the pixels; a picture that loads is written again in both containers and read
// back. The options byte: bit 0 write back, bits 4-6 where in the data the file starts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  IEJ2000ThreadCount = 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  const size_t start = std::min<size_t>((options >> 4) & 7, size - 1);
  TIEMemStream stream(data + 1, static_cast<int64_t>(size - 1));
  stream.Seek(static_cast<int64_t>(start), soBeginning);
  IsJP2Stream(stream);
  IsJ2KStream(stream);
  if (stream.Position() != static_cast<int64_t>(start)) __builtin_trap();
  TIEBitmap bitmap;
  bool loaded = false;
  for (bool headerOnly : {true, false}) {
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(static_cast<int64_t>(start), soBeginning);
    ReadJpeg2000Stream(stream, bitmap, params, progress, headerOnly);
    // The size gate admits what JPEG 2000 can code in a few bytes (an empty code block costs a
    // bit): decoding such pictures only measures OpenJPEG's speed, so the pixels are read for
    // small ones.
    if (headerOnly && (aborting || int64_t{params.Width} * params.Height > (1 << 16))) break;
    loaded = !headerOnly && !aborting && !bitmap.IsEmpty();
  }
  if (!loaded || !(options & 1)) return 0;
  for (TIEJ2000Format format : {ieJ2000JP2, ieJ2000J2K}) {
    TMemoryStream out;
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    WriteJpeg2000Stream(out, bitmap, params, progress, format);
    if (aborting) __builtin_trap();  // a picture we read is one we can write
    out.Seek(0, soBeginning);
    TIEBitmap back;
    ReadJpeg2000Stream(out, back, params, progress, false);
    if (aborting || back.Width() != bitmap.Width() || back.Height() != bitmap.Height()) __builtin_trap();
  }
  return 0;
}
