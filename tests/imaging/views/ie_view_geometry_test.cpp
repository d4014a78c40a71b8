// The single-image view's coordinate model: maximum origin with its slack rule, centring, the
// tables of the four conversions, zoom about the centre, the fit zoom and the zoom clamp. Expected
// values are worked out by hand from the rules, at zooms exact in binary.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/views/ie_view_geometry.h"

namespace {

TIEViewGeometry Geo(int32_t bw, int32_t bh, int32_t vw, int32_t vh, int32_t W, int32_t H, double zoom, int32_t vx = 0,
                    int32_t vy = 0) {
  TIEViewGeometry g;
  g.BitmapWidth = bw;
  g.BitmapHeight = bh;
  g.ViewWidth = vw;
  g.ViewHeight = vh;
  g.ControlWidth = W;
  g.ControlHeight = H;
  g.SetZoomValues(zoom, zoom);
  g.ViewX = vx;
  g.ViewY = vy;
  return g;
}

// What the view does after a change: extents, then the visible rectangle and the tables, twice so
// that the visible rectangle sees the snapped origin.
void Settle(TIEViewGeometry& g) {
  g.ComputeViewExtents();
  for (int i = 0; i < 2; ++i) {
    g.ComputeVisibleBitmapRect();
    g.BuildCoordinateTables();
  }
}

TEST(ViewGeometry, MaximumOriginAndTheTenPixelSlack) {
  struct Case {
    const char* name;
    int32_t bw, bh, vw, vh, W, H;
    double zoom;
    int32_t maxX, maxY;
  } cases[] = {
      {"larger both ways: one more column and row", 100, 80, 50, 50, 50, 50, 100, 51, 31},
      {"within the slack: no extra column", 55, 40, 50, 50, 50, 50, 100, 5, 0},
      {"fits the control both ways", 55, 40, 50, 50, 60, 60, 100, 0, 0},
      {"wide only", 200, 40, 50, 50, 54, 54, 100, 151, 0},
      {"zoom 200", 100, 80, 50, 50, 50, 50, 200, 152, 112},
      {"zoom 50 smaller than the view", 60, 40, 50, 50, 50, 50, 50, 0, 0},
      {"empty bitmap", 0, 0, 50, 50, 50, 50, 100, 0, 0},
  };
  for (const Case& c : cases) {
    TIEViewGeometry g = Geo(c.bw, c.bh, c.vw, c.vh, c.W, c.H, c.zoom);
    Settle(g);
    int32_t mx = -1, my = -1;
    g.GetMaxViewXY(mx, my);
    EXPECT_EQ(mx, c.maxX) << c.name;
    EXPECT_EQ(my, c.maxY) << c.name;
  }
}

TEST(ViewGeometry, OriginIsClampedToTheMaximum) {
  TIEViewGeometry g = Geo(100, 80, 50, 50, 50, 50, 100, -5, -5);
  Settle(g);
  EXPECT_TRUE(g.ClampView());
  EXPECT_EQ(g.ViewX, 0);
  EXPECT_EQ(g.ViewY, 0);
  g.ViewX = g.ViewY = 1000;
  g.ClampView();
  EXPECT_EQ(g.ViewX, 51);
  EXPECT_EQ(g.ViewY, 31);
  EXPECT_FALSE(g.ClampView());
}

TEST(ViewGeometry, ExtentsCentreASmallerImage) {
  TIEViewGeometry g = Geo(60, 40, 50, 50, 50, 50, 50);
  Settle(g);
  EXPECT_EQ(g.ZoomedWidth, 30);
  EXPECT_EQ(g.ZoomedHeight, 20);
  EXPECT_EQ(g.ExtentX, 30);
  EXPECT_EQ(g.OffsetX, 10);
  EXPECT_EQ(g.OffsetY, 15);
  EXPECT_EQ(g.VisibleBitmapWidth, 60);
  EXPECT_EQ(g.DrawWidth, 30);
  g.Center = false;
  g.ComputeViewExtents();
  EXPECT_EQ(g.OffsetX, 0);
  EXPECT_EQ(g.OffsetY, 0);
}

TEST(ViewGeometry, Conversions) {
  enum Kind { C2BX, C2BY, B2CX };
  struct Case {
    const char* name;
    int32_t bw, bh;
    double zoom;
    int32_t vx;
    Kind kind;
    int32_t in, out;
  } cases[] = {
      {"100%: table", 100, 80, 100, 0, C2BX, 10, 10},
      {"100%: left of the view, formula", 100, 80, 100, 0, C2BX, -3, -3},
      {"100%: past the drawn area, formula", 100, 80, 100, 0, C2BX, 60, 60},
      {"100%: bitmap to client", 100, 80, 100, 0, B2CX, 10, 10},
      {"200%: origin snaps to a pixel boundary", 100, 80, 200, 3, C2BX, 0, 1},
      {"200%: next client column, same pixel", 100, 80, 200, 3, C2BX, 1, 1},
      {"200%: third client column", 100, 80, 200, 3, C2BX, 2, 2},
      {"200%: first visible pixel at client 0", 100, 80, 200, 3, B2CX, 1, 0},
      {"200%: two pixels on", 100, 80, 200, 3, B2CX, 3, 4},
      {"200%: outside the table, formula", 100, 80, 200, 3, B2CX, 40, 78},
      {"50% centred: first drawn column", 60, 40, 50, 0, C2BX, 10, 0},
      {"50% centred: every other column", 60, 40, 50, 0, C2BX, 15, 10},
      {"50% centred: last drawn column", 60, 40, 50, 0, C2BX, 39, 58},
      {"50% centred: right of the image", 60, 40, 50, 0, C2BX, 40, 60},
      {"50% centred: left of the image (toward zero)", 60, 40, 50, 0, C2BX, 5, -10},
      {"50% centred: rows", 60, 40, 50, 0, C2BY, 16, 2},
      {"50% centred: bitmap to client", 60, 40, 50, 0, B2CX, 10, 15},
      {"50% centred: the odd column shares it", 60, 40, 50, 0, B2CX, 11, 15},
  };
  for (const Case& c : cases) {
    TIEViewGeometry g = Geo(c.bw, c.bh, 50, 50, 50, 50, c.zoom, c.vx);
    Settle(g);
    const int32_t got = c.kind == C2BX ? g.ClientToBitmapX(c.in) : c.kind == C2BY ? g.ClientToBitmapY(c.in)
                                                                                  : g.BitmapToClientX(c.in);
    EXPECT_EQ(got, c.out) << c.name;
  }
}

TEST(ViewGeometry, ZoomInDrawsFromAPixelBoundary) {
  TIEViewGeometry g = Geo(100, 80, 50, 50, 50, 50, 200, 3);
  Settle(g);
  EXPECT_EQ(g.SnapX(3), 2);
  EXPECT_EQ(g.SnapX(-4), 0);
  EXPECT_EQ(g.VisibleBitmapX, 1);
  EXPECT_EQ(g.VisibleBitmapWidth, 25);
  EXPECT_EQ(g.DrawWidth, 50);
  EXPECT_EQ(g.ClientToBitmapX(g.OffsetX), g.VisibleBitmapX);
  EXPECT_EQ(g.ClientToBitmapX(g.OffsetX + 1), g.VisibleBitmapX);
}

TEST(ViewGeometry, ApplyZoomKeepsTheCentre) {
  struct Case {
    double from;
    int32_t vx, vy;
    double to;
    int32_t wantX, wantY;
  } cases[] = {
      {100, 20, 10, 200, 65, 45},  // centre pixel (45, 35) lands at the centre again
      {100, 0, 0, 25, 0, 0},       // the candidate origin is negative: clamped
  };
  for (const Case& c : cases) {
    TIEViewGeometry g = Geo(100, 80, 50, 50, 50, 50, c.from, c.vx, c.vy);
    Settle(g);
    g.ApplyZoom(c.to);
    EXPECT_EQ(g.ZoomX, c.to);
    EXPECT_EQ(g.ZoomYInverse, 100 / c.to);
    EXPECT_EQ(g.ViewX, c.wantX) << c.to;
    EXPECT_EQ(g.ViewY, c.wantY) << c.to;
  }
}

TEST(ViewGeometry, FitZoomIsTheSmallerAxis) {
  TIEViewGeometry g = Geo(200, 100, 100, 50, 104, 54, 100);
  EXPECT_EQ(g.GetFitZoom(2, 2), 50);
  EXPECT_EQ(g.GetFitZoom(0, 0), 52);
  g.BitmapWidth = 0;
  EXPECT_EQ(g.GetFitZoom(0, 0), 0);
}

TEST(ViewGeometry, FitMarginsPerStyleAndFrame) {
  struct Case {
    TIEBackgroundStyle style;
    bool border, ctl3d;
    int32_t mx, my;
  } cases[] = {{iebsCropped, false, false, 2, 3}, {iebsCropShadow, true, true, 5, 5}, {iebsSoftShadow, true, true, 9, 9},
               {iebsSolid, true, true, 2, 3},     {iebsChessboard, true, false, 1, 4}, {iebsSolid, false, true, 0, 0}};
  for (const Case& c : cases) {
    int32_t mx = -1, my = -1;
    GetFitMargins(c.style, c.border, c.ctl3d, 2, 3, 1, 4, mx, my);
    EXPECT_EQ(mx, c.mx) << int(c.style) << c.border << c.ctl3d;
    EXPECT_EQ(my, c.my) << int(c.style) << c.border << c.ctl3d;
  }
}

TEST(ViewGeometry, AutomaticZoom) {
  struct Case {
    const char* name;
    int32_t bw, bh;
    bool fit, stretch, shrink;
    double want;
  } cases[] = {
      {"1 x 1 keeps 100 with AutoFit", 1, 1, true, false, false, 100},
      {"larger, AutoFit", 200, 100, true, false, false, 50},
      {"larger, AutoShrink", 200, 100, false, false, true, 50},
      {"larger, AutoStretch only", 200, 100, false, true, false, 100},
      {"smaller, AutoStretch", 20, 10, false, true, false, 500},
      {"smaller, AutoShrink only", 20, 10, false, false, true, 100},
      {"taller than wide: the vertical axis decides", 40, 60, false, false, true, 5000.0 / 60},
      {"empty", 0, 0, true, false, false, 100},
      {"a fit below 1 % is raised to 1", 100000, 10, true, false, false, 1},
  };
  for (const Case& c : cases) {
    // View 100 x 50 inside a control of 104 x 54 (a two-pixel edge): margins (2, 2); the fit
    // zoom measures the control less the margins, 100 x 50.
    TIEViewGeometry g = Geo(c.bw, c.bh, 100, 50, 104, 54, 100);
    const double fit = g.GetFitZoom(2, 2);
    EXPECT_DOUBLE_EQ(g.AutoZoom(c.fit, c.stretch, c.shrink, 2, 2, fit), c.want) << c.name;
  }
}

TEST(ViewGeometry, ZoomIsClampedAndBadValuesIgnored) {
  TIEViewGeometry g = Geo(1000, 10, 50, 50, 50, 50, 100);
  double z = 1e9;
  ASSERT_TRUE(g.ClampZoom(z));
  EXPECT_DOUBLE_EQ(z, 1677721.6);
  g.SetZoomValues(z, z);
  g.ComputeViewExtents();
  EXPECT_LE(g.ZoomedWidth, IEMaxZoomedSize);
  EXPECT_GT(g.ZoomedWidth, IEMaxZoomedSize - 2);
  for (double bad : {0.0, -5.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
    double v = bad;
    EXPECT_FALSE(g.ClampZoom(v)) << bad;
  }
  double ordinary = 400;
  ASSERT_TRUE(g.ClampZoom(ordinary));
  EXPECT_EQ(ordinary, 400);
}

TEST(ViewGeometry, TablesAreRebuiltOnlyWhenAZoomOrASizeChanges) {
  TIEViewGeometry g = Geo(100, 80, 50, 50, 50, 50, 200, 3);
  Settle(g);
  const int32_t builds = g.TableBuilds;
  EXPECT_EQ(builds, 1);
  g.ViewX = 40;
  g.ComputeVisibleBitmapRect();
  EXPECT_FALSE(g.BuildCoordinateTables());
  EXPECT_EQ(g.ClientToBitmapX(0), 20);  // the cursors follow the origin without a rebuild
  g.SetZoomValues(400, 400);
  Settle(g);
  EXPECT_EQ(g.TableBuilds, builds + 1);
  g.BitmapWidth = 0;
  Settle(g);
  // No tables: the formula, from the centred offset 25, toward zero at 400 %.
  EXPECT_EQ(g.OffsetX, 25);
  EXPECT_EQ(g.ClientToBitmapX(33), 2);
  EXPECT_EQ(g.ClientToBitmapX(7), -4);
}

}  // namespace
