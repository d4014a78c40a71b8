#pragma once
// The engine's small containers: a growable list of fixed-size items (TIEList) with typed descendants,
// a growable byte buffer (TIEByteArray), a quicksort driven by index callbacks, CopyTList and a list
// of texts (TIEWideStrings).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStream;

// A list of items of ItemSize bytes each, held in one block. Growing doubles the capacity; Delete
// shrinks the block to fit exactly.
class TIEList {
 public:
  TIEList() = default;
  virtual ~TIEList() = default;
  TIEList(const TIEList&) = delete;
  TIEList& operator=(const TIEList&) = delete;

  static constexpr uint8_t kModified = 1;

  virtual void SetCount(int32_t newCount);
  // Removes one item; an index outside [0, Count) does nothing.
  virtual void Delete(int32_t index);
  virtual void Clear();
  // Copies count, item size, flags and items of source (nullptr does nothing); the capacity becomes
  // exactly the count.
  virtual void Assign(const TIEList* source);

  // Appends a copy of ItemSize bytes from item; returns the new item's index.
  int32_t AddItem(const void* item);
  // The address of item index (asserted to be in range; never checked in release builds).
  void* GetItem(int32_t index);
  const void* GetItem(int32_t index) const;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t ItemSize() const { return itemSize_; }
  uint8_t Flags() const { return flags_; }
  void SetFlags(uint8_t flags) { flags_ = flags; }

 protected:
  int32_t itemSize_ = 0;

 private:
  void Reallocate(int32_t newCapacity, int32_t keep);
  std::unique_ptr<uint8_t[]> storage_;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  uint8_t flags_ = 0;
};

class TIEDoubleList : public TIEList {
 public:
  TIEDoubleList() { TIEDoubleList::Clear(); }
  void Clear() override;
  void Assign(const TIEList* source) override;
  int32_t Add(double value) { return AddItem(&value); }
  double& operator[](int32_t index) { return *static_cast<double*>(GetItem(index)); }
  double operator[](int32_t index) const { return *static_cast<const double*>(GetItem(index)); }

  // Cells carried along with the list (zeroed by Clear, copied by Assign).
  double DoubleCells[3] = {};
  int32_t IntCells[2] = {};
};

class TIEIntegerList : public TIEList {
 public:
  TIEIntegerList() { TIEIntegerList::Clear(); }
  void Clear() override;
  void Assign(const TIEList* source) override;
  int32_t Add(int32_t value) { return AddItem(&value); }
  int32_t& operator[](int32_t index) { return *static_cast<int32_t*>(GetItem(index)); }
  int32_t operator[](int32_t index) const { return *static_cast<const int32_t*>(GetItem(index)); }

  int32_t IntCells[4] = {};
};

class TIERecordList : public TIEList {
 public:
  explicit TIERecordList(int32_t recordSize) { itemSize_ = recordSize; }
  void* GetRecord(int32_t index) { return GetItem(index); }
  int32_t AddRecord(const void* record) { return AddItem(record); }
};

// A growable byte buffer; callers read and write Data() directly.
class TIEByteArray {
 public:
  explicit TIEByteArray(int32_t blockSize);
  TIEByteArray(const TIEByteArray&) = delete;
  TIEByteArray& operator=(const TIEByteArray&) = delete;

  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }
  int32_t Size() const { return size_; }
  int32_t Capacity() const { return capacity_; }
  int32_t BlockSize() const { return blockSize_; }

  // Growing past the capacity reallocates to newSize + BlockSize; shrinking by more than one block
  // below the capacity reallocates likewise; otherwise only the size changes.
  void SetSize(int32_t newSize);
  void AddByte(uint8_t value);
  // Reads up to count bytes from the stream onto the end; returns how many arrived (the size ends at
  // what really arrived). Memory grows with the data that arrives, not with count.
  int32_t AppendFromStream(TStream& stream, int32_t count);

 private:
  void Reallocate(int32_t newCapacity, int32_t keep);
  std::unique_ptr<uint8_t[]> data_;
  int32_t size_ = 0;
  int32_t capacity_ = 0;
  int32_t blockSize_ = 0;
};

// Sorts count entries known only by index: compare(i, j) < 0, 0 or > 0, exchange(i, j) swaps them.
// Not stable. Count 0 or less does nothing.
void IEQuickSort(int32_t count, const std::function<int(int32_t, int32_t)>& compare,
                 const std::function<void(int32_t, int32_t)>& exchange);

// The destination gets the source's items (for lists of pointers: the same pointers, not copies).
template <class T>
void CopyTList(const std::vector<T>& source, std::vector<T>& destination) {
  destination = source;
}

// A list of texts (the file dialogs' filters and names), each kept as its own copy.
class TIEWideStrings {
 public:
  // Appends a copy of Text.
  void Add(const std::string& Text) { items_.push_back(Text); }
  // Text Index; empty outside the list.
  std::string Get(int32_t Index) const {
    return Index >= 0 && static_cast<size_t>(Index) < items_.size() ? items_[static_cast<size_t>(Index)] : std::string();
  }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::string> items_;
};
