#pragma once
// How the rows of a PNG file map onto the picture's storage and back: the sample layout of each
// colour type and depth, and the converters between a file row (unfiltered) and the storage row, the
// alpha plane and the low-byte plane. Gamma tables are applied on the way in and their inverse on the
// way out; null tables stand for the identity.
#include <cstdint>

struct TPNGRowLayout {
  uint8_t colorType = 0;
  uint8_t bitDepth = 0;
  int32_t fileBits = 0;  // bits of one pixel in the file
  int32_t distance = 1;  // the filter distance: bytes of one complete pixel, at least 1
  bool supported = false;  // the storage has a place for these samples (others are read and dropped)
};

// The layout of a header's colour type and depth.
TPNGRowLayout PNGRowLayout(uint8_t colorType, uint8_t bitDepth);
// Bytes of a file row of pixels pixels.
inline int64_t PNGRowBytes(int64_t pixels, int32_t fileBits) { return (pixels * fileBits + 7) / 8; }

// Where a row's samples go or come from: the storage row, the alpha row, the low-byte row (each may
// be null when the image has none) and the tables.
struct TPNGRowPlanes {
  uint8_t* storage = nullptr;
  uint8_t* alpha = nullptr;
  uint8_t* low = nullptr;
  const uint8_t* gamma = nullptr;    // decoding: stored = gamma[file]
  const uint8_t* inverse = nullptr;  // encoding: file = inverse[stored]
};

// Puts n pixels of a file row into the planes at pixels x0, x0 + dx, ...
void PNGDecodeSamples(const TPNGRowLayout& layout, const uint8_t* src, int32_t n, int32_t x0, int32_t dx,
                      const TPNGRowPlanes& planes);
// Gathers n pixels from the planes at x0, x0 + dx, ... into a file row. 2-bit samples are written as
// the storage keeps them, at 4 bits.
void PNGEncodeSamples(const TPNGRowLayout& layout, uint8_t* dst, int32_t n, int32_t x0, int32_t dx,
                      const TPNGRowPlanes& planes);

// A sample of bits bits (1, 2, 4 or 8) at index i of a packed row, leftmost pixel in the high bits.
inline uint32_t PackedSample(const uint8_t* row, int64_t i, int32_t bits) {
  const int64_t bit = i * bits;
  const int32_t shift = 8 - bits - static_cast<int32_t>(bit & 7);
  return (row[bit >> 3] >> shift) & ((1u << bits) - 1);
}
inline void SetPackedSample(uint8_t* row, int64_t i, int32_t bits, uint32_t v) {
  const int64_t bit = i * bits;
  const int32_t shift = 8 - bits - static_cast<int32_t>(bit & 7);
  const uint32_t mask = ((1u << bits) - 1) << shift;
  row[bit >> 3] = static_cast<uint8_t>((row[bit >> 3] & ~mask) | ((v << shift) & mask));
}
