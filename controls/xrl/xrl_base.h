#pragma once
// The utility library's exceptions.
#include <cstdint>
#include <string>

#include "platform/system/exception.h"

class EXrlError : public Exception { using Exception::Exception; };
class EXrlInternalError : public EXrlError { using EXrlError::EXrlError; };
class ESharedMemError : public EXrlError { using EXrlError::EXrlError; };

// A failed system call: "Win32 error: %s (%u)%s%s" with the system's message text, the error number,
// a line break (CR LF) and the library's own text. The first form reads the calling thread's last
// error (errno).
class EXrlWin32Error : public EXrlError {
 public:
  explicit EXrlWin32Error(const std::string& text);
  EXrlWin32Error(const std::string& text, int errorCode);
  uint32_t LastError() const { return lastError_; }
  const std::string& LastErrorMsg() const { return lastErrorMsg_; }

 private:
  uint32_t lastError_;
  std::string lastErrorMsg_;
};

class EXrlMutexError : public EXrlWin32Error { using EXrlWin32Error::EXrlWin32Error; };
