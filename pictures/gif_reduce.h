#pragma once
// Colour reduction: any framework bitmap becomes an 8-bit bitmap with a palette of at most 256
// colours, chosen by a reduction method and dithered by a dither method.
#include <cstdint>
#include <memory>

#include "platform/gdi/bitmap.h"

enum TGIFReductionMethod : uint8_t {
  grmNone,            // no reduction: a 24-bit copy
  grmSystem20,        // the twenty static colours of the system palette
  grmHalftone,        // the halftone palette
  grmFourGrays,       // black, two greys, white
  grmBlackWhite,      // black and white by brightness
  grmGray256,         // 256 greys
  grmWeb216,          // the 216-colour web palette
  grmOctree,          // 2^Bits colours quantised from the picture
  grmOctreeSystem,    // the static colours and 236 quantised ones
  grmCustomPalette,   // the caller's palette
};

enum TGIFDitherMethod : uint8_t {
  gdmNearestColor,
  gdmFloydSteinberg,
  gdmStucki,
  gdmSierra,
  gdmJarvisJudiceNinke,
  gdmStevensonArce,
  gdmBurkes,
};

// A new bitmap holding Bitmap reduced by Method and dithered by Dither: 8 bits with the method's
// palette, or a 24-bit copy for grmNone. Bitmap is switched to 24 bits (and left so) unless the
// method is grmNone. CustomPalette is grmCustomPalette's palette (the caller keeps it); Bits is
// grmOctree's colour count exponent and must lie in 1..8 (GIFException "Invalid number of bits per
// pixel"). An unknown method or dither method, or a custom palette without colours, fails with
// GIFException "Invalid reduction method".
std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap& Bitmap, TGIFReductionMethod Method, TGIFDitherMethod Dither,
                                            HPALETTE CustomPalette, int32_t Bits);
