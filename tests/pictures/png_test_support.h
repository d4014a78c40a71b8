#pragma once
// PNG files built chunk by chunk for the picture class's tests, and small helpers around TPNGObject.
#include <cxxabi.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <typeinfo>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pictures/png_picture.h"
#include "platform/system/streams.h"
#include "tests/support/byte_builder.h"

namespace pngtest {

// A PNG file: the signature, then chunks with their lengths and CRCs computed (or given).
class PngFile {
 public:
  PngFile() { bytes_ = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }
  PngFile& Chunk(const std::string& name, const std::vector<uint8_t>& data) {
    return ChunkWithCRC(name, data, Crc(name, data));
  }
  PngFile& ChunkWithCRC(const std::string& name, const std::vector<uint8_t>& data, uint32_t crc) {
    testsupport::ByteBuilder b(true);
    b.U32(static_cast<uint32_t>(data.size())).Raw(name).Raw(data).U32(crc);
    bytes_.insert(bytes_.end(), b.Bytes().begin(), b.Bytes().end());
    return *this;
  }
  // A chunk header that claims length bytes, followed by nothing.
  PngFile& ChunkHead(const std::string& name, uint32_t length) {
    testsupport::ByteBuilder b(true);
    b.U32(length).Raw(name);
    bytes_.insert(bytes_.end(), b.Bytes().begin(), b.Bytes().end());
    return *this;
  }
  PngFile& IHDR(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, uint8_t interlace = 0, uint8_t compression = 0) {
    testsupport::ByteBuilder b(true);
    b.U32(w).U32(h).U8(depth).U8(type).U8(compression).U8(0).U8(interlace);
    return Chunk("IHDR", b.Bytes());
  }
  PngFile& IEND() { return Chunk("IEND", {}); }
  PngFile& Raw(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  static uint32_t Crc(const std::string& name, const std::vector<uint8_t>& data) {
    uLong c = crc32(0L, reinterpret_cast<const Bytef*>(name.data()), 4);
    // zlib answers its initial value for a null buffer: no data, nothing to add.
    if (!data.empty()) c = crc32(c, data.data(), static_cast<uInt>(data.size()));
    return static_cast<uint32_t>(c);
  }

 private:
  std::vector<uint8_t> bytes_;
};

// zlib data of raw bytes.
inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
  out.resize(size);
  return out;
}

// Filtered rows: each row's bytes after a filter type byte of 0.
inline std::vector<uint8_t> Unfiltered(const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> out;
  for (const auto& r : rows) {
    out.push_back(0);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

inline void Load(TPNGObject& png, const std::vector<uint8_t>& bytes) {
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  png.LoadFromStream(s);
}

inline std::unique_ptr<TPNGObject> Loaded(const std::vector<uint8_t>& bytes) {
  auto png = std::make_unique<TPNGObject>();
  Load(*png, bytes);
  return png;
}

inline std::vector<uint8_t> Saved(TPNGObject& png) {
  TMemoryStream s;
  png.SaveToStream(s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

// The chunks of a file: name and data, in order (the file's CRCs are not checked).
struct ChunkView {
  std::string name;
  std::vector<uint8_t> data;
};
inline std::vector<ChunkView> Chunks(const std::vector<uint8_t>& file) {
  std::vector<ChunkView> out;
  size_t p = 8;
  while (p + 12 <= file.size()) {
    const uint32_t n = (uint32_t{file[p]} << 24) | (uint32_t{file[p + 1]} << 16) | (uint32_t{file[p + 2]} << 8) | file[p + 3];
    if (p + 12 + n > file.size()) break;
    out.push_back({std::string(reinterpret_cast<const char*>(&file[p + 4]), 4),
                   std::vector<uint8_t>(file.begin() + static_cast<long>(p + 8), file.begin() + static_cast<long>(p + 8 + n))});
    p += 12 + n;
  }
  return out;
}

// Runs f and answers the class of exception it raised and its message ("" when none).
template <class F>
std::pair<std::string, std::string> Raised(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string cls = status == 0 && name ? name : typeid(e).name();
    std::free(name);
    return {cls, e.Message()};
  }
  return {"", ""};
}

}  // namespace pngtest
