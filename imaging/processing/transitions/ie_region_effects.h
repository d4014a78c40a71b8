#pragma once
// The clip-region effects: procedures that uncover the end picture through a region whose shape
// follows the percent. Each family is one routine over a constant description of its row, bound
// to the effect table as RegionEffect<description>; everything outside the region keeps the
// previous frame, so most of them only ever add end-picture pixels.
//
// The geometry is written in the frame's quantities: W, H (the frame), A, B (the frame scaled to
// the percent), cx = W div 2, cy = H div 2, a2 = A div 2, b2 = B div 2.
#include <cstdint>

#include "imaging/processing/transitions/ie_block_effects.h"
#include "imaging/processing/transitions/ie_region_effect_draw.h"
#include "imaging/processing/transitions/ie_shape_regions.h"

// Curved wipes: a rounded rectangle growing in from a side or a corner.
struct TRoundRect {
  int64_t Left, Top, Right, Bottom;
  int64_t CornerWidth, CornerHeight;  // the corner ellipse
};
struct TCurvedWipe {
  TRoundRect (*Shape)(const TFrameGeometry&);
};

// Bars and crisscross wipes: CreateBarsRegion with XP = XFactor x A and YP = YFactor x B (2 for
// the two-pass rows), and, when AndHorizontalKind or AndVerticalKind is set, only where the bars
// of those kinds are too.
struct TBarsWipe {
  int8_t XFactor, YFactor;
  int8_t HorizontalKind, VerticalKind;
  int8_t AndHorizontalKind = 0, AndVerticalKind = 0;
};

// Shredded and speckled wipes: CreateShreddedRegion or CreateSpeckledRegion with (A, B), drawn anew
// at random on every call.
struct TEdgeWipe {
  bool Speckled;
  int8_t HorizontalKind, VerticalKind;
};

// Blinds and rectangles. Columns: the slats are columns (they widen along x), else rows.
enum class TBlindsKind : uint8_t {
  Even,        // bands W (or H) div 40 + 1 apart on every other band, widening both ways
  Uneven,      // slats every A (or B), widening from one side
  Rectangles,  // bands every third twentieth across the slats, and the slats of Uneven
};
struct TBlinds {
  TBlindsKind Kind;
  bool Columns;
  bool FromEnd;  // slats widen from the right (the bottom)
};

// Polygon wipes: up to four polygons (winding rule) of points in the frame's terms, united; with
// XorFrame the frame rectangle is shown around them instead.
struct TPolygonWipe {
  struct TPolygon {
    uint8_t Count;
    TBlockPoint Points[4];
  };
  TPolygon Polygons[4];
  bool XorFrame = false;
};

// Zigzag wipes: a band of zigzag edges about the horizon (or the vertical centre line, Vertical)
// that widens with the percent; ToCentre runs the band backwards, showing the start picture
// through it over the end picture.
struct TZigzagWipe {
  bool Vertical;
  bool ToCentre;
};

// Sweeps: a fan about the centre from twelve o'clock, one point a percent.
struct TSweep {
  bool CounterClockwise;
};

// Rotating polygons: a rectangle of a2 x b2 half-sides, or a four-pointed star, about the centre
// (or about (A, B)), one turn over the run.
struct TRotatingPolygon {
  bool Star;
  bool AboutAB;
  bool CounterClockwise;
};

// Grids of growing shapes, one at each centre g, 3g, 5g, ... each way (g = min(W, H) div 10 + 1).
enum class TGridKind : uint8_t {
  Squares,    // squares of half-side MulDiv(g, Percent, 100)
  Triangles,  // downward triangles on a grid of its own, W div 10 + 1 by H div 10 + 1
  Diamonds,   // diamonds of half-diagonal MulDiv(g, Percent, 50)
  Shapes,     // Shape (kEllipse: an ellipse) in a box of MulDiv(Round(g x Factor), Percent, 200)
};
constexpr uint8_t kEllipse = 255;
struct TShapeGrid {
  TGridKind Kind;
  uint8_t Shape = 0;
  float Factor = 0;
};

// Random grids: the cells of a grid shown at random as the percent grows, the same cells on every
// call for the same end picture. Boxes: squares of c = min(W, H) div 20 + 1 at c, 3c, ...; else
// Shape in boxes of r = min(W, H) div N + 1 at d, 3d, ..., d = Trunc(r x Ratio); Alternate draws
// Shape at even percents and Shape + 1 at odd ones.
struct TRandomGrid {
  bool Boxes;
  uint8_t Shape = 0;
  int8_t N = 0;
  float Ratio = 0;
  bool Alternate = false;
};

