// Data contexts and consumers: context lists and their look-up by name path, the consumer's provider
// and context with their announcements, its extensions, loading, the selected item, and the
// provider that goes away while it notifies.
#include "controls/xc_data_consumer.h"

#include <gtest/gtest.h>

#include "controls/xc_data_contexts.h"
#include "controls/xc_data_view_list.h"
#include "tests/controls/xc_data_fake_provider.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ErrorText;

// A component that owns a consumer, as a control would.
class TConsumerOwner : public TComponent {
 public:
  explicit TConsumerOwner(TComponent* owner, std::vector<int32_t> attributes = {})
      : TComponent(owner), consumer(ConstructObject<TXcDataConsumer>(this, std::move(attributes))) {}
  ~TConsumerOwner() override { consumer->Free(); }
  void Loaded() override {
    TComponent::Loaded();
    consumer->Loaded();
  }
  TXcDataConsumer* consumer;
};

// Contexts A, B and C at the top, and under B the contexts B1 and A (a second A, lower down).
struct TContextTree {
  explicit TContextTree(TFakeProvider& p) : provider(p) {
    top = provider.Contexts();
    for (const char* name : {"A", "B", "C"}) {
      TIntfPtr<TXcDataContext> c = CreateObject<TXcDataContext>(top, name);
      top->AddContext(c.Get());
    }
    below = CreateObject<TXcDataContexts>(static_cast<IXcDataProvider*>(&provider), top->GetContext(1));
    for (const char* name : {"B1", "A"}) {
      TIntfPtr<TXcDataContext> c = CreateObject<TXcDataContext>(below.Get(), name);
      below->AddContext(c.Get());
    }
  }
  TFakeProvider& provider;
  TXcDataContexts* top;
  TIntfPtr<TXcDataContexts> below;
};

TEST(DataContexts, NamePathsAreLookedUpAsTheirRulesSay) {
  TFakeProvider provider(nullptr);
  TContextTree t(provider);
  IXcDataContextList* top = t.top;
  IXcDataContextList* below = t.below.Get();
  struct Case {
    IXcDataContextList* from;
    const char* path;
    IXcDataContextList* expectedList;  // nullptr: nothing found
    const char* expectedName;
  } cases[] = {
      {top, "b", top, "B"},         {below, "A", below, "A"},     {below, "..\\C", top, "C"},
      {below, "../A", top, "A"},    {below, "\\A", top, "A"},     {below, "B1", below, "B1"},
      {top, "Z", nullptr, ""},      {top, "..\\A", nullptr, ""},  {top, "", nullptr, ""},
      // With path left, the rest is looked up among the matched context's siblings: nothing here
      // nests lists under their contexts' names, so "B\B1" does not go down into B's list.
      {top, "B\\C", top, "C"},      {top, "B\\B1", nullptr, ""},  {below, "B1\\A", below, "A"},
      {top, "A\\", top, "A"},
  };
  for (const Case& c : cases) {
    TIntfPtr<IXcDataContext> found = c.from->ContextByName(c.path);
    if (!c.expectedList) {
      EXPECT_EQ(found, nullptr) << c.path;
      continue;
    }
    ASSERT_TRUE(found) << c.path;
    EXPECT_EQ(found->Name(), c.expectedName) << c.path;
    EXPECT_EQ(found->OwnerList().Get(), c.expectedList) << c.path;
  }
  EXPECT_EQ(t.below->IndexOf(t.below->GetContext(1)), 1);
  EXPECT_EQ(t.top->IndexOf(t.below->GetContext(1)), -1);
}

