#pragma once
// The data provider framework's interfaces and their identifiers.
//
// A provider publishes a tree of data items (IXcDataItems holding IXcDataItem), optionally seen
// through named contexts (IXcDataContextList holding IXcDataContext); consumers (IXcDataConsumer)
// bind a control to a provider, select a context and follow the provider's changes through
// IXcDataProviderListener. Behaviour is added to items, lists and consumers by extension objects
// that contribute further interfaces (text, glyphs, editing, drawing, the consumer's tree view).
//
// Interfaces handed back are counted (TIntfPtr); interfaces passed in are borrowed for the call.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/class_registry.h"
#include "platform/system/interfaces.h"
#include "platform/system/types.h"
#include "platform/ui/controls.h"

class TCanvas;
class TComponent;
class TCustomImageList;
class TObject;

using TXcDataItemID = std::string;     // an item's identifier
using TXcDataContextID = std::string;  // a context's name

// Why a provider announces a change; with each the source object passed before / after it.
enum TXcDataChangeReason : uint8_t {
  dcItemAdded = 0,          // the list / the new item
  dcItemDeleted = 1,        // the item / nothing
  dcItemChanged = 2,        // the item / the item (text, image, read-only flag, context text)
  dcListChanged = 3,        // the list / the list (cleared, image lists replaced)
  dcProviderReleasing = 4,  // sent by the provider only: consumers drop it when it is announced as changing
  dcContextAdded = 5,       // the ancestor context / the new context
  dcContextDeleted = 6,     // the context / its ancestor
  dcReserved = 7,           // neither sent nor handled here
  dcProviderView = 8,       // sent by the provider only: its changed announcement counts as a view change
};

// Whether an item is shown; every state but dvHidden shows it.
enum TXcDataVisibility : uint8_t { dvHidden = 0, dvShown = 1, dvUndecided = 2, dvNotApplicable = 3 };

// Why a consumer announces a change to its control.
enum TXcDataConsumerChangeReason : uint8_t {
  ccProviderReplaced = 0,
  ccProviderDataChanged = 1,
  ccViewChanged = 2,
  ccContextReplaced = 3,
  ccSettingChanged = 4,
};

// Flags of an item's drawing (selected, focused, ...), as the control that draws gives them.
using TXcDataItemDrawState = uint8_t;

struct IXcDataItem;
struct IXcDataItems;
struct IXcDataContext;
struct IXcDataContextList;
struct IXcDataConsumer;
struct IXcDataConsumerLinkClient;
struct IXcDataProviderListener;

struct IXcDataProvider : virtual IInterface {
  static constexpr TGUID IID = {0x62A7A17D, 0x1E21, 0x427E, {0x86, 0x1D, 0xC9, 0x2F, 0xBB, 0x9B, 0x09, 0xA6}};
  // The provider reports every change to its listeners until they unregister.
  virtual void RegisterListener(IXcDataProviderListener* listener) = 0;
  virtual void UnregisterListener(IXcDataProviderListener* listener) = 0;
  virtual TIntfPtr<IXcDataItems> RootItems() = 0;
  // Announced before and after a change; the provider passes them on to its listeners.
  virtual void Changing(TXcDataChangeReason reason, IInterface* source) = 0;
  virtual void Changed(TXcDataChangeReason reason, IInterface* source) = 0;
  // The extension classes every consumer of this provider is to carry.
  virtual void ConsumerClasses(std::vector<TPersistentClass>& classes) = 0;
  // Items are read on behalf of the selected consumer until the selection is released; selections
  // nest (release ends the last).
  virtual void SelectConsumer(IXcDataConsumer* consumer) = 0;
  virtual TIntfPtr<IXcDataConsumer> SelectedConsumer() = 0;
  virtual void ReleaseConsumer() = 0;
  // A context, or nothing for the provider's base view; nests like the consumer selection.
  virtual void SelectContext(IXcDataContext* context) = 0;
  virtual TIntfPtr<IXcDataContext> SelectedContext() = 0;
  virtual void ReleaseContext() = 0;
};

// What a provider that is a component tells of itself.
struct IXcDataProviderOwner : virtual IInterface {
  static constexpr TGUID IID = {0xE28B1858, 0xEC86, 0x4559, {0x8F, 0xCD, 0x6B, 0x4F, 0x82, 0x41, 0x51, 0xED}};
  virtual TComponent* ProviderComponent() = 0;
};

