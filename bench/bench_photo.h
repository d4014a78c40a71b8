#pragma once
// The photo-like test picture every benchmark and peer comparison shares, as raw bytes so that a
// peer gets exactly what we get: smooth coloured shading, soft shapes of different colours, edges,
// and a grain of independent noise per channel, so that a 6000 x 4000 picture holds millions of
// distinct colours as a photograph does (a smooth synthetic ramp holds a few thousand and flatters
// every quantizer and cache).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// W x H pixels of 3 bytes, rows from the top, no padding. Order is blue, green, red (ie24RGB)
// unless Rgb is set. Grain: the noise's amplitude in levels (a camera's sensor noise is stronger).
inline std::vector<uint8_t> MakeBenchPhoto(int32_t W, int32_t H, bool Rgb = false, int32_t Grain = 6) {
  std::vector<uint8_t> out(static_cast<size_t>(W) * H * 3);
  // Shapes: centre, radius and colour, in units of the picture's size.
  struct Shape {
    double x, y, r;
    int32_t c[3];
  };
  const Shape shapes[] = {{0.3, 0.4, 0.18, {200, 60, 40}},  {0.7, 0.3, 0.12, {40, 170, 90}},
                          {0.55, 0.75, 0.2, {70, 80, 210}}, {0.15, 0.8, 0.08, {230, 210, 60}},
                          {0.85, 0.7, 0.1, {150, 40, 160}}};
  uint32_t seed = 2463534242u;
  const double scale = 1.0 / std::max(W, H);
  for (int32_t y = 0; y < H; ++y) {
    uint8_t* row = out.data() + static_cast<size_t>(y) * W * 3;
    const double v = y * scale;
    for (int32_t x = 0; x < W; ++x) {
      const double u = x * scale;
      // Sky-to-ground shading with slow waves.
      double c[3] = {90 + 120 * v + 25 * std::sin(u * 9 + v * 3), 110 + 60 * std::sin(u * 4) * std::cos(v * 5),
                     160 - 100 * v + 30 * std::cos(u * 7 - v * 2)};
      for (const Shape& s : shapes) {
        const double d = std::hypot(u - s.x * W * scale, v - s.y * H * scale) / s.r;
        // A soft-edged disc with a little shading of its own.
        const double a = std::clamp((1.0 - d) * 12.0, 0.0, 1.0);
        for (int k = 0; k < 3; ++k) c[k] = c[k] * (1 - a) + a * (s.c[k] * (1.1 - 0.3 * d));
      }
      for (int k = 0; k < 3; ++k) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        // Grain of about +-Grain levels.
        const double grain = static_cast<double>(seed % static_cast<uint32_t>(2 * Grain + 1)) - Grain;
        const int32_t value = static_cast<int32_t>(std::lround(c[k] + grain));
        row[3 * x + (Rgb ? k : 2 - k)] = static_cast<uint8_t>(std::clamp(value, 0, 255));
      }
    }
  }
  return out;
}
