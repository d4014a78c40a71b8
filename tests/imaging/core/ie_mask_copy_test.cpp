#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

using bmptest::Pattern;
using bmptest::Pixels;

// A mask whose rows are given as text: '#' selected (1 or 255), '.' not.
void MaskFrom(TIEMask& m, int32_t bpp, const std::vector<std::string>& rows) {
  m.Allocate(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()), bpp);
  for (int32_t y = 0; y < m.Height(); ++y)
    for (int32_t x = 0; x < m.Width(); ++x)
      if (rows[y][x] == '#') m.SetPixel(x, y, bpp == 1 ? 1 : 255);
}

using MaskedCopyTest = BitmapTest;

const TIEPixelFormat kAllFormats[] = {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGB};

}  // namespace

TEST_F(MaskedCopyTest, OneBitMaskCopiesExactlyTheSelectedPixelsOfEveryFormat) {
  const std::vector<std::string> sel = {"#.#..#####", "..........", "##########"};
  for (int32_t bpp : {1, 8}) {
    TIEMask mask;
    MaskFrom(mask, bpp, sel);
    for (TIEPixelFormat f : kAllFormats) {
      // Under an 8-bit mask of only 0 and 255 every format copies too.
      const bool copies = true;
      for (TIELocation where : {ieMemory, ieFile}) {
        SCOPED_TRACE(testing::Message() << "mask " << bpp << " format " << int(f) << " location " << int(where));
        auto src = Make(10, 3, f, where);
        auto dst = Make(10, 3, f, where);
        Pattern(*src, 1);
        Pattern(*dst, 2);
        const auto s = Pixels(*src);
        const auto before = Pixels(*dst);
        mask.MaskedCopy(*dst, *src, false, false, false);
        const auto after = Pixels(*dst);
        EXPECT_EQ(Pixels(*src), s);  // the source is only read
        const size_t bytes = f == ie1g ? 1 : IEBytesPerPixel[f];
        for (int32_t y = 0; y < 3; ++y)
          for (int32_t x = 0; x < 10; ++x) {
            const bool selected = sel[y][x] == '#' && copies;
            for (size_t c = 0; c < bytes; ++c)
              ASSERT_EQ(after[y][x * bytes + c], (selected ? s : before)[y][x * bytes + c]) << x << "," << y;
          }
      }
    }
  }
}

TEST_F(MaskedCopyTest, DifferentFormatsCopyNothing) {
  TIEMask mask;
  MaskFrom(mask, 1, {"###", "###"});
  auto src = Make(3, 2, ie24RGB, ieMemory);
  auto dst = Make(3, 2, ie32RGB, ieMemory);
  Pattern(*src, 1);
  Pattern(*dst, 2);
  const auto before = Pixels(*dst);
  mask.MaskedCopy(*dst, *src, false, false, false);
  EXPECT_EQ(Pixels(*dst), before);
}

TEST_F(MaskedCopyTest, EightBitMaskBlendsWithExactEnds) {
  // Columns: mask values; rows: (source, destination) per channel. 255 gives exactly the source,
  // 0 exactly the destination, values between d + ((s - d) * m) div 256 rounded down.
  const uint8_t m[] = {0, 1, 128, 254, 255};
  struct Case {
    uint8_t s, d;
    uint8_t expected[5];
  };
  const Case cases[] = {
      {255, 0, {0, 0, 127, 253, 255}},
      {0, 255, {255, 254, 127, 1, 0}},
      {100, 100, {100, 100, 100, 100, 100}},
  };
  for (TIEPixelFormat f : {ie8g, ie8p, ie24RGB, ie32RGB}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "format " << int(f) << " s " << int(c.s) << " d " << int(c.d));
      TIEMask mask;
      mask.Allocate(5, 1, 8);
      for (int32_t x = 0; x < 5; ++x) mask.SetPixel(x, 0, 255);  // box over all five
      for (int32_t x = 0; x < 5; ++x) mask.SetPixel(x, 0, m[x]);
      auto src = Make(5, 1, f, ieMemory);
      auto dst = Make(5, 1, f, ieMemory);
      const int32_t bytes = IEBytesPerPixel[f];
      std::memset(src->Row<uint8_t>(0), c.s, 5 * bytes);
      std::memset(dst->Row<uint8_t>(0), c.d, 5 * bytes);
      mask.MaskedCopy(*dst, *src, false, false, false);
      const uint8_t* row = dst->Row<uint8_t>(0);
      for (int32_t x = 0; x < 5; ++x)
        for (int32_t k = 0; k < bytes; ++k) EXPECT_EQ(row[x * bytes + k], c.expected[x]) << "m " << int(m[x]);
    }
  }
}

