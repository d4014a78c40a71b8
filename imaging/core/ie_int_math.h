#pragma once
// Integer rounding, minima, maxima, clamps, swaps and corner ordering: a few instructions each,
// called per pixel by the views, the codecs and the processing operations.
#include <cmath>
#include <cstdint>

// X rounded to an integer by the caller's rule, saturated to the int32 range (NaN gives 0) so that
// an absurd coordinate never becomes undefined behaviour.
inline int32_t SaturateToInt(long double X) {
  if (!(X == X)) return 0;
  if (X >= 2147483647.0L) return 2147483647;
  if (X <= -2147483648.0L) return -2147483647 - 1;
  return static_cast<int32_t>(X);
}
// Trunc(X), plus 1 when the fraction of X is positive.
inline int32_t CeilInt(long double X) { return SaturateToInt(std::ceil(X)); }
// Trunc(X), minus 1 when the fraction of X is negative.
inline int32_t FloorInt(long double X) { return SaturateToInt(std::floor(X)); }

// The smaller and the larger of two doubles; B on equality.
constexpr double MinDouble(double A, double B) { return A < B ? A : B; }
constexpr double MaxDouble(double A, double B) { return A > B ? A : B; }
constexpr int32_t IMax(int32_t A, int32_t B) { return A > B ? A : B; }
constexpr int32_t IMin(int32_t A, int32_t B) { return A < B ? A : B; }

// Min when Value <= Min, Max when Value >= Max, else Value (Min wins when Min > Max and Value <= Min).
constexpr int32_t ClampInt(int32_t Value, int32_t Min, int32_t Max) {
  return Value <= Min ? Min : (Value >= Max ? Max : Value);
}
constexpr int32_t ClampByte(int32_t Value) { return Value < 0 ? 0 : (Value > 255 ? 255 : Value); }

inline void SwapInt(int32_t& A, int32_t& B) {
  const int32_t t = A;
  A = B;
  B = t;
}
inline void SwapBytes(uint8_t& A, uint8_t& B) {
  const uint8_t t = A;
  A = B;
  B = t;
}

// Exchanges X1 and X2 when X2 < X1, Y1 and Y2 when Y2 < Y1.
inline void OrderCorners(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  if (X2 < X1) SwapInt(X1, X2);
  if (Y2 < Y1) SwapInt(Y1, Y2);
}
