#include "imaging/core/ie_base64.h"

#include <vector>

#include "platform/system/streams.h"

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

void Base64EncodeTriplet(const uint8_t* Src, char* Dst, int32_t Count) {
  const uint8_t b0 = Src[0];
  const uint8_t b1 = Count > 1 ? Src[1] : 0;
  const uint8_t b2 = Count > 2 ? Src[2] : 0;
  Dst[0] = kAlphabet[b0 >> 2];
  Dst[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
  Dst[2] = Count < 2 ? '=' : kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
  Dst[3] = Count < 3 ? '=' : kAlphabet[b2 & 63];
}

void Base64EncodeStreamToText(TStream& Stream, std::string& Text, int32_t LineLength) {
  const double groupsPerLine = LineLength > 0 ? LineLength / 4.0 : 0.0;
  std::vector<uint8_t> chunk(3 * 4096);
  int32_t groupsOnLine = 0;
  int32_t carry = 0;  // bytes of an unfinished group kept at the front of the chunk
  for (;;) {
    const int32_t got = Stream.Read(chunk.data() + carry, static_cast<int32_t>(chunk.size()) - carry);
    const int32_t have = carry + (got > 0 ? got : 0);
    const bool atEnd = got <= 0;
    int32_t i = 0;
    while (have - i >= 3 || (atEnd && have - i > 0)) {
      const int32_t n = have - i >= 3 ? 3 : have - i;
      char out[4];
      Base64EncodeTriplet(chunk.data() + i, out, n);
      Text.append(out, 4);
      i += n;
      if (++groupsOnLine >= groupsPerLine) {
        Text += '\n';
        groupsOnLine = 0;
      }
    }
    carry = have - i;
    for (int32_t k = 0; k < carry; ++k) chunk[static_cast<size_t>(k)] = chunk[static_cast<size_t>(i + k)];
    if (atEnd) break;
  }
  if (groupsOnLine > 0) Text += '\n';
}
