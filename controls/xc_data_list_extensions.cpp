#include "controls/xc_data_list_extensions.h"

#include "platform/gdi/graphics.h"

namespace {

TXcCustomDataItemsImages* Images(TStreamable* o) { return static_cast<TXcCustomDataItemsImages*>(o); }
TCustomImageList* AsImageList(TComponent* c) { return dynamic_cast<TCustomImageList*>(c); }

constexpr TPropInfo kImagesProperties[] = {
    {.Name = "DisabledImages",
     .Type = ptComponent,
     .GetComponent = [](TStreamable* o) -> TComponent* { return Images(o)->DisabledImages(); },
     .SetComponent = [](TStreamable* o, TComponent* c) { Images(o)->SetDisabledImages(AsImageList(c)); }},
    {.Name = "HotImages",
     .Type = ptComponent,
     .GetComponent = [](TStreamable* o) -> TComponent* { return Images(o)->HotImages(); },
     .SetComponent = [](TStreamable* o, TComponent* c) { Images(o)->SetHotImages(AsImageList(c)); }},
    {.Name = "Images",
     .Type = ptComponent,
     .GetComponent = [](TStreamable* o) -> TComponent* { return Images(o)->Images(); },
     .SetComponent = [](TStreamable* o, TComponent* c) { Images(o)->SetImages(AsImageList(c)); }},
};

constexpr char kAverageText[] = "WyWyWyWyWyWyWyWyWyWy";

}  // namespace

const TClassRecord TXcBaseDataItemsManagement::ClassInfo{"TXcBaseDataItemsManagement", &TXcDataItemsAggregatedObject::ClassInfo,
                                                         nullptr, nullptr, 0};
const TClassRecord TXcBaseDataItemsListManagement::ClassInfo{"TXcBaseDataItemsListManagement",
                                                             &TXcBaseDataItemsManagement::ClassInfo,
                                                             CreateExtensionFor<TXcBaseDataItemsListManagement>, nullptr, 0};
const TClassRecord TXcBaseDataItemsImagesImpl::ClassInfo{"TXcBaseDataItemsImagesImpl", &TXcDataItemsAggregatedObject::ClassInfo,
                                                         nullptr, nullptr, 0};
const TClassRecord TXcCustomDataItemsImages::ClassInfo{"TXcCustomDataItemsImages", &TXcBaseDataItemsImagesImpl::ClassInfo,
                                                       CreateExtensionFor<TXcCustomDataItemsImages>, kImagesProperties, 3};
const TClassRecord TXcBaseDataItemsRenderer::ClassInfo{"TXcBaseDataItemsRenderer", &TXcDataItemsAggregatedObject::ClassInfo,
                                                       nullptr, nullptr, 0};
const TClassRecord TXcCustomDataItemsTextRenderer::ClassInfo{"TXcCustomDataItemsTextRenderer",
                                                             &TXcBaseDataItemsRenderer::ClassInfo,
                                                             CreateExtensionFor<TXcCustomDataItemsTextRenderer>, nullptr, 0};

// ---------------------------------------------------------------------------------------------- editing

bool TXcBaseDataItemsManagement::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItemsEditing>(this, iid, obj) || TXcDataItemsAggregatedObject::GetInterface(iid, obj);
}

TIntfPtr<IXcDataItem> TXcBaseDataItemsManagement::Add(IXcDataItem*) { AbstractError(); }
TIntfPtr<IXcDataItem> TXcBaseDataItemsManagement::New() { AbstractError(); }
void TXcBaseDataItemsManagement::Clear() { AbstractError(); }
void TXcBaseDataItemsManagement::Delete(int32_t) { AbstractError(); }
void TXcBaseDataItemsManagement::Remove(TIntfPtr<IXcDataItem>&) { AbstractError(); }

TXcBaseDataItemsListManagement::TXcBaseDataItemsListManagement(TExtensibleInterfacedPersistent* owner)
    : TXcBaseDataItemsManagement(owner), list_(nullptr) {
  if (!owner->ClassType()->InheritsFrom(&TXcDataItemsList::ClassInfo)) throw EXCLDataProvider("Invalid class type");
  list_ = static_cast<TXcDataItemsList*>(owner);
}

TIntfPtr<IXcDataItem> TXcBaseDataItemsListManagement::Add(IXcDataItem* item) {
  list_->AddableItem(item);  // a refused item is refused before anything is announced
  AnnounceChange(list_->ProviderRef(), dcItemAdded, Items(), item, [&] { list_->InternalAdd(item); });
  return item;
}

void TXcBaseDataItemsListManagement::Clear() {
  AnnounceChange(list_->ProviderRef(), dcListChanged, Items(), Items(), [&] { list_->FreeItems(); });
}

void TXcBaseDataItemsListManagement::Delete(int32_t index) {
  TXcBaseDataItem* item = list_->ItemObject(index);
  if (!item->IsDeletable()) throw EXCLDataItems("Item cannot be deleted");
  list_->FreeableItem(index);  // refused before anything is announced
  AnnounceChange(list_->ProviderRef(), dcItemDeleted, static_cast<IXcDataItem*>(item), nullptr,
                 [&] { list_->InternalDelete(index); });
}

