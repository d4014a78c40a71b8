#include "controls/xc_data_items.h"

#include <cassert>
#include <cstring>

#include "platform/system/classes.h"
#include "platform/system/compare_text.h"

namespace {

constexpr TPropInfo kItemProperties[] = {
    {.Name = "ID",
     .Type = ptString,
     .GetString = [](TStreamable* o) { return std::string(static_cast<TXcBaseDataItem*>(o)->IDRef()); },
     .SetString = [](TStreamable* o, const std::string& v) { static_cast<TXcBaseDataItem*>(o)->SetID(v); }},
};

// A sub-list made by the stream for the item that owner is.
TObject* CreateItemsList(TObject* owner) {
  IXcDataItem* parent = static_cast<TXcBaseDataItem*>(owner);
  return ConstructObject<TXcDataItemsList>(parent);
}

}  // namespace

TXcBaseDataItems* ItemsObject(IXcDataItems* list) {
  return list ? dynamic_cast<TXcBaseDataItems*>(list->Implementor()) : nullptr;
}

TIntfPtr<IXcDataItem> FindItemByID(IXcDataItems* list, std::string_view id) {
  if (!list) return nullptr;
  if (TXcBaseDataItems* obj = ItemsObject(list)) {
    const int32_t i = obj->IndexOfID(id);
    return i >= 0 ? obj->GetItem(i) : nullptr;
  }
  for (int32_t i = list->Count(); i-- > 0;) {
    TIntfPtr<IXcDataItem> item = list->Items(i);
    if (item && SameText(item->ID(), id)) return item;
  }
  return nullptr;
}

const TClassRecord TXcBaseDataItem::ClassInfo{"TXcBaseDataItem", &TExtensibleInterfacedPersistent::ClassInfo, CreateItemFor<TXcBaseDataItem>,
                                              kItemProperties, 1};
const TClassRecord TXcBaseDataItems::ClassInfo{"TXcBaseDataItems", &TExtensibleInterfacedPersistent::ClassInfo, nullptr,
                                               nullptr, 0};
const TClassRecord TXcDataItemsList::ClassInfo{"TXcDataItemsList", &TXcBaseDataItems::ClassInfo, CreateItemsList, nullptr, 0};
const TClassRecord TXcBaseDataItemSubItems::ClassInfo{"TXcBaseDataItemSubItems", &TXcDataItemAggregatedObject::ClassInfo,
                                                      nullptr, nullptr, 0};

void NewItemID(char (&id)[32]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const TGUID g = CreateGUID();
  uint8_t bytes[16];
  std::memcpy(bytes, &g, sizeof bytes);
  for (int i = 0; i < 16; ++i) {
    id[2 * i] = kHex[bytes[i] >> 4];
    id[2 * i + 1] = kHex[bytes[i] & 15];
  }
}

TXcDataItemID NewItemID() {
  char id[32];
  NewItemID(id);
  return TXcDataItemID(id, sizeof id);
}

TIntfPtr<IXcDataItems> SubItemsOf(IXcDataItem* item) { return Supports<IXcDataItems>(item); }

TIntfPtr<IXcDataProvider> ProviderOf(IXcDataItem* item) {
  if (!item) return nullptr;
  TIntfPtr<IXcDataItems> list = item->OwnerList();
  return list ? list->Provider() : nullptr;
}

TIntfPtr<IXcDataProvider> ProviderOf(TXcDataItemAggregatedObject* extension) {
  TExtensibleInterfacedPersistent* owner = extension->Owner();
  if (owner->ClassType()->InheritsFrom(&TXcBaseDataItem::ClassInfo)) {
    TXcBaseDataItems* list = static_cast<TXcBaseDataItem*>(owner)->OwnerObject();
    return list ? list->ProviderRef() : nullptr;
  }
  return ProviderOf(extension->Item());
}

// ------------------------------------------------------------------------------------- TXcBaseDataItem

TXcBaseDataItem::TXcBaseDataItem(TXcBaseDataItems* owner) : owner_(owner), counted_(!owner || owner->GetIsDynamic()) {
  NewItemID(generatedID_);
  if (owner && counted_) countedOwner_ = static_cast<IXcDataItems*>(owner);
}

