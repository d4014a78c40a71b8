// The in-place rotations of whole bitmaps: which rotation each pixel format takes, and the alpha
// channel turned along.
#include "imaging/processing/ie_rotate.h"

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_row_table.h"

std::unique_ptr<TIEBitmap> RotatedBitmap(TIEBitmap& Source, bool AntiAlias, double Angle, TIERGB Background,
                                         const TIEProgressEvent& OnProgress, TObject* Sender) {
  const TIEPixelFormat format = Source.PixelFormat();
  if (format == ie24RGB) {
    const uint8_t bg[3] = {Background.b, Background.g, Background.r};
    return ShearRotated(Source, AntiAlias, Angle, bg, OnProgress, Sender);
  }
  if (format == ie1g) {
    TIEProgressRecord progress;
    progress.OnProgress = OnProgress;
    progress.Sender = Sender;
    const bool outsideWhite = Background.r != 0 && Background.g != 0 && Background.b != 0;
    return TruncatedNearestRotated(Source, outsideWhite ? 1 : 0, Angle, &progress);
  }
  // Grey, 48-bit, CMYK and the other formats keep their pixels: nearest pixels, exact turns for
  // multiples of 90 degrees.
  return NearestRotated(Source, ColorToFillValue(Source, RGBToTColor(Background)), Angle, OnProgress, Sender);
}

std::unique_ptr<TIEBitmap> RotatedAlpha(TIEBitmap& Alpha, TIEPixelFormat Format, bool AntiAlias, double Angle,
                                        const TIEProgressEvent& OnProgress, TObject* Sender) {
  const uint8_t transparent[3] = {0, 0, 0};
  if (Format == ie24RGB) return ShearRotated(Alpha, AntiAlias, Angle, transparent, OnProgress, Sender);
  if (Format == ie1g) return TruncatedNearestRotated(Alpha, 0, Angle, nullptr);
  return NearestRotated(Alpha, 0, Angle, nullptr, nullptr);
}

bool RotateBitmap(TIEBitmap& Bitmap, bool AntiAlias, TObject* Sender, double Angle, const TIEProgressEvent& OnProgress,
                  TIERGB Background) {
  if (Bitmap.IsEmpty()) return true;
  std::unique_ptr<TIEBitmap> image = RotatedBitmap(Bitmap, AntiAlias, Angle, Background, OnProgress, Sender);
  if (!image) return false;
  // The alpha channel turns with the image, transparent where the background shows.
  std::unique_ptr<TIEBitmap> alpha;
  if (Bitmap.HasAlphaChannel() && !Bitmap.GetAlphaChannel()->IsEmpty()) {
    alpha = RotatedAlpha(*Bitmap.GetAlphaChannel(), Bitmap.PixelFormat(), AntiAlias, Angle, nullptr, nullptr);
    if (!alpha) return false;
  }
  TakeResultImage(Bitmap, *image, false);
  if (alpha) TakeResultImage(*Bitmap.GetAlphaChannel(), *alpha, false);
  return true;
}

bool RotateBitmap8(TIEBitmap& Bitmap, bool AntiAlias, uint8_t Background, double Angle,
                   const TIEProgressEvent& OnProgress, TObject* Sender) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if ((format != ie8g && format != ie8p) || Bitmap.IsEmpty()) return true;
  const uint8_t bg[3] = {Background, 0, 0};
  std::unique_ptr<TIEBitmap> result = ShearRotated(Bitmap, AntiAlias, Angle, bg, OnProgress, Sender);
  if (!result) return false;
  TakeResultImage(Bitmap, *result, false);
  return true;
}
