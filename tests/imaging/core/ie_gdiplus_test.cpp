// The engine's antialiased canvas: the GDI+ path and the plain path, coverage and bounds.
#include <gtest/gtest.h>

#include "imaging/core/ie_gdiplus.h"
#include "platform/gdi/bitmap.h"

namespace {

std::unique_ptr<TBitmap> White(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect({0, 0, w, h});
  return b;
}

// Pixels that differ from white inside and outside a rectangle.
struct Coverage {
  int inside = 0;
  int outside = 0;
  int total = 0;
};
Coverage CoverageOf(TBitmap& b, const TRect& r) {
  Coverage c;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Canvas()->Pixels(x, y) != clWhite) {
        ++c.total;
        (PtInRect(r, {x, y}) ? c.inside : c.outside)++;
      }
  return c;
}

// GDI+ acquired for the length of a test, as an image view holds it.
class GdiPlusScope {
 public:
  GdiPlusScope() { AcquireGDIPlus(); }
  ~GdiPlusScope() { ReleaseGDIPlus(); }
};

}  // namespace

TEST(IECanvasTest, UseCountLoadsAndUnloads) {
  ASSERT_EQ(GDIPlusUseCount(), 0);
  EXPECT_FALSE(IsGDIPlusLoaded());
  AcquireGDIPlus();
  AcquireGDIPlus();  // two views
  EXPECT_TRUE(IsGDIPlusAvailable());
  ReleaseGDIPlus();  // one destroyed: still loaded
  EXPECT_TRUE(IsGDIPlusLoaded());
  ReleaseGDIPlus();
  EXPECT_FALSE(IsGDIPlusLoaded());
  EXPECT_EQ(GDIPlusUseCount(), 0);
  // Switched off, acquiring loads nothing.
  SetIEGDIPlusEnabled(false);
  AcquireGDIPlus();
  EXPECT_FALSE(IsGDIPlusAvailable());
  ReleaseGDIPlus();
  SetIEGDIPlusEnabled(true);
}

TEST(IECanvasTest, FillRectCoversTheSameAreaInBothModes) {
  for (bool gdiPlus : {false, true}) {
    for (bool antiAlias : {false, true}) {
      GdiPlusScope scope;
      auto b = White(30, 30);
      TIECanvas c(b->Canvas(), antiAlias, gdiPlus);
      EXPECT_EQ(c.UsesGDIPlus(), gdiPlus);
      c.Brush()->SetColor(clRed);
      c.FillRect({10, 10, 20, 20});
      const Coverage cov = CoverageOf(*b, {10, 10, 20, 20});
      EXPECT_EQ(cov.inside, 100) << gdiPlus << antiAlias;
      EXPECT_EQ(cov.outside, 0) << gdiPlus << antiAlias;
      EXPECT_EQ(b->Canvas()->Pixels(15, 15), clRed);
    }
  }
}

TEST(IECanvasTest, RectangleAndEllipseStayNearTheirBox) {
  GdiPlusScope scope;
  for (bool gdiPlus : {false, true}) {
    auto b = White(40, 40);
    TIECanvas c(b->Canvas(), true, gdiPlus);
    c.Pen()->SetColor(clBlack);
    c.Brush()->SetColor(clBlue);
    c.Rectangle(5, 5, 20, 20);
    c.Ellipse(22, 5, 38, 30);
    const Coverage rect = CoverageOf(*b, {4, 4, 21, 21});
    const Coverage both = CoverageOf(*b, {4, 4, 39, 31});
    EXPECT_GT(rect.inside, 200) << gdiPlus;
    EXPECT_EQ(both.outside, 0) << gdiPlus;
    EXPECT_EQ(b->Canvas()->Pixels(12, 12), clBlue) << gdiPlus;
    EXPECT_EQ(b->Canvas()->Pixels(30, 17), clBlue) << gdiPlus;
  }
}

TEST(IECanvasTest, RoundRectWithTallCornersHasNoStrayLine) {
  GdiPlusScope scope;
  for (bool gdiPlus : {false, true}) {
    auto b = White(70, 40);
    TIECanvas c(b->Canvas(), false, gdiPlus);
    c.Pen()->SetColor(clBlack);
    c.Brush()->SetStyle(bsClear);
    // Corners 28 high on a 30-pixel-high rectangle: more than two thirds of the height.
    c.RoundRect(5, 5, 65, 35, 28, 28);
    // Left of the top-left rounding, the rectangle's left edge is not drawn.
    for (int y = 7; y < 15; ++y) EXPECT_EQ(b->Canvas()->Pixels(5, y), clWhite) << gdiPlus << " " << y;
    EXPECT_NE(b->Canvas()->Pixels(35, 5), clWhite) << gdiPlus;  // the top edge is drawn
    EXPECT_NE(b->Canvas()->Pixels(5, 20), clWhite) << gdiPlus;  // the left edge is drawn
    EXPECT_EQ(b->Canvas()->Pixels(35, 20), clWhite);            // clear brush
  }
  // A corner larger than the rectangle is limited to it.
  auto b = White(40, 30);
  TIECanvas c(b->Canvas(), true, true);
  c.Brush()->SetColor(clRed);
  c.RoundRect(5, 5, 25, 15, 100, 100);
  EXPECT_EQ(CoverageOf(*b, {4, 4, 27, 17}).outside, 0);
  EXPECT_EQ(b->Canvas()->Pixels(15, 10), clRed);
}

