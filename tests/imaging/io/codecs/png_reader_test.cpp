// The PNG reader on files libpng writes (every colour type, depth and interlace, on both pixel routes)
// and on files built chunk by chunk: pixels and alpha against the file's own samples, the parameter
// record, background, resolution, texts, progress, and damaged, cut-off and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/support/png_fixture.h"

using testsupport::PngFile;
using testsupport::PngImage;

namespace {

using Bytes = std::vector<uint8_t>;

struct Kind {
  int colorType;
  int bitDepth;
};

// Every colour type and depth the standard allows.
const Kind kKinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                       {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

PngImage Fixture(const Kind& k, bool interlaced, bool withTrns, uint32_t w = 13, uint32_t h = 11) {
  return testsupport::PatternImage(k.colorType, k.bitDepth, interlaced, withTrns, w, h);
}

struct Read {
  bool aborted = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
  int32_t rows = 0;               // the progress record's row counter afterwards
  std::vector<int32_t> percents;  // what progress reported
};

void ReadInto(TStream& s, Read& r, bool native, bool paramsOnly = false) {
  r.params.IsNativePixelFormat = native;
  TIEProgressRecord progress;
  progress.Aborting = &r.aborted;
  progress.OnProgress = [&r](TObject*, int32_t percent) { r.percents.push_back(percent); };
  ReadPngStream(s, r.bitmap, r.params, progress, paramsOnly);
  r.rows = progress.Counter;
}

void ReadBytes(const Bytes& file, Read& r, bool native = false, bool paramsOnly = false) {
  TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
  ReadInto(s, r, native, paramsOnly);
}

// A sample of the file as 8 bits, the way the reader converts it (the high byte of 16 bits, 1- to
// 4-bit grey spread over 0..255).
uint8_t To8(const PngImage& im, uint32_t v) {
  if (im.bitDepth == 16) return static_cast<uint8_t>(v >> 8);
  if (im.bitDepth == 8 || im.colorType == 3) return static_cast<uint8_t>(v);
  return static_cast<uint8_t>(v * 255 / ((1u << im.bitDepth) - 1));
}

// The colour and alpha a viewer shows for file pixel (x, y), at 8 bits.
void Expected(const PngImage& im, uint32_t x, uint32_t y, TIERGB& color, uint8_t& alpha) {
  alpha = 255;
  const auto key = [&](int c) { return static_cast<uint32_t>(im.trns[2 * c] << 8 | im.trns[2 * c + 1]); };
  switch (im.colorType) {
    case 0: {
      const uint32_t v = im.Sample(x, y, 0);
      color = CreateRGB(To8(im, v), To8(im, v), To8(im, v));
      if (!im.trns.empty() && v == key(0)) alpha = 0;
      break;
    }
    case 2: {
      color = CreateRGB(To8(im, im.Sample(x, y, 0)), To8(im, im.Sample(x, y, 1)), To8(im, im.Sample(x, y, 2)));
      if (!im.trns.empty() && im.Sample(x, y, 0) == key(0) && im.Sample(x, y, 1) == key(1) && im.Sample(x, y, 2) == key(2))
        alpha = 0;
      break;
    }
    case 3: {
      const uint32_t i = im.Sample(x, y, 0);
      color = i < im.palette.size() ? CreateRGB(im.palette[i][0], im.palette[i][1], im.palette[i][2]) : TIERGB{0, 0, 0};
      if (i < im.trns.size()) alpha = im.trns[i];
      break;
    }
    case 4: {
      const uint8_t v = To8(im, im.Sample(x, y, 0));
      color = CreateRGB(v, v, v);
      alpha = To8(im, im.Sample(x, y, 1));
      break;
    }
    default:
      color = CreateRGB(To8(im, im.Sample(x, y, 0)), To8(im, im.Sample(x, y, 1)), To8(im, im.Sample(x, y, 2)));
      alpha = To8(im, im.Sample(x, y, 3));
  }
}

std::string Describe(const PngImage& im) {
  return "type " + std::to_string(im.colorType) + " depth " + std::to_string(im.bitDepth) +
         (im.interlaced ? " interlaced" : "") + (im.trns.empty() ? "" : " tRNS");
}

// The pixel format the reader must choose.
TIEPixelFormat ExpectedFormat(const PngImage& im, bool native) {
  const bool greyOrPalette = im.colorType == 0 || im.colorType == 3;
  if (im.bitDepth == 1 && im.trns.empty()) return im.colorType == 0 ? ie1g : ie24RGB;
  if (native && greyOrPalette && im.bitDepth >= 8) return im.colorType == 3 ? ie8p : im.bitDepth == 8 ? ie8g : ie16g;
  return ie24RGB;
}

// Checks every pixel and the alpha channel against the file's samples.
void ExpectPixels(const PngImage& im, TIEBitmap& b, bool native) {
  ASSERT_EQ(b.Width(), static_cast<int32_t>(im.width));
  ASSERT_EQ(b.Height(), static_cast<int32_t>(im.height));
  const TIEPixelFormat format = ExpectedFormat(im, native);
  ASSERT_EQ(b.PixelFormat(), format);
  const bool transparent = im.colorType == 4 || im.colorType == 6 || !im.trns.empty();
  ASSERT_EQ(b.HasAlphaChannel(), transparent);
  if (transparent) {
    EXPECT_FALSE(b.GetAlphaChannel()->Full());
  }
  int wrong = 0;
  for (uint32_t y = 0; y < im.height; ++y)
    for (uint32_t x = 0; x < im.width; ++x) {
      TIERGB color{};
      uint8_t alpha = 255;
      Expected(im, x, y, color, alpha);
      const auto X = static_cast<int32_t>(x), Y = static_cast<int32_t>(y);
      bool same = true;
      if (format == ie8p || format == ie8g) {
        same = b.GetPixel8(X, Y) == im.Sample(x, y, 0);
      } else if (format == ie16g) {
        same = b.GetPixel16(X, Y) == im.Sample(x, y, 0);
      } else {
        same = b.GetPixelRGB(X, Y) == color;
      }
      if (transparent) same = same && b.GetAlpha(X, Y) == alpha;
      if (!same && ++wrong <= 3) ADD_FAILURE() << "pixel " << x << "," << y;
    }
  if (format != ie8p) return;
  for (size_t i = 0; i < im.palette.size(); ++i)
    EXPECT_EQ(b.GetPaletteColor(static_cast<int32_t>(i)), CreateRGB(im.palette[i][0], im.palette[i][1], im.palette[i][2]));
}

TEST(PngReader, EveryColourTypeAndDepthOnBothRoutes) {
  int n = 0;
  for (const Kind& k : kKinds)
    for (bool interlaced : {false, true})
      for (bool trns : {false, true}) {
        if (trns && (k.colorType == 4 || k.colorType == 6)) continue;
        const PngImage im = Fixture(k, interlaced, trns);
        const Bytes file = testsupport::WritePngWithLibpng(im, 6);
        for (bool native : {false, true}) {
          SCOPED_TRACE(Describe(im) + (native ? " native" : ""));
          Read r;
          ReadBytes(file, r, native);
          ASSERT_FALSE(r.aborted);
          ExpectPixels(im, r.bitmap, native);
          EXPECT_EQ(r.params.Width, static_cast<int32_t>(im.width));
          EXPECT_EQ(r.params.OriginalHeight, static_cast<int32_t>(im.height));
          EXPECT_EQ(r.params.BitsPerSample, im.bitDepth);
          EXPECT_EQ(r.params.SamplesPerPixel, im.Channels());
          EXPECT_EQ(r.params.ColorMapCount, static_cast<int32_t>(im.palette.size()));
          EXPECT_EQ(r.params.PngInterlaced, interlaced);
          EXPECT_EQ(r.params.ImageCount, 1);
          // Progress counts every row of every pass.
          EXPECT_EQ(r.rows, static_cast<int32_t>(im.height) * (interlaced ? 7 : 1));
          ASSERT_FALSE(r.percents.empty());
          EXPECT_EQ(r.percents.back(), 100);
          ++n;
        }
      }
  EXPECT_EQ(n, 2 * (15 * 4 - 4 * 2));
}

TEST(PngReader, ParametersOnlyLeaveTheBitmapAlone) {
  const PngImage im = Fixture({3, 4}, true, false, 40, 30);
  Read r;
  r.bitmap.Allocate(3, 2, ie8g);
  r.bitmap.Fill(9);
  ReadBytes(testsupport::WritePngWithLibpng(im), r, false, true);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.params.Width, 40);
  EXPECT_EQ(r.params.Height, 30);
  EXPECT_EQ(r.params.BitsPerSample, 4);
  EXPECT_EQ(r.params.ColorMapCount, 16);
  ASSERT_NE(r.params.ColorMap(), nullptr);
  EXPECT_EQ(r.params.ColorMap()[5], CreateRGB(im.palette[5][0], im.palette[5][1], im.palette[5][2]));
  EXPECT_TRUE(r.params.PngInterlaced);
  EXPECT_EQ(r.bitmap.Width(), 3);
  EXPECT_EQ(r.bitmap.PixelFormat(), ie8g);
  EXPECT_EQ(r.bitmap.GetPixel8(2, 1), 9);
  EXPECT_EQ(r.rows, 0);
}

TEST(PngReader, BackgroundAtTheImagesDepth) {
  struct Case {
    Kind kind;
    std::array<uint16_t, 3> bkgd;
    TIERGB expected;
  };
  const Case cases[] = {
      {{0, 1}, {1, 0, 0}, CreateRGB(255, 255, 255)},
      {{0, 2}, {2, 0, 0}, CreateRGB(170, 170, 170)},
      {{0, 4}, {5, 0, 0}, CreateRGB(85, 85, 85)},
      {{0, 8}, {77, 0, 0}, CreateRGB(77, 77, 77)},
      {{0, 16}, {0x12FF, 0, 0}, CreateRGB(0x12, 0x12, 0x12)},
      {{4, 16}, {0xAB01, 0, 0}, CreateRGB(0xAB, 0xAB, 0xAB)},
      {{2, 8}, {10, 20, 30}, CreateRGB(10, 20, 30)},
      {{6, 8}, {200, 100, 0}, CreateRGB(200, 100, 0)},
      {{2, 16}, {0x0102, 0xFEFF, 0x8000}, CreateRGB(1, 0xFE, 0x80)},
      {{3, 4}, {2, 0, 0}, CreateRGB(2 * 37 + 5, 255 - 22, 6)},  // the palette entry's colour
  };
  for (const Case& c : cases) {
    PngImage im = Fixture(c.kind, false, false, 5, 4);
    im.hasBkgd = true;
    im.bkgd = c.bkgd;
    SCOPED_TRACE(Describe(im));
    Read r;
    r.params.PngBackground = CreateRGB(1, 2, 3);
    ReadBytes(testsupport::WritePngWithLibpng(im), r, false, true);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.params.PngBackground, c.expected);
  }
  // Without bKGD the background stays what the caller gave.
  Read r;
  r.params.PngBackground = CreateRGB(1, 2, 3);
  ReadBytes(testsupport::WritePngWithLibpng(Fixture({2, 8}, false, false)), r);
  EXPECT_EQ(r.params.PngBackground, CreateRGB(1, 2, 3));
}

