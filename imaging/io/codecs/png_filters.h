#pragma once
// The row filters of the PNG standard: reversing them when decoding (with SSE2 paths for the 3-, 4-,
// 6- and 8-byte pixels of RGB and RGBA images, beside a scalar reference), applying them when
// encoding (SSE2 paths for Sub and Paeth, beside a scalar reference), and the score by which an
// encoder chooses among several. The PNG picture class and the engine's PNG writer share them.
#include <cstddef>
#include <cstdint>

// Reverses the filter of type (1 Sub, 2 Up, 3 Average, 4 Paeth; any other leaves the row) in place:
// row holds bytes filtered bytes, prev the unfiltered row above (zeros above the first row); distance
// is the bytes of one complete pixel (at least 1).
void PNGUnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prev, size_t bytes, size_t distance);
// The same, one byte at a time (the reference the fast paths are tested against).
void PNGUnfilterRowReference(uint8_t type, uint8_t* row, const uint8_t* prev, size_t bytes, size_t distance);

// Filters raw (prev: the raw row above, zeros above the first) with type 1..4 into out (any other
// type copies).
void PNGFilterRow(uint8_t type, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t bytes,
                  size_t distance);
// The same, one byte at a time (the reference the fast paths are tested against).
void PNGFilterRowReference(uint8_t type, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t bytes,
                           size_t distance);

// The score of a filtered row: the positions j from 2 to bytes - 1 whose byte equals byte j - 1 or
// byte j - 2 (runs and short repeats compress well).
int32_t PNGFilterScore(const uint8_t* filtered, size_t bytes);

// The Paeth predictor: left, above or upper-left, whichever is nearest to left + above - upper-left,
// in that order on ties.
inline uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p;
  const int pb = p > b ? p - b : b - p;
  const int pc = p > c ? p - c : c - p;
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}
