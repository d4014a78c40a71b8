#pragma once
// The framework's thread class, and the road by which a worker thread calls into the main (user
// interface) thread.
//
// Synchronize queues a call for the main thread, calls the wake-up hook (which the user-interface
// layer installs so that its event loop runs CheckSynchronize) and waits until the call has run.
// Every wait of the main thread for workers (TThread::WaitFor, WaitForServingSync) keeps serving
// queued calls, so a worker that asks the main thread for something while the main thread waits
// for it does not deadlock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/system/exception.h"
#include "platform/system/object.h"
#include "platform/system/sync_objs.h"

class EThread : public Exception { using Exception::Exception; };

using TThreadID = uint32_t;

// The operating system's id of the calling thread.
TThreadID GetCurrentThreadId();
// The operating system's id of the calling process (a child made by fork has its own).
uint32_t GetCurrentProcessId();
// The id of the program's main thread (the one that ran the program's start-up).
TThreadID MainThreadID();
bool IsMainThread();

// Accepted and kept; threads run at the process's priority.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
 public:
  // A thread created suspended starts with Start (or Resume). One created not suspended starts
  // when its construction is complete: C++ cannot run code after the most derived constructor, so
  // that constructor ends with AfterConstruction().
  explicit TThread(bool CreateSuspended);
  // A thread that runs is asked to terminate and waited for. A derived class whose Execute uses the
  // derived class's own members must end the thread in its own destructor (Terminate, wake it,
  // WaitFor), because those members are gone when this destructor runs.
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread that has not run yet. Raises EThread
  // "Cannot call Start on a running or finished thread" otherwise.
  void Start();
  void Resume() { Start(); }
  // Starts a thread created not suspended; does nothing for one created suspended.
  void AfterConstruction();

  // Sets Terminated; Execute is expected to test it and return.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Waits until Execute (and OnTerminate) have run and returns ReturnValue. On the main thread the
  // wait serves synchronised calls. Raises EThread for a thread that never started, one that frees
  // itself, and a thread waiting for itself.
  int32_t WaitFor();

  bool Suspended() const;   // created suspended and not started yet
  bool Finished() const;
  bool FreeOnTerminate() const { return freeOnTerminate_; }
  // The object deletes itself when the thread ends (do not WaitFor or delete it then).
  void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority value) { priority_ = value; }
  int32_t ReturnValue() const { return returnValue_; }
  // The system thread (0 before Start) and its id (waits for the thread to report it; 0 before
  // Start).
  uintptr_t Handle() const { return handle_; }
  TThreadID ThreadID() const;
  // An exception that escaped Execute, or null.
  std::exception_ptr FatalException() const { return fatalException_; }

  // Runs on the main thread (through Synchronize) after Execute, before the thread ends; the
  // sender is the thread.
  TNotifyEvent OnTerminate;

  // Runs Method on the main thread and waits for it; on the main thread it runs at once. An
  // exception raised by Method is raised again here (an Exception of the same class, or one with
  // the same message).
  void Synchronize(const std::function<void()>& Method) { Synchronize(this, Method); }
  static void Synchronize(TThread* Thread, const std::function<void()>& Method);

 protected:
  virtual void Execute() = 0;
  // Calls OnTerminate through Synchronize when it is assigned.
  virtual void DoTerminate();
  void SetReturnValue(int32_t value) { returnValue_ = value; }

 private:
  void Run();

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::mutex joinMutex_;
  std::thread thread_;
  bool createSuspended_;
  bool started_ = false;
  bool finished_ = false;
  TThreadID threadId_ = 0;
  uintptr_t handle_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<TThreadPriority> priority_{tpNormal};
  std::atomic<int32_t> returnValue_{0};
  std::exception_ptr fatalException_;
};

// The hook Synchronize calls after queueing a call, from the worker thread: the user-interface
// layer installs one that makes its event loop run CheckSynchronize soon. Thread-safe.
void SetWakeMainThread(std::function<void()> hook);
std::function<void()> WakeMainThread();

// On the main thread: runs every queued synchronised call, first waiting up to TimeoutMs for one
// when none is queued. Returns true when a call ran. Raises EThread on any other thread.
bool CheckSynchronize(int32_t TimeoutMs = 0);

// Waits for an event like TEvent::WaitFor; on the main thread the wait serves synchronised calls.
TWaitResult WaitForServingSync(TEvent& event, uint32_t Timeout = INFINITE);

// Wakes a main-thread wait that serves synchronised calls, so that it tests its condition again.
// Events and threads call it when they change state.
void NotifyMainThreadWaiters();
