// The TIFF writer: a round trip of every compression and layout it makes, each file checked by
// libtiff (tiffinfo, tiffcp) and FFmpeg; the page layout it settles, its tags, strip geometry,
// PackBits, page insertion, the tags-only EXIF file and the failures.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_directory.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/codecs/tiff_strips.h"
#include "imaging/io/io_params.h"
#include "imaging/io/lzw_hooks.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/test_support.h"

namespace {

using codectest::Bytes;

// A stream over bytes, positioned at 0.
class TBytes : public TMemoryStream {
 public:
  explicit TBytes(const Bytes& bytes) {
    if (!bytes.empty()) Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    Seek(0, soBeginning);
  }
  Bytes Data() {
    const auto* p = static_cast<const uint8_t*>(Memory());
    return Bytes(p, p + Size());
  }
};

Bytes WriteTIFF(TIEBitmap* bitmap, TIOParamsVals& params, int32_t* pages = nullptr) {
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  const int32_t n = WriteTIFFStream(s, false, bitmap, params, progress);
  if (pages) *pages = n;
  if (aborting) return {};
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

struct Readback {
  bool aborted = false;
  int32_t pages = 0;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
};

void ReadTIFF(const Bytes& file, Readback& r, TIOParamsVals& params, int32_t page = 0) {
  TBytes s(file);
  TIEProgressRecord progress;
  progress.Aborting = &r.aborted;
  params.TiffImageIndex = page;
  ReadTIFFStream(&r.bitmap, s, r.pages, &params, progress, false, r.mask, false, false, false);
}

// The directory of page Page, for looking at the tags written.
struct Dir {
  TBytes stream;
  TTIFFDirectory d;
  explicit Dir(const Bytes& file, int32_t page = 0) : stream(file) {
    bool intel = true;
    uint16_t version = 0;
    uint32_t first = 0;
    EXPECT_TRUE(TIFFReadHeader(stream, 0, intel, version, first));
    d.IntelOrder = intel;
    d.Stream = &stream;
    int32_t count = 0;
    EXPECT_TRUE(TIFFReadDirectory(page, first, d, count));
  }
  int64_t Int(uint16_t tag, int64_t def = -1) const { return TIFFReadInteger(d, tag, def); }
  std::vector<int64_t> Array(uint16_t tag) const { return TIFFReadIntegerArray(d, tag); }
  bool Has(uint16_t tag) const { return TIFFFindTag(d, tag) >= 0; }
  uint16_t Type(uint16_t tag) const { return d.Entries[static_cast<size_t>(TIFFFindTag(d, tag))].FieldType; }
};

// Pictures of each pixel format, with flat runs and changes.
void Fill24(TIEBitmap& b, int w, int h) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel24(x, y, TIERGB{codectest::Source::Channel(x, y, 2), codectest::Source::Channel(x, y, 1),
                                codectest::Source::Channel(x, y, 0)});
}

void FillGrey24(TIEBitmap& b, int w, int h, int levels) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto v = static_cast<uint8_t>(((x + y * 3) % levels) * 255 / (levels - 1));
      b.SetPixel24(x, y, TIERGB{v, v, v});
    }
}

void FillBilevel(TIEBitmap& b, int w, int h) {
  b.Allocate(w, h, ie1g);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < w; ++x) SetRowBit(row, x, !(((x % 11) < 3 && (y % 13) < 9) || (y % 17 == 0 && x > 5)));
  }
}

struct Source {
  enum Kind { kRGB, kSmooth, kRGBA, kColors16, kColors200, kColors4, kTwoColors, kGrey24, kGrey8, kGrey8p, kGrey16, kBilevel,
              kRGB48, kCMYK, kPalette8p };
};

