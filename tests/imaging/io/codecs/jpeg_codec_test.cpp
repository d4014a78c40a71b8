// The JPEG codec against libjpeg called directly: every file is made by libjpeg (or by our writer and
// then read by libjpeg), and our pixels must be the library's own decode of the same bytes.
#include "imaging/io/codecs/jpeg_codec.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <memory>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "platform/system/streams.h"
#include "tests/imaging/cmyk_formulas.h"
#include "tests/imaging/icc_test_profiles.h"
#include "tests/imaging/io/codecs/jpeg_fixture.h"

namespace {

using jpegtest::Bytes;
using jpegtest::EncodeOptions;

struct ReadOptions {
  bool headerOnly = false;
  bool raw = false;
  bool metadata = true;
  bool invertCMYK = false;
  bool dropAppliedICC = true;
  bool icc = true;
  int32_t maxLines = -1;
  bool native = false;
  const Bytes* tables = nullptr;
  uint8_t scale = 1;
  int32_t width = 0, height = 0;  // the requested size of automatic scaling
};

struct Result {
  bool aborted = false;
  int32_t rows = 0;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
  int64_t endPosition = 0;
};

std::unique_ptr<Result> Read(const Bytes& file, const ReadOptions& o = {}) {
  auto r = std::make_unique<Result>();
  TIEMemStream stream(file.data(), static_cast<int64_t>(file.size()));
  std::unique_ptr<TIEMemStream> tables;
  if (o.tables) tables = std::make_unique<TIEMemStream>(o.tables->data(), static_cast<int64_t>(o.tables->size()));
  r->params.JpegScale = o.scale;
  r->params.Width = o.width;
  r->params.Height = o.height;
  TIEProgressRecord progress;
  progress.Aborting = &r->aborted;
  r->rows = ReadJpegStream(stream, tables.get(), r->bitmap, r->params, progress, o.headerOnly, o.raw, o.metadata,
                           o.invertCMYK, o.dropAppliedICC, o.icc, o.maxLines, o.native);
  r->endPosition = stream.Position();
  return r;
}

Bytes Write(TIEBitmap& bitmap, TIOParamsVals& params, bool* aborted = nullptr) {
  TMemoryStream out;
  bool abort = false;
  TIEProgressRecord progress;
  progress.Aborting = &abort;
  WriteJpegStream(out, bitmap, params, progress);
  if (aborted) *aborted = abort;
  return Bytes(static_cast<const uint8_t*>(out.Memory()), static_cast<const uint8_t*>(out.Memory()) + out.Size());
}

// A bitmap's pixels, rows from the top without padding.
Bytes Pixels(TIEBitmap& b) {
  const size_t row = static_cast<size_t>(b.Width()) * static_cast<size_t>(IEBytesPerPixel[b.PixelFormat()]);
  Bytes out;
  for (int32_t y = 0; y < b.Height(); ++y) {
    const auto* p = static_cast<const uint8_t*>(b.GetRow(y));
    out.insert(out.end(), p, p + row);
  }
  return out;
}

// R, G, B bytes as an ie24RGB bitmap.
void FromRGB(TIEBitmap& b, const Bytes& rgb, int w, int h) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
}

// CMYK input pixels (Adobe's form) of a picture: ink from the colour, some black.
Bytes CMYKOf(const Bytes& rgb) {
  Bytes out;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    const uint8_t k = std::max({rgb[i], rgb[i + 1], rgb[i + 2]});
    out.insert(out.end(), {rgb[i], rgb[i + 1], rgb[i + 2], k});
  }
  return out;
}

Bytes GreyOf(const Bytes& rgb) {
  Bytes out;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) out.push_back(static_cast<uint8_t>((rgb[i] + rgb[i + 1] * 2 + rgb[i + 2]) / 4));
  return out;
}

struct FileCase {
  const char* name;
  J_COLOR_SPACE input, file;
  int lumaH, lumaV;
  bool progressive;
  int restartRows;
};

const FileCase kFiles[] = {
    {"grey", JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, false, 0},
    {"YCbCr 4:2:0", JCS_RGB, JCS_YCbCr, 2, 2, false, 0},
    {"YCbCr 4:2:2", JCS_RGB, JCS_YCbCr, 2, 1, false, 0},
    {"YCbCr 4:4:4", JCS_RGB, JCS_YCbCr, 1, 1, false, 0},
    {"YCbCr 4:4:0", JCS_RGB, JCS_YCbCr, 1, 2, false, 0},
    {"YCbCr progressive", JCS_RGB, JCS_YCbCr, 2, 2, true, 0},
    {"YCbCr restarts", JCS_RGB, JCS_YCbCr, 2, 2, false, 1},
    {"RGB stored", JCS_RGB, JCS_RGB, 1, 1, false, 0},
    {"CMYK", JCS_CMYK, JCS_CMYK, 1, 1, false, 0},
    {"YCCK", JCS_CMYK, JCS_YCCK, 2, 2, false, 0},
    {"grey progressive", JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, true, 0},
};

Bytes MakeFile(const FileCase& c, int w, int h) {
  const Bytes rgb = jpegtest::Photo(w, h, 5);
  EncodeOptions o;
  o.width = w;
  o.height = h;
  o.input = c.input;
  o.file = c.file;
  o.lumaH = c.lumaH;
  o.lumaV = c.lumaV;
  o.progressive = c.progressive;
  o.restartRows = c.restartRows;
  const Bytes& pixels = c.input == JCS_GRAYSCALE ? GreyOf(rgb) : c.input == JCS_CMYK ? CMYKOf(rgb) : rgb;
  return jpegtest::Encode(o, pixels);
}

// ------------------------------------------------------------------------------- pixels and scale

