#pragma once
// Reduction of images to black and white: thresholds (given, the mean colour's grey, or the
// maximum-entropy one), ordered dithering, and the grey histogram they use; and reduction of a
// true-colour image to the colours of a palette.
#include <cstdint>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_rgb.h"

#include "imaging/core/ie_color_reduction_hooks.h"
#include "imaging/core/ie_progress.h"

class TIEBitmap;

// The threshold values with a meaning of their own, kIEThresholdMeanColor and
// kIEThresholdMaxEntropy, are declared with the conversions' seam (ie_color_reduction_hooks.h).

// Number of pixels of each grey level (pixels of any format read as blue, green, red and weighed by
// the engine's grey weights); ie1g pixels count in bins 0 and 1.
void GreyHistogram(TIEBitmap& Bitmap, int64_t (&Histogram)[256]);

// The black-and-white image of Source (any format) in Dest, which becomes ie1g at Source's size: a
// pixel is white (1) when its grey level is at least Threshold. Threshold -1 takes the grey of the
// mean colour, -2 the maximum-entropy threshold of the grey histogram. An ie1g Source is copied.
// Progress is reported after each row.
void ConvertToBWThreshold(TIEBitmap& Source, TIEBitmap& Dest, int32_t Threshold, TIEProgressRecord& Progress);
// An ie24RGB bitmap becomes ie1g by ConvertToBWThreshold (its alpha channel stays); other formats
// are left alone.
void ConvertToBWThresholdInPlace(TIEBitmap& Bitmap, int32_t Threshold, TIEProgressRecord& Progress);

// Ordered dithering of Source (any format) into Dest, which becomes ie1g at Source's size: the
// level of a pixel is its grey div 4 (0..63), or 64 when it is white or nearly so (every channel 251
// or more), and the bit at column x of row y is 1 when the level is greater than the entry in row
// x mod 8, column y mod 8 of OrderedDitherMatrix.
void ConvertToBWOrdered(TIEBitmap& Source, TIEBitmap& Dest, TIEProgressRecord& Progress);
// An ie24RGB bitmap becomes ie1g by ordered dithering (its alpha channel stays); other formats are
// left alone.
void ConvertToBWOrdered(TIEBitmap& Bitmap, TIEProgressRecord& Progress);

// Replaces every pixel of an ie24RGB bitmap by the entry of a palette of NColors colours (1..1024)
// that a TIEQuantizer chooses for the image; the bitmap stays ie24RGB. Palette, when given, receives
// the palette and must hold NColors entries; without it a palette of the routine's own is used.
// Progress after each row: Trunc(rows done * 100 / (height + 0.5)). Other formats and NColors outside
// 1..1024 are left alone.
void QuantizeInPlace(TIEBitmap& Bitmap, int32_t NColors, TIERGB* Palette, TObject* Sender,
                     const TIEProgressEvent& OnProgress);
