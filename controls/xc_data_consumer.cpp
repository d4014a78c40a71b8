#include "controls/xc_data_consumer.h"

#include <algorithm>

#include "controls/xc_data_items.h"
#include "platform/system/classes.h"
#include "platform/ui/controls.h"

namespace {

TXcDataConsumer* Consumer(TStreamable* o) { return static_cast<TXcDataConsumer*>(o); }

TComponent* ProviderComponent(IXcDataProvider* provider) {
  TIntfPtr<IXcDataProviderOwner> owner = Supports<IXcDataProviderOwner>(provider);
  return owner ? owner->ProviderComponent() : nullptr;
}

// Context is written only when it is not the one a new provider would give: the provider has
// contexts and the selected one is not its first.
bool ContextStored(TStreamable* o) {
  TXcDataConsumer* c = Consumer(o);
  TIntfPtr<IXcDataContextList> list = Supports<IXcDataContextList>(c->Provider());
  if (!list || list->Count() == 0) return false;
  TIntfPtr<IXcDataContext> selected = c->ContextIntf();
  TIntfPtr<IXcDataContext> first = list->Contexts(0);
  return !selected || selected->Implementor() != first->Implementor();
}

constexpr TPropInfo kConsumerProperties[] = {
    {.Name = "Provider",
     .Type = ptComponent,
     .GetComponent = [](TStreamable* o) { return ProviderComponent(Consumer(o)->ProviderRef()); },
     .SetComponent =
         [](TStreamable* o, TComponent* c) {
           Consumer(o)->SetProvider(Supports<IXcDataProvider>(c ? ObjectInterface(c) : nullptr).Get());
         }},
    {.Name = "Context",
     .Type = ptString,
     .GetString = [](TStreamable* o) { return Consumer(o)->Context(); },
     .SetString = [](TStreamable* o, const std::string& v) { Consumer(o)->SetContext(v); },
     .Stored = ContextStored},
};

constexpr TPropInfo kItemSelectProperties[] = {
    {.Name = "Item",
     .Type = ptString,
     .GetString = [](TStreamable* o) { return static_cast<TXcDataConsumerItemSelect*>(o)->Item(); },
     .SetString = [](TStreamable* o, const std::string& v) { static_cast<TXcDataConsumerItemSelect*>(o)->SetItem(v); }},
};

TObject* CreateConsumer(TObject* owner) { return ConstructObject<TXcDataConsumer>(static_cast<TComponent*>(owner)); }

}  // namespace

const TClassRecord TXcDataConsumer::ClassInfo{"TXcDataConsumer", &TExtensibleInterfacedPersistent::ClassInfo, CreateConsumer,
                                              kConsumerProperties, 2};
const TClassRecord TXcDataConsumerAggregatedObject::ClassInfo{"TXcDataConsumerAggregatedObject",
                                                              &TAggregatedPersistentEx::ClassInfo, nullptr, nullptr, 0};
const TClassRecord TXcDataConsumerItemSelect::ClassInfo{"TXcDataConsumerItemSelect",
                                                        &TXcDataConsumerAggregatedObject::ClassInfo,
                                                        CreateExtensionFor<TXcDataConsumerItemSelect>, kItemSelectProperties, 1};

TPersistentClass TXcDataConsumer::TreeViewClass = nullptr;

// ------------------------------------------------------------------------------------- TXcDataConsumer

TXcDataConsumer::TXcDataConsumer(TComponent* owner, std::vector<int32_t> attributes)
    : owner_(owner), attributes_(std::move(attributes)) {}

TXcDataConsumer::~TXcDataConsumer() {
  if (provider_) provider_->UnregisterListener(static_cast<IXcDataProviderListener*>(this));
  // The extensions go while the consumer is whole: they may reach it on their way out.
  FreeExtensions();
}

bool TXcDataConsumer::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterfaces<IXcDataConsumer, IXcDataConsumerLinkClient, IXcDataConsumerProviderAccess, IXcDataProviderListener>(
             this, iid, obj) ||
         TExtensibleInterfacedPersistent::GetInterface(iid, obj);
}

TPersistentClass TXcDataConsumer::ExtensionClass() const { return &TXcDataConsumerAggregatedObject::ClassInfo; }

