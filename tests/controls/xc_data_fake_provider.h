#pragma once
// A data provider for the tests of the data provider framework: a component that publishes a
// TXcDataItemsList as its root items, optionally top-level contexts, the consumer classes it is
// told to hand out, and records every announcement it is given. It is either owned (its counting
// does nothing, like a component on a form) or counted (it frees itself with its last reference).
// Listeners may leave while it notifies them: it walks a copy of its list and skips those gone.
#include <string>
#include <vector>

#include "controls/xc_data_contexts.h"
#include "controls/xc_data_item_extensions.h"
#include "controls/xc_data_items.h"
#include "controls/xc_data_list_extensions.h"
#include "platform/system/classes.h"

struct TAnnouncement {
  bool After;  // changed (true) or changing (false)
  TXcDataChangeReason Reason;
  IInterface* Source;  // the source's identity, or nullptr
  friend bool operator==(const TAnnouncement&, const TAnnouncement&) = default;
};

class TFakeProvider : public TComponent,
                      public IXcDataProvider,
                      public IXcDataItemLookup,
                      public IXcDataProviderOwner {
 public:
  // An owned provider lives until its owner (or the test) frees it; a counted one until its last
  // reference goes, and has no root items (they would hold it).
  explicit TFakeProvider(TComponent* owner, bool counted = false);
  ~TFakeProvider() override;

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  int32_t _AddRef() override;
  int32_t _Release() override;

  void RegisterListener(IXcDataProviderListener* listener) override;
  void UnregisterListener(IXcDataProviderListener* listener) override;
  TIntfPtr<IXcDataItems> RootItems() override { return root_ ? static_cast<IXcDataItems*>(root_.Get()) : nullptr; }
  void Changing(TXcDataChangeReason reason, IInterface* source) override;
  void Changed(TXcDataChangeReason reason, IInterface* source) override;
  void ConsumerClasses(std::vector<TPersistentClass>& classes) override { classes = Classes; }
  void SelectConsumer(IXcDataConsumer* consumer) override;
  TIntfPtr<IXcDataConsumer> SelectedConsumer() override;
  void ReleaseConsumer() override;
  void SelectContext(IXcDataContext* context) override;
  TIntfPtr<IXcDataContext> SelectedContext() override;
  void ReleaseContext() override;
  TIntfPtr<IXcDataItem> FindByID(const TXcDataItemID& id, bool recursive) override;
  TComponent* ProviderComponent() override { return this; }

  // The root list (with its editing extension), made on first use for an owned provider.
  TXcDataItemsList* Root();
  // Top-level contexts, made on first use; the provider then supports IXcDataContextList.
  TXcDataContexts* Contexts();
  // Adds an item with a text extension (and that text) to list through its editing extension.
  TXcBaseDataItem* AddItem(TXcDataItemsList* list, const std::string& id, const std::string& text = "");
  // The item's sub-list (made with its editing extension when it has none).
  TXcDataItemsList* SubList(TXcBaseDataItem* item);

  std::vector<TAnnouncement> Announcements;
  std::vector<TPersistentClass> Classes;
  // SelectContext and ReleaseContext fail (EXCLDataProvider "no context") while these are set.
  bool FailSelectContext = false;
  bool FailReleaseContext = false;
  // Selections released that were never made.
  int Unbalanced = 0;
  int ListenerCount() const { return static_cast<int>(listeners_.size()); }
  int ConsumerSelections() const { return static_cast<int>(consumers_.size()); }
  int ContextSelections() const { return static_cast<int>(contexts_.size()); }
  // Set when the provider is destroyed (for a counted one).
  bool* DestroyedFlag = nullptr;

 private:
  void Notify(bool after, TXcDataChangeReason reason, IInterface* source);
  bool counted_;
  int refCount_ = 0;
  TIntfPtr<TXcDataItemsList> root_;
  TIntfPtr<TXcDataContexts> contextList_;
  std::vector<IXcDataProviderListener*> listeners_;
  std::vector<TIntfPtr<IXcDataConsumer>> consumers_;
  std::vector<TIntfPtr<IXcDataContext>> contexts_;
};

// An item extension through which a test decides whether its item is shown (not registered).
class TTestItemVisibility : public TXcDataItemAggregatedObject, public IXcDataItemVisibility {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TTestItemVisibility(TExtensibleInterfacedPersistent* owner) : TXcDataItemAggregatedObject(owner) {}
  bool GetInterface(const TGUID& iid, void** obj) override {
    return OfferInterface<IXcDataItemVisibility>(this, iid, obj) || TXcDataItemAggregatedObject::GetInterface(iid, obj);
  }
  TXcDataVisibility Visibility() override { return State; }
  TXcDataVisibility State = dvShown;
};

// Sets an item's own visibility (adding the extension when it has none).
void SetItemVisibility(TXcBaseDataItem* item, TXcDataVisibility state);

// The identity of an object (its one IInterface), as announcements record their sources.
inline IInterface* Identity(IInterface* obj) { return obj; }

// The properties an object writes, ended; and reading them back into an object.
std::vector<uint8_t> WriteObject(TStreamable* obj, const std::string& propPath = "");
void ReadObject(TStreamable* obj, const std::vector<uint8_t>& bytes, TComponent* root = nullptr);
// Whether the bytes hold a property of that name (its length byte and its text).
bool HasProperty(const std::vector<uint8_t>& bytes, const std::string& name);
