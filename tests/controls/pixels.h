#pragma once
// Pixels of the pictures the control tests draw.
#include <memory>

#include "platform/gdi/bitmap.h"

namespace testsupport {

// The colour of a pixel as RGB (red in the low byte).
inline COLORREF At(TBitmap& b, int x, int y) { return ColorToRGB(b.Canvas()->Pixels(x, y)) & 0xFFFFFF; }

// A 24-bit bitmap of one colour.
inline std::unique_ptr<TBitmap> SolidBitmap(int width, int height, TColor color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, width, height));
  return b;
}

}  // namespace testsupport
