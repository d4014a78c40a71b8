// BMP reader with the options byte choosing palette format, alpha and header presence; a bitmap
// that loads is written again with the header variant and compression the options ask for and read
// back.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

bool Read(TStream& s, TIEBitmap& bitmap, TIOParamsVals& params, uint8_t options, bool paramsOnly) {
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> alpha;
  ReadBMPStream(s, bitmap, (options & 16) ? 0 : s.Size(), params, progress, paramsOnly, (options & 8) != 0, alpha,
                (options & 2) != 0);
  return !aborting;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  TIEMemStream stream(data + 1, static_cast<int64_t>(size - 1));
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  params.IsNativePixelFormat = (options & 1) != 0;
  Read(stream, bitmap, params, options, true);
  stream.Seek(0, soBeginning);
  if (!Read(stream, bitmap, params, options, false) || bitmap.IsEmpty()) return 0;
  if (static_cast<int64_t>(bitmap.Width()) * bitmap.Height() > (1 << 14)) return 0;
  static const int32_t kBits[] = {1, 4, 8, 24};
  params.BitsPerSample = kBits[(options >> 5) & 3];
  params.SamplesPerPixel = params.BitsPerSample == 24 ? 3 : 1;
  if (params.BitsPerSample == 24) params.BitsPerSample = 8;
  params.BmpVersion = (options >> 2) & 3;
  params.BmpCompression = options >> 7;
  TMemoryStream out;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteBMPStream(out, bitmap, params, progress, (options & 2) == 0);
  out.Seek(0, soBeginning);
  TIEBitmap back;
  TIOParamsVals again(nullptr);
  Read(out, back, again, 0, false);
  return 0;
}
