#include "imaging/io/codecs/dicom_dictionary.h"

#include <algorithm>

const char* DICOMDictionaryVR(uint16_t Group, uint16_t Element) {
  const TDICOMDictEntry* end = kDICOMDictionary + kDICOMDictionarySize;
  const TDICOMDictEntry* e = std::lower_bound(kDICOMDictionary, end, (uint32_t{Group} << 16) | Element,
                                              [](const TDICOMDictEntry& x, uint32_t key) {
                                                return ((uint32_t{x.Group} << 16) | x.Element) < key;
                                              });
  if (e != end && e->Group == Group && e->Element == Element) return e->VR;
  for (int32_t i = 0; i < kDICOMDictionaryRangeCount; ++i) {
    const TDICOMDictRange& r = kDICOMDictionaryRanges[i];
    if (Group < r.GroupLow || Group > r.GroupHigh || (Group - r.GroupLow) % r.GroupStep != 0) continue;
    if (Element < r.ElementLow || Element > r.ElementHigh || (Element - r.ElementLow) % r.ElementStep != 0) continue;
    return r.VR;
  }
  return Element == 0 ? "UL" : "xs";
}