TEST(JpegRead, PixelsAreLibjpegsOwnForEveryColourSpaceSamplingAndScale) {
  testsupport::CMYKFormulas formulas;  // CMYK into 24 bits by the formulas, as the oracle does below
  for (const FileCase& c : kFiles) {
    const Bytes file = MakeFile(c, 75, 53);  // sizes that are no multiple of a block
    ASSERT_FALSE(file.empty()) << c.name;
    for (int scale = 1; scale <= 4; ++scale) {
      const int denominator = 1 << (scale - 1);
      SCOPED_TRACE(testing::Message() << c.name << " 1/" << denominator);
      ReadOptions o;
      o.scale = static_cast<uint8_t>(scale);
      auto r = Read(file, o);
      ASSERT_FALSE(r->aborted);
      EXPECT_EQ(r->params.JpegScaleUsed, denominator);
      const bool cmyk = c.file == JCS_CMYK || c.file == JCS_YCCK;
      const jpegtest::Decoded want = jpegtest::Decode(file, cmyk ? JCS_CMYK : JCS_EXT_BGR, denominator);
      ASSERT_TRUE(want.ok);
      ASSERT_EQ(r->bitmap.PixelFormat(), ie24RGB);
      ASSERT_EQ(r->bitmap.Width(), want.width);
      ASSERT_EQ(r->bitmap.Height(), want.height);
      EXPECT_EQ(r->rows, want.height);
      EXPECT_EQ(r->params.Width, want.width);
      EXPECT_EQ(r->params.OriginalWidth, 75);
      EXPECT_EQ(r->params.OriginalHeight, 53);
      Bytes expected = want.pixels;
      if (cmyk) {
        // The formulas: R = C * K / 255 ... on Adobe's inverted bytes.
        expected.clear();
        for (size_t i = 0; i + 3 < want.pixels.size(); i += 4) {
          const uint32_t k = want.pixels[i + 3];
          expected.insert(expected.end(), {static_cast<uint8_t>(want.pixels[i + 2] * k / 255),
                                           static_cast<uint8_t>(want.pixels[i + 1] * k / 255),
                                           static_cast<uint8_t>(want.pixels[i] * k / 255)});
        }
      }
      EXPECT_TRUE(Pixels(r->bitmap) == expected);
    }
  }
}

TEST(JpegRead, ParametersOfEachColourSpace) {
  struct Want {
    const char* name;
    uint8_t space;
    int32_t samples;
  };
  const Want wants[] = {{"grey", 1, 1}, {"YCbCr 4:2:0", 2, 3}, {"RGB stored", 0, 3}, {"CMYK", 3, 4}, {"YCCK", 4, 4},
                        {"YCbCr progressive", 2, 3}};
  for (const Want& w : wants) {
    SCOPED_TRACE(w.name);
    const FileCase* c = std::find_if(std::begin(kFiles), std::end(kFiles), [&](const FileCase& f) { return std::strcmp(f.name, w.name) == 0; });
    for (bool headerOnly : {true, false}) {
      ReadOptions o;
      o.headerOnly = headerOnly;
      auto r = Read(MakeFile(*c, 40, 30), o);
      ASSERT_FALSE(r->aborted);
      EXPECT_EQ(r->params.JpegColorSpace, w.space);
      EXPECT_EQ(r->params.SamplesPerPixel, w.samples);
      EXPECT_EQ(r->params.BitsPerSample, 8);
      EXPECT_EQ(r->params.ImageCount, 1);
      EXPECT_EQ(r->params.JpegProgressive, c->progressive);
      EXPECT_EQ(r->params.Width, 40);
      EXPECT_EQ(r->params.Height, 30);
      EXPECT_EQ(r->rows, headerOnly ? 0 : 30);
      if (headerOnly) {
        EXPECT_TRUE(r->bitmap.IsEmpty());
      }
    }
  }
}

TEST(JpegRead, NativeFormatsKeepGreyAndCMYK) {
  for (const char* name : {"grey", "CMYK", "YCCK", "YCbCr 4:2:0"}) {
    SCOPED_TRACE(name);
    const FileCase* c = std::find_if(std::begin(kFiles), std::end(kFiles), [&](const FileCase& f) { return std::strcmp(f.name, name) == 0; });
    const Bytes file = MakeFile(*c, 33, 17);
    ReadOptions o;
    o.native = true;
    auto r = Read(file, o);
    ASSERT_FALSE(r->aborted);
    const bool grey = c->file == JCS_GRAYSCALE, cmyk = c->file == JCS_CMYK || c->file == JCS_YCCK;
    EXPECT_EQ(r->bitmap.PixelFormat(), grey ? ie8g : cmyk ? ieCMYK : ie24RGB);
    EXPECT_TRUE(Pixels(r->bitmap) == jpegtest::Decode(file, grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR).pixels);
  }
}

TEST(JpegRead, InvertedCMYKTurnsEveryByteOverOnBothRoutes) {
  testsupport::CMYKFormulas formulas;
  const Bytes file = MakeFile(kFiles[8], 29, 5);
  const Bytes cmyk = jpegtest::Decode(file, JCS_CMYK).pixels;
  for (bool native : {false, true}) {
    SCOPED_TRACE(native);
    ReadOptions o;
    o.native = native;
    o.invertCMYK = true;
    auto r = Read(file, o);
    ASSERT_FALSE(r->aborted);
    Bytes expected;
    for (size_t i = 0; i + 3 < cmyk.size(); i += 4) {
      const uint8_t c = 255 - cmyk[i], m = 255 - cmyk[i + 1], y = 255 - cmyk[i + 2], k = 255 - cmyk[i + 3];
      if (native)
        expected.insert(expected.end(), {c, m, y, k});
      else
        expected.insert(expected.end(), {static_cast<uint8_t>(y * k / 255), static_cast<uint8_t>(m * k / 255),
                                         static_cast<uint8_t>(c * k / 255)});
    }
    EXPECT_TRUE(Pixels(r->bitmap) == expected);  // the last pixel of each row included
  }
}

