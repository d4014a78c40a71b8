#pragma once
// The Targa file layout shared by the reader and the writer.
#include <cstdint>

inline constexpr int32_t kTGAHeaderSize = 18;
inline constexpr int32_t kTGAExtensionSize = 495;
inline constexpr int32_t kTGAFooterSize = 26;
// The footer's signature; a zero byte follows it in the file.
inline constexpr const char* kTGASignature = "TRUEVISION-XFILE.";
// The text fields' room, a zero byte included (the image ID's length is a byte).
inline constexpr int32_t kTGANameField = 41;
inline constexpr int32_t kTGAMaxIdLength = 255;

struct TTGAHeader {
  uint8_t idLength = 0;
  uint8_t mapType = 0;    // 0 none, 1 present
  uint8_t imageType = 0;  // 1 colour-mapped, 2 true-colour, 3 grey; 9, 10, 11 run-length coded
  uint16_t mapFirst = 0;
  uint16_t mapLength = 0;
  uint8_t mapEntrySize = 0;
  uint16_t x = 0;
  uint16_t y = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t depth = 0;
  uint8_t descriptor = 0;  // bits 0-3 alpha bits, bit 4 right-to-left, bit 5 top-to-bottom
};

void ParseTGAHeader(const uint8_t* Raw, TTGAHeader& Header);
// The probe's test of a header; the reader also takes depth 15 (5-5-5 pixels, as depth 16 holds them).
bool TGAHeaderDescribesPicture(const TTGAHeader& Header, bool AcceptDepth15);
