// The consumer's tree view: its entries after rebuilds, toggles and the provider's additions and
// deletions, its positional queries, and its rows against QTreeView's over an equal
// QStandardItemModel for random trees, visibilities and expansions.
#include "controls/xc_data_view_list.h"

#include <gtest/gtest.h>

#include <QtGui/QStandardItemModel>
#include <QtWidgets/QTreeView>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "controls/xc_data_list_extensions.h"
#include "tests/controls/xc_data_fake_provider.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ErrorText;

// A provider, and a consumer with the tree view, on a tree built from "name:parent" lines.
struct TTreeFixture {
  TFakeProvider provider{nullptr};
  TComponent owner{nullptr};
  TXcDataConsumer* consumer = ConstructObject<TXcDataConsumer>(&owner, std::vector<int32_t>{TXcDataConsumer::kTreeViewAttribute});
  std::map<std::string, TXcBaseDataItem*> items;

  ~TTreeFixture() {
    consumer->OnChanged = nullptr;  // the tests' handlers are gone by now
    consumer->SetProvider(nullptr);
    consumer->Free();
  }
  TXcBaseDataItem* Add(const std::string& id, const std::string& parent = "") {
    TXcDataItemsList* list = parent.empty() ? provider.Root() : provider.SubList(items.at(parent));
    return items[id] = provider.AddItem(list, id);
  }
  void Bind() { consumer->SetProvider(&provider); }
  TXcDataConsumerViewList* View() {
    const int32_t i = consumer->IndexOfExtension(&TXcDataConsumerViewList::ClassInfo);
    return i >= 0 ? static_cast<TXcDataConsumerViewList*>(consumer->Extensions(i)) : nullptr;
  }
  // The entries as "id/level/flags" with the flags as letters: x expanded, s sub-list, c children.
  std::string Entries() {
    std::string out;
    for (const TViewListItem& e : View()->Items()) {
      out += (out.empty() ? "" : " ") + e.ID + "/" + std::to_string(e.Flags & vlLevelMask);
      if (e.Flags & (vlExpanded | vlHasSubList | vlHasChildren)) out += "/";
      if (e.Flags & vlExpanded) out += "x";
      if (e.Flags & vlHasSubList) out += "s";
      if (e.Flags & vlHasChildren) out += "c";
    }
    return out;
  }
  IXcDataItemsEditing* Editing(const std::string& parent) {
    IXcDataItems* list = parent.empty() ? static_cast<IXcDataItems*>(provider.Root()) : provider.SubList(items.at(parent));
    editing_ = Supports<IXcDataItemsEditing>(list);
    return editing_.Get();
  }

 private:
  TIntfPtr<IXcDataItemsEditing> editing_;
};

// A: A1 (A1a), A2; B (an empty sub-list); C.
void BuildSmall(TTreeFixture& f) {
  f.Add("A");
  f.Add("A1", "A");
  f.Add("A1a", "A1");
  f.Add("A2", "A");
  f.Add("B");
  f.provider.SubList(f.items["B"]);
  f.Add("C");
}

TEST(DataViewList, RebuildsShowTheRootsAndTheLevelsTheDepthAsks) {
  TTreeFixture f;
  BuildSmall(f);
  f.Bind();
  ASSERT_NE(f.View(), nullptr) << "attribute 3 gives the consumer its tree view";
  EXPECT_EQ(f.Entries(), "A/0/sc B/0/s C/0");
  f.View()->SetAutoExpandDepth(1);
  f.View()->Rebuild();
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/sc A2/1 B/0/s C/0");
  f.View()->SetAutoExpandDepth(5);
  f.View()->Rebuild();
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A2/1 B/0/s C/0");
  EXPECT_EQ(f.View()->Count(), 6);
}

TEST(DataViewList, HiddenItemsAreSkippedWithTheirDescendants) {
  TTreeFixture f;
  BuildSmall(f);
  SetItemVisibility(f.items["A1"], dvHidden);
  SetItemVisibility(f.items["C"], dvUndecided);
  f.Bind();
  f.View()->SetAutoExpandDepth(5);
  f.View()->Rebuild();
  EXPECT_EQ(f.Entries(), "A/0/xsc A2/1 B/0/s C/0");
  // Expanding the tree to a hidden item does nothing.
  f.View()->ExpandTreeTo(f.items["A1a"]);
  EXPECT_EQ(f.View()->Count(), 4);
}

