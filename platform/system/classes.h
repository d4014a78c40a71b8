#pragma once
// Persistent objects, components with owners and free notification, and collections.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/exception.h"
#include "platform/system/object.h"

class EComponentError : public Exception { using Exception::Exception; };
// An index outside a list: "List index out of bounds (%d)" (see ListIndexError).
class EListError : public Exception { using Exception::Exception; };
[[noreturn]] void ListIndexError(int32_t index);

// An object whose state can be copied from another of a compatible class. Assign asks the source to
// AssignTo the destination; when neither knows the other, EConvertError
// "Cannot assign a %s to a %s." names the source's class (or "nil") and the destination's.
class TPersistent : public TObject {
 public:
  virtual void Assign(TPersistent* source);
  // The path under which a designer would name the object ("Form1.Button1.Font").
  virtual std::string GetNamePath();

 protected:
  virtual void AssignTo(TPersistent* dest);
  virtual TPersistent* GetOwner() { return nullptr; }
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : uint16_t {
  csLoading = 1 << 0, csReading = 1 << 1, csWriting = 1 << 2, csDestroying = 1 << 3, csDesigning = 1 << 4,
  csAncestor = 1 << 5, csUpdating = 1 << 6, csFixups = 1 << 7, csFreeNotification = 1 << 8, csInline = 1 << 9,
  csDesignInstance = 1 << 10,
};
using TComponentState = uint16_t;

enum TComponentStyleFlag : uint8_t { csInheritable = 1, csCheckPropAvail = 2, csSubComponent = 4, csTransient = 8 };
using TComponentStyle = uint8_t;

// A component: owned by its owner, which frees it (the owned ones in reverse order of insertion), named
// uniquely among its owner's components, and told about the removal of components it asked to hear of.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError "''%s'' is not a valid component name." or
  // "A component named %s already exists.".
  virtual void SetName(const std::string& name);
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

  TComponentState ComponentState() const { return state_; }
  TComponentStyle ComponentStyle() const { return style_; }
  void SetSubComponent(bool value);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  int ComponentIndex() const;
  void SetComponentIndex(int index);
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, last first.
  void DestroyComponents();
  // Marks this component and its owned ones as being destroyed.
  void Destroying();

  // Asks to be told (Notification with opRemove) when component goes away; mutual and undone by
  // RemoveFreeNotification or the destruction of either.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Called after the component's properties were set up as a unit (the end of loading).
  virtual void Loaded();
  std::string GetNamePath() override;

  // Brackets a load: sets and clears csLoading and csReading, and runs Loaded at the end.
  void BeginLoading();
  void EndLoading();

 protected:
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void ValidateRename(TComponent* component, const std::string& curName, const std::string& newName);
  virtual void Updating() { state_ |= csUpdating; }
  virtual void Updated() { state_ &= ~csUpdating; }
  void SetComponentStateFlag(TComponentState flags, bool on) { on ? state_ |= flags : state_ &= ~flags; }
  TPersistent* GetOwner() override { return owner_; }

 private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);
  void RemoveNotification(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  intptr_t tag_ = 0;
  TComponentState state_ = 0;
  TComponentStyle style_ = csInheritable;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// True for a name a component may carry: a letter or underscore, then letters, digits, underscores.
bool IsValidIdent(const std::string& ident);

class TCollection;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

// One item of a collection; the collection owns it. Freeing an item removes it from its collection.
class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  TCollection* Collection() const { return collection_; }
  void SetCollection(TCollection* collection);
  int ID() const { return id_; }
  int Index() const;
  virtual void SetIndex(int index);
  virtual std::string DisplayName() { return ClassName(); }
  std::string GetNamePath() override;

 protected:
  // Tells the collection this item (or, with allItems, every item) changed.
  void Changed(bool allItems);
  TPersistent* GetOwner() override;

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

// An owned, ordered list of items made by its item factory (the framework's item class).
class TCollection : public TPersistent {
 public:
  using TItemFactory = std::function<TCollectionItem*(TCollection*)>;
  explicit TCollection(TItemFactory itemFactory, TPersistent* owner = nullptr);
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  TCollectionItem* FindItemID(int id) const;
  void Exchange(int index1, int index2);

  // While updates are pending, Update runs once, at the last EndUpdate, with no item.
  virtual void BeginUpdate();
  virtual void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(TPersistent* source) override;
  // Called with the changed item, or nullptr when the whole collection changed.
  std::function<void(TCollection* sender, TCollectionItem* item)> OnChange;

 protected:
  virtual void Update(TCollectionItem* item);
  virtual void Notify(TCollectionItem* item, TCollectionNotification action);
  void Changed();
  TPersistent* GetOwner() override { return owner_; }

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);

  TItemFactory factory_;
  TPersistent* owner_ = nullptr;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};

// A collection whose items are all of class T (constructed with the collection).
template <class T>
class TCollectionOf : public TCollection {
 public:
  explicit TCollectionOf(TPersistent* owner = nullptr)
      : TCollection([](TCollection* c) -> TCollectionItem* { return new T(c); }, owner) {}
  T* Add() { return static_cast<T*>(TCollection::Add()); }
  T* Insert(int index) { return static_cast<T*>(TCollection::Insert(index)); }
  T* Items(int index) const { return static_cast<T*>(TCollection::Items(index)); }
};
