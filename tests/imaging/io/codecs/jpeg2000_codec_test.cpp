// The JPEG 2000 codec: round trips through our writer and reader, files from OpenJPEG's own encoder
// (its API and opj_compress) read as they hold, ours read by opj_decompress and ImageMagick, and
// damaged or hostile input refused.
#include <gtest/gtest.h>
#include <openjpeg.h>

#include <cmath>
#include <cstdlib>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/io/io_params.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

using namespace codectest;

namespace {

struct J2KRead {
  bool ok = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
};

void Read(const Bytes& file, J2KRead& r, bool headerOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& p) {
    ReadJpeg2000Stream(s, r.bitmap, r.params, p, headerOnly);
  });
}

Bytes Write(TIEBitmap& bitmap, TIOParamsVals& params, TIEJ2000Format format) {
  return WriteWith([&](TStream& s, TIEProgressRecord& p) { WriteJpeg2000Stream(s, bitmap, params, p, format); });
}

// The test picture (37 x 23, flat areas and gradients), with its alpha ramp when asked.
void SourceBitmap(TIEBitmap& b, bool alpha) {
  b.Allocate(Source::W, Source::H, ie24RGB);
  for (int y = 0; y < Source::H; ++y) {
    auto* row = b.Row<uint8_t>(y);
    for (int x = 0; x < Source::W; ++x)
      for (int c = 0; c < 3; ++c) row[3 * x + 2 - c] = Source::Channel(x, y, c);
  }
  if (alpha)
    for (int y = 0; y < Source::H; ++y)
      for (int x = 0; x < Source::W; ++x) b.SetAlpha(x, y, Source::Channel(x, y, 3));
}

double Psnr(TIEBitmap& a, TIEBitmap& b) {
  double sum = 0;
  int64_t n = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const auto* p = a.Row<uint8_t>(y);
    const auto* q = b.Row<uint8_t>(y);
    for (int i = 0; i < 3 * a.Width(); ++i, ++n) sum += (p[i] - q[i]) * double(p[i] - q[i]);
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
}

// A code stream or JP2 file coded by OpenJPEG itself from components the test fills.
struct Component {
  int w, h, dx = 1, dy = 1, prec = 8;
  bool sgnd = false;
  std::function<int(int, int)> value;
  bool alpha = false;
};

struct MemoryOut {
  Bytes bytes;
  size_t at = 0;
};
OPJ_SIZE_T WriteToBytes(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* out = static_cast<MemoryOut*>(user);
  if (out->bytes.size() < out->at + n) out->bytes.resize(out->at + n);
  std::memcpy(out->bytes.data() + out->at, buffer, n);
  out->at += n;
  return n;
}
OPJ_OFF_T SkipInBytes(OPJ_OFF_T n, void* user) {
  static_cast<MemoryOut*>(user)->at += static_cast<size_t>(n);
  return n;
}
OPJ_BOOL SeekInBytes(OPJ_OFF_T n, void* user) {
  static_cast<MemoryOut*>(user)->at = static_cast<size_t>(n);
  return OPJ_TRUE;
}

Bytes OpenJpegEncode(int w, int h, const std::vector<Component>& comps, OPJ_COLOR_SPACE space, bool jp2) {
  std::vector<opj_image_cmptparm_t> parms(comps.size());
  for (size_t i = 0; i < comps.size(); ++i) {
    parms[i] = {};
    parms[i].dx = comps[i].dx;
    parms[i].dy = comps[i].dy;
    parms[i].w = comps[i].w;
    parms[i].h = comps[i].h;
    parms[i].prec = comps[i].prec;
    parms[i].sgnd = comps[i].sgnd;
  }
  opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(comps.size()), parms.data(), space);
  image->x1 = w;
  image->y1 = h;
  for (size_t i = 0; i < comps.size(); ++i) {
    image->comps[i].alpha = comps[i].alpha;
    for (int y = 0; y < comps[i].h; ++y)
      for (int x = 0; x < comps[i].w; ++x) image->comps[i].data[y * comps[i].w + x] = comps[i].value(x, y);
  }
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.tcp_numlayers = 1;
  p.tcp_rates[0] = 0;
  p.cp_disto_alloc = 1;
  p.numresolution = 2;
  opj_codec_t* codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  MemoryOut out;
  opj_stream_t* s = opj_stream_create(1 << 16, OPJ_FALSE);
  opj_stream_set_user_data(s, &out, nullptr);
  opj_stream_set_write_function(s, WriteToBytes);
  opj_stream_set_skip_function(s, SkipInBytes);
  opj_stream_set_seek_function(s, SeekInBytes);
  const bool ok = opj_setup_encoder(codec, &p, image) && opj_start_compress(codec, image, s) &&
                  opj_encode(codec, s) && opj_end_compress(codec, s);
  opj_stream_destroy(s);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  EXPECT_TRUE(ok);
  return out.bytes;
}

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0; }

