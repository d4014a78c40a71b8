// Icon and cursor readers: every image index the options give (past the directory too), native
// pixel formats or not, the resource form, BMP and PNG data inside; then the icon writer on a
// picture that loaded.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/ico_codec.h"
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
  IsICOStream(stream);
  IsCURStream(stream);
  ICOImageCount(stream);
  if (stream.Position() != 0) __builtin_trap();  // the probes leave the position alone
  TIEBitmap loaded;
  for (int pass = 0; pass < 4; ++pass) {
    const bool cursor = pass & 1, paramsOnly = pass & 2;
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.IcoImageIndex = params.CurImageIndex = (options & 7) - 1;
    params.IsNativePixelFormat = (options & 8) != 0;
    params.IsResource = (options & 16) != 0;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    std::unique_ptr<TIEMask> mask;
    stream.Seek(0, soBeginning);
    try {
      if (cursor)
        ReadCURStream(stream, bitmap, params, paramsOnly, progress, mask, paramsOnly);
      else
        ReadICOStream(stream, bitmap, params, paramsOnly, progress, mask, paramsOnly);
    } catch (const std::exception&) {
      // "Unsupported pixel format": the I/O component turns it into a failed load.
      aborting = true;
    }
    if (!aborting && !paramsOnly && !bitmap.IsEmpty() && !cursor) {
      loaded.Assign(bitmap);
      if (mask) loaded.GetAlphaChannel()->CopyFromMask(mask.get());
    }
  }
  // The writer on what loaded, at its own size (resizing would start worker threads, and every
  // later allocation would then pay for them) and the depth the options ask.
  if (loaded.IsEmpty() || loaded.Width() > 64 || loaded.Height() > 64) return 0;
  TIOParamsVals params(nullptr);
  const int32_t bits[] = {1, 4, 8, 24, 32, 0, 2, 8};
  const int32_t depth = bits[(options >> 5) & 7];
  const TIOICOSize own{loaded.Width(), loaded.Height()};
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TMemoryStream out;
  WriteICOStream(out, loaded, params, &depth, &own, 1, progress);
  return 0;
}
