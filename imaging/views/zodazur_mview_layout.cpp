// TZodazUrMView: the cells on their plane, the relayout that every change ends with, the scroll
// position with its two bars (always ranged 0..65535 through a scale), and hit testing.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "imaging/core/ie_int_math.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/window_dc.h"

using Guard = std::lock_guard<TCriticalSection>;

int32_t TZodazUrMView::ColumnCount() {
  if (gridWidth_ != -1) return gridWidth_;
  const int32_t step = horizBorder_ + thumbWidth_;
  return step > 0 ? (ClientWidth() - horizBorder_) / step : 0;
}

int32_t TZodazUrMView::IndexFromRowCol(int32_t Row, int32_t Col) { return Col + Row * ColumnCount(); }

void TZodazUrMView::ComputeLayout() {
  Guard g(lock_);
  const int32_t columns = ColumnCount();
  // A cell's place depends only on its index and the grid's settings: only the cells from the
  // first changed index on are placed again, unless a setting changed.
  const TLayoutKey key{columns, displayMode_, thumbWidth_, thumbHeight_, horizBorder_, vertBorder_};
  if (!(key == layoutKey_)) {
    layoutKey_ = key;
    layoutFrom_ = 0;
  }
  const int32_t n = static_cast<int32_t>(images_.size());
  for (int32_t i = std::max(layoutFrom_, 0); i < n; ++i) {
    TIEMImageInfo& r = *images_[static_cast<size_t>(i)];
    int32_t col = 0, row = 0;
    // A column count of 0 (or below -1) never wraps.
    if (displayMode_ == mdGrid) {
      if (columns > 0) col = i % columns, row = i / columns;
      else col = i;
    }
    r.X = col * (thumbWidth_ + horizBorder_);
    r.Y = row * (thumbHeight_ + vertBorder_);
    if (displayMode_ == mdGrid) {
      r.X += horizBorder_;
      r.Y += vertBorder_;
    }
    r.Row = row;
    r.Col = col;
  }
  layoutFrom_ = n;
  int32_t ex = 0, ey = 0;
  if (n > 0 && displayMode_ == mdGrid) {
    const int32_t lastCol = columns > 0 ? std::min(n, columns) - 1 : n - 1;
    const int32_t lastRow = columns > 0 ? (n - 1) / columns : 0;
    ex = horizBorder_ + lastCol * (thumbWidth_ + horizBorder_);
    ey = vertBorder_ + lastRow * (thumbHeight_ + vertBorder_);
  }
  extentWidth_ = ex + thumbWidth_ + horizBorder_;
  extentHeight_ = ey + thumbHeight_ + vertBorder_;
}

void TZodazUrMView::GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) {
  MaxX = std::max(extentWidth_ - ClientWidth(), 0);
  MaxY = std::max(extentHeight_ - ClientHeight(), 0);
}

void TZodazUrMView::Update() { UpdateEx(true); }

void TZodazUrMView::SetOneScrollBar(int Bar, int32_t Max, int32_t ClientSize, int32_t Position, double& Scale) {
  const HWND h = Handle();
  if (Max < 1) {
    ShowScrollBar(h, Bar, false);
    return;
  }
  Scale = (static_cast<double>(ClientSize) + Max - 1) / 65536;
  ShowScaledScrollBar(Bar, ClientSize, Position, Scale);
}

void TZodazUrMView::UpdateEx(bool DropThumbnails) {
  if (paintLockCount_ > 0 || inLayout_ || destroying_ || !HandleAllocated()) return;
  const TComponentState state = ComponentState();
  if (state != 0 && state != csDesigning && state != csFreeNotification) return;
  if (!Parent() && !ParentWindow()) return;
  window_ = Handle();
  if (!(state & csDesigning)) {
    inLayout_ = true;
    ++layoutCount_;
    if (DropThumbnails) DropAllThumbnails();
    ComputeLayout();
    for (int round = 0; round < 9; ++round) {
      const int32_t cw = ClientWidth(), ch = ClientHeight();
      int32_t mx, my;
      GetMaxViewXY(mx, my);
      bool lowered = false;
      {
        Guard g(lock_);
        loadAreaWidth_ = Width();
        loadAreaHeight_ = Height();
        if (viewX_ > mx) viewX_ = mx, lowered = true;
        if (viewY_ > my) viewY_ = my, lowered = true;
      }
      if (lowered) DoViewChange(0);
      try {
        if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) SetOneScrollBar(SB_HORZ, mx, cw, viewX_, hScale_);
        if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) SetOneScrollBar(SB_VERT, my, ch, viewY_, vScale_);
      } catch (...) {
        // A bar that cannot be set leaves the view as it is.
      }
      if (cw == ClientWidth() && ch == ClientHeight()) break;
      // A bar came or went: the columns and the extent may change with the client width.
      ComputeLayout();
    }
    CallBitmapChangeEvents();
    inLayout_ = false;
  }
  Invalidate();
}

void TZodazUrMView::SetViewX(int32_t Value) {
  if (Value == viewX_) return;
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  {
    Guard g(lock_);
    viewX_ = std::clamp(Value, 0, mx);
  }
  Invalidate();
  if (HandleAllocated() && (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth))
    SetScrollPos(Handle(), SB_HORZ, SaturateToInt(viewX_ / hScale_), true);
}

