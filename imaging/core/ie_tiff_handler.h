#pragma once
// TIETIFFHandler: a whole TIFF held in memory as pages of directory entries, with their out-of-line
// values, sub-directories (EXIF, GPS, interoperability) and strip, tile and JPEG data, so that tags
// can be found, copied between files and deleted, and a complete TIFF written again. The TIFF tag
// copier of the TIFF codec uses it to carry the tags of one file into another.
//
// Reading trusts nothing in the file: every entry, value and data range is checked against the
// stream, directory chains and sub-directories are cycle-checked and bounded, and the memory a file
// can make the handler copy is bounded by a budget proportional to the file's size.
#include <cstdint>
#include <string>
#include <vector>

class TStream;

// TIFF field types and their sizes in bytes, indexed by type - 1 (BYTE .. DOUBLE).
inline constexpr uint16_t TIFFTagTypeSizes[12] = {1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
enum TIFFFieldType : uint16_t {
  ttBYTE = 1, ttASCII, ttSHORT, ttLONG, ttRATIONAL, ttSBYTE, ttUNDEFINED, ttSSHORT, ttSLONG, ttSRATIONAL,
  ttFLOAT, ttDOUBLE, ttIFD
};
// Bytes per item of a field type; types the table does not know count 1 byte per item (IFD: 4).
int32_t TIFFTypeSize(uint16_t type);
// Bytes of Count values of a field type, in 64 bits: what a directory entry claims before anything
// of it is read or allocated.
inline int64_t TIFFValueBytes(uint16_t FieldType, uint32_t Count) {
  return static_cast<int64_t>(Count) * TIFFTypeSize(FieldType);
}

// One directory entry. Values are kept in the file's byte order.
struct TIETIFFEntry {
  uint16_t Tag = 0;
  uint16_t DataType = 0;
  uint32_t DataNum = 0;
  uint8_t Value[4] = {};  // the value field: an in-line value (up to 4 bytes)
  enum TKind : uint8_t { ekInline, ekData, ekSubIFD, ekBlocks };
  TKind Kind = ekInline;
  std::vector<uint8_t> Data;                 // ekData: the out-of-line value bytes
  std::vector<TIETIFFEntry> SubIFD;          // ekSubIFD: the sub-directory's entries
  std::vector<std::vector<uint8_t>> Blocks;  // ekBlocks: one data block per strip, tile or stream
};
using TIETIFFEntries = std::vector<TIETIFFEntry>;

class TIETIFFHandler {
 public:
  TIETIFFHandler() = default;
  // CreateFromFile: an empty handler for a missing file; file errors raise the platform's errors.
  explicit TIETIFFHandler(const std::string& fileName);
  // CreateFromStream: the TIFF must start at position 0 (offsets are stream positions).
  explicit TIETIFFHandler(TStream& stream);

  void LoadFromFile(const std::string& fileName);
  void LoadFromStream(TStream& stream);
  // Reads the 8-byte header; true when it starts with "II" or "MM", and then the stream stands on
  // the first directory.
  bool ReadHeader(TStream& stream);

  bool BigEndian() const { return bigEndian_; }
  uint16_t Version() const { return version_; }
  int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  TIETIFFEntries& Page(int32_t index) { return pages_.at(static_cast<size_t>(index)); }
  const TIETIFFEntries& Page(int32_t index) const { return pages_.at(static_cast<size_t>(index)); }
  // Appends an empty page (a new handler starts with none); returns its index.
  int32_t AddPage();

  // The entry index of the tag in that page; -1 when absent or the page does not exist.
  int32_t FindTag(int32_t pageIndex, uint16_t tag) const;
  static int32_t IndexOf(const TIETIFFEntries& entries, uint16_t tag);
  // Item itemIndex of a value as an integer (0 when the tag, entry or item is absent): BYTE, ASCII,
  // UNDEFINED unsigned, SBYTE signed, SHORT and SSHORT unsigned 16 bits, LONG unsigned and SLONG
  // signed 32 bits, other types 0. For a strip/tile/JPEG offsets tag after loading the offsets are
  // gone (they are rewritten when saving): its items are reached with GetEntryBlock instead.
  int64_t GetTagValue(const TIETIFFEntries& entries, uint16_t tag, int32_t itemIndex) const;
  int64_t GetEntryValue(const TIETIFFEntries& entries, int32_t entryIndex, int32_t itemIndex) const;
  static const std::vector<uint8_t>* GetEntryBlock(const TIETIFFEntries& entries, int32_t entryIndex,
                                                   int32_t itemIndex);

  // Removes an entry with its data, sub-directory and blocks; index < 0 does nothing. (Data is
  // always owned by the entry; FreeData is kept for callers that name it.)
  void DeleteEntry(TIETIFFEntries& entries, int32_t index, bool freeData = true);
  void DeleteTag(int32_t pageIndex, int32_t entryIndex);
  void Clear() { pages_.clear(); }

  // Replaces the tag with a one-item value of the given type, in the file's byte order. RATIONAL and
  // SRATIONAL store Trunc(value * 10000) / 10000; FLOAT and DOUBLE the value itself.
  void AddTag(TIETIFFEntries& entries, uint16_t tag, double value, uint16_t type);
  // An ASCII entry: the text and a zero byte.
  void AddTag(TIETIFFEntries& entries, uint16_t tag, const std::string& text);

  // Copies one entry (deeply) from another handler, replacing the entry with the same tag; nothing
  // when a page is missing, the index is negative or the byte orders differ.
  void CopyTag(int32_t sourcePage, int32_t sourceEntryIndex, const TIETIFFHandler& source, int32_t destinationPage);
  void CopyEntry(const TIETIFFEntries& sourceEntries, int32_t index, TIETIFFEntries& destination,
                 const TIETIFFHandler& source);

  static void SortEntries(TIETIFFEntries& entries);
  void SortPage(int32_t pageIndex);

  // Writes all pages when pageIndex < 0 or not below the page count, else that page alone. The file
  // is replaced only once it was written completely.
  void WriteFile(const std::string& fileName, int32_t pageIndex);
  void WriteStream(TStream& stream, int32_t pageIndex);

 private:
  class Reader;
  struct RawEntry {
    uint16_t tag, type;
    uint32_t count;
    uint8_t value[4];
  };
  int64_t WriteIFD(TStream& stream, TIETIFFEntries& entries, int64_t& next) const;
  RawEntry WriteEntryData(TStream& stream, TIETIFFEntry& entry) const;
  void PutValue(uint8_t* p, uint64_t value, int32_t size) const;

  bool bigEndian_ = false;
  uint16_t version_ = 42;
  std::vector<TIETIFFEntries> pages_;
};
