#pragma once
// Scaling of integers by a ratio, as the drawing code computes its sizes.
#include <cstdint>

// Number * Numerator / Denominator with the product held in 64 bits and the quotient rounded to
// the nearest integer, halves away from zero (MulDiv(1, 1, 2) is 1, MulDiv(-1, 1, 2) is -1).
// Returns -1 when Denominator is 0 or the result does not fit in 32 bits.
int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator);