// The pixels of a P5 or P6 file of maxval 255 (header comments skipped).
Bytes NetpbmPixels(const Bytes& file, int& channels) {
  size_t at = 0;
  std::vector<std::string> tokens;
  while (tokens.size() < 4 && at < file.size()) {
    if (file[at] == '#') {
      while (at < file.size() && file[at] != '\n') ++at;
    } else if (std::isspace(file[at])) {
      ++at;
    } else {
      std::string t;
      while (at < file.size() && !std::isspace(file[at])) t += static_cast<char>(file[at++]);
      tokens.push_back(t);
    }
  }
  if (tokens.size() < 4 || tokens[3] != "255" || at >= file.size()) return {};
  channels = tokens[0] == "P6" ? 3 : 1;
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 1), file.end());
}

}  // namespace

// Lossless round trips at every layout the writer has, both containers and both progressions.
TEST(Jpeg2000Codec, LosslessRoundTripsKeepEveryPixel) {
  struct Case {
    const char* name;
    TIEPixelFormat format;
    uint8_t space;
    int bits;
    bool alpha;
    TIEJ2000Format container;
    uint8_t progression;
  };
  const Case cases[] = {
      {"rgb jp2", ie24RGB, 1, 8, false, ieJ2000JP2, 0},
      {"rgb j2k rlcp", ie24RGB, 1, 8, false, ieJ2000J2K, 1},
      {"rgb alpha jp2", ie24RGB, 1, 8, true, ieJ2000JP2, 0},
      {"rgb alpha j2k", ie24RGB, 1, 8, true, ieJ2000J2K, 0},
      {"rgb 16 bits", ie24RGB, 1, 16, false, ieJ2000JP2, 0},
      {"ycbcr written as rgb", ie24RGB, 2, 8, false, ieJ2000JP2, 1},
      {"grey", ie24RGB, 0, 8, false, ieJ2000JP2, 0},
      {"grey 16 bits j2k", ie24RGB, 0, 16, false, ieJ2000J2K, 0},
      {"bilevel", ie1g, 1, 8, false, ieJ2000JP2, 0},
      {"bilevel j2k", ie1g, 0, 8, false, ieJ2000J2K, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap source;
    SourceBitmap(source, c.alpha);
    if (c.format == ie1g) {
      source.RemoveAlphaChannel();
      TIEBitmap bits;
      bits.Allocate(Source::W, Source::H, ie1g);
      for (int y = 0; y < Source::H; ++y)
        for (int x = 0; x < Source::W; ++x) SetRowBit(bits.GetRow(y), x, (x * 3 + y * 5) % 7 < 3);
      source.Assign(bits);
    }
    if (c.space == 0) {  // what the grey file must give back: the grey levels the writer takes
      for (int y = 0; y < Source::H && c.format != ie1g; ++y) {
        auto* row = source.Row<uint8_t>(y);
        for (int x = 0; x < Source::W; ++x) {
          const int g = (row[3 * x + 2] * GreyWeightRed + row[3 * x + 1] * GreyWeightGreen + row[3 * x] * GreyWeightBlue) / 100;
          row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<uint8_t>(g);
        }
      }
    }
    TIOParamsVals params(nullptr);
    params.J2000ColorSpace = c.space;
    params.BitsPerSample = c.bits;
    params.J2000ProgressionOrder = c.progression;
    const Bytes file = Write(source, params, c.container);
    ASSERT_FALSE(file.empty());
    J2KRead r;
    Read(file, r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bitmap.PixelFormat(), c.format);
    EXPECT_EQ(r.params.BitsPerSample, c.format == ie1g ? 1 : c.bits);
    EXPECT_EQ(r.params.SamplesPerPixel, c.space == 0 || c.format == ie1g ? 1 : 3);
    EXPECT_EQ(r.params.Width, Source::W);
    EXPECT_TRUE(SamePixels(r.bitmap, source));
    EXPECT_EQ(r.bitmap.HasAlphaChannel(), c.alpha);
    if (c.alpha) {
      for (int y = 0; y < Source::H; ++y)
        for (int x = 0; x < Source::W; ++x) ASSERT_EQ(r.bitmap.GetAlpha(x, y), Source::Channel(x, y, 3));
    }
    if (c.container == ieJ2000J2K) {
      // The progression order is the byte after Scod in the COD marker.
      for (size_t i = 0; i + 6 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0x52) {
          EXPECT_EQ(file[i + 5], c.progression == 1 ? OPJ_RLCP : OPJ_LRCP);
          break;
        }
    }
  }
}

TEST(Jpeg2000Codec, LossyRatesShrinkTheFileWithinTolerance) {
  TIEBitmap source;
  source.Allocate(128, 96, ie24RGB);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 128; ++x) {
      auto* p = source.Row<uint8_t>(y) + 3 * x;
      const int noise = static_cast<int>((static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u) >> 29);
      p[0] = static_cast<uint8_t>(x * 2 + noise);
      p[1] = static_cast<uint8_t>(y * 2 + x / 8 + noise);
      p[2] = static_cast<uint8_t>(((x + y) ^ 0x40) + noise);
    }
  size_t lossless = 0;
  for (double rate : {1.0, 0.1, 0.05}) {
    SCOPED_TRACE(rate);
    TIOParamsVals params(nullptr);
    params.J2000Rate = rate;
    const Bytes file = Write(source, params, ieJ2000JP2);
    ASSERT_FALSE(file.empty());
    if (rate == 1.0) {
      lossless = file.size();
    } else {
      EXPECT_LT(file.size(), lossless);
    }
    EXPECT_LE(file.size(), static_cast<size_t>(128 * 96 * 3 * rate) + 200);
    J2KRead r;
    Read(file, r);
    ASSERT_TRUE(r.ok);
    const double psnr = Psnr(r.bitmap, source);
    EXPECT_GE(psnr, rate == 1.0 ? 99 : rate == 0.1 ? 38 : 30);  // 42 and 34 dB with OpenJPEG 2.5
  }
}

