// The decode thread of TMediaPlayer: it owns the source, the decoders and the queues, runs the
// commands of the user-interface side in order, cues frames exactly, and plays on a clock in
// between.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/media/dvd_source.h"
#include "platform/media/media_player_impl.h"
#include "platform/media/media_settings.h"
#include "platform/media/video_sample.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

// Consecutive unreadable packets or undecodable frames before the stream counts as failed.
constexpr int kMaxConsecutiveErrors = 64;
// Decoded frames waiting to be shown while playing.
constexpr size_t kMaxQueuedFrames = 8;
// Audio packets kept while the video is read ahead; older ones go first.
constexpr size_t kMaxAudioPackets = 4096;
// How far behind a target a seek lands when the demuxer landed after it, at first (doubled on
// every further try).
constexpr int64_t kFirstBackoff = kMediaTimeUnitsPerSecond;
// Without a key-frame index, a cue steps forward instead of seeking for targets this close.
constexpr int64_t kStepWithoutIndex = kMediaTimeUnitsPerSecond;

bool ValidTb(AVRational Tb) { return Tb.num > 0 && Tb.den > 0; }

}  // namespace

class TMediaPlayer::TImpl::TDecodeThread : public TThread {
 public:
  explicit TDecodeThread(TImpl& Owner) : TThread(true), owner_(Owner) {}

 protected:
  void Execute() override {
    try {
      owner_.ThreadMain();
    } catch (const std::exception& e) {
      OutputDebugString(std::string("media player: ") + e.what());
    } catch (...) {
      OutputDebugString("media player: unknown failure");
    }
  }

 private:
  TImpl& owner_;
};

TMediaPlayer::TImpl::TImpl() = default;
TMediaPlayer::TImpl::~TImpl() { Close(); }

void TMediaPlayer::TImpl::StartThread() {
  thread_ = std::make_unique<TDecodeThread>(*this);
  thread_->Start();
}

// -------------------------------------------------------------------------------------- commands

bool TMediaPlayer::TImpl::TakeCommand(TCommand& Command, int64_t WaitUs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (commands_.empty() && WaitUs > 0) {
    wake_.wait_for(lock, std::chrono::microseconds(WaitUs), [&] { return !commands_.empty(); });
  }
  if (commands_.empty()) return false;
  Command = commands_.front();
  commands_.pop_front();
  return true;
}

void TMediaPlayer::TImpl::Finish(uint64_t Seq) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    doneSeq_ = std::max(doneSeq_, Seq);
  }
  done_.notify_all();
}

void TMediaPlayer::TImpl::Idle(int64_t WaitUs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (commands_.empty() && WaitUs > 0) {
    wake_.wait_for(lock, std::chrono::microseconds(WaitUs), [&] { return !commands_.empty(); });
  }
}

void TMediaPlayer::TImpl::ThreadMain() {
  for (;;) {
    TCommand command{};
    const bool playing = live_ ? liveStreaming_ : mode_ == modeRunning && !failed_;
    if (TakeCommand(command, playing ? 0 : 200000)) {
      if (command.kind == cmdQuit) {
        Finish(command.seq);
        return;
      }
      Handle(command);
      Finish(command.seq);
      continue;
    }
    if (Quitting()) return;
    if (live_) {
      if (liveStreaming_) LiveStep();
      continue;
    }
    if (mode_ == modeRunning && !failed_) RunStep();
  }
}

void TMediaPlayer::TImpl::Handle(const TCommand& Command) {
  if (live_) {
    HandleLive(Command);
    return;
  }
  switch (Command.kind) {
    case cmdPause:
      if (mode_ == modeRunning) Halt();
      mode_ = modePaused;
      state_ = 1;
      {
        int64_t target;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          target = posTime_;
        }
        if (needCue_ || !shownValid_) Cue(target);
      }
      events_.Queue(EC_PAUSED, 0);
      break;
    case cmdStop:
      if (mode_ == modeRunning) Halt();
      mode_ = modeStopped;
      state_ = 0;
      break;
    case cmdRun: {
      if (mode_ == modeRunning) {
        // Running at the end of the streams: the end is reported again.
        if (completed_) events_.Queue(EC_COMPLETE, 0);
        break;
      }
      int64_t target;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        target = posTime_;
      }
      if (needCue_ || !shownValid_) Cue(target);
      mode_ = modeRunning;
      state_ = 2;
      Restart(target);
      break;
    }
    case cmdSeek: {
      const int64_t target = Command.arg1;
      failed_ = false;
      if (mode_ == modeRunning) {
        clock_.Freeze();
        clockLive_ = false;
        Cue(target);
        Restart(target);
      } else if (mode_ == modePaused) {
        Cue(target);
      } else {
        needCue_ = true;
      }
      break;
    }
    case cmdMeasure: {
      const bool wasRunning = mode_ == modeRunning;
      if (wasRunning) Halt();
      const int64_t measured = Measure(static_cast<int32_t>(Command.arg1), Command.arg2);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        measured_ = measured;
      }
      if (wasRunning) {
        int64_t target;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          target = posTime_;
        }
        Cue(target);
        Restart(target);
      }
      break;
    }
    case cmdRate:
      if (mode_ == modeRunning) {
        Halt();
        int64_t target;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          target = posTime_;
        }
        Restart(target);
      }
      break;
    case cmdDvd:
      HandleDvd(Command);
      break;
    case cmdCaptureFormat:
    case cmdCaptureInput:
    case cmdQuit: break;
  }
}

