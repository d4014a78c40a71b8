#include "imaging/core/ie_tiff_handler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "imaging/core/ie_byte_reader.h"
#include "platform/system/streams.h"

namespace {

constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagJPEGInterchangeFormat = 513;
constexpr uint16_t kSubIFDTags[] = {34665, 34853, 40965};  // EXIF, GPS, interoperability
// Sub-directories inside sub-directories deeper than this are not followed.
constexpr int kMaxSubIFDDepth = 4;

struct DataPair {
  uint16_t offsets, counts;
  bool hdPhotoOnly;
};
constexpr DataPair kDataPairs[] = {
    {273, 279, false}, {324, 325, false}, {513, 514, false}, {48320, 48321, true}, {48322, 48323, true}};

bool IsSubIFDTag(uint16_t tag) { return std::find(std::begin(kSubIFDTags), std::end(kSubIFDTags), tag) != std::end(kSubIFDTags); }

void WriteZeros(TStream& stream, int64_t count) {
  static const uint8_t zeros[16] = {};
  while (count > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, sizeof zeros));
    stream.WriteBuffer(zeros, n);
    count -= n;
  }
}

void AlignEven(TStream& stream) {
  if (stream.Position() % 2) WriteZeros(stream, 1);
}

void WriteBytes(TStream& stream, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(bytes.size() - done, 1 << 30));
    stream.WriteBuffer(bytes.data() + done, n);
    done += static_cast<size_t>(n);
  }
}

}  // namespace

int32_t TIFFTypeSize(uint16_t type) {
  if (type >= 1 && type <= 12) return TIFFTagTypeSizes[type - 1];
  if (type == ttIFD) return 4;
  return 1;
}

// -------------------------------------------------------------------------------------------- reading

// One load of a TIFF: the checked reader over the stream and the budget of bytes the file may make
// the handler copy (a damaged file can point many entries and strips at the same bytes).
class TIETIFFHandler::Reader {
 public:
  Reader(TIETIFFHandler& handler, TStream& stream)
      : handler_(handler), r_(stream, handler.bigEndian_), budget_(4 * r_.Size() + (16 << 20)) {}

  void ReadPages(int64_t first) {
    std::set<int64_t> visited;
    int64_t position = first;
    while (position > 0 && position < r_.Size() && visited.insert(position).second) {
      handler_.pages_.emplace_back();
      position = ReadIFD(position, handler_.pages_.back(), 0, {});
    }
  }

 private:
  bool Spend(int64_t bytes) {
    if (bytes > budget_) {
      budget_ = 0;
      return false;
    }
    budget_ -= bytes;
    return true;
  }

  // Reads the directory at position into entries; returns the next-IFD offset (0 when unreadable).
  int64_t ReadIFD(int64_t position, TIETIFFEntries& entries, int depth, std::vector<int64_t> ancestors) {
    ancestors.push_back(position);
    if (!r_.Seek(position)) return 0;
    const uint16_t declared = r_.U16();
    if (r_.Failed()) return 0;
    // Entries that lie beyond the end of the data are not read.
    const int64_t fits = std::min<int64_t>(declared, r_.Remaining() / 12);
    std::vector<uint8_t> table;
    if (!r_.ReadBytes(fits * 12, table)) return 0;
    const uint32_t next = fits == declared ? r_.U32() : 0;

    for (int64_t i = 0; i < fits; ++i) {
      if (!Spend(sizeof(TIETIFFEntry))) break;
      const uint8_t* p = table.data() + i * 12;
      TIETIFFEntry e;
      e.Tag = IEGetU16(p, handler_.bigEndian_);
      e.DataType = IEGetU16(p + 2, handler_.bigEndian_);
      e.DataNum = IEGetU32(p + 4, handler_.bigEndian_);
      std::memcpy(e.Value, p + 8, 4);
      const int64_t bytes = TIFFValueBytes(e.DataType, e.DataNum);
      if (bytes > 4) {
        // A value at least as long as the whole file ends the directory.
        if (bytes >= r_.Size()) break;
        const int64_t offset = IEGetU32(e.Value, handler_.bigEndian_);
        if (!r_.RangeInside(offset, bytes) || !Spend(bytes)) continue;  // the entry is dropped
        r_.Seek(offset);
        if (!r_.ReadBytes(bytes, e.Data)) continue;
        e.Kind = TIETIFFEntry::ekData;
      } else if (IsSubIFDTag(e.Tag) && e.DataNum >= 1) {
        const int64_t offset = IEGetU32(e.Value, handler_.bigEndian_);
        // A sub-directory that points into its own chain of parents, too deep, or outside: dropped.
        if (depth >= kMaxSubIFDDepth || std::find(ancestors.begin(), ancestors.end(), offset) != ancestors.end() ||
            offset <= 0 || offset >= r_.Size())
          continue;
        ReadIFD(offset, e.SubIFD, depth + 1, ancestors);
        e.Kind = TIETIFFEntry::ekSubIFD;
      }
      entries.push_back(std::move(e));
    }

    for (const DataPair& pair : kDataPairs) {
      if (pair.hdPhotoOnly && handler_.version_ != 444) continue;
      LoadBlocks(entries, pair.offsets, pair.counts);
    }

    if (handler_.GetTagValue(entries, kTagCompression, 0) == 6 && IndexOf(entries, kTagStripOffsets) >= 0 &&
        IndexOf(entries, kTagJPEGInterchangeFormat) >= 0) {
      // Old-style JPEG: the image remains only as the JPEG stream of 513/514.
      for (uint16_t tag : {273, 519, 520, 521}) handler_.DeleteEntry(entries, IndexOf(entries, tag), true);
    }
    SortEntries(entries);
    return next;
  }

