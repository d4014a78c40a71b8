#pragma once
// Small numeric helpers of the codecs and dialogs: rational approximations (TIFF resolutions and
// EXIF values), a Gaussian curve, colour counts and choosing between two values.
#include <cstdint>
#include <vector>

// Numerator / Denominator close to Value (within Precision where 32-bit terms allow; the TIFF
// writer passes 5e-9) by continued fractions: an integral value gives Value / 1, one below 1e-19
// gives +-1 / 999999999, one above 1e19 +-999999999 / 1; NaN gives 0 / 1. The terms never leave
// the int32 range: a value beyond it saturates, and the expansion stops before a term would.
void FloatToRational(double Value, double Precision, int32_t& Numerator, int32_t& Denominator);

// Count values of a bell curve between Low and High: for k = 0..Count - 1 with x = 2k / Count - 1,
// v = exp(-0.5 Sigma^2 x^2) / (Sigma sqrt(2 pi)), then every v becomes v / max * (High - Low) + Low.
void FillGaussianCurve(int32_t Count, int32_t Low, int32_t High, double Sigma, std::vector<double>& Values);

// (2^BitsPerSample)^SamplesPerPixel, saturated at 2,147,483,647 (8 bits by 4 samples is 2^32);
// 1 when SamplesPerPixel <= 0; a negative bit count counts as 0.
int32_t ColorCountFromBits(int32_t BitsPerSample, int32_t SamplesPerPixel);

constexpr int32_t IfThenInt(bool Condition, int32_t A, int32_t B) { return Condition ? A : B; }
constexpr char IfThenChar(bool Condition, char A, char B) { return Condition ? A : B; }
constexpr double IfThenFloat(bool Condition, double A, double B) { return Condition ? A : B; }
