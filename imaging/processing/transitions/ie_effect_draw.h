#pragma once
// What the effect procedures share: the frame of one call, and block copies and stretches from the
// start or end picture onto the frame canvas.
#include <cstdint>

#include "platform/system/types.h"

class TBitmap;
class TCanvas;

// The sizes of one call (ScaleFrameSize): the frame W x H and the scaled size A x B.
struct TEffectFrame {
  int32_t W = 0;
  int32_t H = 0;
  int32_t A = 0;
  int32_t B = 0;
};

// The prologue of every procedure: the frame of Rect at Percent; false when the frame is under
// 1 x 1, which draws nothing.
bool BeginEffectFrame(const TRect& Rect, int32_t Percent, TEffectFrame& Frame);

// Coordinates are worked out in 64 bits and reach the drawing layer held to +-2^30, far outside
// any frame, so that an absurd rectangle never wraps around.
int32_t EffectCoord(int64_t Value);
// Round(Value), halves to the even neighbour, held to +-2^40 (0 for a value that is no number).
int64_t EffectRound(double Value);

// Copies the Width x Height block at (SrcX, SrcY) of Picture to (X, Y) of Canvas (SRCCOPY); an
// empty block copies nothing.
void CopyPictureBlock(TCanvas* Canvas, int64_t X, int64_t Y, int64_t Width, int64_t Height, TBitmap* Picture,
                      int64_t SrcX, int64_t SrcY);
// Stretches the block (SrcX, SrcY, SrcWidth, SrcHeight) of Picture into (X, Y, Width, Height) of
// Canvas, averaging (HALFTONE); empty blocks draw nothing.
void StretchPictureBlock(TCanvas* Canvas, int64_t X, int64_t Y, int64_t Width, int64_t Height, TBitmap* Picture,
                         int64_t SrcX, int64_t SrcY, int64_t SrcWidth, int64_t SrcHeight);
