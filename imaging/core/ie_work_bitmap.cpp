#include "imaging/core/ie_work_bitmap.h"

#include <cassert>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_memory.h"

TIEWorkBitmap::TIEWorkBitmap(int32_t Width, int32_t Height, int32_t BitCount) {
  if (Width > 0 && Height > 0) Allocate(Width, Height, BitCount);
}

TIEWorkBitmap::~TIEWorkBitmap() { FreeBits(); }

bool TIEWorkBitmap::Allocate(int32_t Width, int32_t Height, int32_t BitCount) {
  if (bits_ && Width == width_ && Height == height_ && BitCount == bitCount_) return true;
  FreeBits();
  const int64_t size = ImageDataSize(Width, Height, BitCount, 32);
  if (Width <= 0 || Height <= 0 || BitCount <= 0 || size <= 0) return false;
  bits_ = HybridAlloc(size);
  if (!bits_) return false;
  width_ = Width;
  height_ = Height;
  bitCount_ = BitCount;
  rowLen_ = RowLength(Width, BitCount, 32);
  return true;
}

void TIEWorkBitmap::FreeBits() {
  HybridFree(bits_);
  width_ = height_ = bitCount_ = rowLen_ = 0;
}

void* TIEWorkBitmap::GetRow(int32_t Y) {
  if (!bits_) return nullptr;
  assert(Y >= 0 && Y < height_);
  return static_cast<uint8_t*>(bits_) + static_cast<int64_t>(rowLen_) * (height_ - 1 - Y);
}
