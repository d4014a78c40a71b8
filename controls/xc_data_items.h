#pragma once
// Data items and item lists: the tree a provider publishes. An item list (IXcDataItems) holds items
// (IXcDataItem); an item with children carries a sub-list, which it answers as its own
// IXcDataItems through a TXcBaseDataItemSubItems extension. Items are found by identifier, by a
// path of identifiers or by a path of indexes, stream themselves with their extensions and
// sub-lists ("Items", "SubItems"), and announce their changes to the provider.
//
// Lifetimes: the items of a TXcDataItemsList belong to the list (their counting does nothing); the
// items of a dynamic list, and items without a list, are reference counted.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "controls/xc_data_provider.h"

class TXcBaseDataItems;
class TXcBaseDataItemSubItems;

class TXcBaseDataItem : public TExtensibleInterfacedPersistent, public IXcDataItem {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }

  // The list that will hold the item (or nothing); the item gets a new identifier.
  explicit TXcBaseDataItem(TXcBaseDataItems* owner);
  ~TXcBaseDataItem() override;

  // Each selects the provider's base view around the count; the items of a list that is not
  // dynamic are not counted (-1).
  int32_t _AddRef() override { return CountInBaseView(true); }
  int32_t _Release() override { return CountInBaseView(false); }

  TIntfPtr<IXcDataItems> OwnerList() override;
  int32_t Index() override;
  TObject* Implementor() override { return this; }
  TXcDataItemID ID() override { return TXcDataItemID(IDRef()); }
  void ContextDestroyed(IXcDataContext* context) override;
  bool IsParentOf(IXcDataItem* item, bool directOnly) override;
  bool IsDeletable() override { return true; }

  // The identifier as stored (the published "ID"); setting stores any text unchanged.
  std::string_view IDRef() const { return generated_ ? std::string_view(generatedID_, sizeof generatedID_) : customID_; }
  void SetID(const TXcDataItemID& value) {
    customID_ = value;
    generated_ = false;
  }
  // The owning list's object (not counted), or nothing.
  TXcBaseDataItems* OwnerObject() const { return owner_; }
  // Whether add reference and release count this item.
  bool Counted() const { return counted_; }
  // The component that implements the provider (IXcDataProviderOwner), or nothing.
  TComponent* OwnerComponent();
  // The owner component's name (or "Unknown"), then ": Item[", the identifier and "]".
  std::string NamePath();
  void RevertAllContextTexts();
  bool AllTextsDefault();
  // The extension through which the item shows its sub-list, or nothing; and that list.
  TXcBaseDataItemSubItems* SubItemsExtension() const { return subItems_; }
  TXcBaseDataItems* SubList() const;

  TPersistentClass ExtensionClass() const override;
  // "SubItems" beside "Extensions", when the item has a sub-list.
  void DefineProperties(TFiler& filer) override;

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;

 private:
  friend class TXcDataItemsList;
  friend class TXcBaseDataItemSubItems;
  int32_t CountInBaseView(bool add);
  void ReadSubItems(TReader& reader);
  void WriteSubItems(TWriter& writer);

  TXcBaseDataItems* owner_;
  TIntfPtr<IXcDataItems> countedOwner_;  // held while the owning list is dynamic
  bool counted_;
  bool listed_ = false;  // in a TXcDataItemsList, which owns it
  TXcBaseDataItemSubItems* subItems_ = nullptr;  // the extension of that class, which keeps it here
  // A new item's identifier is kept in place (most never change); any other in customID_.
  bool generated_ = true;
  char generatedID_[32];
  TXcDataItemID customID_;
};

