#include "controls/xc_button_glyph.h"

#include <gtest/gtest.h>

#include "tests/controls/pixels.h"

#include <algorithm>

#include "platform/gdi/bitmap.h"

namespace {

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

using testsupport::At;

// cells side by side, cellSize square, each filled with its colour; the bottom-left pixel of the
// strip is magenta (the mask colour the painter takes).
std::unique_ptr<TBitmap> Strip(const std::vector<TColor>& cells, int cellSize) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(static_cast<int>(cells.size()) * cellSize, cellSize);
  for (size_t i = 0; i < cells.size(); ++i) {
    b->Canvas()->Brush()->SetColor(cells[i]);
    b->Canvas()->FillRect(Bounds(static_cast<int>(i) * cellSize, 0, cellSize, cellSize));
  }
  b->Canvas()->SetPixels(0, cellSize - 1, clFuchsia);
  return b;
}

// The painter's picture of a state drawn on white; its colour at (x, y).
COLORREF StatePixel(TXcxButtonGlyph& g, TXcButtonPaintState state, int x, int y) {
  int index = g.BuildStateGlyph(state);
  if (index < 0 || !g.PoolList()) return 0xDEAD;
  auto target = testsupport::SolidBitmap(g.PoolList()->Width(), g.PoolList()->Height(), clWhite);
  g.PoolList()->Draw(target->Canvas(), 0, 0, index, true);
  return At(*target, x, y);
}

TEST(ButtonGlyph, TheCellCountFollowsTheBitmapsShape) {
  struct Case {
    int width, height, before, after;
  } cases[] = {
      {64, 16, 1, 4}, {96, 16, 2, 1},  // six cells are more than five: one
      {40, 16, 2, 2},                  // not a whole multiple: unchanged
      {16, 16, 3, 1}, {80, 16, 1, 5},
      {0, 16, 2, 2},                   // no width: no cells to count, never 0
  };
  for (const Case& c : cases) {
    TXcxButtonGlyph g;
    g.ChangeCellCount(c.before);
    int changes = 0;
    g.OnChange = [&] { ++changes; };
    auto b = std::make_unique<TBitmap>();
    b->SetSize(c.width, c.height);
    g.AssignBitmap(b.get());
    EXPECT_EQ(g.NumGlyphs(), c.after) << c.width << "x" << c.height;
    if (c.width > 0) {
      EXPECT_GE(changes, 1);  // the button hears of a new glyph
    }
  }
  TXcxButtonGlyph g;
  for (int n : {0, 6, -1, 200}) g.ChangeCellCount(n);
  EXPECT_EQ(g.NumGlyphs(), 1);
}

TEST(ButtonGlyph, EachStateTakesItsCellOrCellZero) {
  TXcxButtonGlyph g;
  g.AssignBitmap(Strip({clRed, clBlue}, 8).get());
  ASSERT_EQ(g.NumGlyphs(), 2);
  EXPECT_EQ(StatePixel(g, bpsUp, 4, 4), ColorToRGB(clRed));
  EXPECT_EQ(StatePixel(g, bpsDown, 4, 4), ColorToRGB(clRed));       // fewer than 3 cells: the up cell
  EXPECT_EQ(StatePixel(g, bpsDisabled, 4, 4), ColorToRGB(clBlue));  // its own cell
  EXPECT_EQ(StatePixel(g, bpsExclusive, 4, 4), ColorToRGB(clRed));  // beyond the cells: cell 0
  EXPECT_EQ(StatePixel(g, bpsUp, 0, 7), ColorToRGB(clWhite));       // the mask colour is left out

  TXcxButtonGlyph five;
  five.AssignBitmap(Strip({clRed, clBlue, clLime, clYellow, clAqua}, 8).get());
  EXPECT_EQ(StatePixel(five, bpsDown, 4, 4), ColorToRGB(clLime));
  EXPECT_EQ(StatePixel(five, bpsExclusive, 4, 4), ColorToRGB(clYellow));
  EXPECT_EQ(StatePixel(five, bpsInactive, 4, 4), ColorToRGB(clAqua));

  TXcxButtonGlyph empty;
  EXPECT_EQ(empty.BuildStateGlyph(bpsUp), -1);
}

