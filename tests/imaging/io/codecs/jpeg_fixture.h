#pragma once
// JPEG files made and read by libjpeg itself, called directly: the fixtures of the JPEG codec's tests
// and the plain decode its pixels are compared with.
#include <cstdint>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace jpegtest {

using Bytes = std::vector<uint8_t>;

struct Marker {
  int code;  // JPEG_APP0 + n or JPEG_COM
  Bytes data;
};

struct EncodeOptions {
  int width = 0, height = 0;
  // Pixels in the input layout, rows from the top: grey 1 byte, RGB 3 bytes (red first), CMYK 4 bytes
  // (Adobe's form: 255 = no ink).
  J_COLOR_SPACE input = JCS_RGB;
  J_COLOR_SPACE file = JCS_YCbCr;
  int quality = 85;
  int lumaH = 2, lumaV = 2;  // first component's sampling of a YCbCr or YCCK file
  bool progressive = false;
  bool arithmetic = false;
  int restartRows = 0;
  bool jfif = true;  // the JFIF header (unit, densities below) where the colour space has one
  int densityUnit = 1, densityX = 72, densityY = 72;
  std::vector<Marker> markers;  // written after the library's own, in order
  // Abbreviated streams: only the tables, or only the image (its tables left out).
  bool tablesOnly = false;
  bool imageOnly = false;
};

// The file libjpeg writes; Pixels as EncodeOptions says.
Bytes Encode(const EncodeOptions& Options, const Bytes& Pixels);

struct Decoded {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  J_COLOR_SPACE fileSpace = JCS_UNKNOWN;
  bool progressive = false;
  int densityUnit = 0, densityX = 0, densityY = 0;
  bool sawJFIF = false, sawAdobe = false;
  int sampling[4][2] = {};
  Bytes pixels;                 // rows from the top, no padding
  std::vector<Marker> markers;  // the APPn and COM markers, in file order
};

// libjpeg's own decode into Out (JCS_EXT_BGR, JCS_GRAYSCALE, JCS_CMYK, JCS_YCbCr or JCS_RGB) at
// 1/ScaleDenom, integer DCT; Tables, when not empty, is read first (a tables-only stream).
Decoded Decode(const Bytes& File, J_COLOR_SPACE Out, int ScaleDenom = 1, const Bytes& Tables = {});

// A photo-like picture of W x H pixels: smooth colours, edges and some noise (R, G, B bytes).
Bytes Photo(int W, int H, uint32_t Seed = 1);

// Peak signal-to-noise ratio of two equal-sized byte arrays (infinite when equal).
double PSNR(const Bytes& A, const Bytes& B);

}  // namespace jpegtest
