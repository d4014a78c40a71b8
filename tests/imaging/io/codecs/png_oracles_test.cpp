// Every kind of file the PNG writer makes (each colour type and depth, every row filter, interlaced,
// image data over several IDAT chunks), checked by independent tools: pngcheck -v accepts it, and
// ImageMagick and FFmpeg decode it to the pixels our reader gives. The tools are test dependencies
// (scripts/install-deps.sh): a missing one fails the test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/io/io_params.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/png_fixture.h"

using namespace codectest;

namespace {

// A 37 x 29 picture (every Adam7 pass partly filled) of the kind asked for.
void Paint(TIEBitmap& b, TIEPixelFormat format, bool fewColours, bool alpha, bool noise = false) {
  const int32_t w = noise ? 311 : 37, h = noise ? 277 : 29;
  b.Allocate(w, h, format);
  if (noise) {
    // Deflates to about its own size: the image data spans several IDAT chunks.
    uint32_t state = 12345;
    for (int32_t y = 0; y < h; ++y) {
      auto* row = b.Row<uint8_t>(y);
      for (int32_t i = 0; i < b.RowLen(); ++i) row[i] = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    }
  }
  for (int32_t y = 0; y < h && !noise; ++y)
    for (int32_t x = 0; x < w; ++x) {
      switch (format) {
        case ie1g: SetRowBit(b.GetRow(y), x, (x * y + x) % 3); break;
        case ie8g: b.SetPixel8(x, y, static_cast<uint8_t>(x * 7 + y * 3)); break;
        case ie16g: b.SetPixel16(x, y, static_cast<uint16_t>(x * 1777 + y * 201)); break;
        default: {
          const int i = fewColours ? (x / 4 + y) % 9 : x * 31 + y * 17;
          b.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(i * 28), static_cast<uint8_t>(255 - i * 5), static_cast<uint8_t>(i * i)));
        }
      }
    }
  if (!alpha) return;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b.SetAlpha(x, y, (x + 2 * y) % 5 ? 255 : static_cast<uint8_t>(x * 6));
  b.GetAlphaChannel()->SetFull(false);
}

TEST(PngOracles, EveryFileTheWriterMakesPassesPngcheckImageMagickAndFFmpeg) {
  const std::string pngcheck = testsupport::FindProgram({"pngcheck"});
  ASSERT_FALSE(pngcheck.empty()) << "pngcheck is not installed (scripts/install-deps.sh installs it)";
  struct Kind {
    const char* name;
    TIEPixelFormat format;
    int32_t samples, bits;
    bool fewColours, alpha;
    int slack;  // 16-bit samples: the tools round to 8 bits where we keep the high byte
    bool noise = false;
  };
  const Kind kinds[] = {
      {"grey1", ie1g, 1, 1, false, false, 0},     {"grey8", ie8g, 1, 8, false, false, 0},
      {"grey16", ie16g, 1, 16, false, false, 1},  {"palette", ie24RGB, 1, 8, true, false, 0},
      {"palette-trns", ie24RGB, 1, 8, true, true, 0}, {"rgb", ie24RGB, 3, 8, false, false, 0},
      {"rgba", ie24RGB, 3, 8, false, true, 0},
      {"rgb-noise", ie24RGB, 3, 8, false, false, 0, true}, {"rgba-noise", ie24RGB, 3, 8, false, true, 0, true},
      {"grey16-noise", ie16g, 1, 16, false, false, 1, true},
  };
  testsupport::ScratchDir dir;
  std::vector<std::string> files;
  std::vector<int> slacks;
  int n = 0;
  // Each kind without interlacing under every row filter (the engine filters and deflates those
  // rows itself), and interlaced (libpng does).
  struct Layout {
    bool interlaced;
    uint8_t filter;
  };
  const Layout layouts[] = {{false, 0}, {false, 1}, {false, 2}, {true, 2}};
  for (const Kind& k : kinds)
    for (const Layout& l : layouts) {
      const bool interlaced = l.interlaced;
      if (k.noise && interlaced) continue;  // the large pictures test the IDAT chunks the engine writes
      TIEBitmap b;
      Paint(b, k.format, k.fewColours, k.alpha, k.noise);
      TIOParamsVals p(nullptr);
      p.SamplesPerPixel = k.samples;
      p.BitsPerSample = k.bits;
      p.PngInterlaced = interlaced;
      p.PngFilter = l.filter;
      p.PngCompression = k.noise ? 1 + n % 3 : n % 10;
      p.PngBackground = CreateRGB(1, 2, 3);
      p.PngTextKeys = {"Title"};
      p.PngTextValues = {n % 2 ? "Caf\xc3\xa9" : "\xe6\x97\xa5"};
      const Bytes file = WritePNG(b, p);
      ASSERT_FALSE(file.empty()) << k.name;
      const std::string name =
          std::string(k.name) + (interlaced ? "-adam7" : "-filter" + std::to_string(l.filter)) + ".png";
      WriteFile(dir.File(name), file);
      files.push_back(name);
      slacks.push_back(k.slack);
      ++n;
      std::string report;
      EXPECT_EQ(testsupport::RunProgram("'" + pngcheck + "' -v '" + dir.File(name) + "'", &report), 0) << report;
    }
  const std::map<std::string, Bytes> magick = MagickPixels(dir, files);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    Decoded ours;
    ReadPNG(ReadFile(dir.File(files[i])), ours);
    Significant bits;
    bits.slack = slacks[i];
    ExpectSamePixels("ImageMagick", ours, magick.at(files[i]), bits);
    ExpectSamePixels("FFmpeg", ours, FFmpegPixels(dir, dir.File(files[i])), bits);
  }
}

}  // namespace

