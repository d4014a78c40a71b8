#include "imaging/core/ie_startup.h"

#include <mutex>

#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_settings.h"

namespace {
std::mutex g_startupLock;
int g_useCount = 0;
}  // namespace

void IEInitialize() {
  std::lock_guard<std::mutex> lock(g_startupLock);
  if (g_useCount++ > 0) return;
  InitializeImagingDefaults();
  InitializeIEGDIPlus();
  BuildBlendCosineTable();
  IEIOModuleStartup.Initialize();
  IEProcModuleStartup.Initialize();
}

void IEFinalize() {
  std::lock_guard<std::mutex> lock(g_startupLock);
  if (g_useCount == 0 || --g_useCount > 0) return;
  IEProcModuleStartup.Finalize();
  IEIOModuleStartup.Finalize();
  FinalizeImagingDefaults();
}
