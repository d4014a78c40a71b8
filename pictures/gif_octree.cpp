#include "pictures/gif_octree.h"

#include <algorithm>

#include "pictures/gif_dib.h"
#include "pictures/gif_palettes.h"

struct TColorQuantizer::Node {
  bool leaf = false;
  uint32_t pixels = 0;
  uint32_t red = 0;
  uint32_t green = 0;
  uint32_t blue = 0;
  Node* next = nullptr;  // the next node of its level's reducible list
  std::array<std::unique_ptr<Node>, 8> children;
};

TColorQuantizer::TColorQuantizer(int32_t MaxColors, int32_t ColorBits)
    : maxColors_(std::max(MaxColors, 1)), colorBits_(std::clamp(ColorBits, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() = default;

void TColorQuantizer::AddColor(uint8_t Red, uint8_t Green, uint8_t Blue) {
  std::unique_ptr<Node>* slot = &root_;
  for (int32_t level = 0;; ++level) {
    if (!*slot) {
      *slot = std::make_unique<Node>();
      Node* made = slot->get();
      if (level == colorBits_) {
        made->leaf = true;
        ++leafCount_;
      } else {
        made->next = reducible_[level];
        reducible_[level] = made;
      }
    }
    Node* node = slot->get();
    if (node->leaf) {
      ++node->pixels;
      node->red += Red;
      node->green += Green;
      node->blue += Blue;
      break;
    }
    const int32_t shift = 7 - level;
    const int32_t index = ((Red >> shift) & 1) << 2 | ((Green >> shift) & 1) << 1 | ((Blue >> shift) & 1);
    slot = &node->children[index];
  }
  while (leafCount_ > maxColors_) {
    const int32_t before = leafCount_;
    Reduce();
    if (leafCount_ == before) break;
  }
}

void TColorQuantizer::Reduce() {
  int32_t level = colorBits_ - 1;
  while (level > 0 && !reducible_[level]) --level;
  Node* node = reducible_[level];
  if (!node) return;
  reducible_[level] = node->next;
  int32_t children = 0;
  for (auto& child : node->children) {
    if (!child) continue;
    node->pixels += child->pixels;
    node->red += child->red;
    node->green += child->green;
    node->blue += child->blue;
    child.reset();
    ++children;
  }
  node->leaf = true;
  leafCount_ -= children - 1;
}

void TColorQuantizer::ProcessImage(TBitmap& Bitmap) {
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    const uint8_t* row = Bitmap.ScanLine(y);
    for (int32_t x = 0; x < Bitmap.Width(); ++x) AddColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
}

std::vector<RGBQUAD> TColorQuantizer::ColorTable() const {
  std::vector<RGBQUAD> table;
  const auto walk = [&](const auto& self, const Node* node) -> void {
    if (!node) return;
    if (node->leaf) {
      RGBQUAD q;
      if (node->pixels > 0) {
        q.rgbRed = static_cast<uint8_t>(node->red / node->pixels);
        q.rgbGreen = static_cast<uint8_t>(node->green / node->pixels);
        q.rgbBlue = static_cast<uint8_t>(node->blue / node->pixels);
      }
      table.push_back(q);
      return;
    }
    for (const auto& child : node->children) self(self, child.get());
  };
  walk(walk, root_.get());
  return table;
}

HPALETTE QuantizedPalette(TBitmap& Bitmap, int32_t Colors, int32_t ColorBits, bool SystemColors) {
  TDIBReader reader(&Bitmap, pf24bit);
  Colors = std::clamp(Colors, 1, 256);
  std::vector<PALETTEENTRY> entries(SystemColors ? 256 : static_cast<size_t>(Colors));
  int32_t first = 0;
  int32_t wanted = Colors;
  if (SystemColors) {
    HPALETTE system = SystemPalette20();
    PALETTEENTRY fixed[20] = {};
    GetPaletteEntries(system, 0, 20, fixed);
    DeleteObject(system);
    for (int i = 0; i < 10; ++i) {
      entries[i] = {fixed[i].peRed, fixed[i].peGreen, fixed[i].peBlue, 0};
      entries[246 + i] = {fixed[10 + i].peRed, fixed[10 + i].peGreen, fixed[10 + i].peBlue, 0};
    }
    first = 10;
    wanted = 236;
  }
  TColorQuantizer quantizer(wanted, ColorBits);
  quantizer.ProcessImage(Bitmap);
  const std::vector<RGBQUAD> table = quantizer.ColorTable();
  for (int32_t i = 0; i < wanted && i < static_cast<int32_t>(table.size()); ++i)
    entries[first + i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  return GDICheck(CreatePaletteFromEntries(entries.data(), static_cast<uint32_t>(entries.size())));
}
