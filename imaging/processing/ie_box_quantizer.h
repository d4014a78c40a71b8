#pragma once
// The box-splitting colour quantizer: a 32 x 32 x 32 histogram of the colours (5 bits per channel)
// is cut into at most N boxes, each time splitting the box of largest variance along the channel
// whose halves have the smallest summed variance. The palette holds each box's mean colour; a
// colour maps to the box its histogram cell lies in.
#include <cstdint>
#include <vector>

#include "imaging/core/ie_rgb.h"

class TIEBoxQuantizer {
 public:
  static constexpr int32_t kMaxBoxes = 256;

  TIEBoxQuantizer();

  // Counts Count pixels of blue, green, red bytes into the histogram.
  void AddPixels(const uint8_t* BGR, int32_t Count);
  // Splits the histogram into at most N boxes (1..256), writes their colours to Palette[0..boxes-1]
  // (later entries are left as they were) and builds the cell map. Returns the number of boxes.
  int32_t Build(TIERGB* Palette, int32_t N);
  // The box of Color's histogram cell: 0..boxes-1.
  int32_t Lookup(TIERGB Color) const { return map_[Cell(Color.r >> 3, Color.g >> 3, Color.b >> 3)]; }

  int64_t PixelCount() const { return total_; }

 private:
  // Channels in the order red, green, blue; bounds in 5-bit units, upper bounds exclusive.
  struct Box {
    double variance = 0;
    double mean[3] = {0, 0, 0};
    int64_t count = 0;
    int64_t hist[3][32] = {};
    int32_t lo[3] = {0, 0, 0};
    int32_t hi[3] = {32, 32, 32};
  };

  static constexpr int32_t Cell(int32_t r, int32_t g, int32_t b) { return (r << 10) | (g << 5) | b; }
  void ComputeStatistics(Box& box) const;
  // The channel histograms and count of a box, from the 3-D histogram over its bounds.
  void CountBox(Box& box) const;
  static void ShrinkBounds(Box& box);
  // Splits box along channel c into lower and upper; false when it cannot be split.
  bool SplitChannel(const Box& box, int c, Box& lower, Box& upper) const;
  bool Split(int32_t index, int32_t newIndex);

  std::vector<int64_t> histogram_;  // 32768 cells
  std::vector<Box> boxes_;
  std::vector<uint8_t> map_;  // cell -> box
  int64_t total_ = 0;
};
