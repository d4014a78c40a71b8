#pragma once
// Synthetic input for tests of windows and controls: the events a person would cause, delivered to
// a control's window as the toolkit would deliver them (offscreen, without a display).
#include <cstdint>
#include <string>
#include <vector>

class TWinControl;

namespace testsupport {

enum class Mouse { Left, Right, Middle };

// Points are in the control's client coordinates.
void MouseEnter(TWinControl* control, int x, int y);
void MouseLeave(TWinControl* control);
void MouseMove(TWinControl* control, int x, int y);
void MouseDown(TWinControl* control, int x, int y, Mouse button = Mouse::Left);
void MouseUp(TWinControl* control, int x, int y, Mouse button = Mouse::Left);
void MouseClick(TWinControl* control, int x, int y, Mouse button = Mouse::Left);
// A left click with Shift or Ctrl held.
void ShiftClick(TWinControl* control, int x, int y);
void CtrlClick(TWinControl* control, int x, int y);
// One turn of a mouse wheel over a client point: angle is the raw vertical delta the device
// reports (120 a classic notch, smaller steps for high-resolution wheels and touch pads), sideways
// the horizontal one; ctrl holds the Control key.
void MouseWheel(TWinControl* control, int x, int y, int angle, int sideways = 0, bool ctrl = false);
// A key press (and release) with a virtual key code; text is what the key types (may be empty).
void KeyPress(TWinControl* control, uint16_t virtualKey, const char* text = "", bool alt = false);
// A key with Ctrl and/or Shift held (the clipboard keys, shortcuts).
void KeyChord(TWinControl* control, uint16_t virtualKey, bool ctrl, bool shift = false);
// A right click's context menu of the window that the toolkit shows (an editor's own menu): picks
// the item with that object name ("edit-paste" ...) when it is there and enabled, and closes the
// menu; answers whether the item was picked.
bool ChooseContextMenuItem(TWinControl* control, int x, int y, const char* itemName);
// What a person does on a scroll bar: bar is SB_HORZ or SB_VERT (the window's own bars) or SB_CTL (a
// scroll bar control); code is SB_LINEDOWN, SB_PAGEUP ... or SB_THUMBTRACK/SB_THUMBPOSITION, which
// drag the thumb to pos and release it.
void ScrollBarAction(TWinControl* control, int bar, int code, int pos = 0);

// Once the next pop-up menu is open, a person clicks the left button at a screen point outside it;
// *clicked tells whether the click reached a menu. A menu still open after three seconds is closed.
void ClickOutsideNextPopup(int screenX, int screenY, bool* clicked);

// The colour (0x00BBGGRR, as COLORREF) the window shows at a client point, as the toolkit paints it
// now (pending paints run first).
uint32_t WindowPixel(TWinControl* control, int x, int y);
// The colours of a w x h block of client points from (x, y) on, row by row, from one picture of the
// window (reading many points through WindowPixel repaints the window for each).
std::vector<uint32_t> WindowPixels(TWinControl* control, int x, int y, int w, int h);

// Files dragged from elsewhere and dropped at a client point of the control's window; answers
// whether the window took them.
bool DropFiles(TWinControl* control, int x, int y, const std::vector<std::string>& files);

// The entries the completion list under an edit shows now; empty while no list shows.
std::vector<std::string> CompletionListItems(TWinControl* edit);

// The toolkit posts an event of its own to the control's window (delivered by the event loop).
void PostToolkitEvent(TWinControl* control);

// Another program puts text on the toolkit's clipboard.
void ToolkitClipboardSetText(const char* text);
// The text on the toolkit's clipboard, as other programs see it.
std::string ToolkitClipboardText();

// Runs pending messages until pred is true or timeoutMs passes; answers pred's last value. The
// default is generous: a loaded machine (sanitizer builds, parallel shards) can take seconds.
template <class Pred>
bool WaitFor(Pred pred, int timeoutMs = 10000);
bool WaitForImpl(bool (*pred)(void*), void* ctx, int timeoutMs);
template <class Pred>
bool WaitFor(Pred pred, int timeoutMs) {
  return WaitForImpl([](void* c) { return (*static_cast<Pred*>(c))(); }, &pred, timeoutMs);
}

}  // namespace testsupport
