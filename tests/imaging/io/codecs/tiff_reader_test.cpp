// The TIFF reader against files that libtiff's own tools and ImageMagick wrote (every compression
// and layout they make), and against byte-built files for what they never write and for hostile
// input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_imaging_annot.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/io/lzw_hooks.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/jpeg_fixture.h"
#include "tests/imaging/io/codecs/tiff_fixture.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kW = 67, kH = 45;

struct Picture {
  int width = kW, height = kH, channels = 3;
  std::vector<uint8_t> px;  // RGB or grey, rows from the top
};

// A deterministic picture with gradients, edges and noise, so that every predictor, run and code
// length gets exercised.
Picture MakePicture(int channels) {
  Picture p;
  p.channels = channels;
  std::mt19937 rng(42);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < channels; ++c) {
        int v = (x * 255 / kW + y * (c + 1) * 3 + (rng() % 5)) & 255;
        if ((x / 9 + y / 7) % 3 == 0) v = 255 - v;
        p.px.push_back(static_cast<uint8_t>(v));
      }
  return p;
}

// Bilevel: text-like strokes. 1 = black here.
Picture MakeBilevel() {
  Picture p;
  p.channels = 1;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) p.px.push_back(((x % 11 < 3) && (y % 13 < 9)) || (y % 17 == 0 && x > 5) ? 1 : 0);
  return p;
}

void WritePNM(const std::string& file, const Picture& p, bool bilevel) {
  std::ofstream f(file, std::ios::binary);
  if (bilevel) {
    f << "P4\n" << p.width << " " << p.height << "\n";
    for (int y = 0; y < p.height; ++y) {
      std::vector<uint8_t> row(static_cast<size_t>((p.width + 7) / 8));
      for (int x = 0; x < p.width; ++x)
        if (p.px[static_cast<size_t>(y * p.width + x)]) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
      f.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
    return;
  }
  f << (p.channels == 3 ? "P6\n" : "P5\n") << p.width << " " << p.height << "\n255\n";
  f.write(reinterpret_cast<const char*>(p.px.data()), static_cast<std::streamsize>(p.px.size()));
}

void RunTool(const std::string& command) {
  const int rc = std::system((command + " 2>/dev/null").c_str());
  ASSERT_EQ(rc, 0) << command;
}

std::vector<uint8_t> ReadFile(const std::string& file) {
  std::ifstream f(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

class TBytes : public TMemoryStream {
 public:
  explicit TBytes(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    Seek(0, soBeginning);
  }
};

struct ReadResult {
  bool aborted = false;
  int32_t pages = 0;
  std::unique_ptr<TIEMask> mask;
};

ReadResult Read(const std::vector<uint8_t>& file, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly = false,
                int64_t at = 0, bool relative = false) {
  TBytes s(file);
  s.Seek(at, soBeginning);
  ReadResult r;
  TIEProgressRecord progress;
  progress.Aborting = &r.aborted;
  ReadTIFFStream(&bitmap, s, r.pages, &params, progress, paramsOnly, r.mask, relative, false, false);
  return r;
}

// Mean absolute difference of the bitmap (read as RGB or grey) against the picture.
double Difference(TIEBitmap& b, const Picture& p) {
  if (b.Width() != p.width || b.Height() != p.height) return 1e9;
  double sum = 0;
  for (int y = 0; y < p.height; ++y) {
    const auto* row = static_cast<const uint8_t*>(b.GetRow(y));
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* q = &p.px[static_cast<size_t>((y * p.width + x) * p.channels)];
      if (b.PixelFormat() == ie1g) {
        const int white = GetRowBit(row, x) ? 1 : 0;
        sum += (white == (q[0] ? 0 : 1)) ? 0 : 255;
      } else if (b.PixelFormat() == ie8g) {
        sum += std::abs(row[x] - q[0]);
      } else {
        const uint8_t* d = row + 3 * x;
        if (p.channels == 3)
          sum += (std::abs(d[2] - q[0]) + std::abs(d[1] - q[1]) + std::abs(d[0] - q[2])) / 3.0;
        else
          sum += (std::abs(d[0] - q[0]) + std::abs(d[1] - q[0]) + std::abs(d[2] - q[0])) / 3.0;
      }
    }
  }
  return sum / (p.width * p.height);
}

class TIFFReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallLZWHooks(); }
  testsupport::ScratchDir dir;
};

