#pragma once
// The AVX2 row kernels of the filtered resampler for 8-bit samples. Only called when the processor
// has AVX2 (ResampleSimdActive) and the weight sums they divide by are positive; their results
// equal the reference kernels' (ie_resample_rows.h).
#include <cstdint>

class TIEContributorTable;

// Horizontal pass of a row of 3-byte pixels; Scratch as ResampleRowHScratchSize(Columns, 3, 1).
void ResampleRowH24Avx2(const TIEContributorTable& Columns, const uint8_t* Src, uint8_t* Dst, uint8_t* Scratch);
// Horizontal pass of a row of 1-byte pixels; Scratch as ResampleRowHScratchSize(Columns, 1, 1).
void ResampleRowH8Avx2(const TIEContributorTable& Columns, const uint8_t* Src, uint8_t* Dst, uint8_t* Scratch);
// Vertical pass of destination row Y (any number of channels: the samples are independent).
void ResampleRowV8Avx2(const TIEContributorTable& RowTable, int32_t Y, const uint8_t* const* Rows, int32_t Samples,
                       uint8_t* Dst);
