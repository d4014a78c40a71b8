#include "imaging/processing/ie_gauss_blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_gauss_blur_lines.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

using bmptest::Pixels;
using GaussBlurTest = BitmapTest;

void Noise(TIEBitmap& b, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.Row<uint8_t>(y);
    for (int32_t i = 0; i < b.Width() * IEBytesPerPixel[b.PixelFormat()]; ++i) row[i] = static_cast<uint8_t>(rng());
  }
}

// The blur as the reference routines spell it: every row convolved from a copy of itself, then
// every column gathered, convolved and written back.
void ReferenceBlur(TIEBitmap& b, double radius) {
  TIEGaussKernel k;
  BuildGaussianKernel(k, radius);
  const int32_t c = IEBytesPerPixel[b.PixelFormat()], w = b.Width(), h = b.Height();
  const auto conv = [&](const uint8_t* s, uint8_t* d, int32_t n) {
    if (c == 3)
      ConvolveRow24(k, s, d, n);
    else
      ConvolveRow8(k, s, d, n);
  };
  std::vector<uint8_t> in, out;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b.Row<uint8_t>(y);
    in.assign(row, row + w * c);
    conv(in.data(), row, w);
  }
  in.resize(static_cast<size_t>(h) * c);
  out.resize(in.size());
  for (int32_t x = 0; x < w; ++x) {
    for (int32_t y = 0; y < h; ++y) std::memcpy(&in[static_cast<size_t>(y) * c], b.Row<uint8_t>(y) + x * c, c);
    conv(in.data(), out.data(), h);
    for (int32_t y = 0; y < h; ++y) std::memcpy(b.Row<uint8_t>(y) + x * c, &out[static_cast<size_t>(y) * c], c);
  }
}

TEST_F(GaussBlurTest, KernelIsTrimmedToItsNonZeroTaps) {
  TIEGaussKernel k;
  // Radius 0.5: exp(-2 d^2) over a sum of 1.271342 gives weights 51549, 6976, 17 and then 0.
  BuildGaussianKernel(k, 0.5);
  EXPECT_EQ(k.HalfWidth, 2);
  EXPECT_EQ(k.Weights[100], 51549);
  EXPECT_EQ(k.Weights[101], 6976);
  EXPECT_EQ(k.Weights[98], 17);
  EXPECT_EQ(k.Weights[102], 17);
  EXPECT_EQ(k.Weights[103], 0);
  BuildGaussianKernel(k, 30);
  EXPECT_EQ(k.HalfWidth, 100);
  EXPECT_GT(k.Weights[0], 0);
  EXPECT_DOUBLE_EQ(k.Values[100], 1.0);
  // A tiny radius keeps the centre and one tap each side, however small.
  BuildGaussianKernel(k, 0.01);
  EXPECT_EQ(k.HalfWidth, 1);
  EXPECT_EQ(k.Weights[100], 65536);
  EXPECT_EQ(k.Weights[101], 0);
}

TEST_F(GaussBlurTest, AnImpulseReproducesTheKernel) {
  // 255 at the centre of a 201 x 201 image: each pixel is the product of the two passes, each
  // rounded: (w_y * ((w_x * 255 + 32768) shr 16) + 32768) shr 16.
  TIEGaussKernel k;
  BuildGaussianKernel(k, 2);
  TIEBitmap b(201, 201, ie8g);
  b.Fill(0);
  b.SetPixel8(100, 100, 255);
  GaussianBlurBitmap(b, nullptr, 2, nullptr);
  for (int32_t y = 0; y < 201; y += 7)
    for (int32_t x = 0; x < 201; x += 5) {
      const int64_t across = (int64_t{k.Weights[200 - x]} * 255 + 32768) >> 16;
      const int64_t expected = (int64_t{k.Weights[200 - y]} * across + 32768) >> 16;
      ASSERT_EQ(b.GetPixel8(x, y), expected) << x << "," << y;
    }
  // The centre weight 65536 / 5.013 = 13073: across (13073 * 255 + 32768) shr 16 = 51, then 10.
  EXPECT_EQ(b.GetPixel8(100, 100), 10);
}

