// EXIF and XMP blocks: an APP1 payload read as EXIF (tags and thumbnail) and as XMP, the record
// written back into a block and read again; the bytes as a camera raw file's TIFF structure.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIOParamsVals params(nullptr);
  params.TiffLZWDecompressor = TIFFLZWDecode;
  if (LoadEXIFFromBuffer(data, static_cast<int64_t>(size), params)) {
    // What was read goes out again and comes back.
    std::vector<uint8_t> block;
    SaveEXIFToBuffer(params, block, true);
    TIOParamsVals again(nullptr);
    LoadEXIFFromBuffer(block.data(), static_cast<int64_t>(block.size()), again);
  }
  ReadXMPFromAPP1(data, static_cast<int64_t>(size), params);
  if (size > 6) {
    TIEMemStream stream(data + 6, static_cast<int64_t>(size - 6));
    TIOParamsVals raw(nullptr);
    raw.TiffLZWDecompressor = TIFFLZWDecode;
    LoadRawEXIFAndPreview(stream, raw);
    stream.Seek(0, soBeginning);
    LoadEXIFFromTIFFStream(stream, raw);
  }
  return 0;
}
