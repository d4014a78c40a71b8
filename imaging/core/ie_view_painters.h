#pragma once
// Painters the image views and dialogs share: drop-shadow strips beside and below an image, a soft
// shadow around a rectangle, a three-dimensional frame, shading outside a rectangle, and the
// striped and noise backgrounds.
#include <cstdint>

#include "platform/gdi/color.h"

class TBitmap;
class TCanvas;
class TIECanvas;

// Darkens the shadow strip X1..X2 to the right of an image (Kind 2; other kinds draw nothing). Pixels
// inside Bitmap (24 bits) are darkened in its rows, others through the canvas. Color is not used.
void DrawRightShadow(TCanvas* Canvas, TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Kind,
                     TColor Color);
// The same for the strip Y1..Y2 below an image.
void DrawBottomShadow(TCanvas* Canvas, TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Kind,
                      TColor Color);
// A blurred shadow five pixels around the rectangle of a 24-bit bitmap; the inside X1 <= x < X2,
// Y1 <= y < Y2 is left as it is. Color is not used.
void DrawSoftShadow(TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor Color);
// A solid one-pixel frame: TopLeftColor from (X1, Y2) up to (X1, Y1) and on to (X2, Y1),
// BottomRightColor from (X1, Y2) to (X2, Y2) and up to (X2, Y1).
void DrawFrame3D(TCanvas* Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor TopLeftColor,
                 TColor BottomRightColor);
void DrawFrame3DOnIECanvas(TIECanvas* Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor TopLeftColor,
                           TColor BottomRightColor);
// Darkens the area OX .. OX + W - 1, OY .. OY + H - 1 with black of alpha 150 (opaque black when the
// canvas cannot blend) except columns X1 + 1 .. X2 - 1 of rows Y1 + 1 .. Y2. Nothing unless X1 < X2
// and Y1 < Y2.
void ShadeOutsideRect(TCanvas* Canvas, int32_t OX, int32_t OY, int32_t W, int32_t H, int32_t X1, int32_t Y1,
                      int32_t X2, int32_t Y2);
// The bitmap becomes Width x Height at 24 bits, in grey rows 240, 251, 255, 251 repeating.
void DrawStripesBackground(TBitmap* Bitmap, int32_t Width, int32_t Height);
// The bitmap becomes Width x Height at 24 bits: a grey bell across the columns (208 in the middle,
// 160 at the edges) with runs of a random offset 0..10 added.
void DrawNoiseBackground(TBitmap* Bitmap, int32_t Width, int32_t Height);
