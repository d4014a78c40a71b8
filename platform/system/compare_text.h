#pragma once
// Comparing and folding text without regard to case, as the framework does for names: only the
// ASCII letters fold, every other byte (UTF-8 included) compares as it is.
#include <string>
#include <string_view>

// Below zero, zero or above zero as a sorts before, with or after b.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// The text with a to z made upper case.
std::string UpperCase(std::string_view s);
// SameText(s, upper) for an upper that UpperCase prepared: a scan over many texts compares each
// against one prepared form and folds only its own side.
inline bool SameTextUpper(std::string_view s, std::string_view upper) {
  if (s.size() != upper.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}
