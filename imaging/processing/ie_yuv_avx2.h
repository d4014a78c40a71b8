#pragma once
// The AVX2 row kernel of the two-pixel YUV layouts (YUY2, UYVY, YVYU). Only called when the
// processor has AVX2 (ResampleSimdActive); its bytes equal YUVToRGB's.
#include <cstdint>

// Converts Pairs pairs of pixels (4 bytes each, from Src) into 3-byte pixels at Dst.
using TYUVPairsConvert = void (*)(const uint8_t* Src, uint8_t* Dst, int32_t Pairs);

// Converts the first pixels of one packed row (two pixels in 4 bytes; Y0, Y1, U and V at the byte
// offsets Order packs as Y0 | Y1 << 2 | U << 4 | V << 6) into 3-byte pixels at Dst, eight at a time,
// up to the largest multiple of 8 not above Width; returns that count. Each sample is the exact
// value 1164 (Y - 16) + ... in thousandths rounded to the nearest whole number and clamped, which
// is YUVToRGB's byte unless the value lies exactly half-way; a block of eight holding such a value
// is handed to Exact instead (four pairs).
int32_t YUVPairsRowAvx2(const uint8_t* Src, uint8_t* Dst, int32_t Width, uint32_t Order, TYUVPairsConvert Exact);
