#include "platform/system/latin1_text.h"

#include <cstdint>

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() + latin1.size() / 4);
  for (char ch : latin1) {
    const auto c = static_cast<uint8_t>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    const auto c = static_cast<uint8_t>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // The length of the sequence from its lead byte; a stray continuation byte or an invalid lead
    // byte stands for one character on its own.
    size_t len = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
    size_t k = 1;
    for (; len && k < len && i + k < n; ++k) {
      const auto cc = static_cast<uint8_t>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) break;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (len == 0 || k < len) {
      // Malformed: one "?" for the bytes taken so far.
      out += '?';
      i += k;
      continue;
    }
    out += cp <= 0xFF ? static_cast<char>(cp) : '?';
    i += len;
  }
  return out;
}
