#include "platform/system/class_registry.h"

#include <algorithm>
#include <vector>

#include "platform/system/compare_text.h"

namespace {

// The classes are registered at start-up and looked up while streams are read, all on the
// user-interface thread.
std::vector<TPersistentClass>& Registry() {
  static std::vector<TPersistentClass> classes;
  return classes;
}

}  // namespace

void RegisterClass(TPersistentClass cls) {
  if (!cls) return;
  TPersistentClass known = GetClass(cls->Name);
  if (known == cls) return;
  if (known) throw EFilerError(Format("A class named %.*s already exists", static_cast<int>(cls->Name.size()), cls->Name.data()));
  Registry().push_back(cls);
}

void UnRegisterClass(TPersistentClass cls) {
  auto& classes = Registry();
  classes.erase(std::remove(classes.begin(), classes.end(), cls), classes.end());
}

TPersistentClass GetClass(std::string_view name) {
  for (TPersistentClass c : Registry())
    if (SameText(c->Name, name)) return c;
  return nullptr;
}

TPersistentClass FindClass(std::string_view name) {
  TPersistentClass c = GetClass(name);
  if (!c) throw EClassNotFound(Format("Class %.*s not found", static_cast<int>(name.size()), name.data()));
  return c;
}

bool IsClassRegistered(TPersistentClass cls) { return cls && GetClass(cls->Name) == cls; }
