// TMediaPlayer on the user-interface side: opening, the commands, and the readings that do not
// wait for the decode thread.
#include "platform/media/media_player.h"

#include <algorithm>
#include <chrono>

#include "platform/media/dvd_source.h"
#include "platform/media/media_player_impl.h"
#include "platform/media/media_settings.h"

namespace {

// A time-base tick or frame period in media time, truncated; 0 for an invalid rational.
int64_t RationalToMediaTime(int64_t Num, int64_t Den) {
  if (Num <= 0 || Den <= 0) return 0;
  return av_rescale_rnd(kMediaTimeUnitsPerSecond, Num, Den, AV_ROUND_DOWN);
}

// The first stream of Type that is not a cover picture, -1 when none.
int FirstStream(AVFormatContext* Context, AVMediaType Type) {
  for (unsigned i = 0; i < Context->nb_streams; ++i) {
    const AVStream* st = Context->streams[i];
    if (st->codecpar->codec_type == Type && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) return static_cast<int>(i);
  }
  return -1;
}

bool ValidTimeBase(AVRational Tb) { return Tb.num > 0 && Tb.den > 0; }

// Media time of a stream time, 0 for none; saturating instead of overflowing.
int64_t ToMediaTime(int64_t Value, AVRational Tb) {
  if (Value == AV_NOPTS_VALUE || !ValidTimeBase(Tb)) return 0;
  return av_rescale_q_rnd(Value, Tb, AVRational{1, static_cast<int>(kMediaTimeUnitsPerSecond)},
                          static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
}

}  // namespace

// --------------------------------------------------------------------------------------- opening

bool TMediaPlayer::TImpl::Open(std::unique_ptr<TMediaSource> Source, const TMediaPlayerOptions& Options) {
  Close();
  error_.clear();
  if (!Source) {
    error_ = "no source";
    return false;
  }
  std::string error;
  // A navigated source reads the player's clock on the decode thread, and may report at Open.
  Source->SetPlayerHooks(
      [this] {
        if (clockLive_) return clock_.Now();
        std::lock_guard<std::mutex> lock(mutex_);
        return posTime_;
      },
      [this](int32_t Code, intptr_t Param1, intptr_t Param2) { events_.Queue(Code, Param1, Param2); });
  if (!Source->Open(error)) {
    error_ = error;
    return false;
  }
  AVFormatContext* fmt = Source->Context();
  options_ = Options;

  // The first video stream, unless its frames are too big, its time base is no time base or it has
  // no decoder: then the source counts as having no video.
  videoIndex_ = FirstStream(fmt, AVMEDIA_TYPE_VIDEO);
  if (videoIndex_ >= 0) {
    AVStream* st = fmt->streams[videoIndex_];
    std::string why;
    if (!ValidTimeBase(st->time_base)) {
      why = "no time base";
    } else if (!MediaFrameSizeAllowed(st->codecpar->width, st->codecpar->height)) {
      why = "frame size " + std::to_string(st->codecpar->width) + " x " + std::to_string(st->codecpar->height) +
            " refused";
    } else if (!video_.Open(st, Options.DecoderThreads, why)) {
      // why says it
    }
    if (!video_.IsOpen()) {
      error_ = "video stream not used: " + why;
      videoIndex_ = -1;
    } else {
      videoTb_ = st->time_base;
    }
  }
  audioIndex_ = Options.Audio ? FirstStream(fmt, AVMEDIA_TYPE_AUDIO) : -1;
  if (audioIndex_ >= 0) {
    AVStream* st = fmt->streams[audioIndex_];
    std::string why;
    audioFormat_.Channels = 2;
    const int rate = st->codecpar->sample_rate;
    audioFormat_.SampleRate = rate >= 8000 && rate <= 192000 ? rate : 48000;
    audio_.SetOutput(audioFormat_);
    if (!ValidTimeBase(st->time_base)) {
      why = "no time base";
    } else if (!audio_.Open(st, 1, why)) {
      // why says it
    }
    if (!audio_.IsOpen()) {
      if (!error_.empty()) error_ += "; ";
      error_ += "audio stream not used: " + why;
      audioIndex_ = -1;
    } else {
      audioTb_ = st->time_base;
    }
  }
  if (videoIndex_ < 0 && audioIndex_ < 0) {
    if (error_.empty()) error_ = "no stream to play";
    video_.Reset();
    audio_.Reset();
    return false;
  }
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    if (static_cast<int>(i) != videoIndex_ && static_cast<int>(i) != audioIndex_) fmt->streams[i]->discard = AVDISCARD_ALL;
  }

