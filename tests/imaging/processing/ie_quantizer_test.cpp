// TIEQuantizer: exact palettes, the grey ramp, ie8p palettes, box splitting and NeuQuant, with
// palettes of small images derived by hand and every index inside the palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_box_quantizer.h"
#include "imaging/processing/ie_neuquant.h"
#include "imaging/processing/ie_quantizer.h"

namespace {

// Restores the quantizer switches after each test.
class QuantizerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    QuantizerMethod = -1;
    NeuQuantQuality = -1;
  }
};

// A w x h ie24RGB image whose pixel (x, y) is colour(x, y).
template <class F>
std::unique_ptr<TIEBitmap> Image(int32_t w, int32_t h, F colour) {
  auto bmp = std::make_unique<TIEBitmap>(w, h, ie24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) bmp->SetPixel24(x, y, colour(x, y));
  return bmp;
}

// 256 distinct colours on a 16 x 16 image.
std::unique_ptr<TIEBitmap> ManyColours() {
  return Image(16, 16, [](int32_t x, int32_t y) {
    return CreateRGB(static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16), static_cast<uint8_t>(x * 5 + y));
  });
}

// Every pixel's index lies in 0..count-1.
void ExpectIndicesInside(TIEQuantizer& q, TIEBitmap& bmp, int32_t count) {
  for (int32_t y = 0; y < bmp.Height(); ++y)
    for (int32_t x = 0; x < bmp.Width(); ++x) {
      const int32_t index = q.RGBIndex(bmp.GetPixel24(x, y));
      ASSERT_GE(index, 0);
      ASSERT_LT(index, count);
    }
}

}  // namespace

