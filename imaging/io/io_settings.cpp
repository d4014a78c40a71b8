#include "imaging/io/io_settings.h"

#include "imaging/core/ie_settings.h"

std::atomic<bool> AVIServicesStarted{false};
TIEColorConverterFunc DefaultColorConverter = nullptr;
bool CMYKProfileEnabled = true;
bool ICCConversionEnabled = false;
bool BufferedStreamRelativeOrigin = false;
int32_t MetafileMaxSize = 8000;

void ResetIOSettings() {
  UseRTLFileExists = false;
  TraceLogFileName.clear();
  AVIServicesStarted = false;
  DefaultColorConverter = nullptr;
  CMYKProfileEnabled = true;
  ICCConversionEnabled = false;
  BufferedStreamRelativeOrigin = false;
  MetafileMaxSize = 8000;
}
