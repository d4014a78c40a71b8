#pragma once
// Windows icons (format id 6) and cursors (format id 7): a directory of images of several sizes and
// depths, each a device-independent bitmap with its AND mask (1 = transparent) or, in icons, a PNG
// stream. Little-endian throughout. One image, chosen by index, is read per call; the writer writes
// one picture at up to 16 sizes.
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEMask;
class TIOParamsVals;
class TStream;
struct TIOICOSize;

// The directory at the stream's position is an icon's (type 1) or a cursor's (type 2): at least 23
// bytes, reserved 0, at least one entry, each entry's reserved byte 0, a byte count and an image
// offset past the entry. Position restored.
bool IsICOStream(TStream& Stream);
bool IsCURStream(TStream& Stream);
// The image count of the icon header at the stream's position (0 when the stream is shorter than
// the header); position restored.
int32_t ICOImageCount(TStream& Stream);

// Reads icon image Params.IcoImageIndex at the stream's position. Params.IcoSizes and IcoBitCounts
// list the first 16 images (a size byte 0 is 256). A stream that starts with "BM" is read as the BMP
// file it is, a PNG image with the PNG reader (the whole image, into a scratch bitmap when only the
// parameters are asked for). The transparency comes back in AlphaMask (255 opaque, 0 transparent;
// nil when fully opaque or IgnoreAlpha). Transparent pixels of 1-, 4- and 8-bit images take
// Params.IcoBackground. With Params.IsNativePixelFormat 4- and 8-bit images come as ie8p, and a depth
// other than 1, 4, 8, 24, 32 raises "Unsupported pixel format". Failures set the abort flag: an index
// outside the directory, an offset outside the stream, no depth, a depth not decoded, a size the
// data cannot hold, a bitmap that cannot be allocated, data that end before the last row (the rows
// read stay). Palette indices past the colour table are black.
void ReadICOStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress, std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha);
// The same for cursor image Params.CurImageIndex: the hot spot goes to Params.CurXHotSpot and
// CurYHotSpot, the colour table has the entry's colour count, every image comes as ie1g or ie24RGB,
// transparent pixels take Params.CurBackground, and the mask always comes back (unless IgnoreAlpha).
void ReadCURStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress, std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha);

// Writes Bitmap (ie24RGB or ie1g; other formats are converted first) as an icon of Count images at
// the stream's position: image i is the picture resized to Sizes[i] (nearest pixels for ie1g, fast
// linear otherwise, alpha alongside) at depth BitCounts[i]: 1, 4, 8, 32 as given, 0 for the depth
// Params.SamplesPerPixel and BitsPerSample give, 24 for anything else. 4- and 8-bit images get a
// quantized palette after black (index 0, for pixels that are not fully opaque; Params.ColorMap
// receives it); the AND mask marks pixels whose alpha is not 255. Image offsets count from the
// icon's first byte. No sizes, a size below 1, or a short write sets the abort flag.
void WriteICOStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, const int32_t* BitCounts,
                    const TIOICOSize* Sizes, int32_t Count, TIEProgressRecord& Progress);

// The picture the desktop shows for the file (its type's icon, else a built-in one), 32 x 32 as an
// ie24RGB bitmap with its alpha channel. User-interface thread only.
void LoadShellFileIcon(const std::string& FileName, TIEBitmap& Bitmap);
