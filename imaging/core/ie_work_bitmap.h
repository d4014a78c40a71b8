#pragma once
// TIEWorkBitmap: a plain bottom-up row buffer for the intermediate passes of the resamplers. Row Y
// (0 = top) begins at Bits + RowLen * (Height - 1 - Y); rows are padded to 32 bits and their
// contents are not initialised.
#include <cstdint>

#include "platform/system/object.h"

class TIEWorkBitmap : public TObject {
 public:
  // Allocated when both sizes are positive.
  TIEWorkBitmap(int32_t Width = 0, int32_t Height = 0, int32_t BitCount = 0);
  ~TIEWorkBitmap() override;
  TIEWorkBitmap(const TIEWorkBitmap&) = delete;
  TIEWorkBitmap& operator=(const TIEWorkBitmap&) = delete;

  // Nothing when size and depth are unchanged and the rows exist (the contents stay); else new
  // rows. False, with Bits nil and every size 0, when the memory cannot be had or a size is not
  // positive.
  bool Allocate(int32_t Width, int32_t Height, int32_t BitCount);
  void FreeBits();
  // Row Y, 0 the top row; nil without rows. The caller keeps 0 <= Y < Height.
  void* GetRow(int32_t Y);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t RowLen() const { return rowLen_; }
  void* Bits() const { return bits_; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t rowLen_ = 0;
  void* bits_ = nullptr;
};
