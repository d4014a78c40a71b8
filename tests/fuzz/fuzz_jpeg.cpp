// JPEG reader: the parameters only and the whole image, with the options byte choosing the pixel
// format, the colour routes, a scale and a row limit; the size gate, the scan limit and libjpeg's
// memory are lowered so that every run stays small and fast.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  JpegScanLimitForTesting() = 40;
  JpegMemoryHeadroomForTesting() = int64_t{8} << 20;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  TIEMemStream stream(data + 1, static_cast<int64_t>(size - 1));
  ICCConversionEnabled = (options & 0x40) != 0;
  for (bool headerOnly : {true, false}) {
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.JpegScale = static_cast<uint8_t>((options >> 3) & 7);
    params.Width = 9;
    params.Height = 7;
    params.JpegDCTMethod = static_cast<uint8_t>(options >> 6 & 3);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadJpegStream(stream, nullptr, bitmap, params, progress, headerOnly, (options & 1) != 0, true, (options & 2) != 0,
                   true, true, (options & 0x80) ? 3 : -1, (options & 4) != 0);
  }
  ICCConversionEnabled = false;
  return 0;
}
