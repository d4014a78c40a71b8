#include "imaging/processing/ie_stretch.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"

namespace {

TEST(Stretch, NearestPixelsOfEveryWidth) {
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
  // Formats that differ, or an empty bitmap: nothing.
  TIEBitmap other(3, 4, ie24RGB);
  other.Fill(clWhite);
  _IEBmpStretchEx(source, other, nullptr, nullptr);
  EXPECT_EQ(other.GetPixel24(0, 0), CreateRGB(255, 255, 255));
  TIEBitmap empty;
  _IEBmpStretchEx(empty, dest, nullptr, nullptr);
}

}  // namespace
