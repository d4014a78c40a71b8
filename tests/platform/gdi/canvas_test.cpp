#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"

#include <string>

namespace {

std::unique_ptr<TBitmap> White(int w, int h, TPixelFormat f = pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(f);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect({0, 0, w, h});
  return b;
}

}  // namespace

TEST(TCanvasTest, RectangleExcludesRightAndBottomEdges) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clRed);
  c->Brush()->SetColor(clBlue);
  c->Rectangle(2, 3, 10, 12);
  EXPECT_EQ(c->Pixels(2, 3), clRed);    // top-left corner is pen
  EXPECT_EQ(c->Pixels(9, 11), clRed);   // last pixel inside the box is pen
  EXPECT_EQ(c->Pixels(10, 11), clWhite);
  EXPECT_EQ(c->Pixels(9, 12), clWhite);
  EXPECT_EQ(c->Pixels(5, 7), clBlue);   // interior is brush
  EXPECT_EQ(c->Pixels(1, 3), clWhite);
}

TEST(TCanvasTest, FillRectCoversExactlyTheRectangle) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clGreen);
  c->FillRect({10, 10, 20, 20});
  EXPECT_EQ(c->Pixels(10, 10), clGreen);
  EXPECT_EQ(c->Pixels(19, 19), clGreen);
  EXPECT_EQ(c->Pixels(9, 10), clWhite);
  EXPECT_EQ(c->Pixels(10, 9), clWhite);
}

TEST(TCanvasTest, LineToLeavesItsEndPixel) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->MoveTo(2, 5);
  c->LineTo(12, 5);
  EXPECT_EQ(c->Pixels(2, 5), clBlack);
  EXPECT_EQ(c->Pixels(11, 5), clBlack);
  EXPECT_EQ(c->Pixels(12, 5), clWhite);
  EXPECT_EQ(c->PenPos(), Point(12, 5));
  c->MoveTo(0, 0);
  c->LineTo(10, 10);
  EXPECT_EQ(c->Pixels(9, 9), clBlack);
  EXPECT_EQ(c->Pixels(10, 10), clWhite);
}

namespace {

// The bitmap as text: '#' where a pixel has the colour, '.' elsewhere.
std::string Picture(TBitmap& b, TColor c, int x0, int y0, int w, int h) {
  std::string s;
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) s += b.Canvas()->Pixels(x, y) == c ? '#' : '.';
    s += '\n';
  }
  return s;
}

uint64_t Checksum(TBitmap& b) {
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < b.RowBytes(); ++i) h = (h ^ row[i]) * 1099511628211ull;
  }
  return h;
}

}  // namespace

TEST(TCanvasTest, HatchPatternsAreEightPixelCells) {
  struct Case {
    TBrushStyle style;
    const char* cell;  // one 8 x 8 cell at the brush origin
  } cases[] = {
      {bsHorizontal, "........\n........\n........\n########\n........\n........\n........\n........\n"},
      {bsVertical, "....#...\n....#...\n....#...\n....#...\n....#...\n....#...\n....#...\n....#...\n"},
      {bsFDiagonal, "#.......\n.#......\n..#.....\n...#....\n....#...\n.....#..\n......#.\n.......#\n"},
      {bsBDiagonal, ".......#\n......#.\n.....#..\n....#...\n...#....\n..#.....\n.#......\n#.......\n"},
      {bsCross, "....#...\n....#...\n....#...\n########\n....#...\n....#...\n....#...\n....#...\n"},
      {bsDiagCross, "#......#\n.#....#.\n..#..#..\n...##...\n...##...\n..#..#..\n.#....#.\n#......#\n"},
  };
  for (const Case& c : cases) {
    auto b = White(16, 16);
    b->Canvas()->Brush()->SetColor(clRed);
    b->Canvas()->Brush()->SetStyle(c.style);
    b->Canvas()->FillRect({0, 0, 16, 16});
    EXPECT_EQ(Picture(*b, clRed, 0, 0, 8, 8), c.cell) << c.style;
    // The pattern repeats and the background stays (the framework draws hatches transparently).
    EXPECT_EQ(Picture(*b, clRed, 8, 8, 8, 8), c.cell) << c.style;
  }
}

