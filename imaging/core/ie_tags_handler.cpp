#include "imaging/core/ie_tags_handler.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_streams.h"

namespace {

std::vector<uint8_t> Bytes(const char* text, size_t size) {
  return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(text), reinterpret_cast<const uint8_t*>(text) + size);
}

// Bytes per item, indexed by type (entry 0 = 1); types above 12 count 1 byte.
constexpr int32_t kTypeSizes[13] = {1, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
int32_t TypeSize(uint16_t type) { return type <= 12 ? kTypeSizes[type] : 1; }

// Size of the unit whose bytes a change of byte order reverses: rationals are two 4-byte numbers.
int32_t SwapUnit(uint16_t type) {
  if (type == 5 || type == 10) return 4;
  return type <= 12 ? kTypeSizes[type] : 1;
}

// Reverses every unit of the value between big- and little-endian order.
void SwapItems(uint8_t* p, int64_t bytes, uint16_t type) {
  const int32_t unit = SwapUnit(type);
  if (unit < 2) return;
  for (int64_t i = 0; i + unit <= bytes; i += unit) std::reverse(p + i, p + i + unit);
}

constexpr int32_t kMaxEntries = 256;

}  // namespace

const TIEEXIFMakerNoteDeviceInfo MakerNoteDeviceTable[8] = {
    {Bytes("SONY CAM \0\0\0", 12), 0, 0, {}, 0},
    {Bytes("SONY DSC \0\0\0", 12), 0, 0, {}, 0},
    {Bytes("Nikon\0\x02\x10\0\0", 10), 1, 1, {}, 1},
    {Bytes("QVC\0\0\0", 6), 0, 0, {}, 3},
    {Bytes("EPSON\0\x01\0", 8), 0, 0, {}, 0},
    {Bytes("Nikon\0\x01\0", 8), 0, 0, {}, 0},
    {Bytes("Panasonic\0\0\0", 12), 0, 0, {}, 0},
    {Bytes("FUJIFILM", 8), 1, 2, {}, 2},
};

void TIETagsHandler::Clear() {
  raw_.clear();
  device_ = TIEEXIFMakerNoteDeviceInfo();
  entries_.clear();
  entryStream_.Clear();
}

void TIETagsHandler::Assign(const TIETagsHandler* source) {
  if (!source || source == this) return;
  Clear();
  auto& from = const_cast<TMemoryStream&>(source->entryStream_);
  const int64_t keep = from.Position();
  if (from.Size() > 0) CopyStreamData(entryStream_, from, 0);
  from.SetPosition(keep);
  UpdateEntryTable();
  raw_ = source->raw_;
  device_ = source->device_;
}

void TIETagsHandler::SetRawData(std::vector<uint8_t> block) { raw_ = std::move(block); }

void TIETagsHandler::IdentifyMakerNote() {
  device_ = TIEEXIFMakerNoteDeviceInfo();
  if (raw_.empty()) return;
  for (const auto& row : MakerNoteDeviceTable) {
    const size_t n = std::min(raw_.size(), row.Signature.size());
    if (std::memcmp(raw_.data(), row.Signature.data(), n) == 0) {
      device_ = row;
      return;
    }
  }
}

void TIETagsHandler::UpdateEntryTable() {
  entries_.clear();
  const int64_t size = entryStream_.Size();
  if (size < 2) return;
  TIEByteReader r(entryStream_.Memory(), size);
  const int64_t count = std::min<int64_t>(r.U16(), (size - 2) / 12);
  for (int64_t i = 0; i < count; ++i) {
    TIETagEntry e;
    e.Tag = r.U16();
    e.DataType = r.U16();
    e.DataNum = r.U32();
    e.Value = r.U32();
    entries_.push_back(e);
  }
}

