#include "platform/system/mul_div.h"

#include <limits>

int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator) {
  if (Denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(Number) * Numerator;
  const int64_t d = Denominator;
  int64_t q = product / d;
  const int64_t r = product % d;
  // |r| < |d| <= 2^31, so twice it fits; a remainder of half the divisor or more rounds away.
  const int64_t absR = r < 0 ? -r : r;
  const int64_t absD = d < 0 ? -d : d;
  if (2 * absR >= absD) q += ((product < 0) != (d < 0)) ? -1 : 1;
  if (q > std::numeric_limits<int32_t>::max() || q < std::numeric_limits<int32_t>::min()) return -1;
  return static_cast<int32_t>(q);
}
