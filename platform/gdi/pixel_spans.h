#pragma once
// Spans of 32-bit pixels filled or copied at the speed of the memory: the loops under solid fills,
// copies onto surfaces that set the fourth byte, and pictures built row by row (gradients).
#include <cstddef>
#include <cstdint>

// Stores value in n pixels from to.
void FillPixels32(uint32_t* to, size_t n, uint32_t value);
// Copies n pixels (any alignment of from) with bits or-ed into each one.
void CopyPixels32Or(uint32_t* to, const void* from, size_t n, uint32_t bits);
// Copies n 24-bit pixels (three bytes each, any alignment of from) into the low three bytes of n
// 32-bit pixels, Fourth (0..255) in the high byte of each.
void SpreadPixels24(uint32_t* to, const void* from, size_t n, uint32_t fourth);
