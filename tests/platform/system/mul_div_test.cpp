#include "platform/system/mul_div.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct MulDivCase {
  int32_t number, numerator, denominator, expected;
};

TEST(MulDiv, RoundsHalvesAwayFromZeroOverA64BitProduct) {
  const MulDivCase cases[] = {
      {1, 1, 2, 1},      // 0.5
      {-1, 1, 2, -1},    // -0.5
      {1, -1, 2, -1},
      {-1, -1, 2, 1},
      {5, 1, 2, 3},      // 2.5: away from zero, not to the even 2
      {-5, 1, 2, -3},
      {1, 1, 3, 0},      // 0.33
      {2, 1, 3, 1},      // 0.67
      {-2, 1, 3, -1},
      {33, 50, 100, 17},    // 16.5
      {200, 33, 100, 66},   // the longer side of a 100 x 200 frame at 33 %
      {66, 100, 200, 33},
      {kMax, kMax, kMax, kMax},            // the product needs 62 bits
      {1 << 30, 4, 3, 1431655765},         // 2^32 / 3 = 1431655765.33
      {kMin, 1, 1, kMin},
      {kMin, 1, -1, -1},                   // 2^31 does not fit
      {kMax, 2, 1, -1},
      {0, 0, 0, -1},                       // no divisor
      {7, 3, 0, -1},
      {0, 5, 7, 0},
  };
  for (const MulDivCase& c : cases)
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
        << c.number << " * " << c.numerator << " / " << c.denominator;
}

}  // namespace
