#pragma once
// The media player: plays one source (a media file or a block of memory; capture devices and discs
// plug in as further sources) through one decode thread, and hands its frames to a sample buffer
// (the last frame, for grabbing) and a presenter (for painting into a window), its sound to an audio
// sink, and its events to an event queue.
//
// States are 0 stopped, 1 paused, 2 running, answered at once. Pause, and a seek while paused, return
// once the frame at the position has been decoded and shown, or after the settle bound
// (MediaSettleBoundMs). Seeks are frame-exact. While running, the clock decides when each frame is
// shown; a frame late by more than its duration is dropped. At the end of the streams EC_COMPLETE is
// queued once and the player stays running at the duration; a read or decode failure queues
// EC_ERRORABORT and pauses.
//
// Positions and durations are in the time format in use (media_time.h); media time 0 is the start
// of the video stream. While paused or stopped the position reads back exactly as set; running, it
// is the clock. Every call is made from one thread (the user-interface thread), except that the
// outputs may be read from any thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/media/capture_devices.h"
#include "platform/media/media_events.h"
#include "platform/media/media_time.h"
#include "platform/media/sample_buffer.h"
#include "platform/media/video_presenter.h"

class TMediaSource;
class TAudioSink;

enum TMediaClockSource : uint8_t {
  mcsDefault,    // the audio output while audio plays at rate 1, else monotonic
  mcsNone,       // frames as fast as they decode
  mcsMonotonic,  // a monotonic clock
  mcsAudio,      // the audio output; without audio, as mcsNone
};

struct TMediaPlayerOptions {
  // Play the first audio stream too.
  bool Audio = false;
  // Convert frames for the sample buffer and the presenter (off: frames are decoded and timed, and
  // go nowhere).
  bool Frames = true;
  TMediaClockSource Clock = mcsDefault;
  // Decoder threads, 0: as many as the decoder chooses.
  int32_t DecoderThreads = 0;
};

// Navigation of a DVD player (TMediaPlayer::DvdCommand).
enum TDvdCommandKind : uint8_t {
  dvdPlayChapter,  // Arg1 title, Arg2 chapter
  dvdPlayAtTime,   // Arg1 title, Arg2 the title time in 100 ns
  dvdShowMenu,     // Arg1 the menu (2 title, 3 root, 4 sub-picture, 5 audio, 6 angle, 7 chapter)
  dvdSelectAt,     // Arg1 x, Arg2 y in the picture
  dvdActivate,     // the selected button
  // Arg1 the speed in thousandths: the title played backward, a key frame of each step back shown
  // for the time the step spans at that speed; forward at 1x again from the title's start. Arg1 0
  // or less ends backward play where it is.
  dvdPlayBackward,
  // Arg1 the title's sub-picture stream to draw (its logical number, 0 ... 31; -1 keeps the one
  // drawn), Arg2 1 shows its subtitles, 0 hides them (forced sub-pictures and menus show either
  // way), -1 leaves it to the disc's own commands.
  dvdSubpicture,
  // Arg1 the sub-picture language asked for (two lower-case letters, the first in the high byte):
  // the stream of that language is drawn now when the title has one, and the navigator chooses it
  // when a title starts.
  dvdSubpictureLanguage,
  // Arg1 the angle (1 ... 9) of a title shot from several.
  dvdAngle,
};

// Where the frame on screen lies on the disc. Title and chapter are 0 in a menu; times are 100 ns.
struct TDvdLocation {
  bool Valid = false;
  int32_t Title = 0, Chapter = 0;
  int64_t TitleTime = 0;
  int64_t TotalTitleTime = 0;
  int32_t FramesPerSecond = 25;
  bool InMenu = false;
  // The angle shown and the angles of the title (1 and 1 where it has one; 0 in a menu).
  int32_t Angle = 0, Angles = 0;
  // The sub-picture stream drawn (logical, -1: none), whether its subtitles show, and its language
  // (two letters, "" when the disc names none).
  int32_t Subpicture = -1;
  bool SubtitlesShown = false;
  std::string SubpictureLanguage;
};

class TMediaPlayer {
 public:
  TMediaPlayer();
  // Closes.
  ~TMediaPlayer();
  TMediaPlayer(const TMediaPlayer&) = delete;
  TMediaPlayer& operator=(const TMediaPlayer&) = delete;