TEST(TCanvasTest, XorPenDrawnTwiceRestoresThePicture) {
  for (TPixelFormat f : {pf1bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    auto b = White(40, 30, f);
    TCanvas* c = b->Canvas();
    c->Brush()->SetColor(clBlue);
    c->Ellipse(3, 3, 20, 25);
    const uint64_t before = Checksum(*b);
    for (TPenMode mode : {pmXor, pmNot, pmNotXor}) {
      c->Pen()->SetMode(mode);
      c->Pen()->SetColor(clRed);
      c->Brush()->SetStyle(bsClear);
      for (int pass = 0; pass < 2; ++pass) {
        c->Rectangle(5, 5, 30, 20);
        c->MoveTo(0, 29);
        c->LineTo(39, 0);
        c->Ellipse(10, 2, 38, 28);
        const TPoint tri[3] = {{2, 2}, {35, 10}, {8, 27}};
        c->Polyline(tri, 3);
      }
      EXPECT_EQ(Checksum(*b), before) << "format " << f << " mode " << mode;
    }
    c->Pen()->SetMode(pmCopy);
  }
}

TEST(TCanvasTest, XorFilledShapesTwiceRestore) {
  auto b = White(30, 30);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clGreen);
  c->FillRect({5, 5, 15, 15});
  const uint64_t before = Checksum(*b);
  c->Pen()->SetMode(pmXor);
  c->Pen()->SetColor(clRed);
  c->Brush()->SetColor(clYellow);
  for (int pass = 0; pass < 2; ++pass) {
    c->Rectangle(2, 2, 20, 20);
    c->Ellipse(8, 8, 28, 26);
    c->RoundRect(1, 10, 29, 29, 12, 12);
    c->Pie(0, 0, 30, 30, 30, 15, 15, 0);
  }
  EXPECT_EQ(Checksum(*b), before);
}

TEST(TCanvasTest, EllipseStaysInsideItsBox) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clRed);
  c->Ellipse(2, 4, 12, 14);
  EXPECT_EQ(c->Pixels(7, 9), clRed);     // centre filled
  EXPECT_EQ(c->Pixels(2, 9), clBlack);   // left extreme is the outline
  EXPECT_EQ(c->Pixels(11, 9), clBlack);  // right extreme, inside the box
  EXPECT_EQ(c->Pixels(12, 9), clWhite);  // the right edge is outside
  EXPECT_EQ(c->Pixels(7, 14), clWhite);
  EXPECT_EQ(c->Pixels(2, 4), clWhite);   // corners are outside the ellipse
}

TEST(TCanvasTest, NullPenShapesAreOnePixelSmaller) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetStyle(psClear);
  c->Brush()->SetColor(clRed);
  c->Rectangle(2, 2, 8, 8);
  EXPECT_EQ(Picture(*b, clRed, 1, 1, 8, 8), "........\n.#####..\n.#####..\n.#####..\n.#####..\n.#####..\n........\n........\n");
}

TEST(TCanvasTest, PolygonFillModes) {
  const TPoint star[5] = {{10, 0}, {16, 20}, {0, 7}, {20, 7}, {4, 20}};
  auto b = White(21, 21);
  TCanvas* c = b->Canvas();
  c->Pen()->SetStyle(psClear);
  c->Brush()->SetColor(clRed);
  c->Polygon(star, 5);
  EXPECT_EQ(c->Pixels(10, 11), clWhite);  // alternate leaves the middle
  EXPECT_EQ(c->Pixels(10, 3), clRed);
  SetPolyFillMode(c->Handle(), WINDING);
  c->Polygon(star, 5);
  EXPECT_EQ(c->Pixels(10, 11), clRed);
  // With a pen, the outline covers the vertices.
  c->Pen()->SetStyle(psSolid);
  c->Pen()->SetColor(clBlue);
  const TPoint sq[4] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}};
  c->Polygon(sq, 4);
  EXPECT_EQ(c->Pixels(5, 5), clBlue);
  EXPECT_EQ(c->Pixels(3, 3), clRed);
}

