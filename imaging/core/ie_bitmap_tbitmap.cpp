// TIEBitmap: the ieTBitmap location (pixels in a wrapped framework bitmap).
//
// The framework bitmap is being built in the drawing layer; until it is there this location holds
// no pixels: allocating in it fails (an empty bitmap, as for any allocation failure) and moving a
// bitmap to it leaves the image where it was.
#include "imaging/core/ie_bitmap.h"

void TIEBitmap::WrapTBitmap(TBitmap* Bitmap, bool FreePrevious) {
  if (FreePrevious && Bitmap) FreeImage(true);
}

TBitmap* TIEBitmap::GetTBitmap() {
  SetLocation(ieTBitmap);
  return wrappedBitmap_;
}

TCanvas* TIEBitmap::GetCanvas() {
  if (location_ != ieTBitmap) SetLocation(ieTBitmap);
  return nullptr;
}

void TIEBitmap::SyncWithTBitmap() {}
bool TIEBitmap::AllocateFrameworkBitmap(int64_t) { return false; }
void TIEBitmap::FreeFrameworkBitmap() { wrappedBitmap_ = nullptr; }
void TIEBitmap::RebuildScanLines() {}
void TIEBitmap::ApplyCanvasTransform() {}
void TIEBitmap::RealizePalette() {}
void TIEBitmap::ResizeFrameworkBitmap(int32_t, int32_t) {}
