#pragma once
// The TIFF codec's reading side and the TIFF-family probes.
#include <cstdint>
#include <memory>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEMask;
class TIOParamsVals;
class TStream;

// Reads page Params->TiffImageIndex of the TIFF at the stream's position into Bitmap and fills
// Params; with Params nil only counts the pages. PageCount receives the pages of the main chain.
// ParamsOnly stops after the parameters. With RelativeOrigin the file's offsets count from the
// stream's position at entry (the TIFF begins there), otherwise from position 0. AlphaMask receives
// an 8-bit mask of the page size when the page carries alpha (not with IgnoreAlpha); the caller
// turns it into the bitmap's alpha channel. ThumbnailMode reads an EXIF thumbnail: pages larger
// than 400 pixels either way are refused.
//
// Failures set Progress's abort flag and never raise: not a TIFF, a page that is not there (a
// count is no failure), a layout or compression no case decodes, a size the data cannot hold, an
// LZW page without a decoder, a strip the decoders fail on.
void ReadTIFFStream(TIEBitmap* Bitmap, TStream& Stream, int32_t& PageCount, TIOParamsVals* Params,
                    TIEProgressRecord& Progress, bool ParamsOnly, std::unique_ptr<TIEMask>& AlphaMask,
                    bool RelativeOrigin, bool IgnoreAlpha, bool ThumbnailMode);

// The pages of the TIFF at the stream's position (offsets from there); 0 when it is none.
int32_t CountTIFFStreamPages(TStream& Stream);

// Content probes over the stream from position 0 (the stream's position is restored).
// A TIFF header whose first directory holds ImageWidth and ImageLength ("MM" files whose byte at
// offset 8 is 0xBA are not taken).
bool IsTIFFStream(TStream& Stream);
// A camera raw file in TIFF structure: a DNG, a CFA or LinearRaw page, or TIFF/EP with a small
// preview as its first page.
bool IsCameraRawTIFF(TStream& Stream);
// An HD Photo file: "II" and a first directory holding the five HD Photo image tags.
bool IsHDPhotoStream(TStream& Stream);
// The position of a TIFF-like header ("II" or "MM" with 42, 0x4F52 or 0x5352, and a first
// directory offset inside the stream) within the first 128 KB from the stream's position; -1 when
// there is none. The position is restored.
int64_t FindTIFFHeader(TStream& Stream);

// The TIFF entry of the format registry: the page and its alpha channel; the offsets count from
// the view's position 0 (see TZodazUrIO's stream loading).
void TIFFCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly);
