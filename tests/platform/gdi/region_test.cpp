// Regions: shapes, combination, offset, hit tests, bounding boxes, region data and clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/bitmap.h"

namespace {

// The region as a picture: '#' where PtInRegion holds, over [0, w) x [0, h).
std::string Grid(HRGN r, int w, int h) {
  std::string s;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s += PtInRegion(r, x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

}  // namespace

TEST(RegionTest, CombineModes) {
  HRGN a = CreateRectRgn(0, 0, 3, 2), b = CreateRectRgn(2, 1, 5, 3), out = CreateRectRgn(0, 0, 0, 0);
  struct Case {
    int mode;
    const char* grid;
    int kind;
  } cases[] = {
      {RGN_OR, "###..\n#####\n..###\n", COMPLEXREGION},
      {RGN_AND, ".....\n..#..\n.....\n", SIMPLEREGION},
      {RGN_XOR, "###..\n##.##\n..###\n", COMPLEXREGION},
      {RGN_DIFF, "###..\n##...\n.....\n", COMPLEXREGION},
      {RGN_COPY, "###..\n###..\n.....\n", SIMPLEREGION},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.kind) << c.mode;
    EXPECT_EQ(Grid(out, 5, 3), c.grid) << c.mode;
  }
  EXPECT_EQ(CombineRgn(out, a, CreateRectRgn(5, 5, 6, 6), RGN_AND), NULLREGION);
  EXPECT_EQ(CombineRgn(out, a, b, 99), ERROR);
  for (HRGN r : {a, b, out}) DeleteObject(r);
}

TEST(RegionTest, EllipseRoundRectAndPolygon) {
  HRGN e = CreateEllipticRgn(0, 0, 8, 6);
  EXPECT_TRUE(PtInRegion(e, 4, 3));
  EXPECT_FALSE(PtInRegion(e, 0, 0));
  EXPECT_FALSE(PtInRegion(e, 7, 5));
  EXPECT_FALSE(PtInRegion(e, 8, 3));  // the right edge is outside
  TRect box;
  GetRgnBox(e, &box);
  EXPECT_EQ(box.Left, 0);
  EXPECT_LE(box.Right, 8);
  HRGN rr = CreateRoundRectRgn(0, 0, 10, 10, 6, 6);
  EXPECT_FALSE(PtInRegion(rr, 0, 0));
  EXPECT_TRUE(PtInRegion(rr, 5, 0));
  EXPECT_TRUE(PtInRegion(rr, 0, 5));
  // A five-pointed star: its middle is filled with winding, a hole with alternate.
  const TPoint star[5] = {{10, 0}, {16, 20}, {0, 7}, {20, 7}, {4, 20}};
  HRGN alt = CreatePolygonRgn(star, 5, ALTERNATE), wind = CreatePolygonRgn(star, 5, WINDING);
  EXPECT_FALSE(PtInRegion(alt, 10, 11));
  EXPECT_TRUE(PtInRegion(wind, 10, 11));
  EXPECT_TRUE(PtInRegion(alt, 10, 3));
  // A square polygon covers its pixels without the right and bottom edges.
  const TPoint sq[4] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  HRGN s = CreatePolygonRgn(sq, 4, ALTERNATE);
  EXPECT_EQ(Grid(s, 5, 5), "####.\n####.\n####.\n####.\n.....\n");
  for (HRGN r : {e, rr, alt, wind, s}) DeleteObject(r);
}

TEST(RegionTest, OffsetBoxAndEquality) {
  HRGN a = CreateRectRgn(1, 1, 3, 3), b = CreateRectRgn(3, 4, 5, 6);
  OffsetRgn(a, 2, 3);
  EXPECT_TRUE(EqualRgn(a, b));
  TRect box;
  EXPECT_EQ(GetRgnBox(a, &box), SIMPLEREGION);
  EXPECT_EQ(box, Rect(3, 4, 5, 6));
  TRect probe{0, 0, 4, 5};
  EXPECT_TRUE(RectInRegion(a, &probe));
  SetRectRgn(a, 0, 0, 0, 0);
  EXPECT_EQ(GetRgnBox(a, &box), NULLREGION);
  DeleteObject(a);
  DeleteObject(b);
}

TEST(RegionTest, RegionDataRoundTripAndHostileCounts) {
  HRGN a = CreateRectRgn(0, 0, 2, 2), b = CreateRectRgn(4, 0, 6, 2);
  CombineRgn(a, a, b, RGN_OR);
  const uint32_t need = GetRegionData(a, 0, nullptr);
  std::vector<uint8_t> buf(need);
  RGNDATA* data = reinterpret_cast<RGNDATA*>(buf.data());
  ASSERT_EQ(GetRegionData(a, need, data), need);
  EXPECT_EQ(data->rdh.nCount, 2u);
  HRGN c = ExtCreateRegion(nullptr, need, data);
  EXPECT_TRUE(EqualRgn(a, c));
  // A count larger than the block holds is refused.
  data->rdh.nCount = 1000;
  EXPECT_EQ(ExtCreateRegion(nullptr, need, data), nullptr);
  EXPECT_EQ(ExtCreateRegion(nullptr, 4, data), nullptr);
  for (HRGN r : {a, b, c}) DeleteObject(r);
}

TEST(RegionTest, ClipSelectionOnCanvas) {
  TBitmap b(6, 6);
  b.SetPixelFormat(pf24bit);
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect({0, 0, 6, 6});
  HRGN e = CreateRectRgn(1, 1, 3, 3), f = CreateRectRgn(3, 3, 5, 5);
  CombineRgn(e, e, f, RGN_OR);
  SelectClipRgn(c->Handle(), e);
  EXPECT_EQ(c->ClipRect(), Rect(1, 1, 5, 5));
  c->Brush()->SetColor(clRed);
  c->FillRect({0, 0, 6, 6});
  EXPECT_EQ(c->Pixels(1, 1), clRed);
  EXPECT_EQ(c->Pixels(4, 4), clRed);
  SelectClipRgn(c->Handle(), nullptr);
  EXPECT_EQ(c->Pixels(1, 4), clWhite);
  EXPECT_EQ(c->Pixels(0, 0), clWhite);
  // Intersecting and excluding rectangles in logical units.
  IntersectClipRect(c->Handle(), 0, 0, 3, 6);
  ExcludeClipRect(c->Handle(), 0, 0, 3, 1);
  c->Brush()->SetColor(clBlue);
  c->FillRect({0, 0, 6, 6});
  SelectClipRgn(c->Handle(), nullptr);
  EXPECT_EQ(c->Pixels(0, 0), clWhite);
  EXPECT_EQ(c->Pixels(2, 1), clBlue);
  EXPECT_EQ(c->Pixels(3, 1), clWhite);
  DeleteObject(e);
  DeleteObject(f);
}

// IntersectClipRect meets a one-rectangle clip (or none) with its rectangle directly; the clip and
// the kind it answers equal those of the region arithmetic (ExtSelectClipRgn with RGN_AND), with a
// moved origin, for empty and reversed rectangles and for a clip of several rectangles.
TEST(RegionTest, IntersectingTheClipWithARectangleEqualsTheRegionArithmetic) {
  struct Case {
    int clip;  // 0 none, 1 one rectangle, 2 two rectangles
    TRect r;
    int originX;
  } cases[] = {{0, {2, 2, 7, 9}, 0}, {1, {2, 2, 7, 9}, 0}, {1, {4, 4, 5, 5}, 3}, {1, {9, 9, 12, 12}, 0},
               {1, {6, 1, 2, 7}, 0}, {1, {3, 3, 3, 8}, 0},  {0, {-4, -4, 30, 30}, 0}, {2, {2, 0, 8, 10}, 2},
               {2, {0, 0, 3, 3}, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "clip " << c.clip << " rect " << c.r.Left << "," << c.r.Top << ","
                                    << c.r.Right << "," << c.r.Bottom << " origin " << c.originX);
    TBitmap quick(10, 10), general(10, 10);
    int kinds[2];
    HRGN got[2];
    int i = 0;
    for (TBitmap* b : {&quick, &general}) {
      HDC dc = b->Canvas()->Handle();
      if (c.clip > 0) {
        HRGN start = CreateRectRgn(1, 1, 6, 6);
        if (c.clip == 2) {
          HRGN more = CreateRectRgn(4, 5, 9, 9);
          CombineRgn(start, start, more, RGN_OR);
          DeleteObject(more);
        }
        SelectClipRgn(dc, start);
        DeleteObject(start);
      }
      SetWindowOrgEx(dc, c.originX, 0, nullptr);
      if (b == &quick) {
        kinds[i] = IntersectClipRect(dc, c.r.Left, c.r.Top, c.r.Right, c.r.Bottom);
      } else {
        if (c.clip == 0) {
          HRGN all = CreateRectRgn(0, 0, 10, 10);
          SelectClipRgn(dc, all);
          DeleteObject(all);
        }
        const TRect n = Rect(std::min(c.r.Left, c.r.Right) - c.originX, std::min(c.r.Top, c.r.Bottom),
                             std::max(c.r.Left, c.r.Right) - c.originX, std::max(c.r.Top, c.r.Bottom));
        HRGN with = CreateRectRgn(n.Left, n.Top, n.Right, n.Bottom);
        kinds[i] = ExtSelectClipRgn(dc, with, RGN_AND);
        DeleteObject(with);
      }
      got[i] = CreateRectRgn(0, 0, 0, 0);
      EXPECT_EQ(GetClipRgn(dc, got[i]), 1);
      SetWindowOrgEx(dc, 0, 0, nullptr);
      ++i;
    }
    EXPECT_EQ(kinds[0], kinds[1]);
    EXPECT_EQ(Grid(got[0], 12, 12), Grid(got[1], 12, 12));
    EXPECT_TRUE(EqualRgn(got[0], got[1]));
    DeleteObject(got[0]);
    DeleteObject(got[1]);
  }
}

TEST(RegionTest, PolyPolygonByFillMode) {
  // Two nested squares: alternate leaves a hole, winding (same direction) fills it.
  const TPoint pts[8] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {3, 3}, {7, 3}, {7, 7}, {3, 7}};
  const int32_t counts[2] = {4, 4};
  HRGN alt = CreatePolyPolygonRgn(pts, counts, 2, ALTERNATE), wind = CreatePolyPolygonRgn(pts, counts, 2, WINDING);
  EXPECT_FALSE(PtInRegion(alt, 5, 5));
  EXPECT_TRUE(PtInRegion(alt, 1, 5));
  EXPECT_TRUE(PtInRegion(wind, 5, 5));
  EXPECT_FALSE(PtInRegion(wind, 10, 5));
  DeleteObject(alt);
  DeleteObject(wind);
  // Large coordinates build quickly (scan conversion, not pixel probing); absurd ones neither
  // hang nor crash.
  const TPoint big[3] = {{0, 0}, {60000, 0}, {0, 60000}};
  HRGN b = CreatePolygonRgn(big, 3, ALTERNATE);
  EXPECT_TRUE(PtInRegion(b, 10, 10));
  DeleteObject(b);
  const TPoint absurd[3] = {{-2000000000, 0}, {2000000000, 0}, {0, 2000000000}};
  DeleteObject(CreatePolygonRgn(absurd, 3, WINDING));
}

