#pragma once
// Blend operations: how a source pixel combines with the destination pixel it is drawn over, one
// of 43 numbered operations (0 copy, arithmetic, burn and dodge, light modes, HSL component
// swaps, red-cyan anaglyphs, row interlacing). Opacity and alpha are the caller's business.
#include <cstdint>

#include "imaging/core/ie_rgb.h"

// Number of blend operations; operations 0 .. kBlendOperationCount - 1 exist.
constexpr int32_t kBlendOperationCount = 43;

// Dest becomes Source combined with Dest by Operation. Any operation outside 0..42 leaves Dest
// unchanged. Row is the destination row index (used by the interlacing operations 41 and 42).
void BlendPixel(const TIERGB& Source, TIERGB& Dest, int32_t Operation, int32_t Row);
// BlendPixel over Count pixels of a row, the operation chosen once for the whole row. Source and
// Dest do not overlap (or are the same row).
void BlendRow(const TIERGB* Source, TIERGB* Dest, int32_t Count, int32_t Operation, int32_t Row);
