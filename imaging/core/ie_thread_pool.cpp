#include "imaging/core/ie_thread_pool.h"

#include <atomic>

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
