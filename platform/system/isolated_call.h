#pragma once
// Work done in a child process, for code we call but cannot trust with hostile input (a third-party
// decoder that may crash or loop on damaged data): the child is a fork of the caller, so it sees
// the caller's memory as it was; it hands its results back through a shared mapping made before it
// starts, then ends. A crash or a hang ends only the child.
//
// The child is forked from a process that may run other threads: it must do only the work itself
// (the C library's allocator is fork-safe; locks of this program that another thread might have
// held at the fork are not). It never returns into the caller's code: it ends with _exit.
#include <cstddef>
#include <cstdint>
#include <functional>

// Memory shared with children started after it was made: what a child writes there, the parent
// reads after the child has ended. Zero-filled when made. Movable, not copyable.
class TSharedBlock {
 public:
  TSharedBlock() = default;
  ~TSharedBlock();
  TSharedBlock(TSharedBlock&& other) noexcept;
  TSharedBlock& operator=(TSharedBlock&& other) noexcept;
  TSharedBlock(const TSharedBlock&) = delete;
  TSharedBlock& operator=(const TSharedBlock&) = delete;

  // A fresh block of Bytes (at least one) bytes; false when the system gives none (the old block
  // is released either way).
  bool Allocate(size_t Bytes);
  void Release();
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

enum class TIsolatedResult {
  Succeeded,   // Work returned true
  Failed,      // Work returned false or raised
  Crashed,     // the child ended by a signal (or an exit status it never gives)
  TimedOut,    // the child ran past the time-out and was killed
  NotStarted,  // no child could be made
};

// Runs Work in a child process and waits for it at most TimeoutMs milliseconds; a child still
// running then is killed. The child is always reaped before this returns. Thread-safe.
TIsolatedResult RunIsolated(const std::function<bool()>& Work, int64_t TimeoutMs);

// Test seam: the work of every later child is replaced, before it starts, by a crash (1), an
// endless wait (2), or left alone (0).
void SetIsolatedFaultForTesting(int32_t Fault);
