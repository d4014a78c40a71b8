// HD Photo reader: the container check and the codec service behind it, the parameters alone, the
// picture natively and as 24-bit colour, the thumbnail; a picture that loads is written again and
// read back. The options byte: bit 0 write back, bit 1 native formats, bit 2 thumbnail.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/hdp_codec.h"
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
  HDPFrameCount(stream);
  if (stream.Position() != 0) __builtin_trap();
  TIEBitmap bitmap;
  bool loaded = false;
  for (bool paramsOnly : {true, false}) {
    TIOParamsVals params(nullptr);
    params.IsNativePixelFormat = (options & 2) != 0;
    params.GetThumbnail = (options & 4) != 0;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadHDPStream(stream, bitmap, params, progress, paramsOnly);
    if (aborting) break;
    loaded = !paramsOnly && !bitmap.IsEmpty();
  }
  if (!loaded || !(options & 1)) return 0;
  TMemoryStream out;
  TIOParamsVals params(nullptr);
  params.HdpLossless = true;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteHDPStream(out, bitmap, params, progress);
  if (aborting) __builtin_trap();  // a picture we read is one we can write
  out.Seek(0, soBeginning);
  TIEBitmap back;
  TIOParamsVals readParams(nullptr);
  readParams.IsNativePixelFormat = true;
  ReadHDPStream(out, back, readParams, progress, false);
  if (aborting || back.Width() != bitmap.Width() || back.Height() != bitmap.Height()) __builtin_trap();
  return 0;
}
