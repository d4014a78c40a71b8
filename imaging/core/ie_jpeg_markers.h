#pragma once
// The JPEG application and comment markers of an image, kept as raw payloads (the bytes after the
// marker code and its two-byte length field).
#include <cstdint>
#include <vector>

// True when the payload is an EXIF block: it starts with the zero-terminated text "Exif" (the
// length is respected: a payload shorter than 5 bytes is not one).
bool IsEXIFBlock(const void* data, int64_t length);

class TIEMarkerList {
 public:
  // The most a marker can carry: its length field counts itself and holds at most 65535.
  static constexpr int32_t kMaxMarkerLength = 65533;

  int32_t GetCount() const { return static_cast<int32_t>(markers_.size()); }
  // The payload of marker index (owned by the list), its code byte and its length. Out-of-range
  // indexes give nullptr, 0 and 0.
  uint8_t* GetMarkerData(int32_t index);
  const uint8_t* GetMarkerData(int32_t index) const;
  uint8_t GetMarkerType(int32_t index) const;
  int32_t GetMarkerLength(int32_t index) const;
  // The index of the first marker with that code, -1 when none.
  int32_t IndexOf(uint8_t markerType) const;

  // Appends a copy of length bytes. A payload longer than kMaxMarkerLength (or a negative length)
  // raises EIEException and adds nothing: a JPEG marker cannot hold it.
  void AddMarker(uint8_t markerType, const void* data, int32_t length);
  // Replaces marker index with a copy of the new bytes and code (same checks as AddMarker).
  void SetMarker(int32_t index, uint8_t markerType, const void* data, int32_t length);
  void Delete(int32_t index);
  void Clear() { markers_.clear(); }
  void Assign(const TIEMarkerList* source);

  // The sort's callbacks: by code, split ICC profiles (APP2 "ICC_PROFILE") by chunk number.
  int CompareMarkers(int32_t i, int32_t j) const;
  void ExchangeMarkers(int32_t i, int32_t j);
  // Ascending codes, ICC chunks in sequence, and an EXIF block at the head of the APP1 markers.
  void Sort();

 private:
  struct Marker {
    uint8_t type = 0;
    std::vector<uint8_t> data;
  };
  static std::vector<uint8_t> CopyPayload(const void* data, int32_t length);
  void CheckIndex(int32_t index) const;
  std::vector<Marker> markers_;
};
