#include "imaging/io/codecs/image_size_gate.h"

#include "imaging/core/ie_bits.h"

int64_t& IEImageSizeAllowanceForTesting() {
  // Pixels any file may declare whatever its size: small pictures of small files always load.
  static int64_t allowance = int64_t{1} << 20;
  return allowance;
}

bool IEImageSizePlausible(int64_t Width, int64_t Height, int32_t BitsPerPixel, int64_t DataBytes,
                          int64_t MaxPixelsPerByte) {
  if (Width < 1 || Height < 1 || Width > INT32_MAX || Height > INT32_MAX || BitsPerPixel < 1) return false;
  const int64_t rowBytes = RowLength64(Width, BitsPerPixel);
  if (rowBytes < 1 || rowBytes > INT32_MAX) return false;
  if (rowBytes > INT64_MAX / Height) return false;
  const int64_t pixels = Width * Height;  // both below 2^31: no overflow
  if (DataBytes < 0) DataBytes = 0;
  if (MaxPixelsPerByte < 1) MaxPixelsPerByte = 1;
  const int64_t allowance = IEImageSizeAllowanceForTesting();
  if (DataBytes > (INT64_MAX - allowance) / MaxPixelsPerByte) return true;
  return pixels <= DataBytes * MaxPixelsPerByte + allowance;
}
