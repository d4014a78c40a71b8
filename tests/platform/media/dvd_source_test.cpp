// The media player on a DVD-Video folder authored at test time, through the navigated source:
// titles play with their frames' size and location, chapter and time jumps while paused and while
// running, and discs that cannot be played (missing, scrambled).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/audio_sink.h"
#include "platform/media/media_events.h"
#include "platform/media/media_player.h"
#include "platform/media/media_time.h"
#include "platform/media/sample_buffer.h"
#include "platform/media/video_sample.h"
#include "platform/system/debug_log.h"
#include "tests/support/dvd_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/video_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kSecond = kMediaTimeUnitsPerSecond;
constexpr int64_t kFrame = kSecond / 25;

template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TMediaPlayerOptions Options(TMediaClockSource Clock) {
  TMediaPlayerOptions o;
  o.Clock = Clock;
  return o;
}

// Waits for an event with the code; the events before it are dropped.
bool WaitEvent(TMediaPlayer& Player, int32_t Code, intptr_t* Param = nullptr, int TimeoutMs = 10000) {
  return WaitUntil(
      [&] {
        int32_t code;
        intptr_t p1, p2;
        while (Player.Events().GetEvent(code, p1, p2)) {
          if (code == Code) {
            if (Param) *Param = p1;
            return true;
          }
        }
        return false;
      },
      TimeoutMs);
}

struct TShown {
  int64_t Time;
  TDvdLocation Location;
};

// Records the location of every frame delivered.
class TRecorder {
 public:
  explicit TRecorder(TMediaPlayer& Player) {
    Player.SampleBuffer().SetCallback([this, &Player](double, const uint8_t*, int64_t) {
      const TVideoSamplePtr s = Player.SampleBuffer().CurrentSample();
      std::lock_guard<std::mutex> lock(mutex_);
      shown_.push_back({s ? s->Time : -1, Player.DvdLocation()});
    });
  }
  std::vector<TShown> Shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  std::mutex mutex_;
  std::vector<TShown> shown_;
};

}  // namespace

// Title 1 plays from the start to the disc's end: every frame 352 x 288, title 1, chapter 1 up to
// the chapter mark (on the GOP at 1.2 s) and 2 after it, the title time running with the frames.
TEST(DvdSourceTest, PlaysTheFirstTitleWithItsLocation) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdFixtureFolder().string(), Options(mcsNone))) << player.LastError();
  EXPECT_TRUE(player.HasVideo());
  EXPECT_FALSE(player.DvdLocation().Valid);  // nothing shown yet
  TRecorder recorder(player);
  player.Run();
  ASSERT_TRUE(WaitEvent(player, EC_COMPLETE));
  const TVideoSamplePtr sample = player.SampleBuffer().CurrentSample();
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->Width(), 352);
  EXPECT_EQ(sample->Height(), 288);
  const std::vector<TShown> shown = recorder.Shown();
  ASSERT_EQ(shown.size(), 50u);
  for (size_t i = 0; i < shown.size(); ++i) {
    const TDvdLocation& l = shown[i].Location;
    SCOPED_TRACE(i);
    ASSERT_TRUE(l.Valid);
    EXPECT_EQ(l.Title, 1);
    EXPECT_EQ(l.Chapter, i < 30 ? 1 : 2);
    EXPECT_NEAR(l.TitleTime, static_cast<int64_t>(i) * kFrame, kFrame / 2);
    EXPECT_NEAR(shown[i].Time - shown[0].Time, static_cast<int64_t>(i) * kFrame, kFrame / 2);
    EXPECT_EQ(l.TotalTitleTime, 2 * kSecond);
    EXPECT_EQ(l.FramesPerSecond, 25);
    EXPECT_FALSE(l.InMenu);
  }
  // Positions are not the disc's to set: nothing moves. At the end the position is the clock's (a
  // disc has no duration to stand at).
  player.SetPosition(0);
  EXPECT_EQ(player.DvdLocation().TitleTime, shown.back().Location.TitleTime);
  EXPECT_EQ(player.Duration(), 0);
  EXPECT_NEAR(player.Position(), shown.back().Time, 2 * kFrame);
  player.Pause();
  EXPECT_NEAR(player.Position(), shown.back().Time, 2 * kFrame);
}

