#include "controls/xc_data_provider.h"

#include <algorithm>
#include <cassert>

#include "platform/system/classes.h"
#include "platform/system/compare_text.h"

const TClassRecord TExtensibleInterfacedPersistent::ClassInfo{"TExtensibleInterfacedPersistent", nullptr, nullptr, nullptr, 0};
const TClassRecord TAggregatedPersistent::ClassInfo{"TAggregatedPersistent", nullptr, nullptr, nullptr, 0};
const TClassRecord TAggregatedPersistentEx::ClassInfo{"TAggregatedPersistentEx", &TAggregatedPersistent::ClassInfo,
                                                      nullptr, nullptr, 0};
const TClassRecord TXcDataItemAggregatedObject::ClassInfo{"TXcDataItemAggregatedObject", &TAggregatedPersistentEx::ClassInfo,
                                                          nullptr, nullptr, 0};
const TClassRecord TXcDataItemsAggregatedObject::ClassInfo{"TXcDataItemsAggregatedObject",
                                                           &TAggregatedPersistentEx::ClassInfo, nullptr, nullptr, 0};

// -------------------------------------------------------------------------------------- TXcExtensionList

TXcExtensionList::~TXcExtensionList() {
  if (data_ != inPlace_) delete[] data_;
}

void TXcExtensionList::push_back(TAggregatedPersistentEx* extension) {
  if (size_ == capacity_) {
    auto* grown = new TAggregatedPersistentEx*[capacity_ * 2];
    std::copy(data_, data_ + size_, grown);
    if (data_ != inPlace_) delete[] data_;
    data_ = grown;
    capacity_ *= 2;
  }
  data_[size_++] = extension;
}

bool TXcExtensionList::remove(TAggregatedPersistentEx* extension) {
  TAggregatedPersistentEx** it = std::find(data_, data_ + size_, extension);
  if (it == data_ + size_) return false;
  std::copy(it + 1, data_ + size_, it);
  --size_;
  return true;
}

// ------------------------------------------------------------------------ TExtensibleInterfacedPersistent

TExtensibleInterfacedPersistent::~TExtensibleInterfacedPersistent() { FreeExtensions(); }

void TExtensibleInterfacedPersistent::AfterConstruction() {
  AttachStandardExtensions();
  TInterfacedObject::AfterConstruction();
}

HRESULT TExtensibleInterfacedPersistent::QueryInterface(const TGUID& iid, void** obj) {
  *obj = nullptr;
  return InterfaceLookup(iid, obj) ? S_OK : E_NOINTERFACE;
}

bool TExtensibleInterfacedPersistent::InterfaceLookup(const TGUID& iid, void** obj) {
  if (GetInterface(iid, obj)) return true;
  for (size_t i = extensions_.size(); i-- > 0;) {
    TAggregatedPersistentEx* e = extensions_[i];
    if (!e->IsHidden() && e->GetInterface(iid, obj)) return true;
  }
  return false;
}

void TExtensibleInterfacedPersistent::AttachExtension(TAggregatedPersistentEx* extension) {
  if (IndexOfExtension(extension->ClassType()) >= 0) throw EXCLException("Implementation of that class already exists");
  extensions_.push_back(extension);
}

void TExtensibleInterfacedPersistent::DetachExtension(TAggregatedPersistentEx* extension) {
  if (extensions_.remove(extension)) delete extension;
}

TAggregatedPersistentEx* TExtensibleInterfacedPersistent::Extensions(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= extensions_.size()) ListIndexError(index);
  return extensions_[static_cast<size_t>(index)];
}

int32_t TExtensibleInterfacedPersistent::IndexOfExtension(TPersistentClass cls) const {
  for (size_t i = extensions_.size(); i-- > 0;)
    if (extensions_[i]->ClassType()->InheritsFrom(cls)) return static_cast<int32_t>(i);
  return -1;
}

void TExtensibleInterfacedPersistent::FreeExtensions() {
  while (!extensions_.empty()) delete extensions_.pop_back();
}

TPersistentClass TExtensibleInterfacedPersistent::ExtensionClass() const { return &TAggregatedPersistentEx::ClassInfo; }

bool TExtensibleInterfacedPersistent::IsStreamableExtension(TAggregatedPersistentEx* extension) {
  // A class that does not answer its own record would be written under its parent's name.
  assert(extension->ClassName() == extension->ClassType()->Name);
  return IsClassRegistered(extension->ClassType());
}

bool TExtensibleInterfacedPersistent::HasStreamableExtensions() {
  return std::any_of(extensions_.begin(), extensions_.end(),
                     [this](TAggregatedPersistentEx* e) { return IsStreamableExtension(e); });
}

void TExtensibleInterfacedPersistent::DefineProperties(TFiler& filer) {
  filer.DefineProperty(
      "Extensions", [this](TReader& r) { ReadExtensions(r); }, [this](TWriter& w) { WriteExtensions(w); },
      HasStreamableExtensions());
}

void TExtensibleInterfacedPersistent::WriteExtensions(TWriter& writer) {
  std::vector<TStreamable*> streamed;
  for (TAggregatedPersistentEx* e : extensions_)
    if (IsStreamableExtension(e)) streamed.push_back(e);
  WriteClassCollection(writer, streamed);
}