void TMediaPlayer::TImpl::Halt() {
  clock_.Freeze();
  // A disc has no duration to stand at when it ends: the clock says where it is.
  const int64_t reading = completed_ && source_->CanSeek() ? timeline_.Duration
                                                           : std::clamp<int64_t>(clock_.Now(), 0, timeline_.Duration);
  clockLive_ = false;
  if (sink_) sink_->SetPaused(true);
  audioRunning_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posTime_ = reading;
    posValue_ = reading;
    posFormat_ = mtfMediaTime;
  }
  // The frame shown is the one at the clock's reading, give or take the frames not yet due.
  needCue_ = !shownValid_ || reading < shownTime_ || reading >= shownTime_ + std::max<int64_t>(shownDuration_, 1);
}

void TMediaPlayer::TImpl::Fail(int Error) {
  OutputDebugString("media player: playback failed: " + FFmpegErrorText(Error));
  failed_ = true;
  if (mode_ == modeRunning) Halt();
  mode_ = modePaused;
  state_ = 1;
  events_.Queue(EC_ERRORABORT, Error);
}

// ------------------------------------------------------------------------------- reading packets

int64_t TMediaPlayer::TImpl::StreamTime(int64_t Timestamp, AVRational Tb) const {
  if (Timestamp == AV_NOPTS_VALUE || !ValidTb(Tb)) return INT64_MIN;
  return av_rescale_q_rnd(Timestamp, Tb, AVRational{1, static_cast<int>(kMediaTimeUnitsPerSecond)},
                          static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX)) -
         originTime_;
}

int64_t TMediaPlayer::TImpl::PacketDuration(const AVPacket* Packet, AVRational Tb) const {
  if (Packet->duration <= 0 || !ValidTb(Tb)) return 0;
  return av_rescale_q(Packet->duration, Tb, AVRational{1, static_cast<int>(kMediaTimeUnitsPerSecond)});
}

bool TMediaPlayer::TImpl::ReadOne() {
  if (demuxEnded_) return false;
  if (Quitting()) {
    demuxEnded_ = true;
    return false;
  }
  AVPacket* pkt = packet_.get();
  const int r = source_->ReadPacket(pkt);
  sourceWaiting_ = r == AVERROR(EAGAIN);
  if (r < 0) {
    if (r == AVERROR(EAGAIN)) return true;
    if (r == kSourceDrain) {
      DrainVideo();
      return true;
    }
    if (r == kSourceStop) {
      // The source has said why (an event of its own) and is read no more: what the decoder holds
      // still plays, and the end is no completion.
      sourceStopped_ = true;
      demuxEnded_ = true;
      if (videoIndex_ >= 0 && !videoDrainSent_) {
        video_.Send(nullptr);
        videoDrainSent_ = true;
      }
      return false;
    }
    if (r == AVERROR_EOF || r == AVERROR_EXIT || source_->AtEnd() || ++readErrors_ > kMaxConsecutiveErrors) {
      if (r != AVERROR_EOF && r != AVERROR_EXIT && !source_->AtEnd()) {
        Fail(r);
        return false;
      }
      // The end of the data (also of a file cut short): the decoders give what they hold.
      demuxEnded_ = true;
      if (videoIndex_ >= 0 && !videoDrainSent_) {
        video_.Send(nullptr);
        videoDrainSent_ = true;
      }
      return false;
    }
    return true;
  }
  readErrors_ = 0;
  if (pkt->stream_index == videoIndex_) {
    DecodeVideoPacket(pkt);
  } else if (pkt->stream_index == audioIndex_ && AudioActive()) {
    if (audioPackets_.size() >= kMaxAudioPackets) audioPackets_.pop_front();
    TAVPacketPtr copy(av_packet_alloc());
    if (copy) {
      av_packet_move_ref(copy.get(), pkt);
      audioPackets_.push_back(std::move(copy));
    }
  }
  av_packet_unref(pkt);
  return true;
}