TEST(JpegRead, AutomaticScaleTakesTheSmallestThatCoversTheRequestedSize) {
  struct Case {
    int w, h, wantW, wantH, denominator;
  };
  const Case cases[] = {{900, 700, 1000, 750, 4}, {4001, 10, 4000, 3000, 1}, {500, 375, 500, 375, 8},
                        {501, 1, 1000, 750, 4},  {0, 700, 4000, 3000, 1}};
  EncodeOptions big;
  big.width = 4000;
  big.height = 3000;
  big.input = JCS_GRAYSCALE;
  big.file = JCS_GRAYSCALE;
  const Bytes file = jpegtest::Encode(big, Bytes(4000 * 3000, 128));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    ReadOptions o;
    o.scale = 0;
    o.width = c.w;
    o.height = c.h;
    o.headerOnly = true;
    auto r = Read(file, o);
    EXPECT_EQ(r->params.JpegScaleUsed, c.denominator);
    EXPECT_EQ(r->params.Width, 4000);  // the parameters only: the full size
  }
  ReadOptions o;
  o.scale = 0;
  o.width = 900;
  o.height = 700;
  auto r = Read(file, o);
  EXPECT_EQ(r->bitmap.Width(), 1000);
  EXPECT_EQ(r->bitmap.Height(), 750);
  EXPECT_EQ(r->params.Width, 1000);
  EXPECT_EQ(r->params.OriginalWidth, 4000);
}

TEST(JpegRead, MaxLinesDecodesThatManyRowsWithoutFailing) {
  const Bytes file = MakeFile(kFiles[1], 64, 40);
  const Bytes all = jpegtest::Decode(file, JCS_EXT_BGR).pixels;
  for (int32_t lines : {1, 17, 39}) {
    ReadOptions o;
    o.maxLines = lines;
    auto r = Read(file, o);
    EXPECT_EQ(r->rows, lines);
    EXPECT_FALSE(r->aborted) << lines;
    const Bytes got = Pixels(r->bitmap);
    EXPECT_TRUE(std::equal(all.begin(), all.begin() + 64 * 3 * lines, got.begin()));
  }
  ReadOptions more;
  more.maxLines = 41;  // more than the image has
  auto r = Read(file, more);
  EXPECT_EQ(r->rows, 40);
  EXPECT_TRUE(r->aborted);
}

TEST(JpegRead, RawComponentsComeAsStored) {
  // YCbCr files give Y, Cb, Cr; a file stored as RGB gives blue, green, red.
  const Bytes ycc = MakeFile(kFiles[1], 30, 20);
  ReadOptions o;
  o.raw = true;
  auto r = Read(ycc, o);
  ASSERT_FALSE(r->aborted);
  EXPECT_TRUE(Pixels(r->bitmap) == jpegtest::Decode(ycc, JCS_YCbCr).pixels);
  const Bytes rgb = MakeFile(kFiles[7], 30, 20);
  r = Read(rgb, o);
  ASSERT_FALSE(r->aborted);
  EXPECT_TRUE(Pixels(r->bitmap) == jpegtest::Decode(rgb, JCS_EXT_BGR).pixels);
  // Without RawYCbCr the RGB file's colours are right as well: red stays red.
  EncodeOptions red;
  red.width = 16;
  red.height = 8;
  red.file = JCS_RGB;
  Bytes pixels;
  for (int i = 0; i < 16 * 8; ++i) pixels.insert(pixels.end(), {250, 10, 10});
  r = Read(jpegtest::Encode(red, pixels));
  const TIERGB c = r->bitmap.GetPixel24(5, 5);
  EXPECT_GT(c.r, 240);
  EXPECT_LT(c.b, 20);
}

TEST(JpegRead, ATablesStreamGoesFirst) {
  const Bytes rgb = jpegtest::Photo(48, 32, 2);
  EncodeOptions t;
  t.width = 48;
  t.height = 32;
  t.quality = 40;
  t.tablesOnly = true;
  const Bytes tables = jpegtest::Encode(t, rgb);
  EncodeOptions i = t;
  i.tablesOnly = false;
  i.imageOnly = true;
  const Bytes image = jpegtest::Encode(i, rgb);
  ASSERT_FALSE(tables.empty());
  ASSERT_FALSE(image.empty());
  // Without its tables the image cannot be decoded; with them it is the library's own decode.
  EXPECT_TRUE(Read(image)->aborted);
  ReadOptions o;
  o.tables = &tables;
  auto r = Read(image, o);
  ASSERT_FALSE(r->aborted);
  EXPECT_TRUE(Pixels(r->bitmap) == jpegtest::Decode(image, JCS_EXT_BGR, 1, tables).pixels);
}

// ------------------------------------------------------------------------------------ resolution

TEST(JpegRead, ResolutionFromTheJFIFDensity) {
  struct Case {
    bool jfif;
    int unit, x, y;
    int32_t dpiX, dpiY;
  };
  const Case cases[] = {
      {true, 2, 72, 40, 182, 101},  // dots per centimetre: Trunc(72 * 2.54), Trunc(40 * 2.54)
      {true, 1, 300, 150, 300, 150},
      {true, 0, 2, 1, 2, 1},        // an aspect ratio only
      {false, 1, 300, 300, 1, 1},   // no JFIF header: the library's 1 x 1
  };
  for (const Case& c : cases) {
    EncodeOptions o;
    o.width = 8;
    o.height = 8;
    o.jfif = c.jfif;
    o.densityUnit = c.unit;
    o.densityX = c.x;
    o.densityY = c.y;
    auto r = Read(jpegtest::Encode(o, Bytes(8 * 8 * 3, 100)));
    EXPECT_EQ(r->params.DpiX, c.dpiX) << c.unit << " " << c.x;
    EXPECT_EQ(r->params.DpiY, c.dpiY);
  }
}

