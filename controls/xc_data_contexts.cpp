#include "controls/xc_data_contexts.h"

#include "platform/system/classes.h"
#include "platform/system/compare_text.h"

namespace {

constexpr TPropInfo kContextProperties[] = {
    {.Name = "Name",
     .Type = ptString,
     .GetString = [](TStreamable* o) { return static_cast<TXcDataContext*>(o)->Name(); },
     .SetString = [](TStreamable* o, const std::string& v) { static_cast<TXcDataContext*>(o)->SetName(v); }},
};

template <class T>
TObject* CreateContextFor(TObject* owner) {
  return ConstructObject<T>(static_cast<TXcBaseDataContexts*>(owner));
}

}  // namespace

const TClassRecord TXcBaseDataContexts::ClassInfo{"TXcBaseDataContexts", &TExtensibleInterfacedPersistent::ClassInfo, nullptr,
                                                  nullptr, 0};
const TClassRecord TXcDataContexts::ClassInfo{"TXcDataContexts", &TXcBaseDataContexts::ClassInfo, nullptr, nullptr, 0};
const TClassRecord TXcBaseDataContext::ClassInfo{"TXcBaseDataContext", &TExtensibleInterfacedPersistent::ClassInfo, nullptr,
                                                 nullptr, 0};
const TClassRecord TXcDataContext::ClassInfo{"TXcDataContext", &TXcBaseDataContext::ClassInfo,
                                             CreateContextFor<TXcDataContext>, kContextProperties, 1};
const TClassRecord TXcManagedDataContext::ClassInfo{"TXcManagedDataContext", &TXcDataContext::ClassInfo,
                                                    CreateContextFor<TXcManagedDataContext>, nullptr, 0};
const TClassRecord TXcFixedDataContext::ClassInfo{"TXcFixedDataContext", &TXcDataContext::ClassInfo,
                                                  CreateContextFor<TXcFixedDataContext>, nullptr, 0};

// ---------------------------------------------------------------------------------- TXcBaseDataContexts

bool TXcBaseDataContexts::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataContextList>(this, iid, obj) || TExtensibleInterfacedPersistent::GetInterface(iid, obj);
}

int32_t TXcBaseDataContexts::IndexOf(IXcDataContext* context) {
  if (!context) return -1;
  TObject* target = context->Implementor();
  for (int32_t i = GetCount(); i-- > 0;)
    if (GetContext(i)->Implementor() == target) return i;
  return -1;
}

TIntfPtr<IXcDataContext> TXcBaseDataContexts::ContextByName(const std::string& namePath) {
  TIntfPtr<IXcDataContextList> list(static_cast<IXcDataContextList*>(this));
  std::string_view path(namePath);
  // Every step consumes a segment, but for the empty rest after a last separator or "..": a list
  // that claims an ancestor it cannot reach must not make that loop for ever.
  for (size_t steps = 0; list && steps <= namePath.size() + 2; ++steps) {
    const size_t cut = path.find_first_of("\\/");
    const std::string_view segment = path.substr(0, cut);
    const std::string_view rest = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
    if (segment == "..") {
      TIntfPtr<IXcDataContext> ancestor = list->Ancestor();
      if (!ancestor) return nullptr;
      list = ancestor->OwnerList();
      path = rest;
      continue;
    }
    if (segment.empty() && list->Ancestor()) {
      TIntfPtr<IXcDataProvider> provider = list->Provider();
      list = Supports<IXcDataContextList>(provider);
      path = rest;
      continue;
    }
    TIntfPtr<IXcDataContext> match;
    for (int32_t i = list->Count(); i-- > 0 && !match;) {
      TIntfPtr<IXcDataContext> c = list->Contexts(i);
      if (c && SameText(c->Name(), segment)) match = c;
    }
    if (!match || rest.empty()) return match;
    // With path left, the rest is looked up among the matched context's siblings.
    list = match->OwnerList();
    path = rest;
  }
  return nullptr;
}

void TXcBaseDataContexts::OrphanContext(IXcDataContext* context) {
  if (auto* c = dynamic_cast<TXcBaseDataContext*>(context->Implementor()))
    if (c->owner_ == this) c->owner_ = nullptr;
}

// -------------------------------------------------------------------------------------- TXcDataContexts

TXcDataContexts::~TXcDataContexts() {
  for (const TIntfPtr<IXcDataContext>& c : contexts_) OrphanContext(c.Get());
}

IXcDataContext* TXcDataContexts::GetContext(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= contexts_.size()) ListIndexError(index);
  return contexts_[static_cast<size_t>(index)].Get();
}

void TXcDataContexts::AddContext(IXcDataContext* context) {
  if (!context || IndexOf(context) >= 0) return;
  const TXcDataContextID name = context->Name();
  for (const TIntfPtr<IXcDataContext>& c : contexts_)
    if (SameText(c->Name(), name)) throw EXCLDataContexts("A context with that name already exists");
  TIntfPtr<IXcDataProvider> provider = Provider();
  TIntfPtr<IXcDataContext> ancestor = Ancestor();
  AnnounceChange(provider.Get(), dcContextAdded, ancestor.Get(), context, [&] { contexts_.emplace_back(context); });
}

void TXcDataContexts::DeleteContext(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= contexts_.size()) return;
  TIntfPtr<IXcDataContext> context = contexts_[static_cast<size_t>(index)];
  if (!context->IsDeletable()) return;
  TIntfPtr<IXcDataProvider> provider = Provider();
  TIntfPtr<IXcDataContext> ancestor = Ancestor();
  AnnounceChange(provider.Get(), dcContextDeleted, context.Get(), ancestor.Get(), [&] {
    OrphanContext(context.Get());
    contexts_.erase(contexts_.begin() + index);
  });
}

void TXcDataContexts::RemoveContext(IXcDataContext* context) {
  const int32_t index = IndexOf(context);
  if (index >= 0) DeleteContext(index);
}

void TXcDataContexts::Clear() {
  std::vector<TIntfPtr<IXcDataContext>> contexts;
  contexts.swap(contexts_);
  for (const TIntfPtr<IXcDataContext>& c : contexts) OrphanContext(c.Get());
}

// ----------------------------------------------------------------------------------------- the contexts

TXcBaseDataContext::TXcBaseDataContext(TXcBaseDataContexts* owner) : owner_(owner) {
  if (!owner) throw EXCLDataContexts("Cannot create a context without a context list owner");
}

bool TXcBaseDataContext::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataContext>(this, iid, obj) || TExtensibleInterfacedPersistent::GetInterface(iid, obj);
}

TXcDataContext::TXcDataContext(TXcBaseDataContexts* owner, const TXcDataContextID& name) : TXcBaseDataContext(owner) {
  SetName(name);
}

void TXcDataContext::SetName(const TXcDataContextID& value) {
  if (value == name_) return;
  if (TXcBaseDataContexts* list = OwnerObject()) {
    TIntfPtr<IXcDataContext> other = list->ContextByName(value);
    if (other && other->Implementor() != this) throw EXCLDataContexts("A context with that name already exists");
  }
  name_ = value;
}

bool TXcManagedDataContext::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IXcDataContextRename>(this, iid, obj) || TXcDataContext::GetInterface(iid, obj);
}
