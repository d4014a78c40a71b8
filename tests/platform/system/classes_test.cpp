#include "platform/system/classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string>* g_log = nullptr;

// A component that writes its destruction and the removals it hears of into the log.
class TLogged : public TComponent {
 public:
  TLogged(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
  ~TLogged() override {
    if (g_log) g_log->push_back("free " + Name());
  }
  TComponent* watched = nullptr;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == watched) {
      if (g_log) g_log->push_back(Name() + " heard " + component->Name());
      watched = nullptr;
    }
  }
};

class ComponentTest : public testing::Test {
 protected:
  void SetUp() override { g_log = &log; }
  void TearDown() override { g_log = nullptr; }
  std::vector<std::string> log;
};

TEST_F(ComponentTest, OwnerFreesOwnedInReverseOrder) {
  auto* owner = new TLogged(nullptr, "Owner");
  new TLogged(owner, "A");
  auto* b = new TLogged(owner, "B");
  new TLogged(b, "B1");
  new TLogged(owner, "C");
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->FindComponent("b"), b);  // names compare without case
  EXPECT_EQ(b->ComponentIndex(), 1);
  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"free Owner", "free C", "free B", "free B1", "free A"}));
}

TEST_F(ComponentTest, FreeingOneOwnedComponentRemovesItFromItsOwner) {
  TLogged owner(nullptr, "Owner");
  auto* a = new TLogged(&owner, "A");
  new TLogged(&owner, "B");
  delete a;
  ASSERT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0)->Name(), "B");
}

TEST_F(ComponentTest, FreeNotificationTellsTheWatcherOnceAndIsUndoneBothWays) {
  TLogged form(nullptr, "Form");
  auto* watcher = new TLogged(nullptr, "Watcher");
  auto* target = new TLogged(&form, "Target");
  watcher->watched = target;
  target->FreeNotification(watcher);
  delete target;
  EXPECT_EQ(log, (std::vector<std::string>{"free Target", "Watcher heard Target"}));
  EXPECT_EQ(watcher->watched, nullptr);

  // Removing the notification before the free means no notice; freeing the watcher first leaves no
  // dangling entry in the target.
  auto* t2 = new TLogged(nullptr, "T2");
  watcher->watched = t2;
  t2->FreeNotification(watcher);
  t2->RemoveFreeNotification(watcher);
  log.clear();
  delete t2;
  EXPECT_EQ(log, (std::vector<std::string>{"free T2"}));
  auto* t3 = new TLogged(nullptr, "T3");
  t3->FreeNotification(watcher);
  delete watcher;
  delete t3;  // must not touch the freed watcher
}

TEST_F(ComponentTest, NamesAreCheckedAndStatesTracked) {
  TLogged owner(nullptr, "Owner");
  auto* a = new TLogged(&owner, "Edit1");
  auto* b = new TComponent(&owner);
  try {
    b->SetName("edit1");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "A component named edit1 already exists.");
  }
  try {
    b->SetName("1abc");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "''1abc'' is not a valid component name.");
  }
  a->SetName("EDIT1");  // a case change of its own name is no clash
  b->SetName("Edit2");
  EXPECT_EQ(a->GetNamePath(), "EDIT1");

  owner.BeginLoading();
  EXPECT_TRUE(a->ComponentState() & csLoading);
  EXPECT_TRUE(a->ComponentState() & csReading);
  owner.EndLoading();
  EXPECT_EQ(a->ComponentState() & (csLoading | csReading), 0);
  EXPECT_EQ(a->ComponentState() & csDesigning, 0);
}

class TColourSet : public TPersistent {
 public:
  int value = 0;
  void Assign(TPersistent* source) override {
    if (auto* other = dynamic_cast<TColourSet*>(source)) {
      value = other->value;
      return;
    }
    TPersistent::Assign(source);
  }
};

TEST(Persistent, AssignCopiesKnownClassesAndRefusesOthers) {
  TColourSet a, b;
  a.value = 7;
  b.Assign(&a);
  EXPECT_EQ(b.value, 7);
  TComponent c(nullptr);
  try {
    b.Assign(&c);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TColourSet.");
  }
  try {
    b.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TColourSet.");
  }
}

class TNumberItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  int n = 0;
  void SetN(int v) {
    n = v;
    Changed(false);
  }
  void Assign(TPersistent* source) override {
    if (auto* o = dynamic_cast<TNumberItem*>(source)) return SetN(o->n);
    TCollectionItem::Assign(source);
  }
};

TEST(Collection, ItemsAddInsertDeleteAndUpdateBatching) {
  TCollectionOf<TNumberItem> list;
  std::vector<TCollectionItem*> changes;
  list.OnChange = [&](TCollection*, TCollectionItem* item) { changes.push_back(item); };
  auto* a = list.Add();
  auto* b = list.Add();
  auto* c = list.Insert(0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0), c);
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(list.FindItemID(b->ID()), b);
  changes.clear();
  b->SetN(5);
  EXPECT_EQ(changes, (std::vector<TCollectionItem*>{b}));
  changes.clear();
  list.BeginUpdate();
  a->SetN(1);
  b->SetN(2);
  list.Delete(0);
  EXPECT_TRUE(changes.empty());
  list.EndUpdate();
  EXPECT_EQ(changes, (std::vector<TCollectionItem*>{nullptr}));  // one notice for the whole batch
  EXPECT_EQ(list.Count(), 2);
  delete a;  // an item freed on its own leaves its collection
  EXPECT_EQ(list.Count(), 1);

  TCollectionOf<TNumberItem> copy;
  copy.Assign(&list);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Items(0)->n, 2);
}

}  // namespace
