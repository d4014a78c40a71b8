#include "imaging/io/codecs/tiff_directory.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_text_codepages.h"
#include "platform/system/streams.h"

namespace {

constexpr int64_t kMaxTextBytes = 1048576;

// Reads Count bytes at the absolute position; false (nothing guaranteed in Buffer) when they are not
// all inside the stream.
bool ReadAt(TStream& stream, int64_t streamSize, int64_t position, void* buffer, int64_t count) {
  if (!TIEByteReader::RangeInside(position, count, streamSize) || count > INT32_MAX) return false;
  if (count == 0) return true;
  stream.Seek(position, soBeginning);
  return stream.Read(buffer, static_cast<int32_t>(count)) == count;
}

bool ReadAt(const TTIFFDirectory& dir, int64_t position, void* buffer, int64_t count) {
  return dir.Stream && ReadAt(*dir.Stream, dir.StreamSize, position, buffer, count);
}

const TTIFFTagEntry* Find(const TTIFFDirectory& dir, uint16_t tag) {
  const int32_t i = TIFFFindTag(dir, tag);
  return i < 0 ? nullptr : &dir.Entries[static_cast<size_t>(i)];
}

// The inline bytes of an entry in file order.
void InlineBytes(const TTIFFDirectory& dir, const TTIFFTagEntry& e, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<uint8_t>(dir.IntelOrder ? e.Value >> (8 * i) : e.Value >> (24 - 8 * i));
}

// The bytes of an entry's whole value (inline or at its offset) in file order; false when they are
// not inside the stream or exceed Limit bytes.
bool ValueBytes(const TTIFFDirectory& dir, const TTIFFTagEntry& e, std::vector<uint8_t>& out, int64_t limit) {
  const int64_t bytes = TIFFValueBytes(e.FieldType, e.Count);
  if (bytes > limit) return false;
  if (bytes <= 4) {
    uint8_t b[4];
    InlineBytes(dir, e, b);
    out.assign(b, b + bytes);
    return true;
  }
  if (!TIFFRangeInside(dir.Origin, e.Value, bytes, dir.StreamSize)) return false;
  out.resize(static_cast<size_t>(bytes));
  return ReadAt(dir, dir.Origin + e.Value, out.data(), bytes);
}

int64_t ItemOf(const uint8_t* p, uint16_t type, bool bigEndian) {
  switch (type) {
    case ttBYTE: case ttUNDEFINED: case ttASCII: return p[0];
    case ttSBYTE: return static_cast<int8_t>(p[0]);
    case ttSHORT: return IEGetU16(p, bigEndian);
    case ttSSHORT: return static_cast<int16_t>(IEGetU16(p, bigEndian));
    case ttSLONG: return static_cast<int32_t>(IEGetU32(p, bigEndian));
    default: return IEGetU32(p, bigEndian);
  }
}

bool IsIntegerType(uint16_t type) {
  return type == ttBYTE || type == ttSHORT || type == ttLONG || type == ttSBYTE || type == ttSSHORT ||
         type == ttSLONG || type == ttUNDEFINED || type == ttIFD;
}

// Loads the directory at Position (absolute): its entries when Load, else only its size. Returns the
// next offset in Next; false when the entry table or the next offset does not fit in the stream.
bool LoadIFD(TTIFFDirectory& dir, int64_t position, bool load, uint32_t& next, uint16_t& count) {
  uint8_t head[2];
  if (!ReadAt(dir, position, head, 2)) return false;
  count = IEGetU16(head, !dir.IntelOrder);
  if (count == 0) return false;
  const int64_t table = position + 2;
  const int64_t bytes = static_cast<int64_t>(count) * 12;
  if (!TIEByteReader::RangeInside(table, bytes + 4, dir.StreamSize)) return false;
  uint8_t tail[4];
  if (load) {
    std::vector<uint8_t> raw(static_cast<size_t>(bytes) + 4);
    if (!ReadAt(dir, table, raw.data(), bytes + 4)) return false;
    const bool big = !dir.IntelOrder;
    dir.Entries.assign(count, TTIFFTagEntry{});
    for (uint16_t i = 0; i < count; ++i) {
      const uint8_t* p = raw.data() + i * 12;
      TTIFFTagEntry& e = dir.Entries[i];
      e.Tag = IEGetU16(p, big);
      e.FieldType = IEGetU16(p + 2, big);
      e.Count = IEGetU32(p + 4, big);
      e.Value = IEGetU32(p + 8, big);
    }
    std::memcpy(tail, raw.data() + bytes, 4);
  } else if (!ReadAt(dir, table + bytes, tail, 4)) {
    return false;
  }
  next = IEGetU32(tail, !dir.IntelOrder);
  return true;
}

}  // namespace

