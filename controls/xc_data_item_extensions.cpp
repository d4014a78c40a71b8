#include "controls/xc_data_item_extensions.h"

namespace {

TXcDataItemTextImpl* Text(TStreamable* o) { return static_cast<TXcDataItemTextImpl*>(o); }
TXcDataItemBlockableTextImpl* Blockable(TStreamable* o) { return static_cast<TXcDataItemBlockableTextImpl*>(o); }
TXcDataItemImageImpl* Image(TStreamable* o) { return static_cast<TXcDataItemImageImpl*>(o); }

constexpr TPropInfo kTextProperties[] = {
    {.Name = "Text",
     .Type = ptString,
     .GetString = [](TStreamable* o) { return Text(o)->DefaultText(); },
     .SetString = [](TStreamable* o, const std::string& v) { Text(o)->TXcDataItemTextImpl::SetText(v); }},
};

constexpr TPropInfo kBlockableTextProperties[] = {
    {.Name = "ReadOnly",
     .Type = ptBoolean,
     .GetOrdinal = [](TStreamable* o) -> int32_t { return Blockable(o)->ReadOnly(); },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Blockable(o)->SetReadOnly(v != 0); },
     .HasDefault = true,
     .Default = 0},
};

constexpr const char* kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};

constexpr TPropInfo kImageProperties[] = {
    {.Name = "Alignment",
     .Type = ptEnum,
     .GetOrdinal = [](TStreamable* o) -> int32_t { return Image(o)->Alignment(); },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Image(o)->SetAlignment(static_cast<TAlignment>(v)); },
     .EnumNames = kAlignmentNames,
     .EnumCount = 3,
     .HasDefault = true,
     .Default = taLeftJustify},
    {.Name = "ImageIndex",
     .Type = ptInteger,
     .GetOrdinal = [](TStreamable* o) { return Image(o)->ImageIndex(); },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Image(o)->SetImageIndex(v); },
     .HasDefault = true,
     .Default = 0},
    {.Name = "SelectedIndex",
     .Type = ptInteger,
     .GetOrdinal = [](TStreamable* o) { return Image(o)->SelectedIndex(); },
     .SetOrdinal = [](TStreamable* o, int32_t v) { Image(o)->SetSelectedIndex(v); },
     .HasDefault = true,
     .Default = 0},
};

// A change of the item an extension belongs to, announced with the item as its source.
template <class Fn>
void AnnounceItemChange(TXcDataItemAggregatedObject* extension, Fn&& change) {
  IXcDataItem* item = extension->Item();
  AnnounceChange(ProviderOf(extension).Get(), dcItemChanged, item, item, change);
}

}  // namespace

const TClassRecord TXcBaseDataItemTextImpl::ClassInfo{"TXcBaseDataItemTextImpl", &TXcDataItemAggregatedObject::ClassInfo,
                                                      nullptr, nullptr, 0};
const TClassRecord TXcDataItemTextImpl::ClassInfo{"TXcDataItemTextImpl", &TXcBaseDataItemTextImpl::ClassInfo,
                                                  CreateExtensionFor<TXcDataItemTextImpl>, kTextProperties, 1};
const TClassRecord TXcDataItemContextTextImpl::ClassInfo{"TXcDataItemContextTextImpl", &TXcDataItemTextImpl::ClassInfo,
                                                         CreateExtensionFor<TXcDataItemContextTextImpl>, nullptr, 0};
const TClassRecord TXcDataItemBlockableTextImpl::ClassInfo{"TXcDataItemBlockableTextImpl", &TXcDataItemTextImpl::ClassInfo,
                                                           CreateExtensionFor<TXcDataItemBlockableTextImpl>,
                                                           kBlockableTextProperties, 1};
const TClassRecord TXcBaseDataItemImageImpl::ClassInfo{"TXcBaseDataItemImageImpl", &TXcDataItemAggregatedObject::ClassInfo,
                                                       nullptr, nullptr, 0};
const TClassRecord TXcDataItemImageImpl::ClassInfo{"TXcDataItemImageImpl", &TXcBaseDataItemImageImpl::ClassInfo,
                                                   CreateExtensionFor<TXcDataItemImageImpl>, kImageProperties, 3};

// ------------------------------------------------------------------------------------------------ texts

