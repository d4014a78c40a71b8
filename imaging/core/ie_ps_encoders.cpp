#include "imaging/core/ie_ps_encoders.h"

#include <algorithm>

int32_t ASCII85EncodeGroup(const uint8_t* Src, int32_t Count, char* Dst) {
  Count = std::clamp(Count, 1, 4);
  uint32_t value = 0;
  for (int32_t i = 0; i < 4; ++i) value = (value << 8) | (i < Count ? Src[i] : 0u);
  if (value == 0 && Count == 4) {
    Dst[0] = 'z';
    return 1;
  }
  char digits[5];
  for (int32_t i = 4; i >= 0; --i) {
    digits[i] = static_cast<char>(value % 85 + 33);
    value /= 85;
  }
  std::copy_n(digits, Count + 1, Dst);
  return Count + 1;
}

int32_t ASCII85Encode(const uint8_t*& Src, int32_t Count, char*& Dst, int32_t& Column) {
  int32_t written = 0;
  int32_t line = 0;
  while (Count > 0) {
    const int32_t n = std::min(Count, 4);
    const int32_t w = ASCII85EncodeGroup(Src, n, Dst);
    Src += n;
    Dst += w;
    Count -= n;
    written += w;
    Column += w;
    line += w;
    if (line > 74) {
      *Dst++ = '\r';
      *Dst++ = '\n';
      written += 2;
      line = 0;
    }
  }
  for (char c : {'~', '>', '\r', '\n'}) *Dst++ = c;
  return written + 4;
}

int64_t ASCII85EncodedSizeBound(int64_t Count) {
  const int64_t chars = (std::max<int64_t>(Count, 0) + 3) / 4 * 5;
  return chars + 2 * (chars / 75 + 1) + 4;
}

int32_t RunLengthEncode(const uint8_t* Src, int32_t Length, uint8_t* Dst) {
  int32_t out = 0;
  int32_t pos = 0;
  while (pos < Length) {
    if (pos + 1 < Length && Src[pos] == Src[pos + 1]) {
      int32_t n = 2;
      while (n < 128 && pos + n < Length && Src[pos + n] == Src[pos]) ++n;
      Dst[out++] = static_cast<uint8_t>(257 - n);
      Dst[out++] = Src[pos];
      pos += n;
    } else {
      // A literal run takes bytes while each differs from the one before it; the first byte of an
      // equal pair is its last.
      int32_t n = 1;
      while (n < 128 && pos + n < Length && Src[pos + n] != Src[pos + n - 1]) ++n;
      Dst[out++] = static_cast<uint8_t>(n - 1);
      std::copy_n(Src + pos, n, Dst + out);
      out += n;
      pos += n;
    }
  }
  Dst[out++] = 128;
  return out;
}

int64_t RunLengthEncodedSizeBound(int64_t Length) {
  // A literal of n bytes takes n + 1, a run 2: never more than twice the input, and the end byte.
  return 2 * std::max<int64_t>(Length, 0) + 1;
}
