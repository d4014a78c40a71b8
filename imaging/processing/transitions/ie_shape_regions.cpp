#include "imaging/processing/transitions/ie_shape_regions.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_effect_draw.h"

namespace {

// ---- The polygon shapes ---------------------------------------------------------------------------

// A point of a shape as thousandths of its box, x across and y down.
struct TShapePoint {
  int16_t X, Y;
};

constexpr TShapePoint kStar5[] = {{500, 0},   {620, 360}, {1000, 360}, {700, 590}, {810, 950}, {500, 730},
                                  {190, 950}, {310, 590}, {0, 360},    {390, 360}, {500, 0}};
constexpr TShapePoint kStar6[] = {{500, 0},   {625, 250}, {900, 250}, {750, 500}, {900, 750},
                                  {625, 750}, {500, 1000}, {375, 750}, {100, 750}, {250, 500},
                                  {100, 250}, {375, 250}, {500, 0}};
constexpr TShapePoint kArrow[] = {{0, 0}, {400, 0}, {300, 100}, {1000, 800}, {800, 1000}, {100, 300}, {0, 400}, {0, 0}};
constexpr TShapePoint kFeatheredArrow[] = {
    {850, 1000}, {800, 950}, {800, 850}, {775, 825}, {775, 925}, {725, 875}, {725, 775}, {700, 750},
    {700, 850},  {650, 800}, {650, 700}, {150, 200}, {150, 300}, {0, 150},   {0, 0},     {150, 0},
    {300, 150},  {200, 150}, {700, 650}, {800, 650}, {850, 700}, {750, 700}, {775, 725}, {875, 725},
    {925, 775},  {825, 775}, {850, 800}, {950, 800}, {1000, 850}, {850, 850}, {850, 1000}};
constexpr TShapePoint kLightningBolt[] = {{1000, 190}, {610, 10},  {410, 290}, {490, 310}, {230, 550}, {330, 600},
                                          {0, 1000},   {510, 690}, {460, 650}, {780, 450}, {660, 390}, {1000, 190}};
constexpr TShapePoint kExplosion[] = {{330, 0},   {500, 260}, {620, 110}, {670, 280}, {990, 100}, {780, 350}, {1000, 390},
                                      {840, 540}, {990, 660}, {750, 640}, {780, 810}, {650, 710}, {610, 1000}, {510, 690},
                                      {380, 890}, {350, 660}, {170, 830}, {220, 590}, {0, 610},   {190, 480}, {40, 370},
                                      {220, 340}, {160, 200}, {350, 250}, {330, 10}};
static_assert(std::size(kStar5) == 11 && std::size(kStar6) == 13 && std::size(kArrow) == 8 &&
              std::size(kFeatheredArrow) == 31 && std::size(kLightningBolt) == 12 && std::size(kExplosion) == 25);

// How a shape's box is fitted into the box asked for.
enum class TShapeBox : uint8_t {
  Square,    // the largest square, centred
  NoWider,   // as high as asked, at most as wide as high, centred across
  Whole,     // the box as asked
};

struct TPolygonShape {
  std::span<const TShapePoint> Points;
  TShapeBox Box;
  bool MirrorX, MirrorY;
};

// The polygon shapes by code; the cross (10) and the heart (15) are built apart.
constexpr TPolygonShape kPolygonShapes[tsShapeCount] = {
    {kStar5, TShapeBox::Square, false, false},
    {kStar6, TShapeBox::Square, false, false},
    {kArrow, TShapeBox::Square, false, false},
    {kArrow, TShapeBox::Square, true, false},
    {kArrow, TShapeBox::Square, false, true},
    {kArrow, TShapeBox::Square, true, true},
    {kLightningBolt, TShapeBox::NoWider, false, false},
    {kLightningBolt, TShapeBox::NoWider, true, false},
    {kExplosion, TShapeBox::Whole, false, false},
    {kExplosion, TShapeBox::Whole, true, true},
    {{}, TShapeBox::Whole, false, false},  // the cross
    {kFeatheredArrow, TShapeBox::Square, false, false},
    {kFeatheredArrow, TShapeBox::Square, true, false},
    {kFeatheredArrow, TShapeBox::Square, false, true},
    {kFeatheredArrow, TShapeBox::Square, true, true},
    {{}, TShapeBox::Square, false, false},  // the heart
};

// Round(Length x Thousandths / 1000), halves to even, in integers: the tables' values are exact
// decimals, which a binary fraction is not (Round(45 x 0.7) is 32; in doubles 45 x 0.7 is just
// below 31.5).
int64_t ScaleThousandths(int64_t Length, int32_t Thousandths) {
  const int64_t n = Length * Thousandths;
  int64_t q = n / 1000;
  const int64_t r = n % 1000;
  if (r > 500 || (r == 500 && (q & 1))) ++q;
  return q;
}

// A box in 64 bits, so that a box far off the frame never wraps around.
struct TBox {
  int64_t X, Y, W, H;
};

TBox Fitted(TBox B, TShapeBox Kind) {
  if (Kind == TShapeBox::Square) {
    const int64_t s = std::min(B.W, B.H);
    B.X += (B.W - s) / 2;
    B.Y += (B.H - s) / 2;
    B.W = B.H = s;
  } else if (Kind == TShapeBox::NoWider && B.W > B.H) {
    B.X += (B.W - B.H) / 2;
    B.W = B.H;
  }
  return B;
}

std::vector<TPoint> PolygonPoints(const TPolygonShape& Shape, const TBox& B) {
  std::vector<TPoint> points;
  points.reserve(Shape.Points.size());
  for (const TShapePoint& p : Shape.Points) {
    const int32_t px = Shape.MirrorX ? 1000 - p.X : p.X, py = Shape.MirrorY ? 1000 - p.Y : p.Y;
    points.push_back({EffectCoord(ScaleThousandths(B.W - 1, px) + B.X), EffectCoord(ScaleThousandths(B.H - 1, py) + B.Y)});
  }
  return points;
}

// The cross: two bars, the vertical one centred, the horizontal one a third of the way down; the
// cross is at most three quarters as wide as high.
HRGN Cross(TBox B) {
  const int64_t most = EffectRound(0.75 * static_cast<double>(B.H));
  if (B.W > most) {
    B.X += (B.W - most) / 2;
    B.W = most;
  }
  const int64_t t = std::min(EffectRound(0.2 * static_cast<double>(B.W)), EffectRound(0.22 * static_cast<double>(B.H)));
  const int64_t vx = B.X + (B.W - t) / 2;
  const int64_t hy = B.Y + EffectRound(static_cast<double>(B.H - t) * static_cast<double>(0.33f));
  TComplexRegion bars;
  bars.AddRect(EffectCoord(vx), EffectCoord(B.Y), EffectCoord(vx + t), EffectCoord(B.Y + B.H));
  bars.AddRect(EffectCoord(B.X), EffectCoord(hy), EffectCoord(B.X + B.W), EffectCoord(hy + t));
  return bars.CreateRegion();
}

// The point at Angle degrees (0 at twelve o'clock, clockwise) on the circle of Radius about
// (CX, CY).
TPoint OnCircle(double CX, double CY, double Radius, double Angle) {
  const double t = (Angle - 90) * std::numbers::pi / 180;
  return {EffectCoord(EffectRound(std::cos(t) * Radius + CX)),
          EffectCoord(EffectRound(std::sin(t) * Radius + CY))};
}

// The heart in a square: two round lobes at the top corners, a triangle from the lobes' outer
// flanks to the point at the bottom centre, and a rectangle filling the notch between the lobes.
HRGN Heart(const TBox& B, const TRect* Window) {
  const int64_t s = B.W, half = s / 2, quarter = s / 4, d = half + 2, r = d / 2;
  const auto x = [&](int64_t v) { return EffectCoord(B.X + v); };
  const auto y = [&](int64_t v) { return EffectCoord(B.Y + v); };
  TComplexRegion heart;
  TOwnedRegion part(CreateEllipticRgn(x(0), y(0), x(d), y(d), Window));
  heart.AddRegion(part.Get());
  part.Reset(CreateEllipticRgn(x(s - d), y(0), x(s), y(d), Window));
  heart.AddRegion(part.Get());
  const double q = static_cast<double>(quarter), radius = static_cast<double>(r - 1);
  const TPoint p1 = OnCircle(q, q, radius, 233.14), p2 = OnCircle(static_cast<double>(s - quarter), q, radius, 126.86);
  const TPoint triangle[3] = {{x(p1.X), y(p1.Y)}, {x(p2.X), y(p2.Y)}, {x(half), y(s)}};
  part.Reset(CreatePolygonRgn(triangle, 3, WINDING, Window));
  heart.AddRegion(part.Get());
  heart.AddRect(x(r), y(r), x(s - r), y(d));
  return heart.CreateRegion();
}

HRGN EmptyRegion() { return CreateRectRgn(0, 0, 0, 0); }

}  // namespace

