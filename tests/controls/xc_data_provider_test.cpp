// The data provider framework's object model: extensions and their shared identity, the
// "Extensions" stream property, reading on behalf of a consumer, and visibility.
#include "controls/xc_data_provider.h"

#include <gtest/gtest.h>

#include "controls/xc_data_consumer.h"
#include "controls/xc_data_view_list.h"
#include "tests/controls/xc_data_fake_provider.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ErrorText;

// An interface each probe extension answers with its own name.
struct ITestProbe : virtual IInterface {
  static constexpr TGUID IID = {0xA0A0A0A0, 0x0001, 0x0002, {0, 1, 2, 3, 4, 5, 6, 7}};
  virtual std::string Who() = 0;
};

class TProbe : public TXcDataItemAggregatedObject, public ITestProbe {
 public:
  TProbe(TExtensibleInterfacedPersistent* owner, const char* name, bool hidden)
      : TXcDataItemAggregatedObject(owner), name_(name), hidden_(hidden) {}
  bool GetInterface(const TGUID& iid, void** obj) override {
    return OfferInterface<ITestProbe>(this, iid, obj) || TXcDataItemAggregatedObject::GetInterface(iid, obj);
  }
  bool IsHidden() const override { return hidden_; }
  std::string Who() override { return name_; }

 private:
  const char* name_;
  bool hidden_;
};

class TFirstProbe : public TProbe {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TFirstProbe(TExtensibleInterfacedPersistent* owner) : TProbe(owner, "first", false) {}
};
class TSecondProbe : public TProbe {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TSecondProbe(TExtensibleInterfacedPersistent* owner) : TProbe(owner, "second", false) {}
};
class THiddenProbe : public TProbe {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit THiddenProbe(TExtensibleInterfacedPersistent* owner) : TProbe(owner, "hidden", true) {}
};
const TClassRecord TFirstProbe::ClassInfo{"TFirstProbe", &TXcDataItemAggregatedObject::ClassInfo, nullptr, nullptr, 0};
const TClassRecord TSecondProbe::ClassInfo{"TSecondProbe", &TXcDataItemAggregatedObject::ClassInfo, nullptr, nullptr, 0};
const TClassRecord THiddenProbe::ClassInfo{"THiddenProbe", &TXcDataItemAggregatedObject::ClassInfo, nullptr, nullptr, 0};

// A text extension class nobody registers.
class TUnregisteredText : public TXcDataItemTextImpl {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcDataItemTextImpl::TXcDataItemTextImpl;
};
const TClassRecord TUnregisteredText::ClassInfo{"TUnregisteredText", &TXcDataItemTextImpl::ClassInfo,
                                                CreateExtensionFor<TUnregisteredText>, nullptr, 0};

TEST(DataProviderModel, TheFifteenClassesAreRegisteredByNameAtStartUp) {
  for (const char* name :
       {"TXcDataItemsList", "TXcCustomDataItemsImages", "TXcCustomDataItemsTextRenderer", "TXcBaseDataItemsListManagement",
        "TXcBaseDataItem", "TXcDataItemTextImpl", "TXcDataItemImageImpl", "TXcDataItemContextTextImpl",
        "TXcDataItemBlockableTextImpl", "TXcDataConsumer", "TXcDataConsumerItemSelect", "TXcDataContexts",
        "TXcDataContext", "TXcManagedDataContext", "TXcFixedDataContext"}) {
    TPersistentClass cls = GetClass(name);
    ASSERT_NE(cls, nullptr) << name;
    EXPECT_EQ(cls->Name, name);
  }
  // The consumers' tree view is known to them, though not streamed by name.
  EXPECT_EQ(TXcDataConsumer::TreeViewClass, &TXcDataConsumerViewList::ClassInfo);
  EXPECT_EQ(GetClass("TXcDataConsumerViewList"), nullptr);
}

TEST(DataProviderModel, AnExtensionSharesItsOwnersIdentityAndCount) {
  // An item outside any list is counted like any interfaced object.
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  auto* text = CreateExtension<TXcDataItemTextImpl>(item.Get());
  EXPECT_EQ(item->RefCount(), 1);

  TIntfPtr<IXcDataItemText> asText = Supports<IXcDataItemText>(static_cast<IXcDataItem*>(item.Get()));
  ASSERT_TRUE(asText);
  EXPECT_EQ(asText.Get(), static_cast<IXcDataItemText*>(text));
  EXPECT_EQ(item->RefCount(), 2) << "a reference through the extension counts on the item";
  asText->_AddRef();
  EXPECT_EQ(item->RefCount(), 3);
  asText->_Release();
  // Asked through the extension, the item's own interfaces and identity come back.
  TIntfPtr<IXcDataItem> back = Supports<IXcDataItem>(asText);
  EXPECT_EQ(back.Get(), static_cast<IXcDataItem*>(item.Get()));
  EXPECT_EQ(Supports<IInterface>(asText).Get(), Identity(static_cast<IXcDataItem*>(item.Get())));
  back.Reset();
  asText.Reset();
  EXPECT_EQ(item->RefCount(), 1);
}

