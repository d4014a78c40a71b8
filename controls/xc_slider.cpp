#include "controls/xc_slider.h"

#include <algorithm>
#include <cmath>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_draw_utils.h"
#include "controls/xc_themes.h"
#include "controls/xc_types.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/timers.h"

// ---------------------------------------------------------------------------------- the images

namespace {

// K black, D dark grey, L light grey, H white, - magenta (transparent); rows from the top.
constexpr const char* kHThumb[17] = {
    "HHHHHHHHKHHHHHHHHK", "HLLLLLLDKHLLLLLLDK", "HLLLLLLDKHLHLHLHDK", "HLLLLLLDKHLLHLHLDK", "HLLLLLLDKHLHLHLHDK",
    "HLLLLLLDKHLLHLHLDK", "HLLLLLLDKHLHLHLHDK", "HLLLLLLDKHLLHLHLDK", "HLLLLLLDKHLHLHLHDK", "HLLLLLLDKHLLHLHLDK",
    "HLLLLLLDKHLHLHLHDK", "HLLLLLLDKHLLHLHLDK", "HLLLLLLDKHLHLHLHDK", "-HLLLLDK--HLHLHDK-", "--HLLDK----HLHDK--",
    "---HDK------HDK---", "----K--------K----",
};
constexpr const char* kHRuler[8] = {
    "----------", "----------", "DDDDDDDDDH", "DKKKKKKKLH", "DLLLLLLLLH", "HHHHHHHHHH", "----------", "----------",
};
constexpr const char* kVThumb[9] = {
    "-KKKKKKKKKKKKK------KKKKKKKKKKKKK-----", "-HDDDDDDDDDDDDK-----HDDDDDDDDDDDDK----",
    "-HLLLLLLLLLLLLDK----HLHLHLHLHLHLHDK---", "-HLLLLLLLLLLLLLDK---HLLHLHLHLHLHLHDK--",
    "-HLLLLLLLLLLLLLLDK--HLHLHLHLHLHLHLHDK-", "-HLLLLLLLLLLLLLLH---HLLHLHLHLHLHLHLH--",
    "-HLLLLLLLLLLLLLH----HLHLHLHLHLHLHLH---", "-HLLLLLLLLLLLLH-----HLLLLLLLLLLLLH----",
    "-HHHHHHHHHHHHH------HHHHHHHHHHHHH-----",
};
constexpr const char* kVRuler[10] = {
    "--DDDH--", "--DKLH--", "--DKLH--", "--DKLH--", "--DKLH--", "--DKLH--", "--DKLH--", "--DKLH--", "--DLLH--", "--HHHH--",
};

// Round: to the nearest, an exact half to the even neighbour.
int32_t Round(long double v) { return static_cast<int32_t>(std::nearbyint(v)); }

constexpr uintptr_t kRepeatTimer = 1;
constexpr uint32_t kRepeatPause = 400;
// The thumb's cursor: nothing registers this id, so it shows the default arrow.
constexpr TCursor kThumbCursor = 372;

}  // namespace

void RegisterSliderResources() {
  // D dark grey, L light grey, H white, - magenta; K (and anything else) black.
  auto colourOf = [](char c) -> COLORREF {
    switch (c) {
      case 'D': return RGB(0x80, 0x80, 0x80);
      case 'L': return RGB(0xC0, 0xC0, 0xC0);
      case 'H': return RGB(0xFF, 0xFF, 0xFF);
      case '-': return RGB(0xFF, 0x00, 0xFF);
      default: return RGB(0, 0, 0);
    }
  };
  auto add = [](int index, const std::vector<uint8_t>& file) {
    RegisterBitmapResource(kSliderImageResources[index], file.data(), file.size());
  };
  add(0, BitmapFileFromRows(kHThumb, 18, 17, colourOf));
  add(1, BitmapFileFromRows(kHRuler, 10, 8, colourOf));
  add(2, BitmapFileFromRows(kVThumb, 38, 9, colourOf));
  add(3, BitmapFileFromRows(kVRuler, 8, 10, colourOf));
}

