// Files written by the GIF and BMP writers decoded by another decoder (FFmpeg's command-line tool,
// when the machine has it) give the same pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

bool HaveFFmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// The picture as FFmpeg decodes it: rgb24 rows from the top.
std::vector<uint8_t> DecodeWithFFmpeg(const std::string& file, const std::string& raw) {
  const std::string cmd = "ffmpeg -v error -y -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  std::ifstream in(raw, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> Rgb24(TIEBitmap& b) {
  std::vector<uint8_t> v;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TIERGB c = b.GetPixelRGB(x, y);
      v.insert(v.end(), {c.r, c.g, c.b});
    }
  return v;
}

// Noise over Colors colours of a fixed palette: long enough for several LZW table resets.
void Noise(TIEBitmap& b, int w, int h, int colors, uint32_t seed) {
  b.Allocate(w, h, ie24RGB);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int i = static_cast<int>(rng() % colors);
      b.SetPixel24(x, y, colors == 2 ? CreateRGB(uint8_t(i * 255), uint8_t(i * 255), uint8_t(i * 255))
                                     : CreateRGB(uint8_t(i * 13), uint8_t(255 - i), uint8_t(i * 5 + 1)));
    }
}

TEST(ExternalDecoder, GIFFilesOfTheWriter) {
  if (!HaveFFmpeg()) GTEST_SKIP() << "no ffmpeg on this machine";
  testsupport::ScratchDir dir;
  struct Case { int bits, colors; bool interlaced; };
  for (const Case c : {Case{8, 256, false}, Case{8, 200, true}, Case{4, 16, false}, Case{1, 2, false}}) {
    SCOPED_TRACE(c.bits);
    TIEBitmap b;
    Noise(b, 203, 150, c.colors, static_cast<uint32_t>(c.bits + c.interlaced));
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.bits;
    p.GifInterlaced = c.interlaced;
    p.GifLZWCompressor = GIFLZWEncode;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    {
      TFileStream f(dir.File("a.gif"), fmCreate);
      WriteGIFStream(f, b, p, progress);
    }
    ASSERT_FALSE(aborting);
    EXPECT_EQ(DecodeWithFFmpeg(dir.File("a.gif"), dir.File("a.raw")), Rgb24(b));
  }
}

TEST(ExternalDecoder, BMPFilesOfTheWriter) {
  if (!HaveFFmpeg()) GTEST_SKIP() << "no ffmpeg on this machine";
  testsupport::ScratchDir dir;
  struct Case { int32_t bits, samples; uint8_t version, compression; int colors; };
  const Case cases[] = {{1, 1, 1, 0, 2}, {4, 1, 1, 0, 16}, {8, 1, 1, 0, 256}, {8, 3, 1, 0, 256},
                        {8, 1, 2, 0, 100}, {8, 3, 2, 0, 256}, {8, 3, 3, 0, 256}, {8, 1, 1, 1, 6},
                        {4, 1, 1, 1, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << "/" << c.samples << " v" << int(c.version));
    TIEBitmap b;
    Noise(b, 37, 21, c.colors, static_cast<uint32_t>(c.bits));
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.bits;
    p.SamplesPerPixel = c.samples;
    p.BmpVersion = c.version;
    p.BmpCompression = c.compression;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    {
      TFileStream f(dir.File("a.bmp"), fmCreate);
      WriteBMPStream(f, b, p, progress, false);
    }
    ASSERT_FALSE(aborting);
    EXPECT_EQ(DecodeWithFFmpeg(dir.File("a.bmp"), dir.File("a.raw")), Rgb24(b));
  }
}

}  // namespace