TEST(Jpeg2000Codec, SmallSizesPickResolutionsOpenJpegAccepts) {
  for (auto [w, h] : {std::pair{1, 1}, {20, 20}, {40, 30}, {3, 200}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    TIEBitmap source;
    source.Allocate(w, h, ie24RGB);
    source.Fill(77);
    TIOParamsVals params(nullptr);
    J2KRead r;
    Read(Write(source, params, ieJ2000J2K), r);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(SamePixels(r.bitmap, source));
  }
}

TEST(Jpeg2000Codec, WriterRefusesBadOptionsAndKeepsTheCallersBitmap) {
  TIEBitmap source;
  SourceBitmap(source, false);
  for (double rate : {0.0, -1.0, std::nan(""), double(INFINITY)}) {
    TIOParamsVals params(nullptr);
    params.J2000Rate = rate;
    EXPECT_TRUE(Write(source, params, ieJ2000JP2).empty()) << rate;
  }
  for (int bits : {0, 17, 32}) {
    TIOParamsVals params(nullptr);
    params.BitsPerSample = bits;
    EXPECT_TRUE(Write(source, params, ieJ2000JP2).empty()) << bits;
  }
  TIEBitmap empty;
  TIOParamsVals params(nullptr);
  EXPECT_TRUE(Write(empty, params, ieJ2000JP2).empty());

  // A palette bitmap with transparency goes through an RGB copy that keeps the alpha channel.
  TIEBitmap palette;
  palette.Allocate(8, 4, ie8p);
  for (int i = 0; i < 256; ++i) palette.SetPaletteColor(i, CreateRGB(static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i)));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      palette.Row<uint8_t>(y)[x] = static_cast<uint8_t>(x * 30);
      palette.SetAlpha(x, y, static_cast<uint8_t>(y * 80));
    }
  J2KRead r;
  Read(Write(palette, params, ieJ2000JP2), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(palette.PixelFormat(), ie8p);
  ASSERT_TRUE(r.bitmap.HasAlphaChannel());
  EXPECT_EQ(r.bitmap.GetAlpha(3, 2), 160);
  std::unique_ptr<TIEBitmap> expected = IEConvertedCopy(palette, ie24RGB);
  EXPECT_TRUE(SamePixels(r.bitmap, *expected));
}

