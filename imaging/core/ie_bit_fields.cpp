#include "imaging/core/ie_bit_fields.h"

#include <algorithm>
#include <bit>

#include "imaging/core/ie_bits.h"

TIEBitField::TIEBitField(uint32_t Mask) : mask_(Mask) {
  if (Mask == 0) return;  // absent: every pixel reads table_[0] = 0
  shift_ = std::countr_zero(Mask);
  width_ = BitFieldWidth(Mask);
  const int32_t kept = std::min(width_, 8);
  take_ = shift_ + width_ - kept;
  pick_ = (1u << kept) - 1;
  for (uint32_t v = 0; v <= pick_; ++v) {
    // Copies of the kept bits one below the other, from the top of the byte down.
    uint32_t out = 0;
    for (int32_t at = 8 - kept; at > -kept; at -= kept) out |= at >= 0 ? v << at : v >> -at;
    table_[v] = static_cast<uint8_t>(out);
  }
}

TIEBitFields::TIEBitFields(uint32_t RedMask, uint32_t GreenMask, uint32_t BlueMask, uint32_t AlphaMask)
    : red_(RedMask), green_(GreenMask), blue_(BlueMask), alpha_(AlphaMask) {}

void TIEBitFields::UnpackRow(const uint8_t* Src, int32_t BitsPerPixel, int32_t Count, uint8_t* BGR,
                             uint8_t* Alpha) const {
  const int32_t step = BitsPerPixel == 16 ? 2 : 4;
  for (int32_t x = 0; x < Count; ++x, Src += step) {
    const uint32_t p = step == 2 ? static_cast<uint32_t>(Src[0] | Src[1] << 8)
                                 : static_cast<uint32_t>(Src[0] | Src[1] << 8 | Src[2] << 16) |
                                       static_cast<uint32_t>(Src[3]) << 24;
    BGR[3 * x] = blue_.Get8(p);
    BGR[3 * x + 1] = green_.Get8(p);
    BGR[3 * x + 2] = red_.Get8(p);
    if (Alpha) Alpha[x] = alpha_.Present() ? alpha_.Get8(p) : 255;
  }
}
