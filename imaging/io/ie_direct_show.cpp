#include "imaging/io/ie_direct_show.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/media/media_player.h"
#include "platform/media/media_type.h"
#include "platform/system/debug_log.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/window_dc.h"

namespace {

// The objects alive now, for the handlers of posted messages.
std::mutex g_liveMutex;
std::set<const void*>& LiveObjects() {
  static std::set<const void*> objects;
  return objects;
}

TMediaTimeFormat ToMediaFormat(TIEDSTimeUnit Unit) { return static_cast<TMediaTimeFormat>(Unit); }

}  // namespace

TIEDirectShow::TIEDirectShow() {
  std::lock_guard<std::mutex> lock(g_liveMutex);
  LiveObjects().insert(this);
}

TIEDirectShow::~TIEDirectShow() {
  Disconnect();
  std::lock_guard<std::mutex> lock(g_liveMutex);
  LiveObjects().erase(this);
}

bool TIEDirectShow::IsLive(const void* Object) {
  if (!Object) return false;
  std::lock_guard<std::mutex> lock(g_liveMutex);
  return LiveObjects().count(Object) != 0;
}

void TIEDirectShow::HandleNewFrameMessage(LPARAM Object, const std::function<void()>& OnNewFrame) {
  auto* ds = reinterpret_cast<TIEDirectShow*>(Object);
  if (!IsLive(ds)) return;
  ds->SetNewFrameNotify(false);
  try {
    if (ds->Connected() && OnNewFrame) OnNewFrame();
  } catch (...) {
    // The handler may have freed the object; the flag is restored only on a live one.
    if (IsLive(ds)) ds->SetNewFrameNotify(true);
    throw;
  }
  if (IsLive(ds)) ds->SetNewFrameNotify(true);
}

void TIEDirectShow::HandleEventMessage(LPARAM Object, const std::function<void()>& OnEvent) {
  auto* ds = reinterpret_cast<TIEDirectShow*>(Object);
  if (IsLive(ds) && ds->Connected() && OnEvent) OnEvent();
}

bool TIEDirectShow::HasPlayer() const { return player_ && player_->IsOpen(); }

// ------------------------------------------------------------------------------------- the graph

void TIEDirectShow::Connect() {
  // A second build would leave the first graph playing with nobody to stop it.
  if (connected_) Disconnect();
  newFrameNotify_ = true;
  if (!DVDPath.empty()) {
    BuildDVDGraph();
    return;
  }
  BuildCaptureGraph();
}

void TIEDirectShow::BuildCaptureGraph() {
  player_ = std::make_unique<TMediaPlayer>();
  connected_ = true;
  // With a compressor the frames go to the capture file, not to a grabber.
  grabber_ = UseSampleGrabber && !VideoCompressor;
  windowless_ = UseWindowlessRenderer;
  HWND window;
  uint32_t eventMessage;
  {
    std::lock_guard<std::mutex> lock(notifyMutex_);
    window = notifyWindow_;
    eventMessage = eventMessage_;
  }
  if (grabber_ && window) {
    // The streaming thread posts, and only while the view is not busy with the last frame.
    player_->SampleBuffer().SetCallback([this](double, const uint8_t*, int64_t) {
      if (!newFrameNotify_.load()) return;
      HWND w;
      uint32_t m;
      {
        std::lock_guard<std::mutex> lock(notifyMutex_);
        w = notifyWindow_;
        m = newFrameMessage_;
        if (w) {
          const std::pair<HWND, uint32_t> target{w, m};
          if (std::find(postedTo_.begin(), postedTo_.end(), target) == postedTo_.end()) postedTo_.push_back(target);
        }
      }
      if (w) PostMessage(w, m, 0, reinterpret_cast<LPARAM>(this));
    });
  }
  AttachEventWindow(window, eventMessage);
  if (windowless_) {
    player_->Presenter().SetClippingWindow(window);
    if (window) InvalidateRect(window, nullptr, false);
  }
  TMediaPlayerOptions options;
  options.Audio = PlayAudio;
  switch (ClockSource) {
    case 0: options.Clock = mcsDefault; break;
    case 2: options.Clock = mcsMonotonic; break;
    case 6: options.Clock = mcsAudio; break;
    default: options.Clock = mcsNone; break;
  }
  if (!InputFileName.empty()) {
    // A file wins over a device.
    if (!player_->OpenFile(InputFileName, options)) {
      OutputDebugString("TIEDirectShow: cannot play \"" + InputFileName + "\": " + player_->LastError());
    }
    return;
  }
  if (VideoInput) {
    // The device's control side opens now, its stream at Run or Pause; its sound is not taken.
    if (!player_->OpenCapture(VideoInput->Path, options)) {
      OutputDebugString("TIEDirectShow: cannot open the capture device \"" + VideoInput->Name + "\": " +
                        player_->LastError());
      return;
    }
    RouteTunerAudio();
    FillVideoFormats();
    FillCrossbarInputNames();
  }
}

