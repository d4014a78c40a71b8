// Data items and item lists: identifiers, look-ups by path and index path, counting, editing with
// its announcements, the item and list extensions, drawing, and streaming the tree.
#include "controls/xc_data_items.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "controls/xc_data_item_extensions.h"
#include "controls/xc_data_list_extensions.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "tests/controls/xc_data_fake_provider.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ErrorText;

// An item that refuses to be deleted.
class TFixedItem : public TXcBaseDataItem {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcBaseDataItem::TXcBaseDataItem;
  bool IsDeletable() override { return false; }
};
const TClassRecord TFixedItem::ClassInfo{"TFixedItem", &TXcBaseDataItem::ClassInfo, CreateItemFor<TFixedItem>, nullptr, 0};

// A dynamic list: its items count, and it holds them counted itself.
class TDynamicList : public TXcBaseDataItems {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcBaseDataItems::TXcBaseDataItems;
  void InternalAdd(IXcDataItem* item) override { items_.emplace_back(item); }
  int32_t GetCount() override { return static_cast<int32_t>(items_.size()); }
  IXcDataItem* GetItem(int32_t index) override { return items_.at(static_cast<size_t>(index)).Get(); }
  void ClearItems() { items_.clear(); }

 private:
  std::vector<TIntfPtr<IXcDataItem>> items_;
};
const TClassRecord TDynamicList::ClassInfo{"TDynamicList", &TXcBaseDataItems::ClassInfo, nullptr, nullptr, 0};

// A list that takes no item.
class TRefusingList : public TXcDataItemsList {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  using TXcDataItemsList::TXcDataItemsList;
  void InternalAdd(IXcDataItem*) override { throw EXCLDataItems("full"); }
};
const TClassRecord TRefusingList::ClassInfo{"TRefusingList", &TXcDataItemsList::ClassInfo, nullptr, nullptr, 0};

// The provider's tree for the path cases: A (with B under it) and C.
struct TPathTree {
  TFakeProvider provider{nullptr};
  TXcBaseDataItem* a = provider.AddItem(provider.Root(), "A");
  TXcDataItemsList* aList = provider.SubList(a);
  TXcBaseDataItem* b = provider.AddItem(aList, "B");
  TXcBaseDataItem* c = provider.AddItem(provider.Root(), "C");
};

TEST(DataItems, NewIdentifiersAreTheGuidsBytesInHexAndUnique) {
  TFakeProvider provider(nullptr);
  std::set<std::string> ids;
  for (int i = 0; i < 500; ++i) {
    TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(provider.Root());
    const std::string id = item->ID();
    ASSERT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
    // In memory order the version is the high nibble of byte 7, the variant the top of byte 8.
    EXPECT_EQ(id[14], '4') << id;
    EXPECT_NE(std::string("89AB").find(id[16]), std::string::npos) << id;
    ids.insert(id);
    Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(provider.Root()))->Add(item.Get());
  }
  EXPECT_EQ(ids.size(), 500u);
  TXcBaseDataItem* item = provider.Root()->ItemObject(0);
  item->SetID("any text \\ at all");
  EXPECT_EQ(item->ID(), "any text \\ at all");
}

TEST(DataItems, PathsFollowSegmentsAndPassOverThoseThatMatchNothing) {
  TPathTree t;
  IXcDataItems* root = t.provider.Root();
  IXcDataItems* sub = t.aList;
  struct Case {
    IXcDataItems* from;
    const char* path;
    TXcBaseDataItem* expected;
  } cases[] = {
      {root, "a/b", t.b},    {root, "X\\C", t.c},   {root, "A", t.a},     {root, "A\\", t.a},
      {root, "A\\B\\", t.b}, {sub, "..\\C", t.c},   {sub, "\\C", t.c},    {sub, "/a/B", t.b},
      {sub, "B", t.b},       {root, "", nullptr},   {root, "..", nullptr}, {root, "Z", nullptr},
      {root, "C/B", nullptr}, {root, "A/Z", nullptr}, {root, "\\C", t.c},  {sub, "..\\..\\C", nullptr},
  };
  for (const Case& c : cases) {
    TIntfPtr<IXcDataItem> found = c.from->ItemByPath(c.path);
    EXPECT_EQ(found ? found->Implementor() : nullptr, c.expected) << c.path;
  }
  // Finding by identifier reads it as a path too, here and below.
  TXcDataItemsList* lookup = t.provider.Root();
  EXPECT_EQ(lookup->FindByID("b", false), nullptr);
  EXPECT_EQ(lookup->FindByID("b", true)->Implementor(), t.b);
  EXPECT_EQ(lookup->FindByID("A\\B", false)->Implementor(), t.b);
}

