#pragma once
// The processor-core count that splits work into bands, a minimal pool that starts worker
// threads and waits for them, and the worker threads kept between passes.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/system/threads.h"

// Physical processor cores the process may run on, computed once and then cached: the distinct
// cores of the processor topology, else the logical processor count, else 1.
int32_t ProcessorCoreCount();
// Forgets the cached count (the engine's start-up), so the next call asks the operating system again.
void ResetProcessorCoreCount();

class TIEThreadPool {
 public:
  TIEThreadPool() = default;
  // WaitForAll.
  ~TIEThreadPool();
  TIEThreadPool(const TIEThreadPool&) = delete;
  TIEThreadPool& operator=(const TIEThreadPool&) = delete;

  // Takes a thread created suspended and starts it; the pool frees it in WaitForAll (so the
  // thread's FreeOnTerminate is cleared). nullptr is ignored.
  void Add(std::unique_ptr<TThread> Thread);
  // In the order they were added: waits for each thread to finish and frees it; then the pool is
  // empty and takes new threads.
  void WaitForAll();
  int32_t Count() const { return static_cast<int32_t>(threads_.size()); }

 private:
  std::vector<std::unique_ptr<TThread>> threads_;
};

// A piece of work that kept workers may help with (TIEWorkerPool): Work is called once by every
// worker that joins, at most Helpers of them, while the thread that offered the job works on it
// too; Left is called, under the pool's lock, whenever a worker that joined has returned from Work.
// Work must not raise. The job lives on the offering thread's stack until Withdraw returns true.
class TIEWorkerJob {
 public:
  TIEWorkerJob(int32_t Helpers, std::function<void()> Work, std::function<void()> Left)
      : helpers_(Helpers), work_(std::move(Work)), left_(std::move(Left)) {}
  TIEWorkerJob(const TIEWorkerJob&) = delete;
  TIEWorkerJob& operator=(const TIEWorkerJob&) = delete;

 private:
  friend class TIEWorkerPool;
  int32_t helpers_;
  std::function<void()> work_;
  std::function<void()> left_;
  int32_t joined_ = 0;  // workers that took the job
  int32_t active_ = 0;  // of them, those still in Work
  bool queued_ = false;
};

// Worker threads started on demand and kept for the life of the process, so that a pass run many
// times a second (a view repainting) neither starts nor joins threads. A job never waits for a
// worker to come free: its own thread can do all of it, the workers only take a share when they
// are idle. Passes nested in a worker's share, or offered by several threads at once, therefore
// cannot block each other.
class TIEWorkerPool {
 public:
  // The process's pool (a child made by fork gets a pool of its own, the parent's workers not being
  // there).
  static TIEWorkerPool& Shared();
  // The most workers a pool keeps.
  static constexpr int32_t kMostWorkers = 64;

  // Queues Job for idle workers, starting workers while fewer are idle than it asks for.
  void Offer(TIEWorkerJob& Job);
  // Takes Job out of the queue, so that no worker joins it any more. True when none of the workers
  // that joined is still in its Work: then the job may go.
  bool Withdraw(TIEWorkerJob& Job);
  // Workers started so far.
  int32_t Workers() const;

 private:
  explicit TIEWorkerPool(uint32_t Process) : process_(Process) {}
  void Serve();

  const uint32_t process_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TIEWorkerJob*> queue_;
  int32_t workers_ = 0;
  int32_t idle_ = 0;  // workers not in a job (those starting included)
};
