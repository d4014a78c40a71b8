#pragma once
// Regions of many rectangles for a W x H frame whose covered part follows the progress extents XP
// (horizontal) and YP (vertical): interleaved bars, shredded strips and speckled edges. Each has a
// horizontal part (rows of the frame filled along x, when HorizontalKind is not 0) and a vertical
// part (columns filled along y, when VerticalKind is not 0), gathered in one TComplexRegion.
//
// The Add* routines add the rectangles to a list; the Create* routines return the region of them
// (owned by the caller): an empty region for a frame under 1 x 1. Given a Window, bands and strips
// wholly outside it are left out (their random numbers are not drawn).
#include <cstdint>

#include "imaging/processing/transitions/ie_complex_region.h"

// Bars: bands min(W, H) div 50 + 1 thick, the even and the odd ones filling apart. Kind 1 fills from
// the right, 2 from the left, 3 the even bands from the right and the odd ones from the left at
// once, 4 the even bands from the left then the odd ones from the right, 5 right then left. Kinds 4
// and 5, and 1 and 2 taken to the end, run in two passes: up to XP = W the even bands, from there
// to XP = 2W the odd ones. The vertical part fills columns the same way, "right" being the bottom.
void AddBarsRects(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
                  int32_t VerticalKind, const TRect* Window = nullptr);
HRGN CreateBarsRegion(int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
                      const TRect* Window = nullptr);

// Shredded: strips min(W, H) div 200 + 1 thick, each reaching XP give or take a random tenth of the
// frame (no jitter once XP reaches W), one number of the process-wide generator a strip. Kind 1
// fills from the right, 2 from the left, 3 out from the centre line, any other from both sides.
void AddShreddedRects(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
                      int32_t VerticalKind, const TRect* Window = nullptr);
HRGN CreateShreddedRegion(int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
                          const TRect* Window = nullptr);

// Speckled: rows of blocks (overlapping by half a block) filled to XP, with blocks scattered in the
// tenth of the frame ahead of the edge, the nearer the edge the likelier, one number of the
// process-wide generator a block. Kind 1 fills from the right (the bottom), any other from the left
// (the top).
void AddSpeckledRects(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
                      int32_t VerticalKind, const TRect* Window = nullptr);
HRGN CreateSpeckledRegion(int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
                          const TRect* Window = nullptr);