void ComposeRulerImage(TBitmap* image, bool horizontal, int32_t length, int32_t edge, TBitmap* ruler) {
  if (!ruler) return;
  length = std::max(length, 0);
  const int32_t n = image ? (horizontal ? image->Width() : image->Height()) : 0;
  const int32_t across = image ? (horizontal ? image->Height() : image->Width()) : 0;
  if (n <= 0 || across <= 0 || length == 0) {
    ruler->SetSize(0, 0);
    return;
  }
  ruler->SetSize(horizontal ? length : across, horizontal ? across : length);
  HDC dst = ruler->Canvas()->Handle(), src = image->Canvas()->Handle();
  auto copy = [&](int32_t from, int32_t to, int32_t count) {
    if (count <= 0) return;
    if (horizontal) BitBlt(dst, to, 0, count, across, src, from, 0, SRCCOPY);
    else BitBlt(dst, 0, to, across, count, src, 0, from, SRCCOPY);
  };
  const int32_t e = edge, t = n - 2 * e;
  if (e < 0 || t <= 0) {
    // Nothing between the ends to tile: the image whole, again and again.
    for (int32_t at = 0; at < length; at += n) copy(0, at, n);
    return;
  }
  // The first piece is the left end and one inner tile, the last the rest of a tile and the right
  // end; inner tiles between.
  const int32_t between = length - 2 * e, count = std::max(between / t + 1, 1), rest = between % t;
  for (int32_t i = 0; i < count; ++i) {
    if (i == 0) copy(0, 0, n - e);
    else if (i < count - 1) copy(e, e + i * t, t);
    else copy(e + t - rest, e + i * t, e + rest);
  }
}

// ------------------------------------------------------------------------------- TXcCustomSlider

TXcCustomSlider::TXcCustomSlider(TComponent* owner) : TXcExCustomControl(owner), ruler_(std::make_unique<TBitmap>()) {
  ruler_->OnChange = [this](TObject*) { ++pictures_; };
  SetControlStyle(ControlStyle() | csOpaque | csCaptureMouse | csClickEvents | csDoubleClicks);
  AddThemeStyle(this, csParentBackground);
  for (int i = 0; i < 4; ++i) SetImage(i, nullptr);
  SetBounds(Left(), Top(), 150, 40);
  SetTabStop(true);
  RecalcLayout();
  creating_ = false;
}