void TMediaPlayer::TImpl::DecodeVideoPacket(AVPacket* Packet) {
  // Packets that end before the target hold frames nobody will see: unreferenced ones need not
  // be decoded.
  bool skip = false;
  if (skipBefore_ != INT64_MIN && Packet->pts != AV_NOPTS_VALUE) {
    const int64_t t = StreamTime(Packet->pts, videoTb_);
    const int64_t d = std::max<int64_t>(PacketDuration(Packet, videoTb_), 1);
    skip = t != INT64_MIN && t + d + timeline_.Tolerance <= skipBefore_;
  }
  video_.SetSkipNonRef(skip);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int r = video_.Send(Packet);
    if (r == AVERROR(EAGAIN)) {
      ReceiveVideo();
      continue;
    }
    if (r < 0 && r != AVERROR_EOF) {
      if (++decodeErrors_ > kMaxConsecutiveErrors) Fail(r);
    }
    break;
  }
  ReceiveVideo();
}

void TMediaPlayer::TImpl::ReceiveVideo() {
  for (;;) {
    TAVFramePtr frame(av_frame_alloc());
    if (!frame) return;
    const int r = video_.Receive(frame.get());
    if (r == AVERROR(EAGAIN)) return;
    if (r == AVERROR_EOF) {
      videoEnded_ = true;
      return;
    }
    if (r < 0) {
      if (++decodeErrors_ > kMaxConsecutiveErrors) Fail(r);
      return;
    }
    decodeErrors_ = 0;
    int64_t t = StreamTime(frame->best_effort_timestamp, videoTb_);
    int64_t d = frame->pkt_duration > 0
                    ? av_rescale_q(frame->pkt_duration, videoTb_, AVRational{1, static_cast<int>(kMediaTimeUnitsPerSecond)})
                    : timeline_.AvgTimePerFrame;
    if (t == INT64_MIN) t = decodedUpTo_ == INT64_MIN ? 0 : decodedUpTo_ + std::max<int64_t>(lastDuration_, 1);
    // Frames never go back in time on the way out.
    if (decodedUpTo_ != INT64_MIN && t <= decodedUpTo_ && !videoQueue_.empty()) t = decodedUpTo_ + 1;
    decodedUpTo_ = t;
    lastDuration_ = d;
    videoQueue_.push_back({std::move(frame), t, d});
  }
}

bool TMediaPlayer::TImpl::NextVideoFrame(TQueuedFrame& Frame) {
  for (int guard = 0; guard < 1 << 20; ++guard) {
    if (!videoQueue_.empty()) {
      Frame = std::move(videoQueue_.front());
      videoQueue_.pop_front();
      // The duration of a frame is the distance to the next one when the stream does not say.
      if (Frame.duration <= 0 && !videoQueue_.empty()) Frame.duration = videoQueue_.front().time - Frame.time;
      return true;
    }
    if (videoEnded_ || failed_ || videoIndex_ < 0 || Quitting()) return false;
    if (ReadOne()) {
      if (sourceWaiting_) return false;
    } else {
      if (failed_) return false;
      if (demuxEnded_) {
        ReceiveVideo();
        if (videoQueue_.empty() && !videoEnded_) {
          // A decoder that neither gives frames nor says it has ended after draining is done.
          videoEnded_ = true;
        }
      }
    }
  }
  return false;
}

void TMediaPlayer::TImpl::ResetStreams() {
  videoQueue_.clear();
  audioPackets_.clear();
  video_.Flush();
  audio_.Flush();
  demuxEnded_ = videoEnded_ = videoDrainSent_ = audioEnded_ = audioDrainSent_ = false;
  readErrors_ = decodeErrors_ = 0;
  decodedUpTo_ = INT64_MIN;
  lastDuration_ = 0;
  pcm_.clear();
  pcmRead_ = 0;
  audioTimeKnown_ = false;
  shownValid_ = false;
}