// Files written by libtiff (tiffcp) and ImageMagick in each layout, read against the source picture.
TEST_F(TIFFReaderTest, ReadsWhatLibtiffAndImageMagickWrite) {
  struct Case {
    const char* name;
    int kind;  // 0 RGB, 1 grey, 2 bilevel
    const char* command;  // %s: the plain TIFF made by ImageMagick; writes out.tif
    double tolerance;
  };
  const Case cases[] = {
      {"rgb none", 0, "tiffcp -c none %s OUT", 0},
      {"rgb lzw", 0, "tiffcp -c lzw %s OUT", 0},
      {"rgb lzw predictor", 0, "tiffcp -c lzw:2 %s OUT", 0},
      {"rgb deflate predictor", 0, "tiffcp -c zip:2 %s OUT", 0},
      {"rgb packbits", 0, "tiffcp -c packbits %s OUT", 0},
      {"rgb big-endian lzw", 0, "tiffcp -B -c lzw:2 %s OUT", 0},
      {"rgb strips of 4 rows", 0, "tiffcp -r 4 -c zip %s OUT", 0},
      {"rgb planar", 0, "tiffcp -p separate -c lzw:2 %s OUT", 0},
      {"rgb tiled", 0, "tiffcp -t -w 16 -l 32 -c zip %s OUT", 0},
      {"rgb jpeg ycbcr", 0, "tiffcp -r 16 -c jpeg:90 %s OUT", 1.5},
      {"rgb jpeg rgb", 0, "tiffcp -r 16 -c jpeg:r:90 %s OUT", 1.5},
      {"grey none", 1, "tiffcp -c none %s OUT", 0},
      {"grey lzw big-endian", 1, "tiffcp -B -c lzw:2 %s OUT", 0},
      {"grey tiled packbits", 1, "tiffcp -t -w 32 -l 16 -c packbits %s OUT", 0},
      {"bilevel none", 2, "tiffcp -c none %s OUT", 0},
      {"bilevel g3 1-d", 2, "tiffcp -c g3:1d %s OUT", 0},
      {"bilevel g3 2-d", 2, "tiffcp -c g3:2d %s OUT", 0},
      {"bilevel g3 2-d fill bits", 2, "tiffcp -c g3:2d:fill %s OUT", 0},
      {"bilevel g4", 2, "tiffcp -c g4 %s OUT", 0},
      {"bilevel g4 lsb first", 2, "tiffcp -f lsb2msb -c g4 %s OUT", 0},
      {"bilevel g3 lsb first", 2, "tiffcp -f lsb2msb -c g3:2d %s OUT", 0},
      {"bilevel packbits", 2, "tiffcp -c packbits %s OUT", 0},
      {"bilevel tiled g4", 2, "tiffcp -t -w 32 -l 16 -c g4 %s OUT", 0},
  };
  const Picture rgb = MakePicture(3), grey = MakePicture(1), bilevel = MakeBilevel();
  const std::string sources[3] = {dir.File("rgb.tif"), dir.File("grey.tif"), dir.File("bilevel.tif")};
  WritePNM(dir.File("rgb.ppm"), rgb, false);
  WritePNM(dir.File("grey.pgm"), grey, false);
  WritePNM(dir.File("bilevel.pbm"), bilevel, true);
  RunTool("convert " + dir.File("rgb.ppm") + " -compress none " + sources[0]);
  RunTool("convert " + dir.File("grey.pgm") + " -compress none " + sources[1]);
  RunTool("convert " + dir.File("bilevel.pbm") + " -compress none " + sources[2]);
  const Picture* pictures[3] = {&rgb, &grey, &bilevel};
  for (const Case& c : cases) {
    std::string command = c.command;
    command.replace(command.find("%s"), 2, sources[c.kind]);
    const std::string out = dir.File("out.tif");
    command.replace(command.find("OUT"), 3, out);
    RunTool(command);
    TIEBitmap b;
    TIOParamsVals params(nullptr);
    const ReadResult r = Read(ReadFile(out), b, params);
    EXPECT_FALSE(r.aborted) << c.name;
    if (c.tolerance == 0) {
      EXPECT_EQ(Difference(b, *pictures[c.kind]), 0) << c.name;
    } else {
      // Lossy: against ImageMagick's decoding of the same file (through libtiff and libjpeg).
      RunTool("convert " + out + " " + dir.File("ref.ppm"));
      const auto ppm = ReadFile(dir.File("ref.ppm"));
      Picture ref = *pictures[c.kind];
      ASSERT_GE(ppm.size(), ref.px.size());
      std::copy(ppm.end() - static_cast<std::ptrdiff_t>(ref.px.size()), ppm.end(), ref.px.begin());
      EXPECT_LE(Difference(b, ref), c.tolerance) << c.name;
    }
    EXPECT_EQ(r.pages, 1) << c.name;
  }
}