void TXcBaseDataItemsListManagement::Remove(TIntfPtr<IXcDataItem>& item) {
  if (!item) return;
  if (!item->IsDeletable()) throw EXCLDataItems("Item cannot be deleted");
  auto* obj = dynamic_cast<TXcBaseDataItem*>(item->Implementor());
  if (!obj || obj->Counted() || obj->OwnerObject() != list_) return;
  const int32_t index = obj->Index();
  if (index < 0) return;
  list_->FreeableItem(index);  // refused before anything is announced
  item.Reset();  // the list's own items are not counted: the object lives on until it is freed below
  AnnounceChange(list_->ProviderRef(), dcItemDeleted, static_cast<IXcDataItem*>(obj), nullptr,
                 [&] { list_->InternalDelete(index); });
}

// ------------------------------------------------------------------------------------------ image lists

bool TXcBaseDataItemsImagesImpl::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItemsImageLists>(this, iid, obj) || TXcDataItemsAggregatedObject::GetInterface(iid, obj);
}

TCustomImageList* TXcBaseDataItemsImagesImpl::DisabledImages() { AbstractError(); }
void TXcBaseDataItemsImagesImpl::SetDisabledImages(TCustomImageList*) { AbstractError(); }
TCustomImageList* TXcBaseDataItemsImagesImpl::HotImages() { AbstractError(); }
void TXcBaseDataItemsImagesImpl::SetHotImages(TCustomImageList*) { AbstractError(); }
TCustomImageList* TXcBaseDataItemsImagesImpl::Images() { AbstractError(); }
void TXcBaseDataItemsImagesImpl::SetImages(TCustomImageList*) { AbstractError(); }

void TXcCustomDataItemsImages::SetImageList(TChangeLink& link, TCustomImageList* value) {
  if (value == link.Sender()) return;
  IXcDataItems* list = TXcDataItemsAggregatedObject::Items();
  TIntfPtr<IXcDataProvider> provider = list->Provider();
  AnnounceChange(provider.Get(), dcListChanged, list, list, [&] {
    if (value) value->RegisterChanges(&link);
    else link.Sender()->UnRegisterChanges(&link);
  });
}

// -------------------------------------------------------------------------------------------- rendering

bool TXcBaseDataItemsRenderer::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItemsPainter>(this, iid, obj) || TXcDataItemsAggregatedObject::GetInterface(iid, obj);
}

TIntfPtr<IXcDataItem> TXcBaseDataItemsRenderer::ItemAt(int32_t index) {
  if (index < 0 || index >= Items()->Count()) throw EXCLDataItems(Format("List index out of bounds (%d)", index));
  return Items()->Items(index);
}

void TXcBaseDataItemsRenderer::DrawByIndex(int32_t index, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) {
  DrawItem(ItemAt(index).Get(), canvas, rect, state);
}

TSize TXcBaseDataItemsRenderer::MeasureByIndex(int32_t index, TCanvas* canvas) {
  if (index == -1) return AverageItemSize(canvas);
  return MeasureItem(ItemAt(index).Get(), canvas);
}

void TXcBaseDataItemsRenderer::DrawItem(IXcDataItem* item, TCanvas* canvas, const TRect& rect, TXcDataItemDrawState state) {
  if (TIntfPtr<IXcDataItemPainter> painter = Supports<IXcDataItemPainter>(item)) painter->Draw(canvas, rect, state);
  else RenderItem(item, canvas, rect, state);
}

TSize TXcBaseDataItemsRenderer::MeasureItem(IXcDataItem* item, TCanvas* canvas) {
  if (TIntfPtr<IXcDataItemPainter> painter = Supports<IXcDataItemPainter>(item)) {
    TSize size;
    painter->Measure(canvas, size);
    return size;
  }
  return RenderedSize(item, canvas);
}

TSize TXcBaseDataItemsRenderer::AverageItemSize(TCanvas* canvas) { return canvas->TextExtent(kAverageText); }

void TXcBaseDataItemsRenderer::RenderItem(IXcDataItem*, TCanvas*, const TRect&, TXcDataItemDrawState) { AbstractError(); }
TSize TXcBaseDataItemsRenderer::RenderedSize(IXcDataItem*, TCanvas*) { AbstractError(); }

void TXcCustomDataItemsTextRenderer::RenderItem(IXcDataItem* item, TCanvas* canvas, const TRect& rect,
                                                TXcDataItemDrawState state) {
  TXcDP_ProviderTextOnlyRender render(item, canvas, state, rect);
  render.Prepare(false);
  render.Draw();
}

TSize TXcCustomDataItemsTextRenderer::RenderedSize(IXcDataItem* item, TCanvas* canvas) {
  TXcDP_ProviderTextOnlyRender render(item, canvas, 0, TRect{});
  render.Prepare(true);
  return render.Measure();
}

void TXcDP_ProviderTextOnlyRender::Prepare(bool) {
  if (TIntfPtr<IXcDataItemText> text = Supports<IXcDataItemText>(item_)) {
    text_ = text->Text();
    noText_ = false;
  } else {
    text_ = "(item does not support the IXcDataItemText interface)";
    noText_ = true;
  }
}

void TXcDP_ProviderTextOnlyRender::Draw() { canvas_->TextRect(rect_, rect_.Left, rect_.Top, text_); }

TSize TXcDP_ProviderTextOnlyRender::Measure() { return canvas_->TextExtent(text_); }
