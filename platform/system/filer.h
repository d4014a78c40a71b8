#pragma once
// The component stream: a writer and a reader of an object's properties as a stream of typed
// values. Forms are built in code, so nothing stores a whole form; objects that keep lists of other
// objects (the control library's data items, for one) write and read their parts through it.
//
// Format. A property is its name (a byte giving the length, 1 to 255, then the bytes) followed by
// its value. Each value starts with a byte naming its type (TValueType):
//   vaInt32       a 32-bit little-endian integer
//   vaFalse/True  a Boolean
//   vaString      a 32-bit little-endian length, then that many bytes of UTF-8
//   vaIdent       a name: a byte giving the length, then the bytes (enumeration values, components)
//   vaNil         no component
//   vaList        values up to a vaNull that ends the list
//   vaCollection  lists of properties (each a vaList ... vaNull) up to a vaNull
// An object's properties run up to a vaNull that ends them.
//
// Reading trusts nothing: every length is checked against the bytes the stream still holds before
// anything is allocated, nesting is bounded, and every failure is EReadError ("Invalid property
// value", "Property %s does not exist", "Stream read error", ...).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/class_registry.h"
#include "platform/system/streams.h"

class TComponent;
class TReader;
class TWriter;

enum TValueType : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt32 = 4,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaNil = 13,
  vaCollection = 14,
};

class TFiler {
 public:
  explicit TFiler(TStream& stream) : stream_(stream) {}
  virtual ~TFiler() = default;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  TStream& Stream() { return stream_; }
  // The component whose owned components the stream's component references name.
  TComponent* Root() const { return root_; }
  void SetRoot(TComponent* root) { root_ = root; }

  // A property an object writes and reads itself: the writer writes it (its name, then whatever
  // writeData writes) when hasData; the reader calls readData when the stream names it.
  virtual void DefineProperty(std::string_view name, const std::function<void(TReader&)>& readData,
                              const std::function<void(TWriter&)>& writeData, bool hasData) = 0;

 protected:
  TStream& stream_;
  TComponent* root_ = nullptr;
};

class TWriter : public TFiler {
 public:
  using TFiler::TFiler;

  void WriteValue(TValueType value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  void WriteInteger(int32_t value);
  void WriteBoolean(bool value);
  void WriteString(std::string_view value);
  void WriteIdent(std::string_view ident);
  // A component as its name, or vaNil.
  void WriteComponentRef(TComponent* component);
  // A property's name, behind the property-path prefix.
  void WritePropName(std::string_view name);

  // The object's published properties (those that differ from their defaults), then the ones it
  // defines itself. The caller ends them with WriteListEnd.
  void WriteProperties(TStreamable* obj);

  // The prefix put before every property name written (nested objects' properties are written as
  // "Owner.Property"). Setting the same prefix again does nothing.
  const std::string& PropPath() const { return propPath_; }
  void SetPropPath(const std::string& path) {
    if (path != propPath_) propPath_ = path;
  }

  void DefineProperty(std::string_view name, const std::function<void(TReader&)>& readData,
                      const std::function<void(TWriter&)>& writeData, bool hasData) override;

 private:
  void WriteShortString(std::string_view s);
  void WriteProperty(TStreamable* obj, const TPropInfo& prop);
  std::string propPath_;
};

class TReader : public TFiler {
 public:
  explicit TReader(TStream& stream);
  ~TReader() override;

  // The type of the next value, without reading it.
  TValueType NextValue();
  TValueType ReadValue();
  // Reads a value and raises "Invalid property value" unless it is of the given type.
  void CheckValue(TValueType value);
  void ReadListBegin() { CheckValue(vaList); }
  void ReadListEnd() { CheckValue(vaNull); }
  // True when the next value ends a list (it is not read).
  bool EndOfList() { return NextValue() == vaNull; }
  int32_t ReadInteger();
  bool ReadBoolean();
  std::string ReadString();
  std::string ReadIdent();
  // A property's name.
  std::string ReadStr();

  // One property: its name, then its value into the object (a property the object defines itself,
  // or a published one). Raises EReadError "Property %s does not exist" for any other name.
  void ReadProperty(TStreamable* obj);
  // Properties up to the end of the list (which is not read).
  void ReadProperties(TStreamable* obj) {
    while (!EndOfList()) ReadProperty(obj);
  }

  // Sets the component references read so far, each to the root's component of its name (or the
  // root itself); a name that names none leaves its property as it is.
  void FixupReferences();

  void DefineProperty(std::string_view name, const std::function<void(TReader&)>& readData,
                      const std::function<void(TWriter&)>& writeData, bool hasData) override;

  // How deeply properties may nest (an object's property holding objects with properties ...)
  // before the stream is refused: deeper than any real tree, shallow enough for the stack.
  static constexpr int kMaxNesting = 512;

 private:
  friend class TStreamable;
  struct TFixup {
    TStreamable* Object;
    const TPropInfo* Property;
    std::string Name;
  };
  std::string ReadShortString();
  int64_t Remaining();
  void ReadPropValue(TStreamable* obj, const TPropInfo& prop);
  void Forget(TStreamable* obj);

  std::vector<TFixup> fixups_;
  std::string propName_;
  bool propHandled_ = false;
  int nesting_ = 0;
  TReader* outer_ = nullptr;  // the reader that was active when this one began
};

// Raises EReadError "Invalid property value".
[[noreturn]] void PropValueError();
