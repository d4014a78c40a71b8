#pragma once
// The Targa codec (format id 11): colour-mapped, true-colour and grey pictures, plain or run-length
// coded, with the extension area and footer of version 2.0. Little-endian throughout.
#include <cstdint>
#include <memory>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEMask;
class TIOParamsVals;
class TStream;

// The 18-byte header at the stream's position describes a picture: image type 1, 2, 3, 9, 10 or 11,
// depth 1, 4, 8, 16, 24 or 32, colour-map type 0 or 1, width and height above 0. Position restored.
bool IsTGAStream(TStream& Stream);

// Reads the Targa at the stream's position (to the stream's end) into Bitmap (ie1g for depth 1,
// ie24RGB otherwise) and Params; the footer's extension area gives author, date, job name, key
// colour, aspect and gamma. Depths 15 and 16 widen their 5-bit channels by repeating their top bits.
// Unless NoMask, a 32-bit picture (or one whose colour map has 32-bit entries) gives its alpha in
// Mask, nil when every pixel is transparent. Failures set the abort flag: a header that fails the
// probe's test, depth 4, a colour map of another entry size, a size the data cannot hold, a bitmap
// that cannot be allocated, data that ends before the last row (the rows read stay).
void ReadTGAStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly, std::unique_ptr<TIEMask>& Mask, bool NoMask);

// Writes Bitmap (converted first when it is neither ie24RGB nor ie1g) with the output depth
// Params.SamplesPerPixel and BitsPerSample ask: 1 bit (black and white), 4 bits as an 8-bit file
// with a 16-colour map, 8 bits (grey with Params.TgaGrayLevel, else a 256-colour map), otherwise 32
// bits with AlphaMask and 24 without; 8- and 24-bit files are run-length coded with
// Params.TgaCompressed. Texts longer than their fields are cut. A picture wider or higher than
// 65535 or a short write sets the abort flag.
void WriteTGAStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    TIEMask* AlphaMask);
