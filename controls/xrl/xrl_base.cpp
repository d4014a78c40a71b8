#include "controls/xrl/xrl_base.h"

#include <cerrno>

EXrlWin32Error::EXrlWin32Error(const std::string& text) : EXrlWin32Error(text, errno) {}

EXrlWin32Error::EXrlWin32Error(const std::string& text, int errorCode)
    : EXrlError(std::string()),
      lastError_(static_cast<uint32_t>(errorCode)),
      lastErrorMsg_(SysErrorMessage(errorCode)) {
  SetMessage(Format("Win32 error: %s (%u)%s%s", lastErrorMsg_.c_str(), lastError_, "\r\n", text.c_str()));
}
