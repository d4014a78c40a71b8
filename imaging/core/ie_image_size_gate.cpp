#include "imaging/core/ie_image_size_gate.h"

#include <algorithm>
#include <atomic>

#include "imaging/core/ie_bits.h"

namespace {

std::atomic<int64_t> gAsked{0};
std::atomic<int64_t> gRefused{0};
std::atomic<int64_t> gLargestGranted{0};

bool Decide(int64_t Width, int64_t Height, const TIEImageData& Data) {
  if (Width < 1 || Height < 1 || Width > INT32_MAX || Height > INT32_MAX) return false;
  if (Data.BitsPerPixel < 1 || Data.BitsPerPixel > 64) return false;
  const int64_t packedRow = RowLength64(Width, Data.BitsPerPixel, 8);
  if (packedRow < 1 || packedRow > INT32_MAX) return false;
  const int64_t rowBytes = Data.RowBytes > 0 ? Data.RowBytes : packedRow;
  if (rowBytes < packedRow || rowBytes > INT32_MAX) return false;
  const int64_t pixels = Width * Height;  // both below 2^31: no overflow
  const int64_t bytes = std::max<int64_t>(Data.Bytes, 0);
  const int64_t allowance = Data.Whole ? 0 : std::max<int64_t>(IEImageSizeAllowanceForTesting(), 0);

  if (Data.MaxPixelsPerByte <= 0) {
    // Uncompressed: every row is stored. Rows below 2^31 bytes times heights below 2^31 fit 2^62.
    const int64_t need = rowBytes * Height;
    const int64_t free = allowance * Data.BitsPerPixel / 8;  // the allowance in data bytes
    return need <= bytes || need - bytes <= free;
  }
  if (bytes > (INT64_MAX - allowance) / Data.MaxPixelsPerByte) return true;
  return pixels <= bytes * Data.MaxPixelsPerByte + allowance;
}

void RaiseTo(std::atomic<int64_t>& value, int64_t candidate) {
  int64_t seen = value.load(std::memory_order_relaxed);
  while (seen < candidate && !value.compare_exchange_weak(seen, candidate, std::memory_order_relaxed)) {
  }
}

}  // namespace

int64_t& IEImageSizeAllowanceForTesting() {
  // Pixels any file may declare whatever its size: small pictures of small files always load.
  static int64_t allowance = int64_t{1} << 20;
  return allowance;
}

bool IEImageSizePlausible(int64_t Width, int64_t Height, const TIEImageData& Data) {
  const bool plausible = Decide(Width, Height, Data);
  gAsked.fetch_add(1, std::memory_order_relaxed);
  if (plausible)
    RaiseTo(gLargestGranted, Width * Height);
  else
    gRefused.fetch_add(1, std::memory_order_relaxed);
  return plausible;
}

TIEImageSizeGateLog IEImageSizeGateLogForTesting(bool Reset) {
  TIEImageSizeGateLog log;
  log.Asked = gAsked.load();
  log.Refused = gRefused.load();
  log.LargestGrantedPixels = gLargestGranted.load();
  if (Reset) {
    gAsked = 0;
    gRefused = 0;
    gLargestGranted = 0;
  }
  return log;
}