namespace {

// The colour type, depth, interlace method and tRNS chunk of a PNG file.
std::string KindOf(const Bytes& file) {
  if (file.size() < 33) return "not a PNG";
  bool trns = false;
  for (size_t at = 8; at + 8 <= file.size();) {
    const uint32_t length = uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    if (std::memcmp(&file[at + 4], "tRNS", 4) == 0) trns = true;
    at += 12 + static_cast<size_t>(length);
  }
  return "type " + std::to_string(file[25]) + " depth " + std::to_string(file[24]) + (file[28] ? " adam7" : "") +
         (trns ? " tRNS" : "");
}

// Files of another encoder: ImageMagick writes the picture in every colour type and depth PNG has,
// palettes with and without transparency, grey and RGB with a tRNS key, interlaced or not; our
// reader (on both routes) must give ImageMagick's own decoding of each. Each file is checked to be of
// the kind asked for, so that a change in the tool's choices cannot hollow the test out.
TEST(PngOracles, FilesOfImageMagickDecodeToItsPixels) {
  testsupport::ScratchDir dir;
  WriteFile(dir.File("src.pam"), Source::Netpbm(true));
  WriteFile(dir.File("src.ppm"), Source::Netpbm(false));
  struct Kind {
    const char* name;
    const char* args;  // ImageMagick's options from the source picture; the file name follows
    const char* kind;  // what the file must be
    int slack;         // 16-bit samples: ImageMagick rounds to 8 bits, we keep the high byte
  };
  const Kind kinds[] = {
      {"grey1", "src.ppm -colorspace Gray -threshold 50%", "type 0 depth 1", 0},
      {"grey1-adam7", "src.ppm -colorspace Gray -threshold 50% -interlace PNG", "type 0 depth 1 adam7", 0},
      {"grey2", "src.ppm -colorspace Gray -depth 2", "type 0 depth 2", 0},
      {"grey2-adam7", "src.ppm -colorspace Gray -depth 2 -interlace PNG", "type 0 depth 2 adam7", 0},
      {"grey4", "src.ppm -colorspace Gray -depth 4", "type 0 depth 4", 0},
      {"grey8", "src.ppm -colorspace Gray", "type 0 depth 8", 0},
      {"grey8-trns", "src.ppm -colorspace Gray -transparent 'gray(77.6342)' -define png:color-type=0",
       "type 0 depth 8 tRNS", 0},
      {"grey16", "src.ppm -colorspace Gray -depth 16 -define png:bit-depth=16", "type 0 depth 16", 1},
      {"grey16-adam7", "src.ppm -colorspace Gray -depth 16 -define png:bit-depth=16 -interlace PNG",
       "type 0 depth 16 adam7", 1},
      {"greyalpha8", "src.pam -colorspace Gray", "type 4 depth 8", 0},
      {"greyalpha16", "src.pam -colorspace Gray -depth 16", "type 4 depth 16", 1},
      {"palette1", "src.ppm -colors 2 -type Palette", "type 3 depth 1", 0},
      {"palette1-adam7", "src.ppm -colors 2 -type Palette -interlace PNG", "type 3 depth 1 adam7", 0},
      {"palette2", "src.ppm -colors 4 -type Palette", "type 3 depth 2", 0},
      {"palette4", "src.ppm -colors 16 -type Palette", "type 3 depth 4", 0},
      {"palette4-trns", "src.pam -colors 9 -type PaletteAlpha", "type 3 depth 4 tRNS", 0},
      {"palette8", "src.ppm -colors 200 -type Palette", "type 3 depth 8", 0},
      {"palette8-trns", "src.pam -colors 100 PNG8:", "type 3 depth 8 tRNS", 0},
      {"rgb8", "src.ppm PNG24:", "type 2 depth 8", 0},
      {"rgb8-trns", "src.ppm -transparent 'rgb(200,40,90)' -define png:color-type=2", "type 2 depth 8 tRNS", 0},
      {"rgb8-adam7", "src.ppm -interlace PNG PNG24:", "type 2 depth 8 adam7", 0},
      {"rgb16", "src.ppm -depth 16 PNG48:", "type 2 depth 16", 1},
      {"rgba8", "src.pam PNG32:", "type 6 depth 8", 0},
      {"rgba8-adam7", "src.pam -interlace PNG PNG32:", "type 6 depth 8 adam7", 0},
      {"rgba16", "src.pam -depth 16 PNG64:", "type 6 depth 16", 1},
  };
  std::vector<std::string> files;
  for (const Kind& k : kinds) {
    const std::string name = std::string(k.name) + ".png";
    // Without a background chunk ImageMagick keeps palettes to the picture's own colours.
    std::string args = std::string(k.args);
    const bool prefixed = args.back() == ':';
    args = "-define png:exclude-chunk=bKGD " + args + (prefixed ? "" : " ") + name;
    ASSERT_TRUE(Magick(dir, args)) << k.name;
    EXPECT_EQ(KindOf(ReadFile(dir.File(name))), k.kind) << k.name;
    files.push_back(name);
  }
  const std::map<std::string, Bytes> magick = MagickPixels(dir, files);
  for (size_t i = 0; i < files.size(); ++i) {
    for (const bool native : {false, true}) {
      SCOPED_TRACE(files[i] + (native ? " native" : ""));
      Decoded ours;
      ReadPNG(ReadFile(dir.File(files[i])), ours, native);
      Significant bits;
      bits.slack = kinds[i].slack;
      ExpectSamePixels("ImageMagick", ours, magick.at(files[i]), bits);
    }
  }
}

}  // namespace
