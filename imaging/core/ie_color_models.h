#pragma once
// Conversions between RGB pixels and the hue/saturation/lightness model, as the colour operations
// and the HSL blend modes use them. HSL values are doubles in 0..1, the hue a fraction of a turn.
#include "imaging/core/ie_rgb.h"

// H, S and L of Color. Grey pixels have H = S = 0.
void RGBToHSL(double& H, double& S, double& L, TIERGB Color);
// The pixel of H, S, L: H is wrapped once into 0..1, S and L are clamped to 0..1; each channel is
// rounded to the nearest byte (halves to even).
void HSLToRGB(TIERGB& Color, double H, double S, double L);
// One channel of HSLToRGB: T is the hue shifted for the channel, Q and P the model's two levels.
double HueToRGB(double T, double Q, double P);

// H (0..359 degrees), S and V (0..99) of Color: each channel scaled to 0..99 and rounded, V the
// largest, S = (V - min) * 99 div V, H by the sector of the largest channel (0 for grey).
void RGBToHSV(int32_t& H, int32_t& S, int32_t& V, TIERGB Color);
// The pixel of H, S, V: H is reduced modulo 360, S and V are clamped to 0..99; each channel is
// value / 99 * 255 rounded to the nearest byte.
void HSVToRGB(TIERGB& Color, int32_t H, int32_t S, int32_t V);
// The largest and the smallest of three integers.
void MaxMin3(int32_t A, int32_t B, int32_t C, int32_t& Max, int32_t& Min);