bool TXcDataConsumer::AttributeApplies(int32_t attribute) {
  return std::find(attributes_.begin(), attributes_.end(), attribute) != attributes_.end();
}

bool TXcDataConsumer::OwnerLoading() const { return owner_ && (owner_->ComponentState() & csLoading); }

std::vector<TXcDataConsumerAggregatedObject*> TXcDataConsumer::ConsumerExtensions() {
  return ExtensionsOf<TXcDataConsumerAggregatedObject>();
}

bool TXcDataConsumer::Attached(TXcDataConsumerAggregatedObject* extension) {
  for (int32_t i = 0; i < ExtensionCount(); ++i)
    if (Extensions(i) == extension) return true;
  return false;
}

bool TXcDataConsumer::Loading() {
  const bool ownerLoading = OwnerLoading();
  if (fixupPending_ && !ownerLoading) return true;
  if (!pendingContext_.empty() && !ownerLoading) return true;
  for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
    if (e->StreamedInWithoutProvider()) return true;
  return false;
}

void TXcDataConsumer::RequestFixup(TXcDataConsumerAggregatedObject* extension) {
  fixupPending_ = true;
  extension->streamedInWithoutProvider_ = true;
}

TIntfPtr<IXcDataItems> TXcDataConsumer::RootItems() {
  if (TIntfPtr<IXcDataConsumerSelection> selection = Supports<IXcDataConsumerSelection>(static_cast<IXcDataConsumer*>(this)))
    if (TIntfPtr<IXcDataItem> item = selection->SelectedItem()) return SubItemsOf(item.Get());
  return provider_ ? provider_->RootItems() : nullptr;
}

void TXcDataConsumer::Changing(TXcDataConsumerChangeReason reason) {
  if (OnChanging) OnChanging(this, reason);
}

void TXcDataConsumer::Changed(TXcDataConsumerChangeReason reason) {
  if (auto* control = dynamic_cast<TControl*>(owner_)) control->Invalidate();
  if (OnChanged) OnChanged(this, reason);
}

void TXcDataConsumer::ViewChanged(TXcDataConsumerAggregatedObject* sender) {
  try {
    for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
      if (e != sender && Attached(e)) e->ViewChanged(sender);
  } catch (...) {
    Changed(ccViewChanged);
    throw;
  }
  Changed(ccViewChanged);
}

void TXcDataConsumer::ReplacedHooks(bool provider) {
  for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions()) {
    if (!Attached(e)) continue;
    if (provider) e->ProviderReplaced();
    else e->ContextReplaced();
    if (!Attached(e)) continue;
    const bool keep = provider ? e->KeepOnProviderChange() : e->KeepOnContextChange();
    if (!keep && !e->StreamedInWithoutProvider()) DetachExtension(e);
  }
}

void TXcDataConsumer::SetProvider(IXcDataProvider* value) {
  if (value == provider_.Get()) return;
  Changing(ccProviderReplaced);
  IXcDataProviderListener* listener = this;
  const TIntfPtr<IXcDataProvider> old = provider_;  // held until the replacement is done
  if (old) old->UnregisterListener(listener);
  const bool waiting = Waiting();
  if (!waiting)
    for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
      if (Attached(e)) e->ProviderReplacing();
  provider_ = value;
  context_ = nullptr;  // the old provider's context is no context of the new one
  if (provider_) provider_->RegisterListener(listener);
  if (!pendingContext_.empty() && !OwnerLoading()) {
    TXcDataContextID name;
    name.swap(pendingContext_);
    SetContext(name);
  } else {
    TIntfPtr<IXcDataContextList> contexts = Supports<IXcDataContextList>(provider_);
    if (contexts && contexts->Count() > 0) context_ = contexts->Contexts(0);
  }
  if (!waiting) ReplacedHooks(true);
  UpdateExtensions();
  if (!OwnerLoading() && !Loading()) {
    const std::vector<TIntfPtr<IXcDataConsumerLinkServer>> servers = servers_;
    for (const auto& s : servers) s->ConsumerProviderChanged(this);
  }
  if (fixupPending_) FixUpExtensions();
  ViewChanged(nullptr);
  Changed(ccProviderReplaced);
}

TXcDataContextID TXcDataConsumer::Context() { return context_ ? context_->Name() : TXcDataContextID(); }

