#pragma once
// The string table of the LZW encoders (GIF and TIFF): strings are (prefix code, next byte) pairs
// kept in an open-addressed hash of 16384 slots (at most a quarter full, as a table holds 4096
// codes), probed linearly. A slot holds the code above the 20-bit key; 0 is an empty slot, as no
// string's code is 0.
#include <array>
#include <cstdint>

class TLZWHashTable {
 public:
  TLZWHashTable() { Clear(); }
  void Clear() { slots_.fill(0); }

  // Looks up the string Current + C. Found: true and Code is its code. Not found: false, and Slot
  // and Key tell Store where the new entry goes.
  bool Find(int32_t current, int32_t c, int32_t& code, int32_t& slot, int32_t& key) const {
    key = (current << 8) | c;
    // A multiplicative hash of the whole key: the codes of a table are consecutive numbers, and a
    // hash that keeps their order (the byte above the prefix code, exclusive-or'ed) lines them up
    // in runs that linear probing then walks end to end.
    uint32_t h = (static_cast<uint32_t>(key) * 2654435761u) >> (32 - kBits);
    for (;;) {
      const uint32_t e = slots_[h];
      if (e == 0) {
        slot = static_cast<int32_t>(h);
        return false;
      }
      if ((e & kKeyMask) == static_cast<uint32_t>(key)) {
        code = static_cast<int32_t>(e >> 20);
        return true;
      }
      h = (h + 1) & (kSize - 1);
    }
  }
  void Store(int32_t slot, int32_t key, int32_t code) {
    slots_[static_cast<uint32_t>(slot)] = static_cast<uint32_t>(code) << 20 | static_cast<uint32_t>(key);
  }

 private:
  static constexpr int32_t kBits = 14;
  static constexpr int32_t kSize = 1 << kBits;
  static constexpr uint32_t kKeyMask = 0xFFFFF;
  std::array<uint32_t, kSize> slots_;
};