TEST(DataContexts, EditingAnnouncesAddAndDeleteButNotClear) {
  TFakeProvider provider(nullptr);
  TXcDataContexts* top = provider.Contexts();
  TIntfPtr<TXcDataContext> a = CreateObject<TXcDataContext>(top, "A");
  TIntfPtr<TXcFixedDataContext> fixed = CreateObject<TXcFixedDataContext>(top, "Fixed");
  top->AddContext(a.Get());
  top->AddContext(a.Get());  // already there: nothing
  top->AddContext(fixed.Get());
  TIntfPtr<TXcDataContexts> below = CreateObject<TXcDataContexts>(static_cast<IXcDataProvider*>(&provider), a.Get());
  TIntfPtr<TXcManagedDataContext> managed = CreateObject<TXcManagedDataContext>(below.Get(), "M");
  below->AddContext(managed.Get());
  IInterface* ia = Identity(static_cast<IXcDataContext*>(a.Get()));
  IInterface* im = Identity(static_cast<IXcDataContext*>(managed.Get()));
  below->RemoveContext(managed.Get());
  top->DeleteContext(1);  // the fixed context stays, silently
  EXPECT_EQ(provider.Announcements, (std::vector<TAnnouncement>{{false, dcContextAdded, nullptr},
                                                                {true, dcContextAdded, ia},
                                                                {false, dcContextAdded, nullptr},
                                                                {true, dcContextAdded, Identity(static_cast<IXcDataContext*>(fixed.Get()))},
                                                                {false, dcContextAdded, ia},
                                                                {true, dcContextAdded, im},
                                                                {false, dcContextDeleted, im},
                                                                {true, dcContextDeleted, ia}}));
  EXPECT_EQ(top->GetCount(), 2);
  EXPECT_TRUE(fixed->IsStreamed());
  EXPECT_FALSE(a->IsStreamed());
  EXPECT_EQ(managed->OwnerList(), nullptr) << "a deleted context no longer names its list";

  provider.Announcements.clear();
  top->Clear();
  EXPECT_TRUE(provider.Announcements.empty());
  EXPECT_EQ(top->GetCount(), 0);
  EXPECT_EQ(a->OwnerList(), nullptr);

  // Renaming goes through IXcDataContextRename, which only a managed context offers.
  EXPECT_FALSE(Supports<IXcDataContextRename>(static_cast<IXcDataContext*>(a.Get())));
  Supports<IXcDataContextRename>(static_cast<IXcDataContext*>(managed.Get()))->SetName("N");
  EXPECT_EQ(managed->Name(), "N");
}

TEST(DataConsumer, TheEightFailuresCarryTheirTexts) {
  TFakeProvider provider(nullptr);
  TContextTree t(provider);
  TFakeProvider noContexts(nullptr);
  noContexts.Root();
  TFakeProvider other(nullptr);
  TIntfPtr<TXcDataContext> foreign = CreateObject<TXcDataContext>(other.Contexts(), "F");
  TConsumerOwner owner(nullptr);
  TXcDataConsumer* consumer = owner.consumer;
  auto* select = CreateExtension<TXcDataConsumerItemSelect>(consumer);

  EXPECT_EQ(ErrorText<EXCLDataContexts>([] { CreateObject<TXcDataContext>(nullptr, "X"); }),
            "Cannot create a context without a context list owner");
  EXPECT_EQ(ErrorText<EXCLDataContexts>([&] { t.top->AddContext(CreateObject<TXcDataContext>(t.below.Get(), "a").Get()); }),
            "A context with that name already exists");
  EXPECT_EQ(ErrorText<EXCLDataContexts>([&] { static_cast<TXcDataContext*>(t.top->GetContext(0)->Implementor())->SetName("C"); }),
            "A context with that name already exists");
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { consumer->SetContext("A"); }),
            "You must specify a provider before setting the context");
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { select->SetItem("A"); }), "You must specify a provider before setting the item");
  consumer->SetProvider(&noContexts);
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { consumer->SetContext("A"); }), "Provider does not support contexts");
  consumer->SetProvider(&provider);
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { consumer->SetContext("Z"); }), "Provider has no context named \"Z\"");
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { consumer->SetContextIntf(foreign.Get()); }),
            "The specified context is not part of the same provider");
  select = CreateExtension<TXcDataConsumerItemSelect>(consumer);  // the provider change took the first away
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { select->SetItem("nothing"); }), "Item not found in the selected context");
  EXPECT_EQ(consumer->Context(), "A");
  EXPECT_EQ(provider.ConsumerSelections() + provider.ContextSelections() + provider.Unbalanced, 0);
  consumer->SetProvider(nullptr);
}

