#include "imaging/processing/ie_resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "imaging/processing/ie_resample_area.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_filters.h"
#include "imaging/processing/ie_resample_rows.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

class ResampleTest : public BitmapTest {
 protected:
  void TearDown() override {
    ResampleThreadCountForTesting() = 0;
    SetResampleSimd(true);
    BitmapTest::TearDown();
  }
};

void FillRandom(TIEBitmap& b, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.Row<uint8_t>(y);
    const int32_t used = b.Width() * b.BitCount() / 8;
    for (int32_t i = 0; i < used; ++i) row[i] = static_cast<uint8_t>(rng() % 3 == 0 ? (rng() & 1) * 255 : rng());
  }
}

std::vector<uint8_t> Pixels(TIEBitmap& b) {
  std::vector<uint8_t> v;
  const int32_t used = (b.Width() * b.BitCount() + 7) / 8;
  for (int32_t y = 0; y < b.Height(); ++y) {
    const std::vector<uint8_t> row = RowBytes(b, y, static_cast<size_t>(used));
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

// A 4 x 1 grey row 0, 100, 200, 255 in ie24RGB.
std::unique_ptr<TIEBitmap> GreyRow() {
  auto b = std::make_unique<TIEBitmap>(4, 1, ie24RGB);
  const uint8_t v[] = {0, 100, 200, 255};
  for (int x = 0; x < 4; ++x) b->SetPixel24(x, 0, CreateRGB(v[x], v[x], v[x]));
  return b;
}

struct ExactCase {
  TResampleFilter filter;
  int32_t width;
  std::vector<uint8_t> expected;
};

TEST_F(ResampleTest, SmallRowsGiveTheExactWeightedMeans) {
  // Worked from the kernels, the weights Round(kernel * 256) and the mirrored edges, each sum
  // divided by its weight sum and rounded to the nearest (halves to even). rfTriangle to 2: scale 1/3,
  // pixel 0 takes weights 85, 57, 57, 28, 28 at 0, +-1, +-2 (mirrored onto 1 and 2):
  // (57 * 100 * 2 + 28 * 200 * 2) / 255 = 88.6, so 89.
  const ExactCase cases[] = {
      {rfTriangle, 2, {89, 220}},
      {rfTriangle, 8, {0, 43, 86, 129, 171, 208, 231, 255}},
      {rfLanczos3, 2, {68, 239}},
      {rfLanczos3, 8, {0, 23, 81, 135, 177, 210, 239, 255}},
      {rfMitchell, 2, {94, 217}},
      {rfMitchell, 8, {11, 36, 85, 129, 173, 208, 235, 252}},
  };
  for (bool simd : {false, true}) {
    SetResampleSimd(simd);
    for (const ExactCase& c : cases) {
      auto src = GreyRow();
      TIEBitmap dst(c.width, 1, ie24RGB);
      ResampleBitmap(*src, dst, c.filter, nullptr, nullptr);
      for (int32_t x = 0; x < c.width; ++x) {
        const TIERGB p = dst.GetPixel24(x, 0);
        EXPECT_EQ(p.r, c.expected[x]) << int(c.filter) << " -> " << c.width << " x " << x << " simd " << simd;
        EXPECT_EQ(p.g, p.r);
        EXPECT_EQ(p.b, p.r);
      }
    }
  }
}

TEST_F(ResampleTest, AFlatImageKeepsEveryValueUnderEveryFilterScaleAndThreadCount) {
  const TResampleFilter filters[] = {rfNone,     rfTriangle, rfHermite, rfBell,       rfBSpline,  rfLanczos3,
                                     rfMitchell, rfNearest,  rfLinear,  rfFastLinear, rfBilinear, rfBicubic};
  // Enlarging, shrinking, both at once, and a shrink so large that the triangle's weights round away.
  const int32_t sizes[][4] = {{9, 7, 23, 5}, {9, 7, 4, 3}, {12, 10, 31, 17}, {700, 3, 2, 2}};
  auto check = [&](TIEPixelFormat format, double fill, int32_t threads, auto&& expected) {
    ResampleThreadCountForTesting() = threads;
    for (TResampleFilter f : filters)
      for (const auto& s : sizes) {
        auto src = Make(s[0], s[1], format, ieMemory);
        src->Fill(fill);
        auto dst = Make(s[2], s[3], format, ieMemory);
        ResampleBitmap(*src, *dst, f, nullptr, nullptr);
        for (int32_t y = 0; y < s[3]; ++y)
          for (int32_t x = 0; x < s[2]; ++x)
            if (!expected(*dst, x, y)) {
              ADD_FAILURE() << "format " << int(format) << " value " << fill << " filter " << int(f) << " " << s[0]
                            << "x" << s[1] << " -> " << s[2] << "x" << s[3] << " threads " << threads << " at " << x
                            << "," << y;
              return;
            }
      }
  };
  for (int32_t v = 0; v < 256; ++v)
    for (int32_t threads : {1, 3}) {
      if (threads > 1 && v % 15 != 0) continue;
      // Red v, green v ^ 0x5A, blue 255 - v: every value in every channel.
      const TIERGB colour = CreateRGB(uint8_t(v), uint8_t(v ^ 0x5A), uint8_t(255 - v));
      check(ie24RGB, static_cast<double>(TColor(v | (v ^ 0x5A) << 8 | (255 - v) << 16)), threads,
            [&](TIEBitmap& b, int32_t x, int32_t y) { return b.GetPixel24(x, y) == colour; });
      check(ie8g, v, threads, [&](TIEBitmap& b, int32_t x, int32_t y) { return b.GetPixel8(x, y) == v; });
    }
  for (int32_t v : {0, 1, 255, 256, 32767, 65534, 65535})
    for (int32_t threads : {1, 3}) {
      check(ie16g, v, threads, [&](TIEBitmap& b, int32_t x, int32_t y) { return b.GetPixel16(x, y) == v; });
    }
}

// A photo-like picture: smooth shading, soft shapes and a fine texture, in every channel.
void FillPhoto(TIEBitmap& b) {
  std::mt19937 rng(11);
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.Row<uint8_t>(y);
    for (int32_t x = 0; x < b.Width(); ++x)
      for (int32_t c = 0; c < 3; ++c) {
        const double shade = 128 + 90 * std::sin(x * (0.031 + 0.01 * c)) * std::cos(y * 0.027 + c);
        const double blob = (x - 70) * (x - 70) + (y - 40) * (y - 40) < 400 ? 40 : 0;
        const double v = shade + blob + static_cast<int32_t>(rng() % 17) - 8;
        row[3 * x + c] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
      }
  }
}

using RealWeights = std::vector<std::vector<TIERealContributor>>;

// The real weights of a kernel filter on the engine's corner-aligned grid, without rounding:
// centre i / scale, the kernel stretched by 1 / scale when shrinking, edges mirrored.
RealWeights KernelWeights(int32_t s, int32_t d, TResampleFilter filter) {
  const double scale = s == 1 || d == 1 ? double(d) / s : double(d - 1) / (s - 1);
  const double support = FilterTable[filter].Support;
  const double width = scale < 1 ? support / scale : support;
  RealWeights w(static_cast<size_t>(d));
  for (int32_t i = 0; i < d; ++i) {
    const double c = i / scale;
    for (int32_t j = int32_t(std::floor(c - width)); j <= int32_t(std::ceil(c + width)); ++j) {
      const double k = scale < 1 ? FilterTable[filter].Filter((c - j) * scale) * scale : FilterTable[filter].Filter(c - j);
      const int32_t m = std::clamp(j < 0 ? -j : j >= s ? 2 * s - 1 - j : j, 0, s - 1);
      if (k != 0) w[static_cast<size_t>(i)].push_back({m, k});
    }
  }
  return w;
}

// The mean of both passes in double precision over 3-channel rows, each weight list normalised by
// its sum, nothing rounded.
double ExactMean(TIEBitmap& src, const RealWeights& cols, const RealWeights& rows) {
  const int32_t sw = src.Width(), sh = src.Height();
  const int32_t dw = static_cast<int32_t>(cols.size()), dh = static_cast<int32_t>(rows.size());
  std::vector<double> work(static_cast<size_t>(dw) * sh * 3);
  for (int32_t y = 0; y < sh; ++y) {
    const uint8_t* row = src.Row<uint8_t>(y);
    for (int32_t x = 0; x < dw; ++x) {
      double sum[3] = {}, ws = 0;
      for (const TIERealContributor& c : cols[static_cast<size_t>(x)]) {
        for (int k = 0; k < 3; ++k) sum[k] += c.Weight * row[3 * c.Pixel + k];
        ws += c.Weight;
      }
      for (int k = 0; k < 3; ++k) work[(static_cast<size_t>(y) * dw + x) * 3 + k] = sum[k] / ws;
    }
  }
  double total = 0;
  (void)sw;
  for (int32_t y = 0; y < dh; ++y)
    for (int32_t i = 0; i < dw * 3; ++i) {
      double sum = 0, ws = 0;
      for (const TIERealContributor& c : rows[static_cast<size_t>(y)]) {
        sum += c.Weight * work[static_cast<size_t>(c.Pixel) * dw * 3 + i];
        ws += c.Weight;
      }
      total += std::clamp(sum / ws, 0.0, 255.0);
    }
  return total / (double(dw) * dh * 3);
}

double Mean(TIEBitmap& b) {
  double total = 0;
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t i = 0; i < b.Width() * 3; ++i) total += b.Row<uint8_t>(y)[i];
  return total / (double(b.Width()) * b.Height() * 3);
}

