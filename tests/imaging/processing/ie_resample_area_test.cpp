#include "imaging/processing/ie_resample_area.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_rows.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

class AreaResampleTest : public BitmapTest {
 protected:
  void TearDown() override {
    ResampleThreadCountForTesting() = 0;
    SetResampleSimd(true);
    BitmapTest::TearDown();
  }
};

// One segment of a cell: its size, its source pixel and where it ends inside that pixel.
struct Segment {
  double size;
  int32_t pixel;
  double end;
};

// The cells of one axis cut at the source boundaries, walked as the area resampler describes it:
// a destination boundary within 0.0001 before the next source boundary ends the segment there.
std::vector<std::vector<Segment>> Cells(int32_t s, int32_t d) {
  const double g = double(s) / d;
  std::vector<std::vector<Segment>> cells(static_cast<size_t>(d));
  double pos = 0;
  int32_t j = 0;
  for (int32_t c = 0; c < d; ++c) {
    const double boundary = (c + 1) * g;
    for (;;) {
      const bool last = j + 1 + 0.0001 >= boundary || j == s - 1;
      const double to = last ? boundary : j + 1;
      if (to > pos) cells[static_cast<size_t>(c)].push_back({to - pos, j, last ? std::min(boundary - j, 1.0) : 1.0});
      pos = to;
      if (last) break;
      ++j;
    }
  }
  return cells;
}

double Cubic(double a, double b, double c, double d, double t) {
  auto inner = [](double u) { u = std::fabs(u); return u * u * u - 2 * u * u + 1; };
  auto outer = [](double u) { u = std::fabs(u); return -u * u * u + 5 * u * u - 8 * u + 4; };
  return std::clamp(a * outer(t + 1) + b * inner(t) + c * inner(t - 1) + d * outer(t - 2), 0.0, 255.0);
}

// The area resampler sample by sample in double precision: every segment of every cell adds its
// area times the picture sampled at its far corner (bicubic: each row's value rounded, then the
// column's, each clamped), the cell's sum divided by its size and rounded.
std::vector<int32_t> DirectArea(const std::vector<uint8_t>& src, int32_t sw, int32_t sh, int32_t dw, int32_t dh,
                                bool bicubic) {
  const auto cols = Cells(sw, dw), rows = Cells(sh, dh);
  const bool ih = sw < dw, iv = sh < dh;
  auto P = [&](int32_t x, int32_t y) {
    return double(src[static_cast<size_t>(std::clamp(y, 0, sh - 1)) * sw + std::clamp(x, 0, sw - 1)]);
  };
  // Across row y at the end L of a segment in pixel x.
  auto across = [&](int32_t x, double L, int32_t y) {
    if (!ih) return P(x, y);
    if (!bicubic) return (1 - L) * P(x, y) + L * P(x + 1, y);
    return Cubic(P(x - 1, y), P(x, y), P(x + 1, y), P(x + 2, y), L);
  };
  std::vector<int32_t> out;
  for (int32_t Y = 0; Y < dh; ++Y)
    for (int32_t X = 0; X < dw; ++X) {
      double acc = 0;
      for (const Segment& v : rows[static_cast<size_t>(Y)])
        for (const Segment& h : cols[static_cast<size_t>(X)]) {
          const int32_t x = h.pixel, j = v.pixel;
          const double L = h.end, G = v.end;
          double value;
          if (!iv) {
            value = across(x, L, j);
          } else if (!bicubic) {
            value = (1 - G) * across(x, L, j) + G * across(x, L, j + 1);
          } else {
            auto r = [&](int32_t k) { return ih ? std::nearbyint(across(x, L, k)) : across(x, L, k); };
            value = Cubic(r(j - 1), r(j), r(j + 1), r(j + 2), G);
          }
          acc += h.size * v.size * value;
        }
      out.push_back(static_cast<int32_t>(std::nearbyint(acc / (double(sw) / dw * sh / dh))));
    }
  return out;
}

TEST_F(AreaResampleTest, RowsAndColumnsGiveWhatTheCellWalkGives) {
  // A smooth picture (no overshoot for the clamps to cut): the separated passes round twice where
  // the walk rounds once, so they may differ by one level, never more.
  const int32_t sizes[][4] = {{7, 5, 28, 20}, {29, 23, 7, 5}, {13, 9, 5, 30}, {10, 10, 13, 7}, {6, 4, 6, 9}};
  for (const auto& s : sizes) {
    auto src = Make(s[0], s[1], ie8g, ieMemory);
    std::vector<uint8_t> pixels;
    for (int32_t y = 0; y < s[1]; ++y)
      for (int32_t x = 0; x < s[0]; ++x) {
        const auto v = static_cast<uint8_t>(128 + 90 * std::sin(x * 0.5) * std::cos(y * 0.4));
        src->SetPixel8(x, y, v);
        pixels.push_back(v);
      }
    for (bool bicubic : {false, true})
      for (int32_t threads : {1, 3}) {
        ResampleThreadCountForTesting() = threads;
        auto dst = Make(s[2], s[3], ie8g, ieMemory);
        AreaResample8(*src, *dst, bicubic, nullptr, nullptr);
        const std::vector<int32_t> expected = DirectArea(pixels, s[0], s[1], s[2], s[3], bicubic);
        int32_t worst = 0;
        for (int32_t y = 0; y < s[3]; ++y)
          for (int32_t x = 0; x < s[2]; ++x)
            worst = std::max(worst, std::abs(dst->GetPixel8(x, y) - expected[static_cast<size_t>(y) * s[2] + x]));
        EXPECT_LE(worst, 1) << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3] << " bicubic " << bicubic;
      }
  }
}

TEST_F(AreaResampleTest, ColourSamplesFollowTheSameWeights) {
  // A 2 x 1 colour row enlarged to 3: cell 0 ends at 2/3 inside pixel 0 and takes 1/3 of
  // pixel 0 and 2/3 of pixel 1 (bilinear); cell 2 ends on pixel 1's far edge and is pixel 1.
  auto colour = Make(2, 1, ie24RGB, ieMemory);
  colour->SetPixel24(0, 0, CreateRGB(30, 0, 255));
  colour->SetPixel24(1, 0, CreateRGB(90, 255, 0));
  auto wide = Make(3, 1, ie24RGB, ieMemory);
  AreaResample8(*colour, *wide, false, nullptr, nullptr);
  EXPECT_EQ(wide->GetPixel24(0, 0), CreateRGB(70, 170, 85));
  EXPECT_EQ(wide->GetPixel24(2, 0), CreateRGB(90, 255, 0));
}

}  // namespace
