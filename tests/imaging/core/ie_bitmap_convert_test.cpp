// TIEBitmap: conversion between pixel formats, as a table of format pairs with known pixels, and the
// rules around it (dithering, thresholds, quantizing, display range, sources left untouched).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/core/ie_settings.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FloatBytes(float v) {
  Bytes b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}
Bytes Words(std::initializer_list<uint16_t> words) {
  Bytes b;
  for (uint16_t w : words) {
    b.push_back(static_cast<uint8_t>(w));
    b.push_back(static_cast<uint8_t>(w >> 8));
  }
  return b;
}
Bytes Int32Bytes(int32_t v) {
  Bytes b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}
Bytes LabBytes(TIECIELab lab) { return Bytes{lab.l, static_cast<uint8_t>(lab.a), static_cast<uint8_t>(lab.b)}; }

// A w x h bitmap of one format whose every pixel holds the given bytes (for ie1g: 0 or 1 in
// pixel[0]); an ie8p bitmap gets entry 7 = (r30, g20, b10) and pixel bytes index it.
std::unique_ptr<TIEBitmap> Solid(TIEPixelFormat format, const Bytes& pixel, TIELocation where = ieMemory,
                                 int32_t w = 3, int32_t h = 2) {
  const int64_t saved = MinFileSizeOverride;
  MinFileSizeOverride = where == ieFile ? 0 : -1;
  auto bmp = std::make_unique<TIEBitmap>(w, h, format);
  MinFileSizeOverride = saved;
  if (format == ie8p) bmp->SetPaletteColor(7, CreateRGB(30, 20, 10));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = bmp->Row<uint8_t>(y);
    if (format == ie1g) {
      std::memset(row, pixel[0] ? 0xFF : 0, bmp->RowLen());
      continue;
    }
    for (int32_t x = 0; x < w; ++x) std::memcpy(row + x * pixel.size(), pixel.data(), pixel.size());
  }
  return bmp;
}

// The bytes of pixel (x, y) (for ie1g: 0 or 1).
Bytes PixelBytes(TIEBitmap& bmp, int32_t x, int32_t y) {
  const uint8_t* row = bmp.Row<uint8_t>(y);
  if (bmp.PixelFormat() == ie1g) return Bytes{static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1)};
  const int32_t bpp = IEBytesPerPixel[bmp.PixelFormat()];
  return Bytes(row + x * bpp, row + (x + 1) * bpp);
}

std::string Hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (uint8_t v : b) {
    std::snprintf(buf, sizeof buf, "%02X ", v);
    s += buf;
  }
  return s;
}

struct PairCase {
  TIEPixelFormat from;
  Bytes source;
  TIEPixelFormat to;
  Bytes expected;
};

// The pixel blue 10, green 20, red 30 in each layout.
const Bytes kBGR = {10, 20, 30};
const TIERGB kColour = CreateRGB(30, 20, 10);
// Its grey levels: (30 * 21 + 20 * 71 + 10 * 8) div 100, (7710 * 212 + 5140 * 713 + 2570 * 75) div 1000,
// and (30 * 0.2126 + 20 * 0.7152 + 10 * 0.0722) / 255.
constexpr uint8_t kGrey = 21;
constexpr uint16_t kGrey16 = 5492;
const float kGreyF = static_cast<float>(21.404 / 255);

