#pragma once
// TIEBaseBitmap: the abstract row-access interface shared by TIEBitmap and TIEDibbitmap.
#include <cstdint>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_rgb.h"
#include "platform/system/object.h"

class TIEBaseBitmap : public TObject {
 public:
  TIEBaseBitmap() = default;
  TIEBaseBitmap(const TIEBaseBitmap&) = delete;
  TIEBaseBitmap& operator=(const TIEBaseBitmap&) = delete;

  // Row Y, 0 the top row. The caller keeps 0 <= Y < height.
  virtual void* GetRow(int32_t Y) = 0;
  virtual int32_t GetBitCount() = 0;
  virtual int32_t GetHeight() = 0;
  virtual int32_t GetWidth() = 0;
  virtual TIEPixelFormat GetPixelFormat() = 0;
  virtual int32_t GetRowLen() = 0;
  // 256 entries of blue, green, red, or nil when there is no palette.
  virtual TIERGB* GetPaletteBuffer() = 0;
  // The entry, or black for an index outside the palette.
  virtual TIERGB GetPaletteColor(int32_t Index) = 0;
  // Ignored for an index outside the palette.
  virtual void SetPaletteColor(int32_t Index, TIERGB Value) = 0;
  virtual int32_t GetPaletteLength() = 0;
  virtual bool Allocate(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) = 0;
  virtual void Assign(TIEBaseBitmap* Source) = 0;
  virtual void CopyPaletteTo(TIEBaseBitmap* Dest) = 0;

  // Whether rows mapped from a temporary file are read in (iraRead) and written back (iraWrite).
  // A routine that only reads or only writes sets it for its duration and restores it afterwards.
  TIERowAccess RowAccess() const { return rowAccess_; }
  void SetRowAccess(TIERowAccess Value) { rowAccess_ = Value; }

 protected:
  TIERowAccess rowAccess_ = iraReadWrite;
};

// Sets a bitmap's row access for the lifetime of the object and restores the old value.
class TIERowAccessScope {
 public:
  TIERowAccessScope(TIEBaseBitmap& Bitmap, TIERowAccess Access) : bitmap_(Bitmap), old_(Bitmap.RowAccess()) {
    Bitmap.SetRowAccess(Access);
  }
  ~TIERowAccessScope() { bitmap_.SetRowAccess(old_); }
  TIERowAccessScope(const TIERowAccessScope&) = delete;
  TIERowAccessScope& operator=(const TIERowAccessScope&) = delete;

 private:
  TIEBaseBitmap& bitmap_;
  TIERowAccess old_;
};