TEST_F(ResampleTest, APhotosMeanStaysWithinATenthOfALevelOfTheExactResample) {
  auto src = Make(160, 100, ie24RGB, ieMemory);
  FillPhoto(*src);
  const int32_t sizes[][2] = {{40, 25}, {400, 250}, {97, 163}};
  for (TResampleFilter f : {rfTriangle, rfBSpline, rfLanczos3, rfMitchell, rfBilinear, rfBicubic})
    for (const auto& s : sizes)
      for (bool simd : {false, true}) {
        SetResampleSimd(simd);
        auto dst = Make(s[0], s[1], ie24RGB, ieMemory);
        ResampleBitmap(*src, *dst, f, nullptr, nullptr);
        const bool area = f == rfBilinear || f == rfBicubic;
        const double exact =
            area ? ExactMean(*src, AreaAxisWeights(160, s[0], f == rfBicubic), AreaAxisWeights(100, s[1], f == rfBicubic))
                 : ExactMean(*src, KernelWeights(160, s[0], f), KernelWeights(100, s[1], f));
        EXPECT_NEAR(Mean(*dst), exact, 0.1) << "filter " << int(f) << " to " << s[0] << "x" << s[1] << " simd " << simd;
      }
}

TEST_F(ResampleTest, SameSizeCopiesWithAlphaAndTinySourcesStay) {
  auto src = Make(5, 4, ie24RGB, ieMemory);
  FillRandom(*src, 1);
  src->GetAlphaChannel()->Fill(77);
  auto dst = Make(5, 4, ie24RGB, ieMemory);
  ResampleBitmap(*src, *dst, rfLanczos3, nullptr, nullptr);
  EXPECT_EQ(Pixels(*dst), Pixels(*src));
  ASSERT_TRUE(dst->HasAlphaChannel());
  EXPECT_EQ(dst->GetAlpha(4, 3), 77);

  auto one = Make(1, 1, ie24RGB, ieMemory);
  one->Fill(clRed);
  auto big = Make(3, 3, ie24RGB, ieMemory);
  big->Fill(clBlue);
  ResampleBitmap(*one, *big, rfTriangle, nullptr, nullptr);
  EXPECT_EQ(big->GetPixel24(1, 1), CreateRGB(0, 0, 255));

  // 1 x N is resampled, the width scale being DestWidth / 1.
  auto column = Make(1, 2, ie8g, ieMemory);
  column->SetPixel8(0, 0, 0);
  column->SetPixel8(0, 1, 200);
  auto wide = Make(3, 3, ie8g, ieMemory);
  ResampleBitmap(*column, *wide, rfTriangle, nullptr, nullptr);
  for (int32_t x = 0; x < 3; ++x) {
    EXPECT_EQ(wide->GetPixel8(x, 0), 0);
    EXPECT_EQ(wide->GetPixel8(x, 1), 100);
    EXPECT_EQ(wide->GetPixel8(x, 2), 200);
  }
}

