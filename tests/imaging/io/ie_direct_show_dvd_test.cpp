// TIEDirectShow's DVD graph on a folder authored at test time: the disc's properties (against
// lsdvd's reading of the same disc), their names and arguments in any case, "default" and
// VIDEO_TS.IFO paths, and a disc that cannot be opened (connected, no properties, EC_DVD_ERROR).
#include <gtest/gtest.h>

#include <regex>

#include "imaging/io/ie_direct_show.h"
#include "platform/media/dvd_ifo.h"
#include "platform/media/media_events.h"
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
  const std::regex title(R"(Title: (\d+), Length: [0-9:.]+ Chapters: (\d+))");
  int titles = 0;
  for (auto it = std::sregex_iterator(out.begin(), out.end(), title); it != std::sregex_iterator(); ++it) {
    ++titles;
    EXPECT_EQ(ds.DVDGetProperty("NUMOFCHAPTERS", std::to_string(std::stoi((*it)[1]))), std::to_string(std::stoi((*it)[2])));
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
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{16}"))) << id;
  EXPECT_NE(id, "0000000000000000");

  // The last disc answers after Disconnect; the same disc gives the same identifier.
  ds.Disconnect();
  EXPECT_EQ(ds.DVDGetProperty("NUMOFTITLES", ""), "2");
  ds.DVDPath = (testsupport::DvdFixtureFolder() / "VIDEO_TS" / "video_ts.ifo").string();  // its folder
  ds.Connect();
  EXPECT_EQ(ds.DVDGetProperty("DISCID", ""), id);
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
