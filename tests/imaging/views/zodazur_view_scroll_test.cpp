// The single-image view's scroll bars (every scroll code, line and page steps, tracking, bars kept
// when nothing scrolls) and its mouse wheel (zoom and scroll, percent and absolute steps, invert,
// Ctrl, AutoFit, zoom at the cursor, notches from a high-resolution wheel).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/views/zodazur_view.h"
#include "platform/ui/scroll_bars.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

class ViewScrollTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 600, 500);
  }
  TZodazUrView* MakeView(int W, int H, TScrollStyle Bars, int BW, int BH) {
    auto* v = new TZodazUrView(form);
    v->SetParent(form);
    v->SetBorderStyle(bsNone);
    v->SetScrollBars(Bars);
    v->SetBounds(0, 0, W, H);
    v->IEBitmap()->Allocate(BW, BH, ie24RGB);
    v->IEBitmap()->Fill(static_cast<double>(clWhite));
    v->Update();
    return v;
  }
};

TEST_F(ViewScrollTest, BarsCarryTheOriginThroughTheirRatio) {
  TZodazUrView* v = MakeView(200, 150, ssBoth, 1000, 800);
  ASSERT_TRUE(v->HScrollShown());
  ASSERT_TRUE(v->VScrollShown());
  int32_t mx, my;
  v->GetMaxViewXY(mx, my);
  const int32_t vw = v->GetViewWidth(), vh = v->GetViewHeight();
  EXPECT_DOUBLE_EQ(v->HScrollRatio(), (vw + mx) / 65536.0);
  EXPECT_DOUBLE_EQ(v->VScrollRatio(), (vh + my) / 65536.0);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(v->Handle(), SB_HORZ, &si));
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 65535);
  EXPECT_EQ(si.nPage, static_cast<UINT>(std::trunc(vw / v->HScrollRatio())));
  v->SetViewXY(300, 100);
  EXPECT_EQ(GetScrollPos(v->Handle(), SB_HORZ), static_cast<int>(std::trunc(300 / v->HScrollRatio())));
  EXPECT_EQ(GetScrollPos(v->Handle(), SB_VERT), static_cast<int>(std::trunc(100 / v->VScrollRatio())));
}

TEST_F(ViewScrollTest, EveryScrollCodeMovesTheOrigin) {
  struct Case {
    const char* name;
    double zoom;
    int32_t lineStep, pageStep;
    bool tracking;
    WORD code;
    int pos;
    // Expected origin from 100; -1 for the maximum; -2 for round(pos x ratio).
    int32_t want;
  } cases[] = {
      {"line on", 100, -1, -1, true, SB_LINEDOWN, 0, 101},
      {"line back", 100, -1, -1, true, SB_LINEUP, 0, 99},
      {"line at 300 %", 300, -1, -1, true, SB_LINEDOWN, 0, 103},
      {"line step 5 at 300 %", 300, 5, -1, true, SB_LINEDOWN, 0, 115},
      {"page on", 100, -1, -1, true, SB_PAGEDOWN, 0, 100 + 200},
      {"page back", 100, -1, -1, true, SB_PAGEUP, 0, 0},
      {"page step 7 at 200 %", 200, -1, 7, true, SB_PAGEDOWN, 0, 114},
      {"thumb position", 100, -1, -1, true, SB_THUMBPOSITION, 20000, -2},
      {"thumb track", 100, -1, -1, true, SB_THUMBTRACK, 20000, -2},
      {"thumb track without tracking", 100, -1, -1, false, SB_THUMBTRACK, 20000, 100},
      {"thumb position without tracking", 100, -1, -1, false, SB_THUMBPOSITION, 20000, -2},
      {"left", 100, -1, -1, true, SB_LEFT, 0, 0},
      {"right", 100, -1, -1, true, SB_RIGHT, 0, -1},
      {"end scroll", 100, -1, -1, true, SB_ENDSCROLL, 0, 100},
  };
  for (const Case& c : cases) {
    for (bool horizontal : {true, false}) {
      TZodazUrView* v = MakeView(200, 200, ssNone, 2000, 2000);
      v->SetZoom(c.zoom);
      TIEScrollBarParams& p = horizontal ? v->HScrollParams() : v->VScrollParams();
      p.LineStep = c.lineStep;
      p.PageStep = c.pageStep;
      p.Tracking = c.tracking;
      v->SetScrollBars(ssBoth);
      horizontal ? v->SetViewX(100) : v->SetViewY(100);
      int32_t mx, my;
      v->GetMaxViewXY(mx, my);
      const double ratio = horizontal ? v->HScrollRatio() : v->VScrollRatio();
      int32_t want = c.want;
      if (want == -1) want = horizontal ? mx : my;
      if (want == -2) want = static_cast<int32_t>(std::nearbyint(c.pos * ratio));
      if (c.code == SB_PAGEDOWN && c.pageStep == -1) want = 100 + (horizontal ? v->GetViewWidth() : v->GetViewHeight());
      v->Perform(horizontal ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(c.code, c.pos), 0);
      EXPECT_EQ(horizontal ? v->ViewX() : v->ViewY(), want) << c.name << (horizontal ? " H" : " V");
      delete v;
    }
  }
}

TEST_F(ViewScrollTest, KeepScrollBarsShowsADisabledBar) {
  for (bool keep : {false, true}) {
    auto* v = new TZodazUrView(form);
    v->SetParent(form);
    v->SetBorderStyle(bsNone);
    v->SetKeepScrollBars(keep);
    v->SetBounds(0, 0, 200, 200);
    v->IEBitmap()->Allocate(50, 50, ie24RGB);
    v->Update();
    EXPECT_FALSE(v->HScrollShown());
    EXPECT_EQ(IsScrollBarShown(v->Handle(), SB_HORZ), keep) << keep;
    EXPECT_EQ(IsScrollBarShown(v->Handle(), SB_VERT), keep) << keep;
    delete v;
  }
}

