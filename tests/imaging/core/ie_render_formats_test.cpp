// Drawing every pixel format: the plain and blending renderers on solid sources with worked
// results, the display adjustments, blend operations, kept tables, clipping against the source and
// the destination, file-held destinations, and StretchRectTo with its alpha channel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_colorspace.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

struct BGR {
  int b, g, r;
};

class RenderFormats : public BitmapTest {
 protected:
  static BGR At(TIEBitmap& b, int32_t x, int32_t y) {
    const TIERGB p = b.GetPixel24(x, y);
    return {p.b, p.g, p.r};
  }
  // A destination of w x h filled with one colour.
  static std::unique_ptr<TIEBitmap> Dest(int32_t w, int32_t h, BGR c, TIELocation where = ieMemory) {
    auto d = Make(w, h, ie24RGB, where);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        d->SetPixel24(x, y, TIERGB{static_cast<uint8_t>(c.b), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.r)});
    return d;
  }
  // Every row of a bitmap filled with the bytes of one pixel.
  static void FillBytes(TIEBitmap& b, const std::vector<uint8_t>& pixel) {
    for (int32_t y = 0; y < b.Height(); ++y) {
      auto* row = static_cast<uint8_t*>(b.GetRow(y));
      for (int32_t x = 0; x < b.Width(); ++x) std::memcpy(row + x * pixel.size(), pixel.data(), pixel.size());
    }
  }
};

// d + floor(a (v - d) / 256), v itself at a = 255.
int Blend(int d, int v, int a) {
  if (a == 255) return v;
  const int p = a * (v - d);
  return d + (p >= 0 ? p / 256 : -((-p + 255) / 256));
}

TEST_F(RenderFormats, EveryFormatPlainOpacityAlphaAndBlendOperation) {
  const float half = 0.5f;
  uint8_t halfBytes[4];
  std::memcpy(halfBytes, &half, 4);
  const TIECIELab lab{150, 20, -30};
  const TIERGB labRGB = CIELabToRGB(lab);
  const TIERGB cmykRGB = CMYKToRGB(0x80FF40C0);  // C C0, M 40, Y FF, K 80 from the lowest byte
  struct Case {
    TIEPixelFormat format;
    std::vector<uint8_t> pixel;  // the bytes of every pixel (ie1g: a byte of eight pixels)
    BGR colour;
    bool takesBlendOp;
  };
  const Case cases[] = {
      {ie1g, {0xFF}, {255, 255, 255}, false},
      {ie8p, {3}, {30, 20, 10}, false},
      {ie8g, {100}, {100, 100, 100}, false},
      {ie16g, {0x40, 0x80}, {128, 128, 128}, false},                                  // the high byte
      {ie24RGB, {30, 60, 90}, {30, 60, 90}, true},
      {ie32f, {halfBytes[0], halfBytes[1], halfBytes[2], halfBytes[3]}, {127, 127, 127}, false},  // Trunc(127.5)
      {ieCMYK, {0xC0, 0x40, 0xFF, 0x80}, {cmykRGB.b, cmykRGB.g, cmykRGB.r}, false},
      {ieRGB48, {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}, {0x9A, 0x56, 0x12}, true},       // words R, G, B
      {ieCIELab, {lab.l, static_cast<uint8_t>(lab.a), static_cast<uint8_t>(lab.b)}, {labRGB.b, labRGB.g, labRGB.r},
       false},
      {ie32RGB, {30, 60, 90, 7}, {30, 60, 90}, true},
  };
  const BGR under{200, 10, 100};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format));
    auto src = Make(8, 3, c.format, ieMemory);
    if (c.format == ie8p) src->SetPaletteColor(3, TIERGB{30, 20, 10});
    FillBytes(*src, c.pixel);

    auto d = Dest(8, 3, under);
    src->RenderToTIEBitmap(*d, 0, 0, 8, 3, 0, 0, 8, 3);
    BGR p = At(*d, 5, 1);
    EXPECT_EQ(p.b, c.colour.b);
    EXPECT_EQ(p.g, c.colour.g);
    EXPECT_EQ(p.r, c.colour.r);

    d = Dest(8, 3, under);
    src->RenderToTIEBitmap(*d, 0, 0, 8, 3, 0, 0, 8, 3, 100);
    p = At(*d, 5, 1);
    EXPECT_EQ(p.b, Blend(under.b, c.colour.b, 100));
    EXPECT_EQ(p.g, Blend(under.g, c.colour.g, 100));
    EXPECT_EQ(p.r, Blend(under.r, c.colour.r, 100));

    // Alpha 64 at one pixel, opacity 200: a = min(200, alpha); the opaque pixels take 200.
    src->GetAlphaChannel()->Fill(255);
    src->SetAlpha(5, 1, 64);
    src->GetAlphaChannel()->SetFull(false);
    d = Dest(8, 3, under);
    src->RenderToTIEBitmap(*d, 0, 0, 8, 3, 0, 0, 8, 3, 200);
    p = At(*d, 5, 1);
    EXPECT_EQ(p.g, Blend(under.g, c.colour.g, 64));
    EXPECT_EQ(p.r, Blend(under.r, c.colour.r, 64));
    EXPECT_EQ(At(*d, 4, 1).b, Blend(under.b, c.colour.b, 200));
    src->RemoveAlphaChannel();

    // Operation 9 (minimum) where it applies, else the colour itself.
    d = Dest(8, 3, under);
    src->RenderToTIEBitmap(*d, 0, 0, 8, 3, 0, 0, 8, 3, 255, rfNone, 9);
    p = At(*d, 5, 1);
    const BGR expect = c.takesBlendOp ? BGR{std::min(under.b, c.colour.b), std::min(under.g, c.colour.g),
                                            std::min(under.r, c.colour.r)}
                                      : c.colour;
    EXPECT_EQ(p.b, expect.b);
    EXPECT_EQ(p.g, expect.g);
    EXPECT_EQ(p.r, expect.r);
  }
}

