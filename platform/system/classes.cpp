#include "platform/system/classes.h"

#include <algorithm>

#include "platform/system/compare_text.h"

namespace {

template <class T>
void EraseOne(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

}  // namespace

// ---------------------------------------------------------------------------------------- TPersistent

void TPersistent::Assign(TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError(Format("Cannot assign a nil to a %s.", ClassName().c_str()));
}

void TPersistent::AssignTo(TPersistent* dest) {
  // Called on the source when the destination did not know it either.
  throw EConvertError(Format("Cannot assign a %s to a %s.", ClassName().c_str(), dest->ClassName().c_str()));
}

std::string TPersistent::GetNamePath() {
  TPersistent* owner = GetOwner();
  std::string result = ClassName();
  if (owner) {
    std::string path = owner->GetNamePath();
    if (!path.empty()) result = path + "." + result;
  }
  return result;
}

bool IsValidIdent(const std::string& ident) {
  if (ident.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(ident[0])) return false;
  for (char c : ident)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

// ----------------------------------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everyone who asked that this component goes away; each answer may change the list.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    EraseOne(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
  if (state_ & csDestroying) return;
  state_ |= csDestroying;
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    Remove(c);
    delete c;
  }
}

void TComponent::Insert(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
  EraseOne(components_, component);
  component->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  if (component->owner_) component->owner_->RemoveComponent(component);
  ValidateRename(component, std::string(), component->name_);
  Insert(component);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  Notification(component, opRemove);
  Remove(component);
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::SetComponentIndex(int index) {
  if (!owner_) return;
  auto& list = owner_->components_;
  int cur = ComponentIndex();
  if (cur < 0) return;
  index = std::clamp(index, 0, static_cast<int>(list.size()) - 1);
  list.erase(list.begin() + cur);
  list.insert(list.begin() + index, this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(Format("''%s'' is not a valid component name.", name.c_str()));
  if (owner_) owner_->ValidateRename(this, name_, name);
  else ValidateRename(nullptr, name_, name);
  name_ = name;
}

void TComponent::ValidateRename(TComponent* component, const std::string& curName, const std::string& newName) {
  if (component && !newName.empty() && !SameText(curName, newName)) {
    TComponent* other = FindComponent(newName);
    if (other && other != component)
      throw EComponentError(Format("A component named %s already exists.", newName.c_str()));
  }
}

void TComponent::SetSubComponent(bool value) {
  if (value) style_ |= csSubComponent;
  else style_ &= ~csSubComponent;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
    freeNotifies_.push_back(component);
    component->FreeNotification(this);
  }
  state_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  RemoveNotification(component);
  if (component) component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
  EraseOne(freeNotifies_, component);
  if (freeNotifies_.empty()) state_ &= ~csFreeNotification;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Owned components hear of every removal, as the framework passes it down.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i < components_.size()) components_[i]->Notification(component, operation);
  }
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::BeginLoading() {
  state_ |= csLoading | csReading;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  state_ &= ~csReading;
  for (TComponent* c : components_) c->EndLoading();
  Loaded();
}

std::string TComponent::GetNamePath() { return name_; }

// ------------------------------------------------------------------------------------ TCollectionItem

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_) return;
  if (collection_) collection_->RemoveItem(this);
  if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& list = collection_->items_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TCollectionItem::SetIndex(int index) {
  int cur = Index();
  if (cur < 0 || index < 0 || index == cur) return;
  auto& list = collection_->items_;
  index = std::min(index, static_cast<int>(list.size()) - 1);
  list.erase(list.begin() + cur);
  list.insert(list.begin() + index, this);
  Changed(true);
}

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(allItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() { return collection_; }

std::string TCollectionItem::GetNamePath() {
  if (!collection_) return ClassName();
  return Format("%s[%d]", collection_->GetNamePath().c_str(), Index());
}

// ---------------------------------------------------------------------------------------- TCollection

TCollection::TCollection(TItemFactory itemFactory, TPersistent* owner)
    : factory_(std::move(itemFactory)), owner_(owner) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no change notices while the items go
  OnChange = nullptr;
  Clear();
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = factory_ ? factory_(this) : new TCollectionItem(this);
  if (item->collection_ != this) item->SetCollection(this);
  Changed();
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  BeginUpdate();
  TCollectionItem* item;
  try {
    item = Add();
    item->SetIndex(index);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return item;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) {
    TCollectionItem* item = items_.back();
    Notify(item, cnDeleting);
    delete item;
  }
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : items_)
    if (item->id_ == id) return item;
  return nullptr;
}

void TCollection::Exchange(int index1, int index2) {
  std::swap(items_.at(static_cast<size_t>(index1)), items_.at(static_cast<size_t>(index2)));
  Changed();
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  Changed();
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem* item) {
  if (OnChange) OnChange(this, item);
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::InsertItem(TCollectionItem* item) {
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = nextId_++;
  Notify(item, cnAdded);
}

void TCollection::RemoveItem(TCollectionItem* item) {
  Notify(item, cnExtracting);
  EraseOne(items_, item);
  item->collection_ = nullptr;
  Changed();
}

void TCollection::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TCollection*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : other->items_) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void ListIndexError(int32_t index) { throw EListError(Format("List index out of bounds (%d)", index)); }
