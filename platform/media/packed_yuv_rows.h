#pragma once
// Packed 4:2:2 video rows (two pixels in four bytes: YUYV, UYVY, YVYU), the frames most capture
// devices deliver, straight to 24-bit BGR pixels. The arithmetic is the converter's (libswscale's
// x86 path for these inputs at equal sizes): each pair of pixels shares its chroma, and every term
// is a 16-bit fixed-point product whose low half is dropped, so a raw frame gives the same bytes
// here as through the converter, without its intermediate planes.
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

// The coefficients of one colour matrix and range, in the converter's fixed point: a sample s
// (8 bits) enters as 8 s, a product keeps its high 16 bits.
struct TYuvMatrix {
  int16_t Y = 0, YOffset = 0;  // luma: (8 Y - YOffset) * Y >> 16
  int16_t VR = 0, UB = 0, UG = 0, VG = 0;  // chroma: 8 (C - 128) * coefficient >> 16
};

// The matrix of a libswscale colour space (SWS_CS_*) and range (full: 0..255, else 16..235/240).
TYuvMatrix YuvMatrixOf(int SwsColorSpace, bool FullRange);

// Byte offsets of Y0, Y1, U and V in a group of four bytes.
struct TPackedYuvLayout {
  uint8_t Y0, Y1, U, V;
};
inline constexpr TPackedYuvLayout kLayoutYUYV{0, 2, 1, 3};
inline constexpr TPackedYuvLayout kLayoutUYVY{1, 3, 0, 2};
inline constexpr TPackedYuvLayout kLayoutYVYU{0, 2, 3, 1};

// Converts Width pixels (Width even) of one row at Src into 3-byte blue, green, red pixels at Dst.
void PackedYuvRowToBgr(const uint8_t* Src, uint8_t* Dst, int32_t Width, const TPackedYuvLayout& Layout,
                       const TYuvMatrix& Matrix);
// The same one pair at a time, without vector instructions (the reference of the vector path).
void PackedYuvRowToBgrScalar(const uint8_t* Src, uint8_t* Dst, int32_t Width, const TPackedYuvLayout& Layout,
                             const TYuvMatrix& Matrix);

// A frame of one of the three layouts with an even width into a bottom-up 24-bit DIB (Bits its
// bottom row, rows RowLength bytes apart) with the matrix and range given. False, with nothing
// written, for any other frame: the caller converts it otherwise.
bool PackedYuvFrameToDib(const AVFrame* Frame, int SwsColorSpace, bool FullRange, uint8_t* Bits, int32_t RowLength);
