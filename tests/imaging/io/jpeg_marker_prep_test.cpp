#include "imaging/io/jpeg_marker_prep.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/io/io_params.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A Photoshop APP13 payload holding one resolution resource with the given name.
Bytes ResolutionMarker(const std::string& name, uint32_t size, size_t dataBytes) {
  Bytes m = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0, '8', 'B', 'I', 'M', 0x03, 0xED};
  m.push_back(static_cast<uint8_t>(name.size()));
  m.insert(m.end(), name.begin(), name.end());
  if ((1 + name.size()) % 2) m.push_back(0);
  for (int i = 3; i >= 0; --i) m.push_back(static_cast<uint8_t>(size >> (8 * i)));
  m.insert(m.end(), dataBytes, 0xEE);
  return m;
}

size_t DataOffset(const std::string& name) { return 14 + 6 + ((1 + name.size() + 1) & ~size_t{1}) + 4; }

TEST(JpegMarkers, ResolutionResourceIsRewrittenWhereverItsNameEnds) {
  for (const std::string name : {"", "a", "res"}) {
    SCOPED_TRACE(name);
    TIOParamsVals p(nullptr);
    p.SetDpiX(300);
    p.SetDpiY(150);
    const Bytes m = ResolutionMarker(name, 16, 16);
    p.JpegMarkers.AddMarker(0xED, m.data(), static_cast<int32_t>(m.size()));
    UpdateJpegResolutionResource(p);
    const uint8_t* d = p.JpegMarkers.GetMarkerData(0) + DataOffset(name);
    EXPECT_EQ(IEGetU32(d, true), 300u << 16);
    EXPECT_EQ(IEGetU16(d + 4, true), 1);
    EXPECT_EQ(IEGetU16(d + 6, true), 1);
    EXPECT_EQ(IEGetU32(d + 8, true), 150u << 16);
    EXPECT_EQ(IEGetU16(d + 12, true), 1);
    EXPECT_EQ(IEGetU16(d + 14, true), 1);
  }
}

TEST(JpegMarkers, AResourceThatDoesNotFitIsLeftAlone) {
  const Bytes cases[] = {ResolutionMarker("", 16, 10), ResolutionMarker("", 8, 16), ResolutionMarker("long name", 16, 3)};
  for (const Bytes& m : cases) {
    TIOParamsVals p(nullptr);
    p.SetDpiX(300);
    p.JpegMarkers.AddMarker(0xED, m.data(), static_cast<int32_t>(m.size()));
    UpdateJpegResolutionResource(p);
    EXPECT_EQ(Bytes(p.JpegMarkers.GetMarkerData(0), p.JpegMarkers.GetMarkerData(0) + m.size()), m);
  }
}

TEST(JpegMarkers, IPTCGoesIntoTheFirstAPP13WhenChanged) {
  TIOParamsVals p(nullptr);
  const Bytes other = {1, 2, 3};
  p.JpegMarkers.AddMarker(0xE1, other.data(), 3);
  p.IPTC.AddData(2, 5, "Title", 5);
  PrepareJpegMarkers(p);
  ASSERT_EQ(p.JpegMarkers.GetCount(), 2);
  EXPECT_EQ(p.JpegMarkers.GetMarkerType(1), 0xED);
  p.IPTC.Clear();  // changed and empty: the APP13 marker goes
  PrepareJpegMarkers(p);
  EXPECT_EQ(p.JpegMarkers.IndexOf(0xED), -1);
}

}  // namespace
