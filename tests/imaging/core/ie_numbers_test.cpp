#include "imaging/core/ie_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Numbers, FloatToRational) {
  struct Case {
    double value;
    int32_t n, d;
  } cases[] = {
      {0.5, 1, 2},
      {-0.75, -3, 4},
      {3.0, 3, 1},
      {0, 0, 1},
      {1e-20, 1, 999999999},
      {-1e-20, -1, 999999999},
      {1e20, 999999999, 1},
      {72.0 / 7, 72, 7},
      {3e9, 2147483647, 1},  // beyond the int32 range: saturated
      {std::numeric_limits<double>::quiet_NaN(), 0, 1},
      {std::numeric_limits<double>::infinity(), 999999999, 1},
  };
  for (const Case& c : cases) {
    int32_t n = -99, d = -99;
    FloatToRational(c.value, 5e-9, n, d);
    EXPECT_EQ(n, c.n) << c.value;
    EXPECT_EQ(d, c.d) << c.value;
  }
  // pi to the precision the int32 terms allow, without overflowing them.
  int32_t n = 0, d = 0;
  FloatToRational(M_PI, 5e-9, n, d);
  EXPECT_GT(d, 0);
  EXPECT_NEAR(static_cast<double>(n) / d, M_PI, 5e-9);
  // A value just above an integer: the first convergent's denominator would not fit.
  FloatToRational(1 + 1e-12, 1e-20, n, d);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(d, 1);
}

TEST(Numbers, ColorCountFromBits) {
  EXPECT_EQ(ColorCountFromBits(8, 1), 256);
  EXPECT_EQ(ColorCountFromBits(8, 3), 16777216);
  EXPECT_EQ(ColorCountFromBits(1, 1), 2);
  EXPECT_EQ(ColorCountFromBits(8, 4), 2147483647);  // 2^32 saturates (32-bit arithmetic wraps to 0)
  EXPECT_EQ(ColorCountFromBits(16, 3), 2147483647);
  EXPECT_EQ(ColorCountFromBits(8, 0), 1);
  EXPECT_EQ(ColorCountFromBits(-3, 2), 1);
}

TEST(Numbers, GaussianCurveSpansLowToHigh) {
  std::vector<double> v;
  FillGaussianCurve(10, 10, 110, 2.0, v);
  ASSERT_EQ(v.size(), 10u);
  // x runs from -1 to 0.8 in steps of 0.2; the peak is at k = 5 (x = 0).
  EXPECT_DOUBLE_EQ(v[5], 110);
  EXPECT_NEAR(v[0], 10 + 100 * std::exp(-2.0), 1e-12);  // exp(-0.5 * 4 * 1)
  EXPECT_NEAR(v[4], v[6], 1e-12);
  FillGaussianCurve(0, 0, 1, 1, v);
  EXPECT_TRUE(v.empty());
  EXPECT_EQ(IfThenInt(true, 1, 2), 1);
  EXPECT_EQ(IfThenChar(false, 'a', 'b'), 'b');
  EXPECT_EQ(IfThenFloat(false, 1.5, 2.5), 2.5);
}

}  // namespace