void TXcDataConsumer::SetContext(const TXcDataContextID& name) {
  if (name == Context()) return;
  if (!provider_) {
    if (OwnerLoading()) {
      pendingContext_ = name;
      return;
    }
    throw EXCLDataConsumer("You must specify a provider before setting the context");
  }
  if (name.empty()) {
    SetContextIntf(nullptr);
    return;
  }
  TIntfPtr<IXcDataContextList> contexts = Supports<IXcDataContextList>(provider_);
  if (!contexts) throw EXCLDataConsumer("Provider does not support contexts");
  TIntfPtr<IXcDataContext> context = contexts->ContextByName(name);
  if (!context) throw EXCLDataConsumer(Format("Provider has no context named \"%s\"", name.c_str()));
  SetContextIntf(context.Get());
}

void TXcDataConsumer::SetContextIntf(IXcDataContext* context) {
  if (context == context_.Get()) return;
  if (context) {
    TIntfPtr<IXcDataContextList> list = context->OwnerList();
    TIntfPtr<IXcDataProvider> provider = list ? list->Provider() : nullptr;
    if (!provider || provider.Get() != provider_.Get())
      throw EXCLDataConsumer("The specified context is not part of the same provider");
  }
  Changing(ccContextReplaced);
  const bool waiting = Waiting();
  if (!waiting)
    for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
      if (Attached(e)) e->ContextReplacing();
  context_ = context;
  if (!waiting) ReplacedHooks(false);
  UpdateExtensions();
  Changed(ccContextReplaced);
}

TXcDataConsumerAggregatedObject* TXcDataConsumer::CreateConsumerExtension(TPersistentClass cls) {
  if (OnBeforeCreateExtension) OnBeforeCreateExtension(this, cls);
  if (!cls || IndexOfExtension(cls) >= 0) return nullptr;
  if (!cls->Create || !cls->InheritsFrom(&TXcDataConsumerAggregatedObject::ClassInfo))
    throw EXCLDataConsumer("Invalid class type");
  return static_cast<TXcDataConsumerAggregatedObject*>(cls->Create(this));
}

void TXcDataConsumer::UpdateExtensions() {
  if (!provider_) {
    FreeExtensions();
    return;
  }
  std::vector<TPersistentClass> classes;
  const TIntfPtr<IXcDataProvider> provider = provider_;
  WithSelectedConsumer(provider.Get(), this, context_.Get(), [&] { provider->ConsumerClasses(classes); });
  for (TPersistentClass cls : classes) {
    if (!cls || IndexOfExtension(cls) >= 0) continue;
    if (TXcDataConsumerAggregatedObject* e = CreateConsumerExtension(cls))
      if (OnAfterCreateExtension) OnAfterCreateExtension(this, e);
  }
  if (AttributeApplies(kTreeViewAttribute) && TreeViewClass && IndexOfExtension(TreeViewClass) < 0)
    if (TXcDataConsumerAggregatedObject* e = CreateConsumerExtension(TreeViewClass)) ExtensionCreated(e);
}

void TXcDataConsumer::ExtensionCreated(TXcDataConsumerAggregatedObject* extension) {
  if (OnAfterCreateExtension) OnAfterCreateExtension(this, extension);
  void* p = nullptr;
  if (Attached(extension) && extension->GetInterface(IXcDataConsumerTree::IID, &p))
    TIntfPtr<IXcDataConsumerTree>::Adopt(static_cast<IXcDataConsumerTree*>(p))->Rebuild();
}

void TXcDataConsumer::Loaded() {
  if (!pendingContext_.empty()) {
    TXcDataContextID name;
    name.swap(pendingContext_);
    SetContext(name);
  }
  if (fixupPending_) FixUpExtensions();
}

void TXcDataConsumer::FixUpExtensions() {
  // An extension fixed up no longer waits: the flags go before the hooks, which may ask again.
  fixupPending_ = false;
  for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions()) {
    if (!Attached(e)) continue;
    e->streamedInWithoutProvider_ = false;
    e->FixUp();
  }
}

void TXcDataConsumer::ProviderChanging(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) {
  const TIntfPtr<IXcDataProvider> keep(provider);
  if (OnProviderChanging) OnProviderChanging(provider, reason, source);
  for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
    if (Attached(e)) e->ProviderChanging(provider, reason, source);
  if (reason == dcProviderReleasing) SetProvider(nullptr);
}

