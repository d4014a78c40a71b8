// DVD sub-pictures from the input: units gathered from packets of the input's pieces, decoded, and
// blended with a highlight (its rectangle and colours from the first bytes) into a small frame.
// Every code must come from the unit, every write land inside the frame.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/media/dvd_spu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12 || size > (1 << 17)) return 0;
  TDvdHighlight highlight;
  highlight.Valid = (data[0] & 1) != 0;
  highlight.X0 = data[1];
  highlight.Y0 = data[2];
  highlight.X1 = data[3];
  highlight.Y1 = data[4];
  for (int i = 0; i < 4; ++i) {
    highlight.Color[i] = data[5 + i] & 0x0F;
    highlight.Alpha[i] = data[5 + i] >> 4;
  }
  uint32_t clut[16];
  for (int i = 0; i < 16; ++i) clut[i] = 0x00108080u + static_cast<uint32_t>(i) * 0x0F0F0Fu;
  // The rest: packets of lengths given by one byte each.
  TDvdSpuAssembler assembler;
  size_t at = 9;
  const int32_t width = 64, height = 48, rowLength = 192;
  std::vector<uint8_t> frame(static_cast<size_t>(rowLength) * height, 0x40);
  while (at < size) {
    const size_t length = data[at] == 0 ? size - at - 1 : data[at];
    ++at;
    const size_t n = length < size - at ? length : size - at;
    // A copy of its own so that AddressSanitizer sees a read past the packet.
    std::vector<uint8_t> packet(data + at, data + at + n);
    at += n;
    if (!assembler.Add(packet.data(), static_cast<int32_t>(packet.size()), 0)) continue;
    std::vector<uint8_t> unit = assembler.Unit();
    TDvdSubpicture spu;
    if (!DecodeDvdSubpicture(unit.data(), unit.size(), spu)) continue;
    if (spu.Codes.size() != static_cast<size_t>(spu.Width) * static_cast<size_t>(spu.Height)) __builtin_trap();
    for (uint8_t c : spu.Codes) {
      if (c > 3) __builtin_trap();
    }
    // Placed over the small frame wherever it lies.
    spu.X %= width;
    spu.Y %= height;
    BlendDvdSubpicture(spu, highlight, clut, frame.data(), rowLength, width, height);
  }
  return 0;
}