  // Position 0 is the start of the video stream (of the audio stream without video).
  const int lead = videoIndex_ >= 0 ? videoIndex_ : audioIndex_;
  AVStream* leadStream = fmt->streams[lead];
  const AVRational leadTb = leadStream->time_base;
  if (leadStream->start_time != AV_NOPTS_VALUE) {
    originPts_ = leadStream->start_time;
  } else if (fmt->start_time != AV_NOPTS_VALUE) {
    originPts_ = av_rescale_q(fmt->start_time, AV_TIME_BASE_Q, leadTb);
  } else {
    originPts_ = 0;
  }
  originTime_ = ToMediaTime(originPts_, leadTb);

  // The time line.
  TMediaTimeline tl;
  const int64_t containerEnd =
      fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0
          ? av_rescale(fmt->duration, kMediaTimeUnitsPerSecond, AV_TIME_BASE) +
                (fmt->start_time != AV_NOPTS_VALUE ? av_rescale(fmt->start_time, kMediaTimeUnitsPerSecond, AV_TIME_BASE)
                                                   : 0)
          : 0;
  auto streamEnd = [&](int index) -> int64_t {
    AVStream* st = fmt->streams[index];
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
      const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
      return ToMediaTime(start, st->time_base) + ToMediaTime(st->duration, st->time_base) - originTime_;
    }
    return containerEnd > 0 ? containerEnd - originTime_ : 0;
  };
  int64_t duration = 0;
  if (videoIndex_ >= 0) {
    AVStream* st = fmt->streams[videoIndex_];
    if (Source->FrameAddressable() && st->nb_frames > 0) {
      tl.FrameFormat = true;
      tl.FrameNum = videoTb_.num;
      tl.FrameDen = videoTb_.den;
      tl.FrameCount = st->nb_frames;
      tl.AvgTimePerFrame = RationalToMediaTime(videoTb_.num, videoTb_.den);
      duration = tl.FrameTime(st->nb_frames);
    } else {
      tl.AvgTimePerFrame = RationalToMediaTime(st->avg_frame_rate.den, st->avg_frame_rate.num);
      duration = streamEnd(videoIndex_);
    }
    // Half a tick of a coarse time base is as close as the file can say where a frame starts.
    tl.Tolerance = std::max<int64_t>(10, (RationalToMediaTime(videoTb_.num, videoTb_.den) + 1) / 2);
    if (tl.AvgTimePerFrame > 0) tl.Tolerance = std::min(tl.Tolerance, std::max<int64_t>(10, tl.AvgTimePerFrame / 4));
  }
  if (audioIndex_ >= 0) duration = std::max(duration, streamEnd(audioIndex_));
  tl.Duration = std::max<int64_t>(0, duration);
  timeline_ = tl;
  format_ = mtfMediaTime;

  source_ = std::move(Source);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posTime_ = posValue_ = 0;
    posFormat_ = mtfMediaTime;
    commands_.clear();
  }
  state_ = 0;
  clockLive_ = false;
  completed_ = false;
  shown_ = dropped_ = 0;
  mode_ = modeStopped;
  needCue_ = true;
  failed_ = false;
  completeSent_ = false;
  shownValid_ = false;
  demuxEnded_ = videoEnded_ = videoDrainSent_ = audioEnded_ = audioDrainSent_ = false;
  sourceWaiting_ = sourceStopped_ = false;
  passBefore_ = INT64_MIN;
  readErrors_ = decodeErrors_ = 0;
  decodedUpTo_ = skipBefore_ = INT64_MIN;
  lastDuration_ = 0;
  pcm_.clear();
  pcmRead_ = 0;
  audioTimeKnown_ = audioRunning_ = false;
  typeWidth_ = typeHeight_ = 0;
  if (videoIndex_ >= 0) {
    const AVCodecParameters* par = fmt->streams[videoIndex_]->codecpar;
    typeWidth_ = par->width;
    typeHeight_ = par->height;
    sampleBuffer_.SetMediaType(MakeRGB24VideoType(par->width, par->height, timeline_.AvgTimePerFrame));
  }
  if (audioIndex_ >= 0) {
    sink_ = CreateAudioSink();
    if (!sink_->Start(audioFormat_)) {
      sink_ = std::make_unique<TSilentAudioSink>();
      sink_->Start(audioFormat_);
    }
  }
  packet_.reset(av_packet_alloc());
  audioFrame_.reset(av_frame_alloc());
  if (!packet_ || !audioFrame_) {
    error_ = "out of memory";
    Close();
    return false;
  }
  quit_ = false;
  clock_.Reset(mckMonotonic, 0, rate_.load());
  StartThread();
  open_ = true;
  return true;
}

