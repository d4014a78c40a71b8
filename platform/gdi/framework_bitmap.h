#pragma once
// The framework bitmap TBitmap as the imaging engine's pixel container uses it: its size, depth,
// pixel rows, colour table and canvas. The drawing layer implements this interface over TBitmap
// (an adapter per bitmap) and installs FrameworkBitmapFactory; the engine's ieTBitmap location
// keeps its pixels in one. Without a factory that location holds no pixels.
#include <cstdint>
#include <memory>

#include "platform/gdi/pixel_format.h"

class TBitmap;
class TCanvas;

class TFrameworkBitmap {
 public:
  virtual ~TFrameworkBitmap() = default;

  // The framework's own object.
  virtual TBitmap* Bitmap() = 0;
  virtual int32_t Width() = 0;
  virtual int32_t Height() = 0;
  // Changes the size; the content is kept where the old and new areas overlap (a 1-bit bitmap
  // keeps its two colours).
  virtual void SetSize(int32_t Width, int32_t Height) = 0;
  virtual TPixelFormat PixelFormat() = 0;
  // Changes the depth, converting the pixels.
  virtual void SetPixelFormat(TPixelFormat Format) = 0;
  // Row Row of the pixels, 0 the top row; rows are padded to 32 bits.
  virtual void* ScanLine(int32_t Row) = 0;
  // Colour table of 1-, 4- and 8-bit bitmaps; entries as RGBQUAD (blue, green, red, 0) packed in
  // 32 bits, blue in the low byte.
  virtual int32_t ColorCount() = 0;
  virtual void GetColors(int32_t Start, int32_t Count, uint32_t* Colors) = 0;
  virtual void SetColors(int32_t Start, int32_t Count, const uint32_t* Colors) = 0;
  virtual TCanvas* Canvas() = 0;
  // Sets the canvas's world transform: flipped vertically over Height rows (advanced graphics
  // mode, transform 1, 0, 0, -1, 0, Height - 1), or back to the identity.
  virtual void SetCanvasFlip(bool Flip, int32_t Height) = 0;
};

// A new framework bitmap owned by the result when Wrap is nil; else an adapter over the caller's
// bitmap that does not own it.
using TFrameworkBitmapFactory = std::unique_ptr<TFrameworkBitmap> (*)(TBitmap* Wrap);
extern TFrameworkBitmapFactory FrameworkBitmapFactory;