TEST(TCanvasTest, DashedPenDrawsItsRunsAndOpaqueGaps) {
  auto b = White(40, 3);
  TCanvas* c = b->Canvas();
  c->Pen()->SetStyle(psDot);
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetStyle(bsClear);  // transparent background: gaps untouched
  c->MoveTo(0, 0);
  c->LineTo(12, 0);
  EXPECT_EQ(Picture(*b, clBlack, 0, 0, 13, 1), "###...###....\n");
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clYellow);  // opaque background: gaps in the brush colour
  c->MoveTo(0, 1);
  c->LineTo(12, 1);
  EXPECT_EQ(Picture(*b, clYellow, 0, 1, 13, 1), "...###...###.\n");
  // Wide pens are solid.
  c->Pen()->SetWidth(3);
  c->MoveTo(0, 2);
  c->LineTo(12, 2);
  EXPECT_EQ(c->Pixels(4, 2), clBlack);
}

TEST(TCanvasTest, AWidePenRectangleFillsTheBandTheGdiRoundingGives) {
  // The framework's way of fitting a frame of pen width w into a box: Rectangle(w div 2, w div 2,
  // W - (w - 1) div 2, H - (w - 1) div 2) covers exactly the outer w pixels, odd or even.
  for (int w = 1; w <= 6; ++w) {
    auto b = White(20, 16);
    TCanvas* c = b->Canvas();
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetWidth(w);
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(w / 2, w / 2, 20 - (w - 1) / 2, 16 - (w - 1) / 2);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x) {
        bool band = x < w || y < w || x >= 20 - w || y >= 16 - w;
        ASSERT_EQ(c->Pixels(x, y), band ? clBlack : clWhite) << "width " << w << " at " << x << "," << y;
      }
  }
}

TEST(TCanvasTest, RoundRectCornersAndNoStrayLines) {
  auto b = White(30, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clRed);
  // A corner larger than two thirds of the height.
  c->RoundRect(2, 2, 28, 16, 20, 12);
  EXPECT_EQ(c->Pixels(2, 2), clWhite);   // rounded corner
  EXPECT_EQ(c->Pixels(15, 2), clBlack);  // top edge
  EXPECT_EQ(c->Pixels(15, 9), clRed);    // inside
  EXPECT_EQ(c->Pixels(15, 16), clWhite);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) {
      if (x < 2 || x >= 28 || y < 2 || y >= 16) {
        EXPECT_EQ(c->Pixels(x, y), clWhite) << x << "," << y;
      }
    }
  }
}

TEST(TCanvasTest, ArcAndPieRunCounterClockwise) {
  auto b = White(21, 21);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clRed);
  // From the right (3 o'clock) to the top (12 o'clock): the upper-right quarter.
  c->Pie(0, 0, 21, 21, 21, 10, 10, 0);
  EXPECT_EQ(c->Pixels(15, 5), clRed);
  EXPECT_EQ(c->Pixels(5, 5), clWhite);
  EXPECT_EQ(c->Pixels(15, 15), clWhite);
  auto a = White(21, 21);
  a->Canvas()->Pen()->SetColor(clBlack);
  // From the top to the right counter-clockwise: three quarters, leaving the upper right.
  a->Canvas()->Arc(0, 0, 21, 21, 10, 0, 21, 10);
  EXPECT_EQ(a->Canvas()->Pixels(0, 10), clBlack);
  EXPECT_EQ(a->Canvas()->Pixels(10, 20), clBlack);
  EXPECT_EQ(a->Canvas()->Pixels(17, 3), clWhite);
}

TEST(TCanvasTest, FocusRectAndInvertRectTwiceRestore) {
  auto b = White(10, 10);
  b->Canvas()->Brush()->SetColor(clNavy);
  b->Canvas()->FillRect({3, 3, 7, 7});
  const uint64_t before = Checksum(*b);
  b->Canvas()->DrawFocusRect({1, 1, 9, 9});
  EXPECT_NE(Checksum(*b), before);
  EXPECT_EQ(b->Canvas()->Pixels(1, 1), clBlack);  // every other frame pixel inverted
  EXPECT_EQ(b->Canvas()->Pixels(2, 1), clWhite);
  b->Canvas()->DrawFocusRect({1, 1, 9, 9});
  EXPECT_EQ(Checksum(*b), before);
  TRect r{0, 0, 5, 5};
  InvertRect(b->Canvas()->Handle(), &r);
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), clBlack);
  InvertRect(b->Canvas()->Handle(), &r);
  EXPECT_EQ(Checksum(*b), before);
}