bool TIFFRangeInside(int64_t Origin, int64_t Offset, int64_t Bytes, int64_t StreamSize) {
  return Offset >= 0 && TIEByteReader::RangeInside(Origin + Offset, Bytes, StreamSize);
}

bool TIFFReadHeader(TStream& Stream, int64_t Origin, bool& IntelOrder, uint16_t& Version, uint32_t& FirstIFD) {
  uint8_t h[8];
  if (!ReadAt(Stream, Stream.Size(), Origin, h, 8)) return false;
  if (h[0] == 'I' && h[1] == 'I') IntelOrder = true;
  else if (h[0] == 'M' && h[1] == 'M') IntelOrder = false;
  else return false;
  Version = IEGetU16(h + 2, !IntelOrder);
  FirstIFD = IEGetU32(h + 4, !IntelOrder);
  return true;
}

bool TIFFReadDirectory(int32_t PageIndex, uint32_t FirstOffset, TTIFFDirectory& Directory, int32_t& Count) {
  Count = 0;
  Directory.Entries.clear();
  if (Directory.Stream) Directory.StreamSize = Directory.Stream->Size();
  bool loaded = false;
  std::unordered_set<uint32_t> visited;
  uint32_t offset = FirstOffset;
  while (offset != 0 && Count < kTIFFMaxPages && visited.insert(offset).second) {
    const int64_t position = Directory.Origin + offset;
    uint32_t next = 0;
    uint16_t entries = 0;
    const bool wanted = Count == PageIndex;
    if (!LoadIFD(Directory, position, wanted, next, entries)) {
      if (wanted) Directory.Entries.clear();
      break;
    }
    loaded = loaded || wanted;
    ++Count;
    // A next offset to itself, into the header or outside the stream ends the chain.
    if (next == offset || next < 8 || Directory.Origin + static_cast<int64_t>(next) >= Directory.StreamSize) next = 0;
    offset = next;
  }
  return loaded;
}

bool TIFFLoadDirectoryAt(uint32_t Offset, TTIFFDirectory& Directory) {
  Directory.Entries.clear();
  if (!Directory.Stream || Offset == 0) return false;
  Directory.StreamSize = Directory.Stream->Size();
  uint32_t next = 0;
  uint16_t count = 0;
  if (!LoadIFD(Directory, Directory.Origin + Offset, true, next, count)) {
    Directory.Entries.clear();
    return false;
  }
  return true;
}

int32_t TIFFFindTag(const TTIFFDirectory& Dir, uint16_t Tag) {
  for (size_t i = 0; i < Dir.Entries.size(); ++i)
    if (Dir.Entries[i].Tag == Tag) return static_cast<int32_t>(i);
  return -1;
}

int64_t TIFFReadInteger(const TTIFFDirectory& Dir, uint16_t Tag, int64_t Default) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  if (!e) return Default;
  switch (e->FieldType) {
    case ttBYTE: case ttASCII: case ttUNDEFINED: return Dir.IntelOrder ? e->Value & 0xFF : e->Value >> 24;
    case ttSBYTE: return static_cast<int8_t>(Dir.IntelOrder ? e->Value & 0xFF : e->Value >> 24);
    case ttSHORT: return Dir.IntelOrder ? e->Value & 0xFFFF : e->Value >> 16;
    case ttSSHORT: return static_cast<int16_t>(Dir.IntelOrder ? e->Value & 0xFFFF : e->Value >> 16);
    case ttSLONG: return static_cast<int32_t>(e->Value);
    default: return e->Value;
  }
}