TEST_F(TIFFReaderTest, MultiPageFilesCountAndReadEachPage) {
  const Picture rgb = MakePicture(3);
  WritePNM(dir.File("a.ppm"), rgb, false);
  RunTool("convert " + dir.File("a.ppm") + " " + dir.File("a.ppm") + " -negate " + dir.File("a.ppm") +
      " -compress lzw " + dir.File("three.tif"));
  const auto file = ReadFile(dir.File("three.tif"));
  TBytes s(file);
  EXPECT_EQ(CountTIFFStreamPages(s), 3);
  for (int page = 0; page < 3; ++page) {
    TIEBitmap b;
    TIOParamsVals params(nullptr);
    params.TiffImageIndex = page;
    const ReadResult r = Read(file, b, params);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.pages, 3);
    EXPECT_EQ(params.ImageCount, 3);
  }
  // A page past the chain was asked for: a failure, but the count is there.
  TIEBitmap b;
  TIOParamsVals params(nullptr);
  params.TiffImageIndex = 3;
  const ReadResult r = Read(file, b, params);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.pages, 3);
}

TEST_F(TIFFReaderTest, AlphaArrivesInTheMask) {
  // RGBA with unassociated alpha from ImageMagick.
  const Picture rgb = MakePicture(3);
  WritePNM(dir.File("a.ppm"), rgb, false);
  RunTool("convert " + dir.File("a.ppm") + " \\( +clone -fx \"i/w\" -colorspace gray \\) -alpha off -compose copy_opacity -composite -compress zip " + dir.File("rgba.tif"));
  TIEBitmap b;
  TIOParamsVals params(nullptr);
  const ReadResult r = Read(ReadFile(dir.File("rgba.tif")), b, params);
  ASSERT_FALSE(r.aborted);
  ASSERT_TRUE(r.mask);
  EXPECT_LE(Difference(b, rgb), 1.0);
  // Alpha grows from left to right.
  EXPECT_LT(r.mask->GetRow(10)[2], r.mask->GetRow(10)[60]);
}

// Byte-built pages for the layouts the tools above never write.
std::vector<uint8_t> Page8(bool big, uint16_t photometric, uint16_t spp, std::vector<uint32_t> bits,
                           const std::vector<uint8_t>& data, int width, int height,
                           const std::function<void(TiffBuilder&)>& more = {}) {
  TiffBuilder b(big);
  const int32_t strip = b.Blob(data);
  b.Page().Short(256, {static_cast<uint32_t>(width)}).Short(257, {static_cast<uint32_t>(height)}).Short(258, bits)
      .Short(262, {photometric}).Short(277, {spp}).Strips({strip});
  if (more) more(b);
  return b.Build();
}