void TXcDataConsumer::ProviderChanged(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) {
  const TIntfPtr<IXcDataProvider> keep(provider);
  if (OnProviderChanged) OnProviderChanged(provider, reason, source);
  for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
    if (Attached(e)) e->ProviderChanged(provider, reason, source);
  if (reason == dcProviderView) ViewChanged(nullptr);
  else Changed(ccProviderDataChanged);
}

void TXcDataConsumer::LinkAdded(IXcDataConsumerLinkServer* server) {
  for (const auto& s : servers_)
    if (s.Get() == server) return;
  servers_.emplace_back(server);
}

void TXcDataConsumer::LinkRemoved(IXcDataConsumerLinkServer* server) {
  for (auto it = servers_.begin(); it != servers_.end(); ++it)
    if (it->Get() == server) {
      servers_.erase(it);
      return;
    }
}

void TXcDataConsumer::ServerItemChanged(IXcDataConsumerLinkServer* server, IXcDataItem* item) {
  for (TXcDataConsumerAggregatedObject* e : ConsumerExtensions())
    if (Attached(e)) e->ServerItemChanged(server, item);
}

// ----------------------------------------------------------------------- TXcDataConsumerAggregatedObject

TXcDataConsumerAggregatedObject::TXcDataConsumerAggregatedObject(TExtensibleInterfacedPersistent* owner)
    : TAggregatedPersistentEx(owner), consumer_(nullptr) {
  if (!owner->ClassType()->InheritsFrom(&TXcDataConsumer::ClassInfo)) throw EXCLDataProvider("Invalid class type");
  consumer_ = static_cast<TXcDataConsumer*>(owner);
}

void TXcDataConsumerAggregatedObject::Changed(TXcDataConsumerChangeReason reason) {
  streamedInWithoutProvider_ = !consumer_->ProviderRef();
  consumer_->Changed(reason);
}

// ---------------------------------------------------------------------------- TXcDataConsumerItemSelect

bool TXcDataConsumerItemSelect::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataConsumerSelection>(this, iid, obj) ||
         TXcDataConsumerAggregatedObject::GetInterface(iid, obj);
}

TXcDataItemID TXcDataConsumerItemSelect::Item() { return item_ ? item_->ID() : TXcDataItemID(); }

void TXcDataConsumerItemSelect::SelectItem(IXcDataItem* item) {
  TObject* present = item_ ? item_->Implementor() : nullptr;
  if ((item ? item->Implementor() : nullptr) == present) return;
  item_ = item;
  NotifyViewChanged();
}

void TXcDataConsumerItemSelect::SetItem(const TXcDataItemID& id) {
  if (id == Item()) return;
  if (id.empty()) {
    SelectItem(nullptr);
    return;
  }
  TXcDataConsumer* consumer = Consumer();
  const TIntfPtr<IXcDataProvider> provider = consumer->Provider();
  if (!provider) {
    if (!consumer->OwnerLoading()) throw EXCLDataConsumer("You must specify a provider before setting the item");
    pendingItem_ = id;
    RequestFixup();
    return;
  }
  WithSelectedConsumer(provider.Get(), consumer, consumer->ContextIntf().Get(), [&] {
    TIntfPtr<IXcDataItemLookup> lookup = Supports<IXcDataItemLookup>(provider);
    TIntfPtr<IXcDataItem> item = lookup ? lookup->FindByID(id, true) : nullptr;
    if (!item) throw EXCLDataConsumer("Item not found in the selected context");
    SelectItem(item.Get());
  });
}

void TXcDataConsumerItemSelect::FixUp() {
  if (pendingItem_.empty()) return;
  TXcDataItemID id;
  id.swap(pendingItem_);
  SetItem(id);
}

void TXcDataConsumerItemSelect::ProviderChanging(IXcDataProvider*, TXcDataChangeReason reason, IInterface* source) {
  if (reason != dcItemDeleted || !item_) return;
  TIntfPtr<IXcDataItem> deleted = Supports<IXcDataItem>(source);
  if (!deleted) return;
  if (deleted->Implementor() == item_->Implementor() || deleted->IsParentOf(item_.Get(), false)) item_ = nullptr;
}
