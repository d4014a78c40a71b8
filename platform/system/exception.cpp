#include "platform/system/exception.h"

#include <cstdio>
#include <cstring>
#include <vector>

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  return std::string(big.data(), static_cast<size_t>(n));
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
