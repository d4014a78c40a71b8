#pragma once
// The data consumer: the object through which a control binds to a provider. It holds the provider
// and the selected context, listens to the provider's changes and passes them on to its extensions
// and to the owning control, keeps the extensions the provider asks for, and may select one item
// (TXcDataConsumerItemSelect).
//
// A consumer belongs to its owner component: its add reference and release do nothing, and the
// owner frees it (Free). While the owner loads, Context and Item may be set before Provider; they
// take effect once the provider is there and the owner has loaded (the owner calls Loaded).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/xc_data_provider.h"

class TXcDataConsumer;
class TXcDataConsumerAggregatedObject;

using TXcDataConsumerChangeEvent = std::function<void(TXcDataConsumer* consumer, TXcDataConsumerChangeReason reason)>;
using TXcDataProviderChangeEvent =
    std::function<void(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source)>;
// May replace the class, or clear it so that no extension is made.
using TXcBeforeCreateExtensionEvent = std::function<void(TXcDataConsumer* consumer, TPersistentClass& extensionClass)>;
using TXcAfterCreateExtensionEvent =
    std::function<void(TXcDataConsumer* consumer, TXcDataConsumerAggregatedObject* extension)>;

class TXcDataConsumer : public TExtensibleInterfacedPersistent,
                        public IXcDataConsumer,
                        public IXcDataConsumerLinkClient,
                        public IXcDataConsumerProviderAccess,
                        public IXcDataProviderListener {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }

  // The attribute that asks for the tree view extension.
  static constexpr int32_t kTreeViewAttribute = 3;
  // The class of the tree view extension, which the control library's start-up names.
  static TPersistentClass TreeViewClass;

  explicit TXcDataConsumer(TComponent* owner, std::vector<int32_t> attributes = {});
  ~TXcDataConsumer() override;

  int32_t _AddRef() override { return -1; }
  int32_t _Release() override { return -1; }

  // IXcDataConsumer
  TComponent* OwnerComponent() override { return owner_; }
  bool AttributeApplies(int32_t attribute) override;
  // IXcDataConsumerLinkClient
  void ServerItemChanged(IXcDataConsumerLinkServer* server, IXcDataItem* item) override;
  void LinkAdded(IXcDataConsumerLinkServer* server) override;
  void LinkRemoved(IXcDataConsumerLinkServer* server) override;
  // IXcDataConsumerProviderAccess
  TIntfPtr<IXcDataProvider> Provider() override { return provider_; }
  // IXcDataProviderListener. The consumer holds the provider while it handles a notification, so
  // that dropping it on dcProviderReleasing cannot free it mid-way.
  void ProviderChanging(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) override;
  void ProviderChanged(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) override;
  TIntfPtr<IXcDataConsumer> Consumer() override { return static_cast<IXcDataConsumer*>(this); }

  IXcDataProvider* ProviderRef() const { return provider_.Get(); }
  virtual void SetProvider(IXcDataProvider* value);
  // The selected context's name (empty when none).
  TXcDataContextID Context();
  // Raises EXCLDataConsumer "You must specify a provider before setting the context", "Provider
  // does not support contexts" or "Provider has no context named "%s"".
  virtual void SetContext(const TXcDataContextID& name);
  TIntfPtr<IXcDataContext> ContextIntf() { return context_; }
  // Raises EXCLDataConsumer "The specified context is not part of the same provider".
  void SetContextIntf(IXcDataContext* context);

  virtual void Changing(TXcDataConsumerChangeReason reason);
  // Invalidates an owner that is a control, then tells OnChanged.
  virtual void Changed(TXcDataConsumerChangeReason reason);
  // After-create callback, then the tree view rebuilds.
  virtual void ExtensionCreated(TXcDataConsumerAggregatedObject* extension);
  // Makes the extensions the provider asks for (and the tree view, under attribute 3); without a
  // provider frees them all.
  virtual void UpdateExtensions();
  // The owner calls it once it has loaded: a waiting context name is applied, waiting extensions
  // are fixed up.
  virtual void Loaded();
  // Every extension but sender hears of it, then Changed(ccViewChanged), also when a hook fails.
  void ViewChanged(TXcDataConsumerAggregatedObject* sender);
  // True while extensions wait to be fixed up or a context name waits to be applied.
  bool Loading();
  bool OwnerLoading() const;
  // The items the extensions show: the selected item's sub-list when an item is selected, else
  // the provider's root items.
  TIntfPtr<IXcDataItems> RootItems();
  // Extensions ask to be fixed up once the provider is there or the owner has loaded.
  void RequestFixup(TXcDataConsumerAggregatedObject* extension);

  TPersistentClass ExtensionClass() const override;

  TXcDataConsumerChangeEvent OnChanging;
  TXcDataConsumerChangeEvent OnChanged;
  TXcDataProviderChangeEvent OnProviderChanging;
  TXcDataProviderChangeEvent OnProviderChanged;
  TXcBeforeCreateExtensionEvent OnBeforeCreateExtension;
  TXcAfterCreateExtensionEvent OnAfterCreateExtension;

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;

 private:
  // The consumer extensions attached now, in order (a copy: hooks may add or free extensions).
  std::vector<TXcDataConsumerAggregatedObject*> ConsumerExtensions();
  bool Attached(TXcDataConsumerAggregatedObject* extension);
  bool Waiting() const { return fixupPending_ || !pendingContext_.empty(); }
  // Runs each extension's replaced hook and frees those that do not keep themselves.
  void ReplacedHooks(bool provider);
  TXcDataConsumerAggregatedObject* CreateConsumerExtension(TPersistentClass cls);
  void FixUpExtensions();

  TComponent* owner_;
  TIntfPtr<IXcDataProvider> provider_;
  TIntfPtr<IXcDataContext> context_;
  TXcDataContextID pendingContext_;
  bool fixupPending_ = false;
  std::vector<TIntfPtr<IXcDataConsumerLinkServer>> servers_;
  std::vector<int32_t> attributes_;
};

