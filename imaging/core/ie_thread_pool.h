#pragma once
// The processor-core count that splits work into bands, and a minimal pool that starts worker
// threads and waits for them.
#include <cstdint>
#include <memory>
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
