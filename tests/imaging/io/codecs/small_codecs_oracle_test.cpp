// PCX, DCX, Targa, icons, cursors, PNM and wireless bitmaps against independent encoders and
// decoders: files ImageMagick (and, for variants it does not write, FFmpeg) writes decode in the
// engine to ImageMagick's pixels; files the engine writes decode in ImageMagick, and in FFmpeg for
// the formats it reads, to the engine's pixels. All files are made in a scratch folder at test time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

namespace {

using namespace codectest;

std::string Extension(const std::string& file) { return file.substr(file.rfind('.') + 1); }

// The engine's reading of File (a page or image as "name[i]"), as the I/O component loads it.
void DecodeOurs(const testsupport::ScratchDir& dir, const std::string& name, Decoded& d) {
  std::string file = name;
  int32_t index = 0;
  if (const size_t open = name.find('['); open != std::string::npos) {
    file = name.substr(0, open);
    index = std::stoi(name.substr(open + 1));
  }
  const Bytes bytes = ReadFile(dir.File(file));
  const std::string ext = Extension(file);
  if (ext == "pcx") ReadPCX(bytes, d);
  else if (ext == "dcx") ReadDCX(bytes, index, d);
  else if (ext == "tga") ReadTGA(bytes, d);
  else if (ext == "ico") ReadICO(bytes, index, d);
  else if (ext == "cur") ReadCUR(bytes, index, d);
  else if (ext == "wbmp") ReadWBMP(bytes, d);
  else ReadPXM(bytes, d);
}

TEST(SmallCodecsOracle, ToolsAreInstalled) {
  EXPECT_FALSE(MagickTool().empty()) << "ImageMagick is a test dependency: run scripts/install-deps.sh";
  EXPECT_EQ(std::system("ffmpeg -version >/dev/null 2>&1"), 0) << "FFmpeg is a test dependency";
}

TEST(SmallCodecsOracle, FilesOfOtherEncodersDecodeToTheirPixels) {
  testsupport::ScratchDir dir;
  WriteFile(dir.File("opaque.ppm"), Source::Netpbm(false));
  WriteFile(dir.File("alpha.pam"), Source::Netpbm(true));
  struct Variant {
    std::string file;  // "name[i]" reads image or page i
    std::string magick;  // ImageMagick's arguments that make it, or
    std::string ffmpeg;  // FFmpeg's
    Significant bits;
    // ImageMagick 6 reads 1-bit PCX files inverted (white where the file says black, whatever the
    // header's colours): FFmpeg's decoder, which reads them as the format says, is the reference there.
    bool magickReads = true;
  };
  // ImageMagick takes 16-bit samples to 8 bits by rounding, the engine by truncating or by the high
  // byte: one level apart at most.
  const Significant sixteen{.slack = 1};
  const std::vector<Variant> variants = {
      {"pcx-8.pcx", "opaque.ppm -colors 200 PCX:pcx-8.pcx", "", {}},
      {"pcx-24.pcx", "opaque.ppm PCX:pcx-24.pcx", "", {}},
      {"pcx-24-plain.pcx", "opaque.ppm -compress None PCX:pcx-24-plain.pcx", "", {}},
      {"pcx-1.pcx", "", "-i opaque.ppm -pix_fmt monob pcx-1.pcx", {}, false},
      {"pcx-pal8.pcx", "", "-i opaque.ppm -pix_fmt pal8 pcx-pal8.pcx", {}},
      {"pcx-gray.pcx", "", "-i opaque.ppm -pix_fmt gray pcx-gray.pcx", {}},
      {"pages.dcx[1]", "opaque.ppm \\( opaque.ppm -negate \\) DCX:pages.dcx", "", {}},
      {"tga-24.tga", "opaque.ppm -compress None TGA:tga-24.tga", "", {}},
      {"tga-24-rle.tga", "opaque.ppm -compress RLE TGA:tga-24-rle.tga", "", {}},
      {"tga-32.tga", "alpha.pam -compress None TGA:tga-32.tga", "", {}},
      {"tga-32-rle.tga", "alpha.pam -compress RLE TGA:tga-32-rle.tga", "", {}},
      {"tga-8.tga", "opaque.ppm -colors 200 -type palette -compress None TGA:tga-8.tga", "", {}},
      {"tga-8-rle.tga", "opaque.ppm -colors 200 -type palette -compress RLE TGA:tga-8-rle.tga", "", {}},
      {"tga-grey.tga", "opaque.ppm -type grayscale TGA:tga-grey.tga", "", {}},
      {"tga-16.tga", "", "-i opaque.ppm -pix_fmt rgb555le tga-16.tga", {.r = 5, .g = 5, .b = 5}},
      {"tga-bgra.tga", "", "-i alpha.pam -pix_fmt bgra tga-bgra.tga", {}},
      {"p4.pbm", "opaque.ppm -monochrome PBM:p4.pbm", "", {}},
      {"p1.pbm", "opaque.ppm -monochrome -compress none PBM:p1.pbm", "", {}},
      {"p5.pgm", "opaque.ppm PGM:p5.pgm", "", {}},
      {"p2.pgm", "opaque.ppm -compress none PGM:p2.pgm", "", {}},
      {"p5-16.pgm", "opaque.ppm -depth 16 PGM:p5-16.pgm", "", sixteen},
      {"p6.ppm", "opaque.ppm PPM:p6.ppm", "", {}},
      {"p3.ppm", "opaque.ppm -compress none PPM:p3.ppm", "", {}},
      {"p6-16.ppm", "opaque.ppm -depth 16 PPM:p6-16.ppm", "", sixteen},
      {"p6-maxval-1023.ppm", "opaque.ppm -depth 10 PPM:p6-maxval-1023.ppm", "", sixteen},
      {"ico-32.ico", "alpha.pam ICO:ico-32.ico", "", {}},
      {"ico-4.ico", "opaque.ppm -colors 16 ICO:ico-4.ico", "", {}},
      {"ico-8.ico", "opaque.ppm -colors 200 ICO:ico-8.ico", "", {}},
      {"ico-sizes.ico[1]", "alpha.pam -define icon:auto-resize=48,32,16 ICO:ico-sizes.ico", "", {}},
      {"ico-256-png.ico", "alpha.pam -scale 256x256! ICO:ico-256-png.ico", "", {}},
      {"cur-32.cur", "alpha.pam CUR:cur-32.cur", "", {}},
      {"w.wbmp", "opaque.ppm -monochrome WBMP:w.wbmp", "", {}},
  };
  for (const Variant& v : variants) {
    if (!v.magick.empty()) {
      ASSERT_TRUE(Magick(dir, v.magick)) << v.magick;
    } else {
      const std::string cmd = "cd '" + dir.Path().string() + "' && ffmpeg -v error -y " + v.ffmpeg;
      ASSERT_EQ(std::system(cmd.c_str()), 0) << v.ffmpeg;
    }
  }
  std::vector<std::string> files;
  for (const Variant& v : variants)
    if (v.magickReads) files.push_back(v.file);
  const auto theirs = MagickPixels(dir, files);
  for (const Variant& v : variants) {
    Decoded ours;
    DecodeOurs(dir, v.file, ours);
    ExpectSamePixels(v.file, ours, v.magickReads ? theirs.at(v.file) : FFmpegPixels(dir, dir.File(v.file)), v.bits);
  }
  // The variants are what their names say.
  const Bytes pcx1 = ReadFile(dir.File("pcx-1.pcx"));
  EXPECT_EQ(pcx1[3], 1);
  EXPECT_EQ(pcx1[65], 1);
  const Bytes tga8 = ReadFile(dir.File("tga-8-rle.tga"));
  EXPECT_EQ(tga8[2], 9);
  const Bytes png = ReadFile(dir.File("ico-256-png.ico"));
  const size_t at = png[18] | png[19] << 8 | png[20] << 16;
  EXPECT_EQ(Bytes(png.begin() + static_cast<long>(at), png.begin() + static_cast<long>(at) + 4),
            (Bytes{0x89, 'P', 'N', 'G'}));
  const Bytes p6 = ReadFile(dir.File("p6-maxval-1023.ppm"));
  EXPECT_NE(std::string(p6.begin(), p6.begin() + 20).find("1023"), std::string::npos);
}

TEST(SmallCodecsOracle, TheEngineFilesDecodeInImageMagickAndFFmpeg) {
  testsupport::ScratchDir dir;
  // The source picture with its alpha channel, and a two-colour one. (Neither ImageMagick nor
  // FFmpeg reads 1-bit Targa files at all, so that variant has no reference here.)
  TIEBitmap picture(Source::W, Source::H, ie24RGB), two(Source::W, Source::H, ie24RGB);
  for (int y = 0; y < Source::H; ++y)
    for (int x = 0; x < Source::W; ++x) {
      picture.SetPixel24(x, y, CreateRGB(Source::Channel(x, y, 0), Source::Channel(x, y, 1), Source::Channel(x, y, 2)));
      two.SetPixel24(x, y, (x + y) % 3 ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0));
    }
  TIEBitmap withAlpha;
  withAlpha.Assign(picture);
  for (int y = 0; y < Source::H; ++y)
    for (int x = 0; x < Source::W; ++x) withAlpha.SetAlpha(x, y, Source::Channel(x, y, 3));

