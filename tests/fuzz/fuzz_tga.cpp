// Targa reader with and without pixels and mask; a picture that loads is written again at the depth
// and coding the options ask (with its mask as alpha) and read back.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/tga_codec.h"
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
  if (IsTGAStream(stream) && stream.Position() != 0) __builtin_trap();
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
  bool loaded = false;
  for (bool paramsOnly : {true, false}) {
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadTGAStream(stream, bitmap, params, progress, paramsOnly, mask, paramsOnly || (options & 1));
    loaded = !paramsOnly && !aborting && !bitmap.IsEmpty();
  }
  if (!loaded) return 0;
  static const int32_t kBits[] = {1, 4, 8, 8};
  TIOParamsVals params(nullptr);
  params.BitsPerSample = kBits[(options >> 1) & 3];
  params.SamplesPerPixel = (options & 8) ? 3 : 1;
  params.TgaGrayLevel = (options & 16) != 0;
  params.TgaCompressed = (options & 32) != 0;
  params.TgaDescription = "fuzz";
  TMemoryStream out;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteTGAStream(out, bitmap, params, progress, mask.get());
  out.Seek(0, soBeginning);
  TIEBitmap back;
  std::unique_ptr<TIEMask> backMask;
  TIOParamsVals again(nullptr);
  ReadTGAStream(out, back, again, progress, false, backMask, false);
  return 0;
}