// ------------------------------------------------------------------------------------- markers

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(JpegRead, MarkersAreKeptButTheFirstAPP0) {
  EncodeOptions o;
  o.width = 8;
  o.height = 8;
  o.markers = {{JPEG_COM, Text("a comment")}, {JPEG_APP0, Text("second APP0")}, {JPEG_APP0 + 9, Text("app9")},
               {JPEG_APP0 + 14, Text("Not Adobe")}};
  auto r = Read(jpegtest::Encode(o, Bytes(8 * 8 * 3, 50)));
  ASSERT_FALSE(r->aborted);
  const TIEMarkerList& m = r->params.JpegMarkers;
  ASSERT_EQ(m.GetCount(), 4);  // the JFIF APP0 is not among them
  EXPECT_EQ(m.GetMarkerType(0), 0xFE);
  EXPECT_EQ(m.GetMarkerType(1), 0xE0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.GetMarkerData(1)), 11), "second APP0");
  EXPECT_EQ(m.GetMarkerType(2), 0xE9);
  EXPECT_EQ(m.GetMarkerType(3), 0xEE);
}

TEST(JpegWrite, MarkersGoOutSortedAndAPP14NeverFromTheList) {
  TIEBitmap b;
  FromRGB(b, jpegtest::Photo(16, 16), 16, 16);
  TIOParamsVals p(nullptr);
  p.JpegMarkers.AddMarker(0xE9, "nine", 4);
  p.JpegMarkers.AddMarker(0xEE, "Adobe\0\0\0\0\0\0\0", 12);
  p.JpegMarkers.AddMarker(0xE1, "one", 3);
  p.JpegMarkers.AddMarker(0xFE, "note", 4);
  const jpegtest::Decoded d = jpegtest::Decode(Write(b, p), JCS_EXT_BGR);
  ASSERT_TRUE(d.ok);
  std::vector<int> codes;
  for (const auto& m : d.markers) codes.push_back(m.code);
  // The library's JFIF APP0 first, then the list's in code order; no APP14 (YCbCr needs none).
  EXPECT_EQ(codes, (std::vector<int>{0xE0, 0xE1, 0xE9, 0xFE}));
}

TEST(JpegRead, IPTCFromTheFirstAPP13ThatHoldsIt) {
  TIEIPTCInfoList list;
  list.AddData(2, 120, "a caption", 9);
  void* block = nullptr;
  int32_t size = 0;
  list.SaveToBuffer(block, size, true);
  EncodeOptions o;
  o.width = 8;
  o.height = 8;
  o.markers = {{JPEG_APP0 + 13, Text("Photoshop 3.0 but nothing")},
               {JPEG_APP0 + 13, Bytes(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size)}};
  std::free(block);
  const Bytes file = jpegtest::Encode(o, Bytes(8 * 8 * 3, 50));
  for (bool headerOnly : {false, true}) {
    ReadOptions ro;
    ro.headerOnly = headerOnly;
    auto r = Read(file, ro);
    ASSERT_EQ(r->params.IPTC.GetCount(), 1);
    EXPECT_EQ(r->params.IPTC.DataSetNumber(0), 120);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r->params.IPTC.Data(0)), 9), "a caption");
  }
  ReadOptions none;
  none.metadata = false;
  EXPECT_EQ(Read(file, none)->params.IPTC.GetCount(), 0);
}

// ----------------------------------------------------------------------------------- ICC profiles

// An ICC_PROFILE chunk: signature, number, count, payload.
Bytes Chunk(int number, int count, const Bytes& payload) {
  Bytes b = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, static_cast<uint8_t>(number),
             static_cast<uint8_t>(count)};
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

TEST(JpegICC, ChunksAreJoinedInOrderAndBadOnesPassedOver) {
  const Bytes profile = testsupport::SRGBProfileBytes();
  const size_t half = profile.size() / 2;
  const Bytes a(profile.begin(), profile.begin() + half), b(profile.begin() + half, profile.end());
  struct Case {
    const char* name;
    std::vector<Bytes> chunks;
    bool loaded;
  };
  const Case cases[] = {
      {"two chunks", {Chunk(1, 2, a), Chunk(2, 2, b)}, true},
      {"in reverse order", {Chunk(2, 2, b), Chunk(1, 2, a)}, true},
      {"number 0 passed over", {Chunk(0, 2, b), Chunk(1, 2, a), Chunk(2, 2, b)}, true},
      {"number above the count", {Chunk(3, 2, b), Chunk(1, 2, a), Chunk(2, 2, b)}, true},
      {"another count", {Chunk(1, 2, a), Chunk(2, 3, a), Chunk(2, 2, b)}, true},
      {"repeated chunk", {Chunk(1, 2, a), Chunk(1, 2, b), Chunk(2, 2, b)}, true},
      {"header cut short", {Bytes{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1}, Chunk(1, 2, a), Chunk(2, 2, b)}, true},
      {"an empty chunk passed over", {Chunk(1, 2, a), Chunk(2, 2, Bytes{}), Chunk(2, 2, b)}, true},
      {"a chunk missing", {Chunk(1, 3, a), Chunk(3, 3, b)}, false},
      {"count 0", {Chunk(1, 0, profile)}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncodeOptions o;
    o.width = 8;
    o.height = 8;
    for (const Bytes& chunk : c.chunks) o.markers.push_back({JPEG_APP0 + 2, chunk});
    const Bytes file = jpegtest::Encode(o, Bytes(8 * 8 * 3, 50));
    TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
    s.Seek(3, soBeginning);
    TIOParamsVals p(nullptr);
    ReadJpegICCProfile(s, p);
    EXPECT_EQ(s.Position(), 3);
    if (!c.loaded) {
      EXPECT_TRUE(p.InputICCProfile() == nullptr || p.InputICCProfile()->RawLength() == 0);
      continue;
    }
    ASSERT_NE(p.InputICCProfile(), nullptr);
    EXPECT_TRUE(Bytes(p.InputICCProfile()->Raw(), p.InputICCProfile()->Raw() + p.InputICCProfile()->RawLength()) ==
                profile);
    EXPECT_TRUE(p.InputICCProfile()->IsValid());
  }
}

TEST(JpegICC, ScansStopAtShortSegmentLengthsAndTheEnd) {
  // FF E1 with a length of 0 or 1 would walk backwards or stand still: the scan ends there.
  for (const Bytes& data : {Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x00, 0xFF, 0xE2, 0x00},
                            Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01},
                            Bytes{0xFF, 0xD8, 0xFF, 0xE2, 0x40, 0x00, 'I', 'C', 'C'},
                            Bytes{0xFF, 0xD8, 0xFF}}) {
    TIEMemStream s(data.data(), static_cast<int64_t>(data.size()));
    TIOParamsVals p(nullptr);
    ReadJpegICCProfile(s, p);
    EXPECT_EQ(p.InputICCProfile(), nullptr);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_LE(JpegStreamLength(s), static_cast<int64_t>(data.size()));
    EXPECT_EQ(s.Position(), 0);
  }
}

