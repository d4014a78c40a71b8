#pragma once
// Row access to framework bitmaps for colour reduction and frame rendering: TDIBReader reads a
// bitmap's rows in a chosen pixel format, TDIBWriter fills a new 8- or 24-bit picture row by row,
// and GDICheck turns a failed handle request into an error.
#include <cstdint>
#include <vector>

#include "platform/gdi/bitmap.h"

class TDIB {
 public:
  TDIB(TBitmap* Bitmap, TPixelFormat PixelFormat) : bitmap_(Bitmap), pixelFormat_(PixelFormat) {}
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  // Row Row of the picture, 0 the top row.
  virtual uint8_t* ScanLine(int32_t Row) = 0;
  TBitmap* Bitmap() const { return bitmap_; }
  TPixelFormat PixelFormat() const { return pixelFormat_; }

 private:
  TBitmap* bitmap_;  // not owned
  TPixelFormat pixelFormat_;
};

// Switches the bitmap to PixelFormat (the framework converts its pixels in place) and reads its rows.
class TDIBReader : public TDIB {
 public:
  TDIBReader(TBitmap* Bitmap, TPixelFormat PixelFormat);
  uint8_t* ScanLine(int32_t Row) override;
};

// Makes Bitmap a picture of Width x Height pixels of 8 or 24 bits, filled row by row. An 8-bit
// picture gets a colour table of 256 entries: the palette's entries first, black after. Nothing
// happens to the bitmap until the first row is asked for, so a writer that writes nothing leaves the
// bitmap as it was. Only pf8bit and pf24bit are accepted (GIFException "Unsupported PixelFormat"); a
// width or height of 0 fails with "Invalid image dimensions".
class TDIBWriter : public TDIB {
 public:
  TDIBWriter(TBitmap* Bitmap, TPixelFormat PixelFormat, int32_t Width, int32_t Height, HPALETTE Palette);
  // A row outside the picture raises EInvalidGraphicOperation "Scan line index out of range"; a
  // picture that cannot be allocated raises EOutOfMemory "Failed to allocate memory for GIF DIB".
  uint8_t* ScanLine(int32_t Row) override;
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  void CreateDIB();
  int32_t width_;
  int32_t height_;
  std::vector<RGBQUAD> colors_;
  bool created_ = false;
};

// Returns Handle, or raises EOutOfResources "Out of system resources" for a null one.
template <class H>
H GDICheck(H Handle) {
  if (!Handle) throw EOutOfResources("Out of system resources");
  return Handle;
}