TEST(RegionTest, ShapesMadeWithinARectangleAreTheirPartInside) {
  // A star, an ellipse and a rounded rectangle, each made whole and made within windows: the part
  // inside the window, exactly.
  const TPoint star[] = {{50, 0}, {62, 36}, {100, 36}, {70, 59}, {81, 95}, {50, 73}, {19, 95}, {30, 59}, {0, 36}, {39, 36}};
  const TRect windows[] = {{10, 20, 70, 60}, {-5, -5, 3, 200}, {60, 90, 61, 91}, {40, 40, 40, 80}, {0, 0, 100, 100}};
  for (const TRect& w : windows) {
    HRGN clip = CreateRectRgn(w.Left, w.Top, w.Right, w.Bottom);
    const auto same = [&](HRGN whole, HRGN part, const char* what) {
      HRGN expected = CreateRectRgn(0, 0, 0, 0);
      CombineRgn(expected, whole, clip, RGN_AND);
      EXPECT_TRUE(EqualRgn(expected, part)) << what << " within " << w.Left << "," << w.Top << "," << w.Right << "," << w.Bottom;
      for (HRGN r : {whole, part, expected}) DeleteObject(r);
    };
    same(CreatePolygonRgn(star, 10, WINDING), CreatePolygonRgn(star, 10, WINDING, &w), "star");
    same(CreatePolygonRgn(star, 10, ALTERNATE), CreatePolygonRgn(star, 10, ALTERNATE, &w), "star, alternate");
    same(CreateEllipticRgn(3, 7, 91, 70), CreateEllipticRgn(3, 7, 91, 70, &w), "ellipse");
    same(CreateRoundRectRgn(-20, 10, 80, 95, 40, 30), CreateRoundRectRgn(-20, 10, 80, 95, 40, 30, &w), "round rectangle");
    same(CreateRoundRectRgn(5, 5, 50, 50, 1, 1), CreateRoundRectRgn(5, 5, 50, 50, 1, 1, &w), "rectangle");
    DeleteObject(clip);
  }
  // A triangle a million pixels high costs only the rows within the window.
  const TPoint huge[] = {{-1000000, -1000000}, {1000000, -1000000}, {0, 1000000}};
  const TRect small{0, 0, 50, 30};
  HRGN r = CreatePolygonRgn(huge, 3, WINDING, &small);
  TRect box;
  GetRgnBox(r, &box);
  EXPECT_EQ(box, small);
  DeleteObject(r);
}

