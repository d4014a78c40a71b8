// The row filters of the PNG standard: the fast paths against the byte-by-byte reference, both ways,
// and the Paeth predictor worked by hand.
#include "imaging/io/codecs/png_filters.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> NoiseRow(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> r(n);
  for (auto& b : r) b = static_cast<uint8_t>(rng());
  return r;
}

TEST(PngFilters, FastUnfilterPathsMatchTheReference) {
  std::mt19937 rng(1);
  for (size_t distance : {1u, 2u, 3u, 4u, 6u, 8u})
    for (uint8_t type = 0; type <= 5; ++type) {
      const size_t bytes = distance * 37;
      const std::vector<uint8_t> prev = NoiseRow(bytes, rng), row = NoiseRow(bytes, rng);
      std::vector<uint8_t> fast = row, reference = row;
      PNGUnfilterRow(type, fast.data(), prev.data(), bytes, distance);
      PNGUnfilterRowReference(type, reference.data(), prev.data(), bytes, distance);
      EXPECT_EQ(fast, reference) << "distance " << distance << " type " << int(type);
      // Filtering the result again gives back the filtered row.
      if (type >= 1 && type <= 4) {
        std::vector<uint8_t> refiltered(bytes);
        PNGFilterRow(type, reference.data(), prev.data(), refiltered.data(), bytes, distance);
        EXPECT_EQ(refiltered, row) << "distance " << distance << " type " << int(type);
      }
    }
  // The predictor by hand: p = left + above - upper-left, the nearest of the three, left first on ties.
  EXPECT_EQ(PaethPredictor(10, 10, 10), 10);
  EXPECT_EQ(PaethPredictor(10, 20, 15), 15);  // p = 15: pa 5, pb 5, pc 0
  EXPECT_EQ(PaethPredictor(20, 10, 15), 15);
  EXPECT_EQ(PaethPredictor(12, 20, 16), 16);  // p = 16: pa 4, pb 4, pc 0
  EXPECT_EQ(PaethPredictor(12, 14, 10), 14);  // p = 16: pa 4, pb 2, pc 6
  EXPECT_EQ(PaethPredictor(14, 12, 10), 14);  // p = 16: pa 2, pb 4, pc 6
  EXPECT_EQ(PaethPredictor(1, 3, 2), 2);      // p = 2: pa 1, pb 1, pc 0
}

TEST(PngFilters, FastFilterPathsMatchTheReference) {
  std::mt19937 rng(2);
  // Rows shorter and longer than the wide loops' 16 bytes, of every pixel size; extreme values too,
  // where the predictor's distances overflow a byte.
  for (size_t distance : {1u, 2u, 3u, 4u, 6u, 8u})
    for (size_t bytes : {distance, distance + 1, size_t{15}, size_t{16}, size_t{17}, distance * 41 + 5})
      for (int content = 0; content < 3; ++content) {
        std::vector<uint8_t> prev = NoiseRow(bytes, rng), raw = NoiseRow(bytes, rng);
        if (content == 1)
          for (size_t i = 0; i < bytes; ++i) raw[i] = i % 2 ? 255 : 0, prev[i] = i % 3 ? 0 : 255;
        if (content == 2) std::fill(prev.begin(), prev.end(), 0);  // the first row
        for (uint8_t type = 0; type <= 5; ++type) {
          std::vector<uint8_t> fast(bytes), reference(bytes);
          PNGFilterRow(type, raw.data(), prev.data(), fast.data(), bytes, distance);
          PNGFilterRowReference(type, raw.data(), prev.data(), reference.data(), bytes, distance);
          EXPECT_EQ(fast, reference) << "distance " << distance << " bytes " << bytes << " type " << int(type);
        }
      }
}

}  // namespace
