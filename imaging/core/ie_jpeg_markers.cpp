#include "imaging/core/ie_jpeg_markers.h"

#include <cstring>

#include "imaging/core/ie_exception.h"
#include "imaging/core/ie_lists.h"

namespace {

constexpr uint8_t kAPP1 = 0xE1;
constexpr uint8_t kAPP2 = 0xE2;
constexpr char kICCProfile[] = "ICC_PROFILE";  // with its terminating zero: 12 bytes

bool IsICCChunk(const std::vector<uint8_t>& data) {
  return data.size() > 13 && std::memcmp(data.data(), kICCProfile, sizeof kICCProfile) == 0;
}

}  // namespace

bool IsEXIFBlock(const void* data, int64_t length) {
  return data && length >= 5 && std::memcmp(data, "Exif", 5) == 0;
}

std::vector<uint8_t> TIEMarkerList::CopyPayload(const void* data, int32_t length) {
  if (length < 0 || length > kMaxMarkerLength)
    throw EIEException(Format("JPEG marker too long: %d bytes (at most %d)", length, kMaxMarkerLength));
  if (length > 0 && !data) throw EIEException("JPEG marker without data");
  const auto* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + length);
}

void TIEMarkerList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= GetCount()) throw EIEException(Format("List index out of bounds (%d)", index));
}

uint8_t* TIEMarkerList::GetMarkerData(int32_t index) {
  return index >= 0 && index < GetCount() ? markers_[index].data.data() : nullptr;
}

const uint8_t* TIEMarkerList::GetMarkerData(int32_t index) const {
  return index >= 0 && index < GetCount() ? markers_[index].data.data() : nullptr;
}

uint8_t TIEMarkerList::GetMarkerType(int32_t index) const {
  return index >= 0 && index < GetCount() ? markers_[index].type : 0;
}

int32_t TIEMarkerList::GetMarkerLength(int32_t index) const {
  return index >= 0 && index < GetCount() ? static_cast<int32_t>(markers_[index].data.size()) : 0;
}

int32_t TIEMarkerList::IndexOf(uint8_t markerType) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (markers_[i].type == markerType) return i;
  return -1;
}

void TIEMarkerList::AddMarker(uint8_t markerType, const void* data, int32_t length) {
  markers_.push_back({markerType, CopyPayload(data, length)});
}

void TIEMarkerList::SetMarker(int32_t index, uint8_t markerType, const void* data, int32_t length) {
  CheckIndex(index);
  auto payload = CopyPayload(data, length);
  markers_[index].type = markerType;
  markers_[index].data = std::move(payload);
}

void TIEMarkerList::Delete(int32_t index) {
  CheckIndex(index);
  markers_.erase(markers_.begin() + index);
}

void TIEMarkerList::Assign(const TIEMarkerList* source) {
  if (!source || source == this) return;
  markers_ = source->markers_;
}

int TIEMarkerList::CompareMarkers(int32_t i, int32_t j) const {
  const Marker& a = markers_[i];
  const Marker& b = markers_[j];
  if (a.type == kAPP2 && b.type == kAPP2 && IsICCChunk(a.data) && IsICCChunk(b.data))
    return int(a.data[12]) - int(b.data[12]);
  return int(a.type) - int(b.type);
}

void TIEMarkerList::ExchangeMarkers(int32_t i, int32_t j) { std::swap(markers_[i], markers_[j]); }

void TIEMarkerList::Sort() {
  IEQuickSort(GetCount(), [this](int32_t i, int32_t j) { return CompareMarkers(i, j); },
              [this](int32_t i, int32_t j) { ExchangeMarkers(i, j); });
  const int32_t first = IndexOf(kAPP1);
  if (first < 0) return;
  for (int32_t i = first + 1; i < GetCount(); ++i) {
    if (markers_[i].type == kAPP1 && IsEXIFBlock(markers_[i].data.data(), GetMarkerLength(i))) ExchangeMarkers(i, first);
  }
}
