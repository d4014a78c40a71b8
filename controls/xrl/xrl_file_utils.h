#pragma once
// File-system and module routines of the utility library.
#include <cstdint>
#include <string>

// A module (the program, or a library loaded with dlopen).
using HMODULE = uintptr_t;

// The program's module handle.
HMODULE MainModuleHandle();

// True when the path's attributes can be read and it is a folder.
bool IsExistingDirectory(const std::string& path);
// True when the name is not empty, its attributes can be read and it is not a folder.
bool IsExistingFile(const std::string& name);
// The module's file name: the program's whole path (from the process's own executable link).
std::string ModulePath(HMODULE module);

// The fixed part of a file's version information (52 bytes).
struct TFixedFileInfo {
  uint32_t Signature, StrucVersion, FileVersionMS, FileVersionLS, ProductVersionMS, ProductVersionLS,
      FileFlagsMask, FileFlags, FileOS, FileType, FileSubtype, FileDateMS, FileDateLS;
};
// False: files here carry no version information.
bool ReadFixedFileInfo(const std::string& fileName, TFixedFileInfo& info);
// Fills size bytes with 0 when size is above 0.
void ZeroMemoryBlock(void* address, int32_t size);
// Closes a library loaded with dlopen when the handle is set, then clears it.
void FreeModuleHandle(HMODULE& handle);
