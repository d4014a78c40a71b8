// Files written by our writers decoded by other decoders (FFmpeg, djpeg, ImageMagick) give our
// pixels, or come within a stated PSNR of them where the decoders may differ (lossy JPEG). The tools
// are test dependencies (scripts/install-deps.sh): a missing one fails the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/cmyk_formulas.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/imaging/io/codecs/jpeg_fixture.h"
#include "tests/support/test_support.h"

namespace {

bool HaveTool(const std::string& probe) { return std::system((probe + " >/dev/null 2>&1").c_str()) == 0; }

#define REQUIRE_TOOL(probe, name)                                                        \
  if (!HaveTool(probe)) {                                                                \
    FAIL() << name << " is a test dependency: run scripts/install-deps.sh";              \
  }
#define REQUIRE_FFMPEG() REQUIRE_TOOL("ffmpeg -version", "ffmpeg")

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
  REQUIRE_FFMPEG();
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
  REQUIRE_FFMPEG();
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

// A PPM or PGM file's pixels as R, G, B bytes.
std::vector<uint8_t> ReadPNM(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  std::vector<uint8_t> raw(std::istreambuf_iterator<char>(in), {});
  if (magic == "P6") return raw;
  std::vector<uint8_t> rgb;
  if (magic == "P5")
    for (uint8_t v : raw) rgb.insert(rgb.end(), {v, v, v});
  return rgb;
}

// ImageMagick's RGBA bytes without their alpha.
std::vector<uint8_t> WithoutAlpha(const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
  return rgb;
}

TEST(ExternalDecoder, JPEGFilesOfTheWriter) {
  REQUIRE_FFMPEG();
  REQUIRE_TOOL("command -v djpeg", "djpeg (libjpeg-turbo-progs)");
  testsupport::CMYKFormulas formulas;  // CMYK files are read back as the other decoders read them
  testsupport::ScratchDir dir;
  const int w = 97, h = 61;
  const std::vector<uint8_t> photo = jpegtest::Photo(w, h, 3);
  struct Case {
    uint8_t space, subsampling;
    bool progressive;
    double ffmpegPSNR;  // FFmpeg decodes with its own transform and chroma upsampling
  };
  const Case cases[] = {{2, 1, false, 33}, {2, 0, false, 33}, {2, 2, true, 40}, {0, 1, false, 40},
                        {1, 1, false, 40}, {1, 1, true, 40},  {3, 1, false, 30}, {4, 1, false, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "space " << int(c.space) << " subsampling " << int(c.subsampling)
                                    << (c.progressive ? " progressive" : ""));
    TIEBitmap b;
    b.Allocate(w, h, ie24RGB);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = &photo[(static_cast<size_t>(y) * w + x) * 3];
        b.SetPixel24(x, y, CreateRGB(p[0], p[1], p[2]));
      }
    TIOParamsVals p(nullptr);
    p.JpegColorSpace = c.space;
    p.JpegChromaSubsampling = c.subsampling;
    p.JpegProgressive = c.progressive;
    p.JpegQuality = 90;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    {
      TFileStream f(dir.File("a.jpg"), fmCreate);
      WriteJpegStream(f, b, p, progress);
    }
    ASSERT_FALSE(aborting);
    // Our reading of our file.
    TIEBitmap back;
    {
      TFileStream f(dir.File("a.jpg"), fmOpenRead);
      TIOParamsVals q(nullptr);
      ReadJpegStream(f, nullptr, back, q, progress, false, false, false, false, false, false, -1, false);
    }
    ASSERT_FALSE(aborting);
    const std::vector<uint8_t> ours = Rgb24(back);
    const bool cmyk = c.space == 3 || c.space == 4;
    // djpeg is the same library: exactly our pixels. (It writes no CMYK to PPM.)
    if (!cmyk) {
      const std::string cmd = "djpeg -dct int -pnm -outfile '" + dir.File("d.pnm") + "' '" + dir.File("a.jpg") + "'";
      ASSERT_EQ(std::system(cmd.c_str()), 0);
      EXPECT_TRUE(ReadPNM(dir.File("d.pnm")) == ours) << "djpeg";
    }
    EXPECT_GT(jpegtest::PSNR(DecodeWithFFmpeg(dir.File("a.jpg"), dir.File("f.raw")), ours), c.ffmpegPSNR) << "ffmpeg";
    const auto magick = codectest::MagickPixels(dir, {"a.jpg"});
    EXPECT_GT(jpegtest::PSNR(WithoutAlpha(magick.at("a.jpg")), ours), cmyk ? 30 : 40) << "ImageMagick";
    // And each is close to the picture written.
    if (c.space != 1) {
      EXPECT_GT(jpegtest::PSNR(ours, Rgb24(b)), cmyk ? 25 : 30);
    }
  }
}

