#include "platform/system/exception.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/system/locale_info.h"
#include "platform/system/number_text.h"

namespace {

// One conversion of printf's, formatted on its own.
std::string FormatOneV(const char* spec, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[128];
  const int n = std::vsnprintf(small, sizeof small, spec, copy);
  va_end(copy);
  std::string out;
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else if (n >= 0) {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), spec, args);
    out.assign(big.data(), static_cast<size_t>(n));
  }
  return out;
}

// The last named parameter of a variadic function may not be a reference: the text goes in by
// pointer.
std::string FormatOnePtr(const char* spec, ...) {
  va_list args;
  va_start(args, spec);
  std::string out = FormatOneV(spec, args);
  va_end(args);
  return out;
}
template <class T>
std::string FormatOne(const std::string& spec, T value) {
  return FormatOnePtr(spec.c_str(), value);
}

// The C library writes its own locale's decimal point in %e and %g; the program's texts use the
// user's separator.
void UseDecimalSeparator(std::string& text) {
  const char* point = std::localeconv()->decimal_point;
  const size_t len = point && *point ? std::strlen(point) : 1;
  const size_t at = text.find(point && *point ? point : ".");
  if (at != std::string::npos) text.replace(at, len, 1, DecimalSeparator());
}

// Pads Text to Width: on the right with '-', with zeros after the sign with '0', else on the left.
std::string Pad(std::string text, int width, bool left, bool zeros) {
  if (width <= 0 || static_cast<int>(text.size()) >= width) return text;
  const size_t fill = static_cast<size_t>(width) - text.size();
  if (left) return text + std::string(fill, ' ');
  if (zeros) {
    const size_t at = !text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ') ? 1 : 0;
    text.insert(at, fill, '0');
    return text;
  }
  return std::string(fill, ' ') + text;
}

}  // namespace

// printf's conversions, each formatted on its own so that %f and %g can be the framework's: %f
// fixed notation with two decimals unless a precision is given, %g the general format with 15
// significant digits ("0.1", "1234567", "1E20"), both rounded half away from zero on the decimal
// digits, with the locale's decimal separator.
std::string FormatV(const char* format, va_list args) {
  std::string out;
  if (!format) return out;
  va_list ap;
  va_copy(ap, args);
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      const char* q = std::strchr(p, '%');
      const size_t n = q ? static_cast<size_t>(q - p) : std::strlen(p);
      out.append(p, n);
      p += n;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    std::string flags;
    while (*p && std::strchr("-+ #0'", *p)) flags += *p++;
    int width = -1, precision = -1;
    if (*p == '*') {
      width = va_arg(ap, int);
      ++p;
      if (width < 0) {
        flags += '-';
        width = -width;
      }
    } else {
      while (*p >= '0' && *p <= '9') width = (width < 0 ? 0 : width * 10) + (*p++ - '0');
    }
    if (*p == '.') {
      ++p;
      precision = 0;
      if (*p == '*') {
        precision = va_arg(ap, int);
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
      }
    }
    std::string length;
    while (*p && std::strchr("hlLqjzt", *p)) length += *p++;
    if (length == "q") length = "ll";
    const char conv = *p;
    if (!conv) {
      out.append(start);  // an unfinished conversion stays as written
      break;
    }
    ++p;
    // The conversion again, with the width and precision the arguments gave.
    std::string spec = "%" + flags;
    if (width >= 0) spec += std::to_string(width);
    if (precision >= 0) spec += "." + std::to_string(precision);
    spec += length;
    spec += conv;
    const bool left = flags.find('-') != std::string::npos;
    switch (conv) {
      case 'd':
      case 'i':
        if (length == "l")
          out += FormatOne(spec, va_arg(ap, long));
        else if (length == "ll")
          out += FormatOne(spec, va_arg(ap, long long));
        else if (length == "j")
          out += FormatOne(spec, va_arg(ap, intmax_t));
        else if (length == "z" || length == "t")
          out += FormatOne(spec, va_arg(ap, ptrdiff_t));
        else
          out += FormatOne(spec, va_arg(ap, int));  // hh and h arrive promoted
        break;
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        if (length == "l")
          out += FormatOne(spec, va_arg(ap, unsigned long));
        else if (length == "ll")
          out += FormatOne(spec, va_arg(ap, unsigned long long));
        else if (length == "j")
          out += FormatOne(spec, va_arg(ap, uintmax_t));
        else if (length == "z" || length == "t")
          out += FormatOne(spec, va_arg(ap, size_t));
        else
          out += FormatOne(spec, va_arg(ap, unsigned));
        break;
      case 'c':
        if (length == "l")
          out += FormatOne(spec, static_cast<wint_t>(va_arg(ap, wint_t)));
        else
          out += FormatOne(spec, va_arg(ap, int));
        break;
      case 's':
        if (length == "l")
          out += FormatOne(spec, va_arg(ap, const wchar_t*));
        else
          out += FormatOne(spec, va_arg(ap, const char*));
        break;
      case 'p':
        out += FormatOne(spec, va_arg(ap, void*));
        break;
      case 'f':
      case 'F': {
        const long double v = length == "L" ? va_arg(ap, long double) : va_arg(ap, double);
        std::string text = FloatToStrF(v, ffFixed, 18, precision < 0 ? 2 : precision);
        if (flags.find('+') != std::string::npos && !text.empty() && text[0] != '-')
          text.insert(text.begin(), '+');
        else if (flags.find(' ') != std::string::npos && !text.empty() && text[0] != '-')
          text.insert(text.begin(), ' ');
        out += Pad(std::move(text), width, left, flags.find('0') != std::string::npos);
        break;
      }
      case 'g':
      case 'G': {
        // The framework's general format: 15 significant digits unless a precision is given.
        const long double v = length == "L" ? va_arg(ap, long double) : va_arg(ap, double);
        out += Pad(FloatToStrF(v, ffGeneral, precision < 0 ? 15 : precision, 0), width, left, false);
        break;
      }
      case 'e':
      case 'E':
      case 'a':
      case 'A': {
        std::string text = length == "L" ? FormatOne(spec, va_arg(ap, long double)) : FormatOne(spec, va_arg(ap, double));
        UseDecimalSeparator(text);
        out += text;
        break;
      }
      case 'n':
        // Writes nothing through the pointer: the count is of no use to the program's texts.
        (void)va_arg(ap, void*);
        break;
      default:
        out.append(start, static_cast<size_t>(p - start));
        break;
    }
  }
  va_end(ap);
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatV(format, args);
  va_end(args);
  return s;
}

std::string SysErrorMessage(int error) {
  char buf[256];
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = strerror_r(error, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

void RaiseLastOSError(int error) {
  throw EOSError(Format("System Error.  Code: %d.\n%s", error, SysErrorMessage(error).c_str()));
}

void AssertionFailed(const std::string& message, const char* unit, int line) {
  throw EAssertionFailed(Format("%s (%s, line %d)", message.c_str(), unit, line));
}

void AbstractError() { throw EAbstractError("Abstract Error"); }
