#pragma once
// Windows that exist only to receive messages (timers, posted notifications): AllocateHWnd gives a
// handle whose messages go to a method, DeallocateHWnd frees it.
#include <functional>

#include "platform/ui/messages.h"

using TWndMethod = std::function<void(TMessage& message)>;

HWND AllocateHWnd(TWndMethod method);
void DeallocateHWnd(HWND window);