// Files of the library's own tools in the layouts real files have: odd sampling factors (chroma
// sampled finer than luma too), restart intervals by rows and by blocks, arithmetic coding,
// progressive scripts of many scans, sequential files of one scan per component, RGB and grey files.
// Each decodes to djpeg's pixels exactly; a CMYK file of ImageMagick (Adobe's inverted form) to
// ImageMagick's reading of it.
TEST(ExternalDecoder, JPEGFilesOfCjpegDecodeAsDjpegDoes) {
  REQUIRE_TOOL("command -v cjpeg", "cjpeg (libjpeg-turbo-progs)");
  REQUIRE_TOOL("command -v djpeg", "djpeg (libjpeg-turbo-progs)");
  testsupport::ScratchDir dir;
  const int w = 83, h = 45;  // no multiple of any MCU
  const std::vector<uint8_t> photo = jpegtest::Photo(w, h, 9);
  {
    std::ofstream out(dir.File("in.ppm"), std::ios::binary);
    out << "P6\n" << w << " " << h << "\n255\n";
    out.write(reinterpret_cast<const char*>(photo.data()), static_cast<std::streamsize>(photo.size()));
  }
  {
    // Spectral selection and successive approximation, components apart: ten scans.
    std::ofstream out(dir.File("many.scans"));
    out << "0,1,2: 0-0, 0, 1;\n0: 1-5, 0, 2;\n2: 1-63, 0, 1;\n1: 1-63, 0, 1;\n0: 6-63, 0, 2;\n"
           "0: 1-63, 2, 1;\n0,1,2: 0-0, 1, 0;\n2: 1-63, 1, 0;\n1: 1-63, 1, 0;\n0: 1-63, 1, 0;\n";
    std::ofstream one(dir.File("apart.scans"));
    one << "0;\n1;\n2;\n";
  }
  const char* options[] = {
      "-sample 4x1",          "-sample 1x4",           "-sample 3x2",
      "-sample 4x2",          "-sample 1x1,2x2,1x1",   "-sample 2x1,1x2,1x1",
      "-restart 1",           "-restart 3B",           "-arithmetic",
      "-arithmetic -progressive", "-progressive -restart 1", "-scans many.scans",
      "-scans apart.scans",   "-grayscale",            "-rgb",
      "-optimize -smooth 30", "-quality 100",          "-sample 1x1 -restart 1 -arithmetic",
  };
  for (const char* option : options) {
    SCOPED_TRACE(option);
    const std::string cmd = "cd '" + dir.Path().string() + "' && cjpeg " + option + " -outfile a.jpg in.ppm && djpeg -pnm -outfile d.pnm a.jpg";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    TFileStream f(dir.File("a.jpg"), fmOpenRead);
    TIEBitmap ours;
    TIOParamsVals p(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ReadJpegStream(f, nullptr, ours, p, progress, false, false, true, false, true, true, -1, false);
    ASSERT_FALSE(aborting);
    EXPECT_EQ(p.JpegWarningCount, 0);
    EXPECT_TRUE(ReadPNM(dir.File("d.pnm")) == Rgb24(ours));
  }
  {
    SCOPED_TRACE("ImageMagick CMYK");
    testsupport::CMYKFormulas formulas;  // ImageMagick turns CMYK into RGB by the formulas too
    ASSERT_TRUE(codectest::Magick(dir, "in.ppm -colorspace CMYK -quality 92 cmyk.jpg"));
    TFileStream f(dir.File("cmyk.jpg"), fmOpenRead);
    codectest::Decoded ours;
    TIOParamsVals p(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ReadJpegStream(f, nullptr, ours.bitmap, p, progress, false, false, true, false, true, true, -1, false);
    ours.aborted = aborting;
    EXPECT_EQ(p.JpegColorSpace, 4);  // ImageMagick stores CMYK as YCCK
    codectest::Significant bits;
    bits.slack = 1;  // the two round C x K / 255 apart
    codectest::ExpectSamePixels("ImageMagick", ours, codectest::MagickPixels(dir, {"cmyk.jpg"}).at("cmyk.jpg"), bits);
  }
}

}  // namespace
