#include "imaging/core/ie_dibbitmap.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "imaging/core/ie_bits.h"
#include "platform/gdi/bitmap.h"

TIEDibbitmap::TIEDibbitmap() {
  bitmapInfo_.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bitmapInfo_.bmiHeader.biPlanes = 1;
  bitmapInfo_.bmiHeader.biCompression = BI_RGB;
  bitmapInfo_.bmiColors[0] = RGBQUAD{0, 0, 0, 0};
  bitmapInfo_.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
}

TIEDibbitmap::~TIEDibbitmap() { FreeBits(); }

void* TIEDibbitmap::GetRow(int32_t Y) {
  // Without a DIB there are no rows: no address is ever computed from nil.
  if (!bits_) return nullptr;
  assert(Y >= 0 && Y < height_);
  return bits_ + static_cast<int64_t>(rowLen_) * (height_ - 1 - Y);
}

TIEPixelFormat TIEDibbitmap::GetPixelFormat() {
  switch (bitCount_) {
    case 1: return ie1g;
    case 24: return ie24RGB;
    default: return ieNoFormat;
  }
}

bool TIEDibbitmap::Allocate(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) {
  switch (PixelFormat) {
    case ie1g: return AllocateBits(Width, Height, 1);
    case ie24RGB: return AllocateBits(Width, Height, 24);
    default: return false;
  }
}

void TIEDibbitmap::Assign(TIEBaseBitmap* Source) {
  auto* src = dynamic_cast<TIEDibbitmap*>(Source);
  if (!src || src == this || !src->bits_) return;
  if (!AllocateBits(src->width_, src->height_, src->bitCount_)) return;
  std::memcpy(bits_, src->bits_, static_cast<size_t>(rowLen_) * height_);
}

bool TIEDibbitmap::AllocateBits(int32_t Width, int32_t Height, int32_t BitCount) {
  if (Width <= 0 || Height <= 0 || BitCount <= 0) return false;
  const int32_t rowLen = RowLength(Width, BitCount, 32);
  if (rowLen <= 0) return false;
  FreeBits();
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) return false;
  BITMAPINFOHEADER& h = bitmapInfo_.bmiHeader;
  h.biWidth = Width;
  h.biHeight = Height;  // positive: rows bottom-up
  h.biBitCount = static_cast<uint16_t>(BitCount);
  h.biSizeImage = static_cast<uint32_t>(static_cast<int64_t>(rowLen) * Height);
  h.biClrUsed = BitCount <= 8 ? 2 : 0;
  void* bits = nullptr;
  dib_ = CreateDIBSection(dc_, reinterpret_cast<const BITMAPINFO*>(&bitmapInfo_), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib_ || !bits) {
    // Nothing half made stays: no DIB, no DC, no sizes.
    FreeBits();
    return false;
  }
  previous_ = SelectObject(dc_, dib_);
  bits_ = static_cast<uint8_t*>(bits);
  width_ = Width;
  height_ = Height;
  bitCount_ = BitCount;
  rowLen_ = rowLen;
  return true;
}

void TIEDibbitmap::FreeBits() {
  if (dc_ && previous_) SelectObject(dc_, previous_);
  if (dib_) DeleteObject(dib_);
  if (dc_) DeleteDC(dc_);
  dc_ = nullptr;
  dib_ = nullptr;
  previous_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = bitCount_ = rowLen_ = 0;
}

void TIEDibbitmap::CopyToTBitmap(TBitmap& Bitmap) {
  if (!bits_ || (bitCount_ != 1 && bitCount_ != 24)) return;
  Bitmap.SetSize(1, 1);
  Bitmap.SetPixelFormat(bitCount_ == 1 ? pf1bit : pf24bit);
  Bitmap.SetSize(width_, height_);
  if (bitCount_ == 1) {
    const RGBQUAD colours[2] = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    Bitmap.SetColorTable(colours, 2);
  }
  const int32_t bytes = std::min(rowLen_, Bitmap.RowBytes());
  for (int32_t y = 0; y < height_; ++y) std::memcpy(Bitmap.ScanLine(y), GetRow(y), bytes);
}