void TMediaPlayer::TImpl::Close() {
  if (thread_) {
    quit_ = true;
    if (source_) source_->Interrupt();
    Post(cmdQuit);
    thread_->WaitFor();
    thread_.reset();
  }
  open_ = false;
  if (live_) LiveStop();
  live_ = false;
  deviceLost_ = false;
  liveRunStart_ = 0;
  liveBase_ = 0;
  videoQueue_.clear();
  audioPackets_.clear();
  pool_.clear();
  lastFrame_.reset();
  packet_.reset();
  audioFrame_.reset();
  pcm_.clear();
  video_.Reset();
  audio_.Reset();
  sink_.reset();
  source_.reset();
  videoIndex_ = audioIndex_ = -1;
  timeline_ = TMediaTimeline{};
  format_ = mtfMediaTime;
  state_ = 0;
  clockLive_ = false;
  completed_ = false;
  sampleBuffer_.Reset();
  presenter_.Reset();
  events_.Clear();
  clock_.Reset(mckMonotonic, 0, 1.0);
  std::lock_guard<std::mutex> lock(mutex_);
  commands_.clear();
  posTime_ = posValue_ = 0;
}

uint64_t TMediaPlayer::TImpl::Post(TCommandKind Kind, int64_t Arg1, int64_t Arg2, int64_t Arg3) {
  uint64_t seq;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seq = ++lastSeq_;
    commands_.push_back({Kind, seq, Arg1, Arg2, Arg3});
  }
  wake_.notify_all();
  return seq;
}

bool TMediaPlayer::TImpl::WaitDone(uint64_t Seq, uint32_t TimeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return done_.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [&] { return doneSeq_ >= Seq; });
}

int64_t TMediaPlayer::TImpl::StoredPosition(TMediaTimeFormat Format) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (posFormat_ == Format) return posValue_;
  return timeline_.FromMediaTime(posTime_, Format);
}

// ----------------------------------------------------------------------------------- the player

TMediaPlayer::TMediaPlayer() : impl_(std::make_unique<TImpl>()) {}
TMediaPlayer::~TMediaPlayer() { impl_->Close(); }

bool TMediaPlayer::OpenFile(const std::string& FileName, const TMediaPlayerOptions& Options) {
  if (FileName.empty()) {
    impl_->Close();
    impl_->error_ = "no file name";
    return false;
  }
  return impl_->Open(std::make_unique<TFormatSource>(FileName), Options);
}

bool TMediaPlayer::OpenMemory(const void* Data, size_t Size, const TMediaPlayerOptions& Options) {
  return impl_->Open(std::make_unique<TMemorySource>(Data, Size), Options);
}

bool TMediaPlayer::Open(std::unique_ptr<TMediaSource> Source, const TMediaPlayerOptions& Options) {
  return impl_->Open(std::move(Source), Options);
}

bool TMediaPlayer::OpenDvd(const std::string& Path, const TMediaPlayerOptions& Options) {
  return impl_->Open(std::make_unique<TDvdSource>(Path), Options);
}

void TMediaPlayer::DvdCommand(TDvdCommandKind Kind, int64_t Arg1, int64_t Arg2) {
  TImpl& d = *impl_;
  if (!d.open_ || !dynamic_cast<TDvdSource*>(d.source_.get())) return;
  d.WaitDone(d.Post(TImpl::cmdDvd, Kind, Arg1, Arg2), MediaSettleBoundMs());
}

