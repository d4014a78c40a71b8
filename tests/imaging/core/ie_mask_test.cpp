#include "imaging/core/ie_mask.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

// The mask as text, one string per row from the top: '#' selected (255 or a set bit), '.' not,
// '+' partly selected.
std::vector<std::string> Picture(const TIEMask& m) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < m.Height(); ++y) {
    std::string row;
    for (int32_t x = 0; x < m.Width(); ++x) {
      const int32_t v = m.GetPixel(x, y);
      row += v == 0 ? '.' : (m.BitsPerPixel() == 8 && v != 255 ? '+' : '#');
    }
    rows.push_back(row);
  }
  return rows;
}

struct Box {
  int32_t x1, y1, x2, y2;
};

void ExpectBox(const TIEMask& m, Box b) {
  EXPECT_EQ(m.X1(), b.x1);
  EXPECT_EQ(m.Y1(), b.y1);
  EXPECT_EQ(m.X2(), b.x2);
  EXPECT_EQ(m.Y2(), b.y2);
}

// The value that selects a pixel at each depth through SetSpan and FillPolygon.
int32_t SelectValue(int32_t bpp) { return bpp == 1 ? 1 : 255; }

}  // namespace

TEST(TIEMask, NewAndAllocated) {
  TIEMask m;
  EXPECT_EQ(m.Width(), 0);
  EXPECT_EQ(m.Bits(), nullptr);
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_FALSE(m.Full());

  m.Allocate(33, 3, 1);
  EXPECT_EQ(m.RowLen(), 8);
  EXPECT_EQ(m.Width(), 33);
  EXPECT_EQ(m.Height(), 3);
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_FALSE(m.Full());
  // Rows are stored bottom-up.
  EXPECT_EQ(m.GetRow(0), m.Bits() + 2 * 8);
  EXPECT_EQ(m.GetRow(2), m.Bits());
  for (int32_t i = 0; i < 24; ++i) EXPECT_EQ(m.Bits()[i], 0);

  m.Allocate(5, 2, 8);
  EXPECT_EQ(m.RowLen(), 8);
  m.Allocate(-4, 7, 8);  // a negative size counts as 0
  EXPECT_EQ(m.Width(), 0);
  EXPECT_EQ(m.Bits(), nullptr);
  m.SetPixel(0, 0, 255);  // nothing to write: no crash, no box
  EXPECT_TRUE(m.IsEmpty());
}

TEST(TIEMask, AllocationFailureLeavesTheMaskAsItWas) {
  TIEMask m;
  m.Allocate(4, 4, 8);
  m.SetPixel(1, 2, 255);
  EXPECT_THROW(m.Allocate(2000000000, 2000000000, 8), std::bad_alloc);
  EXPECT_EQ(m.Width(), 4);
  EXPECT_EQ(m.GetPixel(1, 2), 255);
  ExpectBox(m, {1, 2, 1, 2});
}

TEST(TIEMask, FillSelectsEverythingButLeavesTheBoxEmpty) {
  for (int32_t bpp : {1, 8}) {
    TIEMask m;
    m.Allocate(10, 3, bpp);
    m.Fill(255);
    EXPECT_TRUE(m.Full());
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_TRUE(m.IsPointInside(9, 2));
    m.RecalcBounds();
    ExpectBox(m, {0, 0, 9, 2});
    m.Fill(7);
    EXPECT_FALSE(m.Full());
    m.Clear();
    EXPECT_FALSE(m.Full());
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(m.GetPixel(4, 1), 0);
  }
}

