#pragma once
// The framework's synchronisation objects: a re-entrant critical section and events with manual or
// automatic reset, as the program's threads use them.
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A wait without time limit.
constexpr uint32_t INFINITE = 0xFFFFFFFF;

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };

// A critical section: held by one thread at a time, and entered again by the thread that holds it
// (each Enter needs its Leave). Also usable with std::lock_guard / std::unique_lock.
class TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  // Enters when no other thread holds it; never waits.
  bool TryEnter() { return mutex_.try_lock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex mutex_;
};

// An event. A manual-reset event stays signalled until ResetEvent and releases every waiter; an
// auto-reset event releases one waiter and becomes non-signalled again (when nobody waits it stays
// signalled until the next wait).
class TEvent {
 public:
  explicit TEvent(bool ManualReset = true, bool InitialState = false)
      : manualReset_(ManualReset), signalled_(InitialState) {}
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  // Waits until the event is signalled (wrSignaled) or Timeout milliseconds have passed
  // (wrTimeout); 0 only tests, INFINITE waits without limit. An auto-reset event is consumed.
  TWaitResult WaitFor(uint32_t Timeout = INFINITE);
  bool ManualReset() const { return manualReset_; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const bool manualReset_;
  bool signalled_;
};

// A manual-reset event, created non-signalled.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};
