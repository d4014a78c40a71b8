#include "controls/xc_tracker.h"

#include <cmath>
#include <string>

#include "controls/xc_draw_utils.h"

namespace {

// Round of the value and position formulas: to the nearest, an exact half to the even neighbour.
int32_t Round(long double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

TXcTracker::TXcTracker(TComponent* owner) : TXcExCustomControl(owner), backBitmap_(std::make_unique<TBitmap>()) {
  SetControlStyle(ControlStyle() | csOpaque);
  SetBounds(Left(), Top(), 150, 24);
  backBitmap_->OnChange = [this](TObject*) {
    ++backVersion_;
    Invalidate();
  };
  UpdateTravel();
  UpdateTrackAndHit();
  PositionFromValue();
}

TXcTracker::~TXcTracker() { backBitmap_->OnChange = nullptr; }

// ---- geometry

void TXcTracker::UpdateTravel() {
  if (Horizontal()) {
    low_ = thumbWidth_ / 2 + 5;
    high_ = Width() - low_;
  } else {
    low_ = thumbHeight_ / 2 + 5;
    high_ = Height() - low_;
  }
}

void TXcTracker::UpdateTrackAndHit() {
  const int32_t w = Width(), h = Height();
  if (Horizontal()) {
    const int32_t d = (h - trackHeight_) / 2, e = (thumbHeight_ - trackHeight_) / 2;
    trackRect_ = Rect(low_, d, high_, h - d);
    hitRect_ = Rect(low_, d - e, high_, h - d + e);
  } else {
    const int32_t d = (w - trackHeight_) / 2, e = (thumbWidth_ - trackHeight_) / 2;
    trackRect_ = Rect(d, low_, w - d, high_);
    hitRect_ = Rect(d - e, low_, w - d + e, high_);
  }
}

void TXcTracker::UpdateThumb() {
  if (Horizontal()) {
    const int32_t v = (Height() - thumbHeight_) / 2;
    thumbRect_ = Rect(position_ - thumbWidth_ / 2, v, position_ + thumbWidth_ / 2, Height() - v);
  } else {
    const int32_t v = (Width() - thumbWidth_) / 2;
    thumbRect_ = Rect(v, position_ - thumbHeight_ / 2, Width() - v, position_ + thumbHeight_ / 2);
  }
}

void TXcTracker::PositionFromValue() {
  const long double f = static_cast<long double>(value_ - minimum_) / (static_cast<long double>(maximum_) - minimum_);
  position_ = low_ + Round(f * (high_ - low_));
  UpdateThumb();
}

void TXcTracker::ValueFromPosition() {
  // A track without length (a tracker narrower than its thumb) holds every value at the minimum.
  if (high_ <= low_) {
    value_ = minimum_;
    return;
  }
  const long double f = static_cast<long double>(position_ - low_) / (high_ - low_);
  value_ = Round(f * (static_cast<long double>(maximum_) - minimum_) + minimum_);
}

void TXcTracker::HandleBoundsChange() {
  TXcExCustomControl::HandleBoundsChange();
  UpdateTravel();
  UpdateTrackAndHit();
  PositionFromValue();
  Invalidate();
}

// ---- properties

void TXcTracker::SetMinimum(int32_t value) {
  if (value == minimum_ || value >= maximum_) return;
  minimum_ = value;
  if (value_ < value) value_ = value;
  PositionFromValue();
  Invalidate();
}

void TXcTracker::SetMaximum(int32_t value) {
  if (value == maximum_ || value <= minimum_) return;
  maximum_ = value;
  if (value_ > value) value_ = value;
  PositionFromValue();
  Invalidate();
}

void TXcTracker::SetValue(int32_t value) {
  if (value == value_ || value < minimum_ || value > maximum_) return;
  value_ = value;
  PositionFromValue();
  Invalidate();
}

void TXcTracker::SetOrientation(TjtbOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  if (ComponentState() & csDesigning) SetBounds(Left(), Top(), Height(), Width());
  // The thumb takes its place on the new axis.
  UpdateTravel();
  UpdateTrackAndHit();
  PositionFromValue();
  Invalidate();
}

void TXcTracker::SetBackBitmap(TBitmap* value) { backBitmap_->Assign(value); }

void TXcTracker::SetThumbWidth(int32_t value) {
  if (value == thumbWidth_) return;
  thumbWidth_ = value;
  UpdateTravel();
  UpdateTrackAndHit();
  PositionFromValue();
  Invalidate();
}

void TXcTracker::SetThumbHeight(int32_t value) {
  if (value == thumbHeight_ || value >= Height()) return;
  thumbHeight_ = value;
  UpdateTravel();
  UpdateTrackAndHit();
  PositionFromValue();
  Invalidate();
}

void TXcTracker::SetTrackHeight(int32_t value) {
  if (value == trackHeight_ || value >= (Horizontal() ? Height() : Width())) return;
  trackHeight_ = value;
  UpdateTrackAndHit();
  Invalidate();
}

void TXcTracker::SetBackColor(TColor value) { Change(backColor_, value); }
void TXcTracker::SetBackBorder(bool value) { Change(backBorder_, value); }
void TXcTracker::SetTrackColor(TColor value) { Change(trackColor_, value); }
void TXcTracker::SetTrackPositionColored(bool value) { Change(trackPositionColored_, value); }
void TXcTracker::SetTrackBorder(bool value) { Change(trackBorder_, value); }
void TXcTracker::SetBorderColor(TColor value) { Change(borderColor_, value); }
void TXcTracker::SetThumbColor(TColor value) { Change(thumbColor_, value); }
void TXcTracker::SetThumbBorder(bool value) { Change(thumbBorder_, value); }
void TXcTracker::SetShowCaption(bool value) { Change(showCaption_, value); }
void TXcTracker::SetCaptionColor(TColor value) { Change(captionColor_, value); }
void TXcTracker::SetCaptionBold(bool value) { Change(captionBold_, value); }

// ---- mouse

void TXcTracker::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !PtInRect(hitRect_, Point(x, y))) return;
  dragging_ = true;
  position_ = Horizontal() ? x : y;
  ValueFromPosition();
  UpdateThumb();
  Repaint();
  if (OnChangedValue) OnChangedValue(this, value_);
}

