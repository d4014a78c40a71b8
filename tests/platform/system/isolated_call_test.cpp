// Work in another process (a forked child, or a helper that is the test program started again): its
// results come back through shared memory, its failures, crashes and hangs end only that process,
// helpers are kept between requests and replaced after a crash, several threads may start work at
// once.
#include "platform/system/isolated_call.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Handlers the test program's helpers serve (registered before any helper reads a request).
bool Reverse(const TIsolatedWork& w) {
  // Out = In reversed, then the argument bytes.
  if (w.OutSize < w.InSize + w.ArgsSize) return false;
  for (size_t i = 0; i < w.InSize; ++i) w.Out[i] = w.In[w.InSize - 1 - i];
  std::memcpy(w.Out + w.InSize, w.Args, w.ArgsSize);
  return true;
}
bool ReturnFalse(const TIsolatedWork&) { return false; }
bool Raise(const TIsolatedWork&) { throw std::runtime_error("no"); }
bool Segfault(const TIsolatedWork&) {
  signal(SIGSEGV, SIG_DFL);
  raise(SIGSEGV);
  return true;
}
bool Abort(const TIsolatedWork&) { std::abort(); }
bool Exit(const TIsolatedWork&) { _exit(1); }
bool Hang(const TIsolatedWork&) {
  for (;;) pause();
}
// The helper's own process id, into Out.
bool ProcessId(const TIsolatedWork& w) {
  const pid_t pid = getpid();
  if (w.OutSize < sizeof pid) return false;
  std::memcpy(w.Out, &pid, sizeof pid);
  return true;
}

BRIMVALE_ISOLATED_REGISTRATION void RegisterTestHandlers() {
  RegisterIsolatedHandler("test.reverse", Reverse);
  RegisterIsolatedHandler("test.false", ReturnFalse);
  RegisterIsolatedHandler("test.raise", Raise);
  RegisterIsolatedHandler("test.segv", Segfault);
  RegisterIsolatedHandler("test.abort", Abort);
  RegisterIsolatedHandler("test.exit", Exit);
  RegisterIsolatedHandler("test.hang", Hang);
  RegisterIsolatedHandler("test.pid", ProcessId);
}

TIsolatedResult RunNamed(const char* name, int64_t timeoutMs = 30000) {
  TSharedBlock out;
  if (!out.Allocate(64)) return TIsolatedResult::NotStarted;
  return RunInHelper(name, nullptr, 0, nullptr, 0, &out, out.size(), timeoutMs);
}

pid_t HelperPid() {
  TSharedBlock out;
  if (!out.Allocate(sizeof(pid_t))) return -1;
  if (RunInHelper("test.pid", nullptr, 0, nullptr, 0, &out, out.size(), 30000) != TIsolatedResult::Succeeded)
    return -1;
  pid_t pid;
  std::memcpy(&pid, out.data(), sizeof pid);
  return pid;
}

// Whether the process has ended (a zombie not yet reaped, or gone).
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

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

namespace {

TEST_F(IsolatedCall, AHelperTellsHowTheWorkEnded) {
  struct Case {
    const char* name;
    int64_t timeoutMs;
    TIsolatedResult expected;
  };
  const Case cases[] = {
      {"test.pid", 30000, TIsolatedResult::Succeeded},
      {"test.false", 30000, TIsolatedResult::Failed},
      {"test.raise", 30000, TIsolatedResult::Failed},
      {"no.such.handler", 30000, TIsolatedResult::Failed},
      {"test.segv", 30000, TIsolatedResult::Crashed},
      {"test.abort", 30000, TIsolatedResult::Crashed},
      {"test.exit", 30000, TIsolatedResult::Crashed},
      {"test.hang", 300, TIsolatedResult::TimedOut},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunNamed(c.name, c.timeoutMs), c.expected) << c.name;
    // Whatever became of the last helper, the next request is served.
    EXPECT_EQ(RunNamed("test.pid"), TIsolatedResult::Succeeded) << "after " << c.name;
  }
  // Requests a helper cannot be given.
  TSharedBlock small;
  ASSERT_TRUE(small.Allocate(8));
  const std::string longName(40, 'x');
  EXPECT_EQ(RunInHelper(longName.c_str(), nullptr, 0, nullptr, 0, &small, 8, 30000), TIsolatedResult::NotStarted);
  EXPECT_EQ(RunInHelper("test.reverse", nullptr, 0, &small, 9, &small, 8, 30000), TIsolatedResult::NotStarted);
  std::vector<uint8_t> args(kIsolatedMaxArgs + 1);
  EXPECT_EQ(RunInHelper("test.reverse", args.data(), args.size(), nullptr, 0, &small, 8, 30000),
            TIsolatedResult::NotStarted);
}