// Shape wipes from the centre (growing) or to it (Inward: the frame around a shrinking hole); the
// shape kEllipse is a rounded rectangle. Ratio scales the shape's box beyond the frame's.
struct TShapeWipe {
  uint8_t Shape;
  bool Inward;
  float Ratio;
};

// In-and-out wipes: the ring between a growing outer and a shrinking inner shape; kEllipse here is a
// diamond.
struct TInOutWipe {
  uint8_t Shape;
  float Ratio;
};

void DrawRegionEffect(const TCurvedWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TBarsWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TEdgeWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TBlinds& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TPolygonWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TZigzagWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TSweep& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TRotatingPolygon& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TShapeGrid& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TRandomGrid& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TShapeWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);
void DrawRegionEffect(const TInOutWipe& E, TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect,
                      int32_t Param, int32_t Percent);

template <const auto& Effect>
void RegionEffect(TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t Param, int32_t Percent) {
  DrawRegionEffect(Effect, Canvas, Start, End, Rect, Param, Percent);
}

// Triangular Wipe: a lattice of right triangles, n x n cells of the frame (n from the frame and
// Param), growing from the cells' corners.
void TriangularWipe(TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t Param, int32_t Percent);

// ---- The rows ---------------------------------------------------------------------------------

namespace region_effects {

using namespace block_effects;  // W, H, A, B, a2, b2 as coordinates
inline constexpr TEffectCoord cx = w2, cy = h2;

// Curved wipes (rectangle; corner ellipse).
inline constexpr TCurvedWipe kCurvedWipeFromLeft{
    [](const TFrameGeometry& g) { return TRoundRect{-2 * g.W, 0, 2 * g.A, g.H + 1, 2 * g.W, 2 * g.W}; }};
inline constexpr TCurvedWipe kCurvedWipeFromRight{
    [](const TFrameGeometry& g) { return TRoundRect{g.W - 2 * g.A, 0, 3 * g.W, g.H + 1, 2 * g.W, 2 * g.W}; }};
inline constexpr TCurvedWipe kCurvedWipeFromTop{
    [](const TFrameGeometry& g) { return TRoundRect{0, -2 * g.H, g.W + 1, 2 * g.B, 2 * g.H, 2 * g.H}; }};
inline constexpr TCurvedWipe kCurvedWipeFromBottom{
    [](const TFrameGeometry& g) { return TRoundRect{0, g.H - 2 * g.B, g.W + 1, 3 * g.H, 2 * g.H, 2 * g.H}; }};
inline constexpr TCurvedWipe kCurvedWipeFromTopLeft{
    [](const TFrameGeometry& g) { return TRoundRect{-g.W, -g.H, 3 * g.A / 2, 3 * g.B / 2, 2 * g.W, 2 * g.H}; }};
inline constexpr TCurvedWipe kCurvedWipeFromTopRight{
    [](const TFrameGeometry& g) { return TRoundRect{g.W - 3 * g.A / 2, -g.H, 2 * g.W, 3 * g.B / 2, 2 * g.W, 2 * g.H}; }};
inline constexpr TCurvedWipe kCurvedWipeFromBottomLeft{
    [](const TFrameGeometry& g) { return TRoundRect{-g.W, g.H - 3 * g.B / 2, 3 * g.A / 2, 2 * g.H, 2 * g.W, 2 * g.H}; }};
inline constexpr TCurvedWipe kCurvedWipeFromBottomRight{[](const TFrameGeometry& g) {
  return TRoundRect{g.W - 3 * g.A / 2, g.H - 3 * g.B / 2, 2 * g.W, 2 * g.H, 2 * g.W, 2 * g.H};
}};

// Bars (XP factor, YP factor, horizontal kind, vertical kind).
inline constexpr TBarsWipe kBarsInFromLeft{2, 0, 2, 0};
inline constexpr TBarsWipe kBarsInFromRight{2, 0, 1, 0};
inline constexpr TBarsWipe kBarsFromTop{0, 2, 0, 2};
inline constexpr TBarsWipe kBarsFromBottom{0, 2, 0, 1};
inline constexpr TBarsWipe kBarsLeftThenRight{2, 0, 4, 0};
inline constexpr TBarsWipe kBarsRightThenLeft{2, 0, 5, 0};
inline constexpr TBarsWipe kBarsTopThenBottom{0, 2, 0, 4};
inline constexpr TBarsWipe kBarsBottomThenTop{0, 2, 0, 5};
inline constexpr TBarsWipe kBarsFromBothSides{1, 0, 3, 0};
inline constexpr TBarsWipe kBarsFromTopAndBottom{0, 1, 0, 3};
inline constexpr TBarsWipe kCrisscrossFromTopLeft{2, 2, 2, 2};
inline constexpr TBarsWipe kCrisscrossFromTopRight{2, 2, 1, 2};
inline constexpr TBarsWipe kCrisscrossFromBottomLeft{2, 2, 2, 1};
inline constexpr TBarsWipe kCrisscrossFromBottomRight{2, 2, 1, 1};
inline constexpr TBarsWipe kCrisscrossBounceFromTopLeft{2, 2, 4, 4};
inline constexpr TBarsWipe kCrisscrossBounceFromTopRight{2, 2, 5, 4};
inline constexpr TBarsWipe kCrisscrossBounceFromBottomLeft{2, 2, 4, 5};
inline constexpr TBarsWipe kCrisscrossBounceFromBottomRight{2, 2, 5, 5};
inline constexpr TBarsWipe kCrisscrossFromLeftRightAndTop{1, 1, 3, 2};
inline constexpr TBarsWipe kCrisscrossFromLeftRightAndBottom{1, 1, 3, 1};
inline constexpr TBarsWipe kCrisscrossFromLeftTopAndBottom{1, 1, 2, 3};
inline constexpr TBarsWipe kCrisscrossFromTopLeftRightAndBottom{1, 1, 3, 3};
inline constexpr TBarsWipe kCrisscrossFromRightTopAndBottom{1, 1, 1, 3};
inline constexpr TBarsWipe kCrisscrossFromBottomLeftTopRight{2, 2, 1, 1, 2, 2};

// Shredded (horizontal kind, vertical kind).
inline constexpr TEdgeWipe kShreddedFromLeft{false, 2, 0};
inline constexpr TEdgeWipe kShreddedFromRight{false, 1, 0};
inline constexpr TEdgeWipe kShreddedFromTop{false, 0, 2};
inline constexpr TEdgeWipe kShreddedFromBottom{false, 0, 1};
inline constexpr TEdgeWipe kShreddedFromTopAndLeft{false, 2, 2};
inline constexpr TEdgeWipe kShreddedFromTopAndRight{false, 1, 2};
inline constexpr TEdgeWipe kShreddedFromBottomAndLeft{false, 2, 1};
inline constexpr TEdgeWipe kShreddedFromBottomAndRight{false, 1, 1};
inline constexpr TEdgeWipe kShreddedFromHorizonAndLeft{false, 2, 3};
inline constexpr TEdgeWipe kShreddedFromHorizonAndRight{false, 1, 3};
inline constexpr TEdgeWipe kShreddedFromTopAndVerticalCenter{false, 3, 2};
inline constexpr TEdgeWipe kShreddedFromBottomAndVerticalCenter{false, 3, 1};
inline constexpr TEdgeWipe kShreddedFromCenter{false, 3, 3};
inline constexpr TEdgeWipe kShreddedToCenter{false, 4, 4};
inline constexpr TEdgeWipe kShreddedInToHorizon{false, 0, 4};
inline constexpr TEdgeWipe kShreddedInToVerticalCenter{false, 4, 0};
inline constexpr TEdgeWipe kShreddedOutFromHorizon{false, 0, 3};
inline constexpr TEdgeWipe kShreddedOutFromVerticalCenter{false, 3, 0};

// Speckled.
inline constexpr TEdgeWipe kSpeckledWipeFromLeft{true, 2, 0};
inline constexpr TEdgeWipe kSpeckledWipeFromRight{true, 1, 0};
inline constexpr TEdgeWipe kSpeckledWipeFromTop{true, 0, 2};
inline constexpr TEdgeWipe kSpeckledWipeFromBottom{true, 0, 1};

// Blinds and rectangles.
inline constexpr TBlinds kHorizontalBlinds{TBlindsKind::Even, false, false};
inline constexpr TBlinds kVerticalBlinds{TBlindsKind::Even, true, false};
inline constexpr TBlinds kUnevenBlindsFromLeft{TBlindsKind::Uneven, true, false};
inline constexpr TBlinds kUnevenBlindsFromRight{TBlindsKind::Uneven, true, true};
inline constexpr TBlinds kUnevenBlindsFromTop{TBlindsKind::Uneven, false, false};
inline constexpr TBlinds kUnevenBlindsFromBottom{TBlindsKind::Uneven, false, true};
inline constexpr TBlinds kRectanglesFromTheLeft{TBlindsKind::Rectangles, true, false};
inline constexpr TBlinds kRectanglesFromTheRight{TBlindsKind::Rectangles, true, true};
inline constexpr TBlinds kRectanglesFromTheTop{TBlindsKind::Rectangles, false, false};
inline constexpr TBlinds kRectanglesFromTheBottom{TBlindsKind::Rectangles, false, true};

// Polygon wipes.
inline constexpr TPolygonWipe kWipeDiagonalFromTopLeft{{{3, {{0, 0}, {2 * A, 0}, {0, 2 * B}}}}};
inline constexpr TPolygonWipe kWipeDiagonalFromTopRight{{{3, {{W, 0}, {W - 2 * A, 0}, {W, 2 * B}}}}};
inline constexpr TPolygonWipe kWipeDiagonalFromBottomLeft{{{3, {{0, H}, {2 * A, H}, {0, H - 2 * B}}}}};
inline constexpr TPolygonWipe kWipeDiagonalFromBottomRight{{{3, {{W, H}, {W - 2 * A, H}, {W, H - 2 * B}}}}};
inline constexpr TPolygonWipe kDiagonalSweepClockwise{
    {{3, {{W, 0}, {0, 0}, {W, B}}}, {3, {{W, H}, {0, H}, {0, H - B}}}}};
inline constexpr TPolygonWipe kDiagonalSweepCounterClockwise{
    {{3, {{0, H}, {0, 0}, {A, H}}}, {3, {{W, H}, {W, 0}, {W - A, 0}}}}};
inline constexpr TPolygonWipe kStarburstClockwise{{{3, {{cx, cy}, {0, 0}, {A, 0}}},
                                                   {3, {{cx, cy}, {0, H}, {0, H - B}}},
                                                   {3, {{cx, cy}, {W, H}, {W - A, H}}},
                                                   {3, {{cx, cy}, {W, 0}, {W, B}}}}};
inline constexpr TPolygonWipe kStarburstCounterClockwise{{{3, {{cx, cy}, {0, 0}, {0, B}}},
                                                          {3, {{cx, cy}, {0, H}, {A, H}}},
                                                          {3, {{cx, cy}, {W, H}, {W, H - B}}},
                                                          {3, {{cx, cy}, {W, 0}, {W - A, 0}}}}};
inline constexpr TPolygonWipe kArrowWipeFromLeft{{{3, {{0, cy - B}, {2 * A, cy}, {0, cy + B}}}}};
inline constexpr TPolygonWipe kArrowWipeFromRight{{{3, {{W, cy - B}, {W - 2 * A, cy}, {W, cy + B}}}}};
inline constexpr TPolygonWipe kArrowWipeFromTop{{{3, {{cx - A, 0}, {cx, 2 * B}, {cx + A, 0}}}}};
inline constexpr TPolygonWipe kArrowWipeFromBottom{{{3, {{cx - A, H}, {cx, H - 2 * B}, {cx + A, H}}}}};
inline constexpr TPolygonWipe kHorizontalBowTieWipe{
    {{3, {{0, cy - B}, {A, cy}, {0, cy + B}}}, {3, {{W, cy - B}, {W - A, cy}, {W, cy + B}}}}};
inline constexpr TPolygonWipe kVerticalBowTieWipe{
    {{3, {{cx - A, 0}, {cx, 2 * B}, {cx + A, 0}}}, {3, {{cx - A, H}, {cx, H - 2 * B}, {cx + A, H}}}}};
// Four triangles of half-size WA2 = (W - A) div 2, HB2 = (H - B) div 2 cut out of the frame.
inline constexpr TPolygonWipe kDiagonalCrossFromCenter{{{3, {{0, cy - HB2}, {WA2, cy}, {0, cy + HB2}}},
                                                        {3, {{W, cy - HB2}, {W - WA2, cy}, {W, cy + HB2}}},
                                                        {3, {{cx - WA2, 0}, {cx, HB2}, {cx + WA2, 0}}},
                                                        {3, {{cx - WA2, H}, {cx, H - HB2}, {cx + WA2, H}}}},
                                                       true};
inline constexpr TPolygonWipe kDiagonalCrossToCenter{{{3, {{0, cy - b2}, {a2, cy}, {0, cy + b2}}},
                                                      {3, {{W, cy - b2}, {W - a2, cy}, {W, cy + b2}}},
                                                      {3, {{cx - a2, 0}, {cx, b2}, {cx + a2, 0}}},
                                                      {3, {{cx - a2, H}, {cx, H - b2}, {cx + a2, H}}}}};
inline constexpr TPolygonWipe kDiamondWipeFromCenter{{{4, {{cx - A, cy}, {cx, cy - B}, {cx + A, cy}, {cx, cy + B}}}}};
inline constexpr TPolygonWipe kDiamondWipeToCenter{
    {{4, {{A - cx, cy}, {cx, B - cy}, {3 * cx - A, cy}, {cx, 3 * cy - B}}}}, true};

// Zigzags.
inline constexpr TZigzagWipe kZigzagWipeFromHorizon{false, false};
inline constexpr TZigzagWipe kZigzagWipeFromVerticalCenter{true, false};
inline constexpr TZigzagWipe kZigzagWipeToHorizon{false, true};
inline constexpr TZigzagWipe kZigzagWipeToVerticalCenter{true, true};

// Sweeps and rotations.
inline constexpr TSweep kSweepClockwise{false};
inline constexpr TSweep kSweepCounterClockwise{true};
inline constexpr TRotatingPolygon kRotationalRectangle{false, false, false};
inline constexpr TRotatingPolygon kRotationalRectangleCounterClockwise{false, false, true};
inline constexpr TRotatingPolygon kRotationalStar{true, false, false};
inline constexpr TRotatingPolygon kRotationalStarCounterClockwise{true, false, true};
inline constexpr TRotatingPolygon kSpirallingRectangle{false, true, false};
inline constexpr TRotatingPolygon kSpirallingRectangleCounterClockwise{false, true, true};

// Grids of growing shapes.
inline constexpr TShapeGrid kExpandingRectangles{TGridKind::Squares};
inline constexpr TShapeGrid kExpandingTriangles{TGridKind::Triangles};
inline constexpr TShapeGrid kExpandingCircles{TGridKind::Shapes, kEllipse, 3.0f};
inline constexpr TShapeGrid kExpandingDiamonds{TGridKind::Diamonds};
inline constexpr TShapeGrid kExpandingHearts{TGridKind::Shapes, tsHeart, 3.0f};
inline constexpr TShapeGrid kExpandingStar5s{TGridKind::Shapes, tsStar5, 4.0f};
inline constexpr TShapeGrid kExpandingStar6s{TGridKind::Shapes, tsStar6, 4.0f};
inline constexpr TShapeGrid kExpandingExplosions{TGridKind::Shapes, tsExplosion, 4.0f};
inline constexpr TShapeGrid kExpandingLightningBolts{TGridKind::Shapes, tsLightningBolt, 6.0f};

// Random grids.
inline constexpr TRandomGrid kRandomBigBoxes{true};
inline constexpr TRandomGrid kRandomHearts{false, tsHeart, 12, 0.6f};
inline constexpr TRandomGrid kRandomStar5s{false, tsStar5, 14, 0.4f};
inline constexpr TRandomGrid kRandomStar6s{false, tsStar6, 14, 0.4f};
inline constexpr TRandomGrid kRandomExplosions{false, tsExplosion, 18, 0.5f, true};

// Shape wipes from and to the centre.
inline constexpr TShapeWipe kCircularWipeFromCenter{kEllipse, false, 1.0f};
inline constexpr TShapeWipe kCircularWipeToCenter{kEllipse, true, 1.0f};
inline constexpr TShapeWipe kHeartWipeFromCenter{tsHeart, false, 1.3f};
inline constexpr TShapeWipe kHeartWipeToCenter{tsHeart, true, 1.3f};
inline constexpr TShapeWipe kStar5WipeFromCenter{tsStar5, false, 1.6f};
inline constexpr TShapeWipe kStar5WipeToCenter{tsStar5, true, 1.6f};
inline constexpr TShapeWipe kStar6WipeFromCenter{tsStar6, false, 1.3f};
inline constexpr TShapeWipe kStar6WipeToCenter{tsStar6, true, 1.3f};
inline constexpr TShapeWipe kExplosionWipeFromCenter{tsExplosion, false, 1.0f};
inline constexpr TShapeWipe kExplosionWipeToCenter{tsExplosion, true, 1.0f};
inline constexpr TShapeWipe kCrossWipeFromCenter{tsCross, false, 3.6f};
inline constexpr TShapeWipe kCrossWipeToCenter{tsCross, true, 3.5f};

// In-and-out wipes.
inline constexpr TInOutWipe kDiamondWipeInAndOut{kEllipse, 1.0f};
inline constexpr TInOutWipe kHeartWipeInAndOut{tsHeart, 1.6f};
inline constexpr TInOutWipe kStar5WipeInAndOut{tsStar5, 2.4f};
inline constexpr TInOutWipe kStar6WipeInAndOut{tsStar6, 1.6f};
inline constexpr TInOutWipe kExplosionWipeInAndOut{tsExplosion, 1.1f};

}  // namespace region_effects
