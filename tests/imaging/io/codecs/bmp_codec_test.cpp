#include "imaging/io/codecs/bmp_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;

void U16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void U32(Bytes& b, uint32_t v) {
  U16(b, v & 0xFFFF);
  U16(b, v >> 16);
}

// Rows of a picture as a BMP file stores them: padded to 4 bytes, bottom row first unless TopDown.
// Value gives each pixel: an index for up to 8 bits, else the little-endian pixel value.
Bytes PackRows(int w, int h, int bits, const std::function<uint32_t(int, int)>& value, bool topDown) {
  const int rowBytes = (w * bits + 31) / 32 * 4;
  Bytes out;
  for (int i = 0; i < h; ++i) {
    const int y = topDown ? i : h - 1 - i;
    Bytes row(static_cast<size_t>(rowBytes), 0);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = value(x, y);
      if (bits < 8) {
        const int bit = x * bits;
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
      } else {
        for (int k = 0; k < bits / 8; ++k) row[x * bits / 8 + k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct BmpSpec {
  uint32_t headerSize = 40;
  int32_t width = 0;
  int32_t height = 0;  // negative: top-down
  uint16_t bits = 24;
  uint32_t compression = 0;
  std::vector<TIERGB> palette;
  int64_t colorsUsed = -1;  // -1: the palette's size
  std::array<uint32_t, 4> masks{};
  int32_t ppm = 0;
  Bytes pixels;
};

Bytes MakeBMP(const BmpSpec& s) {
  Bytes info;
  U32(info, s.headerSize);
  if (s.headerSize == 12) {
    U16(info, static_cast<uint32_t>(s.width));
    U16(info, static_cast<uint32_t>(s.height));
    U16(info, 1);
    U16(info, s.bits);
  } else {
    U32(info, static_cast<uint32_t>(s.width));
    U32(info, static_cast<uint32_t>(s.height));
    U16(info, 1);
    U16(info, s.bits);
    U32(info, s.compression);
    U32(info, static_cast<uint32_t>(s.pixels.size()));
    U32(info, static_cast<uint32_t>(s.ppm));
    U32(info, static_cast<uint32_t>(s.ppm));
    U32(info, static_cast<uint32_t>(s.colorsUsed >= 0 ? s.colorsUsed : static_cast<int64_t>(s.palette.size())));
    U32(info, 0);
    if (s.headerSize >= 52 && s.headerSize != 64)
      for (int i = 0; i < 4; ++i) U32(info, s.masks[i]);
    info.resize(s.headerSize, 0);
  }
  if (s.compression == 3 && (s.headerSize < 52 || s.headerSize == 64))
    for (int i = 0; i < 3; ++i) U32(info, s.masks[i]);
  if (s.compression == 6 && s.headerSize < 56)  // BI_ALPHABITFIELDS: four masks
    for (int i = 0; i < 4; ++i) U32(info, s.masks[i]);
  for (const TIERGB& c : s.palette) {
    info.insert(info.end(), {c.b, c.g, c.r});
    if (s.headerSize != 12) info.push_back(0);
  }
  Bytes file{'B', 'M'};
  U32(file, static_cast<uint32_t>(14 + info.size() + s.pixels.size()));
  U32(file, 0);
  U32(file, static_cast<uint32_t>(14 + info.size()));
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), s.pixels.begin(), s.pixels.end());
  return file;
}

std::vector<TIERGB> TestPalette(int count) {
  std::vector<TIERGB> p(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) p[i] = CreateRGB(uint8_t(i * 17 + 5), uint8_t(255 - i), uint8_t(i * 3));
  if (count == 2) p = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
  return p;
}

struct ReadOut {
  bool aborted = false;
  std::unique_ptr<TIEMask> alpha;
};

ReadOut Read(const Bytes& file, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly = false,
             bool ignoreAlpha = false, int64_t blockSize = 0) {
  TCustomMemoryStream s(file.data(), static_cast<int64_t>(file.size()));
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadOut out;
  ReadBMPStream(s, bitmap, blockSize, params, progress, paramsOnly, false, out.alpha, ignoreAlpha);
  out.aborted = aborting;
  return out;
}

Bytes Write(TIEBitmap& bitmap, TIOParamsVals& params, bool useAlpha, bool* aborted = nullptr) {
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteBMPStream(s, bitmap, params, progress, useAlpha);
  if (aborted) *aborted = aborting;
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

TIERGB DirectColor(int x, int y) { return CreateRGB(uint8_t(x * 10), uint8_t(y * 20), uint8_t(x + y * 7)); }

TEST(BmpReader, EveryHeaderVariantAndDepth) {
  struct Case { uint32_t header; uint16_t bits; bool topDown; uint32_t compression; };
  const Case cases[] = {
      {12, 1, false, 0},  {12, 4, false, 0},  {12, 8, false, 0},  {12, 24, false, 0},
      {40, 2, false, 0},  {40, 2, true, 0},
      {16, 8, false, 0},  {16, 24, true, 0},  {40, 1, false, 0},  {40, 1, true, 0},
      {40, 4, false, 0},  {40, 4, true, 0},   {40, 8, false, 0},  {40, 8, true, 0},
      {40, 16, false, 0}, {40, 16, true, 3},  {40, 24, false, 0}, {40, 24, true, 0},
      {40, 32, false, 0}, {40, 32, true, 3},  {52, 16, false, 3}, {56, 32, false, 3},
      {64, 8, false, 0},  {64, 24, true, 0},  {108, 16, true, 3}, {108, 8, false, 0},
      {124, 32, false, 3}, {124, 24, false, 0},
  };
  const int w = 13, h = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "header " << c.header << " bits " << c.bits << " top-down " << c.topDown
                                    << " compression " << c.compression);
    BmpSpec s;
    s.headerSize = c.header;
    s.width = w;
    s.height = c.topDown ? -h : h;
    s.bits = c.bits;
    s.compression = c.compression;
    std::function<TIERGB(int, int)> expect;
    if (c.bits <= 8) {
      const int colors = 1 << c.bits;
      s.palette = TestPalette(colors);
      auto index = [colors](int x, int y) { return static_cast<uint32_t>((x + 2 * y) % colors); };
      s.pixels = PackRows(w, h, c.bits, index, c.topDown);
      const auto pal = s.palette;
      expect = [pal, index](int x, int y) { return pal[index(x, y)]; };
    } else if (c.bits == 16) {
      // 5-6-5 with masks, 5-5-5 without.
      const bool m565 = c.compression == 3;
      s.masks = {m565 ? 0xF800u : 0x7C00u, m565 ? 0x07E0u : 0x03E0u, 0x001Fu, 0};
      s.pixels = PackRows(w, h, 16, [m565](int x, int y) {
        const TIERGB k = DirectColor(x, y);
        return m565 ? static_cast<uint32_t>((k.r >> 3) << 11 | (k.g >> 2) << 5 | k.b >> 3)
                    : static_cast<uint32_t>((k.r >> 3) << 10 | (k.g >> 3) << 5 | k.b >> 3);
      }, c.topDown);
      // Narrow channels are widened by repeating their bits: 5 bits v -> v << 3 | v >> 2.
      expect = [m565](int x, int y) {
        const TIERGB k = DirectColor(x, y);
        auto five = [](uint8_t c) { return uint8_t((c & 0xF8) | c >> 5); };
        auto six = [](uint8_t c) { return uint8_t((c & 0xFC) | c >> 6); };
        return TIERGB{five(k.b), m565 ? six(k.g) : five(k.g), five(k.r)};
      };
    } else {
      // 32 bits with masks: red in the top byte, alpha none (V3 and later name it 0).
      const bool shifted = c.bits == 32 && c.compression == 3;
      s.masks = {0xFF000000u, 0x00FF0000u, 0x0000FF00u, 0};
      s.pixels = PackRows(w, h, c.bits, [shifted](int x, int y) {
        const TIERGB k = DirectColor(x, y);
        return shifted ? (uint32_t(k.r) << 24 | uint32_t(k.g) << 16 | uint32_t(k.b) << 8)
                       : (uint32_t(k.r) << 16 | uint32_t(k.g) << 8 | k.b);
      }, c.topDown);
      expect = DirectColor;
    }
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    auto r = Read(MakeBMP(s), b, p);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.alpha, nullptr);
    ASSERT_EQ(b.Width(), w);
    ASSERT_EQ(b.Height(), h);
    EXPECT_EQ(b.PixelFormat(), c.bits == 1 ? ie1g : ie24RGB);
    EXPECT_EQ(p.BmpVersion, c.header == 12 ? 2 : c.header == 40 ? 1 : c.header == 64 ? 3 : 0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) ASSERT_EQ(b.GetPixelRGB(x, y), expect(x, y)) << x << "," << y;
    }
  }
}

