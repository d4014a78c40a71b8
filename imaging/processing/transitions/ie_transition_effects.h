#pragma once
// TIETransitionEffects: animates the change of a view from one picture to another. The owner draws
// the picture it shows now into StartBitmap and the one it ends on into EndBitmap and starts a run;
// on every tick of a 1 ms timer the engine works out the step (0 .. 1024) from the time elapsed,
// draws that frame into CurrentBitmap with the chosen effect, copies it onto the owner's canvas and
// reports it through the events. When the run's time is up it paints the end frame, unlocks the
// owner's painting and reports the end. Everything runs on the user-interface thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/ie_view_link.h"
#include "imaging/processing/transitions/ie_transition_types.h"
#include "platform/system/object.h"
#include "platform/system/types.h"

class TBitmap;
class TIEBitmap;
class TIETransitionEffects;
class TTimer;

// Fired on each tick before the frame of Step is drawn. Sender is the owner's control.
using TIETransitionStepEvent = std::function<void(TObject* Sender, int32_t Step)>;
// Fired after a frame has been copied to the view: Bitmap is the bitmap just shown.
using TIEOnTransitionPaint =
    std::function<void(TObject* Sender, TBitmap* Bitmap, TIETransitionEffects* Transition, int32_t Step)>;

class TIETransitionEffects : public TObject {
 public:
  // The three frames start 1 x 1 in 24 bits; Effect 0, Duration 1000 ms. Owner (not owned) is the
  // view the engine draws for; an engine without owner draws frames (DrawStep) but never starts.
  explicit TIETransitionEffects(TIEViewLink* Owner);
  // Frees the frames, the row tables and the timer; stops the timer but calls nothing on the owner
  // (owners stop their run first).
  ~TIETransitionEffects() override;
  TIETransitionEffects(const TIETransitionEffects&) = delete;
  TIETransitionEffects& operator=(const TIETransitionEffects&) = delete;

  TIEViewLink* Owner() const { return owner_; }
  // The pictures the owner draws into before a run, and the frame the engine draws into. They are
  // 24-bit DIBs (blue, green, red) of the same size: Width x Height, or 1 x 1 between runs.
  TBitmap* StartBitmap() const { return start_.get(); }
  TBitmap* EndBitmap() const { return end_.get(); }
  TBitmap* CurrentBitmap() const { return current_.get(); }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  // The owner's image (not owned), read by the pan-zoom only.
  TIEBitmap* SourceImage() const { return sourceImage_; }
  void SetSourceImage(TIEBitmap* Value) { sourceImage_ = Value; }
  // The effect of the next run (read when it starts): 0 none, 1 .. 214; ids above 214 draw nothing.
  TIETransitionType Effect() const { return effect_; }
  void SetEffect(TIETransitionType Value) { effect_ = Value; }
  // The run's length in milliseconds (compared unsigned; 0 ends a run on its first tick).
  uint32_t Duration() const { return duration_; }
  void SetDuration(uint32_t Value) { duration_ = Value; }
  // Whether the run ending paints the end frame and repaints the owner.
  bool UpdateOnStop() const { return updateOnStop_; }
  // The parts of SourceImage (left, top, right, bottom in its pixels) the pan-zoom shows at the
  // start and at the end of a run; both empty at first, which leaves the frame as it is.
  const TRect& PanZoomStart() const { return panZoomStart_; }
  void SetPanZoomStart(const TRect& Value) { panZoomStart_ = Value; }
  const TRect& PanZoomEnd() const { return panZoomEnd_; }
  void SetPanZoomEnd(const TRect& Value) { panZoomEnd_ = Value; }

  bool Running() const { return running_; }
  // The step of the frame the next tick draws (0 .. 1024).
  int32_t Step() const { return step_; }
  // How many random points or boxes the run has drawn.
  int32_t RevealedCount() const { return revealedCount_; }
  TTimer* Timer() const { return timer_.get(); }

