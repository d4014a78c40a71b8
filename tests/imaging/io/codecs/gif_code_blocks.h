#pragma once
// GIF image data blocks built code by code, for tests of the LZW decoder and the GIF reader.
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace giftest {

// The block (code-size byte, one sub-block, terminator) of codes given with their widths, packed
// least significant bit first.
inline std::vector<uint8_t> PackCodes(uint8_t codeSize, const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> data;
  uint32_t acc = 0;
  int bits = 0;
  for (const auto& [code, width] : codes) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) data.push_back(static_cast<uint8_t>(acc));
  std::vector<uint8_t> block{codeSize, static_cast<uint8_t>(data.size())};
  block.insert(block.end(), data.begin(), data.end());
  block.push_back(0);
  return block;
}

// The same with every code Width bits wide.
inline std::vector<uint8_t> PackCodes(uint8_t codeSize, int width, std::initializer_list<int> codes) {
  std::vector<std::pair<int, int>> sized;
  for (int c : codes) sized.emplace_back(c, width);
  return PackCodes(codeSize, sized);
}

}  // namespace giftest
