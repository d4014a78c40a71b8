#include "imaging/processing/ie_stretch.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/ie_bits.h"
#include "tests/imaging/cmyk_formulas.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

TEST(Stretch, NearestPixelsOfEveryWidth) {
  testsupport::CMYKFormulas formulas;  // CMYK pixels pass through RGB and back
  for (TIEPixelFormat format : {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ie32RGB}) {
    SCOPED_TRACE(int(format));
    TIEBitmap source(3, 2, format);
    source.Fill(0);
    // Column 1 of row 1 differs from everything else.
    if (format == ie1g) {
      source.Row<uint8_t>(1)[0] = 0x40;
    } else {
      uint8_t* pixel = source.Row<uint8_t>(1) + IEBytesPerPixel[format];
      for (int b = 0; b < IEBytesPerPixel[format]; ++b) pixel[b] = static_cast<uint8_t>(0x11 * (b + 1));
    }
    if (format == ie8p) source.SetPaletteColor(5, CreateRGB(1, 2, 3));
    TIEBitmap dest(6, 4, format);
    _IEBmpStretchEx(source, dest, nullptr, nullptr);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        const bool marked = y >= 2 && (x == 2 || x == 3);
        if (format == ie1g) {
          EXPECT_EQ((dest.Row<uint8_t>(y)[x >> 3] >> (7 - (x & 7))) & 1, marked ? 1 : 0) << x << "," << y;
        } else {
          EXPECT_EQ(dest.Row<uint8_t>(y)[x * IEBytesPerPixel[format]], marked ? 0x11 : 0) << x << "," << y;
        }
      }
    if (format == ie8p) {
      EXPECT_EQ(dest.GetPaletteColor(5), CreateRGB(1, 2, 3));
    }
  }
}

TEST(Stretch, ShrinksAndReportsProgress) {
  TIEBitmap source(10, 10, ie8g);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) source.SetPixel8(x, y, static_cast<uint8_t>(y * 10 + x));
  TIEBitmap dest(3, 4, ie8g);
  std::vector<int32_t> reported;
  _IEBmpStretchEx(source, dest, nullptr, [&](TObject*, int32_t per) { reported.push_back(per); });
  EXPECT_EQ(dest.GetPixel8(2, 3), 7 * 10 + 6);  // column Trunc(10/3*2) = 6, row Trunc(10/4*3) = 7
  EXPECT_EQ(reported.front(), 0);
  EXPECT_EQ(reported, (std::vector<int32_t>{0, 22, 44, 66}));
  // An empty source: nothing.
  TIEBitmap empty;
  _IEBmpStretchEx(empty, dest, nullptr, nullptr);
  EXPECT_EQ(dest.GetPixel8(2, 3), 7 * 10 + 6);
}


class StretchTest : public BitmapTest {};

// A byte pattern that tells every source pixel apart: byte b of pixel (x, y) is 16 * y + 4 * x + b.
void FillPattern(TIEBitmap& bmp) {
  const int32_t bytes = IEBytesPerPixel[bmp.PixelFormat()];
  for (int32_t y = 0; y < bmp.Height(); ++y) {
    uint8_t* row = bmp.Row<uint8_t>(y);
    if (bytes == 0) {
      for (int32_t x = 0; x < bmp.Width(); ++x) SetRowBit(row, x, (x + y) % 3 == 0);
    } else {
      for (int32_t x = 0; x < bmp.Width(); ++x)
        for (int32_t b = 0; b < bytes; ++b) row[x * bytes + b] = static_cast<uint8_t>(16 * y + 4 * x + b);
    }
  }
}

struct StretchCase {
  TIEPixelFormat format;
  TIELocation source;
  TIELocation dest;
};

class StretchFormats : public StretchTest, public ::testing::WithParamInterface<StretchCase> {};

TEST_P(StretchFormats, EachDestinationPixelIsTheNearestSourcePixelCopiedWhole) {
  const StretchCase c = GetParam();
  auto src = Make(3, 4, c.format, c.source);
  auto dst = Make(7, 3, c.format, c.dest);
  FillPattern(*src);
  _IEBmpStretchEx(*src, *dst, nullptr, nullptr);
  const int32_t bytes = IEBytesPerPixel[c.format];
  for (int32_t j = 0; j < 3; ++j) {
    const int32_t y = static_cast<int32_t>(4.0 / 3 * j);
    const std::vector<uint8_t> srcRow = RowBytes(*src, y, static_cast<size_t>(src->RowLen()));
    const uint8_t* d = dst->Row<uint8_t>(j);
    for (int32_t i = 0; i < 7; ++i) {
      const int32_t x = static_cast<int32_t>(3.0 / 7 * i);
      if (bytes == 0) {
        EXPECT_EQ(GetRowBit(d, i) != 0, GetRowBit(srcRow.data(), x) != 0) << i << "," << j;
      } else {
        for (int32_t b = 0; b < bytes; ++b) EXPECT_EQ(d[i * bytes + b], srcRow[x * bytes + b]) << i << "," << j;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(All, StretchFormats,
                         ::testing::Values(StretchCase{ie1g, ieMemory, ieMemory}, StretchCase{ie8g, ieMemory, ieMemory},
                                           StretchCase{ie16g, ieMemory, ieMemory},
                                           StretchCase{ie24RGB, ieMemory, ieMemory},
                                           StretchCase{ieCMYK, ieMemory, ieMemory},
                                           StretchCase{ieRGB48, ieMemory, ieMemory},
                                           StretchCase{ie24RGB, ieFile, ieFile}, StretchCase{ie1g, ieFile, ieMemory},
                                           StretchCase{ieRGB48, ieMemory, ieFile}));

TEST_F(StretchTest, ProgressStartsAtZeroAndReportsEachValueOnce) {
  auto src = Make(5, 5, ie8g, ieMemory);
  auto dst = Make(4, 300, ie8g, ieMemory);
  src->Fill(0);
  std::vector<int32_t> seen;
  _IEBmpStretchEx(*src, *dst, nullptr, [&](TObject*, int32_t per) { seen.push_back(per); });
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 0);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_EQ(seen.back(), static_cast<int32_t>(299 * 100 / 300.5));
}

TEST_F(StretchTest, PaletteTravelsAndAnotherDestFormatIsReplaced) {
  auto src = Make(2, 2, ie8p, ieMemory);
  src->Fill(7);
  src->SetPaletteColor(7, CreateRGB(10, 20, 30));
  auto dst = Make(5, 4, ie24RGB, ieMemory);
  _IEBmpStretchEx(*src, *dst, nullptr, nullptr);
  ASSERT_EQ(dst->PixelFormat(), ie8p);
  EXPECT_EQ(dst->Width(), 5);
  EXPECT_EQ(dst->Height(), 4);
  EXPECT_EQ(dst->GetPixel8(4, 3), 7);
  EXPECT_EQ(dst->GetPaletteColor(7), CreateRGB(10, 20, 30));
}

TEST_F(StretchTest, EmptyBitmapsAreLeftAlone) {
  TIEBitmap empty;
  auto dst = Make(3, 3, ie8g, ieMemory);
  dst->Fill(9);
  _IEBmpStretchEx(empty, *dst, nullptr, nullptr);
  EXPECT_EQ(dst->GetPixel8(1, 1), 9);
  _IEBmpStretchEx(*dst, empty, nullptr, nullptr);
  EXPECT_TRUE(empty.IsEmpty());
  _IEBmpStretchEx(*dst, *dst, nullptr, nullptr);
  EXPECT_EQ(dst->GetPixel8(2, 2), 9);
}

}  // namespace