TEST_F(RenderFormats, OneToOneDrawingOfEveryFormatEqualsItsConversionToTwentyFourBits) {
  std::mt19937 random(19);
  for (TIEPixelFormat f : {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGB}) {
    SCOPED_TRACE(static_cast<int>(f));
    auto src = Make(13, 7, f, ieMemory);
    for (int32_t y = 0; y < 7; ++y) {
      auto* row = static_cast<uint8_t*>(src->GetRow(y));
      for (int32_t i = 0; i < src->RowLen(); ++i) row[i] = static_cast<uint8_t>(random());
    }
    if (f == ie8p)
      for (int32_t i = 0; i < 256; ++i)
        src->SetPaletteColor(i, TIERGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
    if (f == ie32f)  // some values outside 0..1 and NaN among them
      for (int32_t x = 0; x < 13; ++x) src->SetPixel32f(x, 3, (x - 4) * 0.25f);
    auto expected = IEConvertedCopy(*src, ie24RGB);
    ASSERT_TRUE(expected);
    auto d = Make(13, 7, ie24RGB, ieMemory);
    src->RenderToTIEBitmap(*d, 0, 0, 13, 7, 0, 0, 13, 7);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        const TIERGB a = d->GetPixel24(x, y), b = expected->GetPixel24(x, y);
        ASSERT_TRUE(a.b == b.b && a.g == b.g && a.r == b.r) << x << "," << y;
      }
  }
}

