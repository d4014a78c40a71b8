#include "imaging/core/ie_jpeg_markers.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/core/ie_exception.h"

namespace {

std::string IccChunk(uint8_t sequence) {
  std::string s("ICC_PROFILE", 12);  // with its zero
  s += static_cast<char>(sequence);
  s += '\x02';
  s += "profile bytes";
  return s;
}

void Add(TIEMarkerList& list, uint8_t code, const std::string& payload) {
  list.AddMarker(code, payload.data(), static_cast<int32_t>(payload.size()));
}

std::string Payload(const TIEMarkerList& list, int32_t i) {
  return std::string(reinterpret_cast<const char*>(list.GetMarkerData(i)), static_cast<size_t>(list.GetMarkerLength(i)));
}

TEST(IsEXIFBlock, NeedsTheZeroTerminatedTextInsideTheLength) {
  EXPECT_TRUE(IsEXIFBlock("Exif\0\0II", 8));
  EXPECT_TRUE(IsEXIFBlock("Exif\0", 5));
  EXPECT_FALSE(IsEXIFBlock("Exif\0", 4));  // the zero lies outside the payload
  EXPECT_FALSE(IsEXIFBlock("Exifx", 5));
  EXPECT_FALSE(IsEXIFBlock("http://ns.adobe.com/xap/1.0/", 29));
  EXPECT_FALSE(IsEXIFBlock(nullptr, 10));
}

TEST(MarkerList, SortOrdersCodesIccChunksAndPutsExifFirst) {
  TIEMarkerList list;
  Add(list, 0xFE, "comment");
  Add(list, 0xE2, IccChunk(2));
  Add(list, 0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));
  Add(list, 0xE2, IccChunk(1));
  Add(list, 0xED, "Photoshop 3.0");
  Add(list, 0xE1, std::string("Exif\0\0II*\0", 10));
  list.Sort();
  ASSERT_EQ(list.GetCount(), 6);
  const uint8_t codes[] = {0xE1, 0xE1, 0xE2, 0xE2, 0xED, 0xFE};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(list.GetMarkerType(i), codes[i]) << i;
  EXPECT_TRUE(IsEXIFBlock(list.GetMarkerData(0), list.GetMarkerLength(0)));
  EXPECT_EQ(list.GetMarkerData(2)[12], 1);
  EXPECT_EQ(list.GetMarkerData(3)[12], 2);
  EXPECT_EQ(list.IndexOf(0xED), 4);
  EXPECT_EQ(list.IndexOf(0xE0), -1);
}

TEST(MarkerList, AddSetDeleteAssign) {
  TIEMarkerList list;
  Add(list, 0xE1, "one");
  Add(list, 0xE2, "two");
  list.SetMarker(0, 0xEE, "three", 5);
  EXPECT_EQ(list.GetMarkerType(0), 0xEE);
  EXPECT_EQ(Payload(list, 0), "three");
  TIEMarkerList copy;
  copy.Assign(&list);
  list.Delete(0);
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(copy.GetCount(), 2);
  EXPECT_EQ(Payload(copy, 1), "two");
  EXPECT_THROW(list.Delete(5), EIEException);
  EXPECT_EQ(list.GetMarkerData(7), nullptr);
  EXPECT_EQ(list.GetMarkerLength(-1), 0);
  list.AddMarker(0xE3, nullptr, 0);
  EXPECT_EQ(list.GetMarkerLength(1), 0);
}

TEST(MarkerList, PayloadTooLongForAMarkerRaisesInsteadOfTruncating) {
  TIEMarkerList list;
  std::string big(70000, 'x');
  EXPECT_THROW(list.AddMarker(0xE1, big.data(), 70000), EIEException);
  EXPECT_EQ(list.GetCount(), 0);
  list.AddMarker(0xE1, big.data(), TIEMarkerList::kMaxMarkerLength);
  EXPECT_EQ(list.GetMarkerLength(0), 65533);
  EXPECT_THROW(list.AddMarker(0xE1, big.data(), 65534), EIEException);
  EXPECT_THROW(list.SetMarker(0, 0xE1, big.data(), 65534), EIEException);
  EXPECT_EQ(list.GetMarkerLength(0), 65533);  // unchanged
  EXPECT_THROW(list.AddMarker(0xE1, big.data(), -1), EIEException);
}

}  // namespace
