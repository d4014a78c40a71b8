#include "platform/system/sync_objs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/system/ticks.h"

namespace {

TEST(Event, ManualResetStaysSignalledUntilReset) {
  TEvent e(true, false);
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
  e.SetEvent();
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  e.ResetEvent();
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
  TEvent initially(true, true);
  EXPECT_EQ(initially.WaitFor(0), wrSignaled);
  TSimpleEvent simple;
  EXPECT_TRUE(simple.ManualReset());
  EXPECT_EQ(simple.WaitFor(0), wrTimeout);
}

TEST(Event, AutoResetReleasesOneWaitPerSignal) {
  TEvent e(false, true);
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
  e.SetEvent();
  e.SetEvent();  // not counted: still one release
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
}

TEST(Event, AutoResetWakesOneOfSeveralWaiters) {
  TEvent e(false, false);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (e.WaitFor(10000) == wrSignaled) ++woken;
    });
  const auto wokenReaches = [&](int n) {
    const uint64_t start = GetTickCount64();
    while (woken < n && GetTickCount64() - start < 5000) Sleep(1);
    return woken == n;
  };
  Sleep(20);
  for (int n = 1; n <= 3; ++n) {
    e.SetEvent();
    EXPECT_TRUE(wokenReaches(n));
    Sleep(20);
    EXPECT_EQ(woken, n);  // one signal, one waiter
  }
  for (auto& w : waiters) w.join();
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
}

TEST(Event, ManualResetWakesEveryWaiterAndTimeoutsAreKept) {
  TEvent e(true, false);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (e.WaitFor(INFINITE) == wrSignaled) ++woken;
    });
  Sleep(10);
  e.SetEvent();
  for (auto& w : waiters) w.join();
  EXPECT_EQ(woken, 3);

  TEvent never(true, false);
  const uint64_t start = GetTickCount64();
  EXPECT_EQ(never.WaitFor(40), wrTimeout);
  EXPECT_GE(GetTickCount64() - start, 39u);
}

TEST(CriticalSection, ReentrantAndExclusive) {
  TCriticalSection cs;
  cs.Enter();
  cs.Enter();  // the holder enters again
  bool otherGotIt = true;
  std::thread([&] { otherGotIt = cs.TryEnter(); }).join();
  EXPECT_FALSE(otherGotIt);
  cs.Leave();
  cs.Leave();
  std::thread([&] {
    otherGotIt = cs.TryEnter();
    if (otherGotIt) cs.Leave();
  }).join();
  EXPECT_TRUE(otherGotIt);

  long counter = 0;
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i)
    workers.emplace_back([&] {
      for (int k = 0; k < 20000; ++k) {
        std::lock_guard<TCriticalSection> lock(cs);
        ++counter;
      }
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(counter, 80000);
}

TEST(Ticks, CountMillisecondsAndSleep) {
  const uint32_t a = GetTickCount();
  Sleep(25);
  const uint32_t b = GetTickCount();
  EXPECT_GE(static_cast<uint32_t>(b - a), 24u);
  EXPECT_LT(static_cast<uint32_t>(b - a), 5000u);
  Sleep(0);
  EXPECT_EQ(static_cast<uint32_t>(GetTickCount64()) - GetTickCount() <= 1u, true);
}

}  // namespace