struct IXcDataItems : virtual IInterface {
  static constexpr TGUID IID = {0x93747660, 0x24FB, 0x4294, {0xBF, 0x4E, 0xC7, 0xF8, 0x8E, 0xA2, 0x39, 0x83}};
  virtual int32_t Count() = 0;
  // Raises EListError "List index out of bounds (%d)" for an index outside the list.
  virtual TIntfPtr<IXcDataItem> Items(int32_t index) = 0;
  // Segments separated by "\" or "/"; ".." climbs; nothing when the path finds no item.
  virtual TIntfPtr<IXcDataItem> ItemByPath(const std::string& path) = 0;
  virtual TIntfPtr<IXcDataItem> ItemByIndexPath(const std::vector<int32_t>& indexes) = 0;
  // The item whose sub-list this is; nothing for a top-level list.
  virtual TIntfPtr<IXcDataItem> ParentItem() = 0;
  virtual TIntfPtr<IXcDataProvider> Provider() = 0;
  virtual TObject* Implementor() = 0;
  // A dynamic list's items are reference counted; a static list owns its items.
  virtual bool IsDynamic() = 0;
  virtual void ContextDestroyed(IXcDataContext* context) = 0;
};

struct IXcDataItemLookup : virtual IInterface {
  static constexpr TGUID IID = {0x0F5BDC79, 0x893B, 0x45C9, {0x94, 0xE9, 0xC2, 0xB2, 0xFD, 0x4A, 0xBF, 0xE7}};
  virtual TIntfPtr<IXcDataItem> FindByID(const TXcDataItemID& id, bool recursive) = 0;
};

struct IXcDataItem : virtual IInterface {
  static constexpr TGUID IID = {0xC965CF64, 0xA1F2, 0x44A4, {0xB8, 0x56, 0x3A, 0x4E, 0xC6, 0xB6, 0x93, 0xE1}};
  virtual TIntfPtr<IXcDataItems> OwnerList() = 0;
  // The position in the owning list; -1 when it is not there.
  virtual int32_t Index() = 0;
  virtual TObject* Implementor() = 0;
  virtual TXcDataItemID ID() = 0;
  virtual void ContextDestroyed(IXcDataContext* context) = 0;
  // Whether this item is the parent of item's list (directOnly), or of any list above it.
  virtual bool IsParentOf(IXcDataItem* item, bool directOnly) = 0;
  virtual bool IsDeletable() = 0;
};

struct IXcDataItemText : virtual IInterface {
  static constexpr TGUID IID = {0x94FA56D9, 0x281B, 0x4252, {0xB4, 0x6D, 0x15, 0xE7, 0xBA, 0xDA, 0x70, 0xDA}};
  virtual std::string Text() = 0;
  virtual void SetText(const std::string& value) = 0;
  virtual bool Editable() = 0;
};

struct IXcDataItemGlyph : virtual IInterface {
  static constexpr TGUID IID = {0x6425D73A, 0x90CF, 0x42ED, {0x9A, 0xB2, 0x63, 0x12, 0x5A, 0x4C, 0x07, 0x74}};
  virtual TAlignment Alignment() = 0;
  virtual void SetAlignment(TAlignment value) = 0;
  virtual int32_t ImageIndex() = 0;
  virtual void SetImageIndex(int32_t value) = 0;
  virtual int32_t SelectedIndex() = 0;
  virtual void SetSelectedIndex(int32_t value) = 0;
};

struct IXcDataItemContextCaption : virtual IInterface {
  static constexpr TGUID IID = {0x7067F5C1, 0x05DC, 0x4DAC, {0xA5, 0x95, 0xAF, 0x91, 0x51, 0x69, 0x5F, 0xBB}};
  // Drops the selected context's own text, so the item shows its inherited one again.
  virtual void RevertToDefault() = 0;
  // True when the selected context has no text of its own.
  virtual bool IsDefault() = 0;
};

struct IXcDataItemsPainter : virtual IInterface {
  static constexpr TGUID IID = {0x4EA490F4, 0x7CCF, 0x44A1, {0xAA, 0x26, 0x53, 0x20, 0xCD, 0xE9, 0xFA, 0xFC}};
  virtual void DrawByIndex(int32_t index, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) = 0;
  // Index -1 gives the average item size.
  virtual TSize MeasureByIndex(int32_t index, TCanvas* canvas) = 0;
  virtual void DrawItem(IXcDataItem* item, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) = 0;
  virtual TSize MeasureItem(IXcDataItem* item, TCanvas* canvas) = 0;
  virtual TSize AverageItemSize(TCanvas* canvas) = 0;
};

