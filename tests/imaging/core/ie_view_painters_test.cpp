// The views' painters pixel by pixel, their settings objects, and the palette picker driven offscreen
// as a user would: the pointer moved over the cells, a click, the Cancel button and Escape.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_palette_dialog.h"
#include "imaging/core/ie_view_painters.h"
#include "imaging/core/ie_view_params.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/timers.h"
#include "tests/support/ui_input.h"

namespace {

std::unique_ptr<TBitmap> Grey(int32_t w, int32_t h, uint8_t level) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) std::fill(b->ScanLine(y), b->ScanLine(y) + 3 * w, level);
  return b;
}

uint8_t At(TBitmap& b, int32_t x, int32_t y) { return b.ScanLine(y)[3 * x + 1]; }

TEST(ViewPainters, StripesRepeatFourGreys) {
  TBitmap b;
  DrawStripesBackground(&b, 5, 6);
  ASSERT_EQ(b.Width(), 5);
  ASSERT_EQ(b.PixelFormat(), pf24bit);
  const int expected[] = {240, 251, 255, 251, 240, 251};
  for (int32_t y = 0; y < 6; ++y) {
    EXPECT_EQ(b.ScanLine(y)[0], expected[y]) << y;
    EXPECT_EQ(b.ScanLine(y)[3 * 4 + 2], expected[y]) << y;
  }
}

TEST(ViewPainters, NoiseFollowsTheBellAcrossTheColumns) {
  TBitmap b;
  DrawNoiseBackground(&b, 300, 20);
  ASSERT_EQ(b.Height(), 20);
  for (int32_t y = 0; y < 20; ++y) {
    // Level 160 at the left edge plus an offset of 0..10; 208 in the middle plus the same.
    EXPECT_GE(At(b, 0, y), 160);
    EXPECT_LE(At(b, 0, y), 170);
    EXPECT_GE(At(b, 150, y), 207);
    EXPECT_LE(At(b, 150, y), 218);
    EXPECT_EQ(b.ScanLine(y)[0], b.ScanLine(y)[2]);
  }
}

TEST(ViewPainters, RightShadowFactorsForAStripSixWide) {
  // W = 6, s = 2: t = (6 - h) / 2 = 3, 2.5, 2, 1.5, 1, 0.5 for h = 0..5; rows Y1 + 6 .. Y2 + h - 3.
  auto b = Grey(20, 40, 200);
  DrawRightShadow(nullptr, b.get(), 10, 0, 15, 30, 2, clRed);
  for (int32_t h = 0; h < 6; ++h) {
    const double t = 3 - 0.5 * h;
    const int expected = static_cast<int>(200 * std::exp(-0.1 - t * t / 6));
    EXPECT_EQ(At(*b, 10 + h, 20), expected) << h;
    EXPECT_EQ(At(*b, 10 + h, 6), expected) << h;   // the first row of the strip
    EXPECT_EQ(At(*b, 10 + h, 5), 200) << h;        // above it: untouched
    EXPECT_EQ(At(*b, 10 + h, 27 + h), expected) << h;  // the diagonal lower end
    EXPECT_EQ(At(*b, 10 + h, 28 + h), 200) << h;
  }
  EXPECT_EQ(At(*b, 9, 20), 200);
  // The same strip drawn through a canvas where the bitmap does not reach.
  auto page = Grey(20, 40, 200);
  DrawRightShadow(page->Canvas(), nullptr, 10, 0, 15, 30, 2, clRed);
  EXPECT_EQ(At(*page, 12, 20), At(*b, 12, 20));
  // Other kinds and empty strips draw nothing.
  auto same = Grey(20, 40, 200);
  DrawRightShadow(nullptr, same.get(), 10, 0, 15, 30, 1, clRed);
  DrawRightShadow(nullptr, same.get(), 10, 0, 9, 30, 2, clRed);
  DrawBottomShadow(nullptr, same.get(), 0, 10, 30, 9, 2, clRed);
  EXPECT_EQ(At(*same, 12, 20), 200);
}

