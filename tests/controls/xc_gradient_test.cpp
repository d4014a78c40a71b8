#include "controls/xc_gradient.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"

namespace {

using testsupport::At;

class GradientTest : public testsupport::FormTest {
 protected:
  TXcGradient* Make(int width, int height) {
    auto* g = new TXcGradient(form);
    g->SetAlign(alNone);
    g->SetParent(form);
    g->SetBounds(0, 0, width, height);
    return g;
  }
  static std::unique_ptr<TBitmap> Picture(TXcGradient* g) {
    auto bmp = testsupport::SolidBitmap(std::max(g->Width(), 1), std::max(g->Height(), 1), clLime);
    g->Perform(WM_PAINT, reinterpret_cast<WPARAM>(bmp->Canvas()->Handle()), 0);
    return bmp;
  }
};

TEST_F(GradientTest, BandsOfTheAboutWindowEndOneStepShortOfTheEndColour) {
  auto* g = Make(272, 174);
  g->SetStartColor(clWhite);
  g->SetEndColor(clSilver);
  auto p = Picture(g);
  // Step i is round(255 - 0.63 i); band i runs from round(2.72 i) to round(2.72 (i + 1)).
  auto step = [](int i) {
    const int c = static_cast<int>(std::nearbyint(255 - 0.63 * i));
    return RGB(c, c, c);
  };
  for (int i = 0; i < 100; ++i) {
    const int x0 = static_cast<int>(std::nearbyint(2.72 * i));
    EXPECT_EQ(At(*p, x0, 100), step(i)) << i;
    if (i > 0) {
      EXPECT_EQ(At(*p, x0 - 1, 100), step(i - 1)) << i;
    }
  }
  EXPECT_EQ(At(*p, 271, 0), RGB(193, 193, 193));
  EXPECT_EQ(At(*p, 271, 173), RGB(193, 193, 193));

  // Vertical bands the same way down; Steps 0 counts as 1 (all the start colour).
  g->SetStyle(grVertical);
  p = Picture(g);
  EXPECT_EQ(At(*p, 10, 0), RGB(255, 255, 255));
  EXPECT_EQ(At(*p, 10, 173), RGB(193, 193, 193));
  EXPECT_EQ(At(*p, 10, 85), RGB(224, 224, 224));  // band 49 starts at round(49 x 1.74) = 85: 255 - 30.87
  g->SetStyle(grHorizontal);
  g->SetSteps(0);
  p = Picture(g);
  EXPECT_EQ(At(*p, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(At(*p, 271, 173), RGB(255, 255, 255));
  g->SetStyle(grFilled);
  g->SetSteps(100);
  p = Picture(g);
  EXPECT_EQ(At(*p, 200, 100), RGB(255, 255, 255));
}

TEST_F(GradientTest, TheCacheIsRebuiltOnlyForANewSizeOrProperty) {
  auto* g = Make(50, 40);
  Picture(g);
  Picture(g);
  EXPECT_EQ(g->Rebuilds(), 1);
  g->SetEndColor(clRed);
  Picture(g);
  EXPECT_EQ(g->Rebuilds(), 2);
  g->SetEndColor(clRed);
  Picture(g);
  EXPECT_EQ(g->Rebuilds(), 2);
  g->SetBounds(0, 0, 60, 40);
  Picture(g);
  EXPECT_EQ(g->Rebuilds(), 3);
  // Nothing to draw at width 0, and no rebuild; growing again rebuilds.
  g->SetBounds(0, 0, 0, 40);
  Picture(g);
  EXPECT_EQ(g->Rebuilds(), 3);
  g->SetBounds(0, 0, 60, 40);
  auto p = Picture(g);
  EXPECT_EQ(g->Rebuilds(), 4);
  EXPECT_EQ(At(*p, 0, 0), RGB(0, 0, 255));
}

TEST_F(GradientTest, AnEllipseOnANarrowControlUsesHalfItsWidthInSteps) {
  auto* g = Make(40, 400);
  g->SetStyle(grEllipse);
  g->SetStartColor(clBlack);
  g->SetEndColor(TColorOf(RGB(200, 0, 0)));
  auto p = Picture(g);
  // n = 20: the innermost shape that shows is step 19 (step 20 has no width), red 190.
  EXPECT_EQ(At(*p, 20, 200), RGB(190, 0, 0));
  EXPECT_EQ(At(*p, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 39, 399), RGB(0, 0, 0));
  EXPECT_EQ(At(*p, 0, 200), RGB(0, 0, 0));
}

// The shapes written once per pixel equal the shapes drawn one over the other: for the rectangles
// by the canvas's own FillRect, for the ellipses and rounded rectangles by the same shape test.
TEST(RenderGradient, ShapesWrittenOncePerPixelEqualShapesDrawnOverEachOther) {
  struct Size {
    int w, h, steps;
  };
  const Size sizes[] = {{37, 23, 100}, {64, 64, 7}, {10, 100, 100}, {101, 3, 5}, {2, 2, 1}, {300, 17, 255}};
  for (TXcGradientStyle style : {grPyramid, grEllipse, grMount}) {
    for (const Size& s : sizes) {
      TBitmap spans;
      const COLORREF start = RGB(10, 200, 30), end = RGB(250, 0, 90);
      RenderGradient(&spans, s.w, s.h, style, start, end, static_cast<uint16_t>(s.steps));
      int n = s.steps;
      if (s.w / 2 < n) n = s.w / 2;
      if (s.h / 2 < n) n = s.h / 2;
      if (n == 0) n = 1;
      auto painted = testsupport::SolidBitmap(s.w, s.h, static_cast<TColor>(start));
      TCanvas* c = painted->Canvas();
      const double xs = static_cast<double>(s.w) / n / 2, ys = static_cast<double>(s.h) / n / 2;
      for (int i = 0; i <= n; ++i) {
        const int l = static_cast<int>(std::nearbyint(i * xs)), t = static_cast<int>(std::nearbyint(i * ys));
        const COLORREF colour =
            RGB(static_cast<int>(std::nearbyint(10 + i * (240.0 / n))), static_cast<int>(std::nearbyint(200 + i * (-200.0 / n))),
                static_cast<int>(std::nearbyint(30 + i * (60.0 / n))));
        if (style == grPyramid) {
          c->Brush()->SetColor(static_cast<TColor>(colour));
          c->FillRect(Rect(l, t, s.w - l, s.h - t));
        } else {
          for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x)
              if (GradientShapeContains(style, l, t, s.w - l, s.h - t, x, y)) c->SetPixels(x, y, static_cast<TColor>(colour));
        }
      }
      int differ = 0;
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) differ += At(spans, x, y) != At(*painted, x, y);
      EXPECT_EQ(differ, 0) << "style " << int(style) << " " << s.w << "x" << s.h;
    }
  }
}

// The inscribed ellipse agrees with the canvas's own Ellipse but for pixels on its edge.
TEST(RenderGradient, TheEllipseIsTheCanvassEllipseButForItsEdge) {
  for (auto [w, h] : {std::pair{60, 40}, std::pair{31, 77}}) {
    auto mine = testsupport::SolidBitmap(w, h, clWhite);
    auto theirs = testsupport::SolidBitmap(w, h, clWhite);
    theirs->Canvas()->Brush()->SetColor(clBlack);
    theirs->Canvas()->Pen()->SetColor(clBlack);
    theirs->Canvas()->Ellipse(0, 0, w, h);
    int inside = 0, differ = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool a = GradientShapeContains(grEllipse, 0, 0, w, h, x, y);
        const bool b = At(*theirs, x, y) == RGB(0, 0, 0);
        inside += a;
        differ += a != b;
      }
    EXPECT_LT(differ, (w + h) / 2) << w << "x" << h;
    EXPECT_GT(inside, w * h * 3 / 4 - w - h);
  }
}

TEST_F(GradientTest, AfterLoadingTheGivenBoundsComeBack) {
  auto* g = new TXcGradient(form);
  g->SetParent(form);
  g->BeginLoading();
  g->SetAlign(alNone);
  g->SetLeft(5);
  g->SetTop(6);
  g->SetWidth(70);
  g->SetHeight(30);
  g->SetBounds(0, 0, 10, 10);  // moved meanwhile
  g->EndLoading();
  EXPECT_EQ(g->BoundsRect(), Bounds(5, 6, 70, 30));
  // Client-aligned, the size is the parent's.
  auto* client = new TXcGradient(form);
  EXPECT_EQ(client->Align(), alClient);
  client->SetParent(form);
  EXPECT_EQ(client->Width(), form->ClientWidth());
}

}  // namespace