std::vector<PairCase> PairCases() {
  const Bytes cmyk = Int32Bytes(RGBToCMYK(kColour));
  const TIERGB fromCMYK = CMYKToRGB(RGBToCMYK(kColour));
  const Bytes lab = LabBytes(RGBToCIELab(kColour));
  const TIERGB fromLab = CIELabToRGB(RGBToCIELab(kColour));
  const Bytes rgb48 = Words({0x1234, 0x5678, 0x9ABC});  // red, green, blue
  // The grey of the high bytes (0x12, 0x56, 0x9A): (18 * 21 + 86 * 71 + 154 * 8) div 100 = 77.
  return {
      // ie1g: white bits
      {ie1g, {1}, ie8g, {255}},
      {ie1g, {1}, ie16g, Words({65535})},
      {ie1g, {1}, ie24RGB, {255, 255, 255}},
      {ie1g, {1}, ie32f, FloatBytes(1.0f)},
      {ie1g, {1}, ieRGB48, Words({65535, 65535, 65535})},
      {ie1g, {0}, ie32RGB, {0, 0, 0, 255}},
      {ie1g, {1}, ie8p, {1}},
      {ie1g, {1}, ieCIELab, LabBytes(RGBToCIELab(CreateRGB(255, 255, 255)))},
      {ie1g, {1}, ieCMYK, Int32Bytes(RGBToCMYK(CreateRGB(255, 255, 255)))},
      // ie8p: index 7 = (r30, g20, b10)
      {ie8p, {7}, ie8g, {kGrey}},
      {ie8p, {7}, ie16g, Words({kGrey16})},
      {ie8p, {7}, ie24RGB, kBGR},
      {ie8p, {7}, ie32f, FloatBytes(kGreyF)},
      {ie8p, {7}, ieRGB48, Words({7710, 5140, 2570})},
      {ie8p, {7}, ie32RGB, {10, 20, 30, 255}},
      {ie8p, {7}, ieCMYK, cmyk},
      {ie8p, {7}, ieCIELab, lab},
      // ie8g
      {ie8g, {128}, ie8p, {128}},
      {ie8g, {255}, ie16g, Words({65535})},
      {ie8g, {128}, ie24RGB, {128, 128, 128}},
      {ie8g, {51}, ie32f, FloatBytes(static_cast<float>(51 / 255.0))},
      {ie8g, {128}, ieRGB48, Words({32896, 32896, 32896})},
      {ie8g, {128}, ie32RGB, {128, 128, 128, 255}},
      // ie16g
      {ie16g, Words({0x1234}), ie8g, {0x12}},
      {ie16g, Words({0x1234}), ie8p, {0x12}},
      {ie16g, Words({0x1234}), ie24RGB, {0x12, 0x12, 0x12}},
      {ie16g, Words({65535}), ie32f, FloatBytes(1.0f)},
      {ie16g, Words({0x1234}), ieRGB48, Words({0x1234, 0x1234, 0x1234})},
      {ie16g, Words({0x1234}), ie32RGB, {0x12, 0x12, 0x12, 255}},
      {ie16g, Words({0xFFFF}), ieCMYK, Int32Bytes(RGBToCMYK(CreateRGB(255, 255, 255)))},
      // ie24RGB
      {ie24RGB, kBGR, ie8g, {kGrey}},
      {ie24RGB, kBGR, ie16g, Words({kGrey16})},
      {ie24RGB, kBGR, ie32f, FloatBytes(kGreyF)},
      {ie24RGB, kBGR, ieCMYK, cmyk},
      {ie24RGB, kBGR, ieRGB48, Words({7710, 5140, 2570})},
      {ie24RGB, kBGR, ieCIELab, lab},
      {ie24RGB, kBGR, ie32RGB, {10, 20, 30, 255}},
      // ie32f: scaled after clamping to 0..1
      {ie32f, FloatBytes(0.5f), ie8g, {127}},
      {ie32f, FloatBytes(0.5f), ie16g, Words({32767})},
      {ie32f, FloatBytes(0.5f), ie24RGB, {127, 127, 127}},
      {ie32f, FloatBytes(0.5f), ieRGB48, Words({32767, 32767, 32767})},
      {ie32f, FloatBytes(0.5f), ie32RGB, {127, 127, 127, 255}},
      {ie32f, FloatBytes(0.5f), ie8p, {127}},
      {ie32f, FloatBytes(1.01f), ie8g, {255}},  // not the low byte of 257
      {ie32f, FloatBytes(1.01f), ie16g, Words({65535})},
      {ie32f, FloatBytes(-0.5f), ie24RGB, {0, 0, 0}},
      {ie32f, FloatBytes(std::numeric_limits<float>::quiet_NaN()), ie8g, {0}},
      {ie32f, FloatBytes(1.0f), ieCIELab, LabBytes(RGBToCIELab(CreateRGB(255, 255, 255)))},
      // ieCMYK: through RGB
      {ieCMYK, cmyk, ie24RGB, {fromCMYK.b, fromCMYK.g, fromCMYK.r}},
      {ieCMYK, cmyk, ie32RGB, {fromCMYK.b, fromCMYK.g, fromCMYK.r, 255}},
      {ieCMYK, cmyk, ie8g, {static_cast<uint8_t>(RGBToGray(fromCMYK))}},
      {ieCMYK, cmyk, ieRGB48,
       Words({static_cast<uint16_t>(fromCMYK.r * 257), static_cast<uint16_t>(fromCMYK.g * 257),
              static_cast<uint16_t>(fromCMYK.b * 257)})},
      // ieRGB48: the high bytes
      {ieRGB48, rgb48, ie24RGB, {0x9A, 0x56, 0x12}},
      {ieRGB48, rgb48, ie32RGB, {0x9A, 0x56, 0x12, 255}},
      {ieRGB48, rgb48, ie8g, {77}},
      {ieRGB48, rgb48, ie16g, Words({19741})},
      {ieRGB48, Words({65535, 65535, 65535}), ie32f, FloatBytes(1.0f)},  // not a little above 1
      {ieRGB48, rgb48, ieCMYK, Int32Bytes(RGBToCMYK(CreateRGB(0x12, 0x56, 0x9A)))},
      // ieCIELab: through RGB
      {ieCIELab, lab, ie24RGB, {fromLab.b, fromLab.g, fromLab.r}},
      {ieCIELab, lab, ie32RGB, {fromLab.b, fromLab.g, fromLab.r, 255}},
      {ieCIELab, lab, ie16g,
       Words({Grey16(fromLab.r * 257u, fromLab.g * 257u, fromLab.b * 257u)})},
      // ie32RGB: the first three bytes
      {ie32RGB, {10, 20, 30, 77}, ie24RGB, kBGR},
      {ie32RGB, {10, 20, 30, 77}, ie8g, {kGrey}},
      {ie32RGB, {10, 20, 30, 77}, ie16g, Words({kGrey16})},
      {ie32RGB, {10, 20, 30, 77}, ieRGB48, Words({7710, 5140, 2570})},
      {ie32RGB, {10, 20, 30, 77}, ie32f, FloatBytes(kGreyF)},
      {ie32RGB, {10, 20, 30, 77}, ieCMYK, cmyk},
  };
}

}  // namespace

