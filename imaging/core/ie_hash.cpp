#include "imaging/core/ie_hash.h"

#include <cassert>

THash1::THash1(int32_t Bits) : bits_(Bits), slotCount_(1 << Bits) {
  assert(Bits >= 0 && Bits < 31);
  values_.assign(slotCount_, 0);
  states_.assign(slotCount_, 0);
  data_.assign(slotCount_, 0);
  chains_.assign(slotCount_, nullptr);
}

THash1::~THash1() {
  for (THash1Item* item : chains_) {
    while (item) {
      THash1Item* next = item->Next;
      delete item;
      item = next;
    }
  }
}

bool THash1::InsertItem(uint32_t Value, int32_t& Slot, THash1Item*& NewItem) {
  Slot = HashIndex(Value);
  NewItem = nullptr;
  switch (states_[Slot]) {
    case 0:
      values_[Slot] = Value;
      states_[Slot] = 1;
      break;
    case 1: {
      if (values_[Slot] == Value) return false;
      // The slot becomes a chain that keeps the older value first.
      auto added = std::make_unique<THash1Item>();
      added->Value = Value;
      auto first = std::make_unique<THash1Item>();
      first->Value = values_[Slot];
      first->Data = data_[Slot];
      first->Next = added.get();
      NewItem = added.release();
      chains_[Slot] = first.release();
      states_[Slot] = 2;
      break;
    }
    default: {
      THash1Item* last = chains_[Slot];
      for (THash1Item* item = last; item; item = item->Next) {
        if (item->Value == Value) return false;
        last = item;
      }
      auto added = std::make_unique<THash1Item>();
      added->Value = Value;
      NewItem = added.release();
      last->Next = NewItem;
      break;
    }
  }
  ++count_;
  return true;
}

bool THash1::Insert(uint32_t Value) {
  int32_t slot;
  THash1Item* item;
  return InsertItem(Value, slot, item);
}
