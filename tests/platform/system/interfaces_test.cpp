#include "platform/system/interfaces.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/system/classes.h"
#include "platform/system/exception.h"
#include "tests/support/test_support.h"

namespace {

struct IFirst : virtual IInterface {
  static constexpr TGUID IID = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
  virtual int First() = 0;
};
struct ISecond : virtual IInterface {
  static constexpr TGUID IID = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};
  virtual int Second() = 0;
};
struct INobody : virtual IInterface {
  static constexpr TGUID IID = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 10}};
};

// Counts its destructions; during construction and in AfterConstruction it takes and drops
// references to itself, which must not free it.
class TTwoFaced : public TInterfacedObject, public IFirst, public ISecond {
 public:
  explicit TTwoFaced(int* destroyed, bool failAfter = false) : destroyed_(destroyed), failAfter_(failAfter) {
    TIntfPtr<IFirst> self(this);
  }
  ~TTwoFaced() override { ++*destroyed_; }
  void AfterConstruction() override {
    {
      TIntfPtr<ISecond> self(this);
      countInHook = RefCount();
    }
    if (failAfter_) throw std::runtime_error("hook failed");
    TInterfacedObject::AfterConstruction();
  }
  int First() override { return 1; }
  int Second() override { return 2; }
  int countInHook = 0;

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override {
    return OfferInterfaces<IFirst, ISecond>(this, iid, obj) || TInterfacedObject::GetInterface(iid, obj);
  }

 private:
  int* destroyed_;
  bool failAfter_;
};

TEST(Interfaces, QueryInterfaceAnswersWhatTheClassImplementsWithAReference) {
  int destroyed = 0;
  TIntfPtr<TTwoFaced> obj = CreateObject<TTwoFaced>(&destroyed);
  EXPECT_EQ(obj->RefCount(), 1);

  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(obj->QueryInterface(INobody::IID, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(obj->QueryInterface(ISecond::IID, &p), S_OK);
  EXPECT_EQ(static_cast<ISecond*>(p)->Second(), 2);
  EXPECT_EQ(obj->RefCount(), 2);
  static_cast<ISecond*>(p)->_Release();
  EXPECT_EQ(obj->RefCount(), 1);

  EXPECT_FALSE(Supports<INobody>(obj));
  EXPECT_FALSE(Supports<IFirst>(static_cast<IInterface*>(nullptr)));
  // One identity: IInterface asked through either interface is the same object.
  TIntfPtr<IFirst> first = Supports<IFirst>(obj);
  TIntfPtr<ISecond> second = Supports<ISecond>(first);
  EXPECT_EQ(Supports<IInterface>(first).Get(), Supports<IInterface>(second).Get());
  EXPECT_EQ(first->First() + second->Second(), 3);
  EXPECT_EQ(obj->RefCount(), 3);
}

TEST(Interfaces, ConstructionReferencesNeverFreeAndTheLastReleaseDoes) {
  int destroyed = 0;
  {
    TIntfPtr<TTwoFaced> obj = CreateObject<TTwoFaced>(&destroyed);
    // The hook ran at count 1 and held one more.
    EXPECT_EQ(obj->countInHook, 2);
    EXPECT_EQ(destroyed, 0);
    TIntfPtr<IFirst> copy = obj;
    TIntfPtr<IFirst> moved = std::move(copy);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(obj->RefCount(), 2);
  }
  EXPECT_EQ(destroyed, 1);
  // An object no one references again is still freed when the factory's pointer goes.
  CreateObject<TTwoFaced>(&destroyed);
  EXPECT_EQ(destroyed, 2);
}

TEST(Interfaces, AFailedHookFreesTheObjectAndPassesTheFailureOn) {
  int destroyed = 0;
  EXPECT_THROW(CreateObject<TTwoFaced>(&destroyed, true), std::runtime_error);
  EXPECT_EQ(destroyed, 1);
}

TEST(Interfaces, FreeingAReferencedObjectRaisesBeforeDestroyingAnything) {
  int destroyed = 0;
  TTwoFaced* obj = ConstructObject<TTwoFaced>(&destroyed);
  EXPECT_EQ(obj->RefCount(), 0);
  {
    TIntfPtr<IFirst> held(obj);
    try {
      obj->Free();
      FAIL() << "no exception";
    } catch (const EInvalidPointer& e) {
      EXPECT_EQ(e.Message(), "Invalid pointer operation");
    }
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(held->First(), 1);
    held.Detach();  // handed back without a release, so that Free below sees 1 ...
  }
  obj->_Release();  // ... which frees it instead
  EXPECT_EQ(destroyed, 1);

  TTwoFaced* unreferenced = ConstructObject<TTwoFaced>(&destroyed);
  unreferenced->Free();
  EXPECT_EQ(destroyed, 2);
}

TEST(Interfaces, AdoptTakesOverAReferenceAndResetGivesItBack) {
  int destroyed = 0;
  TTwoFaced* obj = ConstructObject<TTwoFaced>(&destroyed);
  obj->_AddRef();
  TIntfPtr<TTwoFaced> adopted = TIntfPtr<TTwoFaced>::Adopt(obj);
  EXPECT_EQ(obj->RefCount(), 1);
  TIntfPtr<IInterface> base = adopted;  // converts to a base interface
  adopted.Reset();
  EXPECT_EQ(destroyed, 0);
  base = nullptr;
  EXPECT_EQ(destroyed, 1);
}

TEST(Interfaces, AbstractAndListErrorsCarryTheFrameworkTexts) {
  EXPECT_EQ(testsupport::ErrorText<EAbstractError>([] { AbstractError(); }), "Abstract Error");
  EXPECT_EQ(testsupport::ErrorText<EListError>([] { ListIndexError(-3); }), "List index out of bounds (-3)");
}

}  // namespace