TXcCustomSlider::~TXcCustomSlider() {
  OnChange = nullptr;
  OnChanged = nullptr;
  OnDrawPoints = nullptr;
  if (timerRunning_ && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
  for (auto& image : images_)
    if (image) image->OnChange = nullptr;
  ruler_->OnChange = nullptr;
}

void TXcCustomSlider::SetImage(int index, TBitmap* value) {
  if (index < 0 || index > 3) return;
  if (!images_[index]) {
    images_[index] = std::make_unique<TBitmap>();
    images_[index]->OnChange = [this](TObject*) {
      ++pictures_;
      if (!creating_) LayoutChanged();
    };
  }
  if (value) {
    images_[index]->Assign(value);
    userImages_ |= static_cast<uint8_t>(1u << index);
    return;
  }
  images_[index]->LoadFromResourceName(0, kSliderImageResources[index]);
  userImages_ &= static_cast<uint8_t>(~(1u << index));
  if (!Reading()) {
    TSliderOptions options = options_;
    options.Exclude(index == 1 || index == 3 ? soRulerOpaque : soThumbOpaque);
    options_ = options;
    Invalidate();
  }
}

void TXcCustomSlider::Loaded() {
  TXcExCustomControl::Loaded();
  for (int i = 0; i < 4; ++i)
    if (userImages_ & (1u << i)) {
      TBitmap copy;
      copy.Assign(images_[i].get());
      SetImage(i, &copy);
    }
}

// ---- layout

TRect TXcCustomSlider::SliderRect() {
  TRect r = Rect(0, 0, Width(), Height());
  if (bevelStyle_ != bvNone) InflateRect(r, -bevelWidth_, -bevelWidth_);
  return r;
}

void TXcCustomSlider::AdjustClientRect(TRect& rect) {
  TXcExCustomControl::AdjustClientRect(rect);
  if (bevelStyle_ != bvNone) InflateRect(rect, -bevelWidth_, -bevelWidth_);
}

int32_t TXcCustomSlider::ThumbExtent() {
  return Horizontal() ? images_[0]->Width() / numThumbStates_ : images_[2]->Height();
}

int32_t TXcCustomSlider::TrackLength() {
  return (Horizontal() ? ruler_->Width() : ruler_->Height()) - ThumbExtent();
}

TRect TXcCustomSlider::RulerRect() const {
  return Rect(rulerOrigin_.X, rulerOrigin_.Y, rulerOrigin_.X + ruler_->Width(), rulerOrigin_.Y + ruler_->Height());
}

void TXcCustomSlider::ComposeRuler(const TRect& r) {
  if (Horizontal()) ComposeRulerImage(images_[1].get(), true, r.Right - r.Left - 12, edgeSize_, ruler_.get());
  else ComposeRulerImage(images_[3].get(), false, r.Bottom - r.Top - 12, edgeSize_, ruler_.get());
}

void TXcCustomSlider::RecalcLayout() {
  ++pictures_;
  const TRect r = SliderRect();
  ComposeRuler(r);
  const int32_t rw = ruler_->Width(), rh = ruler_->Height();
  if (Horizontal()) {
    const int32_t tw = images_[0]->Width() / numThumbStates_, th = images_[0]->Height();
    if (th > rh) {
      thumbRect_ = Bounds(r.Left + 6, r.Top + 6, tw, th);
      rulerOrigin_ = Point(r.Left + 6, r.Top + 6 + (th - rh) / 2);
    } else {
      thumbRect_ = Bounds(r.Left + 6, r.Top + 6 + (rh - th) / 2, tw, th);
      rulerOrigin_ = Point(r.Left + 6, r.Top + 6);
    }
    pointsRect_ = Rect(rulerOrigin_.X, r.Top + 7 + std::max(th, rh), rulerOrigin_.X + rw, r.Bottom - r.Top - 1);
  } else {
    const int32_t tw = images_[2]->Width() / numThumbStates_, th = images_[2]->Height();
    if (tw > rw) {
      thumbRect_ = Bounds(r.Left + 6, r.Top + 6, tw, th);
      rulerOrigin_ = Point(r.Left + 6 + (tw - rw) / 2, r.Top + 6);
    } else {
      thumbRect_ = Bounds(r.Left + 6 + (rw - tw) / 2, r.Top + 6, tw, th);
      rulerOrigin_ = Point(r.Left + 6, r.Top + 6);
    }
    pointsRect_ = Rect(r.Left + 7 + std::max(tw, rw), rulerOrigin_.Y, r.Right - r.Left - 1, rulerOrigin_.Y + rh);
  }
  // The value written again places the thumb.
  SetValue(value_);
  Invalidate();
}

int32_t TXcCustomSlider::PositionOfValue(int32_t value) {
  const TRect r = SliderRect();
  const int32_t base = Horizontal() ? r.Left + 6 : r.Top + 6;
  const int32_t length = TrackLength();
  // A slider too short for its thumb keeps every value at the start.
  if (length <= 0) return base;
  int32_t p = base + Round(static_cast<long double>(length) * (static_cast<long double>(value) - minValue_) /
                           (static_cast<long double>(maxValue_) - minValue_));
  if (!Horizontal()) p = r.Top + r.Bottom - p - images_[2]->Height();
  return std::max(p, base);
}

int32_t TXcCustomSlider::ValueAtPosition(int32_t position) {
  const TRect r = SliderRect();
  const int32_t length = TrackLength();
  if (length <= 0) return minValue_;
  if (!Horizontal()) position = ClientHeight() - position - images_[2]->Height();
  long double v = std::nearbyint(static_cast<long double>(position - r.Left - 6) *
                                 (static_cast<long double>(maxValue_) - minValue_) / length);
  if (!options_.Contains(soSmooth) && increment_ > 0) v = std::nearbyint(v / increment_) * increment_;
  const long double result = std::min<long double>(std::max<long double>(v, 0) + minValue_, maxValue_);
  return static_cast<int32_t>(result);
}

TPoint TXcCustomSlider::SnapPosition(int32_t position) {
  const TRect r = SliderRect();
  const int32_t base = Horizontal() ? r.Left + 6 : r.Top + 6;
  const int32_t end = base + std::max(TrackLength(), 0);
  int32_t p = std::clamp(position, base, end);
  p = std::min(PositionOfValue(ValueAtPosition(p)), end);
  return Horizontal() ? Point(p, thumbRect_.Top) : Point(thumbRect_.Left, p);
}

void TXcCustomSlider::MoveThumb(int32_t position) {
  const TPoint at = SnapPosition(position);
  if (HandleAllocated()) InvalidateRect(thumbRect_);
  thumbRect_ = Bounds(at.X, at.Y, thumbRect_.Width(), thumbRect_.Height());
  if (HandleAllocated()) InvalidateRect(thumbRect_);
  if (dragging_) {
    const int32_t v = ValueAtPosition(Horizontal() ? at.X : at.Y);
    if (v != value_) {
      value_ = v;
      Change();
    }
  }
}

// ---- properties

void TXcCustomSlider::SetValue(int32_t value) {
  value = std::clamp(value, minValue_, maxValue_);
  const bool changed = value != value_;
  value_ = value;
  MoveThumb(PositionOfValue(value));
  if (changed) Change();
}

void TXcCustomSlider::SetRange(int32_t minValue, int32_t maxValue) {
  if (!Reading() && minValue >= maxValue) return;
  if (minValue == minValue_ && maxValue == maxValue_) return;
  minValue_ = minValue;
  maxValue_ = maxValue;
  if (!Reading() && increment_ > static_cast<int64_t>(maxValue_) - minValue_) increment_ = maxValue_ - minValue_;
  if (options_.Contains(soShowPoints)) Invalidate();
  SetValue(value_);
  RangeChanged();
}

void TXcCustomSlider::SetIncrement(int32_t value) {
  const int64_t range = static_cast<int64_t>(maxValue_) - minValue_;
  if (!Reading() && (value < 1 || value > range))
    throw EXCLException(Format("Value must be between %d and %d", 1, static_cast<int>(range)));
  if (value == increment_) return;
  increment_ = value;
  SetValue(value_);
  Invalidate();
}

void TXcCustomSlider::SetOrientation(TSliderOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  LayoutChanged();
  if (!(ComponentState() & (csLoading | csUpdating))) SetBounds(Left(), Top(), Height(), Width());
}

void TXcCustomSlider::SetOptions(TSliderOptions value) {
  if (value == options_) return;
  options_ = value;
  Invalidate();
}

void TXcCustomSlider::SetEdgeSize(int32_t value) {
  TBitmap* image = images_[Horizontal() ? 1 : 3].get();
  const int32_t length = Horizontal() ? image->Width() : image->Height();
  if (value < 0 || 2 * value >= length || value == edgeSize_) return;
  edgeSize_ = value;
  LayoutChanged();
}

void TXcCustomSlider::SetNumThumbStates(uint8_t value) {
  value = std::clamp<uint8_t>(value, 1, 2);
  if (value == numThumbStates_) return;
  numThumbStates_ = value;
  RecalcLayout();
}

void TXcCustomSlider::SetBevelStyle(TBevelCut value) {
  if (value == bevelStyle_) return;
  bevelStyle_ = value;
  LayoutChanged();
  Update();
}

// ---- stepping

void TXcCustomSlider::StepTo(int32_t kind) {
  int64_t target = value_;
  const int64_t steps =
      increment_ > 0 ? static_cast<int64_t>(std::nearbyint(static_cast<double>(value_) / increment_)) : value_;
  switch (kind) {
    case 1: target = minValue_; break;
    case 2: target = maxValue_; break;
    case 3: target = steps * std::max(increment_, 1) + increment_; break;
    case 4: target = steps * std::max(increment_, 1) - increment_; break;
    default: return;
  }
  if (target >= maxValue_) target = maxValue_;
  if (target <= minValue_) target = minValue_;
  if (target != value_) SetValue(static_cast<int32_t>(target));
}

int32_t TXcCustomSlider::ThumbSideAt(int32_t x, int32_t y) {
  if (Horizontal()) {
    if (x < thumbRect_.Left) return 4;
    if (x >= thumbRect_.Right) return 3;
    return 0;
  }
  if (y < thumbRect_.Top) return 3;
  if (y >= thumbRect_.Bottom) return 4;
  return 0;
}

void TXcCustomSlider::TimerTick() {
  if (ThumbSideAt(hitPoint_.X, hitPoint_.Y) == hitSide_) StepTo(hitSide_);
  if (!timerRunning_ && HandleAllocated()) {
    SetTimer(Handle(), kRepeatTimer, kRepeatPause);
    timerRunning_ = true;
  }
}

void TXcCustomSlider::Change() {
  if (OnChange) OnChange(this);
}

void TXcCustomSlider::Changed() {
  if (OnChanged) OnChanged(this);
}

// ---- mouse and keys

void TXcCustomSlider::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || (shift & ssDouble)) return;
  if (CanFocus()) SetFocus();
  if (PointInRectInclusive(thumbRect_, Point(x, y))) {
    ThumbMouseDown(button, shift, x, y);
    return;
  }
  TRect around = RulerRect();
  if (Horizontal()) InflateRect(around, 0, 3);
  else InflateRect(around, 3, 0);
  if (PtInRect(around, Point(x, y)) && IsModifiable() && !readOnly_) {
    SetMouseCapture(true);
    tracking_ = true;
    hitPoint_ = Point(x, y);
    hitSide_ = ThumbSideAt(x, y);
    TimerTick();
  }
}