// Files OpenJPEG codes from components the writer never makes.
TEST(Jpeg2000Codec, ReadsPrecisionsSignedSamplesAndSubsampledYCbCr) {
  {  // 12-bit grey: the top 8 bits, all three bytes equal
    J2KRead r;
    Read(OpenJpegEncode(9, 5, {{9, 5, 1, 1, 12, false, [](int x, int y) { return x * 400 + y * 7; }}}, OPJ_CLRSPC_GRAY, true), r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.params.BitsPerSample, 12);
    EXPECT_EQ(r.bitmap.PixelFormat(), ie24RGB);
    const auto* p = r.bitmap.Row<uint8_t>(3) + 3 * 8;
    EXPECT_EQ(p[0], (8 * 400 + 21) >> 4);
    EXPECT_EQ(p[1], p[0]);
    EXPECT_EQ(p[2], p[0]);
  }
  {  // signed 8-bit: -128 .. 127 become 0 .. 255
    J2KRead r;
    Read(OpenJpegEncode(16, 2, {{16, 2, 1, 1, 8, true, [](int x, int y) { return x * 16 - 128 + y; }}}, OPJ_CLRSPC_GRAY, false), r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bitmap.Row<uint8_t>(0)[0], 0);
    EXPECT_EQ(r.bitmap.Row<uint8_t>(1)[3 * 15], 15 * 16 + 1);
  }
  {  // 4:2:0 sYCC: read at full size, chroma repeated over 2 x 2
    auto chroma = [](int x, int y) { return 128 + (x + y) * 10; };
    J2KRead r;
    Read(OpenJpegEncode(8, 6,
                        {{8, 6, 1, 1, 8, false, [](int x, int) { return 100 + x; }},
                         {4, 3, 2, 2, 8, false, chroma},
                         {4, 3, 2, 2, 8, false, [](int, int) { return 128; }}},
                        OPJ_CLRSPC_SYCC, true),
         r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.params.J2000ColorSpace, 2);
    ASSERT_EQ(r.bitmap.Width(), 8);
    ASSERT_EQ(r.bitmap.Height(), 6);
    const TIEJ2000YCbCrTables& t = J2000YCbCrTables();
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const auto* p = r.bitmap.Row<uint8_t>(y) + 3 * x;
        const int cb = chroma(x / 2, y / 2);
        EXPECT_EQ(p[0], std::clamp(100 + x + t.CbToB[cb], 0, 255)) << x << "," << y;
        EXPECT_EQ(p[2], 100 + x);  // Cr 128: no red difference
      }
  }
  {  // a 2-component "RGB" code stream: the colours it lacks read as the first
    J2KRead r;
    Read(OpenJpegEncode(4, 4, {{4, 4, 1, 1, 8, false, [](int, int) { return 50; }},
                               {4, 4, 1, 1, 8, false, [](int, int) { return 200; }},
                               {4, 4, 1, 1, 8, false, [](int, int) { return 90; }},
                               {4, 4, 1, 1, 8, false, [](int, int) { return 10; }, true}},
                        OPJ_CLRSPC_SRGB, true),
         r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bitmap.GetAlpha(1, 1), 10);
    EXPECT_EQ(r.bitmap.Row<uint8_t>(0)[2], 50);
  }
}

