#pragma once
// Numbers as text the way the framework writes and reads them: decimal rounding of the exact value,
// halves away from zero, and the locale's separators (DecimalSeparator, ThousandSeparator,
// locale_info.h).
#include <cstdint>
#include <string>

#include "platform/system/exception.h"

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

// Value as text through a picture (the framework's FormatFloat), rounded to at most 18 significant
// digits:
//   0      a digit, or 0 where the value has none;
//   #      a digit, or nothing;
//   .      the first one is the place of the decimal separator (the others are ignored);
//   ,      anywhere: the integer digits are grouped by three with the thousand separator;
//   E+ E- e+ e-  scientific form, the exponent in as many digits as 0s follow (at least one; "+"
//          always writes its sign, "-" only a minus);
//   'xx' "xx"  text as it stands; any other character stands for itself.
// Up to three sections separated by ';' serve positive values, negative values (written without a
// minus sign of their own) and values that round to zero; an empty or missing section falls back to
// the first. A value of more than 18 integer digits, and an empty picture, give the general format
// with 15 digits (18 for the large value). NaN and the infinities as in FloatToStrF.
std::string FormatFloat(const std::string& Format, long double Value);

// The framework's text-to-float: blanks at both ends are skipped, then an optional sign, digits
// with at most one decimal separator (at least one digit in all), and an optional exponent (E or
// e, an optional sign and at least one digit). No thousand separators. False, and Value untouched,
// for anything else and for a result that is not finite ("1E99999"). The locale's decimal
// separator, or the given one.
bool TryStrToFloat(const std::string& Text, long double& Value);
bool TryStrToFloat(const std::string& Text, long double& Value, char DecimalSeparator);
// Raises EConvertError "'%s' is not a valid floating point value".
long double StrToFloat(const std::string& Text);

// The framework's text-to-integer: leading blanks, an optional sign, then decimal digits, or "$"
// (or "0x", "0X") and hexadecimal digits. Decimal values must fit the type; hexadecimal ones may
// use every bit (up to 8 or 16 significant digits), the top one being the sign: "$FFFFFFFF" is -1
// as a 32-bit integer. False, and Value untouched, for anything else.
bool TryStrToInt(const std::string& Text, int32_t& Value);
bool TryStrToInt64(const std::string& Text, int64_t& Value);
// Raise EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& Text);
int64_t StrToInt64(const std::string& Text);

// Value in decimal digits, grouped by three with the thousand separator when asked.
std::string IntToStr(int64_t Value, bool Grouped = false);

// Value in upper-case hexadecimal, at least Digits digits (the framework's IntToHex); a negative
// value is written as its two's complement in 16 digits.
std::string IntToHex(int64_t Value, int32_t Digits);

// A value outside its allowed range.
class ERangeError : public Exception { using Exception::Exception; };