void MakeSource(int kind, TIEBitmap& b, int w = 37, int h = 23) {
  switch (kind) {
    case Source::kRGB: Fill24(b, w, h); break;
    case Source::kSmooth:
      // Gradients, for the lossy coders.
      b.Allocate(w, h, ie24RGB);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          b.SetPixel24(x, y, TIERGB{uint8_t(40 + x * 4), uint8_t(60 + y * 6), uint8_t(200 - x * 2 - y * 2)});
      break;
    case Source::kRGBA:
      Fill24(b, w, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetAlpha(x, y, codectest::Source::Channel(x, y, 3));
      b.GetAlphaChannel()->SetFull(false);
      break;
    case Source::kColors16: codectest::PaintColors(b, w, h, 16); break;
    case Source::kColors200: codectest::PaintColors(b, w, h, 200); break;
    case Source::kColors4: codectest::PaintColors(b, w, h, 4); break;
    case Source::kTwoColors: codectest::PaintColors(b, w, h, 2); break;
    case Source::kGrey24: FillGrey24(b, w, h, 256); break;
    case Source::kGrey8:
      FillGrey24(b, w, h, 16);
      b.SetPixelFormat(ie8g);
      break;
    case Source::kGrey8p:
      b.Allocate(w, h, ie8p);
      for (int i = 0; i < 256; ++i) b.SetPaletteColor(i, TIERGB{uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i)});
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel8(x, y, static_cast<uint8_t>(x * 7 + y));
      break;
    case Source::kPalette8p:
      b.Allocate(w, h, ie8p);
      for (int i = 0; i < 256; ++i) b.SetPaletteColor(i, TIERGB{uint8_t(i * 3), uint8_t(i), uint8_t(255 - i)});
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel8(x, y, static_cast<uint8_t>((x * 7 + y) % 40));
      break;
    case Source::kGrey16:
      b.Allocate(w, h, ie16g);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel16(x, y, static_cast<uint16_t>(x * 1771 + y * 313));
      break;
    case Source::kBilevel: FillBilevel(b, w, h); break;
    case Source::kRGB48:
      b.Allocate(w, h, ieRGB48);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          b.SetPixel48(x, y, TIERGB48{uint16_t(x * 1771), uint16_t(y * 2011), uint16_t((x ^ y) * 997)});
      break;
    case Source::kCMYK:
      b.Allocate(w, h, ieCMYK);
      for (int y = 0; y < h; ++y) {
        auto* row = static_cast<uint8_t*>(b.GetRow(y));
        for (int x = 0; x < w * 4; ++x) row[x] = static_cast<uint8_t>(x * 13 + y * 5);
      }
      break;
  }
}

// How far two pictures are apart: the mean absolute difference over the colour channels, the bytes
// compared as they are when both have the same 16-bit or CMYK format.
double Distance(TIEBitmap& a, TIEBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 1e9;
  const TIEPixelFormat f = a.PixelFormat();
  if (f == b.PixelFormat() && (f == ie16g || f == ieRGB48 || f == ieCMYK)) {
    const int64_t bytes = static_cast<int64_t>(a.Width()) * (f == ie16g ? 2 : f == ieRGB48 ? 6 : 4);
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y) {
      const auto* p = static_cast<const uint8_t*>(a.GetRow(y));
      std::vector<uint8_t> row(p, p + bytes);
      const auto* q = static_cast<const uint8_t*>(b.GetRow(y));
      for (int64_t i = 0; i < bytes; ++i) sum += std::abs(row[static_cast<size_t>(i)] - q[i]);
    }
    return sum / (static_cast<double>(a.Height()) * bytes);
  }
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TIERGB p = a.GetPixelRGB(x, y), q = b.GetPixelRGB(x, y);
      sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
    }
  return sum / (3.0 * a.Width() * a.Height());
}

class TIFFWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallLZWHooks(); }
  testsupport::ScratchDir dir;
};

struct LayoutCase {
  const char* name;
  int source;
  int bits, samples, photometric, compression, fill;
  double tolerance;  // mean difference allowed (lossy pages)
  uint16_t tiffCompression, tiffPhotometric;
  bool oldJpeg;      // libtiff and FFmpeg are not asked for its pixels
};

