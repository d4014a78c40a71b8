#include "platform/system/threads.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <system_error>

// ------------------------------------------------------------------------------------------ thread ids

TThreadID GetCurrentThreadId() {
  thread_local const TThreadID id = static_cast<TThreadID>(::gettid());
  return id;
}

uint32_t GetCurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

namespace {
// Zero until the first call, which static initialisation below makes on the thread that starts the
// program (earlier calls from other modules' static initialisers run on that thread too).
std::atomic<TThreadID> g_mainThreadId{0};
}  // namespace

TThreadID MainThreadID() {
  TThreadID id = g_mainThreadId.load(std::memory_order_acquire);
  if (id == 0) {
    id = GetCurrentThreadId();
    g_mainThreadId.store(id, std::memory_order_release);
  }
  return id;
}

namespace {
[[maybe_unused]] const TThreadID g_mainThreadIdAtStartUp = MainThreadID();
}  // namespace

bool IsMainThread() { return GetCurrentThreadId() == MainThreadID(); }

// ---------------------------------------------------------------------------- synchronised calls

namespace {

struct SyncRequest {
  const std::function<void()>* method;
  std::exception_ptr error;
  bool done = false;
};

// The queue of calls for the main thread, and the wake-up counter of main-thread waits.
struct SyncState {
  std::mutex mutex;
  std::condition_variable queued;  // a call was queued, or some waited-for state changed
  std::condition_variable served;  // a call has run
  std::deque<SyncRequest*> queue;
  uint64_t epoch = 0;              // bumped by every change a main-thread wait may care about
  std::function<void()> wakeHook;
  std::atomic<int> mainWaiters{0};
};

SyncState& Sync() {
  static SyncState* state = new SyncState;  // never destroyed: workers may outlive static teardown
  return *state;
}

// What a worker raises for an exception of a synchronised call: the same object when it is one of
// the program's own exceptions, else an Exception with the same message.
std::exception_ptr ForWorker(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception&) {
    return error;
  } catch (const std::exception& e) {
    return std::make_exception_ptr(Exception(e.what()));
  } catch (...) {
    return std::make_exception_ptr(Exception("Unknown exception in a synchronised call"));
  }
}

// On the main thread: waits until tryAcquire() succeeds or the time is up, serving synchronised
// calls meanwhile. tryAcquire must not block.
bool ServeUntil(const std::function<bool()>& tryAcquire, uint32_t timeout) {
  SyncState& s = Sync();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
  s.mainWaiters.fetch_add(1);
  struct Leave {
    SyncState& s;
    ~Leave() { s.mainWaiters.fetch_sub(1); }
  } leave{s};
  for (;;) {
    uint64_t epoch;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      epoch = s.epoch;
    }
    CheckSynchronize(0);
    if (tryAcquire()) return true;
    std::unique_lock<std::mutex> lock(s.mutex);
    const auto changed = [&] { return s.epoch != epoch; };
    if (timeout == INFINITE) {
      s.queued.wait(lock, changed);
    } else if (!s.queued.wait_until(lock, deadline, changed)) {
      lock.unlock();
      CheckSynchronize(0);
      return tryAcquire();
    }
  }
}

}  // namespace

void NotifyMainThreadWaiters() {
  SyncState& s = Sync();
  if (s.mainWaiters.load() == 0) return;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.epoch;
  }
  s.queued.notify_all();
}

void SetWakeMainThread(std::function<void()> hook) {
  SyncState& s = Sync();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.wakeHook = std::move(hook);
}

std::function<void()> WakeMainThread() {
  SyncState& s = Sync();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.wakeHook;
}

bool CheckSynchronize(int32_t TimeoutMs) {
  if (!IsMainThread())
    throw EThread(Format("CheckSynchronize called from thread $%x, which is NOT the main thread",
                         GetCurrentThreadId()));
  SyncState& s = Sync();
  std::deque<SyncRequest*> pending;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.queue.empty() && TimeoutMs > 0)
      s.queued.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [&] { return !s.queue.empty(); });
    pending.swap(s.queue);
  }
  for (SyncRequest* request : pending) {
    try {
      (*request->method)();
    } catch (...) {
      request->error = ForWorker(std::current_exception());
    }
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      request->done = true;
    }
    s.served.notify_all();
  }
  return !pending.empty();
}

void TThread::Synchronize(TThread*, const std::function<void()>& Method) {
  if (IsMainThread()) {
    Method();
    return;
  }
  SyncState& s = Sync();
  SyncRequest request{&Method, nullptr};
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.queue.push_back(&request);
    ++s.epoch;
    s.queued.notify_all();
    // The wake-up is posted before the main thread can take the request: once the call has run, this
    // thread touches nothing of the application's any more, so a program may end (and take its
    // message loop with it) as soon as the last call of a worker has been served.
    if (s.wakeHook) s.wakeHook();
    s.served.wait(lock, [&] { return request.done; });
  }
  if (request.error) std::rethrow_exception(request.error);
}

TWaitResult WaitForServingSync(TEvent& event, uint32_t Timeout) {
  if (!IsMainThread()) return event.WaitFor(Timeout);
  return ServeUntil([&] { return event.WaitFor(0) == wrSignaled; }, Timeout) ? wrSignaled : wrTimeout;
}

// -------------------------------------------------------------------------------------------- TThread

TThread::TThread(bool CreateSuspended) : createSuspended_(CreateSuspended) {}

TThread::~TThread() {
  bool running;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running = started_ && !finished_;
  }
  if (running && !(freeOnTerminate_ && GetCurrentThreadId() == threadId_)) {
    Terminate();
    try {
      WaitFor();
    } catch (...) {
    }
  }
  std::lock_guard<std::mutex> join(joinMutex_);
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }
}

void TThread::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) throw EThread("Cannot call Start on a running or finished thread");
  // The new thread first takes mutex_, so it runs only once thread_ and handle_ are set.
  try {
    thread_ = std::thread(&TThread::Run, this);
  } catch (const std::system_error& e) {
    throw EThread(Format("Thread creation error: %s", e.what()));
  }
  started_ = true;
  handle_ = static_cast<uintptr_t>(thread_.native_handle());
}

void TThread::AfterConstruction() {
  bool start;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    start = !createSuspended_ && !started_;
  }
  if (start) Start();
}

bool TThread::Suspended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !started_;
}

bool TThread::Finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

TThreadID TThread::ThreadID() const {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!started_) return 0;
  changed_.wait(lock, [this] { return threadId_ != 0; });
  return threadId_;
}

void TThread::Run() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threadId_ = GetCurrentThreadId();
  }
  changed_.notify_all();
  try {
    Execute();
  } catch (...) {
    fatalException_ = std::current_exception();
  }
  try {
    DoTerminate();
  } catch (...) {
  }
  const bool freeSelf = freeOnTerminate_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
  NotifyMainThreadWaiters();
  if (freeSelf) delete this;  // the destructor detaches the system thread, which ends right here
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

int32_t TThread::WaitFor() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) throw EThread("Cannot call WaitFor on a thread that was never started");
  }
  if (freeOnTerminate_) throw EThread("Cannot call WaitFor on a thread that frees itself");
  if (GetCurrentThreadId() == ThreadID()) throw EThread("A thread cannot wait for itself");
  const auto finished = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
  };
  if (IsMainThread()) {
    ServeUntil(finished, INFINITE);
  } else {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
  }
  std::lock_guard<std::mutex> join(joinMutex_);
  if (thread_.joinable()) thread_.join();
  return returnValue_;
}
