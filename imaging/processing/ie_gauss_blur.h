#pragma once
// The Gaussian blur of 24-bit and 8-bit bitmaps: a separable kernel of at most 201 taps with
// integer weights in 1/65536, trimmed to its non-zero taps, one horizontal and one vertical pass.
//
// Every output sample is (sum of weight * sample + 32768) shr 16 over the taps, the line's ends
// repeated beyond it (ConvolveRow24 and ConvolveRow8 are the reference). The bitmap routines
// compute the same sums in single precision, which is exact here: every product and partial sum
// is an integer below 2^24. On processors with AVX2 and FMA they do so eight samples at a time (with
// AVX-512 sixteen), and they spread rows (first pass) and column strips (second pass) over worker threads for
// bitmaps held in memory; results are identical for every thread count and with or without the
// vector kernels.
#include <cstdint>

#include "imaging/core/ie_defs.h"

class TIEBitmap;
class TObject;

struct TIEGaussKernel {
  // Taps on each side of the centre, 1..100.
  uint8_t HalfWidth = 1;
  // exp(-((i - 100) / Radius)^2 / 2), centred on index 100.
  double Values[201] = {};
  // Round(Values[i] * 65536 / sum of Values).
  int32_t Weights[201] = {};
};

// The kernel of Radius (> 0): HalfWidth starts at 100 and shrinks while it is above 1 and both
// outermost weights are 0.
void BuildGaussianKernel(TIEGaussKernel& Kernel, double Radius);

// One line of Count pixels of 3 or 1 bytes from Source into Dest (which must not overlap it).
void ConvolveRow24(const TIEGaussKernel& Kernel, const uint8_t* Source, uint8_t* Dest, int32_t Count);
void ConvolveRow8(const TIEGaussKernel& Kernel, const uint8_t* Source, uint8_t* Dest, int32_t Count);

// Blurs a whole ie8g or ie24RGB bitmap; nothing for Radius <= 0 (or NaN) or other formats.
// Progress after row m of the first pass: Trunc(m * 100 / (height + width)); after the second
// pass has covered c columns: Trunc((height + c) * 100 / (height + width)).
void GaussianBlurBitmap(TIEBitmap& Bitmap, TObject* Sender, double Radius, const TIEProgressEvent& OnProgress);

// Blurs the inclusive rectangle of an ie8g bitmap (corners clamped to the bitmap), the ends of its
// rows and columns repeated at its edges; nothing for Radius <= 0 or other formats.
void GaussianBlurGray8(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Radius);

// The widest vector kernels the processor runs: 0 none, 1 AVX2 with FMA, 2 AVX-512 as well.
int32_t GaussBlurSimdAvailable();
// Limits the vector kernels to Level (0 the plain loops; by default the widest available): a switch
// for comparisons and tests, not for use while a blur runs.
void SetGaussBlurSimd(int32_t Level);
// Test seam: when positive, the worker-thread count of the bitmap routines in place of the
// processor core count.
int32_t& GaussBlurThreadCountForTesting();