TEST_F(MaskedCopyTest, EightBitMaskOnOneBitImagesCopiesWhereNotZero) {
  TIEMask mask;
  mask.Allocate(4, 1, 8);
  mask.SetPixel(0, 0, 255);
  mask.SetPixel(1, 0, 1);
  mask.SetPixel(3, 0, 255);
  mask.SetPixel(3, 0, 0);
  auto src = Make(4, 1, ie1g, ieMemory);
  auto dst = Make(4, 1, ie1g, ieMemory);
  src->Fill(1);
  dst->Fill(0);
  mask.MaskedCopy(*dst, *src, false, false, false);
  EXPECT_EQ(Pixels(*dst)[0], (std::vector<uint8_t>{1, 1, 0, 0}));
}

TEST_F(MaskedCopyTest, EightBitMaskBlendsEverySampleOfTheWideFormats) {
  // Mask values 255, 1, 128, 0 over four pixels; each sample d + ((s - d) * m) div 256 rounded
  // down, 255 exactly the source and 0 exactly the destination.
  TIEMask mask;
  mask.Allocate(4, 1, 8);
  for (int32_t x = 0; x < 4; ++x) mask.SetPixel(x, 0, 255);
  mask.SetPixel(1, 0, 1);
  mask.SetPixel(2, 0, 128);
  mask.SetPixel(3, 0, 0);

  // ie16g and ieRGB48: s 0x1234, d 0x4321. m 1: 0x4321 + floor(-12525 / 256) = 17185 - 49;
  // m 128: 17185 + floor(-12525 / 2) = 17185 - 6263.
  for (TIEPixelFormat f : {ie16g, ieRGB48}) {
    SCOPED_TRACE(int(f));
    auto src = Make(4, 1, f, ieMemory);
    auto dst = Make(4, 1, f, ieMemory);
    const int32_t words = IEBytesPerPixel[f] / 2;
    for (int32_t i = 0; i < 4 * words; ++i) {
      src->Row<uint16_t>(0)[i] = 0x1234;
      dst->Row<uint16_t>(0)[i] = 0x4321;
    }
    mask.MaskedCopy(*dst, *src, false, false, false);
    const uint16_t expected[4] = {0x1234, 17185 - 49, 17185 - 6263, 0x4321};
    for (int32_t x = 0; x < 4; ++x)
      for (int32_t c = 0; c < words; ++c) EXPECT_EQ(dst->Row<uint16_t>(0)[x * words + c], expected[x]) << x;
  }

  // ie32f: s 1.0, d 0.25: m 1 gives 0.25 + 0.75 / 256, m 128 the mean.
  auto sf = Make(4, 1, ie32f, ieMemory);
  auto df = Make(4, 1, ie32f, ieMemory);
  sf->Fill(1.0);
  df->Fill(0.25);
  mask.MaskedCopy(*df, *sf, false, false, false);
  EXPECT_EQ(df->GetPixel32f(0, 0), 1.0f);
  EXPECT_FLOAT_EQ(df->GetPixel32f(1, 0), 0.25f + 0.75f / 256);
  EXPECT_FLOAT_EQ(df->GetPixel32f(2, 0), 0.625f);
  EXPECT_EQ(df->GetPixel32f(3, 0), 0.25f);

  // ieCMYK: four unsigned bytes, 200 over 100.
  auto sc = Make(4, 1, ieCMYK, ieMemory);
  auto dc = Make(4, 1, ieCMYK, ieMemory);
  std::memset(sc->Row<uint8_t>(0), 200, 16);
  std::memset(dc->Row<uint8_t>(0), 100, 16);
  mask.MaskedCopy(*dc, *sc, false, false, false);
  const uint8_t cmyk[4] = {200, 100, 150, 100};
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t c = 0; c < 4; ++c) EXPECT_EQ(dc->Row<uint8_t>(0)[4 * x + c], cmyk[x]);

  // ieCIELab: L unsigned; a and b signed, so -100 over +100 at m 128 is 0, not a byte average
  // of 156 and 100.
  auto sl = Make(4, 1, ieCIELab, ieMemory);
  auto dl = Make(4, 1, ieCIELab, ieMemory);
  for (int32_t x = 0; x < 4; ++x) {
    uint8_t* s = sl->Row<uint8_t>(0) + 3 * x;
    uint8_t* d = dl->Row<uint8_t>(0) + 3 * x;
    s[0] = 200, s[1] = static_cast<uint8_t>(-100), s[2] = static_cast<uint8_t>(-100);
    d[0] = 100, d[1] = 100, d[2] = 100;
  }
  mask.MaskedCopy(*dl, *sl, false, false, false);
  const int32_t lab[4][3] = {{200, -100, -100}, {100, 100 - 1, 100 - 1}, {150, 0, 0}, {100, 100, 100}};
  for (int32_t x = 0; x < 4; ++x) {
    const uint8_t* d = dl->Row<uint8_t>(0) + 3 * x;
    EXPECT_EQ(d[0], lab[x][0]) << x;
    EXPECT_EQ(static_cast<int8_t>(d[1]), lab[x][1]) << x;
    EXPECT_EQ(static_cast<int8_t>(d[2]), lab[x][2]) << x;
  }
}

