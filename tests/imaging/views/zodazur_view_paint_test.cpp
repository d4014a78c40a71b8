// The single-image view's paint road on a shown window: an image of solid blocks at 100 %, at the
// fit zoom and at 400 % with the pixel grid, read back from the window; repaints that only copy;
// the paint lock; the delayed zoom filter; the version text; the conversion tables kept while
// scrolling.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/views/zodazur_view.h"
#include "platform/ui/forms.h"
#include "platform/ui/timers.h"
#include "platform/ui/window_dc.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

// COLORREF values as the window reports them (0x00BBGGRR).
constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kYellow = 0x00FFFF, kWhite = 0xFFFFFF,
                   kCyan = 0xFFFF00;

class ViewPaintTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 400, 400);
    v = new TZodazUrView(form);
    v->SetParent(form);
    v->SetBorderStyle(bsNone);
    v->SetScrollBars(ssNone);
    v->SetBounds(0, 0, 100, 100);
    v->SetBackground(clWhite);
    // 40 x 30 in four blocks: red, green / blue, yellow.
    TIEBitmap* b = v->IEBitmap();
    b->Allocate(40, 30, ie24RGB);
    b->FillRect(0, 0, 19, 14, static_cast<double>(clRed));
    b->FillRect(20, 0, 39, 14, static_cast<double>(clLime));
    b->FillRect(0, 15, 19, 29, static_cast<double>(clBlue));
    b->FillRect(20, 15, 39, 29, static_cast<double>(clYellow));
    v->Update();
    PaintNow();
  }
  void PaintNow() {
    v->Invalidate();
    UpdateWindow(v->Handle());
  }
  uint32_t At(int x, int y) { return testsupport::WindowPixel(v, x, y); }
  TZodazUrView* v = nullptr;
};

TEST_F(ViewPaintTest, BlocksAtOneHundredPercentAreCentred) {
  // Offsets (100 - 40) / 2 = 30 and (100 - 30) / 2 = 35.
  EXPECT_EQ(v->OffsetX(), 30);
  EXPECT_EQ(v->OffsetY(), 35);
  EXPECT_EQ(At(35, 40), kRed);
  EXPECT_EQ(At(65, 40), kGreen);
  EXPECT_EQ(At(35, 60), kBlue);
  EXPECT_EQ(At(65, 60), kYellow);
  EXPECT_EQ(At(30, 35), kRed);     // the first image pixel
  EXPECT_EQ(At(69, 64), kYellow);  // the last
  EXPECT_EQ(At(29, 50), kWhite);
  EXPECT_EQ(At(70, 50), kWhite);
  EXPECT_EQ(At(5, 5), kWhite);
  EXPECT_EQ(At(95, 95), kWhite);
}

TEST_F(ViewPaintTest, BlocksAtTheFitZoom) {
  v->Fit();
  PaintNow();
  // min(100 / 0.4, 100 / 0.3) = 250: the image is 100 x 75 at (0, 12).
  EXPECT_EQ(v->ZoomX(), 250);
  EXPECT_EQ(v->OffsetY(), 12);
  EXPECT_EQ(At(10, 20), kRed);
  EXPECT_EQ(At(90, 20), kGreen);
  EXPECT_EQ(At(10, 80), kBlue);
  EXPECT_EQ(At(90, 80), kYellow);
  EXPECT_EQ(At(48, 20), kRed);    // bitmap column 19 ends at client 49
  EXPECT_EQ(At(51, 20), kGreen);  // column 20 starts at 50
  EXPECT_EQ(At(50, 5), kWhite);
  EXPECT_EQ(At(50, 95), kWhite);
}

