// 3 x 3 presets, soft shadows and rounded corners.
#include "imaging/processing/ie_soft_shadow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_filter3x3.h"
#include "imaging/processing/ie_gauss_blur.h"
#include "imaging/processing/zodazur_proc.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

using bmptest::Pixels;
using ShadowTest = BitmapTest;

TEST_F(ShadowTest, PresetsHoldTheirValuesFromTheStart) {
  EXPECT_STREQ(FilterPresetNames[1], "Blur");
  EXPECT_STREQ(FilterPresetNames[8], "Low Pass 2");
  EXPECT_EQ(FilterPresets[1].Divisor, 9);
  EXPECT_EQ(FilterPresets[2].Values[1][1], -8);
  EXPECT_EQ(FilterPresets[3].Values[1][2], 1);
  FilterPresets[1].Divisor = 3;
  CreateFilterPresets();
  EXPECT_EQ(FilterPresets[1].Divisor, 9);
}

TEST_F(ShadowTest, ThreeByThreeFilterOnGreyRanges) {
  // 90 in the middle of 0s: "Blur" spreads 10 to each neighbour; rows and columns clamp at the
  // edges, so the corner pixel (0, 0) next to a 90 at (1, 1) counts it once: 10.
  TIEBitmap b(5, 5, ie8g);
  b.Fill(0);
  b.SetPixel8(1, 1, 90);
  b.SetPixel8(3, 3, 90);
  ApplyFilter3x3Gray(b, FilterPresets[1], 0, 0, 3, 3);
  EXPECT_EQ(b.GetPixel8(0, 0), 10);
  EXPECT_EQ(b.GetPixel8(1, 1), 10);
  EXPECT_EQ(b.GetPixel8(2, 2), 20);    // both bright pixels, read before either changed
  EXPECT_EQ(b.GetPixel8(3, 3), 90);    // outside the range
  EXPECT_EQ(b.GetPixel8(4, 0), 0);
  // "Edges" of a flat image is 0; "Emboss" takes the absolute sum; "None" (divisor 0) keeps all.
  TIEBitmap flat(4, 4, ie8g);
  flat.Fill(77);
  TIEBitmap emboss(4, 4, ie8g);
  emboss.Assign(flat);
  ApplyFilter3x3Gray(flat, FilterPresets[0], 0, 0, 4, 4);
  EXPECT_EQ(flat.GetPixel8(2, 2), 77);
  ApplyFilter3x3Gray(flat, FilterPresets[2], 0, 0, 4, 4);
  EXPECT_EQ(flat.GetPixel8(2, 2), 0);
  for (int32_t y = 0; y < 4; ++y) emboss.SetPixel8(0, y, 200);
  ApplyFilter3x3Gray(emboss, FilterPresets[3], 1, 1, 2, 2);
  // At (1, 1): -200 * 3 + 77 * (1 + 1 + 1 + 1) = -292: its absolute value held at 255.
  EXPECT_EQ(emboss.GetPixel8(1, 1), 255);
  TIEBitmap colour(3, 3, ie24RGB);
  colour.Fill(0);
  ApplyFilter3x3Gray(colour, FilterPresets[1], 0, 0, 3, 3);  // other formats: nothing
  EXPECT_EQ(colour.GetPixel24(1, 1), CreateRGB(0, 0, 0));
  const TIE3x3Filter negative{{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, -1};
  ApplyFilter3x3Gray(flat, negative, 0, 0, 4, 4);
  EXPECT_EQ(flat.GetPixel8(1, 1), 0);
}

TEST_F(ShadowTest, MarginFormula) {
  EXPECT_EQ(SoftShadowMargin(3, 5, 5), 2 * 5 + 15);
  EXPECT_EQ(SoftShadowMargin(2.9, -7, 2), 14 + 14);
  EXPECT_EQ(SoftShadowMargin(0, 0, 0), 1);
  EXPECT_EQ(SoftShadowMargin(1e30, 1 << 30, 0), 1 << 30);
}

// An opaque image 20 x 20 whose right half is transparent, and the shadow its alpha gives.
struct HalfOpaque {
  TIEBitmap image{20, 20, ie24RGB};
  TIEBitmap blurred{20, 20, ie8g};
  HalfOpaque() {
    image.Fill(RGBToTColor(CreateRGB(10, 20, 30)));
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 10; x < 20; ++x) image.SetAlpha(x, y, 0);
    blurred.Assign(*image.GetAlphaChannel());
    GaussianBlurBitmap(blurred, nullptr, 2, nullptr);
  }
};