TXcBaseDataItem::~TXcBaseDataItem() = default;

// Counting selects the provider's base view around it (an item has no provider before it is in a
// list, or in a list without one: then nothing is selected). A counted item holds the provider
// meanwhile, so that releasing its last reference cannot take the provider away mid-way; an item
// that does not count frees nothing.
int32_t TXcBaseDataItem::CountInBaseView(bool add) {
  IXcDataProvider* provider = owner_ ? owner_->ProviderRef() : nullptr;
  const TIntfPtr<IXcDataProvider> hold(counted_ ? provider : nullptr);
  if (provider) provider->SelectContext(nullptr);
  const int32_t count = !counted_ ? -1 : add ? TInterfacedObject::_AddRef() : TInterfacedObject::_Release();  // may free this
  if (provider) provider->ReleaseContext();
  return count;
}

bool TXcBaseDataItem::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItem>(this, iid, obj) || TExtensibleInterfacedPersistent::GetInterface(iid, obj);
}

TPersistentClass TXcBaseDataItem::ExtensionClass() const { return &TXcDataItemAggregatedObject::ClassInfo; }

TIntfPtr<IXcDataItems> TXcBaseDataItem::OwnerList() { return static_cast<IXcDataItems*>(owner_); }

int32_t TXcBaseDataItem::Index() {
  if (!owner_) return -1;
  for (int32_t i = owner_->GetCount(); i-- > 0;)
    if (owner_->GetItem(i)->Implementor() == this) return i;
  return -1;
}

void TXcBaseDataItem::ContextDestroyed(IXcDataContext* context) {
  for (TXcDataItemAggregatedObject* e : ExtensionsOf<TXcDataItemAggregatedObject>()) e->ContextDestroyed(context);
  if (TIntfPtr<IXcDataItems> sub = SubItemsOf(this)) sub->ContextDestroyed(context);
}

bool TXcBaseDataItem::IsParentOf(IXcDataItem* item, bool directOnly) {
  if (!item) return false;
  TIntfPtr<IXcDataItems> list = item->OwnerList();
  while (list) {
    TIntfPtr<IXcDataItem> parent = list->ParentItem();
    if (!parent) return false;
    if (parent->Implementor() == this) return true;
    if (directOnly) return false;
    list = parent->OwnerList();
  }
  return false;
}

TComponent* TXcBaseDataItem::OwnerComponent() {
  if (!owner_) return nullptr;
  TIntfPtr<IXcDataProviderOwner> owner = Supports<IXcDataProviderOwner>(owner_->ProviderRef());
  return owner ? owner->ProviderComponent() : nullptr;
}

std::string TXcBaseDataItem::NamePath() {
  TComponent* owner = OwnerComponent();
  return (owner ? owner->Name() : std::string("Unknown")) + ": Item[" + ID() + "]";
}

void TXcBaseDataItem::RevertAllContextTexts() {
  for (int32_t i = 0; i < ExtensionCount(); ++i) {
    void* p = nullptr;
    if (Extensions(i)->GetInterface(IXcDataItemContextCaption::IID, &p))
      TIntfPtr<IXcDataItemContextCaption>::Adopt(static_cast<IXcDataItemContextCaption*>(p))->RevertToDefault();
  }
}

bool TXcBaseDataItem::AllTextsDefault() {
  for (int32_t i = 0; i < ExtensionCount(); ++i) {
    void* p = nullptr;
    if (Extensions(i)->GetInterface(IXcDataItemContextCaption::IID, &p) &&
        !TIntfPtr<IXcDataItemContextCaption>::Adopt(static_cast<IXcDataItemContextCaption*>(p))->IsDefault())
      return false;
  }
  return true;
}

TXcBaseDataItems* TXcBaseDataItem::SubList() const {
  TXcBaseDataItemSubItems* sub = SubItemsExtension();
  return sub ? sub->List() : nullptr;
}

