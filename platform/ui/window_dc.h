#pragma once
// Drawing on windows, in the platform's shape. Every window has a screen surface: an image of the
// window's size that mirrors what the window shows. Device contexts of a window (GetDC, GetWindowDC,
// BeginPaint) draw on that surface with the drawing layer's rules, inside paint handling or outside
// it (marching ants on a timer, XOR rubber bands erased by drawing them again, a hint that saves and
// restores what lies under it); the toolkit shows the surface at its next paint. A window the toolkit
// paints itself (an edit, a list) takes such drawing on a transparent layer over its own picture.
//
// The update region collects what InvalidateRect marks; the window's WM_PAINT (through BeginPaint)
// repaints it, after WM_ERASEBKGND when the marking asked for erasing. The frame (borders and bevels
// inside the window's bounds) is painted on WM_NCPAINT through GetWindowDC.
#include <cstdint>
#include <functional>

#include "platform/gdi/graphics.h"
#include "platform/ui/messages.h"

class TControl;

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  bool fErase = false;  // the background still needs erasing (WM_ERASEBKGND answered 0)
  TRect rcPaint;        // the update region's bounds in client coordinates
};

// A DC on the window's client area (origin at the client's top-left, clipped to it); GetDC(nullptr)
// gives a memory DC that stands for the screen. Null for a handle that is not a live window.
HDC GetDC(HWND window);
// A DC on the whole window, its frame included.
HDC GetWindowDC(HWND window);
// The whole window's rectangle (its frame included) in screen coordinates; false for a handle that
// is not a live window.
bool GetWindowRect(HWND window, TRect* rect);
// Lets go of a DC of GetDC/GetWindowDC; what was drawn shows at the window's next paint (soon).
int ReleaseDC(HWND window, HDC dc);
// The window whose surface the DC draws on, or null.
HWND WindowFromDC(HDC dc);

// Starts painting the update region: a client DC clipped to it, after WM_ERASEBKGND if erasing was
// asked for; the region is then empty. Null for a handle that is not a live window.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
bool EndPaint(HWND window, const PAINTSTRUCT* paint);

// Adds a client rectangle (null: the whole client area) or region to the update region.
bool InvalidateRect(HWND window, const TRect* rect, bool erase);
bool InvalidateRgn(HWND window, HRGN region, bool erase);
bool ValidateRect(HWND window, const TRect* rect);
// The update region's bounds in client coordinates; false when it is empty.
bool GetUpdateRect(HWND window, TRect* rect, bool erase);
// Paints the update region now (WM_NCPAINT, WM_PAINT), when the window is shown.
bool UpdateWindow(HWND window);

enum : uint32_t {
  RDW_INVALIDATE = 0x0001, RDW_INTERNALPAINT = 0x0002, RDW_ERASE = 0x0004, RDW_VALIDATE = 0x0008,
  RDW_NOINTERNALPAINT = 0x0010, RDW_NOERASE = 0x0020, RDW_NOCHILDREN = 0x0040, RDW_ALLCHILDREN = 0x0080,
  RDW_UPDATENOW = 0x0100, RDW_ERASENOW = 0x0200, RDW_FRAME = 0x0400, RDW_NOFRAME = 0x0800
};
bool RedrawWindow(HWND window, const TRect* rect, HRGN region, uint32_t flags);

// The canvas of a control: outside painting it draws on the control's window (a windowless control:
// on its parent's window, moved to and clipped by the control's bounds) through a DC it gets itself.
// Such DCs are let go after each message, as the framework does; the next drawing gets a new one.
class TControlCanvas : public TCanvas {
 public:
  TControlCanvas() = default;
  ~TControlCanvas() override;
  TControl* Control() const { return control_; }
  void SetControl(TControl* control);
  // Lets go of a DC the canvas got itself (a DC lent by paint handling is only dropped).
  void FreeHandle();
  // Runs paint with the canvas on a DC lent by paint handling (the canvas locked meanwhile), then
  // lets go of the DC again.
  void PaintWith(HDC dc, const std::function<void()>& paint);
  // The window of the DC the canvas got itself, or null.
  HWND OwnedWindow() const { return ownedDC_ ? window_ : nullptr; }

 protected:
  void CreateHandle() override;

 private:
  TControl* control_ = nullptr;
  HWND window_ = nullptr;
  HDC ownedDC_ = nullptr;
};

// Lets go of every control canvas's own DC (all, or only those drawing on one window).
void FreeDeviceContexts(HWND window = nullptr);