TEST(ViewPainters, BottomShadowFactors) {
  // H = 6, s = 2: for row k, t = (k - 6) / 2; columns X1 + 6 .. X2 + k - 5.
  auto b = Grey(40, 20, 100);
  DrawBottomShadow(nullptr, b.get(), 0, 10, 30, 15, 2, clRed);
  for (int32_t k = 0; k < 6; ++k) {
    const double t = (k - 6) / 2.0;
    const int expected = static_cast<int>(100 * std::exp(-0.1 - t * t / 6));
    EXPECT_EQ(At(*b, 6, 10 + k), expected) << k;
    EXPECT_EQ(At(*b, 25 + k, 10 + k), expected) << k;
    EXPECT_EQ(At(*b, 26 + k, 10 + k), 100) << k;
    EXPECT_EQ(At(*b, 5, 10 + k), 100) << k;
  }
}

TEST(ViewPainters, SoftShadowDarkensAroundButNotInside) {
  auto b = Grey(60, 50, 200);
  DrawSoftShadow(b.get(), 20, 15, 39, 34, clBlack);
  for (int32_t y = 15; y < 34; ++y)
    for (int32_t x = 20; x < 39; ++x) ASSERT_EQ(At(*b, x, y), 200) << x << "," << y;
  EXPECT_LT(At(*b, 40, 25), 200);  // just right of the rectangle
  EXPECT_LT(At(*b, 30, 35), 200);  // just below
  EXPECT_LT(At(*b, 40, 25), At(*b, 43, 25) + 1);  // lighter further out
  EXPECT_EQ(At(*b, 10, 25), 200);  // beyond the margin
  // Partly outside the bitmap: the pixels outside are skipped.
  DrawSoftShadow(b.get(), -3, -3, 5, 5, clBlack);
  EXPECT_LT(At(*b, 6, 2), 200);
}

TEST(ViewPainters, ShadeOutsideRectLeavesTwentyPixels) {
  for (bool gdiPlus : {true, false}) {
    auto b = Grey(12, 12, 200);
    if (gdiPlus) {
      AcquireGDIPlus();  // as a view does
      ShadeOutsideRect(b->Canvas(), 0, 0, 10, 10, 2, 2, 7, 7);
      ReleaseGDIPlus();
    } else {
      // The plain canvas fills the same bands opaque.
      TIECanvas plain(b->Canvas(), false, false);
      plain.Brush()->SetColor(clBlack);
      for (const TRect& r : {TRect{0, 0, 3, 10}, TRect{7, 0, 10, 10}, TRect{3, 0, 7, 3}, TRect{3, 8, 7, 10}})
        plain.FillRect(r);
    }
    int unshaded = 0;
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 12; ++x) {
        const bool outer = x < 10 && y < 10;
        const bool inner = x >= 3 && x <= 6 && y >= 3 && y <= 7;
        if (outer && !inner) {
          ASSERT_LT(At(*b, x, y), 200) << x << "," << y << " " << gdiPlus;
          if (gdiPlus) ASSERT_NEAR(At(*b, x, y), 200 * 105 / 255, 2) << x << "," << y;
        } else {
          ASSERT_EQ(At(*b, x, y), 200) << x << "," << y << " " << gdiPlus;
          if (outer) ++unshaded;
        }
      }
    EXPECT_EQ(unshaded, 20);
  }
  auto same = Grey(12, 12, 200);
  ShadeOutsideRect(same->Canvas(), 0, 0, 10, 10, 7, 2, 7, 7);  // empty inner rectangle
  EXPECT_EQ(At(*same, 0, 0), 200);
}

TEST(ViewPainters, Frame3DDrawsTwoColours) {
  auto b = Grey(10, 10, 128);
  DrawFrame3D(b->Canvas(), 1, 1, 8, 8, clWhite, clBlack);
  EXPECT_EQ(At(*b, 1, 5), 255);  // left side
  EXPECT_EQ(At(*b, 5, 1), 255);  // top
  EXPECT_EQ(At(*b, 5, 8), 0);    // bottom
  EXPECT_EQ(At(*b, 8, 5), 0);    // right
  EXPECT_EQ(At(*b, 5, 5), 128);
}

TEST(ViewSettings, Defaults) {
  const TIEScrollBarParams s;
  EXPECT_EQ(s.LineStep, -1);
  EXPECT_EQ(s.PageStep, -1);
  EXPECT_TRUE(s.Tracking);
  const TIEMouseWheelParams m;
  EXPECT_FALSE(m.InvertDirection);
  EXPECT_EQ(m.Action, 2);
  EXPECT_EQ(m.Variation, 1);
  EXPECT_EQ(m.Value, 8);
  EXPECT_FALSE(m.ZoomAtCursor);
}

