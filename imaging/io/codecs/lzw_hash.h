#pragma once
// The string table of the LZW encoders (GIF and TIFF): strings are (prefix code, next byte) pairs
// kept in a hash of 5003 slots with the secondary probe of the classic compress program.
#include <array>
#include <cstdint>

class TLZWHashTable {
 public:
  TLZWHashTable() { Clear(); }
  void Clear() { keys_.fill(-1); }

  // Looks up the string Current + C. Found: true and Code is its code. Not found: false, and Slot
  // and Key tell Store where the new entry goes.
  bool Find(int32_t current, int32_t c, int32_t& code, int32_t& slot, int32_t& key) const {
    key = (c << 12) + current;
    slot = (c << kShift) ^ current;
    if (keys_[slot] == key) {
      code = codes_[slot];
      return true;
    }
    if (keys_[slot] >= 0) {
      const int32_t step = slot == 0 ? 1 : kSize - slot;
      do {
        slot -= step;
        if (slot < 0) slot += kSize;
        if (keys_[slot] == key) {
          code = codes_[slot];
          return true;
        }
      } while (keys_[slot] > 0);
    }
    return false;
  }
  void Store(int32_t slot, int32_t key, int32_t code) {
    keys_[slot] = key;
    codes_[slot] = static_cast<uint16_t>(code);
  }

 private:
  static constexpr int32_t kSize = 5003;
  static constexpr int32_t kShift = 4;  // 8 minus the doublings of 5003 until it passes 65535
  std::array<int32_t, kSize> keys_;
  std::array<uint16_t, kSize> codes_{};
};