TEST(PngReader, ResolutionFromPHYs) {
  struct Case {
    bool hasPhys;
    uint32_t x, y;
    int unit;
    int32_t dpiX, dpiY;
  };
  const Case cases[] = {
      {true, 2835, 11811, 1, 72, 300},  // 2835 / 100 x 2.54 = 72.009, 11811 -> 299.999
      {true, 3937, 7874, 1, 100, 200},
      {true, 3937, 0, 1, 100, 300},     // a resolution of 0 takes the default
      {true, 3, 2, 0, 300, 300},        // an aspect ratio only
      {false, 0, 0, 0, 300, 300},       // none: the engine's default resolution
  };
  ASSERT_EQ(DefaultDPIX, 300);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "x" << c.y << " unit " << c.unit);
    PngImage im = Fixture({2, 8}, false, false, 4, 4);
    im.hasPhys = c.hasPhys;
    im.physX = c.x;
    im.physY = c.y;
    im.physUnit = c.unit;
    Read r;
    ReadBytes(testsupport::WritePngWithLibpng(im), r, false, true);
    EXPECT_EQ(r.params.DpiX, c.dpiX);
    EXPECT_EQ(r.params.DpiY, c.dpiY);
  }
}

TEST(PngReader, TextsInBothEncodingsAndBeforeAndAfterTheImage) {
  PngImage im = Fixture({2, 8}, false, false, 4, 4);
  im.texts = {{"Title", "Caf\xe9", false},
              {"Comment", std::string(500, 'x') + "\xff", true},
              {"Author", "\xe6\x97\xa5\xe6\x9c\xac", false, true},  // UTF-8 in iTXt
              {"Ke\xfd", "compressed \xc3\xa9", true, true}};
  Bytes file = testsupport::WritePngWithLibpng(im);
  // One more text after the image data, before IEND.
  const auto chunks = testsupport::Chunks(file);
  PngFile rebuilt;
  for (const auto& c : chunks) {
    if (c.name == "IEND") rebuilt.Chunk("tEXt", {'L', 'a', 's', 't', 0, 'e', 'n', 'd'});
    rebuilt.Chunk(c.name, c.data);
  }
  Read before;
  ReadBytes(rebuilt.Bytes(), before, false, true);
  ASSERT_EQ(before.params.PngTextKeys.size(), 4u);
  Read r;
  ReadBytes(rebuilt.Bytes(), r);
  ASSERT_FALSE(r.aborted);
  const std::vector<std::string> keys = {"Title", "Comment", "Author", "Ke\xc3\xbd", "Last"};
  const std::vector<std::string> values = {"Caf\xc3\xa9", std::string(500, 'x') + "\xc3\xbf", "\xe6\x97\xa5\xe6\x9c\xac",
                                           "compressed \xc3\xa9", "end"};
  EXPECT_EQ(r.params.PngTextKeys, keys);
  EXPECT_EQ(r.params.PngTextValues, values);
}

