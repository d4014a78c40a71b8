#pragma once
// The inside of TMediaPlayer (private to the media services). The user-interface side
// (media_player.cpp) posts commands and reads the shared state under mutex_; the decode thread
// (media_player_thread.cpp) owns the source, the decoders and every queue, runs the commands in
// order and plays in between.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/audio_sink.h"
#include "platform/media/ffmpeg_support.h"
#include "platform/media/media_clock.h"
#include "platform/media/media_decoders.h"
#include "platform/media/media_player.h"
#include "platform/media/capture_source.h"
#include "platform/media/media_source.h"
#include "platform/system/threads.h"

class TMediaPlayer::TImpl {
 public:
  TImpl();
  ~TImpl();

  enum TCommandKind : uint8_t { cmdPause, cmdRun, cmdStop, cmdSeek, cmdMeasure, cmdRate, cmdCaptureFormat, cmdCaptureInput, cmdDvd, cmdQuit };
  struct TCommand {
    TCommandKind kind;
    uint64_t seq;
    int64_t arg1 = 0;
    int64_t arg2 = 0;
    int64_t arg3 = 0;
  };

  // ---- Opening and closing (user-interface thread) ----
  bool Open(std::unique_ptr<TMediaSource> Source, const TMediaPlayerOptions& Options);
  // A capture device (media_player_live.cpp).
  bool OpenLive(std::unique_ptr<TCaptureSource> Source, const TMediaPlayerOptions& Options);
  TCaptureSource* Capture() const;
  // The running time of a live source, in media time.
  int64_t LivePosition() const;
  void Close();
  // Queues a command; answers its number.
  uint64_t Post(TCommandKind Kind, int64_t Arg1 = 0, int64_t Arg2 = 0, int64_t Arg3 = 0);
  // Waits until command Seq has run or TimeoutMs passed; true when it ran.
  bool WaitDone(uint64_t Seq, uint32_t TimeoutMs);
  // The position while the clock does not drive it, in Format.
  int64_t StoredPosition(TMediaTimeFormat Format);

  // ---- The decode thread ----
  void StartThread();
  void ThreadMain();

  // ---- Shared under mutex_ ----
  std::mutex mutex_;
  std::condition_variable wake_;   // the decode thread waits here for commands
  std::condition_variable done_;   // callers wait here for their commands
  std::deque<TCommand> commands_;
  uint64_t lastSeq_ = 0;
  uint64_t doneSeq_ = 0;
  int64_t posTime_ = 0;            // media time of the position while the clock does not drive it
  int64_t posValue_ = 0;           // the position as last set, in posFormat_
  TMediaTimeFormat posFormat_ = mtfMediaTime;
  int64_t measured_ = 0;           // the result of the last cmdMeasure

  // ---- Shared, atomic ----
  std::atomic<int32_t> state_{0};
  std::atomic<bool> clockLive_{false};   // running and the clock started: the clock is the position
  std::atomic<bool> completed_{false};   // running at the end of the streams
  std::atomic<int32_t> volume_{0};
  std::atomic<int32_t> balance_{0};
  std::atomic<double> rate_{1.0};
  std::atomic<int64_t> shown_{0};
  std::atomic<int64_t> dropped_{0};

  // ---- Live sources (media_player_live.cpp) ----
  std::atomic<bool> deviceLost_{false};
  std::atomic<int64_t> liveBase_{0};      // running time before the current run
  std::atomic<int64_t> liveRunStart_{0};  // steady clock of the current run's start (100 ns), 0 when not running

  // ---- Set at Open, read-only afterwards ----
  bool open_ = false;
  bool live_ = false;
  std::string error_;
  std::unique_ptr<TMediaSource> source_;
  TMediaPlayerOptions options_;
  TMediaTimeline timeline_;
  TMediaTimeFormat format_ = mtfMediaTime;  // user-interface thread only
  int videoIndex_ = -1;
  int audioIndex_ = -1;
  AVRational videoTb_{0, 1};
  AVRational audioTb_{0, 1};
  int64_t originPts_ = 0;      // in the time base of the stream that defines position 0
  int64_t originTime_ = 0;     // the same as absolute media time
  TAudioFormat audioFormat_;

  // ---- Outputs ----
  TMediaSampleBuffer sampleBuffer_;
  TVideoPresenter presenter_;
  TMediaEventQueue events_;
  TMediaClock clock_;
  std::unique_ptr<TAudioSink> sink_;

 private:
  class TDecodeThread;
  friend class TDecodeThread;

  // ---- Decode thread: commands ----
  bool TakeCommand(TCommand& Command, int64_t WaitUs);
  void Handle(const TCommand& Command);
  void Finish(uint64_t Seq);
  // Shows the frame at media time Target; false when no frame could be reached.
  bool Cue(int64_t Target);
  // Starts the clock at Target (the frame there is shown) and plays from there.
  void Restart(int64_t Target);
  // Freezes the clock and stores its reading as the position.
  void Halt();
  int64_t Measure(int32_t MaxFrames, int64_t MaxTime);
  // A read or decode failure: EC_ERRORABORT, paused.
  void Fail(int Error);
  bool Quitting() const { return quit_.load(); }
  // ---- Decode thread: live sources ----
  void HandleLive(const TCommand& Command);
  bool LiveStart();
  void LiveStop();
  void LiveLost(int Error);
  void LiveStep();
  void LiveFrame(AVPacket* Packet);
  void LiveHalt();
  // ---- Decode thread: navigated sources (discs) ----
  void HandleDvd(const TCommand& Command);
  // Shows the next frame the source gives (a source that cannot seek); false when none came.
  bool ShowNext();
  // The source asks for the pictures the video decoder holds (a still begins).
  void DrainVideo();

