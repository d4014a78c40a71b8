#pragma once
// What the region effects (rows 77 .. 214 but the block effects among them) must show at the first
// and the last percent of a run, worked out from the effects' geometry: which pixels must show the
// end picture at 100 %, and which may change at 0 %. Shapes are built with the shape tools and
// checked only at points well inside or outside them.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_shape_regions.h"
#include "platform/system/mul_div.h"
#include "tests/imaging/processing/transitions/region_test_support.h"

namespace region_rows {

using region_test::Settled;

inline bool IsRegionRow(int32_t Id) {
  return (Id >= 77 && Id <= 150) || (Id >= 159 && Id <= 185) || (Id >= 190 && Id <= 214);
}
inline bool IsShredded(int32_t Id) { return Id >= 95 && Id <= 112; }
inline bool IsSpeckled(int32_t Id) { return Id >= 147 && Id <= 150; }
// Rows whose frame restarts from the start picture: the cross wipes copy it before the cross.
inline bool Restarts(int32_t Id) { return Id == 209 || Id == 210; }
// Rows whose region of a percent need not hold the regions before it, so that a frame depends on
// the percents drawn before: edges drawn at random, turning polygons, slats whose spacing follows
// the percent, shapes whose rounded corners shift as they grow, random grids (their cells follow
// the end picture, another one in each engine), and the crosses.
inline bool Accumulates(int32_t Id) {
  return IsShredded(Id) || IsSpeckled(Id) || (Id >= 143 && Id <= 146) || Id == 169 || Id == 170 ||
         (Id >= 161 && Id <= 168) || Id == 114 || Id == 184 || Id == 185 || Id >= 192;
}

// The kinds of the shredded and speckled rows (horizontal, vertical), from the effect list.
struct TEdgeKinds {
  int32_t H, V;
};
inline TEdgeKinds EdgeKinds(int32_t Id) {
  static const TEdgeKinds shredded[18] = {{2, 0}, {1, 0}, {0, 2}, {0, 1}, {2, 2}, {1, 2}, {2, 1}, {1, 1}, {2, 3},
                                          {1, 3}, {3, 2}, {3, 1}, {3, 3}, {4, 4}, {0, 4}, {4, 0}, {0, 3}, {3, 0}};
  static const TEdgeKinds speckled[4] = {{2, 0}, {1, 0}, {0, 2}, {0, 1}};
  return IsShredded(Id) ? shredded[Id - 95] : speckled[Id - 147];
}

// On an odd side, one-pixel seams on the centre lines and the far edges, and slivers at the
// corners where shapes meeting at the centre line miss the frame's far side by a pixel.
inline bool OddSeam(int32_t W, int32_t H, int32_t X, int32_t Y) {
  if (!(W & 1) && !(H & 1)) return false;
  const bool corner = std::min(X, W - 1 - X) <= 2 && std::min(Y, H - 1 - Y) <= 2;
  return corner || ((W & 1) && (X >= W - 1 || std::abs(X - W / 2) <= 1)) ||
         ((H & 1) && (Y >= H - 1 || std::abs(Y - H / 2) <= 1));
}

// Rows built about the centre or on halves of the frame, which leave seams on odd sides.
inline bool Centred(int32_t Id) {
  return (Id >= 103 && Id <= 112) || Id == 117 || Id == 118 || (Id >= 139 && Id <= 146) ||
         (Id >= 169 && Id <= 183) || Id == 190 || Id == 191 || (Id >= 202 && Id <= 210);
}

// Whether a part of an edge of kind Kind along a side of Length can reach Pos at percent 0: the
// jitter or the speckle zone is a tenth of the side, at the side it starts from.
inline bool InEdgeStartZone(int32_t Kind, int32_t Pos, int32_t Length) {
  const int32_t tenth = Length / 10 + 1;
  switch (Kind) {
    case 0:
      return false;
    case 1:
      return Pos >= Length - tenth;
    case 2:
      return Pos < tenth;
    case 3:
      return std::abs(Pos - Length / 2) <= tenth / 2 + 1;
    default:
      return Pos < tenth / 2 + 1 || Pos >= Length - tenth / 2 - 1;
  }
}

inline void AddShape(TComplexRegion& Out, uint8_t Shape, int64_t L, int64_t T, int64_t R, int64_t B) {
  TOwnedRegion r(Shape == 255 ? CreateEllipticRgn(static_cast<int32_t>(L), static_cast<int32_t>(T), static_cast<int32_t>(R),
                                                  static_cast<int32_t>(B))
                              : CreateShapeRegion(Shape, TRect{static_cast<int32_t>(L), static_cast<int32_t>(T),
                                                               static_cast<int32_t>(R), static_cast<int32_t>(B)}));
  Out.AddRegion(r.Get());
}

// The part that must show the end picture at 100 % for rows whose shapes do not cover the frame:
// outward shape wipes and in-and-out wipes (the shape at its box of 100 %), and the grids of shapes
// that do not tile (their cells at 100 %). Null for the other rows.
inline TOwnedRegion ShapesAt100(int32_t Id, int32_t W, int32_t H) {
  TComplexRegion shapes;
  const int64_t cx = W / 2, cy = H / 2, side = std::min(W, H);
  struct Wipe {
    int32_t id;
    uint8_t shape;
    float ratio;
  };
  // Outward shape wipes: the shape in (cx - rx, cy - ry, cx + rx, cy + ry), rx = Round(W x ratio).
  for (const Wipe& w : {Wipe{201, tsHeart, 1.3f}, Wipe{203, tsStar5, 1.6f}, Wipe{205, tsStar6, 1.3f},
                        Wipe{207, tsExplosion, 1.0f}, Wipe{209, tsCross, 3.6f}})
    if (Id == w.id) {
      const int64_t rx = std::llrint(W * static_cast<double>(w.ratio)), ry = std::llrint(H * static_cast<double>(w.ratio));
      AddShape(shapes, w.shape, cx - rx, cy - ry, cx + rx, cy + ry);
    }
  // In-and-out wipes: the outer shape in (-l, -m, 2cx + l, 2cy + m), l = Round(ratio x cx); the
  // inner one has shrunk to nothing.
  for (const Wipe& w : {Wipe{211, tsHeart, 1.6f}, Wipe{212, tsStar5, 2.4f}, Wipe{213, tsStar6, 1.6f},
                        Wipe{214, tsExplosion, 1.1f}})
    if (Id == w.id) {
      const int64_t l = std::llrint(w.ratio * static_cast<double>(cx)), m = std::llrint(w.ratio * static_cast<double>(cy));
      AddShape(shapes, w.shape, -l, -m, 2 * cx + l, 2 * cy + m);
    }
  // Expanding triangles: a grid of its own, triangles 4 cells wide.
  if (Id == 114) {
    const int64_t gx = W / 10 + 1, gy = H / 10 + 1;
    for (int64_t x = gx; x < W; x += 2 * gx)
      for (int64_t y = gy; y < H + gy; y += 2 * gy) {
        const TPoint t[3] = {{static_cast<int32_t>(x - 2 * gx), static_cast<int32_t>(y - 2 * gy)},
                             {static_cast<int32_t>(x), static_cast<int32_t>(y + 2 * gy)},
                             {static_cast<int32_t>(x + 2 * gx), static_cast<int32_t>(y - 2 * gy)}};
        TOwnedRegion r(CreatePolygonRgn(t, 3, WINDING));
        shapes.AddRegion(r.Get());
      }
  }
  // Random shapes, every cell shown at 100 %: r = side div N + 1 at d, 3d, ... below W and H.
  struct Random {
    int32_t id;
    uint8_t shape;
    int32_t n;
    float ratio;
  };
  for (const Random& g : {Random{192, tsHeart, 12, 0.6f}, Random{193, tsStar5, 14, 0.4f}, Random{194, tsStar6, 14, 0.4f},
                          Random{195, tsExplosion, 18, 0.5f}})
    if (Id == g.id) {
      const int64_t r = side / g.n + 1, d = std::max<int64_t>(static_cast<int64_t>(r * static_cast<double>(g.ratio)), 1);
      for (int64_t x = d; x < W; x += 2 * d)
        for (int64_t y = d; y < H; y += 2 * d) AddShape(shapes, g.shape, x - r, y - r, x + r, y + r);
    }
  // Expanding shapes: g = side div 10 + 1, boxes of half-side Round(g x factor) / 2 at g, 3g, ...
  // each loop stepping on while short of the side.
  for (const Wipe& w : {Wipe{196, tsHeart, 3}, Wipe{197, tsStar5, 4}, Wipe{198, tsStar6, 4}, Wipe{199, tsExplosion, 4},
                        Wipe{200, tsLightningBolt, 6}})
    if (Id == w.id) {
      const int64_t g = side / 10 + 1;
      const int64_t s = MulDiv(static_cast<int32_t>(std::llrint(g * static_cast<double>(w.ratio))), 100, 200);
      for (int64_t x = g; x - g < W; x += 2 * g)
        for (int64_t y = g; y - g < H; y += 2 * g) AddShape(shapes, w.shape, x - s, y - s, x + s, y + s);
    }
  return TOwnedRegion(shapes.CreateRegion());
}

// The four triangles of the diagonal crosses when they meet at the centre ("to the centre" at 100 %,
// "from the centre" at 0 %): (0, 0), (cx, cy), (0, 2cy) and its turns about the centre. On an odd
// side they leave slivers along the diagonals.
inline TOwnedRegion DiagonalTriangles(int32_t W, int32_t H) {
  const int32_t cx = W / 2, cy = H / 2;
  const TPoint t[4][3] = {{{0, 0}, {cx, cy}, {0, 2 * cy}},
                          {{W, 0}, {W - cx, cy}, {W, 2 * cy}},
                          {{0, 0}, {cx, cy}, {2 * cx, 0}},
                          {{0, H}, {cx, H - cy}, {2 * cx, H}}};
  TComplexRegion all;
  for (const auto& triangle : t) {
    TOwnedRegion r(CreatePolygonRgn(triangle, 3, WINDING));
    all.AddRegion(r.Get());
  }
  return TOwnedRegion(all.CreateRegion());
}

// The angle of a pixel's centre about (CX, CY), clockwise from twelve o'clock, in degrees.
inline double ClockAngle(int32_t X, int32_t Y, int32_t CX, int32_t CY) {
  const double a = std::atan2(X + 0.5 - CX, -(Y + 0.5 - CY)) * 180 / std::numbers::pi;
  return a < 0 ? a + 360 : a;
}

// Where, at 100 %, the end picture must show: one flag a pixel.
inline std::vector<bool> MustShowEnd(int32_t Id, int32_t W, int32_t H) {
  std::vector<bool> must(static_cast<size_t>(W) * H, true);
  const auto each = [&](auto&& fn) {
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x)
        if (fn(x, y)) must[static_cast<size_t>(y) * W + x] = false;
  };
  const int32_t cx = W / 2, cy = H / 2;
  if (Id == 178) {
    const TOwnedRegion cross = DiagonalTriangles(W, H);
    each([&](int32_t x, int32_t y) { return !PtInRegion(cross.Get(), x, y); });
    return must;
  }
  const TOwnedRegion shapes = ShapesAt100(Id, W, H);
  if (shapes) {
    // Only well inside the shapes.
    each([&](int32_t x, int32_t y) { return !PtInRegion(shapes.Get(), x, y) || !Settled(shapes.Get(), x, y); });
    return must;
  }
  if (Centred(Id)) each([&](int32_t x, int32_t y) { return OddSeam(W, H, x, y); });
  if (Id == 139)  // the last 3.6 degrees before twelve o'clock stay open
    each([&](int32_t x, int32_t y) { return ClockAngle(x, y, cx, cy) >= 355 || std::hypot(x + 0.5 - cx, y + 0.5 - cy) < 2; });
  if (Id == 140)
    each([&](int32_t x, int32_t y) { return ClockAngle(x, y, cx, cy) <= 5 || std::hypot(x + 0.5 - cx, y + 0.5 - cy) < 2; });
  if (Id == 179)  // twelve points a tenth of the width apart
    each([&](int32_t x, int32_t) { return x >= 11 * (W / 10); });
  if (Id == 180) each([&](int32_t, int32_t y) { return y >= 11 * (H / 10); });
  if (Id == 159 || Id == 160) {
    // Bands at n, 3n, 5n, ... below the side, n wide each way.
    const int32_t side = Id == 159 ? H : W, n = side / 40 + 1;
    int32_t last = 0;
    for (int32_t v = n; v < side; v += 2 * n) last = v + n;
    each([&](int32_t x, int32_t y) { return (Id == 159 ? y : x) >= last; });
  }
  if (Id == 185) {
    // Boxes of c either way at c, 3c, ... below W and H.
    const int32_t c = std::min(W, H) / 20 + 1;
    int32_t lastX = 0, lastY = 0;
    for (int32_t v = c; v < W; v += 2 * c) lastX = v + c;
    for (int32_t v = c; v < H; v += 2 * c) lastY = v + c;
    each([&](int32_t x, int32_t y) { return x >= lastX || y >= lastY; });
  }
  return must;
}

