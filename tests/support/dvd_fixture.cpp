#include "tests/support/dvd_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// What a disc is authored with: a work folder for its streams, the folder the disc goes to, and the
// tools.
struct TAuthoring {
  fs::path Work, Out;
  std::string Ffmpeg, Dvdauthor, Spumux;
  // Runs a command; a failure fails the test with the command and what it said.
  void Run(const std::string& Command) const {
    std::string log;
    if (RunProgram(Command, &log) != 0) ADD_FAILURE() << Command << "\n" << log;
  }
};

// Authors a disc into "disc" under Dir by Build. A missing tool fails the test (never skips) and
// leaves the disc unwritten.
fs::path AuthorDisc(const ScratchDir& Dir, bool NeedSpumux, const std::function<void(const TAuthoring&)>& Build) {
  TAuthoring a{Dir.Path(), Dir.Path() / "disc", FindProgram({"ffmpeg"}), FindProgram({"dvdauthor"}),
               NeedSpumux ? FindProgram({"spumux"}) : std::string()};
  if (a.Ffmpeg.empty() || a.Dvdauthor.empty() || (NeedSpumux && a.Spumux.empty())) {
    ADD_FAILURE() << (NeedSpumux ? "ffmpeg, dvdauthor and spumux are needed" : "ffmpeg and dvdauthor are needed")
                  << " (scripts/install-deps.sh installs them)";
    return a.Out;
  }
  Build(a);
  return a.Out;
}

}  // namespace

const fs::path& DvdFixtureFolder() {
  static ScratchDir dir;
  static const fs::path folder = AuthorDisc(dir, false, [](const TAuthoring& a) {
    for (const auto& [name, seconds] : {std::pair<const char*, int>{"a.mpg", 2}, {"b.mpg", 1}}) {
      a.Run("'" + a.Ffmpeg + "' -v error -f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i " +
            "sine=f=440:sample_rate=48000 -t " + std::to_string(seconds) +
            " -target pal-dvd -s 352x288 -aspect 4:3 -b:v 400k -y '" + (a.Work / name).string() + "'");
    }
    const std::string author = "VIDEO_FORMAT=PAL '" + a.Dvdauthor + "' -o '" + a.Out.string() + "'";
    for (const std::string& args : {" -t -c 0,1 '" + (a.Work / "a.mpg").string() + "'",
                                    " -t '" + (a.Work / "b.mpg").string() + "'", std::string(" -T")}) {
      a.Run(author + args);
    }
  });
  return folder;
}

