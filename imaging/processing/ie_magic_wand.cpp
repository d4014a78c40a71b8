#include "imaging/processing/ie_magic_wand.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "platform/system/exception.h"

namespace {

// The region around a seed, found by a scan-line fill over bit rows. A row's match bits are computed
// when the fill first reaches it; a taken pixel moves from the match bits to the region bits, so each
// pixel is tested once.
class TWandRegion {
 public:
  TWandRegion(TIEBitmap& Bitmap, int32_t Tolerance, TIERGB Seed)
      : bitmap_(Bitmap), width_(Bitmap.Width()), height_(Bitmap.Height()), words_((width_ + 63) / 64),
        tolerance_(Tolerance), seed_(Seed) {
    const size_t bits = static_cast<size_t>(words_) * static_cast<size_t>(height_);
    avail_.assign(bits, 0);
    region_.assign(bits, 0);
    computed_.assign(static_cast<size_t>(height_), 0);
  }

  // The connected region around (X, Y).
  void Fill(int32_t X, int32_t Y) {
    EnsureRow(Y);
    if (!Avail(X, Y)) return;
    struct TSegment {
      int32_t y, left, right, dir;
    };
    std::vector<TSegment> stack;
    stack.reserve(static_cast<size_t>(2) * width_);
    int32_t a = RunStart(Y, X), b = RunEnd(Y, X);
    Take(Y, a, b);
    stack.push_back({Y + 1, a, b, 1});
    stack.push_back({Y - 1, a, b, -1});
    while (!stack.empty()) {
      const TSegment s = stack.back();
      stack.pop_back();
      if (s.y < 0 || s.y >= height_) continue;
      EnsureRow(s.y);
      for (int32_t x = NextAvail(s.y, s.left, s.right); x >= 0;) {
        a = RunStart(s.y, x);
        b = RunEnd(s.y, x);
        Take(s.y, a, b);
        stack.push_back({s.y + s.dir, a, b, s.dir});
        // The parts of the run beyond its parent touch the parent's row where it was not scanned.
        if (a < s.left) stack.push_back({s.y - s.dir, a, s.left - 1, -s.dir});
        if (b > s.right) stack.push_back({s.y - s.dir, s.right + 1, b, -s.dir});
        x = b + 1 <= s.right ? NextAvail(s.y, b + 1, s.right) : -1;
      }
    }
  }

  // The matching pixels of row Y as runs, each passed to Run(Left, Right).
  template <class F>
  void ForMatchingRuns(int32_t Y, F&& Run) {
    EnsureRow(Y);
    ForRuns(avail_.data() + RowOffset(Y), Run);
  }
  // The region's pixels of row Y as runs.
  template <class F>
  void ForRegionRuns(int32_t Y, F&& Run) {
    ForRuns(region_.data() + RowOffset(Y), Run);
  }
  bool InRegion(int32_t X, int32_t Y) const { return (region_[RowOffset(Y) + (X >> 6)] >> (X & 63)) & 1; }

  bool Empty() const { return bottom_ < 0; }
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Right() const { return right_; }
  int32_t Bottom() const { return bottom_; }

 private:
  size_t RowOffset(int32_t Y) const { return static_cast<size_t>(Y) * static_cast<size_t>(words_); }
  bool Avail(int32_t X, int32_t Y) const { return (avail_[RowOffset(Y) + (X >> 6)] >> (X & 63)) & 1; }

  bool Matches(TIERGB c) const {
    return std::abs(c.r - seed_.r) <= tolerance_ && std::abs(c.g - seed_.g) <= tolerance_ &&
           std::abs(c.b - seed_.b) <= tolerance_;
  }

