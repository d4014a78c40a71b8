#include "imaging/io/ie_wia.h"

#include "platform/system/debug_log.h"

HRESULT TWiaEventCallBack::ImageEventCallback(const TGUID* EventGUID, const std::string&, const std::string&,
                                              const std::string&, uint32_t, const std::string&, uint32_t*,
                                              uint32_t) {
  std::lock_guard guard(lock_);
  if (!wia_ || !EventGUID) return S_OK;
  uint8_t code = 0;
  if (SameGuid(*EventGUID, WIA_EVENT_TREE_UPDATED))
    code = 1;
  else if (SameGuid(*EventGUID, WIA_EVENT_ITEM_CREATED))
    code = 2;
  else if (SameGuid(*EventGUID, WIA_EVENT_ITEM_DELETED))
    code = 3;
  if (code != 0) wia_->EventReceived(code);
  return S_OK;
}

void TWiaEventCallBack::Detach() {
  std::lock_guard guard(lock_);
  wia_ = nullptr;
}

bool TWiaEventCallBack::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IWiaEventCallback>(this, iid, obj) || TInterfacedObject::GetInterface(iid, obj);
}

TIEWia::TIEWia(TObject* Owner) : owner_(Owner) {
  // No object-linking service and no image-acquisition device manager exist on this platform: the
  // registrations in the order item created, item deleted, tree updated are never made.
  OutputDebugString("WIA: no device manager on this system; scanners and cameras are not reachable");
}

TIEWia::~TIEWia() {
  {
    std::lock_guard guard(callbacksLock_);
    for (auto& callback : callbacks_) callback->Detach();
    callbacks_.clear();
  }
  registrations_.clear();
  deviceManager_.Reset();
  ItemTree.clear();
  ControlParent.reset();
}

int32_t TIEWia::RegistrationCount() const { return static_cast<int32_t>(registrations_.size()); }

TIntfPtr<TWiaEventCallBack> TIEWia::NewEventCallback() {
  TIntfPtr<TWiaEventCallBack> callback = CreateObject<TWiaEventCallBack>(this);
  std::lock_guard guard(callbacksLock_);
  callbacks_.push_back(callback);
  return callback;
}

void TIEWia::EventReceived(uint8_t Code) {
  lastEvent_.store(Code);
  if (OnTreeChanged) OnTreeChanged(this);
}