TEST(DataProviderModel, LookupAsksTheClassFirstThenTheExtensionsLastFirstSkippingHidden) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  IXcDataItem* asItem = item.Get();
  EXPECT_FALSE(Supports<ITestProbe>(asItem));
  CreateExtension<TFirstProbe>(item.Get());
  EXPECT_EQ(Supports<ITestProbe>(asItem)->Who(), "first");
  CreateExtension<TSecondProbe>(item.Get());
  EXPECT_EQ(Supports<ITestProbe>(asItem)->Who(), "second");
  CreateExtension<THiddenProbe>(item.Get());
  EXPECT_EQ(Supports<ITestProbe>(asItem)->Who(), "second");
  // The item's own IXcDataItem wins over anything an extension could offer.
  EXPECT_EQ(Supports<IXcDataItem>(asItem).Get(), asItem);
  item->DetachExtension(item->Extensions(1));
  EXPECT_EQ(item->ExtensionCount(), 2);
  EXPECT_EQ(Supports<ITestProbe>(asItem)->Who(), "first");
}

TEST(DataProviderModel, AnItemExtensionOffersTheContextCaptionOnlyWhenItHasIt) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  CreateExtension<TXcDataItemContextTextImpl>(item.Get());
  auto* probe = CreateExtension<TFirstProbe>(item.Get());
  // The item has one, through its context text...
  EXPECT_TRUE(Supports<IXcDataItemContextCaption>(static_cast<IXcDataItem*>(item.Get())));
  // ... but the probe does not pass the request on to its owner, while it does pass others.
  EXPECT_FALSE(Supports<IXcDataItemContextCaption>(static_cast<ITestProbe*>(probe)));
  EXPECT_TRUE(Supports<IXcDataItemText>(static_cast<ITestProbe*>(probe)));
}

TEST(DataProviderModel, ASecondExtensionOfAClassOrOfADerivedOneIsRefused) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  CreateExtension<TXcDataItemContextTextImpl>(item.Get());
  for (auto attach : {+[](TXcBaseDataItem* i) { CreateExtension<TXcDataItemContextTextImpl>(i); },
                      +[](TXcBaseDataItem* i) { CreateExtension<TXcDataItemTextImpl>(i); }})
    EXPECT_EQ(ErrorText<EXCLException>([&] { attach(item.Get()); }), "Implementation of that class already exists");
  EXPECT_EQ(item->ExtensionCount(), 1);
  EXPECT_EQ(item->IndexOfExtension(&TXcBaseDataItemTextImpl::ClassInfo), 0);
  EXPECT_EQ(item->IndexOfExtension(&TXcDataItemImageImpl::ClassInfo), -1);
}

TEST(DataProviderModel, AnExtensionOfAnotherFamilyIsRefusedItsOwner) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  EXPECT_EQ(ErrorText<EXCLDataProvider>([&] { CreateExtension<TXcBaseDataItemsListManagement>(item.Get()); }),
            "Invalid class type");
  EXPECT_EQ(item->ExtensionCount(), 0);
}

TEST(DataProviderModel, ExtensionsAreWrittenOnlyWhenAClassIsRegistered) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  item->SetID("A");
  CreateExtension<TUnregisteredText>(item.Get())->SetText("hidden");
  CreateExtension<TFirstProbe>(item.Get());
  std::vector<uint8_t> bytes = WriteObject(item.Get());
  EXPECT_FALSE(HasProperty(bytes, "Extensions"));
  EXPECT_TRUE(HasProperty(bytes, "ID"));

  CreateExtension<TXcDataItemImageImpl>(item.Get())->SetImageIndex(4);
  bytes = WriteObject(item.Get(), "Owner.");
  EXPECT_TRUE(HasProperty(bytes, "Owner.Extensions"));
  // Inside the collection the properties carry no prefix, and only the registered class is there.
  EXPECT_TRUE(HasProperty(bytes, "ImageIndex"));
  EXPECT_FALSE(HasProperty(bytes, "Owner.ImageIndex"));
  EXPECT_FALSE(HasProperty(bytes, "hidden"));
}

