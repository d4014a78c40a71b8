#include "platform/media/media_time.h"

#include <limits>

namespace {

int64_t Saturate(__int128 v) {
  if (v > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (v < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

}  // namespace

int64_t TMediaTimeline::FrameTime(int64_t n) const {
  if (!FrameFormat || FrameDen <= 0 || FrameNum <= 0) return 0;
  if (n <= 0) return 0;
  return Saturate(static_cast<__int128>(n) * FrameNum * kMediaTimeUnitsPerSecond / FrameDen);
}

int64_t TMediaTimeline::FrameAt(int64_t t) const {
  if (!FrameFormat || FrameDen <= 0 || FrameNum <= 0 || t <= 0) return 0;
  // Estimate, then settle on the last frame that starts at or before t.
  int64_t n = Saturate(static_cast<__int128>(t) * FrameDen / (static_cast<__int128>(FrameNum) * kMediaTimeUnitsPerSecond));
  while (n > 0 && FrameTime(n) > t) --n;
  while (n < std::numeric_limits<int64_t>::max() && FrameTime(n + 1) <= t) ++n;
  return n;
}

int64_t TMediaTimeline::ToMediaTime(int64_t Value, TMediaTimeFormat Format) const {
  if (Format == mtfFrame && FrameFormat) return FrameTime(Value);
  return Value;
}

int64_t TMediaTimeline::FromMediaTime(int64_t t, TMediaTimeFormat Format) const {
  if (Format == mtfFrame && FrameFormat) return FrameAt(t + Tolerance);
  return t;
}

int64_t TMediaTimeline::DurationIn(TMediaTimeFormat Format) const {
  if (Format == mtfFrame && FrameFormat) return FrameCount;
  return Duration;
}