double TIFFReadRationalAt(const TTIFFDirectory& Dir, uint16_t Tag, int32_t Index, double Default) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  if (!e || Index < 0 || static_cast<uint32_t>(Index) >= e->Count) return Default;
  if (e->FieldType != ttRATIONAL && e->FieldType != ttSRATIONAL) {
    // Some writers store whole numbers as SHORT or LONG.
    if (IsIntegerType(e->FieldType)) return static_cast<double>(TIFFReadIntegerAt(Dir, Tag, Index, Default));
    return Default;
  }
  uint8_t b[8];
  const int64_t offset = static_cast<int64_t>(e->Value) + 8 * static_cast<int64_t>(Index);
  if (!TIFFRangeInside(Dir.Origin, offset, 8, Dir.StreamSize) || !ReadAt(Dir, Dir.Origin + offset, b, 8))
    return Default;
  const bool big = !Dir.IntelOrder;
  double num, den;
  if (e->FieldType == ttSRATIONAL) {
    num = static_cast<int32_t>(IEGetU32(b, big));
    den = static_cast<int32_t>(IEGetU32(b + 4, big));
  } else {
    num = IEGetU32(b, big);
    den = IEGetU32(b + 4, big);
  }
  if (den == 0) den = 1;
  return num / den;
}

double TIFFReadRational(const TTIFFDirectory& Dir, uint16_t Tag, double Default) {
  return TIFFReadRationalAt(Dir, Tag, 0, Default);
}

int64_t TIFFReadIntegerAt(const TTIFFDirectory& Dir, uint16_t Tag, int32_t Index, int64_t Default) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  if (!e || Index < 0 || static_cast<uint32_t>(Index) >= e->Count || !IsIntegerType(e->FieldType)) return Default;
  const int32_t size = TIFFTypeSize(e->FieldType);
  uint8_t b[4];
  if (TIFFValueBytes(e->FieldType, e->Count) <= 4) {
    uint8_t all[4];
    InlineBytes(Dir, *e, all);
    std::memcpy(b, all + size * Index, static_cast<size_t>(size));
  } else {
    const int64_t offset = static_cast<int64_t>(e->Value) + static_cast<int64_t>(size) * Index;
    if (!TIFFRangeInside(Dir.Origin, offset, size, Dir.StreamSize) || !ReadAt(Dir, Dir.Origin + offset, b, size))
      return Default;
  }
  return ItemOf(b, e->FieldType, !Dir.IntelOrder);
}

std::vector<int64_t> TIFFReadIntegerArray(const TTIFFDirectory& Dir, uint16_t Tag) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  std::vector<int64_t> out;
  if (!e || !IsIntegerType(e->FieldType) || e->Count == 0) return out;
  std::vector<uint8_t> bytes;
  if (!ValueBytes(Dir, *e, bytes, Dir.StreamSize)) return out;
  const int32_t size = TIFFTypeSize(e->FieldType);
  out.resize(e->Count);
  for (uint32_t i = 0; i < e->Count; ++i) out[i] = ItemOf(bytes.data() + static_cast<size_t>(i) * size, e->FieldType, !Dir.IntelOrder);
  return out;
}

std::vector<uint8_t> TIFFReadRawBlock(const TTIFFDirectory& Dir, uint16_t Tag) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  std::vector<uint8_t> out;
  if (e && !ValueBytes(Dir, *e, out, Dir.StreamSize)) out.clear();
  return out;
}

