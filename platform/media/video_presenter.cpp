#include "platform/media/video_presenter.h"

#include <cstring>

#include "platform/media/media_type.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/window_dc.h"

bool TVideoPresenter::GetNativeVideoSize(int32_t& Width, int32_t& Height) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!sample_) return false;
  Width = sample_->Width();
  Height = sample_->Height();
  return true;
}

void TVideoPresenter::SetVideoPosition(const TRect* Source, const TRect* Dest) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Source) {
    source_ = *Source;
    sourceSet_ = true;
  }
  if (Dest) dest_ = *Dest;
}

void TVideoPresenter::GetVideoPosition(TRect& Source, TRect& Dest) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Source = sourceSet_ || !sample_ ? source_ : TRect{0, 0, sample_->Width(), sample_->Height()};
  Dest = dest_;
}

bool TVideoPresenter::RepaintVideo(HWND Window, HDC DC) {
  (void)Window;
  TVideoSamplePtr sample;
  TRect src, dst;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sample = sample_;
    dst = dest_;
    src = sourceSet_ || !sample ? source_ : TRect{0, 0, sample->Width(), sample->Height()};
  }
  if (!sample || !DC || dst.Width() <= 0 || dst.Height() <= 0) return false;
  // The source clipped to the frame; an empty one shows the whole frame.
  src.Left = std::max(0, src.Left);
  src.Top = std::max(0, src.Top);
  src.Right = std::min(sample->Width(), src.Right);
  src.Bottom = std::min(sample->Height(), src.Bottom);
  if (src.Width() <= 0 || src.Height() <= 0) src = TRect{0, 0, sample->Width(), sample->Height()};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = sample->Width();
  info.bmiHeader.biHeight = sample->Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biSizeImage = static_cast<uint32_t>(sample->Size());
  const int32_t oldMode = SetStretchBltMode(DC, COLORONCOLOR);
  // Source rows count from the bottom of a bottom-up DIB.
  const int32_t lines = StretchDIBits(DC, dst.Left, dst.Top, dst.Width(), dst.Height(), src.Left,
                                      sample->Height() - src.Bottom, src.Width(), src.Height(), sample->Bits(),
                                      &info, DIB_RGB_COLORS, SRCCOPY);
  if (oldMode) SetStretchBltMode(DC, oldMode);
  return lines > 0;
}

std::vector<uint8_t> TVideoPresenter::GetCurrentImage() const {
  TVideoSamplePtr sample = CurrentSample();
  if (!sample) return {};
  std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(sample->Size()));
  BITMAPINFOHEADER header;
  header.biSize = sizeof header;
  header.biWidth = sample->Width();
  header.biHeight = sample->Height();
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<uint32_t>(sample->Size());
  std::memcpy(dib.data(), &header, sizeof header);
  std::memcpy(dib.data() + sizeof header, sample->Bits(), static_cast<size_t>(sample->Size()));
  return dib;
}

TVideoSamplePtr TVideoPresenter::CurrentSample() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sample_;
}

void TVideoPresenter::SetClippingWindow(HWND Window) {
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = Window;
}

HWND TVideoPresenter::ClippingWindow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return window_;
}

void TVideoPresenter::Present(TVideoSamplePtr Sample) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sample_ = std::move(Sample);
  }
  RequestRepaint();
}

void TVideoPresenter::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  sample_.reset();
}

void TVideoPresenter::RequestRepaint() {
  HWND window;
  TRect dest;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    window = window_;
    dest = dest_;
  }
  if (!window || dest.Width() <= 0 || dest.Height() <= 0) return;
  if (repaintQueued_->exchange(true)) return;
  // The request carries the handle only (a window gone by then is not found), and the flag it
  // clears lives in a shared cell, since the presenter may be gone by then too.
  QueueOnMainThread([flag = repaintQueued_, window, dest] {
    *flag = false;
    InvalidateRect(window, &dest, false);
  });
}
