#pragma once
// THash1: a set of 32-bit values in 2^Bits slots; a slot holds one value directly and chains items
// only when values collide in their low Bits bits. The processing component counts distinct
// colours with it.
#include <cstdint>
#include <memory>
#include <vector>

struct THash1Item {
  uint32_t Value = 0;
  THash1Item* Next = nullptr;  // nil at the end of a chain
  uint32_t Data = 0;
};

class THash1 {
 public:
  explicit THash1(int32_t Bits);
  ~THash1();
  THash1(const THash1&) = delete;
  THash1& operator=(const THash1&) = delete;

  // The low Bits bits of Value.
  int32_t HashIndex(uint32_t Value) const { return static_cast<int32_t>(Value & static_cast<uint32_t>(slotCount_ - 1)); }
  // Inserts Value when absent. Slot receives its slot, NewItem the item made for it (nil when the
  // value sits directly in the slot). False when Value was present already.
  bool InsertItem(uint32_t Value, int32_t& Slot, THash1Item*& NewItem);
  // True when Value was new.
  bool Insert(uint32_t Value);

  int32_t Bits() const { return bits_; }
  int32_t SlotCount() const { return slotCount_; }
  // Number of distinct values inserted.
  int32_t Count() const { return count_; }
  // Slot state: 0 empty, 1 one value held directly, 2 a chain of items.
  uint32_t SlotState(int32_t Slot) const { return states_[Slot]; }
  // The first item of a chained slot (state 2), else nil.
  const THash1Item* SlotChain(int32_t Slot) const { return states_[Slot] == 2 ? chains_[Slot] : nullptr; }

 private:
  int32_t bits_;
  int32_t slotCount_;
  int32_t count_ = 0;
  std::vector<uint32_t> values_;  // the value of a state-1 slot
  std::vector<uint32_t> states_;
  std::vector<uint32_t> data_;    // per-slot data word; moves into the first item of a new chain
  std::vector<THash1Item*> chains_;
};
