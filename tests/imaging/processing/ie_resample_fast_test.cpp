#include "imaging/processing/ie_resample_fast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "imaging/processing/ie_resample_area.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_rows.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

class FastResampleTest : public BitmapTest {};

std::unique_ptr<TIEBitmap> GreyRow(std::initializer_list<uint8_t> values, int32_t height = 1) {
  auto b = std::make_unique<TIEBitmap>(static_cast<int32_t>(values.size()), height, ie8g);
  for (int32_t y = 0; y < height; ++y) {
    int32_t x = 0;
    for (uint8_t v : values) b->SetPixel8(x++, y, v);
  }
  return b;
}

std::vector<int32_t> Row8(TIEBitmap& b, int32_t y) {
  std::vector<int32_t> v;
  for (int32_t x = 0; x < b.Width(); ++x) v.push_back(b.GetPixel8(x, y));
  return v;
}

TEST_F(FastResampleTest, LinearInterpolationRoundsDownAlsoForFallingValues) {
  // 10 -> 9 at fraction 1/2 gives 9.
  auto src = GreyRow({10, 9});
  TIEBitmap dst(4, 1, ie8g);
  FastLinearResample8(*src, dst, nullptr, nullptr);
  EXPECT_EQ(Row8(dst, 0), (std::vector<int32_t>{10, 9, 9, 9}));
  auto rising = GreyRow({0, 255});
  TIEBitmap up(4, 1, ie8g);
  FastLinearResample8(*rising, up, nullptr, nullptr);
  EXPECT_EQ(Row8(up, 0), (std::vector<int32_t>{0, 127, 255, 255}));
}

TEST_F(FastResampleTest, ShrinkingAveragesBoxesAndEqualWidthsAverageNeighbours) {
  // 6 -> 3: boxes 0..2 and 2..4 (each reaches the start of the next box), the last box 4 alone.
  auto src = GreyRow({0, 30, 60, 90, 120, 150});
  TIEBitmap dst(3, 1, ie8g);
  FastLinearResample8(*src, dst, nullptr, nullptr);
  EXPECT_EQ(Row8(dst, 0), (std::vector<int32_t>{30, 90, 120}));
  // Equal width, another height: each pixel averages itself with its right neighbour, a slight
  // horizontal blur (the last one has none and stays).
  auto same = GreyRow({0, 100, 200}, 1);
  TIEBitmap taller(3, 2, ie8g);
  FastLinearResample8(*same, taller, nullptr, nullptr);
  EXPECT_EQ(Row8(taller, 0), (std::vector<int32_t>{50, 150, 200}));
  EXPECT_EQ(Row8(taller, 1), (std::vector<int32_t>{50, 150, 200}));
  // Equal sizes copy.
  TIEBitmap copy(3, 1, ie8g);
  FastLinearResample8(*same, copy, nullptr, nullptr);
  EXPECT_EQ(Row8(copy, 0), (std::vector<int32_t>{0, 100, 200}));
}

TEST_F(FastResampleTest, Linear24ReportsAfterEveryRowAndThreadsAgree) {
  auto src = Make(30, 40, ie24RGB, ieMemory);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 30; ++x)
      src->SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(7 * x), static_cast<uint8_t>(5 * y), static_cast<uint8_t>(x * y)));
  std::vector<int32_t> seen;
  TIEBitmap one(70, 13, ie24RGB), many(70, 13, ie24RGB);
  ResampleThreadCountForTesting() = 1;
  FastLinearResample24(*src, one, nullptr, [&](TObject*, int32_t per) { seen.push_back(per); });
  ResampleThreadCountForTesting() = 3;
  std::vector<int32_t> seenMany;
  FastLinearResample24(*src, many, nullptr, [&](TObject*, int32_t per) { seenMany.push_back(per); });
  ResampleThreadCountForTesting() = 0;
  ASSERT_EQ(seen.size(), 40u + 13u);
  EXPECT_EQ(seen, seenMany);
  EXPECT_EQ(seen[1], static_cast<int32_t>(100 / 53.5));
  for (int32_t y = 0; y < 13; ++y)
    for (int32_t x = 0; x < 70; ++x) ASSERT_EQ(one.GetPixel24(x, y), many.GetPixel24(x, y));
}

