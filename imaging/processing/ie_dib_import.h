#pragma once
// Device-independent bitmaps (a BITMAPINFOHEADER, its colour table or masks, and the pixels) from
// the clipboard, video frames and annotations into TIEBitmap; gamma correction of 24-bit DIBs.
#include <algorithm>
#include <cstdint>

#include "platform/system/memory.h"

class TIEBitmap;

// A DIB's block for the time of a call: a global memory handle locked (its size GlobalSize's), or
// a pointer to Size bytes used as it is.
class TIELockedBlock {
 public:
  TIELockedBlock(const void* DIB, bool IsPointer, int64_t Size) : handle_(IsPointer ? nullptr : const_cast<void*>(DIB)) {
    if (IsPointer) {
      data_ = static_cast<const uint8_t*>(DIB);
      size_ = Size;
    } else if (DIB) {
      data_ = static_cast<const uint8_t*>(GlobalLock(handle_));
      size_ = static_cast<int64_t>(GlobalSize(DIB));
    }
  }
  ~TIELockedBlock() {
    if (handle_) GlobalUnlock(handle_);
  }
  TIELockedBlock(const TIELockedBlock&) = delete;
  TIELockedBlock& operator=(const TIELockedBlock&) = delete;
  const uint8_t* Data() const { return data_; }
  int64_t Size() const { return data_ ? std::max<int64_t>(size_, 0) : 0; }

 private:
  void* handle_;
  const uint8_t* data_ = nullptr;
  int64_t size_ = 0;
};

// Turns a DIB into Bitmap: uncompressed RGB of 1, 4, 8, 16, 24 and 32 bits, 16- and 32-bit bit
// fields, and the YUV layouts of the FOURCCs ie_yuv.h lists. With IsPointer false, DIB is a global
// memory block (GlobalAlloc) whose size GlobalSize gives; with IsPointer true, DIB points to
// DIBSize bytes. The pixels are Bits (BitsSize bytes) when given, else the bytes after the header,
// the masks and the colour table.
//
// Everything is checked against those sizes before anything is allocated or read: a header of at
// least 40 bytes (biSize), a width above 0 and a height other than 0, a bit count that is decoded,
// no more colour entries than the bits can index, and the table, masks, rows or planes inside their
// block; the size then passes the engine's size gate. Rows are bottom-up, top-down for a negative
// height. A 1-bit DIB in black and white becomes ie1g (either order: white stays white); one in other
// colours and the 4- and 8-bit DIBs become ie24RGB through their table (an index past the table is
// black); the others become ie24RGB. Bit fields follow the BMP reader: masks inside headers of 52
// bytes and more, else after the header; each mask its own shift and width, narrow channels widened
// by bit replication.
//
// Returns biBitCount. A nil DIB, one that fails a check and one that is not decoded (other bit
// counts, run-length compression, unknown FOURCCs) return 0 and leave the bitmap as it was.
uint16_t DibToIEBitmap(const void* DIB, TIEBitmap& Bitmap, const void* Bits = nullptr, bool IsPointer = false,
                       int64_t DIBSize = 0, int64_t BitsSize = 0);

// Applies t[i] = Round(255 (i / 255)^(1 / Gamma)) to every pixel byte of an uncompressed 24-bit DIB
// (the padded rows after the header and colour table); other DIBs, one whose rows do not fit in the
// block, and a Gamma of 0 or less are left unchanged. The first form takes a global memory block,
// the second Size bytes at DIB.
void GammaCorrectDIB(void* DIB, double Gamma);
void GammaCorrectDIB(void* DIB, int64_t Size, double Gamma);