TEST(DataConsumer, ReplacingTheProviderRunsItsStepsInOrder) {
  TFakeProvider first(nullptr), second(nullptr);
  TContextTree contexts(second);
  TConsumerOwner owner(nullptr);
  TXcDataConsumer* consumer = owner.consumer;
  std::vector<int> reasons;
  consumer->OnChanging = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) { reasons.push_back(-1 - r); };
  consumer->OnChanged = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) { reasons.push_back(r); };

  consumer->SetProvider(&first);
  EXPECT_EQ(reasons, (std::vector<int>{-1 - ccProviderReplaced, ccViewChanged, ccProviderReplaced}));
  EXPECT_EQ(first.ListenerCount(), 1);
  EXPECT_EQ(consumer->Context(), "") << "a provider without contexts gives none";
  reasons.clear();
  consumer->SetProvider(&first);
  EXPECT_TRUE(reasons.empty()) << "the same provider announces nothing";

  // The first extension does not keep itself over a provider change.
  CreateExtension<TXcDataConsumerItemSelect>(consumer);
  second.Classes = {&TXcDataConsumerItemSelect::ClassInfo};
  consumer->SetProvider(&second);
  EXPECT_EQ(first.ListenerCount(), 0);
  EXPECT_EQ(second.ListenerCount(), 1);
  EXPECT_EQ(consumer->Context(), "A") << "the new provider's first context";
  ASSERT_EQ(consumer->ExtensionCount(), 1) << "the old extension went, the provider's class came";
  EXPECT_TRUE(Supports<IXcDataConsumerSelection>(static_cast<IXcDataConsumer*>(consumer)));

  // Selecting a context announces it and keeps the extensions that keep themselves.
  reasons.clear();
  consumer->SetContext("b");
  EXPECT_EQ(consumer->Context(), "B");
  EXPECT_EQ(reasons, (std::vector<int>{-1 - ccContextReplaced, ccContextReplaced}));
  EXPECT_EQ(consumer->ExtensionCount(), 1);
  consumer->SetContext("");
  EXPECT_EQ(consumer->ContextIntf(), nullptr);

  consumer->SetProvider(nullptr);
  EXPECT_EQ(consumer->ExtensionCount(), 0) << "without a provider no extension stays";
  EXPECT_EQ(second.ListenerCount(), 0);
}

TEST(DataConsumer, TheBeforeCreateCallbackReplacesOrVetoesAClass) {
  TFakeProvider provider(nullptr);
  provider.Root();
  provider.Classes = {&TXcDataConsumerItemSelect::ClassInfo};
  TConsumerOwner owner(nullptr, {TXcDataConsumer::kTreeViewAttribute});
  TXcDataConsumer* consumer = owner.consumer;
  std::vector<std::string> created;
  consumer->OnBeforeCreateExtension = [](TXcDataConsumer*, TPersistentClass& cls) {
    if (cls == &TXcDataConsumerItemSelect::ClassInfo) cls = nullptr;
  };
  consumer->OnAfterCreateExtension = [&](TXcDataConsumer*, TXcDataConsumerAggregatedObject* e) {
    created.push_back(std::string(e->ClassType()->Name));
  };
  consumer->SetProvider(&provider);
  EXPECT_EQ(created, std::vector<std::string>{"TXcDataConsumerViewList"}) << "the item selection was vetoed";
  EXPECT_FALSE(Supports<IXcDataConsumerSelection>(static_cast<IXcDataConsumer*>(consumer)));
  EXPECT_TRUE(Supports<IXcDataConsumerTree>(static_cast<IXcDataConsumer*>(consumer)));
  consumer->SetProvider(nullptr);
}