// Boxes larger than 32-bit sums of full-scale samples allow: 140,000 columns (or rows) of 65535
// shrunk to 2 make boxes of 70,000 samples, whose sum 4,587,450,000 passes 2^32 (it used to wrap and
// give 4179); 33,686,020 columns of 255 make boxes of 16,843,010, one past what 32 bits hold.
TEST_F(FastResampleTest, HugeBoxesOfFullScaleSamplesAverageToFullScale) {
  struct Case {
    TIEPixelFormat format;
    int32_t width, height;
  };
  for (const Case& c : {Case{ie16g, 140000, 1}, Case{ie16g, 1, 140000}, Case{ieRGB48, 140000, 1},
                        Case{ie8g, 33686020, 1}}) {
    SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(c.format) << ", " << c.width << " x "
                                    << c.height);
    auto src = Make(c.width, c.height, c.format, ieMemory);
    const int32_t bytesPerPixel = c.format == ie8g ? 1 : c.format == ie16g ? 2 : 6;
    for (int32_t y = 0; y < c.height; ++y)  // every sample all ones: 255 or 65535
      std::memset(src->Row<uint8_t>(y), 0xFF, static_cast<size_t>(c.width) * bytesPerPixel);
    TIEBitmap dst(c.width == 1 ? 1 : 2, c.height == 1 ? 1 : 2, c.format);
    if (c.format == ie8g)
      FastLinearResample8(*src, dst, nullptr, nullptr);
    else
      FastLinearResample16(*src, dst, c.format == ieRGB48 ? 3 : 1, nullptr, nullptr);
    const uint32_t full = c.format == ie8g ? 255 : 65535;
    const int32_t samples = (c.format == ieRGB48 ? 3 : 1) * dst.Width();
    for (int32_t y = 0; y < dst.Height(); ++y)
      for (int32_t i = 0; i < samples; ++i) {
        const uint32_t v = c.format == ie8g ? dst.Row<uint8_t>(y)[i] : dst.Row<uint16_t>(y)[i];
        EXPECT_EQ(v, full) << "row " << y << " sample " << i;
      }
  }
}

// The fast linear resample of 8-bit samples written out plainly: per axis, destination index i
// starts at source index Trunc(i / step) (step = destination / source size) and, when shrinking,
// averages the box up to Trunc(min(i + 1, last index) / step) (plus 1e-10 across), truncated;
// when growing it interpolates towards the next index by the 17-bit fraction, rounding down.
// Rows are done across first, then down.
std::vector<uint8_t> FastLinearReference(const std::vector<uint8_t>& src, int32_t sw, int32_t sh, int32_t dw,
                                         int32_t dh, int32_t channels) {
  struct Axis {
    std::vector<int32_t> first, last, fraction;
    bool grow;
  };
  auto axis = [](int32_t s, int32_t d, double epsilon) {
    Axis a;
    const double step = static_cast<double>(d) / s;
    a.grow = step > 1;
    for (int32_t i = 0; i < d; ++i) {
      const double p = i / step;
      const int32_t first = std::min(static_cast<int32_t>(p), s - 1);
      a.first.push_back(first);
      a.fraction.push_back(static_cast<int32_t>((p - static_cast<int32_t>(p)) * 131072.0));
      a.last.push_back(std::clamp(static_cast<int32_t>(std::min(i + 1, d - 1) / step + epsilon), first, s - 1));
    }
    return a;
  };
  const Axis columns = axis(sw, dw, 1e-10), rows = axis(sh, dh, 0);
  std::vector<int32_t> work(static_cast<size_t>(dw) * sh * channels);
  for (int32_t y = 0; y < sh; ++y)
    for (int32_t i = 0; i < dw; ++i)
      for (int32_t c = 0; c < channels; ++c) {
        auto at = [&](int32_t x) { return static_cast<int64_t>(src[(static_cast<size_t>(y) * sw + x) * channels + c]); };
        const int32_t f = columns.first[static_cast<size_t>(i)];
        int64_t v;
        if (columns.grow) {
          const int64_t a = at(f), b = at(std::min(f + 1, sw - 1));
          v = a + ((b - a) * columns.fraction[static_cast<size_t>(i)] >> 17);
        } else {
          int64_t sum = 0;
          for (int32_t x = f; x <= columns.last[static_cast<size_t>(i)]; ++x) sum += at(x);
          v = sum / (columns.last[static_cast<size_t>(i)] - f + 1);
        }
        work[(static_cast<size_t>(y) * dw + i) * channels + c] = static_cast<int32_t>(v);
      }
  std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * channels);
  for (int32_t j = 0; j < dh; ++j)
    for (int32_t i = 0; i < dw * channels; ++i) {
      auto at = [&](int32_t y) { return static_cast<int64_t>(work[static_cast<size_t>(y) * dw * channels + i]); };
      const int32_t f = rows.first[static_cast<size_t>(j)];
      int64_t v;
      if (rows.grow) {
        const int64_t a = at(f), b = at(std::min(f + 1, sh - 1));
        v = a + ((b - a) * rows.fraction[static_cast<size_t>(j)] >> 17);
      } else {
        int64_t sum = 0;
        for (int32_t y = f; y <= rows.last[static_cast<size_t>(j)]; ++y) sum += at(y);
        v = sum / (rows.last[static_cast<size_t>(j)] - f + 1);
      }
      out[static_cast<size_t>(j) * dw * channels + i] = static_cast<uint8_t>(v);
    }
  return out;
}

