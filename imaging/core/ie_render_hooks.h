#pragma once
// The resamplers, the nearest-pixel stretch and the packed-DIB routines that TIEBitmap's rendering
// and printing call, and the blur of the views' soft shadow. They live with the processing routines; core declares here what it needs of
// them and the processing module defines the table (imaging/processing/ie_render_hooks.cpp), so the
// calls reach up through this one seam while every include points down. The table is constant and
// resolved when the engine is linked.
#include <cstdint>

#include "imaging/core/ie_defs.h"

class TIEBitmap;

struct TIERenderHooks {
  // Kernel, linear and projection resampling of an ie24RGB Source into Dest, allocated by the
  // caller at the target size (_ResampleEx).
  void (*Resample)(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter);
  // ie1g Source into Dest: ie1g for the projection filters, ie24RGB grey otherwise (_Resample1BitEx).
  void (*Resample1Bit)(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter);
  // ie8g Source (an alpha channel) into the ie8g Dest.
  void (*ResampleGray8)(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter);
  // Box average of the bits of the inclusive rectangle of an ie1g Source into the ie24RGB Dest.
  void (*Resample1BitToGray)(TIEBitmap& Source, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TIEBitmap& Dest);
  // Nearest-pixel stretch of Source onto Dest in Source's format (_IEBmpStretchEx).
  void (*Stretch)(TIEBitmap& Source, TIEBitmap& Dest);
  // A packed DIB (global memory block) of the rectangle X1..X2-1, Y1..Y2-1 (_CopyBitmaptoDIBEx).
  void* (*CopyBitmapToDIB)(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DpiX,
                           int32_t DpiY);
  // Gamma correction of the pixel bytes of a 24-bit packed DIB.
  void (*GammaCorrectDIB)(void* DIB, double Gamma);
  // Fast linear resample of the rectangle of an ie24RGB Source straight into the rows of a 24-bit
  // destination (FastLinearResample24Rect): only FirstCol..LastCol x FirstRow..LastRow written.
  void (*ResampleRect24)(TIEBitmap& Source, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                         uint8_t* const* DestRows, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                         int32_t FirstCol, int32_t LastCol, int32_t FirstRow, int32_t LastRow);
  // Gaussian blur of the inclusive rectangle of an ie8g bitmap (the soft shadow of the views).
  void (*GaussianBlurGray8)(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Radius);
};

extern const TIERenderHooks IERenderHooks;