const LayoutCase kLayouts[] = {
    // name                       source              bits s  ph comp fill tol  TIFF comp, photometric
    {"rgb none", Source::kRGB, 8, 3, 2, 0, 1, 0, 1, 2, false},
    {"rgb lzw predictor", Source::kRGB, 8, 3, 2, 5, 1, 0, 5, 2, false},
    {"rgb packbits", Source::kRGB, 8, 3, 2, 8, 1, 0, 32773, 2, false},
    {"rgb zip", Source::kRGB, 8, 3, 2, 9, 1, 0, 32946, 2, false},
    {"rgb deflate", Source::kRGB, 8, 3, 2, 10, 1, 0, 32946, 2, false},
    {"rgb jpeg ycbcr", Source::kSmooth, 8, 3, 2, 7, 1, 2, 7, 6, false},
    {"rgba none", Source::kRGBA, 8, 3, 2, 0, 1, 0, 1, 2, false},
    {"rgba lzw", Source::kRGBA, 8, 3, 2, 5, 1, 0, 5, 2, false},
    {"rgba packbits", Source::kRGBA, 8, 3, 2, 8, 1, 0, 32773, 2, false},
    {"rgba zip", Source::kRGBA, 8, 3, 2, 9, 1, 0, 32946, 2, false},
    {"cmyk from rgb", Source::kRGB, 8, 4, 5, 5, 1, 0.5, 5, 5, false},
    {"cmyk bitmap", Source::kCMYK, 8, 4, 5, 0, 1, 0, 1, 5, false},
    {"cielab", Source::kRGB, 8, 3, 7, 0, 1, 2, 1, 8, false},
    {"rgb48 none", Source::kRGB48, 16, 3, 2, 0, 1, 0, 1, 2, false},
    {"rgb48 zip", Source::kRGB48, 16, 3, 2, 9, 1, 0, 32946, 2, false},
    {"palette 8 bits lzw", Source::kColors200, 8, 1, 2, 5, 1, 0, 5, 3, false},
    {"palette 8 bits of a palette bitmap", Source::kPalette8p, 8, 1, 3, 0, 1, 0, 1, 3, false},
    {"palette 4 bits packbits", Source::kColors16, 4, 1, 3, 8, 1, 0, 32773, 3, false},
    {"palette 2 bits", Source::kColors4, 2, 1, 3, 0, 1, 0, 1, 3, false},
    {"grey from rgb", Source::kGrey24, 8, 1, 1, 0, 1, 0, 1, 1, false},
    {"grey 8 bits zip", Source::kGrey8, 8, 1, 1, 9, 1, 0, 32946, 1, false},
    {"grey 4 bits", Source::kGrey8, 4, 1, 1, 0, 1, 0, 1, 1, false},
    {"grey of a grey palette", Source::kGrey8p, 8, 1, 1, 5, 1, 0, 5, 1, false},
    {"grey 16 bits lzw", Source::kGrey16, 16, 1, 1, 5, 1, 0, 5, 1, false},
    {"bilevel none", Source::kBilevel, 1, 1, 0, 0, 1, 0, 1, 1, false},
    {"bilevel packbits", Source::kBilevel, 1, 1, 0, 8, 1, 0, 32773, 1, false},
    {"bilevel lzw", Source::kBilevel, 1, 1, 0, 5, 1, 0, 5, 1, false},
    {"bilevel huffman", Source::kBilevel, 1, 1, 0, 1, 1, 0, 2, 0, false},
    {"bilevel g3 1-d", Source::kBilevel, 1, 1, 0, 2, 1, 0, 3, 0, false},
    {"bilevel g3 2-d", Source::kBilevel, 1, 1, 0, 3, 1, 0, 3, 0, false},
    {"bilevel g4", Source::kBilevel, 1, 1, 0, 4, 1, 0, 4, 0, false},
    {"bilevel g3 2-d lsb first", Source::kBilevel, 1, 1, 0, 3, 2, 0, 3, 0, false},
    {"bilevel g4 lsb first", Source::kBilevel, 1, 1, 0, 4, 2, 0, 4, 0, false},
    {"two colours as g4", Source::kTwoColors, 1, 1, 2, 4, 1, 0, 4, 0, false},
    {"old-style jpeg", Source::kSmooth, 8, 3, 2, 6, 1, 2, 6, 6, true},
};

// FFmpeg's TIFF decoder has no CIELab and no old-style JPEG, and reads JPEG pages wrongly (those
// libtiff writes as much as ours): those are checked through libtiff alone.
bool ReadByFFmpeg(const LayoutCase& c) { return c.photometric != 7 && c.compression != 7 && !c.oldJpeg; }

// Runs a shell command; its exit status.
int Shell(const std::string& command) { return std::system(command.c_str()); }