TEST_F(MaskedCopyTest, BoxRelativeCoordinatesAndClipping) {
  // Box (2, 1)-(4, 3) of a 6 x 5 mask; its corner pixel (2, 1) is not selected.
  TIEMask mask;
  MaskFrom(mask, 1, {"......", "...##.", "..###.", "..###.", "......"});
  mask.SetBox(2, 1, 4, 3);

  // Source at the box: source (x - 2, y - 1) lands on destination (x, y).
  auto box = Make(3, 3, ie8g, ieMemory);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) box->SetPixel8(x, y, static_cast<uint8_t>(10 * (y + 1) + x));
  auto whole = Make(6, 5, ie8g, ieMemory);
  whole->Fill(0);
  mask.MaskedCopy(*whole, *box, false, true, false);
  EXPECT_EQ(Pixels(*whole), (std::vector<std::vector<uint8_t>>{{0, 0, 0, 0, 0, 0},
                                                                {0, 0, 0, 11, 12, 0},
                                                                {0, 0, 20, 21, 22, 0},
                                                                {0, 0, 30, 31, 32, 0},
                                                                {0, 0, 0, 0, 0, 0}}));

  // And back: destination at the box.
  auto back = Make(3, 3, ie8g, ieMemory);
  back->Fill(99);
  mask.MaskedCopy(*back, *whole, true, false, false);
  EXPECT_EQ(Pixels(*back), (std::vector<std::vector<uint8_t>>{{99, 11, 12}, {20, 21, 22}, {30, 31, 32}}));

  // A source smaller than the box: only what it has is read.
  auto small = Make(2, 2, ie8g, ieMemory);
  small->Fill(7);
  whole->Fill(0);
  mask.MaskedCopy(*whole, *small, false, true, false);
  EXPECT_EQ(Pixels(*whole)[2], (std::vector<uint8_t>{0, 0, 7, 7, 0, 0}));
  EXPECT_EQ(Pixels(*whole)[3], (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));

  // Bitmaps smaller than the box in absolute coordinates: clipped to both, without SourceAtBox too.
  auto tinySrc = Make(4, 3, ie8g, ieMemory);
  auto tinyDst = Make(3, 4, ie8g, ieMemory);
  tinySrc->Fill(5);
  tinyDst->Fill(0);
  mask.MaskedCopy(*tinyDst, *tinySrc, false, false, false);
  EXPECT_EQ(Pixels(*tinyDst), (std::vector<std::vector<uint8_t>>{{0, 0, 0}, {0, 0, 0}, {0, 0, 5}, {0, 0, 0}}));
  // Source at the box, destination absolute and narrower than the box's right edge.
  auto narrow = Make(4, 5, ie8g, ieMemory);
  narrow->Fill(0);
  mask.MaskedCopy(*narrow, *box, false, true, false);
  EXPECT_EQ(Pixels(*narrow)[2], (std::vector<uint8_t>{0, 0, 20, 21}));
}

