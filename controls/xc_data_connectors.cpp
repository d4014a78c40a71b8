#include "controls/xc_data_connectors.h"

#include <exception>

// ---------------------------------------------------------------------------------- TXcDataConnector

TXcDataConnector::TXcDataConnector() = default;

TXcDataConnector::~TXcDataConnector() {
  if (!source_) return;
  // A destructor lets go of its source whatever the source answers.
  try {
    if (auto registry = Supports<IXcDataConnectorRegistry>(source_)) registry->UnregisterConnector(this);
  } catch (...) {
  }
}

template <class F>
void TXcDataConnector::Locked(F&& f) {
  ++lockCount_;
  try {
    f();
  } catch (...) {
    --lockCount_;
    throw;
  }
  --lockCount_;
}

void TXcDataConnector::SetDataSource(const TIntfPtr<IXcDataSource>& value) {
  if (value == source_) return;
  std::exception_ptr failure;
  if (source_) {
    try {
      if (auto registry = Supports<IXcDataConnectorRegistry>(source_)) registry->UnregisterConnector(this);
    } catch (...) {
      failure = std::current_exception();
    }
    source_.Reset();
    try {
      SourceDetached();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  // The new source is taken even when leaving the old one failed.
  source_ = value;
  if (source_) {
    if (auto registry = Supports<IXcDataConnectorRegistry>(source_)) {
      registry->RegisterConnector(this);
      SourceAttached();
    } else {
      source_.Reset();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void TXcDataConnector::SourceAttached() {
  dirty_ = false;
  live_ = true;
  SendNotice(kXcNoticeActiveChanged);
}

void TXcDataConnector::SourceDetached() {
  SendNotice(kXcNoticeActiveChanged);
  live_ = false;
  dirty_ = false;
  fieldObjects_.clear();
}

void TXcDataConnector::ActiveStateChanged() { SendNotice(kXcNoticeRecordChanged); }

void TXcDataConnector::FieldLayoutChanged() { SendNotice(kXcNoticeRecordChanged); }

bool TXcDataConnector::EditAllowed() { return live_ && source_; }

void TXcDataConnector::SendNotice(int32_t notice) {
  HandleNotice(notice);
  if (upstream_) upstream_->SendNotice(notice);
}

void TXcDataConnector::HandleNotice(int32_t notice) {
  switch (notice) {
    case kXcNoticeActiveChanged:
      if (lockCount_ > 0) return;
      ActiveStateChanged();
      dirty_ = false;
      return;
    case kXcNoticeRecordChanged:
      if (lockCount_ > 0) return;
      Locked([this] { RecordRefresh(); });
      dirty_ = false;
      return;
    case kXcNoticeUpdateData:
      if (!live_) return;
      Locked([this] { WriteBack(); });
      dirty_ = false;
      return;
    case kXcNoticeLayoutChanged:
      fieldObjects_.clear();
      if (lockCount_ > 0) return;
      FieldLayoutChanged();
      dirty_ = false;
      return;
    default: return;
  }
}

void TXcDataConnector::MarkEdited() {
  if (!live_ || lockCount_ != 0) return;
  BeginEdit();
  dirty_ = true;
}

void TXcDataConnector::BeginEdit() {
  if (!EditAllowed() || lockCount_ != 0) return;
  Locked([this] { source_->BeginEditing(); });
}

void TXcDataConnector::Revert() {
  if (!source_ || !live_ || !source_->IsOpen()) return;
  // Not live while the record is shown again, so that nothing writes back meanwhile.
  live_ = false;
  try {
    SendNotice(kXcNoticeRecordChanged);
  } catch (...) {
    live_ = true;
    throw;
  }
  live_ = true;
  dirty_ = false;
}

void TXcDataConnector::CommitRecord() {
  if (!source_ || !dirty_ || !live_ || !source_->IsOpen()) return;
  Locked([this] { WriteBack(); });
  dirty_ = false;
}

void TXcDataConnector::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TXcDataConnector*>(source)) {
    SetDataSource(other->DataSource());
    return;
  }
  TPersistent::Assign(source);
}

// ----------------------------------------------------------------------------- TXcDataConnectorField

void TXcDataConnectorField::SetFieldName(const std::string& value) {
  if (value == fieldName_) return;
  fieldName_ = value;
  field_ = nullptr;
}

void TXcDataConnectorField::LookUpField(const TIntfPtr<IXcDataSource>& source) {
  source_ = source;
  field_ = source_ && source_->IsOpen() ? source_->FindField(fieldName_) : nullptr;
}

bool TXcDataConnectorField::FieldPresent() {
  if (source_ && !field_) LookUpField(source_);
  return source_ && field_;
}

bool TXcDataConnectorField::FieldWritable() { return FieldPresent() && source_->FieldCanModify(field_); }

bool TXcDataConnectorField::FieldIsNull() { return FieldPresent() && source_->FieldIsNull(field_); }

std::string TXcDataConnectorField::Text() { return FieldPresent() ? source_->FieldText(field_) : std::string(); }

void TXcDataConnectorField::SetText(const std::string& value) {
  if (FieldPresent()) source_->SetFieldText(field_, value);
}

// ----------------------------------------------------------------------------- TXcFieldDataConnector

TXcFieldDataConnector::TXcFieldDataConnector() : field_(std::make_unique<TXcDataConnectorField>()) {}

TXcFieldDataConnector::~TXcFieldDataConnector() = default;

void TXcFieldDataConnector::SetDataField(const std::string& value) {
  if (value != field_->FieldName()) {
    field_->SetFieldName(value);
    RefreshField();
  }
  SendNotice(kXcNoticeRecordChanged);
}

void TXcFieldDataConnector::RefreshField() { field_->LookUpField(DataSource()); }

void TXcFieldDataConnector::SourceAttached() {
  RefreshField();
  TXcDataConnector::SourceAttached();
}

void TXcFieldDataConnector::SourceDetached() {
  RefreshField();
  TXcDataConnector::SourceDetached();
}

void TXcFieldDataConnector::ActiveStateChanged() {
  RefreshField();
  TXcDataConnector::ActiveStateChanged();
}

void TXcFieldDataConnector::FieldLayoutChanged() {
  RefreshField();
  TXcDataConnector::FieldLayoutChanged();
}

bool TXcFieldDataConnector::EditAllowed() { return TXcDataConnector::EditAllowed() && field_->FieldWritable(); }

void TXcFieldDataConnector::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TXcFieldDataConnector*>(source)) {
    SetDataSource(other->DataSource());
    SetDataField(other->DataField());
    return;
  }
  TXcDataConnector::Assign(source);
}