TEST(TIEMask, PixelValuesAndFullFlag) {
  TIEMask m;
  m.Allocate(9, 2, 1);
  m.SetPixel(0, 0, 1);
  m.SetPixel(7, 0, 5);  // any non-zero value selects
  m.SetPixel(8, 1, 1);
  EXPECT_EQ(m.GetPixel(0, 0), 128);
  EXPECT_EQ(m.GetPixel(7, 0), 1);
  EXPECT_EQ(m.GetPixel(8, 1), 128);
  EXPECT_EQ(m.GetPixel(1, 0), 0);
  EXPECT_EQ(m.GetPixel(-1, 0), 0);
  EXPECT_EQ(m.GetPixel(9, 0), 0);
  ExpectBox(m, {0, 0, 8, 1});
  m.SetPixel(20, 20, 1);  // outside: ignored, the box stays
  ExpectBox(m, {0, 0, 8, 1});

  // Deselecting clears Full, CheckFull agrees; selecting never sets it.
  m.Fill(255);
  m.SetPixel(3, 1, 0);
  EXPECT_FALSE(m.Full());
  m.CheckFull();
  EXPECT_FALSE(m.Full());
  m.SetPixel(3, 1, 1);
  EXPECT_FALSE(m.Full());
  m.CheckFull();
  EXPECT_TRUE(m.Full());

  TIEMask g;
  g.Allocate(3, 1, 8);
  g.Fill(255);
  g.SetPixel(1, 0, 200);
  EXPECT_FALSE(g.Full());
  EXPECT_EQ(g.GetPixel(1, 0), 200);
  g.SetPixel(1, 0, 255);
  g.CheckFull();
  EXPECT_TRUE(g.Full());
}

TEST(TIEMask, CheckFullIgnoresPadding) {
  TIEMask m;
  m.Allocate(10, 2, 1);
  for (int32_t y = 0; y < 2; ++y) m.SetSpan(1, 0, 9, y);
  m.CheckFull();
  EXPECT_TRUE(m.Full());  // the padding bits of each row are still 0
  m.SetPixel(9, 1, 0);
  m.CheckFull();
  EXPECT_FALSE(m.Full());
}

TEST(TIEMask, Spans) {
  TIEMask m;
  m.Allocate(12, 3, 1);
  EXPECT_EQ(m.SetSpan(1, -5, 3, 0), 4);
  EXPECT_EQ(m.SetSpan(1, 10, 50, 0), 2);
  EXPECT_EQ(m.SetSpan(1, 6, 5, 0), 0);
  EXPECT_TRUE(m.IsEmpty());  // spans leave the box alone
  EXPECT_EQ(Picture(m)[0], "####......##");
  // On a 1-bit mask only Value 1 selects; 255 deselects.
  EXPECT_EQ(m.SetSpan(255, 1, 2, 0), 2);
  EXPECT_EQ(Picture(m)[0], "#..#......##");

  // A row outside the mask paints nothing: no smearing onto the top or bottom row.
  for (int32_t bpp : {1, 8}) {
    TIEMask s;
    s.Allocate(4, 3, bpp);
    EXPECT_EQ(s.SetSpan(SelectValue(bpp), 0, 3, -5), 0);
    EXPECT_EQ(s.SetSpan(SelectValue(bpp), 0, 3, 3), 0);
    EXPECT_EQ(s.SetSpan(SelectValue(bpp), 0, 3, 1000000), 0);
    EXPECT_EQ(Picture(s), (std::vector<std::string>{"....", "....", "...."}));
  }

  TIEMask g;
  g.Allocate(5, 1, 8);
  g.Fill(255);
  EXPECT_EQ(g.SetSpan(100, 1, 2, 0), 2);
  EXPECT_FALSE(g.Full());
  EXPECT_EQ(Picture(g)[0], "#++##");
}

TEST(TIEMask, RecalcBoundsIsExactAndIgnoresPadding) {
  TIEMask m;
  m.Allocate(10, 4, 1);
  m.Fill(0xFF);  // padding bits set as well
  for (int32_t y = 0; y < 4; ++y) m.SetSpan(0, 0, 9, y);
  m.SetPixel(3, 1, 1);
  m.SetPixel(8, 2, 1);
  m.SetPixel(8, 2, 0);  // deselecting does not shrink the box ...
  ExpectBox(m, {3, 1, 8, 2});
  m.RecalcBounds();  // ... but RecalcBounds does
  ExpectBox(m, {3, 1, 3, 1});
  m.SetPixel(3, 1, 0);
  m.RecalcBounds();
  EXPECT_TRUE(m.IsEmpty());

  TIEMask g;
  g.Allocate(7, 3, 8);
  g.SetPixel(6, 0, 1);
  g.SetPixel(2, 2, 1);
  g.SetBox(0, 0, 0, 0);
  g.RecalcBounds();
  ExpectBox(g, {2, 0, 6, 2});
}