// Every layout the writer makes reads back to its pixels (lossy ones within a tolerance), and
// libtiff and FFmpeg read every file: tiffinfo -D without an error, tiffcp -c none to a plain copy
// holding the same pixels, FFmpeg to the same pixels.
TEST_F(TIFFWriterTest, EveryLayoutRoundTripsAndLibtiffAndFFmpegReadIt) {
  const size_t n = std::size(kLayouts);
  std::vector<Readback> reads(n);
  std::vector<TIEBitmap> sources(n);
  for (size_t i = 0; i < n; ++i) {
    const LayoutCase& c = kLayouts[i];
    SCOPED_TRACE(c.name);
    TIEBitmap& source = sources[i];
    // FFmpeg takes YCbCr JPEG pages only of whole chroma rows (an even height).
    if (c.source == Source::kSmooth) MakeSource(c.source, source, 38, 24);
    else MakeSource(c.source, source);
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bits;
    params.SamplesPerPixel = c.samples;
    params.TiffPhotometInterpret = static_cast<uint8_t>(c.photometric);
    params.TiffCompression = static_cast<uint8_t>(c.compression);
    params.TiffFillOrder = c.fill;
    params.TiffJpegColorSpace = 2;
    params.TiffJpegQuality = 95;
    const Bytes file = WriteTIFF(&source, params);
    ASSERT_FALSE(file.empty());
    codectest::WriteFile(dir.File("case" + std::to_string(i) + ".tif"), file);

    Dir d(file);
    EXPECT_EQ(d.Int(tagCompression), c.tiffCompression);
    EXPECT_EQ(d.Int(tagPhotometric), c.tiffPhotometric);
    EXPECT_EQ(d.Int(tagImageWidth), source.Width());

    TIOParamsVals back(nullptr);
    back.IsNativePixelFormat = true;
    Readback& r = reads[i];
    ReadTIFF(file, r, back);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.pages, 1);
    TIEBitmap expected;
    expected.Assign(source);
    if (c.photometric == 5 && c.source != Source::kCMYK) {
      // RGB goes to the file through the CMYK conversion of the bitmap's own.
      expected.SetPixelFormat(ieCMYK);
    }
    if (c.source == Source::kTwoColors) {
      // The darker colour becomes black, the lighter white.
      for (int y = 0; y < expected.Height(); ++y)
        for (int x = 0; x < expected.Width(); ++x) {
          const uint8_t v = expected.GetPixel24(x, y).r == 120 ? 0 : 255;
          expected.SetPixel24(x, y, TIERGB{v, v, v});
        }
    }
    EXPECT_LE(Distance(expected, r.bitmap), c.tolerance);
    if (c.source == Source::kRGBA) {
      ASSERT_TRUE(r.mask);
      int wrong = 0;
      for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x) wrong += r.mask->GetPixel(x, y) != source.GetAlpha(x, y);
      EXPECT_EQ(wrong, 0);
    }
  }

  // The independent readers, all files at once (FFmpeg takes most of a second to start).
  const std::string d = "'" + dir.Path().string() + "'";
  ASSERT_EQ(Shell("cd " + d + " && for f in case*.tif; do tiffinfo -D $f >/dev/null 2>${f%.tif}.info; "
                  "tiffcp -c none $f ${f%.tif}.plain 2>/dev/null || echo failed >${f%.tif}.plainfail; done"),
            0);
  // One FFmpeg run decodes them all (it takes most of a second to start).
  std::string inputs, outputs;
  int32_t mapped = 0;
  for (size_t i = 0; i < n; ++i) {
    if (!ReadByFFmpeg(kLayouts[i])) continue;
    const std::string f = "case" + std::to_string(i) + ".tif";
    inputs += " -i " + f;
    outputs += " -map " + std::to_string(mapped++) + " -frames:v 1 -f rawvideo -pix_fmt rgba -y " + f + ".raw";
  }
  EXPECT_EQ(Shell("cd " + d + " && ffmpeg -v error" + inputs + outputs), 0);
  std::vector<std::string> jpegFiles;
  for (size_t i = 0; i < n; ++i)
    if (kLayouts[i].compression == 7) jpegFiles.push_back("case" + std::to_string(i) + ".tif");
  const auto magick = codectest::MagickPixels(dir, jpegFiles);

  for (size_t i = 0; i < n; ++i) {
    const LayoutCase& c = kLayouts[i];
    SCOPED_TRACE(c.name);
    const std::string base = dir.File("case" + std::to_string(i));
    Readback& r = reads[i];
    std::ifstream messages(base + ".info");
    std::string line;
    while (std::getline(messages, line)) {
      // Warnings only: for tags libtiff does not know, and about old-style JPEG.
      const bool unknownTag = line.find("Unknown field") != std::string::npos;
      const bool oldJpegNote = c.oldJpeg && line.find("OJPEG") != std::string::npos;
      EXPECT_TRUE(line.find("Warning") != std::string::npos && (unknownTag || oldJpegNote)) << line;
    }
    if (c.oldJpeg) continue;
    EXPECT_FALSE(std::ifstream(base + ".plainfail").good()) << "tiffcp -c none failed";
    codectest::Decoded ours;
    ours.aborted = false;
    ours.bitmap.Assign(r.bitmap);
    if (r.mask) {
      ours.alpha = std::make_unique<TIEMask>();
      ours.alpha->Assign(*r.mask);
    }
    if (c.compression == 7) {
      // libtiff hands JPEG pages on decoded; ImageMagick reads those through it.
      codectest::ExpectSamePixels(c.name, ours, magick.at("case" + std::to_string(i) + ".tif"), {5, 5, 5, 8, 1});
    } else {
      Readback p;
      TIOParamsVals plainParams(nullptr);
      plainParams.IsNativePixelFormat = true;
      ReadTIFF(codectest::ReadFile(base + ".plain"), p, plainParams);
      ASSERT_FALSE(p.aborted);
      EXPECT_EQ(Distance(r.bitmap, p.bitmap), 0);
    }
    if (!ReadByFFmpeg(c)) continue;
    codectest::Significant bits;
    if (c.tolerance > 0) bits = {6, 6, 6, 8, 1};
    if (c.photometric == 5) {
      // FFmpeg turns inks into RGB by its own formula, (255 - C)(255 - K) / 255: the file's inks are
      // checked through it.
      ASSERT_EQ(r.bitmap.PixelFormat(), ieCMYK);
      ours.bitmap.Allocate(r.bitmap.Width(), r.bitmap.Height(), ie24RGB);
      for (int y = 0; y < r.bitmap.Height(); ++y)
        for (int x = 0; x < r.bitmap.Width(); ++x) {
          const auto* k = static_cast<const uint8_t*>(r.bitmap.GetRow(y)) + 4 * x;  // 255 - ink
          ours.bitmap.SetPixel24(x, y, TIERGB{uint8_t(k[2] * k[3] / 255), uint8_t(k[1] * k[3] / 255),
                                              uint8_t(k[0] * k[3] / 255)});
        }
      bits.slack = 1;
    }
    // FFmpeg rounds 16-bit samples to 8 bits where the engine keeps their high byte.
    if (c.bits == 16) bits.slack = 1;
    codectest::ExpectSamePixels(std::string(c.name) + " (FFmpeg)", ours, codectest::ReadFile(base + ".tif.raw"),
                                bits);
  }
}


