// TIEMask: storage, pixels, box, full flag, polygon fill and translation.
#include "imaging/core/ie_mask.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <new>

#include "imaging/core/ie_bits.h"

namespace {

// Storage of Height rows of RowLen bytes, zero-filled; std::bad_alloc when it cannot be had.
TIEMaskBits NewStorage(int32_t Width, int32_t Height, int32_t BitsPerPixel, int32_t& RowLen) {
  RowLen = RowLength(Width, BitsPerPixel, 32);
  const int64_t size = ImageDataSize(Width, Height, BitsPerPixel, 32);
  if (RowLen < 0 || size < 0 || static_cast<uint64_t>(size) > TIEMaskBits().max_size()) throw std::bad_alloc();
  return TIEMaskBits(static_cast<size_t>(size), 0);
}

// Bits of the last byte of a 1-bit row of Width pixels that are pixels (not padding).
uint8_t LastByteMask(int32_t Width) {
  const int32_t rest = Width & 7;
  return rest == 0 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - rest));
}

// ---- Polygon edges ----

// One non-horizontal edge of a polygon: its X on the current row with the error term of the
// integer line stepping, its lower end and its extent (DY > 0). 64 bits: the extents of int32
// points do not fit 32 bits.
struct TPolygonEdge {
  int64_t YTop;
  int64_t X;
  int64_t YEnd;
  int64_t DX;
  int64_t DY;
  int64_t Err;
};

// One row down: X moves by the whole part of DX / DY, the error term gathers the rest and moves X
// one more pixel when it passes DY.
void StepEdge(TPolygonEdge& e) {
  if (e.DX == 0) return;
  const int64_t q = e.DX / e.DY;
  e.X += q;
  e.Err += 2 * e.DX - 2 * e.DY * q;
  if (e.Err > e.DY || e.Err < -e.DY) {
    if (e.DX > 0) {
      e.X += 1;
      e.Err -= 2 * e.DY;
    } else {
      e.X -= 1;
      e.Err += 2 * e.DY;
    }
  }
}

// K rows down from the edge's upper end in one go (K < DY): the state StepEdge reaches after K
// steps. The error term gathers 2|r| per row (r = DX rem DY) and loses 2 DY at each extra pixel,
// staying within DY, so the number of extra pixels is ceil((2|r|K - DY) / (2 DY)), at least 0.
void SkipEdgeRows(TPolygonEdge& e, int64_t K) {
  if (e.DX == 0 || K <= 0) return;
  const int64_t q = e.DX / e.DY;
  const int64_t r = e.DX - q * e.DY;
  const __int128 gathered = static_cast<__int128>(2) * (r < 0 ? -r : r) * K;
  const __int128 num = gathered - e.DY;
  const __int128 den = static_cast<__int128>(2) * e.DY;
  const __int128 extra = num <= 0 ? 0 : (num + den - 1) / den;
  const int64_t err = static_cast<int64_t>(gathered - extra * den);
  e.X += q * K + (e.DX > 0 ? static_cast<int64_t>(extra) : -static_cast<int64_t>(extra));
  e.Err = e.DX > 0 ? err : -err;
}

// An edge X as a span end for SetSpan: anything left of the row is -1, right of it Width.
int32_t SpanX(int64_t X, int32_t Width) { return static_cast<int32_t>(std::clamp<int64_t>(X, -1, Width)); }

}  // namespace

TIEMask::TIEMask() = default;

TIEMask::~TIEMask() = default;

void TIEMask::Assign(const TIEMask& Source) {
  if (&Source == this) return;
  TIEMaskBits bits = Source.bits_;
  FreeBits();
  bits_ = std::move(bits);
  width_ = Source.width_;
  height_ = Source.height_;
  bitsPerPixel_ = Source.bitsPerPixel_;
  rowLen_ = Source.rowLen_;
  x1_ = Source.x1_;
  y1_ = Source.y1_;
  x2_ = Source.x2_;
  y2_ = Source.y2_;
  full_ = Source.full_;
}

