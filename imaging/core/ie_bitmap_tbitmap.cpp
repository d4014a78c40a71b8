// TIEBitmap: the ieTBitmap location (TEMPORARY until the framework bitmap lands).
#include "imaging/core/ie_bitmap.h"

void TIEBitmap::WrapTBitmap(TBitmap*, bool) {}
TBitmap* TIEBitmap::GetTBitmap() { SetLocation(ieTBitmap); return wrappedBitmap_; }
TCanvas* TIEBitmap::GetCanvas() { SetLocation(ieTBitmap); return nullptr; }
void TIEBitmap::SyncWithTBitmap() {}
bool TIEBitmap::AllocateFrameworkBitmap(int64_t) { return false; }
void TIEBitmap::FreeFrameworkBitmap() { wrappedBitmap_ = nullptr; }
void TIEBitmap::RebuildScanLines() {}
void TIEBitmap::ApplyCanvasTransform() {}
void TIEBitmap::RealizePalette() {}
void TIEBitmap::ResizeFrameworkBitmap(int32_t, int32_t) {}
