#pragma once
// Exact geometry of whole bitmaps: mirroring, quarter turns and half turns of every pixel format
// (1-bit rows bit by bit, the others pixel by pixel whatever their size), with palettes kept. One
// routine turns by a quarter for every format, one reverses rows for the mirror and the half turn.
// Positive turns are counter-clockwise as seen on screen (rows run from the top).
#include <cstdint>
#include <memory>

class TIEBitmap;

enum TIEFlipDirection : uint8_t {
  iefdHorizontal = 0,  // each row reversed: a left-right mirror
  iefdVertical = 1,    // the row order reversed: a top-bottom mirror
};

// Mirrors Bitmap in place (any format; a 1-bit row's bits reversed and shifted to the row's start),
// then its alpha channel the same way. The palette stays. Needs no more memory than one row.
void FlipBitmap(TIEBitmap& Bitmap, TIEFlipDirection Direction);

// Dest becomes Source turned a quarter, allocated Height x Width in Source's format with Source's
// palette: Clockwise Dest(x', y') = Source(y', H - 1 - x'), otherwise Dest(x', y') = Source(W - 1 -
// y', x') (rows counted from the top). False, with Dest left as it was, when Source is empty or
// Dest's pixels cannot be had. Alpha channels are not touched.
bool QuarterTurnCopy(TIEBitmap& Source, TIEBitmap& Dest, bool Clockwise);
// Dest becomes Source turned by 180 degrees: row H - 1 - y holds row y with its pixels in reverse
// order. As QuarterTurnCopy otherwise.
bool HalfTurnCopy(TIEBitmap& Source, TIEBitmap& Dest);

// A new bitmap holding Source turned by Quarters quarter turns counter-clockwise (taken modulo 4;
// 0 gives a copy), in Source's format with its palette and row alignment, without alpha channel;
// nil when Source is empty or the pixels cannot be had.
std::unique_ptr<TIEBitmap> TurnedCopy(TIEBitmap& Source, int32_t Quarters);

// Bitmap turned in place by Quarters quarter turns counter-clockwise (any integer; taken modulo 4),
// its alpha channel too when WithAlpha. False, with the bitmap as it was, when the memory for the
// turned pixels cannot be had. A half turn needs no more memory than one row.
bool TurnBitmapQuarters(TIEBitmap& Bitmap, int32_t Quarters, bool WithAlpha);

// The quarter turns of 3-byte and 1-byte pixels under their own names (any format is turned).
inline void Rotate90Clockwise24(TIEBitmap& Source, TIEBitmap& Dest) { QuarterTurnCopy(Source, Dest, true); }
inline void Rotate90Clockwise8(TIEBitmap& Source, TIEBitmap& Dest) { QuarterTurnCopy(Source, Dest, true); }
inline void Rotate90CounterClockwise24(TIEBitmap& Source, TIEBitmap& Dest) { QuarterTurnCopy(Source, Dest, false); }
inline void Rotate90CounterClockwise8(TIEBitmap& Source, TIEBitmap& Dest) { QuarterTurnCopy(Source, Dest, false); }

// Count pixels of a row in reverse order from Src into Dst (which must not overlap): BytesPerPixel
// bytes each, or 0 for a 1-bit row, whose bits are reversed so that pixel 0 lands at Count - 1 (the
// bits of Dst after the row's last pixel are kept).
void ReverseRowPixels(const uint8_t* Src, uint8_t* Dst, int32_t Count, int32_t BytesPerPixel);