  void EnsureRow(int32_t Y) {
    if (computed_[static_cast<size_t>(Y)]) return;
    computed_[static_cast<size_t>(Y)] = 1;
    if (tolerance_ < 0) return;
    uint64_t* row = avail_.data() + RowOffset(Y);
    if (bitmap_.PixelFormat() == ie24RGB) {
      TIERowAccessScope readOnly(bitmap_, iraRead);
      const auto* px = static_cast<const uint8_t*>(bitmap_.GetRow(Y));
      const int32_t t = tolerance_;
      for (int32_t w = 0; w < words_; ++w) {
        const int32_t x0 = w * 64, n = std::min(64, width_ - x0);
        uint64_t bits = 0;
        for (int32_t k = 0; k < n; ++k) {
          const uint8_t* p = px + 3 * static_cast<int64_t>(x0 + k);
          const bool m = std::abs(p[0] - seed_.b) <= t && std::abs(p[1] - seed_.g) <= t && std::abs(p[2] - seed_.r) <= t;
          bits |= static_cast<uint64_t>(m) << k;
        }
        row[w] = bits;
      }
      return;
    }
    for (int32_t x = 0; x < width_; ++x)
      if (Matches(bitmap_.GetPixelRGB(x, Y))) row[x >> 6] |= uint64_t{1} << (x & 63);
  }

  // The first available pixel of row Y in From..To, or -1.
  int32_t NextAvail(int32_t Y, int32_t From, int32_t To) const {
    From = std::max(From, 0);
    To = std::min(To, width_ - 1);
    if (From > To) return -1;
    const uint64_t* row = avail_.data() + RowOffset(Y);
    int32_t w = From >> 6;
    uint64_t bits = row[w] & (~uint64_t{0} << (From & 63));
    while (true) {
      if (bits) {
        const int32_t x = w * 64 + std::countr_zero(bits);
        return x <= To ? x : -1;
      }
      if (++w > (To >> 6)) return -1;
      bits = row[w];
    }
  }
  // The first pixel of the available run holding X.
  int32_t RunStart(int32_t Y, int32_t X) const {
    const uint64_t* row = avail_.data() + RowOffset(Y);
    int32_t w = X >> 6;
    // The clear bits at or below X's place.
    uint64_t clear = ~row[w] & (~uint64_t{0} >> (63 - (X & 63)));
    while (!clear) {
      if (--w < 0) return 0;
      clear = ~row[w];
    }
    return w * 64 + (63 - std::countl_zero(clear)) + 1;
  }
  // The last pixel of the available run holding X.
  int32_t RunEnd(int32_t Y, int32_t X) const {
    const uint64_t* row = avail_.data() + RowOffset(Y);
    int32_t w = X >> 6;
    uint64_t clear = ~row[w] & (~uint64_t{0} << (X & 63));
    while (!clear) {
      if (++w >= words_) return width_ - 1;
      clear = ~row[w];
    }
    return std::min(width_ - 1, w * 64 + std::countr_zero(clear) - 1);
  }
  // Moves A..B of row Y from the available bits to the region.
  void Take(int32_t Y, int32_t A, int32_t B) {
    uint64_t* avail = avail_.data() + RowOffset(Y);
    uint64_t* region = region_.data() + RowOffset(Y);
    for (int32_t w = A >> 6; w <= (B >> 6); ++w) {
      const int32_t lo = std::max(A, w * 64) - w * 64, hi = std::min(B, w * 64 + 63) - w * 64;
      const uint64_t mask = (hi == 63 ? ~uint64_t{0} : ((uint64_t{1} << (hi + 1)) - 1)) & (~uint64_t{0} << lo);
      avail[w] &= ~mask;
      region[w] |= mask;
    }
    left_ = std::min(left_, A);
    right_ = std::max(right_, B);
    top_ = std::min(top_, Y);
    bottom_ = std::max(bottom_, Y);
  }

  template <class F>
  void ForRuns(const uint64_t* Row, F&& Run) const {
    int32_t x = 0;
    while (x < width_) {
      // The next set bit, then the next clear one.
      int32_t w = x >> 6;
      uint64_t bits = Row[w] & (~uint64_t{0} << (x & 63));
      while (!bits && ++w < words_) bits = Row[w];
      if (!bits) return;
      const int32_t a = w * 64 + std::countr_zero(bits);
      uint64_t clear = ~Row[w] & (~uint64_t{0} << (a & 63));
      while (!clear && ++w < words_) clear = ~Row[w];
      const int32_t b = clear ? std::min(width_, w * 64 + std::countr_zero(clear)) - 1 : width_ - 1;
      Run(a, b);
      x = b + 1;
    }
  }

