#include "platform/system/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

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

// Appends the decimal digits of v, with the thousand separator between groups of three when
// grouped.
void AppendInteger(std::string& out, uint64_t v, bool grouped) {
  char buf[20];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  for (int i = n - 1; i >= 0; --i) {
    out += buf[i];
    if (grouped && i > 0 && i % 3 == 0) out += ThousandSeparator();
  }
}

int32_t DecimalLength(uint64_t v) {
  int32_t n = 1;
  while (v >= 10) v /= 10, ++n;
  return n;
}

constexpr uint64_t kPow10[20] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
                                 100000000ull, 1000000000ull, 10000000000ull, 100000000000ull,
                                 1000000000000ull, 10000000000000ull, 100000000000000ull,
                                 1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
                                 1000000000000000000ull, 10000000000000000000ull};

// The fixed and grouped formats by integer arithmetic on the value's 64-bit mantissa, for the
// values that number boxes hold: at least 2^-63, below 2^64, and written without scientific form.
// The value is m / 2^k exactly, so its fraction times 10^d is an exact 128-bit product and the
// rounding at d decimals sees the exact remainder, as the decimal expansion would. False where
// the general path must decide (the text is then left as it was).
bool FixedText(long double value, bool grouped, int32_t precision, int32_t digits, std::string& text) {
  if (digits > precision) return false;
  const bool negative = std::signbit(value);
  const long double v = std::fabs(value);
  if (v == 0) {
    text = "0";
    if (digits > 0) text.append(1, DecimalSeparator()).append(static_cast<size_t>(digits), '0');
    return true;
  }
  int exp = 0;
  const long double mantissa = std::frexp(v, &exp);  // v = mantissa * 2^exp, mantissa in [0.5, 1)
  if (exp > 64 || exp < -63) return false;
  const uint64_t m = static_cast<uint64_t>(std::ldexp(mantissa, 64));
  const int k = 64 - exp;  // v = m / 2^k, 0 <= k <= 127
  uint64_t whole = k >= 64 ? 0 : m >> k;
  const unsigned __int128 fraction = k == 0 ? 0 : k >= 64 ? m : m & ((uint64_t{1} << k) - 1);
  // Decimals kept: all asked for, unless the significant digits run out first.
  const int32_t intDigits = whole ? DecimalLength(whole) : 0;
  const int32_t kept = intDigits + digits <= precision ? digits : precision - intDigits;
  if (kept < 0) return false;
  uint64_t decimals = 0;
  if (k > 0) {
    const unsigned __int128 scaled = fraction * kPow10[kept];
    decimals = static_cast<uint64_t>(scaled >> k);
    const unsigned __int128 rest = scaled & ((static_cast<unsigned __int128>(1) << k) - 1);
    if (rest >= (static_cast<unsigned __int128>(1) << (k - 1))) ++decimals;  // halves away from zero
    if (decimals == kPow10[kept]) {
      decimals = 0;
      ++whole;
    }
  }
  if (whole && DecimalLength(whole) > precision) return false;  // a carry that needs scientific form
  text.clear();
  if (negative && (whole || decimals)) text += '-';
  AppendInteger(text, whole, grouped);
  if (digits > 0) {
    text += DecimalSeparator();
    char buf[20];
    for (int32_t i = kept - 1; i >= 0; --i, decimals /= 10) buf[i] = static_cast<char>('0' + decimals % 10);
    text.append(buf, static_cast<size_t>(kept));
    text.append(static_cast<size_t>(digits - kept), '0');
  }
  return true;
}

}  // namespace

std::string FloatToStrF(long double Value, TFloatFormat Format, int32_t Precision, int32_t Digits) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  Precision = std::clamp(Precision, 1, 18);
  if (Format == ffFixed || Format == ffNumber || Format == ffCurrency) {
    std::string text;
    if (FixedText(Value, Format != ffFixed, Precision, std::clamp(Digits, 0, 18), text)) return text;
  }
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

std::string IntToStr(int64_t Value, bool Grouped) {
  std::string text;
  if (Value < 0) text += '-';
  AppendInteger(text, Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value), Grouped);
  return text;
}

// ---------------------------------------------------------------------------------------- FormatFloat

