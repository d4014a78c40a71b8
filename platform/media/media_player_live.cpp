// TMediaPlayer with a capture device: the stream opens at Run or Pause and closes at Stop; frames
// are shown as they are read (raw ones converted straight from the packet, compressed ones through
// the decoder); a paused device reads on and drops its frames; a device that goes away stops the
// player for good.
#include <algorithm>
#include <chrono>

#include "platform/media/media_player_impl.h"
#include "platform/media/media_settings.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
             .count() * 10;
}

}  // namespace

// ------------------------------------------------------------------------- user-interface side

bool TMediaPlayer::TImpl::OpenLive(std::unique_ptr<TCaptureSource> Source, const TMediaPlayerOptions& Options) {
  Close();
  error_.clear();
  std::string error;
  if (!Source || !Source->Open(error)) {
    error_ = error.empty() ? "no capture device" : error;
    return false;
  }
  options_ = Options;
  options_.Audio = false;  // no device sound
  live_ = true;
  deviceLost_ = false;
  liveBase_ = 0;
  liveRunStart_ = 0;
  liveStreaming_ = false;
  timeline_ = TMediaTimeline{};
  timeline_.AvgTimePerFrame = Source->FrameInterval();
  format_ = mtfMediaTime;
  videoIndex_ = 0;
  audioIndex_ = -1;
  source_ = std::move(Source);
  state_ = 0;
  shown_ = dropped_ = 0;
  mode_ = modeStopped;
  typeWidth_ = typeHeight_ = 0;
  packet_.reset(av_packet_alloc());
  if (!packet_) {
    error_ = "out of memory";
    Close();
    return false;
  }
  quit_ = false;
  StartThread();
  open_ = true;
  return true;
}

TCaptureSource* TMediaPlayer::TImpl::Capture() const {
  return live_ && source_ ? static_cast<TCaptureSource*>(source_.get()) : nullptr;
}

int64_t TMediaPlayer::TImpl::LivePosition() const {
  const int64_t start = liveRunStart_.load();
  return liveBase_.load() + (start > 0 ? SteadyNow() - start : 0);
}

// ------------------------------------------------------------------------------- decode thread

bool TMediaPlayer::TImpl::LiveStart() {
  TCaptureSource* capture = Capture();
  if (!capture) return false;
  const int r = capture->Start();
  if (r < 0) {
    // EBUSY: another program holds the device.
    OutputDebugString("capture: " + capture->Id() + " not started: " + FFmpegErrorText(r));
    events_.Queue(EC_ERRORABORT, r);
    return false;
  }
  const AVStream* st = capture->Context()->streams[0];
  liveRaw_ = st->codecpar->codec_id == AV_CODEC_ID_RAWVIDEO;
  video_.Reset();
  if (!liveRaw_) {
    std::string error;
    if (!video_.Open(const_cast<AVStream*>(st), options_.DecoderThreads, error)) {
      OutputDebugString("capture: " + error);
      capture->Stop();
      events_.Queue(EC_ERRORABORT, AVERROR_DECODER_NOT_FOUND);
      return false;
    }
  }
  liveInterval_ = capture->FrameInterval();
  if (liveInterval_ <= 0 && st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0) {
    liveInterval_ = av_rescale(kMediaTimeUnitsPerSecond, st->avg_frame_rate.den, st->avg_frame_rate.num);
  }
  timeline_.AvgTimePerFrame = liveInterval_;
  if (typeWidth_ == 0) {
    typeWidth_ = st->codecpar->width;
    typeHeight_ = st->codecpar->height;
    if (MediaFrameSizeAllowed(typeWidth_, typeHeight_)) {
      sampleBuffer_.SetMediaType(MakeRGB24VideoType(typeWidth_, typeHeight_, liveInterval_));
    }
  }
  lastFrameTick_ = SteadyNow();
  liveStreaming_ = true;
  return true;
}

void TMediaPlayer::TImpl::LiveStop() {
  if (TCaptureSource* capture = Capture()) capture->Stop();
  video_.Reset();
  liveStreaming_ = false;
}

void TMediaPlayer::TImpl::LiveHalt() {
  const int64_t start = liveRunStart_.exchange(0);
  if (start > 0) liveBase_ += SteadyNow() - start;
}

void TMediaPlayer::TImpl::LiveLost(int Error) {
  OutputDebugString("capture: the device went away: " + FFmpegErrorText(Error));
  LiveHalt();
  LiveStop();
  // The last frame stays in the sample buffer and the presenter.
  mode_ = modeStopped;
  state_ = 0;
  if (!deviceLost_.exchange(true)) events_.Queue(EC_DEVICE_LOST, 0, 0);
}