TEST(TIEMask, SetBoxKeepsItInside) {
  TIEMask m;
  m.Allocate(10, 5, 1);
  m.SetBox(-3, 2, 40, 3);
  ExpectBox(m, {0, 2, 9, 3});
  m.SetBox(5, 2, 4, 3);
  EXPECT_TRUE(m.IsEmpty());
}

// ---- Polygons ----

namespace {

struct PolygonCase {
  const char* name;
  std::vector<TPoint> points;
  std::vector<std::string> expected;
  Box box;  // x1 = kEmptyBox for an empty box
};

}  // namespace

TEST(TIEMaskPolygon, FillsAgainstExpectedMasks) {
  const int32_t S = TIEMask::kPolygonSeparator;
  const int32_t E = TIEMask::kEmptyBox;
  const PolygonCase cases[] = {
      {"triangle, closed automatically",
       {{0, 0}, {4, 0}, {0, 4}},
       {"####..", "###...", "##....", "#.....", "......"},
       {0, 0, 3, 3}},
      {"rectangle: right and bottom edges excluded",
       {{1, 1}, {4, 1}, {4, 3}, {1, 3}},
       {"......", ".###..", ".###..", "......", "......"},
       {1, 1, 3, 2}},
      {"two polygons split by a separator",
       {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {S, 0}, {4, 3}, {6, 3}, {6, 5}, {4, 5}},
       {"##....", "##....", "......", "....##", "....##"},
       {0, 0, 5, 4}},
      {"a trailing separator keeps the box",
       {{1, 1}, {3, 1}, {3, 3}, {1, 3}, {S, 0}},
       {"......", ".##...", ".##...", "......", "......"},
       {1, 1, 2, 2}},
      {"a separator first and twice in a row",
       {{S, 0}, {1, 1}, {3, 1}, {3, 3}, {1, 3}, {S, 0}, {S, 0}},
       {"......", ".##...", ".##...", "......", "......"},
       {1, 1, 2, 2}},
      {"a degenerate polygon after a real one keeps its box",
       {{1, 1}, {3, 1}, {3, 3}, {1, 3}, {S, 0}, {4, 4}, {5, 4}},
       {"......", ".##...", ".##...", "......", "......"},
       {1, 1, 2, 2}},
      {"self-crossing bow tie: the two side triangles, not the area between the diagonals",
       {{0, 0}, {6, 5}, {6, 0}, {0, 5}},
       {"......", "#....#", "##..##", "##..##", "#....#"},
       {0, 0, 5, 4}},
      {"partly outside: clipped, nothing smeared onto the border rows",
       {{-3, -3}, {3, -3}, {3, 2}, {-3, 2}},
       {"###...", "###...", "......", "......", "......"},
       {0, 0, 2, 1}},
      {"below the mask: nothing written, the box stays empty",
       {{1, 6}, {4, 6}, {4, 9}, {1, 9}},
       {"......", "......", "......", "......", "......"},
       {E, E, 0, 0}},
      {"two points",
       {{1, 1}, {4, 4}},
       {"......", "......", "......", "......", "......"},
       {E, E, 0, 0}},
  };
  for (const PolygonCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (int32_t bpp : {1, 8}) {
      TIEMask m;
      m.Allocate(6, 5, bpp);
      m.FillPolygons(SelectValue(bpp), c.points.data(), static_cast<int32_t>(c.points.size()));
      EXPECT_EQ(Picture(m), c.expected) << bpp << " bits";
      ExpectBox(m, c.box);
      EXPECT_FALSE(m.Full());
    }
  }
}

TEST(TIEMaskPolygon, BowTieRowsFromTheEdgeStepping) {
  // Wider bow tie: the diagonals cross at row 5; the list of edges is kept in X order after the
  // crossing, so the rows below it fill the side triangles again.
  TIEMask m;
  m.Allocate(10, 10, 8);
  const TPoint p[] = {{0, 0}, {10, 10}, {10, 0}, {0, 10}};
  m.FillPolygons(255, p, 4);
  const auto rows = Picture(m);
  EXPECT_EQ(rows[0], "..........");
  EXPECT_EQ(rows[3], "###....###");
  EXPECT_EQ(rows[5], "##########");
  EXPECT_EQ(rows[7], "###....###");
  EXPECT_EQ(rows[9], "#........#");
}