// Without a progress handler both passes run fused, in bands of destination rows that each make
// the horizontal rows they need; with one, through a whole work bitmap. Every road gives the same
// bytes, on any number of threads (the tall shrinks give bands that share many source rows).
TEST_F(ResampleTest, OneAndManyThreadsAndAProgressHandlerGiveIdenticalResults) {
  struct Case {
    TIEPixelFormat format;
    int32_t sw, sh, dw, dh;
  };
  const Case cases[] = {{ie24RGB, 37, 23, 11, 7}, {ie24RGB, 13, 9, 40, 31}, {ie8g, 29, 31, 9, 64},
                        {ie16g, 19, 17, 7, 30},   {ieRGB48, 11, 13, 23, 5}, {ie32RGB, 17, 19, 5, 8},
                        {ie24RGB, 50, 301, 17, 37}, {ie8g, 9, 700, 5, 3},   {ie24RGB, 40, 3, 90, 200}};
  for (const Case& c : cases)
    for (TResampleFilter f : {rfTriangle, rfLanczos3, rfBSpline, rfFastLinear, rfBilinear, rfBicubic}) {
      auto src = Make(c.sw, c.sh, c.format, ieMemory);
      FillRandom(*src, 3);
      std::vector<uint8_t> results[4];
      for (int run = 0; run < 4; ++run) {
        ResampleThreadCountForTesting() = run == 0 ? 1 : run == 2 ? 64 : 4;
        auto dst = Make(c.dw, c.dh, c.format == ie32RGB ? ie24RGB : c.format, ieMemory);
        const TIEProgressEvent progress = run == 3 ? TIEProgressEvent([](TObject*, int32_t) {}) : nullptr;
        ResampleBitmap(*src, *dst, f, progress, nullptr);
        results[run] = Pixels(*dst);
      }
      for (int run = 1; run < 4; ++run)
        EXPECT_EQ(results[0], results[run]) << int(c.format) << " filter " << int(f) << " run " << run;
    }
}

