#include "controls/xc_gradient.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/gdi/pixel_spans.h"

namespace {

int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// The pixels of row y that shape i covers, [a, b); false when none. The shapes are symmetric about
// the middle of the picture, so every row's span is too.
bool ShapeSpan(TXcGradientStyle style, int32_t l, int32_t t, int32_t r, int32_t b, int32_t y, int32_t& a,
               int32_t& e) {
  if (r <= l || b <= t || y < t || y >= b) return false;
  const double yc = y + 0.5;
  double left = l;  // the leftmost covered pixel centre lies at or right of this
  if (style == grEllipse) {
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0, ax = (r - l) / 2.0, ay = (b - t) / 2.0;
    const double v = (yc - cy) / ay;
    if (v * v > 1) return false;
    left = cx - ax * std::sqrt(1 - v * v);
  } else if (style == grMount) {
    // Corner ellipses half the box wide and high (truncated), so of radii a quarter of it.
    const double rx = ((r - l) / 2) / 2.0, ry = ((b - t) / 2) / 2.0;
    double dy = 0;
    if (yc < t + ry) dy = t + ry - yc;
    else if (yc > b - ry) dy = yc - (b - ry);
    if (dy > 0 && rx > 0) {
      const double v = dy / ry;
      if (v > 1) return false;
      left = l + rx - rx * std::sqrt(1 - v * v);
    }
  }
  // Pixel x is in when its centre x + 0.5 is at or right of left.
  a = std::max(l, static_cast<int32_t>(std::ceil(left - 0.5)));
  e = l + r - a;
  return a < e;
}

// Packs an RGB value as a 32-bit pixel (B, G, R, X in memory).
uint32_t Pixel(int r, int g, int b) {
  return static_cast<uint32_t>(std::clamp(b, 0, 255)) | static_cast<uint32_t>(std::clamp(g, 0, 255)) << 8 |
         static_cast<uint32_t>(std::clamp(r, 0, 255)) << 16;
}

}  // namespace

bool GradientShapeContains(TXcGradientStyle style, int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int32_t x, int32_t y) {
  int32_t a, e;
  return ShapeSpan(style, left, top, right, bottom, y, a, e) && x >= a && x < e;
}