TEST_F(TIFFReaderTest, ByteBuiltLayouts) {
  // 4-bit grey: 15 -> 255, 1 -> 17.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    const ReadResult r = Read(Page8(false, 1, 1, {4}, {0xF1, 0x80}, 3, 1), b, p);
    ASSERT_FALSE(r.aborted);
    ASSERT_EQ(b.PixelFormat(), ie24RGB);  // only 8-bit grey is kept as ie8g
    const auto* row = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_EQ(row[0], 255);
    EXPECT_EQ(row[3], 17);
    EXPECT_EQ(row[6], 136);
  }
  // 16-bit RGB, big-endian, native: ieRGB48 with red first.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    const ReadResult r = Read(Page8(true, 2, 3, {16, 16, 16}, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, 1, 1), b, p);
    ASSERT_FALSE(r.aborted);
    ASSERT_EQ(b.PixelFormat(), ieRGB48);
    const auto* w = static_cast<const uint16_t*>(b.GetRow(0));
    EXPECT_EQ(w[0], 0x1234);
    EXPECT_EQ(w[1], 0x5678);
    EXPECT_EQ(w[2], 0x9ABC);
    TIEBitmap b24;
    TIOParamsVals p24(nullptr);
    ASSERT_FALSE(Read(Page8(true, 2, 3, {16, 16, 16}, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, 1, 1), b24, p24).aborted);
    const auto* d = static_cast<const uint8_t*>(b24.GetRow(0));
    EXPECT_EQ(d[2], 0x12);
    EXPECT_EQ(d[1], 0x56);
    EXPECT_EQ(d[0], 0x9A);
  }
  // 16-bit grey with the "Look@Molli v1.1" software string: shifted right by 4.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    const auto file = Page8(false, 1, 1, {16}, {0x30, 0x0A}, 1, 1,
                            [](TiffBuilder& t) { t.Ascii(305, "Look@Molli v1.1 build 7"); });
    ASSERT_FALSE(Read(file, b, p).aborted);
    EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(0))[0], 0xA3);
  }
  // YCbCr 2 x 1: Y0 Y1 Cb Cr; neutral chroma gives grey.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    const auto file = Page8(false, 6, 3, {8, 8, 8}, {100, 200, 128, 128}, 2, 1,
                            [](TiffBuilder& t) { t.Short(530, {2, 1}); });
    ASSERT_FALSE(Read(file, b, p).aborted);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_NEAR(d[0], 100, 1);
    EXPECT_NEAR(d[4], 200, 1);
  }
  // CMYK, native: each ink stored as 255 minus the file's value.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    ASSERT_FALSE(Read(Page8(false, 5, 4, {8, 8, 8, 8}, {0, 255, 10, 20}, 1, 1), b, p).aborted);
    ASSERT_EQ(b.PixelFormat(), ieCMYK);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_EQ(d[0], 255);
    EXPECT_EQ(d[1], 0);
    EXPECT_EQ(d[2], 245);
    EXPECT_EQ(d[3], 235);
  }
  // Palette of 2 bits with a map of 3 x 4 values; an index past... all in range here.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    const auto file = Page8(false, 3, 1, {2}, {0x1B}, 4, 1, [](TiffBuilder& t) {
      t.Short(320, {0, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0xFFFF});
    });
    ASSERT_FALSE(Read(file, b, p).aborted);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_EQ(d[3 * 1 + 2], 255);  // index 1: red
    EXPECT_EQ(d[3 * 2 + 1], 255);  // index 2: green
    EXPECT_EQ(d[3 * 3 + 0], 255);  // index 3: blue
  }
  // PackBits with a run longer than the row: the surplus is dropped.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    const auto file = Page8(false, 1, 1, {8}, {static_cast<uint8_t>(-9), 77, 0x01, 5, 6}, 4, 2,
                            [](TiffBuilder& t) { t.Short(259, {32773}); });
    ASSERT_FALSE(Read(file, b, p).aborted);
    EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(0))[3], 77);
  }
  // 1 bit with Photometric 2 and compression 1: taken as WhiteIsZero.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_FALSE(Read(Page8(false, 2, 1, {1}, {0x80}, 8, 1), b, p).aborted);
    ASSERT_EQ(b.PixelFormat(), ie1g);
    EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(0))[0], 0x7F);
  }
}

ReadResult ReadWith(const std::vector<uint8_t>& file, TIEBitmap& bitmap, TIOParamsVals& params, bool ignoreAlpha,
                    bool thumbnail, bool paramsOnly = false) {
  TBytes s(file);
  ReadResult r;
  TIEProgressRecord progress;
  progress.Aborting = &r.aborted;
  ReadTIFFStream(&bitmap, s, r.pages, &params, progress, paramsOnly, r.mask, false, ignoreAlpha, thumbnail);
  return r;
}

TEST_F(TIFFReaderTest, AlphaLayouts) {
  // RGBA, 3 pixels: with alpha into the mask; with IgnoreAlpha the fourth sample is dropped.
  const std::vector<uint8_t> rgba = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  const auto file = Page8(false, 2, 4, {8, 8, 8, 8}, rgba, 3, 1, [](TiffBuilder& t) { t.Short(338, {2}); });
  for (bool ignore : {false, true}) {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    const ReadResult r = ReadWith(file, b, p, ignore, false);
    ASSERT_FALSE(r.aborted);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_EQ(d[3 * 1 + 2], 50) << ignore;  // red of pixel 1
    EXPECT_EQ(d[3 * 2 + 0], 110) << ignore;  // blue of pixel 2
    EXPECT_EQ(r.mask != nullptr, !ignore);
    if (r.mask) {
      EXPECT_EQ(r.mask->GetRow(0)[2], 120);
    }
  }
  // Associated alpha in a fifth sample: colours are divided by it, clamped to 255.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    const auto f = Page8(false, 2, 5, {8, 8, 8, 8, 8}, {200, 50, 20, 9, 100}, 1, 1,
                         [](TiffBuilder& t) { t.Short(338, {0, 1}); });
    const ReadResult r = ReadWith(f, b, p, false, false);
    ASSERT_FALSE(r.aborted);
    ASSERT_TRUE(r.mask);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_EQ(d[2], 255);  // 200 / (100 / 255) = 510
    EXPECT_EQ(d[1], 127);  // 50 / (100 / 255) = 127.5
    EXPECT_EQ(r.mask->GetRow(0)[0], 100);
  }
  // Grey with alpha.
  {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    const ReadResult r = ReadWith(Page8(false, 1, 2, {8, 8}, {77, 33}, 1, 1), b, p, false, false);
    ASSERT_FALSE(r.aborted);
    ASSERT_TRUE(r.mask);
    EXPECT_EQ(r.mask->GetRow(0)[0], 33);
    EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(0))[0], 77);
  }
}

