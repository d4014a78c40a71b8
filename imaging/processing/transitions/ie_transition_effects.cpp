#include "imaging/processing/transitions/ie_transition_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_int_math.h"
#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_transition_builtins.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/ticks.h"
#include "platform/ui/controls.h"
#include "platform/ui/timers.h"

namespace {

std::unique_ptr<TBitmap> NewFrame() {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(1, 1);
  return b;
}

// Clears a flag when the tick that set it leaves, unless the engine went away meanwhile.
class TTickGuard {
 public:
  TTickGuard(std::shared_ptr<bool> Alive, bool& Flag) : alive_(std::move(Alive)), flag_(Flag) { flag_ = true; }
  ~TTickGuard() {
    if (*alive_) flag_ = false;
  }
  TTickGuard(const TTickGuard&) = delete;
  TTickGuard& operator=(const TTickGuard&) = delete;

 private:
  std::shared_ptr<bool> alive_;
  bool& flag_;
};

}  // namespace

TIETransitionEffects::TIETransitionEffects(TIEViewLink* Owner)
    : owner_(Owner),
      start_(NewFrame()),
      end_(NewFrame()),
      current_(NewFrame()),
      alive_(std::make_shared<bool>(true)) {
  // A timer starts as soon as a setter runs while it is enabled, which it is when made.
  timer_ = std::make_unique<TTimer>(nullptr);
  timer_->SetEnabled(false);
  timer_->SetInterval(1);
  timer_->SetOnTimer([this](TObject*) { TransitionTick(); });
}

TIETransitionEffects::~TIETransitionEffects() {
  *alive_ = false;
  timer_->SetEnabled(false);
  timer_.reset();
}

TObject* TIETransitionEffects::Sender() const { return owner_ ? owner_->ViewControl() : nullptr; }

void TIETransitionEffects::SetClock(std::function<uint32_t()> Clock) { clock_ = std::move(Clock); }

uint32_t TIETransitionEffects::Now() const { return clock_ ? clock_() : GetTickCount(); }

int32_t TIETransitionEffects::StepPercent(int32_t Step) {
  const double s = std::clamp(Step, 0, 1024);
  return static_cast<int32_t>(std::nearbyint(s / 1024 * 100));
}

void TIETransitionEffects::FitKeepingAspect(int32_t SourceWidth, int32_t SourceHeight, int32_t FrameWidth,
                                            int32_t FrameHeight, int32_t& Width, int32_t& Height, int32_t& X,
                                            int32_t& Y) {
  Width = Height = X = Y = 0;
  if (SourceWidth <= 0 || SourceHeight <= 0 || FrameWidth <= 0 || FrameHeight <= 0) return;
  const double w = SourceWidth, h = SourceHeight, fw = FrameWidth, fh = FrameHeight;
  const double scale = (w / fw > h / fh) ? fw / w : fh / h;
  const double width = std::nearbyint(w * scale), height = std::nearbyint(h * scale);
  Width = static_cast<int32_t>(width);
  Height = static_cast<int32_t>(height);
  X = static_cast<int32_t>(std::trunc(fw / 2 - width / 2));
  Y = static_cast<int32_t>(std::trunc(fh / 2 - height / 2));
}

bool TIETransitionEffects::FramesReady() const {
  if (width_ < 1 || height_ < 1) return false;
  for (const TBitmap* b : {start_.get(), end_.get(), current_.get()})
    if (b->Empty() || b->Width() != width_ || b->Height() != height_ || b->PixelFormat() != pf24bit) return false;
  return true;
}

bool TIETransitionEffects::EnsureRows() {
  if (!FramesReady()) return false;
  const size_t rows = static_cast<size_t>(height_);
  if (currentRows_.size() == rows && startRows_[0] == start_->ScanLine(0) && endRows_[0] == end_->ScanLine(0) &&
      currentRows_[0] == current_->ScanLine(0))
    return true;
  try {
    startRows_.resize(rows);
    endRows_.resize(rows);
    currentRows_.resize(rows);
  } catch (...) {
    DropRows();
    return false;
  }
  for (int32_t y = 0; y < height_; ++y) {
    startRows_[y] = start_->ScanLine(y);
    endRows_[y] = end_->ScanLine(y);
    currentRows_[y] = current_->ScanLine(y);
  }
  return true;
}