TEST(DataConsumer, TheProviderTellsItsChangesAndReasonEightIsAViewChange) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* item = provider.AddItem(provider.Root(), "A");
  TConsumerOwner owner(nullptr);
  TXcDataConsumer* consumer = owner.consumer;
  consumer->SetProvider(&provider);
  std::vector<std::string> heard;
  consumer->OnProviderChanging = [&](IXcDataProvider* p, TXcDataChangeReason r, IInterface*) {
    heard.push_back(Format("changing %d %d", r, p == &provider));
  };
  consumer->OnProviderChanged = [&](IXcDataProvider*, TXcDataChangeReason r, IInterface*) {
    heard.push_back(Format("changed %d", r));
  };
  consumer->OnChanged = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) { heard.push_back(Format("consumer %d", r)); };
  provider.Changing(dcItemChanged, static_cast<IXcDataItem*>(item));
  provider.Changed(dcItemChanged, static_cast<IXcDataItem*>(item));
  provider.Changed(dcProviderView, nullptr);
  EXPECT_EQ(heard, (std::vector<std::string>{"changing 2 1", "changed 2", "consumer 1", "changed 8", "consumer 2"}));
  consumer->SetProvider(nullptr);
}

// A server told when the consumer's provider changes.
class TLinkServer : public TInterfacedObject, public IXcDataConsumerLinkServer {
 public:
  void ConsumerProviderChanged(IXcDataConsumerLinkClient*) override { ++told; }
  int told = 0;
};

TEST(DataConsumer, LinkedServersHearOfProviderChangesOnceLinked) {
  TFakeProvider provider(nullptr);
  TConsumerOwner owner(nullptr);
  TIntfPtr<TLinkServer> server = CreateObject<TLinkServer>();
  owner.consumer->LinkAdded(server.Get());
  owner.consumer->LinkAdded(server.Get());
  owner.consumer->SetProvider(&provider);
  EXPECT_EQ(server->told, 1);
  owner.consumer->LinkRemoved(server.Get());
  owner.consumer->SetProvider(nullptr);
  EXPECT_EQ(server->told, 1);
  EXPECT_EQ(server->RefCount(), 1);
}

TEST(DataConsumer, ContextAndItemSetWhileTheOwnerLoadsTakeEffectAfterLoading) {
  TComponent form(nullptr);
  form.SetName("Form1");
  auto* provider = new TFakeProvider(&form);
  provider->SetName("Provider1");
  TContextTree contexts(*provider);
  TXcBaseDataItem* a = provider->AddItem(provider->Root(), "A");
  TXcBaseDataItem* b = provider->AddItem(provider->SubList(a), "B");

  // The stored consumer: provider, context B, item B.
  std::vector<uint8_t> bytes;
  {
    TConsumerOwner source(nullptr);
    source.consumer->SetProvider(provider);
    source.consumer->SetContext("B");
    CreateExtension<TXcDataConsumerItemSelect>(source.consumer)->SetItem(b->ID());
    bytes = WriteObject(source.consumer);
    EXPECT_TRUE(HasProperty(bytes, "Context"));
    source.consumer->SetContext("A");
    EXPECT_FALSE(HasProperty(WriteObject(source.consumer), "Context")) << "the provider's first context is not written";
    source.consumer->SetProvider(nullptr);
  }

  auto* target = new TConsumerOwner(&form);
  form.BeginLoading();
  ReadObject(target->consumer, bytes, &form);
  EXPECT_EQ(target->consumer->ProviderRef(), static_cast<IXcDataProvider*>(provider));
  EXPECT_EQ(target->consumer->Context(), "A") << "the stored context waits for the end of loading";
  form.EndLoading();
  EXPECT_EQ(target->consumer->Context(), "B");
  TIntfPtr<IXcDataConsumerSelection> selection =
      Supports<IXcDataConsumerSelection>(static_cast<IXcDataConsumer*>(target->consumer));
  ASSERT_TRUE(selection);
  EXPECT_EQ(selection->SelectedItem()->Implementor(), b);
  selection.Reset();  // the consumer does not count: its extensions go when it says
  EXPECT_FALSE(target->consumer->Loading()) << "its extensions were fixed up";
  EXPECT_EQ(provider->ConsumerSelections() + provider->ContextSelections() + provider->Unbalanced, 0);
  target->consumer->SetProvider(nullptr);
}