TEST(PngReader, ACutOffFileAbortsAndKeepsTheRowsRead) {
  // Stored deflate blocks and no filter: the file holds the rows in order, so a file cut at half
  // still holds the first rows whole.
  PngImage im = Fixture({2, 8}, false, false, 64, 64);
  const Bytes whole = testsupport::WritePngWithLibpng(im, 0, 0x08 /* PNG_FILTER_NONE */);
  const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
  Read r;
  ReadBytes(cut, r);
  EXPECT_TRUE(r.aborted);
  ASSERT_EQ(r.bitmap.Width(), 64);
  for (uint32_t y = 0; y < 20; ++y)
    for (uint32_t x = 0; x < 64; ++x) {
      TIERGB color{};
      uint8_t alpha = 0;
      Expected(im, x, y, color, alpha);
      ASSERT_EQ(r.bitmap.GetPixelRGB(static_cast<int32_t>(x), static_cast<int32_t>(y)), color) << x << "," << y;
    }
  EXPECT_GE(r.rows, 20);
  EXPECT_LT(r.rows, 40);
  // Cut inside the header: nothing to read.
  for (size_t size : {0, 5, 8, 20, 40}) {
    Read h;
    ReadBytes(Bytes(whole.begin(), whole.begin() + static_cast<long>(size)), h);
    EXPECT_TRUE(h.aborted) << size;
  }
}

