// TZodazUrView: zoom, origin, the coordinate model's steps and the refresh (Update) that brings
// layers, zoom, mask, alpha channel, scroll bars and window back into agreement after a change.
#include <algorithm>
#include <cmath>

#include "imaging/core/ie_int_math.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/views/ie_view_globals.h"
#include "imaging/views/zodazur_view.h"
#include "platform/ui/scroll_bars.h"

// ---------------------------------------------------------------------------------- model steps

bool TZodazUrView::HasParentWindow() { return Parent() != nullptr || ParentWindow() != nullptr; }

int32_t TZodazUrView::GetViewWidth() {
  if (offScreen_) return Width();
  if (HasParentWindow() && HandleAllocated()) return ClientWidth();
  return 50;
}

int32_t TZodazUrView::GetViewHeight() {
  if (offScreen_) return Height();
  if (HasParentWindow() && HandleAllocated()) return ClientHeight();
  return 50;
}

void TZodazUrView::SyncGeometry() {
  geo_.ViewWidth = GetViewWidth();
  geo_.ViewHeight = GetViewHeight();
  geo_.ControlWidth = Width();
  geo_.ControlHeight = Height();
  geo_.ScrollBarsNone = scrollBars_ == ssNone;
}

void TZodazUrView::ComputeViewExtents() {
  SyncGeometry();
  geo_.ComputeViewExtents();
}

void TZodazUrView::ComputeVisibleBitmapRect() { geo_.ComputeVisibleBitmapRect(); }

void TZodazUrView::BuildCoordinateTables() { geo_.BuildCoordinateTables(); }

int32_t TZodazUrView::ClientToBitmapX(int32_t X) { return geo_.ClientToBitmapX(X); }
int32_t TZodazUrView::ClientToBitmapY(int32_t Y) { return geo_.ClientToBitmapY(Y); }
int32_t TZodazUrView::BitmapToClientX(int32_t X) { return geo_.BitmapToClientX(X); }
int32_t TZodazUrView::BitmapToClientY(int32_t Y) { return geo_.BitmapToClientY(Y); }

void TZodazUrView::GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) {
  SyncGeometry();
  geo_.GetMaxViewXY(MaxX, MaxY);
}

bool TZodazUrView::IsScrollable() {
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  return mx > 0 || my > 0;
}

// ---------------------------------------------------------------------------------- zoom

void TZodazUrView::ApplyZoom(double Value) {
  StopSmoothScroll();
  if (!geo_.ClampZoom(Value)) return;
  SyncGeometry();
  geo_.ApplyZoom(Value);
}

void TZodazUrView::ApplyZoomX(double Value) {
  StopSmoothScroll();
  if (!geo_.ClampZoomX(Value)) return;
  SyncGeometry();
  geo_.ApplyZoomX(Value);
}

void TZodazUrView::ApplyZoomY(double Value) {
  StopSmoothScroll();
  if (!geo_.ClampZoomY(Value)) return;
  SyncGeometry();
  geo_.ApplyZoomY(Value);
}

// The zoom-filter delay of a zoom or scroll: only with a filter to delay, and not when the zoom
// before was 100 % on the axes concerned (Axis: 0 both, 1 X, 2 Y).
void TZodazUrView::ApplyZoomDelays(int Axis) {
  const bool at100 = Axis == 1   ? geo_.ZoomX == 100
                     : Axis == 2 ? geo_.ZoomY == 100
                                 : geo_.ZoomX == 100 && geo_.ZoomY == 100;
  if (delayZoomFilter_ && zoomFilter_ != rfNone && !at100) zoomFilterDelayCount_ = ZoomFilterDelayTicks;
  selectionDelayCount_ = SelectionDelayTicks;
}

void TZodazUrView::SetZoom(double Value) { SetZoomOnAxes(0, Value); }

void TZodazUrView::SetZoomX(double Value) { SetZoomOnAxes(1, Value); }

void TZodazUrView::SetZoomY(double Value) { SetZoomOnAxes(2, Value); }

void TZodazUrView::SetZoomOnAxes(int Axis, double Value) {
  StopSmoothScroll();
  DoViewChanging(2, Value);
  const bool valid = Axis == 1 ? geo_.ClampZoomX(Value) : Axis == 2 ? geo_.ClampZoomY(Value) : geo_.ClampZoom(Value);
  if (!valid) return;
  if ((Axis == 2 || Value == geo_.ZoomX) && (Axis == 1 || Value == geo_.ZoomY)) return;
  ApplyZoomDelays(Axis);
  LockPaint();
  switch (Axis) {
    case 1: ApplyZoomX(Value); break;
    case 2: ApplyZoomY(Value); break;
    default: ApplyZoom(Value); break;
  }
  updateReason_ = 2;
  Update();
  updateReason_ = 2;
  Update();
  ComputeVisibleBitmapRect();
  BuildCoordinateTables();
  UnlockPaintNoUpdate();
  Paint();
  DoViewChange(1);
}

