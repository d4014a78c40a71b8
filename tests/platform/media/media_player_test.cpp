// The media player over videos made at test time: frame-exact seeks across containers and codecs,
// time formats, playing to the end, the clock, colours, audio levels and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/gdi/gdi.h"
#include "platform/media/audio_sink.h"
#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"
#include "platform/media/media_source.h"
#include "platform/media/media_type.h"
#include "tests/support/media_fixtures.h"

using namespace mediatest;
using testsupport::VideoSpec;

namespace {

TMediaPlayerOptions NoClock() {
  TMediaPlayerOptions o;
  o.Clock = mcsNone;
  return o;
}

VideoSpec Spec(const std::string& container, const std::string& codec, int frames = 30, int gop = 10, int bframes = 0) {
  VideoSpec s;
  s.Container = container;
  s.Codec = codec;
  s.Frames = frames;
  s.Gop = gop;
  s.BFrames = bframes;
  return s;
}

struct SeekCase {
  const char* container;
  const char* codec;
  int bframes;
};

class MediaSeekTest : public ::testing::TestWithParam<SeekCase> {};

}  // namespace

// Paused seeks land on the frame whose interval holds the position: the start, a key frame, the
// frame after it, a B-frame, the last frame, and back again, in every container and codec.
TEST_P(MediaSeekTest, PausedSeekShowsTheFrameAtThePosition) {
  const SeekCase c = GetParam();
  VideoSpec s = Spec(c.container, c.codec, 30, 10, c.bframes);
  const std::string file = Video(s);
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(file, NoClock())) << player.LastError();
  player.Pause();
  EXPECT_EQ(ShownNumber(player), 0);
  // 0, key frame 10, 11 after it, 13 (a B-frame with B-frames on), the last, and backwards.
  for (int k : {0, 10, 11, 13, 29, 5, 20, 19, 1}) {
    player.SetPosition(FrameStart(k, 25, 1));
    EXPECT_EQ(ShownNumber(player), k) << c.container << "/" << c.codec << " frame " << k;
    EXPECT_EQ(player.Position(), FrameStart(k, 25, 1));
  }
  // Anywhere inside a frame's interval selects that frame; 10 units before its start too.
  player.SetPosition(FrameStart(7, 25, 1) + 200000);
  EXPECT_EQ(ShownNumber(player), 7);
  player.SetPosition(FrameStart(8, 25, 1) - 10);
  EXPECT_EQ(ShownNumber(player), 8);
  // At or past the end: the last frame.
  player.SetPosition(FrameStart(40, 25, 1));
  EXPECT_EQ(ShownNumber(player), 29);
  // Negative acts as 0.
  player.SetPosition(-100);
  EXPECT_EQ(ShownNumber(player), 0);
}

INSTANTIATE_TEST_SUITE_P(Containers, MediaSeekTest,
                         ::testing::Values(SeekCase{"avi", "rawvideo", 0}, SeekCase{"avi", "ffv1", 0},
                                           SeekCase{"avi", "mjpeg", 0}, SeekCase{"avi", "mpeg4", 0},
                                           SeekCase{"mp4", "libx264", 2}, SeekCase{"mp4", "mpeg4", 0},
                                           SeekCase{"matroska", "libx264", 2}, SeekCase{"matroska", "ffv1", 0},
                                           SeekCase{"mov", "mjpeg", 0}, SeekCase{"mov", "libx264", 0},
                                           SeekCase{"asf", "wmv2", 0}, SeekCase{"mpeg", "mpeg2video", 2}),
                         [](const auto& info) {
                           return std::string(info.param.container) + "_" + info.param.codec;
                         });

// At 30000/1001 the windows seek to Trunc(k x duration / count), up to 2 units before a frame's
// start: every k selects frame k, in AVI (frames) and MP4 (media time).
TEST(MediaPlayerTest, NtscPositionsSelectEveryFrame) {
  for (const char* container : {"avi", "mp4"}) {
    VideoSpec s = Spec(container, std::string(container) == "avi" ? "ffv1" : "libx264", 40, 12, 0);
    s.RateNum = 30000;
    s.RateDen = 1001;
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(Video(s), NoClock())) << player.LastError();
    player.Pause();
    const int64_t duration = player.Duration();
    // Trunc(40 x 1001 x 10^7 / 30000) = 13346666.
    EXPECT_NEAR(duration, 13346666, 1) << container;
    for (int k = 0; k < 40; ++k) {
      player.SetPosition(k * duration / 40);
      EXPECT_EQ(ShownNumber(player), k) << container << " k=" << k;
    }
  }
}

