#include "platform/ui/system_bitmaps.h"

#include "platform/gdi/color.h"

namespace {

// The combo arrow: rows of 7, 5, 3 and 1 black pixels, centred, on the button face.
HBITMAP ComboArrow() {
  constexpr int kWidth = 7, kHeight = 4;
  HDC screen = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(screen, bitmap);
  TRect all = Rect(0, 0, kWidth, kHeight);
  HBRUSH face = CreateSolidBrush(ColorToRGB(clBtnFace));
  FillRect(screen, &all, face);
  DeleteObject(face);
  HBRUSH ink = CreateSolidBrush(RGB(0, 0, 0));
  for (int y = 0; y < kHeight; ++y) {
    TRect row = Rect(y, y, kWidth - y, y + 1);
    FillRect(screen, &row, ink);
  }
  DeleteObject(ink);
  SelectObject(screen, old);
  DeleteDC(screen);
  return bitmap;
}

}  // namespace

HBITMAP LoadBitmap(uintptr_t instance, int id) {
  if (instance != 0) return nullptr;
  switch (id) {
    case OBM_COMBO: return ComboArrow();
    default: return nullptr;
  }
}
