#pragma once
// TGIFPainter plays a GIF image on a canvas: the frames one after another with their delays, each
// frame's disposal honoured, repeated as the looping extension and the paint flags say, with five
// callbacks. A threaded painter is a thread of its own that keeps only the time and the order: every
// look at the image (rendering a frame, its delay, disposal and loop count), all drawing and every
// callback run on the user-interface thread through synchronised calls, each of which does nothing
// once the painter was asked to stop. An unthreaded painter runs inside the call that draws, sleeping
// in short steps between frames while it lets the thread's messages run.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "pictures/gif_settings.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/threads.h"

class TGIFImage;
class TGIFPainterClock;
class TGIFSubImage;

// True while a painter's call runs on this thread (a callback or a drawing step): a painter cannot be
// waited for from inside one.
bool InGIFPainterCall();

class TGIFPainter : public TThread {
 public:
  // Made by the image (TGIFImage::CreatePainter), on the user-interface thread. Slot, when given,
  // receives the painter and is cleared when it ends.
  TGIFPainter(TGIFImage* Image, TGIFPaintFlags Flags, const TRect& Rect, TCanvas* Canvas, TGIFPainter** Slot);
  ~TGIFPainter() override;

  // Starts a threaded painter (which then frees itself when it ends).
  void StartPainting();
  // Plays an unthreaded painter to its end, then detaches it.
  void Run();
  // Asks the painter to end: a threaded one is woken from its wait.
  void Stop();
  // Asks for the animation to start again from frame 0.
  void Restart();
  // Lets go of the image at once (it is going, or cannot wait for the painter): the slot is cleared and
  // the painter leaves the image's list; it touches the image no more and ends when it next looks.
  // Under the image's painter lock.
  void LetGo();

  TGIFImage* Image() const { return image_; }
  TCanvas* Canvas() const { return canvas_; }
  const TRect& Rect() const { return rect_; }
  TGIFPaintFlags Flags() const { return flags_; }
  bool Threaded() const { return (flags_ & gpfThreaded) != 0; }
  // At least one frame has been drawn.
  bool Started() const { return started_; }
  // The frame being shown (-1 when not painting). A callback may set it to jump to another frame.
  int32_t ActiveImage() const { return activeImage_; }
  void SetActiveImage(int32_t Value) { activeImage_ = Value; }
  // The failure that ended the painter, if one did.
  std::exception_ptr Failure() const { return failure_; }

  TNotifyEvent OnPaintBegin;
  TNotifyEvent OnFrameShow;
  TNotifyEvent OnFrameShown;
  TNotifyEvent OnRepeat;
  TNotifyEvent OnPaintEnd;

 protected:
  void Execute() override;
  // Detaches from the image on the user-interface thread.
  void DoTerminate() override;

 private:
  friend class TGIFImage;
  struct TFrameStep;
  void Play();
  // Runs Call on the user-interface thread (directly for an unthreaded painter), unless the painter
  // was asked to stop or has lost its image. Returns whether it ran.
  bool Sync(const std::function<void()>& Call);
  void Fire(const TNotifyEvent& Event);
  bool WaitUnthreaded(int64_t Milliseconds);
  // Draws a frame through the saved picture as its disposal and the previous frame's say.
  void DrawBuffered(TGIFSubImage* Frame, int32_t Index, int32_t Disposal, int32_t PreviousDisposal);
  // Gives the frame's area in the saved picture back to the background (disposal 2).
  void ClearFrameArea(TGIFSubImage* Frame);
  // Leaves the image: clears the slot, leaves the painter list, lets the buffers go. On the
  // user-interface thread, under the image's painter lock.
  void Detach();

  TGIFImage* image_;
  TCanvas* canvas_;
  TRect rect_;
  TGIFPaintFlags flags_;
  int32_t animationRate_;
  TGIFPainter** slot_;
  TGIFPainterClock& clock_;
  std::atomic<int32_t> activeImage_{-1};
  std::atomic<bool> restart_{false};
  std::atomic<bool> started_{false};
  std::unique_ptr<TEvent> event_;
  std::unique_ptr<TBitmap> savedArea_;   // the picture as it stands between frames
  std::unique_ptr<TBitmap> frameBuffer_; // a frame drawn over the saved picture (disposal 3)
  std::unique_ptr<TBitmap> background_;  // the canvas under the animation (disposal 2, transparent)
  TColor backgroundColor_;
  HDC dc_ = nullptr;  // the canvas's device context when gpfCheckCanvas
  std::exception_ptr failure_;
};