TEST(DataItems, IndexPathsGoDownSubListsAndStopWithoutOne) {
  TPathTree t;
  IXcDataItems* root = t.provider.Root();
  EXPECT_EQ(root->ItemByIndexPath({0, 0})->Implementor(), t.b) << "B has no sub-list of its own";
  EXPECT_EQ(root->ItemByIndexPath({1})->Implementor(), t.c);
  EXPECT_EQ(root->ItemByIndexPath({1, 0}), nullptr) << "C has no sub-list";
  EXPECT_EQ(root->ItemByIndexPath({}), nullptr);
  EXPECT_EQ(ErrorText<EListError>([&] { root->ItemByIndexPath({2}); }), "List index out of bounds (2)");
}

TEST(DataItems, ParentageIndexAndNamePath) {
  TPathTree t;
  EXPECT_TRUE(t.a->IsParentOf(t.b, true));
  EXPECT_FALSE(t.c->IsParentOf(t.b, false));
  TXcBaseDataItem* d = t.provider.AddItem(t.provider.SubList(t.b), "D");
  EXPECT_FALSE(t.a->IsParentOf(d, true));
  EXPECT_TRUE(t.a->IsParentOf(d, false));
  EXPECT_EQ(t.c->Index(), 1);
  EXPECT_EQ(d->Index(), 0);
  EXPECT_EQ(t.b->NamePath(), ": Item[B]") << "the provider component has no name";
  t.provider.SetName("Provider1");
  EXPECT_EQ(t.b->NamePath(), "Provider1: Item[B]");
  TIntfPtr<TXcBaseDataItem> loose = CreateObject<TXcBaseDataItem>(nullptr);
  loose->SetID("L");
  EXPECT_EQ(loose->NamePath(), "Unknown: Item[L]");
  EXPECT_EQ(loose->Index(), -1);
}

TEST(DataItems, CountingFollowsTheListAndSelectsTheBaseViewOnlyWithAProvider) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* owned = provider.AddItem(provider.Root(), "A");
  EXPECT_EQ(owned->_AddRef(), -1);
  EXPECT_EQ(owned->_Release(), -1);
  EXPECT_EQ(provider.ContextSelections(), 0);
  EXPECT_EQ(provider.Unbalanced, 0);

  // A list of no provider, and no list at all: counting has no provider to select on.
  TIntfPtr<TXcDataItemsList> bare = CreateObject<TXcDataItemsList>();
  TIntfPtr<TXcBaseDataItem> inBare = CreateObject<TXcBaseDataItem>(bare.Get());
  bare->InternalAdd(inBare.Get());  // the list's own: it frees the item
  EXPECT_EQ(inBare->_AddRef(), -1);
  inBare->_Release();
  TIntfPtr<TXcBaseDataItem> loose = CreateObject<TXcBaseDataItem>(nullptr);
  EXPECT_EQ(loose->_AddRef(), 2);
  loose->_Release();

  // The items of a dynamic list count, and hold their list.
  TIntfPtr<TDynamicList> dynamic = CreateObject<TDynamicList>(static_cast<IXcDataProvider*>(&provider));
  {
    TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(dynamic.Get());
    dynamic->InternalAdd(item.Get());
    EXPECT_EQ(item->RefCount(), 2);
    EXPECT_EQ(dynamic->RefCount(), 2);
  }
  EXPECT_EQ(provider.ContextSelections(), 0);
  dynamic->ClearItems();
  EXPECT_EQ(dynamic->RefCount(), 1);
}

