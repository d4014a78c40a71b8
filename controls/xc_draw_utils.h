#pragma once
// Geometry and drawing routines of the controls: rectangle arithmetic, thin wrappers of the system's
// text and bit drawing and of its messages, and the description of a colour.
#include <cstdint>
#include <string>

#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"
#include "platform/system/guid.h"
#include "platform/system/types.h"
#include "platform/ui/messages.h"

class TCanvas;

// The absolute width and height (right - left, bottom - top).
int32_t AbsWidth(const TRect& r);
int32_t AbsHeight(const TRect& r);
// Swaps left and right when right < left, top and bottom when bottom < top.
void OrderRectCorners(TRect& r);
// The largest square centred in the rectangle (integer halves); false, and the rectangle left
// alone, when it is empty.
bool CenterSquareInRect(TRect& r);
// Whether the point lies in the rectangle, its right and bottom edges included.
bool PointInRectInclusive(const TRect& r, const TPoint& p);
// The system's text drawing, without DT_MODIFYSTRING: the text is never written. length -1 draws
// the whole text. On a canvas it draws in the canvas's font and brush.
int32_t DrawTextOnCanvas(TCanvas* canvas, const std::string& text, int32_t length, uint32_t format, TRect& rect);
int32_t DrawTextOnDC(HDC dc, const std::string& text, int32_t length, uint32_t format, TRect& rect);
bool CopyBits(HDC target, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx, int32_t sy,
              uint32_t rop);
// A memory DC compatible with the screen; the caller deletes it.
HDC CreateScreenCompatibleDC();
LRESULT SendWindowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// Removes one pending message of that number for the window; a WM_QUIT taken so is posted again.
void DiscardPendingMessage(HWND window, UINT msg);
// The description of the first row with that value in the standard, the office, then the system
// colour table; otherwise the colour's name or "$" and its hexadecimal value.
std::string ColorDescription(TColor color);