TEST_F(RenderFormats, ContrastOffsetsAndDisplayRange) {
  // Contrast 10 doubles the distance from 128: K = 131072, (131072 x 64) div 65536 + 128 = 256 -> 255
  // and (131072 x -32) div 65536 + 128 = 64.
  auto src = Make(2, 1, ie24RGB, ieMemory);
  src->SetPixel24(0, 0, TIERGB{192, 192, 192});
  src->SetPixel24(1, 0, TIERGB{96, 96, 96});
  src->SetContrast(10);
  auto d = Make(2, 1, ie24RGB, ieMemory);
  src->RenderToTIEBitmap(*d, 0, 0, 2, 1, 0, 0, 2, 1);
  EXPECT_EQ(d->GetPixel24(0, 0).g, 255);
  EXPECT_EQ(d->GetPixel24(1, 0).g, 64);
  // Offsets: red + 10, green - 20, blue + 300 (clamped); contrast off.
  src->SetContrast(0);
  src->SetChannelOffset(0, 10);
  src->SetChannelOffset(1, -20);
  src->SetChannelOffset(2, 300);
  src->RenderToTIEBitmap(*d, 0, 0, 2, 1, 0, 0, 2, 1);
  EXPECT_EQ(d->GetPixel24(1, 0).r, 106);
  EXPECT_EQ(d->GetPixel24(1, 0).g, 76);
  EXPECT_EQ(d->GetPixel24(1, 0).b, 255);
  // ie16g with the range 1000..2000: 1500 -> Trunc(127.5), 500 -> 0, 3000 -> 255.
  auto grey = Make(3, 1, ie16g, ieMemory);
  grey->SetPixel16(0, 0, 1500);
  grey->SetPixel16(1, 0, 500);
  grey->SetPixel16(2, 0, 3000);
  grey->SetDisplayRangeMin(1000);
  grey->SetDisplayRangeMax(2000);
  auto g = Make(3, 1, ie24RGB, ieMemory);
  grey->RenderToTIEBitmap(*g, 0, 0, 3, 1, 0, 0, 3, 1);
  EXPECT_EQ(g->GetPixel24(0, 0).r, 127);
  EXPECT_EQ(g->GetPixel24(1, 0).r, 0);
  EXPECT_EQ(g->GetPixel24(2, 0).r, 255);
  // A range given upside down draws 0, not a wrapped value.
  grey->SetDisplayRangeMin(2000);
  grey->SetDisplayRangeMax(1000);
  grey->RenderToTIEBitmap(*g, 0, 0, 3, 1, 0, 0, 3, 1);
  EXPECT_EQ(g->GetPixel24(0, 0).r, 0);
  // ie32f outside 0..1 without a range: limited first.
  auto f = Make(2, 1, ie32f, ieMemory);
  f->SetPixel32f(0, 0, 1.5f);
  f->SetPixel32f(1, 0, -0.5f);
  f->RenderToTIEBitmap(*g, 0, 0, 2, 1, 0, 0, 2, 1);
  EXPECT_EQ(g->GetPixel24(0, 0).b, 255);
  EXPECT_EQ(g->GetPixel24(1, 0).b, 0);
}

TEST_F(RenderFormats, BlendingRoundsDownAndOpaqueTakesTheSource) {
  struct Case {
    int under, over, opacity, expect;
  } cases[] = {
      {0, 255, 128, 127},    // 127.5 -> 127
      {255, 0, 128, 127},    // 255 + floor(-127.5) = 127, not 128
      {0, 255, 255, 255},    // opaque white over black is white
      {100, 101, 1, 100},
      {101, 100, 1, 100},    // floor(-1 / 256) = -1
      {50, 200, 0, 50},
  };
  for (const auto& c : cases) {
    auto src = Make(1, 1, ie24RGB, ieMemory);
    src->Fill(static_cast<double>(c.over * 0x010101));
    src->GetAlphaChannel()->Fill(static_cast<double>(c.opacity));
    src->GetAlphaChannel()->SetFull(false);
    auto d = Dest(1, 1, {c.under, c.under, c.under});
    src->RenderToTIEBitmap(*d, 0, 0, 1, 1, 0, 0, 1, 1, 254);  // blending path, alpha decides when lower
    EXPECT_EQ(d->GetPixel24(0, 0).g, c.opacity == 255 ? Blend(c.under, c.over, 254) : c.expect)
        << c.under << " " << c.over << " " << c.opacity;
    src->RemoveAlphaChannel();
    d = Dest(1, 1, {c.under, c.under, c.under});
    src->RenderToTIEBitmap(*d, 0, 0, 1, 1, 0, 0, 1, 1, c.opacity);
    EXPECT_EQ(d->GetPixel24(0, 0).g, c.expect) << c.under << " " << c.over << " " << c.opacity;
  }
}