TEST(TIEMaskPolygon, DeselectingAndPartialValues) {
  TIEMask m;
  m.Allocate(6, 3, 8);
  m.Fill(255);
  const TPoint hole[] = {{1, 0}, {3, 0}, {3, 2}, {1, 2}};
  m.FillPolygons(0, hole, 4);
  EXPECT_FALSE(m.Full());
  EXPECT_EQ(Picture(m), (std::vector<std::string>{"#..###", "#..###", "######"}));
  const TPoint all[] = {{0, 0}, {6, 0}, {6, 3}, {0, 3}};
  m.FillPolygons(255, all, 4);
  EXPECT_TRUE(m.Full());
  m.FillPolygons(128, hole, 4);
  EXPECT_EQ(Picture(m)[0], "#++###");
}

TEST(TIEMaskPolygon, RowsAboveTheMaskAreSkippedExactly) {
  // The same polygons filled into a tall mask and, moved up by Shift rows, into a short one: the
  // short mask's rows equal the tall mask's lower rows, so edges that start above row 0 reach it
  // in the same state as when stepped row by row.
  const std::vector<std::vector<TPoint>> polygons = {
      {{0, 0}, {37, 29}, {5, 29}},
      {{30, 0}, {1, 23}, {29, 29}, {13, 11}},
      {{2, 0}, {39, 7}, {17, 29}, {0, 26}, {25, 12}},
      {{39, 0}, {38, 29}, {0, 28}, {3, 1}},
  };
  const int32_t Shift = 13;
  for (const auto& poly : polygons) {
    for (int32_t bpp : {1, 8}) {
      TIEMask tall, low;
      tall.Allocate(40, 30, bpp);
      low.Allocate(40, 30 - Shift, bpp);
      std::vector<TPoint> moved = poly;
      for (TPoint& p : moved) p.Y -= Shift;
      tall.FillPolygons(SelectValue(bpp), poly.data(), static_cast<int32_t>(poly.size()));
      low.FillPolygons(SelectValue(bpp), moved.data(), static_cast<int32_t>(moved.size()));
      const auto a = Picture(tall);
      const auto b = Picture(low);
      for (int32_t y = 0; y < low.Height(); ++y) ASSERT_EQ(b[y], a[y + Shift]) << "row " << y;
    }
  }
}

TEST(TIEMaskPolygon, FarAwayPointsCostNoTime) {
  TIEMask m;
  m.Allocate(20, 10, 1);
  const int32_t big = 2000000000;
  const TPoint p[] = {{-big, -big}, {big, -big}, {big, big}, {-big, big}};
  const double start = testsupport::ProcessCpuSeconds();
  m.FillPolygons(1, p, 4);
  EXPECT_LT(testsupport::ProcessCpuSeconds() - start, 1.0);
  EXPECT_TRUE(m.Full());
  ExpectBox(m, {0, 0, 19, 9});
  // A steep sliver far above, crossing the mask: X stays exact over two billion rows.
  TIEMask s;
  s.Allocate(20, 4, 8);
  const TPoint q[] = {{0, -big}, {10, -big}, {20, 4}, {10, 4}};
  s.FillPolygons(255, q, 4);
  EXPECT_EQ(Picture(s)[3], "..........##########");
}

// ---- Translation ----

