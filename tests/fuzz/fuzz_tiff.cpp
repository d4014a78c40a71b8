// TIFF reader: pages 0 and 1, parameters only, pixels, thumbnail mode; the page counter; the
// probes and FindTIFFHeader.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_lzw.h"
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
  for (int page = 0; page < 2; ++page)
    for (int mode = 0; mode < 3; ++mode) {
      TIEBitmap bitmap;
      TIOParamsVals params(nullptr);
      params.TiffLZWDecompressor = TIFFLZWDecode;
      params.TiffImageIndex = page;
      params.IsNativePixelFormat = (options & 1) != 0;
      params.TiffGetTile = (options & 2) ? (options >> 4) : -1;
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      std::unique_ptr<TIEMask> mask;
      int32_t pages = 0;
      stream.Seek(0, soBeginning);
      ReadTIFFStream(&bitmap, stream, pages, &params, progress, mode == 0, mask, (options & 4) != 0,
                     (options & 8) != 0, mode == 2);
      if (mode == 1 && !aborting && !bitmap.IsEmpty()) {
        // The page written again as the file described it (its layout, compression, metadata).
        params.TiffLZWCompressor = TIFFLZWEncode;
        TMemoryStream out;
        bool failed = false;
        TIEProgressRecord writing;
        writing.Aborting = &failed;
        WriteTIFFStream(out, false, &bitmap, params, writing);
      }
    }
  stream.Seek(0, soBeginning);
  CountTIFFStreamPages(stream);
  stream.Seek(0, soBeginning);
  IsTIFFStream(stream);
  IsCameraRawTIFF(stream);
  IsHDPhotoStream(stream);
  FindTIFFHeader(stream);
  return 0;
}
