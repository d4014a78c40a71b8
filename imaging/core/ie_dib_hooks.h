#pragma once
// What core needs of the DIB import and export that live with the processing routines: the image
// annotations keep their embedded pictures as packed DIBs. The processing module defines the table
// (imaging/processing/ie_dib_hooks.cpp), so the calls reach up through this one seam while every
// include points down. The table is constant and complete when the engine is linked.
#include <cstdint>

class TIEBitmap;

struct TIEDibHooks {
  // Bitmap becomes the picture of the packed DIB of Size bytes at DIB; answers its bit count, 0
  // (and the bitmap untouched) when the DIB is not one that can be read.
  uint16_t (*DibToBitmap)(const void* DIB, int64_t Size, TIEBitmap& Bitmap);
  // A packed DIB of the whole of Bitmap stating DpiX x DpiY, in a GlobalAlloc block that the caller
  // frees (GlobalFree); nil for an empty bitmap.
  void* (*BitmapToDib)(TIEBitmap& Bitmap, int32_t DpiX, int32_t DpiY);
};

extern const TIEDibHooks IEDibHooks;
