#pragma once
// Work done in another process, for code we call but cannot trust with hostile input (a third-party
// decoder that may crash or loop on damaged data). A crash or a hang ends only that process.
//
// Two ways:
// - RunIsolated forks a child of the caller, which sees the caller's memory as it was, hands its
//   results back through a shared block made before it starts, then ends. Forking a process that
//   holds large pictures costs its page tables and, afterwards, a fault on every page the caller
//   writes again; and the child is forked from a process that may run other threads, so it must do
//   only the work itself (the C library's allocator is fork-safe; locks of this program that another
//   thread might have held at the fork are not). It never returns into the caller's code.
// - RunInHelper hands the work to a helper process: this program itself, started again in a mode
//   where it only serves requests (so it is found wherever the program runs, a test or a fuzzer
//   as well as the installed program), kept between requests and started anew after a crash or a
//   hang. A request names a handler registered in the program, carries a few bytes of arguments and
//   two shared blocks (read and written in place: no copy through a pipe).
#include <cstddef>
#include <cstdint>
#include <functional>

// Memory shared with children started after it was made and with helpers it is handed to: what a
// child or helper writes there, the caller reads once the work has ended. Zero-filled when made, its
// pages in place from the start (one pass of the kernel instead of a fault per page). Movable, not
// copyable.
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
  int fd() const { return fd_; }  // the memory file behind the block, -1 when none

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;
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

// What a helper's handler is given: the request's arguments and the caller's two blocks (either may
// be empty), mapped into the helper.
struct TIsolatedWork {
  const uint8_t* Args;
  size_t ArgsSize;
  const uint8_t* In;
  size_t InSize;
  uint8_t* Out;
  size_t OutSize;
};
// A handler returns true when the work succeeded; it may raise (counted as a failure).
using TIsolatedHandler = bool (*)(const TIsolatedWork& Work);

// Arguments a request may carry, at most.
constexpr size_t kIsolatedMaxArgs = 256;

// Makes Handler known by Name (at most 31 bytes, unique) to this program and to its helpers. A helper
// serves its requests before the program's own static objects are made: registrations are made from
// a function marked BRIMVALE_ISOLATED_REGISTRATION, which runs before that, and a handler must not
// rely on static objects with constructors. False when the table is full or the name is bad.
#define BRIMVALE_ISOLATED_REGISTRATION __attribute__((constructor(201), used))
bool RegisterIsolatedHandler(const char* Name, TIsolatedHandler Handler);

// Runs the handler Name in a helper process on the first InSize bytes of In and the first OutSize
// bytes of Out (either block may be null with a size of 0) and waits at most TimeoutMs
// milliseconds; a helper still working then is killed. NotStarted when no helper can be had (the
// caller may then fork with RunIsolated). Thread-safe: each caller has a helper of its own while
// its work runs; idle helpers are kept for later requests.
TIsolatedResult RunInHelper(const char* Name, const void* Args, size_t ArgsSize, const TSharedBlock* In,
                            size_t InSize, TSharedBlock* Out, size_t OutSize, int64_t TimeoutMs);

// The helpers started so far in this process (a test sees reuse and restarts by it).
int64_t IsolatedHelpersStarted();

// Test seam: the work of every later child and helper request is replaced, before it starts, by a
// crash (1), an endless wait (2), or left alone (0).
void SetIsolatedFaultForTesting(int32_t Fault);