// An item that draws itself.
struct IXcDataItemPainter : virtual IInterface {
  static constexpr TGUID IID = {0x9E877A0D, 0x01C2, 0x4204, {0xAA, 0x74, 0x84, 0xD6, 0x51, 0x6B, 0xBE, 0xB9}};
  virtual void Draw(TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) = 0;
  virtual void Measure(TCanvas* canvas, TSize& size) = 0;
};

struct IXcDataItemsEditing : virtual IInterface {
  static constexpr TGUID IID = {0x76611CC0, 0x9DCD, 0x4394, {0x8B, 0x6E, 0x1A, 0xDE, 0xF1, 0x94, 0x2B, 0xC3}};
  virtual TIntfPtr<IXcDataItem> Add(IXcDataItem* item) = 0;
  virtual TIntfPtr<IXcDataItem> New() = 0;
  virtual void Clear() = 0;
  virtual void Delete(int32_t index) = 0;
  // Deletes the item the reference holds; the reference is emptied when the item went.
  virtual void Remove(TIntfPtr<IXcDataItem>& item) = 0;
};

struct IXcDataItemsImageLists : virtual IInterface {
  static constexpr TGUID IID = {0x735755A6, 0xAD11, 0x460C, {0xB9, 0x85, 0x46, 0x46, 0x4D, 0x73, 0xED, 0xBC}};
  virtual TCustomImageList* DisabledImages() = 0;
  virtual void SetDisabledImages(TCustomImageList* value) = 0;
  virtual TCustomImageList* HotImages() = 0;
  virtual void SetHotImages(TCustomImageList* value) = 0;
  virtual TCustomImageList* Images() = 0;
  virtual void SetImages(TCustomImageList* value) = 0;
};

// An item that decides itself whether it is shown.
struct IXcDataItemVisibility : virtual IInterface {
  static constexpr TGUID IID = {0x5BD81E0B, 0xDAD2, 0x4560, {0x94, 0x3A, 0x20, 0x5E, 0x0F, 0xF2, 0xA9, 0x7F}};
  virtual TXcDataVisibility Visibility() = 0;
};

struct IXcDataContextList : virtual IInterface {
  static constexpr TGUID IID = {0xBA5DC787, 0x29C6, 0x40FA, {0x95, 0x42, 0xF0, 0xA1, 0xE9, 0x2A, 0x2B, 0x30}};
  virtual TIntfPtr<IXcDataProvider> Provider() = 0;
  // The context this list belongs to; nothing for the provider's top-level list.
  virtual TIntfPtr<IXcDataContext> Ancestor() = 0;
  virtual int32_t Count() = 0;
  virtual TIntfPtr<IXcDataContext> Contexts(int32_t index) = 0;
  virtual TIntfPtr<IXcDataContext> ContextByName(const std::string& namePath) = 0;
  virtual int32_t IndexOf(IXcDataContext* context) = 0;
};

struct IXcDataContext : virtual IInterface {
  static constexpr TGUID IID = {0xF226D92A, 0x3493, 0x4EF8, {0x9C, 0xE6, 0x03, 0x73, 0x57, 0xEB, 0x0C, 0xEA}};
  virtual TObject* Implementor() = 0;
  virtual TIntfPtr<IXcDataContextList> OwnerList() = 0;
  virtual TXcDataContextID Name() = 0;
  virtual bool IsDeletable() = 0;
};

struct IXcDataContextRename : virtual IInterface {
  static constexpr TGUID IID = {0x530367D8, 0x601C, 0x4E36, {0xB5, 0xF0, 0x35, 0x71, 0x60, 0x49, 0x7C, 0x50}};
  virtual void SetName(const TXcDataContextID& value) = 0;
};

struct IXcDataConsumer : virtual IInterface {
  static constexpr TGUID IID = {0xB2F18D03, 0xF615, 0x4AA2, {0xA5, 0x1A, 0x74, 0xD3, 0x30, 0xC0, 0x5C, 0x0E}};
  virtual TComponent* OwnerComponent() = 0;
  // Whether the creator gave the consumer this attribute.
  virtual bool AttributeApplies(int32_t attribute) = 0;
};

// A server a consumer is linked to, told when the consumer's provider changes.
struct IXcDataConsumerLinkServer : virtual IInterface {
  virtual void ConsumerProviderChanged(IXcDataConsumerLinkClient* client) = 0;
};