// ---- Storage ----

void TIEMask::Allocate(int32_t Width, int32_t Height, int32_t BitsPerPixel) {
  Width = std::max(Width, 0);
  Height = std::max(Height, 0);
  if (BitsPerPixel < 0 || BitsPerPixel > 32) BitsPerPixel = 0;
  int32_t rowLen = 0;
  TIEMaskBits bits = NewStorage(Width, Height, BitsPerPixel, rowLen);
  FreeBits();
  bits_ = std::move(bits);
  width_ = Width;
  height_ = Height;
  bitsPerPixel_ = BitsPerPixel;
  rowLen_ = rowLen;
  EmptyBox();
  full_ = false;
}

void TIEMask::Resize(int32_t NewWidth, int32_t NewHeight) {
  NewWidth = std::max(NewWidth, 0);
  NewHeight = std::max(NewHeight, 0);
  int32_t rowLen = 0;
  TIEMaskBits bits = NewStorage(NewWidth, NewHeight, bitsPerPixel_, rowLen);
  // The top-left pixels, exactly min(old, new) of them per row: the padding of a shrunk row is
  // not carried into the new area of a later growth.
  // Nothing is kept when either width is 0; the storage of a 0-wide mask is then no rows at all.
  const int32_t keptWidth = std::min(width_, NewWidth);
  const int32_t rows = keptWidth > 0 ? std::min(height_, NewHeight) : 0;
  const int64_t keptBits = static_cast<int64_t>(keptWidth) * bitsPerPixel_;
  const int32_t wholeBytes = static_cast<int32_t>(keptBits >> 3);
  const int32_t restBits = static_cast<int32_t>(keptBits & 7);
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* src = GetRow(y);
    uint8_t* dst = bits.data() + static_cast<int64_t>(NewHeight - 1 - y) * rowLen;
    std::memcpy(dst, src, static_cast<size_t>(wholeBytes));
    if (restBits) dst[wholeBytes] = static_cast<uint8_t>(src[wholeBytes] & (0xFF << (8 - restBits)));
  }
  const bool grew = NewWidth > width_ || NewHeight > height_;
  FreeDrawCache();
  bits_ = std::move(bits);
  width_ = NewWidth;
  height_ = NewHeight;
  rowLen_ = rowLen;
  ClampBox();
  if (grew) full_ = false;
}

void TIEMask::FreeBits() {
  FreeDrawCache();
  bits_.clear();
  bits_.shrink_to_fit();
  width_ = 0;
  height_ = 0;
  bitsPerPixel_ = 0;
  rowLen_ = 0;
}

uint8_t* TIEMask::GetRow(int32_t Y) {
  assert(Y >= 0 && Y < height_);
  return bits_.data() + static_cast<int64_t>(height_ - 1 - Y) * rowLen_;
}

const uint8_t* TIEMask::GetRow(int32_t Y) const {
  assert(Y >= 0 && Y < height_);
  return bits_.data() + static_cast<int64_t>(height_ - 1 - Y) * rowLen_;
}

// ---- Box ----

void TIEMask::EmptyBox() {
  x1_ = y1_ = kEmptyBox;
  x2_ = y2_ = 0;
}

// A non-empty box limited to the mask; emptied when the mask has no pixels.
void TIEMask::ClampBox() {
  if (IsEmpty()) return;
  if (width_ <= 0 || height_ <= 0) {
    EmptyBox();
    return;
  }
  x1_ = std::clamp(x1_, 0, width_ - 1);
  x2_ = std::clamp(x2_, 0, width_ - 1);
  y1_ = std::clamp(y1_, 0, height_ - 1);
  y2_ = std::clamp(y2_, 0, height_ - 1);
}

