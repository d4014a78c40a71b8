// TIEBitmap: copies from a framework bitmap, a DIB bitmap and a mask, the copy into a mask, and
// the copy of a selection.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_mask.h"
#include "platform/gdi/bitmap.h"

namespace {

TIERGB FromQuad(const RGBQUAD& q) { return TIERGB{q.rgbBlue, q.rgbGreen, q.rgbRed}; }

bool IsBlackAndWhite(const std::vector<RGBQUAD>& table) {
  if (table.empty()) return true;  // the framework's default: black and white
  if (table.size() < 2) return false;
  const TIERGB black = FromQuad(table[0]), white = FromQuad(table[1]);
  return SameRGB(black, TIERGB{0, 0, 0}) && SameRGB(white, TIERGB{255, 255, 255});
}

// A 15-bit (x-R5-G5-B5) or 16-bit (R5-G6-B5) word as blue, green, red bytes.
void Row15To24(const uint8_t* src, uint8_t* dst, int32_t count) {
  for (int32_t x = 0; x < count; ++x, dst += 3) {
    const uint32_t w = src[2 * x] | (src[2 * x + 1] << 8);
    dst[2] = static_cast<uint8_t>(((w >> 10) & 31) << 3);
    dst[1] = static_cast<uint8_t>(((w >> 5) & 31) << 3);
    dst[0] = static_cast<uint8_t>((w & 31) << 3);
  }
}
void Row16To24(const uint8_t* src, uint8_t* dst, int32_t count) {
  for (int32_t x = 0; x < count; ++x, dst += 3) {
    const uint32_t w = src[2 * x] | (src[2 * x + 1] << 8);
    dst[2] = static_cast<uint8_t>((w >> 11) << 3);
    dst[1] = static_cast<uint8_t>(((w >> 5) & 63) << 2);
    dst[0] = static_cast<uint8_t>((w & 31) << 3);
  }
}

}  // namespace

void TIEBitmap::CopyFromTBitmap(TBitmap& Bitmap) {
  if (location_ == ieTBitmap) {
    // Read as in memory, then handed to our framework bitmap: the same pixels in every location.
    TIEBitmap imported;
    imported.CopyFromTBitmap(Bitmap);
    if (imported.IsEmpty()) return;
    Assign(imported);
    full_ = false;
    return;
  }

  TBitmap* source = &Bitmap;
  std::unique_ptr<TBitmap> copy;
  if (Bitmap.PixelFormat() == pfDevice && !Bitmap.Empty()) {
    // A device-dependent bitmap is read through a copy in a DIB format.
    copy = std::make_unique<TBitmap>();
    copy->Assign(&Bitmap);
    copy->SetPixelFormat(Bitmap.Monochrome() ? pf1bit : pf24bit);
    source = copy.get();
  }
  const TPixelFormat format = source->PixelFormat();
  const int32_t width = source->Width();
  const int32_t height = source->Height();
  const std::vector<RGBQUAD> table = source->ColorTable();

  TIEPixelFormat target;
  switch (format) {
    case pf1bit: target = IsBlackAndWhite(table) ? ie1g : ie8p; break;
    case pf4bit:
    case pf8bit: target = ie8p; break;
    case pf15bit:
    case pf16bit:
    case pf24bit: target = ie24RGB; break;
    case pf32bit: target = ie32RGB; break;
    default: return;  // nothing this engine can read
  }
  if (!Allocate(width, height, target)) return;
  if (target == ie8p) {
    const size_t entries = std::min<size_t>(table.size(), 256);
    for (size_t i = 0; i < entries; ++i) palette_[i] = FromQuad(table[i]);
  }
  TIERowAccessScope writeOnly(*this, iraWrite);
  const int32_t bytes = std::min(rowLen_, source->RowBytes());
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = source->ScanLine(y);
    uint8_t* dst = Row<uint8_t>(y);
    switch (format) {
      case pf1bit:
        if (target == ie1g) {
          std::memcpy(dst, src, bytes);
        } else {
          for (int32_t x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
        }
        break;
      case pf4bit:
        for (int32_t x = 0; x < width; ++x) dst[x] = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
        break;
      case pf15bit: Row15To24(src, dst, width); break;
      case pf16bit: Row16To24(src, dst, width); break;
      default: std::memcpy(dst, src, bytes); break;
    }
  }
  full_ = false;
}

void TIEBitmap::CopyFromTIEDibbitmap(TIEDibbitmap* Dib) {
  if (!Dib || !Dib->Bits()) return;
  TIEPixelFormat format;
  switch (Dib->BitCount()) {
    case 1: format = ie1g; break;
    case 8: format = ie8g; break;
    case 24: format = ie24RGB; break;
    default: return;
  }
  if (!Allocate(Dib->Width(), Dib->Height(), format)) return;
  TIERowAccessScope writeOnly(*this, iraWrite);
  const int32_t bytes = std::min(rowLen_, Dib->RowLen());
  for (int32_t y = 0; y < height_; ++y) std::memcpy(GetRow(y), Dib->GetRow(y), bytes);
}

void TIEBitmap::CopyFromMask(TIEMask* Mask) {
  if (!Mask) {
    Fill(255);
    return;
  }
  TIEPixelFormat format;
  switch (Mask->BitsPerPixel()) {
    case 1: format = ie1g; break;
    case 8: format = ie8g; break;
    default: return;
  }
  if (!Mask->Bits() || !Allocate(Mask->Width(), Mask->Height(), format)) return;
  TIERowAccessScope writeOnly(*this, iraWrite);
  const int32_t bytes = std::min(rowLen_, Mask->RowLen());
  for (int32_t y = 0; y < height_; ++y) std::memcpy(GetRow(y), Mask->GetRow(y), bytes);
  full_ = Mask->Full();
}

void TIEBitmap::CopyToMask(TIEMask& Mask) {
  const TIEPixelFormat format = GetPixelFormat();
  if (IsEmpty() || (format != ie1g && format != ie8g && format != ie24RGB)) return;
  try {
    Mask.Allocate(width_, height_, format == ie1g ? 1 : 8);
  } catch (const std::bad_alloc&) {
    return;
  }
  TIERowAccessScope readOnly(*this, iraRead);
  if (format == ie24RGB) {
    // Grey levels as selection values: white is fully selected, black not at all.
    TIERowConverter grey(ie24RGB, ie8g);
    for (int32_t y = 0; y < height_; ++y) grey.Convert(GetRow(y), Mask.GetRow(y), width_);
    Mask.RecalcBounds();
    Mask.CheckFull();
    return;
  }
  const int32_t bytes = std::min(rowLen_, Mask.RowLen());
  for (int32_t y = 0; y < height_; ++y) std::memcpy(Mask.GetRow(y), GetRow(y), bytes);
  Mask.RecalcBounds();
  Mask.SetFull(full_);
}

void TIEBitmap::CopySelectionTo(TIEBitmap& Dest, TIEMask& Mask) {
  if (&Dest == this || Mask.IsEmpty() || IsEmpty()) return;
  const int32_t x1 = Mask.X1(), y1 = Mask.Y1();
  const int32_t width = Mask.X2() - x1 + 1, height = Mask.Y2() - y1 + 1;
  if (!Dest.Allocate(width, height, GetPixelFormat())) return;
  CopyPaletteTo(&Dest);
  CopyRectTo(Dest, x1, y1, 0, 0, width, height);
  Mask.MaskedCopy(Dest, *this, true, false, true);
}
