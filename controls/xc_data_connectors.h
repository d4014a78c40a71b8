#pragma once
// Data connectors: the tie of a control to one field of a record-oriented data source. The connector
// shows the field's value in the control, marks the control modified when the user edits it, writes
// the value back when the control is left and reverts it on Escape. It talks to the source only
// through IXcDataSource, and the control to the connector through MarkEdited, Revert and
// CommitRecord. Without a source every one of those returns at once, and the control is a plain one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/classes.h"
#include "platform/system/interfaces.h"

class TXcDataConnector;

// An opaque field of a source, as the source hands it out.
using TXcFieldHandle = void*;

// A record-oriented data source as a connector uses it.
struct IXcDataSource : virtual IInterface {
  // {3C6B1E0A-8F2D-4C57-9A41-6D0B7E2F1A93}
  static constexpr TGUID IID = {0x3C6B1E0A, 0x8F2D, 0x4C57, {0x9A, 0x41, 0x6D, 0x0B, 0x7E, 0x2F, 0x1A, 0x93}};
  // Puts the current record into editing.
  virtual void BeginEditing() = 0;
  virtual bool IsOpen() = 0;
  // The field of that name, or null.
  virtual TXcFieldHandle FindField(const std::string& name) = 0;
  virtual bool FieldIsNull(TXcFieldHandle field) = 0;
  virtual bool FieldCanModify(TXcFieldHandle field) = 0;
  virtual std::string FieldText(TXcFieldHandle field) = 0;
  virtual void SetFieldText(TXcFieldHandle field, const std::string& value) = 0;

 protected:
  ~IXcDataSource() = default;
};

// The source's list of connectors; a source without it is not taken.
struct IXcDataConnectorRegistry : virtual IInterface {
  // {A7D42C19-5B3E-4F80-8E26-1C9F0B4D7E65}
  static constexpr TGUID IID = {0xA7D42C19, 0x5B3E, 0x4F80, {0x8E, 0x26, 0x1C, 0x9F, 0x0B, 0x4D, 0x7E, 0x65}};
  virtual void RegisterConnector(TXcDataConnector* connector) = 0;
  virtual void UnregisterConnector(TXcDataConnector* connector) = 0;

 protected:
  ~IXcDataConnectorRegistry() = default;
};

// The notices a source sends its connectors (SendNotice).
constexpr int32_t kXcNoticeActiveChanged = 100;
constexpr int32_t kXcNoticeRecordChanged = 101;
constexpr int32_t kXcNoticeUpdateData = 102;
constexpr int32_t kXcNoticeLayoutChanged = 103;

class TXcDataConnector : public TPersistent {
 public:
  TXcDataConnector();
  ~TXcDataConnector() override;

  const TIntfPtr<IXcDataSource>& DataSource() const { return source_; }
  // Leaves the old source (unregistering and letting it go) and takes the new one when it offers
  // the connector registry. The new source is taken also when leaving the old one raised; that
  // exception passes on afterwards.
  void SetDataSource(const TIntfPtr<IXcDataSource>& value);

  bool Live() const { return live_; }
  bool Dirty() const { return dirty_; }
  int32_t LockCount() const { return lockCount_; }
  // The master that hears every notice this connector handles.
  TXcDataConnector* Upstream() const { return upstream_; }
  void SetUpstream(TXcDataConnector* value) { upstream_ = value; }
  // Objects kept per connector until the source goes or its layout changes.
  std::vector<std::unique_ptr<TObject>>& FieldObjects() { return fieldObjects_; }

  // The control's calls: the user changed the value; Escape (and the end of loading); the control
  // was left.
  void MarkEdited();
  void BeginEdit();
  void Revert();
  void CommitRecord();

  // Dispatches a notice (100 .. 103) to this connector's handlers, then to Upstream.
  virtual void SendNotice(int32_t notice);

  // From another connector: its source.
  void Assign(TPersistent* source) override;

 protected:
  virtual void SourceAttached();
  virtual void SourceDetached();
  virtual void ActiveStateChanged();
  // Shows the source's value in the control (the control's connector does it).
  virtual void RecordRefresh() {}
  // Writes the control's value to the source.
  virtual void WriteBack() {}
  virtual void FieldLayoutChanged();
  virtual bool EditAllowed();

 private:
  void HandleNotice(int32_t notice);
  // Raises the lock count around f, lowered however f ends.
  template <class F>
  void Locked(F&& f);

  TIntfPtr<IXcDataSource> source_;
  std::vector<std::unique_ptr<TObject>> fieldObjects_;
  bool live_ = false;
  bool dirty_ = false;
  int32_t lockCount_ = 0;
  TXcDataConnector* upstream_ = nullptr;
};

// A connector's field: found by name in its source when the source is open.
class TXcDataConnectorField : public TObject {
 public:
  const std::string& FieldName() const { return fieldName_; }
  // A new name forgets the field found for the old one.
  void SetFieldName(const std::string& value);
  const TIntfPtr<IXcDataSource>& DataSource() const { return source_; }
  TXcFieldHandle Field() const { return field_; }

  // Keeps the source and finds the field in it when it is open.
  void LookUpField(const TIntfPtr<IXcDataSource>& source);
  // A source with the field (looked up first when not yet found).
  bool FieldPresent();
  bool FieldWritable();
  bool FieldIsNull();
  std::string Text();
  void SetText(const std::string& value);

 private:
  std::string fieldName_;
  TIntfPtr<IXcDataSource> source_;
  TXcFieldHandle field_ = nullptr;
};

// A connector to one named field.
class TXcFieldDataConnector : public TXcDataConnector {
 public:
  TXcFieldDataConnector();
  ~TXcFieldDataConnector() override;
  const std::string& DataField() const { return field_->FieldName(); }
  void SetDataField(const std::string& value);
  TXcDataConnectorField* Field() const { return field_.get(); }
  // From another connector: its source and, from a field connector, its field's name.
  void Assign(TPersistent* source) override;

 protected:
  virtual void RefreshField();
  void SourceAttached() override;
  void SourceDetached() override;
  void ActiveStateChanged() override;
  void FieldLayoutChanged() override;
  bool EditAllowed() override;

 private:
  std::unique_ptr<TXcDataConnectorField> field_;
};