// Paused, a jump shows the first frame of where it led; the commands wait for it.
TEST(DvdSourceTest, PausedJumpsShowWhereTheyLed) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdFixtureFolder().string(), Options(mcsMonotonic))) << player.LastError();
  player.Pause();
  TDvdLocation l = player.DvdLocation();
  EXPECT_EQ(l.Title, 1);
  EXPECT_EQ(l.Chapter, 1);
  EXPECT_EQ(l.TitleTime, 0);

  player.DvdCommand(dvdPlayChapter, 1, 2);
  l = player.DvdLocation();
  EXPECT_EQ(l.Title, 1);
  EXPECT_EQ(l.Chapter, 2);
  EXPECT_NEAR(l.TitleTime, 30 * kFrame, kFrame / 2);

  player.DvdCommand(dvdPlayChapter, 2, 1);
  l = player.DvdLocation();
  EXPECT_EQ(l.Title, 2);
  EXPECT_EQ(l.Chapter, 1);
  EXPECT_EQ(l.TitleTime, 0);
  EXPECT_EQ(l.TotalTitleTime, kSecond);

  // A time lands on the frame at the time (the navigator finds its VOBU, the frames before it in
  // the VOBU are passed over).
  player.DvdCommand(dvdPlayAtTime, 1, 1 * kSecond + 12 * kFrame);
  l = player.DvdLocation();
  EXPECT_EQ(l.Title, 1);
  EXPECT_EQ(l.Chapter, 2);
  EXPECT_NEAR(l.TitleTime, 37 * kFrame, kFrame / 2);
  // The navigator lands past 0.4 s in title 2's one cell; searched again further back.
  player.DvdCommand(dvdPlayAtTime, 2, 10 * kFrame);
  EXPECT_EQ(player.DvdLocation().Title, 2);
  EXPECT_NEAR(player.DvdLocation().TitleTime, 10 * kFrame, kFrame / 2);
  player.DvdCommand(dvdPlayAtTime, 1, 0);
  EXPECT_EQ(player.DvdLocation().TitleTime, 0);
  EXPECT_EQ(player.DvdLocation().Chapter, 1);

  // Commands the disc refuses change nothing.
  player.DvdCommand(dvdPlayChapter, 7, 1);
  player.DvdCommand(dvdPlayChapter, 1, 9);
  player.DvdCommand(dvdShowMenu, 3);  // the disc has no menus
  l = player.DvdLocation();
  EXPECT_EQ(l.Title, 1);
  EXPECT_EQ(l.TitleTime, 0);
  EXPECT_EQ(player.State(), 1);
}

// Running, a jump goes on playing from its target on the same clock, to the end of the disc.
TEST(DvdSourceTest, RunningJumpPlaysOn) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdFixtureFolder().string(), Options(mcsMonotonic))) << player.LastError();
  TRecorder recorder(player);
  player.Run();
  ASSERT_TRUE(WaitUntil([&] { return player.FramesShown() >= 3; }));
  player.DvdCommand(dvdPlayChapter, 2, 1);
  ASSERT_TRUE(WaitEvent(player, EC_COMPLETE));
  const std::vector<TShown> shown = recorder.Shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().Location.Title, 2);
  size_t title2 = 0;
  for (size_t i = 1; i < shown.size(); ++i) {
    EXPECT_GT(shown[i].Time, shown[i - 1].Time) << i;  // one clock, never back
    if (shown[i].Location.Title == 2) ++title2;
  }
  // Title 2's 25 frames, less those dropped late (a loaded machine drops many).
  EXPECT_GE(title2, 1u);
  EXPECT_LE(title2, 25u);
  EXPECT_NEAR(shown.back().Location.TitleTime, 24 * kFrame, kFrame / 2);  // the last is never dropped
}

TEST(DvdSourceTest, DiscsThatCannotPlay) {
  TMediaPlayer player;
  EXPECT_FALSE(player.OpenDvd("/nonexistent/disc"));
  EXPECT_FALSE(player.LastError().empty());
  player.DvdCommand(dvdPlayChapter, 1, 1);  // nothing open: nothing happens
  EXPECT_FALSE(player.DvdLocation().Valid);

  // An empty folder holds no disc.
  testsupport::ScratchDir empty;
  EXPECT_FALSE(player.OpenDvd(empty.Path().string()));
}

