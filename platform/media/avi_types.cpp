#include "platform/media/avi_types.h"

#include <QtCore/QString>

FOURCC mmioStringToFOURCC(const std::string& Text, uint32_t Flags) {
  char c[4] = {' ', ' ', ' ', ' '};
  for (size_t i = 0; i < 4 && i < Text.size() && Text[i] != '\0'; ++i) {
    char ch = Text[i];
    if ((Flags & MMIO_TOUPPER) && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    c[i] = ch;
  }
  return mmioFOURCC(c[0], c[1], c[2], c[3]);
}

std::string FOURCCToString(FOURCC Code) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((Code >> (8 * i)) & 0xFF);
    if (c == '\0') break;
    s += c;
  }
  return s;
}

bool SameFOURCC(FOURCC A, FOURCC B) {
  for (int i = 0; i < 4; ++i) {
    auto up = [](uint32_t v) { return v >= 'a' && v <= 'z' ? v - 'a' + 'A' : v; };
    if (up((A >> (8 * i)) & 0xFF) != up((B >> (8 * i)) & 0xFF)) return false;
  }
  return true;
}

std::string StreamInfoName(const AVISTREAMINFOW& Info) {
  size_t n = 0;
  while (n < 64 && Info.szName[n] != 0) ++n;
  return QString::fromUtf16(Info.szName, static_cast<qsizetype>(n)).toStdString();
}

void SetStreamInfoName(AVISTREAMINFOW& Info, const std::string& Name) {
  const std::u16string w = QString::fromStdString(Name).toStdU16String();
  size_t n = std::min<size_t>(w.size(), 63);
  for (size_t i = 0; i < 64; ++i) Info.szName[i] = i < n ? w[i] : u'\0';
}
