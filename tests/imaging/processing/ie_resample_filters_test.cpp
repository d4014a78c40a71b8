#include "imaging/processing/ie_resample_filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace {

struct KernelCase {
  TResampleFilter filter;
  double t;
  double value;
};

TEST(ResampleFilters, KernelValuesAndSupports) {
  const KernelCase cases[] = {
      {rfTriangle, 0.25, 0.75},     {rfTriangle, -1, 0},          {rfHermite, 0.5, 0.5},
      {rfBell, 0.25, 0.6875},       {rfBell, 1, 0.125},           {rfBell, 1.5, 0},
      {rfBSpline, 0, 2.0 / 3},      {rfBSpline, 1.5, 0.125 / 6},  {rfLanczos3, 0, 1},
      {rfLanczos3, 1, 0},           {rfLanczos3, 3, 0},           {rfMitchell, 0, 16.0 / 18},
      {rfMitchell, 2, 0},           {rfNearest, 0.5, 1},          {rfNearest, -0.5, 0},
      {rfLinear, -1, 0},            {rfLinear, -0.25, 0.75},      {rfLinear, 0.25, 0.75},
  };
  for (const KernelCase& c : cases)
    EXPECT_NEAR(FilterTable[c.filter].Filter(c.t), c.value, 1e-12) << int(c.filter) << " at " << c.t;
  EXPECT_NEAR(Lanczos3Filter(0.5), SincValue(0.5) * SincValue(0.5 / 3), 1e-15);
  EXPECT_LT(Lanczos3Filter(1.5), 0);  // the negative lobe
  const double supports[] = {0, 1, 1, 1.5, 2, 3, 2, 1, 1};
  for (int f = rfTriangle; f <= rfLinear; ++f) EXPECT_EQ(FilterTable[f].Support, supports[f]);
  EXPECT_FALSE(IsKernelFilter(rfNone));
  EXPECT_FALSE(IsKernelFilter(rfFastLinear));
}

std::vector<std::pair<int32_t, int32_t>> PairsOf(const TIEContributorTable& t, int32_t i) {
  std::vector<std::pair<int32_t, int32_t>> v;
  for (int32_t k = 0; k < t.Count(i); ++k) v.emplace_back(t.Pairs(i)[k].Pixel, t.Pairs(i)[k].Weight);
  return v;
}
using Pairs = std::vector<std::pair<int32_t, int32_t>>;

TEST(ResampleFilters, CornerAlignedScaleAndHalfWeights) {
  EXPECT_EQ(TIEContributorTable::Scale(2, 3), 2.0);
  EXPECT_EQ(TIEContributorTable::Scale(1, 5), 5.0);
  EXPECT_EQ(TIEContributorTable::Scale(4, 1), 0.25);
  const TIEContributorTable t(2, 3, rfTriangle);
  EXPECT_EQ(PairsOf(t, 0), (Pairs{{0, 256}}));
  EXPECT_EQ(PairsOf(t, 1), (Pairs{{0, 128}, {1, 128}}));
  EXPECT_EQ(PairsOf(t, 2), (Pairs{{1, 256}}));
}

TEST(ResampleFilters, EdgesMirrorAsymmetrically) {
  // 3 -> 5 with rfBSpline: position -1 reads pixel 1, position 3 (= size) reads pixel 2.
  const TIEContributorTable t(3, 5, rfBSpline);
  EXPECT_EQ(PairsOf(t, 0), (Pairs{{1, 43}, {0, 171}, {1, 43}}));
  EXPECT_EQ(PairsOf(t, 3), (Pairs{{0, 5}, {1, 123}, {2, 123}, {2, 5}}));
  EXPECT_EQ(PairsOf(t, 4), (Pairs{{1, 43}, {2, 171}, {2, 43}}));
  // The folded run of the first pixel gathers the mirrored weight onto pixel 1.
  EXPECT_EQ(t.Left(0), 0);
  EXPECT_EQ(t.Taps(0), 2);
  EXPECT_EQ(t.Weights(0)[0], 171);
  EXPECT_EQ(t.Weights(0)[1], 86);
}

TEST(ResampleFilters, ShrinkWeightsScaleWithTheStep) {
  // 4 -> 2 with rfTriangle: scale 1/3, the kernel three pixels wide on each side.
  const TIEContributorTable t(4, 2, rfTriangle);
  EXPECT_EQ(PairsOf(t, 0), (Pairs{{2, 28}, {1, 57}, {0, 85}, {1, 57}, {2, 28}}));
  EXPECT_EQ(t.WeightSum(0), 255);
  EXPECT_FALSE(t.NearestFallback(0));
}

TEST(ResampleFilters, HugeShrinksFallBackToTheNearestPixel) {
  // Shrinking more than 512 times rounds every triangle weight to 0.
  const TIEContributorTable t(2000, 3, rfTriangle);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(t.NearestFallback(i));
    ASSERT_EQ(t.Count(i), 1);
    EXPECT_EQ(t.Pairs(i)[0].Weight, 256);
  }
  EXPECT_EQ(t.Pairs(0)[0].Pixel, 0);
  EXPECT_EQ(t.Pairs(1)[0].Pixel, 1000);  // centre 999.5
  EXPECT_EQ(t.Pairs(2)[0].Pixel, 1999);
  // 400 times still has pairs, kept as computed.
  const TIEContributorTable kept(801, 3, rfTriangle);
  EXPECT_FALSE(kept.NearestFallback(1));
  EXPECT_GT(kept.Count(1), 1);
}

TEST(ResampleFilters, FoldedRunsCarryTheSameWeightsAsThePairs) {
  const int32_t sizes[][2] = {{1, 7}, {7, 1}, {2, 9}, {9, 2}, {5, 5}, {13, 40}, {40, 13}, {300, 7}, {3, 3000}};
  for (int f = rfTriangle; f <= rfLinear; ++f)
    for (const auto& s : sizes) {
      const TIEContributorTable t(s[0], s[1], static_cast<TResampleFilter>(f));
      EXPECT_EQ(t.Stride() % 8, 0);
      for (int32_t i = 0; i < t.DestSize(); ++i) {
        std::map<int32_t, int32_t> byPixel;
        int32_t sum = 0;
        for (int32_t k = 0; k < t.Count(i); ++k) {
          byPixel[t.Pairs(i)[k].Pixel] += t.Pairs(i)[k].Weight;
          sum += t.Pairs(i)[k].Weight;
        }
        EXPECT_EQ(sum, t.WeightSum(i));
        EXPECT_NE(sum, 0);
        ASSERT_GE(t.Left(i), 0);
        ASSERT_LE(t.Left(i) + t.Taps(i), s[0]);
        for (int32_t k = 0; k < t.Stride(); ++k) {
          const int32_t expected = k < t.Taps(i) && byPixel.count(t.Left(i) + k) ? byPixel[t.Left(i) + k] : 0;
          EXPECT_EQ(t.Weights(i)[k], expected) << f << " " << s[0] << "->" << s[1] << " i " << i << " k " << k;
        }
      }
    }
}

}  // namespace
