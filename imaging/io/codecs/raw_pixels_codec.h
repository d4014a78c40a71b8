#pragma once
// Headerless pixel data (format id 21): the caller says everything. The bitmap it passes has the
// width, height and pixel format of the data, and the record's RawBitmap fields say how the samples
// are stored: bytes to skip first, the row padding in bits, binary or decimal or hexadecimal text,
// interleaved or one plane per channel, red and blue in which order. There is no writer.
// (Not the engine's own raw bitmap stream "TIEBITMAPRAW", which carries its own header.)
#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// Reads the pixels at the stream's position into Bitmap. Samples are bytes for ie1g (whole bytes of
// bits), ie8p, ie8g, ie24RGB and ieCMYK, 16-bit words (machine order) for ie16g and ieRGB48, 32-bit
// floats for ie32f. Text values are runs of up to 34 digits, kept modulo 2^64 and cut to the
// sample's low bits (floats through the lenient conversion). ie24RGB data are red, green, blue
// unless Params.RawBitmapBGR (ieRGB48, held as red, green, blue, is exchanged only for
// RawBitmapBGR). Failures set the abort flag: an empty bitmap, ieCIELab or ie32RGB, text for ie1g,
// a row padding that is not a positive multiple of 8, a negative header size, data that end before
// the last row (the rows read stay). Hexadecimal text for ie32f raises "Format unsupported".
void ReadRawBitmapStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
