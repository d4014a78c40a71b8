#pragma once
// EXIF and XMP blocks: EXIF data cut in and out of JPEG APP1 markers and run through the TIFF codec
// in its tag-only modes, the XMP packet cut in and out of its APP1 marker, and images turned upright
// by their orientation tag.
//
// An EXIF APP1 payload is "Exif", two zero bytes and a complete little TIFF: IFD0 with the image
// tags and the pointers to the EXIF and GPS directories, optionally IFD1 with the thumbnail as
// old-style JPEG. An XMP APP1 payload is the XMP namespace identifier, a zero byte and the packet.
//
// The routines read with progress records of their own and scratch parameter records of no owner:
// what fails inside them never sets a caller's abort flag, and nothing reaches a view attached to
// the caller's record from an I/O thread.
#include <cstdint>
#include <vector>

class TIEBitmap;
class TIOParamsVals;
class TStream;

// The XMP namespace identifier that starts an XMP APP1 payload (28 characters).
extern const char kXMPNamespace[29];

// The EXIF block of Params (the TIFF writer's tag-only file, with the thumbnail as its second page
// when Params has one), with the "Exif" prefix when asked. Without WithThumbnail the thumbnail is
// left out.
void SaveEXIFToBuffer(TIOParamsVals& Params, std::vector<uint8_t>& Buffer, bool WithExifHeader,
                      bool WithThumbnail = true);
// Reads an EXIF APP1 payload: the tags into Params (HasExifData set) and the thumbnail (the second
// page, when it decodes) into Params' ExifThumbnail, turned upright by the orientation. False, with
// Params unchanged, when the payload is not an EXIF block (it must start with "Exif" and a zero
// byte and hold more than the 6-byte prefix).
bool LoadEXIFFromBuffer(const void* Data, int64_t Length, TIOParamsVals& Params);
// Reads the tags of the TIFF at the stream's position (its offsets counting from there) into
// Params; the thumbnail is emptied. The position is restored. Always true.
bool LoadEXIFFromTIFFStream(TStream& Stream, TIOParamsVals& Params);
// The tags and a preview of a camera raw file whose TIFF structure starts at the stream's position:
// the smaller of its first two images that decodes to anything but black becomes the thumbnail.
// The position is restored. Always true.
bool LoadRawEXIFAndPreview(TStream& Stream, TIOParamsVals& Params);
// Copies every EXIF and GPS field of Source into Destination (the description from Source's TIFF
// description; resolutions, orientation and the tagged numbers through Destination's setters). The
// thumbnail and HasExifData are not copied.
void CopyEXIFFields(const TIOParamsVals& Source, TIOParamsVals& Destination);

// Turns Bitmap upright by an EXIF/TIFF orientation value (1..8; others do nothing), its alpha
// channel with it: 2 mirrors left-right, 3 turns half, 4 mirrors top-bottom, 5 transposes, 6 turns a
// quarter clockwise, 7 anti-transposes, 8 turns a quarter counter-clockwise.
void ApplyOrientation(TIEBitmap& Bitmap, int32_t Orientation);

// The XMP text inside an APP1 payload (after the identifier's zero byte), nil when the payload is
// not XMP. Nothing outside the Length bytes is read.
const uint8_t* FindXMPPacket(const void* Data, int64_t Length);
// Stores the XMP text of an APP1 payload into Params.XmpInfo; false (Params unchanged) when the
// payload is not XMP.
bool ReadXMPFromAPP1(const void* Data, int64_t Length, TIOParamsVals& Params);
// The APP1 payload of Params.XmpInfo: the identifier, a zero byte and the text.
void BuildXMPAPP1(const TIOParamsVals& Params, std::vector<uint8_t>& Buffer);
