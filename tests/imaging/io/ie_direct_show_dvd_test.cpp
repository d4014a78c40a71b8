// TIEDirectShow's DVD graph on a folder authored at test time: the disc's properties (against
// lsdvd's reading of the same disc), their names and arguments in any case, "default" and
// VIDEO_TS.IFO paths, and a disc that cannot be opened (connected, no properties, EC_DVD_ERROR).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/ie_direct_show.h"
#include "platform/media/dvd_ifo.h"
#include "platform/media/media_events.h"
#include "platform/media/media_player.h"
#include "tests/support/dvd_fixture.h"
#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"

namespace {

struct DefaultDevices {
  explicit DefaultDevices(const std::vector<std::string>& paths) { SetDvdDefaultDevices(paths); }
  ~DefaultDevices() { SetDvdDefaultDevices({}); }
};

}  // namespace

TEST(IEDirectShowDVDTest, PropertiesOfTheDisc) {
  const std::string disc = testsupport::DvdFixtureFolder().string();
  TIEDirectShow ds;
  EXPECT_EQ(ds.DVDGetProperty("NumOfTitles", ""), "");  // no DVD information yet
  ds.DVDPath = disc;
  ds.Connect();
  ASSERT_TRUE(ds.Connected());
  EXPECT_TRUE(ds.UseWindowlessRenderer);
  int32_t code = 0;
  EXPECT_FALSE(ds.GetEvent(code));

  // Titles and chapters as lsdvd reads them.
  const std::string lsdvd = testsupport::FindProgram({"lsdvd"});
  ASSERT_FALSE(lsdvd.empty()) << "lsdvd is needed (scripts/install-deps.sh installs it)";
  std::string out;
  ASSERT_EQ(testsupport::RunProgram("'" + lsdvd + "' '" + disc + "'", &out), 0) << out;
  int titles = 0;
  for (const auto& m : testsupport::RegexFindAll(out, R"(Title: (\d+), Length: [0-9:.]+ Chapters: (\d+))")) {
    ++titles;
    EXPECT_EQ(ds.DVDGetProperty("NUMOFCHAPTERS", std::to_string(std::stoi(m[1]))), std::to_string(std::stoi(m[2])));
  }
  EXPECT_EQ(ds.DVDGetProperty("NUMOFTITLES", ""), std::to_string(titles));

  struct Case {
    const char* name;
    const char* argument;
    const char* expected;
  };
  const Case cases[] = {
      {"NUMOFVOLUMES", "", "1"},
      {"volume", "", "1"},
      {"Side", "", "1"},
      {"numoftitles", "", "2"},
      {"NumOfChapters", "1", "2"},
      {"NUMOFCHAPTERS", "2", "1"},
      {"NUMOFCHAPTERS", "x", "2"},  // not a number: title 1
      {"NUMOFCHAPTERS", "", "Invalid Property"},
      {"NUMOFCHAPTERS", "3", "0"},  // no such title: the failed call reads 0
      {"NUMOFCHAPTERS", "0", "0"},
      {"TITLE", "", "0"},
      {"chapter", "", "0"},
      {"TIME", "", "00:00:00:00"},
      {"TotalTitleTime", "", "00:00:00:00"},
      {"Bogus", "", "Invalid Property"},
  };
  for (const Case& c : cases) EXPECT_EQ(ds.DVDGetProperty(c.name, c.argument), c.expected) << c.name << " " << c.argument;
  const std::string id = ds.DVDGetProperty("discid", "");
  EXPECT_TRUE(testsupport::RegexMatch(id, "[0-9A-F]{16}")) << id;
  EXPECT_NE(id, "0000000000000000");

  // The last disc answers after Disconnect; the same disc gives the same identifier.
  ds.Disconnect();
  EXPECT_EQ(ds.DVDGetProperty("NUMOFTITLES", ""), "2");
  ds.DVDPath = (testsupport::DvdFixtureFolder() / "VIDEO_TS" / "video_ts.ifo").string();  // its folder
  ds.Connect();
  EXPECT_EQ(ds.DVDGetProperty("DISCID", ""), id);
}

