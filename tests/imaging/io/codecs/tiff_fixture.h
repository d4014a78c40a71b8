#pragma once
// Builds TIFF files byte by byte for the reader's tests: any byte order, entries of any type and
// count, strip or tile data placed where the test says, chains of directories linked as asked.
#include <cstdint>
#include <string>
#include <vector>

class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : big_(bigEndian) {}

  // Starts a new directory; entries go to the last one.
  TiffBuilder& Page();
  TiffBuilder& Short(uint16_t tag, std::vector<uint32_t> values);
  TiffBuilder& Long(uint16_t tag, std::vector<uint32_t> values);
  TiffBuilder& Rational(uint16_t tag, std::vector<uint32_t> numDen, uint16_t type = 5);
  TiffBuilder& Ascii(uint16_t tag, const std::string& text, bool terminate = true);
  // Any type with the value bytes given in file order (inline when at most 4).
  TiffBuilder& Raw(uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> bytes);
  // An entry whose value field is the given word, written as is (offsets pointing anywhere).
  TiffBuilder& Word(uint16_t tag, uint16_t type, uint32_t count, uint32_t value);
  // A data block (strip, tile, table) placed after the header; returns its id.
  int32_t Blob(std::vector<uint8_t> bytes);
  // An offsets entry whose items are the file offsets of the given blobs (LONG), and the matching
  // byte counts entry.
  TiffBuilder& Strips(const std::vector<int32_t>& blobs, uint16_t offsetsTag = 273, uint16_t countsTag = 279);

  // The file: Prefix bytes first, the TIFF after them. With Absolute the offsets count from the
  // start of the returned bytes (a TIFF written after other data), else from the TIFF's first byte.
  // NextOverride[i] (when set) replaces directory i's next offset; Version the version word.
  std::vector<uint8_t> Build(const std::vector<uint8_t>& prefix = {}, bool absolute = false) const;
  std::vector<int64_t> NextOverride;
  uint16_t Version = 42;
  // Drops the next-offset field of the last directory (the file ends inside it).
  bool TruncateLastNext = false;
  // The directories' offsets (from the TIFF's first byte) of the last Build.
  mutable std::vector<uint32_t> IfdOffsets;

 private:
  struct Entry {
    uint16_t tag = 0, type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;   // value bytes in file order
    bool wordValue = false;
    uint32_t word = 0;
    std::vector<int32_t> blobOffsets;  // resolved to blob offsets at build
    std::vector<int32_t> blobCounts;   // resolved to blob sizes at build
  };
  static Entry MakeEntry(uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> bytes);
  void Put16(std::vector<uint8_t>& b, uint32_t v) const;
  void Put32(std::vector<uint8_t>& b, uint32_t v) const;
  bool big_;
  std::vector<std::vector<Entry>> pages_;
  std::vector<std::vector<uint8_t>> blobs_;
};