TEST(IECanvasTest, ClearPenStyleAndBackRestoresOpaquePen) {
  GdiPlusScope scope;
  auto b = White(10, 10);
  TIECanvas c(b->Canvas(), true, true);
  c.Pen()->SetColor(clRed);
  EXPECT_EQ(c.Pen()->GetARGB(), 0xFFFF0000u);
  c.Pen()->SetStyle(psClear);
  EXPECT_EQ(c.Pen()->GetARGB() >> 24, 0u);
  c.Pen()->SetStyle(psSolid);
  EXPECT_EQ(c.Pen()->GetARGB(), 0xFFFF0000u);
  c.Pen()->SetTransparency(128);
  EXPECT_EQ(c.Pen()->GetARGB(), 0x80FF0000u);
  // The framework pen follows, with the width truncated.
  c.Pen()->SetWidth(2.7f);
  EXPECT_EQ(b->Canvas()->Pen()->Width(), 2);
  EXPECT_EQ(b->Canvas()->Pen()->Color(), clRed);
}

TEST(IECanvasTest, TransparentBrushBlends) {
  GdiPlusScope scope;
  auto b = White(20, 20);
  TIECanvas c(b->Canvas(), true, true);
  c.Brush()->SetColor(clBlack);
  c.Brush()->SetTransparency(128);
  c.FillRect({0, 0, 10, 10});
  const TColor p = b->Canvas()->Pixels(5, 5);
  EXPECT_NEAR(GetRValue(static_cast<uint32_t>(p)), 127, 2);
  // Without GDI+ the transparency is ignored.
  auto d = White(20, 20);
  TIECanvas plain(d->Canvas(), true, false);
  plain.Brush()->SetColor(clBlack);
  plain.Brush()->SetTransparency(128);
  plain.FillRect({0, 0, 10, 10});
  EXPECT_EQ(d->Canvas()->Pixels(5, 5), clBlack);
}

TEST(IECanvasTest, HatchBrushesDrawTheirPattern) {
  GdiPlusScope scope;
  auto b = White(16, 16);
  TIECanvas c(b->Canvas(), false, true);
  c.Brush()->SetColor(clRed);
  c.Brush()->SetStyle(bsHorizontal);
  c.FillRect({0, 0, 16, 16});
  // Hatch lines every eight rows, the background (alpha 0) leaves the white.
  EXPECT_EQ(b->Canvas()->Pixels(4, 3), clRed);
  EXPECT_EQ(b->Canvas()->Pixels(4, 4), clWhite);
  EXPECT_EQ(b->Canvas()->Pixels(4, 11), clRed);
}

TEST(IECanvasTest, UnavailableGdiPlusDrawsThroughTheCanvas) {
  SetIEGDIPlusEnabled(false);
  {
    GdiPlusScope scope;
    auto b = White(20, 20);
    TIECanvas c(b->Canvas(), true, true);
    EXPECT_FALSE(c.UsesGDIPlus());
    EXPECT_EQ(c.Graphics(), nullptr);
    c.Pen()->SetColor(clBlack);
    c.MoveTo(2, 2);
    c.LineTo(12, 2);
    EXPECT_EQ(b->Canvas()->Pixels(11, 2), clBlack);
    EXPECT_EQ(b->Canvas()->Pixels(12, 2), clWhite);  // the plain path leaves the end pixel
  }
  SetIEGDIPlusEnabled(true);
}

TEST(IECanvasTest, LinesAndCurrentPosition) {
  GdiPlusScope scope;
  auto b = White(30, 30);
  TIECanvas c(b->Canvas(), false, true);
  c.Pen()->SetColor(clBlack);
  c.MoveTo(2, 5);
  c.LineTo(20, 5);
  EXPECT_EQ(c.PenPos(), Point(20, 5));
  EXPECT_EQ(b->Canvas()->Pixels(10, 5), clBlack);
  c.DrawLine(2, 10, 20, 10);
  EXPECT_EQ(c.PenPos(), Point(20, 5));
  EXPECT_EQ(b->Canvas()->Pixels(10, 10), clBlack);
  const TPoint tri[3] = {{2, 15}, {20, 15}, {11, 28}};
  c.Brush()->SetColor(clLime);
  c.Polygon(tri, 2);
  EXPECT_EQ(b->Canvas()->Pixels(11, 19), clLime);
  EXPECT_EQ(CoverageOf(*b, {0, 0, 22, 30}).outside, 0);
}

TEST(IECanvasTest, ArcRunsFromTheRayTowardsTheEndPoint) {
  GdiPlusScope scope;
  auto b = White(41, 41);
  TIECanvas c(b->Canvas(), false, true);
  c.Pen()->SetColor(clBlack);
  c.Pen()->SetWidth(2);
  // Start ray towards (40, 20) (3 o'clock), end ray towards (20, 0) (12 o'clock): a quarter.
  c.Arc(0, 0, 40, 40, 40, 20, 20, 0);
  int upperRight = 0, others = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x)
      if (b->Canvas()->Pixels(x, y) != clWhite) (x >= 19 && y <= 21 ? upperRight : others)++;
  EXPECT_GT(upperRight, 20);
  EXPECT_EQ(others, 0);
}

TEST(IECanvasTest, ClippedTextStaysInItsRectangle) {
  GdiPlusScope scope;
  auto b = White(100, 30);
  TIECanvas c(b->Canvas(), true, true);
  c.Font()->SetName("DejaVu Sans");
  c.Font()->SetHeight(-14);
  b->Canvas()->Brush()->SetStyle(bsClear);
  c.ClippedTextOut({10, 0, 30, 30}, 5, 5, "Clipped words");
  EXPECT_EQ(CoverageOf(*b, {10, 0, 30, 30}).outside, 0);
  EXPECT_GT(CoverageOf(*b, {10, 0, 30, 30}).inside, 0);
  EXPECT_GT(c.TextWidth("abc"), 0);
}
