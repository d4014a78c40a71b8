// TZodazUrProc: rotation by any angle, the alpha channel turned along.
#include <cmath>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_rotate.h"
#include "imaging/processing/ie_row_table.h"
#include "imaging/processing/zodazur_proc.h"

void TZodazUrProc::Rotate(double Angle, bool AntiAlias, uint8_t AntialiasMode, TColor BackgroundColor) {
  if (Angle == 0 || !std::isfinite(Angle) || !PrepareBitmap(0) || bitmap_->IsEmpty()) return;
  if (autoUndo_) SaveUndoCaptioned(Format("Rotate %f", Angle), ieuImage);
  TIEBitmap& b = *bitmap_;
  const TColor color = BackgroundColor == -1 ? Background() : BackgroundColor;
  const TIERGB rgb = TColorToRGB(color);
  const uint8_t background[3] = {rgb.b, rgb.g, rgb.r};
  const uint8_t transparent[3] = {0, 0, 0};
  const TIEPixelFormat format = b.PixelFormat();
  TIEBitmap* alpha = b.HasAlphaChannel() && !b.GetAlphaChannel()->IsEmpty() ? b.GetAlphaChannel() : nullptr;

  // The rotated alpha channel and image, each made beside the old one.
  std::unique_ptr<TIEBitmap> image, rotatedAlpha;
  if (!AntiAlias || (format != ie24RGB && format != ie1g)) {
    if (alpha) rotatedAlpha = NearestRotated(*alpha, 0, Angle, nullptr, nullptr);
    image = NearestRotated(b, ColorToFillValue(b, color), Angle, OnProgress, this);
  } else if (AntialiasMode != 0 && !AngleIsMultipleOf90(Angle) && format == ie24RGB) {
    if (alpha) rotatedAlpha = InterpolatedRotated(*alpha, transparent, AntialiasMode, Angle, nullptr, nullptr);
    image = InterpolatedRotated(b, background, AntialiasMode, Angle, OnProgress, this);
  } else {
    // Three shears for ie24RGB, the truncated mapping for ie1g; the alpha channel with progress.
    if (alpha) rotatedAlpha = RotatedAlpha(*alpha, format, AntiAlias, Angle, OnProgress, this);
    image = RotatedBitmap(b, AntiAlias, Angle, rgb, OnProgress, this);
  }
  if (!image || (alpha && !rotatedAlpha)) return;
  TakeResultImage(b, *image, false);
  if (rotatedAlpha) TakeResultImage(*b.GetAlphaChannel(), *rotatedAlpha, false);
  Update();
  DoFinishWork();
}
