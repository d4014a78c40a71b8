#pragma once
// IPTC datasets of an image, and the IPTC block they travel in: a run of datasets (0x1C, record,
// dataset, length, data; big-endian lengths, the extended form for 32,768 bytes or more), padded to
// an even length, optionally wrapped in the 26-byte Photoshop "8BIM" 0x0404 resource that JPEG files
// carry in their APP13 marker.
#include <cstdint>
#include <vector>

class TIEIPTCInfoList {
 public:
  int32_t GetCount() const { return static_cast<int32_t>(entries_.size()); }
  // Entry index's numbers, length and bytes (owned by the list); out-of-range indexes give 0/nullptr.
  int32_t RecordNumber(int32_t index) const;
  int32_t DataSetNumber(int32_t index) const;
  int32_t DataLength(int32_t index) const;
  const uint8_t* Data(int32_t index) const;

  // Appends a copy of length bytes; returns the new dataset's index. Sets the changed flag.
  int32_t AddData(int32_t recordNumber, int32_t dataSetNumber, const void* data, int32_t length);
  void Clear();
  void Assign(const TIEIPTCInfoList* source);

  // Builds the block in a new std::malloc block that the caller frees with std::free; an empty list
  // gives nullptr and 0. The record-version dataset 2:0 and empty datasets of the list are not
  // written; without the wrapper the block starts with its own version dataset (value 2).
  void SaveToBuffer(void*& buffer, int32_t& length, bool withPhotoshopHeader) const;
  // Parses a block (wrapped or not) into the list; true when at least one dataset was read. Every
  // length is checked against the block: a dataset that does not fit ends the parse.
  bool LoadFromBuffer(const void* buffer, int32_t length);

  // Set by every change through AddData, Clear and Assign; cleared by parsing a non-empty block.
  // The JPEG writer rebuilds the APP13 marker only when it is set.
  bool Changed() const { return changed_; }
  void SetChanged(bool value) { changed_ = value; }

 private:
  struct Entry {
    int32_t record = 0;
    int32_t dataSet = 0;
    std::vector<uint8_t> data;
  };
  std::vector<Entry> entries_;
  bool changed_ = false;
};