void TXcBaseDataItem::DefineProperties(TFiler& filer) {
  TExtensibleInterfacedPersistent::DefineProperties(filer);
  // A sub-list whose class cannot be found by name when it is read back is not written.
  TXcBaseDataItemSubItems* sub = SubItemsExtension();
  filer.DefineProperty(
      "SubItems", [this](TReader& r) { ReadSubItems(r); }, [this](TWriter& w) { WriteSubItems(w); },
      sub && sub->List() && IsClassRegistered(sub->List()->ClassType()));
}

void TXcBaseDataItem::WriteSubItems(TWriter& writer) {
  WriteClassCollection(writer, {SubItemsExtension()->List()});
}

void TXcBaseDataItem::ReadSubItems(TReader& reader) {
  TXcSuspendedRefCount keep(this);
  ReadClassCollection(reader, &TXcBaseDataItems::ClassInfo, [this](TPersistentClass cls) -> TStreamable* {
    TXcBaseDataItemSubItems* sub = SubItemsExtension();
    if (sub && sub->List() && sub->List()->ClassType() == cls) return sub->List();
    // A list of another class gives way; a new one attaches itself to this item, which holds it.
    if (sub) DetachExtension(sub);
    return static_cast<TXcBaseDataItems*>(cls->Create(this));
  });
}

// ------------------------------------------------------------------------------------ TXcBaseDataItems

TXcBaseDataItems::TXcBaseDataItems() = default;

TXcBaseDataItems::TXcBaseDataItems(IXcDataProvider* provider) : provider_(provider) {}

TXcBaseDataItems::TXcBaseDataItems(IXcDataItem* parent) : parent_(parent) {
  if (parent)
    if (TIntfPtr<IXcDataItems> list = parent->OwnerList()) provider_ = list->Provider();
}

void TXcBaseDataItems::AfterConstruction() {
  if (parent_)
    if (auto* parent = dynamic_cast<TExtensibleInterfacedPersistent*>(parent_->Implementor())) {
      subItems_ = CreateExtension<TXcBaseDataItemSubItems>(parent, this);
      subItems_->Attached();
    }
  TExtensibleInterfacedPersistent::AfterConstruction();
}

TXcBaseDataItems::~TXcBaseDataItems() {
  // Only a list nobody references is destroyed, so an extension still showing it holds a
  // reference it must not give back.
  if (subItems_) {
    subItems_->list_.Detach();
    subItems_->Owner()->DetachExtension(subItems_);
  }
}

bool TXcBaseDataItems::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterfaces<IXcDataItems, IXcDataItemLookup>(this, iid, obj) ||
         TExtensibleInterfacedPersistent::GetInterface(iid, obj);
}

TPersistentClass TXcBaseDataItems::ExtensionClass() const { return &TXcDataItemsAggregatedObject::ClassInfo; }

void TXcBaseDataItems::InternalAdd(IXcDataItem*) { AbstractError(); }
void TXcBaseDataItems::InternalDelete(int32_t) { AbstractError(); }
void TXcBaseDataItems::InternalMove(int32_t, int32_t) { AbstractError(); }
int32_t TXcBaseDataItems::GetCount() { AbstractError(); }
IXcDataItem* TXcBaseDataItems::GetItem(int32_t) { AbstractError(); }

bool TXcBaseDataItems::IsStreamableItem(IXcDataItem* item) {
  auto* obj = item ? dynamic_cast<TXcBaseDataItem*>(item->Implementor()) : nullptr;
  if (!obj) return false;
  assert(obj->ClassName() == obj->ClassType()->Name);
  return IsClassRegistered(obj->ClassType()) && obj->ClassType()->InheritsFrom(&TXcBaseDataItem::ClassInfo);
}

int32_t TXcBaseDataItems::IndexOfID(std::string_view id) {
  for (int32_t i = GetCount(); i-- > 0;)
    if (SameText(GetItem(i)->ID(), id)) return i;
  return -1;
}

void TXcBaseDataItems::ContextDestroyed(IXcDataContext* context) {
  for (TXcDataItemsAggregatedObject* e : ExtensionsOf<TXcDataItemsAggregatedObject>()) e->ContextDestroyed(context);
  for (int32_t i = 0; i < GetCount(); ++i) GetItem(i)->ContextDestroyed(context);
}