TEST(DataProviderModel, ThePathPrefixComesBackAlsoWhenWritingFails) {
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
  CreateExtension<TXcDataItemTextImpl>(item.Get())->SetText(std::string(200, 'x'));
  uint8_t block[64];
  TCustomMemoryStream full(block, sizeof block);  // writes stop at its end
  TWriter writer(full);
  writer.SetPropPath("Owner.");
  EXPECT_EQ(ErrorText<EWriteError>([&] { writer.WriteProperties(item.Get()); }), "Stream write error");
  EXPECT_EQ(writer.PropPath(), "Owner.");
}

TEST(DataProviderModel, FreeingAnItemStillHeldRaisesBeforeAnythingGoes) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* item = provider.AddItem(provider.Root(), "A");
  item->SuspendRefCount();  // as while a stream is read into it
  TIntfPtr<IXcDataItemsEditing> editing = Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(provider.Root()));
  provider.Announcements.clear();
  EXPECT_EQ(ErrorText<EInvalidPointer>([&] { editing->Delete(0); }), "Invalid pointer operation");
  EXPECT_TRUE(provider.Announcements.empty()) << "refused before it was announced";
  EXPECT_EQ(provider.Root()->GetCount(), 1);
  EXPECT_EQ(provider.Root()->ItemObject(0), item);
  item->ResumeRefCount();
  editing->Delete(0);
  EXPECT_EQ(provider.Root()->GetCount(), 0);
}

TEST(DataProviderModel, AStreamedEntryUpdatesTheExtensionTheObjectHas) {
  TIntfPtr<TXcBaseDataItem> source = CreateObject<TXcBaseDataItem>(nullptr);
  CreateExtension<TXcDataItemTextImpl>(source.Get())->SetText("streamed");
  CreateExtension<TXcDataItemImageImpl>(source.Get())->SetSelectedIndex(2);
  const std::vector<uint8_t> bytes = WriteObject(source.Get());

  TIntfPtr<TXcBaseDataItem> target = CreateObject<TXcBaseDataItem>(nullptr);
  auto* text = CreateExtension<TXcDataItemTextImpl>(target.Get());
  text->SetText("before");
  ReadObject(target.Get(), bytes);
  EXPECT_EQ(target->ExtensionCount(), 2) << "the text was updated, the image added";
  EXPECT_EQ(target->Extensions(0), text);
  EXPECT_EQ(text->Text(), "streamed");
  EXPECT_EQ(Supports<IXcDataItemGlyph>(static_cast<IXcDataItem*>(target.Get()))->SelectedIndex(), 2);
  EXPECT_EQ(target->IDRef(), source->IDRef());
  EXPECT_EQ(target->RefCount(), 1) << "reading leaves the count as it found it";
}

// The bytes of an item whose "Extensions" value is given.
std::vector<uint8_t> ItemWithExtensions(std::vector<uint8_t> value) {
  std::vector<uint8_t> b{10, 'E', 'x', 't', 'e', 'n', 's', 'i', 'o', 'n', 's'};
  b.insert(b.end(), value.begin(), value.end());
  b.push_back(vaNull);
  return b;
}
std::vector<uint8_t> ClassEntry(const std::string& name) {
  std::vector<uint8_t> b{9, 'C', 'l', 'a', 's', 's', 'N', 'a', 'm', 'e', vaString, static_cast<uint8_t>(name.size()), 0, 0, 0};
  for (char c : name) b.push_back(static_cast<uint8_t>(c));
  return b;
}
std::vector<uint8_t> Collection(std::vector<uint8_t> entry) {
  std::vector<uint8_t> b{vaCollection, vaList};
  b.insert(b.end(), entry.begin(), entry.end());
  b.insert(b.end(), {vaNull, vaNull});
  return b;
}

TEST(DataProviderModel, StreamedExtensionsAreCheckedBeforeAnythingIsMade) {
  std::vector<uint8_t> lowerCase = ClassEntry("TXcDataItemTextImpl");
  lowerCase[1] = 'c';  // "className"
  struct Case {
    const char* what;
    std::vector<uint8_t> value;
    const char* error;
  } cases[] = {
      {"not a collection", {vaList, vaNull}, "Expected collection"},
      {"an entry without ClassName", Collection({4, 'T', 'e', 'x', 't', vaString, 0, 0, 0, 0}), "Missing ClassName property"},
      {"an empty entry", Collection({}), "Missing ClassName property"},
      {"a class nobody registered", Collection(ClassEntry("TUnregisteredText")), "Invalid class type"},
      {"an item, not an extension", Collection(ClassEntry("TXcBaseDataItem")), "Invalid class type"},
      {"a list's extension on an item", Collection(ClassEntry("TXcBaseDataItemsListManagement")), "Invalid class type"},
      {"ClassName in any case", Collection(lowerCase), "<no exception>"},
  };
  for (const Case& c : cases) {
    TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(nullptr);
    EXPECT_EQ(ErrorText<EReadError>([&] { ReadObject(item.Get(), ItemWithExtensions(c.value)); }), c.error) << c.what;
    EXPECT_EQ(item->ExtensionCount(), std::string(c.error) == "<no exception>" ? 1 : 0) << c.what;
  }
}

