// The I/O worker of TZodazUrIO and the component's side of it: the queue of calls, the worker test,
// waiting and joining.
#include "imaging/io/io_threads.h"

#include "imaging/io/zodazur_io.h"

// The component's one worker thread: takes the queued calls in order and ends when none is left.
class TIEIOWorker : public TThread {
 public:
  explicit TIEIOWorker(TZodazUrIO* Owner) : TThread(true), owner_(Owner) {}
  // Joined while this class's part is still whole: the thread runs virtual members of its object up
  // to its very end.
  ~TIEIOWorker() override {
    if (Suspended()) return;
    try {
      WaitFor();
    } catch (...) {
    }
  }

 protected:
  void Execute() override;

 private:
  TZodazUrIO* owner_;
};

void TIEIOWorker::Execute() {
  TZodazUrIO& owner = *owner_;
  {
    // The id first: the repeated call must see itself as running on the worker.
    std::lock_guard<TCriticalSection> lock(owner.threadsLock_);
    owner.workerId_ = GetCurrentThreadId();
  }
  for (;;) {
    std::unique_ptr<TIEIOThread> call;
    {
      std::lock_guard<TCriticalSection> lock(owner.threadsLock_);
      if (owner.queue_.empty()) {
        // Leaving the lock for the last time: a call queued from now on starts a new worker.
        owner.working_ = false;
        owner.workerId_ = 0;
        owner.allDone_.SetEvent();
        return;
      }
      call = std::move(owner.queue_.front());
      owner.queue_.pop_front();
    }
    owner.bitmapBusy_ = true;
    try {
      call->call_();
    } catch (...) {
      // A failure goes no further than the component's abort flag.
      owner.SetAborting(true);
    }
    // A resolution the call left without a refresh after it still reaches the view, on its thread.
    if (owner.viewDpiPending_) {
      try {
        TThread::Synchronize(nullptr, [&owner] { owner.FlushViewDPI(); });
      } catch (...) {
        owner.viewDpiPending_ = 0;
      }
    }
    owner.ReleaseBusyBitmap();
  }
}

void TIEIOThread::Start(TZodazUrIO* Owner, TCallKind Kind, std::function<void()> Call) {
  std::unique_ptr<TThread> finished;
  {
    std::lock_guard<TCriticalSection> lock(Owner->threadsLock_);
    Owner->queue_.push_back(std::unique_ptr<TIEIOThread>(new TIEIOThread(Kind, std::move(Call))));
    Owner->bitmapBusy_ = true;
    Owner->allDone_.ResetEvent();
    if (Owner->working_) return;  // the running worker takes it in its turn
    // The previous worker has left its loop; it is joined below, outside the lock.
    finished = std::move(Owner->worker_);
    Owner->working_ = true;
    try {
      Owner->worker_ = std::make_unique<TIEIOWorker>(Owner);
      Owner->worker_->Start();
    } catch (...) {
      // No thread could be made: the call (the only one queued, as no worker was draining the queue)
      // is lost, reported like a failed load.
      Owner->worker_.reset();
      Owner->queue_.clear();
      Owner->working_ = false;
      Owner->bitmapBusy_ = false;
      Owner->allDone_.SetEvent();
      Owner->SetAborting(true);
    }
  }
}

// ------------------------------------------------------------------------------ the component's side

bool TZodazUrIO::InWorkerThread() {
  const TThreadID self = GetCurrentThreadId();
  std::lock_guard<TCriticalSection> lock(threadsLock_);
  return working_ && workerId_ == self;
}

void TZodazUrIO::WaitThreads(bool Abort) {
  const TThreadID self = GetCurrentThreadId();
  for (;;) {
    bool busy;
    {
      std::lock_guard<TCriticalSection> lock(threadsLock_);
      if (Abort) {
        SetAborting(true);
        // A call still waiting for its turn is not made.
        queue_.clear();
      }
      busy = working_;
      if (busy && workerId_ == self) return;
    }
    if (!busy) break;
    // On the user-interface thread the wait serves the worker's synchronised calls (the creation of
    // a view's window), so a worker that needs the user-interface thread does not deadlock.
    WaitForServingSync(allDone_);
  }
  JoinIdleWorker();
}

void TZodazUrIO::JoinIdleWorker() {
  std::unique_ptr<TThread> finished;
  {
    std::lock_guard<TCriticalSection> lock(threadsLock_);
    if (!working_) finished = std::move(worker_);
  }
  // Joined outside the lock: the worker may still be leaving it.
}

bool TZodazUrIO::MustRunAsynchronously() {
  if (InWorkerThread()) return false;
  if (asynchronous_ && !OwnsBitmap()) return true;
  // Work on this thread; asynchronous work queued or running goes first.
  WaitThreads(false);
  return false;
}