void TXcTracker::MouseMove(TShiftState shift, int x, int y) {
  TXcExCustomControl::MouseMove(shift, x, y);
  if (!(shift & ssLeft) || !dragging_) return;
  // Past either end the thumb stays at the end: exactly Minimum or Maximum.
  const int32_t along = Horizontal() ? x : y;
  position_ = std::max(low_, std::min(high_, along));
  ValueFromPosition();
  UpdateThumb();
  Repaint();
  if (OnChangedValue) OnChangedValue(this, value_);
}

void TXcTracker::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  dragging_ = false;
  TXcExCustomControl::MouseUp(button, shift, x, y);
}

// ---- painting

bool TXcTracker::HandleEraseBackground(TCanvas*, LPARAM) { return true; }

void TXcTracker::PaintInto(TCanvas* c) {
  UpdateTravel();
  UpdateThumb();
  UpdateTrackAndHit();
  const int32_t w = ClientWidth(), h = ClientHeight();
  // The background: the picture tiled from the top-left corner, or the colour with its outline.
  const int32_t bw = backBitmap_->Width(), bh = backBitmap_->Height();
  if (bw > 0 && bh > 0) {
    for (int32_t row = 0; row <= h / bh; ++row)
      for (int32_t col = 0; col <= w / bw; ++col) c->Draw(col * bw, row * bh, backBitmap_.get());
  } else {
    // The rectangle filled with BackColor and outlined in one pixel of BorderColor (or BackColor).
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(backColor_);
    c->FillRect(Rect(0, 0, w, h));
    if (backBorder_) {
      c->Brush()->SetColor(borderColor_);
      c->FrameRect(Rect(0, 0, w, h));
    }
  }
  // The track, in a colour that grows from black at Minimum to TrackColor at Maximum when asked.
  TColor track = trackColor_;
  if (trackPositionColored_) {
    const COLORREF rgb = ColorToRGB(trackColor_);
    const long double f = static_cast<long double>(value_ - minimum_) / (static_cast<long double>(maximum_) - minimum_);
    track = TColorOf(RGB(static_cast<uint8_t>(GetRValue(rgb) * f), static_cast<uint8_t>(GetGValue(rgb) * f),
                         static_cast<uint8_t>(GetBValue(rgb) * f)));
  }
  c->Brush()->SetColor(track);
  c->FillRect(trackRect_);
  if (trackBorder_) {
    TRect r = trackRect_;
    Frame3D(c, r, clBlack, clBtnHighlight, 1);
  }
  // The thumb with its raised frame.
  c->Brush()->SetColor(thumbColor_);
  c->FillRect(thumbRect_);
  TRect inner = thumbRect_;
  Frame3D(c, inner, clBtnHighlight, clBlack, 1);
  if (showCaption_) {
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(captionColor_);
    c->Font()->SetStyle(captionBold_ ? TFontStyles{fsBold} : TFontStyles{});
    DrawTextOnCanvas(c, std::to_string(value_), -1, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS, inner);
  }
}

TXcTracker::PictureKey TXcTracker::CurrentPictureKey() {
  return {Width(),       Height(),     ClientWidth(), ClientHeight(), minimum_,     maximum_,
          value_,        position_,    thumbWidth_,   thumbHeight_,   trackHeight_, backVersion_,
          backColor_,    trackColor_,  borderColor_,  thumbColor_,    captionColor_, orientation_,
          backBorder_,   trackPositionColored_, trackBorder_, showCaption_, captionBold_};
}

void TXcTracker::Paint() {
  const int32_t w = ClientWidth(), h = ClientHeight();
  if (w <= 0 || h <= 0) return;
  // The off-screen surface is kept between paints (every paint covers all of it); its canvas keeps
  // the default font but for the caption's colour and weight. A paint of what the surface already
  // shows only copies it.
  if (!surface_) {
    surface_ = std::make_unique<TBitmap>();
    surface_->SetPixelFormat(pf32bit);
  }
  TCanvas* c = surface_->Canvas();
  const PictureKey key = CurrentPictureKey();
  if (!surfaceValid_ || !(key == surfaceKey_)) {
    surfaceValid_ = false;
    if (surface_->Width() != w || surface_->Height() != h) surface_->SetSize(w, h);
    try {
      PaintInto(c);
    } catch (...) {
      BitBlt(Canvas()->Handle(), 0, 0, w, h, c->Handle(), 0, 0, SRCCOPY);
      throw;
    }
    surfaceKey_ = key;
    surfaceValid_ = true;
  }
  BitBlt(Canvas()->Handle(), 0, 0, w, h, c->Handle(), 0, 0, SRCCOPY);
}