TEST_F(ViewPaintTest, PixelGridFromFourHundredPercent) {
  v->SetDisplayGrid(true);
  v->SetZoom(399);
  PaintNow();
  // 399 %: no grid, every pixel of the first cells red.
  for (int x = 0; x < 12; ++x) EXPECT_EQ(At(x, 2), kRed) << x;
  v->SetZoom(400);
  PaintNow();
  // Lines every 4 pixels, inverted: red becomes cyan on them.
  EXPECT_EQ(At(2, 2), kRed);
  EXPECT_EQ(At(6, 6), kRed);
  EXPECT_EQ(At(4, 2), kCyan);
  EXPECT_EQ(At(8, 2), kCyan);
  EXPECT_EQ(At(2, 4), kCyan);
  v->SetDisplayGrid(false);
  v->Update();
  PaintNow();
  EXPECT_EQ(At(4, 2), kRed);
}

TEST_F(ViewPaintTest, AnUnchangedRepaintIsOneCopy) {
  const int32_t renders = v->RenderCount(), blits = v->BlitCount();
  PaintNow();
  EXPECT_EQ(v->RenderCount(), renders);
  EXPECT_EQ(v->BlitCount(), blits + 1);
  v->Update();
  PaintNow();
  EXPECT_EQ(v->RenderCount(), renders + 1);
}

TEST_F(ViewPaintTest, APaintLockKeepsTheOldPicture) {
  v->LockPaint();
  v->IEBitmap()->Fill(static_cast<double>(clBlue));
  v->Update();
  PaintNow();
  EXPECT_EQ(At(35, 40), kRed);
  v->UnlockPaint();
  Application->ProcessMessages();
  PaintNow();
  EXPECT_EQ(At(35, 40), kBlue);
}

TEST_F(ViewPaintTest, DelayedZoomFilterComesAfterTheTicks) {
  v->SetZoomFilter(rfFastLinear);
  v->SetDelayZoomFilter(true);
  v->SetZoom(150);  // from 100 %: no delay
  EXPECT_EQ(v->ZoomFilterDelayCount(), 0);
  v->SetZoom(250);
  ASSERT_GT(v->ZoomFilterDelayCount(), 0);
  // Drawn so far without the filter: a row across the red/green edge is red and green only.
  auto mixed = [&] {
    int n = 0;
    TIEBitmap* bb = v->BackBuffer();
    for (int x = 0; x < bb->Width(); ++x) {
      const TIERGB p = bb->GetPixel24(x, 20);
      const bool pure = (p.r == 255 && p.g == 0) || (p.r == 0 && p.g == 255) || (p.r == 255 && p.g == 255);
      if (!pure) ++n;
    }
    return n;
  };
  EXPECT_EQ(mixed(), 0);
  while (v->ZoomFilterDelayCount() > 0) v->DrawSelection(v->SelectionTimer(), true);
  PaintNow();
  EXPECT_GT(mixed(), 0);
}

