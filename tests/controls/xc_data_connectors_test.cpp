#include "controls/xc_data_connectors.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/controls/fake_data_source.h"

namespace {

using testsupport::TFakeSource;

// A source that has no connector registry.
class TLoneSource : public TInterfacedObject, public IXcDataSource {
 public:
  void BeginEditing() override {}
  bool IsOpen() override { return true; }
  TXcFieldHandle FindField(const std::string&) override { return nullptr; }
  bool FieldIsNull(TXcFieldHandle) override { return true; }
  bool FieldCanModify(TXcFieldHandle) override { return false; }
  std::string FieldText(TXcFieldHandle) override { return {}; }
  void SetFieldText(TXcFieldHandle, const std::string&) override {}

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override {
    return OfferInterfaces<IXcDataSource>(this, iid, obj) || TInterfacedObject::GetInterface(iid, obj);
  }
};

// A connector that logs its control-side calls.
class TLoggedConnector : public TXcFieldDataConnector {
 public:
  std::vector<std::string>* log = nullptr;
  std::string shown;

 protected:
  void RecordRefresh() override {
    log->push_back("refresh");
    shown = Field()->Text();
  }
  void WriteBack() override {
    log->push_back("writeback");
    Field()->SetText(shown);
  }
};

TEST(DataConnectors, AnUnconnectedConnectorMakesEveryCallANoOp) {
  std::vector<std::string> log;
  TLoggedConnector c;
  c.log = &log;
  c.MarkEdited();
  c.BeginEdit();
  c.Revert();
  c.CommitRecord();
  c.SendNotice(kXcNoticeUpdateData);
  EXPECT_FALSE(c.Live());
  EXPECT_FALSE(c.Dirty());
  EXPECT_EQ(c.LockCount(), 0);
  // Only a record-changed notice shows the (empty) value.
  EXPECT_TRUE(log.empty());
  // A source without the registry is not taken.
  c.SetDataSource(CreateObject<TLoneSource>());
  EXPECT_FALSE(c.DataSource());
  EXPECT_FALSE(c.Live());
}

TEST(DataConnectors, AttachEditCommitRevertAndDetach) {
  auto source = CreateObject<TFakeSource>();
  std::vector<std::string> log;
  {
    TLoggedConnector c;
    c.log = &log;
    c.SetDataField("Name");
    c.SetDataSource(source);
    EXPECT_TRUE(c.Live());
    EXPECT_FALSE(c.Dirty());
    EXPECT_EQ(c.shown, "Ann");
    EXPECT_EQ(source->connectors.size(), 1u);
    EXPECT_EQ(source->RefCount(), 3);  // the test's, the connector's and its field's

    // An edit begins editing once and marks the connector dirty; committing writes it back.
    source->log.clear();
    c.shown = "Bea";
    c.MarkEdited();
    c.MarkEdited();
    EXPECT_TRUE(c.Dirty());
    c.CommitRecord();
    EXPECT_FALSE(c.Dirty());
    EXPECT_EQ(source->fields["Name"], "Bea");
    EXPECT_EQ(source->log, (std::vector<std::string>{"edit", "edit", "write Bea"}));
    // Nothing to commit when not dirty.
    source->log.clear();
    c.CommitRecord();
    EXPECT_TRUE(source->log.empty());

    // Revert shows the source's value again.
    c.shown = "typed";
    c.MarkEdited();
    c.Revert();
    EXPECT_EQ(c.shown, "Bea");
    EXPECT_FALSE(c.Dirty());
    EXPECT_TRUE(c.Live());

    // A closed source is not written to; the update notice writes while live.
    c.MarkEdited();
    source->open = false;
    c.CommitRecord();
    EXPECT_TRUE(c.Dirty());
    source->open = true;
    c.shown = "Cy";
    source->Notify(kXcNoticeUpdateData);
    EXPECT_EQ(source->fields["Name"], "Cy");
    EXPECT_FALSE(c.Dirty());

    log.clear();
    c.SetDataSource(nullptr);
    EXPECT_FALSE(c.Live());
    EXPECT_TRUE(source->connectors.empty());
    EXPECT_EQ(source->RefCount(), 1);
    c.SetDataSource(source);
  }
  // Freed, the connector leaves its source.
  EXPECT_TRUE(source->connectors.empty());
  EXPECT_EQ(source->RefCount(), 1);
}

TEST(DataConnectors, NoticesLockCountUpstreamAndLayout) {
  auto source = CreateObject<TFakeSource>();
  std::vector<std::string> log, masterLog;
  TLoggedConnector master;
  master.log = &masterLog;
  TLoggedConnector c;
  c.log = &log;
  c.SetUpstream(&master);
  c.SetDataField("Flag");
  c.SetDataSource(source);
  log.clear();
  masterLog.clear();
  source->Notify(kXcNoticeRecordChanged);
  EXPECT_EQ(log, std::vector<std::string>{"refresh"});
  EXPECT_EQ(masterLog, std::vector<std::string>{"refresh"});  // every notice goes upstream
  // A layout change empties the field objects and looks the field up again.
  c.FieldObjects().push_back(std::make_unique<TObject>());
  source->fields.erase("Flag");
  source->Notify(kXcNoticeLayoutChanged);
  EXPECT_TRUE(c.FieldObjects().empty());
  EXPECT_FALSE(c.Field()->FieldPresent());
  EXPECT_EQ(c.shown, "");
  // Without a writable field nothing begins editing.
  source->log.clear();
  c.MarkEdited();
  EXPECT_EQ(std::count(source->log.begin(), source->log.end(), "edit"), 0);
}

TEST(DataConnectors, FailuresOfTheSourcePassOnWithTheStateRestored) {
  auto source = CreateObject<TFakeSource>();
  std::vector<std::string> log;
  TLoggedConnector c;
  c.log = &log;
  c.SetDataField("Name");
  c.SetDataSource(source);
  source->raiseOn = "edit";
  EXPECT_THROW(c.MarkEdited(), Exception);
  EXPECT_EQ(c.LockCount(), 0);
  EXPECT_FALSE(c.Dirty());
  source->raiseOn = "read";
  EXPECT_THROW(c.Revert(), Exception);
  EXPECT_TRUE(c.Live());
  EXPECT_EQ(c.LockCount(), 0);
  c.shown = "x";
  source->raiseOn = "";
  c.MarkEdited();
  source->raiseOn = "write x";
  EXPECT_THROW(c.CommitRecord(), Exception);
  EXPECT_EQ(c.LockCount(), 0);
  EXPECT_TRUE(c.Dirty());
  // Leaving a source that raises: the new one is taken all the same, then the failure passes on.
  auto other = CreateObject<TFakeSource>();
  source->raiseOn = "unregister";
  EXPECT_THROW(c.SetDataSource(other), Exception);
  EXPECT_EQ(c.DataSource().Get(), static_cast<IXcDataSource*>(other.Get()));
  EXPECT_TRUE(c.Live());
  EXPECT_EQ(other->connectors.size(), 1u);
  source->raiseOn = "";
  // Assign copies the source and the field.
  TLoggedConnector copy;
  copy.log = &log;
  copy.Assign(&c);
  EXPECT_EQ(copy.DataField(), "Name");
  EXPECT_EQ(copy.DataSource().Get(), c.DataSource().Get());
}

}  // namespace
