#include "controls/xc_combo_edit_layout.h"

#include <algorithm>

#include "platform/ui/system_metrics.h"

TRect ComboButtonHolderBounds(const TXcComboEditLook& look, int32_t width, int32_t height, int32_t buttonWidth) {
  int32_t left = width - buttonWidth, top = 0, h = height;
  if (look.SingleBorder) {
    if (look.Themed) {
      left = width - buttonWidth - 2 + (look.Ctl3D ? 0 : 1);
      top = look.Ctl3D ? 0 : 1;
      h = height - 2;
    } else {
      left = width - buttonWidth - 2 - (look.Flat ? 0 : 2);
      top = look.Flat ? 2 : 0;
      h = height - 4;
    }
  }
  if (look.BevelKind != bkNone) {
    for (bool bevel : {look.BevelInner, look.BevelOuter}) {
      if (!bevel) continue;
      left -= 2;
      h -= 2;
    }
  }
  return Bounds(left, top, buttonWidth, std::max(h, 0));
}

TRect ComboEditFormatRect(const TXcComboEditLook& look, int32_t width, int32_t clientHeight, int32_t holderWidth) {
  const bool themedSingle = look.Themed && look.SingleBorder;
  int32_t left = 0, top = 0, right = holderWidth + 2;
  if (themedSingle && look.Ctl3D) {
    left = 1;
    top = 1;
    right += 1;
  } else if (themedSingle) {
    left = 3;
    right -= 1;
  } else if (look.SingleBorder && look.Ctl3D) {
    top = 2;
  }
  return Rect(left, top, width - right - 3, clientHeight - 1);
}

int32_t ComboEditGrownHeight(bool flat, int32_t textHeight) {
  return GetSystemMetrics(SM_CYBORDER) * (flat ? 6 : 8) + textHeight;
}

int32_t ComboEditMinHeight(bool singleBorder, int32_t textHeight) {
  return textHeight + (singleBorder ? 4 * GetSystemMetrics(SM_CYBORDER) + 1 : 0);
}

std::unique_ptr<TBitmap> MakeEllipsisGlyph(int32_t buttonWidth) {
  const int32_t width = std::max(1, buttonWidth - 6);
  auto glyph = std::make_unique<TBitmap>();
  glyph->SetMonochrome(true);
  glyph->SetSize(width, 4);
  TCanvas* c = glyph->Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, width, 4));
  const int32_t gap = std::clamp((width - 6) / 2, 1, 3);
  const int32_t x0 = (width - 6 - 2 * gap) / 2;
  c->Brush()->SetColor(clBlack);
  for (int32_t x : {x0, x0 + gap + 2, x0 + 2 * gap + 4}) c->FillRect(Rect(x, 1, x + 2, 3));
  return glyph;
}
