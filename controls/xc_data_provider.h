#pragma once
// The data provider framework's object model: the extensible, reference-counted base object of
// items, lists, contexts and consumers; the extensions that add interfaces to it and share its
// identity and count; the "Extensions" stream property; the framework's exceptions; reading a
// provider's items on behalf of a consumer; and an item's visibility.
#include <cstdint>
#include <vector>

#include "controls/xc_data_intf.h"
#include "controls/xc_types.h"
#include "platform/system/filer.h"

class EXCLDataProvider : public EXCLException { using EXCLException::EXCLException; };
class EXCLDataConsumer : public EXCLDataProvider { using EXCLDataProvider::EXCLDataProvider; };
class EXCLDataItems : public EXCLDataProvider { using EXCLDataProvider::EXCLDataProvider; };
class EXCLDataContexts : public EXCLDataProvider { using EXCLDataProvider::EXCLDataProvider; };

class TAggregatedPersistentEx;

// The extensions of an object, in the order attached. Most objects carry one to three, so those
// stay in place and only more go to the heap.
class TXcExtensionList {
 public:
  TXcExtensionList() = default;
  ~TXcExtensionList();
  TXcExtensionList(const TXcExtensionList&) = delete;
  TXcExtensionList& operator=(const TXcExtensionList&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TAggregatedPersistentEx* operator[](size_t index) const { return data_[index]; }
  TAggregatedPersistentEx* const* begin() const { return data_; }
  TAggregatedPersistentEx* const* end() const { return data_ + size_; }
  void push_back(TAggregatedPersistentEx* extension);
  TAggregatedPersistentEx* pop_back() { return data_[--size_]; }
  // Takes the extension out; false when it is not there.
  bool remove(TAggregatedPersistentEx* extension);

 private:
  static constexpr size_t kInPlace = 3;
  TAggregatedPersistentEx* inPlace_[kInPlace];
  TAggregatedPersistentEx** data_ = inPlace_;
  size_t size_ = 0;
  size_t capacity_ = kInPlace;
};

// A reference-counted object that implements interfaces itself and carries extensions, which it
// owns. Its interface look-up asks its own class first, then its extensions from the last attached
// to the first (hidden ones skipped). A new one starts at count 1, attaches its standard
// extensions once its construction is complete and then drops to 0; create it with CreateObject
// (or ConstructObject).
class TExtensibleInterfacedPersistent : public TInterfacedObject, public TStreamable {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  void AfterConstruction() override;

  // Raises EXCLException "Implementation of that class already exists" when the object has an
  // extension of the extension's class or of one derived from it.
  void AttachExtension(TAggregatedPersistentEx* extension);
  // Takes the extension out of the list and frees it.
  void DetachExtension(TAggregatedPersistentEx* extension);
  // The index of the last attached extension of the class or of one derived from it; -1 when none.
  int32_t IndexOfExtension(TPersistentClass cls) const;
  // Frees every extension, the last attached first.
  void FreeExtensions();
  int32_t ExtensionCount() const { return static_cast<int32_t>(extensions_.size()); }
  // Raises EListError for an index outside the list.
  TAggregatedPersistentEx* Extensions(int32_t index) const;

  // The extensions of a family (class T and those derived from it) attached now, in order: a copy,
  // since the hooks run on them may attach or free extensions.
  template <class T>
  std::vector<T*> ExtensionsOf() const;

  // Keeps the object alive while it is worked on (an increment and a decrement of the count that
  // never free it).
  void SuspendRefCount() { refCount_.fetch_add(1, std::memory_order_relaxed); }
  void ResumeRefCount() { refCount_.fetch_sub(1, std::memory_order_relaxed); }

  // The class every extension of this object derives from; each family of objects (items, lists,
  // consumers) takes extensions of its own base.
  virtual TPersistentClass ExtensionClass() const;

  // "Extensions": a collection with, for each extension whose class is registered by its name, a
  // list of "ClassName" and the extension's published properties. Written only when there is one.
  void DefineProperties(TFiler& filer) override;