TEST_P(BitmapLocationTest, ConvertPixelFormatTableOfPairs) {
  for (const PairCase& c : PairCases()) {
    SCOPED_TRACE(testing::Message() << "from " << int(c.from) << " to " << int(c.to));
    auto bmp = Solid(c.from, c.source, GetParam());
    bmp->ConvertPixelFormat(c.to);
    ASSERT_EQ(bmp->PixelFormat(), c.to);
    ASSERT_EQ(bmp->Width(), 3);
    ASSERT_EQ(bmp->Height(), 2);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(Hex(PixelBytes(*bmp, x, y)), Hex(c.expected)) << x << "," << y;
  }
}

TEST_F(BitmapTest, ConversionToPaletteSetsThePalette) {
  auto bw = Solid(ie1g, {1});
  bw->ConvertPixelFormat(ie8p);
  EXPECT_TRUE(SameRGB(bw->GetPaletteColor(0), CreateRGB(0, 0, 0)));
  EXPECT_TRUE(SameRGB(bw->GetPaletteColor(1), CreateRGB(255, 255, 255)));

  auto grey = Solid(ie16g, Words({0x8000}));
  grey->ConvertPixelFormat(ie8p);
  for (int i : {0, 1, 128, 255}) EXPECT_TRUE(SameRGB(grey->GetPaletteColor(i), CreateRGB(i, i, i))) << i;

  // Back to true colour through the palette.
  grey->ConvertPixelFormat(ie24RGB);
  EXPECT_TRUE(SameRGB(grey->GetPixel24(2, 1), CreateRGB(128, 128, 128)));
  EXPECT_EQ(grey->GetPaletteLength(), 0);
}

TEST_P(BitmapLocationTest, TrueColourToPaletteAndBack) {
  // Four colours fit in an exact palette: in order of first appearance, every pixel exact.
  auto bmp = Make(4, 3, ie24RGB, GetParam());
  const TIERGB colours[4] = {CreateRGB(200, 0, 0), CreateRGB(0, 200, 0), CreateRGB(0, 0, 200), CreateRGB(9, 9, 1)};
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) bmp->SetPixel24(x, y, colours[(x + y) % 4]);
  bmp->SetAlpha(2, 2, 17);
  bmp->ConvertPixelFormat(ie8p);
  ASSERT_EQ(bmp->PixelFormat(), ie8p);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameRGB(bmp->GetPaletteColor(i), colours[i])) << i;
  EXPECT_EQ(bmp->GetPixel8(3, 2), (3 + 2) % 4);
  EXPECT_EQ(bmp->GetAlpha(2, 2), 17);  // the alpha channel stays

  bmp->ConvertPixelFormat(ie24RGB);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_TRUE(SameRGB(bmp->GetPixel24(x, y), colours[(x + y) % 4]));
}

