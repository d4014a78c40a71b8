// The small odd and hostile PCX, Targa, icon, PNM and wireless-bitmap files kept under tests/data,
// each named after what it shows. Where ImageMagick reads a file as the format says, the engine must
// agree with it; elsewhere the pixels are those the file was built from.
#include <gtest/gtest.h>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

namespace {

using namespace codectest;

void Decode(const std::string& file, Decoded& d) {
  const Bytes bytes = ReadFile(SampleFile(file));
  const std::string ext = file.substr(file.rfind('.') + 1);
  if (ext == "pcx") ReadPCX(bytes, d);
  else if (ext == "tga") ReadTGA(bytes, d);
  else if (ext == "ico") ReadICO(bytes, 0, d);
  else if (ext == "wbmp") ReadWBMP(bytes, d);
  else ReadPXM(bytes, d);
}

TEST(SmallCodecSamples, OddFilesDecodeAsImageMagickDoes) {
  struct Case { std::string file; Significant bits; };
  const Case cases[] = {{"pcx/runs-across-plane-and-row-ends.pcx", {}},
                        {"pcx/ega-1bit-4-planes.pcx", {}},
                        {"tga/rle-runs-across-row-ends.tga", {}},
                        // ImageMagick scales 5-bit channels (16 -> 131), the engine repeats their top
                        // bits (16 -> 132), as its BMP reader does: one level apart at most.
                        {"tga/rgb555-16bit.tga", {.slack = 1}},
                        {"ico/1bit-and-mask.ico", {.clearColors = false}},
                        {"pnm/comment-right-after-token.pgm", {}},
                        {"pnm/maxval-1023.ppm", {.slack = 1}},
                        {"wbmp/multibyte-width-300.wbmp", {}}};
  testsupport::ScratchDir dir;
  std::vector<std::string> files;
  for (const Case& c : cases) files.push_back(SampleFile(c.file));
  const auto theirs = MagickPixels(dir, files);
  for (const Case& c : cases) {
    Decoded ours;
    Decode(c.file, ours);
    ExpectSamePixels(c.file, ours, theirs.at(SampleFile(c.file)), c.bits);
  }
}

TEST(SmallCodecSamples, OddFilesOtherDecodersReadOtherwise) {
  // The bitmap header's 48 x 48 wins over the directory's 32 x 32 (ImageMagick takes the directory's
  // size and shows a corner); the top four rows are transparent.
  Decoded icon;
  Decode("ico/header-larger-than-directory.ico", icon);
  ASSERT_FALSE(icon.aborted);
  ASSERT_EQ(icon.bitmap.Width(), 48);
  ASSERT_EQ(icon.bitmap.Height(), 48);
  EXPECT_TRUE(SameRGB(icon.bitmap.GetPixelRGB(40, 10), CreateRGB(128, 37 * 5 % 256, 200)));
  ASSERT_TRUE(icon.alpha);
  EXPECT_EQ(icon.alpha->GetPixel(3, 46), 0);  // the first mask rows are the bottom ones
  EXPECT_EQ(icon.alpha->GetPixel(3, 10), 255);
  // The end palette is the last 768 bytes, also without the byte 12 before it.
  Decoded pcx;
  Decode("pcx/8bit-end-palette-without-marker.pcx", pcx);
  ASSERT_FALSE(pcx.aborted);
  EXPECT_TRUE(SameRGB(pcx.bitmap.GetPixelRGB(2, 0), CreateRGB(120, 135, 100)));
  EXPECT_TRUE(SameRGB(pcx.bitmap.GetPixelRGB(0, 1), CreateRGB(180, 75, 100)));
  // Colour-map entries from 200 on; those past 255 are read over (entry i holds i, 3i, 255 - i).
  Decoded tga;
  Decode("tga/colour-map-past-entry-255.tga", tga);
  ASSERT_FALSE(tga.aborted);
  EXPECT_TRUE(SameRGB(tga.bitmap.GetPixelRGB(0, 0), CreateRGB(255, 0, 0)));
  EXPECT_TRUE(SameRGB(tga.bitmap.GetPixelRGB(1, 0), CreateRGB(200, 165, 55)));
  EXPECT_TRUE(SameRGB(tga.bitmap.GetPixelRGB(2, 0), CreateRGB(28, 28, 60)));  // the 3-3-2 ramp's entry 0
}

TEST(SmallCodecSamples, HostileFilesAreRefusedBeforeAllocating) {
  IEImageSizeGateLogForTesting(true);
  for (const char* file : {"pcx/huge-size-few-runs.pcx", "ico/offset-past-end.ico", "pnm/maxval-0.pgm",
                           "wbmp/huge-width-no-data.wbmp"}) {
    Decoded d;
    Decode(file, d);
    EXPECT_TRUE(d.aborted) << file;
  }
  EXPECT_EQ(IEImageSizeGateLogForTesting().LargestGrantedPixels, 0);
}

}  // namespace
