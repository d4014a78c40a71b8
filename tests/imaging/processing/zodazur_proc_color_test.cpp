// The colour operations of the processing component and the colour routines on whole bitmaps.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/locale_info.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

using bmptest::Pixels;
using ColorOpsTest = BitmapTest;

// A bitmap of the given colours, one row.
std::unique_ptr<TIEBitmap> Row(const std::vector<TIERGB>& colours) {
  auto b = std::make_unique<TIEBitmap>(static_cast<int32_t>(colours.size()), 2, ie24RGB);
  for (int32_t y = 0; y < 2; ++y)
    for (size_t x = 0; x < colours.size(); ++x) b->SetPixel24(static_cast<int32_t>(x), y, colours[x]);
  return b;
}

// Runs Op on a component over Bitmap and answers the undo caption it recorded.
std::string CaptionOf(TIEBitmap& Bitmap, const std::function<void(TZodazUrProc&)>& Op) {
  auto proc = TZodazUrProc::CreateFromIEBitmap(&Bitmap);
  proc->SetAutoUndo(true);
  Op(*proc);
  return proc->GetUndoCaption(0);
}

TEST_F(ColorOpsTest, UndoCaptionsNameTheOperationAndItsArguments) {
  const char old = DecimalSeparator();
  SetDecimalSeparator(',');
  TIEBitmap b(4, 4, ie24RGB);
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.HSLvar(10, -20, 30); }), "HSLvar 10, -20, 30");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.HSVvar(1, 2, 3); }), "HSVvar 1, 2, 3");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.Contrast(1.5); }), "Contrast 1,50");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.IntensityRGBall(5, 0, -5); }), "IntensityRGBall 5, 0, -5");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.ConvertToGray(); }), "ConvertToGray");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.HistAutoEqualize(); }), "HistAutoEqualize");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.Negative(); }), "Negative");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.Fill(CreateRGB(1, 2, 3)); }), "Fill (1, 2, 3)");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.ShiftChannel(4, -1, 2, 7); }), "ShiftChannel 4, -1, 2, 7");
  EXPECT_EQ(CaptionOf(b, [](TZodazUrProc& p) { p.AddSoftShadow(2, 1, 1, false, clBlack, 50); }), "AddSoftShadow");
  SetDecimalSeparator(old);
}

TEST_F(ColorOpsTest, HsvShiftsGoThroughTheHundredScaleAndWrapAnyHue) {
  // Zero shifts still change pixels: a channel of 1 becomes 0.
  auto b = Row({CreateRGB(1, 1, 1), CreateRGB(255, 0, 255)});
  TZodazUrProc::CreateFromIEBitmap(b.get())->HSVvar(0, 0, 0);
  EXPECT_EQ(b->GetPixel24(0, 0), CreateRGB(0, 0, 0));
  EXPECT_EQ(b->GetPixel24(1, 0), CreateRGB(255, 0, 255));
  // Hue 300 + 400 is 340 (see the HSV model's tests: 255, 0, 85); a hue of many turns the same.
  for (int32_t shift : {400, 40 + 360 * 5000, 40 - 360 * 3}) {
    auto m = Row({CreateRGB(255, 0, 255)});
    TZodazUrProc::CreateFromIEBitmap(m.get())->HSVvar(shift, 0, 0);
    EXPECT_EQ(m->GetPixel24(0, 0), CreateRGB(255, 0, 85)) << shift;
  }
}

TEST_F(ColorOpsTest, HslShiftOfAFullTurnChangesNothing) {
  std::vector<TIERGB> colours;
  for (int i = 0; i < 64; ++i)
    colours.push_back(CreateRGB(static_cast<uint8_t>(i * 4), static_cast<uint8_t>(255 - i * 3), static_cast<uint8_t>(i * 7)));
  auto zero = Row(colours), full = Row(colours), many = Row(colours);
  TZodazUrProc::CreateFromIEBitmap(zero.get())->HSLvar(0, 0, 0);
  TZodazUrProc::CreateFromIEBitmap(full.get())->HSLvar(360, 0, 0);
  TZodazUrProc::CreateFromIEBitmap(many.get())->HSLvar(-720, 0, 0);
  EXPECT_EQ(Pixels(*full), Pixels(*zero));
  EXPECT_EQ(Pixels(*many), Pixels(*zero));
  // Lightness +100 whitens, saturation -100 greys.
  auto light = Row({CreateRGB(10, 200, 30)});
  TZodazUrProc::CreateFromIEBitmap(light.get())->HSLvar(0, 0, 100);
  EXPECT_EQ(light->GetPixel24(0, 0), CreateRGB(255, 255, 255));
  auto grey = Row({CreateRGB(10, 200, 30)});
  TZodazUrProc::CreateFromIEBitmap(grey.get())->HSLvar(0, -100, 0);
  const TIERGB g = grey->GetPixel24(0, 0);
  EXPECT_TRUE(g.r == g.g && g.g == g.b);
}