// The page layouts the writer settles, by their tags.
TEST_F(TIFFWriterTest, PageLayoutsAndTheirTags) {
  {
    // A grey 24-bit picture asked for one sample of 8 bits: grey, no colour map; a colour one: a
    // palette of 256 entries.
    TIEBitmap grey;
    MakeSource(Source::kGrey24, grey);
    TIOParamsVals p(nullptr);
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    Dir g(WriteTIFF(&grey, p));
    EXPECT_EQ(g.Int(tagPhotometric), 1);
    EXPECT_FALSE(g.Has(tagColorMap));
    EXPECT_EQ(p.TiffPhotometInterpret, 1);
    TIEBitmap colour;
    MakeSource(Source::kColors200, colour);
    TIOParamsVals q(nullptr);
    q.BitsPerSample = 8;
    q.SamplesPerPixel = 1;
    q.TiffCompression = 10;  // one-sample pages take LZW, PackBits and ZIP only: written uncompressed
    Dir c(WriteTIFF(&colour, q));
    EXPECT_EQ(c.Int(tagPhotometric), 3);
    EXPECT_EQ(c.Array(tagColorMap).size(), 768u);
    EXPECT_EQ(c.Int(tagCompression), 1);
  }
  {
    // A two-colour 24-bit picture as G4: bilevel, 0 white, with the fax tags.
    TIEBitmap two;
    MakeSource(Source::kTwoColors, two);
    TIOParamsVals p(nullptr);
    p.BitsPerSample = 1;
    p.SamplesPerPixel = 1;
    p.TiffCompression = 4;
    Dir d(WriteTIFF(&two, p));
    EXPECT_EQ(d.Int(tagCompression), 4);
    EXPECT_EQ(d.Int(tagPhotometric), 0);
    EXPECT_EQ(d.Int(tagFillOrder), 1);
    EXPECT_EQ(d.Int(tagPlanarConfig), 1);
    EXPECT_EQ(d.Int(327), 0);
    EXPECT_EQ(d.Int(tagT6Options), 0);
    EXPECT_FALSE(d.Has(tagT4Options));  // libtiff knows it only for Group 3 pages
    EXPECT_EQ(d.Int(tagBitsPerSample), 1);
  }
  {
    // RGBA with LZW: four samples, the fourth unassociated alpha; no predictor with alpha.
    TIEBitmap rgba;
    MakeSource(Source::kRGBA, rgba);
    TIOParamsVals p(nullptr);
    p.TiffCompression = 5;
    Dir d(WriteTIFF(&rgba, p));
    EXPECT_EQ(d.Int(tagSamplesPerPixel), 4);
    EXPECT_EQ(d.Array(tagBitsPerSample), (std::vector<int64_t>{8, 8, 8, 8}));
    EXPECT_EQ(d.Int(tagExtraSamples), 2);
    EXPECT_FALSE(d.Has(tagPredictor));
    EXPECT_EQ(p.SamplesPerPixel, 4);
  }
  {
    // Formats the strips do not take as they are become 24-bit RGB first, so the tags tell the truth:
    // a grey bitmap asked for three samples, a 32-bit one, a CIELab one.
    for (TIEPixelFormat f : {ie8g, ie32RGB, ieCIELab, ie16g}) {
      TIEBitmap b(9, 5, f);
      b.Fill(0);
      TIOParamsVals p(nullptr);  // three samples by default
      Dir d(WriteTIFF(&b, p));
      EXPECT_EQ(d.Int(tagSamplesPerPixel), 3) << f;
      EXPECT_EQ(d.Array(tagBitsPerSample), (std::vector<int64_t>{8, 8, 8})) << f;
      EXPECT_EQ(d.Array(tagStripByteCounts), (std::vector<int64_t>{9 * 5 * 3})) << f;
    }
  }
}