// AVI alone is addressed by frames: frame n at Trunc(n x scale x 10^7 / rate); other containers
// refuse the frame format and stay in media time.
TEST(MediaPlayerTest, TimeFormats) {
  TMediaPlayer avi;
  ASSERT_TRUE(avi.OpenFile(Video(Spec("avi", "ffv1", 30)), NoClock()));
  EXPECT_TRUE(avi.IsFormatSupported(mtfFrame));
  EXPECT_EQ(avi.Duration(), 12000000);  // 30 frames of 400000
  EXPECT_EQ(avi.AvgTimePerFrame(), 400000);
  ASSERT_TRUE(avi.SetTimeFormat(mtfFrame));
  EXPECT_EQ(avi.Duration(), 30);
  avi.Pause();
  avi.SetPosition(17);
  EXPECT_EQ(ShownNumber(avi), 17);
  EXPECT_EQ(avi.Position(), 17);
  ASSERT_TRUE(avi.SetTimeFormat(mtfMediaTime));
  EXPECT_EQ(avi.Position(), 17 * 400000);
  EXPECT_FALSE(avi.SetTimeFormat(mtfByte));
  EXPECT_EQ(avi.TimeFormat(), mtfMediaTime);

  TMediaPlayer mp4;
  ASSERT_TRUE(mp4.OpenFile(Video(Spec("mp4", "libx264", 30)), NoClock()));
  EXPECT_FALSE(mp4.SetTimeFormat(mtfFrame));
  EXPECT_EQ(mp4.TimeFormat(), mtfMediaTime);
  EXPECT_EQ(mp4.Duration(), 12000000);
  EXPECT_EQ(mp4.AvgTimePerFrame(), 400000);

  // The sample buffer's type: RGB24 with a VIDEOINFOHEADER of the video's size.
  TMediaType type;
  ASSERT_TRUE(mp4.SampleBuffer().GetConnectedMediaType(type));
  const VIDEOINFOHEADER* vih = type.VideoInfo();
  ASSERT_NE(vih, nullptr);
  EXPECT_EQ(vih->bmiHeader.biWidth, 64);
  EXPECT_EQ(vih->bmiHeader.biHeight, 48);
  EXPECT_EQ(vih->bmiHeader.biBitCount, 24);
  EXPECT_EQ(vih->AvgTimePerFrame, 400000);
  EXPECT_EQ(type.format.size(), 88u);
}

// A container start time is not part of the position: 0 is the first frame.
TEST(MediaPlayerTest, NonZeroStartTime) {
  VideoSpec s = Spec("matroska", "libx264", 25);
  s.StartOffset = 1.0;
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(Video(s), NoClock()));
  player.Pause();
  EXPECT_EQ(ShownNumber(player), 0);
  player.SetPosition(FrameStart(12, 25, 1));
  EXPECT_EQ(ShownNumber(player), 12);
  player.SetPosition(FrameStart(24, 25, 1));
  EXPECT_EQ(ShownNumber(player), 24);
}

