#include "imaging/core/ie_thread_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "platform/system/processors.h"

namespace {
// -1 = not yet known.
std::atomic<int32_t> g_processorCoreCount{-1};
}  // namespace

int32_t ProcessorCoreCount() {
  int32_t count = g_processorCoreCount.load(std::memory_order_relaxed);
  if (count > 0) return count;
  count = PhysicalCoreCount();
  if (count < 1) count = LogicalProcessorCount();
  if (count < 1) count = 1;
  g_processorCoreCount.store(count, std::memory_order_relaxed);
  return count;
}

void ResetProcessorCoreCount() { g_processorCoreCount.store(-1, std::memory_order_relaxed); }

TIEThreadPool::~TIEThreadPool() { WaitForAll(); }

void TIEThreadPool::Add(std::unique_ptr<TThread> Thread) {
  if (!Thread) return;
  TThread* thread = Thread.get();
  threads_.push_back(std::move(Thread));
  // The pool frees its threads; one that freed itself would be freed twice.
  thread->SetFreeOnTerminate(false);
  if (thread->Suspended()) thread->Start();
}

void TIEThreadPool::WaitForAll() {
  for (std::unique_ptr<TThread>& thread : threads_) {
    if (!thread->Suspended()) {
      try {
        thread->WaitFor();
      } catch (const Exception&) {
        // Only a misuse raises here (a pool thread waiting for itself); the thread is freed anyway.
      }
    }
    thread.reset();
  }
  threads_.clear();
}

TIEWorkerPool& TIEWorkerPool::Shared() {
  // Never freed: its workers wait for jobs until the process ends.
  static std::atomic<TIEWorkerPool*> shared{nullptr};
  const uint32_t process = GetCurrentProcessId();
  TIEWorkerPool* pool = shared.load(std::memory_order_acquire);
  while (!pool || pool->process_ != process) {
    // A forked child leaves its parent's pool alone (its lock may have been held by a worker that is
    // not in the child) and makes its own; of two threads making one, the first to install it wins.
    auto made = std::unique_ptr<TIEWorkerPool>(new TIEWorkerPool(process));
    if (shared.compare_exchange_strong(pool, made.get(), std::memory_order_acq_rel)) return *made.release();
  }
  return *pool;
}

void TIEWorkerPool::Offer(TIEWorkerJob& Job) {
  if (Job.helpers_ <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  Job.queued_ = true;
  queue_.push_back(&Job);
  const int32_t start = std::min(Job.helpers_ - idle_, kMostWorkers - workers_);
  for (int32_t i = 0; i < start; ++i) {
    try {
      std::thread([this] { Serve(); }).detach();
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones there (and the offering thread) do the work
    }
    ++workers_;
    ++idle_;
  }
  wake_.notify_all();
}

bool TIEWorkerPool::Withdraw(TIEWorkerJob& Job) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Job.queued_) {
    queue_.erase(std::find(queue_.begin(), queue_.end(), &Job));
    Job.queued_ = false;
  }
  return Job.active_ == 0;
}

int32_t TIEWorkerPool::Workers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workers_;
}

void TIEWorkerPool::Serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !queue_.empty(); });
    TIEWorkerJob* job = queue_.front();
    ++job->joined_;
    ++job->active_;
    if (job->joined_ >= job->helpers_) {
      queue_.pop_front();
      job->queued_ = false;
    }
    --idle_;
    lock.unlock();
    try {
      job->work_();
    } catch (...) {
      // Work keeps its own exceptions; a worker outlives anything that escapes it.
    }
    lock.lock();
    ++idle_;
    --job->active_;
    // Under the lock: the job's thread cannot see it finished and let it go before this returns.
    if (job->left_) job->left_();
  }
}
