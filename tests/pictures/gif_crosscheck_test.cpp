// Files the class writes read by independent decoders (ImageMagick, FFmpeg, the engine's own reader)
// and listed by giflib's giftext; files ImageMagick and FFmpeg write read by the class.
#include <gtest/gtest.h>

#include <cstdio>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/io_params.h"
#include "tests/pictures/gif_test_support.h"
#include "tests/support/test_support.h"

using namespace giftest;

namespace {

// The standard output of a command; the test fails when the command fails.
std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  EXPECT_EQ(pclose(p), 0) << command;
  return out;
}

// A missing oracle fails the test.
void RequireTool(const char* tool) {
  ASSERT_EQ(std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()), 0)
      << tool << " is missing: scripts/install-deps.sh installs it";
}

// A frame's pixels as the colours of its table, red, green, blue.
Bytes FrameRGB(TGIFSubImage* frame) {
  Bytes rgb;
  TGIFColorMap* map = frame->ActiveColorMap();
  for (int32_t y = 0; y < frame->Height(); ++y)
    for (int32_t x = 0; x < frame->Width(); ++x) {
      const TColor c = map->Colors(frame->Pixels(x, y));
      rgb.insert(rgb.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)});
    }
  return rgb;
}

// Full-screen, opaque frames, so that no decoder's compositing rule is in question: global and
// local tables, interlaced and not, 1 to 8 bits.
Bytes FullScreenFrames() {
  const int w = 37, h = 21;
  GifFile f(w, h, Colors(16));
  f.Loop(0);
  f.Gce(1, 10).Frame(0, 0, w, h, Pattern(w, h, 16));
  f.Gce(1, 10).Frame(0, 0, w, h, Pattern(w, h, 16, 3), {}, true);
  f.Gce(1, 10).Frame(0, 0, w, h, Pattern(w, h, 256, 1), Colors(256));
  f.Gce(1, 10).Frame(0, 0, w, h, Pattern(w, h, 2, 1), Colors(2), true);
  f.Gce(1, 10).Frame(0, 0, w, h, Pattern(w, h, 5, 7), Colors(5));
  return f.Done();
}

class GIFCrossCheck : public testing::TestWithParam<TGIFEncoding> {
 protected:
  // The fixture saved through the class with the encoder under test.
  std::string Written(Loaded& source) {
    source = Load(FullScreenFrames());
    EXPECT_EQ(source.error, "");
    source.image->SetEncoding(GetParam());
    const std::string name = dir_.File(GetParam() == genLZW ? "lzw.gif" : "rle.gif");
    source.image->SaveToFile(name);
    return name;
  }
  testsupport::ScratchDir dir_;
};

TEST_P(GIFCrossCheck, ImageMagickReadsOurFramesPixels) {
  RequireTool("convert");
  Loaded source;
  const std::string name = Written(source);
  // All frames in one run of ImageMagick, one after the other (full-screen frames).
  const std::string rgb = Output("convert '" + name + "' -depth 8 rgb:-");
  size_t at = 0;
  for (int32_t i = 0; i < source.image->Images()->Count(); ++i) {
    const Bytes ours = FrameRGB(source.image->Images()->Items(i));
    ASSERT_LE(at + ours.size(), rgb.size()) << i;
    EXPECT_EQ(Bytes(rgb.begin() + at, rgb.begin() + at + ours.size()), ours) << i;
    at += ours.size();
  }
  EXPECT_EQ(at, rgb.size());
}

