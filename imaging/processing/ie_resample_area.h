#pragma once
// The area resampler: every destination pixel is the area-weighted mean of the source it covers,
// the source sampled inside each pixel with bilinear or bicubic interpolation where the image is
// enlarged.
#include <cstdint>

#include "imaging/core/ie_defs.h"

class TIEBaseBitmap;
class TObject;

// Area resampling of ie8g or ie24RGB (AreaResample8) and ie16g or ieRGB48 (AreaResample16) into a
// Dest of the same format and the target size; other formats, empty bitmaps and a Dest of another
// format are left alone. A direction that enlarges interpolates (bilinear, or bicubic with
// CubicInterpolate); the accumulated areas are divided by the cell size, rounded and clamped.
// Progress Trunc(RowsDone / DestHeight * 100) after every destination row.
void AreaResample8(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                   TObject* Sender);
void AreaResample16(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                    TObject* Sender);

// Cubic convolution (a = -1) through B (at 0) and C (at 1) with their outer neighbours A and D, at
// T between them: A * w(T + 1) + B * w(T) + C * w(T - 1) + D * w(T - 2), clamped to
// MinValue..MaxValue.
double CubicInterpolate(int32_t A, int32_t B, int32_t C, double T, int32_t D, double MinValue, double MaxValue);
