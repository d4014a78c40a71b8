#pragma once
// Releasing what the scanner (TWAIN) parameters hold, with the trace lines of each step. No scanner
// service exists on this platform, so nothing ever loads a source manager or makes a proxy window:
// the handles stay 0 and the release finds nothing to free. The routines remain because the
// parameters object's destructor calls them, and their traces are kept as they are written.
#include <cstdint>
#include <string>

#include "imaging/io/twain_params.h"

// The application identity of the scanner protocol.
struct TIETWainIdentity {
  uint16_t MajorNum = 1;
  uint16_t MinorNum = 0;
  uint16_t Language = static_cast<uint16_t>(-1);
  uint16_t Country = 1;
  uint16_t ProtocolMajor = 1;
  uint16_t ProtocolMinor = 9;
  uint32_t SupportedGroups = 3;
  std::string Info = " ";
  std::string Manufacturer = " ";
  std::string ProductFamily = " ";
  std::string ProductName = " ";
};

// One release's working record over a parameters object's shared record.
struct TIETWainContext {
  TIETWainIdentity AppId;
  uintptr_t ParentWindow = 0;
  int32_t State = 1;  // 1: source manager not loaded, 2: loaded
  TIETWainSourceManager* Shared = nullptr;
};

// The context over Shared: the identity's defaults, state 2 while Shared holds a loaded library.
void IETW_InitContext(TIETWainContext& Context, TIETWainSourceManager& Shared);
// Releases what Shared holds: the proxy window, then the source manager, both forced. An all-zero
// record is left alone.
void IETW_FreeResources(TIETWainSourceManager& Shared);
// Without Force keeps the proxy window for later; with Force destroys it. True when the state is 1
// afterwards.
bool DestroyProxyWindow(TIETWainContext& Context, bool Force);
// With Force (and a library held) unloads the source manager; otherwise forgets a loaded one. True
// when the state is 1 afterwards.
bool IETW_UnloadSourceManager(TIETWainContext& Context, bool Force);
// A line of the engine's trace log (only when one is named). Never raises: it runs from
// destructors.
void IETW_WriteLog(const std::string& Message) noexcept;