void TIEDirectShow::AttachEventWindow(HWND Window, uint32_t EventMessage) {
  if (!Window) return;
  player_->Events().SetNotifyWindow(Window, EventMessage, reinterpret_cast<LPARAM>(this));
  std::lock_guard<std::mutex> lock(notifyMutex_);
  const std::pair<HWND, uint32_t> target{Window, EventMessage};
  if (std::find(postedTo_.begin(), postedTo_.end(), target) == postedTo_.end()) postedTo_.push_back(target);
}

void TIEDirectShow::Disconnect() {
  if (player_) {
    // Stops the streaming thread for good before anything it posts about could go.
    player_->Close();
    player_.reset();
  }
  connected_ = false;
  grabber_ = false;
  windowless_ = false;
  RemovePostedMessages();
}

void TIEDirectShow::RemovePostedMessages() {
  std::vector<std::pair<HWND, uint32_t>> targets;
  {
    std::lock_guard<std::mutex> lock(notifyMutex_);
    targets.swap(postedTo_);
  }
  for (const auto& [window, message] : targets) RemovePendingMessages(window, message, reinterpret_cast<LPARAM>(this));
}

void TIEDirectShow::Run() {
  if (player_) player_->Run();
}

void TIEDirectShow::Pause() {
  if (player_) player_->Pause();
}

void TIEDirectShow::StopWhenReady() {
  if (player_) player_->StopWhenReady();
}

int32_t TIEDirectShow::GetState() { return player_ ? player_->State() : 0; }

// ------------------------------------------------------------------------------------------ time

void TIEDirectShow::SetTimeFormat(TIEDSTimeUnit Unit) {
  if (HasPlayer()) player_->SetTimeFormat(ToMediaFormat(Unit));
}

TIEDSTimeUnit TIEDirectShow::GetTimeFormat() {
  if (!HasPlayer()) return tuNone;
  return static_cast<TIEDSTimeUnit>(player_->TimeFormat());
}

int64_t TIEDirectShow::GetDuration() { return HasPlayer() ? player_->Duration() : 0; }
int64_t TIEDirectShow::GetPosition() { return HasPlayer() ? player_->Position() : 0; }

void TIEDirectShow::SetPosition(int64_t Position) {
  if (HasPlayer()) player_->SetPosition(Position);
}

int64_t TIEDirectShow::GetAvgTimePerFrame() {
  if (HasStreamConfig()) {
    // A capture device: the interval of its format.
    TCaptureCapability cap;
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    return player_->CaptureFormat(cap, w, h, interval) ? interval : 0;
  }
  if (!HasPlayer() || !grabber_) return 0;
  TMediaType type;
  if (!player_->SampleBuffer().GetConnectedMediaType(type)) return 0;
  const VIDEOINFOHEADER* vih = type.VideoInfo();
  if (!vih) return 0;
  if (vih->AvgTimePerFrame != 0) return vih->AvgTimePerFrame;
  // Not in the stream: the distance of the first two frames decoded ahead of the position, with
  // position, state and time format left as they were.
  return player_->MeasureFrameDuration(50, 2 * kMediaTimeUnitsPerSecond);
}

// ---------------------------------------------------------------------------------------- frames

void TIEDirectShow::GetCurrentFrame(TIEBitmap* Bitmap, bool ResampleBack) {
  if (!Bitmap || !player_) return;
  if (windowless_) {
    const int32_t w = Bitmap->Width(), h = Bitmap->Height();
    const std::vector<uint8_t> dib = player_->Presenter().GetCurrentImage();
    if (!dib.empty() && DibToIEBitmap(dib.data(), *Bitmap, nullptr, true, static_cast<int64_t>(dib.size())) != 0 &&
        ResampleBack && w > 0 && h > 0) {
      try {
        TZodazUrProc proc(nullptr);
        proc.SetAutoUndo(false);
        proc.AttachIEBitmap(Bitmap);
        proc.Resample(w, h, rfNone);
      } catch (const std::exception& e) {
        OutputDebugString(std::string("TIEDirectShow: resampling the frame failed: ") + e.what());
      }
    }
  }
  if (grabber_) CopySampleToBitmap(Bitmap);
}

