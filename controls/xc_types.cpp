#include "controls/xc_types.h"

#include <cassert>

namespace {

// The owner of another persistent object (its protected GetOwner, reached through a subclass).
struct OwnerAccess : TPersistent {
  static TPersistent* Of(TPersistent* p) { return (p->*(&OwnerAccess::GetOwner))(); }
};

}  // namespace

// -------------------------------------------------------------------------------------- TXcPersistent

TXcPersistent::TXcPersistent(TPersistent* owner)
    : TComponent(dynamic_cast<TComponent*>(owner)), owner_(owner) {
  SetSubComponent(true);
}

std::string TXcPersistent::GetNamePath() {
  std::string result = TComponent::GetNamePath();
  if (!owner_) return result;
  auto* ownerComponent = dynamic_cast<TComponent*>(owner_);
  bool subComponent = ownerComponent && (ownerComponent->ComponentStyle() & csSubComponent);
  if (subComponent || OwnerAccess::Of(owner_)) {
    std::string path = owner_->GetNamePath();
    if (!path.empty()) result = path + "." + result;
  }
  return result;
}

// ------------------------------------------------------------------------------ TXcPersistentProperty

void TXcPersistentProperty::LockChanges() {
  if (changeLockCount_ == 0) SetUpdating(true);
  ++changeLockCount_;
}

void TXcPersistentProperty::UnlockChanges() {
  // An unlock without its lock would leave the count below zero and silence every later change.
  assert(changeLockCount_ > 0 && "UnlockChanges without LockChanges");
  if (changeLockCount_ <= 0) return;
  if (--changeLockCount_ == 0) SetUpdating(false);
}

void TXcPersistentProperty::SetUpdating(bool updating) {
  if (updating) NotifyChanging();
  else NotifyChanged();
}

void TXcPersistentProperty::NotifyChanging() {
  if (changeLockCount_ == 0 && OnBeforeChange) OnBeforeChange(this);
}

void TXcPersistentProperty::NotifyChanged() {
  if (changeLockCount_ == 0 && OnAfterChange) OnAfterChange(this);
}

void TXcPersistentProperty::NotifyPropertyChanging(const std::string& propName) {
  if (OnBeforePropertyChange) OnBeforePropertyChange(this, propName);
}

void TXcPersistentProperty::NotifyPropertyChanged(const std::string& propName) {
  if (OnAfterPropertyChange) OnAfterPropertyChange(this, propName);
}