TEST(PngReader, ADamagedTailAfterTheImageKeepsTheImage) {
  const PngImage im = Fixture({6, 8}, true, false, 9, 7);
  const Bytes file = testsupport::WritePngWithLibpng(im);
  PngFile noEnd, badCrc;
  for (const auto& c : testsupport::Chunks(file)) {
    if (c.name != "IEND") noEnd.Chunk(c.name, c.data);
    if (c.name == "IEND") badCrc.ChunkWithCRC("tEXt", {'a', 0, 'b'}, 12345);
    badCrc.Chunk(c.name, c.data);
  }
  for (const Bytes& damaged : {noEnd.Bytes(), badCrc.Bytes()}) {
    Read r;
    ReadBytes(damaged, r);
    EXPECT_FALSE(r.aborted);
    ExpectPixels(im, r.bitmap, false);
  }
  // A damaged image chunk is an error.
  PngFile badData;
  for (const auto& c : testsupport::Chunks(file)) {
    if (c.name == "IDAT")
      badData.ChunkWithCRC(c.name, c.data, 1);
    else
      badData.Chunk(c.name, c.data);
  }
  Read r;
  ReadBytes(badData.Bytes(), r);
  EXPECT_TRUE(r.aborted);
}

// The file's image data as one zlib stream, and the file rebuilt around other data, cut into IDAT
// chunks of the given sizes (the last takes the rest) and with a text chunk after it when asked.
Bytes ImageData(const Bytes& file) {
  Bytes data;
  for (const auto& c : testsupport::Chunks(file))
    if (c.name == "IDAT") data.insert(data.end(), c.data.begin(), c.data.end());
  return data;
}
Bytes Rebuilt(const Bytes& file, const Bytes& data, const std::vector<size_t>& pieces, bool textAfter) {
  PngFile out;
  bool done = false;
  for (const auto& c : testsupport::Chunks(file)) {
    if (c.name == "IEND") break;
    if (c.name != "IDAT") {
      out.Chunk(c.name, c.data);
      continue;
    }
    if (done) continue;
    size_t at = 0;
    for (size_t piece : pieces) {
      const size_t n = std::min(piece, data.size() - at);
      out.Chunk("IDAT", Bytes(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n)));
      at += n;
    }
    out.Chunk("IDAT", Bytes(data.begin() + static_cast<long>(at), data.end()));
    done = true;
  }
  if (textAfter) out.Chunk("tEXt", {'K', 0, 'v'});
  return out.IEND().Bytes();
}

