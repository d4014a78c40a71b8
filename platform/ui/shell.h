#pragma once
// Shell services the windows call: opening a document, folder or address with the program the desktop
// has for it (ShellExecute), and files dropped on a window (DragAcceptFiles, WM_DROPFILES with an
// HDROP read by DragQueryFile). Tests put a hook in place of the desktop, so nothing is launched.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/types.h"
#include "platform/ui/messages.h"

constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
              SW_MAXIMIZE = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_RESTORE = 9;
// ShellExecute's failures (its successes are above 32).
constexpr intptr_t SE_ERR_FNF = 2, SE_ERR_PNF = 3, SE_ERR_ACCESSDENIED = 5, SE_ERR_NOASSOC = 31;

// Opens file (a document, a folder, or an address such as "http://..." or "mailto:...") with the
// desktop's program for it; verb "open" (any case, or null) is the only one. Answers a value above 32
// on success, SE_ERR_FNF for a local file that does not exist, SE_ERR_NOASSOC when nothing opened it.
intptr_t ShellExecute(HWND window, const char* verb, const char* file, const char* parameters,
                      const char* directory, int showCommand);
inline intptr_t ShellExecuteA(HWND window, const char* verb, const char* file, const char* parameters,
                              const char* directory, int showCommand) {
  return ShellExecute(window, verb, file, parameters, directory, showCommand);
}

// Takes the place of the desktop: gets the address (a local file as "file://" URL) and the verb,
// answers whether it was opened. An empty hook returns to the desktop. Answers the previous one.
using TShellOpenHook = std::function<bool(const std::string& url, const std::string& verb)>;
TShellOpenHook SetShellOpenHook(TShellOpenHook hook);

// Files dropped on a window: the window hears WM_DROPFILES with wParam the HDROP, valid while the
// message runs (or until DragFinish).
struct HDROP__;
using HDROP = HDROP__*;
void DragAcceptFiles(HWND window, bool accept);
// The name of dropped file index into buffer (size bytes with the terminating zero), answering its
// length; index 0xFFFFFFFF answers the number of files; a null buffer answers the length needed.
UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size);
inline UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size) {
  return DragQueryFile(drop, index, buffer, size);
}
// Where the files were dropped, in the window's client coordinates.
bool DragQueryPoint(HDROP drop, TPoint* point);
void DragFinish(HDROP drop);
// The dropped files as a list (a convenience over DragQueryFile).
std::vector<std::string> DroppedFiles(HDROP drop);