TEST(DataItems, EditingAnnouncesEachStepBeforeAndAfter) {
  TFakeProvider provider(nullptr);
  TXcDataItemsList* root = provider.Root();
  IXcDataItems* list = root;
  TIntfPtr<IXcDataItemsEditing> editing = Supports<IXcDataItemsEditing>(list);
  ASSERT_TRUE(editing);

  // The list's items are the list's: nothing here holds one past its deletion.
  IXcDataItem* asItem = ConstructObject<TXcBaseDataItem>(root);
  IInterface* firstIdentity = Identity(asItem);
  EXPECT_EQ(editing->Add(asItem).Get(), asItem);
  EXPECT_EQ(provider.Announcements,
            (std::vector<TAnnouncement>{{false, dcItemAdded, Identity(list)}, {true, dcItemAdded, firstIdentity}}));

  provider.Announcements.clear();
  TIntfPtr<IXcDataItem> second = editing->Add(CreateObject<TXcBaseDataItem>(root).Get());
  IInterface* secondIdentity = Identity(second.Get());
  editing->Delete(0);
  EXPECT_EQ(root->GetCount(), 1);
  editing->Remove(second);
  EXPECT_EQ(second, nullptr) << "the caller's reference is emptied";
  EXPECT_EQ(root->GetCount(), 0);
  EXPECT_EQ(provider.Announcements, (std::vector<TAnnouncement>{{false, dcItemAdded, Identity(list)},
                                                                {true, dcItemAdded, secondIdentity},
                                                                {false, dcItemDeleted, firstIdentity},
                                                                {true, dcItemDeleted, nullptr},
                                                                {false, dcItemDeleted, secondIdentity},
                                                                {true, dcItemDeleted, nullptr}}));

  provider.AddItem(root, "X");
  provider.Announcements.clear();
  editing->Clear();
  EXPECT_EQ(root->GetCount(), 0);
  EXPECT_EQ(provider.Announcements, (std::vector<TAnnouncement>{{false, dcListChanged, Identity(list)},
                                                                {true, dcListChanged, Identity(list)}}));
  EXPECT_EQ(ErrorText<EAbstractError>([&] { editing->New(); }), "Abstract Error");
}

TEST(DataItems, RefusedEditsAnnounceNothingAndChangeNothing) {
  TFakeProvider provider(nullptr);
  TXcDataItemsList* root = provider.Root();
  TIntfPtr<IXcDataItemsEditing> editing = Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(root));
  TIntfPtr<TFixedItem> fixed = CreateObject<TFixedItem>(root);
  editing->Add(fixed.Get());
  TXcBaseDataItem* other = provider.AddItem(provider.SubList(fixed.Get()), "other list");
  provider.Announcements.clear();

  TIntfPtr<IXcDataItem> ref(fixed.Get());
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { editing->Delete(0); }), "Item cannot be deleted");
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { editing->Remove(ref); }), "Item cannot be deleted");
  EXPECT_TRUE(ref);
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { editing->Add(other); }), "Item belongs to another list");
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { editing->Add(fixed.Get()); }), "Item is already in the list");
  EXPECT_EQ(ErrorText<EListError>([&] { editing->Delete(1); }), "List index out of bounds (1)");
  EXPECT_TRUE(provider.Announcements.empty());
  EXPECT_EQ(root->GetCount(), 1);
}

TEST(DataItems, SettersAnnounceOnlyAChangedValue) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* item = provider.AddItem(provider.Root(), "A", "text");
  auto* image = CreateExtension<TXcDataItemImageImpl>(item);
  auto* blockable = CreateExtension<TXcDataItemBlockableTextImpl>(
      provider.AddItem(provider.Root(), "B"));  // a second item: one text per item
  TIntfPtr<IXcDataItemText> text = Supports<IXcDataItemText>(static_cast<IXcDataItem*>(item));
  struct Case {
    const char* what;
    std::function<void()> set;
    bool announces;
  } cases[] = {
      {"same text", [&] { text->SetText("text"); }, false},
      {"new text", [&] { text->SetText("new"); }, true},
      {"same alignment", [&] { image->SetAlignment(taLeftJustify); }, false},
      {"new alignment", [&] { image->SetAlignment(taCenter); }, true},
      {"same image index", [&] { image->SetImageIndex(0); }, false},
      {"new image index", [&] { image->SetImageIndex(3); }, true},
      {"new selected index", [&] { image->SetSelectedIndex(-1); }, true},
      {"same read-only", [&] { blockable->SetReadOnly(false); }, false},
  };
  for (const Case& c : cases) {
    provider.Announcements.clear();
    c.set();
    EXPECT_EQ(provider.Announcements.size(), c.announces ? 2u : 0u) << c.what;
    if (c.announces) {
      EXPECT_EQ(provider.Announcements[0], (TAnnouncement{false, dcItemChanged, Identity(static_cast<IXcDataItem*>(item))}));
      EXPECT_EQ(provider.Announcements[1].Reason, dcItemChanged) << c.what;
    }
  }
  EXPECT_EQ(text->Text(), "new");
  EXPECT_TRUE(text->Editable());
  blockable->SetReadOnly(true);
  EXPECT_FALSE(blockable->Editable());
  EXPECT_EQ(image->SelectedIndex(), -1);
}

