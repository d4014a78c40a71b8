#include "imaging/core/ie_text_codepages.h"

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes without a character (kept as C1 controls).
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUTF8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The next code point of UTF-8 text at i (advanced); U+FFFD for an invalid sequence.
uint32_t NextCodePoint(const std::string& s, size_t& i) {
  const auto b = static_cast<uint8_t>(s[i++]);
  if (b < 0x80) return b;
  int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  uint32_t c = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    c = c << 6 | (static_cast<uint8_t>(s[i++]) & 0x3F);
  }
  if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return 0xFFFD;
  return c;
}

}  // namespace

std::string UTF16ToUTF8(const uint8_t* Data, int64_t Count, bool BigEndian, bool StopAtNul) {
  std::string out;
  auto unit = [&](int64_t i) -> uint32_t {
    const uint8_t* p = Data + i * 2;
    return BigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
  };
  for (int64_t i = 0; i < Count; ++i) {
    uint32_t c = unit(i);
    if (c == 0 && StopAtNul) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < Count && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUTF8(out, c);
  }
  return out;
}

std::string UTF8ToUTF16(const std::string& Text, bool BigEndian) {
  std::string out;
  auto put = [&](uint32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += BigEndian ? hi : lo;
    out += BigEndian ? lo : hi;
  };
  for (size_t i = 0; i < Text.size();) {
    const uint32_t c = NextCodePoint(Text, i);
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

std::string Windows1252ToUTF8(const std::string& Text) {
  std::string out;
  out.reserve(Text.size());
  for (char ch : Text) {
    const auto b = static_cast<uint8_t>(ch);
    const uint32_t c = b >= 0x80 && b < 0xA0 && kHigh1252[b - 0x80] ? kHigh1252[b - 0x80] : b;
    AppendUTF8(out, c);
  }
  return out;
}

std::string UTF8ToWindows1252(const std::string& Text) {
  std::string out;
  for (size_t i = 0; i < Text.size();) {
    const uint32_t c = NextCodePoint(Text, i);
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out += static_cast<char>(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kHigh1252[k] == c || (kHigh1252[k] == 0 && c == 0x80u + k)) mapped = static_cast<char>(0x80 + k);
    out += mapped;
  }
  return out;
}