TEST_F(TIFFReaderTest, TiledAlphaLandsOnItsColumnsAndStopsAtThePageEdge) {
  // A 20 x 3 RGBA page in 16 x 16 tiles: the second tile's columns 4..15 lie past the page.
  TiffBuilder t;
  std::vector<int32_t> tiles;
  for (int tile = 0; tile < 2; ++tile) {
    std::vector<uint8_t> data;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const int px = tile * 16 + x;
        data.insert(data.end(), {static_cast<uint8_t>(px), static_cast<uint8_t>(y), 0, static_cast<uint8_t>(px * 7)});
      }
    tiles.push_back(t.Blob(data));
  }
  t.Page().Short(256, {20}).Short(257, {3}).Short(258, {8, 8, 8, 8}).Short(262, {2}).Short(277, {4})
      .Short(338, {2}).Short(322, {16}).Short(323, {16}).Strips(tiles, 324, 325);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  const ReadResult r = ReadWith(t.Build(), b, p, false, false);
  ASSERT_FALSE(r.aborted);
  ASSERT_TRUE(r.mask);
  ASSERT_EQ(b.Width(), 20);
  ASSERT_EQ(r.mask->Width(), 20);
  for (int x : {0, 15, 16, 19}) {
    EXPECT_EQ(r.mask->GetRow(2)[x], static_cast<uint8_t>(x * 7)) << x;
    EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(2))[3 * x + 2], x) << x;
  }
  // One tile asked for: the page is that tile.
  TIEBitmap one;
  TIOParamsVals q(nullptr);
  q.TiffGetTile = 1;
  ASSERT_FALSE(ReadWith(t.Build(), one, q, false, false).aborted);
  EXPECT_EQ(q.Width, 16);
  EXPECT_EQ(static_cast<const uint8_t*>(one.GetRow(0))[3 * 3 + 2], 19);
}

TEST_F(TIFFReaderTest, ThumbnailModeRefusesLargeAndEmptyPages) {
  const auto large = Page8(false, 1, 1, {8}, std::vector<uint8_t>(401, 9), 401, 1);
  const auto empty = Page8(false, 1, 1, {8}, {}, 0, 0);
  const auto small = Page8(false, 1, 1, {8}, {1, 2, 3, 4}, 2, 2);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  EXPECT_TRUE(ReadWith(large, b, p, true, true).aborted);
  EXPECT_TRUE(ReadWith(empty, b, p, true, true).aborted);
  EXPECT_FALSE(ReadWith(empty, b, p, true, true, true).aborted);  // its parameters are no failure
  EXPECT_FALSE(ReadWith(small, b, p, true, true).aborted);
  EXPECT_EQ(b.Width(), 2);
}

TEST_F(TIFFReaderTest, PlanarCMYKAndOldStyleJPEG) {
  {
    TiffBuilder t;
    std::vector<int32_t> planes;
    for (uint8_t ink : {0, 255, 100, 50}) planes.push_back(t.Blob({ink, ink}));
    t.Page().Short(256, {2}).Short(257, {1}).Short(258, {8, 8, 8, 8}).Short(262, {5}).Short(277, {4})
        .Short(284, {2}).Strips(planes);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    ASSERT_FALSE(ReadWith(t.Build(), b, p, false, false).aborted);
    ASSERT_EQ(b.PixelFormat(), ieCMYK);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(0));
    EXPECT_EQ(d[4 + 0], 255);
    EXPECT_EQ(d[4 + 1], 0);
    EXPECT_EQ(d[4 + 2], 155);
    EXPECT_EQ(d[4 + 3], 205);
  }
  {
    // Compression 6 with the whole JPEG stream at JPEGInterchangeFormat (libjpeg wrote it).
    jpegtest::EncodeOptions o;
    o.width = 24;
    o.height = 16;
    o.quality = 95;
    const auto pixels = jpegtest::Photo(24, 16);
    const auto jpeg = jpegtest::Encode(o, pixels);
    TiffBuilder t;
    const int32_t blob = t.Blob(jpeg);
    t.Page().Short(256, {24}).Short(257, {16}).Short(258, {8, 8, 8}).Short(262, {6}).Short(277, {3})
        .Short(259, {6}).Strips({blob}, 513, 514);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_FALSE(ReadWith(t.Build(), b, p, false, false).aborted);
    ASSERT_EQ(b.Width(), 24);
    const auto ref = jpegtest::Decode(jpeg, JCS_EXT_BGR);
    const auto* d = static_cast<const uint8_t*>(b.GetRow(7));
    for (int i = 0; i < 24 * 3; ++i) EXPECT_NEAR(d[i], ref.pixels[static_cast<size_t>(7 * 24 * 3 + i)], 1) << i;
  }
}

