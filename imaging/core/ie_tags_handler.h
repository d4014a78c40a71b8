#pragma once
// TIETagsHandler keeps the EXIF maker note (tag 37500) of a parameter record. The TIFF reader hands
// it the raw note; it recognises the camera maker's layout and keeps a normalised copy of the note's
// directory, the entry stream, that the engine reads: a little-endian uint16 entry count, then
// 12-byte entries {tag uint16, type uint16, count uint32, value or offset uint32}, then the
// out-of-line values, every number little-endian and offsets counted from the start of the entry
// stream. The TIFF writer writes it back in the maker's own layout.
#include <cstdint>
#include <vector>

#include "platform/system/streams.h"

// How a maker's note is laid out.
struct TIEEXIFMakerNoteDeviceInfo {
  std::vector<uint8_t> Signature;  // the bytes the note starts with
  // 0: value offsets count from the origin of the enclosing TIFF; 1: from the embedded header
  // (header kind 1) or from the note's start (header kind 2).
  uint8_t OffsetBase = 0;
  // 0: the directory follows the signature; 1: an 8-byte TIFF header follows it (kept in Header);
  // 2: a 4-byte little-endian offset of the directory, counted from the note's start, follows it.
  uint8_t HeaderKind = 0;
  uint8_t Header[8] = {};
  // 0: the enclosing TIFF's order; 1: the embedded header's; 2: little-endian; 3: big-endian.
  uint8_t ByteOrder = 0;
};

// The known layouts, tried in order after the default (empty signature, all 0).
extern const TIEEXIFMakerNoteDeviceInfo MakerNoteDeviceTable[8];

// One entry of the entry stream.
struct TIETagEntry {
  uint16_t Tag = 0;
  uint16_t DataType = 0;
  uint32_t DataNum = 0;
  uint32_t Value = 0;  // the value itself (up to 4 bytes, little-endian) or its offset in the entry stream
};

class TIETagsHandler {
 public:
  // The largest note WriteToStream writes (a note of this size or more is refused).
  static constexpr int32_t kMaxWrittenSize = 65000;

  TIETagsHandler() = default;
  TIETagsHandler(const TIETagsHandler&) = delete;
  TIETagsHandler& operator=(const TIETagsHandler&) = delete;

  void Clear();
  void Assign(const TIETagsHandler* source);
  // Reads a maker note of size bytes at the stream's position; littleEndian is the enclosing TIFF's
  // byte order, and offset base 0 takes the stream's position 0 as the TIFF's origin. A note that is
  // too short, has more than 256 entries or more entries than bytes leaves the handler empty; values
  // that point outside the note keep their entry with count and value 0.
  void ReadFromStream(TStream& stream, int32_t size, bool littleEndian);
  // Writes the note in its maker's layout at the stream's position; returns the bytes written, or 0
  // (writing nothing) when the note would take more than kMaxWrittenSize bytes.
  int32_t WriteToStream(TStream& stream);
  // Re-reads the count and entries from the start of the entry stream (for callers that fill the
  // entry stream themselves).
  void UpdateEntryTable();
  // Picks the layout whose signature the raw note starts with.
  void IdentifyMakerNote();
  void SetRawData(std::vector<uint8_t> block);

  const std::vector<uint8_t>& RawData() const { return raw_; }
  int32_t RawSize() const { return static_cast<int32_t>(raw_.size()); }
  const TIEEXIFMakerNoteDeviceInfo& DeviceInfo() const { return device_; }
  TMemoryStream& EntryStream() { return entryStream_; }
  const std::vector<TIETagEntry>& EntryTable() const { return entries_; }
  int32_t EntryCount() const { return static_cast<int32_t>(entries_.size()); }
  // The entry stream is always little-endian.
  bool LittleEndian() const { return true; }

 private:
  std::vector<uint8_t> raw_;
  TIEEXIFMakerNoteDeviceInfo device_;
  TMemoryStream entryStream_;
  std::vector<TIETagEntry> entries_;
};
