#pragma once
// Builds binary fixtures byte by byte, in either byte order, with fields patched later.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

class ByteBuilder {
 public:
  explicit ByteBuilder(bool bigEndian = false) : big_(bigEndian) {}
  size_t Size() const { return bytes_.size(); }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  const uint8_t* Data() const { return bytes_.data(); }

  ByteBuilder& U8(uint8_t v) { bytes_.push_back(v); return *this; }
  ByteBuilder& U16(uint16_t v) { return Put(v, 2); }
  ByteBuilder& U32(uint32_t v) { return Put(v, 4); }
  ByteBuilder& Raw(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); return *this; }
  ByteBuilder& Raw(const std::vector<uint8_t>& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); return *this; }
  ByteBuilder& Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); return *this; }
  // Writes v at an earlier offset.
  void Patch32(size_t at, uint32_t v) { PutAt(at, v, 4); }
  void Patch16(size_t at, uint16_t v) { PutAt(at, v, 2); }

 private:
  ByteBuilder& Put(uint64_t v, int n) {
    bytes_.resize(bytes_.size() + n);
    PutAt(bytes_.size() - n, v, n);
    return *this;
  }
  void PutAt(size_t at, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * (big_ ? n - 1 - i : i)));
  }
  bool big_;
  std::vector<uint8_t> bytes_;
};

}  // namespace testsupport