TEST_F(TIFFReaderTest, OrientationTurnsThePictureAndItsAlpha) {
  // 3 x 2 grey with alpha, orientation 6: the stored first row is the picture's right column.
  const auto file = Page8(false, 1, 2, {8, 8}, {1, 101, 2, 102, 3, 103, 4, 104, 5, 105, 6, 106}, 3, 2,
                          [](TiffBuilder& t) { t.Short(274, {6}); });
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = true;
  p.TiffEnableAdjustOrientation = true;
  const ReadResult r = ReadWith(file, b, p, false, false);
  ASSERT_FALSE(r.aborted);
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 3);
  ASSERT_TRUE(r.mask);
  ASSERT_EQ(r.mask->Width(), 2);
  // Turned a quarter clockwise: rows 4 1 / 5 2 / 6 3.
  const uint8_t expected[3][2] = {{4, 1}, {5, 2}, {6, 3}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(y))[3 * x], expected[y][x]) << x << "," << y;  // ie24RGB
      EXPECT_EQ(r.mask->GetRow(y)[x], expected[y][x] + 100) << x << "," << y;
    }
  EXPECT_EQ(p.TiffOrientation, 1);
  EXPECT_FALSE(b.HasAlphaChannel());  // the alpha stays in the mask for the caller
}

TEST_F(TIFFReaderTest, WangAnnotationsAreLoaded) {
  TIEImagingAnnot source;
  TIEImagingObject* mark = source.AddObject();
  mark->Attributes[0] = 3;  // a mark type
  mark->Attributes[4] = 10;
  std::vector<uint8_t> block;
  source.SaveToBuffer(block);
  ASSERT_FALSE(block.empty());
  const auto file = Page8(false, 1, 1, {8}, {1}, 1, 1,
                          [&](TiffBuilder& t) { t.Raw(32932, 1, static_cast<uint32_t>(block.size()), block); });
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_FALSE(ReadWith(file, b, p, false, false, true).aborted);
  ASSERT_TRUE(p.ImagingAnnot());
  EXPECT_EQ(p.ImagingAnnot()->ObjectCount(), 1);
  // A page without annotations leaves none from the page before.
  ASSERT_FALSE(ReadWith(Page8(false, 1, 1, {8}, {1}, 1, 1), b, p, false, false, true).aborted);
  EXPECT_EQ(p.ImagingAnnot()->ObjectCount(), 0);
}

TEST_F(TIFFReaderTest, ParametersFromTags) {
  TiffBuilder t;
  const int32_t strip = t.Blob({1, 2, 3, 4});
  t.Page().Short(256, {2}).Short(257, {2}).Short(258, {8}).Short(262, {1}).Strips({strip})
      .Short(296, {3}).Rational(282, {11811, 100}).Rational(283, {0, 1}).Ascii(269, "doc").Ascii(271, "Maker")
      .Short(297, {2, 9}).Short(274, {6});
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_FALSE(Read(t.Build(), b, p, true).aborted);
  EXPECT_EQ(p.DpiX, 300);
  EXPECT_EQ(p.DpiY, DefaultDPIY);
  EXPECT_NEAR(p.ExifXResolution, 300, 0.01);
  EXPECT_EQ(p.TiffDocumentName, "doc");
  EXPECT_EQ(p.ExifMake, "Maker");
  EXPECT_EQ(p.TiffPageNumber, 2);
  EXPECT_EQ(p.TiffPageCount, 9);
  EXPECT_EQ(p.TiffOrientation, 6);
  EXPECT_EQ(p.Width, 2);
  EXPECT_EQ(b.Width(), 0);  // parameters only
}