HRGN CreateShapeRegion(uint8_t Shape, int32_t X, int32_t Y, int32_t W, int32_t H, const TRect* Window) {
  const uint8_t code = Shape & 0x7F;
  if (code >= tsShapeCount) return nullptr;
  if (W <= 0 || H <= 0) return EmptyRegion();
  const TPolygonShape& shape = kPolygonShapes[code];
  const TBox box = Fitted({X, Y, W, H}, shape.Box);
  if (code == tsCross) return Cross(box);
  if (code == tsHeart) return Heart(box, Window);
  const std::vector<TPoint> points = PolygonPoints(shape, box);
  return CreatePolygonRgn(points.data(), static_cast<int32_t>(points.size()), WINDING, Window);
}

std::vector<TPoint> ShapePolygon(uint8_t Shape, int32_t X, int32_t Y, int32_t W, int32_t H) {
  const uint8_t code = Shape & 0x7F;
  if (code >= tsShapeCount || code == tsCross || code == tsHeart || W <= 0 || H <= 0) return {};
  const TPolygonShape& shape = kPolygonShapes[code];
  return PolygonPoints(shape, Fitted({X, Y, W, H}, shape.Box));
}

HRGN CreateShapeRegion(uint8_t Shape, const TRect& Box, const TRect* Window) {
  return CreateShapeRegion(Shape, Box.Left, Box.Top, Box.Width(), Box.Height(), Window);
}

