#include "controls/xrl/xrl_strings.h"

#include <algorithm>

namespace {

struct Tables {
  uint16_t type[256];
  unsigned char lower[256];
  unsigned char upper[256];
  unsigned char swap[256];
};

Tables g_tables;
bool g_tablesFilled = false;

const Tables& T() {
  if (!g_tablesFilled) InitializeCharacterTables();
  return g_tables;
}

}  // namespace

void InitializeCharacterTables() {
  for (int i = 0; i < 256; ++i) {
    auto c = static_cast<unsigned char>(i);
    uint16_t t = 0;
    if (c < 0x80) {
      if (c >= 'A' && c <= 'Z') t |= C1_UPPER | C1_ALPHA;
      if (c >= 'a' && c <= 'z') t |= C1_LOWER | C1_ALPHA;
      if (c >= '0' && c <= '9') t |= C1_DIGIT;
      if (c == ' ' || (c >= 9 && c <= 13)) t |= C1_SPACE;
      if (c == ' ' || c == 9) t |= C1_BLANK;
      if (c < 32 || c == 127) t |= C1_CNTRL;
      if (c > 32 && c < 127 && !(t & (C1_ALPHA | C1_DIGIT))) t |= C1_PUNCT;
      if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) t |= C1_XDIGIT;
    }
    g_tables.type[i] = t;
    g_tables.lower[i] = (t & C1_UPPER) ? static_cast<unsigned char>(c + 32) : c;
    g_tables.upper[i] = (t & C1_LOWER) ? static_cast<unsigned char>(c - 32) : c;
    g_tables.swap[i] = (t & C1_UPPER) ? g_tables.lower[i] : (t & C1_LOWER) ? g_tables.upper[i] : c;
  }
  g_tablesFilled = true;
}

uint16_t CharacterType(unsigned char c) { return T().type[c]; }
unsigned char CharLower(unsigned char c) { return T().lower[c]; }
unsigned char CharUpper(unsigned char c) { return T().upper[c]; }
unsigned char CharSwapCase(unsigned char c) { return T().swap[c]; }

std::string EnsureNoSuffix(const std::string& suffix, const std::string& text) {
  if (suffix.empty() || text.size() < suffix.size()) return text;
  if (text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) return text;
  return text.substr(0, text.size() - suffix.size());
}

int32_t CountOfCharIn(const std::string& text, char c) {
  return static_cast<int32_t>(std::count(text.begin(), text.end(), c));
}

int32_t CompareRange(const std::string& text1, const std::string& text2, int32_t start, bool caseSensitive,
                     int32_t count) {
  if (text1.empty() != text2.empty()) return -1;
  // A start below 1 would read before the text.
  if (count <= 0 || start < 1 || static_cast<int64_t>(text1.size()) < static_cast<int64_t>(start) + count - 1) return -2;
  const size_t from = static_cast<size_t>(start) - 1;
  const size_t n = std::min(static_cast<size_t>(count), text2.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char a = static_cast<unsigned char>(text1[from + i]);
    unsigned char b = static_cast<unsigned char>(text2[i]);
    if (!caseSensitive) {
      a = CharLower(a);
      b = CharLower(b);
    }
    if (a != b) return static_cast<int32_t>(a) - static_cast<int32_t>(b);
  }
  return 0;
}
