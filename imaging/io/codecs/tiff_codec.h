#pragma once
// The TIFF codec: reading and writing pages, the TIFF-family probes and the EXIF tag transfer.
#include <cstdint>
#include <memory>
#include <string>

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

// Writes Bitmap as one TIFF page at the stream's position: a new little-endian file, or, with
// Append, a page inserted at Params.TiffImageIndex into the little-endian TIFF that starts there
// (an index at or past the page count appends it). Every offset written is an absolute stream
// position. Without a bitmap only the tags are written (the EXIF block's form). The layout is
// settled from Params and the bitmap, and Params is changed to describe what was written (bits,
// samples, photometric, compression). Returns the pages the file has afterwards; 0, with the abort
// flag set, when the stream is not a little-endian TIFF to insert into, the chain of pages is
// damaged, a working copy cannot be made or a write falls short (the directory is then not
// written, so a new file has no header and an insertion changes no link).
int32_t WriteTIFFStream(TStream& Stream, bool Append, TIEBitmap* Bitmap, TIOParamsVals& Params,
                        TIEProgressRecord& Progress);
// The TIFF entry of the format registry's writers: a new file.
void TIFFCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// Puts the EXIF tags of Params (image tags, the EXIF and GPS directories) into page PageIndex of a
// TIFF-structured file: read from InStream at its position (position 0 of the TIFF), else from
// the file InFileName; written to OutStream (InStream itself is written over from where the TIFF
// was read), else to the file OutFileName (replaced only once complete). False when the target
// cannot be read or written.
bool CopyEXIFTagsToTIFF(TStream* InStream, TStream* OutStream, const std::string& InFileName,
                        const std::string& OutFileName, int32_t PageIndex, TIOParamsVals& Params);
