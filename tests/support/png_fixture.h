#pragma once
// PNG files made and read by libpng, an independent codec, for tests of our own PNG code: a writer of
// fixtures in any colour type, depth and interlace with the ancillary chunks tests need, and a reader
// that gives the raw samples a file holds (no transformations). Also files built chunk by chunk (for
// damaged and hostile ones), and the command-line oracles (pngcheck, ImageMagick) those tests run.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "tests/support/byte_builder.h"
#include "tests/support/test_support.h"

namespace testsupport {

struct PngText {
  PngText() = default;
  PngText(std::string Keyword, std::string Text, bool Compressed = false, bool International = false)
      : keyword(std::move(Keyword)), text(std::move(Text)), compressed(Compressed), international(International) {}
  std::string keyword;
  std::string text;  // Latin-1 bytes as tEXt and zTXt hold them; UTF-8 for iTXt
  bool compressed = false;
  bool international = false;  // an iTXt chunk
};

// A PNG image as the file's samples: rows of RowBytes() bytes in the file's layout (big-endian
// 16-bit samples, sub-byte samples packed leftmost first), without filter bytes, top row first.
struct PngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int colorType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey with alpha, 6 RGBA
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<uint8_t> rows;
  std::vector<std::array<uint8_t, 3>> palette;
  std::vector<uint8_t> trns;  // palette: one alpha per entry; grey: 2 bytes; RGB: 6 bytes (big-endian)
  uint32_t gamma = 0;         // the gAMA value (x 100000); 0: none
  bool hasPhys = false;
  uint32_t physX = 0, physY = 0;
  int physUnit = 0;
  bool hasTime = false;
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::vector<PngText> texts;
  // bKGD at the file's depth: the palette index, the grey value, or red, green, blue.
  bool hasBkgd = false;
  std::array<uint16_t, 3> bkgd{};

  int Channels() const;
  size_t RowBytes() const;
  // Sample c of pixel (x, y) at the file's depth.
  uint32_t Sample(uint32_t x, uint32_t y, int c) const;
  void SetSample(uint32_t x, uint32_t y, int c, uint32_t v);
  // An image of the given type with rows allocated (zero).
  static PngImage Make(uint32_t width, uint32_t height, int colorType, int bitDepth, bool interlaced = false);
};

// Writes the image with libpng at a zlib level, with libpng's filter choice (filters < 0) or the
// given PNG_FILTER_* mask. Raises std::runtime_error with libpng's message.
std::vector<uint8_t> WritePngWithLibpng(const PngImage& image, int level = 6, int filters = -1);
// Reads a file with libpng as its raw samples (interlaced files come out whole). Raises
// std::runtime_error with libpng's message.
PngImage ReadPngWithLibpng(const std::vector<uint8_t>& file);

// Deterministic content for an image: every sample a function of position and channel, covering the
// whole range of the depth.
void FillPattern(PngImage& image, uint32_t seed = 1);
// An odd-sized image (every Adam7 pass partly filled) of the type and depth, filled by FillPattern, a
// palette of distinct colours for palette images, and with WithTrns a transparent colour (the
// middle pixel's) or palette alphas (one partial, one clear).
PngImage PatternImage(int colorType, int bitDepth, bool interlaced, bool withTrns, uint32_t width = 13,
                      uint32_t height = 11);

// ImageMagick's decoding of a file as 16-bit RGBA, 8 bytes a pixel, top row first; empty when it
// fails. ok is false when ImageMagick is not there.
std::vector<uint16_t> DecodeWithImageMagick(const std::string& file, bool& ok);
// The same for many files in one run of ImageMagick: their pixels one file after the other.
std::vector<uint16_t> DecodeWithImageMagick(const std::vector<std::string>& files, bool& ok);
// The samples of an image as 16-bit RGBA the way a viewer shows them (grey spread over 16 bits,
// palette colours widened, tRNS applied), for comparing with ImageMagick.
std::vector<uint16_t> ExpandToRGBA16(const PngImage& image);

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

}  // namespace testsupport