// A title whose video object is damaged (sectors of garbage, then cut short): what comes before
// the damage plays, then the navigator's failure is reported (EC_DVD_ERROR, no EC_COMPLETE) and
// nothing more is read: no crash, no hang.
TEST(DvdSourceTest, DamagedVideoObjectPlaysWhatIsGood) {
  testsupport::ScratchDir dir;
  const fs::path disc = dir.Path() / "disc";
  fs::copy(testsupport::DvdFixtureFolder(), disc, fs::copy_options::recursive);
  const fs::path vob = disc / "VIDEO_TS" / "VTS_01_1.VOB";
  std::vector<char> bytes;
  {
    std::ifstream in(vob, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(bytes.size(), 40u * 2048);
  uint32_t seed = 7;
  for (size_t i = 10 * 2048; i < 30 * 2048; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(seed >> 24);
  }
  bytes.resize(bytes.size() * 3 / 4);
  std::ofstream(vob, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(disc.string(), Options(mcsNone))) << player.LastError();
  player.Run();
  intptr_t code = 0;
  ASSERT_TRUE(WaitEvent(player, EC_DVD_ERROR, &code));
  EXPECT_EQ(code, 1);  // DVD_ERROR_Unexpected
  // The frames read before the damage are shown.
  EXPECT_TRUE(WaitUntil([&] { return player.FramesShown() >= 1; })) << player.FramesShown();
  player.DvdCommand(dvdPlayChapter, 2, 1);  // the navigator is not called again
  player.Pause();
  int32_t event;
  intptr_t p1, p2;
  while (player.Events().GetEvent(event, p1, p2)) EXPECT_NE(event, EC_COMPLETE);
  player.Stop();
}

// A disc whose packs are scrambled (CSS) is reported once with DVD_ERROR_CopyProtectFail and is
// not played (nothing is decrypted).
TEST(DvdSourceTest, ScrambledDiscIsReported) {
  testsupport::ScratchDir dir;
  const fs::path disc = dir.Path() / "disc";
  fs::copy(testsupport::DvdFixtureFolder(), disc, fs::copy_options::recursive);
  // The scrambling bits of every PES packet of title 1's video object.
  const fs::path vob = disc / "VIDEO_TS" / "VTS_01_1.VOB";
  std::fstream f(vob, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(f);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  int marked = 0;
  for (size_t sector = 0; sector + 2048 <= bytes.size(); sector += 2048) {
    auto* s = reinterpret_cast<unsigned char*>(bytes.data() + sector);
    if (s[0] != 0 || s[1] != 0 || s[2] != 1 || s[3] != 0xBA) continue;
    size_t pos = 14 + (s[13] & 7);
    while (pos + 9 <= 2048 && s[pos] == 0 && s[pos + 1] == 0 && s[pos + 2] == 1) {
      const int id = s[pos + 3];
      const size_t length = (size_t{s[pos + 4]} << 8) | s[pos + 5];
      if (id == 0xE0 || id == 0xBD) {
        s[pos + 6] |= 0x10;
        ++marked;
      }
      pos += 6 + length;
    }
  }
  ASSERT_GT(marked, 10);
  f.seekp(0);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  f.close();

  TMediaPlayer player;
  // The disc opens (at the size the disc declares) and has said why it will not play, in the
  // debug log too.
  testsupport::ScratchDir logDir;
  const std::string logFile = (logDir.Path() / "debug.log").string();
  const std::string oldLog = DebugLogFileName();
  SetDebugLogFileName(logFile);
  ASSERT_TRUE(player.OpenDvd(disc.string())) << player.LastError();
  intptr_t code = 0;
  const bool reported = WaitEvent(player, EC_DVD_ERROR, &code);
  SetDebugLogFileName(oldLog);
  ASSERT_TRUE(reported);
  EXPECT_EQ(code, 2);
  const std::vector<uint8_t> log = testsupport::ReadFileBytes(logFile);
  EXPECT_NE(std::string(log.begin(), log.end())
                .find("This DVD is encrypted (CSS); it cannot be played because libdvdcss is not installed."),
            std::string::npos);
  player.Pause();
  player.Run();
  player.Pause();
  EXPECT_EQ(player.FramesShown(), 0);
  EXPECT_FALSE(player.DvdLocation().Valid);
  int32_t event;
  intptr_t p1, p2;
  while (player.Events().GetEvent(event, p1, p2)) EXPECT_NE(event, EC_DVD_ERROR);  // once
}

namespace {

// The colour at (X, Y) from the top of a frame (its rows bottom-up, blue first).
struct TRgb {
  int R, G, B;
};
TRgb PixelAt(const TVideoSample& Sample, int X, int Y) {
  const uint8_t* px = Sample.Bits() + static_cast<ptrdiff_t>(Sample.Height() - 1 - Y) * Sample.RowLength() + X * 3;
  return {px[2], px[1], px[0]};
}
::testing::AssertionResult Near(TRgb Got, TRgb Want) {
  if (std::abs(Got.R - Want.R) <= 40 && std::abs(Got.G - Want.G) <= 40 && std::abs(Got.B - Want.B) <= 40) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << Got.R << "," << Got.G << "," << Got.B << " want " << Want.R << ","
                                       << Want.G << "," << Want.B;
}
TRgb ButtonColor(TMediaPlayer& Player, int Index) {
  const TVideoSamplePtr s = Player.SampleBuffer().CurrentSample();
  if (!s) return {-1000, -1000, -1000};
  const testsupport::TDvdMenuButton& b = testsupport::kDvdMenuButtons[Index];
  return PixelAt(*s, (b.X0 + b.X1) / 2, (b.Y0 + b.Y1) / 2);
}
constexpr TRgb kWhite{255, 255, 255}, kYellow{255, 255, 0}, kBlue{0, 0, 255};

}  // namespace

// A menu plays into its endless still (the last picture stays, the disc does not end), with its
// buttons drawn over the picture and the selected one highlighted; the mouse selects, activation
// jumps to the title, and the title menu is reached again from the title.
TEST(DvdSourceTest, MenuStillButtonsAndHighlight) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdMenuFixtureFolder().string(), Options(mcsNone))) << player.LastError();
  player.Run();
  // The menu's second of pictures; then the still holds the last one.
  ASSERT_TRUE(WaitUntil([&] { return player.FramesShown() >= 25; })) << player.FramesShown();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(player.FramesShown(), 25);
  int32_t code;
  intptr_t p1, p2;
  while (player.Events().GetEvent(code, p1, p2)) EXPECT_NE(code, EC_COMPLETE);
  TDvdLocation l = player.DvdLocation();
  EXPECT_TRUE(l.Valid);
  EXPECT_TRUE(l.InMenu);
  EXPECT_EQ(l.Title, 0);
  TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Width(), 720);
  EXPECT_EQ(s->Height(), 576);
  EXPECT_TRUE(Near(PixelAt(*s, 50, 50), kBlue));
  EXPECT_TRUE(Near(ButtonColor(player, 0), kYellow));  // selected
  EXPECT_TRUE(Near(ButtonColor(player, 1), kWhite));

  // The mouse over button 2 selects it: the still is drawn again; outside the buttons nothing moves.
  player.DvdCommand(dvdSelectAt, 500, 150);
  EXPECT_TRUE(Near(ButtonColor(player, 0), kWhite));
  EXPECT_TRUE(Near(ButtonColor(player, 1), kYellow));
  player.DvdCommand(dvdSelectAt, 20, 500);
  EXPECT_TRUE(Near(ButtonColor(player, 1), kYellow));
  EXPECT_EQ(player.FramesShown(), 25);  // a redraw is no new frame

  // Activated: title 2 plays at its own size to its end.
  player.DvdCommand(dvdActivate);
  ASSERT_TRUE(WaitUntil([&] {
    const TDvdLocation now = player.DvdLocation();
    return now.Title == 2 && now.TitleTime >= 20 * kFrame;
  }));
  s = player.SampleBuffer().CurrentSample();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Width(), 352);
  EXPECT_EQ(s->Height(), 288);
  intptr_t size = 0;
  EXPECT_TRUE(WaitEvent(player, EC_VIDEO_SIZE_CHANGED, &size));
  EXPECT_EQ(size, (288 << 16) | 352);

  // The disc's end (title 2 has no command after it); the title menu is reached again from there.
  EXPECT_TRUE(WaitEvent(player, EC_COMPLETE));
  player.DvdCommand(dvdShowMenu, 2);
  EXPECT_TRUE(WaitUntil([&] { return player.DvdLocation().InMenu; }));
  EXPECT_TRUE(WaitUntil([&] { return player.SampleBuffer().CurrentSample()->Width() == 720; }));
}

