#include "platform/system/filer.h"

#include <algorithm>
#include <cstring>

#include "platform/system/classes.h"
#include "platform/system/compare_text.h"

namespace {

// The innermost reader at work on this thread; objects that go while it reads tell it.
thread_local TReader* t_activeReader = nullptr;

const TPropInfo* FindProperty(TPersistentClass cls, std::string_view name) {
  for (; cls; cls = cls->Parent)
    for (int32_t i = 0; i < cls->PropertyCount; ++i)
      if (SameText(cls->Properties[i].Name, name)) return &cls->Properties[i];
  return nullptr;
}

}  // namespace

void PropValueError() { throw EReadError("Invalid property value"); }

// ------------------------------------------------------------------------------------------ TStreamable

void TStreamable::DefineProperties(TFiler&) {}

TStreamable::~TStreamable() {
  for (TReader* r = t_activeReader; r; r = r->outer_) r->Forget(this);
}

// -------------------------------------------------------------------------------------------- TWriter

void TWriter::WriteValue(TValueType value) { stream_.WriteValue(static_cast<uint8_t>(value)); }

void TWriter::WriteInteger(int32_t value) {
  WriteValue(vaInt32);
  stream_.WriteValue(value);
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteString(std::string_view value) {
  if (value.size() > INT32_MAX) throw EWriteError("Stream write error");
  WriteValue(vaString);
  stream_.WriteValue(static_cast<uint32_t>(value.size()));
  stream_.WriteBuffer(value.data(), static_cast<int32_t>(value.size()));
}

void TWriter::WriteShortString(std::string_view s) {
  if (s.empty() || s.size() > 255) throw EWriteError(Format("Invalid name \"%.*s\"", static_cast<int>(std::min<size_t>(s.size(), 255)), s.data()));
  stream_.WriteValue(static_cast<uint8_t>(s.size()));
  stream_.WriteBuffer(s.data(), static_cast<int32_t>(s.size()));
}

void TWriter::WriteIdent(std::string_view ident) {
  WriteValue(vaIdent);
  WriteShortString(ident);
}

void TWriter::WriteComponentRef(TComponent* component) {
  if (component && !component->Name().empty()) WriteIdent(component->Name());
  else WriteValue(vaNil);
}

void TWriter::WritePropName(std::string_view name) {
  if (propPath_.empty()) WriteShortString(name);
  else WriteShortString(propPath_ + std::string(name));
}

void TWriter::WriteProperty(TStreamable* obj, const TPropInfo& prop) {
  switch (prop.Type) {
    case ptInteger:
    case ptBoolean:
    case ptEnum: {
      const int32_t v = prop.GetOrdinal(obj);
      if (prop.HasDefault && v == prop.Default) return;
      WritePropName(prop.Name);
      if (prop.Type == ptInteger) WriteInteger(v);
      else if (prop.Type == ptBoolean) WriteBoolean(v != 0);
      else if (v >= 0 && v < prop.EnumCount) WriteIdent(prop.EnumNames[v]);
      else throw EWriteError(Format("Invalid value %d of %s", v, prop.Name));
      return;
    }
    case ptString:
      if (prop.Stored && !prop.Stored(obj)) return;
      WritePropName(prop.Name);
      WriteString(prop.GetString(obj));
      return;
    case ptComponent: {
      if (prop.Stored && !prop.Stored(obj)) return;
      TComponent* c = prop.GetComponent(obj);
      if (!c) return;  // no component is the default
      WritePropName(prop.Name);
      WriteComponentRef(c);
      return;
    }
  }
}

void TWriter::WriteProperties(TStreamable* obj) {
  ForEachProperty(obj->ClassType(), [&](const TPropInfo& prop) { WriteProperty(obj, prop); });
  obj->DefineProperties(*this);
}

void TWriter::DefineProperty(std::string_view name, const std::function<void(TReader&)>&,
                             const std::function<void(TWriter&)>& writeData, bool hasData) {
  if (!hasData) return;
  WritePropName(name);
  writeData(*this);
}

// -------------------------------------------------------------------------------------------- TReader

TReader::TReader(TStream& stream) : TFiler(stream), outer_(t_activeReader) { t_activeReader = this; }

TReader::~TReader() {
  // Readers end in the reverse order of their start on one thread.
  if (t_activeReader == this) t_activeReader = outer_;
}

int64_t TReader::Remaining() { return stream_.Size() - stream_.Position(); }

TValueType TReader::NextValue() {
  const TValueType v = ReadValue();
  stream_.Seek(-1, soCurrent);
  return v;
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(stream_.ReadValue<uint8_t>()); }

void TReader::CheckValue(TValueType value) {
  if (ReadValue() != value) PropValueError();
}

int32_t TReader::ReadInteger() {
  CheckValue(vaInt32);
  return stream_.ReadValue<int32_t>();
}

bool TReader::ReadBoolean() {
  const TValueType v = ReadValue();
  if (v != vaFalse && v != vaTrue) PropValueError();
  return v == vaTrue;
}

std::string TReader::ReadString() {
  CheckValue(vaString);
  const uint32_t length = stream_.ReadValue<uint32_t>();
  if (length > Remaining()) throw EReadError("Stream read error");
  std::string s(length, '\0');
  if (length) stream_.ReadBuffer(s.data(), static_cast<int32_t>(length));
  return s;
}

std::string TReader::ReadShortString() {
  const uint8_t length = stream_.ReadValue<uint8_t>();
  if (length == 0) PropValueError();
  std::string s(length, '\0');
  stream_.ReadBuffer(s.data(), length);
  return s;
}

std::string TReader::ReadIdent() {
  CheckValue(vaIdent);
  return ReadShortString();
}

std::string TReader::ReadStr() { return ReadShortString(); }

void TReader::ReadPropValue(TStreamable* obj, const TPropInfo& prop) {
  switch (prop.Type) {
    case ptInteger:
      prop.SetOrdinal(obj, ReadInteger());
      return;
    case ptBoolean:
      prop.SetOrdinal(obj, ReadBoolean() ? 1 : 0);
      return;
    case ptEnum: {
      const std::string ident = ReadIdent();
      for (int32_t i = 0; i < prop.EnumCount; ++i)
        if (SameText(prop.EnumNames[i], ident)) {
          prop.SetOrdinal(obj, i);
          return;
        }
      PropValueError();
    }
    case ptString:
      prop.SetString(obj, ReadString());
      return;
    case ptComponent: {
      const TValueType v = ReadValue();
      if (v == vaNil) {
        prop.SetComponent(obj, nullptr);
        return;
      }
      if (v != vaIdent) PropValueError();
      fixups_.push_back({obj, &prop, ReadShortString()});
      return;
    }
  }
}

void TReader::ReadProperty(TStreamable* obj) {
  if (nesting_ >= kMaxNesting) throw EReadError("Properties nested too deeply");
  ++nesting_;
  struct TLeave {
    int& n;
    ~TLeave() { --n; }
  } leave{nesting_};

  const std::string name = ReadStr();
  propName_ = name;
  propHandled_ = false;
  obj->DefineProperties(*this);
  if (propHandled_) return;
  const TPropInfo* prop = FindProperty(obj->ClassType(), name);
  if (!prop) throw EReadError(Format("Property %s does not exist", name.c_str()));
  ReadPropValue(obj, *prop);
}

void TReader::DefineProperty(std::string_view name, const std::function<void(TReader&)>& readData,
                             const std::function<void(TWriter&)>&, bool) {
  if (propHandled_ || !SameText(name, propName_)) return;
  propHandled_ = true;
  readData(*this);
  propHandled_ = true;  // the properties read inside reset it, and the object's later definitions must not match
}

void TReader::Forget(TStreamable* obj) {
  fixups_.erase(std::remove_if(fixups_.begin(), fixups_.end(), [obj](const TFixup& f) { return f.Object == obj; }),
                fixups_.end());
}

void TReader::FixupReferences() {
  // One at a time: a setter may free objects whose references still wait, and they leave the list.
  while (!fixups_.empty()) {
    TFixup f = std::move(fixups_.front());
    fixups_.erase(fixups_.begin());
    TComponent* c = nullptr;
    if (root_) c = SameText(root_->Name(), f.Name) ? root_ : root_->FindComponent(f.Name);
    if (c) f.Property->SetComponent(f.Object, c);
  }
}
