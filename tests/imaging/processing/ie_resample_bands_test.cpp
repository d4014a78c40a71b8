#include "imaging/processing/ie_resample_bands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/ie_thread_pool.h"
#include "platform/system/threads.h"
#include "tests/support/test_support.h"

namespace {

// Runs a pass of Rows rows on Threads threads, each row marked by the band that did it; returns how
// often every row was done.
std::vector<int> CoverRows(int32_t rows, int32_t threads) {
  std::vector<std::atomic<int>> seen(static_cast<size_t>(rows));
  RunResampleBands(
      rows, threads,
      [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
        for (int32_t y = first; y < first + count; ++y) {
          seen[static_cast<size_t>(y)].fetch_add(1);
          if (!rowDone()) return;
        }
      },
      nullptr);
  std::vector<int> counts;
  for (auto& s : seen) counts.push_back(s.load());
  return counts;
}

TEST(ResampleBands, EveryRowOnceAtEveryThreadCount) {
  struct Case {
    int32_t rows, threads;
  } cases[] = {{1, 8}, {7, 3}, {64, 64}, {1000, 2}, {1000, 8}, {4321, 64}, {100, 1000}};
  for (const Case& c : cases) {
    const std::vector<int> counts = CoverRows(c.rows, c.threads);
    for (int32_t y = 0; y < c.rows; ++y)
      ASSERT_EQ(counts[static_cast<size_t>(y)], 1) << c.rows << " rows on " << c.threads << " threads, row " << y;
  }
  EXPECT_TRUE(CoverRows(0, 8).empty());
}

TEST(ResampleBands, WorkersAreKeptBetweenPasses) {
  CoverRows(512, 6);
  const int32_t workers = TIEWorkerPool::Shared().Workers();
  EXPECT_GE(workers, 1);
  for (int pass = 0; pass < 50; ++pass) CoverRows(512, 6);
  // Passes of the same size find their workers idle again (none started per pass).
  EXPECT_LE(TIEWorkerPool::Shared().Workers(), std::max(workers, 5));
  EXPECT_LE(TIEWorkerPool::Shared().Workers(), TIEWorkerPool::kMostWorkers);
}

TEST(ResampleBands, ProgressComesOnTheCallersThreadInRisingOrder) {
  const TThreadID caller = GetCurrentThreadId();
  for (int32_t threads : {2, 8, 64}) {
    std::vector<int32_t> seen;
    bool elsewhere = false;
    std::set<TThreadID> bandThreads;
    std::mutex mutex;
    RunResampleBands(
        300, threads,
        [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
          {
            std::lock_guard<std::mutex> lock(mutex);
            bandThreads.insert(GetCurrentThreadId());
          }
          for (int32_t y = first; y < first + count; ++y)
            if (!rowDone()) return;
        },
        [&](int32_t done) {
          if (GetCurrentThreadId() != caller) elsewhere = true;
          seen.push_back(done);
        });
    EXPECT_FALSE(elsewhere) << threads;
    ASSERT_EQ(seen.size(), 300u) << threads;
    for (int32_t i = 0; i < 300; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i + 1) << threads;
  }
}

// A band or the handler raising: the exception reaches the caller only after every thread has left
// the pass, so nothing of the pass (on the caller's stack) is touched after RunResampleBands returns.
TEST(ResampleBands, ExceptionsComeAfterEveryThreadHasLeft) {
  enum Where { InWorkerBand, InEveryBand, InHandler };
  for (Where where : {InWorkerBand, InEveryBand, InHandler}) {
    for (int round = 0; round < 20; ++round) {
      std::atomic<int> inside{0};
      std::atomic<int> after{0};
      std::atomic<bool> returned{false};
      const TThreadID caller = GetCurrentThreadId();
      try {
        RunResampleBands(
            400, 8,
            [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
              ++inside;
              if (returned.load()) ++after;
              if (where == InEveryBand || (where == InWorkerBand && GetCurrentThreadId() != caller && first > 0)) {
                --inside;
                throw std::runtime_error("band");
              }
              for (int32_t y = first; y < first + count; ++y) {
                std::this_thread::yield();
                if (!rowDone()) break;
              }
              --inside;
            },
            where == InHandler ? std::function<void(int32_t)>([](int32_t done) {
              if (done == 5) throw std::runtime_error("handler");
            })
                               : nullptr);
        // A worker may not have joined in time to raise: then the pass ends normally.
        EXPECT_EQ(where, InWorkerBand);
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), where == InHandler ? "handler" : "band");
      }
      returned = true;
      EXPECT_EQ(inside.load(), 0) << where;
      std::this_thread::yield();
      EXPECT_EQ(after.load(), 0) << where;
    }
  }
}

// A band that runs a pass of its own, and several threads running passes at once: every pass ends,
// whether or not idle workers are there for it.
TEST(ResampleBands, NestedAndSimultaneousPassesAllEnd) {
  std::atomic<int64_t> total{0};
  auto outer = [&] {
    RunResampleBands(
        40, 8,
        [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
          for (int32_t y = first; y < first + count; ++y) {
            const std::vector<int> inner = CoverRows(50, 8);
            for (int c : inner) total += c;
            if (!rowDone()) return;
          }
        },
        nullptr);
  };
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) callers.emplace_back(outer);
  outer();
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(total.load(), int64_t{5} * 40 * 50);
}

// A child made by fork has none of its parent's workers: its passes still end, on workers of its own.
TEST(ResampleBands, AForkedChildRunsPassesOfItsOwn) {
  CoverRows(256, 8);  // the parent's workers exist
  const std::string report = testsupport::RunInChild({}, [] {
    const std::vector<int> counts = CoverRows(2000, 8);
    for (int c : counts)
      if (c != 1) return std::string("a row done ") + std::to_string(c) + " times";
    return std::string("ok");
  });
  EXPECT_EQ(report, "ok");
}

}  // namespace