TEST_F(ResampleTest, FileHeldBitmapsGiveTheSameResult) {
  ResampleThreadCountForTesting() = 4;
  auto src = Make(31, 27, ie24RGB, ieMemory);
  FillRandom(*src, 5);
  auto fileSrc = Make(31, 27, ie24RGB, ieFile);
  fileSrc->Assign(*src);
  auto dst = Make(12, 40, ie24RGB, ieMemory);
  auto fileDst = Make(12, 40, ie24RGB, ieFile);
  ResampleBitmap(*src, *dst, rfLanczos3, nullptr, nullptr);
  ResampleBitmap(*fileSrc, *fileDst, rfLanczos3, nullptr, nullptr);
  EXPECT_EQ(Pixels(*dst), Pixels(*fileDst));
}

// Runs a resample and returns the progress values, checking that each came on this thread.
std::vector<int32_t> Progress(TIEBitmap& src, TIEBitmap& dst, TResampleFilter filter) {
  std::vector<int32_t> seen;
  const std::thread::id caller = std::this_thread::get_id();
  ResampleBitmap(src, dst, filter, [&](TObject*, int32_t per) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    seen.push_back(per);
  }, nullptr);
  return seen;
}

class ResampleProgressTest : public ResampleTest {
 protected:
  // A 40 x 300 source resampled to 20 x 150 with the given filter on four threads.
  static std::vector<int32_t> ProgressOfShrink(TIELocation where, TResampleFilter filter) {
    ResampleThreadCountForTesting() = 4;
    auto src = Make(40, 300, ie24RGB, where);
    FillRandom(*src, 9);
    auto dst = Make(20, 150, ie24RGB, ieMemory);
    return Progress(*src, *dst, filter);
  }
};