  // Stops a run, then sizes the three frames to Width x Height (the current frame first). Sizes
  // that are negative or cannot be allocated leave the engine idle at 1 x 1.
  void SetTransitionSize(int32_t Width, int32_t Height);
  // Starts a run of Effect; nothing for Effect 0. A run goes ahead only with an owner, a frame of
  // at least 1 x 1 and 2 pixels, and all three frames Width x Height in 24 bits; otherwise the
  // engine stays idle (with its timer off). Going ahead locks the owner's painting.
  void StartTransition(bool UpdateOnStop);
  // Ends a run (nothing when idle): the timer stops, the frames shrink to 1 x 1, the row tables go,
  // the owner's paint lock is released without repaint, the owner is repainted when UpdateOnStop,
  // and OnTransitionStop fires.
  void StopTransition();
  // One tick of the timer (callable directly): draws and shows the frame of Step, fires the events,
  // ends the run when its time is up or works out the next step. A tick arriving while a tick is
  // under way (a handler processing messages) is ignored, and after each event the tick goes on
  // only if the same run still goes.
  void TransitionTick();
  // Draws the frame of Step (clamped to 0 .. 1024) of the effect (the run's, else Effect) into
  // CurrentBitmap, as a tick does. Nothing happens unless the three frames are Width x Height in
  // 24 bits. An exception while drawing ends the frame; it never leaves here.
  void DrawStep(int32_t Step);
  void SetOnTransitionPaint(TIEOnTransitionPaint Handler) { OnTransitionPaint = std::move(Handler); }

  // The clock the run's time is read from (milliseconds, wrapping at 32 bits); GetTickCount unless
  // a test sets another. Nil restores GetTickCount.
  void SetClock(std::function<uint32_t()> Clock);

  // The percent a table procedure draws for a step: Round(Step / 1024 x 100), halves to even, the
  // step clamped to 0 .. 1024 (5 gives 0, 6 gives 1, 128 gives 12, 1019 gives 100).
  static int32_t StepPercent(int32_t Step);
  // The largest rectangle of a SourceWidth x SourceHeight source's aspect ratio that fits a
  // FrameWidth x FrameHeight frame, centred: its size and offset. All zero when a size is not
  // positive.
  static void FitKeepingAspect(int32_t SourceWidth, int32_t SourceHeight, int32_t FrameWidth, int32_t FrameHeight,
                               int32_t& Width, int32_t& Height, int32_t& X, int32_t& Y);

  TNotifyEvent OnTransitionStop;
  TIETransitionStepEvent OnTransitionStep;
  TIEOnTransitionPaint OnTransitionPaint;

 private:
  TObject* Sender() const;
  uint32_t Now() const;
  bool FramesReady() const;
  // Builds the row tables when they are missing or no longer match the frames.
  bool EnsureRows();
  void DropRows();
  void ShrinkFrames();
  void DrawFrame(int32_t Effect, int32_t Step);
  void DrawTableEffect(int32_t Effect, int32_t Step);
  void DrawPanZoom(int32_t Step);
  // Copies Bitmap onto the owner's canvas at (0, 0), Width x Height.
  void Present(TBitmap* Bitmap);
  TColor BackgroundColor() const;

  TIEViewLink* owner_;
  std::unique_ptr<TBitmap> start_;
  std::unique_ptr<TBitmap> end_;
  std::unique_ptr<TBitmap> current_;
  std::vector<uint8_t*> startRows_;
  std::vector<uint8_t*> endRows_;
  std::vector<uint8_t*> currentRows_;
  TIEBitmap* sourceImage_ = nullptr;
  int32_t width_ = 1;
  int32_t height_ = 1;
  bool running_ = false;
  bool updateOnStop_ = false;
  bool inTick_ = false;
  TIETransitionType effect_ = iettNone;
  int32_t runEffect_ = 0;
  uint32_t duration_ = 1000;
  uint32_t startTick_ = 0;
  int32_t step_ = 0;
  int32_t revealedCount_ = 0;
  // Counts runs started and stopped, so that a tick sees whether its run still goes.
  uint64_t runSerial_ = 0;
  TRect panZoomStart_;
  TRect panZoomEnd_;
  std::function<uint32_t()> clock_;
  std::unique_ptr<TTimer> timer_;
  // False once the engine is destroyed: a tick whose handler freed the engine stops there.
  std::shared_ptr<bool> alive_;
};
