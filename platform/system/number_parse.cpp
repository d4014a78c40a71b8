// The framework's text-to-number conversions (declared in number_text.h).
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "platform/system/locale_info.h"
#include "platform/system/number_text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The "C" locale for strtold_l: the texts given to it always have '.' as their point, whatever
// locale the toolkit set for the process.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// Powers of ten that a long double holds exactly (5^27 < 2^64).
constexpr int kExactPowers = 27;
long double ExactPower10(int n) {
  static const auto table = [] {
    struct T {
      long double p[kExactPowers + 1];
    } t{};
    t.p[0] = 1;
    for (int i = 1; i <= kExactPowers; ++i) t.p[i] = t.p[i - 1] * 10;
    return t;
  }();
  return table.p[n];
}

// An unsigned integer of decimal or hexadecimal digits; false when there are none, when something
// else follows or when it does not fit in bits.
bool ReadUnsigned(const std::string& s, size_t i, bool hex, int bits, uint64_t& value) {
  if (i >= s.size()) return false;
  uint64_t v = 0;
  const uint64_t limit = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  for (; i < s.size(); ++i) {
    const int d = hex ? HexValue(s[i]) : (IsDigit(s[i]) ? s[i] - '0' : -1);
    if (d < 0) return false;
    const uint64_t base = hex ? 16 : 10;
    if (v > (limit - static_cast<uint64_t>(d)) / base) return false;
    v = v * base + static_cast<uint64_t>(d);
  }
  value = v;
  return true;
}

bool TryStrToSigned(const std::string& text, int bits, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  uint64_t magnitude = 0;
  if (hex) {
    // Every bit may be used: the top one is the sign of the two's complement.
    if (!ReadUnsigned(text, i, true, bits, magnitude)) return false;
    int64_t v = bits == 64 ? static_cast<int64_t>(magnitude) : static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(magnitude)));
    value = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : v;
    if (bits == 32) value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
    return true;
  }
  if (!ReadUnsigned(text, i, false, 64, magnitude)) return false;
  const uint64_t top = uint64_t{1} << (bits - 1);  // the magnitude of the most negative value
  if (magnitude > (negative ? top : top - 1)) return false;
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

}  // namespace

bool TryStrToFloat(const std::string& Text, long double& Value) { return TryStrToFloat(Text, Value, DecimalSeparator()); }

bool TryStrToFloat(const std::string& Text, long double& Value, char Separator) {
  size_t i = 0, end = Text.size();
  while (i < end && IsBlank(Text[i])) ++i;
  while (end > i && IsBlank(Text[end - 1])) --end;
  // The text again in the C library's form, and its digits as an integer while they fit.
  char buf[64];
  size_t n = 0;
  std::string big;  // used only for texts longer than the buffer
  auto put = [&](char c) {
    if (n < sizeof buf - 1) buf[n++] = c;
    else {
      if (big.empty()) big.assign(buf, n);
      big += c;
      ++n;
    }
  };
  bool negative = false;
  if (i < end && (Text[i] == '+' || Text[i] == '-')) {
    negative = Text[i] == '-';
    put(Text[i++]);
  }
  uint64_t mantissa = 0;
  int digits = 0, significant = 0, scale = 0;  // value = mantissa * 10^(-scale) while exact
  bool point = false, exact = true;
  for (; i < end; ++i) {
    const char c = Text[i];
    if (IsDigit(c)) {
      ++digits;
      put(c);
      if (significant > 0 || c != '0') ++significant;
      if (significant > 19) exact = false;
      else mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      if (point) ++scale;
    } else if (c == Separator && !point) {
      point = true;
      put('.');
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  int exponent = 0;
  if (i < end && (Text[i] == 'E' || Text[i] == 'e')) {
    put('e');
    ++i;
    bool expNegative = false;
    if (i < end && (Text[i] == '+' || Text[i] == '-')) {
      expNegative = Text[i] == '-';
      put(Text[i++]);
    }
    int expDigits = 0;
    for (; i < end && IsDigit(Text[i]); ++i, ++expDigits) {
      put(Text[i]);
      if (exponent < 100000) exponent = exponent * 10 + (Text[i] - '0');
    }
    if (expDigits == 0) return false;
    if (expNegative) exponent = -exponent;
  }
  if (i != end) return false;
  long double v;
  const int power = exponent - scale;
  if (exact && power >= -kExactPowers && power <= kExactPowers) {
    // Both operands exact: one correctly rounded operation.
    const long double m = static_cast<long double>(mantissa);
    v = power < 0 ? m / ExactPower10(-power) : m * ExactPower10(power);
    if (negative) v = -v;
  } else {
    buf[std::min(n, sizeof buf - 1)] = '\0';
    const char* s = big.empty() ? buf : big.c_str();
    v = strtold_l(s, nullptr, CLocale());
  }
  if (!std::isfinite(v)) return false;
  Value = v;
  return true;
}

long double StrToFloat(const std::string& Text) {
  long double v;
  if (!TryStrToFloat(Text, v)) throw EConvertError(Format("'%s' is not a valid floating point value", Text.c_str()));
  return v;
}

bool TryStrToInt(const std::string& Text, int32_t& Value) {
  int64_t v;
  if (!TryStrToSigned(Text, 32, v)) return false;
  Value = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(const std::string& Text, int64_t& Value) { return TryStrToSigned(Text, 64, Value); }

int32_t StrToInt(const std::string& Text) {
  int32_t v;
  if (!TryStrToInt(Text, v)) throw EConvertError(Format("'%s' is not a valid integer value", Text.c_str()));
  return v;
}

int64_t StrToInt64(const std::string& Text) {
  int64_t v;
  if (!TryStrToInt64(Text, v)) throw EConvertError(Format("'%s' is not a valid integer value", Text.c_str()));
  return v;
}

std::string IntToHex(int64_t Value, int32_t Digits) {
  uint64_t v = static_cast<uint64_t>(Value);
  char buf[16];
  int n = 0;
  do {
    buf[n++] = "0123456789ABCDEF"[v & 15];
    v >>= 4;
  } while (v);
  std::string out;
  if (Digits > n) out.assign(static_cast<size_t>(std::min(Digits, 32) - n), '0');
  for (int i = n - 1; i >= 0; --i) out += buf[i];
  return out;
}