  // Replaces the offsets of a data pair by copies of the data they point to. Ranges are clipped to
  // the data present, and the byte counts follow what was really copied.
  void LoadBlocks(TIETIFFEntries& entries, uint16_t offsetsTag, uint16_t countsTag) {
    const int32_t oi = IndexOf(entries, offsetsTag);
    if (oi < 0 || entries[oi].Kind == TIETIFFEntry::ekSubIFD) return;
    const int32_t ci = IndexOf(entries, countsTag);
    const uint32_t n = entries[oi].DataNum;
    if (!Spend(static_cast<int64_t>(n) * static_cast<int64_t>(sizeof(std::vector<uint8_t>)))) {
      handler_.DeleteEntry(entries, oi, true);
      return;
    }
    std::vector<std::vector<uint8_t>> blocks(n);
    for (uint32_t i = 0; i < n; ++i) {
      const int64_t offset = handler_.GetEntryValue(entries, oi, static_cast<int32_t>(i));
      const int64_t declared = ci >= 0 ? handler_.GetEntryValue(entries, ci, static_cast<int32_t>(i)) : 0;
      int64_t count = 0;
      if (offset >= 0 && offset < r_.Size() && declared > 0) count = std::min(declared, r_.Size() - offset);
      if (count > 0 && Spend(count) && r_.Seek(offset)) {
        if (!r_.ReadBytes(count, blocks[i])) blocks[i].clear();
      }
      if (ci >= 0 && static_cast<int64_t>(blocks[i].size()) != declared)
        SetItem(entries[ci], i, blocks[i].size());
    }
    TIETIFFEntry& e = entries[oi];
    e.Data.clear();
    e.Blocks = std::move(blocks);
    e.Kind = TIETIFFEntry::ekBlocks;
    e.DataType = ttLONG;
  }

  // Overwrites item i of a SHORT or LONG value (a byte count made smaller, so it always fits).
  void SetItem(TIETIFFEntry& e, uint32_t i, uint64_t value) {
    const int32_t size = TIFFTypeSize(e.DataType);
    if ((e.DataType != ttSHORT && e.DataType != ttLONG) || i >= e.DataNum) return;
    uint8_t* base = e.Kind == TIETIFFEntry::ekData ? e.Data.data() : e.Value;
    const size_t at = static_cast<size_t>(i) * size;
    if (e.Kind == TIETIFFEntry::ekData ? at + size > e.Data.size() : at + size > 4) return;
    handler_.PutValue(base + at, value, size);
  }

  TIETIFFHandler& handler_;
  TIEByteReader r_;
  int64_t budget_;
};

TIETIFFHandler::TIETIFFHandler(const std::string& fileName) { LoadFromFile(fileName); }

TIETIFFHandler::TIETIFFHandler(TStream& stream) { LoadFromStream(stream); }