// Without a clock every frame is delivered in order as fast as it decodes; the end queues
// EC_COMPLETE once, the player stays running at the duration, and Run there queues it again.
TEST(MediaPlayerTest, PlaysToTheEndAndCompletesOnce) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(Video(Spec("mp4", "libx264", 30, 10, 2)), NoClock()));
  std::mutex m;
  std::vector<int> seen;
  player.SampleBuffer().SetCallback([&](double, const uint8_t* bits, int64_t) {
    std::lock_guard<std::mutex> lock(m);
    seen.push_back(testsupport::FrameNumberOf(bits, 64, 48, 192));
  });
  player.Run();
  EXPECT_EQ(player.State(), 2);
  int32_t code = 0;
  const auto start = std::chrono::steady_clock::now();
  while (!player.Events().GetEvent(code) && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(code, EC_COMPLETE);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(player.Events().GetEvent(code)) << "EC_COMPLETE queued more than once";
  EXPECT_EQ(player.State(), 2);
  EXPECT_EQ(player.Position(), player.Duration());
  {
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(seen.size(), 30u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(seen[i], i);
  }
  player.Run();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(player.Events().GetEvent(code));
  EXPECT_EQ(code, EC_COMPLETE);
  // Pause at the end shows the last frame; stop keeps it.
  player.Pause();
  EXPECT_EQ(player.State(), 1);
  EXPECT_EQ(ShownNumber(player), 29);
  player.Stop();
  EXPECT_EQ(player.State(), 0);
  EXPECT_EQ(ShownNumber(player), 29);
}

// On the monotonic clock a one-second clip takes about a second, drops nothing, and the position
// follows the clock while running and reads back exactly once paused.
TEST(MediaPlayerTest, RealTimePlayback) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(Video(Spec("avi", "mjpeg", 25, 25))));
  player.Pause();
  const auto start = std::chrono::steady_clock::now();
  player.Run();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const int64_t mid = player.Position();
  EXPECT_GT(mid, 2500000);
  EXPECT_LT(mid, 6500000);
  int32_t code = 0;
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    if (player.Events().GetEvent(code) && code == EC_COMPLETE) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_GT(seconds, 0.9);
  EXPECT_LT(seconds, 1.6);
  // Every frame is shown or, late by more than a frame on a busy machine, dropped; a few at most.
  EXPECT_EQ(player.FramesShown() + player.FramesDropped(), 25);
  EXPECT_LE(player.FramesDropped(), 3);
  player.Pause();
  player.SetPosition(4000000);
  EXPECT_EQ(player.Position(), 4000000);
  EXPECT_EQ(ShownNumber(player), 10);
}

// Colours come out with the stream's matrix: flat BT.601 and BT.709 frames within 3 levels.
TEST(MediaPlayerTest, ColourMatrices) {
  for (int matrix : {601, 709}) {
    VideoSpec s = Spec("matroska", "libx264", 3);
    s.FlatColour = true;
    s.R = 200, s.G = 60, s.B = 30;
    s.Matrix = matrix;
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(Video(s), NoClock()));
    player.Pause();
    const TVideoSamplePtr sample = player.SampleBuffer().CurrentSample();
    ASSERT_TRUE(sample);
    const uint8_t* p = sample->Bits() + sample->RowLength() * 20 + 30 * 3;
    EXPECT_NEAR(p[2], 200, 3) << matrix;
    EXPECT_NEAR(p[1], 60, 3) << matrix;
    EXPECT_NEAR(p[0], 30, 3) << matrix;
  }
}

// The frame-duration measurement decodes ahead without moving the position or the frame shown.
TEST(MediaPlayerTest, MeasureFrameDurationLeavesThePosition) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(Video(Spec("mp4", "libx264", 30, 10, 2)), NoClock()));
  player.Pause();
  player.SetPosition(FrameStart(6, 25, 1));
  EXPECT_EQ(player.MeasureFrameDuration(), 400000);
  EXPECT_EQ(player.Position(), FrameStart(6, 25, 1));
  EXPECT_EQ(ShownNumber(player), 6);
  EXPECT_EQ(player.State(), 1);
  player.SetPosition(FrameStart(7, 25, 1));
  EXPECT_EQ(ShownNumber(player), 7);
}

