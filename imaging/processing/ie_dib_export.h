#pragma once
// Packed DIBs out of TIEBitmap (for the clipboard, printing and annotations) and into the rows of a
// TIEDibbitmap, and copies of framework bitmaps. A packed DIB is a global memory block
// (GlobalAlloc): a BITMAPINFOHEADER, its colour table and the rows, bottom row first.
#include <cstdint>

#include "platform/gdi/color.h"

class TBitmap;
class TIEBitmap;
class TIEDibbitmap;
class TIEMask;

// A packed DIB of the rectangle X1..X2-1, Y1..Y2-1 of Bitmap (X2 = 0 stands for the width, Y2 = 0
// for the height), clipped to the bitmap: ie1g as 1 bit (black 00 00 00 00, white FF FF FF FF),
// ie8p with its palette (padded with black to 256 entries) and ie8g with the grey ramp as 8 bits,
// ie24RGB as 24 bits, every other format converted to 24 bits first. The block is 44 bytes plus the
// table plus the rows (each padded to 4 bytes with zeros); biXPelsPerMeter and biYPelsPerMeter are
// Trunc(Dpi * 39.3700787), every field not named here 0. Nil (0) for an empty rectangle or when the
// memory cannot be had. Writes its trace lines to the engine's trace log.
void* _CopyBitmaptoDIBEx(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DpiX,
                         int32_t DpiY);

// A packed DIB of the mask's bounding box of Bitmap: the selected pixels, Background elsewhere (in
// the bitmap's own format). Nil when the mask selects nothing inside the bitmap or memory fails.
void* SelectionToDIB(TIEBitmap& Bitmap, TIEMask& Mask, TColor Background, int32_t DpiX, int32_t DpiY);

// Draws a DIB (uncompressed, 1 to 32 bits, bit fields) at full size into Dest, which becomes
// biWidth x |biHeight| at 1 bit for 1-bit DIBs and 24 bits otherwise. With IsPointer false, DIB is a
// global memory block (its size is GlobalSize's), else it points to DIBSize bytes. The rows are
// Bits (BitsSize bytes) when given, else those after the header and its colour table or masks.
// Header, table and rows are checked against their blocks first: a DIB that fails, or that is
// compressed, answers 0 and leaves Dest as it was; so does one whose DIB section cannot be had
// (Dest is then empty). Otherwise answers biBitCount.
int32_t DIBToDibbitmap(const void* DIB, TIEDibbitmap& Dest, const void* Bits = nullptr, bool IsPointer = false,
                       int64_t DIBSize = 0, int64_t BitsSize = 0);
// The bytes of a packed DIB as its header describes them: header, colour table or masks, rows.
int64_t PackedDIBSize(const void* DIB);

// A new framework bitmap with Source's size, pixel format, colour table and pixels (the caller owns
// it).
TBitmap* DuplicateTBitmap(TBitmap& Source);
// Makes Dest the size and pixel format of Source (colour table included) and copies the rows; an
// empty Source gives a 1 x 1 Dest of Source's pixel format.
void CopyTBitmapPixels(TBitmap& Source, TBitmap& Dest);
