#pragma once
// What the DICOM reader gathered about the image of a data set, and the decoders and steps that
// turn one frame of its pixel data into a bitmap (dicom_pixels.cpp, dicom_lossless.cpp,
// dicom_window.cpp).
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ie_progress.h"

class TIEBitmap;

struct TDICOMImage {
  bool LittleEndian = true;
  std::string TransferSyntax;   // trimmed of its padding
  int32_t SamplesPerPixel = 1;
  std::string Photometric;      // trimmed and upper-cased
  int32_t PlanarConfiguration = 0;
  int32_t Frames = 1;
  int32_t PixelRepresentation = 0;  // 1: signed samples
  int32_t Columns = 0, Rows = 0;
  int32_t BitsAllocated = 0, BitsStored = 0;
  std::vector<uint16_t> Lut[3];     // red, green, blue palette tables as stored
  int32_t LutFirst[3] = {0, 0, 0};  // the first value each table maps
  int32_t LutBits[3] = {16, 16, 16};
  bool HasWindow = false;
  double WindowCentre = 0, WindowWidth = 0;
  double RescaleIntercept = 0, RescaleSlope = 1;

  bool Palette() const { return Photometric == "PALETTE COLOR"; }
  bool Signed() const { return PixelRepresentation == 1; }
  // Bytes of one native frame: columns x rows x samples x bits allocated, in whole bytes.
  int64_t NativeFrameBytes() const;
};

// Native pixels of one frame (Data: the frame's bytes). False when the layout is not one the
// tables decode, or the data are short.
bool DecodeDICOMNative(const TDICOMImage& Image, const uint8_t* Data, int64_t Length, TIEBitmap& Bitmap,
                       TIEProgressRecord& Progress);
// DICOM RLE (PS 3.5 Annex G) of one frame.
bool DecodeDICOMRLE(const TDICOMImage& Image, const uint8_t* Data, int64_t Length, TIEBitmap& Bitmap,
                    TIEProgressRecord& Progress);
// Lossless JPEG (ITU-T T.81 process 14, Huffman) of one frame, into ie8g, ie16g (raw samples) or
// ie24RGB.
bool DecodeDICOMLosslessJPEG(const TDICOMImage& Image, const uint8_t* Data, int64_t Length, TIEBitmap& Bitmap,
                             TIEProgressRecord& Progress);

// The grey steps on a decoded single-sample frame (ie8g or ie16g of raw samples, two's complement
// when signed): rescale, window (when the data set has one) and stretch to the full range with one
// offset for the whole image, then MONOCHROME1 inversion.
void ApplyDICOMGreySteps(const TDICOMImage& Image, TIEBitmap& Bitmap);
// YBR_FULL pixels (Y, Cb, Cr in the B, G, R places of an ie24RGB bitmap) to RGB.
void ConvertDICOMYBRFull(TIEBitmap& Bitmap);