TEST_F(GaussBlurTest, EqualsTheReferenceRoutinesAtEveryRadiusAndDepth) {
  for (TIEPixelFormat f : {ie24RGB, ie8g}) {
    for (double radius : {0.5, 2.0, 10.0, 30.0}) {
      SCOPED_TRACE(testing::Message() << "format " << int(f) << " radius " << radius);
      TIEBitmap b(67, 45, f), ref(67, 45, f);
      Noise(b, 7);
      ref.Assign(b);
      ReferenceBlur(ref, radius);
      GaussianBlurBitmap(b, nullptr, radius, nullptr);
      EXPECT_EQ(Pixels(b), Pixels(ref));
    }
  }
}

TEST_F(GaussBlurTest, ThreadsVectorKernelsAndFilesGiveTheSameBytes) {
  TIEBitmap source(700, 130, ie24RGB);
  Noise(source, 11);
  std::vector<std::vector<std::vector<uint8_t>>> results;
  for (int32_t threads : {1, 3, 8}) {
    for (int32_t simd : {2, 1, 0}) {
      GaussBlurThreadCountForTesting() = threads;
      SetGaussBlurSimd(simd);
      TIEBitmap b(1, 1, ie24RGB);
      b.Assign(source);
      GaussianBlurBitmap(b, nullptr, 6.5, nullptr);
      results.push_back(Pixels(b));
    }
  }
  GaussBlurThreadCountForTesting() = 0;
  SetGaussBlurSimd(2);
  auto inFile = Make(700, 130, ie24RGB, ieFile);
  inFile->Assign(source);
  GaussianBlurBitmap(*inFile, nullptr, 6.5, nullptr);
  results.push_back(Pixels(*inFile));
  for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << i;
}

