#pragma once
// Depth effects through the alpha channel: the soft drop shadow of a whole image (thumbnails) or of
// an object's rectangle (vector objects), and the rounded corners of thumbnails.
#include <cstdint>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_rgb.h"

class TIEBitmap;
class TObject;

// The shadow margin of a radius and offsets: max(2 * max(|OffsetX|, |OffsetY|) + Trunc(Radius * 5), 1).
int32_t SoftShadowMargin(double Radius, int32_t OffsetX, int32_t OffsetY);

// A soft shadow of the whole image: the alpha channel (created opaque when missing) is blurred by
// Radius (progress through OnProgress), moved by the offsets, and composed under the image; with
// Enlarge the canvas first grows by the margin, the image centred and the new area transparent.
// Intensity 0..100: at 100 the shadow's alpha is the blurred alpha, at 0 a third of it. ie24RGB
// pixels take the shadow colour where they are transparent and blend with it where partly so;
// transparent ie1g pixels under the shadow become black; other formats change only their alpha.
void AddSoftShadowToBitmap(TIEBitmap& Bitmap, double Radius, int32_t OffsetX, int32_t OffsetY, int32_t Intensity,
                           bool Enlarge, TIERGB ShadowColor, const TIEProgressEvent& OnProgress, TObject* Sender);

// The shadow of an object on the inclusive rectangle X1, Y1, X2, Y2: only a rectangle grown by
// half the margin is blurred (Radius 0: the 3 x 3 "Blur" preset, the margin counted with radius
// 2), and the composition runs over the object's rectangle grown by the margin. Returns the
// margin. Transparent ie1g pixels under the shadow keep the shadow's alpha at every intensity.
int32_t AddSoftShadowInRect(TIEBitmap& Bitmap, double Radius, int32_t OffsetX, int32_t OffsetY, int32_t Intensity,
                            TIERGB ShadowColor, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

// Makes the four corners outside a quarter curve (a cubic Bezier of CornerWidth + CornerHeight
// points) transparent; then the alpha channel's Full flag is recomputed. Nothing for an empty
// bitmap or a corner size of 0 or less.
void RoundBitmapCorners(TIEBitmap& Bitmap, int32_t CornerWidth, int32_t CornerHeight);
