// The I/O threads of TZodazUrIO and the component's side of them: registration, the worker test,
// waiting and joining.
#include "imaging/io/io_threads.h"

#include <algorithm>

#include "imaging/io/zodazur_io.h"

TIEIOThread::TIEIOThread(TZodazUrIO* Owner, TCallKind Kind, std::function<void()> Call, uint64_t Generation)
    : TThread(true), owner_(Owner), kind_(Kind), call_(std::move(Call)), generation_(Generation) {}

TIEIOThread::~TIEIOThread() {
  // Joined while this class's part is still whole: the thread runs virtual members of its object up
  // to its very end.
  if (Suspended()) return;
  try {
    WaitFor();
  } catch (...) {
  }
}

void TIEIOThread::Start(TZodazUrIO* Owner, TCallKind Kind, std::function<void()> Call) {
  // Threads that have finished are joined first, so the list holds only live ones.
  Owner->ReapFinishedThreads();
  TIEIOThread* thread;
  {
    std::lock_guard<TCriticalSection> lock(Owner->threadsLock_);
    auto owned = std::unique_ptr<TIEIOThread>(new TIEIOThread(Owner, Kind, std::move(Call), Owner->cancelGeneration_));
    thread = owned.get();
    Owner->threads_.push_back(std::move(owned));
    Owner->running_.push_back(thread);
    Owner->allDone_.ResetEvent();
  }
  try {
    thread->TThread::Start();
  } catch (...) {
    // No thread could be made: the call is lost, reported like a failed load.
    std::lock_guard<TCriticalSection> lock(Owner->threadsLock_);
    Owner->running_.erase(std::find(Owner->running_.begin(), Owner->running_.end(), thread));
    if (Owner->running_.empty()) Owner->allDone_.SetEvent();
    Owner->SetAborting(true);
  }
}

void TIEIOThread::Execute() {
  // The id first: the repeated call must see itself as running on a worker.
  workerId_ = GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> work(owner_->workLock_);
    bool cancelled;
    {
      std::lock_guard<TCriticalSection> lock(owner_->threadsLock_);
      cancelled = generation_ != owner_->cancelGeneration_;
    }
    // A call still waiting for its turn when WaitThreads(True) asked to stop is not made.
    if (!cancelled) {
      try {
        call_();
      } catch (...) {
        owner_->SetAborting(true);
      }
    }
  }
  std::lock_guard<TCriticalSection> lock(owner_->threadsLock_);
  auto it = std::find(owner_->running_.begin(), owner_->running_.end(), this);
  if (it != owner_->running_.end()) owner_->running_.erase(it);
  if (owner_->running_.empty()) owner_->allDone_.SetEvent();
}

// ------------------------------------------------------------------------------ the component's side

bool TZodazUrIO::InWorkerThread() {
  const TThreadID self = GetCurrentThreadId();
  std::lock_guard<TCriticalSection> lock(threadsLock_);
  return std::any_of(running_.begin(), running_.end(), [&](TIEIOThread* t) { return t->WorkerId() == self; });
}

void TZodazUrIO::WaitThreads(bool Abort) {
  for (;;) {
    size_t running;
    {
      std::lock_guard<TCriticalSection> lock(threadsLock_);
      if (Abort) {
        SetAborting(true);
        ++cancelGeneration_;
      }
      running = running_.size();
    }
    if (running == 0) break;
    // On the user-interface thread the wait serves the workers' synchronised calls (the creation of
    // a view's window), so a worker that needs the user-interface thread does not deadlock.
    WaitForServingSync(allDone_);
  }
  ReapFinishedThreads();
}

void TZodazUrIO::ReapFinishedThreads() {
  std::vector<std::unique_ptr<TIEIOThread>> finished;
  {
    std::lock_guard<TCriticalSection> lock(threadsLock_);
    auto isRunning = [&](const std::unique_ptr<TIEIOThread>& t) {
      return std::find(running_.begin(), running_.end(), t.get()) != running_.end();
    };
    for (auto& thread : threads_)
      if (!isRunning(thread)) finished.push_back(std::move(thread));
    threads_.erase(std::remove(threads_.begin(), threads_.end(), nullptr), threads_.end());
  }
  // Joined outside the lock: a finished thread may still be leaving it.
  finished.clear();
}

bool TZodazUrIO::MustRunAsynchronously() {
  if (InWorkerThread()) return false;
  if (asynchronous_ && !OwnsBitmap()) return true;
  // Work on this thread; asynchronous work still running goes first.
  WaitThreads(false);
  return false;
}
