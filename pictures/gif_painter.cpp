#include "pictures/gif_painter.h"

#include <algorithm>
#include <cmath>

#include "pictures/gif_errors.h"
#include "pictures/gif_image.h"
#include "pictures/gif_painter_clock.h"
#include "pictures/gif_palettes.h"
#include "platform/system/debug_log.h"
#include "platform/ui/forms.h"

namespace {

thread_local int32_t t_painterCalls = 0;

std::unique_ptr<TBitmap> CopyOfCanvas(TCanvas* canvas, const TRect& rect, TColor brush) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(rect.Width(), rect.Height());
  bitmap->Canvas()->Brush()->SetColor(brush);
  bitmap->Canvas()->SetCopyMode(cmSrcCopy);
  if (canvas) bitmap->Canvas()->CopyRect(TRect{0, 0, rect.Width(), rect.Height()}, canvas, rect);
  return bitmap;
}

bool IsDeviceContext(HDC dc) {
  const uint32_t kind = GetObjectType(dc);
  return kind == OBJ_DC || kind == OBJ_MEMDC;
}

}  // namespace

bool InGIFPainterCall() { return t_painterCalls > 0; }

// What the user-interface thread found out about the frame being shown.
struct TGIFPainter::TFrameStep {
  int32_t frame = 0;
  bool shown = false;      // the frame was there and not empty
  int32_t disposal = 1;
  int32_t delay = 0;       // hundredths of a second, 0 for none
};

TGIFPainter::TGIFPainter(TGIFImage* Image, TGIFPaintFlags Flags, const TRect& Rect, TCanvas* Canvas,
                         TGIFPainter** Slot)
    : TThread(true), image_(Image), canvas_(Canvas), rect_(Rect), flags_(Flags),
      animationRate_(Image->AnimationRate()), slot_(Slot), clock_(GIFPainterClock()) {
  if (slot_) *slot_ = this;
  if ((flags_ & gpfThreaded) && (flags_ & gpfAnimated) && Image->Images()->Count() > 1 && animationRate_ >= 0)
    event_ = std::make_unique<TEvent>(false, false);
  if (Image->PaintBackground() != clNone)
    backgroundColor_ = static_cast<TColor>(ColorToRGB(Image->PaintBackground()));
  else if (Image->GlobalColorMap()->Count() == 0)
    backgroundColor_ = static_cast<TColor>(ColorToRGB(clWindow));
  else
    backgroundColor_ = Image->BackgroundColor();
  // The disposals the frames use decide which pictures the painter keeps.
  uint32_t disposals = 0;
  TGIFImageList* frames = Image->Images();
  for (int32_t i = 0; i < frames->Count(); ++i)
    if (TGIFGraphicControlExtension* gce = frames->Items(i)->GraphicControlExtension())
      disposals |= 1u << gce->Disposal();
  if (flags_ & gpfClearOnRestart) disposals |= 1u << 2;
  if ((disposals & (1u << 2)) && (flags_ & gpfTransparent))
    background_ = CopyOfCanvas(canvas_, rect_, backgroundColor_);
  if (disposals & ((1u << 2) | (1u << 3))) {
    savedArea_ = CopyOfCanvas(canvas_, rect_, backgroundColor_);
    frameBuffer_ = CopyOfCanvas(nullptr, rect_, backgroundColor_);
  }
}

TGIFPainter::~TGIFPainter() = default;

void TGIFPainter::StartPainting() {
  SetFreeOnTerminate(true);
  Start();
}

void TGIFPainter::Stop() {
  Terminate();
  if (event_) event_->SetEvent();
  SetPriority(tpNormal);
  // A painter that was never started still has to end (and leave the image).
  if (Threaded() && Suspended()) StartPainting();
}

void TGIFPainter::Restart() {
  restart_ = true;
  if (event_) event_->SetEvent();
}

void TGIFPainter::LetGo() {
  if (!image_) return;
  if (slot_ && *slot_ == this) *slot_ = nullptr;
  std::vector<TGIFPainter*>& list = image_->painters_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  image_ = nullptr;
  Terminate();
  if (event_) event_->SetEvent();
}

void TGIFPainter::Detach() {
  if (TGIFImage* image = image_) {
    std::lock_guard<TCriticalSection> lock(image->PainterLock());
    LetGo();
  }
  savedArea_.reset();
  frameBuffer_.reset();
  background_.reset();
  if (failure_) {
    try {
      std::rethrow_exception(failure_);
    } catch (const std::exception& e) {
      OutputDebugString(std::string("GIF painter ended: ") + e.what());
    } catch (...) {
    }
  }
}

void TGIFPainter::Execute() { Play(); }

void TGIFPainter::DoTerminate() {
  Synchronize([this] { Detach(); });
}

void TGIFPainter::Run() {
  Play();
  Detach();
}