void TIETransitionEffects::DropRows() {
  std::vector<uint8_t*>().swap(startRows_);
  std::vector<uint8_t*>().swap(endRows_);
  std::vector<uint8_t*>().swap(currentRows_);
}

void TIETransitionEffects::ShrinkFrames() {
  DropRows();
  try {
    current_->SetSize(1, 1);
    start_->SetSize(1, 1);
    end_->SetSize(1, 1);
  } catch (...) {
    // Shrinking frees memory; a failure here leaves frames that FramesReady refuses.
  }
}

void TIETransitionEffects::SetTransitionSize(int32_t Width, int32_t Height) {
  StopTransition();
  DropRows();
  if (Width < 0 || Height < 0) {
    ShrinkFrames();
    width_ = height_ = 1;
    return;
  }
  try {
    current_->SetSize(Width, Height);
    start_->SetSize(Width, Height);
    end_->SetSize(Width, Height);
    width_ = Width;
    height_ = Height;
  } catch (...) {
    ShrinkFrames();
    width_ = height_ = 1;
  }
}

void TIETransitionEffects::StartTransition(bool UpdateOnStop) {
  if (effect_ == iettNone) return;
  if (running_ && owner_) owner_->UnlockPaintNoUpdate();
  updateOnStop_ = UpdateOnStop;
  running_ = true;
  step_ = 0;
  revealedCount_ = 0;
  ++runSerial_;
  const bool goesAhead = owner_ && (width_ >= 2 || height_ >= 2) && EnsureRows();
  if (!goesAhead) {
    running_ = false;
    timer_->SetEnabled(false);
    DropRows();
    return;
  }
  owner_->LockPaint();
  runEffect_ = effect_;
  startTick_ = Now();
  timer_->SetEnabled(true);
}

void TIETransitionEffects::StopTransition() {
  if (!running_) return;
  timer_->SetEnabled(false);
  running_ = false;
  ++runSerial_;
  ShrinkFrames();
  owner_->UnlockPaintNoUpdate();
  if (updateOnStop_) owner_->Update();
  if (OnTransitionStop) OnTransitionStop(Sender());
}

void TIETransitionEffects::TransitionTick() {
  if (!running_ || inTick_) return;
  const std::shared_ptr<bool> alive = alive_;
  const TTickGuard guard(alive, inTick_);
  const uint64_t run = runSerial_;
  // After every event: does this engine still run the same run?
  auto sameRun = [&] { return *alive && running_ && runSerial_ == run; };

  if (OnTransitionStep) {
    OnTransitionStep(Sender(), step_);
    if (!sameRun()) return;
  }
  DrawFrame(runEffect_, step_);
  Present(current_.get());
  if (OnTransitionPaint) {
    OnTransitionPaint(Sender(), current_.get(), this, step_);
    if (!sameRun()) return;
  }
  const uint32_t elapsed = Now() - startTick_;
  if (elapsed >= duration_) {
    if (updateOnStop_ && runEffect_ != iettPanZoom) {
      Present(end_.get());
      if (OnTransitionPaint) {
        OnTransitionPaint(Sender(), end_.get(), this, 1024);
        if (!sameRun()) return;
      }
    }
    StopTransition();
    return;
  }
  const double next = std::trunc(static_cast<double>(elapsed) / duration_ * 1024);
  step_ = static_cast<int32_t>(std::min(next, 1024.0));
}

void TIETransitionEffects::DrawStep(int32_t Step) {
  DrawFrame(running_ ? runEffect_ : effect_, std::clamp(Step, 0, 1024));
}

