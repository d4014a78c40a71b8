#include "controls/xrl/xrl_file_utils.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/ui/forms.h"

namespace {

// Its address stands for the program's module.
const char g_mainModuleMarker = 0;

}  // namespace

HMODULE MainModuleHandle() { return reinterpret_cast<HMODULE>(&g_mainModuleMarker); }

bool IsExistingDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExistingFile(const std::string& name) {
  struct stat st;
  return !name.empty() && stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ModulePath(HMODULE) { return Application->ExeName(); }

bool ReadFixedFileInfo(const std::string&, TFixedFileInfo& info) {
  static_assert(sizeof(TFixedFileInfo) == 52, "the fixed part of version information is 52 bytes");
  info = TFixedFileInfo{};
  return false;
}

void ZeroMemoryBlock(void* address, int32_t size) {
  if (address && size > 0) std::memset(address, 0, static_cast<size_t>(size));
}

void FreeModuleHandle(HMODULE& handle) {
  if (handle) dlclose(reinterpret_cast<void*>(handle));
  handle = 0;
}
