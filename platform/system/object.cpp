#include "platform/system/object.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

std::string TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string s = (status == 0 && name) ? name.get() : mangled;
  // Classes local to a file live in an anonymous namespace; the framework knows only the last name.
  size_t colon = s.rfind("::");
  return colon == std::string::npos ? s : s.substr(colon + 2);
}