TEST_F(ShadowTest, IntensityScalesTheShadowOfTransparentPlaces) {
  for (int32_t intensity : {100, 0, 50}) {
    HalfOpaque h;
    AddSoftShadowToBitmap(h.image, 2, 0, 0, intensity, false, CreateRGB(200, 0, 0), nullptr, nullptr);
    const double divide = 3 - 2 * intensity / 100.0;
    for (int32_t x = 10; x < 20; ++x) {
      const int32_t s = h.blurred.GetPixel8(x, 5);
      EXPECT_EQ(h.image.GetAlpha(x, 5), static_cast<int32_t>(s / divide)) << intensity << " " << x;
      if (s) {
        EXPECT_EQ(h.image.GetPixel24(x, 5), CreateRGB(200, 0, 0));
      }
    }
    EXPECT_EQ(h.image.GetAlpha(3, 5), 255);  // opaque pixels stay as they are
    EXPECT_EQ(h.image.GetPixel24(3, 5), CreateRGB(10, 20, 30));
    EXPECT_FALSE(h.image.GetAlphaChannel()->Full());
  }
}

TEST_F(ShadowTest, AnImageWithoutAlphaGetsItsShadowInTheNewBorder) {
  TIEBitmap b(30, 20, ie24RGB);
  b.Fill(RGBToTColor(CreateRGB(255, 255, 255)));
  std::vector<int32_t> progress;
  AddSoftShadowToBitmap(b, 1, 5, 5, 100, true, CreateRGB(0, 0, 0),
                        [&](TObject*, int32_t p) { progress.push_back(p); }, nullptr);
  // Margin 2 * 5 + 5 * 1 = 15; the image sits at (7, 7), the shadow moved by (5, 5).
  ASSERT_EQ(b.Width(), 45);
  ASSERT_EQ(b.Height(), 35);
  EXPECT_EQ(b.GetAlpha(20, 15), 255);
  EXPECT_EQ(b.GetPixel24(20, 15), CreateRGB(255, 255, 255));
  EXPECT_EQ(b.GetAlpha(2, 2), 0);              // above and left: no shadow
  EXPECT_GT(b.GetAlpha(38, 30), 200);          // below right: under the shadow
  EXPECT_EQ(b.GetPixel24(38, 30), CreateRGB(0, 0, 0));
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
}

TEST_F(ShadowTest, PartlyTransparentPixelsBlendWithTheShadow) {
  // A 1 x 1 image of alpha 128 over a shadow of... its own blurred alpha: with radius of 0 the
  // shadow is the alpha itself (128). t = 128/255, A = 128/255; channel 100 over shadow 0:
  // under = Trunc(0 * t + (1 - t) * 100) = 49, then Trunc(A * 100 + (1 - A) * 49) = 74, and the
  // alpha Trunc((A + t (1 - A)) * 255) = 191.
  TIEBitmap b(1, 1, ie24RGB);
  b.SetPixel24(0, 0, CreateRGB(100, 100, 100));
  b.SetAlpha(0, 0, 128);
  AddSoftShadowToBitmap(b, 0, 0, 0, 100, false, CreateRGB(0, 0, 0), nullptr, nullptr);
  EXPECT_EQ(b.GetPixel24(0, 0), CreateRGB(74, 74, 74));
  EXPECT_EQ(b.GetAlpha(0, 0), 191);
}

