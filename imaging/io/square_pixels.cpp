#include "imaging/io/square_pixels.h"

#include <cmath>
#include <new>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_stretch.h"

namespace {

// Resolutions come from files: a stretch makes at most this many pixels of each pixel (fax and
// scanner resolutions differ by 2 or 4 times), so that a hostile pair of resolutions cannot talk a
// small image into gigabytes.
constexpr int64_t kMaxStretch = 64;

}  // namespace

std::unique_ptr<TIEBitmap> StretchToSquarePixels(TIEBitmap& Bitmap, int32_t Width, int32_t Height, int32_t DpiX,
                                                 int32_t DpiY, bool Filtered, TSquarePixels& Result) {
  if (DpiX == DpiY || DpiX <= 0 || DpiY <= 0 || Width <= 0 || Height <= 0) return nullptr;
  if (Bitmap.IsEmpty() || Bitmap.Width() <= 0 || Bitmap.Height() <= 0) return nullptr;

  // The smaller side grows (or shrinks) to the other axis' resolution, in extended precision,
  // truncated.
  long double w = Width, h = Height;
  const bool stretchHeight = h < w;
  if (stretchHeight)
    h = std::trunc(h / DpiY * DpiX);
  else
    w = std::trunc(w / DpiX * DpiY);
  if (w < 1 || h < 1 || w > INT32_MAX || h > INT32_MAX) return nullptr;
  const auto newWidth = static_cast<int32_t>(w);
  const auto newHeight = static_cast<int32_t>(h);
  const TIEPixelFormat format = Filtered ? ie24RGB : Bitmap.PixelFormat();
  TIEImageData data;
  data.Bytes = static_cast<int64_t>(Bitmap.Width()) * Bitmap.Height();
  data.BitsPerPixel = Filtered ? 24 : Bitmap.BitCount();
  data.MaxPixelsPerByte = kMaxStretch;
  if (!IEImageSizePlausible(newWidth, newHeight, data)) return nullptr;

  try {
    auto resized = std::make_unique<TIEBitmap>(newWidth, newHeight, format);
    if (resized->IsEmpty()) return nullptr;
    if (Filtered) {
      // Fast linear resampling works on 24 bits: other formats through a 24-bit copy.
      if (Bitmap.PixelFormat() != ie24RGB) {
        TIEBitmap source(Bitmap.Width(), Bitmap.Height(), ie24RGB);
        if (source.IsEmpty()) return nullptr;
        source.CopyAndConvertFormat(Bitmap);
        _ResampleEx(source, *resized, rfFastLinear, {}, nullptr);
      } else {
        _ResampleEx(Bitmap, *resized, rfFastLinear, {}, nullptr);
      }
    } else {
      _IEBmpStretchEx(Bitmap, *resized, nullptr, {});
    }
    if (Bitmap.HasAlphaChannel()) {
      TIEBitmap* alpha = resized->GetAlphaChannel();
      if (!alpha) return nullptr;
      _IEBmpStretchEx(*Bitmap.GetAlphaChannel(), *alpha, nullptr, {});
      alpha->SetFull(Bitmap.GetAlphaChannel()->Full());
    }
    Result.HeightStretched = stretchHeight;
    Result.Width = newWidth;
    Result.Height = newHeight;
    Result.Dpi = stretchHeight ? DpiX : DpiY;
    return resized;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<TIEBitmap> AdjustBitmapDPI(std::unique_ptr<TIEBitmap> Bitmap, TIOParamsVals& Params, bool Filtered) {
  if (!Bitmap) return Bitmap;
  TSquarePixels square;
  std::unique_ptr<TIEBitmap> result =
      StretchToSquarePixels(*Bitmap, Params.Width, Params.Height, Params.DpiX, Params.DpiY, Filtered, square);
  if (!result) return Bitmap;
  if (square.HeightStretched) {
    Params.SetDpiY(square.Dpi);
    Params.Height = square.Height;
  } else {
    Params.SetDpiX(square.Dpi);
    Params.Width = square.Width;
  }
  return result;
}
