#include "controls/xc_progress_bars.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_xp_core_utils.h"
#include "platform/system/mul_div.h"
#include "platform/ui/forms.h"
#include "platform/ui/system_metrics.h"

// -------------------------------------------------------------------------------- TXcBaseProgressBar

TXcBaseProgressBar::TXcBaseProgressBar(TComponent* owner) : TXcExGraphicControl(owner) {
  SetControlStyle(ControlStyle() | csOpaque);
  SetBounds(Left(), Top(), 150, GetSystemMetrics(SM_CYVSCROLL));
}

void TXcBaseProgressBar::SetMin(int32_t value) {
  if (value > max_) value = max_;
  if (position_ < value) position_ = value;
  if (value == min_) return;
  min_ = value;
  Change();
  Invalidate();
}

void TXcBaseProgressBar::SetMax(int32_t value) {
  if (value < min_) value = min_;
  if (position_ > value) position_ = value;
  if (value == max_) return;
  max_ = value;
  Change();
  Invalidate();
}

void TXcBaseProgressBar::SetPosition(int32_t value) {
  value = std::clamp(value, min_, max_);
  if (value == position_) return;
  position_ = value;
  Change();
  Invalidate();
}

void TXcBaseProgressBar::SetOrientation(TProgressBarOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  if (!(ComponentState() & csLoading)) SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TXcBaseProgressBar::SetSmooth(bool value) {
  if (value == smooth_) return;
  smooth_ = value;
  Invalidate();
}

void TXcBaseProgressBar::SetBarColor(TColor value) {
  if (value == barColor_) return;
  barColor_ = value;
  Invalidate();
}

void TXcBaseProgressBar::SetBlockSize(int32_t value) {
  if (value == blockSize_) return;
  blockSize_ = value;
  Invalidate();
}

void TXcBaseProgressBar::SetStep(int32_t value) { step_ = value <= 0 ? 1 : value; }

void TXcBaseProgressBar::StepIt() { StepBy(step_); }

void TXcBaseProgressBar::StepBy(int32_t amount) {
  const int64_t p = static_cast<int64_t>(position_) + amount;
  SetPosition(static_cast<int32_t>(std::clamp<int64_t>(p, min_, max_)));
}

void TXcBaseProgressBar::Change() {
  if (OnChange) OnChange(this);
}

int32_t TXcBaseProgressBar::GetMaxExtent() { return orientation_ == pbHorizontal ? Width() : Height(); }

int32_t TXcBaseProgressBar::FilledLength() {
  const int64_t range = static_cast<int64_t>(max_) - min_, done = static_cast<int64_t>(position_) - min_;
  if (range < 1) return 0;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (range <= kMax && done <= kMax) return MulDiv(GetMaxExtent(), static_cast<int32_t>(done), static_cast<int32_t>(range));
  // A range wider than 32 bits: the same rounding on a scaled ratio.
  return static_cast<int32_t>(std::lround(static_cast<long double>(GetMaxExtent()) * done / range));
}

void TXcBaseProgressBar::Paint() {
  if (static_cast<int64_t>(max_) - min_ < 1 || Width() <= 0 || Height() <= 0) return;
  DrawBar(Canvas(), FilledLength());
}

void TXcBaseProgressBar::DrawBar(TCanvas* canvas, int32_t length) {
  const int32_t w = Width(), h = Height();
  TRect r = Rect(0, 0, w, h);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  DrawEdge(canvas->Handle(), &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  if (length <= 0) return;
  canvas->Brush()->SetColor(barColor_);
  const int32_t step = std::max(1, step_);
  if (orientation_ == pbVertical) {
    if (smooth_) {
      r.Top = std::max(2, r.Bottom - length);
      InflateRect(r, -1, -1);
      if (!IsRectEmpty(r)) canvas->FillRect(r);
      return;
    }
    // Blocks of Step pixels from the bottom up, two pixels apart, no nearer the top than 3.
    int32_t bottom = r.Bottom - 1, used = 0;
    while (used < length && bottom > 3) {
      const int32_t top = std::max(3, bottom - step);
      canvas->FillRect(Rect(r.Left + 1, top, r.Right - 1, bottom));
      bottom = top - 2;
      used += step + 2;
    }
    return;
  }
  if (smooth_) {
    r.Right = std::min(r.Left + length, w - 2);
    InflateRect(r, -1, -1);
    if (!IsRectEmpty(r)) canvas->FillRect(r);
    return;
  }
  int32_t left = r.Left + 1, used = 0;
  while (used < length && left < w - 3) {
    const int32_t right = std::min(left + step, w - 3);
    canvas->FillRect(Rect(left, r.Top + 1, right, r.Bottom - 1));
    left = right + 2;
    used += step + 2;
  }
}

// ------------------------------------------------------------------------ TXcBaseGradientProgressBar

TXcBaseGradientProgressBar::TXcBaseGradientProgressBar(TComponent* owner) : TXcBaseProgressBar(owner) {}

void TXcBaseGradientProgressBar::SetBarColorFrom(TColor value) {
  if (value == barColorFrom_) return;
  barColorFrom_ = value;
  Invalidate();
}

void TXcBaseGradientProgressBar::SetBarColorTo(TColor value) {
  if (value == barColorTo_) return;
  barColorTo_ = value;
  Invalidate();
}

// ---------------------------------------------------------------------------- TXcCustomXPProgressBar

namespace {

constexpr TColor kKey = TColorOf(0x00FF00FF);

// The trough's lines, end points left out, later ones over earlier ones. Coordinates count from the
// left or top (from) or from the right or bottom edge (W - n, H - n stored as -n).
struct TroughLine {
  int32_t x1, y1, x2, y2;
  TColor color;
};
constexpr int32_t E = 1 << 20;  // marks "size minus" in the table below
constexpr TroughLine kTrough[] = {
    {0, 1, 0, E - 1, kXPTroughOuter},         {0, 2, 0, E - 2, kXPTroughDark},
    {E - 1, 1, E - 1, E - 1, kXPTroughOuter}, {E - 1, 2, E - 1, E - 2, kXPTroughDark},
    {1, 0, 1, E, kXPTroughOuter},             {1, 1, 1, E - 1, kXPTroughDark},
    {1, 2, 1, E - 2, kXPTroughOuter},         {E - 2, 0, E - 2, E, kXPTroughOuter},
    {E - 2, 1, E - 2, E - 1, kXPTroughDark},  {E - 2, 2, E - 2, E - 2, kXPTroughOuter},
    {2, 0, 2, E, kXPTroughDark},              {2, 1, 2, E - 1, kXPTroughOuter},
    {2, 3, 2, E - 1, kXPTroughLight},         {E - 3, 0, E - 3, E, kXPTroughDark},
    {E - 3, 1, E - 3, E - 1, kXPTroughOuter}, {E - 3, 3, E - 3, E - 1, kXPTroughLight},
    {3, 0, E - 3, 0, kXPTroughDark},          {3, 1, E - 3, 1, kXPTroughOuter},
    {3, 2, E - 3, 2, kXPTroughLight},         {3, E - 1, E - 2, E - 1, kXPTroughDark},
    {3, E - 2, E - 3, E - 2, kXPTroughLight},
};

int32_t Resolve(int32_t v, int32_t size) { return v >= E / 2 ? size - (E - v) : v; }

}  // namespace

TXcCustomXPProgressBar::TXcCustomXPProgressBar(TComponent* owner) : TXcBaseGradientProgressBar(owner) {
  SetStep(7);
  SetParentColor(false);
  SetColor(clWindow);
}

void TXcCustomXPProgressBar::DrawBlock(TCanvas* canvas, const TRect& b) {
  if (Orientation() == pbHorizontal) {
    const int32_t mid = b.Top + (b.Bottom - b.Top) / 2;
    FillGradientBands(canvas, Rect(b.Left, b.Top, b.Right, mid), BarColorTo(), BarColorFrom(), 0, 255);
    FillGradientBands(canvas, Rect(b.Left, mid, b.Right, b.Bottom), BarColorFrom(), BarColorTo(), 0, 255);
  } else {
    const int32_t mid = b.Left + (b.Right - b.Left) / 2;
    FillGradientBands(canvas, Rect(b.Left, b.Top, mid, b.Bottom), BarColorTo(), BarColorFrom(), 2, 255);
    FillGradientBands(canvas, Rect(mid, b.Top, b.Right, b.Bottom), BarColorFrom(), BarColorTo(), 2, 255);
  }
}

void TXcCustomXPProgressBar::DrawBar(TCanvas* canvas, int32_t length) {
  const int32_t w = Width(), h = Height();
  if (buffer_.Width() != w || buffer_.Height() != h) buffer_.SetSize(w, h);
  TCanvas* c = buffer_.Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(kKey);
  c->FillRect(Rect(0, 0, w, h));
  c->Brush()->SetColor(Color());
  c->FillRect(Rect(3, 2, w - 3, h - 2));
  for (const TroughLine& l : kTrough) {
    c->Pen()->SetColor(l.color);
    DrawLine(c, Resolve(l.x1, w), Resolve(l.y1, h), Resolve(l.x2, w), Resolve(l.y2, h));
  }
  // Blocks P pixels apart; a block size of 2 or less still moves a pixel at a time.
  const int32_t p = std::max(1, BlockSize() - 2);
  if (Orientation() == pbHorizontal) {
    if (Smooth()) {
      TRect b = Rect(4, 3, length + 2, h - 3);
      b.Right = std::min(b.Right, w - 3);
      if (!IsRectEmpty(b)) DrawBlock(c, b);
    } else {
      TRect b = Rect(4, 3, p + 2, h - 3);
      for (int32_t left = length; left > 2; left -= p) {
        TRect block = b;
        block.Right = std::min(block.Right, w - 3);
        if (!IsRectEmpty(block)) DrawBlock(c, block);
        OffsetRect(b, p, 0);
      }
    }
  } else {
    if (Smooth()) {
      TRect b = Rect(3, 2, w - 3, h - 2);
      b.Top = std::max(3, b.Bottom - length);
      InflateRect(b, -1, -1);
      if (!IsRectEmpty(b)) DrawBlock(c, b);
    } else {
      TRect b = Rect(3, h - p - 1, w - 3, h - 3);
      for (int32_t left = length; left > 2; left -= p) {
        TRect block = b;
        block.Top = std::max(block.Top, 3);
        if (!IsRectEmpty(block)) DrawBlock(c, block);
        OffsetRect(b, 0, -p);
      }
    }
  }
  // Onto the control, the corners in the colour of what lies around it.
  TColor around = clBtnFace;
  if (Parent()) around = Parent()->Color();
  else if (TCustomForm* form = GetParentForm(this)) around = form->Color();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(around);
  canvas->BrushCopy(Rect(0, 0, w, h), &buffer_, Rect(0, 0, w, h), kKey);
}
