#pragma once
// The hue, saturation and lightness shift of a row of pixels: every pixel through RGBToHSL, the
// shifts added, and back through HSLToRGB. The plain loop calls those two; on processors with
// AVX2 a loop that takes four pixels at a time through the same double-precision steps gives the
// same bytes.
#include <cstdint>

#include "imaging/core/ie_rgb.h"

// Count pixels of Px: H + DH, S + DS, L + DL (DH a part of a turn, above -1 and below 1).
void HSLShiftRow(TIERGB* Px, int32_t Count, double DH, double DS, double DL);
// The two loops alone (HSLShiftRow picks one).
void HSLShiftRowScalar(TIERGB* Px, int32_t Count, double DH, double DS, double DL);
void HSLShiftRowAvx2(TIERGB* Px, int32_t Count, double DH, double DS, double DL);
// True when the processor runs the AVX2 loop.
bool HSLShiftSimdAvailable();
