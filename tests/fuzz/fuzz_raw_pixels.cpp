// Headerless pixel data: the layout comes from the first bytes of the input, the data after them.
//   byte 0: pixel format (mod 11), byte 1: width 1..16, byte 2: height 1..16, byte 3: row padding
//   in bits (signed, times 8 when the low bit is clear), byte 4: data format (mod 4), planar, BGR,
//   byte 5: header size (signed)
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/raw_pixels_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const auto format = static_cast<TIEPixelFormat>(data[0] % 11);
  TIEBitmap bitmap;
  if (format != ieNoFormat) bitmap.Allocate(1 + data[1] % 16, 1 + data[2] % 16, format);
  TIOParamsVals params(nullptr);
  const auto align = static_cast<int8_t>(data[3]);
  params.RawBitmapRowAlign = (align & 1) ? align : align * 8;
  params.RawBitmapDataFormat = static_cast<uint8_t>(data[4] % 4);
  params.RawBitmapPlanar = (data[4] & 4) != 0;
  params.RawBitmapBGR = (data[4] & 8) != 0;
  params.RawBitmapHeaderSize = static_cast<int8_t>(data[5]);
  TIEMemStream stream(data + 6, static_cast<int64_t>(size - 6));
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  try {
    ReadRawBitmapStream(stream, bitmap, params, progress);
  } catch (const std::exception&) {
    // "Format unsupported": hexadecimal text into floats.
  }
  return 0;
}
