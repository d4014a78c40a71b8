#include "platform/system/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/system/locale_info.h"

namespace {

// A finite non-negative value as decimal digits without leading zeros and the position of the
// decimal point: Value = 0.Digits * 10^Exponent. Zero gives no digits.
struct TDecimal {
  std::string Digits;
  int32_t Exponent = 0;
};

// The exact decimal expansion of a long double reaches far beyond what is ever kept; 40
// significant digits decide every rounding at 18 digits or fewer.
TDecimal ToDecimal(long double Value) {
  TDecimal d;
  if (Value == 0) return d;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.39Le", Value);  // "d.ddd...e+XX", exact to 40 digits
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') d.Digits += *p;
  d.Exponent = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
  return d;
}

// Keeps at most Count significant digits, rounding half away from zero on the decimal digits;
// trailing zeros are dropped. Count <= 0 keeps nothing but may round up to one digit.
void RoundDecimal(TDecimal& D, int32_t Count) {
  if (static_cast<int32_t>(D.Digits.size()) <= Count) {
    while (!D.Digits.empty() && D.Digits.back() == '0') D.Digits.pop_back();
    return;
  }
  if (Count < 0) {
    D.Digits.clear();
    return;
  }
  const bool up = D.Digits[static_cast<size_t>(Count)] >= '5';
  D.Digits.resize(static_cast<size_t>(Count));
  if (up) {
    int32_t i = Count - 1;
    for (; i >= 0; --i) {
      if (D.Digits[static_cast<size_t>(i)] == '9') {
        D.Digits[static_cast<size_t>(i)] = '0';
      } else {
        ++D.Digits[static_cast<size_t>(i)];
        break;
      }
    }
    if (i < 0) {
      D.Digits.insert(D.Digits.begin(), '1');
      ++D.Exponent;
    }
  }
  while (!D.Digits.empty() && D.Digits.back() == '0') D.Digits.pop_back();
  if (D.Digits.empty()) D.Exponent = 0;
}

char DigitAt(const TDecimal& D, int32_t Index) {
  return Index >= 0 && Index < static_cast<int32_t>(D.Digits.size()) ? D.Digits[static_cast<size_t>(Index)] : '0';
}

// Scientific form: the digits kept, one before the separator, then E, a minus for negative
// exponents (a plus when Plus), and at least MinExpDigits exponent digits.
std::string ExponentText(const TDecimal& D, int32_t MantissaDigits, bool Plus, int32_t MinExpDigits) {
  std::string s(1, DigitAt(D, 0));
  if (MantissaDigits > 1) {
    s += DecimalSeparator();
    for (int32_t i = 1; i < MantissaDigits; ++i) s += DigitAt(D, i);
  }
  const int32_t e = D.Digits.empty() ? 0 : D.Exponent - 1;
  s += 'E';
  if (e < 0)
    s += '-';
  else if (Plus)
    s += '+';
  std::string digits = std::to_string(e < 0 ? -e : e);
  if (static_cast<int32_t>(digits.size()) < MinExpDigits)
    digits.insert(0, static_cast<size_t>(MinExpDigits) - digits.size(), '0');
  return s + digits;
}

}  // namespace

std::string FloatToStrF(long double Value, TFloatFormat Format, int32_t Precision, int32_t Digits) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  Precision = std::clamp(Precision, 1, 18);
  const bool negative = std::signbit(Value);
  TDecimal d = ToDecimal(std::fabs(Value));

  std::string text;
  if (Format == ffExponent) {
    RoundDecimal(d, Precision);
    text = ExponentText(d, Precision, true, std::clamp(Digits, 0, 4));
  } else if (Format == ffGeneral) {
    RoundDecimal(d, Precision);
    const int32_t kept = static_cast<int32_t>(d.Digits.size());
    if (kept == 0) {
      text.push_back('0');
    } else if (d.Exponent > Precision || d.Exponent < -4) {
      text = ExponentText(d, kept, false, std::clamp(Digits, 0, 4));
    } else {
      for (int32_t i = 0; i < std::max(d.Exponent, 1); ++i) text += d.Exponent > 0 ? DigitAt(d, i) : '0';
      const int32_t fraction = kept - d.Exponent;
      if (fraction > 0) {
        text += DecimalSeparator();
        for (int32_t i = 0; i < fraction; ++i) text += DigitAt(d, d.Exponent + i);
      }
    }
  } else {
    Digits = std::clamp(Digits, 0, 18);
    // Rounded to Precision significant digits and to Digits decimals, whichever keeps fewer.
    RoundDecimal(d, std::min(Precision, d.Exponent + Digits));
    if (!d.Digits.empty() && d.Exponent > Precision) {
      text = ExponentText(d, std::max<int32_t>(1, static_cast<int32_t>(d.Digits.size())), false, 0);
    } else {
      const int32_t intDigits = std::max(d.Exponent, 1);
      for (int32_t i = 0; i < intDigits; ++i) {
        if ((Format == ffNumber || Format == ffCurrency) && i > 0 && (intDigits - i) % 3 == 0) text += ThousandSeparator();
        text += d.Exponent > 0 ? DigitAt(d, i) : '0';
      }
      if (Digits > 0) {
        text += DecimalSeparator();
        for (int32_t i = 0; i < Digits; ++i) text += DigitAt(d, d.Exponent + i);
      }
    }
  }
  if (negative && !d.Digits.empty()) text.insert(text.begin(), '-');
  return text;
}
