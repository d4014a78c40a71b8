#pragma once
// CMYK and RGB through the built-in CMYK profile, and the row converter the codecs call (through
// DefaultColorConverter) to turn rows of their colour space into the pixel container's.
//
// The two default profiles (the built-in CMYK profile and sRGB) are made once, on first use, under
// one lock, and every conversion through them holds that lock: a profile object keeps one cached
// transform and the transforms keep a cache of their own, so they cannot serve two threads at once.
// The I/O start-up installs the profile route into the core's CMYK hooks (CMYKToRGBProfileHook,
// RGBToCMYKProfileHook); it applies while CMYKProfileEnabled is set and the profile loads, and the
// fixed formulas otherwise.
#include <cstdint>

class TIOParamsVals;

// Row layouts of ConvertColorRow.
enum TIEColorSpaceCode : int32_t {
  iecsRGB = 0,       // R, G, B bytes
  iecsBGR = 1,       // B, G, R bytes (ie24RGB)
  iecsCMYKInv = 2,   // C, M, Y, K bytes, each 255 minus the ink (ieCMYK)
  iecsCMYK = 3,      // C, M, Y, K bytes, 0 = no ink
  iecsCIELab = 4,    // L, a, b bytes (ieCIELab)
  iecsGray = 5,      // one grey byte
  iecsRGB48 = 6,     // 16-bit R, G, B, little-endian
  iecsRGB48BE = 7,   // 16-bit R, G, B, big-endian
  iecsYCbCr = 8,     // Y, Cb, Cr bytes (JPEG's full range)
};

// Makes the two default profiles when they are not made yet; true when both are usable. A profile
// that does not load is tried again on the next call.
bool LoadDefaultCMYKProfile();
// Frees the two default profiles (the I/O shut-down); the next use makes them again.
void FreeDefaultCMYKProfiles();
// Puts the profile route into the core's CMYK hooks, or takes it out.
void InstallCMYKProfileHooks(bool Install);

// Converts Count pixels from Source (layout SourceSpace) to Dest (layout DestSpace).
// With Params, ICCConversionEnabled and a usable source profile not applied yet (the file's own,
// else Params' default profile) the pixels go through that profile and Params' output profile
// (sRGB). Otherwise by the pair:
//   0 -> 1 red and blue exchanged      1 -> 1 copy               1 -> 2 RGBToCMYK
//   1 -> 4 RGB to L*a*b*               1 -> 5 grey by the engine's grey weights
//   2 -> 1 CMYKToRGB                   3 -> 1 inverted, then CMYKToRGB
//   4 -> 1 L*a*b* to RGB               5 -> 1 the grey in all three bytes
//   6 -> 1, 7 -> 1 the high byte of each sample                8 -> 1 YCbCrToRGB
// Any other pair leaves Dest untouched. Layout 3 is inverted in place: the caller's Source row
// holds 255 minus each byte afterwards (on both routes).
void ConvertColorRow(void* Source, int32_t SourceSpace, void* Dest, int32_t DestSpace, int32_t Count,
                     TIOParamsVals* Params);