TDvdLocation TMediaPlayer::DvdLocation() const {
  const TImpl& d = *impl_;
  if (!d.open_) return {};
  const auto* dvd = dynamic_cast<const TDvdSource*>(d.source_.get());
  return dvd ? dvd->Location() : TDvdLocation{};
}

bool TMediaPlayer::OpenCapture(const std::string& DeviceId, const TMediaPlayerOptions& Options) {
  return impl_->OpenLive(std::make_unique<TCaptureSource>(DeviceId), Options);
}

bool TMediaPlayer::IsLive() const { return impl_->open_ && impl_->live_; }
bool TMediaPlayer::DeviceLost() const { return impl_->open_ && impl_->deviceLost_; }

TCaptureDeviceInfo TMediaPlayer::CaptureDevice() const {
  TCaptureSource* capture = impl_->open_ ? impl_->Capture() : nullptr;
  return capture ? capture->Info() : TCaptureDeviceInfo{};
}

void TMediaPlayer::SetCaptureFormat(const TCaptureRequest& Request) {
  TCaptureSource* capture = impl_->open_ ? impl_->Capture() : nullptr;
  if (!capture) return;
  capture->SetRequest(Request);
  impl_->WaitDone(impl_->Post(TImpl::cmdCaptureFormat), MediaSettleBoundMs());
}

bool TMediaPlayer::CaptureFormat(TCaptureCapability& Capability, int32_t& Width, int32_t& Height,
                                 int64_t& FrameInterval) const {
  TCaptureSource* capture = impl_->open_ ? impl_->Capture() : nullptr;
  if (!capture) return false;
  Capability = capture->Chosen(Width, Height);
  FrameInterval = capture->FrameInterval();
  return Width > 0 && Height > 0;
}

bool TMediaPlayer::SelectCaptureInput(int32_t Index) {
  TCaptureSource* capture = impl_->open_ ? impl_->Capture() : nullptr;
  if (!capture || Index < 0) return false;
  const TCaptureDeviceInfo info = capture->Info();
  int32_t videoInputs = 0;
  for (const TCaptureInput& i : info.Inputs) videoInputs += i.Audio ? 0 : 1;
  if (Index >= videoInputs) return false;
  impl_->WaitDone(impl_->Post(TImpl::cmdCaptureInput, Index), MediaSettleBoundMs());
  return capture->Control() && capture->Control()->CurrentInput() == Index;
}

bool TMediaPlayer::SelectCaptureAudio(int32_t Index) {
  TCaptureSource* capture = impl_->open_ ? impl_->Capture() : nullptr;
  return capture && capture->Control() && capture->Control()->SelectAudio(Index);
}

void TMediaPlayer::Close() { impl_->Close(); }
bool TMediaPlayer::IsOpen() const { return impl_->open_; }
std::string TMediaPlayer::LastError() const { return impl_->error_; }
bool TMediaPlayer::HasVideo() const { return impl_->open_ && impl_->videoIndex_ >= 0; }
bool TMediaPlayer::HasAudio() const { return impl_->open_ && impl_->audioIndex_ >= 0; }

int32_t TMediaPlayer::State() const { return impl_->state_.load(); }

void TMediaPlayer::Run() {
  if (!impl_->open_) return;
  // A device that went away runs no more.
  if (impl_->live_ && impl_->deviceLost_) return;
  impl_->state_ = 2;
  impl_->Post(TImpl::cmdRun);
}

void TMediaPlayer::Pause() {
  if (!impl_->open_) return;
  if (impl_->live_) {
    // A live source cues nothing: Pause returns once the decode thread has taken the command (the
    // running time halted, no frame shown after it); the device reads on and its frames are dropped.
    if (!impl_->deviceLost_) {
      impl_->state_ = 1;
      impl_->WaitDone(impl_->Post(TImpl::cmdPause), MediaSettleBoundMs());
    }
    return;
  }
  impl_->state_ = 1;
  impl_->WaitDone(impl_->Post(TImpl::cmdPause), MediaSettleBoundMs());
}

void TMediaPlayer::Stop() {
  if (!impl_->open_) return;
  impl_->state_ = 0;
  impl_->WaitDone(impl_->Post(TImpl::cmdStop), MediaSettleBoundMs());
}

