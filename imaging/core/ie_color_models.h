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