bool SameImage(TIEBitmap& a, TIEBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat() ||
      a.HasAlphaChannel() != b.HasAlphaChannel())
    return false;
  for (int32_t y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Row<uint8_t>(y), b.Row<uint8_t>(y), static_cast<size_t>(a.RowLen())) != 0) return false;
    if (a.HasAlphaChannel() &&
        std::memcmp(a.GetAlphaChannel()->Row<uint8_t>(y), b.GetAlphaChannel()->Row<uint8_t>(y), static_cast<size_t>(a.Width())) != 0)
      return false;
  }
  return true;
}

// Non-interlaced 8-bit RGB, RGBA and natively read grey and palette images whose image data ends the
// file have their rows inflated and unfiltered by the engine; a text chunk after the data leaves them
// to libpng. Both give the file's pixels, under every filter and however the data is cut into chunks.
TEST(PngReader, RowsReadByTheEngineAgreeWithLibpngs) {
  struct Case {
    Kind kind;
    bool trns, native;
  };
  const Case cases[] = {{{2, 8}, false, false}, {{6, 8}, false, false}, {{0, 8}, false, true},
                        {{3, 8}, false, true},  {{3, 8}, true, true},   {{0, 8}, true, true}};
  // PNG_FILTER_NONE, SUB, UP, AVG, PAETH, and libpng's choice row by row.
  const int filters[] = {0x08, 0x10, 0x20, 0x40, 0x80, -1};
  for (const Case& c : cases)
    for (int filter : filters) {
      const PngImage im = Fixture(c.kind, false, c.trns, 37, 23);
      const Bytes file = testsupport::WritePngWithLibpng(im, 6, filter);
      const Bytes data = ImageData(file);
      for (const std::vector<size_t>& pieces :
           {std::vector<size_t>{}, std::vector<size_t>{1, 0, 5, 64}, std::vector<size_t>{2, 2, 2, 2, 2, 2, 2}}) {
        SCOPED_TRACE(Describe(im) + " filter " + std::to_string(filter) + " pieces " + std::to_string(pieces.size()));
        Read engine, library;
        ReadBytes(Rebuilt(file, data, pieces, false), engine, c.native);
        ReadBytes(Rebuilt(file, data, pieces, true), library, c.native);
        ASSERT_FALSE(engine.aborted);
        ASSERT_FALSE(library.aborted);
        ExpectPixels(im, engine.bitmap, c.native);
        EXPECT_TRUE(SameImage(engine.bitmap, library.bitmap));
        EXPECT_EQ(engine.rows, 23);
        EXPECT_EQ(library.params.PngTextKeys, std::vector<std::string>{"K"});
      }
    }
}