bool TGIFPainter::Sync(const std::function<void()>& Call) {
  if (Terminated()) return false;
  bool ran = false;
  const auto body = [&] {
    // Stopping may have come while the call waited to run; the image may have let go meanwhile.
    if (Terminated() || !image_) return;
    ran = true;
    ++t_painterCalls;
    struct Leave {
      ~Leave() { --t_painterCalls; }
    } leave;
    Call();
  };
  if (Threaded())
    Synchronize(body);
  else
    body();
  return ran;
}

void TGIFPainter::Fire(const TNotifyEvent& Event) {
  if (Event) Sync([&] { Event(this); });
}

bool TGIFPainter::WaitUnthreaded(int64_t Milliseconds) {
  // Short sleeps, between which the thread's messages run (a paint among them finds the image
  // drawing and does nothing).
  int64_t left = std::max<int64_t>(Milliseconds, 1);
  while (left > 0 && !Terminated() && !restart_) {
    const uint32_t step = static_cast<uint32_t>(std::min<int64_t>(left, 100));
    const uint32_t start = clock_.Now();
    clock_.Sleep(step);
    Application->ProcessMessages();
    if (Application->Terminated()) Terminate();
    const int64_t passed = static_cast<int32_t>(clock_.Now() - start);
    left -= passed > 0 ? passed : step;
  }
  return !Terminated();
}

void TGIFPainter::Play() {
  try {
    if (flags_ & gpfCheckCanvas) Sync([&] { dc_ = canvas_->Handle(); });
    restart_ = true;
    while (restart_ && !Terminated()) {
      activeImage_ = 0;
      Fire(OnPaintBegin);
      started_ = false;
      restart_ = false;
      int32_t loopsLeft = 1;
      int32_t loopStart = 0;
      bool loopSeen = false;
      int64_t wait = Threaded() ? 0 : 1;  // units of delay before the next frame
      int32_t previousDisposal = 1;
      uint32_t reference = clock_.Now();
      int64_t lag = 0;
      while ((loopsLeft != 0 || (flags_ & gpfRepeatForever)) && !Terminated() && !restart_) {
        activeImage_ = loopStart;
        if (started_) Fire(OnRepeat);
        do {
          if (Terminated() || restart_) break;
          TFrameStep step;
          step.frame = activeImage_;
          bool present = false;
          Sync([&] {
            TGIFImageList* frames = image_->Images();
            present = step.frame >= 0 && step.frame < frames->Count() && !frames->Items(step.frame)->Empty();
          });
          if (!present) break;
          // The wait before this frame: its predecessor's delay less the time drawing took.
          if (wait < 1) {
            clock_.Sleep(0);
          } else {
            Sync([&] {
              TGIFImageList* frames = image_->Images();
              if (step.frame < frames->Count()) frames->Items(step.frame)->Bitmap();
            });
            const uint32_t now = clock_.Now();
            if (animationRate_ < 1) {
              wait = Threaded() ? int64_t{INFINITE} : int64_t{GIFLongestDelay} * GIFFrameDelayScale;
            } else {
              const int64_t late = static_cast<int32_t>(now - (reference + static_cast<uint32_t>(lag)));
              const double ms = static_cast<double>(wait * GIFFrameDelayScale - late / 2) * 100.0 / animationRate_;
              if (std::isfinite(ms) && std::fabs(ms) < 1e9) {
                wait = std::lround(ms);
                lag = wait;
              } else {
                wait = int64_t{GIFLongestDelay} * GIFFrameDelayScale;
                lag = 0;
              }
            }
            reference = now;
            if (Threaded()) {
              if (event_ && (wait > 0 || animationRate_ == 0)) {
                const uint32_t timeout = wait >= int64_t{INFINITE} ? INFINITE : static_cast<uint32_t>(wait);
                if (clock_.Wait(*event_, timeout)) {
                  lag = 0;
                  reference = clock_.Now();
                }
              }
            } else {
              WaitUnthreaded(wait);
            }
          }
          if (Terminated()) break;
          Fire(OnFrameShow);
          if (Terminated()) break;
          Sync([&] {
            TGIFImageList* frames = image_->Images();
            if (step.frame >= frames->Count() || frames->Items(step.frame)->Empty()) return;
            TGIFSubImage* frame = frames->Items(step.frame);
            for (int32_t i = 0; i < frame->Extensions()->Count(); ++i) {
              auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(frame->Extensions()->Items(i));
              if (!loop || loopSeen) continue;
              loopSeen = true;
              loopsLeft = (loop->Loops == 0 || (flags_ & gpfRepeatForever)) && Threaded() ? -1 : loop->Loops;
              loopStart = step.frame;
            }
            if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
              step.disposal = gce->Disposal();
              step.delay = gce->Delay();
            }
            if ((flags_ & gpfCheckCanvas) && dc_ && !IsDeviceContext(dc_)) {
              // The canvas's device context is gone: nothing more is drawn.
              Terminate();
              return;
            }
            if (savedArea_) {
              DrawBuffered(frame, step.frame, step.disposal, previousDisposal);
            } else {
              frame->Draw(canvas_, rect_, (flags_ & gpfTransparent) != 0, (flags_ & gpfTiled) != 0);
              started_ = true;
            }
            step.shown = true;
          });
          // A frame gone meanwhile ends the pass as an empty one does.
          if (!step.shown) break;
          previousDisposal = step.disposal;
          if (Terminated()) break;
          wait = GIFFallbackDelay;
          if (step.delay > 0) {
            wait = std::max(step.delay, GIFShortestDelay);
            if (!Threaded()) wait = std::min<int64_t>(wait, GIFLongestDelay);
          }
          const int32_t before = activeImage_;
          Fire(OnFrameShown);
          if (Terminated()) break;
          if (activeImage_ == before) activeImage_ = before + 1;
        } while (flags_ & gpfAnimated);
        if (loopsLeft > 0) --loopsLeft;
        if (!((flags_ & gpfAnimated) && (flags_ & gpfRepeat))) break;
      }
    }
    activeImage_ = -1;
    Fire(OnPaintEnd);
  } catch (const Exception&) {
    Terminate();
    failure_ = std::current_exception();
  }
}