TEST_F(QuantizerTest, ExactPaletteInOrderOfFirstAppearance) {
  const TIERGB colours[3] = {CreateRGB(250, 0, 0), CreateRGB(0, 0, 250), CreateRGB(0, 250, 0)};
  auto bmp = Image(5, 2, [&](int32_t x, int32_t y) { return colours[(x + 2 * y) % 3]; });
  TIERGB palette[3];
  TIEQuantizer q(*bmp, palette, 0, 3);
  EXPECT_TRUE(q.IsExact());
  EXPECT_EQ(q.Method(), -1);
  EXPECT_EQ(q.ColorCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(SameRGB(palette[i], colours[i])) << i;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(q.RGBIndex(colours[i]), i);
  // A colour the image does not hold maps to its nearest entry, never outside the palette.
  EXPECT_EQ(q.RGBIndex(CreateRGB(10, 200, 10)), 2);

  // Fewer colours than N: the rest of the palette is left alone.
  TIERGB big[8];
  for (TIERGB& c : big) c = CreateRGB(1, 2, 3);
  TIEQuantizer q8(*bmp, big, 0, 8);
  EXPECT_EQ(q8.ColorCount(), 3);
  EXPECT_TRUE(SameRGB(big[3], CreateRGB(1, 2, 3)));

  // N + 1 colours switch to a quantizer.
  TIERGB two[2];
  TIEQuantizer q2(*bmp, two, 0, 2);
  EXPECT_FALSE(q2.IsExact());
  EXPECT_EQ(q2.Method(), TIEQuantizer::qmBoxSplitting);
  ExpectIndicesInside(q2, *bmp, 2);
}

TEST_F(QuantizerTest, MethodSwitchesAt128Colours) {
  auto bmp = ManyColours();
  std::vector<TIERGB> palette(256);
  EXPECT_EQ(TIEQuantizer(*bmp, palette, 0, 127).Method(), TIEQuantizer::qmBoxSplitting);
  EXPECT_EQ(TIEQuantizer(*bmp, palette, 0, 128).Method(), TIEQuantizer::qmNeuQuant);
  QuantizerMethod = 0;
  EXPECT_EQ(TIEQuantizer(*bmp, palette, 0, 16).Method(), TIEQuantizer::qmNeuQuant);
  QuantizerMethod = 1;
  EXPECT_EQ(TIEQuantizer(*bmp, palette, 0, 200).Method(), TIEQuantizer::qmBoxSplitting);
  QuantizerMethod = 7;  // anything else: NeuQuant
  EXPECT_EQ(TIEQuantizer(*bmp, palette, 0, 16).Method(), TIEQuantizer::qmNeuQuant);
}

TEST_F(QuantizerTest, GreyImagesGetTheGreyRamp) {
  auto bmp = Image(8, 1, [](int32_t x, int32_t) {
    const uint8_t v = static_cast<uint8_t>(x * 33);
    return CreateRGB(v, v, v);
  });
  TIERGB palette[16];
  TIEQuantizer q(*bmp, palette, 0, 16);
  EXPECT_TRUE(q.GrayScale());
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(SameRGB(palette[i], CreateRGB(16 * i, 16 * i, 16 * i))) << i;
  for (int v : {0, 15, 16, 200, 255}) EXPECT_EQ(q.RGBIndex(CreateRGB(v, v, v)), v * 16 / 256) << v;

  // Grey formats too.
  TIEBitmap grey(2, 2, ie16g);
  grey.Fill(0x8000);
  TIERGB ramp[4];
  TIEQuantizer qg(grey, ramp, 0, 4);
  EXPECT_TRUE(SameRGB(ramp[3], CreateRGB(192, 192, 192)));
  EXPECT_EQ(qg.RGBIndex(grey.GetPixelRGB(0, 0)), 2);
}

TEST_F(QuantizerTest, PaletteImagesUseTheirOwnPalette) {
  TIEBitmap bmp(2, 1, ie8p);
  for (int i = 0; i < 256; ++i) bmp.SetPaletteColor(i, CreateRGB(255 - i, 255 - i, 255 - i));  // grey, descending
  std::vector<TIERGB> palette(300, CreateRGB(1, 2, 3));
  // More colours asked than the image's palette has: only its 256 entries are handed out.
  TIEQuantizer q(bmp, palette, 0, 300);
  EXPECT_EQ(q.ColorCount(), 256);
  EXPECT_TRUE(SameRGB(palette[0], CreateRGB(255, 255, 255)));
  EXPECT_TRUE(SameRGB(palette[256], CreateRGB(1, 2, 3)));
  // The entry holding the colour (not a ramp position: this palette runs from white to black).
  EXPECT_EQ(q.RGBIndex(CreateRGB(255, 255, 255)), 0);
  EXPECT_EQ(q.RGBIndex(CreateRGB(0, 0, 0)), 255);
  // A colour no entry holds: the nearest entry, inside the palette.
  // (200, 100, 100) is nearest to grey 100 (distance 100), entry 155.
  EXPECT_EQ(q.RGBIndex(CreateRGB(200, 100, 100)), 155);
}

TEST_F(QuantizerTest, BoxSplittingWithOneBoxGivesTheRoundedMean) {
  QuantizerMethod = 1;
  // Red in 5-bit units: 31, 0, 0 -> mean 10.33 -> 10 -> 80; green 0, 8, 16 (0, 1, 2) -> 1 -> 8.
  const TIERGB colours[3] = {CreateRGB(255, 0, 0), CreateRGB(0, 8, 0), CreateRGB(0, 16, 0)};
  auto bmp = Image(3, 1, [&](int32_t x, int32_t) { return colours[x]; });
  TIERGB palette[1];
  TIEQuantizer q(*bmp, palette, 0, 1);
  EXPECT_EQ(q.Method(), TIEQuantizer::qmBoxSplitting);
  EXPECT_TRUE(SameRGB(palette[0], CreateRGB(80, 8, 0)));
  ExpectIndicesInside(q, *bmp, 1);
}

TEST_F(QuantizerTest, BoxSplittingSeparatesTwoClusters) {
  QuantizerMethod = 1;
  // Two dark and two bright greys (5-bit 0, 1 and 30, 31): the first split is along red at bin 8,
  // each half's mean is 0.5 and 30.5, rounded to even: 0 and 30, so entries 0 and 240.
  const uint8_t levels[4] = {0, 8, 248, 240};
  auto bmp = Image(4, 1, [&](int32_t x, int32_t) { return CreateRGB(levels[x], levels[x], levels[x]); });
  bmp->SetPixel24(0, 0, CreateRGB(0, 0, 1));  // not grey, so the quantizer runs
  TIERGB palette[2];
  TIEQuantizer q(*bmp, palette, 0, 2);
  ASSERT_EQ(q.ColorCount(), 2);
  EXPECT_TRUE(SameRGB(palette[0], CreateRGB(0, 0, 0)));
  EXPECT_TRUE(SameRGB(palette[1], CreateRGB(240, 240, 240)));
  EXPECT_EQ(q.RGBIndex(bmp->GetPixel24(1, 0)), 0);
  EXPECT_EQ(q.RGBIndex(bmp->GetPixel24(2, 0)), 1);
}

TEST_F(QuantizerTest, BoxSplittingCountsEveryPixelOfAVeryWideImage) {
  QuantizerMethod = 1;
  // 70 000 x 1: the last 4 464 pixels are red. All of them count: mean 4464 * 31 / 70000 = 1.98 -> 2.
  auto bmp = std::make_unique<TIEBitmap>(70000, 1, ie24RGB);
  bmp->Fill(clBlack);
  bmp->FillRect(65536, 0, 69999, 0, clRed);
  bmp->SetPixel24(0, 0, CreateRGB(0, 0, 8));
  TIERGB palette[1];
  TIEQuantizer q(*bmp, palette, 0, 1);
  EXPECT_EQ(palette[0].r, 16);
}

TEST_F(QuantizerTest, BoxSplittingUsesAtMostNBoxes) {
  QuantizerMethod = 1;
  auto bmp = ManyColours();
  for (int32_t n : {2, 5, 64, 255}) {
    std::vector<TIERGB> palette(n);
    TIEQuantizer q(*bmp, palette, 0, n);
    EXPECT_LE(q.ColorCount(), n);
    EXPECT_GE(q.ColorCount(), std::min(n, 2));
    ExpectIndicesInside(q, *bmp, q.ColorCount());
  }
}

TEST(NeuQuant, SampleFactor) {
  EXPECT_EQ(TIENeuQuant::SampleFactor(1000 * 1000, -1), 30);
  EXPECT_EQ(TIENeuQuant::SampleFactor(40 * 40, -1), 1);
  EXPECT_EQ(TIENeuQuant::SampleFactor(100 * 100, -1), 3);  // Round((130000 - 26000) / 148000 + 2)
  EXPECT_EQ(TIENeuQuant::SampleFactor(10, 100), 1);
  EXPECT_EQ(TIENeuQuant::SampleFactor(10, 0), 30);
  EXPECT_EQ(TIENeuQuant::SampleFactor(10, 50), 15);
  EXPECT_EQ(TIENeuQuant::SampleFactor(10, 250), 1);  // beyond 100: as 100
}

TEST_F(QuantizerTest, NeuQuantMapsEachColourNearItself) {
  QuantizerMethod = 0;
  // Four colour clusters; with 4 neurons each pixel must land on an entry of its own cluster.
  const TIERGB centres[4] = {CreateRGB(220, 30, 30), CreateRGB(30, 220, 30), CreateRGB(30, 30, 220),
                             CreateRGB(220, 220, 220)};
  auto bmp = Image(40, 40, [&](int32_t x, int32_t y) {
    const TIERGB c = centres[(x / 10 + y / 10) % 4];
    const int d = (x * 7 + y * 3) % 9 - 4;
    return CreateRGB(static_cast<uint8_t>(c.r + d), static_cast<uint8_t>(c.g - d), static_cast<uint8_t>(c.b + d));
  });
  TIERGB palette[4];
  TIEQuantizer q(*bmp, palette, 0, 4);
  ASSERT_EQ(q.Method(), TIEQuantizer::qmNeuQuant);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const TIERGB c = bmp->GetPixel24(x, y);
      const int32_t index = q.RGBIndex(c);
      ASSERT_GE(index, 0);
      ASSERT_LT(index, 4);
      const TIERGB p = palette[index];
      EXPECT_LT(std::abs(p.r - c.r) + std::abs(p.g - c.g) + std::abs(p.b - c.b), 60) << x << "," << y;
    }
}