// The presenter paints the last frame, upright, from a part of it into a part of a device
// context, and hands it out as a packed DIB.
TEST(MediaPlayerTest, PresenterPaintsTheFrame) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(Video(Spec("avi", "ffv1", 30)), NoClock()));
  player.Pause();
  player.SetPosition(FrameStart(5, 25, 1));  // blocks 0 and 2 of the top row white
  TVideoPresenter& presenter = player.Presenter();
  int32_t w = 0, h = 0;
  ASSERT_TRUE(presenter.GetNativeVideoSize(w, h));
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  std::vector<uint8_t> buf(sizeof(BITMAPINFOHEADER));
  BITMAPINFO* bi = reinterpret_cast<BITMAPINFO*>(buf.data());
  bi->bmiHeader = BITMAPINFOHEADER{};
  bi->bmiHeader.biWidth = 64;
  bi->bmiHeader.biHeight = -48;
  bi->bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  EXPECT_FALSE(presenter.RepaintVideo(nullptr, dc));  // no destination yet
  const TRect whole{0, 0, 64, 48};
  presenter.SetVideoPosition(nullptr, &whole);
  ASSERT_TRUE(presenter.RepaintVideo(nullptr, dc));
  auto white = [&](int x, int y) { return (GetPixel(dc, x, y) & 0xFFFFFF) == 0xFFFFFF; };
  EXPECT_TRUE(white(8, 8));
  EXPECT_FALSE(white(24, 8));
  EXPECT_TRUE(white(40, 8));
  EXPECT_FALSE(white(8, 40));
  // The right half of the frame into the left half of the surface.
  const TRect right{32, 0, 64, 48}, left{0, 0, 32, 48};
  presenter.SetVideoPosition(&right, &left);
  ASSERT_TRUE(presenter.RepaintVideo(nullptr, dc));
  EXPECT_TRUE(white(8, 8));
  EXPECT_FALSE(white(24, 8));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
  const std::vector<uint8_t> dib = presenter.GetCurrentImage();
  ASSERT_EQ(dib.size(), 40u + 64 * 3 * 48);
  EXPECT_EQ(testsupport::FrameNumberOf(dib.data() + 40, 64, 48, 192), 5);
}

// A player not opened answers 0 and refuses nothing harmful; an empty event queue answers at once.
TEST(MediaPlayerTest, ClosedPlayer) {
  TMediaPlayer player;
  EXPECT_FALSE(player.OpenFile("/nonexistent/clip.avi"));
  EXPECT_FALSE(player.LastError().empty());
  EXPECT_EQ(player.State(), 0);
  EXPECT_EQ(player.Duration(), 0);
  EXPECT_EQ(player.Position(), 0);
  player.Run();
  player.SetPosition(100);
  EXPECT_EQ(player.State(), 0);
  int32_t code;
  EXPECT_FALSE(player.Events().GetEvent(code));
}

// ------------------------------------------------------------------------------------------ audio

namespace {

// A sink factory that hands out recording sinks and keeps the last one.
struct RecordingSinks {
  RecordingSinks() {
    SetAudioSinkFactory([this] {
      auto sink = std::make_unique<TRecordingAudioSink>();
      last = sink.get();
      return std::unique_ptr<TAudioSink>(std::move(sink));
    });
  }
  ~RecordingSinks() { SetAudioSinkFactory(nullptr); }
  TRecordingAudioSink* last = nullptr;
};

double Rms(const std::vector<int16_t>& s, int channel, int channels, size_t from) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = from * channels + channel; i < s.size(); i += channels, ++n) sum += double(s[i]) * s[i];
  return n ? std::sqrt(sum / n) : 0;
}

void PlayToEnd(TMediaPlayer& player) {
  player.Run();
  int32_t code = 0;
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    if (player.Events().GetEvent(code) && code == EC_COMPLETE) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ADD_FAILURE() << "no EC_COMPLETE";
}

}  // namespace

// Volume -600 (hundredths of a decibel) leaves 0.501 of the amplitude; balance -600 does that to
// the right channel only. The samples go through the recording sink at the clock's pace.
TEST(MediaPlayerAudioTest, VolumeAndBalanceApplyToTheSamples) {
  VideoSpec s = Spec("avi", "mjpeg", 10, 10);
  s.Audio = true;
  s.AudioCodec = "pcm_s16le";
  const std::string file = Video(s);
  RecordingSinks sinks;
  struct Case {
    int32_t volume, balance;
    double left, right;
  };
  for (const Case c : {Case{0, 0, 1.0, 1.0}, Case{-600, 0, 0.501, 0.501}, Case{0, -600, 1.0, 0.501},
                       Case{0, 600, 0.501, 1.0}}) {
    TMediaPlayerOptions o;
    o.Audio = true;
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(file, o)) << player.LastError();
    ASSERT_TRUE(player.HasAudio());
    ASSERT_NE(sinks.last, nullptr);
    player.SetVolume(c.volume);
    player.SetBalance(c.balance);
    PlayToEnd(player);
    const std::vector<int16_t> rec = sinks.last->Recorded();
    // 0.4 s of 48 kHz stereo.
    ASSERT_GE(rec.size(), 2u * 18000);
    const double full = 0.5 * 32767 / std::sqrt(2.0);
    EXPECT_NEAR(Rms(rec, 0, 2, 2000) / full, c.left, 0.02) << c.volume << " " << c.balance;
    EXPECT_NEAR(Rms(rec, 1, 2, 2000) / full, c.right, 0.02) << c.volume << " " << c.balance;
  }
}

