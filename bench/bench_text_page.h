#pragma once
// The text-like bilevel page the fax, TIFF and PDF benchmarks and their peer comparisons share, as
// raw bytes so that a peer gets exactly what we get: rows of letter-sized blocks of strokes with
// gaps and spaces inside margins of 150 pixels, a different text for every seed.
#include <cstddef>
#include <cstdint>
#include <vector>

// W x H pixels of 1 byte, rows from the top, 0 = black, 255 = white.
inline std::vector<uint8_t> MakeBenchTextPage(int32_t W, int32_t H, uint32_t Seed = 0) {
  constexpr int32_t kMargin = 150, kLineStep = 50, kLetterH = 32;
  std::vector<uint8_t> page(static_cast<size_t>(W) * H, 255);
  uint32_t seed = Seed * 2654435761u + 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (int32_t line = kMargin; line + 40 < H - kMargin; line += kLineStep) {
    // A letter starts only where the widest one (25 pixels) still ends inside the right margin.
    for (int32_t x = kMargin; x < W - kMargin - 30;) {
      const int32_t w = 12 + static_cast<int32_t>(next() % 14);
      if (next() % 7 == 0) {
        x += 25;  // a space
        continue;
      }
      const uint32_t shape = next();
      for (int32_t y = 0; y < kLetterH; ++y)
        for (int32_t dx = 0; dx < w; ++dx) {
          const bool stem = dx < 3 || (shape & 1 && dx >= w - 3);
          const bool bar = (y < 3 && shape & 2) || (y >= 14 && y < 17 && shape & 4) || (y >= 29 && shape & 8);
          if (stem || bar) page[static_cast<size_t>(line + y) * W + x + dx] = 0;
        }
      x += w + 4;
    }
  }
  return page;
}