// Paused in a menu: a jump shows its first picture at once; commands of another domain are refused.
TEST(DvdSourceTest, PausedMenuCommands) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdMenuFixtureFolder().string(), Options(mcsMonotonic))) << player.LastError();
  player.Pause();
  EXPECT_TRUE(player.DvdLocation().InMenu);
  player.DvdCommand(dvdPlayChapter, 1, 1);
  EXPECT_EQ(player.DvdLocation().Title, 1);
  EXPECT_EQ(player.SampleBuffer().CurrentSample()->Width(), 352);
  // The title menu from the title: its first picture, with the buttons.
  player.DvdCommand(dvdShowMenu, 2);
  EXPECT_TRUE(player.DvdLocation().InMenu);
  EXPECT_EQ(player.SampleBuffer().CurrentSample()->Width(), 720);
  EXPECT_TRUE(Near(ButtonColor(player, 0), kYellow));
  EXPECT_TRUE(Near(ButtonColor(player, 1), kWhite));
  player.DvdCommand(dvdShowMenu, 7);  // no chapter menu
  EXPECT_TRUE(player.DvdLocation().InMenu);
  EXPECT_EQ(player.State(), 1);
}

// A button whose command the navigator can carry out only from some places (a previous cell from
// the menu's only cell, a chain the menus do not have, the next chain of one that names none, a
// part of a title from a menu) is neither selected nor activated there: the menu stays on screen
// and plays on, and a command that can run still leaves it. The menu disc's button 1 is given the
// command in every navigation pack of the menu.
TEST(DvdSourceTest, ButtonCommandsThatCannotRunFromHereAreRefused) {
  struct Case {
    const char* what;
    uint8_t command[8];
  };
  const Case cases[] = {
      {"previous cell", {0x20, 0x01, 0, 0, 0, 0, 0, 0x03}},
      {"chain 2", {0x20, 0x04, 0, 0, 0, 0, 0, 0x02}},
      {"next chain", {0x20, 0x01, 0, 0, 0, 0, 0, 0x0A}},
      {"part 1", {0x20, 0x05, 0, 0, 0, 0, 0, 0x01}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScratchDir dir;
    const fs::path disc = dir.Path() / "disc";
    fs::copy(testsupport::DvdMenuFixtureFolder(), disc, fs::copy_options::recursive);
    const fs::path vob = disc / "VIDEO_TS" / "VIDEO_TS.VOB";
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(vob.string());
    // A navigation pack: the presentation packet (private stream 2, substream 0) after the pack
    // and system headers; button 1's command 0x98 bytes into it.
    constexpr size_t kCommand = 0x2D + 0x98;
    const uint8_t jumpTitle1[8] = {0x30, 0x02, 0, 0, 0, 0x01, 0, 0};
    int patched = 0;
    for (size_t sector = 0; sector + 2048 <= bytes.size(); sector += 2048) {
      uint8_t* s = bytes.data() + sector;
      if (s[0x26] != 0 || s[0x27] != 0 || s[0x28] != 1 || s[0x29] != 0xBF || s[0x2C] != 0) continue;
      ASSERT_TRUE(std::equal(jumpTitle1, jumpTitle1 + 8, s + kCommand)) << "sector " << sector / 2048;
      std::copy(c.command, c.command + 8, s + kCommand);
      ++patched;
    }
    ASSERT_GT(patched, 0);
    std::ofstream(vob, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    TMediaPlayer player;
    ASSERT_TRUE(player.OpenDvd(disc.string(), Options(mcsNone))) << player.LastError();
    player.Run();
    ASSERT_TRUE(WaitUntil([&] { return player.FramesShown() >= 25; })) << player.FramesShown();
    player.DvdCommand(dvdSelectAt, 500, 150);
    player.DvdCommand(dvdActivate);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(player.DvdLocation().InMenu);
    EXPECT_EQ(player.State(), 2);
    EXPECT_TRUE(Near(ButtonColor(player, 0), kYellow));  // still button 1
    // From the menu's endless still, a chapter of title 2.
    player.DvdCommand(dvdPlayChapter, 2, 1);
    EXPECT_TRUE(WaitUntil([&] { return player.DvdLocation().Title == 2; }));
  }
}

// Subtitles: the disc's two sub-picture streams (red square "en", white square "de", neither
// forced) are drawn over the title as chosen. The navigator takes the "en" stream and, as the disc
// leaves them off, draws nothing until subtitles are switched on; another stream chosen, or its
// language, is drawn from its next sub-picture on; a stream the title lacks is refused. The title
// has one angle: angle 2 is refused.
TEST(DvdSourceTest, SubtitlesSwitchedOnAndChosenByStreamAndLanguage) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdSubtitleFixtureFolder().string(), Options(mcsMonotonic)))
      << player.LastError();
  player.Pause();
  const auto boxColor = [&](int Stream) {
    const testsupport::TDvdSubtitleBox& b = testsupport::kDvdSubtitleBoxes[Stream];
    const TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
    return s ? PixelAt(*s, (b.X0 + b.X1) / 2, (b.Y0 + b.Y1) / 2) : TRgb{-1000, -1000, -1000};
  };
  const TRgb kRed{255, 0, 0}, kWhite{255, 255, 255};
  player.DvdCommand(dvdPlayChapter, 1, 1);
  TDvdLocation l = player.DvdLocation();
  ASSERT_EQ(l.Title, 1);
  EXPECT_EQ(l.Subpicture, 0);
  EXPECT_EQ(l.SubpictureLanguage, "en");
  EXPECT_FALSE(l.SubtitlesShown);
  EXPECT_EQ(l.Angle, 1);
  EXPECT_EQ(l.Angles, 1);
  EXPECT_FALSE(Near(boxColor(0), kRed));
  EXPECT_FALSE(Near(boxColor(1), kWhite));

  // Switched on: the frame on screen is drawn again with the red square.
  player.DvdCommand(dvdSubpicture, -1, 1);
  EXPECT_TRUE(player.DvdLocation().SubtitlesShown);
  EXPECT_TRUE(Near(boxColor(0), kRed));
  EXPECT_FALSE(Near(boxColor(1), kWhite));
  // Off again.
  player.DvdCommand(dvdSubpicture, -1, 0);
  EXPECT_FALSE(Near(boxColor(0), kRed));

  // Stream 1, shown, from the title's start.
  player.DvdCommand(dvdSubpicture, 1, 1);
  player.DvdCommand(dvdPlayChapter, 1, 1);
  l = player.DvdLocation();
  EXPECT_EQ(l.Subpicture, 1);
  EXPECT_EQ(l.SubpictureLanguage, "de");
  EXPECT_TRUE(Near(boxColor(1), kWhite));
  EXPECT_FALSE(Near(boxColor(0), kRed));

  // No stream 5; language "en" back, and the title again.
  player.DvdCommand(dvdSubpicture, 5, 1);
  EXPECT_EQ(player.DvdLocation().Subpicture, 1);
  player.DvdCommand(dvdSubpictureLanguage, 'e' << 8 | 'n');
  player.DvdCommand(dvdPlayChapter, 1, 1);
  l = player.DvdLocation();
  EXPECT_EQ(l.Subpicture, 0);
  EXPECT_EQ(l.SubpictureLanguage, "en");
  EXPECT_TRUE(Near(boxColor(0), kRed));

  player.DvdCommand(dvdAngle, 2);
  player.DvdCommand(dvdPlayChapter, 1, 1);
  EXPECT_EQ(player.DvdLocation().Angle, 1);
}

