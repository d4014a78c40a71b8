#pragma once
// EXIF and XMP blocks: EXIF data cut in and out of JPEG APP1 markers and run through the TIFF codec
// in its tag-only modes, the XMP packet cut in and out of its APP1 marker, and images turned upright
// by their orientation tag.
#include <cstdint>

class TIEBitmap;

// Turns Bitmap upright by an EXIF/TIFF orientation value (1..8; others do nothing), its alpha
// channel with it: 2 mirrors left-right, 3 turns half, 4 mirrors top-bottom, 5 transposes, 6 turns a
// quarter clockwise, 7 anti-transposes, 8 turns a quarter counter-clockwise.
void ApplyOrientation(TIEBitmap& Bitmap, int32_t Orientation);
