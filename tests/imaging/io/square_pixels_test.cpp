// Square pixels for a bitmap of unequal resolutions, stand-alone (AdjustBitmapDPI) — the component's
// own adjustment of its working bitmap is tested with the component.
#include <gtest/gtest.h>

#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/io_params.h"
#include "imaging/io/square_pixels.h"

namespace {

std::unique_ptr<TIEBitmap> Picture(int32_t w, int32_t h, TIEPixelFormat format) {
  auto b = std::make_unique<TIEBitmap>(w, h, format);
  if (format == ie8p) {
    b->SetPaletteColor(0, CreateRGB(10, 20, 30));
    b->SetPaletteColor(1, CreateRGB(200, 100, 50));
  }
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      if (format == ie8p)
        b->SetPixel8(x, y, static_cast<uint8_t>(x < w / 2));
      else
        b->SetPixel24(x, y, x < w / 2 ? CreateRGB(200, 100, 50) : CreateRGB(10, 20, 30));
    }
  return b;
}

void WithSizeAndResolution(TIOParamsVals& p, int32_t w, int32_t h, int32_t dpiX, int32_t dpiY) {
  p.Width = w;
  p.Height = h;
  p.SetDpiX(dpiX);
  p.SetDpiY(dpiY);
}

TEST(AdjustBitmapDPI, StretchesTheSmallerSideToTheOtherResolution) {
  struct Case {
    int32_t w, h, dpiX, dpiY;
    int32_t newW, newH, dpi;
  };
  const Case cases[] = {
      {1000, 500, 200, 100, 1000, 1000, 200},  // h < w: the height grows, DpiY becomes DpiX
      {500, 1000, 100, 200, 1000, 1000, 200},  // h >= w: the width grows, DpiX becomes DpiY
      {600, 400, 100, 300, 600, 133, 100},     // trunc(400 / 300 x 100) = 133: shrinking is stretching too
      {300, 300, 200, 100, 150, 300, 100},     // a tie stretches the width
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " @ " << c.dpiX << "x" << c.dpiY);
    for (bool filtered : {false, true}) {
      TIOParamsVals p(nullptr);
      WithSizeAndResolution(p, c.w, c.h, c.dpiX, c.dpiY);
      auto source = Picture(c.w, c.h, ie24RGB);
      const TIEBitmap* original = source.get();
      auto result = AdjustBitmapDPI(std::move(source), p, filtered);
      ASSERT_NE(result.get(), original);
      EXPECT_EQ(result->Width(), c.newW);
      EXPECT_EQ(result->Height(), c.newH);
      EXPECT_EQ(p.Width, c.newW);
      EXPECT_EQ(p.Height, c.newH);
      EXPECT_EQ(p.DpiX, c.dpi);
      EXPECT_EQ(p.DpiY, c.dpi);
      // Through the setters: the Exif resolutions follow.
      EXPECT_EQ(p.ExifXResolution, c.dpi);
      EXPECT_EQ(p.ExifYResolution, c.dpi);
      // The left half keeps its colour.
      EXPECT_EQ(result->GetPixelRGB(0, result->Height() - 1), CreateRGB(200, 100, 50));
      EXPECT_EQ(result->GetPixelRGB(result->Width() - 1, 0), CreateRGB(10, 20, 30));
    }
  }
}

TEST(AdjustBitmapDPI, NearestKeepsTheFormatFilteredGives24Bits) {
  for (bool filtered : {false, true}) {
    TIOParamsVals p(nullptr);
    WithSizeAndResolution(p, 40, 20, 200, 100);
    auto result = AdjustBitmapDPI(Picture(40, 20, ie8p), p, filtered);
    ASSERT_EQ(result->Height(), 40);
    EXPECT_EQ(result->PixelFormat(), filtered ? ie24RGB : ie8p);
    EXPECT_EQ(result->GetPixelRGB(0, 39), CreateRGB(200, 100, 50));
    if (!filtered) {
      EXPECT_EQ(result->GetPaletteColor(1), CreateRGB(200, 100, 50));
    }
  }
}

TEST(AdjustBitmapDPI, TheAlphaChannelIsStretchedAlong) {
  for (bool filtered : {false, true}) {
    TIOParamsVals p(nullptr);
    WithSizeAndResolution(p, 8, 4, 200, 100);
    auto b = Picture(8, 4, ie24RGB);
    for (int32_t x = 0; x < 8; ++x) b->SetAlpha(x, 3, 0);  // the bottom row transparent
    b->GetAlphaChannel()->SetFull(false);
    auto result = AdjustBitmapDPI(std::move(b), p, filtered);
    ASSERT_EQ(result->Height(), 8);
    ASSERT_TRUE(result->HasAlphaChannel());
    EXPECT_EQ(result->GetAlphaChannel()->Height(), 8);
    EXPECT_EQ(result->GetAlpha(3, 0), 255);
    EXPECT_EQ(result->GetAlpha(3, 7), 0);
    EXPECT_EQ(result->GetAlpha(3, 6), 0);
    EXPECT_FALSE(result->GetAlphaChannel()->Full());
  }
}

TEST(AdjustBitmapDPI, NothingToDoOrNothingThatCanBeDone) {
  struct Case {
    const char* name;
    int32_t bitmapW, bitmapH;  // 0: an empty bitmap
    int32_t w, h, dpiX, dpiY;
  };
  const Case cases[] = {
      {"equal resolutions", 40, 30, 40, 30, 300, 300},
      {"no horizontal resolution", 40, 30, 40, 30, 0, 100},
      {"a negative resolution", 40, 30, 40, 30, 100, -5},
      {"an empty bitmap", 0, 0, 40, 30, 200, 100},
      {"no width in the record", 40, 30, 0, 30, 200, 100},
      {"a negative height in the record", 40, 30, 40, -30, 200, 100},
      {"a new side below 1", 40, 30, 40, 3, 1, 10},              // trunc(3 / 10 x 1) = 0
      {"a size no bitmap can have", 40, 30, 40, 30, 2000000000, 1},
      {"a stretch the gate refuses", 300, 400, 300, 400, 1, 100},  // 100 times the width: 12 Mpixels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIOParamsVals p(nullptr);
    WithSizeAndResolution(p, c.w, c.h, c.dpiX, c.dpiY);
    auto source = c.bitmapW ? Picture(c.bitmapW, c.bitmapH, ie8p) : std::make_unique<TIEBitmap>();
    const TIEBitmap* original = source.get();
    IEImageSizeGateLogForTesting(true);
    auto result = AdjustBitmapDPI(std::move(source), p, true);
    EXPECT_EQ(result.get(), original);
    EXPECT_EQ(result->Width(), c.bitmapW);
    EXPECT_EQ(result->PixelFormat(), c.bitmapW ? ie8p : ieNoFormat);
    EXPECT_EQ(p.Width, c.w);
    EXPECT_EQ(p.Height, c.h);
    EXPECT_EQ(p.DpiX, c.dpiX);
    EXPECT_EQ(p.DpiY, c.dpiY);
    EXPECT_LT(IEImageSizeGateLogForTesting().LargestGrantedPixels, 1000000);
  }
}

}  // namespace