TEST(JpegICC, TheFilesProfileConvertsOnlyWithColourManagementAndIsDroppedOnceApplied) {
  const Bytes profile = testsupport::GammaRGBProfileBytes(1.0);  // a linear file: lighter through its profile
  EncodeOptions o;
  o.width = 16;
  o.height = 8;
  o.markers = {{JPEG_APP0 + 2, Chunk(1, 1, profile)}, {JPEG_COM, Text("kept")}};
  const Bytes file = jpegtest::Encode(o, Bytes(16 * 8 * 3, 64));
  const Bytes plain = jpegtest::Decode(file, JCS_EXT_BGR).pixels;

  ICCConversionEnabled = false;
  auto r = Read(file);
  EXPECT_TRUE(Pixels(r->bitmap) == plain);
  EXPECT_EQ(r->params.JpegMarkers.GetCount(), 2);  // the APP2 stays
  ASSERT_NE(r->params.InputICCProfile(), nullptr);
  EXPECT_TRUE(r->params.InputICCProfile()->IsValid());

  ICCConversionEnabled = true;
  r = Read(file);
  ICCConversionEnabled = false;
  ASSERT_FALSE(r->aborted);
  // Linear 64 is sRGB's 137 or so: converted, much lighter.
  EXPECT_GT(r->bitmap.GetPixel24(3, 3).g, 120);
  EXPECT_TRUE(r->params.InputICCProfile()->Applied());
  ASSERT_EQ(r->params.JpegMarkers.GetCount(), 1);  // the APP2 markers went with the profile
  EXPECT_EQ(r->params.JpegMarkers.GetMarkerType(0), 0xFE);
}

// ----------------------------------------------------------------------------------- damaged data

TEST(JpegRead, ACutFileDecodesToItsEndWithAWarning) {
  const Bytes file = MakeFile(kFiles[1], 64, 64);
  const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() * 2 / 3));
  auto r = Read(cut);
  EXPECT_FALSE(r->aborted);
  EXPECT_EQ(r->rows, 64);
  EXPECT_GT(r->params.JpegWarningCount, 0);
  EXPECT_NE(r->params.JpegWarningCode, 0);
  // The top rows are the whole file's.
  const Bytes whole = jpegtest::Decode(file, JCS_EXT_BGR).pixels;
  const Bytes got = Pixels(r->bitmap);
  EXPECT_TRUE(Bytes(whole.begin(), whole.begin() + 64 * 3 * 8) == Bytes(got.begin(), got.begin() + 64 * 3 * 8));
}

TEST(JpegRead, DamagedDataBetweenRestartMarkersLoadsWithAWarning) {
  // One restart interval per MCU row: a spoilt restart marker costs the picture from there as the
  // library resynchronises, and the image loads with a warning.
  const FileCase restarts = kFiles[6];
  ASSERT_EQ(restarts.restartRows, 1);
  const Bytes file = MakeFile(restarts, 64, 64);
  Bytes damaged = file;
  size_t sos = 0;
  for (size_t i = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xDA) sos = i;
  ASSERT_GT(sos, 0u);
  // The second restart marker and the bytes before it zeroed: the decoder runs into the next
  // interval, finds a marker it did not expect and resynchronises.
  size_t marker = 0;
  for (size_t i = sos, seen = 0; i + 1 < file.size() && !marker; ++i)
    if (file[i] == 0xFF && file[i + 1] >= 0xD0 && file[i + 1] <= 0xD7 && ++seen == 2) marker = i;
  ASSERT_GT(marker, sos + 8);
  for (size_t i = marker - 6; i < marker + 2; ++i) damaged[i] = 0;
  auto r = Read(damaged);
  EXPECT_FALSE(r->aborted);
  EXPECT_EQ(r->rows, 64);
  EXPECT_GT(r->params.JpegWarningCount, 0);
  // The pixels are the library's own decoding of the damaged file: the first interval intact (bar
  // its last rows, whose chroma is upsampled from the next).
  const Bytes got = Pixels(r->bitmap);
  const jpegtest::Decoded want = jpegtest::Decode(damaged, JCS_EXT_BGR);
  ASSERT_TRUE(want.ok);
  EXPECT_TRUE(got == want.pixels);
  const Bytes whole = jpegtest::Decode(file, JCS_EXT_BGR).pixels;
  const size_t firstRows = 64 * 3 * 12;
  EXPECT_TRUE(Bytes(whole.begin(), whole.begin() + firstRows) == Bytes(got.begin(), got.begin() + firstRows));
  EXPECT_FALSE(whole == got);
}