TEST(ButtonGlyph, TheInactiveLookIsGreyButForTheMaskAndTheButtonFace) {
  EXPECT_EQ(InactiveGrey(RGB(200, 100, 50), RGB(255, 0, 255)), RGB(124, 124, 124));  // (15400 + 15000 + 1450) shr 8
  EXPECT_EQ(InactiveGrey(RGB(255, 255, 255), 0), RGB(255, 255, 255));                // 256 x 255 shr 8
  EXPECT_EQ(InactiveGrey(RGB(255, 0, 255), RGB(255, 0, 255)), RGB(255, 0, 255));
  EXPECT_EQ(InactiveGrey(ColorToRGB(clBtnFace), 0), ColorToRGB(clBtnFace));

  TXcxButtonGlyph g;
  auto b = Strip({static_cast<TColor>(RGB(200, 100, 50))}, 8);
  b->Canvas()->SetPixels(3, 3, clBtnFace);
  g.AssignBitmap(b.get());
  EXPECT_EQ(StatePixel(g, bpsInactive, 4, 4), RGB(124, 124, 124));
  EXPECT_EQ(StatePixel(g, bpsInactive, 3, 3), ColorToRGB(clBtnFace));
  EXPECT_EQ(StatePixel(g, bpsInactive, 0, 7), ColorToRGB(clWhite));
}

