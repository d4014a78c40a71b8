#include "imaging/core/ie_dib_hooks.h"

#include "imaging/processing/ie_dib_export.h"
#include "imaging/processing/ie_dib_import.h"

namespace {

uint16_t DibToBitmap(const void* DIB, int64_t Size, TIEBitmap& Bitmap) {
  return DibToIEBitmap(DIB, Bitmap, nullptr, true, Size, 0);
}

void* BitmapToDib(TIEBitmap& Bitmap, int32_t DpiX, int32_t DpiY) {
  return _CopyBitmaptoDIBEx(Bitmap, 0, 0, 0, 0, DpiX, DpiY);
}

}  // namespace

extern const TIEDibHooks IEDibHooks{DibToBitmap, BitmapToDib};