TEST_F(ViewPaintTest, VersionText) {
  auto blackIn = [&] {
    int n = 0;
    for (int y = 85; y < 100; ++y)
      for (int x = 0; x < 100; ++x) {
        // Dark pixels of the (smoothed) text.
        const uint32_t p = At(x, y);
        n += (p & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && ((p >> 16) & 0xFF) < 100 ? 1 : 0;
      }
    return n;
  };
  EXPECT_EQ(blackIn(), 0);
  v->SetDrawVersion(true);
  EXPECT_GT(blackIn(), 0);
  EXPECT_EQ(At(99, 80), kWhite);
}

TEST_F(ViewPaintTest, TablesAreBuiltAgainOnlyForANewZoomOrSize) {
  v->IEBitmap()->Allocate(400, 400, ie24RGB);
  v->Update();
  v->SetZoom(200);
  PaintNow();
  const int32_t builds = v->CoordinateTableBuilds();
  for (int i = 1; i <= 5; ++i) v->SetViewXY(37 * i, 23 * i);
  PaintNow();
  EXPECT_EQ(v->CoordinateTableBuilds(), builds);
  v->SetZoom(300);
  EXPECT_GT(v->CoordinateTableBuilds(), builds);
  const int32_t after = v->CoordinateTableBuilds();
  v->SetBounds(0, 0, 120, 100);
  PaintNow();
  EXPECT_GT(v->CoordinateTableBuilds(), after);
}

TEST_F(ViewPaintTest, BackgroundHandlerMayTakeThePainting) {
  bool called = false;
  v->OnDrawBackground = [&](TObject*, TCanvas* c, const TRect& r, bool& handled) {
    called = true;
    c->Brush()->SetColor(clBlack);
    c->FillRect(r);
    handled = true;
  };
  v->Update();
  PaintNow();
  EXPECT_TRUE(called);
  EXPECT_EQ(At(5, 5), 0u);
  EXPECT_EQ(At(35, 40), kRed);
}

TEST_F(ViewPaintTest, AMisSizedAlphaChannelDrawsNothingNew) {
  v->IEBitmap()->GetAlphaChannel()->Allocate(3, 3, ie8g);
  v->IEBitmap()->Fill(static_cast<double>(clBlue));
  v->SetBackBufferInvalid(true);
  PaintNow();
  EXPECT_EQ(At(35, 40), kRed);  // the buffer keeps its former content
}


// A repaint of part of the window copies that part of the buffer to the same place, and nothing
// else, by either copying road: the window is blackened first, then a rectangle across the image's
// corner is repainted.
TEST_F(ViewPaintTest, APartialRepaintCopiesItsRectangleInPlace) {
  for (bool drawDib : {false, true}) {
    v->UseDrawDib = drawDib;
    PaintNow();
    HDC dc = GetDC(v->Handle());
    ASSERT_NE(dc, nullptr);
    PatBlt(dc, 0, 0, 100, 100, BLACKNESS);
    ReleaseDC(v->Handle(), dc);
    const int32_t blits = v->BlitCount();
    const TRect part{25, 31, 61, 47};
    InvalidateRect(v->Handle(), &part, false);
    UpdateWindow(v->Handle());
    EXPECT_EQ(v->BlitCount(), blits + 1);
    const std::vector<uint32_t> shown = testsupport::WindowPixels(v, 0, 0, 100, 100);
    auto at = [&](int x, int y) { return shown[static_cast<size_t>(y) * 100 + static_cast<size_t>(x)]; };
    // The image lies at (30, 35): red to column 49 and row 49, green from column 50.
    struct Point {
      int x, y;
      uint32_t colour;
    } points[] = {{25, 31, kWhite}, {29, 46, kWhite}, {30, 35, kRed}, {49, 46, kRed}, {50, 35, kGreen},
                  {60, 46, kGreen}, {30, 34, kWhite}, {24, 40, 0u},     {61, 40, 0u},    {40, 30, 0u},
                  {40, 47, 0u},     {35, 60, 0u}};
    for (const Point& p : points) EXPECT_EQ(at(p.x, p.y), p.colour) << drawDib << " at " << p.x << ", " << p.y;
  }
}

// The background under an opaque image is left to the image: where an image that has shrunk no
// longer lies, the background shows again, and right up to the new image's edges.
TEST_F(ViewPaintTest, TheBackgroundComesBackWhereTheImageNoLongerLies) {
  v->SetBackground(clBlack);
  TIEBitmap* b = v->IEBitmap();
  b->Allocate(10, 8, ie24RGB);
  b->Fill(static_cast<double>(clRed));
  v->Update();
  PaintNow();
  // 10 x 8 at (45, 46).
  const std::vector<uint32_t> shown = testsupport::WindowPixels(v, 0, 0, 100, 100);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const bool image = x >= 45 && x < 55 && y >= 46 && y < 54;
      ASSERT_EQ(shown[static_cast<size_t>(y) * 100 + static_cast<size_t>(x)], image ? kRed : 0u) << x << ", " << y;
    }
}

}  // namespace
