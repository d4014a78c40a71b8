#include "imaging/core/ie_power.h"

#include <cmath>

long double RaiseToIntPower(int32_t Exponent, long double Base) {
  // The magnitude in 64 bits, so -2^31 has an absolute value.
  uint64_t n = Exponent < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(Exponent)) : static_cast<uint64_t>(Exponent);
  long double result = 1.0L;
  long double square = Base;
  while (n != 0) {
    if (n & 1) result *= square;
    square *= square;
    n >>= 1;
  }
  return Exponent < 0 ? 1.0L / result : result;
}

long double RaiseToPower(long double Base, long double Exponent) {
  if (Exponent == 0.0L) return 1.0L;
  if (Base == 0.0L && Exponent > 0.0L) return 0.0L;
  if (std::fabs(Exponent) <= 2147483647.0L && std::trunc(Exponent) == Exponent)
    return RaiseToIntPower(static_cast<int32_t>(Exponent), Base);
  return std::exp(Exponent * std::log(Base));
}

long double RaiseToPowerDouble(double Base, double Exponent) {
  if (std::fabs(Exponent) < 2147483647.0) {
    if (std::trunc(Exponent) == Exponent) {
      const int32_t n = static_cast<int32_t>(Exponent);
      if (n == 0) return 1.0L;
      if (Base == 0.0) return 0.0L;
      switch (n) {
        case 1: return Base;
        case 2: return static_cast<long double>(Base) * Base;
        case -1: return 1.0L / Base;
        case -2: return 1.0L / (static_cast<long double>(Base) * Base);
        default: return RaiseToIntPower(n, Base);
      }
    }
    return std::exp2(static_cast<long double>(Exponent) * std::log2(static_cast<long double>(Base)));
  }
  if (Base == 0.0) return 0.0L;
  return std::exp2(static_cast<long double>(Exponent) * std::log2(static_cast<long double>(Base)));
}