 protected:
  TExtensibleInterfacedPersistent() = default;
  ~TExtensibleInterfacedPersistent() override;
  // Attaches the extensions every object of the class carries; runs once, after construction.
  virtual void AttachStandardExtensions() {}
  virtual bool IsStreamableExtension(TAggregatedPersistentEx* extension);
  // The class's own interfaces, then the extensions'.
  virtual bool InterfaceLookup(const TGUID& iid, void** obj);

 private:
  friend class TAggregatedPersistentEx;
  bool HasStreamableExtensions();
  void ReadExtensions(TReader& reader);
  void WriteExtensions(TWriter& writer);
  TXcExtensionList extensions_;
};

// An object whose add reference, release and query interface go to its controller (a back
// reference that is not counted), so that it shares the controller's identity and count.
class TAggregatedPersistent : public TObject, public virtual IInterface, public TStreamable {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  TAggregatedPersistent(const TAggregatedPersistent&) = delete;
  TAggregatedPersistent& operator=(const TAggregatedPersistent&) = delete;

  HRESULT QueryInterface(const TGUID& iid, void** obj) override { return controller_->QueryInterface(iid, obj); }
  int32_t _AddRef() override { return controller_->_AddRef(); }
  int32_t _Release() override { return controller_->_Release(); }
  // The interfaces its own class implements (none here): what its controller's look-up asks.
  virtual bool GetInterface(const TGUID& iid, void** obj);
  IInterface* Controller() const { return controller_; }

 protected:
  explicit TAggregatedPersistent(IInterface* controller) : controller_(controller) {}

 private:
  IInterface* controller_;
};

// An extension: attached to its owner at the end of its construction (CreateExtension), owned by
// it, and taken out of its list when it is destroyed.
class TAggregatedPersistentEx : public TAggregatedPersistent {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  ~TAggregatedPersistentEx() override;

  TExtensibleInterfacedPersistent* Owner() const { return owner_; }
  // A hidden extension is passed over by its owner's interface look-up.
  virtual bool IsHidden() const { return false; }

 protected:
  explicit TAggregatedPersistentEx(TExtensibleInterfacedPersistent* owner);

 private:
  TExtensibleInterfacedPersistent* owner_;
};

template <class T>
std::vector<T*> TExtensibleInterfacedPersistent::ExtensionsOf() const {
  std::vector<T*> list;
  for (TAggregatedPersistentEx* e : extensions_)
    if (e->ClassType()->InheritsFrom(&T::ClassInfo)) list.push_back(static_cast<T*>(e));
  return list;
}

// A new extension of class T attached to owner (and freed again when attaching fails).
template <class T, class... Args>
T* CreateExtension(TExtensibleInterfacedPersistent* owner, Args&&... args) {
  T* extension = new T(owner, std::forward<Args>(args)...);
  try {
    owner->AttachExtension(extension);
  } catch (...) {
    delete extension;
    throw;
  }
  return extension;
}
// The factory of an extension class's record: owner is the extensible object.
template <class T>
TObject* CreateExtensionFor(TObject* owner) {
  return CreateExtension<T>(static_cast<TExtensibleInterfacedPersistent*>(owner));
}

// The base of item extensions; its owner is an item.
class TXcDataItemAggregatedObject : public TAggregatedPersistentEx {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  // Refuses IXcDataItemContextCaption unless the extension implements it itself: another
  // extension's context caption is not this one's to offer.
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  // The owner as an item (not counted).
  IXcDataItem* Item() const { return item_; }
  // The context is going away.
  virtual void ContextDestroyed(IXcDataContext*) {}

 protected:
  // Raises EXCLDataProvider "Invalid class type" for an owner that is not an item.
  explicit TXcDataItemAggregatedObject(TExtensibleInterfacedPersistent* owner);

 private:
  IXcDataItem* item_;
};

// The base of list extensions; its owner is an item list.
class TXcDataItemsAggregatedObject : public TAggregatedPersistentEx {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  // The owner as a list (not counted).
  IXcDataItems* Items() const { return items_; }
  virtual void ContextDestroyed(IXcDataContext*) {}