TEST(TCanvasTest, FrameRectFloodFillAndFrame3D) {
  auto b = White(12, 12);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clRed);
  c->FrameRect({1, 1, 8, 8});
  EXPECT_EQ(c->Pixels(1, 1), clRed);
  EXPECT_EQ(c->Pixels(7, 7), clRed);
  EXPECT_EQ(c->Pixels(4, 4), clWhite);
  EXPECT_EQ(c->Pixels(8, 8), clWhite);
  c->Brush()->SetColor(clLime);
  c->FloodFill(4, 4, clRed, TCanvas::fsBorder);
  EXPECT_EQ(c->Pixels(2, 2), clLime);
  EXPECT_EQ(c->Pixels(6, 6), clLime);
  EXPECT_EQ(c->Pixels(9, 9), clWhite);  // outside the red frame
  c->Brush()->SetColor(clBlue);
  c->FloodFill(10, 10, clWhite, TCanvas::fsSurface);
  EXPECT_EQ(c->Pixels(0, 0), clBlue);
  EXPECT_EQ(c->Pixels(4, 4), clLime);
  TRect r{0, 0, 6, 6};
  auto f = White(8, 8);
  Frame3D(f->Canvas(), r, clWhite, clGray, 1);
  EXPECT_EQ(r, Rect(1, 1, 5, 5));
  EXPECT_EQ(f->Canvas()->Pixels(5, 5), clGray);
  EXPECT_EQ(f->Canvas()->Pixels(5, 0), clGray);  // top right belongs to the bottom colour
  EXPECT_EQ(f->Canvas()->Pixels(0, 4), clWhite);
  EXPECT_EQ(f->Canvas()->Pixels(0, 5), clGray);  // the bottom line runs to the left edge
}