TEST_F(ColorOpsTest, ContrastAroundTheMeansOfTheWholeImage) {
  // Means: red (0 + 100) / 2 = 50, green 100, blue (10 + 30) / 2 = 20.
  auto b = Row({CreateRGB(0, 100, 10), CreateRGB(100, 100, 30)});
  const auto original = Pixels(*b);
  TZodazUrProc::CreateFromIEBitmap(b.get())->Contrast(0);
  EXPECT_EQ(Pixels(*b), original);
  TZodazUrProc::CreateFromIEBitmap(b.get())->Contrast(std::nan(""));
  TZodazUrProc::CreateFromIEBitmap(b.get())->Contrast(HUGE_VAL);
  EXPECT_EQ(Pixels(*b), original);
  TZodazUrProc::CreateFromIEBitmap(b.get())->Contrast(-100);
  EXPECT_EQ(b->GetPixel24(0, 0), CreateRGB(50, 100, 20));
  EXPECT_EQ(b->GetPixel24(1, 1), CreateRGB(50, 100, 20));
  // Contrast 10 doubles the distance from the mean: red 50 -/+ 100, clamped.
  auto c = Row({CreateRGB(0, 100, 10), CreateRGB(100, 100, 30)});
  TZodazUrProc::CreateFromIEBitmap(c.get())->Contrast(10);
  EXPECT_EQ(c->GetPixel24(0, 0), CreateRGB(0, 100, 0));
  EXPECT_EQ(c->GetPixel24(1, 0), CreateRGB(150, 100, 40));
  // An empty image has nothing to average.
  TIEBitmap empty;
  TZodazUrProc::CreateFromIEBitmap(&empty)->Contrast(5);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST_F(ColorOpsTest, IntensityOffsetsAreClamped) {
  auto b = Row({CreateRGB(0, 50, 250), CreateRGB(200, 0, 5)});
  TZodazUrProc::CreateFromIEBitmap(b.get())->IntensityRGBall(300, -10, 10);
  EXPECT_EQ(b->GetPixel24(0, 0), CreateRGB(255, 40, 255));
  EXPECT_EQ(b->GetPixel24(1, 1), CreateRGB(255, 0, 15));
}

TEST_F(ColorOpsTest, ConvertToGrayUsesTheGreyWeights) {
  // (200 * 21 + 100 * 71 + 50 * 8) div 100 = 117.
  auto b = Row({CreateRGB(200, 100, 50)});
  TZodazUrProc::CreateFromIEBitmap(b.get())->ConvertToGray();
  EXPECT_EQ(b->GetPixel24(0, 0), CreateRGB(117, 117, 117));
  EXPECT_EQ(b->PixelFormat(), ie24RGB);
}

TEST_F(ColorOpsTest, HistogramEqualisationSpreadsTwoLevels) {
  // Half the pixels grey 0, half grey 100: level 0 spans outputs 0..127 and level 100 127..255.
  // Inside the dark half the neighbourhood mean (0) lies in the span and is kept; inside the
  // light half it lies below it, so each channel takes the span's low end of its own value: 127.
  TIEBitmap b(16, 16, ie24RGB);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) b.SetPixel24(x, y, x < 8 ? CreateRGB(0, 0, 0) : CreateRGB(100, 100, 100));
  TZodazUrProc::CreateFromIEBitmap(&b)->HistAutoEqualize();
  EXPECT_EQ(b.GetPixel24(2, 5), CreateRGB(0, 0, 0));
  EXPECT_EQ(b.GetPixel24(13, 9), CreateRGB(127, 127, 127));
}

