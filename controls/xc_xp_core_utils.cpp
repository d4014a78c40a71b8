#include "controls/xc_xp_core_utils.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_draw_utils.h"
#include "platform/system/mul_div.h"
#include "platform/system/random.h"

namespace {

std::atomic<int64_t> g_gradientsMade{0};

struct Bgr {
  uint8_t b, g, r;
};

Bgr BgrOf(COLORREF c) { return {GetBValue(c), GetGValue(c), GetRValue(c)}; }

void FillPixels(uint8_t* row, int32_t from, int32_t to, Bgr c) {
  for (int32_t x = from; x < to; ++x) {
    uint8_t* p = row + 3 * x;
    p[0] = c.b, p[1] = c.g, p[2] = c.r;
  }
}

// A whole row of one colour: sixteen pixels (48 bytes, whole vector stores) at a time.
void FillRow(uint8_t* row, int32_t width, Bgr c) {
  uint8_t run[48];
  FillPixels(run, 0, 16, c);
  const size_t bytes = 3 * static_cast<size_t>(width);
  size_t x = 0;
  for (; x + sizeof run <= bytes; x += sizeof run) std::memcpy(row + x, run, sizeof run);
  std::memcpy(row + x, run, bytes - x);
}

// The rows of a 24-bit bitmap, found once: they lie RowBytes() apart, bottom-up, so whole rows are
// written from the last up (in the order of their addresses, which the memory prefers).
struct Rows {
  explicit Rows(TBitmap* b) : top(b->ScanLine(0)), step(-static_cast<ptrdiff_t>(b->RowBytes())) {}
  uint8_t* operator[](int32_t y) const { return top + step * y; }
  uint8_t* top;
  ptrdiff_t step;
};

}  // namespace

int64_t GradientBitmapsMade() { return g_gradientsMade.load(); }

void CreateGradientBitmap(int32_t width, int32_t height, TColor startColor, TColor endColor, int32_t colorCount,
                          int32_t style, bool dithered, TBitmap* bitmap) {
  if (!bitmap || width <= 0 || height <= 0) return;
  ++g_gradientsMade;
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  const COLORREF start = ColorToRGB(startColor), end = ColorToRGB(endColor);
  const Rows rows(bitmap);
  if (colorCount < 2) {
    // One colour has no steps between its ends: the start colour everywhere.
    const Bgr c = BgrOf(start);
    for (int32_t y = height - 1; y >= 0; --y) FillRow(rows[y], width, c);
    return;
  }
  const int32_t n = std::min(colorCount, 255);
  // The colour table, from the end colour for styles 2 and 3.
  const bool reversed = style == 2 || style == 3;
  const COLORREF first = reversed ? end : start, last = reversed ? start : end;
  std::vector<Bgr> table(static_cast<size_t>(n));
  auto step = [n](int32_t i, uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(a + static_cast<int32_t>(std::nearbyint(static_cast<double>(i) * (b - a) / (n - 1))));
  };
  for (int32_t i = 0; i < n; ++i)
    table[static_cast<size_t>(i)] = {step(i, GetBValue(first), GetBValue(last)),
                                     step(i, GetGValue(first), GetGValue(last)),
                                     step(i, GetRValue(first), GetRValue(last))};
  // Every band is painted over its whole range, so nothing of a fill before would stay. With
  // dithering each band after the first then paints its colour again on rows (columns) picked at
  // random from its top (left edge) on, up to a band's length ahead.
  if (style == 1 || style == 3) {
    // Bands along the height, each row one colour: the bands (and the dithering) settle the colour
    // of every row, then each row is written once across.
    std::vector<Bgr> rowColors(static_cast<size_t>(height));
    for (int32_t i = 0; i < n; ++i) {
      const Bgr c = table[static_cast<size_t>(i)];
      const int32_t from = MulDiv(i, height, n), to = MulDiv(i + 1, height, n);
      for (int32_t y = std::max(from, 0); y < std::min(to, height); ++y) rowColors[static_cast<size_t>(y)] = c;
      if (dithered && i > 0) {
        for (int32_t j = 0; j <= height / (n - 1); ++j) {
          const int32_t y = from + Random(j);
          if (y >= 0 && y < height) rowColors[static_cast<size_t>(y)] = c;
        }
      }
    }
    for (int32_t y = height - 1; y >= 0; --y) FillRow(rows[y], width, rowColors[static_cast<size_t>(y)]);
  } else {
    // Bands along the width in the first 16 rows, then those rows down the bitmap.
    const int32_t made = std::min(16, height);
    for (int32_t i = 0; i < n; ++i) {
      const Bgr c = table[static_cast<size_t>(i)];
      const int32_t from = MulDiv(i, width, n), to = MulDiv(i + 1, width, n);
      for (int32_t y = 0; y < made; ++y) FillPixels(rows[y], std::max(from, 0), std::min(to, width), c);
      if (dithered && i > 0) {
        for (int32_t y = 0; y < 16; ++y) {
          for (int32_t j = 0; j <= width / (n - 1); ++j) {
            const int32_t x = from + Random(j);
            if (y < height && x >= 0 && x < width) FillPixels(rows[y], x, x + 1, c);
          }
        }
      }
    }
    if (height >= 16) {
      const size_t bytes = 3 * static_cast<size_t>(width);
      for (int32_t y = height - 1; y >= 16; --y) std::memcpy(rows[y], rows[y % 16], bytes);
    }
  }
}

uint8_t GrayGlyphLevel(uint8_t r, uint8_t g, uint8_t b) {
  const int32_t level = (r + g + b) / 3;
  return static_cast<uint8_t>(level < 156 ? level + 100 : 255);
}

void GrayGlyph(TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) return;
  bitmap->SetPixelFormat(pf24bit);
  for (int32_t y = 0; y < bitmap->Height(); ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int32_t x = 0; x < bitmap->Width(); ++x) {
      uint8_t* p = row + 3 * x;
      p[0] = p[1] = p[2] = GrayGlyphLevel(p[2], p[1], p[0]);
    }
  }
}

void DrawCaption(TCanvas* canvas, const std::string& text, uint32_t format, TRect& rect, bool showAccelChar,
                 bool enabled, TFont* font, bool rightToLeft) {
  if (!canvas) return;
  std::string t = text;
  // Measuring nothing (or a lone accelerator mark) measures a blank, so the line keeps its height.
  if ((format & DT_CALCRECT) && (t.empty() || (showAccelChar && t == "&"))) t += ' ';
  if (!showAccelChar) format |= DT_NOPREFIX;
  if (rightToLeft) format |= DT_RTLREADING;
  if (font) canvas->Font()->Assign(*font);
  if ((format & DT_CALCRECT) || enabled) {
    DrawTextOnCanvas(canvas, t, -1, format, rect);
    return;
  }
  const TColor color = canvas->Font()->Color();
  TRect moved = rect;
  OffsetRect(moved, 1, 1);
  canvas->Font()->SetColor(clBtnHighlight);
  DrawTextOnCanvas(canvas, t, -1, format, moved);
  canvas->Font()->SetColor(clBtnShadow);
  TRect place = rect;
  DrawTextOnCanvas(canvas, t, -1, format, place);
  canvas->Font()->SetColor(color);
}

void DrawLine(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2) { CanvasLine(canvas, x1, y1, x2, y2); }