TEST_F(ResampleProgressTest, ComesOnTheCallersThreadRisingToAtMost99) {
  const std::vector<int32_t> seen = ProgressOfShrink(ieMemory, rfLanczos3);
  ASSERT_GT(seen.size(), 50u);
  EXPECT_EQ(seen.front(), 0);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_EQ(seen.back(), 99);
  // The first band estimates all four: after its row r, Trunc((4r + 1) * 100 / 450.5).
  EXPECT_EQ(seen[1], static_cast<int32_t>(5 * 100 / 450.5));
}

TEST_F(ResampleProgressTest, FileHeldSourceRunsOneBand) {
  const std::vector<int32_t> seen = ProgressOfShrink(ieFile, rfTriangle);
  // One band counts every row: Trunc((r + 1) * 100 / 450.5) takes every value up to 66.
  for (int32_t v = 0; v <= 66; ++v) EXPECT_EQ(seen[static_cast<size_t>(v)], v);
}

TEST_F(ResampleTest, AnExceptionOfTheHandlerStopsTheResampleCleanly) {
  ResampleThreadCountForTesting() = 4;
  auto src = Make(40, 200, ie24RGB, ieMemory);
  auto dst = Make(80, 100, ie24RGB, ieMemory);
  int calls = 0;
  EXPECT_THROW(ResampleBitmap(*src, *dst, rfLanczos3, [&](TObject*, int32_t per) {
    ++calls;
    if (per >= 10) throw std::runtime_error("stop");
  }, nullptr), std::runtime_error);
  EXPECT_GT(calls, 0);
}

TEST_F(ResampleTest, HugeShrinksAreNotBlack) {
  auto src = Make(1100, 2, ie24RGB, ieMemory);
  src->Fill(TColor(0x00C8A064));  // red 100, green 160, blue 200
  auto dst = Make(2, 2, ie24RGB, ieMemory);
  ResampleBitmap(*src, *dst, rfTriangle, nullptr, nullptr);
  EXPECT_EQ(dst->GetPixel24(0, 0), CreateRGB(100, 160, 200));
  EXPECT_EQ(dst->GetPixel24(1, 1), CreateRGB(100, 160, 200));
}

TEST_F(ResampleTest, AlphaIsResampledAndKeepsItsFullFlag) {
  auto src = Make(8, 2, ie24RGB, ieMemory);
  src->Fill(clWhite);
  TIEBitmap* alpha = src->GetAlphaChannel();
  for (int32_t x = 0; x < 8; ++x)
    for (int32_t y = 0; y < 2; ++y) alpha->SetPixel8(x, y, x < 4 ? 0 : 255);
  alpha->SetFull(false);
  auto dst = Make(4, 2, ie24RGB, ieMemory);
  ResampleBitmap(*src, *dst, rfTriangle, nullptr, nullptr);
  ASSERT_TRUE(dst->HasAlphaChannel());
  TIEBitmap* out = dst->GetAlphaChannel();
  EXPECT_EQ(out->Width(), 4);
  EXPECT_EQ(out->GetPixel8(0, 0), 0);
  EXPECT_EQ(out->GetPixel8(3, 1), 255);
  EXPECT_GT(out->GetPixel8(2, 0), out->GetPixel8(1, 0));
  EXPECT_FALSE(out->Full());

  // Nearest pixels for rfNone.
  auto near = Make(16, 2, ie24RGB, ieMemory);
  ResampleBitmap(*src, *near, rfNone, nullptr, nullptr);
  EXPECT_EQ(near->GetAlphaChannel()->GetPixel8(7, 0), 0);
  EXPECT_EQ(near->GetAlphaChannel()->GetPixel8(8, 0), 255);
}