TEST(DataConsumer, DeletingTheSelectedItemOrAnAncestorClearsTheSelectionSilently) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* a = provider.AddItem(provider.Root(), "A");
  TXcBaseDataItem* b = provider.AddItem(provider.SubList(a), "B");
  provider.AddItem(provider.Root(), "C");
  TConsumerOwner owner(nullptr);
  owner.consumer->SetProvider(&provider);
  auto* select = CreateExtension<TXcDataConsumerItemSelect>(owner.consumer);
  select->SetItem("C");
  int changes = 0;
  owner.consumer->OnChanged = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) { changes += r == ccViewChanged; };
  TIntfPtr<IXcDataItemsEditing> editing = Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(provider.Root()));
  editing->Delete(0);  // A: not the selection nor above it
  EXPECT_EQ(select->Item(), "C");

  a = provider.AddItem(provider.Root(), "A2");
  b = provider.AddItem(provider.SubList(a), "B2");
  select->SetItem(b->ID());
  EXPECT_EQ(owner.consumer->RootItems(), nullptr) << "the extensions see the selected item's sub-list: none";
  TXcDataItemsList* below = provider.SubList(b);
  EXPECT_EQ(owner.consumer->RootItems().Get(), static_cast<IXcDataItems*>(below));
  changes = 0;
  editing->Delete(1);  // A2, the parent of the selected item
  EXPECT_EQ(select->Item(), "");
  EXPECT_EQ(changes, 0) << "without a view change";
  EXPECT_EQ(owner.consumer->RootItems().Get(), static_cast<IXcDataItems*>(provider.Root()));
  owner.consumer->SetProvider(nullptr);
}

TEST(DataConsumer, ACountedProviderThatGoesAwayOnReasonFourOutlivesItsOwnNotification) {
  bool destroyed = false;
  auto* provider = new TFakeProvider(nullptr, true);
  provider->DestroyedFlag = &destroyed;
  TConsumerOwner owner(nullptr, {TXcDataConsumer::kTreeViewAttribute});
  owner.consumer->SetProvider(provider);  // the consumer holds the only reference
  EXPECT_EQ(provider->_AddRef(), 2);
  provider->_Release();
  bool aliveAtTheEnd = false;
  owner.consumer->OnChanged = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) {
    if (r == ccProviderReplaced) aliveAtTheEnd = !destroyed;
  };
  provider->Changing(dcProviderReleasing, nullptr);
  EXPECT_TRUE(aliveAtTheEnd) << "the provider lives until the consumer is done with its notification";
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(owner.consumer->ProviderRef(), nullptr);
  EXPECT_EQ(owner.consumer->ExtensionCount(), 0);

  // An owned provider with contexts: the consumer is left with neither.
  TFakeProvider owned(nullptr);
  TContextTree contexts(owned);
  owner.consumer->SetProvider(&owned);
  EXPECT_EQ(owner.consumer->Context(), "A");
  owned.Changing(dcProviderReleasing, nullptr);
  EXPECT_EQ(owner.consumer->ProviderRef(), nullptr);
  EXPECT_EQ(owner.consumer->ContextIntf(), nullptr);
  EXPECT_EQ(owned.ListenerCount(), 0);
}

}  // namespace