TEST(Jpeg2000Codec, YCbCrTablesAreBT601) {
  const TIEJ2000YCbCrTables& t = J2000YCbCrTables();
  EXPECT_EQ(t.CrToR[128], 0);
  EXPECT_EQ(t.CrToR[255], 178);   // 1.402 x 127
  EXPECT_EQ(t.CbToB[0], -227);    // 1.772 x -128
  EXPECT_EQ(t.CrToG[255], -91);   // 0.714 x 127
  EXPECT_EQ(t.CbToG[0], 44);      // 0.344 x 128
}

TEST(Jpeg2000Codec, HeaderOnlyFillsTheRecordAndLeavesTheBitmap) {
  TIEBitmap source;
  SourceBitmap(source, true);
  TIOParamsVals params(nullptr);
  const Bytes file = Write(source, params, ieJ2000JP2);
  J2KRead r;
  Read(file, r, true);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.bitmap.IsEmpty());
  EXPECT_EQ(r.params.Width, Source::W);
  EXPECT_EQ(r.params.Height, Source::H);
  EXPECT_EQ(r.params.SamplesPerPixel, 3);
  EXPECT_EQ(r.params.ImageCount, 1);
  EXPECT_EQ(r.params.DpiX, DefaultDPIX);
}

TEST(Jpeg2000Codec, ProbesRecogniseBothContainersAndKeepThePosition) {
  TIEBitmap source;
  SourceBitmap(source, false);
  TIOParamsVals params(nullptr);
  const Bytes jp2 = Concat(Text("xy"), Write(source, params, ieJ2000JP2));
  const Bytes j2k = Concat(Text("xy"), Write(source, params, ieJ2000J2K));
  TCustomMemoryStream a(jp2.data(), static_cast<int64_t>(jp2.size()));
  TCustomMemoryStream b(j2k.data(), static_cast<int64_t>(j2k.size()));
  a.Seek(2, soBeginning);
  b.Seek(2, soBeginning);
  EXPECT_TRUE(IsJP2Stream(a));
  EXPECT_FALSE(IsJ2KStream(a));
  EXPECT_TRUE(IsJ2KStream(b));
  EXPECT_FALSE(IsJP2Stream(b));
  EXPECT_EQ(a.Position(), 2);
  EXPECT_EQ(b.Position(), 2);
  EXPECT_EQ(DetectStreamFormat(a), fmtJP2);
  EXPECT_EQ(DetectStreamFormat(b), fmtJ2K);
  // The reader works from the stream's position.
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIEBitmap out;
  TIOParamsVals read(nullptr);
  a.Seek(2, soBeginning);
  ReadJpeg2000Stream(a, out, read, progress, false);
  EXPECT_FALSE(aborting);
  EXPECT_TRUE(SamePixels(out, source));
}

TEST(Jpeg2000Codec, DamagedAndHostileInputAborts) {
  TIEBitmap source;
  SourceBitmap(source, false);
  TIOParamsVals params(nullptr);
  const Bytes good = Write(source, params, ieJ2000J2K);
  const Bytes goodJp2 = Write(source, params, ieJ2000JP2);
  std::vector<std::pair<const char*, Bytes>> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"not jpeg 2000", Text("hello, world, not an image")});
  cases.push_back({"signature only", Bytes(goodJp2.begin(), goodJp2.begin() + 12)});
  cases.push_back({"markers only", Bytes(good.begin(), good.begin() + 4)});
  cases.push_back({"cut header", Bytes(good.begin(), good.begin() + 30)});
  Bytes huge = good;  // SIZ says 100000 x 100000 in a few hundred bytes
  for (int i : {8, 12}) {
    huge[i] = 0;
    huge[i + 1] = 0x01;
    huge[i + 2] = 0x86;
    huge[i + 3] = 0xA0;
  }
  cases.push_back({"huge size", huge});
  Bytes tiny = good;  // 1000 x 1000 in 1 x 1 tiles: more tiles than bytes
  for (int i : {8, 12, 24, 28}) {
    tiny[i] = tiny[i + 1] = 0;
    tiny[i + 2] = i < 24 ? 0x03 : 0;
    tiny[i + 3] = i < 24 ? 0xE8 : 1;
  }
  cases.push_back({"tiny tiles", tiny});
  Bytes precision = good;  // Ssiz of the first component: 38 bits
  precision[42] = 37;
  cases.push_back({"precision 38", precision});
  Bytes colour = goodJp2;  // the colour specification's enumerated space: CMYK (12)
  for (size_t i = 0; i + 11 < colour.size(); ++i)
    if (std::memcmp(&colour[i], "colr", 4) == 0) {
      colour[i + 10] = 12;
      break;
    }
  cases.push_back({"cmyk", colour});
  for (auto& [name, file] : cases) {
    SCOPED_TRACE(name);
    J2KRead r;
    Read(file, r);
    EXPECT_FALSE(r.ok);
  }
  // A file cut in its tile data keeps what OpenJPEG could decode, or fails; it never crashes.
  for (size_t n = 40; n < good.size(); n += 37) {
    J2KRead r;
    Read(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), r);
  }
}