  TIEBitmap& bitmap_;
  int32_t width_, height_, words_;
  int32_t tolerance_;
  TIERGB seed_;
  std::vector<uint64_t> avail_, region_;
  std::vector<uint8_t> computed_;
  int32_t left_ = INT32_MAX, top_ = INT32_MAX, right_ = -1, bottom_ = -1;
};

bool Inside(TIEBitmap& Bitmap, int32_t X, int32_t Y) {
  return !Bitmap.IsEmpty() && X >= 0 && Y >= 0 && X < Bitmap.Width() && Y < Bitmap.Height();
}

// The value SetSpan takes for what SetPixel makes of Value.
int32_t SpanValue(TIEMask& Mask, int32_t Value) { return Mask.BitsPerPixel() == 1 ? (Value != 0 ? 1 : 0) : Value; }

// The mask's box grown over a written rectangle (only selecting writes grow it).
void GrowBox(TIEMask& Mask, int32_t Value, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (Value == 0 || X2 < X1 || Y2 < Y1) return;
  if (!Mask.IsEmpty()) {
    X1 = std::min(X1, Mask.X1());
    Y1 = std::min(Y1, Mask.Y1());
    X2 = std::max(X2, Mask.X2());
    Y2 = std::max(Y2, Mask.Y2());
  }
  Mask.SetBox(std::max(X1, 0), std::max(Y1, 0), std::min(X2, Mask.Width() - 1), std::min(Y2, Mask.Height() - 1));
}

// The work memory of the wand failing is the out-of-memory error.
template <class F>
auto Guarded(F&& Body) -> decltype(Body()) {
  try {
    return Body();
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
}

// Floor division by 4.
constexpr int32_t Quarter(int32_t V) { return V >= 0 ? V / 4 : -((-V + 3) / 4); }

// The trace's directions in search order, with their chain codes and the moves of the codes.
constexpr int32_t kDirX[8] = {1, 0, -1, 0, 1, -1, -1, 1};
constexpr int32_t kDirY[8] = {0, -1, 0, 1, -1, -1, 1, 1};
constexpr int32_t kDirCode[8] = {0, 2, 4, 6, 1, 3, 5, 7};
constexpr int32_t kCodeX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int32_t kCodeY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

// Each pixel of Map (Width x Height bytes, 0 or 1) grown over its 3 x 3 neighbourhood inside the map.
std::vector<uint8_t> Grown(const std::vector<uint8_t>& Map, int32_t Width, int32_t Height) {
  const size_t w = static_cast<size_t>(Width);
  std::vector<uint8_t> across(Map.size()), grown(Map.size());
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* m = Map.data() + y * w;
    uint8_t* a = across.data() + y * w;
    for (size_t x = 0; x < w; ++x) a[x] = static_cast<uint8_t>(m[x] | (x > 0 ? m[x - 1] : 0) | (x + 1 < w ? m[x + 1] : 0));
  }
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* above = across.data() + static_cast<size_t>(y > 0 ? y - 1 : y) * w;
    const uint8_t* row = across.data() + y * w;
    const uint8_t* below = across.data() + static_cast<size_t>(y + 1 < Height ? y + 1 : y) * w;
    uint8_t* g = grown.data() + y * w;
    for (size_t x = 0; x < w; ++x) g[x] = static_cast<uint8_t>(above[x] | row[x] | below[x]);
  }
  return grown;
}

