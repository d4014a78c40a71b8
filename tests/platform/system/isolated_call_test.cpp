// Work in a child process: its results come back through shared memory, its failures, crashes and
// hangs end only the child, several threads may start children at once.
#include "platform/system/isolated_call.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

class IsolatedCall : public ::testing::Test {
 protected:
  void TearDown() override { SetIsolatedFaultForTesting(0); }
};

TEST_F(IsolatedCall, HowTheWorkEndsIsWhatTheCallerIsTold) {
  struct Case {
    const char* name;
    std::function<bool()> work;
    int64_t timeoutMs;
    TIsolatedResult expected;
  };
  const Case cases[] = {
      {"returns true", [] { return true; }, 30000, TIsolatedResult::Succeeded},
      {"returns false", [] { return false; }, 30000, TIsolatedResult::Failed},
      {"raises", []() -> bool { throw std::runtime_error("no"); }, 30000, TIsolatedResult::Failed},
      {"segmentation fault", []() -> bool { signal(SIGSEGV, SIG_DFL); raise(SIGSEGV); return true; }, 30000,
       TIsolatedResult::Crashed},
      {"abort", []() -> bool { std::abort(); }, 30000, TIsolatedResult::Crashed},
      {"exits on its own", []() -> bool { _exit(1); }, 30000, TIsolatedResult::Crashed},
      {"never ends", []() -> bool { for (;;) pause(); }, 200, TIsolatedResult::TimedOut},
  };
  for (const Case& c : cases) EXPECT_EQ(RunIsolated(c.work, c.timeoutMs), c.expected) << c.name;
}

TEST_F(IsolatedCall, ResultsComeBackThroughSharedMemoryOnly) {
  TSharedBlock shared;
  ASSERT_TRUE(shared.Allocate(3 << 20));
  ASSERT_EQ(shared.size(), size_t{3} << 20);
  EXPECT_EQ(shared.data()[0], 0);
  EXPECT_EQ(shared.data()[(3 << 20) - 1], 0);
  std::vector<uint8_t> mine(1000, 7);
  uint8_t* out = shared.data();
  const size_t n = shared.size();
  EXPECT_EQ(RunIsolated(
                [&] {
                  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 31 + mine[i % 1000]);
                  mine.assign(1000, 9);  // the child's own copy
                  return true;
                },
                30000),
            TIsolatedResult::Succeeded);
  size_t wrong = 0;
  for (size_t i = 0; i < n; ++i) wrong += out[i] != static_cast<uint8_t>(i * 31 + 7);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(mine[0], 7);

  TSharedBlock moved = std::move(shared);
  EXPECT_EQ(shared.data(), nullptr);
  EXPECT_EQ(moved.data(), out);
  moved.Release();
  EXPECT_EQ(moved.data(), nullptr);
}

TEST_F(IsolatedCall, TheTestSeamReplacesTheWork) {
  SetIsolatedFaultForTesting(1);
  EXPECT_EQ(RunIsolated([] { return true; }, 30000), TIsolatedResult::Crashed);
  SetIsolatedFaultForTesting(2);
  EXPECT_EQ(RunIsolated([] { return true; }, 200), TIsolatedResult::TimedOut);
  SetIsolatedFaultForTesting(0);
  EXPECT_EQ(RunIsolated([] { return true; }, 30000), TIsolatedResult::Succeeded);
}

TEST_F(IsolatedCall, ThreadsStartChildrenAtOnce) {
  // Each child writes its thread's and round's number; a mix-up between threads would show.
  constexpr int kThreads = 4, kRounds = 8;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &wrong] {
      TSharedBlock shared;
      if (!shared.Allocate(sizeof(int))) {
        ++wrong;
        return;
      }
      auto* slot = reinterpret_cast<int*>(shared.data());
      for (int r = 0; r < kRounds; ++r) {
        const int expected = t * 100 + r;
        const bool crash = r == 3;
        const TIsolatedResult result = RunIsolated(
            [slot, expected, crash] {
              if (crash) {
                signal(SIGSEGV, SIG_DFL);
                raise(SIGSEGV);
              }
              *slot = expected;
              return true;
            },
            60000);
        if (crash ? result != TIsolatedResult::Crashed : result != TIsolatedResult::Succeeded || *slot != expected)
          ++wrong;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
