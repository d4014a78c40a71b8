#pragma once
// Regions of shapes for the transition effects: sixteen shapes fitted into a box (stars, arrows,
// lightning bolts, explosions, a cross, a heart), a circular sector, a polygon from a list of
// coordinates, and the rotation of a point list. Every routine returns a new region that the
// caller owns and deletes (TOwnedRegion holds one).
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/gdi.h"

// The shape codes of CreateShapeRegion. Bit 7 of a code is ignored (128 + n draws shape n); codes
// 16 .. 127 are no shape.
enum TTransitionShape : uint8_t {
  tsStar5,                   // five-pointed star
  tsStar6,                   // six-pointed star
  tsArrowTopLeft,            // arrow pointing to the top-left corner
  tsArrowTopRight,           // the same mirrored left to right
  tsArrowBottomLeft,         // mirrored top to bottom
  tsArrowBottomRight,        // mirrored both ways
  tsLightningBolt,           // lightning bolt, at most as wide as high
  tsLightningBoltMirrored,   // mirrored left to right
  tsExplosion,               // explosion filling the box
  tsExplosionMirrored,       // mirrored both ways
  tsCross,                   // cross of two bars, the horizontal one a third of the way down
  tsFeatheredArrowTopLeft,   // feathered arrow pointing to the top-left corner
  tsFeatheredArrowTopRight,  // mirrored left to right
  tsFeatheredArrowBottomLeft,   // mirrored top to bottom
  tsFeatheredArrowBottomRight,  // mirrored both ways
  tsHeart,                   // heart of two round lobes and a point
  tsShapeCount
};

// The region of shape Shape fitted into the box at (X, Y), W wide and H high: null for the codes
// without a shape, an empty region for a box without area. Stars, arrows, feathered arrows and
// the heart take the largest square centred in the box; the lightning bolts are at most as wide as
// high; the explosions fill the box; the cross is at most three quarters as wide as high. The
// polygons fill by the winding rule. Given a Window, only the part of the shape inside it is made.
HRGN CreateShapeRegion(uint8_t Shape, int32_t X, int32_t Y, int32_t W, int32_t H, const TRect* Window = nullptr);
// The same with the box given as a rectangle.
HRGN CreateShapeRegion(uint8_t Shape, const TRect& Box, const TRect* Window = nullptr);
// The vertices of a polygon shape (stars, arrows, bolts, explosions) in that box: each table value
// p, in thousandths of the box, at Round((W - 1) x p) exactly, halves to even. Empty for the cross,
// the heart, the codes without a shape and a box without area.
std::vector<TPoint> ShapePolygon(uint8_t Shape, int32_t X, int32_t Y, int32_t W, int32_t H);

// A fan about (CX, CY): the centre, then Count points on the circle of Radius at the angles
// StartAngle + k x (EndAngle - StartAngle) / Count for k = 0 .. Count - 1 (radians, clockwise on
// the screen), filled by the winding rule. The end angle itself is no vertex, so a fan of Count
// 100 over a whole turn leaves its last hundredth open. Count 0 or less is the centre alone, an
// empty region; a Count above 65536 is refused (no region). Given a Window, only the part of the
// fan inside it is made.
HRGN CreateSectorRegion(int32_t CX, int32_t CY, int32_t Radius, double StartAngle, double EndAngle, int32_t Count,
                        const TRect* Window = nullptr);
// The points of that fan, the centre first (none for a Count above 65536, which is refused).
std::vector<TPoint> SectorPoints(int32_t CX, int32_t CY, int32_t Radius, double StartAngle, double EndAngle,
                                 int32_t Count);

// The polygon (winding rule) of the points (x1, y1), (x2, y2), ... of a flat list of coordinates;
// a lone last value is no point.
HRGN CreatePointListRegion(std::span<const int32_t> Coordinates);

// Turns every point about (CX, CY) by Angle radians, rounding to whole pixels; with y downward a
// positive angle turns clockwise on the screen.
void RotatePoints(std::span<TPoint> Points, int32_t CX, int32_t CY, double Angle);