  // Opens a source, stopped at position 0 in media time. False (with LastError) when it cannot be
  // opened or has neither a usable video stream nor, when asked for, an audio stream.
  bool OpenFile(const std::string& FileName, const TMediaPlayerOptions& Options = {});
  // Bytes in memory; the caller keeps them until Close.
  bool OpenMemory(const void* Data, size_t Size, const TMediaPlayerOptions& Options = {});
  bool Open(std::unique_ptr<TMediaSource> Source, const TMediaPlayerOptions& Options = {});
  // Opens a capture device (an Id of EnumerateCaptureDevices), stopped: its stream opens at Run or
  // Pause and closes at Stop. Live: frames are shown as they are read (a paused device reads on
  // and drops them; once Pause returns no further frame is shown and the position stands), there is
  // no duration and no seeking, and the position is the running time. A
  // device that goes away (a read error, the end of its data, no frame for MediaCaptureStallMs)
  // queues EC_DEVICE_LOST once and stops for good: Run does nothing until it is opened again. A
  // device another program holds queues EC_ERRORABORT.
  bool OpenCapture(const std::string& DeviceId, const TMediaPlayerOptions& Options = {});
  // Opens a DVD-Video disc (a folder, an image or a drive), stopped at its first-play program: it
  // plays as the disc's navigation says, with no duration and no seeking (SetPosition does
  // nothing); DvdCommand moves it. A disc that fails to read queues EC_DVD_ERROR and stops reading
  // (DVD_ERROR_CopyProtectFail for a scrambled disc, which is never decrypted).
  bool OpenDvd(const std::string& Path, const TMediaPlayerOptions& Options = {});
  // Runs a navigation command on the decode thread and waits for it (up to the settle bound); a
  // paused player shows the first frame of where the command led. Nothing without a disc open.
  void DvdCommand(TDvdCommandKind Kind, int64_t Arg1 = 0, int64_t Arg2 = 0);
  // The location of the frame on screen; Valid false without a disc or before its first frame.
  TDvdLocation DvdLocation() const;
  bool IsLive() const;
  bool DeviceLost() const;
  // The open device as read at OpenCapture, with its current input.
  TCaptureDeviceInfo CaptureDevice() const;
  // Asks for a format; a streaming device closes, takes it and reopens in the same state.
  void SetCaptureFormat(const TCaptureRequest& Request);
  // The format the device takes now: its capability, the size and the frame interval (100 ns).
  bool CaptureFormat(TCaptureCapability& Capability, int32_t& Width, int32_t& Height, int64_t& FrameInterval) const;
  // Selects a video input (reopening a streaming device) or an audio input; false when refused.
  bool SelectCaptureInput(int32_t Index);
  bool SelectCaptureAudio(int32_t Index);
  // Stops and joins the decode thread and lets go of the source. The event queue and outputs are
  // cleared; the notify window and callbacks stay.
  void Close();
  bool IsOpen() const;
  std::string LastError() const;
  bool HasVideo() const;
  bool HasAudio() const;

  int32_t State() const;
  void Run();
  void Pause();
  void Stop();
  // Cues the frame at the position (as Pause), then stops.
  void StopWhenReady();

  bool IsFormatSupported(TMediaTimeFormat Format) const;
  // False (and no change) for a format the source cannot use.
  bool SetTimeFormat(TMediaTimeFormat Format);
  TMediaTimeFormat TimeFormat() const;
  int64_t Duration() const;
  int64_t Position() const;
  void SetPosition(int64_t Position);
  // Average frame duration in media time, 0 when the stream does not say.
  int64_t AvgTimePerFrame() const;
  const TMediaTimeline& Timeline() const;
  // Measures the frame duration by decoding ahead from the position: at most MaxFrames frames or
  // MaxTime of media time, the difference of the first two distinct frame times (0 when there are
  // none). Position, state and shown frame stay as they were.
  int64_t MeasureFrameDuration(int32_t MaxFrames = 50, int64_t MaxTime = 2 * kMediaTimeUnitsPerSecond);

  // Volume in hundredths of a decibel (-10000 silence ... 0); balance likewise, negative attenuating
  // the right channel, positive the left.
  void SetVolume(int32_t Value);
  int32_t Volume() const;
  void SetBalance(int32_t Value);
  int32_t Balance() const;
  // Playback rate; other rates than 1 play without sound. False for a rate of 0 or less.
  bool SetRate(double Rate);
  double Rate() const;

  // Frames shown and frames dropped for lateness since the source was opened.
  int64_t FramesShown() const;
  int64_t FramesDropped() const;

  TMediaSampleBuffer& SampleBuffer();
  TVideoPresenter& Presenter();
  TMediaEventQueue& Events();
  // The audio output in use while audio plays (tests look at it); null otherwise.
  TAudioSink* AudioSink() const;

  class TImpl;

 private:
  std::unique_ptr<TImpl> impl_;
};
