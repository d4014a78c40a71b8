// The small odd and hostile BMP and GIF files kept under tests/data, each named after what it shows.
// Where ImageMagick reads a file, the engine must agree with it; where it does not (2-bit files, OS/2
// RLE24, a last row without padding), the pixels are those the file was built from.
#include <gtest/gtest.h>

#include "imaging/core/ie_image_size_gate.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

namespace {

using namespace codectest;

TEST(SampleFiles, OddBMPFilesDecodeAsImageMagickDoes) {
  struct Case { std::string file; Significant bits; };
  const Case cases[] = {{"bmp/bitfields-red-low-blue-high.bmp", {}},
                        {"bmp/pal1-red-yellow.bmp", {}},
                        {"bmp/argb1555-v4.bmp", {.a = 1}},
                        {"bmp/argb2101010-v5.bmp", {.a = 2, .slack = 1}}};
  testsupport::ScratchDir dir;
  std::vector<std::string> files;
  for (const Case& c : cases) files.push_back(SampleFile(c.file));
  const auto theirs = MagickPixels(dir, files);
  for (const Case& c : cases) {
    Decoded ours;
    ReadBMP(ReadFile(SampleFile(c.file)), ours);
    ExpectSamePixels(c.file, ours, theirs.at(SampleFile(c.file)), c.bits);
  }
}

TEST(SampleFiles, OddBMPFilesOtherDecodersRefuse) {
  const int w = 13, h = 7;
  struct Case { std::string file; TIERGB (*pixel)(int x, int y); };
  const Case cases[] = {
      {"bmp/pal2.bmp",
       [](int x, int y) {
         const TIERGB pal[4] = {CreateRGB(10, 20, 30), CreateRGB(250, 0, 0), CreateRGB(0, 250, 0),
                                CreateRGB(0, 0, 250)};
         return pal[(x + 2 * y) % 4];
       }},
      // Each stored row y (from the bottom): a run of 5, a literal of 3, a run of 5.
      {"bmp/os2-rle24.bmp",
       [](int x, int row) {
         const int y = 6 - row;
         if (x < 5) return CreateRGB(40, 200, uint8_t(10 * y));
         if (x < 8) return CreateRGB(100, uint8_t(y * 30), uint8_t((x - 5) * 20));
         return CreateRGB(uint8_t(255 - 10 * y), 0, 0);
       }},
      {"bmp/rgb24-last-row-without-padding.bmp",
       [](int x, int y) { return CreateRGB(uint8_t(x * y * 7), uint8_t(y * 30), uint8_t(x * 19)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Decoded ours;
    ReadBMP(ReadFile(SampleFile(c.file)), ours);
    ASSERT_FALSE(ours.aborted);
    ASSERT_EQ(ours.bitmap.Width(), w);
    ASSERT_EQ(ours.bitmap.Height(), h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_EQ(ours.bitmap.GetPixelRGB(x, y), c.pixel(x, y)) << x << "," << y;
  }
}

TEST(SampleFiles, HostileFilesAreRefusedBeforeAllocating) {
  for (const char* file : {"bmp/rle8-huge-size-junk-after-end.bmp", "bmp/rgb24-huge-size-short-data.bmp",
                           "gif/huge-frame-junk-after-trailer.gif"}) {
    SCOPED_TRACE(file);
    IEImageSizeGateLogForTesting(true);
    Decoded ours;
    const Bytes data = ReadFile(SampleFile(file));
    ASSERT_LT(data.size(), 10000u);
    if (std::string(file).starts_with("bmp"))
      ReadBMP(data, ours);
    else
      ReadGIF(data, 0, ours);
    EXPECT_TRUE(ours.aborted);
    EXPECT_TRUE(ours.bitmap.IsEmpty());
    const TIEImageSizeGateLog log = IEImageSizeGateLogForTesting(true);
    EXPECT_EQ(log.Refused, 1);
    EXPECT_EQ(log.LargestGrantedPixels, 0);
  }
}

TEST(SampleFiles, DamagedGIFFramesKeepWhatWasDecoded) {
  // The files' table: red, green, blue, yellow, then greys; the background is entry 5.
  const TIERGB table[6] = {CreateRGB(255, 0, 0), CreateRGB(0, 255, 0),  CreateRGB(0, 0, 255),
                           CreateRGB(250, 250, 10), CreateRGB(1, 1, 1), CreateRGB(9, 8, 7)};
  {
    // Every pixel decoded, then undefined codes and no end code: the frame loads, as ImageMagick's.
    Decoded ours;
    ReadGIF(ReadFile(SampleFile("gif/junk-codes-after-complete-frame.gif")), 0, ours);
    ASSERT_FALSE(ours.aborted);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(ours.bitmap.GetPixel24(x, y), table[1]);
    testsupport::ScratchDir dir;
    const std::string file = SampleFile("gif/junk-codes-after-complete-frame.gif");
    ExpectSamePixels(file, ours, MagickPixels(dir, {file}).at(file));
  }
  {
    // An undefined code after the first row: that row stays, the second shows the background.
    Decoded ours;
    ReadGIF(ReadFile(SampleFile("gif/undefined-code-mid-data.gif")), 0, ours);
    ASSERT_FALSE(ours.aborted);
    const int want[2][4] = {{2, 1, 0, 3}, {5, 5, 5, 5}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(ours.bitmap.GetPixel24(x, y), table[want[y][x]]) << x << "," << y;
  }
  {
    // An undefined first code: nothing of it is a picture.
    Decoded ours;
    ReadGIF(ReadFile(SampleFile("gif/undefined-first-code.gif")), 0, ours);
    EXPECT_TRUE(ours.aborted);
  }
}

}  // namespace