TEST(DataItems, ContextTextsFallBackToTheAncestorsAndToTheDefault) {
  TFakeProvider provider(nullptr);
  TXcDataContexts* top = provider.Contexts();
  TIntfPtr<TXcDataContext> parent = CreateObject<TXcDataContext>(top, "Parent");
  top->AddContext(parent.Get());
  TIntfPtr<TXcDataContexts> below = CreateObject<TXcDataContexts>(static_cast<IXcDataProvider*>(&provider), parent.Get());
  TIntfPtr<TXcDataContext> child = CreateObject<TXcDataContext>(below.Get(), "Child");
  below->AddContext(child.Get());

  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(provider.Root());
  Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(provider.Root()))->Add(item.Get());
  auto* text = CreateExtension<TXcDataItemContextTextImpl>(item.Get());
  text->SetText("default");
  EXPECT_TRUE(item->AllTextsDefault());

  provider.SelectContext(parent.Get());
  text->SetText("parent's");
  provider.ReleaseContext();
  EXPECT_EQ(text->Text(), "default");
  provider.SelectContext(child.Get());
  EXPECT_EQ(text->Text(), "parent's") << "the child context inherits its ancestor's text";
  EXPECT_TRUE(text->IsDefault());
  provider.Announcements.clear();
  text->SetText("parent's");
  EXPECT_TRUE(provider.Announcements.empty()) << "the text it shows already";
  text->SetText("child's");
  EXPECT_EQ(provider.Announcements.size(), 2u);
  EXPECT_EQ(text->Text(), "child's");
  EXPECT_FALSE(item->AllTextsDefault());
  text->RevertToDefault();
  EXPECT_EQ(text->Text(), "parent's");
  provider.ReleaseContext();

  // A context that goes takes its texts with it; reverting everything leaves the default.
  item->ContextDestroyed(parent.Get());
  provider.SelectContext(child.Get());
  EXPECT_EQ(text->Text(), "default");
  text->SetText("again");
  item->RevertAllContextTexts();
  EXPECT_EQ(text->Text(), "default");
  provider.ReleaseContext();
  EXPECT_EQ(provider.Unbalanced, 0);
}

TEST(DataItems, ImageListsAreFollowedAndAnnouncedAsListChanges) {
  TFakeProvider provider(nullptr);
  auto* images = CreateExtension<TXcCustomDataItemsImages>(provider.Root());
  auto imageList = std::make_unique<TImageList>(nullptr);
  images->SetImages(imageList.get());
  images->SetImages(imageList.get());
  IInterface* list = Identity(static_cast<IXcDataItems*>(provider.Root()));
  EXPECT_EQ(provider.Announcements,
            (std::vector<TAnnouncement>{{false, dcListChanged, list}, {true, dcListChanged, list}}));
  EXPECT_EQ(Supports<IXcDataItemsImageLists>(static_cast<IXcDataItems*>(provider.Root()))->Images(), imageList.get());
  imageList.reset();
  EXPECT_EQ(images->Images(), nullptr) << "a freed image list reads as none";
  EXPECT_EQ(images->HotImages(), nullptr);
}

