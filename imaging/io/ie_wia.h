#pragma once
// The connection to the system's image-acquisition device manager and its device-tree events. The
// object holds the connection, the event registrations and the settings a transfer would use; the
// system has no transfer of its own. On this platform there is no such service: the device manager
// is nil and nothing is registered, which every user of the object already handles.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system/interfaces.h"
#include "platform/system/object.h"

class TIEBitmap;
class TIEWia;

// The device manager's event sink.
struct IWiaEventCallback : public virtual IInterface {
  // {AE6287B0-0084-11D2-973B-00A0C9068F2E}
  static constexpr TGUID IID = {0xAE6287B0, 0x0084, 0x11D2, {0x97, 0x3B, 0x00, 0xA0, 0xC9, 0x06, 0x8F, 0x2E}};
  virtual HRESULT ImageEventCallback(const TGUID* EventGUID, const std::string& EventDescription,
                                     const std::string& DeviceID, const std::string& DeviceDescription,
                                     uint32_t DeviceType, const std::string& FullItemName, uint32_t* EventType,
                                     uint32_t Reserved) = 0;

 protected:
  ~IWiaEventCallback() = default;
};

// The events listened to, and the codes LastEvent gives them.
// {C9859B91-4AB2-4CD6-A1FC-582EEC55E585}: the device tree was updated (1).
constexpr TGUID WIA_EVENT_TREE_UPDATED = {0xC9859B91, 0x4AB2, 0x4CD6, {0xA1, 0xFC, 0x58, 0x2E, 0xEC, 0x55, 0xE5, 0x85}};
// {4C8F4EF5-E14F-11D2-B326-00C04F68CE61}: an item was created (2).
constexpr TGUID WIA_EVENT_ITEM_CREATED = {0x4C8F4EF5, 0xE14F, 0x11D2, {0xB3, 0x26, 0x00, 0xC0, 0x4F, 0x68, 0xCE, 0x61}};
// {1D22A559-E14F-11D2-B326-00C04F68CE61}: an item was deleted (3).
constexpr TGUID WIA_EVENT_ITEM_DELETED = {0x1D22A559, 0xE14F, 0x11D2, {0xB3, 0x26, 0x00, 0xC0, 0x4F, 0x68, 0xCE, 0x61}};

// An event sink bound to one TIEWia. The device manager may call it on any thread; its TIEWia cuts
// the link when it goes (waiting for a call that is running), after which calls do nothing.
class TWiaEventCallBack : public TInterfacedObject, public IWiaEventCallback {
 public:
  explicit TWiaEventCallBack(TIEWia* Wia) : wia_(Wia) {}
  // Stores the code of a known event in LastEvent and fires OnTreeChanged; always S_OK.
  HRESULT ImageEventCallback(const TGUID* EventGUID, const std::string& EventDescription,
                             const std::string& DeviceID, const std::string& DeviceDescription, uint32_t DeviceType,
                             const std::string& FullItemName, uint32_t* EventType, uint32_t Reserved) override;
  // Cuts the link to the TIEWia; returns once no call is running.
  void Detach();

 protected:
  bool GetInterface(const TGUID& iid, void** obj) override;

 private:
  std::mutex lock_;
  TIEWia* wia_;
};

class TIEWia : public TObject {
 public:
  // Connects to the device manager for Owner (the component that made it) and registers for the
  // item-created, item-deleted and tree-updated events. Without the service (always here) the
  // device manager stays nil, nothing is registered and a debug-log line says so.
  explicit TIEWia(TObject* Owner);
  // Releases the registrations (no callback reaches the object afterwards), the device manager, the
  // item tree and the control parent.
  ~TIEWia() override;
  TIEWia(const TIEWia&) = delete;
  TIEWia& operator=(const TIEWia&) = delete;

  bool OleStarted() const { return oleStarted_; }
  IInterface* WiaDeviceManager() const { return deviceManager_.Get(); }
  TObject* Owner() const { return owner_; }
  // The event registrations held (0 or 3).
  int32_t RegistrationCount() const;

  // A new event sink bound to this object, kept so that destruction cuts its link. The registration
  // hands these to the device manager.
  TIntfPtr<TWiaEventCallBack> NewEventCallback();

  // The code of the last event received (0 none, 1 tree updated, 2 item created, 3 item deleted).
  uint8_t LastEvent() const { return lastEvent_.load(); }

  // Fired (on the callback's thread) for every event received.
  TNotifyEvent OnTreeChanged;
  // Transfer progress: the percentage; false asks the transfer to stop. Bound by the owner.
  std::function<bool(TIEWia* Sender, int32_t Percentage)> OnTransfer;

  TIEBitmap* ProcessingBitmap = nullptr;
  std::vector<std::unique_ptr<TObject>> ItemTree;
  std::unique_ptr<TObject> ControlParent;
  bool TakePicture = true;
  bool DeleteTakenPicture = false;
  std::string SaveTransferBufferAs;
  int32_t TransferFormat = 0;
  int32_t CurrentIndex = 0;

 private:
  friend class TWiaEventCallBack;
  void EventReceived(uint8_t Code);

  bool oleStarted_ = false;
  TObject* owner_;
  TIntfPtr<IInterface> deviceManager_;
  std::vector<TIntfPtr<IInterface>> registrations_;
  mutable std::mutex callbacksLock_;
  std::vector<TIntfPtr<TWiaEventCallBack>> callbacks_;
  std::atomic<uint8_t> lastEvent_{0};
};
