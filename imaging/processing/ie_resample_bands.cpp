#include "imaging/processing/ie_resample_bands.h"

#include <algorithm>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_thread_pool.h"
#include "platform/system/threads.h"

namespace {

int32_t g_threadCountForTesting = 0;

// The rows of a pass handed out in chunks: each worker takes the next chunk when it has finished
// one, so a worker that the system holds back (a busy machine) leaves its share to the others
// instead of keeping them all waiting at the end of the pass.
class TRowChunks {
 public:
  TRowChunks(int32_t rows, int32_t threads)
      : rows_(rows), chunk_(std::clamp(rows / (threads * 8), 1, 64)) {}
  // The next chunk: false when every row is taken.
  bool Next(int32_t& first, int32_t& count) {
    first = next_.fetch_add(chunk_, std::memory_order_relaxed);
    if (first >= rows_) return false;
    count = std::min(chunk_, rows_ - first);
    return true;
  }

 private:
  const int32_t rows_;
  const int32_t chunk_;
  std::atomic<int32_t> next_{0};
};

}  // namespace

bool IsFileHeldBitmap(TIEBaseBitmap& Bitmap) {
  TIEBitmap* bitmap = dynamic_cast<TIEBitmap*>(&Bitmap);
  return bitmap && bitmap->Location() == ieFile;
}

int32_t ResampleThreadCount(TIEBaseBitmap& Source) {
  if (IsFileHeldBitmap(Source)) return 1;
  return BandThreadCount();
}

int32_t BandThreadCount() {
  if (g_threadCountForTesting > 0) return g_threadCountForTesting;
  return std::max(1, ProcessorCoreCount());
}

int32_t& ResampleThreadCountForTesting() { return g_threadCountForTesting; }

void TResampleProgressRelay::Post(int32_t Value) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.push_back(Value);
  }
  wake_.SetEvent();
}

void TResampleProgressRelay::Finished(std::exception_ptr Error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Error && !error_) error_ = Error;
    --running_;
  }
  wake_.SetEvent();
}

void TResampleProgressRelay::Serve(
    const std::function<void(const std::vector<int32_t>& Values, int32_t RowsDone)>& Deliver) {
  std::vector<int32_t> values;
  for (;;) {
    int32_t running;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      values.swap(values_);
      running = running_;
    }
    if (!handlerError_ && Deliver) {
      try {
        Deliver(values, rowsDone_.load(std::memory_order_acquire));
      } catch (...) {
        handlerError_ = std::current_exception();
        abort_.store(true);
      }
    }
    values.clear();
    if (running == 0) break;
    WaitForServingSync(wake_);
  }
}

void TResampleProgressRelay::Rethrow() {
  if (handlerError_) std::rethrow_exception(handlerError_);
  if (error_) std::rethrow_exception(error_);
}

void RunResampleBands(int32_t Rows, int32_t Threads, const TResampleBandProc& Band,
                      const std::function<void(int32_t RowsDone)>& OnRows) {
  if (Rows <= 0) return;
  Threads = std::clamp(Threads, 1, Rows);
  if (Threads == 1) {
    int32_t done = 0;
    Band(0, Rows, [&] {
      ++done;
      if (OnRows) OnRows(done);
      return true;
    });
    return;
  }
  // The calling thread takes chunks like the kept workers that join it; it alone calls OnRows,
  // between its own rows and while it waits for the workers' last chunks.
  TRowChunks chunks(Rows, Threads);
  const bool listening = static_cast<bool>(OnRows);
  // The caller is woken about a hundred times a pass, and at the last row.
  const int32_t step = std::max(1, Rows / 128);
  std::atomic<int32_t> rowsDone{0};
  std::atomic<bool> abort{false};
  std::mutex errorMutex;
  std::exception_ptr error, handlerError;
  TEvent wake(false, false);
  int32_t reported = 0;
  auto deliver = [&] {
    if (!listening || handlerError) return;
    const int32_t done = rowsDone.load(std::memory_order_acquire);
    try {
      while (reported < done) OnRows(++reported);
    } catch (...) {
      handlerError = std::current_exception();
      abort.store(true);
    }
  };
  auto work = [&](bool caller) {
    try {
      int32_t first, count;
      while (!abort.load(std::memory_order_relaxed) && chunks.Next(first, count)) {
        Band(first, count, [&] {
          if (listening) {
            const int32_t done = rowsDone.fetch_add(1, std::memory_order_acq_rel) + 1;
            if (caller)
              deliver();
            else if (done % step == 0 || done == Rows)
              wake.SetEvent();
          }
          return !abort.load(std::memory_order_relaxed);
        });
      }
    } catch (...) {
      {
        std::lock_guard<std::mutex> lock(errorMutex);
        if (!error) error = std::current_exception();
      }
      abort.store(true);
    }
  };
  TIEWorkerPool& pool = TIEWorkerPool::Shared();
  TIEWorkerJob job(Threads - 1, [&] { work(false); }, [&] { wake.SetEvent(); });
  pool.Offer(job);
  work(true);
  while (!pool.Withdraw(job)) {
    deliver();
    WaitForServingSync(wake);
  }
  deliver();
  if (handlerError) std::rethrow_exception(handlerError);
  if (error) std::rethrow_exception(error);
}