void TIEMask::SetBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X1 == kEmptyBox || X2 < X1 || Y2 < Y1) {
    EmptyBox();
    return;
  }
  x1_ = X1;
  y1_ = Y1;
  x2_ = X2;
  y2_ = Y2;
  ClampBox();
}

// ---- Pixels ----

int32_t TIEMask::GetPixel(int32_t X, int32_t Y) const {
  if (X < 0 || Y < 0 || X >= width_ || Y >= height_ || !HasValidDepth()) return 0;
  const uint8_t* row = GetRow(Y);
  return bitsPerPixel_ == 1 ? GetRowBit(row, X) : row[X];
}

void TIEMask::SetPixel(int32_t X, int32_t Y, int32_t Value) {
  if (X < 0 || Y < 0 || X >= width_ || Y >= height_ || !HasValidDepth()) return;
  if (Value != 0) {
    if (IsEmpty()) {
      x1_ = x2_ = X;
      y1_ = y2_ = Y;
    } else {
      x1_ = std::min(x1_, X);
      y1_ = std::min(y1_, Y);
      x2_ = std::max(x2_, X);
      y2_ = std::max(y2_, Y);
    }
  }
  uint8_t* row = GetRow(Y);
  if (bitsPerPixel_ == 1) {
    SetRowBit(row, X, Value);
    if (Value == 0) full_ = false;
  } else {
    row[X] = static_cast<uint8_t>(Value);
    if (row[X] != 255) full_ = false;
  }
}

int32_t TIEMask::SetSpan(int32_t Value, int32_t XFrom, int32_t XTo, int32_t Y) {
  if (Y < 0 || Y >= height_ || !HasValidDepth()) return 0;
  XFrom = std::max(XFrom, 0);
  XTo = std::min(XTo, width_ - 1);
  if (XTo < XFrom) return 0;
  const int32_t count = XTo - XFrom + 1;
  uint8_t* row = GetRow(Y);
  if (bitsPerPixel_ == 1) {
    FillRowBits(row, XFrom, count, Value == 1);
    if (Value != 1) full_ = false;
  } else {
    std::memset(row + XFrom, static_cast<uint8_t>(Value), static_cast<size_t>(count));
    if (static_cast<uint8_t>(Value) != 255) full_ = false;
  }
  return count;
}

void TIEMask::Fill(uint8_t Value) {
  std::fill(bits_.begin(), bits_.end(), Value);
  full_ = Value == 255;
}

void TIEMask::Clear() {
  Fill(0);
  EmptyBox();
}

void TIEMask::RecalcBounds() {
  if (!HasValidDepth()) return;
  int32_t x1 = kEmptyBox, y1 = kEmptyBox, x2 = -1, y2 = -1;
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = GetRow(y);
    int32_t first = -1, last = -1;
    if (bitsPerPixel_ == 1) {
      const int32_t bytes = (width_ + 7) >> 3;
      const uint8_t lastMask = LastByteMask(width_);
      auto at = [&](int32_t i) { return static_cast<uint8_t>(i == bytes - 1 ? row[i] & lastMask : row[i]); };
      for (int32_t i = 0; i < bytes; ++i)
        if (const uint8_t b = at(i)) {
          first = i * 8 + std::countl_zero(b);
          break;
        }
      if (first < 0) continue;
      for (int32_t i = bytes - 1; i >= 0; --i)
        if (const uint8_t b = at(i)) {
          last = i * 8 + 7 - std::countr_zero(b);
          break;
        }
    } else {
      for (int32_t x = 0; x < width_; ++x)
        if (row[x]) {
          first = x;
          break;
        }
      if (first < 0) continue;
      for (int32_t x = width_ - 1; x >= first; --x)
        if (row[x]) {
          last = x;
          break;
        }
    }
    x1 = std::min(x1, first);
    x2 = std::max(x2, last);
    if (y1 == kEmptyBox) y1 = y;
    y2 = y;
  }
  if (y1 == kEmptyBox) {
    EmptyBox();
    return;
  }
  x1_ = x1;
  y1_ = y1;
  x2_ = x2;
  y2_ = y2;
}

