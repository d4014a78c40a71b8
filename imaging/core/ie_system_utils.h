#pragma once
// System helpers of the views and the clipboard operations: the owner window of a component, the
// system's version and processor, the remote-session and mouse-button state, the clipboard's
// registered formats and the scroll-bar calls with their flat variants.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/messages.h"

class TComponent;
class TStringList;

// The handle of the first windowed control from the component up through its owners; 0 when there
// is none or its handle is not allocated yet.
HWND GetOwnerWindowHandle(TComponent* Component);

// The kind of Windows the engine runs on, 0 (95) .. 8 (version 6.1), 9 for any other: this system
// is none of them, so always 9, which counts as the family with wide-character calls.
int32_t GetWindowsVersionKind();
// The processor reports MMX (asked of the processor; false off x86).
bool CPUHasMMX();
// The program's display is on another host (GetSystemMetrics(SM_REMOTESESSION)).
bool QueryRemoteSession();
// The primary mouse button (the left one, or the right one when the buttons are swapped) is down.
bool IsPrimaryMouseButtonDown();

// Opens the clipboard without an owner window, up to 10 tries 20 ms apart.
bool OpenClipboardRetry();
// While the clipboard is open: the name of every registered format on it, with the format number
// as the entry's object; formats without a name are left out.
std::unique_ptr<TStringList> ClipboardFormatNames();
// The number of the first format on the open clipboard with that name (any case); 0 when none.
UINT ClipboardFormatByName(const std::string& Name);

// The scroll bars of a window (Bar SB_HORZ, SB_VERT or SB_CTL). Flat chooses the flat scroll-bar
// calls of the common controls (the same bars here).
void SetScrollInfoEx(HWND Window, int32_t Bar, const SCROLLINFO& Info, bool Redraw, bool Flat);
// Range, page and position in one record.
void SetScrollBarInfo(HWND Window, int32_t Bar, int32_t Min, int32_t Max, int32_t Page, int32_t Pos, bool Redraw,
                      bool Flat);
// The range alone; always returns -1.
int32_t SetScrollBarRange(HWND Window, int32_t Bar, int32_t Min, int32_t Max, bool Redraw, bool Flat);
// The position alone.
void SetScrollBarPos(HWND Window, int32_t Bar, int32_t Pos, bool Redraw, bool Flat);
// Enables or disables the arrows (ESB_xxx).
void EnableScrollBarArrows(HWND Window, int32_t Bar, UINT Arrows, bool Flat);
void ShowScrollBarEx(HWND Window, int32_t Bar, bool Show, bool Flat);