TEST(RegionTest, ManyRectanglesBecomeTheBandsTheirUnionHas) {
  // Overlapping, touching, nested, reversed and empty rectangles in one block: the same region, rect
  // for rect, as joining them one at a time.
  uint32_t seed = 12345;
  const auto next = [&](int32_t range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int round = 0; round < 20; ++round) {
    const int32_t n = 1 + next(300);
    std::vector<char> block(sizeof(RGNDATAHEADER) + sizeof(TRect) * n);
    auto* data = reinterpret_cast<RGNDATA*>(block.data());
    data->rdh = RGNDATAHEADER{};
    data->rdh.nCount = static_cast<uint32_t>(n);
    HRGN joined = CreateRectRgn(0, 0, 0, 0);
    for (int32_t i = 0; i < n; ++i) {
      const int32_t x = next(60) - 5, y = next(60) - 5;
      const TRect r{x, y, x + next(25) - 2, y + next(25) - 2};  // some empty, some reversed
      std::memcpy(data->Buffer + i * sizeof(TRect), &r, sizeof r);
      if (r.Right > r.Left && r.Bottom > r.Top) {
        HRGN one = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
        CombineRgn(joined, joined, one, RGN_OR);
        DeleteObject(one);
      }
    }
    HRGN all = ExtCreateRegion(nullptr, static_cast<uint32_t>(block.size()), data);
    ASSERT_NE(all, nullptr);
    EXPECT_TRUE(EqualRgn(all, joined)) << round;
    const uint32_t size = GetRegionData(all, 0, nullptr);
    EXPECT_EQ(size, GetRegionData(joined, 0, nullptr)) << round;
    std::vector<char> a(size), b(size);
    GetRegionData(all, size, reinterpret_cast<RGNDATA*>(a.data()));
    GetRegionData(joined, size, reinterpret_cast<RGNDATA*>(b.data()));
    EXPECT_EQ(a, b) << round;
    DeleteObject(all);
    DeleteObject(joined);
  }
}
