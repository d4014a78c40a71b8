#pragma once
// The transition engine's own effects (ids 1 .. 30): blends, wipes, slides, pushes, random points
// and boxes and centre wipes, drawn through the row tables of the three frames.
#include <cstdint>

class TBitmap;

// The frames of a run: row i of each table is the first byte of row i (from the top) of that
// picture's 24-bit pixels (blue, green, red). All three are Width x Height.
struct TTransitionFrames {
  uint8_t* const* Start = nullptr;
  uint8_t* const* End = nullptr;
  uint8_t* const* Current = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  TBitmap* StartBitmap = nullptr;
  TBitmap* EndBitmap = nullptr;
  TBitmap* CurrentBitmap = nullptr;
  // The owner's background colour as blue, green, red (the fades).
  uint8_t Background[3] = {0, 0, 0};
};

// Draws the frame of Step (0 .. 1024) of effect Id (1 .. 30) into the current frame, which keeps
// what earlier steps drew. RevealedCount carries how many random points or boxes (ids 25 and 26)
// the run has drawn; step 0 starts it again. The random effects draw on the calling thread from
// the process-wide generator, so a seeded RandSeed reproduces them.
void DrawBuiltinEffect(const TTransitionFrames& Frames, int32_t Id, int32_t Step, int32_t& RevealedCount);

// The blend of two rows of Count bytes at Step: Dst[i] = (A[i] x (1024 - Step) + B[i] x Step)
// shr 10. The reference loop, and the one the engine runs (vector instructions where the processor
// has them); both give the same bytes.
void BlendRowReference(const uint8_t* A, const uint8_t* B, uint8_t* Dst, int32_t Count, uint32_t Step);
void BlendRow(const uint8_t* A, const uint8_t* B, uint8_t* Dst, int32_t Count, uint32_t Step);
