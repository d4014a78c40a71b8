// The image-acquisition connection without the service: nothing registered, events reaching the
// object only while it lives, and the component's lazily made connection.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "imaging/io/ie_wia.h"
#include "imaging/io/zodazur_io.h"

namespace {

TEST(Wia, WithoutTheServiceNothingIsRegistered) {
  TObject owner;
  auto wia = std::make_unique<TIEWia>(&owner);
  EXPECT_FALSE(wia->OleStarted());
  EXPECT_EQ(wia->WiaDeviceManager(), nullptr);
  EXPECT_EQ(wia->RegistrationCount(), 0);
  EXPECT_EQ(wia->Owner(), &owner);
  EXPECT_EQ(wia->LastEvent(), 0);
  EXPECT_TRUE(wia->TakePicture);
  EXPECT_FALSE(wia->DeleteTakenPicture);
  EXPECT_EQ(wia->TransferFormat, 0);
  EXPECT_EQ(wia->CurrentIndex, 0);
  EXPECT_TRUE(wia->ItemTree.empty());
  wia.reset();  // destruction works without a connection
}

TEST(Wia, EventsSetLastEventAndFireTheTreeEvent) {
  TIEWia wia(nullptr);
  TIntfPtr<TWiaEventCallBack> sink = wia.NewEventCallback();
  int fired = 0;
  TObject* sender = nullptr;
  wia.OnTreeChanged = [&](TObject* s) {
    ++fired;
    sender = s;
  };
  const struct {
    TGUID event;
    uint8_t code;
  } cases[] = {{WIA_EVENT_ITEM_CREATED, 2}, {WIA_EVENT_ITEM_DELETED, 3}, {WIA_EVENT_TREE_UPDATED, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(sink->ImageEventCallback(&c.event, "", "", "", 0, "", nullptr, 0), S_OK);
    EXPECT_EQ(wia.LastEvent(), c.code);
  }
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(sender, &wia);
  // Another event is answered but changes nothing.
  const TGUID other = CreateGUID();
  EXPECT_EQ(sink->ImageEventCallback(&other, "", "", "", 0, "", nullptr, 0), S_OK);
  EXPECT_EQ(wia.LastEvent(), 1);
  EXPECT_EQ(fired, 3);
  // Asked for its interface by identifier.
  void* p = nullptr;
  EXPECT_EQ(sink->QueryInterface(IWiaEventCallback::IID, &p), S_OK);
  static_cast<IWiaEventCallback*>(p)->_Release();
}

TEST(Wia, NoCallbackReachesAFreedObject) {
  auto wia = std::make_unique<TIEWia>(nullptr);
  TIntfPtr<TWiaEventCallBack> sink = wia->NewEventCallback();
  std::atomic<int> fired{0};
  wia->OnTreeChanged = [&](TObject*) { ++fired; };
  // Callbacks on other threads while the object goes: each either reaches it whole or not at all.
  std::atomic<bool> stop{false};
  std::vector<std::thread> callers;
  for (int i = 0; i < 3; ++i)
    callers.emplace_back([&] {
      while (!stop) sink->ImageEventCallback(&WIA_EVENT_TREE_UPDATED, "", "", "", 0, "", nullptr, 0);
    });
  while (fired == 0) std::this_thread::yield();
  wia.reset();
  const int afterFree = fired;
  sink->ImageEventCallback(&WIA_EVENT_ITEM_CREATED, "", "", "", 0, "", nullptr, 0);
  stop = true;
  for (auto& t : callers) t.join();
  EXPECT_EQ(fired, afterFree);
}

TEST(Wia, TheComponentMakesOneConnectionAndTakesItsProgress) {
  TZodazUrIO io(nullptr);
  TIEWia* wia = io.GetWia();
  ASSERT_NE(wia, nullptr);
  EXPECT_EQ(io.GetWia(), wia);
  EXPECT_EQ(wia->Owner(), &io);
  std::vector<int32_t> seen;
  io.OnProgress = [&](TObject*, int32_t per) { seen.push_back(per); };
  ASSERT_TRUE(wia->OnTransfer);
  EXPECT_TRUE(wia->OnTransfer(wia, 40));
  io.SetAborting(true);
  EXPECT_FALSE(wia->OnTransfer(wia, 60));
  EXPECT_EQ(seen, (std::vector<int32_t>{40, 60}));
}

}  // namespace