TEST_F(ViewScrollTest, ScrollBarStyleHidesBars) {
  TZodazUrView* v = MakeView(200, 200, ssBoth, 1000, 1000);
  EXPECT_TRUE(IsScrollBarShown(v->Handle(), SB_VERT));
  v->SetScrollBars(ssHorizontal);
  EXPECT_FALSE(IsScrollBarShown(v->Handle(), SB_VERT));
  EXPECT_TRUE(IsScrollBarShown(v->Handle(), SB_HORZ));
  v->SetScrollBars(ssNone);
  EXPECT_FALSE(IsScrollBarShown(v->Handle(), SB_HORZ));
  EXPECT_EQ(v->GetViewWidth(), 200);
}

TEST_F(ViewScrollTest, WheelZoomsAndScrolls) {
  struct Case {
    const char* name;
    TIEMouseWheelParamsAction action;
    TIEMouseWheelParamsVariation variation;
    int32_t value;
    bool invert, ctrl, autoFit;
    double zoom;
    int delta;
    double wantZoom;
    int32_t wantX, wantY;  // origin from (100, 100)
  } cases[] = {
      {"zoom in toward the user", iemwZoom, iemwPercentage, 8, false, false, false, 100, -120, 108, -1, -1},
      {"zoom out away", iemwZoom, iemwPercentage, 8, false, false, false, 100, 120, 92, -1, -1},
      {"inverted", iemwZoom, iemwPercentage, 8, true, false, false, 100, 120, 108, -1, -1},
      {"percent of 300", iemwZoom, iemwPercentage, 8, false, false, false, 300, -120, 324, -1, -1},
      {"small percent is at least 1", iemwZoom, iemwPercentage, 1, false, false, false, 50, -120, 51, -1, -1},
      {"absolute", iemwZoom, iemwAbsolute, 10, false, false, false, 100, -120, 110, -1, -1},
      {"scroll percent", iemwVScroll, iemwPercentage, 8, false, false, false, 100, -120, 100, 100, 116},
      {"scroll up", iemwVScroll, iemwPercentage, 8, false, false, false, 100, 120, 100, 100, 84},
      {"Ctrl scrolls sideways", iemwVScroll, iemwPercentage, 8, false, true, false, 100, -120, 100, 116, 100},
      {"scroll absolute at 200 %", iemwVScroll, iemwAbsolute, 3, false, false, false, 200, -120, 200, 100, 106},
      {"no action", iemwNone, iemwPercentage, 8, false, false, false, 100, -120, 100, 100, 100},
      {"AutoFit holds the wheel", iemwZoom, iemwPercentage, 8, false, false, true, 100, -120, 100, 100, 100},
  };
  for (const Case& c : cases) {
    TZodazUrView* v = MakeView(200, 200, ssNone, 4000, 4000);
    v->SetZoom(c.zoom);
    v->SetViewXY(100, 100);
    v->WheelParams().Action = c.action;
    v->WheelParams().Variation = c.variation;
    v->WheelParams().Value = c.value;
    v->WheelParams().InvertDirection = c.invert;
    v->SetAutoFit(c.autoFit);
    v->DoMouseWheel(c.delta, 10, 10, c.ctrl);
    EXPECT_DOUBLE_EQ(v->ZoomX(), c.wantZoom) << c.name;
    if (c.wantX >= 0) {
      EXPECT_EQ(v->ViewX(), c.wantX) << c.name;
      EXPECT_EQ(v->ViewY(), c.wantY) << c.name;
    }
    delete v;
  }
}

TEST_F(ViewScrollTest, WheelZoomEventsMayChangeTheZoom) {
  TZodazUrView* v = MakeView(200, 200, ssNone, 400, 400);
  v->OnZoomIn = [](TObject*, double& z) { z = 250; };
  v->OnZoomOut = [](TObject*, double& z) { z = 40; };
  v->DoMouseWheel(-120, 0, 0, false);
  EXPECT_EQ(v->ZoomX(), 250);
  v->DoMouseWheel(120, 0, 0, false);
  EXPECT_EQ(v->ZoomX(), 40);
}

TEST_F(ViewScrollTest, WheelAtTheCursorKeepsThePixelUnderIt) {
  TZodazUrView* v = MakeView(200, 200, ssNone, 400, 400);
  v->WheelParams().ZoomAtCursor = true;
  v->WheelParams().Variation = iemwAbsolute;
  v->WheelParams().Value = 100;
  const int32_t bx = v->ClientToBitmapX(150), by = v->ClientToBitmapY(60);
  v->DoMouseWheel(-120, 150, 60, false);
  EXPECT_EQ(v->ZoomX(), 200);
  EXPECT_NEAR(v->ClientToBitmapX(150), bx, 1);
  EXPECT_NEAR(v->ClientToBitmapY(60), by, 1);
}

TEST_F(ViewScrollTest, AHighResolutionWheelZoomsOncePerNotch) {
  TZodazUrView* v = MakeView(200, 200, ssNone, 400, 400);
  v->WheelParams().Variation = iemwAbsolute;
  v->WheelParams().Value = 10;
  for (int i = 0; i < 5; ++i) testsupport::MouseWheel(v, 50, 50, -24);  // one notch in five steps
  EXPECT_EQ(v->ZoomX(), 110);
  testsupport::MouseWheel(v, 50, 50, 0, 120);  // a sideways swipe: no zoom
  EXPECT_EQ(v->ZoomX(), 110);
  testsupport::MouseWheel(v, 50, 50, 240);  // two notches away at once: one step per message
  EXPECT_EQ(v->ZoomX(), 100);
}

}  // namespace
