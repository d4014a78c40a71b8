#pragma once
// A window's own scroll bars (SB_HORZ, SB_VERT) and the scroll bar controls (SB_CTL), in the
// platform's shape. Setting a range makes the bar appear when the range needs one and go when it
// does not (unless SIF_DISABLENOSCROLL, which disables it instead); a shown bar takes its room from
// the window's client area. The user's actions on a bar reach the window as WM_HSCROLL/WM_VSCROLL
// (scroll code in the low word, 16-bit position in the high word for SB_THUMBTRACK/SB_THUMBPOSITION);
// the bar's position changes only when the window sets it, as on the platform.
//
// The flat scroll bars of the common controls are the same bars here.
#include "platform/ui/messages.h"

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, bool redraw);
bool GetScrollInfo(HWND window, int bar, SCROLLINFO* info);
int SetScrollPos(HWND window, int bar, int pos, bool redraw);
int GetScrollPos(HWND window, int bar);
bool SetScrollRange(HWND window, int bar, int minPos, int maxPos, bool redraw);
bool GetScrollRange(HWND window, int bar, int* minPos, int* maxPos);
bool ShowScrollBar(HWND window, int bar, bool show);
bool EnableScrollBar(HWND window, int bar, UINT arrows);
// True when the window shows that scroll bar.
bool IsScrollBarShown(HWND window, int bar);

bool InitializeFlatSB(HWND window);
void UninitializeFlatSB(HWND window);
inline int FlatSB_SetScrollInfo(HWND w, int bar, const SCROLLINFO* info, bool redraw) {
  return SetScrollInfo(w, bar, info, redraw);
}
inline bool FlatSB_GetScrollInfo(HWND w, int bar, SCROLLINFO* info) { return GetScrollInfo(w, bar, info); }
inline int FlatSB_SetScrollPos(HWND w, int bar, int pos, bool redraw) { return SetScrollPos(w, bar, pos, redraw); }
inline int FlatSB_GetScrollPos(HWND w, int bar) { return GetScrollPos(w, bar); }
inline bool FlatSB_SetScrollRange(HWND w, int bar, int mn, int mx, bool redraw) {
  return SetScrollRange(w, bar, mn, mx, redraw);
}
inline bool FlatSB_ShowScrollBar(HWND w, int bar, bool show) { return ShowScrollBar(w, bar, show); }
inline bool FlatSB_EnableScrollBar(HWND w, int bar, UINT arrows) { return EnableScrollBar(w, bar, arrows); }
