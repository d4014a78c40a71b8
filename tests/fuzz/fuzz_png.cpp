// PNG reader: the parameters alone and the pixels, natively or converted, and what was read written
// back through the PNG writer; and the content probe, which must leave the stream where it found it.
// The options byte: bit 0 native pixel formats, bit 1 make the chunks' CRCs right first (so that
// mutations reach past libpng's checks into the data), bit 2 write the image back, bit 3 also when it
// is large, bits 4-6 where in the data the PNG starts.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/codec_entries.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

// Rewrites the CRC of every chunk that lies whole in the data.
void FixChunkCrcs(std::vector<uint8_t>& d, size_t start) {
  size_t p = start + 8;
  while (p + 12 <= d.size()) {
    const uint32_t n = (uint32_t{d[p]} << 24) | (uint32_t{d[p + 1]} << 16) | (uint32_t{d[p + 2]} << 8) | d[p + 3];
    if (n > d.size() - p - 12) break;
    const uLong crc = crc32(0L, d.data() + p + 4, static_cast<uInt>(n + 4));
    for (int i = 0; i < 4; ++i) d[p + 8 + n + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    p += 12 + n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  std::vector<uint8_t> file(data + 1, data + size);
  const size_t start = std::min<size_t>((options >> 4) & 7, file.size());
  if (options & 2) FixChunkCrcs(file, start);
  TIEMemStream stream(file.data(), static_cast<int64_t>(file.size()));
  stream.Seek(static_cast<int64_t>(start), soBeginning);
  IsPngStream(stream);
  if (stream.Position() != static_cast<int64_t>(start)) __builtin_trap();  // a probe leaves the position
  for (bool paramsOnly : {true, false}) {
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.IsNativePixelFormat = (options & 1) != 0;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(static_cast<int64_t>(start), soBeginning);
    ReadPngStream(stream, bitmap, params, progress, paramsOnly);
    // A large picture (deflate codes a flat one in a few bytes) is written back only when bit 3
    // asks as well: writing it is what makes a run slow, and most runs should stay fast.
    const bool large = int64_t{bitmap.Width()} * bitmap.Height() > 65536;
    if (paramsOnly || !(options & 4) || bitmap.IsEmpty() || (large && !(options & 8))) continue;
    // Back out with the record as read: every depth and sample count a file can declare.
    aborting = false;
    TMemoryStream out;
    try {
      PNGCodecWrite(out, bitmap, params, progress);
    } catch (const std::exception&) {
      // The writer's error for what PNG cannot hold.
    }
  }
  return 0;
}