TEST_F(RenderFormats, TwentyFourBitsOverAnAlphaChannelBlendEveryPixelByTheFormula) {
  // Random pixels and alpha, drawn shrunk, at 1:1 and zoomed (columns repeat), at full and lower
  // opacity, onto random backgrounds: each destination byte is d + floor(a (v - d) / 256) with
  // a = min(opacity, alpha) of the mapped source pixel, and v itself where a is 255. Rows of every
  // length the four-pixel groups leave a tail for, and source columns up to the row's last.
  std::mt19937 random(23);
  auto src = Make(37, 5, ie24RGB, ieMemory);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 37; ++x) {
      src->SetPixel24(x, y, TIERGB{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                   static_cast<uint8_t>(random())});
      const uint32_t r = random() % 4;
      src->SetAlpha(x, y, static_cast<uint8_t>(r == 0 ? 255 : r == 1 ? 0 : random()));
    }
  src->GetAlphaChannel()->SetFull(false);
  for (const int32_t width : {1, 5, 6, 7, 9, 12, 20, 37, 61, 100})
    for (const int32_t opacity : {255, 200}) {
      SCOPED_TRACE(testing::Message() << "width " << width << ", opacity " << opacity);
      auto d = Make(width + 3, 5, ie24RGB, ieMemory);
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t i = 0; i < d->RowLen(); ++i) static_cast<uint8_t*>(d->GetRow(y))[i] = static_cast<uint8_t>(random());
      auto before = Make(width + 3, 5, ie24RGB, ieMemory);
      before->Assign(d.get());
      src->RenderToTIEBitmap(*d, 2, 0, width, 5, 0, 0, 37, 5, opacity);
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < width + 3; ++x) {
          const TIERGB under = before->GetPixel24(x, y), got = d->GetPixel24(x, y);
          if (x < 2 || x >= width + 2) {
            ASSERT_EQ(got, under) << x << "," << y << " outside the rectangle";
            continue;
          }
          const int32_t sx = static_cast<int32_t>((x - 2) * (37.0 / width));  // Trunc of the column map
          const TIERGB over = src->GetPixel24(sx, y);
          const int a = std::min<int>(opacity, src->GetAlpha(sx, y));
          ASSERT_EQ(got.b, Blend(under.b, over.b, a)) << x << "," << y;
          ASSERT_EQ(got.g, Blend(under.g, over.g, a)) << x << "," << y;
          ASSERT_EQ(got.r, Blend(under.r, over.r, a)) << x << "," << y;
        }
    }
}

TEST_F(RenderFormats, SourceRectanglesReachingPastTheImageAreClipped) {
  // Origin inside, size past the right and bottom edges, at 1:1: never reads past a row.
  auto src = Make(10, 10, ie24RGB, ieMemory);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) src->SetPixel24(x, y, TIERGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 9});
  auto d = Dest(12, 12, {1, 2, 3});
  src->RenderToTIEBitmap(*d, 0, 0, 12, 12, 5, 6, 12, 12);
  EXPECT_EQ(At(*d, 0, 0).b, 5);
  EXPECT_EQ(At(*d, 0, 0).g, 6);
  EXPECT_EQ(At(*d, 4, 3).b, 9);
  EXPECT_EQ(At(*d, 11, 11).b, 9);  // the last column and row repeat
  EXPECT_EQ(At(*d, 11, 11).g, 9);
  // A clip rectangle that misses draws nothing; one inside limits the pixels.
  d = Dest(12, 12, {1, 2, 3});
  const TRect miss{20, 20, 30, 30}, part{2, 3, 4, 5};
  src->RenderToTIEBitmapEx(*d, nullptr, nullptr, nullptr, &miss, 0, 0, 10, 10, 0, 0, 10, 10, true, false, 255, rfNone,
                           true, 0);
  EXPECT_EQ(At(*d, 5, 5).r, 3);
  src->RenderToTIEBitmapEx(*d, nullptr, nullptr, nullptr, &part, 0, 0, 10, 10, 0, 0, 10, 10, true, false, 255, rfNone,
                           true, 0);
  EXPECT_EQ(At(*d, 4, 5).r, 9);
  EXPECT_EQ(At(*d, 2, 3).r, 9);
  EXPECT_EQ(At(*d, 5, 5).r, 3);
  EXPECT_EQ(At(*d, 4, 6).r, 3);
}