std::vector<TPoint> SectorPoints(int32_t CX, int32_t CY, int32_t Radius, double StartAngle, double EndAngle,
                                 int32_t Count) {
  // More points than a hundred times the engine's finest sweep make no other shape.
  constexpr int32_t kMostPoints = 1 << 16;
  if (Count > kMostPoints) return {};
  std::vector<TPoint> points{{CX, CY}};
  if (Count <= 0) return points;  // the centre alone: no step to take
  const double step = (EndAngle - StartAngle) / Count;
  points.reserve(static_cast<size_t>(Count) + 1);
  for (int32_t k = 0; k < Count; ++k) {
    const double a = StartAngle + k * step;
    points.push_back({EffectCoord(EffectRound(Radius * std::cos(a)) + CX), EffectCoord(EffectRound(Radius * std::sin(a)) + CY)});
  }
  return points;
}

HRGN CreateSectorRegion(int32_t CX, int32_t CY, int32_t Radius, double StartAngle, double EndAngle, int32_t Count,
                        const TRect* Window) {
  const std::vector<TPoint> points = SectorPoints(CX, CY, Radius, StartAngle, EndAngle, Count);
  if (points.empty()) return nullptr;
  return CreatePolygonRgn(points.data(), static_cast<int32_t>(points.size()), WINDING, Window);
}

HRGN CreatePointListRegion(std::span<const int32_t> Coordinates) {
  const size_t count = Coordinates.size() / 2;
  if (count == 0) return EmptyRegion();
  std::vector<TPoint> points(count);
  for (size_t i = 0; i < count; ++i) points[i] = {Coordinates[2 * i], Coordinates[2 * i + 1]};
  return CreatePolygonRgn(points.data(), static_cast<int32_t>(std::min<size_t>(count, INT32_MAX)), WINDING);
}

void RotatePoints(std::span<TPoint> Points, int32_t CX, int32_t CY, double Angle) {
  const double c = std::cos(Angle), s = std::sin(Angle);
  for (TPoint& p : Points) {
    const double dx = static_cast<double>(int64_t{p.X} - CX), dy = static_cast<double>(int64_t{p.Y} - CY);
    p.X = EffectCoord(CX + EffectRound(c * dx - s * dy));
    p.Y = EffectCoord(CY + EffectRound(s * dx + c * dy));
  }
}
