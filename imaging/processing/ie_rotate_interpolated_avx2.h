#pragma once
// The AVX2 row kernel of the bicubic inverse mapping for 3-byte pixels. Only called when the
// processor has AVX2 (ResampleSimdActive); its bytes equal SampleBicubic's, pixel for pixel.
#include <cstdint>

struct TIERotateSource;

// Destination pixels 0..Width-1 of one row: pixel x sampled at (ColX[x] - DSX, ColY[x] + DSY) of
// the framed source (as SampleBicubic); Dst receives 3 bytes per pixel.
void BicubicRow24Avx2(const TIERotateSource& Source, const double* ColX, const double* ColY, double DSX, double DSY,
                      int32_t Width, uint8_t* Dst);