bool TXcBaseDataItemTextImpl::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItemText>(this, iid, obj) || TXcDataItemAggregatedObject::GetInterface(iid, obj);
}

std::string TXcBaseDataItemTextImpl::Text() { AbstractError(); }
void TXcBaseDataItemTextImpl::SetText(const std::string&) { AbstractError(); }
bool TXcBaseDataItemTextImpl::Editable() { AbstractError(); }

void TXcDataItemTextImpl::SetText(const std::string& value) {
  if (value == text_) return;
  AnnounceItemChange(this, [&] { text_ = value; });
}

TXcDataItemContextTextImpl::~TXcDataItemContextTextImpl() = default;

bool TXcDataItemContextTextImpl::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItemContextCaption>(this, iid, obj) || TXcDataItemTextImpl::GetInterface(iid, obj);
}

TIntfPtr<IXcDataContext> TXcDataItemContextTextImpl::CurrentContext() {
  TIntfPtr<IXcDataProvider> provider = ProviderOf(this);
  return provider ? provider->SelectedContext() : nullptr;
}

int32_t TXcDataItemContextTextImpl::IndexOfContext(IXcDataContext* context) const {
  if (!context) return -1;
  TObject* target = context->Implementor();
  for (size_t i = 0; i < texts_.size(); ++i)
    if (texts_[i].second->Implementor() == target) return static_cast<int32_t>(i);
  return -1;
}

std::string TXcDataItemContextTextImpl::Text() {
  for (TIntfPtr<IXcDataContext> c = CurrentContext(); c;) {
    const int32_t i = IndexOfContext(c.Get());
    if (i >= 0) return texts_[static_cast<size_t>(i)].first;
    TIntfPtr<IXcDataContextList> list = c->OwnerList();
    c = list ? list->Ancestor() : nullptr;
  }
  return DefaultText();
}

void TXcDataItemContextTextImpl::SetText(const std::string& value) {
  TIntfPtr<IXcDataContext> context = CurrentContext();
  if (!context) {
    TXcDataItemTextImpl::SetText(value);
    return;
  }
  if (value == Text()) return;
  AnnounceItemChange(this, [&] {
    const int32_t i = IndexOfContext(context.Get());
    if (i >= 0) texts_[static_cast<size_t>(i)].first = value;
    else texts_.emplace_back(value, context);
  });
}

void TXcDataItemContextTextImpl::RevertToDefault() {
  const int32_t i = IndexOfContext(CurrentContext().Get());
  if (i < 0) return;
  AnnounceItemChange(this, [&] { texts_.erase(texts_.begin() + i); });
}

bool TXcDataItemContextTextImpl::IsDefault() { return IndexOfContext(CurrentContext().Get()) < 0; }

void TXcDataItemContextTextImpl::ContextDestroyed(IXcDataContext* context) {
  const int32_t i = IndexOfContext(context);
  if (i >= 0) texts_.erase(texts_.begin() + i);
}

void TXcDataItemBlockableTextImpl::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  AnnounceItemChange(this, [&] { readOnly_ = value; });
}

// ----------------------------------------------------------------------------------------------- images

bool TXcBaseDataItemImageImpl::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataItemGlyph>(this, iid, obj) || TXcDataItemAggregatedObject::GetInterface(iid, obj);
}

TAlignment TXcBaseDataItemImageImpl::Alignment() { AbstractError(); }
void TXcBaseDataItemImageImpl::SetAlignment(TAlignment) { AbstractError(); }
int32_t TXcBaseDataItemImageImpl::ImageIndex() { AbstractError(); }
void TXcBaseDataItemImageImpl::SetImageIndex(int32_t) { AbstractError(); }
int32_t TXcBaseDataItemImageImpl::SelectedIndex() { AbstractError(); }
void TXcBaseDataItemImageImpl::SetSelectedIndex(int32_t) { AbstractError(); }

template <class T>
void TXcDataItemImageImpl::Change(T& field, T value) {
  if (value == field) return;
  AnnounceItemChange(this, [&] { field = value; });
}

void TXcDataItemImageImpl::SetAlignment(TAlignment value) { Change(alignment_, value); }
void TXcDataItemImageImpl::SetImageIndex(int32_t value) { Change(imageIndex_, value); }
void TXcDataItemImageImpl::SetSelectedIndex(int32_t value) { Change(selectedIndex_, value); }
