#include "imaging/core/ie_defs.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/core/ie_rgb.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_startup.h"

TEST(PixelFormatTables, BitsChannelsAndBytesByFormat) {
  struct Row { TIEPixelFormat f; int bits, channels, bytes; };
  const Row rows[] = {{ieNoFormat, 0, 0, 0}, {ie1g, 1, 1, 0},     {ie8p, 8, 1, 1},     {ie8g, 8, 1, 1},
                      {ie16g, 16, 1, 2},     {ie24RGB, 24, 3, 3}, {ie32f, 32, 1, 4},   {ieCMYK, 32, 4, 4},
                      {ieRGB48, 48, 3, 6},   {ieCIELab, 24, 3, 3}, {ie32RGB, 32, 4, 4}};
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.f));
    EXPECT_EQ(IEBitsPerPixel[r.f], r.bits);
    EXPECT_EQ(IEChannelsPerPixel[r.f], r.channels);
    EXPECT_EQ(IEBytesPerPixel[r.f], r.bytes);
  }
  EXPECT_FALSE(IsValidPixelFormat(11));
  EXPECT_FALSE(IsValidPixelFormat(-1));
  EXPECT_STREQ(IEVERSION, "3.1.2");
}

TEST(EngineSettings, StartValuesAndGreyOfPrimaries) {
  // The test program started the engine.
  EXPECT_EQ(MinFileSizeOverride, -1);
  EXPECT_TRUE(FileFallbackOnLowMemory);
  EXPECT_TRUE(SegmentedAllocation);
  EXPECT_EQ(DefaultDPIX, 300);
  EXPECT_TRUE(IsWindowsNT);
  EXPECT_EQ(RGBToGray(CreateRGB(255, 0, 0)), 53);
  EXPECT_EQ(RGBToGray(CreateRGB(0, 255, 0)), 181);
  EXPECT_EQ(RGBToGray(CreateRGB(0, 0, 255)), 20);
  EXPECT_EQ(RGBToGray(CreateRGB(255, 255, 255)), 255);

  // The host may change the weights; start-up of the defaults puts them back.
  GreyWeightRed = 100;
  GreyWeightGreen = GreyWeightBlue = 0;
  EXPECT_EQ(RGBToGray(CreateRGB(200, 10, 10)), 200);
  InitializeImagingDefaults();
  EXPECT_EQ(GreyWeightRed, 21);
  EXPECT_EQ(GreyWeightGreen, 71);
  EXPECT_EQ(GreyWeightBlue, 8);
}

TEST(EngineSettings, BlendCosineTableAndDitherMatrix) {
  // The table holds its values before any start-up, and the build step computes the same ones.
  std::vector<int32_t> before(BlendCosineTable, BlendCosineTable + 256);
  BuildBlendCosineTable();
  EXPECT_EQ(std::vector<int32_t>(BlendCosineTable, BlendCosineTable + 256), before);
  EXPECT_EQ(BlendCosineTable[0], 0);
  EXPECT_EQ(BlendCosineTable[255], 128);
  EXPECT_EQ(BlendCosineTable[128], static_cast<int>(std::nearbyint(64 - 64 * std::cos(M_PI * 128 / 255))));
  for (int i = 1; i < 256; ++i) EXPECT_GE(BlendCosineTable[i], BlendCosineTable[i - 1]);

  // The Bayer matrix holds every value 0..63 once.
  bool seen[64] = {};
  for (const auto& row : OrderedDitherMatrix)
    for (int v : row) {
      ASSERT_GE(v, 0);
      ASSERT_LT(v, 64);
      EXPECT_FALSE(seen[v]);
      seen[v] = true;
    }
  EXPECT_EQ(OrderedDitherMatrix[0][1], 32);
  EXPECT_EQ(OrderedDitherMatrix[7][0], 63);
}
