#pragma once
// The caret: one blinking mark per program, owned by a window, drawn by inverting its rectangle on
// the window's surface (so drawing it twice takes it away). It is made hidden; ShowCaret and HideCaret
// count (two hides need two shows). Painting the window takes the caret away and puts it back. On a
// window the toolkit paints itself (an edit) the toolkit's own text cursor stands in and nothing is
// drawn.
#include <cstdint>

#include "platform/gdi/gdi.h"
#include "platform/ui/messages.h"

// bitmap is accepted for the platform's shape and ignored: the caret is a solid block. A width of 0
// is the border width.
bool CreateCaret(HWND window, HBITMAP bitmap, int width, int height);
bool DestroyCaret();
bool ShowCaret(HWND window);
bool HideCaret(HWND window);
// Client coordinates of the caret's window.
bool SetCaretPos(int x, int y);
bool GetCaretPos(TPoint* point);
uint32_t GetCaretBlinkTime();
bool SetCaretBlinkTime(uint32_t milliseconds);

// Internal: painting of a window starts (the caret is taken away) or ends (it comes back).
void CaretPaintStarts(HWND window);
void CaretPaintEnds(HWND window);
// Internal: whether the caret is drawn on the window now (for tests).
bool CaretDrawn();
