// Reduction to black and white: thresholds, ordered dithering, the grey histogram and the channel
// means they rest on.
#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_color_reduction.h"

namespace {

bool White(TIEBitmap& bw, int32_t x, int32_t y) { return bw.GetPixelRGB(x, y).r == 255; }

std::unique_ptr<TIEBitmap> GreyRow(std::initializer_list<uint8_t> levels) {
  auto bmp = std::make_unique<TIEBitmap>(static_cast<int32_t>(levels.size()), 1, ie8g);
  int32_t x = 0;
  for (uint8_t v : levels) bmp->SetPixel8(x++, 0, v);
  return bmp;
}

}  // namespace

TEST(ChannelMeans, RowMeansThenTheirMean) {
  // Row 0 red 10, 11, 12 -> 11; row 1 red 0, 0, 1 -> 0 (div); (11 + 0) div 2 = 5.
  TIEBitmap bmp(3, 2, ie24RGB);
  const uint8_t reds[2][3] = {{10, 11, 12}, {0, 0, 1}};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) bmp.SetPixel24(x, y, CreateRGB(reds[y][x], 200, static_cast<uint8_t>(x)));
  int32_t r, g, b;
  ChannelMeans(bmp, r, g, b);
  EXPECT_EQ(r, 5);
  EXPECT_EQ(g, 200);
  EXPECT_EQ(b, 1);

  // Other formats are read as RGB: ie1g as 0 / 255, ieRGB48 by its high bytes.
  TIEBitmap bw(2, 1, ie1g);
  bw.Fill(0);
  bw.FillRect(1, 0, 1, 0, 1);
  ChannelMeans(bw, r, g, b);
  EXPECT_EQ(r, 127);
  TIEBitmap wide(1, 1, ieRGB48);
  wide.SetPixel48(0, 0, TIERGB48{0x4000, 0x8000, 0xFF00});
  ChannelMeans(wide, r, g, b);
  EXPECT_EQ(r, 0x40);
  EXPECT_EQ(g, 0x80);
  EXPECT_EQ(b, 0xFF);

  TIEBitmap empty;
  ChannelMeans(empty, r, g, b);
  EXPECT_EQ(r + g + b, 0);
}

TEST(GreyHistogram, CountsGreyLevels) {
  auto bmp = GreyRow({0, 7, 7, 255});
  int64_t h[256];
  GreyHistogram(*bmp, h);
  EXPECT_EQ(h[0], 1);
  EXPECT_EQ(h[7], 2);
  EXPECT_EQ(h[255], 1);
  EXPECT_EQ(h[1], 0);

  TIEBitmap rgb(1, 1, ie24RGB);
  rgb.SetPixel24(0, 0, CreateRGB(255, 0, 0));
  GreyHistogram(rgb, h);
  EXPECT_EQ(h[53], 1);  // pure red weighs 53

  TIEBitmap bw(10, 1, ie1g);  // ie1g in bins 0 and 1
  bw.Fill(0);
  bw.FillRect(0, 0, 2, 0, 1);
  GreyHistogram(bw, h);
  EXPECT_EQ(h[0], 7);
  EXPECT_EQ(h[1], 3);
  EXPECT_EQ(h[255], 0);
}

