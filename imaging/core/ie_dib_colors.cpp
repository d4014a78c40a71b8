#include "imaging/core/ie_dib_colors.h"

#include <algorithm>

std::array<TIERGB, 256> IndexColors(const TIERGB* Table, int64_t Count, int32_t BitsPerPixel) {
  std::array<TIERGB, 256> colors{};
  if (Table && Count > 0) std::copy_n(Table, std::min<int64_t>(Count, 256), colors.begin());
  if (BitsPerPixel == 1 && (!Table || Count <= 0)) colors[1] = CreateRGB(255, 255, 255);
  return colors;
}

TIEOneBitRule OneBitRule(const std::array<TIERGB, 256>& Colors) {
  const TIERGB black = CreateRGB(0, 0, 0), white = CreateRGB(255, 255, 255);
  if (SameRGB(Colors[0], black) && SameRGB(Colors[1], white)) return obrBilevel;
  if (SameRGB(Colors[0], white) && SameRGB(Colors[1], black)) return obrBilevelInverted;
  return obrPalette;
}