TEST(DataItems, TheTextRendererDrawsAtTheTopLeftClippedAndMeasures) {
  TFakeProvider provider(nullptr);
  TXcDataItemsList* root = provider.Root();
  provider.AddItem(root, "A", "WWWWWWWWWWWWWWWWWWWW");
  TIntfPtr<TXcBaseDataItem> bare = CreateObject<TXcBaseDataItem>(root);
  Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(root))->Add(bare.Get());
  CreateExtension<TXcCustomDataItemsTextRenderer>(root);
  TIntfPtr<IXcDataItemsPainter> painter = Supports<IXcDataItemsPainter>(static_cast<IXcDataItems*>(root));

  TBitmap b(120, 40);
  TCanvas* canvas = b.Canvas();
  canvas->Brush()->SetColor(clWhite);
  canvas->FillRect(TRect{0, 0, 120, 40});
  canvas->Font()->SetColor(clBlack);
  EXPECT_EQ(painter->MeasureByIndex(-1, canvas), canvas->TextExtent("WyWyWyWyWyWyWyWyWyWy"));
  EXPECT_EQ(painter->MeasureByIndex(0, canvas), canvas->TextExtent("WWWWWWWWWWWWWWWWWWWW"));
  EXPECT_EQ(painter->MeasureByIndex(1, canvas), canvas->TextExtent("(item does not support the IXcDataItemText interface)"));

  canvas->Brush()->SetColor(clYellow);
  const TRect cell{10, 10, 60, 30};
  painter->DrawByIndex(0, canvas, cell, 0);
  int inkInside = 0, inkOutside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool inside = x >= cell.Left && x < cell.Right && y >= cell.Top && y < cell.Bottom;
      const TColor c = canvas->Pixels(x, y);
      if (inside && c != clYellow) ++inkInside;
      if (!inside && c != clWhite) ++inkOutside;
    }
  EXPECT_GT(inkInside, 20) << "the text is drawn in the cell";
  EXPECT_EQ(inkOutside, 0) << "and clipped to it";
  EXPECT_NE(canvas->Pixels(11, 10 + canvas->TextHeight("W") / 2), clYellow) << "from its top-left corner";

  for (int32_t index : {-2, 2})
    EXPECT_EQ(ErrorText<EXCLDataItems>([&] { painter->DrawByIndex(index, canvas, cell, 0); }),
              Format("List index out of bounds (%d)", index));
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { painter->MeasureByIndex(2, canvas); }), "List index out of bounds (2)");
}

// The identifiers, texts and nesting of a list, one line per item.
std::string Describe(IXcDataItems* list, const std::string& indent = "") {
  std::string out;
  for (int32_t i = 0; i < list->Count(); ++i) {
    TIntfPtr<IXcDataItem> item = list->Items(i);
    out += indent + item->ID();
    if (auto text = Supports<IXcDataItemText>(item)) out += " '" + text->Text() + "'";
    if (auto glyph = Supports<IXcDataItemGlyph>(item))
      out += Format(" glyph %d/%d/%d", glyph->Alignment(), glyph->ImageIndex(), glyph->SelectedIndex());
    out += "\n";
    if (auto sub = SubItemsOf(item.Get())) out += Describe(sub.Get(), indent + "  ");
  }
  return out;
}

TEST(DataItems, AThreeLevelTreeStreamsOutAndBackEqual) {
  TFakeProvider provider(nullptr);
  TXcDataItemsList* root = provider.Root();
  for (int i = 0; i < 3; ++i) {
    TXcBaseDataItem* top = provider.AddItem(root, Format("T%d", i), Format("top %d", i));
    CreateExtension<TXcDataItemImageImpl>(top)->SetImageIndex(i);
    for (int j = 0; j < 2; ++j) {
      TXcBaseDataItem* mid = provider.AddItem(provider.SubList(top), Format("T%d.%d", i, j));
      if (j == 1) CreateExtension<TXcDataItemImageImpl>(mid)->SetAlignment(taRightJustify);
      TIntfPtr<TXcBaseDataItem> leaf = CreateObject<TXcBaseDataItem>(provider.SubList(mid));
      CreateExtension<TXcDataItemBlockableTextImpl>(leaf.Get())->SetText("leaf");
      Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(provider.SubList(mid)))->Add(leaf.Get());
    }
  }
  CreateExtension<TXcCustomDataItemsTextRenderer>(root);
  const std::vector<uint8_t> bytes = WriteObject(root);

  TFakeProvider copy(nullptr);
  ReadObject(copy.Root(), bytes);
  EXPECT_EQ(Describe(copy.Root()), Describe(root));
  EXPECT_TRUE(Supports<IXcDataItemsPainter>(static_cast<IXcDataItems*>(copy.Root())));
  EXPECT_EQ(WriteObject(copy.Root()), bytes);
  // The sub-lists' items know their lists, and through them the provider.
  TIntfPtr<IXcDataItem> leaf = copy.Root()->ItemByIndexPath({2, 1, 0});
  EXPECT_EQ(ProviderOf(leaf.Get()).Get(), static_cast<IXcDataProvider*>(&copy));
  EXPECT_TRUE(copy.Root()->ItemObject(2)->IsParentOf(leaf.Get(), false));
}

