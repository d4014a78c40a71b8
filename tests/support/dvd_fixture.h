#pragma once
// A small DVD-Video folder authored at test time, once per test process: ffmpeg's DVD encoding of
// a test pattern with a 440 Hz tone, put together by dvdauthor (PAL). Title 1 lasts 2 s with
// chapters at 0 and 1 s, title 2 lasts 1 s, each in a title set of its own. A test fails (never
// skips) when ffmpeg or dvdauthor is missing.
#include <filesystem>

namespace testsupport {

// The folder holding VIDEO_TS.
const std::filesystem::path& DvdFixtureFolder();

// A disc with a menu (PAL, authored once per test process): first play goes to the title menu, a
// second of blue 720 x 576 picture held as an endless still, with two forced sub-picture buttons
// (white; yellow while selected, red when activated) that jump to titles 1 and 2; each title is a
// second of 352 x 288 test pattern in a title set of its own.
const std::filesystem::path& DvdMenuFixtureFolder();
constexpr int kDvdMenuWidth = 720, kDvdMenuHeight = 576;
struct TDvdMenuButton {
  int X0, Y0, X1, Y1;  // inclusive
};
constexpr TDvdMenuButton kDvdMenuButtons[2] = {{100, 100, 299, 199}, {400, 100, 599, 199}};

// A disc of sound codings (PAL, authored once per test process), each title 0.6 s of 352 x 288 test
// pattern in a title set of its own: title 1 with LPCM at 440 Hz, 2 MPEG audio at 660 Hz, 3 DTS at
// 550 Hz, 4 two MPEG audio streams (440 and 880 Hz) of which the title's own command selects the
// second.
const std::filesystem::path& DvdSoundFixtureFolder();
struct TDvdSoundTitle {
  int Title;
  const char* Coding;
  double Hertz;
};
constexpr TDvdSoundTitle kDvdSoundTitles[4] = {{1, "LPCM", 440}, {2, "MPEG audio", 660}, {3, "DTS", 550},
                                               {4, "second MPEG audio stream", 880}};

// A disc with subtitles (PAL, authored once per test process from the first fixture's title 2): one
// title of a second of 352 x 288 test pattern with two sub-picture streams muxed by spumux, neither
// forced, both on screen from the start to 0.9 s: stream 0 ("en") a red square, stream 1 ("de") a
// white one, each at its own place (where the first frame is cyan and green).
const std::filesystem::path& DvdSubtitleFixtureFolder();
struct TDvdSubtitleBox {
  int X0, Y0, X1, Y1;  // inclusive
};
constexpr TDvdSubtitleBox kDvdSubtitleBoxes[2] = {{40, 40, 119, 119}, {200, 40, 279, 119}};

}  // namespace testsupport