// Whether a pixel may change at 0 %.
inline bool MayChangeAtZero(int32_t Id, int32_t W, int32_t H, int32_t X, int32_t Y, HRGN HoleAtZero) {
  if (IsShredded(Id) || IsSpeckled(Id)) {
    const TEdgeKinds k = EdgeKinds(Id);
    return InEdgeStartZone(k.H, X, W) || InEdgeStartZone(k.V, Y, H);
  }
  if (Id == 177) {
    const TOwnedRegion cross = DiagonalTriangles(W, H);
    return !PtInRegion(cross.Get(), X, Y);
  }
  if (Id == 190) return X >= 11 * (W / 10) || OddSeam(W, H, X, Y);
  if (Id == 191) return Y >= 11 * (H / 10) || OddSeam(W, H, X, Y);
  if (HoleAtZero) return !PtInRegion(HoleAtZero, X, Y) || !Settled(HoleAtZero, X, Y) || OddSeam(W, H, X, Y);
  return Centred(Id) && OddSeam(W, H, X, Y);
}

// The hole of an inward shape wipe at 0 %: the shape in its box with A = B = 0.
inline TOwnedRegion HoleAtZero(int32_t Id, int32_t W, int32_t H) {
  struct Wipe {
    int32_t id;
    uint8_t shape;
    float ratio;
  };
  const int64_t cx = W / 2, cy = H / 2;
  for (const Wipe& w : {Wipe{202, tsHeart, 1.3f}, Wipe{204, tsStar5, 1.6f}, Wipe{206, tsStar6, 1.3f},
                        Wipe{208, tsExplosion, 1.0f}, Wipe{210, tsCross, 3.5f}})
    if (Id == w.id) {
      const int64_t gx = w.ratio == 1.0f ? 0 : std::llrint(W * static_cast<double>(w.ratio)) / 2;
      const int64_t gy = w.ratio == 1.0f ? 0 : std::llrint(H * static_cast<double>(w.ratio)) / 2;
      TComplexRegion hole;
      AddShape(hole, w.shape, -cx - gx, -cy - gy, 3 * cx + gx, 3 * cy + gy);
      return TOwnedRegion(hole.CreateRegion());
    }
  return {};
}

}  // namespace region_rows