void TIETransitionEffects::DrawFrame(int32_t Effect, int32_t Step) {
  if (Effect < 1 || Effect > kEffectCount || !EnsureRows()) return;
  try {
    if (Effect <= 30) {
      TTransitionFrames f;
      f.Start = startRows_.data();
      f.End = endRows_.data();
      f.Current = currentRows_.data();
      f.Width = width_;
      f.Height = height_;
      f.StartBitmap = start_.get();
      f.EndBitmap = end_.get();
      f.CurrentBitmap = current_.get();
      const COLORREF bg = ColorToRGB(BackgroundColor());
      f.Background[0] = GetBValue(bg);
      f.Background[1] = GetGValue(bg);
      f.Background[2] = GetRValue(bg);
      SetStretchBltMode(current_->Canvas()->Handle(), HALFTONE);
      DrawBuiltinEffect(f, Effect, Step, revealedCount_);
    } else if (Effect == iettPanZoom) {
      DrawPanZoom(Step);
    } else {
      DrawTableEffect(Effect, Step);
    }
  } catch (...) {
    // A frame that cannot be drawn ends there; the next tick draws the next one.
  }
}

void TIETransitionEffects::DrawTableEffect(int32_t Effect, int32_t Step) {
  if (Step == 0) {
    // The pixels are copied: the row tables point into the frame's own pixel block.
    const size_t bytes = static_cast<size_t>(width_) * 3;
    for (int32_t y = 0; y < height_; ++y) std::memcpy(currentRows_[y], startRows_[y], bytes);
    return;
  }
  const TEffect* row = EffectRow(Effect);
  if (!row || !row->Proc) return;
  TCanvas* canvas = current_->Canvas();
  SetStretchBltMode(canvas->Handle(), HALFTONE);
  row->Proc(canvas, start_.get(), end_.get(), Rect(0, 0, width_, height_), 1, StepPercent(Step));
}

TColor TIETransitionEffects::BackgroundColor() const { return owner_ ? owner_->Background() : clBlack; }

void TIETransitionEffects::Present(TBitmap* Bitmap) {
  if (!owner_) return;
  try {
    TCanvas* canvas = owner_->GetCanvas();
    if (!canvas) return;
    BitBlt(canvas->Handle(), 0, 0, width_, height_, Bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
  } catch (...) {
    // As a frame that cannot be drawn: the next tick shows the next one.
  }
}

void TIETransitionEffects::DrawPanZoom(int32_t Step) {
  if (!sourceImage_ || sourceImage_->IsEmpty()) return;
  // Each side of the shown part moves from PanZoomStart to PanZoomEnd with the step.
  const double p = Step;
  auto side = [p](int32_t from, int32_t to) {
    return static_cast<int64_t>(SaturateToInt(std::trunc(from - p * ((static_cast<double>(from) - to) / 1024))));
  };
  int64_t x = side(panZoomStart_.Left, panZoomEnd_.Left), y = side(panZoomStart_.Top, panZoomEnd_.Top);
  int64_t w = side(panZoomStart_.Right, panZoomEnd_.Right) - x, h = side(panZoomStart_.Bottom, panZoomEnd_.Bottom) - y;
  // Cut to the image on every side; what was cut is shown in the image's proportions instead of
  // stretched over the frame.
  const int64_t imageW = sourceImage_->Width(), imageH = sourceImage_->Height();
  bool clipped = false;
  if (x < 0) {
    w += x;
    x = 0;
    clipped = true;
  }
  if (y < 0) {
    h += y;
    y = 0;
    clipped = true;
  }
  if (w > imageW - x) {
    w = imageW - x;
    clipped = true;
  }
  if (h > imageH - y) {
    h = imageH - y;
    clipped = true;
  }
  int32_t dx = 0, dy = 0, dw = width_, dh = height_;
  TCanvas* canvas = current_->Canvas();
  if (clipped) {
    FitKeepingAspect(static_cast<int32_t>(std::clamp<int64_t>(w, INT32_MIN, INT32_MAX)),
                     static_cast<int32_t>(std::clamp<int64_t>(h, INT32_MIN, INT32_MAX)), width_, height_, dw, dh, dx,
                     dy);
    if (owner_ && IsImageViewKind(owner_->ViewKind())) {
      owner_->PaintBackgroundTo(canvas);
    } else {
      canvas->Brush()->SetColor(BackgroundColor());
      canvas->FillRect(Rect(0, 0, width_, height_));
    }
  }
  if (w <= 0 || h <= 0) return;
  sourceImage_->RenderToTBitmap(current_.get(), dx, dy, dw, dh, static_cast<int32_t>(x), static_cast<int32_t>(y),
                                static_cast<int32_t>(w), static_cast<int32_t>(h), 255, rfNone, 0);
}