TEST_F(BitmapTest, TrueColourToFewerColoursUsesPaletteUsed) {
  // 64 colours into 4: every index stays below 4, and each pixel's entry is its own colour cluster.
  TIEBitmap bmp(8, 8, ie24RGB);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const uint8_t base = x < 4 ? 16 : 224;
      bmp.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(base + x), static_cast<uint8_t>(y < 4 ? 16 + y : 224 + y), 128));
    }
  bmp.SetPaletteUsed(4);
  bmp.ConvertPixelFormat(ie8p);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const uint8_t index = bmp.GetPixel8(x, y);
      ASSERT_LT(index, 4);
      const TIERGB c = bmp.GetPaletteColor(index);
      EXPECT_EQ(c.r >= 128, x >= 4) << x << "," << y;
      EXPECT_EQ(c.g >= 128, y >= 4) << x << "," << y;
    }
}

TEST_F(BitmapTest, OrderedDitherOfGrey128IsHalfWhite) {
  auto bmp = Solid(ie24RGB, {128, 128, 128}, ieMemory, 16, 16);
  bmp->SetBWConversion(0);
  bmp->SetPixelFormat(ie1g);
  ASSERT_EQ(bmp->PixelFormat(), ie1g);
  int white = 0;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      const bool on = PixelBytes(*bmp, x, y)[0] != 0;
      white += on;
      // grey 128 is level 32: white where the matrix entry (row x mod 8, column y mod 8) is below 32
      EXPECT_EQ(on, OrderedDitherMatrix[x & 7][y & 7] < 32) << x << "," << y;
    }
  EXPECT_EQ(white, 128);

  // Pure white and pure black stay so.
  for (uint8_t v : {0, 255}) {
    auto solid = Solid(ie8g, {v}, ieMemory, 9, 9);
    solid->SetBWConversion(0);
    solid->ConvertPixelFormat(ie1g);
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(PixelBytes(*solid, x, y)[0], v ? 1 : 0) << int(v);
  }
}

TEST_F(BitmapTest, ThresholdToOneBitAtTheMeanGrey) {
  // Default BWConversion 1: white where the grey is at least the grey of the mean colour.
  TIEBitmap bmp(4, 1, ie8g);
  const uint8_t levels[4] = {10, 100, 101, 200};  // mean colour 102: only 200 reaches it
  for (int32_t x = 0; x < 4; ++x) bmp.SetPixel8(x, 0, levels[x]);
  bmp.ConvertPixelFormat(ie1g);
  const char* expected = "0001";
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(PixelBytes(bmp, x, 0)[0], expected[x] - '0') << x;

  // The same from 48 bits, whose pixels are read by their high bytes.
  auto wide = Solid(ieRGB48, Words({0x0100, 0x0100, 0x0100}), ieMemory, 4, 1);
  TIERGB48* px = wide->GetPixelPtr48(3, 0);
  px->r = px->g = px->b = 0xC800;
  wide->ConvertPixelFormat(ie1g);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(PixelBytes(*wide, x, 0)[0], x == 3 ? 1 : 0) << x;
}

TEST_F(BitmapTest, Grey16ToColourMapsTheDisplayRange) {
  TIEBitmap bmp(4, 1, ie16g);
  const uint16_t words[4] = {500, 1000, 1500, 3000};
  for (int32_t x = 0; x < 4; ++x) bmp.SetPixel16(x, 0, words[x]);
  bmp.SetDisplayRangeMin(1000);
  bmp.SetDisplayRangeMax(2000);
  bmp.ConvertPixelFormat(ie24RGB);
  const uint8_t expected[4] = {0, 0, 127, 255};  // limited to 1000..2000, then Trunc((w - lo) / 1000 * 255)
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(bmp.GetPixel24(x, 0).g, expected[x]) << x;

  // ie32RGB takes the high byte, whatever the range.
  TIEBitmap other(1, 1, ie16g);
  other.SetPixel16(0, 0, 0x1234);
  other.SetDisplayRangeMin(0);
  other.SetDisplayRangeMax(100);
  other.ConvertPixelFormat(ie32RGB);
  EXPECT_EQ(other.Row<uint8_t>(0)[0], 0x12);
}

