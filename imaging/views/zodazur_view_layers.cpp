// TZodazUrView: the layer list as far as the view's refresh and painting need it (layer 0, the
// current layer, the layer step of the refresh).
#include <algorithm>

#include "imaging/core/ie_bitmap.h"
#include "imaging/views/zodazur_view.h"
#include "platform/gdi/bitmap.h"

void TZodazUrView::SyncLayers() {
  if (!ieBitmap_ || layers_.empty()) return;
  TIELayer* current = layers_[static_cast<size_t>(layersCurrent_)].get();
  // The framework bitmap behind the image is read again (drawing code may have changed its size
  // or depth), and is the one the view exposes while LegacyBitmap is on.
  if (legacyBitmap_) {
    if (ieBitmap_->Location() == ieTBitmap && ieBitmap_->FrameworkBitmap()) {
      ieBitmap_->SyncWithTBitmap();
      legacyTBitmap_ = ieBitmap_->FrameworkBitmap()->Bitmap();
    }
  } else {
    legacyTBitmap_ = nullptr;
  }
  // A framework bitmap the layer kept for its bitmap but that bitmap no longer uses goes.
  if (current->WrappedTBitmap() &&
      (ieBitmap_->Location() != ieTBitmap || !ieBitmap_->FrameworkBitmap() ||
       ieBitmap_->FrameworkBitmap()->Bitmap() != current->WrappedTBitmap())) {
    if (legacyTBitmap_ == current->WrappedTBitmap()) legacyTBitmap_ = nullptr;
    current->FreeWrappedTBitmap();
  }
  current->StoreBitmap(ieBitmap_);
  TIEBitmap* base = layers_[0]->Bitmap();
  geo_.BitmapWidth = base ? base->Width() : 0;
  geo_.BitmapHeight = base ? base->Height() : 0;
  if (layersSync_ && layers_.size() >= 2) {
    int32_t w = 0, h = 0;
    for (const auto& l : layers_) {
      w = std::max(w, l->Bitmap()->Width());
      h = std::max(h, l->Bitmap()->Height());
    }
    geo_.BitmapWidth = w;
    geo_.BitmapHeight = h;
    for (const auto& l : layers_) {
      TIEBitmap* b = l->Bitmap();
      if (b->Width() == w && b->Height() == h) continue;
      b->GetAlphaChannel();
      b->Resize(w, h, static_cast<double>(ColorToRGB(Background())), 0, 0, 0);
    }
  }
}