const fs::path& DvdMenuFixtureFolder() {
  static ScratchDir dir;
  static const fs::path folder = AuthorDisc(dir, true, [](const TAuthoring& a) {
    const fs::path& d = a.Work;
    // The menu's pictures: the buttons in white, yellow when highlighted, red when selected, on
    // transparency.
    for (const auto& [name, r, g, b] : {std::tuple<const char*, uint8_t, uint8_t, uint8_t>{"image.png", 255, 255, 255},
                                        {"highlight.png", 255, 255, 0},
                                        {"select.png", 255, 0, 0}}) {
      PngImage image;
      image.width = kDvdMenuWidth;
      image.height = kDvdMenuHeight;
      image.colorType = 6;
      image.rows.assign(size_t{image.width} * image.height * 4, 0);
      for (const TDvdMenuButton& button : kDvdMenuButtons) {
        for (int y = button.Y0; y <= button.Y1; ++y) {
          for (int x = button.X0; x <= button.X1; ++x) {
            uint8_t* px = image.rows.data() + (size_t{static_cast<uint32_t>(y)} * image.width + x) * 4;
            px[0] = r;
            px[1] = g;
            px[2] = b;
            px[3] = 255;
          }
        }
      }
      const std::vector<uint8_t> png = WritePngWithLibpng(image);
      std::ofstream(d / name, std::ios::binary).write(reinterpret_cast<const char*>(png.data()),
                                                       static_cast<std::streamsize>(png.size()));
    }
    std::ofstream(d / "buttons.xml")
        << "<subpictures><stream><spu start=\"00:00:00.00\" image=\"" << (d / "image.png").string()
        << "\" highlight=\"" << (d / "highlight.png").string() << "\" select=\"" << (d / "select.png").string()
        << "\" force=\"yes\">\n"
        << "<button name=\"b1\" x0=\"" << kDvdMenuButtons[0].X0 << "\" y0=\"" << kDvdMenuButtons[0].Y0 << "\" x1=\""
        << kDvdMenuButtons[0].X1 + 1 << "\" y1=\"" << kDvdMenuButtons[0].Y1 + 1 << "\"/>\n"
        << "<button name=\"b2\" x0=\"" << kDvdMenuButtons[1].X0 << "\" y0=\"" << kDvdMenuButtons[1].Y0 << "\" x1=\""
        << kDvdMenuButtons[1].X1 + 1 << "\" y1=\"" << kDvdMenuButtons[1].Y1 + 1 << "\"/>\n"
        << "</spu></stream></subpictures>\n";
    // A second of blue menu (then held as an endless still), and a second of title.
    a.Run("'" + a.Ffmpeg + "' -v error -f lavfi -i color=c=blue:size=720x576:rate=25 -f lavfi -i " +
        "anullsrc=r=48000:cl=stereo -t 1 -target pal-dvd -aspect 4:3 -b:v 400k -y '" + (d / "menu.mpg").string() + "'");
    // In a subshell: its messages go to the log, not into the stream.
    a.Run("('" + a.Spumux + "' -v 0 '" + (d / "buttons.xml").string() + "' < '" + (d / "menu.mpg").string() + "' > '" +
        (d / "menu_buttons.mpg").string() + "')");
    a.Run("'" + a.Ffmpeg + "' -v error -f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i " +
        "sine=f=440:sample_rate=48000 -t 1 -target pal-dvd -s 352x288 -aspect 4:3 -b:v 400k -y '" +
        (d / "title.mpg").string() + "'");
    std::ofstream(d / "disc.xml") << "<dvdauthor dest=\"" << a.Out.string() << "\">\n"
                                  << "<vmgm><fpc>jump menu 1;</fpc><menus><video format=\"pal\" aspect=\"4:3\"/>\n"
                                  << "<pgc entry=\"title\"><vob file=\"" << (d / "menu_buttons.mpg").string()
                                  << "\" pause=\"inf\"/>\n"
                                  << "<button name=\"b1\">jump title 1;</button><button name=\"b2\">jump title 2;</button>"
                                  << "</pgc></menus></vmgm>\n";
    for (int t = 0; t < 2; ++t) {
      std::ofstream(d / "disc.xml", std::ios::app)
          << "<titleset><titles><pgc><vob file=\"" << (d / "title.mpg").string() << "\"/></pgc></titles></titleset>\n";
    }
    std::ofstream(d / "disc.xml", std::ios::app) << "</dvdauthor>\n";
    a.Run("VIDEO_FORMAT=PAL '" + a.Dvdauthor + "' -x '" + (d / "disc.xml").string() + "'");
  });
  return folder;
}

