#pragma once
// The JPEG codec: JPEG interchange streams between a stream and a TIEBitmap through libjpeg, with the
// options and results in a TIOParamsVals (JpegColorSpace 0 RGB, 1 grey, 2 YCbCr, 3 CMYK, 4 YCCK;
// JpegDCTMethod 0 integer, 1 fast integer, 2 floating point; JpegScale 0 automatic, 1 full, 2 half,
// 3 quarter, 4 eighth; JpegChromaSubsampling 0 4:2:2, 1 4:2:0, 2 4:4:4).
#include <cstdint>

#include "imaging/core/ie_progress.h"
#include "platform/system/exception.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// A libjpeg error, with the library's message ("Maximum supported image dimension is ? pixels").
class EIEJpegException : public Exception {
  using Exception::Exception;
};

// Reads the JPEG at the stream's position (its start of image may follow up to 149 bytes of other
// data) into Bitmap and Params. The options:
//   TablesStream  a stream of tables only (TIFF's JPEG tables), read first; nil for none
//   HeaderOnly    Params only: sizes, colour space, resolution, markers, metadata; no pixels
//   RawYCbCr      the file's own components, not colour-converted (B, G, R order kept for RGB ones)
//   ReadMetadata  the IPTC of the first APP13 marker that holds one
//   InvertCMYK    the file's CMYK has 0 for no ink (not Adobe's inverted form)
//   DropAppliedICC  once the file's ICC profile has converted the pixels, it and its APP2 markers go
//   ReadICC       the profile of the APP2 "ICC_PROFILE" markers into Params' input profile
//   MaxLines      rows to decode (-1: all); fewer decodable sets the abort flag
//   NativePixelFormat  grey files as ie8g and CMYK ones as ieCMYK; otherwise always ie24RGB
// Returns the rows decoded. Bad or short data never raises: the abort flag is set and the rows decoded
// so far stay; a file cut short decodes to its end and counts a warning (JpegWarningCount,
// JpegWarningCode).
int32_t ReadJpegStream(TStream& Stream, TStream* TablesStream, TIEBitmap& Bitmap, TIOParamsVals& Params,
                       TIEProgressRecord& Progress, bool HeaderOnly, bool RawYCbCr, bool ReadMetadata,
                       bool InvertCMYK, bool DropAppliedICC, bool ReadICC, int32_t MaxLines,
                       bool NativePixelFormat);

// Writes Bitmap as a JPEG at the stream's position (a bitmap of another format through a 24-bit copy;
// the bitmap itself stays as it is), with Params' JPEG options, resolution and markers (sorted first;
// APP14 markers are left out, the library writes its own). An empty bitmap sets the abort flag. A
// library error raises EIEJpegException; a failing stream sets the abort flag.
void WriteJpegStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// The position of the bytes FF D8 FF: with Limited, the first of the positions p .. p + 149 from the
// stream's position p that has them (-1: none); without, 0 when they stand at p and -1 otherwise.
// The position is restored.
int64_t FindJpegSOI(TStream& Stream, bool Limited);

// The bytes from the stream's position to the end of the first end-of-image marker, walking the
// segments by their lengths; the rest of the stream when there is none, or where a segment length
// below 2 stops the walk. The position is restored.
int64_t JpegStreamLength(TStream& Stream);

// Joins the APP2 "ICC_PROFILE" chunks before the frame header into Params' input profile. Chunks
// numbered 0 or above their count, of another count than the first, repeated or without payload are
// passed over; a profile with a chunk missing is not loaded. The position is restored.
void ReadJpegICCProfile(TStream& Stream, TIOParamsVals& Params);

// Test seams: the most scans a progressive file may have (500), and the memory the library may use
// beyond what the image's coefficients need (64 MiB). Fuzz targets lower them.
int32_t& JpegScanLimitForTesting();
int64_t& JpegMemoryHeadroomForTesting();
