// The splitting of internet addresses: any text either is refused or gives a scheme, a host part
// without "/", a path starting with "/" that the address ends with, and credentials taken from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/io/url_download.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  TIEURLParts parts;
  if (!SplitURL(address, parts)) return 0;
  if (parts.Kind < 1 || parts.Kind > 3) __builtin_trap();
  if (parts.Path.empty() || parts.Path[0] != '/') __builtin_trap();
  if (address.size() < parts.Path.size() ||
      address.compare(address.size() - parts.Path.size(), parts.Path.size(), parts.Path) != 0)
    __builtin_trap();
  if (parts.Host.find('/') != std::string::npos || parts.User.find('/') != std::string::npos) __builtin_trap();
  if (parts.User.size() + parts.Password.size() + parts.Host.size() + parts.Path.size() > address.size())
    __builtin_trap();
  return 0;
}
