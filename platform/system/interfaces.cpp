#include "platform/system/interfaces.h"

#include "platform/system/exception.h"

HRESULT TInterfacedObject::QueryInterface(const TGUID& iid, void** obj) {
  *obj = nullptr;
  return GetInterface(iid, obj) ? S_OK : E_NOINTERFACE;
}

int32_t TInterfacedObject::_Release() {
  const int32_t count = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) delete this;
  return count;
}

void TInterfacedObject::Free() {
  if (RefCount() != 0) throw EInvalidPointer("Invalid pointer operation");
  delete this;
}

TInterfacedObject::~TInterfacedObject() {
  // A constructed object goes only through Free or the last release, both at count 0.
  assert(!constructed_ || refCount_.load() == 0);
}

bool TInterfacedObject::GetInterface(const TGUID& iid, void** obj) {
  return OfferInterface<IInterface>(this, iid, obj);
}
