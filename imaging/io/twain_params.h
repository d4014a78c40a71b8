#pragma once
// TIETWainParams: the store of scanner acquisition settings that every I/O component (single and
// multi-image) creates with itself as owner. The program has no scanner acquisition road: nothing reads
// or writes the settings between creation and destruction. The object holds its containers, puts every
// setting to its default, and when it goes releases the scanner source manager its owner might have
// loaded (never, on this platform).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_lists.h"
#include "platform/system/object.h"
#include "platform/system/streams.h"

class TComponent;

// What the scanner routines keep of a loaded source manager: all zero while none is loaded.
struct TIETWainSourceManager {
  uint32_t LibraryMarker = 0;  // non-zero while a source manager library is loaded
  uint32_t Entry = 0;
  uint32_t ProxyWindow = 0;    // non-zero while a proxy window exists
};

class TIETWainParams : public TObject {
 public:
  // OwnerIsMulti: the owner is a multi-image component (the three owner flags read 1).
  TIETWainParams(TComponent* Owner, bool OwnerIsMulti);
  ~TIETWainParams() override;
  TIETWainParams(const TIETWainParams&) = delete;
  TIETWainParams& operator=(const TIETWainParams&) = delete;

  // Every setting to its default: the memory blocks freed, the lists and the stream emptied.
  void Reset();
  TComponent* Owner() const { return owner_; }

  uint8_t VisibleDialog = 1;
  uint8_t ShowProgress = 0;
  std::vector<std::unique_ptr<uint8_t[]>> Blocks;  // raw memory blocks held for a transfer
  int32_t SelectedSource = 0;
  uint8_t SourceOpen = 0;
  uint8_t TransferReady = 0;
  TIEDoubleList XResolution, YResolution, XScaling, YScaling;
  TIEIntegerList PixelType, BitDepth;
  double Gamma = 2.2;
  double Contrast = 0.0;
  double Brightness = 0.0;
  uint8_t OwnerIsMulti1 = 0;
  TIEIntegerList Orientation;
  uint8_t AcquireFrameEnabled = 1;
  double AcquireFrame[2] = {0.0, 0.0};
  uint8_t AutoFeed = 1;
  uint8_t AutoScan = 1;
  uint8_t DuplexEnabled = 0;
  uint8_t OwnerIsMulti2 = 0;
  uint8_t FeederEnabled = 0;
  TIEDoubleList Threshold, Rotation;
  TIEDoubleList Shadow, Highlight;
  uint8_t UndefinedImageSize = 0;
  TIEIntegerList BufferedTransfer;
  uint8_t OwnerIsMulti3 = 0;
  uint8_t AutoDeskew = 0;
  uint8_t AutoBorderDetection = 0;
  uint8_t AutoRotate = 0;
  uint8_t FilmScanMode = 0;
  int32_t PageSize = -2;
  uint8_t NoiseFilter = 0;
  double PhysicalWidth = -1.0;
  double PhysicalHeight = -1.0;
  std::string ProductName, Manufacturer, ProductFamily, Version;
  uint8_t Language = 0;
  int16_t Country = -1;
  int16_t TransferCount = 1;
  TMemoryStream DataStream;
  TIETWainSourceManager SourceManager;  // not touched by Reset
  int32_t LastError = 0;
  std::string LastErrorText;

 private:
  TComponent* owner_;
  bool ownerIsMulti_;
};