TEST(ConvertToBWThreshold, GivenMeanAndMaximumEntropy) {
  TIEProgressRecord progress;
  auto bmp = GreyRow({10, 99, 100, 101, 250});
  TIEBitmap bw;
  ConvertToBWThreshold(*bmp, bw, 100, progress);
  ASSERT_EQ(bw.PixelFormat(), ie1g);
  ASSERT_EQ(bw.Width(), 5);
  const bool expected100[5] = {false, false, true, true, true};
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(White(bw, x, 0), expected100[x]) << x;

  // -1: the grey of the mean colour, (10 + 99 + 100 + 101 + 250) div 5 = 112.
  ConvertToBWThreshold(*bmp, bw, kIEThresholdMeanColor, progress);
  const bool expectedMean[5] = {false, false, false, false, true};
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(White(bw, x, 0), expectedMean[x]) << x;

  // -2 on exactly two grey levels: a threshold between them, whatever their shares.
  for (int dark = 1; dark <= 3; ++dark) {
    TIEBitmap two(4, 1, ie8g);
    for (int32_t x = 0; x < 4; ++x) two.SetPixel8(x, 0, x < dark ? 40 : 180);
    ConvertToBWThreshold(two, bw, kIEThresholdMaxEntropy, progress);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(White(bw, x, 0), x >= dark) << dark << ":" << x;
  }

  // -2 on one grey level: no split, every pixel white.
  auto flat = GreyRow({90, 90});
  ConvertToBWThreshold(*flat, bw, kIEThresholdMaxEntropy, progress);
  EXPECT_TRUE(White(bw, 0, 0) && White(bw, 1, 0));

  // Thresholds beyond 0..255.
  ConvertToBWThreshold(*bmp, bw, 300, progress);
  EXPECT_FALSE(White(bw, 4, 0));
  ConvertToBWThreshold(*bmp, bw, -50, progress);
  EXPECT_TRUE(White(bw, 0, 0));
}

TEST(ConvertToBWThreshold, MaximumEntropyOnThreeLevels) {
  // Levels 0 (x2), 100, 200 (x2): the split with the largest summed class entropy keeps 100 with
  // one of the pure classes; both sides give the same sum, the first (t = 1..100) wins.
  TIEProgressRecord progress;
  auto bmp = GreyRow({0, 0, 100, 200, 200});
  TIEBitmap bw;
  ConvertToBWThreshold(*bmp, bw, kIEThresholdMaxEntropy, progress);
  const bool expected[5] = {false, false, true, true, true};
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(White(bw, x, 0), expected[x]) << x;
}

TEST(ConvertToBWThreshold, ReportsProgressAndStopsOnAbort) {
  TIEBitmap bmp(4, 4, ie24RGB);
  bmp.Fill(clGray);
  std::vector<int32_t> reported;
  TIEProgressRecord progress;
  progress.OnProgress = [&](TObject*, int32_t per) { reported.push_back(per); };
  TIEBitmap bw;
  ConvertToBWThreshold(bmp, bw, 10, progress);
  // Trunc(rows * 100 / 4.5) after each row.
  EXPECT_EQ(reported, (std::vector<int32_t>{22, 44, 66, 88}));

  bool abort = true;
  progress.Aborting = &abort;
  reported.clear();
  ConvertToBWThresholdInPlace(bmp, 10, progress);
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(bmp.PixelFormat(), ie24RGB);  // an aborted conversion leaves the image
}

TEST(ConvertToBW, InPlaceOnlyForTrueColour) {
  TIEProgressRecord progress;
  TIEBitmap rgb(16, 8, ie24RGB);
  rgb.Fill(RGB(128, 128, 128));
  rgb.SetAlpha(3, 3, 77);
  ConvertToBWOrdered(rgb, progress);
  ASSERT_EQ(rgb.PixelFormat(), ie1g);
  int white = 0;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) white += White(rgb, x, y);
  EXPECT_EQ(white, 64);  // level 32: half of the matrix entries are below it
  EXPECT_EQ(rgb.GetAlpha(3, 3), 77);

  TIEBitmap nearWhite(8, 8, ie24RGB);
  nearWhite.Fill(RGB(252, 251, 255));  // every channel 251 or more: all white
  ConvertToBWOrdered(nearWhite, progress);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_TRUE(White(nearWhite, x, y));

  TIEBitmap grey(4, 4, ie8g);  // other formats untouched
  grey.Fill(128);
  ConvertToBWOrdered(grey, progress);
  ConvertToBWThresholdInPlace(grey, -1, progress);
  EXPECT_EQ(grey.PixelFormat(), ie8g);

  TIEBitmap rgb2(3, 1, ie24RGB);
  rgb2.Fill(clWhite);
  rgb2.SetPixel24(0, 0, CreateRGB(0, 0, 0));
  ConvertToBWThresholdInPlace(rgb2, -1, progress);
  ASSERT_EQ(rgb2.PixelFormat(), ie1g);
  EXPECT_FALSE(White(rgb2, 0, 0));
  EXPECT_TRUE(White(rgb2, 2, 0));
}