TEST_F(TIFFWriterTest, StripsOfAbout512KB) {
  // 1000 x 1000 RGB (rows of 3000 bytes): 5 strips of 200 rows.
  TIEBitmap big(1000, 1000, ie24RGB);
  big.Fill(0x102030);
  TIOParamsVals p(nullptr);
  Dir d(WriteTIFF(&big, p));
  EXPECT_EQ(d.Int(tagRowsPerStrip), 200);
  EXPECT_EQ(d.Array(tagStripOffsets).size(), 5u);
  EXPECT_EQ(d.Array(tagStripByteCounts), std::vector<int64_t>(5, 200 * 3000));
  // 7 rows that plan 4 strips: 1 row each, and 7 strips are written (and listed).
  TIEBitmap wide(100000, 7, ie24RGB);
  wide.Fill(0x405060);
  TIOParamsVals q(nullptr);
  q.TiffCompression = 8;
  const Bytes file = WriteTIFF(&wide, q);
  Dir w(file);
  EXPECT_EQ(w.Int(tagRowsPerStrip), 1);
  EXPECT_EQ(w.Array(tagStripOffsets).size(), 7u);
  EXPECT_EQ(w.Array(tagStripByteCounts).size(), 7u);
  Readback r;
  TIOParamsVals back(nullptr);
  ReadTIFF(file, r, back);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.bitmap.GetPixel24(99999, 6).r, 0x60);  // the TColor's red
}