TEST(TCanvasTest, DrawEdgeUsesSystemColours) {
  auto b = White(10, 10);
  HDC dc = b->Canvas()->Handle();
  TRect r{0, 0, 10, 10};
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r, Rect(2, 2, 8, 8));
  EXPECT_EQ(GetPixel(dc, 0, 5), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(GetPixel(dc, 9, 5), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(GetPixel(dc, 1, 5), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(GetPixel(dc, 8, 5), GetSysColor(COLOR_3DLIGHT));
}

TEST(TCanvasTest, PatternBrushTilesFromTheOrigin) {
  TBitmap pat(2, 2);
  pat.SetPixelFormat(pf24bit);
  pat.Canvas()->Brush()->SetColor(clRed);
  pat.Canvas()->FillRect({0, 0, 2, 2});
  pat.Canvas()->SetPixels(1, 1, clBlue);
  auto b = White(6, 6);
  b->Canvas()->Brush()->SetBitmap(&pat);
  b->Canvas()->FillRect({0, 0, 6, 6});
  EXPECT_EQ(b->Canvas()->Pixels(3, 3), clBlue);
  EXPECT_EQ(b->Canvas()->Pixels(2, 3), clRed);
  b->Canvas()->Brush()->SetBitmap(nullptr);
}

TEST(TCanvasTest, CopyRectStretchesAndDrawPlacesPicture) {
  auto src = White(2, 2);
  src->Canvas()->SetPixels(1, 1, clRed);
  auto dst = White(8, 8);
  dst->Canvas()->CopyRect({0, 0, 4, 4}, src->Canvas(), {0, 0, 2, 2});
  EXPECT_EQ(dst->Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(dst->Canvas()->Pixels(1, 1), clWhite);
  dst->Canvas()->Draw(5, 5, src.get());
  EXPECT_EQ(dst->Canvas()->Pixels(6, 6), clRed);
  dst->Canvas()->StretchDraw({4, 0, 8, 4}, src.get());
  EXPECT_EQ(dst->Canvas()->Pixels(7, 3), clRed);
}

// A box with a solid one-pixel pen and a solid brush on 24- and 32-bit pictures takes a quick
// path; a 16-bit picture takes the general one. Both give the same pixels for every size, with and
// without pen or brush, clipped or not (compared at the 5-6-5 picture's precision).
TEST(TCanvasTest, TheQuickBoxOfTrueColourPicturesEqualsTheGeneralOne) {
  struct Box {
    int l, t, r, b;
  } boxes[] = {{2, 3, 10, 12}, {4, 4, 5, 5}, {4, 4, 5, 9}, {4, 4, 9, 5}, {4, 4, 6, 6}, {3, 3, 6, 6},
               {10, 2, 2, 10}, {-5, -5, 8, 8}, {15, 15, 30, 30}, {6, 6, 6, 9}};
  enum { kPenAndBrush, kNoPen, kNoBrush, kClipped } kinds[] = {kPenAndBrush, kNoPen, kNoBrush, kClipped};
  for (TPixelFormat quick : {pf24bit, pf32bit}) {
    for (const Box& box : boxes) {
      for (auto kind : kinds) {
        SCOPED_TRACE(testing::Message() << quick << " " << box.l << "," << box.t << "," << box.r << "," << box.b
                                        << " kind " << kind);
        auto draw = [&](TPixelFormat f) {
          auto bm = White(20, 20, f);
          TCanvas* c = bm->Canvas();
          c->Pen()->SetColor(clRed);
          c->Brush()->SetColor(clBlue);
          if (kind == kNoPen) c->Pen()->SetStyle(psClear);
          if (kind == kNoBrush) c->Brush()->SetStyle(bsClear);
          HRGN clip = nullptr;
          if (kind == kClipped) {
            clip = CreateRectRgn(5, 0, 8, 20);
            SelectClipRgn(c->Handle(), clip);
          }
          c->Rectangle(box.l, box.t, box.r, box.b);
          if (clip) {
            SelectClipRgn(c->Handle(), nullptr);
            DeleteObject(clip);
          }
          return bm;
        };
        auto a = draw(quick), g = draw(pf16bit);
        for (int y = 0; y < 20; ++y)
          for (int x = 0; x < 20; ++x)
            ASSERT_EQ(a->Canvas()->Pixels(x, y) & 0xF8FCF8, g->Canvas()->Pixels(x, y) & 0xF8FCF8) << x << "," << y;
      }
    }
  }
}

// Lines along a row or a column are filled straight on true-colour pictures; a 16-bit picture takes
// the general path. Directions, one-pixel and empty lines, lines past the picture, a clip region and
// a moved origin give the same pixels.
TEST(TCanvasTest, StraightLinesOfTrueColourPicturesEqualTheGeneralOnes) {
  struct Line {
    int x0, y0, x1, y1;
  } lines[] = {{2, 3, 12, 3}, {12, 3, 2, 3},  {4, 2, 4, 15},  {4, 15, 4, 2},   {6, 6, 7, 6},  {6, 6, 6, 5},
               {6, 6, 6, 6},  {-9, 5, 30, 5}, {5, 30, 5, -9}, {25, 2, 25, 9}, {3, 3, 15, 11}};
  enum { kPlain, kClipped, kOrigin, kDashed } kinds[] = {kPlain, kClipped, kOrigin, kDashed};
  for (TPixelFormat quick : {pf24bit, pf32bit}) {
    for (const Line& l : lines) {
      for (auto kind : kinds) {
        SCOPED_TRACE(testing::Message() << quick << " " << l.x0 << "," << l.y0 << " to " << l.x1 << "," << l.y1
                                        << " kind " << kind);
        auto draw = [&](TPixelFormat f) {
          auto bm = White(20, 20, f);
          TCanvas* c = bm->Canvas();
          c->Pen()->SetColor(clRed);
          if (kind == kDashed) c->Pen()->SetStyle(psDash);
          HRGN clip = nullptr;
          if (kind == kClipped) {
            clip = CreateRectRgn(5, 0, 8, 20);
            SelectClipRgn(c->Handle(), clip);
          }
          if (kind == kOrigin) SetWindowOrgEx(c->Handle(), -3, 2, nullptr);
          c->MoveTo(l.x0, l.y0);
          c->LineTo(l.x1, l.y1);
          if (kind == kOrigin) SetWindowOrgEx(c->Handle(), 0, 0, nullptr);
          if (clip) {
            SelectClipRgn(c->Handle(), nullptr);
            DeleteObject(clip);
          }
          return bm;
        };
        auto a = draw(quick), g = draw(pf16bit);
        for (int y = 0; y < 20; ++y)
          for (int x = 0; x < 20; ++x)
            ASSERT_EQ(a->Canvas()->Pixels(x, y) & 0xF8FCF8, g->Canvas()->Pixels(x, y) & 0xF8FCF8) << x << "," << y;
      }
    }
  }
}
