#include "imaging/io/io_settings.h"

#include <mutex>

#include "imaging/core/ie_settings.h"
#include "platform/system/debug_log.h"

std::string TraceLogFileName;
bool AVIServicesStarted = false;
TIEColorConverterFunc DefaultColorConverter = nullptr;
bool CMYKProfileEnabled = true;
bool ICCConversionEnabled = false;
bool BufferedStreamRelativeOrigin = false;
int32_t MetafileMaxSize = 8000;

namespace {
std::mutex g_traceLock;  // I/O threads may log while the user-interface thread does
}  // namespace

void WriteDebugLog(const std::string& Message) {
  std::lock_guard<std::mutex> lock(g_traceLock);
  if (TraceLogFileName.empty()) return;
  AppendLogLine(TraceLogFileName, Message);
}

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
