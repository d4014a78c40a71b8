#pragma once
// The 16-byte globally unique identifier record, in the platform's field layout: one 32-bit, two
// 16-bit and eight single-byte parts.
#include <cstdint>

struct TGUID {
  uint32_t D1;
  uint16_t D2;
  uint16_t D3;
  uint8_t D4[8];
};

// True when the two identifiers are equal in every part.
bool SameGuid(const TGUID& a, const TGUID& b);