TEST(DataItems, StreamedItemsAreCheckedAndASubListOfAnotherClassIsReplaced) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* a = provider.AddItem(provider.Root(), "A");
  provider.AddItem(provider.SubList(a), "B");
  const std::vector<uint8_t> good = WriteObject(provider.Root());

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* error;
  } cases[] = {
      {"Items not a collection", {5, 'I', 't', 'e', 'm', 's', vaString, 0, 0, 0, 0, vaNull}, "Expected collection"},
      {"an item without ClassName", {5, 'I', 't', 'e', 'm', 's', vaCollection, vaList, 2, 'I', 'D', vaString, 0, 0, 0, 0,
                                     vaNull, vaNull, vaNull},
       "Missing ClassName property"},
      {"an extension as an item", {5, 'I', 't', 'e', 'm', 's', vaCollection, vaList, 9, 'C', 'l', 'a', 's', 's', 'N', 'a',
                                   'm', 'e', vaString, 19, 0, 0, 0, 'T', 'X', 'c', 'D', 'a', 't', 'a', 'I', 't', 'e', 'm',
                                   'T', 'e', 'x', 't', 'I', 'm', 'p', 'l', vaNull, vaNull, vaNull},
       "Invalid class type"},
  };
  for (const Case& c : cases) {
    TFakeProvider target(nullptr);
    EXPECT_EQ(ErrorText<EReadError>([&] { ReadObject(target.Root(), c.bytes); }), c.error) << c.what;
    EXPECT_EQ(target.Root()->GetCount(), 0) << c.what;
  }

  // An item the list does not take is freed, and the failure passes on (the sanitizer build sees
  // no leak), for an item that counts as for one that does not.
  TIntfPtr<TXcDataItemsList> plain = CreateObject<TXcDataItemsList>();
  plain->InternalAdd(CreateObject<TXcBaseDataItem>(plain.Get()).Get());
  const std::vector<uint8_t> oneItem = WriteObject(plain.Get());
  TIntfPtr<TRefusingList> refusing = CreateObject<TRefusingList>();
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { ReadObject(refusing.Get(), oneItem); }), "full");
  struct TRefusingDynamic : TDynamicList {
    using TDynamicList::TDynamicList;
    void InternalAdd(IXcDataItem*) override { throw EXCLDataItems("full"); }
  };
  TIntfPtr<TRefusingDynamic> refusingDynamic = CreateObject<TRefusingDynamic>();
  EXPECT_EQ(ErrorText<EXCLDataItems>([&] { ReadObject(refusingDynamic.Get(), oneItem); }), "full");
  EXPECT_EQ(refusingDynamic->RefCount(), 1);
  // An item list's extension streamed onto a list it does not fit is an invalid class there.
  TIntfPtr<TDynamicList> dynamic = CreateObject<TDynamicList>();
  EXPECT_EQ(ErrorText<EReadError>([&] { ReadObject(dynamic.Get(), good); }), "Invalid class type");

  // Reading into an item whose sub-list is of another class puts a list of the streamed class
  // in its place.
  TFakeProvider target(nullptr);
  TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(target.Root());
  TIntfPtr<TDynamicList> other = CreateObject<TDynamicList>(static_cast<IXcDataItem*>(item.Get()));
  Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(target.Root()))->Add(item.Get());
  TIntfPtr<TXcBaseDataItem> source = CreateObject<TXcBaseDataItem>(nullptr);
  ReadObject(source.Get(), WriteObject(a));
  ReadObject(item.Get(), WriteObject(source.Get()));
  ASSERT_NE(item->SubItemsExtension(), nullptr);
  EXPECT_EQ(item->SubItemsExtension()->List()->ClassType(), &TXcDataItemsList::ClassInfo);
  EXPECT_EQ(other->ParentRef(), nullptr) << "the replaced list no longer names the item";
  EXPECT_EQ(SubItemsOf(item.Get())->Items(0)->ID(), "B");
  EXPECT_EQ(good.size(), WriteObject(provider.Root()).size());
}

TEST(DataItems, AnItemsSubListGoesWithItAndOutlivesItOnlyWithoutIt) {
  TFakeProvider provider(nullptr);
  TXcBaseDataItem* a = provider.AddItem(provider.Root(), "A");
  TIntfPtr<TXcDataItemsList> sub(provider.SubList(a));
  provider.AddItem(sub.Get(), "B");
  EXPECT_EQ(sub->ParentItem()->Implementor(), a);
  Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(provider.Root()))->Delete(0);
  EXPECT_EQ(sub->ParentItem(), nullptr) << "held here, the list is orphaned, not left naming a freed item";
  EXPECT_EQ(sub->ItemByPath("\\A"), nullptr);
  EXPECT_EQ(sub->ItemObject(0)->IDRef(), "B");
}

}  // namespace