void TMediaPlayer::TImpl::SeekTo(int64_t Target, int64_t Backoff) {
  ResetStreams();
  const int lead = videoIndex_ >= 0 ? videoIndex_ : audioIndex_;
  const AVRational tb = lead == videoIndex_ ? videoTb_ : audioTb_;
  const int64_t goal = Target - Backoff;
  int64_t ts = INT64_MIN;
  if (goal > 0 && ValidTb(tb)) {
    ts = av_rescale_q_rnd(goal + originTime_, AVRational{1, static_cast<int>(kMediaTimeUnitsPerSecond)}, tb,
                          static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
  } else {
    ts = originPts_ == AV_NOPTS_VALUE ? 0 : std::min<int64_t>(originPts_, 0);
  }
  int r = source_->SeekKeyFrame(lead, ts);
  if (r < 0) {
    // From the start any demuxer reaches its data; decoding forward finds the target.
    r = source_->SeekKeyFrame(lead, INT64_MIN);
  }
  if (r < 0) OutputDebugString("media player: seek failed: " + FFmpegErrorText(r));
  skipBefore_ = Target;
}

bool TMediaPlayer::TImpl::CanStepTo(int64_t Target) const {
  if (decodedUpTo_ == INT64_MIN || demuxEnded_ || videoEnded_) return false;
  // The frames already decoded are past the target: only a seek goes back.
  if (!videoQueue_.empty() ? videoQueue_.front().time > Target + timeline_.Tolerance
                           : (shownValid_ ? shownTime_ > Target + timeline_.Tolerance : decodedUpTo_ > Target))
    return false;
  AVStream* st = source_->Context()->streams[videoIndex_];
  if (avformat_index_get_entries_count(st) <= 0) return Target - decodedUpTo_ <= kStepWithoutIndex;
  const int64_t ts = av_rescale_q_rnd(Target + originTime_ + timeline_.Tolerance,
                                      AVRational{1, static_cast<int>(kMediaTimeUnitsPerSecond)}, videoTb_,
                                      static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
  const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(st, ts, AVSEEK_FLAG_BACKWARD);
  if (!key) return true;
  // The last key frame before the target was decoded already: decoding on gets there.
  return StreamTime(key->timestamp, videoTb_) <= decodedUpTo_;
}

// ------------------------------------------------------------------------------------------ cue

bool TMediaPlayer::TImpl::Cue(int64_t Target) {
  needCue_ = false;
  // A source that cannot seek shows what it gives next.
  if (!source_->CanSeek()) return shownValid_ || ShowNext();
  if (videoIndex_ < 0) {
    if (!CanStepTo(Target)) SeekTo(Target, 0);
    return true;
  }
  const int64_t tol = timeline_.Tolerance;
  // The frame on show already holds the target.
  if (shownValid_ && shownTime_ - tol <= Target &&
      (Target < shownTime_ + shownDuration_ - tol || (videoEnded_ && videoQueue_.empty()))) {
    return true;
  }
  int64_t backoff = 0;
  if (!CanStepTo(Target)) SeekTo(Target, 0);
  TQueuedFrame candidate;
  bool have = false;
  // The demuxer may land after the target, or on data that does not decode: then it starts
  // further back, until it starts from the beginning.
  for (int attempt = 0; attempt < 16 && !have && !Quitting(); ++attempt) {
    if (attempt > 0) {
      if (backoff > Target) break;
      backoff = backoff == 0 ? kFirstBackoff : backoff * 2;
      SeekTo(Target, std::min(backoff, Target + 1));
    }
    skipBefore_ = Target;
    for (int tries = 0; tries < 64 && !Quitting(); ++tries) {
      TQueuedFrame f;
      if (!NextVideoFrame(f)) break;
      if (f.time - tol <= Target) {
        candidate = std::move(f);
        have = true;
        // The frame's interval holds the target: no need to look at the next one.
        if (candidate.duration > 0 && Target < candidate.time + candidate.duration - tol) break;
        tries = 0;
        continue;
      }
      if (!have) {
        if (backoff > Target || Target <= 0) {
          // Before the first frame: the first frame.
          candidate = std::move(f);
          have = true;
        }
        break;
      }
      // f is the next frame: it stays for playing on.
      videoQueue_.push_front(std::move(f));
      break;
    }
  }
  skipBefore_ = INT64_MIN;
  video_.SetSkipNonRef(false);
  if (!have) {
    if (shownValid_) return true;  // past the end: the last frame stays
    return false;
  }
  // Frames of the last candidate are already decoded; its interval ends at the next frame's start.
  if (candidate.duration <= 0 && !videoQueue_.empty()) candidate.duration = videoQueue_.front().time - candidate.time;
  Present(candidate);
  clock_.SetShownTime(Target);
  return true;
}

int64_t TMediaPlayer::TImpl::Measure(int32_t MaxFrames, int64_t MaxTime) {
  int64_t target;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    target = posTime_;
  }
  if (videoIndex_ < 0 || !source_->CanSeek()) return 0;
  SeekTo(target, 0);
  skipBefore_ = INT64_MIN;
  int64_t first = INT64_MIN, result = 0;
  for (int32_t i = 0; i < std::max(MaxFrames, 2) && !Quitting(); ++i) {
    TQueuedFrame f;
    if (!NextVideoFrame(f)) break;
    if (first == INT64_MIN) {
      first = f.time;
    } else if (f.time != first) {
      result = std::abs(f.time - first);
      break;
    }
    if (f.time - first > MaxTime) break;
  }
  // The decoder has moved on: the next cue seeks.
  ResetStreams();
  decodedUpTo_ = INT64_MIN;
  needCue_ = true;
  if (failed_) failed_ = false;
  // A paused player shows the same frame afterwards; the decoder is brought back to it.
  if (mode_ == modePaused) Cue(target);
  return result;
}

// ------------------------------------------------------------------------------------- presenting

std::shared_ptr<TVideoSample> TMediaPlayer::TImpl::AcquireSample(int32_t Width, int32_t Height) {
  for (auto& s : pool_) {
    if (s.use_count() == 1 && s->Width() == Width && s->Height() == Height) return s;
  }
  auto sample = std::make_shared<TVideoSample>(Width, Height);
  if (pool_.size() >= 4) pool_.erase(std::remove_if(pool_.begin(), pool_.end(), [](const auto& p) { return p.use_count() == 1; }),
                                      pool_.end());
  pool_.push_back(sample);
  return sample;
}

void TMediaPlayer::TImpl::Present(TQueuedFrame& Frame, bool Redraw) {
  shownValid_ = true;
  shownTime_ = Frame.time;
  shownDuration_ = Frame.duration;
  if (!Redraw) {
    ++shown_;
    source_->FrameShown(Frame.time);
    // A navigated source may draw the frame on screen again (a button is selected).
    if (!source_->CanSeek() && Frame.frame) {
      if (!lastFrame_) lastFrame_.reset(av_frame_alloc());
      if (lastFrame_) {
        av_frame_unref(lastFrame_.get());
        if (av_frame_ref(lastFrame_.get(), Frame.frame.get()) < 0) av_frame_unref(lastFrame_.get());
      }
    }
  }
  if (!options_.Frames || !Frame.frame) return;
  const AVFrame* f = Frame.frame.get();
  if (f->width != typeWidth_ || f->height != typeHeight_) {
    if (!MediaFrameSizeAllowed(f->width, f->height)) return;
    typeWidth_ = f->width;
    typeHeight_ = f->height;
    sampleBuffer_.SetMediaType(MakeRGB24VideoType(typeWidth_, typeHeight_, timeline_.AvgTimePerFrame));
    events_.Queue(EC_VIDEO_SIZE_CHANGED, (static_cast<intptr_t>(typeHeight_ & 0xFFFF) << 16) | (typeWidth_ & 0xFFFF));
  }
  if (!MediaFrameSizeAllowed(f->width, f->height)) return;
  std::shared_ptr<TVideoSample> sample;
  try {
    sample = AcquireSample(f->width, f->height);
  } catch (const std::bad_alloc&) {
    return;
  }
  if (!video_.Convert(f, *sample)) return;
  sample->Time = Frame.time;
  source_->Overlay(*sample);
  sample->Duration = Frame.duration;
  sample->ReadTick = liveReadTick_;
  sample->DeliverTick =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count() * 10;
  sampleBuffer_.Deliver(sample);
  presenter_.Present(sample);
}

// ---------------------------------------------------------------------------------------- playing

bool TMediaPlayer::TImpl::VideoFrameDue() const {
  if (!videoQueue_.empty()) return videoQueue_.front().time <= clock_.Now() + timeline_.Tolerance;
  // None decoded ahead (a decoder fills its pipeline first): the next frame is due once the last
  // one decoded has had its time, unless the source has nothing to read yet (a disc's still).
  if (videoIndex_ < 0 || videoEnded_ || sourceWaiting_ || decodedUpTo_ == INT64_MIN) return false;
  return decodedUpTo_ + std::max<int64_t>(lastDuration_, 1) <= clock_.Now() + timeline_.Tolerance;
}

bool TMediaPlayer::TImpl::AudioActive() const {
  return audioIndex_ >= 0 && sink_ && rate_.load() == 1.0 && options_.Clock != mcsNone;
}

void TMediaPlayer::TImpl::Restart(int64_t Target) {
  completed_ = false;
  completeSent_ = false;
  runStart_ = Target;
  const bool audio = AudioActive() && !sink_->Failed();
  TMediaClockKind kind = mckMonotonic;
  switch (options_.Clock) {
    case mcsNone: kind = mckNone; break;
    case mcsMonotonic: kind = mckMonotonic; break;
    case mcsAudio: kind = audio ? mckAudio : mckNone; break;
    case mcsDefault: kind = audio ? mckAudio : mckMonotonic; break;
  }
  if (sink_) {
    sink_->SetPaused(true);
    sink_->Flush();
  }
  audioRunning_ = audio;
  if (audio) AlignAudio(Target);
  clock_.Reset(kind, Target, rate_.load(), sink_.get(), audioFormat_.SampleRate);
  if (audio && audioEnded_ && pcm_.empty()) clock_.SetAudioFinished();
  clock_.Start();
  if (audio) sink_->SetPaused(false);
  clockLive_ = true;
}

void TMediaPlayer::TImpl::RunStep() {
  // Audio first: the sink must never starve.
  if (audioRunning_) {
    if (sink_->Failed()) {
      // The device broke down: the rest plays on the monotonic clock without sound.
      const int64_t now = clock_.Now();
      audioRunning_ = false;
      clock_.Reset(options_.Clock == mcsNone ? mckNone : mckMonotonic, now, rate_.load());
      clock_.Start();
    } else {
      FeedAudio();
    }
  }
  const bool noClock = clock_.Kind() == mckNone;
  // Keep a few frames decoded ahead.
  while (videoIndex_ >= 0 && videoQueue_.size() < 2 && !videoEnded_ && !failed_ && !Quitting()) {
    if (!ReadOne()) {
      if (demuxEnded_) ReceiveVideo();
      if (demuxEnded_ && videoQueue_.empty() && !videoEnded_) videoEnded_ = true;
      break;
    }
    if (sourceWaiting_) break;
    if (audioRunning_ && videoQueue_.size() >= kMaxQueuedFrames) break;
  }
  if (failed_) return;
  if (!videoQueue_.empty()) {
    TQueuedFrame& next = videoQueue_.front();
    if (next.duration <= 0 && videoQueue_.size() > 1) next.duration = videoQueue_[1].time - next.time;
    const int64_t now = noClock ? next.time : clock_.Now();
    if (PassOver(next)) {
      videoQueue_.pop_front();
      return;
    }
    if (next.time <= now + timeline_.Tolerance) {
      TQueuedFrame f = std::move(next);
      videoQueue_.pop_front();
      const int64_t dur = f.duration > 0 ? f.duration : timeline_.AvgTimePerFrame;
      if (!noClock && dur > 0 && now - f.time > dur && !videoQueue_.empty()) {
        ++dropped_;
        shownValid_ = false;
      } else {
        Present(f);
        if (noClock) clock_.SetShownTime(f.time);
      }
      return;
    }
    const int64_t waitUs = std::clamp<int64_t>((next.time - now) / 10, 100, 10000);
    Idle(audioRunning_ ? std::min<int64_t>(waitUs, 5000) : waitUs);
    return;
  }
  // No frame left: the end once the sound has played out too.
  bool audioDone = true;
  if (audioRunning_) {
    audioDone = audioEnded_ && pcmRead_ * audioFormat_.Channels >= pcm_.size() &&
                sink_->PlayedFrames() >= sink_->WrittenFrames();
  }
  const bool videoDone = videoIndex_ < 0 || videoEnded_;
  if (videoDone && audioDone && (audioIndex_ < 0 || !audioRunning_ || audioEnded_)) {
    if (!completeSent_) {
      completeSent_ = true;
      if (!sourceStopped_) {
        completed_ = true;
        events_.Queue(EC_COMPLETE, 0);
      }
    }
    Idle(50000);
    return;
  }
  if (videoIndex_ < 0 && !demuxEnded_) {
    ReadOne();
    return;
  }
  Idle(5000);
}

// ------------------------------------------------------------------------------------------ audio

void TMediaPlayer::TImpl::DecodeAudio(const AVPacket* Packet) {
  if (audio_.Send(Packet) < 0 && Packet) return;
  for (;;) {
    const int r = audio_.Receive(audioFrame_.get());
    if (r == AVERROR_EOF) {
      audioEnded_ = true;
      return;
    }
    if (r < 0) return;
    const int64_t t = StreamTime(audioFrame_->best_effort_timestamp, audioTb_);
    scratch_.clear();
    const int64_t n = audio_.Convert(audioFrame_.get(), scratch_);
    av_frame_unref(audioFrame_.get());
    if (n <= 0) continue;
    const size_t ch = static_cast<size_t>(audioFormat_.Channels);
    if (!audioTimeKnown_) {
      pcmStart_ = t == INT64_MIN ? runStart_ : t;
      audioTimeKnown_ = true;
      pcm_.clear();
      pcmRead_ = 0;
    } else if (t != INT64_MIN) {
      // A gap in the stamps is filled with silence; an overlap keeps the samples (small
      // differences are the resampler's delay).
      const int64_t expected = pcmStart_ + static_cast<int64_t>(pcm_.size() / ch) * kMediaTimeUnitsPerSecond /
                                               audioFormat_.SampleRate;
      const int64_t gapFrames = (t - expected) * audioFormat_.SampleRate / kMediaTimeUnitsPerSecond;
      if (gapFrames > audioFormat_.SampleRate / 10 && gapFrames < audioFormat_.SampleRate * 10) {
        pcm_.insert(pcm_.end(), static_cast<size_t>(gapFrames) * ch, 0);
      }
    }
    pcm_.insert(pcm_.end(), scratch_.begin(), scratch_.end());
  }
}

void TMediaPlayer::TImpl::AlignAudio(int64_t Start) {
  const size_t ch = static_cast<size_t>(audioFormat_.Channels);
  // Decode until the samples reach the start (or there is nothing more).
  for (int guard = 0; guard < 100000 && !Quitting(); ++guard) {
    const int64_t end = pcmStart_ + static_cast<int64_t>(pcm_.size() / ch) * kMediaTimeUnitsPerSecond /
                                        audioFormat_.SampleRate;
    if (audioTimeKnown_ && end > Start) break;
    if (!audioPackets_.empty()) {
      TAVPacketPtr p = std::move(audioPackets_.front());
      audioPackets_.pop_front();
      DecodeAudio(p.get());
      continue;
    }
    if (audioEnded_) break;
    if (demuxEnded_) {
      if (!audioDrainSent_) {
        audioDrainSent_ = true;
        DecodeAudio(nullptr);
        continue;
      }
      audioEnded_ = true;
      break;
    }
    // Reading on for sound also decodes video, kept for playing; with too much of it queued the
    // sound starts late (led by silence) instead.
    if (videoQueue_.size() > kMaxQueuedFrames * 4) break;
    if (!ReadOne() && !demuxEnded_) break;
  }
  if (!audioTimeKnown_) {
    pcmStart_ = Start;
    audioTimeKnown_ = true;
    pcm_.clear();
  }
  const int64_t offsetFrames = (Start - pcmStart_) * audioFormat_.SampleRate / kMediaTimeUnitsPerSecond;
  if (offsetFrames > 0) {
    const size_t drop = std::min(pcm_.size(), static_cast<size_t>(offsetFrames) * ch);
    pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<ptrdiff_t>(drop));
  } else if (offsetFrames < 0) {
    pcm_.insert(pcm_.begin(), static_cast<size_t>(-offsetFrames) * ch, 0);
  }
  pcmStart_ = Start;
  pcmRead_ = 0;
}

