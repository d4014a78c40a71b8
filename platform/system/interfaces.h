#pragma once
// The platform's object model for interfaces.
//
// An interface is an abstract struct that derives virtually from IInterface and names its identifier
// as IID. Deriving virtually gives an object that implements several interfaces one IInterface, so
// its add reference, release and query interface are one set (one identity, one count) whichever
// interface they are called through.
//
// TIntfPtr<I> is the counted pointer: it adds a reference when it takes a pointer and releases it
// when it lets go. Supports<I>(obj) asks an object for another interface.
//
// TInterfacedObject is the reference-counted base: query interface by identifier, an atomic count,
// and the object freed by the release that brings the count to 0. A new object starts at count 1,
// runs AfterConstruction once its most derived constructor has finished and then drops to 0, so
// references taken and dropped during construction never free it. CreateObject<T>(...) constructs,
// runs AfterConstruction and hands out the first reference; an object never referenced again is
// freed when that pointer goes.
#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "platform/system/guid.h"
#include "platform/system/object.h"

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

struct IInterface {
  // {00000000-0000-0000-C000-000000000046}
  static constexpr TGUID IID = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  // Stores the interface named by iid, with a reference added, and answers S_OK; or stores nullptr
  // and answers E_NOINTERFACE.
  virtual HRESULT QueryInterface(const TGUID& iid, void** obj) = 0;
  // The count after the change (objects that do not count answer -1).
  virtual int32_t _AddRef() = 0;
  virtual int32_t _Release() = 0;

 protected:
  ~IInterface() = default;
};

// A counted reference to an interface (or to a class that implements IInterface).
template <class I>
class TIntfPtr {
 public:
  TIntfPtr() = default;
  TIntfPtr(std::nullptr_t) {}
  // Takes p and adds a reference to it.
  TIntfPtr(I* p) : p_(p) {
    if (p_) p_->_AddRef();
  }
  TIntfPtr(const TIntfPtr& other) : TIntfPtr(other.p_) {}
  TIntfPtr(TIntfPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, I*>>>
  TIntfPtr(const TIntfPtr<U>& other) : TIntfPtr(other.Get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, I*>>>
  TIntfPtr(TIntfPtr<U>&& other) noexcept : p_(other.Detach()) {}
  ~TIntfPtr() {
    if (p_) p_->_Release();
  }
  TIntfPtr& operator=(TIntfPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Takes over a reference the caller already holds (what QueryInterface hands out).
  static TIntfPtr Adopt(I* p) {
    TIntfPtr r;
    r.p_ = p;
    return r;
  }
  // Lets go of the pointer without releasing it.
  I* Detach() { return std::exchange(p_, nullptr); }
  void Reset() { TIntfPtr().Swap(*this); }
  void Swap(TIntfPtr& other) noexcept { std::swap(p_, other.p_); }

  I* Get() const { return p_; }
  I* operator->() const { return p_; }
  I& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const TIntfPtr& a, const TIntfPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const TIntfPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  I* p_ = nullptr;
};

// The object's interface I (counted), or nothing when obj is nothing or does not implement it.
template <class I>
TIntfPtr<I> Supports(IInterface* obj) {
  void* p = nullptr;
  if (obj && obj->QueryInterface(I::IID, &p) == S_OK && p) return TIntfPtr<I>::Adopt(static_cast<I*>(p));
  return nullptr;
}
template <class I, class U>
TIntfPtr<I> Supports(const TIntfPtr<U>& obj) {
  return Supports<I>(obj.Get());
}

// The interfaces of an object that a class names (components built on the framework classes), or
// nullptr when it implements none.
inline IInterface* ObjectInterface(TObject* obj) { return dynamic_cast<IInterface*>(obj); }

// A class's own interface look-up offers each interface it implements: when iid names I, stores
// self as I with a reference added.
template <class I, class T>
bool OfferInterface(T* self, const TGUID& iid, void** obj) {
  if (!SameGuid(iid, I::IID)) return false;
  I* p = self;
  p->_AddRef();
  *obj = p;
  return true;
}
template <class... Is, class T>
bool OfferInterfaces(T* self, const TGUID& iid, void** obj) {
  return (OfferInterface<Is>(self, iid, obj) || ...);
}

class TInterfacedObject : public TObject, public virtual IInterface {
 public:
  TInterfacedObject(const TInterfacedObject&) = delete;
  TInterfacedObject& operator=(const TInterfacedObject&) = delete;

  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  int32_t _AddRef() override { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t _Release() override;
  int32_t RefCount() const { return refCount_.load(std::memory_order_relaxed); }

  // Runs once, after the most derived constructor (CreateObject and ConstructObject call it), and
  // drops the count of construction. Descendants that extend it call it last.
  virtual void AfterConstruction() { refCount_.fetch_sub(1, std::memory_order_relaxed); }

  // Frees an object whose life is not counted (its owner decides it). Raises EInvalidPointer
  // "Invalid pointer operation", with nothing destroyed, while the object is still referenced.
  void Free();

 protected:
  TInterfacedObject() = default;
  // Only Free and the last release destroy an object; both make sure no reference is left.
  ~TInterfacedObject() override;
  // The interfaces the object's own class implements (this one: IInterface). Descendants offer
  // theirs and then ask their base.
  virtual bool GetInterface(const TGUID& iid, void** obj);

  std::atomic<int32_t> refCount_{1};

 private:
  template <class T, class... Args>
  friend T* ConstructObject(Args&&... args);
  bool constructed_ = false;
};

// A new T, constructed and through AfterConstruction, at count 0: the caller takes it at once into
// a TIntfPtr or hands it to its owner. When AfterConstruction fails the object is freed and the
// failure passes on.
template <class T, class... Args>
T* ConstructObject(Args&&... args) {
  T* obj = new T(std::forward<Args>(args)...);
  TInterfacedObject* base = obj;
  try {
    obj->AfterConstruction();
  } catch (...) {
    base->refCount_.store(0);
    delete obj;
    throw;
  }
  base->constructed_ = true;
  return obj;
}

// A new T with its first reference.
template <class T, class... Args>
TIntfPtr<T> CreateObject(Args&&... args) {
  return TIntfPtr<T>(ConstructObject<T>(std::forward<Args>(args)...));
}