// The graph plays the disc: frames at the disc's size, the location of the frame on screen, and
// the commands (paused: each shows where it led before it returns).
TEST(IEDirectShowDVDTest, PlaysAndNavigates) {
  TIEDirectShow ds;
  // Without a DVD graph the commands do nothing.
  ds.DVDPlayChapterInTitle(1, 2);
  ds.DVDShowMenu(dmRoot);
  ds.DVDActivateButton();
  ds.DVDSelectAtPosition(10, 10);
  ds.DVDPlayAtSpeed(true, 2);
  EXPECT_FALSE(ds.Connected());

  ds.DVDPath = testsupport::DvdFixtureFolder().string();
  ds.Connect();
  ASSERT_TRUE(ds.Player() && ds.Player()->IsOpen());
  EXPECT_EQ(ds.GetDuration(), 0);  // a disc has none
  ds.Pause();
  EXPECT_EQ(ds.GetState(), 1);
  TIEBitmap frame;
  ds.GetCurrentFrame(&frame);
  EXPECT_EQ(frame.Width(), 352);
  EXPECT_EQ(frame.Height(), 288);
  struct Expect {
    const char *title, *chapter, *time, *total;
  };
  const auto check = [&](const Expect& e) {
    EXPECT_EQ(ds.DVDGetProperty("Title", ""), e.title);
    EXPECT_EQ(ds.DVDGetProperty("Chapter", ""), e.chapter);
    EXPECT_EQ(ds.DVDGetProperty("Time", ""), e.time);
    EXPECT_EQ(ds.DVDGetProperty("TotalTitleTime", ""), e.total);
  };
  check({"1", "1", "00:00:00:00", "00:00:02:00"});
  ds.DVDPlayChapterInTitle(1, 2);  // the chapter mark lies on the GOP at 1.2 s
  check({"1", "2", "00:00:01:05", "00:00:02:00"});
  ds.DVDPlayAtTimeInTitle(1, 0, 0, 1, 12);
  check({"1", "2", "00:00:01:12", "00:00:02:00"});
  ds.DVDPlayAtTimeInTitle(1, 0, 0, 0, 7);
  check({"1", "1", "00:00:00:07", "00:00:02:00"});
  ds.DVDPlayChapterInTitle(2, 1);
  check({"2", "1", "00:00:00:00", "00:00:01:00"});
  ds.GetCurrentFrame(&frame);
  EXPECT_EQ(frame.Width(), 352);
  // The disc has no menus: nothing moves.
  ds.DVDShowMenu(dmChapter);
  ds.DVDActivateButton();
  check({"2", "1", "00:00:00:00", "00:00:01:00"});
  // Forward speeds are the playback rate; backward play runs the clock at 1x, stepping back by key
  // frames (at the title's start, as here, it plays on forward from there).
  ds.DVDPlayAtSpeed(true, 2);
  EXPECT_EQ(ds.Player()->Rate(), 2);
  ds.DVDPlayAtSpeed(false, 1);
  EXPECT_EQ(ds.Player()->Rate(), 1);
  check({"2", "1", "00:00:00:00", "00:00:01:00"});
  ds.DVDPlayAtSpeed(true, 1);

  ds.Run();
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  bool complete = false;
  for (int i = 0; i < 2000 && !complete; ++i) {
    while (ds.GetEvent(code, p1, p2)) complete = complete || code == EC_COMPLETE;
    if (!complete) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(complete);
  check({"2", "1", "00:00:00:24", "00:00:01:00"});

  // The location goes with the graph.
  ds.Disconnect();
  check({"0", "0", "00:00:00:00", "00:00:00:00"});
  EXPECT_EQ(ds.DVDGetProperty("NUMOFTITLES", ""), "2");
}

// Subtitles and angles through the DVD graph: the sub-picture stream drawn, its language and
// whether it shows, as properties; the title has one angle, so angle 2 is refused.
TEST(IEDirectShowDVDTest, SubtitlesAndAngles) {
  TIEDirectShow ds;
  ds.DVDSelectSubpicture(1, true);  // nothing without a DVD graph
  ds.DVDPath = testsupport::DvdSubtitleFixtureFolder().string();
  ds.Connect();
  ASSERT_TRUE(ds.Player() && ds.Player()->IsOpen());
  ds.Pause();
  ds.DVDPlayChapterInTitle(1, 1);
  const auto check = [&](const char* stream, const char* language, const char* shown) {
    EXPECT_EQ(ds.DVDGetProperty("SubPicture", ""), stream);
    EXPECT_EQ(ds.DVDGetProperty("SUBPICTURELANGUAGE", ""), language);
    EXPECT_EQ(ds.DVDGetProperty("subtitles", ""), shown);
  };
  check("0", "en", "0");
  EXPECT_EQ(ds.DVDGetProperty("Angle", ""), "1");
  EXPECT_EQ(ds.DVDGetProperty("NumOfAngles", ""), "1");
  ds.DVDSelectSubpicture(-1, true);
  check("0", "en", "1");
  ds.DVDSelectSubpictureLanguage("DE");
  check("1", "de", "1");
  ds.DVDSelectSubpictureLanguage("d1");  // not a language
  ds.DVDSelectSubpicture(7, false);      // no stream 7
  check("1", "de", "1");
  ds.DVDSelectSubpicture(0, false);
  check("0", "en", "0");
  ds.DVDSelectAngle(2);
  ds.DVDPlayChapterInTitle(1, 1);
  EXPECT_EQ(ds.DVDGetProperty("ANGLE", ""), "1");
  ds.Disconnect();
  check("-1", "", "0");
}

TEST(IEDirectShowDVDTest, DefaultAndUnopenableDiscs) {
  testsupport::ScratchDir scratch;
  {
    // "default" in any case: the first drive holding DVD-Video.
    DefaultDevices devices({scratch.File("nothing"), scratch.Path().string(), testsupport::DvdFixtureFolder().string()});
    TIEDirectShow ds;
    ds.DVDPath = "Default";
    ds.Connect();
    EXPECT_EQ(ds.DVDGetProperty("NUMOFTITLES", ""), "2");
  }
  for (const std::string& path : {scratch.File("missing"), std::string("default")}) {
    SCOPED_TRACE(path);
    DefaultDevices devices({scratch.File("nothing")});
    TIEDirectShow ds;
    ds.DVDPath = path;
    ds.Connect();
    EXPECT_TRUE(ds.Connected());
    EXPECT_EQ(ds.DVDGetProperty("NUMOFTITLES", ""), "");
    EXPECT_EQ(ds.GetDuration(), 0);
    int32_t code = 0;
    intptr_t p1 = 0, p2 = 0;
    ASSERT_TRUE(ds.GetEvent(code, p1, p2));
    EXPECT_EQ(code, EC_DVD_ERROR);
    EXPECT_EQ(p1, 1);  // DVD_ERROR_Unexpected
    EXPECT_FALSE(ds.GetEvent(code));
  }
  EXPECT_EQ(TIEDirectShow::TwoDigits(5), "05");
  EXPECT_EQ(TIEDirectShow::TwoDigits(0), "00");
  EXPECT_EQ(TIEDirectShow::TwoDigits(59), "59");
}
