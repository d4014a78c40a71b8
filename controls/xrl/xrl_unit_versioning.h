#pragma once
// The per-process unit-version registry: every unit of the utility library records its version at
// start-up. The registry is meant for all modules of a process: its address lives in a named shared
// block ("ShmXRL_UnitVersioning_<pid>") read and changed under a named mutex
// ("MutexXRL_UnitVersioning_<pid>"). Nothing in the program reads it back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/xrl/xrl_file_utils.h"

// One unit's version record (static, one per unit).
struct TUnitVersionInfo {
  const char* RCSfile;   // the source-control location of the unit's source file
  const char* Revision;
  const char* Date;
  const char* LogPath;   // "XRL\source\common" or "XRL\source\windows"
  const char* Extra;
  void* Data;
};

class TUnitVersion {
 public:
  explicit TUnitVersion(const TUnitVersionInfo* info) : info_(info) {}
  const TUnitVersionInfo* VersionInfo() const { return info_; }

 private:
  const TUnitVersionInfo* info_;
};

class TUnitVersioningModule {
 public:
  explicit TUnitVersioningModule(HMODULE module) : module_(module) {}
  HMODULE ModuleHandle() const { return module_; }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  TUnitVersion* Items(int32_t index) const { return entries_.at(static_cast<size_t>(index)).get(); }
  // The index of the entry holding that record (by address), -1 when none.
  int32_t FindInfoIndex(const TUnitVersionInfo* info) const;
  void Add(const TUnitVersionInfo* info);

 private:
  HMODULE module_;
  std::vector<std::unique_ptr<TUnitVersion>> entries_;
};

// Hears of a module whose records are dropped.
class TUnitVersioningProvider {
 public:
  virtual ~TUnitVersioningProvider() = default;
  virtual void ReleaseModuleHandle(HMODULE module) = 0;
};

class TUnitVersioning {
 public:
  // Adds the record to the module's entry (made when the module has none), once per record.
  void AddUnitInfo(HMODULE module, const TUnitVersionInfo* info);
  // Frees the last entry of the module, then tells every provider.
  void DropModule(HMODULE module);
  void AddProvider(std::unique_ptr<TUnitVersioningProvider> provider);
  int32_t ModuleCount() const { return static_cast<int32_t>(modules_.size()); }
  TUnitVersioningModule* Modules(int32_t index) const { return modules_.at(static_cast<size_t>(index)).get(); }

 private:
  std::vector<std::unique_ptr<TUnitVersioningModule>> modules_;
  std::vector<std::unique_ptr<TUnitVersioningProvider>> providers_;
};

// The process's registry (shared through the named block, or this module's own when the block or
// the mutex cannot be had); none once shut-down has begun.
TUnitVersioning* ProcessUnitRegistry();
void RegisterUnitRecord(HMODULE module, const TUnitVersionInfo* info);
void UnregisterModuleRecords(HMODULE module);

// The names of this process's mutex and shared block.
std::string UnitVersioningMutexName();
std::string UnitVersioningBlockName();
// Other names for the next start-up (tests); empty: the process's own.
void SetUnitVersioningNames(const std::string& mutexName, const std::string& blockName);

// Start-up: the library's units record their versions. Shut-down: they unregister, then the
// registry goes, and with it the names of the mutex and block.
void InitializeUnitVersioning();
void FinalizeUnitVersioning();
// The units' records, in the order they register.
const std::vector<const TUnitVersionInfo*>& LibraryUnitRecords();