  struct Variant {
    std::string file;
    TIEBitmap* source;
    std::function<void(TIOParamsVals&)> params;
    std::function<void(TStream&, TIEBitmap&, TIOParamsVals&, TIEProgressRecord&)> write;
    bool ffmpeg;  // FFmpeg reads the format
    bool magick = true;  // ImageMagick reads this variant as the format says (see above for 1-bit PCX)
  };
  const auto pcx = [](TStream& s, TIEBitmap& b, TIOParamsVals& p, TIEProgressRecord& pr) { WritePCXStream(s, b, p, pr); };
  const auto dcx = [](TStream& s, TIEBitmap& b, TIOParamsVals& p, TIEProgressRecord& pr) { WriteDCXStream(s, b, p, pr); };
  const auto pnm = [](TStream& s, TIEBitmap& b, TIOParamsVals& p, TIEProgressRecord& pr) { WritePXMStream(s, b, p, pr); };
  const auto wbmp = [](TStream& s, TIEBitmap& b, TIOParamsVals&, TIEProgressRecord& pr) { WriteWBMPStream(s, b, pr); };
  const auto tga = [](TStream& s, TIEBitmap& b, TIOParamsVals& p, TIEProgressRecord& pr) {
    std::unique_ptr<TIEMask> mask;
    if (b.HasAlphaChannel()) {
      mask = std::make_unique<TIEMask>();
      b.GetAlphaChannel()->CopyToMask(*mask);
    }
    WriteTGAStream(s, b, p, pr, mask.get());
  };
  const auto ico = [](TStream& s, TIEBitmap& b, TIOParamsVals& p, TIEProgressRecord& pr) {
    const TIOICOSize size{b.Width(), b.Height()};
    WriteICOStream(s, b, p, p.IcoBitCounts.data(), &size, 1, pr);
  };
  const auto depth = [](int bits, int samples, int rle) {
    return [=](TIOParamsVals& p) {
      p.BitsPerSample = bits;
      p.SamplesPerPixel = samples;
      p.PcxCompression = static_cast<uint8_t>(rle);
      p.TgaCompressed = rle != 0;
    };
  };
  const auto icon = [](int bits) { return [=](TIOParamsVals& p) { p.IcoBitCounts[0] = bits; }; };
  const std::vector<Variant> variants = {
      {"ours-1.pcx", &two, depth(1, 1, 1), pcx, true, false},
      {"ours-4.pcx", &picture, depth(4, 1, 1), pcx, true},
      {"ours-8.pcx", &picture, depth(8, 1, 1), pcx, true},
      {"ours-8-plain.pcx", &picture, depth(8, 1, 0), pcx, true},
      {"ours-24.pcx", &picture, depth(8, 3, 1), pcx, true},
      {"ours-24-plain.pcx", &picture, depth(8, 3, 0), pcx, true},
      {"ours.dcx", &picture, depth(8, 3, 1), dcx, false},
      {"ours-4.tga", &picture, depth(4, 1, 1), tga, true},
      {"ours-8.tga", &picture, depth(8, 1, 0), tga, true},
      {"ours-8-rle.tga", &picture, depth(8, 1, 1), tga, true},
      {"ours-grey.tga", &picture, [](TIOParamsVals& p) { p.BitsPerSample = 8; p.SamplesPerPixel = 1; p.TgaGrayLevel = true; }, tga, true},
      {"ours-24.tga", &picture, depth(8, 3, 0), tga, true},
      {"ours-24-rle.tga", &picture, depth(8, 3, 1), tga, true},
      {"ours-32.tga", &withAlpha, depth(8, 3, 0), tga, true},
      {"ours.pbm", &two, depth(1, 1, 0), pnm, true},
      {"ours.pgm", &picture, depth(8, 1, 0), pnm, true},
      {"ours-16.pgm", &picture, depth(16, 1, 0), pnm, true},
      {"ours.ppm", &picture, depth(8, 3, 0), pnm, true},
      {"ours-16.ppm", &picture, depth(16, 3, 0), pnm, true},
      {"ours-1.ico", &two, icon(1), ico, true},
      {"ours-4.ico", &picture, icon(4), ico, true},
      {"ours-8.ico", &picture, icon(8), ico, true},
      {"ours-24.ico", &picture, icon(24), ico, true},
      {"ours-32.ico", &withAlpha, icon(32), ico, true},
      {"ours-8-alpha.ico", &withAlpha, icon(8), ico, false},
      {"ours.wbmp", &two, depth(1, 1, 0), wbmp, false},
  };
  std::vector<std::string> files;
  for (const Variant& v : variants) {
    TIOParamsVals p(nullptr);
    v.params(p);
    const Bytes file = WriteWith([&](TStream& s, TIEProgressRecord& pr) { v.write(s, *v.source, p, pr); });
    ASSERT_FALSE(file.empty()) << v.file;
    WriteFile(dir.File(v.file), file);
    if (v.magick) files.push_back(v.file);
  }
  const auto theirs = MagickPixels(dir, files);
  for (const Variant& v : variants) {
    Decoded ours;
    DecodeOurs(dir, v.file, ours);
    // A transparent pixel of a palette icon is index 0 in the file (black) and the background
    // colour in the engine: the colour of what cannot be seen does not count.
    if (v.magick) ExpectSamePixels(v.file + " in ImageMagick", ours, theirs.at(v.file), {.clearColors = false});
    if (!v.ffmpeg) continue;
    // FFmpeg's conversion of 16-bit samples to 8 bits rounds where the engine truncates.
    const bool wide = v.file.find("-16.") != std::string::npos;
    ExpectSamePixels(v.file + " in FFmpeg", ours, FFmpegPixels(dir, dir.File(v.file)), {.slack = wide ? 1 : 0});
  }
}

}  // namespace
