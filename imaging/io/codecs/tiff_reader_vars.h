#pragma once
// The working record of one TIFF page read, filled from the page's tags by the reader and used by
// the pixel decoding.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ie_progress.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/io/lzw_hooks.h"

class TIEBitmap;
class TIEMask;
class TIOParamsVals;
class TStream;

struct TTIFFVars {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t SamplesPerPixel = 1;
  int32_t BitsPerSample = 1;
  int32_t RowsPerStrip = 0;
  int32_t TileWidth = -1;
  int32_t TileLength = -1;
  uint16_t Photometric = 2;
  uint16_t PlanarConfig = 1;
  uint16_t Orientation = 1;
  uint16_t Compression = 1;
  std::vector<int64_t> StripOffsets, StripByteCounts, TileOffsets, TileByteCounts;
  std::vector<TIERGB> ColorMap;
  int32_t ResolutionUnit = 2;
  double XResolution = 0, YResolution = 0;
  int32_t Predictor = 1;
  std::vector<uint8_t> JPEGTables;
  int32_t T4Options = 0;
  int32_t FillOrder = 1;
  double XPosition = 0, YPosition = 0;
  std::string DocumentName, ImageDescription, PageName, Software, Artist;
  int32_t PageNumber = 0, PageTotal = 0;
  int32_t YCbCrSubsamplingH = 2, YCbCrSubsamplingV = 2;
  int32_t JPEGProc = 0;
  int64_t JPEGInterchangeFormat = 0;
  int64_t JPEGInterchangeFormatLength = 0;
  TTIFFLZWDecompFunc LZWDecoder = nullptr;
  bool IntelOrder = true;
  TIOParamsVals* Params = nullptr;
  TIEMask* AlphaMask = nullptr;
  bool IgnoreAlpha = false;
  int32_t FirstExtraSample = 0;
  std::vector<int32_t> ExtraSamples;  // at most 10
  // Where the file's offsets count from, and the stream.
  TStream* Stream = nullptr;
  int64_t Origin = 0;
  int64_t StreamSize = 0;
  int32_t GetTile = -1;  // TiffGetTile: one tile only when >= 0
};

// Why a page cannot be decoded, or nullptr when it can (checked before anything is allocated).
const char* TIFFUndecodableReason(const TTIFFVars& Vars);
// The destination pixel format of the page.
int32_t TIFFDestinationFormat(const TTIFFVars& Vars, bool NativePixelFormat);
// Bytes the page's strips or tiles hold inside the stream, for the allocation gate.
int64_t TIFFPageDataBytes(const TTIFFVars& Vars);
// The best case pixels per byte of the page's compression (0 when uncompressed).
int64_t TIFFBestPixelsPerByte(const TTIFFVars& Vars);

// The size of the JPEG stream an old-style JPEG page points at (JPEGInterchangeFormat); false when
// there is none or its frame header does not read.
bool TIFFOldJPEGSize(const TTIFFVars& Vars, int32_t& Width, int32_t& Height);

// Decodes the page into Bitmap, allocated at Vars.Width x Vars.Height in the destination format
// (and the alpha mask, when there is one). Failures set the abort flag.
void TIFFDecodePage(TTIFFVars& Vars, TIEBitmap& Bitmap, TIEProgressRecord& Progress);
