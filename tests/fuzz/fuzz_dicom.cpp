// DICOM reader: a data set read for its header only and for frames 0 and 1 (native, RLE, lossless,
// baseline JPEG and JPEG 2000 pixel data), and its frame count.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  for (int mode = 0; mode < 3; ++mode) {
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.ImageIndex = mode == 2 ? 1 : 0;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadDICOMStream(stream, params, &bitmap, progress, mode == 0);
  }
  stream.Seek(0, soBeginning);
  DICOMFrameCount(stream);
  return 0;
}