std::string TIFFReadAscii(const TTIFFDirectory& Dir, uint16_t Tag, bool CutAtNul) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  if (!e || e->Count >= kMaxTextBytes) return {};
  std::vector<uint8_t> bytes;
  if (e->Count <= 4) {
    uint8_t b[4];
    InlineBytes(Dir, *e, b);
    bytes.assign(b, b + e->Count);
  } else {
    if (!TIFFRangeInside(Dir.Origin, e->Value, e->Count, Dir.StreamSize)) return {};
    bytes.resize(e->Count);
    if (!ReadAt(Dir, Dir.Origin + e->Value, bytes.data(), e->Count)) return {};
  }
  std::string s(bytes.begin(), bytes.end());
  if (CutAtNul) {
    const size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
  }
  return s;
}

std::string TIFFReadWideString(const TTIFFDirectory& Dir, uint16_t Tag) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  if (!e || e->Count == 0) return {};
  const int64_t bytes = TIFFValueBytes(e->FieldType, e->Count);
  if (bytes >= kMaxTextBytes) return {};
  if (bytes <= 4) {
    uint8_t b[4];
    InlineBytes(Dir, *e, b);
    return UTF16ToUTF8(b, bytes / 2);
  }
  const int64_t chars = (bytes - 2) / 2;
  std::vector<uint8_t> data(static_cast<size_t>(chars * 2));
  if (!TIFFRangeInside(Dir.Origin, e->Value, chars * 2, Dir.StreamSize) ||
      !ReadAt(Dir, Dir.Origin + e->Value, data.data(), chars * 2))
    return {};
  return UTF16ToUTF8(data.data(), chars);
}

std::string TIFFReadInlineBytes(const TTIFFDirectory& Dir, uint16_t Tag) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  if (!e || e->Count < 1 || e->Count > 4) return {};
  uint8_t b[4];
  InlineBytes(Dir, *e, b);
  return std::string(reinterpret_cast<const char*>(b), e->Count);
}

int32_t TIFFReadBitsPerSample(const TTIFFDirectory& Dir) {
  const TTIFFTagEntry* e = Find(Dir, tagBitsPerSample);
  if (!e) return 1;
  if (e->Count <= 1) return static_cast<int32_t>(TIFFReadInteger(Dir, tagBitsPerSample, 1));
  const std::vector<int64_t> items = TIFFReadIntegerArray(Dir, tagBitsPerSample);
  if (items.empty()) return -1;
  for (int64_t v : items)
    if (v != items[0]) return -1;
  return static_cast<int32_t>(std::clamp<int64_t>(items[0], -1, 0xFFFF));
}

std::vector<TIERGB> TIFFReadColorMap(const TTIFFDirectory& Dir, int32_t BitsPerSample) {
  std::vector<TIERGB> map;
  const TTIFFTagEntry* e = Find(Dir, tagColorMap);
  if (!e || BitsPerSample < 1 || BitsPerSample > 16 || e->FieldType != ttSHORT) return map;
  const uint32_t entries = 1u << BitsPerSample;
  if (e->Count != 3 * entries) return map;
  const std::vector<int64_t> v = TIFFReadIntegerArray(Dir, tagColorMap);
  if (v.size() != 3 * entries) return map;
  const bool eightBit = *std::max_element(v.begin(), v.end()) < 256;
  auto level = [&](int64_t x) { return static_cast<uint8_t>(eightBit ? x : x >> 8); };
  map.resize(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    map[i].r = level(v[i]);
    map[i].g = level(v[entries + i]);
    map[i].b = level(v[2 * entries + i]);
  }
  return map;
}

std::vector<int32_t> TIFFReadExtraSamples(const TTIFFDirectory& Dir) {
  std::vector<int32_t> out;
  const TTIFFTagEntry* e = Find(Dir, tagExtraSamples);
  if (!e) return out;
  const int32_t kept = static_cast<int32_t>(std::min<uint32_t>(e->Count, 10));
  for (int32_t i = 0; i < kept; ++i) out.push_back(static_cast<int32_t>(TIFFReadIntegerAt(Dir, tagExtraSamples, i, 0)));
  return out;
}

int64_t TIFFValuePosition(const TTIFFDirectory& Dir, uint16_t Tag) {
  const TTIFFTagEntry* e = Find(Dir, Tag);
  return e ? Dir.Origin + e->Value : -1;
}