void TXcCustomSlider::MouseMove(TShiftState shift, int x, int y) {
  TXcExCustomControl::MouseMove(shift, x, y);
  if ((shift & ssLeft) && dragging_) ThumbMouseMove(shift, x, y);
  else if (tracking_) hitPoint_ = Point(x, y);
}

void TXcCustomSlider::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExCustomControl::MouseUp(button, shift, x, y);
  if (tracking_) {
    if (timerRunning_ && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
    timerRunning_ = false;
    tracking_ = false;
    SetMouseCapture(false);
    Changed();
  }
  if (dragging_) ThumbMouseUp(button, shift, x, y);
}

void TXcCustomSlider::ThumbMouseDown(TMouseButton button, TShiftState, int x, int y) {
  if (CanFocus()) SetFocus();
  if (button != mbLeft || !IsModifiable() || readOnly_) return;
  dragging_ = thumbPressed_ = true;
  dragOffset_ = Horizontal() ? x - thumbRect_.Left : y - thumbRect_.Top;
  if (HandleAllocated()) InvalidateRect(thumbRect_);
  Update();
}

void TXcCustomSlider::ThumbMouseMove(TShiftState shift, int x, int y) {
  if (!(shift & ssLeft) || !IsModifiable() || readOnly_) return;
  MoveThumb(Horizontal() ? x - dragOffset_ : y - dragOffset_);
}