TEST(ButtonGlyph, OneCellsDisabledLooksAreEmbossedFlatOrOutlined) {
  TXcxButtonGlyph g;
  auto b = testsupport::SolidBitmap(6, 6, clFuchsia);
  b->Canvas()->Brush()->SetColor(clBlack);
  b->Canvas()->FillRect(Rect(1, 1, 3, 3));
  g.AssignBitmap(b.get());
  EXPECT_EQ(StatePixel(g, bpsDisabled, 1, 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(StatePixel(g, bpsDisabled, 3, 3), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(StatePixel(g, bpsDisabled, 5, 5), ColorToRGB(clWhite));
  g.ChangeDisabledStyle(false);
  EXPECT_EQ(StatePixel(g, bpsDisabled, 1, 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(StatePixel(g, bpsDisabled, 3, 3), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(StatePixel(g, bpsDisabled, 5, 5), ColorToRGB(clWhite));  // the face is left out
}

TEST(ButtonGlyph, PaintersOfOneSizeShareOneListAndBuildEachPictureOnce) {
  TXcxButtonGlyph keeper;  // the pool lives while a painter does
  ASSERT_NE(GlyphCache(), nullptr);
  const int listsBefore = GlyphCache()->ListCount();
  {
    TXcxButtonGlyph a, b, other;
    a.AssignBitmap(Strip({clRed}, 16).get());
    b.AssignBitmap(Strip({clBlue}, 16).get());
    other.AssignBitmap(Strip({clBlue}, 12).get());
    const int up = a.BuildStateGlyph(bpsUp);
    EXPECT_EQ(a.BuildStateGlyph(bpsUp), up);
    b.BuildStateGlyph(bpsUp);
    other.BuildStateGlyph(bpsUp);
    EXPECT_EQ(a.PoolList(), b.PoolList());
    EXPECT_NE(a.PoolList(), other.PoolList());
    EXPECT_EQ(a.PoolList()->UsedCount(), 2);
    const int images = a.PoolList()->Count();
    a.BuildStateGlyph(bpsUp);
    EXPECT_EQ(a.PoolList()->Count(), images);
    // A released slot is used again.
    a.ReleaseStateGlyphs();
    EXPECT_EQ(b.PoolList()->UsedCount(), 1);
    a.BuildStateGlyph(bpsDisabled);
    EXPECT_EQ(b.PoolList()->Count(), images);
  }
  EXPECT_EQ(GlyphCache()->ListCount(), listsBefore);  // lists without pictures leave the pool
}

// ------------------------------------------------------------------------------------------ layout

struct LayoutFixture : testing::Test {
  void SetUp() override {
    bitmap = testsupport::SolidBitmap(100, 100, clWhite);
    canvas = bitmap->Canvas();
    canvas->Font()->SetName("DejaVu Sans");
    canvas->Font()->SetHeight(-11);
  }
  TSize TextSize(const std::string& s) {
    TRect r = Rect(0, 0, 1000, 0);
    DrawText(canvas->Handle(), s.data(), -1, &r, DT_CALCRECT);
    return {r.Width(), r.Height()};
  }
  std::unique_ptr<TBitmap> bitmap;
  TCanvas* canvas = nullptr;
};

TEST_F(LayoutFixture, GlyphAloneCentresOrSitsAtTheMargin) {
  const TRect client = Rect(0, 0, 40, 30);
  const TSize g = {16, 12};
  struct Case {
    TButtonLayout layout;
    int margin, spacing;
    uint32_t flags;
    TPoint glyph;
  } cases[] = {
      // glyph top, automatic: ((40 - 16) div 2, 30 div 2 - 12 div 2)
      {blGlyphTop, -1, -1, DT_CENTER, {12, 9}},
      {blGlyphTop, -1, 1, DT_CENTER, {12, 9}},
      {blGlyphBottom, -1, -1, DT_CENTER, {12, 30 - 9 - 12}},
      // glyph left, automatic and centred: 40 div 2 - 16 div 2; y = (30 - 12) div 2
      {blGlyphLeft, -1, 1, DT_CENTER, {12, 9}},
      {blGlyphLeft, 4, 1, DT_CENTER, {4, 9}},
      // left aligned: the margin is the glyph's x of the alignment step, 0
      {blGlyphLeft, -1, 1, DT_LEFT, {0, 9}},
      // right aligned: 40 - 16 - 0
      {blGlyphLeft, -1, 1, DT_RIGHT, {24, 9}},
      {blGlyphRight, -1, 1, DT_RIGHT, {40 - 0 - 16, 9}},
      {blGlyphRight, -1, 1, DT_LEFT, {0, 9}},  // margin C.w - T.w - G.w: the glyph at 0
      {blGlyphRight, 3, 1, DT_CENTER, {40 - 3 - 16, 9}},
  };
  for (const Case& c : cases) {
    TXcButtonLayoutResult r = LayoutButton(canvas, client, Point(0, 0), "", c.layout, c.margin, c.spacing, false, g,
                                           false, c.flags);
    EXPECT_EQ(r.GlyphPos, c.glyph) << c.layout << " " << c.margin << " " << c.flags;
    EXPECT_EQ(r.TextBounds.Width(), 0);
  }
  // The client's corner and the pressed offset move everything.
  TXcButtonLayoutResult r =
      LayoutButton(canvas, Rect(2, 3, 42, 33), Point(1, 1), "", blGlyphTop, -1, -1, false, g, false, DT_CENTER);
  EXPECT_EQ(r.GlyphPos, Point(12 + 3, 9 + 4));
}

TEST_F(LayoutFixture, GlyphAndCaptionShareTheRoomAlongTheLayout) {
  const std::string caption = "Ab";
  const TSize t = TextSize(caption);
  const TRect client = Rect(0, 0, 80, 60);
  const TSize g = {16, 16};
  // Glyph left, margin and spacing automatic: both (80 - 16 - T.w) div 3.
  TXcButtonLayoutResult r =
      LayoutButton(canvas, client, Point(0, 0), caption, blGlyphLeft, -1, -1, false, g, false, DT_CENTER);
  const int m = (80 - 16 - t.cx) / 3;
  EXPECT_EQ(r.GlyphPos, Point(m, 22));
  EXPECT_EQ(r.TextBounds, Bounds(m + 16 + m, (60 - t.cy) / 2, t.cx, t.cy));
  // Glyph top, margin 5, spacing 2.
  r = LayoutButton(canvas, client, Point(0, 0), caption, blGlyphTop, 5, 2, false, g, false, DT_CENTER);
  EXPECT_EQ(r.GlyphPos, Point(32, 5));
  EXPECT_EQ(r.TextBounds, Bounds((80 - t.cx) / 2, 5 + 16 + 2, t.cx, t.cy));
  // Glyph right with spacing automatic: half the room beside the glyph less half the text.
  r = LayoutButton(canvas, client, Point(0, 0), caption, blGlyphRight, 4, -1, false, g, false, DT_CENTER);
  const int s = (80 - 4 - 16) / 2 - t.cx / 2;
  EXPECT_EQ(r.GlyphPos, Point(80 - 4 - 16, 22));
  EXPECT_EQ(r.TextBounds.Left, 80 - 4 - 16 - s - t.cx);
  // Glyph bottom.
  r = LayoutButton(canvas, client, Point(0, 0), caption, blGlyphBottom, 3, 1, false, g, false, DT_CENTER);
  EXPECT_EQ(r.GlyphPos, Point(32, 60 - 3 - 16));
  EXPECT_EQ(r.TextBounds.Top, 60 - 3 - 16 - 1 - t.cy);
}

TEST_F(LayoutFixture, TheDropDownMarkTakesRoomBesideTheTextOrTheGlyph) {
  const TSize t = TextSize("Ab");
  // No glyph: the caption grows by 9 (centred as one block).
  TXcButtonLayoutResult r = LayoutButton(canvas, Rect(0, 0, 80, 20), Point(0, 0), "Ab", blGlyphLeft, 0, 0, true,
                                         TSize{0, 0}, false, DT_LEFT);
  EXPECT_EQ(r.TextBounds.Width(), t.cx + 9);
  // A glyph above: the glyph grows by 6 and centres with it.
  r = LayoutButton(canvas, Rect(0, 0, 80, 40), Point(0, 0), "", blGlyphTop, -1, -1, true, TSize{16, 16}, false,
                   DT_CENTER);
  EXPECT_EQ(r.GlyphPos.X, (80 - 22) / 2);
}

TEST_F(LayoutFixture, ACaptionTooWideIsCutWithDotsUnlessItWraps) {
  const std::string caption = "Rather long caption";
  const TSize g = {0, 0};
  TXcButtonLayoutResult r =
      LayoutButton(canvas, Rect(0, 0, 50, 20), Point(0, 0), caption, blGlyphLeft, 0, 0, false, g, false, DT_LEFT);
  ASSERT_GE(r.Caption.size(), 3u);
  EXPECT_EQ(r.Caption.substr(r.Caption.size() - 3), "...");
  EXPECT_LE(canvas->TextWidth(r.Caption), 50);
  // The cut counts characters, not bytes.
  r = LayoutButton(canvas, Rect(0, 0, 40, 20), Point(0, 0), "ÄÖÜÄÖÜÄÖÜÄÖÜ", blGlyphLeft, 0, 0, false, g, false,
                   DT_LEFT);
  EXPECT_TRUE(ValidUtf8(r.Caption)) << r.Caption;
  r = LayoutButton(canvas, Rect(0, 0, 50, 60), Point(0, 0), caption, blGlyphLeft, 0, 0, false, g, true, DT_LEFT);
  EXPECT_EQ(r.Caption, caption);
  EXPECT_GT(r.TextBounds.Height(), TextSize("R").cy);  // broken into lines
  // Every line is cut apart; trailing blanks and breaks go.
  r = LayoutButton(canvas, Rect(0, 0, 50, 60), Point(0, 0), "Rather long\nRather long\n  ", blGlyphLeft, 0, 0, false,
                   g, false, DT_LEFT);
  EXPECT_EQ(std::count(r.Caption.begin(), r.Caption.end(), '.'), 6);
  EXPECT_NE(r.Caption.back(), ' ');
}

TEST(ButtonGlyph, DropDownMarkPixels) {
  auto b = testsupport::SolidBitmap(12, 8, clWhite);
  DrawDropDownMark(b->Canvas(), 2, 3, true);
  auto isText = [&](int x, int y) { return At(*b, x, y) == ColorToRGB(clBtnText); };
  for (int x = 2; x <= 8; ++x) EXPECT_TRUE(isText(x, 2)) << x;
  EXPECT_FALSE(isText(1, 2));
  EXPECT_FALSE(isText(9, 2));
  for (int x = 3; x <= 7; ++x) EXPECT_TRUE(isText(x, 3));
  for (int x = 4; x <= 6; ++x) EXPECT_TRUE(isText(x, 4));
  EXPECT_TRUE(isText(5, 5));
  EXPECT_FALSE(isText(4, 5));
  EXPECT_FALSE(isText(5, 6));

  b = testsupport::SolidBitmap(12, 8, clWhite);
  DrawDropDownMark(b->Canvas(), 2, 3, false);
  EXPECT_EQ(At(*b, 2, 2), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(*b, 9, 3), ColorToRGB(clBtnHighlight));  // the highlight row one down and right
  EXPECT_EQ(At(*b, 6, 6), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(*b, 5, 5), ColorToRGB(clBtnShadow));
}

}  // namespace
