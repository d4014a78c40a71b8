#pragma once
// Whole-image row access for the geometry routines, which read and write rows in any order (turns,
// rotations, shears): every row of a bitmap as a pointer at once; and the hand-over of a finished
// result to the bitmap it replaces, so that an operation whose memory cannot be had leaves the image
// as it was.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ie_defs.h"

class TIEBitmap;

class TIERowTable {
 public:
  // Every row of Bitmap: rows in memory and in a framework bitmap directly, the rows of a file-held
  // bitmap held (AcquireRow) with Access until Release or the table's end, then written back as
  // Access says. Raises what holding a row raises (out of memory), with no row left held.
  TIERowTable(TIEBitmap& Bitmap, TIERowAccess Access);
  // Releases what is still held; a write error at this point is lost (call Release to see it).
  ~TIERowTable();
  TIERowTable(const TIERowTable&) = delete;
  TIERowTable& operator=(const TIERowTable&) = delete;

  uint8_t* operator[](int32_t Y) const { return rows_[static_cast<size_t>(Y)]; }
  uint8_t* const* Rows() const { return rows_.data(); }
  // Releases held rows, writing them back; raises the store's write error.
  void Release();

 private:
  TIEBitmap& bitmap_;
  std::vector<uint8_t*> rows_;
  bool held_ = false;
  TIERowAccess oldAccess_;
};

// Bitmap takes Result's pixels, size, format and palette (Result is left empty), without copying
// when it can: a bitmap wrapping a framework bitmap or a caller's memory copies them (AssignImage).
// Bitmap keeps its settings and role (alpha channel or not); with WithAlpha it takes Result's alpha
// channel too (none when Result has none), else it keeps its own. Full is cleared.
void TakeResultImage(TIEBitmap& Bitmap, TIEBitmap& Result, bool WithAlpha);

// A new empty bitmap for a result that will replace Like's pixels: Like's row alignment.
std::unique_ptr<TIEBitmap> NewResultBitmap(TIEBitmap& Like);

// The worker threads for a pass over Pixels pixels that reads Source and writes Dest: one for small
// passes and for bitmaps held in temporary files, else the resamplers' count.
int32_t GeometryThreadCount(TIEBitmap& Source, TIEBitmap& Dest, int64_t Pixels);