std::vector<TPoint> TraceOutline(TWandRegion& Region, bool Grow) {
  const int32_t bx = Region.Left(), by = Region.Top();
  const int32_t bw = Region.Right() - bx + 1, bh = Region.Bottom() - by + 1;
  // The region in its box, grown within the box.
  std::vector<uint8_t> map(static_cast<size_t>(bw) * static_cast<size_t>(bh), 0);
  for (int32_t y = 0; y < bh; ++y)
    Region.ForRegionRuns(by + y, [&](int32_t a, int32_t b) {
      std::fill(map.begin() + static_cast<int64_t>(y) * bw + (a - bx), map.begin() + static_cast<int64_t>(y) * bw + (b - bx) + 1, 1);
    });
  if (Grow) map = Grown(map, bw, bh);
  // The grid: the box four times magnified with a margin of 2 cells; 0 outside, 1 inside,
  // 3 boundary, 2 traced. Pixel (x, y) covers the cells 4x + 2 .. 4x + 5 of the rows 4y + 2 ..
  // 4y + 5. The boundary is the cell before and after each horizontal and each vertical run of
  // inside cells: the horizontal ones are the same in the four rows of a pixel row, the vertical ones
  // lie in the row above or below a pixel row, under pixels that are set on one side only.
  const int64_t gw = 4 * int64_t{bw} + 4, gh = 4 * int64_t{bh} + 4;
  std::vector<uint8_t> grid(static_cast<size_t>(gw * gh), 0);
  auto cell = [&](int64_t x, int64_t y) -> uint8_t& { return grid[static_cast<size_t>(y * gw + x)]; };
  auto pixel = [&](int32_t x, int32_t y) { return map[static_cast<size_t>(y) * bw + x] != 0; };
  for (int32_t y = 0; y < bh; ++y) {
    uint8_t* first = &cell(0, 4 * int64_t{y} + 2);
    for (int32_t x = 0; x < bw; ++x) {
      if (!pixel(x, y)) continue;
      std::memset(first + 4 * int64_t{x} + 2, 1, 4);
      if (x == 0 || !pixel(x - 1, y)) first[4 * int64_t{x} + 1] = 3;
      if (x + 1 == bw || !pixel(x + 1, y)) first[4 * int64_t{x} + 6] = 3;
    }
    for (int32_t k = 1; k < 4; ++k) std::memcpy(first + k * gw, first, static_cast<size_t>(gw));
  }
  for (int32_t y = 0; y < bh; ++y)
    for (int32_t x = 0; x < bw; ++x) {
      if (!pixel(x, y)) continue;
      if (y == 0 || !pixel(x, y - 1)) std::memset(&cell(4 * int64_t{x} + 2, 4 * int64_t{y} + 1), 3, 4);
      if (y + 1 == bh || !pixel(x, y + 1)) std::memset(&cell(4 * int64_t{x} + 2, 4 * int64_t{y} + 6), 3, 4);
    }
  map.clear();
  map.shrink_to_fit();
  // The start: the boundary cell nearest to the top-left corner of the boundary's box.
  int64_t minX = INT64_MAX, minY = -1;
  for (int64_t y = 0; y < gh; ++y) {
    const uint8_t* row = &cell(0, y);
    const void* at = std::memchr(row + 1, 3, static_cast<size_t>(gw - 1));
    if (!at) continue;
    if (minY < 0) minY = y;
    minX = std::min<int64_t>(minX, static_cast<const uint8_t*>(at) - row);
  }
  if (minY < 0) return {};
  int64_t sx = -1, sy = -1, best = INT64_MAX;
  for (int64_t y = minY; y < gh && (y - minY) * (y - minY) < best; ++y)
    for (int64_t x = 1; x < gw; ++x) {
      if (cell(x, y) != 3) continue;
      const int64_t d = (x - minX) * (x - minX) + (y - minY) * (y - minY);
      if (d < best) {
        best = d;
        sx = x;
        sy = y;
      }
    }
  // The trace along the boundary cells.
  std::vector<uint8_t> chain;
  int64_t px = sx, py = sy;
  cell(px, py) = 2;
  int32_t last = 4;
  while (true) {
    if (cell(px + kDirX[last], py + kDirY[last]) == 3) {
      px += kDirX[last];
      py += kDirY[last];
      cell(px, py) = 2;
      chain.push_back(static_cast<uint8_t>(kDirCode[last]));
    }
    int32_t next = -1;
    for (int32_t i = 0; i < 8 && next < 0; ++i)
      if (cell(px + kDirX[i], py + kDirY[i]) == 3) next = i;
    if (next < 0) break;
    px += kDirX[next];
    py += kDirY[next];
    cell(px, py) = 2;
    chain.push_back(static_cast<uint8_t>(kDirCode[next]));
    last = next;
  }
  for (int32_t i = 0; i < 8; ++i)
    if (px + kDirX[i] == sx && py + kDirY[i] == sy) {
      chain.push_back(static_cast<uint8_t>(kDirCode[i]));
      break;
    }
  // The corners of the chain, divided back to image units.
  std::vector<TPoint> points;
  int64_t x = sx + 4 * int64_t{bx} - 1, y = sy + 4 * int64_t{by} - 1;
  int32_t previous = -1;
  for (uint8_t code : chain) {
    if (code != previous) points.push_back(TPoint{Quarter(static_cast<int32_t>(x)), Quarter(static_cast<int32_t>(y))});
    x += kCodeX[code];
    y += kCodeY[code];
    previous = code;
  }
  return points;
}

}  // namespace

