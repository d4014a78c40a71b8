#pragma once
// The row renderers of TIEBitmap's drawing: for each source pixel format one plain renderer and one
// blending renderer, twenty in all, chosen once per call from a table so that the per-pixel loops
// carry no format switch. A renderer walks the drawn rows of the destination, reads each one's
// source row through the row map and the drawn columns through the column map, turns the pixels
// into blue, green, red (with the display adjustments of the source) and writes or blends them.
#include <cstdint>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_rgb.h"

class TIEBitmap;

struct TIERenderRowsJob {
  TIEBitmap* Source = nullptr;
  // The source's alpha channel when it is in use, else nil.
  TIEBitmap* Alpha = nullptr;
  TIEBitmap* Dest = nullptr;
  // Address of every row of Dest, or nil: rows are then fetched one at a time (file-held Dest).
  uint8_t* const* DestRows = nullptr;
  // Drawn destination range, inclusive.
  int32_t FirstRow = 0, LastRow = -1, FirstCol = 0, LastCol = -1;
  // Source row of each drawn row (index row - FirstRow) and source column of each drawn column.
  const int32_t* RowMap = nullptr;
  const int32_t* ColumnMap = nullptr;
  bool ReuseRows = false;
  uint8_t BlendOp = 0;
  int32_t Opacity = 255;  // 0..255
};

using TIERowRenderer = void (*)(const TIERenderRowsJob& Job);

// The renderer for a source format; nil for ieNoFormat.
TIERowRenderer IERowRenderer(TIEPixelFormat Format, bool Blending);

// Blends Count pixels of Src (blue, green, red) into Dst: each channel d becomes
// d + floor(a * (v - d) / 256) with a the pixel's alpha (Alpha[i], or Opacity for all when Alpha is
// nil), and exactly v where a is 255.
void BlendPixelsInto(uint8_t* Dst, const uint8_t* Src, const uint8_t* Alpha, int32_t Opacity, int32_t Count);