// The base of consumer extensions; its owner is a consumer. The hooks do nothing unless a
// descendant makes them.
class TXcDataConsumerAggregatedObject : public TAggregatedPersistentEx {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  // Raises EXCLDataProvider "Invalid class type" for an owner that is not a consumer.
  explicit TXcDataConsumerAggregatedObject(TExtensibleInterfacedPersistent* owner);

  TXcDataConsumer* Consumer() const { return consumer_; }

  // (provider, reason, source) as the provider announces them.
  virtual void ProviderChanging(IXcDataProvider*, TXcDataChangeReason, IInterface*) {}
  virtual void ProviderChanged(IXcDataProvider*, TXcDataChangeReason, IInterface*) {}
  virtual void FixUp() {}
  virtual bool KeepOnProviderChange() { return false; }
  virtual bool KeepOnContextChange() { return true; }
  // (the extension that announced it, or nothing for the consumer itself)
  virtual void ViewChanged(TXcDataConsumerAggregatedObject*) {}
  virtual void ItemSelected(IXcDataItem*) {}
  virtual void ServerItemChanged(IXcDataConsumerLinkServer*, IXcDataItem*) {}
  virtual void ProviderReplacing() {}
  virtual void ProviderReplaced() {}
  virtual void ContextReplacing() {}
  virtual void ContextReplaced() {}

  bool StreamedInWithoutProvider() const { return streamedInWithoutProvider_; }
  // Notes whether the consumer has no provider, then tells the consumer.
  void Changed(TXcDataConsumerChangeReason reason);
  void NotifyViewChanged() { consumer_->ViewChanged(this); }
  void RequestFixup() { consumer_->RequestFixup(this); }
  TIntfPtr<IXcDataItems> RootItems() { return consumer_->RootItems(); }

 private:
  friend class TXcDataConsumer;
  TXcDataConsumer* consumer_;
  bool streamedInWithoutProvider_ = false;
};

// The consumer's selected item, published as its identifier (Item).
class TXcDataConsumerItemSelect : public TXcDataConsumerAggregatedObject, public IXcDataConsumerSelection {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcDataConsumerItemSelect(TExtensibleInterfacedPersistent* owner) : TXcDataConsumerAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;
  TIntfPtr<IXcDataItem> SelectedItem() override { return item_; }
  // Stores a different item and announces a view change.
  void SelectItem(IXcDataItem* item) override;

  // The selected item's identifier, or "".
  TXcDataItemID Item();
  // Finds the identifier among the provider's items (recursively) and selects it; "" selects
  // nothing. Raises EXCLDataConsumer "You must specify a provider before setting the item" or
  // "Item not found in the selected context".
  void SetItem(const TXcDataItemID& id);

  void FixUp() override;
  // The selection goes when its item, or an ancestor of it, is deleted.
  void ProviderChanging(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) override;

 private:
  TIntfPtr<IXcDataItem> item_;
  TXcDataItemID pendingItem_;
};
