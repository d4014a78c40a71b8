#pragma once
// The one gate that image sizes read from a file pass before a reader allocates anything for them
// (a bitmap, a buffer of pixels or palette indices, a mask). Every reader of untrusted data calls it
// once it knows the size of a picture and how its data is coded.
//
// A size passes when
//   - width and height are 1 .. 2^31 - 1, a row at BitsPerPixel is below 2 GB and the whole image
//     has a size 64-bit arithmetic holds, and
//   - the bytes that can hold this image's data could code that many pixels:
//       uncompressed data (MaxPixelsPerByte 0) holds each row in RowBytes bytes (or its pixels'
//       packed bits when RowBytes is 0), so it must have RowBytes x Height bytes;
//       compressed data codes at best MaxPixelsPerByte pixels per byte (the format's best case,
//       rounded up generously, never more).
//   Unless Whole is set, a small picture (the allowance, 1 Mi pixels) passes whatever the data
//   holds, so that a file cut short still decodes to the rows it has.
//
// Data.Bytes counts only the bytes that can hold this image's data: the data of this frame, strip
// or block, from where it starts to where the format says it ends or the stream does, whichever
// comes first. Never everything left in the stream: bytes after the image data, other frames, a
// trailer or padding would let a small file talk the gate into gigabytes.
//
// Examples:
//   GIF frame: {.Bytes = its LZW sub-block bytes, .BitsPerPixel = 8, .MaxPixelsPerByte = 2731}
//   BMP rows:  {.Bytes = pixel data present, .BitsPerPixel = bits, .RowBytes = padded row bytes}
//   a record that is read whole or not at all: {..., .Whole = true}
#include <cstdint>

struct TIEImageData {
  int64_t Bytes = 0;             // bytes that can hold this image's data (negative counts as 0)
  int32_t BitsPerPixel = 8;      // bits of one pixel as the data stores it (uncompressed) or as read
  int64_t RowBytes = 0;          // uncompressed: bytes of one stored row with its padding; 0 packed
  int64_t MaxPixelsPerByte = 0;  // compressed: the coder's best case; 0 for uncompressed data
  bool Whole = false;            // the reader needs every byte: no allowance for a cut file
};

bool IEImageSizePlausible(int64_t Width, int64_t Height, const TIEImageData& Data);

// Test seams.
// The allowance in pixels (1 Mi by default); fuzz targets lower it to keep every run fast.
int64_t& IEImageSizeAllowanceForTesting();

// What the gate was asked and what it let through since the last reset, so that a test can bound
// what a reader was allowed to allocate for a file. Counted from every thread.
struct TIEImageSizeGateLog {
  int64_t Asked = 0;                 // calls
  int64_t Refused = 0;               // calls answered false
  int64_t LargestGrantedPixels = 0;  // the largest Width x Height that passed
};
TIEImageSizeGateLog IEImageSizeGateLogForTesting(bool Reset = false);