TEST(BmpReader, OneBitWhiteBlackPaletteGivesTheSamePicture) {
  auto index = [](int x, int y) { return static_cast<uint32_t>((x * y + x) % 2); };
  TIEBitmap a, b;
  for (bool whiteFirst : {false, true}) {
    BmpSpec s;
    s.width = 11;
    s.height = 3;
    s.bits = 1;
    s.palette = whiteFirst ? std::vector<TIERGB>{CreateRGB(255, 255, 255), CreateRGB(0, 0, 0)}
                           : std::vector<TIERGB>{CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
    s.pixels = PackRows(11, 3, 1, [&](int x, int y) { return whiteFirst ? 1 - index(x, y) : index(x, y); }, false);
    TIOParamsVals p(nullptr);
    ASSERT_FALSE(Read(MakeBMP(s), whiteFirst ? b : a, p).aborted);
  }
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 11; ++x) EXPECT_EQ(a.GetPixelRGB(x, y), b.GetPixelRGB(x, y));
  EXPECT_EQ(a.GetPixelRGB(1, 0), CreateRGB(255, 255, 255));
}

TEST(BmpReader, NativePaletteFormatAndColoursUsedAbove256) {
  BmpSpec s;
  s.width = 5;
  s.height = 2;
  s.bits = 8;
  s.palette = TestPalette(256);
  s.colorsUsed = 300;  // counts as 0: 256 entries
  s.pixels = PackRows(5, 2, 8, [](int x, int y) { return static_cast<uint32_t>(x * 50 + y); }, false);
  for (bool native : {true, false}) {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = native;
    ASSERT_FALSE(Read(MakeBMP(s), b, p).aborted);
    EXPECT_EQ(p.ColorMapCount, 256);
    EXPECT_EQ(b.PixelFormat(), native ? ie8p : ie24RGB);
    if (native) {
      EXPECT_EQ(b.GetPixel8(4, 1), 201);
      for (int i = 0; i < 256; ++i) ASSERT_EQ(b.GetPaletteColor(i), s.palette[i]);
    }
    EXPECT_EQ(b.GetPixelRGB(4, 1), s.palette[201]);
  }
}

