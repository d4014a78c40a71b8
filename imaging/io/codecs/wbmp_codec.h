#pragma once
// The wireless bitmap codec (format id 16): type 0 of the WAP format, black and white, one bit per
// pixel with 1 white. The header's integers are multi-byte integers: 7 bits per byte, most
// significant group first, a set top bit saying that another byte follows.
#include <cstdint>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// A multi-byte integer of at most 4 bytes at the stream's position; -1 when the stream ends first.
int32_t ReadMultiByteInt(TStream& Stream);

// Reads the picture at the stream's position into an ie1g Bitmap. Failures set the abort flag: a
// type or fixed header other than 0, a zero width or height, a size the data cannot hold, a bitmap
// that cannot be allocated, data that end before the last row (the rows read stay).
void ReadWBMPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    bool ParamsOnly);

// Writes Bitmap in black and white (through an ie1g copy when it has another format; Bitmap itself
// never changes). A picture wider or higher than 255 is scaled, nearest pixels and aspect kept, so
// that its larger side is 255. A short write sets the abort flag.
void WriteWBMPStream(TStream& Stream, TIEBitmap& Bitmap, TIEProgressRecord& Progress);
