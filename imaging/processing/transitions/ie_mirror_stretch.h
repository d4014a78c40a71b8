#pragma once
// A stretched copy that can mirror, as the unrolls draw their roll (and the AVI creator's renderer
// its own).
#include "platform/system/types.h"

class TBitmap;
class TCanvas;

// Stretches SourceRect of Bitmap (clipped to the bitmap first) into DestRect of Canvas in HALFTONE
// with a plain copy, mirrored left to right with MirrorH and top to bottom with MirrorV. A mirrored
// side is drawn by swapping the destination's two edges and moving each one pixel outward (left :=
// old right + 1, right := old left - 1), so the mirrored copy reaches one pixel past both of the
// destination's edges. Nothing is drawn for a source that misses the bitmap or a destination
// without area.
void MirrorStretchCopy(TCanvas* Canvas, TRect DestRect, TBitmap* Bitmap, TRect SourceRect, bool MirrorH,
                       bool MirrorV);
