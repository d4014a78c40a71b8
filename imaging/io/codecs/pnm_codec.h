#pragma once
// The portable bitmap, grey map and pixel map codec (format id 12): P1, P2, P3 in ASCII and P4, P5,
// P6 in binary, with 8- and 16-bit samples (16-bit ones big-endian) and the header's "#" comments.
#include <cstdint>
#include <string>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEStreamInput;
class TIOParamsVals;
class TStream;

// The longest token and the longest comment kept: a longer token ends there (it is no number a
// header holds), a longer comment is cut but read to its line's end.
inline constexpr size_t kPXMMaxToken = 64;
inline constexpr size_t kPXMMaxComment = 4096;
// The bytes the probe looks at.
inline constexpr int64_t kPXMProbeBytes = 4096;

// The next header token: letters and digits, or "#" with the rest of its line (blanks around it
// removed); empty at the end of the data. The byte after a letter-and-digit token is taken with it,
// unless it starts a comment.
void ReadPXMToken(TIEStreamInput& Input, std::string& Token);

// The first KB at the stream's position start with "P1" to "P6", a width and a height above 0 (and,
// but for P1 and P4, one more token). Position restored.
bool IsPXMStream(TStream& Stream);

// Reads the picture at the stream's position. P1 and P4 give ie1g; P2, P3 and P5, P6 with samples
// of up to 8 bits give ie24RGB; 16-bit P5 and P6 give ie16g and ieRGB48 with
// Params.IsNativePixelFormat, else ie24RGB. Samples are scaled from 0..maxval to the full range
// (values above maxval count as maxval); 16-bit P6 with maxval 65535 keeps the high bytes when not
// native. Comments go to Params.PxmComments. Failures set the abort flag: an unknown magic, no
// positive width and height, a maxval of 0 or above 65535, a size the data cannot hold, a bitmap that
// cannot be allocated, data that end before the last row (the rows read stay).
void ReadPXMStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress);

// Writes Bitmap with Params.PxmComments in the header, the first variant that fits: P4 for
// BitsPerSample 1 with SamplesPerPixel 1 or an ie1g bitmap; P5 with maxval 255 for BitsPerSample 8
// with SamplesPerPixel 1; P5 with maxval 65535 for an ie16g bitmap or BitsPerSample 16 with
// SamplesPerPixel 1; P6 with maxval 65535 for BitsPerSample 16 with SamplesPerPixel 3 or an ieRGB48
// bitmap; P6 with maxval 255 otherwise. Other pixel formats are converted first. A short write sets
// the abort flag.
void WritePXMStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
