#include "imaging/core/ie_dicom_tags.h"

#include <cstring>

int32_t TIEDICOMTags::AddTag(uint16_t Group, uint16_t Element, const std::string& VR, const void* Data,
                             int32_t Length) {
  TIEDICOMTag tag;
  tag.Group = Group;
  tag.Element = Element;
  if (VR.size() == 2) {
    tag.VR[0] = VR[0];
    tag.VR[1] = VR[1];
  }
  if (Length > 0 && Data != nullptr) {
    tag.Data.resize(static_cast<size_t>(Length) + 1);
    std::memcpy(tag.Data.data(), Data, static_cast<size_t>(Length));
    tag.Length = Length;
  }
  tags_.push_back(std::move(tag));
  return static_cast<int32_t>(tags_.size()) - 1;
}

void TIEDICOMTags::Assign(const TIEDICOMTags* Source) {
  if (Source == this) return;
  Clear();
  if (Source) tags_ = Source->tags_;
}

const TIEDICOMTag* TIEDICOMTags::GetTag(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return nullptr;
  return &tags_[static_cast<size_t>(Index)];
}

int32_t TIEDICOMTags::IndexOf(uint16_t Group, uint16_t Element) const {
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i].Group == Group && tags_[i].Element == Element) return static_cast<int32_t>(i);
  return -1;
}
