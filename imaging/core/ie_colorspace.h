#pragma once
// Per-pixel conversions between RGB and the CMYK and CIE L*a*b* pixel formats.
#include <cstdint>

#include "imaging/core/ie_rgb.h"

// One ieCIELab pixel: L* scaled to 0..255, a* and b* as signed bytes.
#pragma pack(push, 1)
struct TIECIELab {
  uint8_t l;
  int8_t a;
  int8_t b;
};
#pragma pack(pop)
static_assert(sizeof(TIECIELab) == 3);

// sRGB (D65) to L*a*b*: bytes Trunc(L* * 255 / 100), Trunc(a*), Trunc(b*).
TIECIELab RGBToCIELab(TIERGB Color);
// L*a*b* back to sRGB, each channel rounded and clamped to 0..255.
TIERGB CIELabToRGB(TIECIELab Lab);

// Colour-managed CMYK conversions through a built-in CMYK profile. The I/O module installs them at
// start-up; a hook converts Count pixels of a row (CMYK: ieCMYK's four bytes, 255 minus the ink;
// RGB: blue, green, red bytes) and returns false when its profile cannot be used, and the fixed
// formulas apply. Rows go to the hook whole, so a profile conversion costs one call per row.
using TIECMYKToRGBHook = bool (*)(const uint8_t* CMYK, uint8_t* BGR, int32_t Count);
using TIERGBToCMYKHook = bool (*)(const uint8_t* BGR, uint8_t* CMYK, int32_t Count);
extern TIECMYKToRGBHook CMYKToRGBProfileHook;
extern TIERGBToCMYKHook RGBToCMYKProfileHook;

// One ieCMYK pixel (bytes C, M, Y, K from the lowest, each 255 minus the ink) to RGB. Without a
// profile: R = C * K div 255, G = M * K div 255, B = Y * K div 255.
void CMYKToRGB(int32_t Pixel, TIERGB& RGB);
TIERGB CMYKToRGB(int32_t Pixel);
// RGB to a packed ieCMYK pixel. Without a profile: K = max(R, G, B) (1 when 0),
// C = R * 255 div K, M = G * 255 div K, Y = B * 255 div K.
int32_t RGBToCMYK(TIERGB Color);
// The same for Count pixels of a row: ieCMYK bytes to blue, green, red bytes and back.
void CMYKRowToBGR(const uint8_t* CMYK, uint8_t* BGR, int32_t Count);
void BGRRowToCMYK(const uint8_t* BGR, uint8_t* CMYK, int32_t Count);

// JPEG's YCbCr (full range) to RGB: R = Y + 1.402 (Cr - 128), G = Y - 0.34414 (Cb - 128) -
// 0.71414 (Cr - 128), B = Y + 1.772 (Cb - 128), each truncated towards zero and clamped to 0..255.
TIERGB YCbCrToRGB(uint8_t Y, uint8_t Cb, uint8_t Cr);