void TIETIFFHandler::LoadFromFile(const std::string& fileName) {
  Clear();
  if (!FileExists(fileName)) return;
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

bool TIETIFFHandler::ReadHeader(TStream& stream) {
  uint8_t h[8];
  if (stream.Read(h, 8) != 8) return false;
  const bool ii = h[0] == 'I' && h[1] == 'I';
  const bool mm = h[0] == 'M' && h[1] == 'M';
  if (!ii && !mm) return false;
  bigEndian_ = mm;
  version_ = IEGetU16(h + 2, bigEndian_);
  stream.Seek(IEGetU32(h + 4, bigEndian_), soBeginning);
  return true;
}

void TIETIFFHandler::LoadFromStream(TStream& stream) {
  Clear();
  if (!ReadHeader(stream)) return;
  const int64_t first = stream.Position();
  Reader reader(*this, stream);
  reader.ReadPages(first);
}

// ------------------------------------------------------------------------------------ entries, values

int32_t TIETIFFHandler::AddPage() {
  pages_.emplace_back();
  return PageCount() - 1;
}

int32_t TIETIFFHandler::IndexOf(const TIETIFFEntries& entries, uint16_t tag) {
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].Tag == tag) return static_cast<int32_t>(i);
  return -1;
}

int32_t TIETIFFHandler::FindTag(int32_t pageIndex, uint16_t tag) const {
  if (pageIndex < 0 || pageIndex >= PageCount()) return -1;
  return IndexOf(pages_[pageIndex], tag);
}

int64_t TIETIFFHandler::GetTagValue(const TIETIFFEntries& entries, uint16_t tag, int32_t itemIndex) const {
  return GetEntryValue(entries, IndexOf(entries, tag), itemIndex);
}

int64_t TIETIFFHandler::GetEntryValue(const TIETIFFEntries& entries, int32_t entryIndex, int32_t itemIndex) const {
  if (entryIndex < 0 || entryIndex >= static_cast<int32_t>(entries.size()) || itemIndex < 0) return 0;
  const TIETIFFEntry& e = entries[entryIndex];
  if (static_cast<uint32_t>(itemIndex) >= e.DataNum) return 0;
  const int32_t size = TIFFTypeSize(e.DataType);
  const uint8_t* base;
  const size_t at = static_cast<size_t>(itemIndex) * size;
  if (e.Kind == TIETIFFEntry::ekData) {
    if (at + size > e.Data.size()) return 0;
    base = e.Data.data() + at;
  } else if (e.Kind == TIETIFFEntry::ekInline) {
    if (at + size > 4) return 0;
    base = e.Value + at;
  } else {
    return 0;
  }
  switch (e.DataType) {
    case ttBYTE: case ttASCII: case ttUNDEFINED: return base[0];
    case ttSBYTE: return static_cast<int8_t>(base[0]);
    case ttSHORT: case ttSSHORT: return IEGetU16(base, bigEndian_);
    case ttLONG: case ttIFD: return IEGetU32(base, bigEndian_);
    case ttSLONG: return static_cast<int32_t>(IEGetU32(base, bigEndian_));
    default: return 0;
  }
}

const std::vector<uint8_t>* TIETIFFHandler::GetEntryBlock(const TIETIFFEntries& entries, int32_t entryIndex,
                                                          int32_t itemIndex) {
  if (entryIndex < 0 || entryIndex >= static_cast<int32_t>(entries.size())) return nullptr;
  const TIETIFFEntry& e = entries[entryIndex];
  if (e.Kind != TIETIFFEntry::ekBlocks || itemIndex < 0 || itemIndex >= static_cast<int32_t>(e.Blocks.size()))
    return nullptr;
  return &e.Blocks[itemIndex];
}

void TIETIFFHandler::PutValue(uint8_t* p, uint64_t value, int32_t size) const {
  for (int32_t i = 0; i < size; ++i) {
    const int shift = 8 * (bigEndian_ ? size - 1 - i : i);
    p[i] = static_cast<uint8_t>(value >> shift);
  }
}

void TIETIFFHandler::DeleteEntry(TIETIFFEntries& entries, int32_t index, bool) {
  if (index < 0 || index >= static_cast<int32_t>(entries.size())) return;
  entries.erase(entries.begin() + index);
}

void TIETIFFHandler::DeleteTag(int32_t pageIndex, int32_t entryIndex) {
  if (pageIndex < 0 || pageIndex >= PageCount()) return;
  DeleteEntry(pages_[pageIndex], entryIndex, true);
}

