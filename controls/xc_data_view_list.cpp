#include "controls/xc_data_view_list.h"

#include <algorithm>

#include "controls/xc_data_items.h"
#include "platform/system/classes.h"
#include "platform/system/compare_text.h"

namespace {

constexpr TPropInfo kViewListProperties[] = {
    {.Name = "LevelIndent",
     .Type = ptInteger,
     .GetOrdinal = [](TStreamable* o) { return static_cast<TXcDataConsumerViewList*>(o)->LevelIndent(); },
     .SetOrdinal = [](TStreamable* o, int32_t v) { static_cast<TXcDataConsumerViewList*>(o)->SetLevelIndent(v); },
     .HasDefault = true,
     .Default = 16},
};

}  // namespace

const TClassRecord TXcCustomDataConsumerViewList::ClassInfo{"TXcCustomDataConsumerViewList",
                                                            &TXcDataConsumerAggregatedObject::ClassInfo, nullptr, nullptr, 0};
const TClassRecord TXcDataConsumerViewList::ClassInfo{"TXcDataConsumerViewList", &TXcCustomDataConsumerViewList::ClassInfo,
                                                      CreateExtensionFor<TXcDataConsumerViewList>, kViewListProperties, 1};

// ----------------------------------------------------------------------- TXcCustomDataConsumerViewList

bool TXcCustomDataConsumerViewList::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataConsumerTree>(this, iid, obj) || TXcDataConsumerAggregatedObject::GetInterface(iid, obj);
}

template <class Fn>
void TXcCustomDataConsumerViewList::WithConsumer(Fn&& work) {
  TXcDataConsumer* consumer = Consumer();
  const TIntfPtr<IXcDataProvider> provider = consumer->Provider();
  if (!provider) {
    work();
    return;
  }
  WithSelectedConsumer(provider.Get(), consumer, consumer->ContextIntf().Get(), work);
}

void TXcCustomDataConsumerViewList::SetLevelIndent(int32_t value) {
  if (value == levelIndent_) return;
  levelIndent_ = value;
  Changed(ccSettingChanged);
}

void TXcCustomDataConsumerViewList::Rebuild() {
  Clear();
  if (Consumer()->ProviderRef())
    WithConsumer([&] {
      int32_t position = 0;
      TIntfPtr<IXcDataItems> roots = RootItems();
      if (roots) AddItems(position, roots.Get(), autoExpandDepth_);
    });
  NotifyViewChanged();
}

void TXcCustomDataConsumerViewList::Toggle(int32_t index) {
  WithConsumer([&] { DoToggle(index); });
}

void TXcCustomDataConsumerViewList::DoToggle(int32_t index) {
  if (!HasChildren(index)) return;
  if (IsExpanded(index)) {
    Collapse(index);
  } else if (TIntfPtr<IXcDataItem> item = ItemAtIndex(index)) {
    if (TIntfPtr<IXcDataItems> sub = SubItemsOf(item.Get())) {
      int32_t position = index + 1;
      AddItems(position, sub.Get(), 0);
    }
  }
  NotifyViewChanged();
}

void TXcCustomDataConsumerViewList::ExpandTreeTo(IXcDataItem* item) {
  WithConsumer([&] { DoExpandTreeTo(item); });
}

void TXcCustomDataConsumerViewList::DoExpandTreeTo(IXcDataItem* item) {
  if (!item || XcItemVisibility(item) == dvHidden || IndexOfItem(item) >= 0) return;
  TIntfPtr<IXcDataItems> list = item->OwnerList();
  TIntfPtr<IXcDataItem> parent = list ? list->ParentItem() : nullptr;
  if (!parent) return;
  DoExpandTreeTo(parent.Get());
  const int32_t parentIndex = IndexOfItem(parent.Get());
  if (parentIndex < 0) return;
  if (IsExpanded(parentIndex)) throw EXCLDataConsumer("ViewList out of sync");
  DoToggle(parentIndex);
}

void TXcCustomDataConsumerViewList::ProviderChanging(IXcDataProvider*, TXcDataChangeReason reason, IInterface* source) {
  if (reason != dcItemDeleted) return;
  TIntfPtr<IXcDataItem> item = Supports<IXcDataItem>(source);
  if (!item) return;
  WithConsumer([&] {
    const int32_t index = IndexOfItem(item.Get());
    if (index < 0) return;
    DeleteItem(index);
    NotifyViewChanged();
  });
}

void TXcCustomDataConsumerViewList::ProviderChanged(IXcDataProvider*, TXcDataChangeReason reason, IInterface* source) {
  if (reason == dcListChanged) {
    if (TIntfPtr<IXcDataItems> list = Supports<IXcDataItems>(source)) WithConsumer([&] { ListChanged(list.Get()); });
    return;
  }
  if (reason != dcItemAdded) return;
  TIntfPtr<IXcDataItem> item = Supports<IXcDataItem>(source);
  if (item) WithConsumer([&] { ItemAdded(item.Get()); });
}