TEST_F(GaussBlurTest, LineLoopsAgreeOnEveryLengthAndStep) {
  if (!GaussBlurSimdAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937 rng(3);
  float w[201];
  for (int32_t t = 0; t < 201; ++t) w[t] = static_cast<float>(rng() % 700);
  std::vector<float> p(2000);
  for (float& v : p) v = static_cast<float>(rng() % 256);
  std::vector<const float*> rows;
  for (int32_t t = 0; t < 201; ++t) rows.push_back(p.data() + 5 * t);
  std::vector<uint8_t> bytes(300);
  for (uint8_t& v : bytes) v = static_cast<uint8_t>(rng());
  for (int32_t count : {0, 5, 8, 299}) {
    std::vector<float> a(300, -1), b(300, -1);
    GaussWidenScalar(bytes.data(), a.data(), count);
    GaussWidenAvx2(bytes.data(), b.data(), count);
    EXPECT_EQ(a, b) << count;
  }
  for (int32_t count : {1, 7, 31, 32, 33, 64, 100, 129}) {
    for (int32_t step : {1, 3}) {
      for (int32_t taps : {3, 41, 201}) {
        if (count + (taps - 1) * step + 32 > 2000) continue;
        std::vector<uint8_t> a(count + 1, 0xEE), b(count + 1, 0xEE);
        GaussLineScalar(p.data(), step, w, taps, count, a.data());
        GaussLineAvx2(p.data(), step, w, taps, count, b.data());
        EXPECT_EQ(a, b) << count << " " << step << " " << taps;
        EXPECT_EQ(b[count], 0xEE);  // nothing written past the line
        GaussStackScalar(rows.data(), w, taps, count, a.data());
        GaussStackAvx2(rows.data(), w, taps, count, b.data());
        EXPECT_EQ(a, b) << count << " " << taps;
        // Four rows at once: output j is the stack of rows j .. j + taps - 1.
        if (taps + 3 <= 201) {
          std::vector<std::vector<uint8_t>> quad(4, std::vector<uint8_t>(count + 1, 0xEE));
          uint8_t* outs[4] = {quad[0].data(), quad[1].data(), quad[2].data(), quad[3].data()};
          for (int32_t level = 1; level <= GaussBlurSimdAvailable(); ++level) {
            (level == 1 ? GaussStack4Avx2 : GaussStack4Avx512)(rows.data(), w, taps, count, outs);
            for (int32_t j = 0; j < 4; ++j) {
              GaussStackScalar(rows.data() + j, w, taps, count, a.data());
              EXPECT_EQ(quad[j], a) << "four rows, level " << level << " row " << j << " " << count << " " << taps;
            }
          }
        }
        if (GaussBlurSimdAvailable() < 2) continue;
        std::vector<uint8_t> c(count + 1, 0xEE);
        GaussLineScalar(p.data(), step, w, taps, count, a.data());
        GaussLineAvx512(p.data(), step, w, taps, count, c.data());
        EXPECT_EQ(a, c) << "AVX-512 line " << count << " " << step << " " << taps;
        GaussStackScalar(rows.data(), w, taps, count, a.data());
        GaussStackAvx512(rows.data(), w, taps, count, c.data());
        EXPECT_EQ(a, c) << "AVX-512 stack " << count << " " << taps;
      }
    }
  }
}

TEST_F(GaussBlurTest, ProgressRisesToAHundred) {
  TIEBitmap b(300, 240, ie8g);
  Noise(b, 5);
  std::vector<int32_t> seen;
  TObject sender;
  GaussianBlurBitmap(b, &sender, 3, [&](TObject* s, int32_t p) {
    EXPECT_EQ(s, &sender);
    seen.push_back(p);
  });
  ASSERT_FALSE(seen.empty());
  // The first pass: rows 1..240 of 540; the second by the columns covered.
  EXPECT_EQ(seen[0], 0);
  EXPECT_EQ(seen[239], 240 * 100 / 540);
  EXPECT_EQ(seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(GaussBlurTest, NothingForOtherFormatsOrNoRadius) {
  TIEBitmap b(20, 20, ie8g), c(20, 20, ie16g);
  Noise(b, 1);
  Noise(c, 1);
  const auto before = Pixels(b), beforeC = Pixels(c);
  for (double r : {0.0, -3.0, std::nan("")}) GaussianBlurBitmap(b, nullptr, r, nullptr);
  GaussianBlurBitmap(c, nullptr, 3, nullptr);
  GaussianBlurGray8(c, 0, 0, 19, 19, 3);
  EXPECT_EQ(Pixels(b), before);
  EXPECT_EQ(Pixels(c), beforeC);
}

TEST_F(GaussBlurTest, GrayRectangleBlursOnlyItsOwnPixels) {
  TIEBitmap b(40, 30, ie8g);
  Noise(b, 9);
  const auto before = Pixels(b);
  // The rectangle alone, as an image of its own: its edges repeat its own end pixels.
  TIEBitmap part(16, 11, ie8g);
  b.CopyRectTo(part, 5, 5, 0, 0, 16, 11);
  GaussianBlurBitmap(part, nullptr, 2.5, nullptr);
  // Corners out of order and beyond the bitmap are clamped.
  GaussianBlurGray8(b, 5, 5, 20, 15, 2.5);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 5 && x <= 20 && y >= 5 && y <= 15;
      ASSERT_EQ(b.GetPixel8(x, y), inside ? part.GetPixel8(x - 5, y - 5) : before[y][x]) << x << "," << y;
    }
  TIEBitmap all(10, 10, ie8g), whole(10, 10, ie8g);
  Noise(all, 2);
  whole.Assign(all);
  GaussianBlurGray8(all, -5, -5, 100, 100, 1.5);
  GaussianBlurBitmap(whole, nullptr, 1.5, nullptr);
  EXPECT_EQ(Pixels(all), Pixels(whole));
}

}  // namespace