void TIETIFFHandler::AddTag(TIETIFFEntries& entries, uint16_t tag, double value, uint16_t type) {
  DeleteEntry(entries, IndexOf(entries, tag), true);
  TIETIFFEntry e;
  e.Tag = tag;
  e.DataType = type;
  e.DataNum = 1;
  const int64_t integer = static_cast<int64_t>(std::trunc(value));
  switch (type) {
    case ttRATIONAL:
    case ttSRATIONAL: {
      e.Data.resize(8);
      PutValue(e.Data.data(), static_cast<uint64_t>(static_cast<int64_t>(std::trunc(value * 10000))), 4);
      PutValue(e.Data.data() + 4, 10000, 4);
      e.Kind = TIETIFFEntry::ekData;
      break;
    }
    case ttFLOAT: {
      const float f = static_cast<float>(value);
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      PutValue(e.Value, bits, 4);
      break;
    }
    case ttDOUBLE: {
      uint64_t bits;
      std::memcpy(&bits, &value, 8);
      e.Data.resize(8);
      PutValue(e.Data.data(), bits, 8);
      e.Kind = TIETIFFEntry::ekData;
      break;
    }
    default:
      PutValue(e.Value, static_cast<uint64_t>(integer), std::min(TIFFTypeSize(type), 4));
      break;
  }
  entries.push_back(std::move(e));
}

void TIETIFFHandler::AddTag(TIETIFFEntries& entries, uint16_t tag, const std::string& text) {
  DeleteEntry(entries, IndexOf(entries, tag), true);
  TIETIFFEntry e;
  e.Tag = tag;
  e.DataType = ttASCII;
  e.DataNum = static_cast<uint32_t>(text.size() + 1);
  if (text.size() + 1 > 4) {
    e.Data.assign(text.begin(), text.end());
    e.Data.push_back(0);
    e.Kind = TIETIFFEntry::ekData;
  } else {
    std::memcpy(e.Value, text.c_str(), text.size() + 1);
  }
  entries.push_back(std::move(e));
}

void TIETIFFHandler::CopyTag(int32_t sourcePage, int32_t sourceEntryIndex, const TIETIFFHandler& source,
                             int32_t destinationPage) {
  if (sourcePage < 0 || sourcePage >= source.PageCount() || destinationPage < 0 || destinationPage >= PageCount())
    return;
  CopyEntry(source.pages_[sourcePage], sourceEntryIndex, pages_[destinationPage], source);
}

void TIETIFFHandler::CopyEntry(const TIETIFFEntries& sourceEntries, int32_t index, TIETIFFEntries& destination,
                               const TIETIFFHandler& source) {
  if (index < 0 || index >= static_cast<int32_t>(sourceEntries.size()) || source.bigEndian_ != bigEndian_) return;
  TIETIFFEntry copy = sourceEntries[index];  // deep: values, sub-directory and blocks
  DeleteEntry(destination, IndexOf(destination, copy.Tag), true);
  destination.push_back(std::move(copy));
}

void TIETIFFHandler::SortEntries(TIETIFFEntries& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TIETIFFEntry& a, const TIETIFFEntry& b) { return a.Tag < b.Tag; });
}

void TIETIFFHandler::SortPage(int32_t pageIndex) {
  if (pageIndex >= 0 && pageIndex < PageCount()) SortEntries(pages_[pageIndex]);
}

// -------------------------------------------------------------------------------------------- writing

void TIETIFFHandler::WriteFile(const std::string& fileName, int32_t pageIndex) {
  TSafeFileStream file(fileName);
  WriteStream(file, pageIndex);
  file.Commit();
}

void TIETIFFHandler::WriteStream(TStream& stream, int32_t pageIndex) {
  const int64_t header = stream.Position();
  uint8_t h[8];
  h[0] = h[1] = bigEndian_ ? 'M' : 'I';
  PutValue(h + 2, version_, 2);
  PutValue(h + 4, static_cast<uint64_t>(header + 8), 4);
  stream.WriteBuffer(h, 8);

  std::vector<int32_t> written;
  if (pageIndex < 0 || pageIndex >= PageCount()) {
    for (int32_t i = 0; i < PageCount(); ++i) written.push_back(i);
  } else {
    written.push_back(pageIndex);
  }
  if (written.empty()) {
    // A TIFF needs a directory: an empty one.
    WriteZeros(stream, 6);
    return;
  }
  for (size_t k = 0; k < written.size(); ++k) {
    TIETIFFEntries& page = pages_[written[k]];
    SortEntries(page);
    int64_t next = 0;
    const int64_t field = WriteIFD(stream, page, next);
    stream.Seek(next, soBeginning);
    AlignEven(stream);
    const int64_t following = stream.Position();
    if (k + 1 < written.size()) {
      uint8_t b[4];
      PutValue(b, static_cast<uint64_t>(following), 4);
      stream.Seek(field, soBeginning);
      stream.WriteBuffer(b, 4);
      stream.Seek(following, soBeginning);
    }
  }
}