double TZodazUrView::GetFitZoom() {
  SyncGeometry();
  int32_t mx, my;
  GetFitMargins(backgroundStyle_, BorderStyle() != bsNone, Ctl3D(), EdgeWidth, EdgeHeight, ::BorderWidth,
                BorderHeight, mx, my);
  return geo_.GetFitZoom(mx, my);
}

void TZodazUrView::Fit() {
  if (geo_.BitmapWidth == 0 || geo_.BitmapHeight == 0) return;
  if (HandleAllocated()) {
    if (hScrollShown_) {
      ShowScrollBar(Handle(), SB_HORZ, false);
      hScrollShown_ = false;
    }
    if (vScrollShown_) {
      ShowScrollBar(Handle(), SB_VERT, false);
      vScrollShown_ = false;
    }
  }
  SetZoom(GetFitZoom());
}

void TZodazUrView::ZoomAt(int32_t X, int32_t Y, double Zoom, bool Centre) {
  DoViewChanging(2, X);
  DoViewChanging(2, Y);
  LockPaint();
  const int32_t bx = ClientToBitmapX(X), by = ClientToBitmapY(Y);
  SetZoom(Zoom);
  const double f = geo_.ZoomX / 100;
  SyncGeometry();
  if (Centre)
    SetViewXY(SaturateToInt(bx * f - geo_.ViewWidth / 2), SaturateToInt(by * f - geo_.ViewHeight / 2));
  else
    SetViewXY(SaturateToInt(bx * f - X + f), SaturateToInt(by * f - Y + f));
  UnlockPaint();
  ComputeVisibleBitmapRect();
  BuildCoordinateTables();
}

// ---------------------------------------------------------------------------------- origin

void TZodazUrView::MoveOrigin(int32_t X, int32_t Y, bool ChangeX, bool ChangeY) {
  if (ChangeX) DoViewChanging(0, X);
  if (ChangeY) DoViewChanging(1, Y);
  if ((!ChangeX || X == geo_.ViewX) && (!ChangeY || Y == geo_.ViewY)) return;
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  const int32_t nx = ChangeX ? std::clamp(X, 0, std::max(mx, 0)) : geo_.ViewX;
  const int32_t ny = ChangeY ? std::clamp(Y, 0, std::max(my, 0)) : geo_.ViewY;
  if (nx == geo_.ViewX && ny == geo_.ViewY) return;
  geo_.ViewX = nx;
  geo_.ViewY = ny;
  ApplyZoomDelays(0);
  backBufferInvalid_ = true;
  fullRepaint_ = true;
  Paint();
  DoViewChange(0);
  if (HandleAllocated()) {
    if (hScrollShown_) SetScrollPos(Handle(), SB_HORZ, SaturateToInt(geo_.ViewX / hScrollRatio_), true);
    if (vScrollShown_) SetScrollPos(Handle(), SB_VERT, SaturateToInt(geo_.ViewY / vScrollRatio_), true);
  }
}

void TZodazUrView::SetViewXY(int32_t X, int32_t Y) { MoveOrigin(X, Y, true, true); }
void TZodazUrView::SetViewX(int32_t X) { MoveOrigin(X, geo_.ViewY, true, false); }
void TZodazUrView::SetViewY(int32_t Y) { MoveOrigin(geo_.ViewX, Y, false, true); }

// ---------------------------------------------------------------------------------- locks

void TZodazUrView::LockPaint() { ++paintLockCount_; }

int32_t TZodazUrView::UnlockPaint() {
  if (paintLockCount_ > 0) {
    --paintLockCount_;
    if (paintLockCount_ == 0) Update();
  }
  return paintLockCount_;
}

int32_t TZodazUrView::UnlockPaintNoUpdate() {
  if (paintLockCount_ > 0) --paintLockCount_;
  return paintLockCount_;
}

void TZodazUrView::LockUpdate() { ++updateLockCount_; }

void TZodazUrView::UnlockUpdate() {
  if (updateLockCount_ > 0) {
    --updateLockCount_;
    if (updateLockCount_ == 0) Update();
  }
}

void TZodazUrView::UnlockUpdateNoRefresh() {
  if (updateLockCount_ > 0) --updateLockCount_;
}

