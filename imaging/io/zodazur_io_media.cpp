// TZodazUrIO's media graphs: the capture and playback graph of the attached view, and single
// frames of any media file the media services play.
#include <cmath>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/zodazur_io.h"
#include "platform/ui/controls.h"

namespace {

// The attached view's window, created when needed; nil without a view.
HWND ViewWindow(TIEViewLink* View) {
  if (!View) return nullptr;
  TWinControl* control = View->ViewControl();
  return control ? control->Handle() : nullptr;
}

}  // namespace

TIEDirectShow* TZodazUrIO::GetDirectShow() {
  if (!directShow_) {
    directShow_ = std::make_unique<TIEDirectShow>();
    if (attachedView_) directShow_->SetNotifyWindow(ViewWindow(attachedView_), IEM_NEWFRAME, IEM_DSHOWEVENT);
  }
  return directShow_.get();
}

void TZodazUrIO::UpdateDirectShowNotifyWindow() {
  if (!attachedView_ || !directShow_) return;
  const HWND window = ViewWindow(attachedView_);
  if (window != directShow_->NotifyWindow()) directShow_->SetNotifyWindow(window, IEM_NEWFRAME, IEM_DSHOWEVENT);
}

int32_t TZodazUrIO::OpenMediaFile(const std::string& FileName) {
  if (mediaFile_) CloseMediaFile();
  SetAborting(true);
  mediaFile_ = std::make_unique<TIEDirectShow>();
  TIEDirectShow& ds = *mediaFile_;
  mediaFrames_ = OpenMediaFrames(ds, FileName);
  const int64_t n = mediaFrames_.Count;
  if (n <= 0) return 0;
  mediaFrameDuration_ = static_cast<double>(mediaFrames_.Duration) / 10000000.0 / static_cast<double>(n) * 1000.0;
  SetAborting(false);
  TIOParamsVals& params = Params();
  params.MediaFileFrameCount = static_cast<int32_t>(n);
  params.FileType = fmtUnknown;
  params.FileName = FileName;
  int32_t width = 0, height = 0;
  std::string format;
  if (ds.GetCurrentVideoFormat(width, height, format)) {
    params.Width = params.OriginalWidth = width;
    params.Height = params.OriginalHeight = height;
  }
  return static_cast<int32_t>(n);
}

void TZodazUrIO::LoadFromMediaFile(int32_t FrameIndex) {
  if (!mediaFile_) return;
  Params().SetImageIndex(FrameIndex);
  mediaFile_->SetPosition(mediaFrames_.Position(FrameIndex));
  if (IEBitmap()) mediaFile_->GetCurrentFrame(IEBitmap());
  Params().MediaFileFrameDelayTime = static_cast<int32_t>(std::nearbyint(mediaFrameDuration_));
  UpdateAttached();
}

void TZodazUrIO::CloseMediaFile() {
  if (!mediaFile_) return;
  mediaFile_->Disconnect();
  mediaFile_.reset();
}

int32_t CountMediaFileFrames(const std::string& FileName) {
  TZodazUrIO io(nullptr);
  return io.OpenMediaFile(FileName);
}
