#pragma once
// The one base of every failure the program raises. Each carries its fixed English text.
#include <cstdarg>
#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Failures of the platform's own services.
class EOutOfMemory : public Exception { using Exception::Exception; };
class EInvalidOperation : public Exception { using Exception::Exception; };
class EConvertError : public Exception { using Exception::Exception; };
class EOSError : public Exception { using Exception::Exception; };
// An input/output failure of a file; ErrorCode is the operating system's error number (errno) when known.
class EInOutError : public Exception {
 public:
  explicit EInOutError(std::string message, int errorCode = 0)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};
// Silent abort: ends an action without a message box.
class EAbort : public Exception { using Exception::Exception; };
// A broken invariant that the code checks in every build (not only with assertions compiled in).
class EAssertionFailed : public Exception { using Exception::Exception; };

// Raises EAssertionFailed with the text followed by " (unit, line n)", as the run-time library
// words a failed assertion.
[[noreturn]] void AssertionFailed(const std::string& message, const char* unit, int line);

// Freeing an object that is still referenced, or one that was never handed out: "Invalid pointer
// operation".
class EInvalidPointer : public Exception { using Exception::Exception; };
// Calling an operation that a class declares and leaves to its descendants: "Abstract Error".
class EAbstractError : public Exception { using Exception::Exception; };
[[noreturn]] void AbstractError();

// printf-style formatting into a std::string (the framework's Format for %s, %d, %x, %f ...).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

// The operating system's message text for an errno value (the "last error" of file operations).
std::string SysErrorMessage(int error);

// Raises EOSError "System Error.  Code: %d." and the system's message text on the next line, for
// a failed system call's error number.
[[noreturn]] void RaiseLastOSError(int error);