void TXcCustomSlider::ThumbMouseUp(TMouseButton button, TShiftState, int, int) {
  if (button != mbLeft) return;
  dragging_ = thumbPressed_ = false;
  if (HandleAllocated()) InvalidateRect(thumbRect_);
  Update();
  if (IsModifiable() && !readOnly_) Changed();
}

void TXcCustomSlider::KeyDown(uint16_t& key, TShiftState shift) {
  int32_t kind = 0;
  if ((shift & (ssShift | ssCtrl | ssAlt)) == 0) {
    switch (key) {
      case VK_HOME: kind = 1; break;
      case VK_END: kind = 2; break;
      case VK_LEFT: kind = Horizontal() ? 4 : 0; break;
      case VK_RIGHT: kind = Horizontal() ? 3 : 0; break;
      case VK_UP: kind = Horizontal() ? 0 : 3; break;
      case VK_DOWN: kind = Horizontal() ? 0 : 4; break;
      default: break;
    }
  }
  if (kind != 0 && IsModifiable() && !readOnly_) {
    key = 0;
    StepTo(kind);
    Changed();
  }
  TXcExCustomControl::KeyDown(key, shift);
}

void TXcCustomSlider::WndProc(TMessage& m) {
  if (m.Msg == WM_TIMER && m.WParam == kRepeatTimer) {
    TimerTick();
    return;
  }
  if (m.Msg == WM_SETCURSOR && !(ComponentState() & csDesigning)) {
    const DWORD pos = GetMessagePos();
    const TPoint p = ScreenToClient(Point(GET_X_LPARAM(pos), GET_Y_LPARAM(pos)));
    if (PtInRect(thumbRect_, p)) {
      ::SetCursor(Screen->Cursors(kThumbCursor));
      m.Result = 1;
      return;
    }
  }
  TXcExCustomControl::WndProc(m);
}

void TXcCustomSlider::HandleBoundsChange() {
  if (!Reading() && !creating_) LayoutChanged();
  TXcExCustomControl::HandleBoundsChange();
}

void TXcCustomSlider::HandleDialogCodes(TDialogCodeSet& codes) {
  TXcExCustomControl::HandleDialogCodes(codes);
  codes.Include(dcsWantArrows);
  codes.Exclude(dcsNative);
}