void TMediaPlayer::TImpl::HandleLive(const TCommand& Command) {
  switch (Command.kind) {
    case cmdRun:
      if (deviceLost_ || mode_ == modeRunning) break;
      if (!liveStreaming_ && !LiveStart()) {
        mode_ = modeStopped;
        state_ = 0;
        break;
      }
      mode_ = modeRunning;
      state_ = 2;
      liveRunStart_ = SteadyNow();
      break;
    case cmdPause:
      if (deviceLost_) break;
      LiveHalt();
      if (!liveStreaming_ && !LiveStart()) {
        mode_ = modeStopped;
        state_ = 0;
        break;
      }
      mode_ = modePaused;
      state_ = 1;
      events_.Queue(EC_PAUSED, 0);
      break;
    case cmdStop:
      LiveHalt();
      LiveStop();
      mode_ = modeStopped;
      state_ = 0;
      break;
    case cmdCaptureFormat:
    case cmdCaptureInput: {
      // A streaming device is closed, changed and opened again in the same state (drivers refuse
      // changes while they stream).
      const bool streaming = liveStreaming_;
      if (streaming) LiveStop();
      if (Command.kind == cmdCaptureInput) {
        TCaptureSource* capture = Capture();
        if (capture && capture->Control()) capture->Control()->SelectInput(static_cast<int32_t>(Command.arg1));
      }
      if (streaming && !deviceLost_ && !LiveStart()) {
        LiveHalt();
        mode_ = modeStopped;
        state_ = 0;
      }
      break;
    }
    default:
      break;  // no seeking, measuring or rate on a live source
  }
}

void TMediaPlayer::TImpl::LiveFrame(AVPacket* Packet) {
  if (liveRaw_) {
    // Raw frames are converted straight from the packet once its size is the frame's.
    const AVStream* st = Capture()->Context()->streams[0];
    const auto format = static_cast<AVPixelFormat>(st->codecpar->format);
    const int w = st->codecpar->width, h = st->codecpar->height;
    const int size = av_image_get_buffer_size(format, w, h, 1);
    if (size <= 0 || Packet->size < size) {
      ++dropped_;  // a short frame
      return;
    }
    TAVFramePtr frame(av_frame_alloc());
    if (!frame) return;
    frame->format = format;
    frame->width = w;
    frame->height = h;
    // A capture device's raw YUV is BT.601 at every size unless the stream says otherwise: the
    // encoding V4L2 gives cameras by default, and the one a virtual device's format filter wrote.
    // (The size guess for untagged files would take BT.709 from 720 lines on.)
    frame->colorspace = st->codecpar->color_space != AVCOL_SPC_UNSPECIFIED ? st->codecpar->color_space
                                                                           : AVCOL_SPC_SMPTE170M;
    frame->color_range = st->codecpar->color_range;
    if (av_image_fill_arrays(frame->data, frame->linesize, Packet->data, format, w, h, 1) < 0) return;
    TQueuedFrame q{std::move(frame), LivePosition(), liveInterval_};
    Present(q);
    return;
  }
  if (video_.Send(Packet) < 0) {
    ++dropped_;
    return;
  }
  for (;;) {
    TAVFramePtr frame(av_frame_alloc());
    if (!frame || video_.Receive(frame.get()) < 0) return;
    TQueuedFrame q{std::move(frame), LivePosition(), liveInterval_};
    Present(q);
  }
}

void TMediaPlayer::TImpl::LiveStep() {
  TCaptureSource* capture = Capture();
  if (!capture || !liveStreaming_) {
    Idle(200000);
    return;
  }
  AVPacket* pkt = packet_.get();
  const int r = capture->ReadPacket(pkt);
  const int64_t now = SteadyNow();
  if (r == AVERROR(EAGAIN)) {
    if (now - lastFrameTick_ > int64_t{MediaCaptureStallMs()} * 10000) {
      LiveLost(AVERROR(ETIMEDOUT));
      return;
    }
    // Nothing yet: wait on the commands until the next frame is nearly due.
    const int64_t interval = liveInterval_ > 0 ? liveInterval_ : 333333;
    const int64_t due = lastFrameTick_ + interval - now;
    Idle(std::clamp<int64_t>(due / 10 - 2000, 1000, interval / 10));
    return;
  }
  if (r < 0) {
    if (r == AVERROR_EXIT) return;
    LiveLost(r);
    return;
  }
  lastFrameTick_ = now;
  liveReadTick_ = now;
  if (pkt->stream_index == 0 && mode_ == modeRunning) LiveFrame(pkt);
  av_packet_unref(pkt);
}
