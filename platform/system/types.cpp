#include "platform/system/types.h"

#include <algorithm>

bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

bool PtInRect(const TRect& r, const TPoint& p) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

bool IntersectRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (IsRectEmpty(r)) {
    dst = TRect{};
    return false;
  }
  dst = r;
  return true;
}

bool UnionRect(TRect& dst, const TRect& a, const TRect& b) {
  if (IsRectEmpty(a)) {
    dst = IsRectEmpty(b) ? TRect{} : b;
  } else if (IsRectEmpty(b)) {
    dst = a;
  } else {
    dst = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
           std::max(a.Bottom, b.Bottom)};
  }
  return !IsRectEmpty(dst);
}

bool OffsetRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left = SaturateInt32(int64_t{r.Left} + dx);
  r.Right = SaturateInt32(int64_t{r.Right} + dx);
  r.Top = SaturateInt32(int64_t{r.Top} + dy);
  r.Bottom = SaturateInt32(int64_t{r.Bottom} + dy);
  return true;
}

bool InflateRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left = SaturateInt32(int64_t{r.Left} - dx);
  r.Right = SaturateInt32(int64_t{r.Right} + dx);
  r.Top = SaturateInt32(int64_t{r.Top} - dy);
  r.Bottom = SaturateInt32(int64_t{r.Bottom} + dy);
  return true;
}

bool SetRect(TRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  r = {left, top, right, bottom};
  return true;
}

bool SetRectEmpty(TRect& r) {
  r = TRect{};
  return true;
}

bool EqualRect(const TRect& a, const TRect& b) { return a == b; }