IXcDataItem* TXcBaseDataItems::FindHere(std::string_view id) {
  const int32_t i = IndexOfID(id);
  return i >= 0 ? GetItem(i) : nullptr;
}

TIntfPtr<IXcDataItem> TXcBaseDataItems::ItemByPath(const std::string& path) {
  const bool startedInSubList = GetParentItem() != nullptr;
  // The list at hand: this one, or one reached from it (then held, and its object looked up once).
  IXcDataItems* list = this;
  TXcBaseDataItems* listObject = this;
  TIntfPtr<IXcDataItems> held;
  auto moveTo = [&](TIntfPtr<IXcDataItems> next) {
    held = std::move(next);
    list = held.Get();
    listObject = ItemsObject(list);
  };
  std::string_view rest(path);
  while (list && !rest.empty()) {
    const size_t cut = rest.find_first_of("\\/");
    const std::string_view segment = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    if (segment == "..") {
      TIntfPtr<IXcDataItem> parent = list->ParentItem();
      if (!parent) return nullptr;
      moveTo(parent->OwnerList());
    } else if (segment.empty() && startedInSubList) {
      moveTo(provider_ ? provider_->RootItems() : nullptr);
    } else if (TIntfPtr<IXcDataItem> item = listObject ? listObject->FindHere(segment) : FindItemByID(list, segment)) {
      if (rest.empty()) return item;
      moveTo(SubItemsOf(item.Get()));
    }
    // A segment that matches nothing is passed over: the next one is looked up in the same list.
  }
  return nullptr;
}

TIntfPtr<IXcDataItem> TXcBaseDataItems::ItemByIndexPath(const std::vector<int32_t>& indexes) {
  TIntfPtr<IXcDataItems> list(static_cast<IXcDataItems*>(this));
  TIntfPtr<IXcDataItem> item;
  for (size_t k = 0; k < indexes.size(); ++k) {
    if (k > 0 && !(list = SubItemsOf(item.Get()))) return nullptr;
    item = list->Items(indexes[k]);
  }
  return item;
}

TIntfPtr<IXcDataItem> TXcBaseDataItems::FindByID(const TXcDataItemID& id, bool recursive) {
  if (TIntfPtr<IXcDataItem> item = ItemByPath(id)) return item;
  if (!recursive) return nullptr;
  for (int32_t i = GetCount(); i-- > 0;) {
    // The framework's items name their sub-lists; any other item is asked for one.
    if (TXcBaseDataItem* obj = GetItemObject(i)) {
      if (TXcBaseDataItems* sub = obj->SubList())
        if (TIntfPtr<IXcDataItem> item = sub->FindByID(id, true)) return item;
    } else if (TIntfPtr<IXcDataItemLookup> sub = Supports<IXcDataItemLookup>(GetItem(i))) {
      if (TIntfPtr<IXcDataItem> item = sub->FindByID(id, true)) return item;
    }
  }
  return nullptr;
}

void TXcBaseDataItems::DefineProperties(TFiler& filer) {
  TExtensibleInterfacedPersistent::DefineProperties(filer);
  filer.DefineProperty(
      "Items", [this](TReader& r) { ReadItems(r); }, [this](TWriter& w) { WriteItems(w); }, true);
}

void TXcBaseDataItems::WriteItems(TWriter& writer) {
  std::vector<TStreamable*> streamed;
  for (int32_t i = 0; i < GetCount(); ++i)
    if (IXcDataItem* item = GetItem(i); IsStreamableItem(item))
      streamed.push_back(static_cast<TXcBaseDataItem*>(item->Implementor()));
  WriteClassCollection(writer, streamed);
}

