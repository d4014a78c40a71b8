#include "controls/xrl/xrl_unit_versioning.h"

#include <unistd.h>

#include <cstring>

#include "controls/xrl/xrl_base.h"
#include "controls/xrl/xrl_synch.h"
#include "controls/xrl/xrl_sys_utils.h"
#include "platform/system/debug_log.h"

// ---------------------------------------------------------------------------------------- registry

int32_t TUnitVersioningModule::FindInfoIndex(const TUnitVersionInfo* info) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i]->VersionInfo() == info) return static_cast<int32_t>(i);
  return -1;
}

void TUnitVersioningModule::Add(const TUnitVersionInfo* info) { entries_.push_back(std::make_unique<TUnitVersion>(info)); }

void TUnitVersioning::AddUnitInfo(HMODULE module, const TUnitVersionInfo* info) {
  for (auto& m : modules_) {
    if (m->ModuleHandle() != module) continue;
    if (m->FindInfoIndex(info) == -1) m->Add(info);
    return;
  }
  modules_.push_back(std::make_unique<TUnitVersioningModule>(module));
  modules_.back()->Add(info);
}

void TUnitVersioning::DropModule(HMODULE module) {
  for (size_t i = modules_.size(); i-- > 0;) {
    if (modules_[i]->ModuleHandle() == module) {
      modules_.erase(modules_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  for (auto& p : providers_) p->ReleaseModuleHandle(module);
}

void TUnitVersioning::AddProvider(std::unique_ptr<TUnitVersioningProvider> provider) {
  if (provider) providers_.push_back(std::move(provider));
}

// ------------------------------------------------------------------------------ the process's registry

namespace {

TUnitVersioning* g_registry = nullptr;
bool g_ownsRegistry = false;
void* g_block = nullptr;  // holds the registry's address
std::unique_ptr<TXrlMutex> g_mutex;
bool g_mutexTried = false;
bool g_shutDown = false;

TUnitVersioning* ReadAddress() {
  TUnitVersioning* p = nullptr;
  std::memcpy(&p, g_block, sizeof p);
  return p;
}

void WriteAddress(TUnitVersioning* p) { std::memcpy(g_block, &p, sizeof p); }

void MakeOwnRegistry() {
  g_registry = new TUnitVersioning;
  g_ownsRegistry = true;
}

// Holds the mutex while it lives.
class MutexHeld {
 public:
  MutexHeld() { g_mutex->WaitSignal(INFINITE); }
  ~MutexHeld() { g_mutex->ReleaseOwnership(); }
  MutexHeld(const MutexHeld&) = delete;
  MutexHeld& operator=(const MutexHeld&) = delete;
};

}  // namespace

namespace {

std::string g_mutexName, g_blockName;

}  // namespace

std::string UnitVersioningMutexName() {
  return g_mutexName.empty() ? "MutexXRL_UnitVersioning_" + std::to_string(getpid()) : g_mutexName;
}

std::string UnitVersioningBlockName() {
  return g_blockName.empty() ? "ShmXRL_UnitVersioning_" + std::to_string(getpid()) : g_blockName;
}

void SetUnitVersioningNames(const std::string& mutexName, const std::string& blockName) {
  g_mutexName = mutexName;
  g_blockName = blockName;
}

TUnitVersioning* ProcessUnitRegistry() {
  if (g_shutDown) return nullptr;
  if (!g_mutexTried) {
    g_mutexTried = true;
    // Named objects outlive a crash: ones of this process's own names are a dead process's that
    // had the same id (one module per process: nothing live can own them).
    TNamedMutex::Unlink(UnitVersioningMutexName());
    TSharedMemoryBlock::Unlink(UnitVersioningBlockName());
    try {
      g_mutex = std::make_unique<TXrlMutex>(false, UnitVersioningMutexName());
    } catch (const Exception& e) {
      OutputDebugString("unit versioning: " + e.Message() + "; this module keeps its own registry");
    }
  }
  if (!g_registry) {
    if (!g_mutex) {
      MakeOwnRegistry();
      return g_registry;
    }
    MutexHeld held;
    if (!g_block) {
      try {
        OpenSharedBlock(g_block, UnitVersioningBlockName(), sizeof(void*), FILE_MAP_ALL_ACCESS);
      } catch (const Exception& e) {
        g_block = nullptr;
        OutputDebugString("unit versioning: " + e.Message() + "; this module keeps its own registry");
      }
    }
    if (g_block) {
      g_registry = ReadAddress();
      if (!g_registry) {
        MakeOwnRegistry();
        WriteAddress(g_registry);
      }
    } else {
      MakeOwnRegistry();
    }
  } else if (g_block && g_mutex) {
    MutexHeld held;
    g_registry = ReadAddress();
  }
  return g_registry;
}

void RegisterUnitRecord(HMODULE module, const TUnitVersionInfo* info) {
  if (TUnitVersioning* r = ProcessUnitRegistry()) r->AddUnitInfo(module, info);
}

void UnregisterModuleRecords(HMODULE module) {
  if (TUnitVersioning* r = ProcessUnitRegistry()) r->DropModule(module);
}

// ------------------------------------------------------------------------------- the library's units

namespace {

#define XRL_UNIT(name, folder)                                                                        \
  const TUnitVersionInfo k##name = {"$URL: XRL/source/" folder "/" #name ".pas $", "$Revision: 1 $", \
                                    "$Date: 2010-01-01 00:00:00 $", "XRL\\source\\" folder, "", nullptr}
XRL_UNIT(XrlResources, "common");
XRL_UNIT(XrlWin32, "windows");
XRL_UNIT(XrlLogic, "common");
XRL_UNIT(XrlStringConversions, "common");
XRL_UNIT(XrlCharsets, "common");
XRL_UNIT(Xrl8087, "common");
XRL_UNIT(XrlIniFiles, "common");
XRL_UNIT(XrlSysInfo, "common");
XRL_UNIT(XrlUnicode, "common");
XRL_UNIT(XrlWideStrings, "common");
XRL_UNIT(XrlRegistry, "windows");
XRL_UNIT(XrlSynch, "common");
XRL_UNIT(XrlMath, "common");
XRL_UNIT(XrlStreams, "common");
XRL_UNIT(XrlAnsiStrings, "common");
XRL_UNIT(XrlStrings, "common");
XRL_UNIT(XrlShell, "windows");
XRL_UNIT(XrlSecurity, "windows");
XRL_UNIT(XrlDateTime, "common");
XRL_UNIT(XrlFileUtils, "common");
XRL_UNIT(XrlConsole, "windows");
XRL_UNIT(XrlSysUtils, "common");
XRL_UNIT(XrlUnitVersioning, "common");
XRL_UNIT(XrlBase, "common");
XRL_UNIT(XrlRTTI, "common");
XRL_UNIT(XrlMime, "common");
#undef XRL_UNIT

}  // namespace

const std::vector<const TUnitVersionInfo*>& LibraryUnitRecords() {
  static const std::vector<const TUnitVersionInfo*> records = {
      &kXrlResources, &kXrlWin32,       &kXrlLogic,    &kXrlStringConversions, &kXrlCharsets, &kXrl8087,
      &kXrlIniFiles,  &kXrlSysInfo,     &kXrlUnicode,  &kXrlWideStrings,       &kXrlRegistry, &kXrlSynch,
      &kXrlMath,      &kXrlStreams,     &kXrlAnsiStrings, &kXrlStrings,        &kXrlShell,    &kXrlSecurity,
      &kXrlDateTime,  &kXrlFileUtils,   &kXrlConsole,  &kXrlSysUtils,          &kXrlUnitVersioning,
      &kXrlBase,      &kXrlRTTI,        &kXrlMime};
  return records;
}

void InitializeUnitVersioning() {
  g_shutDown = false;
  for (const TUnitVersionInfo* info : LibraryUnitRecords()) RegisterUnitRecord(MainModuleHandle(), info);
}

void FinalizeUnitVersioning() {
  // Every unit unregisters, the last first: the first call removes the program's module entry.
  const auto& records = LibraryUnitRecords();
  for (size_t i = records.size(); i-- > 0;) UnregisterModuleRecords(MainModuleHandle());
  // Then the registry's own shut-down, which swallows every failure.
  g_shutDown = true;
  try {
    if (g_block && g_mutex) {
      MutexHeld held;
      WriteAddress(nullptr);
      CloseSharedBlock(g_block);
    }
  } catch (...) {
  }
  if (g_ownsRegistry) delete g_registry;
  g_registry = nullptr;
  g_ownsRegistry = false;
  g_block = nullptr;
  g_mutex.reset();
  g_mutexTried = false;
  TNamedMutex::Unlink(UnitVersioningMutexName());
  TSharedMemoryBlock::Unlink(UnitVersioningBlockName());
}
