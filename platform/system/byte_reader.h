#pragma once
// The one checked reader for binary structures. Every parser of file data (metadata blocks,
// tag directories, codec headers) reads through it instead of doing pointer arithmetic on the bytes:
// each read is checked against the end of the data, and a short read returns zero and raises a sticky
// failure flag instead of reading out of bounds. Integers are read in the reader's byte order.
//
// It works over a memory block or over a stream. Over a stream, positions are stream positions and
// the data ends at the stream's size (taken once, when the reader is made).
#include <cstdint>
#include <vector>

class TStream;

class TIEByteReader {
 public:
  TIEByteReader(const void* data, int64_t size, bool bigEndian = false);
  explicit TIEByteReader(TStream& stream, bool bigEndian = false);

  bool BigEndian() const { return bigEndian_; }
  void SetBigEndian(bool value) { bigEndian_ = value; }

  int64_t Size() const { return size_; }
  int64_t Position() const { return position_; }
  int64_t Remaining() const { return size_ - position_; }
  // True once any read, seek or skip asked for bytes that are not there.
  bool Failed() const { return failed_; }
  void ClearFailed() { failed_ = false; }

  // Moves to an absolute position in [0, Size]; outside it nothing moves and the reader fails.
  bool Seek(int64_t position);
  bool Skip(int64_t count);
  // Whether count bytes are there from the position (count < 0 is never there).
  bool Has(int64_t count) const { return count >= 0 && count <= Remaining(); }
  // Whether [offset, offset + count) lies inside the data (overflow-safe).
  bool RangeInside(int64_t offset, int64_t count) const { return RangeInside(offset, count, size_); }
  static bool RangeInside(int64_t offset, int64_t count, int64_t size) {
    return offset >= 0 && count >= 0 && offset <= size && count <= size - offset;
  }

  // All-or-nothing reads: on short data nothing moves, the result is 0 (or false) and Failed() is set.
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  uint64_t U64();
  int8_t I8() { return static_cast<int8_t>(U8()); }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64();
  bool Read(void* buffer, int64_t count);
  // Reads count bytes into out; the size is checked against what is there before anything is allocated.
  bool ReadBytes(int64_t count, std::vector<uint8_t>& out);
  // Whether the next bytes equal the given ones (no move, no failure).
  bool Matches(const void* bytes, int64_t count);

  // Over a memory block: the address of count bytes at the position, or nullptr when they are not
  // all there (the reader then fails). Over a stream always nullptr.
  const uint8_t* Peek(int64_t count);

 private:
  bool Fetch(void* buffer, int64_t count);
  uint64_t Ordered(const uint8_t* bytes, int count) const;

  const uint8_t* data_ = nullptr;
  TStream* stream_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
  bool bigEndian_ = false;
  bool failed_ = false;
};

// Byte-order helpers for building structures in memory.
inline uint16_t IEGetU16(const uint8_t* p, bool bigEndian) {
  return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t IEGetU32(const uint8_t* p, bool bigEndian) {
  return bigEndian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                   : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}
inline void IEPutU16(uint8_t* p, uint16_t v, bool bigEndian) {
  if (bigEndian) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
  else { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
}
inline void IEPutU32(uint8_t* p, uint32_t v, bool bigEndian) {
  if (bigEndian) { p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v); }
  else { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24); }
}