TEST_F(MaskedCopyTest, WithinOneBitmap) {
  // The selected box moved to the origin of its own bitmap, in memory and in a file.
  for (TIELocation where : {ieMemory, ieFile}) {
    TIEMask mask;
    MaskFrom(mask, 1, {"....", ".##.", ".##.", "...."});
    auto b = Make(4, 4, ie24RGB, where);
    Pattern(*b, 3);
    const auto before = Pixels(*b);
    mask.MaskedCopy(*b, *b, true, false, false);
    const auto after = Pixels(*b);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 2; ++x)
        for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(after[y][3 * x + c], before[y + 1][3 * (x + 1) + c]);
    EXPECT_EQ(after[3], before[3]);
  }
}

TEST_F(MaskedCopyTest, AlphaFromTheMask) {
  for (int32_t bpp : {1, 8}) {
    SCOPED_TRACE(bpp);
    TIEMask mask;
    mask.Allocate(5, 3, bpp);
    // Box (1, 0)-(3, 1): pixels (1, 0) and (3, 1) selected, (2, 0) partly at 8 bits.
    mask.SetPixel(1, 0, bpp == 1 ? 1 : 255);
    mask.SetPixel(3, 1, bpp == 1 ? 1 : 200);
    if (bpp == 8) mask.SetPixel(2, 0, 60);
    auto src = Make(5, 3, ie24RGB, ieMemory);
    auto dst = Make(5, 3, ie24RGB, ieMemory);
    dst->GetAlphaChannel()->Fill(77);
    mask.MaskedCopyAlpha(*dst, *src, false, false);  // source without alpha: 255 everywhere
    EXPECT_FALSE(src->HasAlphaChannel());
    const auto a = Pixels(*dst->GetAlphaChannel());
    EXPECT_EQ(a[0], (std::vector<uint8_t>{77, 255, uint8_t(bpp == 8 ? 60 : 0), 0, 77}));
    EXPECT_EQ(a[1], (std::vector<uint8_t>{77, 0, 0, uint8_t(bpp == 8 ? 200 : 255), 77}));
    EXPECT_EQ(a[2], (std::vector<uint8_t>{77, 77, 77, 77, 77}));  // outside the box: untouched
    EXPECT_FALSE(dst->GetAlphaChannel()->Full());

    // With source alpha: the smaller of source alpha and mask value; copied along with the pixels.
    src->GetAlphaChannel()->Fill(100);
    src->Fill(0x00FF00);
    dst->Fill(0);
    mask.MaskedCopy(*dst, *src, false, false, true);
    const auto b = Pixels(*dst->GetAlphaChannel());
    EXPECT_EQ(b[0], (std::vector<uint8_t>{77, 100, uint8_t(bpp == 8 ? 60 : 0), 0, 77}));
    EXPECT_EQ(b[1], (std::vector<uint8_t>{77, 0, 0, 100, 77}));
    EXPECT_TRUE(dst->GetPixel24(1, 0) == src->GetPixel24(1, 0));
  }
}

TEST_F(MaskedCopyTest, EmptyOrUnusableMasksDoNothing) {
  auto src = Make(3, 3, ie8g, ieMemory);
  auto dst = Make(3, 3, ie8g, ieMemory);
  src->Fill(1);
  dst->Fill(2);
  TIEMask none;
  none.MaskedCopy(*dst, *src, false, false, true);
  TIEMask empty;
  empty.Allocate(3, 3, 1);
  empty.Fill(255);  // selected, but the box is empty
  empty.MaskedCopy(*dst, *src, false, false, true);
  EXPECT_EQ(dst->GetPixel8(1, 1), 2);
  EXPECT_FALSE(dst->HasAlphaChannel());
  TIEBitmap blank;
  empty.RecalcBounds();
  empty.MaskedCopy(blank, *src, false, false, true);
  empty.MaskedCopy(*dst, blank, false, false, true);
  EXPECT_EQ(dst->GetPixel8(1, 1), 2);
}