namespace {

// One section of a picture, read once: its characters with the quotes resolved into literal runs,
// and the facts the digits need.
struct TPicture {
  struct Item {
    enum Kind : uint8_t { kLiteral, kDigit, kPoint, kExponent } kind;
    char c = 0;              // the digit placeholder ('0' or '#'), or the exponent's sign rule
    std::string text;        // a literal's text
    int32_t expDigits = 0;   // the exponent's least number of digits
  };
  std::vector<Item> items;
  int32_t intPlaces = 0;     // placeholders before the decimal point
  int32_t intZeros = 0;      // the least number of integer digits: placeholders from the first '0'
  int32_t decPlaces = 0;     // placeholders after the decimal point
  int32_t decZeros = 0;      // decimals always written: up to the last '0'
  bool grouped = false;
  bool scientific = false;
};

TPicture ReadPicture(const std::string& s) {
  TPicture p;
  bool afterPoint = false, firstZeroSeen = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"' || c == '\'') {
      const size_t end = s.find(c, i + 1);
      const size_t stop = end == std::string::npos ? s.size() : end;
      p.items.push_back({TPicture::Item::kLiteral, 0, s.substr(i + 1, stop - i - 1), 0});
      i = stop;
    } else if (c == '0' || c == '#') {
      if (p.scientific) {
        p.items.push_back({TPicture::Item::kLiteral, 0, std::string(1, c), 0});
        continue;
      }
      p.items.push_back({TPicture::Item::kDigit, c, {}, 0});
      if (afterPoint) {
        ++p.decPlaces;
        if (c == '0') p.decZeros = p.decPlaces;
      } else {
        ++p.intPlaces;
        if (c == '0') firstZeroSeen = true;
        if (firstZeroSeen) ++p.intZeros;
      }
    } else if (c == '.' && !afterPoint && !p.scientific) {
      afterPoint = true;
      p.items.push_back({TPicture::Item::kPoint, 0, {}, 0});
    } else if (c == '.') {
      // Later points are ignored.
    } else if (c == ',') {
      p.grouped = true;
    } else if ((c == 'E' || c == 'e') && !p.scientific && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
      p.scientific = true;
      TPicture::Item e{TPicture::Item::kExponent, s[i + 1], std::string(1, c), 0};
      i += 2;
      while (i < s.size() && s[i] == '0') ++e.expDigits, ++i;
      --i;
      e.expDigits = std::clamp(e.expDigits, 1, 4);
      p.items.push_back(std::move(e));
    } else {
      p.items.push_back({TPicture::Item::kLiteral, 0, std::string(1, c), 0});
    }
  }
  return p;
}