TEST_F(ColorOpsTest, ShiftChannelMovesOneChannel) {
  TIEBitmap b(20, 3, ie24RGB);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 20; ++x) b.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(10 * x + y), 7, 9));
  auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
  proc->ShiftChannel(10, 0, 2, -1);  // red right by 10, the leftmost red repeated
  for (int32_t x = 0; x < 20; ++x) {
    EXPECT_EQ(b.GetPixel24(x, 1).r, x < 10 ? 1 : 10 * (x - 10) + 1) << x;
    EXPECT_EQ(b.GetPixel24(x, 1).g, 7);
  }
  proc->ShiftChannel(0, 2, 0, 33);  // blue down by 2, filled with 33
  EXPECT_EQ(b.GetPixel24(4, 1).b, 33);
  EXPECT_EQ(b.GetPixel24(4, 2).b, 9);
  // A channel outside 0..2 does nothing and records nothing.
  proc->SetAutoUndo(true);
  const auto before = Pixels(b);
  proc->ShiftChannel(1, 1, 3, 0);
  proc->ShiftChannel(1, 1, -1, 0);
  EXPECT_EQ(Pixels(b), before);
  EXPECT_EQ(proc->UndoCount(), 0);
  // 48-bit words red, green, blue: channel 0 is red there.
  TIEBitmap w(4, 1, ieRGB48);
  for (int32_t x = 0; x < 4; ++x) w.SetPixel48(x, 0, TIERGB48{static_cast<uint16_t>(1000 * x), 5, 6});
  TZodazUrProc::CreateFromIEBitmap(&w)->ShiftChannel(1, 0, 0, 70000);
  EXPECT_EQ(w.GetPixel48(0, 0).r, 65535);  // the fill, held to the sample range
  EXPECT_EQ(w.GetPixel48(3, 0).r, 2000);
  EXPECT_EQ(w.GetPixel48(3, 0).g, 5);
}

TEST_F(ColorOpsTest, ResultsDoNotDependOnTheThreadCount) {
  TIEBitmap source(400, 300, ie24RGB);
  for (int32_t y = 0; y < 300; ++y)
    for (int32_t x = 0; x < 400; ++x)
      source.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(y * 3)));
  const std::vector<std::function<void(TZodazUrProc&)>> ops = {
      [](TZodazUrProc& p) { p.HSLvar(30, 10, -5); },   [](TZodazUrProc& p) { p.HSVvar(-50, 5, 5); },
      [](TZodazUrProc& p) { p.Contrast(3.5); },        [](TZodazUrProc& p) { p.Negative(); },
      [](TZodazUrProc& p) { p.HistAutoEqualize(); },  [](TZodazUrProc& p) { p.IntensityRGBall(9, -9, 1); },
  };
  for (size_t i = 0; i < ops.size(); ++i) {
    std::vector<std::vector<std::vector<uint8_t>>> results;
    for (int32_t threads : {1, 7}) {
      ResampleThreadCountForTesting() = threads;
      TIEBitmap b(1, 1, ie24RGB);
      b.Assign(source);
      auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
      std::vector<int32_t> progress;
      proc->OnProgress = [&](TObject*, int32_t p) { progress.push_back(p); };
      ops[i](*proc);
      EXPECT_EQ(progress.size(), 301u) << i;  // one per row and the finish
      results.push_back(Pixels(b));
    }
    ResampleThreadCountForTesting() = 0;
    EXPECT_EQ(results[0], results[1]) << i;
  }
}

// ----------------------------------------------------------------------------- bitmap routines

TEST_F(ColorOpsTest, RearrangeChannelsByLetters) {
  struct Case {
    const char* order;
    TIERGB expected;  // from red 10, green 20, blue 30
  };
  const Case cases[] = {
      {"BGR", CreateRGB(10, 20, 30)}, {"rgb", CreateRGB(30, 20, 10)}, {"00R", CreateRGB(10, 0, 0)},
      {"GGX", CreateRGB(30, 20, 20)}, {"R", CreateRGB(30, 30, 10)},   {"", CreateRGB(30, 30, 30)},
  };
  for (const Case& c : cases) {
    auto b = Row({CreateRGB(10, 20, 30)});
    RearrangeChannels(*b, c.order, nullptr, nullptr);
    EXPECT_EQ(b->GetPixel24(0, 1), c.expected) << c.order;
  }
  TIEBitmap w(1, 1, ieRGB48);
  w.SetPixel48(0, 0, TIERGB48{100, 200, 300});
  std::vector<int32_t> progress;
  RearrangeChannels(w, "RGB", &w, [&](TObject* s, int32_t p) {
    EXPECT_EQ(s, &w);
    progress.push_back(p);
  });
  EXPECT_EQ(w.GetPixel48(0, 0).r, 300);
  EXPECT_EQ(w.GetPixel48(0, 0).b, 100);
  EXPECT_EQ(progress, std::vector<int32_t>{0});
  TIEBitmap g(2, 2, ie8g);
  g.Fill(9);
  RearrangeChannels(g, "00R", nullptr, nullptr);  // not a colour format
  EXPECT_EQ(g.GetPixel8(1, 1), 9);
}

