// The thumbnail view's grid: columns by GridWidth, the single mode, hit testing with its lenient
// bottom edge, visibility, the scroll position kept inside the plane, the scroll codes and the wheel.
#include <gtest/gtest.h>

#include "imaging/views/zodazur_mview.h"
#include "platform/ui/scroll_bars.h"
#include "tests/imaging/views/mview_fixtures.h"
#include "tests/support/ui_input.h"

namespace {

using mviewtest::MViewTest;

TEST_F(MViewTest, ColumnsFollowGridWidth) {
  struct Case {
    int gridWidth, clientWidth;
    int columns;
    int x9, y9;  // cell of image 9
  } cases[] = {
      {0, 300, 0, 4 + 9 * 104, 4},     // one row
      {1, 300, 1, 4, 4 + 9 * 104},     // one column
      {-1, 300, 2, 4 + 104, 4 + 4 * 104},  // (300 - 4) div 104 = 2
      {-1, 100, 0, 4 + 9 * 104, 4},    // none fits: one row
      {4, 300, 4, 4 + 104, 4 + 2 * 104},
  };
  for (const Case& c : cases) {
    TZodazUrMView* v = MakeView(c.clientWidth, 200);
    v->SetGridWidth(c.gridWidth);
    Fill(v, 10);
    EXPECT_EQ(v->ColumnCount(), c.columns) << c.gridWidth << " " << c.clientWidth;
    EXPECT_EQ(v->GetImageX(9), c.x9) << c.gridWidth << " " << c.clientWidth;
    EXPECT_EQ(v->GetImageY(9), c.y9) << c.gridWidth << " " << c.clientWidth;
    delete v;
  }
}

TEST_F(MViewTest, SingleModePutsEveryCellAtTheOrigin) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SetGridWidth(3);
  v->SetDisplayMode(mdSingle);
  Fill(v, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(v->GetImageX(i), 0);
    EXPECT_EQ(v->GetImageY(i), 0);
  }
  EXPECT_EQ(v->ExtentWidth(), 104);
  EXPECT_EQ(v->ExtentHeight(), 104);
}

TEST_F(MViewTest, ImageAtPosFindsCellsOnly) {
  TZodazUrMView* v = MakeView(320, 250);
  v->SetGridWidth(-1);
  Fill(v, 6);
  struct Case {
    int x, y, want;
  } cases[] = {
      {4, 4, 0},       {103, 4, 0},   {104, 4, -1},  // the right edge: last pixel column 103
      {4, 103, 0},     {4, 104, -1},                 // the next row starts at 104
      {2, 50, -1},                                    // the gap before the first column
      {110, 110, 4},   {4 + 3 * 104, 4, -1},          // no fourth column
      {-3, 10, -1},    {10, -3, -1},  {-200, -200, -1},
      {120, 4 + 2 * 104 + 10, -1},                    // past the last image
  };
  for (const Case& c : cases) EXPECT_EQ(v->ImageAtPos(c.x, c.y), c.want) << c.x << "," << c.y;
}

TEST_F(MViewTest, VisibilityOfCells) {
  TZodazUrMView* v = MakeView(250, 150);
  v->SetGridWidth(-1);
  Fill(v, 6);
  EXPECT_EQ(v->IsImageVisible(0), 2);
  EXPECT_EQ(v->IsImageVisible(2), 1);  // row 1 from y 108 to 208
  EXPECT_EQ(v->IsImageVisible(4), 0);
  EXPECT_EQ(v->IsImageVisible(99), 0);
}

TEST_F(MViewTest, ScrollPositionStaysInsideThePlane) {
  TZodazUrMView* v = MakeView(200, 150);
  v->SetGridWidth(1);
  Fill(v, 10);
  int32_t mx, my;
  v->GetMaxViewXY(mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 10 * 104 + 4 - 150);
  v->SetViewY(100000);
  EXPECT_EQ(v->ViewY(), my);
  v->SetViewY(-7);
  EXPECT_EQ(v->ViewY(), 0);
  v->SetViewY(my);
  // Deleting images lowers the position to the new maximum at the relayout.
  for (int i = 0; i < 8; ++i) v->DeleteImage(0);
  v->GetMaxViewXY(mx, my);
  EXPECT_EQ(my, 2 * 104 + 4 - 150);
  EXPECT_EQ(v->ViewY(), my);
}

TEST_F(MViewTest, BarsAppearOnlyWhenThePlaneIsLarger) {
  TZodazUrMView* v = MakeView(200, 150, ssBoth);
  v->SetGridWidth(1);
  Fill(v, 1);
  EXPECT_FALSE(IsScrollBarShown(v->Handle(), SB_VERT));
  Fill(v, 5);
  EXPECT_TRUE(IsScrollBarShown(v->Handle(), SB_VERT));
  EXPECT_FALSE(IsScrollBarShown(v->Handle(), SB_HORZ));
}

TEST_F(MViewTest, EveryScrollCode) {
  struct Case {
    const char* name;
    WORD code;
    int pos;
    int32_t lineStep, pageStep;
    bool tracking;
    int32_t want;  // from 300; -1: the maximum; -2: Trunc(pos x scale)
  } cases[] = {
      {"line down", SB_LINEDOWN, 0, -1, -1, true, 300 + 104},
      {"line up", SB_LINEUP, 0, -1, -1, true, 300 - 104},
      {"line step 10", SB_LINEDOWN, 0, 10, -1, true, 310},
      {"page down", SB_PAGEDOWN, 0, -1, -1, true, 300 + 150},
      {"page step 20", SB_PAGEUP, 0, -1, 20, true, 280},
      {"top", SB_TOP, 0, -1, -1, true, 0},
      {"bottom", SB_BOTTOM, 0, -1, -1, true, -1},
      {"thumb", SB_THUMBPOSITION, 40000, -1, -1, true, -2},
      {"thumb track", SB_THUMBTRACK, 40000, -1, -1, true, -2},
      {"thumb track without tracking", SB_THUMBTRACK, 40000, -1, -1, false, 300},
      {"end", SB_ENDSCROLL, 0, -1, -1, true, 300},
  };
  for (const Case& c : cases) {
    TZodazUrMView* v = MakeView(200, 150, ssVertical);
    v->SetGridWidth(1);
    Fill(v, 20);
    v->VScrollParams().LineStep = c.lineStep;
    v->VScrollParams().PageStep = c.pageStep;
    v->VScrollParams().Tracking = c.tracking;
    v->SetViewY(300);
    int changes = 0;
    v->OnViewChange = [&](TObject*, int32_t) { ++changes; };
    int32_t mx, my;
    v->GetMaxViewXY(mx, my);
    const double scale = (v->ClientHeight() + my - 1) / 65536.0;
    int32_t want = c.want == -1 ? my : c.want == -2 ? static_cast<int32_t>(c.pos * scale) : c.want;
    v->Perform(WM_VSCROLL, MAKEWPARAM(c.code, c.pos), 0);
    EXPECT_EQ(v->ViewY(), want) << c.name;
    EXPECT_EQ(changes, c.code == SB_THUMBTRACK && !c.tracking ? 0 : 1) << c.name;
    delete v;
  }
}

TEST_F(MViewTest, OneRowPerWheelMessage) {
  TZodazUrMView* v = MakeView(200, 150);
  v->SetGridWidth(1);
  Fill(v, 20);
  testsupport::MouseWheel(v, 50, 50, -240);  // two notches at once: one row
  EXPECT_EQ(v->ViewY(), 104);
  testsupport::MouseWheel(v, 50, 50, 120);
  EXPECT_EQ(v->ViewY(), 0);
}

}  // namespace
