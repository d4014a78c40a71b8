#pragma once
// TIEDibbitmap: rows of a DIB section selected into a memory device context of its own, so that
// the drawing layer can draw into them (metafiles, AVI frames, thumbnails, capture frames) before
// they are copied into a TIEBitmap (CopyFromTIEDibbitmap) or a framework bitmap (CopyToTBitmap).
// Rows are stored bottom-up: row Y (0 = top) begins at Bits + RowLen * (Height - 1 - Y).
#include <cstdint>

#include "imaging/core/ie_base_bitmap.h"
#include "platform/gdi/gdi.h"

class TBitmap;

class TIEDibbitmap : public TIEBaseBitmap {
 public:
  TIEDibbitmap();
  ~TIEDibbitmap() override;
  TIEDibbitmap(const TIEDibbitmap&) = delete;
  TIEDibbitmap& operator=(const TIEDibbitmap&) = delete;

  // Row Y (0 = top); nil while there is no DIB. The caller keeps 0 <= Y < Height.
  void* GetRow(int32_t Y) override;
  int32_t GetBitCount() override { return bitCount_; }
  int32_t GetHeight() override { return height_; }
  int32_t GetWidth() override { return width_; }
  // ie1g for 1 bit, ie24RGB for 24 bits, else ieNoFormat.
  TIEPixelFormat GetPixelFormat() override;
  int32_t GetRowLen() override { return rowLen_; }
  // A DIB bitmap has no palette of its own: none, black, ignored, 0.
  TIERGB* GetPaletteBuffer() override { return nullptr; }
  TIERGB GetPaletteColor(int32_t) override { return TIERGB{0, 0, 0}; }
  void SetPaletteColor(int32_t, TIERGB) override {}
  int32_t GetPaletteLength() override { return 0; }
  // AllocateBits with 1 bit for ie1g or 24 bits for ie24RGB; false (the DIB kept) for other formats.
  bool Allocate(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) override;
  // Only from another TIEDibbitmap: its size, depth and rows. Other sources are ignored.
  void Assign(TIEBaseBitmap* Source) override;
  void CopyPaletteTo(TIEBaseBitmap*) override {}

  // A new DIB section (bottom-up, colour entries 0 black and 1 white) in a new memory DC. False,
  // with no DIB and every size 0, when a size is not positive or the DC or DIB cannot be had.
  bool AllocateBits(int32_t Width, int32_t Height, int32_t BitCount);
  // Deletes the DIB and the DC; sizes become 0.
  void FreeBits();
  // Makes Bitmap a 1- or 24-bit framework bitmap of this size holding these rows.
  void CopyToTBitmap(TBitmap& Bitmap);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t RowLen() const { return rowLen_; }
  // The memory device context the DIB is selected into (draw here), and the DIB itself.
  HDC DC() const { return dc_; }
  HBITMAP DIB() const { return dib_; }
  void* Bits() const { return bits_; }

 private:
  // The header with room for two colour entries.
  struct TwoColorBitmapInfo {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[2];
  };

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t rowLen_ = 0;
  HDC dc_ = nullptr;
  HBITMAP dib_ = nullptr;
  HGDIOBJ previous_ = nullptr;  // the object the DC held before the DIB
  TwoColorBitmapInfo bitmapInfo_{};
  uint8_t* bits_ = nullptr;
};
