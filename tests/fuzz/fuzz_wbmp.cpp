// Wireless bitmap reader, with and without pixels; a picture that loads is written again (scaled
// when it is larger than 255) and read back.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIEBitmap bitmap;
  bool loaded = false;
  for (bool paramsOnly : {true, false}) {
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadWBMPStream(stream, bitmap, params, progress, paramsOnly);
    loaded = !paramsOnly && !aborting && !bitmap.IsEmpty();
  }
  if (!loaded) return 0;
  TMemoryStream out;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteWBMPStream(out, bitmap, progress);
  out.Seek(0, soBeginning);
  TIEBitmap back;
  TIOParamsVals params(nullptr);
  ReadWBMPStream(out, back, params, progress, false);
  if (aborting || back.Width() > 255 || back.Height() > 255) __builtin_trap();
  return 0;
}
