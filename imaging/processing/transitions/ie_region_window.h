#pragma once
// The part of a frame a region is built for. Builders of many bands or cells (bars, shreds,
// speckles, grids) skip those that lie wholly outside it, so that the work follows the picture
// drawn on, whatever frame rectangle a caller names.
#include <algorithm>
#include <cstdint>

#include "platform/system/types.h"

struct TRegionWindow {
  static constexpr int64_t kFar = int64_t{1} << 40;
  int64_t Left = -kFar, Top = -kFar, Right = kFar, Bottom = kFar;

  // No limit: every band and cell is built.
  static constexpr TRegionWindow All() { return {}; }
  static constexpr TRegionWindow Of(const TRect* R) {
    return R ? TRegionWindow{R->Left, R->Top, R->Right, R->Bottom} : TRegionWindow{};
  }
};

// Calls Fn(v) for v = First, First + Step, First + 2 Step, ... below Limit (Step >= 1), leaving out
// the values whose span [v - Before, v + After) misses [Lo, Hi).
template <class F>
void ForEachStep(int64_t First, int64_t Step, int64_t Limit, int64_t Before, int64_t After, int64_t Lo, int64_t Hi,
                 F&& Fn) {
  int64_t v = First;
  if (First + After <= Lo) v += ((Lo - After - First) / Step + 1) * Step;
  const int64_t end = std::min(Limit, Hi + Before);
  for (; v < end; v += Step) Fn(v);
}
