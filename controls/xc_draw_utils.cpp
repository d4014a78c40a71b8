#include "controls/xc_draw_utils.h"

#include <cstdlib>

#include "controls/xc_color_tables.h"
#include "platform/gdi/graphics.h"
#include "platform/ui/message_queue.h"

namespace {

int32_t Saturated(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

std::string Part(const std::string& text, int32_t length) {
  return length < 0 || static_cast<size_t>(length) >= text.size() ? text : text.substr(0, static_cast<size_t>(length));
}

}  // namespace

int32_t AbsWidth(const TRect& r) { return Saturated(std::llabs(static_cast<int64_t>(r.Right) - r.Left)); }

int32_t AbsHeight(const TRect& r) { return Saturated(std::llabs(static_cast<int64_t>(r.Bottom) - r.Top)); }

void OrderRectCorners(TRect& r) {
  if (r.Right < r.Left) std::swap(r.Left, r.Right);
  if (r.Bottom < r.Top) std::swap(r.Top, r.Bottom);
}

bool CenterSquareInRect(TRect& r) {
  if (IsRectEmpty(r)) return false;
  int64_t w = static_cast<int64_t>(r.Right) - r.Left, h = static_cast<int64_t>(r.Bottom) - r.Top;
  int64_t side = std::min(w, h);
  int64_t left = r.Left + (w - side) / 2, top = r.Top + (h - side) / 2;
  r = Rect(static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + side),
           static_cast<int32_t>(top + side));
  return true;
}

bool PointInRectInclusive(const TRect& r, const TPoint& p) {
  return p.X >= r.Left && p.X <= r.Right && p.Y >= r.Top && p.Y <= r.Bottom;
}

int32_t DrawTextOnCanvas(TCanvas* canvas, const std::string& text, int32_t length, uint32_t format, TRect& rect) {
  if (!canvas) return 0;
  return canvas->TextRectFlags(rect, length < 0 ? text : Part(text, length), format);
}

int32_t DrawTextOnDC(HDC dc, const std::string& text, int32_t length, uint32_t format, TRect& rect) {
  std::string s = Part(text, length);
  return DrawText(dc, s.data(), static_cast<int32_t>(s.size()), &rect, format & ~DT_MODIFYSTRING);
}

bool CopyBits(HDC target, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx, int32_t sy,
              uint32_t rop) {
  return BitBlt(target, x, y, width, height, source, sx, sy, rop);
}

HDC CreateScreenCompatibleDC() { return CreateCompatibleDC(nullptr); }

LRESULT SendWindowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return SendMessage(window, msg, wParam, lParam);
}

void DiscardPendingMessage(HWND window, UINT msg) {
  MSG m;
  if (PeekMessage(&m, window, msg, msg, PM_REMOVE) && m.message == WM_QUIT)
    PostMessage(m.hwnd, WM_QUIT, m.wParam, m.lParam);
}

std::string ColorDescription(TColor color) {
  struct Table {
    const TDefColorItem* rows;
    size_t count;
  } tables[] = {{StandardColorValues(), kStandardColorCount},
                {OfficeColorValues(), kOfficeColorCount},
                {SystemColorValues(), kSystemColorCount}};
  for (const Table& t : tables)
    for (size_t i = 0; i < t.count; ++i)
      if (t.rows[i].Value == color) return t.rows[i].Description;
  return ColorToString(color);
}
