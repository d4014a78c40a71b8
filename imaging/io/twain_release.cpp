#include "imaging/io/twain_release.h"

#include "imaging/core/ie_trace_log.h"

void IETW_WriteLog(const std::string& Message) noexcept {
  try {
    WriteDebugLog(Message);
  } catch (...) {
    // A trace that cannot be written is dropped: the release goes on.
  }
}

void IETW_InitContext(TIETWainContext& Context, TIETWainSourceManager& Shared) {
  Context = TIETWainContext{};
  Context.Shared = &Shared;
  Context.State = Shared.LibraryMarker != 0 ? 2 : 1;
}

bool DestroyProxyWindow(TIETWainContext& Context, bool Force) {
  IETW_WriteLog("DestroyProxyWindow");
  if (!Force) {
    IETW_WriteLog("  DestroyProxyWindow : not destroyed, for future uses");
  } else {
    // There is no window system object behind the handle here: clearing it is the whole release.
    if (Context.Shared) Context.Shared->ProxyWindow = 0;
    IETW_WriteLog("  DestroyProxyWindow : destroyed");
  }
  return Context.State == 1;
}

bool IETW_UnloadSourceManager(TIETWainContext& Context, bool Force) {
  IETW_WriteLog("IETW_UnloadSourceManager");
  TIETWainSourceManager* shared = Context.Shared;
  if (Force && shared && shared->LibraryMarker != 0) {
    shared->LibraryMarker = 0;
    shared->Entry = 0;
    Context.State = 1;
    IETW_WriteLog("  IETW_UnloadSourceManager : Unload OK");
  } else if (Context.State == 2) {
    if (shared) shared->Entry = 0;
    Context.State = 1;
    IETW_WriteLog("  IETW_UnloadSourceManager not Unloaded, for future uses");
  }
  return Context.State == 1;
}

void IETW_FreeResources(TIETWainSourceManager& Shared) {
  TIETWainContext context;
  IETW_InitContext(context, Shared);
  if (Shared.ProxyWindow != 0) DestroyProxyWindow(context, true);
  if (Shared.LibraryMarker != 0) IETW_UnloadSourceManager(context, true);
  Shared = TIETWainSourceManager{};
}