 protected:
  // Raises EXCLDataProvider "Invalid class type" for an owner that is not an item list.
  explicit TXcDataItemsAggregatedObject(TExtensibleInterfacedPersistent* owner);

 private:
  IXcDataItems* items_;
};

// Reading a provider's items on behalf of a consumer: the consumer is selected, then its context;
// when selecting the context fails the consumer selection is released and the failure passes on.
void SelectOnBehalf(IXcDataProvider* provider, IXcDataConsumer* consumer, IXcDataContext* context);
// The end of it: the consumer selection is released, then the context selection; when releasing
// the context fails, the consumer is selected again and the failure passes on.
void ReleaseOnBehalf(IXcDataProvider* provider);
// Runs work between the two, releasing also when work fails.
template <class Fn>
void WithSelectedConsumer(IXcDataProvider* provider, IXcDataConsumer* consumer, IXcDataContext* context, Fn&& work) {
  SelectOnBehalf(provider, consumer, context);
  try {
    work();
  } catch (...) {
    ReleaseOnBehalf(provider);
    throw;
  }
  ReleaseOnBehalf(provider);
}

// Runs change between the provider's changing and changed announcements of reason, with the source
// objects before and after it; without a provider it only runs change.
template <class Fn>
void AnnounceChange(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* before, IInterface* after,
                    Fn&& change) {
  if (provider) provider->Changing(reason, before);
  change();
  if (provider) provider->Changed(reason, after);
}

// Whether the item is shown to the provider's selected consumer: the consumer's answer when it has
// one (IXcDataConsumerVisibility), else, or when it is undecided, the item's own
// (IXcDataItemVisibility); dvNotApplicable when neither says.
TXcDataVisibility XcItemVisibility(IXcDataItem* item);
// The same with the selected consumer's answer looked up once (nothing when it gives none), for
// walks over many items.
TXcDataVisibility XcItemVisibility(IXcDataItem* item, IXcDataConsumerVisibility* consumerVisibility);
// The selected consumer's visibility interface, or nothing.
TIntfPtr<IXcDataConsumerVisibility> XcConsumerVisibility(IXcDataProvider* provider);

// Keeps the stream writer's property-path prefix empty while an object writes a collection of
// other objects, whose properties are not the object's own; restores it at the end, also when
// writing fails.
class TXcEmptyPropPath {
 public:
  explicit TXcEmptyPropPath(TWriter& writer) : writer_(writer), saved_(writer.PropPath()) { writer.SetPropPath(""); }
  ~TXcEmptyPropPath() { writer_.SetPropPath(saved_); }
  TXcEmptyPropPath(const TXcEmptyPropPath&) = delete;
  TXcEmptyPropPath& operator=(const TXcEmptyPropPath&) = delete;

 private:
  TWriter& writer_;
  std::string saved_;
};

// A collection of objects in a stream, each a list of "ClassName" with its class's name, then its
// properties: the form of "Extensions", "Items" and "SubItems". Written with the path prefix empty.
void WriteClassCollection(TWriter& writer, const std::vector<TStreamable*>& objects);
// Reads one: each entry's class must be registered by name and derive from base, and objectFor
// gives the object that takes its properties. Raises EReadError "Expected collection", "Missing
// ClassName property" (also without regard to case) or "Invalid class type".
void ReadClassCollection(TReader& reader, TPersistentClass base,
                         const std::function<TStreamable*(TPersistentClass cls)>& objectFor);

// Keeps an extensible object's count raised while a stream is read into it.
class TXcSuspendedRefCount {
 public:
  explicit TXcSuspendedRefCount(TExtensibleInterfacedPersistent* obj) : obj_(obj) { obj_->SuspendRefCount(); }
  ~TXcSuspendedRefCount() { obj_->ResumeRefCount(); }
  TXcSuspendedRefCount(const TXcSuspendedRefCount&) = delete;
  TXcSuspendedRefCount& operator=(const TXcSuspendedRefCount&) = delete;

 private:
  TExtensibleInterfacedPersistent* obj_;
};
