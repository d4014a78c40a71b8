#pragma once
// How the resamplers spread the rows of one pass over worker threads: the thread count rule, the
// bands, and the relay that carries progress from the workers to the calling thread, which alone
// calls the progress handler.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/system/sync_objs.h"

class TIEBaseBitmap;

// The worker threads of a pass that reads Source: one when Source is a TIEBitmap held in a
// temporary file (its rows are mapped one at a time), else the processor core count (or the test
// override).
int32_t ResampleThreadCount(TIEBaseBitmap& Source);
// The worker threads for rows held in memory: the processor core count (or the test override).
int32_t BandThreadCount();
// Test seam: when positive, the thread count in place of the processor core count.
int32_t& ResampleThreadCountForTesting();
// True for a TIEBitmap whose pixels live in a temporary file.
bool IsFileHeldBitmap(TIEBaseBitmap& Bitmap);

// Carries progress from the workers of one pass to the calling thread, which waits in Serve.
class TResampleProgressRelay {
 public:
  explicit TResampleProgressRelay(int32_t Workers) : running_(Workers) {}
  TResampleProgressRelay(const TResampleProgressRelay&) = delete;
  TResampleProgressRelay& operator=(const TResampleProgressRelay&) = delete;

  // Worker: a value for the caller to report.
  void Post(int32_t Value);
  // Worker: one more row finished; returns the count of finished rows.
  int32_t RowDone() { return rowsDone_.fetch_add(1, std::memory_order_acq_rel) + 1; }
  // Worker: makes the caller look at the values and the count.
  void Wake() { wake_.SetEvent(); }
  // Worker: its band has ended, with the exception that stopped it if any.
  void Finished(std::exception_ptr Error);
  // True when the pass is to stop (the handler raised); workers test it after each row.
  bool Aborted() const { return abort_.load(std::memory_order_relaxed); }

  // Caller: until every worker has finished, hands the posted values and the count of finished
  // rows to Deliver whenever a worker wakes it. When Deliver raises, the workers are stopped and
  // the exception is kept for Rethrow.
  void Serve(const std::function<void(const std::vector<int32_t>& Values, int32_t RowsDone)>& Deliver);
  // Caller, after the workers are joined: raises what the handler or a worker raised.
  void Rethrow();

 private:
  std::mutex mutex_;
  TEvent wake_{false, false};
  std::vector<int32_t> values_;
  int32_t running_;
  std::atomic<int32_t> rowsDone_{0};
  std::atomic<bool> abort_{false};
  std::exception_ptr error_;
  std::exception_ptr handlerError_;
};

// A band of a pass: rows First .. First + Count - 1. It calls RowDone after each row and stops when
// that returns false. Bands of one pass may run at the same time on different threads.
using TResampleBandProc = std::function<void(int32_t First, int32_t Count, const std::function<bool()>& RowDone)>;

// Runs Band over Rows rows on the calling thread and up to Threads - 1 of the kept workers
// (TIEWorkerPool) that are idle, or once over all the rows on the calling thread when Threads is 1.
// The threads take the rows in chunks (about eight per thread, at most 64 rows each), each the next
// chunk when it has finished one, so that a thread held back by a busy machine does not keep the
// others waiting. OnRows, when set, is called on the calling thread with every count of finished
// rows from 1 to Rows in rising order, so that a handler sees the same sequence as from one thread
// going down the rows. Exceptions of Band or OnRows are raised after every worker has left the pass.
void RunResampleBands(int32_t Rows, int32_t Threads, const TResampleBandProc& Band,
                      const std::function<void(int32_t RowsDone)>& OnRows);
