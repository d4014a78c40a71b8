#pragma once
// The magic wand: regions of an image chosen by colour around a seed pixel. A pixel matches when it
// lies inside the image and each of its red, green and blue values (any pixel format, read as RGB)
// differs from the seed pixel's by at most Tolerance; a negative Tolerance matches nothing. The
// region is every pixel 4-connected to the seed through matching pixels (diagonal neighbours alone do
// not connect).
#include <cstdint>
#include <vector>

#include "platform/system/types.h"

class TIEBitmap;
class TIEMask;

// The outline of the region around (X, Y) as a polygon in image coordinates: the region (with Grow,
// grown by one pixel within its own bounding box) is traced along its outer border at four times the
// image's resolution, and each point where the border turns is given, divided back by 4 (rounded
// down). Holes are left out. Empty when the seed lies outside or nothing matches. Raises EOutOfMemory
// when the work memory cannot be had.
std::vector<TPoint> MagicWandOutline(TIEBitmap& Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance);

// Writes Value into Mask (as TIEMask::SetPixel reads it) for every pixel of the region around (X, Y),
// or with Grow for its 3 x 3 neighbourhood inside the image; the mask's box grows over what was
// written. Nothing when the seed lies outside or nothing matches.
void MagicWandFill(TIEBitmap& Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance, TIEMask& Mask,
                   int32_t Value);

// Writes Value into Mask for every pixel of the image that matches the seed's colour, connected or
// not. Nothing when the seed lies outside.
void MagicWandGlobal(TIEBitmap& Bitmap, int32_t X, int32_t Y, int32_t Tolerance, TIEMask& Mask, int32_t Value);
