#pragma once
// Classes known by name: the record of a streamable class (its name, its parent's record, the
// factory that makes one for an owner, its published properties), the registry that finds a
// record by name (RegisterClass, FindClass, GetClass, UnRegisterClass), and TStreamable, what the
// component stream needs of an object it writes or reads.
//
// A class that takes part declares its record as a static member and answers it from ClassType();
// records refer to each other only by address, so they are constants and need no start-up order.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system/exception.h"
#include "platform/system/object.h"

class TComponent;
class TFiler;
class TStreamable;
struct TPropInfo;

// Failures of the component stream's class registry; EClassNotFound "Class %s not found".
class EFilerError : public Exception { using Exception::Exception; };
class EClassNotFound : public EFilerError { using EFilerError::EFilerError; };

struct TClassRecord {
  std::string_view Name;
  const TClassRecord* Parent;
  // Makes an object of the class for an owner (what the owner is depends on the family of classes);
  // nullptr for a class that is never made by name.
  TObject* (*Create)(TObject* owner);
  // The properties this class publishes beyond its parent's.
  const TPropInfo* Properties;
  int32_t PropertyCount;

  // True for this class and every class derived from it.
  bool InheritsFrom(const TClassRecord* other) const {
    for (const TClassRecord* c = this; c; c = c->Parent)
      if (c == other) return true;
    return false;
  }
};
using TPersistentClass = const TClassRecord*;

// Registers a class under its record's name. Registering the same record again does nothing;
// another record under a name already taken raises EFilerError "A class named %s already exists".
void RegisterClass(TPersistentClass cls);
void UnRegisterClass(TPersistentClass cls);
// The registered class of that name (compared without regard to case), or nullptr.
TPersistentClass GetClass(std::string_view name);
// As GetClass, raising EClassNotFound "Class %s not found" when there is none.
TPersistentClass FindClass(std::string_view name);
// True when the class is registered under its own name.
bool IsClassRegistered(TPersistentClass cls);

// What the component stream needs of an object it writes or reads.
class TStreamable {
 public:
  // The object's own class record.
  virtual TPersistentClass ClassType() const = 0;
  // Adds the properties the object writes and reads itself (TFiler::DefineProperty).
  virtual void DefineProperties(TFiler& filer);

 protected:
  TStreamable() = default;
  TStreamable(const TStreamable&) = default;
  TStreamable& operator=(const TStreamable&) = default;
  // An object that goes while a stream is read drops the component references it was waiting for.
  ~TStreamable();
};

// One published property: its name, the type of its value, and the accessors of that type.
enum TPropType : uint8_t {
  ptInteger,    // int32_t through GetOrdinal and SetOrdinal
  ptBoolean,    // 0 or 1 through GetOrdinal and SetOrdinal
  ptEnum,       // the value's index through GetOrdinal and SetOrdinal, stored as its name
  ptString,     // GetString and SetString
  ptComponent,  // GetComponent and SetComponent, stored as the component's name
};

struct TPropInfo {
  const char* Name;
  TPropType Type;
  int32_t (*GetOrdinal)(TStreamable*) = nullptr;
  void (*SetOrdinal)(TStreamable*, int32_t) = nullptr;
  std::string (*GetString)(TStreamable*) = nullptr;
  void (*SetString)(TStreamable*, const std::string&) = nullptr;
  TComponent* (*GetComponent)(TStreamable*) = nullptr;
  void (*SetComponent)(TStreamable*, TComponent*) = nullptr;
  // The names of an enumeration's values, in order.
  const char* const* EnumNames = nullptr;
  int32_t EnumCount = 0;
  // An ordinal property equal to its default is not written.
  bool HasDefault = false;
  int32_t Default = 0;
  // A string or component property is written only while this says so (nullptr: always).
  bool (*Stored)(TStreamable*) = nullptr;
};

// Calls fn for every published property of the class, its ancestors' first.
template <class Fn>
void ForEachProperty(TPersistentClass cls, Fn&& fn) {
  if (!cls) return;
  ForEachProperty(cls->Parent, fn);
  for (int32_t i = 0; i < cls->PropertyCount; ++i) fn(cls->Properties[i]);
}
