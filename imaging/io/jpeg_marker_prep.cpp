#include "imaging/io/jpeg_marker_prep.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"

namespace {
constexpr uint8_t kAPP1 = 0xE1;
constexpr uint8_t kAPP13 = 0xED;

// The first APP1 marker whose payload passes Test; -1 when none does.
template <class Test>
int32_t FindAPP1(TIEMarkerList& markers, Test test) {
  for (int32_t i = 0; i < markers.GetCount(); ++i)
    if (markers.GetMarkerType(i) == kAPP1 && test(markers.GetMarkerData(i), markers.GetMarkerLength(i))) return i;
  return -1;
}

void PrepareExifMarker(TIOParamsVals& params) {
  if (!params.HasExifData) return;
  std::vector<uint8_t> block;
  SaveEXIFToBuffer(params, block, true);
  if (block.size() > static_cast<size_t>(TIEMarkerList::kMaxMarkerLength)) {
    IOTrace("EXIF block of " + std::to_string(block.size()) + " bytes written without its thumbnail (a marker holds " +
            std::to_string(TIEMarkerList::kMaxMarkerLength) + ")");
    SaveEXIFToBuffer(params, block, true, false);
  }
  const int32_t old = FindAPP1(params.JpegMarkers, [](const void* d, int64_t n) { return IsEXIFBlock(d, n); });
  if (old >= 0) params.JpegMarkers.Delete(old);
  if (block.size() > static_cast<size_t>(TIEMarkerList::kMaxMarkerLength)) {
    IOTrace("EXIF block of " + std::to_string(block.size()) + " bytes left out of the JPEG file");
    return;
  }
  if (!block.empty()) params.JpegMarkers.AddMarker(kAPP1, block.data(), static_cast<int32_t>(block.size()));
}

void PrepareXmpMarker(TIOParamsVals& params) {
  const int32_t old = FindAPP1(params.JpegMarkers, [](const void* d, int64_t n) { return FindXMPPacket(d, n) != nullptr; });
  if (old >= 0) params.JpegMarkers.Delete(old);
  if (params.XmpInfo.empty()) return;
  std::vector<uint8_t> block;
  BuildXMPAPP1(params, block);
  if (block.size() > static_cast<size_t>(TIEMarkerList::kMaxMarkerLength)) {
    IOTrace("XMP packet of " + std::to_string(block.size()) + " bytes left out of the JPEG file (a marker holds " +
            std::to_string(TIEMarkerList::kMaxMarkerLength) + ")");
    return;
  }
  params.JpegMarkers.AddMarker(kAPP1, block.data(), static_cast<int32_t>(block.size()));
}

void PrepareIptcMarker(TIOParamsVals& Params);

}  // namespace

void UpdateJpegResolutionResource(TIOParamsVals& Params) {
  const int32_t index = Params.JpegMarkers.IndexOf(kAPP13);
  if (index < 0) return;
  uint8_t* data = Params.JpegMarkers.GetMarkerData(index);
  const int64_t length = Params.JpegMarkers.GetMarkerLength(index);
  static const uint8_t kResource[6] = {'8', 'B', 'I', 'M', 0x03, 0xED};
  for (int64_t at = 0; at + 6 <= length; ++at) {
    if (std::memcmp(data + at, kResource, 6) != 0) continue;
    // Resource: signature, id, name (length byte, text, padded to an even size), data size, data.
    if (at + 7 > length) return;
    const int64_t nameField = (1 + data[at + 6] + 1) & ~int64_t{1};
    const int64_t sizeAt = at + 6 + nameField;
    if (!TIEByteReader::RangeInside(sizeAt, 4, length)) return;
    const uint32_t size = IEGetU32(data + sizeAt, true);
    if (size < 16 || !TIEByteReader::RangeInside(sizeAt + 4, 16, length)) return;
    uint8_t* p = data + sizeAt + 4;
    IEPutU32(p, static_cast<uint32_t>(Params.DpiX) << 16, true);
    IEPutU16(p + 4, 1, true);
    IEPutU16(p + 6, 1, true);
    IEPutU32(p + 8, static_cast<uint32_t>(Params.DpiY) << 16, true);
    IEPutU16(p + 12, 1, true);
    IEPutU16(p + 14, 1, true);
    return;
  }
}

void PrepareJpegMarkers(TIOParamsVals& Params) {
  UpdateJpegResolutionResource(Params);
  PrepareIptcMarker(Params);
  PrepareExifMarker(Params);
  PrepareXmpMarker(Params);
}

namespace {

void PrepareIptcMarker(TIOParamsVals& Params) {
  if (!Params.IPTC.Changed() && !(Params.IPTC.GetCount() > 0 && Params.JpegMarkers.GetCount() == 0)) return;
  void* block = nullptr;
  int32_t size = 0;
  Params.IPTC.SaveToBuffer(block, size, true);
  std::unique_ptr<void, decltype(&std::free)> owned(block, &std::free);
  const int32_t index = Params.JpegMarkers.IndexOf(kAPP13);
  if (size > TIEMarkerList::kMaxMarkerLength) {
    // One marker cannot carry it: the file goes without IPTC rather than with stale records.
    IOTrace("IPTC block of " + std::to_string(size) + " bytes left out of the JPEG file (a marker holds " +
            std::to_string(TIEMarkerList::kMaxMarkerLength) + ")");
    if (index >= 0) Params.JpegMarkers.Delete(index);
  } else if (size > 0 && index >= 0) {
    Params.JpegMarkers.SetMarker(index, kAPP13, block, size);
  } else if (size > 0) {
    Params.JpegMarkers.AddMarker(kAPP13, block, size);
  } else if (index >= 0) {
    Params.JpegMarkers.Delete(index);
  }
}

}  // namespace
