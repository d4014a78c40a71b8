#pragma once
// Camera raw files through LibRaw, with the engine's own tone curve, the 45-degree sensor
// straightening and the metadata of the file's TIFF structure or Canon heap (CIFF). Every call makes
// its own LibRaw object: several threads may read at once.
#include <cstdint>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// True when LibRaw identifies the data at the stream's position. The position is restored.
bool IsCameraRawStream(TStream& Stream);

// Reads the raw file at the stream's position (its metadata, and with ParamsOnly nothing more).
// Params.IsNativePixelFormat gives ieRGB48, else ie24RGB; Width and Height end as the bitmap's size.
// An unidentified file, a size the file cannot hold, a decoding failure or an abort by the caller sets
// the abort flag.
void ReadCameraRawStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                         bool ParamsOnly);

// Straightens the picture of a sensor laid out at 45 degrees (ie24RGB or ieRGB48) to twice its
// layout width; a picture whose first row gives no layout (width below 1 or height below 2) stays.
void UnrotateFujiImage(TIEBitmap& Bitmap);

// The metadata of a Canon heap (CRW) at the stream's position: make, model, description, firmware,
// pixel dimensions, the smallest embedded JPEG as the EXIF thumbnail and the camera settings and shot
// information as a maker note. Always false (as callers expect); a stream that is no heap adds nothing.
bool ReadCIFFInfo(TStream& Stream, TIOParamsVals& Params);

// Test seam: LibRaw's cap on the raw data it allocates, in megabytes.
uint32_t& CameraRawMemoryLimitMBForTesting();