namespace {

// A sink that plays only as far as the test lets it: while it holds, an audio player's clock
// stands still, however long anything takes.
class SteppedAudioSink : public TAudioSink {
 public:
  static constexpr int64_t kCapacity = 24000;
  bool Start(const TAudioFormat& Format) override {
    std::lock_guard<std::mutex> lock(mutex_);
    format_ = Format;
    return Format.Channels > 0;
  }
  int64_t FreeFrames() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return kCapacity - (written_ - PlayedLocked());
  }
  int64_t Write(const int16_t* Samples, int64_t Frames) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t n = std::clamp<int64_t>(kCapacity - (written_ - PlayedLocked()), 0, Frames);
    samples_.insert(samples_.end(), Samples, Samples + n * format_.Channels);
    written_ += n;
    return n;
  }
  int64_t PlayedFrames() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return PlayedLocked();
  }
  int64_t WrittenFrames() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
  }
  void SetPaused(bool Paused) override {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = Paused;
  }
  void Flush() override {
    std::lock_guard<std::mutex> lock(mutex_);
    written_ = 0;
    allowed_ = 0;
    samples_.clear();
  }
  // Lets the sink play up to Frames frames since the last flush (as far as it has them).
  void Allow(int64_t Frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    allowed_ = Frames;
  }
  bool Playing() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !paused_;
  }
  // The frames played since the last flush.
  int64_t Played() { return PlayedFrames(); }

 private:
  int64_t PlayedLocked() const { return std::min(allowed_, written_); }
  std::mutex mutex_;
  TAudioFormat format_;
  std::vector<int16_t> samples_;
  int64_t written_ = 0, allowed_ = 0;
  bool paused_ = true;
};

// Whether EC_COMPLETE is among the events queued since the last call.
bool Completed(TMediaPlayer& Player) {
  int32_t code = 0;
  bool complete = false;
  while (Player.Events().GetEvent(code)) complete = complete || code == EC_COMPLETE;
  return complete;
}

