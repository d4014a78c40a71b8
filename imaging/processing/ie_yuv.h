#pragma once
// YUV video frames to RGB: the conversion of one sample triple, and row converters for the packed
// and planar layouts that capture devices and codecs hand over, each known by its FOURCC.
#include <cstdint>

#include "imaging/core/ie_rgb.h"

class TIEBitmap;

// The four character code of a layout, first character in the lowest byte.
constexpr uint32_t MakeFourCC(char A, char B, char C, char D) {
  return static_cast<uint32_t>(static_cast<uint8_t>(A)) | (static_cast<uint32_t>(static_cast<uint8_t>(B)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(C)) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(D)) << 24);
}

// Video-range YUV (BT.601) to RGB: with d = 1.164 (Y - 16), blue = d + 2.018 (U - 128),
// green = d - 0.813 (V - 128) - 0.391 (U - 128), red = d + 1.596 (V - 128), each rounded to the
// nearest integer (halves to even) and clamped to 0..255.
void YUVToRGB(int32_t Y, int32_t U, int32_t V, TIERGB& Pixel);
TIERGB YUVToRGB(int32_t Y, int32_t U, int32_t V);
// The same for samples 0..255 through tables and integer arithmetic: the same bytes as YUVToRGB
// for every triple (the row converters use it).
TIERGB YUVToRGBFast(uint8_t Y, uint8_t U, uint8_t V);

// A row converter: fills Bitmap (ie24RGB, already of the frame's size) from Data. TopDown puts the
// first stored row at the top, else at the bottom. Data must hold YUVFrameSize bytes.
using TIEYUVConverter = void (*)(const void* Data, TIEBitmap& Bitmap, bool TopDown);

// Planar: a Y plane of Width x Height, then two chroma planes of (Width div 2) x (Height div 2)
// (div 4 for YVU9), U first for I420 and IYUV, V first for YV12 and YVU9. Odd sizes take the chroma
// of the last column and row of the planes; a plane with no samples gives neutral chroma.
void ConvertI420Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);
void ConvertYV12Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);
void ConvertYVU9Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);
// Packed, in groups of pixels: rows hold whole groups, padded to 4 bytes; the pixels of a group
// past the width are dropped.
void ConvertYUY2Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);  // Y0 U Y1 V
void ConvertUYVYRows(const void* Data, TIEBitmap& Bitmap, bool TopDown);  // U Y0 V Y1
void ConvertYVYURows(const void* Data, TIEBitmap& Bitmap, bool TopDown);  // Y0 V Y1 U
void ConvertIYU1Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);  // U Y0 Y1 V Y2 Y3
void ConvertIYU2Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);  // U Y V
// U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7: the first four pixels take U0, V0, the others U4, V4.
void ConvertY41PRows(const void* Data, TIEBitmap& Bitmap, bool TopDown);
// Y0 U Y2 V for 4 pixels, each Y serving two neighbours.
void ConvertY211Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown);
// One little-endian 32-bit word per 4 pixels: V in bits 0-5, U in 6-11, Y0..Y3 in 12-16, 17-21,
// 22-26, 27-31; the 5- and 6-bit fields are widened to 8 bits by repeating their top bits.
void ConvertCLJRRows(const void* Data, TIEBitmap& Bitmap, bool TopDown);

// The converter of a FOURCC (I420, IYUV, YV12, YVU9, YUY2, YUNV, UYVY, UYNV, cyuv, YVYU, IYU1,
// IYU2, Y41P, Y211, CLJR), or nil.
TIEYUVConverter YUVConverterFor(uint32_t FourCC);
// Bytes of a Width x Height frame of that layout (as the converters read it); -1 for an unknown
// FOURCC, sizes below 1 or a frame too large to count in 64 bits.
int64_t YUVFrameSize(uint32_t FourCC, int32_t Width, int32_t Height);
// Whether the first stored row of a frame of that layout is the top one: for a positive height,
// every layout but Y41P and cyuv (which store bottom-up); for a negative one, the reverse.
bool YUVTopDown(uint32_t FourCC, int32_t Height);
