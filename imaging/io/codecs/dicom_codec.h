#pragma once
// The DICOM reader: one frame of a DICOM Part 10 file, or of a bare data set, into a TIEBitmap,
// and every tag met into the record's DicomTags. Native pixel data (little- and big-endian, packed
// 12-bit, palettes, RGB and YBR planes), RLE, lossless JPEG (process 14, the engine's own decoder),
// baseline JPEG and JPEG 2000; rescale, window and MONOCHROME1 steps.
#include <cstdint>
#include <string>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// True when the four bytes at offset 128 from the stream's position are "DICM". The position is
// restored.
bool IsDICOMStream(TStream& Stream);

// Reads frame Params.ImageIndex (clamped to the frames there are) of the DICOM data at the
// stream's position. Params gets the tags (DicomTags), the size, BitsPerSample (bits stored),
// SamplesPerPixel and the frame count; with HeaderOnly, or a nil Bitmap, no pixels are decoded.
// The bitmap is ie8g or ie16g for grey (rescaled, windowed and stretched to the full range,
// MONOCHROME1 inverted), ie24RGB for colour and 8-bit palettes, ieRGB48 for 16-bit palettes. What
// cannot be read (a transfer syntax no decoder takes, a layout no table decodes, damaged or cut
// data) sets the abort flag; the tags read so far stay.
void ReadDICOMStream(TStream& Stream, TIOParamsVals& Params, TIEBitmap* Bitmap, TIEProgressRecord& Progress,
                     bool HeaderOnly);

// The frames of the DICOM data at the stream's position (0 when it cannot be read). The position is
// restored.
int32_t DICOMFrameCount(TStream& Stream);
int32_t DICOMFileFrameCount(const std::string& FileName);

// The DICOM entry of the format registry.
void DICOMCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    bool ParamsOnly);