// Once a disc has played to its end the navigator has stopped; a command starts it again and
// shows where it led.
TEST(DvdSourceTest, CommandsAfterTheDiscsEnd) {
  struct TCase {
    TDvdCommandKind Kind;
    int64_t Arg1, Arg2;
    int32_t Title, Chapter;
    int64_t TitleTime;
  };
  const TCase cases[] = {{dvdPlayChapter, 1, 2, 1, 2, 30 * kFrame},
                         {dvdPlayAtTime, 1, kSecond + 12 * kFrame, 1, 2, 37 * kFrame},
                         {dvdPlayChapter, 2, 1, 2, 1, 0},
                         {dvdPlayAtTime, 2, 10 * kFrame, 2, 1, 10 * kFrame}};
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdFixtureFolder().string(), Options(mcsNone))) << player.LastError();
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "command " << int{c.Kind} << " (" << c.Arg1 << ", " << c.Arg2 << ")");
    player.Pause();
    player.DvdCommand(dvdPlayAtTime, 2, 20 * kFrame);
    player.Run();
    ASSERT_TRUE(WaitEvent(player, EC_COMPLETE));
    player.Pause();
    player.DvdCommand(c.Kind, c.Arg1, c.Arg2);
    const TDvdLocation l = player.DvdLocation();
    EXPECT_EQ(l.Title, c.Title);
    EXPECT_EQ(l.Chapter, c.Chapter);
    EXPECT_NEAR(l.TitleTime, c.TitleTime, kFrame / 2);
    // And it plays on from there.
    const int64_t shown = player.FramesShown();
    player.Run();
    EXPECT_TRUE(WaitUntil([&] { return player.FramesShown() >= shown + 3; })) << player.FramesShown();
  }
}