TEST_F(FastResampleTest, EightBitResamplesGiveTheFormulasBytesOnEveryPath) {
  // Shrinks by a little and by much (boxes of 2 to 5 pixels across summed by the vector unit, of 6
  // to 256 by running sums and a multiply, past 256 by a division; boxes of up to 11 rows summed in
  // 16-bit lanes, of up to 256 in 32-bit ones, past that divided), growth and mixed, on one thread
  // and three, with and without progress (the passes apart or together), grey and 24-bit; 24-bit
  // boxes of up to 5 pixels also two at a time by the AVX2 kernel where the processor has it.
  std::mt19937 random(41);
  const struct {
    int32_t sw, sh, dw, dh;
  } sizes[] = {{97, 61, 26, 17}, {40, 30, 39, 29}, {1500, 7, 5, 3}, {9, 700, 4, 2}, {300, 3, 1, 1},
               {13, 11, 40, 33}, {50, 9, 12, 20}, {7, 40, 20, 10}, {19, 19, 5, 19}, {6, 6, 3, 3},
               {200, 9, 20, 4}, {30, 120, 7, 5}, {64, 64, 13, 7}, {1000, 5, 257, 3}, {999, 4, 500, 2},
               {500, 3, 333, 2}};
  for (const auto& sz : sizes)
    for (const int32_t channels : {1, 3}) {
      const TIEPixelFormat format = channels == 1 ? ie8g : ie24RGB;
      auto src = Make(sz.sw, sz.sh, format, ieMemory);
      std::vector<uint8_t> pixels(static_cast<size_t>(sz.sw) * sz.sh * channels);
      for (uint8_t& p : pixels) p = static_cast<uint8_t>(random() % 4 == 0 ? 255 : random());
      for (int32_t y = 0; y < sz.sh; ++y)
        std::memcpy(src->GetRow(y), pixels.data() + static_cast<size_t>(y) * sz.sw * channels,
                    static_cast<size_t>(sz.sw) * channels);
      const std::vector<uint8_t> expected = FastLinearReference(pixels, sz.sw, sz.sh, sz.dw, sz.dh, channels);
      for (const int32_t threads : {1, 3})
        for (const bool progress : {false, true})
          for (const bool simd : {true, false}) {
            SCOPED_TRACE(testing::Message() << sz.sw << "x" << sz.sh << " -> " << sz.dw << "x" << sz.dh << ", "
                                            << channels << " channel(s), " << threads << " thread(s)"
                                            << (progress ? ", progress" : "") << (simd ? "" : ", no AVX2"));
            ResampleThreadCountForTesting() = threads;
            SetResampleSimd(simd);
            TIEBitmap dst(sz.dw, sz.dh, format);
            const TIEProgressEvent onProgress = progress ? TIEProgressEvent([](TObject*, int32_t) {}) : nullptr;
            if (channels == 1)
              FastLinearResample8(*src, dst, nullptr, onProgress);
            else
              FastLinearResample24(*src, dst, nullptr, onProgress);
            ResampleThreadCountForTesting() = 0;
            SetResampleSimd(true);
            int wrong = 0;
            for (int32_t y = 0; y < sz.dh; ++y)
              for (int32_t i = 0; i < sz.dw * channels; ++i) {
                const int got = static_cast<const uint8_t*>(dst.GetRow(y))[i];
                const int want = expected[static_cast<size_t>(y) * sz.dw * channels + i];
                if (got != want && ++wrong <= 3) ADD_FAILURE() << "row " << y << " sample " << i << ": " << got << ", not " << want;
              }
          }
    }
}

