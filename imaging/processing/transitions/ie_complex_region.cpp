#include "imaging/processing/transitions/ie_complex_region.h"

#include <algorithm>
#include <cstring>
#include <new>

static_assert(sizeof(RGNDATAHEADER) == 32 && sizeof(TRect) == 16, "the region-data block layout");

void TComplexRegion::Clear() {
  block_ = {};
  capacity_ = 0;
  count_ = 0;
  bounds_ = kNoBounds;
}

void TComplexRegion::AddRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (count_ == capacity_) {
    // The size handed to the region call is a 32-bit byte count.
    constexpr int32_t kMostRects = static_cast<int32_t>((UINT32_MAX - 36) / sizeof(TRect)) - kGrowth;
    if (capacity_ > kMostRects) throw std::bad_alloc();
    capacity_ += kGrowth;
    // The header, the rectangles and four spare bytes (a rectangle's room here).
    const size_t rects = kHeaderRects + static_cast<size_t>(capacity_) + 1;
    if (rects > block_.capacity()) block_.reserve(std::max(rects, block_.capacity() + block_.capacity() / 2));
    if (block_.empty()) block_.resize(kHeaderRects);
  }
  block_.push_back(TRect{X1, Y1, X2, Y2});
  ++count_;
  bounds_.Left = std::min(bounds_.Left, X1);
  bounds_.Top = std::min(bounds_.Top, Y1);
  bounds_.Right = std::max(bounds_.Right, X2);
  bounds_.Bottom = std::max(bounds_.Bottom, Y2);
}

void TComplexRegion::AddRegion(HRGN Region) {
  if (!Region) return;
  const uint32_t size = GetRegionData(Region, 0, nullptr);
  if (size <= sizeof(RGNDATAHEADER)) return;
  // Read into rectangles' room, so that the rectangles after the header are aligned.
  std::vector<TRect> data((size + sizeof(TRect) - 1) / sizeof(TRect));
  auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
  if (GetRegionData(Region, size, rgn) != size) return;
  const uint32_t n = std::min<uint32_t>(rgn->rdh.nCount, static_cast<uint32_t>(data.size() - kHeaderRects));
  for (uint32_t i = 0; i < n; ++i) {
    const TRect& r = data[kHeaderRects + i];
    AddRect(r.Left, r.Top, r.Right, r.Bottom);
  }
}

HRGN TComplexRegion::CreateRegion() {
  if (block_.empty()) return nullptr;
  RGNDATAHEADER h;
  h.dwSize = sizeof(RGNDATAHEADER);
  h.iType = 1;  // rectangles
  h.nCount = static_cast<uint32_t>(count_);
  h.nRgnSize = sizeof(TRect);
  h.rcBound = bounds_;
  std::memcpy(static_cast<void*>(block_.data()), &h, sizeof h);
  const uint32_t size = static_cast<uint32_t>(sizeof(TRect) * static_cast<size_t>(count_) + 36);
  return ExtCreateRegion(nullptr, size, reinterpret_cast<const RGNDATA*>(block_.data()));
}

std::span<const TRect> TComplexRegion::Rects() const {
  if (block_.empty()) return {};
  return {block_.data() + kHeaderRects, static_cast<size_t>(count_)};
}