// Backward play: key frames only, each further back in the title (the navigator's time search
// may land past the time asked for; it is searched again further back) and stamped for the title
// time it steps over at the speed, down to the title's start; from there the title plays forward
// frame by frame to its end. Title 1 has two cells, title 2 one.
TEST(DvdSourceTest, BackwardPlayStepsBackByKeyFramesThenForward) {
  struct TCase {
    int32_t Title;
    int64_t From;     // title time
    int64_t Speed;    // thousandths
    int64_t LastFrame;
  };
  for (const TCase& c : {TCase{1, 19 * kSecond / 10, 2000, 49}, TCase{2, 9 * kSecond / 10, 1000, 24}}) {
    SCOPED_TRACE(testing::Message() << "title " << c.Title << " at speed " << c.Speed / 1000.0);
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenDvd(testsupport::DvdFixtureFolder().string(), Options(mcsNone))) << player.LastError();
    player.Pause();
    player.DvdCommand(dvdPlayAtTime, c.Title, c.From);
    ASSERT_NEAR(player.DvdLocation().TitleTime, c.From, kFrame / 2);
    TRecorder recorder(player);
    player.DvdCommand(dvdPlayBackward, c.Speed);
    player.Run();
    ASSERT_TRUE(WaitEvent(player, EC_COMPLETE, nullptr, 20000));
    const std::vector<TShown> shown = recorder.Shown();
    const auto dump = [&] {
      std::string text;
      for (const TShown& f : shown) text += std::to_string(f.Location.TitleTime / kFrame) + "@" + std::to_string(f.Time / kFrame) + " ";
      return text;
    };
    size_t start = 0;
    while (start < shown.size() && shown[start].Location.TitleTime > kFrame / 2) ++start;
    ASSERT_LT(start, shown.size()) << "the title's start was never shown: " << dump();
    ASSERT_GE(start, 1u) << dump();
    EXPECT_LT(shown[0].Location.TitleTime, c.From) << dump();
    for (size_t i = 1; i <= start; ++i) {
      SCOPED_TRACE(testing::Message() << "key frame " << i << ": " << dump());
      const int64_t back = shown[i - 1].Location.TitleTime - shown[i].Location.TitleTime;
      EXPECT_GE(back, 5 * kFrame);  // a VOBU at least
      EXPECT_EQ(shown[i].Location.Title, c.Title);
      EXPECT_NEAR(shown[i].Time - shown[i - 1].Time, back * 1000 / c.Speed, kFrame);
    }
    // Forward again from the start on one clock, every frame to the end (the first one shown
    // again as it begins).
    if (start + 1 < shown.size() && shown[start + 1].Location.TitleTime <= kFrame / 2) ++start;
    const std::vector<TShown> forward(shown.begin() + static_cast<ptrdiff_t>(start), shown.end());
    ASSERT_EQ(static_cast<int64_t>(forward.size()), c.LastFrame + 1) << dump();
    for (size_t i = 0; i < forward.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(forward[i].Location.Title, c.Title);
      EXPECT_NEAR(forward[i].Location.TitleTime, static_cast<int64_t>(i) * kFrame, kFrame / 2);
      EXPECT_NEAR(forward[i].Time - forward[0].Time, static_cast<int64_t>(i) * kFrame, kFrame / 2);
    }
  }
}

