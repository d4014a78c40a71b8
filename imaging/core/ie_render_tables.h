#pragma once
// Tables a caller of TIEBitmap::RenderToTIEBitmapEx keeps across repaints of the same geometry (the
// views while they scroll): the address of every destination row, and the source column of each
// drawn column and the source row of each drawn row. Each table remembers what it was built for; a
// call with another geometry or another destination rebuilds it, so a kept table never sends a
// drawing outside either bitmap.
#include <cstdint>
#include <vector>

class TIEBitmap;

struct TIERenderDestRows {
  std::vector<uint8_t*> Rows;
  // What the table was built for: the bitmap, its size and where its first and last rows were.
  const TIEBitmap* Dest = nullptr;
  int32_t Width = 0, Height = 0;
  const void* FirstRow = nullptr;
  const void* LastRow = nullptr;

  bool Empty() const { return Rows.empty(); }
  void Clear() { *this = TIERenderDestRows(); }
};

// A caller may also fill a map itself with the keys of the geometry it is about to draw and entries
// of its own (a view whose conversions are tables): a drawing of that geometry over the map's range,
// or a part of it, takes the entries as they are.
struct TIERenderIndexMap {
  // Entry i: the source index of destination index First + i.
  std::vector<int32_t> Entries;
  // What the map was built for: the drawn range, the two origins, the ratio and the source size.
  int32_t First = 0, Last = -1, DstOrigin = 0, SrcOrigin = 0, SrcSize = 0;
  double Ratio = 0;

  bool Empty() const { return Entries.empty(); }
  void Clear() { *this = TIERenderIndexMap(); }
};
