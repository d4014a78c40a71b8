// The data provider framework against Qt's item models, in one process, on a tree of 111,110 items
// (10 children per item, 5 levels) under a provider that counts its announcements:
//  - building the tree through IXcDataItemsEditing, each item with a text extension, against
//    QStandardItemModel::appendRow building the same shape with the same texts;
//  - a consumer's tree view rebuilt fully expanded, then a top-level entry with 11,110 shown
//    descendants collapsed, each followed by a walk of the rows shown, against QTreeView::expandAll
//    and collapse of that row over the same model, each followed by a walk of indexBelow from the
//    first row (which makes the view lay out its rows); both walks count 111,110 then 100,000;
//  - 10,000 recursive finds by identifier against QStandardItemModel::match with
//    Qt::MatchRecursive and case-insensitive fixed strings, on the same texts and the same
//    (lower-cased) targets; both find the item whose text the target names.
#include <benchmark/benchmark.h>

#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_controls_main.h"
#include "controls/controls_startup.h"
#include "controls/xc_data_item_extensions.h"
#include "controls/xc_data_items.h"
#include "controls/xc_data_list_extensions.h"
#include "controls/xc_data_view_list.h"
#include "platform/ui/forms.h"

namespace {

constexpr int kFanOut = 10;
constexpr int kLevels = 5;
constexpr int kItems = 111110;  // 10 + 100 + 1,000 + 10,000 + 100,000
constexpr int kFinds = 10000;

// A provider owned by the benchmark that counts what it is told and keeps the selections.
class TCountingProvider : public TObject, public IXcDataProvider {
 public:
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    *obj = nullptr;
    return OfferInterfaces<IInterface, IXcDataProvider>(this, iid, obj) ? S_OK : E_NOINTERFACE;
  }
  int32_t _AddRef() override { return -1; }
  int32_t _Release() override { return -1; }
  void RegisterListener(IXcDataProviderListener* l) override { listener = l; }
  void UnregisterListener(IXcDataProviderListener*) override { listener = nullptr; }
  TIntfPtr<IXcDataItems> RootItems() override { return root; }
  void Changing(TXcDataChangeReason, IInterface*) override { ++announcements; }
  void Changed(TXcDataChangeReason, IInterface*) override { ++announcements; }
  void ConsumerClasses(std::vector<TPersistentClass>&) override {}
  void SelectConsumer(IXcDataConsumer* c) override { consumers.push_back(c); }
  TIntfPtr<IXcDataConsumer> SelectedConsumer() override { return consumers.empty() ? nullptr : consumers.back(); }
  void ReleaseConsumer() override { consumers.pop_back(); }
  void SelectContext(IXcDataContext* c) override { contexts.push_back(c); }
  TIntfPtr<IXcDataContext> SelectedContext() override { return contexts.empty() ? nullptr : contexts.back(); }
  void ReleaseContext() override { contexts.pop_back(); }

  IXcDataItems* root = nullptr;
  IXcDataProviderListener* listener = nullptr;
  int64_t announcements = 0;
  std::vector<IXcDataConsumer*> consumers;
  std::vector<IXcDataContext*> contexts;
};

std::string Text(int n) { return "Item " + std::to_string(n); }

// Our tree: items added through each list's editing extension, each with its text.
struct TOurTree {
  TCountingProvider provider;
  TIntfPtr<TXcDataItemsList> root;
  int made = 0;
  std::vector<TXcBaseDataItem*> items;  // in the order they were made

  TOurTree() {
    root = CreateObject<TXcDataItemsList>(static_cast<IXcDataProvider*>(&provider));
    provider.root = root.Get();
    Fill(root.Get(), 1);
  }
  ~TOurTree() { provider.root = nullptr; }

  void Fill(TXcDataItemsList* list, int level) {
    CreateExtension<TXcBaseDataItemsListManagement>(list);
    TIntfPtr<IXcDataItemsEditing> editing = Supports<IXcDataItemsEditing>(static_cast<IXcDataItems*>(list));
    for (int i = 0; i < kFanOut; ++i) {
      TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(list);
      CreateExtension<TXcDataItemTextImpl>(item.Get())->SetText(Text(made++));
      editing->Add(item.Get());
      items.push_back(item.Get());
      if (level < kLevels) Fill(ConstructObject<TXcDataItemsList>(static_cast<IXcDataItem*>(item.Get())), level + 1);
    }
  }
};

// Qt's tree of the same shape and texts; with ids, the items' texts are those identifiers.
void FillQt(QStandardItem* parent, int level, int& made, const std::vector<TXcBaseDataItem*>* ids) {
  for (int i = 0; i < kFanOut; ++i) {
    const int n = made++;
    auto* item = new QStandardItem(ids ? QString::fromStdString((*ids)[static_cast<size_t>(n)]->ID())
                                       : QString::fromStdString(Text(n)));
    parent->appendRow(item);
    if (level < kLevels) FillQt(item, level + 1, made, ids);
  }
}

int CountQt(const QStandardItem* item) {
  int n = 0;
  for (int r = 0; r < item->rowCount(); ++r) n += 1 + CountQt(item->child(r));
  return n;
}

// ------------------------------------------------------------------------------------------ building