class PaletteDialog : public testing::Test {
 protected:
  PaletteDialog() {
    for (int32_t i = 0; i < 256; ++i) palette[i] = TIERGB{static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i)};
    dialog = new TZodazUrPaletteDialog(nullptr);
    dialog->SetPalette(palette, 256);
  }
  ~PaletteDialog() override { delete dialog; }
  // Runs the dialog with the steps done by a timer once it shows.
  bool Run(std::function<void()> steps) {
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject*) {
      timer.SetEnabled(false);
      steps();
    });
    return dialog->Execute();
  }
  TIERGB palette[256];
  TZodazUrPaletteDialog* dialog;
};

TEST_F(PaletteDialog, BuiltInCode) {
  EXPECT_EQ(dialog->Caption(), "Palette");
  EXPECT_EQ(dialog->Width(), 520);
  EXPECT_EQ(dialog->Height(), 199);
  EXPECT_EQ(dialog->CancelButton()->Caption(), "&Cancel");
  EXPECT_EQ(dialog->CancelButton()->Left(), 4);
  EXPECT_EQ(dialog->CancelButton()->Top(), 136);
  EXPECT_EQ(dialog->CurrentIndex(), -1);
}

TEST_F(PaletteDialog, IndexArithmetic) {
  struct Case {
    int32_t x, y, index;
  } cases[] = {
      {1, 1, 0},    {16, 16, 0},  {17, 1, 1},    {512, 1, 31}, {1, 17, 32},   {512, 128, 255},
      {513, 1, -1},  // right of the 32 columns: nothing, not the next row's first cell
      {517, 1, -1}, {0, 5, -1},   {5, 0, -1},    {1, 129, -1},  // below the last row
  };
  for (const auto& c : cases) EXPECT_EQ(dialog->IndexAt(c.x, c.y), c.index) << c.x << "," << c.y;
  dialog->SetPalette(palette, 40);
  EXPECT_EQ(dialog->IndexAt(8 * 16 + 1, 17), 40 == 40 ? -1 : 40);  // entry 40 does not exist
  EXPECT_EQ(dialog->IndexAt(7 * 16 + 1, 17), 39);
}

TEST_F(PaletteDialog, HoverRepaintsAndAClickReturnsTheColour) {
  dialog->SetSelectedColor(clGreen);
  bool framed = false, kept = false;
  const bool ok = Run([&] {
    testsupport::MouseMove(dialog, 3 * 16 + 5, 16 + 5);  // entry 35
    kept = dialog->CurrentIndex() == 35;
    testsupport::MouseMove(dialog, 517, 5);  // right of the columns: entry 35 stays current
    kept = kept && dialog->CurrentIndex() == 35;
    TBitmap shot;
    shot.SetPixelFormat(pf24bit);
    shot.SetSize(dialog->ClientWidth(), dialog->ClientHeight());
    dialog->PaintTo(shot.Canvas(), 0, 0);
    // The frame of the current cell is black, that of its neighbour white.
    const uint8_t* row = shot.ScanLine(16 + 1);
    framed = row[3 * (3 * 16 + 8)] == 0 && row[3 * (4 * 16 + 8)] == 255;
    testsupport::MouseClick(dialog, 3 * 16 + 5, 16 + 5);
  });
  EXPECT_TRUE(ok);
  EXPECT_TRUE(kept);
  EXPECT_TRUE(framed);
  EXPECT_EQ(dialog->SelectedColor(), RGBToTColor(palette[35]));
}

TEST_F(PaletteDialog, CancelAndEscapeLeaveTheSelectedColour) {
  dialog->SetSelectedColor(clGreen);
  EXPECT_FALSE(Run([&] {
    testsupport::MouseMove(dialog, 5, 5);
    testsupport::MouseClick(dialog->CancelButton(), 5, 5);
  }));
  EXPECT_EQ(dialog->SelectedColor(), clGreen);
  EXPECT_FALSE(Run([&] {
    testsupport::MouseMove(dialog, 5, 5);
    testsupport::KeyPress(dialog, VK_ESCAPE);
  }));
  EXPECT_EQ(dialog->SelectedColor(), clGreen);
  // A click before the pointer rested on a cell keeps the dialog open.
  dialog->SetPalette(palette, 256);
  bool open = false;
  EXPECT_FALSE(Run([&] {
    testsupport::MouseClick(dialog, 600, 5);
    open = dialog->Showing();
    dialog->Close();
  }));
  EXPECT_TRUE(open);
}

}  // namespace