TEST(BmpReader, PaletteIndicesPastTheTableReadAsBlack) {
  BmpSpec s;
  s.width = 4;
  s.height = 1;
  s.bits = 8;
  s.palette = TestPalette(4);
  s.pixels = PackRows(4, 1, 8, [](int x, int) { return static_cast<uint32_t>(x == 3 ? 200 : x); }, false);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_FALSE(Read(MakeBMP(s), b, p).aborted);
  EXPECT_EQ(b.GetPixel24(2, 0), s.palette[2]);
  EXPECT_EQ(b.GetPixel24(3, 0), CreateRGB(0, 0, 0));
}

TEST(BmpReader, AlphaOfThirtyTwoBits) {
  auto make = [](const std::function<uint8_t(int, int)>& alpha, bool topDown) {
    BmpSpec s;
    s.width = 4;
    s.height = 3;
    s.height = topDown ? -3 : 3;
    s.bits = 32;
    s.pixels = PackRows(4, 3, 32, [&](int x, int y) {
      const TIERGB k = DirectColor(x, y);
      return uint32_t(alpha(x, y)) << 24 | uint32_t(k.r) << 16 | uint32_t(k.g) << 8 | k.b;
    }, topDown);
    return MakeBMP(s);
  };
  for (uint8_t same : {0, 255}) {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    auto r = Read(make([same](int, int) { return same; }, false), b, p);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.alpha, nullptr) << int(same);
  }
  for (bool topDown : {false, true}) {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    auto alpha = [](int x, int y) { return static_cast<uint8_t>(y == 0 ? 10 * x : 255); };
    auto r = Read(make(alpha, topDown), b, p);
    ASSERT_NE(r.alpha, nullptr);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(r.alpha->GetPixel(x, y), alpha(x, y)) << x << "," << y << " " << topDown;
        EXPECT_EQ(b.GetPixel24(x, y), DirectColor(x, y));
      }
    TIEBitmap c;
    EXPECT_EQ(Read(make(alpha, topDown), c, p, false, true).alpha, nullptr);  // IgnoreAlpha
  }
}

TEST(BmpReader, ZeroSizeFillsTheParametersOnly) {
  BmpSpec s;
  s.width = 0;
  s.height = 5;
  s.bits = 24;
  s.ppm = 11811;
  TIEBitmap b(2, 2, ie8g);
  TIOParamsVals p(nullptr);
  EXPECT_FALSE(Read(MakeBMP(s), b, p).aborted);
  EXPECT_EQ(p.Height, 5);
  EXPECT_EQ(p.DpiX, 300);
  EXPECT_EQ(b.Width(), 2);
}

