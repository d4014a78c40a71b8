#include "imaging/io/twain_params.h"

#include "imaging/io/twain_release.h"

TIETWainParams::TIETWainParams(TComponent* Owner, bool OwnerIsMulti) : owner_(Owner), ownerIsMulti_(OwnerIsMulti) {
  Reset();
}

TIETWainParams::~TIETWainParams() {
  // The source manager goes before anything else.
  IETW_FreeResources(SourceManager);
  Reset();
}

void TIETWainParams::Reset() {
  Blocks.clear();
  VisibleDialog = 1;
  ShowProgress = 0;
  SelectedSource = 0;
  SourceOpen = 0;
  TransferReady = 0;
  for (TIEDoubleList* list : {&XResolution, &YResolution, &XScaling, &YScaling}) list->Clear();
  PixelType.Clear();
  BitDepth.Clear();
  Gamma = 2.2;
  Contrast = Brightness = 0.0;
  const uint8_t multi = ownerIsMulti_ ? 1 : 0;
  OwnerIsMulti1 = multi;
  Orientation.Clear();
  AcquireFrameEnabled = 1;
  AcquireFrame[0] = AcquireFrame[1] = 0.0;
  AutoFeed = 1;
  AutoScan = 1;
  DuplexEnabled = 0;
  OwnerIsMulti2 = multi;
  FeederEnabled = 0;
  for (TIEDoubleList* list : {&Threshold, &Rotation, &Shadow, &Highlight}) list->Clear();
  UndefinedImageSize = 0;
  BufferedTransfer.Clear();
  OwnerIsMulti3 = multi;
  AutoDeskew = AutoBorderDetection = AutoRotate = FilmScanMode = 0;
  PageSize = -2;
  NoiseFilter = 0;
  PhysicalWidth = PhysicalHeight = -1.0;
  ProductName.clear();
  Manufacturer.clear();
  ProductFamily.clear();
  Version.clear();
  Language = 0;
  Country = -1;
  TransferCount = 1;
  DataStream.Clear();
  LastError = 0;
  LastErrorText.clear();
}