class TXcBaseDataItems : public TExtensibleInterfacedPersistent, public IXcDataItems, public IXcDataItemLookup {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }

  TXcBaseDataItems();
  // A provider's top-level list.
  explicit TXcBaseDataItems(IXcDataProvider* provider);
  // The sub-list of parent, with the provider of the parent's list; an extensible parent shows it
  // through a TXcBaseDataItemSubItems extension.
  explicit TXcBaseDataItems(IXcDataItem* parent);
  ~TXcBaseDataItems() override;
  // Attaches the sub-list to its parent.
  void AfterConstruction() override;

  int32_t Count() override { return GetCount(); }
  TIntfPtr<IXcDataItem> Items(int32_t index) override { return GetItem(index); }
  TIntfPtr<IXcDataItem> ItemByPath(const std::string& path) override;
  TIntfPtr<IXcDataItem> ItemByIndexPath(const std::vector<int32_t>& indexes) override;
  TIntfPtr<IXcDataItem> ParentItem() override { return GetParentItem(); }
  TIntfPtr<IXcDataProvider> Provider() override { return provider_; }
  TObject* Implementor() override { return this; }
  bool IsDynamic() override { return GetIsDynamic(); }
  void ContextDestroyed(IXcDataContext* context) override;
  TIntfPtr<IXcDataItem> FindByID(const TXcDataItemID& id, bool recursive) override;

  // Not counted, for the framework's own walks.
  IXcDataProvider* ProviderRef() const { return provider_.Get(); }
  IXcDataItem* ParentRef() const { return parent_; }

  // The list's storage, for its descendants to give.
  virtual void InternalAdd(IXcDataItem* item);
  virtual void InternalDelete(int32_t index);
  virtual void InternalMove(int32_t oldIndex, int32_t newIndex);
  // An item is written to streams when its class is registered by name and is an item class.
  virtual bool IsStreamableItem(IXcDataItem* item);
  virtual int32_t GetCount();
  // The item at the index, not counted: the list keeps it. Raises EListError outside the list.
  virtual IXcDataItem* GetItem(int32_t index);
  // Its object when the list knows it to be one of the framework's items, else nullptr.
  virtual TXcBaseDataItem* GetItemObject(int32_t) { return nullptr; }
  virtual IXcDataItem* GetParentItem() { return parent_; }
  virtual bool GetIsDynamic() { return true; }
  // The index of the last item whose identifier equals id without regard to case; -1 when none.
  virtual int32_t IndexOfID(std::string_view id);

  TPersistentClass ExtensionClass() const override;
  // "Items" beside "Extensions", always written.
  void DefineProperties(TFiler& filer) override;

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;

 private:
  friend class TXcBaseDataItemSubItems;
  // The item of this list whose identifier is id (the last such), or nothing.
  IXcDataItem* FindHere(std::string_view id);
  void ReadItems(TReader& reader);
  void WriteItems(TWriter& writer);

  TIntfPtr<IXcDataProvider> provider_;
  // Not counted: the parent holds the list through its extension, and clears this when it goes.
  IXcDataItem* parent_ = nullptr;
  TXcBaseDataItemSubItems* subItems_ = nullptr;
};

// A list that owns its items: an item dropped from it is freed, and its items are not counted.
class TXcDataItemsList : public TXcBaseDataItems {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcBaseDataItems::TXcBaseDataItems;
  ~TXcDataItemsList() override;

  // Only an item made for this list joins it, once: raises EXCLDataItems "Item belongs to another
  // list" for any other, "Item is already in the list" for one it holds.
  void InternalAdd(IXcDataItem* item) override;
  // The item's object when InternalAdd would take it; raises as InternalAdd does otherwise.
  TXcBaseDataItem* AddableItem(IXcDataItem* item);
  void InternalDelete(int32_t index) override;
  void InternalMove(int32_t oldIndex, int32_t newIndex) override;
  int32_t GetCount() override { return static_cast<int32_t>(items_.size()); }
  IXcDataItem* GetItem(int32_t index) override;
  TXcBaseDataItem* GetItemObject(int32_t index) override { return ItemObject(index); }
  bool GetIsDynamic() override { return false; }
  int32_t IndexOfID(std::string_view id) override;

  // The item at the index when it can be freed now; EInvalidPointer "Invalid pointer operation"
  // while it is still referenced (freeing checks that, before the item leaves the list).
  TXcBaseDataItem* FreeableItem(int32_t index) const;
  // Takes the item at the index out of the list without freeing it; the caller frees it.
  TXcBaseDataItem* Extract(int32_t index);
  TXcBaseDataItem* ItemObject(int32_t index) const;
  // Frees every item, the last first.
  void FreeItems();

 private:
  std::vector<TXcBaseDataItem*> items_;
};

// The extension through which an item answers its sub-list's interfaces.
class TXcBaseDataItemSubItems : public TXcDataItemAggregatedObject {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  TXcBaseDataItemSubItems(TExtensibleInterfacedPersistent* owner, TXcBaseDataItems* list);
  ~TXcBaseDataItemSubItems() override;

  // Every interface of the sub-list.
  bool GetInterface(const TGUID& iid, void** obj) override;
  TXcBaseDataItems* List() const { return list_.Get(); }
  // Once attached, an item owner finds it without a search.
  void Attached();

 private:
  friend class TXcBaseDataItems;
  TIntfPtr<TXcBaseDataItems> list_;
};

// The factory of an item class's record: owner is the list.
template <class T>
TObject* CreateItemFor(TObject* owner) {
  return ConstructObject<T>(static_cast<TXcBaseDataItems*>(owner));
}

// The item of the list whose identifier equals id without regard to case (the last such), without
// searching sub-lists; nothing when there is none.
TIntfPtr<IXcDataItem> FindItemByID(IXcDataItems* list, std::string_view id);
// The list's object when it is one of the framework's item lists, else nullptr.
TXcBaseDataItems* ItemsObject(IXcDataItems* list);
// The provider of the list that holds the item, or nothing; and of the item an extension belongs to.
TIntfPtr<IXcDataProvider> ProviderOf(IXcDataItem* item);
TIntfPtr<IXcDataProvider> ProviderOf(TXcDataItemAggregatedObject* extension);
// The item's sub-list, or nothing (counted).
TIntfPtr<IXcDataItems> SubItemsOf(IXcDataItem* item);
// A new identifier: the 16 bytes of a new GUID in memory order as 32 upper-case hexadecimal digits.
void NewItemID(char (&id)[32]);
TXcDataItemID NewItemID();