void TMediaPlayer::TImpl::FeedAudio() {
  const size_t ch = static_cast<size_t>(audioFormat_.Channels);
  for (int guard = 0; guard < 64; ++guard) {
    const int64_t free = sink_->FreeFrames();
    if (free <= 0) return;
    const size_t pending = pcm_.size() / ch - pcmRead_;
    if (pending > 0) {
      const int64_t n = std::min<int64_t>(free, static_cast<int64_t>(pending));
      // Volume and balance in hundredths of a decibel.
      const int32_t vol = volume_.load(), bal = balance_.load();
      const double gain = vol <= -10000 ? 0.0 : std::pow(10.0, vol / 2000.0);
      double left = gain, right = gain;
      if (bal < 0) right *= bal <= -10000 ? 0.0 : std::pow(10.0, bal / 2000.0);
      if (bal > 0) left *= bal >= 10000 ? 0.0 : std::pow(10.0, -bal / 2000.0);
      const int16_t* src = pcm_.data() + pcmRead_ * ch;
      if (gain == 1.0 && bal == 0) {
        sink_->Write(src, n);
      } else {
        scratch_.resize(static_cast<size_t>(n) * ch);
        for (int64_t i = 0; i < n; ++i) {
          for (size_t c = 0; c < ch; ++c) {
            const double g = ch == 2 ? (c == 0 ? left : right) : gain;
            scratch_[i * ch + c] = static_cast<int16_t>(std::lrint(src[i * ch + c] * g));
          }
        }
        sink_->Write(scratch_.data(), n);
      }
      pcmRead_ += static_cast<size_t>(n);
      // Samples the sink has played are not needed again (those written and not played yet are
      // kept: a pause drops them from the sink, and the next run writes them again).
      if (pcmRead_ > static_cast<size_t>(audioFormat_.SampleRate)) {
        const int64_t playedTime =
            runStart_ + sink_->PlayedFrames() * kMediaTimeUnitsPerSecond / audioFormat_.SampleRate;
        const int64_t playedFrames = (playedTime - pcmStart_) * audioFormat_.SampleRate / kMediaTimeUnitsPerSecond;
        const size_t drop = static_cast<size_t>(std::clamp<int64_t>(playedFrames, 0, static_cast<int64_t>(pcmRead_)));
        pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<ptrdiff_t>(drop * ch));
        pcmStart_ += static_cast<int64_t>(drop) * kMediaTimeUnitsPerSecond / audioFormat_.SampleRate;
        pcmRead_ -= drop;
      }
      continue;
    }
    // More sound means decoding it and reading on, which decodes the video packets met on the way:
    // a frame due on screen is shown first. Otherwise the sound fed meanwhile carries the clock past
    // the frames read ahead, and they are dropped as late.
    if (VideoFrameDue()) return;
    if (!audioPackets_.empty()) {
      TAVPacketPtr p = std::move(audioPackets_.front());
      audioPackets_.pop_front();
      DecodeAudio(p.get());
      continue;
    }
    if (audioEnded_) {
      clock_.SetAudioFinished();
      return;
    }
    if (demuxEnded_) {
      if (!audioDrainSent_) {
        audioDrainSent_ = true;
        DecodeAudio(nullptr);
      } else {
        audioEnded_ = true;
      }
      continue;
    }
    // Audio runs dry before the video queue fills: read on.
    if (videoQueue_.size() >= kMaxQueuedFrames * 4) return;
    if (!ReadOne()) return;
  }
}