struct IXcDataConsumerLinkClient : virtual IInterface {
  static constexpr TGUID IID = {0xD1AAAFDF, 0xBEB1, 0x44DB, {0xB8, 0xD8, 0xA6, 0x00, 0x80, 0xCE, 0xF3, 0xC7}};
  virtual void ServerItemChanged(IXcDataConsumerLinkServer* server, IXcDataItem* item) = 0;
  virtual void LinkAdded(IXcDataConsumerLinkServer* server) = 0;
  virtual void LinkRemoved(IXcDataConsumerLinkServer* server) = 0;
};

struct IXcDataConsumerProviderAccess : virtual IInterface {
  static constexpr TGUID IID = {0x1F01D2E5, 0x2ACB, 0x4B84, {0xAF, 0xE6, 0x67, 0xE5, 0x63, 0xFB, 0x47, 0x0B}};
  virtual TIntfPtr<IXcDataProvider> Provider() = 0;
};

struct IXcDataProviderListener : virtual IInterface {
  static constexpr TGUID IID = {0x5B9D1847, 0x6D35, 0x4D9C, {0x8B, 0xC2, 0x20, 0x54, 0x99, 0x7A, 0xB1, 0x20}};
  virtual void ProviderChanging(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) = 0;
  virtual void ProviderChanged(IXcDataProvider* provider, TXcDataChangeReason reason, IInterface* source) = 0;
  virtual TIntfPtr<IXcDataConsumer> Consumer() = 0;
};

struct IXcDataConsumerSelection : virtual IInterface {
  static constexpr TGUID IID = {0xF11554AE, 0x263D, 0x4C04, {0xBC, 0xDB, 0x79, 0xF0, 0x4D, 0xE8, 0x96, 0x09}};
  virtual TIntfPtr<IXcDataItem> SelectedItem() = 0;
  virtual void SelectItem(IXcDataItem* item) = 0;
};

// A consumer extension that decides which items the consumer shows.
struct IXcDataConsumerVisibility : virtual IInterface {
  static constexpr TGUID IID = {0x09EBDED8, 0x502E, 0x4C2E, {0x98, 0x42, 0x31, 0x28, 0x50, 0xFF, 0x33, 0x58}};
  virtual TXcDataVisibility ItemVisibility(IXcDataItem* item) = 0;
};

// The consumer's tree view: the flattened list of the entries shown, depth first.
struct IXcDataConsumerTree : virtual IInterface {
  static constexpr TGUID IID = {0xF3A78F68, 0xD998, 0x4877, {0x8C, 0x73, 0x1E, 0x0D, 0x29, 0x87, 0x80, 0x8D}};
  virtual int32_t AutoExpandDepth() = 0;
  virtual void SetAutoExpandDepth(int32_t value) = 0;
  virtual bool ExpandOnNewItem() = 0;
  virtual void SetExpandOnNewItem(bool value) = 0;
  virtual int32_t LevelIndent() = 0;
  virtual void SetLevelIndent(int32_t value) = 0;
  virtual void Rebuild() = 0;
  virtual void ExpandTreeTo(IXcDataItem* item) = 0;
  virtual void Toggle(int32_t index) = 0;
  virtual int32_t IndexOfItem(IXcDataItem* item) = 0;
  virtual int32_t IndexOfID(const TXcDataItemID& id) = 0;
  virtual int32_t ChildIndexOfItem(IXcDataItem* item) = 0;
  virtual int32_t ChildIndexOfID(const TXcDataItemID& id) = 0;
  virtual TIntfPtr<IXcDataItem> ItemAtIndex(int32_t index) = 0;
  virtual int32_t Level(int32_t index) = 0;
  virtual bool IsExpanded(int32_t index) = 0;
  virtual bool HasChildren(int32_t index) = 0;
  virtual TIntfPtr<IXcDataItem> ParentItem(int32_t index) = 0;
  virtual int32_t ParentIndex(int32_t index) = 0;
  virtual TIntfPtr<IXcDataItem> SiblingItem(int32_t index) = 0;
  virtual int32_t SiblingIndex(int32_t index) = 0;
  virtual TIntfPtr<IXcDataItem> ChildItem(IXcDataItem* parent, int32_t n) = 0;
  virtual TIntfPtr<IXcDataItem> ChildItem(int32_t parentIndex, int32_t n) = 0;
  virtual int32_t ChildIndex(IXcDataItem* parent, int32_t n) = 0;
  virtual int32_t ChildIndex(int32_t parentIndex, int32_t n) = 0;
  // One bit per ancestor level: bit k set when the ancestor at level k has a later sibling.
  virtual std::vector<uint32_t> GroupInfo(int32_t index) = 0;
  virtual int32_t Count() = 0;
};
