// Every kind of file the PNG writer makes (each colour type and depth, every row filter, interlaced,
// image data over several IDAT chunks), checked by independent tools: pngcheck -v accepts it, and
// ImageMagick and FFmpeg decode it to the pixels our reader gives. The tools are test dependencies
// (scripts/install-deps.sh): a missing one fails the test.
#include <gtest/gtest.h>

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
