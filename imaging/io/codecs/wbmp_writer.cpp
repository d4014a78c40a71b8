// Wireless bitmap writing.
#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/processing/ie_resample.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kMaxSide = 255;

// Value as a multi-byte integer: most significant 7-bit group first.
void PutMultiByteInt(TIEStreamWriter& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 127);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.Put(static_cast<uint8_t>(groups[--n] | 128));
  out.Put(groups[0]);
}

}  // namespace

void WriteWBMPStream(TStream& Stream, TIEBitmap& Bitmap, TIEProgressRecord& Progress) {
  if (Progress.IsAborting()) return;
  if (Bitmap.IsEmpty()) {
    Progress.Abort();
    return;
  }
  // The work bitmap: the source itself when it is ie1g and small enough, else an ie1g copy, scaled
  // down when a side is above 255.
  TIEBitmap* work = &Bitmap;
  std::unique_ptr<TIEBitmap> copy;
  if (Bitmap.PixelFormat() != ie1g) {
    copy = IEConvertedCopy(Bitmap, ie1g);
    if (!copy) {
      Progress.Abort();
      return;
    }
    work = copy.get();
  }
  const int32_t w = work->Width(), h = work->Height();
  if (w > kMaxSide || h > kMaxSide) {
    const int32_t targetW = w > h ? kMaxSide : std::max(1, static_cast<int32_t>(int64_t{w} * kMaxSide / h));
    const int32_t targetH = w > h ? std::max(1, static_cast<int32_t>(int64_t{h} * kMaxSide / w)) : kMaxSide;
    auto scaled = std::make_unique<TIEBitmap>();
    if (!scaled->Allocate(targetW, targetH, ie1g)) {
      Progress.Abort();
      return;
    }
    ResampleBitmap(*work, *scaled, rfNone, {}, nullptr);
    copy = std::move(scaled);
    work = copy.get();
  }

  const int32_t width = work->Width(), height = work->Height();
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  bool failed = false;
  {
    TIEStreamWriter out(Stream, failed);
    PutMultiByteInt(out, 0);
    PutMultiByteInt(out, 0);
    PutMultiByteInt(out, static_cast<uint32_t>(width));
    PutMultiByteInt(out, static_cast<uint32_t>(height));
    Progress.PerRow = 100.0 / height;
    for (int32_t y = 0; y < height && !failed; ++y) {
      out.Put(work->GetRow(y), rowBytes);
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / height));
    }
  }
  if (failed) Progress.Abort();
}