void RenderGradient(TBitmap* bitmap, int32_t width, int32_t height, TXcGradientStyle style, COLORREF start,
                    COLORREF end, uint16_t steps) {
  if (!bitmap || width <= 0 || height <= 0) return;
  bitmap->SetPixelFormat(pf32bit);
  bitmap->SetSize(width, height);
  const int32_t w = width, h = height;
  int32_t n = steps;
  switch (style) {
    case grHorizontal: n = std::min(n, w); break;
    case grVertical: n = std::min(n, h); break;
    case grEllipse:
    case grPyramid:
    case grMount:
      if (w / 2 < n) n = w / 2;
      if (h / 2 < n) n = h / 2;
      break;
    default: break;
  }
  if (n == 0) n = 1;
  // The colour of each step, per channel round(start + i x increment).
  const int rs = GetRValue(start), gs = GetGValue(start), bs = GetBValue(start);
  const double ri = (static_cast<double>(GetRValue(end)) - rs) / n, gi = (static_cast<double>(GetGValue(end)) - gs) / n,
               bi = (static_cast<double>(GetBValue(end)) - bs) / n;
  std::vector<uint32_t> colours(static_cast<size_t>(n) + 1);
  for (int32_t i = 0; i <= n; ++i)
    colours[static_cast<size_t>(i)] = Pixel(Round(rs + i * ri), Round(gs + i * gi), Round(bs + i * bi));
  const uint32_t first = colours[0];
  // Rows by their distance from the first, without a look-up of the bitmap per row. The bitmap's
  // rows are stored bottom-up: rows are written from the bottom up where the order is free, so the
  // stores run through memory in rising addresses, which it takes faster.
  uint8_t* const top = bitmap->ScanLine(0);
  const ptrdiff_t stride = h > 1 ? bitmap->ScanLine(1) - top : 0;
  auto row = [&](int32_t y) { return reinterpret_cast<uint32_t*>(top + y * stride); };
  auto fill = [](uint32_t* p, int32_t a, int32_t e, uint32_t c) {
    if (e > a) FillPixels32(p + a, static_cast<size_t>(e - a), c);
  };

  switch (style) {
    case grHorizontal: {
      // One row of bands, copied to every row.
      std::vector<uint32_t> line(static_cast<size_t>(w), first);
      for (int32_t i = 0; i <= n; ++i) {
        const int32_t x0 = std::clamp(Round(static_cast<double>(i) * w / n), 0, w);
        const int32_t x1 = std::clamp(Round(static_cast<double>(i + 1) * w / n), 0, w);
        fill(line.data(), x0, x1, colours[static_cast<size_t>(i)]);
      }
      for (int32_t y = h - 1; y >= 0; --y) std::memcpy(row(y), line.data(), line.size() * sizeof(uint32_t));
      break;
    }
    case grVertical:
      for (int32_t i = n; i >= 0; --i) {
        const int32_t y0 = std::clamp(Round(static_cast<double>(i) * h / n), 0, h);
        const int32_t y1 = std::clamp(Round(static_cast<double>(i + 1) * h / n), 0, h);
        for (int32_t y = y1 - 1; y >= y0; --y) fill(row(y), 0, w, colours[static_cast<size_t>(i)]);
      }
      break;
    case grEllipse:
    case grPyramid:
    case grMount: {
      // Shape i lies in (round(i xs), round(i ys)) to its mirror, each over the ones before. Row by
      // row from the innermost shape out: the spans all share the middle, so the pixels a shape adds
      // to those of the later ones are the two pieces beside them, written once each.
      const double xs = static_cast<double>(w) / n / 2, ys = static_cast<double>(h) / n / 2;
      std::vector<int32_t> ls(static_cast<size_t>(n) + 1), ts(static_cast<size_t>(n) + 1);
      for (int32_t i = 0; i <= n; ++i) {
        ls[static_cast<size_t>(i)] = Round(i * xs);
        ts[static_cast<size_t>(i)] = Round(i * ys);
      }
      // The ellipses' terms, as ShapeSpan computes them, made once: all share the picture's middle.
      std::vector<double> axs, ays;
      if (style == grEllipse) {
        axs.resize(static_cast<size_t>(n) + 1);
        ays.resize(static_cast<size_t>(n) + 1);
        for (int32_t i = 0; i <= n; ++i) {
          axs[static_cast<size_t>(i)] = ((w - ls[static_cast<size_t>(i)]) - ls[static_cast<size_t>(i)]) / 2.0;
          ays[static_cast<size_t>(i)] = ((h - ts[static_cast<size_t>(i)]) - ts[static_cast<size_t>(i)]) / 2.0;
        }
      }
      const double cx = w / 2.0, cy = h / 2.0;
      auto span = [&](int32_t i, int32_t y, int32_t& a, int32_t& e) {
        const int32_t l = ls[static_cast<size_t>(i)], t = ts[static_cast<size_t>(i)];
        if (style != grEllipse) return ShapeSpan(style, l, t, w - l, h - t, y, a, e);
        if (w - l <= l || h - t <= t || y < t || y >= h - t) return false;
        const double v = (y + 0.5 - cy) / ays[static_cast<size_t>(i)];
        if (v * v > 1) return false;
        const double left = cx - axs[static_cast<size_t>(i)] * std::sqrt(1 - v * v);
        a = std::max(l, static_cast<int32_t>(std::ceil(left - 0.5)));
        e = w - a;
        return a < e;
      };
      // Short pieces are stored in place; long ones go through the wide stores.
      auto piece = [&](uint32_t* p, int32_t a, int32_t e, uint32_t c) {
        if (e - a >= 16) return FillPixels32(p + a, static_cast<size_t>(e - a), c);
        for (int32_t x = a; x < e; ++x) p[x] = c;
      };
      // Rectangles cover the same pixels of every row they cross: a row that starts or ends no
      // rectangle is a copy of the one above.
      std::vector<char> edgeRow(static_cast<size_t>(h) + 1, 0);  // a row where a rectangle starts or ends
      for (int32_t i = 0; i <= n; ++i) {
        const int32_t t = ts[static_cast<size_t>(i)];
        if (t >= 0 && t <= h) edgeRow[static_cast<size_t>(t)] = 1;
        if (h - t >= 0 && h - t <= h) edgeRow[static_cast<size_t>(h - t)] = 1;
      }
      auto sameRectanglesAsAbove = [&](int32_t y) {
        return style == grPyramid && y > 0 && !edgeRow[static_cast<size_t>(y)];
      };
      // The shapes are symmetric about the middle row: the lower rows are copies of the upper ones.
      // The upper rows are made from the middle up; a row like the one below it is its copy.
      const int32_t upper = (h + 1) / 2;
      const size_t rowBytes = static_cast<size_t>(w) * sizeof(uint32_t);
      for (int32_t y = upper - 1; y >= 0; --y) {
        uint32_t* p = row(y);
        if (y + 1 < upper && sameRectanglesAsAbove(y + 1)) {
          std::memcpy(p, row(y + 1), rowBytes);
          continue;
        }
        int32_t covA = INT32_MAX, covE = INT32_MIN;
        for (int32_t i = n; i >= 0; --i) {
          int32_t a, e;
          if (!span(i, y, a, e)) continue;
          const uint32_t c = colours[static_cast<size_t>(i)];
          if (covA > covE) {
            fill(p, a, e, c);
            covA = a;
            covE = e;
            continue;
          }
          if (a < covA) piece(p, a, covA, c), covA = a;
          if (e > covE) piece(p, covE, e, c), covE = e;
        }
        // Outside every shape: the start colour.
        if (covA > covE) {
          fill(p, 0, w, first);
        } else {
          piece(p, 0, covA, first);
          piece(p, covE, w, first);
        }
      }
      // A lower row like the one below it (the mirror of a row like the one above it) is copied from
      // that row, just written, rather than from its mirror far above.
      for (int32_t y = h - 1; y >= upper; --y) {
        const int32_t mirror = h - 1 - y;
        const bool likeBelow = y + 1 < h && sameRectanglesAsAbove(mirror);
        std::memcpy(row(y), row(likeBelow ? y + 1 : mirror), rowBytes);
      }
      break;
    }
    default:
      for (int32_t y = h - 1; y >= 0; --y) fill(row(y), 0, w, first);
      break;
  }
}

