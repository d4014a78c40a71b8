#pragma once
// The area resampler: every destination pixel is the area-weighted mean of the source it covers,
// the source sampled inside each pixel with bilinear or bicubic interpolation where the image is
// enlarged.
//
// The walk over the cells is the same for every row and every column, and every sample is a
// linear combination of source pixels, so the walk is done once per axis: it gives each destination
// column (and row) its source pixels and their weights, and the image then runs through the
// integer row kernels of the filtered resampler (a horizontal and a vertical pass, on every core).
#include <cstdint>
#include <vector>

#include "imaging/core/ie_defs.h"

class TIEBaseBitmap;
class TObject;
struct TIERealContributor;

// Area resampling of ie8g or ie24RGB (AreaResample8) and ie16g or ieRGB48 (AreaResample16) into a
// Dest of the same format and the target size; other formats, empty bitmaps and a Dest of another
// format are left alone. A direction that enlarges interpolates (bilinear, or bicubic with
// CubicInterpolate's weights); the accumulated areas are divided by the cell size. Each pass
// rounds to the nearest and clamps to the sample range. Progress Trunc(RowsDone / DestHeight * 100)
// after every destination row.
void AreaResample8(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                   TObject* Sender);
void AreaResample16(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool Bicubic, const TIEProgressEvent& OnProgress,
                    TObject* Sender);

// Cubic convolution (a = -1) through B (at 0) and C (at 1) with their outer neighbours A and D, at
// T between them: A * w(T + 1) + B * w(T) + C * w(T - 1) + D * w(T - 2), clamped to
// MinValue..MaxValue.
double CubicInterpolate(int32_t A, int32_t B, int32_t C, double T, int32_t D, double MinValue, double MaxValue);

// The weights of one axis of the area resampler, SourceSize pixels to DestSize pixels, each
// destination pixel's summing to 1. With g = SourceSize / DestSize, destination pixel d covers the
// source from d * g to (d + 1) * g; the cover is cut into segments at the source boundaries (a
// destination boundary within 0.0001 before a source boundary ends the segment there). A segment
// of size s inside source pixel j, ending at a point f inside it (0..1), adds s / g of the sample
// at f: pixel j alone when g >= 1; (1 - f) of j and f of j + 1 (bilinear); CubicInterpolate's
// weights at f over j - 1 .. j + 2 (bicubic). Positions beyond the source repeat its edge pixels.
std::vector<std::vector<TIERealContributor>> AreaAxisWeights(int32_t SourceSize, int32_t DestSize, bool Bicubic);