TEST_F(FastResampleTest, OneBitToGrayStaysInsideTheSource) {
  auto src = Make(8, 8, ie1g, ieFile);
  src->Fill(0);
  for (int32_t x = 0; x < 8; ++x) SetRowBit(src->Row<uint8_t>(7), x, 1);  // only the last row white
  // A rectangle reaching past the last row is clipped to it: rows 6 and 7, half of them set.
  auto dst = Make(1, 1, ie24RGB, ieMemory);
  Resample1BitToGray(*src, 0, 6, 7, 20, *dst);
  EXPECT_EQ(dst->GetPixel24(0, 0), CreateRGB(127, 127, 127));
  // Whole-image box averages: 8 x 8 -> 2 x 2 from a white right half; the blocks reach half a
  // step around their cells (columns 0..2 and 2..6, rows 0..2 and 2..6).
  auto half = Make(8, 8, ie1g, ieMemory);
  half->Fill(0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 4; x < 8; ++x) SetRowBit(half->Row<uint8_t>(y), x, 1);
  auto grey = Make(2, 2, ie24RGB, ieMemory);
  FastLinearResample1Bit(*half, *grey, nullptr, nullptr);
  EXPECT_EQ(grey->GetPixel24(0, 0).r, 0);
  EXPECT_EQ(grey->GetPixel24(1, 1).r, 3 * 255 / 5);
}

TEST_F(FastResampleTest, ProjectionsKeepThinLines) {
  // A one-pixel black vertical line on white, 16 x 16 -> 4 x 4.
  auto src = Make(16, 16, ie24RGB, ieMemory);
  src->Fill(clWhite);
  for (int32_t y = 0; y < 16; ++y) src->SetPixel24(9, y, CreateRGB(0, 0, 0));
  auto bw = Make(4, 4, ie24RGB, ieMemory);
  ProjectResample24(*src, *bw, false, nullptr, nullptr);
  ASSERT_EQ(bw->PixelFormat(), ie1g);
  // Destination column k covers source columns 4(k - 1) .. 4k: the line lands in column 3.
  for (int32_t y = 0; y < 4; ++y) {
    EXPECT_EQ(GetRowBit(bw->Row<uint8_t>(y), 3), 0) << y;
    for (int32_t x = 0; x < 3; ++x) EXPECT_NE(GetRowBit(bw->Row<uint8_t>(y), x), 0) << x << "," << y;
  }
  auto wb = Make(4, 4, ie24RGB, ieMemory);
  ProjectResample24(*src, *wb, true, nullptr, nullptr);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_NE(GetRowBit(wb->Row<uint8_t>(y), x), 0);

  // (128, 128, 128) is neither dark nor light.
  auto mid = Make(2, 2, ie24RGB, ieMemory);
  mid->Fill(TColor(0x808080));
  auto a = Make(1, 1, ie1g, ieMemory), b = Make(1, 1, ie1g, ieMemory);
  ProjectResample24(*mid, *a, false, nullptr, nullptr);
  ProjectResample24(*mid, *b, true, nullptr, nullptr);
  EXPECT_NE(GetRowBit(a->Row<uint8_t>(0), 0), 0);
  EXPECT_EQ(GetRowBit(b->Row<uint8_t>(0), 0), 0);

  // 1-bit: a black line projected black on white survives.
  auto bits = Make(16, 16, ie1g, ieMemory);
  bits->Fill(clWhite);
  for (int32_t y = 0; y < 16; ++y) SetRowBit(bits->Row<uint8_t>(y), 5, 0);
  auto small = Make(4, 4, ie1g, ieMemory);
  std::vector<int32_t> seen;
  ProjectResample1Bit(*bits, *small, false, [&](TObject*, int32_t per) { seen.push_back(per); }, nullptr);
  EXPECT_EQ(GetRowBit(small->Row<uint8_t>(3), 2), 0);
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 22, 44, 66}));
}