TEST_F(QuantizerTest, NeuQuantWithFewNeuronsHasNoRadius) {
  // Fewer than 8 neurons: the radius is 0 from the start and nothing divides by it.
  QuantizerMethod = 0;
  auto bmp = ManyColours();
  for (int32_t n : {1, 2, 7, 8, 9}) {
    std::vector<TIERGB> palette(n);
    TIEQuantizer q(*bmp, palette, 0, n);
    EXPECT_EQ(q.ColorCount(), n);
    ExpectIndicesInside(q, *bmp, n);
  }
  NeuQuantQuality = 100;  // every pixel sampled
  TIERGB palette[200];
  TIEQuantizer q(*bmp, palette, 0, 200);
  ExpectIndicesInside(q, *bmp, 200);
}

TEST_F(QuantizerTest, ColourImagesOfOtherFormatsGetNoPalette) {
  TIEBitmap bmp(2, 1, ie32RGB);
  bmp.Fill(clRed);
  TIERGB palette[4] = {};
  TIEQuantizer q(bmp, palette, 0, 4);
  EXPECT_EQ(q.ColorCount(), 0);
  EXPECT_EQ(q.RGBIndex(CreateRGB(255, 0, 0)), 0);
}

TEST_F(QuantizerTest, ConvertingToAPaletteMapsEveryPixelAsTheNetworkDoes) {
  // Noisy pictures of thousands of colours, converted on every core with the answers shared
  // between the rows (a cache of recent answers below a megapixel, one entry per colour from there
  // on): each index must be the network's own answer for that pixel.
  for (const auto& size : {std::pair{257, 190}, std::pair{1100, 960}}) {
    uint32_t seed = 99;
    auto bmp = Image(size.first, size.second, [&](int32_t x, int32_t y) {
      seed = seed * 1664525u + 1013904223u;
      const int32_t n = static_cast<int32_t>(seed >> 28) - 8;
      auto c = [&](int32_t v) { return static_cast<uint8_t>(std::clamp(v + n, 0, 255)); };
      return CreateRGB(c(x & 255), c((y & 255) + (x / 50) * 30), c(255 - ((x + y) & 511) / 2));
    });
    const TIENeuQuant network(*bmp, 256, -1);
    TIERGB expectedPalette[256];
    network.WritePalette(expectedPalette);

    TIEBitmap converted;
    converted.Assign(*bmp);
    converted.ConvertPixelFormat(ie8p);
    ASSERT_EQ(converted.PixelFormat(), ie8p);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(converted.GetPaletteBuffer()[i], expectedPalette[i]) << i;
    for (int32_t y = 0; y < bmp->Height(); ++y) {
      const uint8_t* src = bmp->Row<uint8_t>(y);
      const uint8_t* dst = converted.Row<uint8_t>(y);
      for (int32_t x = 0; x < bmp->Width(); ++x)
        ASSERT_EQ(dst[x], network.Lookup(TIERGB{src[3 * x], src[3 * x + 1], src[3 * x + 2]}))
            << size.first << "x" << size.second << " at " << x << "," << y;
    }
  }
}

TEST_F(QuantizerTest, NeuQuantLearnsTheSameWithAndWithoutTheVectorContest) {
  if (!NeuQuantSimdAvailable()) GTEST_SKIP() << "no AVX2 here";
  // Sizes that leave a tail after the last group of eight neurons, and one that does not.
  uint32_t seed = 5;
  auto bmp = Image(120, 90, [&](int32_t x, int32_t y) {
    seed = seed * 1664525u + 1013904223u;
    return CreateRGB(static_cast<uint8_t>(x * 2 + (seed >> 29)), static_cast<uint8_t>(y * 2 + (seed >> 27)),
                     static_cast<uint8_t>((x + y) ^ (seed >> 24)));
  });
  for (int32_t n : {5, 64, 203, 256}) {
    std::vector<TIERGB> withVector(n), without(n);
    SetNeuQuantSimd(true);
    TIENeuQuant(*bmp, n, 100).WritePalette(withVector.data());
    SetNeuQuantSimd(false);
    TIENeuQuant(*bmp, n, 100).WritePalette(without.data());
    SetNeuQuantSimd(true);
    EXPECT_EQ(withVector, without) << n;
  }
}
