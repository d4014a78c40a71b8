#pragma once
// The engine's once-only start-up and its matching shut-down. Both are counted and guarded by a
// lock, so every module may call them; only the first start-up and the last shut-down do work.
void IEInitialize();
void IEFinalize();

// The start-up and shut-down of a module above core. Core's start-up runs them through this table
// instead of including the modules: the I/O module defines IEIOModuleStartup (format_registry.cpp),
// the processing module IEProcModuleStartup (zodazur_proc.cpp), constants resolved when the engine
// is linked.
struct TIEModuleStartup {
  void (*Initialize)();
  void (*Finalize)();
};
extern const TIEModuleStartup IEIOModuleStartup;
extern const TIEModuleStartup IEProcModuleStartup;