void TIEMask::CheckFull() {
  if (!HasValidDepth()) return;
  full_ = true;
  for (int32_t y = 0; y < height_ && full_; ++y) {
    const uint8_t* row = GetRow(y);
    if (bitsPerPixel_ == 1) {
      const int32_t whole = width_ >> 3;
      for (int32_t i = 0; i < whole; ++i)
        if (row[i] != 0xFF) full_ = false;
      if ((width_ & 7) && (row[whole] & LastByteMask(width_)) != LastByteMask(width_)) full_ = false;
    } else {
      for (int32_t x = 0; x < width_; ++x)
        if (row[x] != 255) full_ = false;
    }
  }
}

// ---- Polygons ----

void TIEMask::FillPolygons(int32_t Value, const TPoint* Points, int32_t Count) {
  if (Points && Count > 0) {
    int32_t start = 0;
    for (int32_t i = 0; i <= Count; ++i) {
      if (i < Count && Points[i].X != kPolygonSeparator) continue;
      if (i > start) FillPolygon(Value, Points + start, i - start);
      start = i + 1;
    }
  }
  CheckFull();
}

void TIEMask::FillPolygon(int32_t Value, const TPoint* Points, int32_t Count) {
  if (!HasValidDepth() || !Points || Count <= 0) return;
  const int32_t oldX1 = x1_, oldY1 = y1_, oldX2 = x2_, oldY2 = y2_;

  // The box grows by the points; the right and bottom edges are exclusive.
  if (Value != 0) {
    int64_t bx1 = x1_, by1 = y1_, bx2 = x2_, by2 = y2_;
    for (int32_t i = 0; i < Count; ++i) {
      bx1 = std::min<int64_t>(bx1, Points[i].X);
      by1 = std::min<int64_t>(by1, Points[i].Y);
      bx2 = std::max<int64_t>(bx2, int64_t{Points[i].X} - 1);
      by2 = std::max<int64_t>(by2, int64_t{Points[i].Y} - 1);
    }
    x1_ = static_cast<int32_t>(std::max<int64_t>(bx1, 0));
    y1_ = static_cast<int32_t>(std::max<int64_t>(by1, 0));
    x2_ = static_cast<int32_t>(std::min<int64_t>(bx2, width_ - 1));
    y2_ = static_cast<int32_t>(std::min<int64_t>(by2, height_ - 1));
  }

  // Edges, horizontal ones dropped, sorted by their upper row.
  std::vector<TPolygonEdge> edges;
  edges.reserve(static_cast<size_t>(Count));
  int64_t minY = std::numeric_limits<int64_t>::max(), maxY = 0;
  for (int32_t i = 0; i < Count; ++i) {
    const TPoint a = Points[i];
    const TPoint b = Points[(i + 1) % Count];
    minY = std::min<int64_t>(minY, a.Y);
    maxY = std::max<int64_t>(maxY, a.Y);
    if (a.Y == b.Y) continue;
    const TPoint& up = a.Y < b.Y ? a : b;
    const TPoint& down = a.Y < b.Y ? b : a;
    edges.push_back(TPolygonEdge{up.Y, up.X, down.Y, int64_t{down.X} - up.X, int64_t{down.Y} - up.Y, 0});
  }
  std::stable_sort(edges.begin(), edges.end(),
                   [](const TPolygonEdge& a, const TPolygonEdge& b) { return a.YTop < b.YTop; });

  // Only the rows of the mask are walked: rows above it write nothing, and the edges that start
  // there are moved to the first row in one step, so far-away points cost no time.
  const int64_t rowFirst = std::max<int64_t>(minY, 0);
  const int64_t rowLast = std::min<int64_t>(maxY, height_ - 1);
  int64_t written = 0;
  std::vector<TPolygonEdge> active;
  size_t next = 0;
  for (int64_t y = rowFirst; y <= rowLast; ++y) {
    if (y == rowFirst) {
      for (; next < edges.size() && edges[next].YTop <= y; ++next) {
        TPolygonEdge e = edges[next];
        if (e.YEnd <= y) continue;
        SkipEdgeRows(e, y - e.YTop);
        active.push_back(e);
      }
    } else {
      std::erase_if(active, [y](const TPolygonEdge& e) { return e.YEnd <= y; });
      for (TPolygonEdge& e : active) StepEdge(e);
      for (; next < edges.size() && edges[next].YTop == y; ++next) active.push_back(edges[next]);
    }
    // The list is kept in X order (edges of a self-crossing polygon change places), then filled
    // between the first and second edge, the third and fourth, ...
    std::stable_sort(active.begin(), active.end(),
                     [](const TPolygonEdge& a, const TPolygonEdge& b) { return a.X < b.X; });
    for (size_t i = 0; i + 1 < active.size(); i += 2) {
      const int64_t left = active[i].X;
      const int64_t right = active[i + 1].X - 1;
      if (right >= left)
        written += SetSpan(Value, SpanX(left, width_), SpanX(right, width_), static_cast<int32_t>(y));
    }
  }

  // A polygon that selects nothing leaves the box as it was before.
  if (written == 0) {
    x1_ = oldX1;
    y1_ = oldY1;
    x2_ = oldX2;
    y2_ = oldY2;
  }
}