TEST_F(TIFFWriterTest, PackBitsRunsAndLiterals) {
  struct Case {
    std::vector<uint8_t> in, out;
  };
  std::vector<uint8_t> equal130(130, 7);
  const Case cases[] = {
      // 130 equal bytes: a repeat of 128, then the 2 left as a literal.
      {equal130, {0x81, 7, 0x01, 7, 7}},
      // Runs of 2 or 3 stay inside literals.
      {{5, 5, 5, 1, 2}, {0x04, 5, 5, 5, 1, 2}},
      {{1, 2, 9, 9, 9, 9, 3}, {0x01, 1, 2, 0xFD, 9, 0x00, 3}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    PackBitsEncode(c.in.data(), static_cast<int32_t>(c.in.size()), out);
    EXPECT_EQ(out, c.out);
  }
  // Literals hold at most 128 bytes.
  std::vector<uint8_t> ramp(300);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> out;
  PackBitsEncode(ramp.data(), 300, out);
  ASSERT_EQ(out.size(), 303u);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 127);
  EXPECT_EQ(out[258], 43);
}

TEST_F(TIFFWriterTest, PredictorStoresDifferencesToTheLeft) {
  TIEBitmap b(3, 1, ie24RGB);
  b.SetPixel24(0, 0, TIERGB{30, 20, 10});    // B, G, R
  b.SetPixel24(1, 0, TIERGB{31, 25, 5});
  b.SetPixel24(2, 0, TIERGB{0, 25, 255});
  TIOParamsVals p(nullptr);
  p.TiffCompression = 5;
  const Bytes file = WriteTIFF(&b, p);
  Dir d(file);
  ASSERT_EQ(d.Int(tagPredictor), 2);
  const int64_t at = d.Int(tagStripOffsets), n = d.Int(tagStripByteCounts);
  void* state = nullptr;
  const uint8_t* row = TIFFLZWDecode(file.data() + at, static_cast<int32_t>(n), 9, state, 1);
  ASSERT_NE(row, nullptr);
  // R, G, B of the first pixel as they are, then the differences modulo 256.
  EXPECT_EQ(std::vector<uint8_t>(row, row + 9),
            (std::vector<uint8_t>{10, 20, 30, uint8_t(5 - 10), 5, 1, 250, 0, uint8_t(0 - 31)}));
  TIFFLZWDecode(nullptr, 0, 0, state, 1);
}

TEST_F(TIFFWriterTest, PagesAreInsertedWhereTheIndexSays) {
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  auto page = [&](uint32_t colour, int32_t index, bool append) {
    TIEBitmap b(8, 4, ie24RGB);
    b.Fill(colour);
    TIOParamsVals p(nullptr);
    p.SetImageIndex(index);
    s.Seek(0, soBeginning);
    return WriteTIFFStream(s, append, &b, p, progress);
  };
  EXPECT_EQ(page(0x0000FF, 0, false), 1);   // red
  EXPECT_EQ(page(0x00FF00, 5, true), 2);    // past the end: appended
  EXPECT_EQ(page(0xFF0000, 2, true), 3);
  EXPECT_EQ(page(0x808080, 0, true), 4);    // at the front
  ASSERT_FALSE(aborting);
  const Bytes file = TBytes(Bytes(static_cast<const uint8_t*>(s.Memory()),
                                  static_cast<const uint8_t*>(s.Memory()) + s.Size())).Data();
  const uint8_t reds[] = {128, 255, 0, 0};
  for (int32_t i = 0; i < 4; ++i) {
    Readback r;
    TIOParamsVals p(nullptr);
    ReadTIFF(file, r, p, i);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.pages, 4);
    EXPECT_EQ(r.bitmap.GetPixel24(0, 0).r, reds[i]) << i;
  }
  // libtiff walks the same chain.
  codectest::WriteFile(dir.File("four.tif"), file);
  EXPECT_EQ(Shell("test $(tiffinfo '" + dir.File("four.tif") + "' 2>/dev/null | grep -c 'TIFF Directory') = 4"), 0);

  // A big-endian file, no TIFF at all, a chain that runs in a cycle: nothing is written.
  for (Bytes bad : {Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0},
                    Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0},
                    Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x01, 0x01, 3, 0, 1, 0, 0, 0, 5, 0, 0, 0, 8, 0, 0, 0}}) {
    TBytes t(bad);
    bool failed = false;
    TIEProgressRecord pr;
    pr.Aborting = &failed;
    TIEBitmap b(2, 2, ie24RGB);
    TIOParamsVals p(nullptr);
    p.SetImageIndex(3);
    EXPECT_EQ(WriteTIFFStream(t, true, &b, p, pr), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(t.Data(), bad);
  }
}

