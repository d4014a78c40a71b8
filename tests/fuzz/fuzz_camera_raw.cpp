// Camera raw reader: LibRaw's identification and decoding behind the engine's metadata readers, the
// size gate and the tone curve, with LibRaw's memory cap lowered. The options byte: bit 0 parameters
// only, bit 1 16-bit output, bit 2 half size.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/io_params.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  CameraRawMemoryLimitMBForTesting() = 64;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  TIEMemStream stream(data + 1, static_cast<int64_t>(size - 1));
  IsCameraRawStream(stream);
  if (stream.Position() != 0) __builtin_trap();
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  params.IsNativePixelFormat = (options & 2) != 0;
  params.RawHalfSize = (options & 4) != 0;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  try {
    ReadCameraRawStream(stream, bitmap, params, progress, (options & 1) != 0);
  } catch (const std::exception&) {
    // The out-of-memory texts of the row buffers are exceptions the I/O component catches.
  }
  return 0;
}
