// Detection by content from every start position the options byte gives, then the registry's reader
// of whatever was detected, with and without pixels; and a TIFF LZW strip decoded row by row.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_startup.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeImagingUnits();
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  TIEMemStream stream(data + 1, static_cast<int64_t>(size - 1));
  const int64_t start = std::min<int64_t>(options & 15, stream.Size());
  stream.Seek(start, soBeginning);
  const TIEFileFormatId format = DetectStreamFormat(stream);
  if (stream.Position() != start) __builtin_trap();  // a probe must leave the position as it found it
  if (TIEFileFormatInfoPtr row = FindFileFormatById(format); row && row->Reader) {
    for (bool paramsOnly : {true, false}) {
      TIEBitmap bitmap;
      TIOParamsVals params(nullptr);
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      stream.Seek(start, soBeginning);
      try {
        row->Reader(stream, bitmap, params, progress, paramsOnly);
      } catch (const std::exception&) {
        // The dispatch turns a codec's exception into a failed load.
      }
    }
  }
  // TIFF LZW: rows of (options >> 4) + 1 bytes until the strip gives no more.
  void* state = nullptr;
  const int32_t rowSize = (options >> 4) + 1;
  for (int row = 0; row < 64; ++row)
    if (!TIFFLZWDecode(data + 1, static_cast<int32_t>(size - 1), rowSize, state, (options & 1) + 1)) break;
  TIFFLZWDecode(nullptr, 0, 0, state, 1);
  return 0;
}
