#pragma once
// Comparisons of whole images: the opaque part of an image, equality of two bitmaps, and how alike
// two pictures look in grey.
#include <cstdint>

#include "platform/system/types.h"

class TIEBitmap;

// The inclusive bounding rectangle of the pixels whose alpha is not 0: (0, 0, W - 1, H - 1) without
// an alpha channel, (0, 0, -1, -1) when every alpha value is 0.
void GetOpaqueRect(TIEBitmap& Bitmap, TRect& Rect);

// True when A and B have the same size and pixel format, both or neither an alpha channel, and the
// same pixels (the bytes of each pixel, the used bits of 1-bit rows; row padding is not compared),
// alpha channels included.
bool IdenticalBitmaps(TIEBitmap& A, TIEBitmap& B);

// How alike two ie24RGB pictures are in grey, from 0 (every pixel black in one and white in the
// other) to 1 (equal): 1 - the mean of |grey(A) - grey(B)| / 255 over the common area from the top
// left (the smaller width by the smaller height). Diff, when given as ie8g or ie8p, becomes that
// area with each pixel's difference (ie8p without a palette of its own). 0 when A or B is not
// ie24RGB or the common area is empty.
double CompareImagesGray(TIEBitmap& A, TIEBitmap& B, TIEBitmap* Diff);