// ---- Translation ----

void TIEMask::Translate(int32_t& DX, int32_t& DY, bool CutBorders) {
  if (!HasValidDepth()) return;
  if (IsEmpty()) {
    RecalcBounds();
    if (IsEmpty()) return;
  }
  int64_t x1 = x1_, y1 = y1_, x2 = x2_, y2 = y2_;
  int64_t dx = DX, dy = DY;
  if (CutBorders) {
    if (x1 + dx < 0) x1 = -dx;
    if (y1 + dy < 0) y1 = -dy;
    if (x2 + dx >= width_) x2 = width_ - 1 - dx;
    if (y2 + dy >= height_) y2 = height_ - 1 - dy;
  } else {
    if (x1 + dx < 0) dx = -x1;
    if (x2 + dx >= width_) dx = width_ - 1 - x2;
    if (y1 + dy < 0) dy = -y1;
    if (y2 + dy >= height_) dy = height_ - 1 - y2;
    DX = static_cast<int32_t>(dx);
    DY = static_cast<int32_t>(dy);
  }
  if (dx == 0 && dy == 0) return;
  if (x2 < x1 || y2 < y1) {
    Clear();
    return;
  }

  // Now the box, moved, lies inside the mask.
  const int32_t bx1 = static_cast<int32_t>(x1), by1 = static_cast<int32_t>(y1);
  const int32_t bx2 = static_cast<int32_t>(x2), by2 = static_cast<int32_t>(y2);
  const int32_t w = bx2 - bx1 + 1;
  const int32_t ox = static_cast<int32_t>(dx), oy = static_cast<int32_t>(dy);
  const TIEMaskBits saved = bits_;
  std::fill(bits_.begin(), bits_.end(), 0);
  for (int32_t y = by1; y <= by2; ++y) {
    const uint8_t* src = saved.data() + static_cast<int64_t>(height_ - 1 - y) * rowLen_;
    uint8_t* dst = GetRow(y + oy);
    if (bitsPerPixel_ == 1)
      CopyRowBits(src, bx1, dst, bx1 + ox, w);
    else
      std::memcpy(dst + bx1 + ox, src + bx1, static_cast<size_t>(w));
  }
  full_ = false;

  x1_ = std::clamp(bx1 + ox, 0, width_ - 1);
  x2_ = std::clamp(bx2 + ox, 0, width_ - 1);
  y1_ = std::clamp(by1 + oy, 0, height_ - 1);
  y2_ = std::clamp(by2 + oy, 0, height_ - 1);
}