TEST(DataViewList, TogglesOpenAndCloseEntriesWithChildrenOnly) {
  TTreeFixture f;
  BuildSmall(f);
  f.Bind();
  int viewChanges = 0;
  f.consumer->OnChanged = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) { viewChanges += r == ccViewChanged; };
  f.View()->Toggle(1);  // B: an empty sub-list
  EXPECT_EQ(f.Entries(), "A/0/sc B/0/s C/0");
  EXPECT_EQ(viewChanges, 0);
  f.View()->Toggle(0);
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/sc A2/1 B/0/s C/0");
  f.View()->Toggle(1);
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A2/1 B/0/s C/0");
  f.View()->Toggle(0);
  EXPECT_EQ(f.Entries(), "A/0/sc B/0/s C/0") << "collapsing takes every shown descendant";
  EXPECT_EQ(viewChanges, 3);
  EXPECT_EQ(ErrorText<EListError>([&] { f.View()->Toggle(3); }), "List index out of bounds (3)");
}

TEST(DataViewList, DeletionsAreFollowedAndTheLastChildTakesTheParentsChildrenBits) {
  TTreeFixture f;
  BuildSmall(f);
  f.Add("B1", "B");
  f.Bind();
  f.View()->SetAutoExpandDepth(5);
  f.View()->Rebuild();
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A2/1 B/0/xsc B1/1 C/0");
  f.Editing("B")->Delete(0);
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A2/1 B/0/s C/0") << "the only child went: B keeps its sub-list bit";
  f.Editing("A")->Delete(0);
  EXPECT_EQ(f.Entries(), "A/0/xsc A2/1 B/0/s C/0") << "A1 went with what it showed";
  f.Editing("")->Delete(0);
  EXPECT_EQ(f.Entries(), "B/0/s C/0");
}

TEST(DataViewList, AdditionsAreFollowedUnderExpandedAndCollapsedParents) {
  TTreeFixture f;
  BuildSmall(f);
  f.Bind();
  // A root item is appended; under an expanded parent the child goes after its last descendant.
  f.Add("D");
  f.View()->Toggle(0);
  f.View()->Toggle(1);
  f.Add("A1b", "A1");
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A1b/2 A2/1 B/0/s C/0 D/0");
  // Under a collapsed parent nothing shows, but a parent's first child gives it its children bit.
  f.Add("C1", "C");
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A1b/2 A2/1 B/0/s C/0/sc D/0");
  f.Add("C2", "C");
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A1b/2 A2/1 B/0/s C/0/sc D/0");

  // With expand-on-new-item the collapsed parent opens and shows all its children, the new one once.
  f.View()->SetExpandOnNewItem(true);
  f.Add("C3", "C");
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A1b/2 A2/1 B/0/s C/0/xsc C1/1 C2/1 C3/1 D/0");
  // ... and the tree opens down to a parent that is not shown.
  f.View()->Toggle(0);
  f.Add("A1c", "A1");
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A1b/2 A1c/2 A2/1 B/0/s C/0/xsc C1/1 C2/1 C3/1 D/0");
}

TEST(DataViewList, AnItemAddedBehindTheViewsBackIsOutOfSync) {
  TTreeFixture f;
  BuildSmall(f);
  f.Bind();
  f.View()->Toggle(0);
  // Added to A's list without telling the provider: A is shown expanded without it.
  TXcDataItemsList* aList = f.provider.SubList(f.items["A"]);
  TIntfPtr<TXcBaseDataItem> quiet = CreateObject<TXcBaseDataItem>(aList);
  aList->InternalAdd(quiet.Get());
  EXPECT_EQ(ErrorText<EXCLDataConsumer>([&] { f.View()->ExpandTreeTo(quiet.Get()); }), "ViewList out of sync");
  // Expanding to an item whose ancestors are collapsed opens them.
  f.View()->Toggle(0);
  f.View()->ExpandTreeTo(f.items["A1a"]);
  EXPECT_EQ(f.View()->IndexOfItem(f.items["A1a"]), 2);
  EXPECT_EQ(f.provider.ConsumerSelections() + f.provider.ContextSelections() + f.provider.Unbalanced, 0);
}

TEST(DataViewList, ClearingAListTakesItsEntriesAndLeavesTheRestAsItWas) {
  TTreeFixture f;
  BuildSmall(f);
  f.Add("C1", "C");
  f.Bind();
  f.View()->SetAutoExpandDepth(5);
  f.View()->Rebuild();
  const std::string all = "A/0/xsc A1/1/xsc A1a/2 A2/1 B/0/s C/0/xsc C1/1";
  ASSERT_EQ(f.Entries(), all);
  f.View()->Toggle(1);  // A1 closed by the user
  // Replacing a list's images announces the list changed; nothing shown changes.
  auto* images = CreateExtension<TXcCustomDataItemsImages>(f.provider.SubList(f.items["A"]));
  TImageList imageList(nullptr);
  images->SetImages(&imageList);
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/sc A2/1 B/0/s C/0/xsc C1/1") << "the user's collapse stays";
  f.Editing("A1")->Clear();
  EXPECT_EQ(f.Entries(), "A/0/xsc A1/1/s A2/1 B/0/s C/0/xsc C1/1");
  f.Editing("A")->Clear();
  EXPECT_EQ(f.Entries(), "A/0/s B/0/s C/0/xsc C1/1") << "no entry is left naming a freed item";
  f.Editing("")->Clear();
  EXPECT_EQ(f.Entries(), "");
}

