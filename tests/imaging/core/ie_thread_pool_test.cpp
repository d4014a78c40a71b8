#include "imaging/core/ie_thread_pool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/system/processors.h"
#include "platform/system/ticks.h"
#include "tests/support/test_support.h"

namespace {

void WriteTopology(const std::filesystem::path& cpuDir, int cpu, int package, int core) {
  const auto dir = cpuDir / ("cpu" + std::to_string(cpu)) / "topology";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "physical_package_id") << package << "\n";
  std::ofstream(dir / "core_id") << core << "\n";
}

TEST(ProcessorCores, DistinctCoresOfEveryPackage) {
  testsupport::ScratchDir scratch;
  const auto cpu = scratch.Path();
  WriteTopology(cpu, 0, 0, 0);
  WriteTopology(cpu, 1, 0, 0);  // the second hardware thread of core 0
  WriteTopology(cpu, 2, 0, 1);
  WriteTopology(cpu, 3, 1, 0);  // core 0 of the second package is another core
  std::filesystem::create_directories(cpu / "cpu4");     // no topology: not counted
  std::filesystem::create_directories(cpu / "cpufreq");  // not a processor
  std::filesystem::create_directories(cpu / "cpuidle" / "topology");
  EXPECT_EQ(CountPhysicalCores(cpu.string()), 3);
  EXPECT_EQ(CountPhysicalCores((cpu / "missing").string()), 0);
}

TEST(ProcessorCores, CachedCountWithinTheLogicalProcessors) {
  const int32_t logical = LogicalProcessorCount();
  EXPECT_GE(logical, 1);
  EXPECT_LE(PhysicalCoreCount(), logical);
  ResetProcessorCoreCount();
  const int32_t first = ProcessorCoreCount();
  EXPECT_GE(first, 1);
  EXPECT_LE(first, logical);
  EXPECT_EQ(ProcessorCoreCount(), first);
  ResetProcessorCoreCount();
  EXPECT_EQ(ProcessorCoreCount(), first);
}

// A band worker: fills its rows of a shared table, and records when it is freed.
class TBandThread : public TThread {
 public:
  TBandThread(std::vector<int>& rows, int first, int count, int index, std::vector<int>& freed)
      : TThread(true), rows_(rows), first_(first), count_(count), index_(index), freed_(freed) {}
  ~TBandThread() override { freed_.push_back(index_); }

 protected:
  void Execute() override {
    if (index_ == 0) Sleep(10);  // the first band ends last; freeing still goes in list order
    for (int y = first_; y < first_ + count_; ++y) rows_[static_cast<size_t>(y)] = index_ + 1;
  }

 private:
  std::vector<int>& rows_;
  int first_, count_, index_;
  std::vector<int>& freed_;
};

TEST(ThreadPool, StartsBandsAndFreesThemInOrder) {
  std::vector<int> rows(40, 0);
  std::vector<int> freed;
  TIEThreadPool pool;
  pool.WaitForAll();  // empty: returns at once
  for (int i = 0; i < 4; ++i) pool.Add(std::make_unique<TBandThread>(rows, i * 10, 10, i, freed));
  pool.Add(nullptr);
  EXPECT_EQ(pool.Count(), 4);
  pool.WaitForAll();
  EXPECT_EQ(pool.Count(), 0);
  EXPECT_EQ(freed, (std::vector<int>{0, 1, 2, 3}));
  for (int y = 0; y < 40; ++y) EXPECT_EQ(rows[static_cast<size_t>(y)], y / 10 + 1) << y;

  // The pool takes new threads afterwards, and its destructor waits for them.
  std::fill(rows.begin(), rows.end(), 0);
  {
    TIEThreadPool second;
    second.Add(std::make_unique<TBandThread>(rows, 0, 40, 0, freed));
  }
  EXPECT_EQ(rows[39], 1);
  EXPECT_EQ(freed.size(), 5u);
}

}  // namespace
