#pragma once
// Videos shared by the media tests: made once per run into a scratch folder that lives until the
// program ends, keyed by their description.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "platform/media/media_player.h"
#include "platform/media/video_sample.h"
#include "tests/support/test_support.h"
#include "tests/support/video_fixture.h"

namespace mediatest {

inline std::string Key(const testsupport::VideoSpec& s) {
  return s.Container + (s.Video ? "" : "_novideo") + "_" + s.Codec + "_" + std::to_string(s.Width) + "x" + std::to_string(s.Height) + "_" +
         std::to_string(s.Frames) + "_" + std::to_string(s.RateNum) + "_" + std::to_string(s.RateDen) + "_g" +
         std::to_string(s.Gop) + "_b" + std::to_string(s.BFrames) + (s.FlatColour ? "_flat" + std::to_string(s.R) + "." +
         std::to_string(s.G) + "." + std::to_string(s.B) + "m" + std::to_string(s.Matrix) : "") +
         (s.Audio ? "_a" + s.AudioCodec + std::to_string(s.Channels) + "_" + std::to_string(static_cast<int>(s.ToneHz)) : "") +
         "_o" + std::to_string(static_cast<int>(s.StartOffset * 1000));
}

inline std::string Extension(const std::string& container) {
  if (container == "matroska") return ".mkv";
  if (container == "mpeg") return ".mpg";
  if (container == "wav") return ".wav";
  return "." + container;
}

// The file of a video made to Spec (made on first use); the test fails when it cannot be made.
inline std::string Video(const testsupport::VideoSpec& Spec) {
  static testsupport::ScratchDir scratch;
  testsupport::ScratchDir* dir = &scratch;
  static auto* made = new std::map<std::string, std::string>();
  const std::string key = Key(Spec);
  auto it = made->find(key);
  if (it != made->end()) return it->second;
  const std::string file = dir->File(key + Extension(Spec.Container));
  const std::string error = testsupport::MakeVideo(file, Spec);
  EXPECT_EQ(error, "") << key;
  (*made)[key] = file;
  return file;
}

// The number the last frame of the player's sample buffer shows; -2 without a frame.
inline int ShownNumber(TMediaPlayer& Player) {
  const TVideoSamplePtr s = Player.SampleBuffer().CurrentSample();
  if (!s) return -2;
  return testsupport::FrameNumberOf(s->Bits(), s->Width(), s->Height(), s->RowLength());
}

// Start of frame k at Num/Den frames a second, in media time (truncated).
inline int64_t FrameStart(int64_t k, int Num, int Den) { return k * 10000000LL * Den / Num; }

}  // namespace mediatest