// Writes a directory at the stream's position with its data after it; the next-IFD field is left 0.
// Returns the field's position; next receives the end of the data.
int64_t TIETIFFHandler::WriteIFD(TStream& stream, TIETIFFEntries& entries, int64_t& next) const {
  const bool fakeStrips = IndexOf(entries, kTagJPEGInterchangeFormat) >= 0 && IndexOf(entries, kTagStripOffsets) < 0;
  const int64_t count = static_cast<int64_t>(entries.size()) + (fakeStrips ? 1 : 0);
  const int64_t dir = stream.Position();
  uint8_t b[2];
  PutValue(b, static_cast<uint64_t>(count), 2);
  stream.WriteBuffer(b, 2);
  WriteZeros(stream, count * 12 + 4);

  std::vector<RawEntry> table;
  for (TIETIFFEntry& e : entries) {
    RawEntry raw = WriteEntryData(stream, e);
    table.push_back(raw);
    if (fakeStrips && e.Tag == kTagJPEGInterchangeFormat) {
      // Old-style JPEG readers want StripOffsets at the start-of-scan marker of the JPEG stream.
      const int64_t jpeg = IEGetU32(raw.value, bigEndian_);
      int64_t sos = 0;
      if (!e.Blocks.empty()) {
        const auto& s = e.Blocks[0];
        for (size_t i = 0; i + 1 < s.size(); ++i)
          if (s[i] == 0xFF && s[i + 1] == 0xDA) {
            sos = static_cast<int64_t>(i);
            break;
          }
      }
      RawEntry strips{kTagStripOffsets, ttLONG, 1, {}};
      PutValue(strips.value, static_cast<uint64_t>(jpeg + sos), 4);
      table.push_back(strips);
    }
  }
  next = stream.Position();
  std::stable_sort(table.begin(), table.end(), [](const RawEntry& a, const RawEntry& c) { return a.tag < c.tag; });
  stream.Seek(dir + 2, soBeginning);
  for (const RawEntry& raw : table) {
    uint8_t out[12];
    PutValue(out, raw.tag, 2);
    PutValue(out + 2, raw.type, 2);
    PutValue(out + 4, raw.count, 4);
    std::memcpy(out + 8, raw.value, 4);
    stream.WriteBuffer(out, 12);
  }
  const int64_t field = stream.Position();
  stream.Seek(next, soBeginning);
  return field;
}

TIETIFFHandler::RawEntry TIETIFFHandler::WriteEntryData(TStream& stream, TIETIFFEntry& e) const {
  RawEntry raw{e.Tag, e.DataType, e.DataNum, {}};
  std::memcpy(raw.value, e.Value, 4);
  switch (e.Kind) {
    case TIETIFFEntry::ekInline:
      break;
    case TIETIFFEntry::ekData:
      AlignEven(stream);
      PutValue(raw.value, static_cast<uint64_t>(stream.Position()), 4);
      WriteBytes(stream, e.Data);
      break;
    case TIETIFFEntry::ekSubIFD: {
      AlignEven(stream);
      PutValue(raw.value, static_cast<uint64_t>(stream.Position()), 4);
      raw.count = 1;
      SortEntries(e.SubIFD);
      int64_t next = 0;
      WriteIFD(stream, e.SubIFD, next);
      break;
    }
    case TIETIFFEntry::ekBlocks: {
      raw.type = ttLONG;
      raw.count = static_cast<uint32_t>(e.Blocks.size());
      std::vector<uint8_t> offsets(e.Blocks.size() * 4);
      for (size_t i = 0; i < e.Blocks.size(); ++i) {
        PutValue(offsets.data() + i * 4, static_cast<uint64_t>(stream.Position()), 4);
        WriteBytes(stream, e.Blocks[i]);
      }
      if (e.Blocks.size() <= 1) {
        std::memset(raw.value, 0, 4);
        if (!offsets.empty()) std::memcpy(raw.value, offsets.data(), 4);
      } else {
        AlignEven(stream);
        PutValue(raw.value, static_cast<uint64_t>(stream.Position()), 4);
        WriteBytes(stream, offsets);
      }
      break;
    }
  }
  return raw;
}
