#pragma once
// Window, screen and component routines the controls share: whether a window of the program is
// active, monitors' work areas, a hot-track font that follows the control's font, the size of a
// check box's box, owner chains and component references with free notification, the picture
// class of the XP button's glyph, and the drag cursors registered at start-up.
#include <cstdint>
#include <optional>

#include "controls/xc_types.h"
#include "platform/gdi/picture.h"
#include "platform/ui/forms.h"

class TChangeLink;
class TCustomImageList;

// True on the user-interface thread while a window of the program is the active window.
bool IsThreadWindowActive();
// The monitor with that number (TMonitorInfo.MonitorNum), or none.
std::optional<TMonitorInfo> MonitorFromHandle(int32_t monitor);
// The work area of the monitor with that number; an empty rectangle for none.
TRect MonitorWorkArea(int32_t monitor);

// Copies into the hot-track font the attributes of the control font that the options do not keep
// (charset, colour, height, name, pitch, style); nothing without hoFollowFont.
void SyncHotTrackFont(TFont* hotTrackFont, TFont* controlFont, TXcTrackFontOptions options);
// The controls' default options: hoFollowFont, hoPreserveColor, hoPreserveStyle (0x45).
constexpr TXcTrackFontOptions kDefaultTrackFontOptions{hoFollowFont, hoPreserveColor, hoPreserveStyle};

// The width and height at which the framework's check box draws its box.
TSize CheckGlyphSize();

// The topmost owner: the first component of the owner chain without an owner (null for null).
TComponent* RootOwner(TComponent* component);
// Points slot at value with the holder told of value's removal (and no longer of the old one's);
// false, and nothing changed, when the slot already holds value or there is no holder.
bool ReplaceComponentRef(TComponent* holder, TComponent* value, TComponent*& slot);
template <class T>
bool ReplaceComponentRef(TComponent* holder, T* value, T*& slot) {
  TComponent* s = slot;
  if (!ReplaceComponentRef(holder, static_cast<TComponent*>(value), s)) return false;
  slot = value;
  return true;
}
// The same for an image list, moving the change link from the old list to the new one.
bool ReplaceImageListRef(TComponent* holder, TCustomImageList* value, TCustomImageList*& slot, TChangeLink* link);

// The picture of the XP button's glyph (forms are built in code, so it reads no stored data).
class TXcPicture : public TPicture {
 public:
  using TPicture::TPicture;
};

// The ids of the drag cursors registered at start-up: 368, 370 and 371 copy the multi-drag cursor,
// 369 the single-drag cursor.
constexpr int kXcDragCursorFirst = 368;
constexpr int kXcDragCursorLast = 371;
// Start-up and exit of the registrations; a failure is passed over.
void RegisterDragCursors();
void UnregisterDragCursors();