void TZodazUrMView::SetViewY(int32_t Value) {
  if (Value == viewY_) return;
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  {
    Guard g(lock_);
    viewY_ = std::clamp(Value, 0, my);
  }
  Invalidate();
  if (HandleAllocated() && (scrollBars_ == ssVertical || scrollBars_ == ssBoth))
    SetScrollPos(Handle(), SB_VERT, SaturateToInt(viewY_ / vScale_), true);
}

void TZodazUrMView::SetViewXY(int32_t X, int32_t Y) {
  if (X == viewX_ && Y == viewY_) return;
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  {
    Guard g(lock_);
    viewX_ = std::clamp(X, 0, mx);
    viewY_ = std::clamp(Y, 0, my);
  }
  Invalidate();
  if (!HandleAllocated()) return;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    SetScrollPos(Handle(), SB_HORZ, SaturateToInt(viewX_ / hScale_), true);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
    SetScrollPos(Handle(), SB_VERT, SaturateToInt(viewY_ / vScale_), true);
}

int32_t TZodazUrMView::ImageAtPos(int32_t X, int32_t Y) {
  Guard g(lock_);
  const int32_t count = static_cast<int32_t>(images_.size());
  if (displayMode_ == mdSingle) return count > 0 ? std::clamp(currentFrame_, 0, count - 1) : -1;
  // Left of or above the plane there is no cell.
  if (static_cast<int64_t>(X) + viewX_ < 0 || static_cast<int64_t>(Y) + viewY_ < 0) return -1;
  const int32_t rowStep = vertBorder_ + thumbHeight_, colStep = horizBorder_ + thumbWidth_;
  if (rowStep <= 0 || colStep <= 0) return -1;
  const int32_t row = (Y + viewY_) / rowStep, col = (X + viewX_) / colStep;
  const int32_t index = IndexFromRowCol(row, col);
  if (index < 0 || index >= count) return -1;
  const TIEMImageInfo& r = *images_[static_cast<size_t>(index)];
  const int32_t left = r.X - viewX_, top = r.Y - viewY_;
  // The bottom bound is one pixel more generous than the right one.
  if (X >= left && X <= left + thumbWidth_ - 1 && Y >= top && Y <= top + thumbHeight_) return index;
  return -1;
}

int32_t TZodazUrMView::IsImageVisible(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r) return 0;
  const int32_t cw = ClientWidth() - 1, ch = ClientHeight() - 1;
  const int32_t x1 = r->X - viewX_, y1 = r->Y - viewY_, x2 = x1 + thumbWidth_, y2 = y1 + thumbHeight_;
  if (x2 < 0 || y2 < 0 || x1 > cw || y1 > ch) return 0;
  if (x1 >= 0 && y1 >= 0 && x2 <= cw && y2 <= ch) return 2;
  return 1;
}

void TZodazUrMView::SetScrollBars(TScrollStyle Value) {
  scrollBars_ = Value;
  if ((Parent() || ParentWindow()) && HandleAllocated()) {
    if (Value != ssVertical && Value != ssBoth) ShowScrollBar(Handle(), SB_VERT, false);
    if (Value != ssHorizontal && Value != ssBoth) ShowScrollBar(Handle(), SB_HORZ, false);
  }
  UpdateEx(false);
}

void TZodazUrMView::SetFlatScrollBars(bool Value) { SwitchFlatScrollBars(flatScrollBars_, Value); }

void TZodazUrMView::WMScroll(TMessage& Message, bool Horizontal) {
  DefaultHandler(Message);
  const int code = LOWORD(Message.WParam);
  const uint16_t pos = HIWORD(Message.WParam);
  const TIEScrollBarParams& params = Horizontal ? hScrollParams_ : vScrollParams_;
  if (code == SB_THUMBTRACK && !params.Tracking) return;
  userAction_ = true;
  const int32_t origin = Horizontal ? viewX_ : viewY_;
  const int32_t line = params.LineStep != -1 ? params.LineStep
                                               : (Horizontal ? thumbWidth_ + horizBorder_ : thumbHeight_ + vertBorder_);
  const int32_t page = params.PageStep != -1 ? params.PageStep : (Horizontal ? ClientWidth() : ClientHeight());
  const double scale = Horizontal ? hScale_ : vScale_;
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  const int32_t target = ScrollTarget(code, origin, line, page, SaturateToInt(pos * scale), Horizontal ? mx : my);
  if (Horizontal) SetViewX(target);
  else SetViewY(target);
  DoViewChange(0);
  userAction_ = false;
}

void TZodazUrMView::WMMouseWheelView(TMessage& Message) {
  const int delta = static_cast<int16_t>(HIWORD(Message.WParam));
  const TPoint screen = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
  TIEView::DoMouseWheel(MouseKeysToShiftState(LOWORD(Message.WParam)), delta, screen);
  userAction_ = true;
  // One row per message, whatever its delta.
  if (delta > 0) SetViewY(viewY_ - (thumbHeight_ + vertBorder_));
  else SetViewY(viewY_ + (thumbHeight_ + vertBorder_));
  DoViewChange(0);
  userAction_ = false;
  Message.Result = 1;
}

void TZodazUrMView::WMSize(TMessage& Message) {
  TIEView::WMSize(Message);
  UpdateEx(false);
}