TEST_F(TIFFWriterTest, TagsOnlyExifFile) {
  TIOParamsVals p(nullptr);
  p.HasExifData = true;
  p.ExifMake = "Maker";
  p.SetExifExposureBiasValue(-0.7);
  p.SetExifShutterSpeedValue(-2);
  p.SetExifBrightnessValue(-3.5);
  p.GpsVersionID = "2.2.0.0";
  p.ExifUserCommentCode = "NOTACODE";
  p.ExifUserComment = "dropped";
  const Bytes file = WriteTIFF(nullptr, p);
  Dir d(file);
  EXPECT_FALSE(d.Has(tagImageWidth));
  EXPECT_FALSE(d.Has(tagStripOffsets));
  EXPECT_TRUE(d.Has(tagMake));
  ASSERT_TRUE(d.Has(tagExifIFD));
  EXPECT_TRUE(d.Has(tagGPSIFD));
  TTIFFDirectory exif = d.d;
  ASSERT_TRUE(TIFFLoadDirectoryAt(static_cast<uint32_t>(d.Int(tagExifIFD)), exif));
  // Shutter speed, brightness and exposure bias are signed rationals.
  for (uint16_t tag : {37377, 37379, 37380})
    EXPECT_EQ(exif.Entries[static_cast<size_t>(TIFFFindTag(exif, tag))].FieldType, ttSRATIONAL) << tag;
  EXPECT_NEAR(TIFFReadRational(exif, 37380, 0), -0.7, 1e-9);
  // A user comment of a code that is neither "UNICODE" nor "ASCII" is not written.
  EXPECT_LT(TIFFFindTag(exif, tagUserComment), 0);
}

TEST_F(TIFFWriterTest, IptcIsPaddedToItsLongCount) {
  TIEBitmap b(4, 4, ie24RGB);
  b.Fill(0);
  TIOParamsVals p(nullptr);
  p.IPTC.AddData(2, 120, "abcde", 5);
  void* block = nullptr;
  int32_t size = 0;
  p.IPTC.SaveToBuffer(block, size, false);
  std::free(block);
  ASSERT_NE(size % 4, 0);  // the case that needs padding
  const Bytes file = WriteTIFF(&b, p);
  Dir d(file);
  const int32_t i = TIFFFindTag(d.d, tagIPTC);
  ASSERT_GE(i, 0);
  const TTIFFTagEntry& e = d.d.Entries[static_cast<size_t>(i)];
  EXPECT_EQ(e.FieldType, ttLONG);
  EXPECT_EQ(e.Count, static_cast<uint32_t>((size + 3) / 4));
  for (uint32_t k = static_cast<uint32_t>(size); k < e.Count * 4; ++k) EXPECT_EQ(file[e.Value + k], 0);
  Readback r;
  TIOParamsVals back(nullptr);
  ReadTIFF(file, r, back);
  bool found = false;
  for (int32_t k = 0; k < back.IPTC.GetCount(); ++k) found = found || back.IPTC.DataSetNumber(k) == 120;
  EXPECT_TRUE(found);
}

TEST_F(TIFFWriterTest, ShortWritesFailWithoutAHeader) {
  TIEBitmap b;
  MakeSource(Source::kRGB, b, 300, 200);
  for (int64_t room : {0, 7, 8, 100, 5000, 179000}) {
    for (int compression : {0, 5, 9}) {
      if (room == 179000 && compression != 0) continue;  // compressed, the page fits
      SCOPED_TRACE(::testing::Message() << "room " << room << " compression " << compression);
      codectest::TShortStream s(room);
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      TIOParamsVals p(nullptr);
      p.TiffCompression = static_cast<uint8_t>(compression);
      EXPECT_EQ(WriteTIFFStream(s, false, &b, p, progress), 0);
      EXPECT_TRUE(aborting);
      // The header is written last: a stream that took part of the page holds no TIFF.
      if (s.Size() >= 2) {
        EXPECT_NE(static_cast<const uint8_t*>(s.Memory())[0], 'I');
      }
    }
  }
}

}  // namespace
