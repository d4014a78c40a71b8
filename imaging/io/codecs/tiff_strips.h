#pragma once
// The strip encoder of the TIFF writer: cuts a page into strips, packs each row of the working
// bitmap into the layout the page declares, compresses it and adds the strip tags.
#include <cstdint>
#include <vector>

#include "imaging/core/ie_progress.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/io/lzw_hooks.h"

class TIEBitmap;
class TIEQuantizer;
class TIOParamsVals;
class TIEStreamWriter;
struct TTIFFTagList;

// What the page layout settled for the strips of one page.
struct TTIFFStripContext {
  uint16_t Compression = 1;        // the TIFF code
  TTIFFLZWCompFunc LZWEncoder = nullptr;
  bool G3TwoD = false;             // compression 3 with two-dimensional rows
  int32_t FillOrder = 1;
  int32_t Photometric = 2;         // the TIFF photometric code written
  int32_t Predictor = 1;
  const TIEQuantizer* Quantizer = nullptr;  // palette pages
  int32_t BitsPerSample = 8;
  int32_t JpegQuality = 80;
  int32_t JpegColorSpace = 2;
  int32_t ZipLevel = 6;            // zlib's deflate level
  TIOParamsVals* Params = nullptr;
  bool Alpha = false;              // RGB rows carry the alpha channel as a fourth sample
};

// Samples per pixel the rows of the page carry.
int32_t TIFFStripSamples(const TTIFFStripContext& Context);

// Writes the strips of Bitmap at the stream's position and adds RowsPerStrip, StripOffsets and
// StripByteCounts (one LONG each for one strip, LONG arrays otherwise). Compression 7 writes the
// page as one JPEG stream. A short write, or a coder that fails, sets the abort flag (through the
// tag list's Failed flag) and stops after that row.
void TIFFWriteStrips(TTIFFTagList& Tags, TIEBitmap& Bitmap, TIEProgressRecord& Progress, TTIFFStripContext& Context);
// Compression 6 (old-style JPEG, the EXIF thumbnail's form): the page as one JPEG stream, with the
// interchange-format tags pointing at it and one strip from its start of scan.
void TIFFWriteOldJPEGStrip(TTIFFTagList& Tags, TIEBitmap& Bitmap, TIEProgressRecord& Progress,
                           TTIFFStripContext& Context);

// PackBits: runs of 4 to 128 equal bytes as repeats, everything else in literals of at most 128.
void PackBitsEncode(const uint8_t* Row, int32_t Length, std::vector<uint8_t>& Out);
