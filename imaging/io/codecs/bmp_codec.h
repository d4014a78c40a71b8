#pragma once
// The BMP codec: Windows and OS/2 device-independent bitmaps (format id 5, extensions BMP, DIB, RLE).
// Little-endian throughout. The reader takes the 12-byte core header, the 40-byte header and every
// later Windows header (V2 to V5, whose colour masks it reads from inside the header), the OS/2 2.x
// headers, top-down and bottom-up rows, 1, 2, 4, 8, 16, 24 and 32 bits, RLE4, RLE8, OS/2's RLE24 and
// bit-field masks in any order and width (with an alpha mask when one is given).
#include <cstdint>
#include <memory>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEMask;
class TIOParamsVals;
class TStream;

// Reads one bitmap from the stream's position into Bitmap and Params. BlockSize is the number of
// bytes of the bitmap in the stream, 0 when unknown (the file header's size field, or what the stream
// holds, then says). ParamsOnly fills Params and leaves the bitmap untouched. NoFileHeader (or
// Params.IsResource) says that the data starts with the info header. The alpha of a 32-bit file, or
// of a 16- or 32-bit file whose header gives an alpha mask, comes back in AlphaMask (nil when there
// is none, or when every alpha value is 0 or every one is 255); IgnoreAlpha skips it. Channels
// narrower than 8 bits are widened by bit replication. A 1-bit file with a black-and-white table (in
// either order) gives ie1g; with other colours it reads as 2-, 4- and 8-bit files do: ie8p with
// Params.IsNativePixelFormat, else ie24RGB. Failures set the abort flag: not "BM", a header that
// describes no bitmap, a bit count or compression this reader does not decode, a size the data
// cannot hold, short data (the rows read so far stay), a bitmap that cannot be allocated. Palette
// indices past the colour table read as black.
void ReadBMPStream(TStream& Stream, TIEBitmap& Bitmap, int64_t BlockSize, TIOParamsVals& Params,
                   TIEProgressRecord& Progress, bool ParamsOnly, bool NoFileHeader,
                   std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha);

// Writes Bitmap at the stream's position: 1 or 4 bits when Params.BitsPerSample says so, else 8 for
// one sample per pixel, else 32 with an alpha channel and 24 without. The header follows
// Params.BmpVersion (2: OS/2 core header, 3: 64-byte OS/2 2.x header, else 40 bytes), run-length
// coding follows Params.BmpCompression for 4 and 8 bits. Palettes of 4 and 8 bits come from a
// quantizer (Params.ColorMap receives them); any pixel format is converted first. With UseAlpha the
// alpha channel fills the fourth byte of 32-bit pixels, else it is 255. A short write sets the abort
// flag.
void WriteBMPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    bool UseAlpha);

// The bitmap header's signed pixels-per-metre field of a resolution in dots per inch (icons too).
uint32_t BMPPixelsPerMetre(int32_t Dpi);

// Run-length codes one row of palette indices (one index per byte) into Out, which holds at least
// Width * 2 + 2 bytes, ending with the end-of-line code 0, 0; returns the number of bytes produced.
int32_t EncodeRLE8Row(const uint8_t* Row, int32_t Width, uint8_t* Out);
int32_t EncodeRLE4Row(const uint8_t* Row, int32_t Width, uint8_t* Out);

// Decodes a whole run-length block (RLE8, RLE4 or OS/2's RLE24 by Bits 8, 4 or 24) into a Width x
// Height picture of one index per byte (RLE24: blue, green, red per pixel), rows from the top;
// TopDown says whether the first row in the data is the top one. Runs are clipped to the row, a delta
// past the picture ends the block. OnRow is told each completed row (for progress) and may ask to
// stop by returning false. Pixels no code reaches keep what the caller put there.
void DecodeRLEBlock(const uint8_t* Data, int64_t Size, int32_t Bits, int32_t Width, int32_t Height, bool TopDown,
                    uint8_t* Pixels, bool (*OnRow)(void* Context, int32_t RowsDone), void* Context);

// The bytes of a run-length block that hold its picture: through the end-of-bitmap code, or all of
// them when none comes.
int64_t RLEDataLength(const uint8_t* Data, int64_t Size, int32_t Bits);
