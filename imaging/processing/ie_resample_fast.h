#pragma once
// The fast and special resamplers: fixed-point linear interpolation with box averaging when
// shrinking, the box filter from 1 bit to grey, and the projections that keep thin strokes of line
// art. In every routine the destination is allocated by the caller at the target size.
#include <cstdint>

#include "imaging/core/ie_defs.h"

class TIEBaseBitmap;
class TObject;

// Linear resampling of ie24RGB rows with sx = DestWidth / SourceWidth, sy = DestHeight /
// SourceHeight: an enlarged direction interpolates between neighbours with 17-bit fixed-point
// fractions (rounding down), a shrunk or equal one averages the box of source pixels from
// Trunc(i / s) to the start of the next box. Equal sizes copy. Progress Trunc(factor * row) after
// every row of both passes, factor = 100 / (SourceHeight + DestHeight + 0.5). Nothing happens when
// a side of either bitmap is 0.
void FastLinearResample24(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender,
                          const TIEProgressEvent& OnProgress);
// The 24-bit resample of the rectangle (SrcX, SrcY, SrcWidth x SrcHeight) of an ie24RGB Source to
// DestWidth x DestHeight, placed at (DestX, DestY) of the destination whose rows DestRows lists;
// only the pixels FirstCol..LastCol x FirstRow..LastRow of it are written. The bytes are those of
// FastLinearResample24 of a copy of the rectangle, copied there: neither copy is made. Nothing
// happens for a rectangle outside Source or another format.
void FastLinearResample24Rect(TIEBaseBitmap& Source, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                              uint8_t* const* DestRows, int32_t DestX, int32_t DestY, int32_t DestWidth,
                              int32_t DestHeight, int32_t FirstCol, int32_t LastCol, int32_t FirstRow,
                              int32_t LastRow);
// The same for 8 bits per pixel (ie8g, alpha channels).
void FastLinearResample8(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender,
                         const TIEProgressEvent& OnProgress);
// The same for 16-bit samples: ie16g (Channels 1) or ieRGB48 (Channels 3), which keep their depth.
void FastLinearResample16(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, int32_t Channels, TObject* Sender,
                          const TIEProgressEvent& OnProgress);
// ie1g into ie24RGB grey, the bits read as 0 and 255: equal sizes copy (Dest becomes ie1g); when a
// direction enlarges both directions interpolate; when both shrink, Resample1BitToGray of the whole
// source without progress.
void FastLinearResample1Bit(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TObject* Sender,
                            const TIEProgressEvent& OnProgress);

// Box average of the bits of the inclusive rectangle (X1, Y1)-(X2, Y2) of an ie1g Source into an
// ie24RGB Dest (grey): each destination pixel is 255 * set bits div pixels of its block, the
// blocks reaching half a step around their cell and never outside Source. The rectangle is clipped
// to Source; nothing happens when it or Dest is empty.
void Resample1BitToGray(TIEBaseBitmap& Source, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TIEBaseBitmap& Dest);

// Projections into an ie1g Dest (re-allocated as ie1g at its size when it has another format):
// each destination pixel covers a block of source pixels that overlaps its neighbours' by one row
// and one column. Black on white (WhiteOnBlack false): white unless the block holds a black pixel
// (a clear bit, or a 24-bit pixel whose three bytes are below 128). White on black: black unless
// the block holds a set bit or a 24-bit pixel whose three bytes are above 128. Progress
// Trunc(j * 100 / (DestHeight + 0.5)) after every row j.
TIEBaseBitmap& ProjectResample1Bit(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool WhiteOnBlack,
                                   const TIEProgressEvent& OnProgress, TObject* Sender);
TIEBaseBitmap& ProjectResample24(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, bool WhiteOnBlack,
                                 const TIEProgressEvent& OnProgress, TObject* Sender);
