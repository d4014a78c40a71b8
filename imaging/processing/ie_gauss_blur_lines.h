#pragma once
// The two inner loops of the Gaussian blur, on samples already widened to float (exact integers):
// a line convolved along itself, and one row made from a stack of rows. Each comes as a plain loop
// and as an AVX2/FMA loop with identical results.
#include <cstdint>

// Out[i] = clamp((sum over t < Taps of W[t] * P[i + t * Step] + 32768) shr 16) for i < Count.
// P holds Count + (Taps - 1) * Step samples, then at least 32 readable floats.
void GaussLineScalar(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count, uint8_t* Out);
void GaussLineAvx2(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count, uint8_t* Out);

// Out[i] = clamp((sum over t < Taps of W[t] * Rows[t][i] + 32768) shr 16) for i < Count. Each row
// holds Count samples, then at least 32 readable floats.
void GaussStackScalar(const float* const* Rows, const float* W, int32_t Taps, int32_t Count, uint8_t* Out);
void GaussStackAvx2(const float* const* Rows, const float* W, int32_t Taps, int32_t Count, uint8_t* Out);

// Four consecutive output rows at once: Out[j] is the stack of Rows[j .. j + Taps - 1], for j < 4
// (Rows holds Taps + 3 rows). Each input row is read once for all four, so the loop is bound by
// its multiply-adds rather than by its reads.
void GaussStack4Avx2(const float* const* Rows, const float* W, int32_t Taps, int32_t Count, uint8_t* const* Out);

// The same three loops with AVX-512 (sixteen samples to a register), where the processor has it.
void GaussLineAvx512(const float* P, int32_t Step, const float* W, int32_t Taps, int32_t Count, uint8_t* Out);
void GaussStackAvx512(const float* const* Rows, const float* W, int32_t Taps, int32_t Count, uint8_t* Out);
void GaussStack4Avx512(const float* const* Rows, const float* W, int32_t Taps, int32_t Count, uint8_t* const* Out);

// Dst[i] = Src[i] for i < Count: bytes widened to floats.
void GaussWidenScalar(const uint8_t* Src, float* Dst, int32_t Count);
void GaussWidenAvx2(const uint8_t* Src, float* Dst, int32_t Count);