TEST_F(ResampleTest, DeepFormatsKeepTheirDepthAndColour) {
  auto grey = Make(2, 2, ie16g, ieMemory);
  for (int32_t y = 0; y < 2; ++y) {
    grey->SetPixel16(0, y, 1000);
    grey->SetPixel16(1, y, 3001);
  }
  auto greyOut = Make(3, 2, ie16g, ieMemory);
  ResampleBitmap(*grey, *greyOut, rfTriangle, nullptr, nullptr);
  ASSERT_EQ(greyOut->PixelFormat(), ie16g);
  EXPECT_EQ(greyOut->GetPixel16(1, 0), 2000);  // (1000 + 3001) / 2 = 2000.5, rounded half to even

  auto colour = Make(2, 2, ieRGB48, ieMemory);
  for (int32_t y = 0; y < 2; ++y) {
    colour->SetPixel48(0, y, TIERGB48{1000, 20000, 65535});
    colour->SetPixel48(1, y, TIERGB48{3001, 20000, 0});
  }
  for (TResampleFilter f : {rfTriangle, rfFastLinear}) {
    auto out = Make(3, 2, ieRGB48, ieMemory);
    ResampleBitmap(*colour, *out, f, nullptr, nullptr);
    ASSERT_EQ(out->PixelFormat(), ieRGB48) << int(f);
    const TIERGB48 left = out->GetPixel48(0, 0), right = out->GetPixel48(2, 1);
    EXPECT_EQ(left.r, 1000) << int(f);
    EXPECT_EQ(left.b, 65535) << int(f);
    EXPECT_EQ(right.r, 3001) << int(f);
    EXPECT_EQ(out->GetPixel48(1, 0).g, 20000) << int(f);
  }
  // The area resampler samples each cell at its far end: 1/3 of the left pixel, 2/3 of the right.
  auto area = Make(3, 2, ieRGB48, ieMemory);
  ResampleBitmap(*colour, *area, rfBilinear, nullptr, nullptr);
  ASSERT_EQ(area->PixelFormat(), ieRGB48);
  EXPECT_EQ(area->GetPixel48(0, 0).r, 2334);
  EXPECT_EQ(area->GetPixel48(0, 0).b, 21845);
}

TEST_F(ResampleTest, OtherFormatsBecome24BitAndOneBitRoutes) {
  auto cmyk = Make(4, 4, ie32RGB, ieMemory);
  cmyk->Fill(clRed);
  auto out = Make(2, 2, ie32RGB, ieMemory);
  ResampleBitmap(*cmyk, *out, rfLanczos3, nullptr, nullptr);
  ASSERT_EQ(out->PixelFormat(), ie24RGB);
  EXPECT_EQ(out->GetPixel24(1, 1), CreateRGB(255, 0, 0));

  auto bits = Make(8, 8, ie1g, ieMemory);
  bits->Fill(clWhite);
  for (int32_t y = 0; y < 8; ++y) bits->FillRect(3, y, 3, y, 0);  // a black column at x = 3
  auto grey = Make(4, 4, ie1g, ieMemory);
  ResampleBitmap(*bits, *grey, rfTriangle, nullptr, nullptr);
  ASSERT_EQ(grey->PixelFormat(), ie24RGB);
  EXPECT_EQ(grey->GetPixel24(3, 0), CreateRGB(255, 255, 255));
  EXPECT_LT(grey->GetPixel24(1, 0).r, 255);
  auto projected = Make(4, 4, ie24RGB, ieMemory);
  ResampleBitmap(*bits, *projected, rfProjectBW, nullptr, nullptr);
  ASSERT_EQ(projected->PixelFormat(), ie1g);
  EXPECT_EQ(GetRowBit(projected->Row<uint8_t>(2), 2), 0);
  EXPECT_NE(GetRowBit(projected->Row<uint8_t>(2), 1), 0);
  EXPECT_NE(GetRowBit(projected->Row<uint8_t>(2), 3), 0);
}

}  // namespace