void TXcCustomDataConsumerViewList::ListChanged(IXcDataItems* list) {
  // A list changed as a whole was cleared or had its image lists replaced. Only an emptied list
  // changes what is shown: no entry may name its freed items, and its parent keeps only its
  // sub-list bit. The other entries keep their expansion.
  if (list->Count() > 0) return;
  TIntfPtr<IXcDataItem> parent = list->ParentItem();
  if (!parent) {
    TIntfPtr<IXcDataItems> roots = RootItems();
    if (!roots || roots->Implementor() != list->Implementor() || Count() == 0) return;
    Clear();
  } else {
    const int32_t index = IndexOfItem(parent.Get());
    if (index < 0 || !HasChildren(index)) return;
    Collapse(index);
    UpdateFlags(index, 0, vlHasChildren | vlExpanded);
  }
  NotifyViewChanged();
}

void TXcCustomDataConsumerViewList::ItemAdded(IXcDataItem* item) {
  TIntfPtr<IXcDataItems> list = item->OwnerList();
  TIntfPtr<IXcDataItem> parent = list ? list->ParentItem() : nullptr;
  if (!parent) {
    AddChildItem(-1, item);
    NotifyViewChanged();
    return;
  }
  int32_t parentIndex = IndexOfItem(parent.Get());
  if (parentIndex < 0 && expandOnNewItem_) {
    DoExpandTreeTo(parent.Get());
    parentIndex = IndexOfItem(parent.Get());
  }
  if (parentIndex < 0) return;
  if (IsExpanded(parentIndex)) {
    AddChildItem(parentIndex, item);
    NotifyViewChanged();
  } else if (expandOnNewItem_) {
    UpdateFlags(parentIndex, vlHasSubList | vlHasChildren, vlHasSubList | vlHasChildren);
    DoToggle(parentIndex);
  } else if (!HasChildren(parentIndex)) {
    // The parent's first child: it can be opened now.
    UpdateFlags(parentIndex, vlHasSubList | vlHasChildren, vlHasSubList | vlHasChildren);
    NotifyViewChanged();
  }
}

void TXcCustomDataConsumerViewList::ViewChanged(TXcDataConsumerAggregatedObject* sender) {
  if (sender != this) Rebuild();
}

// ----------------------------------------------------------------------------- TXcDataConsumerViewList

const TViewListItem& TXcDataConsumerViewList::Entry(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) ListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

size_t TXcDataConsumerViewList::SubtreeEnd(size_t index) const {
  const uint32_t level = LevelAt(index);
  size_t end = index + 1;
  while (end < items_.size() && LevelAt(end) > level) ++end;
  return end;
}

uint32_t TXcDataConsumerViewList::FlagsFor(IXcDataItem* item, uint32_t level, TIntfPtr<IXcDataItems>* subList) {
  uint32_t flags = level & vlLevelMask;
  TIntfPtr<IXcDataItems> sub = SubItemsOf(item);
  if (sub) {
    flags |= vlHasSubList;
    if (sub->Count() > 0) flags |= vlHasChildren;
  }
  if (subList) *subList = std::move(sub);
  return flags;
}

bool TXcDataConsumerViewList::Visible(IXcDataItem* item) { return item && XcItemVisibility(item) != dvHidden; }

void TXcDataConsumerViewList::Collect(TViewListItems& out, IXcDataItems* list, uint32_t level, int32_t depth,
                                      IXcDataConsumerVisibility* cv) {
  // The framework's own lists hand out their items without counting them.
  TXcBaseDataItems* obj = ItemsObject(list);
  const int32_t count = list->Count();
  for (int32_t i = 0; i < count; ++i) {
    TIntfPtr<IXcDataItem> held;
    IXcDataItem* item = obj ? obj->GetItem(i) : (held = list->Items(i)).Get();
    if (!item || XcItemVisibility(item, cv) == dvHidden) continue;
    TIntfPtr<IXcDataItems> sub;
    uint32_t flags = FlagsFor(item, level, &sub);
    const bool expand = depth > 0 && (flags & vlHasChildren);
    if (expand) flags |= vlExpanded;
    out.push_back({item->ID(), flags});
    if (expand) Collect(out, sub.Get(), level + 1, depth - 1, cv);
  }
}

