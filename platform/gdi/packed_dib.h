#pragma once
// Packed DIBs: a BITMAPINFOHEADER, its colour table (or colour masks) and the pixel rows in one
// block of bytes, as the clipboard's CF_DIB and the .bmp file (after its 14-byte file header)
// hold them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"

// Checks a packed DIB of `size` bytes: a valid header, the colour table and every row inside the
// block. Gives the header and the first byte of the rows; false for anything short or invalid.
bool ParsePackedDIB(const void* data, size_t size, const BITMAPINFO** info, const void** bits);
// The same for a DIB whose rows lie apart from its header (a video frame): the header and its colour
// table or masks inside the `size` bytes at data, every row inside the `bitsSize` bytes at bits.
bool ParseSplitDIB(const void* data, size_t size, const void* bits, size_t bitsSize, const BITMAPINFO** info);
// A packed DIB with the pixels of a bitmap at bitCount bits per pixel (0: the bitmap's own depth),
// rows bottom-up unless topDown. Empty for an invalid bitmap.
std::vector<uint8_t> PackedDIBFromBitmap(HBITMAP bitmap, int32_t bitCount = 0, bool topDown = false);
// A DIB section with a copy of a packed DIB (its depth, colour table and pixels); null when the
// block is invalid.
HBITMAP BitmapFromPackedDIB(const void* data, size_t size);
