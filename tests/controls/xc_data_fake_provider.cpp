#include "tests/controls/xc_data_fake_provider.h"

#include <algorithm>

const TClassRecord TTestItemVisibility::ClassInfo{"TTestItemVisibility", &TXcDataItemAggregatedObject::ClassInfo,
                                                  CreateExtensionFor<TTestItemVisibility>, nullptr, 0};

TFakeProvider::TFakeProvider(TComponent* owner, bool counted) : TComponent(owner), counted_(counted) {}

TFakeProvider::~TFakeProvider() {
  // The lists hold the provider, so they go first (an owned provider does not count them).
  root_.Reset();
  contextList_.Reset();
  consumers_.clear();
  contexts_.clear();
  if (DestroyedFlag) *DestroyedFlag = true;
}

HRESULT TFakeProvider::QueryInterface(const TGUID& iid, void** obj) {
  *obj = nullptr;
  if (SameGuid(iid, IXcDataContextList::IID) && contextList_) return contextList_->QueryInterface(iid, obj);
  return OfferInterfaces<IInterface, IXcDataProvider, IXcDataItemLookup, IXcDataProviderOwner>(this, iid, obj)
             ? S_OK
             : E_NOINTERFACE;
}

int32_t TFakeProvider::_AddRef() { return counted_ ? ++refCount_ : -1; }

int32_t TFakeProvider::_Release() {
  if (!counted_) return -1;
  const int32_t count = --refCount_;
  if (count == 0) delete this;
  return count;
}

void TFakeProvider::RegisterListener(IXcDataProviderListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void TFakeProvider::UnregisterListener(IXcDataProviderListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void TFakeProvider::Notify(bool after, TXcDataChangeReason reason, IInterface* source) {
  Announcements.push_back({after, reason, source});
  // A copy: a listener may leave (and the provider with it, when it was the last to hold it); the
  // list is read before each call only.
  const std::vector<IXcDataProviderListener*> listeners = listeners_;
  for (size_t i = 0; i < listeners.size(); ++i) {
    if (std::find(listeners_.begin(), listeners_.end(), listeners[i]) == listeners_.end()) continue;
    const bool last = i + 1 == listeners.size();
    if (after) listeners[i]->ProviderChanged(this, reason, source);
    else listeners[i]->ProviderChanging(this, reason, source);
    if (last) return;  // nothing of the provider is touched after the last call
  }
}

void TFakeProvider::Changing(TXcDataChangeReason reason, IInterface* source) { Notify(false, reason, source); }
void TFakeProvider::Changed(TXcDataChangeReason reason, IInterface* source) { Notify(true, reason, source); }

void TFakeProvider::SelectConsumer(IXcDataConsumer* consumer) { consumers_.emplace_back(consumer); }

TIntfPtr<IXcDataConsumer> TFakeProvider::SelectedConsumer() {
  return consumers_.empty() ? nullptr : consumers_.back();
}

void TFakeProvider::ReleaseConsumer() {
  if (consumers_.empty()) ++Unbalanced;
  else consumers_.pop_back();
}

void TFakeProvider::SelectContext(IXcDataContext* context) {
  if (FailSelectContext) throw EXCLDataProvider("no context");
  contexts_.emplace_back(context);
}

TIntfPtr<IXcDataContext> TFakeProvider::SelectedContext() { return contexts_.empty() ? nullptr : contexts_.back(); }

void TFakeProvider::ReleaseContext() {
  if (FailReleaseContext) throw EXCLDataProvider("no context");
  if (contexts_.empty()) ++Unbalanced;
  else contexts_.pop_back();
}

TIntfPtr<IXcDataItem> TFakeProvider::FindByID(const TXcDataItemID& id, bool recursive) {
  return root_ ? root_->FindByID(id, recursive) : nullptr;
}

TXcDataItemsList* TFakeProvider::Root() {
  if (!root_ && !counted_) {
    root_ = CreateObject<TXcDataItemsList>(static_cast<IXcDataProvider*>(this));
    CreateExtension<TXcBaseDataItemsListManagement>(root_.Get());
  }
  return root_.Get();
}

TXcDataContexts* TFakeProvider::Contexts() {
  if (!contextList_) contextList_ = CreateObject<TXcDataContexts>(static_cast<IXcDataProvider*>(this), nullptr);
  return contextList_.Get();
}

TXcBaseDataItem* TFakeProvider::AddItem(TXcDataItemsList* list, const std::string& id, const std::string& text) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(list);
  item->SetID(id);
  CreateExtension<TXcDataItemTextImpl>(item.Get())->SetText(text.empty() ? id : text);
  Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(list))->Add(item.Get());
  return item.Get();
}

TXcDataItemsList* TFakeProvider::SubList(TXcBaseDataItem* item) {
  if (TXcBaseDataItemSubItems* sub = item->SubItemsExtension())
    return static_cast<TXcDataItemsList*>(sub->List());
  auto* list = ConstructObject<TXcDataItemsList>(static_cast<IXcDataItem*>(item));  // held by the item
  CreateExtension<TXcBaseDataItemsListManagement>(list);
  return list;
}

void SetItemVisibility(TXcBaseDataItem* item, TXcDataVisibility state) {
  const int32_t i = item->IndexOfExtension(&TTestItemVisibility::ClassInfo);
  auto* v = i >= 0 ? static_cast<TTestItemVisibility*>(item->Extensions(i))
                   : CreateExtension<TTestItemVisibility>(item);
  v->State = state;
}

std::vector<uint8_t> WriteObject(TStreamable* obj, const std::string& propPath) {
  TMemoryStream s;
  TWriter w(s);
  w.SetPropPath(propPath);
  w.WriteProperties(obj);
  w.WriteListEnd();
  auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

void ReadObject(TStreamable* obj, const std::vector<uint8_t>& bytes, TComponent* root) {
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  TReader r(s);
  r.SetRoot(root);
  r.ReadProperties(obj);
  r.ReadListEnd();
  r.FixupReferences();
}

bool HasProperty(const std::vector<uint8_t>& bytes, const std::string& name) {
  std::vector<uint8_t> needle(name.size() + 1);
  needle[0] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), needle.begin() + 1);
  return std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) != bytes.end();
}
