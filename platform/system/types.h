#pragma once
// The framework's small geometry records: points, sizes and rectangles in integer pixels.
// A rectangle holds its corners (Left, Top) and (Right, Bottom); as a drawing area it covers the
// pixels from Left to Right - 1 and Top to Bottom - 1 (the right and bottom edges are excluded).
#include <cstdint>

// V held in an int32, saturated at the ends of its range. Geometry that could pass the range (the
// width of a rectangle from INT32_MIN to INT32_MAX) is computed in 64 bits and brought back by
// this, so that an extreme rectangle gives the largest value instead of wrapping around.
constexpr int32_t SaturateInt32(int64_t V) {
  return V > INT32_MAX ? INT32_MAX : (V < INT32_MIN ? INT32_MIN : static_cast<int32_t>(V));
}

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return SaturateInt32(int64_t{Right} - Left); }
  int32_t Height() const { return SaturateInt32(int64_t{Bottom} - Top); }
  TPoint TopLeft() const { return {Left, Top}; }
  TPoint BottomRight() const { return {Right, Bottom}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// The Windows names of the same records.
using POINT = TPoint;
using SIZE = TSize;
using RECT = TRect;

constexpr TPoint Point(int32_t x, int32_t y) { return {x, y}; }
constexpr TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return {left, top, right, bottom};
}
// A rectangle from its top-left corner and its extent.
constexpr TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  return {left, top, SaturateInt32(int64_t{left} + width), SaturateInt32(int64_t{top} + height)};
}

// True when the rectangle covers no pixel (Right <= Left or Bottom <= Top).
bool IsRectEmpty(const TRect& r);
// True when the point lies inside, the right and bottom edges excluded.
bool PtInRect(const TRect& r, const TPoint& p);
// The common part of a and b into dst; false (and dst emptied to all zeros) when they do not meet.
bool IntersectRect(TRect& dst, const TRect& a, const TRect& b);
// The smallest rectangle holding both; an empty rectangle adds nothing.
bool UnionRect(TRect& dst, const TRect& a, const TRect& b);
// Moves the rectangle; OffsetRect and InflateRect saturate at the ends of the int32 range.
bool OffsetRect(TRect& r, int32_t dx, int32_t dy);
// Grows the rectangle by dx on the left and right and dy on the top and bottom (negative shrinks).
bool InflateRect(TRect& r, int32_t dx, int32_t dy);
bool SetRect(TRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool SetRectEmpty(TRect& r);
bool EqualRect(const TRect& a, const TRect& b);