  // ---- Decode thread: reading and decoding ----
  struct TQueuedFrame {
    TAVFramePtr frame;
    int64_t time = 0;
    int64_t duration = 0;
  };
  // True for a frame before passBefore_, which is not shown (and clears passBefore_ otherwise).
  bool PassOver(const TQueuedFrame& Frame);
  // Reads one packet and hands it on; false at the end of the data or on failure (failed_ set).
  bool ReadOne();
  void DecodeVideoPacket(AVPacket* Packet);
  // Takes every frame the video decoder has ready into videoQueue_.
  void ReceiveVideo();
  // The next decoded video frame in presentation order; false at the end or on failure.
  bool NextVideoFrame(TQueuedFrame& Frame);
  // Moves the demuxer to the key frame at or before media time Target - Backoff, with empty
  // decoders and queues.
  void SeekTo(int64_t Target, int64_t Backoff);
  void ResetStreams();
  // True when the frames up to media time Target are reached by decoding on from where the video
  // decoder stands, without passing a key frame.
  bool CanStepTo(int64_t Target) const;
  int64_t StreamTime(int64_t Timestamp, AVRational Tb) const;
  int64_t PacketDuration(const AVPacket* Packet, AVRational Tb) const;
  // Redraw: the frame on screen once more (not counted, its location unchanged).
  void Present(TQueuedFrame& Frame, bool Redraw = false);
  std::shared_ptr<TVideoSample> AcquireSample(int32_t Width, int32_t Height);

  // ---- Decode thread: playing ----
  // One unit of work while running; waits a little when nothing is due.
  void RunStep();
  // Decodes queued audio packets into pcm_ and writes pcm_ to the sink.
  void FeedAudio();
  void DecodeAudio(const AVPacket* Packet);
  // Makes the pending samples start exactly at media time Start (trimmed or led by silence).
  void AlignAudio(int64_t Start);
  bool AudioActive() const;
  // The next frame is due on the clock (decoded already or not).
  bool VideoFrameDue() const;
  // Waits up to WaitUs for a command.
  void Idle(int64_t WaitUs);

  std::unique_ptr<TThread> thread_;
  std::atomic<bool> quit_{false};

  // Decode thread only.
  enum TMode : uint8_t { modeStopped, modePaused, modeRunning };
  TMode mode_ = modeStopped;
  bool needCue_ = true;        // the shown frame may not be the one at posTime_
  bool failed_ = false;
  bool completeSent_ = false;
  TVideoDecoder video_;
  TAudioDecoder audio_;
  TAVPacketPtr packet_;
  TAVFramePtr audioFrame_;
  std::deque<TQueuedFrame> videoQueue_;
  std::deque<TAVPacketPtr> audioPackets_;
  bool demuxEnded_ = false;
  bool videoEnded_ = false;
  bool videoDrainSent_ = false;
  bool sourceWaiting_ = false;           // the source had nothing yet on the last read
  bool sourceStopped_ = false;           // the source stopped for a reason it reported
  TAVFramePtr lastFrame_;                // the frame on screen, of a navigated source
  int64_t passBefore_ = INT64_MIN;       // frames ending before this are passed over (after a jump)
  bool audioEnded_ = false;
  bool audioDrainSent_ = false;
  int readErrors_ = 0;
  int decodeErrors_ = 0;
  int64_t decodedUpTo_ = INT64_MIN;      // media time of the last video frame decoded
  int64_t lastDuration_ = 0;             // duration of the last video frame decoded
  int64_t skipBefore_ = INT64_MIN;       // video packets ending before this may skip unreferenced frames
  bool shownValid_ = false;              // the frame last shown, while the decoder follows it
  int64_t shownTime_ = 0;
  int64_t shownDuration_ = 0;
  int64_t runStart_ = 0;                 // media time the clock started at
  std::vector<int16_t> pcm_;             // decoded samples from pcmStart_ on, pcmRead_ frames written
  size_t pcmRead_ = 0;
  int64_t pcmStart_ = 0;
  bool audioTimeKnown_ = false;
  bool audioRunning_ = false;            // the sink plays this run's audio
  std::vector<int16_t> scratch_;
  int32_t typeWidth_ = 0, typeHeight_ = 0;
  std::vector<std::shared_ptr<TVideoSample>> pool_;
  bool liveStreaming_ = false;
  bool liveRaw_ = false;
  int64_t liveInterval_ = 0;
  int64_t lastFrameTick_ = 0;
  int64_t liveReadTick_ = 0;  // when the live packet being shown was read
};
