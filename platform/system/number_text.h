#pragma once
// Numbers as text the way the framework writes them: decimal rounding of the exact value, halves
// away from zero, and the locale's decimal separator (DecimalSeparator, locale_info.h).
#include <cstdint>
#include <string>

// The framework's float formats. ffGeneral: the shorter of fixed and scientific form, Precision
// significant digits, no trailing zeros; ffExponent: "-d.ddddE+dddd" with Precision significant
// digits and at least Digits exponent digits (0..4); ffFixed: "-ddd.ddd" with Digits decimals;
// ffNumber: the same with the thousand separator between groups of three integer digits.
// ffCurrency is written as ffNumber (the system keeps no currency settings).
enum TFloatFormat : uint8_t { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Value as text in Format. Precision is the number of significant digits (1..18, clamped), Digits
// the decimals of ffFixed and ffNumber (0..18, clamped). A value rounded to Precision digits that
// has more integer digits than Precision is written in scientific form ("1.23E12"). NaN and the
// infinities give "NAN", "INF" and "-INF"; a value that rounds to zero has no minus sign.
std::string FloatToStrF(long double Value, TFloatFormat Format, int32_t Precision, int32_t Digits);
