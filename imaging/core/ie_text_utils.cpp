#include "imaging/core/ie_text_utils.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/system/locale_info.h"

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the whole of Text as a number whose decimal separator is Separator: blanks around it, a
// sign, digits with at most one separator (at least one digit), an optional exponent.
bool ParseFloat(const std::string& Text, char Separator, long double& Value) {
  size_t b = 0, e = Text.size();
  while (b < e && IsBlank(Text[b])) ++b;
  while (e > b && IsBlank(Text[e - 1])) --e;
  std::string s;
  size_t i = b;
  if (i < e && (Text[i] == '+' || Text[i] == '-')) {
    if (Text[i] == '-') s += '-';
    ++i;
  }
  int digits = 0;
  bool separator = false;
  for (; i < e; ++i) {
    const char c = Text[i];
    if (IsDigit(c)) {
      s += c;
      ++digits;
    } else if (c == Separator && !separator) {
      s += '.';
      separator = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < e && (Text[i] == 'e' || Text[i] == 'E')) {
    s += 'e';
    ++i;
    if (i < e && (Text[i] == '+' || Text[i] == '-')) s += Text[i++];
    int expDigits = 0;
    for (; i < e && IsDigit(Text[i]); ++i, ++expDigits) s += Text[i];
    if (expDigits == 0) return false;
  }
  if (i != e) return false;
  long double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) return false;
  Value = v;
  return true;
}

}  // namespace

std::string FloatToDotStr(double Value) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  // Rounded to 15 significant digits first, then written in the shortest plain form that reads back
  // as that value: to_chars never consults the locale.
  char digits[64];
  const auto g = std::to_chars(digits, digits + sizeof digits, Value, std::chars_format::general, 15);
  double rounded = 0;
  std::from_chars(digits, g.ptr, rounded);
  if (rounded == 0) return "0";
  char text[400];  // the widest double in plain digits has 309 before or 340 after the point
  const auto f = std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed);
  return std::string(text, f.ptr);
}

long double StrToFloatDefLenient(const std::string& Text, long double Default) {
  const char separator = DecimalSeparator();
  long double v = 0;
  if (ParseFloat(Text, separator, v)) return v;
  std::string other = Text;
  if (const size_t comma = other.find(','); comma != std::string::npos)
    other[comma] = '.';
  else if (const size_t point = other.find('.'); point != std::string::npos)
    other[point] = ',';
  else
    return Default;
  return ParseFloat(other, separator, v) ? v : Default;
}

int32_t URLKind(const std::string& Name) {
  const std::string lower = IELowerCase(Name.substr(0, 8));
  if (lower.compare(0, 7, "http://") == 0) return 1;
  if (lower.compare(0, 8, "https://") == 0) return 2;
  if (lower.compare(0, 6, "ftp://") == 0) return 3;
  return 0;
}

std::string GetFileExtLower(const std::string& FileName, bool IncludeDot) {
  const size_t dot = FileName.rfind('.');
  const size_t slash = FileName.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return IELowerCase(FileName.substr(IncludeDot ? dot : dot + 1));
}

std::string ExtractFilePathW(const std::string& Name) {
  const size_t slash = Name.rfind('/');
  return slash == std::string::npos ? std::string() : Name.substr(0, slash + 1);
}

std::string ExtractFileNameW(const std::string& Name) {
  const size_t slash = Name.rfind('/');
  return slash == std::string::npos ? Name : Name.substr(slash + 1);
}

std::string IETrim(const std::string& Text) {
  size_t b = 0, e = Text.size();
  while (b < e && IsBlank(Text[b])) ++b;
  while (e > b && IsBlank(Text[e - 1])) --e;
  return Text.substr(b, e - b);
}

std::string IEUpperCase(const std::string& Text) {
  std::string s = Text;
  for (char& c : s) c = AsciiUpper(c);
  return s;
}

std::string IELowerCase(const std::string& Text) {
  std::string s = Text;
  for (char& c : s) c = AsciiLower(c);
  return s;
}

std::string IEIntToStr(int64_t Value) { return std::to_string(Value); }

int32_t IEStrToIntDef(const std::string& Text, int32_t Default) {
  size_t i = 0;
  while (i < Text.size() && IsBlank(Text[i])) ++i;
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  int base = 10;
  if (i < Text.size() && Text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= Text.size()) return Default;
  uint64_t v = 0;
  const auto r = std::from_chars(Text.data() + i, Text.data() + Text.size(), v, base);
  if (r.ec != std::errc() || r.ptr != Text.data() + Text.size()) return Default;
  if (base == 16 && !negative && v <= 0xFFFFFFFFu) return static_cast<int32_t>(static_cast<uint32_t>(v));
  if (negative ? v > 2147483648u : v > 2147483647u) return Default;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
}

std::string IECopy(const std::string& Text, int32_t Index, int32_t Count) {
  if (Index < 1) Index = 1;
  if (Count < 1 || static_cast<size_t>(Index) > Text.size()) return {};
  return Text.substr(static_cast<size_t>(Index) - 1, static_cast<size_t>(Count));
}

std::string IEIntToHex(int32_t Value, int32_t Digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", Digits < 0 ? 0 : (Digits > 8 ? 8 : Digits), static_cast<uint32_t>(Value));
  std::string s = buf;
  if (Digits > 8) s.insert(0, static_cast<size_t>(Digits) - s.size(), '0');
  return s;
}

int32_t IEPos(const std::string& Sub, const std::string& Text) {
  if (Sub.empty()) return 0;
  const size_t at = Text.find(Sub);
  return at == std::string::npos ? 0 : static_cast<int32_t>(at) + 1;
}
