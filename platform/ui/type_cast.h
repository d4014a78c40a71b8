#pragma once
// The framework's checked class cast: casting an object to a class it is not an instance of (or
// a missing object where one is required) raises EInvalidCast with the framework's text.
#include "platform/system/exception.h"

class EInvalidCast : public Exception { using Exception::Exception; };

inline constexpr const char* SInvalidCast = "Invalid class typecast";

// Raises EInvalidCast with SInvalidCast.
[[noreturn]] inline void RaiseInvalidCast() { throw EInvalidCast(SInvalidCast); }