void TIEDirectShow::CopySampleToBitmap(TIEBitmap* Bitmap) {
  if (!Bitmap || !player_ || !grabber_) return;
  TMediaType type;
  if (!player_->SampleBuffer().GetConnectedMediaType(type)) return;
  const VIDEOINFOHEADER* vih = type.VideoInfo();
  if (!vih) return;
  const TVideoSamplePtr sample = player_->SampleBuffer().CurrentSample();
  // Without a sample the bitmap stays as it was.
  if (!sample) return;
  const int32_t width = vih->bmiHeader.biWidth;
  const bool topDown = vih->bmiHeader.biHeight < 0;
  const int32_t height = topDown ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
  const int64_t rowLength = DibRowLength24(width);
  if (width <= 0 || height <= 0 || sample->Size() != rowLength * height) return;
  try {
    if (Bitmap->Location() == ieFile) Bitmap->SetLocation(ieMemory);
    if (Bitmap->PixelFormat() != ie24RGB || Bitmap->Width() != width || Bitmap->Height() != height) {
      if (!Bitmap->Allocate(width, height, ie24RGB)) return;
    }
    const uint8_t* bits = sample->Bits();
    // Bottom-up rows in one 32-bit-aligned block take the sample as it is.
    if (!topDown && Bitmap->Location() == ieMemory && !Bitmap->TopDown() && Bitmap->SegmentCount() == 0 &&
        Bitmap->RowLen() == rowLength) {
      auto* last = static_cast<uint8_t*>(Bitmap->GetRow(height - 1));
      auto* first = static_cast<uint8_t*>(Bitmap->GetRow(0));
      if (first == last + rowLength * (height - 1)) {
        std::memcpy(last, bits, static_cast<size_t>(sample->Size()));
        return;
      }
    }
    for (int32_t i = 0; i < height; ++i) {
      // The sample's first row is the picture's bottom row (top row for a top-down sample).
      const int32_t y = topDown ? i : height - 1 - i;
      std::memcpy(Bitmap->GetRow(y), bits + rowLength * i, static_cast<size_t>(width) * 3);
    }
  } catch (const std::exception& e) {
    OutputDebugString(std::string("TIEDirectShow: the frame could not be copied: ") + e.what());
  }
}

bool TIEDirectShow::GetCurrentVideoFormat(int32_t& Width, int32_t& Height, std::string& Format) {
  if (HasStreamConfig()) {
    TCaptureCapability cap;
    int32_t w = 0, h = 0;
    int64_t interval = 0;
    if (!player_->CaptureFormat(cap, w, h, interval)) return false;
    Width = w;
    Height = h;
    Format = SubtypeToName(cap.Subtype);
    return true;
  }
  // The grabber's frames: the name is left as it was.
  if (!player_ || !grabber_) return false;
  TMediaType type;
  if (!player_->SampleBuffer().GetConnectedMediaType(type)) return false;
  const VIDEOINFOHEADER* vih = type.VideoInfo();
  if (!vih) return false;
  Width = vih->bmiHeader.biWidth;
  Height = vih->bmiHeader.biHeight;
  return true;
}

// --------------------------------------------------------------------------------- notifications

void TIEDirectShow::SetNotifyWindow(HWND Window, uint32_t NewFrameMessage, uint32_t EventMessage) {
  {
    std::lock_guard<std::mutex> lock(notifyMutex_);
    notifyWindow_ = Window;
    newFrameMessage_ = NewFrameMessage;
    eventMessage_ = EventMessage;
    if (Window && connected_) {
      const std::pair<HWND, uint32_t> target{Window, EventMessage};
      if (std::find(postedTo_.begin(), postedTo_.end(), target) == postedTo_.end()) postedTo_.push_back(target);
    }
  }
  if (connected_ && player_) {
    player_->Events().SetNotifyWindow(Window, EventMessage, reinterpret_cast<LPARAM>(this));
    // New frames ask the window that shows the video to repaint: a recreated one from now on.
    if (windowless_) player_->Presenter().SetClippingWindow(Window);
  }
}

HWND TIEDirectShow::NotifyWindow() const {
  std::lock_guard<std::mutex> lock(notifyMutex_);
  return notifyWindow_;
}

uint32_t TIEDirectShow::NewFrameMessage() const {
  std::lock_guard<std::mutex> lock(notifyMutex_);
  return newFrameMessage_;
}

uint32_t TIEDirectShow::EventMessage() const {
  std::lock_guard<std::mutex> lock(notifyMutex_);
  return eventMessage_;
}

bool TIEDirectShow::GetEvent(int32_t& EventCode) {
  intptr_t p1, p2;
  return GetEvent(EventCode, p1, p2);
}

bool TIEDirectShow::GetEvent(int32_t& EventCode, intptr_t& Param1, intptr_t& Param2) {
  if (!player_) return false;
  return player_->Events().GetEvent(EventCode, Param1, Param2);
}

// ---------------------------------------------------------------------------- windowless renderer

void TIEDirectShow::SetVideoPosition(const TRect& Source, const TRect& Dest) {
  if (player_ && windowless_) player_->Presenter().SetVideoPosition(&Source, &Dest);
}

void TIEDirectShow::GetNativeVideoSize(int32_t& Width, int32_t& Height) {
  if (player_ && windowless_) player_->Presenter().GetNativeVideoSize(Width, Height);
}

void TIEDirectShow::RepaintVideo(HWND Window, HDC DC) {
  if (player_ && windowless_) player_->Presenter().RepaintVideo(Window, DC);
}
