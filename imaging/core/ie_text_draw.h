#pragma once
// Text measures and the hint boxes the views draw beside the mouse while the user measures or
// edits, and the font styles of a logical font.
#include <cstdint>
#include <string>

#include "platform/gdi/graphics.h"

class TBitmap;

// Width and height in pixels of the text in the canvas's font.
int32_t TextWidthW(TCanvas* Canvas, const std::string& Text);
int32_t TextHeightW(TCanvas* Canvas, const std::string& Text);

// Bold for a weight of 700 or more, italic, underline and strike-out from their flags.
TFontStyles LogFontToFontStyles(const LOGFONT& LogFont);

// Draws Text in a framed box with Font on Brush: the box is the text's size + 12 each way; X and Y
// are raised to 0, then lowered so that the box ends a pixel inside MaxWidth and MaxHeight.
// SaveBitmap receives a 24-bit copy of the canvas under the box (for the caller to put back).
// The box (X + 6, Y + 6)-(X + width, Y + height) is filled, framed three-dimensionally in the light
// and dark colours, and the text written at (X + 9, Y + 9).
void DrawHintBox(TCanvas* Canvas, int32_t& X, int32_t& Y, TColor LightColor, TColor DarkColor, int32_t MaxHeight,
                 int32_t MaxWidth, TBitmap* SaveBitmap, TBrush* Brush, TFont* Font, const std::string& Text);

// The interaction hint: HintText in black Arial 9 on a half-transparent light yellow box as wide as
// the wider of Text and HintText + 12 and as high as HintText + 12, framed in grey and white; X
// and Y are raised to 0.
void DrawInteractionHint(TCanvas* Canvas, int32_t& X, int32_t& Y, const std::string& Text,
                         const std::string& HintText);
