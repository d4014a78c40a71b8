#pragma once
// Wait objects: a base over a system object that can be waited for, the named mutex, and a critical
// section.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system/named_objects.h"
#include "platform/system/sync_objs.h"

enum TWaitOutcome : uint8_t { woAbandoned, woError, woIoCompletion, woSignaled, woTimeout };

// The outcome of a system wait's answer: WAIT_OBJECT_0 signalled, WAIT_ABANDONED abandoned,
// WAIT_IO_COMPLETION, WAIT_TIMEOUT, anything else an error.
TWaitOutcome WaitOutcomeOf(uint32_t waitResult);

class TXrlDispatcherObject {
 public:
  virtual ~TXrlDispatcherObject() = default;
  // Waits (milliseconds; INFINITE without limit) and tells how it ended.
  TWaitOutcome WaitSignal(uint32_t timeoutMs);
  // The system object behind it.
  virtual void* SystemHandle() const = 0;

 protected:
  virtual uint32_t Wait(uint32_t timeoutMs) = 0;
};

class TXrlMutex : public TXrlDispatcherObject {
 public:
  // Creates or opens the named mutex; raises EXrlMutexError "Failed to create mutex" on failure.
  TXrlMutex(bool initialOwner, const std::string& name);
  const std::string& MutexName() const { return mutex_->Name(); }
  bool AlreadyExisted() const { return mutex_->AlreadyExisted(); }
  // Lets go of the mutex; whether the system accepted it.
  bool ReleaseOwnership() { return mutex_->Release(); }
  void* SystemHandle() const override { return mutex_.get(); }

 protected:
  uint32_t Wait(uint32_t timeoutMs) override { return mutex_->Wait(timeoutMs); }

 private:
  std::unique_ptr<TNamedMutex> mutex_;
};

class TXrlCriticalSection {
 public:
  void Enter() { section_.Enter(); }
  void Leave() { section_.Leave(); }

 private:
  TCriticalSection section_;
};
