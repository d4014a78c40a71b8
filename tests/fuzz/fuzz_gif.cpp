// GIF reader: every frame the options byte asks for, with and without pixels, and again from an index
// of the file's frames (which must give the very same frame); then the block walker that counts
// frames and copies a file without one; and the LZW decoder on the raw bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
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
  TGIFFrameIndex index;
  IndexGIFFrames(stream, index);
  for (bool paramsOnly : {true, false}) {
    struct Read {
      TIEBitmap bitmap;
      int32_t frames = 0;
      bool aborting = false;
    } walked, indexed;
    for (Read* read : {&walked, &indexed}) {
      TIOParamsVals params(nullptr);
      params.GifLZWDecompressor = GIFLZWDecode;
      params.GifImageIndex = options & 3;
      params.IsNativePixelFormat = (options & 4) != 0;
      TIEProgressRecord progress;
      progress.Aborting = &read->aborting;
      std::unique_ptr<TIEMask> mask;
      stream.Seek(0, soBeginning);
      ReadGIFStream(stream, read->bitmap, read->frames, params, progress, paramsOnly, mask, paramsOnly,
                    read == &indexed ? &index : nullptr);
    }
    if (walked.frames != indexed.frames || walked.aborting != indexed.aborting) __builtin_trap();
    TIEBitmap& a = walked.bitmap;
    TIEBitmap& b = indexed.bitmap;
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat()) __builtin_trap();
    if (a.Width() > 0 && a.Height() > 0 && a.PixelFormat() != ieNoFormat) {
      for (int32_t y = 0; y < a.Height(); ++y) {
        const auto* first = static_cast<const uint8_t*>(a.GetRow(y));
        const std::vector<uint8_t> row(first, first + a.RowLen());
        if (std::memcmp(row.data(), b.GetRow(y), row.size()) != 0) __builtin_trap();
      }
    }
  }
  stream.Seek(0, soBeginning);
  TMemoryStream copy;
  bool truncated = false;
  CopyGIFWithoutFrame(stream, &copy, (options >> 3) & 3, truncated);
  stream.Seek(0, soBeginning);
  CountGIFFramesInStream(stream);
  // The decoder alone, on a small picture.
  stream.Seek(0, soBeginning);
  std::vector<uint8_t> pixels(64 * 64);
  GIFLZWDecode(stream, 1 + (options >> 2 & 63), 64, (options & 1) != 0, pixels.data());
  return 0;
}
