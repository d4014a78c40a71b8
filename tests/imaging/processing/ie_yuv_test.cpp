#include "imaging/processing/ie_yuv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_resample_rows.h"

namespace {

struct Sample {
  uint8_t y, u, v;
};

TEST(YUV, TheFormula) {
  EXPECT_EQ(YUVToRGB(16, 128, 128), CreateRGB(0, 0, 0));
  EXPECT_EQ(YUVToRGB(235, 128, 128), CreateRGB(255, 255, 255));  // 254.916 rounds to 255
  EXPECT_EQ(YUVToRGB(255, 128, 128), CreateRGB(255, 255, 255));  // 278.2 clamped
  // BT.601 red: R = 75.66 + 178.75 = 254.4, G = 75.66 - 91.06 + 14.86 = -0.54, B = 75.66 - 76.68.
  EXPECT_EQ(YUVToRGB(81, 90, 240), CreateRGB(254, 0, 0));
  // 126 - 16 = 110: d = 128.04; U 100: blue 128.04 - 56.504 = 71.536 -> 72.
  EXPECT_EQ(YUVToRGB(126, 100, 128).b, 72);
  // Values outside a byte are clamped, not wrapped.
  EXPECT_EQ(YUVToRGB(1000, 128, 128), CreateRGB(255, 255, 255));
  EXPECT_EQ(YUVToRGB(-50, 128, 128), CreateRGB(0, 0, 0));
}

// The table-driven conversion gives the formula's bytes for every one of the 2^24 triples.
TEST(YUV, TablesAreExactForEveryTriple) {
  int64_t wrong = 0;
  for (int y = 0; y < 256; ++y)
    for (int u = 0; u < 256; ++u)
      for (int v = 0; v < 256; ++v) {
        const TIERGB a = YUVToRGB(y, u, v);
        const TIERGB b = YUVToRGBFast(static_cast<uint8_t>(y), static_cast<uint8_t>(u), static_cast<uint8_t>(v));
        if (!SameRGB(a, b) && wrong++ < 5) ADD_FAILURE() << y << "," << u << "," << v;
      }
  EXPECT_EQ(wrong, 0);
}

// A frame of W x H samples laid out by a layout's own description (written here apart from the
// converters) and the pixels each layout promises.
struct Layout {
  const char* fourcc;
  int groupPixels;
  // Appends the bytes of one group of pixels starting at pixel x of the row.
  std::function<void(std::vector<uint8_t>&, const std::vector<Sample>&, int x)> group;
  // The sample a pixel of the frame is converted from.
  std::function<Sample(const std::vector<Sample>&, int x)> pixel;
  bool bottomUpWhenPositive = false;
};

uint32_t FourCC(const char* s) { return MakeFourCC(s[0], s[1], s[2], s[3]); }

// Distinct samples per pixel: Y grows along the row, U and V change with it too.
std::vector<Sample> RowSamples(int width, int row) {
  std::vector<Sample> s;
  for (int x = 0; x < width; ++x)
    s.push_back({static_cast<uint8_t>(30 + 17 * x + 50 * row), static_cast<uint8_t>(60 + 23 * x + 9 * row),
                 static_cast<uint8_t>(200 - 19 * x - 7 * row)});
  return s;
}

std::vector<Layout> PackedLayouts() {
  auto s = [](const std::vector<Sample>& r, int x) { return r[std::min<size_t>(x, r.size() - 1)]; };
  std::vector<Layout> l;
  auto pair = [&](const char* cc, std::array<int, 4> order, bool bottomUp = false) {
    // order: the byte positions of Y0, U, Y1, V.
    l.push_back({cc, 2,
                 [order, s](std::vector<uint8_t>& out, const std::vector<Sample>& r, int x) {
                   uint8_t b[4];
                   b[order[0]] = s(r, x).y;
                   b[order[1]] = s(r, x).u;
                   b[order[2]] = s(r, x + 1).y;
                   b[order[3]] = s(r, x).v;
                   out.insert(out.end(), b, b + 4);
                 },
                 [s](const std::vector<Sample>& r, int x) {
                   const int g = x / 2 * 2;
                   return Sample{s(r, x).y, s(r, g).u, s(r, g).v};
                 },
                 bottomUp});
  };
  pair("YUY2", {0, 1, 2, 3});
  pair("YUNV", {0, 1, 2, 3});
  pair("UYVY", {1, 0, 3, 2});
  pair("UYNV", {1, 0, 3, 2});
  pair("cyuv", {1, 0, 3, 2}, true);
  pair("YVYU", {0, 3, 2, 1});
  l.push_back({"IYU1", 4,
               [s](std::vector<uint8_t>& out, const std::vector<Sample>& r, int x) {
                 out.insert(out.end(), {s(r, x).u, s(r, x).y, s(r, x + 1).y, s(r, x).v, s(r, x + 2).y, s(r, x + 3).y});
               },
               [s](const std::vector<Sample>& r, int x) {
                 const int g = x / 4 * 4;
                 return Sample{s(r, x).y, s(r, g).u, s(r, g).v};
               }});
  l.push_back({"IYU2", 1,
               [s](std::vector<uint8_t>& out, const std::vector<Sample>& r, int x) {
                 out.insert(out.end(), {s(r, x).u, s(r, x).y, s(r, x).v});
               },
               [s](const std::vector<Sample>& r, int x) { return s(r, x); }});
  l.push_back({"Y41P", 8,
               [s](std::vector<uint8_t>& out, const std::vector<Sample>& r, int x) {
                 out.insert(out.end(), {s(r, x).u, s(r, x).y, s(r, x).v, s(r, x + 1).y, s(r, x + 4).u, s(r, x + 2).y,
                                        s(r, x + 4).v, s(r, x + 3).y, s(r, x + 4).y, s(r, x + 5).y, s(r, x + 6).y,
                                        s(r, x + 7).y});
               },
               [s](const std::vector<Sample>& r, int x) {
                 const int g = x / 8 * 8 + (x % 8 >= 4 ? 4 : 0);
                 return Sample{s(r, x).y, s(r, g).u, s(r, g).v};
               },
               true});
  l.push_back({"Y211", 4,
               [s](std::vector<uint8_t>& out, const std::vector<Sample>& r, int x) {
                 out.insert(out.end(), {s(r, x).y, s(r, x).u, s(r, x + 2).y, s(r, x).v});
               },
               [s](const std::vector<Sample>& r, int x) {
                 const int g = x / 4 * 4;
                 return Sample{s(r, x / 2 * 2).y, s(r, g).u, s(r, g).v};
               }});
  return l;
}

// Rows of a packed frame: whole groups, padded to 4 bytes.
std::vector<uint8_t> PackedFrame(const Layout& l, int w, int h) {
  std::vector<uint8_t> frame;
  for (int row = 0; row < h; ++row) {
    const std::vector<Sample> r = RowSamples(w, row);
    std::vector<uint8_t> bytes;
    for (int x = 0; x < w; x += l.groupPixels) l.group(bytes, r, x);
    bytes.resize((bytes.size() + 3) / 4 * 4, 0);
    frame.insert(frame.end(), bytes.begin(), bytes.end());
  }
  return frame;
}

TEST(YUV, PackedLayoutsPixelByPixel) {
  for (const Layout& l : PackedLayouts()) {
    for (int w : {16, 13, 3}) {
      for (bool topDown : {true, false}) {
        SCOPED_TRACE(testing::Message() << l.fourcc << " " << w << (topDown ? " top-down" : " bottom-up"));
        const int h = 3;
        const std::vector<uint8_t> frame = PackedFrame(l, w, h);
        ASSERT_EQ(YUVFrameSize(FourCC(l.fourcc), w, h), static_cast<int64_t>(frame.size()));
        TIEBitmap b(w, h, ie24RGB);
        YUVConverterFor(FourCC(l.fourcc))(frame.data(), b, topDown);
        for (int row = 0; row < h; ++row) {
          const std::vector<Sample> r = RowSamples(w, row);
          const int y = topDown ? row : h - 1 - row;
          for (int x = 0; x < w; ++x) {
            const Sample s = l.pixel(r, x);
            ASSERT_EQ(b.GetPixelRGB(x, y), YUVToRGB(s.y, s.u, s.v)) << "row " << row << " x " << x;
          }
        }
      }
    }
  }
}

// The two-pixel layouts, eight pixels at a time where the processor has AVX2 (else the tables):
// every (Y, U, V) triple in the first and in the second pixel of a pair gives the formula's bytes,
// the half-way sums included. Pair j holds Y0 = j >> 16, U = j >> 8, V = j (low bytes) and Y1 =
// 7 Y0 + 13 (mod 256, so every luma appears in both places).
TEST(YUV, PairLayoutsAreExactForEveryTriple) {
  constexpr int kPairs = 2048, kRows = 64;  // a chunk of 2^17 pairs
  std::vector<uint8_t> frame(static_cast<size_t>(kPairs) * kRows * 4);
  TIEBitmap b(2 * kPairs, kRows, ie24RGB);
  int64_t wrong = 0;
  for (int chunk = 0; chunk < (1 << 24) / (kPairs * kRows); ++chunk) {
    for (int k = 0; k < kPairs * kRows; ++k) {
      const uint32_t j = static_cast<uint32_t>(chunk) * kPairs * kRows + k;
      const uint8_t y0 = static_cast<uint8_t>(j >> 16);
      uint8_t* g = &frame[static_cast<size_t>(k) * 4];
      g[0] = y0;
      g[1] = static_cast<uint8_t>(j >> 8);
      g[2] = static_cast<uint8_t>(7 * y0 + 13);
      g[3] = static_cast<uint8_t>(j);
    }
    ConvertYUY2Rows(frame.data(), b, true);
    for (int row = 0; row < kRows; ++row) {
      const auto* px = static_cast<const uint8_t*>(b.GetRow(row));
      for (int p = 0; p < 2 * kPairs; ++p) {
        const uint8_t* g = &frame[(static_cast<size_t>(row) * kPairs + p / 2) * 4];
        const TIERGB e = YUVToRGB(g[(p & 1) * 2], g[1], g[3]);
        if ((px[3 * p] != e.b || px[3 * p + 1] != e.g || px[3 * p + 2] != e.r) && wrong++ < 5)
          ADD_FAILURE() << "Y " << int(g[(p & 1) * 2]) << " U " << int(g[1]) << " V " << int(g[3]);
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  // The other byte orders take the same kernel: equal to the tables on a noisy frame.
  std::vector<uint8_t> noise(static_cast<size_t>(61) * 4 * 5);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 151 + i / 7);
  for (const TIEYUVConverter convert : {ConvertUYVYRows, ConvertYVYURows, ConvertYUY2Rows}) {
    TIEBitmap vector(122, 5, ie24RGB), tables(122, 5, ie24RGB);
    convert(noise.data(), vector, false);
    SetResampleSimd(false);
    convert(noise.data(), tables, false);
    SetResampleSimd(true);
    for (int y = 0; y < 5; ++y)
      EXPECT_EQ(0, std::memcmp(vector.GetRow(y), tables.GetRow(y), 122 * 3)) << "row " << y;
  }
}

TEST(YUV, FirstStoredRowOfEachLayout) {
  // For a positive height the first stored row is the top one, except for Y41P and cyuv.
  for (const char* cc : {"I420", "IYUV", "YV12", "YVU9", "YUY2", "YUNV", "UYVY", "UYNV", "YVYU", "IYU1", "IYU2",
                         "Y211", "CLJR"}) {
    EXPECT_TRUE(YUVTopDown(FourCC(cc), 10)) << cc;
    EXPECT_FALSE(YUVTopDown(FourCC(cc), -10)) << cc;
  }
  for (const char* cc : {"Y41P", "cyuv"}) {
    EXPECT_FALSE(YUVTopDown(FourCC(cc), 10)) << cc;
    EXPECT_TRUE(YUVTopDown(FourCC(cc), -10)) << cc;
  }
  EXPECT_EQ(YUVConverterFor(FourCC("NV12")), nullptr);
  EXPECT_EQ(YUVFrameSize(FourCC("NV12"), 4, 4), -1);
  EXPECT_EQ(YUVFrameSize(FourCC("YUY2"), 0, 4), -1);
  // Three bytes a pixel at the largest sizes a header can state: past 2^63, refused, not wrapped.
  EXPECT_EQ(YUVFrameSize(FourCC("IYU2"), INT32_MAX, INT32_MAX), -1);
  EXPECT_GT(YUVFrameSize(FourCC("I420"), INT32_MAX, INT32_MAX), 0);
}

TEST(YUV, YUY2BlackAndClampedWhite) {
  for (uint8_t luma : {16, 235}) {
    std::vector<uint8_t> frame;
    for (int i = 0; i < 4; ++i) frame.insert(frame.end(), {luma, 128, luma, 128});  // 4 x 2
    TIEBitmap b(4, 2, ie24RGB);
    ConvertYUY2Rows(frame.data(), b, true);
    const uint8_t v = luma == 16 ? 0 : 255;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixelRGB(x, y), CreateRGB(v, v, v));
  }
}

// Planar frames: Y plane, then the two chroma planes of (w div s) x (h div s).
TEST(YUV, PlanarLayoutsWithOddSizes) {
  struct Case {
    const char* fourcc;
    int sub;
    bool uFirst;
  } cases[] = {{"I420", 2, true}, {"IYUV", 2, true}, {"YV12", 2, false}, {"YVU9", 4, false}};
  for (const Case& c : cases) {
    for (auto [w, h] : {std::pair{8, 8}, std::pair{7, 5}, std::pair{9, 9}, std::pair{1, 3}}) {
      for (bool topDown : {true, false}) {
        SCOPED_TRACE(testing::Message() << c.fourcc << " " << w << "x" << h);
        const int cw = w / c.sub, ch = h / c.sub;
        std::vector<uint8_t> frame;
        for (int i = 0; i < w * h; ++i) frame.push_back(static_cast<uint8_t>(20 + 3 * i));
        std::vector<uint8_t> u, v;
        for (int i = 0; i < cw * ch; ++i) {
          u.push_back(static_cast<uint8_t>(40 + 11 * i));
          v.push_back(static_cast<uint8_t>(220 - 13 * i));
        }
        const std::vector<uint8_t>& first = c.uFirst ? u : v;
        const std::vector<uint8_t>& second = c.uFirst ? v : u;
        frame.insert(frame.end(), first.begin(), first.end());
        frame.insert(frame.end(), second.begin(), second.end());
        ASSERT_EQ(YUVFrameSize(FourCC(c.fourcc), w, h), static_cast<int64_t>(frame.size()));
        TIEBitmap b(w, h, ie24RGB);
        YUVConverterFor(FourCC(c.fourcc))(frame.data(), b, topDown);
        for (int row = 0; row < h; ++row)
          for (int x = 0; x < w; ++x) {
            // The last column and row of the planes serve the pixels beyond them; no plane at all
            // gives neutral chroma.
            const int ci = std::min(row / c.sub, ch - 1) * cw + std::min(x / c.sub, cw - 1);
            const int U = cw && ch ? u[ci] : 128, V = cw && ch ? v[ci] : 128;
            ASSERT_EQ(b.GetPixelRGB(x, topDown ? row : h - 1 - row), YUVToRGB(frame[row * w + x], U, V))
                << row << "," << x;
          }
      }
    }
  }
}

TEST(YUV, CLJRWidensItsFields) {
  // Y fields 31, 16, 0, 1 (5 bits), U 63, V 32 (6 bits): widened by repeating their top bits to
  // 255, 132, 0, 8 and 255, 130.
  const uint32_t word = 32u | (63u << 6) | (31u << 12) | (16u << 17) | (0u << 22) | (1u << 27);
  const uint8_t frame[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
  TIEBitmap b(4, 1, ie24RGB);
  ConvertCLJRRows(frame, b, true);
  const uint8_t luma[4] = {255, 132, 0, 8};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixelRGB(x, 0), YUVToRGB(luma[x], 255, 130)) << x;
  // Width 5: a second word serves the fifth pixel.
  const uint8_t two[8] = {frame[0], frame[1], frame[2], frame[3], frame[0], frame[1], frame[2], frame[3]};
  EXPECT_EQ(YUVFrameSize(FourCC("CLJR"), 5, 1), 8);
  TIEBitmap c(5, 1, ie24RGB);
  ConvertCLJRRows(two, c, true);
  EXPECT_EQ(c.GetPixelRGB(4, 0), YUVToRGB(255, 255, 130));
}

}  // namespace