bool WaitUntil(const std::function<bool()>& Condition, int Seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  while (!Condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

// With audio the clock is the sink's played samples, not the wall's: held, the frame at the
// position stays and the play never ends; 0.2 s played shows the frame 0.2 s on, and no later one;
// all played, the play ends, the sound having started at the position played from. Every step
// waits on what the player shows, so a busy machine only makes it slower.
TEST(MediaPlayerAudioTest, AudioClockFollowsTheSink) {
  VideoSpec s = Spec("matroska", "libx264", 25, 25);
  s.Audio = true;
  s.AudioCodec = "aac";
  const std::string file = Video(s);
  SteppedAudioSink* sink = nullptr;
  SetAudioSinkFactory([&sink] {
    auto made = std::make_unique<SteppedAudioSink>();
    sink = made.get();
    return std::unique_ptr<TAudioSink>(std::move(made));
  });
  TMediaPlayerOptions o;
  o.Audio = true;
  {
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(file, o)) << player.LastError();
    ASSERT_NE(sink, nullptr);
    player.Pause();
    player.SetPosition(5000000);  // 0.5 s: frame 12 (0.48 .. 0.52 s)
    EXPECT_EQ(ShownNumber(player), 12);
    player.Run();
    ASSERT_TRUE(WaitUntil([&] { return sink->Playing(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ShownNumber(player), 12);
    EXPECT_EQ(player.Position(), 5000000);
    EXPECT_FALSE(Completed(player));

    sink->Allow(9600);  // 0.2 s at 48 kHz: the clock at 0.7 s, frame 17 (0.68 .. 0.72 s)
    EXPECT_TRUE(WaitUntil([&] { return ShownNumber(player) == 17; })) << ShownNumber(player);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ShownNumber(player), 17);
    EXPECT_EQ(player.Position(), 7000000);
    EXPECT_FALSE(Completed(player));

    sink->Allow(INT64_MAX);
    EXPECT_TRUE(WaitUntil([&] { return Completed(player); }));
    EXPECT_EQ(ShownNumber(player), 24);
    // The sound from 0.5 s to the end of the 1-second clip: 0.5 s of it.
    EXPECT_NEAR(static_cast<double>(sink->Played()), 24000, 2400);
  }
  SetAudioSinkFactory(nullptr);
}

namespace {

// A sink that plays whatever it is given at once: an audio player's clock stands where the sound
// fed so far ends, and moves only while sound is fed, never while pictures decode.
class InstantAudioSink : public TAudioSink {
 public:
  bool Start(const TAudioFormat& Format) override { return Format.Channels > 0; }
  int64_t FreeFrames() override { return 1 << 20; }
  int64_t Write(const int16_t*, int64_t Frames) override {
    written_ += Frames;
    return Frames;
  }
  int64_t PlayedFrames() override { return written_; }
  int64_t WrittenFrames() override { return written_; }
  void SetPaused(bool) override {}
  void Flush() override { written_ = 0; }

 private:
  std::atomic<int64_t> written_{0};
};

}  // namespace

// Feeding the sound reads on through the file and decodes the pictures met on the way; a frame
// that falls due meanwhile is shown before more sound is fed. On the instant sink the clock moves
// by one audio packet at a time between those checks (21 ms, under a frame of 40 ms), so every
// frame shows and none is dropped, however long decoding takes. Fed first in long runs, the sound
// would carry the clock a second ahead and the frames would be dropped as late.
TEST(MediaPlayerAudioTest, FeedingSoundLetsDueFramesShow) {
  VideoSpec s = Spec("matroska", "libx264", 25, 25);
  s.Audio = true;
  s.AudioCodec = "aac";
  const std::string file = Video(s);
  SetAudioSinkFactory([] { return std::unique_ptr<TAudioSink>(new InstantAudioSink); });
  TMediaPlayerOptions o;
  o.Audio = true;
  {
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(file, o)) << player.LastError();
    ASSERT_TRUE(player.HasAudio());
    player.Pause();
    player.Run();
    EXPECT_TRUE(WaitUntil([&] { return Completed(player); }));
    EXPECT_EQ(player.FramesDropped(), 0);
    EXPECT_EQ(player.FramesShown(), 25);
    EXPECT_EQ(ShownNumber(player), 24);
  }
  SetAudioSinkFactory(nullptr);
}

// Other rates than 1 play on the monotonic clock at that rate, without sound (the pace checked as
// above, on the first of three plays that keeps it).
TEST(MediaPlayerAudioTest, RateOtherThanOneMutes) {
  VideoSpec s = Spec("avi", "mjpeg", 25, 25);
  s.Audio = true;
  const std::string file = Video(s);
  RecordingSinks sinks;
  TMediaPlayerOptions o;
  o.Audio = true;
  double seconds = 0;
  for (int play = 0; play < 3 && !(seconds > 0 && seconds < 0.9); ++play) {
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(file, o));
    EXPECT_FALSE(player.SetRate(0));
    ASSERT_TRUE(player.SetRate(2.0));
    const auto start = std::chrono::steady_clock::now();
    PlayToEnd(player);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 0.4);
    EXPECT_TRUE(sinks.last->Recorded().empty());
  }
  EXPECT_LT(seconds, 0.9);
}

// A sink that cannot start gives way to the silent sink; the clip still plays to its end.
TEST(MediaPlayerAudioTest, FailingSinkFallsBackToSilence) {
  struct FailingSink : TSilentAudioSink {
    bool Start(const TAudioFormat&) override { return false; }
  };
  SetAudioSinkFactory([] { return std::unique_ptr<TAudioSink>(new FailingSink); });
  VideoSpec s = Spec("avi", "mjpeg", 5, 5);
  s.Audio = true;
  TMediaPlayerOptions o;
  o.Audio = true;
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenFile(Video(s), o));
  ASSERT_NE(player.AudioSink(), nullptr);
  EXPECT_EQ(dynamic_cast<FailingSink*>(player.AudioSink()), nullptr);
  PlayToEnd(player);
  SetAudioSinkFactory(nullptr);
}

// ---------------------------------------------------------------------------------------- hostile

