#pragma once
// A data source of one record for the connector tests: its calls are logged, its fields are texts,
// and it raises on the call a test names.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "controls/xc_data_connectors.h"

namespace testsupport {

// A source of one record whose calls are logged; it raises where a test asks it to.
class TFakeSource : public TInterfacedObject, public IXcDataSource, public IXcDataConnectorRegistry {
 public:
  std::vector<std::string> log;
  std::map<std::string, std::string> fields{{"Name", "Ann"}, {"Flag", "1"}};
  std::vector<TXcDataConnector*> connectors;
  bool open = true;
  bool readOnly = false;
  std::vector<std::string> nullFields;
  std::string raiseOn;  // the call that raises

  void BeginEditing() override { Call("edit"); }
  bool IsOpen() override { return open; }
  TXcFieldHandle FindField(const std::string& name) override {
    Call("find " + name);
    auto it = fields.find(name);
    return it == fields.end() ? nullptr : &it->second;
  }
  bool FieldIsNull(TXcFieldHandle f) override {
    for (const std::string& n : nullFields)
      if (&fields[n] == f) return true;
    return false;
  }
  bool FieldCanModify(TXcFieldHandle) override { return !readOnly; }
  std::string FieldText(TXcFieldHandle f) override {
    Call("read");
    return *static_cast<std::string*>(f);
  }
  void SetFieldText(TXcFieldHandle f, const std::string& value) override {
    Call("write " + value);
    *static_cast<std::string*>(f) = value;
  }
  void RegisterConnector(TXcDataConnector* c) override {
    Call("register");
    connectors.push_back(c);
  }
  void UnregisterConnector(TXcDataConnector* c) override {
    connectors.erase(std::remove(connectors.begin(), connectors.end(), c), connectors.end());
    Call("unregister");
  }
  // Tells every connector, as a source does.
  void Notify(int32_t notice) {
    for (TXcDataConnector* c : connectors) c->SendNotice(notice);
  }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override {
    return OfferInterfaces<IXcDataSource, IXcDataConnectorRegistry>(this, iid, obj) ||
           TInterfacedObject::GetInterface(iid, obj);
  }

 private:
  void Call(const std::string& what) {
    log.push_back(what);
    if (what == raiseOn) throw Exception("source failed: " + what);
  }
};

}  // namespace testsupport