TEST(JpegRead, SamplePrecisionsOtherThanEightAreRefused) {
  // The library here decodes 8-bit samples: a 12-bit (or 16-bit) frame fails cleanly, also for a
  // read of the parameters.
  for (const uint8_t precision : {12, 16}) {
    Bytes file = MakeFile(kFiles[1], 16, 16);
    for (size_t i = 0; i + 4 < file.size(); ++i)
      if (file[i] == 0xFF && file[i + 1] == 0xC0) {
        ASSERT_EQ(file[i + 4], 8);
        file[i + 4] = precision;
        break;
      }
    for (bool headerOnly : {false, true}) {
      ReadOptions o;
      o.headerOnly = headerOnly;
      auto r = Read(file, o);
      EXPECT_TRUE(r->aborted) << int(precision);
      EXPECT_EQ(r->rows, 0);
      EXPECT_TRUE(r->bitmap.IsEmpty());
    }
  }
}

TEST(JpegRead, NothingToReadFails) {
  struct Case {
    const char* name;
    Bytes data;
  };
  Bytes junk200(200, 0x11);
  junk200.insert(junk200.end(), {0xFF, 0xD8, 0xFF, 0xE0});
  Bytes noFrame = {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x04, 'h', 'i', 0xFF, 0xD9};
  const Case cases[] = {{"empty", {}}, {"start of image after 200 bytes", junk200}, {"no frame", noFrame},
                        {"only the start", {0xFF, 0xD8, 0xFF}}};
  for (const Case& c : cases) {
    for (bool headerOnly : {false, true}) {
      ReadOptions o;
      o.headerOnly = headerOnly;
      auto r = Read(c.data, o);
      EXPECT_TRUE(r->aborted) << c.name;
      EXPECT_EQ(r->rows, 0) << c.name;
    }
  }
}

TEST(JpegRead, JunkBeforeTheStartOfImageIsPassedOver) {
  Bytes file(100, 0x42);
  const Bytes jpeg = MakeFile(kFiles[0], 8, 8);
  file.insert(file.end(), jpeg.begin(), jpeg.end());
  auto r = Read(file);
  EXPECT_FALSE(r->aborted);
  EXPECT_EQ(r->rows, 8);
  EXPECT_EQ(r->endPosition, static_cast<int64_t>(file.size()));  // just after the image
}

// A frame header that claims a large image over a few bytes of data.
Bytes Claim(int width, int height, bool progressive) {
  EncodeOptions o;
  o.width = 8;
  o.height = 8;
  o.input = JCS_GRAYSCALE;
  o.file = JCS_GRAYSCALE;
  o.progressive = progressive;
  Bytes file = jpegtest::Encode(o, Bytes(64, 128));
  // Patch the frame header's height and width.
  for (size_t i = 0; i + 8 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
      file[i + 5] = static_cast<uint8_t>(height >> 8);
      file[i + 6] = static_cast<uint8_t>(height);
      file[i + 7] = static_cast<uint8_t>(width >> 8);
      file[i + 8] = static_cast<uint8_t>(width);
      break;
    }
  }
  return file;
}

TEST(JpegRead, AHugeImageOverAFewBytesIsRefusedBeforeAnythingIsAllocated) {
  for (bool progressive : {false, true}) {
    IEImageSizeGateLogForTesting(true);
    auto r = Read(Claim(60000, 60000, progressive));
    EXPECT_TRUE(r->aborted);
    EXPECT_TRUE(r->bitmap.IsEmpty());
    const TIEImageSizeGateLog log = IEImageSizeGateLogForTesting();
    EXPECT_EQ(log.Refused, 1);
    // Its parameters are still read.
    ReadOptions o;
    o.headerOnly = true;
    r = Read(Claim(60000, 60000, progressive), o);
    EXPECT_FALSE(r->aborted);
    EXPECT_EQ(r->params.Width, 60000);
  }
  // A small picture passes whatever its data (a cut file keeps what it has).
  auto r = Read(Claim(900, 900, false));
  EXPECT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.Width(), 900);
}

TEST(JpegRead, ArithmeticCodedFilesReadAndAFlatOnePassesTheGate) {
  // A photo: the library's own decode.
  EncodeOptions o;
  o.width = 50;
  o.height = 30;
  o.arithmetic = true;
  const Bytes photo = jpegtest::Encode(o, jpegtest::Photo(50, 30));
  ASSERT_FALSE(photo.empty());
  auto r = Read(photo);
  ASSERT_FALSE(r->aborted);
  EXPECT_TRUE(Pixels(r->bitmap) == jpegtest::Decode(photo, JCS_EXT_BGR).pixels);
  // A flat 2048 x 2048 grey picture codes its 65,536 blocks in a few bytes, far fewer than Huffman
  // coding could; it is still taken for what it is.
  o.width = o.height = 2048;
  o.input = o.file = JCS_GRAYSCALE;
  const Bytes flat = jpegtest::Encode(o, Bytes(2048 * 2048, 200));
  ASSERT_LT(flat.size(), 1000u);
  ReadOptions native;
  native.native = true;
  r = Read(flat, native);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.Width(), 2048);
  EXPECT_EQ(r->bitmap.GetPixel8(2047, 2047), 200);
}

TEST(JpegRead, EndlessScansAreRefused) {
  // A progressive grey file whose DC refinement scan is repeated thousands of times.
  EncodeOptions o;
  o.width = 64;
  o.height = 64;
  o.input = JCS_GRAYSCALE;
  o.file = JCS_GRAYSCALE;
  o.progressive = true;
  const Bytes file = jpegtest::Encode(o, Bytes(64 * 64, 77));
  // Find the last scan (from its SOS to the EOI) and repeat it.
  size_t lastSOS = 0;
  for (size_t i = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xDA) lastSOS = i;
  ASSERT_GT(lastSOS, 0u);
  Bytes hostile(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(lastSOS));
  const Bytes scan(file.begin() + static_cast<std::ptrdiff_t>(lastSOS), file.end() - 2);
  for (int i = 0; i < 3000; ++i) hostile.insert(hostile.end(), scan.begin(), scan.end());
  hostile.insert(hostile.end(), {0xFF, 0xD9});
  auto r = Read(hostile);
  EXPECT_TRUE(r->aborted);
  // Under the limit the same kind of file reads.
  Bytes fine(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(lastSOS));
  for (int i = 0; i < 20; ++i) fine.insert(fine.end(), scan.begin(), scan.end());
  fine.insert(fine.end(), {0xFF, 0xD9});
  EXPECT_FALSE(Read(fine)->aborted);
}