// The sections of a picture: split at the semicolons outside quotes, at most three.
std::vector<std::string> PictureSections(const std::string& format) {
  std::vector<std::string> sections(1);
  char quote = 0;
  for (char c : format) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      if (sections.size() == 3) break;
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

// The digits of |value| in the picture: integer digits (no leading zeros), decimals (decPlaces of
// them) and, in scientific form, the exponent. False when the value has more than 18 integer digits.
struct TPictureDigits {
  std::string integer, decimals;
  int32_t exponent = 0;
  bool zero = true;
};

bool PictureDigits(long double value, const TPicture& p, TPictureDigits& out) {
  TDecimal d = ToDecimal(std::fabs(value));
  if (p.scientific) {
    const int32_t places = std::max(p.intPlaces + p.decPlaces, 1);
    RoundDecimal(d, std::min(places, 18));
    out.zero = d.Digits.empty();
    const int32_t intPlaces = p.intPlaces;
    out.exponent = out.zero ? 0 : d.Exponent - intPlaces;
    for (int32_t i = 0; i < intPlaces; ++i) out.integer += DigitAt(d, i);
    while (out.integer.size() > 1 && out.integer[0] == '0') out.integer.erase(0, 1);
    if (out.integer == "0") out.integer.clear();
    for (int32_t i = 0; i < p.decPlaces; ++i) out.decimals += DigitAt(d, intPlaces + i);
    return true;
  }
  if (!d.Digits.empty() && d.Exponent > 18) return false;
  RoundDecimal(d, std::min(18, d.Exponent + p.decPlaces));
  out.zero = d.Digits.empty();
  for (int32_t i = 0; i < d.Exponent; ++i) out.integer += DigitAt(d, i);
  for (int32_t i = 0; i < p.decPlaces; ++i) out.decimals += DigitAt(d, d.Exponent + i);
  return true;
}

std::string WritePicture(const TPicture& p, const TPictureDigits& digits, bool minus) {
  std::string out;
  if (minus) out += '-';
  // The integer digits the placeholders show: at least intZeros of them; those beyond the
  // placeholders go before the first one.
  std::string integer = digits.integer;
  if (static_cast<int32_t>(integer.size()) < p.intZeros)
    integer.insert(0, static_cast<size_t>(p.intZeros) - integer.size(), '0');
  const int32_t total = static_cast<int32_t>(integer.size());
  // Decimals written: up to the last '0' placeholder, or the last non-zero digit.
  int32_t decimals = p.decZeros;
  for (int32_t i = p.decPlaces - 1; i >= decimals; --i)
    if (digits.decimals[static_cast<size_t>(i)] != '0') {
      decimals = i + 1;
      break;
    }
  int32_t intPlace = 0, decPlace = 0;
  auto emitInteger = [&](int32_t index) {
    out += integer[static_cast<size_t>(index)];
    if (p.grouped && index < total - 1 && (total - 1 - index) % 3 == 0) out += ThousandSeparator();
  };
  for (const TPicture::Item& item : p.items) {
    switch (item.kind) {
      case TPicture::Item::kLiteral: out += item.text; break;
      case TPicture::Item::kPoint:
        if (decimals > 0) out += DecimalSeparator();
        break;
      case TPicture::Item::kDigit:
        if (intPlace < p.intPlaces) {
          // Placeholder j stands for digit total - intPlaces + j; the first also takes the surplus.
          const int32_t index = total - p.intPlaces + intPlace;
          if (intPlace == 0)
            for (int32_t i = 0; i < index; ++i) emitInteger(i);
          if (index >= 0) emitInteger(index);
          ++intPlace;
        } else {
          if (decPlace < decimals) out += digits.decimals[static_cast<size_t>(decPlace)];
          ++decPlace;
        }
        break;
      case TPicture::Item::kExponent: {
        out += item.text;
        const int32_t e = digits.exponent;
        if (e < 0) out += '-';
        else if (item.c == '+') out += '+';
        std::string n = std::to_string(e < 0 ? -static_cast<int64_t>(e) : e);
        if (static_cast<int32_t>(n.size()) < item.expDigits) n.insert(0, static_cast<size_t>(item.expDigits) - n.size(), '0');
        out += n;
        break;
      }
    }
  }
  // A picture without integer placeholders still shows the integer digits (before the point).
  if (p.intPlaces == 0 && !integer.empty()) {
    std::string lead;
    for (int32_t i = 0; i < total; ++i) {
      lead += integer[static_cast<size_t>(i)];
      if (p.grouped && i < total - 1 && (total - 1 - i) % 3 == 0) lead += ThousandSeparator();
    }
    out.insert(minus ? 1 : 0, lead);
  }
  return out;
}

}  // namespace

std::string FormatFloat(const std::string& Format, long double Value) {
  if (std::isnan(Value) || std::isinf(Value) || Format.empty()) return FloatToStrF(Value, ffGeneral, 15, 0);
  const std::vector<std::string> sections = PictureSections(Format);
  const bool negative = std::signbit(Value) && Value != 0;
  const bool ownNegative = negative && sections.size() > 1 && !sections[1].empty();
  const TPicture picture = ReadPicture(sections[ownNegative ? 1 : 0]);
  TPictureDigits digits;
  if (!PictureDigits(Value, picture, digits)) return FloatToStrF(Value, ffGeneral, 18, 0);
  if (digits.zero && sections.size() > 2 && !sections[2].empty()) {
    const TPicture zero = ReadPicture(sections[2]);
    TPictureDigits zeroDigits;
    PictureDigits(0, zero, zeroDigits);
    return WritePicture(zero, zeroDigits, false);
  }
  return WritePicture(picture, digits, negative && !ownNegative && !digits.zero);
}
