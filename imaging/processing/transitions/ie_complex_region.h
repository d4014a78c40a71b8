#pragma once
// Regions of many rectangles for the transition effects: TComplexRegion gathers rectangles in one
// growing block and turns them into one region in a single call, and TOwnedRegion deletes a
// region on every path out of the code that made it.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/gdi.h"

// Owns one region: deletes it when it goes out of scope, whatever way the scope is left.
class TOwnedRegion {
 public:
  TOwnedRegion() = default;
  explicit TOwnedRegion(HRGN Region) : region_(Region) {}
  TOwnedRegion(TOwnedRegion&& Other) noexcept : region_(Other.Release()) {}
  TOwnedRegion& operator=(TOwnedRegion&& Other) noexcept {
    if (this != &Other) Reset(Other.Release());
    return *this;
  }
  TOwnedRegion(const TOwnedRegion&) = delete;
  TOwnedRegion& operator=(const TOwnedRegion&) = delete;
  ~TOwnedRegion() { Reset(); }

  HRGN Get() const { return region_; }
  explicit operator bool() const { return region_ != nullptr; }
  // Hands the region to the caller, who deletes it.
  HRGN Release() {
    HRGN r = region_;
    region_ = nullptr;
    return r;
  }
  void Reset(HRGN Region = nullptr) {
    if (region_) DeleteObject(region_);
    region_ = Region;
  }

 private:
  HRGN region_ = nullptr;
};

// A list of rectangles kept in the block the system's region call reads (a 32-byte region-data
// header, then 16 bytes a rectangle), its capacity growing by 500 rectangles at a time. (The
// memory under it grows by half its size at least, so that a list of many thousand rectangles is
// not copied over and over.)
class TComplexRegion {
 public:
  TComplexRegion() = default;
  TComplexRegion(const TComplexRegion&) = delete;
  TComplexRegion& operator=(const TComplexRegion&) = delete;
  ~TComplexRegion() = default;

  // Frees the block: no rectangles, no capacity, the bounds reset.
  void Clear();
  // Stores the rectangle as it is (a reversed or empty one stays, and covers nothing) and widens
  // the bounds by its corners.
  void AddRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // Adds the rectangles Region is made of (none for a null region).
  void AddRegion(HRGN Region);
  // A new region of the rectangles, owned by the caller; none (null) when no rectangle was ever
  // added, an empty region when they all cover nothing. The rectangles stay in the list.
  HRGN CreateRegion();

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  // The smallest and largest corners added: (2147483647, 2147483647, -2147483647, -2147483647)
  // before the first rectangle.
  const TRect& Bounds() const { return bounds_; }
  std::span<const TRect> Rects() const;

 private:
  static constexpr int32_t kGrowth = 500;
  static constexpr TRect kNoBounds{2147483647, 2147483647, -2147483647, -2147483647};
  // The header takes the block's first two rectangles' room.
  static constexpr size_t kHeaderRects = 2;

  std::vector<TRect> block_;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  TRect bounds_ = kNoBounds;
};