// Backward play ends where it is when forward play is asked for: paused, the key frame shown
// first, then forward from it.
TEST(DvdSourceTest, BackwardPlayEndsWhereItIs) {
  TMediaPlayer player;
  ASSERT_TRUE(player.OpenDvd(testsupport::DvdFixtureFolder().string(), Options(mcsNone))) << player.LastError();
  player.Pause();
  player.DvdCommand(dvdPlayBackward, 0);  // not playing backward: nothing
  EXPECT_EQ(player.DvdLocation().TitleTime, 0);
  player.DvdCommand(dvdPlayAtTime, 1, 19 * kSecond / 10);
  player.DvdCommand(dvdPlayBackward, 1000);
  const int64_t key = player.DvdLocation().TitleTime;
  EXPECT_LT(key, 19 * kSecond / 10);
  EXPECT_GT(key, 0);
  TRecorder recorder(player);
  player.DvdCommand(dvdPlayBackward, 0);
  EXPECT_NEAR(player.DvdLocation().TitleTime, key, kFrame / 2);
  player.Run();
  ASSERT_TRUE(WaitEvent(player, EC_COMPLETE));
  const std::vector<TShown> shown = recorder.Shown();
  ASSERT_FALSE(shown.empty());
  for (size_t i = 1; i < shown.size(); ++i) {
    EXPECT_NEAR(shown[i].Location.TitleTime - shown[i - 1].Location.TitleTime, kFrame, kFrame / 2) << i;
  }
  EXPECT_NEAR(shown.back().Location.TitleTime, 49 * kFrame, kFrame / 2);
  // In a menu or before anything is shown there is nothing to play backward.
  TMediaPlayer menu;
  ASSERT_TRUE(menu.OpenDvd(testsupport::DvdMenuFixtureFolder().string(), Options(mcsNone))) << menu.LastError();
  menu.DvdCommand(dvdPlayBackward, 1000);
  menu.Pause();
  menu.DvdCommand(dvdPlayBackward, 1000);
  EXPECT_TRUE(menu.DvdLocation().InMenu);
}