TEST_F(ShadowTest, ShadowOfAnObjectRectangle) {
  // A 10 x 10 opaque object at (20, 20) in a transparent 60 x 60 ie1g image.
  for (double radius : {0.0, 2.0}) {
    SCOPED_TRACE(radius);
    TIEBitmap b(60, 60, ie1g);
    b.Fill(1);
    b.GetAlphaChannel()->Fill(0);
    for (int32_t y = 20; y < 30; ++y)
      for (int32_t x = 20; x < 30; ++x) b.SetAlpha(x, y, 255);
    // Radius 0 counts as 2 for the margin: 2 * 3 + 10 = 16.
    EXPECT_EQ(AddSoftShadowInRect(b, radius, 3, 3, 0, CreateRGB(0, 0, 0), 20, 20, 29, 29), 16);
    EXPECT_EQ(b.GetAlpha(25, 25), 255);
    EXPECT_EQ(b.GetAlpha(31, 31) > 0, true);   // the shadow below right, undivided for ie1g
    EXPECT_GE(b.GetAlpha(31, 31), 100);
    EXPECT_EQ(b.GetAlpha(5, 5), 0);            // outside the composed area
    EXPECT_EQ(b.GetAlpha(18, 18), 0);          // above left: moved away
    EXPECT_EQ(b.GetPixelRGB(31, 31), CreateRGB(0, 0, 0));
    EXPECT_EQ(b.GetPixelRGB(5, 5), CreateRGB(255, 255, 255));
  }
  // The preset blur covers the whole inclusive blur rectangle: a 1-pixel object at the corner
  // (0, 0) of a 3 x 3 bitmap (margin 1, blur rectangle 0..1) blurs into pixel (1, 1) too.
  TIEBitmap tiny(3, 3, ie8g);
  tiny.GetAlphaChannel()->Fill(0);
  tiny.SetAlpha(0, 0, 252);
  AddSoftShadowInRect(tiny, 0, 0, 0, 100, CreateRGB(0, 0, 0), 0, 0, 0, 0);
  EXPECT_EQ(tiny.GetAlpha(1, 1), 252 / 9);
  EXPECT_EQ(tiny.GetAlpha(0, 0), 252);
}

TEST_F(ShadowTest, RoundedCornersOnAWideImage) {
  TIEBitmap b(100, 20, ie24RGB);
  RoundBitmapCorners(b, 10, 10);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{99, 0}, std::pair{0, 19}, std::pair{99, 19}, std::pair{2, 1},
                      std::pair{97, 18}})
    EXPECT_EQ(b.GetAlpha(x, y), 0) << x << "," << y;
  // The top curve ends on (10, 0), which it clears; the bottom one ends below the image.
  for (auto [x, y] : {std::pair{50, 10}, std::pair{11, 0}, std::pair{89, 19}, std::pair{0, 10}, std::pair{50, 0}})
    EXPECT_EQ(b.GetAlpha(x, y), 255) << x << "," << y;
  EXPECT_FALSE(b.GetAlphaChannel()->Full());
  // No corner, no alpha channel; huge corners are clipped to the image.
  TIEBitmap plain(10, 10, ie24RGB);
  RoundBitmapCorners(plain, 0, 10);
  RoundBitmapCorners(plain, 10, -1);
  EXPECT_FALSE(plain.HasAlphaChannel());
  RoundBitmapCorners(plain, 2000000000, 2000000000);
  EXPECT_EQ(plain.GetAlpha(0, 0), 0);
}

TEST_F(ShadowTest, ComponentShadowRecordsUndoAndUpdates) {
  TIEBitmap b(12, 12, ie24RGB);
  b.Fill(RGBToTColor(CreateRGB(255, 255, 255)));
  auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
  proc->SetAutoUndo(true);
  int finished = 0;
  proc->OnFinishWork = [&](TObject*) { ++finished; };
  proc->AddSoftShadow(1.5, 2, 2, true, clBlack, 100);
  EXPECT_EQ(b.Width(), 12 + 4 + 7);
  EXPECT_EQ(finished, 1);
  proc->Undo();
  EXPECT_EQ(b.Width(), 12);
  EXPECT_FALSE(b.HasAlphaChannel());
}

}  // namespace