TEST_F(TIFFReaderTest, ExifAndGpsDirectories) {
  // Pages 2 and 3 of the builder are the EXIF and GPS directories; page 1 links to them. The links
  // are inline values, so a first build with placeholders gives the places.
  auto make = [](uint32_t exifAt, uint32_t gpsAt, TiffBuilder& t) {
    const int32_t strip = t.Blob({1});
    t.Page().Short(256, {1}).Short(257, {1}).Short(258, {8}).Short(262, {1}).Strips({strip})
        .Long(34665, {exifAt}).Long(34853, {gpsAt});
    t.Page().Rational(37380, {static_cast<uint32_t>(-1), 3}, 10).Short(37383, {5})
        .Raw(37510, 7, 13, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'c', 'a', 'f', 0xE9, '!'});
    t.Page().Raw(19, 2, 2, {'S', 0}).Raw(21, 2, 2, {'W', 0}).Raw(0, 1, 4, {2, 2, 0, 0})
        .Rational(2, {10, 1, 20, 1, 30, 1});
    t.NextOverride = {0, 0, 0};
    return t.Build();
  };
  TiffBuilder first;
  make(0, 0, first);
  TiffBuilder t;
  const auto file = make(first.IfdOffsets[1], first.IfdOffsets[2], t);
  ASSERT_EQ(t.IfdOffsets, first.IfdOffsets);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_FALSE(Read(file, b, p, true).aborted);
  EXPECT_TRUE(p.HasExifData);
  EXPECT_NEAR(p.ExifExposureBiasValue, -1.0 / 3, 1e-9);  // SRATIONAL read signed
  EXPECT_EQ(p.ExifMeteringMode, 5);
  EXPECT_EQ(p.ExifUserCommentCode, std::string("ASCII\0\0\0", 8));
  EXPECT_EQ(p.ExifUserComment, "caf\xC3\xA9!");  // Windows-1252 to UTF-8
  EXPECT_EQ(p.GpsDestLatitudeRef, "S");
  EXPECT_EQ(p.GpsDestLongitudeRef, "W");
  EXPECT_EQ(p.GpsVersionID, "2.2.0.0");
  EXPECT_DOUBLE_EQ(p.GpsLatitude[2], 30);
}

TEST_F(TIFFReaderTest, TIFFAfterOtherDataWithOffsetsFromTheStreamStart) {
  // A "TIFF" stream header and other data before the TIFF; its offsets count from the stream's start.
  std::vector<uint8_t> prefix = {'T', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0};
  prefix.insert(prefix.begin(), 21, 0x55);
  TiffBuilder t(true);
  const int32_t strip = t.Blob({10, 20, 30, 40});
  t.Page().Short(256, {4}).Short(257, {1}).Short(258, {8}).Short(262, {1}).Short(259, {1}).Strips({strip});
  const auto file = t.Build(prefix, true);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = true;
  const ReadResult r = Read(file, b, p, false, static_cast<int64_t>(prefix.size()), false);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(static_cast<const uint8_t*>(b.GetRow(0))[3], 40);
  // The same TIFF with offsets from its own first byte reads with the relative origin.
  const auto relative = t.Build(prefix, false);
  TIEBitmap b2;
  TIOParamsVals p2(nullptr);
  p2.IsNativePixelFormat = true;
  ASSERT_FALSE(Read(relative, b2, p2, false, static_cast<int64_t>(prefix.size()), true).aborted);
  EXPECT_EQ(static_cast<const uint8_t*>(b2.GetRow(0))[2], 30);
}

TEST_F(TIFFReaderTest, HostilePagesFailCleanly) {
  struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
  };
  auto page = [](std::function<void(TiffBuilder&)> tags) {
    return [tags] {
      TiffBuilder t;
      const int32_t s = t.Blob(std::vector<uint8_t>(64, 0x5A));
      t.Page().Strips({s});
      tags(t);
      return t.Build();
    };
  };
  const Case cases[] = {
      {"not a TIFF", [] { return std::vector<uint8_t>{'X', 'X', 42, 0, 8, 0, 0, 0}; }},
      {"first IFD 0", [] { return std::vector<uint8_t>{'I', 'I', 42, 0, 0, 0, 0, 0}; }},
      {"huge size from a tiny file", page([](TiffBuilder& t) { t.Long(256, {100000}).Long(257, {100000}).Short(258, {8}).Short(262, {1}); })},
      {"zero width", page([](TiffBuilder& t) { t.Short(256, {0}).Short(257, {4}).Short(258, {8}); })},
      {"bits 8,8,16", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8, 8, 16}).Short(277, {3}); })},
      {"bits 32", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {32}).Short(262, {1}); })},
      {"samples 0", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8}).Short(277, {0}); })},
      {"unknown compression", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8}).Short(262, {1}).Short(259, {34712}); })},
      {"G4 rows two billion pixels wide", page([](TiffBuilder& t) { t.Long(256, {0x7FFFFFFF}).Short(257, {8}).Short(259, {4}).Short(262, {0}); })},
      {"3-bit grey", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {3}).Short(262, {1}); })},
      {"palette without a map", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8}).Short(262, {3}); })},
      {"palette with a short map", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8}).Short(262, {3}).Short(320, {1, 2, 3}); })},
      {"YCbCr 2 x 2", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8, 8, 8}).Short(277, {3}).Short(262, {6}); })},
      {"tiles without offsets", [] {
         TiffBuilder t;
         t.Page().Short(256, {4}).Short(257, {4}).Short(258, {8}).Short(262, {1}).Short(322, {16}).Short(323, {16});
         return t.Build();
       }},
      {"planar grey+alpha", page([](TiffBuilder& t) { t.Short(256, {4}).Short(257, {4}).Short(258, {8, 8}).Short(277, {2}).Short(262, {1}).Short(284, {2}); })},
  };
  for (const Case& c : cases) {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    IEImageSizeGateLogForTesting(true);
    const ReadResult r = Read(c.make(), b, p);
    EXPECT_TRUE(r.aborted) << c.name;
    EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, 1 << 20) << c.name;
  }
}