void TXcBaseDataItems::ReadItems(TReader& reader) {
  TXcSuspendedRefCount keep(this);
  ReadClassCollection(reader, &TXcBaseDataItem::ClassInfo, [this](TPersistentClass cls) -> TStreamable* {
    auto* item = static_cast<TXcBaseDataItem*>(cls->Create(this));
    // Not in the list, an item is nobody else's: one that counts goes with the reference held
    // here when adding fails, any other is freed.
    if (item->Counted()) {
      const TIntfPtr<TXcBaseDataItem> held(item);
      InternalAdd(item);
    } else {
      try {
        InternalAdd(item);
      } catch (...) {
        item->Free();
        throw;
      }
    }
    return item;
  });
}

// ------------------------------------------------------------------------------------ TXcDataItemsList

TXcDataItemsList::~TXcDataItemsList() { FreeItems(); }

TXcBaseDataItem* TXcDataItemsList::AddableItem(IXcDataItem* item) {
  auto* obj = item ? dynamic_cast<TXcBaseDataItem*>(item->Implementor()) : nullptr;
  if (!obj || obj->OwnerObject() != this) throw EXCLDataItems("Item belongs to another list");
  if (obj->listed_) throw EXCLDataItems("Item is already in the list");
  return obj;
}

void TXcDataItemsList::InternalAdd(IXcDataItem* item) {
  TXcBaseDataItem* obj = AddableItem(item);
  items_.push_back(obj);
  obj->listed_ = true;
}

TXcBaseDataItem* TXcDataItemsList::ItemObject(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) ListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

IXcDataItem* TXcDataItemsList::GetItem(int32_t index) { return ItemObject(index); }

TXcBaseDataItem* TXcDataItemsList::Extract(int32_t index) {
  TXcBaseDataItem* item = ItemObject(index);
  items_.erase(items_.begin() + index);
  item->listed_ = false;
  return item;
}

TXcBaseDataItem* TXcDataItemsList::FreeableItem(int32_t index) const {
  TXcBaseDataItem* item = ItemObject(index);
  if (item->RefCount() != 0) throw EInvalidPointer("Invalid pointer operation");
  return item;
}

void TXcDataItemsList::InternalDelete(int32_t index) {
  FreeableItem(index);
  Extract(index)->Free();
}

void TXcDataItemsList::InternalMove(int32_t oldIndex, int32_t newIndex) {
  TXcBaseDataItem* item = ItemObject(oldIndex);
  ItemObject(newIndex);
  items_.erase(items_.begin() + oldIndex);
  items_.insert(items_.begin() + newIndex, item);
}

int32_t TXcDataItemsList::IndexOfID(std::string_view id) {
  for (size_t i = items_.size(); i-- > 0;)
    if (SameText(items_[i]->IDRef(), id)) return static_cast<int32_t>(i);
  return -1;
}

void TXcDataItemsList::FreeItems() {
  while (!items_.empty()) {
    TXcBaseDataItem* item = items_.back();
    items_.pop_back();
    item->listed_ = false;
    item->Free();
  }
}

// ----------------------------------------------------------------------------- TXcBaseDataItemSubItems

namespace {

// The item keeps a pointer to its extension of this class, which it can carry only once.
TXcBaseDataItem* ItemOwner(TExtensibleInterfacedPersistent* owner) {
  return owner->ClassType()->InheritsFrom(&TXcBaseDataItem::ClassInfo) ? static_cast<TXcBaseDataItem*>(owner) : nullptr;
}

}  // namespace

TXcBaseDataItemSubItems::TXcBaseDataItemSubItems(TExtensibleInterfacedPersistent* owner, TXcBaseDataItems* list)
    : TXcDataItemAggregatedObject(owner), list_(list) {}

void TXcBaseDataItemSubItems::Attached() {
  if (TXcBaseDataItem* item = ItemOwner(Owner())) item->subItems_ = this;
}

TXcBaseDataItemSubItems::~TXcBaseDataItemSubItems() {
  if (TXcBaseDataItem* item = ItemOwner(Owner()))
    if (item->subItems_ == this) item->subItems_ = nullptr;
  if (list_) {
    list_->subItems_ = nullptr;
    list_->parent_ = nullptr;  // the item goes, or shows another list
  }
}

bool TXcBaseDataItemSubItems::GetInterface(const TGUID& iid, void** obj) {
  return list_ && list_->QueryInterface(iid, obj) == S_OK;
}