// ------------------------------------------------------------------------------ navigated sources

void TMediaPlayer::TImpl::DrainVideo() {
  if (videoIndex_ < 0) return;
  video_.Send(nullptr);
  ReceiveVideo();
  // The decoder takes packets again afterwards.
  video_.Flush();
  videoEnded_ = false;
  videoDrainSent_ = false;
}

bool TMediaPlayer::TImpl::PassOver(const TQueuedFrame& Frame) {
  if (passBefore_ == INT64_MIN) return false;
  const int64_t d = Frame.duration > 0 ? Frame.duration : std::max<int64_t>(timeline_.AvgTimePerFrame, 1);
  if (Frame.time + d - timeline_.Tolerance <= passBefore_) return true;
  passBefore_ = INT64_MIN;
  return false;
}

bool TMediaPlayer::TImpl::ShowNext() {
  TQueuedFrame f;
  for (;;) {
    if (!NextVideoFrame(f)) return false;
    if (f.duration <= 0 && !videoQueue_.empty()) f.duration = videoQueue_.front().time - f.time;
    if (!PassOver(f)) break;
  }
  // Decoding on to the next frame gives the frame its duration, and reading on to where the source
  // knows what it draws over it (a disc's sub-picture muxed after the pictures).
  for (int i = 0; i < 4096 && (videoQueue_.empty() || source_->ReadAheadFor(f.time)) && videoQueue_.size() < 32 &&
                  !videoEnded_ && !demuxEnded_ && !failed_ && !Quitting();
       ++i) {
    if (!ReadOne() || sourceWaiting_) break;
  }
  if (f.duration <= 0 && !videoQueue_.empty()) f.duration = videoQueue_.front().time - f.time;
  Present(f);
  clock_.SetShownTime(f.time);
  std::lock_guard<std::mutex> lock(mutex_);
  posTime_ = posValue_ = f.time;
  posFormat_ = mtfMediaTime;
  return true;
}