void TExtensibleInterfacedPersistent::ReadExtensions(TReader& reader) {
  TXcSuspendedRefCount keep(this);
  ReadClassCollection(reader, ExtensionClass(), [this](TPersistentClass cls) -> TStreamable* {
    // An entry for a class the object carries updates that extension.
    const int32_t index = IndexOfExtension(cls);
    if (index >= 0) return extensions_[static_cast<size_t>(index)];
    try {
      return static_cast<TAggregatedPersistentEx*>(cls->Create(this));
    } catch (const EXCLDataProvider&) {
      throw EReadError("Invalid class type");  // an extension of the family that does not fit this object
    }
  });
}

// ------------------------------------------------------------------------------- streamed collections

void WriteClassCollection(TWriter& writer, const std::vector<TStreamable*>& objects) {
  TXcEmptyPropPath emptyPath(writer);
  writer.WriteValue(vaCollection);
  for (TStreamable* obj : objects) {
    writer.WriteListBegin();
    writer.WritePropName("ClassName");
    writer.WriteString(obj->ClassType()->Name);
    writer.WriteProperties(obj);
    writer.WriteListEnd();
  }
  writer.WriteListEnd();
}

void ReadClassCollection(TReader& reader, TPersistentClass base,
                         const std::function<TStreamable*(TPersistentClass cls)>& objectFor) {
  if (reader.NextValue() != vaCollection) throw EReadError("Expected collection");
  reader.ReadValue();
  while (!reader.EndOfList()) {
    reader.ReadListBegin();
    if (reader.EndOfList() || !SameText(reader.ReadStr(), "ClassName")) throw EReadError("Missing ClassName property");
    TPersistentClass cls = GetClass(reader.ReadString());
    if (!cls || !cls->Create || !cls->InheritsFrom(base)) throw EReadError("Invalid class type");
    reader.ReadProperties(objectFor(cls));
    reader.ReadListEnd();
  }
  reader.ReadListEnd();
}

// ---------------------------------------------------------------------------------- aggregated objects

bool TAggregatedPersistent::GetInterface(const TGUID&, void**) { return false; }

TAggregatedPersistentEx::TAggregatedPersistentEx(TExtensibleInterfacedPersistent* owner)
    : TAggregatedPersistent(owner), owner_(owner) {}

TAggregatedPersistentEx::~TAggregatedPersistentEx() { owner_->extensions_.remove(this); }

namespace {

// The owner's interface I (not counted: the owner outlives its extensions). The owner must take
// extensions of the family (an item list's extension on an item would find the item's sub-list),
// else EXCLDataProvider "Invalid class type".
template <class I>
I* OwnerInterface(TExtensibleInterfacedPersistent* owner, TPersistentClass family) {
  void* p = nullptr;
  if (!family->InheritsFrom(owner->ExtensionClass()) || owner->QueryInterface(I::IID, &p) != S_OK || !p)
    throw EXCLDataProvider("Invalid class type");
  I* intf = static_cast<I*>(p);
  intf->_Release();
  return intf;
}

}  // namespace

TXcDataItemAggregatedObject::TXcDataItemAggregatedObject(TExtensibleInterfacedPersistent* owner)
    : TAggregatedPersistentEx(owner), item_(OwnerInterface<IXcDataItem>(owner, &ClassInfo)) {}

HRESULT TXcDataItemAggregatedObject::QueryInterface(const TGUID& iid, void** obj) {
  if (SameGuid(iid, IXcDataItemContextCaption::IID)) {
    *obj = nullptr;
    return GetInterface(iid, obj) ? S_OK : E_NOINTERFACE;
  }
  return TAggregatedPersistentEx::QueryInterface(iid, obj);
}

TXcDataItemsAggregatedObject::TXcDataItemsAggregatedObject(TExtensibleInterfacedPersistent* owner)
    : TAggregatedPersistentEx(owner), items_(OwnerInterface<IXcDataItems>(owner, &ClassInfo)) {}

// ------------------------------------------------------------------------------ selecting for a consumer

void SelectOnBehalf(IXcDataProvider* provider, IXcDataConsumer* consumer, IXcDataContext* context) {
  provider->SelectConsumer(consumer);
  try {
    provider->SelectContext(context);
  } catch (...) {
    provider->ReleaseConsumer();
    throw;
  }
}

void ReleaseOnBehalf(IXcDataProvider* provider) {
  TIntfPtr<IXcDataConsumer> consumer = provider->SelectedConsumer();
  provider->ReleaseConsumer();
  try {
    provider->ReleaseContext();
  } catch (...) {
    provider->SelectConsumer(consumer.Get());
    throw;
  }
}

// ------------------------------------------------------------------------------------------ visibility

TIntfPtr<IXcDataConsumerVisibility> XcConsumerVisibility(IXcDataProvider* provider) {
  return provider ? Supports<IXcDataConsumerVisibility>(provider->SelectedConsumer()) : nullptr;
}

TXcDataVisibility XcItemVisibility(IXcDataItem* item, IXcDataConsumerVisibility* consumerVisibility) {
  if (!item) return dvNotApplicable;
  TXcDataVisibility state = consumerVisibility ? consumerVisibility->ItemVisibility(item) : dvNotApplicable;
  if (state == dvUndecided || state == dvNotApplicable)
    if (TIntfPtr<IXcDataItemVisibility> own = Supports<IXcDataItemVisibility>(item)) state = own->Visibility();
  return state;
}

TXcDataVisibility XcItemVisibility(IXcDataItem* item) {
  if (!item) return dvNotApplicable;
  TIntfPtr<IXcDataItems> list = item->OwnerList();
  TIntfPtr<IXcDataProvider> provider = list ? list->Provider() : nullptr;
  return XcItemVisibility(item, XcConsumerVisibility(provider.Get()).Get());
}
