#pragma once
// The 16-byte globally unique identifier record, in the platform's field layout: one 32-bit, two
// 16-bit and eight single-byte parts.
#include <cstdint>
#include <cstring>

struct TGUID {
  uint32_t D1;
  uint16_t D2;
  uint16_t D3;
  uint8_t D4[8];
};

// True when the two identifiers are equal in every part. Interface look-ups compare identifiers on
// every call, so this is inline.
inline bool SameGuid(const TGUID& a, const TGUID& b) {
  static_assert(sizeof(TGUID) == 16, "the record has no padding");
  return std::memcmp(&a, &b, sizeof(TGUID)) == 0;
}

// A new random identifier (version 4, variant 1). The generator is seeded once per thread from the
// system's entropy source, so a new identifier costs no system call.
TGUID CreateGUID();
