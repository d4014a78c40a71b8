#pragma once
// Helpers for the tests of the transitions' regions: questions asked of a region by points.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_region_effect_draw.h"

inline std::ostream& operator<<(std::ostream& Out, const TRect& R) {
  return Out << "(" << R.Left << ", " << R.Top << ", " << R.Right << ", " << R.Bottom << ")";
}

namespace region_test {

// True when the region covers no pixel.
inline bool IsEmptyRegion(HRGN Region) {
  TRect box;
  return GetRgnBox(Region, &box) == NULLREGION;
}

// True when the point and the 5 x 5 pixels about it are all in the region or all out of it: a
// point well inside or well outside, away from any edge.
inline bool Settled(HRGN Region, int32_t X, int32_t Y) {
  const bool in = PtInRegion(Region, X, Y);
  for (int32_t dy = -2; dy <= 2; ++dy)
    for (int32_t dx = -2; dx <= 2; ++dx)
      if (PtInRegion(Region, X + dx, Y + dy) != in) return false;
  return true;
}

}  // namespace region_test