TEST(TIEMaskTranslate, MovesContentAndBox) {
  for (int32_t bpp : {1, 8}) {
    SCOPED_TRACE(bpp);
    TIEMask m;
    m.Allocate(11, 4, bpp);
    const TPoint r[] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}};
    m.FillPolygons(SelectValue(bpp), r, 4);
    int32_t dx = 5, dy = -1;
    m.Translate(dx, dy, false);
    EXPECT_EQ(dx, 5);
    EXPECT_EQ(dy, -1);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{"......###..", "......###..", "...........", "..........."}));
    ExpectBox(m, {6, 0, 8, 1});

    // Without CutBorders the offset shrinks so the box touches the edge.
    dx = 10;
    dy = 10;
    m.Translate(dx, dy, false);
    EXPECT_EQ(dx, 2);
    EXPECT_EQ(dy, 2);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{"...........", "...........", "........###", "........###"}));
    ExpectBox(m, {8, 2, 10, 3});

    // With CutBorders what leaves the mask is cut.
    dx = -9;
    dy = 0;
    m.Translate(dx, dy, true);
    EXPECT_EQ(dx, -9);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{"...........", "...........", "##.........", "##........."}));
    ExpectBox(m, {0, 2, 1, 3});

    // Pushed out entirely: cleared.
    dx = 0;
    dy = 7;
    m.Translate(dx, dy, true);
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(Picture(m)[3], "...........");
  }
}

TEST(TIEMaskTranslate, EmptyBoxIsRecomputedFirstAndHugeOffsetsAreSafe) {
  TIEMask m;
  m.Allocate(8, 8, 1);
  int32_t dx = 3, dy = 3;
  m.Translate(dx, dy, true);  // nothing selected: nothing happens
  m.Fill(255);                // selected, box still empty
  m.Translate(dx, dy, false);
  EXPECT_EQ(dx, 0);  // the whole mask cannot move
  EXPECT_EQ(dy, 0);
  EXPECT_TRUE(m.Full());
  dx = std::numeric_limits<int32_t>::min();
  dy = std::numeric_limits<int32_t>::max();
  m.Translate(dx, dy, true);
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_EQ(m.GetPixel(0, 0), 0);
}

// ---- Resize and Assign ----

TEST(TIEMask, ResizeKeepsTheTopLeftAndClampsTheBox) {
  for (int32_t bpp : {1, 8}) {
    TIEMask m;
    m.Allocate(12, 4, bpp);
    const TPoint r[] = {{2, 1}, {12, 1}, {12, 4}, {2, 4}};
    m.FillPolygons(SelectValue(bpp), r, 4);
    m.Resize(5, 2);
    EXPECT_EQ(m.RowLen(), bpp == 1 ? 4 : 8);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{".....", "..###"}));
    ExpectBox(m, {2, 1, 4, 1});
    // Growing again: the new area is unselected, also where the shrunk rows kept padding.
    m.Resize(12, 3);
    EXPECT_EQ(Picture(m), (std::vector<std::string>{"............", "..###.......", "............"}));
  }
  TIEMask full;
  full.Allocate(4, 4, 1);
  full.Fill(255);
  full.Resize(3, 3);
  EXPECT_TRUE(full.Full());
  full.Resize(5, 3);
  EXPECT_FALSE(full.Full());
  full.Resize(0, 3);
  full.SetBox(0, 0, 0, 0);
  EXPECT_TRUE(full.IsEmpty());
  // From no columns back to some: nothing to keep, nothing selected.
  full.Resize(4, 3);
  EXPECT_EQ(Picture(full), (std::vector<std::string>{"....", "....", "...."}));
}

TEST(TIEMask, AssignCopiesEverything) {
  TIEMask a, b;
  a.Allocate(9, 3, 1);
  a.SetPixel(8, 2, 1);
  a.SetFull(false);
  b.Allocate(2, 2, 8);
  b.Assign(a);
  EXPECT_EQ(b.Width(), 9);
  EXPECT_EQ(b.BitsPerPixel(), 1);
  EXPECT_EQ(b.GetPixel(8, 2), 128);
  ExpectBox(b, {8, 2, 8, 2});
  a.SetPixel(0, 0, 1);
  EXPECT_EQ(b.GetPixel(0, 0), 0);  // a deep copy
}

TEST(TIEMask, OtherDepthsDoNothing) {
  TIEMask m;
  m.Allocate(4, 4, 24);
  EXPECT_EQ(m.RowLen(), 12);
  m.SetPixel(1, 1, 9);
  EXPECT_EQ(m.GetPixel(1, 1), 0);
  EXPECT_EQ(m.SetSpan(1, 0, 3, 0), 0);
  const TPoint r[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  m.FillPolygons(1, r, 4);
  EXPECT_TRUE(m.IsEmpty());
  int32_t dx = 1, dy = 1;
  m.Translate(dx, dy, false);
}