TEST_P(GIFCrossCheck, FFmpegReadsOurFramesPixels) {
  RequireTool("ffmpeg");
  Loaded source;
  const std::string name = Written(source);
  const std::string rgb = Output("ffmpeg -v error -i '" + name + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
  Bytes expected;
  for (int32_t i = 0; i < source.image->Images()->Count(); ++i) {
    const Bytes frame = FrameRGB(source.image->Images()->Items(i));
    expected.insert(expected.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(Bytes(rgb.begin(), rgb.end()), expected);
}

TEST_P(GIFCrossCheck, TheEnginesReaderReadsEveryFrameShapeToOurIndices) {
  // Frames that do not cover the screen, transparent ones and a trailing comment too.
  GifFile f(30, 20, Colors(8), 2);
  f.Loop(2).Comment({"shapes"});
  f.Gce(0, 5).Frame(0, 0, 30, 20, Pattern(30, 20, 8));
  f.Gce(2, 5, true, 1).Frame(3, 4, 11, 9, Pattern(11, 9, 8, 1), {}, true);
  f.Gce(3, 5).Frame(17, 2, 13, 17, Pattern(13, 17, 64, 2), Colors(64));
  f.Frame(1, 1, 5, 5, Pattern(5, 5, 3, 5), Colors(3), true);
  f.Comment({"end"});
  Loaded source = Load(f.Done());
  ASSERT_EQ(source.error, "");
  source.image->SetEncoding(GetParam());
  const Bytes bytes = Save(*source.image);
  for (int32_t i = 0; i < 4; ++i) {
    TGIFSubImage* frame = source.image->Images()->Items(i);
    TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.GifLZWDecompressor = GIFLZWDecode;
    params.GifImageIndex = i;
    params.IsNativePixelFormat = true;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    std::unique_ptr<TIEMask> mask;
    int32_t frames = 0;
    ReadGIFStream(s, bitmap, frames, params, progress, false, mask, true);
    ASSERT_FALSE(aborting) << i;
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(params.GifXPos, frame->Left());
    EXPECT_EQ(params.GifYPos, frame->Top());
    ASSERT_EQ(bitmap.Width(), frame->Width());
    ASSERT_EQ(bitmap.Height(), frame->Height());
    for (int32_t y = 0; y < frame->Height(); ++y) {
      const auto* row = static_cast<const uint8_t*>(bitmap.GetRow(y));
      ASSERT_EQ(Bytes(row, row + frame->Width()), Bytes(frame->Scanline(y), frame->Scanline(y) + frame->Width()))
          << "frame " << i << " row " << y;
    }
  }
}

TEST_P(GIFCrossCheck, GiftextListsTheBlocksWeWrote) {
  RequireTool("giftext");
  GifFile f(30, 20, Colors(8), 2);
  f.Loop(2).Comment({"shapes"});
  f.Gce(2, 7, true, 1, true).Frame(3, 4, 11, 9, Pattern(11, 9, 8, 1), {}, true);
  f.PlainText(0, 0, 8, 8, 8, 8, 1, 0, {"hi"});
  f.Gce(3, 9).Frame(17, 2, 13, 17, Pattern(13, 17, 64, 2), Colors(64));
  Loaded source = Load(f.Done());
  ASSERT_EQ(source.error, "");
  source.image->SetEncoding(GetParam());
  const std::string name = dir_.File("listed.gif");
  source.image->SaveToFile(name);
  const std::string listing = Output("giftext -c '" + name + "'");
  const auto has = [&](const std::string& text) {
    EXPECT_NE(listing.find(text), std::string::npos) << "missing: " << text << "\n" << listing;
  };
  has("Screen Size - Width = 30, Height = 20.");
  has("ColorResolution = 6, BitsPerPixel = 3, BackGround = 2, Aspect = 0.");
  has("Global Color Map:");
  has("  1: 11h 24h 10h");  // Colors(8)[1] = (17, 36, 16)
  has("Image Size - Left = 3, Top = 4, Width = 11, Height = 9.");
  has("Image is Interlaced.");
  has("Image Size - Left = 17, Top = 2, Width = 13, Height = 17.");
  has("Image is Non Interlaced, BitsPerPixel = 6.");
  has("Disposal Mode: 2\n\tUser Input Flag: 1\n\tTransparency on: yes\n\tDelayTime: 7\n\tTransparent Index: 1");
  has("Disposal Mode: 3\n\tUser Input Flag: 0\n\tTransparency on: no\n\tDelayTime: 9");
  has("GIF file terminated normally.");
  // The extensions in the order written.
  std::vector<std::string> order;
  for (const auto& m : testsupport::RegexFindAll(listing, "GIF89 (application block|comment|graphics control|plaintext)")) {
    order.push_back(m[1]);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"application block", "comment", "graphics control", "plaintext",
                                             "graphics control"}));
}

INSTANTIATE_TEST_SUITE_P(Encoders, GIFCrossCheck, testing::Values(genLZW, genRunLength),
                         [](const auto& info) { return info.param == genLZW ? "LZW" : "RunLength"; });

TEST(GIFForeignFiles, ImageMagicksAnimationsLoadWithTheirPixels) {
  RequireTool("convert");
  testsupport::ScratchDir dir;
  const std::string name = dir.File("im.gif");
  // Every picture reduced to a table of its own without dithering: an image ImageMagick must reduce
  // while writing the GIF (a two-colour pattern is left alone by -colors) costs it seconds of
  // error-diffusion set-up, which is no part of what is checked here.
  Output("convert -size 40x30 gradient:red-blue gradient:green-yellow \\( -size 40x30 pattern:checkerboard -fill '#123456' "
      "-draw 'point 0,0' \\) +dither -colors 50 -interlace GIF -delay 7 '" + name + "'");
  const std::string single = dir.File("im1.gif");
  Output("convert -size 33x17 plasma:fractal -seed 4 +dither -colors 200 '" + single + "'");
  for (const std::string& file : {name, single}) {
    TGIFImage image;
    image.LoadFromFile(file);
    ASSERT_GT(image.Images()->Count(), 0) << file;
    // All frames in one run of ImageMagick, one after the other.
    const std::string rgb = Output("convert '" + file + "' -depth 8 rgb:-");
    size_t at = 0;
    for (int32_t i = 0; i < image.Images()->Count(); ++i) {
      TGIFSubImage* frame = image.Images()->Items(i);
      ASSERT_EQ(frame->Width(), image.Width());  // full-screen frames
      ASSERT_EQ(frame->Height(), image.Height());
      const Bytes ours = FrameRGB(frame);
      ASSERT_LE(at + ours.size(), rgb.size()) << file << " frame " << i;
      EXPECT_EQ(Bytes(rgb.begin() + at, rgb.begin() + at + ours.size()), ours) << file << " frame " << i;
      at += ours.size();
    }
    EXPECT_EQ(at, rgb.size()) << file;
  }
}

TEST(GIFForeignFiles, FFmpegsAnimationsLoadWithTheirPixels) {
  RequireTool("ffmpeg");
  testsupport::ScratchDir dir;
  const std::string name = dir.File("ff.gif");
  Output("ffmpeg -v error -f lavfi -i testsrc=size=48x32:rate=10 -frames:v 4 -gifflags -offsetting-transdiff -y '" + name +
      "'");
  TGIFImage image;
  image.LoadFromFile(name);
  ASSERT_EQ(image.Images()->Count(), 4);
  const std::string rgb = Output("ffmpeg -v error -i '" + name + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
  Bytes ours;
  for (int32_t i = 0; i < 4; ++i) {
    const Bytes frame = FrameRGB(image.Images()->Items(i));
    ours.insert(ours.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(Bytes(rgb.begin(), rgb.end()), ours);
}

}  // namespace