TEST(DataViewList, PositionalQueriesFollowTheLevels) {
  TTreeFixture f;
  BuildSmall(f);
  f.Add("A2a", "A2");
  f.Add("A2b", "A2");
  f.Bind();
  f.View()->SetAutoExpandDepth(5);
  f.View()->Rebuild();
  TXcDataConsumerViewList* v = f.View();
  // A0 A1_1 A1a_2 A2_3 A2a_4 A2b_5 B_6 C_7
  ASSERT_EQ(f.Entries(), "A/0/xsc A1/1/xsc A1a/2 A2/1/xsc A2a/2 A2b/2 B/0/s C/0");
  struct Case {
    int32_t index, parent, sibling, childIndex;
  } cases[] = {
      {0, -1, 6, 0}, {1, 0, 3, 0}, {2, 1, -1, 0}, {3, 0, -1, 1}, {4, 3, 5, 0}, {5, 3, -1, 1}, {6, -1, 7, 1}, {7, -1, -1, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(v->ParentIndex(c.index), c.parent) << c.index;
    EXPECT_EQ(v->SiblingIndex(c.index), c.sibling) << c.index;
    EXPECT_EQ(v->ChildIndexOfID(v->Items()[static_cast<size_t>(c.index)].ID), c.childIndex) << c.index;
    EXPECT_EQ(v->ItemAtIndex(c.index)->ID(), v->Items()[static_cast<size_t>(c.index)].ID) << c.index;
  }
  EXPECT_EQ(v->ChildIndex(3, 0), 4);
  EXPECT_EQ(v->ChildIndex(3, 1), 5);
  EXPECT_EQ(v->ChildIndex(3, 2), -1);
  EXPECT_EQ(v->ChildIndex(2, 0), -1) << "A1a has no children shown";
  EXPECT_EQ(v->ChildIndex(-1, 2), 7) << "the roots are the children of no entry";
  EXPECT_EQ(v->ChildItem(f.items["A"], 1)->ID(), "A2");
  EXPECT_EQ(v->ChildIndex(f.items["B"], 0), -1);
  EXPECT_EQ(v->ParentItem(5)->ID(), "A2");
  EXPECT_EQ(v->SiblingItem(0)->ID(), "B");
  EXPECT_EQ(v->ParentItem(0), nullptr);
  EXPECT_EQ(v->IndexOfID("a2B"), 5);
  EXPECT_EQ(v->IndexOfID("nothing"), -1);
  EXPECT_EQ(v->ChildIndexOfID("nothing"), -1);
  EXPECT_EQ(v->ChildIndexOfItem(f.items["C"]), 2);
  EXPECT_EQ(v->Level(5), 2);
  EXPECT_TRUE(v->IsExpanded(3));
  EXPECT_FALSE(v->HasChildren(6));
  EXPECT_EQ(v->ItemAtIndex(8), nullptr);
}

TEST(DataViewList, AnEntrysItemIsFoundByItsIdentifierAsItIsNotAsAPath) {
  TTreeFixture f;
  for (const char* id : {"..", "X\\Y", "a/b", ""}) f.Add(id);
  f.Add("X");
  f.Add("Y", "X");
  f.Bind();
  TXcDataConsumerViewList* v = f.View();
  for (int32_t i = 0; i < v->Count(); ++i) {
    TIntfPtr<IXcDataItem> item = v->ItemAtIndex(i);
    ASSERT_TRUE(item) << i;
    EXPECT_EQ(item->ID(), v->Items()[static_cast<size_t>(i)].ID);
    EXPECT_EQ(item->Implementor(), f.items[v->Items()[static_cast<size_t>(i)].ID]);
  }
}

TEST(DataViewList, GroupInformationHasAWordPerThirtyTwoAncestorLevels) {
  TTreeFixture f;
  std::string parent;
  for (int level = 0; level <= 33; ++level) {
    const std::string id = "L" + std::to_string(level);
    f.Add(id, parent);
    // Levels 0, 5 and 32 have a later sibling.
    if (level == 0 || level == 5 || level == 32) f.Add(id + "next", parent);
    parent = id;
  }
  f.Bind();
  f.View()->SetAutoExpandDepth(40);
  f.View()->Rebuild();
  TXcDataConsumerViewList* v = f.View();
  EXPECT_TRUE(v->GroupInfo(v->IndexOfID("L0")).empty());
  EXPECT_EQ(v->GroupInfo(v->IndexOfID("L1")), std::vector<uint32_t>{1u});
  EXPECT_EQ(v->GroupInfo(v->IndexOfID("L7")), std::vector<uint32_t>{1u | (1u << 5)});
  EXPECT_EQ(v->GroupInfo(v->IndexOfID("L33")), (std::vector<uint32_t>{1u | (1u << 5), 1u}));
  EXPECT_EQ(v->GroupInfo(v->IndexOfID("L0next")).size(), 0u);
}

TEST(DataViewList, LevelIndentIsSixteenAndAnnouncesAChange) {
  TTreeFixture f;
  f.Bind();
  std::vector<int> reasons;
  f.consumer->OnChanged = [&](TXcDataConsumer*, TXcDataConsumerChangeReason r) { reasons.push_back(r); };
  EXPECT_EQ(f.View()->LevelIndent(), 16);
  f.View()->SetLevelIndent(16);
  f.View()->SetLevelIndent(20);
  f.View()->SetAutoExpandDepth(3);
  f.View()->SetExpandOnNewItem(true);
  EXPECT_EQ(reasons, std::vector<int>{ccSettingChanged});
}

// --------------------------------------------------------------------------------- against QTreeView

// The rows QTreeView shows, as "id/depth", walking indexBelow from the first row it shows.
std::vector<std::string> QtRows(QTreeView& view) {
  std::vector<std::string> rows;
  int first = 0;
  while (first < view.model()->rowCount() && view.isRowHidden(first, QModelIndex())) ++first;
  for (QModelIndex i = view.model()->index(first, 0); i.isValid(); i = view.indexBelow(i)) {
    int depth = 0;
    for (QModelIndex p = i.parent(); p.isValid(); p = p.parent()) ++depth;
    rows.push_back(i.data().toString().toStdString() + "/" + std::to_string(depth));
  }
  return rows;
}

std::vector<std::string> OurRows(TXcDataConsumerViewList* view) {
  std::vector<std::string> rows;
  for (const TViewListItem& e : view->Items()) rows.push_back(e.ID + "/" + std::to_string(e.Flags & vlLevelMask));
  return rows;
}

TEST(DataViewList, RowsMatchQTreeViewForRandomTreesVisibilitiesAndExpansions) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    TTreeFixture f;
    QStandardItemModel model;
    QTreeView view;
    view.setModel(&model);
    std::vector<std::string> ids;
    std::map<std::string, QStandardItem*> qt;
    std::set<std::string> hidden;
    const int count = 20 + static_cast<int>(random() % 120);
    for (int n = 0; n < count; ++n) {
      const std::string id = "I" + std::to_string(n);
      // Each item goes under a random earlier one, or at the top.
      const std::string parent = ids.empty() || random() % 4 == 0 ? "" : ids[random() % ids.size()];
      f.Add(id, parent);
      auto* item = new QStandardItem(QString::fromStdString(id));
      (parent.empty() ? model.invisibleRootItem() : qt[parent])->appendRow(item);
      qt[id] = item;
      ids.push_back(id);
      if (random() % 10 == 0) hidden.insert(id);
    }
    for (const std::string& id : hidden) {
      SetItemVisibility(f.items[id], dvHidden);
      QModelIndex index = qt[id]->index();
      view.setRowHidden(index.row(), index.parent(), true);
    }
    f.Bind();

    // A rebuild to a random depth, then random items opened.
    const int depth = static_cast<int>(random() % 4);
    f.View()->SetAutoExpandDepth(depth);
    f.View()->Rebuild();
    if (depth > 0) view.expandToDepth(depth - 1);
    std::set<std::string> open;
    for (const std::string& id : ids)
      if (random() % 3 == 0) open.insert(id);
    for (int32_t i = 0; i < f.View()->Count(); ++i)
      if (open.count(f.View()->Items()[static_cast<size_t>(i)].ID) && !f.View()->IsExpanded(i)) f.View()->Toggle(i);
    for (const std::string& id : open) view.setExpanded(qt[id]->index(), true);
    EXPECT_EQ(OurRows(f.View()), QtRows(view)) << "after opening";

    // Random shown entries closed.
    for (int k = 0; k < 5 && f.View()->Count() > 0; ++k) {
      const int32_t i = static_cast<int32_t>(random() % static_cast<uint32_t>(f.View()->Count()));
      if (!f.View()->IsExpanded(i)) continue;
      view.setExpanded(qt[f.View()->Items()[static_cast<size_t>(i)].ID]->index(), false);
      f.View()->Toggle(i);
    }
    EXPECT_EQ(OurRows(f.View()), QtRows(view)) << "after closing";
  }
}

}  // namespace