TEST(Jpeg2000Codec, ReadsAndWritesOnSeveralThreadsAtOnce) {
  TIEBitmap source;
  SourceBitmap(source, true);
  TIOParamsVals params(nullptr);
  const Bytes file = Write(source, params, ieJ2000JP2);
  bool same[2] = {false, false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&, t] {
      bool all = true;
      for (int i = 0; i < 20; ++i) {
        J2KRead r;
        Read(file, r);
        TIOParamsVals p(nullptr);
        all = all && r.ok && SamePixels(r.bitmap, source) && Write(r.bitmap, p, ieJ2000JP2) == file;
      }
      same[t] = all;
    });
  for (auto& t : threads) t.join();
  EXPECT_TRUE(same[0]);
  EXPECT_TRUE(same[1]);
}

// OpenJPEG's command-line encoder and decoder as independent peers.
TEST(Jpeg2000Codec, FilesOfOpjCompressReadAndOursReadByOpjDecompressAndImageMagick) {
  ASSERT_TRUE(HaveTool("opj_compress") && HaveTool("opj_decompress"))
      << "libopenjp2-tools is a test dependency: run scripts/install-deps.sh";
  testsupport::ScratchDir dir;
  WriteFile(dir.File("src.ppm"), Source::Netpbm(false));
  WriteFile(dir.File("src.pnm"), Source::Netpbm(true));  // a PAM: opj_compress goes by content
  const std::string cd = "cd '" + dir.Path().string() + "' && ";
  ASSERT_EQ(std::system((cd + "opj_compress -i src.ppm -o opj.jp2 -n 4 >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system((cd + "opj_compress -i src.ppm -o opj.j2k -p RLCP -n 3 >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system((cd + "opj_compress -i src.pnm -o opja.jp2 -n 4 >/dev/null 2>&1").c_str()), 0);
  TIEBitmap source;
  SourceBitmap(source, true);
  for (const char* name : {"opj.jp2", "opj.j2k", "opja.jp2"}) {
    SCOPED_TRACE(name);
    J2KRead r;
    Read(ReadFile(dir.File(name)), r);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(SamePixels(r.bitmap, source));
    if (std::string(name) == "opja.jp2") {
      ASSERT_TRUE(r.bitmap.HasAlphaChannel());
      for (int y = 0; y < Source::H; ++y)
        for (int x = 0; x < Source::W; ++x) ASSERT_EQ(r.bitmap.GetAlpha(x, y), Source::Channel(x, y, 3));
    }
  }

  // Ours, lossless and lossy, grey and colour, read by opj_decompress.
  struct Out {
    const char* name;
    uint8_t space;
    double rate;
    TIEJ2000Format format;
  };
  const Out outs[] = {{"ours.jp2", 1, 1.0, ieJ2000JP2}, {"ours.j2k", 1, 1.0, ieJ2000J2K},
                      {"grey.jp2", 0, 1.0, ieJ2000JP2}, {"lossy.jp2", 1, 0.2, ieJ2000JP2}};
  source.RemoveAlphaChannel();
  for (const Out& o : outs) {
    SCOPED_TRACE(o.name);
    TIOParamsVals params(nullptr);
    params.J2000ColorSpace = o.space;
    params.J2000Rate = o.rate;
    const Bytes file = Write(source, params, o.format);
    WriteFile(dir.File(o.name), file);
    const std::string pnm = std::string(o.name) + (o.space == 0 ? ".pgm" : ".ppm");
    ASSERT_EQ(std::system((cd + "opj_decompress -i " + o.name + " -o " + pnm + " >/dev/null 2>&1").c_str()), 0);
    int channels = 0;
    const Bytes theirs = NetpbmPixels(ReadFile(dir.File(pnm)), channels);
    ASSERT_EQ(theirs.size(), size_t(Source::W * Source::H * channels));
    J2KRead ours;
    Read(file, ours);
    ASSERT_TRUE(ours.ok);
    int worst = 0;
    for (int y = 0; y < Source::H; ++y)
      for (int x = 0; x < Source::W; ++x)
        for (int c = 0; c < channels; ++c) {
          const int mine = ours.bitmap.Row<uint8_t>(y)[3 * x + 2 - c];
          worst = std::max(worst, std::abs(mine - theirs[(y * Source::W + x) * channels + c]));
        }
    EXPECT_EQ(worst, 0);  // the same library decodes the same code stream
    if (o.rate == 1.0 && o.space == 1) {
      for (int y = 0; y < Source::H; ++y)
        for (int x = 0; x < Source::W; ++x)
          for (int c = 0; c < 3; ++c) ASSERT_EQ(theirs[(y * Source::W + x) * 3 + c], Source::Channel(x, y, c));
    }
  }
  // ImageMagick reads our lossless colour file to our pixels.
  const auto magick = MagickPixels(dir, {"ours.jp2"});
  const Bytes& px = magick.at("ours.jp2");
  ASSERT_EQ(px.size(), size_t(Source::W * Source::H * 4));
  for (int y = 0; y < Source::H; ++y)
    for (int x = 0; x < Source::W; ++x)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(px[(y * Source::W + x) * 4 + c], Source::Channel(x, y, c));
}

// A blank 6000 x 4000 picture codes to a few hundred bytes; the size gate must still admit it.
TEST(Jpeg2000Codec, BlankLargePictureFromOpjCompressPassesTheGate) {
  ASSERT_TRUE(HaveTool("opj_compress")) << "libopenjp2-tools is a test dependency";
  testsupport::ScratchDir dir;
  std::string head = "P5\n6000 4000\n255\n";
  Bytes pgm(head.begin(), head.end());
  pgm.resize(pgm.size() + 6000 * 4000, 0);
  WriteFile(dir.File("blank.pgm"), pgm);
  ASSERT_EQ(std::system(("cd '" + dir.Path().string() + "' && opj_compress -i blank.pgm -o blank.jp2 >/dev/null 2>&1").c_str()), 0);
  J2KRead r;
  Read(ReadFile(dir.File("blank.jp2")), r, true);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.params.Width, 6000);
}

// Saved and loaded by name through the I/O component: the extension picks the container, the
// content the reader, and a save with a bad rate leaves no file behind.
TEST(Jpeg2000Codec, IOComponentSavesAndLoadsByNameAndContent) {
  InitializeZodazUrIO();
  testsupport::ScratchDir dir;
  for (auto [name, format] : {std::pair{"a.jp2", fmtJP2}, {"a.j2k", fmtJ2K}, {"a.jpc", fmtJ2K}}) {
    SCOPED_TRACE(name);
    TZodazUrIO io(nullptr);
    SourceBitmap(*io.IEBitmap(), true);
    io.SaveToFile(dir.File(name));
    ASSERT_FALSE(io.Aborting());
    EXPECT_EQ(DetectFileFormat(dir.File(name), false), format);
    TZodazUrIO loader(nullptr);
    TFileStream stream(dir.File(name), fmOpenRead);
    loader.LoadFromStream(stream);
    ASSERT_FALSE(loader.Aborting());
    EXPECT_EQ(loader.Params().FileType, format);
    EXPECT_TRUE(SamePixels(*loader.IEBitmap(), *io.IEBitmap()));
    EXPECT_EQ(loader.IEBitmap()->GetAlpha(5, 7), Source::Channel(5, 7, 3));
  }
  TZodazUrIO io(nullptr);
  SourceBitmap(*io.IEBitmap(), false);
  io.Params().J2000Rate = 0;
  io.SaveToFile(dir.File("bad.jp2"));
  EXPECT_TRUE(io.Aborting());
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.jp2")));
}
