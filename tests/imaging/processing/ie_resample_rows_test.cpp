#include "imaging/processing/ie_resample_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/processing/ie_resample_area.h"
#include "imaging/processing/ie_resample_filters.h"

namespace {

// Random rows, with runs of 0 and 255 so that the negative lobes push sums past both ends.
std::vector<uint8_t> RandomRow(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    const int kind = static_cast<int>(rng() % 4);
    v[i] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(rng());
  }
  return v;
}

TEST(ResampleRows, VectorKernelsEqualTheReference) {
  if (!ResampleSimdAvailable()) GTEST_SKIP() << "no AVX2 here";
  std::mt19937 rng(7);
  const int32_t sizes[][2] = {{1, 5}, {5, 1}, {2, 3}, {3, 2}, {4, 8}, {8, 4}, {17, 64}, {64, 17},
                              {100, 33}, {33, 100}, {250, 7}, {7, 250}, {1200, 5}, {31, 31}};
  // The kernel filters' tables and the area resampler's (bilinear, bicubic), whose units are finer.
  for (int f = rfTriangle; f <= rfBicubic; ++f)
    for (const auto& s : sizes) {
      if (f > rfLinear && f < rfBilinear) continue;
      const TIEContributorTable t =
          f <= rfLinear ? TIEContributorTable(s[0], s[1], static_cast<TResampleFilter>(f))
                        : TIEContributorTable(s[0], AreaAxisWeights(s[0], s[1], f == rfBicubic), 1 << 14);
      ASSERT_TRUE(t.Folded());
      for (int32_t channels : {1, 3}) {
        const std::vector<uint8_t> src = RandomRow(rng, static_cast<size_t>(s[0]) * channels);
        std::vector<uint8_t> ref(static_cast<size_t>(s[1]) * channels), fast(ref.size() + 1, 0xAB);
        std::vector<uint8_t> scratch(ResampleRowHScratchSize(t, channels, 1));
        ResampleRowHReference(t, channels, 1, src.data(), ref.data());
        ResampleRowH(t, channels, 1, src.data(), fast.data(), scratch.data());
        EXPECT_EQ(fast.back(), 0xAB) << "wrote past the row";
        fast.pop_back();
        EXPECT_EQ(ref, fast) << "filter " << f << " " << s[0] << "->" << s[1] << " channels " << channels;
      }
      // Vertical: rows of 77 samples (two vector blocks and a tail).
      const int32_t samples = 77;
      std::vector<std::vector<uint8_t>> rows;
      std::vector<const void*> rowPtrs;
      for (int32_t y = 0; y < s[0]; ++y) rows.push_back(RandomRow(rng, samples));
      for (auto& r : rows) rowPtrs.push_back(r.data());
      for (int32_t y = 0; y < s[1]; ++y) {
        std::vector<uint8_t> ref(samples), fast(samples + 1, 0xAB);
        ResampleRowVReference(t, y, 1, rowPtrs.data(), samples, ref.data());
        ResampleRowV(t, y, 1, rowPtrs.data(), samples, fast.data());
        EXPECT_EQ(fast.back(), 0xAB);
        fast.pop_back();
        EXPECT_EQ(ref, fast) << "filter " << f << " " << s[0] << "->" << s[1] << " row " << y;
      }
    }
}

TEST(ResampleRows, SixteenBitSamplesKeepTheirRange) {
  // 2 -> 3 with rfTriangle over 1000 and 3001: exact ends and a mid value with 16-bit precision.
  const TIEContributorTable t(2, 3, rfTriangle);
  const uint16_t src[] = {1000, 3001};
  uint16_t dst[3];
  ResampleRowHReference(t, 1, 2, src, dst);
  EXPECT_EQ(dst[0], 1000);
  EXPECT_EQ(dst[1], 2000);  // (128 * 1000 + 128 * 3001) / 256 = 2000.5, rounded half to even
  EXPECT_EQ(dst[2], 3001);
  const uint16_t odd[] = {1001, 3002};
  ResampleRowHReference(t, 1, 2, odd, dst);
  EXPECT_EQ(dst[1], 2002);  // 2001.5 to the even 2002
}

}  // namespace