namespace {

std::string WriteBytes(const testsupport::ScratchDir& dir, const std::string& name, const std::vector<uint8_t>& b) {
  const std::string file = dir.File(name);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return file;
}

}  // namespace

// Hostile files are refused or read as far as they go: never a crash or a hang.
TEST(MediaPlayerHostileTest, DamagedFiles) {
  testsupport::ScratchDir dir;
  // An MP4 without its index (moov comes last: cut it off).
  const std::vector<uint8_t> mp4 = testsupport::ReadFileBytes(Video(Spec("mp4", "libx264", 30)));
  {
    TMediaPlayer player;
    EXPECT_FALSE(player.OpenFile(WriteBytes(dir, "nomoov.mp4", {mp4.begin(), mp4.begin() + mp4.size() / 2})));
  }
  // An AVI cut in the middle of its frames: what is there plays.
  const std::vector<uint8_t> avi = testsupport::ReadFileBytes(Video(Spec("avi", "mjpeg", 30)));
  {
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(WriteBytes(dir, "cut.avi", {avi.begin(), avi.begin() + avi.size() / 2}), NoClock()));
    player.Pause();
    EXPECT_EQ(ShownNumber(player), 0);
    // Half the file holds the first four frames, the last of them damaged: a seek past them shows
    // what decodes of the last one.
    player.SetPosition(FrameStart(29, 25, 1));
    EXPECT_NE(player.SampleBuffer().CurrentSample(), nullptr);
    player.SetPosition(FrameStart(1, 25, 1));
    EXPECT_EQ(ShownNumber(player), 1);
    PlayToEnd(player);
  }
  // Garbage and an empty file.
  {
    std::vector<uint8_t> junk(4096);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 131 + 7);
    TMediaPlayer player;
    EXPECT_FALSE(player.OpenFile(WriteBytes(dir, "junk.avi", junk)));
    EXPECT_FALSE(player.OpenFile(WriteBytes(dir, "empty.mp4", {})));
    EXPECT_FALSE(player.OpenMemory(nullptr, 0));
  }
}

// A frame size past the layer's pixel limit makes the stream count as no video before any buffer
// exists.
TEST(MediaPlayerHostileTest, FrameSizePastTheLimit) {
  const std::string file = Video(Spec("avi", "mjpeg", 5));
  SetMediaPixelLimit(64 * 48 - 1);
  TMediaPlayer player;
  EXPECT_FALSE(player.OpenFile(file));
  EXPECT_NE(player.LastError().find("refused"), std::string::npos) << player.LastError();
  SetMediaPixelLimit(int64_t{1} << 26);
  EXPECT_TRUE(player.OpenFile(file));
}

