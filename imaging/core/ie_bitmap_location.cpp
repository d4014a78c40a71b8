// TIEBitmap: moving the pixels between memory, temporary file and framework bitmap.
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_exception.h"

TIEPixelFormat TIEBitmap::TBitmapFormatFor(TIEPixelFormat PixelFormat) {
  switch (PixelFormat) {
    case ie16g:
      return ie8g;
    case ie32f:
      throw EIEException("ie32f pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false.");
    case ieCMYK:
      throw EIEException("ieCMYK pixel format not allowed when Location=ieTBitmap. Please set TZodazUrView.LegacyBitmap=false.");
    case ieRGB48:
      throw EIEException("ieRGB48 pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false.");
    case ieCIELab:
      throw EIEException("ieCIELab pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false.");
    default:
      return PixelFormat;
  }
}

void TIEBitmap::SetLocation(TIELocation Location) {
  if (Location == location_) return;
  reallocPending_ = true;
  if (IsEmpty()) {
    // No pixels to move.
    ReleasePixelStorage();
    location_ = Location;
    return;
  }
  // Formats a framework bitmap cannot hold raise before anything is touched.
  const TIEPixelFormat format = Location == ieTBitmap ? TBitmapFormatFor(pixelFormat_) : pixelFormat_;

  TIEBitmap old;
  MoveStorageTo(old);
  const bool oldAlphaFlag = old.isAlphaChannel_;
  location_ = Location;
  if (!Allocate(old.width_, old.height_, format)) {
    // No storage in the new place: the image stays as and where it was.
    old.MoveStorageTo(*this);
    return;
  }
  if (old.location_ == location_) {
    // The size rule sent the rows back where they were: take the old storage back.
    old.MoveStorageTo(*this);
    return;
  }
  if (format != old.pixelFormat_) {
    ConvertRowsFrom(old);
  } else {
    CopyRowsFrom(old);
    old.CopyPaletteTo(this);
  }
  full_ = old.full_;
  alphaChannel_ = std::move(old.alphaChannel_);
  isAlphaChannel_ = oldAlphaFlag;
  RealizePalette();
}

void TIEBitmap::CopyRowsFrom(TIEBitmap& Old) {
  const int32_t rows = std::min(height_, Old.height_);
  const int32_t bytes = std::min(rowLen_, Old.rowLen_);
  TIERowAccessScope readOnly(Old, iraRead);
  TIERowAccessScope writeOnly(*this, rowLen_ <= Old.rowLen_ ? iraWrite : iraReadWrite);
  for (int32_t y = 0; y < rows; ++y) std::memcpy(GetRow(y), Old.GetRow(y), bytes);
}