void TIETagsHandler::ReadFromStream(TStream& stream, int32_t size, bool littleEndian) {
  Clear();
  const int64_t p0 = stream.Position();
  if (size < 2) return;
  // The size comes from the file: read only what the stream really holds.
  TIEByteReader in(stream);
  if (!in.ReadBytes(std::min<int64_t>(size, in.Remaining()), raw_) || raw_.size() < 2) {
    Clear();
    return;
  }
  const int64_t n = static_cast<int64_t>(raw_.size());
  IdentifyMakerNote();

  TIEByteReader r(raw_.data(), n);
  int64_t q = static_cast<int64_t>(device_.Signature.size());
  int64_t base = 0;
  if (device_.HeaderKind == 1) {
    if (!TIEByteReader::RangeInside(q, 8, n)) return Clear();
    base = q;
    std::memcpy(device_.Header, raw_.data() + q, 8);
    q += 8;
  } else if (device_.HeaderKind == 2) {
    if (!r.Seek(q)) return Clear();
    q = q + static_cast<int64_t>(r.U32()) - 8;
    if (r.Failed() || q < 0 || q > n) return Clear();
  }
  bool bigEndian;
  switch (device_.ByteOrder) {
    case 1: bigEndian = !(device_.Header[0] == 'I' && device_.Header[1] == 'I'); break;
    case 2: bigEndian = false; break;
    case 3: bigEndian = true; break;
    default: bigEndian = !littleEndian; break;
  }
  r.SetBigEndian(bigEndian);
  r.Seek(q);
  const int64_t count = r.U16();
  q += 2;
  if (r.Failed() || count > kMaxEntries || q + count * 12 > n) return Clear();

  // Entries overlapping the same bytes cannot make the copy much larger than the note.
  int64_t budget = 4 * n + 65536;
  std::vector<uint8_t> table(static_cast<size_t>(2 + count * 12));
  std::vector<uint8_t> values;
  IEPutU16(table.data(), static_cast<uint16_t>(count), false);
  const int64_t dataStart = 2 + count * 12;
  for (int64_t i = 0; i < count; ++i) {
    r.Seek(q + i * 12);
    TIETagEntry e;
    e.Tag = r.U16();
    e.DataType = r.U16();
    e.DataNum = r.U32();
    uint8_t value[4];
    r.Read(value, 4);
    const int64_t bytes = static_cast<int64_t>(e.DataNum) * TypeSize(e.DataType);
    if (bytes > 4) {
      const int64_t stored = IEGetU32(value, bigEndian);
      const int64_t offset = device_.OffsetBase == 0 ? stored - p0 : stored + base;
      if (!TIEByteReader::RangeInside(offset, bytes, n) || bytes > budget) {
        e.DataNum = 0;
        e.Value = 0;
      } else {
        budget -= bytes;
        e.Value = static_cast<uint32_t>(dataStart + static_cast<int64_t>(values.size()));
        const size_t at = values.size();
        values.insert(values.end(), raw_.begin() + offset, raw_.begin() + offset + bytes);
        if (bigEndian) SwapItems(values.data() + at, bytes, e.DataType);
      }
    } else {
      if (bigEndian) SwapItems(value, bytes, e.DataType);
      e.Value = IEGetU32(value, false);
    }
    uint8_t* out = table.data() + 2 + i * 12;
    IEPutU16(out, e.Tag, false);
    IEPutU16(out + 2, e.DataType, false);
    IEPutU32(out + 4, e.DataNum, false);
    IEPutU32(out + 8, e.Value, false);
  }
  entryStream_.WriteBuffer(table.data(), static_cast<int32_t>(table.size()));
  if (!values.empty()) entryStream_.WriteBuffer(values.data(), static_cast<int32_t>(values.size()));
  entryStream_.SetPosition(0);
  UpdateEntryTable();
}

int32_t TIETagsHandler::WriteToStream(TStream& stream) {
  const int64_t start = stream.Position();
  const bool bigEndian = device_.HeaderKind == 1 ? !(device_.Header[0] == 'I' && device_.Header[1] == 'I')
                                                 : device_.ByteOrder == 3;
  const int64_t sig = static_cast<int64_t>(device_.Signature.size());
  const int64_t header = device_.HeaderKind == 1 ? 8 : device_.HeaderKind == 2 ? 4 : 0;
  const int64_t count = EntryCount();
  const int64_t dir = sig + header;  // the directory, counted from the note's start
  int64_t total = dir + 2 + count * 12 + 4;
  for (const TIETagEntry& e : entries_) {
    const int64_t bytes = static_cast<int64_t>(e.DataNum) * TypeSize(e.DataType);
    if (bytes > 4) total += bytes + (bytes & 1);
  }
  if (total > kMaxWrittenSize) return 0;

  // Where offsets count from, as a position in the note.
  int64_t origin;
  if (device_.OffsetBase == 0) origin = -start;  // the stream's start: the enclosing TIFF's origin
  else if (device_.HeaderKind == 1) origin = sig;
  else origin = 0;

  std::vector<uint8_t> out(static_cast<size_t>(total), 0);
  std::copy(device_.Signature.begin(), device_.Signature.end(), out.begin());
  if (device_.HeaderKind == 1) {
    std::memcpy(out.data() + sig, device_.Header, 8);
    const int64_t field = device_.OffsetBase == 1 ? 8 : start + dir;
    IEPutU32(out.data() + sig + 4, static_cast<uint32_t>(field), bigEndian);
  } else if (device_.HeaderKind == 2) {
    IEPutU32(out.data() + sig, static_cast<uint32_t>(dir), false);
  }
  IEPutU16(out.data() + dir, static_cast<uint16_t>(count), bigEndian);
  int64_t d = dir + 2 + count * 12 + 4;
  const auto* stored = static_cast<const uint8_t*>(entryStream_.Memory());
  const int64_t storedSize = entryStream_.Size();
  for (int64_t i = 0; i < count; ++i) {
    const TIETagEntry& e = entries_[static_cast<size_t>(i)];
    const int64_t bytes = static_cast<int64_t>(e.DataNum) * TypeSize(e.DataType);
    uint8_t value[4];
    if (bytes > 4) {
      if (TIEByteReader::RangeInside(e.Value, bytes, storedSize)) {
        std::memcpy(out.data() + d, stored + e.Value, static_cast<size_t>(bytes));
        if (bigEndian) SwapItems(out.data() + d, bytes, e.DataType);
      }
      IEPutU32(value, static_cast<uint32_t>(d - origin), bigEndian);
      d += bytes + (bytes & 1);
    } else {
      IEPutU32(value, e.Value, false);
      if (bigEndian) SwapItems(value, bytes, e.DataType);
    }
    uint8_t* slot = out.data() + dir + 2 + i * 12;
    IEPutU16(slot, e.Tag, bigEndian);
    IEPutU16(slot + 2, e.DataType, bigEndian);
    IEPutU32(slot + 4, e.DataNum, bigEndian);
    std::memcpy(slot + 8, value, 4);
  }
  stream.WriteBuffer(out.data(), static_cast<int32_t>(out.size()));
  return static_cast<int32_t>(total);
}