TEST_F(IsolatedCall, AHelperWorksOnTheCallersBlocksInPlace) {
  TSharedBlock in, out;
  const size_t n = (size_t{5} << 20) + 3;  // more than a socket's buffer, not a page multiple
  ASSERT_TRUE(in.Allocate(n));
  ASSERT_TRUE(out.Allocate(n + 16));
  ASSERT_GE(in.fd(), 0);
  for (size_t i = 0; i < n; ++i) in.data()[i] = static_cast<uint8_t>(i * 7 + i / 251);
  const uint8_t args[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(RunInHelper("test.reverse", args, sizeof args, &in, n, &out, n + 5, 30000), TIsolatedResult::Succeeded);
  size_t wrong = 0;
  for (size_t i = 0; i < n; ++i) wrong += out.data()[i] != static_cast<uint8_t>((n - 1 - i) * 7 + (n - 1 - i) / 251);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(std::memcmp(out.data() + n, args, sizeof args), 0);
  EXPECT_EQ(out.data()[n + 5], 0);  // past OutSize: not the helper's
  // Out too small for the work: the handler's failure comes back as such.
  EXPECT_EQ(RunInHelper("test.reverse", args, sizeof args, &in, n, &out, n, 30000), TIsolatedResult::Failed);
}

TEST_F(IsolatedCall, AHelperIsKeptAndReplacedOnlyAfterACrashOrHang) {
  const pid_t first = HelperPid();
  ASSERT_GT(first, 0);
  EXPECT_NE(first, getpid());
  const int64_t started = IsolatedHelpersStarted();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(HelperPid(), first);
  EXPECT_EQ(IsolatedHelpersStarted(), started);

  SetIsolatedFaultForTesting(1);
  EXPECT_EQ(RunNamed("test.pid"), TIsolatedResult::Crashed);
  SetIsolatedFaultForTesting(2);
  EXPECT_EQ(RunNamed("test.pid", 200), TIsolatedResult::TimedOut);
  SetIsolatedFaultForTesting(0);
  const pid_t next = HelperPid();
  EXPECT_GT(next, 0);
  EXPECT_NE(next, first);
  // The crashed and the killed helper are gone (reaped, not left as zombies).
  EXPECT_EQ(kill(first, 0), -1);

  // A helper killed from outside while idle is replaced on the next request.
  ASSERT_EQ(kill(next, SIGKILL), 0);
  for (int i = 0; i < 1000 && !Ended(next); ++i) usleep(10000);
  ASSERT_TRUE(Ended(next));
  const pid_t after = HelperPid();
  EXPECT_GT(after, 0);
  EXPECT_NE(after, next);
}

TEST_F(IsolatedCall, ThreadsUseHelpersAtOnce) {
  constexpr int kThreads = 4, kRounds = 8;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &wrong] {
      TSharedBlock in, out;
      if (!in.Allocate(4096) || !out.Allocate(4096)) {
        ++wrong;
        return;
      }
      for (int r = 0; r < kRounds; ++r) {
        const bool crash = r == 3;
        for (int i = 0; i < 4096; ++i) in.data()[i] = static_cast<uint8_t>(t * 31 + r * 7 + i);
        const TIsolatedResult result = RunInHelper(crash ? "test.segv" : "test.reverse", nullptr, 0, &in, 4096, &out,
                                                   4096, 60000);
        if (crash) {
          if (result != TIsolatedResult::Crashed) ++wrong;
          continue;
        }
        if (result != TIsolatedResult::Succeeded) {
          ++wrong;
          continue;
        }
        for (int i = 0; i < 4096; ++i)
          if (out.data()[i] != static_cast<uint8_t>(t * 31 + r * 7 + 4095 - i)) {
            ++wrong;
            break;
          }
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
