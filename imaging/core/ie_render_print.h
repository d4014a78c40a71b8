#pragma once
// Printing bitmaps on a device canvas: a packed DIB of a bitmap's area drawn 1:1 (PrintPict) and a
// packed DIB stretched onto a canvas (_DIBDrawTo). TIEBitmap::RenderToCanvas sends its strips
// through them.
#include <cstdint>

class TCanvas;
class TIEBitmap;

// Draws the area from (SrcX, SrcY) to (SrcX + Width, SrcY + Height) of Bitmap 1:1 at (X, Y) of the
// canvas through a packed DIB at 200 x 200 dpi.
void PrintPict(TCanvas& Canvas, int32_t X, int32_t Y, TIEBitmap& Bitmap, int32_t SrcX, int32_t SrcY, int32_t Width,
               int32_t Height);
// Stretches the rectangle (SrcX, SrcY, SrcWidth, SrcHeight) of the packed DIB (a global memory
// block of _CopyBitmaptoDIBEx) onto (DestX, DestY, DestWidth, DestHeight) of the canvas without
// smoothing (COLORONCOLOR). A DIB whose header, colour table or rows do not fit in its block, or
// that is compressed, draws nothing.
void _DIBDrawTo(TCanvas& Canvas, void* DIB, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight);
