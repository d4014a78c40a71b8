#pragma once
// The program's built-in CMYK output profile: an ICC version 2 profile for CMYK printing with an
// L*a*b* connection space, computed by lcms2 from a small ink model with black generation. The
// program ships it zlib-compressed (CMYKProfileCompressed); BuildCMYKProfile makes the same bytes
// again from the model, which is how the shipped copy was made and how a test checks it.
//
// The ink model (ink amounts c, m, y, k from 0 to 1):
//   1. Dot gain: an amount v prints as the area a = v + 0.36 v (1 - v) (9 % gain at 50 %).
//   2. Each solid ink lets through T = 10^-D of the light of each of the three channels red, green
//      and blue, D being its density there: cyan 1.40, 0.55, 0.25; magenta 0.12, 1.35, 0.65;
//      yellow 0.03, 0.12, 1.05; black 1.55 in all three.
//   3. The halftone layers multiply: per channel F = product over the inks of (1 - a + a T).
//   4. The surface reflects 1.5 % whatever the ink: the channel reflects R = 0.015 + 0.985 F. Bare
//      paper (F = 1) reflects everything.
//   5. The three channel reflectances are linear light of the sRGB primaries as adapted to D50;
//      their XYZ, relative to the D50 white, give L*a*b*. Paper is the connection space's white.
// Separation (L*a*b* to CMYK): the colour's three channel reflectances are matched by cyan, magenta
// and yellow alone; their smallest amount g, the grey component, gives the black
// k = ((g - 0.2) / 0.8)^1.2 above g = 0.2 (none below); cyan, magenta and yellow are then matched
// again beside that black. Total ink stays within 300 %: where it would not, black grows in steps
// of 2 % and, at full black, the three colour inks shrink together. A colour the inks cannot reach
// gets the amounts that come nearest (least squares on the channel densities).
// Intents: the colorimetric tables (A2B1, B2A1) hold the model as it is, its black point in bkpt;
// the perceptual and saturation tables (A2B0 = A2B2, B2A0 = B2A2) scale the connection space so that
// the darkest printable colour (300 % ink: full black and two thirds of each colour ink) is its black.
// The gamut tag marks colours whose separation misses them by more than 3 Delta E.
//
// After a change to the model, the shipped copy is made again by the test that compares it:
//   BRIMVALE_WRITE_CMYK_PROFILE=$PWD/platform/color/cmyk_profile.icc.z
//     build/test/tests/tests_imaging --gtest_filter=BuiltInCMYKProfile.*  (one command)
// (and CMYKProfileSize follows the new size).
#include <cstdint>
#include <vector>

// The shipped profile, zlib-compressed, and the size it inflates to.
const uint8_t* CMYKProfileCompressed();
int64_t CMYKProfileCompressedSize();
int64_t CMYKProfileSize();

// The profile made afresh from the ink model (the shipped copy's bytes, before compression).
std::vector<uint8_t> BuildCMYKProfile();

// The model itself, for checks: the L*a*b* (D50) printed by ink amounts 0..1.
void CMYKInkModelLab(double C, double M, double Y, double K, double Lab[3]);
