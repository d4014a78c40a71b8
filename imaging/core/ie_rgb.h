#pragma once
// The 3-byte pixel record TIERGB and the small routines that build, compare and convert it.
#include <cstdint>

#include "imaging/core/ie_settings.h"
#include "platform/gdi/color.h"

// One 24-bit pixel in memory order blue, green, red, as in ie24RGB rows and in palettes. Read as an
// integer its value is R shl 16 + G shl 8 + B.
#pragma pack(push, 1)
struct TIERGB {
  uint8_t b;
  uint8_t g;
  uint8_t r;
};
#pragma pack(pop)
static_assert(sizeof(TIERGB) == 3);

// Three 16-bit words red, green, blue: one ieRGB48 pixel.
#pragma pack(push, 1)
struct TIERGB48 {
  uint16_t r;
  uint16_t g;
  uint16_t b;
};
#pragma pack(pop)
static_assert(sizeof(TIERGB48) == 6);

// The integer reading of a record: R shl 16 + G shl 8 + B.
constexpr int32_t RGBToInt(TIERGB Color) { return (Color.r << 16) | (Color.g << 8) | Color.b; }
constexpr TIERGB IntToRGB(int32_t Value) {
  return TIERGB{static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value >> 16)};
}

// A 4-byte CMYK value: C + M shl 8 + Y shl 16 + K shl 24.
constexpr int32_t CreateCMYK(uint8_t C, uint8_t M, uint8_t Y, uint8_t K) {
  return static_cast<int32_t>(C | (M << 8) | (Y << 16) | (static_cast<uint32_t>(K) << 24));
}
inline void CreateRGB(uint8_t R, uint8_t G, uint8_t B, TIERGB& Color) { Color = TIERGB{B, G, R}; }
constexpr TIERGB CreateRGB(uint8_t R, uint8_t G, uint8_t B) { return TIERGB{B, G, R}; }

// Grey level by the engine's grey weights: (R * wR + G * wG + B * wB) div 100.
inline int32_t RGBToGray(TIERGB Color) {
  return (Color.r * GreyWeightRed + Color.g * GreyWeightGreen + Color.b * GreyWeightBlue) / 100;
}

constexpr TColor RGBToTColor(TIERGB Color) { return Color.r | (Color.g << 8) | (Color.b << 16); }
// The record of a colour, system colours resolved first.
void TColorToRGB(TColor Color, TIERGB& Result);
TIERGB TColorToRGB(TColor Color);
// Bytes blue, green, red, alpha from the lowest (system colours resolved first).
int32_t TColorToRGBA(TColor Color, uint8_t Alpha);

constexpr bool SameRGB(TIERGB A, TIERGB B) { return A.r == B.r && A.g == B.g && A.b == B.b; }
constexpr bool operator==(TIERGB A, TIERGB B) { return SameRGB(A, B); }
