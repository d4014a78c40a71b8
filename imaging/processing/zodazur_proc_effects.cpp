// TZodazUrProc: effects through the alpha channel.
#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_soft_shadow.h"
#include "imaging/processing/zodazur_proc.h"

void TZodazUrProc::AddSoftShadow(double Radius, int32_t OffsetX, int32_t OffsetY, bool Enlarge, TColor ShadowColor,
                                 int32_t Intensity) {
  if (!PrepareBitmap(0)) return;
  if (autoUndo_) SaveUndoCaptioned("AddSoftShadow", ieuImage);
  AddSoftShadowToBitmap(*bitmap_, Radius, OffsetX, OffsetY, Intensity, Enlarge, TColorToRGB(ShadowColor), OnProgress,
                        this);
  Update();
  DoFinishWork();
}
