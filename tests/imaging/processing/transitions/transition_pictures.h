#pragma once
// Pictures for the transition tests: 24-bit framework bitmaps filled by a colour function, and
// their pixels read back as 0xRRGGBB.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gdi/bitmap.h"

namespace transition_test {

using TPixelFn = std::function<uint32_t(int32_t X, int32_t Y)>;

inline void Paint(TBitmap& B, const TPixelFn& Color) {
  if (B.Empty()) return;
  for (int32_t y = 0; y < B.Height(); ++y) {
    uint8_t* p = B.ScanLine(y);
    for (int32_t x = 0; x < B.Width(); ++x, p += 3) {
      const uint32_t c = Color(x, y);
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
    }
  }
}

inline std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, const TPixelFn& Color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  Paint(*b, Color);
  return b;
}

inline TPixelFn Solid(uint32_t Rgb) {
  return [Rgb](int32_t, int32_t) { return Rgb; };
}

inline uint32_t At(TBitmap& B, int32_t X, int32_t Y) {
  const uint8_t* p = B.ScanLine(Y) + 3 * X;
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kBlack = 0x000000;

}  // namespace transition_test
