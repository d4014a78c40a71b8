#pragma once
// Filtered resampling: the dispatcher ResampleBitmap that every caller uses, the two-pass kernel
// resampler _ResampleEx with its horizontal pass in bands on one worker thread per processor core,
// the grey resampler of alpha channels and the 1-bit route.
//
// A kernel resample runs a horizontal pass (source rows into a work bitmap of destination width
// and source height) and then a vertical pass (work rows into the destination), both with the
// integer weights of TIEContributorTable. The horizontal pass runs in bands of source rows, one per
// processor core (one band when the source lives in a temporary file); the vertical pass runs in
// bands of destination rows too when the destination is in memory (ie_resample_two_pass.h). The
// result does not depend on the number of threads. Progress is always reported on the calling
// thread: the workers hand their values to the caller, which calls OnProgress while it waits.
#include <cstdint>
#include <memory>

#include "imaging/core/ie_defs.h"

class TIEBaseBitmap;
class TIEBitmap;
class TObject;

// Resamples Source into Dest, which the caller has allocated at the target size:
// same size: Dest.Assign(Source); rfNone: nearest pixels (_IEBmpStretchEx); ie1g sources:
// _Resample1BitEx into ie1g (projections) or ie24RGB grey; everything else through _ResampleEx.
// An alpha channel of Source is resampled into Dest's (nearest pixels for rfNone, else
// ResampleGray8) and keeps its Full flag. OnProgress may be empty.
void ResampleBitmap(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter, const TIEProgressEvent& OnProgress,
                    TObject* Sender);

// The resampler of every pixel format but ie1g. ie24RGB, ie8g, ie16g and ieRGB48 keep their format
// (Dest is given that format when it has another); the other formats are resampled through an
// ie24RGB copy into an ie24RGB Dest (both must be TIEBitmap objects, else nothing happens).
// rfBilinear and rfBicubic use the area resamplers (other formats: rfTriangle), rfFastLinear the
// fixed-point linear resampler, rfProjectBW and rfProjectWB the projections into an ie1g Dest, the
// kernel filters the two passes. Nothing happens for an empty source or Dest, or a source below 2
// pixels in both directions. Raises std::bad_alloc when the work memory cannot be had.
void _ResampleEx(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TResampleFilter Filter,
                 const TIEProgressEvent& OnProgress, TObject* Sender);

// Kernel resampling of an ie8g bitmap into an ie8g Dest (alpha channels); no progress. The
// filters without a kernel use the 8-bit fast linear resampler.
void ResampleGray8(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter);

// Resampling of an ie1g Source without progress: rfFastLinear, rfBilinear and rfBicubic by 1-bit
// fast linear into ie24RGB grey, the projections into ie1g, the kernel filters by the grey
// resampler over the bits read as 0 and 255, written as ie24RGB grey.
void _Resample1BitEx(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter);
