#pragma once
// A small DVD-Video folder authored at test time, once per test process: ffmpeg's DVD encoding of
// a test pattern with a 440 Hz tone, put together by dvdauthor (PAL). Title 1 lasts 2 s with
// chapters at 0 and 1 s, title 2 lasts 1 s, each in a title set of its own. A test fails (never
// skips) when ffmpeg or dvdauthor is missing.
#include <filesystem>

namespace testsupport {

// The folder holding VIDEO_TS.
const std::filesystem::path& DvdFixtureFolder();

}  // namespace testsupport
