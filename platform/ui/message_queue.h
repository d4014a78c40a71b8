#pragma once
// Posted and sent messages. PostMessage may be called from any thread: the message is queued and runs
// on the user-interface thread through the window's WndProc, in posting order. A message for a window
// that is gone by then is dropped.
#include <functional>

#include "platform/ui/messages.h"

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs the message now (on the UI thread), or, from another thread, queues it and waits for its result.
LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};
constexpr UINT PM_NOREMOVE = 0, PM_REMOVE = 1;
// Looks at the first pending posted message for the window (nullptr: any) within [first, last]
// (both 0: any number); with PM_REMOVE it is taken out of the queue.
bool PeekMessage(MSG* msg, HWND window, UINT first, UINT last, UINT removeFlags);
// Drops every pending message that matches; answers how many there were.
int RemovePendingMessages(HWND window, UINT msg);
// The same for the messages that also carry lParam (an object that is going away removes the
// messages posted about it).
int RemovePendingMessages(HWND window, UINT msg, LPARAM lParam);
// The screen position of the mouse at the last mouse message, x in the low word and y in the high
// word (GET_X_LPARAM and GET_Y_LPARAM read them).
DWORD GetMessagePos();
// Runs a function on the UI thread at the next message processing (from any thread).
void QueueOnMainThread(std::function<void()> call);
