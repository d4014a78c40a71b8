#pragma once
// The presenter of a media player, in the shape of a windowless video renderer: it keeps the last
// frame, tells what size the video is, paints a part of the frame into a part of a window when
// asked, and hands out a copy of the frame. Each new frame only asks the clipping window to repaint
// (a request queued for the user-interface thread): the streaming thread never touches a window.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/media/video_sample.h"
#include "platform/system/types.h"
#include "platform/ui/messages.h"

class TVideoPresenter {
 public:
  // The size of the last frame; false before the first.
  bool GetNativeVideoSize(int32_t& Width, int32_t& Height) const;
  // Which part of the frame (Source, in frame pixels, top-left origin) goes to which part of the
  // window (Dest, client coordinates). Null leaves one as it was; the source starts as the whole
  // frame, the destination empty (nothing painted).
  void SetVideoPosition(const TRect* Source, const TRect* Dest);
  void GetVideoPosition(TRect& Source, TRect& Dest) const;
  // Paints the last frame into DC (Window is the window DC draws on; unused beyond that). False
  // without a frame or destination.
  bool RepaintVideo(HWND Window, HDC DC);
  // A packed DIB of the last frame: BITMAPINFOHEADER and bottom-up 24-bit rows. Empty without one.
  std::vector<uint8_t> GetCurrentImage() const;
  TVideoSamplePtr CurrentSample() const;
  // The window that new frames ask to repaint (null: none).
  void SetClippingWindow(HWND Window);
  HWND ClippingWindow() const;

  // ---- The player's side ----
  void Present(TVideoSamplePtr Sample);
  void Reset();

 private:
  void RequestRepaint();

  mutable std::mutex mutex_;
  TVideoSamplePtr sample_;
  TRect source_;
  bool sourceSet_ = false;
  TRect dest_;
  HWND window_ = nullptr;
  // One repaint request at a time is queued; frames arriving meanwhile are shown by that one.
  std::shared_ptr<std::atomic<bool>> repaintQueued_ = std::make_shared<std::atomic<bool>>(false);
};
