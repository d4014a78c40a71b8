#include "platform/system/compare_text.h"

#include <algorithm>

namespace {

unsigned char Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int d = Fold(static_cast<unsigned char>(a[i])) - Fold(static_cast<unsigned char>(b[i]));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
  return r;
}
