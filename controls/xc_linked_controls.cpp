#include "controls/xc_linked_controls.h"

#include "platform/ui/controls.h"

bool LinkedControlEnabled(bool boxEnabled, bool boxChecked, TXcLinkedControlsOptions options) {
  bool e = options.Contains(loInvertEnabled) ? !boxEnabled : boxEnabled;
  bool c = options.Contains(loInvertChecked) ? !boxChecked : boxChecked;
  bool linkChecked = options.Contains(loLinkChecked), linkEnabled = options.Contains(loLinkEnabled);
  if (linkChecked && linkEnabled) return e && c;
  if (linkChecked) return c;
  if (linkEnabled) return e;
  return false;
}

// ---------------------------------------------------------------------------------- TXcLinkedControl

TXcLinkedControl::TXcLinkedControl(TCollection* collection) : TCollectionItem(collection) {}

TXcLinkedControl::~TXcLinkedControl() {
  if (!control_) return;
  TControl* owner = OwnerControl();
  if (owner) control_->RemoveFreeNotification(owner);
  TXcLinkedControls* links = Links();
  if (!(control_->ComponentState() & csDestroying) && links && links->RestoreEnabled())
    control_->SetEnabled(savedEnabled_);
}

TXcLinkedControls* TXcLinkedControl::Links() const { return dynamic_cast<TXcLinkedControls*>(Collection()); }

TControl* TXcLinkedControl::OwnerControl() {
  if (!ownerControl_)
    if (TXcLinkedControls* links = Links()) ownerControl_ = links->OwnerControl();
  return ownerControl_;
}

void TXcLinkedControl::SetControl(TControl* value) {
  if (value == control_) return;
  TControl* owner = OwnerControl();
  if (value && value == owner) throw Exception("Cannot link to owner control");
  TXcLinkedControls* links = Links();
  if (control_) {
    if (owner) control_->RemoveFreeNotification(owner);
    if (links && links->RestoreEnabled() && !(control_->ComponentState() & csDestroying))
      control_->SetEnabled(savedEnabled_);
  }
  control_ = owner && (owner->ComponentState() & csDestroying) ? nullptr : value;
  if (control_) {
    savedEnabled_ = control_->Enabled();
    if (owner) control_->FreeNotification(owner);
  }
  Changed(false);
}

void TXcLinkedControl::SetOptions(TXcLinkedControlsOptions value) {
  if (value == options_) return;
  options_ = value;
  Changed(false);
}

void TXcLinkedControl::Assign(TPersistent* source) {
  if (source == this) return;
  if (auto* other = dynamic_cast<TXcLinkedControl*>(source)) {
    SetControl(other->Control());
    options_ = other->Options();
    Changed(false);
    return;
  }
  TCollectionItem::Assign(source);
}

std::string TXcLinkedControl::DisplayName() {
  if (control_ && !control_->Name().empty()) return control_->Name();
  return TCollectionItem::DisplayName();
}

// --------------------------------------------------------------------------------- TXcLinkedControls

TXcLinkedControls::TXcLinkedControls(TControl* owner) : TCollectionOf<TXcLinkedControl>(owner), owner_(owner) {}

void TXcLinkedControls::Update(TCollectionItem* item) {
  TCollectionOf<TXcLinkedControl>::Update(item);
  if (auto* link = dynamic_cast<TXcLinkedControl*>(item)) link->OwnerControl();
  if (OnChanged) OnChanged();
}

void TXcLinkedControls::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TXcLinkedControls*>(source)) {
    BeginUpdate();
    try {
      TCollectionOf<TXcLinkedControl>::Assign(source);
      restoreEnabled_ = other->RestoreEnabled();
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TCollectionOf<TXcLinkedControl>::Assign(source);
}

void TXcLinkedControls::ComponentRemoved(TComponent* component) {
  if (owner_ && (owner_->ComponentState() & csDestroying)) {
    // The owner goes too (its form frees everything): the entries only forget the control.
    for (int i = 0; i < Count(); ++i)
      if (Items(i)->control_ == component) Items(i)->control_ = nullptr;
    return;
  }
  BeginUpdate();
  try {
    for (int i = 0; i < Count(); ++i)
      if (Items(i)->Control() == component) Items(i)->SetControl(nullptr);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}