const fs::path& DvdSoundFixtureFolder() {
  static ScratchDir dir;
  static const fs::path folder = AuthorDisc(dir, false, [](const TAuthoring& a) {
    const fs::path& d = a.Work;
    const auto tone = [](int Hertz) { return " -f lavfi -i sine=f=" + std::to_string(Hertz) + ":sample_rate=48000"; };
    const std::string common = " -t 0.6 -target pal-dvd -s 352x288 -aspect 4:3 -b:v 300k -ac 2 -y '";
    // ffmpeg complains of its buffer with LPCM; the stream is sound.
    for (const auto& [name, inputs, coding] :
         {std::tuple<const char*, std::string, std::string>{"lpcm.mpg", tone(440), "-c:a pcm_s16be"},
          {"mp2.mpg", tone(660), "-c:a mp2 -b:a 192k"},
          {"dts.mpg", tone(550), "-c:a dca -strict -2"},
          {"two.mpg", tone(440) + tone(880) + " -map 0 -map 1 -map 2", "-c:a mp2 -b:a 192k"}}) {
      a.Run("'" + a.Ffmpeg + "' -nostdin -v fatal -f lavfi -i testsrc=size=352x288:rate=25" + inputs +
                              " " + coding + common + (d / name).string() + "'");
    }
    std::ofstream xml(d / "disc.xml");
    xml << "<dvdauthor dest=\"" << a.Out.string() << "\">\n<vmgm/>\n";
    for (const char* name : {"lpcm.mpg", "mp2.mpg", "dts.mpg"}) {
      xml << "<titleset><titles><pgc><vob file=\"" << (d / name).string() << "\"/></pgc></titles></titleset>\n";
    }
    xml << "<titleset><titles><audio lang=\"en\"/><audio lang=\"de\"/><pgc><pre>audio=1;</pre><vob file=\""
        << (d / "two.mpg").string() << "\"/></pgc></titles></titleset>\n</dvdauthor>\n";
    xml.close();
    a.Run("VIDEO_FORMAT=PAL '" + a.Dvdauthor + "' -x '" + (d / "disc.xml").string() + "'");
  });
  return folder;
}

const fs::path& DvdSubtitleFixtureFolder() {
  static ScratchDir dir;
  static const fs::path folder = AuthorDisc(dir, true, [](const TAuthoring& a) {
    const fs::path& d = a.Work;
    // The pictures of the title's second VOB, muxed with one stream after the other.
    fs::path in = DvdFixtureFolder() / "VIDEO_TS" / "VTS_02_1.VOB";
    for (int stream = 0; stream < 2; ++stream) {
      const TDvdSubtitleBox& box = kDvdSubtitleBoxes[stream];
      PngImage image;
      image.width = 352;
      image.height = 288;
      image.colorType = 6;
      image.rows.assign(size_t{image.width} * image.height * 4, 0);
      for (int y = box.Y0; y <= box.Y1; ++y) {
        for (int x = box.X0; x <= box.X1; ++x) {
          uint8_t* px = image.rows.data() + (size_t{static_cast<uint32_t>(y)} * image.width + x) * 4;
          px[0] = 255;
          px[1] = px[2] = stream == 0 ? 0 : 255;
          px[3] = 255;
        }
      }
      const std::string name = "stream" + std::to_string(stream);
      const std::vector<uint8_t> png = WritePngWithLibpng(image);
      std::ofstream(d / (name + ".png"), std::ios::binary)
          .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
      std::ofstream(d / (name + ".xml")) << "<subpictures><stream><spu start=\"00:00:00.00\" end=\"00:00:00.90\" image=\""
                                         << (d / (name + ".png")).string() << "\"/></stream></subpictures>\n";
      const fs::path out = d / (name + ".mpg");
      a.Run("(VIDEO_FORMAT=PAL '" + a.Spumux + "' -v 0 -s " + std::to_string(stream) + " '" +
            (d / (name + ".xml")).string() + "' < '" + in.string() + "' > '" + out.string() + "')");
      in = out;
    }
    std::ofstream(d / "disc.xml") << "<dvdauthor dest=\"" << a.Out.string() << "\"><vmgm/><titleset><titles>"
                                  << "<subpicture lang=\"en\"/><subpicture lang=\"de\"/><pgc><vob file=\""
                                  << in.string() << "\"/></pgc></titles></titleset></dvdauthor>\n";
    a.Run("VIDEO_FORMAT=PAL '" + a.Dvdauthor + "' -x '" + (d / "disc.xml").string() + "'");
  });
  return folder;
}

}  // namespace testsupport
