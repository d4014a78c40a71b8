#pragma once
// The consumer's tree view: a flattened, ordered list of the entries shown (depth first, every
// entry followed by its shown descendants), which expands and collapses entries, answers
// structural questions by position and follows the provider's additions and deletions. It keeps
// itself over a provider change and rebuilds when the provider or the context is replaced or the
// view changes.
//
// An entry is the item's identifier and a flags word: bits 0 to 23 the level (0 for the root
// items), bit 29 expanded, bit 30 the item has a sub-list, bit 31 the sub-list is not empty.
#include <cstdint>
#include <string>
#include <vector>

#include "controls/xc_data_consumer.h"

struct TViewListItem {
  TXcDataItemID ID;
  uint32_t Flags;
};
using TViewListItems = std::vector<TViewListItem>;

constexpr uint32_t vlLevelMask = 0x00FFFFFFu;
constexpr uint32_t vlExpanded = 1u << 29;
constexpr uint32_t vlHasSubList = 1u << 30;
constexpr uint32_t vlHasChildren = 1u << 31;

class TXcCustomDataConsumerViewList : public TXcDataConsumerAggregatedObject, public IXcDataConsumerTree {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcCustomDataConsumerViewList(TExtensibleInterfacedPersistent* owner) : TXcDataConsumerAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;

  int32_t AutoExpandDepth() override { return autoExpandDepth_; }
  void SetAutoExpandDepth(int32_t value) override { autoExpandDepth_ = value; }
  bool ExpandOnNewItem() override { return expandOnNewItem_; }
  void SetExpandOnNewItem(bool value) override { expandOnNewItem_ = value; }
  int32_t LevelIndent() override { return levelIndent_; }
  // A new value announces ccSettingChanged.
  void SetLevelIndent(int32_t value) override;

  // Empties the list and shows the consumer's root items, expanded to the automatic expansion
  // depth; announces a view change.
  void Rebuild() override;
  // Shows a visible item that is not shown by opening its ancestors. Raises EXCLDataConsumer
  // "ViewList out of sync" when its parent is shown expanded without it.
  void ExpandTreeTo(IXcDataItem* item) override;
  // Collapses an expanded entry, or shows the children of a collapsed one; announces a view
  // change. Nothing for an entry without children.
  void Toggle(int32_t index) override;

  // The entry operations.
  virtual void AddItem(int32_t parentIndex, IXcDataItem* item, int32_t depth) = 0;
  // Shows the list's visible items at position (after which position stands), under the entry
  // before it, each expanded depth levels further.
  virtual void AddItems(int32_t& position, IXcDataItems* list, int32_t depth) = 0;
  virtual void AddChildItem(int32_t parentIndex, IXcDataItem* item) = 0;
  virtual void InsertItem(int32_t position, int32_t parentIndex, IXcDataItem* item) = 0;
  virtual void DeleteItem(int32_t index) = 0;
  virtual void Collapse(int32_t index) = 0;
  virtual void UpdateFlags(int32_t index, uint32_t value, uint32_t mask) = 0;
  virtual void Clear() = 0;

  // Following the consumer and the provider.
  void ProviderChanging(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) override;
  void ProviderChanged(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) override;
  bool KeepOnProviderChange() override { return true; }
  void ViewChanged(TXcDataConsumerAggregatedObject* sender) override;
  void ProviderReplacing() override { Clear(); }
  void ProviderReplaced() override { Rebuild(); }
  void ContextReplaced() override { Rebuild(); }

 protected:
  // Runs work with the consumer selected on its provider (just runs it without a provider).
  template <class Fn>
  void WithConsumer(Fn&& work);
  void DoToggle(int32_t index);
  void DoExpandTreeTo(IXcDataItem* item);
  void ItemAdded(IXcDataItem* item);
  void ListChanged(IXcDataItems* list);

 private:
  int32_t autoExpandDepth_ = 0;
  bool expandOnNewItem_ = false;
  int32_t levelIndent_ = 16;
};

class TXcDataConsumerViewList : public TXcCustomDataConsumerViewList {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcDataConsumerViewList(TExtensibleInterfacedPersistent* owner) : TXcCustomDataConsumerViewList(owner) {}

  void AddItem(int32_t parentIndex, IXcDataItem* item, int32_t depth) override;
  void AddItems(int32_t& position, IXcDataItems* list, int32_t depth) override;
  void AddChildItem(int32_t parentIndex, IXcDataItem* item) override;
  void InsertItem(int32_t position, int32_t parentIndex, IXcDataItem* item) override;
  void DeleteItem(int32_t index) override;
  void Collapse(int32_t index) override;
  void UpdateFlags(int32_t index, uint32_t value, uint32_t mask) override;
  void Clear() override { items_.clear(); }

  int32_t IndexOfItem(IXcDataItem* item) override;
  int32_t IndexOfID(const TXcDataItemID& id) override;
  int32_t ChildIndexOfItem(IXcDataItem* item) override;
  int32_t ChildIndexOfID(const TXcDataItemID& id) override;
  TIntfPtr<IXcDataItem> ItemAtIndex(int32_t index) override;
  int32_t Level(int32_t index) override { return static_cast<int32_t>(Entry(index).Flags & vlLevelMask); }
  bool IsExpanded(int32_t index) override { return (Entry(index).Flags & vlExpanded) != 0; }
  bool HasChildren(int32_t index) override { return (Entry(index).Flags & vlHasChildren) != 0; }
  TIntfPtr<IXcDataItem> ParentItem(int32_t index) override;
  int32_t ParentIndex(int32_t index) override;
  TIntfPtr<IXcDataItem> SiblingItem(int32_t index) override;
  int32_t SiblingIndex(int32_t index) override;
  TIntfPtr<IXcDataItem> ChildItem(IXcDataItem* parent, int32_t n) override;
  TIntfPtr<IXcDataItem> ChildItem(int32_t parentIndex, int32_t n) override;
  int32_t ChildIndex(IXcDataItem* parent, int32_t n) override;
  int32_t ChildIndex(int32_t parentIndex, int32_t n) override;
  std::vector<uint32_t> GroupInfo(int32_t index) override;
  int32_t Count() override { return static_cast<int32_t>(items_.size()); }

  // The entries, as they stand.
  const TViewListItems& Items() const { return items_; }

 private:
  // Raises EListError for an index outside the list.
  const TViewListItem& Entry(int32_t index) const;
  uint32_t LevelAt(size_t index) const { return items_[index].Flags & vlLevelMask; }
  // One past the last entry below the entry at index.
  size_t SubtreeEnd(size_t index) const;
  // The flags of a new entry at level for item: its sub-list bits.
  static uint32_t FlagsFor(IXcDataItem* item, uint32_t level, TIntfPtr<IXcDataItems>* subList);
  bool Visible(IXcDataItem* item);
  void Collect(TViewListItems& out, IXcDataItems* list, uint32_t level, int32_t depth, IXcDataConsumerVisibility* cv);

  TViewListItems items_;
};