TEST_F(RenderFormats, KeptTablesAreRebuiltForAnotherGeometry) {
  auto src = Make(40, 30, ie8g, ieMemory);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) src->SetPixel8(x, y, static_cast<uint8_t>(x + 5 * y));
  TIERenderDestRows rows;
  TIERenderIndexMap columns, rowMap;
  // First a small zoomed area into a small destination, keeping the tables.
  auto small = Dest(10, 8, {0, 0, 0});
  src->RenderToTIEBitmapEx(*small, &rows, &columns, &rowMap, nullptr, 0, 0, 10, 8, 0, 0, 5, 4, true, true, 255, rfNone,
                           false, 0);
  EXPECT_FALSE(rows.Empty());
  EXPECT_EQ(columns.Entries.size(), 10u);
  // Then the whole image, shrunk, into a bigger one with the same variables.
  auto big = Dest(40, 30, {0, 0, 0});
  src->RenderToTIEBitmapEx(*big, &rows, &columns, &rowMap, nullptr, 0, 0, 20, 15, 0, 0, 40, 30, true, true, 255, rfNone,
                           false, 0);
  auto fresh = Dest(40, 30, {0, 0, 0});
  src->RenderToTIEBitmap(*fresh, 0, 0, 20, 15, 0, 0, 40, 30);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(At(*big, x, y).g, At(*fresh, x, y).g) << x << "," << y;
  EXPECT_EQ(rows.Dest, big.get());
  // The same geometry again uses them as they are, ReuseRows included.
  src->RenderToTIEBitmapEx(*big, &rows, &columns, &rowMap, nullptr, 0, 0, 20, 15, 0, 0, 40, 30, true, true, 255, rfNone,
                           false, 0);
  EXPECT_EQ(At(*big, 19, 14).g, At(*fresh, 19, 14).g);
}

TEST_F(RenderFormats, ReuseRowsGivesTheSameZoomAsDrawingEveryRow) {
  auto src = Make(12, 9, ie24RGB, ieMemory);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 12; ++x) src->SetPixel24(x, y, TIERGB{static_cast<uint8_t>(20 * x), static_cast<uint8_t>(25 * y), 1});
  auto a = Dest(48, 36, {0, 0, 0}), b = Dest(48, 36, {0, 0, 0});
  src->RenderToTIEBitmapEx(*a, nullptr, nullptr, nullptr, nullptr, 0, 0, 48, 36, 0, 0, 12, 9, true, true, 255, rfNone,
                           true, 0);
  src->RenderToTIEBitmap(*b, 0, 0, 48, 36, 0, 0, 12, 9);
  for (int32_t y = 0; y < 36; ++y)
    for (int32_t x = 0; x < 48; ++x) ASSERT_TRUE(SameRGB(a->GetPixel24(x, y), b->GetPixel24(x, y))) << x << "," << y;
  EXPECT_EQ(At(*a, 47, 35).b, 220);
}

TEST_F(RenderFormats, FileHeldDestinationsAreDrawnRowByRow) {
  auto src = Make(16, 16, ie24RGB, ieMemory);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) src->SetPixel24(x, y, TIERGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 50});
  for (int32_t opacity : {255, 128}) {
    auto held = Dest(20, 20, {0, 0, 0}, ieFile);
    auto mem = Dest(20, 20, {0, 0, 0});
    src->RenderToTIEBitmap(*held, 2, 2, 16, 16, 0, 0, 16, 16, opacity);
    src->RenderToTIEBitmap(*mem, 2, 2, 16, 16, 0, 0, 16, 16, opacity);
    src->RenderToTIEBitmap(*held, 0, 0, 8, 8, 0, 0, 16, 16, opacity);
    src->RenderToTIEBitmap(*mem, 0, 0, 8, 8, 0, 0, 16, 16, opacity);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x)
        ASSERT_TRUE(SameRGB(held->GetPixel24(x, y), mem->GetPixel24(x, y))) << x << "," << y << " " << opacity;
  }
}