TEST_F(ColorOpsTest, MatchColorHistogramsTakesTheReferenceLevels) {
  // Reference: half 50, half 200 in every channel. Target: half 0, half 255. The target's own
  // cumulative histogram gives 127 and 255; the reference level nearest to each is 50 (whose
  // cumulative value is 127.5) and 200.
  TIEBitmap ref(4, 2, ie24RGB), tgt(2, 2, ie24RGB);
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t y = 0; y < 2; ++y) ref.SetPixel24(x, y, x < 2 ? CreateRGB(50, 50, 50) : CreateRGB(200, 200, 200));
  tgt.SetPixel24(0, 0, CreateRGB(0, 0, 0));
  tgt.SetPixel24(1, 0, CreateRGB(0, 0, 0));
  tgt.SetPixel24(0, 1, CreateRGB(255, 255, 255));
  tgt.SetPixel24(1, 1, CreateRGB(255, 255, 255));
  MatchColorHistograms(ref, tgt);
  EXPECT_EQ(tgt.GetPixel24(1, 0), CreateRGB(50, 50, 50));
  EXPECT_EQ(tgt.GetPixel24(0, 1), CreateRGB(200, 200, 200));
  // 48-bit targets use the high byte and store the level * 257.
  TIEBitmap wide(2, 1, ieRGB48);
  wide.SetPixel48(0, 0, TIERGB48{0, 0, 0});
  wide.SetPixel48(1, 0, TIERGB48{65535, 65535, 65535});
  MatchColorHistograms(ref, wide);
  EXPECT_EQ(wide.GetPixel48(0, 0).g, 50 * 257);
  EXPECT_EQ(wide.GetPixel48(1, 0).r, 200 * 257);
  // Not a 24-bit reference: nothing.
  TIEBitmap grey(2, 2, ie8g);
  MatchColorHistograms(grey, tgt);
  EXPECT_EQ(tgt.GetPixel24(1, 0), CreateRGB(50, 50, 50));
}

TEST_F(ColorOpsTest, FillTransparentPixelsOnlyWhereAlphaIsZero) {
  auto b = Row({CreateRGB(1, 1, 1), CreateRGB(2, 2, 2), CreateRGB(3, 3, 3)});
  FillTransparentPixels(*b, CreateRGB(128, 128, 128));  // no alpha channel: nothing
  EXPECT_FALSE(b->HasAlphaChannel());
  EXPECT_EQ(b->GetPixel24(0, 0), CreateRGB(1, 1, 1));
  b->SetAlpha(0, 0, 0);
  b->SetAlpha(1, 0, 1);
  FillTransparentPixels(*b, CreateRGB(128, 128, 128));
  EXPECT_EQ(b->GetPixel24(0, 0), CreateRGB(128, 128, 128));
  EXPECT_EQ(b->GetPixel24(1, 0), CreateRGB(2, 2, 2));
  EXPECT_EQ(b->GetPixel24(0, 1), CreateRGB(1, 1, 1));
}

TEST_F(ColorOpsTest, FillValueOfAColourPerFormat) {
  // A system colour is resolved first; grey (200, 100, 50) is 117.
  struct Case {
    TIEPixelFormat format;
    TColor colour;
    double value;
  };
  const TColor c = 200 | (100 << 8) | (50 << 16);
  const Case cases[] = {
      {ie1g, c, 1},        {ie1g, 0xFF0000, 0},      {ie8g, c, 117},     {ie16g, c, 117 * 257},
      {ie32f, c, 117 / 255.0}, {ie24RGB, c, double(c)}, {ieCMYK, c, double(c)},
  };
  for (const Case& k : cases) {
    TIEBitmap b(1, 1, k.format);
    EXPECT_DOUBLE_EQ(ColorToFillValue(b, k.colour), k.value) << int(k.format);
  }
  TIEBitmap p(1, 1, ie8p);
  p.SetPaletteColor(77, CreateRGB(255, 255, 255));
  EXPECT_EQ(ColorToFillValue(p, clWhite), 77);
}

}  // namespace
