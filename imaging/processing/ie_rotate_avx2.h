#pragma once
// The AVX2 row kernels of the rotations: the bicubic inverse mapping of 3-byte pixels and the
// shears' blend. Only called when the processor has AVX2 (ResampleSimdActive); their bytes equal
// the scalar routines'.
#include <cstdint>

struct TIERotateSource;

// Destination pixels 0..Width-1 of one row: pixel x sampled at (ColX[x] - DSX, ColY[x] + DSY) of
// the framed source (as SampleBicubic); Dst receives 3 bytes per pixel.
void BicubicRow24Avx2(const TIERotateSource& Source, const double* ColX, const double* ColY, double DSX, double DSY,
                      int32_t Width, uint8_t* Dst);

// The shears' blend of every byte with the one Step bytes before it: Dst[i] =
// (Src[i - Step] * A + Src[i] * (4096 - A) + 2048) >> 12, held to 0..255, for i = 0 up to the
// largest multiple of 16 not above Count; returns that number of bytes done. Src[-Step] must be
// readable.
int32_t ShearBlendAvx2(const uint8_t* Src, int32_t Step, uint8_t* Dst, int32_t Count, int32_t A);