TEST_F(RenderFormats, FilteredDrawingResamplesThenDrawsOneToOne) {
  auto src = Make(20, 10, ie24RGB, ieMemory);
  src->Fill(0x336699);  // TColor: red 99, green 66, blue 33
  auto d = Dest(60, 30, {0, 0, 0});
  src->RenderToTIEBitmap(*d, 5, 5, 40, 20, 0, 0, 20, 10, 255, rfFastLinear);
  EXPECT_EQ(At(*d, 20, 10).r, 0x99);
  EXPECT_EQ(At(*d, 20, 10).b, 0x33);
  EXPECT_EQ(At(*d, 4, 4).r, 0);
  EXPECT_EQ(At(*d, 45, 25).r, 0);
  // A 1-bit source shrunk: box-filtered grey, white over the set left half, black over the right.
  auto bits = Make(8, 8, ie1g, ieMemory);
  for (int32_t y = 0; y < 8; ++y) static_cast<uint8_t*>(bits->GetRow(y))[0] = 0xF0;
  auto g = Dest(4, 4, {9, 9, 9});
  bits->RenderToTIEBitmap(*g, 0, 0, 4, 4, 0, 0, 8, 8, 255, rfTriangle);
  EXPECT_EQ(At(*g, 0, 2).g, 255);
  EXPECT_EQ(At(*g, 3, 2).g, 0);
}

TEST_F(RenderFormats, StretchRectToCopiesPixelsAndCapsTheAlpha) {
  auto src = Make(4, 4, ie24RGB, ieMemory);
  src->Fill(0x0000FF);  // red
  src->GetAlphaChannel()->Fill(200);
  src->SetAlpha(0, 0, 50);
  src->GetAlphaChannel()->SetFull(false);
  auto d = Dest(10, 10, {1, 1, 1});
  src->StretchRectTo(*d, 2, 2, 8, 8, 0, 0, 4, 4, rfNone, 100);
  EXPECT_EQ(At(*d, 5, 5).r, 255);
  EXPECT_EQ(At(*d, 1, 1).r, 1);
  EXPECT_EQ(d->GetAlpha(5, 5), 100);  // 200 lowered to the opacity
  EXPECT_EQ(d->GetAlpha(3, 3), 50);   // source pixel (0, 0), below it already
  EXPECT_EQ(d->GetAlpha(1, 1), 255);  // outside the rectangle: untouched
  // Without an alpha channel the rectangle gets the opacity; another format draws its pixels.
  auto grey = Make(4, 4, ie8g, ieMemory);
  grey->Fill(77);
  grey->StretchRectTo(*d, 0, 0, 4, 4, 0, 0, 4, 4, rfNone, 40);
  EXPECT_EQ(At(*d, 2, 2).g, 77);
  EXPECT_EQ(d->GetAlpha(2, 2), 40);
  // A source rectangle past the image and a destination past Dest are clipped.
  grey->StretchRectTo(*d, 7, 7, 20, 20, 2, 2, 50, 50, rfNone, 255);
  EXPECT_EQ(At(*d, 9, 9).g, 77);
  // Filtered, with the alpha channel resampled too.
  auto e = Dest(16, 16, {0, 0, 0});
  src->StretchRectTo(*e, 0, 0, 16, 16, 0, 0, 4, 4, rfTriangle, 255);
  EXPECT_EQ(At(*e, 12, 12).r, 255);
  EXPECT_EQ(e->GetAlpha(12, 12), 200);
}

}  // namespace

#include "imaging/core/ie_render_rows.h"

namespace {

TEST(RenderBlendRows, EveryByteFollowsTheFormulaWhateverTheRowLength) {
  // The sixteen-byte loop and the tail give the same as the formula for rows of any length.
  std::mt19937 random(7);
  for (int32_t count : {1, 5, 6, 37, 100}) {
    std::vector<uint8_t> d(3 * count), v(3 * count), a(count);
    for (auto& x : d) x = static_cast<uint8_t>(random());
    for (auto& x : v) x = static_cast<uint8_t>(random());
    for (auto& x : a) x = static_cast<uint8_t>(random() % 4 == 0 ? 255 : random());
    for (int32_t opacity : {255, 200, 1, 0}) {
      std::vector<uint8_t> withAlpha = d, constant = d;
      BlendPixelsInto(withAlpha.data(), v.data(), a.data(), opacity, count);
      BlendPixelsInto(constant.data(), v.data(), nullptr, opacity, count);
      for (int32_t i = 0; i < 3 * count; ++i) {
        ASSERT_EQ(withAlpha[i], Blend(d[i], v[i], std::min<int>(opacity, a[i / 3]))) << count << " " << i;
        ASSERT_EQ(constant[i], Blend(d[i], v[i], opacity)) << count << " " << i;
      }
    }
  }
}

}  // namespace
