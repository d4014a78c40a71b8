#pragma once
// System metrics (GetSystemMetrics): sizes of the window parts the operating system draws, screen facts and
// input settings. Part sizes are the classic values at 96 pixels per inch, so that layouts are the
// same on every desktop; the framework's own scroll bars and edges use exactly these.
#include <cstdint>
#include <string>

enum : int {
  SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CXBORDER = 5,
  SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CXFIXEDFRAME = 7, SM_CYDLGFRAME = 8, SM_CYFIXEDFRAME = 8,
  SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14,
  SM_CYMENU = 15, SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_MOUSEPRESENT = 19, SM_CYVSCROLL = 20,
  SM_CXHSCROLL = 21, SM_SWAPBUTTON = 23, SM_CXMIN = 28, SM_CYMIN = 29, SM_CXSIZE = 30, SM_CYSIZE = 31,
  SM_CXFRAME = 32, SM_CXSIZEFRAME = 32, SM_CYFRAME = 33, SM_CYSIZEFRAME = 33, SM_CXDOUBLECLK = 36,
  SM_CYDOUBLECLK = 37, SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CXDRAG = 68,
  SM_CYDRAG = 69, SM_MOUSEWHEELPRESENT = 75, SM_XVIRTUALSCREEN = 76, SM_YVIRTUALSCREEN = 77,
  SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79, SM_CMONITORS = 80,
  // Nonzero when the program's display is on another host (see IsRemoteDisplay).
  SM_REMOTESESSION = 0x1000,
};

int32_t GetSystemMetrics(int index);
// Milliseconds between the clicks of a double click.
uint32_t GetDoubleClickTime();
// Lines one wheel notch scrolls (SPI_GETWHEELSCROLLLINES).
uint32_t WheelScrollLines();
// One notch of the mouse wheel (WHEEL_DELTA).
constexpr int WHEEL_DELTA = 120;

// Whether a display is shown on another host: the toolkit's VNC platform, or an X display whose
// host part names another machine, or any host-named X display of a program reached over SSH (a
// forwarded display such as "localhost:10.0"). Local sockets (":0", "unix:0"), the local machine's
// own name, Wayland and the off-screen platform are local. GetSystemMetrics(SM_REMOTESESSION) asks
// this with the running toolkit platform, $DISPLAY, this machine's name and whether
// $SSH_CONNECTION is set.
bool IsRemoteDisplay(const std::string& platformName, const std::string& display, const std::string& hostName,
                     bool overSsh);
