// The cross fade, the wipe and the push checked against an independent implementation: FFmpeg's
// xfade filter (fade, wiperight, slideright) over 16 frames of 64 x 32 pictures. Its frame k is
// our step Trunc(k x 1024 / 16) of a run drawn from step 0. FFmpeg is a test dependency.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/processing/transitions/ie_transition_effects.h"
#include "tests/imaging/processing/transitions/transition_pictures.h"
#include "tests/support/test_support.h"

using namespace transition_test;

namespace {

constexpr int32_t kW = 64, kH = 32, kFrames = 16;

uint32_t StartPixel(int32_t x, int32_t y) { return static_cast<uint32_t>(100 << 16 | (y * 8) << 8 | (x * 4)); }
uint32_t EndPixel(int32_t x, int32_t y) { return static_cast<uint32_t>((y * 7) << 16 | (50 + x) << 8 | (255 - x * 3)); }

// Planar G, B, R, as xfade takes 8-bit RGB.
void WriteGbrp(const std::string& path, uint32_t (*pixel)(int32_t, int32_t)) {
  std::string data;
  for (const int shift : {8, 0, 16})
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) data.push_back(static_cast<char>(pixel(x, y) >> shift));
  std::ofstream(path, std::ios::binary) << data;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Frame k of xfade's output as 0xRRGGBB pixels.
uint32_t XfadePixel(const std::vector<uint8_t>& out, int32_t k, int32_t x, int32_t y) {
  const size_t plane = static_cast<size_t>(kW) * kH, frame = 3 * plane, at = static_cast<size_t>(y) * kW + x;
  const uint8_t* f = out.data() + static_cast<size_t>(k) * frame;
  return static_cast<uint32_t>(f[2 * plane + at]) << 16 | static_cast<uint32_t>(f[at]) << 8 | f[plane + at];
}

std::vector<uint8_t> Xfade(const testsupport::ScratchDir& dir, const std::string& transition) {
  const std::string input = " -stream_loop -1 -f rawvideo -pix_fmt gbrp -s 64x32 -r 25 -i ";
  const std::string cmd = "ffmpeg -v error -nostdin -y" + input + "'" + dir.File("a.gbrp") + "'" + input + "'" +
                          dir.File("b.gbrp") + "' -filter_complex \"[0][1]xfade=transition=" + transition +
                          ":duration=0.64:offset=0,trim=end_frame=16\" -f rawvideo -pix_fmt gbrp '" +
                          dir.File(transition + ".gbrp") + "' 2>'" + dir.File("ffmpeg-errors.txt") + "'";
  if (std::system(cmd.c_str()) != 0) {
    ADD_FAILURE() << "ffmpeg is a test dependency (scripts/install-deps.sh); it failed on " << transition;
    return {};
  }
  return ReadFile(dir.File(transition + ".gbrp"));
}

TEST(TransitionXfade, CrossFadeWipeAndPushAgreeWithFfmpeg) {
  testsupport::ScratchDir dir;
  WriteGbrp(dir.File("a.gbrp"), StartPixel);
  WriteGbrp(dir.File("b.gbrp"), EndPixel);
  const struct {
    const char* transition;
    TIETransitionType id;
    bool blend;
  } pairs[] = {{"fade", iettCrossDissolve, true},
               {"wiperight", iettLeftRight1, false},
               {"slideright", iettMoveLeftRight1, false}};
  for (const auto& pair : pairs) {
    const std::vector<uint8_t> theirs = Xfade(dir, pair.transition);
    ASSERT_EQ(theirs.size(), static_cast<size_t>(kFrames) * kW * kH * 3) << pair.transition;
    TIETransitionEffects engine(nullptr);
    engine.SetTransitionSize(kW, kH);
    Paint(*engine.StartBitmap(), StartPixel);
    Paint(*engine.EndBitmap(), EndPixel);
    engine.SetEffect(pair.id);
    for (int32_t k = 0; k < kFrames; ++k) {
      const int32_t step = k * 1024 / kFrames;
      engine.DrawStep(step);
      TBitmap& ours = *engine.CurrentBitmap();
      std::vector<int32_t> columns;  // columns where the two differ
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
          const uint32_t a = At(ours, x, y), b = XfadePixel(theirs, k, x, y);
          if (pair.blend) {
            for (const int shift : {0, 8, 16}) {
              ASSERT_LE(std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)), 1)
                  << pair.transition << " frame " << k << " at " << x << "," << y;
            }
          } else if (a != b && std::find(columns.begin(), columns.end(), x) == columns.end()) {
            columns.push_back(x);
          }
        }
      if (pair.blend) continue;
      // The edge: xfade counts its own edge column to the new picture.
      const int32_t edge = step * kW / 1024;
      ASSERT_LE(columns.size(), 1u) << pair.transition << " frame " << k;
      if (!columns.empty()) {
        EXPECT_LE(std::abs(columns[0] - edge), 1) << pair.transition << " frame " << k;
      }
    }
  }
}

}  // namespace