TEST_F(FastResampleTest, ProjectionsSeeTheLastColumnsAndRows) {
  // Lines in the last source column and the last source row, beyond the start of the last block.
  auto bits = Make(16, 16, ie1g, ieMemory);
  bits->Fill(clWhite);
  for (int32_t i = 0; i < 16; ++i) {
    SetRowBit(bits->Row<uint8_t>(i), 15, 0);
    SetRowBit(bits->Row<uint8_t>(15), i, 0);
  }
  auto small = Make(4, 4, ie1g, ieMemory);
  ProjectResample1Bit(*bits, *small, false, nullptr, nullptr);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(GetRowBit(small->Row<uint8_t>(i), 3), 0) << i;
    EXPECT_EQ(GetRowBit(small->Row<uint8_t>(3), i), 0) << i;
  }
  EXPECT_NE(GetRowBit(small->Row<uint8_t>(1), 1), 0);
}

TEST_F(FastResampleTest, AreaResamplerSamplesAtTheFarEndOfEachCell) {
  auto src = GreyRow({0, 255});
  TIEBitmap dst(4, 1, ie8g);
  AreaResample8(*src, dst, false, nullptr, nullptr);
  EXPECT_EQ(Row8(dst, 0), (std::vector<int32_t>{128, 255, 255, 255}));
  // Shrinking averages areas exactly: 4 -> 2.
  auto four = GreyRow({10, 20, 30, 41}, 2);
  TIEBitmap two(2, 1, ie8g);
  std::vector<int32_t> seen;
  AreaResample8(*four, two, true, [&](TObject*, int32_t per) { seen.push_back(per); }, nullptr);
  EXPECT_EQ(Row8(two, 0), (std::vector<int32_t>{15, 36}));  // 35.5 rounds to the even 36
  EXPECT_EQ(seen, (std::vector<int32_t>{100}));
  // Unsupported formats are ignored.
  auto cmyk = Make(2, 2, ieCMYK, ieMemory);
  auto out = Make(4, 4, ieCMYK, ieMemory);
  out->Fill(clWhite);
  AreaResample8(*cmyk, *out, false, nullptr, nullptr);
  EXPECT_EQ(out->GetPixelCMYK(0, 0), out->GetPixelCMYK(3, 3));
}

TEST_F(FastResampleTest, AreaBicubicOfAFlatImageIsFlat) {
  auto src = Make(5, 4, ie24RGB, ieMemory);
  src->Fill(TColor(0x336699));
  auto dst = Make(13, 11, ie24RGB, ieMemory);
  AreaResample8(*src, *dst, true, nullptr, nullptr);
  for (int32_t y = 0; y < 11; ++y)
    for (int32_t x = 0; x < 13; ++x) ASSERT_EQ(dst->GetPixel24(x, y), CreateRGB(0x99, 0x66, 0x33));
}

TEST(CubicInterpolate, EqualSamplesGiveTheSampleAndEndsAreExact) {
  for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) EXPECT_NEAR(CubicInterpolate(77, 77, 77, t, 77, 0, 255), 77, 1e-9);
  EXPECT_NEAR(CubicInterpolate(0, 10, 20, 0, 30, 0, 255), 10, 1e-12);
  EXPECT_NEAR(CubicInterpolate(0, 10, 20, 1, 30, 0, 255), 20, 1e-12);
  EXPECT_EQ(CubicInterpolate(0, 255, 255, 0.5, 0, 0, 255), 255);  // overshoot clamped
}

}  // namespace
