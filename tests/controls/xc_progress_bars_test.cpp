#include "controls/xc_progress_bars.h"

#include <gtest/gtest.h>

#include "platform/ui/forms.h"
#include "platform/ui/system_metrics.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"

namespace {

using testsupport::At;

using ProgressTest = testsupport::FormTest;

// The bar painted alone onto a bitmap first filled with a colour.
std::unique_ptr<TBitmap> Picture(TXcBaseProgressBar* bar, TColor under = clBlack) {
  auto p = std::make_unique<TBitmap>(bar->Width(), bar->Height());
  p->Canvas()->Brush()->SetColor(under);
  p->Canvas()->FillRect(Rect(0, 0, bar->Width(), bar->Height()));
  bar->Perform(WM_PAINT, reinterpret_cast<WPARAM>(p->Canvas()->Handle()), 0);
  return p;
}

TEST_F(ProgressTest, TheRangeAndThePositionKeepTheirOrder) {
  auto* bar = new TXcXPProgressBar(form);
  int changes = 0;
  bar->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(bar->Width(), 150);
  EXPECT_EQ(bar->Height(), GetSystemMetrics(SM_CYVSCROLL));
  EXPECT_EQ(bar->Step(), 7);
  bar->SetMax(10);
  bar->SetPosition(7);
  bar->SetMax(5);
  EXPECT_EQ(bar->Position(), 5);
  bar->SetMin(8);
  EXPECT_EQ(bar->Min(), 5);
  EXPECT_EQ(bar->Position(), 5);
  EXPECT_EQ(changes, 4);

  bar->SetMin(0);
  bar->SetMax(10);
  bar->SetPosition(2);
  bar->SetMin(6);
  EXPECT_EQ(bar->Position(), 6);
  bar->SetPosition(99);
  EXPECT_EQ(bar->Position(), 10);
  bar->SetMax(-3);  // below Min: raised to it
  EXPECT_EQ(bar->Max(), 6);
  EXPECT_EQ(bar->Position(), 6);

  bar->SetMax(100);
  bar->SetStep(0);
  EXPECT_EQ(bar->Step(), 1);
  bar->StepIt();
  EXPECT_EQ(bar->Position(), 7);
  bar->StepBy(1000);
  EXPECT_EQ(bar->Position(), 100);
  bar->StepBy(-1000);
  EXPECT_EQ(bar->Position(), 6);
  bar->SetMin(INT32_MIN);
  bar->SetMax(INT32_MAX);
  bar->SetPosition(0);
  EXPECT_EQ(bar->FilledLength(), 75);
  bar->StepBy(INT32_MAX);
  EXPECT_EQ(bar->Position(), INT32_MAX);
}

TEST_F(ProgressTest, WithMaxEqualToMinNothingIsPainted) {
  auto* bar = new TXcXPProgressBar(form);
  bar->SetParent(form);
  bar->SetMax(0);
  auto p = Picture(bar, clRed);
  for (auto [x, y] : {std::pair{0, 0}, {75, 8}, {149, 15}}) EXPECT_EQ(At(*p, x, y), ColorToRGB(clRed));
}

TEST_F(ProgressTest, HalfABarOf150PixelsHasBlocksSixWideEveryEightFromFour) {
  form->SetColor(static_cast<TColor>(RGB(10, 20, 30)));
  auto* bar = new TXcXPProgressBar(form);
  bar->SetParent(form);
  bar->SetBounds(0, 0, 150, 17);
  bar->SetPosition(50);
  auto p = Picture(bar);
  const int y = 5;
  const COLORREF trough = ColorToRGB(clWindow);
  // MulDiv(150, 50, 100) = 75: blocks while more than 2 pixels are left, 8 at a time: 10 blocks.
  for (int k = 0; k < 10; ++k) {
    const int left = 4 + 8 * k;
    for (int x = left; x < left + 6; ++x) EXPECT_NE(At(*p, x, y), trough) << x;
    EXPECT_EQ(At(*p, left + 6, y), trough) << k;
    EXPECT_EQ(At(*p, left + 7, y), trough) << k;
  }
  EXPECT_EQ(At(*p, 84, y), trough);
  EXPECT_EQ(At(*p, 120, y), trough);
  // The tube: light at the top of a block, the bar colour in the middle, light again at its bottom.
  EXPECT_EQ(At(*p, 5, 3), RGB(0xAD, 0xEF, 0xAD));
  EXPECT_EQ(At(*p, 5, 8), RGB(0x29, 0xD3, 0x31));
  EXPECT_EQ(At(*p, 5, 13), RGB(0xAD, 0xEF, 0xAD));

  // The trough: outer grey, dark grey and light grey lines, later over earlier.
  const COLORREF outer = RGB(0xBE, 0xBE, 0xBE), dark = RGB(0x68, 0x68, 0x68), light = RGB(0xEF, 0xEF, 0xEF);
  const int h = 17, w = 150;
  EXPECT_EQ(At(*p, 0, 1), outer);
  EXPECT_EQ(At(*p, 0, 2), dark);
  EXPECT_EQ(At(*p, 0, h - 3), dark);
  EXPECT_EQ(At(*p, 0, h - 2), outer);
  EXPECT_EQ(At(*p, 1, 0), outer);
  EXPECT_EQ(At(*p, 1, 1), dark);
  EXPECT_EQ(At(*p, 1, 2), outer);
  EXPECT_EQ(At(*p, 2, 0), dark);
  EXPECT_EQ(At(*p, 2, 2), outer);
  EXPECT_EQ(At(*p, 2, 3), light);
  EXPECT_EQ(At(*p, 50, 0), dark);
  EXPECT_EQ(At(*p, 50, 1), outer);
  EXPECT_EQ(At(*p, 100, 2), light);
  EXPECT_EQ(At(*p, 100, h - 1), dark);
  EXPECT_EQ(At(*p, 100, h - 2), light);
  EXPECT_EQ(At(*p, w - 1, 1), outer);
  EXPECT_EQ(At(*p, w - 3, 3), light);
  // The corners in the parent's colour.
  for (auto [x, y2] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
    EXPECT_EQ(At(*p, x, y2), RGB(10, 20, 30)) << x << "," << y2;
}

TEST_F(ProgressTest, SmallBlockSizesAndOtherLooksEndAndStayInside) {
  auto* bar = new TXcXPProgressBar(form);
  bar->SetParent(form);
  bar->SetBounds(0, 0, 150, 17);
  bar->SetPosition(100);
  for (int size : {2, 1, 0, -5, 3, 4}) {
    bar->SetBlockSize(size);
    auto p = Picture(bar, clRed);
    EXPECT_EQ(At(*p, 75, 0), RGB(0x68, 0x68, 0x68)) << size;  // the trough, and no hang
  }
  bar->SetBlockSize(10);
  bar->SetSmooth(true);
  auto p = Picture(bar);
  EXPECT_EQ(At(*p, 145, 8), RGB(0x29, 0xD3, 0x31));  // full: up to W - 3
  EXPECT_NE(At(*p, 147, 8), RGB(0x29, 0xD3, 0x31));
  bar->SetOrientation(pbVertical);
  bar->SetBounds(0, 0, 17, 100);
  bar->SetPosition(50);
  p = Picture(bar);
  EXPECT_EQ(At(*p, 8, 96), RGB(0x29, 0xD3, 0x31));  // from the bottom up
  EXPECT_EQ(At(*p, 8, 10), ColorToRGB(clWindow));
  bar->SetSmooth(false);
  Picture(bar);
  bar->SetBounds(0, 0, 0, 0);
  Picture(bar);

  // The plain bar.
  auto* plain = new TXcBaseProgressBar(form);
  plain->SetParent(form);
  plain->SetBounds(0, 30, 100, 16);
  plain->SetBarColor(clRed);
  plain->SetPosition(50);
  p = Picture(plain);
  EXPECT_EQ(At(*p, 5, 8), ColorToRGB(clRed));
  EXPECT_NE(At(*p, 90, 8), ColorToRGB(clRed));
  plain->SetSmooth(true);
  p = Picture(plain);
  EXPECT_EQ(At(*p, 40, 8), ColorToRGB(clRed));
  EXPECT_NE(At(*p, 60, 8), ColorToRGB(clRed));
  plain->SetOrientation(pbVertical);
  Picture(plain);
  plain->SetSmooth(false);
  Picture(plain);
}

}  // namespace
