#pragma once
// PNG files made and read by libpng, an independent codec, for tests of our own PNG code: a writer of
// fixtures in any colour type, depth and interlace with the ancillary chunks tests need, and a reader
// that gives the raw samples a file holds (no transformations). Also the command-line oracles
// (pngcheck, ImageMagick) those tests run.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct PngText {
  std::string keyword;
  std::string text;  // Latin-1 bytes, as the file holds them
  bool compressed = false;
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

// The full path of the first of the commands found on PATH, or empty.
std::string FindProgram(const std::vector<std::string>& names);
// Runs a shell command; its standard output (and error) in output; the exit status.
int RunProgram(const std::string& command, std::string* output);
// ImageMagick's decoding of a file as 16-bit RGBA, 8 bytes a pixel, top row first; empty when it
// fails. ok is false when ImageMagick is not there.
std::vector<uint16_t> DecodeWithImageMagick(const std::string& file, bool& ok);
// The samples of an image as 16-bit RGBA the way a viewer shows them (grey spread over 16 bits,
// palette colours widened, tRNS applied), for comparing with ImageMagick.
std::vector<uint16_t> ExpandToRGBA16(const PngImage& image);

}  // namespace testsupport