void TMediaPlayer::StopWhenReady() {
  if (!impl_->open_) return;
  Pause();
  Stop();
}

bool TMediaPlayer::IsFormatSupported(TMediaTimeFormat Format) const {
  return impl_->open_ && impl_->timeline_.Supports(Format);
}

bool TMediaPlayer::SetTimeFormat(TMediaTimeFormat Format) {
  if (!IsFormatSupported(Format)) return false;
  impl_->format_ = Format;
  return true;
}

TMediaTimeFormat TMediaPlayer::TimeFormat() const { return impl_->format_; }

int64_t TMediaPlayer::Duration() const {
  // A disc plays as its navigation goes: it has no duration.
  if (!impl_->open_ || !impl_->source_->CanSeek()) return 0;
  return impl_->timeline_.DurationIn(impl_->format_);
}

int64_t TMediaPlayer::Position() const {
  TImpl& d = *impl_;
  if (!d.open_) return 0;
  if (d.live_) return d.timeline_.FromMediaTime(d.LivePosition(), d.format_);
  if (d.state_ == 2 && d.clockLive_) {
    if (d.completed_ && d.source_->CanSeek()) return d.timeline_.DurationIn(d.format_);
    const int64_t t = std::clamp<int64_t>(d.clock_.Now(), 0, d.timeline_.Duration);
    return d.timeline_.FromMediaTime(t, d.format_);
  }
  return d.StoredPosition(d.format_);
}

void TMediaPlayer::SetPosition(int64_t Position) {
  TImpl& d = *impl_;
  if (!d.open_ || d.live_ || !d.source_->CanSeek()) return;
  const int64_t value = std::max<int64_t>(0, Position);
  const int64_t t = d.timeline_.ToMediaTime(value, d.format_);
  {
    std::lock_guard<std::mutex> lock(d.mutex_);
    d.posTime_ = t;
    d.posValue_ = value;
    d.posFormat_ = d.format_;
  }
  d.completed_ = false;
  d.clockLive_ = false;
  const uint64_t seq = d.Post(TImpl::cmdSeek, t);
  if (d.state_ != 0) d.WaitDone(seq, MediaSettleBoundMs());
}

int64_t TMediaPlayer::AvgTimePerFrame() const { return impl_->open_ ? impl_->timeline_.AvgTimePerFrame : 0; }
const TMediaTimeline& TMediaPlayer::Timeline() const { return impl_->timeline_; }

int64_t TMediaPlayer::MeasureFrameDuration(int32_t MaxFrames, int64_t MaxTime) {
  TImpl& d = *impl_;
  if (!d.open_ || d.videoIndex_ < 0) return 0;
  const uint64_t seq = d.Post(TImpl::cmdMeasure, MaxFrames, MaxTime);
  if (!d.WaitDone(seq, MediaSettleBoundMs())) return 0;
  std::lock_guard<std::mutex> lock(d.mutex_);
  return d.measured_;
}

void TMediaPlayer::SetVolume(int32_t Value) { impl_->volume_ = std::clamp(Value, -10000, 0); }
int32_t TMediaPlayer::Volume() const { return impl_->volume_; }
void TMediaPlayer::SetBalance(int32_t Value) { impl_->balance_ = std::clamp(Value, -10000, 10000); }
int32_t TMediaPlayer::Balance() const { return impl_->balance_; }

bool TMediaPlayer::SetRate(double Rate) {
  if (!(Rate > 0)) return false;
  impl_->rate_ = Rate;
  if (impl_->open_) impl_->Post(TImpl::cmdRate);
  return true;
}

double TMediaPlayer::Rate() const { return impl_->rate_; }
int64_t TMediaPlayer::FramesShown() const { return impl_->shown_; }
int64_t TMediaPlayer::FramesDropped() const { return impl_->dropped_; }
TMediaSampleBuffer& TMediaPlayer::SampleBuffer() { return impl_->sampleBuffer_; }
TVideoPresenter& TMediaPlayer::Presenter() { return impl_->presenter_; }
TMediaEventQueue& TMediaPlayer::Events() { return impl_->events_; }
TAudioSink* TMediaPlayer::AudioSink() const { return impl_->sink_.get(); }