// ----------------------------------------------------------------------------------- scanners

TEST(JpegScan, FindJpegSOI) {
  struct Case {
    Bytes data;
    bool limited;
    int64_t at;
  };
  Bytes at149(149, 0);
  at149.insert(at149.end(), {0xFF, 0xD8, 0xFF});
  Bytes at150(150, 0);
  at150.insert(at150.end(), {0xFF, 0xD8, 0xFF});
  const Case cases[] = {
      {{0xFF, 0xD8, 0xFF, 0xE0}, true, 5},  // from position 5 of the stream (5 bytes of junk before)
      {{0xFF, 0xD8, 0xFF, 0xE0}, false, 0},
      {{0x00, 0xFF, 0xD8, 0xFF}, false, -1},
      {{0x00, 0xFF, 0xD8, 0xFF}, true, 6},
      {{0xFF, 0xD8, 0xFE}, true, -1},
      {{0xFF, 0xD8}, true, -1},
      {at149, true, 5 + 149},
      {at150, true, -1},
  };
  for (const Case& c : cases) {
    Bytes data(5, 0xAA);
    data.insert(data.end(), c.data.begin(), c.data.end());
    TIEMemStream s(data.data(), static_cast<int64_t>(data.size()));
    s.Seek(5, soBeginning);
    EXPECT_EQ(FindJpegSOI(s, c.limited), c.at) << c.data.size();
    EXPECT_EQ(s.Position(), 5);
  }
}

TEST(JpegScan, StreamLengthWalksTheSegments) {
  const Bytes jpeg = MakeFile(kFiles[1], 40, 24);
  struct Case {
    const char* name;
    Bytes data;
    int64_t length;
  };
  Bytes twoImages = jpeg;
  twoImages.insert(twoImages.end(), jpeg.begin(), jpeg.end());
  Bytes noEnd(jpeg.begin(), jpeg.end() - 2);
  // An APP1 segment whose data holds FF D9: passed over by its length.
  Bytes hidden = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x06, 0xFF, 0xD9, 0xFF, 0xD9, 0xFF, 0xFF, 0xD9, 0x12};
  const Case cases[] = {
      {"one image", jpeg, static_cast<int64_t>(jpeg.size())},
      {"the first of two", twoImages, static_cast<int64_t>(jpeg.size())},
      {"no end of image", noEnd, static_cast<int64_t>(noEnd.size())},
      {"end inside a segment and after fill bytes", hidden, 13},
      {"a length of 1 stops", {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xD9}, 6},
      {"a length beyond the end", {0xFF, 0xD8, 0xFF, 0xE1, 0x10, 0x00, 0x01}, 7},
  };
  for (const Case& c : cases) {
    TIEMemStream s(c.data.data(), static_cast<int64_t>(c.data.size()));
    EXPECT_EQ(JpegStreamLength(s), c.length) << c.name;
    EXPECT_EQ(s.Position(), 0) << c.name;
  }
}

// ------------------------------------------------------------------------------------- writing

TEST(JpegWrite, EachColourSpaceRoundTrips) {
  testsupport::CMYKFormulas formulas;
  const Bytes rgb = jpegtest::Photo(64, 48, 9);
  struct Case {
    uint8_t space;
    J_COLOR_SPACE stored;
    bool adobe, jfif;
    double minPSNR;  // against the picture written
  };
  // RGB files carry the Adobe marker in place of JFIF (as libjpeg writes them); CMYK files get
  // JFIF as well.
  const Case cases[] = {{0, JCS_RGB, true, false, 30},     {1, JCS_GRAYSCALE, false, true, 0},
                        {2, JCS_YCbCr, false, true, 30},   {3, JCS_CMYK, true, true, 25},
                        {4, JCS_YCCK, true, false, 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.space));
    TIEBitmap b;
    FromRGB(b, rgb, 64, 48);
    TIOParamsVals p(nullptr);
    p.JpegColorSpace = c.space;
    p.JpegQuality = 90;
    const Bytes file = Write(b, p);
    const bool cmyk = c.stored == JCS_CMYK || c.stored == JCS_YCCK;
    const jpegtest::Decoded d =
        jpegtest::Decode(file, c.stored == JCS_GRAYSCALE ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.fileSpace, c.stored);
    EXPECT_EQ(d.sawAdobe, c.adobe);
    EXPECT_EQ(d.sawJFIF, c.jfif);
    // Our reader gives libjpeg's decode (CMYK by the formulas, as written).
    auto r = Read(file);
    ASSERT_FALSE(r->aborted);
    EXPECT_EQ(r->params.JpegColorSpace, c.space);
    if (c.stored == JCS_GRAYSCALE) {
      Bytes grey3;
      for (uint8_t v : d.pixels) grey3.insert(grey3.end(), {v, v, v});
      EXPECT_TRUE(Pixels(r->bitmap) == grey3);
    } else if (cmyk) {
      EXPECT_GT(jpegtest::PSNR(Pixels(r->bitmap), Pixels(b)), c.minPSNR);
      ReadOptions native;
      native.native = true;
      EXPECT_TRUE(Pixels(Read(file, native)->bitmap) == d.pixels);
    } else {
      EXPECT_TRUE(Pixels(r->bitmap) == d.pixels);
      EXPECT_GT(jpegtest::PSNR(d.pixels, Pixels(b)), c.minPSNR);
    }
  }
  // A file written as RGB stores red, green, blue: libjpeg's RGB output of a red picture is red first.
  TIEBitmap red(8, 8, ie24RGB);
  red.Fill(RGBToTColor(CreateRGB(250, 5, 5)));
  TIOParamsVals p(nullptr);
  p.JpegColorSpace = 0;
  const jpegtest::Decoded d = jpegtest::Decode(Write(red, p), JCS_RGB);
  EXPECT_GT(d.pixels[0], 240);
  EXPECT_LT(d.pixels[2], 20);
}