// ---------------------------------------------------------------------------------- refresh

void TZodazUrView::Update() {
  if (updateLockCount_ > 0 || (ComponentState() & ~csFreeNotification) != 0 || BitmapBusy()) return;
  const bool wasInside = insideUpdate_;
  insideUpdate_ = true;
  try {
    UpdateCore();
  } catch (...) {
    insideUpdate_ = wasInside;
    updateReason_ = 0;
    throw;
  }
  insideUpdate_ = wasInside;
  updateReason_ = 0;
}

void TZodazUrView::AutoZoomStep() {
  if (!(autoFit_ || autoStretch_ || autoShrink_)) return;
  if (geo_.BitmapWidth <= 0 || geo_.BitmapHeight <= 0) return;
  DoViewChanging(2, geo_.ZoomX);
  SyncGeometry();
  int32_t mx, my;
  switch (backgroundStyle_) {
    case iebsCropped: mx = EdgeWidth, my = EdgeHeight; break;
    case iebsCropShadow: mx = my = 5; break;
    case iebsSoftShadow: mx = my = 9; break;
    default:
      mx = (Width() - geo_.ViewWidth) / 2;
      my = (Height() - geo_.ViewHeight) / 2;
      break;
  }
  const double z = geo_.AutoZoom(autoFit_, autoStretch_, autoShrink_, mx, my, GetFitZoom());
  geo_.SetZoomValues(z, z);
  ComputeVisibleBitmapRect();
  BuildCoordinateTables();
  DoViewChange(1);
  zoomFilterDelayCount_ = 0;
  selectionDelayCount_ = 0;
}

void TZodazUrView::ResizeMaskAndAlpha() {
  const int32_t w = ieBitmap_->Width(), h = ieBitmap_->Height();
  if (w == lastBitmapWidth_ && h == lastBitmapHeight_) return;
  lastBitmapWidth_ = w;
  lastBitmapHeight_ = h;
  if (selectionMask_->Width() != w || selectionMask_->Height() != h) {
    if (selected_) {
      selectionMask_->Resize(w, h);
      selectionMask_->RecalcBounds();
      selectionMask_->CheckFull();
    } else {
      selectionMask_->Allocate(w, h, static_cast<int32_t>(maskBitsPerPixel_));
    }
  }
  if (ieBitmap_->HasAlphaChannel()) {
    TIEBitmap* alpha = ieBitmap_->GetAlphaChannel();
    if (alpha->Width() != w || alpha->Height() != h) {
      alpha->Allocate(w, h, ie8g);
      alpha->Fill(255);
    }
  }
}

void TZodazUrView::LowerOriginToMaximum() {
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  bool changed = false;
  if (geo_.ViewX > mx) {
    DoViewChanging(0, mx);
    geo_.ViewX = std::max(mx, 0);
    changed = true;
  }
  if (geo_.ViewY > my) {
    DoViewChanging(1, my);
    geo_.ViewY = std::max(my, 0);
    changed = true;
  }
  if (changed) DoViewChange(0);
}

void TZodazUrView::UpdateCore() {
  // 1. Cached masked and rotated pictures of the layers are dropped.
  for (size_t i = 0; i < layers_.size(); ++i)
    if (InvalidLayerCache < 0 || static_cast<size_t>(InvalidLayerCache) == i) layers_[i]->MaskedAlphaCache.reset();
  InvalidLayerCache = -1;
  // 2. Layers.
  SyncLayers();
  // 3. Automatic zoom.
  AutoZoomStep();
  // 4. Mask and alpha channel at the bitmap's size.
  ResizeMaskAndAlpha();
  // 5. Origin and scroll bars, only with a window.
  if (HandleAllocated() && HasParentWindow()) {
    const int32_t vw = GetViewWidth(), vh = GetViewHeight();
    LowerOriginToMaximum();
    try {
      SetScrollBarsRanges();
    } catch (...) {
      // A scroll bar that cannot be set leaves the view as it is.
    }
    if ((vw != GetViewWidth() || vh != GetViewHeight()) && !nestedUpdate_) {
      nestedUpdate_ = true;
      try {
        Update();
      } catch (...) {
        nestedUpdate_ = false;
        throw;
      }
      nestedUpdate_ = false;
    }
  }
  // 6. Extents, and a full recomposition at the next paint.
  ComputeViewExtents();
  backBufferInvalid_ = true;
  fullRepaint_ = true;
  if (HandleAllocated() && HasParentWindow() && invalidateOnUpdate_) Invalidate();
}