void TXcCustomSlider::HandleFocusChange(TControl* control) {
  const bool focused = control == this;
  if (focused != focused_) {
    focused_ = focused;
    if (options_.Contains(soShowFocus)) Invalidate();
  }
  TXcExCustomControl::HandleFocusChange(control);
}

void TXcCustomSlider::HandleEnabledChange() {
  if (HandleAllocated()) InvalidateRect(thumbRect_);
  TXcExCustomControl::HandleEnabledChange();
}

// ---- painting

void TXcCustomSlider::DrawThumb(TCanvas* canvas, TPoint at, bool secondState) {
  TBitmap* image = images_[Horizontal() ? 0 : 2].get();
  if (image->Empty()) return;
  TRect source = Rect(0, 0, image->Width(), image->Height());
  if (numThumbStates_ == 2) {
    const int32_t half = image->Width() / 2;
    source = secondState ? Rect(half, 0, 2 * half, image->Height()) : Rect(0, 0, half, image->Height());
  }
  StretchBitmapMaskedRect(canvas, at.X, at.Y, source, image,
                          options_.Contains(soThumbOpaque) ? clNone : image->TransparentColor());
}

void TXcCustomSlider::DrawPoints(TCanvas* canvas, int32_t step, int32_t tick, int32_t endTick) {
  if (!canvas) return;
  const int32_t length = TrackLength();
  const int64_t range = static_cast<int64_t>(maxValue_) - minValue_;
  if (length <= 0 || range <= 0) return;
  step = std::max(step, 1);
  // The marks of every k steps: the smallest k whose marks lie at least 4 pixels apart or that
  // leaves one mark. The count falls as k grows, so k is searched by halving.
  auto countOf = [&](int64_t k) {
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(range) / (static_cast<double>(k) * step))) + 1;
  };
  auto fits = [&](int64_t k) {
    const int64_t count = countOf(k);
    return count <= 1 || length / (count - 1) >= 4;
  };
  int64_t lo = 1, hi = 1;
  while (!fits(hi)) hi *= 2;
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (fits(mid)) hi = mid;
    else lo = mid + 1;
  }
  const int64_t k = lo, count = countOf(k);
  canvas->Pen()->SetColor(clWindowText);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  const int32_t half = ThumbExtent() / 2;
  int64_t v = minValue_;
  for (int64_t i = 1; i <= count; ++i, v += k * step) {
    const int32_t value = i == count ? maxValue_ : static_cast<int32_t>(std::min<int64_t>(v, maxValue_));
    const int32_t len = value == minValue_ || value == maxValue_ ? endTick : tick;
    const int32_t at = PositionOfValue(value) + half;
    if (Horizontal()) {
      canvas->MoveTo(at, pointsRect_.Top);
      canvas->LineTo(at, pointsRect_.Top + len);
    } else {
      canvas->MoveTo(pointsRect_.Left, at);
      canvas->LineTo(pointsRect_.Left + len, at);
    }
  }
}

void TXcCustomSlider::DrawDefaultPoints(int32_t step, int32_t tick, int32_t endTick) {
  DrawPoints(Canvas(), step, tick, endTick);
}

bool TXcCustomSlider::HandleEraseBackground(TCanvas*, LPARAM) { return true; }

