#pragma once
// What the region effects share: the frame of one call with the part of it the canvas shows, the
// reveal of a picture through a clip region, and rectangle lists stamped at many places.
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_effect_draw.h"
#include "imaging/processing/transitions/ie_region_window.h"

class TBitmap;
class TCanvas;

// The sizes of one call: the frame W x H, the scaled size A x B, the percent (0 .. 100), the centre
// cx = W div 2, cy = H div 2 and a2 = A div 2, b2 = B div 2.
struct TRegionFrame : TEffectFrame {
  int32_t Percent = 0;
  int32_t cx = 0, cy = 0, a2 = 0, b2 = 0;
  // The part of the frame the canvas has pixels for: builders of many cells leave out the rest.
  TRect Visible;
  TRegionWindow Window() const { return TRegionWindow::Of(&Visible); }
};

// The same sizes in 64 bits, for geometry written as sums and products of them.
struct TFrameGeometry {
  int64_t W, H, A, B, cx, cy, a2, b2;
  explicit TFrameGeometry(const TRegionFrame& F)
      : W(F.W), H(F.H), A(F.A), B(F.B), cx(F.cx), cy(F.cy), a2(F.a2), b2(F.b2) {}
};

// The prologue of every region effect: the frame of Rect at Percent (clamped to 0 .. 100); false
// when nothing of it can be drawn (no canvas, a frame under 1 x 1, or none of it on the canvas).
bool BeginRegionFrame(TCanvas* Canvas, const TRect& Rect, int32_t Percent, TRegionFrame& Frame);

// Shows Picture (the whole of it, at its place) through Region on the canvas: the region becomes
// the clip, the picture is copied, the clip is removed again, also when the copy raises. A null
// region shows nothing. The caller keeps and deletes the region.
void RevealThrough(TCanvas* Canvas, TBitmap* Picture, const TRegionFrame& Frame, HRGN Region);

// Copies the whole of Picture into the frame, as the rows that start from one picture do first.
void CopyWhole(TCanvas* Canvas, TBitmap* Picture, const TRegionFrame& Frame);

// Time spent in RevealThrough and CopyWhole (clips and copies), kept only while Enabled: the benchmarks read
// it to tell the building of regions from the copying through them.
struct TRevealClock {
  bool Enabled = false;
  double Milliseconds = 0;
};
TRevealClock& RevealClockForTesting();

// The frame rectangle (0, 0, W, H) with the region taken out of it (exclusive or): the wipes to
// the centre show the picture around a shrinking hole. A null hole leaves the whole frame. Only
// the visible part of the frame is made.
TOwnedRegion FrameWithout(const TRegionFrame& Frame, HRGN Hole);

// The polygon of Points filled by the winding rule, its visible part.
TOwnedRegion VisiblePolygon(const TRegionFrame& Frame, std::span<const TPoint> Points);

// Adds the rectangles Base moved by (DX, DY): one shape rasterised once and stamped at the centres
// of a grid is the union of the shape drawn at each of them.
void AddStamped(TComplexRegion& Region, std::span<const TRect> Base, int64_t DX, int64_t DY);

// The centres First, First + Step, ... below Limit (Step >= 1) whose cells, Reach either way,
// meet [Lo, Hi).
std::vector<int64_t> CellCentres(int64_t First, int64_t Step, int64_t Limit, int64_t Reach, int64_t Lo, int64_t Hi);

// The part of a cell about (0, 0) that shows through the window Visible when the cell is stamped
// at the centres Xs x Ys (both non-empty, in increasing order).
TRect CellWindow(const TRect& Visible, const std::vector<int64_t>& Xs, const std::vector<int64_t>& Ys);

// The rectangles a region is made of (none for a null one).
std::vector<TRect> RegionRects(HRGN Region);
