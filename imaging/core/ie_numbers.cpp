#include "imaging/core/ie_numbers.h"

#include <cmath>
#include <limits>

void FloatToRational(double Value, double Precision, int32_t& Numerator, int32_t& Denominator) {
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  Denominator = 1;
  if (std::isnan(Value)) {
    Numerator = 0;
    return;
  }
  const int32_t s = Value < 0 ? -1 : 1;
  const double V = std::fabs(Value);
  if (V > 1e19) {
    Numerator = s * 999999999;
    return;
  }
  if (V == std::trunc(V) || V >= kMax) {
    Numerator = s * static_cast<int32_t>(std::fmin(V, kMax));
    return;
  }
  if (V < 1e-19) {
    Numerator = s;
    Denominator = 999999999;
    return;
  }
  // Continued fractions: the convergents' denominators follow d(k) = a(k) d(k - 1) + d(k - 2).
  // Before a term would leave the int32 range the last convergent that fits is kept.
  int64_t numerator = static_cast<int64_t>(V + 0.5);
  int64_t denominator = 1;
  int64_t previous = 0;
  double z = V;
  for (int step = 0; step < 64; ++step) {
    z = 1 / (z - std::trunc(z));
    if (!std::isfinite(z) || z > kMax) break;
    const double d = std::trunc(z) * static_cast<double>(denominator) + static_cast<double>(previous);
    if (d > kMax || d * V + 0.5 > kMax) break;
    previous = denominator;
    denominator = static_cast<int64_t>(d);
    numerator = static_cast<int64_t>(static_cast<double>(denominator) * V + 0.5);
    if (std::fabs(V - static_cast<double>(numerator) / static_cast<double>(denominator)) < Precision ||
        z == std::trunc(z))
      break;
  }
  Numerator = s * static_cast<int32_t>(numerator);
  Denominator = static_cast<int32_t>(denominator);
}

void FillGaussianCurve(int32_t Count, int32_t Low, int32_t High, double Sigma, std::vector<double>& Values) {
  Values.assign(Count > 0 ? static_cast<size_t>(Count) : 0, 0.0);
  double max = -100000;
  for (int32_t k = 0; k < Count; ++k) {
    const double x = 2.0 * k / Count - 1;
    Values[k] = std::exp(-0.5 * Sigma * Sigma * x * x) / (Sigma * std::sqrt(2 * M_PI));
    if (Values[k] > max) max = Values[k];
  }
  for (double& v : Values) v = v / max * (static_cast<double>(High) - Low) + Low;
}

int32_t ColorCountFromBits(int32_t BitsPerSample, int32_t SamplesPerPixel) {
  if (SamplesPerPixel <= 0) return 1;
  const int64_t bits = static_cast<int64_t>(BitsPerSample < 0 ? 0 : BitsPerSample) * SamplesPerPixel;
  return bits >= 31 ? 2147483647 : static_cast<int32_t>(int64_t{1} << bits);
}
