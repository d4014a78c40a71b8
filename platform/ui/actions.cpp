#include "platform/ui/actions.h"

#include <algorithm>

#include "platform/ui/image_list.h"

// --------------------------------------------------------------------------------------- TBasicAction

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  while (!clients_.empty()) clients_.back()->SetAction(nullptr);
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

void TBasicAction::Change() {
  // A link may let go of the action while it hears of the change.
  std::vector<TBasicActionLink*> links = clients_;
  for (TBasicActionLink* link : links)
    if (std::find(clients_.begin(), clients_.end(), link) != clients_.end()) link->Change();
}

void TBasicAction::RegisterChanges(TBasicActionLink* link) {
  if (std::find(clients_.begin(), clients_.end(), link) == clients_.end()) clients_.push_back(link);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* link) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), link), clients_.end());
}

// -------------------------------------------------------------------------------------- TCustomAction

TCustomAction::TCustomAction(TComponent* owner) : TBasicAction(owner) {}

TCustomAction::~TCustomAction() {
  if (actionList_) actionList_->RemoveAction(this);
}

void TCustomAction::SetActionList(TActionList* value) {
  if (value == actionList_) return;
  if (actionList_) actionList_->RemoveAction(this);
  if (value) value->AddAction(this);
}

template <class T, class Set>
void TCustomAction::Update(T& field, const T& value, Set set) {
  if (field == value) return;
  // The links hear of the new value while the action still holds the old one, so that a link can
  // tell whether its client still shows the action's value (and follows it) or one of its own.
  std::vector<TBasicActionLink*> links = clients_;
  for (TBasicActionLink* l : links) {
    if (std::find(clients_.begin(), clients_.end(), l) == clients_.end()) continue;
    if (auto* link = dynamic_cast<TActionLink*>(l)) set(link);
  }
  field = value;
  Change();
}

void TCustomAction::SetCaption(const std::string& value) {
  Update(caption_, value, [&](TActionLink* l) {
    if (l->IsCaptionLinked()) l->SetCaption(value);
  });
}

void TCustomAction::SetChecked(bool value) {
  if (value == checked_) return;
  Update(checked_, value, [&](TActionLink* l) {
    if (l->IsCheckedLinked()) l->SetChecked(value);
  });
  // One action of a group is checked at a time.
  if (value && groupIndex_ > 0 && actionList_) {
    for (int i = 0; i < actionList_->ActionCount(); ++i) {
      TCustomAction* a = actionList_->Actions(i);
      if (a != this && a->groupIndex_ == groupIndex_) a->SetChecked(false);
    }
  }
}

void TCustomAction::SetEnabled(bool value) {
  Update(enabled_, value, [&](TActionLink* l) {
    if (l->IsEnabledLinked()) l->SetEnabled(value);
  });
}

void TCustomAction::SetGroupIndex(int value) {
  Update(groupIndex_, value, [&](TActionLink* l) {
    if (l->IsGroupIndexLinked()) l->SetGroupIndex(value);
  });
}

void TCustomAction::SetHelpContext(int value) {
  Update(helpContext_, value, [&](TActionLink* l) {
    if (l->IsHelpContextLinked()) l->SetHelpContext(value);
  });
}

void TCustomAction::SetHint(const std::string& value) {
  Update(hint_, value, [&](TActionLink* l) {
    if (l->IsHintLinked()) l->SetHint(value);
  });
}

void TCustomAction::SetImageIndex(int value) {
  Update(imageIndex_, value, [&](TActionLink* l) {
    if (l->IsImageIndexLinked()) l->SetImageIndex(value);
  });
}

void TCustomAction::SetShortCut(TShortCut value) {
  Update(shortCut_, value, [&](TActionLink* l) {
    if (l->IsShortCutLinked()) l->SetShortCut(value);
  });
}

void TCustomAction::SetVisible(bool value) {
  Update(visible_, value, [&](TActionLink* l) {
    if (l->IsVisibleLinked()) l->SetVisible(value);
  });
}

bool TCustomAction::Execute() { return enabled_ && TBasicAction::Execute(); }

// ---------------------------------------------------------------------------------------- TActionList

TActionList::TActionList(TComponent* owner) : TComponent(owner) {}

TActionList::~TActionList() {
  for (TCustomAction* a : actions_) a->actionList_ = nullptr;
}

void TActionList::AddAction(TCustomAction* action) {
  if (!action || action->actionList_ == this) return;
  if (action->actionList_) action->actionList_->RemoveAction(action);
  actions_.push_back(action);
  action->actionList_ = this;
  action->FreeNotification(this);
}

void TActionList::RemoveAction(TCustomAction* action) {
  auto it = std::find(actions_.begin(), actions_.end(), action);
  if (it == actions_.end()) return;
  actions_.erase(it);
  action->actionList_ = nullptr;
}

void TActionList::SetImages(TCustomImageList* value) {
  if (value == images_) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = value;
  if (images_) images_->FreeNotification(this);
  Change();
}

void TActionList::Change() {
  if (OnChange) OnChange(this);
  for (TCustomAction* a : std::vector<TCustomAction*>(actions_)) a->Change();
}

void TActionList::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (static_cast<void*>(component) == static_cast<void*>(images_)) {
    images_ = nullptr;
    Change();
  }
  if (auto* a = dynamic_cast<TCustomAction*>(component)) RemoveAction(a);
}

// ----------------------------------------------------------------------------------- TBasicActionLink

TBasicActionLink::TBasicActionLink(TObject* client) : client_(client) {}

TBasicActionLink::~TBasicActionLink() {
  if (action_) action_->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* value) {
  if (value == action_) return;
  if (action_) action_->UnRegisterChanges(this);
  action_ = value;
  if (action_) action_->RegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* component) {
  if (!action_) return false;
  action_->SetActionComponent(component);
  bool done;
  try {
    done = action_->Execute();
  } catch (...) {
    if (action_) action_->SetActionComponent(nullptr);
    throw;
  }
  if (action_) action_->SetActionComponent(nullptr);
  return done;
}

void TBasicActionLink::Change() {
  if (OnChange) OnChange(action_);
}

// --------------------------------------------------------------------------------- TControlActionLink

// A property is linked while the control still shows the action's value.
bool TControlActionLink::IsCaptionLinked() {
  TCustomAction* a = CustomAction();
  return a && control_->Caption() == a->Caption();
}
bool TControlActionLink::IsEnabledLinked() {
  TCustomAction* a = CustomAction();
  return a && control_->Enabled() == a->Enabled();
}
bool TControlActionLink::IsHintLinked() {
  TCustomAction* a = CustomAction();
  return a && control_->Hint() == a->Hint();
}
bool TControlActionLink::IsVisibleLinked() {
  TCustomAction* a = CustomAction();
  return a && control_->Visible() == a->Visible();
}

void TControlActionLink::SetCaption(const std::string& value) { control_->SetCaption(value); }
void TControlActionLink::SetEnabled(bool value) { control_->SetEnabled(value); }
void TControlActionLink::SetHint(const std::string& value) { control_->SetHint(value); }
void TControlActionLink::SetVisible(bool value) { control_->SetVisible(value); }
