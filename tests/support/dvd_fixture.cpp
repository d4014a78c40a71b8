#include "tests/support/dvd_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace testsupport {

const fs::path& DvdFixtureFolder() {
  static ScratchDir dir;
  static const fs::path folder = [] {
    const fs::path out = dir.Path() / "disc";
    const std::string ffmpeg = FindProgram({"ffmpeg"});
    const std::string dvdauthor = FindProgram({"dvdauthor"});
    if (ffmpeg.empty() || dvdauthor.empty()) {
      ADD_FAILURE() << "ffmpeg and dvdauthor are needed (scripts/install-deps.sh installs them)";
      return out;
    }
    std::string log;
    for (const auto& [name, seconds] : {std::pair<const char*, int>{"a.mpg", 2}, {"b.mpg", 1}}) {
      const std::string cmd = "'" + ffmpeg + "' -v error -f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i " +
                              "sine=f=440:sample_rate=48000 -t " + std::to_string(seconds) +
                              " -target pal-dvd -s 352x288 -aspect 4:3 -b:v 400k -y '" +
                              (dir.Path() / name).string() + "'";
      if (RunProgram(cmd, &log) != 0) ADD_FAILURE() << log;
    }
    const std::string author = "VIDEO_FORMAT=PAL '" + dvdauthor + "' -o '" + out.string() + "'";
    for (const std::string& args : {" -t -c 0,1 '" + (dir.Path() / "a.mpg").string() + "'",
                                    " -t '" + (dir.Path() / "b.mpg").string() + "'", std::string(" -T")}) {
      if (RunProgram(author + args, &log) != 0) ADD_FAILURE() << log;
    }
    return out;
  }();
  return folder;
}

}  // namespace testsupport