TEST(DataProviderModel, AFailedContextSelectionLeavesNoConsumerSelected) {
  TFakeProvider provider(nullptr);
  TXcDataConsumer* consumer = ConstructObject<TXcDataConsumer>(nullptr);
  provider.FailSelectContext = true;
  EXPECT_EQ(ErrorText<EXCLDataProvider>([&] { SelectOnBehalf(&provider, consumer, nullptr); }), "no context");
  EXPECT_EQ(provider.ConsumerSelections(), 0);
  EXPECT_EQ(provider.Unbalanced, 0);

  // A failed release of the context selects the consumer again.
  provider.FailSelectContext = false;
  SelectOnBehalf(&provider, consumer, nullptr);
  provider.FailReleaseContext = true;
  EXPECT_EQ(ErrorText<EXCLDataProvider>([&] { ReleaseOnBehalf(&provider); }), "no context");
  EXPECT_EQ(provider.ConsumerSelections(), 1);
  EXPECT_EQ(provider.SelectedConsumer().Get(), static_cast<IXcDataConsumer*>(consumer));
  provider.FailReleaseContext = false;
  ReleaseOnBehalf(&provider);
  EXPECT_EQ(provider.ConsumerSelections() + provider.ContextSelections(), 0);
  consumer->Free();
}

// A consumer extension that decides visibility for the test.
class TConsumerVisibility : public TXcDataConsumerAggregatedObject, public IXcDataConsumerVisibility {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TConsumerVisibility(TExtensibleInterfacedPersistent* owner) : TXcDataConsumerAggregatedObject(owner) {}
  bool GetInterface(const TGUID& iid, void** obj) override {
    return OfferInterface<IXcDataConsumerVisibility>(this, iid, obj) ||
           TXcDataConsumerAggregatedObject::GetInterface(iid, obj);
  }
  TXcDataVisibility ItemVisibility(IXcDataItem*) override { return State; }
  TXcDataVisibility State = dvShown;
};
const TClassRecord TConsumerVisibility::ClassInfo{"TConsumerVisibility", &TXcDataConsumerAggregatedObject::ClassInfo,
                                                  nullptr, nullptr, 0};

TEST(DataProviderModel, VisibilityTakesTheConsumersAnswerThenTheItemsWhenUndecided) {
  constexpr int kNone = -1;  // no such interface
  struct Case {
    int consumer, item;
    TXcDataVisibility expected;
  } cases[] = {
      {kNone, kNone, dvNotApplicable},        {kNone, dvHidden, dvHidden},
      {dvShown, dvHidden, dvShown},           {dvHidden, dvShown, dvHidden},
      {dvUndecided, dvHidden, dvHidden},      {dvNotApplicable, dvHidden, dvHidden},
      {dvUndecided, kNone, dvUndecided},      {dvNotApplicable, dvUndecided, dvUndecided},
  };
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* item = provider.AddItem(provider.Root(), "A");
  TXcDataConsumer* consumer = ConstructObject<TXcDataConsumer>(nullptr);
  for (const Case& c : cases) {
    int32_t i = consumer->IndexOfExtension(&TConsumerVisibility::ClassInfo);
    if (i >= 0) consumer->DetachExtension(consumer->Extensions(i));
    if (c.consumer != kNone) CreateExtension<TConsumerVisibility>(consumer)->State = static_cast<TXcDataVisibility>(c.consumer);
    i = item->IndexOfExtension(&TTestItemVisibility::ClassInfo);
    if (i >= 0) item->DetachExtension(item->Extensions(i));
    if (c.item != kNone) SetItemVisibility(item, static_cast<TXcDataVisibility>(c.item));
    provider.SelectConsumer(consumer);
    EXPECT_EQ(XcItemVisibility(item), c.expected) << c.consumer << " " << c.item;
    provider.ReleaseConsumer();
  }
  // No consumer selected: the item's own answer; no item: not applicable.
  SetItemVisibility(item, dvHidden);
  EXPECT_EQ(XcItemVisibility(item), dvHidden);
  EXPECT_EQ(XcItemVisibility(nullptr), dvNotApplicable);
  consumer->Free();
}

}  // namespace
