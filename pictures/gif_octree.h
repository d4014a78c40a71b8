#pragma once
// The octree colour quantiser: colours of a 24-bit picture are sorted into a tree by their bits, and
// the most recently made branches are folded into leaves until no more leaves than colours remain;
// each leaf's average colour becomes a palette entry.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/gdi.h"

class TBitmap;

class TColorQuantizer {
 public:
  // At most MaxColors leaves; ColorBits (1..8) levels below the root.
  TColorQuantizer(int32_t MaxColors, int32_t ColorBits);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  void AddColor(uint8_t Red, uint8_t Green, uint8_t Blue);
  // The rows of a 24-bit bitmap (blue, green, red), top to bottom.
  void ProcessImage(TBitmap& Bitmap);
  int32_t ColorCount() const { return leafCount_; }
  // The leaves' average colours in tree order (children in index order), black for a leaf without
  // pixels.
  std::vector<RGBQUAD> ColorTable() const;

 private:
  struct Node;
  void Reduce();
  std::unique_ptr<Node> root_;
  int32_t leafCount_ = 0;
  std::array<Node*, 9> reducible_{};  // per level, the most recently made first
  int32_t maxColors_;
  int32_t colorBits_;
};

// A palette for Bitmap (switched to 24 bits) of Colors entries quantised at ColorBits. With
// SystemColors it has 256 entries: the first and last ten are the static colours of the system
// palette, the 236 between quantised. Entries the tree does not fill are black.
HPALETTE QuantizedPalette(TBitmap& Bitmap, int32_t Colors, int32_t ColorBits, bool SystemColors);