TEST_P(BitmapLocationTest, CopyingFromIndirectFormatsLeavesTheSourceIntact) {
  // Pairs that go through 24 bits work on a copy: the source keeps its format, its bytes and alpha.
  struct Case {
    TIEPixelFormat from;
    Bytes pixel;
    TIEPixelFormat to;
  };
  const Case cases[] = {
      {ieCMYK, Int32Bytes(RGBToCMYK(kColour)), ie8g},  {ieCMYK, Int32Bytes(RGBToCMYK(kColour)), ie8p},
      {ieRGB48, Words({1, 2, 3}), ieCIELab},          {ieRGB48, Words({1, 2, 3}), ie1g},
      {ieCIELab, LabBytes(RGBToCIELab(kColour)), ie16g}, {ie32f, FloatBytes(0.25f), ieCMYK},
      {ie32RGB, {1, 2, 3, 99}, ie8p},                 {ie32RGB, {1, 2, 3, 99}, ie32f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "from " << int(c.from) << " to " << int(c.to));
    auto src = Solid(c.from, c.pixel, GetParam());
    src->SetAlpha(1, 1, 42);
    auto dest = Make(3, 2, c.to, GetParam());
    dest->CopyAndConvertFormat(*src);
    EXPECT_EQ(src->PixelFormat(), c.from);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(Hex(PixelBytes(*src, x, y)), Hex(c.pixel));
    EXPECT_EQ(src->GetAlpha(1, 1), 42);
    EXPECT_EQ(dest->GetAlpha(1, 1), 42);
  }
}

TEST_F(BitmapTest, ConvertingAnEmptyBitmapOnlySetsTheFormat) {
  TIEBitmap bmp;
  bmp.ConvertPixelFormat(ie24RGB);
  EXPECT_TRUE(bmp.IsEmpty());
  EXPECT_EQ(bmp.PixelFormat(), ie24RGB);
  TIEBitmap other(2, 2, ie8g);
  other.ConvertPixelFormat(ieNoFormat);
  EXPECT_TRUE(other.IsEmpty());
}

TEST_F(BitmapTest, ConvertPixelFormatKeepsSettingsAndAlphaFlag) {
  TIEBitmap bmp(2, 2, ie8g);
  bmp.Fill(200);
  bmp.SetAlpha(0, 0, 5);
  bmp.SetBWConversion(0);
  bmp.SetPaletteUsed(16);
  bmp.ConvertPixelFormat(ie24RGB);
  EXPECT_EQ(bmp.BWConversion(), 0);
  EXPECT_EQ(bmp.PaletteUsed(), 16);
  EXPECT_EQ(bmp.GetAlpha(0, 0), 5);
  EXPECT_FALSE(bmp.IsAlphaChannel());

  TIEBitmap* alpha = bmp.GetAlphaChannel();
  alpha->ConvertPixelFormat(ie8g);  // same format: pixels kept
  EXPECT_TRUE(alpha->IsAlphaChannel());
  EXPECT_EQ(alpha->GetPixel8(0, 0), 5);
}

TEST_P(BitmapLocationTest, MergeAlphaRectToKeepsTheLarger) {
  auto src = Make(3, 3, ie24RGB, GetParam());
  auto dst = Make(3, 3, ie24RGB, GetParam());
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) {
      src->SetAlpha(x, y, static_cast<uint8_t>(10 * (x + 3 * y)));
      dst->SetAlpha(x, y, 35);
    }
  // The rectangle moves one pixel left (DstX -1 shifts the source right) and is clipped.
  src->MergeAlphaRectTo(*dst, 0, 0, -1, 1, 3, 5);
  // dst (0, 1) takes src (1, 0) = 10 -> 35 kept; dst (1, 2) takes src (2, 1) = 50.
  EXPECT_EQ(dst->GetAlpha(0, 1), 35);
  EXPECT_EQ(dst->GetAlpha(1, 2), 50);
  EXPECT_EQ(dst->GetAlpha(0, 2), 40);
  EXPECT_EQ(dst->GetAlpha(2, 2), 35);  // outside the copied width
  EXPECT_EQ(dst->GetAlpha(1, 0), 35);  // above the destination rectangle
}
