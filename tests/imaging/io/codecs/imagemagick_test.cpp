// BMP and GIF against ImageMagick, an independent encoder and decoder: files ImageMagick writes in
// each variant decode to ImageMagick's own pixels, and files the engine writes decode in ImageMagick
// to the engine's. All files are made in a scratch folder at test time.
#include <gtest/gtest.h>

#include <sstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

namespace {

using namespace codectest;

// The same BMP with its rows stored top-down: the height negated and the rows in reverse order.
Bytes TopDown(const Bytes& bmp) {
  TIEByteReader r(bmp.data(), static_cast<int64_t>(bmp.size()));
  r.Seek(10);
  const uint32_t offset = r.U32();
  r.Skip(4);
  const auto width = static_cast<int32_t>(r.U32());
  const auto height = static_cast<int32_t>(r.U32());
  r.Skip(2);
  const int32_t bits = r.U16();
  const size_t rowBytes = static_cast<size_t>((width * bits + 31) / 32 * 4);
  Bytes out = bmp;
  IEPutU32(out.data() + 22, static_cast<uint32_t>(-height), false);
  for (int32_t y = 0; y < height; ++y)
    std::copy_n(bmp.begin() + static_cast<long>(offset + y * rowBytes), rowBytes,
                out.begin() + static_cast<long>(offset + (height - 1 - y) * rowBytes));
  return out;
}

TEST(ImageMagick, IsInstalled) {
  EXPECT_FALSE(MagickTool().empty()) << "ImageMagick is a test dependency: run scripts/install-deps.sh";
}

TEST(ImageMagick, ItsBMPFilesDecodeToItsPixels) {
  testsupport::ScratchDir dir;
  WriteFile(dir.File("opaque.ppm"), Source::Netpbm(false));
  WriteFile(dir.File("alpha.pam"), Source::Netpbm(true));
  struct Variant {
    std::string file;
    std::string args;  // what makes it from opaque.ppm or alpha.pam
    Significant bits;
  };
  const Significant four{4, 4, 4, 4};
  const Significant oneBitAlpha{8, 8, 8, 1};
  const std::vector<Variant> variants = {
      {"core-1.bmp", "opaque.ppm -colors 2 -compress None BMP2:core-1.bmp", {}},
      {"core-4.bmp", "opaque.ppm -colors 16 -compress None BMP2:core-4.bmp", {}},
      {"core-8.bmp", "opaque.ppm -colors 200 -compress None BMP2:core-8.bmp", {}},
      {"core-24.bmp", "opaque.ppm BMP2:core-24.bmp", {}},
      {"info-1-monochrome.bmp", "opaque.ppm -monochrome -compress None BMP3:info-1-monochrome.bmp", {}},
      {"info-1.bmp", "opaque.ppm -colors 2 -compress None BMP3:info-1.bmp", {}},
      {"info-4.bmp", "opaque.ppm -colors 16 -compress None BMP3:info-4.bmp", {}},
      {"info-8.bmp", "opaque.ppm -colors 200 -compress None BMP3:info-8.bmp", {}},
      {"info-24.bmp", "opaque.ppm BMP3:info-24.bmp", {}},
      {"info-rle8.bmp", "opaque.ppm -colors 20 -compress RLE BMP3:info-rle8.bmp", {}},
      {"v4-8.bmp", "opaque.ppm -colors 100 -compress None -intent Undefined -define bmp:format=bmp4 BMP:v4-8.bmp", {}},
      {"v4-24.bmp", "opaque.ppm -intent Undefined -define bmp:format=bmp4 BMP:v4-24.bmp", {}},
      {"v5-24.bmp", "opaque.ppm BMP:v5-24.bmp", {}},
      {"v5-32-alpha.bmp", "alpha.pam BMP:v5-32-alpha.bmp", {}},
      {"v5-rgb565.bmp", "opaque.ppm -define bmp:subtype=RGB565 BMP:v5-rgb565.bmp", {}},
      {"v5-rgb555.bmp", "opaque.ppm -define bmp:subtype=RGB555 BMP:v5-rgb555.bmp", {}},
      {"v5-argb4444.bmp", "alpha.pam -define bmp:subtype=ARGB4444 BMP:v5-argb4444.bmp", four},
      {"v5-argb1555.bmp", "alpha.pam -define bmp:subtype=ARGB1555 BMP:v5-argb1555.bmp", oneBitAlpha},
  };
  for (const Variant& v : variants) ASSERT_TRUE(Magick(dir, v.args)) << v.args;

  // Top-down copies of some of them, rows reversed by hand.
  std::vector<Variant> all = variants;
  for (const char* name : {"info-8.bmp", "info-24.bmp", "v5-32-alpha.bmp", "v5-rgb565.bmp"}) {
    const std::string topDown = std::string("top-down-") + name;
    WriteFile(dir.File(topDown), TopDown(ReadFile(dir.File(name))));
    all.push_back({topDown, "", {}});
  }
  std::vector<std::string> files;
  for (const Variant& v : all) files.push_back(v.file);
  const auto theirs = MagickPixels(dir, files);

  // The headers, depths and compressions are what the variant names say, so that each variant is
  // really tested.
  struct Layout { uint32_t header; int bits; uint32_t compression; };
  const std::map<std::string, Layout> expected = {
      {"core-1.bmp", {12, 1, 0}},       {"core-4.bmp", {12, 4, 0}},        {"core-8.bmp", {12, 8, 0}},
      {"core-24.bmp", {12, 24, 0}},     {"info-1.bmp", {40, 1, 0}},        {"info-4.bmp", {40, 4, 0}},
      {"info-8.bmp", {40, 8, 0}},       {"info-24.bmp", {40, 24, 0}},      {"info-rle8.bmp", {40, 8, 1}},
      {"v4-8.bmp", {108, 8, 0}},        {"v4-24.bmp", {108, 24, 0}},       {"v5-24.bmp", {124, 24, 0}},
      {"v5-32-alpha.bmp", {124, 32, 3}}, {"v5-rgb565.bmp", {124, 16, 3}},  {"v5-argb4444.bmp", {124, 16, 3}},
  };
  for (const Variant& v : all) {
    const Bytes file = ReadFile(dir.File(v.file));
    ASSERT_GT(file.size(), 54u) << v.file;
    if (auto it = expected.find(v.file); it != expected.end()) {
      const Layout& l = it->second;
      EXPECT_EQ(IEGetU32(file.data() + 14, false), l.header) << v.file;
      EXPECT_EQ(IEGetU16(file.data() + (l.header == 12 ? 24 : 28), false), l.bits) << v.file;
      if (l.header > 12) {
        EXPECT_EQ(IEGetU32(file.data() + 30, false), l.compression) << v.file;
      }
    }
    Decoded ours;
    ReadBMP(file, ours);
    ExpectSamePixels(v.file, ours, theirs.at(v.file), v.bits);
  }
}

TEST(ImageMagick, ItsGIFFilesDecodeToItsPixels) {
  testsupport::ScratchDir dir;
  WriteFile(dir.File("opaque.ppm"), Source::Netpbm(false));
  WriteFile(dir.File("alpha.pam"), Source::Netpbm(true));
  ASSERT_TRUE(Magick(dir, "opaque.ppm -colors 2 two.gif"));
  ASSERT_TRUE(Magick(dir, "opaque.ppm -colors 16 sixteen.gif"));
  ASSERT_TRUE(Magick(dir, "opaque.ppm -colors 256 full.gif"));
  ASSERT_TRUE(Magick(dir, "opaque.ppm -colors 64 -interlace GIF interlaced.gif"));
  ASSERT_TRUE(Magick(dir, "alpha.pam -colors 32 transparent.gif"));
  // Three frames of other sizes, places and colour tables.
  ASSERT_TRUE(Magick(dir, "-delay 10 opaque.ppm -colors 8 \\( opaque.ppm -crop 20x9+5+3 -colors 100 \\) "
                          "\\( alpha.pam -crop 7x11+20+2 -colors 5 \\) -loop 0 frames.gif"));
  const std::vector<std::pair<std::string, int32_t>> frames = {
      {"two.gif", 0},         {"sixteen.gif", 0}, {"full.gif", 0}, {"interlaced.gif", 0},
      {"transparent.gif", 0}, {"frames.gif", 0},  {"frames.gif", 1}, {"frames.gif", 2}};
  std::vector<std::string> files;
  for (const auto& [name, index] : frames) files.push_back(name + "[" + std::to_string(index) + "]");
  const auto theirs = MagickPixels(dir, files);

  for (size_t i = 0; i < frames.size(); ++i) {
    Decoded ours;
    ReadGIF(ReadFile(dir.File(frames[i].first)), frames[i].second, ours);
    ExpectSamePixels(files[i], ours, theirs.at(files[i]));
    // The variants are what their names say.
    EXPECT_EQ(ours.interlaced, frames[i].first == "interlaced.gif") << files[i];
    EXPECT_EQ(ours.alpha != nullptr, frames[i].first == "transparent.gif" || files[i] == "frames.gif[2]")
        << files[i];
    EXPECT_EQ(ours.frames, frames[i].first == "frames.gif" ? 3 : 1) << files[i];
  }
}

// ------------------------------------------------------------------------ the engine's own files

TIEBitmap& FillSource(TIEBitmap& b, bool alpha) {
  b.Allocate(Source::W, Source::H, ie24RGB);
  for (int y = 0; y < Source::H; ++y)
    for (int x = 0; x < Source::W; ++x) {
      b.SetPixel24(x, y, CreateRGB(Source::Channel(x, y, 0), Source::Channel(x, y, 1), Source::Channel(x, y, 2)));
      if (alpha) b.SetAlpha(x, y, Source::Channel(x, y, 3));
    }
  return b;
}

// Writes the engine's files (name, bytes) into Dir and expects ImageMagick to read each as the
// engine does.
void ExpectMagickReadsThemAsWeDo(const testsupport::ScratchDir& dir,
                                 const std::vector<std::pair<std::string, Bytes>>& written) {
  std::vector<std::string> files;
  for (const auto& [name, bytes] : written) {
    WriteFile(dir.File(name), bytes);
    files.push_back(name);
  }
  const auto theirs = MagickPixels(dir, files);
  for (const auto& [name, bytes] : written) {
    Decoded ours;
    if (name.ends_with(".gif"))
      ReadGIF(bytes, 0, ours);
    else
      ReadBMP(bytes, ours);
    ExpectSamePixels(name, ours, theirs.at(name));
  }
}

TEST(ImageMagick, TheEnginesBMPFilesDecodeThereToOurPixels) {
  testsupport::ScratchDir dir;
  struct Case { int32_t bits, samples; uint8_t version, compression; bool alpha; };
  // Every header the writer has, with and without run-length coding. ImageMagick 6 takes the colour
  // table after a 64-byte OS/2 2.x header for 3-byte entries (the header's own layout, which FFmpeg
  // and the engine follow, has 4), so that header is compared at 24 bits only.
  const Case cases[] = {{1, 1, 1, 0, false}, {1, 1, 2, 0, false}, {4, 1, 1, 0, false}, {4, 1, 1, 1, false},
                        {4, 1, 2, 1, false}, {8, 1, 1, 0, false}, {8, 1, 1, 1, false}, {8, 1, 2, 0, false},
                        {8, 3, 1, 0, false}, {8, 3, 2, 0, false}, {8, 3, 3, 0, false}, {8, 3, 1, 0, true}};
  std::vector<std::pair<std::string, Bytes>> written;
  for (const Case& c : cases) {
    TIEBitmap b;
    FillSource(b, c.alpha);
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.bits;
    p.SamplesPerPixel = c.samples;
    p.BmpVersion = c.version;
    p.BmpCompression = c.compression;
    const std::string name = "engine-" + std::to_string(written.size()) + "-" + std::to_string(c.bits) + "-v" +
                             std::to_string(c.version) + (c.compression ? "-rle" : "") + ".bmp";
    written.emplace_back(name, WriteBMP(b, p, true));
    ASSERT_FALSE(written.back().second.empty()) << name;
  }
  ExpectMagickReadsThemAsWeDo(dir, written);
}

TEST(ImageMagick, TheEnginesGIFFilesDecodeThereToOurPixels) {
  testsupport::ScratchDir dir;
  struct Case { int32_t bits; bool interlaced, alpha; };
  const Case cases[] = {{1, false, false}, {2, true, false}, {4, false, false}, {5, true, true},
                        {8, false, false}, {8, true, true}};
  std::vector<std::pair<std::string, Bytes>> written;
  for (const Case& c : cases) {
    TIEBitmap b;
    FillSource(b, c.alpha);
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.bits;
    p.GifInterlaced = c.interlaced;
    p.GifLZWCompressor = GIFLZWEncode;
    const std::string name = "engine-" + std::to_string(written.size()) + "-" + std::to_string(c.bits) + ".gif";
    written.emplace_back(name, WriteGIF(b, p));
    ASSERT_FALSE(written.back().second.empty()) << name;
  }
  ExpectMagickReadsThemAsWeDo(dir, written);
}

}  // namespace