TEST(JpegWrite, OptionsReachTheFile) {
  const Bytes rgb = jpegtest::Photo(96, 64, 4);
  TIEBitmap b;
  FromRGB(b, rgb, 96, 64);
  auto write = [&](auto setup) {
    TIOParamsVals p(nullptr);
    setup(p);
    return Write(b, p);
  };
  // Subsampling of the first component.
  const int sampling[3][2] = {{2, 1}, {2, 2}, {1, 1}};
  for (uint8_t s = 0; s < 3; ++s) {
    const jpegtest::Decoded d = jpegtest::Decode(write([&](TIOParamsVals& p) { p.JpegChromaSubsampling = s; }), JCS_EXT_BGR);
    EXPECT_EQ(d.sampling[0][0], sampling[s][0]);
    EXPECT_EQ(d.sampling[0][1], sampling[s][1]);
    EXPECT_EQ(d.sampling[1][0], 1);
  }
  // Density in dots per inch; 0 takes the engine's default.
  jpegtest::Decoded d = jpegtest::Decode(write([](TIOParamsVals& p) { p.DpiX = 150; p.DpiY = 75; }), JCS_EXT_BGR);
  EXPECT_EQ(d.densityUnit, 1);
  EXPECT_EQ(d.densityX, 150);
  EXPECT_EQ(d.densityY, 75);
  d = jpegtest::Decode(write([](TIOParamsVals& p) { p.DpiX = 0; p.DpiY = 0; }), JCS_EXT_BGR);
  EXPECT_EQ(d.densityX, DefaultDPIX);
  // Progressive, quality, optimal Huffman.
  EXPECT_TRUE(jpegtest::Decode(write([](TIOParamsVals& p) { p.JpegProgressive = true; }), JCS_EXT_BGR).progressive);
  const Bytes q30 = write([](TIOParamsVals& p) { p.JpegQuality = 30; });
  const Bytes q95 = write([](TIOParamsVals& p) { p.JpegQuality = 95; });
  EXPECT_LT(q30.size(), q95.size());
  EXPECT_LT(jpegtest::PSNR(jpegtest::Decode(q30, JCS_EXT_BGR).pixels, Pixels(b)),
            jpegtest::PSNR(jpegtest::Decode(q95, JCS_EXT_BGR).pixels, Pixels(b)));
  EXPECT_LT(write([](TIOParamsVals& p) { p.JpegOptimalHuffman = true; }).size(), write([](TIOParamsVals&) {}).size());
  // The DCT methods give different files of the same picture.
  EXPECT_NE(write([](TIOParamsVals& p) { p.JpegDCTMethod = 1; }), write([](TIOParamsVals& p) { p.JpegDCTMethod = 0; }));
  EXPECT_NE(write([](TIOParamsVals& p) { p.JpegSmooth = 50; }), write([](TIOParamsVals&) {}));
}

TEST(JpegWrite, OtherFormatsGoThroughACopy) {
  for (TIEPixelFormat f : {ie1g, ie8g, ie16g, ie8p, ieCMYK, ieRGB48, ie32RGB}) {
    SCOPED_TRACE(int(f));
    TIEBitmap b(20, 10, f);
    b.Fill(0);
    const Bytes before = Pixels(b);
    TIOParamsVals p(nullptr);
    bool aborted = true;
    const Bytes file = Write(b, p, &aborted);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_TRUE(Pixels(b) == before);
    EXPECT_EQ(jpegtest::Decode(file, JCS_EXT_BGR).width, 20);
  }
}

TEST(JpegWrite, FailuresAreReported) {
  // An empty bitmap: the abort flag, nothing written.
  TIEBitmap empty;
  TIOParamsVals p(nullptr);
  bool aborted = false;
  EXPECT_TRUE(Write(empty, p, &aborted).empty());
  EXPECT_TRUE(aborted);
  // The library's own error, with its text.
  TIEBitmap wide(65501, 1, ie24RGB);
  TMemoryStream out;
  TIEProgressRecord progress;
  aborted = false;
  progress.Aborting = &aborted;
  try {
    WriteJpegStream(out, wide, p, progress);
    ADD_FAILURE() << "no exception";
  } catch (const EIEJpegException& e) {
    EXPECT_STREQ(e.what(), "Maximum supported image dimension is ? pixels");
  }
  EXPECT_TRUE(aborted);
  // A stream that takes nothing: the abort flag.
  TIEBitmap b(64, 64, ie24RGB);
  TIEMemStream readOnly(nullptr, 0);
  aborted = false;
  WriteJpegStream(readOnly, b, p, progress);
  EXPECT_TRUE(aborted);
}

TEST(JpegWrite, ProgressIsReportedPerRowOnceEachPercentage) {
  TIEBitmap b;
  FromRGB(b, jpegtest::Photo(50, 250), 50, 250);
  TIOParamsVals p(nullptr);
  std::vector<int32_t> seen;
  TIEProgressRecord progress;
  bool aborted = false;
  progress.Aborting = &aborted;
  progress.OnProgress = [&](TObject*, int32_t percent) { seen.push_back(percent); };
  TMemoryStream out;
  WriteJpegStream(out, b, p, progress);
  ASSERT_EQ(seen.size(), 101u);  // Trunc(rows * 100 / 250) for rows 1 .. 250: 0 .. 100
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  seen.clear();
  progress.LastReported = -1;
  TIEMemStream in(out.Memory(), out.Size());
  TIEBitmap back;
  ReadJpegStream(in, nullptr, back, p, progress, false, false, false, false, false, false, -1, false);
  ASSERT_EQ(seen.size(), 101u);
  EXPECT_EQ(seen.back(), 100);
}

}  // namespace