// Run-length data as byte pairs.
TEST(BmpReader, RunLengthEightAndFour) {
  // 6 x 3, bottom-up. Row 0 (bottom): run of 8 (clipped to 6); row 1: delta (2, 1) from column 1,
  // then literal 3 pixels at column 3 of row 2; end of bitmap.
  const Bytes rle8 = {8, 7, 0, 0, 1, 9, 0, 2, 2, 1, 0, 3, 4, 5, 6, 0, 0, 1};
  BmpSpec s;
  s.width = 6;
  s.height = 3;
  s.bits = 8;
  s.compression = 1;
  s.palette = TestPalette(16);
  s.pixels = rle8;
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = true;
  ASSERT_FALSE(Read(MakeBMP(s), b, p).aborted);
  EXPECT_EQ(p.BmpCompression, 1);
  const uint8_t expect8[3][6] = {{0, 0, 0, 4, 5, 6}, {9, 0, 0, 0, 0, 0}, {7, 7, 7, 7, 7, 7}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(b.GetPixel8(x, y), expect8[y][x]) << x << "," << y;

  // RLE4: a run alternating nibbles, a literal of 3 pixels with its pad byte.
  const Bytes rle4 = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 0, 0, 1};
  s.bits = 4;
  s.compression = 2;
  s.height = 2;
  s.width = 5;
  s.pixels = rle4;
  TIEBitmap c;
  ASSERT_FALSE(Read(MakeBMP(s), c, p).aborted);
  const uint8_t expect4[2][5] = {{3, 4, 5, 0, 0}, {1, 2, 1, 2, 1}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(c.GetPixel8(x, y), expect4[y][x]) << x << "," << y;
}

TEST(BmpReader, ForgedSizesAndUnsupportedFilesFailCleanly) {
  BmpSpec good;
  good.width = 8;
  good.height = 8;
  good.bits = 24;
  good.pixels = PackRows(8, 8, 24, [](int x, int y) { return uint32_t(x * y); }, false);
  const Bytes file = MakeBMP(good);
  std::vector<std::pair<std::string, Bytes>> bad;
  auto variant = [&](const std::string& name, const std::function<void(BmpSpec&)>& change) {
    BmpSpec s = good;
    change(s);
    bad.push_back({name, MakeBMP(s)});
  };
  variant("3 bits", [](BmpSpec& s) { s.bits = 3; s.palette = TestPalette(8); });
  variant("2 bits RLE", [](BmpSpec& s) { s.bits = 2; s.compression = 1; s.palette = TestPalette(4); });
  variant("OS/2 Huffman", [](BmpSpec& s) { s.headerSize = 64; s.bits = 1; s.compression = 3;
                                           s.palette = TestPalette(2); });
  variant("RLE24 in a Windows header", [](BmpSpec& s) { s.compression = 4; });
  variant("embedded JPEG", [](BmpSpec& s) { s.compression = 4; });
  variant("embedded PNG", [](BmpSpec& s) { s.compression = 5; });
  variant("RLE8 at 24 bits", [](BmpSpec& s) { s.compression = 1; });
  variant("1 bit RLE", [](BmpSpec& s) { s.bits = 1; s.compression = 2; s.palette = TestPalette(2); });
  variant("huge size", [](BmpSpec& s) { s.width = 2000000000; s.height = 2000000000; });
  variant("wide", [](BmpSpec& s) { s.width = 100000; s.height = 100000; });
  variant("negative width", [](BmpSpec& s) { s.width = -8; });
  variant("minimum height", [](BmpSpec& s) { s.height = INT32_MIN; });
  variant("RLE8 forged", [](BmpSpec& s) { s.bits = 8; s.compression = 1; s.width = 60000; s.height = 60000;
                                         s.palette = TestPalette(256); s.pixels = {0, 1}; });
  bad.push_back({"signature", Bytes{'B', 'X'}});
  {
    Bytes f = file;
    f[14] = 8;  // header size 8
    bad.push_back({"header size 8", f});
    f = file;
    IEPutU32(f.data() + 14, 0xFFFFFFF0u, false);
    bad.push_back({"header size huge", f});
    f = file;
    IEPutU32(f.data() + 10, 0x7FFFFFF0u, false);
    bad.push_back({"offset past the end", f});
  }
  for (size_t cut : {10, 20, 54, 60, 100}) bad.push_back({"cut " + std::to_string(cut), Bytes(file.begin(), file.begin() + cut)});
  for (const auto& [name, f] : bad) {
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    EXPECT_TRUE(Read(f, b, p).aborted) << name;
  }
}

TEST(BmpReader, RunLengthDataComesFromWhatTheFileHolds) {
  // The file-size field claims 4 GB; the data is what is there.
  BmpSpec s;
  s.width = 4;
  s.height = 1;
  s.bits = 8;
  s.compression = 1;
  s.palette = TestPalette(8);
  s.pixels = {4, 3, 0, 1};
  Bytes f = MakeBMP(s);
  IEPutU32(f.data() + 2, 0xFFFFFFFFu, false);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = true;
  ASSERT_FALSE(Read(f, b, p).aborted);
  EXPECT_EQ(b.GetPixel8(3, 0), 3);
}

TEST(BmpReader, BitFieldsInAnyOrderWidenByReplicationWithTheirAlpha) {
  // Four pixels a row, two rows; Pixel(x) is the stored value, Want(x) blue, green, red, alpha.
  struct Case {
    const char* name;
    uint32_t header;
    uint16_t bits;
    uint32_t compression;
    std::array<uint32_t, 4> masks;
    std::array<uint32_t, 4> pixel;
    std::array<std::array<uint8_t, 4>, 4> want;  // b, g, r, a (a 255: no alpha mask returned)
    bool alpha;
  };
  const Case cases[] = {
      // Red lowest, blue highest (5-5-5): 31 -> 255, 16 -> 132, 1 -> 8.
      {"5-5-5 reversed", 40, 16, 3, {0x001F, 0x03E0, 0x7C00, 0}, {0x001F, 0x7C00, 0x0210, 0x0001},
       {{{0, 0, 255, 255}, {255, 0, 0, 255}, {0, 132, 132, 255}, {0, 0, 8, 255}}}, false},
      // 5-6-5 in the V2 header: green 63 -> 255, 32 -> 130.
      {"5-6-5", 52, 16, 3, {0xF800, 0x07E0, 0x001F, 0}, {0xF800, 0x07E0, 0x0400, 0x0000},
       {{{0, 0, 255, 255}, {0, 255, 0, 255}, {0, 130, 0, 255}, {0, 0, 0, 255}}}, false},
      // 4-4-4-4 with alpha on top (V5): v * 17.
      {"4-4-4-4", 124, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, {0xF00F, 0x80F0, 0x0F00, 0x1234},
       {{{255, 0, 0, 255}, {0, 255, 0, 136}, {0, 0, 255, 0}, {68, 51, 34, 17}}}, true},
      // 1-5-5-5 (V4): the one alpha bit gives 0 or 255.
      {"1-5-5-5", 108, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, {0xFC00, 0x03E0, 0x801F, 0x0000},
       {{{0, 0, 255, 255}, {0, 255, 0, 0}, {255, 0, 0, 255}, {0, 0, 0, 0}}}, true},
      // 2-10-10-10 in 32 bits with alpha on top: the top 8 of 10 bits, 2 alpha bits replicated.
      {"2-10-10-10", 124, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
       {0xFFF00000, 0x400FFC00, 0x800003FF, 0x00080001},
       {{{0, 0, 255, 255}, {0, 255, 0, 85}, {255, 0, 0, 170}, {0, 128, 0, 0}}}, true},
      // Blue on top, red at the bottom, alpha in the middle, as BI_ALPHABITFIELDS after a 40-byte header.
      {"alpha bit fields", 40, 32, 6, {0x000000FF, 0x0000FF00, 0xFF000000, 0x00FF0000},
       {0x11223344, 0xFF000000, 0x00FF00FF, 0x0000FF00},
       {{{0x11, 0x33, 0x44, 0x22}, {255, 0, 0, 0}, {0, 0, 255, 255}, {0, 255, 0, 0}}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpSpec s;
    s.headerSize = c.header;
    s.width = 4;
    s.height = 2;
    s.bits = c.bits;
    s.compression = c.compression;
    s.masks = c.masks;
    s.pixels = PackRows(4, 2, c.bits, [&](int x, int) { return c.pixel[x]; }, false);
    for (bool ignoreAlpha : {false, true}) {
      TIEBitmap b;
      TIOParamsVals p(nullptr);
      auto r = Read(MakeBMP(s), b, p, false, ignoreAlpha);
      ASSERT_FALSE(r.aborted);
      ASSERT_EQ(r.alpha != nullptr, c.alpha && !ignoreAlpha);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
          const auto& w = c.want[x];
          EXPECT_EQ(b.GetPixel24(x, y), (TIERGB{w[0], w[1], w[2]})) << x;
          if (r.alpha) {
            EXPECT_EQ(r.alpha->GetPixel(x, y), w[3]) << x;
          }
        }
    }
  }
  // A 1-5-5-5 file whose alpha bits are all 0 is opaque, as 32-bit files are.
  BmpSpec s;
  s.headerSize = 108;
  s.width = 2;
  s.height = 1;
  s.bits = 16;
  s.compression = 3;
  s.masks = {0x7C00, 0x03E0, 0x001F, 0x8000};
  s.pixels = PackRows(2, 1, 16, [](int x, int) { return x ? 0x7FFFu : 0x0000u; }, false);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  auto r = Read(MakeBMP(s), b, p);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.alpha, nullptr);
  EXPECT_EQ(b.GetPixel24(1, 0), CreateRGB(255, 255, 255));
}

TEST(BmpReader, OneBitFilesWithOtherColoursReadInThem) {
  const std::vector<TIERGB> redYellow = {CreateRGB(200, 0, 0), CreateRGB(255, 255, 0)};
  auto index = [](int x, int y) { return static_cast<uint32_t>((x + y) % 3 == 0); };
  for (uint32_t header : {40u, 12u}) {
    for (bool native : {false, true}) {
      SCOPED_TRACE(testing::Message() << header << " " << native);
      BmpSpec s;
      s.headerSize = header;
      s.width = 10;
      s.height = 3;
      s.bits = 1;
      s.palette = redYellow;
      s.pixels = PackRows(10, 3, 1, index, false);
      TIEBitmap b;
      TIOParamsVals p(nullptr);
      p.IsNativePixelFormat = native;
      ASSERT_FALSE(Read(MakeBMP(s), b, p).aborted);
      EXPECT_EQ(p.BitsPerSample, 1);
      ASSERT_EQ(b.PixelFormat(), native ? ie8p : ie24RGB);
      if (native) {
        EXPECT_EQ(b.PaletteUsed(), 2);
        EXPECT_EQ(b.GetPaletteColor(1), redYellow[1]);
      }
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) {
          if (native) {
            ASSERT_EQ(b.GetPixel8(x, y), index(x, y));
          }
          ASSERT_EQ(b.GetPixelRGB(x, y), redYellow[index(x, y)]) << x << "," << y;
        }
    }
  }
  // Black and white stay bilevel in either order, also with IsNativePixelFormat.
  for (bool whiteFirst : {false, true}) {
    BmpSpec s;
    s.width = 3;
    s.height = 1;
    s.bits = 1;
    s.palette = whiteFirst ? std::vector<TIERGB>{CreateRGB(255, 255, 255), CreateRGB(0, 0, 0)}
                           : std::vector<TIERGB>{CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
    s.pixels = PackRows(3, 1, 1, [](int x, int) { return uint32_t(x == 1); }, false);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    ASSERT_FALSE(Read(MakeBMP(s), b, p).aborted);
    EXPECT_EQ(b.PixelFormat(), ie1g);
    EXPECT_EQ(b.GetPixelRGB(1, 0), s.palette[1]);
    EXPECT_EQ(b.GetPixelRGB(0, 0), s.palette[0]);
  }
}

TEST(BmpReader, OS2RunLength24) {
  // 5 x 3, OS/2 2.x header, bottom-up. Bottom row: a run of 3 then a literal of 3 pixels (9 bytes
  // and a pad byte), clipped to 5. Middle row: a delta of (1, 1) from column 0, which moves to
  // column 1 of the top row; there a literal of 2... a run of 2. End of bitmap.
  const Bytes rle24 = {3, 1, 2, 3,                    // 3 x (b 1, g 2, r 3)
                       0, 3, 10, 11, 12, 20, 21, 22, 30, 31, 32, 0,  // literal of 3, padded
                       0, 0,                          // end of line
                       0, 2, 1, 1,                    // delta: 1 right, 1 row on
                       2, 40, 41, 42,                 // 2 x (40, 41, 42)
                       0, 1};
  BmpSpec s;
  s.headerSize = 64;
  s.width = 5;
  s.height = 3;
  s.bits = 24;
  s.compression = 4;
  s.pixels = rle24;
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_FALSE(Read(MakeBMP(s), b, p).aborted);
  EXPECT_EQ(p.BmpCompression, 1);
  EXPECT_EQ(p.BmpVersion, 3);
  const TIERGB o{0, 0, 0}, a{1, 2, 3}, l1{10, 11, 12}, l2{20, 21, 22}, r{40, 41, 42};
  const TIERGB want[3][5] = {{o, r, r, o, o}, {o, o, o, o, o}, {a, a, a, l1, l2}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(b.GetPixel24(x, y), want[y][x]) << x << "," << y;
}

TEST(BmpReader, DamagedDataIsKeptAsFarAsItIsGood) {
  // 24 bits, 3 x 4: rows of 9 pixel bytes and 3 of padding, bottom-up.
  BmpSpec s;
  s.width = 3;
  s.height = 4;
  s.bits = 24;
  s.pixels = PackRows(3, 4, 24, [](int x, int y) { return uint32_t(x * 40 + y + 1) * 0x010101u; }, false);
  const Bytes whole = MakeBMP(s);
  auto colour = [](int x, int y) { const auto v = uint8_t(x * 40 + y + 1); return TIERGB{v, v, v}; };
  {
    // The last row without its padding reads whole.
    const Bytes f(whole.begin(), whole.end() - 3);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_FALSE(Read(f, b, p).aborted);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b.GetPixel24(x, 0), colour(x, 0));
  }
  {
    // Cut inside the third stored row: the two rows read stay (the bottom two), the load fails.
    const Bytes f(whole.begin(), whole.end() - 12 - 5);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(Read(f, b, p).aborted);
    for (int y : {2, 3})
      for (int x = 0; x < 3; ++x) EXPECT_EQ(b.GetPixel24(x, y), colour(x, y)) << x << "," << y;
  }
  {
    // An 8-bit file whose header asks for 256 colours but whose pixels start after 4: the table
    // stops at the pixels.
    BmpSpec e;
    e.width = 4;
    e.height = 1;
    e.bits = 8;
    e.palette = TestPalette(4);
    e.colorsUsed = 0;
    e.pixels = {3, 2, 1, 0};
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_FALSE(Read(MakeBMP(e), b, p).aborted);
    EXPECT_EQ(p.ColorMapCount, 4);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixel24(x, 0), e.palette[3 - x]);
  }
}