// A source whose reads stall: a paused seek gives up after the settle bound, and closing
// interrupts the read instead of waiting on it.
TEST(MediaPlayerHostileTest, StalledSourceSettleBound) {
  VideoSpec big = Spec("mp4", "libx264", 50);
  big.Width = 320;
  big.Height = 240;
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(Video(big));
  struct Stalling : TFormatSource {
    explicit Stalling(const std::vector<uint8_t>& b) : TFormatSource(std::string()), bytes(b) {}
    int ReadPacket(AVPacket* packet) override {
      if (stall) {
        while (!Interrupted()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return AVERROR_EXIT;
      }
      return TFormatSource::ReadPacket(packet);
    }
    int SeekKeyFrame(int index, int64_t ts) override {
      if (stall) {
        while (!Interrupted()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return AVERROR_EXIT;
      }
      return TFormatSource::SeekKeyFrame(index, ts);
    }
    int Read(uint8_t* buffer, int size) override {
      const size_t n = std::min<size_t>(size, bytes.size() - pos);
      std::memcpy(buffer, bytes.data() + pos, n);
      pos += n;
      return static_cast<int>(n);
    }
    int64_t SeekBytes(int64_t offset, int whence) override {
      if (whence == AVSEEK_SIZE) return static_cast<int64_t>(bytes.size());
      const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(pos) : whence == SEEK_END ? static_cast<int64_t>(bytes.size()) : 0;
      if (base + offset < 0 || base + offset > static_cast<int64_t>(bytes.size())) return -1;
      pos = static_cast<size_t>(base + offset);
      return base + offset;
    }
    const std::vector<uint8_t>& bytes;
    size_t pos = 0;
    std::atomic<bool> stall{false};
  };
  auto source = std::make_unique<Stalling>(bytes);
  Stalling* raw = source.get();
  TMediaPlayer player;
  ASSERT_TRUE(player.Open(std::move(source), NoClock()));
  player.Pause();
  raw->stall = true;
  SetMediaSettleBoundMs(300);
  const auto start = std::chrono::steady_clock::now();
  player.SetPosition(FrameStart(45, 25, 1));
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  SetMediaSettleBoundMs(10000);
  EXPECT_GT(waited, 0.25);
  EXPECT_LT(waited, 2.0);
  const auto closing = std::chrono::steady_clock::now();
  player.Close();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count(), 2.0);
}

// A video stream the player cannot use (a zero time base, a FOURCC no decoder knows) counts as no
// video: a file without another stream is refused with the reason, one with sound plays the sound.
TEST(MediaPlayerHostileTest, UnusableVideoStreams) {
  testsupport::ScratchDir dir;
  // The MJPEG AVI with its codec tag (in the stream header and the format block) made unknown.
  std::vector<uint8_t> avi = testsupport::ReadFileBytes(Video(Spec("avi", "mjpeg", 5)));
  int replaced = 0;
  for (size_t i = 0; i + 4 <= avi.size() && replaced < 2; ++i) {
    if (std::memcmp(avi.data() + i, "MJPG", 4) == 0) {
      std::memcpy(avi.data() + i, "QQQQ", 4);
      ++replaced;
    }
  }
  ASSERT_EQ(replaced, 2);
  {
    TMediaPlayer player;
    EXPECT_FALSE(player.OpenFile(WriteBytes(dir, "nodecoder.avi", avi)));
    EXPECT_NE(player.LastError().find("no decoder"), std::string::npos) << player.LastError();
    EXPECT_EQ(player.Duration(), 0);
  }
  // A source whose demuxer reports a zero time base for the video.
  struct ZeroTimeBase : TMemorySource {
    using TMemorySource::TMemorySource;
    bool Open(std::string& Error) override {
      if (!TMemorySource::Open(Error)) return false;
      for (unsigned i = 0; i < Context()->nb_streams; ++i)
        if (Context()->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) Context()->streams[i]->time_base = {0, 1};
      return true;
    }
  };
  VideoSpec withSound = Spec("avi", "mjpeg", 5, 5);
  withSound.Audio = true;
  for (const bool sound : {false, true}) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(Video(sound ? withSound : Spec("avi", "mjpeg", 5)));
    TMediaPlayerOptions o = NoClock();
    o.Audio = sound;
    TMediaPlayer player;
    EXPECT_EQ(player.Open(std::make_unique<ZeroTimeBase>(bytes.data(), bytes.size()), o), sound);
    EXPECT_NE(player.LastError().find("no time base"), std::string::npos) << player.LastError();
    EXPECT_FALSE(player.HasVideo());
    EXPECT_EQ(player.HasAudio(), sound);
    if (sound) {
      EXPECT_EQ(player.Duration(), 2000000);
      PlayToEnd(player);
    }
  }
}

// A read that fails in the middle of the data while running: EC_ERRORABORT, and the player pauses
// on the last frame it showed.
TEST(MediaPlayerHostileTest, ReadFailureAbortsAndPauses) {
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(Video(Spec("avi", "mjpeg", 30)));
  struct Failing : TMemorySource {
    using TMemorySource::TMemorySource;
    int ReadPacket(AVPacket* Packet) override {
      if (++packets > 12) return AVERROR(EIO);
      return TMemorySource::ReadPacket(Packet);
    }
    int packets = 0;
  };
  TMediaPlayer player;
  ASSERT_TRUE(player.Open(std::make_unique<Failing>(bytes.data(), bytes.size()), NoClock()));
  player.Run();
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    if (player.Events().GetEvent(code, p1, p2) && (code == EC_ERRORABORT || code == EC_COMPLETE)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(p1, AVERROR(EIO));
  EXPECT_EQ(player.State(), 1);
  const int shown = ShownNumber(player);
  EXPECT_GE(shown, 0);
  EXPECT_LT(shown, 12);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(player.Events().GetEvent(code) && code == EC_COMPLETE);
}
