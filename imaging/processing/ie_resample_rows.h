#pragma once
// The row kernels of the two passes of the filtered resampler, on plain rows of samples of 8 or 16
// bits. Every destination sample is the weighted sum of its source samples divided by the weight
// sum, rounded to the nearest integer (halves to even) and clamped to the sample range (0..255 or
// 0..65535).
//
// There are two sets of kernels with identical results: the reference kernels, which follow the
// contributor pairs as computed, and vector kernels for 8-bit samples on processors with AVX2,
// which read the folded runs. The vector kernels are used when the processor has them, unless
// turned off with SetResampleSimd(false).
#include <cstddef>
#include <cstdint>

class TIEContributorTable;

// The switches below also govern the AVX2 kernels of the fast linear resampler, the rotations and
// the YUV conversions.
// True when the processor runs the vector kernels.
bool ResampleSimdAvailable();
// Turns the vector kernels on (the default, where available) or off; a switch for comparisons and
// tests, not for use while a resample runs.
void SetResampleSimd(bool Enabled);
// True when the vector kernels are available and turned on.
bool ResampleSimdActive();

// Bytes of scratch memory one ResampleRowH call needs.
size_t ResampleRowHScratchSize(const TIEContributorTable& Columns, int32_t Channels, int32_t SampleBytes);

// One row of the horizontal pass: Src holds Columns.SourceSize() pixels of Channels (1 or 3)
// samples of SampleBytes (1 or 2) bytes, Dst receives Columns.DestSize() pixels. Scratch holds
// ResampleRowHScratchSize bytes; one per thread.
void ResampleRowH(const TIEContributorTable& Columns, int32_t Channels, int32_t SampleBytes, const void* Src,
                  void* Dst, uint8_t* Scratch);

// One row of the vertical pass: destination row Y made from the rows Rows[0 .. SourceSize - 1] of
// Samples samples of SampleBytes bytes each (only the rows Y's weights name are read).
void ResampleRowV(const TIEContributorTable& RowTable, int32_t Y, int32_t SampleBytes, const void* const* Rows,
                  int32_t Samples, void* Dst);

// The reference kernels alone (the vector kernels are compared with them).
void ResampleRowHReference(const TIEContributorTable& Columns, int32_t Channels, int32_t SampleBytes, const void* Src,
                           void* Dst);
void ResampleRowVReference(const TIEContributorTable& RowTable, int32_t Y, int32_t SampleBytes,
                           const void* const* Rows, int32_t Samples, void* Dst);