TEST(BmpReader, SmallFilesDeclaringHugeImagesAreRefusedBeforeAllocating) {
  std::mt19937 rng(7);
  Bytes junk(1 << 20);
  for (auto& v : junk) v = static_cast<uint8_t>(rng());
  struct Case { const char* name; BmpSpec spec; };
  std::vector<Case> cases;
  {
    // 256 M pixels of RLE8 whose data ends at once, then a megabyte of junk inside the declared
    // sizes: only the bytes up to the end-of-bitmap code count.
    BmpSpec s;
    s.width = 16000;
    s.height = 16000;
    s.bits = 8;
    s.compression = 1;
    s.palette = TestPalette(256);
    s.pixels = {0, 1};
    s.pixels.insert(s.pixels.end(), junk.begin(), junk.end());
    cases.push_back({"RLE8 with junk after its end", s});
    s.bits = 4;
    s.compression = 2;
    s.palette = TestPalette(16);
    cases.push_back({"RLE4 with junk after its end", s});
  }
  {
    // 2000 x 2000 at 24 bits need 12 MB; a megabyte holds a twelfth of them.
    BmpSpec s;
    s.width = 2000;
    s.height = 2000;
    s.bits = 24;
    s.pixels = junk;
    cases.push_back({"24 bits with a twelfth of the rows", s});
    s.bits = 32;
    s.width = 1000;
    cases.push_back({"32 bits with a sixteenth of the rows", s});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IEImageSizeGateLogForTesting(true);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    EXPECT_TRUE(Read(MakeBMP(c.spec), b, p).aborted);
    const TIEImageSizeGateLog log = IEImageSizeGateLogForTesting(true);
    EXPECT_EQ(log.Refused, 1);
    EXPECT_EQ(log.LargestGrantedPixels, 0);
    EXPECT_TRUE(b.IsEmpty());
  }
}

