#include "imaging/core/ie_lists.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <new>

#include "platform/system/exception.h"
#include "platform/system/streams.h"

namespace {

std::unique_ptr<uint8_t[]> AllocateBytes(int64_t size) {
  if (size < 0 || size > INT32_MAX) throw EOutOfMemory("Out of memory");
  try {
    return std::unique_ptr<uint8_t[]>(new uint8_t[static_cast<size_t>(size)]);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
}

}  // namespace

// -------------------------------------------------------------------------------------------- TIEList

void TIEList::Reallocate(int32_t newCapacity, int32_t keep) {
  auto block = AllocateBytes(static_cast<int64_t>(newCapacity) * itemSize_);
  if (storage_ && keep > 0) std::memcpy(block.get(), storage_.get(), static_cast<size_t>(keep) * itemSize_);
  storage_ = std::move(block);
  capacity_ = newCapacity;
}

void TIEList::SetCount(int32_t newCount) {
  assert(newCount >= 0);
  newCount = std::max(newCount, 0);
  if (newCount > capacity_) {
    const int64_t grown = std::max<int64_t>(2 * static_cast<int64_t>(capacity_), newCount);
    Reallocate(static_cast<int32_t>(std::min<int64_t>(grown, INT32_MAX)), std::min(count_, newCount));
  }
  count_ = newCount;
  flags_ |= kModified;
}

void TIEList::Delete(int32_t index) {
  if (index < 0 || index >= count_) return;
  auto block = AllocateBytes(static_cast<int64_t>(count_ - 1) * itemSize_);
  const size_t size = static_cast<size_t>(itemSize_);
  std::memcpy(block.get(), storage_.get(), static_cast<size_t>(index) * size);
  std::memcpy(block.get() + index * size, storage_.get() + (index + 1) * size,
              static_cast<size_t>(count_ - 1 - index) * size);
  storage_ = std::move(block);
  --count_;
  capacity_ = count_;
  flags_ |= kModified;
}

void TIEList::Clear() {
  storage_.reset();
  capacity_ = 0;
  count_ = 0;
  flags_ = 0;
}

void TIEList::Assign(const TIEList* source) {
  if (!source || source == this) return;
  itemSize_ = source->itemSize_;
  flags_ = source->flags_;
  storage_.reset();
  capacity_ = 0;
  count_ = 0;
  Reallocate(source->count_, 0);
  if (source->count_ > 0)
    std::memcpy(storage_.get(), source->storage_.get(), static_cast<size_t>(source->count_) * itemSize_);
  count_ = source->count_;
}

int32_t TIEList::AddItem(const void* item) {
  SetCount(count_ + 1);
  std::memcpy(GetItem(count_ - 1), item, static_cast<size_t>(itemSize_));
  return count_ - 1;
}

void* TIEList::GetItem(int32_t index) {
  assert(index >= 0 && index < capacity_);
  return storage_.get() + static_cast<size_t>(index) * itemSize_;
}

const void* TIEList::GetItem(int32_t index) const {
  assert(index >= 0 && index < capacity_);
  return storage_.get() + static_cast<size_t>(index) * itemSize_;
}

void TIEDoubleList::Clear() {
  TIEList::Clear();
  itemSize_ = sizeof(double);
  std::fill(std::begin(DoubleCells), std::end(DoubleCells), 0.0);
  std::fill(std::begin(IntCells), std::end(IntCells), 0);
}

void TIEDoubleList::Assign(const TIEList* source) {
  TIEList::Assign(source);
  if (auto* s = dynamic_cast<const TIEDoubleList*>(source)) {
    std::copy(std::begin(s->DoubleCells), std::end(s->DoubleCells), DoubleCells);
    std::copy(std::begin(s->IntCells), std::end(s->IntCells), IntCells);
  }
}

void TIEIntegerList::Clear() {
  TIEList::Clear();
  itemSize_ = sizeof(int32_t);
  std::fill(std::begin(IntCells), std::end(IntCells), 0);
}

void TIEIntegerList::Assign(const TIEList* source) {
  TIEList::Assign(source);
  if (auto* s = dynamic_cast<const TIEIntegerList*>(source))
    std::copy(std::begin(s->IntCells), std::end(s->IntCells), IntCells);
}

// --------------------------------------------------------------------------------------- TIEByteArray

TIEByteArray::TIEByteArray(int32_t blockSize) : blockSize_(std::max(blockSize, 0)) {
  Reallocate(blockSize_, 0);
}

void TIEByteArray::Reallocate(int32_t newCapacity, int32_t keep) {
  auto block = AllocateBytes(newCapacity);
  if (keep > 0) std::memcpy(block.get(), data_.get(), static_cast<size_t>(keep));
  data_ = std::move(block);
  capacity_ = newCapacity;
}

void TIEByteArray::SetSize(int32_t newSize) {
  newSize = std::max(newSize, 0);
  if (newSize > size_) {
    if (newSize > capacity_) Reallocate(static_cast<int32_t>(std::min<int64_t>(int64_t(newSize) + blockSize_, INT32_MAX)), size_);
  } else if (newSize < capacity_ - blockSize_) {
    Reallocate(newSize + blockSize_, newSize);
  }
  size_ = newSize;
}

void TIEByteArray::AddByte(uint8_t value) {
  SetSize(size_ + 1);
  data_[size_ - 1] = value;
}

int32_t TIEByteArray::AppendFromStream(TStream& stream, int32_t count) {
  if (count <= 0) return 0;
  const int32_t oldSize = size_;
  int32_t done = 0;
  // Grow in doubling chunks so that a count taken from a damaged file cannot allocate more than about
  // twice what the stream really holds.
  int32_t chunk = 1 << 20;
  while (done < count) {
    const int32_t want = std::min(chunk, count - done);
    SetSize(oldSize + done + want);
    const int32_t got = stream.Read(data_.get() + oldSize + done, want);
    done += std::max(got, 0);
    if (got < want) break;
    chunk = chunk > (1 << 29) ? chunk : chunk * 2;
  }
  SetSize(oldSize + done);
  return done;
}

// ---------------------------------------------------------------------------------------- IEQuickSort

namespace {

void QuickSortRange(int32_t l, int32_t r, const std::function<int(int32_t, int32_t)>& compare,
                    const std::function<void(int32_t, int32_t)>& exchange) {
  while (l < r) {
    int32_t i = l, j = r, p = l + (r - l) / 2;
    do {
      while (i < r && compare(i, p) < 0) ++i;
      while (j > l && compare(j, p) > 0) --j;
      if (i <= j) {
        // The pivot index follows the entry that moves.
        if (i == p) p = j;
        else if (j == p) p = i;
        exchange(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    // Recurse into the smaller part and loop on the larger, so the depth stays logarithmic.
    if (j - l < r - i) {
      if (l < j) QuickSortRange(l, j, compare, exchange);
      l = i;
    } else {
      if (i < r) QuickSortRange(i, r, compare, exchange);
      r = j;
    }
  }
}

}  // namespace

void IEQuickSort(int32_t count, const std::function<int(int32_t, int32_t)>& compare,
                 const std::function<void(int32_t, int32_t)>& exchange) {
  if (count <= 1) return;
  QuickSortRange(0, count - 1, compare, exchange);
}
