#pragma once
// The DICOM data dictionary the reader takes value representations from (the implicit VRs of
// PS 3.6): the tags by number, and the repeating groups and elements (overlays, curves) as ranges.
// Two pseudo-VRs: "xs" where the VR depends on the data set (and for a tag the dictionary does not
// know), "!!" for the item and delimitation tags.
#include <cstdint>

struct TDICOMDictEntry {
  uint16_t Group;
  uint16_t Element;
  char VR[3];
};

// Groups GroupLow..GroupHigh in steps of GroupStep, elements likewise.
struct TDICOMDictRange {
  uint16_t GroupLow, GroupHigh;
  uint8_t GroupStep;
  uint16_t ElementLow, ElementHigh;
  uint8_t ElementStep;
  char VR[3];
};

extern const TDICOMDictEntry kDICOMDictionary[];  // sorted by group, then element
extern const int32_t kDICOMDictionarySize;
extern const TDICOMDictRange kDICOMDictionaryRanges[];
extern const int32_t kDICOMDictionaryRangeCount;

// The VR of a tag: the table's by binary search, then the ranges', then "UL" for a group length
// (element 0), "xs" for anything else.
const char* DICOMDictionaryVR(uint16_t Group, uint16_t Element);
