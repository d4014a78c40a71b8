// Drawing a 24-bit rectangle with the fast linear filter resamples it where it lies, straight into
// the destination: every byte must equal the older road of copying the rectangle out, resampling
// the copy and copying the result into place, for shrinking and enlarging, clip rectangles and
// destination rectangles that reach past the destination.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_fast.h"
#include "platform/system/types.h"

namespace {

// A picture whose every pixel differs from its neighbours.
void Pattern(TIEBitmap& b, int w, int h) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7 + y * 3);
      row[3 * x + 1] = static_cast<uint8_t>(x * x + y);
      row[3 * x + 2] = static_cast<uint8_t>((x ^ y) * 5);
    }
  }
}

// The older road, written out: the rectangle cut as the drawing cuts it, copied out, resampled,
// and copied 1:1 into place.
void OldRoad(TIEBitmap& src, TIEBitmap& dest, const TRect* clip, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
             int sh) {
  const double ry = static_cast<double>(sh) / dh, rx = static_cast<double>(sw) / dw;
  int64_t x = dx, y = dy, wid = dw, hei = dh, ssx = sx, ssy = sy, swid = sw, shei = sh;
  if (y < 0) {
    const int64_t k = static_cast<int64_t>(std::nearbyint(-y * ry));
    hei += y, shei -= k, ssy += k, y = 0;
  }
  if (x < 0) {
    const int64_t k = static_cast<int64_t>(std::nearbyint(-x * rx));
    wid += x, swid -= k, ssx += k, x = 0;
  }
  if (y + hei > dest.Height()) shei -= static_cast<int64_t>((y + hei - dest.Height()) * ry), hei = dest.Height() - y;
  if (x + wid > dest.Width()) swid -= static_cast<int64_t>((x + wid - dest.Width()) * rx), wid = dest.Width() - x;
  TIEBitmap part(static_cast<int32_t>(swid), static_cast<int32_t>(shei), ie24RGB);
  src.CopyRectTo(part, static_cast<int32_t>(ssx), static_cast<int32_t>(ssy), 0, 0, static_cast<int32_t>(swid),
                 static_cast<int32_t>(shei));
  TIEBitmap out(static_cast<int32_t>(wid), static_cast<int32_t>(hei), ie24RGB);
  FastLinearResample24(part, out, nullptr, nullptr);
  out.RenderToTIEBitmapEx(dest, nullptr, nullptr, nullptr, clip, static_cast<int32_t>(x), static_cast<int32_t>(y),
                          out.Width(), out.Height(), 0, 0, out.Width(), out.Height(), true, false, 255, rfNone, true, 0);
}

bool Same(TIEBitmap& a, TIEBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.GetRow(y), b.GetRow(y), 3 * static_cast<size_t>(a.Width())) != 0) return false;
  return true;
}

TEST(RenderDirect, FastLinearRectanglesMatchTheCopyRoad) {
  TIEBitmap src;
  Pattern(src, 301, 203);
  struct Case {
    const char* name;
    int dx, dy, dw, dh, sx, sy, sw, sh;
    bool clip;
    TRect c;
  } cases[] = {
      {"shrink whole", 0, 0, 81, 55, 0, 0, 301, 203, false, {}},
      {"shrink part", 10, 7, 100, 60, 33, 21, 240, 170, false, {}},
      {"enlarge part", 0, 0, 160, 120, 100, 50, 40, 30, false, {}},
      {"mixed", 5, 5, 150, 40, 0, 0, 120, 160, false, {}},
      {"clipped", 0, 0, 150, 100, 0, 0, 301, 203, true, {20, 10, 90, 70}},
      {"past the right and bottom", 100, 80, 150, 100, 0, 0, 280, 190, false, {}},
      {"before the left and top", -30, -20, 150, 100, 10, 10, 280, 190, false, {}},
      // Boxes wider than a vector load (running sums), and of more rows than the 16-bit vertical sums take.
      {"wide boxes", 3, 4, 20, 14, 0, 0, 301, 203, false, {}},
      // Boxes of more than 256 pixels divide exactly, not by the multiplier.
      {"one pixel", 7, 9, 1, 1, 0, 0, 301, 203, false, {}},
      {"one column", 7, 0, 1, 100, 0, 0, 301, 203, false, {}},
      // The last source columns: small boxes whose vector loads would reach past the row.
      {"at the source's right edge", 0, 0, 20, 30, 250, 100, 51, 103, false, {}},
      {"right edge, clipped", 0, 0, 60, 50, 181, 3, 120, 200, true, {31, 5, 59, 40}},
      {"enlarged at the corner", 0, 0, 150, 110, 281, 183, 20, 20, true, {0, 0, 148, 108}},
  };
  // In rising and falling thread counts, so that the buffers kept from an earlier case are larger
  // or smaller than the next case needs and hold its stale rows.
  for (const int threads : {1, 3, 64, 2}) {
    ResampleThreadCountForTesting() = threads;
    for (const Case& k : cases) {
      TIEBitmap a(160, 120, ie24RGB), b(160, 120, ie24RGB);
      a.Fill(0x123456);
      b.Fill(0x123456);
      const TRect* clip = k.clip ? &k.c : nullptr;
      src.RenderToTIEBitmapEx(a, nullptr, nullptr, nullptr, clip, k.dx, k.dy, k.dw, k.dh, k.sx, k.sy, k.sw, k.sh, true,
                              false, 255, rfFastLinear, true, 0);
      OldRoad(src, b, clip, k.dx, k.dy, k.dw, k.dh, k.sx, k.sy, k.sw, k.sh);
      EXPECT_TRUE(Same(a, b)) << k.name << ", " << threads << " threads";
    }
  }
  ResampleThreadCountForTesting() = 0;
}

}  // namespace
