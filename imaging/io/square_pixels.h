#pragma once
// Square pixels for an image whose horizontal and vertical resolutions differ: the side that is the
// smaller in pixels (the width on a tie) is stretched to the other axis' resolution, so that both
// resolutions become one. The I/O component runs it on its working bitmap after loads
// (AutoAdjustDPI), the multi-image component on each image it loads or acquires.
#include <cstdint>
#include <memory>

class TIEBitmap;
class TIOParamsVals;

// The stretch of Bitmap at Width x Height pixels (the record's size) and DpiX x DpiY: with Filtered
// fast linear resampling into ie24RGB, else nearest pixels in Bitmap's format; an alpha channel is
// stretched along (nearest pixels). Answers nil, touching nothing, when there is nothing to do (equal
// resolutions, a resolution or a size of 0 or below, an empty bitmap) or when it cannot be done (a
// new side below 1, a size the allocation gate refuses, no memory). On success the result has the
// new size; HeightStretched tells which side grew (true: the height) and Dpi the common resolution.
struct TSquarePixels {
  bool HeightStretched = false;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Dpi = 0;
};
std::unique_ptr<TIEBitmap> StretchToSquarePixels(TIEBitmap& Bitmap, int32_t Width, int32_t Height, int32_t DpiX,
                                                 int32_t DpiY, bool Filtered, TSquarePixels& Result);

// The stand-alone form: takes Bitmap and answers it unchanged when StretchToSquarePixels does
// nothing, else frees it and answers the stretched bitmap; Params then gets the common resolution
// through its setters (Exif resolution and attached view too) and the new size.
std::unique_ptr<TIEBitmap> AdjustBitmapDPI(std::unique_ptr<TIEBitmap> Bitmap, TIOParamsVals& Params, bool Filtered);
