#pragma once
// The DICOM tags of an image, in the order the DICOM reader met them: group, element, value
// representation and the value bytes.
#include <cstdint>
#include <string>
#include <vector>

struct TIEDICOMTag {
  uint16_t Group = 0;
  uint16_t Element = 0;
  char VR[2] = {0, 0};         // two zero bytes when not given
  std::vector<uint8_t> Data;   // Length bytes and a terminating zero; empty when there is no value
  int32_t Length = 0;          // value bytes, 0 when there is none

  // The value bytes, nil when there is none.
  const uint8_t* Value() const { return Data.empty() ? nullptr : Data.data(); }
};

class TIEDICOMTags {
 public:
  TIEDICOMTags() = default;
  TIEDICOMTags(const TIEDICOMTags&) = delete;
  TIEDICOMTags& operator=(const TIEDICOMTags&) = delete;

  // Appends a tag with a copy of Length value bytes (and a terminating zero). VR is kept only when
  // it has exactly two characters; a negative Length (or nil Data) stores no value. Returns the new
  // tag's index.
  int32_t AddTag(uint16_t Group, uint16_t Element, const std::string& VR, const void* Data, int32_t Length);
  void Clear() { tags_.clear(); }
  // Clear, then a copy of every source tag in order.
  void Assign(const TIEDICOMTags* Source);

  int32_t GetCount() const { return static_cast<int32_t>(tags_.size()); }
  // Tag Index, nil outside the list.
  const TIEDICOMTag* GetTag(int32_t Index) const;
  // The index of the first tag of that group and element, -1 when none.
  int32_t IndexOf(uint16_t Group, uint16_t Element) const;

 private:
  std::vector<TIEDICOMTag> tags_;
};