void TMediaPlayer::TImpl::HandleDvd(const TCommand& Command) {
  auto* dvd = dynamic_cast<TDvdSource*>(source_.get());
  if (!dvd) return;
  const bool running = mode_ == modeRunning && !failed_;
  int64_t at;
  if (running) {
    at = clock_.Now();
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    at = posTime_;
  }
  // What follows a jump starts a frame after the frame on screen.
  if (shownValid_) at = std::max(at, shownTime_ + std::max<int64_t>(shownDuration_, 1));
  const TDvdSource::TCommandResult result =
      dvd->Command(static_cast<TDvdCommandKind>(Command.arg1), Command.arg2, Command.arg3, at);
  if (result == TDvdSource::cmdRedraw && shownValid_ && lastFrame_ && lastFrame_->buf[0]) {
    TQueuedFrame again;
    again.frame.reset(av_frame_clone(lastFrame_.get()));
    again.time = shownTime_;
    again.duration = shownDuration_;
    if (again.frame) Present(again, true);
    return;
  }
  if (result != TDvdSource::cmdJumped) return;
  const bool wasShown = shownValid_;
  ResetStreams();
  // A time search starts on the VOBU before the time: its frames before the time are not shown.
  passBefore_ = at;
  failed_ = false;
  completed_ = false;
  completeSent_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posTime_ = posValue_ = at;
    posFormat_ = mtfMediaTime;
  }
  if (running) {
    clock_.Freeze();
    clockLive_ = false;
    Restart(at);
  } else if (mode_ == modePaused || wasShown) {
    // A paused player shows where the command led at once.
    ShowNext();
  }
}