// Damaged image data ends the read on either route, keeping the rows before the damage.
TEST(PngReader, DamagedImageDataOnEitherRoute) {
  constexpr uint32_t w = 16, h = 12;
  PngImage im = PngImage::Make(w, h, 2, 8);
  testsupport::FillPattern(im);
  const Bytes good = testsupport::WritePngWithLibpng(im, 6, 0x80);
  const Bytes data = ImageData(good);
  // Raw rows (filter byte 0) to deflate as we like.
  std::vector<std::vector<uint8_t>> rows(h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      for (int ch = 0; ch < 3; ++ch) rows[y].push_back(static_cast<uint8_t>(im.Sample(x, y, ch)));
  const Bytes raw = testsupport::Unfiltered(rows);
  Bytes fewRows(raw.begin(), raw.begin() + static_cast<long>(5 * (1 + 3 * w)));
  Bytes badFilter = raw;
  badFilter[7 * (1 + 3 * w)] = 5;  // row 7 names filter 5
  Bytes corrupt = testsupport::Deflate(raw, 0);
  corrupt[2] ^= 0x06;  // a stored block's type turned into the reserved one

  struct Damage {
    const char* name;
    Bytes data;
    std::vector<size_t> pieces;
    int crcChunk;        // the IDAT chunk (in order) given a wrong CRC, or -1
    uint32_t rowsKept;   // rows that must be there
  };
  const Damage damages[] = {
      {"a wrong CRC on the first chunk", data, {40}, 0, 0},
      {"a wrong CRC on the last chunk", data, {40}, 1, 0},
      {"the data ends after five rows", testsupport::Deflate(fewRows), {}, -1, 5},
      {"an unknown filter", testsupport::Deflate(badFilter), {}, -1, 7},
      {"a corrupt zlib stream", corrupt, {}, -1, 0},
      {"no image data", {}, {}, -1, 0},
  };
  for (const Damage& d : damages)
    for (bool textAfter : {false, true}) {
      SCOPED_TRACE(std::string(d.name) + (textAfter ? ", rows by libpng" : ", rows by the engine"));
      Bytes file = Rebuilt(good, d.data, d.pieces, textAfter);
      if (d.crcChunk >= 0) {
        // Flip a bit of the chosen IDAT chunk's CRC.
        int seen = 0;
        for (size_t p = 8; p + 12 <= file.size();) {
          const uint32_t n = uint32_t{file[p]} << 24 | uint32_t{file[p + 1]} << 16 | uint32_t{file[p + 2]} << 8 | file[p + 3];
          if (std::memcmp(&file[p + 4], "IDAT", 4) == 0 && seen++ == d.crcChunk) file[p + 8 + n] ^= 1;
          p += 12 + n;
        }
      }
      Read r;
      ReadBytes(file, r);
      EXPECT_TRUE(r.aborted);
      for (uint32_t y = 0; y < d.rowsKept; ++y)
        for (uint32_t x = 0; x < w; ++x) {
          TIERGB color{};
          uint8_t alpha = 0;
          Expected(im, x, y, color, alpha);
          ASSERT_EQ(r.bitmap.GetPixelRGB(static_cast<int32_t>(x), static_cast<int32_t>(y)), color) << x << "," << y;
        }
    }
}

// A palette with fewer entries than the indices reach: the missing entries are black, on every route.
TEST(PngReader, MissingPaletteEntriesAreBlack) {
  for (const Kind k : {Kind{3, 1}, Kind{3, 2}, Kind{3, 8}}) {
    PngImage im = Fixture(k, k.bitDepth == 1, false, 6, 5);
    const Bytes file = testsupport::WritePngWithLibpng(im);
    PngFile oneEntry;
    for (const auto& c : testsupport::Chunks(file))
      oneEntry.Chunk(c.name, c.name == "PLTE" ? Bytes(c.data.begin(), c.data.begin() + 3) : c.data);
    im.palette.resize(1);
    for (bool native : {false, true}) {
      SCOPED_TRACE(Describe(im) + (native ? " native" : ""));
      Read r;
      ReadBytes(oneEntry.Bytes(), r, native);
      ASSERT_FALSE(r.aborted);
      EXPECT_EQ(r.params.ColorMapCount, 1);
      ExpectPixels(im, r.bitmap, native);
      if (r.bitmap.PixelFormat() == ie8p) {
        EXPECT_EQ(r.bitmap.GetPaletteColor(200), TIERGB({0, 0, 0}));
      }
    }
  }
}

TEST(PngReader, RowsOfFileHeldBitmapsAreReadBackBetweenPasses) {
  for (const Kind k : {Kind{0, 1}, Kind{0, 8}, Kind{0, 16}, Kind{2, 8}, Kind{3, 8}}) {
    const PngImage im = Fixture(k, true, k.colorType == 3, 37, 23);
    SCOPED_TRACE(Describe(im));
    // Every bitmap made here keeps its rows in a temporary file.
    const int64_t saved = MinFileSizeOverride;
    MinFileSizeOverride = 0;
    Read r;
    MinFileSizeOverride = saved;
    ReadBytes(testsupport::WritePngWithLibpng(im), r, true);
    ASSERT_FALSE(r.aborted);
    ASSERT_EQ(r.bitmap.Location(), ieFile);
    ExpectPixels(im, r.bitmap, true);
  }
}

TEST(PngReader, AStreamPositionInsideALargerStream) {
  const PngImage im = Fixture({6, 8}, false, false, 10, 10);
  Bytes data = {'j', 'u', 'n', 'k', '!'};
  const Bytes file = testsupport::WritePngWithLibpng(im);
  data.insert(data.end(), file.begin(), file.end());
  data.insert(data.end(), {'t', 'a', 'i', 'l'});
  // A memory stream as the clipboard's "PNG" data arrives: the picture with its alpha channel.
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  s.Seek(5, soBeginning);
  Read r;
  ReadInto(s, r, false);
  ASSERT_FALSE(r.aborted);
  ExpectPixels(im, r.bitmap, false);
}

TEST(PngReader, ASizeTheImageDataCannotHoldIsRefusedBeforeAllocating) {
  // A 1 x 1 file whose header claims 60000 x 60000 grey pixels.
  const Bytes small = testsupport::WritePngWithLibpng(Fixture({0, 8}, false, false, 1, 1));
  PngFile huge;
  for (const auto& c : testsupport::Chunks(small)) {
    if (c.name == "IHDR") {
      Bytes ihdr = c.data;
      for (int i : {0, 4}) ihdr[i] = 0, ihdr[i + 1] = 0, ihdr[i + 2] = 0xEA, ihdr[i + 3] = 0x60;
      huge.Chunk("IHDR", ihdr);
    } else {
      huge.Chunk(c.name, c.data);
    }
  }
  IEImageSizeGateLogForTesting(true);
  Read r;
  ReadBytes(huge.Bytes(), r);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(IEImageSizeGateLogForTesting().Refused, 1);
  EXPECT_LT(r.bitmap.Width(), 60000);
  // The parameters alone are read: the header is what it is.
  Read p;
  ReadBytes(huge.Bytes(), p, false, true);
  EXPECT_FALSE(p.aborted);
  EXPECT_EQ(p.params.Width, 60000);
}

TEST(PngReader, AChunkClaimingMoreThanTheFileHolds) {
  PngImage im = Fixture({2, 8}, false, false, 4, 4);
  im.texts = {{"Kept", "yes"}};
  const Bytes file = testsupport::WritePngWithLibpng(im);
  // A text chunk claiming 2 GB, before the image data and after it.
  for (bool before : {true, false}) {
    SCOPED_TRACE(before ? "before" : "after");
    PngFile lying;
    for (const auto& c : testsupport::Chunks(file)) {
      if (c.name == (before ? "IDAT" : "IEND")) {
        lying.ChunkHead("tEXt", 0x7B00000A).Raw({'T', 'i', 't', 'l', 'e', 0, 'x'});
        break;
      }
      lying.Chunk(c.name, c.data);
    }
    for (bool paramsOnly : {true, false}) {
      Read r;
      ReadBytes(lying.Bytes(), r, false, paramsOnly);
      EXPECT_EQ(r.aborted, before);
      if (before) continue;
      EXPECT_EQ(r.params.PngTextKeys, std::vector<std::string>{"Kept"});
      if (!paramsOnly) ExpectPixels(im, r.bitmap, false);
    }
  }
}

TEST(PngReader, NotAPngAndBrokenHeaders) {
  const Bytes good = testsupport::WritePngWithLibpng(Fixture({2, 8}, false, false, 3, 3));
  std::vector<Bytes> bad = {Bytes{}, Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}};
  Bytes badSignature = good;
  badSignature[5] = 'x';
  bad.push_back(badSignature);
  // An IHDR of another depth than the type allows.
  PngFile badDepth;
  badDepth.IHDR(3, 3, 3, 2).IEND();
  bad.push_back(badDepth.Bytes());
  // Zero size.
  PngFile zero;
  zero.IHDR(0, 3, 8, 0).IEND();
  bad.push_back(zero.Bytes());
  for (const Bytes& b : bad) {
    for (bool paramsOnly : {true, false}) {
      Read r;
      ReadBytes(b, r, false, paramsOnly);
      EXPECT_TRUE(r.aborted);
    }
  }
}

TEST(PngReader, IsPngStreamLooksAtFourBytesAndLeavesThePosition) {
  struct Case {
    Bytes data;
    int64_t start;
    bool png;
  };
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const Case cases[] = {
      {signature, 0, true},
      {Bytes{0x89, 'P', 'N', 'G'}, 0, true},            // four bytes are enough
      {Bytes{0x89, 'P', 'N', 'G', 'x', 'x', 'x', 'x'}, 0, true},
      {Bytes{0x89, 'P', 'N'}, 0, false},                 // a short read
      {Bytes{}, 0, false},
      {Bytes{'x', 'x', 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, 2, true},
      {Bytes{'x', 'x', 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, 0, false},
      {Bytes{'x', 'x', 0x89, 'P', 'N'}, 2, false},
  };
  for (const Case& c : cases) {
    TIEMemStream s(c.data.data(), static_cast<int64_t>(c.data.size()));
    s.Seek(c.start, soBeginning);
    EXPECT_EQ(IsPngStream(s), c.png) << c.data.size() << " from " << c.start;
    EXPECT_EQ(s.Position(), c.start);
  }
}

}  // namespace
