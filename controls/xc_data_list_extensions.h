#pragma once
// Extensions of item lists: editing (IXcDataItemsEditing), the image lists the items' glyphs come
// from (IXcDataItemsImageLists), and drawing (IXcDataItemsPainter) with the text renderer and its
// render objects.
#include <string>

#include "controls/xc_data_items.h"
#include "platform/ui/image_list.h"

class TCanvas;

class TXcBaseDataItemsManagement : public TXcDataItemsAggregatedObject, public IXcDataItemsEditing {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcBaseDataItemsManagement(TExtensibleInterfacedPersistent* owner) : TXcDataItemsAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;
  // Left to descendants (EAbstractError here).
  TIntfPtr<IXcDataItem> Add(IXcDataItem* item) override;
  TIntfPtr<IXcDataItem> New() override;
  void Clear() override;
  void Delete(int32_t index) override;
  void Remove(TIntfPtr<IXcDataItem>& item) override;
};

// Editing a TXcDataItemsList, each step announced to the provider before and after:
//   Add     dcItemAdded (the list / the item)        Clear   dcListChanged (the list / the list)
//   Delete  dcItemDeleted (the item / nothing)       Remove  as Delete, for the item a reference holds
// Deleting or removing an item that is not deletable raises EXCLDataItems "Item cannot be deleted".
class TXcBaseDataItemsListManagement : public TXcBaseDataItemsManagement {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  // Raises EXCLDataProvider "Invalid class type" for an owner that is not a TXcDataItemsList.
  explicit TXcBaseDataItemsListManagement(TExtensibleInterfacedPersistent* owner);

  TIntfPtr<IXcDataItem> Add(IXcDataItem* item) override;
  void Clear() override;
  void Delete(int32_t index) override;
  // A counted item stays where it is; the list's own items go and the reference is emptied.
  void Remove(TIntfPtr<IXcDataItem>& item) override;

 protected:
  TXcDataItemsList* List() const { return list_; }

 private:
  TXcDataItemsList* list_;
};

class TXcBaseDataItemsImagesImpl : public TXcDataItemsAggregatedObject, public IXcDataItemsImageLists {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcBaseDataItemsImagesImpl(TExtensibleInterfacedPersistent* owner) : TXcDataItemsAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;
  // Left to descendants (EAbstractError here).
  TCustomImageList* DisabledImages() override;
  void SetDisabledImages(TCustomImageList* value) override;
  TCustomImageList* HotImages() override;
  void SetHotImages(TCustomImageList* value) override;
  TCustomImageList* Images() override;
  void SetImages(TCustomImageList* value) override;
};

// The three image lists, each followed through a change link so that a list that is freed reads
// as none. Setting a different list announces dcListChanged with the list before and after.
class TXcCustomDataItemsImages : public TXcBaseDataItemsImagesImpl {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcCustomDataItemsImages(TExtensibleInterfacedPersistent* owner) : TXcBaseDataItemsImagesImpl(owner) {}

  TCustomImageList* DisabledImages() override { return disabled_.Sender(); }
  void SetDisabledImages(TCustomImageList* value) override { SetImageList(disabled_, value); }
  TCustomImageList* HotImages() override { return hot_.Sender(); }
  void SetHotImages(TCustomImageList* value) override { SetImageList(hot_, value); }
  TCustomImageList* Images() override { return images_.Sender(); }
  void SetImages(TCustomImageList* value) override { SetImageList(images_, value); }

 private:
  void SetImageList(TChangeLink& link, TCustomImageList* value);
  TChangeLink disabled_, hot_, images_;
};

// Draws and measures a list's items: an item that draws itself (IXcDataItemPainter) does, the
// renderer draws the others. An index outside the list raises EXCLDataItems
// "List index out of bounds (%d)"; measuring index -1 gives the average item size, the extent of
// "WyWyWyWyWyWyWyWyWyWy".
class TXcBaseDataItemsRenderer : public TXcDataItemsAggregatedObject, public IXcDataItemsPainter {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcBaseDataItemsRenderer(TExtensibleInterfacedPersistent* owner) : TXcDataItemsAggregatedObject(owner) {}

  bool GetInterface(const TGUID& iid, void** obj) override;
  void DrawByIndex(int32_t index, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) override;
  TSize MeasureByIndex(int32_t index, TCanvas* canvas) override;
  void DrawItem(IXcDataItem* item, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) override;
  TSize MeasureItem(IXcDataItem* item, TCanvas* canvas) override;
  TSize AverageItemSize(TCanvas* canvas) override;

 protected:
  // How the renderer draws and measures an item that does not draw itself (EAbstractError here).
  virtual void RenderItem(IXcDataItem* item, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state);
  virtual TSize RenderedSize(IXcDataItem* item, TCanvas* canvas);

 private:
  TIntfPtr<IXcDataItem> ItemAt(int32_t index);
};

// Draws an item's text at the top-left corner of its rectangle, clipped to it.
class TXcCustomDataItemsTextRenderer : public TXcBaseDataItemsRenderer {
 public:
  static const TClassRecord ClassInfo;
  TPersistentClass ClassType() const override { return &ClassInfo; }
  explicit TXcCustomDataItemsTextRenderer(TExtensibleInterfacedPersistent* owner) : TXcBaseDataItemsRenderer(owner) {}

 protected:
  void RenderItem(IXcDataItem* item, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) override;
  TSize RenderedSize(IXcDataItem* item, TCanvas* canvas) override;
};

// One item's drawing or measuring on a canvas.
class TXcDP_ProviderBaseRender : public TObject {
 public:
  TXcDP_ProviderBaseRender(IXcDataItem* item, TCanvas* canvas, TXcDataItemDrawState state, const TRect& rect)
      : item_(item), canvas_(canvas), state_(state), rect_(rect) {}
  virtual void Prepare(bool forMeasuring) = 0;
  virtual void Draw() = 0;
  virtual TSize Measure() = 0;

 protected:
  TIntfPtr<IXcDataItem> item_;
  TCanvas* canvas_;
  TXcDataItemDrawState state_;
  TRect rect_;
};

class TXcDP_ProviderTextOnlyRender : public TXcDP_ProviderBaseRender {
 public:
  using TXcDP_ProviderBaseRender::TXcDP_ProviderBaseRender;
  // The item's text, or "(item does not support the IXcDataItemText interface)".
  void Prepare(bool forMeasuring) override;
  void Draw() override;
  TSize Measure() override;
  const std::string& Text() const { return text_; }
  bool NoText() const { return noText_; }

 private:
  std::string text_;
  bool noText_ = false;
};