void BM_BuildTree_Ours(benchmark::State& state) {
  int64_t announcements = 0;
  for (auto _ : state) {
    auto tree = std::make_unique<TOurTree>();
    state.PauseTiming();
    if (tree->made != kItems) state.SkipWithError("the tree is not whole");
    announcements = tree->provider.announcements;
    tree.reset();
    state.ResumeTiming();
  }
  state.counters["announcements"] = static_cast<double>(announcements);
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_BuildTree_Ours)->Unit(benchmark::kMillisecond);

void BM_BuildTree_QtStandardItemModel(benchmark::State& state) {
  for (auto _ : state) {
    auto model = std::make_unique<QStandardItemModel>();
    int made = 0;
    FillQt(model->invisibleRootItem(), 1, made, nullptr);
    state.PauseTiming();
    if (CountQt(model->invisibleRootItem()) != kItems) state.SkipWithError("the tree is not whole");
    model.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_BuildTree_QtStandardItemModel)->Unit(benchmark::kMillisecond);

// ----------------------------------------------------------------------------------------- tree view

void BM_ExpandCollapseWalk_Ours(benchmark::State& state) {
  TOurTree tree;
  TComponent owner(nullptr);
  TXcDataConsumer* consumer = ConstructObject<TXcDataConsumer>(&owner, std::vector<int32_t>{TXcDataConsumer::kTreeViewAttribute});
  consumer->SetProvider(&tree.provider);
  TIntfPtr<IXcDataConsumerTree> view = Supports<IXcDataConsumerTree>(static_cast<IXcDataConsumer*>(consumer));
  view->SetAutoExpandDepth(kLevels);
  auto walk = [&] {
    int64_t rows = 0, levels = 0;
    for (int32_t i = 0, n = view->Count(); i < n; ++i, ++rows) levels += view->Level(i);
    benchmark::DoNotOptimize(levels);
    return rows;
  };
  for (auto _ : state) {
    view->Rebuild();
    const int64_t all = walk();
    view->Toggle(0);
    const int64_t collapsed = walk();
    if (all != kItems || collapsed != kItems - 11110) state.SkipWithError("the rows are not the ones expected");
  }
  view.Reset();
  consumer->SetProvider(nullptr);
  consumer->Free();
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_ExpandCollapseWalk_Ours)->Unit(benchmark::kMillisecond);

void BM_ExpandCollapseWalk_QTreeView(benchmark::State& state) {
  QStandardItemModel model;
  int made = 0;
  FillQt(model.invisibleRootItem(), 1, made, nullptr);
  QTreeView view;
  view.setModel(&model);
  view.resize(400, 600);
  auto walk = [&] {
    int64_t rows = 0;
    for (QModelIndex i = model.index(0, 0); i.isValid(); i = view.indexBelow(i)) ++rows;
    return rows;
  };
  for (auto _ : state) {
    view.expandAll();
    const int64_t all = walk();
    view.collapse(model.index(0, 0));
    const int64_t collapsed = walk();
    if (all != kItems || collapsed != kItems - 11110) state.SkipWithError("the rows are not the ones expected");
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_ExpandCollapseWalk_QTreeView)->Unit(benchmark::kMillisecond);

// --------------------------------------------------------------------------------------------- finds

// The same targets for both: random items, named in lower case.
std::vector<int> Targets() {
  std::mt19937 random(33);
  std::vector<int> t(kFinds);
  for (int& n : t) n = static_cast<int>(random() % kItems);
  return t;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return s;
}

TOurTree* SharedTree() {
  static TOurTree* tree = new TOurTree;
  return tree;
}

void BM_FindRecursive_Ours(benchmark::State& state) {
  TOurTree* tree = SharedTree();
  std::vector<std::string> targets;
  for (int n : Targets()) targets.push_back(Lower(tree->items[static_cast<size_t>(n)]->ID()));
  const std::vector<int> expected = Targets();
  for (auto _ : state) {
    for (size_t k = 0; k < targets.size(); ++k) {
      TIntfPtr<IXcDataItem> found = tree->root->FindByID(targets[k], true);
      if (!found || found->Implementor() != tree->items[static_cast<size_t>(expected[k])]) {
        state.SkipWithError("a find missed");
        break;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kFinds);
}
BENCHMARK(BM_FindRecursive_Ours)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FindRecursive_QtMatch(benchmark::State& state) {
  TOurTree* tree = SharedTree();
  QStandardItemModel model;
  int made = 0;
  FillQt(model.invisibleRootItem(), 1, made, &tree->items);
  std::vector<QString> targets;
  for (int n : Targets()) targets.push_back(QString::fromStdString(Lower(tree->items[static_cast<size_t>(n)]->ID())));
  const QModelIndex start = model.index(0, 0);
  for (auto _ : state) {
    for (const QString& target : targets) {
      const QModelIndexList hits =
          model.match(start, Qt::DisplayRole, target, 1, Qt::MatchFixedString | Qt::MatchRecursive);
      if (hits.size() != 1 || hits[0].data().toString().compare(target, Qt::CaseInsensitive) != 0) {
        state.SkipWithError("a find missed");
        break;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kFinds);
}
BENCHMARK(BM_FindRecursive_QtMatch)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return RunControlsBenchmarks(argc, argv); }