void TXcDataConsumerViewList::AddItems(int32_t& position, IXcDataItems* list, int32_t depth) {
  if (position < 0 || static_cast<size_t>(position) > items_.size()) ListIndexError(position);
  uint32_t level = 0;
  if (position > 0) {
    TViewListItem& before = items_[static_cast<size_t>(position) - 1];
    level = (before.Flags & vlLevelMask) + 1;
    before.Flags |= vlExpanded;
  }
  if (!list) return;
  // The entries are gathered first and go in with one move of the entries after them.
  TViewListItems added;
  TIntfPtr<IXcDataItems> keep(list);
  TIntfPtr<IXcDataProvider> provider = list->Provider();
  Collect(added, list, level, depth, XcConsumerVisibility(provider.Get()).Get());
  items_.insert(items_.begin() + position, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  position += static_cast<int32_t>(added.size());
}

void TXcDataConsumerViewList::InsertItem(int32_t position, int32_t parentIndex, IXcDataItem* item) {
  if (!Visible(item)) return;
  if (position < 0 || static_cast<size_t>(position) > items_.size()) ListIndexError(position);
  const uint32_t level = parentIndex >= 0 ? static_cast<uint32_t>(Level(parentIndex)) + 1 : 0;
  items_.insert(items_.begin() + position, TViewListItem{item->ID(), FlagsFor(item, level, nullptr)});
  if (parentIndex >= 0 && parentIndex < position)
    items_[static_cast<size_t>(parentIndex)].Flags |= vlExpanded | vlHasSubList | vlHasChildren;
}

void TXcDataConsumerViewList::AddChildItem(int32_t parentIndex, IXcDataItem* item) {
  if (!Visible(item)) return;
  if (parentIndex < 0) {
    InsertItem(Count(), -1, item);
    return;
  }
  if (!IsExpanded(parentIndex)) {
    UpdateFlags(parentIndex, vlHasSubList | vlHasChildren, vlHasSubList | vlHasChildren);
    DoToggle(parentIndex);  // shows the children, the new one among them
  }
  // One pass over the parent's entries finds their end and whether the item is among them.
  const size_t parent = static_cast<size_t>(parentIndex);
  const uint32_t childLevel = LevelAt(parent) + 1;
  const std::string upper = UpperCase(item->ID());
  size_t end = parent + 1;
  bool shown = false;
  for (; end < items_.size() && LevelAt(end) >= childLevel; ++end)
    if (!shown && LevelAt(end) == childLevel && SameTextUpper(items_[end].ID, upper)) shown = true;
  if (!shown) InsertItem(static_cast<int32_t>(end), parentIndex, item);
}

void TXcDataConsumerViewList::AddItem(int32_t parentIndex, IXcDataItem* item, int32_t depth) {
  if (!Visible(item)) return;
  if (parentIndex < 0) {
    InsertItem(Count(), -1, item);
    return;
  }
  if (HasChildren(parentIndex) && !IsExpanded(parentIndex)) {
    DoToggle(parentIndex);
    return;
  }
  const int32_t end = static_cast<int32_t>(SubtreeEnd(static_cast<size_t>(parentIndex)));
  InsertItem(end, parentIndex, item);
  if (depth > 0 && HasChildren(end))
    if (TIntfPtr<IXcDataItems> sub = SubItemsOf(item)) {
      int32_t position = end + 1;
      AddItems(position, sub.Get(), depth - 1);
    }
}

void TXcDataConsumerViewList::Collapse(int32_t index) {
  const TViewListItem& entry = Entry(index);
  if (!(entry.Flags & vlHasChildren) || !(entry.Flags & vlExpanded)) return;
  const size_t i = static_cast<size_t>(index);
  items_.erase(items_.begin() + static_cast<ptrdiff_t>(i) + 1, items_.begin() + static_cast<ptrdiff_t>(SubtreeEnd(i)));
  items_[i].Flags &= ~vlExpanded;
}

void TXcDataConsumerViewList::DeleteItem(int32_t index) {
  Entry(index);
  const size_t i = static_cast<size_t>(index);
  const uint32_t level = LevelAt(i);
  // The entry goes with whatever it shows below it.
  items_.erase(items_.begin() + static_cast<ptrdiff_t>(i), items_.begin() + static_cast<ptrdiff_t>(SubtreeEnd(i)));
  if (i > 0 && level > 0 && LevelAt(i - 1) == level - 1 && (i >= items_.size() || LevelAt(i) < level))
    items_[i - 1].Flags &= ~(vlHasChildren | vlExpanded);
}

void TXcDataConsumerViewList::UpdateFlags(int32_t index, uint32_t value, uint32_t mask) {
  Entry(index);
  uint32_t& flags = items_[static_cast<size_t>(index)].Flags;
  flags = (flags & ~mask) | (value & mask);
}

int32_t TXcDataConsumerViewList::IndexOfID(const TXcDataItemID& id) {
  const std::string upper = UpperCase(id);
  for (size_t i = items_.size(); i-- > 0;)
    if (SameTextUpper(items_[i].ID, upper)) return static_cast<int32_t>(i);
  return -1;
}

int32_t TXcDataConsumerViewList::IndexOfItem(IXcDataItem* item) { return item ? IndexOfID(item->ID()) : -1; }

int32_t TXcDataConsumerViewList::ChildIndexOfID(const TXcDataItemID& id) {
  const int32_t index = IndexOfID(id);
  if (index <= 0) return index;
  const uint32_t level = LevelAt(static_cast<size_t>(index));
  int32_t n = 0;
  for (size_t i = static_cast<size_t>(index); i-- > 0;) {
    const uint32_t l = LevelAt(i);
    if (l < level) break;
    if (l == level) ++n;
  }
  return n;
}

int32_t TXcDataConsumerViewList::ChildIndexOfItem(IXcDataItem* item) { return item ? ChildIndexOfID(item->ID()) : -1; }

int32_t TXcDataConsumerViewList::ParentIndex(int32_t index) {
  const uint32_t level = static_cast<uint32_t>(Level(index));
  for (size_t i = static_cast<size_t>(index); i-- > 0;)
    if (LevelAt(i) < level) return static_cast<int32_t>(i);
  return -1;
}

TIntfPtr<IXcDataItem> TXcDataConsumerViewList::ItemAtIndex(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  // The entry's list: the root items for a root entry, else the parent entry's item's sub-list.
  // The identifier is compared as it is, not read as a path.
  const int32_t parent = ParentIndex(index);
  TIntfPtr<IXcDataItems> list;
  if (parent < 0) {
    list = RootItems();
  } else if (TIntfPtr<IXcDataItem> parentItem = ItemAtIndex(parent)) {
    list = SubItemsOf(parentItem.Get());
  }
  return FindItemByID(list.Get(), items_[static_cast<size_t>(index)].ID);
}

TIntfPtr<IXcDataItem> TXcDataConsumerViewList::ParentItem(int32_t index) { return ItemAtIndex(ParentIndex(index)); }

int32_t TXcDataConsumerViewList::SiblingIndex(int32_t index) {
  const uint32_t level = static_cast<uint32_t>(Level(index));
  for (size_t i = static_cast<size_t>(index) + 1; i < items_.size(); ++i) {
    const uint32_t l = LevelAt(i);
    if (l == level) return static_cast<int32_t>(i);
    if (l < level) break;
  }
  return -1;
}

TIntfPtr<IXcDataItem> TXcDataConsumerViewList::SiblingItem(int32_t index) { return ItemAtIndex(SiblingIndex(index)); }

int32_t TXcDataConsumerViewList::ChildIndex(int32_t parentIndex, int32_t n) {
  // The root entries are the children of no entry (-1).
  const uint32_t childLevel = parentIndex >= 0 ? static_cast<uint32_t>(Level(parentIndex)) + 1 : 0;
  const size_t first = static_cast<size_t>(parentIndex + 1);
  if (n < 0 || first >= items_.size() || LevelAt(first) != childLevel) return -1;
  int32_t index = static_cast<int32_t>(first);
  for (int32_t k = 0; k < n && index >= 0; ++k) index = SiblingIndex(index);
  return index;
}

int32_t TXcDataConsumerViewList::ChildIndex(IXcDataItem* parent, int32_t n) {
  const int32_t index = IndexOfItem(parent);
  return index >= 0 ? ChildIndex(index, n) : -1;
}

TIntfPtr<IXcDataItem> TXcDataConsumerViewList::ChildItem(int32_t parentIndex, int32_t n) {
  return ItemAtIndex(ChildIndex(parentIndex, n));
}

TIntfPtr<IXcDataItem> TXcDataConsumerViewList::ChildItem(IXcDataItem* parent, int32_t n) {
  return ItemAtIndex(ChildIndex(parent, n));
}

std::vector<uint32_t> TXcDataConsumerViewList::GroupInfo(int32_t index) {
  const uint32_t level = static_cast<uint32_t>(Level(index));
  if (level == 0) return {};
  std::vector<uint32_t> words((level - 1) / 32 + 1, 0);
  // Walking on, the first entry shallower than every entry before it belongs to the level of an
  // ancestor, and is that ancestor's later sibling.
  uint32_t shallowest = level;
  for (size_t i = static_cast<size_t>(index) + 1; i < items_.size() && shallowest > 0; ++i) {
    const uint32_t l = LevelAt(i);
    if (l < shallowest) {
      words[l / 32] |= 1u << (l % 32);
      shallowest = l;
    }
  }
  return words;
}