// ------------------------------------------------------------------------------------ TXcGradient

TXcGradient::TXcGradient(TComponent* owner) : TXcExGraphicControl(owner), cache_(std::make_unique<TBitmap>()) {
  SetControlStyle(ControlStyle() | csOpaque);
  TControl::SetBounds(Left(), Top(), 100, 100);
  SetAlign(alClient);
}

TXcGradient::~TXcGradient() = default;

void TXcGradient::Drop() {
  cachedWidth_ = 0;
  Invalidate();
}

void TXcGradient::SetStyle(TXcGradientStyle value) {
  if (value == style_) return;
  style_ = value;
  Drop();
}

void TXcGradient::SetStartColor(TColor value) {
  if (value == startColor_) return;
  startColor_ = value;
  Drop();
}

void TXcGradient::SetEndColor(TColor value) {
  if (value == endColor_) return;
  endColor_ = value;
  Drop();
}

void TXcGradient::SetSteps(uint16_t value) {
  if (value == steps_) return;
  steps_ = value;
  Drop();
}

void TXcGradient::SetLeft(int value) {
  givenLeft_ = value;
  TControl::SetLeft(value);
}

void TXcGradient::SetTop(int value) {
  givenTop_ = value;
  TControl::SetTop(value);
}

void TXcGradient::SetWidth(int value) {
  givenWidth_ = value;
  TControl::SetWidth(value);
}

void TXcGradient::SetHeight(int value) {
  givenHeight_ = value;
  TControl::SetHeight(value);
}

void TXcGradient::Loaded() {
  TXcExGraphicControl::Loaded();
  const TAlign a = Align();
  if (a == alNone || a == alClient || a == alCustom) {
    TControl::SetLeft(givenLeft_);
    TControl::SetTop(givenTop_);
  }
  if (a != alClient) {
    TControl::SetWidth(givenWidth_);
    TControl::SetHeight(givenHeight_);
  }
}

void TXcGradient::Paint() {
  if (ComponentState() & csDestroying) return;
  const int32_t w = Width(), h = Height();
  if (w != cachedWidth_ || h != cachedHeight_) {
    // System colours are taken as they are now.
    const COLORREF start = ColorToRGB(startColor_), end = ColorToRGB(endColor_);
    cachedWidth_ = w;
    cachedHeight_ = h;
    if (w <= 0 || h <= 0) return;
    RenderGradient(cache_.get(), w, h, style_, start, end, steps_);
    ++rebuilds_;
  }
  if (w <= 0 || h <= 0) return;
  BitBlt(Canvas()->Handle(), 0, 0, w, h, cache_->Canvas()->Handle(), 0, 0, SRCCOPY);
}