TEST_F(TIFFReaderTest, TruncatedAndGarbledFilesNeverCrash) {
  const Picture rgb = MakePicture(3);
  WritePNM(dir.File("a.ppm"), rgb, false);
  RunTool("convert " + dir.File("a.ppm") + " -compress none " + dir.File("a.tif"));
  std::vector<std::vector<uint8_t>> files;
  for (const char* c : {"lzw:2", "zip", "packbits", "jpeg"}) {
    RunTool(std::string("tiffcp -r 16 -c ") + c + " " + dir.File("a.tif") + " " + dir.File("b.tif"));
    files.push_back(ReadFile(dir.File("b.tif")));
  }
  std::mt19937 rng(3);
  for (const auto& file : files) {
    for (int t = 0; t < 40; ++t) {
      std::vector<uint8_t> bad = file;
      if (t % 2) bad.resize(rng() % bad.size());
      else for (int k = 0; k < 8; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
      TIEBitmap b;
      TIOParamsVals p(nullptr);
      Read(bad, b, p);  // no crash, no hang; under the sanitizers no bad access
    }
  }
}

TEST_F(TIFFReaderTest, ProbesTellTIFFFromCameraRawAndHDPhoto) {
  auto probe = [](const std::vector<uint8_t>& file, bool (*f)(TStream&)) {
    TBytes s(file);
    return f(s);
  };
  TiffBuilder plain;
  plain.Page().Short(256, {640}).Short(257, {480});
  EXPECT_TRUE(probe(plain.Build(), IsTIFFStream));
  EXPECT_FALSE(probe(plain.Build(), IsCameraRawTIFF));
  TiffBuilder noLength;
  noLength.Page().Short(256, {640});
  EXPECT_FALSE(probe(noLength.Build(), IsTIFFStream));
  TiffBuilder dng;
  dng.Page().Short(256, {640}).Short(257, {480}).Raw(50706, 1, 4, {1, 4, 0, 0});
  EXPECT_TRUE(probe(dng.Build(), IsCameraRawTIFF));
  for (uint32_t size : {160u, 640u}) {
    TiffBuilder ep;
    ep.Page().Short(256, {size}).Short(257, {size * 3 / 4}).Long(330, {8}).Raw(37398, 1, 4, {1, 0, 0, 0});
    EXPECT_EQ(probe(ep.Build(), IsCameraRawTIFF), size == 160u);
  }
  TiffBuilder hdp;
  hdp.Version = 0x01BC;
  hdp.Page().Long(48256, {1}).Long(48257, {1}).Raw(48129, 1, 4, {1, 2, 3, 4}).Long(48320, {1});
  EXPECT_FALSE(probe(hdp.Build(), IsHDPhotoStream));
  hdp.Long(48321, {1});
  EXPECT_TRUE(probe(hdp.Build(), IsHDPhotoStream));
  // Big-endian with 0xBA at offset 8.
  auto mm = TiffBuilder(true).Page().Short(256, {1}).Short(257, {1}).Build();
  mm[8] = 0xBA;
  EXPECT_FALSE(probe(mm, IsTIFFStream));
  // FindTIFFHeader at 0, at 12, and in a stream shorter than 8.
  const auto file = plain.Build();
  EXPECT_EQ(probe(file, [](TStream& s) { return FindTIFFHeader(s) == 0; }), true);
  std::vector<uint8_t> shifted(12, 0);
  shifted.insert(shifted.end(), file.begin(), file.end());
  TBytes s(shifted);
  EXPECT_EQ(FindTIFFHeader(s), 12);
  TBytes tiny(std::vector<uint8_t>{'I', 'I', 42, 0});
  EXPECT_EQ(FindTIFFHeader(tiny), -1);
}

}  // namespace
