#pragma once
// The geometry of an edit with a button inside its right edge, as pure functions of the edit's look
// and size: where the button's holder goes, the formatting rectangle the text keeps to, the least
// height, and the ellipsis picture of the button.
#include <cstdint>
#include <memory>

#include "platform/gdi/bitmap.h"
#include "platform/system/types.h"
#include "platform/ui/controls.h"

// What decides the geometry: visual styles, a single border (or none), the three-dimensional
// border (Ctl3D) or the flat one, and the bevels.
struct TXcComboEditLook {
  bool Themed = false;
  bool SingleBorder = true;
  bool Ctl3D = true;
  bool Flat = false;
  TBevelKind BevelKind = bkNone;
  bool BevelInner = false;  // not bvNone
  bool BevelOuter = false;
};

// The holder's bounds in the edit (client coordinates) for an edit of width x height and a button
// of buttonWidth.
TRect ComboButtonHolderBounds(const TXcComboEditLook& look, int32_t width, int32_t height, int32_t buttonWidth);
// The formatting rectangle for an edit of that width and client height beside a holder of
// holderWidth.
TRect ComboEditFormatRect(const TXcComboEditLook& look, int32_t width, int32_t clientHeight, int32_t holderWidth);
// The height the edit grows to, when lower, before its formatting rectangle is set: the text's
// height and 6 (flat) or 8 border widths.
int32_t ComboEditGrownHeight(bool flat, int32_t textHeight);
// The least height: the text's, and 4 border widths and 1 with a single border.
int32_t ComboEditMinHeight(bool singleBorder, int32_t textHeight);

// The ellipsis glyph of a button of that width: a monochrome picture max(1, width - 6) wide and 4
// high with three black 2 x 2 dots on row 1, the gap between them (glyph width - 6) div 2 kept to
// 1 .. 3, centred.
std::unique_ptr<TBitmap> MakeEllipsisGlyph(int32_t buttonWidth);
