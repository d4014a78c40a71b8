#pragma once
// The effect table: a display name, a drawing procedure and a classification for every transition
// effect id 1 .. 214, and the contract every drawing procedure keeps.
#include <cstdint>

#include "imaging/processing/transitions/ie_transition_types.h"
#include "platform/system/types.h"

class TBitmap;
class TCanvas;

// Draws the frame of Percent (0 .. 100) of a transition from Start to End onto Canvas, the canvas
// of the frame bitmap, which still shows the previous frame (the start picture on the first call
// of a run) and stretches in HALFTONE. Start and End are 24-bit pictures of the frame's size; Rect
// is the frame rectangle (0, 0, width, height); Param is 1 from the engine. A procedure draws only
// what its geometry for the percent covers, so what it leaves keeps the earlier frames; it draws
// nothing on a frame under 1 x 1, clamps Percent to 0 .. 100, frees every GDI object it makes and
// reports no failure (an exception ends the frame, which the caller catches).
using TEffectProc = void (*)(TCanvas* Canvas, TBitmap* Start, TBitmap* End, const TRect& Rect, int32_t Param,
                             int32_t Percent);

// One row. Kind 0 .. 17 groups the rows of one family of effects; Flag is the family's second
// classification byte. Nobody draws from Kind or Flag: they describe the effect for menus.
struct TEffect {
  const char* Name;
  TEffectProc Proc;  // none for the engine's own effects (rows 1 .. 30)
  uint8_t Kind;
  bool Flag;
};

// Rows 1 .. kEffectCount in id order: EffectTable[Id - 1] is row Id.
extern const TEffect EffectTable[kEffectCount];

// Row Id (1-based), or nil outside 1 .. kEffectCount.
constexpr const TEffect* EffectRow(int32_t Id) {
  return (Id >= 1 && Id <= kEffectCount) ? &EffectTable[Id - 1] : nullptr;
}

// The frame size W x H of Rect and the scaled size A x B: the frame scaled to Percent (clamped to
// 0 .. 100) with its aspect ratio, computed from the longer side with a rounding MulDiv. A = B = 0
// at 0 % and for a frame without area; A = W and B = H at 100 %. A frame 100 wide and 200 high at
// 33 % gives B = 66, then A = 33.
void ScaleFrameSize(const TRect& Rect, int32_t Percent, int32_t& W, int32_t& H, int32_t& A, int32_t& B);