std::vector<TPoint> MagicWandOutline(TIEBitmap& Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance) {
  if (!Inside(Bitmap, X, Y) || Tolerance < 0) return {};
  return Guarded([&] {
    TWandRegion region(Bitmap, Tolerance, Bitmap.GetPixelRGB(X, Y));
    region.Fill(X, Y);
    if (region.Empty()) return std::vector<TPoint>{};
    return TraceOutline(region, Grow);
  });
}

void MagicWandFill(TIEBitmap& Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance, TIEMask& Mask,
                   int32_t Value) {
  if (!Inside(Bitmap, X, Y) || Tolerance < 0) return;
  Guarded([&] {
    TWandRegion region(Bitmap, Tolerance, Bitmap.GetPixelRGB(X, Y));
    region.Fill(X, Y);
    if (region.Empty()) return;
    const int32_t value = SpanValue(Mask, Value);
    const int32_t w = Bitmap.Width(), h = Bitmap.Height();
    for (int32_t y = region.Top(); y <= region.Bottom(); ++y)
      region.ForRegionRuns(y, [&](int32_t a, int32_t b) {
        if (!Grow) {
          Mask.SetSpan(value, a, b, y);
          return;
        }
        for (int32_t yy = std::max(0, y - 1); yy <= std::min(h - 1, y + 1); ++yy)
          Mask.SetSpan(value, std::max(0, a - 1), std::min(w - 1, b + 1), yy);
      });
    const int32_t grow = Grow ? 1 : 0;
    GrowBox(Mask, Value, std::max(0, region.Left() - grow), std::max(0, region.Top() - grow),
            std::min(w - 1, region.Right() + grow), std::min(h - 1, region.Bottom() + grow));
  });
}

void MagicWandGlobal(TIEBitmap& Bitmap, int32_t X, int32_t Y, int32_t Tolerance, TIEMask& Mask, int32_t Value) {
  if (!Inside(Bitmap, X, Y) || Tolerance < 0) return;
  Guarded([&] {
    TWandRegion matches(Bitmap, Tolerance, Bitmap.GetPixelRGB(X, Y));
    const int32_t value = SpanValue(Mask, Value);
    int32_t x1 = INT32_MAX, y1 = INT32_MAX, x2 = -1, y2 = -1;
    for (int32_t y = 0; y < Bitmap.Height(); ++y)
      matches.ForMatchingRuns(y, [&](int32_t a, int32_t b) {
        Mask.SetSpan(value, a, b, y);
        x1 = std::min(x1, a);
        x2 = std::max(x2, b);
        y1 = std::min(y1, y);
        y2 = y;
      });
    GrowBox(Mask, Value, x1, y1, x2, y2);
  });
}
