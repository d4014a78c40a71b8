// AlphaBlend has a straight path for plain 32-bit rows at the same size; it must give what the
// general path gives for the same colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

// A surface of 32-bit rows (B, G, R, A) on memory the test owns.
struct Surface {
  Surface(int w, int h, int bits) : w(w), h(h), bits(bits), data(static_cast<size_t>(DibRowBytes(w, bits)) * h) {
    dc = CreateSurfaceDC(data.data(), w, h, DibRowBytes(w, bits), bits);
  }
  ~Surface() { DeleteDC(dc); }
  COLORREF At(int x, int y) { return GetPixel(dc, x, y); }
  int w, h, bits;
  std::vector<uint8_t> data;
  HDC dc = nullptr;
};

TEST(AlphaBlendPaths, TheStraightPathGivesWhatTheGeneralPathGives) {
  constexpr int w = 16, h = 8;
  Surface src(w, h, 32);
  // Premultiplied pixels of every kind: opaque, transparent black, half and odd alphas.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t a = static_cast<uint8_t>((x * 37 + y * 91) % 256);
      uint8_t* p = src.data.data() + static_cast<size_t>(y) * DibRowBytes(w, 32) + 4 * x;
      p[0] = static_cast<uint8_t>(a * ((x * 13) % 256) / 255);
      p[1] = static_cast<uint8_t>(a * ((y * 29) % 256) / 255);
      p[2] = static_cast<uint8_t>(a * ((x * y * 7) % 256) / 255);
      p[3] = a;
      if (x == 3) std::memset(p, 0, 4);
      if (x == 4) p[3] = 255, p[0] = 200;
    }
  for (uint8_t constant : {uint8_t{255}, uint8_t{128}, uint8_t{1}}) {
    for (uint8_t format : {AC_SRC_ALPHA, uint8_t{0}}) {
      Surface straight(w + 4, h + 2, 32), general(w + 4, h + 2, 24);
      for (Surface* s : {&straight, &general})
        for (int y = 0; y < s->h; ++y)
          for (int x = 0; x < s->w; ++x)
            SetPixelV(s->dc, x, y, RGB(static_cast<uint8_t>(x * 11), static_cast<uint8_t>(y * 23), 77));
      BLENDFUNCTION blend;
      blend.SourceConstantAlpha = constant;
      blend.AlphaFormat = format;
      ASSERT_TRUE(AlphaBlend(straight.dc, 2, 1, w, h, src.dc, 0, 0, w, h, blend));
      ASSERT_TRUE(AlphaBlend(general.dc, 2, 1, w, h, src.dc, 0, 0, w, h, blend));
      for (int y = 0; y < straight.h; ++y)
        for (int x = 0; x < straight.w; ++x)
          ASSERT_EQ(straight.At(x, y), general.At(x, y)) << x << "," << y << " alpha " << int(constant) << " "
                                                         << int(format);
    }
  }
}

// The straight path over rows of every width from 1 to 40 (so every split between whole groups of
// pixels and a tail), against the sum worked out here on exact integers: each channel is
// min(255, c + d * (255 - a) / 255) rounded down; the fourth byte is the surface's (0, or 0xFF for an
// opaque one), and a source pixel of all zeros leaves the destination pixel whole but for it.
TEST(AlphaBlendPaths, PremultipliedPixelsOfEveryAlphaOverEveryWidth) {
  for (bool opaque : {false, true})
    for (int w = 1; w <= 40; ++w) {
      constexpr int h = 7;
      std::vector<uint32_t> src(static_cast<size_t>(w) * h), dst(src.size()), expected(src.size());
      for (int i = 0; i < w * h; ++i) {
        const uint32_t a = static_cast<uint32_t>((i * 53 + w * 7) % 256);
        // Mostly premultiplied channels, a few above their alpha (their sums saturate), and some
        // pixels of all zeros.
        auto channel = [&](int k) { return (i % 11 == 5) ? (a + 90 * k) % 256 : a * ((i * (31 + 17 * k)) % 256) / 255; };
        src[i] = (a << 24) | (channel(2) << 16) | (channel(1) << 8) | channel(0);
        if (i % 9 == 4) src[i] = 0;
        dst[i] = (static_cast<uint32_t>((i * 29 + 0x5A) % 256) << 24) | static_cast<uint32_t>((i * 2654435761u) & 0xFFFFFF);
        const uint32_t fill = opaque ? 0xFF000000u : 0;
        if (src[i] == 0) {
          expected[i] = dst[i] | fill;
          continue;
        }
        const uint32_t sa = src[i] >> 24;
        uint32_t e = fill;
        for (int sh = 0; sh <= 16; sh += 8) {
          const uint32_t c = (src[i] >> sh) & 0xFF, d = (dst[i] >> sh) & 0xFF;
          e |= std::min<uint32_t>(255, c + d * (255 - sa) / 255) << sh;
        }
        expected[i] = e;
      }
      HDC s = CreateSurfaceDC(src.data(), w, h, 4 * w, 32);
      HDC d = CreateSurfaceDC(dst.data(), w, h, 4 * w, 32, nullptr, 0, opaque);
      BLENDFUNCTION blend;
      blend.SourceConstantAlpha = 255;
      blend.AlphaFormat = AC_SRC_ALPHA;
      ASSERT_TRUE(AlphaBlend(d, 0, 0, w, h, s, 0, 0, w, h, blend));
      DeleteDC(d);
      DeleteDC(s);
      for (int i = 0; i < w * h; ++i)
        ASSERT_EQ(dst[i], expected[i]) << "width " << w << " pixel " << i << " source " << std::hex << src[i];
    }
}

TEST(SolidFills, StraightFillsOfWideRowsMatchTheBrushEverywhereInTheClip) {
  for (int bits : {24, 32}) {
    Surface s(40, 10, bits);
    HBRUSH brush = CreateSolidBrush(RGB(10, 200, 30));
    const int saved = SaveDC(s.dc);
    IntersectClipRect(s.dc, 5, 2, 30, 8);
    TRect r = Rect(0, 0, 40, 10);
    FillRect(s.dc, &r, brush);
    RestoreDC(s.dc, saved);
    EXPECT_EQ(s.At(5, 2), RGB(10, 200, 30));
    EXPECT_EQ(s.At(29, 7), RGB(10, 200, 30));
    EXPECT_EQ(s.At(4, 2), RGB(0, 0, 0));
    EXPECT_EQ(s.At(30, 7), RGB(0, 0, 0));
    DeleteObject(brush);
  }
}

}  // namespace