// The ruler, the ticks and the thumb change far less often than the slider is painted. They are
// drawn once into a 32-bit picture over the ruler's transparent colour and copied with that colour
// as the key: the pixels are those the three drawings give, as long as none of them writes the key
// colour. So the picture is used only where the ruler and the thumb are masked by that very colour
// and the ticks are drawn in another, and not under a focus rectangle (drawn between ruler and ticks
// by inverting) or ticks drawn by OnDrawPoints.
bool TXcCustomSlider::PaintLayer(TCanvas* canvas, TPoint thumbAt, bool secondState) {
  if (options_.Contains(soRulerOpaque) || options_.Contains(soThumbOpaque) || OnDrawPoints) return false;
  if (canvas->Pen()->Mode() != pmCopy || canvas->CopyMode() != cmSrcCopy) return false;
  // The pictures' transparent colours, asked again only after a picture changed.
  if (!layerColours_.known || layerColours_.pictures != pictures_) {
    TBitmap* thumb = images_[Horizontal() ? 0 : 2].get();
    LayerColours& lc = layerColours_;
    lc = LayerColours{};
    lc.known = true;
    lc.pictures = pictures_;
    lc.usable = ruler_->Width() > 0 && ruler_->Height() > 0 && !thumb->Empty() && !ruler_->Monochrome() &&
                !thumb->Monochrome();
    if (lc.usable) {
      lc.key = ColorToRGB(ruler_->TransparentColor()) & 0xFFFFFF;
      lc.usable = (ColorToRGB(thumb->TransparentColor()) & 0xFFFFFF) == lc.key;
    }
  }
  if (!layerColours_.usable) return false;
  LayerKey key;
  key.key = layerColours_.key;
  key.points = options_.Contains(soShowPoints);
  key.ticks = ColorToRGB(clWindowText) & 0xFFFFFF;
  if (key.points && key.ticks == key.key) return false;
  key.pictures = pictures_;
  key.thumbAt = thumbAt;
  key.secondState = secondState;
  key.horizontal = Horizontal();
  key.states = numThumbStates_;
  key.minValue = minValue_;
  key.maxValue = maxValue_;
  key.increment = increment_;
  key.client = ClientRect();
  const int32_t w = key.client.Width(), h = key.client.Height();
  if (w <= 0 || h <= 0) return true;
  if (!layer_ || !(key == layerKey_)) {
    if (!layer_) layer_ = std::make_unique<TBitmap>();
    layer_->SetPixelFormat(pf32bit);
    layer_->SetSize(w, h);
    TCanvas* lc = layer_->Canvas();
    lc->Brush()->SetColor(static_cast<TColor>(key.key));
    lc->FillRect(Rect(0, 0, w, h));
    DrawBitmapMasked(lc, rulerOrigin_.X, rulerOrigin_.Y, ruler_.get(), ruler_->TransparentColor());
    if (key.points) DrawPoints(lc, increment_, 3, 5);
    DrawThumb(lc, thumbAt, secondState);
    // Only the rectangle round what was drawn is copied at each paint.
    layerBox_ = Rect(w, h, 0, 0);
    for (int32_t y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(layer_->ScanLine(y));
      for (int32_t x = 0; x < w; ++x)
        if ((row[x] & 0xFFFFFF) != key.key) {
          layerBox_.Left = std::min(layerBox_.Left, x);
          layerBox_.Right = std::max(layerBox_.Right, x + 1);
          layerBox_.Top = std::min(layerBox_.Top, y);
          layerBox_.Bottom = std::max(layerBox_.Bottom, y + 1);
        }
    }
    layerKey_ = key;
  }
  HDC dc = canvas->Handle();
  SetStretchBltMode(dc, COLORONCOLOR);
  if (layerBox_.Right > layerBox_.Left && layerBox_.Bottom > layerBox_.Top)
    TransparentBlt(dc, layerBox_.Left, layerBox_.Top, layerBox_.Width(), layerBox_.Height(), layer_->Canvas()->Handle(),
                   layerBox_.Left, layerBox_.Top, layerBox_.Width(), layerBox_.Height(), key.key);
  return true;
}

void TXcCustomSlider::Paint() {
  TCanvas* c = Canvas();
  const bool copy = (ControlState() & csPaintCopy) != 0;
  TPoint thumbAt = Point(thumbRect_.Left, thumbRect_.Top);
  if (copy) {
    const int32_t p = PositionOfValue(SliderValue());
    thumbAt = SnapPosition(p);
  }
  TRect r = ClientRect();
  if (bevelStyle_ != bvNone) {
    const bool lowered = bevelStyle_ == bvLowered;
    Frame3D(c, r, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow, bevelWidth_);
  }
  FillThemedBackground(this, c, r, Color());
  const bool secondState = (copy && !Enabled()) || thumbPressed_ || !Enabled();
  const bool focusShown = options_.Contains(soShowFocus) && focused_ && !(ComponentState() & csDesigning);
  if (!focusShown && PaintLayer(c, thumbAt, secondState)) return;
  if (ruler_->Width() > 0)
    DrawBitmapMasked(c, rulerOrigin_.X, rulerOrigin_.Y, ruler_.get(),
                     options_.Contains(soRulerOpaque) ? clNone : ruler_->TransparentColor());
  if (focusShown) {
    TRect focus = SliderRect();
    InflateRect(focus, -2, -2);
    c->DrawFocusRect(focus);
  }
  if (options_.Contains(soShowPoints)) {
    if (OnDrawPoints) OnDrawPoints(this);
    else DrawPoints(c, increment_, 3, 5);
  }
  DrawThumb(c, thumbAt, secondState);
}
