#include "controls/xrl/xrl_synch.h"

#include <cerrno>

#include "controls/xrl/xrl_base.h"

TWaitOutcome WaitOutcomeOf(uint32_t waitResult) {
  switch (waitResult) {
    case WAIT_OBJECT_0: return woSignaled;
    case WAIT_ABANDONED: return woAbandoned;
    case WAIT_IO_COMPLETION: return woIoCompletion;
    case WAIT_TIMEOUT: return woTimeout;
    default: return woError;
  }
}

TWaitOutcome TXrlDispatcherObject::WaitSignal(uint32_t timeoutMs) { return WaitOutcomeOf(Wait(timeoutMs)); }

TXrlMutex::TXrlMutex(bool initialOwner, const std::string& name) {
  int error = 0;
  mutex_ = TNamedMutex::Create(name, initialOwner, error);
  if (!mutex_) throw EXrlMutexError("Failed to create mutex", error);
}