// ------------------------------------------------------------------------------------------ sound

namespace {

// The frequency of a tone in the left channel of interleaved stereo samples (rising zero
// crossings over the time they span), and its level.
double ToneHertz(const std::vector<int16_t>& Samples) {
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = 2; i < Samples.size(); i += 2) {
    if (Samples[i - 2] < 0 && Samples[i] >= 0) {
      if (crossings == 0) first = i / 2;
      last = i / 2;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * 48000.0 / static_cast<double>(last - first) : 0;
}
double Rms(const std::vector<int16_t>& Samples) {
  double sum = 0;
  for (size_t i = 0; i < Samples.size(); i += 2) sum += double(Samples[i]) * Samples[i];
  return Samples.empty() ? 0 : std::sqrt(sum / (Samples.size() / 2));
}

}  // namespace

// Every coding a disc's sound may have (LPCM, MPEG audio, DTS, AC-3) reaches the player's one audio
// stream as the title's tone, and the stream the title's own command selects is the one heard.
TEST(DvdSourceTest, SoundOfEveryCodingAndTheSelectedStream) {
  TRecordingAudioSink* sink = nullptr;
  SetAudioSinkFactory([&sink] {
    auto made = std::make_unique<TRecordingAudioSink>();
    sink = made.get();
    return std::unique_ptr<TAudioSink>(std::move(made));
  });
  struct Case {
    fs::path Folder;
    testsupport::TDvdSoundTitle Title;
  };
  std::vector<Case> cases;
  for (const testsupport::TDvdSoundTitle& t : testsupport::kDvdSoundTitles) {
    cases.push_back({testsupport::DvdSoundFixtureFolder(), t});
  }
  cases.push_back({testsupport::DvdFixtureFolder(), {2, "AC-3", 440}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Title.Coding);
    TMediaPlayerOptions o = Options(mcsDefault);
    o.Audio = true;
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenDvd(c.Folder.string(), o)) << player.LastError();
    ASSERT_TRUE(player.HasAudio());
    ASSERT_NE(sink, nullptr);
    player.Pause();
    player.DvdCommand(dvdPlayChapter, c.Title.Title, 1);
    ASSERT_EQ(player.DvdLocation().Title, c.Title.Title);
    sink->ClearRecorded();
    player.Run();
    ASSERT_TRUE(WaitEvent(player, EC_COMPLETE));
    std::vector<int16_t> rec = sink->Recorded();
    // The title's sound, less its first and last milliseconds.
    ASSERT_GE(rec.size(), 2u * 48000 * 4 / 10);
    rec = std::vector<int16_t>(rec.begin() + 2 * 2400, rec.end() - 2 * 2400);
    EXPECT_NEAR(ToneHertz(rec), c.Title.Hertz, c.Title.Hertz * 0.02);
    EXPECT_GT(Rms(rec), 1000);
  }
  SetAudioSinkFactory(nullptr);
}

