// PNM probe and reader (native pixel formats or not, with and without pixels); a picture that loads
// is written in the variant the options ask and read back.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  TIEMemStream stream(data + 1, static_cast<int64_t>(size - 1));
  IsPXMStream(stream);
  if (stream.Position() != 0) __builtin_trap();  // the probe leaves the position alone
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  bool loaded = false;
  for (bool paramsOnly : {true, false}) {
    params.IsNativePixelFormat = (options & 1) != 0;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadPXMStream(stream, bitmap, params, paramsOnly, progress);
    loaded = !paramsOnly && !aborting && !bitmap.IsEmpty();
  }
  if (!loaded) return 0;
  static const int32_t kBits[] = {1, 8, 16, 5};
  params.BitsPerSample = kBits[(options >> 1) & 3];
  params.SamplesPerPixel = (options & 8) ? 3 : 1;
  TMemoryStream out;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WritePXMStream(out, bitmap, params, progress);
  out.Seek(0, soBeginning);
  TIEBitmap back;
  TIOParamsVals again(nullptr);
  ReadPXMStream(out, back, again, false, progress);
  return 0;
}