void TGIFPainter::DrawBuffered(TGIFSubImage* frame, int32_t Index, int32_t Disposal, int32_t PreviousDisposal) {
  const TRect whole{0, 0, rect_.Width(), rect_.Height()};
  TCanvas* target = nullptr;
  TRect targetRect = whole;
  TBitmap* buffer = nullptr;
  switch (Disposal) {
    case 0:
    case 1:
    case 2:
      buffer = savedArea_.get();
      break;
    case 3:
      if (PreviousDisposal == 0 || PreviousDisposal == 1) {
        // Straight onto the canvas: the saved picture keeps what was there before this frame.
        target = canvas_;
        targetRect = rect_;
      } else if (PreviousDisposal == 2 || PreviousDisposal == 3) {
        frameBuffer_->Canvas()->CopyRect(whole, savedArea_->Canvas(), whole);
        buffer = frameBuffer_.get();
      } else {
        return;
      }
      break;
    default:
      return;
  }
  if (buffer) target = buffer->Canvas();
  const bool clearAtRestart = (flags_ & gpfClearOnRestart) && Index == 0;
  const bool tableless = frame->ColorMap()->Count() == 0 && image_->GlobalColorMap()->Count() == 0;
  const TPaletteOwner fallback(tableless ? SystemPalette16() : nullptr);
  HDC dc = target->Handle();
  HPALETTE oldPalette = SelectPalette(dc, tableless ? fallback.Palette : frame->Palette(), false);
  RealizePalette(dc);
  if (clearAtRestart) {
    if (background_ && (flags_ & gpfTransparent)) {
      savedArea_->Canvas()->CopyRect(whole, background_->Canvas(), whole);
    } else {
      savedArea_->Canvas()->Brush()->SetColor(backgroundColor_);
      savedArea_->Canvas()->FillRect(whole);
    }
  }
  frame->Draw(target, targetRect, (flags_ & gpfTransparent) != 0, (flags_ & gpfTiled) != 0);
  if (buffer) {
    canvas_->SetCopyMode(cmSrcCopy);
    canvas_->CopyRect(rect_, buffer->Canvas(), whole);
  }
  SelectPalette(dc, oldPalette, false);
  if (Disposal == 2) ClearFrameArea(frame);
  started_ = true;
}

void TGIFPainter::ClearFrameArea(TGIFSubImage* frame) {
  const TRect whole{0, 0, rect_.Width(), rect_.Height()};
  TCanvas* saved = savedArea_->Canvas();
  const bool tiled = (flags_ & gpfTiled) != 0;
  const int32_t stepX = std::max(image_->Width(), 1), stepY = std::max(image_->Height(), 1);
  const auto eachTile = [&](const auto& clear) {
    for (int32_t y = frame->Top(); y < whole.Bottom; y += stepY)
      for (int32_t x = frame->Left(); x < whole.Right; x += stepX)
        clear(TRect{x, y, x + frame->Width(), y + frame->Height()});
  };
  if ((flags_ & gpfTransparent) && background_) {
    TCanvas* back = background_->Canvas();
    if (tiled)
      eachTile([&](const TRect& r) { saved->CopyRect(r, back, r); });
    else
      saved->CopyRect(frame->ScaleRect(whole), back, frame->ScaleRect(whole));
    return;
  }
  if (tiled && frame->Width() < image_->Width() && frame->Height() < image_->Height()) {
    const TColor fill =
        image_->PaintBackground() != clNone ? static_cast<TColor>(ColorToRGB(image_->PaintBackground())) : backgroundColor_;
    saved->Brush()->SetColor(fill);
    eachTile([&](const TRect& r) { saved->FillRect(r); });
    return;
  }
  saved->Brush()->SetColor(backgroundColor_);
  saved->FillRect(frame->ScaleRect(whole));
}