// ------------------------------------------------------------------------------------- writing

TIEBitmap* FillPattern(TIEBitmap& b, int colors) {
  std::mt19937 rng(static_cast<uint32_t>(colors));
  const auto pal = TestPalette(colors);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      // Runs and single pixels alike.
      const int i = (x / 3 + y) % 2 ? static_cast<int>(rng() % colors) : (y % colors);
      b.SetPixel24(x, y, pal[i]);
    }
  return &b;
}

TEST(BmpWriter, RoundTripsEveryWritableDepthAndHeader) {
  struct Case { int32_t bitsPerSample, samples; uint8_t version, compression; int colors; };
  const Case cases[] = {
      {1, 1, 1, 0, 2},   {1, 1, 2, 0, 2},  {1, 1, 3, 0, 2},  {4, 1, 1, 0, 16}, {4, 1, 1, 1, 16},
      {4, 1, 2, 1, 16},  {4, 1, 3, 1, 9},  {8, 1, 1, 0, 256}, {8, 1, 1, 1, 200}, {8, 1, 2, 0, 77},
      {8, 1, 0, 1, 256}, {8, 3, 1, 0, 0},  {8, 3, 2, 0, 0},  {8, 3, 3, 0, 0},
  };
  for (const Case& c : cases) {
    for (int w : {1, 7, 37}) {
      SCOPED_TRACE(testing::Message() << c.bitsPerSample << "/" << c.samples << " v" << int(c.version) << " c"
                                      << int(c.compression) << " w " << w);
      TIEBitmap src(w, 9, ie24RGB);
      if (c.colors > 0) {
        FillPattern(src, c.colors);
      } else {
        for (int y = 0; y < 9; ++y)
          for (int x = 0; x < w; ++x) src.SetPixel24(x, y, DirectColor(x, y));
      }
      TIOParamsVals p(nullptr);
      p.BitsPerSample = c.bitsPerSample;
      p.SamplesPerPixel = c.samples;
      p.BmpVersion = c.version;
      p.BmpCompression = c.compression;
      p.SetDpiX(300);
      p.SetDpiY(150);
      bool aborted = true;
      const Bytes file = Write(src, p, false, &aborted);
      ASSERT_FALSE(aborted);
      EXPECT_EQ(IEGetU32(file.data() + 2, false), file.size());
      TIEBitmap back;
      TIOParamsVals q(nullptr);
      ASSERT_FALSE(Read(file, back, q).aborted);
      EXPECT_EQ(q.BmpVersion, c.version == 0 ? 1 : c.version);
      if (c.version != 2) {
        EXPECT_EQ(q.DpiX, 300);
        EXPECT_EQ(q.DpiY, 150);
      }
      for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < w; ++x) ASSERT_EQ(back.GetPixelRGB(x, y), src.GetPixel24(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(BmpWriter, RunLengthRowsEndInEndOfLineThenEndOfBitmap) {
  TIEBitmap src(10, 4, ie24RGB);
  FillPattern(src, 5);
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.BmpCompression = 1;
  p.BmpVersion = 1;
  Bytes file = Write(src, p, false);
  EXPECT_EQ(IEGetU32(file.data() + 14 + 16, false), 1u);  // compression RLE8
  const uint32_t offset = IEGetU32(file.data() + 10, false);
  EXPECT_EQ(IEGetU32(file.data() + 14 + 20, false), file.size() - offset);  // image size
  EXPECT_EQ(file[file.size() - 2], 0);
  EXPECT_EQ(file[file.size() - 1], 1);
  EXPECT_EQ(file[file.size() - 4], 0);
  EXPECT_EQ(file[file.size() - 3], 0);

  p.BmpVersion = 2;
  file = Write(src, p, false);
  EXPECT_EQ(IEGetU32(file.data() + 14, false), 12u);
  EXPECT_EQ(IEGetU32(file.data() + 10, false), 14u + 12u + 256u * 3u);
  EXPECT_EQ(file.size(), 14u + 12u + 256u * 3u + 12u * 4u);  // uncompressed rows of 12 bytes
}

TEST(BmpWriter, TwoColourImagesAtOneBitKeepBothColoursDarkerFirst) {
  TIEBitmap src(9, 2, ie24RGB);
  src.Fill(0x00FFFF);  // yellow (TColor)
  src.SetPixel24(4, 1, CreateRGB(200, 0, 0));
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 1;
  const Bytes file = Write(src, p, false);
  const uint32_t offset = IEGetU32(file.data() + 10, false);
  EXPECT_EQ(offset, 14u + 40u + 8u);
  EXPECT_EQ(file[54 + 2], 200);  // entry 0 red: blue, green, red
  EXPECT_EQ(file[58 + 0], 0);
  EXPECT_EQ(file[58 + 2], 255);
  // Read back in its colours.
  TIEBitmap back;
  TIOParamsVals q(nullptr);
  ASSERT_FALSE(Read(file, back, q).aborted);
  EXPECT_EQ(back.PixelFormat(), ie24RGB);
  EXPECT_EQ(back.GetPixelRGB(4, 1), CreateRGB(200, 0, 0));
  EXPECT_EQ(back.GetPixelRGB(0, 0), CreateRGB(255, 255, 0));
  ASSERT_EQ(q.ColorMapCount, 2);
  EXPECT_EQ(q.ColorMap()[0], CreateRGB(200, 0, 0));
  EXPECT_EQ(q.ColorMap()[1], CreateRGB(255, 255, 0));
}

TEST(BmpWriter, AlphaGoesToThirtyTwoBits) {
  TIEBitmap src(3, 2, ie24RGB);
  src.Fill(0x102030);
  src.SetAlpha(1, 0, 99);
  TIOParamsVals p(nullptr);
  for (bool useAlpha : {true, false}) {
    const Bytes file = Write(src, p, useAlpha);
    EXPECT_EQ(IEGetU16(file.data() + 14 + 14, false), 32);
    TIEBitmap back;
    TIOParamsVals q(nullptr);
    auto r = Read(file, back, q);
    ASSERT_FALSE(r.aborted);
    if (useAlpha) {
      ASSERT_NE(r.alpha, nullptr);
      EXPECT_EQ(r.alpha->GetPixel(1, 0), 99);
      EXPECT_EQ(r.alpha->GetPixel(0, 0), 255);
    } else {
      EXPECT_EQ(r.alpha, nullptr);  // every fourth byte 255
    }
  }
}

TEST(BmpWriter, ConvertsFormatsItDoesNotReadFirst) {
  const TIEPixelFormat formats[] = {ie8g, ie16g, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGB, ie1g, ie8p};
  for (TIEPixelFormat f : formats) {
    for (int32_t bits : {1, 4, 8, 24}) {
      SCOPED_TRACE(testing::Message() << int(f) << " at " << bits);
      // Black on the left, white on the right.
      TIEBitmap src(6, 3, f);
      if (f == ie8p) src.SetPaletteColor(255, CreateRGB(255, 255, 255));
      src.Fill(0);
      src.FillRect(3, 0, 5, 2, f == ie8p ? 255 : (f == ie32f ? 1.0 : (f == ie16g ? 65535 : 0xFFFFFF)));
      TIOParamsVals p(nullptr);
      p.BitsPerSample = bits == 24 ? 8 : bits;
      p.SamplesPerPixel = bits == 24 ? 3 : 1;
      bool aborted = true;
      const Bytes file = Write(src, p, true, &aborted);
      ASSERT_FALSE(aborted);
      TIEBitmap back;
      TIOParamsVals q(nullptr);
      ASSERT_FALSE(Read(file, back, q).aborted);
      for (int x : {0, 5}) {
        const TIERGB want = src.GetPixelRGB(x, 2), got = back.GetPixelRGB(x, 2);
        // The quantizer's grey ramp of 16 entries stops at 240.
        EXPECT_LE(std::abs(want.r - got.r) + std::abs(want.g - got.g) + std::abs(want.b - got.b), bits == 4 ? 45 : 6)
            << x;
      }
    }
  }
}

TEST(BmpWriter, ResolutionsOutsideTheHeaderFieldAreClamped) {
  TIEBitmap src(2, 2, ie24RGB);
  for (int32_t dpi : {INT32_MAX, INT32_MIN, -300}) {
    TIOParamsVals p(nullptr);
    p.SetDpiX(dpi);
    p.SetDpiY(dpi);
    const Bytes file = Write(src, p, false);
    const auto ppm = static_cast<int32_t>(IEGetU32(file.data() + 14 + 24, false));
    EXPECT_EQ(ppm, dpi == -300 ? -11811 : (dpi > 0 ? INT32_MAX : INT32_MIN)) << dpi;
  }
}

TEST(BmpWriter, AShortWriteSetsAborting) {
  // A stream that takes 100 bytes only.
  struct Short : TMemoryStream {
    int32_t Write(const void* b, int32_t n) override {
      const int32_t room = static_cast<int32_t>(std::max<int64_t>(0, 100 - Position()));
      return TMemoryStream::Write(b, std::min(n, room));
    }
  } s;
  TIEBitmap src(64, 64, ie24RGB);
  TIOParamsVals p(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteBMPStream(s, src, p, progress, false);
  EXPECT_TRUE(aborting);
}

TEST(BmpRLE, EncodersFollowTheCodeTable) {
  const uint8_t row[] = {5, 5, 5, 1, 2, 3, 4, 7, 7, 9};
  uint8_t out[64];
  const int32_t n = EncodeRLE8Row(row, 10, out);
  const Bytes got(out, out + n);
  EXPECT_EQ(got, (Bytes{3, 5, 0, 4, 1, 2, 3, 4, 2, 7, 1, 9, 0, 0}));
  const int32_t n4 = EncodeRLE4Row(row, 10, out);
  EXPECT_EQ(Bytes(out, out + n4), (Bytes{3, 0x55, 0, 4, 0x12, 0x34, 2, 0x77, 1, 0x90, 0, 0}));
  // Two literals: RLE8 as two single runs, RLE4 as one run of two nibbles.
  const uint8_t two[] = {1, 2};
  EXPECT_EQ(Bytes(out, out + EncodeRLE8Row(two, 2, out)), (Bytes{1, 1, 1, 2, 0, 0}));
  EXPECT_EQ(Bytes(out, out + EncodeRLE4Row(two, 2, out)), (Bytes{2, 0x12, 0, 0}));
  // Long literal stretches and long runs are split at 255.
  std::vector<uint8_t> longRow(600);
  for (size_t i = 0; i < 300; ++i) longRow[i] = static_cast<uint8_t>(i % 2);
  std::vector<uint8_t> buf(longRow.size() * 2 + 16);
  const int32_t m = EncodeRLE8Row(longRow.data(), 600, buf.data());
  std::vector<uint8_t> decoded(600, 0xEE);
  DecodeRLEBlock(buf.data(), m, 8, 600, 1, true, decoded.data(), nullptr, nullptr);
  EXPECT_EQ(decoded, longRow);
}

}  // namespace
