#include "platform/media/dvd_demux.h"

namespace {

int64_t Stamp(const uint8_t* p) {
  return (static_cast<int64_t>(p[0] & 0x0E) << 29) | (static_cast<int64_t>(p[1]) << 22) |
         (static_cast<int64_t>(p[2] & 0xFE) << 14) | (static_cast<int64_t>(p[3]) << 7) | (p[4] >> 1);
}

}  // namespace

bool DemuxDvdSector(const uint8_t* S, int32_t Size, std::vector<TDvdPes>& Out) {
  Out.clear();
  if (!S || Size < 14 || S[0] != 0 || S[1] != 0 || S[2] != 1 || S[3] != 0xBA) return false;
  int32_t pos;
  if ((S[4] & 0xC0) == 0x40) {
    pos = 14 + (S[13] & 7);  // MPEG-2 pack header and its stuffing
  } else if ((S[4] & 0xF0) == 0x20) {
    pos = 12;  // MPEG-1
  } else {
    return false;
  }
  // Every packet takes at least its 6-byte header, so a sector holds at most Size / 6 of them.
  for (int guard = 0; guard < Size / 6 + 1 && pos + 6 <= Size; ++guard) {
    const uint8_t* p = S + pos;
    if (p[0] != 0 || p[1] != 0 || p[2] != 1) break;
    const uint8_t id = p[3];
    const int32_t length = p[4] << 8 | p[5];
    const int32_t end = pos + 6 + length;
    if (end > Size) break;  // a packet past its sector: what it holds is not complete
    const int32_t next = end;
    if (id == 0xBB || id == 0xBE || id == 0xBF || id == 0xBC) {
      pos = next;  // system header, padding, navigation, program map
      continue;
    }
    if (length == 0) {
      pos = next;  // an empty packet: no header, nothing to hand on
      continue;
    }
    TDvdPes pes;
    pes.StreamId = id;
    int32_t data;
    if ((p[6] & 0xC0) == 0x80) {
      // MPEG-2 PES header.
      if (pos + 9 > end) break;
      pes.Scrambled = (p[6] & 0x30) != 0;
      const uint8_t flags = p[7];
      const int32_t headerLength = p[8];
      data = pos + 9 + headerLength;
      if (data > end) break;
      if ((flags & 0x80) && headerLength >= 5) pes.Pts = Stamp(p + 9);
      if ((flags & 0xC0) == 0xC0 && headerLength >= 10) pes.Dts = Stamp(p + 14);
    } else {
      // MPEG-1: stuffing, buffer size, stamps.
      int32_t q = pos + 6;
      while (q < end && S[q] == 0xFF && q - pos < 6 + 16) ++q;
      if (q < end && (S[q] & 0xC0) == 0x40) q += 2;
      if (q >= end) break;
      if ((S[q] & 0xF0) == 0x20) {
        if (q + 5 > end) break;
        pes.Pts = Stamp(S + q);
        q += 5;
      } else if ((S[q] & 0xF0) == 0x30) {
        if (q + 10 > end) break;
        pes.Pts = Stamp(S + q);
        pes.Dts = Stamp(S + q + 5);
        q += 10;
      } else {
        ++q;
      }
      data = q;
    }
    if (id == 0xBD) {
      if (data >= end) break;
      pes.SubstreamId = S[data];
      // AC-3, DTS and LPCM carry a frame count and the first access unit's offset before the
      // audio; LPCM's own header (quantisation, rate, channels) stays for its decoder.
      int32_t skip = 1;
      if ((pes.SubstreamId & 0xF0) == 0x80 || (pes.SubstreamId & 0xF8) == 0xA0) skip = 4;
      data += skip;
      if (data > end) break;
    }
    pes.Payload = S + data;
    pes.Size = end - data;
    Out.push_back(pes);
    pos = next;
  }
  return true;
}
